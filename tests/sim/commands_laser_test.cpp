// The laser and lamp-supply command sets through the engine's in-process interface.
#include "SimEngine.h"
#include "SimModelTable.h"
#include "SimText.h"

#include <gtest/gtest.h>
#include <memory>

namespace
{
// An engine whose clock moves only when the test says so.
std::unique_ptr<CSimEngine> Engine(const std::string& name)
{
    const SSimModel* model = CSimModelTable::Find(name);
    EXPECT_NE(model, nullptr) << name;
    auto engine = std::make_unique<CSimEngine>(model ? *model : SSimModel{});
    engine->SetManualTime(true);
    return engine;
}

std::vector<std::string> Fields(const std::string& reply)
{
    std::vector<std::string> out;
    for (std::string_view field : simtext::SplitArgs(reply))
        out.emplace_back(field);
    return out;
}

size_t Decimals(const std::string& field)
{
    const size_t dot = field.find('.');
    return dot == std::string::npos ? 0 : field.size() - dot - 1;
}

double Value(CSimEngine& e, const std::string& query)
{
    return simtext::ToDouble(e.Request(query)).value_or(-1e9);
}

TEST(LaserCommands, StatusPollIsAnsweredWithPerQuantityDecimals)
{
    const auto eUnit = Engine("D310");
    CSimEngine& e = *eUnit;
    EXPECT_EQ(e.Request("LAS:LDI 120;LAS:OUT 1;ERR?"), "0");
    e.AdvanceTime(0.1);
    const auto f =
        Fields(e.Request(":LAS:CHAN?;:LAS:I?;:LAS:SET:I?;:LAS:MDI?;:LAS:SET:MDI?;:LAS:MDP?;:LAS:SET:MDP?;"
                         ":LAS:LDV?;:LAS:SET:LDV?;:LAS:OUT?;:LAS:MODE?;:LAS:VBULK?;ERR?"));
    ASSERT_EQ(f.size(), 13u);
    EXPECT_EQ(f[1], "120.00");     // LDI [mA], a 500 mA driver
    EXPECT_EQ(Decimals(f[3]), 1u); // MDI [µA]
    EXPECT_EQ(Decimals(f[5]), 3u); // MDP [mW]
    EXPECT_EQ(Decimals(f[7]), 3u); // LDV [V]
    EXPECT_EQ(f[9], "1");
    EXPECT_EQ(f[10], "ILBW");
    EXPECT_EQ(f[12], "0");
    EXPECT_GT(*simtext::ToDouble(f[5]), 50.0); // well above threshold the diode lases

    const auto bigUnit = Engine("D560");
    CSimEngine& big = *bigUnit; // a 16 A driver reports whole milliamperes
    EXPECT_EQ(Decimals(big.Request("LAS:SET:LDI?")), 0u);
}

struct SRoundTrip
{
    const char* model;
    const char* set;
    const char* query;
    const char* expected;
    const char* refused; // queues 201 and leaves the value
};

class LaserRoundTrip : public ::testing::TestWithParam<SRoundTrip>
{
};

INSTANTIATE_TEST_SUITE_P(
    Settings, LaserRoundTrip,
    ::testing::Values(SRoundTrip{"D310", "LAS:LIM:LDI 150", "LAS:LIM:LDI?", "150.00", "LAS:LIM:LDI 900"},
                      SRoundTrip{"D310", "LAS:LDV 1.5", "LAS:SET:LDV?", "1.500", "LAS:LDV 4"},
                      SRoundTrip{"D310", "LAS:ENAB:COND 5s", "LAS:ENAB:COND?", "5", "LAS:ENAB:COND 70000s"},
                      SRoundTrip{"D310", "LAS:TOL 0.5, 2", "LAS:TOL?", "0.50, 2.0", "LAS:TOL 0.5, 99"},
                      SRoundTrip{"D310", "LAS:MODE:BURST", "LAS:MODE?", "BURST", "LAS:F 2000"},
                      SRoundTrip{"D310", "LAS:MODE:PULSE;LAS:F 100.0", "LAS:DC?", "1.0", "LAS:PWF 20.000"},
                      SRoundTrip{"D312", "LAS:RANGE 0", "LAS:RANGE?", "0", "LAS:RANGE 2"},
                      SRoundTrip{"X510", "LAS:QCWLOW 10", "LAS:QCWLOW?", "10.0", "LAS:QCWLOW 5000"},
                      SRoundTrip{"X510", "ONDELAY 250", "ONDELAY?", "250", "ONDELAY 40000"},
                      SRoundTrip{"LPS", "LPS:I 2.5", "LPS:SET:I?", "2.5000", "LPS:I 9"},
                      SRoundTrip{"LPS", "LPS:LIM:V 24.000", "LPS:LIM:V?", "24.000", "LPS:LIM:V 31"},
                      SRoundTrip{"LPS", "LPS:IRATE 0.50", "LPS:IRATE?", "0.50", "LPS:IRATE 0"}));

TEST_P(LaserRoundTrip, SetThenQueryAndRefuseOutOfRange)
{
    const SRoundTrip row = GetParam();
    const auto eUnit = Engine(row.model);
    CSimEngine& e = *eUnit;
    EXPECT_EQ(e.Request(std::string(row.set) + ";ERR?"), "0");
    EXPECT_EQ(e.Request(row.query), row.expected);
    EXPECT_EQ(e.Request(std::string(row.refused) + ";ERR?"), "201");
    EXPECT_EQ(e.Request(row.query), row.expected);
}

TEST(LaserCommands, ModelCapabilitiesGateCommands)
{
    const auto d312Unit = Engine("D312");
    CSimEngine& d312 = *d312Unit; // no pulse modes
    EXPECT_EQ(d312.Request("LAS:F?;LAS:MODE:PULSE;LAS:QCWLOW?;ERR?"), "123,201,123");
    EXPECT_EQ(d312.Request("LAS:MODE?"), "ILBW");
    const auto d310Unit = Engine("D310");
    CSimEngine& d310 = *d310Unit;
    EXPECT_EQ(d310.Request("LAS:RANGE 0;ERR?"), "123");
    const auto tecUnit = Engine("K760");
    CSimEngine& tec = *tecUnit;
    EXPECT_EQ(tec.Request("LAS:LDI?;LPS:I?;ERR?"), "123,123");
}

TEST(LaserCommands, CombinedUnitSeesItsTec)
{
    const auto eUnit = Engine("X510");
    CSimEngine& e = *eUnit;
    e.Request("LAS:ENAB:OUTOFF 1024;LAS:LDI 100;LAS:OUT 1"); // "TEC Off" turns the laser off
    e.AdvanceTime(0.1);
    EXPECT_EQ(e.Request("LAS:OUT?;ERR?"), "0,508");
    e.Request("TEC:T 20;TEC:OUT 1;LAS:OUT 1");
    e.AdvanceTime(120.0);
    EXPECT_EQ(e.Request("LAS:OUT?;ERR?"), "1,0");
    const double coolPower = Value(e, "LAS:MDP?");
    e.Request("TEC:T 40");
    e.AdvanceTime(120.0);
    EXPECT_LT(Value(e, "LAS:MDP?"), coolPower); // a warmer diode lases less at the same current
}

TEST(LaserCommands, ExtendedResolutionAndFactorySteps)
{
    const auto eUnit = Engine("D710");
    CSimEngine& e = *eUnit;
    EXPECT_EQ(Decimals(e.Request("SETEXTENDEDRES 1;LAS:LIM:LDV?;SETEXTENDEDRES 0")), 5u);
    EXPECT_EQ(Decimals(e.Request("LAS:LIM:LDV?")), 3u);
    EXPECT_EQ(e.Request("LAS:CAL:LDX;LAS:CAL:LDX?;LAS:CAL:VBULK 2;LAS:CAL:VBULK?"), "1,2");
    EXPECT_EQ(e.Request("LAS:CAL:CANCEL;ERR?"), "535");
    EXPECT_EQ(e.Request("LAS:CAL:LDX?;dac 2,1023;dac 3,5000;ERR?"), "0,201");
}

TEST(LpsCommands, PollAndRampOnTheSelectedChannel)
{
    const auto eUnit = Engine("LPS-4");
    CSimEngine& e = *eUnit;
    EXPECT_EQ(e.Request("LPS:CHAN 3;LPS:IRATE 1.00;LPS:I 6.5;LPS:OUT 1;ERR?"), "0");
    e.AdvanceTime(2.0);
    const auto f =
        Fields(e.Request(":LPS:I?;:LPS:SET:I?;:LPS:V?;:LPS:SET:V?;:LPS:OUT?;:LPS:MODE?;:LPS:VBULK?;ERR?"));
    ASSERT_EQ(f.size(), 8u);
    EXPECT_NEAR(*simtext::ToDouble(f[0]), 2.0, 1e-3); // ramping at 1 A/s
    EXPECT_EQ(Decimals(f[0]), 4u);
    EXPECT_EQ(Decimals(f[2]), 3u);
    EXPECT_EQ(f[4], "1");
    EXPECT_EQ(f[5], "I");
    EXPECT_EQ(e.Request("LPS:MODE:V;ERR?"), "686"); // not while the output is on
    EXPECT_EQ(e.Request("LPS:CHAN 1;LPS:OUT?;LPS:I?"), "0,0.0000");
}
TEST(LaserCommands, PowerAndVoltageModesRegulateThroughTheWire)
{
    const auto unit = Engine("D310");
    CSimEngine& e = *unit;
    EXPECT_EQ(e.Request("LAS:MODE:MDP;LAS:MDP 20;LAS:OUT 1;ERR?"), "0");
    e.AdvanceTime(0.1);
    EXPECT_EQ(e.Request("LAS:MDP?"), "20.000");
    const double ldi = Value(e, "LAS:LDI?");
    EXPECT_GT(ldi, 30.0); // above threshold
    EXPECT_EQ(e.Request("LAS:MODE:LDV;LAS:VSENSE 1;LAS:LDV 1.5;ERR?"), "0");
    e.AdvanceTime(0.1);
    EXPECT_EQ(e.Request("LAS:LDV?"), "1.500");
}

// The QCW dialog's order for a pulse width that grows while the duty cycle is held: an intermediate
// width valid for both the old and the new timing, the duty cycle, then the new width.
TEST(LaserCommands, PulseTimingAcceptsTheDialogsWriteOrder)
{
    const auto unit = Engine("M618");
    CSimEngine& e = *unit;
    EXPECT_EQ(e.Request("LAS:MODE:PULSE;LAS:F 1000.0;LAS:PWF 0.100;ERR?"), "0");
    const double oldDuty = Value(e, "LAS:DC?");
    ASSERT_DOUBLE_EQ(oldDuty, 10.0);
    const std::string intermediate = simtext::Fixed((oldDuty / 1.2) * 10.0 - 0.001, 3);
    EXPECT_EQ(e.Request("LAS:PWP " + intermediate + ";LAS:DC 20.0;LAS:PWP 0.400;ERR?"), "0");
    EXPECT_EQ(e.Request("LAS:PW?;LAS:DC?;LAS:F?"), "0.400,20.0,500.0");
    // Straight to a width the old frequency cannot carry: refused, nothing changed.
    EXPECT_EQ(e.Request("LAS:PWF 5.000;ERR?;LAS:PW?"), "201,0.400");
}
} // namespace
