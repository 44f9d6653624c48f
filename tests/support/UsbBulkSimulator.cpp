#include "tests/support/UsbBulkSimulator.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/Event.h"

#include <chrono>
#include <cstring>

struct UsbBulkSimulator::State
{
    Device info;
    std::deque<QByteArray> toHost;
    QByteArray fromHost;
    Responder responder;
    bool stalled = false;
    bool outBlocked = false;
    bool unplugged = false;
    int openCount = 0;
    uint64_t cancelGeneration = 0;
};

class UsbBulkSimulator::Handle final : public Platform::UsbBulkDevice
{
public:
    Handle(std::shared_ptr<UsbBulkSimulator> bus, QString path)
        : m_bus(std::move(bus)), m_path(std::move(path))
    {
    }
    ~Handle() override
    {
        std::lock_guard guard(m_bus->m_lock);
        if (State* s = m_bus->Find(m_path))
            --s->openCount;
    }

    uint16_t InPacketSize() const override
    {
        std::lock_guard guard(m_bus->m_lock);
        const State* s = m_bus->Find(m_path);
        return s ? s->info.packetSize : 64;
    }

    uint32_t BulkIn(uint8_t* buffer, size_t len, uint32_t timeoutMs, size_t& done) override
    {
        done = 0;
        std::unique_lock lock(m_bus->m_lock);
        State* s = m_bus->Find(m_path);
        if (!s || s->unplugged)
            return Err::DeviceNotConnected;
        if (s->info.packetSize == 0 || len % s->info.packetSize != 0)
        {
            // The bus would report an overflow once the device sent a full packet.
            ++m_bus->m_oddReads;
            return Err::GenFailure;
        }
        const uint64_t generation = s->cancelGeneration;
        const auto ready = [&]
        { return s->unplugged || s->stalled || !s->toHost.empty() || s->cancelGeneration != generation; };
        if (!Wait(lock, timeoutMs, ready))
            return Err::Timeout;
        if (s->unplugged)
            return Err::DeviceNotConnected;
        if (s->stalled)
            return Err::GenFailure;
        if (s->cancelGeneration != generation)
            return Err::OperationAborted;
        QByteArray& front = s->toHost.front();
        done = std::min<size_t>(len, static_cast<size_t>(front.size()));
        std::memcpy(buffer, front.constData(), done);
        front.remove(0, static_cast<qsizetype>(done));
        if (front.isEmpty())
            s->toHost.pop_front();
        return Err::Success;
    }

    uint32_t BulkOut(const uint8_t* data, size_t len, uint32_t timeoutMs, size_t& done) override
    {
        done = 0;
        Responder responder;
        QByteArray chunk(reinterpret_cast<const char*>(data), static_cast<qsizetype>(len));
        {
            std::unique_lock lock(m_bus->m_lock);
            State* s = m_bus->Find(m_path);
            if (!s || s->unplugged)
                return Err::DeviceNotConnected;
            if (s->stalled)
                return Err::GenFailure;
            if (s->outBlocked)
            {
                const uint64_t generation = s->cancelGeneration;
                const bool ended =
                    Wait(lock, timeoutMs,
                         [&] { return s->unplugged || !s->outBlocked || s->cancelGeneration != generation; });
                if (!ended)
                    return Err::Timeout;
                if (s->unplugged)
                    return Err::DeviceNotConnected;
                if (s->outBlocked)
                    return Err::OperationAborted;
            }
            s->fromHost.append(chunk);
            done = len;
            responder = s->responder;
        }
        if (responder)
            responder(chunk, *m_bus);
        return Err::Success;
    }

    void CancelTransfers() override
    {
        std::lock_guard guard(m_bus->m_lock);
        if (State* s = m_bus->Find(m_path))
            ++s->cancelGeneration;
        m_bus->m_changed.notify_all();
    }

private:
    template <typename Pred> bool Wait(std::unique_lock<std::mutex>& lock, uint32_t timeoutMs, Pred ready)
    {
        if (timeoutMs == Platform::kInfinite)
        {
            m_bus->m_changed.wait(lock, ready);
            return true;
        }
        return m_bus->m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    }

    std::shared_ptr<UsbBulkSimulator> m_bus;
    QString m_path;
};

class UsbBulkSimulator::Backend final : public Platform::UsbBackend
{
public:
    explicit Backend(std::weak_ptr<UsbBulkSimulator> bus) : m_bus(std::move(bus)) {}

    uint32_t Enumerate(std::vector<Platform::UsbDeviceInfo>& devices) override
    {
        devices.clear();
        auto bus = m_bus.lock();
        if (!bus)
            return Err::Success;
        std::lock_guard guard(bus->m_lock);
        for (const auto& s : bus->m_devices)
        {
            if (s->unplugged)
                continue;
            Platform::UsbDeviceInfo d;
            d.path = s->info.path;
            if (s->info.unreadable)
            {
                d.error = Err::GenFailure;
                devices.push_back(d);
                continue;
            }
            d.vendorId = s->info.vendorId;
            d.productId = s->info.productId;
            Platform::UsbInterfaceInfo itf;
            itf.number = s->info.interfaceNumber;
            const uint8_t inType = s->info.bulkPair ? 0x02 : 0x03;
            itf.endpoints.push_back({0x81, inType, s->info.packetSize});
            itf.endpoints.push_back({0x02, 0x02, s->info.packetSize});
            d.interfaces.push_back(itf);
            devices.push_back(d);
        }
        return Err::Success;
    }

    uint32_t Open(const QString& devicePath, uint8_t, uint8_t, uint8_t,
                  std::unique_ptr<Platform::UsbBulkDevice>& device) override
    {
        device.reset();
        auto bus = m_bus.lock();
        if (!bus)
            return Err::FileNotFound;
        std::lock_guard guard(bus->m_lock);
        State* s = bus->Find(devicePath);
        if (!s || s->unplugged)
            return Err::FileNotFound;
        // Claiming the interface is exclusive.
        if (s->openCount > 0)
            return Err::AccessDenied;
        ++s->openCount;
        device = std::make_unique<Handle>(bus, devicePath);
        return Err::Success;
    }

private:
    std::weak_ptr<UsbBulkSimulator> m_bus;
};

std::shared_ptr<UsbBulkSimulator> UsbBulkSimulator::Install()
{
    std::shared_ptr<UsbBulkSimulator> bus(new UsbBulkSimulator);
    Platform::SetUsbBackend(std::make_shared<Backend>(bus));
    return bus;
}

UsbBulkSimulator::~UsbBulkSimulator()
{
    Platform::SetUsbBackend(nullptr);
}

UsbBulkSimulator::State* UsbBulkSimulator::Find(const QString& path) const
{
    for (const auto& s : m_devices)
        if (s->info.path == path)
            return s.get();
    return nullptr;
}

void UsbBulkSimulator::AddDevice(const Device& device)
{
    std::lock_guard guard(m_lock);
    auto s = std::make_unique<State>();
    s->info = device;
    m_devices.push_back(std::move(s));
}

void UsbBulkSimulator::Send(const QString& path, const QByteArray& bytes)
{
    std::lock_guard guard(m_lock);
    if (State* s = Find(path))
        s->toHost.push_back(bytes);
    m_changed.notify_all();
}

QByteArray UsbBulkSimulator::Received(const QString& path) const
{
    std::lock_guard guard(m_lock);
    const State* s = Find(path);
    return s ? s->fromHost : QByteArray();
}

void UsbBulkSimulator::SetResponder(const QString& path, Responder responder)
{
    std::lock_guard guard(m_lock);
    if (State* s = Find(path))
        s->responder = std::move(responder);
}

void UsbBulkSimulator::SetStalled(const QString& path, bool stalled)
{
    std::lock_guard guard(m_lock);
    if (State* s = Find(path))
        s->stalled = stalled;
    m_changed.notify_all();
}

void UsbBulkSimulator::SetOutBlocked(const QString& path, bool blocked)
{
    std::lock_guard guard(m_lock);
    if (State* s = Find(path))
        s->outBlocked = blocked;
    m_changed.notify_all();
}

void UsbBulkSimulator::Unplug(const QString& path)
{
    std::lock_guard guard(m_lock);
    if (State* s = Find(path))
        s->unplugged = true;
    m_changed.notify_all();
}

int UsbBulkSimulator::OddLengthReads() const
{
    std::lock_guard guard(m_lock);
    return m_oddReads;
}

bool UsbBulkSimulator::IsOpen(const QString& path) const
{
    std::lock_guard guard(m_lock);
    const State* s = Find(path);
    return s && s->openCount > 0;
}
