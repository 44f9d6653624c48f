#pragma once
#include "streamio/IoStream.h"
#include "streamio/ProbeReport.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace Platform
{
class HidDevice;
}

namespace StreamIO
{
class CUsbHostProbeManager;

// The probe's control channel: a byte stream both ways carried in the feature report
// (byte 1: bit 0 buffer free, bit 1 host data valid, bits 2-4 host sequence, bits 5-7
// toggle; byte 2 bits 0-5 payload length; payload from byte 3). A transfer moves at most
// L - 3 bytes, L being the feature-report length. Reads that take part of a report keep
// the rest for the next Read.
class CUsbHostProbeControl : public CIoStream
{
public:
    CUsbHostProbeControl();
    ~CUsbHostProbeControl() override;

    bool Open(const QString& path, uint32_t openFlags) override;
    virtual void SetPollInterval(uint32_t ms) { m_pollInterval = ms; }
    virtual uint32_t GetPollInterval() const { return m_pollInterval; }

    void Close() override;
    void DiscardInput() override;
    // Withdraws a host payload that the probe has not taken.
    void Flush() override;
    bool GetTimeouts(uint32_t& readMs, uint32_t& writeMs) override;
    bool SetTimeouts(uint32_t readMs, uint32_t writeMs) override;
    // Ends a transfer in progress (from any thread) at its next poll.
    bool CancelPending() override;
    bool IsOpen() const override;
    uint32_t Read(void* buffer, uint32_t n) override;
    // Returns n once the probe took the payload, 0 when it did not in time (the payload
    // is then withdrawn).
    uint32_t Write(const void* data, uint32_t n) override;

private:
    void ReadReport(std::vector<uint8_t>& report);
    void WriteReport(const std::vector<uint8_t>& report);
    void CloseHandle();

    std::shared_ptr<Platform::HidDevice> m_device;
    CUsbHostProbeManager* m_manager;
    uint32_t m_readTimeout = 500;
    uint32_t m_writeTimeout = 100;
    uint32_t m_length = 0; // L
    std::vector<uint8_t> m_writeReport;
    std::vector<uint8_t> m_readReport;
    ProbePayloadRest m_rest;
    std::atomic<bool> m_abort{false};
    uint32_t m_pollInterval = 1;
};

} // namespace StreamIO
