// The series page's commands, keys and grid notifications: select, delete, copy, cut,
// paste, rename, sorting by a header click, opening a series by its gripper and keeping
// the two rows of a series selected together.
#include "seriesview/TabGrid.h"

#include "document/VeskDoc.h"
#include "grid/GridCtrl.h"
#include "measurement/MeasSeriesWrapper.h"
#include "platform/core/FileException.h"
#include "platform/core/StringTable.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/WaitCursor.h"
#include "resources/StringIds.h"
#include "seriesview/GridCellDetailGripper.h"
#include "seriesview/GridCellDetailLeft.h"
#include "seriesview/GridCellSeries.h"
#include "seriesview/SeriesMessages.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

namespace
{
// Virtual key of the Delete key in the grid's key-command notification.
constexpr int kKeyDelete = 0x2E;

// The copy, paste and cut letters with Ctrl: the page's own commands.
uint32_t CommandOfKey(const QKeyEvent& key)
{
    if ((key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != Qt::ControlModifier)
        return 0;
    switch (key.key())
    {
    case Qt::Key_C:
        return WM_CMD_COPY;
    case Qt::Key_V:
        return WM_CMD_PASTE;
    case Qt::Key_X:
        return WM_CMD_CUT;
    default:
        return 0;
    }
}
} // namespace

// ---------------------------------------------------------------------------------------
// Messages

intptr_t CTabGrid::OnCommandMessage(uint32_t message)
{
    switch (message)
    {
    case WM_CMD_SELECT_ALL:
        OnSelectAll();
        return 1;
    case WM_CMD_DELETE:
        DeleteSelected(false);
        return 1;
    case WM_CMD_CAN_DELETE:
    case WM_CMD_CAN_COPY:
        return m_grid->GetSelectedCount() > 0 ? 1 : 0;
    case WM_CMD_CAN_SELECT_ALL:
        return m_doc && m_doc->HasFolders() ? 1 : 0;
    case WM_CMD_COPY:
        OnCopy();
        return 1;
    case WM_CMD_CUT:
        OnCut();
        return 1;
    case WM_CMD_PASTE:
        OnPaste();
        return 1;
    case WM_CMD_RENAME:
        OnRename();
        return 1;
    case WM_CMD_NEW_FOLDER:
        OnNewFolder();
        return 1;
    case WM_CMD_PRINT:
    case WM_CMD_EXPORT_GRAPHIC:
    case WM_CMD_EXPORT_TEXT:
        return m_services.output ? m_services.output(message, *this) : 0;
    default:
        return 0;
    }
}

void CTabGrid::OnDocCommand(uint32_t message)
{
    OnCommandMessage(message);
}

void CTabGrid::PostCommand(uint32_t message)
{
    QTimer::singleShot(0, this, [this, message] { OnCommandMessage(message); });
}

intptr_t CTabGrid::OnGridNotify(const GRIDNOTIFY& notify)
{
    switch (notify.code)
    {
    case Notify::NM_CLICK:
        OnGridClick(notify.row, notify.column);
        break;
    case Notify::NM_RCLICK:
        // The grid tells of the press and of the release; the popups answer the release.
        if (!m_rightButtonDown)
            OnGridRClick(notify.row, notify.column);
        break;
    case Notify::GRIDN_SELCHANGING:
        UpdateStatusCounts(false);
        break;
    case Notify::GRIDN_SELCHANGED:
        OnGridSelChanged(notify.row, notify.column);
        break;
    case Notify::GRIDN_FOCUSCHANGED:
    {
        // The document hears of it once the grid has finished moving the focus.
        const int index = (notify.row - 1) / 2;
        QTimer::singleShot(0, this,
                           [this, index]
                           {
                               if (m_doc)
                                   m_doc->SetSelectedIndex(index);
                           });
        break;
    }
    case Notify::GRIDN_KEYCOMMAND:
        if (notify.row == kKeyDelete)
            // After the key: the rebuild must not pull the rows from under the grid's
            // own key handling.
            QTimer::singleShot(0, this, [this] { DeleteSelected(false); });
        break;
    case Notify::GRIDN_ENDLABELEDIT:
        if (m_doc && IsSummaryRow(notify.row) && notify.column == COL_NAME &&
            SeriesOfRow(notify.row) < m_doc->GetSeriesCount())
        {
            // The document keeps the name; the page shows it anew itself.
            const bool renamed =
                m_doc->SetSeriesName(SeriesOfRow(notify.row), m_grid->GetItemText(notify.row, notify.column));
            UpdateRows(SeriesOfRow(notify.row));
            if (!renamed)
                Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_SERIES_NAME_EMPTY),
                                         Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
        }
        break;
    default:
        break;
    }
    return 0;
}

bool CTabGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_grid->viewport())
    {
        if (event->type() == QEvent::MouseButtonPress &&
            static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
            m_rightButtonDown = true;
        else if (event->type() == QEvent::MouseButtonRelease &&
                 static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
            m_rightButtonDown = false;
        return false;
    }
    if (watched != m_grid)
        return false;
    if (event->type() == QEvent::ShortcutOverride)
    {
        // The page's keys win over the main window's shortcuts while the grid has the
        // keyboard; an open name editor is a window of its own and keeps its keys.
        auto* key = static_cast<QKeyEvent*>(event);
        if (CommandOfKey(*key) != 0)
        {
            event->accept();
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::KeyPress)
    {
        auto* key = static_cast<QKeyEvent*>(event);
        if (const uint32_t message = CommandOfKey(*key))
        {
            PostCommand(message);
            return true;
        }
        if (key->key() == Qt::Key_F2 && key->modifiers() == Qt::NoModifier)
        {
            OnRename();
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------
// Clicks and the selection

void CTabGrid::OnGridClick(int row, int col)
{
    if (row == 0)
    {
        if (col >= 0 && m_doc && m_doc->GetSeriesCount() > 0)
            SortByColumn(col);
        return;
    }
    if (col == COL_GRIPPER && IsSummaryRow(row))
        ToggleFromGripper(row);
}

void CTabGrid::ToggleFromGripper(int row)
{
    auto* cell = dynamic_cast<CGridCellSeries*>(m_grid->GetCell(row + 1, COL_NAME));
    auto* gripper = dynamic_cast<CGridCellDetailGripper*>(m_grid->GetCell(row, COL_GRIPPER));
    if (!cell || !gripper)
        return;
    // The gripper has already toggled on the click.
    const bool open = gripper->IsExpanded();
    if (open)
        cell->Expand(false);
    else
        cell->Collapse(false);
    m_doc->SetSeriesExpanded(SeriesOfRow(row), open);
}

void CTabGrid::OnGridSelChanged(int row, int col)
{
    UpdateStatusCounts(true);
    if (!m_grid->GetCell(row, col) || row < 1 || m_grid->GetRowCount() <= 1)
        return;
    // The two rows of a series are selected together.
    if (IsSummaryRow(row))
    {
        if (!m_grid->IsCellSelected(row + 1, col))
            m_grid->SelectRows({row + 1, col}, false, true, true);
        return;
    }
    if (!m_grid->IsCellSelected(row - 1, col))
        m_grid->SelectRows({row - 1, col}, false, true, true);
    if (m_grid->GetFocusCell().row == row)
        m_grid->SetFocusCell({row - 1, col});
    UpdateStatusCounts(true);
}

void CTabGrid::SortByColumn(int col)
{
    // Sort orders (ascending, descending) of each column; 1 and 2 sort by the selection.
    static constexpr int kAscending[kColumnCount] = {1, 5, 3, 7, 9, 11, 13, 15, 17};
    if (col < 0 || col >= kColumnCount)
        return;
    const Platform::WaitCursor wait;
    const int rows = m_grid->GetRowCount();
    StoreSelection();
    const int ascending = kAscending[col];
    const int order = m_doc->GetSortOrder() == ascending ? ascending + 1 : ascending;
    m_doc->SortSeries(order, this);

    m_grid->SetSortColumn(col);
    m_grid->SetSortAscending(true);
    m_grid->SortItems(&CTabGrid::CompareRows, COL_GRIPPER, true, 0);
    for (int i = 0; 2 * i + 2 < rows; ++i)
        if (auto* cell = dynamic_cast<CGridCellSeries*>(m_grid->GetCell(2 * i + 2, COL_NAME)))
            cell->SetSeries(m_doc, i);
    ShowSortArrow();
    update();
}

int CTabGrid::CompareRows(CGridCellBase* a, CGridCellBase* b, intptr_t)
{
    if (!a || !b)
        return 0;
    const auto* entryA = reinterpret_cast<const CMeasSeriesWrapper*>(a->GetData());
    const auto* entryB = reinterpret_cast<const CMeasSeriesWrapper*>(b->GetData());
    if (!entryA || !entryB)
        return 0;
    if (entryA != entryB)
    {
        const int32_t pa = entryA->GetPosition();
        const int32_t pb = entryB->GetPosition();
        return pa > pb ? 1 : (pa < pb ? -1 : 0);
    }
    auto isDetail = [](CGridCellBase* cell)
    { return dynamic_cast<CGridCellDetailLeft*>(cell) || dynamic_cast<CGridCellSeries*>(cell); };
    const bool detailA = isDetail(a);
    const bool detailB = isDetail(b);
    if (detailA == detailB)
        return 0;
    return detailA ? 1 : -1;
}

// ---------------------------------------------------------------------------------------
// Edit commands

void CTabGrid::StoreSelection()
{
    const int rows = m_grid->GetRowCount();
    for (int row = 1; row + 1 < rows && SeriesOfRow(row) < m_doc->GetSeriesCount(); row += 2)
        m_doc->SetSeriesSelected(SeriesOfRow(row), m_grid->IsCellSelected(row, COL_NAME) ||
                                                       m_grid->IsCellSelected(row + 1, COL_NAME));
}

void CTabGrid::OnSelectAll()
{
    const Platform::WaitCursor wait;
    m_grid->SelectAllCells();
}

void CTabGrid::DeleteSelected(bool withoutQuestion)
{
    if (!m_doc)
        return;
    std::vector<int> marked;
    {
        const Platform::WaitCursor wait;
        for (int row = 1; row < m_grid->GetRowCount(); row += 2)
            if (IsSelectedOrFocused(row, COL_COUNT))
                marked.push_back(SeriesOfRow(row));
    }
    if (!marked.empty() &&
        (withoutQuestion ||
         Platform::ShowMessageBox(this, Platform::LoadString(StringId::IDS_ASK_DELETE_SERIES), QString(),
                                  Platform::MB_YESNOCANCEL | Platform::MB_ICONQUESTION) == Platform::IDYES))
    {
        const Platform::WaitCursor wait;
        const int scroll = m_grid->GetScrollPosition(SB_VERT);
        // The series that stay keep their selection through the rebuild.
        StoreSelection();
        // The document tells the page at once, and the page rebuilds its rows before any
        // paint or click could reach a cell of a deleted series.
        m_doc->DeleteSeriesSet(marked);
        m_grid->SetScrollPosition(SB_VERT, scroll);
        m_grid->viewport()->update();
    }
    m_grid->setFocus();
}

bool CTabGrid::OnCopy()
{
    if (!m_doc)
        return false;
    const Platform::WaitCursor wait;
    std::vector<uint8_t> mask(size_t(m_doc->GetSeriesCount()), 0);
    for (int index : MarkedSeries())
        if (size_t(index) < mask.size())
            mask[size_t(index)] = 1;
    Platform::Clipboard().Set({});
    return m_doc->CopySeries(mask);
}

void CTabGrid::OnCut()
{
    if (OnCopy())
        DeleteSelected(true);
}

void CTabGrid::OnPaste()
{
    if (!m_doc)
        return;
    const Platform::WaitCursor wait;
    if (m_doc->IsFolderCutPending() || m_doc->IsFolderCopyPending())
    {
        m_doc->SendToCommandPeers(this, WM_CMD_PASTE);
        return;
    }
    try
    {
        m_doc->PasteSeries();
    }
    catch (const std::exception&)
    {
        // Any program may put data under the program's format: a block that is no series
        // block pastes nothing, and the project stays as it was.
        SeriesMessages::ClipboardUnreadable(this);
    }
}

void CTabGrid::OnRename()
{
    const CGridCellPos focus = m_grid->GetFocusCell();
    if (focus.row < 1)
        return;
    // The name lives in the summary row, also when the focus rests on the detail row.
    m_grid->EditCell(IsSummaryRow(focus.row) ? focus.row : focus.row - 1, COL_NAME, false);
}

void CTabGrid::OnNewFolder()
{
    if (m_doc)
        m_doc->SendToCommandPeers(this, WM_CMD_NEW_FOLDER);
}
