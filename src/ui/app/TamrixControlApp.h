#pragma once

#include <memory>
#include <string>

class CIniProfile;
class CMessageBoxPrompter;
class CTamrixControlHost;
class QApplication;
class QString;
class QWidget;

// The program: start-up in its order (the user's locale, the event log and its first entry, the
// settings store, the host window), the run of the window, and a quit on SIGTERM/SIGINT or the end of
// the desktop session that saves every panel and disconnects every instrument without asking. A
// settings file locked by another process is waited for a few seconds at the start; the program then
// runs with what it read and saves its changes once the file is free, or says at the end that it
// could not.
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
    static void WarnProfileLocked(QWidget& host, const std::string& path);
    // Changes kept while the settings file was locked: saved at the end, or said to be lost.
    void SaveKeptChanges();

    CIniProfile* m_profile = nullptr; // the process-wide store, shared with the port registry
    std::unique_ptr<CMessageBoxPrompter> m_prompter;
};
