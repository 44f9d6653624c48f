#include "GridTestSupport.h"

#include "grid/GridCellCovered.h"
#include "platform/gui/SystemLook.h"

using namespace Platform;

TEST_F(GridFixture, CountsGrowShrinkAndKeepFixedCountsInside)
{
    Build(5, 3, 1, 1);
    EXPECT_TRUE(grid->SetRowCount(5));
    EXPECT_TRUE(grid->SetRowCount(0));
    EXPECT_EQ(grid->GetFixedRowCount(), 0);
    EXPECT_EQ(grid->GetCell(0, 0), nullptr);

    // Growing the fixed count past the rows first makes the rows, all fixed.
    ASSERT_TRUE(grid->SetFixedRowCount(2));
    EXPECT_EQ(grid->GetRowCount(), 2);
    for (int col = 0; col < 3; ++col)
        EXPECT_TRUE(grid->GetItemState(1, col) & CELLSTATE_FIXEDROW) << col;
    EXPECT_TRUE(grid->GetItemState(1, 0) & CELLSTATE_FIXEDCOL);

    // Rows made by a count take the normal default height; new columns the fixed-column
    // default width; an inserted row without heading the fixed-row default height.
    grid->GetDefaultCell(false, false)->SetHeight(17);
    grid->GetDefaultCell(false, true)->SetWidth(33);
    grid->GetDefaultCell(true, false)->SetHeight(29);
    grid->SetRowCount(4);
    EXPECT_EQ(grid->GetRowHeight(3), 17);
    grid->SetColumnCount(4);
    EXPECT_EQ(grid->GetColumnWidth(3), 33);
    EXPECT_EQ(grid->GetRowHeight(grid->InsertRow(QString())), 29);

    // A row ceasing to be fixed shows normal colours, not white on white.
    grid->SetFixedRowCount(1);
    EXPECT_FALSE(grid->GetItemState(1, 2) & CELLSTATE_FIXED);
    EXPECT_EQ(grid->GetCell(1, 2)->GetTextClr(), grid->GetDefaultCell(false, false)->GetTextClr());
    EXPECT_NE(grid->GetCell(1, 2)->GetTextClr(), grid->GetCell(1, 2)->GetBackClr());
    EXPECT_EQ(grid->GetRowHeight(-1), -1);
    EXPECT_FALSE(grid->SetRowHeight(0, -1));
    EXPECT_FALSE(grid->SetColumnWidth(9, 10));
}

TEST_F(GridFixture, KeptRowsComeBackAsTheyWereWithoutSelectionOrSpan)
{
    Build(6, 3, 1, 0);
    grid->SetKeepRemovedRows(true);
    CGridCellBase* kept = grid->GetCell(4, 1);
    grid->SetItemText(4, 1, QStringLiteral("four"));
    grid->SetItemData(4, 1, 44);
    grid->MergeColumns(4, 0, 2);
    grid->SetSelectedRange(3, 0, 5, 2);
    ASSERT_EQ(grid->GetSelectedCount(), 9);

    // Gone: nothing of them stays selected.
    grid->SetRowCount(3);
    EXPECT_EQ(grid->GetSelectedCount(), 0);
    EXPECT_EQ(grid->GetCell(4, 1), nullptr);

    // Back at their places: the same cells, with their texts and data, at their
    // coordinates, the default height, no span and no selection.
    grid->GetDefaultCell(false, false)->SetHeight(17);
    grid->SetRowCount(6);
    ASSERT_EQ(grid->GetCell(4, 1), kept);
    EXPECT_EQ(grid->GetItemText(4, 1), "four");
    EXPECT_EQ(grid->GetItemData(4, 1), 44);
    EXPECT_EQ(dynamic_cast<CGridCell*>(kept)->GetRow(), 4);
    EXPECT_FALSE(kept->IsMerged());
    EXPECT_EQ(grid->GetRowHeight(4), 17);
    EXPECT_EQ(grid->GetSelectedCount(), 0);
    for (int row = 3; row < 6; ++row)
        for (int col = 0; col < 3; ++col)
            EXPECT_FALSE(grid->IsCellSelected(row, col)) << row << "," << col;
    // More rows than were kept: new cells after them.
    grid->SetRowCount(8);
    EXPECT_NE(grid->GetCell(7, 2), nullptr);
    EXPECT_EQ(grid->GetItemText(7, 1), "");

    // A change of the column count, or keep turned off, frees them: new rows are new.
    grid->SetRowCount(3);
    grid->SetColumnCount(4);
    grid->SetRowCount(6);
    EXPECT_EQ(grid->GetItemText(4, 1), "");
    ASSERT_NE(grid->GetCell(4, 3), nullptr);
    for (const bool keepOff : {false, true})
    {
        grid->SetItemText(4, 1, QStringLiteral("again"));
        grid->SetRowCount(3);
        if (keepOff)
            grid->SetKeepRemovedRows(false);
        else
            grid->FreeKeptRows();
        grid->SetRowCount(6);
        EXPECT_EQ(grid->GetItemText(4, 1), "") << keepOff;
    }
}

TEST_F(GridFixture, InsertRowPlacesAppendsAndRefuses)
{
    grid->DeleteAllItems();
    // Without columns the grid makes one.
    EXPECT_EQ(grid->InsertRow(QStringLiteral("first")), 0);
    EXPECT_EQ(grid->GetColumnCount(), 1);
    EXPECT_TRUE(grid->GetItemState(0, 0) & CELLSTATE_MODIFIED);
    EXPECT_GT(grid->GetRowHeight(0), 0);

    Build(4, 2, 1, 0);
    EXPECT_EQ(grid->InsertRow(QString(), 0), -1); // a fixed row
    EXPECT_EQ(grid->InsertRow(QString(), 9), -1);
    NotifyRecorder owner;
    grid->SetNotifyTarget(&owner);
    grid->SetFocusRowCol(2, 1);
    grid->SetItemText(2, 1, QStringLiteral("focused"));
    EXPECT_EQ(grid->InsertRow(QStringLiteral("new"), 2), 2);
    EXPECT_EQ(grid->GetFocusCell(), (CGridCellPos{3, 1}));
    EXPECT_EQ(grid->GetItemText(3, 1), QStringLiteral("focused"));
    EXPECT_TRUE(grid->GetItemState(3, 1) & CELLSTATE_FOCUSED);
    EXPECT_EQ(grid->GetItemText(2, 0), QStringLiteral("new"));
    EXPECT_EQ(grid->InsertRow(QStringLiteral("last"), grid->GetRowCount()), 5);
    EXPECT_EQ(dynamic_cast<CGridCell*>(grid->GetCell(4, 1))->GetRow(), 4);
    grid->SetNotifyTarget(nullptr);
}

TEST_F(GridFixture, NotificationsGoToTheOwnerOrElseTheParent)
{
    Build(4, 3, 1, 0);
    NotifyRecorder owner;
    grid->SetNotifyTarget(&owner);
    grid->SetFocusRowCol(0, 2); // a fixed row moves to the first scrolling row
    ASSERT_EQ(owner.received.size(), 1u);
    EXPECT_EQ(owner.received[0].code, Notify::GRIDN_FOCUSCHANGED);
    EXPECT_EQ(owner.received[0].row, 1);
    EXPECT_EQ(owner.received[0].column, 2);
    EXPECT_EQ(owner.received[0].idFrom, 101);
    EXPECT_EQ(owner.received[0].hwndFrom, grid);
    grid->SetFocusRowCol(1, 2);
    EXPECT_EQ(owner.received.size(), 1u); // unchanged focus: nothing sent
    owner.reply = -1;
    EXPECT_EQ(grid->SendMessageToParent(1, 1, Notify::GRIDN_BEGINLABELEDIT), -1);
    grid->SetNotifyTarget(nullptr);

    struct ParentTarget : QWidget, NotifyRecorder
    {
    } parentTarget;
    CGridCtrl child(2, 2, 1, 0);
    EXPECT_EQ(child.SendMessageToParent(1, 1, Notify::NM_CLICK), 0); // no window yet
    ASSERT_TRUE(child.Create(QRect(0, 0, 100, 100), &parentTarget, 7));
    parentTarget.reply = 5;
    EXPECT_EQ(child.SendMessageToParent(1, 1, Notify::NM_CLICK), 5);
    ASSERT_EQ(parentTarget.received.size(), 1u);
    EXPECT_EQ(parentTarget.received[0].idFrom, 7);
}

TEST_F(GridFixture, MergedSpansWidthsAndHits)
{
    Build(4, 5, 1, 0, 20, 50);
    EXPECT_TRUE(grid->MergeColumns(2, 3, 1)); // reversed: nothing
    EXPECT_FALSE(grid->GetCell(2, 1)->IsMerged());
    grid->MergeColumns(3, 3, 9); // beyond the columns: only the existing ones
    EXPECT_EQ(grid->GetCell(3, 4)->GetMergeLast(), 9);
    EXPECT_EQ(grid->GetColumnWidth(3, 3), 100);

    grid->MergeColumns(2, 1, 3);
    EXPECT_EQ(grid->GetColumnWidth(1, 2), 150);
    EXPECT_EQ(grid->GetColumnWidth(2, 2), -1);
    EXPECT_EQ(grid->GetColumnWidth(2), 50);
    EXPECT_EQ(grid->GetSpanWidth(2, 2), 100);
    EXPECT_EQ(grid->GetColumnWidth(7, 2), -1);

    // Row 2 spans y 40..59; the span covers x 50..199.
    for (int x : {50, 120, 199})
        EXPECT_EQ(grid->GetCellFromPoint({x, 45}), (CGridCellPos{2, 1})) << x;
    EXPECT_EQ(grid->GetCellFromPoint({200, 45}), (CGridCellPos{2, 4}));
    Rect rect;
    ASSERT_TRUE(grid->GetCellRect(2, 4, &rect));
    EXPECT_EQ(rect, (Rect{200, 40, 249, 59}));
    ASSERT_TRUE(grid->GetCellRect(2, 2, &rect)); // any column of a span gives the span
    EXPECT_EQ(rect, (Rect{50, 40, 199, 59}));
    ASSERT_TRUE(grid->GetUnmergedCellRect(2, 2, &rect));
    EXPECT_EQ(rect, (Rect{100, 40, 149, 59}));

    // Over the fixed row: a fixed cell, or nothing without fixed cells allowed.
    EXPECT_EQ(grid->GetCellFromPoint({60, 5}), (CGridCellPos{0, 1}));
    EXPECT_EQ(grid->GetCellFromPoint({60, 5}, false).row, -1);
    EXPECT_EQ(grid->GetCellFromPoint({-1, 45}).col, -1);
    EXPECT_EQ(grid->GetCellFromPoint({60, 81}).row, -1);
}

TEST_F(GridFixture, TheChooserGivesEveryNewCellItsKindAndCoveredCellsCarryStateAndData)
{
    // Even rows: column 0 counts its draws, the others are covered by a span from column 0.
    grid->SetCellChooser(
        [](int row, int col) -> GridCellFactory
        {
            if (row % 2 == 1)
                return nullptr;
            return col == 0 ? &MakeGridCell<CountingCell> : &CGridCellCovered::CreateObject;
        });
    auto kindsAreRight = [&](const char* where)
    {
        for (int r = 0; r < grid->GetRowCount(); ++r)
            for (int c = 0; c < grid->GetColumnCount(); ++c)
            {
                CGridCellBase* cell = grid->GetCell(r, c);
                const bool counting = dynamic_cast<CountingCell*>(cell) != nullptr;
                const bool covered = dynamic_cast<CGridCellCovered*>(cell) != nullptr;
                EXPECT_EQ(counting, r % 2 == 0 && c == 0) << where << " " << r << "," << c;
                EXPECT_EQ(covered, r % 2 == 0 && c > 0) << where << " " << r << "," << c;
            }
    };
    Build(4, 3, 0, 0);
    kindsAreRight("rows counted");
    grid->SetColumnCount(4);
    kindsAreRight("a column added");
    ASSERT_EQ(grid->InsertRow(QString(), 2), 2);
    ASSERT_EQ(grid->InsertRow(QString(), 3), 3);
    kindsAreRight("rows inserted");
    grid->SetColumnWidth(3, 50);
    grid->SetRowHeight(2, 20);

    // A covered cell keeps what the grid and its owner put there, shows no text, and is
    // selected and counted like any cell.
    grid->MergeColumns(2, 0, 3);
    grid->SetItemText(2, 0, QStringLiteral("head"));
    grid->SetItemText(2, 2, QStringLiteral("dropped"));
    grid->SetItemData(2, 2, 77);
    grid->SetItemBkColour(2, 2, 0x102030);
    EXPECT_EQ(grid->GetItemText(2, 2), QString());
    EXPECT_EQ(grid->GetItemData(2, 2), 77);
    EXPECT_EQ(grid->GetCell(2, 2)->GetBackClr(), 0x102030u);
    EXPECT_EQ(grid->GetCell(2, 2)->GetFormat(), grid->GetDefaultCell(false, false)->GetFormat());
    grid->SetSelectedRange(2, 0, 2, 3);
    EXPECT_EQ(grid->GetSelectedCount(), 4);
    EXPECT_EQ(grid->GetSelectedCountInColumn(2), 1);
    EXPECT_TRUE(grid->IsCellSelected(2, 3));
    Rect rect;
    ASSERT_TRUE(grid->GetCellRect(2, 3, &rect));
    EXPECT_EQ(rect, (Rect{0, 40, 199, 59})) << "the span, from its head";
}

namespace
{
// Tags every cell it makes with the place it was made for.
class TaggingGrid : public CGridCtrl
{
public:
    std::unique_ptr<CGridCellBase> CreateCell(int row, int col) override
    {
        std::unique_ptr<CGridCellBase> cell = CGridCtrl::CreateCell(row, col);
        cell->SetData(row * 100 + col);
        ++made;
        return cell;
    }
    int made = 0;
};
using TaggingGridFixture = GridFixtureT<TaggingGrid>;
} // namespace

TEST_F(TaggingGridFixture, RowsMadeAheadInSlicesComeBackAtTheirPlaces)
{
    Build(3, 2, 1, 0);
    EXPECT_TRUE(grid->MakeRowsAhead(9, 2)) << "nothing ahead without keeping rows";
    grid->SetKeepRemovedRows(true);
    grid->SetRowCount(2); // row 2 kept
    const int before = grid->made;
    EXPECT_FALSE(grid->MakeRowsAhead(8, 2));
    EXPECT_FALSE(grid->MakeRowsAhead(8, 2));
    EXPECT_TRUE(grid->MakeRowsAhead(8, 2));
    EXPECT_TRUE(grid->MakeRowsAhead(8, 2));
    EXPECT_EQ(grid->made - before, 5 * 2) << "rows 3 to 7";
    grid->SetRowCount(8);
    EXPECT_EQ(grid->made - before, 5 * 2) << "none made again";
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(grid->GetItemData(r, c), r * 100 + c) << r << "," << c;
}

TEST_F(GridFixture, ScrollBarsFollowTheVirtualSize)
{
    Build(30, 3, 1, 0, 20, 50);
    const Rect client = grid->GetClientRect();
    EXPECT_TRUE(grid->IsScrollBarShown(SB_VERT));
    EXPECT_FALSE(grid->IsScrollBarShown(SB_HORZ));
    EXPECT_EQ(grid->GetScrollMaximum(SB_VERT), 29 * 20 - 1);
    EXPECT_EQ(grid->GetScrollMaximum(SB_HORZ), 0);

    // Wider than the window: both bars.
    grid->SetColumnWidth(2, client.Width());
    EXPECT_TRUE(grid->IsScrollBarShown(SB_HORZ));
    EXPECT_EQ(grid->GetScrollMaximum(SB_HORZ), 100 + client.Width() - 1);

    // Suspended drawing leaves the bars as they are.
    grid->SetRedraw(false);
    grid->SetRowCount(2);
    EXPECT_TRUE(grid->IsScrollBarShown(SB_VERT));
    grid->SetRedraw(true, true);
    EXPECT_FALSE(grid->IsScrollBarShown(SB_VERT));
}

TEST_F(GridFixture, ScrollingByRowsAndByPixels)
{
    Build(60, 3, 1, 0, 20, 50);
    grid->SetRowHeight(2, 0);
    const Rect client = grid->GetClientRect();

    // By rows: a line is the next visible row; a position inside a row shows the next one.
    grid->OnVScroll(SB_LINEDOWN);
    EXPECT_EQ(grid->GetScrollPosition(SB_VERT), 20);
    EXPECT_EQ(grid->GetTopLeftScrollingCell().row, 2); // the hidden row 2 comes first
    grid->OnVScroll(SB_THUMBPOSITION, 45);
    EXPECT_EQ(grid->GetTopLeftScrollingCell().row, 5);
    EXPECT_EQ(grid->GetTopRowOffset(), 0);
    grid->OnVScroll(SB_LINEUP);
    EXPECT_EQ(grid->GetScrollPosition(SB_VERT), 25);
    grid->OnVScroll(SB_PAGEDOWN);
    EXPECT_EQ(grid->GetScrollPosition(SB_VERT), 25 + client.Height() - 20);
    grid->OnVScroll(SB_TOP);
    EXPECT_EQ(grid->GetScrollPosition(SB_VERT), 0);
    grid->OnVScroll(SB_LINEUP);
    EXPECT_EQ(grid->GetScrollPosition(SB_VERT), 0);

    // By pixels: at most 15 per line, and the top row may be partly hidden.
    grid->SetScrollByRows(false);
    grid->OnVScroll(SB_LINEDOWN);
    EXPECT_EQ(grid->GetScrollPosition(SB_VERT), 15);
    EXPECT_EQ(grid->GetTopLeftScrollingCell().row, 1);
    EXPECT_EQ(grid->GetTopRowOffset(), -15);
    Point origin;
    ASSERT_TRUE(grid->GetCellOrigin(1, 0, &origin));
    EXPECT_EQ(origin, (Point{0, 20 - 15}));
    EXPECT_EQ(grid->GetCellFromPoint({10, 20}), (CGridCellPos{1, 0}));
    EXPECT_EQ(grid->GetCellFromPoint({10, 25}), (CGridCellPos{3, 0}));
    // Back to the top even from inside the first row.
    grid->OnVScroll(SB_LINEUP);
    EXPECT_EQ(grid->GetScrollPosition(SB_VERT), 0);
    grid->OnVScroll(SB_THUMBTRACK, 40);
    EXPECT_EQ(grid->GetTopLeftScrollingCell().row, 4);
    EXPECT_EQ(grid->GetTopRowOffset(), 0);
    EXPECT_FALSE(grid->GetCellOrigin(3, 0, &origin)); // above the view
    EXPECT_FALSE(grid->IsCellOnScreen(3, 0));
    EXPECT_TRUE(grid->IsCellOnScreen(4, 0));
    EXPECT_TRUE(grid->IsCellOnScreen(0, 0));
    const CGridCellRect range = grid->GetVisibleScrollingRange();
    EXPECT_EQ(range.minRow, 4);
    EXPECT_EQ(range.maxRow, 4 + (client.Height() - 20 + 19) / 20 - 1);
    EXPECT_FALSE(grid->IsCellOnScreen(range.maxRow + 1, 0));
}

TEST_F(GridFixture, AutoSizeRefusesHiddenColumnsAndRows)
{
    Build(4, 3, 1, 0, 20, 50);
    grid->SetItemText(1, 0, QStringLiteral("a rather long text for one column"));
    ASSERT_TRUE(grid->AutoSizeColumn(0));
    EXPECT_GT(grid->GetColumnWidth(0), 100);
    grid->SetColumnWidth(1, 0);
    EXPECT_FALSE(grid->AutoSizeColumn(1));
    EXPECT_EQ(grid->GetColumnWidth(1), 0);
    grid->SetRowHeight(2, 0);
    EXPECT_FALSE(grid->AutoSizeRow(2));
    EXPECT_TRUE(grid->AutoSizeRow(1));
    EXPECT_FALSE(grid->AutoSizeColumn(7));

    // A span of one column has nothing to share its width with.
    grid->SetItemText(3, 2, QStringLiteral("another rather long text, well over a hundred pixels"));
    grid->MergeColumns(3, 2, 2);
    ASSERT_TRUE(grid->AutoSizeColumn(2));
    EXPECT_GT(grid->GetColumnWidth(2), 100);
}

TEST_F(GridFixture, DeleteAllItemsEmptiesTheGrid)
{
    Build(4, 3, 1, 0);
    grid->SetItemState(2, 1, CELLSTATE_SELECTED);
    EXPECT_EQ(grid->GetSelectedCount(), 1);
    grid->SetSortColumn(1);
    ASSERT_TRUE(grid->DeleteAllItems());
    EXPECT_EQ(grid->GetRowCount(), 0);
    EXPECT_EQ(grid->GetColumnCount(), 0);
    EXPECT_EQ(grid->GetSelectedCount(), 0);
    EXPECT_EQ(grid->GetSortColumn(), -1);
    EXPECT_EQ(grid->GetVirtualHeight(), 0);
    EXPECT_EQ(grid->GetItemText(0, 0), QString());
}
