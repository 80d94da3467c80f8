// The TEC command set through the engine's in-process interface, with simulated time run by hand.
#include "SimEngine.h"
#include "SimModelTable.h"
#include "SimText.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace
{
SSimModel Model(const std::string& name)
{
    const SSimModel* model = CSimModelTable::Find(name);
    EXPECT_NE(model, nullptr) << name;
    return model ? *model : SSimModel{};
}

// An engine whose clock moves only when the test says so.
struct SManualEngine
{
    explicit SManualEngine(SSimModel model) : engine(std::move(model)) { engine.SetManualTime(true); }
    CSimEngine engine;
};

size_t Decimals(const std::string& field)
{
    const size_t dot = field.find('.');
    return dot == std::string::npos ? 0 : field.size() - dot - 1;
}

std::vector<std::string> Fields(const std::string& reply)
{
    std::vector<std::string> out;
    for (std::string_view field : simtext::SplitArgs(reply))
        out.emplace_back(field);
    return out;
}

TEST(TecCommands, StatusPollIsAnsweredWithPerQuantityDecimals)
{
    SManualEngine unit(Model("K705"));
    CSimEngine& e = unit.engine;
    const auto first = Fields(e.Request(":TEC:CHAN?;ITE?;R?;T?;SET:ITE?;SET:R?;SET:T?;ERR?"));
    ASSERT_EQ(first.size(), 8u);
    EXPECT_EQ(first[0], "0");          // a single channel answers 0
    EXPECT_EQ(Decimals(first[1]), 3u); // ITE [A]
    EXPECT_EQ(Decimals(first[2]), 1u); // R in Ω on this unit
    EXPECT_EQ(Decimals(first[3]), 3u); // T [°C]
    EXPECT_EQ(first[7], "0");
    const auto third =
        Fields(e.Request(":TEC:CHAN?;:TEC:V?;:TEC:OUT?;:TEC:COND?;:TEC:ANALOG:ENAB?;:TEC:MODE?"));
    ASSERT_EQ(third.size(), 6u);
    EXPECT_EQ(third[2], "0");
    EXPECT_EQ(third[4], "0"); // no analog interface, yet the poll's query is answered
    EXPECT_EQ(third[5], "T");

    SManualEngine k760(Model("K760"));
    const auto sensors =
        Fields(k760.engine.Request(":TEC:CHAN?;:TEC:ACTIVESEN?;R? 1;R? 2;R? 3;R? 4;T? 1;T? 4;TEC:SENS? 3"));
    ASSERT_EQ(sensors.size(), 9u);
    EXPECT_EQ(sensors[1], "1");
    EXPECT_EQ(Decimals(sensors[2]), 4u); // thermistor [kΩ]
    EXPECT_EQ(Decimals(sensors[4]), 3u); // RTD [Ω]
    EXPECT_EQ(sensors[7], "-999.000");   // an input without a probe
    EXPECT_EQ(sensors[8], "5");
}

struct SRoundTrip
{
    const char* set;
    const char* query;
    const char* expected;
    const char* outOfRange;
};

class TecRoundTrip : public ::testing::TestWithParam<SRoundTrip>
{
};

INSTANTIATE_TEST_SUITE_P(
    Settings, TecRoundTrip,
    ::testing::Values(
        SRoundTrip{"TEC:T 30.5", "TEC:SET:T?", "30.500", "TEC:T 500"},
        SRoundTrip{"TEC:LIM:ITE 1.25", "TEC:LIM:ITE?", "1.250", "TEC:LIM:ITE 7"},
        SRoundTrip{"TEC:LIM:THI 60,2", "TEC:LIM:THI? 2", "60.000", "TEC:LIM:THI 400,2"},
        SRoundTrip{"TEC:LIM:RLO 1.5", "TEC:LIM:RLO?", "1.5000", "TEC:LIM:RLO 0.01"},
        SRoundTrip{"TEC:TOL 0.2, 10", "TEC:TOL?", "0.200, 10.0", "TEC:TOL 0.2, 60"},
        SRoundTrip{"TEC:GAIN 30", "TEC:GAIN?", "30", "TEC:GAIN 31"},
        SRoundTrip{"TEC:GAIN PID", "TEC:GAIN?", "PID", "TEC:GAIN 0"},
        SRoundTrip{"TEC:PID 2.5, 0.1, 3", "TEC:PID?", "2.5000, 0.1000, 3.0000", "TEC:PID 2.5, 0.1, 3000"},
        SRoundTrip{"TEC:FAN SLOW, 3, 10", "TEC:FAN?", "SLOW, 3, 10", "TEC:FAN 13.5, 1, 1"},
        SRoundTrip{"TEC:FAN 7.25, 2, 1", "TEC:FAN?", "7.2, 2, 1", "TEC:FAN FAST, 9, 1"},
        SRoundTrip{"TEC:HEATCOOL COOL", "TEC:HEATCOOL?", "COOL", "TEC:HEATCOOL 3"},
        SRoundTrip{"TEC:SENS 5,2", "TEC:SENS? 2", "5", "TEC:SENS 3,2"},
        SRoundTrip{"TEC:CONSTIDX 1,1,1.1,2.2,0.9", "TEC:CONSTIDX? 1,1", "1.100000, 2.200000, 0.9000000",
                   "TEC:CONSTIDX 1,5,1,2,3,0"},
        SRoundTrip{"TEC:ENAB:OUTOFF 1241", "TEC:ENAB:OUTOFF?", "1241", "TEC:ENAB:OUTOFF 70000"}));

TEST_P(TecRoundTrip, SetThenQueryAndRefuseOutOfRange)
{
    const SRoundTrip row = GetParam();
    SManualEngine unit(Model("K760"));
    CSimEngine& e = unit.engine;
    EXPECT_EQ(e.Request(std::string(row.set) + ";ERR?"), "0");
    EXPECT_EQ(e.Request(row.query), row.expected);
    // Refused with 201 (124 for a word the unit does not know), the setting unchanged.
    const std::string errors = e.Request(std::string(row.outOfRange) + ";ERR?");
    EXPECT_TRUE(errors == "201" || errors == "124") << errors;
    EXPECT_EQ(e.Request(row.query), row.expected);
}

TEST(TecCommands, CapabilitiesGateTheirCommands)
{
    SSimModel bare = Model("K910");
    bare.fan = bare.heatCool = bare.autoTune = bare.cableR = false;
    SManualEngine unit(bare);
    EXPECT_EQ(unit.engine.Request("TEC:FAN OFF, 1, 1;TEC:HEATCOOL?;TEC:AUTOTUNE 30.00;TEC:CABLER?;ERR?"),
              "123,123,123,123");
    EXPECT_EQ(unit.engine.Request("TEC:CONSTIDX? 1,1;ERR?"), "123"); // one sensor: constants live in memory

    SManualEngine laser(Model("D310"));
    EXPECT_EQ(laser.engine.Request("TEC:T?;ERR?"), "123");
}

// The program asks for the heat/cool restriction exactly when the unit stores it: every model that
// stores it answers the command, and no other does.
TEST(TecCommands, HeatCoolIsStoredExactlyWhereItIsAnswered)
{
    for (const SSimModel& model : CSimModelTable::All())
    {
        const bool stored = std::any_of(model.memory.begin(), model.memory.end(),
                                        [](const SSimKeyDef& key) { return key.key == 0x470009; });
        EXPECT_EQ(stored, model.heatCool) << model.name;
        if (model.tecChannels == 0)
            continue;
        SManualEngine unit(model);
        const std::string reply = unit.engine.Request("TEC:HEATCOOL?;ERR?");
        EXPECT_EQ(reply, model.heatCool ? "BOTH,0" : "123") << model.name;
    }
    for (const char* name : {"K760", "K196", "K910", "K19-2", "X510", "X19"})
        EXPECT_TRUE(Model(name).heatCool) << name;
    for (const char* name : {"K705", "M609", "M607", "OEM"})
        EXPECT_FALSE(Model(name).heatCool) << name;
}

TEST(TecCommands, SetPointIsReachedAsSimulatedTimePasses)
{
    SManualEngine unit(Model("K760"));
    CSimEngine& e = unit.engine;
    EXPECT_EQ(e.Request("TEC:T 35;TEC:OUT 1;ERR?"), "0");
    e.AdvanceTime(240.0);
    EXPECT_NEAR(*simtext::ToDouble(e.Request("TEC:T?")), 35.0, 0.02);
    EXPECT_GT(*simtext::ToDouble(e.Request("TEC:ITE?")), 0.1);
    e.Request("TEC:OUT 0");
    e.AdvanceTime(600.0);
    EXPECT_NEAR(*simtext::ToDouble(e.Request("TEC:T?")), 25.0, 0.1);
}

TEST(TecCommands, AutoTuneRunsToSuccessAndIsRefusedOutsideTMode)
{
    SManualEngine unit(Model("K760"));
    CSimEngine& e = unit.engine;
    EXPECT_EQ(e.Request("TEC:MODE:ITE;TEC:AUTOTUNE 30.00;ERR?"), "437");
    EXPECT_EQ(e.Request("TEC:AUTOTUNE?"), "0");

    e.Request("TEC:MODE:T;TEC:GAIN 10");
    e.Request("TEC:AUTOTUNE 40.00");
    EXPECT_EQ(e.Request("TEC:AUTOTUNE?;ERR?"), "1,0");
    int progress = 0;
    for (int i = 0; i < 200 && e.Request("TEC:AUTOTUNE?") == "1"; ++i)
    {
        e.AdvanceTime(5.0);
        const int now = static_cast<int>(*simtext::ToInt(e.Request("TEC:AUTOTUNESTATE?")));
        EXPECT_GE(now, progress);
        progress = now;
    }
    EXPECT_EQ(e.Request("TEC:AUTOTUNE?;TEC:AUTOTUNESTATE?;TEC:GAIN?"), "3,500,PID");
    EXPECT_NE(e.Request("TEC:PID?"), "1.2000, 0.0600, 2.0000"); // the factory PID was replaced
    e.AdvanceTime(1.0);
    // The unit keeps the PID it found in its stored values.
    EXPECT_EQ(Fields(e.Request("TEC:PID?"))[0].substr(0, 4),
              simtext::Fixed(*e.WithUnit([](CSimUnit& u) { return u.Memory().GetNumber(0x470028); }), 4)
                  .substr(0, 4));
}

TEST(TecCommands, InjectedSensorFaultQueuesItsErrorOnce)
{
    SManualEngine unit(Model("K760"));
    CSimEngine& e = unit.engine;
    e.Request("TEC:T 30;TEC:OUT 1");
    e.AdvanceTime(5.0);
    e.WithUnit([](CSimUnit& u) { u.SetSensorFault(0, ESimSensorFault::Open); });
    e.AdvanceTime(1.0);
    EXPECT_EQ(e.Request("TEC:OUT?;ERR?"), "0,402");
    EXPECT_EQ(*simtext::ToInt(e.Request("TEC:COND?")) & 0x40, 0x40);
    EXPECT_EQ(e.Request("TEC:OUT 1;ERR?"), "402");
    e.WithUnit([](CSimUnit& u) { u.SetSensorFault(0, ESimSensorFault::None); });
    e.AdvanceTime(0.1);
    EXPECT_EQ(e.Request("TEC:OUT 1;TEC:OUT?;ERR?"), "1,0");
}
TEST(TecCommands, SensorBoundsFollowTheModel)
{
    // One span in ohms for every sensor type on the K705.
    SManualEngine k705(Model("K705"));
    EXPECT_EQ(k705.engine.Request("TEC:LIM:RLO 10;TEC:LIM:RHI 450000;ERR?"), "0");
    EXPECT_EQ(k705.engine.Request("TEC:LIM:RLO 9;ERR?"), "201");

    // Build 330 measures the LM335 only to 4250 mV, later builds to 4730 mV.
    SManualEngine k196(Model("K196"));
    EXPECT_EQ(k196.engine.Request("TEC:SENS 3;TEC:LIM:RHI?;TEC:LIM:RHI 4300;ERR?"), "4250.0,201");
    SManualEngine k760(Model("K760"));
    EXPECT_EQ(k760.engine.Request("TEC:SENS 3;TEC:LIM:RHI 4700;TEC:R?;ERR?"), "2981.5,0");
}

TEST(TecCommands, ChannelsOfOneUnitRunApart)
{
    SManualEngine unit(Model("M609"));
    CSimEngine& e = unit.engine;
    EXPECT_EQ(e.Request("TEC:CHAN 2;TEC:T 40;TEC:OUT 1;ERR?"), "0");
    e.AdvanceTime(300.0);
    EXPECT_NEAR(*simtext::ToDouble(e.Request("TEC:T?")), 40.0, 0.05);
    EXPECT_EQ(e.Request("TEC:CHAN 1;TEC:OUT?;TEC:T?"), "0,25.000");
}

TEST(TecCommands, SingleSensorUnitsConvertWithTheStoredConstants)
{
    SManualEngine unit(Model("K910"));
    CSimEngine& e = unit.engine;
    e.AdvanceTime(1.0);
    const double before = *simtext::ToDouble(e.Request("TEC:R?"));
    // A 5 kΩ thermistor's constants written the way the program writes them: into the stored values.
    e.WithUnit(
        [](CSimUnit& u)
        {
            u.Memory().SetNumber(0x47001D, 1.2876e-3);
            u.Memory().SetNumber(0x47001E, 2.357e-4);
            u.Memory().SetNumber(0x47001F, 0.9504e-7);
        });
    e.AdvanceTime(1.0);
    EXPECT_NEAR(before, 10.0, 0.2);
    EXPECT_NEAR(*simtext::ToDouble(e.Request("TEC:R?")), 5.0, 0.2);
    EXPECT_EQ(e.Request("TEC:T?"), "25.000"); // the mount did not change, only the curve
}
} // namespace
