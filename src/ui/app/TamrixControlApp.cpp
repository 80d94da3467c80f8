#include "ui/app/TamrixControlApp.h"

#include "comm/PortRegistry.h"
#include "diag/EventLog.h"
#include "diag/IniProfile.h"
#include "diag/Version.h"
#include "instrument/session/WaitWatch.h"
#include "ui/app/MessageBoxPrompter.h"
#include "ui/app/TamrixControlHost.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>
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
// While another process holds the settings file, changes wait in memory; this often they try again.
constexpr int PendingSaveIntervalMs = 2000;
// A write from the window waits no longer than this for another process that is saving.
constexpr std::chrono::milliseconds RunningLockWait(250);
} // namespace

CTamrixControlApp::CTamrixControlApp() = default;

// Said beside the window rather than in a modal box, so that the window (and a stop signal) is not
// held up by it.
void CTamrixControlApp::WarnProfileLocked(QWidget& host, const std::string& path)
{
    auto* box = new QMessageBox(QMessageBox::Warning, "Tamrix Control",
                                QString("The settings file \"%1\" is locked by another program.\n\n"
                                        "Tamrix Control runs on with the settings it has read; changes are "
                                        "kept and saved as soon as the file is free again.")
                                    .arg(QString::fromStdString(path)),
                                QMessageBox::Ok, &host);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void CTamrixControlApp::SaveKeptChanges()
{
    if (!m_profile->SavePending(CIniProfile::DefaultLockWait))
        std::fprintf(stderr,
                     "tamrix-control: the settings file \"%s\" is still locked; the latest "
                     "changes to the settings are lost\n",
                     m_profile->Path().c_str());
}

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
    CWaitWatch::ForbidWaitsOnThisThread();
    parser.process(app);
    // Early, so that a stop signal during a slow start is kept for the event loop instead of killing
    // the program unsaved.
    InstallQuitSignals();

    // Numbers on screen follow the user's locale; commands to instruments never do.
    std::setlocale(LC_ALL, "");
    CEventLog::Instance().LoadSettings();
    CEventLog::Instance().LogGeneral(SourcePos{"TamrixControl", 51}, "Event Log Started");
    m_profile = &CPortRegistry::DefaultStore();
    // A settings file locked by a program that stopped while saving makes this one read-only for a
    // while: it starts all the same and saves once the file is free.
    m_profile->KeepChangesWhileLocked(true);
    const bool profileFree = m_profile->ProbeLock();
    m_profile->SetLockWait(RunningLockWait);
    m_prompter = std::make_unique<CMessageBoxPrompter>();

    CTamrixControlHost host(SUiContext{*m_profile, *m_prompter});
    host.RestorePanels();
    host.StartDeviceMonitor();
    host.StartPortWatch();
    host.show();
    if (!profileFree)
        WarnProfileLocked(host, m_profile->Path());
    QTimer pendingSaver;
    QObject::connect(&pendingSaver, &QTimer::timeout, &host,
                     [this] { m_profile->SavePending(std::chrono::milliseconds(0)); });
    pendingSaver.start(PendingSaveIntervalMs);

    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &host, [&host] { host.Quit(false); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &host,
                     [&host](QSessionManager&) { host.Quit(false); });
    QObject::connect(&host, &CTamrixControlHost::quitFinished, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    if (parser.isSet(screenshot))
        ScheduleScreenshot(host, parser.value(screenshot), parser.value(delay).toInt());
    const int code = app.exec();
    SaveKeptChanges();
    return code;
}
