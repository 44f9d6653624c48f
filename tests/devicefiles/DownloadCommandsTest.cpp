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

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>
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

    // The wizard, then the explorer: "Site" chosen, the tester's fault switched on, and
    // Download clicked.
    void QueueSiteDownload(std::function<void(Sim::Faults&)> fault)
    {
        QueueWizard();
        QueueExplorer(
            [this, fault](CVesk3Explorer& explorer)
            {
                Choose(explorer, {"Site"});
                sim.Engine().UpdateFaults(fault);
                Click(explorer, "download");
            });
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
// project. A network link comes back at once: the file is asked for once more and every
// file arrives. A serial line that hung up does not come back: the tester is dropped, the
// user is told which files are missing, and the next download connects afresh.
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

    CFolderData* site = Folder("\\A\\Site\\");
    ASSERT_NE(site, nullptr);
    EXPECT_TRUE(Doc().IsModified());
    EXPECT_FALSE(frame->IsTransferRunning());
    if (link == Link::tcp)
    {
        EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text.toStdString();
        EXPECT_EQ(DocTest::SeriesNames(*site), (QStringList{"F1", "F2", "F3"}));
        EXPECT_EQ(SeriesBytes(*site, 0), f1);
        EXPECT_EQ(Loaded(kVsmRoot).count(QStringLiteral("\\Persistent Storage\\vsm\\Site.DIR\\F1.vsm")), 2);
        EXPECT_NE(CVeskoraConnection::Instance().GetDevice(), nullptr);
        return;
    }

    ASSERT_EQ(boxes.boxes.size(), 1u);
    const QString text = boxes.boxes[0].text;
    EXPECT_EQ(CVeskoraConnection::Instance().GetDevice(), nullptr);
    EXPECT_EQ(text, QStringLiteral("The connection to the Veskora 3 was lost during the download.\n\n"
                                   "These files could not be downloaded:\n\\Site\\F1.vsm\n\\Site\\F2.vsm\n"
                                   "\\Site\\F3.vsm"));
    EXPECT_EQ(site->GetSeriesCount(), 0);
}

// A reply that comes late (within its time-out) keeps the window alive: the progress
// window repaints while the tester is silent, and a Cancel in the middle of the wait
// ends the batch at once. What arrived before stays; no part of the file under way does.
TEST_P(DownloadOverLink, CancelDuringASlowReplyEndsTheBatchAtOnce)
{
    sim.RemovePath(kCnvRoot);
    Serve(GetParam());
    QueueSiteDownload(
        [](Sim::Faults& f)
        {
            f.slowCommand = "F2.vsm";
            f.slowReplyMs = 3000;
        });

    // Watches the progress window from the moment the tester holds F2 back; one second
    // into the wait the user clicks Cancel.
    QPointer<QWidget> window;
    int paints = 0;
    QElapsedTimer waiting;
    QElapsedTimer sinceClick;
    struct PaintCounter : QObject
    {
        QPointer<QWidget>* window;
        int* paints;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Paint && *window && watched == window->data())
                ++*paints;
            return false;
        }
    } counter;
    counter.window = &window;
    counter.paints = &paints;
    qApp->installEventFilter(&counter);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout,
                     [&]
                     {
                         if (!waiting.isValid())
                         {
                             if (Loaded(kVsmRoot).size() < 2)
                                 return;
                             for (QWidget* w : QApplication::topLevelWidgets())
                                 if (w->isVisible() &&
                                     w->windowTitle().startsWith(QStringLiteral("Downloading from device")))
                                     window = w;
                             waiting.start();
                             paints = 0;
                             return;
                         }
                         if (sinceClick.isValid() || waiting.elapsed() < 1000 || !window)
                             return;
                         auto* cancel = window->findChild<QPushButton*>(QStringLiteral("cancel"));
                         ASSERT_NE(cancel, nullptr);
                         sinceClick.start();
                         QTest::mouseClick(cancel, Qt::LeftButton);
                     });
    watch.start(10);
    frame->OnCmdMsg(Cmd::ID_DOWNLOAD);
    const qint64 afterClick = sinceClick.isValid() ? sinceClick.elapsed() : -1;
    watch.stop();
    qApp->removeEventFilter(&counter);

    ASSERT_TRUE(sinceClick.isValid()) << "the progress window was not there during the wait";
    EXPECT_LE(afterClick, 500);
    // At least one paint every 100 ms of the second before the click.
    EXPECT_GE(paints, 10);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text.toStdString();
    EXPECT_EQ(DocTest::SeriesNames(*Folder("\\A\\Site\\")), QStringList{"F1"});
    EXPECT_FALSE(frame->IsTransferRunning());
}

// Cancel while the tester holds a file back, and the tester is still there: its late
// answer to the cancelled request comes after the cancel, and neither the keep-alive
// that follows nor the next command takes it for its own answer. No "connection lost";
// the next download finds the tester without the wizard, and every file arrives.
TEST_P(DownloadOverLink, ACancelledSlowFileCostsNoTester)
{
    sim.RemovePath(kCnvRoot);
    Serve(GetParam());
    // F2 comes 5 s late: the keep-alive asks while the tester still works on it.
    QueueSiteDownload(
        [](Sim::Faults& f)
        {
            f.slowCommand = "F2.vsm";
            f.slowReplyMs = 5000;
        });
    bool clicked = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout,
                     [&]
                     {
                         if (clicked || Loaded(kVsmRoot).size() < 2)
                             return;
                         for (QWidget* w : QApplication::topLevelWidgets())
                             if (w->isVisible() &&
                                 w->windowTitle().startsWith(QStringLiteral("Downloading from device")))
                                 if (auto* cancel = w->findChild<QPushButton*>(QStringLiteral("cancel")))
                                 {
                                     clicked = true;
                                     sim.Engine().ClearLog();
                                     QTest::mouseClick(cancel, Qt::LeftButton);
                                 }
                     });
    watch.start(10);
    frame->OnCmdMsg(Cmd::ID_DOWNLOAD);
    watch.stop();
    ASSERT_TRUE(clicked);

    // The tester sends F2 after all, then answers the keep-alive.
    CVeskoraConnection& connection = CVeskoraConnection::Instance();
    ASSERT_TRUE(QTest::qWaitFor(
        [&]
        {
            for (const QByteArray& f : sim.Engine().BinaryFrames())
                if (f.startsWith(QByteArray("\xC2\xF4\x10", 3)))
                    return !connection.IsKeepAliveRunning();
            return false;
        },
        kDeadlineMs));
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text.toStdString();
    ASSERT_NE(connection.GetDevice(), nullptr);

    const qsizetype wizards = dialogs.titles.size();
    QueueExplorer(
        [](CVesk3Explorer& explorer)
        {
            Choose(explorer, {"Site"});
            Click(explorer, "download");
        });
    frame->OnCmdMsg(Cmd::ID_DOWNLOAD);
    EXPECT_EQ(dialogs.titles.size(), wizards + 1); // the explorer alone
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text.toStdString();
    EXPECT_EQ(DocTest::SeriesNames(*Folder("\\A\\Site\\")).count(QStringLiteral("F2")), 1);
    EXPECT_EQ(DocTest::SeriesNames(*Folder("\\A\\Site\\")).count(QStringLiteral("F3")), 1);
}

// One reply later than its time-out fails that file alone; the tester answers the next
// request, so the batch goes on and every other file arrives.
TEST_P(DownloadOverLink, AReplyPastItsTimeOutFailsThatFileAlone)
{
    sim.RemovePath(kCnvRoot);
    Serve(GetParam());
    QueueSiteDownload(
        [](Sim::Faults& f)
        {
            f.slowCommand = "F2.vsm";
            f.slowReplyMs = 8000;
        });
    frame->OnCmdMsg(Cmd::ID_DOWNLOAD);

    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("These files could not be downloaded:\n\\Site\\F2.vsm"));
    CFolderData* site = Folder("\\A\\Site\\");
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(DocTest::SeriesNames(*site), (QStringList{"F1", "F3"}));
    EXPECT_EQ(SeriesBytes(*site, 1), f3);
    // A tester that answers late is still there: the file is not asked for again as
    // after a lost link.
    EXPECT_EQ(Loaded(kVsmRoot).count(QStringLiteral("\\Persistent Storage\\vsm\\Site.DIR\\F2.vsm")), 1);
    EXPECT_NE(CVeskoraConnection::Instance().GetDevice(), nullptr);
}

// The tester closes the link in order after the second of four files (it restarts, or
// its network shuts the connection): the link is opened again and all four arrive.
TEST_F(DownloadTest, ATesterThatClosesTheLinkAfterTheSecondFileCostsNoFile)
{
    const QByteArray f4 = SeriesFile({70.0f});
    sim.AddFile(kVsmRoot + "Site.DIR\\F4.vsm", f4);
    sim.RemovePath(kCnvRoot);
    Serve(Link::tcp);
    QueueSiteDownload(
        [](Sim::Faults& f)
        {
            f.cutAfterCommand = "F2.vsm";
            f.orderlyClose = true;
        });
    frame->OnCmdMsg(Cmd::ID_DOWNLOAD);

    EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text.toStdString();
    CFolderData* site = Folder("\\A\\Site\\");
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(DocTest::SeriesNames(*site), (QStringList{"F1", "F2", "F3", "F4"}));
    EXPECT_EQ(SeriesBytes(*site, 3), f4);
    EXPECT_GE(sim.Engine().Connections(), 2);
    EXPECT_NE(CVeskoraConnection::Instance().GetDevice(), nullptr);
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
