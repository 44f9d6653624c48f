#pragma once
#include "platform/io/HidBackend.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// The indentation tester's probe as the HID bus shows it, with the probe's side of the
// feature-report handshake:
//   byte 1 bit 0 buffer free, bit 1 host data valid, bits 2-4 host sequence,
//   bits 5-7 toggle (the probe changes it with each report it places); byte 2 bits 0-5
//   payload length; payload from byte 3.
// The probe takes a host payload by setting "buffer free" (checking the sequence), and
// when the host has taken a probe payload (written the report back with "buffer free")
// it clears the length. Its queued answers are placed
//   - AckThenPost: on a later poll, after the host has seen the acknowledgement;
//   - PostAtOnce: in the same moment the host's write-back arrives, so the very next poll
//     already shows the next report.
// Input reports (the data channel) go to every open handle's own queue, as hidraw does.
// Install() makes it the process's HID backend until the simulator is destroyed.
class HidProbeSimulator : public std::enable_shared_from_this<HidProbeSimulator>
{
public:
    enum class Timing
    {
        AckThenPost,
        PostAtOnce
    };
    struct Probe
    {
        QString path;
        uint16_t vendorId = 0x3A7C;
        uint16_t productId = 0x0102;
        uint16_t featureLength = 64; // report id byte included
        uint16_t inputLength = 11;
        bool unreadable = false;
        Timing timing = Timing::AckThenPost;
    };
    using Responder = std::function<void(const QByteArray& hostPayload, HidProbeSimulator& bus)>;

    static std::shared_ptr<HidProbeSimulator> Install();
    ~HidProbeSimulator();

    void AddProbe(const Probe& probe);
    // Queues an answer of the probe (split into reports of at most featureLength - 3 bytes).
    void Post(const QString& path, const QByteArray& payload);
    void SetResponder(const QString& path, Responder responder);
    // Every host payload taken, in order, and the bytes of all of them.
    QList<QByteArray> HostPayloads(const QString& path) const;
    int SequenceErrors(const QString& path) const;
    int FeatureReads(const QString& path) const;
    // The probe's feature report as it stands.
    QByteArray FeatureReport(const QString& path) const;

    // An input report with `payload` (at most inputLength - 2 bytes) and the next toggle
    // value, or a raw report exactly as given.
    void PostInput(const QString& path, const QByteArray& payload);
    void PostInputRaw(const QString& path, const QByteArray& report);

    // A deaf probe leaves host payloads in the report untaken.
    void SetDeaf(const QString& path, bool deaf);
    // Every transfer fails with `code` (0 ends that); Unplug also removes it from the list.
    void SetFailing(const QString& path, uint32_t code);
    void Unplug(const QString& path);
    int OpenHandles(const QString& path) const;

private:
    struct State;
    class Backend;
    class Handle;
    HidProbeSimulator() = default;
    State* Find(const QString& path) const;
    void PostNextLocked(State& s);

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::unique_ptr<State>> m_probes;
};
