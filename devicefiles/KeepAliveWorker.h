#pragma once
#include "platform/core/CancelToken.h"
#include "platform/core/WorkerThread.h"

#include <cstdint>
#include <functional>
#include <memory>

class QObject;

// Runs the periodic keep-alive of a held tester on a thread of its own, so that a tester
// that has gone silent holds up that thread for its time-out instead of the window.
//
// One request at a time: Post refuses while one is under way. The request runs on the
// worker; its result comes back as a queued call through the context object, which lives
// on the UI thread and must outlive the worker. A result that is no longer awaited (after
// Stop) is dropped. Post and Stop are called on the UI thread. The request itself must
// guard what it touches (the tester's connection holds its device lock around it).
//
// Each request gets a cancel token of its own, which it lends to the device it asks:
// Stop fires it, so a request waiting on a tester that stopped answering ends within the
// device's kCancelReactMs rather than its time-out, and lets go of the device.
class CKeepAliveWorker
{
public:
    using Request = std::function<bool(const Platform::CancelToken& cancel)>;
    using Done = std::function<void(bool ok)>;

    CKeepAliveWorker();
    ~CKeepAliveWorker();
    CKeepAliveWorker(const CKeepAliveWorker&) = delete;
    CKeepAliveWorker& operator=(const CKeepAliveWorker&) = delete;

    // False while a request is under way or when the thread cannot be started.
    bool Post(Request request, QObject* context, Done done);
    // A request has been posted and its result not yet delivered.
    bool Busy() const { return m_busy; }
    // Cancels a request under way, waits up to timeoutMs for it to end and ends the
    // thread. A result that arrives afterwards is dropped.
    bool Stop(uint32_t timeoutMs);

private:
    struct SShared;

    std::shared_ptr<SShared> m_shared;
    Platform::WorkerThread m_thread;
    bool m_busy = false;
    uint64_t m_ticket = 0;
};
