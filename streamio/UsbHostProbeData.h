#pragma once
#include "streamio/UsbHostProbeChannel.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace StreamIO
{

// The probe's data channel: a read-only byte stream carried in input reports (byte 1:
// bits 0-3 payload length, bits 5-7 toggle; payload from byte 2). A report counts only
// when its toggle differs from the last one's. The channel opens the probe a second
// time, so it reads from an input queue of its own.
class CUsbHostProbeData : public CUsbHostProbeChannel
{
public:
    CUsbHostProbeData();
    ~CUsbHostProbeData() override;

    bool Open(const QString& path, uint32_t openFlags) override;
    // Bits 5-7 of byte 1 of the last input report, in place (0 without a report buffer).
    virtual uint8_t GetToggleBits() const;

    void Close() override;
    uint32_t Read(void* buffer, uint32_t n) override;
    uint32_t Write(const void*, uint32_t) override;

private:
    // Waits for the next input report, at most waitMs; 0 when one came, Timeout when
    // none did, else the failure.
    uint32_t ReadReport(uint32_t waitMs);

    std::unique_ptr<Platform::HidDevice> m_input;
    std::vector<uint8_t> m_report;
    std::vector<uint8_t> m_incoming;
};

} // namespace StreamIO
