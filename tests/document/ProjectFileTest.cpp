#include "DocTestSupport.h"

#include "BuildVersion.h"
#include "document/SettingsFolders.h"
#include "measurement/PackedReading.h"
#include "platform/core/FileException.h"
#include "platform/core/SafeFileWriter.h"
#include "platform/core/SettingsStore.h"
#include "resources/BuiltInStrings.h"
#include "tests/support/FileDialogRecorder.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/MemoryClipboard.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <bit>

using namespace DocTest;

namespace
{
const QString kSettingsKey = QStringLiteral("Software\\Velmor\\Veskador 3\\Settings");
const char kHeader[] = "VelmoR Veskador3 project file";

// The project file's pieces, written from the format (little-endian; strings as the
// marker 0xFE, a 16-bit count of UTF-16 units and the units).
struct Bytes
{
    QByteArray data;

    Bytes& U8(uint8_t v)
    {
        data.append(char(v));
        return *this;
    }
    Bytes& U16(uint16_t v) { return U8(uint8_t(v)).U8(uint8_t(v >> 8)); }
    Bytes& U32(uint32_t v) { return U16(uint16_t(v)).U16(uint16_t(v >> 16)); }
    Bytes& Str(const QString& s)
    {
        U8(0xFE).U16(uint16_t(s.size()));
        for (QChar c : s)
            U16(c.unicode());
        return *this;
    }
    Bytes& Raw(const std::vector<uint8_t>& b)
    {
        data.append(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
        return *this;
    }
    // Header, the program's version, the format word and the folder count.
    Bytes& Head(uint16_t major, uint16_t minor, uint16_t build, uint16_t revision, uint32_t folders)
    {
        return Str(QString::fromLatin1(kHeader))
            .U16(major)
            .U16(minor)
            .U16(build)
            .U16(revision)
            .U16(1)
            .U32(folders);
    }
    // One entry of a folder block.
    Bytes& Entry(const std::vector<uint8_t>& block, const QString& name, uint16_t order, uint32_t expanded,
                 uint8_t sortOrder)
    {
        return U32(uint32_t(block.size())).Raw(block).Str(name).U16(order).U32(expanded).U8(sortOrder);
    }
};

// An "M1" block as another program writes it: probe D measured in its own scale,
// material independent, no second reading set.
std::vector<uint8_t> HandBlock(const std::vector<float>& readings)
{
    Bytes b;
    b.U8('M').U8('1').U8(0x02).U8(0).U8(0).U8(0);
    b.U16(uint16_t(readings.size())).U16(0).U16(0); // readings, comment, attachments
    b.U32(0xFFFFFFFF);                              // no date
    b.U8(0x01).U8(0x01);                            // probe D
    for (int i = 0; i < 8; ++i)
        b.U8(0);                           // no serial
    b.U8(0x0F).U8(0x01).U8(0x01).U8(0x0F); // material independent, target D, any standard
    for (int i = 0; i < 4; ++i)
        b.U32(0xFFFFFFFF); // no limits
    b.U8(8).U8(0).U16(4500);
    for (float v : readings)
    {
        SPackedReading r;
        EncodeReading(r, v, 0, -1);
        b.U32(r.word);
    }
    b.U16(0);
    const uint32_t length = uint32_t(b.data.size() - 8);
    b.data[3] = char(length);
    b.data[4] = char(length >> 8);
    b.data[5] = char(length >> 16);
    return std::vector<uint8_t>(b.data.begin(), b.data.end());
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

class ProjectFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        SeriesFixture::AddStandardRecords();
        Platform::SettingsStore::Instance().CreateKey(kSettingsKey);
        doc.AddView(&view);
    }

    QString Path(const char* name) const { return dir.File(QString::fromLatin1(name)); }
    CFolderData* Folder(const CVeskDoc& d, const char* path) const
    {
        return d.LookupFolder(QString::fromLatin1(path));
    }

    // Three folders with series, saved; the document is then unmodified with a path.
    void MakeProject()
    {
        ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\A\\one.vsm"), {400.0f, 500.0f}));
        ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\A\\B\\two.vsm"), {600.0f}));
        ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\C\\Härte ü.vsm"), {700.0f, 710.0f, 720.0f}));
        ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\C\\four.vsm"), {800.0f}));
        doc.SetCurrentFolder(Folder(doc, "\\C\\"), QStringLiteral("\\C\\"), true);
        doc.SetSeriesExpanded(0, true);
        doc.SetSeriesValueOrder(1, 1);
        dialogs.Answer(Path("project.v3p"));
        ASSERT_TRUE(doc.SaveProjectAs());
        view.hints.clear();
    }

    TempDir dir;
    MessageBoxRecorder boxes;
    FileDialogRecorder dialogs;
    CVeskDoc doc;
    FakeView view;
};

void ExpectSameProject(const CVeskDoc& a, const CVeskDoc& b)
{
    ASSERT_EQ(FolderPaths(a), FolderPaths(b));
    for (const QString& path : FolderPaths(a))
    {
        const CFolderData& fa = *a.LookupFolder(path);
        const CFolderData& fb = *b.LookupFolder(path);
        EXPECT_EQ(fb.GetName(), path);
        ASSERT_EQ(SeriesNames(fa), SeriesNames(fb)) << path.toStdString();
        for (int i = 0; i < fa.GetSeriesCount(); ++i)
        {
            EXPECT_EQ(Readings(fa, i), Readings(fb, i));
            EXPECT_EQ(fa.IsSeriesExpanded(i), fb.IsSeriesExpanded(i));
            EXPECT_EQ(fa.GetValueListOrder(i), fb.GetValueListOrder(i));
        }
    }
}
} // namespace

TEST_F(ProjectFileTest, ReadsAProjectFileBuiltFromTheFormat)
{
    Bytes file;
    file.Head(2, 3, 1, 0, 2); // another program version: not checked
    file.Str(QStringLiteral("\\")).U32(0);
    file.Str(QStringLiteral("\\Site A\\")).U32(2);
    file.Entry(HandBlock({512.0f, 530.0f}), QStringLiteral("Shaft 3"), 1, 1, 0);
    file.Entry(HandBlock({480.0f}), QStringLiteral("Shaft 4"), 0, 0, 0);
    ASSERT_TRUE(WriteFile(Path("site.v3p"), file.data));

    ASSERT_TRUE(doc.OpenProject(Path("site.v3p"), false));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(FolderPaths(doc), (QStringList{"\\", "\\Site A\\"}));
    const CFolderData& site = *Folder(doc, "\\Site A\\");
    EXPECT_EQ(site.GetName(), QStringLiteral("\\Site A\\"));
    EXPECT_EQ(SeriesNames(site), (QStringList{"Shaft 3", "Shaft 4"}));
    EXPECT_EQ(Readings(site, 0), (std::vector<float>{512.0f, 530.0f}));
    EXPECT_EQ(Readings(site, 1), std::vector<float>{480.0f});
    EXPECT_EQ(site.GetValueListOrder(0), 1);
    EXPECT_EQ(site.IsSeriesExpanded(0), 1);
    EXPECT_EQ(site.IsSeriesExpanded(1), 0);
    EXPECT_EQ(doc.GetProjectPath(), Path("site.v3p"));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(view.hints, (std::vector<int>{DOC_HINT_ALL, DOC_HINT_ALL})) << "closed, then opened";
}

TEST_F(ProjectFileTest, UnreadableSeriesAreKeptAndReportedOnce)
{
    std::vector<uint8_t> damaged = BlockOf(*MakeSeries({500.0f}));
    damaged.back() = 0x55; // the trailer
    const std::vector<uint8_t> otherTag = {'M', '2', 1, 2, 3};
    Bytes file;
    file.Head(VESKADOR_VERSION_MAJOR, VESKADOR_VERSION_MINOR, VESKADOR_VERSION_PATCH, VESKADOR_VERSION_TWEAK,
              3);
    file.Str(QStringLiteral("\\")).U32(0);
    file.Str(QStringLiteral("\\Site A\\")).U32(3);
    file.Entry(BlockOf(*MakeSeries({512.0f, 530.0f})), QStringLiteral("Shaft 3"), 0, 1, 0);
    file.Entry(damaged, QStringLiteral("Shaft 4"), 2, 1, 0);
    file.Entry(otherTag, QStringLiteral("Shaft 5"), 0, 0, 0);
    file.Str(QStringLiteral("\\Site B\\")).U32(1).Entry(damaged, QStringLiteral("Shaft 6"), 0, 0, 0);
    ASSERT_TRUE(WriteFile(Path("site.v3p"), file.data));

    ASSERT_TRUE(doc.OpenProject(Path("site.v3p"), false));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("3 series of this project could not be read. They are kept "
                                                  "unchanged and will be saved with the project."));
    EXPECT_EQ(SeriesNames(*Folder(doc, "\\Site A\\")), QStringList{"Shaft 3"});
    EXPECT_FALSE(doc.IsModified());
    ASSERT_TRUE(doc.SaveProject(Path("again.v3p")));
    EXPECT_EQ(FileBytes(Path("again.v3p")).toHex().toStdString(), file.data.toHex().toStdString());

    // Added to a project, they join the folder of the same path behind its own entries.
    boxes.boxes.clear();
    ASSERT_TRUE(doc.OpenProject(Path("site.v3p"), true));
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(Folder(doc, "\\Site A\\")->GetUnreadableCount(), 4);
    EXPECT_EQ(Folder(doc, "\\Site B\\")->GetUnreadableCount(), 2);
}

TEST_F(ProjectFileTest, SavingNamesTheSeriesWithoutReadingsFirst)
{
    ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\A\\one.vsm"), {500.0f}));
    AddEmptySeries(*Folder(doc, "\\A\\"), QStringLiteral("empty"));
    ASSERT_TRUE(doc.AddMeasurementFile(QStringLiteral("\\B\\"), nullptr));
    AddEmptySeries(*Folder(doc, "\\B\\"), QStringLiteral("nothing"));
    const QString text = QStringLiteral("These series hold no readings. A project file cannot keep a series "
                                        "without readings, so they will not be saved:\n");
    ASSERT_TRUE(doc.SaveProject(Path("out.v3p")));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, text + QStringLiteral("\\A\\empty\n\\B\\nothing"));
    CVeskDoc reopened;
    ASSERT_TRUE(reopened.OpenProject(Path("out.v3p"), false));
    EXPECT_EQ(SeriesNames(*Folder(reopened, "\\A\\")), QStringList{"one"});
    EXPECT_TRUE(SeriesNames(*Folder(reopened, "\\B\\")).isEmpty());

    // A long list names twenty and counts the rest.
    for (int i = 0; i < 23; ++i)
        AddEmptySeries(*Folder(doc, "\\B\\"), QStringLiteral("s%1").arg(i));
    boxes.boxes.clear();
    ASSERT_TRUE(doc.SaveProject(Path("out.v3p")));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    const QStringList lines = boxes.boxes[0].text.split(u'\n');
    ASSERT_EQ(lines.size(), 22);
    EXPECT_EQ(lines[1], QStringLiteral("\\A\\empty"));
    EXPECT_EQ(lines[20], QStringLiteral("\\B\\s17"));
    EXPECT_EQ(lines[21], QStringLiteral("... and 5 more."));

    // Nothing to say when every series has readings.
    boxes.boxes.clear();
    CVeskDoc full;
    ASSERT_TRUE(AddSeries(full, QStringLiteral("\\A\\one.vsm"), {500.0f}));
    ASSERT_TRUE(full.SaveProject(Path("full.v3p")));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ProjectFileTest, WritesTheFormatByteForByte)
{
    ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\Site A\\Shaft 3.vsm"), {512.0f, 530.0f}));
    ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\Site A\\Shaft 4.vsm"), {480.0f}));
    CFolderData& site = *Folder(doc, "\\Site A\\");
    doc.SetCurrentFolder(&site, QStringLiteral("\\Site A\\"), true);
    doc.SetSeriesExpanded(1, true);
    doc.SetSeriesValueOrder(0, 1);
    ASSERT_TRUE(doc.SaveProject(Path("out.v3p")));
    EXPECT_FALSE(doc.IsModified());

    Bytes expected;
    expected.Head(VESKADOR_VERSION_MAJOR, VESKADOR_VERSION_MINOR, VESKADOR_VERSION_PATCH,
                  VESKADOR_VERSION_TWEAK, 2);
    expected.Str(QStringLiteral("\\")).U32(0);
    expected.Str(QStringLiteral("\\Site A\\")).U32(2);
    expected.Entry(BlockOf(*site.GetSeriesAt(0)->GetSeries()), QStringLiteral("Shaft 3"), 1, 0, 0);
    expected.Entry(BlockOf(*site.GetSeriesAt(1)->GetSeries()), QStringLiteral("Shaft 4"),
                   uint16_t(site.GetSeriesAt(1)->GetValueListOrder()), 1, 0);
    const QByteArray written = FileBytes(Path("out.v3p"));
    EXPECT_EQ(written.size(), expected.data.size());
    EXPECT_EQ(written.toHex().toStdString(), expected.data.toHex().toStdString());
    // The header string alone is 61 bytes.
    EXPECT_EQ(written.left(3), QByteArray("\xFE\x1D\x00", 3));
}

TEST_F(ProjectFileTest, SavedProjectsOpenAsTheyWere)
{
    MakeProject();
    const QByteArray first = FileBytes(Path("project.v3p"));

    CVeskDoc reopened;
    FakeView other;
    reopened.AddView(&other);
    ASSERT_TRUE(reopened.OpenProject(Path("project.v3p"), false));
    ExpectSameProject(doc, reopened);
    EXPECT_EQ(FolderPaths(reopened), (QStringList{"\\", "\\A\\", "\\A\\B\\", "\\C\\"}));
    EXPECT_EQ(SeriesNames(*Folder(reopened, "\\C\\")), (QStringList{"Härte ü", "four"}));

    // Saving the reopened project gives the same bytes.
    ASSERT_TRUE(reopened.SaveProject(Path("again.v3p")));
    EXPECT_EQ(FileBytes(Path("again.v3p")), first);
}

// Every figure the series page and the exports show of a series, as raw bits, so that
// equal means identical.
std::vector<uint32_t> Statistics(CMeasSeries1& s)
{
    std::vector<uint32_t> out;
    auto put = [&](float v) { out.push_back(std::bit_cast<uint32_t>(v)); };
    for (int mask : {1, 2, 4, 5, 7})
        out.push_back(uint32_t(s.GetCount(mask)));
    for (float v : {s.GetMean(), s.GetMedian(), s.GetMidRange(), s.GetStdDev(), s.GetEffectiveStdDev(),
                    s.GetMin(), s.GetMax(), s.GetRange(), s.GetConfidenceHalfWidth(), s.GetCp(), s.GetCpk(),
                    s.GetCpLowerBound(), s.GetCpkLowerBound()})
        put(v);
    out.push_back(uint32_t(s.FindOutlier()));
    out.push_back(uint32_t(s.CheckMeanLimits()));
    for (int i = 0; i < s.GetCount(7); ++i)
    {
        put(s.GetValue(i));
        put(s.GetNativeValue(i, 7));
        out.push_back(uint32_t(s.CheckReadingLimits(i, 7)));
    }
    for (int i = 0; i < s.GetCount(1); ++i)
        put(s.GetReading(i, nullptr, nullptr, 1));
    return out;
}

TEST_F(ProjectFileTest, OpenedSeriesShowTheSameStatisticsAsWhenTheyWereRead)
{
    using namespace SeriesFixture;
    // Series of every kind: converted rising and falling, in the probe's own scale, with
    // excluded readings and readings beyond the conversion's range, with limits, a
    // widened standard deviation, a conversion this computer lacks and a 20 N probe.
    auto rebound = NewSeries(kProbeD, kHRC);
    ASSERT_TRUE(rebound->SetLimits(35.0f, 50.0f, -1));
    for (float v : {600.0f, 640.0f, 300.0f, 900.0f, 655.5f, 612.0f, 700.0f, 640.0f})
        rebound->AddReading(v, v, 0, -1);
    rebound->ExcludeReading(1, 7);
    auto depth = NewSeries(kProbeVk, kHV, 2);
    ASSERT_TRUE(depth->SetLimits(400.0f, 800.0f, -1));
    for (float v : {40.0f, 52.5f, 48.0f, 5.0f, 61.25f, 44.0f})
        depth->AddReading(v, v + 1.5f, 31, -2);
    auto own = NewSeries(kProbeD, kProbeD);
    ASSERT_TRUE(own->SetResolution(1, 5));
    for (float v : {512.0f, 530.5f, 498.25f, 530.5f})
        own->AddReading(v, v, 0, -1);
    own->SetConfidenceLevel(99.0f);
    auto single = NewSeries(kProbeD, kHRC);
    single->AddReading(650.0f, 650.0f, 0, -1);
    std::vector<std::vector<uint8_t>> blocks;
    for (CMeasSeries1* s : {rebound.get(), depth.get(), own.get(), single.get()})
    {
        s->CommitNew();
        blocks.push_back(BlockOf(*s));
    }
    std::vector<uint8_t> lacking = blocks[0];
    lacking[27] = 3; // HRB: no record on this computer
    lacking[47] = 1; // statistics widened by the resolution
    blocks.push_back(lacking);
    std::vector<uint8_t> twenty = blocks[2];
    twenty[16] = twenty[27] = 0x11; // probe and scale 0x211
    twenty[17] = twenty[28] = 0x02;
    blocks.push_back(twenty);

    Bytes file;
    file.Head(3, 0, 0, 0, 2);
    for (const char* folder : {"\\A\\", "\\B\\"})
    {
        file.Str(QString::fromLatin1(folder)).U32(uint32_t(blocks.size()));
        for (size_t i = 0; i < blocks.size(); ++i)
            file.Entry(blocks[i], QStringLiteral("s%1").arg(i), 0, 0, 0);
    }
    ASSERT_TRUE(WriteFile(Path("kinds.v3p"), file.data));

    ASSERT_TRUE(doc.OpenProject(Path("kinds.v3p"), false));
    for (const char* path : {"\\A\\", "\\B\\"})
    {
        CFolderData& folder = *Folder(doc, path);
        ASSERT_EQ(folder.GetSeriesCount(), int(blocks.size())) << path;
        for (int i = 0; i < folder.GetSeriesCount(); ++i)
        {
            // As the series were before their statistics waited to be asked for: worked
            // out as soon as the block was read.
            StreamIO::CRamStream ram;
            ASSERT_TRUE(ram.Open(QStringLiteral("RAM:eager.vsm"), kRamFlags));
            ram.Write(blocks[size_t(i)].data(), uint32_t(blocks[size_t(i)].size()));
            ram.SetPosition(0);
            std::unique_ptr<CMeasSeries1> eager = CreateMeasSeries(ram, false);
            ASSERT_TRUE(eager);
            eager->Recalculate();
            EXPECT_EQ(Statistics(*folder.GetSeriesAt(i)->GetSeries()), Statistics(*eager)) << path << i;
        }
    }
    // And as they were shown before they were saved.
    CFolderData& a = *Folder(doc, "\\A\\");
    EXPECT_EQ(Statistics(*a.GetSeriesAt(0)->GetSeries()), Statistics(*rebound));
    EXPECT_EQ(Statistics(*a.GetSeriesAt(1)->GetSeries()), Statistics(*depth));
    EXPECT_EQ(Statistics(*a.GetSeriesAt(2)->GetSeries()), Statistics(*own));
}

TEST_F(ProjectFileTest, UnreadableFilesLeaveTheProjectAsItWas)
{
    MakeProject();
    doc.SetSeriesName(0, QStringLiteral("changed"));
    ASSERT_TRUE(doc.IsModified());
    const QByteArray good = FileBytes(Path("project.v3p"));
    const qsizetype headerEnd = 61;

    QByteArray wrongChar = good;
    wrongChar[headerEnd - 2] = 'E'; // "...project filE"
    Bytes appended;
    appended.Str(QString::fromLatin1(kHeader) + u's').U16(3).U16(0).U16(0).U16(0).U16(1).U32(0);
    Bytes manyFolders;
    manyFolders.Head(3, 0, 0, 0, 0xFFFFFFFF).Str(QStringLiteral("\\")).U32(0);
    Bytes hugeBlock;
    hugeBlock.Head(3, 0, 0, 0, 1).Str(QStringLiteral("\\")).U32(1).U32(0x00FFFFF0).Raw(HandBlock({500.0f}));
    const QString bad = Path("bad.v3p");
    const QString cannot = QStringLiteral("The project %1 cannot be opened: ").arg(bad);
    const QString notProject = cannot + QStringLiteral("it is not a Veskador 3 project file.");
    const QString damagedAt = cannot + QStringLiteral("the file is damaged at byte %1.");
    const struct
    {
        const char* name;
        QByteArray bytes;
        QString message;
    } cases[] = {
        {"one wrong character", wrongChar, notProject},
        {"one character added", appended.data, notProject},
        {"not a project at all", "just some notes", notProject},
        // The header's characters follow its marker and count.
        {"the header cut short", good.left(20), damagedAt.arg(3)},
        // The last entry ends with its order word, expanded flag and sort byte: the flag
        // can no longer be read.
        {"cut short", good.left(good.size() - 3), damagedAt.arg(good.size() - 5)},
        // The second folder's path would begin where the file ends.
        {"more folders than the file holds", manyFolders.data, damagedAt.arg(manyFolders.data.size())},
        // Header, folder count, path and entry count take 84 bytes, then the block's length.
        {"a block longer than the file", hugeBlock.data, damagedAt.arg(88)},
        {"empty", QByteArray(), cannot + QStringLiteral("the file is empty.")},
        {"a folder", QByteArray(), cannot + QStringLiteral("it is not a file.")},
    };
    for (const bool merge : {false, true})
    {
        for (const auto& c : cases)
        {
            QFile::remove(bad);
            QDir(bad).removeRecursively();
            if (QLatin1String(c.name) == QLatin1String("a folder"))
                ASSERT_TRUE(QDir().mkpath(bad));
            else
                ASSERT_TRUE(WriteFile(bad, c.bytes));
            boxes.boxes.clear();
            view.hints.clear();
            EXPECT_FALSE(doc.OpenProject(bad, merge)) << c.name;
            ASSERT_EQ(boxes.boxes.size(), 1u) << c.name << ": no question to save, only the error";
            EXPECT_EQ(boxes.boxes[0].text, c.message) << c.name << ": " << boxes.boxes[0].text.toStdString();
            EXPECT_TRUE(view.hints.empty()) << c.name;
            EXPECT_EQ(FolderPaths(doc), (QStringList{"\\", "\\A\\", "\\A\\B\\", "\\C\\"})) << c.name;
            EXPECT_EQ(doc.GetSeriesName(0), QStringLiteral("changed"));
            EXPECT_EQ(doc.GetProjectPath(), Path("project.v3p"));
            EXPECT_TRUE(doc.IsModified());
        }
    }
    // A file that is not there is said not to exist, and leaves the project as it was too.
    boxes.boxes.clear();
    EXPECT_FALSE(doc.OpenProject(Path("missing.v3p"), false));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("The file %1 does not exist.").arg(Path("missing.v3p")));
    EXPECT_EQ(doc.GetProjectPath(), Path("project.v3p"));
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(ProjectFileTest, AFailedSaveKeepsThePreviousFile)
{
    MakeProject();
    const QByteArray before = FileBytes(Path("project.v3p"));
    // Make the project much larger than the file-size limit below.
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\D\\s%1.vsm").arg(i), std::vector<float>(200, 500.0f)));
    doc.SetModified();

    // Runs the call while no file may grow past 16 KB.
    auto limited = [](auto call)
    {
        FileSizeLimit limit(16384);
        return call();
    };
    const QString failed = Path("project.v3p") +
                           QStringLiteral("\n\nThe file could not be written completely; it was not created or "
                                          "changed.\n(File too large)");
    EXPECT_FALSE(limited([&] { return doc.Save(); }));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(FileBytes(Path("project.v3p")), before);
    EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden), QStringList{"project.v3p"})
        << "no temporary file is left";
    ASSERT_EQ(boxes.boxes.size(), 1u) << "a failed save names the file and the reason";
    EXPECT_EQ(boxes.boxes[0].text, failed);
    EXPECT_EQ(boxes.boxes[0].type & Platform::MB_ICONSTOP, uint32_t(Platform::MB_ICONSTOP));

    // Closing asks again, and a failed save says so and keeps the project open.
    boxes.boxes.clear();
    boxes.Answer(Platform::IDYES);
    EXPECT_FALSE(limited([&] { return doc.CloseProject(); }));
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[1].text, failed);
    EXPECT_TRUE(doc.HasFolders());
    EXPECT_EQ(doc.GetProjectPath(), Path("project.v3p"));
    EXPECT_EQ(FileBytes(Path("project.v3p")), before);

    // A folder that is not there fails at once.
    boxes.boxes.clear();
    EXPECT_FALSE(doc.SaveProject(dir.Path() + QStringLiteral("/none/x.v3p")));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.startsWith(dir.Path() + QStringLiteral("/none/x.v3p\n\n")));

    // A temporary file an interrupted save left beside the project goes with the next
    // successful save.
    {
        QFile stale(Path("project.v3p") + Platform::SafeFileWriter::kTemporarySuffix);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write("half a project");
    }
    EXPECT_TRUE(doc.Save());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden), QStringList{"project.v3p"});
}

TEST_F(ProjectFileTest, CloseAsksOnlyForAModifiedProjectWithFolders)
{
    const QString question = QStringLiteral("Would you like to save changes in your Project?");
    doc.SetModified();
    EXPECT_TRUE(doc.CloseProject());
    EXPECT_TRUE(boxes.boxes.empty()) << "no folders: nothing to lose";

    ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\A\\s.vsm"), {500.0f}));
    doc.SetModified();
    boxes.Answer(Platform::IDCANCEL);
    EXPECT_FALSE(doc.CloseProject());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, question);
    EXPECT_EQ(boxes.boxes[0].type & 0x0F, uint32_t{Platform::MB_YESNOCANCEL});
    EXPECT_TRUE(doc.HasFolders());

    // Yes, and then Cancel in the save dialog.
    boxes.Answer(Platform::IDYES);
    EXPECT_FALSE(doc.CloseProject());
    EXPECT_EQ(dialogs.requests.size(), 1u);
    EXPECT_TRUE(doc.HasFolders());
    EXPECT_TRUE(doc.IsModified());

    view.hints.clear();
    boxes.Answer(Platform::IDNO);
    EXPECT_TRUE(doc.CloseProject());
    EXPECT_FALSE(doc.HasFolders());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(doc.GetProjectPath().isEmpty());
    EXPECT_EQ(view.hints, (std::vector<int>{DOC_HINT_ALL}));

    // Yes with a path saves and closes.
    MakeProject();
    doc.SetModified();
    boxes.Answer(Platform::IDYES);
    EXPECT_TRUE(doc.CloseProject());
    EXPECT_FALSE(doc.HasFolders());
    CVeskDoc reopened;
    ASSERT_TRUE(reopened.OpenProject(Path("project.v3p"), false));
    EXPECT_EQ(FolderPaths(reopened).size(), 4);
}

TEST_F(ProjectFileTest, SaveAsAndOpenUseTheRememberedProjectFolder)
{
    Platform::SettingsStore::Instance().Write(kSettingsKey, Settings::kProjectsPath,
                                              QStringLiteral("/srv/p/"));
    ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\A\\s.vsm"), {500.0f}));
    EXPECT_EQ(doc.GetTitle(true), QStringLiteral("Unnamed"));
    EXPECT_EQ(doc.GetTitle(false), QStringLiteral("Unnamed"));

    ASSERT_TRUE(QDir(dir.Path()).mkpath(QStringLiteral("my.files")));
    dialogs.Answer(Path("my.files/Project"));
    ASSERT_TRUE(doc.SaveProjectAs());
    const Platform::FileDialogRequest& save = dialogs.requests.back();
    EXPECT_TRUE(save.save);
    EXPECT_EQ(save.initialFolder, QStringLiteral("/srv/p/"));
    EXPECT_EQ(save.fileName, QStringLiteral("Unnamed"));
    EXPECT_EQ(save.filter, QStringLiteral("Veskador 3 Project (*.v3p)|*.v3p|All Files (*.*)|*.*||"));
    EXPECT_EQ(save.defaultExtension, QStringLiteral("v3p"));
    EXPECT_EQ(save.flags, uint32_t{Platform::OFN_HIDEREADONLY | Platform::OFN_OVERWRITEPROMPT});
    EXPECT_EQ(Platform::SettingsStore::Instance().ReadString(kSettingsKey, Settings::kProjectsPath),
              dir.Path() + QStringLiteral("/my.files/"));
    // Saved under a new name: the views show the title anew; no series changed.
    EXPECT_EQ(view.hints.back(), DOC_HINT_SAVED);

    // The title drops only a trailing project extension.
    const struct
    {
        const char* file;
        const char* title;
    } titles[] = {
        {"my.files/Project", "Project"},  {"Site.v3p", "Site"}, {"Site.V3P", "Site"}, {"a.v3p.v3p", "a.v3p"},
        {"Site.v3p.bak", "Site.v3p.bak"},
    };
    for (const auto& t : titles)
    {
        dialogs.Answer(Path(t.file));
        ASSERT_TRUE(doc.SaveProjectAs()) << t.file;
        EXPECT_EQ(doc.GetTitle(true), QString::fromLatin1(t.title));
        EXPECT_EQ(doc.GetTitle(false), Path(t.file));
    }

    // Open proposes every project file in the remembered folder; Cancel does nothing.
    view.hints.clear();
    EXPECT_FALSE(doc.OpenProject(QString(), false));
    const Platform::FileDialogRequest& open = dialogs.requests.back();
    EXPECT_FALSE(open.save);
    EXPECT_EQ(open.fileName, QStringLiteral("*.v3p"));
    EXPECT_EQ(open.initialFolder, dir.Path() + u'/');
    EXPECT_TRUE(view.hints.empty());
    EXPECT_TRUE(doc.HasFolders());

    dialogs.Answer(Path("Site.v3p"));
    ASSERT_TRUE(doc.OpenProject(QString(), false));
    EXPECT_EQ(doc.GetProjectPath(), Path("Site.v3p"));
}

TEST_F(ProjectFileTest, AddingAProjectMergesItsFolders)
{
    MakeProject();
    // A second project that shares the folder \C\ and has one of its own.
    CVeskDoc second;
    ASSERT_TRUE(AddSeries(second, QStringLiteral("\\C\\five.vsm"), {900.0f}));
    ASSERT_TRUE(AddSeries(second, QStringLiteral("\\E\\six.vsm"), {950.0f}));
    ASSERT_TRUE(second.SaveProject(Path("second.v3p")));

    ASSERT_TRUE(doc.OpenProject(Path("second.v3p"), true));
    EXPECT_TRUE(boxes.boxes.empty()) << "adding never asks to save";
    EXPECT_EQ(doc.GetProjectPath(), Path("project.v3p"));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(FolderPaths(doc), (QStringList{"\\", "\\A\\", "\\A\\B\\", "\\C\\", "\\E\\"}));
    EXPECT_EQ(SeriesNames(*Folder(doc, "\\C\\")), (QStringList{"Härte ü", "four", "five"}));
    EXPECT_EQ(Readings(*Folder(doc, "\\C\\"), 2), std::vector<float>{900.0f});
    EXPECT_EQ(view.hints, (std::vector<int>{DOC_HINT_ALL}));

    // A file that names one folder twice keeps both folders' series.
    Bytes twice;
    twice.Head(3, 0, 0, 0, 2);
    twice.Str(QStringLiteral("\\T\\")).U32(1).Entry(HandBlock({500.0f}), QStringLiteral("x"), 0, 0, 0);
    twice.Str(QStringLiteral("T")).U32(1).Entry(HandBlock({510.0f}), QStringLiteral("y"), 0, 0, 0);
    ASSERT_TRUE(WriteFile(Path("twice.v3p"), twice.data));
    ASSERT_TRUE(doc.OpenProject(Path("twice.v3p"), true));
    EXPECT_EQ(SeriesNames(*Folder(doc, "\\T\\")), (QStringList{"x", "y"}));
}

TEST_F(ProjectFileTest, SeriesTravelThroughTheSystemClipboard)
{
    // The system clipboard outlives this test: leave it empty, as the tests after it expect.
    struct ClearedAtEnd
    {
        ~ClearedAtEnd() { QGuiApplication::clipboard()->clear(); }
    } clearedAtEnd;
    ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\A\\one.vsm"), {400.0f}));
    CFolderData& a = *Folder(doc, "\\A\\");
    AddEmptySeries(a, QStringLiteral("empty"));
    ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\A\\three.vsm"), {600.0f, 610.0f}));
    doc.SetCurrentFolder(&a, QStringLiteral("\\A\\"), true);
    doc.SetFolderCutPending(true);

    std::vector<uint8_t> mask{1, 1, 1};
    ASSERT_TRUE(doc.CopySeries(mask));
    EXPECT_EQ(mask, (std::vector<uint8_t>{1, 0, 1})) << "series without readings are never copied";
    EXPECT_TRUE(doc.IsSeriesCopyPending());
    EXPECT_FALSE(doc.IsFolderCutPending());
    EXPECT_TRUE(doc.CanPaste());

    // The block: a byte count, then a project image of the current folder's chosen series.
    const std::optional<QByteArray> block = Platform::Clipboard().PrivateData(CVeskDoc::kClipboardFormat);
    ASSERT_TRUE(block.has_value());
    const auto* p = reinterpret_cast<const uint8_t*>(block->constData());
    EXPECT_EQ(uint32_t(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24), uint32_t(block->size() - 4));
    Bytes head;
    head.Head(VESKADOR_VERSION_MAJOR, VESKADOR_VERSION_MINOR, VESKADOR_VERSION_PATCH, VESKADOR_VERSION_TWEAK,
              1)
        .Str(QStringLiteral("\\A\\"))
        .U32(2);
    EXPECT_EQ(block->mid(4, head.data.size()).toHex().toStdString(), head.data.toHex().toStdString());

    // Pasting twice appends twice, and sorts by the folder's order.
    CVeskDoc target;
    FakeView targetView;
    target.AddView(&targetView);
    ASSERT_TRUE(AddSeries(target, QStringLiteral("\\X\\mine.vsm"), {450.0f}));
    CFolderData& x = *Folder(target, "\\X\\");
    target.SetCurrentFolder(&x, QStringLiteral("\\X\\"), true);
    target.SortCurrentFolder(5); // by name, ascending
    targetView.hints.clear();
    ASSERT_TRUE(target.PasteSeries());
    ASSERT_TRUE(target.PasteSeries());
    EXPECT_EQ(SeriesNames(x), (QStringList{"mine", "one", "one", "three", "three"}));
    EXPECT_EQ(Readings(x, 3), (std::vector<float>{600.0f, 610.0f}));
    EXPECT_TRUE(target.IsModified());
    EXPECT_EQ(targetView.hints, (std::vector<int>{DOC_HINT_ALL, DOC_HINT_ALL}));

    // The tree pastes into a folder the page does not show: no notification.
    ASSERT_TRUE(target.AddMeasurementFile(QStringLiteral("\\Y\\"), nullptr));
    target.PushCurrentFolder();
    target.SetCurrentFolder(Folder(target, "\\Y\\"), QStringLiteral("\\Y\\"), true);
    targetView.hints.clear();
    ASSERT_TRUE(target.PasteSeries());
    target.PopCurrentFolder();
    EXPECT_TRUE(targetView.hints.empty());
    EXPECT_EQ(Folder(target, "\\Y\\")->GetSeriesCount(), 2);
    EXPECT_EQ(target.GetCurrentFolder(), &x);

    // Without a current folder the block's folder comes in under its own path.
    CVeskDoc empty;
    ASSERT_TRUE(empty.PasteSeries());
    ASSERT_NE(Folder(empty, "\\A\\"), nullptr);
    EXPECT_EQ(SeriesNames(*Folder(empty, "\\A\\")), (QStringList{"one", "three"}));
    EXPECT_TRUE(empty.IsModified());
    const size_t asked = boxes.boxes.size();
    boxes.Answer(Platform::IDCANCEL);
    EXPECT_FALSE(empty.CloseProject()) << "closing offers to save the pasted series";
    EXPECT_EQ(boxes.boxes.size(), asked + 1);

    // Only empty series: nothing is copied, the clipboard keeps what it had.
    std::vector<uint8_t> onlyEmpty{0, 1, 0};
    EXPECT_FALSE(doc.CopySeries(onlyEmpty));
    EXPECT_EQ(onlyEmpty, (std::vector<uint8_t>{0, 0, 0}));
    EXPECT_EQ(Platform::Clipboard().PrivateData(CVeskDoc::kClipboardFormat), block);
}

TEST_F(ProjectFileTest, ClipboardBlocksAreCheckedBeforeUse)
{
    MemoryClipboard clipboard;
    ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\A\\one.vsm"), {400.0f}));
    CFolderData& a = *Folder(doc, "\\A\\");
    doc.SetCurrentFolder(&a, QStringLiteral("\\A\\"), true);
    std::vector<uint8_t> mask{1};
    ASSERT_TRUE(doc.CopySeries(mask));
    const QByteArray good = clipboard.content.privateFormats.value(CVeskDoc::kClipboardFormat);
    view.hints.clear();

    auto offer = [&](const QByteArray& bytes)
    {
        clipboard.content = {};
        clipboard.content.privateFormats.insert(CVeskDoc::kClipboardFormat, bytes);
    };
    auto withCount = [&](uint32_t n)
    {
        QByteArray b = good;
        b[0] = char(n);
        b[1] = char(n >> 8);
        b[2] = char(n >> 16);
        b[3] = char(n >> 24);
        return b;
    };
    QByteArray damaged = good;
    damaged[4 + 10] = 'x'; // inside the header text
    QByteArray cut = withCount(uint32_t(good.size() - 4 - 10)).left(good.size() - 10);
    const struct
    {
        const char* name;
        QByteArray bytes;
        bool canPaste;
    } refused[] = {
        {"count one past the data", withCount(uint32_t(good.size() - 4 + 1)), true},
        {"count far past the data", withCount(0xFFFFFFF0u), true},
        {"count shorter than the image", withCount(40), true},
        {"no room for the count", QByteArray("\x01\x00", 2), false},
        {"damaged header", damaged, true},
        {"image cut short, count to match", cut, true},
    };
    for (const auto& r : refused)
    {
        offer(r.bytes);
        EXPECT_EQ(doc.CanPaste(), r.canPaste) << r.name;
        EXPECT_THROW(doc.PasteSeries(), CFileException) << r.name;
        EXPECT_EQ(a.GetSeriesCount(), 1) << r.name << ": nothing is pasted";
    }
    EXPECT_TRUE(view.hints.empty());

    offer(withCount(0).left(4));
    EXPECT_FALSE(doc.CanPaste()) << "an empty block";
    clipboard.content = {};
    EXPECT_FALSE(doc.CanPaste());
    EXPECT_TRUE(doc.PasteSeries()) << "nothing of ours on the clipboard: nothing happens";
    EXPECT_EQ(a.GetSeriesCount(), 1);

    // A clipboard that cannot be opened: the copy fails, the pending flags changed already.
    clipboard.failSet = true;
    doc.SetFolderCopyPending(true);
    EXPECT_FALSE(doc.CopySeries(mask));
    EXPECT_TRUE(doc.IsSeriesCopyPending());
    EXPECT_FALSE(doc.IsFolderCopyPending());
}

TEST_F(ProjectFileTest, ASaveOverAFileAnotherWindowChangedAsksFirst)
{
    MakeProject();
    const QString path = Path("project.v3p");
    // A second program window on the same file.
    CVeskDoc other;
    ASSERT_TRUE(other.OpenProject(path, false));
    other.SetCurrentFolder(other.LookupFolder(QStringLiteral("\\C\\")), QStringLiteral("\\C\\"), true);
    other.SetSeriesName(1, QStringLiteral("from the other window"));
    ASSERT_TRUE(other.Save());
    const QByteArray othersFile = FileBytes(path);

    doc.SetSeriesName(0, QStringLiteral("from this window"));
    const QString question = QStringLiteral("The project file %1 was changed by another program window").arg(path);
    auto seriesInFile = [&]
    {
        CVeskDoc reader;
        EXPECT_TRUE(reader.OpenProject(path, false));
        return SeriesNames(*reader.LookupFolder(QStringLiteral("\\C\\")));
    };

    // Cancel: nothing is written, the project stays modified.
    boxes.boxes.clear();
    boxes.Answer(Platform::IDCANCEL);
    EXPECT_FALSE(doc.Save());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.startsWith(question)) << boxes.boxes[0].text.toStdString();
    EXPECT_EQ(boxes.boxes[0].type & 0x0F, uint32_t{Platform::MB_YESNOCANCEL});
    EXPECT_EQ(FileBytes(path), othersFile);
    EXPECT_TRUE(doc.IsModified());

    // No: saved under another name, the other window's file untouched.
    boxes.Answer(Platform::IDNO);
    dialogs.Answer(Path("mine.v3p"));
    EXPECT_TRUE(doc.Save());
    EXPECT_EQ(FileBytes(path), othersFile);
    EXPECT_EQ(doc.GetProjectPath(), Path("mine.v3p"));
    EXPECT_FALSE(doc.IsModified());

    // A window's own saves never ask; the other window is asked once this one wrote.
    boxes.boxes.clear();
    doc.SetSeriesName(0, QStringLiteral("again"));
    EXPECT_TRUE(doc.Save());
    EXPECT_TRUE(boxes.boxes.empty());
    other.SetSeriesName(0, QStringLiteral("other again"));
    EXPECT_TRUE(other.Save());
    EXPECT_TRUE(boxes.boxes.empty()) << "nobody else wrote its file";

    // Yes overwrites.
    dialogs.Answer(path);
    doc.SetSeriesName(0, QStringLiteral("overwritten"));
    ASSERT_TRUE(doc.SaveProjectAs()); // a file chosen on purpose: no question
    boxes.boxes.clear();
    other.SetSeriesName(0, QStringLiteral("last"));
    boxes.Answer(Platform::IDYES);
    EXPECT_TRUE(other.Save());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(seriesInFile().contains(QStringLiteral("last")));
}

TEST_F(ProjectFileTest, RepeatedSeparatorsInStoredFolderPathsCollapseSoEverySeriesIsShown)
{
    Bytes file;
    file.Head(3, 0, 0, 0, 3);
    file.Str(QStringLiteral("\\")).U32(0);
    file.Str(QStringLiteral("\\Site\\\\Hall\\")).U32(1);
    file.Entry(HandBlock({512.0f}), QStringLiteral("doubled"), 0, 0, 0);
    file.Str(QStringLiteral("\\Site\\Hall\\")).U32(1);
    file.Entry(HandBlock({480.0f}), QStringLiteral("plain"), 0, 0, 0);
    ASSERT_TRUE(WriteFile(Path("crafted.v3p"), file.data));

    ASSERT_TRUE(doc.OpenProject(Path("crafted.v3p"), false));
    EXPECT_EQ(FolderPaths(doc), (QStringList{"\\", "\\Site\\Hall\\"}));
    QStringList names = SeriesNames(*Folder(doc, "\\Site\\Hall\\"));
    names.sort();
    EXPECT_EQ(names, (QStringList{"doubled", "plain"}));
}
