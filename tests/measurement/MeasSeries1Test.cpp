#include "SeriesFixture.h"

#include "measurement/MeasSeries1.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace SeriesFixture;

namespace
{
std::vector<float> ValuesOf(CMeasSeries1& s, int mask)
{
    std::vector<float> values;
    const int n = s.GetCount(mask);
    for (int i = 0; i < n; ++i)
        values.push_back(s.GetReading(i, nullptr, nullptr, mask));
    return values;
}
} // namespace

TEST(MeasSeries1, CapacityDefaultsAndLimit)
{
    EXPECT_EQ(CMeasSeries1(0).GetCapacity(), MEAS_DEFAULT_CAPACITY);
    EXPECT_EQ(CMeasSeries1(-5).GetCapacity(), MEAS_DEFAULT_CAPACITY);
    EXPECT_EQ(CMeasSeries1(20000).GetCapacity(), MEAS_MAX_CAPACITY);
    EXPECT_EQ(CMeasSeries1(16384).GetCapacity(), 16384);
}

TEST(MeasSeries1, FullSeriesOfChosenCapacityDropsOldestReadingWithAttachment)
{
    auto s = NewSeries(kProbeD, kProbeD, 1, 3);
    for (float v : {400.0f, 410.0f, 420.0f})
        s->AddReading(v, v, 0, -1);
    const uint8_t curve[] = {1, 2, 3};
    ASSERT_TRUE(s->SetAttachment(0, curve, 3, 7));
    ASSERT_TRUE(s->SetAttachment(1, curve, 2, 7));
    EXPECT_EQ(s->AddReading(430.0f, 430.0f, 0, -1), 2);
    EXPECT_EQ(s->GetCapacity(), 3);
    EXPECT_EQ(ValuesOf(*s, 7), (std::vector<float>{410.0f, 420.0f, 430.0f}));
    // The former second reading's attachment moved down with it; the first one is gone.
    EXPECT_EQ(s->GetAttachmentSize(0, 7), 2);
    EXPECT_EQ(s->GetAttachmentSize(1, 7), 0);
    EXPECT_EQ(s->GetMean(), 420.0f);
}

TEST(MeasSeries1, CopiedSeriesGrowsInsteadOfDroppingItsFirstReading)
{
    auto s = NewSeries(kProbeD, kHRC);
    for (float v : {400.0f, 480.0f, 560.0f})
        s->AddReading(v, v, 0, -1);
    const uint8_t curve[] = {9, 8, 7, 6};
    ASSERT_TRUE(s->SetAttachment(1, curve, 4, 7));
    s->SetComment(QStringLiteral("copy me"));

    CMeasSeries1 copy(*s);
    EXPECT_FALSE(copy.IsNew());
    EXPECT_FALSE(copy.IsModified());
    EXPECT_EQ(copy.GetCapacity(), 3);
    EXPECT_EQ(ValuesOf(copy, 7), ValuesOf(*s, 7));
    EXPECT_EQ(copy.GetComment(), QStringLiteral("copy me"));
    uint8_t back[4] = {};
    EXPECT_EQ(copy.GetAttachment(1, back, 4, 7), 4);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 4), std::vector<uint8_t>(curve, curve + 4));

    // Measuring on in a reopened series keeps every reading.
    EXPECT_EQ(copy.AddReading(640.0f, 640.0f, 0, -1), 3);
    EXPECT_GT(copy.GetCapacity(), 3);
    EXPECT_EQ(ValuesOf(copy, 7), (std::vector<float>{20.0f, 30.0f, 40.0f, 50.0f}));
}

TEST(MeasSeries1, FilterMasksClassifyReadings)
{
    auto s = NewSeries(kProbeD, kHRC);
    // 300 lies below the conversion's range (320..880), 900 above it.
    for (float v : {400.0f, 300.0f, 480.0f, 900.0f, 560.0f})
        s->AddReading(v, v, 0, -1);
    s->AddReading(MEAS_NO_VALUE, MEAS_NO_VALUE, 0, -1);
    EXPECT_TRUE(s->ExcludeReading(2, 7));

    EXPECT_EQ(s->GetCount(7), 6);
    EXPECT_EQ(s->GetCount(1), 2); // 400 and 560
    EXPECT_EQ(s->GetCount(2), 2); // the excluded 480 and the reading without value
    EXPECT_EQ(s->GetCount(4), 2); // 300 and 900
    EXPECT_EQ(s->GetCount(5), 4);
    EXPECT_EQ(ValuesOf(*s, 7),
              (std::vector<float>{20.0f, MEAS_BELOW_RANGE, 30.0f, MEAS_ABOVE_RANGE, 40.0f, MEAS_NO_VALUE}));
    EXPECT_EQ(ValuesOf(*s, 1), (std::vector<float>{20.0f, 40.0f}));
    EXPECT_EQ(ValuesOf(*s, 4), (std::vector<float>{MEAS_BELOW_RANGE, MEAS_ABOVE_RANGE}));
    // The no-value word carries the excluded bit.
    EXPECT_EQ(s->ResolveIndex(1, 2), 5);
    EXPECT_EQ(s->GetNativeValue(1, 4), 900.0f);
    // Walking backwards and forwards from the cursor, and off either end.
    EXPECT_EQ(s->ResolveIndex(2, 5), 3);
    EXPECT_EQ(s->ResolveIndex(0, 5), 0);
    EXPECT_EQ(s->ResolveIndex(3, 5), 4);
    EXPECT_LT(s->ResolveIndex(9, 5), 0);
    EXPECT_LT(s->ResolveIndex(-1, 5), 0);
    EXPECT_EQ(s->GetReading(9, nullptr, nullptr, 5), MEAS_NO_VALUE);

    // Below-range readings are not part of the statistics.
    EXPECT_EQ(s->GetMean(), 30.0f);
    EXPECT_EQ(s->GetMin(), 20.0f);
    EXPECT_EQ(s->GetMax(), 40.0f);

    // Once included, a reading without a value still counts under bit 2 but walks with
    // the in-range readings.
    EXPECT_FALSE(s->IncludeReading(5, 7));
    EXPECT_EQ(s->GetCount(2), 2);
    EXPECT_EQ(s->GetCount(1), 2);
    EXPECT_EQ(s->ResolveIndex(2, 1), 5);
    EXPECT_EQ(s->GetReading(2, nullptr, nullptr, 1), MEAS_NO_VALUE);
}

TEST(MeasSeries1, ExclusionAndDeletion)
{
    auto s = NewSeries(kProbeD, kProbeD);
    for (float v : {500.0f, 510.0f, 530.0f})
        s->AddReading(v, v + 1.0f, 90, -1);
    s->AddReading(MEAS_NO_VALUE, MEAS_NO_VALUE, 0, -1);
    const float mean = s->GetMean();

    EXPECT_TRUE(s->ExcludeReading(1, 7));
    EXPECT_FALSE(s->ExcludeReading(1, 7)); // already excluded
    EXPECT_TRUE(s->IsReadingExcluded(1, 7));
    EXPECT_TRUE(s->IsReadingExcluded(42, 7)); // a bad index reads as excluded
    EXPECT_NE(s->GetMean(), mean);
    EXPECT_TRUE(s->IncludeReading(1, 7));
    EXPECT_FALSE(s->IncludeReading(1, 7));
    EXPECT_FLOAT_EQ(s->GetMean(), mean);

    // A reading without a value changes its bit all the same, but reports a failure.
    EXPECT_FALSE(s->IncludeReading(3, 7));
    EXPECT_FALSE(s->IsReadingExcluded(3, 7));
    EXPECT_FALSE(s->ExcludeReading(3, 7));
    EXPECT_TRUE(s->IsReadingExcluded(3, 7));

    const float second = s->GetNativeValue(1, 7);
    EXPECT_TRUE(s->DeleteReading(0, 7));
    EXPECT_EQ(s->GetCount(7), 3);
    EXPECT_EQ(s->GetNativeValue(0, 7), second);
    int angle = 0;
    int fine = 0;
    EXPECT_EQ(s->GetReading(0, &angle, &fine, 7), RoundToResolution(second, 8));
    EXPECT_EQ(angle, 90);
    EXPECT_EQ(fine, 360);
    EXPECT_FALSE(s->DeleteReading(3, 7));
    EXPECT_TRUE(s->RemoveLastReading());
    EXPECT_EQ(s->GetCount(7), 2);
    EXPECT_FALSE(CMeasSeries1(5).RemoveLastReading());
}

TEST(MeasSeries1, SetReadingFillsGapsAndRefusesIndicesBeyondCapacity)
{
    auto s = NewSeries(kProbeD, kProbeD, 1, 10);
    EXPECT_EQ(s->SetReading(3, 500.0f, 500.0f, 0, -1, 7), 3);
    EXPECT_EQ(s->GetCount(7), 4);
    EXPECT_EQ(s->GetValue(0), MEAS_NO_VALUE);
    EXPECT_EQ(s->GetValue(3), 500.0f);
    EXPECT_EQ(s->SetReading(10, 500.0f, 500.0f, 0, -1, 7), -1);
    EXPECT_EQ(s->SetReading(3, 600.0f, 600.0f, 0, -1, 1), -1); // filtered index 3 does not exist
    EXPECT_EQ(s->SetReading(0, 600.0f, 600.0f, 0, -1, 1), 3);
    EXPECT_EQ(s->GetMean(), 600.0f);
}

TEST(MeasSeries1, WithoutRecordShowsRoundedNativeValues)
{
    auto s = NewSeries(kProbeD, kProbeD);
    s->AddReading(500.5f, 500.5f, 0, -1);
    ASSERT_TRUE(s->SetResolution(1, 1));
    EXPECT_EQ(s->GetValue(0), 500.5f);
    ASSERT_TRUE(s->SetResolution(0, 1));
    EXPECT_EQ(s->GetValue(0), 501.0f);
}

TEST(MeasSeries1, ReadingDirectionsChangeTheCorrection)
{
    auto s = NewSeries(kProbeD, kProbeD);
    s->AddReading(400.0f, 400.0f, 0, -1);
    EXPECT_EQ(s->GetNativeValue(0, 7), 400.0f);
    EXPECT_TRUE(s->SetReadingDirection(0, 90, 7));
    CImpactCorrection correction;
    correction.SetProbe(SProbeId(kProbeD, nullptr, -1));
    EXPECT_EQ(s->GetNativeValue(0, 7), 400.0f + correction.GetCorrection(400.0f, 90));
    EXPECT_EQ(s->GetMean(), RoundToResolution(400.0f + correction.GetCorrection(400.0f, 90), 8));
    EXPECT_TRUE(s->SetReadingDirection(0, 90, 7)); // no change
    EXPECT_TRUE(s->RestoreReadingDirection(0, 7));
    EXPECT_EQ(s->GetMean(), 400.0f);

    // The directions the probe supports, without automatic detection.
    std::vector<int> directions;
    for (int d = s->GetFirstDirection(); d >= 0; d = s->GetNextDirection())
        directions.push_back(d);
    EXPECT_EQ(directions, (std::vector<int>{0, 45, 90, 135, 180}));
}

TEST(MeasSeries1, CommentIsCutAndCopiedWithinTheBuffer)
{
    CMeasSeries1 s(5);
    s.Clear();
    EXPECT_FALSE(s.IsModified());
    EXPECT_TRUE(s.SetComment(QStringLiteral("12345678901234567890")));
    EXPECT_TRUE(s.IsModified());
    char16_t buffer[10];
    EXPECT_EQ(s.GetComment(buffer, 10), 9);
    EXPECT_EQ(QString::fromUtf16(buffer), QStringLiteral("123456789"));
    EXPECT_EQ(s.GetComment(buffer, 1), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(s.GetComment(nullptr, 10), 0);
    s.SetComment(QString(200, QChar(u'x')));
    EXPECT_EQ(s.GetCommentLength(), 128);
    EXPECT_EQ(s.GetMaxCommentLength(), 128);
}

TEST(MeasSeries1, AttachmentsHoldUpTo4096Bytes)
{
    auto s = NewSeries(kProbeD, kProbeD, 1, 5);
    s->AddReading(500.0f, 500.0f, 0, -1);
    s->AddReading(510.0f, 510.0f, 0, -1);
    std::vector<uint8_t> big(4097, 0x5A);
    EXPECT_FALSE(s->SetAttachment(0, big.data(), 4097, 7));
    EXPECT_FALSE(s->SetAttachment(0, big.data(), 0, 7));
    EXPECT_FALSE(s->SetAttachment(2, big.data(), 10, 7)); // no such reading
    EXPECT_TRUE(s->SetAttachment(1, big.data(), 4096, 7));
    EXPECT_EQ(s->GetAttachmentSize(1, 7), 4096);

    // A smaller attachment reuses the block; copying never passes the caller's buffer.
    const uint8_t small[] = {1, 2, 3, 4, 5};
    EXPECT_TRUE(s->SetAttachment(1, small, 5, 7));
    uint8_t buffer[3] = {};
    EXPECT_EQ(s->GetAttachment(1, buffer, 3, 7), 5);
    EXPECT_EQ(buffer[2], 3);
    EXPECT_EQ(s->GetAttachment(1, nullptr, 0, 7), 5);

    EXPECT_FALSE(s->DeleteAttachment(0, 7));
    EXPECT_TRUE(s->DeleteAttachment(1, 7));
    EXPECT_EQ(s->GetAttachmentSize(1, 7), 0);
    EXPECT_FALSE(s->DeleteAttachment(1, 7));
}

TEST(MeasSeries1, NewAndModifiedStates)
{
    CMeasSeries1 s(5);
    EXPECT_FALSE(s.IsNew());
    EXPECT_TRUE(s.IsModified()); // default settings
    EXPECT_FALSE(s.SetDateTime(0x439FBF7D, false));
    EXPECT_TRUE(s.SetDateTime(0x439FBF7D, true));
    s.Clear();
    EXPECT_TRUE(s.IsNew());
    EXPECT_FALSE(s.IsModified());
    SPackedSerial serial;
    serial.bytes[0] = 144;
    EXPECT_TRUE(s.SetDeviceSerial(&serial));
    EXPECT_EQ(s.GetDeviceSerial(), serial);
    EXPECT_TRUE(s.IsModified());
    s.CommitNew();
    EXPECT_FALSE(s.IsNew());
    EXPECT_FALSE(s.SetDeviceSerial(nullptr));
    // The imperial flag and attachments do not count as changes.
    s.Clear();
    s.SetImperial(true);
    EXPECT_FALSE(s.IsModified());
}

TEST(MeasSeries1, CopiesGetTheirOwnPrivateRecord)
{
    AddStandardRecords();
    auto custom =
        LinearRecord(kProbeD, kHV, 0, 0, 1, 300.0f, 900.0f, -300.0f, 2.0f, QStringLiteral("Alloy7"));
    auto s = std::make_unique<CMeasSeries1>(10);
    s->Clear();
    s->SetProbeId(SProbeId(kProbeD, nullptr, -1));
    int slot;
    {
        CConvTable::Guard lock(CConvTable::Instance());
        slot = s->GetConvEnumerator().SetPrivateRecord(custom.data(), custom.size());
    }
    ASSERT_GE(slot, 0);
    ASSERT_LT(slot, CONV_FIRST_SHARED_SLOT);
    SMaterial alloy;
    ASSERT_TRUE(alloy.SetCustom(QStringLiteral("Alloy7"), 0));
    ASSERT_TRUE(s->SetConversion(STargetScale(kHV, 1, 0), alloy));
    ASSERT_EQ(s->GetRecordIndex(), slot);
    s->AddReading(500.0f, 500.0f, 0, -1);
    EXPECT_EQ(s->GetMean(), 700.0f);

    auto copy = std::make_unique<CMeasSeries1>(*s);
    EXPECT_GE(copy->GetRecordIndex(), 0);
    EXPECT_NE(copy->GetRecordIndex(), slot);
    EXPECT_EQ(copy->GetMean(), 700.0f);
    // Destroying the source releases only its own slot; the copy still converts.
    s.reset();
    copy->SetResolution(1, 1);
    EXPECT_EQ(copy->GetMean(), 700.0f);
}

// Incremental updates after queries must leave what a full recalculation gives.
TEST(MeasSeries1, IncrementalUpdatesMatchFullRecalculation)
{
    std::mt19937 rng(12345);
    std::uniform_real_distribution<float> value(280.0f, 920.0f);
    std::uniform_int_distribution<int> action(0, 9);
    for (int round = 0; round < 20; ++round)
    {
        auto s = NewSeries(kProbeD, kHRC, 1, 60);
        ASSERT_TRUE(s->SetResolution(2, 1));
        for (int step = 0; step < 150; ++step)
        {
            const int n = s->GetCount(7);
            std::uniform_int_distribution<int> any(0, std::max(n - 1, 0));
            const int a = action(rng);
            const float v = std::round(value(rng) * 4.0f) / 4.0f;
            if (a < 5 || n == 0)
                s->AddReading(v, v, 0, -1);
            else if (a == 5)
                s->ExcludeReading(any(rng), 7);
            else if (a == 6)
                s->IncludeReading(any(rng), 7);
            else if (a == 7)
                s->DeleteReading(any(rng), 7);
            else if (a == 8)
                s->SetReading(any(rng), v, v, 0, -1, 7);
            else
                s->RemoveLastReading();
            // Queries keep the derived values valid, so the next change works in place.
            s->GetMean();
        }
        const std::vector<float> filtered = ValuesOf(*s, 1);
        const int counts[3] = {s->GetCount(1), s->GetCount(2), s->GetCount(4)};
        const float mean = s->GetMean();
        const float stdDev = s->GetStdDev();
        const float median = s->GetMedian();
        const float minimum = s->GetMin();
        const float maximum = s->GetMax();

        // Another resolution and back forces a full recalculation.
        ASSERT_TRUE(s->SetResolution(1, 1));
        ASSERT_TRUE(s->SetResolution(2, 1));
        EXPECT_EQ(ValuesOf(*s, 1), filtered);
        EXPECT_EQ(s->GetCount(1), counts[0]);
        EXPECT_EQ(s->GetCount(2), counts[1]);
        EXPECT_EQ(s->GetCount(4), counts[2]);
        EXPECT_EQ(s->GetMedian(), median);
        EXPECT_EQ(s->GetMin(), minimum);
        EXPECT_EQ(s->GetMax(), maximum);
        if (mean == MEAS_NO_VALUE)
            EXPECT_EQ(s->GetMean(), MEAS_NO_VALUE);
        else
            EXPECT_NEAR(s->GetMean(), mean, 1e-4f * std::fabs(mean) + 1e-4f);
        if (stdDev == MEAS_NO_VALUE)
            EXPECT_EQ(s->GetStdDev(), MEAS_NO_VALUE);
        else
            EXPECT_NEAR(s->GetStdDev(), stdDev, 1e-3f * stdDev + 1e-3f);
    }
}
