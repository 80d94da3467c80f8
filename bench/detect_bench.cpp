// Time from DetectInstrument to a filled identification record for a unit that is present, over a
// pseudo-terminal at 38400 baud (bytes paced at the line rate) and over loopback TCP, against the
// simulator in-process. Prints the figures; the aim is well under one second each.
#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "instrument/session/DetectInstrument.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 7;
constexpr int kPortNumber = 240;
constexpr const char* kModel = "K760";

struct SFigures
{
    double minMs = 0, medianMs = 0, maxMs = 0;
    int identified = 0;
};

SFigures Measure(const std::string& descriptor)
{
    std::vector<double> times;
    SFigures figures;
    for (int run = 0; run < kRuns; ++run)
    {
        SIdentRecord record;
        const auto start = Clock::now();
        DetectInstrument(descriptor, record);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (record.familyCode != 0)
            ++figures.identified;
    }
    std::sort(times.begin(), times.end());
    figures.minMs = times.front();
    figures.medianMs = times[times.size() / 2];
    figures.maxMs = times.back();
    return figures;
}

void Print(const char* link, const SFigures& f)
{
    std::printf("%-22s min %7.1f ms  median %7.1f ms  max %7.1f ms  identified %d/%d  %s\n", link, f.minMs,
                f.medianMs, f.maxMs, f.identified, kRuns, f.maxMs < 1000.0 ? "(under 1 s)" : "(OVER 1 s)");
}

} // namespace

int main()
{
    auto sim = CSimInstrument::Create(kModel);
    std::string error;
    if (!sim->StartPty("", error) || !sim->StartTcp("127.0.0.1", 0, error))
    {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    CPortResolver::Register(kPortNumber, sim->PtyPath());

    std::printf("DetectInstrument on a simulated %s, %d runs each\n", kModel, kRuns);
    sim->SetWireTiming(true); // the serial line: 10 bits per byte at the unit's baud rate
    Print("pty, 38400 baud", Measure("COM:" + std::to_string(kPortNumber) + ":38400"));
    Print("pty, automatic baud", Measure("COM:" + std::to_string(kPortNumber) + ":0"));
    sim->SetWireTiming(false); // a network link has no line rate
    Print("loopback TCP", Measure("TCP:127.0.0.1:" + std::to_string(sim->TcpPort())));

    CPortResolver::Unregister(kPortNumber);
    sim->Stop();
    return 0;
}
