#include "device/DeviceTypes.h"
#include "devicefiles/core/DeviceListing.h"

#include <benchmark/benchmark.h>

namespace
{

// A measurement folder as large as the tester's largest listing reply (1,000,000
// characters): folders of two levels with series files in them.
QString LargeListing()
{
    QString text = QStringLiteral("0000;00;\"\\Persistent Storage\\Measurements\\\";");
    for (int line = 0; text.size() < 1000000; ++line)
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

void BM_ParseLargeListing(benchmark::State& state)
{
    const QString text = LargeListing();
    size_t count = 0;
    for (auto _ : state)
    {
        QString listing = text;
        QString prefix;
        TVeskFileArray records;
        ParseListing(listing, Device::fileMeasurement, prefix, records);
        count = records.size();
        benchmark::DoNotOptimize(records.data());
    }
    state.counters["records"] = double(count);
    state.SetBytesProcessed(int64_t(state.iterations()) * text.size());
}
BENCHMARK(BM_ParseLargeListing)->Unit(benchmark::kMillisecond);

} // namespace
