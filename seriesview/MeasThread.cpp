#include "seriesview/MeasThread.h"

#include "device/Veskamon2Device.h"
#include "streamio/IoStream.h"

#include <chrono>
#include <exception>

namespace
{
// Records of ended tests that the owner has not taken yet; older ones go.
constexpr size_t kMaxPendingTests = 4;
} // namespace

CMeasThread::~CMeasThread()
{
    Stop();
}

bool CMeasThread::Start(Device::CVmDevice* device, Notifier notifier, int samplesPerNotice)
{
    if (IsRunning())
        return false;
    auto* tester = dynamic_cast<Device::CVeskamon2Device*>(device);
    if (!tester || !tester->GetStream() || !tester->GetStream()->IsOpen())
        return false;
    {
        std::lock_guard guard(m_lock);
        m_tests.clear();
    }
    m_device = device;
    m_notifier = std::move(notifier);
    m_samplesPerNotice = samplesPerNotice > 0 ? samplesPerNotice : kDefaultSamplesPerNotice;
    m_stop = false;
    {
        std::lock_guard guard(m_endLock);
        m_ended = false;
    }
    m_previousToken = device->GetCancelToken();
    m_cancel = Platform::CancelToken::Create();
    device->SetCancelToken(m_cancel);
    const uint32_t run = ++m_run;
    try
    {
        m_thread = std::thread(
            [this, run]
            {
                ThreadProc(run);
                {
                    std::lock_guard guard(m_endLock);
                    m_ended = true;
                }
                m_endChanged.notify_all();
            });
    }
    catch (const std::exception&)
    {
        device->SetCancelToken(m_previousToken);
        m_device = nullptr;
        return false;
    }
    return true;
}

void CMeasThread::Stop()
{
    if (!m_thread.joinable())
        return;
    m_stop = true;
    bool ended = false;
    {
        std::unique_lock guard(m_endLock);
        ended = m_endChanged.wait_for(guard, std::chrono::milliseconds(kStopGraceMs), [this] { return m_ended; });
    }
    if (!ended)
        m_cancel.Cancel(); // the tester holds the thread in a wait: cut it short
    m_thread.join();
    if (ended)
        m_device->SetCancelToken(m_previousToken);
    m_device = nullptr;
}

int CMeasThread::TakeSamples(uint32_t test, std::vector<uint16_t>& out, bool final)
{
    if (!m_device)
        return -1;
    std::lock_guard guard(m_lock);
    while (!m_tests.empty() && m_tests.front().test < test)
        m_tests.pop_front();
    if (m_tests.empty() || m_tests.front().test != test)
        return 0;
    std::vector<uint16_t>& samples = m_tests.front().samples;
    const int n = int(samples.size());
    out.insert(out.end(), samples.begin(), samples.end());
    if (final)
        m_tests.pop_front();
    else
        std::vector<uint16_t>().swap(samples);
    return n;
}

void CMeasThread::SendStreamCommand(bool on)
{
    // The answer does not matter: a tester that missed the command sends nothing.
    uint8_t buffer[64] = {1, uint8_t(on ? 1 : 0)};
    uint32_t answerCount = 0;
    (void)m_device->ExchangeBinaryData(kStreamCommand, buffer, 2, answerCount, sizeof buffer, -1, -1);
}

void CMeasThread::ThreadProc(uint32_t run)
{
    auto* tester = static_cast<Device::CVeskamon2Device*>(m_device);
    try
    {
        // Open the data channel before the stream starts, so that no first sample is lost.
        {
            uint8_t packet[8] = {};
            uint8_t toggle = 0;
            (void)tester->ReadSample(packet, toggle, 1);
        }
        SendStreamCommand(true);
        int misses = kGapReads; // no test runs
        uint32_t test = 0;
        int reads = 0;
        while (!m_stop.load())
        {
            uint8_t packet[8] = {};
            uint8_t toggle = 0;
            if (!tester->ReadSample(packet, toggle, kReadTimeoutMs))
            {
                if (tester->IsDataLinkLost())
                {
                    m_notifier(NEvent::lost, run, test);
                    return;
                }
                if (misses < kGapReads && ++misses == kGapReads)
                {
                    reads = 0;
                    m_notifier(NEvent::end, run, test);
                }
                continue;
            }
            if (misses >= kGapReads)
            {
                ++test;
                {
                    std::lock_guard guard(m_lock);
                    m_tests.push_back({test, {}});
                    while (m_tests.size() > kMaxPendingTests)
                        m_tests.pop_front();
                }
                m_notifier(NEvent::start, run, test);
            }
            misses = 0;
            const uint16_t sample = uint16_t(packet[0] | (packet[1] << 8));
            {
                std::lock_guard guard(m_lock);
                if (sample != 0 && sample < kSampleLimit && !m_tests.empty() && m_tests.back().test == test &&
                    m_tests.back().samples.size() < kMaxTestSamples)
                    m_tests.back().samples.push_back(sample);
            }
            if (++reads >= m_samplesPerNotice)
            {
                reads = 0;
                m_notifier(NEvent::data, run, test);
            }
        }
        SendStreamCommand(false);
    }
    catch (const std::exception&)
    {
        // The owner learns nothing more of this run; Stop still joins.
    }
}
