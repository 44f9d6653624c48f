#include "seriesview/GuidanceDlg.h"

#include "measurement/CurveCheck.h"
#include "platform/gui/PainterCanvas.h"
#include "platform/gui/RecordingCanvas.h"
#include "resources/BuiltInStrings.h"
#include "tests/seriesview/RenderOutput.h"
#include "tests/support/MeasurementTexts.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using namespace Platform;
using Kind = CanvasOp::Kind;

namespace
{

void Feed(CGuidanceDlg& g, uint16_t value, int count)
{
    for (int i = 0; i < count; ++i)
        g.AddSample(value);
}

// One second and a sample without a new minimum (state "pressed" at the 157th sample),
// then a depth 3 um deeper: 31 qualifying samples later "Hold" (sample 203), and once the
// last second is flat, 78 more for "Release" (sample 390).
void FeedUntil(CGuidanceDlg& g, int samples)
{
    for (int c = static_cast<int>(g.GetSamples().size()) + 1; c <= samples; ++c)
        g.AddSample(c <= 157 ? 8000 : 8300);
}

bool HasText(const std::vector<CanvasOp>& ops, const QString& text)
{
    return std::any_of(ops.begin(), ops.end(),
                       [&](const CanvasOp& op) { return op.kind == Kind::TextOut && op.text == text; });
}

class GuidanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        SetEnglishMeasurementTexts();
    }

    CGuidanceDlg dlg;
    const Rect client{0, 0, 600, 450};
};

} // namespace

TEST_F(GuidanceTest, PhasesFollowTheSamples)
{
    dlg.StartMeasurement(false);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.GetShownPhase(), CGuidanceDlg::phasePressDown);

    FeedUntil(dlg, 157);
    EXPECT_EQ(dlg.GetDetectorState(), CGuidanceDlg::detectPressed);
    // Exactly 31 qualifying samples in a row give "Hold".
    FeedUntil(dlg, 202);
    EXPECT_EQ(dlg.GetShownPhase(), CGuidanceDlg::phasePressDown);
    FeedUntil(dlg, 203);
    EXPECT_EQ(dlg.GetShownPhase(), CGuidanceDlg::phaseHold);
    // 78 flat samples (over a flat second) give "Release".
    FeedUntil(dlg, 389);
    EXPECT_EQ(dlg.GetShownPhase(), CGuidanceDlg::phaseHold);
    FeedUntil(dlg, 390);
    EXPECT_EQ(dlg.GetShownPhase(), CGuidanceDlg::phaseRelease);
    // Lifting the probe (a fast rise) finishes the test.
    dlg.AddSample(8310);
    EXPECT_EQ(dlg.GetShownPhase(), CGuidanceDlg::phaseRelease);
    Feed(dlg, 9000, 1);
    EXPECT_EQ(dlg.GetShownPhase(), CGuidanceDlg::phaseFinished);
    EXPECT_EQ(dlg.GetDetectorState(), CGuidanceDlg::detectFinished);
}

TEST_F(GuidanceTest, RestartsOnEveryNewMinimumAndBreaksRunsOnBadSamples)
{
    dlg.StartMeasurement(false);
    // A curve that keeps falling never leaves "Press down".
    for (int i = 0; i < 1000; ++i)
        dlg.AddSample(static_cast<uint16_t>(9000 - i));
    EXPECT_EQ(dlg.GetShownPhase(), CGuidanceDlg::phasePressDown);
    EXPECT_EQ(dlg.GetDetectorState(), CGuidanceDlg::detectPressing);

    // One sample that rises too fast in the run of 31 starts the count again.
    dlg.StartMeasurement(false);
    FeedUntil(dlg, 190);
    dlg.AddSample(9000);
    Feed(dlg, 8300, 30);
    EXPECT_EQ(dlg.GetShownPhase(), CGuidanceDlg::phasePressDown);
    Feed(dlg, 8300, 1);
    EXPECT_EQ(dlg.GetShownPhase(), CGuidanceDlg::phaseHold);
    // A new minimum while holding starts the detection again; the shown phase stays.
    dlg.AddSample(7000);
    EXPECT_EQ(dlg.GetDetectorState(), CGuidanceDlg::detectPressing);
}

TEST_F(GuidanceTest, TimeAxisGrowsByThreeSecondsHalfASecondBeforeItsEnd)
{
    dlg.StartMeasurement(false);
    Feed(dlg, 8000, 1007);
    EXPECT_EQ(dlg.GetXAxisLength(), 7);
    Feed(dlg, 8000, 1);
    EXPECT_EQ(dlg.GetXAxisLength(), 10);
    Feed(dlg, 8000, 1200 - 1008);
    EXPECT_EQ(dlg.GetXAxisLength(), 10);
    dlg.StartMeasurement(false);
    EXPECT_EQ(dlg.GetXAxisLength(), 7);
    EXPECT_TRUE(dlg.GetSamples().empty());
}

TEST_F(GuidanceTest, ResultDecidesPhaseAndHideTime)
{
    struct Case
    {
        int code;
        int phase;
        int delay;
    } cases[] = {
        {CURVE_ACCEPTED, CGuidanceDlg::phaseFinished, 500},
        {CURVE_TOO_SHORT, CGuidanceDlg::phaseNone, 3500},
        {CURVE_INCOMPLETE, CGuidanceDlg::phaseIncomplete, 3500},
        {CURVE_PRESSED_TOO_FAST, CGuidanceDlg::phasePressedTooFast, 3500},
        {CURVE_RELEASED_TOO_FAST, CGuidanceDlg::phaseReleasedTooFast, 3500},
        {CURVE_CLAMP_SUSPECTED, CGuidanceDlg::phaseClamp, 2500},
        {CURVE_VIBRATION, CGuidanceDlg::phaseVibration, 2500},
        {99, CGuidanceDlg::phaseFinished, 3500},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.code);
        dlg.StartMeasurement(false);
        FeedUntil(dlg, 400); // "Release" shown
        int code = c.code;
        dlg.FinishMeasurement(code, 300);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(dlg.GetShownPhase(), c.phase);
        EXPECT_EQ(dlg.GetHideDelay(), c.delay);
        EXPECT_EQ(dlg.GetMarkIndex(), 300);
        // The end marker follows the samples.
        EXPECT_EQ(dlg.GetSamples().size(), 401u);
        EXPECT_EQ(dlg.GetSamples().back(), CGuidanceDlg::kEndMarker);
    }

    // Ended while "Hold" was shown: incomplete, whatever the check said.
    dlg.StartMeasurement(false);
    FeedUntil(dlg, 250);
    int code = CURVE_VIBRATION;
    dlg.FinishMeasurement(code, 120);
    EXPECT_EQ(code, CGuidanceDlg::kIncompleteResult);
    EXPECT_EQ(dlg.GetShownPhase(), CGuidanceDlg::phaseIncomplete);
    EXPECT_EQ(dlg.GetDetectorState(), CGuidanceDlg::detectFinished);
    EXPECT_EQ(dlg.GetMarkIndex(), -1);
    EXPECT_EQ(dlg.GetHideDelay(), 3500);
}

TEST_F(GuidanceTest, HideTimerEndsTheWindowAndANewTestStopsIt)
{
    dlg.StartMeasurement(false);
    FeedUntil(dlg, 400);
    int code = CURVE_ACCEPTED;
    dlg.FinishMeasurement(code, -1);
    ASSERT_EQ(dlg.GetHideDelay(), 500);
    dlg.OnTimer(CGuidanceDlg::kHideTimerId + 1);
    EXPECT_TRUE(dlg.isVisible());
    dlg.OnTimer(CGuidanceDlg::kHideTimerId);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.GetHideDelay(), 0);

    // A pending hide does not hit the next test.
    dlg.StartMeasurement(false);
    FeedUntil(dlg, 400);
    dlg.FinishMeasurement(code, -1);
    dlg.StartMeasurement(true);
    EXPECT_EQ(dlg.GetHideDelay(), 0);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(dlg.IsImperial());

    // Esc ends the dialog at once.
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());

    // The real timer fires too.
    dlg.StartMeasurement(false);
    FeedUntil(dlg, 400);
    dlg.FinishMeasurement(code, -1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg.isVisible(); }, 5000));
}

TEST_F(GuidanceTest, PaintsChartTitleCurveMarkAndMessage)
{
    dlg.StartMeasurement(false);
    FeedUntil(dlg, 400);
    int code = CURVE_VIBRATION;
    dlg.FinishMeasurement(code, 300);

    RecordingCanvas dc({0, 0, 600, 450});
    dlg.Paint(dc, client);
    const auto& ops = dc.Ops();

    // White ground, then the chart with its axis titles.
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops.front().kind, Kind::FillRect);
    EXPECT_EQ(ops.front().rect, client);
    EXPECT_EQ(ops.front().color, Rgb(255, 255, 255));
    EXPECT_TRUE(HasText(ops, "seconds"));
    EXPECT_TRUE(HasText(ops, "Micrometers"));

    // The title box: from 5 below the top, twice the title height, grey, framed.
    const auto fills = dc.OpsOf(Kind::FillRect);
    const Rect titleBox{0, 5, 600, 5 + 2 * 12};
    EXPECT_TRUE(std::any_of(fills.begin(), fills.end(),
                            [&](const CanvasOp& op)
                            { return op.rect == titleBox && op.color == Rgb(180, 180, 180); }));
    const auto title = std::find_if(ops.begin(), ops.end(),
                                    [](const CanvasOp& op)
                                    { return op.kind == Kind::TextOut && op.text == "Vibration detected"; });
    ASSERT_NE(title, ops.end());
    EXPECT_EQ(title->points[0], (Point{(600 - 18 * 6) / 2, 5 + 12}));
    EXPECT_EQ(title->font.height, -26);
    EXPECT_EQ(title->font.faceName, "Tahoma");

    // The curve: every real sample (the end marker is no depth), blue, 1.6 wide, clipped
    // to the plot.
    const auto curves = dc.OpsOf(Kind::SmoothPolyline);
    ASSERT_EQ(curves.size(), 1u);
    const CanvasOp& curve = curves[0];
    EXPECT_EQ(curve.pointsF.size(), 400u);
    EXPECT_EQ(curve.color, Rgb(0, 0, 255));
    EXPECT_EQ(curve.width, 1.6);
    EXPECT_GE(curve.clipBox.top, 74);
    EXPECT_LE(curve.clipBox.bottom, 450 - 90);
    EXPECT_GE(curve.clipBox.left, 20);
    EXPECT_LE(curve.clipBox.right, 580);
    // Sample 155 lies one second to the right of sample 0, both at 80 um.
    EXPECT_GT(curve.pointsF[155].x, curve.pointsF[0].x);
    EXPECT_EQ(curve.pointsF[155].y, curve.pointsF[0].y);
    EXPECT_LT(curve.pointsF[300].y, curve.pointsF[0].y);

    // The mark: a red circle of 40 around the marked sample's whole pixel.
    const auto marks = dc.OpsOf(Kind::SmoothEllipse);
    ASSERT_EQ(marks.size(), 1u);
    const int cx = static_cast<int>(curve.pointsF[300].x);
    const int cy = static_cast<int>(curve.pointsF[300].y);
    EXPECT_EQ(marks[0].rect, (Rect{cx - 20, cy - 20, cx + 20, cy + 20}));
    EXPECT_EQ(marks[0].color, Rgb(255, 0, 0));
    EXPECT_EQ(marks[0].width, 3.0);

    // The message band at the bottom with the wrapped message in it.
    const Rect band{-1, 450 - 70, 601, 450 - 5};
    EXPECT_TRUE(std::any_of(fills.begin(), fills.end(),
                            [&](const CanvasOp& op)
                            { return op.rect == band && op.color == Rgb(180, 180, 180); }));
    const auto vibration =
        std::find_if(ops.begin(), ops.end(),
                     [](const CanvasOp& op) { return op.kind == Kind::TextOut && op.text == "Vibration"; });
    ASSERT_NE(vibration, ops.end());
    EXPECT_EQ(vibration->points[0], (Point{band.left + 50 + 10, band.top + 10}));
    EXPECT_EQ(vibration->font.height, -16);
    EXPECT_TRUE(HasText(ops, "inaccurate"));
}

TEST_F(GuidanceTest, ResultsWithoutMarkOrMessage)
{
    // Incomplete: title and message, no circle even though the check marked a sample.
    dlg.StartMeasurement(false);
    FeedUntil(dlg, 250);
    int code = CURVE_VIBRATION;
    dlg.FinishMeasurement(code, 120);
    RecordingCanvas dc({0, 0, 600, 450});
    dlg.Paint(dc, client);
    EXPECT_TRUE(HasText(dc.Ops(), "Incomplete"));
    EXPECT_TRUE(HasText(dc.Ops(), "ignored!"));
    EXPECT_TRUE(dc.OpsOf(Kind::SmoothEllipse).empty());

    // Too short: an empty title box and no message band.
    dlg.StartMeasurement(false);
    FeedUntil(dlg, 400);
    code = CURVE_TOO_SHORT;
    dlg.FinishMeasurement(code, 50);
    dc.Clear();
    dlg.Paint(dc, client);
    for (const CanvasOp& op : dc.OpsOf(Kind::FillRect))
        EXPECT_NE(op.rect.top, 450 - 70);
    for (const CanvasOp& op : dc.OpsOf(Kind::TextOut))
        EXPECT_FALSE(op.font.height == -26 && !op.text.isEmpty()) << op.text.toStdString();
    EXPECT_EQ(dc.OpsOf(Kind::SmoothEllipse).size(), 1u);

    // A mark past the samples is dropped at the next paint.
    dlg.StartMeasurement(false);
    FeedUntil(dlg, 400);
    code = CURVE_CLAMP_SUSPECTED;
    dlg.FinishMeasurement(code, 400);
    dc.Clear();
    dlg.Paint(dc, client);
    EXPECT_TRUE(dc.OpsOf(Kind::SmoothEllipse).empty());
    EXPECT_EQ(dlg.GetMarkIndex(), -1);
    EXPECT_TRUE(HasText(dc.Ops(), "Measurement clamp?"));
}

TEST_F(GuidanceTest, ImperialShowsThousandthsOfAnInch)
{
    RecordingCanvas metric({0, 0, 600, 450});
    dlg.StartMeasurement(false);
    FeedUntil(dlg, 300);
    dlg.Paint(metric, client);

    RecordingCanvas imperial({0, 0, 600, 450});
    dlg.StartMeasurement(true);
    FeedUntil(dlg, 300);
    dlg.Paint(imperial, client);

    EXPECT_TRUE(HasText(metric.Ops(), "Micrometers"));
    EXPECT_TRUE(HasText(imperial.Ops(), "1/1000 inch"));
    // Left-axis labels (right-aligned, left of the plot): 72 to 133 um, or 2.8 to 5.2 mils.
    auto labels = [](const RecordingCanvas& dc)
    {
        std::vector<double> values;
        for (const CanvasOp& op : dc.OpsOf(Kind::TextOut))
            if (op.textAlign == (TA_RIGHT | TA_TOP) && op.font.escapement == 0)
                values.push_back(op.text.trimmed().toDouble());
        return values;
    };
    const std::vector<double> um = labels(metric);
    const std::vector<double> mils = labels(imperial);
    ASSERT_FALSE(um.empty());
    ASSERT_FALSE(mils.empty());
    EXPECT_GE(*std::min_element(um.begin(), um.end()), 72);
    EXPECT_LE(*std::max_element(um.begin(), um.end()), 133);
    EXPECT_GE(*std::min_element(mils.begin(), mils.end()), 72 * 0.03937 - 0.01);
    EXPECT_LE(*std::max_element(mils.begin(), mils.end()), 133 * 0.03937 + 0.01);
    // The curve sits at the same height relative to its axis in both units.
    const auto m = metric.OpsOf(Kind::SmoothPolyline);
    const auto i = imperial.OpsOf(Kind::SmoothPolyline);
    ASSERT_EQ(m.size(), 1u);
    ASSERT_EQ(i.size(), 1u);
    EXPECT_NEAR(m[0].pointsF[200].y, i[0].pointsF[200].y, 0.5);
}

TEST_F(GuidanceTest, WindowPaintsThroughAnOffScreenSurface)
{
    dlg.StartMeasurement(false);
    FeedUntil(dlg, 400);
    Feed(dlg, 8600, 20);
    Feed(dlg, 8400, 100);
    int code = CURVE_VIBRATION;
    dlg.FinishMeasurement(code, 300);
    dlg.resize(600, 450);
    const QImage shot = dlg.grab().toImage().convertToFormat(QImage::Format_RGB32);
    SaveRendering(shot, "guidance-vibration");
    ASSERT_EQ(shot.size(), QSize(600, 450));
    // Grey title box with its frame, white chart ground, and the red mark somewhere.
    EXPECT_EQ(shot.pixel(300, 8), qRgb(180, 180, 180));
    EXPECT_EQ(shot.pixel(300, 5), qRgb(120, 120, 120));
    EXPECT_EQ(shot.pixel(5, 200), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(5, 440), qRgb(180, 180, 180));
    int red = 0;
    int blue = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
        {
            const QRgb p = shot.pixel(x, y);
            red += qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
            blue += qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60;
        }
    EXPECT_GT(red, 100);
    EXPECT_GT(blue, 100);

    // Another size for a person to look at: the result of an incomplete test.
    dlg.StartMeasurement(true);
    FeedUntil(dlg, 250);
    code = 0;
    dlg.FinishMeasurement(code, -1);
    dlg.resize(500, 380);
    SaveRendering(dlg.grab().toImage(), "guidance-incomplete-imperial");
}
