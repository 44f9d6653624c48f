#pragma once
#include <cstdint>

// A high-resolution interval timer on the monotonic clock (it never jumps with the
// wall time). The counter's unit is private: compare counters only with GetElapsedMs.

// The counter's present value; false (and 0) when the clock cannot be read.
bool GetPerfCounter(uint64_t& counter);
// Milliseconds from start to end, in unsigned 64-bit arithmetic.
uint64_t GetElapsedMs(uint64_t start, uint64_t end);
