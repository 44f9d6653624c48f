#include "platform/core/Clock.h"

#include <ctime>

namespace Platform
{
uint64_t MonotonicNs()
{
    timespec ts;
    if (::clock_gettime(CLOCK_MONOTONIC, &ts) != 0)
        return 0;
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

uint64_t MonotonicMs()
{
    return MonotonicNs() / 1000000u;
}
} // namespace Platform
