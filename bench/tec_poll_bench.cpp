// Poll rate and CPU cost of one TEC channel and of one laser channel against the simulator. The
// simulator runs in a child process so that the CPU figures are the program's alone.
#include "SimInstrument.h"
#include "instrument/laser/Laser.h"
#include "instrument/tec/TEC.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

constexpr int Baud = 38400;
constexpr int SensorCount = 7; // a K760: the sensor query joins the other two
constexpr const char* Model = "K760";
constexpr const char* LaserModel = "D310";

// Counts the poll cycles the background thread completes.
class CCountingTec : public CTEC
{
public:
    int GetSensorCount() const override { return SensorCount; }
    void UpdateStatus(uint32_t flags) override
    {
        CTEC::UpdateStatus(flags);
        m_cycles.fetch_add(1, std::memory_order_relaxed);
    }
    long Cycles() const { return m_cycles.load(std::memory_order_relaxed); }

private:
    std::atomic<long> m_cycles{0};
};

// The same for a laser channel: one compound query per cycle.
class CCountingLaser : public CLaser
{
public:
    bool UpdateStatus(uint64_t pollFlags) override
    {
        const bool accepted = CLaser::UpdateStatus(pollFlags);
        m_cycles.fetch_add(1, std::memory_order_relaxed);
        return accepted;
    }
    long Cycles() const { return m_cycles.load(std::memory_order_relaxed); }

private:
    std::atomic<long> m_cycles{0};
};

struct SSimChild
{
    pid_t pid = -1;
    int release = -1;     // closing it ends the child
    std::string endpoint; // pty path or TCP port
};

// Forks before this process has any thread of its own.
SSimChild StartSimulator(bool tcp, const char* model)
{
    int toParent[2];
    int toChild[2];
    if (::pipe(toParent) != 0 || ::pipe(toChild) != 0)
    {
        return {};
    }
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        ::close(toParent[0]);
        ::close(toChild[1]);
        auto sim = CSimInstrument::Create(model);
        sim->SetBaud(Baud);
        sim->SetWireTiming(!tcp);
        std::string error;
        const bool started = tcp ? sim->StartTcp("127.0.0.1", 0, error) : sim->StartPty("", error);
        const std::string endpoint =
            (started ? (tcp ? std::to_string(sim->TcpPort()) : sim->PtyPath()) : std::string()) + "\n";
        [[maybe_unused]] ssize_t written = ::write(toParent[1], endpoint.data(), endpoint.size());
        char byte;
        [[maybe_unused]] ssize_t got = ::read(toChild[0], &byte, 1); // returns when the parent closes
        sim->Stop();
        ::_exit(0);
    }
    ::close(toParent[1]);
    ::close(toChild[0]);
    SSimChild child{pid, toChild[1], {}};
    char c;
    while (::read(toParent[0], &c, 1) == 1 && c != '\n')
    {
        child.endpoint.push_back(c);
    }
    ::close(toParent[0]);
    return child;
}

void StopSimulator(SSimChild& child)
{
    ::close(child.release);
    ::waitpid(child.pid, nullptr, 0);
}

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string JoinedLine(const std::vector<std::string>& parts, bool checked)
{
    std::string line = "\n";
    for (const std::string& part : parts)
    {
        line += part;
    }
    return line + (checked ? "ERR?\n" : "\n");
}

// Bytes of one poll cycle both ways, the replies taken from an in-process unit of the same model.
std::pair<size_t, size_t> BytesPerCycle()
{
    const uint32_t flags = TecPollDefault;
    const std::string lines[] = {JoinedLine(TecProtocol::StatusQueryParts(flags, SensorCount), true),
                                 JoinedLine(TecProtocol::SensorQueryParts(flags, SensorCount), true),
                                 JoinedLine(TecProtocol::OutputQueryParts(flags), false)};
    auto sim = CSimInstrument::Create(Model);
    size_t out = 0;
    size_t in = 0;
    for (const std::string& line : lines)
    {
        out += line.size();
        in += sim->Request(line.substr(1, line.size() - 2)).size() + 2; // the reply ends in CR LF
    }
    return {out, in};
}

std::pair<size_t, size_t> LaserBytesPerCycle()
{
    const std::string line = JoinedLine(LaserProtocol::PollQueries(LaserPollDefault), true);
    auto sim = CSimInstrument::Create(LaserModel);
    return {line.size(), sim->Request(line.substr(1, line.size() - 2)).size() + 2};
}

struct SFigures
{
    double cyclesPerSecond = 0;
    double cpuMsPer1000 = 0;
    double cpuPercent = 0;
    int failedPolls = 0;
};

template <class Channel>
SFigures Measure(Channel& channel, double seconds)
{
    channel.StartBackgroundThread(500);
    while (channel.Cycles() < 5)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const long cycles0 = channel.Cycles();
    const double cpu0 = CpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const long cycles = channel.Cycles() - cycles0;
    const double cpu = CpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    SFigures figures;
    figures.cyclesPerSecond = static_cast<double>(cycles) / wall;
    figures.cpuMsPer1000 = cycles > 0 ? cpu * 1000.0 / static_cast<double>(cycles) * 1000.0 : 0.0;
    figures.cpuPercent = cpu / wall * 100.0;
    figures.failedPolls = channel.GetFailedPolls();
    channel.Disconnect();
    return figures;
}

void Print(const char* title, const SFigures& figures)
{
    std::printf("%s\n  poll cycles per second   %10.1f\n  CPU per 1000 cycles      %10.1f ms\n"
                "  CPU while polling        %10.2f %% of one core\n  failed polls at the end  %10d\n",
                title, figures.cyclesPerSecond, figures.cpuMsPer1000, figures.cpuPercent,
                figures.failedPolls);
}
} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    SSimChild ptySim = StartSimulator(false, Model);
    SSimChild tcpSim = StartSimulator(true, Model);
    SSimChild laserPtySim = StartSimulator(false, LaserModel);
    SSimChild laserTcpSim = StartSimulator(true, LaserModel);
    if (ptySim.endpoint.empty() || tcpSim.endpoint.empty() || laserPtySim.endpoint.empty() ||
        laserTcpSim.endpoint.empty())
    {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }

    const auto [out, in] = BytesPerCycle();
    const double limit = Baud / (10.0 * static_cast<double>(out + in));
    std::printf("One TEC channel (%s, %d sensors, poll flags 0x%X: three compound queries)\n", Model,
                SensorCount, static_cast<unsigned>(TecPollDefault));
    std::printf("  bytes per cycle          %6zu out, %zu in\n", out, in);
    std::printf("  wire limit at %d baud %10.1f cycles per second (10 bits per byte)\n\n", Baud, limit);

    SFigures serial;
    {
        CCountingTec tec;
        if (!tec.GetPort().OpenPortByName(ptySim.endpoint, Baud))
        {
            std::fprintf(stderr, "cannot open %s\n", ptySim.endpoint.c_str());
            return 1;
        }
        serial = Measure(tec, seconds);
    }
    Print("Pseudo-terminal, 38400 baud, wire timing:", serial);
    std::printf("  achieved / wire limit    %10.3f\n\n", serial.cyclesPerSecond / limit);

    SFigures network;
    {
        CCountingTec tec;
        if (!tec.GetPort().OpenNetwork("127.0.0.1", std::atoi(tcpSim.endpoint.c_str())))
        {
            std::fprintf(stderr, "cannot connect to port %s\n", tcpSim.endpoint.c_str());
            return 1;
        }
        network = Measure(tec, seconds);
    }
    Print("Loopback TCP:", network);

    const auto [laserOut, laserIn] = LaserBytesPerCycle();
    const double laserLimit = Baud / (10.0 * static_cast<double>(laserOut + laserIn));
    std::printf("\nOne laser channel (%s, poll flags 0x%X in the upper half: one compound query)\n",
                LaserModel, static_cast<unsigned>(LaserPollDefault));
    std::printf("  bytes per cycle          %6zu out, %zu in\n", laserOut, laserIn);
    std::printf("  wire limit at %d baud %10.1f cycles per second (10 bits per byte)\n\n", Baud, laserLimit);
    {
        CCountingLaser laser;
        if (!laser.GetPort().OpenPortByName(laserPtySim.endpoint, Baud))
        {
            std::fprintf(stderr, "cannot open %s\n", laserPtySim.endpoint.c_str());
            return 1;
        }
        serial = Measure(laser, seconds);
    }
    Print("Pseudo-terminal, 38400 baud, wire timing:", serial);
    std::printf("  achieved / wire limit    %10.3f\n\n", serial.cyclesPerSecond / laserLimit);
    {
        CCountingLaser laser;
        if (!laser.GetPort().OpenNetwork("127.0.0.1", std::atoi(laserTcpSim.endpoint.c_str())))
        {
            std::fprintf(stderr, "cannot connect to port %s\n", laserTcpSim.endpoint.c_str());
            return 1;
        }
        network = Measure(laser, seconds);
    }
    Print("Loopback TCP:", network);

    // Each child holds copies of the release pipes of those started before it: end them last first.
    StopSimulator(laserTcpSim);
    StopSimulator(laserPtySim);
    StopSimulator(tcpSim);
    StopSimulator(ptySim);
    return 0;
}
