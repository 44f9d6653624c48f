#include "GridTestSupport.h"

#include <QRandomGenerator>
#include <QScrollBar>

#include <algorithm>
#include <numeric>

using namespace Platform;
using Note = NotifyRecorder::Note;

namespace
{
class GridSelectionTest : public GridFixture
{
protected:
    void SetUp() override
    {
        GridFixture::SetUp();
        grid->SetNotifyTarget(&owner);
    }
    void TearDown() override { grid->SetNotifyTarget(nullptr); }

    // The selected cells as the cells' bits tell, row by row.
    std::vector<std::pair<int, int>> Selected() const
    {
        std::vector<std::pair<int, int>> cells;
        for (int r = 0; r < grid->GetRowCount(); ++r)
            for (int c = 0; c < grid->GetColumnCount(); ++c)
                if (grid->IsCellSelected(r, c))
                    cells.emplace_back(r, c);
        return cells;
    }
    // The counts the grid keeps, of all and of each column, must always be the real ones.
    void ExpectCountIsReal(const char* where) const
    {
        const auto selected = Selected();
        EXPECT_EQ(grid->GetSelectedCount(), static_cast<int>(selected.size())) << where;
        for (int c = 0; c < grid->GetColumnCount() + 1; ++c)
            EXPECT_EQ(grid->GetSelectedCountInColumn(c),
                      std::count_if(selected.begin(), selected.end(),
                                    [c](const auto& cell) { return cell.second == c; }))
                << where << ", column " << c;
    }

    NotifyRecorder owner;
};

using Cells = std::vector<std::pair<int, int>>;
} // namespace

TEST_F(GridSelectionTest, FocusIsAnnouncedBeforeTheStateBitsMove)
{
    Build(5, 4, 1, 1);
    bool focusedWhenTold = true;
    owner.hook = [&](const GRIDNOTIFY& n)
    {
        if (n.code == Notify::GRIDN_FOCUSCHANGED && n.row >= 0)
            focusedWhenTold = grid->GetItemState(n.row, n.column) & CELLSTATE_FOCUSED;
    };
    EXPECT_EQ(grid->SetFocusRowCol(2, 2), (CGridCellPos{-1, -1}));
    EXPECT_FALSE(focusedWhenTold);
    EXPECT_TRUE(grid->GetItemState(2, 2) & CELLSTATE_FOCUSED);

    // Same cell: nothing. A fixed cell: raised into the scrolling area. None: still told.
    owner.Clear();
    grid->SetFocusRowCol(2, 2);
    EXPECT_TRUE(owner.received.empty());
    EXPECT_EQ(grid->SetFocusRowCol(0, 0), (CGridCellPos{2, 2}));
    EXPECT_FALSE(grid->GetItemState(2, 2) & CELLSTATE_FOCUSED);
    EXPECT_TRUE(grid->GetItemState(1, 1) & CELLSTATE_FOCUSED);
    grid->SetFocusRowCol(-1, -1);
    EXPECT_EQ(owner.Notes(),
              (std::vector<Note>{{Notify::GRIDN_FOCUSCHANGED, 1, 1}, {Notify::GRIDN_FOCUSCHANGED, -1, -1}}));
    EXPECT_FALSE(grid->GetItemState(1, 1) & CELLSTATE_FOCUSED);
}

TEST_F(GridSelectionTest, RangesReplaceAddAndDeselectWithinTheScrollingArea)
{
    Build(6, 5, 1, 1);
    // Bounds reaching into the fixed cells are raised.
    grid->SetSelectedRange(0, 0, 2, 2);
    EXPECT_EQ(Selected(), (Cells{{1, 1}, {1, 2}, {2, 1}, {2, 2}}));
    ExpectCountIsReal("first range");

    // A new range replaces the old one...
    grid->SetSelectedRange(3, 3, 3, 4);
    EXPECT_EQ(Selected(), (Cells{{3, 3}, {3, 4}}));
    // ...unless it is added (one step only).
    grid->SelectRows({5, 2}, false, true, true);
    EXPECT_EQ(Selected(), (Cells{{3, 3}, {3, 4}, {5, 1}, {5, 2}, {5, 3}, {5, 4}}));
    grid->SetSelectedRange(5, 1, 5, 1);
    EXPECT_EQ(Selected(), (Cells{{5, 1}}));
    ExpectCountIsReal("after adding");

    // Deselecting takes cells out of a range; the bounding range follows.
    grid->SetSelectedRange(1, 1, 4, 4);
    grid->SetSelectedRange(2, 2, 3, 3, false, false);
    EXPECT_EQ(Selected().size(), 12u);
    EXPECT_EQ(grid->GetSelectedCellRange(), (CGridCellRect{1, 1, 4, 4}));
    ExpectCountIsReal("after deselecting");

    grid->ClearSelection();
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(grid->GetFocusCell(), (CGridCellPos{-1, -1}));
    EXPECT_EQ(grid->GetSelectedCellRange(), (CGridCellRect{6, 5, -1, -1}));
    ExpectCountIsReal("cleared");
}

TEST_F(GridSelectionTest, SelectAllAndSelectRowsNotifyAndCoverTheScrollingCells)
{
    Build(5, 4, 1, 1);
    grid->SetFocusRowCol(2, 2);
    owner.Clear();
    grid->SelectAllCells();
    EXPECT_EQ(owner.Notes(),
              (std::vector<Note>{{Notify::GRIDN_SELCHANGING, -1, -1}, {Notify::GRIDN_SELCHANGED, 2, 2}}));
    EXPECT_EQ(grid->GetSelectedCount(), 4 * 3);
    EXPECT_FALSE(grid->IsCellSelected(0, 1));
    EXPECT_FALSE(grid->IsCellSelected(1, 0));

    // Rows from a fixed row, beyond the grid or beyond the last column select nothing.
    grid->ClearSelection();
    grid->SelectRows({0, 1});
    grid->SelectRows({9, 1});
    grid->SelectRows({2, 9});
    EXPECT_EQ(grid->GetSelectedCount(), 0);
    grid->SelectRows({3, 2});
    EXPECT_EQ(Selected(), (Cells{{3, 1}, {3, 2}, {3, 3}}));
}

TEST_F(GridSelectionTest, TheCountStaysRealWhenCellsAndRowsGoOrAreReplaced)
{
    Build(6, 4, 1, 0);
    grid->SetSelectedRange(1, 0, 5, 3);
    ExpectCountIsReal("selected");
    grid->SetCellType(2, 1, &MakeGridCell<CGridCell>); // keeps the selected bit
    ExpectCountIsReal("cell type");
    std::unique_ptr<CGridCellBase> fresh = std::make_unique<CGridCell>();
    ASSERT_TRUE(grid->SetCell(3, 1, fresh)); // an unselected cell takes a selected one's place
    ExpectCountIsReal("cell swapped");
    fresh->SetState(CELLSTATE_SELECTED);
    ASSERT_TRUE(grid->SetCell(1, 0, fresh)); // and back: both selected
    ExpectCountIsReal("cell swapped back");

    // Shrinking drops the selection beyond the new size; a grid of one column neither
    // crashes on rules that look at column 1 nor keeps stale bounds.
    grid->SetRowCount(3);
    ExpectCountIsReal("rows shrunk");
    grid->SetColumnCount(1);
    ExpectCountIsReal("columns shrunk");
    EXPECT_EQ(grid->GetSelectedCellRange(), (CGridCellRect{1, 0, 2, 0}));
    EXPECT_EQ(grid->GetRangeText({1, 0, 2, 0}), QStringLiteral("\t\r\n\r\n"));
    grid->SetSelectedRange(1, 0, 2, 0, false, false);
    EXPECT_EQ(grid->GetSelectedCount(), 0);
    grid->SetColumnCount(4);
    grid->SetRowCount(6);
    grid->SelectAllCells();
    ExpectCountIsReal("regrown");
}

TEST_F(GridSelectionTest, ListModeClearsSelectionFocusAndSortColumn)
{
    Build(5, 4, 1, 0);
    grid->SetSelectedRange(1, 1, 2, 2);
    grid->SetFocusRowCol(2, 2);
    grid->SetSortColumn(2);
    grid->SetListMode(true);
    EXPECT_TRUE(grid->GetListMode());
    EXPECT_EQ(grid->GetSelectedCount(), 0);
    EXPECT_EQ(grid->GetFocusCell(), (CGridCellPos{-1, -1}));
    EXPECT_EQ(grid->GetSortColumn(), -1);
}

TEST_F(GridSelectionTest, EnsureVisibleBringsTheWholeCellIntoView)
{
    for (const bool byRows : {true, false})
    {
        Build(60, 14, 1, 1, 20, 50);
        grid->SetRowHeight(30, 0); // hidden rows are not counted as steps
        grid->SetScrollByRows(byRows);
        grid->UpdateScrollBars();
        const Rect client = grid->GetClientRect();
        for (const CGridCellPos target : {CGridCellPos{55, 12}, CGridCellPos{3, 2}, CGridCellPos{40, 13}})
        {
            grid->EnsureVisible(target.row, target.col);
            Rect rect;
            ASSERT_TRUE(grid->GetCellRect(target.row, target.col, &rect)) << byRows << " " << target.row;
            EXPECT_GE(rect.top, grid->GetFixedRowHeight()) << byRows << " " << target.row;
            EXPECT_LT(rect.bottom, client.bottom) << byRows << " " << target.row;
            EXPECT_GE(rect.left, grid->GetFixedColumnWidth()) << byRows << " " << target.col;
            EXPECT_LT(rect.right, client.right) << byRows << " " << target.col;
        }
    }
    // A partly hidden top row is shown whole when the cell above is wanted.
    grid->OnVScroll(SB_THUMBPOSITION, 207);
    ASSERT_LT(grid->GetTopRowOffset(), 0);
    const int top = grid->GetTopLeftScrollingCell().row;
    grid->EnsureVisible(top - 2, 3);
    EXPECT_EQ(grid->GetTopLeftScrollingCell().row, top - 2);
    EXPECT_EQ(grid->GetTopRowOffset(), 0);

    // Suspended drawing: nothing moves.
    const int pos = grid->GetScrollPosition(SB_VERT);
    grid->SetRedraw(false);
    grid->EnsureVisible(58, 3);
    EXPECT_EQ(grid->GetScrollPosition(SB_VERT), pos);
    grid->SetRedraw(true);
}

TEST_F(GridSelectionTest, ScrollingByPixelsAFarCellIntoViewMovesTheBarOnce)
{
    Build(2001, 4, 1, 0, 22, 50);
    grid->SetScrollByRows(false);
    grid->UpdateScrollBars();
    int moves = 0;
    QObject::connect(grid->verticalScrollBar(), &QScrollBar::valueChanged, [&moves] { ++moves; });
    const Rect client = grid->GetClientRect();
    // Down from the top, up from the bottom, and down from the middle.
    for (const int target : {1990, 3, 1000})
    {
        moves = 0;
        grid->EnsureVisible(target, 1);
        EXPECT_LE(moves, 2) << target;
        Rect rect;
        ASSERT_TRUE(grid->GetCellRect(target, 1, &rect)) << target;
        EXPECT_GE(rect.top, grid->GetFixedRowHeight()) << target;
        EXPECT_LT(rect.bottom, client.bottom) << target;
    }
}

namespace
{
// Distinct keys in shuffled order in column 1; every row's height and data tell its key.
std::vector<QString> FillShuffled(CGridCtrl* grid, int rows)
{
    std::vector<QString> keys;
    for (int i = 0; i < rows; ++i)
        keys.push_back(QStringLiteral("k%1").arg(i * 7919 % 1000, 3, 10, QLatin1Char('0')));
    std::shuffle(keys.begin(), keys.end(), std::mt19937(42));
    grid->SetRowCount(rows + 1);
    for (int i = 0; i < rows; ++i)
    {
        grid->SetItemText(i + 1, 1, keys[static_cast<size_t>(i)]);
        grid->SetItemText(i + 1, 2, QStringLiteral("row of ") + keys[static_cast<size_t>(i)]);
        grid->SetItemData(i + 1, 1, keys[static_cast<size_t>(i)].mid(1).toInt());
        grid->SetRowHeight(i + 1, 10 + keys[static_cast<size_t>(i)].mid(1).toInt() % 17);
    }
    return keys;
}

int CompareData(CGridCellBase* a, CGridCellBase* b, intptr_t data)
{
    EXPECT_EQ(data, 77);
    return a && b ? static_cast<int>(a->GetData() - b->GetData()) : 0;
}
} // namespace

TEST_F(GridSelectionTest, SortingMovesWholeRowsAsAStableSortOfDistinctKeysWould)
{
    Build(1, 4, 1, 0);
    for (const bool ascending : {true, false})
    {
        std::vector<QString> keys = FillShuffled(grid, 300);
        // A selected row travels with its cells; the focus is cleared.
        const QString selectedKey = grid->GetItemText(17, 1);
        grid->SelectRows({17, 1});
        grid->SetFocusRowCol(5, 1);

        ASSERT_TRUE(grid->SortByText(1, ascending));
        std::stable_sort(keys.begin(), keys.end(),
                         [&](const QString& a, const QString& b) { return ascending ? a < b : b < a; });
        for (int i = 0; i < 300; ++i)
        {
            const int row = i + 1;
            const QString& key = keys[static_cast<size_t>(i)];
            ASSERT_EQ(grid->GetItemText(row, 1), key) << i;
            EXPECT_EQ(grid->GetItemText(row, 2), QStringLiteral("row of ") + key);
            EXPECT_EQ(grid->GetRowHeight(row), 10 + key.mid(1).toInt() % 17);
            EXPECT_EQ(dynamic_cast<CGridCell*>(grid->GetCell(row, 2))->GetRow(), row);
        }
        EXPECT_EQ(grid->GetSortColumn(), 1);
        EXPECT_EQ(grid->GetSortAscending(), ascending);
        EXPECT_EQ(grid->GetFocusCell(), (CGridCellPos{-1, -1}));
        const CGridCellRect selection = grid->GetSelectedCellRange();
        ASSERT_EQ(selection.minRow, selection.maxRow);
        EXPECT_EQ(grid->GetItemText(selection.minRow, 1), selectedKey);
        grid->ClearSelection();
    }

    // A compare function of the caller's, on the cells' data values, with its argument.
    FillShuffled(grid, 50);
    ASSERT_TRUE(grid->SortItems(&CompareData, 1, true, 77));
    for (int row = 2; row <= 50; ++row)
        EXPECT_LT(grid->GetItemData(row - 1, 1), grid->GetItemData(row, 1));
}

TEST_F(GridSelectionTest, ArrangingRowsMovesThemWholeToTheOrderGiven)
{
    Build(1, 4, 1, 0);
    const std::vector<QString> keys = FillShuffled(grid, 300);
    const QString selectedKey = grid->GetItemText(17, 1);
    grid->SelectRows({17, 1});
    grid->SetFocusRowCol(5, 1);
    // Where the rows start is worked out once here, and must follow the move.
    grid->SetScrollByRows(false);
    grid->SetScrollPosition(SB_VERT, 2000);
    ASSERT_GT(grid->GetTopLeftScrollingCell().row, 3);

    // The order of the keys, descending, as a caller that knows it gives it.
    std::vector<int> order(300);
    std::iota(order.begin(), order.end(), 1);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return keys[size_t(b - 1)] < keys[size_t(a - 1)]; });
    ASSERT_TRUE(grid->ArrangeRows(order, 2, false));
    for (int i = 0; i < 300; ++i)
    {
        const int row = i + 1;
        const QString& key = keys[size_t(order[size_t(i)] - 1)];
        ASSERT_EQ(grid->GetItemText(row, 1), key) << i;
        EXPECT_EQ(grid->GetItemText(row, 2), QStringLiteral("row of ") + key);
        EXPECT_EQ(grid->GetRowHeight(row), 10 + key.mid(1).toInt() % 17);
        EXPECT_EQ(dynamic_cast<CGridCell*>(grid->GetCell(row, 2))->GetRow(), row);
    }
    EXPECT_EQ(grid->GetSortColumn(), 2);
    EXPECT_FALSE(grid->GetSortAscending());
    EXPECT_EQ(grid->GetFocusCell(), (CGridCellPos{-1, -1}));
    ExpectCountIsReal("arranged");
    // The selected row went with its cells, and a new selection elsewhere replaces it:
    // the grid still knows where the selected cells are.
    const Cells selected = Selected();
    ASSERT_EQ(selected.size(), 4u);
    const int selectedRow = selected.front().first;
    EXPECT_EQ(grid->GetItemText(selectedRow, 1), selectedKey);
    const int otherRow = selectedRow > 150 ? 2 : 299;
    grid->SetSelectedRange(otherRow, 0, otherRow, 3);
    EXPECT_EQ(Selected(), (Cells{{otherRow, 0}, {otherRow, 1}, {otherRow, 2}, {otherRow, 3}}));
    ExpectCountIsReal("selected anew");
    // Scrolling goes by the rows' new heights.
    for (int row = 1, start = 0; row <= 60; start += grid->GetRowHeight(row), ++row)
    {
        grid->SetScrollPosition(SB_VERT, start);
        ASSERT_EQ(grid->GetTopLeftScrollingCell().row, row) << start;
    }

    // An order that does not name every scrolling row once moves nothing.
    std::vector<int> shortOne(order.begin(), order.end() - 1);
    std::vector<int> twice = order;
    twice[1] = twice[0];
    std::vector<int> fixedRow = order;
    fixedRow[0] = 0;
    std::vector<int> beyond = order;
    beyond[0] = 301;
    for (const std::vector<int>& bad : {std::vector<int>{}, shortOne, twice, fixedRow, beyond})
    {
        EXPECT_FALSE(grid->ArrangeRows(bad, 1, true)) << bad.size();
        for (int i = 0; i < 300; ++i)
            ASSERT_EQ(grid->GetItemText(i + 1, 1), keys[size_t(order[size_t(i)] - 1)]) << i;
        EXPECT_EQ(grid->GetSortColumn(), 2);
    }
}

TEST_F(GridSelectionTest, SortingSurvivesEqualAndSelfContradictingComparisons)
{
    Build(1, 3, 1, 0);
    FillShuffled(grid, 120);
    std::vector<QString> before;
    for (int row = 1; row <= 120; ++row)
        before.push_back(grid->GetItemText(row, 1));

    // All equal: no row moves.
    ASSERT_TRUE(grid->SortItems([](CGridCellBase*, CGridCellBase*, intptr_t) { return 0; }, 1, true, 0));
    for (int row = 1; row <= 120; ++row)
        EXPECT_EQ(grid->GetItemText(row, 1), before[static_cast<size_t>(row - 1)]);

    // Answers at random: the sort ends, and every row is still there once.
    for (const bool ascending : {true, false})
    {
        ASSERT_TRUE(grid->SortItems([](CGridCellBase*, CGridCellBase*, intptr_t)
                                    { return static_cast<int>(QRandomGenerator::global()->bounded(3)) - 1; },
                                    1, ascending, 0));
        std::vector<QString> after;
        for (int row = 1; row <= 120; ++row)
            after.push_back(grid->GetItemText(row, 1));
        std::sort(after.begin(), after.end());
        std::vector<QString> expected = before;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(after, expected);
    }

    EXPECT_FALSE(grid->SortByText(3, true));
    EXPECT_FALSE(grid->SortRowRange(&CGridCtrl::CompareCellText, 1, true, 0, 5, 5));
    grid->SetRowCount(2);
    EXPECT_FALSE(grid->SortByText(1, true)); // one scrolling row
}

TEST(GridCompareCellText, ComparesUtf16CodeUnits)
{
    struct Case
    {
        QString a;
        QString b;
        int sign;
    } cases[] = {
        {"a", "b", -1},
        {"b", "a", 1},
        {"ab", "a", 1},
        {"", "", 0},
        {"B", "a", -1},
        // A surrogate pair sorts below U+FFFF by its code units.
        {QString::fromUtf16(u"\U00010000"), QString::fromUtf16(u"\uFFFF"), -1},
    };
    for (const Case& c : cases)
    {
        CGridCell a;
        CGridCell b;
        a.SetText(c.a);
        b.SetText(c.b);
        const int r = CGridCtrl::CompareCellText(&a, &b, 0);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a.toStdString() << " " << c.b.toStdString();
    }
    CGridCell a;
    a.SetText(QStringLiteral("x"));
    EXPECT_EQ(CGridCtrl::CompareCellText(&a, nullptr, 0), 0);
}

TEST_F(GridSelectionTest, AChangeInTheSortColumnRemovesTheSortArrow)
{
    Build(4, 3, 1, 0);
    grid->SetSortColumn(2);
    grid->SetItemText(1, 1, QStringLiteral("other column"));
    EXPECT_EQ(grid->GetSortColumn(), 2);
    grid->SetItemData(2, 2, 5);
    EXPECT_EQ(grid->GetSortColumn(), -1);
    EXPECT_TRUE(grid->GetItemState(2, 2) & CELLSTATE_MODIFIED);
    EXPECT_TRUE(grid->GetModified());
}

namespace
{
class PickyCell : public CGridCell
{
public:
    bool ValidateEdit(const QString& text) override { return !text.contains(u'!'); }
};
} // namespace

TEST_F(GridSelectionTest, ReplaceCellTextAsksTheOwnerAndTheCell)
{
    Build(4, 3, 1, 0);
    grid->SetCellType(1, 2, &MakeGridCell<PickyCell>);
    for (int c = 0; c < 3; ++c)
        grid->SetItemText(1, c, QStringLiteral("old"));
    grid->SetItemState(1, 0, grid->GetItemState(1, 0) | CELLSTATE_READONLY);
    grid->SetSortColumn(1);

    struct Case
    {
        int col;
        QString text;
        std::vector<std::pair<int, intptr_t>> replies;
        QString result;
        std::vector<int> codes;
    } cases[] = {
        {0, "new", {}, "old", {}},                                                               // read-only
        {1, "new", {{Notify::GRIDN_BEGINLABELEDIT, -1}}, "old", {Notify::GRIDN_BEGINLABELEDIT}}, // refused
        {1,
         "new",
         {{Notify::GRIDN_ENDLABELEDIT, -1}},
         "old",
         {Notify::GRIDN_BEGINLABELEDIT, Notify::GRIDN_ENDLABELEDIT}},
        {2, "new!", {}, "old", {Notify::GRIDN_BEGINLABELEDIT}}, // the cell refuses
        {1, "old", {}, "old", {Notify::GRIDN_BEGINLABELEDIT}},  // no change
        {1, "new", {}, "new", {Notify::GRIDN_BEGINLABELEDIT, Notify::GRIDN_ENDLABELEDIT}},
    };
    for (const Case& c : cases)
    {
        owner.Clear();
        owner.replies = c.replies;
        grid->ReplaceCellText(1, c.col, c.text);
        EXPECT_EQ(grid->GetItemText(1, c.col), c.result) << c.text.toStdString() << c.col;
        std::vector<int> codes;
        for (const Note& n : owner.Notes())
            codes.push_back(n.code);
        EXPECT_EQ(codes, c.codes) << c.text.toStdString() << c.col;
    }
    EXPECT_EQ(grid->GetSortColumn(), -1);
}
