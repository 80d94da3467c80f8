// CPU of the desktop program with eight TEC panels polling their units at 38400 baud over paced
// pseudo-terminals, first with the trends hidden, then with all eight trends shown. The simulators run
// in child processes so that the CPU figures are the program's alone (UI thread and poll threads).
#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "diag/MemoryProfile.h"
#include "instrument/tec/TEC.h"
#include "ui/common/Prompter.h"
#include "ui/common/UiContext.h"
#include "ui/panels/PanelHost.h"
#include "ui/panels/TECPanel.h"
#include "ui/widgets/TrendChart.h"

#include <QApplication>
#include <QEventLoop>
#include <QGridLayout>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
constexpr int Baud = 38400;
constexpr int Panels = 8;
constexpr int FirstPort = 180;
constexpr const char* Model = "K910";

struct SSimChild
{
    pid_t pid = -1;
    int release = -1; // closing it ends the child
    std::string path;
};

// Forks before this process has any thread of its own.
SSimChild StartSimulator()
{
    int toParent[2];
    int toChild[2];
    if (::pipe(toParent) != 0 || ::pipe(toChild) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        ::close(toParent[0]);
        ::close(toChild[1]);
        auto sim = CSimInstrument::Create(Model);
        sim->SetBaud(Baud);
        sim->SetWireTiming(true);
        std::string error;
        const std::string path = (sim->StartPty("", error) ? sim->PtyPath() : std::string()) + "\n";
        [[maybe_unused]] ssize_t written = ::write(toParent[1], path.data(), path.size());
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
        child.path.push_back(c);
    ::close(toParent[0]);
    return child;
}

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class CQuietPrompter : public CPrompter
{
public:
    void Message(QWidget*, const QString& text, EIcon) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool AskYesNo(QWidget*, const QString&) override { return false; }
    EOutputChoice AskOutputsOn(QWidget*, const QString&) override { return EOutputChoice::LeaveOn; }
    void Beep() override {}
};

class CBenchHost : public IPanelHost
{
public:
    void LayoutPanels() override {}
    bool IsAnotherPanelExpanded(const CBasePanel*) const override { return true; }
    void RemovePanelLater(int) override {}
    void ReplacePanelLater(int, int, const std::string&, bool) override {}
    int PanelHoldingPort(int, const CBasePanel*) const override { return -1; }
    void PortHoldersChanged() override {}
};

void RunFor(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

struct SFigure
{
    double cpuPercent;
    long redraws;
    int failedPanels;
};

SFigure Measure(std::vector<CTECPanel*>& panels, double seconds)
{
    long redraws0 = 0;
    for (CTECPanel* panel : panels)
        redraws0 += panel->Trend()->Redraws();
    const double cpu0 = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    RunFor(seconds);
    const double cpu = CpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long redraws = -redraws0;
    int failed = 0;
    for (CTECPanel* panel : panels)
    {
        redraws += panel->Trend()->Redraws();
        failed += panel->IsConnected() ? 0 : 1;
    }
    return {cpu / wall * 100.0, redraws, failed};
}
} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<SSimChild> sims;
    for (int i = 0; i < Panels; ++i)
        sims.push_back(StartSimulator());

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("XDG_STATE_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    CMemoryProfile profile;
    CQuietPrompter prompter;
    CBenchHost host;
    SUiContext context{profile, prompter};

    QWidget window;
    auto* grid = new QGridLayout(&window);
    std::vector<CTECPanel*> panels;
    for (int i = 0; i < Panels; ++i)
    {
        CPortResolver::Register(FirstPort + i, sims[static_cast<size_t>(i)].path);
        auto* panel = new CTECPanel(context, host, i, &window);
        grid->addWidget(panel, i / 4, i % 4);
        panels.push_back(panel);
    }
    window.show();
    for (int i = 0; i < Panels; ++i)
    {
        QSignalSpy finished(panels[static_cast<size_t>(i)], &CBasePanel::connectFinished);
        panels[static_cast<size_t>(i)]->Connect("COM:" + std::to_string(FirstPort + i) + ":0");
        if (!finished.wait(30000) || !finished.first().first().toBool())
        {
            std::fprintf(stderr, "panel %d did not connect\n", i + 1);
            return 1;
        }
    }
    RunFor(3.0); // every panel polled a few times

    std::printf("Eight TEC panels (%s units, %d baud, paced pseudo-terminals), %.0f s each:\n", Model, Baud,
                seconds);
    const SFigure hidden = Measure(panels, seconds);
    std::printf("  trends hidden   %6.2f %% of one core   (chart redraws %ld, panels lost %d)\n",
                hidden.cpuPercent, hidden.redraws, hidden.failedPanels);
    for (CTECPanel* panel : panels)
        panel->findChild<QPushButton*>("trendButton")->setChecked(true);
    RunFor(1.0);
    const SFigure shown = Measure(panels, seconds);
    std::printf("  trends shown    %6.2f %% of one core   (chart redraws %ld, panels lost %d)\n",
                shown.cpuPercent, shown.redraws, shown.failedPanels);
    std::printf("  platform        %s\n", qPrintable(QGuiApplication::platformName()));

    for (CTECPanel* panel : panels)
        panel->Disconnect();
    // Newest first: each child holds copies of the release ends of those forked before it.
    for (auto sim = sims.rbegin(); sim != sims.rend(); ++sim)
    {
        ::close(sim->release);
        ::waitpid(sim->pid, nullptr, 0);
    }
    return 0;
}
