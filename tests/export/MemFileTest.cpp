#include "export/encoder/xMemFile.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

TEST(MemFile, GrowsToTheNextMultipleOf64KiBAboveTheNeed)
{
    struct Case
    {
        std::vector<std::size_t> writes;
        std::size_t capacity;
    } cases[] = {
        {{10}, 65536},        {{65535}, 65536},   {{65536}, 131072}, {{60000, 10000}, 131072},
        {{65536, 1}, 131072}, {{131073}, 196608},
    };
    for (const Case& c : cases)
    {
        CxMemFile file;
        ASSERT_TRUE(file.Open());
        EXPECT_EQ(file.GetCapacity(), 1u);
        std::size_t total = 0;
        for (std::size_t bytes : c.writes)
        {
            const std::vector<std::uint8_t> data(bytes, 0x5A);
            EXPECT_EQ(file.Write(data.data(), 1, bytes), bytes);
            total += bytes;
        }
        EXPECT_EQ(file.GetCapacity(), c.capacity) << "first write " << c.writes[0];
        EXPECT_EQ(file.Size(), static_cast<std::int64_t>(total));
        EXPECT_EQ(file.Tell(), static_cast<std::int64_t>(total));
    }
}

TEST(MemFile, WithoutBufferNothingWorks)
{
    CxMemFile file;
    const char data[] = "abc";
    char out[4] = {};
    EXPECT_EQ(file.Write(data, 1, 3), 0u);
    EXPECT_FALSE(file.PutC('x'));
    EXPECT_EQ(file.Read(out, 1, 3), 0u);
    EXPECT_EQ(file.Tell(), -1);
    EXPECT_EQ(file.Size(), -1);
    EXPECT_EQ(file.Error(), -1);
    EXPECT_TRUE(file.Eof());
    EXPECT_FALSE(file.Flush());
    EXPECT_FALSE(file.Seek(0, SEEK_SET));
    EXPECT_EQ(file.GetC(), -1);

    // Open attaches a buffer once; Close frees it so that the stream opens again.
    ASSERT_TRUE(file.Open());
    EXPECT_FALSE(file.Open());
    EXPECT_EQ(file.Write(data, 0, 3), 0u);
    EXPECT_EQ(file.Write(nullptr, 1, 3), 0u);
    EXPECT_EQ(file.Size(), 0);
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(file.Size(), -1);
    EXPECT_TRUE(file.Open());
}

TEST(MemFile, ReadsSeeksAndReadsLines)
{
    CxMemFile file;
    ASSERT_TRUE(file.Open());
    ASSERT_EQ(file.Write("ab\ncdefghij", 1, 11), 11u);
    EXPECT_TRUE(file.Eof());
    EXPECT_EQ(file.Error(), 0);

    ASSERT_TRUE(file.Seek(0, SEEK_SET));
    char line[16];
    ASSERT_EQ(file.GetS(line, sizeof line), line);
    EXPECT_STREQ(line, "ab\n");
    ASSERT_EQ(file.GetS(line, 4), line); // n - 1 bytes at most
    EXPECT_STREQ(line, "cde");
    EXPECT_EQ(file.GetS(line, sizeof line), nullptr); // the end came before a line feed

    // Whole items only, up to the size; the position moves by what was copied.
    ASSERT_TRUE(file.Seek(-5, SEEK_END));
    EXPECT_EQ(file.Tell(), 6);
    char items[8] = {};
    EXPECT_EQ(file.Read(items, 2, 4), 2u); // 5 bytes left: 2 whole items, all 5 copied
    EXPECT_EQ(std::memcmp(items, "fghij", 5), 0);
    EXPECT_EQ(file.Read(items, 0, 4), 0u);
    EXPECT_EQ(file.GetC(), -1);

    ASSERT_TRUE(file.Seek(-3, SEEK_CUR));
    EXPECT_EQ(file.GetC(), 'h');
    ASSERT_TRUE(file.Seek(-100, SEEK_CUR));
    EXPECT_EQ(file.Tell(), 0);
    EXPECT_FALSE(file.Seek(0, 7));
    EXPECT_EQ(file.Scanf("%d", nullptr), 0);
}

TEST(MemFile, WritingPastTheEndFillsTheGapWithZeros)
{
    CxMemFile file;
    ASSERT_TRUE(file.Open());
    ASSERT_EQ(file.Write("ab", 1, 2), 2u);
    ASSERT_TRUE(file.Seek(5, SEEK_END));
    EXPECT_EQ(file.Error(), 1); // position past the size
    EXPECT_EQ(file.Read(nullptr, 1, 1), 0u);
    char byte = 0;
    EXPECT_EQ(file.Read(&byte, 1, 1), 0u);
    ASSERT_TRUE(file.PutC('z'));
    EXPECT_EQ(file.Error(), 0);
    ASSERT_EQ(file.Size(), 8);
    const std::uint8_t expected[8] = {'a', 'b', 0, 0, 0, 0, 0, 'z'};
    EXPECT_EQ(std::memcmp(file.GetBuffer(false), expected, 8), 0);
}

TEST(MemFile, NeverReallocatesABufferItDoesNotOwn)
{
    // A caller's buffer is written in place while it has room and left alone afterwards.
    std::array<std::uint8_t, 4> callers = {1, 2, 3, 4};
    {
        CxMemFile file(callers.data(), callers.size());
        EXPECT_EQ(file.Size(), 4);
        EXPECT_EQ(file.GetC(), 1);
        ASSERT_EQ(file.Write("x", 1, 1), 1u);
        EXPECT_EQ(file.GetBuffer(false), callers.data());
        ASSERT_TRUE(file.Seek(0, SEEK_END));
        ASSERT_EQ(file.Write("yz", 1, 2), 2u);
        EXPECT_NE(file.GetBuffer(false), callers.data());
        const std::uint8_t expected[6] = {1, 'x', 3, 4, 'y', 'z'};
        EXPECT_EQ(std::memcmp(file.GetBuffer(false), expected, 6), 0);
    } // the stream frees only its own copy
    EXPECT_EQ(callers[1], 'x');

    // A detached buffer stays valid while the stream goes on writing elsewhere.
    CxMemFile::Buffer detached;
    {
        CxMemFile file;
        ASSERT_TRUE(file.Open());
        ASSERT_EQ(file.Write("abc", 1, 3), 3u);
        detached.reset(file.GetBuffer(true));
        EXPECT_EQ(file.Size(), 3);
        const std::vector<std::uint8_t> more(70000, 7);
        ASSERT_EQ(file.Write(more.data(), 1, more.size()), more.size());
        EXPECT_NE(file.GetBuffer(false), detached.get());
    }
    EXPECT_EQ(std::memcmp(detached.get(), "abc", 3), 0);
}
