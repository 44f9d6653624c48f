// The tester connections and the firmware update check end to end: the connection
// wizard driven through its buttons against the simulated portable tester over TCP on
// loopback, the main window's keep-alive timer and Disconnect command, and the check
// against an FTP server on loopback. Every wait has a deadline.
#include "app/MainFrm.h"
#include "device/Contents.h"
#include "device/DeviceThread.h"
#include "device/Veskora3SeDevice.h"
#include "devicefiles/DevSelectSheet.h"
#include "devicefiles/VeskamonConnection.h"
#include "devicefiles/VeskoraConnection.h"
#include "devicefiles/core/FirmwareUpdateCheck.h"
#include "devicefiles/core/UpdateFtpClient.h"
#include "platform/core/SettingsStore.h"
#include "platform/io/SerialPort.h"
#include "streamio/StreamIO.h"
#include "tests/support/DeviceThreadEnvironment.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/CpuHog.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/sim/PortableTesterSim.h"

#include <QAction>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>

using Platform::WizardButton;

namespace
{
struct IsolatedSettings
{
    QTemporaryDir dir;
    IsolatedSettings() { qputenv("VESKADOR_CONFIG_DIR", dir.path().toLocal8Bit()); }
};
IsolatedSettings g_isolatedSettings;

constexpr int kDeadlineMs = 30000;
const QString kProgramKey = QStringLiteral("Software\\Velmor\\Veskador 3\\ConnWizard\\Veskora\\");
const QString kUpgradeToolKey = QStringLiteral("Software\\Velmor\\DiZivavir\\Settings\\ConnWizard\\");
// The simulated tester's code, as the update server's folder name.
const QString kDeviceFolder = QStringLiteral("DiZivavir/00030001/");

[[maybe_unused]] const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new DeviceThreadEnvironment);

Platform::SettingsStore& Store()
{
    return Platform::SettingsStore::Instance();
}

void PointUpdateServerAt(uint16_t port)
{
    const QString key = QString::fromLatin1(kUpdateServerSettingsKey);
    Store().CreateKey(key);
    Store().Write(key, QStringLiteral("FtpServer"), QStringLiteral("127.0.0.1"));
    Store().Write(key, QStringLiteral("FtpPort"), uint32_t(port));
}

// A port on loopback where nobody listens.
uint16_t ClosedPort()
{
    FtpTestServer stopped;
    const uint16_t port = stopped.Port();
    stopped.Stop();
    return port;
}

CVersion V(const char* text)
{
    return CVersion(QString::fromLatin1(text));
}

class TesterConnectionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ftp.Running()) << ftp.Log().toStdString();
        PointUpdateServerAt(ftp.Port());
        address = Sim::UniqueLoopbackAddress();
        ASSERT_TRUE(sim.Engine().ServeTcp(address, 3728));
        frame = std::make_unique<CMainFrame>(QStringList{QStringLiteral("veskador3")});
        boxes.boxes.clear(); // the missing Standard.cnv
    }
    void TearDown() override
    {
        if (CFirmwareUpdateCheck* check = CVeskoraConnection::Instance().FirmwareCheck())
        {
            EXPECT_TRUE(check->WaitFinished(kDeadlineMs));
        }
        frame.reset(); // disconnects both testers
        EXPECT_EQ(CVeskoraConnection::Instance().GetDevice(), nullptr);
        EXPECT_EQ(CVeskoraConnection::Instance().FirmwareCheck(), nullptr);
    }

    // The wizard's settings: the tester on Ethernet, but a stored device type and
    // Express that the connection must not use.
    void StoreWizardSettings(const QString& key)
    {
        Store().CreateKey(key);
        Store().Write(key, QStringLiteral("DeviceType"), uint32_t(5));
        Store().Write(key, QStringLiteral("Express"), uint32_t(1));
        Store().Write(key, QStringLiteral("CommPort"), uint32_t(Device::portEthernet));
        Store().Write(key, QStringLiteral("IP Address"), address);
    }

    // Drives the next wizard: checks what it searches for, then searches and ends with
    // Finish, or cancels.
    void QueueWizard(bool finish)
    {
        dialogs.Queue(
            [finish](QDialog& dialog)
            {
                auto* sheet = dynamic_cast<CDevSelectSheet*>(&dialog);
                ASSERT_NE(sheet, nullptr);
                EXPECT_EQ(sheet->StartMode(), 2u);
                EXPECT_EQ(sheet->RequiredRights(), Device::loginAccepted);
                EXPECT_EQ(sheet->Settings().deviceType, uint32_t(Device::typeVeskora3));
                EXPECT_EQ(sheet->Settings().express, 0u);
                if (!finish)
                {
                    QTest::mouseClick(sheet->Button(WizardButton::cancel), Qt::LeftButton);
                    return;
                }
                QTest::mouseClick(sheet->Button(WizardButton::next), Qt::LeftButton);
                QPushButton* finishButton = sheet->Button(WizardButton::finish);
                ASSERT_TRUE(QTest::qWaitFor(
                    [&] { return finishButton->isVisible() && finishButton->isEnabled(); }, kDeadlineMs));
                QTest::mouseClick(finishButton, Qt::LeftButton);
            });
    }

    bool DisconnectEnabled()
    {
        SCmdUI ui;
        return frame->OnUpdateCmdMsg(Cmd::ID_DISCONNECT, ui) && ui.enabled;
    }

    // Connects, lets the firmware check and the first keep-alive end, then silences the
    // tester: on return the timer's next keep-alive request has reached it and waits for
    // an answer that does not come.
    void ConnectThenSilenceTheTesterDuringAKeepAlive()
    {
        const auto keepAliveArrived = [&]
        {
            for (const QByteArray& frame : sim.Engine().BinaryFrames())
                if (frame.size() >= 3 && uint8_t(frame[1]) == 0xF4 && uint8_t(frame[2]) == 0x10)
                    return true;
            return false;
        };
        StoreWizardSettings(kProgramKey);
        CVeskoraConnection& connection = CVeskoraConnection::Instance();
        QueueWizard(true);
        ASSERT_TRUE(connection.Connect());
        ASSERT_TRUE(connection.FirmwareCheck()->WaitFinished(kDeadlineMs));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !connection.IsKeepAliveRunning(); }, kDeadlineMs));
        sim.Engine().ClearLog();
        sim.Engine().UpdateFaults([](Sim::Faults& f) { f.replyDelayMs = 60000; });
        ASSERT_TRUE(QTest::qWaitFor(keepAliveArrived, kDeadlineMs));
    }

    AppEnvironment env;
    FtpTestServer ftp;
    MessageBoxRecorder boxes;
    DialogDriver dialogs;
    QString address;
    Sim::PortableTesterSim sim;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(TesterConnectionTest, ConnectRunsTheWizardOnceReusesTheTesterAndReportsNewerFirmware)
{
    ftp.AddFile(kDeviceFolder + QStringLiteral("fw-V1.5.0_FW.lod"), "app");
    ftp.AddFile(kDeviceFolder + QStringLiteral("os-V2.2.0_OS.lod"), "os");
    // Only the upgrade tool knows the tester's interface.
    StoreWizardSettings(kUpgradeToolKey);
    EXPECT_FALSE(DisconnectEnabled());

    CVeskoraConnection& connection = CVeskoraConnection::Instance();
    QueueWizard(true);
    ASSERT_TRUE(connection.Connect());
    ASSERT_NE(connection.GetDevice(), nullptr);
    CFirmwareUpdateCheck* check = connection.FirmwareCheck();
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(dialogs.titles.size(), 1);
    EXPECT_TRUE(DisconnectEnabled());
    // The settings now live under the program's own key, with the type it searched for.
    EXPECT_EQ(Store().ReadString(kProgramKey, QStringLiteral("IP Address")).value_or(QString()), address);
    EXPECT_EQ(Store().ReadNumber(kProgramKey, QStringLiteral("DeviceType")).value_or(99), 0u);
    EXPECT_EQ(Store().ReadNumber(kUpgradeToolKey, QStringLiteral("DeviceType")).value_or(99), 5u);

    // The tester still answers: no wizard, no second check.
    Device::CVmDevice* device = connection.GetDevice();
    ASSERT_TRUE(connection.Connect());
    EXPECT_EQ(connection.GetDevice(), device);
    EXPECT_EQ(connection.FirmwareCheck(), check);
    EXPECT_EQ(dialogs.titles.size(), 1);

    // Installed: application 1.4.2, operating system 2.1.0.
    ASSERT_TRUE(check->WaitFinished(kDeadlineMs));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return frame->NewestDeviceAppVersion() == V("1.5.0.0"); }, kDeadlineMs));
    EXPECT_EQ(frame->NewestDeviceOsVersion(), V("2.2.0.0"));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(TesterConnectionTest, KeepAliveTimerAndDisconnectCommand)
{
    StoreWizardSettings(kProgramKey);
    CVeskoraConnection& connection = CVeskoraConnection::Instance();
    // Nothing held: the timer's work and Disconnect do nothing.
    EXPECT_FALSE(connection.KeepAlive());
    connection.Disconnect();

    QueueWizard(true);
    ASSERT_TRUE(connection.Connect());
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.RemoteOpen(); }, kDeadlineMs));
    auto* timer = frame->findChild<QTimer*>(QStringLiteral("KeepAliveTimer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), CMainFrame::kKeepAliveMs);
    EXPECT_TRUE(timer->isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.LastKeepAliveSeconds() == 30; }, kDeadlineMs));

    ASSERT_TRUE(connection.FirmwareCheck()->WaitFinished(kDeadlineMs));
    EXPECT_TRUE(frame->OnCmdMsg(Cmd::ID_DISCONNECT));
    EXPECT_EQ(connection.GetDevice(), nullptr);
    EXPECT_EQ(connection.FirmwareCheck(), nullptr);
    EXPECT_FALSE(DisconnectEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sim.RemoteOpen(); }, kDeadlineMs));

    // A fresh connection starts a fresh check.
    QueueWizard(true);
    ASSERT_TRUE(connection.Connect());
    EXPECT_NE(connection.FirmwareCheck(), nullptr);
    EXPECT_EQ(dialogs.titles.size(), 2);
}

TEST_F(TesterConnectionTest, SilentTesterIsDroppedAndACancelledWizardLeavesNoDevice)
{
    StoreWizardSettings(kProgramKey);
    CVeskoraConnection& connection = CVeskoraConnection::Instance();
    QueueWizard(true);
    ASSERT_TRUE(connection.Connect());
    ASSERT_TRUE(connection.FirmwareCheck()->WaitFinished(kDeadlineMs));

    sim.Engine().Stop(); // switched off
    Store().Write(kProgramKey, QStringLiteral("IP Address"), QStringLiteral("127.0.0.9"));
    QueueWizard(false);
    EXPECT_FALSE(connection.Connect());
    EXPECT_EQ(dialogs.titles.size(), 2);
    EXPECT_EQ(connection.GetDevice(), nullptr);
    EXPECT_EQ(connection.FirmwareCheck(), nullptr);
    // The cancelled wizard still saved its settings, with the type it searched for.
    EXPECT_EQ(Store().ReadString(kProgramKey, QStringLiteral("IP Address")).value_or(QString()),
              QStringLiteral("127.0.0.9"));
    EXPECT_EQ(Store().ReadNumber(kProgramKey, QStringLiteral("DeviceType")).value_or(99), 0u);
}

// The keep-alive of a tester that has gone silent waits for its answer on a worker thread:
// the window keeps working meanwhile. When the answer does not come, the tester is
// dropped and the user told.
TEST_F(TesterConnectionTest, KeepAliveToASilentTesterRunsOffTheUiThreadThenDropsIt)
{
    CVeskoraConnection& connection = CVeskoraConnection::Instance();
    // The timer's next tick asks; the tester has the request and does not answer.
    ASSERT_NO_FATAL_FAILURE(ConnectThenSilenceTheTesterDuringAKeepAlive());
    bool ran = false;
    bool polling = false;
    QTimer::singleShot(0, frame.get(),
                       [&]
                       {
                           ran = true;
                           polling = connection.IsKeepAliveRunning();
                       });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran; }, 1000));
    EXPECT_TRUE(polling);
    EXPECT_NE(connection.GetDevice(), nullptr);

    ASSERT_TRUE(QTest::qWaitFor([&] { return connection.GetDevice() == nullptr; }, kDeadlineMs));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.startsWith(QStringLiteral("The connection to the Veskora 3 was lost.")));
    EXPECT_EQ(connection.FirmwareCheck(), nullptr);
    EXPECT_FALSE(DisconnectEnabled());
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.replyDelayMs = 0; });
}

// Disconnect while the keep-alive waits on a tester that went silent, on a busy machine:
// the menu entry returns at once and the window goes on working while the tester is told
// that the connection ends (which a silent tester makes wait its time-out); a second
// Disconnect does no harm, and closing the window cuts the request short.
TEST_F(TesterConnectionTest, DisconnectAndCloseDoNotWaitForASilentTester)
{
    constexpr qint64 kCommandMs = 500;
    constexpr qint64 kCloseMs = 2500;
    CVeskoraConnection& connection = CVeskoraConnection::Instance();
    ASSERT_NO_FATAL_FAILURE(ConnectThenSilenceTheTesterDuringAKeepAlive());
    ASSERT_TRUE(connection.IsKeepAliveRunning());

    std::optional<CpuHog> hog(std::in_place);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    QAction* disconnect = frame->Action(Cmd::ID_DISCONNECT);
    QElapsedTimer timer;
    timer.start();
    disconnect->trigger();
    EXPECT_LT(timer.elapsed(), kCommandMs);
    EXPECT_EQ(connection.GetDevice(), nullptr);
    EXPECT_FALSE(DisconnectEnabled());

    // The end-of-connection request waits on the silent tester; the window works.
    ticks = 0;
    timer.restart();
    disconnect->trigger();
    QTest::qWait(1000);
    EXPECT_GE(ticks, 20) << "the window stood still for " << timer.elapsed() << " ms";
    EXPECT_EQ(connection.GetDevice(), nullptr);

    timer.restart();
    EXPECT_TRUE(frame->close());
    frame.reset();
    EXPECT_LT(timer.elapsed(), kCloseMs);
    hog.reset();
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.replyDelayMs = 0; });
}

// The firmware check after a tester connects, against a server that cannot be reached
// once more than the limit allows: the reminder comes once, posted to the UI thread.
TEST_F(TesterConnectionTest, TheReminderAfterAConnectAppearsOnceOnTheUiThread)
{
    StoreWizardSettings(kProgramKey);
    const QString settings = QStringLiteral("Software\\Velmor\\Veskador 3\\Settings");
    Store().CreateKey(settings);
    Store().Write(settings, QString::fromLatin1(CFirmwareUpdateCheck::kFailCountValue), QStringLiteral("100"));
    Store().Write(settings, QString::fromLatin1(CFirmwareUpdateCheck::kFailCountMaxValue), QStringLiteral("100"));
    PointUpdateServerAt(ClosedPort());

    CVeskoraConnection& connection = CVeskoraConnection::Instance();
    QueueWizard(true);
    ASSERT_TRUE(connection.Connect());
    ASSERT_TRUE(connection.FirmwareCheck()->WaitFinished(kDeadlineMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.boxes.empty(); }, kDeadlineMs));
    // The tester still answers: no second check, no second reminder.
    ASSERT_TRUE(connection.Connect());
    QTest::qWait(200);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].uiThread);
    EXPECT_TRUE(boxes.boxes[0].text.startsWith(QStringLiteral("Repeatedly it was not possible")));
    EXPECT_EQ(Store().ReadString(settings, QString::fromLatin1(CFirmwareUpdateCheck::kFailCountMaxValue)),
              QStringLiteral("50"));
}

// Closing the program while the firmware check waits for a server that does not answer:
// the window goes at once, and nothing of the check is left running.
TEST_F(TesterConnectionTest, ClosingWhileTheFirmwareCheckHangsEndsAtOnce)
{
    StoreWizardSettings(kProgramKey);
    ftp.Pause(); // connections are accepted, no greeting comes
    CVeskoraConnection& connection = CVeskoraConnection::Instance();
    QueueWizard(true);
    ASSERT_TRUE(connection.Connect());
    ASSERT_NE(connection.FirmwareCheck(), nullptr);
    EXPECT_FALSE(connection.FirmwareCheck()->WaitFinished(300));

    std::optional<CpuHog> hog(std::in_place);
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(frame->close());
    frame.reset();
    EXPECT_LT(timer.elapsed(), 2000);
    hog.reset();
    EXPECT_EQ(connection.FirmwareCheck(), nullptr);
    // Our own stop is no failure of the server: nothing was counted.
    EXPECT_FALSE(Store()
                     .ReadString(QStringLiteral("Software\\Velmor\\Veskador 3\\Settings"),
                                 QString::fromLatin1(CFirmwareUpdateCheck::kFailCountValue))
                     .has_value());
    ftp.Resume();
    EXPECT_EQ(ftp.OpenSessions(0), 0);
    QTest::qWait(100);
    EXPECT_TRUE(boxes.boxes.empty());
}

// A tester whose identity and contents are set by the test.
class ContentsDevice : public Device::CVeskora3SeDevice
{
public:
    bool Identify(Device::SIdentity& identity) override
    {
        identity.typeName = QStringLiteral("Veskora 3");
        return answers;
    }
    bool GetVersions(Device::CContents& contents) override
    {
        contents.Clear();
        contents.m_identity.typeName = QStringLiteral("Veskora 3");
        contents.Add({0, 1, 1, V("1.4.2"), QString(), 0, 0, QString()});
        contents.Add({0, 2, 2, V("2.1.0"), QString(), 0, 0, QString()});
        contents.Add({0, 3, 3, V("0.1.0"), QString(), 0, 0, QString()});
        return answers;
    }
    int32_t GetDeviceCode() override { return int32_t(0x0012abcd); }
    bool answers = true;
};

class FirmwareUpdateCheckTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ftp.Running()) << ftp.Log().toStdString();
        PointUpdateServerAt(ftp.Port());
        frame = std::make_unique<CMainFrame>(QStringList{QStringLiteral("veskador3")});
        boxes.boxes.clear();
    }
    void TearDown() override { frame.reset(); }

    void SetCounters(int count, int limit)
    {
        Store().CreateKey(kKey);
        Store().Write(kKey, QString::fromLatin1(CFirmwareUpdateCheck::kFailCountValue),
                      QString::number(count));
        Store().Write(kKey, QString::fromLatin1(CFirmwareUpdateCheck::kFailCountMaxValue),
                      QString::number(limit));
    }
    QString Stored(const char* name)
    {
        return Store().ReadString(kKey, QString::fromLatin1(name)).value_or(QString());
    }

    // Runs one check to its end and lets its queued reports arrive.
    void RunCheck()
    {
        CFirmwareUpdateCheck check(frame.get(), kKey);
        ASSERT_TRUE(check.Start(&device, WM_NEW_DEVICE_APP_VERSION, WM_NEW_DEVICE_OS_VERSION));
        EXPECT_EQ(check.DeviceId(), QStringLiteral("0012abcd"));
        ASSERT_TRUE(check.WaitFinished(kDeadlineMs));
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    const QString kKey = QStringLiteral("Software\\Velmor\\Veskador 3\\Settings");
    AppEnvironment env;
    FtpTestServer ftp;
    MessageBoxRecorder boxes;
    ContentsDevice device;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(FirmwareUpdateCheckTest, PostsTheNewerPackagesOfEachKindAndResetsTheCounters)
{
    for (const char* name : {"pkg-V1.3.9_FW.lod", "pkg-V1.6.0_APP.lod", "pkg-V9.0.0_OS.LOD", "pkg-V2.1.5.lod",
                             "readme-V9.9.txt"})
        ftp.AddFile(QStringLiteral("DiZivavir/0012abcd/") + QString::fromLatin1(name), "x");
    SetCounters(40, 60);
    RunCheck();
    // The untagged 2.1.5 counts for both kinds; only one file is newer per kind here.
    const bool appOk =
        frame->NewestDeviceAppVersion() == V("1.6.0.0") || frame->NewestDeviceAppVersion() == V("2.1.5.0");
    EXPECT_TRUE(appOk) << frame->NewestDeviceAppVersion().Format(4).toStdString();
    EXPECT_EQ(frame->NewestDeviceOsVersion(), V("2.1.5.0"));
    EXPECT_EQ(Stored(CFirmwareUpdateCheck::kFailCountValue), QStringLiteral("0"));
    EXPECT_EQ(Stored(CFirmwareUpdateCheck::kFailCountMaxValue), QStringLiteral("100"));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(FirmwareUpdateCheckTest, NothingNewerClearsAnEarlierNotice)
{
    ftp.AddFile(QStringLiteral("DiZivavir/0012abcd/pkg-V1.4.2_FW.lod"), "x");
    frame->OnNewDeviceAppVersion(1 | 9 << 16, 0);
    frame->OnNewDeviceOsVersion(3, 0);
    RunCheck();
    EXPECT_EQ(frame->NewestDeviceAppVersion().GetValue(), 0u);
    EXPECT_EQ(frame->NewestDeviceOsVersion().GetValue(), 0u);
}

TEST_F(FirmwareUpdateCheckTest, UnreachableServerCountsFailuresAndRemindsAboveTheLimit)
{
    PointUpdateServerAt(ClosedPort());
    struct Case
    {
        int count, limit; // stored before the check
        int newCount, newLimit;
        bool reminder;
    };
    for (const Case c : {Case{0, 100, 1, 100, false}, Case{99, 100, 100, 100, false},
                         Case{100, 100, 0, 50, true}, Case{6, 6, 0, 10, true}, Case{20, 9, 0, 4, true}})
    {
        SCOPED_TRACE(testing::Message() << c.count << "/" << c.limit);
        boxes.boxes.clear();
        SetCounters(c.count, c.limit);
        RunCheck();
        EXPECT_EQ(Stored(CFirmwareUpdateCheck::kFailCountValue), QString::number(c.newCount));
        EXPECT_EQ(Stored(CFirmwareUpdateCheck::kFailCountMaxValue), QString::number(c.newLimit));
        ASSERT_EQ(boxes.boxes.size(), c.reminder ? 1u : 0u);
        if (c.reminder)
        {
            EXPECT_TRUE(boxes.boxes[0].text.startsWith(QStringLiteral(
                "Repeatedly it was not possible to connect the PC to the Internet to check for "
                "newer firmware or OS for the Veskora 3 device.\nIt is advisable")));
            EXPECT_EQ(boxes.boxes[0].type & 0xF0u, uint32_t(Platform::MB_ICONINFORMATION));
            EXPECT_TRUE(boxes.boxes[0].uiThread);
        }
    }
    // The settings key without counters: the limit is 100.
    Store().DeleteValue(kKey, QString::fromLatin1(CFirmwareUpdateCheck::kFailCountValue));
    Store().DeleteValue(kKey, QString::fromLatin1(CFirmwareUpdateCheck::kFailCountMaxValue));
    RunCheck();
    EXPECT_EQ(Stored(CFirmwareUpdateCheck::kFailCountMaxValue), QStringLiteral("100"));
    EXPECT_EQ(Stored(CFirmwareUpdateCheck::kFailCountValue), QStringLiteral("1"));
}

TEST_F(FirmwareUpdateCheckTest, ATesterThatDoesNotAnswerStartsNoSearch)
{
    device.answers = false;
    CFirmwareUpdateCheck check(frame.get(), kKey);
    EXPECT_FALSE(check.Start(&device, WM_NEW_DEVICE_APP_VERSION, WM_NEW_DEVICE_OS_VERSION));
    EXPECT_TRUE(check.WaitFinished(0));
    EXPECT_FALSE(Store().KeyExists(kKey));
}

TEST(FirmwarePackageName, VersionByKind)
{
    struct Case
    {
        const char* name;
        uint32_t kind;
        const char* version; // "0": does not fit
    };
    for (const Case c :
         {Case{"pkg-V1.2.3_FW.lod", 1, "1.2.3.0"}, Case{"pkg-V1.2.3_FW.lod", 2, "0"},
          Case{"pkg-V1.2.3_APP.lod", 1, "1.2.3.0"}, Case{"pkg-V3.1_4_OS.lod", 2, "3.1.4.0"},
          Case{"pkg-V3.1.4_OS.lod", 1, "0"}, Case{"pkg-V2.0.7.lod", 1, "2.0.7.0"},
          Case{"pkg-V2.0.7.lod", 2, "2.0.7.0"}, Case{"pkg-V2.0.7.LOD", 1, "0"},
          Case{"pkg-V1.2.beta_FW.lod", 1, "0"}, Case{"pkg-V1.2.3_fw.lod", 1, "0"},
          Case{"pkg-v1.2.3.lod", 1, "0"}, Case{"lod", 1, "0"}, Case{"pkg-V1.2.3.4.lod", 1, "1.2.3.4"}})
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CFirmwareUpdateCheck::ParseLodVersion(QString::fromLatin1(c.name), c.kind).GetValue(),
                  V(c.version).GetValue());
    }
}
} // namespace
