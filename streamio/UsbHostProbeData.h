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

// The probe's data channel: a read-only byte stream carried in input reports (byte 1:
// bits 0-3 payload length, bits 5-7 toggle; payload from byte 2). A report counts only
// when its toggle differs from the last one's. The channel opens the probe a second
// time, so it reads from an input queue of its own.
class CUsbHostProbeData : public CIoStream
{
public:
    CUsbHostProbeData();
    ~CUsbHostProbeData() override;

    bool Open(const QString& path, uint32_t openFlags) override;
    virtual void SetPollInterval(uint32_t ms) { m_pollInterval = ms; }
    virtual uint32_t GetPollInterval() const { return m_pollInterval; }
    // Bits 5-7 of byte 1 of the last input report, in place (0 without a report buffer).
    virtual uint8_t GetToggleBits() const;

    void Close() override;
    void DiscardInput() override;
    bool GetTimeouts(uint32_t& readMs, uint32_t& writeMs) override;
    bool SetTimeouts(uint32_t readMs, uint32_t writeMs) override;
    bool CancelPending() override;
    bool IsOpen() const override;
    uint32_t Read(void* buffer, uint32_t n) override;
    uint32_t Write(const void*, uint32_t) override;

private:
    // Waits for the next input report, at most waitMs; 0 when one came, Timeout when
    // none did, else the failure.
    uint32_t ReadReport(uint32_t waitMs);
    void CloseHandle();

    std::shared_ptr<Platform::HidDevice> m_device;
    std::unique_ptr<Platform::HidDevice> m_input;
    CUsbHostProbeManager* m_manager;
    uint32_t m_readTimeout = 500;
    uint32_t m_writeTimeout = 100;
    uint32_t m_length = 0; // L
    std::vector<uint8_t> m_report;
    std::vector<uint8_t> m_incoming;
    ProbePayloadRest m_rest;
    std::atomic<bool> m_abort{false};
    uint32_t m_pollInterval = 1;
};

} // namespace StreamIO
