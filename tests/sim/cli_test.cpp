// tamrix-sim's command line: option parsing in-process, and the built executable end to end.
#include "SimOptions.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
struct SBadRow
{
    std::vector<std::string> args;
    std::string mentions; // the message names what was wrong
};

class SimOptionsBad : public ::testing::TestWithParam<SBadRow>
{
};

TEST_P(SimOptionsBad, RefusedWithAClearMessage)
{
    SSimOptions options;
    std::string error;
    EXPECT_FALSE(ParseSimOptions(GetParam().args, options, error));
    EXPECT_NE(error.find(GetParam().mentions), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SimOptionsBad,
    ::testing::Values(SBadRow{{"--bogus"}, "--bogus"}, SBadRow{{"--baud", "4800"}, "38400 or 9600"},
                      SBadRow{{"--tcp", "70000"}, "--tcp"}, SBadRow{{"--drop-every"}, "needs a value"},
                      SBadRow{{"--drop-every", "0"}, "--drop-every"},
                      SBadRow{{"--time-scale", "0"}, "above 0"}, SBadRow{{"--time-scale", "1,5"}, "1,5"},
                      SBadRow{{"--fitted", "XYZ:1"}, "FAMILY:LIST"},
                      SBadRow{{"--fitted", "TEC:9"}, "FAMILY:LIST"}, SBadRow{{"--echo=1"}, "takes no value"},
                      SBadRow{{"--error", "abc"}, "whole number"},
                      SBadRow{{"--sensor-open", "9"}, "from 1 to 8"},
                      SBadRow{{"--unplug-after", "0"}, "--unplug-after"}));

TEST(SimOptions, OptionalValuesAndDefaults)
{
    SSimOptions o;
    std::string error;
    ASSERT_TRUE(ParseSimOptions({}, o, error));
    EXPECT_TRUE(o.pty && o.tcp); // nothing asked: both transports
    EXPECT_EQ(o.tcpPort, 10001);
    EXPECT_EQ(o.bind, "127.0.0.1");

    ASSERT_TRUE(ParseSimOptions({"--pty", "--tcp", "--error", "401", "--error=402", "--fitted", "las:1,3"}, o,
                                error));
    EXPECT_TRUE(o.pty && o.ptyLink.empty() && o.tcp && o.tcpPort == 10001);
    EXPECT_EQ(o.errors, (std::vector<int>{401, 402}));
    EXPECT_EQ(o.fitted.at(0), (std::pair<std::string, unsigned>{"LAS", 0x5}));

    ASSERT_TRUE(ParseSimOptions(
        {"--sensor-open", "1", "--sensor-short=3", "--sensor-open", "2", "--unplug-after", "5"}, o, error));
    EXPECT_EQ(o.sensorOpen, (std::vector<int>{1, 2}));
    EXPECT_EQ(o.sensorShort, (std::vector<int>{3}));
    EXPECT_EQ(o.unplugAfterS, 5);

    ASSERT_TRUE(ParseSimOptions({"--pty", "/tmp/ttyK", "--tcp=0", "--time-scale", "50"}, o, error));
    EXPECT_EQ(o.ptyLink, "/tmp/ttyK");
    EXPECT_EQ(o.tcpPort, 0);
    EXPECT_DOUBLE_EQ(o.timeScale, 50.0);
}

// The executable, run with pipes on its standard output and error.
struct SChild
{
    pid_t pid = -1;
    int out = -1;
    int err = -1;

    explicit SChild(const std::vector<std::string>& args)
    {
        int outPipe[2], errPipe[2];
        if (pipe(outPipe) != 0 || pipe(errPipe) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
        posix_spawn_file_actions_addclose(&actions, outPipe[0]);
        posix_spawn_file_actions_addclose(&actions, errPipe[0]);
        std::vector<std::string> all{TAMRIX_SIM_EXE};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        argv.reserve(all.size() + 1);
        for (std::string& arg : all)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn(&pid, TAMRIX_SIM_EXE, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(outPipe[1]);
        close(errPipe[1]);
        out = outPipe[0];
        err = errPipe[0];
    }

    ~SChild()
    {
        if (pid > 0)
        {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        close(out);
        close(err);
    }

    // Reads from fd until `until` matches or the stream ends or the deadline passes.
    static std::string Read(int fd, const std::regex& until, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::string text;
        while (!std::regex_search(text, until))
        {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd in{fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&in, 1, static_cast<int>(left.count())) <= 0)
                break;
            char buffer[512];
            const ssize_t count = read(fd, buffer, sizeof buffer);
            if (count <= 0)
                break;
            text.append(buffer, static_cast<size_t>(count));
        }
        return text;
    }

    // Waits for the exit (pidfd, so the wait blocks with a deadline); the exit code, or -1.
    int Wait(std::chrono::milliseconds timeout)
    {
        const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
        pollfd done{pidFd, POLLIN, 0};
        const bool ended = pidFd >= 0 && poll(&done, 1, static_cast<int>(timeout.count())) == 1;
        if (pidFd >= 0)
            close(pidFd);
        int status = 0;
        if (!ended || waitpid(pid, &status, 0) != pid)
            return -1;
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST(SimCli, BadOptionExitsWithTwoAndSaysWhy)
{
    SChild child({"--model", "K760", "--delay", "soon"});
    const std::string err = SChild::Read(child.err, std::regex("\n"), std::chrono::milliseconds(5000));
    EXPECT_EQ(child.Wait(std::chrono::milliseconds(5000)), 2);
    EXPECT_NE(err.find("tamrix-sim: option --delay"), std::string::npos) << err;

    SChild unknown({"--model", "Z999"});
    EXPECT_EQ(unknown.Wait(std::chrono::milliseconds(5000)), 2);
}

TEST(SimCli, HelpDescribesEveryOption)
{
    SChild child({"--help"});
    const std::string out =
        SChild::Read(child.out, std::regex("cable would\n"), std::chrono::milliseconds(5000));
    EXPECT_EQ(child.Wait(std::chrono::milliseconds(5000)), 0);
    for (const char* option :
         {"--list-models", "--model",      "--pty",         "--tcp",          "--bind",
          "--baud",        "--serial",     "--time-scale",  "--wire-timing",  "--echo",
          "--silent",      "--drop-every", "--truncate",    "--garble",       "--wrong-channel",
          "--delay",       "--error",      "--sensor-open", "--sensor-short", "--unplug-after"})
        EXPECT_NE(out.find(option), std::string::npos) << option;
}

TEST(SimCli, ServesOnTheReportedPortUntilTerminated)
{
    SChild child(
        {"--model", "M609", "--tcp", "0", "--serial", "X123", "--error", "401", "--fitted", "TEC:2,4"});
    const std::string out =
        SChild::Read(child.out, std::regex("TCP 127\\.0\\.0\\.1:\\d+\n"), std::chrono::milliseconds(5000));
    std::smatch match;
    ASSERT_TRUE(std::regex_search(out, match, std::regex("TCP 127\\.0\\.0\\.1:(\\d+)\n"))) << out;
    EXPECT_EQ(out.find("PTY "), std::string::npos); // only what was asked for

    const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(std::stoi(match[1])));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string query = "SN?;ERR?;:TEC:CHAN?\n";
    ASSERT_EQ(send(client, query.data(), query.size(), MSG_NOSIGNAL), static_cast<ssize_t>(query.size()));
    EXPECT_EQ(SChild::Read(client, std::regex("\n"), std::chrono::milliseconds(5000)), "X123,401,2\r\n");
    close(client);

    kill(child.pid, SIGTERM);
    EXPECT_EQ(child.Wait(std::chrono::milliseconds(5000)), 0);
}
TEST(SimCli, SensorFaultAndUnplugFromTheCommandLine)
{
    SChild child({"--model", "K760", "--tcp", "0", "--sensor-open", "1", "--unplug-after", "1"});
    const std::string out =
        SChild::Read(child.out, std::regex("TCP 127\\.0\\.0\\.1:\\d+\n"), std::chrono::milliseconds(5000));
    std::smatch match;
    ASSERT_TRUE(std::regex_search(out, match, std::regex("TCP 127\\.0\\.0\\.1:(\\d+)\n"))) << out;

    const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(std::stoi(match[1])));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // An open sensor keeps the output from coming on.
    const std::string query = "TEC:OUT 1;ERR?\n";
    ASSERT_EQ(send(client, query.data(), query.size(), MSG_NOSIGNAL), static_cast<ssize_t>(query.size()));
    EXPECT_THAT(SChild::Read(client, std::regex("\n"), std::chrono::milliseconds(5000)),
                ::testing::HasSubstr("402"));

    // The unplug drops the client: its next read sees the end of the stream.
    EXPECT_NE(
        SChild::Read(child.out, std::regex("UNPLUGGED\n"), std::chrono::milliseconds(5000)).find("UNPLUGGED"),
        std::string::npos);
    char byte = 0;
    pollfd ready{client, POLLIN, 0};
    ASSERT_EQ(poll(&ready, 1, 5000), 1);
    EXPECT_EQ(recv(client, &byte, 1, 0), 0);
    close(client);

    kill(child.pid, SIGTERM);
    EXPECT_EQ(child.Wait(std::chrono::milliseconds(5000)), 0);
}
} // namespace
