#include "streamio/UsbHostProbeControl.h"

#include "platform/core/ErrorCodes.h"
#include "platform/io/HidBackend.h"
#include "streamio/PerfCounter.h"
#include "streamio/UsbHostProbeManager.h"

#include <algorithm>
#include <cstring>

namespace StreamIO
{

namespace
{
constexpr uint8_t kBufferFree = 0x01;
constexpr uint8_t kHostData = 0x02;
constexpr uint8_t kSequenceMask = 0x1C;
constexpr uint8_t kToggleMask = 0xE0;
constexpr uint8_t kLengthMask = 0x3F;
constexpr uint32_t kHeader = 3;

uint64_t Elapsed(uint64_t start)
{
    uint64_t now = 0;
    GetPerfCounter(now);
    return GetElapsedMs(start, now);
}

bool TimedOut(uint64_t start, uint32_t timeoutMs, uint64_t elapsed)
{
    return start == 0 || (timeoutMs != STREAM_WAIT_FOREVER && timeoutMs <= elapsed);
}
} // namespace

CUsbHostProbeControl::CUsbHostProbeControl() : CUsbHostProbeChannel(CUsbHostProbeManager::kControlChannel)
{
}

CUsbHostProbeControl::~CUsbHostProbeControl()
{
    if (m_device)
        Abort();
}

void CUsbHostProbeControl::ReadReport(std::vector<uint8_t>& report)
{
    report[0] = 0; // report id
    if (const uint32_t code = m_device->GetFeature(report.data(), report.size()))
        Raise(code);
}

void CUsbHostProbeControl::WriteReport(const std::vector<uint8_t>& report)
{
    if (const uint32_t code = m_device->SetFeature(report.data(), report.size()))
        Raise(code);
}

bool CUsbHostProbeControl::Open(const QString& path, uint32_t openFlags)
{
    std::shared_ptr<Platform::HidDevice> device;
    if (!AcquireChannel(path, openFlags, device))
        return false;
    const uint32_t length = device->FeatureReportLength();
    if (length <= kHeader)
    {
        // No room for a payload: not a probe. Give the channel back before saying so.
        ReleaseChannel(path);
        Raise(Err::InvalidData);
    }
    m_device = std::move(device);
    m_length = length;
    m_writeReport.assign(length, 0);
    m_readReport.assign(length, 0);
    m_rest.Clear();
    m_readReport[0] = 0;
    if (const uint32_t code = m_device->GetFeature(m_readReport.data(), m_readReport.size()))
        SetError(code);
    return GetError() == 0;
}

void CUsbHostProbeControl::Close()
{
    ClearError();
    m_writeReport.clear();
    m_readReport.clear();
    CloseChannel();
}

void CUsbHostProbeControl::Flush()
{
    ClearError();
    if (!m_device || m_writeReport.empty())
        return;
    ReadReport(m_writeReport);
    const uint8_t flags = m_writeReport[1];
    if ((flags & kHostData) && (!(flags & kBufferFree) || (m_writeReport[2] & kLengthMask) != 0))
    {
        m_writeReport[1] = static_cast<uint8_t>(flags | kBufferFree);
        m_writeReport[2] &= static_cast<uint8_t>(~kLengthMask);
        WriteReport(m_writeReport);
    }
}

uint32_t CUsbHostProbeControl::Read(void* buffer, uint32_t n)
{
    ClearError();
    m_abort = false;
    if (!IsOpen() || m_length == 0 || m_readReport.empty())
        return 0;
    if (n == 0 || n > m_length - kHeader)
        return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    uint8_t prev = m_readReport[1] & kToggleMask;

    // The rest of a report the last Read began: no need to ask the probe when it suffices.
    uint32_t got = m_rest.Take(out, n);
    if (got == n)
        return n;

    uint64_t start = 0;
    GetPerfCounter(start);
    for (;;)
    {
        ReadReport(m_readReport);
        const uint8_t flags = m_readReport[1];
        // A length beyond the report's room is cut to what the report holds.
        const uint32_t length = std::min<uint32_t>(m_readReport[2] & kLengthMask, m_length - kHeader);
        if (!(flags & (kBufferFree | kHostData)) && length > 0 && got < n)
        {
            const uint32_t take = std::min(length, n - got);
            std::memcpy(out + got, m_readReport.data() + kHeader, take);
            got += take;
            if (take < length)
                m_rest.Keep(m_readReport.data() + kHeader + take, length - take);
            // Tell the probe the report is taken.
            m_readReport[1] = static_cast<uint8_t>(flags | kBufferFree);
            WriteReport(m_readReport);
            prev = m_readReport[1] & kToggleMask;
        }

        const uint64_t elapsed = Elapsed(start);
        const bool bufferFree = (m_readReport[1] & kBufferFree) != 0;
        const bool empty = (m_readReport[2] & kLengthMask) == 0;
        if (got < n && CancelRequested())
        {
            SetError(Err::OperationAborted);
            break;
        }
        if (TimedOut(start, m_readTimeout, elapsed))
        {
            // A complete read stays a success, however long the probe took to settle.
            if (got < n)
                SetError(Err::Timeout);
            break;
        }
        if (m_pollInterval > 0 && (got < n || !bufferFree || !empty) && !m_abort && elapsed > 1 &&
            uint64_t{m_readTimeout} > m_pollInterval + elapsed + 1)
            ProbePollSleep(m_pollInterval);
        if (HasError() || m_abort)
            break;
        if ((m_readReport[1] & kToggleMask) != prev)
        {
            if (got >= n)
                break;
        }
        else if (got >= n && bufferFree && empty)
            break;
    }
    m_abort = false;
    return got;
}

uint32_t CUsbHostProbeControl::Write(const void* data, uint32_t n)
{
    ClearError();
    m_abort = false;
    if (!IsOpen() || m_length == 0 || m_writeReport.empty())
        return 0;
    if (n == 0 || n > m_length - kHeader)
        return 0;
    const auto* in = static_cast<const uint8_t*>(data);
    uint64_t start = 0;
    GetPerfCounter(start);
    uint32_t sent = 0;
    for (;;)
    {
        ReadReport(m_writeReport);
        uint8_t flags = m_writeReport[1];
        if (flags & kBufferFree)
        {
            const bool empty = (m_writeReport[2] & kLengthMask) == 0;
            bool send = false;
            if (sent < n)
                send = empty;
            else if (flags & kHostData)
            {
                // The probe took the payload: close the exchange.
                m_writeReport[3] = in[0];
                m_writeReport[2] &= static_cast<uint8_t>(~kLengthMask);
                WriteReport(m_writeReport);
                m_abort = false;
                return sent;
            }
            else
                send = true;
            if (send)
            {
                std::memcpy(m_writeReport.data() + kHeader, in, n);
                const uint8_t sequence =
                    static_cast<uint8_t>(((((flags & kSequenceMask) >> 2) + 1) & 7) << 2);
                flags = static_cast<uint8_t>((flags & ~(kBufferFree | kSequenceMask)) | kHostData | sequence);
                m_writeReport[1] = flags;
                m_writeReport[2] = static_cast<uint8_t>((m_writeReport[2] & ~kLengthMask) | n);
                WriteReport(m_writeReport);
                sent = n;
            }
        }

        const uint64_t elapsed = Elapsed(start);
        const bool cancelled = CancelRequested();
        if (cancelled || TimedOut(start, m_writeTimeout, elapsed))
        {
            // The probe did not take it in time: withdraw the payload, so it is not taken
            // later as if sent now, and report that nothing went.
            SetError(cancelled ? Err::OperationAborted : Err::Timeout);
            m_writeReport[1] |= kBufferFree;
            m_writeReport[2] &= static_cast<uint8_t>(~kLengthMask);
            WriteReport(m_writeReport);
            m_abort = false;
            return 0;
        }
        const bool bufferFree = (m_writeReport[1] & kBufferFree) != 0;
        if (m_pollInterval > 0 && (sent < n || !bufferFree) && !m_abort && elapsed > 1 &&
            uint64_t{m_writeTimeout} > elapsed + 3)
            ProbePollSleep(m_pollInterval);
        if (HasError() || m_abort)
            break;
        if (sent >= n && bufferFree)
            break;
    }
    m_abort = false;
    return sent;
}

} // namespace StreamIO
