// The series page with a large folder: a full rebuild of its rows (the time should grow
// with the number of series: 20,000 series within 10 times the 2,000, and at most 150 ms
// where 2,000 plain QDateTime::toLocalTime calls take what BM_LocalTimeBaseline reports),
// selecting everything with the recount of the status line, sorting by each column (a
// header click: the document's sort and the grid's rows in the same order), saving with
// the large folder expanded (within twice the save with it collapsed: a save changes
// nothing shown, so the page is not rebuilt) and opening every series (goal: under 1 s).
// Minor page faults (getrusage) per iteration stand beside the times: the rebuild keeps
// its cells rather than freeing and making them again.
#include "document/DocView.h"
#include "grid/GridCtrl.h"
#include "resources/BuiltInBitmaps.h"
#include "resources/BuiltInStrings.h"
#include "seriesview/TabGrid.h"
#include "tests/support/SampleProject.h"

#include <QApplication>
#include <QFont>
#include <QTemporaryDir>

#include "BaselineRatio.h"
#include "BenchApp.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <map>
#include <memory>

namespace
{
const QString kFolder = QStringLiteral("\\Many\\");

// A page over a folder of n series, laid out once; kept between benchmarks.
struct SPage
{
    explicit SPage(int n)
    {
        SampleProject::FillFolder(doc, kFolder, n);
        doc.SetCurrentFolder(doc.LookupFolder(kFolder), kFolder, true);
        page = std::make_unique<CTabGrid>(&doc);
        page->resize(1200, 700);
        page->UpdateRows(DOC_HINT_ALL);
    }
    CVeskDoc doc;
    std::unique_ptr<CTabGrid> page;
};

// Minor page faults of the process so far.
long MinorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Reports the minor page faults per iteration since `start`.
void ReportFaults(benchmark::State& state, long start)
{
    state.counters["minflt/iter"] =
        benchmark::Counter(double(MinorFaults() - start) / double(std::max<int64_t>(1, state.iterations())));
}

SPage& PageOf(int n)
{
    static std::map<int, std::unique_ptr<SPage>> pages;
    auto& page = pages[n];
    if (!page)
        page = std::make_unique<SPage>(n);
    return *page;
}

void BM_RebuildAllRows(benchmark::State& state)
{
    BenchApp();
    SPage& page = PageOf(int(state.range(0)));
    page.page->UpdateRows(DOC_HINT_ALL);
    const long faults = MinorFaults();
    for (auto _ : state)
        page.page->UpdateRows(DOC_HINT_ALL);
    ReportFaults(state, faults);
    state.SetComplexityN(state.range(0));
    state.counters["rows"] = page.page->Grid()->GetRowCount();
}
BENCHMARK(BM_RebuildAllRows)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity();

// The yardstick of the rebuild's 150 ms: 2,000 local-time conversions as Qt makes them,
// one per series of a day's stamps a minute apart.
void BM_LocalTimeBaseline(benchmark::State& state)
{
    BenchApp();
    const QDateTime start(QDate(2023, 3, 1), QTime(8, 0), Qt::UTC);
    for (auto _ : state)
        for (int i = 0; i < 2000; ++i)
            benchmark::DoNotOptimize(start.addSecs(i * 61).toLocalTime());
}
BENCHMARK(BM_LocalTimeBaseline)->Unit(benchmark::kMillisecond);

// A project of one 20,000-series folder opened from its file, so that Save writes it there
// as the user's Save does, shown on a page with every series open or every series closed.
struct SSavedPage
{
    explicit SSavedPage(bool expanded)
    {
        const QString path = dir.filePath(QStringLiteral("big.v3p"));
        {
            CVeskDoc made;
            SampleProject::FillFolder(made, kFolder, 20000);
            made.SaveProject(path);
        }
        doc.OpenProject(path, false);
        doc.SetCurrentFolder(doc.LookupFolder(kFolder), kFolder, true);
        page = std::make_unique<CTabGrid>(&doc);
        page->resize(1200, 700);
        page->UpdateRows(DOC_HINT_ALL);
        page->ExpandAll(expanded);
    }
    bool Save()
    {
        doc.SetSeriesName(0, QStringLiteral("Series 1")); // something to save
        return doc.Save();
    }
    QTemporaryDir dir;
    CVeskDoc doc;
    std::unique_ptr<CTabGrid> page;
};

// Save with the large folder's series open, timed against the same save with them closed;
// "ratio" is the goal's figure (at most 2).
void BM_SaveExpandedAgainstCollapsed(benchmark::State& state)
{
    BenchApp();
    static SSavedPage expanded(true);
    static SSavedPage collapsed(false);
    const long faults = MinorFaults();
    const BaselineTimes times = TimeAgainstBaseline(
        state,
        [&]
        {
            if (!expanded.Save())
                state.SkipWithError("not saved");
        },
        [&]
        {
            if (!collapsed.Save())
                state.SkipWithError("not saved");
        });
    ReportFaults(state, faults);
    state.counters["ratio"] = times.Ratio();
    state.counters["collapsed_ms"] =
        times.baselineSeconds * 1000.0 / double(std::max<int64_t>(1, state.iterations()));
}
BENCHMARK(BM_SaveExpandedAgainstCollapsed)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// Opens every series of the folder, as the expand menu's "Expand all" does; closing them
// again between the runs is not timed.
void BM_ExpandAll(benchmark::State& state)
{
    BenchApp();
    SPage& page = PageOf(int(state.range(0)));
    const long faults = MinorFaults();
    for (auto _ : state)
    {
        page.page->ExpandAll(true);
        state.PauseTiming();
        page.page->ExpandAll(false);
        state.ResumeTiming();
    }
    ReportFaults(state, faults);
}
BENCHMARK(BM_ExpandAll)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SelectAllAndCount(benchmark::State& state)
{
    BenchApp();
    SPage& page = PageOf(int(state.range(0)));
    for (auto _ : state)
    {
        page.page->Grid()->SetSelectedRange(-1, -1, -1, -1);
        page.page->OnCommandMessage(WM_CMD_SELECT_ALL);
        page.page->UpdateStatusCounts(true);
        benchmark::DoNotOptimize(page.page->StatusText());
    }
}
BENCHMARK(BM_SelectAllAndCount)->Arg(20000)->Unit(benchmark::kMillisecond);

// Each iteration clicks the column's header once: ascending and descending take turns.
void BM_SortByColumn(benchmark::State& state)
{
    BenchApp();
    SPage& page = PageOf(20000);
    GRIDNOTIFY click;
    click.code = Notify::NM_CLICK;
    click.row = 0;
    click.column = int(state.range(0));
    for (auto _ : state)
        page.page->OnGridNotify(click);
    state.SetLabel(page.page->Grid()->GetItemText(0, click.column).toStdString());
}
BENCHMARK(BM_SortByColumn)->DenseRange(0, CTabGrid::kColumnCount - 1)->Unit(benchmark::kMillisecond);
} // namespace
