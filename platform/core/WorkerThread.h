#pragma once
#include "platform/core/Event.h"

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace Platform
{

// The part of a worker that outlives the WorkerThread object when a stop times out:
// the thread keeps using it until it returns on its own.
struct WorkerState
{
    std::atomic<bool> stopRequested{false};
    Event stopEvent{true, false};
    Event finished{true, false};

    bool StopRequested() const { return stopRequested.load(std::memory_order_acquire); }
    // Sleeps up to ms; returns true early when a stop was requested.
    bool SleepOrStop(uint32_t ms) { return stopEvent.Wait(ms); }
};

// A thread that is never killed. A stop sets the flag and the event; Stop(timeout)
// waits that long and, when the thread has not finished, lets it go on alone (its
// state stays alive through the shared pointer) and reports false.
class WorkerThread
{
public:
    using Body = std::function<void(WorkerState&)>;

    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts the body on a new thread; false when one is already running.
    bool Start(Body body);
    void RequestStop();
    // Requests a stop and waits up to timeoutMs; true when the thread has finished.
    bool Stop(uint32_t timeoutMs);
    bool IsRunning() const;
    std::shared_ptr<WorkerState> State() const { return m_state; }

private:
    std::shared_ptr<WorkerState> m_state;
    std::thread m_thread;
};

} // namespace Platform
