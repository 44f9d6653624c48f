#include "streamio/UsbHostProbeControl.h"
#include "streamio/UsbHostProbeData.h"
#include "streamio/UsbHostProbeManager.h"

#include "platform/core/Clock.h"
#include "platform/core/ErrorCodes.h"
#include "platform/core/Event.h"
#include "platform/core/FileException.h"
#include "tests/support/HidProbeSimulator.h"

#include <gtest/gtest.h>

using namespace StreamIO;
using Timing = HidProbeSimulator::Timing;

namespace
{
const QString kProbe = QStringLiteral("/dev/hidraw-probe0");

class Probe : public ::testing::TestWithParam<Timing>
{
protected:
    void SetUp() override
    {
        HidProbeSimulator::Probe p;
        p.path = kProbe;
        p.featureLength = 16; // 13 payload bytes per report
        p.timing = GetParam();
        bus->AddProbe(p);
        ASSERT_TRUE(control.Open(kProbe, STREAM_READ | STREAM_WRITE));
    }
    QByteArray ReadAll(CIoStream& s, int total, int step)
    {
        QByteArray out;
        char buffer[64];
        for (int i = 0; i < 100 && out.size() < total; ++i)
            out.append(buffer, static_cast<int>(s.Read(buffer, static_cast<uint32_t>(step))));
        return out;
    }
    std::shared_ptr<HidProbeSimulator> bus = HidProbeSimulator::Install();
    CUsbHostProbeControl control;
};

uint32_t Raised(const std::function<void()>& f)
{
    try
    {
        f();
    }
    catch (const CFileException& e)
    {
        return e.Error();
    }
    return 0;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(Timings, Probe, ::testing::Values(Timing::AckThenPost, Timing::PostAtOnce),
                         [](const auto& info) {
                             return std::string(info.param == Timing::AckThenPost ? "AckThenPost"
                                                                                  : "PostAtOnce");
                         });

TEST_P(Probe, CommandAndAnswerTravelThroughTheFeatureReport)
{
    int commands = 0;
    bus->SetResponder(kProbe,
                      [&commands](const QByteArray& payload, HidProbeSimulator& b)
                      {
                          if (payload == "\x10ID\r" && ++commands == 9)
                              b.Post(kProbe, QByteArray("Veskamon;1.02;VK01-002-0003\r"));
                      });
    for (int i = 0; i < 9; ++i) // the sequence number wraps
        ASSERT_EQ(control.Write("\x10ID\r", 4), 4u) << i;
    EXPECT_EQ(bus->HostPayloads(kProbe).size(), 9);
    EXPECT_EQ(bus->SequenceErrors(kProbe), 0);

    const QByteArray answer("Veskamon;1.02;VK01-002-0003\r");
    EXPECT_EQ(ReadAll(control, answer.size(), 5), answer);
}

TEST_P(Probe, ByteByByteReadsNeverMixTwoReports)
{
    const QByteArray first("ABCDEFGHIJ");
    const QByteArray second("0123456789");
    bus->Post(kProbe, first);
    bus->Post(kProbe, second);
    ASSERT_TRUE(control.SetTimeouts(300, 100));
    EXPECT_EQ(ReadAll(control, 20, 1), first + second);
}

TEST_P(Probe, TheRestOfAReportServesTheNextReadWithoutAskingTheProbe)
{
    bus->Post(kProbe, QByteArray("0123456789"));
    char buffer[16];
    ASSERT_EQ(control.Read(buffer, 4), 4u);
    const int polls = bus->FeatureReads(kProbe);
    ASSERT_EQ(control.Read(buffer + 4, 6), 6u);
    EXPECT_EQ(bus->FeatureReads(kProbe), polls);
    EXPECT_EQ(QByteArray(buffer, 10), QByteArray("0123456789"));

    // A rest of 2 and a next report of 6 for a Read of 5: 2 + 3, then the other 3.
    bus->Post(kProbe, QByteArray("abc"));
    bus->Post(kProbe, QByteArray("defghi"));
    ASSERT_TRUE(control.SetTimeouts(300, 100));
    ASSERT_EQ(control.Read(buffer, 1), 1u);
    ASSERT_EQ(control.Read(buffer, 5), 5u);
    EXPECT_EQ(QByteArray(buffer, 5), QByteArray("bcdef"));
    ASSERT_EQ(control.Read(buffer, 3), 3u);
    EXPECT_EQ(QByteArray(buffer, 3), QByteArray("ghi"));
    EXPECT_EQ(control.Read(buffer, 1), 0u);
    EXPECT_EQ(control.GetError(), Err::Timeout);
}

TEST_P(Probe, OversizedTransfersAndAnUntakenPayload)
{
    char big[14] = {};
    EXPECT_EQ(control.Read(big, 14), 0u);
    EXPECT_EQ(control.Write(big, 14), 0u);
    EXPECT_EQ(control.GetError(), 0u);

    bus->SetDeaf(kProbe, true);
    ASSERT_TRUE(control.SetTimeouts(100, 100));
    const uint64_t start = Platform::MonotonicMs();
    EXPECT_EQ(control.Write("abc", 3), 0u);
    EXPECT_EQ(control.GetError(), Err::Timeout);
    EXPECT_LT(Platform::MonotonicMs() - start, 1000u);
    // The payload is withdrawn: buffer free, no length.
    const QByteArray report = bus->FeatureReport(kProbe);
    EXPECT_TRUE(report[1] & 0x01);
    EXPECT_EQ(report[2] & 0x3F, 0);
}

TEST(ProbeListing, OnlyReadableProbesOfTheMaker)
{
    auto bus = HidProbeSimulator::Install();
    HidProbeSimulator::Probe p;
    p.path = QStringLiteral("/dev/hidraw1");
    bus->AddProbe(p);
    p.path = QStringLiteral("/dev/hidraw2");
    p.vendorId = 0x046D;
    bus->AddProbe(p);
    p.path = QStringLiteral("/dev/hidraw3");
    p.vendorId = 0x3A7C;
    p.unreadable = true;
    bus->AddProbe(p);
    p.path = QStringLiteral("/dev/hidraw4");
    p.unreadable = false;
    bus->AddProbe(p);

    QStringList paths;
    ASSERT_EQ(ListUsbHostProbePaths(paths), 0u);
    EXPECT_EQ(paths, QStringList({QStringLiteral("/dev/hidraw1"), QStringLiteral("/dev/hidraw4")}));
}

TEST(ProbeChannels, ChannelsShareTheDeviceAndReleaseIt)
{
    auto bus = HidProbeSimulator::Install();
    HidProbeSimulator::Probe p;
    p.path = kProbe;
    bus->AddProbe(p);
    auto& manager = CUsbHostProbeManager::Instance();

    CUsbHostProbeControl control;
    ASSERT_TRUE(control.Open(kProbe, STREAM_READ | STREAM_WRITE));
    CUsbHostProbeControl again;
    EXPECT_FALSE(again.Open(kProbe, STREAM_READ | STREAM_WRITE));
    EXPECT_EQ(again.GetError(), Err::NotSupported);

    CUsbHostProbeData data;
    ASSERT_TRUE(data.Open(kProbe, STREAM_READ));
    EXPECT_EQ(manager.DeviceCount(), 1u);
    EXPECT_EQ(bus->OpenHandles(kProbe), 2); // the shared one and the data channel's own
    EXPECT_TRUE(control.IsOpen());
    EXPECT_TRUE(data.IsOpen());

    control.Close();
    EXPECT_EQ(manager.DeviceCount(), 1u);
    data.Close();
    EXPECT_EQ(manager.DeviceCount(), 0u);
    EXPECT_EQ(bus->OpenHandles(kProbe), 0);
}

TEST(ProbeChannels, DataReportsCountOnlyWhenTheirToggleChanges)
{
    auto bus = HidProbeSimulator::Install();
    HidProbeSimulator::Probe p;
    p.path = kProbe;
    p.inputLength = 11; // 9 payload bytes
    bus->AddProbe(p);
    CUsbHostProbeData data;
    ASSERT_TRUE(data.Open(kProbe, STREAM_READ));
    ASSERT_TRUE(data.SetTimeouts(300, 300));

    bus->PostInput(kProbe, QByteArray("\x01\x02\x03\x04\x05", 5));
    QByteArray repeat(11, '\0');
    repeat[1] = static_cast<char>(0x20 | 3); // toggle 1 again: a repeat
    repeat[2] = 'X';
    bus->PostInputRaw(kProbe, repeat);
    bus->PostInput(kProbe, QByteArray("\x06\x07\x08\x09\x0A\x0B", 6));

    char sample[8];
    ASSERT_EQ(data.Read(sample, 8), 8u);
    EXPECT_EQ(QByteArray(sample, 8), QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    EXPECT_EQ(data.GetToggleBits(), 0x40);
    ASSERT_EQ(data.Read(sample, 8), 3u); // the rest, then nothing more in time
    EXPECT_EQ(QByteArray(sample, 3), QByteArray("\x09\x0A\x0B", 3));
    EXPECT_EQ(data.GetError(), Err::Timeout);
    EXPECT_EQ(data.Write("a", 1), 0u);

    bus->PostInput(kProbe, QByteArray("\x0C", 1));
    bus->PostInput(kProbe, QByteArray("\x0D", 1));
    data.DiscardInput();
    EXPECT_EQ(data.Read(sample, 1), 0u);
}

TEST(ProbeChannels, UnplugShortReportsAndShutdown)
{
    auto bus = HidProbeSimulator::Install();
    HidProbeSimulator::Probe p;
    p.path = kProbe;
    bus->AddProbe(p);
    p.path = QStringLiteral("/dev/hidraw-tiny");
    p.featureLength = 3;
    bus->AddProbe(p);

    CUsbHostProbeControl tiny;
    EXPECT_EQ(Raised([&] { tiny.Open(QStringLiteral("/dev/hidraw-tiny"), STREAM_READ | STREAM_WRITE); }),
              Err::InvalidData);
    EXPECT_EQ(CUsbHostProbeManager::Instance().DeviceCount(), 0u);
    CUsbHostProbeControl missing;
    EXPECT_EQ(Raised([&] { missing.Open(QStringLiteral("/dev/hidraw-none"), STREAM_READ | STREAM_WRITE); }),
              Err::FileNotFound);

    CUsbHostProbeControl control;
    ASSERT_TRUE(control.Open(kProbe, STREAM_READ | STREAM_WRITE));
    bus->Unplug(kProbe);
    char buffer[4];
    EXPECT_EQ(Raised([&] { control.Read(buffer, 4); }), Err::DeviceNotConnected);

    // Attach signals are taken by the open test; after the shutdown signal it does not wait.
    auto attach = Platform::Event::Named(QStringLiteral("HidDav-Attach"));
    attach->Set();
    EXPECT_TRUE(control.IsOpen());
    EXPECT_FALSE(attach->IsSet());
    SignalProbeCloseEvent();
    attach->Set();
    const uint64_t start = Platform::MonotonicMs();
    EXPECT_TRUE(control.IsOpen());
    EXPECT_LT(Platform::MonotonicMs() - start, 40u);
    EXPECT_EQ(CUsbHostProbeManager::Instance().WaitForEvent(1000), CUsbHostProbeManager::kWaitClose);
    ResetProbeCloseEvent();
    attach->Reset();
    control.Close();
}
