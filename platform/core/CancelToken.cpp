#include "platform/core/CancelToken.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace Platform
{

struct CancelToken::State
{
    std::atomic<bool> cancelled{false};
    std::mutex lock;
    std::condition_variable changed;
};

CancelToken CancelToken::Create()
{
    CancelToken token;
    token.m_state = std::make_shared<State>();
    return token;
}

void CancelToken::Cancel() const
{
    if (!m_state)
        return;
    {
        std::lock_guard guard(m_state->lock);
        m_state->cancelled.store(true);
    }
    m_state->changed.notify_all();
}

bool CancelToken::IsCancelled() const
{
    return m_state && m_state->cancelled.load();
}

bool CancelToken::Sleep(uint32_t ms) const
{
    const auto duration = std::chrono::milliseconds(ms);
    if (!m_state)
    {
        std::this_thread::sleep_for(duration);
        return true;
    }
    std::unique_lock guard(m_state->lock);
    return !m_state->changed.wait_for(guard, duration, [this] { return m_state->cancelled.load(); });
}

} // namespace Platform
