// Soak: a simulated TEC polled the way tamrix-cli monitor polls it while the simulator's faults come
// and go at random, for a bounded time (seconds, first argument; 60 by default), freezes and replies
// later than the time-out among them. Checked throughout: every value a monitor row would show is
// either one the unit really has or "---", and "---" once the unit has been frozen for longer than the
// channel's freshness bound; a caller's query while the poll runs is answered with its own reply,
// never another caller's; nothing crashes.
// Exit 0 when every check held, 1 otherwise; a summary line either way.
#include "CliArgs.h"
#include "SimInstrument.h"
#include "instrument/control/UnitConnection.h"
#include "instrument/report/Channels.h"
#include "instrument/report/ReadingFormat.h"
#include "instrument/session/InstrBase.h"
#include "instrument/tec/TEC.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr float kSetPoint = 30.0f; // [°C], set before polling and never changed

constexpr int kTimeoutMs = 300; // short time-outs keep cycles moving while the unit is silent

std::mutex g_reportLock;
std::atomic<int> g_violations{0};
// When the unit froze (ms on the steady clock), 0 while it answers.
std::atomic<int64_t> g_frozenSince{0};

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

void Violation(const std::string& what)
{
    std::lock_guard lock(g_reportLock);
    if (g_violations.fetch_add(1) < 20)
        std::fprintf(stderr, "soak: %s\n", ReadingFormat::Printable(what).c_str());
}

// A reply to "SN?" that faults may have cut or corrupted, but that is still this query's reply: a
// prefix of the serial number, or the serial number with one byte changed.
bool IsSerialReply(const std::string& reply, const std::string& serial)
{
    if (serial.compare(0, reply.size(), reply) == 0)
        return true;
    if (reply.size() != serial.size())
        return false;
    int differences = 0;
    for (size_t i = 0; i < reply.size(); ++i)
        differences += reply[i] != serial[i];
    return differences <= 1;
}

// What a monitor row may show for one value: "---", or a value the unit really holds; only "---" once
// the unit has been frozen for longer than the bound.
void CheckRow(const SChannelReadings& channel, int64_t boundMs)
{
    const int64_t frozenSince = g_frozenSince.load();
    // A reply already on its way when the unit froze may still land: some slack for it.
    const bool mustBeStale = frozenSince != 0 && NowMs() - frozenSince > boundMs + 200;
    for (const SReading& reading : channel.readings)
    {
        const std::string shown = ReadingFormat::ReadingValue(reading);
        // A blank is the set point of a mode the channel is not in: no value to vouch for.
        if (shown == "---" || reading.blank)
            continue;
        if (mustBeStale)
            Violation("row shows " + reading.name + " " + shown + " " +
                      std::to_string(NowMs() - frozenSince) + " ms into a freeze");
        bool plausible = true;
        if (reading.name == "T set")
            plausible = std::fabs(reading.value - kSetPoint) < 0.01;
        else if (reading.name == "T")
            // Near the set point: a sensor value, a current or a voltage in its place would be far off.
            plausible = reading.value > 15.0 && reading.value < 45.0;
        else if (reading.name == "output")
            plausible = shown == "off";
        else if (reading.name == "mode")
            plausible = shown == "T";
        if (!plausible)
            Violation("row shows " + reading.name + " " + shown);
    }
}

void SwitchFaults(SSimFaults& faults, std::mt19937& random)
{
    faults.silent = false;
    faults.dropEvery = 0;
    faults.truncate = false;
    faults.garble = false;
    faults.wrongChannel = false;
    faults.delayMs = 0;
    g_frozenSince = 0;
    switch (std::uniform_int_distribution<int>(0, 9)(random))
    {
    case 0:
        faults.silent = true;
        break;
    case 7:
        // A frozen unit: it takes nothing in and says nothing from now on.
        faults.silent = true;
        g_frozenSince = NowMs();
        break;
    case 8:
        // Later than the time-out: every reply arrives while the program waits for another.
        faults.delayMs = std::uniform_int_distribution<int>(kTimeoutMs + 50, 3 * kTimeoutMs)(random);
        break;
    case 1:
        faults.dropEvery = std::uniform_int_distribution<int>(2, 5)(random);
        break;
    case 2:
        faults.truncate = true;
        break;
    case 3:
        faults.garble = true;
        break;
    case 4:
        faults.wrongChannel = true;
        break;
    case 5:
        // Below the time-out: a reply later than that is a lost reply, not a fault of this program.
        faults.delayMs = std::uniform_int_distribution<int>(50, 200)(random);
        break;
    default:
        break; // no fault
    }
}
} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    auto sim = CSimInstrument::Create("K760");
    std::string error;
    if (!sim || !sim->StartTcp("127.0.0.1", 0, error))
    {
        std::fprintf(stderr, "soak: no simulator: %s\n", error.c_str());
        return 1;
    }
    CUnitConnection connection;
    std::string message;
    if (connection.Open("TCP:127.0.0.1:" + std::to_string(sim->TcpPort()), message) != EConnectResult::Ok)
    {
        std::fprintf(stderr, "soak: %s\n", message.c_str());
        return 1;
    }
    CInstrBase& instrument = connection.Instrument();
    const SChannels channels = SChannels::Of(instrument);
    if (channels.tecs.empty() || !channels.tecs[0].channel->SetT(kSetPoint))
    {
        std::fprintf(stderr, "soak: the set point was not taken\n");
        return 1;
    }
    const std::string serial = instrument.GetSerialNumber();
    instrument.SetDefaultTimeout(kTimeoutMs);
    const CTEC& tec = *channels.tecs[0].channel;
    instrument.StartBackgroundThread(0);

    const auto end = Clock::now() + std::chrono::seconds(seconds);
    std::atomic<bool> done{false};
    std::atomic<long> rows{0};
    std::atomic<long> replies{0};
    std::thread monitor(
        [&]
        {
            while (!done)
            {
                const int64_t bound = tec.FreshnessBoundMs();
                for (const SChannelReadings& channel : channels.Read())
                    CheckRow(channel, bound);
                ++rows;
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    std::thread caller(
        [&]
        {
            while (!done)
            {
                const std::string reply = instrument.Query("SN?");
                if (!reply.empty() && !IsSerialReply(reply, serial))
                    Violation("\"SN?\" was answered with \"" + reply + "\"");
                ++replies;
            }
        });
    std::mt19937 random(std::random_device{}());
    long switches = 0;
    while (Clock::now() < end && instrument.IsPortOpen())
    {
        SwitchFaults(sim->Faults(), random);
        ++switches;
        // A freeze lasts long enough for the readings to age out.
        const bool frozen = g_frozenSince != 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(
            std::uniform_int_distribution<int>(frozen ? 1000 : 200, frozen ? 3000 : 1500)(random)));
    }
    SwitchFaults(sim->Faults(), random);
    sim->Faults().silent = false;
    const bool stillOpen = instrument.IsPortOpen();
    done = true;
    monitor.join();
    caller.join();
    if (!stillOpen)
        Violation("the connection closed during the soak");
    std::printf("soak: %d s, %ld fault switches, %ld rows checked, %ld caller replies, %lu poll cycles, "
                "%d violations\n",
                seconds, switches, rows.load(), replies.load(),
                static_cast<unsigned long>(instrument.GetCompletedCycles()), g_violations.load());
    return g_violations == 0 ? 0 : 1;
}
