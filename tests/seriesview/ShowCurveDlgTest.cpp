#include "seriesview/ShowCurveDlg.h"

#include "platform/gui/PainterCanvas.h"
#include "platform/gui/RecordingCanvas.h"
#include "resources/BuiltInStrings.h"
#include "tests/seriesview/RenderOutput.h"
#include "tests/support/MeasurementTexts.h"
#include "tests/support/sim/IndentationTesterSim.h"

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using namespace Platform;
using Kind = CanvasOp::Kind;

namespace
{

class ShowCurveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        SetEnglishMeasurementTexts();
    }

    // The texts drawn in the title font.
    static std::vector<QString> Titles(const RecordingCanvas& dc)
    {
        std::vector<QString> titles;
        for (const CanvasOp& op : dc.OpsOf(Kind::TextOut))
            if (op.font.height == -26)
                titles.push_back(op.text);
        return titles;
    }

    CShowCurveDlg dlg;
    const Rect client{0, 0, 600, 400};
};

} // namespace

TEST_F(ShowCurveTest, VibrationGetsItsTitleAndACircle)
{
    const std::vector<uint16_t> curve = Sim::Curves::Vibration();
    dlg.SetCurve(curve);
    RecordingCanvas dc({0, 0, 600, 400});
    dlg.Paint(dc, client);

    EXPECT_EQ(Titles(dc), std::vector<QString>{"Vibration detected"});
    const auto fills = dc.OpsOf(Kind::FillRect);
    EXPECT_TRUE(std::any_of(fills.begin(), fills.end(),
                            [](const CanvasOp& op) {
                                return op.rect == Rect{0, 5, 600, 29} && op.color == Rgb(180, 180, 180);
                            }));
    const auto frames = dc.OpsOf(Kind::FrameRect);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].color, Rgb(120, 120, 120));

    const auto curves = dc.OpsOf(Kind::SmoothPolyline);
    ASSERT_EQ(curves.size(), 1u);
    EXPECT_EQ(curves[0].pointsF.size(), curve.size());
    // The circle stands on the sample the check points at, after the clip is gone.
    std::vector<uint16_t> copy = curve;
    CCurveCheck check;
    check.SetCurve(copy);
    float depth = 0;
    float value = 0;
    ASSERT_EQ(check.Evaluate(depth, value), CURVE_VIBRATION);
    const int mark = check.TakeMarkIndex();
    ASSERT_GE(mark, 0);
    const auto circles = dc.OpsOf(Kind::SmoothEllipse);
    ASSERT_EQ(circles.size(), 1u);
    const int cx = static_cast<int>(curves[0].pointsF[mark].x);
    const int cy = static_cast<int>(curves[0].pointsF[mark].y);
    EXPECT_EQ(circles[0].rect, (Rect{cx - 20, cy - 20, cx + 20, cy + 20}));
    EXPECT_EQ(circles[0].clipBox, (Rect{0, 0, 600, 400}));
    EXPECT_NE(curves[0].clipBox, (Rect{0, 0, 600, 400}));
    EXPECT_GE(curves[0].clipBox.top, 74);
    EXPECT_LE(curves[0].clipBox.bottom, 380);

    // The x axis ends 0.05 s after the last sample: the last point lies just left of the
    // plot's right edge (a little over 0.056 s of about 2 s).
    EXPECT_LT(curves[0].pointsF.back().x, curves[0].clipBox.right);
    EXPECT_GT(curves[0].pointsF.back().x, curves[0].clipBox.right - 20);
}

TEST_F(ShowCurveTest, CodesAndRanges)
{
    struct Case
    {
        std::vector<uint16_t> curve;
        const char* title;
        size_t circles;
    } cases[] = {
        {Sim::Curves::Passing(), "", 0},
        {Sim::Curves::ClampSuspected(), "Measurement clamp?", 0},
        {Sim::Curves::PressedTooFast(), "", 1}, // marked, but no warning title
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.title);
        dlg.SetCurve(c.curve);
        RecordingCanvas dc({0, 0, 600, 400});
        dlg.Paint(dc, client);
        EXPECT_EQ(Titles(dc), std::vector<QString>{c.title});
        EXPECT_EQ(dc.OpsOf(Kind::SmoothEllipse).size(), c.circles);
    }

    // y from the smallest sample's whole micrometres x 0.97 to the largest inner sample's
    // x 1.03: the passing curve spans 80 to 113.84 um, so 77.6 to 116.39.
    dlg.SetCurve(Sim::Curves::Passing());
    RecordingCanvas dc({0, 0, 600, 400});
    dlg.Paint(dc, client);
    std::vector<double> labels;
    for (const CanvasOp& op : dc.OpsOf(Kind::TextOut))
        if (op.textAlign == (TA_RIGHT | TA_TOP) && op.font.escapement == 0)
            labels.push_back(op.text.trimmed().toDouble());
    ASSERT_FALSE(labels.empty());
    EXPECT_GE(*std::min_element(labels.begin(), labels.end()), 77.6);
    EXPECT_LE(*std::max_element(labels.begin(), labels.end()), 116.39);
    EXPECT_TRUE(std::any_of(dc.Ops().begin(), dc.Ops().end(),
                            [](const CanvasOp& op)
                            { return op.kind == Kind::TextOut && op.text == "Micrometers"; }));

    // A curve too short for the check marks nothing, also when painted again.
    dlg.SetCurve(std::vector<uint16_t>(100, 8000));
    for (int paint = 0; paint < 2; ++paint)
    {
        RecordingCanvas again({0, 0, 600, 400});
        dlg.Paint(again, client);
        EXPECT_TRUE(again.OpsOf(Kind::SmoothEllipse).empty()) << paint;
    }

    // Short, flat and empty curves still get a chart with a rising y range.
    for (const std::vector<uint16_t>& curve :
         {std::vector<uint16_t>(150, 8000), std::vector<uint16_t>(300, 8000), std::vector<uint16_t>{}})
    {
        dlg.SetCurve(curve);
        RecordingCanvas small({0, 0, 600, 400});
        dlg.Paint(small, client);
        int axisLabels = 0;
        for (const CanvasOp& op : small.OpsOf(Kind::TextOut))
            axisLabels += op.textAlign == (TA_RIGHT | TA_TOP) && op.font.escapement == 0;
        EXPECT_GE(axisLabels, 2) << curve.size();
    }
}

TEST_F(ShowCurveTest, KeepsACopyAndShowsAgainAfterBeingHidden)
{
    std::vector<uint16_t> curve = Sim::Curves::Passing();
    dlg.SetCurve(curve);
    curve.assign(10, 1);
    EXPECT_EQ(dlg.GetCurve(), Sim::Curves::Passing());

    EXPECT_FALSE(dlg.IsCreated());
    dlg.ShowCurve();
    EXPECT_TRUE(dlg.IsCreated());
    EXPECT_TRUE(dlg.isVisible());
    QTest::keyClick(&dlg, Qt::Key_Return);
    EXPECT_FALSE(dlg.isVisible());
    dlg.SetCurve(Sim::Curves::Vibration());
    dlg.ShowCurve();
    EXPECT_TRUE(dlg.isVisible());
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());

    dlg.ShowCurve();
    const QImage shot = dlg.grab().toImage().convertToFormat(QImage::Format_RGB32);
    SaveRendering(shot, "signal-vibration");
    EXPECT_EQ(shot.pixel(300, 8), qRgb(180, 180, 180));
    EXPECT_EQ(shot.pixel(5, 200), qRgb(255, 255, 255));

    // One viewer for the whole program.
    EXPECT_EQ(&CShowCurveDlg::Instance(), &CShowCurveDlg::Instance());
    EXPECT_NE(&CShowCurveDlg::Instance(), &dlg);
}
