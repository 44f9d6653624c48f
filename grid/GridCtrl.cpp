#include "grid/GridCtrl.h"

#include "grid/GridCell.h"
#include "grid/InPlaceEdit.h"
#include "platform/gui/BalloonTip.h"
#include "platform/gui/PainterCanvas.h"
#include "platform/gui/SystemLook.h"

#include <QEvent>
#include <QResizeEvent>
#include <QScrollBar>

#include <algorithm>
#include <iterator>

using namespace Platform;

namespace
{
enum DefaultCellIndex
{
    kNormal = 0,
    kFixedCol = 1,
    kFixedRow = 2,
    kFixedBoth = 3,
};

// Guards the scroll-bar update against the resize it causes when it shows or hides a bar.
class ReentryGuard
{
public:
    explicit ReentryGuard(bool& flag) : m_flag(flag), m_entered(!flag) { m_flag = true; }
    ~ReentryGuard()
    {
        if (m_entered)
            m_flag = false;
    }
    bool Entered() const { return m_entered; }

private:
    bool& m_flag;
    bool m_entered;
};
} // namespace

CGridCtrl::CGridCtrl(int rows, int cols, int fixedRows, int fixedCols)
{
    setObjectName(QString::fromLatin1(kWindowClass));
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(false);
    // Mouse moves without a button pressed: dividers, cell hover and tooltips need them.
    viewport()->setMouseTracking(true);
    setAttribute(Qt::WA_InputMethodEnabled);
    connect(&m_autoScrollTimer, &QTimer::timeout, this, [this] { OnAutoScrollTimer(); });
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { OnScrollAction(SB_HORZ, action); });
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { OnScrollAction(SB_VERT, action); });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { MarkTopLeftDirty(); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { MarkTopLeftDirty(); });

    m_sysWindowText = GetSysColor(COLOR_WINDOWTEXT);
    m_sysWindow = GetSysColor(COLOR_WINDOW);
    m_sysButtonFace = GetSysColor(COLOR_BTNFACE);
    m_sysButtonShadow = GetSysColor(COLOR_BTNSHADOW);
    m_wheelScrollLines = Platform::GetWheelScrollLines();

    for (int i = 0; i < 4; ++i)
    {
        m_defaultCells[i] = std::make_unique<CGridDefaultCell>();
        CGridDefaultCell& cell = *m_defaultCells[i];
        cell.SetGrid(this);
        cell.SetTextClr(m_sysWindowText);
        cell.SetPrintTextClr(m_sysWindowText);
        const ColorRef back = i == kNormal ? m_sysWindow : m_sysButtonFace;
        cell.SetBackClr(back);
        cell.SetPrintBackClr(back);
    }
    m_outsideColor = m_sysButtonShadow;

    SetRowCount(rows);
    SetColumnCount(cols);
    SetFixedRowCount(fixedRows);
    SetFixedColumnCount(fixedCols);
}

CGridCtrl::~CGridCtrl()
{
    // Open editors report to the grid; none may do so while it is taken apart.
    for (CInPlaceEdit* editor : viewport()->findChildren<CInPlaceEdit*>())
    {
        editor->Detach();
        delete editor;
    }
    m_autoScrollTimer.stop();
    m_tip.reset();
    m_created = false;
    DeleteAllItems();
}

bool CGridCtrl::Create(const QRect& rect, QWidget* parent, int id)
{
    setParent(parent);
    setGeometry(rect);
    m_id = id;
    m_created = true;
    const int height = m_defaultCells[kNormal]->GetHeight();
    const int width = m_defaultCells[kNormal]->GetWidth();
    for (int row = 0; row < m_rowCount; ++row)
        StoreRowHeight(row, height);
    for (int& w : m_colWidths)
        w = width;
    m_tip = std::make_unique<BalloonTip>(viewport());
    show();
    UpdateScrollBars();
    return true;
}

Rect CGridCtrl::GetClientRect() const
{
    if (!m_created)
        return {};
    const QSize size = viewport()->size();
    return {0, 0, size.width(), size.height()};
}

intptr_t CGridCtrl::SendMessageToParent(int row, int col, int code)
{
    if (!m_created)
        return 0;
    IGridNotifyTarget* target = m_owner ? m_owner : dynamic_cast<IGridNotifyTarget*>(parentWidget());
    if (!target)
        return 0;
    GRIDNOTIFY notify;
    notify.hwndFrom = this;
    notify.idFrom = m_id;
    notify.code = code;
    notify.row = row;
    notify.column = col;
    return target->OnGridNotify(notify);
}

// ---------------------------------------------------------------------------------------
// Cells

CGridCellBase* CGridCtrl::GetCell(int row, int col) const
{
    if (!InRange(row, col))
        return nullptr;
    const Row& cells = m_rows[static_cast<size_t>(row)];
    if (static_cast<size_t>(col) >= cells.size())
        return nullptr;
    return cells[static_cast<size_t>(col)].get();
}

bool CGridCtrl::SetCell(int row, int col, std::unique_ptr<CGridCellBase>& cell)
{
    if (!InRange(row, col) || static_cast<size_t>(col) >= m_rows[static_cast<size_t>(row)].size())
        return false;
    if (cell)
        cell->SetCoords(row, col);
    std::swap(m_rows[static_cast<size_t>(row)][static_cast<size_t>(col)], cell);
    // The selection count follows the cells' bits through the swap.
    const CGridCellBase* now = GetCell(row, col);
    CountSelection(row, col, cell && cell->IsSelected(), now && now->IsSelected());
    // The previous occupant leaves the grid: it must not be called after the next paint.
    if (cell)
        ForgetPostDraw(cell.get());
    return true;
}

bool CGridCtrl::SetCellType(int row, int col, GridCellFactory factory)
{
    CGridCellBase* old = GetCell(row, col);
    if (!old || !factory)
        return false;
    std::unique_ptr<CGridCellBase> cell = factory();
    if (!cell)
        return false;
    *cell = *old;
    if (!SetCell(row, col, cell))
        return false;
    DiscardCell(std::move(cell));
    return true;
}

std::unique_ptr<CGridCellBase> CGridCtrl::CreateCell(int row, int col)
{
    std::unique_ptr<CGridCellBase> cell;
    if (m_cellChooser)
        if (const GridCellFactory factory = m_cellChooser(row, col))
            cell = factory();
    if (!cell)
        cell = std::make_unique<CGridCell>();
    cell->SetGrid(this);
    cell->SetCoords(row, col);
    uint32_t state = 0;
    if (col >= 0 && col < m_fixedCols)
        state |= CELLSTATE_FIXED | CELLSTATE_FIXEDCOL;
    if (row >= 0 && row < m_fixedRows)
        state |= CELLSTATE_FIXED | CELLSTATE_FIXEDROW;
    cell->SetState(state);
    if (const CGridDefaultCell* def = cell->GetDefaultCell())
        cell->SetFormat(def->GetFormat());
    return cell;
}

void CGridCtrl::DestroyCell(int row, int col)
{
    CGridCellBase* cell = GetCell(row, col);
    if (!cell)
        return;
    // An open editor of the cell has nothing left to report to.
    if (auto* editor = qobject_cast<CInPlaceEdit*>(cell->GetEditWnd()))
    {
        editor->Detach();
        editor->close();
    }
    // Through SetItemState, so that the count of selected cells stays right.
    SetItemState(row, col, 0);
    DiscardCell(std::move(m_rows[static_cast<size_t>(row)][static_cast<size_t>(col)]));
}

void CGridCtrl::DiscardCell(std::unique_ptr<CGridCellBase> cell)
{
    if (cell)
        ForgetPostDraw(cell.get());
}

void CGridCtrl::ForgetPostDraw(const CGridCellBase* cell)
{
    std::erase(m_postDraw, cell);
    if (m_postDrawWalk)
        std::replace(m_postDrawWalk->begin(), m_postDrawWalk->end(), const_cast<CGridCellBase*>(cell),
                     static_cast<CGridCellBase*>(nullptr));
}

CGridDefaultCell* CGridCtrl::GetDefaultCell(bool fixedRow, bool fixedCol) const
{
    if (fixedRow && fixedCol)
        return m_defaultCells[kFixedBoth].get();
    if (fixedRow)
        return m_defaultCells[kFixedRow].get();
    if (fixedCol)
        return m_defaultCells[kFixedCol].get();
    return m_defaultCells[kNormal].get();
}

// ---------------------------------------------------------------------------------------
// Structure

bool CGridCtrl::SetRowCount(int rows)
{
    if (rows < 0)
        return false;
    if (rows == m_rowCount)
        return true;
    MarkTopLeftDirty();
    m_fixedRows = std::min(rows, m_fixedRows);
    // Editors of rows that go have nothing left to report to.
    CancelEditing(rows);
    if (m_focusCell.row >= rows)
        SetFocusCell({-1, -1});

    if (rows < m_rowCount)
    {
        for (int row = rows; row < m_rowCount; ++row)
            for (int col = 0; col < m_colCount; ++col)
            {
                if (!m_keepRemovedRows)
                {
                    DestroyCell(row, col);
                    continue;
                }
                CGridCellBase* cell = GetCell(row, col);
                if (!cell)
                    continue;
                // Through SetItemState, so that the count of selected cells stays right.
                SetItemState(row, col, 0);
                cell->SetMergeRange(-1, -1);
                ForgetPostDraw(cell);
            }
        for (int row = rows; row < m_rowCount; ++row)
            StoreRowHeight(row, 0);
        if (m_keepRemovedRows)
            for (int row = m_rowCount - 1; row >= rows; --row)
                m_keptRows.push_back(std::move(m_rows[static_cast<size_t>(row)]));
        m_rows.resize(static_cast<size_t>(rows));
        m_rowHeights.resize(static_cast<size_t>(rows));
        RowHeightsChangedFrom(rows);
        m_rowCount = rows;
        ForgetCellsBeyond(m_rowCount, m_colCount);
    }
    else
    {
        const int height = m_defaultCells[kNormal]->GetHeight();
        m_rows.reserve(static_cast<size_t>(rows));
        m_rowHeights.reserve(static_cast<size_t>(rows));
        while (m_rowCount < rows)
        {
            const int row = m_rowCount;
            const bool kept = !m_keptRows.empty();
            Row cells = kept ? std::move(m_keptRows.back()) : Row(static_cast<size_t>(m_colCount));
            if (kept)
                m_keptRows.pop_back();
            m_rowHeights.push_back(height);
            RowHeightsChangedFrom(row);
            m_totalHeight += height;
            m_rows.push_back(std::move(cells));
            ++m_rowCount;
            for (int col = 0; col < m_colCount; ++col)
            {
                auto& cell = m_rows[static_cast<size_t>(row)][static_cast<size_t>(col)];
                if (cell)
                    cell->SetCoords(row, col);
                else
                    cell = CreateCell(row, col);
            }
        }
    }
    SetSortColumn(-1);
    UpdateScrollBars();
    if (m_allowDraw)
        InvalidateAll();
    return true;
}

bool CGridCtrl::MakeRowsAhead(int rows, int most)
{
    const int held = m_rowCount + static_cast<int>(m_keptRows.size());
    if (!m_keepRemovedRows || rows <= held)
        return true;
    const int end = std::min(rows, held + std::max(1, most));
    // The kept rows come back last first: the highest row goes to the front.
    std::vector<Row> made;
    made.reserve(static_cast<size_t>(end - held));
    for (int row = end - 1; row >= held; --row)
    {
        Row cells(static_cast<size_t>(m_colCount));
        for (int col = 0; col < m_colCount; ++col)
            cells[static_cast<size_t>(col)] = CreateCell(row, col);
        made.push_back(std::move(cells));
    }
    m_keptRows.insert(m_keptRows.begin(), std::make_move_iterator(made.begin()),
                      std::make_move_iterator(made.end()));
    return end >= rows;
}

void CGridCtrl::SetKeepRemovedRows(bool keep)
{
    m_keepRemovedRows = keep;
    if (!keep)
        m_keptRows.clear();
}

bool CGridCtrl::SetColumnCount(int cols)
{
    if (cols < 0)
        return false;
    if (cols == m_colCount)
        return true;
    MarkTopLeftDirty();
    m_fixedCols = std::min(cols, m_fixedCols);
    if (m_focusCell.col >= cols)
        SetFocusCell({-1, -1});

    if (cols < m_colCount)
    {
        for (int row = 0; row < m_rowCount; ++row)
            for (int col = cols; col < m_colCount; ++col)
                DestroyCell(row, col);
    }
    m_keptRows.clear();
    const int oldCount = m_colCount;
    m_colWidths.resize(static_cast<size_t>(cols), m_defaultCells[kFixedCol]->GetWidth());
    m_selectedInColumn.resize(static_cast<size_t>(cols), 0);
    for (Row& cells : m_rows)
        cells.resize(static_cast<size_t>(cols));
    m_colCount = cols;
    ForgetCellsBeyond(m_rowCount, m_colCount);
    for (int row = 0; row < m_rowCount; ++row)
        for (int col = oldCount; col < cols; ++col)
            m_rows[static_cast<size_t>(row)][static_cast<size_t>(col)] = CreateCell(row, col);
    SetSortColumn(-1);
    UpdateScrollBars();
    if (m_allowDraw)
        InvalidateAll();
    return true;
}

bool CGridCtrl::SetFixedRowCount(int fixedRows)
{
    if (fixedRows < 0)
        return false;
    if (fixedRows == m_fixedRows)
        return true;
    SetSelectedRange(-1, -1, -1, -1);
    SetFocusCell({-1, -1});
    MarkTopLeftDirty();
    if (fixedRows > m_rowCount && !SetRowCount(fixedRows))
        return false;
    ChangeFixedBand(true, m_fixedRows, fixedRows);
    m_fixedRows = fixedRows;
    if (m_allowDraw)
        InvalidateAll();
    return true;
}

bool CGridCtrl::SetFixedColumnCount(int fixedCols)
{
    if (fixedCols < 0)
        return false;
    if (fixedCols == m_fixedCols)
        return true;
    if (fixedCols > m_colCount && !SetColumnCount(fixedCols))
        return false;
    SetSelectedRange(-1, -1, -1, -1);
    SetFocusCell({-1, -1});
    MarkTopLeftDirty();
    ChangeFixedBand(false, m_fixedCols, fixedCols);
    m_fixedCols = fixedCols;
    if (m_allowDraw)
        InvalidateAll();
    return true;
}

void CGridCtrl::ChangeFixedBand(bool rows, int oldCount, int newCount)
{
    // The band runs along rows or columns; `across` walks the other dimension.
    const int acrossCount = rows ? m_colCount : m_rowCount;
    const uint32_t bandBit = rows ? CELLSTATE_FIXEDROW : CELLSTATE_FIXEDCOL;
    auto at = [rows](int along, int across) {
        return rows ? CGridCellPos{along, across} : CGridCellPos{across, along};
    };

    for (int along = oldCount; along < newCount; ++along)
    {
        for (int across = 0; across < acrossCount; ++across)
        {
            const CGridCellPos p = at(along, across);
            SetItemState(p.row, p.col, GetItemState(p.row, p.col) | CELLSTATE_FIXED | bandBit);
            // Fixed cells are drawn in their default cell's colours; white means "none" in print.
            if (CGridCellBase* cell = GetCell(p.row, p.col))
            {
                cell->SetTextClr(0xFFFFFF);
                cell->SetBackClr(0xFFFFFF);
            }
        }
    }
    for (int along = newCount; along < oldCount; ++along)
    {
        for (int across = 0; across < acrossCount; ++across)
        {
            const CGridCellPos p = at(along, across);
            CGridCellBase* cell = GetCell(p.row, p.col);
            if (!cell)
                continue;
            // Still fixed through the other band: only this band's bit goes.
            if (across < (rows ? m_fixedCols : m_fixedRows))
            {
                SetItemState(p.row, p.col, cell->GetState() & ~bandBit);
                continue;
            }
            SetItemState(p.row, p.col, cell->GetState() & ~(CELLSTATE_FIXED | bandBit));
            // A cell that becomes an ordinary one shows its own colours: give it the normal
            // colours rather than white text on white.
            const CGridDefaultCell* def = m_defaultCells[kNormal].get();
            cell->SetTextClr(def->GetTextClr());
            cell->SetBackClr(def->GetBackClr());
        }
    }
}

int CGridCtrl::InsertRow(const QString& heading, int row)
{
    if (row >= 0 && (row < m_fixedRows || row > m_rowCount))
        return -1;
    MarkTopLeftDirty();
    if (!(row < 0 || row == m_rowCount))
        CancelEditing();
    if (m_colCount == 0)
        SetColumnCount(1);
    const bool append = row < 0 || row == m_rowCount;
    const int index = append ? m_rowCount : row;
    m_rowHeights.insert(m_rowHeights.begin() + index, 0);
    RowHeightsChangedFrom(index);
    m_rows.insert(m_rows.begin() + index, Row(static_cast<size_t>(m_colCount)));
    ++m_rowCount;
    for (int col = 0; col < m_colCount; ++col)
        m_rows[static_cast<size_t>(index)][static_cast<size_t>(col)] = CreateCell(index, col);

    if (!heading.isEmpty())
    {
        SetItemText(index, 0, heading);
        CGridCellBase* cell = GetCell(index, 0);
        StoreRowHeight(index, std::max(0, cell->GetTextExtent(heading, nullptr).cy));
    }
    else
    {
        StoreRowHeight(index, m_defaultCells[kFixedRow]->GetHeight());
    }
    // The focused cell moved down with its row, including the row that was at the index.
    if (m_focusCell.row >= 0 && m_focusCell.row >= index)
        m_focusCell.row++;
    if (m_selectionBounds.IsValid())
    {
        if (m_selectionBounds.minRow >= index)
            m_selectionBounds.minRow++;
        if (m_selectionBounds.maxRow >= index)
            m_selectionBounds.maxRow++;
    }
    UpdateColumnCoords(index);
    UpdateScrollBars();
    SetSortColumn(-1);
    return index;
}

void CGridCtrl::UpdateColumnCoords(int fromRow)
{
    for (int row = fromRow; row < m_rowCount; ++row)
        for (int col = 0; col < m_colCount; ++col)
            if (CGridCellBase* cell = GetCell(row, col))
                cell->SetCoords(row, col);
}

bool CGridCtrl::DeleteAllItems()
{
    CancelEditing();
    m_postDraw.clear();
    if (m_postDrawWalk)
        std::fill(m_postDrawWalk->begin(), m_postDrawWalk->end(), nullptr);
    SetSelectedRange(-1, -1, -1, -1);
    SetFocusCell({-1, -1});
    for (int row = 0; row < m_rowCount; ++row)
        for (int col = 0; col < m_colCount; ++col)
            DestroyCell(row, col);
    m_rowHeights.clear();
    RowHeightsChangedFrom(0);
    m_totalHeight = 0;
    m_colWidths.clear();
    m_rows.clear();
    m_keptRows.clear();
    m_focusCell = {-1, -1};
    m_rowCount = m_colCount = m_fixedRows = m_fixedCols = 0;
    m_lastDrawn = {};
    MarkTopLeftDirty();
    UpdateScrollBars();
    SetSortColumn(-1);
    return true;
}

bool CGridCtrl::MergeColumns(int row, int first, int last)
{
    for (int col = first; col <= last; ++col)
        if (CGridCellBase* cell = GetCell(row, col))
            cell->SetMergeRange(first, last);
    return true;
}

// ---------------------------------------------------------------------------------------
// Items

bool CGridCtrl::SetItemText(int row, int col, const QString& text)
{
    CGridCellBase* cell = GetCell(row, col);
    if (!cell)
        return false;
    cell->SetText(text);
    MarkCellModified(row, col);
    return true;
}

QString CGridCtrl::GetItemText(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell ? cell->GetText() : QString();
}

bool CGridCtrl::SetItemData(int row, int col, intptr_t data)
{
    CGridCellBase* cell = GetCell(row, col);
    if (!cell)
        return false;
    cell->SetData(data);
    MarkCellModified(row, col);
    return true;
}

intptr_t CGridCtrl::GetItemData(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell ? cell->GetData() : 0;
}

bool CGridCtrl::SetItemState(int row, int col, uint32_t state)
{
    CGridCellBase* cell = GetCell(row, col);
    if (!cell)
        return false;
    CountSelection(row, col, cell->IsSelected(), state & CELLSTATE_SELECTED);
    cell->SetState(state);
    return true;
}

void CGridCtrl::CountSelection(int row, int col, bool was, bool now)
{
    int* inColumn =
        col >= 0 && size_t(col) < m_selectedInColumn.size() ? &m_selectedInColumn[size_t(col)] : nullptr;
    if (was && !now)
    {
        m_selectedCount = std::max(0, m_selectedCount - 1);
        if (inColumn)
            *inColumn = std::max(0, *inColumn - 1);
    }
    else if (now && !was)
    {
        ++m_selectedCount;
        if (inColumn)
            ++*inColumn;
        CGridCellRect& b = m_selectionBounds;
        b.minRow = b.minRow < 0 ? row : std::min(b.minRow, row);
        b.minCol = b.minCol < 0 ? col : std::min(b.minCol, col);
        b.maxRow = b.maxRow < 0 ? row : std::max(b.maxRow, row);
        b.maxCol = b.maxCol < 0 ? col : std::max(b.maxCol, col);
    }
}

uint32_t CGridCtrl::GetItemState(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell ? cell->GetState() : 0;
}

bool CGridCtrl::SetItemFormat(int row, int col, unsigned format)
{
    CGridCellBase* cell = GetCell(row, col);
    if (!cell)
        return false;
    cell->SetFormat(format);
    return true;
}

unsigned CGridCtrl::GetItemFormat(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell ? cell->GetFormat() : 0;
}

bool CGridCtrl::SetItemBkColour(int row, int col, ColorRef color)
{
    CGridCellBase* cell = GetCell(row, col);
    if (!cell)
        return false;
    cell->SetBackClr(color);
    return true;
}

// ---------------------------------------------------------------------------------------
// Sizes

int CGridCtrl::GetRowHeight(int row) const
{
    if (row < 0 || row >= m_rowCount)
        return -1;
    return m_rowHeights[static_cast<size_t>(row)];
}

bool CGridCtrl::SetRowHeight(int row, int height)
{
    if (row < 0 || row >= m_rowCount || height < 0)
        return false;
    StoreRowHeight(row, height);
    UpdateScrollBars();
    return true;
}

int CGridCtrl::GetColumnWidth(int col, int row) const
{
    if (col < 0 || col >= m_colCount)
        return -1;
    const CGridCellBase* cell = row >= 0 ? GetCell(row, col) : nullptr;
    if (!cell || !cell->IsMerged())
        return m_colWidths[static_cast<size_t>(col)];
    if (col != cell->GetMergeFirst())
        return -1;
    return GetSpanWidth(col, row);
}

bool CGridCtrl::SetColumnWidth(int col, int width)
{
    if (col < 0 || col >= m_colCount || width < 0)
        return false;
    m_colWidths[static_cast<size_t>(col)] = width;
    UpdateScrollBars();
    return true;
}

int CGridCtrl::GetSpanWidth(int col, int row) const
{
    if (col < 0 || col >= m_colCount)
        return -1;
    const CGridCellBase* cell = row >= 0 ? GetCell(row, col) : nullptr;
    if (!cell || !cell->IsMerged())
        return m_colWidths[static_cast<size_t>(col)];
    int width = 0;
    for (int c = col; c <= std::min(cell->GetMergeLast(), m_colCount - 1); ++c)
        width += m_colWidths[static_cast<size_t>(c)];
    return width;
}

long long CGridCtrl::GetVirtualWidth() const
{
    long long sum = 0;
    for (int w : m_colWidths)
        sum += w;
    return sum;
}

long long CGridCtrl::GetVirtualHeight() const
{
    return m_totalHeight;
}

void CGridCtrl::StoreRowHeight(int row, int height)
{
    int& stored = m_rowHeights[static_cast<size_t>(row)];
    m_totalHeight += height - stored;
    stored = height;
    RowHeightsChangedFrom(row + 1);
}

long long CGridCtrl::RowStart(int row)
{
    if (m_rowStarts.size() != m_rowHeights.size() + 1)
    {
        m_rowStarts.assign(m_rowHeights.size() + 1, 0);
        m_rowStartsValid = 0;
    }
    row = std::clamp(row, 0, static_cast<int>(m_rowHeights.size()));
    for (; m_rowStartsValid < row; ++m_rowStartsValid)
    {
        const size_t i = static_cast<size_t>(m_rowStartsValid);
        m_rowStarts[i + 1] = m_rowStarts[i] + m_rowHeights[i];
    }
    return m_rowStarts[static_cast<size_t>(row)];
}

int CGridCtrl::GetFixedRowHeight() const
{
    int sum = 0;
    for (int row = 0; row < m_fixedRows; ++row)
        sum += m_rowHeights[static_cast<size_t>(row)];
    return sum;
}

int CGridCtrl::GetFixedColumnWidth() const
{
    int sum = 0;
    for (int col = 0; col < m_fixedCols; ++col)
        sum += m_colWidths[static_cast<size_t>(col)];
    return sum;
}

bool CGridCtrl::AutoSizeColumn(int col, int style)
{
    if (col < 0 || col >= m_colCount || m_colWidths[static_cast<size_t>(col)] <= 0)
        return false;
    if (style == 0)
        style = 3;
    const int first = (style & 1) ? 0 : m_fixedRows;
    const int last = (style & 2) ? m_rowCount - 1 : m_fixedRows - 1;
    Canvas* dc = GetMeasureCanvas();
    if (!dc)
        return false;
    int width = 0;
    for (int row = first; row <= last; ++row)
    {
        CGridCellBase* cell = GetCell(row, col);
        if (!cell)
            continue;
        int w;
        if (cell->IsMerged())
        {
            CGridCellBase* firstCell = GetCell(row, cell->GetMergeFirst());
            if (!firstCell)
                continue;
            w = firstCell->GetCellExtent(dc).cx;
            // A wide span shares its width among its columns; a span of one column has
            // nothing to share it with.
            const int columns = cell->GetMergeLast() - cell->GetMergeFirst();
            if (w > 100 && columns > 0)
                w = (w - 28) / columns;
        }
        else
        {
            w = cell->GetCellExtent(dc).cx;
        }
        width = std::max(width, w);
    }
    m_colWidths[static_cast<size_t>(col)] = width;
    UpdateScrollBars();
    return true;
}

bool CGridCtrl::AutoSizeRow(int row)
{
    if (row < 0 || row >= m_rowCount || m_rowHeights[static_cast<size_t>(row)] <= 0)
        return false;
    Canvas* dc = GetMeasureCanvas();
    int height = 0;
    for (int col = 0; col < m_colCount; ++col)
        if (CGridCellBase* cell = GetCell(row, col))
            height = std::max(height, cell->GetCellExtent(dc).cy);
    StoreRowHeight(row, height);
    UpdateScrollBars();
    return true;
}

// ---------------------------------------------------------------------------------------
// Geometry. Positions along a row are sums of the plain column widths: a span covers
// exactly its columns, so this places every column where the span-aware widths draw it,
// also when a span's first column has scrolled out of view.

CGridCellPos CGridCtrl::GetTopLeftScrollingCell()
{
    if (m_topLeft.row >= 0 && m_topLeft.col >= 0)
        return m_topLeft;

    int col = m_fixedCols;
    const int hpos = GetScrollPosition(SB_HORZ);
    if (hpos > 0)
    {
        int sum = 0;
        while (col < m_colCount - 1 && sum < hpos)
            sum += m_colWidths[static_cast<size_t>(col++)];
    }

    // The top row by the rows' starts, found by halving: a scroll step must not cost a
    // walk over tens of thousands of rows.
    int row = m_fixedRows;
    const int vpos = GetScrollPosition(SB_VERT);
    m_topRowOffset = 0;
    if (vpos > 0 && m_rowCount - 1 > m_fixedRows)
    {
        RowStart(m_rowCount);
        const long long base = m_rowStarts[static_cast<size_t>(m_fixedRows)];
        const long long target = base + vpos;
        const auto first = m_rowStarts.begin();
        if (m_scrollByRows)
        {
            // The first row that starts at or below the position.
            row = static_cast<int>(std::lower_bound(first + m_fixedRows, first + (m_rowCount - 1), target) -
                                   first);
        }
        else
        {
            // The row the position lies in (it may start above it).
            row = static_cast<int>(std::upper_bound(first + m_fixedRows + 1, first + m_rowCount, target) -
                                   first) -
                  1;
            m_topRowOffset =
                static_cast<int>(std::min<long long>(0, m_rowStarts[static_cast<size_t>(row)] - target));
        }
    }
    m_topLeft = {row, col};
    return m_topLeft;
}

int CGridCtrl::GetTopRowOffset()
{
    GetTopLeftScrollingCell();
    return m_topRowOffset;
}

CGridCellRect CGridCtrl::GetVisibleScrollingRange(Rect* rect)
{
    const CGridCellPos topLeft = GetTopLeftScrollingCell();
    const Rect client = GetClientRect();

    int bottom = GetFixedRowHeight() + m_topRowOffset;
    int maxRow = topLeft.row;
    for (int row = topLeft.row; row < m_rowCount; ++row)
    {
        bottom += m_rowHeights[static_cast<size_t>(row)];
        maxRow = row;
        if (bottom >= client.bottom)
            break;
    }
    int right = GetFixedColumnWidth();
    int maxCol = topLeft.col;
    for (int col = topLeft.col; col < m_colCount; ++col)
    {
        right += m_colWidths[static_cast<size_t>(col)];
        maxCol = col;
        if (right >= client.right)
            break;
    }
    if (rect)
        *rect = {0, 0, std::min(right, client.right), std::min(bottom, client.bottom)};
    return {topLeft.row, topLeft.col, std::min(maxRow, m_rowCount - 1), std::min(maxCol, m_colCount - 1)};
}

CGridCellPos CGridCtrl::GetCellFromPoint(Point point, bool allowFixed)
{
    CGridCellPos cell;
    const CGridCellPos topLeft = GetTopLeftScrollingCell();
    if (!allowFixed && !InRange(topLeft.row, topLeft.col))
        return cell;

    const int fixedH = GetFixedRowHeight();
    if (point.y >= 0)
    {
        if (point.y < fixedH)
        {
            if (allowFixed)
            {
                int y = 0;
                for (int row = 0; row < m_fixedRows; ++row)
                {
                    y += m_rowHeights[static_cast<size_t>(row)];
                    if (point.y < y)
                    {
                        cell.row = row;
                        break;
                    }
                }
            }
        }
        else
        {
            int y = fixedH + m_topRowOffset;
            for (int row = topLeft.row; row < m_rowCount; ++row)
            {
                y += m_rowHeights[static_cast<size_t>(row)];
                if (point.y < y)
                {
                    cell.row = row;
                    break;
                }
            }
        }
    }

    const int fixedW = GetFixedColumnWidth();
    if (point.x >= 0)
    {
        if (point.x < fixedW)
        {
            if (allowFixed)
            {
                int x = 0;
                for (int col = 0; col < m_fixedCols; ++col)
                {
                    x += m_colWidths[static_cast<size_t>(col)];
                    if (point.x < x)
                    {
                        cell.col = col;
                        break;
                    }
                }
            }
        }
        else
        {
            int x = fixedW;
            for (int col = topLeft.col; col < m_colCount; ++col)
            {
                x += m_colWidths[static_cast<size_t>(col)];
                if (point.x < x)
                {
                    cell.col = col;
                    break;
                }
            }
        }
    }
    if (cell.row >= 0 && cell.col >= 0)
    {
        const CGridCellBase* hit = GetCell(cell.row, cell.col);
        if (hit && hit->IsMerged())
            cell.col = hit->GetMergeFirst();
    }
    return cell;
}

bool CGridCtrl::GetCellOrigin(int row, int col, Point* origin)
{
    if (!InRange(row, col))
        return false;
    const CGridCellPos topLeft = GetTopLeftScrollingCell();
    if (row >= m_fixedRows && row < topLeft.row)
        return false;
    if (col >= m_fixedCols && col < topLeft.col)
        return false;
    Point p;
    if (col < m_fixedCols)
    {
        for (int c = 0; c < col; ++c)
            p.x += m_colWidths[static_cast<size_t>(c)];
    }
    else
    {
        p.x = GetFixedColumnWidth();
        for (int c = topLeft.col; c < col; ++c)
            p.x += m_colWidths[static_cast<size_t>(c)];
    }
    if (row < m_fixedRows)
    {
        for (int r = 0; r < row; ++r)
            p.y += m_rowHeights[static_cast<size_t>(r)];
    }
    else
    {
        p.y = GetFixedRowHeight() + m_topRowOffset;
        for (int r = topLeft.row; r < row; ++r)
            p.y += m_rowHeights[static_cast<size_t>(r)];
    }
    if (origin)
        *origin = p;
    return true;
}

bool CGridCtrl::GetSpanOrigin(int row, int col, Point* origin)
{
    const CGridCellBase* cell = GetCell(row, col);
    if (!cell)
        return false;
    const CGridCellPos topLeft = GetTopLeftScrollingCell();
    if (row >= m_fixedRows && row < topLeft.row)
        return false;
    const int lastCol = cell->IsMerged() ? cell->GetMergeLast() : col;
    if (col >= m_fixedCols && lastCol < topLeft.col)
        return false;
    if (col < m_fixedCols || col >= topLeft.col)
        return GetCellOrigin(row, col, origin);
    // A span whose start has scrolled out begins left of the scrolling area.
    Point p;
    if (!GetCellOrigin(row, topLeft.col, &p))
        return false;
    for (int c = col; c < topLeft.col; ++c)
        p.x -= m_colWidths[static_cast<size_t>(c)];
    if (origin)
        *origin = p;
    return true;
}

bool CGridCtrl::GetCellRect(int row, int col, Rect* rect)
{
    const CGridCellBase* cell = GetCell(row, col);
    if (!cell)
        return false;
    if (cell->IsMerged() && GetCell(row, cell->GetMergeFirst()))
        col = cell->GetMergeFirst();
    Point origin;
    if (!GetSpanOrigin(row, col, &origin))
        return false;
    if (rect)
        *rect = {origin.x, origin.y, origin.x + GetColumnWidth(col, row) - 1,
                 origin.y + m_rowHeights[static_cast<size_t>(row)] - 1};
    return true;
}

bool CGridCtrl::GetUnmergedCellRect(int row, int col, Rect* rect)
{
    Point origin;
    if (!GetCellOrigin(row, col, &origin))
        return false;
    if (rect)
        *rect = {origin.x, origin.y, origin.x + m_colWidths[static_cast<size_t>(col)] - 1,
                 origin.y + m_rowHeights[static_cast<size_t>(row)] - 1};
    return true;
}

// ---------------------------------------------------------------------------------------
// Scrolling

void CGridCtrl::UpdateScrollBars()
{
    MarkTopLeftDirty();
    if (!m_allowDraw || !m_created)
        return;
    ReentryGuard guard(m_inSize);
    if (!guard.Entered())
        return;
    const Rect client = GetClientRect();
    if (client.Width() <= 0 || client.Height() <= 0)
        return;

    int width = client.Width();
    int height = client.Height();
    if (m_barsShown & 2)
        width += GetSystemMetrics(SM_CXVSCROLL) + GetSystemMetrics(SM_CXBORDER);
    if (m_barsShown & 1)
        height += GetSystemMetrics(SM_CYHSCROLL) + GetSystemMetrics(SM_CYBORDER);

    const int fixedH = GetFixedRowHeight();
    const int fixedW = GetFixedColumnWidth();
    int freeW = width - fixedW;
    int freeH = height - fixedH;
    if (freeW <= 0 || freeH <= 0)
    {
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        return;
    }
    const long long scrollH = GetVirtualHeight() - fixedH;
    const long long scrollW = GetVirtualWidth() - fixedW;
    bool needV = freeH < scrollH;
    if (needV)
        freeW -= GetSystemMetrics(SM_CXVSCROLL);
    const bool needH = freeW < scrollW;
    if (needH)
        freeH -= GetSystemMetrics(SM_CYHSCROLL);
    needV = freeH < scrollH;

    const int shown = (needH ? 1 : 0) | (needV ? 2 : 0);
    if ((shown & 1) != (m_barsShown & 1))
        setHorizontalScrollBarPolicy(needH ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    if ((shown & 2) != (m_barsShown & 2))
        setVerticalScrollBarPolicy(needV ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    m_barsShown = shown;

    auto clampInt = [](long long v) { return static_cast<int>(std::clamp<long long>(v, 0, INT_MAX)); };
    m_vScrollMax = needV ? clampInt(scrollH - 1) : 0;
    m_hScrollMax = needH ? clampInt(scrollW - 1) : 0;
    // A bar's range runs to maximum - page + 1, the last position that still fills a page.
    QScrollBar* hbar = horizontalScrollBar();
    const int hpage = m_hScrollMax > 0 ? std::max(0, freeW) : 0;
    hbar->setPageStep(hpage);
    hbar->setRange(0, m_hScrollMax > 0 ? std::max(0, m_hScrollMax - hpage + 1) : 0);
    QScrollBar* vbar = verticalScrollBar();
    const int vpage = m_vScrollMax > 0 ? std::max(0, freeH) : 0;
    vbar->setPageStep(vpage);
    vbar->setRange(0, m_vScrollMax > 0 ? std::max(0, m_vScrollMax - vpage + 1) : 0);
    MarkTopLeftDirty();
}

int CGridCtrl::GetScrollPosition(int bar, bool trackPosition) const
{
    const QScrollBar* sb = bar == SB_VERT ? verticalScrollBar() : horizontalScrollBar();
    return trackPosition ? sb->sliderPosition() : sb->value();
}

void CGridCtrl::SetScrollPosition(int bar, int position)
{
    MarkTopLeftDirty();
    QScrollBar* sb = bar == SB_VERT ? verticalScrollBar() : horizontalScrollBar();
    sb->setValue(position);
}

void CGridCtrl::OnScrollAction(int bar, int action)
{
    int request;
    switch (action)
    {
    case QAbstractSlider::SliderSingleStepAdd:
        request = SB_LINEDOWN;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        request = SB_LINEUP;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        request = SB_PAGEDOWN;
        break;
    case QAbstractSlider::SliderPageStepSub:
        request = SB_PAGEUP;
        break;
    case QAbstractSlider::SliderToMinimum:
        request = SB_TOP;
        break;
    case QAbstractSlider::SliderToMaximum:
        request = SB_BOTTOM;
        break;
    case QAbstractSlider::SliderMove:
        request = SB_THUMBTRACK;
        break;
    default:
        return;
    }
    QScrollBar* sb = bar == SB_VERT ? verticalScrollBar() : horizontalScrollBar();
    const int thumb = sb->sliderPosition();
    // The bar moved its slider for the action already; our own step rules decide.
    sb->setSliderPosition(sb->value());
    if (bar == SB_VERT)
        OnVScroll(request, thumb);
    else
        OnHScroll(request, thumb);
}

void CGridCtrl::OnHScroll(int request, int thumbPosition)
{
    HideTip();
    // The editor would stay where it is while the cells move under it: its text goes to
    // the cell it was opened on first.
    if (request != SB_ENDSCROLL)
        EndEditing();
    const int pos = GetScrollPosition(SB_HORZ);
    const CGridCellPos topLeft = GetTopLeftScrollingCell();
    const Rect client = GetClientRect();
    const int fixedW = GetFixedColumnWidth();
    const Rect scrolling{fixedW, 0, client.right, client.bottom};
    switch (request)
    {
    case SB_LINELEFT:
        if (pos > 0 && topLeft.col > m_fixedCols)
        {
            int col = topLeft.col - 1;
            while (col > m_fixedCols && m_colWidths[static_cast<size_t>(col)] <= 0)
                --col;
            SetScrollPosition(SB_HORZ, std::max(0, pos - m_colWidths[static_cast<size_t>(col)]));
            InvalidateClient(scrolling);
        }
        break;
    case SB_LINERIGHT:
        if (pos < m_hScrollMax)
        {
            int col = topLeft.col;
            while (col < m_colCount && m_colWidths[static_cast<size_t>(col)] <= 0)
                ++col;
            if (col >= m_colCount)
                break;
            SetScrollPosition(SB_HORZ, pos + m_colWidths[static_cast<size_t>(col)]);
            if (GetScrollPosition(SB_HORZ) != pos)
                InvalidateClient(scrolling);
        }
        break;
    case SB_PAGELEFT:
        if (pos > 0)
        {
            SetScrollPosition(SB_HORZ, std::max(0, pos - (client.Width() - fixedW)));
            InvalidateClient(scrolling);
        }
        break;
    case SB_PAGERIGHT:
        if (pos < m_hScrollMax)
        {
            SetScrollPosition(SB_HORZ, std::min(m_hScrollMax, pos + (client.Width() - fixedW)));
            InvalidateClient(scrolling);
        }
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        SetScrollPosition(SB_HORZ, thumbPosition);
        if (GetTopLeftScrollingCell() != topLeft || GetScrollPosition(SB_HORZ) != pos)
            InvalidateClient(scrolling);
        break;
    case SB_LEFT:
        if (pos > 0)
        {
            SetScrollPosition(SB_HORZ, 0);
            InvalidateAll();
        }
        break;
    case SB_RIGHT:
        if (pos < m_hScrollMax)
        {
            SetScrollPosition(SB_HORZ, m_hScrollMax);
            InvalidateAll();
        }
        break;
    default:
        break;
    }
}

void CGridCtrl::OnVScroll(int request, int thumbPosition)
{
    HideTip();
    // The editor would stay where it is while the cells move under it: its text goes to
    // the cell it was opened on first.
    if (request != SB_ENDSCROLL)
        EndEditing();
    const int pos = GetScrollPosition(SB_VERT);
    const CGridCellPos topLeft = GetTopLeftScrollingCell();
    const int offset = m_topRowOffset;
    const Rect client = GetClientRect();
    const int fixedH = GetFixedRowHeight();
    const Rect scrolling{0, fixedH, client.right, client.bottom};
    const int maxLine = m_scrollByRows ? INT_MAX : 15;
    switch (request)
    {
    case SB_LINEUP:
        if (pos > 0 && topLeft.row == m_fixedRows && offset < 0)
        {
            // The first row is partly hidden: bring it back rather than stopping short.
            SetScrollPosition(SB_VERT, std::max(0, pos - std::min(-offset, maxLine)));
            InvalidateClient(scrolling);
        }
        else if (pos > 0 && topLeft.row > m_fixedRows)
        {
            int row = topLeft.row - 1;
            while (row > m_fixedRows && m_rowHeights[static_cast<size_t>(row)] <= 0)
                --row;
            const int step = std::min(m_rowHeights[static_cast<size_t>(row)], maxLine);
            SetScrollPosition(SB_VERT, std::max(0, pos - step));
            InvalidateClient(scrolling);
        }
        break;
    case SB_LINEDOWN:
        if (pos < m_vScrollMax)
        {
            int row = topLeft.row;
            while (row < m_rowCount && m_rowHeights[static_cast<size_t>(row)] <= 0)
                ++row;
            if (row >= m_rowCount)
                break;
            SetScrollPosition(SB_VERT, pos + std::min(m_rowHeights[static_cast<size_t>(row)], maxLine));
            if (GetScrollPosition(SB_VERT) != pos)
                InvalidateClient(scrolling);
        }
        break;
    case SB_PAGEUP:
        if (pos > 0)
        {
            SetScrollPosition(SB_VERT, std::max(0, pos - (client.Height() - fixedH)));
            InvalidateClient(scrolling);
        }
        break;
    case SB_PAGEDOWN:
        if (pos < m_vScrollMax)
        {
            SetScrollPosition(SB_VERT, std::min(m_vScrollMax, pos + (client.Height() - fixedH)));
            InvalidateClient(scrolling);
        }
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        SetScrollPosition(SB_VERT, thumbPosition);
        if (!m_scrollByRows || GetTopLeftScrollingCell() != topLeft)
            InvalidateClient(scrolling);
        break;
    case SB_TOP:
        if (pos > 0)
        {
            SetScrollPosition(SB_VERT, 0);
            InvalidateAll();
        }
        break;
    case SB_BOTTOM:
        if (pos < m_vScrollMax)
        {
            SetScrollPosition(SB_VERT, m_vScrollMax);
            InvalidateAll();
        }
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------
// Window

void CGridCtrl::InvalidateAll()
{
    if (m_created)
        viewport()->update();
}

void CGridCtrl::InvalidateClient(const Rect& rect)
{
    if (m_created && !rect.IsEmpty())
        viewport()->update(QRect(rect.left, rect.top, rect.Width(), rect.Height()));
}

Canvas* CGridCtrl::GetMeasureCanvas()
{
    if (!m_created || !CanMeasureText())
        return nullptr;
    if (!m_measureCanvas)
        m_measureCanvas = std::make_unique<MeasureCanvas>();
    return m_measureCanvas.get();
}

void CGridCtrl::SetCellCursor(Qt::CursorShape shape)
{
    viewport()->setCursor(shape);
}

void CGridCtrl::resizeEvent(QResizeEvent* event)
{
    if (m_created && !m_dropTarget.IsRegistered())
        m_dropTarget.Register(this);
    EndEditing();
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CGridCtrl::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
    {
        OnSysColorChange();
    }
    else if (event->type() == QEvent::FontChange)
    {
        const QFont f = font();
        LogFont lf;
        lf.height =
            -(f.pixelSize() > 0 ? f.pixelSize() : static_cast<int>(f.pointSizeF() * 96.0 / 72.0 + 0.5));
        lf.weight = f.weight();
        lf.italic = f.italic();
        lf.underline = f.underline();
        lf.strikeOut = f.strikeOut();
        lf.faceName = f.family();
        for (auto& cell : m_defaultCells)
            cell->SetFont(&lf);
        if (m_allowDraw)
            InvalidateAll();
    }
}

void CGridCtrl::OnSysColorChange()
{
    const ColorRef windowText = GetSysColor(COLOR_WINDOWTEXT);
    const ColorRef window = GetSysColor(COLOR_WINDOW);
    for (auto& cell : m_defaultCells)
    {
        if (cell->GetTextClr() == m_sysWindowText)
            cell->SetTextClr(windowText);
        if (cell->GetBackClr() == m_sysWindow)
            cell->SetBackClr(window);
    }
    const ColorRef shadow = GetSysColor(COLOR_BTNSHADOW);
    if (m_outsideColor == m_sysButtonShadow)
        m_outsideColor = shadow;
    m_sysWindowText = windowText;
    m_sysWindow = window;
    m_sysButtonFace = GetSysColor(COLOR_BTNFACE);
    m_sysButtonShadow = shadow;
}
