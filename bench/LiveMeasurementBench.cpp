// The live measurement under load: a simulated probe streams at ten times the tester's
// sample rate through the sampling thread, the live control, the guidance window and the
// live pane into the document, beside decoding and checking the same samples directly.

#include "document/VeskDoc.h"
#include "device/DeviceTypes.h"
#include "device/Veskamon2Device.h"
#include "measurement/CurveCheck.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "seriesview/GuidanceDlg.h"
#include "seriesview/LiveMeasurement.h"
#include "seriesview/LiveView.h"
#include "streamio/StreamIO.h"
#include "streamio/UsbHostProbeControl.h"
#include "tests/support/HidProbeSimulator.h"
#include "tests/support/sim/IndentationTesterSim.h"

#include "BenchApp.h"
#include "PageFaults.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <ctime>
#include <time.h>

namespace
{
// Counts the paints a widget gets.
class PaintCounter final : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

constexpr int kRateFactor = 10;
constexpr int kSeconds = 60;
constexpr int kPauseMs = 150; // between two tests, longer than the gap that ends one

double CpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

// The calling thread's own CPU time.
double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// What the pipeline does with the samples, without thread, notices and windows: the
// packets' depth words, the check and the packed curve of each test.
void DecodeAndCheck(const std::vector<std::vector<uint8_t>>& packets, int tests)
{
    std::vector<uint16_t> samples;
    for (int t = 0; t < tests; ++t)
    {
        samples.clear();
        for (const std::vector<uint8_t>& packet : packets)
            samples.push_back(uint16_t(packet[0] | (packet[1] << 8)));
        CCurveCheck check;
        check.SetCurve(samples);
        float depth = 0.0f;
        float value = 0.0f;
        benchmark::DoNotOptimize(check.Evaluate(depth, value));
        benchmark::DoNotOptimize(CLiveView::PackCurve(samples));
    }
}
} // namespace

// Reported: pipeline_over_stream (wall time from the first queued sample to the last
// stored reading over the time the probe needs to send them; goal <= 2), cpu_over_direct
// (the process's CPU time over that of decoding and checking directly: the price of the
// thread, the notices and the windows, simulator included), ui_cpu_over_direct (the UI
// thread's own CPU time, guidance window and pane included), and the longest time the UI
// thread spent in one live-data handler (longest_handler_ms). The UI thread's and the
// process's CPU time over the wall time (ui_cpu_of_core, goal at most 0.10;
// process_cpu_of_core), the paints a second of the guidance window and the live pane, both
// shown as in the program, and the minor page faults of the UI thread and of the process.
static void LiveStreamAtTenTimesTheRate(benchmark::State& state)
{
    BenchApp();
    QTemporaryDir config;
    qputenv("VESKADOR_CONFIG_DIR", config.path().toLocal8Bit());
    StreamIO::StartStreamIO();
    auto bus = HidProbeSimulator::Install();
    Sim::IndentationTesterSim sim(bus, QStringLiteral("/dev/hidraw-bench"));
    sim.SetSampleRate(Sim::IndentationTesterSim::kSampleRate * kRateFactor);
    Device::CVeskamon2Device device;
    std::unique_ptr<StreamIO::CIoStream> control = std::make_unique<StreamIO::CUsbHostProbeControl>();
    Device::SIdentity id;
    if (!control->Open(sim.Path(), StreamIO::STREAM_READ | StreamIO::STREAM_WRITE) ||
        !device.Attach(control, Device::portUsb) || !device.Identify(id))
    {
        state.SkipWithError("no simulated probe");
        return;
    }

    const std::vector<uint16_t> curve = Sim::Curves::Passing();
    const int tests = std::max(1, int(Sim::IndentationTesterSim::kSampleRate * kSeconds / curve.size()));
    std::vector<std::vector<uint8_t>> packets;
    for (uint16_t s : curve)
        packets.push_back({uint8_t(s & 0xFF), uint8_t(s >> 8), 0, 0, 0, 0, 0, 0});
    const double streamSeconds =
        double(curve.size()) * tests / (Sim::IndentationTesterSim::kSampleRate * kRateFactor) +
        tests * kPauseMs / 1000.0;

    double pipelineSeconds = 0.0;
    double pipelineCpu = 0.0;
    double directCpu = 0.0;
    double uiCpu = 0.0;
    qint64 longestNs = 0;
    int64_t uiFaults = 0;
    int64_t faults = 0;
    PaintCounter guidancePaints;
    PaintCounter panePaints;
    for (auto _ : state)
    {
        CVeskDoc doc;
        CGuidanceDlg guidance;
        CLiveView pane;
        pane.SetDocument(&doc);
        pane.resize(1000, 120);
        pane.show();
        guidance.installEventFilter(&guidancePaints);
        pane.installEventFilter(&panePaints);
        CLiveMeasurement live(&doc, &guidance, &pane);
        if (!live.Start(&device))
        {
            state.SkipWithError("live mode did not start");
            return;
        }
        QElapsedTimer clock;
        const double cpu0 = CpuSeconds();
        const double ui0 = ThreadCpuSeconds();
        const int64_t uiFaults0 = ThreadMinorFaults();
        const int64_t faults0 = MinorFaults();
        guidancePaints.paints = panePaints.paints = 0;
        clock.start();
        for (int t = 0; t < tests; ++t)
        {
            sim.QueueSamples(curve);
            sim.QueuePause(kPauseMs);
        }
        auto readings = [&]
        {
            CMeasSeriesWrapper* entry = doc.GetMeasuringSeries();
            return entry && entry->GetSeries() ? entry->GetSeries()->GetCount(7) : 0;
        };
        // Wait for the notices as the main window's event loop does, without spinning.
        QTimer wake;
        wake.start(50);
        while (readings() < tests && clock.elapsed() < qint64(streamSeconds * 4000) + 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        pipelineSeconds = clock.nsecsElapsed() / 1e9;
        pipelineCpu = CpuSeconds() - cpu0;
        uiCpu = ThreadCpuSeconds() - ui0;
        uiFaults = ThreadMinorFaults() - uiFaults0;
        faults = MinorFaults() - faults0;
        longestNs = live.LongestHandlerNs();
        if (readings() < tests)
            state.SkipWithError("not every test became a reading");
        live.Stop();

        const double cpu1 = CpuSeconds();
        for (int i = 0; i < 10; ++i)
            DecodeAndCheck(packets, tests);
        directCpu = (CpuSeconds() - cpu1) / 10;
        state.SetIterationTime(pipelineSeconds);
    }
    state.counters["tests"] = tests;
    state.counters["samples"] = double(curve.size()) * tests;
    state.counters["stream_s"] = streamSeconds;
    state.counters["pipeline_over_stream"] = pipelineSeconds / streamSeconds;
    state.counters["direct_cpu_ms"] = directCpu * 1000.0;
    state.counters["cpu_over_direct"] = directCpu > 0.0 ? pipelineCpu / directCpu : 0.0;
    state.counters["ui_cpu_over_direct"] = directCpu > 0.0 ? uiCpu / directCpu : 0.0;
    state.counters["longest_handler_ms"] = double(longestNs) / 1e6;
    state.counters["ui_cpu_of_core"] = pipelineSeconds > 0.0 ? uiCpu / pipelineSeconds : 0.0;
    state.counters["process_cpu_of_core"] = pipelineSeconds > 0.0 ? pipelineCpu / pipelineSeconds : 0.0;
    state.counters["guidance_paints_per_s"] = pipelineSeconds > 0.0 ? guidancePaints.paints / pipelineSeconds : 0.0;
    state.counters["pane_paints_per_s"] = pipelineSeconds > 0.0 ? panePaints.paints / pipelineSeconds : 0.0;
    state.counters["ui_minflt"] = double(uiFaults);
    state.counters["minflt"] = double(faults);
    device.Detach();
}
BENCHMARK(LiveStreamAtTenTimesTheRate)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
