#pragma once
#include "devicefiles/DeviceRelease.h"

#include <memory>

namespace Device
{
class CVmDevice;
}

// The program's one link to an indentation tester (Veskamon 3), held between live
// measurements; like the portable tester's connection, without a firmware check. Used
// on the UI thread only.
class CVeskamonConnection
{
public:
    static CVeskamonConnection& Instance();

    CVeskamonConnection(const CVeskamonConnection&) = delete;
    CVeskamonConnection& operator=(const CVeskamonConnection&) = delete;

    // True when a device is held on return.
    bool Connect();
    // Lets the device go: its end-of-connection request runs on a thread of its own, which
    // then deletes the device. Nothing is held afterwards.
    void Disconnect();
    // Waits a short while for that request, then cuts it short (see CDeviceRelease).
    void FinishDisconnect();
    Device::CVmDevice* GetDevice() const { return m_device.get(); }

private:
    CVeskamonConnection() = default;
    ~CVeskamonConnection();

    std::unique_ptr<Device::CVmDevice> m_device;
    CDeviceRelease m_release;
};
