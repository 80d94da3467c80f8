// tamrix-sim: one simulated instrument on a pseudo-terminal and/or TCP until SIGINT or SIGTERM.
#include "SimInstrument.h"
#include "SimModelTable.h"
#include "SimOptions.h"

#include <csignal>
#include <cstdio>
#include <pthread.h>

namespace
{
void ListModels()
{
    std::printf("%-11s %-19s %-8s %-13s %s\n", "NAME", "MAKER", "MODEL?", "REV?", "NOTES");
    for (const SSimModel& m : CSimModelTable::All())
    {
        std::string revision = m.revisionText;
        if (!m.hasRevision)
            revision = "(none)";
        else if (revision.empty())
            revision = std::to_string(m.familyCode) + "." + std::to_string(m.modelCode) + "." +
                       std::to_string(m.variantCode) + "." + std::to_string(m.buildNumber);
        std::printf("%-11s %-19s %-8s %-13s %s\n", m.name.c_str(), m.maker.c_str(), m.modelText.c_str(),
                    revision.c_str(), m.comment.c_str());
    }
}

ESimFamily FamilyOf(const std::string& name)
{
    return name == "TEC" ? ESimFamily::Tec : name == "LAS" ? ESimFamily::Laser : ESimFamily::Lps;
}

void Configure(CSimInstrument& sim, const SSimOptions& o)
{
    sim.SetBaud(o.baud);
    sim.SetWireTiming(o.wireTiming);
    sim.SetEcho(o.echo);
    sim.Engine().SetTimeScale(o.timeScale);
    if (!o.serial.empty())
        sim.SetSerial(o.serial);
    for (const auto& [family, mask] : o.fitted)
        sim.SetFitted(FamilyOf(family), mask);
    for (int number : o.errors)
        sim.PushError(number);
    SSimFaults& f = sim.Faults();
    f.silent = o.silent;
    f.dropEvery = o.dropEvery;
    f.truncate = o.truncate;
    f.garble = o.garble;
    f.wrongChannel = o.wrongChannel;
    f.delayMs = o.delayMs;
    for (int channel : o.sensorOpen)
        sim.SetSensorFault(channel - 1, ESimSensorFault::Open);
    for (int channel : o.sensorShort)
        sim.SetSensorFault(channel - 1, ESimSensorFault::Short);
}

// Waits for a stop signal; with an unplug time, unplugs once that time has passed and goes on waiting.
void WaitForStop(CSimInstrument& sim, const sigset_t& stopSignals, int unplugAfterS)
{
    if (unplugAfterS > 0)
    {
        const timespec wait{unplugAfterS, 0};
        if (sigtimedwait(&stopSignals, nullptr, &wait) >= 0)
            return;
        sim.Unplug();
        sim.DropConnection();
        std::printf("UNPLUGGED\n");
        std::fflush(stdout);
    }
    int signal = 0;
    sigwait(&stopSignals, &signal);
}
} // namespace

int main(int argc, char** argv)
{
    SSimOptions options;
    std::string error;
    if (!ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options, error))
    {
        std::fprintf(stderr, "tamrix-sim: %s\n", error.c_str());
        return 2;
    }
    if (options.help)
    {
        std::fputs(SimUsage().c_str(), stdout);
        return 0;
    }
    if (options.listModels)
    {
        ListModels();
        return 0;
    }
    auto sim = CSimInstrument::Create(options.model);
    if (!sim)
    {
        std::fprintf(stderr, "tamrix-sim: unknown model \"%s\" (see --list-models)\n", options.model.c_str());
        return 2;
    }

    // Block the stop signals before any thread starts, so that only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Configure(*sim, options);
    const SSimModel& model = sim->Engine().Model();
    std::printf("Simulating %s (%s %s), %d baud\n", model.name.c_str(), model.maker.c_str(),
                model.modelText.c_str(), options.baud);
    if (options.pty)
    {
        if (!sim->StartPty(options.ptyLink, error))
        {
            std::fprintf(stderr, "tamrix-sim: %s\n", error.c_str());
            return 1;
        }
        std::printf("PTY %s\n", sim->PtyPath().c_str());
        if (!options.ptyLink.empty())
            std::printf("LINK %s\n", options.ptyLink.c_str());
    }
    if (options.tcp)
    {
        if (!sim->StartTcp(options.bind, options.tcpPort, error))
        {
            std::fprintf(stderr, "tamrix-sim: %s\n", error.c_str());
            return 1;
        }
        std::printf("TCP %s:%d\n", options.bind.c_str(), sim->TcpPort());
    }
    std::fflush(stdout);

    WaitForStop(*sim, stopSignals, options.unplugAfterS);
    sim->Stop();
    return 0;
}
