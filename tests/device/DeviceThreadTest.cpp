#include "device/DeviceThread.h"
#include "device/DelvaSmartDevice.h"
#include "device/HarrowindDevice.h"
#include "device/PackageHeader.h"
#include "device/ReportMessage.h"
#include "device/Veskamon2Device.h"
#include "device/Veskora3SeDevice.h"
#include "platform/core/SettingsStore.h"
#include "platform/io/SerialPort.h"
#include "resources/BuiltInStrings.h"
#include "streamio/StreamIO.h"
#include "tests/support/DeviceThreadEnvironment.h"
#include "tests/device/JobRecorder.h"
#include "tests/support/HidProbeSimulator.h"
#include "tests/support/PtyPair.h"
#include "tests/support/ScriptedStream.h"
#include "tests/support/sim/IndentationTesterSim.h"
#include "tests/support/sim/PortableTesterSim.h"

#include <QElapsedTimer>
#include <QThread>

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <stdexcept>

using namespace Device;

namespace
{
constexpr uint32_t kSimPort = 5;

QString SearchLine(int port)
{
    return QStringLiteral("Search Veskora 3 device on Serial COM%1:...").arg(port);
}

// The ports whose search line appears in the statuses, in order.
std::vector<int> PortsTried(const QStringList& statuses)
{
    std::vector<int> ports;
    for (const QString& s : statuses)
        for (int port = 1; port <= 256; ++port)
            if (s == SearchLine(port))
                ports.push_back(port);
    return ports;
}

class DeviceThreadTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        RegisterBuiltInStrings();
        StartDeviceThreadAwayFromRealPorts();
    }
    static void TearDownTestSuite() { StopDeviceThread(); }


    // The portable tester on a pseudo-terminal mapped to COM5.
    void ServeOnPty()
    {
        ASSERT_TRUE(pty.IsValid());
        pty.MapToCom(kSimPort);
        sim.Engine().ServeLink(std::make_unique<Sim::FdLink>(pty.MasterFd(), false, false));
    }

    static SConnectParams SerialSearch(bool scanAll, bool stopAtFirst)
    {
        SConnectParams p;
        p.type = typeVeskora3;
        p.portKind = portSerial;
        p.scanAll = scanAll ? 1 : 0;
        p.stopAtFirst = stopAtFirst ? 1 : 0;
        p.comPort = int32_t(kSimPort);
        return p;
    }

    PtyPair pty;
    Sim::PortableTesterSim sim;
    JobRecorder recorder;
};

TEST_F(DeviceThreadTest, ScanSkipsTheGivenPortAndStopsAtTheFirstDevice)
{
    ServeOnPty();
    SConnectParams p = SerialSearch(true, true);
    p.skipComPort = 3;
    ASSERT_TRUE(PostConnectJob(&recorder, &p));
    ASSERT_TRUE(recorder.WaitEnds(1, 30000));
    EXPECT_EQ(PortsTried(recorder.Statuses()), (std::vector<int>{1, 2, 4, 5}));
    ASSERT_EQ(recorder.DeviceCount(), 1u);
    std::unique_ptr<CVmDevice> device = recorder.TakeDevice();
    EXPECT_EQ(device->GetSerialNumber(), QStringLiteral("V3-0001234"));
    EXPECT_EQ(device->GetPortKind(), uint32_t(portSerial));
    EXPECT_TRUE(recorder.Statuses().contains(SearchLine(1) + QStringLiteral("\r\ncould not open port.")));
    EXPECT_TRUE(
        recorder.Statuses().contains(SearchLine(5) + QStringLiteral("\r\n Veskora 3   Serial: V3-0001234")));
}

TEST_F(DeviceThreadTest, ScanWithoutStopTriesEveryPort)
{
    ServeOnPty();
    SConnectParams p = SerialSearch(true, false);
    p.skipComPort = 3;
    ASSERT_TRUE(PostConnectJob(&recorder, &p));
    ASSERT_TRUE(recorder.WaitEnds(1, 60000));
    std::vector<int> expected;
    for (int port = 1; port <= 256; ++port)
        if (port != 3)
            expected.push_back(port);
    EXPECT_EQ(PortsTried(recorder.Statuses()), expected);
    EXPECT_EQ(recorder.DeviceCount(), 1u);
}

TEST_F(DeviceThreadTest, SinglePortIsTriedOnce)
{
    ServeOnPty();
    SConnectParams p = SerialSearch(false, true);
    ASSERT_TRUE(PostConnectJob(&recorder, &p));
    ASSERT_TRUE(recorder.WaitEnds(1, 30000));
    EXPECT_EQ(PortsTried(recorder.Statuses()), (std::vector<int>{5}));
    EXPECT_EQ(recorder.DeviceCount(), 1u);
    EXPECT_EQ(sim.Engine().CountText("@ID@"), 1);
}

TEST_F(DeviceThreadTest, NothingToProbeEndsWithNone)
{
    SConnectParams noPort;
    noPort.type = typeVeskora3;
    ASSERT_TRUE(PostConnectJob(&recorder, &noPort));
    SConnectParams noType; // type "none": no device object, nothing probed
    noType.portKind = portSerial;
    ASSERT_TRUE(PostConnectJob(&recorder, &noType));
    ASSERT_TRUE(recorder.WaitEnds(2, 10000));
    EXPECT_TRUE(recorder.Statuses().isEmpty());
    EXPECT_EQ(recorder.DeviceCount(), 0u);
    EXPECT_FALSE(PostConnectJob(nullptr, &noPort));
    EXPECT_FALSE(PostConnectJob(&recorder, nullptr));
}

TEST_F(DeviceThreadTest, AbortCutsAWaitingSearchShort)
{
    ServeOnPty();
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.noAck = true; }); // a silent device
    SConnectParams p = SerialSearch(false, true);
    ASSERT_TRUE(PostConnectJob(&recorder, &p));
    QElapsedTimer started;
    started.start();
    while (sim.Engine().TextFrameStarts() == 0 && started.elapsed() < 10000)
        QThread::msleep(5);
    ASSERT_GT(sim.Engine().TextFrameStarts(), 0);
    const int statusesBefore = int(recorder.Statuses().size());

    QElapsedTimer timer;
    timer.start();
    AbortDeviceJobs(8000);
    EXPECT_LT(timer.elapsed(), 1500); // not the 8 s of the line-end question
    QThread::msleep(100);
    EXPECT_EQ(recorder.Statuses().size(), statusesBefore); // nothing after the abort
    EXPECT_EQ(recorder.Ends(), 0);                         // an aborted search sends no "none"

    // The abort does not swallow the next job.
    SConnectParams idle;
    idle.type = typeVeskora3;
    ASSERT_TRUE(PostConnectJob(&recorder, &idle));
    EXPECT_TRUE(recorder.WaitEnds(1, 10000));
}

TEST_F(DeviceThreadTest, AnAbortAfterTheHandOverNeverReachesTheFoundDevice)
{
    ServeOnPty();
    const SConnectParams p = SerialSearch(true, false); // the scan goes on past COM5
    ASSERT_TRUE(PostConnectJob(&recorder, &p));
    ASSERT_TRUE(recorder.WaitDevices(1, 30000));
    AbortDeviceJobs(8000);
    std::unique_ptr<CVmDevice> device = recorder.TakeDevice();
    SIdentity id;
    EXPECT_TRUE(device->QueryId(id));
    EXPECT_EQ(id.serialNumber, QStringLiteral("V3-0001234"));
}

TEST_F(DeviceThreadTest, AStaleAbortNeverEndsTheUsersOwnWaits)
{
    // The abort finds no job; what the user's device does afterwards, on the user's own
    // thread, must run as if there had been none.
    AbortDeviceJobs(0);
    const auto attach = [](CVmDevice& device, const QByteArray& input)
    {
        // Lines that arrived on their own stay on the line.
        struct LineStream : ScriptedStream
        {
            void DiscardInput() override {}
        };
        auto stream = std::make_unique<LineStream>();
        stream->Feed(input);
        ScriptedStream* raw = stream.get();
        std::unique_ptr<StreamIO::CIoStream> base = std::move(stream);
        EXPECT_TRUE(device.Attach(base, portSerial));
        return raw;
    };
    struct Case
    {
        const char* name;
        std::function<bool()> run;
    };
    const Case cases[] = {
        {"value lines read byte by byte",
         [&]
         {
             CHarrowindDevice device;
             attach(device, "\n1\r\n2\r\n3\r\n4\r");
             SIdentity id;
             return device.Identify(id);
         }},
        {"polls with pauses between them",
         [&]
         {
             CDelvaSmartDevice meter;
             ScriptedStream* s = attach(meter, {});
             s->Expect(QByteArray::fromHex("C1D202"), QByteArray::fromHex("00"));
             s->Expect(QByteArray::fromHex("C1D205"), QByteArray::fromHex("0100"));
             return meter.RunCommand2();
         }},
        {"an update step run by the device's owner",
         [&]
         {
             CVeskora3SeDevice device;
             attach(device, {});
             return device.InitUpdate(CPackageHeader()) == errNone;
         }},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(c.run()) << c.name;
}

TEST_F(DeviceThreadTest, AbortWhileIdleDoesNotSwallowTheNextJob)
{
    AbortDeviceJobs(0);
    SConnectParams p;
    p.type = typeVeskora3;
    ASSERT_TRUE(PostConnectJob(&recorder, &p));
    EXPECT_TRUE(recorder.WaitEnds(1, 10000));
}

TEST_F(DeviceThreadTest, AbandonedJobStaysSilentAndANewWorkerTakesOver)
{
    ServeOnPty();
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.replyDelayMs = 300; });
    SConnectParams p = SerialSearch(false, true);
    ASSERT_TRUE(PostConnectJob(&recorder, &p));
    ASSERT_TRUE(sim.Engine().WaitForText("EC?", 10000));
    // Too short a wait for any job: the worker is left to finish alone.
    AbortDeviceJobs(1);
    const int statusesAfterAbort = int(recorder.Statuses().size());
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.replyDelayMs = 0; });

    // A new job runs at once, even while the old one may still be finishing.
    JobRecorder next;
    SConnectParams noPort;
    noPort.type = typeVeskora3;
    ASSERT_TRUE(PostConnectJob(&next, &noPort));
    ASSERT_TRUE(next.WaitEnds(1, 10000));
    // Once the old job has let its port go, the tester is found again.
    QThread::msleep(400);
    ASSERT_TRUE(PostConnectJob(&next, &p));
    ASSERT_TRUE(next.WaitEnds(2, 30000));
    EXPECT_EQ(next.DeviceCount(), 1u);
    EXPECT_EQ(recorder.Statuses().size(), statusesAfterAbort);
    EXPECT_EQ(recorder.DeviceCount(), 0u);
    EXPECT_EQ(recorder.Ends(), 0);
}

class ThrowingRecorder : public JobRecorder
{
public:
    void OnStatusText(const QString&) override { throw std::runtime_error("receiver failed"); }
};

TEST_F(DeviceThreadTest, AFailingJobEndsTheJobNotTheThread)
{
    std::mutex lock;
    std::vector<SReport> reports;
    const MessageReporter previous = SetMessageReporter(
        [&](const SReport& r)
        {
            std::lock_guard guard(lock);
            reports.push_back(r);
            return 1;
        });
    ThrowingRecorder throwing;
    SConnectParams p = SerialSearch(false, true);
    p.comPort = 200; // no such port: one status line, which the receiver refuses
    ASSERT_TRUE(PostConnectJob(&throwing, &p));
    SConnectParams idle;
    idle.type = typeVeskora3;
    ASSERT_TRUE(PostConnectJob(&recorder, &idle));
    EXPECT_TRUE(recorder.WaitEnds(1, 10000));
    EXPECT_EQ(throwing.Ends(), 0);
    // With an application object the report travels to its thread as a queued call.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline)
    {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
        std::lock_guard guard(lock);
        if (!reports.empty())
            break;
    }
    SetMessageReporter(previous);
    std::lock_guard guard(lock);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].caption, QStringLiteral("Fatal Error"));
    EXPECT_TRUE(reports[0].text.startsWith(QStringLiteral("Unhandled exception in Device Thread.")));
    EXPECT_EQ(reports[0].sourceFile, QStringLiteral("DeviceThread"));
    EXPECT_EQ(reports[0].sourceLine, 1553);
}

TEST_F(DeviceThreadTest, ReconnectWaitsForTheExpectedSerialNumber)
{
    ServeOnPty();
    SConnectParams p = SerialSearch(false, true);
    p.reconnectTimeoutMs = 600;
    p.expectedSerial = QStringLiteral("V3-9999999");
    ASSERT_TRUE(PostConnectJob(&recorder, &p));
    ASSERT_TRUE(recorder.WaitEnds(1, 30000));
    EXPECT_EQ(recorder.DeviceCount(), 0u);
    EXPECT_GE(recorder.Statuses().count(QStringLiteral("Await device answer for reconnection...")), 2);
    EXPECT_GE(sim.Engine().CountText("@ID@"), 2);

    JobRecorder found;
    p.expectedSerial = QStringLiteral("V3-0001234");
    ASSERT_TRUE(PostConnectJob(&found, &p));
    ASSERT_TRUE(found.WaitDevices(1, 30000));
    QThread::msleep(200);
    EXPECT_EQ(found.Ends(), 0); // a found device ends the job without "none"
}

TEST_F(DeviceThreadTest, EthernetSearchFindsTheTesterOnItsPort)
{
    const QString address = Sim::UniqueLoopbackAddress();
    ASSERT_TRUE(sim.Engine().ServeTcp(address, 3728));
    SConnectParams p;
    p.type = typeVeskora3;
    p.portKind = portEthernet;
    p.ipAddress = address;
    ASSERT_TRUE(PostConnectJob(&recorder, &p));
    ASSERT_TRUE(recorder.WaitEnds(1, 30000));
    ASSERT_EQ(recorder.DeviceCount(), 1u);
    std::unique_ptr<CVmDevice> device = recorder.TakeDevice();
    EXPECT_EQ(device->GetStreamName(), QStringLiteral("IP:%1:3728").arg(address));
    EXPECT_EQ(device->GetPortKind(), uint32_t(portEthernet));
    EXPECT_EQ(recorder.Statuses().first(),
              QStringLiteral("Search Veskora 3 device on Ethernet %1...").arg(address));

    // Nobody listens: the open fails and the search ends.
    JobRecorder none;
    p.ipAddress = Sim::UniqueLoopbackAddress();
    ASSERT_TRUE(PostConnectJob(&none, &p));
    ASSERT_TRUE(none.WaitEnds(1, 30000));
    EXPECT_EQ(none.DeviceCount(), 0u);
    EXPECT_TRUE(none.Statuses().last().endsWith(QStringLiteral("\r\ncould not open port.")));
}

TEST_F(DeviceThreadTest, UsbSearchProbesEveryProbePath)
{
    auto bus = HidProbeSimulator::Install();
    Sim::IndentationTesterSim first(bus, QStringLiteral("/dev/hidraw-sim0"));
    HidProbeSimulator::Probe broken; // a feature report too short to carry anything
    broken.path = QStringLiteral("/dev/hidraw-sim1");
    broken.featureLength = 3;
    bus->AddProbe(broken);
    Sim::IndentationTesterSim third(bus, QStringLiteral("/dev/hidraw-sim2"));
    Sim::IndentationTesterSim::Identity other;
    other.serialNumber = "VK01-002-0003";
    third.SetIdentity(other);

    SConnectParams p;
    p.type = typeVeskamon3;
    p.portKind = portUsb;
    ASSERT_TRUE(PostConnectJob(&recorder, &p));
    ASSERT_TRUE(recorder.WaitEnds(1, 30000));
    ASSERT_EQ(recorder.DeviceCount(), 2u);
    const QString last = recorder.Statuses().last();
    EXPECT_EQ(last, QStringLiteral("Search Veskamon 3 device on USB...") +
                        QStringLiteral("\r\n Veskamon 3 #2   Serial: VK12-345-6789") +
                        QStringLiteral("\r\ncould not open USB device./dev/hidraw-sim1") +
                        QStringLiteral("\r\n Veskamon 3 #2   Serial: VK01-002-0003"));
    std::unique_ptr<CVmDevice> a = recorder.TakeDevice(0);
    std::unique_ptr<CVmDevice> b = recorder.TakeDevice(1);
    EXPECT_EQ(a->GetPortKind(), uint32_t(portUsb));
    EXPECT_EQ(a->GetStreamName(), QStringLiteral("/dev/hidraw-sim0"));
    EXPECT_EQ(b->GetSerialNumber(), QStringLiteral("VK01-002-0003"));
}

} // namespace
