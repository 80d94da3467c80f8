// Lamp power supplies: the poll line and its parser, the supply's own reply handling on a scripted
// unit, and a supply connected to the simulator.
#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "instrument/lamp/LPS.h"
#include "instrument/lamp/LpsProtocol.h"
#include "instrument/lamp/MultiLPS.h"
#include "support/Eventually.h"
#include "support/ScriptedUnit.h"

#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <string>

namespace
{
using namespace std::chrono_literals;

TEST(LpsPollLine, AsksTheSelectedItemsInPollOrderThenTheErrorQueue)
{
    EXPECT_EQ(LpsProtocol::PollQuery(LpsProtocol::PollCurrent | LpsProtocol::PollVoltage),
              ":LPS:I?;:LPS:V?;ERR?\n");
    EXPECT_EQ(LpsProtocol::PollQuery(LpsProtocol::PollAll | 0x2 /* photodiode: not on a supply */),
              ":LPS:I?;:LPS:SET:I?;:LPS:V?;:LPS:SET:V?;:LPS:OUT?;:LPS:MODE?;:LPS:VBULK?;ERR?\n");
}

struct SReplyRow
{
    const char* reply;
    bool accepted;
    int errorNumber;
};

class LpsPollReply : public ::testing::TestWithParam<SReplyRow>
{
};

TEST_P(LpsPollReply, NeedsOneFieldPerItemAndTheErrorNumber)
{
    const auto parsed =
        LpsProtocol::ParsePollReply(LpsProtocol::PollCurrent | LpsProtocol::PollVoltage, GetParam().reply);
    ASSERT_EQ(parsed.has_value(), GetParam().accepted);
    if (!parsed)
        return;
    EXPECT_EQ(parsed->errorNumber, GetParam().errorNumber);
    ASSERT_EQ(parsed->fields.size(), 2u);
    EXPECT_DOUBLE_EQ(parsed->fields[0].value, 1.234);
    EXPECT_EQ(parsed->fields[0].precision, 3);
    EXPECT_DOUBLE_EQ(parsed->fields[1].value, 5.6);
    EXPECT_EQ(parsed->fields[1].precision, 1);
}

INSTANTIATE_TEST_SUITE_P(Replies, LpsPollReply,
                         ::testing::Values(SReplyRow{"1.234,5.6,0", true, 0},
                                           SReplyRow{"1.234,5.6,5", true, 5},
                                           SReplyRow{"1.234, 5.6,0,0", true, 0},
                                           SReplyRow{"1.234,5.6", false, 0}, SReplyRow{"1.234,x,0", false, 0},
                                           SReplyRow{"", false, 0}));

// A supply on a scripted unit whose poll line is answered with the text the case gives.
class LpsOnScriptedUnit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        unit.SetOverride(
            [this](const std::string& line, std::string& reply)
            {
                if (line != ":LPS:I?;:LPS:V?;ERR?")
                    return false;
                std::lock_guard lock(replyLock);
                reply = pollReply + "\r\n";
                return true;
            });
        unit.StartSerial();
        lps.SetDefaultTimeout(300);
        ASSERT_TRUE(lps.GetPort().OpenDescriptor(unit.SerialDescriptor(38400)));
        lps.SetPollFlags(LaserPollBits(LpsProtocol::PollCurrent | LpsProtocol::PollVoltage));
    }
    void TearDown() override { lps.Disconnect(); }

    // The unit answers on its own thread.
    void SetPollReply(const std::string& text)
    {
        std::lock_guard lock(replyLock);
        pollReply = text;
    }

    ScriptedUnit unit;
    CLPS lps;
    std::mutex replyLock;
    std::string pollReply;
};

TEST_F(LpsOnScriptedUnit, StoresReadingsAndRecordsTheReportedError)
{
    SetPollReply("1.234,5.6,0");
    ASSERT_TRUE(lps.UpdateStatus(lps.GetPollFlags()));
    EXPECT_EQ(lps.GetCurrentPrecision(), 3);
    EXPECT_EQ(lps.GetVoltagePrecision(), 1);
    EXPECT_EQ(lps.GetErrorCount(), 0);

    SetPollReply("2.50,6.25,5");
    ASSERT_TRUE(lps.UpdateStatus(lps.GetPollFlags()));
    ASSERT_EQ(lps.GetErrorCount(), 1);
    EXPECT_EQ(lps.GetError(0, false).GetNumber(), 5);
    // The error does not disturb the readings of the same reply.
    EXPECT_EQ(lps.GetCurrentPrecision(), 2);
    EXPECT_EQ(lps.GetVoltagePrecision(), 2);
    EXPECT_EQ(lps.GetFailedPolls(), 0);
}

TEST_F(LpsOnScriptedUnit, ShortReplyDiscardsTheCycle)
{
    SetPollReply("1.234,5.6,0");
    ASSERT_TRUE(lps.UpdateStatus(lps.GetPollFlags()));
    SetPollReply("7.1");
    EXPECT_FALSE(lps.UpdateStatus(lps.GetPollFlags()));
    EXPECT_EQ(lps.GetCurrentPrecision(), 3);
    EXPECT_EQ(lps.GetFailedPolls(), 1);
    EXPECT_EQ(lps.GetErrorCount(), 0);
}

TEST_F(LpsOnScriptedUnit, OnlyCurrentAndVoltageModesAreSent)
{
    const size_t before = unit.Lines().size();
    EXPECT_FALSE(lps.SetMode(LaserModeIHBW));
    EXPECT_EQ(unit.Lines().size(), before);

    EXPECT_TRUE(lps.SetMode(LaserModeLDV));
    EXPECT_TRUE(unit.WaitForLine(":LPS:MODE:V", 1, 2000ms));
}

// While every poll reply is short, the set points and the mode are asked for, not shown as "no value",
// and the set point follows the mode the supply reports.
TEST_F(LpsOnScriptedUnit, SetPointsAreAskedForUntilAGoodPollBringsThem)
{
    lps.SetPollFlags(LaserPollBits(LpsProtocol::PollAll));
    unit.SetOverride(
        [](const std::string& line, std::string& reply)
        {
            if (line.find(";ERR?") == std::string::npos)
                return false;
            reply = "7.1\r\n";
            return true;
        });
    unit.SetAnswer(":LPS:MODE?", "V");
    unit.SetAnswer("LPS:SET:V?", "12.5");
    unit.SetAnswer("LPS:SET:I?", "3.25");
    ASSERT_TRUE(lps.StartBackgroundThread(0));
    ASSERT_TRUE(Eventually([&] { return lps.GetFailedPolls() >= 1; }, 5000));
    EXPECT_EQ(lps.GetMode(false), LaserModeLDV);
    EXPECT_FLOAT_EQ(lps.GetSetPoint(), 12.5f);
    EXPECT_FLOAT_EQ(lps.GetLDISetPoint(), 3.25f);
}

class LpsOnSimulator : public ::testing::Test
{
protected:
    static constexpr int kPortNumber = 171;

    void SetUp() override
    {
        sim = CSimInstrument::Create("LPS");
        ASSERT_TRUE(sim);
        std::string error;
        ASSERT_TRUE(sim->StartPty("", error)) << error;
        ASSERT_TRUE(CPortResolver::Register(kPortNumber, sim->PtyPath()));
    }
    void TearDown() override
    {
        lps.Disconnect();
        sim->Stop();
        CPortResolver::Unregister(kPortNumber);
    }

    std::unique_ptr<CSimInstrument> sim;
    CLPS lps;
};

TEST_F(LpsOnSimulator, ConnectsSetsAndPollsItsOwnLine)
{
    ASSERT_TRUE(lps.Connect("COM:" + std::to_string(kPortNumber) + ":38400"));
    ASSERT_TRUE(lps.SetMode(LaserModeICW));
    ASSERT_TRUE(lps.SetLDI(1.25));
    EXPECT_GE(sim->Log().WaitForText("LPS:I 1.250000", 2000ms), 0);

    const size_t before = sim->Log().Count();
    ASSERT_TRUE(lps.StartBackgroundThread(0));
    lps.ClearUserFlag();
    ASSERT_TRUE(Eventually([&] { return lps.IsFirstCycleDone() && lps.GetUserFlag(); }, 5000));
    EXPECT_EQ(lps.GetFailedPolls(), 0);
    EXPECT_EQ(lps.GetErrorCount(), 0);
    EXPECT_GE(
        sim->Log().WaitForText(
            ":LPS:I?;:LPS:SET:I?;:LPS:V?;:LPS:SET:V?;:LPS:OUT?;:LPS:MODE?;:LPS:VBULK?;ERR?", 2000ms, before),
        0);
    EXPECT_EQ(lps.GetMode(false), LaserModeICW);
    EXPECT_NEAR(lps.GetLDISetPoint(), 1.25, 1e-4);
}

TEST_F(LpsOnSimulator, RegisterAndFactoryLinesAreAccepted)
{
    ASSERT_TRUE(lps.Connect("COM:" + std::to_string(kPortNumber) + ":38400"));
    EXPECT_TRUE(lps.SetConditionEnable(0x21));
    EXPECT_GE(sim->Log().WaitForText("LPS:ENAB:COND 33s", 2000ms), 0);
    EXPECT_EQ(lps.GetConditionEnable(), 0x21);
    EXPECT_TRUE(lps.SetVoltageRate(2.5));
    EXPECT_FLOAT_EQ(lps.GetVoltageRate(), 2.5f);
    EXPECT_TRUE(lps.StartFactoryCalibration(CLPS::CalibrateLampCurrent));
    EXPECT_FLOAT_EQ(lps.QueryFactoryCalibration(CLPS::CalibrateLampCurrent), 1.0f);
    EXPECT_TRUE(lps.SetCalibrationReference(10.0, 3));
    EXPECT_GE(sim->Log().WaitForText("LPS:CAL:R 10.000", 2000ms), 0);
    EXPECT_TRUE(lps.SendFactoryDacLine1());
    EXPECT_TRUE(lps.SendFactoryDacLine2());
    EXPECT_FALSE(lps.StartFactoryCalibration(7));
    EXPECT_EQ(lps.GetErrorCount(), 0);
}

// A four-channel supply with channels 1 and 3 fitted: discovery keeps both, compacted.
TEST(MultiLpsOnSimulator, DiscoversFittedChannelsAndPollsEach)
{
    constexpr int kPortNumber = 172;
    auto sim = CSimInstrument::Create("LPS-4");
    ASSERT_TRUE(sim);
    sim->SetFitted(ESimFamily::Lps, 0x5);
    std::string error;
    ASSERT_TRUE(sim->StartPty("", error)) << error;
    ASSERT_TRUE(CPortResolver::Register(kPortNumber, sim->PtyPath()));
    CMultiLPS lps;
    ASSERT_TRUE(lps.Connect("COM:" + std::to_string(kPortNumber) + ":38400"));
    EXPECT_EQ(lps.GetLampChannelCount(), 2);
    for (int n = 1; n <= 4; ++n)
        EXPECT_GE(sim->Log().WaitForText("LPS:CHAN " + std::to_string(n) + ";LPS:CHAN?", 0ms), 0) << n;

    lps.SelectChannel(2);
    EXPECT_EQ(lps.GetSelectedChannel(), 0);
    lps.SelectChannel(1);
    const size_t before = sim->Log().Count();
    ASSERT_TRUE(lps.SetLDI(0.75));
    EXPECT_GE(sim->Log().WaitForText("LPS:CHAN 3;LPS:I 0.750000", 2000ms, before), 0);

    ASSERT_TRUE(lps.StartBackgroundThread(0));
    lps.ClearUserFlag();
    ASSERT_TRUE(Eventually([&] { return lps.IsFirstCycleDone() && lps.GetUserFlag(); }, 5000));
    EXPECT_EQ(lps.GetFailedPolls(), 0);
    // Each channel's poll line, prefixed by its channel: ":LPS:I?;" right after "LPS:CHAN n;".
    for (const char* channel : {"LPS:CHAN 1;:LPS:I?;", "LPS:CHAN 3;:LPS:I?;"})
        EXPECT_GE(sim->Log().WaitForText(channel, 2000ms, before), 0) << channel;
    EXPECT_EQ(lps.GetChannelObject(1)->GetFailedPolls(), 0);
    EXPECT_NEAR(lps.GetLDISetPoint(), 0.75, 1e-4);

    // An error in a channel's poll reply reaches the unit's error log (after the refusals of the
    // unfitted channels' discovery).
    lps.ClearErrors();
    sim->PushError(680);
    ASSERT_TRUE(Eventually([&] { return lps.GetErrorCount() == 1; }, 5000));
    EXPECT_EQ(lps.GetError(0, true).GetNumber(), 680);
    EXPECT_EQ(lps.GetErrorCount(), 0);

    lps.StopBackgroundThread(5000);
    lps.GoLocal();
    EXPECT_GE(sim->Log().WaitForText("LPS:CHAN 1;LOCAL", 2000ms), 0);
    lps.Disconnect();
    sim->Stop();
    CPortResolver::Unregister(kPortNumber);
}
} // namespace
