#include "devicefiles/KeepAliveWorker.h"

#include "platform/core/Event.h"

#include <QMetaObject>
#include <QObject>

#include <mutex>

// What the UI thread and the worker share; it outlives a worker that a stop let go.
struct CKeepAliveWorker::SShared
{
    Platform::Event wake{false, false};
    std::mutex lock;
    Request request;
    QObject* context = nullptr; // outlives the worker (see the header)
    Done done;
    uint64_t ticket = 0;
    Platform::CancelToken cancel; // the request's
};

CKeepAliveWorker::CKeepAliveWorker() = default;

CKeepAliveWorker::~CKeepAliveWorker()
{
    Stop(0);
}

bool CKeepAliveWorker::Post(Request request, QObject* context, Done done)
{
    if (m_busy || !context)
        return false;
    if (!m_thread.IsRunning())
    {
        auto shared = std::make_shared<SShared>();
        const bool started = m_thread.Start(
            [shared](Platform::WorkerState& state)
            {
                Platform::Event* events[] = {&state.stopEvent, &shared->wake};
                while (Platform::Event::WaitAny(events, Platform::kInfinite) == 1)
                {
                    Request run;
                    Done report;
                    QObject* target = nullptr;
                    uint64_t ticket = 0;
                    Platform::CancelToken cancel;
                    {
                        std::lock_guard guard(shared->lock);
                        run = std::move(shared->request);
                        report = std::move(shared->done);
                        target = shared->context;
                        ticket = shared->ticket;
                        cancel = shared->cancel;
                    }
                    if (!run)
                        continue;
                    bool ok = false;
                    try
                    {
                        ok = run(cancel);
                    }
                    catch (...)
                    {
                        ok = false;
                    }
                    if (state.StopRequested() || !target)
                        return;
                    // The queued call checks on the UI thread that this answer is still the
                    // one awaited.
                    QMetaObject::invokeMethod(
                        target,
                        [shared, ticket, report = std::move(report), ok]
                        {
                            bool current = false;
                            {
                                std::lock_guard guard(shared->lock);
                                current = shared->ticket == ticket;
                            }
                            if (current && report)
                                report(ok);
                        },
                        Qt::QueuedConnection);
                }
            });
        if (!started)
            return false;
        m_shared = std::move(shared);
    }
    Done finish = [this, done = std::move(done)](bool ok)
    {
        m_busy = false;
        if (done)
            done(ok);
    };
    {
        std::lock_guard guard(m_shared->lock);
        m_shared->request = std::move(request);
        m_shared->context = context;
        m_shared->done = std::move(finish);
        m_shared->ticket = ++m_ticket;
        m_shared->cancel = Platform::CancelToken::Create();
    }
    m_busy = true;
    m_shared->wake.Set();
    return true;
}

bool CKeepAliveWorker::Stop(uint32_t timeoutMs)
{
    if (m_shared)
    {
        // Whatever is still on its way is no longer awaited.
        std::lock_guard guard(m_shared->lock);
        // A request waiting on a silent tester lets go of it now.
        m_shared->cancel.Cancel();
        m_shared->ticket = 0;
        m_shared->request = nullptr;
        m_shared->done = nullptr;
    }
    m_busy = false;
    const bool stopped = m_thread.Stop(timeoutMs);
    m_shared.reset();
    return stopped;
}
