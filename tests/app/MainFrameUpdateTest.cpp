// The main window's update wiring: the check at start-up, its "New version available!"
// menu and the update wizard from the Help menu, against an FTP server on loopback.
#include "app/InstalledFiles.h"
#include "app/MainFrm.h"
#include "devicefiles/AutoUpdate.h"
#include "devicefiles/PageSearch.h"
#include "devicefiles/core/ProgramVersionCheck.h"
#include "devicefiles/core/UpdateFtpClient.h"
#include "tests/app/AppTestSupport.h"
#include "tests/document/DocTestSupport.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"

#include "BuildVersion.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace
{
constexpr int kDeadlineMs = 20000;
const QString kFolder = QStringLiteral("DiZivavir/Veskador 3/");

// An installer name of the running major version with the given minor, patch and tweak.
QString Installer(int major, int minor, int patch, int tweak)
{
    return QStringLiteral("Veskador 3_V_%1_%2_%3_%4.deb").arg(major).arg(minor).arg(patch).arg(tweak);
}

class MainFrameUpdate : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Running()) << server.Log().toStdString();
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.Path().toUtf8());
        QFile dirs(config.File(QStringLiteral("user-dirs.dirs")));
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOWNLOAD_DIR=\"" + downloads.Path().toUtf8() + "\"\n");
    }
    void TearDown() override
    {
        frame.reset();
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }

    void PointAt(uint16_t port)
    {
        auto& store = Platform::SettingsStore::Instance();
        const QString key = QString::fromLatin1(kUpdateServerSettingsKey);
        store.CreateKey(key);
        store.Write(key, QStringLiteral("FtpServer"), QStringLiteral("127.0.0.1"));
        store.Write(key, QStringLiteral("FtpPort"), uint32_t(port));
    }

    void Open()
    {
        frame = std::make_unique<CMainFrame>(QStringList{QStringLiteral("veskador3")});
        frame->show();
        QApplication::processEvents();
        boxes.boxes.clear(); // the missing Standard.cnv
    }

    AppEnvironment env;
    FtpTestServer server;
    TempDir config;
    TempDir downloads;
    MessageBoxRecorder boxes;
    DialogDriver dialogs;
    std::unique_ptr<CMainFrame> frame;

private:
    QByteArray m_oldConfig;
};

TEST_F(MainFrameUpdate, StartUpOffersTheNewerProgramAndTheWizardDownloadsItWhileTheProgramRuns)
{
    const int major = VESKADOR_VERSION_MAJOR;
    const QByteArray package(50000, 'p');
    server.AddFile(kFolder + Installer(major - 1, 9, 0, 0), "older");
    server.AddFile(kFolder + Installer(major, 4, 1, 0), package);
    server.AddFile(kFolder + Installer(major, 4, 0, 5), "newer, not the newest");
    PointAt(server.Port());
    Open();

    ASSERT_TRUE(QTest::qWaitFor([&] { return frame->NewVersionMenu() != nullptr; }, kDeadlineMs));
    ASSERT_EQ(frame->NewVersionMenu()->actions().size(), 1);
    QAction* entry = frame->NewVersionMenu()->actions()[0];
    EXPECT_EQ(entry->text(), QStringLiteral("Update Veskador 3 to version %1.4.1").arg(major));
    // The check has ended with its report: nothing of it runs on.
    EXPECT_TRUE(frame->VersionCheck()->WaitFinished(0));

    frame->UpdateCommandUI();
    EXPECT_TRUE(frame->Action(Cmd::ID_CHECK_UPDATES)->isEnabled());
    for (QAction* command : {entry, frame->Action(Cmd::ID_CHECK_UPDATES)})
    {
        QFile::remove(QDir(downloads.Path()).filePath(Installer(major, 4, 1, 0)));
        QString offered;
        dialogs.Queue(
            [&](QDialog& dialog)
            {
                auto& sheet = dynamic_cast<CAutoUpdate&>(dialog);
                QPushButton* next = sheet.Button(Platform::WizardButton::next);
                ASSERT_TRUE(QTest::qWaitFor([&] { return next->isVisible() && next->isEnabled(); }, kDeadlineMs));
                offered = sheet.Search().choice.file;
                QTest::mouseClick(next, Qt::LeftButton);
                QPushButton* finish = sheet.Button(Platform::WizardButton::finish);
                ASSERT_TRUE(
                    QTest::qWaitFor([&] { return finish->isVisible() && finish->isEnabled(); }, kDeadlineMs));
                QTest::mouseClick(finish, Qt::LeftButton);
            });
        command->trigger();
        EXPECT_EQ(offered, Installer(major, 4, 1, 0));
        QFile kept(QDir(downloads.Path()).filePath(Installer(major, 4, 1, 0)));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), package);
        // The program goes on.
        QApplication::processEvents();
        EXPECT_TRUE(frame->isVisible());
    }
    EXPECT_EQ(dialogs.titles.size(), 2);
    EXPECT_TRUE(boxes.boxes.empty());
}

// Nothing is installed from the wizard, so the project stays open through it; a server
// that is not there is told once, on the page; F1 opens the help of the Help menu, which
// says where it looked when no manual is installed.
TEST_F(MainFrameUpdate, AStoppedServerLeavesTheProjectOpenAndIsToldOnceOnThePage)
{
    PointAt(server.Port());
    server.Stop();
    const QString project = config.File(QStringLiteral("Plant.v3p"));
    {
        CVeskDoc doc;
        ASSERT_TRUE(DocTest::AddSeries(doc, QStringLiteral("\\Hall\\S1.vsm"), {500.0f}));
        ASSERT_TRUE(doc.SaveProject(project));
    }
    frame = std::make_unique<CMainFrame>(QStringList{QStringLiteral("veskador3"), project});
    frame->show();
    QApplication::processEvents();
    boxes.boxes.clear(); // the missing Standard.cnv
    ASSERT_TRUE(frame->Document().HasFolders());

    QString status;
    bool titleShown = true;
    QWidget* wizard = nullptr;
    dialogs.Queue(
        [&](QDialog& dialog)
        {
            auto& sheet = dynamic_cast<CAutoUpdate&>(dialog);
            wizard = &sheet;
            QPushButton* finish = sheet.Button(Platform::WizardButton::finish);
            ASSERT_TRUE(QTest::qWaitFor([&] { return finish->isVisible() && finish->isEnabled(); }, kDeadlineMs));
            status = sheet.SearchPage()->findChild<QLabel*>(QStringLiteral("status"))->text();
            titleShown = sheet.SearchPage()->findChild<QLabel*>(QStringLiteral("title"))->isVisible();
            EXPECT_TRUE(boxes.boxes.empty()) << "the page says it, no box";
            QTest::keyClick(&sheet, Qt::Key_F1);
            QTest::mouseClick(finish, Qt::LeftButton);
        });
    frame->UpdateCommandUI();
    frame->Action(Cmd::ID_CHECK_UPDATES)->trigger();
    QApplication::processEvents();

    EXPECT_EQ(dialogs.titles.size(), 1);
    EXPECT_FALSE(titleShown);
    EXPECT_TRUE(status.startsWith(QStringLiteral("The update server could not be reached")))
        << status.toStdString();
    EXPECT_TRUE(status.endsWith(QStringLiteral("(Error 12029)"))) << status.toStdString();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains(InstalledFiles::SearchFolders(GetModuleFolder()).join(u'\n')))
        << boxes.boxes[0].text.toStdString();
    EXPECT_EQ(boxes.boxes[0].owner, wizard);
    EXPECT_TRUE(frame->Document().HasFolders());
    EXPECT_EQ(frame->Document().GetProjectPath(), project);
}

TEST_F(MainFrameUpdate, WithoutAServerSettingTheCheckStaysOnThisMachineAndEndsAtOnce)
{
    // The maker's server is out of reach in tests (LoopbackFtpOnly): the check fails
    // without waiting, posts nothing and shows nothing.
    QElapsedTimer timer;
    timer.start();
    Open();
    ASSERT_NE(frame->VersionCheck(), nullptr);
    EXPECT_TRUE(frame->VersionCheck()->WaitFinished(5000));
    EXPECT_LT(timer.elapsed(), 5000);
    QApplication::processEvents();
    EXPECT_EQ(frame->NewVersionMenu(), nullptr);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainFrameUpdate, ClosingWhileTheCheckHangsEndsAtOnce)
{
    server.AddFile(kFolder + Installer(99, 0, 0, 0), "x");
    PointAt(server.Port());
    server.Pause(); // the connection is accepted, no greeting comes
    Open();
    EXPECT_FALSE(frame->VersionCheck()->WaitFinished(300));
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(frame->close());
    frame.reset();
    EXPECT_LT(timer.elapsed(), 2000);
    server.Resume();
    EXPECT_EQ(server.OpenSessions(0), 0);
}

} // namespace
