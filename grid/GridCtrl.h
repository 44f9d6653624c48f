#pragma once
#include "grid/GridCellBase.h"
#include "grid/GridDefaultCell.h"
#include "grid/GridDefs.h"
#include "grid/GridDropTarget.h"
#include "platform/gui/Canvas.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QKeyEvent;
class QMouseEvent;
class QPrinter;
class QWheelEvent;

namespace Platform
{
class BalloonTip;
}

// Orders two cells (either may be null) for CGridCtrl::SortItems: negative, zero or
// positive for less, equal, greater.
using GridCompareFunc = int (*)(CGridCellBase* cell1, CGridCellBase* cell2, intptr_t data);

// Creates a cell of some class, for CGridCtrl::SetCellType: &MakeGridCell<CMyCell>.
using GridCellFactory = std::unique_ptr<CGridCellBase> (*)();
template <class T> std::unique_ptr<CGridCellBase> MakeGridCell()
{
    return std::make_unique<T>();
}

// What a print job tells the grid's print steps: the band to draw into, and the page.
struct GridPrintInfo
{
    Platform::Rect drawRect;
    int currentPage = 1;
    int maxPage = 1;
};

// A grid of owner-drawn cells: fixed rows at the top and fixed columns at the left that
// never scroll, and a scrolling area of ordinary cells. Cells are objects of classes
// derived from CGridCellBase, stored per row; spans merge columns of a row into one cell.
// Positions are pixels in client coordinates; rows and columns are ints with -1 for none,
// and an index out of range is answered with FALSE, -1, null or an empty text.
class CGridCtrl : public QAbstractScrollArea
{
    Q_OBJECT
public:
    static constexpr const char* kWindowClass = "VGridCtrl";

    CGridCtrl(int rows = 0, int cols = 0, int fixedRows = 0, int fixedCols = 0);
    ~CGridCtrl() override;

    // Makes the grid a child window of the parent, shown at the rectangle, and gives every
    // row and column the normal default cell's size.
    bool Create(const QRect& rect, QWidget* parent, int id);
    bool HasWindow() const { return m_created; }
    int GetDlgCtrlID() const { return m_id; }
    // The client area: the part of the window inside the frame and the scroll bars.
    Platform::Rect GetClientRect() const;

    // Notifications go to the owner, or else to the parent widget when it implements the
    // interface.
    void SetNotifyTarget(IGridNotifyTarget* owner) { m_owner = owner; }
    intptr_t SendMessageToParent(int row, int col, int code);

    // Cells.
    CGridCellBase* GetCell(int row, int col) const;
    // Swaps the cell into the slot; on success `cell` holds the previous occupant.
    bool SetCell(int row, int col, std::unique_ptr<CGridCellBase>& cell);
    bool SetCellType(int row, int col, GridCellFactory factory);
    virtual std::unique_ptr<CGridCellBase> CreateCell(int row, int col);
    // Chooses the class of each cell the grid makes (null or no chooser = CGridCell), so
    // that an owner whose rows hold cells of its own classes gets them made once, at the
    // rows' first making, rather than made plain and replaced (SetCellType).
    using GridCellChooser = std::function<GridCellFactory(int row, int col)>;
    void SetCellChooser(GridCellChooser chooser) { m_cellChooser = std::move(chooser); }
    virtual void DestroyCell(int row, int col);
    CGridDefaultCell* GetDefaultCell(bool fixedRow, bool fixedCol) const;

    // Structure.
    int GetRowCount() const { return m_rowCount; }
    int GetColumnCount() const { return m_colCount; }
    int GetFixedRowCount() const { return m_fixedRows; }
    int GetFixedColumnCount() const { return m_fixedCols; }
    bool SetRowCount(int rows);
    // With keep on, the rows SetRowCount removes are kept, cells and all (unselected,
    // unmerged, with nothing to call after a paint), and the next rows it adds at their
    // places are those rows again instead of new cells: for an owner that sets every cell
    // of the rows it adds itself, and would otherwise free and make thousands of cells
    // whenever it shows fewer and then more rows. A change of the column count, or
    // DeleteAllItems, frees them; so does turning keep off, or FreeKeptRows.
    void SetKeepRemovedRows(bool keep);
    void FreeKeptRows() { m_keptRows.clear(); }
    // With keep on: makes ahead the cells of the rows up to `rows` that neither the grid
    // nor its kept rows hold, at most `most` rows a call, kept for SetRowCount as if dropped
    // before; so that an owner can make thousands of rows in slices. True once every row up
    // to `rows` is there.
    bool MakeRowsAhead(int rows, int most);
    bool SetColumnCount(int cols);
    bool SetFixedRowCount(int fixedRows);
    bool SetFixedColumnCount(int fixedCols);
    // Inserts a scrolling row before `row`, or appends it for -1 or the row count; the
    // heading (none when empty) goes into column 0. The new row's index, or -1.
    int InsertRow(const QString& heading, int row = -1);
    bool DeleteAllItems();
    bool MergeColumns(int row, int first, int last);

    // Items.
    bool SetItemText(int row, int col, const QString& text);
    QString GetItemText(int row, int col) const;
    bool SetItemData(int row, int col, intptr_t data);
    intptr_t GetItemData(int row, int col) const;
    bool SetItemState(int row, int col, uint32_t state);
    uint32_t GetItemState(int row, int col) const;
    bool SetItemFormat(int row, int col, unsigned format);
    unsigned GetItemFormat(int row, int col) const;
    bool SetItemBkColour(int row, int col, Platform::ColorRef color);

    // Options.
    bool SetUsePrintColors(bool on) { return std::exchange(m_usePrintColors, on); }
    bool GetUsePrintColors() const { return m_usePrintColors; }
    bool SetScrollByRows(bool on) { return std::exchange(m_scrollByRows, on); }
    bool GetScrollByRows() const { return m_scrollByRows; }
    void SetGridLines(int lines) { m_gridLines = lines; }
    int GetGridLines() const { return m_gridLines; }
    void SetGridLineColor(Platform::ColorRef color) { m_gridLineColor = color; }
    Platform::ColorRef GetGridLineColor() const { return m_gridLineColor; }
    Platform::ColorRef GetOutsideColor() const { return m_outsideColor; }
    bool EnableCopyRowBreaks(bool on) { return std::exchange(m_copyRowBreaks, on); }
    bool EnableCopyCellTabs(bool on) { return std::exchange(m_copyCellTabs, on); }
    void SetListMode(bool on);
    bool GetListMode() const { return m_listMode; }
    void SetHeaderSort(bool on) { m_headerSort = on; }
    void SetRowResize(bool on) { m_allowRowResize = on; }
    void SetColumnResize(bool on) { m_allowColumnResize = on; }
    bool GetRowResize() const { return m_allowRowResize; }
    bool GetColumnResize() const { return m_allowColumnResize; }
    int GetWheelScrollLines() const { return m_wheelScrollLines; }
    // Lines per wheel notch, -1 for a page; read from the system when the grid is made.
    void SetWheelScrollLines(int lines) { m_wheelScrollLines = lines; }

    // Focus and selection. The selection lives in the cells' state bits; the count of
    // selected cells follows every change of those bits made through the grid.
    CGridCellPos SetFocusCell(CGridCellPos cell);
    CGridCellPos SetFocusRowCol(int row, int col) { return SetFocusCell({row, col}); }
    CGridCellPos GetFocusCell() const { return m_focusCell; }
    bool IsCellSelected(int row, int col) const;
    int GetSelectedCount() const { return m_selectedCount; }
    // Of them, those in one column: an owner asks it without walking its rows.
    int GetSelectedCountInColumn(int col) const
    {
        return col >= 0 && size_t(col) < m_selectedInColumn.size() ? m_selectedInColumn[size_t(col)] : 0;
    }
    // All four -1 clear the selection. Bounds are raised into the scrolling area.
    void SetSelectedRange(int minRow, int minCol, int maxRow, int maxCol, bool forceRepaint = false,
                          bool select = true);
    void SetSelectedCellRange(const CGridCellRect& range, bool forceRepaint = false, bool select = true)
    {
        SetSelectedRange(range.minRow, range.minCol, range.maxRow, range.maxCol, forceRepaint, select);
    }
    void SelectAllCells();
    // Whole scrolling rows from the selection anchor's row (or only the cell's row, added
    // to the selection) to the cell's row.
    void SelectRows(CGridCellPos cell, bool forceRepaint = false, bool select = true, bool add = false);
    // The block between the selection anchor and the cell.
    void SelectCellBlock(CGridCellPos cell, bool forceRepaint = false, bool select = true);
    // The selection step of a mouse drag or key move, by the mouse mode.
    void ExtendSelectionTo(CGridCellPos cell);
    // The bounding range of the selected cells: (row count, column count, -1, -1) when
    // none is selected.
    CGridCellRect GetSelectedCellRange();
    void ClearSelection();
    CGridCellPos GetSelectionAnchor() const { return m_selectionAnchor; }
    // Scrolls until the cell is in view, with the scroll requests a user would make.
    void EnsureVisible(int row, int col);
    // Where the context menu of the last right click, Menu key or Shift+F10 opens, in
    // screen coordinates: under the mouse, or at the focus cell for a key.
    QPoint GetContextMenuPos() const { return m_contextMenuPos; }

    // Sorting: the scrolling rows move whole, with their heights.
    bool SortItems(GridCompareFunc compare, int col, bool ascending, intptr_t data);
    bool SortByText(int col, bool ascending);
    // Rows first to last (-1 = the last row) by the cells of one column.
    bool SortRowRange(GridCompareFunc compare, int col, bool ascending, intptr_t data, int first, int last);
    // Puts the scrolling rows into an order the caller already knows, with what SortItems
    // does around its sort (sort column and direction, focus cleared, selection bounds,
    // repaint), in one pass: the row order[k] becomes the k-th scrolling row. False, with
    // nothing moved, unless the order names every scrolling row once.
    bool ArrangeRows(const std::vector<int>& order, int col, bool ascending);
    // The cells' texts by UTF-16 code units; a missing cell compares equal to anything.
    static int CompareCellText(CGridCellBase* cell1, CGridCellBase* cell2, intptr_t data);
    void SetSortColumn(int col);
    int GetSortColumn() const { return m_sortColumn; }
    void SetSortAscending(bool ascending) { m_sortAscending = ascending; }
    bool GetSortAscending() const { return m_sortAscending; }

    void MarkCellModified(int row, int col);
    bool GetModified() const { return m_modified; }
    bool CanEditCell(CGridCellPos cell) const;
    // A change of a cell's text on the user's behalf, which the owner may refuse.
    void ReplaceCellText(int row, int col, const QString& text);

    // Clipboard and drag and drop.
    virtual void CutSelectedText();
    // The selection's text for the clipboard, or nothing when no cell is selected.
    virtual std::optional<QString> CopyTextFromGrid();
    virtual QString GetRangeText(const CGridCellRect& range);
    // Pastes text (nothing = the clipboard offers no text) from the top-left cell on.
    virtual bool PasteTextToGrid(CGridCellPos topLeft, const std::optional<QString>& text, bool selectPasted);
    virtual void OnBeginDrag() {}
    virtual int OnDragEnter(Qt::KeyboardModifiers keyState, Platform::Point point);
    virtual int OnDragOver(Qt::KeyboardModifiers keyState, Platform::Point point);
    virtual void OnDragLeave() {}
    virtual int OnDrop(Qt::KeyboardModifiers keyState, Platform::Point point);
    virtual void OnEditCut();
    virtual void OnEditCopy();
    virtual void OnEditPaste();
    virtual void OnEditSelectAll();
    // The enable test of ID_EDIT_COPY, ID_EDIT_CUT, ID_EDIT_PASTE and ID_EDIT_SELECT_ALL.
    bool IsEditCommandEnabled(int commandId) const;

    // Sizes.
    int GetRowHeight(int row) const;
    bool SetRowHeight(int row, int height);
    // Span-aware: the span's total for its first column, -1 for its other columns.
    int GetColumnWidth(int col, int row = -1) const;
    bool SetColumnWidth(int col, int width);
    // From the column to the end of its span.
    int GetSpanWidth(int col, int row) const;
    long long GetVirtualWidth() const;
    long long GetVirtualHeight() const;
    int GetFixedRowHeight() const;
    int GetFixedColumnWidth() const;
    bool AutoSizeColumn(int col, int style = 0);
    bool AutoSizeRow(int row);

    // Geometry.
    CGridCellPos GetCellFromPoint(Platform::Point point, bool allowFixed = true);
    CGridCellPos GetTopLeftScrollingCell();
    CGridCellRect GetVisibleScrollingRange(Platform::Rect* rect = nullptr);
    bool GetCellOrigin(int row, int col, Platform::Point* origin);
    bool GetSpanOrigin(int row, int col, Platform::Point* origin);
    bool GetCellRect(int row, int col, Platform::Rect* rect);
    bool GetUnmergedCellRect(int row, int col, Platform::Rect* rect);
    // How far (0 or negative) the top scrolling row starts above the fixed rows.
    int GetTopRowOffset();

    // Scrolling.
    void UpdateScrollBars();
    int GetScrollPosition(int bar, bool trackPosition = false) const;
    void SetScrollPosition(int bar, int position);
    // The scroll requests of the two bars (SB_LINEUP ... SB_ENDSCROLL).
    void OnHScroll(int request, int thumbPosition = 0);
    void OnVScroll(int request, int thumbPosition = 0);
    bool IsScrollBarShown(int bar) const { return m_barsShown & (bar == SB_VERT ? 2 : 1); }
    int GetScrollMaximum(int bar) const { return bar == SB_VERT ? m_vScrollMax : m_hScrollMax; }

    // Painting.
    virtual void OnDraw(Platform::Canvas* dc, bool wholeGrid);
    void PaintBackground(Platform::Canvas* dc);
    // The whole grid, from row 1 and column 0, as one image of the virtual size.
    bool RenderToBitmap(QImage* image);
    void SetRedraw(bool allow, bool resetScrollBars = false);
    bool IsRedrawAllowed() const { return m_allowDraw; }
    bool RepaintCell(int row, int col, Platform::Canvas* dc = nullptr);
    bool InvalidateCell(int row, int col);
    void RepaintAll();
    bool IsCellOnScreen(int row, int col);
    void AddToPostDrawList(CGridCellBase* cell);

    // Printing. `beforePage` (if any) is called before each page once the print dialog
    // has been answered, with the page's number and the page count: a long printout lets
    // the program answer there.
    void Print(const GRIDPRINTTEXTS* texts, const std::function<void(int page, int pageCount)>& beforePage = {});
    virtual void OnBeginPrinting(Platform::Canvas* dc, GridPrintInfo* info, bool selectionOnly);
    virtual void OnPrint(Platform::Canvas* dc, GridPrintInfo* info, const GRIDPRINTTEXTS* texts,
                         bool selectionOnly);
    virtual void OnEndPrinting(Platform::Canvas* dc, GridPrintInfo* info);
    virtual void PrintRowCells(int firstCol, int endCol, int row, const Platform::Rect& rect,
                               Platform::Canvas* dc, bool& firstColumnFlag);
    virtual void PrintColumnHeadings(Platform::Canvas* dc, GridPrintInfo* info);
    virtual void PrintHeader(Platform::Canvas* dc, GridPrintInfo* info, const GRIDPRINTTEXTS* texts);
    virtual void PrintFooter(Platform::Canvas* dc, GridPrintInfo* info, const GRIDPRINTTEXTS* texts);
    virtual void PrintRowButtons(Platform::Canvas* dc, GridPrintInfo* info, bool selectionOnly);
    int GetPrintPageCount() const { return m_print.pageCount; }

    // Mouse, keyboard and in-place editing.
    virtual void OnFixedRowClick(CGridCellPos& cell);
    virtual void OnFixedColumnClick(CGridCellPos& cell);
    // Starts an edit; the point is relative to the cell ((-1, -1) without the mouse), the
    // key 1 for the mouse and F2, else the key or character that started it.
    virtual void OnEditCell(int row, int col, Platform::Point point, int key);
    virtual void OnEndEditCell(int row, int col, const QString& text);
    virtual bool ValidateEdit(int row, int col, const QString& text);
    // Ends every open in-place edit as a click elsewhere does: the text goes to the cell the
    // editor was opened on (scrolling and focus moves end edits this way too), and the
    // keyboard focus goes back to the grid.
    virtual void EndEditing();
    // Closes every open in-place editor (of the rows from fromRow on) without a report; for
    // changes that move or drop rows.
    void CancelEditing(int fromRow = 0);
    void EditCell(int row, int col, bool selectAll);
    // The end-of-edit notification of an in-place editor.
    intptr_t OnInPlaceEditEnded(const GRIDDISPINFO& info);
    bool IsOverColumnDivider(Platform::Point point);
    bool IsOverRowDivider(Platform::Point point);
    void HideTip();
    const Platform::BalloonTip* GetToolTip() const { return m_tip.get(); }
    int GetMouseMode() const { return m_mouseMode; }
    bool IsAutoScrolling() const { return m_autoScrollTimer.isActive(); }

    // For cells: a canvas that measures text like the screen (null without a window), and
    // the cursor over the grid.
    Platform::Canvas* GetMeasureCanvas();
    void SetCellCursor(Qt::CursorShape shape);

    // Mouse modes.
    enum : int
    {
        MOUSE_NOTHING = 0,
        MOUSE_SELECT_ALL = 1,
        MOUSE_SELECT_COL = 2,
        MOUSE_SELECT_ROW = 3,
        MOUSE_SELECT_CELLS = 4,
        MOUSE_OVER_ROW_DIVIDE = 6,
        MOUSE_SIZING_ROW = 7,
        MOUSE_OVER_COL_DIVIDE = 8,
        MOUSE_SIZING_COL = 9,
        MOUSE_PREPARE_EDIT = 10,
        MOUSE_PREPARE_DRAG = 11,
    };

protected:
    // The window's messages, in the order and with the meaning the handlers expect; the
    // event entry points below translate Qt's events into them.
    void OnLButtonDown(Qt::KeyboardModifiers keys, Platform::Point point);
    void OnMouseMove(Qt::KeyboardModifiers keys, Qt::MouseButtons buttons, Platform::Point point);
    void OnLButtonUp(Qt::KeyboardModifiers keys, Platform::Point point);
    void OnLButtonDblClk(Qt::KeyboardModifiers keys, Platform::Point point);
    void OnRButtonDown(Platform::Point point);
    void OnRButtonUp(Platform::Point point);
    // True when the grid used the turn.
    bool OnMouseWheel(int delta, Platform::Point point);
    void OnAutoScrollTimer();
    // True when the grid used the key (false = default processing).
    bool OnKeyDown(int key, Qt::KeyboardModifiers keys);
    bool OnChar(int character, Qt::KeyboardModifiers keys);
    void OnImeChar(int character);
    void OnSetCursor(Platform::Point point);

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int, int) override {}
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    using Row = std::vector<std::unique_ptr<CGridCellBase>>;

    bool InRange(int row, int col) const
    {
        return row >= 0 && row < m_rowCount && col >= 0 && col < m_colCount;
    }
    void MarkTopLeftDirty() { m_topLeft = {-1, -1}; }
    // Draws rows firstRow..lastRow x columns firstCol..lastCol laid out from (left, top),
    // skipping hidden cells and those wholly outside the clip.
    void DrawCellBlock(Platform::Canvas* dc, int firstRow, int lastRow, int firstCol, int lastCol, int left,
                       int top, const Platform::Rect& clip);
    // Marks the rows (or columns) from oldCount to newCount fixed, or ordinary again.
    void ChangeFixedBand(bool rows, int oldCount, int newCount);
    bool IsScrollingCell(CGridCellPos cell) const
    {
        return cell.row >= m_fixedRows && cell.row < m_rowCount && cell.col >= m_fixedCols &&
               cell.col < m_colCount;
    }
    // The point relative to the top-left corner of the cell's span ((0, 0) when off screen).
    Platform::Point PointInCell(CGridCellPos cell, Platform::Point point);
    bool IsPointInTextRect(CGridCellPos cell, Platform::Point point);
    // The nearest row with a height from `row` on (upwards or downwards, then the other way).
    int ShownRowNear(int row, bool upwards) const;
    // Ends the open edits (see EndEditing) but that of the cell `keep`.
    void EndEditsBesides(CGridCellPos keep);
    void SwapRows(int row1, int row2);
    // Keeps the count of selected cells and the selection bounds when a cell's selected
    // bit goes from `was` to `now`.
    void CountSelection(int row, int col, bool was, bool now);
    // Bounds and anchors that lie beyond the grid after it shrank.
    void ForgetCellsBeyond(int rows, int cols);
    void HandleKeyPress(QKeyEvent* event);
    // A grid reached by the keyboard has no focus cell yet: it goes to the first visible
    // scrolling cell, selected as a key move selects when `select`; false when there is none.
    bool TakeFirstFocusCell(bool select);
    void HandleMouseEvent(QMouseEvent* event);
    void HandleWheel(QWheelEvent* event);
    void PostScrollRequests(int bar, int request, int count);
    // The band shown while a column or row divider is dragged, in client coordinates.
    Platform::Rect SizingBand(int position) const;
    void MoveSizingBand(int position);
    void UpdateTipFor(CGridCellBase* cell, CGridCellPos pos, Platform::Point point);
    // Deletes a cell the grid owned, keeping the post-draw lists free of it.
    void DiscardCell(std::unique_ptr<CGridCellBase> cell);
    void ForgetPostDraw(const CGridCellBase* cell);
    void StoreRowHeight(int row, int height);
    // Where a row starts: the sum of the heights above it (0 to the row count).
    long long RowStart(int row);
    void RowHeightsChangedFrom(int row) { m_rowStartsValid = std::min(m_rowStartsValid, std::max(0, row)); }
    void InvalidateAll();
    void InvalidateClient(const Platform::Rect& rect);
    void UpdateColumnCoords(int fromRow);
    void OnScrollAction(int bar, int action);
    void OnSysColorChange();
    void PaintBackgroundTo(Platform::Canvas* dc, int cellsRight, int cellsBottom);
    // Walks the scrolling cells of a row as they are drawn: a span whose first column has
    // scrolled out is drawn whole from that column; other columns of a span are skipped.
    template <class Visit>
    void ForEachDrawnCell(int row, int firstCol, int lastCol, int fixedW, int top, int height,
                          const Platform::Rect& clip, Visit visit);
    // First row of every printed page.
    std::vector<int> LayoutPrintPages(bool selectionOnly, int availableHeight) const;
    bool RowPrints(int row, bool selectionOnly) const;

    // Window.
    bool m_created = false;
    int m_id = 0;
    IGridNotifyTarget* m_owner = nullptr;
    bool m_inSize = false;

    // Colours and options.
    Platform::ColorRef m_outsideColor;
    Platform::ColorRef m_gridLineColor = 0xC0C0C0;
    Platform::ColorRef m_sysWindowText;
    Platform::ColorRef m_sysWindow;
    Platform::ColorRef m_sysButtonFace;
    Platform::ColorRef m_sysButtonShadow;
    int m_gridLines = GVL_BOTH;
    bool m_listMode = false;
    bool m_allowDraw = true;
    bool m_fixedColumnClickSelects = true;
    int m_barsShown = 0;
    bool m_focusFrame = true;
    bool m_scrollByRows = true;
    int m_topRowOffset = 0;
    bool m_usePrintColors = false;
    bool m_copyRowBreaks = true;
    bool m_copyCellTabs = true;
    bool m_headerSort = false;
    bool m_allowRowResize = true;
    bool m_allowColumnResize = true;
    int m_wheelScrollLines = 3;

    // Structure.
    int m_rowCount = 0;
    int m_fixedRows = 0;
    int m_colCount = 0;
    int m_fixedCols = 0;
    std::vector<int> m_rowHeights;
    // Sum of m_rowHeights, kept with every change: tens of thousands of rows are summed
    // on every scroll-bar update otherwise.
    long long m_totalHeight = 0;
    // Starts of the rows, right up to m_rowStartsValid and filled on demand beyond.
    std::vector<long long> m_rowStarts;
    int m_rowStartsValid = 0;
    std::vector<int> m_colWidths;
    std::vector<Row> m_rows;
    // Rows kept by SetRowCount (SetKeepRemovedRows), the next one to come back last.
    bool m_keepRemovedRows = false;
    std::vector<Row> m_keptRows;
    int m_vScrollMax = 0;
    int m_hScrollMax = 0;
    GridCellChooser m_cellChooser;
    // Normal, fixed column, fixed row, fixed row and column.
    std::unique_ptr<CGridDefaultCell> m_defaultCells[4];

    // Mouse and keyboard.
    int m_mouseMode = MOUSE_NOTHING;
    bool m_leftButtonDown = false;
    Platform::Point m_pressPoint;
    Platform::Point m_lastMousePoint;
    CGridCellPos m_pressCell;
    CGridCellPos m_selectionAnchor;
    CGridCellPos m_mouseOverCell;
    QTimer m_autoScrollTimer;
    int m_autoScrollInterval = 25;
    int m_resizeCaptureRange = 3;
    // Wheel movement not yet turned into scroll requests, in 1/120 lines or pages.
    int m_wheelRemainder = 0;
    QPoint m_contextMenuPos;
    // The sizing band's position while a divider is dragged (-1 = none shown).
    int m_sizingBand = -1;

    // The tooltip and the tool it shows now.
    std::unique_ptr<Platform::BalloonTip> m_tip;
    Platform::Rect m_tipRect;
    QString m_tipTitle;
    QString m_tipText;

    // Focus, selection and sorting.
    CGridCellPos m_focusCell;
    CGridCellPos m_topLeft;
    int m_selectedCount = 0;
    std::vector<int> m_selectedInColumn;
    // A rectangle that holds every selected cell (it may hold more).
    CGridCellRect m_selectionBounds;
    bool m_addToSelection = false;
    int m_sortColumn = -1;
    bool m_sortAscending = true;
    bool m_modified = false;

    CGridDropTarget m_dropTarget;

    // Painting.
    CGridCellRect m_lastDrawn;
    std::vector<CGridCellBase*> m_postDraw;
    // The list being walked after a paint; cells that go away meanwhile are nulled here.
    std::vector<CGridCellBase*>* m_postDrawWalk = nullptr;
    std::unique_ptr<Platform::Canvas> m_measureCanvas;

    // Printing.
    struct PrintState
    {
        Platform::Font font;
        int charWidth = 0;
        int lineHeight = 0;
        Platform::Size logicalPage;
        Platform::Size printerPage;
        int availableHeight = 0;
        int availableWidth = 0;
        int firstColumn = 0;
        int pageCount = 0;
        std::vector<int> pageFirstRows;
        int headerLines = 2;
        int footerLines = 2;
        int gapLines = 1;
        int leftMargin = 4;
        int rightMargin = 4;
    } m_print;
};
