#pragma once
#include "controls/TabPage.h"
#include "document/DocView.h"
#include "grid/GridDefs.h"
#include "platform/gui/ImageList.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <tuple>
#include <vector>

class CGridCellBase;
class CGridCellSeries;
class QKeyEvent;
class CGridCtrl;
class CMeasSeriesWrapper;
class CShownTimes;
class CVeskDoc;

// The series page ("Objects") of the series tab sheet: every series of the document's
// current folder as two rows of one grid, a summary row (gripper, name, date and time,
// mean with a value bar, count, standard deviation, probe, material, scale) and below it a
// detail row whose one wide cell draws the whole series, closed until the user opens it.
//
// Series n owns rows 2n + 1 (summary) and 2n + 2 (detail), the pair n; row 0 holds the
// headings. Every cell of both rows carries the series' entry (CMeasSeriesWrapper*) as its
// data. The document keeps the lasting state: names, time stamps, the expanded flags, the
// sort order and the selected flags, which mirror the page's selection at all times. The
// page changes series only through the document's methods and follows the document's
// notices; every change of order reaches it as a notice that rebuilds the rows.
//
// One selection: a series is marked when a row of its pair is selected (the two rows are
// kept selected together); the focus frame alone marks nothing. Every command (delete,
// cut, copy, popups, exports, print) acts on the marked series, the status line counts
// them, and the commands find them in the document by identity (the entry a pair
// carries), not by row number. Renaming (F2) edits the name of the focused series.
//
// A rebuild frees cells. While the grid delivers a mouse or key event (whose cell handlers
// may run a modal loop) or a hold is taken, notices that would rebuild the rows are kept
// and carried out once the last hold ends; a notice about one series whose pair still
// shows it refreshes that row at once, which frees nothing.
//
// UI thread only. Code: TabGrid.cpp (rows, texts, status line), TabGridCommands.cpp (edit
// commands, keys, sorting), TabGridMenus.cpp (right-click popups, expanding).
class CTabGrid final : public CTabPage, public DocView, public DocCommandPeer, public IGridNotifyTarget
{
    Q_OBJECT
public:
    static constexpr int kGridId = 101;
    static constexpr int kColumnCount = 9;
    static constexpr int kHeaderHeight = 26;
    static constexpr int kSummaryHeight = 22;
    // Above this many rows a selection-changing notice does not recount the selection.
    static constexpr int kRecountRowLimit = 40000;
    // Rows whose cells a rebuild makes and fills in one go; more are made and filled in
    // slices of this many, with the events other than input handled between them.
    static constexpr int kRowsPerSlice = 4096;

    // The page's columns.
    enum Column : int
    {
        COL_GRIPPER = 0,
        COL_NAME = 1,
        COL_TIME = 2,
        COL_MEAN = 3,
        COL_COUNT = 4,
        COL_STDDEV = 5,
        COL_PROBE = 6,
        COL_MATERIAL = 7,
        COL_SCALE = 8,
    };

    // What the page needs of the application around it. Without a status sink the status
    // line goes nowhere; without patterns dates and times use those of DTFormat 0. Printing
    // and the exports live above the page: `output` runs WM_CMD_PRINT,
    // WM_CMD_EXPORT_GRAPHIC and WM_CMD_EXPORT_TEXT on the page and gives the answer the
    // sheet returns (without it they do nothing and answer 0).
    struct SServices
    {
        std::function<void(const QString& text)> showStatus;
        std::function<QString()> datePattern;
        std::function<QString()> timePattern;
        std::function<intptr_t(uint32_t message, CTabGrid& page)> output;
    };

    // While one exists, rebuilds of the rows wait (see above); the last one to go carries
    // out the rebuild that waited.
    class SRebuildHold
    {
    public:
        explicit SRebuildHold(CTabGrid& page);
        ~SRebuildHold();
        SRebuildHold(const SRebuildHold&) = delete;
        SRebuildHold& operator=(const SRebuildHold&) = delete;

    private:
        CTabGrid& m_page;
    };

    // Registers the page with the document as a view and a command peer, and builds the
    // empty grid.
    explicit CTabGrid(CVeskDoc* doc, QWidget* parent = nullptr);
    ~CTabGrid() override;
    CTabGrid(const CTabGrid&) = delete;
    CTabGrid& operator=(const CTabGrid&) = delete;

    void SetServices(SServices services) { m_services = std::move(services); }
    CVeskDoc* Document() const { return m_doc; }

    // CTabPage: the WM_CMD_ messages of the tab sheet (and of the page's own menus).
    intptr_t OnCommandMessage(uint32_t message) override;
    // DocView: WM_DOC_UPDATE.
    void OnDocUpdate(int hint) override;
    // DocCommandPeer: commands relayed by the project tree.
    void OnDocCommand(uint32_t message) override;
    // IGridNotifyTarget: the grid's notifications.
    intptr_t OnGridNotify(const GRIDNOTIFY& notify) override;

    // Empties the grid and sets it up with the headings and no series.
    void InitGrid();
    // The one routine that fills rows. A negative hint is a flag set (the negated hint):
    // 0x20 selection only and 0x40 saved, ignored; 0x01 rebuild everything (the cells are
    // kept and filled anew); 0x04 insert the rows of the series whose update flag is set. A
    // hint of 0 or more refreshes that series' summary row. Rows that no longer show the
    // document's series in its order are rebuilt whatever the hint.
    void UpdateRows(int hint);
    // Column widths of the column table; the mean column takes the room that is left (at
    // the first size the page gets, when it has none yet).
    void SetColumnWidths();
    // The selected and total counts; without force nothing happens on a very large grid.
    void UpdateStatusCounts(bool force);
    // The progress part of the status line: "text n", or nothing for an empty text.
    void SetStatusProgress(const QString& text, int n);
    QString StatusText() const { return m_statusCounts + m_statusProgress; }

    // Commands.
    void OnSelectAll();
    // Deletes the marked series, asking first unless told not to; the scroll position
    // stays.
    void DeleteSelected(bool withoutQuestion);
    bool OnCopy();
    void OnCut();
    void OnPaste();
    void OnRename();
    void OnNewFolder();
    void ExpandAll(bool expand);

    // For printing and the exports. The grid to print or render; the marked series (see
    // above) as document indices, ascending, and as pairs of rows; the summary-row height
    // and open state of every pair as the grid shows them, and the grid put back into such
    // a record (the header row at its height, the grippers and the document's expanded
    // flags following).
    CGridCtrl* Grid() const { return m_grid; }
    std::vector<int> MarkedSeries() const;
    std::vector<int> MarkedPairs() const;
    // Whether any series is marked, from the grid's count of selected cells: the command
    // state asks it several times a second, whatever the size of the folder.
    bool AnyMarked() const;
    // The entry a pair of rows shows, and its index in the document (-1 when the document
    // no longer holds it).
    CMeasSeriesWrapper* EntryOfPair(int pair) const;
    int DocIndexOfPair(int pair) const;
    struct SRowState
    {
        int summaryHeight = kSummaryHeight;
        bool expanded = false;
    };
    std::vector<SRowState> SaveRowStates() const;
    // Puts the rows back a series at a time; `afterEach` (if given) runs after each, so
    // that a long job can let events in between.
    void RestoreRowStates(const std::vector<SRowState>& states, const std::function<void()>& afterEach = {});
    // Opens or closes one pair's detail row at once, with its gripper and the document's
    // expanded flag.
    void SetSeriesOpen(int pair, bool open);

    // Orders two cells of column 0 for the grid's sort: by the positions of their series,
    // a detail row after the summary row of the same series.
    static int CompareRows(CGridCellBase* a, CGridCellBase* b, intptr_t data);
    // The right end of the value bar for a target scale.
    static double GetScaleDisplayMax(int scale);

signals:
    // The status line: counts and progress, for the main window's status bar.
    void StatusTextChanged(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Heights of open detail rows by the shape of their series (readings, probe kind,
    // unit): measuring a series' content costs as much as drawing it, so one series of
    // each shape is measured and the others open at its height until they are painted.
    using ShapeHeights = std::map<std::tuple<int, bool, bool>, int>;
    // What every row of one rebuild shares.
    struct SRowContext
    {
        double depthMax = 0;
        QString datePattern;
        QString timePattern;
        CShownTimes* times = nullptr;
        ShapeHeights* heights = nullptr;
        // Cells of earlier series may be reused: their kind is right, their state is not.
        bool fresh = false;
        // Texts that many rows share (probe, material, scale, count), each held once: the
        // rows of a large folder would otherwise hold tens of thousands of copies.
        std::set<QString>* shared = nullptr;
        QString Shared(const QString& text) const
        {
            return shared && !text.isEmpty() ? *shared->insert(text).first : text;
        }
    };
    // Rows.
    // Makes the cells for `rows` rows ahead in slices (see kRowsPerSlice); true when it
    // handled events between slices, so that the document may have changed.
    bool MakeRowsInSlices(int rows);
    // Handles the events other than input once, with rebuilds held; true when a notice
    // asked for a rebuild meanwhile.
    bool AnswerBetweenSlices();
    void BuildDetailRow(int index, uint32_t state, bool fresh);
    void BuildSummaryRow(int index, uint32_t state, const SRowContext& context);
    // True when every pair shows the document's series at its index.
    bool RowsMatchDocument() const;
    void ReleaseHold();
    bool IsInputEvent(QObject* watched, const QEvent* event) const;
    double DepthDisplayMax() const;
    void ShowSortArrow();
    void WidenWhenLaidOut();
    void SendStatusText();
    bool IsSummaryRow(int row) const { return row > 0 && row % 2 == 1; }
    int SeriesOfRow(int row) const { return (row - 1) / 2; }
    bool IsPairSelected(int pair) const;
    // Makes the two rows of every pair selected alike: the row the user changed leads, a
    // hidden row follows the shown one, and a pair shown half selected becomes selected.
    void SyncPairSelection(int changedRow);
    std::vector<const CMeasSeriesWrapper*> EntriesOf(const std::vector<int>& indices) const;
    // The document indices of the entries it still holds, ascending.
    std::vector<int> IndicesOf(const std::vector<const CMeasSeriesWrapper*>& entries) const;
    QString DatePattern() const;
    QString TimePattern() const;

    // Notifications.
    void OnGridClick(int row, int col);
    void OnGridRClick(int row, int col);
    void OnGridSelChanged(int row, int col);
    void SortByColumn(int col);
    // Writes the grid's selection into the document's selected flags, which every rebuild
    // reads back.
    void StoreSelection();
    void ToggleFromGripper(int row);
    // The keys the grid passes on (Space, Enter) and Tab over the links of an open series.
    void OnGridKeyCommand(int key);
    bool OnLinkKey(const QKeyEvent& key);
    CGridCellSeries* FocusedOpenSeriesCell() const;
    // Runs a command after the notification or menu that asked for it has returned.
    void PostCommand(uint32_t message);

    // Opens the pair's detail row at once (the series at `index`), at the height of a
    // series of its shape measured before when there is one; a series with a comment is
    // measured, as its comment's lines make its height.
    void OpenAtShapeHeight(int pair, int index, ShapeHeights& heights);

    // Popups (TabGridMenus.cpp).
    void TrackEditMenu(bool full, QPoint at);
    void TrackExpandMenu(QPoint at);
    // Each takes the marked series by identity: the document may change while it waits.
    using Entries = std::vector<const CMeasSeriesWrapper*>;
    void AdjustTime(int row, const Entries& marked);
    void ChooseMaterial(const Platform::Rect& cell, const Entries& marked);
    void ChooseScale(const Platform::Rect& cell, const Entries& marked);

    CVeskDoc* m_doc;
    CGridCtrl* m_grid = nullptr;
    Platform::ImageList m_gripperImages;
    QString m_statusCounts;
    QString m_statusProgress;
    SServices m_services;
    // A right click notifies on press and on release; the page acts on the release.
    bool m_rightButtonDown = false;
    // The column widths were set before the page had a size to fill.
    bool m_widenPending = false;
    // Holds on rebuilds, and whether one waits.
    int m_holdDepth = 0;
    bool m_rebuildPending = false;
    // Cells are being made in slices: the window refuses to close.
    bool m_slicing = false;
    // The input event the page passes on to the grid under a hold.
    const QEvent* m_delivering = nullptr;
    // The page acted on the key being delivered (Space, Enter): its character opens no
    // name editor.
    bool m_keyTaken = false;
};
