#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>

namespace Platform
{

// The BSD socket calls the IP stream makes, behind one interface so that tests can make
// any of them fail. Each behaves as its POSIX namesake (-1 and errno on failure); sends
// never raise SIGPIPE.
class SocketOps
{
public:
    virtual ~SocketOps() = default;
    virtual int GetAddrInfo(const char* host, const char* port, const addrinfo& hints, addrinfo** result) = 0;
    virtual void FreeAddrInfo(addrinfo* list) = 0;
    virtual int Socket(int family, int type, int protocol) = 0;
    virtual int Close(int fd) = 0;
    virtual int Shutdown(int fd, int how) = 0;
    virtual int Bind(int fd, const sockaddr* address, socklen_t length) = 0;
    virtual int Listen(int fd, int backlog) = 0;
    virtual int Accept(int fd, sockaddr* address, socklen_t* length) = 0;
    virtual int Connect(int fd, const sockaddr* address, socklen_t length) = 0;
    virtual int SetOption(int fd, int level, int name, const void* value, socklen_t length) = 0;
    virtual int GetOption(int fd, int level, int name, void* value, socklen_t* length) = 0;
    virtual int SetNonBlocking(int fd, bool on) = 0;
    virtual int PendingBytes(int fd, int& count) = 0;
    virtual int Poll(pollfd* fds, nfds_t count, int timeoutMs) = 0;
    virtual ssize_t Receive(int fd, void* buffer, size_t n, int flags) = 0;
    virtual ssize_t ReceiveFrom(int fd, void* buffer, size_t n, int flags, sockaddr* from,
                                socklen_t* length) = 0;
    virtual ssize_t Send(int fd, const void* data, size_t n, int flags) = 0;
    virtual ssize_t SendTo(int fd, const void* data, size_t n, int flags, const sockaddr* to,
                           socklen_t length) = 0;

    static std::shared_ptr<SocketOps> System();
};

std::shared_ptr<SocketOps> CurrentSocketOps();
// Installs ops for sockets made from now on; null brings the kernel's back.
void SetSocketOps(std::shared_ptr<SocketOps> ops);

// The socket error number (10000+) for a getaddrinfo failure.
uint32_t SocketErrorFromAddrInfo(int eaiCode, int savedErrno);

} // namespace Platform
