#include "device/CorvellLabDevice.h"
#include "device/DelvaSmartDevice.h"
#include "device/DeviceThread.h"
#include "device/HarrowindDevice.h"
#include "device/PelorixDevice.h"
#include "device/PlatformDevice.h"
#include "device/RavnellDevice.h"
#include "device/UpdateJob.h"
#include "device/Veskora3SeDevice.h"
#include "resources/BuiltInStrings.h"
#include "streamio/IpStream.h"
#include "streamio/Rs232Stream.h"
#include "streamio/StreamIO.h"
#include "tests/device/JobRecorder.h"
#include "tests/device/UpdateRecorder.h"
#include "tests/support/PackageBuilder.h"
#include "tests/support/PtyPair.h"
#include "tests/support/sim/CoverMeterSim.h"
#include "tests/support/sim/FramedInstrumentSim.h"
#include "tests/support/sim/SRecordInstrumentSim.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace Device;

namespace
{
constexpr uint32_t kSimPort = 11;

// The simulator answers on its own thread: the last command of a job may still be on its
// way when the job reports. Waits (bounded) until the condition holds.
template <typename Condition> bool Eventually(Condition condition, int timeoutMs = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition())
    {
        if (timer.elapsed() > timeoutMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

QByteArray Payload(int size, int seed)
{
    QByteArray out(size, '\0');
    for (int i = 0; i < size; ++i)
        out[i] = char((i * 13 + seed) & 0xFF);
    return out;
}

class SiblingEndToEnd : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        RegisterBuiltInStrings();
        StreamIO::StartStreamIO();
        ASSERT_TRUE(StartDeviceThread());
    }
    static void TearDownTestSuite() { StopDeviceThread(); }

    // Serves the profile on a pseudo-terminal mapped to COM11.
    void ServeOnPty(Sim::FrameEngine& engine)
    {
        ASSERT_TRUE(pty.IsValid());
        pty.MapToCom(kSimPort);
        engine.ServeLink(std::make_unique<Sim::FdLink>(pty.MasterFd(), false, false));
    }
    // Opens the mapped port with the device's settings and attaches it.
    void AttachPort(CVmDevice& device)
    {
        auto serial = std::make_unique<StreamIO::CRs232Stream>();
        ASSERT_TRUE(serial->OpenPort(kSimPort, StreamIO::STREAM_READ | StreamIO::STREAM_WRITE,
                                     &device.GetSerialSettings()));
        std::unique_ptr<StreamIO::CIoStream> stream = std::move(serial);
        ASSERT_TRUE(device.Attach(stream, portSerial));
    }
    static void AttachTcp(CVmDevice& device, const QString& address)
    {
        std::unique_ptr<StreamIO::CIoStream> stream = std::make_unique<StreamIO::CIpStream>(
            QStringLiteral("IP:%1:3728").arg(address), StreamIO::STREAM_READ | StreamIO::STREAM_WRITE);
        ASSERT_TRUE(device.Attach(stream, portEthernet));
    }
    static SUpdateJob Job(UpdateRecorder& recorder, CVmDevice& device, const QByteArray& package)
    {
        SUpdateJob job;
        job.callback = &recorder;
        job.device = &device;
        job.package = std::make_shared<MemoryStream>(package);
        return job;
    }

    PtyPair pty;
};

Sim::SRecordInstrumentSim::Config Px2()
{
    Sim::SRecordInstrumentSim::Config c;
    c.idAnswer = "PX-2;A1;PR12-345-6789;0C00001F;2.0.1";
    c.shortId = "PX-2;2.0.1;PR12-345-6789";
    c.bootInfo = "PX-2;A1;PR12-345-6789;0C00001F;0.9.0";
    return c;
}

TEST_F(SiblingEndToEnd, SearchFindsTheInstrumentAndUpdatesItsFirmware)
{
    Sim::SRecordInstrumentSim sim(Px2());
    ServeOnPty(sim.Engine());
    JobRecorder search;
    SConnectParams params;
    params.type = typePx2;
    params.portKind = portSerial;
    params.comPort = int32_t(kSimPort);
    ASSERT_TRUE(PostConnectJob(&search, &params));
    ASSERT_TRUE(search.WaitEnds(1, 30000));
    ASSERT_EQ(search.DeviceCount(), 1u);
    EXPECT_TRUE(search.Statuses().last().endsWith(QStringLiteral(" PX-2   Serial: PR12-345-6789")));
    std::unique_ptr<CVmDevice> device = search.TakeDevice();
    ASSERT_NE(dynamic_cast<CPelorixDevice*>(device.get()), nullptr);

    const QByteArray payload = Payload(200, 3);
    PackageBuilder p;
    p.entries.push_back({});
    p.deviceCode = 0x0C00001F;
    p.blocks.push_back({PackageBuilder::SRecordBlock(Sim::MakeSRecords(payload, 0x0100), 24), 0, 0, 0x41});
    UpdateRecorder recorder;
    ASSERT_TRUE(PostUpdateJob(Job(recorder, *device, p.Build())));
    ASSERT_TRUE(recorder.WaitFinished(60000));
    EXPECT_EQ(recorder.result, 0) << recorder.message.toStdString();
    EXPECT_EQ(sim.Erases(), 1);
    EXPECT_EQ(sim.BadLines(), 0);
    EXPECT_EQ(sim.Records(), 14); // 13 data records and the end record
    const std::map<uint32_t, uint8_t> memory = sim.Memory();
    ASSERT_EQ(memory.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(memory.at(0x100 + uint32_t(i)), uint8_t(payload.at(i)));
    EXPECT_TRUE(Eventually([&] { return !sim.InBootloader(); }));
    EXPECT_TRUE(recorder.statuses.contains(QStringLiteral("Erase Memory")));
    EXPECT_EQ(recorder.progress.back(), (UpdateRecorder::Progress{100, 1, 0}));

    // The instrument answers as the application again.
    SIdentity id;
    EXPECT_TRUE(device->QueryId(id));
    EXPECT_EQ(id.version, QStringLiteral("2.0.1"));
}

TEST_F(SiblingEndToEnd, ABlockOfAnotherKindIsPassedOver)
{
    Sim::SRecordInstrumentSim sim(Px2());
    ServeOnPty(sim.Engine());
    CPelorixDevice device;
    AttachPort(device);
    SIdentity id;
    ASSERT_TRUE(device.Identify(id));

    // The instrument takes only S-record text; the block between two of them carries
    // something else, and the second one must still be read from where it begins.
    const QByteArray first = Payload(48, 1);
    const QByteArray second = Payload(32, 2);
    PackageBuilder p;
    p.entries.push_back({});
    p.entries.back().blockCount = 3;
    p.deviceCode = 0x0C00001F;
    p.blocks.push_back({PackageBuilder::SRecordBlock(Sim::MakeSRecords(first, 0x0100)), 0, 0, 0x41});
    p.blocks.push_back({Payload(100, 7), 0, 0, 0x01});
    p.blocks.push_back({PackageBuilder::SRecordBlock(Sim::MakeSRecords(second, 0x0200)), 0, 0, 0x41});
    UpdateRecorder recorder;
    RunUpdateJob(Job(recorder, device, p.Build()));
    EXPECT_EQ(recorder.result, 0) << recorder.message.toStdString();
    EXPECT_EQ(sim.BadLines(), 0);
    const std::map<uint32_t, uint8_t> memory = sim.Memory();
    ASSERT_EQ(memory.size(), size_t(first.size() + second.size()));
    for (int i = 0; i < first.size(); ++i)
        EXPECT_EQ(memory.at(0x100 + uint32_t(i)), uint8_t(first.at(i)));
    for (int i = 0; i < second.size(); ++i)
        EXPECT_EQ(memory.at(0x200 + uint32_t(i)), uint8_t(second.at(i)));
}

TEST_F(SiblingEndToEnd, ProgrammingStatesFromTheBootloaderOn)
{
    Sim::SRecordInstrumentSim::Config c;
    c.idAnswer = "Corvell Lab;B;CL-1;09000003;1.0;0.5";
    c.bootInfo = "Corvell Lab;B;CL-1;09000003;1.0;0.5";
    c.entryCommand = 0x01;
    c.entryParams = {};
    c.programNeedsState2 = true;
    Sim::SRecordInstrumentSim sim(c);
    sim.StartInBootloader();
    ServeOnPty(sim.Engine());
    CCorvellLabDevice device;
    AttachPort(device);
    SIdentity id;
    ASSERT_TRUE(device.Identify(id)); // the application is silent: the bootloader answers
    EXPECT_EQ(device.GetIdentificationMode(), CSiblingDevice::kBootloader);
    EXPECT_EQ(device.GetProgrammingState(), 0);

    const QByteArray payload = Payload(64, 9);
    UpdateRecorder recorder;
    PackageBuilder p;
    p.entries.push_back({});
    p.deviceCode = 0x09000003;
    p.blocks.push_back({PackageBuilder::SRecordBlock(Sim::MakeSRecords(payload, 0)), 0, 0, 0x40, 2});
    RunUpdateJob(Job(recorder, device, p.Build()));
    EXPECT_EQ(recorder.result, 0) << recorder.message.toStdString();
    EXPECT_EQ(sim.Memory().size(), 64u);
    // No entry command: the bootloader ran already.
    EXPECT_TRUE(sim.Commands().empty());
    EXPECT_TRUE(Eventually([&] { return !sim.InBootloader(); }));
}

TEST_F(SiblingEndToEnd, AnAbortCutsALongEraseShort)
{
    Sim::SRecordInstrumentSim::Config c = Px2();
    c.eraseDelayMs = 30000;
    Sim::SRecordInstrumentSim sim(c);
    ServeOnPty(sim.Engine());
    CPelorixDevice device;
    AttachPort(device);
    SIdentity id;
    ASSERT_TRUE(device.Identify(id));
    PackageBuilder p;
    p.entries.push_back({});
    p.deviceCode = 0x0C00001F;
    p.blocks.push_back({PackageBuilder::SRecordBlock(Sim::MakeSRecords(Payload(16, 1), 0)), 0, 0, 0x40});
    UpdateRecorder recorder;
    ASSERT_TRUE(PostUpdateJob(Job(recorder, device, p.Build())));
    ASSERT_TRUE(sim.Engine().WaitForText("@ID@", 10000)); // the device code comes from the identification
    QElapsedTimer waited;
    waited.start();
    for (int i = 0; i < 1000 && (sim.Lines().empty() || sim.Lines().back() != "SE030000FC"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(sim.Lines().back(), QByteArray("SE030000FC")); // erasing now
    waited.start();
    AbortDeviceJobs(8000);
    EXPECT_LT(waited.elapsed(), 3000);
    ASSERT_TRUE(recorder.WaitFinished(5000));
    EXPECT_NE(recorder.result, 0);
    EXPECT_EQ(device.GetCallback(), nullptr);
}

Sim::FramedInstrumentSim::Config Orlanthe()
{
    Sim::FramedInstrumentSim::Config c;
    c.idAnswer = "Orlanthe;C3;OR-77;05000002;4.1.0;1.2";
    c.deviceCode = 0x05000002;
    c.checkBytes = 2;
    c.longCommands = {{0x5A, 60}};
    return c;
}

TEST_F(SiblingEndToEnd, FramedFamilySendsEachBlockInOneFrameWithCrc16)
{
    Sim::FramedInstrumentSim sim(Orlanthe());
    ServeOnPty(sim.Engine());
    CRavnellDevice device;
    AttachPort(device);
    SIdentity id;
    ASSERT_TRUE(device.Identify(id));
    EXPECT_EQ(id.serialNumber, QStringLiteral("OR-77"));

    const QByteArray first = Payload(3000, 1);
    const QByteArray second = Payload(5000, 2);
    PackageBuilder p;
    PackageBuilder::Entry e;
    e.blockCount = 2;
    p.entries.push_back(e);
    p.deviceCode = 0x05000002;
    p.blocks.push_back({first, 0x05, 0x45, 0x01});
    p.blocks.push_back({second, 0x05, 0x4C, 0x01});
    UpdateRecorder recorder;
    RunUpdateJob(Job(recorder, device, p.Build()));
    EXPECT_EQ(recorder.result, 0) << recorder.message.toStdString();
    EXPECT_EQ(sim.FrameSizes(), std::vector<int>({3000, 5000}));
    EXPECT_EQ(sim.Data(), first + second);
    EXPECT_EQ(sim.HeadersReceived(), 1);
    EXPECT_EQ(sim.HeaderBlock(), p.headerBlock);
    EXPECT_EQ(sim.Programmed(), 2);
    EXPECT_EQ(sim.BadChecks(), 0);
    EXPECT_TRUE(Eventually(
        [&] {
            return sim.ModeSwitches() == std::vector<int>({5, 12});
        }))
        << "mode switches: " << sim.ModeSwitches().size();
    EXPECT_TRUE(recorder.statuses.contains(QStringLiteral("Transfer datablock to the device. [2/2]")));

    // A long parameter block in its own frame.
    QByteArray block(60, '\x21');
    EXPECT_EQ(device.SendBinaryCommand(0x5A, 60, reinterpret_cast<uint8_t*>(block.data()), 60, 1000), 0);
    ASSERT_EQ(sim.LongFrames().size(), 1u);
    EXPECT_EQ(sim.LongFrames()[0], QByteArray(1, '\x5A') + block);
}

TEST_F(SiblingEndToEnd, PlatformUpdateOverEthernetClosesTheLinkAtItsEnd)
{
    Sim::FramedInstrumentSim::Config c;
    c.idAnswer = "Platform;B12;PF-0042;0D000101;3.2.1;2.1.0;1.0.4;1.1;EN;UTC";
    c.powerAnswer = "3600;a;b;c;d;e;AC_LINE_ONLINE";
    c.loginAnswer = "Service;7";
    c.deviceCode = 0x0D000101;
    c.checkBytes = 4;
    Sim::FramedInstrumentSim sim(c);
    const QString address = Sim::UniqueLoopbackAddress();
    ASSERT_TRUE(sim.Engine().ServeTcp(address, 3728));
    CPlatformDevice device;
    AttachTcp(device, address);
    SIdentity id;
    ASSERT_TRUE(device.Identify(id));
    SLoginInfo login;
    login.userName = QStringLiteral("Service");
    login.password = QStringLiteral("secret");
    ASSERT_TRUE(device.Login(login));
    EXPECT_EQ(device.GetLogin().rights, 7);
    SPowerInfo power;
    ASSERT_TRUE(device.QueryPowerState(power));
    EXPECT_EQ(power.fields.value(6), QStringLiteral("AC_LINE_ONLINE"));

    const QByteArray data = Payload(20000, 5);
    PackageBuilder p;
    p.entries.push_back({});
    p.deviceCode = 0x0D000101;
    p.requiredOs[0] = 2;
    p.lowRevision = 0x10C;
    p.blocks.push_back({data, 0x03, 0x40, 0x02});
    UpdateRecorder recorder;
    ASSERT_TRUE(PostUpdateJob(Job(recorder, device, p.Build())));
    ASSERT_TRUE(recorder.WaitFinished(60000));
    EXPECT_EQ(recorder.result, 0) << recorder.message.toStdString();
    EXPECT_EQ(sim.FrameSizes(), std::vector<int>({8192, 8192, 3616}));
    EXPECT_EQ(sim.Data(), data);
    EXPECT_EQ(sim.HeadersReceived(), 1);
    EXPECT_EQ(sim.Programmed(), 1);
    EXPECT_TRUE(Eventually(
        [&] {
            return sim.ModeSwitches() == std::vector<int>({3, 0});
        }))
        << "mode switches: " << sim.ModeSwitches().size();
    // An operating-system block is programmed in progress mode 3.
    EXPECT_NE(std::find_if(recorder.progress.begin(), recorder.progress.end(),
                           [](const UpdateRecorder::Progress& p) { return p.mode == 3; }),
              recorder.progress.end());
    EXPECT_EQ(device.GetStream(), nullptr);
    EXPECT_EQ(device.GetCommands(), nullptr);
}

TEST_F(SiblingEndToEnd, PortableTesterUpdateOverEthernet)
{
    Sim::FramedInstrumentSim::Config c;
    c.idAnswer = "Veskora 3;C12;V3-0001234;03010205;1.4.2;2.1.0;EN;UTC";
    c.deviceCode = 0x03010205;
    Sim::FramedInstrumentSim sim(c);
    const QString address = Sim::UniqueLoopbackAddress();
    ASSERT_TRUE(sim.Engine().ServeTcp(address, 3728));
    CVeskora3SeDevice device;
    AttachTcp(device, address);
    SIdentity id;
    ASSERT_TRUE(device.Identify(id));

    const QByteArray data = Payload(40000, 7);
    PackageBuilder p;
    p.entries.push_back({});
    p.deviceCode = 0x03010205;
    p.requiredOs[0] = 2;
    p.lowRevision = 0x20C;
    p.blocks.push_back({data, 0x03, 0x4C, 0x02});
    UpdateRecorder recorder;
    RunUpdateJob(Job(recorder, device, p.Build()));
    EXPECT_EQ(recorder.result, 0) << recorder.message.toStdString();
    EXPECT_EQ(sim.FrameSizes(), std::vector<int>({0x8000, 40000 - 0x8000}));
    EXPECT_EQ(sim.Data(), data);
    EXPECT_TRUE(Eventually(
        [&] {
            return sim.ModeSwitches() == std::vector<int>({3, 12});
        }))
        << "mode switches: " << sim.ModeSwitches().size();
    EXPECT_EQ(sim.Programmed(), 1);

    // A package for another hardware revision is refused before anything moves.
    sim.Engine().ClearLog();
    p.lowRevision = 0x30C;
    UpdateRecorder refused;
    RunUpdateJob(Job(refused, device, p.Build()));
    EXPECT_EQ(refused.result, errHardwareRevision);
    EXPECT_EQ(sim.Programmed(), 1);
}

TEST_F(SiblingEndToEnd, CoverMeterDownloadsAtAnotherBaudAndUpdates)
{
    Sim::CoverMeterSim sim;
    ServeOnPty(sim.Engine());
    CDelvaSmartDevice device;
    AttachPort(device);
    SIdentity id;
    ASSERT_TRUE(device.Identify(id));
    EXPECT_EQ(device.GetProgrammingState(), 2); // the application answered

    QByteArray records = QByteArray::fromHex("010200"
                                             "0601");
    for (int n : {3, 0})
    {
        QByteArray r(262, '\0');
        r[0] = 1;
        r.replace(2, 10, "Delvaquint");
        r[58] = 'M';
        r[63] = char(n);
        for (int i = 0; i < n; ++i)
        {
            r[64 + i] = char(40 + i);
            r[163 + i] = char(16);
        }
        records += r;
    }
    sim.SetBinaryData(records);
    CDelvaSmartDevice::TDataFile file;
    ASSERT_TRUE(device.DownloadData(file, 38400, true));
    ASSERT_EQ(file.objects.size(), 2u);
    EXPECT_EQ(file.objects[0].measurements.size(), 3u);
    EXPECT_EQ(file.objects[0].measurements[2].cover, 42);
    EXPECT_EQ(sim.Dividers(), std::vector<int>({104, 208})); // to 38400 and back to 19200

    CDelvaSmartDevice::TObjectData object = file.objects[0];
    object.unitSystem = 0;
    object.storageMode = 0;
    object.objectName = QStringLiteral("Slab");
    // Empty texts would shift the labels of the text file.
    object.identity.serialNumber = QStringLiteral("DQ01-234-5678");
    object.identity.version = QStringLiteral("1.2.3");
    object.hardwareIndex = QStringLiteral("B2");
    object.signature = QStringLiteral("06000102");
    object.version = CVersion(QStringLiteral("1.0"));
    QString section;
    device.ExportObjectText(object, section);
    sim.SetTextData("1;1;" + section.toLatin1() + "<eof>");
    ASSERT_TRUE(device.DownloadData(file, 19200, false));
    ASSERT_EQ(file.objects.size(), 1u);
    EXPECT_EQ(file.objects[0].objectName, QStringLiteral("Slab"));
    EXPECT_EQ(file.objects[0].measurements.size(), 3u);

    sim.SetBinaryData({});
    EXPECT_TRUE(device.DownloadData(file, 19200, true)); // nothing stored: 0xF3
    EXPECT_TRUE(file.objects.empty());

    uint8_t block[44];
    QByteArray raw;
    for (int i = 0; i < 44; ++i)
        raw.append(char(0xA0 + i));
    sim.SetRawBlock(raw);
    ASSERT_TRUE(device.ReadBlockAt1000(block));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(block), 44), raw);

    const QByteArray payload = Payload(48, 4);
    UpdateRecorder recorder;
    PackageBuilder p;
    p.entries.push_back({});
    p.deviceCode = 0x06000102;
    p.blocks.push_back({PackageBuilder::SRecordBlock(Sim::MakeSRecords(payload, 0x20)), 0, 0, 0x40, 2});
    RunUpdateJob(Job(recorder, device, p.Build()));
    EXPECT_EQ(recorder.result, 0) << recorder.message.toStdString();
    EXPECT_EQ(sim.Erases(), 2); // once in each programming state
    EXPECT_EQ(sim.Memory().size(), 48u);
    EXPECT_TRUE(Eventually([&] { return !sim.InBootloader(); }));
}

TEST_F(SiblingEndToEnd, HarrowindIsFoundByTheLinesItSends)
{
    ASSERT_TRUE(pty.IsValid());
    pty.MapToCom(kSimPort);
    std::atomic<bool> stop{false};
    std::thread sender(
        [&]
        {
            const QByteArray lines[] = {"\n12.5\r", "\n80\r", "\n3\r", "\n-1\r"};
            for (int i = 0; !stop.load() && i < 500; ++i)
            {
                pty.WriteMaster(lines[i % 4]);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    CHarrowindDevice device;
    AttachPort(device);
    SIdentity id;
    EXPECT_TRUE(device.Identify(id));
    stop.store(true);
    sender.join();
}

} // namespace
