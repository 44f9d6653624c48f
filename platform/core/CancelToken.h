#pragma once
#include <cstdint>
#include <memory>

namespace Platform
{

// A request to stop, shared by everything that works for one job. The job, the device it
// drives and the device's command object hold copies of the job's token, so one Cancel
// reaches every check and every wait of that job, on whatever thread they run, and
// nothing else: a later job or the user's own commands carry other tokens and never see
// an abort that was meant for an earlier job.
//
// A default-constructed token can never be cancelled (a device outside a job runs its
// user's commands to the end). Copies share their state; every operation may be called
// from any thread.
class CancelToken
{
public:
    CancelToken() = default;
    // A token that Cancel can fire.
    static CancelToken Create();

    // Fires the token for good; waits in Sleep end at once. No effect on a default token.
    void Cancel() const;
    bool IsCancelled() const;
    // The one abortable sleep: waits up to ms; false when the token was fired before or
    // during the wait, true when the time ran out.
    bool Sleep(uint32_t ms) const;

    // Two handles on the same request (two default tokens are the same "never").
    bool operator==(const CancelToken& other) const { return m_state == other.m_state; }

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace Platform
