#include "platform/io/HidReportDescriptor.h"

#include <gtest/gtest.h>

#include <vector>

using Platform::HidReportLengths;
using Platform::ParseHidReportDescriptor;

namespace
{
// A vendor-defined probe: 10 input bytes and 63 feature bytes, no report ids.
const std::vector<uint8_t> kProbe = {
    0x06, 0x00, 0xFF,       // usage page (vendor)
    0x09, 0x01,             // usage
    0xA1, 0x01,             // collection (application)
    0x15, 0x00,             // logical minimum 0
    0x26, 0xFF, 0x00,       // logical maximum 255
    0x75, 0x08,             // report size 8
    0x95, 0x0A,             // report count 10
    0x09, 0x02, 0x81, 0x02, // input
    0x95, 0x3F,             // report count 63
    0x09, 0x03, 0xB1, 0x02, // feature
    0xC0,                   // end collection
};
} // namespace

TEST(HidReportDescriptor, LengthsCountTheReportIdByteAsWindowsDoes)
{
    HidReportLengths l;
    ASSERT_TRUE(ParseHidReportDescriptor(kProbe.data(), kProbe.size(), l));
    EXPECT_EQ(l.input, 11);
    EXPECT_EQ(l.feature, 64);
    EXPECT_EQ(l.output, 0);
    EXPECT_FALSE(l.numbered);
}

TEST(HidReportDescriptor, NumberedReportsTakeTheLongestAndPushPopRestoresGlobals)
{
    const std::vector<uint8_t> d = {
        0x85, 0x01, 0x75, 0x08, 0x95, 0x04, 0x81, 0x02, // id 1: 4 input bytes
        0xA4,                                           // push
        0x85, 0x02, 0x75, 0x01, 0x95, 0x0C, 0x81, 0x02, // id 2: 12 bits ...
        0x81, 0x02,                                     // ... twice: 24 bits = 3 bytes
        0xB4,                                           // pop: id 1, 8 x 4 again
        0x81, 0x02,                                     // id 1 now 8 bytes
        0xFE, 0x02, 0x10, 0xAA, 0xBB,                   // a long item, skipped
        0x91, 0x02,                                     // output of id 1: 4 bytes
    };
    HidReportLengths l;
    ASSERT_TRUE(ParseHidReportDescriptor(d.data(), d.size(), l));
    EXPECT_TRUE(l.numbered);
    EXPECT_EQ(l.input, 9);
    EXPECT_EQ(l.output, 5);
    EXPECT_EQ(l.feature, 0);
}

TEST(HidReportDescriptor, MalformedDescriptorsStopSafely)
{
    const std::vector<std::vector<uint8_t>> bad = {
        {0x75, 0x08, 0x95},                                                       // item cut short
        {0xFE, 0x10, 0x00, 0x01},                                                 // long item past the end
        {0xB4},                                                                   // pop without push
        {0x85, 0x00},                                                             // report id 0
        {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02}, // size overflow
    };
    for (const auto& d : bad)
    {
        HidReportLengths l;
        EXPECT_FALSE(ParseHidReportDescriptor(d.data(), d.size(), l));
    }
    HidReportLengths empty;
    EXPECT_TRUE(ParseHidReportDescriptor(nullptr, 0, empty));
    EXPECT_EQ(empty.feature, 0);
}
