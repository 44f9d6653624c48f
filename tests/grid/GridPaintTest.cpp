#include "GridTestSupport.h"

#include "platform/gui/PainterCanvas.h"
#include "platform/gui/RecordingCanvas.h"
#include "platform/gui/SystemLook.h"

#include <functional>

using namespace Platform;
using Kind = CanvasOp::Kind;

namespace
{
class GridPaintTest : public GridFixtureT<CountingGrid>
{
protected:
    // A recording canvas over the grid's client area.
    std::unique_ptr<RecordingCanvas> Paint()
    {
        auto dc = std::make_unique<RecordingCanvas>(grid->GetClientRect());
        grid->OnDraw(dc.get(), false);
        return dc;
    }
    CountingCell* Cell(int row, int col) { return dynamic_cast<CountingCell*>(grid->GetCell(row, col)); }
    static std::vector<CanvasOp> GridLines(const RecordingCanvas& dc)
    {
        std::vector<CanvasOp> lines;
        for (const CanvasOp& op : dc.OpsOf(Kind::Line))
            if (op.pen.color == 0xC0C0C0)
                lines.push_back(op);
        return lines;
    }
};

QRgb Px(const QImage& image, int x, int y)
{
    return image.pixel(x, y) | 0xFF000000;
}

QRgb ToRgb(ColorRef c)
{
    return qRgb(RValue(c), GValue(c), BValue(c));
}
} // namespace

TEST_F(GridPaintTest, GridLinesRunAlongEachCellAndAroundSpansAsOneCell)
{
    Build(3, 3, 1, 0, 20, 50);
    grid->MergeColumns(2, 0, 2);
    const auto dc = Paint();
    const auto lines = GridLines(*dc);
    const std::vector<std::vector<Point>> expected = {
        // Row 1 (y 20..39): vertical at each right edge from the fixed rows' last line,
        // horizontal along the bottom from the previous right edge.
        {{49, 19}, {49, 39}},
        {{-1, 39}, {49, 39}},
        {{99, 19}, {99, 39}},
        {{49, 39}, {99, 39}},
        {{149, 19}, {149, 39}},
        {{99, 39}, {149, 39}},
        // Row 2 (y 40..59) is one span: no inner vertical lines.
        {{149, 39}, {149, 59}},
        {{-1, 59}, {149, 59}},
    };
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].points, expected[i]) << i;

    // The span is drawn once across its columns; its covered cells not at all.
    EXPECT_EQ(Cell(2, 0)->lastRect, (Rect{0, 40, 149, 59}));
    EXPECT_EQ(Cell(2, 1)->draws, 0);
    EXPECT_EQ(Cell(2, 2)->draws, 0);
}

TEST_F(GridPaintTest, ASpanScrolledPartlyOutIsDrawnWholeFromItsStart)
{
    Build(4, 3, 1, 0, 20, 200);
    grid->MergeColumns(2, 0, 2);
    ASSERT_TRUE(grid->IsScrollBarShown(SB_HORZ));
    grid->OnHScroll(SB_THUMBPOSITION, 200);
    ASSERT_EQ(grid->GetTopLeftScrollingCell().col, 1);
    const auto dc = Paint();
    EXPECT_EQ(Cell(2, 0)->lastRect, (Rect{-200, 40, 399, 59}));
    // Clipped to the scrolling area.
    bool found = false;
    for (const CanvasOp& op : dc->OpsOf(Kind::FillRect))
        if (op.rect == Rect{-200, 40, 399, 59})
        {
            found = true;
            EXPECT_EQ(op.clipBox.left, 0);
        }
    EXPECT_TRUE(found);
    // Hit-testing and rectangles agree with the drawing.
    EXPECT_EQ(grid->GetCellFromPoint({150, 45}), (CGridCellPos{2, 0}));
    EXPECT_EQ(grid->GetCellFromPoint({150, 25}), (CGridCellPos{1, 1}));
    Rect rect;
    ASSERT_TRUE(grid->GetCellRect(2, 1, &rect));
    EXPECT_EQ(rect, (Rect{-200, 40, 399, 59}));
    ASSERT_TRUE(grid->GetCellRect(1, 2, &rect));
    EXPECT_EQ(rect, (Rect{200, 20, 399, 39}));
}

TEST_F(GridPaintTest, ARowThatLeftTheViewHearsOfItOnceWithoutACanvas)
{
    Build(40, 2, 1, 0, 20, 50);
    Paint();
    CountingCell* cell = Cell(1, 1);
    EXPECT_EQ(cell->draws, 1);
    EXPECT_EQ(Cell(39, 1)->draws, 0); // far below the view: never drawn

    grid->OnVScroll(SB_LINEDOWN);
    grid->OnVScroll(SB_LINEDOWN);
    Paint();
    EXPECT_EQ(cell->leftView, 1);
    EXPECT_EQ(cell->draws, 1);
    EXPECT_EQ(Cell(2, 1)->leftView, 1);
    EXPECT_EQ(Cell(3, 1)->leftView, 0);
    Paint();
    EXPECT_EQ(cell->leftView, 1);

    // A row made zero high counts as gone, too.
    grid->SetRowHeight(5, 0);
    Paint();
    EXPECT_EQ(Cell(5, 0)->leftView, 1);
}

TEST_F(GridPaintTest, SuspendedDrawingPaintsNothingButTheBitmap)
{
    Build(5, 2, 1, 0, 10, 30);
    grid->SetRedraw(false);
    EXPECT_TRUE(Paint()->Ops().empty());
    EXPECT_FALSE(grid->RepaintCell(1, 1));
    EXPECT_FALSE(grid->InvalidateCell(1, 1));
    QImage image;
    ASSERT_TRUE(grid->RenderToBitmap(&image));
    EXPECT_EQ(image.size(), QSize(60, 50));
    grid->SetRedraw(true);
    EXPECT_FALSE(Paint()->Ops().empty());
}

TEST_F(GridPaintTest, BitmapHoldsTheWholeGridFromRowOneAndColumnZero)
{
    Build(6, 2, 1, 0, 10, 30);
    grid->SetScrollByRows(false);
    grid->SetRowHeight(5, 400); // taller than the window, so that it scrolls
    grid->SetItemBkColour(2, 1, Rgb(255, 0, 0));
    grid->SetItemBkColour(5, 0, Rgb(0, 0, 255));
    grid->OnVScroll(SB_THUMBPOSITION, 25);
    ASSERT_EQ(grid->GetTopRowOffset(), -5);

    QImage image;
    ASSERT_TRUE(grid->RenderToBitmap(&image));
    ASSERT_EQ(image.size(), QSize(60, 450));
    // Row 2 lies at y 20..29 with offset 0, whatever the scroll position; column 1 at x 30..59.
    EXPECT_EQ(Px(image, 45, 25), qRgb(255, 0, 0));
    EXPECT_EQ(Px(image, 45, 20), qRgb(255, 0, 0));
    EXPECT_EQ(Px(image, 59, 25), qRgb(0xC0, 0xC0, 0xC0)); // grid line at the right edge
    EXPECT_EQ(Px(image, 45, 29), qRgb(0xC0, 0xC0, 0xC0)); // and at the bottom
    EXPECT_EQ(Px(image, 10, 25), qRgb(255, 255, 255));
    EXPECT_EQ(Px(image, 10, 449 - 5), qRgb(0, 0, 255));
    // The heading row in the fixed row's colour.
    EXPECT_EQ(Px(image, 15, 5), ToRgb(grid->GetDefaultCell(true, false)->GetBackClr()));
    // The screen's scroll state is untouched.
    EXPECT_EQ(grid->GetTopRowOffset(), -5);
}

TEST_F(GridPaintTest, OnlyVisibleRowsAreTouchedInALargeGrid)
{
    Build(20001, 9, 1, 0, 22, 40);
    grid->OnVScroll(SB_THUMBPOSITION, 200000);
    const CGridCellRect range = grid->GetVisibleScrollingRange();
    CountingCell::totalDraws() = 0;
    Paint();
    const int visibleCells = (range.maxRow - range.minRow + 2) * 9;
    EXPECT_GT(CountingCell::totalDraws(), 9);
    EXPECT_LE(CountingCell::totalDraws(), visibleCells);
    EXPECT_EQ(Cell(1, 0)->draws, 0);
    EXPECT_EQ(Cell(20000, 0)->draws, 0);
}

TEST_F(GridPaintTest, RepaintCellDrawsWithGridLinesInsideTheScrollingArea)
{
    Build(4, 3, 1, 0, 20, 50);
    RecordingCanvas dc(grid->GetClientRect());
    ASSERT_TRUE(grid->RepaintCell(2, 1, &dc));
    EXPECT_EQ(Cell(2, 1)->lastRect, (Rect{50, 40, 99, 59}));
    const auto lines = GridLines(dc);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].points, (std::vector<Point>{{50, 59}, {100, 59}}));
    EXPECT_EQ(lines[1].points, (std::vector<Point>{{99, 40}, {99, 60}}));
    EXPECT_EQ(lines[0].clipBox.top, 20);
    EXPECT_FALSE(grid->RepaintCell(9, 1, &dc));
}

namespace
{
// A cell that does something on its post-draw call.
class PostDrawCell : public CGridCell
{
public:
    std::function<void()> action;
    int calls = 0;
    bool OnPostDraw() override
    {
        ++calls;
        if (action)
            action();
        return true;
    }
};
} // namespace

TEST_F(GridPaintTest, PostDrawListSurvivesHandlersThatChangeTheGrid)
{
    Build(4, 3, 1, 0, 20, 50);
    ASSERT_TRUE(grid->SetCellType(1, 0, &MakeGridCell<PostDrawCell>));
    ASSERT_TRUE(grid->SetCellType(1, 1, &MakeGridCell<PostDrawCell>));
    auto* first = dynamic_cast<PostDrawCell*>(grid->GetCell(1, 0));
    auto* second = dynamic_cast<PostDrawCell*>(grid->GetCell(1, 1));

    // Listed twice, called twice; asking again from the handler waits for the next paint.
    first->RequestPostDraw();
    first->RequestPostDraw();
    first->action = [&]
    {
        if (first->calls == 2)
            first->RequestPostDraw();
    };
    Paint();
    EXPECT_EQ(first->calls, 2);
    Paint();
    EXPECT_EQ(first->calls, 3);
    Paint();
    EXPECT_EQ(first->calls, 3);

    // A listed cell replaced before the paint is not called.
    second->RequestPostDraw();
    ASSERT_TRUE(grid->SetCellType(1, 1, &MakeGridCell<CGridCell>));
    Paint();

    // A handler that replaces a cell listed after it: that cell is gone, not called.
    ASSERT_TRUE(grid->SetCellType(1, 1, &MakeGridCell<PostDrawCell>));
    second = dynamic_cast<PostDrawCell*>(grid->GetCell(1, 1));
    first->action = [&] { grid->SetCellType(1, 1, &MakeGridCell<CGridCell>); };
    first->RequestPostDraw();
    second->RequestPostDraw();
    Paint();
    EXPECT_EQ(first->calls, 4);
    EXPECT_EQ(dynamic_cast<PostDrawCell*>(grid->GetCell(1, 1)), nullptr);
}
