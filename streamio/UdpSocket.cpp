#include "streamio/UdpSocket.h"

#include "platform/core/ErrorCodes.h"
#include "platform/io/SocketOps.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
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

uint32_t CUdpSocket::Open()
{
    std::lock_guard guard(m_openLock);
    if (!IsServer())
        return Connect(SOCK_DGRAM, IPPROTO_UDP);
    int fd = -1;
    const uint32_t code = Bind(SOCK_DGRAM, IPPROTO_UDP, fd);
    if (code == Err::Success)
        m_socket = fd;
    return code;
}

uint32_t CUdpSocket::Close()
{
    std::lock_guard guard(m_openLock);
    const uint32_t code = CIpSocket::Close();
    m_datagram.clear();
    m_datagramPos = 0;
    return code;
}

uint32_t CUdpSocket::Receive(void* buffer, uint32_t n, uint32_t& count)
{
    count = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t code = Err::Success;
    if (m_datagramPos < m_datagram.size())
    {
        count = static_cast<uint32_t>(std::min<size_t>(n, m_datagram.size() - m_datagramPos));
        std::memcpy(out, m_datagram.data() + m_datagramPos, count);
        m_datagramPos += count;
        if (m_datagramPos >= m_datagram.size())
        {
            m_datagram.clear();
            m_datagramPos = 0;
        }
        return FinishTransfer(code);
    }
    const int fd = m_socket;
    code = WaitReady(fd, POLLIN, m_readMs);
    if (code == Err::Success)
    {
        int pending = 0;
        const bool known = m_ops->PendingBytes(fd, pending) == 0;
        const bool direct = !known || n >= static_cast<uint32_t>(std::max(pending, 0));
        uint8_t* target = out;
        size_t room = n;
        if (!direct)
        {
            m_datagram.assign(static_cast<size_t>(pending), 0);
            target = m_datagram.data();
            room = m_datagram.size();
        }
        ssize_t r;
        if (IsServer())
        {
            m_senderLength = sizeof m_sender;
            r = m_ops->ReceiveFrom(fd, target, room, 0, reinterpret_cast<sockaddr*>(&m_sender),
                                   &m_senderLength);
            m_connected = r > 0;
        }
        else
            r = m_ops->Receive(fd, target, room, 0);
        if (r < 0)
        {
            code = errno == EAGAIN || errno == EWOULDBLOCK ? Err::Timeout : LastSocketError();
            m_datagram.clear();
        }
        else if (direct)
            count = static_cast<uint32_t>(r);
        else
        {
            m_datagram.resize(static_cast<size_t>(r));
            count = static_cast<uint32_t>(std::min<size_t>(n, m_datagram.size()));
            std::memcpy(out, m_datagram.data(), count);
            m_datagramPos = count;
            if (m_datagramPos >= m_datagram.size())
            {
                m_datagram.clear();
                m_datagramPos = 0;
            }
        }
    }
    return FinishTransfer(code);
}

uint32_t CUdpSocket::Send(const void* data, uint32_t n, uint32_t& count)
{
    count = 0;
    if (!m_connected)
    {
        return FinishTransfer(Err::Success); // nobody to answer yet
    }
    const int fd = m_socket;
    uint32_t code = WaitReady(fd, POLLOUT, m_writeMs);
    if (code == Err::Success)
    {
        const ssize_t r =
            IsServer()
                ? m_ops->SendTo(fd, data, n, 0, reinterpret_cast<const sockaddr*>(&m_sender), m_senderLength)
                : m_ops->Send(fd, data, n, 0);
        if (r >= 0)
            count = static_cast<uint32_t>(r);
        else
        {
            code = LastSocketError();
            if (code == Err::WsaConnectionAborted || code == Err::WsaConnectionReset ||
                code == Err::WsaTimedOut)
                code = Err::Success;
            if (IsServer())
                m_connected = false;
        }
    }
    return FinishTransfer(code);
}

} // namespace StreamIO
