#include "grid/GridCtrl.h"
#include "platform/gui/PainterCanvas.h"

#include <QApplication>
#include <QFont>
#include <QWidget>

#include <benchmark/benchmark.h>

namespace
{

QApplication& App()
{
    static int argc = 1;
    static char name[] = "bench_grid";
    static char* argv[] = {name, nullptr};
    static QApplication* app = []
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* a = new QApplication(argc, argv);
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
        return a;
    }();
    return *app;
}

// The series page's layout: a heading row and two rows per series, a summary row of nine
// cells and a detail row that is one span over columns 1 to 8.
struct SeriesGrid
{
    explicit SeriesGrid(int rows)
    {
        parent.resize(1000, 700);
        grid = new CGridCtrl();
        grid->Create(QRect(0, 0, 900, 640), &parent, 101);
        grid->SetRedraw(false);
        grid->SetColumnCount(9);
        grid->SetFixedRowCount(1);
        grid->SetRowCount(rows);
        grid->SetListMode(true);
        grid->SetScrollByRows(false);
        grid->SetRowHeight(0, 26);
        for (int c = 0; c < 9; ++c)
        {
            grid->SetColumnWidth(c, 100);
            grid->SetItemText(0, c, QStringLiteral("Heading %1").arg(c));
        }
        for (int summary = 1; summary < rows; summary += 2)
        {
            const int s = summary / 2;
            grid->SetRowHeight(summary, 22);
            for (int c = 0; c < 9; ++c)
                grid->SetItemText(summary, c, QStringLiteral("Series %1 value %2").arg(s).arg(c));
            if (summary + 1 >= rows)
                break;
            grid->SetRowHeight(summary + 1, 60);
            grid->MergeColumns(summary + 1, 1, 8);
            grid->SetItemText(summary + 1, 1, QStringLiteral("Details of series %1").arg(s));
        }
        grid->SetRedraw(true, true);
        parent.show();
        QApplication::processEvents();
    }

    QApplication& app = App();
    QWidget parent;
    CGridCtrl* grid = nullptr;
};

// Painting the visible area into an image of the client size, as a paint event would.
void PaintVisible(benchmark::State& state, SeriesGrid& fixture)
{
    CGridCtrl* grid = fixture.grid;
    // Scrolled into the middle: the paint must not depend on the rows above or below.
    grid->OnVScroll(SB_THUMBPOSITION, static_cast<int>(grid->GetVirtualHeight() / 2));
    const Platform::Rect client = grid->GetClientRect();
    QImage image(client.Width(), client.Height(), QImage::Format_RGB32);
    for (auto _ : state)
    {
        Platform::ImageCanvas dc(image);
        grid->OnDraw(&dc, false);
        benchmark::DoNotOptimize(image.bits());
    }
    const CGridCellRect range = grid->GetVisibleScrollingRange();
    state.counters["visible_rows"] = range.maxRow - range.minRow + 1;
}

SeriesGrid& LargeGrid()
{
    // Kept for the process's life: widgets must not outlive the application at exit.
    static SeriesGrid* fixture = new SeriesGrid(1 + 2 * 20000);
    return *fixture;
}

void PaintVisibleArea_20000Series(benchmark::State& state)
{
    PaintVisible(state, LargeGrid());
}

// Scrolling the last series into view and back to the first: one line request per row
// passed, each of which finds the new top row.
void EnsureVisibleAcross_20000Series(benchmark::State& state)
{
    CGridCtrl* grid = LargeGrid().grid;
    const int last = grid->GetRowCount() - 1;
    for (auto _ : state)
    {
        grid->EnsureVisible(last, 1);
        grid->EnsureVisible(1, 1);
        benchmark::DoNotOptimize(grid->GetTopLeftScrollingCell());
    }
}

void PaintVisibleArea_20Rows(benchmark::State& state)
{
    // 20 rows: a heading and the first rows of the same layout.
    static SeriesGrid* fixture = new SeriesGrid(20);
    PaintVisible(state, *fixture);
}

} // namespace

// Both in one run, so they compare under the same conditions: the large grid's paint must
// stay within 1.5 times the small one's.
BENCHMARK(PaintVisibleArea_20Rows)->Unit(benchmark::kMicrosecond);
BENCHMARK(PaintVisibleArea_20000Series)->Unit(benchmark::kMicrosecond);
BENCHMARK(EnsureVisibleAcross_20000Series)->Unit(benchmark::kMillisecond);
