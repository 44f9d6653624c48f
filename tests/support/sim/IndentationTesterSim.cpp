#include "tests/support/sim/IndentationTesterSim.h"

#include <chrono>

namespace Sim
{

namespace Curves
{
namespace
{
struct Shape
{
    int contact = 8000; // the contact minimum a
    int depth = 1000;   // remaining depth b - a
    int extra = 384;    // plateau above the remaining depth
    int rest = 4;       // samples above the contact point before it
    int low = 20;       // samples at the contact minimum
    int ramp = 16;
    int plateau = 160;
    int release = 12;
    int tail = 80;
};

std::vector<uint16_t> Make(const Shape& s)
{
    const int a = s.contact;
    const int e = a + s.depth + s.extra;
    const int b = a + s.depth;
    std::vector<uint16_t> out;
    out.insert(out.end(), size_t(s.rest), uint16_t(a + 20));
    out.insert(out.end(), size_t(s.low), uint16_t(a));
    for (int i = 1; i <= s.ramp; ++i)
        out.push_back(uint16_t(a + (e - a) * i / s.ramp));
    out.insert(out.end(), size_t(s.plateau), uint16_t(e));
    for (int i = 1; i <= s.release; ++i)
        out.push_back(uint16_t(e - (e - b) * i / s.release));
    out.insert(out.end(), size_t(s.tail), uint16_t(b));
    return out;
}
} // namespace

std::vector<uint16_t> Passing()
{
    return Make({});
}

std::vector<uint16_t> TooShort()
{
    std::vector<uint16_t> c = Passing();
    c.resize(127);
    return c;
}

std::vector<uint16_t> PressedTooFast()
{
    std::vector<uint16_t> c = Passing();
    c[0] = 8000;
    return c;
}

std::vector<uint16_t> ReleasedTooFast()
{
    Shape s;
    s.release = 1;
    s.tail = 1;
    return Make(s);
}

std::vector<uint16_t> ClampSuspected()
{
    Shape s;
    s.extra = 1000;
    return Make(s);
}

std::vector<uint16_t> Vibration()
{
    std::vector<uint16_t> c = Passing();
    for (size_t i = 100; i < 120; ++i)
        c[i] = uint16_t(c[i] - 150);
    return c;
}

std::vector<uint16_t> InvalidSamples()
{
    return {0, 0xFFFF, 35000, 40000};
}
} // namespace Curves

HidControlLink::HidControlLink(std::shared_ptr<HidProbeSimulator> bus, QString path)
    : m_bus(std::move(bus)), m_path(std::move(path)), m_queue(std::make_shared<Queue>())
{
    std::weak_ptr<Queue> weak = m_queue;
    m_bus->SetResponder(m_path,
                        [weak](const QByteArray& payload, HidProbeSimulator&)
                        {
                            if (auto queue = weak.lock())
                            {
                                std::lock_guard guard(queue->lock);
                                queue->bytes.insert(queue->bytes.end(), payload.begin(), payload.end());
                                queue->changed.notify_all();
                            }
                        });
}

HidControlLink::~HidControlLink()
{
    m_bus->SetResponder(m_path, nullptr);
}

int HidControlLink::Read(uint8_t* buffer, size_t n, int timeoutMs)
{
    std::unique_lock guard(m_queue->lock);
    const auto ready = [&] { return m_queue->stopped || !m_queue->bytes.empty(); };
    if (timeoutMs < 0)
        m_queue->changed.wait(guard, ready);
    else if (!m_queue->changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), ready))
        return 0;
    if (m_queue->stopped)
        return -1;
    size_t got = 0;
    while (got < n && !m_queue->bytes.empty())
    {
        buffer[got++] = m_queue->bytes.front();
        m_queue->bytes.pop_front();
    }
    return int(got);
}

bool HidControlLink::Write(const uint8_t* data, size_t n)
{
    m_bus->Post(m_path, QByteArray(reinterpret_cast<const char*>(data), qsizetype(n)));
    return true;
}

void HidControlLink::Drop()
{
    m_bus->Unplug(m_path);
    Stop();
}

void HidControlLink::Stop()
{
    std::lock_guard guard(m_queue->lock);
    m_queue->stopped = true;
    m_queue->changed.notify_all();
}

IndentationTesterSim::IndentationTesterSim(std::shared_ptr<HidProbeSimulator> bus, QString path)
    : m_bus(std::move(bus)), m_path(std::move(path)), m_engine(*this)
{
    HidProbeSimulator::Probe probe;
    probe.path = m_path;
    m_bus->AddProbe(probe);
    m_pump = std::thread([this] { Pump(); });
    m_engine.ServeLink(std::make_unique<HidControlLink>(m_bus, m_path));
}

IndentationTesterSim::~IndentationTesterSim()
{
    m_engine.Stop();
    {
        std::lock_guard guard(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    m_pump.join();
}

void IndentationTesterSim::SetIdentity(const Identity& identity)
{
    std::lock_guard guard(m_lock);
    m_identity = identity;
}

void IndentationTesterSim::SetIdAnswer(const QByteArray& answer)
{
    std::lock_guard guard(m_lock);
    m_idAnswer = answer;
}

void IndentationTesterSim::QueueSamples(const std::vector<uint16_t>& samples)
{
    {
        std::lock_guard guard(m_lock);
        m_samples.insert(m_samples.end(), samples.begin(), samples.end());
    }
    m_changed.notify_all();
}

void IndentationTesterSim::QueuePause(int ms)
{
    {
        std::lock_guard guard(m_lock);
        m_samples.push_back(-ms);
    }
    m_changed.notify_all();
}

void IndentationTesterSim::SetSampleRate(int perSecond)
{
    std::lock_guard guard(m_lock);
    m_rate = perSecond > 0 ? perSecond : kSampleRate;
}

void IndentationTesterSim::Pump()
{
    auto next = std::chrono::steady_clock::now();
    std::unique_lock guard(m_lock);
    for (;;)
    {
        m_changed.wait(guard, [&] { return m_stop || (m_sampling.load() && !m_samples.empty()); });
        if (m_stop)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (next < now)
            next = now;
        if (m_changed.wait_until(guard, next, [&] { return m_stop; }))
            return;
        if (!m_sampling.load() || m_samples.empty())
            continue;
        const int32_t item = m_samples.front();
        m_samples.pop_front();
        if (item < 0)
        {
            // A pause: nothing is sent for that long.
            next += std::chrono::milliseconds(-item);
            continue;
        }
        QByteArray packet(8, '\0');
        packet[0] = char(item & 0xFF);
        packet[1] = char(item >> 8);
        // Sent and counted under the lock that switching sampling off takes: once the off
        // is answered, no sample goes out and the count stands (the bus takes no lock of
        // ours).
        m_bus->PostInput(m_path, packet);
        ++m_sent;
        // On a fixed schedule at the sample rate.
        next += std::chrono::microseconds(1000000 / m_rate);
    }
}

void IndentationTesterSim::OnText(const QByteArray& command, Session& session)
{
    Identity id;
    QByteArray idAnswer;
    {
        std::lock_guard guard(m_lock);
        id = m_identity;
        idAnswer = m_idAnswer;
    }
    if (command == "@ID@")
    {
        if (idAnswer.isEmpty())
            idAnswer = id.name + ';' + id.firmwareVersion + ';' + id.serialNumber + ';' +
                       QByteArray::number(id.signature, 16).toUpper().rightJustified(8, '0') + ';' +
                       id.hardwareRevision;
        session.ReplyLine(idAnswer);
    }
    else if (command == "ID")
    {
        session.ReplyLine(id.name + ';' + id.firmwareVersion + ';' + id.serialNumber);
    }
    else
    {
        session.ReplyLine("?");
    }
}

BinaryReply IndentationTesterSim::OnBinary(uint8_t command, const QByteArray& params, Session&)
{
    const auto p = [&](int i) { return i < params.size() ? uint8_t(params.at(i)) : uint8_t(0); };
    if (command == 0xD3 && params.size() == 2 && p(0) == 1)
    {
        {
            std::lock_guard guard(m_lock);
            m_sampling.store(p(1) == 1);
        }
        m_changed.notify_all();
        return BinaryReply::Done();
    }
    if (command == 0xF4 && (p(0) == 0x10 || p(0) == 0x11))
    {
        m_remoteOpen.store(p(0) == 0x10);
        return BinaryReply::Data(QByteArray(1, 0));
    }
    return BinaryReply::Status(0xFE);
}

} // namespace Sim
