#pragma once

#include <memory>

class CIniProfile;
class CMessageBoxPrompter;
class CTamrixControlHost;
class QApplication;
class QString;

// The program: start-up in its order (the user's locale, the event log and its first entry, the
// settings store, the host window), the run of the window, and a quit on SIGTERM/SIGINT or the end of
// the desktop session that saves every panel and disconnects every instrument without asking.
class CTamrixControlApp
{
public:
    CTamrixControlApp();
    ~CTamrixControlApp();

    // The process's exit code. --help and --version are answered without opening a window.
    int Run(int argc, char** argv);

private:
    static void InstallQuitSignals();
    static void ScheduleScreenshot(CTamrixControlHost& host, const QString& file, int delayMs);

    std::unique_ptr<CIniProfile> m_profile;
    std::unique_ptr<CMessageBoxPrompter> m_prompter;
};
