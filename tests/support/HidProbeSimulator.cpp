#include "tests/support/HidProbeSimulator.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/Event.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace
{
constexpr uint8_t kBufferFree = 0x01;
constexpr uint8_t kHostData = 0x02;
constexpr uint8_t kLengthMask = 0x3F;
} // namespace

struct HidProbeSimulator::State
{
    Probe info;
    QByteArray feature;
    std::deque<QByteArray> answers;
    int postDelay = 0;
    int lastSequence = 0;
    int sequenceErrors = 0;
    int featureReads = 0;
    QList<QByteArray> hostPayloads;
    Responder responder;
    uint8_t inputToggle = 0;
    std::vector<std::deque<QByteArray>*> inputQueues;
    uint32_t failing = 0;
    bool unplugged = false;
    bool deaf = false;
};

class HidProbeSimulator::Handle final : public Platform::HidDevice
{
public:
    Handle(std::shared_ptr<HidProbeSimulator> bus, QString path, uint16_t featureLength, uint16_t inputLength)
        : m_bus(std::move(bus)), m_path(std::move(path)), m_featureLength(featureLength),
          m_inputLength(inputLength)
    {
    }
    ~Handle() override
    {
        std::lock_guard guard(m_bus->m_lock);
        if (State* s = m_bus->Find(m_path))
            s->inputQueues.erase(std::remove(s->inputQueues.begin(), s->inputQueues.end(), &m_queue),
                                 s->inputQueues.end());
    }
    void Register()
    {
        std::lock_guard guard(m_bus->m_lock);
        if (State* s = m_bus->Find(m_path))
            s->inputQueues.push_back(&m_queue);
    }

    uint16_t FeatureReportLength() const override { return m_featureLength; }
    uint16_t InputReportLength() const override { return m_inputLength; }

    uint32_t GetFeature(uint8_t* buffer, size_t len) override
    {
        std::lock_guard guard(m_bus->m_lock);
        State* s = m_bus->Find(m_path);
        if (const uint32_t code = Failure(s))
            return code;
        ++s->featureReads;
        const bool idle = (s->feature[1] & kBufferFree) && (s->feature[2] & kLengthMask) == 0;
        if (idle && !s->answers.empty())
        {
            if (s->postDelay > 0)
                --s->postDelay;
            else
                m_bus->PostNextLocked(*s);
        }
        std::memset(buffer, 0, len);
        std::memcpy(buffer, s->feature.constData(),
                    std::min<size_t>(len, static_cast<size_t>(s->feature.size())));
        return Err::Success;
    }

    uint32_t SetFeature(const uint8_t* data, size_t len) override
    {
        Responder responder;
        QByteArray payload;
        {
            std::lock_guard guard(m_bus->m_lock);
            State* s = m_bus->Find(m_path);
            if (const uint32_t code = Failure(s))
                return code;
            if (len != static_cast<size_t>(s->feature.size()))
                return Err::InvalidParameter;
            QByteArray report(reinterpret_cast<const char*>(data), static_cast<qsizetype>(len));
            const uint8_t flags = static_cast<uint8_t>(report[1]);
            const int length = report[2] & kLengthMask;
            // The toggle bits are the probe's own; the host only echoes them.
            report[1] = static_cast<char>((flags & 0x1F) | (s->feature[1] & 0xE0));
            if ((flags & kHostData) && !(flags & kBufferFree) && length > 0 && s->deaf)
                s->feature = report;
            else if ((flags & kHostData) && !(flags & kBufferFree) && length > 0)
            {
                const int sequence = (flags >> 2) & 7;
                if (sequence != ((s->lastSequence + 1) & 7))
                    ++s->sequenceErrors;
                s->lastSequence = sequence;
                payload = report.mid(3, std::min<int>(length, static_cast<int>(len) - 3));
                s->hostPayloads.append(payload);
                responder = s->responder;
                report[1] = static_cast<char>(report[1] | kBufferFree); // taken
                s->feature = report;
            }
            else if ((flags & kBufferFree) && !(flags & kHostData) && length > 0)
            {
                // The host took the probe's payload.
                s->feature[1] = static_cast<char>(s->feature[1] | kBufferFree);
                s->feature[2] = static_cast<char>(s->feature[2] & ~kLengthMask);
                AfterTaken(*s);
            }
            else
            {
                // The host finished or withdrew its payload.
                s->feature = report;
                if ((flags & kBufferFree) && length == 0)
                    AfterTaken(*s);
            }
        }
        if (responder)
            responder(payload, *m_bus);
        return Err::Success;
    }

    uint32_t ReadInput(uint8_t* buffer, size_t len, uint32_t timeoutMs, size_t& got) override
    {
        got = 0;
        std::unique_lock lock(m_bus->m_lock);
        State* s = m_bus->Find(m_path);
        if (!s)
            return Err::DeviceNotConnected;
        const auto ready = [&] { return s->unplugged || s->failing || !m_queue.empty(); };
        if (timeoutMs == Platform::kInfinite)
            m_bus->m_changed.wait(lock, ready);
        else if (!m_bus->m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
            return Err::Timeout;
        if (const uint32_t code = Failure(s))
            return code;
        const QByteArray report = m_queue.front();
        m_queue.pop_front();
        got = std::min<size_t>(len, static_cast<size_t>(report.size()));
        std::memcpy(buffer, report.constData(), got);
        return Err::Success;
    }

private:
    static uint32_t Failure(const State* s)
    {
        if (!s || s->unplugged)
            return Err::DeviceNotConnected;
        return s->failing;
    }
    void AfterTaken(State& s)
    {
        if (s.info.timing == Timing::PostAtOnce)
        {
            if (!s.answers.empty())
                m_bus->PostNextLocked(s);
        }
        else
            s.postDelay = 1;
    }

    std::shared_ptr<HidProbeSimulator> m_bus;
    QString m_path;
    uint16_t m_featureLength;
    uint16_t m_inputLength;
    std::deque<QByteArray> m_queue;
};

class HidProbeSimulator::Backend final : public Platform::HidBackend
{
public:
    explicit Backend(std::weak_ptr<HidProbeSimulator> bus) : m_bus(std::move(bus)) {}

    uint32_t Enumerate(std::vector<Platform::HidDeviceInfo>& devices) override
    {
        devices.clear();
        auto bus = m_bus.lock();
        if (!bus)
            return Err::Success;
        std::lock_guard guard(bus->m_lock);
        for (const auto& s : bus->m_probes)
        {
            if (s->unplugged)
                continue;
            Platform::HidDeviceInfo d;
            if (s->info.unreadable)
                d.error = Err::GenFailure;
            else
            {
                d.path = s->info.path;
                d.vendorId = s->info.vendorId;
                d.productId = s->info.productId;
            }
            devices.push_back(d);
        }
        return Err::Success;
    }

    uint32_t Open(const QString& path, std::unique_ptr<Platform::HidDevice>& device) override
    {
        device.reset();
        auto bus = m_bus.lock();
        if (!bus)
            return Err::FileNotFound;
        uint16_t featureLength = 0;
        uint16_t inputLength = 0;
        {
            std::lock_guard guard(bus->m_lock);
            State* s = bus->Find(path);
            if (!s || s->unplugged)
                return Err::FileNotFound;
            featureLength = s->info.featureLength;
            inputLength = s->info.inputLength;
        }
        auto handle = std::make_unique<Handle>(bus, path, featureLength, inputLength);
        handle->Register();
        device = std::move(handle);
        return Err::Success;
    }

private:
    std::weak_ptr<HidProbeSimulator> m_bus;
};

std::shared_ptr<HidProbeSimulator> HidProbeSimulator::Install()
{
    std::shared_ptr<HidProbeSimulator> bus(new HidProbeSimulator);
    Platform::SetHidBackend(std::make_shared<Backend>(bus));
    return bus;
}

HidProbeSimulator::~HidProbeSimulator()
{
    Platform::SetHidBackend(nullptr);
}

HidProbeSimulator::State* HidProbeSimulator::Find(const QString& path) const
{
    for (const auto& s : m_probes)
        if (s->info.path == path)
            return s.get();
    return nullptr;
}

void HidProbeSimulator::AddProbe(const Probe& probe)
{
    std::lock_guard guard(m_lock);
    auto s = std::make_unique<State>();
    s->info = probe;
    s->feature = QByteArray(std::max<int>(probe.featureLength, 3), '\0');
    s->feature[1] = static_cast<char>(kBufferFree); // nothing pending either way
    m_probes.push_back(std::move(s));
}

void HidProbeSimulator::PostNextLocked(State& s)
{
    const QByteArray payload = s.answers.front();
    s.answers.pop_front();
    const uint8_t toggle = static_cast<uint8_t>((((s.feature[1] >> 5) & 7) + 1) & 7);
    s.feature.fill('\0', s.feature.size());
    s.feature[1] = static_cast<char>(toggle << 5); // buffer not free, not host data
    s.feature[2] = static_cast<char>(payload.size() & kLengthMask);
    std::memcpy(s.feature.data() + 3, payload.constData(), static_cast<size_t>(payload.size()));
    s.postDelay = 0;
}

void HidProbeSimulator::Post(const QString& path, const QByteArray& payload)
{
    std::lock_guard guard(m_lock);
    State* s = Find(path);
    if (!s)
        return;
    const int room = std::min<int>(s->info.featureLength - 3, kLengthMask);
    for (qsizetype at = 0; at < payload.size(); at += room)
        s->answers.push_back(payload.mid(at, room));
}

void HidProbeSimulator::SetResponder(const QString& path, Responder responder)
{
    std::lock_guard guard(m_lock);
    if (State* s = Find(path))
        s->responder = std::move(responder);
}

QList<QByteArray> HidProbeSimulator::HostPayloads(const QString& path) const
{
    std::lock_guard guard(m_lock);
    const State* s = Find(path);
    return s ? s->hostPayloads : QList<QByteArray>();
}

int HidProbeSimulator::SequenceErrors(const QString& path) const
{
    std::lock_guard guard(m_lock);
    const State* s = Find(path);
    return s ? s->sequenceErrors : 0;
}

int HidProbeSimulator::FeatureReads(const QString& path) const
{
    std::lock_guard guard(m_lock);
    const State* s = Find(path);
    return s ? s->featureReads : 0;
}

QByteArray HidProbeSimulator::FeatureReport(const QString& path) const
{
    std::lock_guard guard(m_lock);
    const State* s = Find(path);
    return s ? s->feature : QByteArray();
}

void HidProbeSimulator::PostInput(const QString& path, const QByteArray& payload)
{
    QByteArray report;
    {
        std::lock_guard guard(m_lock);
        State* s = Find(path);
        if (!s)
            return;
        s->inputToggle = static_cast<uint8_t>((s->inputToggle + 1) & 7);
        report = QByteArray(s->info.inputLength, '\0');
        report[1] = static_cast<char>((payload.size() & 0x0F) | (s->inputToggle << 5));
        std::memcpy(report.data() + 2, payload.constData(),
                    std::min<size_t>(static_cast<size_t>(payload.size()), s->info.inputLength - 2u));
    }
    PostInputRaw(path, report);
}

void HidProbeSimulator::PostInputRaw(const QString& path, const QByteArray& report)
{
    std::lock_guard guard(m_lock);
    if (State* s = Find(path))
        for (auto* queue : s->inputQueues)
            queue->push_back(report);
    m_changed.notify_all();
}

void HidProbeSimulator::SetDeaf(const QString& path, bool deaf)
{
    std::lock_guard guard(m_lock);
    if (State* s = Find(path))
        s->deaf = deaf;
}

void HidProbeSimulator::SetFailing(const QString& path, uint32_t code)
{
    std::lock_guard guard(m_lock);
    if (State* s = Find(path))
        s->failing = code;
    m_changed.notify_all();
}

void HidProbeSimulator::Unplug(const QString& path)
{
    std::lock_guard guard(m_lock);
    if (State* s = Find(path))
        s->unplugged = true;
    m_changed.notify_all();
}

int HidProbeSimulator::OpenHandles(const QString& path) const
{
    std::lock_guard guard(m_lock);
    const State* s = Find(path);
    return s ? static_cast<int>(s->inputQueues.size()) : 0;
}
