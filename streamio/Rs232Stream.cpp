#include "streamio/Rs232Stream.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"

#include <QRegularExpression>

namespace StreamIO
{

namespace
{

// The port number of a "\\.\COMn" name, 0 for any other name.
uint32_t PortOfName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^\\\\\\\\\\.\\\\COM(\\d{1,3})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto match = pattern.match(name);
    return match.hasMatch() ? match.captured(1).toUInt() : 0;
}

Platform::SerialLine LineFromSettings(const SRs232Settings& s)
{
    using namespace Platform;
    SerialLine line;
    line.baudRate = s.baudRate;
    line.dataBits = s.dataBits;
    switch (s.parity)
    {
    case 1:
        line.parity = SerialParity::Even;
        break;
    case 2:
        line.parity = SerialParity::Odd;
        break;
    case 3:
        line.parity = SerialParity::Mark;
        break;
    case 4:
        line.parity = SerialParity::Space;
        break;
    default:
        line.parity = SerialParity::None;
        break;
    }
    line.stopBits = s.stopBits == 1 ? SerialStopBits::OneAndHalf
                                    : (s.stopBits == 2 ? SerialStopBits::Two : SerialStopBits::One);
    line.xonXoff = (s.handshake & RS232_HANDSHAKE_XONXOFF) != 0;
    line.dsrOutputFlow = (s.handshake & RS232_HANDSHAKE_DTRDSR) != 0;
    line.dtr = line.dsrOutputFlow ? ModemLineMode::Handshake : ModemLineMode::On;
    line.ctsOutputFlow = (s.handshake & RS232_HANDSHAKE_RTSCTS) != 0;
    line.rts = line.ctsOutputFlow ? ModemLineMode::Handshake : ModemLineMode::On;
    if (s.handshake & RS232_HANDSHAKE_RTS_OFF)
        line.rts = ModemLineMode::Off;
    line.receiveQueue = s.receiveQueue;
    line.transmitQueue = s.transmitQueue;
    return line;
}

void SettingsFromLine(const Platform::SerialLine& line, SRs232Settings& s)
{
    using namespace Platform;
    s.tag = RS232_SETTINGS_TAG;
    s.baudRate = line.baudRate;
    s.dataBits = line.dataBits;
    switch (line.parity)
    {
    case SerialParity::Odd:
        s.parity = 2;
        break;
    case SerialParity::Even:
        s.parity = 1;
        break;
    case SerialParity::Mark:
        s.parity = 3;
        break;
    case SerialParity::Space:
        s.parity = 4;
        break;
    default:
        s.parity = 0;
        break;
    }
    s.stopBits =
        line.stopBits == SerialStopBits::OneAndHalf ? 1 : (line.stopBits == SerialStopBits::Two ? 2 : 0);
    s.handshake = 0;
    if (line.xonXoff)
        s.handshake |= RS232_HANDSHAKE_XONXOFF;
    if (line.dsrOutputFlow)
        s.handshake |= RS232_HANDSHAKE_DTRDSR;
    if (line.ctsOutputFlow)
        s.handshake |= RS232_HANDSHAKE_RTSCTS;
    s.receiveQueue = line.receiveQueue;
    s.transmitQueue = line.transmitQueue;
}

} // namespace

CRs232Stream::CRs232Stream() = default;

CRs232Stream::CRs232Stream(uint32_t port, uint32_t openFlags, const SRs232Settings* settings)
{
    if (!OpenPort(port, openFlags, settings))
        throw CFileException(GetError(), GetName());
}

CRs232Stream::~CRs232Stream()
{
    m_line.Detach();
}

bool CRs232Stream::Open(const QString& name, uint32_t openFlags)
{
    if (IsOpen())
    {
        SetError(Err::NotSupported);
        return false;
    }
    const uint32_t port = PortOfName(name);
    const QString node = port ? Platform::SerialDevicePath(port) : name;
    ClearError();
    if (node.isEmpty())
    {
        SetName(name);
        SetOpenFlags(openFlags);
        Raise(Err::FileNotFound);
    }
    try
    {
        CFileStream::Open(node, openFlags);
    }
    catch (const CFileException& e)
    {
        SetName(name);
        // Another stream of this program holds the port: busy, as for any other opener.
        Raise(e.Error() == Err::SharingViolation ? Err::AccessDenied : e.Error());
    }
    SetName(name);
    if (const uint32_t code = m_line.Attach(Descriptor()))
    {
        CFileStream::Abort();
        SetName(name);
        Raise(code);
    }
    return true;
}

void CRs232Stream::Close()
{
    m_line.Detach();
    CFileStream::Close();
}

bool CRs232Stream::OpenPort(uint32_t port, uint32_t openFlags, const SRs232Settings* settings)
{
    if (settings && settings->tag != RS232_SETTINGS_TAG)
    {
        SetError(Err::InvalidParameter);
        return false;
    }
    // A stream that is open already keeps its port: nothing below may report success
    // for a port it did not open.
    if (!Open(QStringLiteral("\\\\.\\COM%1").arg(port), openFlags & ~STREAM_CREATION_MASK))
        return false;
    if (settings)
    {
        m_settings = *settings;
        SetSettings(m_settings);
    }
    else
        GetSettings(m_settings);
    return GetError() == 0;
}

bool CRs232Stream::Reopen()
{
    if (GetName().isEmpty())
        return false;
    const QString name = GetName();
    if (!Open(name, GetOpenFlags()))
        return false;
    SetSettings(m_settings);
    return GetError() == 0;
}

bool CRs232Stream::GetSettings(SRs232Settings& settings)
{
    ClearError();
    uint32_t readMs = 0;
    uint32_t writeMs = 0;
    Platform::SerialLine line;
    uint32_t code = Err::InvalidHandle;
    if (IsOpen())
    {
        const bool timeouts = GetTimeouts(readMs, writeMs);
        code = timeouts ? m_line.GetLine(line) : GetError();
    }
    if (code != Err::Success)
    {
        // The whole record, tag included, tells the caller that nothing could be read.
        settings = SRs232Settings{0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        SetError(code);
        return false;
    }
    SettingsFromLine(line, settings);
    settings.readTimeout = readMs;
    settings.writeTimeout = writeMs;
    return true;
}

bool CRs232Stream::SetSettings(const SRs232Settings& settings)
{
    ClearError();
    if (!IsOpen())
    {
        SetError(Err::InvalidHandle);
        return false;
    }
    if (const uint32_t code = m_line.SetLine(LineFromSettings(settings)))
    {
        SetError(code);
        return false;
    }
    if (settings.readTimeout != 0 || settings.writeTimeout != 0)
    {
        if (!SetTimeouts(settings.readTimeout, settings.writeTimeout) && GetError() == 0)
            SetError(Err::NotSupported);
    }
    if (GetError() != 0)
        return false;
    m_settings = settings;
    return true;
}

void CRs232Stream::DiscardInput()
{
    ClearError();
    if (!(GetOpenFlags() & STREAM_READ))
        return;
    if (const uint32_t code = m_line.PurgeInput())
        Raise(code);
}

uint32_t CRs232Stream::GetBytesAvailable()
{
    ClearError();
    if (!(GetOpenFlags() & STREAM_READ))
        return 0;
    uint32_t count = 0;
    if (const uint32_t code = m_line.BytesAvailable(count))
        Raise(code);
    return count;
}

uint32_t CRs232Stream::GetBytesPerSecond()
{
    // Start bit, data bits, stop bit, and one more each for a parity bit and a longer stop.
    const uint32_t bitsPerFrame = 10 + (m_settings.parity != 0 ? 1 : 0) + (m_settings.stopBits != 0 ? 1 : 0);
    return m_settings.baudRate / bitsPerFrame * m_settings.dataBits / 8;
}

uint32_t CRs232Stream::GetLength()
{
    ClearError();
    return 0;
}

uint32_t CRs232Stream::GetPosition()
{
    ClearError();
    return 0;
}

uint32_t CRs232Stream::Seek(int32_t, uint32_t)
{
    ClearError();
    return 0;
}

uint32_t CRs232Stream::SetPosition(uint32_t)
{
    ClearError();
    return 0;
}

} // namespace StreamIO
