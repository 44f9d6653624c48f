// "M1" series blocks as measurement files, project files and clipboard data carry them:
// reading, then using and writing whatever was accepted.
#include "measurement/MeasSeries1.h"
#include "streamio/RamStream.h"
#include "streamio/StreamIO.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = []
    {
        StreamIO::StartStreamIO();
        return true;
    }();
    (void)started;
    constexpr uint32_t flags =
        StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS;
    for (bool asNew : {false, true})
    {
        StreamIO::CRamStream in;
        if (!in.Open(QStringLiteral("RAM:fuzz.vsm"), flags))
            return 0;
        in.Write(data, uint32_t(size));
        in.SetPosition(0);
        std::unique_ptr<CMeasSeries1> series = CreateMeasSeries(in, asNew);
        in.Close();
        // Parsed where it lies, the same block must give the same series.
        std::unique_ptr<CMeasSeries1> inPlace = CreateMeasSeries(data, size, asNew);
        if (bool(series) != bool(inPlace))
            __builtin_trap();
        if (!series)
            continue;
        std::vector<uint8_t> a;
        std::vector<uint8_t> b;
        if (series->BuildBlock(a) != inPlace->BuildBlock(b) || a != b)
            __builtin_trap();
        series->GetMean();
        series->GetStdDev();
        series->GetMedian();
        series->GetCpkLowerBound();
        series->FindOutlier();
        series->CheckMeanLimits();
        for (int i = 0; i < series->GetCount(5); ++i)
            series->CheckReadingLimits(i, 5);
        SSeriesSettings settings;
        series->GetSettings(settings);
        series->GetOriginalSettings(settings);
        series->AddReading(500.0f, 500.0f, 0, -1);
        StreamIO::CRamStream out;
        if (out.Open(QStringLiteral("RAM:fuzz-out.vsm"), flags))
            series->Write(out);
    }
    return 0;
}
