#include "comm/SerialNET.h"
#include "support/CaptureSink.h"
#include "support/Eventually.h"
#include "support/LoopbackServer.h"

#include <chrono>
#include <gtest/gtest.h>

namespace
{
constexpr int WaitMs = 2000;

// A channel connected to a listening loopback server, with the server's end accepted.
struct Connected
{
    LoopbackServer server;
    CSerialNET channel;

    Connected()
    {
        EXPECT_TRUE(channel.OpenDescriptor(server.Descriptor()));
        EXPECT_TRUE(server.Accept(WaitMs));
    }
};

TEST(SerialNET, RefusedConnectionFailsAfterOneSecondOfRetries)
{
    LoopbackServer refusing(LoopbackServer::Mode::Refusing);
    CaptureSink trace;
    CSerialNET channel;
    ASSERT_TRUE(channel.OpenDescriptor(refusing.Descriptor())) << "opening only starts the connection";
    EXPECT_TRUE(channel.IsOpen());
    EXPECT_EQ(trace.Count("NET port 127.0.0.1:" + std::to_string(refusing.Port()) + " opened (err=", true),
              1u);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(channel.WriteString("*IDN?\n"), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_GE(trace.Count("****************************** Command FAIL: *IDN?<LF>, err=", true), 5u);
    EXPECT_TRUE(trace.Contains("NET port closed."));
    EXPECT_EQ(channel.ReadLine(WaitMs), "") << "a closed channel does not wait";
}

TEST(SerialNET, UnusableAddressFailsToOpen)
{
    CaptureSink trace;
    CSerialNET channel;
    EXPECT_FALSE(channel.OpenNetwork("127.0.0.1", 70000));
    EXPECT_FALSE(channel.OpenDescriptor("TCP:127.0.0.1:0"));
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_EQ(trace.Count("Unable to connect to TCP/IP port"), 2u);
}

TEST(SerialNET, ExchangesCommandsAndReplies)
{
    Connected link;
    CaptureSink trace;
    ASSERT_TRUE(link.server.Send("K760 1.2\r", WaitMs));
    EXPECT_EQ(link.channel.Query("*IDN?\n", WaitMs), "K760 1.2");
    EXPECT_EQ(link.server.ReceiveUntil('\n', WaitMs), "*IDN?\n");
    EXPECT_TRUE(link.channel.WriteByte('x'));
    EXPECT_EQ(link.server.ReceiveCount(1, WaitMs), "x");

    const std::vector<std::string> expected = {"Command: *IDN?", "Response: K760 1.2"};
    EXPECT_EQ(trace.Lines(), expected);
}

TEST(SerialNET, KeepsSecondLineOfOneSegment)
{
    Connected link;
    ASSERT_TRUE(link.server.Send("1.5\r2.5\r3", WaitMs));
    EXPECT_EQ(link.channel.ReadLine(WaitMs), "1.5");
    EXPECT_EQ(link.channel.BytesAvailable(), 5);
    EXPECT_EQ(link.channel.ReadLine(WaitMs), "2.5");
    char byte = 0;
    EXPECT_EQ(link.channel.Read(&byte, 1, 0), 1);
    EXPECT_EQ(byte, '3');
}

TEST(SerialNET, PurgeDropsKeptAndQueuedBytes)
{
    Connected link;
    ASSERT_TRUE(link.server.Send("x\ry\r", WaitMs));
    EXPECT_EQ(link.channel.ReadLine(WaitMs), "x");
    ASSERT_TRUE(link.server.Send("zzz", WaitMs));
    ASSERT_TRUE(Eventually([&] { return link.channel.BytesAvailable() == 5; }));
    link.channel.Purge();
    EXPECT_EQ(link.channel.BytesAvailable(), 0);
    EXPECT_EQ(link.channel.ReadLine(0), "");
    link.channel.Purge(); // nothing waiting: returns at once
}

TEST(SerialNET, FramingFollowsTheLineFeedFlag)
{
    Connected link;
    ASSERT_TRUE(link.server.Send("a\nb\r\n", WaitMs));
    EXPECT_EQ(link.channel.ReadLine(WaitMs), "ab");
    ASSERT_TRUE(link.server.Send("c\r", WaitMs));
    EXPECT_EQ(link.channel.ReadLine(WaitMs), "c") << "the LF after the CR is dropped, not part of a reply";
    link.channel.SetLineFeedEndsLine(true);
    ASSERT_TRUE(link.server.Send("d\ne\r", WaitMs));
    EXPECT_EQ(link.channel.ReadLine(WaitMs), "d");
    EXPECT_EQ(link.channel.ReadLine(WaitMs), "e");
}

TEST(SerialNET, PeerCloseClosesTheChannel)
{
    Connected link;
    ASSERT_TRUE(link.server.Send("partial", WaitMs));
    link.server.CloseClient();
    EXPECT_EQ(link.channel.ReadLine(WaitMs), "partial");
    EXPECT_FALSE(link.channel.IsOpen());
    EXPECT_EQ(link.channel.WriteString("*IDN?\n"), 0);
}

TEST(SerialNET, BrokenConnectionFailsTheSendAndCloses)
{
    Connected link;
    CaptureSink trace;
    link.server.CloseClient();
    // The first send after the peer left may still be accepted locally; the reset ends the next one.
    ASSERT_TRUE(Eventually([&] { return link.channel.WriteString("x\n") == -1; }));
    EXPECT_FALSE(link.channel.IsOpen());
    EXPECT_EQ(trace.Count("****************************** Command FAIL: x<LF>, err=", true), 1u);
}

TEST(SerialNET, TimeOutReturnsPartialLine)
{
    Connected link;
    ASSERT_TRUE(link.server.Send("12.", WaitMs));
    EXPECT_EQ(link.channel.ReadLine(200), "12.");
    EXPECT_EQ(link.channel.ReadLine(0), "");
    EXPECT_TRUE(link.channel.IsOpen());
}
} // namespace
