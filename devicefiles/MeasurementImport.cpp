#include "devicefiles/MeasurementImport.h"

#include "controls/ProgressWnd.h"
#include "document/VeskDoc.h"
#include "devicefiles/FileListText.h"
#include "platform/core/StringTable.h"
#include "platform/gui/FileDialog.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/WaitCursor.h"
#include "resources/StringIds.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

using Platform::LoadString;

namespace
{
const QString kMeasurementExtension = QStringLiteral(".vsm");
const QString kProjectExtension = QStringLiteral(".v3p");

bool IsMeasurementFileName(const QString& name)
{
    return name.endsWith(kMeasurementExtension, Qt::CaseInsensitive);
}

// A path without a trailing separator (the root stays "/").
QString CleanPath(const QString& path)
{
    return QDir::cleanPath(path);
}

// The folder that holds the path, with its trailing separator; what the path is imported
// relative to.
QString ParentFolder(const QString& path)
{
    const QString clean = CleanPath(path);
    const qsizetype cut = clean.lastIndexOf(u'/');
    return cut < 0 ? QString() : clean.left(cut + 1);
}

// The entries of a folder in name order, without "." and "..", hidden ones included.
QFileInfoList FolderEntries(const QString& folder)
{
    return QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                      QDir::Name);
}

// A folder to descend into: a link to a folder is not followed, as it may lead back up.
bool IsRealFolder(const QFileInfo& info)
{
    return info.isDir() && !info.isSymLink();
}

// A measurement file to import: anything by that name but a folder. What is not a file
// that can be read (a link that leads nowhere, a path that is not there, a pipe, a socket,
// a device node) is named among the files that could not be imported.
bool IsImportable(const QFileInfo& info)
{
    return IsMeasurementFileName(info.fileName()) && !info.isDir();
}

// A pipe or a device node by a measurement file's name: opening it could block the import
// for good, so it is not opened at all.
bool IsSpecialFile(const QFileInfo& info)
{
    return info.exists() && !info.isFile() && !info.isDir();
}
} // namespace

CMeasurementImport::CMeasurementImport(CVeskDoc& doc, QWidget* parent) : m_doc(doc), m_parent(parent)
{
}

CMeasurementImport::~CMeasurementImport() = default;

void CMeasurementImport::OnImportMeasurements()
{
    Platform::FileDialogRequest request;
    request.defaultExtension = QStringLiteral("vsm");
    request.filter = LoadString(StringId::IDS_MEASUREMENT_FILES) + QStringLiteral(" (*.vsm)|*.vsm|") +
                     LoadString(StringId::IDS_ALL_FILES) + QStringLiteral(" (*.*)|*.*||");
    request.flags = Platform::OFN_HIDEREADONLY | Platform::OFN_ALLOWMULTISELECT;
    const std::optional<QStringList> chosen = Platform::ShowOpenFilesDialog(m_parent, request);
    if (chosen && !chosen->isEmpty())
        ImportFiles(*chosen);
}

QStringList CMeasurementImport::CollectDroppedPaths(const QStringList& paths)
{
    QStringList taken;
    for (const QString& path : paths)
    {
        if (path.endsWith(kProjectExtension))
        {
            if (paths.size() == 1)
                return {path};
            continue;
        }
        taken << path;
    }
    return taken;
}

bool CMeasurementImport::Cancelled()
{
    if (!m_progress)
        return true;
    m_progress->PumpMessages(true);
    return m_progress->Cancelled();
}

void CMeasurementImport::ImportFiles(const QStringList& paths)
{
    m_failed.clear();
    if (paths.isEmpty())
        return;
    if (paths.size() == 1 && paths.front().endsWith(kProjectExtension, Qt::CaseInsensitive))
    {
        m_doc.OpenProject(paths.front(), false);
        return;
    }

    std::optional<Platform::WaitCursor> wait;
    wait.emplace();
    m_progress = std::make_unique<CProgressWnd>(m_parent, LoadString(StringId::IDS_IMPORTING),
                                                LoadString(StringId::IDS_CANCEL), true);
    m_progress->SetText(LoadString(StringId::IDS_PREPARING_IMPORT));
    m_progress->SetRange(0, 1, 1);

    // Counting first, so that the bar knows its end.
    int total = 0;
    for (const QString& path : paths)
    {
        if (Cancelled())
        {
            // Nothing was imported yet: the project stays as it was.
            m_progress.reset();
            return;
        }
        const QFileInfo info(path);
        if (info.isDir())
        {
            const int count = CountImportFiles(path);
            if (count < 0)
            {
                m_progress.reset();
                return;
            }
            total += count;
        }
        else if (IsImportable(info))
        {
            ++total;
        }
    }

    m_progress->SetRange(0, total, 1);
    for (const QString& path : paths)
    {
        if (Cancelled())
            break;
        const QFileInfo info(path);
        if (info.isDir())
        {
            if (!ImportFolder(path, ParentFolder(path)))
                break;
        }
        else if (IsImportable(info))
        {
            ImportFile(path, ParentFolder(path));
            m_progress->StepIt();
        }
    }
    // What was imported stays, also after a cancel; the views learn of it now.
    m_doc.AddMeasurementFile(QString(), nullptr);
    m_progress.reset();
    wait.reset();

    if (m_failed.isEmpty())
        return;
    Platform::ShowMessageBox(m_parent, FileListText(LoadString(StringId::IDS_NOT_IMPORTED), m_failed),
                             QString(), Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
}

int CMeasurementImport::CountImportFiles(const QString& folder)
{
    int count = 0;
    for (const QFileInfo& entry : FolderEntries(folder))
    {
        if (Cancelled())
            return -1;
        if (IsRealFolder(entry))
        {
            const int inner = CountImportFiles(entry.filePath());
            if (inner < 0)
                return -1;
            count += inner;
        }
        else if (IsImportable(entry))
        {
            ++count;
        }
    }
    return count;
}

bool CMeasurementImport::ImportFolder(const QString& folder, const QString& baseFolder)
{
    for (const QFileInfo& entry : FolderEntries(folder))
    {
        if (IsRealFolder(entry))
        {
            if (!ImportFolder(entry.filePath(), baseFolder))
                return false;
        }
        else if (IsImportable(entry))
        {
            ImportFile(entry.filePath(), baseFolder);
            m_progress->StepIt();
            m_progress->SetText(entry.filePath());
        }
        if (Cancelled())
            return false;
    }
    return true;
}

void CMeasurementImport::ImportFile(const QString& path, const QString& baseFolder)
{
    if (IsSpecialFile(QFileInfo(path)))
    {
        m_failed << path;
        return;
    }
    try
    {
        if (m_doc.ImportMeasurementFile(path, baseFolder))
            return;
    }
    catch (const std::exception&)
    {
        // Cannot be opened or read: named at the end.
    }
    m_failed << path;
}
