#include "platform/core/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <random>

using namespace Platform;

TEST(NumberText, FormatsInTheCLocaleWithPrintfRounding)
{
    // A process locale with a decimal comma must not leak into stored text.
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(FormatFixed(3.14159, 2), QStringLiteral("3.14"));
    EXPECT_EQ(FormatFixed(2.5, 0), QStringLiteral("2"));   // ties to even, as printf
    EXPECT_EQ(FormatFixed(0.125, 2), QStringLiteral("0.12"));
    EXPECT_EQ(FormatFixed(-0.5, 1), QStringLiteral("-0.5"));
    EXPECT_EQ(FormatFixed(1e6, 1), QStringLiteral("1000000.0"));
    EXPECT_EQ(FormatGeneral(1234567.0, 3), QStringLiteral("1.23e+06"));
    EXPECT_EQ(FormatGeneral(0.0001, 6), QStringLiteral("0.0001"));
    std::setlocale(LC_NUMERIC, "C");
}

TEST(NumberText, FixedNotationAgreesWithPrintfForMeasuredValues)
{
    // Measured values are floats; exports write them with 0 to 6 decimals (a fast path),
    // other doubles take the general way. Both must give printf's digits.
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> magnitude(-8.0f, 8.0f);
    std::uniform_int_distribution<int> places(0, 8);
    char expected[512];
    for (int i = 0; i < 20000; ++i)
    {
        const float f = std::pow(10.0f, magnitude(rng)) * (i % 3 == 0 ? -1.0f : 1.0f);
        const int d = places(rng);
        for (double value : {double(f), double(f) * 1.1, std::round(double(f) * 1000.0) / 1000.0 + 0.0005})
        {
            std::snprintf(expected, sizeof expected, "%.*f", d, value);
            ASSERT_EQ(FormatFixed(value, d), QString::fromLatin1(expected)) << value << " " << d;
        }
    }
    for (double value : {-0.0, -0.04, 0.05, 2.5, 3.5, -2.5, 1e300, 123456789.125})
        for (int d : {0, 1, 2})
        {
            std::snprintf(expected, sizeof expected, "%.*f", d, value);
            EXPECT_EQ(FormatFixed(value, d), QString::fromLatin1(expected)) << value << " " << d;
        }
}

TEST(NumberText, ParsesWholeNumbersOnly)
{
    EXPECT_EQ(ParseDouble(u" 12.5 "), 12.5);
    EXPECT_EQ(ParseDouble(u"+3e2"), 300.0);
    EXPECT_EQ(ParseFloat(u"-0.1"), -0.1f);
    EXPECT_FALSE(ParseDouble(u"12,5").has_value());
    EXPECT_FALSE(ParseDouble(u"").has_value());
    EXPECT_FALSE(ParseDouble(u"1.5x").has_value());
    EXPECT_EQ(ParseInteger(u"3728"), 3728);
    EXPECT_EQ(ParseInteger(u"3A7C", 16), 0x3A7C);
    EXPECT_FALSE(ParseInteger(u"12.0").has_value());
    EXPECT_FALSE(ParseInteger(u"99999999999999999999").has_value());
}
