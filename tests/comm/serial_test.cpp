#include "comm/PortResolver.h"
#include "comm/Serial.h"
#include "support/LineResponder.h"
#include "support/LoopbackServer.h"
#include "support/PtyPair.h"

#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace
{
constexpr int WaitMs = 2000;

TEST(CommandPort, WithoutChannelDoesNothing)
{
    CSerial port;
    char buffer[8];
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.GetType(), CSerialBase::NoChannel);
    EXPECT_EQ(port.Read(buffer, sizeof buffer, 0), 0);
    EXPECT_EQ(port.Write("x\n", 2), 0);
    EXPECT_EQ(port.LockedWriteString("x\n"), 0);
    EXPECT_EQ(port.ReadLine(0), "");
    EXPECT_EQ(port.Query("x\n", 0), "");
    EXPECT_FALSE(port.Close());
}

TEST(CommandPort, DescriptorChoosesAndReplacesTheChannel)
{
    PtyPair pty;
    ASSERT_TRUE(CPortResolver::Register(3, pty.SlavePath()));
    LoopbackServer server;
    CSerial port;

    ASSERT_TRUE(port.OpenDescriptor("COM:3:9600"));
    EXPECT_EQ(port.GetType(), CSerialBase::SerialChannel);
    EXPECT_EQ(port.GetPortNumber(), 3);
    EXPECT_EQ(pty.SlaveBaud(), 9600);

    ASSERT_TRUE(port.OpenDescriptor(server.Descriptor()));
    EXPECT_EQ(port.GetType(), CSerialBase::NetworkChannel);
    EXPECT_EQ(port.GetPortNumber(), 0);

    // The serial channel was closed as it was replaced, so the port is free again.
    ASSERT_TRUE(port.OpenPortByName(pty.SlavePath(), 38400));
    EXPECT_EQ(pty.SlaveBaud(), 38400);
    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.GetType(), CSerialBase::SerialChannel) << "the closed channel is kept";

    EXPECT_FALSE(port.OpenDescriptor("COM:256:9600"));
    EXPECT_FALSE(port.IsOpen());
    CPortResolver::Unregister(3);
}

TEST(CommandPort, SelfClosedChannelShowsThroughIsOpen)
{
    PtyPair pty;
    CSerial port;
    ASSERT_TRUE(port.OpenPortByName(pty.SlavePath(), 9600));
    port.SetLineFeedEndsLine(true);
    EXPECT_TRUE(port.GetLineFeedEndsLine());
    pty.CloseMaster();
    port.ReadLine(100);
    EXPECT_FALSE(port.IsOpen());
}

TEST(CommandPort, ConcurrentQueriesEachGetTheirOwnReply)
{
    PtyPair pty;
    LineResponder instrument(pty.MasterFd(),
                             [](const std::string& command) { return "R:" + command + "\r"; });
    CSerial port;
    ASSERT_TRUE(port.OpenPortByName(pty.SlavePath(), 38400));

    constexpr int Rounds = 40;
    const auto client = [&port](char name)
    {
        int mismatches = 0;
        for (int round = 0; round < Rounds; ++round)
        {
            const std::string command = std::string(1, name) + std::to_string(round) + "?;STATUS?";
            if (port.Query(command + "\n", WaitMs) != "R:" + command)
                ++mismatches;
        }
        return mismatches;
    };
    auto first = std::async(std::launch::async, client, 'A');
    auto second = std::async(std::launch::async, client, 'B');
    EXPECT_EQ(first.get(), 0);
    EXPECT_EQ(second.get(), 0);
    EXPECT_EQ(instrument.Handled(), 2 * Rounds);
}

TEST(CommandPort, LockIsRecursiveAndReleasedByMatchingUnlocks)
{
    PtyPair pty;
    CSerial port;
    ASSERT_TRUE(port.OpenPortByName(pty.SlavePath(), 9600));

    CSerial::LockHandle outer = port.Lock();
    CSerial::LockHandle inner = port.Lock();
    EXPECT_EQ(port.LockedWrite("A\n", 2), 2) << "locked operations run under a held lock";

    auto other = std::async(std::launch::async,
                            [&port]
                            {
                                CSerial::LockHandle handle = port.Lock();
                                const int written = port.LockedWriteString("B\n");
                                port.Unlock(std::move(handle));
                                return written;
                            });
    port.Unlock(std::move(inner));
    EXPECT_EQ(other.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout)
        << "one Unlock of two must keep the port locked";
    port.Unlock(std::move(outer));
    ASSERT_EQ(other.wait_for(std::chrono::milliseconds(WaitMs)), std::future_status::ready);
    EXPECT_EQ(other.get(), 2);
    EXPECT_EQ(pty.ReadCount(4, WaitMs), "A\nB\n");
}

TEST(CommandPort, NetworkQueryThroughTheLock)
{
    LoopbackServer server;
    CSerial port;
    ASSERT_TRUE(port.OpenDescriptor(server.Descriptor() + " trailing"));
    ASSERT_TRUE(server.Accept(WaitMs));
    LineResponder instrument(server.ClientFd(), [](const std::string&) { return "0\r"; });
    EXPECT_EQ(port.Query("ERR?\n", WaitMs), "0");
    EXPECT_EQ(port.LockedBytesAvailable(), 0);
}
} // namespace
