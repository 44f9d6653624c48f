#include "platform/core/Event.h"

#include "platform/core/Clock.h"

#include <QHash>

#include <cerrno>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace Platform
{

Event::Event(bool manualReset, bool initiallySet) : m_manual(manualReset)
{
    m_fd = ::eventfd(initiallySet ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_fd < 0)
        throw std::runtime_error("eventfd failed");
}

Event::~Event()
{
    ::close(m_fd);
}

void Event::Set()
{
    if (IsSet())
        return;
    uint64_t one = 1;
    // The counter cannot overflow: it is written only while it reads zero or one.
    while (::write(m_fd, &one, sizeof one) < 0 && errno == EINTR)
    {
    }
}

void Event::Reset()
{
    uint64_t value;
    while (::read(m_fd, &value, sizeof value) < 0 && errno == EINTR)
    {
    }
}

bool Event::IsSet() const
{
    pollfd p{m_fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

bool Event::TryConsume()
{
    if (m_manual)
        return IsSet();
    uint64_t value;
    for (;;)
    {
        if (::read(m_fd, &value, sizeof value) == sizeof value)
            return true;
        if (errno != EINTR)
            return false;
    }
}

bool Event::Wait(uint32_t timeoutMs)
{
    Event* self = this;
    return WaitAny(std::span<Event* const>(&self, 1), timeoutMs) == 0;
}

int Event::WaitAny(std::span<Event* const> events, uint32_t timeoutMs)
{
    std::vector<pollfd> fds(events.size());
    for (size_t i = 0; i < events.size(); ++i)
        fds[i] = pollfd{events[i]->m_fd, POLLIN, 0};

    const uint64_t start = MonotonicMs();
    for (;;)
    {
        int waitMs = -1;
        if (timeoutMs != kInfinite)
        {
            const uint64_t elapsed = MonotonicMs() - start;
            waitMs = elapsed >= timeoutMs ? 0 : static_cast<int>(timeoutMs - elapsed);
        }
        const int n = ::poll(fds.data(), fds.size(), waitMs);
        if (n < 0 && errno != EINTR)
            return kWaitTimeout;
        if (n > 0)
        {
            for (size_t i = 0; i < fds.size(); ++i)
                if ((fds[i].revents & POLLIN) && events[i]->TryConsume())
                    return static_cast<int>(i);
        }
        if (n == 0 && waitMs == 0)
            return kWaitTimeout;
        // Another waiter took an auto-reset signal, or a signal interrupted poll: wait again.
    }
}

std::shared_ptr<Event> Event::Named(const QString& name, bool manualReset)
{
    static std::mutex lock;
    static QHash<QString, std::weak_ptr<Event>> table;
    std::lock_guard guard(lock);
    if (auto existing = table.value(name).lock())
        return existing;
    auto created = std::make_shared<Event>(manualReset, false);
    table.insert(name, created);
    return created;
}

} // namespace Platform
