#include "seriesview/MeasThread.h"

#include "device/DeviceTypes.h"
#include "device/Veskamon2Device.h"
#include "resources/BuiltInStrings.h"
#include "streamio/StreamIO.h"
#include "streamio/UsbHostProbeControl.h"
#include "tests/support/HidProbeSimulator.h"
#include "tests/support/sim/IndentationTesterSim.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace
{
using NEvent = CMeasThread::NEvent;

struct Notice
{
    NEvent event;
    uint32_t run;
    uint32_t test;
};

// The sampling thread over the indentation-tester simulator; notices are recorded as they
// come, on the sampling thread.
class MeasThreadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static const bool started = []
        {
            RegisterBuiltInStrings();
            StreamIO::StartStreamIO();
            return true;
        }();
        (void)started;
        bus = HidProbeSimulator::Install();
        sim = std::make_unique<Sim::IndentationTesterSim>(bus, QStringLiteral("/dev/hidraw-sim9"));
        std::unique_ptr<StreamIO::CIoStream> control = std::make_unique<StreamIO::CUsbHostProbeControl>();
        ASSERT_TRUE(control->Open(sim->Path(), StreamIO::STREAM_READ | StreamIO::STREAM_WRITE));
        ASSERT_TRUE(device.Attach(control, Device::portUsb));
        Device::SIdentity id;
        ASSERT_TRUE(device.Identify(id));
    }
    void TearDown() override
    {
        thread.Stop();
        device.Detach();
        sim.reset();
    }

    CMeasThread::Notifier Recorder()
    {
        return [this](NEvent event, uint32_t run, uint32_t test)
        {
            std::lock_guard guard(lock);
            notices.push_back({event, run, test});
            changed.notify_all();
        };
    }
    bool WaitFor(size_t ends, int ms = 20000)
    {
        std::unique_lock guard(lock);
        return changed.wait_for(guard, std::chrono::milliseconds(ms),
                                [&]
                                {
                                    size_t n = 0;
                                    for (const Notice& notice : notices)
                                        n += notice.event == NEvent::end;
                                    return n >= ends;
                                });
    }
    std::vector<Notice> Notices()
    {
        std::lock_guard guard(lock);
        return notices;
    }

    std::shared_ptr<HidProbeSimulator> bus;
    std::unique_ptr<Sim::IndentationTesterSim> sim;
    Device::CVeskamon2Device device;
    CMeasThread thread;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Notice> notices;
};

std::vector<uint16_t> Ramp(uint16_t from, int n)
{
    std::vector<uint16_t> samples;
    for (int i = 0; i < n; ++i)
        samples.push_back(uint16_t(from + i));
    return samples;
}

TEST_F(MeasThreadTest, TestsKeepExactlyTheirOwnSamplesAcrossGapsAndInvalidValues)
{
    // Test 1: 23 samples (not a multiple of the notice count), a pause of one empty read
    // and three values that are no depth in the middle; test 2 follows after a real gap.
    std::vector<uint16_t> first = Ramp(1000, 11);
    sim->QueueSamples(first);
    sim->QueuePause(60);
    sim->QueueSamples(Sim::Curves::InvalidSamples());
    const std::vector<uint16_t> tail = Ramp(2000, 12);
    sim->QueueSamples(tail);
    first.insert(first.end(), tail.begin(), tail.end());
    sim->QueuePause(400);
    const std::vector<uint16_t> second = Ramp(3000, 9);
    sim->QueueSamples(second);

    ASSERT_TRUE(thread.Start(&device, Recorder()));
    ASSERT_TRUE(WaitFor(2));
    const std::vector<Notice> seen = Notices();
    std::vector<uint16_t> taken[2];
    int starts = 0;
    for (const Notice& notice : seen)
    {
        EXPECT_EQ(notice.run, thread.Run());
        ASSERT_TRUE(notice.test == 1 || notice.test == 2) << notice.test;
        starts += notice.event == NEvent::start;
    }
    EXPECT_EQ(starts, 2);
    // A late end notice still finds its test's samples, also after the next test began.
    EXPECT_EQ(thread.TakeSamples(1, taken[0], true), int(first.size()));
    EXPECT_EQ(thread.TakeSamples(2, taken[1], true), int(second.size()));
    EXPECT_EQ(taken[0], first);
    EXPECT_EQ(taken[1], second);
    EXPECT_EQ(thread.TakeSamples(2, taken[1]), 0);
}

TEST_F(MeasThreadTest, StopMidTestSwitchesTheStreamOffAndEndsTheThread)
{
    sim->QueueSamples(Ramp(1000, 2000)); // about 13 s of samples
    ASSERT_TRUE(thread.Start(&device, Recorder()));
    EXPECT_FALSE(thread.Start(&device, Recorder())); // one thread at a time
    QElapsedTimer timer;
    timer.start();
    while (sim->SentSamples() < 50 && timer.elapsed() < 20000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(sim->SamplingOn());
    timer.restart();
    thread.Stop();
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_FALSE(sim->SamplingOn());
    const int sent = sim->SentSamples();
    for (const Notice& notice : Notices())
        EXPECT_NE(notice.event, NEvent::end);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(sim->SentSamples(), sent);

    // The next run has a new number.
    const uint32_t run = thread.Run();
    ASSERT_TRUE(thread.Start(&device, Recorder()));
    EXPECT_EQ(thread.Run(), run + 1);
}

TEST_F(MeasThreadTest, RefusesADeviceWithoutAnOpenLink)
{
    EXPECT_FALSE(thread.Start(nullptr, Recorder()));
    Device::CVeskamon2Device unlinked;
    EXPECT_FALSE(thread.Start(&unlinked, Recorder()));
    EXPECT_FALSE(thread.IsRunning());
    std::vector<uint16_t> out;
    EXPECT_EQ(thread.TakeSamples(1, out), -1);
}

} // namespace
