#pragma once
#include "platform/io/SerialPort.h"
#include "streamio/FileStream.h"

#include <cstdint>

namespace StreamIO
{

inline constexpr uint32_t RS232_SETTINGS_TAG = 0xA500;

// Handshake bits of SRs232Settings.
inline constexpr uint8_t RS232_HANDSHAKE_XONXOFF = 0x01;
inline constexpr uint8_t RS232_HANDSHAKE_DTRDSR = 0x02;
inline constexpr uint8_t RS232_HANDSHAKE_RTSCTS = 0x04;
inline constexpr uint8_t RS232_HANDSHAKE_RTS_OFF = 0x08;

// A serial line's settings as the device classes keep them. Parity 1 is even and 2 odd
// (the reverse of the usual numbering); stop bits 0 one, 1 one and a half, 2 two.
struct SRs232Settings
{
    uint32_t tag = RS232_SETTINGS_TAG;
    uint32_t baudRate = 9600;
    uint8_t dataBits = 8;
    uint32_t parity = 0;   // 0 none, 1 even, 2 odd, 3 mark, 4 space
    uint32_t stopBits = 0; // 0 one, 1 one and a half, 2 two
    uint8_t handshake = 0;
    uint16_t receiveQueue = 1024;
    uint16_t transmitQueue = 256;
    uint32_t readTimeout = 500; // ms, -1 = no limit
    uint32_t writeTimeout = 10;
};

// The stream over a serial port: a file stream on the port's device node (transfers,
// time-outs and cancel are the file stream's terminal handling) plus the line settings.
// Its name is "\\.\COMn", which maps to a device node as Platform::SerialDevicePath says;
// any other name is taken as the device node itself. The port is held exclusively.
class CRs232Stream : public CFileStream
{
public:
    CRs232Stream();
    // Opens with OpenPort; raises the recorded error when that returns false.
    CRs232Stream(uint32_t port, uint32_t openFlags, const SRs232Settings* settings);
    ~CRs232Stream() override;

    bool Reopen() override;
    bool Open(const QString& name, uint32_t openFlags) override;
    void Close() override;
    void DiscardInput() override;
    uint32_t GetBytesAvailable() override;
    uint32_t GetBytesPerSecond() override;
    bool IsSeekable() const override { return false; }
    uint32_t GetLength() override;
    uint32_t GetPosition() override;
    uint32_t Seek(int32_t offset, uint32_t origin) override;
    uint32_t SetPosition(uint32_t offset) override;
    void Truncate() override {}

    // Opens "\\.\COMn" (existing only). With settings (whose tag must be
    // RS232_SETTINGS_TAG, else 87 and false) they are applied; without, the port's
    // present settings are read into the stream's record. False on an open stream (50).
    virtual bool OpenPort(uint32_t port, uint32_t openFlags, const SRs232Settings* settings);
    // Reads the port's settings; on failure the record is zeroed and the result false.
    virtual bool GetSettings(SRs232Settings& settings);
    // Applies a record (and, unless both are 0, its time-outs); false on failure.
    virtual bool SetSettings(const SRs232Settings& settings);

    const SRs232Settings& Settings() const { return m_settings; }

private:
    Platform::SerialPort m_line;
    SRs232Settings m_settings;
};

} // namespace StreamIO
