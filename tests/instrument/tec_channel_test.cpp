// The TEC channel against a scripted instrument on a real pseudo-terminal: the exact lines it sends,
// what it caches from the replies, and what it refuses to send.
#include "TecFake.h"
#include "instrument/tec/TEC.h"
#include "instrument/valuebags/ValuesBag.h"
#include "support/CaptureSink.h"
#include "support/Eventually.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{
class CTECWithSensors : public CTEC
{
public:
    explicit CTECWithSensors(int sensors) : m_sensors(sensors) {}
    int GetSensorCount() const override { return m_sensors; }

private:
    int m_sensors;
};

// Lines that carry no query: the setters' commands (their "err?" check lines are queries).
std::vector<std::string> CommandLines(const std::vector<std::string>& lines)
{
    std::vector<std::string> commands;
    for (const std::string& line : lines)
    {
        if (line.find('?') == std::string::npos)
        {
            commands.push_back(line);
        }
    }
    return commands;
}

class TecChannel : public ::testing::Test
{
protected:
    void Open(int sensors = 1)
    {
        const std::pair<const char*, const char*> answers[] = {
            {"CHAN?", "0"},        {"ITE?", "0.512"},      {"R?", "10.00"},         {"T?", "25.125"},
            {"SET:ITE?", "0.000"}, {"SET:R?", "10.000"},   {"SET:T?", "25.000"},    {"V?", "1.2345"},
            {"OUT?", "1"},         {"COND?", "1024"},      {"ANALOG:ENAB?", "1"},   {"MODE?", "T"},
            {"ACTIVESEN?", "2"},   {"LIM:THI?", "80.000"}, {"LIM:TLO?", "-10.000"}, {"LIM:ITE?", "1.500"},
            {"LIM:RLO?", "5.000"}, {"LIM:RHI?", "40.000"}, {"SENS?", "1"},          {"LIM:THI? 3", "60.0"},
            {"R? 1", "11.1"},      {"R? 2", "12.22"},      {"R? 3", "13.333"},      {"T? 1", "21.1"},
            {"T? 2", "22.22"},     {"T? 3", "23.333"},     {"GAIN?", "PID"},        {"VER?", "v2.4.1"}};
        for (const auto& [key, answer] : answers)
        {
            fake.Set(key, answer);
        }
        tec = std::make_unique<CTECWithSensors>(sensors);
        ASSERT_TRUE(tec->GetPort().OpenPortByName(fake.Path(), 38400));
    }

    void StartPolling()
    {
        ASSERT_TRUE(tec->StartBackgroundThread(0));
        ASSERT_TRUE(Eventually([&] { return tec->GetUserFlag(); }, 5000));
    }

    void TearDown() override
    {
        if (tec)
        {
            tec->Disconnect();
        }
    }

    TecFake fake;
    std::unique_ptr<CTEC> tec;
};

struct SPollLinesRow
{
    int sensors;
    uint32_t flags;
    std::vector<std::string> lines;
};

class TecPollLines : public TecChannel, public ::testing::WithParamInterface<SPollLinesRow>
{
};

TEST_P(TecPollLines, SendsTheCompoundQueriesForTheFlagsAndSensorCount)
{
    Open(GetParam().sensors);
    tec->UpdateStatus(GetParam().flags);
    EXPECT_EQ(fake.Lines(), GetParam().lines);
    EXPECT_EQ(tec->GetFailedPolls(), 0);
    EXPECT_TRUE(tec->GetUserFlag());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TecPollLines,
    ::testing::Values(
        SPollLinesRow{1, 0x7F, {":TEC:CHAN?;ITE?;R?;T?;SET:ITE?;SET:R?;SET:T?;ERR?", ":TEC:CHAN?;:TEC:V?;"}},
        SPollLinesRow{3,
                      0x6,
                      {":TEC:CHAN?;ERR?", ":TEC:CHAN?;:TEC:ACTIVESEN?;R? 1;R? 2;R? 3;T? 1;T? 2;T? 3;ERR?",
                       ":TEC:CHAN?;"}},
        SPollLinesRow{1,
                      TecPollDefault | TecPollAnalog,
                      {":TEC:CHAN?;ITE?;R?;T?;SET:ITE?;SET:R?;SET:T?;ERR?",
                       ":TEC:CHAN?;:TEC:V?;:TEC:OUT?;:TEC:COND?;:TEC:ANALOG:ENAB?;:TEC:MODE?;"}}));

TEST_F(TecChannel, StartsWithTheDefaultFlagsInTheLowerHalfAndNoValues)
{
    Open();
    EXPECT_EQ(tec->GetPollFlags(), uint64_t{0x41FF});
    tec->SetPollFlags(0x12345600000000ull | TecPollDefault);
    tec->UpdateStatus(static_cast<uint32_t>(tec->GetPollFlags()));
    EXPECT_EQ(fake.Lines().back(), ":TEC:CHAN?;:TEC:V?;:TEC:OUT?;:TEC:COND?;:TEC:MODE?;");
}

TEST_F(TecChannel, PollingOneSensorCachesReadingsSetPointsAndPrecisions)
{
    Open();
    tec->SetPollFlags(TecPollDefault | TecPollAnalog);
    StartPolling();
    EXPECT_FLOAT_EQ(tec->GetT(), 25.125f);
    EXPECT_FLOAT_EQ(tec->GetR(), 10.0f);
    EXPECT_FLOAT_EQ(tec->GetITE(), 0.512f);
    EXPECT_FLOAT_EQ(tec->GetV(), 1.2345f);
    EXPECT_FLOAT_EQ(tec->GetT(true), 25.125f);
    EXPECT_EQ(tec->GetPrecision(TecQuantityT), 3);
    EXPECT_EQ(tec->GetPrecision(TecQuantityR), 2);
    EXPECT_EQ(tec->GetPrecision(TecQuantityITE), 3);
    EXPECT_EQ(tec->GetPrecision(TecQuantityV), 4);
    EXPECT_EQ(tec->GetMode(), TecModeT);
    EXPECT_TRUE(tec->GetOutput());
    EXPECT_EQ(tec->GetCondition(), 1024);
    EXPECT_TRUE(tec->IsAnalogEnabled());
    EXPECT_FLOAT_EQ(tec->GetSetPoint(), 25.0f);
}

TEST_F(TecChannel, PollingThreeSensorsStoresEachAndTakesThePrecisionOfTheActiveOne)
{
    Open(3);
    StartPolling();
    EXPECT_EQ(tec->GetActiveSensor(), 1);
    EXPECT_FLOAT_EQ(tec->GetT(false, 0), 21.1f);
    EXPECT_FLOAT_EQ(tec->GetT(false, 2), 23.333f);
    EXPECT_FLOAT_EQ(tec->GetT(), 22.22f);
    EXPECT_FLOAT_EQ(tec->GetR(false, 2), 13.333f);
    EXPECT_EQ(tec->GetPrecision(TecQuantityT), 2);
    EXPECT_EQ(tec->GetPrecision(TecQuantityR), 2);
}

TEST_F(TecChannel, AnotherChannelsNumberLeavesEveryCachedValueUnchanged)
{
    Open();
    fake.Set("CHAN?", "2");
    tec->SetPollFlags(TecPollDefault | TecPollAnalog);
    ASSERT_TRUE(tec->StartBackgroundThread(0));
    ASSERT_TRUE(Eventually([&] { return tec->GetFailedPolls() >= 2; }, 5000));
    EXPECT_FALSE(tec->GetUserFlag());
    EXPECT_EQ(tec->GetT(), CTEC::NoValue);
    EXPECT_EQ(tec->GetR(), CTEC::NoValue);
    EXPECT_EQ(tec->GetITE(), CTEC::NoValue);
    EXPECT_EQ(tec->GetV(), CTEC::NoValue);
    EXPECT_EQ(tec->GetT(true), 0.0f);
    // The mode is a setting, not a reading: until a poll brings it, the unit is asked.
    EXPECT_EQ(tec->GetMode(), TecModeT);
    EXPECT_FALSE(tec->GetOutput());
    EXPECT_EQ(tec->GetCondition(), 0);
    EXPECT_FALSE(tec->IsAnalogEnabled());
    EXPECT_EQ(tec->GetPrecision(TecQuantityT), 0);

    // Once the instrument answers for this channel again, one good cycle clears the count.
    fake.Set("CHAN?", "0");
    ASSERT_TRUE(Eventually([&] { return tec->GetFailedPolls() == 0 && tec->GetUserFlag(); }, 5000));
    EXPECT_FLOAT_EQ(tec->GetT(), 25.125f);
}

TEST_F(TecChannel, AGarbledFieldDiscardsTheWholeReplyAndEachFailedQueryCounts)
{
    Open();
    fake.Set("T?", "2x.5");
    tec->UpdateStatus(TecPollT | TecPollITE);
    EXPECT_EQ(tec->GetPrecision(TecQuantityITE), 0); // "0.512" came in the same reply
    EXPECT_FALSE(tec->IsFresh(TecReading::ITE));
    EXPECT_EQ(tec->GetFailedPolls(), 0) << "the cycle's last query answered and clears the count";
    EXPECT_FALSE(tec->GetUserFlag()) << "but the cycle did not read everything";

    // Two failed queries in a row count two: the connection watch gives up on them.
    fake.Set("COND?", "x");
    tec->UpdateStatus(TecPollT | TecPollV | TecPollCondition);
    EXPECT_EQ(tec->GetFailedPolls(), 2);
    EXPECT_EQ(tec->GetPrecision(TecQuantityV), 0);

    fake.Set("T?", "25.5");
    fake.Set("COND?", "0");
    tec->UpdateStatus(TecPollT | TecPollV | TecPollCondition);
    EXPECT_EQ(tec->GetFailedPolls(), 0);
    EXPECT_TRUE(tec->GetUserFlag());
    EXPECT_TRUE(tec->IsFresh(TecReading::T));
    EXPECT_EQ(tec->GetPrecision(TecQuantityT), 1);
    EXPECT_EQ(tec->GetPrecision(TecQuantityV), 4);
}

struct SPrecisionRow
{
    const char* reply;
    int precision;
};

class TecPrecision : public TecChannel, public ::testing::WithParamInterface<SPrecisionRow>
{
};

TEST_P(TecPrecision, IsTheNumberOfDigitsAfterThePoint)
{
    Open();
    fake.Set("T?", GetParam().reply);
    tec->UpdateStatus(TecPollT);
    EXPECT_EQ(tec->GetPrecision(TecQuantityT), GetParam().precision);
}

INSTANTIATE_TEST_SUITE_P(Rows, TecPrecision,
                         ::testing::Values(SPrecisionRow{"25.125", 3}, SPrecisionRow{"25", 0},
                                           SPrecisionRow{"-3.50", 2}, SPrecisionRow{"+1.0e1", 1}));

struct SCommandRow
{
    const char* name;
    int sensors;
    std::function<bool(CTEC&)> call;
    bool result;
    std::vector<std::string> sent; // lines without a query
    const char* logged;            // message in the event log, or nullptr
};

class TecCommands : public TecChannel, public ::testing::WithParamInterface<SCommandRow>
{
};

TEST_P(TecCommands, SendExactlyTheirLineOrLogTheRefusal)
{
    Open(GetParam().sensors);
    CaptureSink log(ccGeneral, 3);
    EXPECT_EQ(GetParam().call(*tec), GetParam().result);
    EXPECT_EQ(CommandLines(fake.Lines()), GetParam().sent);
    if (GetParam().logged)
    {
        EXPECT_TRUE(log.Contains(GetParam().logged)) << ::testing::PrintToString(log.Lines());
    }
    else
    {
        EXPECT_EQ(log.Count("", true), 0u) << ::testing::PrintToString(log.Lines());
    }
}

// A limit the unit does not answer refuses the set point for what it is, not as out of range.
TEST_F(TecChannel, AnUnansweredLimitRefusesTheSetPointAndSaysWhy)
{
    Open();
    tec->SetDefaultTimeout(200);
    fake.Set("LIM:THI?", "");
    CaptureSink log(ccGeneral, 3);
    EXPECT_FALSE(tec->SetT(30.0f));
    EXPECT_TRUE(CommandLines(fake.Lines()).empty());
    EXPECT_TRUE(log.Contains("T set point (30.000000) not sent: the instrument did not give its limits."))
        << ::testing::PrintToString(log.Lines());
    EXPECT_FALSE(log.Contains("out of range"));
}

// The fake's limits: T -10..80, R 5..40, ITE 1.5; family T bounds -99..250; sensor 1 is a thermistor.
INSTANTIATE_TEST_SUITE_P(
    Rows, TecCommands,
    ::testing::Values(
        SCommandRow{
            "SetTAtHighLimit", 1, [](CTEC& t) { return t.SetT(80.0f); }, true, {"TEC:T 80.000000"}, nullptr},
        SCommandRow{
            "SetTAtLowLimit", 1, [](CTEC& t) { return t.SetT(-10.0f); }, true, {"TEC:T -10.000000"}, nullptr},
        SCommandRow{"SetTJustAbove",
                    1,
                    [](CTEC& t) { return t.SetT(80.01f); },
                    false,
                    {},
                    "T set point (80.010002) out of range."},
        SCommandRow{"SetITENegativeAtLimit",
                    1,
                    [](CTEC& t) { return t.SetITE(-1.5f); },
                    true,
                    {"TEC:ITE -1.500000"},
                    nullptr},
        SCommandRow{"SetITEAboveLimit",
                    1,
                    [](CTEC& t) { return t.SetITE(1.6f); },
                    false,
                    {},
                    "ITE set point (1.600000) out of range."},
        SCommandRow{"SetRBelowLow",
                    1,
                    [](CTEC& t) { return t.SetR(4.9f); },
                    false,
                    {},
                    "R set (4.900000) out of range."},
        SCommandRow{
            "SetRAtHigh", 1, [](CTEC& t) { return t.SetR(40.0f); }, true, {"TEC:R 40.000000"}, nullptr},
        SCommandRow{"SetTHighLimitAtMax",
                    1,
                    [](CTEC& t) { return t.SetTHighLimit(250.0f); },
                    true,
                    {"TEC:LIM:THI 250.000000"},
                    nullptr},
        SCommandRow{"SetTHighLimitAboveMax",
                    1,
                    [](CTEC& t) { return t.SetTHighLimit(250.5f); },
                    false,
                    {},
                    "T high limit (250.500000) out of range."},
        SCommandRow{"SetTLowLimitBelowMin",
                    1,
                    [](CTEC& t) { return t.SetTLowLimit(-99.5f); },
                    false,
                    {},
                    "T low limit (-99.500000) out of range."},
        SCommandRow{"SetTLowLimitOfSensor3",
                    3,
                    [](CTEC& t) { return t.SetTLowLimit(-5.0f, 2); },
                    true,
                    {"TEC:LIM:TLO -5.000000,3"},
                    nullptr},
        SCommandRow{"SetRLowLimitBelowThermistor",
                    1,
                    [](CTEC& t) { return t.SetRLowLimit(0.005f); },
                    false,
                    {},
                    "R low limit (0.005000) out of range."},
        SCommandRow{"SetRHighLimitAboveThermistor",
                    1,
                    [](CTEC& t) { return t.SetRHighLimit(45.5f); },
                    false,
                    {},
                    "R high limit (45.500000) out of range."},
        SCommandRow{
            "SetGainZeroIsPID", 1, [](CTEC& t) { return t.SetGain(0); }, true, {"TEC:GAIN PID"}, nullptr},
        SCommandRow{"SetGain30", 1, [](CTEC& t) { return t.SetGain(30); }, true, {"TEC:GAIN 30"}, nullptr},
        SCommandRow{"SetModeFour", 1, [](CTEC& t) { return t.SetMode(4); }, false, {}, nullptr},
        SCommandRow{"SetModeITE", 1, [](CTEC& t) { return t.SetMode(3); }, true, {":TEC:MODE:ITE"}, nullptr},
        SCommandRow{
            "SetOutputOn", 1, [](CTEC& t) { return t.SetOutput(true); }, true, {"TEC:OUT 1"}, nullptr},
        SCommandRow{"SetTolerance",
                    1,
                    [](CTEC& t) { return t.SetTolerance(0.1f, 5.0f); },
                    true,
                    {"TEC:TOL 0.100000, 5.000000"},
                    nullptr},
        SCommandRow{"SetSensorTypeOfSensor2",
                    3,
                    [](CTEC& t) { return t.SetSensorType(5, 1); },
                    true,
                    {"TEC:SENS 5,2"},
                    nullptr},
        SCommandRow{"SetSensorTypeActive",
                    3,
                    [](CTEC& t) { return t.SetSensorType(5, -1); },
                    true,
                    {"TEC:SENS 5"},
                    nullptr},
        SCommandRow{
            "CableRWithoutTheCapability", 1, [](CTEC& t) { return t.SetCableR(0.25f); }, false, {}, nullptr},
        SCommandRow{"FanWithoutFirmwareSupport",
                    1,
                    [](CTEC& t) { return t.SetFan(FanSlow, 0.0f, 0, 3); },
                    false,
                    {},
                    nullptr},
        SCommandRow{"HeatCoolWithoutStoredValue",
                    1,
                    [](CTEC& t) { return t.SetHeatCool(HeatOnly); },
                    false,
                    {},
                    nullptr},
        SCommandRow{
            "AutoTuneUnsupported", 1, [](CTEC& t) { return t.StartAutoTune(25.0f); }, false, {}, nullptr},
        SCommandRow{"AutoTuneSupported",
                    1,
                    [](CTEC& t)
                    {
                        t.SetAutoTuneSupported(true);
                        return t.StartAutoTune(25.456f);
                    },
                    true,
                    {"TEC:AUTOTUNE 25.46"},
                    nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// Every range-checked setter at each of its bounds, typed as a user types it (a float): the bound
// itself is sent, a value one thousandth outside is refused and nothing goes out.
struct SBoundRow
{
    const char* name;
    int sensorType;                                          // the unit's answer to "SENS?"
    std::vector<std::pair<const char*, const char*>> limits; // the unit's limits that differ from Open's
    std::function<bool(CTEC&, float)> set;
    float bound;
    float outside;
};

class TecBounds : public TecChannel, public ::testing::WithParamInterface<SBoundRow>
{
};

TEST_P(TecBounds, AValueTypedAsTheBoundIsSentAndOneOutsideIsNot)
{
    Open();
    fake.Set("SENS?", std::to_string(GetParam().sensorType));
    for (const auto& [key, answer] : GetParam().limits)
    {
        fake.Set(key, answer);
    }
    auto bag = std::make_unique<CValuesBag>(tec.get());
    ASSERT_TRUE(bag->SetInt(0x480007, 2300, false)); // the model's ITE maximum [mA]
    tec->SetValueBag(std::move(bag));

    EXPECT_TRUE(GetParam().set(*tec, GetParam().bound));
    EXPECT_EQ(CommandLines(fake.Lines()).size(), 1u) << ::testing::PrintToString(fake.Lines());
    fake.ClearLines();
    EXPECT_FALSE(GetParam().set(*tec, GetParam().outside));
    EXPECT_TRUE(CommandLines(fake.Lines()).empty()) << ::testing::PrintToString(fake.Lines());
}

const auto SetT = [](CTEC& t, float v) { return t.SetT(v); };
const auto SetR = [](CTEC& t, float v) { return t.SetR(v); };
const auto SetITE = [](CTEC& t, float v) { return t.SetITE(v); };
const auto SetITELimit = [](CTEC& t, float v) { return t.SetITELimit(v); };
const auto SetTLow = [](CTEC& t, float v) { return t.SetTLowLimit(v); };
const auto SetTHigh = [](CTEC& t, float v) { return t.SetTHighLimit(v); };
const auto SetRLow = [](CTEC& t, float v) { return t.SetRLowLimit(v); };
const auto SetRHigh = [](CTEC& t, float v) { return t.SetRHighLimit(v); };
// Wide R limits, so that only the sensor type's own range bounds the limit being set.
const std::vector<std::pair<const char*, const char*>> kWideR{{"LIM:RLO?", "0.0001"}, {"LIM:RHI?", "100000"}};

// Open's unit: T limits -10..80, R limits 5..40, ITE limit 1.5; family T bounds -99..250.
INSTANTIATE_TEST_SUITE_P(
    Rows, TecBounds,
    ::testing::Values(SBoundRow{"TAtTLowLimit", 1, {}, SetT, -10.0f, -10.001f},
                      SBoundRow{"TAtTHighLimit", 1, {}, SetT, 80.0f, 80.001f},
                      SBoundRow{"TAtFractionalLimit", 1, {{"LIM:THI?", "80.1"}}, SetT, 80.1f, 80.101f},
                      SBoundRow{"RAtRLowLimit", 1, {}, SetR, 5.0f, 4.999f},
                      SBoundRow{"RAtRHighLimit", 1, {}, SetR, 40.0f, 40.001f},
                      SBoundRow{"ITEAtLimit", 1, {}, SetITE, 1.5f, 1.501f},
                      SBoundRow{"ITEAtNegativeLimit", 1, {}, SetITE, -1.5f, -1.501f},
                      SBoundRow{"ITELimitAtZero", 1, {}, SetITELimit, 0.0f, -0.001f},
                      SBoundRow{"ITELimitAtMaximum", 1, {}, SetITELimit, 2.3f, 2.301f},
                      SBoundRow{"TLowLimitAtMinT", 1, {}, SetTLow, -99.0f, -99.001f},
                      SBoundRow{"TLowLimitAtTHighLimit", 1, {}, SetTLow, 80.0f, 80.001f},
                      SBoundRow{"THighLimitAtMaxT", 1, {}, SetTHigh, 250.0f, 250.001f},
                      SBoundRow{"THighLimitAtTLowLimit", 1, {}, SetTHigh, -10.0f, -10.001f},
                      SBoundRow{"RLowLimitAtRHighLimit", 1, {}, SetRLow, 40.0f, 40.001f},
                      SBoundRow{"RHighLimitAtRLowLimit", 1, {}, SetRHigh, 5.0f, 4.999f},
                      SBoundRow{"RLowLimitTherm100uA", 1, kWideR, SetRLow, 0.01f, 0.009f},
                      SBoundRow{"RHighLimitTherm100uA", 1, kWideR, SetRHigh, 45.0f, 45.001f},
                      SBoundRow{"RLowLimitTherm10uA", 2, kWideR, SetRLow, 0.1f, 0.099f},
                      SBoundRow{"RHighLimitTherm10uA", 2, kWideR, SetRHigh, 450.0f, 450.001f},
                      SBoundRow{"RLowLimitLM335", 3, kWideR, SetRLow, 1730.0f, 1729.999f},
                      SBoundRow{"RHighLimitLM335", 3, kWideR, SetRHigh, 4730.0f, 4730.001f},
                      SBoundRow{"RLowLimitAD590", 4, kWideR, SetRLow, 173.0f, 172.999f},
                      SBoundRow{"RHighLimitAD590", 4, kWideR, SetRHigh, 473.0f, 473.001f},
                      SBoundRow{"RLowLimitRTD", 5, kWideR, SetRLow, 20.0f, 19.999f},
                      SBoundRow{"RHighLimitRTD4Wire", 6, kWideR, SetRHigh, 192.0f, 192.001f},
                      SBoundRow{"RLowLimitTherm1mA", 7, kWideR, SetRLow, 0.001f, 0.0f},
                      SBoundRow{"RHighLimitTherm1mA", 7, kWideR, SetRHigh, 4.5f, 4.501f}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TecChannel, CableResistanceGoesOutOnModelsThatHaveIt)
{
    class CTECWithCableR : public CTEC
    {
    public:
        bool SupportsCableR() override { return true; }
    };
    CTECWithCableR cabled;
    ASSERT_TRUE(cabled.GetPort().OpenPortByName(fake.Path(), 38400));
    fake.Set("CABLER?", "0.125");
    EXPECT_TRUE(cabled.SetCableR(0.25f));
    EXPECT_FLOAT_EQ(cabled.GetCableR(), 0.125f);
    EXPECT_EQ(CommandLines(fake.Lines()), std::vector<std::string>{"TEC:CABLER 0.250000"});
    cabled.Disconnect();
}

TEST_F(TecChannel, GainPIDReadsAsZero)
{
    Open();
    EXPECT_EQ(tec->GetGain(), 0);
    fake.Set("GAIN?", "30");
    EXPECT_EQ(tec->GetGain(), 30);
}

TEST_F(TecChannel, ModeSetWhilePollingIsAppliedOnceMoreAtTheEndOfTheNextCycle)
{
    Open();
    StartPolling();
    ASSERT_TRUE(tec->SetMode(TecModeR));
    ASSERT_TRUE(Eventually([&] { return fake.CountLines(":TEC:MODE:R") == 2; }, 5000));
    const std::string outputLine = ":TEC:CHAN?;:TEC:V?;:TEC:OUT?;:TEC:COND?;:TEC:MODE?;";
    const size_t cycles = fake.CountLines(outputLine);
    ASSERT_TRUE(Eventually([&] { return fake.CountLines(outputLine) >= cycles + 3; }, 5000));
    EXPECT_EQ(fake.CountLines(":TEC:MODE:R"), 2u);
}

// A set point is checked against the limits the unit gave last: a Set asks for them only when they are
// not known, are old or were written since, and the poll keeps them fresh.
TEST_F(TecChannel, ASetPointChecksTheLimitsItKeepsAndReadsThemAgainAfterALimitIsWritten)
{
    Open();
    const auto limitReads = [&]
    {
        const std::vector<std::string> lines = fake.Lines();
        return std::count_if(lines.begin(), lines.end(),
                             [](const std::string& line) { return line.find("LIM:THI?") != std::string::npos; });
    };
    EXPECT_TRUE(tec->SetT(30.0f));
    EXPECT_EQ(limitReads(), 1);
    EXPECT_TRUE(tec->SetT(31.0f));
    EXPECT_FALSE(tec->SetT(81.0f)); // out of the kept range: not sent
    EXPECT_EQ(limitReads(), 1);
    EXPECT_EQ(CommandLines(fake.Lines()), (std::vector<std::string>{"TEC:T 30.000000", "TEC:T 31.000000"}));

    EXPECT_TRUE(tec->SetTHighLimit(70.0f));
    const long beforeSet = limitReads();
    EXPECT_TRUE(tec->SetT(32.0f));
    EXPECT_EQ(limitReads(), beforeSet + 1);

    // Once they are old the poll reads them again at the end of a cycle, and the next Set asks nothing.
    StartPolling();
    fake.ClearLines();
    ASSERT_TRUE(Eventually([&] { return limitReads() > 0; }, CTEC::LimitsKeptMs + 5000));
    const std::string outputLine = ":TEC:CHAN?;:TEC:V?;:TEC:OUT?;:TEC:COND?;:TEC:MODE?;";
    const size_t cycles = fake.CountLines(outputLine);
    ASSERT_TRUE(Eventually([&] { return fake.CountLines(outputLine) > cycles; }, 5000));
    fake.ClearLines();
    EXPECT_TRUE(tec->SetT(33.0f));
    EXPECT_EQ(limitReads(), 0);
    EXPECT_EQ(fake.CountLines("TEC:T 33.000000"), 1u);
}

TEST_F(TecChannel, UserInterfaceCallsWhilePollingGoThroughTheBackgroundThread)
{
    Open();
    StartPolling();
    EXPECT_TRUE(tec->SetT(30.0f));
    EXPECT_EQ(fake.CountLines("TEC:T 30.000000"), 1u);
    EXPECT_FLOAT_EQ(tec->GetTHighLimit(), 80.0f);
    EXPECT_EQ(tec->GetFailedPolls(), 0);
}

struct SGateRow
{
    const char* version;
    const char* revision;
    bool readsAtConnect;
    bool featureFlag;
};

class TecConnectGates : public TecChannel, public ::testing::WithParamInterface<SGateRow>
{
};

TEST_P(TecConnectGates, FollowTheFirmwareVersionAndBuild)
{
    Open();
    const std::pair<const char*, const char*> identity[] = {{"*IDN?", "Tamrix Instruments,K760,0,v2"},
                                                            {"REV?", GetParam().revision},
                                                            {"SN?", "K760-001"},
                                                            {"MODEL?", "K760"},
                                                            {"VER?", GetParam().version},
                                                            {"BUILD?", "B50"},
                                                            {"CALDATE?", "2026-01-01"}};
    for (const auto& [key, answer] : identity)
    {
        fake.Set(key, answer);
    }
    tec->SetDefaultTimeout(150); // the identification's drain waits for silence
    ASSERT_TRUE(tec->Identify(true));
    EXPECT_EQ(tec->GetFirmwareFeatureFlag(), GetParam().featureFlag);
    EXPECT_EQ(fake.CountLines(":TEC:MODE?") + fake.CountLines(":TEC:T?"),
              GetParam().readsAtConnect ? 2u : 0u);
    EXPECT_EQ(tec->GetPrecision(TecQuantityT), GetParam().readsAtConnect ? 3 : 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, TecConnectGates,
                         ::testing::Values(SGateRow{"v2.4.9", "2.4.5.43", true, true},
                                           SGateRow{"v2.4.9", "2.4.5.42", true, false},
                                           SGateRow{"v3.4.0", "2.4.5.60", true, true},
                                           SGateRow{"v3.3.0", "2.4.5.60", true, false},
                                           SGateRow{"v1.4.0", "2.4.5.60", false, false}));
} // namespace
