#pragma once
// The run of the benchmarks that every benchmark program's main() makes once the
// program's allocator settings are in place.
#include <benchmark/benchmark.h>

// 1 for arguments the benchmark library does not know, else 0 after the run.
inline int RunBenchmarks(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
