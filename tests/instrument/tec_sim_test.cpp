// A TEC channel connected to simulated units, end to end: identification with the firmware gates,
// the poll lines as the unit received them, and a set point reached by the unit's control loop.
#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "commands/SimTecBank.h"
#include "instrument/tec/TEC.h"
#include "support/Eventually.h"

#include <chrono>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace
{
using namespace std::chrono_literals;

class CTECWithSensors : public CTEC
{
public:
    explicit CTECWithSensors(int sensors) : m_sensors(sensors) {}
    int GetSensorCount() const override { return m_sensors; }

private:
    int m_sensors;
};

struct SSimRow
{
    const char* model;
    int sensors;
    bool tcp;
    int portNumber; // unique per case: cases may run in parallel
    bool featureFlag;
    const char* sensorLine; // the multi-sensor poll line, or "" when none is due
};

class TecOnSimulator : public ::testing::TestWithParam<SSimRow>
{
protected:
    void SetUp() override
    {
        sim = CSimInstrument::Create(GetParam().model);
        ASSERT_TRUE(sim);
        std::string error;
        std::string descriptor;
        if (GetParam().tcp)
        {
            ASSERT_TRUE(sim->StartTcp("127.0.0.1", 0, error)) << error;
            descriptor = "TCP:127.0.0.1:" + std::to_string(sim->TcpPort());
        }
        else
        {
            ASSERT_TRUE(sim->StartPty("", error)) << error;
            ASSERT_TRUE(CPortResolver::Register(GetParam().portNumber, sim->PtyPath()));
            descriptor = "COM:" + std::to_string(GetParam().portNumber) + ":38400";
        }
        tec = std::make_unique<CTECWithSensors>(GetParam().sensors);
        ASSERT_TRUE(tec->Connect(descriptor));
    }

    void TearDown() override
    {
        if (tec)
        {
            tec->Disconnect();
        }
        if (sim)
        {
            sim->Stop();
        }
        CPortResolver::Unregister(GetParam().portNumber);
    }

    double PlantTemperature()
    {
        return sim->Engine().WithUnit([](CSimUnit& unit)
                                      { return unit.Part<CSimTecBank>().Channel(0).GetTemperature(); });
    }

    std::unique_ptr<CSimInstrument> sim;
    std::unique_ptr<CTEC> tec;
};

TEST_P(TecOnSimulator, ConnectsPollsAndReachesTheSetPoint)
{
    // Identification read mode, output and one of each reading, with the unit's own precision.
    EXPECT_EQ(tec->GetFirmwareFeatureFlag(), GetParam().featureFlag);
    EXPECT_EQ(tec->GetMode(), TecModeT);
    EXPECT_GT(tec->GetPrecision(TecQuantityT), 0);
    EXPECT_GT(tec->GetPrecision(TecQuantityV), 0);

    const float target = 32.0f;
    ASSERT_TRUE(tec->SetT(target));
    ASSERT_TRUE(tec->SetOutput(true));
    sim->Engine().SetTimeScale(20.0);
    const size_t linesBefore = sim->Log().Count();
    ASSERT_TRUE(tec->StartBackgroundThread(0));

    // Readings follow the plant as it warms from ambient, and every cycle is accepted.
    float first = CTEC::NoValue;
    bool failed = false;
    const bool reached = Eventually(
        [&]
        {
            failed = failed || tec->GetFailedPolls() != 0;
            if (!tec->GetUserFlag())
            {
                return false;
            }
            const float t = tec->GetT();
            if (first == CTEC::NoValue)
            {
                first = t;
            }
            return std::fabs(t - target) < 0.05f;
        },
        30000);
    ASSERT_TRUE(reached) << "last T " << tec->GetT() << ", plant " << PlantTemperature();
    EXPECT_FALSE(failed);
    EXPECT_LT(first, target - 1.0f);
    EXPECT_FLOAT_EQ(tec->GetSetPoint(), target);
    EXPECT_TRUE(tec->GetOutput());

    // Held at the set point, the polled value and its average are the plant's.
    sim->Engine().SetTimeScale(1.0);
    tec->ClearUserFlag();
    ASSERT_TRUE(Eventually([&] { return tec->GetUserFlag(); }, 5000));
    EXPECT_NEAR(tec->GetT(), PlantTemperature(), 0.05);
    // The average still holds readings from the approach until ten held ones have replaced them.
    EXPECT_TRUE(Eventually([&] { return std::fabs(tec->GetT(true) - target) < 0.1f; }, 10000))
        << "average T " << tec->GetT(true);
    EXPECT_EQ(tec->GetFailedPolls(), 0);

    EXPECT_GE(sim->Log().WaitForText(":TEC:CHAN?;ITE?;", 2000ms, linesBefore), 0);
    if (*GetParam().sensorLine)
    {
        EXPECT_GE(sim->Log().WaitForText(GetParam().sensorLine, 2000ms, linesBefore), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Models, TecOnSimulator,
    ::testing::Values(
        SSimRow{"K760", 7, false, 231, true,
                ":TEC:CHAN?;:TEC:ACTIVESEN?;R? 1;R? 2;R? 3;R? 4;R? 5;R? 6;R? 7;T? 1;T? 2;T? 3;T? 4;"
                "T? 5;T? 6;T? 7;ERR?"},
        SSimRow{"K910", 1, true, 232, true, ""}),
    [](const auto& info)
    { return std::string(info.param.model) + (info.param.tcp ? "OverTcp" : "OverPty"); });
// A TEC on a simulated unit whose port is open but not yet connected, so that the replies it gets are
// counted from the first (the unit's drop-every fault counts replies).
class TecFaultOnSimulator : public ::testing::Test
{
protected:
    static constexpr int kPortNumber = 124;

    void SetUp() override
    {
        sim = CSimInstrument::Create("K760");
        ASSERT_TRUE(sim);
        std::string error;
        ASSERT_TRUE(sim->StartPty("", error)) << error;
        ASSERT_TRUE(CPortResolver::Register(kPortNumber, sim->PtyPath()));
        tec.SetDefaultTimeout(300);
    }
    void TearDown() override
    {
        tec.Disconnect();
        sim->Stop();
        CPortResolver::Unregister(kPortNumber);
    }
    std::string Descriptor() const { return "COM:" + std::to_string(kPortNumber) + ":38400"; }

    std::unique_ptr<CSimInstrument> sim;
    CTEC tec;
};

// The third reply (":TEC:T?") is lost: V is still asked and its precision recorded, then the error
// queue is read, and the result says that not every reading came.
TEST_F(TecFaultOnSimulator, ReadAllReadingsAsksEveryReadingAfterALostOne)
{
    ASSERT_TRUE(tec.GetPort().OpenDescriptor(Descriptor()));
    sim->Faults().dropEvery = 3;
    EXPECT_FALSE(tec.ReadAllReadings());
    const std::vector<std::string> lines = sim->Log().Lines();
    const std::vector<std::string> expected{":TEC:ITE?", ":TEC:R?", ":TEC:T?", ":TEC:V?", "ERR?"};
    EXPECT_EQ(lines, expected);
    EXPECT_NE(tec.GetV(), CTEC::NoValue);
    EXPECT_EQ(tec.GetPrecision(TecQuantityV), 3);
}

// The analog set-point input of a unit that has one, set and read back through the channel.
class TecAnalogOnSimulator : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim = CSimInstrument::Create("K760");
        ASSERT_TRUE(sim);
        std::string error;
        ASSERT_TRUE(sim->StartTcp("127.0.0.1", 0, error)) << error;
        tec.SetDefaultTimeout(500);
        ASSERT_TRUE(tec.Connect("TCP:127.0.0.1:" + std::to_string(sim->TcpPort())));
    }
    void TearDown() override
    {
        tec.Disconnect();
        sim->Stop();
    }
    // The index of the first line received from `from` on that starts with the text; -1 when none.
    long Received(const std::string& prefix, size_t from) const
    {
        return sim->Log().WaitFor([&](const std::string& line) { return line.rfind(prefix, 0) == 0; }, 0ms,
                                  from);
    }

    std::unique_ptr<CSimInstrument> sim;
    CTEC tec;
};

// The analog input's settings as the unit holds them: 0 to 2.5 V maps onto tsetAt0V..tsetAt2V5.
struct SAnalogSetup
{
    bool enabled = false;
    int sensitivity = AnalogSensitivity1C;
    double tsetAt0V = 0.0;
    double tsetAt2V5 = 0.0;
};

// All four values; false (setup untouched) unless every one was read.
bool ReadAnalogSetup(CTEC& tec, SAnalogSetup& setup)
{
    SAnalogSetup read;
    if (!tec.GetAnalogEnable(read.enabled) || !tec.GetAnalogSensitivity(read.sensitivity) ||
        !tec.GetAnalogTsetAt0V(read.tsetAt0V) || !tec.GetAnalogTsetAt2V5(read.tsetAt2V5))
        return false;
    setup = read;
    return true;
}

struct SAnalogWrite
{
    const char* name;
    std::function<bool(CTEC&)> write;
    bool accepted;
    const char* line; // what the unit receives; nullptr when nothing may be sent
    SAnalogSetup after;
};

TEST_F(TecAnalogOnSimulator, SettersSendWhatTheUnitKeepsAndRefusalsFail)
{
    // The unit starts disabled, at 0.1 °C resolution, 0 °C at 0 V and 50 °C at 2.5 V.
    const std::vector<SAnalogWrite> cases{
        {"enable",
         [](CTEC& t) { return t.SetAnalogEnable(true); },
         true,
         "TEC:ANALOG:ENAB 1",
         {true, 1, 0.0, 50.0}},
        {"finest sensitivity",
         [](CTEC& t) { return t.SetAnalogSensitivity(2); },
         true,
         "TEC:ANALOG:SENS 2",
         {true, 2, 0.0, 50.0}},
        {"no such sensitivity",
         [](CTEC& t) { return t.SetAnalogSensitivity(3); },
         false,
         nullptr,
         {true, 2, 0.0, 50.0}},
        {"negative 0 V set point",
         [](CTEC& t) { return t.SetAnalogTsetAt0V(-5.25); },
         true,
         "TEC:ANALOG:TLO -5.250",
         {true, 2, -5.25, 50.0}},
        {"2.5 V set point",
         [](CTEC& t) { return t.SetAnalogTsetAt2V5(80.125); },
         true,
         "TEC:ANALOG:THI 80.125",
         {true, 2, -5.25, 80.125}},
        {"beyond the unit's T bounds",
         [](CTEC& t) { return t.SetAnalogTsetAt2V5(300.0); },
         false,
         "TEC:ANALOG:THI 300.000",
         {true, 2, -5.25, 80.125}},
        {"disable",
         [](CTEC& t) { return t.SetAnalogEnable(false); },
         true,
         "TEC:ANALOG:ENAB 0",
         {false, 2, -5.25, 80.125}},
    };
    for (const SAnalogWrite& c : cases)
    {
        SCOPED_TRACE(c.name);
        const size_t from = sim->Log().Count();
        tec.ClearErrors();
        EXPECT_EQ(c.write(tec), c.accepted);
        if (c.line)
            EXPECT_GE(Received(c.line, from), 0);
        else
            EXPECT_LT(Received("TEC:ANALOG", from), 0);
        // A refusal reaches the channel's error list.
        EXPECT_EQ(tec.GetErrorCount() > 0, !c.accepted && c.line != nullptr);

        SAnalogSetup read{!c.after.enabled, -1, -1.0, -1.0};
        ASSERT_TRUE(ReadAnalogSetup(tec, read));
        EXPECT_EQ(read.enabled, c.after.enabled);
        EXPECT_EQ(read.sensitivity, c.after.sensitivity);
        EXPECT_DOUBLE_EQ(read.tsetAt0V, c.after.tsetAt0V);
        EXPECT_DOUBLE_EQ(read.tsetAt2V5, c.after.tsetAt2V5);
    }
}

TEST_F(TecAnalogOnSimulator, AReplyThatIsNoValidValueIsAFailureNotZero)
{
    sim->Engine().WithRegistry(
        [](CSimCommandRegistry& registry)
        {
            registry.Add("TEC:ANALOG:SENS?",
                         [](CSimUnit&, int, std::string_view) { return SSimResult::Answer("3"); });
            registry.Add("TEC:ANALOG:TLO?",
                         [](CSimUnit&, int, std::string_view) { return SSimResult::Answer("12.5x"); });
            registry.Add("TEC:ANALOG:ENAB?",
                         [](CSimUnit&, int, std::string_view) { return SSimResult::Answer("2"); });
        });
    int sensitivity = 1;
    EXPECT_FALSE(tec.GetAnalogSensitivity(sensitivity));
    EXPECT_EQ(sensitivity, 1);
    double celsius = 7.0;
    EXPECT_FALSE(tec.GetAnalogTsetAt0V(celsius));
    EXPECT_EQ(celsius, 7.0);
    bool enabled = true;
    EXPECT_FALSE(tec.GetAnalogEnable(enabled));
    EXPECT_TRUE(enabled);
    SAnalogSetup setup{true, 2, 1.0, 2.0};
    EXPECT_FALSE(ReadAnalogSetup(tec, setup));
    EXPECT_EQ(setup.sensitivity, 2);
    // The value that still reads well reads as the unit holds it.
    EXPECT_TRUE(tec.GetAnalogTsetAt2V5(celsius));
    EXPECT_DOUBLE_EQ(celsius, 50.0);
}

} // namespace
