#pragma once
// A main window with a simulated portable tester behind the connection wizard, for the
// commands that work on the tester's files. The tester answers over TCP on loopback or
// over a pseudo-terminal; the wizard and the measurement file explorer are driven
// through their widgets by queued handlers; message boxes are recorded.
#include "app/MainFrm.h"
#include "device/DeviceThread.h"
#include "devicefiles/DevSelectSheet.h"
#include "devicefiles/Vesk3Explorer.h"
#include "devicefiles/VeskoraConnection.h"
#include "devicefiles/core/FirmwareUpdateCheck.h"
#include "devicefiles/core/UpdateFtpClient.h"
#include "platform/core/SettingsStore.h"
#include "platform/io/SerialPort.h"
#include "streamio/StreamIO.h"
#include "tests/support/DeviceThreadEnvironment.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/PtyPair.h"
#include "tests/support/QStringPrint.h"
#include "tests/support/sim/PortableTesterSim.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace TesterCommands
{
inline constexpr int kDeadlineMs = 30000;
inline const QByteArray kVsmRoot = "\\Persistent Storage\\vsm\\";
inline const QByteArray kCnvRoot = "\\Persistent Storage\\cnv\\";

// Each test process has a settings store of its own: tests map COM ports to
// pseudo-terminals and run in parallel.
struct IsolatedSettings
{
    QTemporaryDir dir;
    IsolatedSettings() { qputenv("VESKADOR_CONFIG_DIR", dir.path().toLocal8Bit()); }
};


// One settings store and one device thread for the whole test program.
inline IsolatedSettings g_isolatedSettings;
[[maybe_unused]] inline const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new DeviceThreadEnvironment);

enum class Link
{
    tcp,
    pty
};

class Fixture : public ::testing::Test
{
protected:
    static constexpr uint32_t kComPort = 7;

    void SetUp() override
    {
        ASSERT_TRUE(ftp.Running()) << ftp.Log().toStdString();
        // The update server knows the simulated tester, so that the firmware check of each
        // connection finds it and has nothing to remind of.
        ftp.AddFile(QStringLiteral("DiZivavir/00030001/readme.txt"), "no packages");
        const QString key = QString::fromLatin1(kUpdateServerSettingsKey);
        Store().CreateKey(key);
        Store().Write(key, QStringLiteral("FtpServer"), QStringLiteral("127.0.0.1"));
        Store().Write(key, QStringLiteral("FtpPort"), uint32_t(ftp.Port()));
        frame = std::make_unique<CMainFrame>(QStringList{QStringLiteral("veskador3")});
        boxes.boxes.clear(); // the missing Standard.cnv
    }
    void TearDown() override
    {
        if (CFirmwareUpdateCheck* check = CVeskoraConnection::Instance().FirmwareCheck())
        {
            EXPECT_TRUE(check->WaitFinished(kDeadlineMs));
        }
        frame.reset(); // disconnects the tester
        EXPECT_EQ(CVeskoraConnection::Instance().GetDevice(), nullptr);
    }

    static Platform::SettingsStore& Store() { return Platform::SettingsStore::Instance(); }
    CVeskDoc& Doc() { return frame->Document(); }

    // Starts the simulator on the link and points the wizard's settings at it.
    void Serve(Link link)
    {
        const QString key = QStringLiteral("Software\\Velmor\\Veskador 3\\ConnWizard\\Veskora\\");
        Store().CreateKey(key);
        if (link == Link::tcp)
        {
            const QString address = Sim::UniqueLoopbackAddress();
            ASSERT_TRUE(sim.Engine().ServeTcp(address, 3728));
            Store().Write(key, QStringLiteral("CommPort"), uint32_t(Device::portEthernet));
            Store().Write(key, QStringLiteral("IP Address"), address);
            return;
        }
        pty = std::make_unique<PtyPair>();
        ASSERT_TRUE(pty->IsValid());
        pty->MapToCom(kComPort);
        // A link the tester drops hangs the line up, as a pulled cable does.
        sim.Engine().ServeLink(std::make_unique<Sim::FdLink>(pty->MasterFd(), false, false,
                                                             [p = pty.get()] { p->CloseMaster(); }));
        Store().Write(key, QStringLiteral("CommPort"), uint32_t(Device::portSerial));
        Store().Write(key, QStringLiteral("ComPort"), kComPort);
        Store().Write(key, QStringLiteral("Scan"), uint32_t(0));
    }

    // The next wizard searches and ends with Finish.
    void QueueWizard()
    {
        dialogs.Queue(
            [](QDialog& dialog)
            {
                auto* sheet = dynamic_cast<CDevSelectSheet*>(&dialog);
                ASSERT_NE(sheet, nullptr);
                QTest::mouseClick(sheet->Button(Platform::WizardButton::next), Qt::LeftButton);
                QPushButton* finish = sheet->Button(Platform::WizardButton::finish);
                ASSERT_TRUE(
                    QTest::qWaitFor([&] { return finish->isVisible() && finish->isEnabled(); }, kDeadlineMs));
                QTest::mouseClick(finish, Qt::LeftButton);
            });
    }

    // The next explorer is handed to the handler, which ends it.
    void QueueExplorer(std::function<void(CVesk3Explorer&)> handler)
    {
        dialogs.Queue(
            [handler = std::move(handler)](QDialog& dialog)
            {
                auto* explorer = dynamic_cast<CVesk3Explorer*>(&dialog);
                ASSERT_NE(explorer, nullptr) << dialog.windowTitle().toStdString();
                ASSERT_TRUE(QTest::qWaitForWindowExposed(explorer));
                handler(*explorer);
            });
    }

    // The explorer's row of that text, or null.
    static QTreeWidgetItem* Row(CVesk3Explorer& explorer, const QString& text)
    {
        QTreeWidget* list = explorer.List();
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (list->topLevelItem(i)->text(0) == text)
                return list->topLevelItem(i);
        return nullptr;
    }

    static QStringList RowTexts(CVesk3Explorer& explorer)
    {
        QStringList texts;
        QTreeWidget* list = explorer.List();
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            texts << list->topLevelItem(i)->text(0);
        return texts;
    }

    // Selects exactly these rows, as clicks with Ctrl would.
    static void Choose(CVesk3Explorer& explorer, const QStringList& texts)
    {
        explorer.List()->clearSelection();
        for (const QString& text : texts)
        {
            QTreeWidgetItem* item = Row(explorer, text);
            ASSERT_NE(item, nullptr) << text.toStdString();
            item->setSelected(true);
            explorer.List()->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
        }
    }

    static void DoubleClick(CVesk3Explorer& explorer, const QString& text)
    {
        QTreeWidgetItem* item = Row(explorer, text);
        ASSERT_NE(item, nullptr) << text.toStdString();
        QWidget* viewport = explorer.List()->viewport();
        const QPoint at = explorer.List()->visualItemRect(item).center();
        // A double click follows a click, as the view expects it.
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
    }

    static void Click(CVesk3Explorer& explorer, const char* button)
    {
        auto* b = explorer.findChild<QAbstractButton*>(QString::fromLatin1(button));
        ASSERT_NE(b, nullptr) << button;
        QTest::mouseClick(b, Qt::LeftButton);
    }

    // The paths the tester was asked to load, in order.
    QStringList Loaded(const QByteArray& root)
    {
        QStringList paths;
        for (const QByteArray& line : sim.Engine().TextCommands())
        {
            if (!line.startsWith("LOAD"))
                continue;
            const std::vector<QByteArray> args = Sim::QuotedArguments(line);
            if (!args.empty() && args[0].startsWith(root))
                paths << QString::fromLatin1(args[0]);
        }
        return paths;
    }

    AppEnvironment env;
    FtpTestServer ftp;
    MessageBoxRecorder boxes;
    DialogDriver dialogs;
    Sim::PortableTesterSim sim;
    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<CMainFrame> frame;
};
} // namespace TesterCommands
