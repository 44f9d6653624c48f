#include "streamio/Checksum.h"
#include "streamio/Crc32Engine.h"
#include "streamio/CrcTableCache.h"
#include "streamio/PerfCounter.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <random>
#include <thread>
#include <vector>

namespace
{

const char kDigits[] = "123456789";

TEST(Checksum, CheckValuesOfTheStandardCatalogue)
{
    EXPECT_EQ(Crc8(kDigits, 9), 0xA1);                       // CRC-8/MAXIM-DOW
    EXPECT_EQ(Crc16(kDigits, 9), 0xBB3D);                    // CRC-16/ARC
    EXPECT_EQ(~Crc32(kDigits, 9, 0xFFFFFFFFu), 0xCBF43926u); // CRC-32/ISO-HDLC
    EXPECT_EQ(Crc16(kDigits, 9, 0, GetCrc16Table()), 0xBB3D);
    EXPECT_EQ(GetCrc32Table()[1], 0x77073096u);
    EXPECT_EQ(GetCrc16Table()[1], 0xC0C1);
    EXPECT_EQ(GetCrc8Table()[1], 0x5E);
}

TEST(Checksum, EmptyInputGivesZeroWhateverTheStart)
{
    // Peers compare against these: an empty frame's CRC is 0, not the start value, and
    // the standard CRC-32 of an empty payload framed by the caller is ~0 = 0xFFFFFFFF.
    EXPECT_EQ(Crc8(kDigits, 0, 0x55), 0);
    EXPECT_EQ(Crc16(kDigits, 0, 0x1234), 0);
    EXPECT_EQ(Crc16(nullptr, 5, 0x1234), 0);
    EXPECT_EQ(Crc32(kDigits, 0, 0xFFFFFFFFu), 0u);
    EXPECT_EQ(~Crc32(nullptr, 0, 0xFFFFFFFFu), 0xFFFFFFFFu);
}

TEST(Checksum, Crc32EqualsZlibOnRandomDataAtEveryAlignmentAndLength)
{
    std::mt19937 random(42);
    std::vector<uint8_t> data(70000);
    for (auto& b : data)
        b = static_cast<uint8_t>(random());
    for (size_t offset : {0u, 1u, 3u, 7u})
    {
        for (size_t length : {1u, 15u, 16u, 17u, 31u, 255u, 4096u, 65537u})
        {
            const uint8_t* p = data.data() + offset;
            const uint32_t expected = static_cast<uint32_t>(::crc32(0, p, static_cast<uInt>(length)));
            EXPECT_EQ(~Crc32(p, length, 0xFFFFFFFFu), expected) << offset << "+" << length;
        }
    }
    // A caller-given copy of the table takes the byte-wise path: same result.
    std::vector<uint32_t> copy(GetCrc32Table(), GetCrc32Table() + 256);
    EXPECT_EQ(Crc32(data.data(), 1000, 0x12345678u, copy.data()), Crc32(data.data(), 1000, 0x12345678u));
}

TEST(Crc32Engine, StandardAndCustomPolynomialsFedInPieces)
{
    CCrc32Engine standard;
    EXPECT_EQ(standard.GetTable(), GetCrc32Table());
    EXPECT_EQ(standard.Update(kDigits, 4), ~Crc32(kDigits, 4, 0xFFFFFFFFu));
    EXPECT_EQ(standard.Update(kDigits + 4, 5), 0xCBF43926u) << "the running value carries over";

    CCrc32Engine castagnoli(0x82F63B78u, 0xFFFFFFFFu, 0xFFFFFFFFu); // CRC-32C
    EXPECT_EQ(castagnoli.Update(kDigits, 9), 0xE3069283u);

    CCrc32Engine reset(0x82F63B78u, 0, 0);
    ASSERT_TRUE(reset.SetParameters(0, 1, 2)) << "polynomial 0 means the standard CRC";
    EXPECT_EQ(reset.GetPolynomial(), CCrc32Engine::kStandardPolynomial);
    EXPECT_EQ(reset.Update(kDigits, 9), 0xCBF43926u);
}

TEST(CrcTableCache, EnginesShareATableAndAtMostFourReleasedOnesStay)
{
    CCrcTableCache& cache = CCrcTableCache::Instance();
    // The cache lives as long as the process, and earlier tests leave released tables in
    // it: fill the released list with tables of our own first.
    const std::vector<uint32_t> fillers{0x0A0A0A0Au, 0x0B0B0B0Bu, 0x0C0C0C0Cu, 0x0D0D0D0Du};
    for (const uint32_t poly : fillers)
        CCrc32Engine engine(poly, 0, 0);
    ASSERT_EQ(cache.ReleasedPolynomials(), fillers);

    const uint32_t polys[] = {0x11111111u, 0x22222222u, 0x33333333u, 0x44444444u, 0x55555555u};
    {
        CCrc32Engine a(polys[0], 0, 0);
        CCrc32Engine b(polys[0], 0, 0);
        EXPECT_EQ(a.GetTable(), b.GetTable());
        EXPECT_NE(a.GetTable(), GetCrc32Table());
    }
    EXPECT_EQ(cache.ReleasedPolynomials(), (std::vector<uint32_t>{fillers[1], fillers[2], fillers[3], polys[0]}))
        << "one released table, shared by both engines";
    for (int i = 1; i < 5; ++i)
        CCrc32Engine engine(polys[i], 0, 0);
    EXPECT_EQ(cache.ReleasedPolynomials(), (std::vector<uint32_t>{polys[1], polys[2], polys[3], polys[4]}))
        << "the fifth released table frees the oldest";
    {
        CCrc32Engine again(polys[2], 0, 0); // taken back from the released list
        EXPECT_EQ(cache.ReleasedPolynomials(), (std::vector<uint32_t>{polys[1], polys[3], polys[4]}));
    }
}

TEST(CrcTableCache, EnginesOnManyThreadsAgree)
{
    const uint32_t expected = []
    {
        CCrc32Engine e(0x82F63B78u, 0xFFFFFFFFu, 0xFFFFFFFFu);
        return e.Update(kDigits, 9);
    }();
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 8; ++t)
        threads.emplace_back(
            [&, t]
            {
                for (int i = 0; i < 300; ++i)
                {
                    CCrc32Engine e(0x82F63B78u, 0xFFFFFFFFu, 0xFFFFFFFFu);
                    CCrc32Engine other(0x1EDC6F41u + static_cast<uint32_t>(t), 0, 0);
                    if (e.Update(kDigits, 9) != expected)
                        ++wrong;
                }
            });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(PerfCounter, ElapsedMillisecondsFollowTheMonotonicClock)
{
    uint64_t start = 0, end = 0;
    ASSERT_TRUE(GetPerfCounter(start));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_TRUE(GetPerfCounter(end));
    const uint64_t ms = GetElapsedMs(start, end);
    EXPECT_GE(ms, 30u);
    EXPECT_LT(ms, 10000u);
}

} // namespace
