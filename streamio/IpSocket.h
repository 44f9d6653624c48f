#pragma once
#include "platform/core/Event.h"
#include "streamio/IoStream.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

struct addrinfo;

namespace Platform
{
class SocketOps;
}

namespace StreamIO
{

// The socket layer's start and stop. Linux sockets need no library start-up; the calls
// keep the start-up flag and its lock, so the stream layer's start and stop stay as the
// callers know them.
void InitWinsockLock();
uint32_t StartWinsock();
void CleanupWinsock();

// The socket work of an IP stream, in BSD sockets with poll(), reporting the socket
// error numbers (10000+) and 1460 for a time-out. The name is the stream's
// ("IP:host:port"): the host is the text between the first and the last colon, the port
// the text after the last colon; no host makes a server.
//
// One thread transfers; CancelPending of the stream may close and reopen the socket from
// another thread. For that the descriptors are atomic, every close shuts the socket down
// first (a plain close would not wake a thread blocked on it, and the number could be
// reused), and while the pause flag is set a failed transfer does not reconnect by
// itself: the canceller does.
class CIpSocket
{
public:
    explicit CIpSocket(const QString& streamName);
    virtual ~CIpSocket();
    CIpSocket(const CIpSocket&) = delete;
    CIpSocket& operator=(const CIpSocket&) = delete;

    virtual uint32_t Open() = 0;
    virtual uint32_t Close();
    virtual uint32_t Receive(void* buffer, uint32_t n, uint32_t& count) = 0;
    virtual uint32_t Send(const void* data, uint32_t n, uint32_t& count) = 0;

    // Milliseconds, -1 = no limit.
    void SetTimeouts(uint32_t readMs, uint32_t writeMs);
    void GetTimeouts(uint32_t& readMs, uint32_t& writeMs) const;
    bool IsConnected() const { return m_connected; }
    bool IsServer() const { return !m_host.has_value(); }
    void SetPause(bool on) { m_pause = on; }
    void SetCancelHook(CancelHook hook) { m_cancelHook = std::move(hook); }
    // Ends a connect in progress (in any thread); Reset before the next one.
    void CancelConnect() { m_cancelConnect.Set(); }
    void ResetCancelConnect() { m_cancelConnect.Reset(); }
    // Bytes waiting on the connected socket; false when that cannot be asked.
    bool PendingBytes(uint32_t& count);
    // A client connection whose peer closed it (end of data is all that is left) or
    // reset it; asked without waiting.
    virtual bool PeerGone() { return false; }
    // Unique in the process for every connection made (connected or accepted); 0 before
    // the first.
    uint64_t ConnectionId() const { return m_connectionId; }

    // The longest a client waits for a connection.
    static constexpr uint32_t kConnectTimeoutMs = 5000;

protected:
    // Client: tries every address of host:port until one connects.
    uint32_t Connect(int type, int protocol);
    // Server: a socket bound to the port on every address, in `fd`.
    uint32_t Bind(int type, int protocol, int& fd);
    // Waits until fd is ready for `events` or the time-out passes: 0 ready, 1460 none,
    // 995 when the cancel hook said so, else the failure.
    uint32_t WaitReady(int fd, short events, uint32_t timeoutMs);
    // Shuts down and closes a descriptor; 0 or the close's error.
    uint32_t CloseDescriptor(std::atomic<int>& fd, bool shutdownFirst);
    // After a lost connection: close it and open again (a client reconnects, a server
    // listens anew), unless a cancel is in progress. Returns the code to report.
    uint32_t Recover(uint32_t code);
    // Ends every Receive and Send: while a cancel is in progress a failure is no failure
    // (the transfer simply brought nothing) and the transfer sleeps 50 ms, so it does not
    // race the canceller's reopen.
    uint32_t FinishTransfer(uint32_t code) const;
    static bool IsLostConnection(uint32_t code);
    // Gives the connection just made (m_socket) an id of its own.
    void NoteNewConnection();

    std::shared_ptr<Platform::SocketOps> m_ops;
    std::optional<QByteArray> m_host;
    std::optional<QByteArray> m_port;
    std::atomic<int> m_socket{-1};
    std::atomic<uint32_t> m_readMs{500};
    std::atomic<uint32_t> m_writeMs{100};
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_pause{false};
    std::atomic<uint64_t> m_connectionId{0};
    CancelHook m_cancelHook;
    Platform::Event m_cancelConnect{true, false};
    std::recursive_mutex m_openLock;

private:
    uint32_t ConnectOne(const addrinfo& address);
    uint32_t Resolve(int type, int protocol, bool server, addrinfo** list);
};

} // namespace StreamIO
