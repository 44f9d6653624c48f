#include "platform/io/SerialPort.h"

#include "platform/core/Clock.h"
#include "platform/core/ErrorCodes.h"
#include "platform/core/SettingsStore.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace Platform
{

namespace
{

class SystemTermiosOps final : public TermiosOps
{
public:
    int Open(const char* path, int flags) override { return ::open(path, flags); }
    int Close(int fd) override { return ::close(fd); }
    int LockExclusive(int fd) override { return ::flock(fd, LOCK_EX | LOCK_NB); }
    int GetAttr(int fd, termios& t) override { return ::tcgetattr(fd, &t); }
    int SetAttr(int fd, const termios& t) override { return ::tcsetattr(fd, TCSANOW, &t); }
    int GetModemLines(int fd, int& bits) override { return ::ioctl(fd, TIOCMGET, &bits); }
    int SetModemLines(int fd, int bits, bool on) override
    {
        return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits);
    }
    int InputQueued(int fd, int& count) override { return ::ioctl(fd, TIOCINQ, &count); }
    int OutputQueued(int fd, int& count) override { return ::ioctl(fd, TIOCOUTQ, &count); }
    int Flush(int fd, int queueSelector) override { return ::tcflush(fd, queueSelector); }
    ssize_t Read(int fd, void* buffer, size_t n) override { return ::read(fd, buffer, n); }
    ssize_t Write(int fd, const void* data, size_t n) override { return ::write(fd, data, n); }
    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override { return ::poll(fds, count, timeoutMs); }
};

std::mutex g_opsLock;
std::shared_ptr<TermiosOps> g_ops;

struct SpeedEntry
{
    uint32_t rate;
    speed_t code;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
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

int RemainingMs(uint64_t deadline)
{
    if (deadline == UINT64_MAX)
        return -1;
    const uint64_t now = MonotonicMs();
    return now >= deadline ? 0 : static_cast<int>(deadline - now);
}

uint64_t DeadlineAfter(uint32_t timeoutMs)
{
    return timeoutMs == kInfinite ? UINT64_MAX : MonotonicMs() + timeoutMs;
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
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK |
                   IGNPAR);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CREAD | CLOCAL;
    // Reads are bounded by poll(), never by the driver.
    t.c_cc[VMIN] = 0;
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

SerialPort::~SerialPort()
{
    Close();
}

uint32_t SerialPort::Open(const QString& devicePath)
{
    if (m_fd >= 0)
        return Err::NotSupported;
    if (devicePath.isEmpty())
        return Err::FileNotFound;
    const QByteArray path = devicePath.toLocal8Bit();
    const int fd = m_ops->Open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
    {
        const int e = errno;
        return e == EBUSY ? Err::AccessDenied : ErrorFromErrno(e);
    }
    if (m_ops->LockExclusive(fd) != 0)
    {
        const int e = errno;
        m_ops->Close(fd);
        return (e == EWOULDBLOCK || e == EAGAIN) ? Err::AccessDenied : ErrorFromErrno(e);
    }
    termios t{};
    if (m_ops->GetAttr(fd, t) != 0)
    {
        // Not a terminal at all (a plain file named in the port map).
        const uint32_t code = errno == ENOTTY ? Err::InvalidHandle : Errno();
        m_ops->Close(fd);
        return code;
    }
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
    m_cancel.Reset();
    return Err::Success;
}

uint32_t SerialPort::Close()
{
    if (m_fd < 0)
        return Err::Success;
    const int fd = m_fd;
    m_fd = -1;
    return m_ops->Close(fd) == 0 ? Err::Success : Errno();
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

uint32_t SerialPort::WaitReady(short events, uint64_t deadline, bool& cancelled)
{
    cancelled = false;
    for (;;)
    {
        pollfd fds[2] = {{m_fd, events, 0}, {m_cancel.Fd(), POLLIN, 0}};
        const int waitMs = RemainingMs(deadline);
        const int n = m_ops->Poll(fds, 2, waitMs);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            return Errno();
        }
        if (fds[1].revents & POLLIN)
        {
            cancelled = true;
            return Err::Success;
        }
        if (fds[0].revents & (POLLERR | POLLNVAL))
            return Err::DeviceNotConnected;
        // A hang-up still lets the read below report what is left, then the failure.
        if (fds[0].revents & (events | POLLHUP))
            return Err::Success;
        if (n == 0 && waitMs == 0)
            return Err::Timeout;
    }
}

uint32_t SerialPort::Read(void* buffer, size_t n, uint32_t timeoutMs, size_t& got)
{
    got = 0;
    if (m_fd < 0)
        return Err::InvalidHandle;
    m_cancel.Reset();
    auto* out = static_cast<uint8_t*>(buffer);
    const uint64_t deadline = DeadlineAfter(timeoutMs);
    while (got < n)
    {
        const ssize_t r = m_ops->Read(m_fd, out + got, n - got);
        if (r > 0)
        {
            got += static_cast<size_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return errno == EIO ? Err::DeviceNotConnected : Errno();
        bool cancelled = false;
        const uint32_t code = WaitReady(POLLIN, deadline, cancelled);
        if (code == Err::Timeout || cancelled)
            return Err::Success;
        if (code != Err::Success)
            return code;
        if (r == 0)
        {
            // A hang-up with nothing left to read: do not spin until the deadline.
            pollfd p{m_fd, POLLIN, 0};
            if (m_ops->Poll(&p, 1, 0) > 0 && (p.revents & POLLHUP) && !(p.revents & POLLIN))
                return Err::DeviceNotConnected;
        }
    }
    return Err::Success;
}

uint32_t SerialPort::Write(const void* data, size_t n, uint32_t timeoutMs, size_t& put)
{
    put = 0;
    if (m_fd < 0)
        return Err::InvalidHandle;
    m_cancel.Reset();
    const auto* in = static_cast<const uint8_t*>(data);
    const uint64_t deadline = DeadlineAfter(timeoutMs);
    while (put < n)
    {
        const ssize_t r = m_ops->Write(m_fd, in + put, n - put);
        if (r > 0)
        {
            put += static_cast<size_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return errno == EIO ? Err::DeviceNotConnected : Errno();
        bool cancelled = false;
        const uint32_t code = WaitReady(POLLOUT, deadline, cancelled);
        if (cancelled)
            return Err::OperationAborted;
        if (code != Err::Success)
            return code;
    }
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

uint32_t SerialPort::Drain(uint32_t timeoutMs)
{
    if (m_fd < 0)
        return Err::InvalidHandle;
    // tcdrain() could wait for ever on a line held by flow control: poll the queue instead.
    const uint64_t deadline = DeadlineAfter(timeoutMs);
    for (;;)
    {
        int queued = 0;
        if (m_ops->OutputQueued(m_fd, queued) != 0)
            return ModemCallUnsupported(errno) ? Err::Success : Errno();
        if (queued <= 0)
            return Err::Success;
        if (RemainingMs(deadline) == 0 || m_cancel.IsSet())
            return Err::Timeout;
        m_cancel.Wait(2);
    }
}

void SerialPort::Cancel()
{
    m_cancel.Set();
}

} // namespace Platform
