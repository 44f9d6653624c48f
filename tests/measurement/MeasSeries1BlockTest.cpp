#include "OwnRecordSeries.h"
#include "SeriesFixture.h"

#include "measurement/CnvFile.h"
#include "measurement/MeasSeries1.h"
#include "measurement/PackedReading.h"
#include "streamio/FileStream.h"
#include "streamio/RamStream.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace SeriesFixture;
using StreamIO::CRamStream;

namespace
{
constexpr uint32_t kReadWrite =
    StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS;

std::vector<uint8_t> WriteBlock(CMeasSeries1& series)
{
    CRamStream stream;
    EXPECT_TRUE(stream.Open(QStringLiteral("RAM:block.vsm"), kReadWrite));
    const uint32_t written = series.Write(stream);
    std::vector<uint8_t> bytes(stream.GetLength());
    stream.SetPosition(0);
    stream.Read(bytes.data(), uint32_t(bytes.size()));
    EXPECT_EQ(written, bytes.size());
    return bytes;
}

std::unique_ptr<CMeasSeries1> ReadBlock(const std::vector<uint8_t>& bytes, bool asNew = false)
{
    CRamStream stream;
    EXPECT_TRUE(stream.Open(QStringLiteral("RAM:block.vsm"), kReadWrite));
    if (!bytes.empty())
        stream.Write(bytes.data(), uint32_t(bytes.size()));
    stream.SetPosition(0);
    return CreateMeasSeries(stream, asNew);
}

uint32_t Word(float value)
{
    SPackedReading reading;
    EncodeReading(reading, value, 0, -1);
    return reading.word;
}

void Put32(std::vector<uint8_t>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

// A minimal block as another program would write it: probe D measured in its own scale,
// material independent, no second set, the given readings, comment and attachments.
std::vector<uint8_t> HandBlock(const std::vector<float>& readings, const std::vector<uint16_t>& comment = {},
                               const std::vector<std::vector<uint8_t>>& attachments = {})
{
    std::vector<uint8_t> b = {'M', '1', 0x02, 0, 0, 0};
    const size_t n = readings.size();
    b.push_back(uint8_t(n));
    b.push_back(uint8_t(n >> 8));
    b.push_back(uint8_t(comment.size()));
    b.push_back(uint8_t(comment.size() >> 8));
    b.push_back(uint8_t(attachments.size()));
    b.push_back(0);
    Put32(b, 0xFFFFFFFF);                                    // date
    b.insert(b.end(), {0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}); // probe D, no serial
    b.insert(b.end(), {0x0F, 0x01, 0x01, 0x0F});             // material 15, target D, any standard
    for (int i = 0; i < 4; ++i)
        Put32(b, 0xFFFFFFFF);
    b.insert(b.end(), {8, 0, 0x94, 0x11}); // resolution, statistics mode, 95 %
    for (float v : readings)
        Put32(b, Word(v));
    for (uint16_t u : comment)
    {
        b.push_back(uint8_t(u));
        b.push_back(uint8_t(u >> 8));
    }
    for (size_t i = 0; i < attachments.size(); ++i)
    {
        const auto& a = attachments[i];
        b.insert(b.end(), {uint8_t(i), 0, uint8_t(a.size()), uint8_t(a.size() >> 8)});
        b.insert(b.end(), a.begin(), a.end());
    }
    b.insert(b.end(), {0, 0});
    const size_t length = b.size() - 8;
    b[3] = uint8_t(length);
    b[4] = uint8_t(length >> 8);
    b[5] = uint8_t(length >> 16);
    return b;
}
} // namespace

TEST(MeasSeries1Block, SmallestBlockLayout)
{
    auto s = NewSeries(kProbeD, kProbeD);
    s->AddReading(500.0f, 500.0f, 0, -1);
    const std::vector<uint8_t> block = WriteBlock(*s);
    ASSERT_EQ(block.size(), 70u);
    const std::vector<uint8_t> head(block.begin(), block.begin() + 16);
    EXPECT_EQ(head,
              (std::vector<uint8_t>{'M', '1', 0x82, 62, 0, 0, 1, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(block[16], 0x01); // probe D
    EXPECT_EQ(block[17], 0x01);
    EXPECT_EQ(block[26], 0x0F); // material independent
    EXPECT_EQ(block[29], 0x0F); // any standard, flag clear
    EXPECT_EQ(block[46], 8);    // whole units
    EXPECT_EQ(block[48], 0x94); // 4500
    EXPECT_EQ(block[49], 0x11);
    const uint32_t reading = block[50] | block[51] << 8 | block[52] << 16 | uint32_t(block[53]) << 24;
    EXPECT_EQ(reading, 0x9FA00F80u);
    const std::vector<uint8_t> section(block.begin() + 54, block.begin() + 61);
    EXPECT_EQ(section, (std::vector<uint8_t>{14, 0, 0, 0, 2, 1, 0}));
    EXPECT_EQ(block[68], 0);
    EXPECT_EQ(block[69], 0);

    // With a device serial the block grows by 8 bytes; after a change of the target scale
    // on a stored series it also carries the original settings.
    s->Clear();
    s->AddReading(500.0f, 500.0f, 0, -1);
    SPackedSerial serial;
    serial.bytes = {144, 7, 0, 0, 12, 0, 1, 0x70};
    ASSERT_TRUE(s->SetDeviceSerial(&serial));
    s->CommitNew();
    std::vector<uint8_t> withSerial = WriteBlock(*s);
    EXPECT_EQ(withSerial.size(), 78u);
    EXPECT_EQ(withSerial[2], 0xC2);
    ASSERT_TRUE(s->SetConversion(STargetScale(kHRC, 1, 0), Steel()));
    std::vector<uint8_t> withOriginal = WriteBlock(*s);
    EXPECT_EQ(withOriginal.size(), 102u);
    EXPECT_EQ(withOriginal[2], 0xE2);
}

TEST(MeasSeries1Block, RoundTripKeepsEverything)
{
    AddStandardRecords();
    CMeasSeries1 s(20);
    s.Clear();
    SPackedSerial probeSerial;
    probeSerial.bytes = {144, 3, 0, 0, 9, 0, 1, 0x70};
    ASSERT_TRUE(s.SetProbeId(SProbeId(kProbeVk, &probeSerial, 1)));
    ASSERT_TRUE(s.SetConversion(STargetScale(kHV, 2, 0), Steel()));
    ASSERT_TRUE(s.SetLimits(300.0f, 700.0f, -1));
    ASSERT_TRUE(s.SetResolution(1, 5));
    s.SetConfidenceLevel(99.0f);
    ASSERT_TRUE(s.SetDateTime(0x439FBF7D, false));
    s.AddReading(40.0f, 41.5f, 31, -2);
    s.AddReading(60.0f, 62.5f, 12, -2);
    s.AddReading(55.25f, 56.0f, 20, -2);
    s.ExcludeReading(1, 7);
    s.SetComment(QString(128, QChar(u'c')));
    const uint8_t curve[] = {0xC5, 0xB0, 1, 2, 3};
    ASSERT_TRUE(s.SetAttachment(2, curve, 5, 7));
    s.SetImperial(true);
    s.CommitNew();
    ASSERT_TRUE(s.SetConversion(STargetScale(kProbeVk, 15, 0), Steel())); // original section

    const std::vector<uint8_t> block = WriteBlock(s);
    ASSERT_FALSE(block.empty());
    auto r = ReadBlock(block);
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->IsNew());
    EXPECT_FALSE(r->IsModified());
    EXPECT_EQ(r->GetCapacity(), 3);
    EXPECT_EQ(r->GetCount(7), 3);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(r->GetValue(i), s.GetValue(i));
        int a1, f1, a2, f2;
        EXPECT_EQ(r->GetReading(i, &a1, &f1, 7), s.GetReading(i, &a2, &f2, 7));
        EXPECT_EQ(a1, a2);
    }
    EXPECT_TRUE(r->IsReadingExcluded(1, 7));
    EXPECT_TRUE(r->GetProbeId().IsEqual(s.GetProbeId()));
    EXPECT_EQ(r->GetTargetScale().scale, kProbeVk);
    EXPECT_EQ(r->GetDateTime(), 0x439FBF7Du);
    EXPECT_EQ(r->GetComment().size(), 128);
    EXPECT_EQ(r->GetAttachmentSize(2, 7), 5);
    EXPECT_TRUE(r->IsImperial());
    EXPECT_EQ(r->GetResolutionByte(), s.GetResolutionByte());
    EXPECT_FLOAT_EQ(r->GetConfidenceLevel(), 99.0f);
    SSeriesSettings original;
    ASSERT_TRUE(r->GetOriginalSettings(original));
    EXPECT_EQ(original.targetScale.scale, kHV);
    EXPECT_NEAR(original.lowerLimit, 300.0f, 0.1f);
    EXPECT_NEAR(original.upperLimit, 700.0f, 0.1f);
    EXPECT_FALSE(r->IsUnchanged(false));
    EXPECT_EQ(WriteBlock(*r), block);

    // The second reading set follows the B724 bit of the probe.
    ASSERT_TRUE(r->SetProbeId(SProbeId(kProbeVkB724, &probeSerial, 1)));
    EXPECT_EQ(r->GetNativeValue(0, 7), s.GetNativeValue(0, 7) + 1.5f);

    // The restored series converts to HV again with the limits it was measured with.
    ASSERT_TRUE(r->SetProbeId(SProbeId(kProbeVk, &probeSerial, 1)));
    ASSERT_TRUE(r->RestoreOriginal());
    EXPECT_EQ(r->GetTargetScale().scale, kHV);
    EXPECT_TRUE(r->AreAllIncluded());
}

TEST(MeasSeries1Block, LongerSecondSetOfANewerWriterIsSkippedByItsLength)
{
    auto s = NewSeries(kProbeD, kProbeD);
    s->AddReading(500.0f, 500.0f, 0, -1);
    s->AddReading(510.0f, 510.0f, 0, -1);
    s->SetComment(QStringLiteral("after the section"));
    std::vector<uint8_t> block = WriteBlock(*s);

    // The section follows the 50 bytes of the head and the readings: its size, version 2, count.
    const size_t section = 50 + 4 * 2;
    ASSERT_EQ(block[section], 4 * 2 + 10);
    ASSERT_EQ(block[section + 4], 2);
    const uint8_t extra = 6;
    block[section] = uint8_t(block[section] + extra);
    block[section + 4] = 3;
    block.insert(block.begin() + section + 4 * 2 + 10, extra, 0xEE);
    block[3] = uint8_t(block[3] + extra);

    auto r = ReadBlock(block);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->GetComment(), QStringLiteral("after the section"));
    EXPECT_EQ(r->GetCount(7), 2);
    EXPECT_EQ(r->GetValue(1), 510.0f);
}

TEST(MeasSeries1Block, MalformedBlocksAreRefused)
{
    const std::vector<uint8_t> good = HandBlock({500.0f, 510.0f});
    ASSERT_TRUE(ReadBlock(good));

    auto patched = [&](size_t offset, uint8_t value)
    {
        std::vector<uint8_t> b = good;
        b[offset] = value;
        return b;
    };
    std::vector<uint8_t> tooMany = HandBlock({500.0f});
    tooMany[6] = 0x01;
    tooMany[7] = 0x40; // 16385 readings
    EXPECT_FALSE(ReadBlock(patched(1, '2')));
    EXPECT_FALSE(ReadBlock(patched(0, 'N')));
    EXPECT_FALSE(ReadBlock(patched(6, 0))); // no readings
    EXPECT_FALSE(ReadBlock(tooMany));
    EXPECT_FALSE(ReadBlock(patched(good.size() - 1, 1))); // trailer not zero
    EXPECT_FALSE(ReadBlock(patched(3, 40)));              // length below the contents
    EXPECT_FALSE(ReadBlock(patched(10, 3)));              // more attachments than readings
    EXPECT_FALSE(ReadBlock(patched(28, 0x40)));           // target scale 0x4001 unknown
    for (size_t cut = 0; cut < good.size(); ++cut)
    {
        EXPECT_FALSE(ReadBlock(std::vector<uint8_t>(good.begin(), good.begin() + cut))) << cut;
        // Parsed where they lie, the bytes give the same answer; none beyond them is read.
        const std::vector<uint8_t> part(good.begin(), good.begin() + cut);
        EXPECT_FALSE(CreateMeasSeries(part.data(), part.size(), false)) << cut;
    }
    auto inPlace = CreateMeasSeries(good.data(), good.size(), false);
    ASSERT_TRUE(inPlace);
    EXPECT_EQ(WriteBlock(*inPlace), WriteBlock(*ReadBlock(good)));
}

TEST(MeasSeries1Block, TwentyNewtonSeriesLoadAndWriteBack)
{
    // The 20 N probes have no probe-table row; their series are stored in their own depth
    // scale and must still load, show their readings and write back unchanged.
    for (const uint16_t code : {uint16_t(0x211), uint16_t(0x231)})
    {
        std::vector<uint8_t> block = HandBlock({40.0f, 42.0f});
        block[16] = uint8_t(code); // probe
        block[17] = uint8_t(code >> 8);
        block[27] = uint8_t(code); // target scale
        block[28] = uint8_t(code >> 8);
        auto r = ReadBlock(block);
        ASSERT_TRUE(r) << code;
        EXPECT_EQ(r->GetProbeId().code, code);
        EXPECT_EQ(r->GetTargetScale().scale, code);
        EXPECT_EQ(r->GetCount(7), 2);
        EXPECT_EQ(r->GetNativeValue(1, 7), 42.0f);
        EXPECT_EQ(r->GetMean(), 41.0f);
        // Written in this program's form (with the second reading set), the probe and the
        // scale stay, and reading that back writes the same bytes again.
        const std::vector<uint8_t> written = WriteBlock(*r);
        ASSERT_GT(written.size(), 29u);
        EXPECT_EQ(written[16] | written[17] << 8, code);
        EXPECT_EQ(written[27] | written[28] << 8, code);
        auto again = ReadBlock(written);
        ASSERT_TRUE(again) << code;
        EXPECT_EQ(WriteBlock(*again), written) << code;
    }
    // Scales that are neither target scales nor depth scales are still refused.
    STargetScale t;
    EXPECT_TRUE(t.Set(0x211, 0x12, 1));
    EXPECT_EQ(t.scale, 0x211);
    EXPECT_EQ(t.standard, 2);
    EXPECT_FALSE(t.Set(0x212, 2, 0));
    EXPECT_EQ(t.scale, -1);
}

TEST(MeasSeries1Block, LongCommentsAndAttachments)
{
    std::vector<uint16_t> comment(200, u'x');
    comment.back() = 0;
    std::vector<uint8_t> big(5000, 0xAB);
    std::vector<uint8_t> small = {1, 2, 3};
    auto s = ReadBlock(HandBlock({500.0f, 510.0f}, comment, {big, small}));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->GetCommentLength(), 128);
    EXPECT_EQ(s->GetAttachmentSize(0, 7), 0); // longer than a series keeps: skipped
    EXPECT_EQ(s->GetAttachmentSize(1, 7), 3);
    // An attachment past the block's own length is refused.
    std::vector<uint8_t> b = HandBlock({500.0f, 510.0f}, {}, {small});
    b[3] = uint8_t(b[3] - 3);
    EXPECT_FALSE(ReadBlock(b));
}

TEST(MeasSeries1Block, AttachmentOfTheLargestKeptSizeSurvivesWriteAndRead)
{
    std::vector<uint8_t> curve(MEAS_MAX_ATTACHMENT);
    for (size_t i = 0; i < curve.size(); ++i)
        curve[i] = uint8_t(i * 31 + (i >> 8));
    auto s = NewSeries(kProbeD, kProbeD);
    s->AddReading(500.0f, 500.0f, 0, -1);
    s->AddReading(510.0f, 510.0f, 0, -1);
    std::vector<uint8_t> tooLong(MEAS_MAX_ATTACHMENT + 1, 0x5A);
    EXPECT_FALSE(s->SetAttachment(0, tooLong.data(), int(tooLong.size()), 7));
    ASSERT_TRUE(s->SetAttachment(1, curve.data(), int(curve.size()), 7));

    auto r = ReadBlock(WriteBlock(*s));
    ASSERT_TRUE(r);
    std::vector<uint8_t> back(curve.size() + 1);
    EXPECT_EQ(r->GetAttachment(1, back.data(), int(back.size()), 7), MEAS_MAX_ATTACHMENT);
    back.pop_back();
    EXPECT_EQ(back, curve);

    // The same sizes written by another program: the largest kept one stays, one more is skipped.
    auto other = ReadBlock(HandBlock({500.0f, 510.0f}, {}, {tooLong, curve}));
    ASSERT_TRUE(other);
    EXPECT_EQ(other->GetAttachmentSize(0, 7), 0);
    EXPECT_EQ(other->GetAttachmentSize(1, 7), MEAS_MAX_ATTACHMENT);
}

TEST(MeasSeries1Block, StoredSeriesGrowsWhenMeasuringGoesOn)
{
    std::vector<float> readings;
    for (int i = 0; i < 50; ++i)
        readings.push_back(500.0f + float(i));
    auto s = ReadBlock(HandBlock(readings));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->GetCapacity(), 50);
    EXPECT_EQ(s->AddReading(600.0f, 600.0f, 0, -1), 50);
    EXPECT_EQ(s->GetValue(0), 500.0f);
    auto fresh = ReadBlock(HandBlock(readings), true);
    ASSERT_TRUE(fresh);
    EXPECT_TRUE(fresh->IsNew());
    EXPECT_EQ(fresh->GetCapacity(), MEAS_DEFAULT_CAPACITY);
}

TEST(MeasSeries1Block, StatisticsModeWidensTheStandardDeviation)
{
    std::vector<uint8_t> b = HandBlock({100.0f, 101.0f});
    b[47] = 1;
    auto s = ReadBlock(b);
    ASSERT_TRUE(s);
    EXPECT_NEAR(s->GetStdDev(), 0.70711f, 1e-5f);
    EXPECT_NEAR(s->GetEffectiveStdDev(), 0.7638f, 1e-4f);
}

TEST(MeasSeries1Block, StandardMaterialWithTheFlagInItsOwnScaleIsStored)
{
    auto s = NewSeries(kProbeD, kProbeD);
    SMaterial independent;
    independent.Set(15, 0);
    ASSERT_TRUE(s->SetConversion(STargetScale(kProbeD, 15, 1), independent));
    s->AddReading(500.0f, 500.0f, 0, -1);
    const std::vector<uint8_t> block = WriteBlock(*s);
    ASSERT_FALSE(block.empty());
    auto r = ReadBlock(block);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->GetMean(), 500.0f);
    EXPECT_EQ(r->GetMaterial().type, 15);
    EXPECT_EQ(WriteBlock(*r), block);
}

TEST(MeasSeries1Block, BlockWithoutItsConversionStillLoadsAndWritesBack)
{
    auto s = NewSeries(kProbeD, kHRC);
    ASSERT_TRUE(s->SetLimits(30.0f, 50.0f, -1));
    s->AddReading(600.0f, 600.0f, 0, -1);
    std::vector<uint8_t> block = WriteBlock(*s);
    ASSERT_EQ(block[27], kHRC);
    block[27] = 3; // HRB: no record on this computer
    auto r = ReadBlock(block);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->GetTargetScale().scale, kProbeD);
    EXPECT_EQ(r->GetMean(), 600.0f);
    EXPECT_EQ(r->GetLowerLimitNative(), s->GetLowerLimitNative());
    EXPECT_EQ(WriteBlock(*r), block);
    // Once the user picks a conversion, the series is written as it now stands.
    ASSERT_TRUE(r->SetConversion(STargetScale(kHRC, 1, 0), Steel()));
    const std::vector<uint8_t> again = WriteBlock(*r);
    EXPECT_EQ(again[27], kHRC);
}

TEST(MeasSeries1Block, CustomConversionTravelsAsASingleRecordFile)
{
    AddStandardRecords();
    const auto record =
        LinearRecord(kProbeD, kHV, 0, 0, 1, 300.0f, 900.0f, -220.0f, 2.0f, QStringLiteral("<Alloy3>"));
    auto s = SeriesWithOwnRecord(record, QStringLiteral("<Alloy3>"));
    QString name;
    ASSERT_TRUE(s->GetCustomConversionFileName(false, name));
    EXPECT_EQ(name, QStringLiteral("Alloy3_D_HV.cnv"));

    CRamStream file;
    ASSERT_TRUE(file.Open(QStringLiteral("RAM:custom.cnv"), kReadWrite));
    EXPECT_TRUE(s->WriteCustomConversion(false, file));
    std::vector<uint8_t> bytes(file.GetLength());
    file.SetPosition(0);
    file.Read(bytes.data(), uint32_t(bytes.size()));
    ASSERT_EQ(bytes.size(), record.size() + CNV_BLOCK_OVERHEAD);
    ASSERT_EQ(ParseCnvRecordBlock(bytes.data(), bytes.size()), record.size());
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + record.size()), record);

    // A stored block carries the record; the copy read back writes the same file for its
    // original settings.
    auto r = ReadBlock(WriteBlock(*s));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->GetMean(), 780.0f);
    ASSERT_TRUE(r->GetCustomConversionFileName(true, name));
    EXPECT_EQ(name, QStringLiteral("Alloy3_D_HV.cnv"));
    CRamStream again;
    ASSERT_TRUE(again.Open(QStringLiteral("RAM:again.cnv"), kReadWrite));
    EXPECT_TRUE(r->WriteCustomConversion(true, again));
    EXPECT_EQ(again.GetLength(), bytes.size());

    // A write that fails is reported, for the current and the original conversion.
    StreamIO::CFileStream full(QStringLiteral("/dev/full"), StreamIO::STREAM_WRITE);
    EXPECT_FALSE(s->WriteCustomConversion(false, full));
    EXPECT_FALSE(r->WriteCustomConversion(true, full));
    // A series without a customer conversion writes nothing and says so.
    CRamStream none;
    ASSERT_TRUE(none.Open(QStringLiteral("RAM:none.cnv"), kReadWrite));
    EXPECT_FALSE(NewSeries(kProbeD, kHRC)->WriteCustomConversion(false, none));
}

// A series read from a block sets its limits from the stored words only when they are
// first needed. Whatever comes first (showing the settings, a copy, letting go of its own
// conversion record, measuring on, writing), the limits and the bytes written are those of
// the series as stored.
TEST(MeasSeries1Block, LimitsOfAReadSeriesAreTheStoredOnesWhateverComesFirst)
{
    AddStandardRecords();
    const auto record =
        LinearRecord(kProbeD, kHV, 0, 0, 1, 300.0f, 900.0f, -220.0f, 2.0f, QStringLiteral("<Alloy4>"));
    auto s = SeriesWithOwnRecord(record, QStringLiteral("<Alloy4>"));
    s->AddReading(520.0f, 520.0f, 0, -1);
    ASSERT_TRUE(s->SetLimits(700.0f, 900.0f, -1));
    float secondLower = 650.0f;
    float secondUpper = 950.0f;
    s->SetSecondLimits(secondLower, secondUpper, -1);
    s->CommitNew();
    const std::vector<uint8_t> block = WriteBlock(*s);
    SSeriesSettings expected;
    ASSERT_TRUE(s->GetSettings(expected));
    ASSERT_NE(expected.lowerLimit, MEAS_NO_VALUE);
    const int meanCheck = s->CheckMeanLimits();

    struct Case
    {
        const char* name;
        std::function<CMeasSeries1&(CMeasSeries1& read, std::unique_ptr<CMeasSeries1>& keep)> first;
    };
    const Case cases[] = {
        {"settings asked", [](CMeasSeries1& r, auto&) -> CMeasSeries1& { return r; }},
        {"copied", [](CMeasSeries1& r, auto& keep) -> CMeasSeries1&
         {
             keep = std::make_unique<CMeasSeries1>(r);
             return *keep;
         }},
        {"copy of a copy, source gone", [](CMeasSeries1& r, auto& keep) -> CMeasSeries1&
         {
             auto middle = std::make_unique<CMeasSeries1>(r);
             keep = std::make_unique<CMeasSeries1>(*middle);
             return *keep;
         }},
        {"statistics", [meanCheck](CMeasSeries1& r, auto&) -> CMeasSeries1&
         {
             EXPECT_EQ(r.CheckMeanLimits(), meanCheck);
             return r;
         }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto r = ReadBlock(block);
        ASSERT_TRUE(r);
        std::unique_ptr<CMeasSeries1> keep;
        CMeasSeries1& shown = c.first(*r, keep);
        SSeriesSettings settings;
        ASSERT_TRUE(shown.GetSettings(settings));
        EXPECT_EQ(settings.lowerLimit, expected.lowerLimit);
        EXPECT_EQ(settings.upperLimit, expected.upperLimit);
        EXPECT_EQ(settings.secondLowerLimit, expected.secondLowerLimit);
        EXPECT_EQ(settings.secondUpperLimit, expected.secondUpperLimit);
        EXPECT_EQ(shown.GetLowerLimitNative(), s->GetLowerLimitNative());
        EXPECT_EQ(shown.GetUpperLimitNative(), s->GetUpperLimitNative());
        EXPECT_EQ(WriteBlock(shown), block);
    }

    // Letting go of the series' own record (a new series measured into it) after the limits
    // were never asked for keeps what the block stored for as long as the series lives.
    auto r = ReadBlock(block);
    ASSERT_TRUE(r);
    auto reference = ReadBlock(block);
    ASSERT_TRUE(reference);
    r->FreeReadings(true);
    EXPECT_EQ(r->GetLowerLimitNative(), reference->GetLowerLimitNative());
    EXPECT_EQ(r->GetUpperLimitNative(), reference->GetUpperLimitNative());
}

// A copy of a series read from a block writes that block again, whatever of the rarer
// parts it holds: settings kept for a conversion this computer lacks, a custom material
// with its own record, a comment and attachments, originals that differ from the current
// settings.
TEST(MeasSeries1Block, CopyOfAReadSeriesWritesTheSameBlock)
{
    AddStandardRecords();
    const std::vector<std::pair<const char*, std::function<std::vector<uint8_t>()>>> cases = {
        {"kept settings",
         []
         {
             auto s = NewSeries(kProbeD, kHRC);
             EXPECT_TRUE(s->SetLimits(30.0f, 50.0f, -1));
             s->AddReading(600.0f, 600.0f, 0, -1);
             std::vector<uint8_t> block = WriteBlock(*s);
             block[27] = 3; // HRB: no record on this computer
             return block;
         }},
        {"custom material and record",
         []
         {
             const auto record = LinearRecord(kProbeD, kHV, 0, 0, 1, 300.0f, 900.0f, -220.0f, 2.0f,
                                              QStringLiteral("<Alloy5>"));
             return WriteBlock(*SeriesWithOwnRecord(record, QStringLiteral("<Alloy5>")));
         }},
        {"comment and attachments",
         [] { return HandBlock({400.0f, 500.0f, 600.0f}, {u'a', u'b', 0}, {{1, 2, 3}, {}, {4}}); }},
        {"changed after measuring",
         []
         {
             auto s = NewSeries(kProbeD, kHRC);
             s->AddReading(600.0f, 600.0f, 0, -1);
             s->AddReading(620.0f, 620.0f, 0, -1);
             s->CommitNew();
             EXPECT_TRUE(s->SetResolution(2, 1));
             EXPECT_TRUE(s->SetLimits(35.0f, 45.0f, -1));
             s->SetConfidenceLevel(99.0f);
             s->SetComment(QStringLiteral("changed"));
             return WriteBlock(*s);
         }},
    };
    for (const auto& [name, build] : cases)
    {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> block = build();
        auto read = ReadBlock(block);
        ASSERT_TRUE(read);
        const std::vector<uint8_t> written = WriteBlock(*read);
        CMeasSeries1 copy(*read);
        EXPECT_EQ(WriteBlock(copy), written);
        EXPECT_EQ(copy.GetComment(), read->GetComment());
        EXPECT_TRUE(copy.GetMaterial().IsEqual(read->GetMaterial()));
        EXPECT_EQ(copy.GetMean(), read->GetMean());
        SSeriesSettings a;
        SSeriesSettings b;
        ASSERT_TRUE(read->GetOriginalSettings(a));
        ASSERT_TRUE(copy.GetOriginalSettings(b));
        EXPECT_TRUE(a.material.IsEqual(b.material));
        EXPECT_EQ(a.decimals, b.decimals);
        EXPECT_EQ(a.confidenceLevel, b.confidenceLevel);
    }
}
