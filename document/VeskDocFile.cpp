// The project file, the file commands and the clipboard block of CVeskDoc.
#include "document/DocView.h"
#include "document/FolderPath.h"
#include "document/SettingsFolders.h"
#include "document/VeskDoc.h"
#include "measurement/FolderData.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "platform/core/SafeFileWriter.h"
#include "platform/core/StringTable.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/FileDialog.h"
#include "platform/gui/MessageBox.h"
#include "resources/StringIds.h"
#include "streamio/FileVersionInfo.h"
#include "streamio/RamStream.h"
#include "streamio/VMArchive.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>

#include <sys/stat.h>

namespace
{
const QString kProjectHeader = QStringLiteral("VelmoR Veskador3 project file");
const QString kClipFile = QStringLiteral("RAM:ClipRamStream");
const QString kHeaderFile = QStringLiteral("RAM:ProjectHeader");
const QString kProjectFilter = QStringLiteral("Veskador 3 Project (*.v3p)|*.v3p|All Files (*.*)|*.*||");
const QString kProjectExtension = QStringLiteral("v3p");
constexpr uint16_t kFormatWord = 1;
constexpr uint32_t kArchiveBuffer = StreamIO::ARCHIVE_FILE_BUFFER;
constexpr uint32_t kRamFlags =
    StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS;
constexpr int kAllReadings = 7;

// Series named in the message about entries without readings; the rest are counted.
constexpr qsizetype kListedEmptySeries = 20;

// Whether the file begins as a project file does (or is a piece of that beginning): a
// file that does not is no project file at all rather than a damaged one.
bool StartsAsProject(const QString& path)
{
    QByteArray expected;
    try
    {
        StreamIO::CRamStream ram;
        ram.Open(kHeaderFile, kRamFlags);
        StreamIO::CVMArchive archive(ram.GetHandle(), StreamIO::ARCHIVE_NO_CLOSE, kArchiveBuffer);
        archive.WriteString(kProjectHeader);
        archive.Flush();
        expected.resize(qsizetype(ram.GetLength()));
        ram.SetPosition(0);
        if (ram.Read(reinterpret_cast<uint8_t*>(expected.data()), uint32_t(expected.size())) !=
            uint32_t(expected.size()))
            return true;
    }
    catch (const CFileException&)
    {
        return true;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QByteArray start = file.read(expected.size());
    return !start.isEmpty() && expected.startsWith(start);
}

uint32_t ReadLe32(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData());
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
} // namespace

// ---------------------------------------------------------------------------------------
// The project image

bool CVeskDoc::WriteProject(StreamIO::CVMArchive& archive, const std::vector<uint8_t>* mask)
{
    archive.WriteString(kProjectHeader);
    CFileVersionInfo version;
    version.ReadFromModule();
    for (int part = 3; part >= 0; --part)
        archive.WriteWord(version.GetFileVersionPart(part));
    archive.WriteWord(kFormatWord);
    if (!mask)
    {
        archive.WriteDWord(uint32_t(m_folders.size()));
        for (const auto& [path, folder] : m_folders)
        {
            archive.WriteString(path);
            folder->Serialize(archive);
        }
        return true;
    }
    // Without a current folder there is no record to write, so none is counted.
    archive.WriteDWord(m_currentFolder ? 1 : 0);
    if (m_currentFolder)
    {
        archive.WriteString(m_currentFolder->GetName());
        m_currentFolder->Serialize(archive, mask);
    }
    return true;
}

std::vector<CVeskDoc::SStagedFolder> CVeskDoc::StageProject(StreamIO::CVMArchive& archive)
{
    QString header;
    archive.ReadString(header);
    if (header != kProjectHeader)
        throw CFileException(Err::InvalidData, QString());
    // The program's version and the format word are not checked.
    for (int i = 0; i < 5; ++i)
    {
        uint16_t ignored = 0;
        archive.ReadWord(ignored);
    }
    uint32_t count = 0;
    archive.ReadDWord(count);
    // Every record reads its own bytes: a count the data does not hold ends with the
    // archive's end-of-data error, with no more memory taken than the records read.
    std::vector<SStagedFolder> staged;
    for (uint32_t k = 0; k < count; ++k)
    {
        SStagedFolder record;
        archive.ReadString(record.path);
        // Keys must be normalised, or folder deletes and moves by path prefix miss them.
        NormalizeFolderPath(record.path);
        record.folder = std::make_unique<CFolderData>();
        record.folder->SetDocument(this);
        record.folder->SetName(record.path);
        record.folder->Serialize(archive);
        staged.push_back(std::move(record));
    }
    return staged;
}

void CVeskDoc::AppendSeries(CFolderData& target, CFolderData& source)
{
    const int before = target.GetSeriesCount();
    for (int i = 0; i < source.GetSeriesCount(); ++i)
        target.AddSeries(std::make_unique<CMeasSeriesWrapper>(*source.GetSeriesAt(i)), true);
    target.TakeUnreadable(source, before);
}

void CVeskDoc::CommitProject(std::vector<SStagedFolder>& staged, CFolderData* targetFolder)
{
    for (SStagedFolder& record : staged)
    {
        CFolderData* existing = targetFolder ? targetFolder : LookupFolder(record.path);
        if (existing)
        {
            // A folder that is already there keeps its series and takes the new ones.
            AppendSeries(*existing, *record.folder);
        }
        else
        {
            m_folders.emplace(record.path, std::move(record.folder));
        }
    }
    staged.clear();
}

bool CVeskDoc::ReadProject(StreamIO::CVMArchive& archive, CFolderData* targetFolder)
{
    std::vector<SStagedFolder> staged = StageProject(archive);
    CommitProject(staged, targetFolder);
    return true;
}

// ---------------------------------------------------------------------------------------
// File commands

QString CVeskDoc::ProjectFolderSetting() const
{
    QString folder;
    Settings::Registry().ReadString(Settings::kProjectsPath, folder);
    return folder;
}

void CVeskDoc::RememberProjectFolder(const QString& filePath) const
{
    QString folder = QFileInfo(filePath).absolutePath();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    Settings::Registry().WriteString(Settings::kProjectsPath, folder);
}

void CVeskDoc::TellAboutSeriesWithoutReadings() const
{
    QStringList empty;
    for (const auto& [path, folder] : m_folders)
        for (const QString& name : folder->GetSeriesWithoutReadings())
            empty << path + name;
    if (empty.isEmpty())
        return;
    QString list = empty.mid(0, kListedEmptySeries).join(u'\n');
    if (empty.size() > kListedEmptySeries)
        list += u'\n' + Platform::LoadString(StringId::IDS_AND_MORE).replace(QStringLiteral("%d"),
                                                                  QString::number(empty.size() - kListedEmptySeries));
    Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_EMPTY_SERIES_NOT_KEPT).replace(QStringLiteral("%s"), list),
                             Platform::MB_OK | Platform::MB_ICONINFORMATION);
}

bool CVeskDoc::SaveProject(const QString& path)
{
    if (path.isEmpty())
        return false;
    // Such series have no stored form: the user hears before they are gone from the file.
    TellAboutSeriesWithoutReadings();
    // A failure before the temporary file exists wrote nothing, and the user hears so.
    bool opened = false;
    try
    {
        // The archive writes a temporary file beside the project and renames it on Close;
        // leaving early (no-close mode) drops the temporary file, so a failed save never
        // touches the previous project.
        StreamIO::CVMArchive archive(path, StreamIO::ARCHIVE_NO_CLOSE, kArchiveBuffer);
        opened = true;
        WriteProject(archive);
        archive.Close();
    }
    catch (const CFileException& e)
    {
        return TellSaveFailed(path, !opened, ErrnoFromError(e.Error()));
    }
    catch (const CMemoryException&)
    {
        return TellSaveFailed(path, !opened, ENOMEM);
    }
    catch (const std::bad_alloc&)
    {
        return TellSaveFailed(path, !opened, ENOMEM);
    }
    ClearModified();
    return true;
}

bool CVeskDoc::TellSaveFailed(const QString& path, bool openFailed, int posixErrno) const
{
    // The previous file, the project's path, title and modified flag all stay as they were.
    Platform::ShowMessageBox(Platform::SafeFileWriter::FailureMessage(path, openFailed,
                                                                      Platform::SafeFileWriter::ReasonOf(posixErrno)),
                             Platform::MB_OK | Platform::MB_ICONSTOP);
    return false;
}

bool CVeskDoc::SaveProjectAs()
{
    Platform::FileDialogRequest request;
    request.save = true;
    request.initialFolder = ProjectFolderSetting();
    request.fileName = GetTitle(true);
    request.filter = kProjectFilter;
    request.defaultExtension = kProjectExtension;
    request.flags = Platform::OFN_HIDEREADONLY | Platform::OFN_OVERWRITEPROMPT;
    const std::optional<QString> chosen = Platform::ShowFileDialog(nullptr, request);
    if (!chosen)
        return false;
    RememberProjectFolder(*chosen);
    // The project takes the new name only once a file of that name holds it.
    if (!SaveProject(*chosen))
        return false;
    m_projectPath = *chosen;
    RememberFileStamp(*chosen);
    UpdateAllViews(nullptr, DOC_HINT_SAVED);
    return true;
}

bool CVeskDoc::Save()
{
    if (!m_projectPath.isEmpty())
    {
        switch (CheckFileUnchanged(m_projectPath))
        {
        case NSaveTarget::cancel:
            return false;
        case NSaveTarget::saveAs:
            if (!SaveProjectAs())
                return false;
            break;
        case NSaveTarget::overwrite:
            if (!SaveProject(m_projectPath))
                return false;
            RememberFileStamp(m_projectPath);
            break;
        }
    }
    else if (!SaveProjectAs())
    {
        return false;
    }
    UpdateAllViews(nullptr, DOC_HINT_SAVED);
    return true;
}

CVeskDoc::SFileStamp CVeskDoc::StampOf(const QString& path)
{
    SFileStamp stamp;
    struct stat st{};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.device = uint64_t(st.st_dev);
    stamp.inode = uint64_t(st.st_ino);
    stamp.size = int64_t(st.st_size);
    stamp.modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}

void CVeskDoc::RememberFileStamp(const QString& path)
{
    m_fileStamp = StampOf(path);
}

CVeskDoc::NSaveTarget CVeskDoc::CheckFileUnchanged(const QString& path) const
{
    const SFileStamp now = StampOf(path);
    // A file that is gone loses nothing when it is written again.
    if (!now.exists || now == m_fileStamp)
        return NSaveTarget::overwrite;
    const int answer = Platform::ShowMessageBox(
        Platform::LoadString(StringId::IDS_PROJECT_CHANGED_ON_DISK).arg(path),
        Platform::MB_YESNOCANCEL | Platform::MB_ICONEXCLAMATION | Platform::MB_DEFBUTTON2);
    if (answer == Platform::IDYES)
        return NSaveTarget::overwrite;
    return answer == Platform::IDNO ? NSaveTarget::saveAs : NSaveTarget::cancel;
}

bool CVeskDoc::AskToSaveChanges()
{
    if (!m_modified || !HasFolders())
        return true;
    const int answer = Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_SAVE_CHANGES),
                                                Platform::MB_YESNOCANCEL);
    if (answer == Platform::IDCANCEL)
        return false;
    return answer != Platform::IDYES || Save();
}

bool CVeskDoc::CloseProject()
{
    if (!AskToSaveChanges())
        return false;
    DeleteContents();
    m_projectPath.clear();
    m_fileStamp = SFileStamp();
    ClearModified();
    UpdateAllViews(nullptr, DOC_HINT_ALL);
    return true;
}

bool CVeskDoc::IsProjectFile(const QString& path) const
{
    if (m_projectPath.isEmpty())
        return false;
    const QFileInfo open(m_projectPath);
    const QFileInfo other(path);
    if (open.exists() && other.exists())
        return open.canonicalFilePath() == other.canonicalFilePath();
    return open.absoluteFilePath() == other.absoluteFilePath();
}

bool CVeskDoc::StageProjectFile(const QString& path, std::vector<SStagedFolder>& staged)
{
    auto tell = [&path](uint32_t id, const QString& detail = QString())
    {
        QString text = Platform::LoadString(id).replace(QStringLiteral("%1"), path);
        Platform::ShowMessageBox(text.replace(QStringLiteral("%2"), detail), Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
        return false;
    };
    const QFileInfo info(path);
    // Only a regular file is read: a folder fails obscurely, and a pipe would wait forever.
    if (!info.isFile())
        return tell(StringId::IDS_OPEN_NOT_A_FILE);
    std::unique_ptr<StreamIO::CVMArchive> archive;
    uint32_t error = Err::Success;
    uint64_t failedAt = 0;
    try
    {
        archive = std::make_unique<StreamIO::CVMArchive>(path, StreamIO::ARCHIVE_LOAD, kArchiveBuffer);
        staged = StageProject(*archive);
        archive->Close();
        return true;
    }
    catch (const CFileException& e)
    {
        error = e.Error() == Err::Success ? Err::GenFailure : e.Error();
        if (e.GetCause() == CFileException::accessDenied)
            error = Err::AccessDenied;
    }
    catch (const CMemoryException&)
    {
        // Counts are checked against the bytes at hand, so only a damaged file asks this much.
        error = Err::InvalidData;
    }
    catch (const std::bad_alloc&)
    {
        error = Err::InvalidData;
    }
    if (archive && archive->IsOpen())
        failedAt = archive->GetLoadPosition();
    staged.clear();
    archive.reset();
    if (error == Err::AccessDenied)
        return tell(StringId::IDS_OPEN_NO_PERMISSION);
    if (info.size() == 0)
        return tell(StringId::IDS_OPEN_EMPTY);
    if (!StartsAsProject(path))
        return tell(StringId::IDS_OPEN_NOT_PROJECT);
    if (error == Err::HandleEof || error == Err::InvalidData || error == Err::InsufficientBuffer)
        return tell(StringId::IDS_OPEN_DAMAGED, QString::number(failedAt));
    return tell(StringId::IDS_OPEN_READ_FAILED, QString::number(error));
}

bool CVeskDoc::OpenProject(const QString& path, bool merge)
{
    QString chosen = path;
    if (chosen.isEmpty())
    {
        Platform::FileDialogRequest request;
        request.initialFolder = ProjectFolderSetting();
        request.fileName = QStringLiteral("*.v3p");
        request.filter = kProjectFilter;
        request.defaultExtension = kProjectExtension;
        request.flags = Platform::OFN_HIDEREADONLY | Platform::OFN_OVERWRITEPROMPT;
        const std::optional<QString> answer = Platform::ShowFileDialog(nullptr, request);
        if (!answer || answer->isEmpty())
            return false;
        chosen = *answer;
    }
    // A path from the command line may name no file at all; saying it is not a project
    // file would send the user looking for a damaged file.
    if (!QFileInfo::exists(chosen))
    {
        Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_FILE_NOT_FOUND).replace(QStringLiteral("%s"), chosen),
                                 Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
        return false;
    }
    RememberProjectFolder(chosen);

    // Opening the file that is open now: the save the close question offers comes first and
    // the file is read after it, so what was just saved is what is shown (and No reverts
    // to the saved file). Nothing read before the save could be written back over it.
    const bool reopening = !merge && IsProjectFile(chosen);
    if (reopening && !AskToSaveChanges())
        return false;
    const SFileStamp stamp = StampOf(chosen);

    // The whole file is read before the project changes: a file that cannot be read
    // leaves the open project as it was, and the views are not told anything.
    std::vector<SStagedFolder> staged;
    if (!StageProjectFile(chosen, staged))
        return false;
    // Only a readable file puts the open project up for closing (and saving); the file
    // open now was asked about already.
    QString shownFolder;
    if (reopening)
    {
        // The tree keeps the item it shows when the file still holds that folder, so the
        // folder stays current; otherwise the tree chooses another item and says so.
        shownFolder = m_currentPath;
        DeleteContents();
        m_projectPath.clear();
    }
    else if (!merge && !CloseProject())
    {
        return false;
    }
    int unreadable = 0;
    for (const SStagedFolder& record : staged)
        unreadable += record.folder->GetUnreadableCount();
    CommitProject(staged, nullptr);
    if (CFolderData* folder = shownFolder.isEmpty() ? nullptr : LookupFolder(shownFolder))
        FollowFolder(folder, shownFolder, true);
    if (merge)
    {
        // The open project changed and no longer matches its file.
        m_modified = true;
    }
    else
    {
        m_modified = false;
        m_projectPath = chosen;
        m_fileStamp = stamp;
    }
    UpdateAllViews(nullptr, DOC_HINT_ALL);
    if (unreadable > 0)
        Platform::ShowMessageBox(
            Platform::LoadString(StringId::IDS_UNREADABLE_SERIES_KEPT).replace(QStringLiteral("%d"), QString::number(unreadable)),
            Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
    return true;
}

// ---------------------------------------------------------------------------------------
// Clipboard

bool CVeskDoc::CopySeries(std::vector<uint8_t>& mask)
{
    if (!m_currentFolder || m_currentFolder->GetSeriesCount() == 0)
        return false;
    int chosen = 0;
    const size_t n = std::min(mask.size(), size_t(m_currentFolder->GetSeriesCount()));
    for (size_t i = 0; i < n; ++i)
    {
        if (mask[i] != 1)
            continue;
        CMeasSeries1* series = m_currentFolder->GetSeriesAt(int(i))->GetSeries();
        // A series without readings has nothing to copy.
        if (series && series->GetCount(kAllReadings) > 0)
            ++chosen;
        else
            mask[i] = 0;
    }
    if (chosen == 0)
        return false;

    m_folderCutPending = false;
    m_folderCopyPending = false;
    m_seriesCopyPending = true;

    QByteArray block;
    try
    {
        StreamIO::CRamStream ram;
        ram.Open(kClipFile, kRamFlags);
        // Closing the archive would close the RAM file and drop its bytes: the image is
        // taken out while the archive is still open.
        StreamIO::CVMArchive archive(ram.GetHandle(), StreamIO::ARCHIVE_NO_CLOSE, kArchiveBuffer);
        WriteProject(archive, &mask);
        archive.Flush();
        const uint32_t length = ram.GetLength();
        block = QByteArray(qsizetype(length) + 4, '\0');
        auto* p = reinterpret_cast<uint8_t*>(block.data());
        p[0] = uint8_t(length);
        p[1] = uint8_t(length >> 8);
        p[2] = uint8_t(length >> 16);
        p[3] = uint8_t(length >> 24);
        ram.SetPosition(0);
        if (ram.Read(p + 4, length) != length)
            return false;
    }
    catch (const CFileException&)
    {
        return false;
    }
    catch (const CMemoryException&)
    {
        return false;
    }
    Platform::ClipboardService::Content content;
    content.privateFormats.insert(kClipboardFormat, block);
    return Platform::Clipboard().Set(content);
}

bool CVeskDoc::PasteSeries()
{
    const std::optional<QByteArray> block = Platform::Clipboard().PrivateData(kClipboardFormat);
    if (!block)
        return true;
    // Any program can put data under our format's name: the count must fit the block.
    if (block->size() < 4 || ReadLe32(*block) > uint64_t(block->size() - 4))
        throw CFileException(Err::InvalidData, kClipFile);
    const uint32_t length = ReadLe32(*block);

    std::vector<SStagedFolder> staged;
    {
        StreamIO::CRamStream ram;
        ram.Open(kClipFile, kRamFlags);
        if (ram.Write(block->constData() + 4, length) != length)
            throw CFileException(Err::WriteFault, kClipFile);
        StreamIO::CVMArchive archive(ram.GetHandle(), StreamIO::ARCHIVE_LOAD, kArchiveBuffer);
        staged = StageProject(archive);
        archive.Close();
    }
    // The pasted series come selected as they were copied, and they alone are selected.
    if (m_currentFolder)
        for (int i = 0; i < m_currentFolder->GetSeriesCount(); ++i)
            m_currentFolder->SetSeriesSelected(i, 0);
    const QString firstPasted = staged.empty() ? QString() : staged.front().path;
    CommitProject(staged, m_currentFolder);
    if (m_currentFolder)
        m_currentFolder->Sort(m_currentFolder->GetSortOrder());
    else if (CFolderData* created = firstPasted.isEmpty() ? nullptr : LookupFolder(firstPasted))
        // A paste without a project made the project: its folder is shown.
        FollowFolder(created, firstPasted, true);
    m_modified = true;
    // While the tree pastes into a folder that is not shown, the views stay as they are.
    if (!m_savedFolder || m_savedFolder == m_currentFolder)
        UpdateAllViews(nullptr, DOC_HINT_ALL);
    return true;
}

bool CVeskDoc::CanPaste() const
{
    const std::optional<QByteArray> block = Platform::Clipboard().PrivateData(kClipboardFormat);
    return block && block->size() >= 4 && ReadLe32(*block) != 0;
}
