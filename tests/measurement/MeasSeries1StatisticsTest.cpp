#include "SeriesFixture.h"

#include "measurement/Distributions.h"
#include "measurement/MeasSeries1.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <vector>

using namespace SeriesFixture;

namespace
{
constexpr float kClamp = 999.99f;

std::unique_ptr<CMeasSeries1> SeriesOf(std::initializer_list<float> values, int probe = kProbeD,
                                       int target = kProbeD, int standard = 1)
{
    auto s = NewSeries(probe, target, standard);
    for (float v : values)
        s->AddReading(v, v, 0, -1);
    return s;
}
} // namespace

TEST(MeasSeries1Statistics, BasicStatisticsOfTheInRangeReadings)
{
    auto s = SeriesOf({500.0f, 504.0f, 502.0f, 510.0f});
    EXPECT_EQ(s->GetMean(), 504.0f);
    EXPECT_FLOAT_EQ(s->GetStdDev(), std::sqrt(56.0f / 3.0f));
    EXPECT_EQ(s->GetMedian(), 503.0f);
    EXPECT_EQ(s->GetMin(), 500.0f);
    EXPECT_EQ(s->GetMax(), 510.0f);
    EXPECT_EQ(s->GetRange(), 10.0f);
    EXPECT_EQ(s->GetMidRange(), 505.0f);
    // t(97.5 %, 3 degrees of freedom) = 3.182
    EXPECT_NEAR(s->GetConfidenceHalfWidth(), std::sqrt(56.0f / 3.0f) * 3.1824f / 2.0f, 1e-3f);

    auto one = SeriesOf({500.0f});
    EXPECT_EQ(one->GetMean(), 500.0f);
    EXPECT_EQ(one->GetMedian(), 500.0f);
    EXPECT_EQ(one->GetStdDev(), MEAS_NO_VALUE);
    EXPECT_EQ(one->GetConfidenceHalfWidth(), MEAS_NO_VALUE);
    EXPECT_EQ(one->GetCp(), MEAS_NO_VALUE);

    auto none = SeriesOf({});
    for (float v : {none->GetMean(), none->GetMedian(), none->GetMin(), none->GetMax(), none->GetRange(),
                    none->GetMidRange()})
        EXPECT_EQ(v, MEAS_NO_VALUE);
}

TEST(MeasSeries1Statistics, FallingConversionSwapsTheEnds)
{
    // Deeper indentations mean softer material: HV falls as the depth grows.
    auto s = SeriesOf({50.0f, 20.0f, 80.0f}, kProbeVk, kHV, 2);
    float lo, hi;
    EXPECT_TRUE(s->GetConvTargetRange(lo, hi, false));
    EXPECT_EQ(lo, 920.0f);
    EXPECT_EQ(hi, 200.0f);
    EXPECT_TRUE(s->GetConvTargetRange(lo, hi, true));
    EXPECT_EQ(lo, 200.0f);
    EXPECT_EQ(s->GetValue(1), 840.0f);
    EXPECT_EQ(s->GetMin(), 360.0f);
    EXPECT_EQ(s->GetMax(), 840.0f);
    EXPECT_EQ(s->GetRange(), 480.0f);
    EXPECT_EQ(s->GetMedian(), 600.0f);
    EXPECT_EQ(s->GetMidRange(), 600.0f);
}

TEST(MeasSeries1Statistics, GrubbsTestFindsTheOutlier)
{
    EXPECT_EQ(SeriesOf({500.0f, 501.0f, 502.0f, 503.0f, 560.0f})->FindOutlier(), 4);
    EXPECT_EQ(SeriesOf({560.0f, 501.0f, 502.0f, 503.0f, 500.0f})->FindOutlier(), 0);
    EXPECT_EQ(SeriesOf({440.0f, 501.0f, 502.0f, 503.0f, 500.0f})->FindOutlier(), 0);
    EXPECT_EQ(SeriesOf({500.0f, 501.0f, 502.0f, 503.0f, 505.0f})->FindOutlier(), -1);
    EXPECT_EQ(SeriesOf({500.0f, 501.0f, 502.0f, 900.0f})->FindOutlier(), -1); // four readings
    EXPECT_EQ(SeriesOf({500.0f, 500.0f, 500.0f, 500.0f, 500.0f})->FindOutlier(), -1);

    // Beyond the table the critical value comes from the t quantile: 30 readings.
    auto s = NewSeries(kProbeD, kProbeD);
    for (int i = 0; i < 29; ++i)
        s->AddReading(500.0f + float(i % 5), 0.0f, 0, -1);
    s->AddReading(530.0f, 0.0f, 0, -1);
    EXPECT_EQ(s->FindOutlier(), 29);
}

TEST(MeasSeries1Statistics, CapabilityIndicesAndClamps)
{
    auto equal = SeriesOf({500.0f, 500.0f, 500.0f});
    ASSERT_TRUE(equal->SetLimits(400.0f, 600.0f, -1));
    EXPECT_EQ(equal->GetCp(), kClamp);
    EXPECT_EQ(equal->GetCpk(), kClamp);
    EXPECT_EQ(equal->GetCpLowerBound(), kClamp);
    EXPECT_EQ(equal->GetCpkLowerBound(), kClamp);
    ASSERT_TRUE(equal->SetLimits(510.0f, 600.0f, -1));
    EXPECT_EQ(equal->GetCpk(), -kClamp);

    auto s = SeriesOf({500.0f, 510.0f, 520.0f});
    ASSERT_TRUE(s->SetLimits(MEAS_NO_VALUE, 600.0f, -1));
    EXPECT_EQ(s->GetCp(), MEAS_NO_VALUE);
    EXPECT_FLOAT_EQ(s->GetCpk(), 3.0f);
    ASSERT_TRUE(s->SetLimits(440.0f, 600.0f, -1));
    EXPECT_FLOAT_EQ(s->GetCp(), 160.0f / 60.0f);
    EXPECT_FLOAT_EQ(s->GetCpk(), 70.0f / 30.0f);
    const float cpk = s->GetCpk();
    EXPECT_NEAR(s->GetCpkLowerBound(), cpk - 1.6448536f * std::sqrt(cpk * cpk / 4.0f + 1.0f / 27.0f), 1e-5f);

    // A limit beyond the conversion's target range (0..999) is unusable.
    ASSERT_TRUE(s->SetLimits(MEAS_NO_VALUE, 1200.0f, -1));
    EXPECT_EQ(s->GetCpk(), MEAS_NO_VALUE);
    EXPECT_EQ(s->CheckMeanLimits(), 0);
    SSeriesSettings settings;
    s->GetSettings(settings);
    EXPECT_EQ(settings.upperLimit, MEAS_ABOVE_RANGE);
    EXPECT_EQ(settings.lowerLimit, MEAS_NO_VALUE);
}

TEST(MeasSeries1Statistics, CpLowerBoundUsesTheLowerChiSquareQuantile)
{
    auto s =
        SeriesOf({500.0f, 503.0f, 497.0f, 505.0f, 495.0f, 501.0f, 499.0f, 502.0f, 498.0f, 506.0f, 494.0f});
    ASSERT_TRUE(s->SetLimits(450.0f, 550.0f, -1));
    // n = 11 at 95 %: sqrt(chi-square(0.05; 10) / 10) = sqrt(3.9403 / 10) = 0.6277.
    EXPECT_NEAR(s->GetCpLowerBound() / s->GetCp(), 0.6277f, 5e-4f);
    s->SetConfidenceLevel(99.0f);
    // 99 %: chi-square(0.01; 10) = 2.5582.
    EXPECT_NEAR(s->GetCpLowerBound() / s->GetCp(), std::sqrt(2.5582f / 10.0f), 5e-4f);
}

TEST(MeasSeries1Statistics, ToleranceChecksOfMeanAndReadings)
{
    // Mean 501, s = 1.414, half-width 12.706 * 1.414 / sqrt(2) = 12.71 at 95 %.
    auto s = SeriesOf({500.0f, 502.0f});
    struct Case
    {
        float lower, upper;
        int mean, first, second;
    } cases[] = {
        {MEAS_NO_VALUE, MEAS_NO_VALUE, 0, 0, 0},
        {400.0f, 600.0f, 0, 0, 0},
        {MEAS_NO_VALUE, 510.0f, 1, 1, 1}, // inside but within the half-width
        {MEAS_NO_VALUE, 501.0f, 1, 1, 2},
        {MEAS_NO_VALUE, 500.0f, 2, 1, 2},
        {495.0f, MEAS_NO_VALUE, -1, -1, -1},
        {501.0f, MEAS_NO_VALUE, -1, -2, -1},
        {502.0f, 600.0f, -2, -2, -1},
        {MEAS_NO_VALUE, -5.0f, 2, 2, 2}, // below the target range
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.lower << " .. " << c.upper);
        ASSERT_TRUE(s->SetLimits(c.lower, c.upper, -1));
        EXPECT_EQ(s->CheckMeanLimits(), c.mean);
        EXPECT_EQ(s->CheckReadingLimits(0, 7), c.first);
        EXPECT_EQ(s->CheckReadingLimits(1, 7), c.second);
    }
    EXPECT_EQ(s->CheckReadingLimits(5, 7), 0);
    EXPECT_FALSE(s->SetLimits(120.0f, 100.0f, -1));
}

TEST(MeasSeries1Statistics, ConfidenceLevel)
{
    auto s = SeriesOf({500.0f, 502.0f});
    const float h95 = s->GetConfidenceHalfWidth();
    EXPECT_EQ(s->SetConfidenceLevel(90.0f), 95.0f);
    EXPECT_NEAR(s->GetConfidenceHalfWidth(), std::sqrt(2.0f) * 6.3138f / std::sqrt(2.0f), 2e-3f);
    EXPECT_NE(s->GetConfidenceHalfWidth(), h95);
    struct
    {
        float percent;
        float stored;
    } cases[] = {{99.995f, 99.99f}, {100.0f, 99.99f}, {40.0f, 50.0f}, {95.0f, 95.0f}, {NAN, 50.0f}};
    for (auto c : cases)
    {
        s->SetConfidenceLevel(c.percent);
        EXPECT_FLOAT_EQ(s->GetConfidenceLevel(), c.stored);
    }
}

TEST(MeasSeries1Statistics, CompletionRules)
{
    auto s = SeriesOf({500.0f, 502.0f, 501.0f, 499.0f});
    EXPECT_FALSE(s->IsComplete());
    EXPECT_TRUE(s->SetCompletionRule(2, 1));
    EXPECT_EQ(s->GetCompletionCount(), 3);
    EXPECT_FALSE(s->SetCompletionRule(1, 10000));
    EXPECT_FALSE(s->SetCompletionRule(4, 5));
    EXPECT_TRUE(s->SetCompletionRule(1, 0));
    EXPECT_EQ(s->GetCompletionRule(), 0);

    ASSERT_TRUE(s->SetCompletionRule(1, 5));
    EXPECT_FALSE(s->IsComplete());
    // A reading outside the conversion's range still counts as measured.
    s->AddReading(1100.0f, 1100.0f, 0, -1);
    EXPECT_EQ(s->GetCount(1), 4);
    EXPECT_TRUE(s->IsComplete());

    ASSERT_TRUE(s->SetCompletionRule(2, 5));
    ASSERT_TRUE(s->SetLimits(400.0f, 600.0f, -1));
    EXPECT_TRUE(s->IsComplete());
    ASSERT_TRUE(s->SetLimits(400.0f, 500.0f, -1));
    EXPECT_FALSE(s->IsComplete());

    ASSERT_TRUE(s->SetCompletionRule(3, 5));
    ASSERT_TRUE(s->SetLimits(400.0f, 600.0f, -1));
    EXPECT_TRUE(s->IsComplete());
    ASSERT_TRUE(s->SetLimits(498.0f, 600.0f, -1));
    EXPECT_FALSE(s->IsComplete());
}

// The figures a series keeps once worked out must follow every change of the series: after
// each change a series that was asked before gives, bit for bit, what a series built with
// the same change and never asked gives.
TEST(MeasSeries1Statistics, KeptFiguresFollowEveryChange)
{
    struct SReading
    {
        float value;
        int angle;
    };
    // One reading beyond the conversion's range, one measured horizontally.
    const SReading readings[] = {{500.0f, 0}, {520.0f, 0}, {480.0f, 0}, {900.0f, 0},
                                 {510.0f, 90}, {505.0f, 0}, {495.0f, 0}, {515.0f, 0}};
    const auto build = [&]
    {
        auto s = NewSeries(kProbeD, kHRC);
        for (const SReading& r : readings)
            s->AddReading(r.value, r.value, r.angle, -1);
        EXPECT_TRUE(s->SetLimits(25.0f, 40.0f, -1));
        return s;
    };
    const auto figures = [](CMeasSeries1& s)
    {
        std::vector<float> out = {s.GetMean(),          s.GetStdDev(),          s.GetConfidenceHalfWidth(),
                                  s.GetCp(),            s.GetCpk(),             s.GetCpLowerBound(),
                                  s.GetCpkLowerBound(), float(s.GetCommonDirection())};
        s.ForEachIncludedValue(
            [&](float v, int angle)
            {
                out.push_back(v);
                out.push_back(float(angle));
            });
        s.ForEachIncludedValue([&](float v) { out.push_back(v); });
        return out;
    };
    const auto bits = [](const std::vector<float>& values)
    {
        std::vector<uint32_t> out;
        for (float v : values)
            out.push_back(std::bit_cast<uint32_t>(v));
        return out;
    };
    struct SChange
    {
        const char* name;
        std::function<void(CMeasSeries1&)> apply;
    } changes[] = {
        {"reading", [](CMeasSeries1& s) { s.SetReading(1, 560.0f, 560.0f, 0, -1, 7); }},
        {"exclusion", [](CMeasSeries1& s) { s.ExcludeReading(4, 7); }},
        {"inclusion",
         [](CMeasSeries1& s)
         {
             s.ExcludeReading(4, 7);
             s.GetCpLowerBound();
             s.GetCommonDirection();
             s.IncludeReading(4, 7);
             s.ExcludeReading(1, 7);
         }},
        {"direction", [](CMeasSeries1& s) { s.SetReadingDirection(4, 0, 7); }},
        {"new reading", [](CMeasSeries1& s) { s.AddReading(540.0f, 540.0f, 45, -1); }},
        {"removed reading", [](CMeasSeries1& s) { s.DeleteReading(4, 7); }},
        {"limits", [](CMeasSeries1& s) { s.SetLimits(30.0f, 45.0f, -1); }},
        {"one limit", [](CMeasSeries1& s) { s.SetLimits(MEAS_NO_VALUE, 38.0f, -1); }},
        {"confidence level", [](CMeasSeries1& s) { s.SetConfidenceLevel(99.0f); }},
        {"conversion", [](CMeasSeries1& s) { s.SetConversion(STargetScale(kHV, 1, 0), Steel()); }},
        {"no conversion", [](CMeasSeries1& s) { s.SetConversion(STargetScale(kProbeD, 1, 0), Steel()); }},
        {"resolution", [](CMeasSeries1& s) { s.SetResolution(1, 1); }},
    };
    for (const SChange& change : changes)
    {
        SCOPED_TRACE(change.name);
        auto asked = build();
        const std::vector<float> before = figures(*asked);
        change.apply(*asked);
        auto fresh = build();
        change.apply(*fresh);
        const std::vector<float> expected = figures(*fresh);
        EXPECT_NE(bits(before), bits(expected)); // the change matters
        EXPECT_EQ(bits(figures(*asked)), bits(expected));
        EXPECT_EQ(bits(figures(*asked)), bits(expected)); // and is kept
    }
}
