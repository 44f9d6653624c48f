#pragma once
#include "device/DeviceTypes.h"
#include "platform/gui/WizardSheet.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace Device
{
class CVmDevice;
}

// The connection wizard: finds a tester on a serial port, USB or Ethernet, lets the
// user choose one of the devices found and checks that it accepts a remote login with
// the rights the caller requires. After Finish the chosen device sits in the sheet;
// the caller takes it with TakeDevice.
//
// Start mode 0 shows welcome, device type, interface and result pages; 1 starts at the
// device type; 2 (and any higher value) shows only the interface and result pages.
class CDevSelectSheet : public Platform::WizardSheet
{
    Q_OBJECT
public:
    // What the wizard keeps under its settings key between runs.
    struct SSettings
    {
        uint32_t express = 1;
        uint32_t deviceType = Device::typeVeskora3;
        uint32_t comPort = 1;
        uint32_t portKind = Device::portNone; // the chosen interface; 0 none chosen
        uint32_t scanAll = 1;
        uint32_t stopAfterFirst = 1;
        QString ipAddress;
    };

    // captionId 0 gives no caption. requiredRights: Device::NLoginRights bits.
    CDevSelectSheet(uint32_t captionId, QWidget* parent, uint32_t startMode, uint16_t requiredRights);
    ~CDevSelectSheet() override;

    // Reads the settings from the key in the settings store; false, with nothing
    // changed, for an empty path or a missing key.
    bool LoadSettings(const QString& keyPath);
    // Writes the seven values, creating the key; false at the first value that cannot
    // be written.
    bool SaveSettings(const QString& keyPath) const;

    // Runs the wizard modally: Platform::ID_WIZFINISH when the user finished.
    int DoModal();

    SSettings& Settings() { return m_settings; }
    const SSettings& Settings() const { return m_settings; }
    uint32_t StartMode() const { return m_startMode; }
    uint16_t RequiredRights() const { return m_requiredRights; }
    bool HideHelpButton() const { return m_hideHelpButton; }
    void SetHideHelpButton(bool hide) { m_hideHelpButton = hide; }
    // The types the device-type page offers, in this order; empty offers all of them.
    const std::vector<Device::NTypes>& AllowedTypes() const { return m_allowedTypes; }
    void SetAllowedTypes(std::vector<Device::NTypes> types) { m_allowedTypes = std::move(types); }

    // The template device of the chosen type while the wizard runs, the chosen device
    // after Finish; null when there is none.
    Device::CVmDevice* GetDevice() const { return m_device.get(); }
    // The caller's way to take the found device; the sheet no longer deletes it.
    std::unique_ptr<Device::CVmDevice> TakeDevice();
    // Replaces (and deletes) the device the sheet holds.
    void SetDevice(std::unique_ptr<Device::CVmDevice> device);

private:
    std::unique_ptr<Device::CVmDevice> m_device;
    SSettings m_settings;
    uint32_t m_startMode = 2;
    uint16_t m_requiredRights = 0;
    bool m_hideHelpButton = false;
    std::vector<Device::NTypes> m_allowedTypes;
};
