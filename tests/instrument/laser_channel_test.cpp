#include "LaserWire.h"
#include "instrument/laser/Laser.h"
#include "instrument/valuebags/ValuesBag.h"
#include "support/CaptureSink.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace
{
constexpr const char* kDefaultPollLine =
    "\n:LAS:CHAN?;:LAS:I?;:LAS:SET:I?;:LAS:MDI?;:LAS:SET:MDI?;:LAS:MDP?;"
    ":LAS:SET:MDP?;:LAS:LDV?;:LAS:SET:LDV?;:LAS:OUT?;:LAS:MODE?;:LAS:VBULK?;"
    "ERR?\n";
constexpr const char* kPollReply = "0,100.25,100.00,12.5,12.0,0.812,0.800,1.9034,2.5,1,ILBW,11.8,201,0\r";

// A unit that answers the poll with a scripted line, the error queue with "0", and any other query
// with what the matching set command last stored ("LAS:VSENSE 1" makes "LAS:VSENSE?" answer "1").
class FakeUnit
{
public:
    std::string Answer(const std::string& line)
    {
        std::lock_guard lock(m_lock);
        if (line == "err?" || line == "ERR?")
            return "0\r";
        if (line.starts_with(":LAS:CHAN?;"))
            return m_pollReply;
        if (line.ends_with('?'))
        {
            const auto found = m_values.find(line);
            return found == m_values.end() ? "" : found->second + "\r";
        }
        const auto blank = line.find(' ');
        if (blank != std::string::npos)
            m_values[line.substr(0, blank) + "?"] = line.substr(blank + 1);
        return "";
    }

    void SetPollReply(std::string reply)
    {
        std::lock_guard lock(m_lock);
        m_pollReply = std::move(reply);
    }

private:
    std::mutex m_lock;
    std::string m_pollReply = kPollReply;
    std::map<std::string, std::string> m_values;
};

// A bag that accepts every key and pretends its writes reached the unit.
class MemoryBag : public CValuesBag
{
public:
    using CValuesBag::CValuesBag;

protected:
    bool WriteValue(uint32_t, const BAG_VARIANT&) override { return true; }
};

// Reads the caches the way a panel does while the poll runs, without a running poll thread.
class TestLaser : public CLaser
{
public:
    bool IsPolling() const override { return m_viewCache || CLaser::IsPolling(); }
    bool HasDualRange() const override { return m_dualRange; }
    bool HasRemoteSetControl() const override { return true; }

    template <typename F>
    auto Cached(F read)
    {
        m_viewCache = true;
        auto value = read();
        m_viewCache = false;
        return value;
    }

    bool m_dualRange = false;

private:
    bool m_viewCache = false;
};

class LaserChannel : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(laser.GetPort().OpenPortByName(wire.Path(), 38400)); }
    void TearDown() override { laser.GetPort().Close(); }

    // What one checked set command puts on the wire.
    static std::string Checked(const std::string& command) { return command + "\nerr?\n"; }

    FakeUnit unit;
    LaserWire wire{[this](const std::string& line) { return unit.Answer(line); }};
    TestLaser laser;
};

struct SetterRow
{
    const char* name;
    std::function<bool(CLaser&)> call;
    const char* command;
};

class LaserSetterLines : public LaserChannel, public testing::WithParamInterface<SetterRow>
{
};

TEST_P(LaserSetterLines, SendExactlyThisLine)
{
    EXPECT_TRUE(GetParam().call(laser));
    EXPECT_EQ(wire.Received(), Checked(GetParam().command));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LaserSetterLines,
    testing::Values(
        SetterRow{"LDILimitTruncated", [](CLaser& l) { return l.SetLDILimit(150.9); }, "LAS:LIM:LDI 150\r"},
        SetterRow{"MDILimitTruncated", [](CLaser& l) { return l.SetMDILimit(99.99); }, "LAS:LIM:MDI 99\r"},
        SetterRow{"FrequencyTenths", [](CLaser& l) { return l.SetFrequency(12.37); }, "LAS:F 12.3\r"},
        SetterRow{"DutyCycleTenths", [](CLaser& l) { return l.SetDutyCycle(50.55); }, "LAS:DC 50.5\r"},
        SetterRow{"PulseWidthThousandths", [](CLaser& l) { return l.SetPulseWidthF(0.12345); },
                  "LAS:PWF 0.123\r"},
        SetterRow{"ConditionEnableWithS", [](CLaser& l) { return l.SetConditionEnable(5); },
                  "LAS:ENAB:COND 5s\r"},
        SetterRow{"EventEnableWithS", [](CLaser& l) { return l.SetEventEnable(65535); },
                  "LAS:ENAB:EVE 65535s\r"},
        SetterRow{"Tolerance", [](CLaser& l) { return l.SetTolerance(1.5, 0.25); },
                  "LAS:TOL 1.500000, 0.250000\r"},
        SetterRow{"ModeLine", [](CLaser& l) { return l.SetMode(LaserModeIHBW); }, ":LAS:MODE:IHBW\r\n"}),
    [](const testing::TestParamInfo<SetterRow>& info) { return std::string(info.param.name); });

TEST_F(LaserChannel, RefusedCallsSendNothing)
{
    EXPECT_FALSE(laser.SetMode(9));
    EXPECT_FALSE(laser.SetMode(0));
    EXPECT_FALSE(laser.SetRange(0)); // single-range model
    laser.m_dualRange = true;
    EXPECT_FALSE(laser.SetRange(2));
    EXPECT_FALSE(laser.SetRange(-1));
    EXPECT_FALSE(laser.SetQCWLow(1.0));  // no QCW
    EXPECT_FALSE(laser.SetVSense(true)); // no voltage sense
    EXPECT_FALSE(laser.StartFactoryCalibration(CLaser::CalibrateQCWLow));
    EXPECT_FALSE(laser.SetSetPointPrecise(3, 1.0));
    // A marker line: everything before it would be a line the calls above should not have sent.
    EXPECT_TRUE(laser.SetOutput(false));
    EXPECT_EQ(wire.Received(), Checked("LAS:OUT 0\r"));
}

TEST_F(LaserChannel, DualRangeWritesTheStoreThenTheCommandAndHalvesTheLowRange)
{
    laser.m_dualRange = true;
    laser.SetValueBag(std::make_unique<MemoryBag>(&laser));
    ASSERT_TRUE(laser.GetValueBag()->SetInt(CLaser::KeyMaxLDI, 2000, false));

    EXPECT_TRUE(laser.SetRange(0));
    EXPECT_EQ(wire.Received(), Checked("LAS:RANGE 0"));
    EXPECT_EQ(laser.GetRange(), 0);
    EXPECT_FLOAT_EQ(laser.GetMaxLDILimit(true), 1000.0f);
    EXPECT_FLOAT_EQ(laser.GetMaxLDILimit(false), 2000.0f);

    EXPECT_TRUE(laser.SetRange(1));
    EXPECT_FLOAT_EQ(laser.GetMaxLDILimit(true), 2000.0f);

    laser.m_dualRange = false; // a single-range model reports range 1 whatever is stored
    laser.GetValueBag()->SetInt(CLaser::KeyRange, 0, false);
    EXPECT_EQ(laser.GetRange(), 1);
    EXPECT_FLOAT_EQ(laser.GetMaxLDILimit(true), 2000.0f);
}

TEST_F(LaserChannel, MaximaComeFromTheStoreInPanelUnits)
{
    EXPECT_FLOAT_EQ(laser.GetMaxLDVLimit(), 0.0f); // no store: nothing to allow
    laser.SetValueBag(std::make_unique<MemoryBag>(&laser));
    auto* bag = laser.GetValueBag();
    bag->SetInt(CLaser::KeyMaxLDI, 1500, false);
    bag->SetInt(CLaser::KeyMaxMDI, 2000, false);
    bag->SetInt(CLaser::KeyMaxLDV, 5000, false);
    bag->SetInt(CLaser::KeyMaxMDP, 25000, false);
    EXPECT_FLOAT_EQ(laser.GetMaxLDISetPoint(), 1500.0f);
    EXPECT_FLOAT_EQ(laser.GetMaxLDVLimit(), 5.0f);
    EXPECT_FLOAT_EQ(laser.GetMaxLDVSetPoint(), 5.1f);
    EXPECT_FLOAT_EQ(laser.GetMaxMDILimit(), 2000.0f);
    EXPECT_FLOAT_EQ(laser.GetMaxMDISetPoint(), 2040.0f);
    EXPECT_FLOAT_EQ(laser.GetMaxMDP(), 25.0f);
    EXPECT_TRUE(wire.Received().empty());
}

TEST_F(LaserChannel, DefaultPollSendsOneLineAndFillsEveryCache)
{
    EXPECT_TRUE(laser.UpdateStatus(laser.GetPollFlags()));
    EXPECT_EQ(wire.Received(), kDefaultPollLine);
    EXPECT_EQ(laser.GetFailedPolls(), 0);
    EXPECT_TRUE(laser.GetUserFlag());
    EXPECT_EQ(laser.GetErrorCount(), 1); // the 201 after the values

    EXPECT_FLOAT_EQ(laser.Cached([&] { return laser.GetLDI(false); }), 100.25f);
    EXPECT_FLOAT_EQ(laser.Cached([&] { return laser.GetMDP(false); }), 0.812f);
    EXPECT_FLOAT_EQ(laser.Cached([&] { return laser.GetLDV(true); }), 1.9034f);
    EXPECT_EQ(laser.Cached([&] { return laser.GetMode(false); }), LaserModeICW);
    EXPECT_TRUE(laser.Cached([&] { return laser.GetOutput(false); }));
    EXPECT_FLOAT_EQ(laser.Cached([&] { return laser.GetSetPoint(); }), 100.0f); // current mode: LDI
    EXPECT_FLOAT_EQ(laser.GetVBulk(), 11.8f);
    EXPECT_FLOAT_EQ(laser.GetVPeak(), CLaser::NoValue); // not polled by default
    EXPECT_EQ(laser.GetLDIPrecision(), 2);
    EXPECT_EQ(laser.GetPrecision(LaserModeMDP), 3);
    EXPECT_EQ(laser.GetPrecision(LaserModeLDV), 4);
    EXPECT_EQ(laser.GetPrecision(LaserModeMDI), 1);
}

TEST_F(LaserChannel, PreciseSetPointUsesThreeMoreDigitsThanTheReply)
{
    ASSERT_TRUE(laser.UpdateStatus(laser.GetPollFlags())); // LDI "100.25": 2 digits, LDV 4
    wire.ClearReceived();
    EXPECT_TRUE(laser.SetSetPointPrecise(CLaser::PreciseLDI, 12.3456789));
    EXPECT_EQ(wire.Received(), Checked("LAS:LDI 12.34568\r"));
    wire.ClearReceived();
    EXPECT_TRUE(laser.SetSetPointPrecise(CLaser::PreciseLDV, 1.5));
    EXPECT_EQ(wire.Received(), Checked("LAS:LDV 1.5000000\r"));
}

TEST_F(LaserChannel, AnotherChannelsReplyCountsAFailureAndChangesNothing)
{
    unit.SetPollReply("1,100.25,100.00,12.5,12.0,0.812,0.800,1.9034,2.5,1,ILBW,11.8,0\r");
    EXPECT_TRUE(laser.UpdateStatus(laser.GetPollFlags()));
    EXPECT_EQ(laser.GetFailedPolls(), 1);
    EXPECT_TRUE(laser.GetUserFlag());
    EXPECT_FLOAT_EQ(laser.Cached([&] { return laser.GetLDI(false); }), CLaser::NoValue);
    EXPECT_FLOAT_EQ(laser.GetVBulk(), CLaser::NoValue);
    EXPECT_EQ(laser.GetLDIHistoryCount(), 0u);

    unit.SetPollReply(kPollReply); // the right channel again clears the count
    EXPECT_TRUE(laser.UpdateStatus(laser.GetPollFlags()));
    EXPECT_EQ(laser.GetFailedPolls(), 0);
}

TEST_F(LaserChannel, UnusableRepliesCountAFailureAndSayWhy)
{
    CaptureSink trace;
    unit.SetPollReply("0,100.25,garbage,12.5,12.0,0.812,0.800,1.9034,2.5,1,ILBW,11.8,0\r");
    EXPECT_FALSE(laser.UpdateStatus(laser.GetPollFlags()));
    EXPECT_EQ(laser.GetFailedPolls(), 1);
    EXPECT_FALSE(laser.GetUserFlag());
    EXPECT_FLOAT_EQ(laser.Cached([&] { return laser.GetLDI(false); }), CLaser::NoValue);

    unit.SetPollReply("0,100.25\r"); // short: the session retries, then gives up
    EXPECT_FALSE(laser.UpdateStatus(laser.GetPollFlags()));
    EXPECT_EQ(laser.GetFailedPolls(), 2);
    const std::string said =
        std::string(program_invocation_short_name) + ": Error detected, or missing data!";
    EXPECT_EQ(trace.Count(said, true), 0u) << "said once, when the run ends";

    unit.SetPollReply(kPollReply);
    EXPECT_TRUE(laser.UpdateStatus(laser.GetPollFlags()));
    EXPECT_EQ(trace.Count(said, true), 1u);
    EXPECT_EQ(trace.Count(said + " (2 poll cycles in a row)"), 1u);
}

TEST_F(LaserChannel, ResetPutsTheNoValueMarkBack)
{
    ASSERT_TRUE(laser.UpdateStatus(laser.GetPollFlags()));
    laser.ResetLaserState();
    EXPECT_FLOAT_EQ(laser.Cached([&] { return laser.GetLDI(false); }), CLaser::NoValue);
    EXPECT_FLOAT_EQ(laser.Cached([&] { return laser.GetLDV(true); }), 0.0f); // empty history
    EXPECT_FLOAT_EQ(laser.GetVBulk(), CLaser::NoValue);
    EXPECT_EQ(laser.Cached([&] { return laser.GetMode(false); }), LaserModeNone);
    EXPECT_EQ(laser.GetLDIPrecision(), 1);
}

TEST_F(LaserChannel, PendingModeIsAppliedOnceAfterThePoll)
{
    ASSERT_TRUE(laser.SetMode(LaserModeMDI));
    EXPECT_EQ(laser.GetPendingMode(), LaserModeMDI);
    wire.ClearReceived();
    ASSERT_TRUE(laser.UpdateStatus(laser.GetPollFlags()));
    EXPECT_EQ(wire.Received(), std::string(kDefaultPollLine) + Checked(":LAS:MODE:MDI\r\n"));
    EXPECT_EQ(laser.GetPendingMode(), LaserModeNone);
    EXPECT_EQ(laser.Cached([&] { return laser.GetMode(false); }), LaserModeMDI);
    wire.ClearReceived();
    ASSERT_TRUE(laser.UpdateStatus(laser.GetPollFlags()));
    EXPECT_EQ(wire.Received(), kDefaultPollLine);
}

// What bounds a set point is read once and then kept, so a Set costs one round trip; a written limit is
// read again, by the poll of a mode it bounds or by the next check, and one that could not be read is
// never kept.
TEST_F(LaserChannel, SetPointBoundsAreKeptUntilALimitIsWritten)
{
    ASSERT_TRUE(laser.SetLDILimit(150));
    wire.ClearReceived();
    EXPECT_FLOAT_EQ(laser.GetKeptSetting(CLaser::KeptLDILimit), 150.0f);
    EXPECT_EQ(wire.Received(), "LAS:LIM:LDI?\n");
    wire.ClearReceived();
    EXPECT_FLOAT_EQ(laser.GetKeptSetting(CLaser::KeptLDILimit), 150.0f);
    EXPECT_EQ(wire.Received(), "");

    ASSERT_TRUE(laser.SetLDILimit(120));
    wire.ClearReceived();
    ASSERT_TRUE(laser.UpdateStatus(laser.GetPollFlags())); // the polled mode is a current mode
    EXPECT_EQ(wire.Received(), std::string(kDefaultPollLine) + "LAS:LIM:LDI?\n");
    wire.ClearReceived();
    EXPECT_FLOAT_EQ(laser.GetKeptSetting(CLaser::KeptLDILimit), 120.0f);
    ASSERT_TRUE(laser.UpdateStatus(laser.GetPollFlags()));
    EXPECT_EQ(wire.Received(), kDefaultPollLine);

    wire.ClearReceived();
    EXPECT_FLOAT_EQ(laser.GetKeptSetting(CLaser::KeptLDVLimit), CLaser::NoValue); // the unit gave nothing
    EXPECT_FLOAT_EQ(laser.GetKeptSetting(CLaser::KeptLDVLimit), CLaser::NoValue);
    EXPECT_EQ(wire.Received(), "LAS:LIM:LDV?\nLAS:LIM:LDV?\n");
}

TEST_F(LaserChannel, SwitchesReadBackWhatWasSet)
{
    laser.SetVSenseSupported(true);
    EXPECT_TRUE(laser.SetVSense(true));
    EXPECT_TRUE(laser.GetVSense());
    EXPECT_TRUE(laser.SetVSense(false));
    EXPECT_FALSE(laser.GetVSense());

    EXPECT_TRUE(laser.SetLaserRemoteSet(true));
    EXPECT_TRUE(laser.GetLaserRemoteSet());
    EXPECT_TRUE(laser.SetLaserRemoteSet(false));
    EXPECT_FALSE(laser.GetLaserRemoteSet());
}
} // namespace
