#pragma once
#include "streamio/IpSocket.h"

#include <sys/socket.h>

#include <vector>

namespace StreamIO
{

// A UDP client (connected to its peer), or a server bound to its port that answers
// whoever sent the last datagram. A datagram larger than a Receive asks for is kept and
// served by the next ones.
class CUdpSocket : public CIpSocket
{
public:
    using CIpSocket::CIpSocket;

    uint32_t Open() override;
    uint32_t Close() override;
    uint32_t Receive(void* buffer, uint32_t n, uint32_t& count) override;
    uint32_t Send(const void* data, uint32_t n, uint32_t& count) override;

private:
    sockaddr_storage m_sender{};
    socklen_t m_senderLength = 0;
    std::vector<uint8_t> m_datagram;
    size_t m_datagramPos = 0;
};

} // namespace StreamIO
