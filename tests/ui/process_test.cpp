// The built tamrix-control as a child process: a stop signal while a TEC panel polls a simulated unit
// ends the program cleanly (exit 0, "LOCAL" to the unit, the panel list written), and --help and
// --version answer without a window, even where there is no display; a settings file whose lock another
// process holds leaves the program running read-only. Each case gives the program a settings folder of
// its own.
#include "SimInstrument.h"
#include "UiTestEnvironment.h"
#include "comm/PortRegistry.h"
#include "diag/IniProfile.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <unistd.h>

namespace
{
CUiTestEnvironment environment; // this program's own settings stay apart from the user's too
constexpr int Port = 231;
constexpr int StartDeadlineMs = 20000; // auto-connect on the first tick, then detection and connect
constexpr int ExitDeadlineMs = 10000;
// A line of the TEC panel's poll cycle (the connect itself never asks for the current).
constexpr const char* PollLine = ":TEC:CHAN?;ITE?";
} // namespace

class ProcessTest : public QObject
{
    Q_OBJECT

private slots:
    void stopSignalEndsTheProgramCleanly_data();
    void stopSignalEndsTheProgramCleanly();
    void helpAndVersionNeedNoDisplay_data();
    void helpAndVersionNeedNoDisplay();
    void heldSettingsLockLeavesTheProgramRunning_data();
    void heldSettingsLockLeavesTheProgramRunning();

private:
    static std::string ProfilePath(const QTemporaryDir& dir);
    static void StartProgram(QProcess& program, const QTemporaryDir& dir, const QStringList& arguments,
                             bool display = true);
    static QString Diagnostics(QProcess& program, CSimInstrument& sim);
};

std::string ProcessTest::ProfilePath(const QTemporaryDir& dir)
{
    return dir.filePath("Tamrix Instruments/Tamrix Control.ini").toStdString();
}

void ProcessTest::StartProgram(QProcess& program, const QTemporaryDir& dir, const QStringList& arguments,
                               bool display)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Without a display: the platform a desktop session would use, with nothing to connect to.
    environment.insert("QT_QPA_PLATFORM", display ? "offscreen" : "xcb");
    if (!display)
    {
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
    }
    environment.insert("XDG_CONFIG_HOME", dir.path());
    environment.insert("XDG_STATE_HOME", dir.path());
    environment.insert("XDG_RUNTIME_DIR", dir.path());
    program.setProcessEnvironment(environment);
    program.start(TAMRIX_CONTROL_EXE, arguments);
}

QString ProcessTest::Diagnostics(QProcess& program, CSimInstrument& sim)
{
    QString text = "program's error output:\n" + QString::fromLocal8Bit(program.readAllStandardError());
    text += "\nlines the unit received:\n";
    for (const std::string& line : sim.Log().Lines())
        text += QString::fromStdString(line) + "\n";
    return text;
}

void ProcessTest::stopSignalEndsTheProgramCleanly_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
}

void ProcessTest::stopSignalEndsTheProgramCleanly()
{
    QFETCH(int, signal);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    auto sim = CSimInstrument::Create("K760");
    std::string error;
    QVERIFY2(sim && sim->StartPty("", error), error.c_str());
    {
        // A stored list with a trailing comma: the program writes it back as it lays the panels out.
        CIniProfile profile(ProfilePath(dir));
        QVERIFY(profile.WriteString("Settings", "Panels", "2,"));
        QVERIFY(profile.WriteInt("Panel0-2", "AutoConnect", 1));
        QVERIFY(profile.WriteString("Panel0-2", "Connection", "COM:" + std::to_string(Port) + ":0"));
        QVERIFY(CPortRegistry(profile).Register(Port, sim->PtyPath(), true));
    }

    QProcess program;
    StartProgram(program, dir, {});
    QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));
    const long polled = sim->Log().WaitForText(PollLine, std::chrono::milliseconds(StartDeadlineMs));
    QVERIFY2(polled >= 0, qPrintable(Diagnostics(program, *sim)));

    QCOMPARE(::kill(static_cast<pid_t>(program.processId()), signal), 0);
    QVERIFY2(program.waitForFinished(ExitDeadlineMs), qPrintable(Diagnostics(program, *sim)));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY2(program.exitCode() == 0, qPrintable(Diagnostics(program, *sim)));
    // The unit is handed back to its front panel; the sim's reader may still be taking the line in.
    QVERIFY2(sim->Log().WaitForText("LOCAL", std::chrono::milliseconds(5000), static_cast<size_t>(polled)) >=
                 0,
             qPrintable(Diagnostics(program, *sim)));

    const CIniProfile profile(ProfilePath(dir));
    QCOMPARE(profile.GetString("Settings", "Panels"), std::string("2"));
    QVERIFY(profile.GetInt("Settings", "X", -1) != -1);
    QCOMPARE(profile.GetInt("Panel0-2", "AutoConnect", 0), 1);
    QCOMPARE(profile.GetString("Panel0-2", "Connection"), "COM:" + std::to_string(Port) + ":0");
}

void ProcessTest::helpAndVersionNeedNoDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("--version") << QStringList{"--version"} << "2.4.1";
    QTest::newRow("--help") << QStringList{"--help"} << "--screenshot-delay <MS>";
    QTest::newRow("-h after another option") << QStringList{"--screenshot-delay", "10", "-h"} << "--version";
}

void ProcessTest::helpAndVersionNeedNoDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcess program;
    StartProgram(program, dir, arguments, false);
    QVERIFY2(program.waitForFinished(ExitDeadlineMs), qPrintable(program.errorString()));
    const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY2(program.exitCode() == 0, qPrintable(errors));
    const QString output = QString::fromLocal8Bit(program.readAllStandardOutput());
    QVERIFY2(output.contains(expected), qPrintable(output));
}

void ProcessTest::heldSettingsLockLeavesTheProgramRunning_data()
{
    QTest::addColumn<bool>("freedBeforeQuit");
    QTest::newRow("freed before the quit") << true;
    QTest::newRow("held to the end") << false;
}

void ProcessTest::heldSettingsLockLeavesTheProgramRunning()
{
    QFETCH(bool, freedBeforeQuit);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = ProfilePath(dir);
    QVERIFY(CIniProfile(path).WriteString("Settings", "Panels", "2,"));
    // Another program of the user stopped while it saved.
    int holder = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    QVERIFY(holder >= 0);
    QCOMPARE(flock(holder, LOCK_EX | LOCK_NB), 0);

    QProcess program;
    StartProgram(program, dir, {});
    QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));
    QString errors;
    const auto said = [&](const QString& text)
    {
        errors += QString::fromLocal8Bit(program.readAllStandardError());
        return errors.contains(text);
    };
    QTRY_VERIFY2_WITH_TIMEOUT(said(QString::fromStdString(path + ".lock\" is held by another process")),
                              qPrintable(errors), StartDeadlineMs);
    QCOMPARE(program.state(), QProcess::Running);
    if (freedBeforeQuit)
    {
        close(holder);
        holder = -1;
    }

    QCOMPARE(::kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
    QVERIFY2(program.waitForFinished(ExitDeadlineMs), qPrintable(errors));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    said({});
    QVERIFY2(program.exitCode() == 0, qPrintable(errors));
    QCOMPARE(said("the latest changes to the settings are lost"), !freedBeforeQuit);
    QCOMPARE(CIniProfile(path).GetString("Settings", "Panels"), std::string(freedBeforeQuit ? "2" : "2,"));
    if (holder >= 0)
        close(holder);
}

QTEST_GUILESS_MAIN(ProcessTest)
#include "process_test.moc"
