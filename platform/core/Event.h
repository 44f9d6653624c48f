#pragma once
#include <QString>

#include <cstdint>
#include <memory>
#include <span>

namespace Platform
{

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;
inline constexpr int kWaitTimeout = -1;

// A signal one thread sets and others wait for, with a bounded wait. A manual-reset
// event stays set until Reset; an auto-reset event lets one wait through and clears.
// It is backed by an eventfd, so it can also wake a poll() on device descriptors.
class Event
{
public:
    explicit Event(bool manualReset = true, bool initiallySet = false);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;

    // Waits until the event is set or timeoutMs have passed (kInfinite: no limit).
    // Returns true when the event was set.
    bool Wait(uint32_t timeoutMs);

    // The descriptor to add to a poll() set; readable while the event is set.
    int Fd() const { return m_fd; }
    bool IsManualReset() const { return m_manual; }

    // Waits for the first of several events; returns its index or kWaitTimeout.
    static int WaitAny(std::span<Event* const> events, uint32_t timeoutMs);

    // Process-wide named events: the same name gives the same (manual-reset) event.
    static std::shared_ptr<Event> Named(const QString& name, bool manualReset = true);

    // Consumes the signal of an auto-reset event after poll() reported it readable;
    // false when another waiter took it first.
    bool TryConsume();

private:
    int m_fd;
    bool m_manual;
};

} // namespace Platform
