#include "streamio/UsbHostProbeChannel.h"

#include "streamio/UsbHostProbeManager.h"

#include <exception>

namespace StreamIO
{

CUsbHostProbeChannel::CUsbHostProbeChannel(uint32_t channel)
    : m_manager(&CUsbHostProbeManager::Instance()), m_channel(channel)
{
}

bool CUsbHostProbeChannel::AcquireChannel(const QString& path, uint32_t openFlags,
                                          std::shared_ptr<Platform::HidDevice>& device)
{
    SetName(path);
    SetOpenFlags(openFlags);
    ClearError();
    m_length = 0;
    m_abort = false;
    uint32_t index = 0;
    if (m_device && m_manager->FindDevice(path, m_channel, index) != m_device)
        CloseHandle();
    if (const uint32_t code = m_manager->OpenDevice(path, m_channel, device))
    {
        SetError(code);
        return false;
    }
    return true;
}

void CUsbHostProbeChannel::ReleaseChannel(const QString& path)
{
    m_manager->ReleaseDevice(path, m_channel);
}

void CUsbHostProbeChannel::CloseChannel()
{
    m_rest.Clear();
    m_abort = false;
    m_length = 0;
    const bool held = m_device != nullptr;
    m_device.reset();
    if (held)
        m_manager->ReleaseDevice(GetName(), m_channel);
}

void CUsbHostProbeChannel::CloseHandle()
{
    try
    {
        Close();
    }
    catch (const std::exception&)
    {
        // The stale handle is dropped either way.
    }
}

bool CUsbHostProbeChannel::IsOpen() const
{
    m_manager->DrainEvents();
    if (!m_device)
        return false;
    uint32_t index = 0;
    return m_manager->FindDevice(GetName(), m_channel, index) == m_device;
}

void CUsbHostProbeChannel::DiscardInput()
{
    DiscardByReading(*this);
}

bool CUsbHostProbeChannel::GetTimeouts(uint32_t& readMs, uint32_t& writeMs)
{
    ClearError();
    readMs = m_readTimeout;
    writeMs = m_writeTimeout;
    return true;
}

bool CUsbHostProbeChannel::SetTimeouts(uint32_t readMs, uint32_t writeMs)
{
    ClearError();
    m_readTimeout = readMs;
    m_writeTimeout = writeMs;
    return true;
}

bool CUsbHostProbeChannel::CancelPending()
{
    m_abort = true;
    return true;
}

} // namespace StreamIO
