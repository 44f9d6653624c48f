#include "streamio/UsbHostProbeData.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "platform/io/HidBackend.h"
#include "streamio/PerfCounter.h"
#include "streamio/UsbHostProbeManager.h"

#include <algorithm>
#include <cstring>

namespace StreamIO
{

namespace
{
constexpr uint8_t kToggleMask = 0xE0;
constexpr uint8_t kLengthMask = 0x0F;
constexpr uint32_t kHeader = 2;
// A wait for a report is cut into slices, so that CancelPending ends it soon.
constexpr uint32_t kWaitSliceMs = 20;
} // namespace

CUsbHostProbeData::CUsbHostProbeData() : CUsbHostProbeChannel(CUsbHostProbeManager::kDataChannel)
{
}

CUsbHostProbeData::~CUsbHostProbeData()
{
    if (m_device)
        Abort();
}

bool CUsbHostProbeData::Open(const QString& path, uint32_t openFlags)
{
    std::shared_ptr<Platform::HidDevice> device;
    if (!AcquireChannel(path, openFlags, device))
        return false;
    // The input reports come through a handle of our own: its queue is this channel's.
    std::unique_ptr<Platform::HidDevice> input;
    const uint32_t code = Platform::CurrentHidBackend()->Open(path, input);
    const uint32_t length = input ? input->InputReportLength() : 0;
    if (code != 0 || length <= kHeader)
    {
        ReleaseChannel(path);
        Raise(code != 0 ? code : Err::InvalidData);
    }
    m_device = std::move(device);
    m_input = std::move(input);
    m_length = length;
    m_report.assign(length, 0);
    m_incoming.assign(length, 0);
    m_rest.Clear();
    return true;
}

void CUsbHostProbeData::Close()
{
    ClearError();
    m_report.clear();
    m_incoming.clear();
    m_input.reset();
    CloseChannel();
}

uint8_t CUsbHostProbeData::GetToggleBits() const
{
    return m_report.size() > 1 ? static_cast<uint8_t>(m_report[1] & kToggleMask) : 0;
}

uint32_t CUsbHostProbeData::Write(const void*, uint32_t)
{
    ClearError();
    return 0;
}

uint32_t CUsbHostProbeData::ReadReport(uint32_t waitMs)
{
    size_t got = 0;
    std::fill(m_incoming.begin(), m_incoming.end(), 0);
    const uint32_t code = m_input->ReadInput(m_incoming.data(), m_incoming.size(), waitMs, got);
    if (code == Err::Success && got < kHeader)
        return Err::Timeout; // nothing usable came
    return code;
}

uint32_t CUsbHostProbeData::Read(void* buffer, uint32_t n)
{
    ClearError();
    m_abort = false;
    if (!IsOpen() || m_length == 0 || m_report.empty() || n == 0)
        return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    uint8_t prev = m_report[1] & kToggleMask;
    uint32_t got = m_rest.Take(out, n);
    if (got == n)
        return n;

    uint64_t start = 0;
    GetPerfCounter(start);
    for (;;)
    {
        uint64_t now = 0;
        GetPerfCounter(now);
        const uint64_t before = GetElapsedMs(start, now);
        uint32_t wait = kWaitSliceMs;
        if (m_readTimeout != STREAM_WAIT_FOREVER)
            wait = static_cast<uint32_t>(
                std::min<uint64_t>(wait, m_readTimeout > before ? m_readTimeout - before : 0));
        const uint32_t code = ReadReport(wait);
        if (code != Err::Success && code != Err::Timeout && code != Err::OperationAborted)
            Raise(code);
        if (code == Err::Success && (m_incoming[1] & kToggleMask) != prev)
        {
            m_report = m_incoming;
            const uint32_t length = std::min<uint32_t>(m_report[1] & kLengthMask, m_length - kHeader);
            const uint32_t take = std::min(length, n - got);
            std::memcpy(out + got, m_report.data() + kHeader, take);
            got += take;
            if (take < length)
                m_rest.Keep(m_report.data() + kHeader + take, length - take);
            prev = m_report[1] & kToggleMask;
        }
        // A report with the toggle unchanged is a repeat and counts for nothing.

        if (got >= n)
            break;
        GetPerfCounter(now);
        const uint64_t elapsed = GetElapsedMs(start, now);
        if (start == 0 || (m_readTimeout != STREAM_WAIT_FOREVER && m_readTimeout <= elapsed))
        {
            SetError(Err::Timeout);
            break;
        }
        if (m_pollInterval > 0 && !m_abort && elapsed > 0 &&
            uint64_t{m_readTimeout} > m_pollInterval + elapsed + 2)
            ProbePollSleep(m_pollInterval);
        if (HasError() || m_abort)
            break;
    }
    m_abort = false;
    return got;
}

} // namespace StreamIO
