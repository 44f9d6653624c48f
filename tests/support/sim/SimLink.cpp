#include "tests/support/sim/SimLink.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace Sim
{

namespace
{
// Waits for fd to be readable or the stop descriptor to fire. 1 readable, 0 time-out,
// -1 stopped or broken.
int WaitReadable(int fd, int stopFd, int timeoutMs, bool* hangup)
{
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    for (;;)
    {
        const int rc = ::poll(fds, 2, timeoutMs);
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc < 0)
            return -1;
        if (rc == 0)
            return 0;
        if (fds[1].revents)
            return -1;
        if (hangup)
            *hangup = (fds[0].revents & (POLLHUP | POLLERR)) && !(fds[0].revents & POLLIN);
        return 1;
    }
}
} // namespace

FdLink::FdLink(int fd, bool isSocket, bool ownsFd, std::function<void()> onDrop)
    : m_fd(fd), m_socket(isSocket), m_owns(ownsFd), m_onDrop(std::move(onDrop)),
      m_stopFd(::eventfd(0, EFD_NONBLOCK))
{
}

FdLink::~FdLink()
{
    if (m_fd >= 0 && m_owns)
        ::close(m_fd);
    if (m_stopFd >= 0)
        ::close(m_stopFd);
}

int FdLink::Read(uint8_t* buffer, size_t n, int timeoutMs)
{
    if (m_dropped.load())
        return -1;
    bool hangup = false;
    const int ready = WaitReadable(m_fd, m_stopFd, timeoutMs, &hangup);
    if (ready <= 0)
        return ready;
    if (hangup)
    {
        if (m_socket)
            return -1;
        // A pty master without an open slave reports a hang-up; wait like a quiet line.
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeoutMs < 0 ? 10 : timeoutMs, 10)));
        return 0;
    }
    const ssize_t got = ::read(m_fd, buffer, n);
    if (got > 0)
        return int(got);
    // A pty master reads nothing (or EIO) while the program has its port closed or is
    // opening it; only a socket's end is final.
    if (!m_socket || (got < 0 && (errno == EAGAIN || errno == EINTR)))
    {
        if (got <= 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 0;
    }
    return -1;
}

bool FdLink::Write(const uint8_t* data, size_t n)
{
    std::lock_guard guard(m_lock);
    size_t done = 0;
    while (done < n)
    {
        if (m_dropped.load())
            return false;
        const ssize_t put = m_socket ? ::send(m_fd, data + done, n - done, MSG_NOSIGNAL)
                                     : ::write(m_fd, data + done, n - done);
        if (put < 0 && (errno == EINTR || errno == EAGAIN))
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        if (put <= 0)
            return false;
        done += size_t(put);
    }
    return true;
}

void FdLink::Drop()
{
    End(false);
}

void FdLink::Close()
{
    End(true);
}

void FdLink::End(bool orderly)
{
    // Called on the serving thread, so no read of this link is under way.
    m_dropped.store(true);
    if (m_socket && m_fd >= 0)
    {
        if (orderly)
        {
            // End of data for the program, which may still write: what it sends now
            // earns it a reset.
            ::shutdown(m_fd, SHUT_RDWR);
        }
        else
        {
            // A reset, as a pulled cable ends up.
            linger lg{1, 0};
            ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
        }
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_onDrop)
        m_onDrop();
    Stop();
}

void FdLink::Stop()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t rc = ::write(m_stopFd, &one, sizeof one);
}

TcpListener::TcpListener(const QString& address, uint16_t port)
{
    m_stopFd = ::eventfd(0, EFD_NONBLOCK);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.toLatin1().constData(), &addr.sin_addr) != 1 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 1) != 0)
    {
        ::close(fd);
        return;
    }
    m_fd = fd;
}

TcpListener::~TcpListener()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_stopFd >= 0)
        ::close(m_stopFd);
}

std::unique_ptr<Link> TcpListener::Accept(int timeoutMs)
{
    if (m_fd < 0 || WaitReadable(m_fd, m_stopFd, timeoutMs, nullptr) <= 0)
        return nullptr;
    const int peer = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0)
        return nullptr;
    const int yes = 1;
    ::setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return std::make_unique<FdLink>(peer, true);
}

void TcpListener::Stop()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t rc = ::write(m_stopFd, &one, sizeof one);
}

QString UniqueLoopbackAddress()
{
    static std::atomic<uint32_t> counter{0};
    const uint32_t pid = uint32_t(::getpid());
    const uint32_t n = counter.fetch_add(1);
    const uint32_t b = 1 + (pid % 250);
    const uint32_t c = (pid / 250) % 250 + 1;
    const uint32_t d = 2 + (n % 250);
    return QStringLiteral("127.%1.%2.%3").arg(b).arg(c).arg(d);
}

} // namespace Sim
