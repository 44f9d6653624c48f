// Serves the simulated portable tester for trying the program by hand:
//   vesk_tester_sim_runner --tcp 127.0.0.1     (the program searches Ethernet 127.0.0.1)
//   vesk_tester_sim_runner --pty --com 5       (COM5 of the program is the simulator)
// With --demo the tester also holds a few measurement series in two site folders. It runs
// until interrupted.
#include "measurement/MeasSeries1.h"
#include "platform/core/SettingsStore.h"
#include "platform/io/SerialPort.h"
#include "streamio/RamStream.h"
#include "streamio/StreamIO.h"
#include "tests/support/PtyPair.h"
#include "tests/support/sim/PortableTesterSim.h"

#include <QCoreApplication>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace
{
std::atomic<bool> g_stop{false};

// A rebound-probe series of the readings, as the tester stores it.
QByteArray DemoSeries(std::initializer_list<float> readings)
{
    CMeasSeries1 series(100);
    series.Clear();
    series.SetProbeId(SProbeId(0x101, nullptr, -1));
    for (float v : readings)
        series.AddReading(v, v, 0, -1);
    series.CommitNew();
    StreamIO::CRamStream ram;
    ram.Open(QStringLiteral("RAM:demo.vsm"),
             StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS);
    series.Write(ram);
    QByteArray bytes(qsizetype(ram.GetLength()), '\0');
    ram.SetPosition(0);
    ram.Read(bytes.data(), uint32_t(bytes.size()));
    return bytes;
}

void AddDemoFiles(Sim::PortableTesterSim& sim)
{
    const QByteArray root = Sim::PortableTesterSim::kRoot + "vsm\\";
    sim.AddFile(root + "Site North.DIR\\Shaft 1.vsm", DemoSeries({612, 618, 605, 621, 615}));
    sim.AddFile(root + "Site North.DIR\\Shaft 2.vsm", DemoSeries({598, 603, 611}));
    sim.AddFile(root + "Site South.DIR\\Beam 7.vsm", DemoSeries({540, 552, 547, 561}));
    sim.AddFile(root + "Quick check.vsm", DemoSeries({700, 702}));
}
void OnSignal(int)
{
    g_stop = true;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype tcp = args.indexOf(QStringLiteral("--tcp"));
    const qsizetype com = args.indexOf(QStringLiteral("--com"));
    const bool pty = args.contains(QStringLiteral("--pty"));
    if ((tcp < 0 && !pty) || (tcp >= 0 && tcp + 1 >= args.size()))
    {
        std::fprintf(stderr, "usage: %s --tcp ADDRESS | --pty [--com N] [--demo] [--reply-delay MS]\n", argv[0]);
        return 2;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    Sim::PortableTesterSim sim;
    // A slow tester, for looking at the progress windows: every answer waits this long.
    const qsizetype delay = args.indexOf(QStringLiteral("--reply-delay"));
    if (delay >= 0 && delay + 1 < args.size())
    {
        const int ms = args.at(delay + 1).toInt();
        sim.Engine().UpdateFaults([ms](Sim::Faults& f) { f.replyDelayMs = ms; });
    }
    if (args.contains(QStringLiteral("--demo")))
    {
        StreamIO::StartStreamIO();
        AddDemoFiles(sim);
    }
    PtyPair pair;
    if (tcp >= 0)
    {
        const QString address = args.at(tcp + 1);
        if (!sim.Engine().ServeTcp(address, 3728))
        {
            std::fprintf(stderr, "cannot listen on %s:3728\n", qPrintable(address));
            return 1;
        }
        std::printf("portable tester on %s:3728\n", qPrintable(address));
    }
    else
    {
        if (!pair.IsValid())
            return 1;
        if (com >= 0 && com + 1 < args.size())
        {
            const uint32_t number = args.at(com + 1).toUInt();
            pair.MapToCom(number);
            std::printf("portable tester on COM%u: (%s)\n", number, qPrintable(pair.SlavePath()));
        }
        else
        {
            std::printf("portable tester on %s\n", qPrintable(pair.SlavePath()));
        }
        sim.Engine().ServeLink(std::make_unique<Sim::FdLink>(pair.MasterFd(), false, false));
    }
    std::fflush(stdout);
    while (!g_stop)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    sim.Engine().Stop();
    return 0;
}
