#include "streamio/IpSocket.h"

#include "platform/core/Clock.h"
#include "platform/core/Codepage.h"
#include "platform/core/ErrorCodes.h"
#include "platform/io/SocketOps.h"

#include <QRegularExpression>

#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <thread>

namespace StreamIO
{

namespace
{
std::mutex* g_winsockLock = nullptr;
std::atomic<bool> g_winsockStarted{false};
std::atomic<uint64_t> g_lastConnectionId{0};

uint32_t LastSocketError()
{
    const uint32_t code = SocketErrorFromErrno(errno);
    return code == Err::Success ? Err::GenFailure : code;
}

bool IsDottedQuad(const QByteArray& host)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$"));
    const auto match = pattern.match(QString::fromLatin1(host));
    if (!match.hasMatch())
        return false;
    for (int i = 1; i <= 4; ++i)
        if (match.captured(i).toInt() > 255)
            return false;
    return true;
}

// How long a connect waits between looks at the cancel hook.
constexpr int kConnectSliceMs = int(kCancelPollMs);
} // namespace

void InitWinsockLock()
{
    static std::mutex lock;
    g_winsockLock = &lock;
}

uint32_t StartWinsock()
{
    if (g_winsockLock)
    {
        std::lock_guard guard(*g_winsockLock);
        g_winsockStarted = true;
    }
    else
        g_winsockStarted = true;
    return Err::Success;
}

void CleanupWinsock()
{
    if (g_winsockLock)
    {
        std::lock_guard guard(*g_winsockLock);
        g_winsockStarted = false;
    }
    g_winsockLock = nullptr;
}

CIpSocket::CIpSocket(const QString& streamName) : m_ops(Platform::CurrentSocketOps())
{
    const qsizetype first = streamName.indexOf(QLatin1Char(':'));
    const qsizetype last = streamName.lastIndexOf(QLatin1Char(':'));
    QString host;
    QString port;
    if (first >= 0 && first == last)
        host = streamName.left(first);
    else if (first >= 0)
    {
        host = streamName.mid(first + 1, last - first - 1);
        port = streamName.mid(last + 1);
    }
    if (!host.isEmpty())
        m_host = EncodeCp1252(host);
    if (!port.isEmpty())
        m_port = EncodeCp1252(port);
}

CIpSocket::~CIpSocket()
{
    CloseDescriptor(m_socket, true);
}

void CIpSocket::SetTimeouts(uint32_t readMs, uint32_t writeMs)
{
    m_readMs = readMs;
    m_writeMs = writeMs;
}

void CIpSocket::GetTimeouts(uint32_t& readMs, uint32_t& writeMs) const
{
    readMs = m_readMs;
    writeMs = m_writeMs;
}

bool CIpSocket::PendingBytes(uint32_t& count)
{
    count = 0;
    const int fd = m_socket;
    int pending = 0;
    if (fd < 0 || m_ops->PendingBytes(fd, pending) != 0)
        return false;
    count = pending > 0 ? static_cast<uint32_t>(pending) : 0;
    return true;
}

void CIpSocket::NoteNewConnection()
{
    m_connectionId = g_lastConnectionId.fetch_add(1) + 1;
}

bool CIpSocket::IsLostConnection(uint32_t code)
{
    return code == Err::WsaNetworkReset || code == Err::WsaConnectionAborted ||
           code == Err::WsaConnectionReset || code == Err::WsaNotConnected || code == Err::WsaTimedOut;
}

uint32_t CIpSocket::FinishTransfer(uint32_t code) const
{
    if (!m_pause)
        return code;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return code == Err::Timeout ? code : Err::Success;
}

uint32_t CIpSocket::CloseDescriptor(std::atomic<int>& fd, bool shutdownFirst)
{
    const int old = fd.exchange(-1);
    if (old < 0)
        return Err::Success;
    if (shutdownFirst)
        m_ops->Shutdown(old, SHUT_RDWR);
    return m_ops->Close(old) == 0 ? Err::Success : LastSocketError();
}

uint32_t CIpSocket::Close()
{
    std::lock_guard guard(m_openLock);
    if (m_socket < 0)
        return Err::Success;
    uint32_t result = Err::Success;
    const int fd = m_socket;
    // Shut down even without a connection: it wakes a thread polling this socket.
    if (m_ops->Shutdown(fd, SHUT_RDWR) != 0 && m_connected)
        result = LastSocketError();
    m_connected = false;
    if (const uint32_t code = CloseDescriptor(m_socket, false))
        result = code;
    return result;
}

uint32_t CIpSocket::Recover(uint32_t code)
{
    if (m_pause)
        return code;
    std::lock_guard guard(m_openLock);
    Close();
    return Open();
}

uint32_t CIpSocket::Resolve(int type, int protocol, bool server, addrinfo** list)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = type;
    hints.ai_protocol = protocol;
    if (server)
        hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST;
    else if (m_host && IsDottedQuad(*m_host))
        hints.ai_flags = AI_NUMERICHOST;
    const char* host = m_host ? m_host->constData() : nullptr;
    const char* port = m_port ? m_port->constData() : nullptr;
    errno = 0;
    const int r = m_ops->GetAddrInfo(host, port, hints, list);
    if (r != 0)
    {
        *list = nullptr;
        return Platform::SocketErrorFromAddrInfo(r, errno);
    }
    return Err::Success;
}

uint32_t CIpSocket::ConnectOne(const addrinfo& address)
{
    const int fd = m_ops->Socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (fd < 0)
        return LastSocketError();
    // Non-blocking, so the connect is bounded and every later wait goes through poll().
    m_ops->SetNonBlocking(fd, true);
    uint32_t code = Err::Success;
    if (m_ops->Connect(fd, address.ai_addr, address.ai_addrlen) != 0)
    {
        if (errno != EINPROGRESS)
            code = LastSocketError();
        else
        {
            const uint64_t deadline = Platform::MonotonicMs() + kConnectTimeoutMs;
            code = Err::WsaTimedOut;
            for (;;)
            {
                const uint64_t now = Platform::MonotonicMs();
                if (now >= deadline)
                    break;
                if ((m_cancelHook && m_cancelHook()) || m_cancelConnect.IsSet())
                {
                    code = Err::OperationAborted;
                    break;
                }
                pollfd fds[2] = {{fd, POLLOUT, 0}, {m_cancelConnect.Fd(), POLLIN, 0}};
                const int wait = static_cast<int>(std::min<uint64_t>(deadline - now, kConnectSliceMs));
                const int n = m_ops->Poll(fds, 2, wait);
                if (n < 0 && errno != EINTR)
                {
                    code = LastSocketError();
                    break;
                }
                if (n > 0 && fds[0].revents)
                {
                    int error = 0;
                    socklen_t length = sizeof error;
                    if (m_ops->GetOption(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                        error = errno;
                    code = error == 0 ? Err::Success : SocketErrorFromErrno(error);
                    break;
                }
            }
        }
    }
    if (code != Err::Success)
    {
        m_ops->Close(fd);
        return code;
    }
    const int on = 1;
    m_ops->SetOption(fd, SOL_SOCKET, SO_OOBINLINE, &on, sizeof on);
    m_socket = fd;
    m_connected = true;
    NoteNewConnection();
    return Err::Success;
}

uint32_t CIpSocket::Connect(int type, int protocol)
{
    addrinfo* list = nullptr;
    if (const uint32_t code = Resolve(type, protocol, false, &list))
        return code;
    uint32_t code = Err::WsaHostNotFound;
    for (addrinfo* a = list; a; a = a->ai_next)
    {
        code = ConnectOne(*a);
        if (code == Err::Success || code == Err::OperationAborted)
            break;
    }
    m_ops->FreeAddrInfo(list);
    return code;
}

uint32_t CIpSocket::Bind(int type, int protocol, int& fd)
{
    fd = -1;
    addrinfo* list = nullptr;
    if (const uint32_t code = Resolve(type, protocol, true, &list))
        return code;
    uint32_t code = Err::WsaHostNotFound;
    for (addrinfo* a = list; a; a = a->ai_next)
    {
        const int s = m_ops->Socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s < 0)
        {
            code = LastSocketError();
            continue;
        }
        // A server listens again on its port right after a peer left: the old
        // connection's TIME_WAIT must not block the bind.
        const int on = 1;
        m_ops->SetOption(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        m_ops->SetNonBlocking(s, true);
        if (m_ops->Bind(s, a->ai_addr, a->ai_addrlen) == 0)
        {
            fd = s;
            code = Err::Success;
            break;
        }
        code = LastSocketError();
        m_ops->Close(s);
    }
    m_ops->FreeAddrInfo(list);
    return code;
}

uint32_t CIpSocket::WaitReady(int fd, short events, uint32_t timeoutMs)
{
    if (fd < 0)
        return Err::WsaNotConnected;
    const uint64_t start = Platform::MonotonicMs();
    for (;;)
    {
        int wait = -1;
        bool last = true;
        if (timeoutMs != 0xFFFFFFFFu)
        {
            const uint64_t elapsed = Platform::MonotonicMs() - start;
            wait = elapsed >= timeoutMs
                       ? 0
                       : static_cast<int>(std::min<uint64_t>(timeoutMs - elapsed, 0x7FFFFFFF));
        }
        // With a cancel hook the wait goes in slices, so a cancel ends it soon.
        if (m_cancelHook && (wait < 0 || wait > int(kCancelPollMs)))
        {
            wait = int(kCancelPollMs);
            last = false;
        }
        pollfd p{fd, events, 0};
        const int n = m_ops->Poll(&p, 1, wait);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            return LastSocketError();
        }
        if (n == 0)
        {
            if (m_cancelHook && m_cancelHook())
                return Err::OperationAborted;
            if (last)
                return Err::Timeout;
            continue;
        }
        if (p.revents & POLLNVAL)
            return Err::WsaNotConnected; // closed under us by a cancel
        // Ready, a hang-up or an error: the transfer that follows tells which.
        return Err::Success;
    }
}

} // namespace StreamIO
