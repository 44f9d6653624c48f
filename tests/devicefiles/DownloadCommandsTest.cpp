// The download of measurement files and customer conversions end to end: the main
// window's command, the connection wizard and the measurement file explorer driven
// through their widgets, the transfer against the simulated portable tester over TCP on
// loopback and a pseudo-terminal, and the project document afterwards.
#include "app/LocalTree.h"
#include "document/DocView.h"
#include "measurement/CnvFile.h"
#include "measurement/ConvTable.h"
#include "measurement/FolderData.h"
#include "tests/document/DocTestSupport.h"
#include "tests/devicefiles/TesterCommandFixture.h"
#include "tests/support/ConvRecordBuilder.h"

#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <thread>

using namespace TesterCommands;

namespace
{
QByteArray SeriesFile(const std::vector<float>& readings)
{
    const std::vector<uint8_t> bytes = DocTest::BlockOf(*DocTest::MakeSeries(readings));
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// The series as a measurement file again.
QByteArray SeriesBytes(const CFolderData& folder, int index)
{
    const std::vector<uint8_t> bytes = DocTest::BlockOf(*folder.GetSeriesAt(index)->GetSeries());
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

class DownloadTest : public Fixture
{
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        f1 = SeriesFile({40.5f, 41.0f, 42.25f});
        f2 = SeriesFile({55.0f});
        f3 = SeriesFile({60.0f, 61.0f});
        sim.AddFile(kVsmRoot + "Site.DIR\\F1.vsm", f1);
        sim.AddFile(kVsmRoot + "Site.DIR\\F2.vsm", f2);
        sim.AddFile(kVsmRoot + "Site.DIR\\F3.vsm", f3);
        sim.AddFolder(kVsmRoot + "Empty.DIR\\");
        // The user chose \A\ in the project tree, and the project is saved (not modified).
        Doc().AddMeasurementFile(QStringLiteral("\\A\\"), nullptr);
        Doc().AddMeasurementFile(QString(), nullptr);
        auto* tree = frame->LeftView()->findChild<CLocalTree*>();
        ASSERT_NE(tree, nullptr);
        ASSERT_TRUE(tree->SelectItem(tree->FindItem(QStringLiteral("\\A\\"))));
        ASSERT_EQ(Doc().GetCurrentFolderPath(), QStringLiteral("\\A\\"));
        ASSERT_TRUE(Doc().SaveProject(env.Dir().File("before.v3p")));
        ASSERT_FALSE(Doc().IsModified());
        Doc().AddView(&view);
    }
    void TearDown() override
    {
        Doc().RemoveView(&view);
        Fixture::TearDown();
    }

    CFolderData* Folder(const char* path) { return Doc().LookupFolder(QString::fromLatin1(path)); }

    // The batch ended through the document: modified, and every view rebuilds.
    void ExpectModifiedAndViewsTold()
    {
        EXPECT_TRUE(Doc().IsModified());
        EXPECT_FALSE(view.hints.empty());
        EXPECT_TRUE(
            std::all_of(view.hints.begin(), view.hints.end(), [](int h) { return h == DOC_HINT_ALL; }));
    }

    FakeView view;
    QByteArray f1, f2, f3;
};

class DownloadOverLink : public DownloadTest, public ::testing::WithParamInterface<Link>
{
};

TEST_P(DownloadOverLink, AChosenTesterFolderLandsBelowTheCurrentFolder)
{
    Serve(GetParam());
    QueueWizard();
    QueueExplorer(
        [](CVesk3Explorer& explorer)
        {
            EXPECT_EQ(explorer.windowTitle(), QStringLiteral("Select the measurement series to download..."));
            // Folders first, then files, each in listing order; names without extensions.
            EXPECT_EQ(RowTexts(explorer), (QStringList{"Empty", "Site A", "Site", "Test"}));
            Choose(explorer, {"Site", "Empty"});
            Click(explorer, "download");
        });
    EXPECT_TRUE(frame->OnCmdMsg(Cmd::ID_DOWNLOAD));

    EXPECT_EQ(dialogs.titles.size(), 2);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text.toStdString();
    EXPECT_EQ(Loaded(kVsmRoot), (QStringList{"\\Persistent Storage\\vsm\\Site.DIR\\F1.vsm",
                                             "\\Persistent Storage\\vsm\\Site.DIR\\F2.vsm",
                                             "\\Persistent Storage\\vsm\\Site.DIR\\F3.vsm"}));
    CFolderData* site = Folder("\\A\\Site\\");
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(DocTest::SeriesNames(*site), (QStringList{"F1", "F2", "F3"}));
    EXPECT_EQ(SeriesBytes(*site, 0), f1);
    EXPECT_EQ(SeriesBytes(*site, 1), f2);
    EXPECT_EQ(SeriesBytes(*site, 2), f3);
    // A chosen empty folder is a project folder too.
    ASSERT_NE(Folder("\\A\\Empty\\"), nullptr);
    EXPECT_EQ(Folder("\\A\\Empty\\")->GetSeriesCount(), 0);
    EXPECT_EQ(Folder("\\A\\")->GetSeriesCount(), 0);
    ExpectModifiedAndViewsTold();
    // The tester stays connected for the next command.
    EXPECT_NE(CVeskoraConnection::Instance().GetDevice(), nullptr);
    EXPECT_FALSE(frame->IsTransferRunning());
}

INSTANTIATE_TEST_SUITE_P(Links, DownloadOverLink, ::testing::Values(Link::tcp, Link::pty),
                         [](const auto& info) { return info.param == Link::tcp ? "Tcp" : "Pty"; });

TEST_F(DownloadTest, FilesChosenInsideAFolderLandInTheCurrentFolder)
{
    Serve(Link::tcp);
    QueueWizard();
    QueueExplorer(
        [](CVesk3Explorer& explorer)
        {
            DoubleClick(explorer, "Site");
            EXPECT_EQ(explorer.CurrentPath(), QStringLiteral("\\Site.DIR\\"));
            EXPECT_EQ(explorer.findChild<QLabel*>(QStringLiteral("pathLabel"))->text(),
                      QStringLiteral("\\Site\\"));
            EXPECT_EQ(RowTexts(explorer), (QStringList{"F1", "F2", "F3"}));
            // A double click on a file does nothing.
            DoubleClick(explorer, "F2");
            EXPECT_EQ(explorer.CurrentPath(), QStringLiteral("\\Site.DIR\\"));
            Choose(explorer, {"F1", "F3"});
            Click(explorer, "download");
        });
    frame->OnCmdMsg(Cmd::ID_DOWNLOAD);

    EXPECT_EQ(Loaded(kVsmRoot), (QStringList{"\\Persistent Storage\\vsm\\Site.DIR\\F1.vsm",
                                             "\\Persistent Storage\\vsm\\Site.DIR\\F3.vsm"}));
    EXPECT_EQ(DocTest::SeriesNames(*Folder("\\A\\")), (QStringList{"F1", "F3"}));
    EXPECT_EQ(Folder("\\A\\Site\\"), nullptr);
}

TEST_F(DownloadTest, CancelledExplorerTouchesNothingAndNothingChosenStillFetchesConversions)
{
    Serve(Link::tcp);
    QueueWizard();
    QueueExplorer([](CVesk3Explorer& explorer) { Click(explorer, "cancel"); });
    frame->OnCmdMsg(Cmd::ID_DOWNLOAD);
    EXPECT_FALSE(Doc().IsModified());
    EXPECT_TRUE(view.hints.empty());
    EXPECT_TRUE(Loaded(kCnvRoot).isEmpty());

    // The tester is held: no wizard the second time.
    QueueExplorer([](CVesk3Explorer& explorer) { Click(explorer, "download"); });
    frame->OnCmdMsg(Cmd::ID_DOWNLOAD);
    EXPECT_EQ(dialogs.titles.size(), 3);
    EXPECT_TRUE(Loaded(kVsmRoot).isEmpty());
    EXPECT_EQ(Loaded(kCnvRoot).size(), 2);
    ExpectModifiedAndViewsTold();
}

TEST_F(DownloadTest, ARefusedFileIsNamedOnceAndTheOthersArrive)
{
    Serve(Link::tcp);
    QueueWizard();
    QueueExplorer(
        [this](CVesk3Explorer& explorer)
        {
            Choose(explorer, {"Site"});
            // Gone from the tester after the listing: its load is refused.
            sim.RemovePath(kVsmRoot + "Site.DIR\\F2.vsm");
            Click(explorer, "download");
        });
    frame->OnCmdMsg(Cmd::ID_DOWNLOAD);

    EXPECT_EQ(DocTest::SeriesNames(*Folder("\\A\\Site\\")), (QStringList{"F1", "F3"}));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("These files could not be downloaded:\n\\Site\\F2.vsm"));
    EXPECT_NE(CVeskoraConnection::Instance().GetDevice(), nullptr);
}

// The tester cuts the link in the middle of a file. No part of the cut file reaches the
// project and the user is told which files are missing; a tester that no longer answers
// (a serial line that hung up) is dropped, and the next download connects afresh.
TEST_P(DownloadOverLink, ALinkCutInTheMiddleOfAFileLeavesNoHalfSeries)
{
    const Link link = GetParam();
    // No customer conversions: the first file data on the line is F1's.
    sim.RemovePath(kCnvRoot);
    Serve(link);
    QueueWizard();
    QueueExplorer(
        [this](CVesk3Explorer& explorer)
        {
            Choose(explorer, {"Site"});
            // The first file stops after its length field and 16 bytes of data, and the
            // link goes.
            sim.Engine().UpdateFaults([](Sim::Faults& f) { f.dropAfterBytes = 20; });
            Click(explorer, "download");
        });
    frame->OnCmdMsg(Cmd::ID_DOWNLOAD);

    ASSERT_EQ(boxes.boxes.size(), 1u);
    const QString text = boxes.boxes[0].text;
    CFolderData* site = Folder("\\A\\Site\\");
    ASSERT_NE(site, nullptr);
    EXPECT_FALSE(DocTest::SeriesNames(*site).contains(QStringLiteral("F1")));
    EXPECT_TRUE(text.contains(QStringLiteral("\\Site\\F1.vsm"))) << text.toStdString();
    const bool lost = CVeskoraConnection::Instance().GetDevice() == nullptr;
    if (link == Link::pty)
    {
        EXPECT_TRUE(lost);
    }
    if (lost)
    {
        EXPECT_TRUE(
            text.startsWith(QStringLiteral("The connection to the Veskora 3 was lost during the download.")))
            << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("\\Site\\F3.vsm")));
        EXPECT_EQ(site->GetSeriesCount(), 0);
    }
    else
    {
        EXPECT_EQ(DocTest::SeriesNames(*site), (QStringList{"F2", "F3"})) << text.toStdString();
    }
    EXPECT_TRUE(Doc().IsModified());
    EXPECT_FALSE(frame->IsTransferRunning());
    if (link == Link::pty)
        return;

    // The program goes on: the missing file comes with the next download.
    boxes.boxes.clear();
    if (lost)
        QueueWizard();
    QueueExplorer(
        [](CVesk3Explorer& explorer)
        {
            DoubleClick(explorer, "Site");
            Choose(explorer, {"F1"});
            Click(explorer, "download");
        });
    frame->OnCmdMsg(Cmd::ID_DOWNLOAD);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text.toStdString();
    EXPECT_EQ(DocTest::SeriesNames(*Folder("\\A\\")), QStringList{"F1"});
}

TEST_F(DownloadTest, ACustomerConversionIsKeptAndLoadedAgainAfterARestart)
{
    TestRecords::Header header;
    header.matType = 0;
    header.name = u"Mine";
    std::vector<uint8_t> block = TestRecords::Identity(header);
    const size_t recordLength = block.size();
    ASSERT_GT(BuildCnvRecordBlock(block, recordLength), 0u);
    sim.AddFile(kCnvRoot + "Mine.cnv",
                QByteArray(reinterpret_cast<const char*>(block.data()), qsizetype(block.size())));

    Serve(Link::tcp);
    QueueWizard();
    QueueExplorer([](CVesk3Explorer& explorer) { Click(explorer, "download"); });
    frame->OnCmdMsg(Cmd::ID_DOWNLOAD);

    const QString folder = Doc().GetConversionFolder();
    const QStringList kept = QDir(folder).entryList({QStringLiteral("Mine_*.cnv")}, QDir::Files);
    ASSERT_EQ(kept.size(), 1) << folder.toStdString();
    // The record is in the table now; a restart finds it in the file.
    const auto find = []
    {
        CConvTable& table = CConvTable::Instance();
        CConvTable::Guard guard(table);
        for (int slot = 0; slot < table.GetSlotCount(); ++slot)
        {
            SConvRecordInfo info;
            if (table.GetRecordInfo(slot, info) && info.Name() == QStringLiteral("Mine"))
                return slot;
        }
        return -1;
    };
    const int slot = find();
    ASSERT_GE(slot, 0);
    {
        CConvTable::Guard guard(CConvTable::Instance());
        ASSERT_TRUE(CConvTable::Instance().RemoveRecord(slot));
    }
    ASSERT_LT(find(), 0);
    Doc().RemoveView(&view);
    frame.reset();
    frame = std::make_unique<CMainFrame>(QStringList{QStringLiteral("veskador3")});
    Doc().AddView(&view);
    EXPECT_GE(find(), 0);
}

} // namespace
