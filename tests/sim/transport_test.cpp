// The transports over real pseudo-terminals and loopback sockets.
#include "SimInstrument.h"

#include <arpa/inet.h>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace
{
// Reads until a line end arrives or the deadline passes; returns what arrived.
std::string ReadLine(int fd, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string text;
    while (text.find('\n') == std::string::npos)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd in{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&in, 1, static_cast<int>(left.count())) <= 0 || !(in.revents & POLLIN))
            break;
        char buffer[256];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0)
            break;
        text.append(buffer, static_cast<size_t>(count));
    }
    return text;
}

void Send(int fd, const std::string& text)
{
    ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

struct SFd
{
    int fd = -1;
    explicit SFd(int value) : fd(value) {}
    ~SFd()
    {
        if (fd >= 0)
            close(fd);
    }
};

int OpenTerminal(const std::string& path, speed_t speed)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    termios settings{};
    tcgetattr(fd, &settings);
    cfmakeraw(&settings);
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);
    tcsetattr(fd, TCSANOW, &settings);
    return fd;
}

void SetSpeed(int fd, speed_t speed)
{
    termios settings{};
    tcgetattr(fd, &settings);
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);
    tcsetattr(fd, TCSANOW, &settings);
}

struct SBaudRow
{
    int unitBaud;
    speed_t right;
    speed_t wrong;
};

class SimPtyBaud : public ::testing::TestWithParam<SBaudRow>
{
};

TEST_P(SimPtyBaud, SilentAtTheWrongRateAnswersAtTheRightOne)
{
    auto sim = CSimInstrument::Create("K760");
    sim->SetBaud(GetParam().unitBaud);
    std::string error;
    ASSERT_TRUE(sim->StartPty("", error)) << error;
    SFd port(OpenTerminal(sim->PtyPath(), GetParam().wrong));
    ASSERT_GE(port.fd, 0);

    Send(port.fd, "*IDN?\n");
    EXPECT_EQ(ReadLine(port.fd, 300ms), "");
    EXPECT_EQ(sim->Log().Count(), 0u); // the unit heard only noise

    SetSpeed(port.fd, GetParam().right);
    Send(port.fd, "*IDN?\n");
    EXPECT_EQ(ReadLine(port.fd, 2000ms), "Tamrix Instruments,K760,76042,v2.4.21\r\n");
    EXPECT_EQ(sim->Log().WaitForText("*IDN?", 1000ms), 0);
}

INSTANTIATE_TEST_SUITE_P(Rates, SimPtyBaud,
                         ::testing::Values(SBaudRow{38400, B38400, B9600}, SBaudRow{9600, B9600, B38400}));

TEST(SimPty, LinkFollowsTheTerminalAndUnplugHangsUp)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("tamrix-sim-" + std::to_string(getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    const std::string link = (dir / "ttyK760").string();
    auto sim = CSimInstrument::Create("K760");
    std::string error;
    ASSERT_TRUE(sim->StartPty(link, error)) << error;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim->PtyPath());

    {
        SFd port(OpenTerminal(link, B38400));
        Send(port.fd, "SN?\n");
        EXPECT_EQ(ReadLine(port.fd, 2000ms), "76042\r\n");

        ASSERT_TRUE(sim->Unplug());
        EXPECT_EQ(sim->PtyPath(), "");
        pollfd in{port.fd, POLLIN, 0};
        ASSERT_EQ(poll(&in, 1, 2000), 1);
        EXPECT_TRUE(in.revents & (POLLHUP | POLLERR));
    }

    ASSERT_TRUE(sim->Replug(error)) << error;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim->PtyPath());
    SFd again(OpenTerminal(link, B38400));
    Send(again.fd, "MODEL?\n");
    EXPECT_EQ(ReadLine(again.fd, 2000ms), "K760\r\n");

    sim->Stop();
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    std::filesystem::remove_all(dir);
}

TEST(SimPty, RefusesToReplaceAFileWithItsLink)
{
    char name[] = "/tmp/tamrix-sim-fileXXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    auto sim = CSimInstrument::Create("K760");
    std::string error;
    EXPECT_FALSE(sim->StartPty(name, error));
    EXPECT_NE(error.find(name), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_regular_file(name));
    unlink(name);
}

int Connect(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    {
        close(fd);
        return -1;
    }
    return fd;
}

TEST(SimTcp, OneClientAtATimeLaterOnesWait)
{
    auto sim = CSimInstrument::Create("M609");
    std::string error;
    ASSERT_TRUE(sim->StartTcp("127.0.0.1", 0, error)) << error;
    ASSERT_GT(sim->TcpPort(), 0);

    auto first = std::make_unique<SFd>(Connect(sim->TcpPort()));
    Send(first->fd, "TEC:CHAN 3\nTEC:CHAN?\n");
    EXPECT_EQ(ReadLine(first->fd, 2000ms), "3\r\n");

    SFd second(Connect(sim->TcpPort())); // accepted by the kernel, not yet by the unit
    ASSERT_GE(second.fd, 0);
    Send(second.fd, "SN?\n");
    EXPECT_EQ(ReadLine(second.fd, 300ms), "");

    first.reset();
    EXPECT_EQ(ReadLine(second.fd, 2000ms), "60912\r\n");
    Send(second.fd, ":TEC:CHAN?\n"); // the unit's selection outlives the connection
    EXPECT_EQ(ReadLine(second.fd, 2000ms), "3\r\n");
}

TEST(SimTcp, DroppedConnectionEndsTheClientAndTheNextIsServed)
{
    auto sim = CSimInstrument::Create("X510");
    sim->SetWireTiming(true); // paced replies arrive whole
    std::string error;
    ASSERT_TRUE(sim->StartTcp("127.0.0.1", 0, error)) << error;
    SFd client(Connect(sim->TcpPort()));
    Send(client.fd, "*IDN?;*IDN?;*IDN?\n");
    EXPECT_EQ(ReadLine(client.fd, 2000ms),
              "Tamrix Instruments,X510,51009,v3.1.0,Tamrix Instruments,X510,51009,"
              "v3.1.0,Tamrix Instruments,X510,51009,v3.1.0\r\n");

    sim->DropConnection();
    pollfd in{client.fd, POLLIN, 0};
    ASSERT_EQ(poll(&in, 1, 2000), 1);
    char byte;
    EXPECT_LE(recv(client.fd, &byte, 1, 0), 0);

    SFd next(Connect(sim->TcpPort()));
    Send(next.fd, "SN?\n");
    EXPECT_EQ(ReadLine(next.fd, 2000ms), "51009\r\n");
}

TEST(SimTcp, BusyPortIsReportedNotFatal)
{
    auto first = CSimInstrument::Create("K760");
    auto second = CSimInstrument::Create("K760");
    std::string error;
    ASSERT_TRUE(first->StartTcp("127.0.0.1", 0, error)) << error;
    EXPECT_FALSE(second->StartTcp("127.0.0.1", first->TcpPort(), error));
    EXPECT_NE(error.find(std::to_string(first->TcpPort())), std::string::npos);
    EXPECT_FALSE(second->StartTcp("localhost", 0, error)); // addresses only, no name look-ups
}
} // namespace
