// The desktop program under load: the host window with eight TEC panels that poll simulated K760 units
// over pseudo-terminals at 38400 baud with wire timing. Prints how late a 10 ms timer of the window's
// event loop fires (p50/p99/max) and the program's CPU per polled panel. The simulators run as child
// processes (tamrix-sim), so the CPU figure is the program's own. Offscreen; settings in a temporary
// folder, never the user's.
//
// Then the same while a user works on the first panel once a second (a new set point with Set, and its
// TEC settings page opened, read and closed), and again with that panel's unit frozen (SIGSTOP): the
// window must never wait on an instrument.
//
//   host_latency_bench [SECONDS [PANELS [LINK]]]     defaults: 30 s, 8 panels (up to 64), LINK 38400
//                                                    (pseudo-terminals at 38400 or 9600 baud, or tcp:
//                                                    each unit on a loopback TCP port)
#include "comm/PortDescriptor.h"
#include "comm/PortResolver.h"
#include "diag/IniProfile.h"
#include "instrument/session/InstrBase.h"
#include "instrument/session/WaitWatch.h"
#include "ui/app/TamrixControlHost.h"
#include "ui/common/NetworkAddresses.h"
#include "ui/common/Prompter.h"
#include "ui/common/UiContext.h"
#include "ui/dialogs/TECSettingsDlg.h"
#include "ui/panels/BasePanel.h"
#include "ui/panels/PanelTypes.h"
#include "ui/panels/parts/TecBlock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
constexpr const char* Model = "K760";
// The simulators' port numbers are registered in this process only, counted down from the last one
// (255), so that a few panels stay clear of the numbers real adapters get.
constexpr int LastPort = 255;
constexpr int MostPanels = 64;

int PortOf(int panel, int panels)
{
    return LastPort - panels + 1 + panel;
}
constexpr int ProbePeriodMs = 10;
constexpr int ConnectDeadlineMs = 120000;

// One tamrix-sim child on a pseudo-terminal reached through a link in the bench's folder, or on a
// loopback TCP port.
struct SSimChild
{
    pid_t pid = -1;
    int output = -1;  // kept open until the child ends, so a late line never meets a closed pipe
    std::string link; // the pseudo-terminal's link, or the TCP descriptor
};

// Reads the child's lines until it names its link or TCP address (or ends); that line's rest.
std::string WaitForAddress(const SSimChild& child)
{
    std::string line;
    char c;
    while (::read(child.output, &c, 1) == 1)
    {
        if (c != '\n')
        {
            line.push_back(c);
            continue;
        }
        for (const char* tag : {"LINK ", "TCP "})
            if (line.rfind(tag, 0) == 0)
                return line.substr(std::string_view(tag).size());
        line.clear();
    }
    return {};
}

// Started before this process has any thread of its own (the child execs at once anyway). On TCP the
// unit answers at once, as a network unit does; on a pseudo-terminal at the baud rate's pace.
SSimChild StartSimulator(const std::string& link, const std::string& kind)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        if (kind == "tcp")
            ::execl(TAMRIX_SIM_EXE, TAMRIX_SIM_EXE, "--model", Model, "--tcp", "0",
                    static_cast<char*>(nullptr));
        else
            ::execl(TAMRIX_SIM_EXE, TAMRIX_SIM_EXE, "--model", Model, "--pty", link.c_str(), "--baud",
                    kind.c_str(), "--wire-timing", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    SSimChild child{pid, pipeFds[0], {}};
    if (pid > 0)
    {
        const std::string address = WaitForAddress(child);
        child.link = kind == "tcp" && !address.empty() ? "TCP:" + address : address;
    }
    return child;
}

void StopSimulator(SSimChild& child)
{
    if (child.pid > 0)
    {
        ::kill(child.pid, SIGTERM);
        ::waitpid(child.pid, nullptr, 0);
    }
    if (child.output >= 0)
        ::close(child.output);
}

// No modal box may stop the loop being measured: messages go to standard error and are counted.
class CBenchPrompter : public CPrompter
{
public:
    void Message(QWidget*, const QString& text, EIcon) override
    {
        ++messages;
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool AskYesNo(QWidget*, const QString&) override { return true; }
    EOutputChoice AskOutputsOn(QWidget*, const QString&) override { return EOutputChoice::LeaveOn; }
    void Beep() override {}

    int messages = 0;
};

// How late a timer of the event loop fires: re-armed as a single shot on each tick, each sample is the
// time from when it was due to when its handler ran.
class CLatenessProbe
{
public:
    explicit CLatenessProbe(int periodMs) : m_periodMs(periodMs)
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { OnTick(); });
        m_clock.start();
    }

    void Start()
    {
        m_samplesMs.clear();
        Arm();
    }
    void Stop() { m_timer.stop(); }
    std::vector<double> Samples() const { return m_samplesMs; }

private:
    void Arm()
    {
        m_dueNs = m_clock.nsecsElapsed() + qint64(m_periodMs) * 1000000;
        m_timer.start(m_periodMs);
    }
    void OnTick()
    {
        m_samplesMs.push_back(std::max<qint64>(0, m_clock.nsecsElapsed() - m_dueNs) / 1e6);
        Arm();
    }

    int m_periodMs;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_dueNs = 0;
    std::vector<double> m_samplesMs;
};

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string LoadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one;
    std::string five;
    file >> one >> five;
    return one + " (1 min), " + five + " (5 min)";
}

double Percentile(std::vector<double> samples, double fraction)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const size_t at = std::min(samples.size() - 1, static_cast<size_t>(fraction * samples.size()));
    return samples[at];
}

void RunEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A user at the first panel: once a second a new set point goes out with Set, and the TEC settings page
// is opened, read, given a new tolerance time and closed with OK once its writes are done.
class CUserActions
{
public:
    CUserActions(const SUiContext& context, CBasePanel& panel) : m_context(context), m_panel(panel)
    {
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this]
                         {
                             QElapsedTimer took;
                             took.start();
                             Act();
                             m_longestActMs = std::max(m_longestActMs, took.nsecsElapsed() / 1e6);
                         });
    }
    void Start() { m_timer.start(1000); }
    void Stop()
    {
        m_timer.stop();
        delete m_page;
    }
    int Sets() const { return m_sets; }
    int PagesRead() const { return m_pagesRead; }
    int PagesWritten() const { return m_pagesWritten; }
    // The window's own work for the user, on its thread: a Set with a new page built, and OK on a page.
    double LongestActMs() const { return m_longestActMs; }
    double LongestOkMs() const { return m_longestOkMs; }

private:
    void Act()
    {
        auto* block = m_panel.findChild<CTecBlock*>();
        auto* edit = m_panel.findChild<QLineEdit*>("setPointEdit");
        if (!block || !edit)
            return;
        if (!block->IsBusy())
        {
            edit->setText(m_sets % 2 ? "25.5" : "26.5");
            block->OnSetPoint();
            ++m_sets;
        }
        if (m_page)
        {
            // A page whose writes were refused (a frozen unit) stays open: closed here, as a user would.
            if (m_page->IsLoaded() && !m_page->IsWriting())
                m_page->reject();
            return; // the last one is still reading or writing
        }
        m_page = new CTECSettingsDlg(m_context, block->Access(), &m_panel);
        QObject::connect(m_page, &CTECSettingsDlg::loaded, m_page,
                         [this]
                         {
                             ++m_pagesRead;
                             auto* tolerance = m_page->findChild<QLineEdit*>("tolTimeEdit");
                             tolerance->setText(m_pagesRead % 2 ? "2" : "3");
                             tolerance->setModified(true);
                             QElapsedTimer took;
                             took.start();
                             m_page->accept();
                             m_longestOkMs = std::max(m_longestOkMs, took.nsecsElapsed() / 1e6);
                         });
        QObject::connect(m_page, &QDialog::finished, m_page,
                         [this](int result)
                         {
                             m_pagesWritten += result == QDialog::Accepted;
                             m_page->deleteLater();
                         });
        if (!m_page->Load())
            m_page->deleteLater();
    }

    SUiContext m_context;
    CBasePanel& m_panel;
    QTimer m_timer;
    QPointer<CTECSettingsDlg> m_page;
    int m_sets = 0;
    int m_pagesRead = 0;
    int m_pagesWritten = 0;
    double m_longestActMs = 0.0;
    double m_longestOkMs = 0.0;
};

struct SPhase
{
    std::vector<double> latenessMs;
    double cpuPercent = 0; // of one core, the whole process
    int windowWaits = 0;   // calls that talked to a unit from the window's thread
};

SPhase Measure(CLatenessProbe& probe, double seconds)
{
    QElapsedTimer wall;
    const double cpu0 = CpuSeconds();
    const int waits0 = CWaitWatch::Count();
    wall.start();
    probe.Start();
    RunEventsFor(static_cast<int>(seconds * 1000));
    probe.Stop();
    SPhase phase;
    phase.cpuPercent = (CpuSeconds() - cpu0) / (wall.nsecsElapsed() / 1e9) * 100.0;
    phase.latenessMs = probe.Samples();
    phase.windowWaits = CWaitWatch::Count() - waits0;
    return phase;
}

void PrintPhase(const char* title, const SPhase& phase)
{
    const std::vector<double>& s = phase.latenessMs;
    std::printf("%s\n  timer ticks              %10zu (every %d ms)\n"
                "  lateness p50             %10.2f ms\n  lateness p99             %10.2f ms\n"
                "  lateness max             %10.2f ms\n  CPU of the program       %10.2f %% of one core\n"
                "  window thread's waits    %10d (calls to a unit, target 0)\n",
                title, s.size(), ProbePeriodMs, Percentile(s, 0.50), Percentile(s, 0.99),
                s.empty() ? 0.0 : *std::max_element(s.begin(), s.end()), phase.cpuPercent, phase.windowWaits);
}

// The stored start-up of a user with `panels` TEC panels, each auto-connecting to its own port.
void WriteProfile(CProfile& profile, const std::vector<SSimChild>& sims)
{
    const int panels = static_cast<int>(sims.size());
    // Network units are chosen from the user's address list, as in the window.
    std::vector<SNetworkAddress> addresses;
    for (int i = 0; i < panels; ++i)
        if (const auto parsed = PortDescriptor::Parse(sims[i].link); parsed && parsed->kind == "TCP")
            addresses.push_back(
                {parsed->first, PortDescriptor::ToInt(parsed->second), "K760 " + std::to_string(i + 1)});
    NetworkAddresses::Write(profile, addresses, 0);
    std::string list;
    for (int i = 0; i < panels; ++i)
    {
        list += (i ? "," : "") + std::to_string(PanelType::TEC);
        const std::string section = "Panel" + std::to_string(i) + "-" + std::to_string(PanelType::TEC);
        profile.WriteInt(section, "AutoConnect", 1);
        profile.WriteString(section, "Connection",
                            addresses.empty() ? "COM:" + std::to_string(PortOf(i, panels)) + ":0"
                                              : NetworkAddresses::Descriptor(addresses[i]));
    }
    profile.WriteString("Settings", "Panels", list);
}

// When each panel's first poll cycle ended, counted from the start of the window: watched every
// millisecond from the event loop while the panels connect.
class CFirstPollWatch
{
public:
    CFirstPollWatch(const CTamrixControlHost& host, const QElapsedTimer& start)
        : m_host(host), m_start(start), m_ms(static_cast<size_t>(host.PanelCount()), -1)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Check(); });
        m_timer.start(1);
    }

    // The first and the last panel's time [s]; negative while some panel has not polled yet.
    double FirstSeconds() const { return Seconds(*std::min_element(m_ms.begin(), m_ms.end())); }
    double LastSeconds() const { return Seconds(*std::max_element(m_ms.begin(), m_ms.end())); }

private:
    static double Seconds(qint64 ms) { return static_cast<double>(ms) / 1000.0; }
    void Check()
    {
        bool all = true;
        for (size_t i = 0; i < m_ms.size(); ++i)
        {
            const CInstrBase* instrument = m_host.PanelAt(static_cast<int>(i))->GetInstrument();
            if (m_ms[i] < 0 && instrument && instrument->GetCompletedCycles() > 0)
                m_ms[i] = m_start.elapsed();
            all = all && m_ms[i] >= 0;
        }
        if (all)
            m_timer.stop();
    }

    const CTamrixControlHost& m_host;
    const QElapsedTimer& m_start;
    std::vector<qint64> m_ms;
    QTimer m_timer;
};

// Runs the loop until every panel has ended its auto-connect (or the deadline); the number that connected.
int WaitForConnects(CTamrixControlHost& host)
{
    int finished = 0;
    int connected = 0;
    QEventLoop loop;
    for (int i = 0; i < host.PanelCount(); ++i)
        QObject::connect(host.PanelAt(i), &CBasePanel::connectFinished, &loop,
                         [&](bool ok)
                         {
                             connected += ok ? 1 : 0;
                             if (++finished == host.PanelCount())
                                 loop.quit();
                         });
    QTimer::singleShot(ConnectDeadlineMs, &loop, &QEventLoop::quit);
    loop.exec();
    return connected;
}

int PollingPanels(const CTamrixControlHost& host)
{
    int polling = 0;
    for (int i = 0; i < host.PanelCount(); ++i)
    {
        const CInstrBase* instrument = host.PanelAt(i)->GetInstrument();
        polling += instrument && instrument->IsPortOpen() && instrument->GetFailedPolls() == 0 ? 1 : 0;
    }
    return polling;
}

// The settings and the simulators' links live in a folder of their own, removed at the end.
std::filesystem::path MakeWorkFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tamrix-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return {};
    ::setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
    ::setenv("XDG_STATE_HOME", pattern.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", pattern.c_str(), 1); // mkdtemp made it 0700, as Qt wants
    return pattern;
}

void PrintTargets(const SPhase& phase)
{
    const double p99 = Percentile(phase.latenessMs, 0.99);
    const double max =
        phase.latenessMs.empty() ? 0.0 : *std::max_element(phase.latenessMs.begin(), phase.latenessMs.end());
    std::printf("  p99 under 16 ms          %10s\n  max under 50 ms          %10s\n",
                p99 < 16.0 ? "met" : "MISSED", max < 50.0 ? "met" : "MISSED");
}

// The user's work on the first panel while everything polls, then with its unit frozen.
void MeasureUserActions(const SUiContext& context, CTamrixControlHost& host, CLatenessProbe& probe,
                        double seconds, const SSimChild& first)
{
    CUserActions user(context, *host.PanelAt(0));
    user.Start();
    const SPhase working = Measure(probe, seconds);
    user.Stop();
    std::printf("\n");
    PrintPhase("Set, and a settings page read and written with OK, on panel 1 once a second:", working);
    std::printf("  set points sent          %10d\n  settings pages read      %10d\n"
                "  settings pages written   %10d\n",
                user.Sets(), user.PagesRead(), user.PagesWritten());
    std::printf("  longest Set, page built  %7.2f ms\n  longest OK on a page     %7.2f ms\n",
                user.LongestActMs(), user.LongestOkMs());
    PrintTargets(working);

    ::kill(first.pid, SIGSTOP);
    CUserActions frozen(context, *host.PanelAt(0));
    frozen.Start();
    const SPhase stuck = Measure(probe, std::min(seconds, 15.0));
    frozen.Stop();
    ::kill(first.pid, SIGCONT);
    std::printf("\n");
    PrintPhase("The same with panel 1's unit frozen (SIGSTOP):", stuck);
    std::printf("  set points sent          %10d\n  settings pages read      %10d\n"
                "  settings pages written   %10d\n",
                frozen.Sets(), frozen.PagesRead(), frozen.PagesWritten());
    PrintTargets(stuck);
}

int RunBench(int argc, char** argv, double seconds, int panels, const std::string& kind,
             const std::vector<SSimChild>& sims)
{
    for (int i = 0; i < panels && kind != "tcp"; ++i)
        if (!CPortResolver::Register(PortOf(i, panels), sims[i].link))
            return 1;
    QApplication app(argc, argv);
    CWaitWatch::ForbidWaitsOnThisThread();
    CIniProfile profile;
    CBenchPrompter prompter;
    WriteProfile(profile, sims);
    QElapsedTimer startTime;
    startTime.start();
    CTamrixControlHost host(SUiContext{profile, prompter});
    host.RestorePanels();
    host.StartDeviceMonitor();
    host.show();
    CLatenessProbe probe(ProbePeriodMs);

    if (kind == "tcp")
        std::printf("Host window with %d TEC panels (%s on loopback TCP), offscreen\n", panels, Model);
    else
        std::printf("Host window with %d TEC panels (%s on pseudo-terminals, %s baud, wire timing), "
                    "offscreen\n",
                    panels, Model, kind.c_str());
    std::printf("  load average at start    %s on %u cores\n\n", LoadAverage().c_str(),
                std::thread::hardware_concurrency());
    QElapsedTimer connectTime;
    connectTime.start();
    const CFirstPollWatch firstPolls(host, startTime);
    const int connected = WaitForConnects(host);
    std::printf("Auto-connect: %d of %d panels connected in %.1f s\n", connected, panels,
                connectTime.elapsed() / 1000.0);
    if (connected != panels)
        return 1;
    RunEventsFor(2000); // the first poll cycles and the first readings on screen
    std::printf("Start of the window to the first poll: first panel %.2f s, last panel %.2f s\n\n",
                firstPolls.FirstSeconds(), firstPolls.LastSeconds());

    const SPhase polled = Measure(probe, seconds);
    const int polling = PollingPanels(host);
    char title[64];
    std::snprintf(title, sizeof title, "Polling, %.1f s:", seconds);
    PrintPhase(title, polled);
    std::printf("  CPU per polled panel     %10.2f %% of one core (target under 2 %%)\n",
                polled.cpuPercent / panels);
    std::printf("  p99 lateness target      %10s (under 50 ms)\n",
                Percentile(polled.latenessMs, 0.99) < 50.0 ? "met" : "MISSED");
    std::printf("  panels polling at end    %10d of %d\n  messages shown           %10d\n", polling, panels,
                prompter.messages);
    MeasureUserActions(SUiContext{profile, prompter}, host, probe, seconds, sims.front());

    // The same window with every panel disconnected: what the polling itself costs.
    for (int i = 0; i < host.PanelCount(); ++i)
        host.PanelAt(i)->Disconnect();
    RunEventsFor(1000); // the disconnects' deferred work is not the baseline
    const SPhase idle = Measure(probe, std::min(5.0, seconds / 4));
    std::printf("\n");
    PrintPhase("The same panels disconnected (baseline):", idle);
    std::printf("  polling's own CPU        %10.2f %% of one core per panel\n",
                (polled.cpuPercent - idle.cpuPercent) / panels);
    std::printf("\n  load average at end      %s\n", LoadAverage().c_str());
    host.Quit(false);
    return polling == panels ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    const int panels = argc > 2 ? std::atoi(argv[2]) : 8;
    const std::string kind = argc > 3 ? argv[3] : "38400";
    if (seconds <= 0 || panels < 1 || panels > MostPanels ||
        (kind != "38400" && kind != "9600" && kind != "tcp"))
    {
        std::fprintf(stderr, "usage: host_latency_bench [SECONDS (default 30) [PANELS 1-64 (default 8) "
                             "[LINK 38400, 9600 or tcp]]]\n");
        return 2;
    }
    const std::filesystem::path folder = MakeWorkFolder();
    if (folder.empty())
    {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    std::vector<SSimChild> sims;
    bool started = true;
    for (int i = 0; i < panels && started; ++i)
    {
        sims.push_back(StartSimulator((folder / ("k760-" + std::to_string(i))).string(), kind));
        started = !sims.back().link.empty();
    }
    const int result = started ? RunBench(argc, argv, seconds, panels, kind, sims) : 1;
    if (!started)
        std::fprintf(stderr, "%s did not start\n", TAMRIX_SIM_EXE);
    for (SSimChild& sim : sims)
        StopSimulator(sim);
    std::filesystem::remove_all(folder);
    return result;
}
