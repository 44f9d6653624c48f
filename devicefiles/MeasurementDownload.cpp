#include "devicefiles/MeasurementDownload.h"

#include "controls/ProgressWnd.h"
#include "document/FolderPath.h"
#include "document/VeskDoc.h"
#include "device/DeviceTypes.h"
#include "devicefiles/FileListText.h"
#include "devicefiles/Vesk3Explorer.h"
#include "devicefiles/VeskoraConnection.h"
#include "devicefiles/core/Vesk3Parser.h"
#include "measurement/CnvFile.h"
#include "measurement/ConvTable.h"
#include "platform/core/SafeFileWriter.h"
#include "platform/core/StringTable.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/ModalDialog.h"
#include "platform/gui/WaitCursor.h"
#include "resources/StringIds.h"
#include "streamio/RamStream.h"

#include <QDir>

#include <memory>
#include <optional>

using Platform::LoadString;

namespace
{
constexpr uint32_t kRamFlags =
    StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS;
const QString kMeasurementRamFile = QStringLiteral("RAM:temp.vsm");
const QString kConversionRamFile = QStringLiteral("RAM:temp.cnv");

QString FolderAndBase(const QString& path)
{
    QString folder, base;
    SplitDevicePath(path, &folder, nullptr, &base, nullptr);
    return folder + base;
}

QString FromToText(const QString& from, const QString& to)
{
    return LoadString(StringId::IDS_FROM) + QStringLiteral("\t\t\t") + FolderAndBase(from) + u'\n' +
           LoadString(StringId::IDS_TO) + u'\t' + to;
}

// A RAM file that is gone with the object, also when a transfer raises.
std::unique_ptr<StreamIO::CRamStream> OpenRamFile(const QString& name)
{
    auto stream = std::make_unique<StreamIO::CRamStream>();
    try
    {
        if (stream->Open(name, kRamFlags))
            return stream;
    }
    catch (const std::exception&)
    {
    }
    return nullptr;
}

// The file name, folders and all, as the user knows it from the explorer.
QString ShownName(const QString& devicePath)
{
    QString folder, fileName;
    SplitDevicePath(devicePath, &folder, nullptr, nullptr, &fileName);
    return folder + fileName;
}
} // namespace

CMeasurementDownload::CMeasurementDownload(CVeskDoc& doc, CVeskoraConnection& connection, QWidget* parent)
    : m_doc(doc), m_connection(connection), m_parent(parent)
{
}

void CMeasurementDownload::DownloadMeasurementFiles(const QString& targetFolder)
{
    m_failed.clear();
    if (!m_connection.Connect())
        return;

    QString listing;
    bool listed = false;
    {
        Platform::WaitCursor wait;
        m_connection.KeepAlive();
        listed = m_connection.ListDirectory(Device::fileMeasurement, listing);
    }
    // An explorer over a listing that did not arrive would show the tester as empty.
    if (!listed)
    {
        Platform::ShowMessageBox(m_parent, LoadString(StringId::IDS_LISTING_FAILED), QString(),
                                 Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
        return;
    }

    CVesk3Explorer explorer(m_parent, listing, m_connection);
    if (Platform::RunModalDialog(explorer) != Platform::IDOK)
        return;

    QString explorerFolder;
    const std::vector<TVeskFile> chosen = explorer.GetSelectedFiles(explorerFolder);
    QStringList notDownloaded;
    bool lost = false;
    {
        Platform::WaitCursor wait;
        m_connection.KeepAlive();
        DownloadCustomerConversions();
        lost = TransferFiles(chosen, explorerFolder, targetFolder, notDownloaded);
    }
    // Whatever arrived stays; the views learn of it now.
    m_doc.AddMeasurementFile(QString(), nullptr);
    if (lost)
        m_connection.DropLostDevice();
    ReportFailures(lost, notDownloaded);
}

bool CMeasurementDownload::TransferFiles(const std::vector<TVeskFile>& chosen, const QString& explorerFolder,
                                         const QString& targetFolder, QStringList& notDownloaded)
{
    const int count = int(chosen.size());
    CProgressWnd progress(m_parent, LoadString(StringId::IDS_DOWNLOADING), LoadString(StringId::IDS_CANCEL),
                          true);
    progress.SetText(QString());
    progress.SetRange(0, count, 1);
    for (int i = 0; i < count; ++i)
    {
        const TVeskFile& file = chosen[size_t(i)];
        const QString& source = file.path;
        // Chosen items lie in the explorer's folder; each keeps its place below it.
        QString target = targetFolder + source.mid(explorerFolder.size());
        // The document names a series after the file's base name, which is the text
        // before the last period; a file name without one is a name all the same.
        if (!file.isFolder && !target.mid(target.lastIndexOf(u'\\') + 1).contains(u'.'))
            target += u'.';

        QString targetFolderPart, targetBase;
        SplitDevicePath(target, &targetFolderPart, nullptr, &targetBase, nullptr);
        progress.SetText(FromToText(source, targetFolderPart + targetBase));
        progress.StepIt();
        progress.PumpMessages(true);
        if (progress.Cancelled())
            return false;

        if (file.isFolder)
        {
            // An empty folder is wanted too: the project gets the folder.
            m_doc.AddMeasurementFile(target, nullptr);
            continue;
        }
        std::unique_ptr<StreamIO::CRamStream> ram = OpenRamFile(kMeasurementRamFile);
        bool added = false;
        if (ram && m_connection.DownloadFile(ram.get(), source))
        {
            ram->SetPosition(0);
            added = m_doc.AddMeasurementFile(target, ram.get());
        }
        ram.reset();
        if (added)
            continue;
        m_failed << source;
        // A file the tester refused is one failure; a tester that no longer answers ends
        // the batch, and everything not yet downloaded is named.
        if (!m_connection.IsDeviceAlive())
        {
            for (int rest = i + 1; rest < count; ++rest)
                if (!chosen[size_t(rest)].isFolder)
                    notDownloaded << chosen[size_t(rest)].path;
            return true;
        }
    }
    return false;
}

void CMeasurementDownload::ReportFailures(bool lost, const QStringList& notDownloaded)
{
    if (!lost && m_failed.isEmpty())
        return;
    QString text;
    if (lost)
        text = LoadString(StringId::IDS_LOST_DURING_DOWNLOAD) + QStringLiteral("\n\n");
    QStringList names;
    for (const QString& path : m_failed + notDownloaded)
        names << ShownName(path);
    text += FileListText(LoadString(StringId::IDS_NOT_DOWNLOADED), names);
    Platform::ShowMessageBox(m_parent, text, QString(), Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
}

void CMeasurementDownload::DownloadCustomerConversions()
{
    QString listing;
    if (!m_connection.ListDirectory(Device::fileConversion, listing))
        return;
    CVesk3Parser parser(listing, Device::fileConversion);
    const TVeskFileArray& records = parser.GetRecords();
    if (records.empty())
        return;

    const QString folder = m_doc.GetConversionFolder();
    CProgressWnd progress(m_parent, LoadString(StringId::IDS_DOWNLOADING_CONVERSIONS),
                          LoadString(StringId::IDS_CANCEL), true);
    progress.SetText(QString());
    progress.SetRange(0, int(records.size()), 1);
    for (const auto& record : records)
    {
        QString base;
        SplitDevicePath(record->path, nullptr, nullptr, &base, nullptr);
        progress.SetText(FromToText(record->path, folder + base + QStringLiteral(".cnv")));
        progress.StepIt();
        progress.PumpMessages(true);
        if (progress.Cancelled())
            return;
        if (record->isFolder)
            continue;

        std::unique_ptr<StreamIO::CRamStream> ram = OpenRamFile(kConversionRamFile);
        if (!ram || !m_connection.DownloadFile(ram.get(), record->path))
            continue;
        ram->SetPosition(0);
        CConvTable& table = CConvTable::Instance();
        CConvTable::Guard lock(table);
        int slot = -1;
        QString name;
        size_t length = 0;
        const uint8_t* stored = table.ImportRecordBlock(*ram, slot, name, length);
        QString fileName;
        QString writeError;
        if (stored && MakeCnvFileName(stored, length, fileName) && !StoreConversion(slot, fileName, &writeError) &&
            !writeError.isEmpty())
        {
            // A file that cannot be written (a full disk, a folder we may not write) stops
            // the download: the next ones would fail the same way.
            Platform::ShowMessageBox(m_parent, writeError, QString(), Platform::MB_OK | Platform::MB_ICONSTOP);
            return;
        }
    }
}

bool CMeasurementDownload::StoreConversion(int slot, const QString& fileName, QString* writeError)
{
    const QString folder = m_doc.GetConversionFolder();
    // The name comes from the tester: it must stay one file inside the folder.
    if (folder.isEmpty() || fileName.isEmpty() || fileName.contains(u'/') ||
        fileName == QStringLiteral(".") || fileName == QStringLiteral(".."))
        return false;
    std::unique_ptr<StreamIO::CRamStream> block = OpenRamFile(kConversionRamFile + QStringLiteral(".out"));
    if (!block)
        return false;
    QByteArray bytes;
    try
    {
        if (!CConvTable::Instance().WriteCnvRecord(slot, *block))
            return false;
        bytes.resize(qsizetype(block->GetLength()));
        block->SetPosition(0);
        if (block->Read(bytes.data(), uint32_t(bytes.size())) != uint32_t(bytes.size()))
            return false;
    }
    catch (const std::exception&)
    {
        return false;
    }
    // The conversions folder is only named in the settings until something is kept there.
    if (!QDir().mkpath(folder))
        return false;
    Platform::SafeFileWriter file;
    if (file.Open(QDir(folder).filePath(fileName)) && file.Write(bytes) && file.Commit())
        return true;
    if (writeError)
        *writeError = file.ErrorMessage();
    return false;
}
