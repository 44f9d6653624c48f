#include "streamio/TcpSocket.h"

#include "platform/core/Clock.h"
#include "platform/core/ErrorCodes.h"
#include "platform/io/SocketOps.h"

#include <cerrno>
#include <netinet/in.h>

namespace StreamIO
{

namespace
{
uint32_t LastSocketError()
{
    const uint32_t code = SocketErrorFromErrno(errno);
    return code == Err::Success ? Err::GenFailure : code;
}
} // namespace

CTcpSocket::~CTcpSocket()
{
    CloseDescriptor(m_listen, true);
}

uint32_t CTcpSocket::Open()
{
    std::lock_guard guard(m_openLock);
    if (!IsServer())
        return Connect(SOCK_STREAM, IPPROTO_TCP);
    int fd = -1;
    if (const uint32_t code = Bind(SOCK_STREAM, IPPROTO_TCP, fd))
        return code;
    if (m_ops->Listen(fd, 1) != 0)
    {
        const uint32_t code = LastSocketError();
        m_ops->Close(fd);
        return code;
    }
    m_listen = fd;
    return Err::Success;
}

uint32_t CTcpSocket::Close()
{
    std::lock_guard guard(m_openLock);
    uint32_t result = CIpSocket::Close();
    // A thread waiting for a peer wakes on the shutdown of the listening socket.
    if (const uint32_t code = CloseDescriptor(m_listen, true))
        result = code;
    return result;
}

uint32_t CTcpSocket::Accept()
{
    const int listening = m_listen;
    if (listening < 0)
        return Err::WsaNotConnected;
    if (const uint32_t code = WaitReady(listening, POLLIN, m_readMs))
        return code;
    const int fd = m_ops->Accept(listening, nullptr, nullptr);
    if (fd < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK ? Err::Timeout : LastSocketError();
    m_ops->SetNonBlocking(fd, true);
    const int on = 1;
    m_ops->SetOption(fd, SOL_SOCKET, SO_OOBINLINE, &on, sizeof on);
    m_ops->SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    m_socket = fd;
    m_connected = true;
    NoteNewConnection();
    // One peer at a time: nobody else may connect meanwhile.
    CloseDescriptor(m_listen, false);
    return Err::Success;
}

uint32_t CTcpSocket::EnsureConnected()
{
    if (m_connected && m_socket >= 0)
        return Err::Success;
    return IsServer() ? Accept() : Err::WsaNotConnected;
}

uint32_t CTcpSocket::Receive(void* buffer, uint32_t n, uint32_t& count)
{
    count = 0;
    uint32_t code = EnsureConnected();
    if (code == Err::Success)
    {
        const int fd = m_socket;
        code = WaitReady(fd, POLLIN, m_readMs);
        if (code != Err::Success && code != Err::Timeout)
            code = IsServer() && IsLostConnection(code) ? Recover(code) : code;
        else if (code == Err::Success)
        {
            const ssize_t r = m_ops->Receive(fd, buffer, n, 0);
            if (r > 0)
                count = static_cast<uint32_t>(r);
            else if (r == 0)
                code = Recover(Err::Success); // the peer closed in order: a lost connection too
            else if (errno == EAGAIN || errno == EWOULDBLOCK)
                code = Err::Timeout;
            else
                code = Recover(LastSocketError());
        }
    }
    return FinishTransfer(code);
}

bool CTcpSocket::PeerGone()
{
    const int fd = m_socket;
    if (IsServer() || !m_connected || fd < 0)
        return false;
    uint8_t probe = 0;
    const ssize_t r = m_ops->Receive(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (r > 0)
        return false; // data first: the caller reads or drops it
    if (r == 0)
        return true;
    return errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
}

uint32_t CTcpSocket::Send(const void* data, uint32_t n, uint32_t& count)
{
    count = 0;
    uint32_t code = EnsureConnected();
    const auto* bytes = static_cast<const uint8_t*>(data);
    const uint64_t start = Platform::MonotonicMs();
    while (code == Err::Success && count < n)
    {
        const int fd = m_socket;
        uint32_t wait = m_writeMs;
        if (wait != 0xFFFFFFFFu)
        {
            const uint64_t elapsed = Platform::MonotonicMs() - start;
            wait = elapsed >= wait ? 0 : static_cast<uint32_t>(wait - elapsed);
        }
        code = WaitReady(fd, POLLOUT, wait);
        if (code == Err::Timeout)
        {
            // Part of the data went: that is the result; nothing went: a time-out.
            if (count > 0)
                code = Err::Success;
            break;
        }
        if (code != Err::Success)
        {
            code = IsServer() && IsLostConnection(code) ? Recover(code) : code;
            break;
        }
        const ssize_t r = m_ops->Send(fd, bytes + count, n - count, 0);
        if (r >= 0)
        {
            count += static_cast<uint32_t>(r);
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            continue;
        code = LastSocketError();
        // A reset, or writing after the peer closed (EPIPE): the connection is replaced.
        if (IsLostConnection(code))
            code = Recover(code);
        break;
    }
    return FinishTransfer(code);
}

} // namespace StreamIO
