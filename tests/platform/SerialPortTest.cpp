#include "platform/io/SerialPort.h"

#include "platform/core/ErrorCodes.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

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
    int Flush(int, int) override { return 0; }
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
        {"even", Line(115200, 8, SerialParity::Even, SerialStopBits::Two), CS8 | PARENB | CSTOPB,
         PARODD | CMSPAR, INPCK, 0, 0},
        {"odd", Line(4800, 7, SerialParity::Odd, SerialStopBits::One), CS7 | PARENB | PARODD, CMSPAR | CSTOPB,
         INPCK, 0, 0},
        {"mark", Line(9600, 7, SerialParity::Mark, SerialStopBits::One), PARENB | PARODD | CMSPAR, 0, INPCK,
         0, 0},
        {"space", Line(9600, 7, SerialParity::Space, SerialStopBits::One), PARENB | CMSPAR, PARODD, INPCK, 0,
         0},
        {"one and a half", Line(1200, 5, SerialParity::None, SerialStopBits::OneAndHalf), CS5 | CSTOPB,
         PARENB, 0, 0, 0},
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
        ASSERT_EQ(port.Attach(42), Err::Success);
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
    ASSERT_EQ(port.Attach(42), Err::Success);
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
        {1, "/dev/ttyS0"},
        {32, "/dev/ttyS31"},
        {33, "/dev/ttyUSB0"},
        {64, "/dev/ttyUSB31"},
        {65, "/dev/ttyACM0"},
        {96, "/dev/ttyACM31"},
        {97, ""},
        {0, ""},
    };
    for (const auto& [com, path] : cases)
        EXPECT_EQ(SerialDevicePath(com), QString::fromLatin1(path)) << com;

    PtyPair pty;
    ASSERT_TRUE(pty.IsValid());
    pty.MapToCom(3);
    EXPECT_EQ(SerialDevicePath(3), pty.SlavePath());
}

TEST(SerialPortPty, AttachLocksThePortAndLeavesItsSpeed)
{
    PtyPair pty;
    ASSERT_TRUE(pty.IsValid());
    const QByteArray path = pty.SlavePath().toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    cfsetospeed(&t, B19200);
    cfsetispeed(&t, B19200);
    t.c_lflag |= ICANON | ECHO;
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);

    SerialPort port(TermiosOps::System());
    ASSERT_EQ(port.Attach(fd), Err::Success);
    SerialLine line;
    ASSERT_EQ(port.GetLine(line), Err::Success);
    EXPECT_EQ(line.baudRate, 19200u);
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);

    // A second opener, in this process or another, finds the port busy.
    const int other = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(other, 0);
    SerialPort second(TermiosOps::System());
    EXPECT_EQ(second.Attach(other), Err::AccessDenied);

    ASSERT_TRUE(pty.WriteMaster("xyz"));
    uint32_t available = 0;
    for (int i = 0; i < 100 && available < 3; ++i)
    {
        ASSERT_EQ(port.BytesAvailable(available), Err::Success);
        ::usleep(5000);
    }
    EXPECT_EQ(available, 3u);
    ASSERT_EQ(port.PurgeInput(), Err::Success);
    ASSERT_EQ(port.BytesAvailable(available), Err::Success);
    EXPECT_EQ(available, 0u);

    port.Detach();
    ::close(fd);
    SerialPort third(TermiosOps::System());
    EXPECT_EQ(third.Attach(other), Err::Success);
    ::close(other);

    // A plain file (one in memory, which no other test or program sees) is no port.
    SerialPort file(TermiosOps::System());
    const int plain = ::memfd_create("plain-file", MFD_CLOEXEC);
    ASSERT_GE(plain, 0);
    EXPECT_EQ(file.Attach(plain), Err::InvalidHandle);
    ::close(plain);
}
