#include "grid/GridCtrl.h"

#include "platform/gui/PainterCanvas.h"

#include <QPaintEvent>

#include <climits>

using namespace Platform;

// Scrolling cells get rectangles (x, y, x + width - 1, y + height - 1), each one past the
// previous, so that a one-pixel grid line fits between neighbours.
template <class Visit>
void CGridCtrl::ForEachDrawnCell(int row, int firstCol, int lastCol, int fixedW, int top, int height,
                                 const Rect& clip, Visit visit)
{
    int x = fixedW;
    for (int col = firstCol; col <= lastCol; ++col)
    {
        CGridCellBase* cell = GetCell(row, col);
        if (!cell)
            continue;
        if (x > clip.right)
            break;
        int left = x;
        int width;
        int drawCol = col;
        if (col == firstCol && cell->IsMerged() && cell->GetMergeFirst() < col && cell->GetMergeFirst() >= 0)
        {
            drawCol = cell->GetMergeFirst();
            for (int c = drawCol; c < col; ++c)
                left -= m_colWidths[static_cast<size_t>(c)];
            width = GetColumnWidth(drawCol, row);
        }
        else
        {
            width = GetColumnWidth(col, row);
        }
        if (width < 1)
            continue;
        const Rect rect{left, top, left + width - 1, top + height - 1};
        x = rect.right + 1;
        if (rect.right < clip.left)
            continue;
        if (CGridCellBase* drawn = GetCell(row, drawCol))
            visit(drawn, drawCol, rect);
    }
}

void CGridCtrl::paintEvent(QPaintEvent* event)
{
    // The window system double-buffers the widget, so the grid paints straight into the
    // back buffer.
    WidgetCanvas dc(viewport(), event->region());
    OnDraw(&dc, false);
    // The band that shows where a dragged divider would go: the pixels below it inverted.
    if (m_sizingBand >= 0 && (m_mouseMode == MOUSE_SIZING_COL || m_mouseMode == MOUSE_SIZING_ROW))
        dc.InvertRect(SizingBand(m_sizingBand));
}

void CGridCtrl::PaintBackground(Canvas* dc)
{
    Rect cells;
    GetVisibleScrollingRange(&cells);
    PaintBackgroundTo(dc, cells.right, cells.bottom);
}

void CGridCtrl::PaintBackgroundTo(Canvas* dc, int cellsRight, int cellsBottom)
{
    Rect clip;
    if (dc->GetClipBox(&clip) == REGION_ERROR)
        return;
    const int fixedW = GetFixedColumnWidth();
    const int fixedH = GetFixedRowHeight();
    auto fill = [&](const Rect& area, ColorRef color)
    {
        const Rect r = Rect::Intersect(area, clip);
        if (!r.IsEmpty())
            dc->FillRect(r, Brush::Solid(color));
    };
    fill({clip.left, clip.top, fixedW, fixedH}, m_defaultCells[3]->GetBackClr());
    fill({clip.left, fixedH, fixedW, cellsBottom}, m_defaultCells[1]->GetBackClr());
    fill({fixedW - 1, clip.top, cellsRight, fixedH}, m_defaultCells[2]->GetBackClr());
    fill({fixedW, fixedH, cellsRight, cellsBottom}, m_defaultCells[0]->GetBackClr());
    fill({cellsRight, clip.top, clip.right, clip.bottom}, m_outsideColor);
    fill({clip.left, cellsBottom, cellsRight, clip.bottom}, m_outsideColor);
}

void CGridCtrl::OnDraw(Canvas* dc, bool wholeGrid)
{
    if (!dc || (!m_allowDraw && !wholeGrid))
        return;
    Rect clip;
    if (dc->GetClipBox(&clip) == REGION_ERROR)
        return;

    const int fixedH = GetFixedRowHeight();
    const int fixedW = GetFixedColumnWidth();
    CGridCellPos topLeft = GetTopLeftScrollingCell();
    Rect cells;
    const CGridCellRect visible = GetVisibleScrollingRange(&cells);
    Rect client = GetClientRect();
    int offset = m_topRowOffset;
    int minRow = topLeft.row;
    int minCol = topLeft.col;
    int maxRow = visible.maxRow;
    int maxCol = visible.maxCol;

    if (wholeGrid)
    {
        // The image shows every row below the heading and every column, whatever the
        // scroll position; the screen's bookkeeping is left alone.
        minRow = 1;
        minCol = 0;
        maxRow = m_rowCount - 1;
        maxCol = m_colCount - 1;
        offset = 0;
        client = {0, 0, clip.right, clip.bottom};
        PaintBackgroundTo(dc, static_cast<int>(std::min<long long>(GetVirtualWidth(), INT_MAX)),
                          static_cast<int>(std::min<long long>(GetVirtualHeight(), INT_MAX)));
    }
    else
    {
        PaintBackgroundTo(dc, cells.right, cells.bottom);
        // Cells that left the view hear of it once, without a canvas.
        const CGridCellRect last = m_lastDrawn;
        if (last.IsValid())
        {
            for (int row = last.minRow; row <= std::min(last.maxRow, m_rowCount - 1); ++row)
            {
                const bool rowHidden = m_rowHeights[static_cast<size_t>(row)] == 0;
                for (int col = last.minCol; col <= std::min(last.maxCol, m_colCount - 1); ++col)
                {
                    if (!rowHidden && visible.Contains(row, col))
                        continue;
                    CGridCellBase* cell = GetCell(row, col);
                    if (!cell)
                        continue;
                    CGridCellBase* first = cell->IsMerged() ? GetCell(row, cell->GetMergeFirst()) : cell;
                    if (first)
                        first->Draw(nullptr, row, col, Rect{}, true, false);
                }
            }
        }
        m_lastDrawn = visible;
    }

    dc->SelectClipRect(nullptr);

    // The corner.
    int y = 0;
    for (int row = 0; row < m_fixedRows; ++row)
    {
        const int h = m_rowHeights[static_cast<size_t>(row)];
        if (h <= 0)
            continue;
        int x = 0;
        for (int col = 0; col < m_fixedCols; ++col)
        {
            const int w = m_colWidths[static_cast<size_t>(col)];
            if (w <= 0)
                continue;
            if (CGridCellBase* cell = GetCell(row, col))
            {
                cell->SetCoords(row, col);
                cell->Draw(dc, row, col, {x, y, x + w - 1, y + h - 1}, false, false);
            }
            x += w;
        }
        y += h;
    }

    // The fixed columns of the visible rows, kept out of the fixed rows.
    if (m_fixedCols > 0 && minRow >= 0)
    {
        const Rect band{0, fixedH, fixedW, client.bottom};
        dc->SelectClipRect(&band);
        DrawCellBlock(dc, minRow, maxRow, 0, m_fixedCols - 1, 0, fixedH + offset, clip);
        dc->SelectClipRect(nullptr);
    }

    // The fixed rows across the visible columns.
    if (minCol >= 0)
        DrawCellBlock(dc, 0, m_fixedRows - 1, minCol, maxCol, fixedW, 0, clip);

    // The scrolling cells, each clipped to itself within the scrolling area.
    if (minRow >= 0 && minCol >= 0)
    {
        y = fixedH + offset;
        for (int row = minRow; row <= maxRow; ++row)
        {
            const int h = m_rowHeights[static_cast<size_t>(row)];
            if (y > clip.bottom)
                break;
            if (h <= 0 || y + h - 1 < clip.top)
            {
                y += h;
                continue;
            }
            ForEachDrawnCell(row, minCol, maxCol, fixedW, y, h, clip,
                             [&](CGridCellBase* cell, int col, Rect rect)
                             {
                                 const Rect cellClip{std::max(rect.left, fixedW), std::max(rect.top, fixedH),
                                                     std::min(rect.right, client.right),
                                                     std::min(rect.bottom, client.bottom)};
                                 dc->SelectClipRect(&cellClip);
                                 cell->SetCoords(row, col);
                                 cell->Draw(dc, row, col, rect, false, false);
                                 dc->SelectClipRect(nullptr);
                             });
            y += h;
        }

        // Grid lines over the scrolling cells; fixed cells have their raised edge instead.
        const Pen oldPen = dc->SelectPen(Pen::Solid(0, m_gridLineColor));
        y = fixedH + offset;
        int rowTopLine = fixedH - 1;
        for (int row = minRow; row <= maxRow; ++row)
        {
            const int h = m_rowHeights[static_cast<size_t>(row)];
            if (y > clip.bottom)
                break;
            if (h <= 0)
                continue;
            const int rowBottom = y + h - 1;
            if (rowBottom >= clip.top)
            {
                bool first = true;
                int previousRight = 0;
                ForEachDrawnCell(row, minCol, maxCol, fixedW, y, h, clip,
                                 [&](CGridCellBase*, int, Rect rect)
                                 {
                                     if (first)
                                     {
                                         previousRight = rect.left - 1;
                                         first = false;
                                     }
                                     if (m_gridLines & GVL_VERT)
                                     {
                                         dc->MoveTo(rect.right, rowTopLine);
                                         dc->LineTo(rect.right, rowBottom);
                                     }
                                     if (m_gridLines & GVL_HORZ)
                                     {
                                         dc->MoveTo(previousRight, rowBottom);
                                         dc->LineTo(rect.right, rowBottom);
                                     }
                                     previousRight = rect.right;
                                 });
            }
            rowTopLine = rowBottom;
            y += h;
        }
        dc->SelectPen(oldPen);
    }

    dc->SelectPen(Pen::Null());
    dc->SelectClipRect(nullptr);

    // Post-draw calls. The list is taken first: a handler may ask for the next paint's call
    // or change the grid; cells that go away meanwhile are taken off the list being walked.
    if (!m_postDraw.empty())
    {
        std::vector<CGridCellBase*> walk;
        walk.swap(m_postDraw);
        m_postDrawWalk = &walk;
        for (size_t i = 0; i < walk.size(); ++i)
            if (walk[i])
                walk[i]->OnPostDraw();
        m_postDrawWalk = nullptr;
    }
}

void CGridCtrl::DrawCellBlock(Canvas* dc, int firstRow, int lastRow, int firstCol, int lastCol, int left,
                              int top, const Rect& clip)
{
    int y = top;
    for (int row = firstRow; row <= lastRow; ++row)
    {
        const int h = m_rowHeights[static_cast<size_t>(row)];
        if (y > clip.bottom)
            break;
        if (h <= 0 || y + h - 1 < clip.top)
        {
            y += h;
            continue;
        }
        int x = left;
        for (int col = firstCol; col <= lastCol; ++col)
        {
            const int w = m_colWidths[static_cast<size_t>(col)];
            if (x > clip.right)
                break;
            if (w <= 0 || x + w - 1 < clip.left)
            {
                x += w;
                continue;
            }
            if (CGridCellBase* cell = GetCell(row, col))
            {
                cell->SetCoords(row, col);
                cell->Draw(dc, row, col, {x, y, x + w - 1, y + h - 1}, false, false);
            }
            x += w;
        }
        y += h;
    }
}

bool CGridCtrl::RenderToBitmap(QImage* image)
{
    if (!image)
        return false;
    const long long width = GetVirtualWidth();
    const long long height = GetVirtualHeight();
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX)
        return false;
    QImage bitmap(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    if (bitmap.isNull())
        return false;
    {
        ImageCanvas dc(bitmap);
        OnDraw(&dc, true);
    }
    *image = std::move(bitmap);
    return true;
}

void CGridCtrl::SetRedraw(bool allow, bool resetScrollBars)
{
    const bool wasSuspended = !m_allowDraw;
    m_allowDraw = allow;
    if (allow && wasSuspended)
        InvalidateAll();
    if (resetScrollBars)
        UpdateScrollBars();
}

bool CGridCtrl::RepaintCell(int row, int col, Canvas* dc)
{
    if (!m_allowDraw || !IsCellOnScreen(row, col))
        return false;
    CGridCellBase* cell = GetCell(row, col);
    const int spanCol = cell && cell->IsMerged() ? cell->GetMergeFirst() : col;
    Rect rect;
    if (!GetCellRect(row, spanCol, &rect))
        return false;
    if (!dc)
    {
        // Drawing happens in paint events: the cell is painted with the next one.
        InvalidateClient({rect.left, rect.top, rect.right + 1, rect.bottom + 1});
        return true;
    }
    const Rect client = GetClientRect();
    dc->SaveDC();
    const Rect scrolling{GetFixedColumnWidth(), GetFixedRowHeight(), client.right, client.bottom};
    dc->SelectClipRect(&scrolling);
    bool result = true;
    if (cell)
    {
        cell->SetCoords(row, col);
        result = cell->Draw(dc, row, col, rect, true, false);
    }
    if (row >= m_fixedRows && col >= m_fixedCols)
    {
        dc->SelectPen(Pen::Solid(0, m_gridLineColor));
        dc->MoveTo(rect.left, rect.bottom);
        dc->LineTo(rect.right + 1, rect.bottom);
        dc->MoveTo(rect.right, rect.top);
        dc->LineTo(rect.right, rect.bottom + 1);
    }
    dc->RestoreDC(-1);
    return result;
}

bool CGridCtrl::InvalidateCell(int row, int col)
{
    if (!m_created || !m_allowDraw || !InRange(row, col) || !IsCellOnScreen(row, col))
        return false;
    Rect rect;
    if (!GetUnmergedCellRect(row, col, &rect))
        return false;
    InvalidateClient({rect.left, rect.top, rect.right + 1, rect.bottom + 1});
    return true;
}

void CGridCtrl::RepaintAll()
{
    if (m_allowDraw)
        InvalidateAll();
}

bool CGridCtrl::IsCellOnScreen(int row, int col)
{
    if (!m_created || !InRange(row, col))
        return false;
    const CGridCellPos topLeft = GetTopLeftScrollingCell();
    if (col >= m_fixedCols && col < topLeft.col)
        return false;
    if (row >= m_fixedRows && row < topLeft.row)
        return false;
    const Rect client = GetClientRect();
    int x = col < m_fixedCols ? 0 : GetFixedColumnWidth();
    for (int c = col < m_fixedCols ? 0 : topLeft.col; c < col; ++c)
    {
        x += m_colWidths[static_cast<size_t>(c)];
        if (x >= client.right)
            return false;
    }
    int y = row < m_fixedRows ? 0 : GetFixedRowHeight() + m_topRowOffset;
    for (int r = row < m_fixedRows ? 0 : topLeft.row; r < row; ++r)
    {
        y += m_rowHeights[static_cast<size_t>(r)];
        if (y >= client.bottom)
            return false;
    }
    return true;
}

void CGridCtrl::AddToPostDrawList(CGridCellBase* cell)
{
    if (cell)
        m_postDraw.push_back(cell);
}
