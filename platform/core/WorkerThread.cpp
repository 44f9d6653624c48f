#include "platform/core/WorkerThread.h"

namespace Platform
{

WorkerThread::~WorkerThread()
{
    Stop(2000);
}

bool WorkerThread::Start(Body body)
{
    if (IsRunning())
        return false;
    if (m_thread.joinable())
        m_thread.join();
    auto state = std::make_shared<WorkerState>();
    m_state = state;
    m_thread = std::thread([state, body = std::move(body)]() {
        try
        {
            body(*state);
        }
        catch (...)
        {
            // A worker's failures are reported by its body; nothing may escape the thread.
        }
        state->finished.Set();
    });
    return true;
}

void WorkerThread::RequestStop()
{
    if (!m_state)
        return;
    m_state->stopRequested.store(true, std::memory_order_release);
    m_state->stopEvent.Set();
}

bool WorkerThread::Stop(uint32_t timeoutMs)
{
    if (!m_state)
        return true;
    RequestStop();
    const bool done = m_state->finished.Wait(timeoutMs);
    if (m_thread.joinable())
    {
        if (done)
            m_thread.join();
        else
            m_thread.detach();
    }
    // A detached thread holds its own reference to the state.
    m_state.reset();
    return done;
}

bool WorkerThread::IsRunning() const
{
    return m_state && !m_state->finished.IsSet();
}

} // namespace Platform
