#pragma once
#include "device/Callback.h"
#include "device/VmDevice.h"
#include "platform/core/ErrorCodes.h"
#include "streamio/IoStream.h"
#include "tests/support/ScriptedStream.h"

#include <QByteArray>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

// What an update reports: status texts, progress and the result, from any thread.
class UpdateRecorder : public Device::CCallback
{
public:
    struct Progress
    {
        int32_t value;
        int32_t mode;
        uint32_t duration;
        bool operator==(const Progress&) const = default;
    };

    void OnDeviceFound(Device::CVmDevice* device) override { delete device; }
    void OnStatusText(const QString& text) override
    {
        std::lock_guard guard(m_lock);
        statuses.append(text);
    }
    void OnJobFinished(const QString& text, int32_t code) override
    {
        std::lock_guard guard(m_lock);
        finished = true;
        message = text;
        result = code;
        m_changed.notify_all();
    }
    void OnProgress(int32_t value, int32_t mode, uint32_t duration) override
    {
        std::lock_guard guard(m_lock);
        progress.push_back({value, mode, duration});
    }
    bool WaitFinished(int timeoutMs)
    {
        std::unique_lock guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return finished; });
    }
    // The job's own progress: mode 1 without a duration.
    std::vector<int32_t> Overall() const
    {
        std::vector<int32_t> out;
        for (const Progress& p : progress)
            if (p.mode == 1 && p.duration == 0)
                out.push_back(p.value);
        return out;
    }

    QStringList statuses;
    std::vector<Progress> progress;
    bool finished = false;
    QString message;
    int32_t result = -1;

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
};

// A seekable stream over bytes in memory (a package file).
class MemoryStream : public StreamIO::CIoStream
{
public:
    explicit MemoryStream(QByteArray data) : CIoStream(QStringLiteral("package.lod")), m_data(std::move(data))
    {
    }
    bool Open(const QString&, uint32_t) override { return true; }
    void Close() override { m_open = false; }
    bool IsOpen() const override { return m_open; }
    bool IsSeekable() const override { return true; }
    uint32_t GetLength() override { return uint32_t(m_data.size()); }
    uint32_t GetPosition() override { return m_pos; }
    uint32_t Seek(int32_t offset, uint32_t origin) override
    {
        const int64_t base = origin == StreamIO::STREAM_SEEK_BEGIN ? 0
                             : origin == StreamIO::STREAM_SEEK_END ? m_data.size()
                                                                   : m_pos;
        m_pos = uint32_t(std::clamp<int64_t>(base + offset, 0, m_data.size()));
        return m_pos;
    }
    uint32_t SetPosition(uint32_t offset) override
    {
        return Seek(int32_t(offset), StreamIO::STREAM_SEEK_BEGIN);
    }
    uint32_t Read(void* buffer, uint32_t n) override
    {
        ClearError();
        if (m_throwAt >= 0 && int64_t(m_pos) + n > m_throwAt)
            Raise(Err::ReadFault);
        const uint32_t count = std::min<uint32_t>(n, uint32_t(m_data.size()) - m_pos);
        std::memcpy(buffer, m_data.constData() + m_pos, count);
        m_pos += count;
        return count;
    }
    uint32_t Write(const void*, uint32_t) override { return 0; }
    // Reads that reach this offset raise a stream exception.
    void ThrowAt(int64_t offset) { m_throwAt = offset; }

private:
    QByteArray m_data;
    uint32_t m_pos = 0;
    bool m_open = true;
    int64_t m_throwAt = -1;
};

// Attaches a scripted stream to a device; the script stays reachable.
inline ScriptedStream* AttachScript(Device::CVmDevice& device, uint32_t portKind = Device::portSerial)
{
    auto stream = std::make_unique<ScriptedStream>();
    ScriptedStream* raw = stream.get();
    std::unique_ptr<StreamIO::CIoStream> base = std::move(stream);
    if (!device.Attach(base, portKind))
        return nullptr;
    return raw;
}
