// Saving and opening the projects of BenchProjects.h. Opening reports the fresh memory it
// touches (minor page faults) per file byte ("fresh_per_file", goal at most 1.5 for the long
// series) and per series beyond the readings' own 8 bytes each
// ("fresh_B_per_series_beyond_readings", goal at most 400). Every figure is set against a
// baseline of the same run: opening against a plain read() of the same file ("x_read"), both
// from the page cache (the file is read once before the first round). Goals for the largest
// project: opening at least 300 MB/s and within 25x a plain read(), with a peak memory while
// opening of at most three times the file's size ("peak_per_file"; "held_per_file" is what the
// opened project keeps). A save pushes the file to the disk (fdatasync), so saving is timed by
// the wall clock. The project of short series is also opened into the main window's two panes,
// the project tree and the series page: the time from the open until both are drawn. These
// rounds open with the series' conversion record in the process's table; the program's own
// start-up, with and without it, is timed by bench_startup.
#include "app/LeftView.h"
#include "app/RightView.h"

#include "BenchApp.h"
#include "BenchProjects.h"
#include "PageFaults.h"

#include <QApplication>
#include <QFileInfo>
#include <QSplitter>

#include <benchmark/benchmark.h>

#include <malloc.h>

namespace
{
using namespace BenchProjects;

void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_ReadProjectFile(benchmark::State& state)
{
    const int folders = int(state.range(0));
    BenchProject(folders);
    const int64_t size = QFileInfo(ProjectPath(folders)).size();
    std::vector<char> into(size_t(size), 1);
    for (auto _ : state)
        PlainRead(ProjectPath(folders), into);
    state.SetBytesProcessed(size * state.iterations());
    state.counters["file_MB"] = double(size) / 1e6;
}
BENCHMARK(BM_ReadProjectFile)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_SaveProject(benchmark::State& state)
{
    const int folders = int(state.range(0));
    CVeskDoc& doc = BenchProject(folders);
    for (auto _ : state)
    {
        doc.SetModified();
        if (!doc.SaveProject(ProjectPath(folders)))
            state.SkipWithError("save failed");
    }
    const int64_t size = QFileInfo(ProjectPath(folders)).size();
    state.SetBytesProcessed(size * state.iterations());
    state.counters["file_MB"] = double(size) / 1e6;
}
BENCHMARK(BM_SaveProject)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenProject(benchmark::State& state)
{
    const int folders = int(state.range(0));
    const size_t folderCount = BenchProject(folders).GetFolderCount();
    const QString path = ProjectPath(folders);
    const int64_t size = QFileInfo(path).size();
    std::vector<char> into(size_t(size), 1);
    double worstPeak = 0.0;
    double held = 0.0;
    double opening = 0.0;
    double reading = 0.0;
    int64_t faults = 0;
    // The baseline and the open both read from the page cache: the first read() of a file in
    // a process may wait for the disk, and with one round it would be the whole baseline.
    PlainRead(path, into);
    for (auto _ : state)
    {
        state.PauseTiming();
        reading += PlainRead(path, into);
        const long long before = ProcStatus("VmRSS");
        ResetPeak();
        state.ResumeTiming();
        bool ok = false;
        {
            const int64_t faults0 = MinorFaults();
            const auto start = std::chrono::steady_clock::now();
            CVeskDoc opened;
            ok = opened.OpenProject(path, false) && opened.GetFolderCount() == folderCount;
            opening += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            faults += MinorFaults() - faults0;
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
    state.counters["file_MB"] = double(size) / 1e6;
    state.counters["x_read"] = reading > 0.0 ? opening / reading : 0.0;
    state.counters["peak_per_file"] = worstPeak / double(size);
    // What the opened project itself holds; the difference to the peak is what opening
    // needs on the way.
    state.counters["held_per_file"] = held / double(size);
    const double fresh = double(faults) * kPageBytes / double(state.iterations());
    const double series = double(FolderCount(folders)) * SeriesPerFolder(folders);
    const double readingBytes = 8.0 * ReadingsPerSeries(folders);
    state.counters["minflt"] = double(faults) / double(state.iterations());
    state.counters["fresh_per_file"] = fresh / double(size);
    state.counters["file_B_per_series"] = double(size) / series;
    state.counters["fresh_B_per_series_beyond_readings"] = fresh / series - readingBytes;
}
BENCHMARK(BM_OpenProject)
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Arg(kShortProject)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
} // namespace

namespace
{
// The main window's client as the program lays it out: the project tree on the left, the
// series tab sheet on the right, over one document.
struct SProjectWindow
{
    SProjectWindow() : splitter(Qt::Horizontal)
    {
        left = new CLeftView(&splitter);
        left->SetDocument(&doc);
        right = new CRightView(&splitter);
        right->SetDocument(&doc);
        splitter.setSizes({200, 1000});
        splitter.resize(1200, 800);
        splitter.show();
        QApplication::processEvents();
    }
    ~SProjectWindow()
    {
        // The panes leave the document before it goes.
        delete right;
        left->SetDocument(nullptr);
    }
    CVeskDoc doc;
    QSplitter splitter;
    CLeftView* left = nullptr;
    CRightView* right = nullptr;
};

// From the open of the project of short series until the tree and the series page of its
// current folder (the project's root, which holds no series) are drawn ("minflt" beside
// it: pages touched on the way). Then, untimed by the benchmark's clock but reported
// ("first_folder_ms", "first_folder_minflt"), the first folder of 1,000 series made
// current until the page shows them (as the tree's own choice, which leaves the project
// unmodified, so that closing it asks nothing). Closing the project between the rounds is
// not timed.
void BM_OpenProjectToWindow(benchmark::State& state)
{
    BenchApp();
    const int folders = kShortProject;
    BenchProject(folders);
    const QString path = ProjectPath(folders);
    static SProjectWindow window;
    int64_t faults = 0;
    int64_t folderFaults = 0;
    double folderSeconds = 0.0;
    int rows = 0;
    for (auto _ : state)
    {
        const int64_t faults0 = MinorFaults();
        const bool ok = window.doc.OpenProject(path, false);
        QApplication::processEvents();
        window.splitter.repaint();
        faults += MinorFaults() - faults0;
        state.PauseTiming();
        const bool shown = window.doc.GetCurrentFolder() != nullptr;
        const QString first = QStringLiteral("\\Site 000\\");
        CFolderData* folder = window.doc.LookupFolder(first);
        const int64_t folderFaults0 = MinorFaults();
        const auto folderStart = std::chrono::steady_clock::now();
        if (folder)
            window.doc.FollowFolder(folder, first, false);
        QApplication::processEvents();
        window.splitter.repaint();
        folderSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - folderStart).count();
        folderFaults += MinorFaults() - folderFaults0;
        rows = window.doc.GetCurrentFolder() == folder && folder ? folder->GetSeriesCount() : 0;
        window.doc.CloseProject();
        QApplication::processEvents();
        malloc_trim(0);
        state.ResumeTiming();
        if (!ok || !shown || rows != kShortPerFolder)
        {
            state.SkipWithError("open failed, or the page did not show the folder");
            break;
        }
    }
    const double rounds = double(std::max<int64_t>(1, state.iterations()));
    state.counters["minflt"] = double(faults) / rounds;
    state.counters["fresh_MB"] = double(faults) * kPageBytes / 1e6 / rounds;
    state.counters["first_folder_ms"] = folderSeconds * 1000.0 / rounds;
    state.counters["first_folder_minflt"] = double(folderFaults) / rounds;
}
BENCHMARK(BM_OpenProjectToWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
} // namespace
