#include "platform/core/Clock.h"

#include <ctime>

namespace Platform
{
uint64_t MonotonicMs()
{
    timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}
} // namespace Platform
