// Focus, selection, scrolling a cell into view, sorting and changes on the user's behalf.
#include "grid/GridCtrl.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QPointer>

#include <climits>

using namespace Platform;

bool CGridCtrl::TakeFirstFocusCell(bool select)
{
    // The first row and column shown from the top left, else from the start.
    const CGridCellPos top = GetTopLeftScrollingCell();
    auto firstRow = [this](int from)
    {
        for (int r = std::max(from, m_fixedRows); r < m_rowCount; ++r)
            if (GetRowHeight(r) > 0)
                return r;
        return -1;
    };
    auto firstCol = [this](int from)
    {
        for (int c = std::max(from, m_fixedCols); c < m_colCount; ++c)
            if (GetColumnWidth(c) > 0)
                return c;
        return -1;
    };
    int row = firstRow(top.row);
    if (row < 0)
        row = firstRow(m_fixedRows);
    int col = firstCol(top.col);
    if (col < 0)
        col = firstCol(m_fixedCols);
    if (row < 0 || col < 0)
        return false;
    const CGridCellPos cell{row, col};
    if (select && m_mouseMode == MOUSE_NOTHING)
    {
        m_mouseMode = m_listMode ? MOUSE_SELECT_ROW : MOUSE_SELECT_CELLS;
        m_selectionAnchor = cell;
        SendMessageToParent(row, col, Notify::GRIDN_SELCHANGING);
        ExtendSelectionTo(cell);
        SendMessageToParent(row, col, Notify::GRIDN_SELCHANGED);
        m_mouseMode = MOUSE_NOTHING;
    }
    // The owner's answers may have moved the focus already.
    if (!m_focusCell.IsValid())
        SetFocusCell(cell);
    EnsureVisible(m_focusCell.row, m_focusCell.col);
    return true;
}

void CGridCtrl::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    // Reached with Tab, the grid takes keys at once: its focus cell shows where they go.
    const Qt::FocusReason reason = event->reason();
    if (!m_focusCell.IsValid() && (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason))
        TakeFirstFocusCell(false);
}

void CGridCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    // A right click has had its answer from the button's press and release already.
    if (event->reason() == QContextMenuEvent::Mouse)
        return;
    EndEditing();
    Rect cell;
    if (m_focusCell.IsValid())
    {
        EnsureVisible(m_focusCell.row, m_focusCell.col);
        if (GetCellRect(m_focusCell.row, m_focusCell.col, &cell))
        {
            // Under the focus cell's left end, as a menu opened by the keyboard is placed.
            const int x = std::clamp(cell.left, 0, viewport()->width() - 1);
            const int y = std::clamp(cell.bottom, 0, viewport()->height() - 1);
            m_contextMenuPos = viewport()->mapToGlobal(QPoint(x, y));
            SendMessageToParent(m_focusCell.row, m_focusCell.col, Notify::NM_RCLICK);
            return;
        }
    }
    // No focus cell: the menu of the grid itself, as for a right click beside the cells.
    m_contextMenuPos = viewport()->mapToGlobal(QPoint(0, GetFixedRowHeight()));
    SendMessageToParent(-1, -1, Notify::NM_RCLICK);
}

CGridCellPos CGridCtrl::SetFocusCell(CGridCellPos cell)
{
    if (cell == m_focusCell)
        return m_focusCell;
    const CGridCellPos previous = m_focusCell;
    // An editor never stays open over a cell the focus has left: what it holds goes to the
    // cell it was opened on, as when the user clicks elsewhere.
    EndEditsBesides(cell);
    if (cell.row != -1)
        cell.row = std::max(cell.row, m_fixedRows);
    if (cell.col != -1)
        cell.col = std::max(cell.col, m_fixedCols);
    m_focusCell = cell;
    // The owner hears of it before any state bit moves.
    SendMessageToParent(cell.row, cell.col, Notify::GRIDN_FOCUSCHANGED);
    if (InRange(previous.row, previous.col))
        SetItemState(previous.row, previous.col,
                     GetItemState(previous.row, previous.col) & ~CELLSTATE_FOCUSED);
    if (InRange(cell.row, cell.col))
        SetItemState(cell.row, cell.col, GetItemState(cell.row, cell.col) | CELLSTATE_FOCUSED);
    InvalidateAll();
    return previous;
}

bool CGridCtrl::IsCellSelected(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell && cell->IsSelected();
}

namespace
{
// How far ahead a walk over many rows asks for their cells.
constexpr int kPrefetchRows = 4;
} // namespace

void CGridCtrl::SetSelectedRange(int minRow, int minCol, int maxRow, int maxCol, bool forceRepaint,
                                 bool select)
{
    if (minRow == -1 && minCol == -1 && maxRow == -1 && maxCol == -1)
    {
        m_addToSelection = false;
        select = true;
    }
    const CGridCellRect visible = GetVisibleScrollingRange();
    auto raise = [](int v, int floor) { return v >= 0 ? std::max(v, floor) : v; };
    minRow = raise(minRow, m_fixedRows);
    maxRow = raise(maxRow, m_fixedRows);
    minCol = raise(minCol, m_fixedCols);
    maxCol = raise(maxCol, m_fixedCols);
    const CGridCellRect given{minRow, minCol, maxRow, maxCol};

    auto setSelected = [&](int row, int col, CGridCellBase* cell, bool on)
    {
        const uint32_t state = cell->GetState();
        SetItemState(row, col, on ? (state | CELLSTATE_SELECTED) : (state & ~CELLSTATE_SELECTED));
        // Cells that change on screen are drawn again with the next paint, deselected ones
        // too: a stale highlight would show a selection that is gone.
        if (!forceRepaint && visible.Contains(row, col))
            InvalidateCell(row, col);
    };

    if (select)
    {
        const CGridCellRect old = m_selectionBounds;
        CGridCellRect bounds = given;
        if (m_addToSelection)
        {
            auto lower = [](int a, int b) { return a < 0 ? b : (b < 0 ? a : std::min(a, b)); };
            bounds = {lower(old.minRow, given.minRow), lower(old.minCol, given.minCol),
                      std::max(old.maxRow, given.maxRow), std::max(old.maxCol, given.maxCol)};
        }
        m_selectionBounds = bounds;

        // Only cells of the old bounds (which hold every selected cell) or of the new
        // rectangle may change: the two are visited, not the span between them, so that
        // moving a one-row selection across a long grid costs two rows.
        const int newMinRow = given.minRow >= 0 ? given.minRow : m_fixedRows;
        const int newMinCol = given.minCol >= 0 ? given.minCol : m_fixedCols;
        auto visit = [&](int fromRow, int fromCol, int toRow, int toCol)
        {
            const int lastRow = std::min(toRow, m_rowCount - 1);
            for (int row = std::max(0, fromRow); row <= lastRow; ++row)
            {
                // Each cell is an object of its own: asking for the cells of a row a few
                // rows ahead lets their loads overlap instead of waiting for each in turn.
                if (row + kPrefetchRows <= lastRow)
                    for (const auto& ahead : m_rows[static_cast<size_t>(row + kPrefetchRows)])
                        __builtin_prefetch(ahead.get());
                for (int col = std::max(0, fromCol); col <= std::min(toCol, m_colCount - 1); ++col)
                {
                    CGridCellBase* cell = GetCell(row, col);
                    if (!cell)
                        continue;
                    if (given.Contains(row, col))
                    {
                        if (!cell->IsSelected())
                            setSelected(row, col, cell, true);
                    }
                    else if (!m_addToSelection && cell->IsSelected())
                    {
                        setSelected(row, col, cell, false);
                    }
                }
            }
        };
        if (old.maxRow >= 0 && old.maxCol >= 0)
            visit(old.minRow >= 0 ? old.minRow : newMinRow, old.minCol >= 0 ? old.minCol : newMinCol,
                  old.maxRow, old.maxCol);
        if (given.maxRow >= 0 && given.maxCol >= 0)
            visit(newMinRow, newMinCol, given.maxRow, given.maxCol);
    }
    else if (given.IsValid())
    {
        for (int row = given.minRow; row <= std::min(given.maxRow, m_rowCount - 1); ++row)
            for (int col = given.minCol; col <= std::min(given.maxCol, m_colCount - 1); ++col)
                if (CGridCellBase* cell = GetCell(row, col); cell && cell->IsSelected())
                    setSelected(row, col, cell, false);
    }

    m_addToSelection = false;
    if (forceRepaint)
        InvalidateAll();
}

void CGridCtrl::SelectAllCells()
{
    SendMessageToParent(m_pressCell.row, m_pressCell.col, Notify::GRIDN_SELCHANGING);
    SetSelectedRange(m_fixedRows, m_fixedCols, m_rowCount - 1, m_colCount - 1, false, true);
    SendMessageToParent(m_focusCell.row, m_focusCell.col, Notify::GRIDN_SELCHANGED);
}

void CGridCtrl::SelectRows(CGridCellPos cell, bool forceRepaint, bool select, bool add)
{
    if (cell.row < m_fixedRows || cell.row >= m_rowCount || cell.col >= m_colCount)
        return;
    int first = cell.row;
    int last = cell.row;
    if (add)
    {
        m_addToSelection = true;
    }
    else if (m_selectionAnchor.row >= 0)
    {
        first = std::min(m_selectionAnchor.row, cell.row);
        last = std::max(m_selectionAnchor.row, cell.row);
    }
    SetSelectedRange(first, m_fixedCols, last, m_colCount - 1, forceRepaint, select);
}

void CGridCtrl::SelectCellBlock(CGridCellPos cell, bool forceRepaint, bool select)
{
    if (!IsScrollingCell(cell))
        return;
    // Without an anchor the block is the cell itself.
    const CGridCellPos anchor =
        InRange(m_selectionAnchor.row, m_selectionAnchor.col) ? m_selectionAnchor : cell;
    SetSelectedRange(std::min(anchor.row, cell.row), std::min(anchor.col, cell.col),
                     std::max(anchor.row, cell.row), std::max(anchor.col, cell.col), forceRepaint, select);
}

void CGridCtrl::ExtendSelectionTo(CGridCellPos cell)
{
    if (m_mouseMode == MOUSE_SELECT_ROW)
    {
        if (cell.row >= m_fixedRows && cell.row < m_rowCount && cell.col >= 0 && cell.col < m_colCount)
        {
            const int anchorRow = m_selectionAnchor.row >= 0 ? m_selectionAnchor.row : cell.row;
            SetSelectedRange(std::min(anchorRow, cell.row), m_fixedCols, std::max(anchorRow, cell.row),
                             m_colCount - 1, false, true);
        }
    }
    else if (m_mouseMode == MOUSE_SELECT_CELLS)
    {
        SelectCellBlock(cell, false, true);
    }
    SendMessageToParent(cell.row, cell.col, Notify::GRIDN_SELCHANGING);
}

CGridCellRect CGridCtrl::GetSelectedCellRange()
{
    // The cells' bits are the truth: the scan also renews the count.
    CGridCellRect range{m_rowCount, m_colCount, -1, -1};
    int count = 0;
    std::fill(m_selectedInColumn.begin(), m_selectedInColumn.end(), 0);
    for (int row = 0; row < m_rowCount; ++row)
    {
        const Row& cells = m_rows[static_cast<size_t>(row)];
        for (int col = 0; col < static_cast<int>(cells.size()); ++col)
        {
            const CGridCellBase* cell = cells[static_cast<size_t>(col)].get();
            if (!cell || !cell->IsSelected())
                continue;
            ++count;
            if (static_cast<size_t>(col) < m_selectedInColumn.size())
                ++m_selectedInColumn[static_cast<size_t>(col)];
            range.minRow = std::min(range.minRow, row);
            range.minCol = std::min(range.minCol, col);
            range.maxRow = std::max(range.maxRow, row);
            range.maxCol = std::max(range.maxCol, col);
        }
    }
    m_selectedCount = count;
    m_selectionBounds = range;
    return range;
}

void CGridCtrl::ClearSelection()
{
    SetSelectedRange(-1, -1, -1, -1);
    SetFocusCell({-1, -1});
}

void CGridCtrl::SetListMode(bool on)
{
    ClearSelection();
    SetSortColumn(-1);
    m_listMode = on;
    m_fixedColumnClickSelects = false;
    if (m_allowDraw)
        InvalidateAll();
}

// ---------------------------------------------------------------------------------------
// Scrolling a cell into view

void CGridCtrl::EnsureVisible(int row, int col)
{
    if (!m_allowDraw || !m_created)
        return;
    const QPointer<QWidget> focus = QApplication::focusWidget();
    MarkTopLeftDirty();
    const CGridCellRect visible = GetVisibleScrollingRange();

    for (int c = visible.maxCol + 1; c <= col && c < m_colCount; ++c)
        if (m_colWidths[static_cast<size_t>(c)] > 0)
            OnHScroll(SB_LINERIGHT);
    for (int c = visible.minCol - 1; c >= col && c >= 0; --c)
        if (m_colWidths[static_cast<size_t>(c)] > 0)
            OnHScroll(SB_LINELEFT);
    // Scrolling by pixels, the steps below bring a row further down into view in one
    // request; a step per row between would make a far row cost every row on the way.
    if (m_scrollByRows)
        for (int r = visible.maxRow + 1; r <= row && r < m_rowCount; ++r)
            if (m_rowHeights[static_cast<size_t>(r)] > 0)
                OnVScroll(SB_LINEDOWN);
    if (row >= 0 && row < visible.minRow)
    {
        if (m_scrollByRows)
        {
            for (int r = visible.minRow - 1; r >= row; --r)
                if (m_rowHeights[static_cast<size_t>(r)] > 0)
                    OnVScroll(SB_LINEUP);
        }
        else
        {
            int pos = GetScrollPosition(SB_VERT, true) + GetTopRowOffset();
            OnVScroll(SB_THUMBPOSITION, std::max(0, pos));
            // Up by the rows between, in one request.
            long long up = 0;
            for (int r = visible.minRow - 1; r >= row; --r)
                up += m_rowHeights[static_cast<size_t>(r)];
            if (up > 0)
                OnVScroll(SB_THUMBPOSITION,
                          static_cast<int>(std::max<long long>(0, GetScrollPosition(SB_VERT) - up)));
        }
    }

    // Then one step at a time while the cell still reaches past the right or bottom edge;
    // a step that no longer moves it ends the loop.
    const Rect client = GetClientRect();
    Rect rect;
    if (GetCellRect(row, col, &rect))
    {
        while (rect.right >= client.right && rect.left > GetFixedColumnWidth() && IsScrollBarShown(SB_HORZ))
        {
            const int before = GetScrollPosition(SB_HORZ);
            OnHScroll(SB_LINERIGHT);
            if (GetScrollPosition(SB_HORZ) == before || !GetCellRect(row, col, &rect))
                break;
        }
        while (rect.bottom >= client.bottom && rect.top > GetFixedRowHeight() && IsScrollBarShown(SB_VERT))
        {
            const int before = GetScrollPosition(SB_VERT);
            if (m_scrollByRows)
                OnVScroll(SB_LINEDOWN);
            else
                OnVScroll(SB_THUMBPOSITION, before + (rect.bottom - client.bottom + 1));
            if (GetScrollPosition(SB_VERT) == before || !GetCellRect(row, col, &rect))
                break;
        }
    }
    if (focus && QApplication::focusWidget() != focus)
        focus->setFocus();
}

// ---------------------------------------------------------------------------------------
// Sorting

bool CGridCtrl::SortItems(GridCompareFunc compare, int col, bool ascending, intptr_t data)
{
    InvalidateCell(0, m_sortColumn);
    InvalidateCell(0, col);
    m_sortColumn = col;
    m_sortAscending = ascending;
    SetFocusCell({-1, -1});
    const bool sorted = SortRowRange(compare, col, ascending, data, m_fixedRows, -1);
    GetSelectedCellRange();
    // The rows moved under the window.
    RepaintAll();
    return sorted;
}

bool CGridCtrl::ArrangeRows(const std::vector<int>& order, int col, bool ascending)
{
    const int count = m_rowCount - m_fixedRows;
    if (count < 0 || order.size() != static_cast<size_t>(count))
        return false;
    std::vector<bool> named(order.size(), false);
    for (int row : order)
    {
        if (row < m_fixedRows || row >= m_rowCount || named[static_cast<size_t>(row - m_fixedRows)])
            return false;
        named[static_cast<size_t>(row - m_fixedRows)] = true;
    }
    InvalidateCell(0, m_sortColumn);
    InvalidateCell(0, col);
    m_sortColumn = col;
    m_sortAscending = ascending;
    SetFocusCell({-1, -1});
    MarkTopLeftDirty();
    CancelEditing();

    // The selected cells stay in their columns; their rows are where the rows of the old
    // bounds go, found without a visit to every cell.
    const CGridCellRect oldBounds = m_selectionBounds;
    CGridCellRect bounds = oldBounds;
    bounds.minRow = m_rowCount;
    bounds.maxRow = -1;
    std::vector<Row> rows(order.size());
    std::vector<int> heights(order.size());
    for (size_t k = 0; k < order.size(); ++k)
    {
        const int from = order[k];
        rows[k] = std::move(m_rows[static_cast<size_t>(from)]);
        heights[k] = m_rowHeights[static_cast<size_t>(from)];
        if (from >= oldBounds.minRow && from <= oldBounds.maxRow)
        {
            const int to = m_fixedRows + static_cast<int>(k);
            bounds.minRow = std::min(bounds.minRow, to);
            bounds.maxRow = std::max(bounds.maxRow, to);
        }
    }
    // Fixed rows stay where they are.
    if (oldBounds.IsValid() && oldBounds.minRow < m_fixedRows)
        bounds.minRow = std::max(0, oldBounds.minRow);
    m_selectionBounds = bounds.maxRow >= 0 ? bounds : oldBounds;
    for (size_t k = 0; k < order.size(); ++k)
    {
        const int row = m_fixedRows + static_cast<int>(k);
        m_rows[static_cast<size_t>(row)] = std::move(rows[k]);
        m_rowHeights[static_cast<size_t>(row)] = heights[k];
        for (int c = 0; c < m_colCount; ++c)
            if (CGridCellBase* cell = GetCell(row, c))
                cell->SetCoords(row, c);
    }
    RowHeightsChangedFrom(m_fixedRows);
    // The rows moved under the window.
    RepaintAll();
    return true;
}

bool CGridCtrl::SortByText(int col, bool ascending)
{
    return SortItems(&CGridCtrl::CompareCellText, col, ascending, 0);
}

int CGridCtrl::CompareCellText(CGridCellBase* cell1, CGridCellBase* cell2, intptr_t)
{
    if (!cell1 || !cell2)
        return 0;
    const QString a = cell1->GetText();
    const QString b = cell2->GetText();
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i)
    {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

void CGridCtrl::SwapRows(int row1, int row2)
{
    std::swap(m_rows[static_cast<size_t>(row1)], m_rows[static_cast<size_t>(row2)]);
    std::swap(m_rowHeights[static_cast<size_t>(row1)], m_rowHeights[static_cast<size_t>(row2)]);
    RowHeightsChangedFrom(std::min(row1, row2) + 1);
    for (int row : {row1, row2})
        for (int col = 0; col < m_colCount; ++col)
            if (CGridCellBase* cell = GetCell(row, col))
                cell->SetCoords(row, col);
}

bool CGridCtrl::SortRowRange(GridCompareFunc compare, int col, bool ascending, intptr_t data, int first,
                             int last)
{
    if (!compare || col < 0 || col >= m_colCount)
        return false;
    if (last == -1)
        last = m_rowCount - 1;
    if (first < 0 || last >= m_rowCount || first >= last)
        return false;
    MarkTopLeftDirty();
    CancelEditing();

    // Partitions around the cell in the middle row (the object itself, which keeps its
    // identity while rows move). The scans stop at the range's ends, so a comparator that
    // contradicts itself cannot run them out of the range; each part is strictly smaller
    // than the range, and the smaller part is sorted first by recursion and the larger
    // one by the loop, so the depth stays logarithmic.
    const int sign = ascending ? 1 : -1;
    auto sortRange = [&](auto& self, int lo, int hi) -> void
    {
        while (lo < hi)
        {
            CGridCellBase* pivot = GetCell((lo + hi) / 2, col);
            int i = lo;
            int j = hi;
            while (i <= j)
            {
                while (i < hi && sign * compare(GetCell(i, col), pivot, data) < 0)
                    ++i;
                while (j > lo && sign * compare(GetCell(j, col), pivot, data) > 0)
                    --j;
                if (i <= j)
                {
                    if (compare(GetCell(i, col), GetCell(j, col), data) != 0)
                        SwapRows(i, j);
                    ++i;
                    --j;
                }
            }
            if (j - lo < hi - i)
            {
                if (lo < j)
                    self(self, lo, j);
                lo = i;
            }
            else
            {
                if (i < hi)
                    self(self, i, hi);
                hi = j;
            }
        }
    };
    sortRange(sortRange, first, last);
    return true;
}

void CGridCtrl::SetSortColumn(int col)
{
    if (col == m_sortColumn)
        return;
    InvalidateCell(0, m_sortColumn);
    InvalidateCell(0, col);
    m_sortColumn = col;
}

// ---------------------------------------------------------------------------------------
// Changes

void CGridCtrl::MarkCellModified(int row, int col)
{
    if (col < 0 || col == m_sortColumn)
        SetSortColumn(-1);
    if (row >= 0 && col >= 0)
        SetItemState(row, col, GetItemState(row, col) | CELLSTATE_MODIFIED);
    m_modified = true;
}

bool CGridCtrl::CanEditCell(CGridCellPos cell) const
{
    const CGridCellBase* c = GetCell(cell.row, cell.col);
    return c && !c->IsReadOnly();
}

void CGridCtrl::ReplaceCellText(int row, int col, const QString& text)
{
    CGridCellBase* cell = GetCell(row, col);
    if (!cell || cell->IsReadOnly())
        return;
    if (SendMessageToParent(row, col, Notify::GRIDN_BEGINLABELEDIT) < 0)
        return;
    // The owner's handler may have changed the grid.
    cell = GetCell(row, col);
    if (!cell)
        return;
    const QString old = cell->GetText();
    if (text == old)
        return;
    SetItemText(row, col, text);
    if (ValidateEdit(row, col, text) && SendMessageToParent(row, col, Notify::GRIDN_ENDLABELEDIT) >= 0)
    {
        MarkCellModified(row, col);
        RepaintCell(row, col);
    }
    else
    {
        SetItemText(row, col, old);
    }
}
