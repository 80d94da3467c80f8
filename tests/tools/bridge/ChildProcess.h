#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// A program run beside the test (a broker, the bridge): its output goes to a file; it is ended by
// signal, and killed when the test forgets to.
class CChildProcess
{
public:
    CChildProcess() = default;
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Runs argv[0] with the test's environment plus the given "NAME=value" entries (replacing those
    // names); both outputs go to logPath.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               const std::string& logPath);
    // Sends the signal and waits up to timeoutMs for the end; the exit status, or -1 when it did not
    // end (it is then killed).
    int Stop(int signal, int timeoutMs = 10000);
    // Waits for the end on its own; the exit status, or -1 when it is still running (then killed).
    int Wait(int timeoutMs);
    bool IsRunning();
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
};
