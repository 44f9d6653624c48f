#pragma once
#include <atomic>
#include <thread>
#include <vector>

// Keeps every core busy while it lives, so that a test checking how soon something stops
// checks it on a loaded machine, as users and CI run it, and not on an idle one.
class CpuHog
{
public:
    explicit CpuHog(unsigned threads = std::thread::hardware_concurrency())
    {
        for (unsigned i = 0; i < (threads == 0 ? 2u : threads); ++i)
            m_threads.emplace_back(
                [this]
                {
                    volatile unsigned long spin = 0;
                    while (!m_stop.load(std::memory_order_relaxed))
                        spin = spin + 1;
                });
    }
    ~CpuHog()
    {
        m_stop = true;
        for (std::thread& t : m_threads)
            t.join();
    }
    CpuHog(const CpuHog&) = delete;
    CpuHog& operator=(const CpuHog&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};
