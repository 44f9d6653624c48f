#pragma once
#include <cstddef>

namespace Platform
{
// The C library allocator's settings, made once at the start of main() (the program's and
// every benchmark's) before anything is allocated. By default the allocator hands freed
// memory at the top of its heap back to the system and maps every block above a threshold
// that it moves at run time: a listing parsed, a project opened or a page rebuilt again
// then touches fresh pages, each first touch a page fault. Kept below: freed memory up to
// kTrimThreshold stays for the next round, and blocks below kMmapThreshold come from that
// heap. HACKING.md has the measured effect.
inline constexpr std::size_t kTrimThreshold = std::size_t{256} << 20;
inline constexpr std::size_t kMmapThreshold = std::size_t{32} << 20; // the most the allocator takes

// False when the allocator refused a setting (another C library: nothing to set).
bool ApplyAllocatorSettings();
} // namespace Platform
