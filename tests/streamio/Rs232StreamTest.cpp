#include "streamio/Rs232Stream.h"

#include "platform/core/Clock.h"
#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "streamio/StreamFactory.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <thread>

using namespace StreamIO;

namespace
{

constexpr uint32_t kCom = 7;

class SerialStream : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.IsValid());
        pty.MapToCom(kCom);
    }
    PtyPair pty;
};

// Records what reaches the terminal table, so a mapping can be read back exactly.
class RecordingTermios final : public Platform::TermiosOps
{
public:
    termios table{};
    int modem = TIOCM_DTR | TIOCM_RTS;
    int LockExclusive(int) override { return 0; }
    int GetAttr(int, termios& t) override { return t = table, 0; }
    int SetAttr(int, const termios& t) override { return table = t, 0; }
    int GetModemLines(int, int& bits) override { return bits = modem, 0; }
    int SetModemLines(int, int bits, bool on) override
    {
        modem = on ? (modem | bits) : (modem & ~bits);
        return 0;
    }
    int InputQueued(int, int& n) override { return n = 0, 0; }
    int Flush(int, int) override { return 0; }
};

} // namespace

TEST_F(SerialStream, ComNameOpensThePortAndBytesTravelBothWays)
{
    auto stream = OpenStreamByName(QStringLiteral("com7:"), STREAM_READ | STREAM_WRITE);
    auto* serial = dynamic_cast<CRs232Stream*>(stream.get());
    ASSERT_NE(serial, nullptr);
    EXPECT_EQ(serial->GetName(), QStringLiteral("\\\\.\\COM7"));
    EXPECT_FALSE(serial->IsSeekable());

    ASSERT_EQ(serial->Write("ping", 4), 4u);
    EXPECT_EQ(pty.ReadMaster(4, 1000), QByteArray("ping"));

    ASSERT_TRUE(serial->SetTimeouts(150, 100));
    ASSERT_TRUE(pty.WriteMaster("pong!"));
    char buffer[8] = {};
    const uint64_t start = Platform::MonotonicMs();
    EXPECT_EQ(serial->Read(buffer, 8), 5u); // partial: what came before the time-out
    EXPECT_GE(Platform::MonotonicMs() - start, 140u);
    EXPECT_EQ(QByteArray(buffer, 5), QByteArray("pong!"));

    // Nothing at all: 0 with the time-out recorded, nothing raised.
    EXPECT_EQ(serial->Read(buffer, 8), 0u);
    EXPECT_EQ(serial->GetError(), Err::Timeout);
    EXPECT_TRUE(serial->IsEndOrTimeout());

    ASSERT_TRUE(pty.WriteMaster("abcdef"));
    for (int i = 0; i < 100 && serial->GetBytesAvailable() < 6; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(serial->GetBytesAvailable(), 6u);
    serial->DiscardInput();
    EXPECT_EQ(serial->GetBytesAvailable(), 0u);
    serial->Close();
}

TEST_F(SerialStream, MissingAndBusyPortsFailAtOnce)
{
    const uint64_t start = Platform::MonotonicMs();
    CRs232Stream missing;
    try
    {
        missing.OpenPort(200, STREAM_READ | STREAM_WRITE, nullptr); // no device node for COM200
        FAIL() << "opened a missing port";
    }
    catch (const CFileException& e)
    {
        EXPECT_EQ(e.Error(), Err::FileNotFound);
        EXPECT_EQ(e.FileName(), QStringLiteral("\\\\.\\COM200"));
    }

    CRs232Stream first;
    ASSERT_TRUE(first.OpenPort(kCom, STREAM_READ | STREAM_WRITE, nullptr));
    CRs232Stream second;
    try
    {
        second.OpenPort(kCom, STREAM_READ | STREAM_WRITE, nullptr);
        FAIL() << "opened a busy port";
    }
    catch (const CFileException& e)
    {
        EXPECT_EQ(e.Error(), Err::AccessDenied);
    }
    EXPECT_FALSE(second.IsOpen());
    EXPECT_LT(Platform::MonotonicMs() - start, 1000u);

    // An open stream keeps its port: a second OpenPort is refused, not reported as done.
    SRs232Settings settings;
    EXPECT_FALSE(first.OpenPort(kCom + 1, STREAM_READ | STREAM_WRITE, &settings));
    EXPECT_EQ(first.GetError(), Err::NotSupported);
    EXPECT_EQ(first.GetName(), QStringLiteral("\\\\.\\COM7"));

    first.Close();
    EXPECT_TRUE(second.OpenPort(kCom, STREAM_READ | STREAM_WRITE, nullptr));
}

TEST_F(SerialStream, SettingsAreAppliedReadBackAndReappliedOnReopen)
{
    CRs232Stream stream;
    SRs232Settings bad;
    bad.tag = 0x1234;
    EXPECT_FALSE(stream.OpenPort(kCom, STREAM_READ | STREAM_WRITE, &bad));
    EXPECT_EQ(stream.GetError(), Err::InvalidParameter);
    EXPECT_FALSE(stream.IsOpen());

    SRs232Settings wanted;
    wanted.baudRate = 115200;
    wanted.parity = 1; // even
    wanted.stopBits = 2;
    wanted.readTimeout = 300;
    wanted.writeTimeout = 20;
    ASSERT_TRUE(stream.OpenPort(kCom, STREAM_READ | STREAM_WRITE, &wanted));
    EXPECT_EQ(stream.GetBytesPerSecond(), 9600u);

    SRs232Settings back;
    ASSERT_TRUE(stream.GetSettings(back));
    EXPECT_EQ(back.tag, RS232_SETTINGS_TAG);
    // A pseudo-terminal shows speed and stop bits; it forces 8 bits without parity (the
    // parity mapping is checked on a recorded terminal table below).
    EXPECT_EQ(back.baudRate, 115200u);
    EXPECT_EQ(back.stopBits, 2u);
    EXPECT_EQ(back.readTimeout, 300u);
    EXPECT_EQ(back.writeTimeout, 20u);
    EXPECT_EQ(back.receiveQueue, 1024);

    // Time-outs both 0 leave the port's time-outs as they are.
    SRs232Settings keep = wanted;
    keep.readTimeout = 0;
    keep.writeTimeout = 0;
    keep.baudRate = 9600;
    ASSERT_TRUE(stream.SetSettings(keep));
    uint32_t readMs = 0;
    uint32_t writeMs = 0;
    ASSERT_TRUE(stream.GetTimeouts(readMs, writeMs));
    EXPECT_EQ(readMs, 300u);

    stream.Close();
    ASSERT_TRUE(stream.Reopen());
    ASSERT_TRUE(stream.GetSettings(back));
    EXPECT_EQ(back.baudRate, 9600u);
    EXPECT_EQ(back.stopBits, 2u);

    // A closed port has no settings: the whole record is zeroed.
    stream.Close();
    EXPECT_FALSE(stream.GetSettings(back));
    EXPECT_EQ(back.tag, 0u);
    EXPECT_EQ(back.baudRate, 0u);
}

TEST_F(SerialStream, OpenWithoutSettingsKeepsThePortConfiguration)
{
    {
        CRs232Stream setup;
        SRs232Settings s;
        s.baudRate = 4800;
        s.stopBits = 2;
        ASSERT_TRUE(setup.OpenPort(kCom, STREAM_READ | STREAM_WRITE, &s));
    }
    // The pty keeps its line settings while its master side is open.
    CRs232Stream stream;
    ASSERT_TRUE(stream.OpenPort(kCom, STREAM_READ | STREAM_WRITE, nullptr));
    EXPECT_EQ(stream.Settings().baudRate, 4800u);
    EXPECT_EQ(stream.Settings().stopBits, 2u);
    EXPECT_EQ(stream.GetBytesPerSecond(), 4800u / 11 * 8 / 8);
}

TEST_F(SerialStream, RecordMapsToTheTerminalTable)
{
    struct Case
    {
        uint32_t parity;
        uint32_t stopBits;
        uint8_t handshake;
        tcflag_t cflagSet;
        tcflag_t cflagClear;
        tcflag_t iflagSet;
        int modemClear;
        uint8_t handshakeBack;
    };
    const Case cases[] = {
        {0, 0, 0, CS8, PARENB | CSTOPB | CRTSCTS, 0, 0, 0},
        {1, 0, 0, PARENB, PARODD, INPCK, 0, 0},
        {2, 2, 0, PARENB | PARODD | CSTOPB, CMSPAR, INPCK, 0, 0},
        {3, 0, 0, PARENB | PARODD | CMSPAR, 0, 0, 0, 0},
        {4, 0, 0, PARENB | CMSPAR, PARODD, 0, 0, 0},
        {0, 0, 0x01, 0, CRTSCTS, IXON | IXOFF, 0, 0x01},
        {0, 0, 0x0C, CRTSCTS, 0, 0, TIOCM_RTS, 0x04},
        {0, 0, 0x02, 0, CRTSCTS, 0, 0, 0x02},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "parity " << c.parity << " handshake " << int(c.handshake));
        auto fake = std::make_shared<RecordingTermios>();
        cfsetospeed(&fake->table, B9600);
        Platform::SetTermiosOps(fake);
        CRs232Stream stream;
        SRs232Settings s;
        s.parity = c.parity;
        s.stopBits = c.stopBits;
        s.handshake = c.handshake;
        const bool opened = stream.OpenPort(kCom, STREAM_READ | STREAM_WRITE, &s);
        Platform::SetTermiosOps(nullptr);
        ASSERT_TRUE(opened);
        EXPECT_EQ(fake->table.c_cflag & c.cflagSet, c.cflagSet);
        EXPECT_EQ(fake->table.c_cflag & c.cflagClear, 0u);
        EXPECT_EQ(fake->table.c_iflag & c.iflagSet, c.iflagSet);
        EXPECT_EQ(fake->modem & c.modemClear, 0);
        EXPECT_TRUE(fake->modem & TIOCM_DTR);
        SRs232Settings back;
        ASSERT_TRUE(stream.GetSettings(back));
        EXPECT_EQ(back.parity, c.parity);
        EXPECT_EQ(back.stopBits, c.stopBits);
        EXPECT_EQ(back.handshake, c.handshakeBack);
    }
}

TEST_F(SerialStream, BytesPerSecondFollowsTheFrame)
{
    struct Case
    {
        uint32_t baud;
        uint8_t bits;
        uint32_t parity;
        uint32_t stop;
        uint32_t expected;
    };
    const Case cases[] = {{9600, 8, 0, 0, 960}, {115200, 8, 1, 2, 9600}, {19200, 7, 2, 0, 1526}};
    for (const auto& c : cases)
    {
        CRs232Stream stream;
        SRs232Settings s;
        s.baudRate = c.baud;
        s.dataBits = c.bits;
        s.parity = c.parity;
        s.stopBits = c.stop;
        ASSERT_TRUE(stream.OpenPort(kCom, STREAM_READ | STREAM_WRITE, &s));
        EXPECT_EQ(stream.GetBytesPerSecond(), c.expected) << c.baud;
    }
}
