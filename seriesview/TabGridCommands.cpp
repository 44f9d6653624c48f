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

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <vector>

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
        return AnyMarked() ? 1 : 0;
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
        const CMeasSeriesWrapper* entry = notify.row >= 1 ? EntryOfPair(SeriesOfRow(notify.row)) : nullptr;
        QTimer::singleShot(0, this,
                           [this, entry]
                           {
                               if (m_doc)
                                   m_doc->SetSelectedIndex(entry ? m_doc->FindSeries(entry) : -1);
                           });
        break;
    }
    case Notify::GRIDN_BEGINLABELEDIT:
        // The grid opens the editor for the character of a key the page has acted on.
        return m_keyTaken ? -1 : 0;
    case Notify::GRIDN_KEYCOMMAND:
        if (notify.row == kKeyDelete)
            // After the key: the rebuild must not pull the rows from under the grid's
            // own key handling.
            QTimer::singleShot(0, this, [this] { DeleteSelected(false); });
        else
            OnGridKeyCommand(notify.row);
        break;
    case Notify::GRIDN_ENDLABELEDIT:
        if (const int index = IsSummaryRow(notify.row) && notify.column == COL_NAME
                                  ? DocIndexOfPair(SeriesOfRow(notify.row))
                                  : -1;
            index >= 0)
        {
            // The document keeps the name of the series the row shows; the page shows it
            // anew itself.
            const bool renamed = m_doc->SetSeriesName(index, m_grid->GetItemText(notify.row, notify.column));
            UpdateRows(index);
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

bool CTabGrid::IsInputEvent(QObject* watched, const QEvent* event) const
{
    switch (event->type())
    {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        return watched == m_grid->viewport();
    case QEvent::KeyPress:
        return watched == m_grid;
    default:
        return false;
    }
}

bool CTabGrid::eventFilter(QObject* watched, QEvent* event)
{
    // While cells are made in slices the window stays (see MakeRowsInSlices).
    if (m_slicing && watched == window() && event->type() == QEvent::Close)
    {
        event->ignore();
        return true;
    }
    if (event != m_delivering && IsInputEvent(watched, event))
    {
        // The grid's handlers and its cells' run under a hold: a cell that opens a modal
        // loop is still on the stack when the loop ends, so no rebuild may free it meanwhile.
        // The event goes on to the grid from here, through this filter once more.
        const SRebuildHold hold(*this);
        const QEvent* outer = std::exchange(m_delivering, event);
        QCoreApplication::sendEvent(watched, event);
        m_delivering = outer;
        m_keyTaken = false;
        // The inner delivery passed it on to the parents already where the grid left it.
        event->accept();
        return true;
    }
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
        if (OnLinkKey(*key))
            return true;
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
    if (const int index = DocIndexOfPair(SeriesOfRow(row)); index >= 0)
        m_doc->SetSeriesExpanded(index, open);
}

void CTabGrid::OnGridSelChanged(int row, int col)
{
    if (m_grid->GetRowCount() > 1)
    {
        SyncPairSelection(row);
        // The focus rests on the summary row, where the name is.
        if (row > 1 && !IsSummaryRow(row) && m_grid->GetCell(row, col) && m_grid->GetFocusCell().row == row)
            m_grid->SetFocusCell({row - 1, col});
        StoreSelection();
    }
    UpdateStatusCounts(true);
}

void CTabGrid::SyncPairSelection(int changedRow)
{
    const int rows = m_grid->GetRowCount();
    for (int summary = 1; summary + 1 < rows; summary += 2)
    {
        const int detail = summary + 1;
        const bool summarySelected = m_grid->IsCellSelected(summary, COL_NAME);
        const bool detailSelected = m_grid->IsCellSelected(detail, COL_NAME);
        const bool detailShown = m_grid->GetRowHeight(detail) > 0;
        const bool summaryShown = m_grid->GetRowHeight(summary) > 0;
        const bool changed = changedRow == summary || changedRow == detail;
        if (!changed && summarySelected == detailSelected)
            continue;
        bool selected = true;
        if (changed)
            selected = m_grid->IsCellSelected(changedRow, COL_NAME);
        else if (!detailShown)
            selected = summarySelected;
        else if (!summaryShown)
            selected = detailSelected;
        for (int row : {summary, detail})
        {
            bool alike = true;
            for (int col = 0; col < kColumnCount && alike; ++col)
                alike = m_grid->IsCellSelected(row, col) == selected;
            if (!alike)
                m_grid->SelectRows({row, 0}, false, selected, true);
        }
    }
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
    // Rows that wait for a rebuild are not sorted in place: the rebuild brings the order.
    const bool mirrored = RowsMatchDocument();
    m_doc->SortSeries(order, mirrored ? this : nullptr);
    if (!mirrored)
        return;

    m_grid->SetSortColumn(col);
    m_grid->SetSortAscending(true);
    // The document has put each series at its new place: every pair moves straight
    // there, the detail row after its summary row, with no comparisons.
    std::vector<int> arranged(size_t(std::max(0, rows - 1)), -1);
    bool placed = rows % 2 == 1;
    for (int pair = 0; placed && 2 * pair + 2 < rows; ++pair)
    {
        const CMeasSeriesWrapper* entry = EntryOfPair(pair);
        const int32_t position = entry ? entry->GetPosition() : -1;
        const size_t at = 2 * size_t(std::max(0, position));
        placed = position >= 0 && at + 1 < arranged.size() && arranged[at] < 0;
        if (placed)
        {
            arranged[at] = 2 * pair + 1;
            arranged[at + 1] = 2 * pair + 2;
        }
    }
    if (!placed || !m_grid->ArrangeRows(arranged, COL_GRIPPER, true))
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
    if (!m_doc)
        return;
    const int pairs = (m_grid->GetRowCount() - 1) / 2;
    for (int pair = 0; pair < pairs; ++pair)
        if (const int index = DocIndexOfPair(pair); index >= 0)
            m_doc->SetSeriesSelected(index, IsPairSelected(pair));
}

void CTabGrid::OnSelectAll()
{
    const Platform::WaitCursor wait;
    // The grid's selection notice stores the selection in the document and recounts it.
    m_grid->SelectAllCells();
}

void CTabGrid::DeleteSelected(bool withoutQuestion)
{
    if (!m_doc)
        return;
    // By identity: the folder may change while the question waits.
    const Entries entries = EntriesOf(MarkedSeries());
    if (!entries.empty() &&
        (withoutQuestion ||
         Platform::ShowMessageBox(this, Platform::LoadString(StringId::IDS_ASK_DELETE_SERIES), QString(),
                                  Platform::MB_YESNOCANCEL | Platform::MB_ICONQUESTION) == Platform::IDYES))
    {
        const std::vector<int> marked = IndicesOf(entries);
        if (marked.empty())
            return;
        const Platform::WaitCursor wait;
        const int scroll = m_grid->GetScrollPosition(SB_VERT);
        // The document tells the page at once, and the page rebuilds its rows before any
        // paint or click could reach a cell of a deleted series; the series that stay keep
        // their selection through the document's flags.
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
    m_grid->EditCell(2 * SeriesOfRow(focus.row) + 1, COL_NAME, false);
}

void CTabGrid::OnNewFolder()
{
    if (m_doc)
        m_doc->SendToCommandPeers(this, WM_CMD_NEW_FOLDER);
}
