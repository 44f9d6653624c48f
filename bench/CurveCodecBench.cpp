#include "measurement/CurveCodec.h"

#include "BaselineRatio.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace
{
// A live indentation curve: load, creeping plateau with sensor noise, release.
std::vector<uint16_t> LiveCurve(int n)
{
    std::mt19937 random(11);
    std::vector<uint16_t> curve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
    {
        const double t = static_cast<double>(i) / n;
        double depth = 12000.0;
        if (t > 0.1)
            depth += 30000.0 * (1.0 - std::exp(-(t - 0.1) * 25.0)) + 800.0 * (t - 0.1);
        if (t > 0.7)
            depth -= 25000.0 * (1.0 - std::exp(-(t - 0.7) * 30.0));
        curve[static_cast<size_t>(i)] = static_cast<uint16_t>(depth + static_cast<int>(random() % 7) - 3);
    }
    return curve;
}

std::vector<uint8_t> LiveStream(const std::vector<uint16_t>& curve)
{
    CCurveCodec codec;
    codec.SetBlockSize(16, 2);
    codec.SetHeader(1.0f / 155.0f, 0.0f, "t/s", 32768.0f, 0.0f, "\xB5m");
    codec.SetUnsignedSamples(curve.data(), static_cast<int>(curve.size()), 16, 1);
    std::vector<uint8_t> stream(curve.size() * 4);
    stream.resize(static_cast<size_t>(codec.Encode(stream.data(), static_cast<int>(stream.size()))));
    return stream;
}
} // namespace

// Showing a folder's curves decodes every stored curve: at least 200 million samples a second on
// 20,000-sample curves (rate_vs_goal >= 1), reported beside the time of a plain memcpy of the
// decoded samples (x_memcpy).
static void DecodeLiveCurve(benchmark::State& state)
{
    constexpr double kGoalSamplesPerSecond = 200e6;
    const int n = static_cast<int>(state.range(0));
    const std::vector<uint8_t> stream = LiveStream(LiveCurve(n));
    std::vector<int16_t> samples(static_cast<size_t>(n));
    std::vector<int16_t> copy(static_cast<size_t>(n));
    CCurveCodec codec;
    auto decode = [&]
    {
        benchmark::DoNotOptimize(codec.Decode(stream.data(), static_cast<int>(stream.size())));
        benchmark::DoNotOptimize(codec.GetSamples(samples.data(), n * 2));
    };
    auto memcpySamples = [&]
    {
        std::memcpy(copy.data(), samples.data(), samples.size() * sizeof samples[0]);
        benchmark::ClobberMemory();
    };
    const BaselineTimes times = TimeAgainstBaseline(state, decode, memcpySamples, 16);
    if (copy != samples || codec.GetCount() != n)
        state.SkipWithError("the curve did not decode");
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["x_memcpy"] = times.Ratio();
    state.counters["rate_vs_goal"] = times.RateOverGoal(n, state.iterations(), kGoalSamplesPerSecond);
}
BENCHMARK(DecodeLiveCurve)->Arg(1000)->Arg(20000)->UseManualTime();

static void EncodeLiveCurve(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const std::vector<uint16_t> curve = LiveCurve(n);
    std::vector<uint8_t> stream(static_cast<size_t>(n) * 4);
    CCurveCodec codec;
    codec.SetUnsignedSamples(curve.data(), n, 16, 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(codec.Encode(stream.data(), static_cast<int>(stream.size())));
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(EncodeLiveCurve)->Arg(20000);
