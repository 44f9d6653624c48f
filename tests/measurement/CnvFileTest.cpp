#include "measurement/CnvFile.h"
#include "measurement/ConvTable.h"
#include "streamio/FileStream.h"
#include "streamio/RamStream.h"
#include "streamio/StreamIO.h"
#include "tests/support/ConvRecordBuilder.h"
#include "tests/support/TempDir.h"
#include "tests/support/QStringPrint.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <unistd.h>

using namespace TestRecords;
using namespace StreamIO;

namespace
{

constexpr int kFirstFree = CONV_FIRST_SHARED_SLOT + 11;

class CnvFiles : public ::testing::Test
{
protected:
    // A fresh RAM file holding the bytes, read back from its start.
    std::unique_ptr<CRamStream> Ram(const std::vector<uint8_t>& bytes)
    {
        auto s = std::make_unique<CRamStream>();
        s->Open(QStringLiteral("RAM:test%1.cnv").arg(++m_files),
                STREAM_READ | STREAM_WRITE | STREAM_CREATE_ALWAYS);
        if (!bytes.empty())
            s->Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
        return s;
    }

    int m_files = 0;
};

Header Custom(const std::u16string& name, uint16_t target = 2)
{
    Header h;
    h.matType = 0;
    h.name = name;
    h.target = target;
    return h;
}

uint32_t ZlibCrc(const uint8_t* data, size_t n)
{
    return static_cast<uint32_t>(crc32(0L, data, static_cast<uInt>(n)));
}

void Put24(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
    b[at + 2] = static_cast<uint8_t>(v >> 16);
}

// A conversion file written with an independent CRC; total is the header's length field
// (the real length unless a test wants them to differ).
std::vector<uint8_t> CnvFile(const std::vector<std::vector<uint8_t>>& records, bool withCrc = true,
                             uint16_t flags = 0, size_t padding = 0)
{
    std::vector<uint8_t> b = {'@', 'c', 'N', 'V', '@', 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    b[12] = static_cast<uint8_t>(flags | (withCrc ? 1 : 0));
    b[14] = static_cast<uint8_t>(records.size());
    b[15] = static_cast<uint8_t>(records.size() >> 8);
    for (const auto& r : records)
    {
        Put16(b, static_cast<uint32_t>(r.size()));
        b.insert(b.end(), r.begin(), r.end());
    }
    b.resize(b.size() + padding, 0xAA);
    Put24(b, 9, static_cast<uint32_t>(b.size() + (withCrc ? 4 : 0)));
    if (withCrc)
        Put32(b, ZlibCrc(b.data(), b.size()));
    return b;
}

void FixCrc(std::vector<uint8_t>& b)
{
    const uint32_t crc = ZlibCrc(b.data(), b.size() - 4);
    std::memcpy(b.data() + b.size() - 4, &crc, 4); // little-endian host
}

} // namespace

TEST_F(CnvFiles, HeaderForms)
{
    const auto file = CnvFile({Identity(Custom(u"A"))});
    auto accepted = file;
    auto longMagic = file;
    std::memcpy(longMagic.data(), "@vMcNV@\0\0", 9);
    auto version2 = file;
    version2[5] = 2;
    auto longNonZero = longMagic;
    longNonZero[8] = 1;
    auto wrongMagic = file;
    wrongMagic[1] = 'C';

    uint8_t header[16];
    int version = 0, revision = 0;
    auto s = Ram(longMagic);
    EXPECT_TRUE(ReadCnvHeader(*s, version, revision, header));
    EXPECT_EQ(version, 1);
    EXPECT_EQ(revision, 1);
    const struct
    {
        std::vector<uint8_t> bytes;
        int records;
    } cases[] = {{accepted, 1}, {longMagic, 1}, {version2, 0}, {longNonZero, 0}, {wrongMagic, 0}};
    for (const auto& c : cases)
    {
        CConvTable t;
        CConvTable::Guard guard(t);
        auto bytes = c.bytes;
        FixCrc(bytes);
        auto f = Ram(bytes); // left at its end: the reader rewinds
        EXPECT_EQ(t.LoadCnvFile(*f), c.records);
    }

    // A stream not open for reading is refused.
    CRamStream writeOnly;
    writeOnly.Open(QStringLiteral("RAM:wo.cnv"), STREAM_WRITE | STREAM_CREATE_ALWAYS);
    EXPECT_FALSE(ReadCnvHeader(writeOnly, version, revision, header));
}

TEST_F(CnvFiles, TotalLengthLimits)
{
    const auto record = Identity(Custom(u"A"));
    CConvTable t;
    CConvTable::Guard guard(t);
    // 16 + 2 + record + padding + 4 = 32768: accepted.
    const size_t padding = 32768 - 16 - 2 - record.size() - 4;
    auto largest = Ram(CnvFile({record}, true, 0, padding));
    EXPECT_EQ(largest->GetLength(), 32768u);
    EXPECT_EQ(t.LoadCnvFile(*largest), 1);
    auto tooLarge = Ram(CnvFile({record}, true, 0, padding + 1));
    EXPECT_EQ(t.LoadCnvFile(*tooLarge), 0);
    // Without the CRC flag too: 32769 is refused.
    auto plain = Ram(CnvFile({record}, false, 0, padding + 5));
    EXPECT_EQ(plain->GetLength(), 32769u);
    EXPECT_EQ(t.LoadCnvFile(*plain), 0);

    // 16-19 bytes are refused even without the CRC flag.
    for (uint32_t length = 16; length < 20; ++length)
    {
        std::vector<uint8_t> tiny = {'@', 'c', 'N', 'V', '@', 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0};
        Put24(tiny, 9, length);
        tiny.resize(length, 0);
        auto s = Ram(tiny);
        EXPECT_EQ(t.LoadCnvFile(*s), 0) << length;
    }
    // A length field beyond the bytes in the stream: a short read refuses the file.
    auto cut = CnvFile({record});
    cut.pop_back();
    auto s = Ram(cut);
    EXPECT_EQ(t.LoadCnvFile(*s), 0);
    EXPECT_EQ(t.GetSlotCount(), kFirstFree + 1);
}

TEST_F(CnvFiles, ManyRecordsAndRecordWalk)
{
    std::vector<std::vector<uint8_t>> records;
    for (int i = 0; i < 300; ++i)
    {
        const QString name = QStringLiteral("C%1").arg(i, 3, 10, QLatin1Char('0'));
        records.push_back(Identity(Custom(name.toStdU16String())));
    }
    const auto file = CnvFile(records);
    EXPECT_EQ(file[14], 0x2C);
    EXPECT_EQ(file[15], 0x01);
    CConvTable t;
    CConvTable::Guard guard(t);
    auto s = Ram(file);
    EXPECT_EQ(t.LoadCnvFile(*s), 300);
    EXPECT_EQ(t.GetSlotCount(), kFirstFree + 300);

    // Loading it again adds nothing but counts every record (kept by the revision rule).
    EXPECT_EQ(t.LoadCnvFile(*s), 300);
    EXPECT_EQ(t.GetSlotCount(), kFirstFree + 300);

    // Invalid records are skipped; a record running past the payload ends the walk.
    auto broken = Identity(Custom(u"B"));
    broken[0] = 9;
    std::vector<uint8_t> overlong = CnvFile({Identity(Custom(u"D")), broken, Identity(Custom(u"E"))});
    // Make the last record's length claim more bytes than are there.
    const size_t lastLength = 16 + 2 + 18 + 2 + 18;
    overlong[lastLength] = 0xFF;
    FixCrc(overlong);
    CConvTable u;
    CConvTable::Guard guard2(u);
    auto o = Ram(overlong);
    EXPECT_EQ(u.LoadCnvFile(*o), 1);
    EXPECT_EQ(u.GetSlotCount(), kFirstFree + 1);
    // More records counted than present: the walk ends at the payload's end.
    auto counted = CnvFile({Identity(Custom(u"F"))});
    counted[14] = 5;
    FixCrc(counted);
    auto c = Ram(counted);
    EXPECT_EQ(u.LoadCnvFile(*c), 1);
}

TEST_F(CnvFiles, CrcAndScrambledFilesAddNothing)
{
    CConvTable t;
    CConvTable::Guard guard(t);
    auto wrong = CnvFile({Identity(Custom(u"A")), Identity(Custom(u"B"))});
    wrong.back() ^= 0x01;
    auto s = Ram(wrong);
    EXPECT_EQ(t.LoadCnvFile(*s), 0);
    auto scrambled = Ram(CnvFile({Identity(Custom(u"A"))}, true, CNV_FLAG_SCRAMBLED));
    EXPECT_EQ(t.LoadCnvFile(*scrambled), 0);
    auto noCount = CnvFile({});
    auto z = Ram(noCount);
    EXPECT_EQ(t.LoadCnvFile(*z), 0);
    EXPECT_EQ(t.GetSlotCount(), kFirstFree);

    // A record that collides with one of equal revision is counted, the table unchanged.
    Header steel;
    steel.matType = 1;
    steel.revision = 2;
    const auto first = Identity(steel);
    ASSERT_EQ(t.AddRecord(first.data(), first.size(), false), kFirstFree);
    steel.lo = 100.0f;
    auto again = Ram(CnvFile({Identity(steel)}));
    EXPECT_EQ(t.LoadCnvFile(*again), 1);
    size_t length = 0;
    const uint8_t* kept = t.GetRecord(kFirstFree, length);
    EXPECT_EQ(std::vector<uint8_t>(kept, kept + length), first);
}

TEST_F(CnvFiles, SingleRecordBlocks)
{
    // 16 + 2 * 23 + 6 + 4 * 8 = 100 bytes.
    const auto record = Ratio(Custom(std::u16string(23, u'r')), 100.0f, 4, 3, std::vector<float>(8, 0.5f));
    ASSERT_EQ(record.size(), 100u);
    std::vector<uint8_t> block = record;
    EXPECT_EQ(BuildCnvRecordBlock(block, record.size()), 122u);
    ASSERT_EQ(block.size(), 122u);
    const uint8_t head[] = {'@', 'c', 'N', 'V', '@', 1, 1, 0, 0, 122, 0, 0, 1, 0, 1, 0, 100, 0};
    EXPECT_EQ(std::memcmp(block.data(), head, sizeof head), 0);
    const uint32_t crc = ZlibCrc(block.data(), 118);
    EXPECT_EQ(block[118] | (block[119] << 8) | (block[120] << 16) | (uint32_t(block[121]) << 24), crc);

    std::vector<uint8_t> parsed = block;
    ASSERT_EQ(ParseCnvRecordBlock(parsed.data(), parsed.size()), 100u);
    EXPECT_EQ(std::vector<uint8_t>(parsed.begin(), parsed.begin() + 100), record);
    // Trailing bytes beyond the block's length are allowed.
    std::vector<uint8_t> trailing = block;
    trailing.resize(140, 0);
    EXPECT_EQ(ParseCnvRecordBlock(trailing.data(), trailing.size()), 100u);

    std::vector<uint8_t> empty;
    EXPECT_EQ(BuildCnvRecordBlock(empty, 0), 0u);
}

TEST_F(CnvFiles, RefusedBlocks)
{
    auto blockOf = [](size_t recordLength)
    {
        std::vector<uint8_t> b(recordLength, 0x11);
        BuildCnvRecordBlock(b, recordLength);
        return b;
    };
    EXPECT_EQ(ParseCnvRecordBlock(blockOf(9).data(), 31), 9u);
    EXPECT_EQ(ParseCnvRecordBlock(blockOf(208).data(), 230), 208u);

    struct Case
    {
        const char* why;
        std::vector<uint8_t> block;
        size_t available;
    };
    std::vector<Case> cases = {
        {"record of 8 bytes", blockOf(8), 30},
        {"record of 209 bytes", blockOf(209), 231},
        {"fewer bytes at hand than the length", blockOf(100), 121},
    };
    auto scrambled = blockOf(100);
    scrambled[12] |= CNV_FLAG_SCRAMBLED;
    FixCrc(scrambled);
    cases.push_back({"scrambled", scrambled, 122});
    auto two = blockOf(100);
    two[14] = 2;
    FixCrc(two);
    cases.push_back({"two records", two, 122});
    auto badCrc = blockOf(100);
    badCrc[50] ^= 1;
    cases.push_back({"wrong CRC", badCrc, 122});
    auto overlong = blockOf(100);
    overlong[16] = 150; // the record would run past the block and its CRC
    FixCrc(overlong);
    cases.push_back({"record beyond the block", overlong, 122});
    for (const uint8_t into : {1, 4})
    {
        auto intoCrc = blockOf(100);
        intoCrc[16] = uint8_t(100 + into); // ends inside the CRC: the block is 18 + 100 + 4 bytes
        FixCrc(intoCrc);
        cases.push_back(
            {into == 1 ? "record one byte into the CRC" : "record over the whole CRC", intoCrc, 122});
    }
    auto otherForm = blockOf(100);
    std::memcpy(otherForm.data(), "@vMcNV@\0\0", 9);
    FixCrc(otherForm);
    cases.push_back({"other header form", otherForm, 122});
    auto shortTotal = blockOf(9);
    shortTotal[9] = 26;
    cases.push_back({"total length 26", shortTotal, 31});
    for (Case& c : cases)
        EXPECT_EQ(ParseCnvRecordBlock(c.block.data(), c.available), 0u) << c.why;
    EXPECT_EQ(ParseCnvRecordBlock(nullptr, 0), 0u);

    // Without the CRC flag the CRC is not checked.
    auto noCrc = blockOf(100);
    noCrc[12] = 0;
    noCrc[50] ^= 1;
    EXPECT_EQ(ParseCnvRecordBlock(noCrc.data(), 122), 100u);
}

TEST_F(CnvFiles, WriteAndImportThroughRamStreams)
{
    CConvTable source;
    CConvTable::Guard g1(source);
    const auto record = Ipol(Custom(u"Alloy7"), {{200, 80}, {500, 320}, {900, 1120}});
    const int slot = source.AddRecord(record.data(), record.size(), false);
    auto out = Ram({});
    ASSERT_TRUE(source.WriteCnvRecord(slot, *out));
    EXPECT_EQ(out->GetLength(), record.size() + 22);
    EXPECT_FALSE(source.WriteCnvRecord(kFirstFree + 5, *out)); // empty slot
    EXPECT_EQ(out->GetLength(), record.size() + 22);

    // The block is also a conversion file that the start-up loader reads.
    CConvTable viaFile;
    CConvTable::Guard g2(viaFile);
    EXPECT_EQ(viaFile.LoadCnvFile(*out), 1);

    CConvTable target;
    CConvTable::Guard g3(target);
    int index = -1;
    QString name;
    size_t length = 0;
    const uint8_t* stored = target.ImportRecordBlock(*out, index, name, length);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(index, kFirstFree);
    EXPECT_EQ(std::vector<uint8_t>(stored, stored + length), record);
    // Again: the identical record is found, nothing is added.
    EXPECT_EQ(target.ImportRecordBlock(*out, index, name, length), nullptr);
    EXPECT_EQ(index, kFirstFree);

    auto garbage = Ram(std::vector<uint8_t>(64, 0x40));
    EXPECT_EQ(target.ImportRecordBlock(*garbage, index, name, length), nullptr);
    EXPECT_EQ(index, -1);
    auto emptyStream = Ram({});
    EXPECT_EQ(target.ImportRecordBlock(*emptyStream, index, name, length), nullptr);
}

TEST_F(CnvFiles, FileNamesOfCustomConversions)
{
    const struct
    {
        std::u16string name;
        uint16_t source;
        uint16_t target;
        const char* file;
    } cases[] = {
        {u"Alloy7", 0x101, 2, "Alloy7_D_HV.cnv"},
        {u"<Custom>", 0x201, 0x201, "Custom_VK#5_um.cnv"},
        {u"<>", 0x101, 4, "---_D_HRC.cnv"},
        {u"../../etc/x", 0x103, 1, "_.__._etc_x_D+15_HB.cnv"},
        {u"a\\b:c*d?e\"f|g", 0x101, 2, "a_b_c_d_e_f_g_D_HV.cnv"},
        {u"tab\there\x01", 0x101, 2, "tab_here__D_HV.cnv"},
        {u"...", 0x101, 2, "__._D_HV.cnv"},
    };
    for (const auto& c : cases)
    {
        Header h = Custom(c.name, c.target);
        h.source = c.source;
        h.hi = c.source == 0x201 ? 100.0f : 999.0f;
        const auto r = Identity(h);
        QString name;
        EXPECT_TRUE(MakeCnvFileName(r.data(), r.size(), name));
        EXPECT_EQ(name, c.file);
        EXPECT_FALSE(name.contains(u'/'));
        EXPECT_FALSE(name.contains(QStringLiteral("..")));
    }
    QString name = "old";
    EXPECT_FALSE(MakeCnvFileName(nullptr, 0, name));
    EXPECT_EQ(name, "");
}

TEST_F(CnvFiles, LoadsEveryConversionFileOfAFolder)
{
    TempDir dir;
    auto write = [&](const QString& file, const std::vector<uint8_t>& bytes)
    {
        QFile f(dir.File(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    };
    write("standard.CNV", CnvFile({Identity(Custom(u"A")), Identity(Custom(u"B"))}));
    write("more.Cnv", CnvFile({Identity(Custom(u"C"))}));
    write("broken.cnv", std::vector<uint8_t>(40, 0));
    write("notes.txt", CnvFile({Identity(Custom(u"D"))}));
    ASSERT_TRUE(QDir(dir.Path()).mkdir("folder.cnv"));
    // A file that cannot be opened is skipped and named.
    ASSERT_TRUE(QFile::link(dir.File("nowhere.cnv"), dir.File("gone.cnv")));

    CConvTable t;
    const SCnvFolderLoad loaded = LoadCnvFolder(t, dir.Path());
    EXPECT_EQ(loaded.files, 3);
    EXPECT_EQ(loaded.records, 3);
    EXPECT_TRUE(loaded.standardFound);
    EXPECT_EQ(loaded.unreadable, QStringList{QStringLiteral("gone.cnv")});
    CConvTable::Guard guard(t);
    EXPECT_EQ(t.GetSlotCount(), kFirstFree + 3);

    TempDir other;
    CConvTable u;
    const SCnvFolderLoad none = LoadCnvFolder(u, other.Path());
    EXPECT_EQ(none.files, 0);
    EXPECT_FALSE(none.standardFound);
    EXPECT_FALSE(LoadCnvFolder(u, other.File("missing")).standardFound);
}

TEST_F(CnvFiles, AStandardFileThatGivesNoRecordsSaysWhy)
{
    const auto good = CnvFile({Identity(Custom(u"A"))});
    auto badChecksum = good;
    badChecksum.back() ^= 0x01;
    auto refused = Identity(Custom(u"B"));
    refused[0] = 9; // no such record type
    const struct
    {
        const char* what;
        std::vector<uint8_t> bytes;
        int records;
        NCnvProblem problem;
        bool unreadable = false;
    } cases[] = {
        {"readable", good, 1, cnvNoProblem},
        {"scrambled", CnvFile({Identity(Custom(u"A"))}, true, CNV_FLAG_SCRAMBLED), 0, cnvScrambled},
        {"bad checksum", badChecksum, 0, cnvBadChecksum},
        {"cut short", std::vector<uint8_t>(good.begin(), good.end() - 5), 0, cnvDamaged},
        {"empty", {}, 0, cnvDamaged},
        {"another kind of file", std::vector<uint8_t>(40, 'x'), 0, cnvNotConversions},
        {"no record this program takes", CnvFile({refused}), 0, cnvNoUsableRecord},
        {"not ours to read", good, 0, cnvUnreadable, true},
    };
    for (const auto& c : cases)
    {
        if (c.unreadable && ::geteuid() == 0)
            continue; // root reads any file
        TempDir dir;
        const QString path = dir.File(QStringLiteral("STANDARD.cnv"));
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(reinterpret_cast<const char*>(c.bytes.data()), qint64(c.bytes.size()));
        }
        if (c.unreadable)
            QFile::setPermissions(path, QFileDevice::WriteOwner);
        CConvTable t;
        const SCnvFolderLoad loaded = LoadCnvFolder(t, dir.Path());
        EXPECT_TRUE(loaded.standardFound) << c.what;
        EXPECT_EQ(loaded.standardRecords, c.records) << c.what;
        EXPECT_EQ(loaded.standardProblem, c.problem) << c.what;
    }
}

TEST_F(CnvFiles, CustomConversionWrittenToDiskReadsBack)
{
    TempDir dir;
    CConvTable t;
    CConvTable::Guard guard(t);
    const auto record = Identity(Custom(u"Mine"));
    const int slot = t.AddRecord(record.data(), record.size(), false);
    QString name;
    ASSERT_TRUE(MakeCnvFileName(record.data(), record.size(), name));
    {
        CFileStream file(dir.File(name), STREAM_READ | STREAM_WRITE | STREAM_CREATE_NEW);
        ASSERT_TRUE(t.WriteCnvRecord(slot, file));
        file.Close();
    }
    CConvTable u;
    const SCnvFolderLoad loaded = LoadCnvFolder(u, dir.Path());
    EXPECT_EQ(loaded.records, 1);
    CConvTable::Guard guard2(u);
    SConvRecordInfo info;
    ASSERT_TRUE(u.GetRecordInfo(kFirstFree, info));
    EXPECT_EQ(info.Name(), "Mine");
}
