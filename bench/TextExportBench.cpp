// The text export of a folder of 20,000 series (ten readings each) to one file, against
// the same safe save of the same bytes (a temporary file beside the target, flushed to the
// disk and renamed over it: counter x_safe_write) and, as before, against one plain
// QFile::write of them (x_qfile_write). All three are timed in turns. The goal: within
// three times the safe save. Minor page faults of an export beside (minflt).
#include "document/VeskDoc.h"
#include "export/core/ExportFeedback.h"
#include "export/core/ExportFile.h"
#include "export/core/TextExport.h"
#include "measurement/ConvTable.h"
#include "measurement/FolderData.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "resources/BuiltInStrings.h"
#include "tests/support/ConvRecordBuilder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>

#include "PageFaults.h"

#include <chrono>

#include <memory>
#include <numeric>
#include <random>

namespace
{
constexpr int kSeries = 20000;
constexpr int kReadings = 10;
constexpr int kProbeD = 0x101;
constexpr int kHRC = 4;

class NoFeedback final : public ExportFeedback
{
public:
    void SetProgress(int) override {}
    void SetProgressText(const QString&) override {}
    bool ConfirmReplace(const QStringList&) override { return true; }
    void ShowError(const QString&) override {}
    void ShowNotice(const QString&) override {}
    bool SetClipboardText(const QString&) override { return true; }
    bool SetClipboardImage(const QImage&) override { return true; }
};

// A folder of rebound-probe series converted to HRC, with limits, a comment and a time.
struct SFolder
{
    CVeskDoc doc;
    std::vector<int> all;

    SFolder()
    {
        RegisterBuiltInStrings();
        TestRecords::Header h;
        h.source = kProbeD;
        h.target = kHRC;
        h.matType = 1;
        h.standard = 1;
        h.lo = 320.0f;
        h.hi = 880.0f;
        const std::vector<uint8_t> record = TestRecords::Ratio(h, 0.0f, 1, 0, {-30.0f, 0.125f});
        {
            CConvTable::Guard lock(CConvTable::Instance());
            CConvTable::Instance().AddRecord(record.data(), record.size(), false);
        }
        auto folder = std::make_unique<CFolderData>();
        std::mt19937 rng(5);
        std::uniform_real_distribution<float> value(400.0f, 800.0f);
        SMaterial steel;
        steel.Set(1, 0);
        for (int i = 0; i < kSeries; ++i)
        {
            auto series = std::make_unique<CMeasSeries1>(kReadings);
            series->Clear();
            series->SetProbeId(SProbeId(kProbeD, nullptr, -1));
            series->SetConversion(STargetScale(kHRC, 1, 0), steel);
            for (int r = 0; r < kReadings; ++r)
            {
                const float v = value(rng);
                series->AddReading(v, v, 0, -1);
            }
            series->CommitNew();
            series->SetLimits(20.0f, 60.0f, -1);
            series->SetComment(QStringLiteral("Batch %1").arg(i));
            auto entry = std::make_unique<CMeasSeriesWrapper>();
            entry->SetName(QStringLiteral("Series %1").arg(i));
            entry->SetSeries(std::move(series));
            folder->AddSeries(std::move(entry), true);
        }
        doc.AddFolder(QStringLiteral("\\Bench\\"), folder);
        doc.SetCurrentFolder(doc.LookupFolder(QStringLiteral("\\Bench\\")), QStringLiteral("\\Bench\\"),
                             true);
        for (int i = 0; i < kSeries; ++i)
            doc.SetSeriesTime(
                i, QDateTime(QDate(2023, 1 + i % 12, 1 + i % 28), QTime(10, i % 60, 0), Qt::LocalTime));
        all.resize(kSeries);
        std::iota(all.begin(), all.end(), 0);
    }
};

SFolder& Folder()
{
    static SFolder folder;
    return folder;
}

QString OutPath()
{
    return QDir::tempPath() + QStringLiteral("/veskador-bench-export.csv");
}

// The export against the safe save and the plain write of the bytes it writes, in turns.
void BM_TextExportOneFile(benchmark::State& state)
{
    SFolder& folder = Folder();
    NoFeedback feedback;
    CTextExport exporter(folder.doc, static_cast<int>(state.range(0)));
    exporter.Run(folder.all, CTextExport::TargetOneFile, OutPath(), feedback);
    QFile produced(OutPath());
    produced.open(QIODevice::ReadOnly);
    const QByteArray bytes = produced.readAll();
    const QString plainPath = QDir::tempPath() + QStringLiteral("/veskador-bench-plain.csv");
    const QString safePath = QDir::tempPath() + QStringLiteral("/veskador-bench-safe.csv");
    using Clock = std::chrono::steady_clock;
    const auto seconds = [](Clock::time_point from, Clock::time_point to)
    { return std::chrono::duration<double>(to - from).count(); };
    double exportSeconds = 0.0;
    double safeSeconds = 0.0;
    double plainSeconds = 0.0;
    int64_t faults = 0;
    for (auto _ : state)
    {
        const int64_t faults0 = MinorFaults();
        const Clock::time_point start = Clock::now();
        exporter.Run(folder.all, CTextExport::TargetOneFile, OutPath(), feedback);
        const Clock::time_point exported = Clock::now();
        faults += MinorFaults() - faults0;
        {
            CExportFile file;
            if (!file.Open(safePath) || !file.Write(bytes.constData(), size_t(bytes.size())) || !file.Commit())
                state.SkipWithError("safe write failed");
        }
        const Clock::time_point saved = Clock::now();
        {
            QFile file(plainPath);
            file.open(QIODevice::WriteOnly | QIODevice::Truncate);
            benchmark::DoNotOptimize(file.write(bytes));
        }
        const Clock::time_point written = Clock::now();
        state.SetIterationTime(seconds(start, exported));
        exportSeconds += seconds(start, exported);
        safeSeconds += seconds(exported, saved);
        plainSeconds += seconds(saved, written);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.counters["x_safe_write"] = safeSeconds > 0.0 ? exportSeconds / safeSeconds : 0.0;
    state.counters["x_qfile_write"] = plainSeconds > 0.0 ? exportSeconds / plainSeconds : 0.0;
    state.counters["minflt"] = double(faults) / double(state.iterations());
    state.SetLabel(state.range(0) ? "Report" : "Table");
}
} // namespace

BENCHMARK(BM_TextExportOneFile)
    ->Arg(CTextExport::LayoutTable)
    ->Arg(CTextExport::LayoutReport)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
