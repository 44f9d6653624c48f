#include "devicefiles/VeskoraConnection.h"

#include "device/DeviceTypes.h"
#include "device/VmDevice.h"
#include "devicefiles/DevSelectSheet.h"
#include "devicefiles/core/FirmwareUpdateCheck.h"
#include "platform/core/FileException.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

namespace
{
constexpr uint32_t kWizardStartMode = 2; // interface and result pages only
constexpr uint32_t kKeepAliveMs = 30000;
} // namespace

namespace TesterConnection
{
bool IsDeviceAlive(std::unique_ptr<Device::CVmDevice>& device)
{
    if (!device)
        return false;
    try
    {
        Device::SIdentity identity;
        if (device->Identify(identity))
            return true;
        DropDevice(device);
        return false;
    }
    catch (const CFileException&)
    {
        // The link failed: the caller drops the device.
        return false;
    }
}

void DropDevice(std::unique_ptr<Device::CVmDevice>& device)
{
    if (!device)
        return;
    try
    {
        device->KeepAlive(false, 0);
    }
    catch (const CFileException&)
    {
        // A tester that is gone cannot be told; it drops the connection itself.
    }
    device.reset();
}

std::unique_ptr<Device::CVmDevice> RunWizard(const QString& subKey, const QString& fallbackKey,
                                             uint32_t deviceType)
{
    CDevSelectSheet sheet(StringId::IDS_CONNECT_CAPTION, nullptr, kWizardStartMode, Device::loginAccepted);
    const QString productKey = Platform::LoadString(StringId::IDS_PRODUCT_KEY);
    const QString key = productKey.isEmpty() ? QString() : productKey + subKey;
    if (!sheet.LoadSettings(key) && !fallbackKey.isEmpty())
        sheet.LoadSettings(fallbackKey);
    // Whatever was stored, each connection searches for its own kind of tester.
    sheet.Settings().deviceType = deviceType;
    sheet.Settings().express = 0;
    const bool finished = sheet.DoModal() == Platform::ID_WIZFINISH;
    sheet.SaveSettings(key);
    return finished ? sheet.TakeDevice() : nullptr;
}
} // namespace TesterConnection

CVeskoraConnection& CVeskoraConnection::Instance()
{
    static CVeskoraConnection instance;
    return instance;
}

CVeskoraConnection::~CVeskoraConnection()
{
    // At process exit only the firmware check is stopped; the device was disconnected
    // by the main window, and a stream layer that is already closed must not be touched.
    m_firmwareCheck.reset();
    (void)m_device.release();
}

bool CVeskoraConnection::Connect()
{
    if (m_device && !IsDeviceAlive())
        Disconnect();
    if (m_device)
        return true;
    m_device = TesterConnection::RunWizard(
        QStringLiteral("\\ConnWizard\\Veskora\\"),
        QStringLiteral("Software\\Velmor\\DiZivavir\\Settings\\ConnWizard\\"), Device::typeVeskora3);
    if (m_device && !m_firmwareCheck)
    {
        m_firmwareCheck = std::make_unique<CFirmwareUpdateCheck>(m_notifyWindow.data(), QString());
        m_firmwareCheck->Start(m_device.get(), m_appVersionMessage, m_osVersionMessage);
    }
    return m_device != nullptr;
}

bool CVeskoraConnection::IsDeviceAlive()
{
    return TesterConnection::IsDeviceAlive(m_device);
}

bool CVeskoraConnection::KeepAlive()
{
    if (!m_device)
        return false;
    try
    {
        return m_device->KeepAlive(true, kKeepAliveMs);
    }
    catch (const CFileException&)
    {
        return false;
    }
}

void CVeskoraConnection::Disconnect()
{
    TesterConnection::DropDevice(m_device);
    if (m_firmwareCheck)
    {
        m_firmwareCheck->Stop();
        m_firmwareCheck.reset();
    }
}

void CVeskoraConnection::SetNotifyTarget(QObject* window, uint32_t appVersionMessage,
                                         uint32_t osVersionMessage)
{
    m_notifyWindow = window;
    m_appVersionMessage = appVersionMessage;
    m_osVersionMessage = osVersionMessage;
}
