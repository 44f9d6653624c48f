#pragma once
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
    // Ends the remote connection and deletes the device.
    void Disconnect();
    Device::CVmDevice* GetDevice() const { return m_device.get(); }

private:
    CVeskamonConnection() = default;
    ~CVeskamonConnection();

    std::unique_ptr<Device::CVmDevice> m_device;
};
