#include "measurement/PackedReading.h"
#include "measurement/ImpactCorrection.h"
#include "measurement/MeasValues.h"
#include "measurement/ProbeId.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

namespace
{

uint32_t Encode(float value, int angle = 0, int fine = -1)
{
    SPackedReading r;
    EncodeReading(r, value, angle, fine);
    return r.word;
}

float Decode(uint32_t word)
{
    return DecodeReading(SPackedReading{word});
}

SPackedReading Reading(float value, int angle, int fine)
{
    SPackedReading r;
    EncodeReading(r, value, angle, fine);
    return r;
}

SPackedSerial SomeSerial()
{
    SPackedSerial s;
    s.bytes[0] = 144;
    return s;
}

} // namespace

TEST(PackedReading, SentinelBitPatterns)
{
    EXPECT_EQ(std::bit_cast<uint32_t>(MEAS_NO_VALUE), 0x4C945964u);
    EXPECT_EQ(std::bit_cast<uint32_t>(MEAS_ABOVE_RANGE), 0x4C945958u);
    EXPECT_EQ(std::bit_cast<uint32_t>(MEAS_BELOW_RANGE), 0xCC945958u);
    EXPECT_FALSE(IsValidValue(MEAS_ABOVE_RANGE));
    EXPECT_TRUE(IsValidValue(std::numeric_limits<float>::quiet_NaN()));
}

TEST(PackedReading, EncodesValuesAndSentinels)
{
    const float inf = std::numeric_limits<float>::infinity();
    const struct
    {
        float value;
        uint32_t word;
    } cases[] = {
        {0.0f, 0x00000F80u},        {500.0f, 0x9FA00F80u},
        {123.456f, 0x7F6E9F80u},    {77777696.0f, 0xFFFFFFFFu},
        {77777600.0f, 0xFFFFEFFFu}, {1e9f, 0xFFFFEFFFu},
        {inf, 0xFFFFEFFFu},         {std::numeric_limits<float>::quiet_NaN(), 0xFFFFEFFFu},
        {-5.0f, 0xF0000FFFu},       {-inf, 0xF0000FFFu},
        {32767.0f, 0xFFFFEF80u},    {-0.00001f, Encode(0.00001f)},
        {1e-30f, 0x00000F80u},      {0.49999997f, 0x08000F80u}, // the rounding carries into the exponent
    };
    for (const auto& c : cases)
        EXPECT_EQ(Encode(c.value), c.word) << c.value;
}

TEST(PackedReading, DecodesExactly)
{
    EXPECT_EQ(Decode(0x9FA00F80u), 500.0f);
    EXPECT_EQ(Decode(0x7F6E9F80u), 123.455078125f);
    EXPECT_EQ(Decode(0xFFFFEF80u), MEAS_ABOVE_RANGE);
    EXPECT_EQ(Decode(0xFFFFFFFFu), MEAS_NO_VALUE);
    EXPECT_EQ(Decode(0xF0000FFFu), MEAS_BELOW_RANGE);
    EXPECT_EQ(Decode(Encode(32766.5f)), 32766.5f);
    for (uint32_t low : {0x000u, 0xFFFu, 0x5A5u})
        for (uint32_t e = 0; e < 15; ++e)
            EXPECT_EQ(Decode((e << 28) | low), 0.0f);
    // Small values keep a resolution of 2^-16.
    EXPECT_EQ(Decode(Encode(0.25f + 1.0f / 65536)), 0.25f + 1.0f / 65536);
    EXPECT_EQ(Decode(Encode(std::ldexp(1.0f, -16))), std::ldexp(1.0f, -16));
}

// Every value from 0.5 to below 32766.5 reads back as the value rounded half up to 16
// significant bits; smaller values as the value truncated to multiples of 2^-16.
TEST(PackedReading, RoundTripMatchesSixteenBitRounding)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> exponent(-20.0f, 15.0f);
    for (int i = 0; i < 200000; ++i)
    {
        const float v = std::exp2(exponent(rng));
        if (v >= 32766.5f) // rounds to the sentinels' mantissas
            continue;
        double expected;
        if (v >= 0.5f)
        {
            const int e = std::ilogb(v);
            const double scale = std::ldexp(1.0, 15 - e);
            expected = std::floor(double(v) * scale + 0.5) / scale;
        }
        else
        {
            // Rounded at bit 16 below the leading one, then cut to the 2^-16 grid.
            const int e = std::ilogb(v);
            const double scale = std::ldexp(1.0, 15 - e);
            const double rounded = std::floor(double(v) * scale + 0.5) / scale;
            expected = std::floor(rounded * 65536.0) / 65536.0;
        }
        ASSERT_EQ(double(Decode(Encode(v))), expected) << v;
    }
}

TEST(PackedReading, DirectionBits)
{
    const uint32_t w90 = Encode(500.0f, 90, -1);
    EXPECT_EQ((w90 >> 1) & 7, 2u);
    EXPECT_EQ((w90 >> 4) & 7, 2u);
    EXPECT_EQ((w90 >> 7) & 31, 31u);
    const uint32_t fine = Encode(500.0f, 360, 47);
    EXPECT_EQ((fine >> 1) & 7, 7u);
    EXPECT_EQ((fine >> 7) & 31, 8u);
    int fineAngle = 0;
    EXPECT_EQ(SPackedReading{fine}.GetDirection(&fineAngle), 360);
    EXPECT_EQ(fineAngle, 48);
    EXPECT_EQ(Encode(500.0f, 360, -1) & 0xFFEu, 0xFE0u);

    SPackedReading r = Reading(500.0f, 0, -1);
    EXPECT_FALSE(r.SetDirectionBits(360, -1));
    EXPECT_FALSE(r.SetDirectionBits(40, -2)); // diameter code out of range
    EXPECT_EQ(r.word & 0xFFFu, 0xF8Au);
    EXPECT_TRUE(r.SetDirectionBits(90, -7)); // any other fine angle leaves the word
    EXPECT_EQ(r.word & 0xFFFu, 0xF8Au);
    EXPECT_EQ(DecodeReading(r), 500.0f);

    EXPECT_FALSE(r.SetExcluded());
    EXPECT_TRUE(r.IsExcluded());
    EXPECT_TRUE(r.ClearExcluded());
    EXPECT_FALSE(r.IsExcluded());
}

TEST(PackedReading, DiameterOverride)
{
    SPackedReading r = Reading(50.0f, 12, -2);
    int fine = 0;
    EXPECT_EQ(r.GetDirection(&fine), 12);
    EXPECT_EQ(fine, -2);

    EXPECT_TRUE(r.SetDirection(7));
    EXPECT_EQ(r.GetDirection(), 7);
    EXPECT_EQ(DecodeReading(r), 1050.0f);
    EXPECT_EQ(r.GetPlainValue(), 50.0f);
    EXPECT_EQ(r.GetOriginalDirection(), 12);

    const uint32_t before = r.word;
    EXPECT_FALSE(r.SetDirection(2));
    EXPECT_EQ(r.word, before);

    EXPECT_TRUE(r.SetDirection(30)); // override 30: bit 1 and bits 2-4, no extra 1000
    EXPECT_EQ(r.GetDirection(), 30);
    EXPECT_EQ(DecodeReading(r), 50.0f);

    EXPECT_TRUE(r.SetDirection(12));
    EXPECT_EQ(r.word, Reading(50.0f, 12, -2).word);

    r.SetDirection(31);
    EXPECT_EQ(r.RestoreDirection(), 31);
    EXPECT_EQ(r.GetDirection(), 12);
    EXPECT_EQ(r.GetPlainValue(), 50.0f);
}

// A diameter reading without a value must keep its sentinel through an override.
TEST(PackedReading, OverrideKeepsSentinels)
{
    for (float sentinel : {MEAS_NO_VALUE, MEAS_ABOVE_RANGE, MEAS_BELOW_RANGE})
    {
        SPackedReading r = Reading(sentinel, 12, -2);
        EXPECT_TRUE(r.SetDirection(7));
        EXPECT_EQ(DecodeReading(r), sentinel);
        EXPECT_EQ(r.GetPlainValue(), sentinel);
        EXPECT_EQ(r.GetDirection(), 6); // no value-flag bit: 2 | 4
    }
}

TEST(PackedReading, DirectionChangeAndRestore)
{
    SPackedReading r = Reading(400.0f, 45, -1);
    EXPECT_TRUE(r.SetDirection(135));
    EXPECT_EQ(r.GetDirection(), 135);
    EXPECT_EQ(r.GetOriginalDirection(), 45);
    EXPECT_EQ(r.RestoreDirection(), 135);
    EXPECT_EQ(r.GetDirection(), 45);
    EXPECT_TRUE(r.SetDirection(500)); // anything outside the angles means automatic
    EXPECT_EQ(r.GetDirection(), 360);

    // Automatic without fine angle refuses to become automatic again, and restoring it must
    // not turn it into a diameter reading.
    SPackedReading none = Reading(400.0f, 360, -1);
    EXPECT_FALSE(none.SetDirection(360));
    EXPECT_TRUE(none.SetDirection(90));
    EXPECT_EQ(none.RestoreDirection(), 90);
    EXPECT_FALSE(none.IsDiameterReading());
    EXPECT_EQ(none.GetDirection(), 0);
    EXPECT_EQ(DecodeReading(none), 400.0f);
}

TEST(ImpactCorrection, ReboundCorrections)
{
    CImpactCorrection c;
    ASSERT_TRUE(c.SetProbe(SProbeId(0x101, nullptr, -1)));
    const float x = 400.0f;
    const float v90 = -16.847094f + 0.0135604f * x;
    const float v180 = -38.36343f + 0.029247f * x;
    EXPECT_EQ(c.GetCorrection(x, 90), v90);
    EXPECT_EQ(c.GetCorrection(x, 0), 0.0f);
    EXPECT_EQ(c.GetCorrection(x, 180), v180);
    EXPECT_EQ(c.GetCorrection(x, 200), v180);
    // The cubics join 0, V90 and V180 without jumps.
    float previous = 0.0f;
    for (int a = 1; a <= 180; ++a)
    {
        const float v = c.GetCorrection(x, a);
        EXPECT_LT(std::fabs(v - previous), 0.5f) << a;
        previous = v;
    }

    // An automatic reading with a fine angle is corrected at that angle; without one at the
    // probe's maximum angle.
    EXPECT_EQ(c.Correct(Reading(x, 360, 90)), v90);
    EXPECT_EQ(c.Correct(Reading(x, 360, 48)), c.GetCorrection(x, 48));
    SPackedReading automatic = Reading(x, 90, -1);
    automatic.SetDirection(360);
    EXPECT_EQ(c.Correct(automatic), v180);
    EXPECT_EQ(c.Correct(Reading(x, 360, -1)), 0.0f); // stored without any direction
    EXPECT_EQ(c.Correct(Reading(x, 90, -1)), v90);

    CImpactCorrection probeC;
    probeC.SetProbe(SProbeId(0x105, nullptr, -1));
    EXPECT_EQ(probeC.GetCorrection(x, 180), -21.41125f + 0.0162f * x); // maximum angle 90

    CImpactCorrection calibrator;
    calibrator.SetProbe(SProbeId(0x10F, nullptr, -1));
    EXPECT_EQ(calibrator.GetCorrection(x, 90), 0.0f);

    SProbeId unknown;
    unknown.code = 0x109;
    CImpactCorrection none;
    EXPECT_TRUE(none.SetProbe(unknown));
    EXPECT_EQ(none.GetCorrection(x, 90), 0.0f);
    EXPECT_FALSE(none.SetProbe(SProbeId()));
    EXPECT_EQ(none.GetProbeCode(), 0);
    EXPECT_EQ(none.NextDirection(true), -1);
}

TEST(ImpactCorrection, DiameterCorrection)
{
    CImpactCorrection c;
    ASSERT_TRUE(c.SetProbe(SProbeId(0x201, nullptr, -1)));
    const float x = 60.0f;
    const float a = 10.0f;
    EXPECT_EQ(c.GetCorrection(x, 10),
              (a * a * 4.073696e-05f - a * 0.002481379f + 0.04337154f) * (200.0f - x));
    EXPECT_EQ(c.GetCorrection(x, 31), 0.0f);
    EXPECT_EQ(c.GetCorrection(x, 2), 0.0f);
    // The extra 1000 of an override is not part of the corrected value.
    SPackedReading r = Reading(x, 12, -2);
    r.SetDirection(7);
    EXPECT_EQ(c.Correct(r), c.GetCorrection(x, 7));
}

TEST(ImpactCorrection, DirectionEnumeration)
{
    auto all = [](CImpactCorrection& c)
    {
        std::vector<int> v;
        for (int d = c.NextDirection(true); d >= 0; d = c.NextDirection(false))
            v.push_back(d);
        return v;
    };
    CImpactCorrection c;
    c.SetProbe(SProbeId(0x101, nullptr, 1)); // no serial: not automatic capable
    EXPECT_EQ(all(c), (std::vector<int>{0, 45, 90, 135, 180}));
    const SPackedSerial serial = SomeSerial();
    c.SetProbe(SProbeId(0x101, &serial, 1));
    EXPECT_TRUE(c.IsAutomaticCapable());
    EXPECT_EQ(all(c), (std::vector<int>{360, 0, 45, 90, 135, 180}));
    c.SetProbe(SProbeId(0x101, &serial, 2));
    EXPECT_FALSE(c.IsAutomaticCapable());
    c.SetProbe(SProbeId(0x105, &serial, 1));
    EXPECT_EQ(all(c), (std::vector<int>{360, 0, 45, 90}));
    c.SetProbe(SProbeId(0x107, &serial, 1)); // no automatic detection
    EXPECT_EQ(all(c).front(), 0);
    c.SetProbe(SProbeId(0x221, nullptr, -1));
    EXPECT_EQ(all(c), (std::vector<int>{360}));
    EXPECT_EQ(c.NextDirection(false), -1);
}
