#include "platform/io/SerialPort.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/SettingsStore.h"

#include <cerrno>
#include <mutex>
#include <sys/file.h>
#include <sys/ioctl.h>

namespace Platform
{

namespace
{

class SystemTermiosOps final : public TermiosOps
{
public:
    int LockExclusive(int fd) override { return ::flock(fd, LOCK_EX | LOCK_NB); }
    int GetAttr(int fd, termios& t) override { return ::tcgetattr(fd, &t); }
    int SetAttr(int fd, const termios& t) override { return ::tcsetattr(fd, TCSANOW, &t); }
    int GetModemLines(int fd, int& bits) override { return ::ioctl(fd, TIOCMGET, &bits); }
    int SetModemLines(int fd, int bits, bool on) override
    {
        return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits);
    }
    int InputQueued(int fd, int& count) override { return ::ioctl(fd, TIOCINQ, &count); }
    int Flush(int fd, int queueSelector) override { return ::tcflush(fd, queueSelector); }
};

std::mutex g_opsLock;
std::shared_ptr<TermiosOps> g_ops;

struct SpeedEntry
{
    uint32_t rate;
    speed_t code;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},           {75, B75},         {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},       {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},     {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200}, {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600}, {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000},
};

uint32_t Errno()
{
    return ErrorFromErrno(errno);
}

// A modem-line call that the port cannot do (a pseudo-terminal, some adapters) is no
// failure: the line simply has no such wire.
bool ModemCallUnsupported(int e)
{
    return e == ENOTTY || e == EINVAL || e == ENOTSUP || e == EOPNOTSUPP;
}

} // namespace

std::shared_ptr<TermiosOps> TermiosOps::System()
{
    static const auto ops = std::make_shared<SystemTermiosOps>();
    return ops;
}

std::shared_ptr<TermiosOps> CurrentTermiosOps()
{
    std::lock_guard guard(g_opsLock);
    return g_ops ? g_ops : TermiosOps::System();
}

void SetTermiosOps(std::shared_ptr<TermiosOps> ops)
{
    std::lock_guard guard(g_opsLock);
    g_ops = std::move(ops);
}

QString SerialDevicePath(uint32_t comNumber)
{
    const QString name = QStringLiteral("COM%1").arg(comNumber);
    if (auto mapped = SettingsStore::Instance().ReadString(QString::fromLatin1(kPortsSettingsKey), name))
        return *mapped;
    if (comNumber >= 1 && comNumber <= 32)
        return QStringLiteral("/dev/ttyS%1").arg(comNumber - 1);
    if (comNumber >= 33 && comNumber <= 64)
        return QStringLiteral("/dev/ttyUSB%1").arg(comNumber - 33);
    if (comNumber >= 65 && comNumber <= 96)
        return QStringLiteral("/dev/ttyACM%1").arg(comNumber - 65);
    return {};
}

uint32_t LineToTermios(const SerialLine& line, termios& t)
{
    speed_t speed = 0;
    bool found = false;
    for (const auto& e : kSpeeds)
        if (e.rate == line.baudRate)
        {
            speed = e.code;
            found = true;
        }
    if (!found || line.dataBits < 5 || line.dataBits > 8)
        return Err::InvalidParameter;

    // Raw transfers: no line editing, echo, signals, translation or end-of-file character.
    t.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK | IGNPAR);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CREAD | CLOCAL;
    // Reads are bounded by poll(), never by the driver: on the non-blocking descriptor an
    // empty queue then answers EAGAIN, and a read of 0 bytes means a hang-up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;

    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSizes[line.dataBits - 5];

    switch (line.parity)
    {
    case SerialParity::None:
        break;
    case SerialParity::Odd:
        t.c_cflag |= PARENB | PARODD;
        break;
    case SerialParity::Even:
        t.c_cflag |= PARENB;
        break;
    case SerialParity::Mark:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case SerialParity::Space:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    }
    if (line.parity != SerialParity::None)
        t.c_iflag |= INPCK;

    if (line.stopBits != SerialStopBits::One)
        t.c_cflag |= CSTOPB;

    if (line.xonXoff)
    {
        t.c_iflag |= IXON | IXOFF;
        t.c_cc[VSTART] = 0x11;
        t.c_cc[VSTOP] = 0x13;
    }
    if (line.ctsOutputFlow || line.rts == ModemLineMode::Handshake)
        t.c_cflag |= CRTSCTS;

    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return Err::Success;
}

void TermiosToLine(const termios& t, SerialLine& line)
{
    const speed_t speed = cfgetospeed(&t);
    line.baudRate = 0;
    for (const auto& e : kSpeeds)
        if (e.code == speed)
            line.baudRate = e.rate;

    switch (t.c_cflag & CSIZE)
    {
    case CS5:
        line.dataBits = 5;
        break;
    case CS6:
        line.dataBits = 6;
        break;
    case CS7:
        line.dataBits = 7;
        break;
    default:
        line.dataBits = 8;
        break;
    }

    if (!(t.c_cflag & PARENB))
        line.parity = SerialParity::None;
    else if (t.c_cflag & CMSPAR)
        line.parity = (t.c_cflag & PARODD) ? SerialParity::Mark : SerialParity::Space;
    else
        line.parity = (t.c_cflag & PARODD) ? SerialParity::Odd : SerialParity::Even;

    if (!(t.c_cflag & CSTOPB))
        line.stopBits = SerialStopBits::One;
    else
        line.stopBits = line.dataBits == 5 ? SerialStopBits::OneAndHalf : SerialStopBits::Two;

    line.xonXoff = (t.c_iflag & (IXON | IXOFF)) != 0;
    line.ctsOutputFlow = (t.c_cflag & CRTSCTS) != 0;
    line.rts = line.ctsOutputFlow ? ModemLineMode::Handshake : ModemLineMode::On;
}

SerialPort::SerialPort(std::shared_ptr<TermiosOps> ops) : m_ops(std::move(ops))
{
}

uint32_t SerialPort::Attach(int fd)
{
    if (m_fd >= 0)
        return Err::NotSupported;
    termios t{};
    if (m_ops->GetAttr(fd, t) != 0)
        return errno == ENOTTY ? Err::InvalidHandle : Errno();
    if (m_ops->LockExclusive(fd) != 0)
        return (errno == EWOULDBLOCK || errno == EAGAIN) ? Err::AccessDenied : Errno();
    SerialLine present;
    TermiosToLine(t, present);
    if (present.baudRate == 0)
        present.baudRate = 9600;
    if (LineToTermios(present, t) == Err::Success)
        m_ops->SetAttr(fd, t);
    m_fd = fd;
    m_dsrOutputFlow = false;
    m_dtrMode = ModemLineMode::On;
    m_rtsMode = ModemLineMode::On;
    m_receiveQueue = 4096;
    m_transmitQueue = 4096;
    return Err::Success;
}

void SerialPort::Detach()
{
    m_fd = -1;
}

uint32_t SerialPort::GetLine(SerialLine& line)
{
    if (m_fd < 0)
        return Err::InvalidHandle;
    termios t{};
    if (m_ops->GetAttr(m_fd, t) != 0)
        return Errno();
    TermiosToLine(t, line);
    line.dsrOutputFlow = m_dsrOutputFlow;
    // Lines in handshake mode, and lines of a port without modem-line calls, read as set.
    line.dtr = m_dtrMode;
    if (line.rts != ModemLineMode::Handshake || m_rtsMode == ModemLineMode::Off)
        line.rts = m_rtsMode == ModemLineMode::Handshake ? ModemLineMode::On : m_rtsMode;
    int bits = 0;
    if (m_ops->GetModemLines(m_fd, bits) == 0)
    {
        if (m_dtrMode != ModemLineMode::Handshake)
            line.dtr = (bits & TIOCM_DTR) ? ModemLineMode::On : ModemLineMode::Off;
        if (!line.ctsOutputFlow)
            line.rts = (bits & TIOCM_RTS) ? ModemLineMode::On : ModemLineMode::Off;
    }
    line.receiveQueue = m_receiveQueue;
    line.transmitQueue = m_transmitQueue;
    return Err::Success;
}

uint32_t SerialPort::SetLine(const SerialLine& line)
{
    if (m_fd < 0)
        return Err::InvalidHandle;
    termios t{};
    if (m_ops->GetAttr(m_fd, t) != 0)
        return Errno();
    if (const uint32_t code = LineToTermios(line, t))
        return code;
    if (m_ops->SetAttr(m_fd, t) != 0)
        return Errno();

    // DTR in handshake mode has no termios counterpart: the line is raised.
    const bool dtrOn = line.dtr != ModemLineMode::Off;
    if (m_ops->SetModemLines(m_fd, TIOCM_DTR, dtrOn) != 0 && !ModemCallUnsupported(errno))
        return Errno();
    // With CRTSCTS the driver moves RTS itself; only a line held off is dropped here.
    if (line.rts != ModemLineMode::Handshake || !line.ctsOutputFlow)
    {
        const bool rtsOn = line.rts != ModemLineMode::Off;
        if (m_ops->SetModemLines(m_fd, TIOCM_RTS, rtsOn) != 0 && !ModemCallUnsupported(errno))
            return Errno();
    }
    m_dsrOutputFlow = line.dsrOutputFlow;
    m_dtrMode = line.dtr;
    m_rtsMode = line.rts;
    m_receiveQueue = line.receiveQueue;
    m_transmitQueue = line.transmitQueue;
    return Err::Success;
}

uint32_t SerialPort::BytesAvailable(uint32_t& count)
{
    count = 0;
    if (m_fd < 0)
        return Err::InvalidHandle;
    int n = 0;
    if (m_ops->InputQueued(m_fd, n) != 0)
        return Errno();
    count = n > 0 ? static_cast<uint32_t>(n) : 0;
    return Err::Success;
}

uint32_t SerialPort::PurgeInput()
{
    if (m_fd < 0)
        return Err::InvalidHandle;
    return m_ops->Flush(m_fd, TCIFLUSH) == 0 ? Err::Success : Errno();
}

} // namespace Platform
