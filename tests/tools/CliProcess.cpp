#include "CliProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
std::vector<std::string> Environment(const std::string& configHome)
{
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry)
    {
        if (std::string(*entry).rfind("XDG_CONFIG_HOME=", 0) != 0)
            env.emplace_back(*entry);
    }
    env.push_back("XDG_CONFIG_HOME=" + configHome);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Reads both pipes until they close or the deadline passes; false on the deadline.
bool Drain(int outFd, int errFd, SCliRun& run, std::chrono::steady_clock::time_point deadline)
{
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open = 2;
    while (open > 0)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        if (poll(fds, 2, static_cast<int>(left.count())) < 0 && errno != EINTR)
            return false;
        for (int index = 0; index < 2; ++index)
        {
            if (fds[index].fd < 0 || fds[index].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t count = read(fds[index].fd, buffer, sizeof buffer);
            if (count > 0)
                sinks[index]->append(buffer, static_cast<size_t>(count));
            else if (count == 0 || errno != EINTR)
            {
                fds[index].fd = -1;
                --open;
            }
        }
    }
    return true;
}
} // namespace

SCliRun RunCliProcess(const std::vector<std::string>& args, const std::string& configHome, int timeoutMs)
{
    SCliRun run;
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        return run;
    std::vector<std::string> argv{TAMRIX_CLI_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = Environment(configHome);
    std::vector<char*> argPointers = Pointers(argv);
    std::vector<char*> envPointers = Pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, argPointers.data(), envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    const bool finished =
        spawned == 0 && Drain(outPipe[0], errPipe[0], run,
                              std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs));
    close(outPipe[0]);
    close(errPipe[0]);
    if (spawned != 0)
        return run;
    if (!finished)
        kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (finished && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    return run;
}
