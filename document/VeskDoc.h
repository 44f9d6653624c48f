#pragma once
#include "measurement/FolderDocument.h"
#include "measurement/Material.h"
#include "measurement/ProbeId.h"
#include "measurement/TargetScale.h"

#include <QByteArray>
#include <QDateTime>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class CFolderData;
class CMeasSeries1;
class CMeasSeriesWrapper;
class DocCommandPeer;
class DocView;
struct SSeriesSettings;

namespace StreamIO
{
class CIoStream;
class CVMArchive;
} // namespace StreamIO

// What the live pane keeps between live measurements; the document only holds it (and
// reads the warnings byte). The names in the comments are those of the stored settings.
struct SLiveSettings
{
    uint8_t startHint = 0; // the live pane shows its start hint while set
    SProbeId probe;        // the connected probe
    uint8_t seriesOpen = 0;
    uint8_t createdByPane = 1;
    int diameter = 31;         // Diameter: 3 to 31, 31 = correction off
    QString seriesName;        // SeriesName
    float upperLimit = 0.0f;   // UpperLimit
    float lowerLimit = 0.0f;   // LowerLimit
    int materialType = 0;      // MatGroup
    QString materialName;      // MatName
    uint8_t materialGroup = 0; // SubMat
    uint8_t astmB724 = 0;      // ASTM
    int scale = 0;             // Scale
    int standard = 0;          // StdConv
    QString closeAfterCount;   // CloseAfterCount
    uint8_t autoClose = 0;     // AutoClose
    uint8_t imperial = 0;      // Unit
    uint8_t warnings = 0;      // Warnings
};

// The value-list order word of a series.
namespace ValueOrder
{
inline constexpr int kUnset = -1; // never set; the same as measurement order
inline constexpr int kMeasured = 0;
inline constexpr int kByValue = 1;
} // namespace ValueOrder

// The project document: the open project's folders of measurement series, the folder the
// series page shows, the selected series and the series open for live measuring. It also
// reads and writes the project file and the clipboard block.
//
// Changing the project: every change to the project's data goes through a method of the
// document. That method marks the project modified where the project file changes and
// tells the registered views through DocView::OnDocUpdate with the hint that fits
// (DocView.h); callers never mark the project or tell the views themselves. A method that
// takes a sender leaves out that view: it made the change and shows it already.
//
// Folders are keyed by normalised folder paths ("\", "\Site A\", "\Site A\Hall 2\"); a
// folder's name is its key. Paths compare exactly.
//
// Core, folders and series: VeskDoc.cpp; changes to one series: VeskDocSeries.cpp; project
// file and clipboard: VeskDocFile.cpp.
class CVeskDoc final : public FolderDocument
{
public:
    // The private clipboard format of series blocks.
    static const QString kClipboardFormat;

    CVeskDoc();
    ~CVeskDoc() override;
    CVeskDoc(const CVeskDoc&) = delete;
    CVeskDoc& operator=(const CVeskDoc&) = delete;

    // Views and command peers: not owned; each removes itself when it goes.
    void AddView(DocView* view);
    bool RemoveView(DocView* view);
    // Tells every view but the sender (which may be null), in registration order. The
    // document's own methods call it; see "Changing the project" above.
    void UpdateAllViews(DocView* sender, int hint);
    // Tells every view to show the project anew (DOC_HINT_ALL) although nothing in it
    // changed: after the program's language or formats changed.
    void RefreshAllViews();
    void AddCommandPeer(DocCommandPeer* peer);
    bool RemoveCommandPeer(DocCommandPeer* peer);
    void SendToCommandPeers(DocCommandPeer* sender, uint32_t message);

    bool IsModified() const { return m_modified; }
    // FolderDocument
    uint8_t SetModified() override;
    void StoreSeriesConversions(CMeasSeries1* series) override;

    // Folders
    using FolderMap = std::map<QString, std::unique_ptr<CFolderData>>;
    // A place in the folder map, for walking it; invalid at the end. Changing the map
    // invalidates it.
    class FolderPosition
    {
    public:
        FolderPosition() = default;
        explicit operator bool() const { return m_valid; }

    private:
        friend class CVeskDoc;
        FolderMap::const_iterator m_it;
        bool m_valid = false;
    };

    bool HasFolders() const { return !m_folders.empty(); }
    size_t GetFolderCount() const { return m_folders.size(); }
    FolderPosition GetFirstFolderPosition() const;
    // Gives the folder at the position and moves on.
    void GetNextFolder(FolderPosition& position, QString& path, CFolderData*& folder) const;
    // Enters the folder under the path unless the path is taken; on false the caller
    // keeps the folder. An entered folder marks the project modified and the views but
    // the sender hear DOC_HINT_ALL.
    bool AddFolder(const QString& path, std::unique_ptr<CFolderData>& folder, DocView* sender = nullptr);
    CFolderData* LookupFolder(const QString& path) const;
    // Deletes the folder at the path and every folder below it; true when one went. The
    // path is normalised in place. References to deleted folders (current, saved, the
    // series open for measuring) are dropped. When one went, the project is marked
    // modified and the views but the sender hear DOC_HINT_ALL.
    bool DeleteFolders(QString& path, DocView* sender = nullptr);
    // Renames the folder and every folder below it; false unless the old path is a folder
    // and the new one is not. Both paths are normalised in place. The current and saved
    // folder paths follow. When moved, the project is marked modified and the views but
    // the sender hear DOC_HINT_ALL.
    bool MoveFolders(QString& oldPath, QString& newPath, DocView* sender = nullptr);

    // Makes a folder current: a change of path closes the series open for measuring and
    // drops the selection. Marks the document modified; tells the views unless quiet.
    void SetCurrentFolder(CFolderData* folder, const QString& path, bool quiet);
    // The same for a folder a view makes current of its own accord while it follows the
    // project (the tree selecting the top folder after an open or a rebuild): nobody chose
    // it, so the modified flag stays as it is.
    void FollowFolder(CFolderData* folder, const QString& path, bool quiet);
    CFolderData* GetCurrentFolder() const { return m_currentFolder; }
    QString GetCurrentFolderPath() const;
    // One level of keeping the current folder; neither notifies nor marks modified.
    void PushCurrentFolder();
    void PopCurrentFolder();
    // Closes the series open for measuring and deletes every folder.
    void DeleteContents();
    // With nameOnly the project file's name without ".v3p"; else the project path. A
    // project without a path: "Unnamed" when it has folders, else empty.
    QString GetTitle(bool nameOnly) const;
    const QString& GetProjectPath() const { return m_projectPath; }

    // Series of the current folder. Without a current folder, GetSeriesCount is 0 and the
    // others raise std::invalid_argument, as they do for an index outside the folder.
    // The setters of time, name, comment, expanded state and value order mark the project
    // modified and tell no view (the series page redraws the series itself); selection and
    // update flag are not kept in the project file and mark nothing. Sorting marks the
    // project modified.
    int GetSeriesCount() const;
    CMeasSeriesWrapper* GetSeriesAt(int index) const;
    bool GetSeriesSettings(int index, SSeriesSettings& settings) const;
    float GetSeriesNativeMean(int index) const;
    float GetSeriesNativeMin(int index) const;
    float GetSeriesNativeMax(int index) const;
    int GetSeriesValidCount(int index) const;
    int GetSeriesReadingCount(int index) const;
    int GetSeriesDecimals(int index, int kind) const;
    QDateTime GetSeriesTime(int index) const;
    void SetSeriesTime(int index, const QDateTime& time);
    QString GetSeriesName(int index) const;
    // False, and the name kept, for a name that is empty or only blanks.
    bool SetSeriesName(int index, const QString& name);
    QString GetSeriesComment(int index) const;
    void SetSeriesComment(int index, const QString& comment);
    bool IsSeriesExpanded(int index) const;
    // Marks the project only when the state changes.
    void SetSeriesExpanded(int index, bool expanded);
    int GetSeriesValueOrder(int index) const;
    void SetSeriesValueOrder(int index, int order);
    // The value order to draw the series with. A word never set (ValueOrder::kUnset, as a
    // project file may hold it) is settled as measurement order, the order it stands for
    // anyway: no change to the project, so nothing is marked and no view is told.
    int ResolveSeriesValueOrder(int index);
    bool IsSeriesSelected(int index) const;
    void SetSeriesSelected(int index, bool selected);
    bool GetSeriesUpdateFlag(int index) const;
    void SetSeriesUpdateFlag(int index, bool flag);
    // Sorts the current folder; when the order of its series (or the sort order) changed,
    // marks the project modified and tells every view DOC_HINT_ALL.
    void SortCurrentFolder(int order);
    int GetSortOrder() const;
    // The index of the entry in the current folder (tried at the hint first), -1 when the
    // folder no longer holds it: a screen that kept a series across a modal loop finds it
    // again by identity.
    int FindSeries(const CMeasSeriesWrapper* entry, int hint = -1) const;
    // True for a valid index whose series was measured with an indentation-tester probe
    // compatible with the given one (the ASTM B724 bit may differ).
    bool IsSeriesScaleCompatible(int index, const SProbeId& probe) const;

    // Changes to the settings and readings of one series of the current folder, as the
    // series page makes them (VeskDocSeries.cpp). Each marks the project modified and tells
    // the views the series index. A reading index counts the readings not excluded.
    // False, nothing marked and no view told, when the series refuses the pair (the lower
    // limit above the upper one).
    bool SetSeriesLimits(int index, float lower, float upper);
    // A new conversion shows one decimal in steps of 1. The three that change it return
    // false when the conversion table has no record for the new one: then the series
    // stays as it was (its resolution too), nothing is marked and no view is told.
    // The material, with the target scale the table offers for it (FindConversionSpec).
    bool SetSeriesMaterial(int index, const SMaterial& material);
    // The target scale, with the material's group (0 for a scale only one record reaches).
    bool SetSeriesScale(int index, int scale, int materialGroup);
    // The conversion standard; the ASTM B724 mode is applied again, so that it follows.
    bool SetSeriesStandard(int index, int standard);
    void ApplySeriesB724Mode(int index, bool off);
    void SetSeriesImperial(int index, bool imperial);
    void RestoreSeriesSettings(int index);
    // Includes every excluded reading again.
    void IncludeAllReadings(int index);
    void ExcludeReading(int index, int reading);
    // The correction code of one reading: an impact direction, or a diameter code.
    void SetReadingCorrection(int index, int reading, int code);
    // The correction code on every reading, excluded ones too; on an indentation-tester
    // series the diameter code also becomes the series' diameter setting.
    void SetSeriesCorrection(int index, int code);
    // Tells the views to show the series anew although it did not change.
    void RefreshSeries(int index);

    // Deletes the series at the indices (in any order; repeats count once), from the last
    // to the first so that the lower indices stay valid; marks the project modified and
    // tells the views DOC_HINT_ALL once.
    void DeleteSeriesSet(std::vector<int> indices);
    // Sorts the current folder (orders 1-18, odd ascending, even descending), marks the
    // project modified and tells every view but the sender (which has put its own rows in
    // the new order) DOC_HINT_ALL.
    void SortSeries(int order, DocView* sender);
    // Selection and the series open for live measuring
    int GetSelectedIndex();
    void SetSelectedIndex(int index);
    int GetMeasuringSeriesIndex() const;
    CMeasSeriesWrapper* GetMeasuringSeries() const;
    // Opening, creating and updating the series open for measuring mark the project
    // modified (UpdateMeasuringSeries is called when it took readings).
    bool OpenSeriesForMeasuring(int index);
    // False when the series had no reading and was deleted.
    bool CloseMeasuringSeries();
    CMeasSeriesWrapper* NewMeasuringSeries(const CMeasSeriesWrapper& templateEntry);
    void UpdateMeasuringSeries();
    // One reading of the live measurement into the series open for measuring, with its
    // packed curve as the reading's attachment (none when empty); marks the project
    // modified and tells the views the series index. The reading's index, -1 without such
    // a series. curveStored: false when a curve was given but not kept (too long).
    int AddMeasuringReading(float depth, float value, int direction, int angle, const QByteArray& curve,
                            bool& curveStored);
    void DeleteSeries(int index);
    SLiveSettings& GetLiveSettings() { return m_live; }
    bool IsWarningEnabled() const { return m_live.warnings != 0; }

    // Pending clipboard operations: at most one is set.
    void SetFolderCutPending(bool pending);
    void SetFolderCopyPending(bool pending);
    bool IsFolderCutPending() const { return m_folderCutPending; }
    bool IsFolderCopyPending() const { return m_folderCopyPending; }
    bool IsSeriesCopyPending() const { return m_seriesCopyPending; }
    bool IsClipboardPending() const
    {
        return m_folderCutPending || m_folderCopyPending || m_seriesCopyPending;
    }

    // Conversions
    void SetConversionFolder(const QString& folder) { m_conversionFolder = folder; }
    const QString& GetConversionFolder() const { return m_conversionFolder; }
    // The target scale the table offers for the probe scale and material (the last
    // match), with the target's standard mask; the probe scale when there is none.
    STargetScale& FindConversionSpec(STargetScale& result, const STargetScale& target,
                                     const SMaterial& material, int probeScale) const;
    // The table holds a record from the probe scale for exactly this material type.
    bool IsScaleConvertible(int materialType, int probeScale) const;

    // Measurement files. An empty path ends a batch: marks modified and tells the views.
    // Otherwise creates the folders of the path (a project-style path with backslashes)
    // and, with a stream, adds the series it holds under the file's base name. Without a
    // stream: true when the path's last folder was created.
    bool AddMeasurementFile(const QString& path, StreamIO::CIoStream* stream);
    // Adds a local file under its path relative to the base folder (which ends with '/');
    // false when it holds no readable series. A file that cannot be opened raises
    // CFileException.
    bool ImportMeasurementFile(const QString& path, const QString& baseFolder);

    // Project file and clipboard (VeskDocFile.cpp)
    // Writes the project image: all folders, or with a mask (a byte per series of the
    // current folder, 1 = write) the current folder's chosen series.
    bool WriteProject(StreamIO::CVMArchive& archive, const std::vector<uint8_t>* mask = nullptr);
    // Reads a project image into new folders, or with a target folder appends every
    // series to it. All or nothing: a failure raises CFileException and changes nothing.
    bool ReadProject(StreamIO::CVMArchive& archive, CFolderData* targetFolder = nullptr);
    // Writes the project to path (the previous file stays until the new one is complete);
    // a failure is told to the user with the file and the reason, and changes nothing.
    bool SaveProject(const QString& path);
    // Save As, and Save of a project without a name: the project takes the chosen name
    // only once it is saved under it.
    bool SaveProjectAs();
    bool Save();
    // Offers a modified project for saving; false (the project stays) on Cancel or when
    // the save failed.
    bool CloseProject();
    bool OpenProject(const QString& path, bool merge);
    // Puts the chosen series of the current folder that hold readings on the clipboard;
    // the mask bytes of empty series are cleared.
    bool CopySeries(std::vector<uint8_t>& mask);
    bool PasteSeries();
    bool CanPaste() const;

private:
    struct SStagedFolder
    {
        QString path;
        std::unique_ptr<CFolderData> folder;
    };

    CFolderData& CurrentFolder() const;
    // The current folder's entries in their order (none without a current folder).
    std::vector<const CMeasSeriesWrapper*> SeriesOrder() const;
    CFolderData* NewFolder(const QString& path);
    // Reads a whole project image into folders of their own; raises on any failure.
    std::vector<SStagedFolder> StageProject(StreamIO::CVMArchive& archive);
    // Moves read folders into the project (a path already there takes their series), or
    // all their series into the target folder.
    void CommitProject(std::vector<SStagedFolder>& staged, CFolderData* targetFolder);
    static void AppendSeries(CFolderData& target, CFolderData& source);
    // Which folder holds the entry; null when none.
    CFolderData* FolderOfEntry(const CMeasSeriesWrapper* entry) const;
    // Drops the references into folders that are about to go.
    void ForgetFolder(const CFolderData* folder);
    void ResetSelection();
    void MakeFolderCurrent(CFolderData* folder, const QString& path, bool quiet, bool markModified);
    // A series of the current folder changed: marks the project and tells the views.
    void SeriesChanged(int index);
    // The series of the entry at the index; null for an entry without one.
    CMeasSeries1* SeriesAt(int index) const;
    // A new conversion with its resolution; false, and nothing changed, when refused.
    static bool ConvertSeries(CMeasSeries1& series, const STargetScale& target, const SMaterial& material);
    void ClearModified() { m_modified = false; }

    // What the project file was when this project last read or wrote it, to see whether
    // another program window (or program) wrote it since.
    struct SFileStamp
    {
        bool exists = false;
        uint64_t device = 0;
        uint64_t inode = 0;
        int64_t size = 0;
        int64_t modifiedNs = 0;
        bool operator==(const SFileStamp&) const = default;
    };
    static SFileStamp StampOf(const QString& path);
    void RememberFileStamp(const QString& path);
    enum class NSaveTarget
    {
        overwrite,
        saveAs,
        cancel
    };
    // Called before a save over the project's own file: when someone else changed the file
    // since this project read or wrote it, asks whether to overwrite it, save under
    // another name or not save.
    NSaveTarget CheckFileUnchanged(const QString& path) const;
    // The close question: false on Cancel or when the wanted save failed.
    bool AskToSaveChanges();
    bool IsProjectFile(const QString& path) const;
    // Reads a whole project file into staged folders; false after telling the user what is
    // wrong with the file.
    bool StageProjectFile(const QString& path, std::vector<SStagedFolder>& staged);
    void RememberProjectFolder(const QString& filePath) const;
    // Tells the user that the project could not be saved as path, and why; false.
    bool TellSaveFailed(const QString& path, bool openFailed, int posixErrno) const;
    // Names the series that have no readings, which a saved project cannot hold.
    void TellAboutSeriesWithoutReadings() const;
    QString ProjectFolderSetting() const;

    std::vector<DocView*> m_views;
    std::vector<DocCommandPeer*> m_peers;
    bool m_modified = false;
    QString m_currentPath;
    QString m_projectPath;
    SFileStamp m_fileStamp;
    CFolderData* m_currentFolder = nullptr;
    CFolderData* m_savedFolder = nullptr;
    QString m_savedPath;
    FolderMap m_folders;
    CMeasSeriesWrapper* m_measuring = nullptr;
    int m_selected = -1;
    QString m_conversionFolder;
    bool m_folderCutPending = false;
    bool m_folderCopyPending = false;
    bool m_seriesCopyPending = false;
    SLiveSettings m_live;
};
