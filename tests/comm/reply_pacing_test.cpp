#include "comm/ReplyPacing.h"
#include "comm/SerialNET.h"
#include "comm/SerialRS232.h"
#include "support/LoopbackServer.h"
#include "support/PtyPair.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int WaitMs = 2000;
constexpr const char* Command = "\nTEC:T?;TEC:ITE?;ERR?\n";
constexpr const char* Reply = "25.013,-0.412,0\r\n";

TEST(ReplyPacing, GathersOnlyTheRestOfAReplyWhoseLengthTheSameCommandTold)
{
    CReplyPacing pacing;
    const auto byte = 260us;
    EXPECT_EQ(pacing.GatherTime(3, byte), 0ns) << "nothing asked yet";
    pacing.Sent("A?\n");
    EXPECT_EQ(pacing.GatherTime(3, byte), 0ns) << "no reply to this command seen yet";
    pacing.LineEnded(40);
    EXPECT_EQ(pacing.GatherTime(3, byte), 0ns) << "a line after the reply belongs to no command";

    pacing.Sent("A?\n");
    EXPECT_EQ(pacing.GatherTime(3, byte), byte * (40 - 3) + byte / 2) << "to half a byte past the end";
    EXPECT_EQ(pacing.GatherTime(40, byte), 0ns) << "the whole reply is in";
    EXPECT_EQ(pacing.GatherTime(60, byte), 0ns) << "a reply longer than the last one";
    pacing.Sent("B?\n");
    EXPECT_EQ(pacing.GatherTime(3, byte), 0ns);
    pacing.SentUnknown();
    EXPECT_EQ(pacing.GatherTime(3, byte), 0ns);

    // The latest reply counts: one that got shorter is not waited for as long as before.
    pacing.Sent("A?\n");
    pacing.LineEnded(10);
    pacing.Sent("A?\n");
    EXPECT_EQ(pacing.GatherTime(3, byte), byte * (10 - 3) + byte / 2);
}

TEST(ReplyPacing, SleepsThroughAReplyWhoseTimeTheSameCommandToldAndLearnsWhenItComesSooner)
{
    CReplyPacing pacing;
    const auto byte = 260us;
    const Clock::time_point start{};
    const std::string command = "A?\n"; // 3 bytes; with a 10-byte reply 13 byte times on the wire
    pacing.Sent(command, start);
    EXPECT_FALSE(pacing.ReplyDue(byte)) << "no reply seen yet";
    pacing.LineEnded(10, start + 5ms);

    pacing.Sent(command, start + 100ms);
    ASSERT_TRUE(pacing.ReplyDue(byte));
    EXPECT_EQ(*pacing.ReplyDue(byte), start + 105ms);
    // Whole when the reader woke: it came sooner, so the next wait is a byte shorter.
    pacing.LineEnded(10, start + 105ms, false, byte);
    pacing.Sent(command, start + 200ms);
    EXPECT_EQ(*pacing.ReplyDue(byte), start + 205ms - byte);

    // A reply seen ending sooner is taken as it is; one seen later moves the wait a quarter of the way.
    pacing.LineEnded(10, start + 203ms);
    pacing.Sent(command, start + 300ms);
    EXPECT_EQ(*pacing.ReplyDue(byte), start + 303ms);
    pacing.LineEnded(10, start + 307ms);
    pacing.Sent(command, start + 400ms);
    EXPECT_EQ(*pacing.ReplyDue(byte), start + 404ms);

    // A unit that took far longer than the wire explains is not slept for, nor is another length.
    pacing.LineEnded(12, start + 490ms);
    pacing.Sent(command, start + 500ms);
    EXPECT_FALSE(pacing.ReplyDue(byte));
    pacing.SentUnknown();
    EXPECT_FALSE(pacing.ReplyDue(byte));
}

TEST(ReplyPacing, ALineFeedThatCameLateCountsOnceWithTheReplyBeforeIt)
{
    CReplyPacing pacing;
    const auto byte = 260us;
    pacing.Sent("A?\n");
    pacing.LineEnded(10); // its CR ended it; the LF was not there yet
    pacing.LineFeedFollowed();
    pacing.LineFeedFollowed();
    pacing.Sent("A?\n");
    EXPECT_EQ(pacing.GatherTime(1, byte), byte * 10 + byte / 2) << "11 bytes, not 10 or 12";
}

// The unit's end of a serial line: a pseudo-terminal at a slow rate, so that a channel sleeping on a
// wrong length estimate would show as a late line, never a wrong one.
struct SerialLink
{
    static constexpr int Baud = 9600;
    static constexpr auto ByteTime = std::chrono::microseconds(10'000'000 / Baud);
    PtyPair pty;
    CSerialRS232 channel;

    SerialLink() { EXPECT_TRUE(channel.OpenPortByName(pty.SlavePath(), Baud)); }
    bool Send(std::string_view bytes) { return pty.Write(bytes, WaitMs); }
    std::string TakeCommand(size_t size) { return pty.ReadCount(size, WaitMs); }
};

// The unit's end of a network link: bytes trickling in as from a serial gateway.
struct NetLink
{
    static constexpr auto ByteTime = std::chrono::microseconds(1042);
    LoopbackServer server;
    CSerialNET channel;

    NetLink()
    {
        EXPECT_TRUE(channel.OpenDescriptor(server.Descriptor()));
        EXPECT_TRUE(server.Accept(WaitMs));
    }
    bool Send(std::string_view bytes) { return server.Send(bytes, WaitMs); }
    std::string TakeCommand(size_t size) { return server.ReceiveCount(size, WaitMs); }
};

template <class Link>
class PacedReplies : public testing::Test
{
protected:
    // Sends the command and has the unit answer in the given parts, gap apart (on a thread of its own,
    // so that the channel reads while the reply is still coming); the line the channel read.
    std::string Exchange(const std::vector<std::string>& parts, Clock::duration gap, int timeoutMs = WaitMs)
    {
        link.channel.WriteString(Command);
        EXPECT_EQ(link.TakeCommand(std::string_view(Command).size()), Command);
        std::thread unit(
            [&]
            {
                for (size_t index = 0; index < parts.size(); ++index)
                {
                    if (index > 0)
                        std::this_thread::sleep_for(gap);
                    EXPECT_TRUE(link.Send(parts[index]));
                }
            });
        std::string line = link.channel.ReadLine(timeoutMs);
        unit.join();
        return line;
    }

    // The reply in two parts, cut after byte `cut`.
    static std::vector<std::string> SplitAt(const std::string& reply, size_t cut)
    {
        return {reply.substr(0, cut), reply.substr(cut)};
    }

    static std::vector<std::string> Bytewise(const std::string& reply)
    {
        std::vector<std::string> bytes;
        for (char byte : reply)
            bytes.emplace_back(1, byte);
        return bytes;
    }

    Link link;
};

using Links = testing::Types<SerialLink, NetLink>;
TYPED_TEST_SUITE(PacedReplies, Links);

TYPED_TEST(PacedReplies, RepliesSplitAtEveryByteBoundaryReadTheSame)
{
    // The same command's earlier replies set the expected length: equal, shorter and longer ones are
    // each cut everywhere, the LF left behind by one line dropped at the start of the next.
    const std::string shorter = "5.0,0,0\r\n";
    const std::string longer = "125.013,-10.412,-123,44\r\n";
    for (const std::string& reply : {std::string(Reply), shorter, longer})
    {
        const std::string line = reply.substr(0, reply.find('\r'));
        for (size_t cut = 1; cut < reply.size(); ++cut)
        {
            ASSERT_EQ(this->Exchange({Reply}, 0ns), "25.013,-0.412,0");
            ASSERT_EQ(this->Exchange(this->SplitAt(reply, cut), 2 * TypeParam::ByteTime), line)
                << "cut after byte " << cut;
        }
    }
}

TYPED_TEST(PacedReplies, AReplyAtTheSlowestPaceReadsTheSame)
{
    // One byte at a time, each a full byte time of the slowest line apart (1200 baud).
    const auto slowest = std::chrono::microseconds(10'000'000 / 1200);
    EXPECT_EQ(this->Exchange({Reply}, 0ns), "25.013,-0.412,0");
    EXPECT_EQ(this->Exchange(this->Bytewise(Reply), slowest), "25.013,-0.412,0");
    EXPECT_EQ(this->Exchange(this->Bytewise("1,2\r"), slowest), "1,2") << "shorter than expected";
}

TYPED_TEST(PacedReplies, AReplyCutOffByTheTimeOutEndsThereAndTheRestComesAsALateLine)
{
    EXPECT_EQ(this->Exchange({Reply}, 0ns), "25.013,-0.412,0");
    const auto start = Clock::now();
    // The rest stays behind until long after the time-out.
    this->link.channel.WriteString(Command);
    EXPECT_EQ(this->link.TakeCommand(std::string_view(Command).size()), Command);
    ASSERT_TRUE(this->link.Send("25.0"));
    EXPECT_EQ(this->link.channel.ReadLine(150), "25.0");
    EXPECT_GE(Clock::now() - start, 150ms);
    ASSERT_TRUE(this->link.Send("13,-0.412,0\r\n"));
    EXPECT_EQ(this->link.channel.ReadLine(WaitMs), "13,-0.412,0");
}
} // namespace
