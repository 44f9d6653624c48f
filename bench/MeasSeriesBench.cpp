// Speed of the measurement series: a full recalculation against a plain sort of the same
// number of floats, appending to a full series (live measuring with statistics shown
// after every reading), and storing and loading a large folder.
#include "measurement/ConvTable.h"
#include "measurement/FolderData.h"
#include "measurement/MeasSeries1.h"
#include "streamio/RamStream.h"
#include "streamio/StreamIO.h"
#include "streamio/VMArchive.h"
#include "tests/support/ConvRecordBuilder.h"

#include "BaselineRatio.h"
#include "PageFaults.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace
{
constexpr int kHRC = 4;

// A rebound-probe series converting to HRC through a straight-line record.
std::unique_ptr<CMeasSeries1> MakeSeries(int capacity, int readings)
{
    TestRecords::Header h;
    h.source = 0x101;
    h.target = kHRC;
    h.matType = 1;
    h.lo = 300.0f;
    h.hi = 900.0f;
    const std::vector<uint8_t> record = TestRecords::Ratio(h, 0.0f, 1, 0, {-30.0f, 0.125f});
    CConvTable& table = CConvTable::Instance();
    {
        CConvTable::Guard lock(table);
        table.AddRecord(record.data(), record.size(), false);
    }
    auto series = std::make_unique<CMeasSeries1>(capacity);
    series->Clear();
    series->SetProbeId(SProbeId(0x101, nullptr, -1));
    SMaterial steel;
    steel.Set(1, 0);
    series->SetConversion(STargetScale(kHRC, 1, 0), steel);
    series->SetResolution(1, 1);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> value(280.0f, 920.0f);
    for (int i = 0; i < readings; ++i)
    {
        const float v = value(rng);
        series->AddReading(v, v, 0, -1);
    }
    return series;
}

void BM_SortFloats16384(benchmark::State& state)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> value(280.0f, 920.0f);
    std::vector<float> source(16384);
    for (float& v : source)
        v = value(rng);
    std::vector<float> work;
    for (auto _ : state)
    {
        work = source;
        std::sort(work.begin(), work.end());
        benchmark::DoNotOptimize(work.data());
    }
}
BENCHMARK(BM_SortFloats16384);

// Another resolution invalidates the converted values and the sorted index, so every
// round converts, rounds, sums and sorts all 16384 readings.
void BM_FullRecalculate16384(benchmark::State& state)
{
    auto series = MakeSeries(16384, 16384);
    int decimals = 0;
    for (auto _ : state)
    {
        decimals ^= 1;
        series->SetResolution(decimals, 1);
        benchmark::DoNotOptimize(series->GetMean());
    }
}
BENCHMARK(BM_FullRecalculate16384);

// Adding to a full series drops the oldest reading; the statistics follow each reading.
void BM_AddReadingToFullSeries(benchmark::State& state)
{
    const int n = int(state.range(0));
    auto series = MakeSeries(n, n);
    float v = 300.0f;
    for (auto _ : state)
    {
        v = v >= 900.0f ? 300.0f : v + 7.25f;
        series->AddReading(v, v, 0, -1);
        benchmark::DoNotOptimize(series->GetMean());
        benchmark::DoNotOptimize(series->GetMedian());
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_AddReadingToFullSeries)->RangeMultiplier(2)->Range(1024, 16384)->Complexity(benchmark::oN);
} // namespace

// Folders of 10, 100 and 1000 series of 1000 readings through a RAM stream, each way; the
// bytes counted are those of the stored folder. The baseline is a memcpy of as many bytes
// ("x_memcpy" sets each figure against it). Goals: loading within 30x, storing within 10x
// of the memcpy.
namespace
{
const QString kFolderFile = QStringLiteral("RAM:bench-folder.bin");
constexpr uint32_t kFolderFlags =
    StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS;

struct SStreamLayer
{
    SStreamLayer() { StreamIO::StartStreamIO(); }
    ~SStreamLayer() { StreamIO::ShutdownStreamIO(); }
};

CFolderData& BenchFolder(int series)
{
    static SStreamLayer layer;
    static std::map<int, std::unique_ptr<CFolderData>> folders;
    std::unique_ptr<CFolderData>& folder = folders[series];
    if (!folder)
    {
        folder = std::make_unique<CFolderData>();
        for (int i = 0; i < series; ++i)
        {
            auto entry = std::make_unique<CMeasSeriesWrapper>();
            entry->SetName(QStringLiteral("Series %1").arg(i));
            entry->SetSeries(MakeSeries(1000, 1000));
            folder->AddSeries(std::move(entry), true);
        }
    }
    return *folder;
}

// Stores the folder into a RAM file and gives what the file then holds (the archive closes
// the stream when it goes); only the storing is timed.
std::vector<uint8_t> StoreFolder(CFolderData& folder, double* seconds = nullptr)
{
    StreamIO::CRamStream ram;
    ram.Open(kFolderFile, kFolderFlags);
    StreamIO::CVMArchive archive(ram.GetHandle(), StreamIO::ARCHIVE_NO_CLOSE, StreamIO::ARCHIVE_FILE_BUFFER);
    const auto start = std::chrono::steady_clock::now();
    folder.Serialize(archive);
    archive.Flush();
    if (seconds)
        *seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::vector<uint8_t> bytes(ram.GetLength());
    ram.SetPosition(0);
    ram.Read(bytes.data(), uint32_t(bytes.size()));
    return bytes;
}

// Seconds per memcpy of n bytes, measured once per size.
double MemcpySeconds(size_t n)
{
    static std::map<size_t, double> measured;
    double& seconds = measured[n];
    if (seconds == 0.0)
    {
        std::vector<uint8_t> source(n, 3);
        std::vector<uint8_t> target(n, 1);
        constexpr int kRounds = 20;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kRounds; ++i)
        {
            source[size_t(i) % n] = uint8_t(i);
            std::memcpy(target.data(), source.data(), n);
            benchmark::DoNotOptimize(target.data());
            benchmark::ClobberMemory();
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kRounds;
    }
    return seconds;
}

void SetFolderCounters(benchmark::State& state, size_t bytes, double seconds)
{
    state.SetBytesProcessed(int64_t(bytes) * state.iterations());
    state.counters["folder_MB"] = double(bytes) / 1e6;
    state.counters["x_memcpy"] = seconds / double(state.iterations()) / MemcpySeconds(bytes);
}

void BM_MemcpyFolderBytes(benchmark::State& state)
{
    const size_t n = StoreFolder(BenchFolder(int(state.range(0)))).size();
    std::vector<uint8_t> source(n, 3);
    std::vector<uint8_t> target(n, 1);
    for (auto _ : state)
    {
        std::memcpy(target.data(), source.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(n) * state.iterations());
}
BENCHMARK(BM_MemcpyFolderBytes)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_StoreFolder(benchmark::State& state)
{
    CFolderData& folder = BenchFolder(int(state.range(0)));
    size_t bytes = 0;
    double seconds = 0.0;
    for (auto _ : state)
    {
        double storing = 0.0;
        bytes = StoreFolder(folder, &storing).size();
        state.SetIterationTime(storing);
        seconds += storing;
    }
    SetFolderCounters(state, bytes, seconds);
}
BENCHMARK(BM_StoreFolder)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseManualTime();

// Loading against a memcpy of the stored bytes into a buffer of their size, timed in turns
// with the load so that both meet the same caches and load ("x_memcpy"); the old figure, a
// memcpy measured once apart, stays beside ("x_memcpy_once"). Minor page faults of a load
// beside (minflt).
void BM_LoadFolder(benchmark::State& state)
{
    const std::vector<uint8_t> bytes = StoreFolder(BenchFolder(int(state.range(0))));
    std::vector<uint8_t> copy(bytes.size(), 1);
    int64_t faults = 0;
    const auto load = [&]
    {
        const int64_t faults0 = MinorFaults();
        StreamIO::CRamStream ram;
        ram.Open(kFolderFile, kFolderFlags);
        ram.Write(bytes.data(), uint32_t(bytes.size()));
        StreamIO::CVMArchive archive(ram.GetHandle(), StreamIO::ARCHIVE_LOAD, StreamIO::ARCHIVE_FILE_BUFFER);
        CFolderData folder;
        folder.Serialize(archive);
        benchmark::DoNotOptimize(folder.GetSeriesCount());
        faults += MinorFaults() - faults0;
    };
    const auto memcpyBytes = [&]
    {
        std::memcpy(copy.data(), bytes.data(), bytes.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    };
    const BaselineTimes times = TimeAgainstBaseline(state, load, memcpyBytes);
    SetFolderCounters(state, bytes.size(), times.subjectSeconds);
    state.counters["x_memcpy_once"] = state.counters["x_memcpy"];
    state.counters["x_memcpy"] = times.Ratio();
    state.counters["minflt"] = double(faults) / double(state.iterations());
}
BENCHMARK(BM_LoadFolder)->Arg(10)->Arg(100)->Arg(1000)->UseManualTime()->Unit(benchmark::kMillisecond);
} // namespace
