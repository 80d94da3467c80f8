// tamrix-bridge under load: simulated K760 over loopback TCP (16 unless told) through one bridge to a
// real mosquitto. Prints the bridge's CPU time per instrument and the time from a set point changing
// at a unit to its message at a subscriber (p50, p99), with the machine's load.
//
//   bridge_bench [UNITS]      1 to 200, default 16
#include "SimInstrument.h"
#include "bridge/ChildProcess.h"
#include "bridge/MosquittoBroker.h"
#include "bridge/MqttWatcher.h"
#include "diag/TempDir.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr int kDefaultInstruments = 16;
constexpr int kMostInstruments = 200;
constexpr int kChangesPerInstrument = 8;
constexpr auto kCpuWindow = std::chrono::seconds(10);

// utime + stime of a process [s].
double CpuSeconds(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long ticks = 0;
    for (int index = 3; index <= 15 && fields >> field; ++index)
    {
        if (index == 14 || index == 15)
            ticks += std::stoull(field);
    }
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string LoadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

double Percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const size_t index =
        std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())));
    return values[index];
}
} // namespace

int main(int argc, char** argv)
{
    const int instruments = argc > 1 ? std::atoi(argv[1]) : kDefaultInstruments;
    if (instruments < 1 || instruments > kMostInstruments)
    {
        std::puts("usage: bridge_bench [UNITS 1-200 (default 16)]");
        return 2;
    }
    if (CMosquittoBroker::Binary().empty())
    {
        std::puts("bridge_bench: mosquitto is not installed (scripts/bootstrap installs it)");
        return 1;
    }
    TempDir dir;
    CMosquittoBroker broker(dir.Path());
    if (!broker.Start())
    {
        std::puts("bridge_bench: mosquitto did not start");
        return 1;
    }
    std::vector<std::unique_ptr<CSimInstrument>> sims;
    std::vector<std::string> args{TAMRIX_BRIDGE_EXE, "--port", std::to_string(broker.Port())};
    for (int index = 0; index < instruments; ++index)
    {
        sims.push_back(CSimInstrument::Create("K760"));
        sims.back()->SetSerial("76" + std::to_string(100 + index));
        std::string error;
        if (!sims.back()->StartTcp("127.0.0.1", 0, error))
        {
            std::printf("bridge_bench: %s\n", error.c_str());
            return 1;
        }
        args.push_back("TCP:127.0.0.1:" + std::to_string(sims.back()->TcpPort()));
    }
    CMqttWatcher watcher(broker.Port());
    CChildProcess bridge;
    if (!watcher.WaitConnected() ||
        !bridge.Start(args, {"XDG_CONFIG_HOME=" + dir.Path()}, dir.File("bridge.log")))
        return 1;
    auto device = [](int index) { return "homie/5/k760-76" + std::to_string(100 + index) + "/"; };
    for (int index = 0; index < instruments; ++index)
    {
        if (!watcher.WaitFor(device(index) + "$state", "ready", 60000))
        {
            std::printf("bridge_bench: instrument %d not ready\n%s", index,
                        ReadFile(dir.File("bridge.log")).c_str());
            return 1;
        }
    }

    const std::string loadAtStart = LoadAverage();
    const pid_t pid = bridge.Pid();
    const double cpuStart = CpuSeconds(pid);
    const auto wallStart = Clock::now();
    std::this_thread::sleep_for(kCpuWindow);
    const double cpu = CpuSeconds(pid) - cpuStart;
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();

    std::vector<double> latenciesMs;
    for (int round = 0; round < kChangesPerInstrument; ++round)
    {
        for (int index = 0; index < instruments; ++index)
        {
            const std::string value = round % 2 == 0 ? "30.000" : "25.000";
            const size_t after = watcher.Count();
            const auto changed = Clock::now();
            sims[static_cast<size_t>(index)]->Request("TEC:T " + value);
            if (!watcher.WaitFor(device(index) + "tec/t-set", value, 10000, after))
            {
                std::printf("bridge_bench: no message for instrument %d\n", index);
                return 1;
            }
            latenciesMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - changed).count());
        }
    }
    bridge.Stop(SIGTERM);

    std::printf("tamrix-bridge, %d simulated K760 over loopback TCP, one mosquitto on loopback\n",
                instruments);
    std::printf("CPU of the bridge: %.2f %% of one core in total, %.3f %% per instrument (%.1f s window)\n",
                100.0 * cpu / wall, 100.0 * cpu / wall / instruments, wall);
    std::printf("load average at the start of the window %s, at the end %s\n", loadAtStart.c_str(),
                LoadAverage().c_str());
    std::printf(
        "set point changed at the unit -> message at a subscriber: p50 %.1f ms, p99 %.1f ms (%zu changes)\n",
        Percentile(latenciesMs, 0.50), Percentile(latenciesMs, 0.99), latenciesMs.size());
    return 0;
}
