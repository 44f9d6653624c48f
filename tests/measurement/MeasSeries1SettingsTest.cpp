#include "OwnRecordSeries.h"
#include "SeriesFixture.h"

#include "measurement/MeasSeries1.h"

#include <gtest/gtest.h>

using namespace SeriesFixture;

namespace
{
SPackedSerial Serial(uint8_t last)
{
    SPackedSerial serial;
    serial.bytes = {129, 7, 0, 0, 12, 0, 1, last};
    return serial;
}
} // namespace

TEST(MeasSeries1Settings, ResolutionSteps)
{
    struct Case
    {
        int decimals, step;
        float in, out;
    } cases[] = {
        {1, 1, 12.34f, 12.3f},   {1, 1, 12.36f, 12.4f},   {1, 5, 12.34f, 12.5f},      {1, 5, 12.24f, 12.0f},
        {0, 20, 347.0f, 340.0f}, {0, 20, 351.0f, 360.0f}, {0, 20, -351.0f, -360.0f},  {0, 15, 347.0f, 350.0f},
        {0, 2, 3.0f, 4.0f},      {2, 1, 1.004f, 1.0f},    {0, 100, 1234.0f, 1200.0f},
    };
    CMeasSeries1 s(5);
    s.Clear();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.decimals << "/" << c.step << " " << c.in);
        ASSERT_TRUE(s.SetResolution(c.decimals, c.step));
        EXPECT_FLOAT_EQ(RoundToResolution(c.in, s.GetResolutionByte()), c.out);
    }
    ASSERT_TRUE(s.SetResolution(0, 1));
    EXPECT_EQ(s.GetResolutionByte(), 8);
    EXPECT_FALSE(s.SetResolution(0, 3));
    EXPECT_FALSE(s.SetResolution(0, 0));
    EXPECT_FALSE(s.SetResolution(7, 1));
    EXPECT_FALSE(s.SetResolution(-1, 1));
    EXPECT_EQ(s.GetResolutionByte(), 8);

    // A step too large for the byte rounds nothing.
    ASSERT_TRUE(s.SetResolution(1, 1000000));
    EXPECT_EQ(RoundToResolution(12.34f, s.GetResolutionByte()), 12.34f);

    EXPECT_EQ(GetResolutionStep(8), 1.0f);
    EXPECT_EQ(GetResolutionStep(9), 0.1f);
    EXPECT_EQ(GetResolutionStep(7), 0.0f);
    EXPECT_EQ(GetResolutionStep(0 | 3 << 3 | 1 << 5), 50.0f);
    EXPECT_FLOAT_EQ(GetResolutionStep(2 | 2 << 3), 0.02f);
}

TEST(MeasSeries1Settings, SettingsRecordCarriesEveryStep)
{
    auto s = NewSeries(kProbeD, kHRC);
    for (int step : {1, 2, 5, 10, 20, 50, 100, 200, 500, 50000})
    {
        ASSERT_TRUE(s->SetResolution(1, step));
        SSeriesSettings settings;
        ASSERT_TRUE(s->GetSettings(settings));
        EXPECT_EQ(settings.step, step);
        EXPECT_EQ(settings.decimals, 1);
        ASSERT_TRUE(s->SetResolution(2, 1));
        ASSERT_TRUE(s->ApplySettings(settings));
        SSeriesSettings again;
        s->GetSettings(again);
        EXPECT_EQ(again.step, step);
    }
}

TEST(MeasSeries1Settings, ConvertMicronsToMils)
{
    EXPECT_FLOAT_EQ(ConvertMicronsToMils(100.0f, 1), 3.937008f);
    EXPECT_EQ(ConvertMicronsToMils(100.0f, 0x100), 100.0f);
    EXPECT_EQ(ConvertMicronsToMils(MEAS_BELOW_RANGE, 1), MEAS_BELOW_RANGE);
    EXPECT_EQ(ConvertMicronsToMils(MEAS_NO_VALUE, 1), MEAS_NO_VALUE);
    EXPECT_DOUBLE_EQ(ConvertMicronsToMilsDouble(100.0, 1), 3.93700787);
    EXPECT_EQ(ConvertMicronsToMilsDouble(MEAS_ABOVE_RANGE, 1), double(MEAS_ABOVE_RANGE));
}

TEST(MeasSeries1Settings, LimitsSurviveAChangeOfScaleAndBack)
{
    auto s = NewSeries(kProbeD, kHRC);
    s->AddReading(600.0f, 600.0f, 0, -1);
    s->CommitNew();
    ASSERT_TRUE(s->SetLimits(30.0f, 50.0f, -1));
    // HRC = x / 8 - 30: 30 HRC is 480 HLD, 50 HRC is 640 HLD.
    EXPECT_NEAR(s->GetLowerLimitNative(), 480.0f, 1e-3f);
    EXPECT_NEAR(s->GetUpperLimitNative(), 640.0f, 1e-3f);

    ASSERT_TRUE(s->SetConversion(STargetScale(kHV, 1, 0), Steel()));
    EXPECT_NEAR(s->GetLowerLimitNative(), 480.0f, 1e-3f);
    SSeriesSettings settings;
    s->GetSettings(settings);
    EXPECT_NEAR(settings.lowerLimit, 560.0f, 1e-2f); // HV = 2 x - 400
    EXPECT_NEAR(settings.upperLimit, 880.0f, 1e-2f);
    int scale = 0;
    EXPECT_FALSE(s->GetLimitScale(&scale));
    EXPECT_EQ(scale, kHRC);
    EXPECT_EQ(s->GetMean(), 800.0f);

    ASSERT_TRUE(s->SetConversion(STargetScale(kHRC, 1, 0), Steel()));
    s->GetSettings(settings);
    EXPECT_EQ(settings.lowerLimit, 30.0f);
    EXPECT_EQ(settings.upperLimit, 50.0f);
    EXPECT_TRUE(s->GetLimitScale(nullptr));
    EXPECT_FALSE(s->IsUnchanged(false)); // the limits differ from those measured with
    EXPECT_TRUE(s->IsModified());

    // No record for HB: nothing changes.
    EXPECT_FALSE(s->SetConversion(STargetScale(kHB, 1, 0), Steel()));
    EXPECT_EQ(s->GetTargetScale().scale, kHRC);
}

TEST(MeasSeries1Settings, LimitsSnapToTheRangeAndStayNonNegative)
{
    auto s = NewSeries(kProbeD, kHRC);
    ASSERT_TRUE(s->SetResolution(1, 1));
    // The HRC range is 10..80: 9.96 rounds to 10.0 and becomes the range end.
    ASSERT_TRUE(s->SetLimits(9.96f, 80.04f, -1));
    SSeriesSettings settings;
    s->GetSettings(settings);
    EXPECT_EQ(settings.lowerLimit, 10.0f);
    EXPECT_EQ(settings.upperLimit, 80.0f);
    ASSERT_TRUE(s->SetLimits(9.9f, MEAS_NO_VALUE, -1));
    s->GetSettings(settings);
    EXPECT_EQ(settings.lowerLimit, MEAS_BELOW_RANGE);
    EXPECT_EQ(settings.upperLimit, MEAS_NO_VALUE);

    // -40 HRC would be -80 HLD: a measured limit is never below zero.
    ASSERT_TRUE(s->SetLimits(-40.0f, MEAS_NO_VALUE, -1));
    EXPECT_EQ(s->GetLowerLimitNative(), 0.0f);
}

TEST(MeasSeries1Settings, SecondLimitsDefaultToTheRangeAndAreClippedOnConversion)
{
    auto s = NewSeries(kProbeD, kHRC);
    float lower = MEAS_NO_VALUE;
    float upper = MEAS_NO_VALUE;
    EXPECT_EQ(s->SetSecondLimits(lower, upper, -1), s->GetRecordIndex());
    EXPECT_EQ(lower, 10.0f);
    EXPECT_EQ(upper, 80.0f);
    lower = MEAS_NO_VALUE;
    upper = 50.0f;
    EXPECT_EQ(s->SetSecondLimits(lower, upper, -1), -1); // unset lower above a set upper
    lower = 20.0f;
    upper = 70.0f;
    EXPECT_EQ(s->SetSecondLimits(lower, upper, -1), -1);
    SSeriesSettings settings;
    s->GetSettings(settings);
    EXPECT_EQ(settings.secondLowerLimit, 20.0f);
    EXPECT_EQ(settings.secondUpperLimit, 70.0f);
}

TEST(MeasSeries1Settings, ProbeChangesFollowCompatibility)
{
    AddStandardRecords();
    CMeasSeries1 s(10);
    s.Clear();
    ASSERT_TRUE(s.SetProbeId(SProbeId(kProbeD, nullptr, -1)));
    const SPackedSerial serialA = Serial(0x70);
    const SPackedSerial serialB = Serial(0x71);
    // While new, another serial of the same probe is taken.
    EXPECT_TRUE(s.SetProbeId(SProbeId(kProbeD, &serialA, 1)));
    EXPECT_EQ(s.GetProbeId().serial, serialA);
    s.AddReading(500.0f, 500.0f, 0, -1);
    s.CommitNew();
    EXPECT_FALSE(s.SetProbeId(SProbeId(kProbeD, &serialB, 1)));
    EXPECT_FALSE(s.SetProbeId(SProbeId(0x102, &serialA, 1)));
    EXPECT_TRUE(s.SetProbeId(SProbeId(kProbeD, &serialA, 1)));
    EXPECT_EQ(s.GetProbeId().serial, serialA);
}

TEST(MeasSeries1Settings, B724ModeSwitchesTheReadingSet)
{
    CMeasSeries1 s(10);
    s.Clear();
    ASSERT_TRUE(s.SetProbeId(SProbeId(kProbeVk, nullptr, -1)));
    EXPECT_EQ(s.GetTargetScale().scale, kProbeVk);
    s.AddReading(40.0f, 50.0f, 31, -2); // diameter correction off
    s.AddReading(60.0f, 70.0f, 31, -2);
    s.CommitNew();
    EXPECT_EQ(s.GetMean(), 50.0f);

    const SPackedSerial serial = Serial(0x70);
    // Only the B724 bit may change once readings exist; a zero serial is accepted.
    EXPECT_FALSE(s.SetProbeId(SProbeId(kProbeD, nullptr, -1)));
    ASSERT_TRUE(s.SetProbeId(SProbeId(kProbeVkB724, &serial, -1)));
    EXPECT_EQ(s.GetTargetScale().scale, kProbeVkB724);
    EXPECT_EQ(s.GetMean(), 60.0f);
    EXPECT_EQ(s.GetValue(0), 50.0f);
    ASSERT_TRUE(s.SetProbeId(SProbeId(kProbeVk, &serial, -1)));
    EXPECT_EQ(s.GetMean(), 50.0f);
    int diameter = 0;
    int fine = 0;
    s.GetReading(0, &diameter, &fine, 7);
    EXPECT_EQ(diameter, 31);
    EXPECT_EQ(fine, -2);

    // Restoring the originals brings back the probe the series was measured with.
    ASSERT_TRUE(s.SetProbeId(SProbeId(kProbeVkB724, &serial, -1)));
    ASSERT_TRUE(s.RestoreOriginalSettings());
    EXPECT_EQ(s.GetProbeId().code, kProbeVk);
    EXPECT_EQ(s.GetMean(), 50.0f);
}

TEST(MeasSeries1Settings, OriginalSettingsAndRestore)
{
    auto s = NewSeries(kProbeD, kHRC);
    s->AddReading(600.0f, 600.0f, 0, -1);
    s->AddReading(520.0f, 520.0f, 0, -1);
    ASSERT_TRUE(s->SetLimits(30.0f, 50.0f, -1));
    ASSERT_TRUE(s->SetResolution(1, 1));
    s->CommitNew();
    EXPECT_TRUE(s->IsUnchanged(false));
    EXPECT_TRUE(s->AreAllIncluded());

    ASSERT_TRUE(s->SetConversion(STargetScale(kHV, 1, 0), Steel()));
    ASSERT_TRUE(s->SetLimits(600.0f, 700.0f, -1));
    ASSERT_TRUE(s->SetReadingDirection(0, 90, 7));
    ASSERT_TRUE(s->ExcludeReading(1, 7));
    EXPECT_FALSE(s->IsUnchanged(false));
    EXPECT_FALSE(s->AreAllIncluded());

    SSeriesSettings original;
    ASSERT_TRUE(s->GetOriginalSettings(original));
    EXPECT_EQ(original.targetScale.scale, kHRC);
    EXPECT_NEAR(original.lowerLimit, 30.0f, 1e-3f);
    EXPECT_NEAR(original.upperLimit, 50.0f, 1e-3f);
    EXPECT_EQ(original.decimals, 1);

    // Restoring the settings keeps the exclusion; restoring everything includes it again.
    ASSERT_TRUE(s->RestoreOriginalSettings());
    EXPECT_EQ(s->GetTargetScale().scale, kHRC);
    EXPECT_EQ(s->GetValue(0), 45.0f);
    EXPECT_FALSE(s->AreAllIncluded());
    EXPECT_TRUE(s->IsUnchanged(false));
    SSeriesSettings current;
    s->GetSettings(current);
    EXPECT_NEAR(current.lowerLimit, 30.0f, 1e-3f);
    ASSERT_TRUE(s->RestoreOriginal());
    EXPECT_TRUE(s->AreAllIncluded());
    EXPECT_EQ(s->GetMean(), 40.0f);

    // Originals for which no record exists for the current probe read as the defaults.
    auto vk = NewSeries(kProbeVk, kHV, 2);
    vk->AddReading(50.0f, 50.0f, 31, -2);
    vk->CommitNew();
    ASSERT_TRUE(vk->SetProbeId(SProbeId(kProbeVkB724, nullptr, -1)));
    ASSERT_TRUE(vk->GetOriginalSettings(original));
    EXPECT_EQ(original.targetScale.scale, kHV);
    EXPECT_EQ(original.lowerLimit, MEAS_NO_VALUE);
    EXPECT_EQ(original.upperLimit, MEAS_NO_VALUE);
    EXPECT_EQ(original.secondLowerLimit, 0.0f);
    EXPECT_EQ(original.secondUpperLimit, 999.0f);
}

TEST(MeasSeries1Settings, ApplySettingsStopsAtTheFirstFailure)
{
    auto source = NewSeries(kProbeD, kHRC);
    ASSERT_TRUE(source->SetLimits(20.0f, 60.0f, -1));
    ASSERT_TRUE(source->SetResolution(1, 5));
    source->SetConfidenceLevel(99.0f);
    ASSERT_TRUE(source->SetDateTime(0x439FBF7D, false));
    SSeriesSettings settings;
    ASSERT_TRUE(source->GetSettings(settings));

    CMeasSeries1 s(10);
    s.Clear();
    ASSERT_TRUE(s.ApplySettings(settings));
    EXPECT_EQ(s.GetProbeId().code, kProbeD);
    EXPECT_EQ(s.GetTargetScale().scale, kHRC);
    EXPECT_EQ(s.GetResolutionByte(), source->GetResolutionByte());
    EXPECT_FLOAT_EQ(s.GetConfidenceLevel(), 99.0f);
    EXPECT_EQ(s.GetDateTime(), 0x439FBF7Du);
    SSeriesSettings applied;
    s.GetSettings(applied);
    EXPECT_FLOAT_EQ(applied.lowerLimit, 20.0f);
    EXPECT_FLOAT_EQ(applied.upperLimit, 60.0f);

    CMeasSeries1 t(10);
    t.Clear();
    settings.step = 3;
    EXPECT_FALSE(t.ApplySettings(settings));
    EXPECT_EQ(t.GetTargetScale().scale, kHRC); // the conversion step stays applied
    EXPECT_EQ(t.GetResolutionByte(), 8);
}

TEST(MeasSeries1Settings, LimitsTravelThroughAnIntermediateScale)
{
    AddStandardRecords();
    // Stainless steel converts to HV and HB but not to HRC; steel has no HB record.
    AddShared(LinearRecord(kProbeD, kHV, 3, 0, 1, 300.0f, 900.0f, -300.0f, 2.0f));
    AddShared(LinearRecord(kProbeD, kHB, 3, 0, 1, 300.0f, 900.0f, -200.0f, 1.5f));
    auto s = NewSeries(kProbeD, kHRC);
    ASSERT_TRUE(s->SetLimits(30.0f, 50.0f, -1)); // 480..640 HLD for steel
    SMaterial stainless;
    stainless.Set(3, 0);
    ASSERT_TRUE(s->SetConversion(STargetScale(kHB, 1, 0), stainless));
    // Steel's 560..880 HV are 430..590 HLD for stainless, that is 445..685 HB.
    EXPECT_NEAR(s->GetLowerLimitNative(), 430.0f, 1e-2f);
    EXPECT_NEAR(s->GetUpperLimitNative(), 590.0f, 1e-2f);
    SSeriesSettings settings;
    s->GetSettings(settings);
    EXPECT_NEAR(settings.lowerLimit, 445.0f, 2e-2f);
    EXPECT_NEAR(settings.upperLimit, 685.0f, 2e-2f);
    // Back to steel and HRC: the limits as set.
    ASSERT_TRUE(s->SetConversion(STargetScale(kHRC, 1, 0), Steel()));
    s->GetSettings(settings);
    EXPECT_EQ(settings.lowerLimit, 30.0f);
    EXPECT_EQ(settings.upperLimit, 50.0f);
}

TEST(MeasSeries1Settings, CustomConversionsRegisterOnceAndFollowRenames)
{
    AddStandardRecords();
    const auto first =
        LinearRecord(kProbeD, kHV, 0, 0, 1, 300.0f, 900.0f, -250.0f, 2.0f, QStringLiteral("Bronze9"));
    const auto other =
        LinearRecord(kProbeD, kHV, 0, 0, 1, 300.0f, 900.0f, -260.0f, 2.0f, QStringLiteral("Bronze9"));

    auto a = SeriesWithOwnRecord(first, QStringLiteral("Bronze9"));
    EXPECT_TRUE(a->IsCustomConversion(false));
    EXPECT_TRUE(a->RegisterCustomConversion(false));
    EXPECT_EQ(a->GetMean(), 750.0f);
    auto b = SeriesWithOwnRecord(first, QStringLiteral("Bronze9"));
    EXPECT_FALSE(b->RegisterCustomConversion(false)); // the same record is already there

    // Other data under the same name is stored under a new name, which the series takes.
    auto c = SeriesWithOwnRecord(other, QStringLiteral("Bronze9"));
    EXPECT_EQ(c->GetMean(), 740.0f);
    EXPECT_TRUE(c->RegisterCustomConversion(false));
    EXPECT_EQ(c->GetMaterial().Name(), QStringLiteral("Bronze9(2)"));
    c->SetResolution(1, 1);
    EXPECT_EQ(c->GetMean(), 740.0f);
    EXPECT_FALSE(c->RegisterCustomConversion(true)); // no record of the original settings is owned

    EXPECT_FALSE(NewSeries(kProbeD, kHRC)->IsCustomConversion(false));
}
