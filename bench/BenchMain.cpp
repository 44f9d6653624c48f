// The main() of every benchmark program: the program's allocator settings, then the
// benchmarks.
#include "BenchRun.h"
#include "platform/core/AllocatorSettings.h"

int main(int argc, char** argv)
{
    Platform::ApplyAllocatorSettings();
    return RunBenchmarks(argc, argv);
}
