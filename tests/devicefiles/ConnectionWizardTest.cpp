// The connection wizard end to end: the pages driven through Qt events on the offscreen
// platform, the search on the real device job thread against the simulated portable
// tester over TCP on loopback or a pseudo-terminal, modal dialogs and message boxes
// answered by the test services.
#include "device/DeviceFactory.h"
#include "device/DeviceThread.h"
#include "device/Veskora3SeDevice.h"
#include "devicefiles/DevFoundPage.h"
#include "devicefiles/DevSelectSheet.h"
#include "platform/core/SettingsStore.h"
#include "platform/io/SerialPort.h"
#include "resources/BuiltInStrings.h"
#include "streamio/StreamIO.h"
#include "tests/support/DeviceThreadEnvironment.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/PtyPair.h"
#include "tests/support/QStringPrint.h"
#include "tests/support/sim/PortableTesterSim.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <iterator>
#include <memory>
#include <thread>

using Platform::WizardButton;

namespace
{
// Each test process has a settings store of its own: tests map COM ports to
// pseudo-terminals and run in parallel.
struct IsolatedSettings
{
    QTemporaryDir dir;
    IsolatedSettings() { qputenv("VESKADOR_CONFIG_DIR", dir.path().toLocal8Bit()); }
};
IsolatedSettings g_isolatedSettings;

constexpr int kDeadlineMs = 30000;
const QString kKey = QStringLiteral("Software\\Velmor\\Veskador 3\\ConnWizard\\Veskora\\");

// The built-in texts too: the wizard's pages show them.
class WizardEnvironment : public DeviceThreadEnvironment
{
public:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        DeviceThreadEnvironment::SetUp();
    }
};
[[maybe_unused]] const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new WizardEnvironment);

template <typename T> T* Control(QWidget* parent, const char* name)
{
    T* control = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

QStringList Entries(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// A portable tester that counts its deletions.
std::atomic<int> g_deleted{0};
class CountedDevice : public Device::CVeskora3SeDevice
{
public:
    ~CountedDevice() override { ++g_deleted; }
};

class ConnectionWizardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        address = Sim::UniqueLoopbackAddress();
    }
    void TearDown() override { sheet.reset(); }

    void ServeTcp() { ASSERT_TRUE(sim.Engine().ServeTcp(address, 3728)); }

    // A wizard of the connection objects' kind: interface and result page, login
    // accepted required, set up for the tester on Ethernet.
    CDevSelectSheet& MakeSheet(uint32_t startMode = 2, uint16_t rights = Device::loginAccepted)
    {
        sheet = std::make_unique<CDevSelectSheet>(143, nullptr, startMode, rights);
        CDevSelectSheet::SSettings& s = sheet->Settings();
        s.deviceType = Device::typeVeskora3;
        s.express = 0;
        s.portKind = Device::portEthernet;
        s.ipAddress = address;
        return *sheet;
    }

    QPushButton* Button(WizardButton which) const { return sheet->Button(which); }
    void Click(WizardButton which) { QTest::mouseClick(Button(which), Qt::LeftButton); }
    bool FinishUsable() const
    {
        return Button(WizardButton::finish)->isVisible() && Button(WizardButton::finish)->isEnabled();
    }
    QWidget* Active() const { return sheet->ActivePage(); }
    CDevFoundPage* FoundPage() const
    {
        return dynamic_cast<CDevFoundPage*>(sheet->Page(sheet->PageCount() - 1));
    }
    QString Status() const { return Control<QPlainTextEdit>(FoundPage(), "statusEdit")->toPlainText(); }
    QComboBox* DeviceList() const { return Control<QComboBox>(FoundPage(), "deviceList"); }
    QString Info() const { return Control<QPlainTextEdit>(FoundPage(), "infoEdit")->toPlainText(); }

    // From the interface page to the end of the search. The status edit keeps the last
    // search's text, so it is emptied first.
    bool SearchFromInterfacePage()
    {
        Control<QPlainTextEdit>(FoundPage(), "statusEdit")->clear();
        Click(WizardButton::next);
        return QTest::qWaitFor(
            [&]
            {
                return Status().startsWith(QStringLiteral("Finished device search")) &&
                       Button(WizardButton::back)->isEnabled();
            },
            kDeadlineMs);
    }
    // While a search runs only Cancel can be used.
    bool Searching() const
    {
        return Active() == FoundPage() && !Button(WizardButton::back)->isEnabled() &&
               !Button(WizardButton::finish)->isEnabled() && !DeviceList()->isEnabled();
    }

    // No test may wait on a real modal box or dialog: these answer whatever a test
    // does not answer itself.
    MessageBoxRecorder unexpectedBoxes;
    DialogDriver unexpectedDialogs;
    QString address;
    Sim::PortableTesterSim sim;
    std::unique_ptr<CDevSelectSheet> sheet;
};

TEST_F(ConnectionWizardTest, EthernetSearchFindsTheTesterAndHandsItOver)
{
    ServeTcp();
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.replyDelayMs = 200; });
    MakeSheet();
    DialogDriver dialogs;
    MessageBoxRecorder boxes;
    bool searchedAsSeen = false;
    dialogs.Queue(
        [&](QDialog&)
        {
            // The interface page: Next only, the address of the settings, only the
            // address control usable.
            EXPECT_EQ(Active(), sheet->Page(0));
            EXPECT_FALSE(Button(WizardButton::back)->isEnabled());
            EXPECT_TRUE(Button(WizardButton::next)->isEnabled());
            EXPECT_FALSE(Button(WizardButton::finish)->isVisible());
            QWidget* page = sheet->Page(0);
            EXPECT_EQ(
                Entries(Control<QComboBox>(page, "interfaceList")),
                (QStringList{QStringLiteral("USB"), QStringLiteral("Ethernet"), QStringLiteral("Serial")}));
            EXPECT_EQ(Control<QComboBox>(page, "interfaceList")->currentText(), QStringLiteral("Ethernet"));
            EXPECT_EQ(Control<QLineEdit>(page, "ipAddress")->text(), address);
            EXPECT_TRUE(Control<QLineEdit>(page, "ipAddress")->isEnabled());
            EXPECT_FALSE(Control<QLineEdit>(page, "comPort")->isEnabled());
            EXPECT_FALSE(Control<QCheckBox>(page, "scanCheck")->isEnabled());
            EXPECT_FALSE(Control<QCheckBox>(page, "stopCheck")->isEnabled());

            Click(WizardButton::next);
            searchedAsSeen = QTest::qWaitFor([&] { return Searching(); }, kDeadlineMs);
            ASSERT_TRUE(QTest::qWaitFor([&] { return FinishUsable(); }, kDeadlineMs));
            Click(WizardButton::finish);
        });
    ASSERT_EQ(sheet->DoModal(), Platform::ID_WIZFINISH);
    EXPECT_TRUE(searchedAsSeen);
    EXPECT_EQ(DeviceList()->count(), 0); // the chosen device left the list
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(sim.Engine().CountText("RLGI"), 1);
    EXPECT_EQ(sim.LoginRights(), Device::loginSuperUser | Device::loginAccepted);

    std::unique_ptr<Device::CVmDevice> device = sheet->TakeDevice();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(sheet->GetDevice(), nullptr);
    EXPECT_EQ(device->GetSerialNumber(), QStringLiteral("V3-0001234"));
    EXPECT_EQ(device->GetStreamName(), QStringLiteral("IP:%1:3728").arg(address));
    // The tester still answers on the link that the wizard found it on.
    Device::SIdentity identity;
    EXPECT_TRUE(device->QueryId(identity));
}

TEST_F(ConnectionWizardTest, ResultPageListsTheDeviceWithItsAddressAndDescription)
{
    ServeTcp();
    MakeSheet().show();
    ASSERT_TRUE(SearchFromInterfacePage());
    EXPECT_EQ(Status(), QStringLiteral("Finished device search, found device(s):"));
    EXPECT_EQ(Entries(DeviceList()),
              QStringList{QStringLiteral("Serial number: V3-0001234    @ IP:%1").arg(address)});
    EXPECT_TRUE(DeviceList()->isEnabled());
    EXPECT_TRUE(Button(WizardButton::back)->isEnabled());
    EXPECT_TRUE(FinishUsable());
    EXPECT_FALSE(Button(WizardButton::next)->isVisible());
    EXPECT_TRUE(Info().startsWith(QStringLiteral("Device type:\tVeskora 3\nSerial number:\tV3-0001234\n")));

    // Back discards the devices; Next searches again from an empty list.
    Click(WizardButton::back);
    EXPECT_EQ(Active(), sheet->Page(0));
    EXPECT_EQ(DeviceList()->count(), 0);
    ASSERT_TRUE(SearchFromInterfacePage());
    EXPECT_EQ(DeviceList()->count(), 1);
    EXPECT_EQ(sim.Engine().Connections(), 2);
}

TEST_F(ConnectionWizardTest, SerialScanListsEveryAnsweringPortAndSelectsTheLast)
{
    PtyPair first;
    PtyPair second;
    Sim::PortableTesterSim other;
    ASSERT_TRUE(first.IsValid() && second.IsValid());
    first.MapToCom(5);
    second.MapToCom(9);
    Sim::PortableTesterSim::Identity id = other.GetIdentity();
    id.serialNumber = "V3-0009999";
    other.SetIdentity(id);
    sim.Engine().ServeLink(std::make_unique<Sim::FdLink>(first.MasterFd(), false, false));
    other.Engine().ServeLink(std::make_unique<Sim::FdLink>(second.MasterFd(), false, false));

    MakeSheet();
    sheet->Settings().portKind = Device::portSerial;
    sheet->Settings().scanAll = 1;
    sheet->Settings().stopAfterFirst = 0;
    sheet->show();
    QWidget* page = sheet->Page(0);
    auto* scan = Control<QCheckBox>(page, "scanCheck");
    auto* comPort = Control<QLineEdit>(page, "comPort");
    auto* stop = Control<QCheckBox>(page, "stopCheck");
    EXPECT_EQ(Control<QComboBox>(page, "interfaceList")->currentText(), QStringLiteral("Serial"));
    EXPECT_TRUE(scan->isChecked());
    EXPECT_TRUE(scan->isEnabled());
    EXPECT_FALSE(comPort->isEnabled());
    EXPECT_TRUE(stop->isEnabled());
    EXPECT_FALSE(Control<QLineEdit>(page, "ipAddress")->isEnabled());
    // Without the scan one port is named and the stop box means nothing.
    QTest::mouseClick(scan, Qt::LeftButton);
    EXPECT_TRUE(comPort->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    QTest::mouseClick(scan, Qt::LeftButton);

    ASSERT_TRUE(SearchFromInterfacePage());
    EXPECT_EQ(Entries(DeviceList()), (QStringList{QStringLiteral("Serial number: V3-0001234    @ COM5"),
                                                  QStringLiteral("Serial number: V3-0009999    @ COM9")}));
    EXPECT_EQ(DeviceList()->currentIndex(), 1);
    EXPECT_TRUE(Info().contains(QStringLiteral("Serial number:\tV3-0009999")));

    // The user picks the first one with the keyboard.
    DeviceList()->setFocus();
    QTest::keyClick(DeviceList(), Qt::Key_Up);
    EXPECT_EQ(DeviceList()->currentIndex(), 0);
    EXPECT_TRUE(Info().contains(QStringLiteral("Serial number:\tV3-0001234")));
    Click(WizardButton::finish);
    EXPECT_EQ(sheet->result(), Platform::ID_WIZFINISH);
    ASSERT_NE(sheet->GetDevice(), nullptr);
    EXPECT_EQ(sheet->GetDevice()->GetSerialNumber(), QStringLiteral("V3-0001234"));
    EXPECT_EQ(sheet->GetDevice()->GetStreamName(), QStringLiteral("\\\\.\\COM5"));
    EXPECT_EQ(sheet->Settings().comPort, 1u);
    EXPECT_EQ(sheet->Settings().stopAfterFirst, 0u);
}

// The login check of Finish for each answer a tester can give.
TEST_F(ConnectionWizardTest, FinishChecksTheRemoteLogin)
{
    enum DialogAction
    {
        none,       // the password dialog must not open
        rightFirst, // the right password at once
        wrongThenRight,
        wrongOnly,    // wrong password; the "Login failed" box is answered
        cancelDialog, // the dialog is cancelled
    };
    struct Case
    {
        const char* name;
        uint16_t rights;       // what the sheet requires
        QByteArray appVersion; // of the tester
        QByteArray password;   // of the tester's active profile
        bool superUser;        // of the tester's active profile
        int forcedRights;      // the tester answers these rights whatever was sent
        bool refuseLogin;      // the tester answers "?" to the login command
        DialogAction dialog;
        std::vector<int> answers; // for the message boxes, in order
        bool finished;
        QStringList boxes; // the texts shown, in order
        int logins;        // login commands the tester received on Finish
    };
    const QString unknown = QStringLiteral("Unknown error at device login.");
    const QString failed = QStringLiteral("Login failed");
    const QString noSuperUser =
        QStringLiteral("The active user profile in the device does not have super user "
                       "rights.\r\nChange the active user then press retry.");
    const QString noPassword =
        QStringLiteral("The active user profile in the device does not have a password "
                       "defined.\r\nDefine a password, then press retry.");
    using namespace Platform;
    const Case cases[] = {
        {"profile without password", 4, "1.4.2", "", true, -1, false, none, {}, true, {}, 1},
        {"old firmware needs no login", 4, "0.2.12", "secret", true, -1, false, none, {}, true, {}, 0},
        {"password entered", 4, "1.4.2", "secret", true, -1, false, rightFirst, {}, true, {}, 2},
        {"wrong password, retry",
         4,
         "1.4.2",
         "secret",
         true,
         -1,
         false,
         wrongThenRight,
         {IDRETRY},
         true,
         {failed},
         3},
        {"wrong password, cancel",
         4,
         "1.4.2",
         "secret",
         true,
         -1,
         false,
         wrongOnly,
         {IDCANCEL},
         false,
         {failed},
         2},
        {"password dialog cancelled", 4, "1.4.2", "secret", true, -1, false, cancelDialog, {}, false, {}, 1},
        // The login command is sent with the 32-bit value and again without it.
        {"login refused", 4, "1.4.2", "", true, -1, true, none, {}, false, {unknown}, 2},
        // Repeated, but not for ever.
        {"rights never granted", 4, "1.4.2", "", true, 0, false, none, {}, false, {unknown}, 3},
        {"super user present", 6, "1.4.2", "", true, -1, false, none, {}, true, {}, 1},
        {"super user missing",
         6,
         "1.4.2",
         "",
         false,
         -1,
         false,
         none,
         {IDRETRY, IDCANCEL},
         false,
         {noSuperUser, noSuperUser},
         2},
        {"password required", 5, "1.4.2", "", true, -1, false, none, {IDCANCEL}, false, {noPassword}, 1},
    };
    ServeTcp();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Sim::PortableTesterSim::Identity id;
        id.appVersion = c.appVersion;
        sim.SetIdentity(id);
        Sim::PortableTesterSim::LoginProfile profile;
        profile.password = c.password;
        profile.superUser = c.superUser;
        profile.forcedRights = c.forcedRights;
        sim.SetLoginProfile(profile);
        sim.Engine().UpdateFaults(
            [&](Sim::Faults& f)
            {
                f.refuse.clear();
                if (c.refuseLogin)
                    f.refuse.insert("RLGI");
            });

        MakeSheet(2, c.rights).show();
        ASSERT_TRUE(SearchFromInterfacePage());
        ASSERT_TRUE(FinishUsable());
        sim.Engine().ClearLog();

        DialogDriver dialogs;
        MessageBoxRecorder boxes;
        for (const int answer : c.answers)
            boxes.Answer(answer);
        QString shownUser;
        auto enter = [&](const QString& password)
        {
            return [&, password](QDialog& dialog)
            {
                shownUser = Control<QLineEdit>(&dialog, "userName")->text();
                QTest::keyClicks(Control<QLineEdit>(&dialog, "password"), password);
                QTest::keyClick(&dialog, Qt::Key_Return);
                if (dialog.isVisible())
                    dialog.reject(); // "Login failed" answered Retry: the user gives up here
            };
        };
        switch (c.dialog)
        {
        case none:
            break;
        case rightFirst:
            dialogs.Queue(enter(QStringLiteral("secret")));
            break;
        case wrongThenRight:
            dialogs.Queue(
                [&](QDialog& dialog)
                {
                    shownUser = Control<QLineEdit>(&dialog, "userName")->text();
                    QLineEdit* password = Control<QLineEdit>(&dialog, "password");
                    QTest::keyClicks(password, QStringLiteral("wrong"));
                    QTest::keyClick(&dialog, Qt::Key_Return);
                    EXPECT_TRUE(dialog.isVisible()); // Retry keeps the dialog open
                    password->clear();
                    QTest::keyClicks(password, QStringLiteral("secret"));
                    QTest::keyClick(&dialog, Qt::Key_Return);
                });
            break;
        case wrongOnly:
            dialogs.Queue(enter(QStringLiteral("wrong")));
            break;
        case cancelDialog:
            dialogs.Queue(
                [&](QDialog& dialog)
                {
                    shownUser = Control<QLineEdit>(&dialog, "userName")->text();
                    QTest::keyClick(&dialog, Qt::Key_Escape);
                });
            break;
        }

        Click(WizardButton::finish);
        QStringList shown;
        for (const auto& box : boxes.boxes)
            shown << box.text;
        EXPECT_EQ(shown, c.boxes);
        EXPECT_EQ(dialogs.titles,
                  c.dialog == none ? QStringList{} : QStringList{QStringLiteral("Remote Login")});
        if (c.dialog != none)
        {
            EXPECT_EQ(shownUser, QStringLiteral("Admin"));
        }
        if (c.finished)
        {
            EXPECT_EQ(sheet->result(), Platform::ID_WIZFINISH);
            EXPECT_FALSE(sheet->isVisible());
            ASSERT_NE(sheet->GetDevice(), nullptr);
            EXPECT_EQ(sheet->GetDevice()->GetLogin().rights & c.rights, c.rights);
        }
        else
        {
            // The wizard stays on the result page with the device still listed.
            EXPECT_TRUE(sheet->isVisible());
            EXPECT_EQ(Active(), FoundPage());
            EXPECT_EQ(DeviceList()->count(), 1);
            EXPECT_TRUE(FinishUsable());
        }
        EXPECT_EQ(sim.Engine().CountText("RLGI"), c.logins);
        if (sheet->isVisible())
            Click(WizardButton::cancel);
        sheet.reset();
    }
}

TEST_F(ConnectionWizardTest, CancelDuringASearchAbortsIt)
{
    ServeTcp();
    // The tester answers too late: the identification waits out its time-out.
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.replyDelayMs = 20000; });
    MakeSheet().show();
    Click(WizardButton::next);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Searching() && Status().startsWith(QStringLiteral("Search Veskora 3")); }, kDeadlineMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.Engine().TextFrameStarts() > 0; }, kDeadlineMs));
    QElapsedTimer timer;
    timer.start();
    Click(WizardButton::cancel);
    EXPECT_LT(timer.elapsed(), 4000); // the abort cuts the wait short
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(sheet->result(), QDialog::Rejected);
    // Whatever the search still reported is dropped.
    QTest::qWait(300);
    EXPECT_EQ(DeviceList()->count(), 0);
    sheet.reset();

    // The next wizard's search runs normally (on another tester: this one is still
    // busy with its late answer).
    Sim::PortableTesterSim other;
    address = Sim::UniqueLoopbackAddress();
    ASSERT_TRUE(other.Engine().ServeTcp(address, 3728));
    MakeSheet().show();
    ASSERT_TRUE(SearchFromInterfacePage());
    EXPECT_EQ(DeviceList()->count(), 1);
}

TEST_F(ConnectionWizardTest, ClosingTheWizardDuringASearchLeavesNothingBehind)
{
    ServeTcp();
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.replyDelayMs = 20000; });
    MakeSheet().show();
    Click(WizardButton::next);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.Engine().TextFrameStarts() > 0; }, kDeadlineMs));
    QElapsedTimer timer;
    timer.start();
    sheet.reset(); // destroyed without Cancel: the page ends the search itself
    EXPECT_LT(timer.elapsed(), 4000);
    QTest::qWait(200);

    // A device that a job hands over after the page is gone is deleted, never leaked;
    // so is one that comes while no search runs.
    MakeSheet().show();
    CDevFoundPage* page = FoundPage();
    g_deleted = 0;
    std::thread([page] { page->OnDeviceFound(new CountedDevice); }).join();
    QTest::qWait(50);
    EXPECT_EQ(g_deleted.load(), 1);
    EXPECT_EQ(DeviceList()->count(), 0);
    std::thread([page] { page->OnDeviceFound(new CountedDevice); }).join();
    sheet.reset();
    QTest::qWait(50);
    EXPECT_EQ(g_deleted.load(), 2);
}

TEST_F(ConnectionWizardTest, NoDeviceFoundOffersRetry)
{
    // Nothing listens on the address.
    MakeSheet().show();
    MessageBoxRecorder boxes;
    boxes.Answer(Platform::IDRETRY);
    boxes.Answer(Platform::IDCANCEL);
    Click(WizardButton::next);
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.boxes.size() == 2 && !Searching(); }, kDeadlineMs));
    EXPECT_TRUE(boxes.boxes[0].text.startsWith(QStringLiteral("No device found.\r\n\r\nPlease make sure")));
    EXPECT_TRUE(boxes.boxes[0].text.endsWith(QStringLiteral(" for further assistance.\r\n\r\nRetry?")));
    EXPECT_EQ(boxes.boxes[0].type & 0x0F, Platform::MB_RETRYCANCEL);
    EXPECT_EQ(boxes.boxes[1].text, boxes.boxes[0].text);
    EXPECT_EQ(Status(), QStringLiteral("Finished device search, no device found."));
    EXPECT_TRUE(Button(WizardButton::back)->isEnabled());
    EXPECT_TRUE(Button(WizardButton::finish)->isVisible());
    EXPECT_FALSE(Button(WizardButton::finish)->isEnabled());
    EXPECT_EQ(DeviceList()->count(), 0);
}

TEST_F(ConnectionWizardTest, InterfacePageFollowsTheDeviceType)
{
    struct Case
    {
        const char* name;
        uint32_t type;
        uint32_t storedPortKind;
        QStringList entries;
        QString selected;
    };
    const Case cases[] = {
        {"portable tester, nothing chosen yet",
         Device::typeVeskora3,
         0,
         {QStringLiteral("USB"), QStringLiteral("Ethernet"), QStringLiteral("Serial")},
         QStringLiteral("USB")},
        {"portable tester on a serial port",
         Device::typeVeskora3,
         Device::portSerial,
         {QStringLiteral("USB"), QStringLiteral("Ethernet"), QStringLiteral("Serial")},
         QStringLiteral("Serial")},
        {"indentation tester: USB only",
         Device::typeVeskamon3,
         Device::portEthernet,
         {QStringLiteral("USB")},
         QStringLiteral("USB")},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        MakeSheet();
        sheet->Settings().deviceType = c.type;
        sheet->Settings().portKind = c.storedPortKind;
        sheet->show();
        QWidget* page = sheet->Page(0);
        auto* list = Control<QComboBox>(page, "interfaceList");
        EXPECT_EQ(Entries(list), c.entries);
        EXPECT_EQ(list->currentText(), c.selected);
        if (c.selected == QStringLiteral("USB"))
        {
            for (const char* name : {"scanCheck", "stopCheck", "comPort", "ipAddress"})
                EXPECT_FALSE(Control<QWidget>(page, name)->isEnabled()) << name;
        }
        sheet.reset();
    }
}

TEST_F(ConnectionWizardTest, ComPortOutsideItsRangeKeepsThePage)
{
    MakeSheet();
    sheet->Settings().portKind = Device::portSerial;
    sheet->Settings().scanAll = 0;
    sheet->show();
    auto* comPort = Control<QLineEdit>(sheet->Page(0), "comPort");
    MessageBoxRecorder boxes;
    for (const char* text : {"0", "10000", "x"})
    {
        comPort->clear();
        QTest::keyClicks(comPort, QString::fromLatin1(text));
        Click(WizardButton::next);
        EXPECT_EQ(Active(), sheet->Page(0)) << text;
    }
    ASSERT_EQ(boxes.boxes.size(), 3u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Please enter an integer between 1 and 9999."));
    EXPECT_EQ(boxes.boxes[1].text, QStringLiteral("Please enter an integer between 1 and 9999."));
    EXPECT_EQ(boxes.boxes[2].text, QStringLiteral("Please enter an integer."));

    // The highest number is taken; the search then finds nothing there.
    boxes.Answer(Platform::IDCANCEL);
    comPort->clear();
    QTest::keyClicks(comPort, QStringLiteral("9999"));
    ASSERT_TRUE(SearchFromInterfacePage());
    EXPECT_EQ(sheet->Settings().comPort, 9999u);
    EXPECT_EQ(sheet->Settings().scanAll, 0u);
    EXPECT_EQ(sheet->Settings().portKind, uint32_t(Device::portSerial));
}

TEST_F(ConnectionWizardTest, FullWizardWalksWelcomeTypeAndInterface)
{
    MakeSheet(0);
    sheet->Settings().express = 1;
    QSignalSpy help(sheet.get(), &CDevSelectSheet::HelpRequested);
    sheet->show();
    ASSERT_EQ(sheet->PageCount(), 4);
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Select and connect the device"));
    EXPECT_EQ(Button(WizardButton::next)->text(), QStringLiteral("Next >"));
    EXPECT_EQ(Button(WizardButton::cancel)->toolTip(), QStringLiteral("Abort this application"));

    // Welcome: Next only; Express checked from the settings, Custom chosen.
    EXPECT_FALSE(Button(WizardButton::back)->isEnabled());
    EXPECT_TRUE(Control<QRadioButton>(Active(), "expressRadio")->isChecked());
    QTest::keyClick(sheet.get(), Qt::Key_F1);
    auto* custom = Control<QRadioButton>(Active(), "customRadio");
    QTest::mouseClick(custom, Qt::LeftButton, {}, QPoint(6, custom->height() / 2));
    Click(WizardButton::next);
    EXPECT_EQ(sheet->Settings().express, 0u);

    // Device type: every type by its name, the settings' type selected.
    auto* types = Control<QListWidget>(Active(), "deviceTypeList");
    ASSERT_EQ(types->count(), 15);
    EXPECT_EQ(types->item(0)->text(), QStringLiteral("Veskora 3"));
    EXPECT_EQ(types->item(5)->text(), QStringLiteral("Veskamon 3"));
    EXPECT_EQ(types->currentRow(), 0);
    EXPECT_TRUE(Button(WizardButton::back)->isEnabled());
    QTest::keyClick(types, Qt::Key_F1);
    types->setCurrentRow(5);
    Click(WizardButton::next);

    // Interface: the template device is now the indentation tester.
    ASSERT_EQ(Active(), sheet->Page(2));
    ASSERT_NE(sheet->GetDevice(), nullptr);
    EXPECT_EQ(sheet->GetDevice()->GetType(), Device::typeVeskamon3);
    EXPECT_EQ(Entries(Control<QComboBox>(Active(), "interfaceList")), QStringList{QStringLiteral("USB")});
    QTest::keyClick(Control<QLineEdit>(Active(), "comPort"), Qt::Key_F1);
    QTest::mouseClick(Control<QPushButton>(Active(), "helpButton"), Qt::LeftButton);
    Click(WizardButton::back);
    EXPECT_EQ(Active(), sheet->Page(1));
    ASSERT_EQ(help.size(), 4);
    const quint32 topics[] = {0, 21002, 21003, 21003};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(help.at(i).at(0).toUInt(), topics[i]) << i;

    // A device-type page limited to some types, and a hidden Help button.
    sheet.reset();
    MakeSheet(1);
    sheet->SetAllowedTypes({Device::typeVeskamon3, Device::typeVeskora3});
    sheet->SetHideHelpButton(true);
    sheet->show();
    types = Control<QListWidget>(Active(), "deviceTypeList");
    ASSERT_EQ(types->count(), 2);
    EXPECT_EQ(types->item(0)->text(), QStringLiteral("Veskamon 3"));
    EXPECT_EQ(types->currentRow(), 1);
    EXPECT_FALSE(Button(WizardButton::back)->isEnabled());
    Click(WizardButton::next);
    EXPECT_FALSE(Control<QPushButton>(Active(), "helpButton")->isVisible());

    // Any start mode above 1 is the short wizard.
    sheet.reset();
    EXPECT_EQ(MakeSheet(7).StartMode(), 2u);
    EXPECT_EQ(sheet->PageCount(), 2);
}

TEST(ConnectionWizardSettings, LoadReadsEachValueByItsRule)
{
    auto& store = Platform::SettingsStore::Instance();
    const QString key = QStringLiteral("Software\\Velmor\\Veskador 3\\ConnWizard\\Load\\");
    using Value = Platform::SettingsStore::Value;
    struct Case
    {
        const char* name;
        std::vector<std::pair<QString, Value>> values;
        CDevSelectSheet::SSettings expected;
    };
    const auto settings = [](uint32_t express, uint32_t type, uint32_t com, uint32_t kind, uint32_t scan,
                             uint32_t stop, QString ip)
    { return CDevSelectSheet::SSettings{express, type, com, kind, scan, stop, std::move(ip)}; };
    const QString longest(260, QLatin1Char('1'));
    const Case cases[] = {
        {"empty key gives the defaults", {}, settings(1, 0, 1, 0, 1, 1, {})},
        {"values in range",
         {{QStringLiteral("Express"), 0u},
          {QStringLiteral("DeviceType"), 5u},
          {QStringLiteral("ComPort"), 9998u},
          {QStringLiteral("CommPort"), 4u},
          {QStringLiteral("Scan"), 0u},
          {QStringLiteral("Stop Scan"), 0u},
          {QStringLiteral("IP Address"), QStringLiteral("127.0.0.9")}},
         settings(0, 5, 9998, 4, 0, 0, QStringLiteral("127.0.0.9"))},
        {"out of range and other types",
         {{QStringLiteral("Express"), QStringLiteral("0")},
          {QStringLiteral("DeviceType"), 15u},
          {QStringLiteral("ComPort"), 9999u},
          {QStringLiteral("CommPort"), 0u},
          {QStringLiteral("Scan"), 7u},
          {QStringLiteral("Stop Scan"), QByteArray("\0", 1)},
          {QStringLiteral("IP Address"), 1u}},
         settings(1, 0, 1, 0, 1, 1, {})},
        {"longest address", {{QStringLiteral("IP Address"), longest}}, settings(1, 0, 1, 0, 1, 1, longest)},
        {"address too long",
         {{QStringLiteral("IP Address"), longest + QLatin1Char('1')}},
         settings(1, 0, 1, 0, 1, 1, {})},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        store.DeleteKey(key);
        ASSERT_TRUE(store.CreateKey(key));
        for (const auto& [name, value] : c.values)
            ASSERT_TRUE(store.Write(key, name, value));
        CDevSelectSheet sheet(0, nullptr, 2, 4);
        sheet.Settings() = settings(7, 7, 7, 7, 7, 7, QStringLiteral("old"));
        ASSERT_TRUE(sheet.LoadSettings(key));
        const CDevSelectSheet::SSettings& s = sheet.Settings();
        EXPECT_EQ(s.express, c.expected.express);
        EXPECT_EQ(s.deviceType, c.expected.deviceType);
        EXPECT_EQ(s.comPort, c.expected.comPort);
        EXPECT_EQ(s.portKind, c.expected.portKind);
        EXPECT_EQ(s.scanAll, c.expected.scanAll);
        EXPECT_EQ(s.stopAfterFirst, c.expected.stopAfterFirst);
        EXPECT_EQ(s.ipAddress, c.expected.ipAddress);
    }

    // No key, or no path: nothing changes.
    CDevSelectSheet sheet(0, nullptr, 2, 4);
    sheet.Settings().ipAddress = QStringLiteral("kept");
    EXPECT_FALSE(sheet.LoadSettings(QStringLiteral("Software\\Velmor\\Veskador 3\\ConnWizard\\None\\")));
    EXPECT_FALSE(sheet.LoadSettings(QString()));
    EXPECT_EQ(sheet.Settings().ipAddress, QStringLiteral("kept"));
}

TEST(ConnectionWizardSettings, SaveWritesTheSevenValuesAndReadsBack)
{
    auto& store = Platform::SettingsStore::Instance();
    store.DeleteKey(kKey);
    CDevSelectSheet sheet(0, nullptr, 2, 4);
    sheet.Settings() = CDevSelectSheet::SSettings{0, 5, 9999, 4, 0, 1, QStringLiteral("127.0.0.3")};
    ASSERT_TRUE(sheet.SaveSettings(kKey));
    QStringList names = store.ValueNames(kKey);
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("ComPort"), QStringLiteral("CommPort"),
                                  QStringLiteral("DeviceType"), QStringLiteral("Express"),
                                  QStringLiteral("IP Address"), QStringLiteral("Scan"),
                                  QStringLiteral("Stop Scan")}));
    EXPECT_EQ(store.ReadNumber(kKey, QStringLiteral("Express")), 0u);
    EXPECT_EQ(store.ReadNumber(kKey, QStringLiteral("DeviceType")), 5u);
    EXPECT_EQ(store.ReadNumber(kKey, QStringLiteral("ComPort")), 9999u);
    EXPECT_EQ(store.ReadNumber(kKey, QStringLiteral("CommPort")), 4u);
    EXPECT_EQ(store.ReadString(kKey, QStringLiteral("IP Address")), QStringLiteral("127.0.0.3"));

    // COM 9999 is written but reads back as 1.
    CDevSelectSheet reader(0, nullptr, 2, 4);
    ASSERT_TRUE(reader.LoadSettings(kKey));
    EXPECT_EQ(reader.Settings().comPort, 1u);
    EXPECT_EQ(reader.Settings().portKind, 4u);

    // A held device's type wins over the field; a COM number of 0 is written as 1.
    sheet.SetDevice(Device::CreateDevice(Device::typeVeskora3));
    sheet.Settings().comPort = 0;
    ASSERT_TRUE(sheet.SaveSettings(kKey));
    EXPECT_EQ(store.ReadNumber(kKey, QStringLiteral("DeviceType")), 0u);
    EXPECT_EQ(store.ReadNumber(kKey, QStringLiteral("ComPort")), 1u);
    EXPECT_FALSE(sheet.SaveSettings(QString()));
}

} // namespace

TEST_F(ConnectionWizardTest, AnIpAddressThatIsNoneKeepsThePageWithAMessage)
{
    MakeSheet();
    sheet->Settings().portKind = Device::portEthernet;
    // A stored address does not pass the control's typing check.
    sheet->Settings().ipAddress = QStringLiteral("999.300.1.1");
    sheet->show();
    auto* ip = Control<QLineEdit>(sheet->Page(0), "ipAddress");
    MessageBoxRecorder boxes;
    EXPECT_EQ(ip->text(), QStringLiteral("999.300.1.1"));
    Click(WizardButton::next);
    EXPECT_EQ(Active(), sheet->Page(0));
    struct Row
    {
        const char* text;
        bool typed; // else set as a stored address is, past the typing check
    };
    const Row rows[] = {
        {"192.168.1", true},
        {"10.0.0.", true},
        {"", true},
        // Typed as it is, not shortened into another address that Next would search.
        {"999.1.1.1", true},
        {"1.2.3.256", true},
        {"01.2.3.4", true},
        // A whole address inside one that is none.
        {"300.1.1.1", false},
        {"1.2.3.4.5", false},
        {"1.2.3.4x", false},
    };
    for (const Row& row : rows)
    {
        ip->clear();
        if (row.typed)
            QTest::keyClicks(ip, QString::fromLatin1(row.text));
        else
            ip->setText(QString::fromLatin1(row.text));
        EXPECT_EQ(ip->text(), QString::fromLatin1(row.text));
        Click(WizardButton::next);
        EXPECT_EQ(Active(), sheet->Page(0)) << row.text;
        EXPECT_EQ(ip->text(), QString::fromLatin1(row.text));
        ASSERT_FALSE(boxes.boxes.empty());
        EXPECT_TRUE(
            boxes.boxes.back().text.startsWith(u'"' + QLatin1String(row.text) + QStringLiteral("\" is not")))
            << boxes.boxes.back().text.toStdString();
    }
    ASSERT_EQ(boxes.boxes.size(), 1 + std::size(rows));
    EXPECT_EQ(boxes.boxes[0].text,
              QStringLiteral("\"999.300.1.1\" is not an IP address. Please type four numbers from 0 to 255 "
                             "separated by dots, such as 192.168.1.20."));
    EXPECT_EQ(sheet->Settings().ipAddress, QStringLiteral("999.300.1.1")) << "nothing taken from the page";
}
