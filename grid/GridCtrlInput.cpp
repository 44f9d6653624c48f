// Mouse, keyboard, in-place editing and the tooltip.
//
// The handlers read as the window messages they answer: a key-down before the characters
// it types, a double click in place of the second press, mouse moves also without a
// button. The event entry points at the end of this file translate Qt's events into that
// order once.
#include "grid/GridCtrl.h"
#include "grid/InPlaceEdit.h"
#include "platform/gui/BalloonTip.h"
#include "platform/gui/ContextMenuKey.h"
#include "platform/gui/VirtualKeys.h"

#include <QApplication>
#include <QCursor>
#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

using namespace Platform;

namespace
{
constexpr int kToolTipAutoPop = 30000;
constexpr int kToolTipInitial = 500;
constexpr int kToolTipWidth = 1200;

bool HasCtrl(Qt::KeyboardModifiers keys)
{
    return keys & Qt::ControlModifier;
}

bool HasShift(Qt::KeyboardModifiers keys)
{
    return keys & Qt::ShiftModifier;
}
} // namespace

// ---------------------------------------------------------------------------------------
// Helpers

Point CGridCtrl::PointInCell(CGridCellPos cell, Point point)
{
    const CGridCellBase* c = GetCell(cell.row, cell.col);
    if (!c)
        return {};
    const int col = c->IsMerged() && GetCell(cell.row, c->GetMergeFirst()) ? c->GetMergeFirst() : cell.col;
    Point origin;
    if (!GetSpanOrigin(cell.row, col, &origin))
        return {};
    return {point.x - origin.x, point.y - origin.y};
}

bool CGridCtrl::IsPointInTextRect(CGridCellPos cell, Point point)
{
    CGridCellBase* c = GetCell(cell.row, cell.col);
    Rect rect;
    if (!c || !GetCellRect(cell.row, cell.col, &rect) || !c->GetTextRect(&rect))
        return false;
    return rect.Contains(point);
}

void CGridCtrl::ForgetCellsBeyond(int rows, int cols)
{
    auto beyond = [&](CGridCellPos p) { return p.row >= rows || p.col >= cols; };
    if (beyond(m_pressCell))
        m_pressCell = {-1, -1};
    if (beyond(m_selectionAnchor))
        m_selectionAnchor = {-1, -1};
    if (beyond(m_mouseOverCell))
        m_mouseOverCell = {-1, -1};
    CGridCellRect& b = m_selectionBounds;
    b.maxRow = std::min(b.maxRow, rows - 1);
    b.maxCol = std::min(b.maxCol, cols - 1);
    if (b.maxRow < 0 || b.maxCol < 0)
        b = {};
}

Rect CGridCtrl::SizingBand(int position) const
{
    const Rect client = GetClientRect();
    if (m_mouseMode == MOUSE_SIZING_ROW)
        return {client.left, position, client.right, position + 2};
    return {position, client.top, position + 2, client.bottom};
}

void CGridCtrl::MoveSizingBand(int position)
{
    if (m_sizingBand >= 0)
        InvalidateClient(SizingBand(m_sizingBand));
    m_sizingBand = position;
    if (m_sizingBand >= 0)
        InvalidateClient(SizingBand(m_sizingBand));
}

void CGridCtrl::PostScrollRequests(int bar, int request, int count)
{
    for (int i = 0; i < count; ++i)
    {
        QMetaObject::invokeMethod(
            this,
            [this, bar, request]
            {
                if (bar == SB_VERT)
                    OnVScroll(request);
                else
                    OnHScroll(request);
            },
            Qt::QueuedConnection);
    }
}

bool CGridCtrl::IsOverColumnDivider(Point point)
{
    if (point.y < 0 || point.y >= GetFixedRowHeight())
        return false;
    const CGridCellPos cell = GetCellFromPoint(point, true);
    Point start;
    if (!InRange(cell.row, cell.col) || !GetSpanOrigin(cell.row, cell.col, &start))
        return false;
    const int end = start.x + GetColumnWidth(cell.col, cell.row);
    return (point.x - start.x < m_resizeCaptureRange && cell.col != 0) ||
           end - point.x < m_resizeCaptureRange;
}

bool CGridCtrl::IsOverRowDivider(Point point)
{
    if (point.x < 0 || point.x >= GetFixedColumnWidth())
        return false;
    const CGridCellPos cell = GetCellFromPoint(point, true);
    Point start;
    if (!InRange(cell.row, cell.col) || !GetCellOrigin(cell.row, cell.col, &start))
        return false;
    const int end = start.y + GetRowHeight(cell.row);
    return (point.y - start.y < m_resizeCaptureRange && cell.row != 0) ||
           end - point.y < m_resizeCaptureRange;
}

int CGridCtrl::ShownRowNear(int row, bool upwards) const
{
    // The first shown row from `row` in the given direction, else in the other one; the
    // row itself when no scrolling row is shown.
    for (const int step : {upwards ? -1 : 1, upwards ? 1 : -1})
        for (int r = row; r >= m_fixedRows && r < m_rowCount; r += step)
            if (GetRowHeight(r) > 0)
                return r;
    return row;
}

// ---------------------------------------------------------------------------------------
// Left button

void CGridCtrl::OnLButtonDown(Qt::KeyboardModifiers keys, Point point)
{
    setFocus(Qt::MouseFocusReason);
    m_leftButtonDown = true;
    m_pressPoint = point;
    m_pressCell = GetCellFromPoint(point, true);
    if (!InRange(m_pressCell.row, m_pressCell.col))
        return;

    if (!HasShift(keys))
        m_selectionAnchor = m_pressCell;
    else if (!InRange(m_selectionAnchor.row, m_selectionAnchor.col))
        m_selectionAnchor = m_focusCell;

    EndEditing();
    if (CGridCellBase* cell = GetCell(m_pressCell.row, m_pressCell.col))
        cell->OnClickDown(PointInCell(m_pressCell, point));

    // A press on the focus cell's text may become an edit when the button comes up.
    if (m_pressCell == m_focusCell && !HasCtrl(keys) && IsPointInTextRect(m_pressCell, point) &&
        CanEditCell(m_pressCell))
    {
        m_mouseMode = MOUSE_PREPARE_EDIT;
        return;
    }

    if (IsCellSelected(m_pressCell.row, m_pressCell.col))
    {
        SetFocusCell(m_pressCell);
        if (HasCtrl(keys))
        {
            // Ctrl on a selected cell takes it (and what lies between it and the anchor) out
            // of the selection.
            if (m_listMode)
            {
                if (m_pressCell.row >= m_fixedRows)
                {
                    const int anchorRow =
                        m_selectionAnchor.row >= 0 ? m_selectionAnchor.row : m_pressCell.row;
                    SetSelectedRange(std::min(anchorRow, m_pressCell.row), m_fixedCols,
                                     std::max(anchorRow, m_pressCell.row), m_colCount - 1, true, false);
                }
            }
            else
            {
                SelectCellBlock(m_pressCell, true, false);
            }
            return;
        }
    }
    else if (m_mouseMode != MOUSE_OVER_COL_DIVIDE && m_mouseMode != MOUSE_OVER_ROW_DIVIDE)
    {
        SetFocusCell(IsScrollingCell(m_pressCell) ? m_pressCell : CGridCellPos{-1, -1});
    }

    if (m_mouseMode == MOUSE_NOTHING)
    {
        if (m_allowColumnResize && IsOverColumnDivider(point))
        {
            SetCellCursor(Qt::SizeHorCursor);
            m_mouseMode = MOUSE_OVER_COL_DIVIDE;
        }
        else if (m_allowRowResize && IsOverRowDivider(point))
        {
            SetCellCursor(Qt::SizeVerCursor);
            m_mouseMode = MOUSE_OVER_ROW_DIVIDE;
        }
    }

    if (m_mouseMode == MOUSE_OVER_COL_DIVIDE)
    {
        m_mouseMode = MOUSE_SIZING_COL;
        const int last = m_colCount - 1;
        const bool lastIsTiny = m_colWidths[static_cast<size_t>(last)] < m_resizeCaptureRange;
        Rect cells;
        GetVisibleScrollingRange(&cells);
        if (lastIsTiny && std::abs(point.x - cells.right) < m_resizeCaptureRange)
            m_pressCell.col = last;
        Point start;
        if (!GetCellOrigin(0, m_pressCell.col, &start))
        {
            m_mouseMode = MOUSE_NOTHING;
            return;
        }
        // Pressed just right of a divider: the column to its left is sized.
        if (point.x - start.x < m_resizeCaptureRange && !(m_pressCell.col == last && lastIsTiny) &&
            m_pressCell.col > 0)
        {
            if (!GetCellOrigin(0, m_pressCell.col - 1, &start))
            {
                m_mouseMode = MOUSE_NOTHING;
                return;
            }
            --m_pressCell.col;
        }
        MoveSizingBand(point.x);
    }
    else if (m_mouseMode == MOUSE_OVER_ROW_DIVIDE)
    {
        m_mouseMode = MOUSE_SIZING_ROW;
        Point start;
        if (!GetCellOrigin(m_pressCell.row, m_pressCell.col, &start))
        {
            m_mouseMode = MOUSE_NOTHING;
            return;
        }
        if (point.y - start.y < m_resizeCaptureRange && m_pressCell.row > 0)
        {
            if (!GetCellOrigin(m_pressCell.row - 1, m_pressCell.col, &start))
            {
                m_mouseMode = MOUSE_NOTHING;
                return;
            }
            --m_pressCell.row;
        }
        MoveSizingBand(point.y);
    }
    else
    {
        SendMessageToParent(m_pressCell.row, m_pressCell.col, Notify::GRIDN_SELCHANGING);
        m_addToSelection = HasCtrl(keys);
        if (m_pressCell.row < m_fixedRows)
        {
            OnFixedRowClick(m_pressCell);
        }
        else if (m_pressCell.col < m_fixedCols)
        {
            OnFixedColumnClick(m_pressCell);
        }
        else
        {
            m_mouseMode = m_listMode ? MOUSE_SELECT_ROW : MOUSE_SELECT_CELLS;
            ExtendSelectionTo(m_pressCell);
            m_autoScrollTimer.start(m_autoScrollInterval);
        }
    }
    m_lastMousePoint = point;
}

void CGridCtrl::OnFixedRowClick(CGridCellPos& cell)
{
    m_mouseMode = cell.col < m_fixedCols ? MOUSE_SELECT_ALL : MOUSE_SELECT_COL;
    ExtendSelectionTo(cell);
}

void CGridCtrl::OnFixedColumnClick(CGridCellPos& cell)
{
    if (!m_fixedColumnClickSelects)
        return;
    m_mouseMode = cell.row < m_fixedRows ? MOUSE_SELECT_ALL : MOUSE_SELECT_ROW;
    ExtendSelectionTo(cell);
}

void CGridCtrl::OnMouseMove(Qt::KeyboardModifiers, Qt::MouseButtons buttons, Point point)
{
    const Rect client = GetClientRect();
    if (!client.Contains(point))
        return;
    const bool buttonHeld = m_leftButtonDown && (buttons & Qt::LeftButton);

    if (buttonHeld && m_mouseMode != MOUSE_NOTHING && InRange(m_pressCell.row, m_pressCell.col))
    {
        switch (m_mouseMode)
        {
        case MOUSE_SELECT_COL:
        case MOUSE_SELECT_ROW:
        case MOUSE_SELECT_CELLS:
        {
            const CGridCellPos cell = GetCellFromPoint(point, true);
            CGridCellBase* c = GetCell(cell.row, cell.col);
            if (!c)
                break;
            c->OnMouseOver();
            if (cell != m_focusCell)
            {
                ExtendSelectionTo(cell);
                const bool fixed = cell.row < m_fixedRows || cell.col < m_fixedCols;
                if (!(m_mouseMode == MOUSE_SELECT_CELLS && fixed))
                    SetFocusCell(cell);
            }
            break;
        }
        case MOUSE_SIZING_COL:
        case MOUSE_SIZING_ROW:
        {
            // The band stays where the new size would put the divider.
            const bool column = m_mouseMode == MOUSE_SIZING_COL;
            Point start;
            if (GetCellOrigin(column ? 0 : m_pressCell.row, m_pressCell.col, &start))
            {
                const int from = column ? start.x : start.y;
                const int room =
                    column ? client.Width() - GetFixedColumnWidth() : client.Height() - GetFixedRowHeight();
                MoveSizingBand(std::clamp(column ? point.x : point.y, from, from + std::max(0, room)));
            }
            break;
        }
        case MOUSE_PREPARE_EDIT:
        case MOUSE_PREPARE_DRAG:
            m_mouseMode = MOUSE_PREPARE_DRAG;
            OnBeginDrag();
            break;
        default:
            break;
        }
        m_lastMousePoint = point;
        return;
    }

    if (m_allowColumnResize && IsOverColumnDivider(point))
    {
        m_mouseMode = MOUSE_OVER_COL_DIVIDE;
    }
    else if (m_allowRowResize && IsOverRowDivider(point))
    {
        m_mouseMode = MOUSE_OVER_ROW_DIVIDE;
    }
    else if (m_mouseMode != MOUSE_NOTHING)
    {
        m_mouseMode = MOUSE_NOTHING;
    }

    if (m_mouseMode == MOUSE_NOTHING)
    {
        const CGridCellPos cell = GetCellFromPoint(point, true);
        if (cell != m_mouseOverCell)
        {
            if (CGridCellBase* old = GetCell(m_mouseOverCell.row, m_mouseOverCell.col))
                old->OnMouseLeave();
            if (CGridCellBase* now = GetCell(cell.row, cell.col))
                now->OnMouseEnter();
            m_mouseOverCell = cell;
        }
        CGridCellBase* c = GetCell(cell.row, cell.col);
        if (c)
            c->OnMouseOver();
        UpdateTipFor(c, cell, point);
    }
    OnSetCursor(point);
    m_lastMousePoint = point;
}

void CGridCtrl::UpdateTipFor(CGridCellBase* cell, CGridCellPos pos, Point point)
{
    if (!m_tip)
        return;
    Rect zone;
    QString title;
    QString text;
    const Point relative = PointInCell(pos, point);
    if (cell && cell->GetTipZoneAt(relative, &zone, &title, &text))
    {
        zone.Offset(point.x - relative.x, point.y - relative.y);
        // Only a new zone or new words replace the tool: re-adding it would start the
        // tip's delay again under a resting mouse.
        if (zone == m_tipRect && title == m_tipTitle && text == m_tipText)
            return;
        m_tip->SetTitle(title, BalloonTip::TTI_INFO);
        if (m_tip->HasTool())
        {
            m_tip->Pop();
            m_tip->DelTool();
        }
        m_tip->SetAutoPopDelay(kToolTipAutoPop);
        m_tip->SetInitialDelay(kToolTipInitial);
        m_tip->AddTool(zone, text);
        m_tip->SetMaxTipWidth(kToolTipWidth);
        m_tip->Activate(true);
        m_tipRect = zone;
        m_tipTitle = title;
        m_tipText = text;
    }
    else if (m_tip->HasTool())
    {
        HideTip();
        m_tip->DelTool();
    }
}

void CGridCtrl::HideTip()
{
    m_tipRect = {};
    m_tipTitle.clear();
    m_tipText.clear();
    if (m_tip)
        m_tip->Pop();
}

void CGridCtrl::OnLButtonUp(Qt::KeyboardModifiers, Point point)
{
    m_leftButtonDown = false;
    m_autoScrollTimer.stop();
    // A flag set for one selection step that found none must not reach the next.
    m_addToSelection = false;

    const Point relative = PointInCell(m_focusCell, point);
    switch (m_mouseMode)
    {
    case MOUSE_PREPARE_EDIT:
        OnEditCell(m_focusCell.row, m_focusCell.col, relative, VK_LBUTTON);
        break;
    case MOUSE_PREPARE_DRAG:
        if (CGridCellBase* cell = GetCell(m_focusCell.row, m_focusCell.col))
            cell->OnClick(relative);
        SendMessageToParent(m_pressCell.row, m_pressCell.col, Notify::NM_CLICK);
        SendMessageToParent(m_pressCell.row, m_pressCell.col, Notify::GRIDN_SELCHANGING);
        SetSelectedRange(-1, -1, -1, -1);
        SetFocusCell({-1, -1});
        SendMessageToParent(-1, -1, Notify::GRIDN_SELCHANGED);
        break;
    case MOUSE_SIZING_COL:
    case MOUSE_SIZING_ROW:
    {
        const bool column = m_mouseMode == MOUSE_SIZING_COL;
        MoveSizingBand(-1);
        Point start;
        const bool moved = !(point == m_pressPoint) && !(point == Point{0, 0});
        if (moved && GetCellOrigin(column ? 0 : m_pressCell.row, m_pressCell.col, &start))
        {
            // Without a clipped cursor the size is clamped instead: from 0 (hidden) up to
            // what the scrolling area can show.
            const Rect client = GetClientRect();
            if (column)
            {
                const int room = std::max(0, client.Width() - GetFixedColumnWidth());
                SetColumnWidth(m_pressCell.col, std::clamp(point.x - start.x, 0, room));
            }
            else
            {
                const int room = std::max(0, client.Height() - GetFixedRowHeight());
                SetRowHeight(m_pressCell.row, std::clamp(point.y - start.y, 0, room));
            }
            UpdateScrollBars();
            InvalidateAll();
        }
        break;
    }
    default:
        if (CGridCellBase* cell = GetCell(m_focusCell.row, m_focusCell.col))
            cell->OnClick(relative);
        SendMessageToParent(m_focusCell.row, m_focusCell.col, Notify::GRIDN_SELCHANGED);
        SendMessageToParent(m_pressCell.row, m_pressCell.col, Notify::NM_CLICK);
        break;
    }

    m_mouseMode = MOUSE_NOTHING;
    SetCellCursor(Qt::ArrowCursor);
    if (InRange(m_pressCell.row, m_pressCell.col) && m_created)
    {
        QMetaObject::invokeMethod(
            this,
            [this]
            {
                IGridNotifyTarget* target =
                    m_owner ? m_owner : dynamic_cast<IGridNotifyTarget*>(parentWidget());
                if (target)
                    target->OnGridCommand(this, m_id);
            },
            Qt::QueuedConnection);
    }
}

void CGridCtrl::OnLButtonDblClk(Qt::KeyboardModifiers, Point point)
{
    CGridCellPos cell = GetCellFromPoint(point, true);
    if (!InRange(cell.row, cell.col))
        return;

    if (m_mouseMode == MOUSE_OVER_COL_DIVIDE)
    {
        Point start;
        if (!GetCellOrigin(0, cell.col, &start))
            return;
        if (point.x - start.x < m_resizeCaptureRange)
            --cell.col;
        while (cell.col >= 0 && GetColumnWidth(cell.col, cell.row) <= 0)
            --cell.col;
        if (cell.col < 0)
            return;
        AutoSizeColumn(cell.col, 3);
        InvalidateAll();
    }
    else if (m_mouseMode == MOUSE_OVER_ROW_DIVIDE)
    {
        Point start;
        if (!GetCellOrigin(cell.row, cell.col, &start))
            return;
        if (point.y - start.y < m_resizeCaptureRange)
            --cell.row;
        while (cell.row >= 0 && GetRowHeight(cell.row) <= 0)
            --cell.row;
        if (cell.row < 0)
            return;
        AutoSizeRow(cell.row);
        InvalidateAll();
    }
    else if (m_mouseMode == MOUSE_NOTHING)
    {
        const Point relative = PointInCell(cell, point);
        const bool inText = IsPointInTextRect(cell, point);
        if (IsScrollingCell(cell) && inText && (InRange(m_pressCell.row, m_pressCell.col) || m_listMode))
            OnEditCell(cell.row, cell.col, relative, VK_LBUTTON);
        if (CGridCellBase* c = GetCell(cell.row, cell.col))
            c->OnDblClick(relative);
        SendMessageToParent(cell.row, cell.col, Notify::NM_DBLCLK);
    }
}

// ---------------------------------------------------------------------------------------
// Right button and wheel

void CGridCtrl::OnRButtonDown(Point point)
{
    const CGridCellPos cell = GetCellFromPoint(point, true);
    if (!InRange(cell.row, cell.col))
    {
        SendMessageToParent(-1, -1, Notify::NM_RCLICK);
        return;
    }
    SetFocusCell({-1, -1});
    SetFocusCell({std::max(cell.row, m_fixedRows), std::max(cell.col, m_fixedCols)});
    if (CGridCellBase* c = GetCell(cell.row, cell.col))
        c->OnRClickDown(PointInCell(cell, point));
    SendMessageToParent(cell.row, cell.col, Notify::NM_RCLICK);
}

void CGridCtrl::OnRButtonUp(Point point)
{
    const CGridCellPos cell = GetCellFromPoint(point, true);
    m_contextMenuPos = viewport()->mapToGlobal(QPoint(point.x, point.y));
    EndEditing();
    if (!InRange(cell.row, cell.col))
    {
        SendMessageToParent(-1, -1, Notify::NM_RCLICK);
        return;
    }
    SetFocusCell({-1, -1});
    SetFocusCell({std::max(cell.row, m_fixedRows), std::max(cell.col, m_fixedCols)});
    if (CGridCellBase* c = GetCell(cell.row, cell.col))
        c->OnRClick(PointInCell(cell, point));
    SendMessageToParent(cell.row, cell.col, Notify::NM_RCLICK);
}

bool CGridCtrl::OnMouseWheel(int delta, Point point)
{
    const CGridCellPos cell = GetCellFromPoint(point, true);
    if (CGridCellBase* c = GetCell(cell.row, cell.col); c && !c->OnMouseWheel(cell.row, cell.col, delta))
        return false;
    // A high-resolution wheel or a touchpad turns in small steps: what does not make a
    // whole line or page yet is kept for the next turn in the same direction.
    if ((m_wheelRemainder > 0 && delta < 0) || (m_wheelRemainder < 0 && delta > 0))
        m_wheelRemainder = 0;
    const bool pages = m_wheelScrollLines == -1;
    m_wheelRemainder += pages ? delta : m_wheelScrollLines * delta;
    const int n = m_wheelRemainder / 120;
    m_wheelRemainder -= n * 120;
    if (n > 0)
        PostScrollRequests(SB_VERT, pages ? SB_PAGEUP : SB_LINEUP, n);
    else if (n < 0)
        PostScrollRequests(SB_VERT, pages ? SB_PAGEDOWN : SB_LINEDOWN, -n);
    return true;
}

void CGridCtrl::OnAutoScrollTimer()
{
    // The capture is gone when the button came up or another window took the mouse.
    const QWidget* popup = QApplication::activePopupWidget();
    const QWidget* modal = QApplication::activeModalWidget();
    if (!m_leftButtonDown || (popup && popup != window()) || (modal && modal != window()))
    {
        m_autoScrollTimer.stop();
        return;
    }
    const Qt::KeyboardModifiers keys = QGuiApplication::keyboardModifiers();
    const QPoint cursor = viewport()->mapFromGlobal(QCursor::pos());
    const Point origin{cursor.x(), cursor.y()};
    const Rect client = GetClientRect();
    const int fixedH = GetFixedRowHeight();
    const int fixedW = GetFixedColumnWidth();

    Point pt = origin;
    if (pt.y > client.bottom || pt.y < fixedH)
    {
        const bool down = pt.y > client.bottom;
        OnKeyDown(down ? VK_DOWN : VK_UP, keys);
        pt.x = std::clamp(pt.x, client.left, client.right);
        pt.y = down ? client.bottom : fixedH + 1;
        ExtendSelectionTo(GetCellFromPoint(pt, true));
    }
    pt = origin;
    if (pt.x > client.right || pt.x < fixedW)
    {
        const bool right = pt.x > client.right;
        OnKeyDown(right ? VK_RIGHT : VK_LEFT, keys);
        pt.y = std::clamp(pt.y, client.top, client.bottom);
        pt.x = right ? client.right : fixedW + 1;
        ExtendSelectionTo(GetCellFromPoint(pt, true));
    }
}

void CGridCtrl::OnSetCursor(Point point)
{
    if (m_mouseMode == MOUSE_OVER_ROW_DIVIDE)
    {
        SetCellCursor(Qt::SizeVerCursor);
        return;
    }
    if (m_mouseMode == MOUSE_OVER_COL_DIVIDE)
    {
        SetCellCursor(Qt::SizeHorCursor);
        return;
    }
    const CGridCellPos cell = GetCellFromPoint(point, true);
    if (CGridCellBase* c = GetCell(cell.row, cell.col))
        c->OnSetCursor();
    else
        SetCellCursor(Qt::ArrowCursor);
}

// ---------------------------------------------------------------------------------------
// Keyboard

bool CGridCtrl::OnKeyDown(int key, Qt::KeyboardModifiers keys)
{
    const bool ctrl = HasCtrl(keys);
    const bool shift = HasShift(keys);
    if (ctrl && key == 'S')
    {
        SendMessageToParent(0x53, 2, Notify::GRIDN_KEYCOMMAND);
        return true;
    }
    if (!m_focusCell.IsValid())
        return false;
    if (key == VK_SPACE)
    {
        SendMessageToParent(VK_SPACE, 1, Notify::GRIDN_KEYCOMMAND);
        return true;
    }
    if (ctrl && key == 'A')
    {
        OnEditSelectAll();
        return true;
    }
    if (ctrl && key == 'C')
    {
        OnEditCopy();
        return true;
    }

    CGridCellPos next = m_focusCell;
    bool changeLine = false;
    bool horizontal = false;
    bool vertical = false;
    const int row = m_focusCell.row;
    switch (key)
    {
    case VK_RETURN:
        SendMessageToParent(VK_RETURN, 1, Notify::GRIDN_KEYCOMMAND);
        return true;
    case VK_DELETE:
        SendMessageToParent(VK_DELETE, 1, Notify::GRIDN_KEYCOMMAND);
        return true;
    case VK_F2:
        OnEditCell(m_focusCell.row, m_focusCell.col, {-1, -1}, VK_LBUTTON);
        return true;
    case VK_DOWN:
        for (int r = next.row + 1; r < m_rowCount; ++r)
        {
            if (GetRowHeight(r) > 0)
            {
                next.row = r;
                break;
            }
        }
        break;
    case VK_UP:
        for (int r = next.row - 1; r >= m_fixedRows; --r)
        {
            if (GetRowHeight(r) > 0)
            {
                next.row = r;
                break;
            }
        }
        break;
    case VK_RIGHT:
    case VK_TAB:
    case VK_LEFT:
    {
        const bool forward = key == VK_RIGHT || (key == VK_TAB && !shift);
        bool found = false;
        if (forward)
        {
            for (int c = next.col + 1; c < m_colCount && !found; ++c)
                if (GetColumnWidth(c, row) > 0)
                {
                    next.col = c;
                    found = true;
                }
        }
        else
        {
            for (int c = next.col - 1; c >= m_fixedCols && !found; --c)
                if (GetColumnWidth(c, row) > 0)
                {
                    next.col = c;
                    found = true;
                }
        }
        if (key == VK_TAB && !found)
        {
            // Tab runs on into the next (Shift+Tab the previous) visible row.
            if (forward)
            {
                for (int r = row + 1; r < m_rowCount; ++r)
                    if (GetRowHeight(r) > 0)
                    {
                        next = {r, m_fixedCols};
                        changeLine = true;
                        break;
                    }
            }
            else
            {
                for (int r = row - 1; r >= m_fixedRows; --r)
                    if (GetRowHeight(r) > 0)
                    {
                        next = {r, m_colCount - 1};
                        changeLine = true;
                        break;
                    }
            }
        }
        break;
    }
    case VK_NEXT:
    case VK_PRIOR:
    {
        const bool down = key == VK_NEXT;
        const CGridCellPos before = GetTopLeftScrollingCell();
        OnVScroll(down ? SB_PAGEDOWN : SB_PAGEUP);
        vertical = true;
        const int moved = GetTopLeftScrollingCell().row - before.row;
        if (moved != 0)
            next.row = std::clamp(next.row + moved, m_fixedRows, m_rowCount - 1);
        else
            next.row = down ? m_rowCount - 1 : m_fixedRows;
        next.row = ShownRowNear(next.row, !down);
        break;
    }
    case VK_HOME:
        OnHScroll(SB_LEFT);
        horizontal = true;
        if (ctrl)
        {
            OnVScroll(SB_TOP);
            vertical = true;
            next.row = m_fixedRows;
        }
        next.col = m_fixedCols;
        while (next.col < m_colCount - 1 && GetColumnWidth(next.col) < 1)
            ++next.col;
        next.row = ShownRowNear(next.row, false);
        break;
    case VK_END:
        OnHScroll(SB_RIGHT);
        horizontal = true;
        if (ctrl)
        {
            OnVScroll(SB_BOTTOM);
            vertical = true;
            next.row = m_rowCount - 1;
        }
        next.col = m_colCount - 1;
        while (next.col > m_fixedCols && GetColumnWidth(next.col) < 1)
            --next.col;
        next.row = ShownRowNear(next.row, true);
        break;
    default:
        return false;
    }

    if (next == m_focusCell)
        return true;

    // Ctrl with an arrow moves the focus alone, as in a list view, so that Space can add
    // cells that are not next to each other.
    const bool focusOnly = ctrl && (key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT);
    if (m_mouseMode == MOUSE_NOTHING && !focusOnly)
    {
        m_mouseMode = m_listMode ? MOUSE_SELECT_ROW : MOUSE_SELECT_CELLS;
        if (!shift || key == VK_TAB)
            m_selectionAnchor = next;
        SendMessageToParent(next.row, next.col, Notify::GRIDN_SELCHANGING);
        ExtendSelectionTo(next);
        SendMessageToParent(next.row, next.col, Notify::GRIDN_SELCHANGED);
        m_mouseMode = MOUSE_NOTHING;
    }

    SetFocusCell(next);
    if (!IsCellOnScreen(next.row, next.col))
    {
        switch (key)
        {
        case VK_RIGHT:
        case VK_LEFT:
            OnHScroll(key == VK_RIGHT ? SB_LINERIGHT : SB_LINELEFT);
            horizontal = true;
            break;
        case VK_DOWN:
        case VK_UP:
            OnVScroll(key == VK_DOWN ? SB_LINEDOWN : SB_LINEUP);
            vertical = true;
            break;
        case VK_TAB:
            if (changeLine)
            {
                OnVScroll(shift ? SB_LINEUP : SB_LINEDOWN);
                SetScrollPosition(SB_HORZ, shift ? m_hScrollMax : 0);
                vertical = true;
            }
            else
            {
                OnHScroll(shift ? SB_LINELEFT : SB_LINERIGHT);
                horizontal = true;
            }
            break;
        default:
            break;
        }
        EnsureVisible(next.row, next.col);
        InvalidateAll();
    }
    EnsureVisible(next.row, next.col);
    if (horizontal)
        OnHScroll(SB_ENDSCROLL);
    if (vertical)
        OnVScroll(SB_ENDSCROLL);
    return true;
}

bool CGridCtrl::OnChar(int character, Qt::KeyboardModifiers keys)
{
    if (HasCtrl(keys) || m_mouseMode != MOUSE_NOTHING || character == VK_ESCAPE || character == VK_TAB)
        return false;
    OnEditCell(m_focusCell.row, m_focusCell.col, {-1, -1}, character);
    return true;
}

void CGridCtrl::OnImeChar(int character)
{
    if (HasCtrl(QGuiApplication::keyboardModifiers()) || m_mouseMode != MOUSE_NOTHING ||
        character == VK_ESCAPE)
        return;
    OnEditCell(m_focusCell.row, m_focusCell.col, {-1, -1}, character);
}

// ---------------------------------------------------------------------------------------
// In-place editing

void CGridCtrl::OnEditCell(int row, int col, Point point, int key)
{
    CGridCellBase* cell = GetCell(row, col);
    if (!cell || cell->IsReadOnly())
        return;
    EnsureVisible(row, col);
    if (!IsCellOnScreen(row, col))
        return;
    Rect rect;
    if (!GetCellRect(row, col, &rect))
        return;
    if (SendMessageToParent(row, col, Notify::GRIDN_BEGINLABELEDIT) < 0)
        return;
    if ((cell = GetCell(row, col)))
        cell->Edit(row, col, rect, point, IDC_INPLACE_EDITOR, key);
}

void CGridCtrl::EditCell(int row, int col, bool selectAll)
{
    OnEditCell(row, col, {-1, -1}, VK_LBUTTON);
    if (!selectAll)
        return;
    const CGridCellBase* cell = GetCell(row, col);
    if (!cell || !cell->IsEditing())
        return;
    if (auto* editor = qobject_cast<CInPlaceEdit*>(cell->GetEditWnd()))
    {
        editor->setSelection(0, std::min<int>(1000, static_cast<int>(editor->text().size())));
    }
}

void CGridCtrl::EndEditing()
{
    // Every open editor, not only the focus cell's: the focus may have moved on from the
    // cell an editor is over.
    EndEditsBesides({-1, -1});
}

void CGridCtrl::EndEditsBesides(CGridCellPos keep)
{
    for (CInPlaceEdit* editor : viewport()->findChildren<CInPlaceEdit*>())
    {
        if (editor->GetRow() == keep.row && editor->GetColumn() == keep.col)
            continue;
        // A closing editor with the keyboard focus would hand it to the next widget of the
        // window; the grid takes it back, which ends the edit on the way.
        if (editor->hasFocus())
            setFocus(Qt::OtherFocusReason);
        editor->EndEdit();
    }
}

void CGridCtrl::CancelEditing(int fromRow)
{
    // The editors report nothing: after the rows change, their row numbers name other cells.
    for (CInPlaceEdit* editor : viewport()->findChildren<CInPlaceEdit*>())
    {
        if (editor->GetRow() < fromRow)
            continue;
        CGridCellBase* cell = GetCell(editor->GetRow(), editor->GetColumn());
        editor->Detach();
        editor->EndEdit();
        if (cell && cell->GetEditWnd() == editor)
            cell->OnEndEdit();
    }
}

bool CGridCtrl::ValidateEdit(int row, int col, const QString& text)
{
    CGridCellBase* cell = GetCell(row, col);
    return cell ? cell->ValidateEdit(text) : true;
}

intptr_t CGridCtrl::OnInPlaceEditEnded(const GRIDDISPINFO& info)
{
    if (!m_created || info.idFrom != IDC_INPLACE_EDITOR)
        return 0;
    OnEndEditCell(info.item.row, info.item.col, info.item.strText);
    const int key = static_cast<int>(info.item.lParam);
    if (key == VK_TAB || (key >= VK_PRIOR && key <= VK_DOWN))
    {
        // Editing goes on in the cell the key moves to.
        OnKeyDown(key, QGuiApplication::keyboardModifiers());
        OnEditCell(m_focusCell.row, m_focusCell.col, {-1, -1}, key);
    }
    return 0;
}

void CGridCtrl::OnEndEditCell(int row, int col, const QString& text)
{
    CGridCellBase* cell = GetCell(row, col);
    if (!cell)
        return;
    const QString old = cell->GetText();
    if (text != old)
    {
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
    else
    {
        SendMessageToParent(row, col, Notify::GRIDN_EDITUNCHANGED);
    }
    // The owner's handlers may have changed the grid.
    if ((cell = GetCell(row, col)))
        cell->OnEndEdit();
}

// ---------------------------------------------------------------------------------------
// Qt's events, translated

bool CGridCtrl::event(QEvent* event)
{
    switch (event->type())
    {
    case QEvent::KeyPress:
    {
        auto* key = static_cast<QKeyEvent*>(event);
        // The grid wants Tab, except with Ctrl (or Alt), which belong to the window
        // around it.
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (tab && (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            return QAbstractScrollArea::event(event);
        if (Platform::IsContextMenuKey(*key))
        {
            // The menu goes to the focus cell, wherever the event says.
            Platform::SendKeyboardContextMenu(this, viewport()->geometry().topLeft());
            return true;
        }
        HandleKeyPress(key);
        return true;
    }
    case QEvent::InputMethod:
    {
        auto* input = static_cast<QInputMethodEvent*>(event);
        for (const QChar c : input->commitString())
            OnImeChar(c.unicode());
        event->accept();
        return true;
    }
    default:
        return QAbstractScrollArea::event(event);
    }
}

void CGridCtrl::HandleKeyPress(QKeyEvent* event)
{
    const KeyStroke stroke = TranslateKeyPress(*event);
    if (stroke.system)
    {
        event->ignore();
        return;
    }
    // Shift+Tab may come as Backtab alone.
    Qt::KeyboardModifiers keys = event->modifiers();
    if (event->key() == Qt::Key_Backtab)
        keys |= Qt::ShiftModifier;
    const bool save = stroke.virtualKey == 'S' && (keys & Qt::ControlModifier);
    if (stroke.virtualKey != 0 && !save && !m_focusCell.IsValid() && TakeFirstFocusCell(true))
    {
        // The first key only brings the focus cell; it does nothing else.
        event->accept();
        return;
    }
    bool used = false;
    if (stroke.virtualKey != 0)
        used = OnKeyDown(stroke.virtualKey, keys);
    // Tab is the grid's whatever it did with it: it must not move the focus away.
    used = used || stroke.virtualKey == VK_TAB;
    for (const QChar c : stroke.characters)
        used = OnChar(c.unicode(), keys) || used;
    event->setAccepted(used);
}

void CGridCtrl::HandleMouseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    const Point point{p.x(), p.y()};
    const Qt::KeyboardModifiers keys = event->modifiers();
    switch (event->type())
    {
    case QEvent::MouseButtonPress:
        if (event->button() == Qt::LeftButton)
            OnLButtonDown(keys, point);
        else if (event->button() == Qt::RightButton)
            OnRButtonDown(point);
        break;
    case QEvent::MouseButtonRelease:
        if (event->button() == Qt::LeftButton)
        {
            OnLButtonUp(keys, point);
            // Releasing the mouse capture is followed by a mouse move, so that a divider
            // under the mouse is found again before a double click.
            OnMouseMove(keys, event->buttons(), point);
        }
        else if (event->button() == Qt::RightButton)
        {
            OnRButtonUp(point);
        }
        break;
    case QEvent::MouseButtonDblClick:
        // Qt sends the double click in place of the second press, as the handlers expect;
        // a right double click does nothing.
        if (event->button() == Qt::LeftButton)
            OnLButtonDblClk(keys, point);
        break;
    case QEvent::MouseMove:
        OnMouseMove(keys, event->buttons(), point);
        break;
    default:
        break;
    }
    event->accept();
}

void CGridCtrl::HandleWheel(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    const QPoint p = event->position().toPoint();
    if (delta != 0 && OnMouseWheel(delta, {p.x(), p.y()}))
        event->accept();
    else
        event->ignore();
}

bool CGridCtrl::viewportEvent(QEvent* event)
{
    switch (event->type())
    {
    case QEvent::Resize:
    {
        const bool handled = QAbstractScrollArea::viewportEvent(event);
        UpdateScrollBars();
        return handled;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        if (m_tip)
            m_tip->RelayEvent(event);
        HandleMouseEvent(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::Wheel:
        if (m_tip)
            m_tip->RelayEvent(event);
        HandleWheel(static_cast<QWheelEvent*>(event));
        return true;
    case QEvent::Leave:
        if (m_tip)
            m_tip->RelayEvent(event);
        return QAbstractScrollArea::viewportEvent(event);
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    {
        // The grid stays the drag's target, so nothing behind it takes the drop, and
        // answers every position with no drop; except for files, which the window around
        // the grid takes wherever they are dropped: their drag goes on to it untouched.
        auto* drop = static_cast<QDropEvent*>(event);
        if (drop->mimeData() && drop->mimeData()->hasUrls())
            return false;
        const QPoint p = drop->position().toPoint();
        const Point point{p.x(), p.y()};
        const Qt::KeyboardModifiers keys = drop->modifiers();
        int effect = DROPEFFECT_NONE;
        if (event->type() == QEvent::DragEnter)
        {
            effect = m_dropTarget.OnDragEnter(this, keys, point);
        }
        else if (event->type() == QEvent::DragMove)
        {
            effect = m_dropTarget.OnDragScroll(this, keys, point);
            if (!(effect & DROPEFFECT_SCROLL))
                effect = m_dropTarget.OnDragOver(this, keys, point);
        }
        else
        {
            effect = m_dropTarget.OnDrop(this, keys, point);
        }
        const Qt::DropAction action = (effect & DROPEFFECT_COPY)   ? Qt::CopyAction
                                      : (effect & DROPEFFECT_MOVE) ? Qt::MoveAction
                                      : (effect & DROPEFFECT_LINK) ? Qt::LinkAction
                                                                   : Qt::IgnoreAction;
        drop->setDropAction(action);
        if (event->type() == QEvent::DragEnter)
            drop->accept();
        else
            drop->setAccepted(action != Qt::IgnoreAction);
        return true;
    }
    case QEvent::DragLeave:
        m_dropTarget.OnDragLeave(this);
        return true;
    default:
        return QAbstractScrollArea::viewportEvent(event);
    }
}
