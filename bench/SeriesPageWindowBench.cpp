// The series page as the user waits for it: the program's main window, shown, over a
// project whose folder "\Many\" holds n series of mixed kinds and times, every one of them
// open. Each action is what the user does (a click in the tree or on a heading, a key, an
// entry of the expand menu) and its clock stops once every event it caused has been
// handled, the paints of the window included ("paints": paints of the page's grid in the
// timed part). Most actions are timed warm, in a window that has shown the folder before
// and keeps its cells; the first click after opening is timed cold, in a new window each
// round ("FirstFolderClick").
//
// Goals: each action at 4,096 series within 150 ms; at 20,000 within 500 ms and within 5
// times its time at 4,096 ("x_4096", the ratio of the mean wall times of one run; with
// repetitions, to the mean of every run at 4,096). "Time"
// is wall time, "CPU" the UI thread's processor time: on a shared machine the second shows
// what the program spends when the first is stretched by the load.
#include "app/CommandIds.h"
#include "app/LeftView.h"
#include "app/LocalTree.h"
#include "app/MainFrm.h"
#include "app/RightView.h"
#include "document/VeskDoc.h"
#include "export/ExportOptionDlg.h"
#include "grid/GridCtrl.h"
#include "platform/core/StringTable.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/PopupMenu.h"
#include "platform/io/FtpBackend.h"
#include "resources/StringIds.h"
#include "seriesview/TabGrid.h"
#include "streamio/StreamIO.h"
#include "tests/support/ExportOptionDriver.h"
#include "tests/support/FileDialogRecorder.h"
#include "tests/support/MemoryClipboard.h"
#include "tests/support/ModalDialogRunner.h"
#include "tests/support/PdfPrintDialog.h"
#include "tests/support/SampleProject.h"

#include "BenchApp.h"
#include "CountingBoxes.h"
#include "PageFaults.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <malloc.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{
const QString kMany = QStringLiteral("\\Many\\");
const QString kFew = QStringLiteral("\\Few\\");
constexpr int kSmall = 4096;
constexpr int kLarge = 20000;

// The start-up check of the main window asks no server from a benchmark.
class NoFtpServer final : public Platform::FtpBackend
{
public:
    uint32_t Connect(const Platform::FtpServerAddress&, const QString&, const QString&,
                     std::unique_ptr<Platform::FtpConnection>& connection, QString& errorText,
                     const std::shared_ptr<Platform::FtpAbort>&) override
    {
        connection.reset();
        errorText = QStringLiteral("No server from a benchmark.");
        return Err::InternetCannotConnect;
    }
};

// Counts the paints of a widget.
class PaintCounter final : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
    int paints = 0;
};

// Answers every popup menu by choosing the entry with the text set in `wanted`, as the user
// clicks it; none when no entry has it.
class ChooseEntry final : public Platform::PopupMenuService
{
public:
    QAction* Track(QMenu& menu, QPoint, unsigned, QWidget*) override
    {
        for (QAction* action : menu.actions())
        {
            const QVariant whole = action->property(Platform::kMenuItemTextProperty);
            if ((whole.isValid() ? whole.toString() : action->text()) == wanted && action->isEnabled())
            {
                action->trigger();
                return action;
            }
        }
        return nullptr;
    }
    QString wanted;
};

ChooseEntry& Menus()
{
    static ChooseEntry menus;
    return menus;
}

// Settings, conversions and projects of the run live in one temporary folder.
QTemporaryDir& RunDir()
{
    static QTemporaryDir dir;
    return dir;
}

QApplication& WindowApp()
{
    static QApplication& app = []() -> QApplication&
    {
        const QString root = RunDir().path();
        qputenv("VESKADOR_CONFIG_DIR", QDir(root).filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("XDG_DATA_HOME", QDir(root).filePath(QStringLiteral("data")).toLocal8Bit());
        const QString conversions = QDir(root).filePath(QStringLiteral("data/Velmor/Veskador 3/conversions"));
        QDir().mkpath(conversions);
        SampleProject::WriteStandardCnv(QDir(conversions).filePath(QStringLiteral("Standard.cnv")));
        QApplication& a = BenchApp();
        Platform::SetFtpBackend(std::make_shared<NoFtpServer>());
        // Every box answered No: a sorted project is never saved.
        static CountingBoxes boxes(Platform::IDNO);
        Platform::SetMessageBoxService(&boxes);
        Platform::SetPopupMenuService(&Menus());
        StreamIO::StartStreamIO();
        return a;
    }();
    return app;
}

// The longest stretch in which the UI thread handled no event while the watch runs: a
// zero-time timer fires whenever the thread gets to its events.
class UnansweredWatch
{
public:
    UnansweredWatch()
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Note(); });
        m_clock.start();
        m_timer.start();
    }
    // Ends the watch; the longest stretch in milliseconds, the one up to now included.
    double StopMs()
    {
        m_timer.stop();
        Note();
        return double(m_longestNs) / 1e6;
    }

private:
    void Note()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longestNs = std::max(m_longestNs, now - m_last);
        m_last = now;
    }

    QElapsedTimer m_clock;
    QTimer m_timer;
    qint64 m_last = 0;
    qint64 m_longestNs = 0;
};

// Lets every event of an action be handled, paints and zero-time timers included.
void Settle()
{
    for (int i = 0; i < 3; ++i)
    {
        QCoreApplication::sendPostedEvents();
        QApplication::processEvents(QEventLoop::AllEvents);
    }
}

// The project of `n` series in "\\Many\\", every one open, and one in "\\Few\\": written once
// a run.
QString ProjectOf(int n)
{
    static std::map<int, QString> paths;
    QString& path = paths[n];
    if (path.isEmpty())
    {
        path = QDir(RunDir().path()).filePath(QStringLiteral("page%1.v3p").arg(n));
        CVeskDoc doc;
        SampleProject::FillMixedFolder(doc, kMany, n, true);
        SampleProject::Add(doc, kFew, QStringLiteral("Alone"),
                           SampleProject::Rebound(SeriesFixture::kHRC, {500, 520},
                                                  QDateTime(QDate(2023, 3, 1), QTime(8, 0))));
        doc.SaveProject(path);
    }
    return path;
}

// A main window over the project of `n` series, showing "\\Many\\" with every series open
// (or, not `shown`, the project as it opens). Kept for the run unless closed; only one window
// is shown at a time.
class SWindow
{
public:
    explicit SWindow(int n, bool shown = true) : count(n)
    {
        frame = new CMainFrame(QStringList{QStringLiteral("veskador3"), ProjectOf(n)});
        frame->resize(1024, 740);
        frame->show();
        QApplication::setActiveWindow(frame);
        Settle();
        if (shown)
        {
            ClickFolder(kMany);
            Page().ExpandAll(true);
            Settle();
        }
        Grid().viewport()->installEventFilter(&counter);
    }
    ~SWindow() { delete frame; }
    SWindow(const SWindow&) = delete;
    SWindow& operator=(const SWindow&) = delete;

    void Show()
    {
        if (frame->isVisible())
            return;
        frame->show();
        QApplication::setActiveWindow(frame);
        Settle();
    }
    void Hide() { frame->hide(); }

    void ClickFolder(const QString& folder)
    {
        CLocalTree& tree = static_cast<CLeftView*>(frame->LeftView())->Tree();
        TreeItem* item = tree.FindItem(folder);
        if (item)
            QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.GetItemLabelRect(item).center());
    }
    void ClickHeading(int col)
    {
        Platform::Rect r;
        if (Grid().GetCellRect(0, col, &r))
            QTest::mouseClick(Grid().viewport(), Qt::LeftButton, {},
                              QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) { QTest::keyClick(&Grid(), key, modifiers); }
    // A right click on the first row's gripper, and the entry of the menu it opens.
    void ExpandMenu(uint32_t entry)
    {
        Key(Qt::Key_Home, Qt::ControlModifier);
        Settle();
        Platform::Rect r;
        if (!Grid().GetCellRect(1, CTabGrid::COL_GRIPPER, &r))
            return;
        Menus().wanted = Platform::LoadString(entry);
        QTest::mouseClick(Grid().viewport(), Qt::RightButton, {}, QPoint(r.left + 4, r.top + 4));
        Menus().wanted.clear();
    }
    // The page shows the folder's series and every one is open.
    bool AllShownOpen()
    {
        if (Grid().GetRowCount() != 2 * count + 1 || Doc().GetSeriesCount() != count)
            return false;
        for (int i = 0; i < count; ++i)
            if (!Doc().IsSeriesExpanded(i))
                return false;
        return true;
    }

    CVeskDoc& Doc() { return frame->Document(); }
    CTabGrid& Page()
    {
        return *dynamic_cast<CTabGrid*>(static_cast<CRightView*>(frame->RightView())->Page());
    }
    CGridCtrl& Grid() { return *Page().Grid(); }

    const int count;
    CMainFrame* frame = nullptr;
    PaintCounter counter;
};

// The warm windows, left to the end of the process.
std::map<int, SWindow*>& Windows()
{
    static std::map<int, SWindow*> windows;
    return windows;
}

void HideWindows(int besides)
{
    for (auto& [size, window] : Windows())
        if (size != besides)
            window->Hide();
}

SWindow& WindowOf(int n)
{
    WindowApp();
    HideWindows(n);
    SWindow*& window = Windows()[n];
    if (!window)
        window = new SWindow(n);
    window->Show();
    return *window;
}

// Wall times of each action at 4,096 series (sum of the runs' means, runs), for the
// ratio at 20,000: with repetitions, the mean of them all.
struct SSmallTime
{
    double sum = 0.0;
    int runs = 0;
};
std::map<std::string, SSmallTime>& SmallTimes()
{
    static std::map<std::string, SSmallTime> times;
    return times;
}

// Times `act` after an untimed `prepare` in every iteration, with every event settled on
// both sides; `check` tells whether the page ended as it should. The window may change in
// `prepare`: `windowOf` names the one of the round.
template <class WindowOf, class Prepare, class Act, class Check>
void TimeRounds(benchmark::State& state, const std::string& name, WindowOf windowOf, Prepare prepare, Act act,
                Check check)
{
    using Clock = std::chrono::steady_clock;
    double seconds = 0.0;
    int paints = 0;
    int64_t faults = 0;
    double unanswered = 0.0; // ms
    for (auto _ : state)
    {
        state.PauseTiming();
        prepare();
        Settle();
        SWindow& window = windowOf();
        window.counter.paints = 0;
        state.ResumeTiming();
        const int64_t faultsBefore = ThreadMinorFaults();
        const Clock::time_point start = Clock::now();
        UnansweredWatch answers;
        act();
        Settle();
        unanswered = std::max(unanswered, answers.StopMs());
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        faults += ThreadMinorFaults() - faultsBefore;
        paints += window.counter.paints;
        if (!check())
        {
            state.SkipWithError("the page did not end as the action should leave it");
            break;
        }
    }
    const double iterations = double(std::max<int64_t>(1, state.iterations()));
    const double mean = seconds / iterations;
    state.counters["paints"] = double(paints) / iterations;
    const int count = int(state.range(0));
    // Fresh pages touched, per series of the folder.
    state.counters["faults_per_series"] = double(faults) / iterations / double(std::max(1, count));
    state.counters["longest_unanswered_ms"] = unanswered;
    if (count == kSmall)
    {
        SmallTimes()[name].sum += mean;
        SmallTimes()[name].runs += 1;
    }
    else if (const auto small = SmallTimes().find(name); small != SmallTimes().end() && small->second.sum > 0)
    {
        state.counters["x_4096"] = mean / (small->second.sum / small->second.runs);
    }
}

template <class Prepare, class Act, class Check>
void TimeAction(benchmark::State& state, const std::string& name, SWindow& window, Prepare prepare, Act act,
                Check check)
{
    TimeRounds(
        state, name, [&]() -> SWindow& { return window; }, prepare, act, check);
}

// A click on the folder in the tree, coming from another folder.
void BM_WindowFolderClick(benchmark::State& state)
{
    SWindow& w = WindowOf(int(state.range(0)));
    TimeAction(
        state, "folder", w, [&] { w.ClickFolder(kFew); }, [&] { w.ClickFolder(kMany); },
        [&] { return w.AllShownOpen(); });
}

// The first click on the folder after the project was opened, cold: each round opens the
// project in a new main window, whose grid has made no cell for the folder, after the
// memory of the round before went back to the system, as in a program just started.
void BM_WindowFirstFolderClick(benchmark::State& state)
{
    const int n = int(state.range(0));
    WindowApp();
    ProjectOf(n);
    HideWindows(-1);
    std::unique_ptr<SWindow> window;
    TimeRounds(
        state, "firstclick", [&]() -> SWindow& { return *window; },
        [&]
        {
            window.reset();
            malloc_trim(0);
            window = std::make_unique<SWindow>(n, false);
        },
        [&] { window->ClickFolder(kMany); }, [&] { return window->AllShownOpen(); });
    window.reset();
    malloc_trim(0);
}
BENCHMARK(BM_WindowFirstFolderClick)
    ->Arg(kSmall)
    ->Arg(kLarge)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// Expand all and Collapse all, each chosen in the menu of a right click on a gripper.
void BM_WindowExpandAll(benchmark::State& state)
{
    SWindow& w = WindowOf(int(state.range(0)));
    TimeAction(
        state, "expand", w, [&] { w.Page().ExpandAll(false); },
        [&] { w.ExpandMenu(StringId::IDS_EXPAND_ALL); }, [&] { return w.AllShownOpen(); });
}

void BM_WindowCollapseAll(benchmark::State& state)
{
    SWindow& w = WindowOf(int(state.range(0)));
    TimeAction(
        state, "collapse", w, [&] { w.Page().ExpandAll(true); },
        [&] { w.ExpandMenu(StringId::IDS_COLLAPSE_ALL); },
        [&] { return w.Doc().GetSeriesCount() == w.count && !w.Doc().IsSeriesExpanded(w.count - 1); });
    w.Page().ExpandAll(true);
    Settle();
}

// A click on a column's heading; ascending and descending take turns.
void BM_WindowSortBy(benchmark::State& state)
{
    SWindow& w = WindowOf(int(state.range(0)));
    const int col = int(state.range(1));
    TimeAction(
        state, "sort" + std::to_string(col), w, [] {}, [&] { w.ClickHeading(col); },
        [&] { return w.AllShownOpen() && w.Grid().GetSortColumn() == col; });
    state.SetLabel(w.Grid().GetItemText(0, col).toStdString());
}

// Ctrl+A with one series selected by a click.
void BM_WindowSelectAll(benchmark::State& state)
{
    SWindow& w = WindowOf(int(state.range(0)));
    TimeAction(
        state, "selectall", w,
        [&]
        {
            w.Key(Qt::Key_Home, Qt::ControlModifier);
            Platform::Rect r;
            if (w.Grid().GetCellRect(1, CTabGrid::COL_COUNT, &r))
                QTest::mouseClick(w.Grid().viewport(), Qt::LeftButton, {}, QPoint(r.left + 4, r.top + 4));
        },
        [&] { w.Key(Qt::Key_A, Qt::ControlModifier); },
        [&] { return w.Page().MarkedSeries().size() == size_t(w.count); });
}

// Ctrl+End from the top.
void BM_WindowCtrlEnd(benchmark::State& state)
{
    SWindow& w = WindowOf(int(state.range(0)));
    TimeAction(
        state, "ctrlend", w, [&] { w.Key(Qt::Key_Home, Qt::ControlModifier); },
        [&] { w.Key(Qt::Key_End, Qt::ControlModifier); },
        [&] { return w.Grid().GetFocusCell().row >= w.Grid().GetRowCount() - 2; });
}

void Sizes(benchmark::internal::Benchmark* b)
{
    b->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
}
void SortSizes(benchmark::internal::Benchmark* b)
{
    for (int col : {int(CTabGrid::COL_PROBE), int(CTabGrid::COL_TIME)})
        for (int n : {kSmall, kLarge})
            b->Args({n, col});
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);
}
BENCHMARK(BM_WindowFolderClick)->Apply(Sizes);
BENCHMARK(BM_WindowExpandAll)->Apply(Sizes);
BENCHMARK(BM_WindowCollapseAll)->Apply(Sizes);
BENCHMARK(BM_WindowSortBy)->Apply(SortSizes);
BENCHMARK(BM_WindowSelectAll)->Apply(Sizes);
BENCHMARK(BM_WindowCtrlEnd)->Apply(Sizes);

// The long jobs of the page through its commands (the toolbar's buttons), on a folder of
// collapsed series, the option dialog answered at once: the graphic export of "Headers
// only" of "All" as one PNG, as one BMP (encoded whole, on a thread of its own; at 4,096
// series only, as the picture of 20,000 takes 1.5 GB), to the clipboard, the text export
// of all series as one file, and printing to a PDF file. Time is the whole command;
// "gap_ms" is the longest stretch in which the UI thread handled no event
// (UnansweredWatch), the mean over the iterations of each one's longest, "gap_max_ms" the
// longest of all. Goal: every gap within 250 ms.
enum NJob
{
    JobPng,
    JobBmp,
    JobClipboard,
    JobText,
    JobPrint,
};

struct SJob
{
    const char* name;
    uint32_t command;
    std::vector<int> choices; // of the option dialog
    const char* file;
};

// Choice values of the option dialogs: graphic headers only 0, all 3, one file 5,
// clipboard 7; text all 2, one file 4.
const SJob& JobOf(int job)
{
    static const SJob jobs[] = {
        {"png", Cmd::ID_EXPORT_GRAPHIC, {0, 3, 5}, "export.png"},
        {"bmp", Cmd::ID_EXPORT_GRAPHIC, {0, 3, 5}, "export.bmp"},
        {"clipboard", Cmd::ID_EXPORT_GRAPHIC, {0, 3, 7}, nullptr},
        {"text", Cmd::ID_EXPORT_TEXT, {2, 4}, "export.csv"},
        {"print", Cmd::ID_PRINT, {}, "print.pdf"},
    };
    return jobs[job];
}

void BM_WindowLongJob(benchmark::State& state)
{
    SWindow& w = WindowOf(int(state.range(0)));
    const SJob& job = JobOf(int(state.range(1)));
    state.SetLabel(job.name);
    w.Page().ExpandAll(false);
    Settle();
    const QString file = job.file ? QDir(RunDir().path()).filePath(QLatin1String(job.file)) : QString();
    double gaps = 0.0;
    double longest = 0.0;
    for (auto _ : state)
    {
        if (!file.isEmpty())
            QFile::remove(file);
        FileDialogRecorder files;
        files.Answer(file);
        MemoryClipboard clipboard;
        PdfPrintDialog printing(file);
        ModalDialogRunner runner(
            [&job](QDialog& d)
            {
                auto& dlg = static_cast<CExportOptionDlg&>(d);
                ExportOptionDriver::ShowPainted(dlg);
                for (int choice : job.choices)
                    ExportOptionDriver::ClickChoices(dlg, {choice});
                ExportOptionDriver::PressExport(dlg);
            });
        QElapsedTimer clock;
        clock.start();
        UnansweredWatch answers;
        w.frame->UpdateCommandUI();
        w.frame->Action(job.command)->trigger();
        const qint64 total = clock.nsecsElapsed();
        const double gap = answers.StopMs();
        gaps += gap;
        longest = std::max(longest, gap);
        state.SetIterationTime(double(total) / 1e9);
        const bool done = job.file ? QFile::exists(file) : bool(clipboard.content.image);
        if (runner.runs != (job.command == Cmd::ID_PRINT ? 0 : 1) || !done)
        {
            state.SkipWithError("the job did not run");
            break;
        }
        state.PauseTiming();
        Settle();
        state.ResumeTiming();
    }
    const double iterations = double(std::max<int64_t>(1, state.iterations()));
    state.counters["gap_ms"] = gaps / iterations;
    state.counters["gap_max_ms"] = longest;
    w.Page().ExpandAll(true);
    Settle();
}
BENCHMARK(BM_WindowLongJob)
    ->Args({kSmall, JobPng})
    ->Args({kSmall, JobBmp})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_WindowLongJob)
    ->Args({kLarge, JobPng})
    ->Args({kLarge, JobClipboard})
    ->Args({kLarge, JobText})
    ->Args({kLarge, JobPrint})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
} // namespace
