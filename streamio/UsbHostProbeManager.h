#pragma once
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace Platform
{
class Event;
class HidDevice;
} // namespace Platform

namespace StreamIO
{

// The paths of the present indentation-tester probes (HID interfaces of vendor 0x3A7C),
// in enumeration order. An interface that cannot be read is passed over and does not
// fail the listing; non-zero only when the enumeration could not run.
uint32_t EnumerateHidProbePaths(QStringList& paths);
// The same, under the name the device layer uses.
uint32_t ListUsbHostProbePaths(QStringList& paths);

// Sets "DavCloseEvent" when the probe manager exists: every wait of the manager then
// ends at once. The stream layer's shutdown calls it.
void SignalProbeCloseEvent();
// Clears it again when the stream layer starts anew.
void ResetProbeCloseEvent();

// One process-wide manager that opens each probe once for the two channels over it
// (1 = control, 2 = data), counts their users, and watches the process's events
// "DavCloseEvent", "HidDav-Attach" and "HidDav-Detach" (manual-reset).
class CUsbHostProbeManager
{
public:
    static constexpr uint32_t kControlChannel = 1;
    static constexpr uint32_t kDataChannel = 2;
    static constexpr uint32_t kNoIndex = 0xFFFF;
    // WaitForEvent results.
    static constexpr uint32_t kWaitTimeout = 1;
    static constexpr uint32_t kWaitAttach = 2;
    static constexpr uint32_t kWaitDetach = 4;
    static constexpr uint32_t kWaitClose = 8;

    struct SDeviceData
    {
        QString path;
        std::shared_ptr<Platform::HidDevice> handle;
        uint32_t controlUsers = 0;
        uint32_t dataUsers = 0;
    };

    // Created by the first channel, destroyed at process exit.
    static CUsbHostProbeManager& Instance();

    // Waits up to ms for close (8), attach (2) or detach (4), in that priority; 1 when
    // none came. Attach and detach are reset when this is the only waiter.
    virtual uint32_t WaitForEvent(uint32_t ms);
    // The device's handle when `channel` of the entry for `path` (exact) has a user;
    // `index` names the entry found (kNoIndex when none).
    virtual std::shared_ptr<Platform::HidDevice> FindDevice(const QString& path, uint32_t channel,
                                                            uint32_t& index);
    virtual ~CUsbHostProbeManager();
    // Takes `channel` of the device at `path`, opening the device when no entry has it:
    // 0 and the handle, or 50 when the channel is in use already. An open failure is
    // raised with the path.
    virtual uint32_t OpenDevice(const QString& path, uint32_t channel,
                                std::shared_ptr<Platform::HidDevice>& handle);
    // Gives `channel` back; the entry goes (and the device closes) when neither channel
    // uses it any longer.
    virtual void ReleaseDevice(const QString& path, uint32_t channel);

    // Takes the pending attach and detach signals, as a channel's open test does before
    // it looks at its device: one look, then more while attach or detach keep coming,
    // but never for more than a few rounds.
    void DrainEvents();

    size_t DeviceCount() const;

private:
    friend void SignalProbeCloseEvent();
    friend void ResetProbeCloseEvent();
    CUsbHostProbeManager();

    mutable std::mutex m_lock;
    std::vector<SDeviceData> m_devices;
    std::atomic<int> m_waiters{0};
    std::shared_ptr<Platform::Event> m_close;
    std::shared_ptr<Platform::Event> m_attach;
    std::shared_ptr<Platform::Event> m_detach;
};

} // namespace StreamIO
