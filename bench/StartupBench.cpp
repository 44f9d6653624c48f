// The program started with a project on its command line, as a user starts it: each round
// runs this program again as a fresh process that goes through the program's own start-up
// (the application object, the main window, the conversions folder, the open of the
// project) until the window is drawn, and reports back. Two installs are set side by side in
// every round, in turns: a fresh one without Standard.cnv, where every series misses its
// conversion record, and one whose Standard.cnv holds the record ("record"). A third start
// without a project gives the program's own memory, so that what the project holds follows.
// Figures: the time from the process's start to the drawn window ("ms", goal for the fresh
// install at most 1.5x the install with the record: "x_record"), the CPU time the process
// used until then ("cpu_ms", all threads), its resident memory ("rss_MB") and the memory the
// project holds per series beyond the readings' own 8 bytes each
// ("held_B_per_series_beyond_readings", goal at most 400 for the short series). The project
// file is read once before the first round, so every start reads it from the page cache. The
// load average of the machine at the end of the run goes beside them ("load_1min").
// Arguments: the project of 200,000 short series (-1) and the 100 folders of long series (100).
#include "app/MainFrm.h"
#include "app/Veskador3SE.h"
#include "platform/core/AllocatorSettings.h"
#include "platform/gui/MessageBox.h"

#include "BenchProjects.h"
#include "BenchRun.h"

#include <QApplication>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace
{
using namespace BenchProjects;

// The first argument that makes this program one start of the program under test; the
// second is the project, or kNoProject.
constexpr const char* kChildFlag = "--start-program";
constexpr const char* kNoProject = "-";

// Answers every message box at once with its first button, counting them: a fresh install
// says that Standard.cnv is missing.
class SAnsweringBoxes final : public Platform::MessageBoxService
{
public:
    int Show(QWidget*, const QString&, const QString&, uint32_t type) override
    {
        ++count;
        switch (type & 0x0F)
        {
        case Platform::MB_ABORTRETRYIGNORE:
            return Platform::IDABORT;
        case Platform::MB_YESNOCANCEL:
        case Platform::MB_YESNO:
            return Platform::IDYES;
        case Platform::MB_RETRYCANCEL:
            return Platform::IDRETRY;
        default:
            return Platform::IDOK;
        }
    }
    int count = 0;
};

double MonotonicSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One start of the program, as main() makes it, then a line for the benchmark: whether the
// start succeeded, the monotonic clock when the window was drawn, the CPU seconds until
// then, the resident bytes, the folders opened and the message boxes answered. The process
// ends without tearing down: that is not what the user waits for.
int StartProgram(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veskador 3"));
    SAnsweringBoxes boxes;
    Platform::SetMessageBoxService(&boxes);
    CVeskador3SEApp& app = theApp();
    app.InitApplication();
    QStringList arguments{QStringLiteral("veskador3")};
    if (std::strcmp(argv[2], kNoProject) != 0)
        arguments << QString::fromLocal8Bit(argv[2]);
    const bool ok = app.InitInstance(arguments);
    QApplication::processEvents();
    if (ok)
        app.MainWindow()->repaint();
    QApplication::processEvents();
    const double drawn = MonotonicSeconds();
    const double cpu = CpuSeconds();
    const long long rss = ProcStatus("VmRSS");
    const size_t folders = ok ? app.MainWindow()->Document().GetFolderCount() : 0;
    std::printf("%d %.6f %.6f %lld %zu %d\n", ok ? 1 : 0, drawn, cpu, rss, folders, boxes.count);
    std::fflush(stdout);
    std::_Exit(0);
}

struct SStart
{
    bool ok = false;
    double seconds = 0.0; // from the spawn to the drawn window
    double cpuSeconds = 0.0;
    double rss = 0.0;
    size_t folders = 0;
    int boxes = 0;
};

// Starts this program as one start of the program under test, with the data and settings
// folders of an install, and waits for its report.
SStart StartInstall(const QString& install, const QString& project)
{
    const QByteArray self =
        QFile::encodeName(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath());
    const QByteArray projectArg = project.isEmpty() ? QByteArray(kNoProject) : QFile::encodeName(project);
    char* argv[] = {const_cast<char*>(self.constData()), const_cast<char*>(kChildFlag),
                    const_cast<char*>(projectArg.constData()), nullptr};
    std::vector<QByteArray> variables = {
        "QT_QPA_PLATFORM=offscreen",
        "XDG_DATA_HOME=" + QFile::encodeName(install + QStringLiteral("/data")),
        "VESKADOR_CONFIG_DIR=" + QFile::encodeName(install + QStringLiteral("/config")),
    };
    for (char** e = environ; *e; ++e)
    {
        const QByteArray v(*e);
        if (!v.startsWith("QT_QPA_PLATFORM=") && !v.startsWith("XDG_DATA_HOME=") &&
            !v.startsWith("VESKADOR_CONFIG_DIR="))
            variables.push_back(v);
    }
    std::vector<char*> envp;
    for (QByteArray& v : variables)
        envp.push_back(v.data());
    envp.push_back(nullptr);

    SStart result;
    int out[2];
    if (pipe(out) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const double start = MonotonicSeconds();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buffer[256];
    for (ssize_t got; spawned == 0 && (got = read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, size_t(got));
    close(out[0]);
    if (spawned != 0)
        return result;
    int status = 0;
    waitpid(pid, &status, 0);
    int ok = 0;
    double drawn = 0.0;
    long long rss = 0;
    if (std::sscanf(text.c_str(), "%d %lf %lf %lld %zu %d", &ok, &drawn, &result.cpuSeconds, &rss,
                    &result.folders, &result.boxes) == 6)
    {
        result.ok = ok == 1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        result.seconds = drawn - start;
        result.rss = double(rss);
    }
    return result;
}

// An install: its data folder, with a Standard.cnv that holds the series' record when asked.
QString MakeInstall(const QString& name, bool withRecord)
{
    const QString install = QDir::tempPath() + QStringLiteral("/veskador-bench-install-") + name;
    QDir(install).removeRecursively();
    const QString conversions = install + QStringLiteral("/data/Velmor/Veskador 3/conversions");
    QDir().mkpath(conversions);
    if (withRecord)
    {
        // A conversion file without a checksum: header, then the record behind its length.
        const std::vector<uint8_t> record = SeriesRecord();
        QByteArray bytes("@cNV@", 5);
        bytes.append(char(1)); // version
        bytes.append(char(1)); // header revision
        bytes.append(2, char(0));
        const uint32_t total = uint32_t(16 + 2 + record.size());
        bytes.append(char(total & 0xFF));
        bytes.append(char((total >> 8) & 0xFF));
        bytes.append(char((total >> 16) & 0xFF));
        bytes.append(2, char(0)); // flags
        bytes.append(char(1));    // one record
        bytes.append(char(0));
        bytes.append(char(record.size() & 0xFF));
        bytes.append(char(record.size() >> 8));
        bytes.append(reinterpret_cast<const char*>(record.data()), qsizetype(record.size()));
        QFile file(conversions + QStringLiteral("/Standard.cnv"));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return QString();
    }
    return install;
}

double LoadAverage()
{
    double load = 0.0;
    if (FILE* f = std::fopen("/proc/loadavg", "r"))
    {
        if (std::fscanf(f, "%lf", &load) != 1)
            load = 0.0;
        std::fclose(f);
    }
    return load;
}

void BM_StartWithProject(benchmark::State& state)
{
    const int folders = int(state.range(0));
    const size_t folderCount = BenchProject(folders).GetFolderCount();
    const QString path = ProjectPath(folders);
    const int64_t size = QFileInfo(path).size();
    {
        std::vector<char> into(size_t(size), 1);
        PlainRead(path, into);
    }
    const QString fresh = MakeInstall(QStringLiteral("fresh"), false);
    const QString withRecord = MakeInstall(QStringLiteral("record"), true);
    if (fresh.isEmpty() || withRecord.isEmpty())
    {
        state.SkipWithError("the installs could not be made");
        return;
    }
    SStart sumFresh;
    SStart sumRecord;
    double emptyRss = 0.0;
    int round = 0;
    for (auto _ : state)
    {
        // In turns, so that both meet the same load.
        SStart a;
        SStart b;
        if (round++ % 2 == 0)
        {
            a = StartInstall(fresh, path);
            b = StartInstall(withRecord, path);
        }
        else
        {
            b = StartInstall(withRecord, path);
            a = StartInstall(fresh, path);
        }
        const SStart empty = StartInstall(fresh, QString());
        // The fresh install says that Standard.cnv is missing; the other says nothing.
        if (!a.ok || !b.ok || !empty.ok || a.folders != folderCount || b.folders != folderCount ||
            a.boxes == 0 || b.boxes != 0)
        {
            state.SkipWithError("a start failed, or the installs were not what they should be");
            return;
        }
        state.SetIterationTime(a.seconds);
        sumFresh.seconds += a.seconds;
        sumFresh.cpuSeconds += a.cpuSeconds;
        sumFresh.rss += a.rss;
        sumRecord.seconds += b.seconds;
        sumRecord.cpuSeconds += b.cpuSeconds;
        sumRecord.rss += b.rss;
        emptyRss += empty.rss;
    }
    const double rounds = double(std::max<int64_t>(1, state.iterations()));
    const double series = double(FolderCount(folders)) * SeriesPerFolder(folders);
    const double readingBytes = 8.0 * ReadingsPerSeries(folders);
    state.counters["file_MB"] = double(size) / 1e6;
    state.counters["ms"] = sumFresh.seconds * 1000.0 / rounds;
    state.counters["record_ms"] = sumRecord.seconds * 1000.0 / rounds;
    state.counters["x_record"] = sumRecord.seconds > 0.0 ? sumFresh.seconds / sumRecord.seconds : 0.0;
    state.counters["cpu_ms"] = sumFresh.cpuSeconds * 1000.0 / rounds;
    state.counters["record_cpu_ms"] = sumRecord.cpuSeconds * 1000.0 / rounds;
    state.counters["rss_MB"] = sumFresh.rss / 1e6 / rounds;
    state.counters["record_rss_MB"] = sumRecord.rss / 1e6 / rounds;
    state.counters["empty_rss_MB"] = emptyRss / 1e6 / rounds;
    state.counters["held_B_per_series_beyond_readings"] =
        (sumFresh.rss - emptyRss) / rounds / series - readingBytes;
    state.counters["record_held_B_per_series_beyond_readings"] =
        (sumRecord.rss - emptyRss) / rounds / series - readingBytes;
    state.counters["load_1min"] = LoadAverage();
}
BENCHMARK(BM_StartWithProject)
    ->Arg(kShortProject)
    ->Arg(100)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    Platform::ApplyAllocatorSettings();
    if (argc == 3 && std::strcmp(argv[1], kChildFlag) == 0)
        return StartProgram(argc, argv);
    return RunBenchmarks(argc, argv);
}
