#pragma once
#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace Sim
{

// The device end of a link to the program under test.
class Link
{
public:
    virtual ~Link() = default;
    // Up to n bytes within timeoutMs (-1: no limit). Returns the count, 0 on a time-out,
    // -1 when the link is gone or the simulator stops.
    virtual int Read(uint8_t* buffer, size_t n, int timeoutMs) = 0;
    virtual bool Write(const uint8_t* data, size_t n) = 0;
    // Cuts the connection as an unplugged cable would.
    virtual void Drop() = 0;
    // Ends the connection in order, as a device that closes it on purpose does: the
    // program sees end of data rather than a reset. Links without that difference drop.
    virtual void Close() { Drop(); }
    // Wakes a blocked Read for good (the simulator stops).
    virtual void Stop() = 0;

    bool Write(const QByteArray& bytes)
    {
        return Write(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    }
};

// A link over a file descriptor (pty master, connected socket) with an eventfd that
// cuts waits short. A dropped socket is reset, a closed one shut down in order; a dropped
// pty link goes silent, or runs the given drop action (closing the master hangs the
// program's port up, as when a USB serial adapter is pulled).
class FdLink : public Link
{
public:
    FdLink(int fd, bool isSocket, bool ownsFd = true, std::function<void()> onDrop = {});
    ~FdLink() override;
    int Read(uint8_t* buffer, size_t n, int timeoutMs) override;
    bool Write(const uint8_t* data, size_t n) override;
    void Drop() override;
    void Close() override;
    void Stop() override;

private:
    void End(bool orderly);

    std::mutex m_lock;
    int m_fd;
    bool m_socket;
    bool m_owns;
    std::function<void()> m_onDrop;
    int m_stopFd;
    std::atomic<bool> m_dropped{false};
};

// A TCP listener on a loopback address; accepts one peer at a time.
class TcpListener
{
public:
    // Binds address:port; IsValid tells whether that worked.
    TcpListener(const QString& address, uint16_t port);
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    bool IsValid() const { return m_fd >= 0; }
    // Waits up to timeoutMs for a peer; null on a time-out or after Stop.
    std::unique_ptr<Link> Accept(int timeoutMs);
    void Stop();

private:
    int m_fd = -1;
    int m_stopFd = -1;
};

// A loopback address of 127.0.0.0/8 that no other test process is likely to use at the
// same time (it mixes in the process id and a counter), so tests may run in parallel on
// the fixed tester port.
QString UniqueLoopbackAddress();

} // namespace Sim
