#pragma once
// Minor page faults: how many fresh pages the process (or the calling thread) touched. On a
// virtual machine the first touch of a page costs far more than on a desktop, so benchmarks
// report them beside their times: pages touched is the figure that carries over.
#include <sys/resource.h>

#include <cstdint>

inline constexpr double kPageBytes = 4096.0;

inline int64_t MinorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return int64_t(usage.ru_minflt);
}

inline int64_t ThreadMinorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return int64_t(usage.ru_minflt);
}
