#include "document/VeskDoc.h"

#include "document/DocView.h"
#include "document/FolderPath.h"
#include "measurement/ConvEnumerator.h"
#include "measurement/ConvTable.h"
#include "measurement/FolderData.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "measurement/ScaleCodes.h"
#include "measurement/SeriesSettings.h"
#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "platform/core/SafeFileWriter.h"
#include "platform/core/StringTable.h"
#include "platform/gui/MessageBox.h"
#include "resources/StringIds.h"
#include "streamio/FileReplacement.h"
#include "streamio/FileStream.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace
{
// Every reading of a series, excluded or not, in or out of range.
constexpr int kAllReadings = 7;
} // namespace

const QString CVeskDoc::kClipboardFormat = QStringLiteral("Veskador3SEClipboardFormat");

CVeskDoc::CVeskDoc() = default;

CVeskDoc::~CVeskDoc()
{
    // Views are gone by now; nobody is told.
    m_views.clear();
    m_peers.clear();
    DeleteContents();
}

// ---------------------------------------------------------------------------------------
// Views and peers

void CVeskDoc::AddView(DocView* view)
{
    m_views.push_back(view);
}

bool CVeskDoc::RemoveView(DocView* view)
{
    const auto it = std::find(m_views.begin(), m_views.end(), view);
    if (it == m_views.end())
        return false;
    m_views.erase(it);
    return true;
}

void CVeskDoc::UpdateAllViews(DocView* sender, int hint)
{
    // A view may register or unregister views while it is told: the count is read anew
    // at every step.
    for (size_t i = 0; i < m_views.size(); ++i)
    {
        DocView* view = m_views[i];
        if (view != sender)
            view->OnDocUpdate(hint);
    }
}

void CVeskDoc::RefreshAllViews()
{
    UpdateAllViews(nullptr, DOC_HINT_ALL);
}

void CVeskDoc::AddCommandPeer(DocCommandPeer* peer)
{
    m_peers.push_back(peer);
}

bool CVeskDoc::RemoveCommandPeer(DocCommandPeer* peer)
{
    const auto it = std::find(m_peers.begin(), m_peers.end(), peer);
    if (it == m_peers.end())
        return false;
    m_peers.erase(it);
    return true;
}

void CVeskDoc::SendToCommandPeers(DocCommandPeer* sender, uint32_t message)
{
    for (size_t i = 0; i < m_peers.size(); ++i)
    {
        DocCommandPeer* peer = m_peers[i];
        if (peer != sender)
            peer->OnDocCommand(message);
    }
}

uint8_t CVeskDoc::SetModified()
{
    const bool previous = m_modified;
    m_modified = true;
    return previous ? 1 : 0;
}

// ---------------------------------------------------------------------------------------
// Folders

CVeskDoc::FolderPosition CVeskDoc::GetFirstFolderPosition() const
{
    FolderPosition position;
    position.m_it = m_folders.begin();
    position.m_valid = position.m_it != m_folders.end();
    return position;
}

void CVeskDoc::GetNextFolder(FolderPosition& position, QString& path, CFolderData*& folder) const
{
    if (!position)
    {
        path.clear();
        folder = nullptr;
        return;
    }
    path = position.m_it->first;
    folder = position.m_it->second.get();
    ++position.m_it;
    position.m_valid = position.m_it != m_folders.end();
}

bool CVeskDoc::AddFolder(const QString& path, std::unique_ptr<CFolderData>& folder, DocView* sender)
{
    if (!folder || m_folders.count(path) != 0)
        return false;
    m_folders.emplace(path, std::move(folder));
    m_modified = true;
    UpdateAllViews(sender, DOC_HINT_ALL);
    return true;
}

CFolderData* CVeskDoc::LookupFolder(const QString& path) const
{
    const auto it = m_folders.find(path);
    return it == m_folders.end() ? nullptr : it->second.get();
}

CFolderData* CVeskDoc::NewFolder(const QString& path)
{
    auto folder = std::make_unique<CFolderData>();
    folder->SetDocument(this);
    folder->SetName(path);
    CFolderData* raw = folder.get();
    m_folders[path] = std::move(folder);
    return raw;
}

CFolderData* CVeskDoc::FolderOfEntry(const CMeasSeriesWrapper* entry) const
{
    if (!entry)
        return nullptr;
    for (const auto& [path, folder] : m_folders)
        for (int i = 0; i < folder->GetSeriesCount(); ++i)
            if (folder->GetSeriesAt(i) == entry)
                return folder.get();
    return nullptr;
}

void CVeskDoc::ForgetFolder(const CFolderData* folder)
{
    if (m_currentFolder == folder)
    {
        m_currentFolder = nullptr;
        m_currentPath.clear();
        m_selected = -1;
    }
    if (m_savedFolder == folder)
    {
        m_savedFolder = nullptr;
        m_savedPath.clear();
    }
    if (m_measuring && FolderOfEntry(m_measuring) == folder)
        m_measuring = nullptr;
}

bool CVeskDoc::DeleteFolders(QString& path, DocView* sender)
{
    NormalizeFolderPath(path);
    bool deleted = false;
    for (auto it = m_folders.begin(); it != m_folders.end();)
    {
        if (it->first.startsWith(path))
        {
            ForgetFolder(it->second.get());
            it = m_folders.erase(it);
            deleted = true;
        }
        else
        {
            ++it;
        }
    }
    if (deleted)
    {
        m_modified = true;
        UpdateAllViews(sender, DOC_HINT_ALL);
    }
    return deleted;
}

bool CVeskDoc::MoveFolders(QString& oldPath, QString& newPath, DocView* sender)
{
    NormalizeFolderPath(oldPath);
    NormalizeFolderPath(newPath);
    if (m_folders.count(oldPath) == 0 || m_folders.count(newPath) != 0)
        return false;

    std::vector<QString> moving;
    for (const auto& [path, folder] : m_folders)
        if (path.startsWith(oldPath))
            moving.push_back(path);
    auto renamed = [&](const QString& path) { return newPath + path.mid(oldPath.size()); };
    // A folder below the old path must not land on a folder that stays where it is (the
    // map would lose one of them).
    for (const QString& path : moving)
    {
        const QString target = renamed(path);
        if (m_folders.count(target) != 0 && !target.startsWith(oldPath))
            return false;
    }

    std::vector<std::unique_ptr<CFolderData>> taken;
    for (const QString& path : moving)
    {
        auto node = m_folders.extract(path);
        taken.push_back(std::move(node.mapped()));
    }
    for (size_t i = 0; i < moving.size(); ++i)
    {
        const QString target = renamed(moving[i]);
        taken[i]->SetName(target);
        m_folders.emplace(target, std::move(taken[i]));
    }

    // The current and saved folders keep their objects; their paths follow.
    auto follow = [&](QString& stored)
    {
        if (stored.isEmpty())
            return;
        QString normal = stored;
        NormalizeFolderPath(normal);
        if (normal.startsWith(oldPath))
            stored = renamed(normal);
    };
    follow(m_currentPath);
    follow(m_savedPath);
    m_modified = true;
    UpdateAllViews(sender, DOC_HINT_ALL);
    return true;
}

void CVeskDoc::ResetSelection()
{
    if (m_selected != -1)
    {
        m_selected = -1;
        UpdateAllViews(nullptr, DOC_HINT_SELECTION);
    }
}

void CVeskDoc::SetCurrentFolder(CFolderData* folder, const QString& path, bool quiet)
{
    MakeFolderCurrent(folder, path, quiet, true);
}

void CVeskDoc::FollowFolder(CFolderData* folder, const QString& path, bool quiet)
{
    MakeFolderCurrent(folder, path, quiet, false);
}

void CVeskDoc::MakeFolderCurrent(CFolderData* folder, const QString& path, bool quiet, bool markModified)
{
    if (path != m_currentPath && !m_currentPath.isEmpty())
    {
        CloseMeasuringSeries();
        ResetSelection();
    }
    m_currentPath = path;
    m_currentFolder = folder;
    if (markModified)
        m_modified = true;
    if (!quiet)
        UpdateAllViews(nullptr, DOC_HINT_ALL);
}

QString CVeskDoc::GetCurrentFolderPath() const
{
    QString path = m_currentPath;
    return NormalizeFolderPath(path);
}

void CVeskDoc::PushCurrentFolder()
{
    m_savedFolder = m_currentFolder;
    m_savedPath = m_currentPath;
}

void CVeskDoc::PopCurrentFolder()
{
    m_currentFolder = m_savedFolder;
    m_currentPath = m_savedPath;
    m_savedFolder = nullptr;
    m_savedPath.clear();
}

void CVeskDoc::DeleteContents()
{
    CloseMeasuringSeries();
    m_measuring = nullptr;
    m_currentFolder = nullptr;
    m_currentPath.clear();
    // A kept folder is deleted with the rest; keeping a pointer to it would dangle.
    m_savedFolder = nullptr;
    m_savedPath.clear();
    m_folders.clear();
}

QString CVeskDoc::GetTitle(bool nameOnly) const
{
    if (m_projectPath.isEmpty())
        return m_folders.empty() ? QString() : Platform::LoadString(StringId::IDS_UNNAMED);
    if (!nameOnly)
        return m_projectPath;
    const qsizetype slash = std::max(m_projectPath.lastIndexOf(u'/'), m_projectPath.lastIndexOf(u'\\'));
    if (slash < 0)
        return QString();
    QString name = m_projectPath.mid(slash + 1);
    // Only the project extension goes; other periods belong to the name.
    if (name.endsWith(QStringLiteral(".v3p"), Qt::CaseInsensitive))
        name.chop(4);
    return name;
}

// ---------------------------------------------------------------------------------------
// Series of the current folder

CFolderData& CVeskDoc::CurrentFolder() const
{
    if (!m_currentFolder)
        throw std::invalid_argument("no current folder");
    return *m_currentFolder;
}

int CVeskDoc::GetSeriesCount() const
{
    return m_currentFolder ? m_currentFolder->GetSeriesCount() : 0;
}

CMeasSeriesWrapper* CVeskDoc::GetSeriesAt(int index) const
{
    return CurrentFolder().GetSeriesAt(index);
}

bool CVeskDoc::GetSeriesSettings(int index, SSeriesSettings& settings) const
{
    CMeasSeries1* series = GetSeriesAt(index)->GetSeries();
    return series && series->GetSettings(settings);
}

float CVeskDoc::GetSeriesNativeMean(int index) const
{
    return GetSeriesAt(index)->GetNativeMean();
}

float CVeskDoc::GetSeriesNativeMin(int index) const
{
    return GetSeriesAt(index)->GetNativeMin();
}

float CVeskDoc::GetSeriesNativeMax(int index) const
{
    return GetSeriesAt(index)->GetNativeMax();
}

int CVeskDoc::GetSeriesValidCount(int index) const
{
    return CurrentFolder().GetSeriesValidCount(index);
}

int CVeskDoc::GetSeriesReadingCount(int index) const
{
    return CurrentFolder().GetSeriesReadingCount(index);
}

int CVeskDoc::GetSeriesDecimals(int index, int kind) const
{
    return CurrentFolder().GetSeriesDecimals(index, kind);
}

QDateTime CVeskDoc::GetSeriesTime(int index) const
{
    return CurrentFolder().GetSeriesTime(index);
}

void CVeskDoc::SetSeriesTime(int index, const QDateTime& time)
{
    CurrentFolder().SetSeriesTime(index, time);
    // The time lives in the series' block, which the project file keeps; the folder does
    // not mark the change, so the document does.
    m_modified = true;
}

QString CVeskDoc::GetSeriesName(int index) const
{
    return CurrentFolder().GetSeriesName(index);
}

bool CVeskDoc::SetSeriesName(int index, const QString& name)
{
    // A series without a name cannot be told apart in the tree, the page or an export.
    if (name.trimmed().isEmpty())
        return false;
    CurrentFolder().SetSeriesName(index, name);
    return true;
}

QString CVeskDoc::GetSeriesComment(int index) const
{
    return CurrentFolder().GetSeriesComment(index);
}

void CVeskDoc::SetSeriesComment(int index, const QString& comment)
{
    CurrentFolder().SetSeriesComment(index, comment);
}

bool CVeskDoc::IsSeriesExpanded(int index) const
{
    return CurrentFolder().IsSeriesExpanded(index) != 0;
}

void CVeskDoc::SetSeriesExpanded(int index, bool expanded)
{
    // The page opens the series the project keeps open each time it shows them: that
    // changes nothing in the project.
    if (IsSeriesExpanded(index) == expanded)
        return;
    CurrentFolder().SetSeriesExpanded(index, expanded ? 1 : 0);
}

int CVeskDoc::GetSeriesValueOrder(int index) const
{
    return CurrentFolder().GetValueListOrder(index);
}

void CVeskDoc::SetSeriesValueOrder(int index, int order)
{
    CurrentFolder().SetValueListOrder(index, int16_t(order));
}

int CVeskDoc::ResolveSeriesValueOrder(int index)
{
    CMeasSeriesWrapper* entry = GetSeriesAt(index);
    if (entry->GetValueListOrder() == ValueOrder::kUnset)
        entry->SetValueListOrder(int16_t(ValueOrder::kMeasured));
    return entry->GetValueListOrder();
}

bool CVeskDoc::IsSeriesSelected(int index) const
{
    return CurrentFolder().IsSeriesSelected(index) != 0;
}

void CVeskDoc::SetSeriesSelected(int index, bool selected)
{
    CurrentFolder().SetSeriesSelected(index, selected ? 1 : 0);
}

bool CVeskDoc::GetSeriesUpdateFlag(int index) const
{
    return CurrentFolder().GetSeriesUpdateFlag(index) != 0;
}

void CVeskDoc::SetSeriesUpdateFlag(int index, bool flag)
{
    CurrentFolder().SetSeriesUpdateFlag(index, flag ? 1 : 0);
}

std::vector<const CMeasSeriesWrapper*> CVeskDoc::SeriesOrder() const
{
    std::vector<const CMeasSeriesWrapper*> order;
    const int count = GetSeriesCount();
    order.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        order.push_back(m_currentFolder->GetSeriesAt(i));
    return order;
}

void CVeskDoc::SortCurrentFolder(int order)
{
    CFolderData& folder = CurrentFolder();
    const int oldOrder = folder.GetSortOrder();
    const std::vector<const CMeasSeriesWrapper*> before = SeriesOrder();
    folder.Sort(order);
    // A view that shows the folder's rows must follow a new order at once: its rows would
    // name other series than the document's indices otherwise.
    if (oldOrder != order || SeriesOrder() != before)
    {
        m_modified = true;
        UpdateAllViews(nullptr, DOC_HINT_ALL);
    }
}

int CVeskDoc::FindSeries(const CMeasSeriesWrapper* entry, int hint) const
{
    const int count = GetSeriesCount();
    if (!entry || count == 0)
        return -1;
    if (hint >= 0 && hint < count && m_currentFolder->GetSeriesAt(hint) == entry)
        return hint;
    for (int i = 0; i < count; ++i)
        if (m_currentFolder->GetSeriesAt(i) == entry)
            return i;
    return -1;
}

int CVeskDoc::GetSortOrder() const
{
    return m_currentFolder ? m_currentFolder->GetSortOrder() : 0;
}

bool CVeskDoc::IsSeriesScaleCompatible(int index, const SProbeId& probe) const
{
    if (index < 0 || index >= GetSeriesCount())
        return false;
    const CMeasSeries1* series = GetSeriesAt(index)->GetSeries();
    if (!series)
        return false;
    const SProbeId own = series->GetProbeId();
    return own.IsBenchProbe() && own.IsCompatible(probe, true);
}

// ---------------------------------------------------------------------------------------
// Selection and the series open for measuring

int CVeskDoc::GetSelectedIndex()
{
    if (!m_currentFolder || m_selected >= m_currentFolder->GetSeriesCount())
        m_selected = -1;
    return m_selected;
}

void CVeskDoc::SetSelectedIndex(int index)
{
    if (index == m_selected)
        return;
    m_selected = index;
    UpdateAllViews(nullptr, DOC_HINT_SELECTION);
}

int CVeskDoc::GetMeasuringSeriesIndex() const
{
    if (!m_measuring || !m_currentFolder)
        return -1;
    for (int i = 0; i < m_currentFolder->GetSeriesCount(); ++i)
        if (m_currentFolder->GetSeriesAt(i) == m_measuring)
            return i;
    return -1;
}

CMeasSeriesWrapper* CVeskDoc::GetMeasuringSeries() const
{
    return GetMeasuringSeriesIndex() >= 0 ? m_measuring : nullptr;
}

bool CVeskDoc::OpenSeriesForMeasuring(int index)
{
    if (m_measuring || index < 0 || index >= GetSeriesCount())
        return false;
    CMeasSeriesWrapper* entry = GetSeriesAt(index);
    CMeasSeries1* series = entry->GetSeries();
    if (!series)
        return false;
    m_measuring = entry;
    series->SetNew();
    entry->SetExpanded(1);
    // The expanded byte is kept in the project file.
    m_modified = true;
    UpdateAllViews(nullptr, index);
    return true;
}

bool CVeskDoc::CloseMeasuringSeries()
{
    if (!m_measuring)
        return true;
    CMeasSeries1* series = m_measuring->GetSeries();
    if (series)
        series->CommitNew();
    const int index = GetMeasuringSeriesIndex();
    if (index < 0)
    {
        m_measuring = nullptr;
        return true;
    }
    if (!series || series->GetCount(kAllReadings) == 0)
    {
        // DeleteSeries clears the pointer and tells the views everything changed.
        DeleteSeries(index);
        return false;
    }
    m_measuring = nullptr;
    UpdateAllViews(nullptr, index);
    return true;
}

CMeasSeriesWrapper* CVeskDoc::NewMeasuringSeries(const CMeasSeriesWrapper& templateEntry)
{
    if (m_measuring)
        return m_measuring;
    if (!m_currentFolder)
        AddMeasurementFile(QStringLiteral("\\"), nullptr);
    CFolderData& folder = CurrentFolder();
    const std::vector<const CMeasSeriesWrapper*> before = SeriesOrder();
    auto entry = std::make_unique<CMeasSeriesWrapper>(templateEntry);
    entry->SetExpanded(1);
    entry->SetUpdateFlag(1);
    m_measuring = entry.get();
    folder.AddSeries(std::move(entry), true);
    folder.Sort(folder.GetSortOrder());
    m_modified = true;
    if (GetMeasuringSeriesIndex() >= 0)
    {
        // Rows can be inserted for the new series only while the others keep their order;
        // a folder whose stored order no longer held is shown anew.
        std::vector<const CMeasSeriesWrapper*> others = SeriesOrder();
        std::erase(others, m_measuring);
        UpdateAllViews(nullptr, others == before ? DOC_HINT_NEW_SERIES : DOC_HINT_ALL);
    }
    return m_measuring;
}

void CVeskDoc::UpdateMeasuringSeries()
{
    // Called when the series open for measuring took readings: they go into the project
    // file with it.
    if (m_measuring)
        m_modified = true;
    const int index = GetMeasuringSeriesIndex();
    if (index >= 0)
        UpdateAllViews(nullptr, index);
}

void CVeskDoc::DeleteSeries(int index)
{
    CFolderData& folder = CurrentFolder();
    const bool wasMeasuring = folder.GetSeriesAt(index) == m_measuring;
    if (wasMeasuring)
        m_measuring = nullptr;
    folder.DeleteSeries(index);
    if (wasMeasuring)
    {
        ResetSelection();
        UpdateAllViews(nullptr, DOC_HINT_ALL);
    }
}

void CVeskDoc::DeleteSeriesSet(std::vector<int> indices)
{
    const int count = GetSeriesCount();
    for (int index : indices)
        if (index < 0 || index >= count)
            throw std::invalid_argument("series index outside the folder");
    std::sort(indices.begin(), indices.end(), std::greater<>());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    if (indices.empty())
        return;
    for (int index : indices)
        DeleteSeries(index);
    m_modified = true;
    UpdateAllViews(nullptr, DOC_HINT_ALL);
}

void CVeskDoc::SortSeries(int order, DocView* sender)
{
    CurrentFolder().Sort(order);
    m_modified = true;
    UpdateAllViews(sender, DOC_HINT_ALL);
}

// ---------------------------------------------------------------------------------------
// Pending clipboard operations

void CVeskDoc::SetFolderCutPending(bool pending)
{
    m_folderCutPending = pending;
    m_folderCopyPending = false;
    m_seriesCopyPending = false;
}

void CVeskDoc::SetFolderCopyPending(bool pending)
{
    m_folderCopyPending = pending;
    m_folderCutPending = false;
    m_seriesCopyPending = false;
}

// ---------------------------------------------------------------------------------------
// Conversions

void CVeskDoc::StoreSeriesConversions(CMeasSeries1* series)
{
    if (!series)
        return;
    for (const bool original : {true, false})
    {
        if (!series->IsCustomConversion(original) || !series->RegisterCustomConversion(original))
            continue;
        QString name;
        // Without a conversions folder the record stays in the table only: a relative
        // name would land wherever the program happens to run.
        if (m_conversionFolder.isEmpty() || !series->GetCustomConversionFileName(original, name) ||
            name.isEmpty())
            continue;
        // A failure before the temporary file exists wrote nothing, and the user hears so.
        bool opened = false;
        try
        {
            // Written beside the file and put in its place when complete: a failed write
            // leaves a file of that name as it was.
            StreamIO::CFileReplacement file(m_conversionFolder + name);
            opened = true;
            if (series->WriteCustomConversion(original, file.Stream()))
                file.Commit();
            else if (const uint32_t error = file.Stream().GetError())
                throw CFileException(error, m_conversionFolder + name);
        }
        catch (const CFileException& e)
        {
            // The table already holds the record; the user hears that its file is missing.
            Platform::ShowMessageBox(Platform::SafeFileWriter::FailureMessage(
                                         m_conversionFolder + name, !opened,
                                         Platform::SafeFileWriter::ReasonOf(ErrnoFromError(e.Error()))),
                                     Platform::MB_OK | Platform::MB_ICONSTOP);
        }
    }
}

STargetScale& CVeskDoc::FindConversionSpec(STargetScale& result, const STargetScale& target,
                                           const SMaterial& material, int probeScale) const
{
    result = STargetScale();
    result.scale = probeScale;
    result.standard = target.standard;
    CConvTable& table = CConvTable::Instance();
    CConvTable::Guard lock(table);
    CConvEnumerator enumerator(&table);
    SConvRecordInfo info;
    // The probe scale goes into the filter as it is: a probe id would turn an unknown
    // code into "any probe".
    const QString customName = material.type == MAT_CUSTOM ? material.Name() : QString();
    for (int slot = enumerator.Find(info, probeScale, material.type, material.group, target.scale,
                                    target.standard, customName);
         slot >= 0; slot = enumerator.Next(info))
    {
        result.SetFromRecord(info);
        result.standard = target.standard;
    }
    return result;
}

bool CVeskDoc::IsScaleConvertible(int materialType, int probeScale) const
{
    CConvTable& table = CConvTable::Instance();
    CConvTable::Guard lock(table);
    CConvEnumerator enumerator(&table);
    SConvRecordInfo info;
    for (int slot = enumerator.Find(info, probeScale, materialType, 0, -1, 0); slot >= 0;
         slot = enumerator.Next(info))
        if (info.matType == materialType)
            return true;
    return false;
}

// ---------------------------------------------------------------------------------------
// Measurement files

bool CVeskDoc::AddMeasurementFile(const QString& path, StreamIO::CIoStream* stream)
{
    if (path.isEmpty())
    {
        m_modified = true;
        UpdateAllViews(nullptr, DOC_HINT_ALL);
        return true;
    }

    QString folderPath;
    QString baseName;
    SplitDevicePath(path, &folderPath, nullptr, &baseName, nullptr);

    QStringList elements{QStringLiteral("\\")};
    elements += folderPath.split(u'\\', Qt::SkipEmptyParts);
    QString accumulated;
    CFolderData* folder = nullptr;
    bool created = false;
    for (const QString& element : elements)
    {
        accumulated += element;
        NormalizeFolderPath(accumulated);
        folder = LookupFolder(accumulated);
        created = folder == nullptr;
        if (created)
            folder = NewFolder(accumulated);
        if (!m_currentFolder)
            m_currentFolder = folder;
    }

    if (!stream)
        return created;
    if (baseName.isEmpty())
        return false;
    std::unique_ptr<CMeasSeries1> series = CreateMeasSeries(*stream, false);
    if (!series)
        return false;
    StoreSeriesConversions(series.get());
    auto entry = std::make_unique<CMeasSeriesWrapper>();
    entry->SetName(baseName);
    entry->SetSeries(std::move(series));
    folder->AddSeries(std::move(entry), true);
    return true;
}

bool CVeskDoc::ImportMeasurementFile(const QString& path, const QString& baseFolder)
{
    // Read only: an import never needs to write the file, and must work on read-only
    // media.
    StreamIO::CFileStream file(path, StreamIO::STREAM_READ | StreamIO::STREAM_SHARE_READ);
    file.SetPosition(0);
    // Keep the base folder's final separator as the leading one; the project path uses
    // backslashes.
    QString relative = path.mid(std::max<qsizetype>(baseFolder.size() - 1, 0));
    relative.replace(u'/', u'\\');
    const bool added = AddMeasurementFile(relative, &file);
    file.Close();
    return added;
}
