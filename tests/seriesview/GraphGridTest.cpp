#include "seriesview/GraphGrid.h"

#include "platform/gui/PainterCanvas.h"
#include "platform/gui/RecordingCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace Platform;
using Kind = CanvasOp::Kind;

namespace
{

constexpr ColorRef kGrid = Rgb(168, 168, 168);

// x 0..10 by 2, y 0..100 by 20, default axis parts, on a 400 x 300 frame.
GRAPHSETTINGS Standard()
{
    GRAPHSETTINGS s;
    s.frame = {0, 0, 400, 300};
    s.xMin = 0;
    s.xMax = 10;
    s.xStep = 2;
    s.xHalfStep = 1;
    s.xTitle = "seconds";
    s.yMin = 0;
    s.yMax = 100;
    s.yStep = 20;
    s.yHalfStep = 10;
    s.yTitle = "depth";
    return s;
}

const CanvasOp* FindText(const std::vector<CanvasOp>& ops, const QString& text)
{
    auto it = std::find_if(ops.begin(), ops.end(),
                           [&](const CanvasOp& op) { return op.kind == Kind::TextOut && op.text == text; });
    return it == ops.end() ? nullptr : &*it;
}

bool HasLine(const std::vector<CanvasOp>& ops, Point from, Point to, ColorRef color)
{
    return std::any_of(ops.begin(), ops.end(),
                       [&](const CanvasOp& op) {
                           return op.kind == Kind::Line && op.points[0] == from && op.points[1] == to &&
                                  op.pen.color == color;
                       });
}

} // namespace

TEST(GraphGrid, LayoutReservesRoomForTicksLabelsTitlesAndOverhangs)
{
    RecordingCanvas dc; // six units a character, twelve a line
    CGraphGrid grid;
    grid.SetSettings(dc, Standard());
    // Left: ticks 5 + widest label "100" 18 + rotated title 12. Bottom: ticks 5 + labels
    // 12 + title 12. Top: half the height of the y labels (6) beats the ticks (5). Right:
    // half the last x label "10" (6) beats the ticks.
    EXPECT_EQ(grid.GetPlotRect(), (Rect{35, 6, 394, 271}));
    EXPECT_EQ(grid.XToPixel(0), 35);
    EXPECT_EQ(grid.XToPixel(10), 394);
    EXPECT_EQ(grid.YToPixel(0), 271);
    EXPECT_EQ(grid.YToPixel(100), 6);
    EXPECT_DOUBLE_EQ(grid.XToPixelF(5), 35 + 5 * 359.1 / 10 + 0.5);
    EXPECT_EQ(grid.XToPixel(5), 215);
    EXPECT_DOUBLE_EQ(grid.YToPixelF(50), 271 - 50 * 265.1 / 100 + 0.5);
    EXPECT_EQ(grid.YToPixel(50), 138);
    // Truncation goes towards zero, and values far off the chart stay defined.
    EXPECT_EQ(grid.XToPixel(-10), -323);
    EXPECT_EQ(grid.XToPixel(1e300), INT_MAX);

    // Without labels and titles only the outward ticks take room.
    GRAPHSETTINGS bare = Standard();
    bare.bottomAxis = GRAPHAXIS_LINE | GRAPHAXIS_MINOR_OUT;
    bare.leftAxis = GRAPHAXIS_LINE | GRAPHAXIS_MAJOR_IN;
    bare.topAxis = bare.rightAxis = 0;
    grid.SetSettings(dc, bare);
    EXPECT_EQ(grid.GetPlotRect(), (Rect{0, 0, 400, 297}));
}

TEST(GraphGrid, DrawsGridAxesTicksLabelsAndTitles)
{
    RecordingCanvas dc;
    LogFont lf;
    lf.height = -12;
    lf.faceName = "Tahoma";
    dc.SelectFont(Font(lf));
    dc.SetTextAlign(TA_BASELINE);
    CGraphGrid grid;
    grid.SetSettings(dc, Standard());
    grid.Draw(dc);
    const auto& ops = dc.Ops();

    // Grid lines first, in the grey pen, across the plot at every tick (end points left
    // out by the line rule).
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops.front().pen.color, kGrid);
    EXPECT_TRUE(HasLine(ops, {35, grid.YToPixel(40)}, {394, grid.YToPixel(40)}, kGrid));
    EXPECT_TRUE(HasLine(ops, {grid.XToPixel(6), 271}, {grid.XToPixel(6), 6}, kGrid));
    const auto lines = dc.OpsOf(Kind::Line);
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(), [](const CanvasOp& op) { return op.pen.color == kGrid; }),
        6 + 6);

    // Axis lines in the caller's pen; the y zero line lies on the left axis, the x zero
    // line is not drawn for a range starting at 0.
    EXPECT_TRUE(HasLine(ops, {35, 6}, {394, 6}, 0));
    EXPECT_TRUE(HasLine(ops, {35, 271}, {394, 271}, 0));
    EXPECT_TRUE(HasLine(ops, {35, 6}, {35, 271}, 0));
    EXPECT_TRUE(HasLine(ops, {394, 6}, {394, 271}, 0));
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const CanvasOp& op) {
                                return op.points[0] == Point{35, 6} && op.points[1] == Point{35, 271};
                            }),
              2);
    // Major ticks from 5 outside to 5 inside, minor ones 3 each way.
    const int x4 = grid.XToPixel(4);
    EXPECT_TRUE(HasLine(ops, {x4, 276}, {x4, 266}, 0));
    EXPECT_TRUE(HasLine(ops, {grid.XToPixel(1), 274}, {grid.XToPixel(1), 268}, 0));
    EXPECT_TRUE(HasLine(ops, {30, grid.YToPixel(40)}, {40, grid.YToPixel(40)}, 0));
    EXPECT_TRUE(HasLine(ops, {32, 138}, {38, 138}, 0));
    EXPECT_TRUE(HasLine(ops, {x4, 1}, {x4, 11}, 0));

    // Bottom labels hang below the outer tick ends, centred by their width.
    const CanvasOp* four = FindText(ops, "4");
    ASSERT_NE(four, nullptr);
    EXPECT_EQ(four->points[0], (Point{x4 - 3, 276}));
    EXPECT_EQ(four->textAlign, TA_LEFT | TA_TOP);
    EXPECT_EQ(four->bkMode, TRANSPARENT);
    EXPECT_EQ(four->font.escapement, 0);
    EXPECT_EQ(four->font.faceName, "Tahoma");
    // Left labels end at the outer tick ends, centred by their height.
    const CanvasOp* eighty = FindText(ops, "80");
    ASSERT_NE(eighty, nullptr);
    EXPECT_EQ(eighty->points[0], (Point{30, grid.YToPixel(80) - 6}));
    EXPECT_EQ(eighty->textAlign, TA_RIGHT | TA_TOP);
    // Titles beyond the labels: the x title centred below, the y title rotated.
    const CanvasOp* seconds = FindText(ops, "seconds");
    ASSERT_NE(seconds, nullptr);
    EXPECT_EQ(seconds->points[0], (Point{215 - 21, 271 + 5 + 12}));
    const CanvasOp* depth = FindText(ops, "depth");
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(depth->points[0], (Point{35 - 5 - 18, 138 - 15}));
    EXPECT_EQ(depth->textAlign, TA_RIGHT | TA_BOTTOM);
    EXPECT_EQ(depth->font.escapement, 900);
    EXPECT_EQ(depth->font.orientation, 900);
    // Labels only on the edge axes: six x and six y labels.
    EXPECT_EQ(dc.OpsOf(Kind::TextOut).size(), 6u + 6u + 2u);

    // The caller's attributes come back.
    EXPECT_EQ(dc.GetTextAlign(), TA_BASELINE);
    EXPECT_EQ(dc.GetBkMode(), OPAQUE);
    EXPECT_EQ(dc.GetFont().GetLogFont(), lf);
    EXPECT_EQ(dc.GetPen(), Pen::Black());
}

TEST(GraphGrid, ZeroLinesRotatedLabelsAndGridPenAxes)
{
    RecordingCanvas dc;
    dc.SelectPen(Pen::Solid(2, Rgb(0, 128, 0)));
    GRAPHSETTINGS s = Standard();
    s.xMin = -4;
    s.yMin = -50;
    s.yMax = 50;
    s.bottomAxis = GRAPHAXIS_LINE_GRIDPEN | GRAPHAXIS_MAJOR_OUT | GRAPHAXIS_LABELS_ROTATED | GRAPHAXIS_LABELS;
    s.xZeroLine = GRAPHAXIS_LINE | GRAPHAXIS_MAJOR_IN;
    s.horizontalGrid = 0;
    s.verticalGrid = 0;
    CGraphGrid grid;
    grid.Draw(dc); // drawing before any settings must not fail
    dc.Clear();
    grid.SetSettings(dc, s);
    grid.Draw(dc);
    const auto& ops = dc.Ops();
    const ColorRef green = Rgb(0, 128, 0);
    const int y0 = grid.YToPixel(0);
    const int x0 = grid.XToPixel(0);
    const Rect plot = grid.GetPlotRect();

    // The pen is two units wide: ticks are twice as long, the grid pen as wide.
    EXPECT_TRUE(HasLine(ops, {plot.left, plot.bottom}, {plot.right, plot.bottom}, kGrid));
    const auto lines = dc.OpsOf(Kind::Line);
    const auto gridLine =
        std::find_if(lines.begin(), lines.end(), [](const CanvasOp& op) { return op.pen.color == kGrid; });
    ASSERT_NE(gridLine, lines.end());
    EXPECT_EQ(gridLine->pen.width, 2);
    // The x zero line with ticks upwards only, the y zero line with all default parts.
    EXPECT_TRUE(HasLine(ops, {plot.left, y0}, {plot.right, y0}, green));
    EXPECT_TRUE(HasLine(ops, {grid.XToPixel(2), y0 - 10}, {grid.XToPixel(2), y0}, green));
    EXPECT_TRUE(HasLine(ops, {x0, plot.top}, {x0, plot.bottom}, green));
    EXPECT_TRUE(HasLine(ops, {x0 - 10, grid.YToPixel(20)}, {x0 + 10, grid.YToPixel(20)}, green));
    EXPECT_TRUE(HasLine(ops, {x0 - 6, grid.YToPixel(10)}, {x0 + 6, grid.YToPixel(10)}, green));

    // Rotated bottom labels (the rotated bit wins) end below the ticks, centred by their
    // height; the negative ones carry their sign.
    const CanvasOp* minus = FindText(ops, "-4");
    ASSERT_NE(minus, nullptr);
    EXPECT_EQ(minus->points[0], (Point{plot.left - 6, plot.bottom + 10}));
    EXPECT_EQ(minus->textAlign, TA_RIGHT | TA_TOP);
    EXPECT_EQ(minus->font.escapement, 900);
    // The room below the plot is the ticks and the widest rotated label ("-4", "10": 12).
    EXPECT_EQ(plot.bottom, 300 - (10 + 12));
    EXPECT_NE(FindText(ops, "-40"), nullptr);
    EXPECT_EQ(dc.GetPen(), Pen::Solid(2, green));
}

TEST(GraphGrid, FontsAndGridPenComeFromTheFirstLayout)
{
    RecordingCanvas dc;
    LogFont first;
    first.height = -12;
    first.faceName = "Tahoma";
    dc.SelectFont(Font(first));
    CGraphGrid grid;
    grid.SetSettings(dc, Standard());

    LogFont second = first;
    second.height = -30;
    dc.SelectFont(Font(second));
    dc.SelectPen(Pen::Solid(3, 0));
    grid.Draw(dc);
    for (const CanvasOp& op : dc.OpsOf(Kind::TextOut))
        EXPECT_EQ(op.font.height, -12) << op.text.toStdString();
    for (const CanvasOp& op : dc.OpsOf(Kind::Line))
    {
        if (op.pen.color == kGrid)
        {
            EXPECT_EQ(op.pen.width, 1);
        }
    }
    EXPECT_EQ(dc.GetFont().GetLogFont(), second);
}

TEST(GraphGrid, RendersOntoAnImage)
{
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    CGraphGrid grid;
    {
        ImageCanvas dc(image);
        GRAPHSETTINGS s = Standard();
        s.frame = {0, 0, 300, 200};
        grid.SetSettings(dc, s);
        grid.Draw(dc);
    }
    const Rect plot = grid.GetPlotRect();
    // Axis pixels black, grid pixels grey, the plot's inside white between them.
    EXPECT_EQ(image.pixel(plot.left, (plot.top + plot.bottom) / 2), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(grid.XToPixel(2), (plot.top + plot.bottom) / 2 + 3), qRgb(168, 168, 168));
    EXPECT_EQ(image.pixel(grid.XToPixel(3), grid.YToPixel(30)), qRgb(255, 255, 255));
    // Labels left of the plot.
    bool ink = false;
    for (int x = 0; x < plot.left - 6 && !ink; ++x)
        for (int y = plot.top; y < plot.bottom && !ink; ++y)
            ink = image.pixel(x, y) != qRgb(255, 255, 255);
    EXPECT_TRUE(ink);
}
