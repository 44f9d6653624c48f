#include "seriesview/GraphSteps.h"
#include "seriesview/GraphSettings.h"

#include "platform/gui/RecordingCanvas.h"

#include <gtest/gtest.h>

using namespace Platform;

TEST(GraphSteps, TableHoldsOneTwoFivePerDecade)
{
    ASSERT_EQ(NiceStepTable.size(), 69u);
    EXPECT_EQ(NiceStepTable.front(), 1e-11);
    EXPECT_EQ(NiceStepTable.back(), 5e11);
    for (size_t i = 1; i < NiceStepTable.size(); ++i)
        EXPECT_LT(NiceStepTable[i - 1], NiceStepTable[i]);
    EXPECT_EQ(NiceStepTable[33], 1.0);
}

TEST(GraphSteps, NiceStepPicksTheNextEntryAndItsDecimals)
{
    QString xFormat;
    QString yFormat;
    // Raw step 0.10101: the step is 0.2, shown with one decimal on both axes.
    EXPECT_DOUBLE_EQ(NiceStepX(0, 10, 100, xFormat), 0.2);
    EXPECT_DOUBLE_EQ(NiceStepY(0, 10, 100, yFormat), 0.2);
    EXPECT_EQ(xFormat, "%0.1lf");
    EXPECT_EQ(yFormat, "%0.1lf");

    // Raw step 0.95: the step is 1; x takes the step's decimals, y those of the raw step.
    EXPECT_DOUBLE_EQ(NiceStepX(0, 0.95 * 9, 10, xFormat), 1.0);
    EXPECT_DOUBLE_EQ(NiceStepY(0, 0.95 * 9, 10, yFormat), 1.0);
    EXPECT_EQ(xFormat, "%0.0lf");
    EXPECT_EQ(yFormat, "%0.1lf");

    // An exact table entry is taken as it is; fewer than two ticks count as two.
    EXPECT_DOUBLE_EQ(NiceStepX(0, 50, 11, xFormat), 5.0);
    EXPECT_DOUBLE_EQ(NiceStepX(0, 50, 0, xFormat), 50.0);

    // Nothing to step over.
    EXPECT_EQ(NiceStepX(3, 3, 10, xFormat), 0.0);
    EXPECT_EQ(NiceStepY(5, 1, 10, yFormat), 0.0);
}

TEST(GraphSteps, DefaultStepRule)
{
    struct Case
    {
        double range;
        double step;
        const char* xFormat;
        const char* yFormat;
    } cases[] = {
        {3, 0.5, "%0.1lf", "%5.1lf"},    {10, 1, "%0.0lf", "%5.0lf"},     {20, 2, "%0.0lf", "%5.0lf"},
        {50, 10, "%0.0lf", "%5.0lf"},    {0.3, 0.05, "%0.2lf", "%5.2lf"}, {4.2, 0.5, "%0.1lf", "%5.1lf"},
        {1000, 100, "%0.0lf", "%5.0lf"}, {0, 0, "%0.0lf", "%5.0lf"},      {1e13, 0, "%0.0lf", "%5.0lf"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.range);
        double step = -1;
        double half = -1;
        QString format;
        DefaultStepX(10, 10 + c.range, step, half, format);
        EXPECT_DOUBLE_EQ(step, c.step);
        EXPECT_DOUBLE_EQ(half, c.step / 2);
        EXPECT_EQ(format, c.xFormat);
        DefaultStepY(10, 10 + c.range, step, half, format);
        EXPECT_DOUBLE_EQ(step, c.step);
        EXPECT_EQ(format, c.yFormat);
    }

    GRAPHSETTINGS s;
    s.xMin = 0;
    s.xMax = 3;
    s.yMin = -20;
    s.yMax = 30;
    s.SetDefaultSteps();
    EXPECT_DOUBLE_EQ(s.xStep, 0.5);
    EXPECT_DOUBLE_EQ(s.xHalfStep, 0.25);
    EXPECT_EQ(s.xLabelFormat, "%0.1lf");
    EXPECT_DOUBLE_EQ(s.yStep, 10);
    EXPECT_EQ(s.yLabelFormat, "%5.0lf");
}

TEST(GraphSteps, TicksStartAtTheFirstMultipleAndEndAtTheMaximum)
{
    EXPECT_EQ(FirstTickAtOrAbove(-12, 5), -10);
    EXPECT_EQ(FirstTickAtOrAbove(12, 5), 15);
    EXPECT_EQ(FirstTickAtOrAbove(10, 5), 10);
    EXPECT_EQ(FirstTickAtOrAbove(0, 5), 0);
    EXPECT_EQ(TickValues(-12, 12, 5), (std::vector<double>{-10, -5, 0, 5, 10}));

    // The maximum counts with a tolerance, so that summed steps still reach it.
    const std::vector<double> tenths = TickValues(0, 1, 0.1);
    ASSERT_EQ(tenths.size(), 11u);
    EXPECT_NEAR(tenths.back(), 1.0, 1e-12);

    // Steps outside the contract end instead of hanging.
    EXPECT_TRUE(TickValues(0, 10, 0).empty());
    EXPECT_TRUE(TickValues(0, 10, -1).empty());
    EXPECT_LE(TickValues(0, 1e9, 1e-9).size(), 100000u);
    EXPECT_EQ(TickValues(1e20, 1e20 + 1e5, 1).size(), 1u);
}

TEST(GraphSteps, LabelsFollowTheirPrintfFormatInTheCLocale)
{
    struct Case
    {
        const char* format;
        double value;
        const char* text;
    } cases[] = {
        {"%0.0lf", 10, "10"},      {"%5.0lf", 10, "   10"},  {"%5.1lf", -2.5, " -2.5"},
        {"%0.2lf", 0.05, "0.05"},  {"%0.0lf", 2.5, "2"},     {"%0.1lf", 1e-17, "0.0"},
        {"%-5.0lf|", 7, "7    |"}, {"%05.1lf", -1, "-01.0"}, {"%+0.0lf", 3, "+3"},
        {"%d %0.0lf", 4, "%d 4"},  {"%%%0.0lf", 1, "%1"},    {"%0.3lf s", 1.5, "1.500 s"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatTickLabel(c.format, c.value), c.text) << c.format;
}

namespace
{
// Settings without any axis part, so the plot is the frame and an axis is as long as
// the frame is wide or high.
GRAPHSETTINGS Bare(double xMin, double xMax, double yMin, double yMax, int width, int height)
{
    GRAPHSETTINGS s;
    s.frame = {0, 0, width, height};
    s.xMin = xMin;
    s.xMax = xMax;
    s.yMin = yMin;
    s.yMax = yMax;
    s.topAxis = s.bottomAxis = s.leftAxis = s.rightAxis = s.xZeroLine = s.yZeroLine = 0;
    return s;
}
} // namespace

TEST(GraphFit, StepsGrowUntilTheLabelsFit)
{
    // Labels are six units a character and twelve high on the recording canvas.
    RecordingCanvas dc;
    // 0..10 on 200 units: 0.2, 0.5 with "10.0" labels are too dense, 1 with "10" fits.
    GRAPHSETTINGS s = Bare(0, 10, 0, 12, 200, 100);
    s.FitToDC(dc, false, false);
    EXPECT_DOUBLE_EQ(s.xStep, 1);
    EXPECT_DOUBLE_EQ(s.xHalfStep, 0.5);
    EXPECT_EQ(s.xLabelFormat, "%0.0lf");
    EXPECT_EQ(s.xMax, 10);
    // 0..12 on 100 units of height: 13 labels of 12 units need more than 70, 7 too; 5 fits.
    EXPECT_DOUBLE_EQ(s.yStep, 5);
    EXPECT_DOUBLE_EQ(s.yHalfStep, 2.5);
    EXPECT_EQ(s.yLabelFormat, "%0.0lf");
    EXPECT_EQ(s.yMax, 12);

    // A long axis keeps fine steps.
    GRAPHSETTINGS wide = Bare(0, 10, 0, 12, 5000, 5000);
    wide.FitToDC(dc, false, false);
    EXPECT_DOUBLE_EQ(wide.xStep, 0.2);
    EXPECT_EQ(wide.xLabelFormat, "%0.1lf");
    EXPECT_DOUBLE_EQ(wide.yStep, 0.2);

    // An empty range has no step and is left alone.
    GRAPHSETTINGS empty = Bare(4, 4, 0, 12, 200, 100);
    empty.FitToDC(dc, true, true);
    EXPECT_EQ(empty.xStep, 0);
    EXPECT_EQ(empty.xMin, 4);
    EXPECT_EQ(empty.xMax, 4);
}

TEST(GraphFit, RoundingToWholeSteps)
{
    RecordingCanvas dc;
    // x maximum with step 1: up unless on a multiple below 0.9 of the next one.
    struct XCase
    {
        double max;
        double rounded;
    } xCases[] = {{8, 8}, {10, 11}, {7.5, 8}};
    for (const XCase& c : xCases)
    {
        GRAPHSETTINGS s = Bare(0, c.max, 0, 12, 200, 100);
        s.FitToDC(dc, true, false);
        ASSERT_DOUBLE_EQ(s.xStep, 1) << c.max;
        EXPECT_DOUBLE_EQ(s.xMax, c.rounded) << c.max;
        EXPECT_EQ(s.xMin, 0);
        EXPECT_EQ(s.yMax, 12);
    }

    // y with step 5 (a range of 10 or 12 on 100 units): the maximum always goes up, the
    // minimum down, a step further when on a multiple, but not below 0 from 0 or above.
    struct YCase
    {
        double min;
        double max;
        double roundedMin;
        double roundedMax;
    } yCases[] = {{0, 12, 0, 15},    {0, 10, 0, 15},   {12, 22, 10, 25}, {10, 20, 5, 25},
                  {-12, -2, -15, 5}, {-10, 0, -15, 5}, {2, 12, 0, 15}};
    for (const YCase& c : yCases)
    {
        SCOPED_TRACE(testing::Message() << c.min << ".." << c.max);
        GRAPHSETTINGS s = Bare(0, 10, c.min, c.max, 200, 100);
        s.FitToDC(dc, false, true);
        ASSERT_DOUBLE_EQ(s.yStep, 5);
        EXPECT_DOUBLE_EQ(s.yMin, c.roundedMin);
        EXPECT_DOUBLE_EQ(s.yMax, c.roundedMax);
        EXPECT_EQ(s.xMax, 10);
    }

    // x minimum rounds like the y minimum.
    GRAPHSETTINGS s = Bare(-12, -2, 0, 12, 200, 100);
    s.FitToDC(dc, true, false);
    ASSERT_DOUBLE_EQ(s.xStep, 1);
    EXPECT_DOUBLE_EQ(s.xMin, -13);
}
