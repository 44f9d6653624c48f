// The series page with a large folder: a full rebuild of its rows (the time should grow
// with the number of series, so 20,000 series take at most 12 times as long as 2,000),
// selecting everything with the recount of the status line, and sorting by each column
// (a header click: the document's sort and the grid's rows in the same order).
#include "document/DocView.h"
#include "grid/GridCtrl.h"
#include "resources/BuiltInBitmaps.h"
#include "resources/BuiltInStrings.h"
#include "seriesview/TabGrid.h"
#include "tests/support/SampleProject.h"

#include <QApplication>
#include <QFont>

#include "BenchApp.h"

#include <benchmark/benchmark.h>

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
    for (auto _ : state)
        page.page->UpdateRows(DOC_HINT_ALL);
    state.SetComplexityN(state.range(0));
    state.counters["rows"] = page.page->Grid()->GetRowCount();
}
BENCHMARK(BM_RebuildAllRows)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity();

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
