#pragma once
#include "streamio/IoStream.h"
#include "streamio/ProbeReport.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace Platform
{
class HidDevice;
}

namespace StreamIO
{
class CUsbHostProbeManager;

// What the probe's control and data channels share: the device taken from the probe
// manager for one channel, the time-outs, the poll interval, the unread rest of a
// report and the cancel flag.
class CUsbHostProbeChannel : public CIoStream
{
public:
    virtual void SetPollInterval(uint32_t ms) { m_pollInterval = ms; }
    virtual uint32_t GetPollInterval() const { return m_pollInterval; }

    void DiscardInput() override;
    bool GetTimeouts(uint32_t& readMs, uint32_t& writeMs) override;
    bool SetTimeouts(uint32_t readMs, uint32_t writeMs) override;
    // Ends a transfer in progress (from any thread) at its next poll.
    bool CancelPending() override;
    // Also false once the probe was unplugged or the channel given to another stream.
    bool IsOpen() const override;

protected:
    explicit CUsbHostProbeChannel(uint32_t channel);

    // The first steps of Open: records name and flags, drops a stale device and takes
    // the channel from the manager. False (error recorded) when the manager refuses.
    bool AcquireChannel(const QString& path, uint32_t openFlags, std::shared_ptr<Platform::HidDevice>& device);
    // Gives the channel back (Open failed after AcquireChannel).
    void ReleaseChannel(const QString& path);
    // The common part of Close: forgets the rest, the length and the device.
    void CloseChannel();
    // Close with its failures swallowed: the stale handle is dropped either way.
    void CloseHandle();

    std::shared_ptr<Platform::HidDevice> m_device;
    CUsbHostProbeManager* m_manager;
    const uint32_t m_channel;
    uint32_t m_readTimeout = 500;
    uint32_t m_writeTimeout = 100;
    uint32_t m_length = 0; // the report length L
    ProbePayloadRest m_rest;
    std::atomic<bool> m_abort{false};
    uint32_t m_pollInterval = 1;
};

} // namespace StreamIO
