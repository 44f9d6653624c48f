#pragma once
#include "platform/core/CancelToken.h"
#include "platform/core/WorkerThread.h"

#include <memory>

namespace Device
{
class CVmDevice;
}

// Lets a tester go without holding up the window: its end-of-connection request runs on
// a thread of its own, which then deletes the device. A silent tester makes the request
// wait its time-out; Finish gives it a short while and then cuts it short.
class CDeviceRelease
{
public:
    CDeviceRelease() = default;
    // Cuts a request still under way; at process exit nothing more is waited for.
    ~CDeviceRelease();
    CDeviceRelease(const CDeviceRelease&) = delete;
    CDeviceRelease& operator=(const CDeviceRelease&) = delete;

    // Finishes an earlier release first (one at a time), then starts this one. A device
    // whose cancel token has fired, or one for which no thread starts, goes at once, untold.
    void Start(std::unique_ptr<Device::CVmDevice> device);
    // Waits a short while for the request, then cuts it short: the tester's link is closed
    // on return. For whatever needs the port next and for the window's close.
    void Finish();

private:
    std::unique_ptr<Platform::WorkerThread> m_thread;
    Platform::CancelToken m_cancel;
};
