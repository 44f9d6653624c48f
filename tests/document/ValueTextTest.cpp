#include "document/ValueText.h"
#include "platform/core/StringTable.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ValueText, FormatValue)
{
    // The out-of-range texts come from the string table unless literal text is asked for.
    Platform::StringTable::Instance().Set(59186, QStringLiteral("over"));
    Platform::StringTable::Instance().Set(59187, QStringLiteral("under"));
    const struct
    {
        float value;
        int decimals;
        bool literal;
        const char* text;
    } cases[] = {
        {MEAS_NO_VALUE, 0, false, "--"},
        {MEAS_NO_VALUE, 3, true, "--"},
        {MEAS_ABOVE_RANGE, 1, false, "over"},
        {MEAS_BELOW_RANGE, 1, false, "under"},
        {MEAS_ABOVE_RANGE, 1, true, "noCnv"},
        {MEAS_BELOW_RANGE, 1, true, "noCnv"},
        {12.345f, 1, false, "12.3"},
        {12.345f, 0, false, "12"},
        {2.5f, 0, false, "2"}, // printf rounds the exact binary value to even
        {-0.25f, 1, false, "-0.2"},
        {1234.5f, 3, false, "1234.500"},
        {0.1f, -1, false, "0.100000"}, // a negative precision means six, as in printf
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatValue(c.value, c.decimals, c.literal), QString::fromLatin1(c.text))
            << c.value << " " << c.decimals;
    Platform::StringTable::Instance().Set(59186, QStringLiteral("noCnv"));
    Platform::StringTable::Instance().Set(59187, QStringLiteral("noCnv"));
}

TEST(ValueText, MicronsAndMilsUseTheExactInch)
{
    // 1 inch = 25.4 mm exactly, so 1 mil = 25.4 um.
    const struct
    {
        float microns;
        float mils;
    } cases[] = {{25.4f, 1.0f}, {254.0f, 10.0f}, {0.0f, 0.0f}, {-50.8f, -2.0f}, {1000.0f, 39.37008f}};
    for (const auto& c : cases)
    {
        float v = c.microns;
        const float returned = MicronsToMils(v);
        EXPECT_EQ(returned, v) << "converted in place";
        EXPECT_NEAR(v, c.mils, 1e-5f * std::max(1.0f, std::fabs(c.mils))) << c.microns;
        float back = c.mils;
        EXPECT_NEAR(MilsToMicrons(back), c.microns, 1e-4f * std::max(1.0f, std::fabs(c.microns))) << c.mils;
        EXPECT_EQ(back, c.mils * 25.4f);
        double d = c.microns;
        EXPECT_NEAR(MicronsToMilsDouble(d), double(c.microns) / 25.4, 1e-6);
    }
    for (const float sentinel : {MEAS_NO_VALUE, MEAS_ABOVE_RANGE, MEAS_BELOW_RANGE})
    {
        float a = sentinel, b = sentinel;
        double d = sentinel;
        EXPECT_EQ(MicronsToMils(a), sentinel);
        EXPECT_EQ(MilsToMicrons(b), sentinel);
        EXPECT_EQ(MicronsToMilsDouble(d), double(sentinel));
    }
}
