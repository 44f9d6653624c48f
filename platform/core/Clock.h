#pragma once
#include <cstdint>

namespace Platform
{
// Milliseconds on a clock that never jumps with the wall time.
uint64_t MonotonicMs();
} // namespace Platform
