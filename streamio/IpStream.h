#pragma once
#include "streamio/IoStream.h"
#include "streamio/IpSocket.h"

#include <memory>

namespace StreamIO
{

// The stream over TCP, or UDP with STREAM_UDP, named "IP:host:port" (a client) or
// "IP::port" (a server that waits for one peer). A connection that the peer reset is
// replaced inside Read and Write. Socket codes that mean a lost connection are repaired,
// time-outs (1460) and end of data (38) are recorded, every other code is raised.
class CIpStream : public CIoStream
{
public:
    CIpStream();
    // Opens; raises the recorded error when that fails.
    CIpStream(const QString& name, uint32_t openFlags);
    ~CIpStream() override;

    // The name gets the "IP:" prefix when it has none.
    bool Open(const QString& name, uint32_t openFlags) override;
    virtual bool IsConnected() const;

    void Close() override;
    void DiscardInput() override;
    uint32_t GetBytesAvailable() override;
    bool GetTimeouts(uint32_t& readMs, uint32_t& writeMs) override;
    bool SetTimeouts(uint32_t readMs, uint32_t writeMs) override;
    // May come from another thread: ends a transfer or a connect in progress there and
    // opens the socket anew.
    bool CancelPending() override;
    bool IsOpen() const override { return m_socket != nullptr; }
    uint32_t Read(void* buffer, uint32_t n) override;
    uint32_t Write(const void* data, uint32_t n) override;

    // Asked while a client connects and while a transfer waits: true gives up. The
    // device layer passes its cancel token here.
    void SetCancelHook(CancelHook hook) override;
    // A client whose peer closed the connection (or reset it) connects anew, with the
    // same time-outs.
    bool ReconnectIfClosed() override;
    uint64_t GetConnectionId() const override;

private:
    // After 10053/10054: a fresh socket with the same time-outs.
    void Reconnect();

    std::unique_ptr<CIpSocket> m_socket;
};

} // namespace StreamIO
