// The portable tester's own files end to end through the main window: the three file
// managers, the LOG collection, the profiles backup and restore against the simulated
// tester, and the start of the upgrade tool.
#include "document/SettingsFolders.h"
#include "devicefiles/Vesk3FileManager.h"
#include "devicefiles/core/DeviceFileTransfer.h"
#include "platform/gui/FolderDialog.h"
#include "tests/devicefiles/TesterCommandFixture.h"
#include "tests/support/FileDialogRecorder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <iterator>
#include <utility>

using namespace TesterCommands;

namespace
{
const QByteArray kLogRoot = "\\Persistent Storage\\LOG\\";
const QByteArray kProfiles = "\\Persistent Storage\\profiles\\profiles.bin";
const QByteArray kNewProfiles = "\\Persistent Storage\\newProfiles.bin";

// Answers every folder dialog with one folder.
class FolderDialogStub final : public Platform::FolderDialogService
{
public:
    FolderDialogStub() { m_previous = Platform::SetFolderDialogService(this); }
    ~FolderDialogStub() override { Platform::SetFolderDialogService(m_previous); }
    Platform::FolderDialogResult Browse(const Platform::FolderDialogRequest&) override
    {
        return {true, folder};
    }
    QString folder;

private:
    Platform::FolderDialogService* m_previous = nullptr;
};

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QStringList ManagerRows(CVesk3FileManager& manager)
{
    QStringList texts;
    for (int i = 0; i < manager.List()->topLevelItemCount(); ++i)
        texts << manager.List()->topLevelItem(i)->text(0);
    return texts;
}

void ManagerChoose(CVesk3FileManager& manager, const QStringList& texts)
{
    manager.List()->clearSelection();
    for (const QString& text : texts)
    {
        const auto items = manager.List()->findItems(text, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << text.toStdString();
        items.front()->setSelected(true);
    }
}

void ManagerClick(CVesk3FileManager& manager, const char* button)
{
    auto* b = manager.findChild<QAbstractButton*>(QString::fromLatin1(button));
    ASSERT_NE(b, nullptr) << button;
    QTest::mouseClick(b, Qt::LeftButton);
}

class DeviceFileCommandsTest : public Fixture
{
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        // The program's settings key, as the application creates it at start.
        Store().CreateKey(Settings::Registry().KeyPath());
        ASSERT_TRUE(QDir().mkpath(Target()));
        folders.folder = Target();
    }

    QString Target() const { return env.Dir().Path() + QStringLiteral("/out"); }
    QString Local(const QString& name) const { return Target() + u'/' + name; }

    // The next dialog is a file manager; the handler works in it, then it is closed.
    void QueueManager(std::function<void(CVesk3FileManager&)> handler)
    {
        dialogs.Queue(
            [handler = std::move(handler)](QDialog& dialog)
            {
                auto* manager = dynamic_cast<CVesk3FileManager*>(&dialog);
                ASSERT_NE(manager, nullptr) << dialog.windowTitle().toStdString();
                handler(*manager);
                ManagerClick(*manager, "close");
            });
    }

    // The tester was asked to store a file.
    bool AnySave()
    {
        for (const QByteArray& line : sim.Engine().TextCommands())
            if (line.startsWith("SAVE"))
                return true;
        return false;
    }

    QStringList BoxTexts() const
    {
        QStringList texts;
        for (const auto& box : boxes.boxes)
            texts << box.text;
        return texts;
    }

    FolderDialogStub folders;
    FileDialogRecorder files;
};

TEST_F(DeviceFileCommandsTest, ConversionManagerDownloadsMarkedFilesAndFolders)
{
    Serve(Link::tcp);
    QueueWizard();
    QueueManager(
        [](CVesk3FileManager& manager)
        {
            EXPECT_EQ(manager.windowTitle(), QStringLiteral("Customer conversion files on Veskora 3"));
            // Folders first, then files: the top of the conversions folder only.
            EXPECT_EQ(ManagerRows(manager), (QStringList{"Old", "Custom.cnv"}));
            ManagerChoose(manager, {"Old", "Custom.cnv"});
            ManagerClick(manager, "download");
        });
    ASSERT_TRUE(frame->OnCmdMsg(Cmd::ID_CONVERSIONS_MANAGER));

    EXPECT_EQ(ReadAll(Local("Custom.cnv")), sim.FileData(kCnvRoot + "Custom.cnv").value());
    // The marked folder is made again below the chosen folder.
    EXPECT_EQ(ReadAll(Local("Old/B1.cnv")), sim.FileData(kCnvRoot + "Old.DIR\\B1.cnv").value());
    EXPECT_EQ(BoxTexts(), QStringList{"Customer conversion file(s) successfully downloaded and saved."});
    QString remembered;
    Settings::Registry().ReadString(Settings::kRecentlyUsedConversionPath, remembered);
    EXPECT_EQ(remembered, Target() + u'/');
}

// A name from the tester never leads outside the chosen folder, and a failed download
// keeps the user's file of that name and leaves no empty or partial file.
TEST_F(DeviceFileCommandsTest, DownloadsStayInTheFolderAndFailuresKeepTheOldFile)
{
    sim.AddFile(kCnvRoot + "..DIR\\in.cnv", "escaping");
    WriteAll(Local("Custom.cnv"), "the user's own file");
    Serve(Link::tcp);
    QueueWizard();
    QueueManager(
        [this](CVesk3FileManager& manager)
        {
            ManagerChoose(manager, {"."});
            ManagerClick(manager, "download");
            ManagerChoose(manager, {"Custom.cnv"});
            sim.Engine().UpdateFaults([](Sim::Faults& f) { f.refuse.insert("LOAD"); });
            ManagerClick(manager, "download");
        });
    frame->OnCmdMsg(Cmd::ID_CONVERSIONS_MANAGER);

    ASSERT_EQ(boxes.boxes.size(), 2u) << BoxTexts().join(u'|').toStdString();
    EXPECT_TRUE(boxes.boxes[0].text.startsWith(QStringLiteral("These files on the Veskora 3 have names")));
    EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("..DIR\\in.cnv")));
    EXPECT_EQ(boxes.boxes[1].text,
              QStringLiteral("An unknown error occurred while downloading customer conversion file(s)!"));
    EXPECT_EQ(boxes.boxes[1].type & Platform::MB_ICONSTOP, uint32_t(Platform::MB_ICONSTOP));
    EXPECT_EQ(ReadAll(Local("Custom.cnv")), QByteArray("the user's own file"));
    EXPECT_EQ(QDir(Target()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"Custom.cnv"});
    EXPECT_FALSE(QFile::exists(env.Dir().Path() + QStringLiteral("/in.cnv")));
}

// A local file that cannot be written ends the download with the failure message, and the
// progress window is gone.
TEST_F(DeviceFileCommandsTest, ALocalFileThatCannotBeWrittenIsReported)
{
    ASSERT_TRUE(QDir().mkpath(Local("Custom.cnv")));
    Serve(Link::tcp);
    QueueWizard();
    QueueManager(
        [](CVesk3FileManager& manager)
        {
            ManagerChoose(manager, {"Custom.cnv"});
            ManagerClick(manager, "download");
            for (QWidget* w : QApplication::topLevelWidgets())
                EXPECT_FALSE(w->isVisible() && w->findChild<QWidget*>(QStringLiteral("bar")) &&
                             w->findChild<QWidget*>(QStringLiteral("cancel")))
                    << "a progress window is still open";
        });
    frame->OnCmdMsg(Cmd::ID_CONVERSIONS_MANAGER);

    ASSERT_EQ(boxes.boxes.size(), 1u) << BoxTexts().join(u'|').toStdString();
    // The failure names the file and why it could not be written.
    EXPECT_EQ(boxes.boxes[0].text,
              QStringLiteral("An unknown error occurred while downloading customer conversion file(s)!\n\n") +
                  Local("Custom.cnv") +
                  QStringLiteral("\n\nFile could not be created or opened! Is it already open?\n(It is not an "
                                 "ordinary file (a folder or a device, for instance).)"));
    EXPECT_EQ(boxes.boxes[0].type & Platform::MB_ICONSTOP, uint32_t(Platform::MB_ICONSTOP));
    EXPECT_TRUE(QFileInfo(Local("Custom.cnv")).isDir());
}

TEST_F(DeviceFileCommandsTest, UploadWithRightsRefreshesAndUnsafeNamesAreNotSent)
{
    WriteAll(Local("New.cnv"), "a new conversion");
    WriteAll(Local("Bad\".cnv"), "quote");
    files.AnswerMany(QStringList{Local("Bad\".cnv")});
    files.AnswerMany(QStringList{Local("New.cnv")});
    Serve(Link::tcp);
    QueueWizard();
    QueueManager(
        [this](CVesk3FileManager& manager)
        {
            ManagerClick(manager, "add");
            EXPECT_FALSE(AnySave());
            ManagerClick(manager, "add");
            EXPECT_EQ(ManagerRows(manager), (QStringList{"Old", "Custom.cnv", "New.cnv"}));
        });
    frame->OnCmdMsg(Cmd::ID_CONVERSIONS_MANAGER);

    ASSERT_EQ(boxes.boxes.size(), 2u) << BoxTexts().join(u'|').toStdString();
    EXPECT_TRUE(boxes.boxes[0].text.startsWith(QStringLiteral("These file names cannot be sent")));
    EXPECT_EQ(boxes.boxes[1].text,
              QStringLiteral("The customer conversion file(s) where/was successfully uploaded."));
    EXPECT_EQ(sim.FileData(kCnvRoot + "New.cnv"), QByteArray("a new conversion"));
    EXPECT_FALSE(sim.Exists(kCnvRoot + "Bad\".cnv"));
}

// Each name must become one tester name in the folder of its kind: a name Linux allows
// but the tester reads as a path, or one that is blank, is refused with its reason before
// anything goes.
TEST_F(DeviceFileCommandsTest, UploadNamesThatAreNotOneTesterNameSendNothing)
{
    const QString cannot = QStringLiteral("These file names cannot be sent to the Veskora 3 (");
    const QString separator = cannot + QStringLiteral("they hold a backslash or a slash");
    const QString blank = cannot + QStringLiteral("they are blank or made only of periods");
    const std::pair<QString, QString> refused[] = {
        {QStringLiteral("x\\..\\newProfiles.bin"), separator},
        {QStringLiteral("sub\\a.cnv"), separator},
        {QStringLiteral("   "), blank},
        {QStringLiteral("..."), blank},
        {QStringLiteral("a\tb.cnv"), cannot + QStringLiteral("they hold a control character")},
        {QStringLiteral("q\".cnv"), cannot + QStringLiteral("they hold a quotation mark or a line break")},
    };
    for (const auto& [name, reason] : refused)
    {
        WriteAll(Local(name), "must not reach the tester");
        files.AnswerMany(QStringList{Local(name)});
    }
    Serve(Link::tcp);
    QueueWizard();
    QueueManager(
        [&](CVesk3FileManager& manager)
        {
            for (const auto& [name, reason] : refused)
            {
                ManagerClick(manager, "add");
                EXPECT_FALSE(AnySave()) << name.toStdString();
            }
        });
    frame->OnCmdMsg(Cmd::ID_CONVERSIONS_MANAGER);

    ASSERT_EQ(boxes.boxes.size(), std::size(refused)) << BoxTexts().join(u'|').toStdString();
    for (size_t i = 0; i < std::size(refused); ++i)
    {
        const auto& [name, reason] = refused[i];
        EXPECT_TRUE(boxes.boxes[i].text.startsWith(reason)) << boxes.boxes[i].text.toStdString();
        EXPECT_TRUE(boxes.boxes[i].text.contains(name)) << name.toStdString();
    }
    EXPECT_FALSE(AnySave());
}

TEST_F(DeviceFileCommandsTest, WithoutSuperUserRightsNothingIsAddedOrDeleted)
{
    Sim::PortableTesterSim::LoginProfile user;
    user.superUser = false;
    sim.SetLoginProfile(user);
    WriteAll(Local("New.chm"), "help");
    files.AnswerMany(QStringList{Local("New.chm")});
    Serve(Link::tcp);
    QueueWizard();
    QueueManager(
        [](CVesk3FileManager& manager)
        {
            EXPECT_EQ(ManagerRows(manager), QStringList{"Help_EN.chm"});
            ManagerClick(manager, "add");
            ManagerChoose(manager, {"Help_EN.chm"});
            manager.DeleteMarked();
        });
    frame->OnCmdMsg(Cmd::ID_HELPFILES_MANAGER);

    EXPECT_EQ(BoxTexts(),
              (QStringList{"Adding of files not possible!\nThe user profile you are logged into has no "
                           "super user rights!",
                           "Deleting of the files not possible!\nThe user profile you are logged into has "
                           "no super user rights!"}));
    EXPECT_FALSE(AnySave());
    EXPECT_TRUE(files.requests.empty());
    EXPECT_TRUE(sim.Exists(Sim::PortableTesterSim::kRoot + "helpfiles\\Help_EN.chm"));
}

TEST_F(DeviceFileCommandsTest, DeleteRemovesFilesFromTheTesterAndTheList)
{
    sim.AddFile(Sim::PortableTesterSim::kRoot + "languageDLL\\Vesk3_FR.dll", "fr");
    Serve(Link::tcp);
    QueueWizard();
    QueueManager(
        [this](CVesk3FileManager& manager)
        {
            EXPECT_EQ(ManagerRows(manager), (QStringList{"Vesk3_FR.dll", "Veskora3_DE.dll"}));
            ManagerChoose(manager, {"Veskora3_DE.dll", "Vesk3_FR.dll"});
            boxes.Answer(Platform::IDYES);
            QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
            QCoreApplication::sendEvent(manager.List(), &del);
            EXPECT_TRUE(ManagerRows(manager).isEmpty());
        });
    frame->OnCmdMsg(Cmd::ID_LANGUAGE_MANAGER);

    EXPECT_EQ(BoxTexts(), QStringList{"Do you really want to delete the selected files?"});
    EXPECT_FALSE(sim.Exists(Sim::PortableTesterSim::kRoot + "languageDLL\\Veskora3_DE.dll"));
    EXPECT_FALSE(sim.Exists(Sim::PortableTesterSim::kRoot + "languageDLL\\Vesk3_FR.dll"));
}

// The tester falls silent while the keep-alive asks it, and the user deletes a file
// then: the keep-alive leaves the transfer alone. The user learns of the failure once,
// after the "Deleting..." window is gone; no box comes over that window while it is up,
// so its Cancel stays within reach, and Cancel ends the delete at once.
TEST_F(DeviceFileCommandsTest, ASilentTesterDuringADeleteIsToldOnceAfterTheTransfer)
{
    struct Case
    {
        const char* name;
        bool cancel; // clicked once the keep-alive's own time-out has passed
        QStringList told;
    };
    const Case cases[] = {
        {"the delete fails",
         false,
         {"Do you really want to delete the selected files?", "An error occured while deleting files!"}},
        {"Cancel in the wait", true, {"Do you really want to delete the selected files?"}},
    };
    constexpr qint64 kKeepAliveAnswerMs = 4000;
    Serve(Link::pty);
    CVeskoraConnection& connection = CVeskoraConnection::Instance();
    for (const Case& c : cases)
    {
        boxes.boxes.clear();
        sim.Engine().UpdateFaults([](Sim::Faults& f) { f.silent = false; });
        if (!connection.GetDevice())
            QueueWizard();
        // Watches the progress window as the user sees it.
        QPointer<QWidget> window;
        bool seen = false;
        bool boxOverWindow = false;
        bool cancelHidden = false;
        qint64 sinceClick = -1;
        QElapsedTimer running;
        QElapsedTimer clicked;
        QTimer watch;
        QObject::connect(
            &watch, &QTimer::timeout,
            [&]
            {
                if (!window)
                {
                    for (QWidget* w : QApplication::topLevelWidgets())
                        if (w->isVisible() && w->windowTitle().startsWith(QStringLiteral("Deleting...")))
                        {
                            window = w;
                            seen = true;
                            running.start();
                        }
                    return;
                }
                if (!window->isVisible())
                    return;
                auto* cancel = window->findChild<QPushButton*>(QStringLiteral("cancel"));
                boxOverWindow = boxOverWindow || boxes.boxes.size() > 1;
                cancelHidden = cancelHidden || !cancel || !cancel->isVisible() || !cancel->isEnabled() ||
                               QApplication::activeModalWidget() != window;
                if (c.cancel && cancel && !clicked.isValid() && running.elapsed() > kKeepAliveAnswerMs + 500)
                {
                    clicked.start();
                    QTest::mouseClick(cancel, Qt::LeftButton);
                }
            });
        QueueManager(
            [&](CVesk3FileManager& manager)
            {
                ManagerChoose(manager, {"Custom.cnv"});
                // The keep-alive asks the tester, which no longer answers.
                sim.Engine().ClearLog();
                sim.Engine().UpdateFaults([](Sim::Faults& f) { f.silent = true; });
                ASSERT_TRUE(QTest::qWaitFor(
                    [&]
                    {
                        for (const QByteArray& frame : sim.Engine().BinaryFrames())
                            if (frame.startsWith(QByteArray("\xC2\xF4\x10", 3)))
                                return true;
                        return false;
                    },
                    kDeadlineMs));
                boxes.Answer(Platform::IDYES);
                watch.start(10);
                QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
                QCoreApplication::sendEvent(manager.List(), &del);
                if (clicked.isValid())
                    sinceClick = clicked.elapsed();
                watch.stop();
            });
        ASSERT_TRUE(frame->OnCmdMsg(Cmd::ID_CONVERSIONS_MANAGER)) << c.name;

        ASSERT_TRUE(seen) << c.name << ": no progress window";
        EXPECT_FALSE(boxOverWindow) << c.name;
        EXPECT_FALSE(cancelHidden) << c.name;
        EXPECT_EQ(BoxTexts(), c.told) << c.name;
        if (c.cancel)
        {
            ASSERT_TRUE(clicked.isValid()) << c.name;
            EXPECT_LT(sinceClick, 1000) << c.name;
        }
        EXPECT_TRUE(sim.Exists(kCnvRoot + "Custom.cnv")) << c.name;
        // The next case starts with a tester that answers, found afresh.
        connection.DropLostDevice();
    }
}

TEST_F(DeviceFileCommandsTest, LogFilesLandInOneCollectionFile)
{
    const QString log = Local("Veskora3.log");
    files.Answer(log);
    Serve(Link::tcp);
    QueueWizard();
    ASSERT_TRUE(frame->OnCmdMsg(Cmd::ID_DOWNLOAD_LOG));

    const QStringList loaded = Loaded(kLogRoot);
    ASSERT_EQ(loaded.size(), 2) << loaded.join(u'|').toStdString();
    EXPECT_TRUE(loaded.contains(QStringLiteral("\\Persistent Storage\\LOG\\2013.DIR\\old.log")));
    QByteArray expected;
    for (const QString& path : loaded)
        expected += DeviceFileTransfer::LogFileHeader(path) + sim.FileData(path.toLatin1()).value();
    EXPECT_EQ(ReadAll(log), expected);
    EXPECT_EQ(BoxTexts(), QStringList{"Log files successfully downloaded and saved."});
    ASSERT_FALSE(files.requests.empty());
    EXPECT_EQ(files.requests[0].fileName, QStringLiteral("Veskora3.log"));
}

// Cancel in the progress window ends the collection with the failure message; the earlier
// collection file stays as it was.
TEST_F(DeviceFileCommandsTest, ACancelledLogCollectionKeepsTheEarlierFile)
{
    const QString log = Local("Veskora3.log");
    WriteAll(log, "earlier collection");
    files.Answer(log);
    Serve(Link::tcp);
    QueueWizard();
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout,
                     []
                     {
                         for (QWidget* w : QApplication::topLevelWidgets())
                             if (auto* cancel = w->findChild<QAbstractButton*>(QStringLiteral("cancel"));
                                 cancel && w->isVisible() && w->findChild<QWidget*>(QStringLiteral("bar")))
                                 cancel->click();
                     });
    // The first pump of the progress window cancels.
    canceller.start(0);
    frame->OnCmdMsg(Cmd::ID_DOWNLOAD_LOG);
    canceller.stop();

    EXPECT_EQ(BoxTexts(), QStringList{"En unknown error occurred while downloading log files!"});
    EXPECT_EQ(ReadAll(log), QByteArray("earlier collection"));
    EXPECT_TRUE(Loaded(kLogRoot).isEmpty());
}

// A collection cut short after two of four LOG files, by Cancel or by a refused
// download, keeps those two: in the chosen file when there was none, else beside the
// earlier collection, which stays byte for byte. The user is told where they are.
TEST_F(DeviceFileCommandsTest, ALogCollectionCutShortKeepsWhatArrived)
{
    sim.AddFile(kLogRoot + "Veskora3_002.log", "third LOG file");
    sim.AddFile(kLogRoot + "Veskora3_003.log", "fourth LOG file");
    struct Case
    {
        const char* what;
        bool earlier;
        bool cancel; // else the tester refuses the third download
    };
    const Case cases[] = {{"cancelled, no earlier collection", false, true},
                          {"cancelled, an earlier collection", true, true},
                          {"failed, an earlier collection", true, false}};
    Serve(Link::tcp);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        const QString folder = Target() + u'/' + QString::fromLatin1(c.what);
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString log = folder + QStringLiteral("/Veskora3.log");
        if (c.earlier)
            WriteAll(log, "earlier collection");
        files.Answer(log);
        if (!CVeskoraConnection::Instance().GetDevice())
            QueueWizard();
        boxes.boxes.clear();
        sim.Engine().ClearLog();
        // The third step of the progress window: two files are in.
        QTimer cutter;
        QObject::connect(&cutter, &QTimer::timeout,
                         [&]
                         {
                             for (QWidget* w : QApplication::topLevelWidgets())
                             {
                                 auto* bar = w->findChild<QProgressBar*>(QStringLiteral("bar"));
                                 if (!w->isVisible() || !bar || bar->value() != 3)
                                     continue;
                                 cutter.stop();
                                 if (c.cancel)
                                     w->findChild<QAbstractButton*>(QStringLiteral("cancel"))->click();
                                 else
                                     sim.Engine().UpdateFaults([](Sim::Faults& f) { f.refuse.insert("LOAD"); });
                             }
                         });
        cutter.start(0);
        frame->UpdateCommandUI();
        frame->Action(Cmd::ID_DOWNLOAD_LOG)->trigger();
        cutter.stop();
        sim.Engine().UpdateFaults([](Sim::Faults& f) { f.refuse.remove("LOAD"); });

        QStringList loaded = Loaded(kLogRoot);
        ASSERT_GE(loaded.size(), 2) << loaded.join(u'|').toStdString();
        QByteArray arrived;
        for (const QString& path : loaded.mid(0, 2))
            arrived += DeviceFileTransfer::LogFileHeader(path) + sim.FileData(path.toLatin1()).value();
        const QString partial = folder + QStringLiteral("/Veskora3 (partial).log");
        if (c.earlier)
        {
            EXPECT_EQ(ReadAll(log), QByteArray("earlier collection"));
            EXPECT_EQ(ReadAll(partial), arrived);
            EXPECT_EQ(BoxTexts(), QStringList{QStringLiteral("Not every LOG file could be downloaded, so %1 was "
                                                             "left as it was. The 2 LOG files that arrived are "
                                                             "saved beside it, in:\n%2")
                                                  .arg(log, partial)});
        }
        else
        {
            EXPECT_EQ(ReadAll(log), arrived);
            EXPECT_FALSE(QFile::exists(partial));
            EXPECT_EQ(BoxTexts(), QStringList{QStringLiteral("Not every LOG file could be downloaded. The 2 LOG "
                                                             "files that arrived are saved in:\n%1")
                                                  .arg(log)});
        }
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), c.earlier ? 2 : 1);
    }
}

TEST_F(DeviceFileCommandsTest, AFailedLogListingIsAFailureNotAnEmptyFile)
{
    const QString log = Local("Veskora3.log");
    files.Answer(log);
    Serve(Link::tcp);
    QueueWizard();
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.refuse.insert("DIRS"); });
    frame->OnCmdMsg(Cmd::ID_DOWNLOAD_LOG);

    EXPECT_EQ(BoxTexts(), QStringList{"En unknown error occurred while downloading log files!"});
    EXPECT_FALSE(QFile::exists(log));
}

TEST_F(DeviceFileCommandsTest, BackupEqualsTheDeviceFileAndAFailedOneKeepsTheOld)
{
    sim.AddFile(kNewProfiles, "not the profiles");
    const QString backup = Local("Profiles.pf3");
    files.Answer(backup);
    files.Answer(backup);
    Serve(Link::tcp);
    QueueWizard();
    frame->OnCmdMsg(Cmd::ID_BACKUP_PROFILES);
    EXPECT_EQ(ReadAll(backup), sim.FileData(kProfiles).value());
    EXPECT_EQ(BoxTexts(), QStringList{"The profiles where successfully backed up."});

    boxes.boxes.clear();
    WriteAll(backup, "the earlier backup");
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.refuse.insert("LOAD"); });
    frame->OnCmdMsg(Cmd::ID_BACKUP_PROFILES);
    EXPECT_EQ(BoxTexts(), QStringList{"An unknown error occurred while backing up the profiles!"});
    EXPECT_EQ(ReadAll(backup), QByteArray("the earlier backup"));
    EXPECT_EQ(QDir(Target()).entryList(QDir::Files | QDir::Hidden), QStringList{"Profiles.pf3"});
}

TEST_F(DeviceFileCommandsTest, RestoreSendsTheFileAndEndsTheConnection)
{
    const QString backup = Local("Profiles.pf3");
    WriteAll(backup, "restored profiles");
    files.Answer(backup);
    Serve(Link::tcp);
    QueueWizard();
    frame->OnCmdMsg(Cmd::ID_RESTORE_PROFILES);

    EXPECT_EQ(sim.FileData(kNewProfiles), QByteArray("restored profiles"));
    EXPECT_EQ(CVeskoraConnection::Instance().GetDevice(), nullptr);
    EXPECT_EQ(BoxTexts(),
              (QStringList{"The profiles where successfully restored.",
                           "The Veskora 3 device has been rebooted.\nPress the YES button on Veskora 3 to "
                           "activate the restored profiles!"}));
}

// A login without super-user rights cannot restore: it hears so before any file dialog.
TEST_F(DeviceFileCommandsTest, RestoreWithoutSuperUserRightsRefusesBeforeAskingForAFile)
{
    Sim::PortableTesterSim::LoginProfile user;
    user.superUser = false;
    sim.SetLoginProfile(user);
    files.Answer(Local("Profiles.pf3"));
    Serve(Link::tcp);
    QueueWizard();
    frame->UpdateCommandUI();
    frame->Action(Cmd::ID_RESTORE_PROFILES)->trigger();

    EXPECT_EQ(BoxTexts(), QStringList{"Restoring of the profiles not possible!\nThe user profile you are "
                                      "logged into has no super user rights!"});
    EXPECT_TRUE(files.requests.empty());
    EXPECT_FALSE(AnySave());
    EXPECT_FALSE(sim.Exists(kNewProfiles));
}

TEST_F(DeviceFileCommandsTest, UpgradeToolMissingKeepsTheNotices)
{
    frame->OnNewDeviceAppVersion(0x00010005, 0);
    const CVersion notice = frame->NewestDeviceAppVersion();
    ASSERT_NE(notice.GetValue(), 0u);
    Settings::Registry().WriteString(CUpgradeTool::kPathSetting, QStringLiteral("/nonexistent/upgrade-tool"));
    frame->OnCmdMsg(Cmd::ID_UPGRADE_DEVICE);

    EXPECT_EQ(BoxTexts(), QStringList{"The Veskora 3 upgrade tool is not installed."});
    EXPECT_EQ(frame->NewestDeviceAppVersion().GetValue(), notice.GetValue());
}

// The tool runs while the window goes on repainting; until it ends no command runs.
TEST_F(DeviceFileCommandsTest, UpgradeToolRunsWithoutBlockingTheWindow)
{
    frame->OnNewDeviceAppVersion(0x00010005, 0);
    const QString tool = Local("upgrade.sh");
    const QString release = Local("release");
    const QString args = Local("args");
    WriteAll(tool, QStringLiteral("#!/bin/sh\necho \"$@\" > '%1'\nwhile [ ! -e '%2' ]; do sleep 0.05; done\n")
                       .arg(args, release)
                       .toUtf8());
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Settings::Registry().WriteString(CUpgradeTool::kPathSetting, tool);
    frame->show();

    ASSERT_TRUE(frame->OnCmdMsg(Cmd::ID_UPGRADE_DEVICE));
    EXPECT_TRUE(frame->IsUpgradeToolRunning());
    EXPECT_EQ(frame->NewestDeviceAppVersion().GetValue(), 0u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(args); }, kDeadlineMs));
    int paints = 0;
    struct PaintCounter : QObject
    {
        int& count;
        explicit PaintCounter(int& c) : count(c) {}
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint)
                ++count;
            return false;
        }
    } counter(paints);
    frame->installEventFilter(&counter);
    frame->update();
    EXPECT_TRUE(QTest::qWaitFor([&] { return paints > 0; }, kDeadlineMs));
    EXPECT_TRUE(frame->IsUpgradeToolRunning());
    EXPECT_FALSE(frame->OnCmdMsg(Cmd::ID_DOWNLOAD_LOG));

    WriteAll(release, "");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !frame->IsUpgradeToolRunning(); }, kDeadlineMs));
    EXPECT_FALSE(frame->IsTransferRunning());
    frame->removeEventFilter(&counter);
    EXPECT_EQ(ReadAll(args), QByteArray("-DeviceTypeList 03-00000-0\n"));
    EXPECT_TRUE(boxes.boxes.empty());
}
} // namespace
