#include "platform/io/SerialPort.h"

#include "platform/core/Clock.h"
#include "platform/core/ErrorCodes.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <sys/ioctl.h>
#include <thread>

using namespace Platform;

namespace
{

// A terminal table in memory: what SetLine writes is what GetLine reads.
class FakeTermios final : public TermiosOps
{
public:
    termios table{};
    int modem = 0;
    bool modemUnsupported = false;

    FakeTermios()
    {
        table.c_cflag = CS8 | CREAD;
        table.c_iflag = ICRNL;
        table.c_lflag = ICANON | ECHO;
        cfsetispeed(&table, B9600);
        cfsetospeed(&table, B9600);
    }
    int Open(const char*, int) override { return 42; }
    int Close(int) override { return 0; }
    int LockExclusive(int) override { return 0; }
    int GetAttr(int, termios& t) override
    {
        t = table;
        return 0;
    }
    int SetAttr(int, const termios& t) override
    {
        table = t;
        return 0;
    }
    int GetModemLines(int, int& bits) override
    {
        if (modemUnsupported)
            return errno = ENOTTY, -1;
        bits = modem;
        return 0;
    }
    int SetModemLines(int, int bits, bool on) override
    {
        if (modemUnsupported)
            return errno = ENOTTY, -1;
        modem = on ? (modem | bits) : (modem & ~bits);
        return 0;
    }
    int InputQueued(int, int& n) override { return n = 0, 0; }
    int OutputQueued(int, int& n) override { return n = 0, 0; }
    int Flush(int, int) override { return 0; }
    ssize_t Read(int, void*, size_t) override { return errno = EAGAIN, -1; }
    ssize_t Write(int, const void*, size_t n) override { return static_cast<ssize_t>(n); }
    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override { return ::poll(fds + 1, count - 1, timeoutMs); }
};

struct LineCase
{
    const char* name;
    SerialLine line;
    tcflag_t cflagSet;
    tcflag_t cflagClear;
    tcflag_t iflagSet;
    int modemSet;
    int modemClear;
};

SerialLine Line(uint32_t baud, uint8_t bits, SerialParity parity, SerialStopBits stop)
{
    SerialLine l;
    l.baudRate = baud;
    l.dataBits = bits;
    l.parity = parity;
    l.stopBits = stop;
    return l;
}

} // namespace

TEST(SerialPortMapping, LineSettingsReachTheTerminalTableAndReadBack)
{
    SerialLine xon = Line(9600, 8, SerialParity::None, SerialStopBits::One);
    xon.xonXoff = true;
    SerialLine ctsRtsOff = Line(9600, 8, SerialParity::None, SerialStopBits::One);
    ctsRtsOff.ctsOutputFlow = true;
    ctsRtsOff.rts = ModemLineMode::Off;
    SerialLine ctsHandshake = Line(19200, 8, SerialParity::None, SerialStopBits::One);
    ctsHandshake.ctsOutputFlow = true;
    ctsHandshake.rts = ModemLineMode::Handshake;
    SerialLine dsr = Line(9600, 8, SerialParity::None, SerialStopBits::One);
    dsr.dsrOutputFlow = true;
    dsr.dtr = ModemLineMode::Handshake;
    SerialLine queues = Line(9600, 8, SerialParity::None, SerialStopBits::One);
    queues.receiveQueue = 1024;
    queues.transmitQueue = 256;

    const LineCase cases[] = {
        {"8N1", Line(9600, 8, SerialParity::None, SerialStopBits::One), CS8, PARENB | CSTOPB | CRTSCTS, 0,
         TIOCM_DTR | TIOCM_RTS, 0},
        {"even", Line(115200, 8, SerialParity::Even, SerialStopBits::Two), CS8 | PARENB | CSTOPB, PARODD | CMSPAR,
         INPCK, 0, 0},
        {"odd", Line(4800, 7, SerialParity::Odd, SerialStopBits::One), CS7 | PARENB | PARODD, CMSPAR | CSTOPB, INPCK,
         0, 0},
        {"mark", Line(9600, 7, SerialParity::Mark, SerialStopBits::One), PARENB | PARODD | CMSPAR, 0, INPCK, 0, 0},
        {"space", Line(9600, 7, SerialParity::Space, SerialStopBits::One), PARENB | CMSPAR, PARODD, INPCK, 0, 0},
        {"one and a half", Line(1200, 5, SerialParity::None, SerialStopBits::OneAndHalf), CS5 | CSTOPB, PARENB, 0, 0,
         0},
        {"xon/xoff", xon, 0, CRTSCTS, IXON | IXOFF, 0, 0},
        {"cts, rts held off", ctsRtsOff, CRTSCTS, 0, 0, TIOCM_DTR, TIOCM_RTS},
        {"rts handshake", ctsHandshake, CRTSCTS, 0, 0, TIOCM_DTR, 0},
        {"dsr flow", dsr, 0, CRTSCTS, 0, TIOCM_DTR, 0},
        {"queues", queues, CS8, 0, 0, 0, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto fake = std::make_shared<FakeTermios>();
        SerialPort port(fake);
        ASSERT_EQ(port.Open(QStringLiteral("/dev/fake")), Err::Success);
        ASSERT_EQ(port.SetLine(c.line), Err::Success);
        EXPECT_EQ(fake->table.c_cflag & c.cflagSet, c.cflagSet);
        EXPECT_EQ(fake->table.c_cflag & c.cflagClear, 0u);
        EXPECT_EQ(fake->table.c_iflag & c.iflagSet, c.iflagSet);
        EXPECT_EQ(fake->modem & c.modemSet, c.modemSet);
        EXPECT_EQ(fake->modem & c.modemClear, 0);
        // Raw transfers whatever the framing.
        EXPECT_EQ(fake->table.c_lflag & (ICANON | ECHO), 0u);
        EXPECT_EQ(fake->table.c_iflag & ICRNL, 0u);
        EXPECT_EQ(fake->table.c_cflag & CLOCAL, static_cast<tcflag_t>(CLOCAL));
        if (c.line.xonXoff)
        {
            EXPECT_EQ(fake->table.c_cc[VSTART], 0x11);
            EXPECT_EQ(fake->table.c_cc[VSTOP], 0x13);
        }

        SerialLine back;
        ASSERT_EQ(port.GetLine(back), Err::Success);
        EXPECT_EQ(back, c.line);
    }
}

TEST(SerialPortMapping, RejectsWhatTermiosCannotExpressAndToleratesMissingModemLines)
{
    auto fake = std::make_shared<FakeTermios>();
    SerialPort port(fake);
    ASSERT_EQ(port.Open(QStringLiteral("/dev/fake")), Err::Success);
    EXPECT_EQ(port.SetLine(Line(12345, 8, SerialParity::None, SerialStopBits::One)), Err::InvalidParameter);
    EXPECT_EQ(port.SetLine(Line(9600, 9, SerialParity::None, SerialStopBits::One)), Err::InvalidParameter);

    fake->modemUnsupported = true;
    SerialLine line = Line(57600, 8, SerialParity::Even, SerialStopBits::One);
    line.rts = ModemLineMode::Off;
    EXPECT_EQ(port.SetLine(line), Err::Success);
    SerialLine back;
    ASSERT_EQ(port.GetLine(back), Err::Success);
    EXPECT_EQ(back.baudRate, 57600u);
    EXPECT_EQ(back.parity, SerialParity::Even);
}

TEST(SerialPortMapping, ComNumbersNameDeviceNodes)
{
    const std::pair<uint32_t, const char*> cases[] = {
        {1, "/dev/ttyS0"},     {32, "/dev/ttyS31"},    {33, "/dev/ttyUSB0"}, {64, "/dev/ttyUSB31"},
        {65, "/dev/ttyACM0"},  {96, "/dev/ttyACM31"},  {97, ""},             {0, ""},
    };
    for (const auto& [com, path] : cases)
        EXPECT_EQ(SerialDevicePath(com), QString::fromLatin1(path)) << com;

    PtyPair pty;
    ASSERT_TRUE(pty.IsValid());
    pty.MapToCom(3);
    EXPECT_EQ(SerialDevicePath(3), pty.SlavePath());
}

class SerialPortPty : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.IsValid());
        ASSERT_EQ(port.Open(pty.SlavePath()), Err::Success);
    }
    PtyPair pty;
    SerialPort port{TermiosOps::System()};
};

TEST_F(SerialPortPty, MissingNodeAndBusyPortFailAtOnce)
{
    SerialPort other(TermiosOps::System());
    const uint64_t start = MonotonicMs();
    EXPECT_EQ(other.Open(QStringLiteral("/dev/ttyNoSuchPort7")), Err::FileNotFound);
    EXPECT_EQ(other.Open(pty.SlavePath()), Err::AccessDenied);
    EXPECT_LT(MonotonicMs() - start, 500u);

    ASSERT_EQ(port.Close(), Err::Success);
    EXPECT_EQ(other.Open(pty.SlavePath()), Err::Success);
}

TEST_F(SerialPortPty, BytesTravelBothWaysAndReadsStopAtTheirDeadline)
{
    size_t put = 0;
    ASSERT_EQ(port.Write("hello", 5, 1000, put), Err::Success);
    EXPECT_EQ(put, 5u);
    EXPECT_EQ(pty.ReadMaster(5, 1000), QByteArray("hello"));

    ASSERT_TRUE(pty.WriteMaster("abc"));
    char buffer[16] = {};
    size_t got = 0;
    const uint64_t start = MonotonicMs();
    ASSERT_EQ(port.Read(buffer, sizeof buffer, 150, got), Err::Success);
    const uint64_t took = MonotonicMs() - start;
    EXPECT_EQ(QByteArray(buffer, static_cast<int>(got)), QByteArray("abc"));
    EXPECT_GE(took, 140u);
    EXPECT_LT(took, 1000u);

    // A read that is already satisfied does not wait.
    ASSERT_TRUE(pty.WriteMaster("0123456789"));
    const uint64_t again = MonotonicMs();
    ASSERT_EQ(port.Read(buffer, 4, 5000, got), Err::Success);
    EXPECT_EQ(QByteArray(buffer, 4), QByteArray("0123"));
    EXPECT_LT(MonotonicMs() - again, 1000u);

    uint32_t available = 0;
    ASSERT_EQ(port.BytesAvailable(available), Err::Success);
    EXPECT_EQ(available, 6u);
    ASSERT_EQ(port.PurgeInput(), Err::Success);
    ASSERT_EQ(port.Read(buffer, sizeof buffer, 0, got), Err::Success);
    EXPECT_EQ(got, 0u);
}

TEST_F(SerialPortPty, CancelWakesAReadWithoutLimit)
{
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        port.Cancel();
    });
    char buffer[4];
    size_t got = 99;
    const uint64_t start = MonotonicMs();
    EXPECT_EQ(port.Read(buffer, sizeof buffer, kInfinite, got), Err::Success);
    canceller.join();
    EXPECT_EQ(got, 0u);
    EXPECT_LT(MonotonicMs() - start, 2000u);
}

TEST_F(SerialPortPty, HangUpEndsAReadAtOnce)
{
    pty.CloseMaster();
    char buffer[4];
    size_t got = 0;
    const uint64_t start = MonotonicMs();
    EXPECT_EQ(port.Read(buffer, sizeof buffer, 5000, got), Err::DeviceNotConnected);
    EXPECT_LT(MonotonicMs() - start, 1000u);
}
