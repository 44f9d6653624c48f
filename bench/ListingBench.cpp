#include "device/DeviceTypes.h"
#include "devicefiles/DeviceListing.h"

#include "BaselineRatio.h"

#include <benchmark/benchmark.h>

#include <map>

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

// Parsing and letting go of the records, as the dialogs do with each listing they show.
size_t ParseAndDrop(const QString& text)
{
    QString listing = text;
    QString prefix;
    TVeskFileArray records;
    ParseListing(listing, Device::fileMeasurement, prefix, records);
    benchmark::DoNotOptimize(records.data());
    return records.size();
}

// The parse of a listing 1, 10 and 100 times as long: at least 100 million characters a second
// at each length (rate_vs_goal >= 1), and linear, which the time per character against the
// shortest listing, parsed beside it in the same run, shows (per_char_vs_1x near 1).
void BM_ParseListing(benchmark::State& state)
{
    const int times = int(state.range(0));
    const QString& text = CachedListing(kOneTimes * times);
    const QString& shortest = CachedListing(kOneTimes);
    size_t count = 0;
    const BaselineTimes measured = TimeAgainstBaseline(
        state, [&] { count = ParseAndDrop(text); }, [&] { ParseAndDrop(shortest); }, times);
    const double characters = double(text.size());
    state.counters["records"] = double(count);
    state.counters["characters"] = characters;
    state.counters["rate_vs_goal"] =
        measured.RateOverGoal(characters, state.iterations(), kGoalCharactersPerSecond);
    state.counters["per_char_vs_1x"] = measured.Ratio() * double(shortest.size()) / characters;
    state.SetItemsProcessed(int64_t(state.iterations()) * text.size());
}
BENCHMARK(BM_ParseListing)
    ->ArgName("times")
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
