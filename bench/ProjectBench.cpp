// Saving and opening a large project: 100 folders of 100 indentation-tester series with
// 1000 readings each (every block carries both reading sets), about 80 MB on disk. The
// goal is at least 100 MB/s each way, and a peak memory while opening of at most three
// times the file's size (counter "peak_per_file"; "held_per_file" is what the opened
// project keeps).
#include "app/document/VeskDoc.h"
#include "measurement/ConvTable.h"
#include "measurement/FolderData.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "streamio/StreamIO.h"
#include "tests/support/ConvRecordBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <random>
#include <string>

namespace
{
constexpr int kFolders = 100;
constexpr int kSeriesPerFolder = 100;
constexpr int kReadings = 1000;
constexpr int kProbeVk = 0x201;
constexpr int kHV = 2;
constexpr int kIso18265 = 2;

struct SStreamLayer
{
    SStreamLayer()
    {
        // Opening remembers the project folder: keep the user's own settings out of it.
        qputenv("VESKADOR_CONFIG_DIR",
                (QDir::tempPath() + QStringLiteral("/veskador-bench-config")).toLocal8Bit());
        StreamIO::StartStreamIO();
    }
    ~SStreamLayer() { StreamIO::ShutdownStreamIO(); }
};

QString ProjectPath()
{
    return QDir::tempPath() + QStringLiteral("/veskador-bench-project.v3p");
}

// An indentation-depth series converted to Vickers, both reading sets filled.
std::unique_ptr<CMeasSeriesWrapper> TemplateEntry()
{
    TestRecords::Header h;
    h.source = kProbeVk;
    h.target = kHV;
    h.matType = 1;
    h.standard = kIso18265;
    h.lo = 10.0f;
    h.hi = 100.0f;
    const std::vector<uint8_t> record = TestRecords::Ratio(h, 0.0f, 1, 0, {1000.0f, -8.0f});
    CConvTable& table = CConvTable::Instance();
    {
        CConvTable::Guard lock(table);
        table.AddRecord(record.data(), record.size(), false);
    }
    auto series = std::make_unique<CMeasSeries1>(kReadings);
    series->Clear();
    series->SetProbeId(SProbeId(kProbeVk, nullptr, -1));
    SMaterial steel;
    steel.Set(1, 0);
    series->SetConversion(STargetScale(kHV, kIso18265, 0), steel);
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> depth(15.0f, 95.0f);
    for (int i = 0; i < kReadings; ++i)
    {
        const float d = depth(rng);
        series->AddReading(d, d * 1.01f, 31, -1);
    }
    series->CommitNew();
    auto entry = std::make_unique<CMeasSeriesWrapper>();
    entry->SetName(QStringLiteral("Series"));
    entry->SetSeries(std::move(series));
    return entry;
}

// Builds the project and saves it once; the document stays for the save benchmark.
CVeskDoc& BenchProject()
{
    static SStreamLayer layer;
    static CVeskDoc doc;
    if (!doc.HasFolders())
    {
        const auto entry = TemplateEntry();
        for (int f = 0; f < kFolders; ++f)
        {
            const QString path = QStringLiteral("\\Site %1\\").arg(f, 3, 10, QLatin1Char('0'));
            doc.AddMeasurementFile(path, nullptr);
            CFolderData* folder = doc.LookupFolder(path);
            for (int s = 0; s < kSeriesPerFolder; ++s)
            {
                auto copy = std::make_unique<CMeasSeriesWrapper>(*entry);
                copy->SetName(QStringLiteral("Series %1").arg(s));
                folder->AddSeries(std::move(copy), true);
            }
        }
        doc.SaveProject(ProjectPath());
    }
    return doc;
}

// Resident memory now and at its peak since the last reset, in bytes.
long long ProcStatus(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stoll(line.substr(key.size())) * 1024;
    return 0;
}

void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_SaveProject(benchmark::State& state)
{
    CVeskDoc& doc = BenchProject();
    for (auto _ : state)
    {
        doc.SetModified();
        if (!doc.SaveProject(ProjectPath()))
            state.SkipWithError("save failed");
    }
    const int64_t size = QFileInfo(ProjectPath()).size();
    state.SetBytesProcessed(size * state.iterations());
    state.counters["file_MB"] = double(size) / 1e6;
}
BENCHMARK(BM_SaveProject)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OpenProject(benchmark::State& state)
{
    const size_t folders = BenchProject().GetFolderCount();
    const int64_t size = QFileInfo(ProjectPath()).size();
    double worstPeak = 0.0;
    double held = 0.0;
    for (auto _ : state)
    {
        state.PauseTiming();
        const long long before = ProcStatus("VmRSS");
        ResetPeak();
        state.ResumeTiming();
        bool ok = false;
        {
            CVeskDoc opened;
            ok = opened.OpenProject(ProjectPath(), false) && opened.GetFolderCount() == folders;
            state.PauseTiming();
            worstPeak = std::max(worstPeak, double(ProcStatus("VmHWM") - before));
            held = std::max(held, double(ProcStatus("VmRSS") - before));
        }
        // Hand the freed memory back, so the next round starts from the same place.
        malloc_trim(0);
        state.ResumeTiming();
        if (!ok)
        {
            state.SkipWithError("open failed");
            break;
        }
    }
    state.SetBytesProcessed(size * state.iterations());
    state.counters["peak_MB"] = worstPeak / 1e6;
    state.counters["peak_per_file"] = worstPeak / double(size);
    // What the opened project itself holds; the difference to the peak is what opening
    // needs on the way.
    state.counters["held_per_file"] = held / double(size);
}
BENCHMARK(BM_OpenProject)->Unit(benchmark::kMillisecond)->Iterations(3);
} // namespace
