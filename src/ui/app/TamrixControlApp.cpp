#include "ui/app/TamrixControlApp.h"

#include "diag/EventLog.h"
#include "diag/IniProfile.h"
#include "diag/Version.h"
#include "ui/app/MessageBoxPrompter.h"
#include "ui/app/TamrixControlHost.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace
{
int g_signalPipe[2] = {-1, -1};

void OnQuitSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(g_signalPipe[1], &byte, 1);
}

// The options answered without a window ("--" ends the options).
bool NamesHelpOrVersion(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string_view argument(argv[i]);
        if (argument == "--")
            return false;
        if (argument == "-h" || argument == "-?" || argument == "--help" || argument == "-v" ||
            argument == "--version")
            return true;
    }
    return false;
}

// --help and --version need no display: they are answered (and the process ends) before a
// QApplication asks for a platform. Anything else is left to the window's own parse.
void AnswerWithoutDisplay(QCommandLineParser& parser, const QCommandLineOption& help,
                          const QCommandLineOption& version, int argc, char** argv)
{
    const QCoreApplication core(argc, argv);
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(version))
        parser.showVersion();
    if (parser.isSet(help))
        parser.showHelp();
}
} // namespace

CTamrixControlApp::CTamrixControlApp() = default;

void CTamrixControlApp::ScheduleScreenshot(CTamrixControlHost& host, const QString& file, int delayMs)
{
    // For a demo without a display: the window as it stands after its panels connected, then the
    // ordinary quit path, so every instrument hears "LOCAL".
    QTimer::singleShot(std::max(0, delayMs), &host,
                       [&host, file]
                       {
                           if (!host.grab().save(file))
                               std::fprintf(stderr, "tamrix-control: could not save the picture to %s\n",
                                            qPrintable(file));
                           host.Quit(false);
                       });
}
CTamrixControlApp::~CTamrixControlApp() = default;

void CTamrixControlApp::InstallQuitSignals()
{
    // A signal handler may only write a byte; the window's event loop reads it and quits properly.
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

int CTamrixControlApp::Run(int argc, char** argv)
{
    QApplication::setApplicationName("Tamrix Control");
    QApplication::setOrganizationName("Tamrix Instruments");
    QApplication::setApplicationVersion(kProductVersion);
    QApplication::setDesktopFileName("tamrix-control");

    QCommandLineParser parser;
    parser.setApplicationDescription("Controls laser-diode drivers, TEC controllers and lamp supplies.");
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption screenshot("screenshot", "Save a picture of the window to FILE, then quit.",
                                        "FILE");
    const QCommandLineOption delay("screenshot-delay",
                                   "Milliseconds to run before the picture (default 6000).", "MS", "6000");
    parser.addOption(screenshot);
    parser.addOption(delay);
    if (NamesHelpOrVersion(argc, argv))
        AnswerWithoutDisplay(parser, help, version, argc, argv);

    QApplication app(argc, argv);
    parser.process(app);

    // Numbers on screen follow the user's locale; commands to instruments never do.
    std::setlocale(LC_ALL, "");
    CEventLog::Instance().LoadSettings();
    CEventLog::Instance().LogGeneral(SourcePos{"TamrixControl", 51}, "Event Log Started");
    m_profile = std::make_unique<CIniProfile>();
    m_prompter = std::make_unique<CMessageBoxPrompter>();

    CTamrixControlHost host(SUiContext{*m_profile, *m_prompter});
    host.RestorePanels();
    host.StartDeviceMonitor();
    host.show();

    InstallQuitSignals();
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &host, [&host] { host.Quit(false); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &host,
                     [&host](QSessionManager&) { host.Quit(false); });
    QObject::connect(&host, &CTamrixControlHost::quitFinished, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    if (parser.isSet(screenshot))
        ScheduleScreenshot(host, parser.value(screenshot), parser.value(delay).toInt());
    return app.exec();
}
