#include "DocTestSupport.h"

#include "measurement/ConvTable.h"
#include "platform/core/FileException.h"
#include "platform/core/StringTable.h"
#include "resources/BuiltInStrings.h"
#include "resources/StringIds.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"

#include <QDir>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace DocTest;

namespace
{
class VeskDocTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        SeriesFixture::AddStandardRecords();
        doc.AddView(&view);
    }

    // Creates the folders (without series) and empties the hint record.
    void MakeFolders(std::initializer_list<const char*> paths)
    {
        for (const char* p : paths)
            doc.AddMeasurementFile(QString::fromLatin1(p), nullptr);
        view.hints.clear();
    }

    CFolderData* Folder(const char* path) const { return doc.LookupFolder(QString::fromLatin1(path)); }

    CVeskDoc doc;
    FakeView view;
    MessageBoxRecorder boxes;
};
} // namespace

TEST_F(VeskDocTest, ViewsAndPeersAreToldInOrderExceptTheSender)
{
    FakeView second, third;
    doc.AddView(&second);
    doc.AddView(&third);
    std::vector<int> order;
    view.reaction = [&](int) { order.push_back(1); };
    third.reaction = [&](int) { order.push_back(3); };
    doc.UpdateAllViews(&second, 7);
    EXPECT_EQ(order, (std::vector<int>{1, 3}));
    EXPECT_TRUE(second.hints.empty());

    // A view that registers another view while it is told: the new one hears the same hint.
    FakeView late;
    view.reaction = [&](int hint)
    {
        if (hint == DOC_HINT_ALL && late.hints.empty())
            doc.AddView(&late);
    };
    doc.UpdateAllViews(nullptr, DOC_HINT_ALL);
    EXPECT_EQ(late.hints, (std::vector<int>{DOC_HINT_ALL}));

    EXPECT_TRUE(doc.RemoveView(&late));
    EXPECT_FALSE(doc.RemoveView(&late));

    FakePeer tree, page;
    doc.AddCommandPeer(&tree);
    doc.AddCommandPeer(&page);
    doc.SendToCommandPeers(&page, WM_CMD_PASTE);
    EXPECT_EQ(tree.messages, (std::vector<uint32_t>{WM_CMD_PASTE}));
    EXPECT_TRUE(page.messages.empty());
    EXPECT_TRUE(doc.RemoveCommandPeer(&tree));
    doc.SendToCommandPeers(nullptr, WM_CMD_NEW_FOLDER);
    EXPECT_EQ(page.messages, (std::vector<uint32_t>{WM_CMD_NEW_FOLDER}));
}

TEST_F(VeskDocTest, AddMeasurementFileCreatesTheFoldersOfThePath)
{
    ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\A\\B\\x.vsm"), {500.0f, 600.0f}));
    EXPECT_EQ(FolderPaths(doc), (QStringList{"\\", "\\A\\", "\\A\\B\\"}));
    EXPECT_EQ(doc.GetCurrentFolder(), Folder("\\")) << "the first folder becomes the current one";
    EXPECT_EQ(doc.GetCurrentFolderPath(), QStringLiteral("\\")) << "its stored path stays empty";
    EXPECT_EQ(Folder("\\A\\B\\")->GetName(), QStringLiteral("\\A\\B\\"));
    EXPECT_EQ(SeriesNames(*Folder("\\A\\B\\")), QStringList{"x"});
    EXPECT_EQ(Readings(*Folder("\\A\\B\\"), 0), (std::vector<float>{500.0f, 600.0f}));
    EXPECT_EQ(Folder("\\A\\")->GetSeriesCount(), 0);
    EXPECT_FALSE(doc.IsModified()) << "a batch marks the project only at its end";
    EXPECT_TRUE(view.hints.empty());

    // Without a stream only folders are made: true when the last one is new.
    EXPECT_TRUE(doc.AddMeasurementFile(QStringLiteral("\\A\\C\\"), nullptr));
    EXPECT_FALSE(doc.AddMeasurementFile(QStringLiteral("\\A\\C\\"), nullptr));
    EXPECT_FALSE(doc.AddMeasurementFile(QStringLiteral("A"), nullptr))
        << "no backslash: the root, which exists";

    // Neither a file name without a period nor bytes that are no series add a series; the
    // folders of the path stay.
    EXPECT_FALSE(AddSeries(doc, QStringLiteral("\\D\\x"), {500.0f}));
    EXPECT_FALSE(AddFile(doc, QStringLiteral("\\E\\junk.vsm"), {'M', '2', 1, 2, 3}));
    EXPECT_FALSE(AddFile(doc, QStringLiteral("\\E\\empty.vsm"), {}));
    EXPECT_EQ(Folder("\\D\\")->GetSeriesCount(), 0);
    EXPECT_EQ(Folder("\\E\\")->GetSeriesCount(), 0);

    // The end of a batch.
    EXPECT_TRUE(doc.AddMeasurementFile(QString(), nullptr));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(view.hints, (std::vector<int>{DOC_HINT_ALL}));
}

TEST_F(VeskDocTest, ImportReadsLocalFilesRelativeToTheBaseFolder)
{
    TempDir dir;
    ASSERT_TRUE(QDir(dir.Path()).mkpath(QStringLiteral("data/Site A")));
    const QString file = dir.Path() + QStringLiteral("/data/Site A/Shaft 3.vsm");
    {
        const std::vector<uint8_t> bytes = BlockOf(*MakeSeries({420.0f}));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    }
    // An import only reads: a read-only file is fine.
    QFile::setPermissions(file, QFileDevice::ReadOwner);

    EXPECT_TRUE(doc.ImportMeasurementFile(file, dir.Path() + QStringLiteral("/data/")));
    ASSERT_NE(Folder("\\Site A\\"), nullptr);
    EXPECT_EQ(SeriesNames(*Folder("\\Site A\\")), QStringList{"Shaft 3"});
    EXPECT_EQ(Readings(*Folder("\\Site A\\"), 0), std::vector<float>{420.0f});

    EXPECT_THROW(doc.ImportMeasurementFile(dir.Path() + QStringLiteral("/data/missing.vsm"),
                                           dir.Path() + QStringLiteral("/data/")),
                 CFileException);
    EXPECT_EQ(FolderPaths(doc), (QStringList{"\\", "\\Site A\\"}));
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(VeskDocTest, DeleteFoldersTakesTheSubtreeOnlyAndForgetsReferencesIntoIt)
{
    MakeFolders({"\\A\\B\\", "\\AB\\"});
    ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\A\\B\\s.vsm"), {500.0f}));
    doc.SetCurrentFolder(Folder("\\A\\B\\"), QStringLiteral("\\A\\B\\"), true);
    ASSERT_TRUE(doc.OpenSeriesForMeasuring(0));
    doc.PushCurrentFolder();

    QString path = QStringLiteral("A");
    EXPECT_TRUE(doc.DeleteFolders(path));
    EXPECT_EQ(path, QStringLiteral("\\A\\")) << "normalised in place";
    EXPECT_EQ(FolderPaths(doc), (QStringList{"\\", "\\AB\\"}));
    EXPECT_FALSE(doc.DeleteFolders(path));

    // No reference into the deleted folders is left.
    EXPECT_EQ(doc.GetCurrentFolder(), nullptr);
    EXPECT_EQ(doc.GetCurrentFolderPath(), QStringLiteral("\\"));
    EXPECT_EQ(doc.GetSeriesCount(), 0);
    doc.PopCurrentFolder();
    EXPECT_EQ(doc.GetCurrentFolder(), nullptr);
    CMeasSeriesWrapper templ;
    templ.SetSeries(MakeSeries({}));
    CMeasSeriesWrapper* live = doc.NewMeasuringSeries(templ);
    EXPECT_EQ(doc.GetCurrentFolder(), Folder("\\"));
    EXPECT_EQ(doc.GetMeasuringSeries(), live) << "a new live series, not the deleted one";
    EXPECT_EQ(doc.GetMeasuringSeriesIndex(), 0);
}

TEST_F(VeskDocTest, MoveFoldersRekeysTheSubtree)
{
    MakeFolders({"\\A\\B\\", "\\AB\\"});
    CFolderData* a = Folder("\\A\\");
    CFolderData* ab = Folder("\\A\\B\\");
    doc.SetCurrentFolder(ab, QStringLiteral("\\A\\B\\"), true);
    doc.PushCurrentFolder();

    QString from = QStringLiteral("\\A"), to = QStringLiteral("X");
    EXPECT_TRUE(doc.MoveFolders(from, to));
    EXPECT_EQ(from, QStringLiteral("\\A\\"));
    EXPECT_EQ(to, QStringLiteral("\\X\\"));
    EXPECT_EQ(FolderPaths(doc), (QStringList{"\\", "\\AB\\", "\\X\\", "\\X\\B\\"}));
    EXPECT_EQ(Folder("\\X\\"), a);
    EXPECT_EQ(Folder("\\X\\B\\"), ab);
    EXPECT_EQ(ab->GetName(), QStringLiteral("\\X\\B\\"));
    EXPECT_EQ(doc.GetCurrentFolderPath(), QStringLiteral("\\X\\B\\")) << "the current path follows";
    doc.PopCurrentFolder();
    EXPECT_EQ(doc.GetCurrentFolder(), ab);
    EXPECT_EQ(doc.GetCurrentFolderPath(), QStringLiteral("\\X\\B\\")) << "so does the saved one";

    // A project file may hold \Y\B\ without \Y\.
    MakeFolders({"\\Z\\B\\"});
    QString z = QStringLiteral("\\Z\\B\\"), y = QStringLiteral("\\Y\\B\\");
    ASSERT_TRUE(doc.MoveFolders(z, y));

    const struct
    {
        const char* from;
        const char* to;
    } refused[] = {
        {"\\X\\", "\\AB\\"}, // onto an existing folder
        {"\\Q\\", "\\R\\"},  // from a path that is no folder
        {"\\X\\", "\\Y\\"},  // \X\B\ would land on \Y\B\, which stays where it is
    };
    const QStringList before = FolderPaths(doc);
    for (const auto& r : refused)
    {
        QString f = QString::fromLatin1(r.from), t = QString::fromLatin1(r.to);
        EXPECT_FALSE(doc.MoveFolders(f, t)) << r.from << " -> " << r.to;
        EXPECT_EQ(FolderPaths(doc), before);
    }
}

TEST_F(VeskDocTest, CurrentFolderSelectionAndTheLiveSeries)
{
    MakeFolders({"\\A\\", "\\B\\"});
    for (const char* name : {"\\A\\a.vsm", "\\A\\b.vsm", "\\A\\c.vsm"})
        ASSERT_TRUE(AddSeries(doc, QString::fromLatin1(name), {500.0f}));
    CFolderData* a = Folder("\\A\\");

    doc.SetCurrentFolder(a, QStringLiteral("\\A\\"), false);
    EXPECT_TRUE(doc.IsModified()) << "making a folder current marks the project";
    EXPECT_EQ(view.hints, (std::vector<int>{DOC_HINT_ALL}));
    EXPECT_EQ(doc.GetSeriesCount(), 3);

    view.hints.clear();
    doc.SetSelectedIndex(2);
    doc.SetSelectedIndex(2);
    EXPECT_EQ(doc.GetSelectedIndex(), 2);
    doc.SetSelectedIndex(5);
    EXPECT_EQ(doc.GetSelectedIndex(), -1) << "an index past the folder is dropped";
    EXPECT_EQ(view.hints, (std::vector<int>{DOC_HINT_SELECTION, DOC_HINT_SELECTION}));

    view.hints.clear();
    EXPECT_FALSE(doc.OpenSeriesForMeasuring(3));
    ASSERT_TRUE(doc.OpenSeriesForMeasuring(1));
    EXPECT_FALSE(doc.OpenSeriesForMeasuring(0)) << "one series at a time";
    EXPECT_TRUE(a->GetSeriesAt(1)->GetSeries()->IsNew());
    EXPECT_TRUE(doc.IsSeriesExpanded(1));
    EXPECT_EQ(doc.GetMeasuringSeriesIndex(), 1);
    doc.UpdateMeasuringSeries();
    EXPECT_EQ(view.hints, (std::vector<int>{1, 1}));

    // Another folder closes the live series (it has a reading, so it stays) and drops the
    // selection.
    doc.SetSelectedIndex(0);
    view.hints.clear();
    doc.SetCurrentFolder(Folder("\\B\\"), QStringLiteral("\\B\\"), false);
    EXPECT_EQ(view.hints, (std::vector<int>{1, DOC_HINT_SELECTION, DOC_HINT_ALL}));
    EXPECT_FALSE(a->GetSeriesAt(1)->GetSeries()->IsNew());
    EXPECT_EQ(doc.GetMeasuringSeries(), nullptr);
    EXPECT_EQ(a->GetSeriesCount(), 3);

    // A new live series; asking again gives the same one.
    view.hints.clear();
    CMeasSeriesWrapper templ;
    templ.SetName(QStringLiteral("live"));
    templ.SetSeries(MakeSeries({}));
    CMeasSeriesWrapper* live = doc.NewMeasuringSeries(templ);
    ASSERT_NE(live, nullptr);
    EXPECT_EQ(doc.NewMeasuringSeries(templ), live);
    EXPECT_EQ(doc.GetSeriesCount(), 1);
    EXPECT_EQ(doc.GetSeriesName(0), QStringLiteral("live"));
    EXPECT_TRUE(doc.GetSeriesUpdateFlag(0));
    EXPECT_TRUE(doc.IsSeriesExpanded(0));
    EXPECT_EQ(view.hints, (std::vector<int>{DOC_HINT_NEW_SERIES}));

    // Closed without a reading, it goes.
    doc.SetSelectedIndex(0);
    view.hints.clear();
    EXPECT_FALSE(doc.CloseMeasuringSeries());
    EXPECT_EQ(doc.GetSeriesCount(), 0);
    EXPECT_EQ(view.hints, (std::vector<int>{DOC_HINT_SELECTION, DOC_HINT_ALL}));
    EXPECT_TRUE(doc.CloseMeasuringSeries()) << "nothing open";

    // Deleting a series that is not live tells nobody.
    doc.SetCurrentFolder(a, QStringLiteral("\\A\\"), true);
    view.hints.clear();
    doc.DeleteSeries(0);
    EXPECT_EQ(a->GetSeriesCount(), 2);
    EXPECT_TRUE(view.hints.empty());
}

TEST_F(VeskDocTest, SeriesAccessNeedsACurrentFolderAndAValidIndex)
{
    EXPECT_EQ(doc.GetSeriesCount(), 0);
    EXPECT_EQ(doc.GetSortOrder(), 0);
    EXPECT_THROW(doc.GetSeriesAt(0), std::invalid_argument);
    EXPECT_THROW(doc.GetSeriesName(0), std::invalid_argument);
    EXPECT_EQ(doc.GetSelectedIndex(), -1);

    ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\s.vsm"), {500.0f, 600.0f}));
    EXPECT_EQ(doc.GetSeriesCount(), 1);
    EXPECT_THROW(doc.GetSeriesAt(1), std::invalid_argument);
    EXPECT_THROW(doc.GetSeriesAt(-1), std::invalid_argument);
    EXPECT_FALSE(doc.IsSeriesScaleCompatible(1, SProbeId(SeriesFixture::kProbeVk, nullptr, -1)));
    EXPECT_FALSE(doc.IsSeriesScaleCompatible(0, SProbeId(SeriesFixture::kProbeD, nullptr, -1)))
        << "only indentation-tester series";
    EXPECT_EQ(doc.GetSeriesReadingCount(0), 2);
    EXPECT_EQ(doc.GetSeriesNativeMean(0), 550.0f);

    // The forwarded setters mark the project.
    EXPECT_FALSE(doc.IsModified());
    doc.SetSeriesName(0, QStringLiteral("renamed"));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetSeriesName(0), QStringLiteral("renamed"));
}

TEST_F(VeskDocTest, ConversionQueriesReadTheTable)
{
    using namespace SeriesFixture;
    constexpr int kHB = 1;
    AddShared(LinearRecord(kProbeD, kHB, 15, 0, 1, 300.0f, 900.0f, 0.0f, 1.0f)); // any material

    STargetScale result;
    doc.FindConversionSpec(result, STargetScale(kHRC, 1, 0), Steel(), kProbeD);
    EXPECT_EQ(result.scale, kHRC);
    EXPECT_EQ(result.standard, 1);
    // No record to Vickers under ISO: the probe's own scale, with the asked standard.
    doc.FindConversionSpec(result, STargetScale(kHV, 2, 0), Steel(), kProbeD);
    EXPECT_EQ(result.scale, kProbeD);
    EXPECT_EQ(result.standard, 2);
    SMaterial other;
    other.Set(3, 0);
    doc.FindConversionSpec(result, STargetScale(kHB, 1, 0), other, kProbeD);
    EXPECT_EQ(result.scale, kHB) << "material-independent records serve every material";

    EXPECT_TRUE(doc.IsScaleConvertible(1, kProbeD));
    EXPECT_FALSE(doc.IsScaleConvertible(3, kProbeD)) << "a material-independent record does not count";
    EXPECT_FALSE(doc.IsScaleConvertible(1, 0x777)) << "an unknown probe code is not 'any probe'";
}

TEST_F(VeskDocTest, CustomConversionsOfNewSeriesAreWrittenToTheConversionsFolder)
{
    using namespace SeriesFixture;
    TempDir dir;
    doc.SetConversionFolder(dir.Path() + u'/');
    // A series with a customer conversion the table does not know yet.
    const auto record =
        LinearRecord(kProbeD, kHV, 0, 0, 1, 300.0f, 900.0f, -123.0f, 2.0f, QStringLiteral("DocBrass"));
    auto series = std::make_unique<CMeasSeries1>(10);
    series->Clear();
    series->SetProbeId(SProbeId(kProbeD, nullptr, -1));
    {
        CConvTable::Guard lock(CConvTable::Instance());
        series->GetConvEnumerator().SetPrivateRecord(record.data(), record.size());
    }
    SMaterial brass;
    brass.SetCustom(QStringLiteral("DocBrass"), 0);
    ASSERT_TRUE(series->SetConversion(STargetScale(kHV, 1, 0), brass));
    series->AddReading(500.0f, 500.0f, 0, -1);
    series->CommitNew();

    ASSERT_TRUE(AddFile(doc, QStringLiteral("\\brass.vsm"), BlockOf(*series)));
    const QStringList written = QDir(dir.Path()).entryList(QDir::Files);
    ASSERT_EQ(written.size(), 1);
    EXPECT_TRUE(written[0].endsWith(QStringLiteral(".cnv"))) << written[0].toStdString();
    EXPECT_GT(QFileInfo(dir.File(written[0])).size(), 0);

    EXPECT_TRUE(boxes.boxes.empty());

    // Known records are not written again; a folder that cannot be written is skipped,
    // and the user hears which file is missing.
    QFile::remove(dir.File(written[0]));
    ASSERT_TRUE(AddFile(doc, QStringLiteral("\\brass2.vsm"), BlockOf(*series)));
    EXPECT_TRUE(QDir(dir.Path()).entryList(QDir::Files).isEmpty());
    doc.SetConversionFolder(dir.Path() + QStringLiteral("/missing/"));
    const auto fresh =
        LinearRecord(kProbeD, kHV, 0, 0, 1, 300.0f, 900.0f, -124.0f, 2.0f, QStringLiteral("DocTin"));
    {
        CConvTable::Guard lock(CConvTable::Instance());
        series->GetConvEnumerator().SetPrivateRecord(fresh.data(), fresh.size());
    }
    SMaterial tin;
    tin.SetCustom(QStringLiteral("DocTin"), 0);
    ASSERT_TRUE(series->SetConversion(STargetScale(kHV, 1, 0), tin));
    EXPECT_NO_THROW(doc.StoreSeriesConversions(series.get()));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.startsWith(dir.Path() + QStringLiteral("/missing/")));
    EXPECT_TRUE(boxes.boxes[0].text.endsWith(QStringLiteral("(No such file or directory)")))
        << boxes.boxes[0].text.toStdString();
    EXPECT_TRUE(boxes.boxes[0].text.contains(Platform::LoadString(StringId::IDS_CANNOT_CREATE_FILE)))
        << "nothing was written: " << boxes.boxes[0].text.toStdString();
}

TEST_F(VeskDocTest, AConversionFileThatCannotBeWrittenLeavesTheOldOneIntact)
{
    using namespace SeriesFixture;
    TempDir dir;
    doc.SetConversionFolder(dir.Path() + u'/');
    const auto record =
        LinearRecord(kProbeD, kHV, 0, 0, 1, 300.0f, 900.0f, -125.0f, 2.0f, QStringLiteral("DocZinc"));
    auto series = std::make_unique<CMeasSeries1>(10);
    series->Clear();
    series->SetProbeId(SProbeId(kProbeD, nullptr, -1));
    {
        CConvTable::Guard lock(CConvTable::Instance());
        series->GetConvEnumerator().SetPrivateRecord(record.data(), record.size());
    }
    SMaterial zinc;
    zinc.SetCustom(QStringLiteral("DocZinc"), 0);
    ASSERT_TRUE(series->SetConversion(STargetScale(kHV, 1, 0), zinc));
    series->AddReading(500.0f, 500.0f, 0, -1);
    QString name;
    ASSERT_TRUE(series->GetCustomConversionFileName(false, name));
    // A file of that name is already there (say, an older record of the same name).
    {
        QFile old(dir.File(name));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("older record");
    }
    {
        FileSizeLimit limit(10); // shorter than any conversion file
        doc.StoreSeriesConversions(series.get());
    }
    EXPECT_EQ(DocTest::FileBytes(dir.File(name)), QByteArray("older record"));
    EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden), QStringList{name})
        << "no temporary file is left";
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, dir.File(name) + QStringLiteral("\n\nThe file could not be written "
                                                                   "completely; it was not created or "
                                                                   "changed.\n(File too large)"));
}
