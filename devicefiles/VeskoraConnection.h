#pragma once
#include <QPointer>
#include <QString>

#include <cstdint>
#include <memory>

class QObject;
class CFirmwareUpdateCheck;

namespace Device
{
class CVmDevice;
}

// The program's one link to a portable tester (Veskora 3), held between commands. A
// command that needs the tester calls Connect first: a held tester that still answers is
// used again, otherwise the connection wizard finds one. The first connection after a
// disconnect starts the firmware update check. Used on the UI thread only.
class CVeskoraConnection
{
public:
    static CVeskoraConnection& Instance();

    CVeskoraConnection(const CVeskoraConnection&) = delete;
    CVeskoraConnection& operator=(const CVeskoraConnection&) = delete;

    // True when a device is held on return.
    bool Connect();
    // True when a device is held and answers its identify request; a device that
    // refuses is dropped here, one whose link fails stays held for Connect to drop.
    bool IsDeviceAlive();
    // Asks the held device to keep its remote connection open for 30 s.
    bool KeepAlive();
    // Ends the remote connection, deletes the device and stops the firmware check.
    void Disconnect();
    // Where the firmware check posts the newest versions, and with which messages.
    void SetNotifyTarget(QObject* window, uint32_t appVersionMessage, uint32_t osVersionMessage);
    Device::CVmDevice* GetDevice() const { return m_device.get(); }
    // The running firmware check of this connection, or null.
    CFirmwareUpdateCheck* FirmwareCheck() const { return m_firmwareCheck.get(); }

private:
    CVeskoraConnection() = default;
    ~CVeskoraConnection();

    std::unique_ptr<Device::CVmDevice> m_device;
    std::unique_ptr<CFirmwareUpdateCheck> m_firmwareCheck;
    QPointer<QObject> m_notifyWindow;
    uint32_t m_appVersionMessage = 0;
    uint32_t m_osVersionMessage = 0;
};

// Shared by both testers' connections.
namespace TesterConnection
{
// The identify request of a held device: false without a device or when it refuses
// (the device is then told to end its remote connection and deleted); a link failure
// gives false and leaves the device held.
bool IsDeviceAlive(std::unique_ptr<Device::CVmDevice>& device);
// The end-of-connection request (its result does not matter), then the device goes.
void DropDevice(std::unique_ptr<Device::CVmDevice>& device);
// Runs the connection wizard (interface and result pages, login accepted required) for
// the device type, with its settings from the product key + subKey, else from the
// read-only fallback key; the settings are saved under the product key's subkey however
// the wizard ends. The found device after Finish, else null.
std::unique_ptr<Device::CVmDevice> RunWizard(const QString& subKey, const QString& fallbackKey,
                                             uint32_t deviceType);
} // namespace TesterConnection
