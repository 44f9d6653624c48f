#include "streamio/IpStream.h"

#include "platform/core/Clock.h"
#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "streamio/StreamFactory.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace StreamIO;

namespace
{

// A port on the loopback that nobody uses right now.
uint16_t FreePort(int type = SOCK_STREAM)
{
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    ::close(fd);
    return ntohs(a.sin_port);
}

QString Client(uint16_t port)
{
    return QStringLiteral("IP:127.0.0.1:%1").arg(port);
}

QString Server(uint16_t port)
{
    return QStringLiteral("IP::%1").arg(port);
}

QByteArray ReadExactly(CIpStream& s, int n)
{
    QByteArray out(n, '\0');
    int got = 0;
    for (int i = 0; i < 20 && got < n; ++i)
        got += static_cast<int>(s.Read(out.data() + got, static_cast<uint32_t>(n - got)));
    out.resize(got);
    return out;
}

} // namespace

TEST(IpStream, ServerServesOnePeerAtATimeAndListensAgain)
{
    const uint16_t port = FreePort();
    CIpStream server(Server(port), STREAM_READ | STREAM_WRITE);
    ASSERT_TRUE(server.SetTimeouts(200, 200));

    // No peer yet: the first read waits the read time-out for one.
    char buffer[16];
    uint64_t start = Platform::MonotonicMs();
    EXPECT_EQ(server.Read(buffer, 4), 0u);
    EXPECT_EQ(server.GetError(), Err::Timeout);
    EXPECT_GE(Platform::MonotonicMs() - start, 190u);
    EXPECT_FALSE(server.IsConnected());

    {
        auto client =
            OpenStreamByName(QStringLiteral("ip:127.0.0.1:%1").arg(port), STREAM_READ | STREAM_WRITE);
        ASSERT_EQ(client->Write("hello", 5), 5u);
        EXPECT_EQ(ReadExactly(server, 5), QByteArray("hello"));
        EXPECT_TRUE(server.IsConnected());
        ASSERT_EQ(server.Write("world", 5), 5u);
        auto* ip = dynamic_cast<CIpStream*>(client.get());
        ASSERT_NE(ip, nullptr);
        EXPECT_EQ(ReadExactly(*ip, 5), QByteArray("world"));
        client->Close();
    }
    // The peer left: end of data, and the server listens again.
    start = Platform::MonotonicMs();
    EXPECT_EQ(server.Read(buffer, 4), 0u);
    EXPECT_EQ(server.GetError(), Err::HandleEof);

    CIpStream second(QStringLiteral("127.0.0.1:%1").arg(port), STREAM_READ | STREAM_WRITE);
    EXPECT_EQ(second.GetName(), Client(port));
    ASSERT_EQ(second.Write("again", 5), 5u);
    EXPECT_EQ(ReadExactly(server, 5), QByteArray("again"));
    EXPECT_LT(Platform::MonotonicMs() - start, 3000u);
}

TEST(IpStream, ClientReconnectsAfterAReset)
{
    const uint16_t port = FreePort();
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener, 4), 0);

    CIpStream client(Client(port), STREAM_READ | STREAM_WRITE);
    ASSERT_TRUE(client.SetTimeouts(300, 300));
    const int first = ::accept(listener, nullptr, nullptr);
    ASSERT_GE(first, 0);
    // Close with a reset instead of a orderly shutdown.
    linger hard{1, 0};
    ::setsockopt(first, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(first);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    char buffer[8];
    EXPECT_EQ(client.Read(buffer, 4), 0u); // the reset is repaired by a new connection
    EXPECT_TRUE(client.IsConnected());
    const int second = ::accept(listener, nullptr, nullptr);
    ASSERT_GE(second, 0);
    ASSERT_EQ(::send(second, "new!", 4, 0), 4);
    EXPECT_EQ(ReadExactly(client, 4), QByteArray("new!"));
    ::close(second);
    ::close(listener);
}

TEST(IpStream, UdpDatagramIsServedAcrossReads)
{
    const uint16_t port = FreePort(SOCK_DGRAM);
    CIpStream server(Server(port), STREAM_READ | STREAM_WRITE | STREAM_UDP);
    ASSERT_TRUE(server.SetTimeouts(200, 200));
    // Nobody to answer yet.
    EXPECT_EQ(server.Write("x", 1), 0u);
    EXPECT_EQ(server.GetError(), Err::HandleEof);

    CIpStream client(Client(port), STREAM_READ | STREAM_WRITE | STREAM_UDP);
    QByteArray datagram;
    for (int i = 0; i < 100; ++i)
        datagram.append(static_cast<char>('A' + i % 26));
    ASSERT_EQ(client.Write(datagram.constData(), 100), 100u);

    char buffer[40];
    ASSERT_EQ(server.Read(buffer, 40), 40u);
    EXPECT_EQ(QByteArray(buffer, 40), datagram.left(40));
    EXPECT_EQ(server.GetBytesAvailable(), 0u); // the rest is kept, not on the socket
    const uint64_t quick = Platform::MonotonicMs();
    ASSERT_EQ(server.Read(buffer, 40), 40u);
    EXPECT_LT(Platform::MonotonicMs() - quick, 100u);
    EXPECT_EQ(QByteArray(buffer, 40), datagram.mid(40, 40));
    const uint64_t start = Platform::MonotonicMs();
    ASSERT_EQ(server.Read(buffer, 40), 20u);
    EXPECT_EQ(QByteArray(buffer, 20), datagram.mid(80));
    EXPECT_EQ(server.GetError(), Err::Timeout);
    EXPECT_GE(Platform::MonotonicMs() - start, 190u);

    // The sender is now the one the server answers.
    ASSERT_EQ(server.Write("ack", 3), 3u);
    EXPECT_EQ(ReadExactly(client, 3), QByteArray("ack"));
}

TEST(IpStream, TimeoutsWithoutLimitAndCancelFromAnotherThread)
{
    const uint16_t port = FreePort();
    CIpStream server(Server(port), STREAM_READ | STREAM_WRITE);
    CIpStream client(Client(port), STREAM_READ | STREAM_WRITE);
    ASSERT_TRUE(client.SetTimeouts(0xFFFFFFFFu, 0xFFFFFFFFu));
    uint32_t readMs = 0;
    uint32_t writeMs = 0;
    ASSERT_TRUE(client.GetTimeouts(readMs, writeMs));
    EXPECT_EQ(readMs, 0xFFFFFFFFu);
    EXPECT_EQ(writeMs, 0xFFFFFFFFu);

    std::thread canceller(
        [&]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            client.CancelPending();
        });
    char buffer[4];
    const uint64_t start = Platform::MonotonicMs();
    EXPECT_EQ(client.Read(buffer, 4), 0u);
    canceller.join();
    EXPECT_LT(Platform::MonotonicMs() - start, 3000u);
    EXPECT_TRUE(client.IsOpen());
}

TEST(IpStream, RefusedConnectRaisesAndAConnectCanBeCancelled)
{
    const uint16_t port = FreePort();
    try
    {
        CIpStream refused(Client(port), STREAM_READ | STREAM_WRITE);
        FAIL() << "connected to a closed port";
    }
    catch (const CFileException& e)
    {
        EXPECT_EQ(e.Error(), Err::WsaConnectionRefused);
        EXPECT_EQ(e.FileName(), Client(port));
    }

    // A listener whose queue is full drops new connection attempts: the connect would
    // wait its whole bound, unless the caller's hook calls it off.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        fillers.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    CIpStream stream;
    const uint64_t start = Platform::MonotonicMs();
    stream.SetCancelHook([start] { return Platform::MonotonicMs() - start > 200; });
    try
    {
        stream.Open(Client(port), STREAM_READ | STREAM_WRITE);
        // The kernel took the connection after all: nothing to cancel on this machine.
    }
    catch (const CFileException& e)
    {
        EXPECT_EQ(e.Error(), Err::OperationAborted);
        EXPECT_LT(Platform::MonotonicMs() - start, 2000u);
    }
    for (int fd : fillers)
        ::close(fd);
    ::close(listener);
}
