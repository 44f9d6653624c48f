// Cell text to and from the clipboard, the edit commands, and the grid's side of drag and
// drop (it takes no drops).
#include "grid/GridCtrl.h"
#include "grid/InPlaceEdit.h"
#include "grid/PasteText.h"
#include "platform/gui/Clipboard.h"

using namespace Platform;

QString CGridCtrl::GetRangeText(const CGridCellRect& range)
{
    QString text;
    if (!range.IsValid())
        return text;
    const QString rowBreak = QStringLiteral("\r\n");

    // The header line always comes first, hidden columns included.
    for (int col = range.minCol; col <= range.maxCol; ++col)
    {
        if (const CGridCellBase* cell = GetCell(0, col))
            text += cell->GetCopyText();
        if (m_copyCellTabs)
            text += u'\t';
    }
    if (m_copyRowBreaks)
        text += rowBreak;

    for (int row = range.minRow; row <= range.maxRow; ++row)
    {
        const bool lastRow = row == range.maxRow;
        // A row counts as selected by its cell in column 1; a grid without that column has
        // no selected rows to copy.
        if (!IsCellSelected(row, 1))
        {
            if (m_copyRowBreaks && !lastRow)
                text += rowBreak;
            continue;
        }
        if (GetRowHeight(row) == 0)
            continue;
        for (int col = range.minCol; col <= range.maxCol; ++col)
        {
            if (GetColumnWidth(col) == 0)
                continue;
            const CGridCellBase* cell = GetCell(row, col);
            if (cell && cell->IsSelected())
                text += cell->GetCopyText();
            if (m_copyCellTabs && col != range.maxCol)
                text += u'\t';
        }
        if (m_copyRowBreaks && !lastRow)
            text += rowBreak;
    }
    return text;
}

std::optional<QString> CGridCtrl::CopyTextFromGrid()
{
    const CGridCellRect range = GetSelectedCellRange();
    if (!range.IsValid() || range.maxRow >= m_rowCount || range.maxCol >= m_colCount)
        return std::nullopt;
    return GetRangeText(range);
}

void CGridCtrl::CutSelectedText()
{
    for (int row = 0; row < m_rowCount; ++row)
        for (int col = 0; col < m_colCount; ++col)
            if (IsCellSelected(row, col))
                ReplaceCellText(row, col, QString());
}

bool CGridCtrl::PasteTextToGrid(CGridCellPos topLeft, const std::optional<QString>& text, bool selectPasted)
{
    const CGridCellBase* first = GetCell(topLeft.row, topLeft.col);
    if (!first || first->IsReadOnly() || !text)
        return false;

    const std::vector<std::vector<QString>> lines = SplitPastedText(*text);
    int maxRow = -1;
    int maxCol = -1;
    int skippedRows = 0;
    for (size_t k = 0; k < lines.size(); ++k)
    {
        // Hidden rows and columns are passed over, moving what follows along.
        int row = topLeft.row + static_cast<int>(k) + skippedRows;
        while (row < m_rowCount && GetRowHeight(row) <= 0)
        {
            ++skippedRows;
            ++row;
        }
        int skippedCols = 0;
        for (size_t f = 0; f < lines[k].size(); ++f)
        {
            int col = topLeft.col + static_cast<int>(f) + skippedCols;
            while (col < m_colCount && GetColumnWidth(col) <= 0)
            {
                ++skippedCols;
                ++col;
            }
            if (!InRange(row, col))
                continue;
            ReplaceCellText(row, col, lines[k][f].trimmed());
            // A pasted cell that stayed selected would be emptied by a following cut.
            SetItemState(row, col, GetItemState(row, col) & ~CELLSTATE_SELECTED);
            maxRow = std::max(maxRow, row);
            maxCol = std::max(maxCol, col);
        }
    }

    if (selectPasted)
    {
        SetSelectedRange(topLeft.row, topLeft.col, maxRow, maxCol, true, true);
    }
    else
    {
        ClearSelection();
        RepaintAll();
    }
    return true;
}

void CGridCtrl::OnEditCopy()
{
    if (const std::optional<QString> text = CopyTextFromGrid())
        Clipboard().SetText(*text);
}

void CGridCtrl::OnEditCut()
{
    const std::optional<QString> text = CopyTextFromGrid();
    if (text && Clipboard().SetText(*text))
        CutSelectedText();
}

void CGridCtrl::OnEditPaste()
{
    CGridCellPos target;
    const CGridCellRect selection = GetSelectedCellRange();
    if (selection.IsValid())
        target = {selection.minRow, selection.minCol};
    else if (InRange(m_focusCell.row, m_focusCell.col))
        target = m_focusCell;
    else
        target = GetTopLeftScrollingCell();
    CGridCellBase* cell = GetCell(target.row, target.col);
    if (!cell)
        return;
    // An open editor takes the text itself.
    if (cell->IsEditing())
    {
        if (auto* editor = qobject_cast<CInPlaceEdit*>(cell->GetEditWnd()))
        {
            editor->paste();
            return;
        }
    }
    PasteTextToGrid(target, Clipboard().Text(), true);
}

void CGridCtrl::OnEditSelectAll()
{
    SelectAllCells();
}

bool CGridCtrl::IsEditCommandEnabled(int commandId) const
{
    switch (commandId)
    {
    case GridCmd::ID_EDIT_COPY:
    case GridCmd::ID_EDIT_CUT:
        return m_selectedCount > 0;
    case GridCmd::ID_EDIT_PASTE:
        return CanEditCell(m_focusCell) && Clipboard().Text().has_value();
    case GridCmd::ID_EDIT_SELECT_ALL:
        return true;
    default:
        return false;
    }
}

int CGridCtrl::OnDragEnter(Qt::KeyboardModifiers, Point)
{
    return DROPEFFECT_NONE;
}

int CGridCtrl::OnDragOver(Qt::KeyboardModifiers, Point)
{
    return DROPEFFECT_NONE;
}

int CGridCtrl::OnDrop(Qt::KeyboardModifiers, Point)
{
    return DROPEFFECT_NONE;
}
