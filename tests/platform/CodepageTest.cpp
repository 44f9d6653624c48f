#include "platform/core/Codepage.h"

#include <gtest/gtest.h>

TEST(Codepage, MapsTheC1RangeAsWindows1252)
{
    struct Case
    {
        unsigned char byte;
        char16_t unicode;
    } cases[] = {{0x80, 0x20AC}, {0x8A, 0x0160}, {0x92, 0x2019}, {0x96, 0x2013}, {0x9F, 0x0178},
                 {0x81, 0x0081}, {0x9D, 0x009D}, {0xA0, 0x00A0}, {0xE9, 0x00E9}, {0x41, 0x0041}};
    for (const Case& c : cases)
    {
        const char b = static_cast<char>(c.byte);
        const QString decoded = DecodeCp1252(QByteArrayView(&b, 1));
        ASSERT_EQ(decoded.size(), 1);
        EXPECT_EQ(decoded[0].unicode(), c.unicode) << "byte " << int(c.byte);
        EXPECT_EQ(EncodeCp1252(decoded), QByteArray(1, b)) << "byte " << int(c.byte);
    }
}

TEST(Codepage, EveryByteSurvivesARoundTrip)
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(static_cast<char>(i));
    EXPECT_EQ(EncodeCp1252(DecodeCp1252(all)), all);
}

TEST(Codepage, CharactersOutside1252BecomeTheReplacement)
{
    EXPECT_EQ(EncodeCp1252(QString::fromUtf8("a\u4E2Db\u0100")), QByteArray("a?b?"));
    EXPECT_EQ(EncodeCp1252(QString::fromUtf8("\u4E2D"), '_'), QByteArray("_"));
}
