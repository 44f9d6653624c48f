#pragma once
#include "platform/core/CancelToken.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace Device
{
class CVmDevice;
}

// The sampling thread of a live measurement: reads the indentation tester's depth samples
// over the probe's data channel, splits them into tests and tells its owner when a test
// starts, when new samples are there and when the test has ended.
//
// Threading: Start, Stop and TakeSamples are called on the owner's (UI) thread. The
// notifier runs on the sampling thread and must only queue a call to the owner; it never
// touches windows or the document. The device belongs to the caller and is used by the
// sampling thread alone between Start and Stop.
//
// Tests: a test starts with the first sample while none runs and ends after kGapReads
// empty reads in a row, so that one late packet does not split a test. Each test has its
// own number and its own samples, so a test's last samples never lead the next test's
// curve and a late end notice still finds its samples.
//
// A probe that goes away ends the thread with a lost notice.
//
// Stopping: the thread is never killed. Its loop wakes at least every kReadTimeoutMs,
// sees the stop flag, switches the tester's sample stream off and ends; Stop joins it.
// While the thread runs the device carries the thread's own cancel token. When the
// thread has not ended kStopGraceMs after the stop flag (a tester that stopped answering
// holds it in a command's wait), Stop fires that token: the device's pending wait ends
// at once and so does the thread, so Stop returns within kStopBoundMs whatever the
// tester does. The device then keeps the fired token, so the disconnect that follows
// does not wait on the silent tester either: every later command fails at once until
// its owner drops it or lends it another token. A thread that ended in time hands the
// device back its earlier token.
class CMeasThread
{
public:
    enum class NEvent
    {
        start,
        data,
        end,
        lost, // the probe went away; the thread has ended
    };
    // run: the number of the Start that made the thread (notices of an older run are
    // stale); test: the number of the test within the run.
    using Notifier = std::function<void(NEvent event, uint32_t run, uint32_t test)>;

    // The tester's sample-stream command and its parameter for on and off.
    static constexpr uint8_t kStreamCommand = 0xD3;
    static constexpr uint32_t kReadTimeoutMs = 50;
    static constexpr int kGapReads = 2;
    // Reads between two data notices.
    static constexpr int kDefaultSamplesPerNotice = 5;
    // Samples a test keeps at most (the longest curve the codec packs).
    static constexpr size_t kMaxTestSamples = 65535;
    // How long Stop lets the thread end on its own, and the most it takes in all.
    static constexpr uint32_t kStopGraceMs = 200;
    static constexpr uint32_t kStopBoundMs = 500;
    // Depth samples at or above this value, 0 and 0xFFFF are no depth and are dropped.
    static constexpr uint16_t kSampleLimit = 35000;

    CMeasThread() = default;
    ~CMeasThread();
    CMeasThread(const CMeasThread&) = delete;
    CMeasThread& operator=(const CMeasThread&) = delete;

    // Starts the thread over an indentation tester whose link is open; false (and no
    // thread) otherwise or while a thread runs.
    bool Start(Device::CVmDevice* device, Notifier notifier, int samplesPerNotice = kDefaultSamplesPerNotice);
    // Stops and joins the thread; harmless when none runs.
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }
    // The current run's number (0 before the first Start).
    uint32_t Run() const { return m_run; }

    // Moves the samples of the test read so far into out (appended) and returns their
    // number; -1 without a device. final: the test has ended, its record goes.
    int TakeSamples(uint32_t test, std::vector<uint16_t>& out, bool final = false);

private:
    struct TestSamples
    {
        uint32_t test = 0;
        std::vector<uint16_t> samples;
    };

    void ThreadProc(uint32_t run);
    void SendStreamCommand(bool on);

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    // The thread has left its loop (guarded by m_endLock; m_ended tells Stop).
    std::mutex m_endLock;
    std::condition_variable m_endChanged;
    bool m_ended = false;
    Platform::CancelToken m_cancel;
    Platform::CancelToken m_previousToken;
    Device::CVmDevice* m_device = nullptr;
    Notifier m_notifier;
    int m_samplesPerNotice = kDefaultSamplesPerNotice;
    uint32_t m_run = 0;

    std::mutex m_lock; // guards m_tests
    std::deque<TestSamples> m_tests;
};
