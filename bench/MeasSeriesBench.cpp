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

#include <benchmark/benchmark.h>

#include <algorithm>
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

// A folder of 1000 series of 1000 readings through a RAM stream, each way; the bytes
// counted are those of the stored folder.
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

CFolderData& BenchFolder()
{
    static SStreamLayer layer;
    static CFolderData folder;
    if (folder.GetSeriesCount() == 0)
    {
        for (int i = 0; i < 1000; ++i)
        {
            auto entry = std::make_unique<CMeasSeriesWrapper>();
            entry->SetName(QStringLiteral("Series %1").arg(i));
            entry->SetSeries(MakeSeries(1000, 1000));
            folder.AddSeries(std::move(entry), true);
        }
    }
    return folder;
}

std::vector<uint8_t> StoreFolder(CFolderData& folder)
{
    StreamIO::CRamStream ram;
    ram.Open(kFolderFile, kFolderFlags);
    StreamIO::CVMArchive archive(ram.GetHandle(), StreamIO::ARCHIVE_NO_CLOSE, 1024);
    folder.Serialize(archive);
    archive.Flush();
    std::vector<uint8_t> bytes(ram.GetLength());
    ram.SetPosition(0);
    ram.Read(bytes.data(), uint32_t(bytes.size()));
    return bytes;
}

void BM_StoreFolder(benchmark::State& state)
{
    CFolderData& folder = BenchFolder();
    size_t bytes = 0;
    for (auto _ : state)
        bytes = StoreFolder(folder).size();
    state.SetBytesProcessed(int64_t(bytes) * state.iterations());
}
BENCHMARK(BM_StoreFolder)->Unit(benchmark::kMillisecond);

void BM_LoadFolder(benchmark::State& state)
{
    const std::vector<uint8_t> bytes = StoreFolder(BenchFolder());
    for (auto _ : state)
    {
        StreamIO::CRamStream ram;
        ram.Open(kFolderFile, kFolderFlags);
        ram.Write(bytes.data(), uint32_t(bytes.size()));
        StreamIO::CVMArchive archive(ram.GetHandle(), StreamIO::ARCHIVE_LOAD, 1024);
        CFolderData folder;
        folder.Serialize(archive);
        benchmark::DoNotOptimize(folder.GetSeriesCount());
    }
    state.SetBytesProcessed(int64_t(bytes.size()) * state.iterations());
}
BENCHMARK(BM_LoadFolder)->Unit(benchmark::kMillisecond);
} // namespace
