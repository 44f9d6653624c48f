#pragma once
#include "grid/GridCellBase.h"
#include "grid/GridDefaultCell.h"
#include "grid/GridDefs.h"
#include "platform/gui/Canvas.h"

#include <QAbstractScrollArea>
#include <QImage>

#include <memory>
#include <vector>

class QPrinter;

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
    virtual void DestroyCell(int row, int col);
    CGridDefaultCell* GetDefaultCell(bool fixedRow, bool fixedCol) const;

    // Structure.
    int GetRowCount() const { return m_rowCount; }
    int GetColumnCount() const { return m_colCount; }
    int GetFixedRowCount() const { return m_fixedRows; }
    int GetFixedColumnCount() const { return m_fixedCols; }
    bool SetRowCount(int rows);
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

    // Focus, selection marks and sorting, as far as structure and painting need them.
    CGridCellPos SetFocusCell(CGridCellPos cell);
    CGridCellPos SetFocusRowCol(int row, int col) { return SetFocusCell({row, col}); }
    CGridCellPos GetFocusCell() const { return m_focusCell; }
    bool IsCellSelected(int row, int col) const;
    int GetSelectedCount() const { return m_selectedCount; }
    void SetSortColumn(int col);
    int GetSortColumn() const { return m_sortColumn; }
    void SetSortAscending(bool ascending) { m_sortAscending = ascending; }
    bool GetSortAscending() const { return m_sortAscending; }
    void MarkCellModified(int row, int col);
    bool GetModified() const { return m_modified; }

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

    // Printing.
    void Print(const GRIDPRINTTEXTS* texts);
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

    // Editing support hooks.
    virtual void EndEditing();
    void HideTip() {}

    // For cells: a canvas that measures text like the screen (null without a window), and
    // the cursor over the grid.
    Platform::Canvas* GetMeasureCanvas();
    void SetCellCursor(Qt::CursorShape shape);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int, int) override {}
    void changeEvent(QEvent* event) override;

private:
    using Row = std::vector<std::unique_ptr<CGridCellBase>>;

    bool InRange(int row, int col) const
    {
        return row >= 0 && row < m_rowCount && col >= 0 && col < m_colCount;
    }
    void MarkTopLeftDirty() { m_topLeft = {-1, -1}; }
    // Deletes a cell the grid owned, keeping the post-draw lists free of it.
    void DiscardCell(std::unique_ptr<CGridCellBase> cell);
    void ForgetPostDraw(const CGridCellBase* cell);
    void StoreRowHeight(int row, int height);
    void ClearSelectionMarks();
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
    std::vector<int> m_colWidths;
    std::vector<Row> m_rows;
    int m_vScrollMax = 0;
    int m_hScrollMax = 0;
    // Normal, fixed column, fixed row, fixed row and column.
    std::unique_ptr<CGridDefaultCell> m_defaultCells[4];

    // Focus, selection and sorting.
    CGridCellPos m_focusCell;
    CGridCellPos m_topLeft;
    int m_selectedCount = 0;
    CGridCellRect m_selectionBounds;
    int m_sortColumn = -1;
    bool m_sortAscending = true;
    bool m_modified = false;

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
