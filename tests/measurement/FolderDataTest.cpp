#include "SeriesFixture.h"

#include "measurement/FolderData.h"
#include "measurement/FolderDocument.h"
#include "platform/core/FileException.h"
#include "streamio/RamStream.h"
#include "streamio/VMArchive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>

using namespace SeriesFixture;
using StreamIO::CRamStream;
using StreamIO::CVMArchive;

namespace
{
class RecordingDocument : public FolderDocument
{
public:
    uint8_t SetModified() override
    {
        ++modified;
        return 1;
    }
    void StoreSeriesConversions(CMeasSeries1* series) override { stored += series ? 1 : 0; }

    int modified = 0;
    int stored = 0;
};

struct SEntry
{
    const char* name;
    int probe;
    int target;
    std::vector<float> readings;
    uint32_t date;
    uint8_t expanded;
};

std::unique_ptr<CMeasSeriesWrapper> MakeEntry(const SEntry& e)
{
    auto series = NewSeries(e.probe, e.target, e.probe == kProbeVk ? 2 : 1);
    for (float v : e.readings)
        series->AddReading(v, v, e.probe == kProbeVk ? 31 : 0, e.probe == kProbeVk ? -2 : -1);
    series->SetDateTime(e.date, true);
    series->CommitNew();
    auto entry = std::make_unique<CMeasSeriesWrapper>();
    entry->SetName(QString::fromLatin1(e.name));
    entry->SetExpanded(e.expanded);
    entry->SetSeries(std::move(series));
    return entry;
}

// Five entries whose keys differ in every sort order.
void Fill(CFolderData& folder)
{
    const SEntry entries[] = {
        {"delta", kProbeD, kHV, {500.0f, 520.0f}, 0x50000000, 1},             // HV 640, 5 readings below
        {"alpha", kProbeD, kHRC, {400.0f, 480.0f, 560.0f}, 0x40000000, 0},    // HRC 30
        {"echo", kProbeVk, kHV, {50.0f, 52.0f, 51.0f, 53.0f}, 0x40000000, 1}, // HV 590
        {"bravo", kProbeD, kProbeD, {700.0f}, 0x30000000, 0},                 // HLD 700
        {"charlie", kProbeVk, kProbeVk, {40.0f, 60.0f}, 0x60000000, 0},       // um 50
    };
    for (const SEntry& e : entries)
        folder.AddSeries(MakeEntry(e), true);
}

std::vector<QString> Names(const CFolderData& folder)
{
    std::vector<QString> names;
    for (int i = 0; i < folder.GetSeriesCount(); ++i)
        names.push_back(folder.GetSeriesName(i));
    return names;
}

std::vector<QString> Q(std::initializer_list<const char*> names)
{
    std::vector<QString> out;
    for (const char* n : names)
        out.push_back(QString::fromLatin1(n));
    return out;
}

std::vector<uint8_t> Stored(CFolderData& folder, const std::vector<uint8_t>* selection = nullptr)
{
    CRamStream ram;
    EXPECT_TRUE(ram.Open(QStringLiteral("RAM:folder.bin"),
                         StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS));
    CVMArchive archive(ram.GetHandle(), StreamIO::ARCHIVE_NO_CLOSE, 1024);
    folder.Serialize(archive, selection);
    archive.Flush();
    std::vector<uint8_t> bytes(ram.GetLength());
    ram.SetPosition(0);
    ram.Read(bytes.data(), uint32_t(bytes.size()));
    return bytes;
}

void LoadInto(CFolderData& folder, const std::vector<uint8_t>& bytes)
{
    CRamStream ram;
    ASSERT_TRUE(ram.Open(QStringLiteral("RAM:folder.bin"),
                         StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS));
    ram.Write(bytes.data(), uint32_t(bytes.size()));
    CVMArchive archive(ram.GetHandle(), StreamIO::ARCHIVE_LOAD, 1024);
    folder.Serialize(archive);
    archive.Close();
}
} // namespace

TEST(FolderData, SortOrders)
{
    CFolderData folder;
    Fill(folder);
    struct
    {
        int order;
        std::vector<QString> names;
    } cases[] = {
        {3, Q({"bravo", "alpha", "echo", "delta", "charlie"})}, // equal dates by name
        {4, Q({"charlie", "delta", "echo", "alpha", "bravo"})}, // both keys descending
        {5, Q({"alpha", "bravo", "charlie", "delta", "echo"})},
        {6, Q({"echo", "delta", "charlie", "bravo", "alpha"})},
        // HV before HRC (codes 2, 4), then the HLD scale 0x101; the two depth series
        // (0x201 itself and HV of a depth probe) are not both depth scales.
        {7, Q({"echo", "delta", "alpha", "bravo", "charlie"})},
        {9, Q({"bravo", "delta", "charlie", "alpha", "echo"})},
        {13, Q({"delta", "alpha", "bravo", "echo", "charlie"})},
        {17, Q({"delta", "echo", "alpha", "bravo", "charlie"})},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.order);
        folder.Sort(c.order);
        if (c.order == 9 || c.order == 13 || c.order == 17)
        {
            // Ties keep no defined order: check the keys instead.
            std::vector<int> keys;
            for (int i = 0; i < folder.GetSeriesCount(); ++i)
            {
                CMeasSeries1* s = folder.GetSeriesAt(i)->GetSeries();
                keys.push_back(c.order == 9    ? s->GetCount(1)
                               : c.order == 13 ? s->GetProbeId().code
                                               : s->GetTargetScale().scale);
            }
            EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
            continue;
        }
        EXPECT_EQ(Names(folder), c.names);
        EXPECT_EQ(folder.GetSortOrder(), c.order);
        for (int i = 0; i < folder.GetSeriesCount(); ++i)
            EXPECT_EQ(folder.GetSeriesAt(i)->GetPosition(), i);
    }
    folder.Sort(2);
    EXPECT_EQ(folder.IsSeriesExpanded(0), 1);
    EXPECT_EQ(folder.IsSeriesExpanded(1), 1);
    EXPECT_EQ(folder.IsSeriesExpanded(2), 0);
    folder.Sort(12); // standard deviation, descending; one reading has none (the sentinel)
    EXPECT_EQ(folder.GetSeriesName(0), QStringLiteral("bravo"));
}

TEST(FolderData, MeanOrderKeepsDepthScalesTogether)
{
    CFolderData folder;
    folder.AddSeries(MakeEntry({"hv", kProbeD, kHV, {500.0f}, 0, 0}), true); // 600 HV
    // A B724 series of aluminium keeps its own depth scale 0x221.
    auto b724 = NewSeries(kProbeVkB724, kProbeVkB724);
    SMaterial aluminium;
    aluminium.Set(6, 0);
    ASSERT_TRUE(b724->SetConversion(STargetScale(kProbeVkB724, CONV_STD_ASTM_E140, 0), aluminium));
    b724->AddReading(20.0f, 20.0f, 31, -2);
    auto deep = std::make_unique<CMeasSeriesWrapper>();
    deep->SetName(QStringLiteral("b724"));
    deep->SetSeries(std::move(b724));
    folder.AddSeries(std::move(deep), true);
    ASSERT_EQ(folder.GetSeriesAt(1)->GetSeries()->GetTargetScale().scale, kProbeVkB724);
    folder.AddSeries(MakeEntry({"hld", kProbeD, kProbeD, {100.0f}, 0, 0}), true);
    folder.AddSeries(MakeEntry({"normal", kProbeVk, kProbeVk, {30.0f}, 0, 0}), true); // depth 30
    folder.Sort(7);
    EXPECT_EQ(Names(folder), Q({"hv", "hld", "b724", "normal"}));
    folder.Sort(8);
    EXPECT_EQ(Names(folder), Q({"normal", "b724", "hld", "hv"}));
}

TEST(FolderData, AccessorsAndDocument)
{
    RecordingDocument document;
    CFolderData folder;
    folder.SetDocument(&document);
    Fill(folder);
    EXPECT_EQ(document.modified, 0); // adding does not mark the document
    EXPECT_EQ(folder.GetSeriesCount(), 5);
    EXPECT_EQ(folder.GetValueListOrder(5), 0);
    EXPECT_THROW(folder.GetValueListOrder(-1), std::invalid_argument);
    EXPECT_THROW(folder.GetSeriesAt(5), std::invalid_argument);
    EXPECT_THROW(folder.IsSeriesSelected(7), std::invalid_argument);
    EXPECT_EQ(folder.GetSeriesName(5), QString());
    EXPECT_EQ(folder.GetSeriesComment(9), QString());

    folder.SetSeriesName(9, QStringLiteral("nobody")); // marks the document all the same
    EXPECT_EQ(document.modified, 1);
    folder.SetSeriesComment(1, QStringLiteral("soft spot"));
    EXPECT_EQ(folder.GetSeriesComment(1), QStringLiteral("soft spot"));
    folder.SetSeriesSelected(1, 0);
    folder.SetSeriesUpdateFlag(1, 1);
    EXPECT_EQ(document.modified, 2);
    EXPECT_EQ(folder.GetSeriesValidCount(1), 3);
    EXPECT_EQ(folder.GetSeriesReadingCount(0), 2);
    EXPECT_EQ(folder.GetSeriesDecimals(1, 0), 1); // HRC
    EXPECT_EQ(folder.GetSeriesDecimals(1, 1), 2);
    EXPECT_EQ(folder.GetSeriesDecimals(0, 2), 3);
    EXPECT_EQ(folder.GetSeriesDecimals(0, 7), 0);

    const QDateTime when(QDate(2013, 12, 31), QTime(23, 59, 58));
    folder.SetSeriesTime(0, when);
    EXPECT_EQ(folder.GetSeriesTime(0), when);
    EXPECT_EQ(document.modified, 2);

    folder.Sort(0);
    EXPECT_EQ(folder.GetSortOrder(), 0);
    EXPECT_EQ(folder.GetSeriesAt(4)->GetPosition(), 4);
    EXPECT_EQ(document.modified, 3);
    folder.DeleteSeries(0);
    EXPECT_EQ(folder.GetSeriesCount(), 4);
    EXPECT_EQ(document.modified, 4);

    folder.AddSeries(MakeEntry({"solo", kProbeD, kProbeD, {500.0f}, 0, 0}), false);
    EXPECT_EQ(Names(folder), Q({"solo"}));
    EXPECT_EQ(folder.IsSeriesSelected(0), 0);
}

TEST(FolderData, IndentationSeriesGetTheStandardOfTheirMode)
{
    CFolderData folder;
    auto normal = NewSeries(kProbeVk, kProbeVk, 15);
    normal->AddReading(50.0f, 50.0f, 31, -2);
    normal->CommitNew();
    auto entry = std::make_unique<CMeasSeriesWrapper>();
    entry->SetSeries(std::move(normal));
    folder.AddSeries(std::move(entry), true);
    CMeasSeries1* s = folder.GetSeriesAt(0)->GetSeries();
    EXPECT_EQ(s->GetTargetScale().standard, CONV_STD_ISO_18265);
    EXPECT_TRUE(s->IsUnchanged(false)); // the originals followed
    EXPECT_FALSE(s->IsNew());

    // B724 mode with steel: the bit goes, and the standard becomes ASTM E140.
    auto b724 = NewSeries(kProbeVkB724, kProbeVkB724, 15);
    b724->AddReading(50.0f, 50.0f, 31, -2);
    b724->SetConversion(STargetScale(kProbeVkB724, 15, 0), Steel());
    auto second = std::make_unique<CMeasSeriesWrapper>();
    second->SetSeries(std::move(b724));
    folder.AddSeries(std::move(second), true);
    s = folder.GetSeriesAt(1)->GetSeries();
    EXPECT_EQ(s->GetProbeId().code, kProbeVk);
    EXPECT_EQ(s->GetTargetScale().scale, kProbeVk);
    EXPECT_EQ(s->GetTargetScale().standard, CONV_STD_ASTM_E140);
    EXPECT_TRUE(s->IsNew()); // a series open for measuring stays so
}

// An indentation-tester series whose conversion this computer lacks shows in the probe's
// own scale and keeps the settings its block stored. Fitting its standard to the probe's
// mode would rewrite those settings through that scale, and the next save would lose them:
// it joins a folder as it reads alone, writing the same block with the same figures.
TEST(FolderData, IndentationSeriesWithoutTheirConversionJoinUnchanged)
{
    struct Case
    {
        const char* name;
        int probe;
        int standard;
        bool changedAfterMeasuring; // the block then holds an original section
    };
    const Case cases[] = {
        {"normal mode", kProbeVk, CONV_STD_ISO_18265, false},
        {"normal mode, stored with the standard of the other mode", kProbeVk, CONV_STD_ASTM_E140, false},
        {"B724 mode", kProbeVkB724, CONV_STD_ASTM_E140, false},
        {"limits changed after measuring", kProbeVk, CONV_STD_ISO_18265, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        // Brinell from the depth, on this computer only while the block is written.
        const int slot = AddShared(LinearRecord(c.probe, kHB, 1, 0, CONV_STD_ISO_18265 | CONV_STD_ASTM_E140,
                                                10.0f, 100.0f, 900.0f, -7.0f));
        ASSERT_GE(slot, 0);
        auto measured = NewSeries(c.probe, c.probe);
        ASSERT_TRUE(measured->SetConversion(STargetScale(kHB, c.standard, 0), Steel()));
        ASSERT_TRUE(measured->SetLimits(300.0f, 700.0f, -1));
        for (float v : {30.0f, 42.5f, 55.0f, 61.0f})
            measured->AddReading(v, v + 2.0f, 31, -2);
        measured->CommitNew();
        if (c.changedAfterMeasuring)
            ASSERT_TRUE(measured->SetLimits(350.0f, 650.0f, -1));
        std::vector<uint8_t> block;
        ASSERT_TRUE(measured->BuildBlock(block));
        {
            CConvTable::Guard lock(CConvTable::Instance());
            ASSERT_TRUE(CConvTable::Instance().RemoveRecord(slot));
        }

        auto alone = CreateMeasSeries(block.data(), block.size(), false);
        ASSERT_TRUE(alone);
        ASSERT_TRUE(alone->KeepsStoredSettings());
        CFolderData folder;
        auto entry = std::make_unique<CMeasSeriesWrapper>();
        entry->SetSeries(CreateMeasSeries(block.data(), block.size(), false));
        folder.AddSeries(std::move(entry), true);
        CMeasSeries1& joined = *folder.GetSeriesAt(0)->GetSeries();

        std::vector<uint8_t> written;
        ASSERT_TRUE(joined.BuildBlock(written));
        EXPECT_EQ(written, block);
        EXPECT_TRUE(joined.GetTargetScale().IsEqual(alone->GetTargetScale()));
        EXPECT_EQ(joined.GetProbeId().code, c.probe);
        EXPECT_EQ(joined.GetCount(7), alone->GetCount(7));
        EXPECT_EQ(joined.GetMean(), alone->GetMean());
        EXPECT_EQ(joined.GetStdDev(), alone->GetStdDev());
        EXPECT_EQ(joined.GetMin(), alone->GetMin());
        EXPECT_EQ(joined.GetMax(), alone->GetMax());
        EXPECT_EQ(joined.GetLowerLimitNative(), alone->GetLowerLimitNative());
        EXPECT_EQ(joined.GetUpperLimitNative(), alone->GetUpperLimitNative());
        EXPECT_EQ(joined.CheckMeanLimits(), alone->CheckMeanLimits());
    }
}

TEST(FolderData, StoredFormRoundTrip)
{
    RecordingDocument document;
    CFolderData folder;
    Fill(folder);
    folder.Sort(5);
    folder.SetSeriesComment(2, QStringLiteral("third"));
    folder.SetValueListOrder(2, 1);
    for (int i = 0; i < folder.GetSeriesCount(); ++i)
        folder.SetSeriesSelected(i, 0);

    const std::vector<uint8_t> selection = {1, 0, 1, 0, 0};
    const std::vector<uint8_t> bytes = Stored(folder, &selection);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 2);

    CFolderData loaded;
    loaded.SetDocument(&document);
    loaded.AddSeries(MakeEntry({"existing", kProbeD, kProbeD, {500.0f}, 0, 0}), true);
    LoadInto(loaded, bytes);
    EXPECT_EQ(Names(loaded), Q({"existing", "alpha", "charlie"}));
    EXPECT_EQ(loaded.GetSortOrder(), 5);
    EXPECT_EQ(loaded.IsSeriesSelected(1), 1);
    EXPECT_EQ(loaded.IsSeriesSelected(2), 1);
    EXPECT_EQ(loaded.GetSeriesComment(2), QStringLiteral("third"));
    EXPECT_EQ(loaded.GetValueListOrder(2), 1);
    EXPECT_EQ(document.stored, 2);
    EXPECT_EQ(loaded.GetSeriesAt(1)->GetSeries()->GetMean(), folder.GetSeriesAt(0)->GetSeries()->GetMean());

    // A copy goes through the stored form: every entry of it is selected.
    CFolderData copy(folder);
    EXPECT_EQ(Names(copy), Names(folder));
    EXPECT_EQ(copy.IsSeriesSelected(4), 1);
    EXPECT_EQ(copy.GetSortOrder(), 5);
    EXPECT_EQ(Stored(copy), Stored(folder));

    // Blocks larger than the archive's buffer (1024 bytes here) read as well as those
    // parsed where they lie in it.
    CFolderData mixed;
    mixed.AddSeries(MakeEntry({"long", kProbeD, kProbeD, std::vector<float>(100, 510.0f), 0, 0}), true);
    mixed.SetSeriesComment(0, QString(128, u'c'));
    mixed.AddSeries(MakeEntry({"short", kProbeD, kProbeD, {520.0f}, 0, 0}), true);
    const std::vector<uint8_t> mixedBytes = Stored(mixed);
    ASSERT_GT(mixedBytes.size(), 1100u);
    CFolderData mixedLoaded;
    LoadInto(mixedLoaded, mixedBytes);
    EXPECT_EQ(Names(mixedLoaded), Q({"long", "short"}));
    EXPECT_EQ(mixedLoaded.GetSeriesReadingCount(0), 100);
    EXPECT_EQ(mixedLoaded.GetSeriesComment(0), QString(128, u'c'));
    EXPECT_EQ(Stored(mixedLoaded), mixedBytes);
}

TEST(FolderData, MalformedStoredFormsRaise)
{
    CFolderData folder;
    Fill(folder);
    std::vector<uint8_t> bytes = Stored(folder);
    for (size_t cut : {size_t(0), size_t(3), size_t(30), bytes.size() / 2, bytes.size() - 1})
    {
        CFolderData loaded;
        EXPECT_THROW(LoadInto(loaded, std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut)),
                     CFileException)
            << cut;
    }
    // A block length beyond any series block.
    std::vector<uint8_t> huge = {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F};
    CFolderData loaded;
    EXPECT_THROW(LoadInto(loaded, huge), CFileException);
    // A block that does not read is no series, but it is kept and stored as it was.
    std::vector<uint8_t> junk = {1, 0, 0, 0, 2, 0, 0, 0, 'M', '2', 0xFE, 1, 0, 'x', 0, 0, 0, 0, 0, 0, 0, 3};
    CFolderData keeping;
    LoadInto(keeping, junk);
    EXPECT_EQ(keeping.GetSeriesCount(), 0);
    EXPECT_EQ(keeping.GetUnreadableCount(), 1);
    EXPECT_EQ(keeping.GetSortOrder(), 3);
    EXPECT_EQ(Stored(keeping), junk);
}

TEST(FolderData, UnreadableBlocksAreKeptInTheirPlace)
{
    // The stored entry of a one-series folder, without the folder's count.
    auto entryBytes = [](const SEntry& e)
    {
        CFolderData one;
        one.AddSeries(MakeEntry(e), true);
        const std::vector<uint8_t> bytes = Stored(one);
        return std::vector<uint8_t>(bytes.begin() + 4, bytes.end());
    };
    const std::vector<uint8_t> alpha = entryBytes({"alpha", kProbeD, kHRC, {400.0f, 480.0f}, 0x40000000, 0});
    const std::vector<uint8_t> bravo = entryBytes({"bravo", kProbeD, kProbeD, {700.0f}, 0x30000000, 1});
    // Another tag, and a series block whose trailer is damaged; the expanded word is kept
    // as stored.
    const std::vector<uint8_t> otherTag = {2, 0, 0, 0, 'M', '2', 0xFE, 1, 0, 'x', 0, 5, 0, 7, 0, 0, 0, 0};
    std::vector<uint8_t> damagedBytes = alpha;
    const uint32_t blockLength = damagedBytes[0] | damagedBytes[1] << 8;
    damagedBytes[4 + blockLength - 1] = 0x55;
    const std::vector<uint8_t> damaged = damagedBytes;

    std::vector<uint8_t> file = {4, 0, 0, 0};
    for (const auto* part : {&alpha, &otherTag, &bravo, &damaged})
        file.insert(file.end(), part->begin(), part->end());
    RecordingDocument document;
    CFolderData folder;
    folder.SetDocument(&document);
    LoadInto(folder, file);
    EXPECT_EQ(Names(folder), Q({"alpha", "bravo"}));
    EXPECT_EQ(folder.GetUnreadableCount(), 2);
    EXPECT_EQ(document.stored, 2);
    EXPECT_EQ(Stored(folder), file) << "saved back byte for byte";

    // Copies keep them; a selection (the clipboard) carries series only.
    CFolderData copy(folder);
    EXPECT_EQ(Stored(copy), file);
    const std::vector<uint8_t> selection = {1, 1};
    const std::vector<uint8_t> chosen = Stored(folder, &selection);
    EXPECT_EQ(chosen[0], 2);

    // Deleting a series keeps the unreadable entries where they stood among the others.
    folder.DeleteSeries(0);
    std::vector<uint8_t> rest = {3, 0, 0, 0};
    for (const auto* part : {&otherTag, &bravo, &damaged})
        rest.insert(rest.end(), part->begin(), part->end());
    EXPECT_EQ(Stored(folder), rest);
    folder.Clear();
    EXPECT_EQ(folder.GetUnreadableCount(), 0);
}

TEST(FolderData, SeriesThatCannotBeStoredFailsTheSave)
{
    AddStandardRecords();
    const auto record =
        LinearRecord(kProbeD, kHV, 0, 0, 1, 300.0f, 900.0f, -210.0f, 2.0f, QStringLiteral("Gone"));
    auto s = std::make_unique<CMeasSeries1>(10);
    s->Clear();
    s->SetProbeId(SProbeId(kProbeD, nullptr, -1));
    {
        CConvTable::Guard lock(CConvTable::Instance());
        s->GetConvEnumerator().SetPrivateRecord(record.data(), record.size());
    }
    SMaterial gone;
    gone.SetCustom(QStringLiteral("Gone"), 0);
    ASSERT_TRUE(s->SetConversion(STargetScale(kHV, 1, 0), gone));
    s->AddReading(500.0f, 500.0f, 0, -1);
    {
        CConvTable::Guard lock(CConvTable::Instance());
        s->GetConvEnumerator().ClearPrivateRecord();
    }
    auto entry = std::make_unique<CMeasSeriesWrapper>();
    entry->SetSeries(std::move(s));
    CFolderData folder;
    folder.AddSeries(std::move(entry), true);
    EXPECT_THROW(Stored(folder), CFileException);
}
