#pragma once
#include "device/Callback.h"
#include "device/VmDevice.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

// A callback that records what a device job reports, from the job thread, and lets the
// test wait for it with a deadline.
class JobRecorder : public Device::CCallback
{
public:
    void OnDeviceFound(Device::CVmDevice* device) override
    {
        std::lock_guard guard(m_lock);
        if (device)
            m_devices.emplace_back(device);
        else
            ++m_ends;
        m_changed.notify_all();
    }
    void OnStatusText(const QString& text) override
    {
        std::lock_guard guard(m_lock);
        m_statuses.append(text);
        m_changed.notify_all();
    }
    void OnJobFinished(const QString&, int32_t) override {}
    void OnProgress(int32_t, int32_t, uint32_t) override {}

    // Waits until a job ended with "none" (count of them), false at the deadline.
    bool WaitEnds(int count, int timeoutMs)
    {
        std::unique_lock guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_ends >= count; });
    }
    bool WaitDevices(size_t count, int timeoutMs)
    {
        std::unique_lock guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_devices.size() >= count; });
    }
    bool WaitStatuses(int count, int timeoutMs)
    {
        std::unique_lock guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_statuses.size() >= count; });
    }
    QStringList Statuses() const
    {
        std::lock_guard guard(m_lock);
        return m_statuses;
    }
    int Ends() const
    {
        std::lock_guard guard(m_lock);
        return m_ends;
    }
    size_t DeviceCount() const
    {
        std::lock_guard guard(m_lock);
        return m_devices.size();
    }
    std::unique_ptr<Device::CVmDevice> TakeDevice(size_t index = 0)
    {
        std::lock_guard guard(m_lock);
        return index < m_devices.size() ? std::move(m_devices[index]) : nullptr;
    }

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    QStringList m_statuses;
    std::vector<std::unique_ptr<Device::CVmDevice>> m_devices;
    int m_ends = 0;
};
