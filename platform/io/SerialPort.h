#pragma once
#include <QString>

#include <cstdint>
#include <memory>
#include <termios.h>

namespace Platform
{

// The termios calls that configure a serial port, behind one interface so that
// tests can put a fake terminal table in place of the kernel. Every call behaves as its
// POSIX namesake: -1 and errno on failure.
class TermiosOps
{
public:
    virtual ~TermiosOps() = default;
    // An exclusive, non-blocking advisory lock (flock), so two programs never share a port.
    virtual int LockExclusive(int fd) = 0;
    virtual int GetAttr(int fd, termios& t) = 0;
    virtual int SetAttr(int fd, const termios& t) = 0;
    virtual int GetModemLines(int fd, int& bits) = 0;
    // Raises (on) or drops (off) the TIOCM_ bits given.
    virtual int SetModemLines(int fd, int bits, bool on) = 0;
    virtual int InputQueued(int fd, int& count) = 0;
    virtual int Flush(int fd, int queueSelector) = 0;

    // The kernel's calls.
    static std::shared_ptr<TermiosOps> System();
};

// The ops that new serial ports use: the kernel's unless a test installed others.
std::shared_ptr<TermiosOps> CurrentTermiosOps();
// Installs ops for ports opened from now on; null brings the kernel's back.
void SetTermiosOps(std::shared_ptr<TermiosOps> ops);

enum class SerialParity : uint8_t
{
    None,
    Odd,
    Even,
    Mark,
    Space
};

enum class SerialStopBits : uint8_t
{
    One,
    OneAndHalf,
    Two
};

enum class ModemLineMode : uint8_t
{
    Off,
    On,
    Handshake
};

// A serial line's settings in the terms the tester's line records use. Where Linux has
// no exact counterpart the port maps to the nearest, all in one place (SerialPort.cpp):
// - 1.5 stop bits: CSTOPB, which a UART sends as 1.5 stop bits with 5 data bits and as 2
//   otherwise; reading back, CSTOPB with 5 data bits reads as 1.5.
// - DSR output flow control and a DTR line in handshake mode: termios has neither. The
//   DTR line is raised and no DSR flow control happens; the port remembers the request,
//   so reading the settings back gives what was set.
// - RTS/CTS flow control is CRTSCTS, which also drives RTS; an RTS line held off with
//   CTS flow control drops RTS once after the settings are applied.
// - Driver queue sizes cannot be set: the port remembers the values it was given.
// - XON/XOFF limits and "transmit continues on XOFF" have no counterpart and are not kept.
struct SerialLine
{
    uint32_t baudRate = 9600;
    uint8_t dataBits = 8;
    SerialParity parity = SerialParity::None;
    SerialStopBits stopBits = SerialStopBits::One;
    bool xonXoff = false;
    bool ctsOutputFlow = false;
    bool dsrOutputFlow = false;
    ModemLineMode dtr = ModemLineMode::On;
    ModemLineMode rts = ModemLineMode::On;
    uint16_t receiveQueue = 4096;
    uint16_t transmitQueue = 4096;

    bool operator==(const SerialLine&) const = default;
};

// The device node that "COMn:" names: the map in the settings store first (key
// "Software\Velmor\Veskador 3\Ports", value "COMn"), else COM1-32 -> /dev/ttyS0-31,
// COM33-64 -> /dev/ttyUSB0-31, COM65-96 -> /dev/ttyACM0-31; other numbers have none
// (an empty string).
QString SerialDevicePath(uint32_t comNumber);
inline constexpr const char* kPortsSettingsKey = "Software\\Velmor\\Veskador 3\\Ports";

// The line control of an open serial port on termios: the exclusive lock, the framing,
// flow control and modem lines, the input queue. The descriptor belongs to the stream
// that opened it (and that does the transfers); this only configures it. Results are the
// program's Windows error numbers (0 = success).
class SerialPort
{
public:
    explicit SerialPort(std::shared_ptr<TermiosOps> ops = CurrentTermiosOps());
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Takes an exclusive lock on the descriptor (AccessDenied when another program or
    // stream holds the port; InvalidHandle when it is no terminal) and switches the line
    // to raw transfers; its speed and framing stay as they are.
    uint32_t Attach(int fd);
    // Forgets the descriptor (closing it releases the lock).
    void Detach();
    bool IsAttached() const { return m_fd >= 0; }

    uint32_t GetLine(SerialLine& line);
    uint32_t SetLine(const SerialLine& line);
    uint32_t BytesAvailable(uint32_t& count);
    uint32_t PurgeInput();

private:
    std::shared_ptr<TermiosOps> m_ops;
    int m_fd = -1;
    // What termios cannot hold, as last set.
    bool m_dsrOutputFlow = false;
    ModemLineMode m_dtrMode = ModemLineMode::On;
    ModemLineMode m_rtsMode = ModemLineMode::On;
    uint16_t m_receiveQueue = 4096;
    uint16_t m_transmitQueue = 4096;
};

// The mapping itself, for the port and for tests that check it on a plain table.
// Returns InvalidParameter for a speed or character size termios cannot express.
uint32_t LineToTermios(const SerialLine& line, termios& t);
void TermiosToLine(const termios& t, SerialLine& line);

} // namespace Platform
