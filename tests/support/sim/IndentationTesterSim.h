#pragma once
#include "tests/support/HidProbeSimulator.h"
#include "tests/support/sim/FrameEngine.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace Sim
{

// Depth curves of one indentation test as the probe reports them (hundredths of a
// micrometre): a short rest above the contact point, the contact minimum, the loading
// ramp, the plateau under load and the release to the remaining depth.
namespace Curves
{
// Passes the curve check (code 0): depth 10 um, plateau 3.84 um above it.
std::vector<uint16_t> Passing();
std::vector<uint16_t> TooShort();        // 512: fewer than 128 samples
std::vector<uint16_t> PressedTooFast();  // 514: the minimum among the first samples
std::vector<uint16_t> ReleasedTooFast(); // 515: released in one step at the end
std::vector<uint16_t> ClampSuspected();  // 516: plateau far above the depth
std::vector<uint16_t> Vibration();       // 517: a dip of 150 on the plateau
// The values a probe sends that are no depth: 0, 0xFFFF and 35000 or more.
std::vector<uint16_t> InvalidSamples();
} // namespace Curves

// The control channel of a simulated HID probe as a link: host payloads arrive through
// the probe simulator's responder, answers go back as probe reports.
class HidControlLink : public Link
{
public:
    HidControlLink(std::shared_ptr<HidProbeSimulator> bus, QString path);
    ~HidControlLink() override;
    int Read(uint8_t* buffer, size_t n, int timeoutMs) override;
    bool Write(const uint8_t* data, size_t n) override;
    void Drop() override;
    void Stop() override;

private:
    struct Queue
    {
        std::mutex lock;
        std::condition_variable changed;
        std::deque<uint8_t> bytes;
        bool stopped = false;
    };
    std::shared_ptr<HidProbeSimulator> m_bus;
    QString m_path;
    std::shared_ptr<Queue> m_queue;
};

// The indentation tester on a simulated HID probe: identity ("@ID@", "ID"), keep-alive,
// and sampling switched by 0xD3 [1, 1] / [1, 0]: while it is on, queued samples go out
// as 8-byte packets (the sample as the first little-endian word) in input reports, 155
// per second. Nothing is sent while the queue is empty, as between two tests.
class IndentationTesterSim : public Profile
{
public:
    struct Identity
    {
        QByteArray name = "Veskamon 3 #2";
        QByteArray firmwareVersion = "1.0.3";
        QByteArray serialNumber = "VK12-345-6789";
        uint32_t signature = 0x08000102; // top byte 8: the indentation tester's class
        QByteArray hardwareRevision = "B3";
    };

    // Adds a probe at path to the bus and serves its control channel.
    IndentationTesterSim(std::shared_ptr<HidProbeSimulator> bus, QString path);
    ~IndentationTesterSim() override;

    FrameEngine& Engine() { return m_engine; }
    const QString& Path() const { return m_path; }

    void SetIdentity(const Identity& identity);
    // Replaces the whole "@ID@" answer (empty: built from the identity).
    void SetIdAnswer(const QByteArray& answer);
    static constexpr int kSampleRate = 155;

    void QueueSamples(const std::vector<uint16_t>& samples);
    // Nothing is sent for ms milliseconds once the samples queued before are out.
    void QueuePause(int ms);
    // Samples per second (kSampleRate unless changed).
    void SetSampleRate(int perSecond);
    bool SamplingOn() const { return m_sampling.load(); }
    // Samples sent so far.
    int SentSamples() const { return m_sent.load(); }
    bool RemoteOpen() const { return m_remoteOpen.load(); }

    void OnText(const QByteArray& command, Session& session) override;
    BinaryReply OnBinary(uint8_t command, const QByteArray& params, Session& session) override;

private:
    void Pump();

    std::shared_ptr<HidProbeSimulator> m_bus;
    QString m_path;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    Identity m_identity;
    QByteArray m_idAnswer;
    std::deque<int32_t> m_samples; // samples, and pauses as negative milliseconds
    int m_rate = kSampleRate;
    std::atomic<bool> m_sampling{false};
    std::atomic<bool> m_remoteOpen{false};
    std::atomic<int> m_sent{0};
    bool m_stop = false;
    std::thread m_pump;
    FrameEngine m_engine; // last: stops before the state above goes away
};

} // namespace Sim
