#include "devicefiles/MeasurementDownload.h"

#include "controls/ProgressWnd.h"
#include "document/FolderPath.h"
#include "document/VeskDoc.h"
#include "device/DeviceTypes.h"
#include "device/VmDevice.h"
#include "devicefiles/FileListText.h"
#include "devicefiles/TesterTransfer.h"
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
// Where the transfer's worker receives a file, apart from the file the UI thread adds.
const QString kTransferRamFile = QStringLiteral("RAM:transfer.vsm");
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

// A RAM file that is gone with the last owner (the transfer's request may outlive the
// batch when it is cancelled), also when a transfer raises.
std::shared_ptr<StreamIO::CRamStream> OpenRamFile(const QString& name)
{
    auto stream = std::make_shared<StreamIO::CRamStream>();
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
    if (!m_connection.Connect(m_parent))
        return;

    auto listing = std::make_shared<QString>();
    bool listed = false;
    {
        Platform::WaitCursor wait;
        CTesterTransfer transfer(m_parent, nullptr);
        listed = transfer.Run(
            [connection = &m_connection, listing]
            {
                connection->KeepAlive();
                return connection->ListDirectory(Device::fileMeasurement, *listing);
            });
        if (transfer.Cancelled())
            return;
    }
    // An explorer over a listing that did not arrive would show the tester as empty.
    if (!listed)
    {
        Platform::ShowMessageBox(m_parent, LoadString(StringId::IDS_LISTING_FAILED), QString(),
                                 Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
        return;
    }

    CVesk3Explorer explorer(m_parent, *listing, m_connection);
    if (Platform::RunModalDialog(explorer) != Platform::IDOK)
        return;

    QString explorerFolder;
    const std::vector<TVeskFile> chosen = explorer.GetSelectedFiles(explorerFolder);
    QStringList notDownloaded;
    bool lost = false;
    {
        Platform::WaitCursor wait;
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
    // What the worker works through, worked out here: each chosen item keeps its place
    // below the explorer's folder.
    struct SItem
    {
        QString source;
        QString target;
        QString text;
        bool folder;
    };
    auto items = std::make_shared<std::vector<SItem>>();
    for (const TVeskFile& file : chosen)
    {
        QString target = targetFolder + file.path.mid(explorerFolder.size());
        // The document names a series after the file's base name, which is the text
        // before the last period; a file name without one is a name all the same.
        if (!file.isFolder && !target.mid(target.lastIndexOf(u'\\') + 1).contains(u'.'))
            target += u'.';
        QString targetFolderPart, targetBase;
        SplitDevicePath(target, &targetFolderPart, nullptr, &targetBase, nullptr);
        items->push_back({file.path, target, FromToText(file.path, targetFolderPart + targetBase), file.isFolder});
    }

    CProgressWnd progress(m_parent, LoadString(StringId::IDS_DOWNLOADING), LoadString(StringId::IDS_CANCEL),
                          true);
    progress.SetText(QString());
    progress.SetRange(0, int(items->size()), 1);
    CTesterTransfer transfer(m_parent, &progress);
    bool lost = false;
    // On the UI thread, as the worker reports: the item's line, then the item itself.
    const auto show = [&progress, items](size_t i)
    {
        progress.SetText((*items)[i].text);
        progress.StepIt();
    };
    const auto arrived = [this, items](size_t i, const QByteArray* bytes)
    {
        const SItem& item = (*items)[i];
        if (item.folder)
        {
            // An empty folder is wanted too: the project gets the folder.
            m_doc.AddMeasurementFile(item.target, nullptr);
            return;
        }
        std::shared_ptr<StreamIO::CRamStream> ram = bytes ? OpenRamFile(kMeasurementRamFile) : nullptr;
        if (ram && ram->Write(bytes->constData(), uint32_t(bytes->size())) == uint32_t(bytes->size()))
        {
            ram->SetPosition(0);
            if (m_doc.AddMeasurementFile(item.target, ram.get()))
                return;
        }
        m_failed << item.source;
    };
    const auto gone = [&lost, &notDownloaded, items](size_t failed)
    {
        lost = true;
        for (size_t rest = failed + 1; rest < items->size(); ++rest)
            if (!(*items)[rest].folder)
                notDownloaded << (*items)[rest].source;
    };

    // The worker fetches file after file; each arrives on the UI thread whole or not at
    // all, so the file under way when the user cancels does not reach the project.
    transfer.RunReporting(
        [connection = &m_connection, items, show, arrived, gone](const CTesterTransfer::Post& post)
        {
            for (size_t i = 0; i < items->size(); ++i)
            {
                const SItem& item = (*items)[i];
                post([show, i] { show(i); });
                if (item.folder)
                {
                    post([arrived, i] { arrived(i, nullptr); });
                    continue;
                }
                std::shared_ptr<StreamIO::CRamStream> ram = OpenRamFile(kTransferRamFile);
                if (!ram)
                {
                    post([arrived, i] { arrived(i, nullptr); });
                    continue;
                }
                const CVeskoraConnection::NOutcome outcome = connection->RunInBatch(
                    [&](Device::CVmDevice& device) { return device.DownloadFile(ram.get(), item.source); },
                    [&]
                    {
                        ram->SetPosition(0);
                        ram->Truncate();
                    });
                auto bytes = std::make_shared<QByteArray>();
                bool whole = outcome == CVeskoraConnection::NOutcome::done;
                if (whole)
                {
                    bytes->resize(qsizetype(ram->GetLength()));
                    ram->SetPosition(0);
                    whole = ram->Read(bytes->data(), uint32_t(bytes->size())) == uint32_t(bytes->size());
                }
                post([arrived, i, bytes, whole] { arrived(i, whole ? bytes.get() : nullptr); });
                // A file the tester refused or answered too late is one failure; a tester
                // that no longer answers ends the batch, and everything not yet downloaded
                // is named.
                if (outcome == CVeskoraConnection::NOutcome::lost)
                {
                    post([gone, i] { gone(i); });
                    return false;
                }
            }
            return true;
        });
    return lost && !transfer.Cancelled();
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
    auto listing = std::make_shared<QString>();
    {
        // The tester keeps its remote connection open through the transfers that follow.
        CTesterTransfer transfer(m_parent, nullptr);
        if (!transfer.Run(
                [connection = &m_connection, listing]
                {
                    connection->KeepAlive();
                    return connection->ListDirectory(Device::fileConversion, *listing);
                }))
            return;
    }
    CVesk3Parser parser(*listing, Device::fileConversion);
    const TVeskFileArray& records = parser.GetRecords();
    if (records.empty())
        return;

    const QString folder = m_doc.GetConversionFolder();
    CProgressWnd progress(m_parent, LoadString(StringId::IDS_DOWNLOADING_CONVERSIONS),
                          LoadString(StringId::IDS_CANCEL), true);
    progress.SetText(QString());
    progress.SetRange(0, int(records.size()), 1);
    CTesterTransfer transfer(m_parent, &progress);
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

        std::shared_ptr<StreamIO::CRamStream> ram = OpenRamFile(kConversionRamFile);
        const bool arrived =
            ram && transfer.Run([connection = &m_connection, ram, path = record->path]
                                { return connection->DownloadFile(ram.get(), path); });
        if (transfer.Cancelled())
            return;
        if (!arrived)
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
    std::shared_ptr<StreamIO::CRamStream> block = OpenRamFile(kConversionRamFile + QStringLiteral(".out"));
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
