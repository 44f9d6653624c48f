// Serves the simulated portable tester for trying the program by hand:
//   vesk_tester_sim_runner --tcp 127.0.0.1     (the program searches Ethernet 127.0.0.1)
//   vesk_tester_sim_runner --pty --com 5       (COM5 of the program is the simulator)
// It runs until interrupted.
#include "platform/core/SettingsStore.h"
#include "platform/io/SerialPort.h"
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
        std::fprintf(stderr, "usage: %s --tcp ADDRESS | --pty [--com N]\n", argv[0]);
        return 2;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    Sim::PortableTesterSim sim;
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
