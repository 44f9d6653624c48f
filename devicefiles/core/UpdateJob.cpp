#include "devicefiles/core/UpdateJob.h"

#include "devicefiles/core/UpdateFtpClient.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

struct CUpdateJob::SState
{
    std::atomic<bool> cancelled{false};
    QPointer<QObject> receiver;
    bool hasReceiver = false;

    std::mutex lock;
    std::condition_variable ended;
    bool workDone = false;

    // Runs fn on the receiver's thread unless the job was cancelled or the receiver went.
    static void Queue(const std::shared_ptr<SState>& state, Report fn)
    {
        QObject* context = state->hasReceiver ? state->receiver.data() : QCoreApplication::instance();
        if (!context || !fn)
            return;
        QMetaObject::invokeMethod(
            context,
            [state, fn = std::move(fn)]
            {
                if (!state->cancelled && (!state->hasReceiver || state->receiver))
                    fn();
            },
            Qt::QueuedConnection);
    }
};

CUpdateJob::CUpdateJob() = default;

CUpdateJob::~CUpdateJob()
{
    Cancel();
}

bool CUpdateJob::Start(CUpdateFtpClient& client, QObject* receiver, Work work)
{
    if (m_running)
        return false;
    Join(); // a thread whose final report has run is ending or has ended
    auto state = std::make_shared<SState>();
    state->receiver = receiver;
    state->hasReceiver = receiver != nullptr;
    m_state = state;
    m_client = &client;
    try
    {
        m_thread = std::thread(
            [this, state, work = std::move(work)]
            {
                Report report;
                try
                {
                    report = work([state](Report fn) { SState::Queue(state, std::move(fn)); });
                }
                catch (...)
                {
                    // Whatever went wrong, the job ends and says nothing.
                    report = nullptr;
                }
                // Queued before the work counts as finished, so that whoever waited for
                // that finds the report already waiting. The job object is alive while the
                // report is not dropped: it cancels, and so drops the report, before it goes.
                SState::Queue(state,
                              [this, report = std::move(report)]
                              {
                                  Join();
                                  m_running = false;
                                  if (report)
                                      report();
                              });
                {
                    std::lock_guard guard(state->lock);
                    state->workDone = true;
                }
                state->ended.notify_all();
            });
    }
    catch (const std::system_error&)
    {
        m_state.reset();
        return false;
    }
    m_running = true;
    return true;
}

void CUpdateJob::Cancel()
{
    if (m_state)
        m_state->cancelled = true;
    if (m_thread.joinable() && m_client)
        m_client->Abort();
    Join();
    m_running = false;
}

void CUpdateJob::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

bool CUpdateJob::WaitFinished(int timeoutMs) const
{
    if (!m_state)
        return true;
    std::unique_lock lock(m_state->lock);
    return m_state->ended.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                                   [this] { return m_state->workDone; });
}
