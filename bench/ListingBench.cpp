#include "device/DeviceTypes.h"
#include "devicefiles/core/DeviceListing.h"

#include "BaselineRatio.h"
#include "PageFaults.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <map>
#include <memory>

namespace
{
constexpr double kGoalCharactersPerSecond = 100e6;
// The smallest listing of the benchmark; the others are 10 and 100 times as long. The tester's
// largest listing reply (1,000,000 characters) is the middle one.
constexpr qsizetype kOneTimes = 100000;

// A measurement folder of about `characters` characters: folders of two levels with series
// files in them.
QString Listing(qsizetype characters)
{
    QString text = QStringLiteral("0000;00;\"\\Persistent Storage\\Measurements\\\";");
    for (int line = 0; text.size() < characters; ++line)
    {
        text += QStringLiteral("1000;01;\"Line %1.DIR\";").arg(line);
        for (int week = 0; week < 4; ++week)
        {
            text += QStringLiteral("1000;02;\"Week %1.DIR\";").arg(week);
            for (int file = 0; file < 20; ++file)
                text += QStringLiteral("0001;03;\"S%1.vsm\";").arg(file, 4, 10, QLatin1Char('0'));
        }
    }
    text.chop(1);
    return text;
}

const QString& CachedListing(qsizetype characters)
{
    static std::map<qsizetype, QString> listings;
    QString& text = listings[characters];
    if (text.isEmpty())
        text = Listing(characters);
    return text;
}

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct ParseTimes
{
    double parse = 0.0;    // seconds in ParseListing
    double parseCpu = 0.0; // CPU seconds of the thread in ParseListing
    double drop = 0.0;     // seconds letting go of the records
    size_t records = 0;
    int64_t faults = 0; // minor page faults in ParseListing
};

// The records are let go outside the parse's time, as their owner does when it is done with
// them; that time is taken apart.
ParseTimes TimedParse(const QString& text)
{
    using Clock = std::chrono::steady_clock;
    using Seconds = std::chrono::duration<double>;
    QString listing = text;
    QString prefix;
    auto records = std::make_unique<TVeskFileArray>();
    const int64_t faults0 = MinorFaults();
    const double cpu0 = ThreadCpuSeconds();
    const Clock::time_point start = Clock::now();
    ParseListing(listing, Device::fileMeasurement, prefix, *records);
    const Clock::time_point parsed = Clock::now();
    ParseTimes times;
    times.parseCpu = ThreadCpuSeconds() - cpu0;
    times.faults = MinorFaults() - faults0;
    times.records = records->size();
    records.reset();
    const Clock::time_point dropped = Clock::now();
    times.parse = Seconds(parsed - start).count();
    times.drop = Seconds(dropped - parsed).count();
    return times;
}

// The parse of a listing 1, 10 and 100 times as long: at least 100 million characters a second
// at each length (rate_vs_goal >= 1), and linear, which the time per character against the
// shortest listing, parsed beside it in the same run, shows (per_char_vs_1x near 1). The time
// to let go of the records is reported against the parse's (drop_vs_parse), the minor page
// faults of a parse per 1000 characters and its CPU time beside them (minflt_per_kchar,
// cpu_ms). These are warm figures: Google Benchmark reports its last trial, whose parses
// reuse the memory of the trials before. BM_ParseListingFirst is one round alone: run it for
// one length in a fresh process (--benchmark_filter='BM_ParseListingFirst/times:10/') to see
// what a user's first listing costs.
void BM_ParseListing(benchmark::State& state)
{
    const int times = int(state.range(0));
    const QString& text = CachedListing(kOneTimes * times);
    const QString& shortest = CachedListing(kOneTimes);
    BaselineTimes measured;
    double dropSeconds = 0.0;
    double cpuSeconds = 0.0;
    size_t count = 0;
    int64_t faults = 0;
    for (auto _ : state)
    {
        const ParseTimes parse = TimedParse(text);
        faults += parse.faults;
        cpuSeconds += parse.parseCpu;
        state.SetIterationTime(parse.parse);
        measured.subjectSeconds += parse.parse;
        dropSeconds += parse.drop;
        count = parse.records;
        double shortestSeconds = 0.0;
        for (int i = 0; i < times; ++i)
            shortestSeconds += TimedParse(shortest).parse;
        measured.baselineSeconds += shortestSeconds / times;
    }
    const double characters = double(text.size());
    state.counters["records"] = double(count);
    state.counters["characters"] = characters;
    state.counters["rate_vs_goal"] =
        measured.RateOverGoal(characters, state.iterations(), kGoalCharactersPerSecond);
    state.counters["per_char_vs_1x"] = measured.Ratio() * double(shortest.size()) / characters;
    state.counters["drop_vs_parse"] =
        measured.subjectSeconds > 0.0 ? dropSeconds / measured.subjectSeconds : 0.0;
    state.counters["cpu_ms"] = cpuSeconds * 1000.0 / double(state.iterations());
    state.counters["minflt_per_kchar"] = double(faults) / double(state.iterations()) / characters * 1000.0;
    state.SetItemsProcessed(int64_t(state.iterations()) * text.size());
}
BENCHMARK(BM_ParseListing)
    ->ArgName("times")
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_ParseListing)
    ->Name("BM_ParseListingFirst")
    ->ArgName("times")
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
