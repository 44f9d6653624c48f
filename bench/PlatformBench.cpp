#include "platform/core/Codepage.h"

#include <benchmark/benchmark.h>

// Device listings arrive as large 8-bit texts; decoding must not dominate a download.
static void DecodeDeviceText(benchmark::State& state)
{
    QByteArray text(static_cast<qsizetype>(state.range(0)), '\x92');
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodeCp1252(text));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(DecodeDeviceText)->Arg(1 << 16);
