#pragma once
#include "streamio/UsbHostProbeChannel.h"

#include <cstdint>
#include <vector>

namespace StreamIO
{

// The probe's control channel: a byte stream both ways carried in the feature report
// (byte 1: bit 0 buffer free, bit 1 host data valid, bits 2-4 host sequence, bits 5-7
// toggle; byte 2 bits 0-5 payload length; payload from byte 3). A transfer moves at most
// L - 3 bytes, L being the feature-report length. Reads that take part of a report keep
// the rest for the next Read.
class CUsbHostProbeControl : public CUsbHostProbeChannel
{
public:
    CUsbHostProbeControl();
    ~CUsbHostProbeControl() override;

    bool Open(const QString& path, uint32_t openFlags) override;

    void Close() override;
    // Withdraws a host payload that the probe has not taken.
    void Flush() override;
    uint32_t Read(void* buffer, uint32_t n) override;
    // Returns n once the probe took the payload, 0 when it did not in time (the payload
    // is then withdrawn).
    uint32_t Write(const void* data, uint32_t n) override;

private:
    void ReadReport(std::vector<uint8_t>& report);
    void WriteReport(const std::vector<uint8_t>& report);

    std::vector<uint8_t> m_writeReport;
    std::vector<uint8_t> m_readReport;
};

} // namespace StreamIO
