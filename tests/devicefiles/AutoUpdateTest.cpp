// The update wizard driven through its buttons against a real FTP server (pyftpdlib) on
// loopback. The downloads folder is the test's own (through XDG's user-dirs.dirs).
#include "devicefiles/AutoUpdate.h"
#include "devicefiles/PageDownload.h"
#include "devicefiles/PageSearch.h"
#include "devicefiles/WizardHelp.h"
#include "devicefiles/core/UpdateDownload.h"
#include "platform/core/SettingsStore.h"
#include "resources/BuiltInStrings.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/FileDialogRecorder.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"
#include "tests/support/QStringPrint.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using Platform::WizardButton;

namespace
{
constexpr int kDeadlineMs = 20000;
const QString kFolder = QStringLiteral("DiZivavir/Veskador 3/");
const QString kName = QStringLiteral("Veskador 3_V_2_4_1_0.deb");

QByteArray Package(qsizetype size, const QString& marker)
{
    // A script that would leave a mark if anything ran it.
    QByteArray data = "#!/bin/sh\ntouch '" + marker.toUtf8() + "'\nexit 0\n";
    data.resize(size, '#');
    return data;
}

class AutoUpdateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        ASSERT_TRUE(server.Running()) << server.Log().toStdString();
        PointAt(server.Port());
        // The user's downloads folder, as the desktop names it.
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.Path().toUtf8());
        QFile dirs(config.File(QStringLiteral("user-dirs.dirs")));
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOWNLOAD_DIR=\"" + Downloads().toUtf8() + "\"\n");
        dirs.close();
        ASSERT_EQ(UpdateDownload::DefaultFolder(), Downloads());
        for (const char* name : {"Veskador 3_V_2_3_0_0.deb", "Veskador 3_V_9_0_0_0.DEB", "Veskador 3_V_9_0_0_0.exe"})
            server.AddFile(kFolder + QString::fromLatin1(name), "older or not ours");
    }
    void TearDown() override
    {
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
        Platform::SettingsStore::Instance().DeleteKey(QString::fromLatin1(kUpdateServerSettingsKey));
    }

    static void PointAt(uint16_t port)
    {
        auto& store = Platform::SettingsStore::Instance();
        const QString key = QString::fromLatin1(kUpdateServerSettingsKey);
        store.CreateKey(key);
        store.Write(key, QStringLiteral("FtpServer"), QStringLiteral("127.0.0.1"));
        store.Write(key, QStringLiteral("FtpPort"), uint32_t(port));
    }

    QString Downloads() const { return downloads.Path() + QStringLiteral("/Downloads"); }
    QStringList InDownloads() const
    {
        return QDir(Downloads()).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    QString Marker() const { return config.File(QStringLiteral("was-run")); }

    // Runs the wizard at version 2.3.1.0, driven by the handler.
    bool RunWizard(const std::function<void(CAutoUpdate&)>& drive)
    {
        CAutoUpdate wizard(nullptr, QStringLiteral("Veskador 3"), CVersion(QStringView(u"2.3.1.0")));
        dialogs.Queue(
            [&](QDialog& dialog)
            {
                auto* sheet = dynamic_cast<CAutoUpdate*>(&dialog);
                ASSERT_NE(sheet, nullptr);
                drive(*sheet);
            });
        return wizard.RunWizard();
    }

    static bool WaitFor(QPushButton* button)
    {
        return QTest::qWaitFor([&] { return button->isVisible() && button->isEnabled(); }, kDeadlineMs);
    }
    static QString Text(QWidget* page, const char* name)
    {
        auto* label = page->findChild<QLabel*>(QString::fromLatin1(name));
        return label ? label->text() : QStringLiteral("<none>");
    }
    static bool Shown(QWidget* page, const char* name)
    {
        auto* widget = page->findChild<QWidget*>(QString::fromLatin1(name));
        return widget && widget->isVisible();
    }
    // Next, then what the download page shows at its end.
    static void DownloadToTheEnd(CAutoUpdate& sheet)
    {
        ASSERT_TRUE(WaitFor(sheet.Button(WizardButton::next)));
        QTest::mouseClick(sheet.Button(WizardButton::next), Qt::LeftButton);
        ASSERT_TRUE(WaitFor(sheet.Button(WizardButton::finish)));
        EXPECT_FALSE(sheet.Button(WizardButton::next)->isVisible());
        EXPECT_FALSE(sheet.Button(WizardButton::back)->isEnabled());
    }

    FtpTestServer server;
    TempDir config;
    TempDir downloads;
    MessageBoxRecorder boxes;
    DialogDriver dialogs;
    FileDialogRecorder fileDialogs;

private:
    QByteArray m_oldConfig;
};

TEST_F(AutoUpdateTest, OffersTheNewestInstallerAndKeepsAVerifiedByteIdenticalCopyWithoutRunningIt)
{
    const QByteArray content = Package(300000, Marker());
    server.AddFile(kFolder + kName, content);
    server.AddFile(kFolder + QStringLiteral("Veskador 3_V_2_4_0_5.deb"), "newer, but not the newest");
    server.AddFile(kFolder + kName + QStringLiteral(".sha256"),
                   QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex() + "  " + kName.toUtf8());

    QString result;
    QString done;
    const bool downloaded = RunWizard(
        [&](CAutoUpdate& sheet)
        {
            EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Velmor"));
            EXPECT_EQ(sheet.Button(WizardButton::next)->text(), QStringLiteral("Next >"));
            ASSERT_TRUE(WaitFor(sheet.Button(WizardButton::next)));
            result = Text(sheet.SearchPage(), "result");
            EXPECT_FALSE(Shown(sheet.SearchPage(), "title"));
            EXPECT_FALSE(Shown(sheet.SearchPage(), "status"));
            EXPECT_FALSE(sheet.Button(WizardButton::finish)->isVisible());
            DownloadToTheEnd(sheet);
            done = Text(sheet.DownloadPage(), "title");
            EXPECT_EQ(sheet.DownloadPage()->findChild<QProgressBar*>()->value(), 100);
            EXPECT_EQ(Text(sheet.DownloadPage(), "amount"), QStringLiteral("0.29 MB downloaded"));
            QTest::mouseClick(sheet.Button(WizardButton::finish), Qt::LeftButton);
        });
    EXPECT_EQ(result, QStringLiteral("Found a newer version of Veskador 3 on the server. \n Server version: "
                                     "2.4.1 \n Your version: 2.3.1"));
    EXPECT_TRUE(downloaded);
    EXPECT_EQ(InDownloads(), QStringList{kName});
    QFile kept(QDir(Downloads()).filePath(kName));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), content);
    EXPECT_FALSE(QFileInfo(kept).isExecutable());
    EXPECT_FALSE(QFile::exists(Marker()));
    // Where it is and how to install it.
    EXPECT_TRUE(done.contains(QDir(Downloads()).filePath(kName))) << done.toStdString();
    EXPECT_TRUE(done.contains(QStringLiteral("sudo apt install './Veskador 3_V_2_4_1_0.deb'")))
        << done.toStdString();
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(AutoUpdateTest, NothingNewerOffersOnlyFinish)
{
    server.AddFile(kFolder + QStringLiteral("Veskador 3_V_2_3_1_0.deb"), "the running one");
    QString result;
    const bool downloaded = RunWizard(
        [&](CAutoUpdate& sheet)
        {
            ASSERT_TRUE(WaitFor(sheet.Button(WizardButton::finish)));
            EXPECT_FALSE(sheet.Button(WizardButton::next)->isVisible());
            result = Text(sheet.SearchPage(), "result");
            QTest::mouseClick(sheet.Button(WizardButton::finish), Qt::LeftButton);
        });
    EXPECT_FALSE(downloaded);
    EXPECT_EQ(result, QStringLiteral("There is no update available. \nYou are already using the most recent "
                                     "version of Veskador 3."));
    EXPECT_TRUE(InDownloads().isEmpty());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(AutoUpdateTest, AnUnreachableServerIsReportedWithFinish)
{
    server.Stop();
    QString status;
    const bool downloaded = RunWizard(
        [&](CAutoUpdate& sheet)
        {
            ASSERT_TRUE(WaitFor(sheet.Button(WizardButton::finish)));
            status = Text(sheet.SearchPage(), "status");
            EXPECT_FALSE(Shown(sheet.SearchPage(), "title"));
            EXPECT_FALSE(Shown(sheet.SearchPage(), "result"));
            QTest::mouseClick(sheet.Button(WizardButton::finish), Qt::LeftButton);
        });
    EXPECT_FALSE(downloaded);
    // Once, on the page: what it means first, the transport's words after it.
    EXPECT_TRUE(status.startsWith(QStringLiteral("The update server could not be reached, or it refused the "
                                                 "connection.")))
        << status.toStdString();
    EXPECT_TRUE(status.contains(QStringLiteral("\n")));
    EXPECT_TRUE(status.endsWith(QStringLiteral("(Error 12029)"))) << status.toStdString();
    EXPECT_TRUE(boxes.boxes.empty());
}

// F1 asks for the help of the wizard itself, through the help the program installs.
TEST_F(AutoUpdateTest, F1AsksTheInstalledHelpWithTheWizardAsOwner)
{
    std::vector<QWidget*> owners;
    const WizardHelp::Handler previous =
        WizardHelp::SetHandler([&](QWidget* owner, uint32_t) { owners.push_back(owner); });
    QWidget* wizard = nullptr;
    server.Stop();
    RunWizard(
        [&](CAutoUpdate& sheet)
        {
            wizard = &sheet;
            ASSERT_TRUE(WaitFor(sheet.Button(WizardButton::finish)));
            QTest::keyClick(&sheet, Qt::Key_F1);
            QTest::mouseClick(sheet.Button(WizardButton::finish), Qt::LeftButton);
        });
    WizardHelp::SetHandler(previous);
    EXPECT_EQ(owners, std::vector<QWidget*>{wizard});
}

TEST_F(AutoUpdateTest, DownloadErrorsOfferFinishAndKeepNothing)
{
    struct Case
    {
        QByteArray content;
        QByteArray checksum; // empty: none on the server
        bool goneAfterListing;
        const char* text;
    };
    for (const Case& c : {Case{QByteArray(), QByteArray(), false, "with a size of 0 bytes"},
                          Case{"package", QByteArray(64, 'a'), false, "does not match its SHA-256 checksum"},
                          Case{"package", QByteArray(), true,
                               "The update server no longer has Veskador 3_V_2_4_1_0.deb. Try again later.\n"}})
    {
        SCOPED_TRACE(c.text);
        server.AddFile(kFolder + kName, c.content);
        if (!c.checksum.isEmpty())
            server.AddFile(kFolder + kName + QStringLiteral(".sha256"), c.checksum);
        QString title;
        const bool downloaded = RunWizard(
            [&](CAutoUpdate& sheet)
            {
                if (c.goneAfterListing)
                {
                    ASSERT_TRUE(WaitFor(sheet.Button(WizardButton::next)));
                    ASSERT_TRUE(QFile::remove(server.Root() + u'/' + kFolder + kName));
                }
                DownloadToTheEnd(sheet);
                title = Text(sheet.DownloadPage(), "title");
                EXPECT_FALSE(Shown(sheet.DownloadPage(), "progress"));
                EXPECT_FALSE(Shown(sheet.DownloadPage(), "amount"));
                QTest::mouseClick(sheet.Button(WizardButton::finish), Qt::LeftButton);
            });
        EXPECT_FALSE(downloaded);
        EXPECT_TRUE(title.contains(QString::fromLatin1(c.text))) << title.toStdString();
        EXPECT_TRUE(InDownloads().isEmpty()) << InDownloads().join(u',').toStdString();
    }
}

TEST_F(AutoUpdateTest, ADownloadsFolderThatCannotBeWrittenAsksWhereToSave)
{
    const QByteArray content = Package(20000, Marker());
    server.AddFile(kFolder + kName, content);
    // A file where the downloads folder should be.
    QFile blocker(Downloads());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString chosen = config.File(QStringLiteral("chosen.deb"));
    fileDialogs.Answer(chosen);
    fileDialogs.Answer(std::nullopt);
    fileDialogs.Answer(Downloads() + QStringLiteral("/inside-a-file.deb"));

    QString title;
    EXPECT_TRUE(RunWizard(
        [&](CAutoUpdate& sheet)
        {
            DownloadToTheEnd(sheet);
            title = Text(sheet.DownloadPage(), "title");
            QTest::mouseClick(sheet.Button(WizardButton::finish), Qt::LeftButton);
        }));
    ASSERT_EQ(fileDialogs.requests.size(), 1u);
    const Platform::FileDialogRequest& asked = fileDialogs.requests[0];
    EXPECT_TRUE(asked.save);
    EXPECT_EQ(asked.fileName, kName);
    EXPECT_EQ(asked.defaultExtension, QStringLiteral("deb"));
    EXPECT_EQ(asked.filter, QStringLiteral("(*.deb)|*.deb|"));
    EXPECT_EQ(asked.flags, uint32_t(Platform::OFN_HIDEREADONLY | Platform::OFN_OVERWRITEPROMPT));
    QFile kept(chosen);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), content);
    EXPECT_TRUE(title.contains(QStringLiteral("sudo apt install ./chosen.deb"))) << title.toStdString();

    // The user cancels the dialog: said so, with Finish.
    EXPECT_FALSE(RunWizard(
        [&](CAutoUpdate& sheet)
        {
            DownloadToTheEnd(sheet);
            title = Text(sheet.DownloadPage(), "title");
            QTest::mouseClick(sheet.Button(WizardButton::finish), Qt::LeftButton);
        }));
    EXPECT_EQ(title, QStringLiteral("No file to save the package in was chosen, so nothing was downloaded."));

    // The chosen file cannot be written either: said so, with Finish.
    EXPECT_FALSE(RunWizard(
        [&](CAutoUpdate& sheet)
        {
            DownloadToTheEnd(sheet);
            title = Text(sheet.DownloadPage(), "title");
            QTest::mouseClick(sheet.Button(WizardButton::finish), Qt::LeftButton);
        }));
    EXPECT_TRUE(title.startsWith(QStringLiteral("The package could not be saved as"))) << title.toStdString();
    EXPECT_EQ(fileDialogs.requests.size(), 3u);
}

// A server that sends slowly, so that the test can act while the package arrives.
class SlowAutoUpdateTest : public AutoUpdateTest
{
protected:
    void SetUp() override
    {
        AutoUpdateTest::SetUp();
        ASSERT_TRUE(slow.Running()) << slow.Log().toStdString();
        slow.AddFile(kFolder + kName, Package(4 * 1024 * 1024, Marker()));
        PointAt(slow.Port());
    }

    // Next, and wait until part of the package has arrived.
    static void StartDownload(CAutoUpdate& sheet)
    {
        ASSERT_TRUE(WaitFor(sheet.Button(WizardButton::next)));
        QTest::mouseClick(sheet.Button(WizardButton::next), Qt::LeftButton);
        auto* progress = sheet.DownloadPage()->findChild<QProgressBar*>();
        ASSERT_TRUE(QTest::qWaitFor([&] { return progress->value() > 0; }, kDeadlineMs));
        EXPECT_LT(progress->value(), 100);
        EXPECT_TRUE(Text(sheet.DownloadPage(), "amount").endsWith(QStringLiteral(" MB downloaded")));
        // Nothing but Cancel while it runs.
        EXPECT_FALSE(sheet.Button(WizardButton::next)->isEnabled());
        EXPECT_FALSE(sheet.Button(WizardButton::finish)->isEnabled());
        EXPECT_TRUE(sheet.Button(WizardButton::cancel)->isEnabled());
    }

    FtpTestServer slow{FtpTestServer::Options{.sendLimit = 256 * 1024}};
};

TEST_F(SlowAutoUpdateTest, CancelMidDownloadEndsAtOnceAndLeavesNoFile)
{
    QElapsedTimer timer;
    EXPECT_FALSE(RunWizard(
        [&](CAutoUpdate& sheet)
        {
            StartDownload(sheet);
            timer.start();
            QTest::mouseClick(sheet.Button(WizardButton::cancel), Qt::LeftButton);
            EXPECT_FALSE(sheet.isVisible());
        }));
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_TRUE(InDownloads().isEmpty()) << InDownloads().join(u',').toStdString();
    EXPECT_EQ(slow.OpenSessions(0), 0);
}

TEST_F(SlowAutoUpdateTest, AServerThatDropsMidDownloadIsAnErrorAndLeavesNoFile)
{
    QString title;
    EXPECT_FALSE(RunWizard(
        [&](CAutoUpdate& sheet)
        {
            StartDownload(sheet);
            slow.Stop();
            ASSERT_TRUE(WaitFor(sheet.Button(WizardButton::finish)));
            title = Text(sheet.DownloadPage(), "title");
            QTest::mouseClick(sheet.Button(WizardButton::finish), Qt::LeftButton);
        }));
    EXPECT_TRUE(title.startsWith(QStringLiteral("The connection to the update server broke off.")))
        << title.toStdString();
    EXPECT_TRUE(InDownloads().isEmpty()) << InDownloads().join(u',').toStdString();
}

} // namespace
