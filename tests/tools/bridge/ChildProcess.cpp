#include "ChildProcess.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace
{
std::string NameOf(const std::string& entry)
{
    return entry.substr(0, entry.find('='));
}

std::vector<char*> Pointers(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}
} // namespace

CChildProcess::~CChildProcess()
{
    if (m_pid > 0)
        Stop(SIGKILL);
}

bool CChildProcess::Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                          const std::string& logPath)
{
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry)
    {
        bool replaced = false;
        for (const std::string& given : environment)
            replaced = replaced || NameOf(given) == NameOf(*entry);
        if (!replaced)
            env.emplace_back(*entry);
    }
    env.insert(env.end(), environment.begin(), environment.end());
    std::vector<std::string> args = argv;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    // Nothing of the test (a simulator's terminal, the watcher's socket) may live on in the child.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // The test blocks no signals the child needs, but the child must not inherit a blocked set.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    // A session of its own: no terminal of the test's (a simulator's pseudo-terminal) can hang it up.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const int result = posix_spawn(&m_pid, args[0].c_str(), &actions, &attributes, Pointers(args).data(),
                                   Pointers(env).data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (result != 0)
        m_pid = -1;
    return result == 0;
}

int CChildProcess::Stop(int signal, int timeoutMs)
{
    if (m_pid <= 0)
        return -1;
    kill(m_pid, signal);
    return Wait(timeoutMs);
}

int CChildProcess::Wait(int timeoutMs)
{
    if (m_pid <= 0)
        return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    // waitpid has no time-out; a child that has not ended is asked again after a short pause.
    while (waitpid(m_pid, &status, WNOHANG) == 0)
    {
        if (std::chrono::steady_clock::now() >= deadline)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
            m_pid = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool CChildProcess::IsRunning()
{
    // Only asks: a child that has ended stays a zombie until Wait or Stop collects it.
    siginfo_t info{};
    return m_pid > 0 && waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}
