#include "streamio/PerfCounter.h"

#include "platform/core/Clock.h"

namespace
{
constexpr uint64_t kCountsPerMs = 1000000; // the counter counts nanoseconds
}

bool GetPerfCounter(uint64_t& counter)
{
    counter = Platform::MonotonicNs();
    return counter != 0;
}

uint64_t GetElapsedMs(uint64_t start, uint64_t end)
{
    // Dividing instead of multiplying by 1000 first keeps spans of centuries exact.
    return (end - start) / kCountsPerMs;
}
