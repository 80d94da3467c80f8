// Poll rate and CPU cost of one TEC channel and of one laser channel against the simulator, beside a
// plain blocking read loop of the kind a short script writes (each reply byte waited for with poll and
// read on its own) on the same paced line. The simulators run in child processes so that the CPU
// figures are this process's alone.
//
//   tec_poll_bench [seconds per run] [runs]      figures are the median of the runs
#include "SimInstrument.h"
#include "instrument/laser/Laser.h"
#include "instrument/tec/TEC.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

constexpr int Baud = 38400;
constexpr int SlowBaud = 9600;
constexpr int SensorCount = 7; // a K760: the sensor query joins the other two
constexpr const char* Model = "K760";
constexpr const char* LaserModel = "D310";

// Poll cycles completed, and a wait for the next one to end: a measurement runs from the end of one
// cycle to the end of another, so that no part of a cycle at either end skews the rate.
class CCycleCounter
{
public:
    void Add()
    {
        {
            std::lock_guard lock(m_lock);
            ++m_count;
        }
        m_ended.notify_all();
    }
    long Count() const
    {
        std::lock_guard lock(m_lock);
        return m_count;
    }
    // Waits (ten seconds at most) until more than count cycles have ended; the count then.
    long WaitPast(long count)
    {
        std::unique_lock lock(m_lock);
        m_ended.wait_for(lock, std::chrono::seconds(10), [&] { return m_count > count; });
        return m_count;
    }

private:
    mutable std::mutex m_lock;
    std::condition_variable m_ended;
    long m_count = 0;
};

// Counts the poll cycles the background thread completes.
class CCountingTec : public CTEC
{
public:
    int GetSensorCount() const override { return SensorCount; }
    void UpdateStatus(uint32_t flags) override
    {
        CTEC::UpdateStatus(flags);
        cycles.Add();
    }
    CCycleCounter cycles;
};

// The same for a laser channel: one compound query per cycle.
class CCountingLaser : public CLaser
{
public:
    bool UpdateStatus(uint64_t pollFlags) override
    {
        const bool accepted = CLaser::UpdateStatus(pollFlags);
        cycles.Add();
        return accepted;
    }
    CCycleCounter cycles;
};

struct SSimChild
{
    pid_t pid = -1;
    int release = -1;     // closing it ends the child
    std::string endpoint; // pty path or TCP port
};

// Forks before this process has any thread of its own.
SSimChild StartSimulator(bool tcp, const char* model, int baud = Baud)
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
        sim->SetBaud(baud);
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

long WakeUps()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
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

// The three compound queries of one TEC poll cycle.
std::vector<std::string> CycleLines()
{
    const uint32_t flags = TecPollDefault;
    return {JoinedLine(TecProtocol::StatusQueryParts(flags, SensorCount), true),
            JoinedLine(TecProtocol::SensorQueryParts(flags, SensorCount), true),
            JoinedLine(TecProtocol::OutputQueryParts(flags), false)};
}

// Bytes of one poll cycle both ways, the replies taken from an in-process unit of the same model.
std::pair<size_t, size_t> BytesPerCycle()
{
    auto sim = CSimInstrument::Create(Model);
    size_t out = 0;
    size_t in = 0;
    for (const std::string& line : CycleLines())
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
    double wakeUpsPerCycle = 0; // the process's voluntary context switches: each is one wake-up
};

std::string LoadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// The figures of several runs, each taken as the median over the runs.
SFigures Median(std::vector<SFigures> runs)
{
    auto middle = [&runs](double SFigures::*field)
    {
        std::sort(runs.begin(), runs.end(),
                  [field](const SFigures& a, const SFigures& b) { return a.*field < b.*field; });
        return runs[runs.size() / 2].*field;
    };
    SFigures median;
    median.cyclesPerSecond = middle(&SFigures::cyclesPerSecond);
    median.cpuMsPer1000 = middle(&SFigures::cpuMsPer1000);
    median.cpuPercent = middle(&SFigures::cpuPercent);
    median.wakeUpsPerCycle = middle(&SFigures::wakeUpsPerCycle);
    for (const SFigures& run : runs)
        median.failedPolls = std::max(median.failedPolls, run.failedPolls);
    return median;
}

bool OpenRaw(int fd, int baud)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    const speed_t speed = baud == SlowBaud ? B9600 : B38400;
    return ::cfsetispeed(&settings, speed) == 0 && ::cfsetospeed(&settings, speed) == 0 &&
           ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

// One reply read as a script's serial library reads a line: wait for a byte, read one byte, until
// the line feed that follows the carriage return.
bool ReadReplyBytewise(int fd)
{
    for (;;)
    {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 2000) <= 0)
            return false;
        char byte;
        const ssize_t count = ::read(fd, &byte, 1);
        if (count < 0 && errno != EAGAIN)
            return false;
        if (count == 1 && byte == '\n')
            return true;
    }
}

// The same poll cycle as the TEC channel's, sent and read by a plain blocking loop on this thread.
SFigures MeasurePlainLoop(const std::string& path, int baud, double seconds)
{
    SFigures figures;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || !OpenRaw(fd, baud))
        return figures;
    const std::vector<std::string> lines = CycleLines();
    auto cycle = [&]
    {
        for (const std::string& line : lines)
        {
            if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()) ||
                !ReadReplyBytewise(fd))
                return false;
        }
        return true;
    };
    for (int warmUp = 0; warmUp < 3; ++warmUp)
        cycle();
    long cycles = 0;
    const long wakeUps0 = WakeUps();
    const double cpu0 = CpuSeconds();
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    while (Clock::now() < end)
    {
        if (cycle())
            ++cycles;
        else
            ++figures.failedPolls;
    }
    const double cpu = CpuSeconds() - cpu0;
    const long wakeUps = WakeUps() - wakeUps0;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    ::close(fd);
    figures.wakeUpsPerCycle = cycles > 0 ? static_cast<double>(wakeUps) / static_cast<double>(cycles) : 0.0;
    figures.cyclesPerSecond = static_cast<double>(cycles) / wall;
    figures.cpuMsPer1000 = cycles > 0 ? cpu * 1000.0 / static_cast<double>(cycles) * 1000.0 : 0.0;
    figures.cpuPercent = cpu / wall * 100.0;
    return figures;
}

template <class Channel>
SFigures Measure(Channel& channel, double seconds, int periodMs = CInstrBase::MinPollPeriodMs)
{
    channel.StartBackgroundThread(periodMs);
    channel.cycles.WaitPast(4);
    const long cycles0 = channel.cycles.WaitPast(channel.cycles.Count());
    const long wakeUps0 = WakeUps();
    const double cpu0 = CpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const long cycles = channel.cycles.WaitPast(channel.cycles.Count()) - cycles0;
    const double cpu = CpuSeconds() - cpu0;
    const long wakeUps = WakeUps() - wakeUps0;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    SFigures figures;
    figures.cyclesPerSecond = static_cast<double>(cycles) / wall;
    figures.cpuMsPer1000 = cycles > 0 ? cpu * 1000.0 / static_cast<double>(cycles) * 1000.0 : 0.0;
    figures.cpuPercent = cpu / wall * 100.0;
    figures.failedPolls = channel.GetFailedPolls();
    figures.wakeUpsPerCycle = cycles > 0 ? static_cast<double>(wakeUps) / static_cast<double>(cycles) : 0.0;
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

// The figures a paced line is judged by: CPU per byte on the wire (both ways) and the share of the
// cycles the wire allows.
void PrintWire(const SFigures& figures, size_t bytesPerCycle, double limit)
{
    std::printf("  wake-ups per cycle       %10.1f\n  CPU per wire byte        %10.2f us\n"
                "  achieved / wire limit    %10.3f\n\n",
                figures.wakeUpsPerCycle, figures.cpuMsPer1000 / static_cast<double>(bytesPerCycle),
                figures.cyclesPerSecond / limit);
}

template <class MeasureOnce>
SFigures MedianOf(int runs, MeasureOnce measure)
{
    std::vector<SFigures> figures;
    for (int run = 0; run < runs; ++run)
        figures.push_back(measure());
    return Median(figures);
}
} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    SSimChild ptySim = StartSimulator(false, Model);
    SSimChild slowPtySim = StartSimulator(false, Model, SlowBaud);
    SSimChild tcpSim = StartSimulator(true, Model);
    SSimChild laserPtySim = StartSimulator(false, LaserModel);
    SSimChild laserTcpSim = StartSimulator(true, LaserModel);
    if (ptySim.endpoint.empty() || slowPtySim.endpoint.empty() || tcpSim.endpoint.empty() ||
        laserPtySim.endpoint.empty() || laserTcpSim.endpoint.empty())
    {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    std::printf("Load average at the start: %s (%u cores); %d run(s) of %.1f s, medians shown\n\n",
                LoadAverage().c_str(), std::thread::hardware_concurrency(), runs, seconds);

    const auto [out, in] = BytesPerCycle();
    std::printf("One TEC channel (%s, %d sensors, poll flags 0x%X: three compound queries)\n", Model,
                SensorCount, static_cast<unsigned>(TecPollDefault));
    std::printf("  bytes per cycle          %6zu out, %zu in\n\n", out, in);

    for (const auto& [baud, sim] : {std::pair{Baud, &ptySim}, std::pair{SlowBaud, &slowPtySim}})
    {
        const double limit = baud / (10.0 * static_cast<double>(out + in));
        std::printf("Pseudo-terminal, %d baud, wire timing: wire limit %.2f cycles per second\n\n", baud,
                    limit);
        const std::string path = sim->endpoint;
        bool opened = true;
        const SFigures serial = MedianOf(runs,
                                         [&]
                                         {
                                             CCountingTec tec;
                                             if (!tec.GetPort().OpenPortByName(path, baud))
                                             {
                                                 opened = false;
                                                 return SFigures{};
                                             }
                                             return Measure(tec, seconds);
                                         });
        if (!opened)
        {
            std::fprintf(stderr, "cannot open %s\n", path.c_str());
            return 1;
        }
        Print("  TEC channel:", serial);
        PrintWire(serial, out + in, limit);
        const SFigures plain = MedianOf(runs, [&] { return MeasurePlainLoop(path, baud, seconds); });
        Print("  Plain blocking loop (poll and read one byte at a time, as a script would):", plain);
        PrintWire(plain, out + in, limit);
    }

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
    Print("Loopback TCP, polling at the floor:", network);
    {
        CCountingTec tec;
        if (!tec.GetPort().OpenNetwork("127.0.0.1", std::atoi(tcpSim.endpoint.c_str())))
        {
            std::fprintf(stderr, "cannot connect to port %s\n", tcpSim.endpoint.c_str());
            return 1;
        }
        network = Measure(tec, seconds, CInstrBase::DefaultPollPeriodMs);
    }
    Print("Loopback TCP, polling at the default period:", network);

    const auto [laserOut, laserIn] = LaserBytesPerCycle();
    const double laserLimit = Baud / (10.0 * static_cast<double>(laserOut + laserIn));
    std::printf("\nOne laser channel (%s, poll flags 0x%X in the upper half: one compound query)\n",
                LaserModel, static_cast<unsigned>(LaserPollDefault));
    std::printf("  bytes per cycle          %6zu out, %zu in\n", laserOut, laserIn);
    std::printf("  wire limit at %d baud %10.1f cycles per second (10 bits per byte)\n\n", Baud, laserLimit);
    SFigures serial;
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
    PrintWire(serial, laserOut + laserIn, laserLimit);
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
    std::printf("\nLoad average at the end: %s\n", LoadAverage().c_str());

    // Each child holds copies of the release pipes of those started before it: end them last first.
    StopSimulator(laserTcpSim);
    StopSimulator(laserPtySim);
    StopSimulator(tcpSim);
    StopSimulator(slowPtySim);
    StopSimulator(ptySim);
    return 0;
}
