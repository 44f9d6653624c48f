#pragma once
#include "streamio/IpSocket.h"

namespace StreamIO
{

// A TCP client, or a server that listens on its port and serves one peer at a time: the
// first transfer accepts a peer and stops listening, a lost peer makes it listen again.
// A client whose peer went (a reset, or an orderly close seen as end of data on receive
// or as a broken pipe on send) connects again; the transfer that met the loss brings
// nothing.
class CTcpSocket : public CIpSocket
{
public:
    using CIpSocket::CIpSocket;
    ~CTcpSocket() override;

    uint32_t Open() override;
    uint32_t Close() override;
    uint32_t Receive(void* buffer, uint32_t n, uint32_t& count) override;
    uint32_t Send(const void* data, uint32_t n, uint32_t& count) override;
    bool PeerGone() override;

private:
    // Waits up to the read time-out for a peer.
    uint32_t Accept();
    // Without a connection: a server accepts one, a client has none to offer.
    uint32_t EnsureConnected();

    std::atomic<int> m_listen{-1};
};

} // namespace StreamIO
