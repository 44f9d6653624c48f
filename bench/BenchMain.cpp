// The main() of every benchmark program: the program's allocator settings, then the
// benchmarks.
#include "platform/core/AllocatorSettings.h"

#include <benchmark/benchmark.h>

int main(int argc, char** argv)
{
    Platform::ApplyAllocatorSettings();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
