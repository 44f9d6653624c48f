#include "measurement/ConvTable.h"
#include "measurement/IpolConvFunction.h"
#include "platform/core/ByteOrder.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

// Converting every reading of every series goes through the table: its lock, the slot
// lookup and the range checks must cost little next to the evaluation itself.

namespace
{

constexpr int kValues = 10'000'000;

// An interpolating HLD -> HV record of 24 points.
std::vector<uint8_t> IpolRecord()
{
    std::vector<uint8_t> r(16);
    r[0] = 2;    // interpolation table
    r[1] = 0x01; // default standard
    r[2] = 0x01; // steel
    WriteLe16(r.data() + 3, 0x101);
    WriteLe16(r.data() + 5, 2);
    r[7] = 0;
    WriteLeFloat(r.data() + 8, 200.0f);
    WriteLeFloat(r.data() + 12, 900.0f);
    const int k = 24;
    r.push_back(k);
    for (int i = 0; i < k; ++i)
    {
        const float x = 200.0f + 700.0f * static_cast<float>(i) / (k - 1);
        const float y = 80.0f + 0.0012f * (x - 200.0f) * (x - 200.0f) + 0.3f * (x - 200.0f);
        r.resize(r.size() + 8);
        WriteLeFloat(r.data() + r.size() - 8, x);
        WriteLeFloat(r.data() + r.size() - 4, y);
    }
    return r;
}

const std::vector<float>& Inputs()
{
    static const std::vector<float> inputs = []
    {
        std::mt19937 rng(5);
        std::uniform_real_distribution<float> d(200.0f, 900.0f);
        std::vector<float> v(1 << 16);
        for (float& x : v)
            x = d(rng);
        return v;
    }();
    return inputs;
}

void EvaluateDirectly(benchmark::State& state)
{
    const auto record = IpolRecord();
    CIpolConvFunction f;
    f.Load(record.data(), record.size());
    const auto& in = Inputs();
    for (auto _ : state)
    {
        float sum = 0.0f;
        for (int i = 0; i < kValues; ++i)
            sum += f.Evaluate(in[i & 0xFFFF]);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(EvaluateDirectly)->Unit(benchmark::kMillisecond);

// As a series recalculates: one lock and one selection, then every value.
void ConvertThroughTable(benchmark::State& state)
{
    const auto record = IpolRecord();
    CConvTable table;
    CConvTable::Guard guard(table);
    const int slot = table.AddRecord(record.data(), record.size(), false);
    const auto& in = Inputs();
    for (auto _ : state)
    {
        table.SelectRecord(slot);
        float sum = 0.0f;
        for (int i = 0; i < kValues; ++i)
            sum += table.Convert(in[i & 0xFFFF], false);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(ConvertThroughTable)->Unit(benchmark::kMillisecond);

// The worst use: lock, select and convert for each single value.
void LockSelectConvertEach(benchmark::State& state)
{
    const auto record = IpolRecord();
    CConvTable table;
    const int slot = table.AddRecord(record.data(), record.size(), false);
    const auto& in = Inputs();
    for (auto _ : state)
    {
        float sum = 0.0f;
        for (int i = 0; i < kValues; ++i)
        {
            CConvTable::Guard guard(table);
            table.SelectRecord(slot);
            sum += table.Convert(in[i & 0xFFFF], false);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(LockSelectConvertEach)->Unit(benchmark::kMillisecond);

} // namespace
