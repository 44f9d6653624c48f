#include "platform/io/SocketOps.h"

#include "platform/core/ErrorCodes.h"

#include <fcntl.h>
#include <mutex>
#include <sys/ioctl.h>
#include <unistd.h>

namespace Platform
{

namespace
{

class SystemSocketOps final : public SocketOps
{
public:
    int GetAddrInfo(const char* host, const char* port, const addrinfo& hints, addrinfo** result) override
    {
        return ::getaddrinfo(host, port, &hints, result);
    }
    void FreeAddrInfo(addrinfo* list) override { ::freeaddrinfo(list); }
    int Socket(int family, int type, int protocol) override
    {
        return ::socket(family, type | SOCK_CLOEXEC, protocol);
    }
    int Close(int fd) override { return ::close(fd); }
    int Shutdown(int fd, int how) override { return ::shutdown(fd, how); }
    int Bind(int fd, const sockaddr* address, socklen_t length) override
    {
        return ::bind(fd, address, length);
    }
    int Listen(int fd, int backlog) override { return ::listen(fd, backlog); }
    int Accept(int fd, sockaddr* address, socklen_t* length) override
    {
        return ::accept4(fd, address, length, SOCK_CLOEXEC);
    }
    int Connect(int fd, const sockaddr* address, socklen_t length) override
    {
        return ::connect(fd, address, length);
    }
    int SetOption(int fd, int level, int name, const void* value, socklen_t length) override
    {
        return ::setsockopt(fd, level, name, value, length);
    }
    int GetOption(int fd, int level, int name, void* value, socklen_t* length) override
    {
        return ::getsockopt(fd, level, name, value, length);
    }
    int SetNonBlocking(int fd, bool on) override
    {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0)
            return -1;
        return ::fcntl(fd, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK));
    }
    int PendingBytes(int fd, int& count) override { return ::ioctl(fd, FIONREAD, &count); }
    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override { return ::poll(fds, count, timeoutMs); }
    ssize_t Receive(int fd, void* buffer, size_t n, int flags) override
    {
        return ::recv(fd, buffer, n, flags);
    }
    ssize_t ReceiveFrom(int fd, void* buffer, size_t n, int flags, sockaddr* from, socklen_t* length) override
    {
        return ::recvfrom(fd, buffer, n, flags, from, length);
    }
    ssize_t Send(int fd, const void* data, size_t n, int flags) override
    {
        return ::send(fd, data, n, flags | MSG_NOSIGNAL);
    }
    ssize_t SendTo(int fd, const void* data, size_t n, int flags, const sockaddr* to,
                   socklen_t length) override
    {
        return ::sendto(fd, data, n, flags | MSG_NOSIGNAL, to, length);
    }
};

std::mutex g_opsLock;
std::shared_ptr<SocketOps> g_ops;

} // namespace

std::shared_ptr<SocketOps> SocketOps::System()
{
    static const auto ops = std::make_shared<SystemSocketOps>();
    return ops;
}

std::shared_ptr<SocketOps> CurrentSocketOps()
{
    std::lock_guard guard(g_opsLock);
    return g_ops ? g_ops : SocketOps::System();
}

void SetSocketOps(std::shared_ptr<SocketOps> ops)
{
    std::lock_guard guard(g_opsLock);
    g_ops = std::move(ops);
}

uint32_t SocketErrorFromAddrInfo(int eaiCode, int savedErrno)
{
    switch (eaiCode)
    {
    case 0:
        return Err::Success;
    case EAI_SYSTEM:
        return SocketErrorFromErrno(savedErrno);
    case EAI_MEMORY:
        return Err::NotEnoughMemory;
    case EAI_FAMILY:
    case EAI_SOCKTYPE:
    case EAI_SERVICE:
    case EAI_BADFLAGS:
        return Err::WsaInvalidArgument;
    default: // EAI_NONAME, EAI_NODATA, EAI_FAIL
        return Err::WsaHostNotFound;
    }
}

} // namespace Platform
