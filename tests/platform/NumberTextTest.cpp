#include "platform/core/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>

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
