#include "streamio/PerfCounter.h"

#include <ctime>

namespace
{
constexpr uint64_t kCountsPerMs = 1000000; // the counter counts nanoseconds
}

bool GetPerfCounter(uint64_t& counter)
{
    timespec ts;
    if (::clock_gettime(CLOCK_MONOTONIC, &ts) != 0)
    {
        counter = 0;
        return false;
    }
    counter = static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
    return true;
}

uint64_t GetElapsedMs(uint64_t start, uint64_t end)
{
    // Dividing instead of multiplying by 1000 first keeps spans of centuries exact.
    return (end - start) / kCountsPerMs;
}
