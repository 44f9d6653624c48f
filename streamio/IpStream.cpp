#include "streamio/IpStream.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "streamio/PerfCounter.h"
#include "streamio/TcpSocket.h"
#include "streamio/UdpSocket.h"

#include <chrono>
#include <thread>
#include <vector>

namespace StreamIO
{

CIpStream::CIpStream() = default;

CIpStream::CIpStream(const QString& name, uint32_t openFlags)
{
    if (!Open(name, openFlags))
        throw CFileException(GetError(), GetName());
}

CIpStream::~CIpStream()
{
    if (m_socket)
        Abort();
}

void CIpStream::SetCancelHook(CancelHook hook)
{
    CIoStream::SetCancelHook(std::move(hook));
    if (m_socket)
        m_socket->SetCancelHook(GetCancelHook());
}

bool CIpStream::ReconnectIfClosed()
{
    ClearError();
    if (!m_socket || m_socket->IsServer() || !m_socket->PeerGone())
        return false;
    Reconnect();
    return true;
}

uint64_t CIpStream::GetConnectionId() const
{
    return m_socket ? m_socket->ConnectionId() : 0;
}

bool CIpStream::Open(const QString& name, uint32_t openFlags)
{
    if (m_socket)
    {
        SetError(Err::NotSupported);
        return false;
    }
    SetName(name.startsWith(QLatin1String("IP:"), Qt::CaseInsensitive) ? name : QStringLiteral("IP:") + name);
    SetOpenFlags(openFlags);
    ClearError();
    if (const uint32_t code = StartWinsock())
        Raise(code);
    std::unique_ptr<CIpSocket> socket;
    if (openFlags & STREAM_UDP)
        socket = std::make_unique<CUdpSocket>(GetName());
    else
        socket = std::make_unique<CTcpSocket>(GetName());
    socket->SetCancelHook(GetCancelHook());
    const uint32_t code = socket->Open();
    SetError(code);
    if (code != 0)
    {
        socket.reset();
        Raise(code);
    }
    m_socket = std::move(socket);
    return true;
}

bool CIpStream::IsConnected() const
{
    return m_socket && m_socket->IsConnected();
}

void CIpStream::Close()
{
    ClearError();
    if (!m_socket)
        Raise(Err::InvalidHandle);
    const uint32_t code = m_socket->Close();
    SetError(code);
    m_socket.reset();
    if (code != 0)
        Raise(code);
}

void CIpStream::DiscardInput()
{
    ClearError();
    uint32_t pending = 0;
    if (!m_socket || !m_socket->PendingBytes(pending) || pending == 0)
        return;
    std::vector<uint8_t> scratch(pending);
    uint32_t count = 0;
    SetError(m_socket->Receive(scratch.data(), pending, count));
}

uint32_t CIpStream::GetBytesAvailable()
{
    ClearError();
    uint32_t pending = 0;
    if (!m_socket || !m_socket->PendingBytes(pending))
        return 0;
    return pending;
}

bool CIpStream::GetTimeouts(uint32_t& readMs, uint32_t& writeMs)
{
    ClearError();
    if (!m_socket)
        return false;
    m_socket->GetTimeouts(readMs, writeMs);
    return true;
}

bool CIpStream::SetTimeouts(uint32_t readMs, uint32_t writeMs)
{
    ClearError();
    if (!m_socket)
        return false;
    m_socket->SetTimeouts(readMs, writeMs);
    return true;
}

bool CIpStream::CancelPending()
{
    ClearError();
    CIpSocket* socket = m_socket.get();
    if (!socket)
        return false;
    socket->SetPause(true);
    socket->CancelConnect();
    socket->Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    socket->ResetCancelConnect();
    const uint32_t code = socket->Open();
    socket->SetPause(false);
    SetError(code);
    if (code != 0)
        Raise(code);
    return true;
}

void CIpStream::Reconnect()
{
    uint32_t readMs = 0;
    uint32_t writeMs = 0;
    m_socket->GetTimeouts(readMs, writeMs);
    Abort();
    if (Reopen())
    {
        ClearError();
        m_socket->SetTimeouts(readMs, writeMs);
    }
}

uint32_t CIpStream::Read(void* buffer, uint32_t n)
{
    if (!m_socket)
        Raise(Err::InvalidHandle);
    if (!(GetOpenFlags() & STREAM_READ))
        Raise(Err::ReadFault);
    ClearError();
    if (n == 0)
        return 0; // a receive of nothing would read as a peer that left
    auto* out = static_cast<uint8_t*>(buffer);
    uint64_t start = 0;
    GetPerfCounter(start);
    uint32_t total = 0;
    for (;;)
    {
        uint32_t count = 0;
        const uint32_t code = m_socket->Receive(out + total, n - total, count);
        SetError(code);
        if (code != 0 && code != Err::Timeout && code != Err::WsaConnectionAborted &&
            code != Err::WsaConnectionReset && code != Err::OperationAborted)
            Raise(code);
        total += count;
        if (code == Err::OperationAborted)
            break;
        if (code == Err::WsaConnectionAborted || code == Err::WsaConnectionReset)
            Reconnect();
        else if (count == 0 && n > 0 && code != Err::Timeout)
        {
            SetError(Err::HandleEof);
            break;
        }
        if (HasError() || total >= n)
            break;
        uint32_t readMs = 0;
        uint32_t writeMs = 0;
        m_socket->GetTimeouts(readMs, writeMs);
        uint64_t now = 0;
        GetPerfCounter(now);
        if (start == 0 || (readMs != STREAM_WAIT_FOREVER && readMs < GetElapsedMs(start, now)))
        {
            SetError(Err::Timeout);
            break;
        }
    }
    return total;
}

uint32_t CIpStream::Write(const void* data, uint32_t n)
{
    if (!m_socket)
        Raise(Err::InvalidHandle);
    if (!(GetOpenFlags() & STREAM_WRITE))
        Raise(Err::WriteFault);
    ClearError();
    uint32_t count = 0;
    const uint32_t code = m_socket->Send(data, n, count);
    SetError(code);
    if (code != 0 && code != Err::Timeout && code != Err::WsaConnectionAborted &&
        code != Err::WsaConnectionReset && code != Err::OperationAborted)
        Raise(code);
    if (code == Err::OperationAborted)
        return count;
    if (code == Err::WsaConnectionAborted || code == Err::WsaConnectionReset)
        Reconnect();
    if (count == 0 && n > 0)
        SetError(GetError() == Err::Timeout ? Err::Timeout : Err::HandleEof);
    return count;
}

} // namespace StreamIO
