#pragma once
#include "streamio/IoStream.h"

#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

namespace Platform
{
class UsbBulkDevice;
}

namespace StreamIO
{

// The paths of the present bulk-USB testers (vendor in Platform::UsbTesterVendorIds(),
// one bulk IN and one bulk OUT endpoint), in enumeration order. A device that cannot be
// read is passed over; non-zero only when the bus could not be enumerated.
uint32_t ListUsbHostDevicePaths(QStringList& paths);

// The stream over a tester's bulk pipes: "\PIPE00" is the IN pipe (device to host),
// "\PIPE01" the OUT pipe. Every transfer is bounded by its time-out and can be cut short
// by CancelPending. Reads ask the bus for whole packets and keep what the caller did not
// take for the next Read. Errors: a read that brings nothing 38, a read that runs out of
// time between transfers 1460, a write that times out 997 (recorded, not raised), an
// unplugged device 1167 (raised).
class CUsbHostStream : public CIoStream
{
public:
    CUsbHostStream();
    ~CUsbHostStream() override;

    bool Open(const QString& devicePath, uint32_t openFlags) override;
    // Opens the IN pipe for STREAM_READ and the OUT pipe for STREAM_WRITE.
    virtual void OpenPipes(uint32_t openFlags);

    void Close() override;
    void Flush() override;
    bool GetTimeouts(uint32_t& readMs, uint32_t& writeMs) override;
    bool SetTimeouts(uint32_t readMs, uint32_t writeMs) override;
    bool CancelPending() override;
    bool IsOpen() const override;
    uint32_t Read(void* buffer, uint32_t n) override;
    uint32_t Write(const void* data, uint32_t n) override;

private:
    // One IN transfer for up to `want` bytes; 0, or the bus's code.
    uint32_t ReadPipe(uint8_t* buffer, uint32_t want, uint32_t& got);

    std::unique_ptr<Platform::UsbBulkDevice> m_device;
    bool m_inPipe = false;
    bool m_outPipe = false;
    uint32_t m_readTimeout = 500;
    uint32_t m_writeTimeout = 100;
    // Bytes of the last IN transfer that the caller has not taken yet.
    std::vector<uint8_t> m_packets;
    size_t m_packetPos = 0;
};

} // namespace StreamIO
