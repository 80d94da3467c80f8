#include "comm/PortResolver.h"
#include "comm/SerialRS232.h"
#include "support/CaptureSink.h"
#include "support/Eventually.h"
#include "support/PtyPair.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
constexpr int WaitMs = 2000;

class SerialRS232Baud : public testing::TestWithParam<std::pair<int, int>>
{
};

TEST_P(SerialRS232Baud, SetsTheLineSpeed)
{
    const auto [requested, expected] = GetParam();
    PtyPair pty;
    ASSERT_TRUE(pty.SetSlaveBaud(1200));
    CSerialRS232 channel;
    ASSERT_TRUE(channel.OpenPortByName(pty.SlavePath(), requested));
    EXPECT_EQ(pty.SlaveBaud(), expected);
    EXPECT_EQ(channel.GetType(), CSerialBase::SerialChannel);
}

INSTANTIATE_TEST_SUITE_P(Rates, SerialRS232Baud,
                         testing::Values(std::pair{0, 38400}, std::pair{9600, 9600},
                                         std::pair{115200, 115200}));

TEST(SerialRS232, OpenIsExclusiveAndIdempotent)
{
    PtyPair pty;
    CSerialRS232 channel;
    ASSERT_TRUE(channel.OpenPortByName(pty.SlavePath(), 9600));
    // Opening again keeps the first settings.
    EXPECT_TRUE(channel.OpenPortByName(pty.SlavePath(), 38400));
    EXPECT_EQ(pty.SlaveBaud(), 9600);

    CSerialRS232 other;
    EXPECT_FALSE(other.OpenPortByName(pty.SlavePath(), 9600)) << "port in use must not open twice";
    channel.Close();
    EXPECT_TRUE(other.OpenPortByName(pty.SlavePath(), 9600));
}

TEST(SerialRS232, RefusesMissingDevicesAndUnsupportedRates)
{
    CSerialRS232 channel;
    EXPECT_FALSE(channel.OpenPortByName("/dev/no-such-serial-device", 9600));
    PtyPair pty;
    EXPECT_FALSE(channel.OpenPortByName(pty.SlavePath(), 12345));
    EXPECT_FALSE(channel.IsOpen());
}

TEST(SerialRS232, OpenPortResolvesRegisteredNumbersOnly)
{
    PtyPair pty;
    ASSERT_TRUE(CPortResolver::Register(41, pty.SlavePath()));
    CSerialRS232 channel;
    for (const int number : {0, 256, -1, 42})
        EXPECT_FALSE(channel.OpenPort(number, 9600)) << number;
    EXPECT_EQ(channel.GetPortNumber(), 0);

    ASSERT_TRUE(channel.OpenPort(41, 9600));
    EXPECT_EQ(channel.GetPortNumber(), 41);
    channel.Close();
    EXPECT_EQ(channel.GetPortNumber(), 0);
    CPortResolver::Unregister(41);
    EXPECT_FALSE(channel.OpenPort(41, 9600));
}

struct FramingRow
{
    std::string incoming;
    bool lineFeedEndsLine;
    std::vector<std::string> lines;
};

class SerialRS232Framing : public testing::TestWithParam<FramingRow>
{
};

TEST_P(SerialRS232Framing, CutsRepliesIntoLines)
{
    const FramingRow& row = GetParam();
    PtyPair pty;
    CSerialRS232 channel;
    ASSERT_TRUE(channel.OpenPortByName(pty.SlavePath(), 9600));
    channel.SetLineFeedEndsLine(row.lineFeedEndsLine);
    ASSERT_TRUE(pty.Write(row.incoming, WaitMs));
    for (const std::string& expected : row.lines)
        EXPECT_EQ(channel.ReadLine(WaitMs), expected);
    EXPECT_EQ(channel.BytesAvailable(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SerialRS232Framing,
    testing::Values(FramingRow{"1.234\r\n5\r", false, {"1.234", "5"}},
                    FramingRow{"1.234\r\n5\r", true, {"1.234", "", "5"}},
                    FramingRow{"abc\ndef\n", true, {"abc", "def"}},
                    FramingRow{"a\nb\rc\r", false, {"ab", "c"}},
                    FramingRow{std::string("x\0y\r", 4), false, {std::string("x\0y", 3)}}),
    [](const testing::TestParamInfo<FramingRow>& info) { return "Row" + std::to_string(info.index); });

TEST(SerialRS232, TimeOutReturnsThePartialLine)
{
    PtyPair pty;
    CSerialRS232 channel;
    ASSERT_TRUE(channel.OpenPortByName(pty.SlavePath(), 9600));
    ASSERT_TRUE(pty.Write("12.3", WaitMs));

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(channel.ReadLine(200), "12.3");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));

    // A zero time-out takes only what is already queued.
    EXPECT_EQ(channel.ReadLine(0), "");
    ASSERT_TRUE(pty.Write("45", WaitMs));
    ASSERT_TRUE(Eventually([&] { return channel.BytesAvailable() == 2; }));
    EXPECT_EQ(channel.ReadLine(0), "45");
}

TEST(SerialRS232, WritesBytesInOrder)
{
    PtyPair pty;
    CSerialRS232 channel;
    ASSERT_TRUE(channel.OpenPortByName(pty.SlavePath(), 9600));
    const std::string command = "TEC:T 25.000\n";
    EXPECT_EQ(channel.WriteString(command), static_cast<int>(command.size()));
    EXPECT_EQ(pty.ReadUntil('\n', WaitMs), command);
    EXPECT_TRUE(channel.WriteByte('!'));
    EXPECT_EQ(pty.ReadCount(1, WaitMs), "!");
}

TEST(SerialRS232, UnpluggedDeviceClosesTheChannel)
{
    PtyPair pty;
    CSerialRS232 channel;
    ASSERT_TRUE(channel.OpenPortByName(pty.SlavePath(), 9600));
    CaptureSink trace;
    pty.CloseMaster();

    EXPECT_EQ(channel.ReadLine(100), "");
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_TRUE(trace.Contains("COM port closed."));
    EXPECT_EQ(channel.Write("x\n", 2), 0);
    EXPECT_EQ(channel.BytesAvailable(), 0);
}

TEST(SerialRS232, TracesOpenCommandResponseAndClose)
{
    PtyPair pty;
    CaptureSink trace;
    CSerialRS232 channel;
    EXPECT_EQ(channel.Write("x\n", 2), 0) << "a closed channel writes nothing";
    EXPECT_TRUE(trace.Lines().empty());

    ASSERT_TRUE(channel.OpenPortByName(pty.SlavePath(), 0));
    ASSERT_TRUE(pty.Write("K760 1.2\r", WaitMs));
    EXPECT_EQ(channel.Query("*IDN?\n", WaitMs), "K760 1.2");
    EXPECT_EQ(pty.ReadUntil('\n', WaitMs), "*IDN?\n");
    channel.Close();

    const std::vector<std::string> expected = {"COM port " + pty.SlavePath() + " opened at 38400 baud.",
                                               "Command: *IDN?", "Response: K760 1.2", "COM port closed."};
    EXPECT_EQ(trace.Lines(), expected);
}

// A device that stops taking bytes: the terminal's queue toward it is filled with empty lines through
// a second descriptor, so the channel's next write stalls until the test reads the queue empty.
class StalledDevice
{
public:
    explicit StalledDevice(PtyPair& pty) : m_pty(pty)
    {
        m_filler = ::open(pty.SlavePath().c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
        // One-byte lines, so that a partial write never leaves half a line in front of the command.
        // The terminal moves queued bytes on in the background: full is when no room comes back.
        const std::string lines(4096, '\n');
        while (m_filler >= 0)
        {
            if (::write(m_filler, lines.data(), lines.size()) > 0)
                continue;
            pollfd p{m_filler, POLLOUT, 0};
            if (::poll(&p, 1, 100) == 0)
                break;
        }
    }
    ~StalledDevice()
    {
        if (m_filler >= 0)
            ::close(m_filler);
    }
    bool IsFull() const { return m_filler >= 0; }

    // Reads what the device was sent, skipping the empty lines, until a non-empty line came whole
    // or the deadline passed.
    std::string NextLine(int timeoutMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::string line;
        while (std::chrono::steady_clock::now() < deadline)
        {
            char chunk[4096];
            const ssize_t count = ::read(m_pty.MasterFd(), chunk, sizeof chunk);
            if (count <= 0)
            {
                pollfd p{m_pty.MasterFd(), POLLIN, 0};
                ::poll(&p, 1, 10);
                continue;
            }
            for (ssize_t i = 0; i < count; ++i)
            {
                if (chunk[i] != '\n')
                    line += chunk[i];
                else if (!line.empty())
                    return line; // the rest of this chunk is not needed by the callers
            }
        }
        return line;
    }

private:
    PtyPair& m_pty;
    int m_filler = -1;
};

// A device that pauses for longer than one byte's time-out still gets the whole line, and nothing
// of it is glued to the next command.
TEST(SerialRS232, StalledWriteSendsTheWholeLineWhenTheDeviceResumes)
{
    PtyPair pty;
    CSerialRS232 channel;
    ASSERT_TRUE(channel.OpenPortByName(pty.SlavePath(), 38400));
    StalledDevice device(pty);
    ASSERT_TRUE(device.IsFull());
    CaptureSink trace(ccComm, 1);

    int written = -1;
    std::thread writer([&] { written = channel.WriteString("TEC:T 25.000\n"); });
    // The first byte's time-out has passed; the device resumes within the next one.
    EXPECT_TRUE(Eventually([&] { return trace.Count("COM port write stalled", true) > 0; }, 3000));
    EXPECT_EQ(device.NextLine(WaitMs), "TEC:T 25.000");
    writer.join();
    EXPECT_EQ(written, 13);
    EXPECT_EQ(channel.WriteString("TEC:OUT 1\n"), 10);
    EXPECT_EQ(device.NextLine(WaitMs), "TEC:OUT 1");
}

// A device that takes nothing for two time-outs running: the write gives up and drops what is queued,
// so a fragment never reaches the device in front of a later command.
TEST(SerialRS232, WedgedDeviceGetsNoFragmentLater)
{
    PtyPair pty;
    CSerialRS232 channel;
    ASSERT_TRUE(channel.OpenPortByName(pty.SlavePath(), 38400));
    StalledDevice device(pty);
    ASSERT_TRUE(device.IsFull());
    EXPECT_LT(channel.WriteString("TEC:T 25.000\n"), 13);
    EXPECT_TRUE(channel.IsOpen());
    EXPECT_EQ(channel.WriteString("TEC:OUT 1\n"), 10);
    const std::string line = device.NextLine(WaitMs);
    EXPECT_EQ(line.find("TEC:T"), std::string::npos) << line;
}
} // namespace
