// How long a polled reading counts as live on each kind of unit and link: the poll period each
// channel measures and the freshness bound it derives from it, for simulated units over loopback TCP
// and over pseudo-terminals paced at 38400 and 9600 baud. Prints one row per unit and link.
#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "instrument/laser/Laser.h"
#include "instrument/report/Channels.h"
#include "instrument/session/DetectInstrument.h"
#include "instrument/session/InstrumentFactory.h"
#include "instrument/session/ReadingFreshness.h"
#include "instrument/tec/TEC.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr int kPortNumber = 240;
constexpr uint64_t kCycles = 20;

struct SLink
{
    const char* name;
    int baud; // 0: TCP
};

void Measure(const char* model, const SLink& link)
{
    auto sim = CSimInstrument::Create(model);
    std::string error;
    std::string descriptor;
    if (link.baud == 0)
    {
        sim->StartTcp("127.0.0.1", 0, error);
        descriptor = "TCP:127.0.0.1:" + std::to_string(sim->TcpPort());
    }
    else
    {
        sim->SetBaud(link.baud);
        sim->SetWireTiming(true);
        sim->StartPty("", error);
        CPortResolver::Register(kPortNumber, sim->PtyPath());
        descriptor = "COM:" + std::to_string(kPortNumber) + ":" + std::to_string(link.baud);
    }
    SIdentRecord record;
    DetectInstrument(descriptor, record);
    std::unique_ptr<CInstrBase> instrument(
        CreateInstrumentObject(record.familyCode, record.modelCode, record.variantCode, record.versionMajor));
    if (!instrument || !instrument->Connect(descriptor) || !instrument->StartBackgroundThread(0))
    {
        std::printf("%-8s %-9s not connected\n", model, link.name);
        CPortResolver::Unregister(kPortNumber);
        return;
    }
    const auto start = Clock::now();
    const uint64_t first = instrument->GetCompletedCycles();
    while (instrument->GetCompletedCycles() < first + kCycles &&
           Clock::now() - start < std::chrono::seconds(90))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const uint64_t cycles = instrument->GetCompletedCycles() - first;
    int64_t bound = 0;
    const SChannels channels = SChannels::Of(*instrument);
    for (const auto& tec : channels.tecs)
        bound = std::max(bound, tec.channel->FreshnessBoundMs());
    for (const auto& laser : channels.lasers)
        bound = std::max(bound, laser.channel->FreshnessBoundMs());
    const int64_t ceiling = CReadingFreshness::CeilingForBaud(link.baud);
    std::printf("%-8s %-9s channels %zu  cycle %6.0f ms  bound %5lld ms  ceiling %5lld ms%s\n", model,
                link.name, channels.tecs.size() + channels.lasers.size(),
                cycles ? 1000.0 * seconds / cycles : 0.0, static_cast<long long>(bound),
                static_cast<long long>(ceiling), bound >= ceiling ? "  (at the ceiling)" : "");
    std::fflush(stdout);
    instrument->Disconnect();
    CPortResolver::Unregister(kPortNumber);
}
} // namespace

int main()
{
    const SLink links[] = {{"TCP", 0}, {"pty 38400", 38400}, {"pty 9600", 9600}};
    for (const char* model : {"K760", "D310", "X510", "M609", "M618", "M607"})
        for (const SLink& link : links)
            Measure(model, link);
    return 0;
}
