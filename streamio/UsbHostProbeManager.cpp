#include "streamio/UsbHostProbeManager.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/Event.h"
#include "platform/core/FileException.h"
#include "platform/io/HidBackend.h"

#include <array>

namespace StreamIO
{

namespace
{
constexpr uint16_t kProbeVendorId = 0x3A7C;
std::atomic<bool> g_managerExists{false};
} // namespace

uint32_t EnumerateHidProbePaths(QStringList& paths)
{
    paths.clear();
    std::vector<Platform::HidDeviceInfo> devices;
    if (const uint32_t code = Platform::CurrentHidBackend()->Enumerate(devices))
        return code;
    // The vendor is compared as a number, so the spelling of a path cannot hide a probe.
    for (const auto& d : devices)
        if (d.error == 0 && !d.path.isEmpty() && d.vendorId == kProbeVendorId)
            paths.append(d.path);
    return Err::Success;
}

uint32_t ListUsbHostProbePaths(QStringList& paths)
{
    return EnumerateHidProbePaths(paths);
}

CUsbHostProbeManager& CUsbHostProbeManager::Instance()
{
    static CUsbHostProbeManager manager;
    return manager;
}

CUsbHostProbeManager::CUsbHostProbeManager()
    : m_close(Platform::Event::Named(QStringLiteral("DavCloseEvent"))),
      m_attach(Platform::Event::Named(QStringLiteral("HidDav-Attach"))),
      m_detach(Platform::Event::Named(QStringLiteral("HidDav-Detach")))
{
    m_close->Reset();
    m_attach->Reset();
    m_detach->Reset();
    g_managerExists = true;
}

CUsbHostProbeManager::~CUsbHostProbeManager()
{
    g_managerExists = false;
    std::lock_guard guard(m_lock);
    m_devices.clear();
}

void SignalProbeCloseEvent()
{
    if (g_managerExists)
        CUsbHostProbeManager::Instance().m_close->Set();
}

void ResetProbeCloseEvent()
{
    if (g_managerExists)
        CUsbHostProbeManager::Instance().m_close->Reset();
}

uint32_t CUsbHostProbeManager::WaitForEvent(uint32_t ms)
{
    ++m_waiters;
    const std::array<Platform::Event*, 3> events = {m_close.get(), m_attach.get(), m_detach.get()};
    const int which = Platform::Event::WaitAny(events, ms);
    uint32_t result = kWaitTimeout;
    if (which == 0)
        result = kWaitClose;
    else if (which == 1)
    {
        result = kWaitAttach;
        if (m_waiters == 1)
            m_attach->Reset();
    }
    else if (which == 2)
    {
        result = kWaitDetach;
        if (m_waiters == 1)
            m_detach->Reset();
    }
    --m_waiters;
    return result;
}

std::shared_ptr<Platform::HidDevice> CUsbHostProbeManager::FindDevice(const QString& path, uint32_t channel,
                                                                      uint32_t& index)
{
    std::lock_guard guard(m_lock);
    index = kNoIndex;
    for (size_t i = 0; i < m_devices.size(); ++i)
    {
        const SDeviceData& d = m_devices[i];
        if (d.path != path || !d.handle)
            continue;
        index = static_cast<uint32_t>(i);
        if ((channel == kControlChannel && d.controlUsers) || (channel == kDataChannel && d.dataUsers))
            return d.handle;
    }
    return nullptr;
}

uint32_t CUsbHostProbeManager::OpenDevice(const QString& path, uint32_t channel,
                                          std::shared_ptr<Platform::HidDevice>& handle)
{
    handle.reset();
    if (channel != kControlChannel && channel != kDataChannel)
        return Err::InvalidParameter;
    uint32_t index = kNoIndex;
    if (FindDevice(path, channel, index))
        return Err::NotSupported;
    if (index == kNoIndex)
    {
        // Opened outside the lock: opening a device may take a while.
        std::unique_ptr<Platform::HidDevice> device;
        if (const uint32_t code = Platform::CurrentHidBackend()->Open(path, device))
            throw CFileException(code, path);
        std::lock_guard guard(m_lock);
        m_devices.push_back(SDeviceData{path, std::shared_ptr<Platform::HidDevice>(std::move(device)), 0, 0});
    }
    std::lock_guard guard(m_lock);
    for (SDeviceData& d : m_devices)
    {
        if (d.path != path || !d.handle)
            continue;
        uint32_t& users = channel == kControlChannel ? d.controlUsers : d.dataUsers;
        // Another thread may have taken the channel since the look above.
        if (users)
            return Err::NotSupported;
        users = 1;
        handle = d.handle;
        return Err::Success;
    }
    return Err::FileNotFound;
}

void CUsbHostProbeManager::ReleaseDevice(const QString& path, uint32_t channel)
{
    uint32_t index = kNoIndex;
    const auto handle = FindDevice(path, channel, index);
    if (!handle)
        return;
    std::lock_guard guard(m_lock);
    for (auto it = m_devices.begin(); it != m_devices.end(); ++it)
    {
        if (it->handle != handle)
            continue;
        uint32_t& users = channel == kControlChannel ? it->controlUsers : it->dataUsers;
        if (users)
            --users;
        if (it->controlUsers == 0 && it->dataUsers == 0)
            m_devices.erase(it);
        return;
    }
}

void CUsbHostProbeManager::DrainEvents()
{
    // Another thread waiting at the same time keeps attach or detach from being reset;
    // the bound keeps this from spinning on them.
    constexpr int kMaxRounds = 8;
    uint32_t result = WaitForEvent(0);
    for (int i = 0; i < kMaxRounds && (result == kWaitAttach || result == kWaitDetach); ++i)
        result = WaitForEvent(50);
}

size_t CUsbHostProbeManager::DeviceCount() const
{
    std::lock_guard guard(m_lock);
    return m_devices.size();
}

} // namespace StreamIO
