#pragma once
#include <cstdint>

namespace Platform
{
// Nanoseconds and milliseconds on a clock that never jumps with the wall time.
uint64_t MonotonicNs();
uint64_t MonotonicMs();
} // namespace Platform
