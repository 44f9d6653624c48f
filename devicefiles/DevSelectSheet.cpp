#include "devicefiles/DevSelectSheet.h"

#include "device/DeviceThread.h"
#include "device/VmDevice.h"
#include "devicefiles/DevFoundPage.h"
#include "devicefiles/DevSelectPage.h"
#include "devicefiles/PortSelectPage.h"
#include "devicefiles/WelcomePage.h"
#include "devicefiles/WizardHelp.h"
#include "platform/core/SettingsStore.h"
#include "platform/core/StringTable.h"
#include "platform/gui/ModalDialog.h"

#include <QPushButton>

namespace
{
constexpr uint32_t kLastDeviceType = 14;
constexpr uint32_t kMaxStoredComPort = 9998;
constexpr uint32_t kMaxComPort = 9999;
// The value is read into a buffer of 520 bytes of UTF-16.
constexpr qsizetype kMaxIpAddressBytes = 520;

const QString kExpress = QStringLiteral("Express");
const QString kDeviceType = QStringLiteral("DeviceType");
const QString kComPort = QStringLiteral("ComPort");
const QString kCommPort = QStringLiteral("CommPort");
const QString kScan = QStringLiteral("Scan");
const QString kStopScan = QStringLiteral("Stop Scan");
const QString kIpAddress = QStringLiteral("IP Address");

// Only a stored number 0 clears a flag; anything else, also a text, sets it.
uint32_t ReadFlag(const Platform::SettingsStore& store, const QString& key, const QString& name)
{
    const std::optional<uint32_t> value = store.ReadNumber(key, name);
    return value && *value == 0 ? 0 : 1;
}

uint32_t ReadInRange(const Platform::SettingsStore& store, const QString& key, const QString& name,
                     uint32_t low, uint32_t high, uint32_t fallback)
{
    const std::optional<uint32_t> value = store.ReadNumber(key, name);
    return value && *value >= low && *value <= high ? *value : fallback;
}
} // namespace

CDevSelectSheet::CDevSelectSheet(uint32_t captionId, QWidget* parent, uint32_t startMode,
                                 uint16_t requiredRights)
    : Platform::WizardSheet(captionId ? Platform::LoadString(captionId) : QString(), parent),
      m_startMode(startMode > 1 ? 2 : startMode), m_requiredRights(requiredRights)
{
    if (m_startMode == 0)
        AddPage(new CWelcomePage(*this));
    if (m_startMode <= 1)
        AddPage(new CDevSelectPage(*this));
    AddPage(new CPortSelectPage(*this));
    AddPage(new CDevFoundPage(*this));
    WizardHelp::Connect(*this);

    struct ButtonText
    {
        Platform::WizardButton button;
        uint32_t textId;
        uint32_t tipId;
    };
    const ButtonText texts[] = {
        {Platform::WizardButton::next, 21021, 21003},
        {Platform::WizardButton::back, 21020, 21005},
        {Platform::WizardButton::finish, 21022, 21006},
        {Platform::WizardButton::cancel, 21023, 21004},
    };
    for (const ButtonText& t : texts)
    {
        Button(t.button)->setText(Platform::LoadString(t.textId));
        Button(t.button)->setToolTip(Platform::LoadString(t.tipId));
    }
}

CDevSelectSheet::~CDevSelectSheet() = default;

bool CDevSelectSheet::LoadSettings(const QString& keyPath)
{
    const Platform::SettingsStore& store = Platform::SettingsStore::Instance();
    if (keyPath.isEmpty() || !store.KeyExists(keyPath))
        return false;
    SSettings s;
    s.express = ReadFlag(store, keyPath, kExpress);
    s.deviceType = ReadInRange(store, keyPath, kDeviceType, 0, kLastDeviceType, 0);
    s.comPort = ReadInRange(store, keyPath, kComPort, 1, kMaxStoredComPort, 1);
    s.portKind = ReadInRange(store, keyPath, kCommPort, 1, kMaxStoredComPort, 0);
    s.scanAll = ReadFlag(store, keyPath, kScan);
    s.stopAfterFirst = ReadFlag(store, keyPath, kStopScan);
    const std::optional<QString> ip = store.ReadString(keyPath, kIpAddress);
    if (ip && ip->size() * 2 <= kMaxIpAddressBytes)
        s.ipAddress = *ip;
    m_settings = s;
    return true;
}

bool CDevSelectSheet::SaveSettings(const QString& keyPath) const
{
    Platform::SettingsStore& store = Platform::SettingsStore::Instance();
    if (keyPath.isEmpty() || !store.CreateKey(keyPath))
        return false;
    const uint32_t type = m_device ? uint32_t(m_device->GetType()) : m_settings.deviceType;
    const uint32_t comPort =
        m_settings.comPort == 0 || m_settings.comPort > kMaxComPort ? 1 : m_settings.comPort;
    const std::pair<QString, Platform::SettingsStore::Value> values[] = {
        {kExpress, m_settings.express},
        {kDeviceType, type},
        {kComPort, comPort},
        {kCommPort, m_settings.portKind},
        {kScan, m_settings.scanAll},
        {kStopScan, m_settings.stopAfterFirst},
        {kIpAddress, m_settings.ipAddress},
    };
    for (const auto& [name, value] : values)
        if (!store.Write(keyPath, name, value))
            return false;
    return true;
}

int CDevSelectSheet::DoModal()
{
    return Platform::ExecDialog(*this);
}

std::unique_ptr<Device::CVmDevice> CDevSelectSheet::TakeDevice()
{
    return std::move(m_device);
}

void CDevSelectSheet::SetDevice(std::unique_ptr<Device::CVmDevice> device)
{
    m_device = std::move(device);
}
