// The series cell: bar graph, value list, panel layout and the row-height animation.
#include "tests/measurement/SeriesFixture.h"
#include "tests/seriesview/RenderOutput.h"

#include "document/ValueText.h"
#include "document/VeskDoc.h"
#include "grid/GridCtrl.h"
#include "measurement/FolderData.h"
#include "measurement/MeasSeriesWrapper.h"
#include "platform/gui/PainterCanvas.h"
#include "platform/gui/RecordingCanvas.h"
#include "resources/BuiltInStrings.h"
#include "seriesview/ColorScheme.h"
#include "seriesview/GridCellSeries.h"
#include "tests/support/MeasurementTexts.h"

#include <gtest/gtest.h>

#include <algorithm>

using Platform::CanvasOp;
using Platform::RecordingCanvas;
using Platform::Rect;
using Platform::Size;

namespace
{
// Rebound probe D converted to HRC: HRC = x / 8 - 30 over 320..880, i.e. 10..80 HRC.
float Probe(float hrc)
{
    return (hrc + 30.0f) * 8.0f;
}

Platform::Font TestFont()
{
    Platform::LogFont lf;
    lf.height = -12;
    lf.weight = 400;
    lf.faceName = QStringLiteral("DejaVu Sans");
    return Platform::Font(lf);
}

// A recording canvas with the test font selected.
struct TestCanvas : RecordingCanvas
{
    TestCanvas() : RecordingCanvas({0, 0, 3000, 4000}) { SelectFont(TestFont()); }
};

// A document whose current folder holds one series of the given HRC readings.
class SeriesCellTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        SetEnglishMeasurementTexts();
    }

    CMeasSeries1& AddSeries(const std::vector<float>& hrc, int probe = SeriesFixture::kProbeD,
                            int target = SeriesFixture::kHRC)
    {
        auto series = SeriesFixture::NewSeries(probe, target, 1, 20000);
        for (float v : hrc)
            series->AddReading(Probe(v), Probe(v), 0, -1);
        series->CommitNew();
        auto entry = std::make_unique<CMeasSeriesWrapper>();
        entry->SetName(QStringLiteral("s"));
        entry->SetSeries(std::move(series));
        auto folder = std::make_unique<CFolderData>();
        folder->AddSeries(std::move(entry), true);
        CFolderData* raw = folder.get();
        doc.AddFolder(QStringLiteral("\\"), folder);
        doc.SetCurrentFolder(raw, QStringLiteral("\\"), true);
        cell.SetSeries(&doc, 0);
        return *doc.GetSeriesAt(0)->GetSeries();
    }

    static std::vector<CanvasOp> Texts(const RecordingCanvas& dc)
    {
        return dc.OpsOf(CanvasOp::Kind::TextOut);
    }
    static bool HasText(const RecordingCanvas& dc, const QString& text)
    {
        const auto ops = Texts(dc);
        return std::any_of(ops.begin(), ops.end(), [&](const CanvasOp& op) { return op.text == text; });
    }
    // The bars: rectangles in one of the four bar colours, left to right.
    static std::vector<CanvasOp> Bars(const RecordingCanvas& dc)
    {
        std::vector<CanvasOp> bars;
        for (const CanvasOp& op : dc.OpsOf(CanvasOp::Kind::Rectangle))
            if (op.brush.color == CColorScheme::kBarInside || op.brush.color == CColorScheme::kBarOutside ||
                op.brush.color == CColorScheme::kBarInsideHover ||
                op.brush.color == CColorScheme::kBarOutsideHover)
                bars.push_back(op);
        return bars;
    }

    CVeskDoc doc;
    CGridCellSeries cell;
};

TEST(SeriesCellOrder, ComparesByNativeValueInTheFirstRecordsDirection)
{
    using V = CGridCellSeries::VALUEANDINDEX;
    struct Case
    {
        double a;
        double b;
        uint8_t ascending;
        int expected;
    } cases[] = {{1, 2, 1, -1}, {2, 1, 1, 1}, {3, 3, 1, 0}, {1, 2, 0, 1}, {2, 1, 0, -1}, {3, 3, 0, 0}};
    for (const Case& c : cases)
    {
        V a;
        a.nativeValue = c.a;
        a.ascending = c.ascending;
        V b;
        b.nativeValue = c.b;
        b.ascending = 1 - c.ascending; // only the first record's flag counts
        EXPECT_EQ(CGridCellSeries::CompareValueAndIndex(a, b), c.expected) << c.a << " " << c.b;
    }
}

TEST_F(SeriesCellTest, BarGraphColoursBarsByLimitsAndExplainsOutOfRangeValues)
{
    CMeasSeries1& series = AddSeries({30, 50, 70});
    series.AddReading(900.0f, 900.0f, 0, -1); // above the conversion's range
    ASSERT_TRUE(series.SetLimits(40.0f, 60.0f, -1));
    TestCanvas dc;

    const Size size = cell.DrawBarGraph(dc, 0, 0, 800, 300, 0, 100, false);
    EXPECT_EQ(size.cy, 300);
    const int decimals = doc.GetSeriesDecimals(0, 0);

    EXPECT_TRUE(HasText(dc, QStringLiteral("Bar graph ")));
    EXPECT_TRUE(HasText(dc, QStringLiteral("[measurement order]")));
    const auto bars = Bars(dc);
    ASSERT_EQ(bars.size(), 4u);
    const Platform::ColorRef expected[] = {CColorScheme::kBarOutside, CColorScheme::kBarInside,
                                           CColorScheme::kBarOutside, CColorScheme::kBarOutside};
    for (size_t i = 0; i < bars.size(); ++i)
    {
        EXPECT_EQ(bars[i].brush.color, expected[i]) << i;
        EXPECT_EQ(bars[i].pen.color, expected[i]) << i;
        EXPECT_EQ(bars[i].rect.Width(), 24) << i;
        EXPECT_EQ(bars[i].rect.bottom, bars[0].rect.bottom);
        if (i > 0)
        {
            EXPECT_EQ(bars[i].rect.left - bars[i - 1].rect.left, 26);
        }
    }
    // Higher values, higher bars; the out-of-range one reaches the top of the range.
    EXPECT_LT(bars[1].rect.top, bars[0].rect.top);
    EXPECT_LT(bars[2].rect.top, bars[1].rect.top);
    EXPECT_LT(bars[3].rect.top, bars[2].rect.top);

    // Value labels centred over the bars; "--" for the value without conversion.
    const auto texts = Texts(dc);
    for (size_t i = 0; i < bars.size(); ++i)
    {
        const QString label = i == 3 ? QStringLiteral("--") : FormatValue(30.0f + 20.0f * float(i), decimals);
        auto it = std::find_if(texts.begin(), texts.end(),
                               [&](const CanvasOp& op) {
                                   return op.text == label &&
                                          op.textAlign == (Platform::TA_CENTER | Platform::TA_BASELINE);
                               });
        ASSERT_NE(it, texts.end()) << label.toStdString();
        EXPECT_EQ(it->points[0].x, (bars[i].rect.left + bars[i].rect.right) / 2 + 1);
        EXPECT_EQ(it->points[0].y, bars[i].rect.top - 3);
    }

    // The tolerance band spans 40..60 between the bars' heights for those values.
    const auto fills = dc.OpsOf(CanvasOp::Kind::FillRect);
    auto band = std::find_if(fills.begin(), fills.end(),
                             [](const CanvasOp& op) { return op.color == CColorScheme::kToleranceBand; });
    ASSERT_NE(band, fills.end());
    EXPECT_LT(band->rect.top, bars[1].rect.top);
    EXPECT_GT(band->rect.bottom, bars[1].rect.top);

    // Tooltips and hit areas carry the reading.
    Rect zone;
    QString title;
    QString text;
    ASSERT_TRUE(cell.GetTipZoneAt({bars[0].rect.left + 1, bars[0].rect.bottom - 2}, &zone, &title, &text));
    EXPECT_EQ(title, QStringLiteral("Measurement number 1"));
    EXPECT_EQ(text, FormatValue(30.0f, decimals) + QStringLiteral(" HRC\nDirection: ") +
                        doc.GetSeriesAt(0)->GetReadingDirectionText(0, false));
    ASSERT_TRUE(cell.GetTipZoneAt({bars[3].rect.left + 1, bars[3].rect.bottom - 2}, &zone, &title, &text));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Measurement out of range for converting to HRC scale.\r\n"
                                               "Valid range: 320 ... 880 ")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\r\nThis measurement: 900 "))) << text.toStdString();
    int kind = -1;
    int item = -1;
    ASSERT_TRUE(cell.GetHitAreas().HitTest({bars[2].rect.left, bars[2].rect.top}, &kind, &item));
    EXPECT_EQ(kind, SERIESHIT_BAR);
    EXPECT_EQ(item, 2);
}

TEST_F(SeriesCellTest, BarWidthShrinksWithTheRoom)
{
    std::vector<float> values(400, 50.0f);
    AddSeries(values);
    struct Case
    {
        int count;
        int width;
        int barWidth;
    } cases[] = {{1, 800, 24}, {27, 800, 24}, {30, 800, 23}, {100, 800, 6}, {400, 800, 0}};
    for (const Case& c : cases)
    {
        TestCanvas dc;
        cell.DrawBarGraph(dc, 0, 0, c.width, 300, 0, c.count, false);
        const auto bars = Bars(dc);
        ASSERT_EQ(int(bars.size()), c.count);
        EXPECT_EQ(bars[0].rect.Width(), c.barWidth) << c.count;
        // The order link needs two bars to order.
        EXPECT_EQ(HasText(dc, QStringLiteral("[measurement order]")), c.count > 1);
    }
}

TEST_F(SeriesCellTest, ValueOrderSortsBarsAndRowsWithoutNumbersBelowTheBars)
{
    AddSeries({50, 20, 70, 40});
    ASSERT_EQ(doc.GetSeriesValueOrder(0), -1);
    TestCanvas plain;
    cell.DrawBarGraph(plain, 0, 0, 800, 300, 0, 100, false);
    EXPECT_EQ(doc.GetSeriesValueOrder(0), 0) << "an unset order becomes measurement order";
    // Reading numbers below the bars, in measurement order only.
    EXPECT_TRUE(HasText(plain, QStringLiteral("1")));

    // A fresh cell, so that only this paint's areas are asked (a cell's own draw clears them).
    doc.SetSeriesValueOrder(0, 1);
    CGridCellSeries fresh;
    fresh.SetSeries(&doc, 0);
    TestCanvas dc;
    fresh.DrawBarGraph(dc, 0, 0, 800, 300, 0, 100, false);
    EXPECT_TRUE(HasText(dc, QStringLiteral("[ordered by value]")));
    const auto bars = Bars(dc);
    ASSERT_EQ(bars.size(), 4u);
    const int readingOf[] = {1, 3, 0, 2}; // 20, 40, 50, 70
    for (size_t i = 0; i < bars.size(); ++i)
    {
        int item = -1;
        ASSERT_TRUE(
            fresh.GetHitAreas().HitTest({bars[i].rect.left, bars[i].rect.bottom - 1}, nullptr, &item));
        EXPECT_EQ(item, readingOf[i]);
        if (i > 0)
        {
            EXPECT_LE(bars[i].rect.top, bars[i - 1].rect.top);
        }
    }
    for (const CanvasOp& op : Texts(dc))
        EXPECT_NE(op.textAlign, unsigned(Platform::TA_CENTER | Platform::TA_TOP)) << op.text.toStdString();

    TestCanvas list;
    fresh.DrawValueList(list, 0, 0, 300, 0, 100, false);
    QStringList numbers;
    for (const CanvasOp& op : Texts(list))
        if (op.textAlign == Platform::TA_RIGHT && !op.text.contains(QLatin1Char('.')) && op.text.size() == 1)
            numbers << op.text;
    EXPECT_EQ(numbers, (QStringList{"2", "4", "1", "3"}));
}

TEST_F(SeriesCellTest, IndentationDepthsOrderByFallingDepth)
{
    // Depth to HV falls with the depth: ordered by value, the deepest indent comes first.
    auto series = SeriesFixture::NewSeries(SeriesFixture::kProbeVk, SeriesFixture::kHV, 2);
    for (float depth : {50.0f, 20.0f, 80.0f})
        series->AddReading(depth, depth, 31, -1);
    series->CommitNew();
    const auto sortedNumbers = [&]
    {
        std::vector<CGridCellSeries::VALUEANDINDEX> records;
        for (int i = 0; i < 3; ++i)
        {
            CGridCellSeries::VALUEANDINDEX r;
            r.nativeValue = series->GetNativeValue(i, 5);
            r.number = i + 1;
            r.ascending = series->GetProbeId().IsBenchProbe() ? 0 : 1;
            records.push_back(r);
        }
        std::sort(records.begin(), records.end(),
                  [](const auto& a, const auto& b)
                  { return CGridCellSeries::CompareValueAndIndex(a, b) < 0; });
        std::vector<int> numbers;
        for (const auto& r : records)
            numbers.push_back(r.number);
        return numbers;
    }();
    EXPECT_EQ(sortedNumbers, (std::vector<int>{3, 1, 2}));
}

TEST_F(SeriesCellTest, SecondBlockIsContinuedFromReading101)
{
    AddSeries(std::vector<float>(150, 45.0f));
    TestCanvas dc;
    cell.DrawBarGraph(dc, 0, 0, 3000, 300, 100, 100, false);
    EXPECT_TRUE(HasText(dc, QStringLiteral("Bar graph (continued) ")));
    const auto bars = Bars(dc);
    ASSERT_EQ(bars.size(), 50u);
    Rect zone;
    QString title;
    QString text;
    ASSERT_TRUE(cell.GetTipZoneAt({bars[0].rect.left + 1, bars[0].rect.bottom - 1}, &zone, &title, &text));
    EXPECT_EQ(title, QStringLiteral("Measurement number 101"));

    TestCanvas list;
    cell.DrawValueList(list, 0, 0, 2000, 100, 100, false);
    EXPECT_TRUE(HasText(list, QStringLiteral("Measurements (continued) ")));
    EXPECT_TRUE(HasText(list, QStringLiteral("101")));
    EXPECT_FALSE(HasText(list, QStringLiteral("100")));
}

// A reading without a value ("--") before the last one: the details list every reading
// that is not excluded, as the text export does, in either order.
TEST_F(SeriesCellTest, AReadingWithoutAValueCutsNoReadingOffTheDetails)
{
    CMeasSeries1& series = AddSeries({50, 60, 58});
    series.AddReading(MEAS_NO_VALUE, MEAS_NO_VALUE, 0, -1);
    series.IncludeReading(3, 7); // true only for a reading with a value
    ASSERT_FALSE(series.IsReadingExcluded(3, 7));
    series.AddReading(Probe(53), Probe(53), 0, -1);
    ASSERT_EQ(series.GetCount(7), 5);
    for (const int order : {0, 1})
    {
        SCOPED_TRACE(order);
        doc.SetSeriesValueOrder(0, order);
        TestCanvas dc;
        cell.Draw(&dc, 1, 1, {0, 0, 1100, 420}, false);
        // 53.0 is no statistic of the series: only its own row shows it. A bar for each
        // reading, the one without a value too.
        EXPECT_TRUE(HasText(dc, QStringLiteral("53.0")));
        EXPECT_TRUE(HasText(dc, QStringLiteral("--")));
        EXPECT_EQ(Bars(dc).size(), 5u);
        EXPECT_EQ(cell.ValuesText(-1, false), QStringLiteral("50.0\n60.0\n58.0\n--\n53.0"));
    }
}

TEST_F(SeriesCellTest, MeasuringDrawsNothingAndGivesThePaintedSize)
{
    CMeasSeries1& series = AddSeries({30, 50, 70, 20, 60});
    series.ExcludeReading(1, 5);
    for (bool byValue : {false, true})
    {
        doc.SetSeriesValueOrder(0, byValue ? 1 : 0);
        CGridCellSeries fresh;
        fresh.SetSeries(&doc, 0);
        TestCanvas measured;
        const Size g = fresh.DrawBarGraph(measured, 5, 7, 800, 300, 0, 100, true);
        const Size l = fresh.DrawValueList(measured, 5, 7, 300, 0, 100, true);
        const Size s = fresh.DrawStatistics(measured, 5, 7, true);
        const Size t = fresh.DrawSettings(measured, 5, 7, true);
        const Size m = fresh.DrawComment(measured, 5, 7, 300, true);
        EXPECT_TRUE(measured.Ops().empty());
        EXPECT_TRUE(fresh.GetHitAreas().IsEmpty());

        TestCanvas painted;
        EXPECT_EQ(fresh.DrawBarGraph(painted, 5, 7, 800, 300, 0, 100, false), g);
        EXPECT_EQ(fresh.DrawValueList(painted, 5, 7, 300, 0, 100, false), l);
        EXPECT_EQ(fresh.DrawStatistics(painted, 5, 7, false), s);
        EXPECT_EQ(fresh.DrawSettings(painted, 5, 7, false), t);
        EXPECT_EQ(fresh.DrawComment(painted, 5, 7, 300, false), m);
        EXPECT_FALSE(painted.Ops().empty());
    }
}

TEST_F(SeriesCellTest, ValueListFlowsIntoColumnsAndMarksTheHoveredRow)
{
    CMeasSeries1& series = AddSeries(std::vector<float>(300, 45.0f));
    series.ExcludeReading(299, 5);
    series.AddReading(Probe(45), Probe(45), 0, -1);
    cell.SetHoveredReading(4);
    TestCanvas dc;
    const Size size = cell.DrawValueList(dc, 0, 0, 300, 0, 300, false);

    // Recording canvas: 6 pixels a character, 12 a line. Title at (10, 10) with the
    // undelete link after it; rows from 10 + 14 = 24, 12 high, while row bottom + 10 <= 300.
    EXPECT_TRUE(HasText(dc, QStringLiteral("Measurements ")));
    EXPECT_TRUE(HasText(dc, QStringLiteral("[Undelete]")));
    const int nw = 24;
    const int decimals = doc.GetSeriesDecimals(0, 0);
    const int vw = 6 * int(std::max(QString::number(80.0, 'f', decimals).size(),
                                    FormatValue(MEAS_BELOW_RANGE, decimals).size()));
    const int rowsPerColumn = (300 - 10 - 24) / 12;
    const int columns = (300 + rowsPerColumn - 1) / rowsPerColumn;
    // Each row draws its number, then its value.
    std::vector<int> numberX;
    bool number = true;
    for (const CanvasOp& op : Texts(dc))
    {
        if (op.textAlign != Platform::TA_RIGHT)
            continue;
        if (number && op.points[0].y == 24)
            numberX.push_back(op.points[0].x);
        number = !number;
    }
    ASSERT_EQ(int(numberX.size()), columns);
    for (size_t i = 1; i < numberX.size(); ++i)
        EXPECT_EQ(numberX[i] - numberX[i - 1], 24 + vw + nw);
    EXPECT_EQ(size.cy, 24 + rowsPerColumn * 12 + 10);

    const auto rects = dc.OpsOf(CanvasOp::Kind::Rectangle);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].brush.color, CColorScheme::kRowHoverFill);
    EXPECT_EQ(rects[0].pen.color, CColorScheme::kRowHoverFrame);
    EXPECT_EQ(rects[0].rect, (Rect{10 - 8, 24 + 4 * 12, 10 + nw + 2 + vw + 12, 24 + 5 * 12}));
    int kind = -1;
    int item = -1;
    ASSERT_TRUE(cell.GetHitAreas().HitTest({20, 24 + 4 * 12 + 5}, &kind, &item));
    EXPECT_EQ(kind, SERIESHIT_VALUE);
    EXPECT_EQ(item, 4);
    ASSERT_TRUE(cell.GetHitAreas().HitTest({12, 12}, &kind, &item));
    EXPECT_EQ(kind, SERIESHIT_LISTTITLE);
}

TEST(SeriesCellWords, CutsTheCommentIntoWords)
{
    struct Case
    {
        QString text;
        QStringList words;
    } cases[] = {
        {QStringLiteral("ab cd"), {"ab", " ", "cd"}},
        {QStringLiteral("a. b"), {"a", ".", " ", "b"}},
        {QStringLiteral("x\r\ny"), {"x", "\n", "y"}},
        {QStringLiteral("\r\r"), {}},
        {QStringLiteral(" "), {" "}},
    };
    for (const Case& c : cases)
    {
        QStringList words;
        int pos = 0;
        for (QString w = CGridCellSeries::NextWord(c.text, pos); !w.isEmpty();
             w = CGridCellSeries::NextWord(c.text, pos))
            words << w;
        EXPECT_EQ(words, c.words) << c.text.toStdString();
    }
}

TEST_F(SeriesCellTest, CommentWordsWrapAndALongWordIsBrokenCompletely)
{
    AddSeries({50});
    doc.SetSeriesComment(0, QStringLiteral("aaaa bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb c"));
    TestCanvas dc;
    // 100 wide: 80 for text, 13 characters of 6 pixels.
    const Size size = cell.DrawComment(dc, 0, 0, 100, false);
    QString drawn;
    std::vector<int> lineTops;
    for (const CanvasOp& op : Texts(dc))
    {
        if (op.text == QStringLiteral("Comment"))
            continue;
        drawn += op.text;
        EXPECT_EQ(op.textColor, CColorScheme::kLink);
        EXPECT_LE(op.points[0].x + 6 * op.text.size(), 10 + 80);
        if (lineTops.empty() || lineTops.back() != op.points[0].y)
            lineTops.push_back(op.points[0].y);
    }
    EXPECT_EQ(drawn, QStringLiteral("aaaa bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb c"));
    // "aaaa " and 8 b's; 13 b's; the last 9 b's, " " and "c".
    EXPECT_EQ(lineTops, (std::vector<int>{24, 36, 48}));
    EXPECT_EQ(size, (Size{100, 20 + 14 + 24 + 12}));
    int item = -1;
    ASSERT_TRUE(cell.GetHitAreas().HitTest({12, 26}, nullptr, &item));
    EXPECT_EQ(item, LINK_COMMENT);

    doc.SetSeriesComment(0, QString());
    TestCanvas empty;
    cell.DrawComment(empty, 0, 0, 300, false);
    EXPECT_TRUE(HasText(empty, QStringLiteral("[Add]")));
}

TEST_F(SeriesCellTest, SettingsOfferRestoreOnlyAfterAChange)
{
    CMeasSeries1& series = AddSeries({50});
    TestCanvas before;
    cell.DrawSettings(before, 0, 0, false);
    EXPECT_FALSE(HasText(before, QStringLiteral("[restore original settings]")));
    EXPECT_TRUE(HasText(before, QStringLiteral("off")));
    EXPECT_FALSE(HasText(before, QStringLiteral("Unit"))) << "rebound probes have no unit row";

    ASSERT_TRUE(series.SetLimits(40.0f, 60.0f, -1));
    ASSERT_FALSE(series.IsUnchanged(true));
    TestCanvas after;
    cell.DrawSettings(after, 0, 0, false);
    EXPECT_TRUE(HasText(after, QStringLiteral("[restore original settings]")));
    const QString upperText = FormatValue(60.0f, doc.GetSeriesDecimals(0, 0)) + QStringLiteral(" HRC");
    int item = -1;
    const auto texts = Texts(after);
    auto upper =
        std::find_if(texts.begin(), texts.end(), [&](const CanvasOp& op) { return op.text == upperText; });
    ASSERT_NE(upper, texts.end());
    ASSERT_TRUE(cell.GetHitAreas().HitTest({upper->points[0].x + 1, upper->points[0].y + 1}, nullptr, &item));
    EXPECT_EQ(item, LINK_UPPER_LIMIT);
}

TEST_F(SeriesCellTest, LayoutFollowsWidthAndReadingCount)
{
    AddSeries(std::vector<float>(20, 45.0f));
    int previous = 0;
    for (int width : {3000, 1200, 1000, 900, 800, 400})
    {
        TestCanvas dc;
        ASSERT_TRUE(cell.Draw(&dc, 1, 1, {0, 0, width, 1500}, false));
        EXPECT_GE(cell.GetLayout(), previous) << width;
        previous = cell.GetLayout();
        EXPECT_GT(cell.GetFullHeight(), 300);
    }
    EXPECT_EQ(previous >= 2, true);
    TestCanvas wide;
    cell.Draw(&wide, 1, 1, {0, 0, 3000, 1500}, false);
    EXPECT_EQ(cell.GetLayout(), 1);
}

TEST_F(SeriesCellTest, LongSeriesAreShownInBlocksOfAHundred)
{
    AddSeries(std::vector<float>(101, 45.0f));
    TestCanvas dc;
    ASSERT_TRUE(cell.Draw(&dc, 1, 1, {0, 0, 1200, 4000}, false));
    EXPECT_EQ(cell.GetLayout(), 6);
    EXPECT_TRUE(HasText(dc, QStringLiteral("Bar graph ")));
    EXPECT_TRUE(HasText(dc, QStringLiteral("Bar graph (continued) ")));
    EXPECT_TRUE(HasText(dc, QStringLiteral("Measurements (continued) ")));
    EXPECT_EQ(Bars(dc).size(), 101u);
    const int full = cell.GetFullHeight();

    // Blocks outside the clip box are skipped by their height alone.
    TestCanvas clipped;
    const Rect top{0, 0, 1200, 100};
    clipped.SelectClipRect(&top);
    cell.Draw(&clipped, 1, 1, {0, 0, 1200, 4000}, false);
    EXPECT_TRUE(Bars(clipped).empty());
    EXPECT_EQ(cell.GetFullHeight(), full);
}

TEST_F(SeriesCellTest, SeriesOpenForMeasuringIsMarked)
{
    auto series = SeriesFixture::NewSeries(SeriesFixture::kProbeD, SeriesFixture::kHRC);
    series->AddReading(Probe(50), Probe(50), 0, -1);
    auto entry = std::make_unique<CMeasSeriesWrapper>();
    entry->SetSeries(std::move(series));
    auto folder = std::make_unique<CFolderData>();
    folder->AddSeries(std::move(entry), true);
    CFolderData* raw = folder.get();
    doc.AddFolder(QStringLiteral("\\"), folder);
    doc.SetCurrentFolder(raw, QStringLiteral("\\"), true);
    cell.SetSeries(&doc, 0);

    TestCanvas dc;
    cell.Draw(&dc, 1, 1, {0, 0, 1000, 600}, false);
    const auto fills = dc.OpsOf(CanvasOp::Kind::FillRect);
    ASSERT_FALSE(fills.empty());
    EXPECT_EQ(fills[0].color, CColorScheme::kOpenSeriesBack);
    EXPECT_EQ(fills[0].rect, (Rect{0, 0, 1000, 600}));
    const int previousFull = cell.GetFullHeight();
    TestCanvas again;
    cell.Draw(&again, 1, 1, {0, 0, 1000, 600}, false);
    const auto texts = Texts(again);
    auto mark =
        std::find_if(texts.begin(), texts.end(),
                     [](const CanvasOp& op) { return op.text == QStringLiteral("opened for measuring"); });
    ASSERT_NE(mark, texts.end());
    EXPECT_EQ(mark->textColor, CColorScheme::kOpenSeriesText);
    EXPECT_EQ(mark->points[0], (Platform::Point{500, previousFull - 8}));
    EXPECT_EQ(mark->font.height, -55);
    EXPECT_EQ(mark->textAlign, unsigned(Platform::TA_CENTER | Platform::TA_BOTTOM));
}

TEST(SeriesCellAnimation, OpensAndClosesInSteps)
{
    CGridCellSeries cell;
    cell.Expand(false);
    EXPECT_EQ(cell.GetAnimatedHeight(), 2);
    std::vector<int> heights;
    while (!cell.IsExpanded())
    {
        cell.AnimationStep(500);
        heights.push_back(cell.GetAnimatedHeight());
        ASSERT_LT(heights.size(), 200u);
    }
    EXPECT_EQ(std::vector<int>(heights.begin(), heights.begin() + 3), (std::vector<int>{28, 53, 77}));
    EXPECT_EQ(heights.back(), 500);

    cell.Collapse(false);
    heights.clear();
    do
    {
        cell.AnimationStep(500);
        heights.push_back(cell.GetAnimatedHeight());
        ASSERT_LT(heights.size(), 200u);
    } while (cell.GetAnimatedHeight() != 0);
    EXPECT_EQ(std::vector<int>(heights.begin(), heights.begin() + 3), (std::vector<int>{472, 446, 421}));
    EXPECT_FALSE(cell.IsExpanded());

    // Open without animation, then a changed content height is followed at once.
    cell.Expand(false);
    cell.Collapse(true);
    EXPECT_EQ(cell.GetAnimatedHeight(), 0);
}

} // namespace

namespace
{
int CountColour(const QImage& image, Platform::ColorRef colour)
{
    const QRgb wanted = qRgb(Platform::RValue(colour), Platform::GValue(colour), Platform::BValue(colour));
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += (image.pixel(x, y) & 0xFFFFFF) == (wanted & 0xFFFFFF);
    return count;
}

QImage White(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

TEST_F(SeriesCellTest, RendersGraphListAndCellWithLimits)
{
    CMeasSeries1& series = AddSeries({30, 48, 52, 56, 61, 44, 39, 50, 53, 47});
    series.AddReading(900.0f, 900.0f, 0, -1);
    ASSERT_TRUE(series.SetLimits(40.0f, 60.0f, -1));
    doc.SetSeriesComment(0, QStringLiteral("Weld seam, north side.\nSecond line of the comment."));
    cell.SetHoveredReading(2);

    QImage graph = White(420, 300);
    {
        Platform::ImageCanvas dc(graph);
        dc.SelectFont(TestFont());
        dc.SetBkMode(Platform::TRANSPARENT);
        cell.DrawBarGraph(dc, 0, 0, 420, 300, 0, 100, false);
    }
    SaveRendering(graph, QStringLiteral("series_bargraph"));
    // The bars are 24 wide; only the edges and labels cover a few of their pixels.
    EXPECT_GT(CountColour(graph, CColorScheme::kBarInside), 6 * 20 * 40);
    EXPECT_GT(CountColour(graph, CColorScheme::kBarOutside), 4 * 20 * 20);
    EXPECT_GT(CountColour(graph, CColorScheme::kBarInsideHover), 20 * 40);
    EXPECT_GT(CountColour(graph, CColorScheme::kToleranceBand), 1000);

    QImage list = White(300, 300);
    {
        Platform::ImageCanvas dc(list);
        dc.SelectFont(TestFont());
        dc.SetBkMode(Platform::TRANSPARENT);
        cell.DrawValueList(dc, 0, 0, 300, 0, 100, false);
    }
    SaveRendering(list, QStringLiteral("series_valuelist"));
    EXPECT_GT(CountColour(list, CColorScheme::kRowHoverFill), 100);

    QImage whole = White(1100, 420);
    {
        Platform::ImageCanvas dc(whole);
        dc.SelectFont(TestFont());
        cell.Draw(&dc, 1, 1, {0, 0, 1100, 420}, false);
    }
    SaveRendering(whole, QStringLiteral("series_cell"));
    EXPECT_GT(CountColour(whole, CColorScheme::kBarInside), 6 * 20 * 40);
    EXPECT_GT(CountColour(whole, CColorScheme::kLink), 100);
}
} // namespace

namespace
{
TEST_F(SeriesCellTest, RowHeightFollowsTheCellInAGrid)
{
    AddSeries({30, 50, 70});
    QWidget parent;
    auto* grid = new CGridCtrl(2, 2, 0, 0);
    ASSERT_TRUE(grid->Create(QRect(0, 0, 1200, 600), &parent, 5));
    grid->SetColumnWidth(1, 1000);
    ASSERT_TRUE(grid->SetCellType(1, 1, &CGridCellSeries::CreateObject));
    auto* series = dynamic_cast<CGridCellSeries*>(grid->GetCell(1, 1));
    ASSERT_NE(series, nullptr);
    series->SetSeries(&doc, 0);

    // Opened at once: measured off screen, nothing registered by the measuring pass.
    series->Expand(true);
    EXPECT_TRUE(series->IsExpanded());
    const int full = series->GetFullHeight();
    EXPECT_GT(full, 300);
    EXPECT_EQ(grid->GetRowHeight(1), full);
    EXPECT_TRUE(series->GetHitAreas().IsEmpty());

    // Closing: each paint takes a step, the post-draw call gives it to the row.
    series->Collapse(false);
    TestCanvas dc;
    series->Draw(&dc, 1, 1, {0, 0, 1000, full}, false);
    EXPECT_FALSE(series->GetHitAreas().IsEmpty());
    EXPECT_TRUE(series->OnPostDraw());
    EXPECT_EQ(grid->GetRowHeight(1), full - (full / 20 + 3));

    series->Collapse(true);
    EXPECT_EQ(grid->GetRowHeight(1), 0);
    EXPECT_FALSE(series->IsExpanded());
}
} // namespace

namespace
{
TEST_F(SeriesCellTest, IndentationSeriesShowsDepthRowsAndBoundsOutOfRangeBars)
{
    auto owned = SeriesFixture::NewSeries(SeriesFixture::kProbeVk, SeriesFixture::kHV, 2);
    // 5 um lies outside the conversion's depth range 10..100 um.
    for (float depth : {50.0f, 20.0f, 5.0f, 80.0f})
        owned->AddReading(depth, depth, 31, -1);
    owned->CommitNew();
    auto entry = std::make_unique<CMeasSeriesWrapper>();
    entry->SetSeries(std::move(owned));
    auto folder = std::make_unique<CFolderData>();
    folder->AddSeries(std::move(entry), true);
    CFolderData* raw = folder.get();
    doc.AddFolder(QStringLiteral("\\"), folder);
    doc.SetCurrentFolder(raw, QStringLiteral("\\"), true);
    cell.SetSeries(&doc, 0);

    TestCanvas settings;
    cell.DrawSettings(settings, 0, 0, false);
    EXPECT_TRUE(HasText(settings, QStringLiteral("Diameter correction")));
    EXPECT_TRUE(HasText(settings, QStringLiteral("Unit")));
    EXPECT_FALSE(HasText(settings, QStringLiteral("Direction")));

    TestCanvas dc;
    cell.DrawBarGraph(dc, 0, 0, 800, 300, 0, 100, false);
    const auto bars = Bars(dc);
    ASSERT_EQ(bars.size(), 4u);
    EXPECT_TRUE(HasText(dc, QStringLiteral("--")));
    // 50 um = 600 HV, 20 um = 840 HV: the shallower indent is the harder reading. The
    // out-of-range bar ends at an end of the axis, inside the plot.
    EXPECT_LT(bars[1].rect.top, bars[0].rect.top);
    EXPECT_GE(bars[2].rect.top, bars[1].rect.top - 300);
    EXPECT_LE(bars[2].rect.top, bars[2].rect.bottom);
    Rect zone;
    QString title;
    QString text;
    ASSERT_TRUE(cell.GetTipZoneAt({bars[2].rect.left + 1, bars[2].rect.bottom - 1}, &zone, &title, &text));
    EXPECT_TRUE(text.contains(QStringLiteral("\nDiameter correction: "))) << text.toStdString();

    QImage image(1100, 450, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        Platform::ImageCanvas canvas(image);
        canvas.SelectFont(TestFont());
        cell.Draw(&canvas, 1, 1, {0, 0, 1100, 450}, false);
    }
    SaveRendering(image, QStringLiteral("series_cell_indentation"));
}
} // namespace
