// The series page without a mouse: Space takes the focused series into the selection or
// out of it, Enter opens or closes it (neither types into the name), Ctrl with an arrow
// moves the focus alone, and in the detail row of an open series Tab and Shift+Tab walk
// over its links, Enter running the underlined one.
#include "seriesview/TabGrid.h"

#include "document/VeskDoc.h"
#include "grid/GridCtrl.h"
#include "platform/gui/VirtualKeys.h"
#include "seriesview/GridCellSeries.h"

#include <QKeyEvent>
#include <QTimer>

CGridCellSeries* CTabGrid::FocusedOpenSeriesCell() const
{
    const CGridCellPos focus = m_grid->GetFocusCell();
    if (focus.row < 1 || IsSummaryRow(focus.row) || m_grid->GetRowHeight(focus.row) < 1)
        return nullptr;
    return dynamic_cast<CGridCellSeries*>(m_grid->GetCell(focus.row, COL_NAME));
}

void CTabGrid::OnGridKeyCommand(int key)
{
    const CGridCellPos focus = m_grid->GetFocusCell();
    if (!m_doc || focus.row < 1 || SeriesOfRow(focus.row) >= m_doc->GetSeriesCount())
        return;
    const int summary = IsSummaryRow(focus.row) ? focus.row : focus.row - 1;
    const int index = SeriesOfRow(summary);
    m_keyTaken = key == Platform::VK_SPACE || key == Platform::VK_RETURN;
    if (key == Platform::VK_SPACE)
    {
        // Both rows of the series go in or out together, the others stay as they are.
        const bool select = !m_grid->IsCellSelected(summary, COL_NAME);
        m_grid->SelectRows({summary, COL_NAME}, true, select, true);
        m_grid->SelectRows({summary + 1, COL_NAME}, true, select, true);
        UpdateStatusCounts(true);
        return;
    }
    if (key != Platform::VK_RETURN)
        return;
    if (CGridCellSeries* cell = FocusedOpenSeriesCell(); cell && cell->GetHoveredLink() != 0)
    {
        // After the key: a link's dialog or popup runs outside the grid's key handling; the
        // cell is found again then, as the rows may have been rebuilt.
        QTimer::singleShot(0, this,
                           [this]
                           {
                               if (CGridCellSeries* target = FocusedOpenSeriesCell())
                                   target->RunKeyLink();
                           });
        return;
    }
    SetSeriesOpen(index, !m_doc->IsSeriesExpanded(index));
    m_grid->viewport()->update();
}

bool CTabGrid::OnLinkKey(const QKeyEvent& key)
{
    const bool tab = key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab;
    if (!tab || (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    CGridCellSeries* cell = FocusedOpenSeriesCell();
    if (!cell)
        return false;
    const bool forward = key.key() == Qt::Key_Tab && !(key.modifiers() & Qt::ShiftModifier);
    // Past the last link the key goes on to the grid, which moves the focus cell.
    return cell->StepKeyLink(forward);
}
