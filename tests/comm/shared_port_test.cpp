#include "comm/PortResolver.h"
#include "comm/SerialMulti.h"
#include "comm/SerialRedirector.h"
#include "support/LineResponder.h"
#include "support/LoopbackServer.h"
#include "support/PtyPair.h"

#include <future>
#include <gtest/gtest.h>

namespace
{
constexpr int WaitMs = 2000;

TEST(SharedPort, ChannelOpensOnlyReportTheSharedConnection)
{
    PtyPair pty;
    ASSERT_TRUE(CPortResolver::Register(41, pty.SlavePath()));
    CSerialMulti shared;
    CSerialRedirector channel(&shared);
    ASSERT_TRUE(pty.SetSlaveBaud(1200));

    EXPECT_FALSE(channel.OpenPort(41, 9600)) << "nothing may open before the owner opens";
    EXPECT_FALSE(channel.OpenDescriptor("COM:41:9600"));
    EXPECT_FALSE(shared.IsOpen());
    EXPECT_EQ(pty.SlaveBaud(), 1200) << "the line was configured although nothing should have opened";

    ASSERT_TRUE(shared.OpenSharedDescriptor(*PortDescriptor::Parse("COM:41:9600")));
    EXPECT_EQ(pty.SlaveBaud(), 9600);
    EXPECT_TRUE(channel.OpenPort(41, 38400));
    EXPECT_TRUE(channel.OpenDescriptor("COM:41:38400"));
    EXPECT_EQ(pty.SlaveBaud(), 9600) << "a channel's open must not reopen the shared line";

    EXPECT_EQ(shared.GetType(), CSerialBase::SerialChannel);
    EXPECT_EQ(channel.GetType(), CSerialBase::NoChannel);
    EXPECT_EQ(channel.GetPortNumber(), 41);

    EXPECT_TRUE(channel.Close());
    EXPECT_FALSE(shared.IsOpen()) << "closing through a channel closes the one connection";
    CPortResolver::Unregister(41);
}

TEST(SharedPort, SharedDescriptorRejectsUnknownKinds)
{
    CSerialMulti shared;
    EXPECT_FALSE(shared.OpenSharedDescriptor(*PortDescriptor::Parse("USB:1:9600")));
    EXPECT_FALSE(shared.IsOpen());
}

TEST(SharedPort, NetworkConnectionIsSharedAndTypedOnlyOnTheOwner)
{
    LoopbackServer server;
    CSerialMulti shared;
    ASSERT_TRUE(shared.OpenSharedDescriptor(*PortDescriptor::Parse(server.Descriptor())));
    ASSERT_TRUE(server.Accept(WaitMs));
    LineResponder instrument(server.ClientFd(), [](const std::string& cmd) { return "R:" + cmd + "\r"; });
    CSerialRedirector first(&shared);
    CSerialRedirector second(&shared);

    EXPECT_EQ(shared.GetType(), CSerialBase::NetworkChannel);
    EXPECT_EQ(first.GetType(), CSerialBase::NoChannel);
    EXPECT_EQ(first.Query("A?\n", WaitMs), "R:A?");
    EXPECT_EQ(second.Query("B?\n", WaitMs), "R:B?");
}

TEST(SharedPort, UnplugShowsOnEveryChannelAtOnce)
{
    PtyPair pty;
    CSerialMulti shared;
    ASSERT_TRUE(shared.OpenPortByName(pty.SlavePath(), 38400));
    CSerialRedirector first(&shared);
    CSerialRedirector second(&shared);
    ASSERT_TRUE(first.IsOpen());
    ASSERT_TRUE(second.IsOpen());

    pty.CloseMaster();
    first.ReadLine(100);
    EXPECT_FALSE(shared.IsOpen());
    EXPECT_FALSE(second.IsOpen()) << "a sibling that did no I/O must see the unplug too";
    EXPECT_FALSE(second.OpenPort(1, 38400));
}

TEST(SharedPort, ChannelsTakeTheOneLock)
{
    PtyPair pty;
    CSerialMulti shared;
    ASSERT_TRUE(shared.OpenPortByName(pty.SlavePath(), 38400));
    CSerialRedirector first(&shared);
    CSerialRedirector second(&shared);

    CSerial::LockHandle held = first.Lock();
    EXPECT_EQ(first.LockedWriteString("A\n"), 2);
    auto other = std::async(std::launch::async, [&second] { return second.LockedWriteString("B\n"); });
    EXPECT_EQ(other.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout)
        << "the second channel wrote while the first held the lock";
    first.Unlock(std::move(held));
    ASSERT_EQ(other.wait_for(std::chrono::milliseconds(WaitMs)), std::future_status::ready);
    EXPECT_EQ(other.get(), 2);
    EXPECT_EQ(pty.ReadCount(4, WaitMs), "A\nB\n");
}
} // namespace
