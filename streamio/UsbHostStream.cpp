#include "streamio/UsbHostStream.h"

#include "platform/core/ErrorCodes.h"
#include "platform/io/UsbBackend.h"
#include "streamio/PerfCounter.h"

#include <algorithm>
#include <cstring>

namespace StreamIO
{

uint32_t ListUsbHostDevicePaths(QStringList& paths)
{
    return Platform::ListUsbBulkPaths(Platform::UsbTesterVendorIds(), paths);
}

CUsbHostStream::CUsbHostStream() = default;

CUsbHostStream::~CUsbHostStream()
{
    if (IsOpen())
        Abort();
}

bool CUsbHostStream::IsOpen() const
{
    return m_device != nullptr;
}

bool CUsbHostStream::Open(const QString& devicePath, uint32_t openFlags)
{
    if (IsOpen())
    {
        SetError(Err::NotSupported);
        return false;
    }
    SetName(devicePath);
    SetOpenFlags(openFlags);
    ClearError();
    std::unique_ptr<Platform::UsbBulkDevice> device;
    if (const uint32_t code = Platform::OpenUsbBulkPath(devicePath, device))
        Raise(code);
    m_device = std::move(device);
    m_packets.clear();
    m_packetPos = 0;
    try
    {
        OpenPipes(openFlags);
    }
    catch (...)
    {
        m_device.reset();
        m_inPipe = m_outPipe = false;
        throw;
    }
    return true;
}

void CUsbHostStream::OpenPipes(uint32_t openFlags)
{
    // Claiming the interface opened both pipes at once; the flags say which may be used.
    if (!m_device)
        Raise(Err::InvalidHandle);
    m_inPipe = (openFlags & STREAM_READ) != 0;
    m_outPipe = (openFlags & STREAM_WRITE) != 0;
}

void CUsbHostStream::Close()
{
    ClearError();
    if (m_device)
    {
        m_device->CancelTransfers();
        // Releasing the interface and closing the device cannot fail in a way that
        // leaves anything to report.
        m_device.reset();
    }
    m_inPipe = m_outPipe = false;
    m_packets.clear();
    m_packetPos = 0;
}

void CUsbHostStream::Flush()
{
    // OUT transfers are not buffered: a completed Write has reached the device.
    ClearError();
}

bool CUsbHostStream::GetTimeouts(uint32_t& readMs, uint32_t& writeMs)
{
    ClearError();
    readMs = m_readTimeout;
    writeMs = m_writeTimeout;
    return true;
}

bool CUsbHostStream::SetTimeouts(uint32_t readMs, uint32_t writeMs)
{
    ClearError();
    m_readTimeout = readMs;
    m_writeTimeout = writeMs;
    return true;
}

bool CUsbHostStream::CancelPending()
{
    ClearError();
    if (m_device)
        m_device->CancelTransfers();
    return true;
}

uint32_t CUsbHostStream::ReadPipe(uint8_t* buffer, uint32_t want, uint32_t& got)
{
    got = 0;
    if (m_packetPos < m_packets.size())
    {
        got = static_cast<uint32_t>(std::min<size_t>(want, m_packets.size() - m_packetPos));
        std::memcpy(buffer, m_packets.data() + m_packetPos, got);
        m_packetPos += got;
        return Err::Success;
    }
    // The bus delivers whole packets: ask for enough of them, keep the rest.
    const size_t packet = std::max<size_t>(m_device->InPacketSize(), 1);
    const size_t len = (static_cast<size_t>(want) + packet - 1) / packet * packet;
    size_t done = 0;
    uint32_t code;
    if (len == want)
    {
        code = m_device->BulkIn(buffer, len, m_readTimeout, done);
        got = static_cast<uint32_t>(done);
        return code;
    }
    m_packets.resize(len);
    m_packetPos = 0;
    code = m_device->BulkIn(m_packets.data(), len, m_readTimeout, done);
    m_packets.resize(done);
    got = static_cast<uint32_t>(std::min<size_t>(want, done));
    std::memcpy(buffer, m_packets.data(), got);
    m_packetPos = got;
    return code;
}

uint32_t CUsbHostStream::Read(void* buffer, uint32_t n)
{
    if (!(GetOpenFlags() & STREAM_READ) || !m_inPipe || !m_device)
        Raise(Err::ReadFault);
    ClearError();
    if (n == 0)
        return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    uint64_t start = 0;
    GetPerfCounter(start);
    uint32_t total = 0;
    for (;;)
    {
        uint32_t got = 0;
        const uint32_t code = ReadPipe(out + total, n - total, got);
        // A transfer that ran out of time or was cancelled has completed with what came.
        if (code != Err::Success && code != Err::Timeout && code != Err::OperationAborted)
            Raise(code);
        total += got;
        if (got == 0)
        {
            SetError(Err::HandleEof);
            return total;
        }
        if (total >= n)
            return total;
        uint64_t now = 0;
        GetPerfCounter(now);
        if (start == 0 || (m_readTimeout != STREAM_WAIT_FOREVER && GetElapsedMs(start, now) > m_readTimeout))
        {
            SetError(Err::Timeout);
            return total;
        }
    }
}

uint32_t CUsbHostStream::Write(const void* data, uint32_t n)
{
    if (!(GetOpenFlags() & STREAM_WRITE) || !m_outPipe || !m_device)
        Raise(Err::WriteFault);
    ClearError();
    if (n == 0)
        return 0; // a zero-length transfer would be a packet of its own on the bus
    size_t done = 0;
    const uint32_t code = m_device->BulkOut(static_cast<const uint8_t*>(data), n, m_writeTimeout, done);
    if (code == Err::Success)
    {
        if (done == 0)
            SetError(Err::Timeout);
    }
    else if (code == Err::Timeout || code == Err::OperationAborted)
        SetError(Err::IoPending);
    else
        Raise(code);
    return static_cast<uint32_t>(done);
}

} // namespace StreamIO
