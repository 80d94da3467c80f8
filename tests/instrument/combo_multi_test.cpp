// The OEM unit and the D560 against the simulator: channels present without discovery, operations
// reaching the selected channel with its prefix, every channel polled; the D560 main laser's maximum
// from the factory block, also when the block comes back short.
#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "commands/SimTecBank.h"
#include "instrument/combined/D560.h"
#include "instrument/combined/D560Main.h"
#include "instrument/combined/Norlase.h"
#include "support/Eventually.h"
#include "support/ScriptedUnit.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace
{
using namespace std::chrono_literals;

// A simulated unit on a pty registered under the case's own port number.
class OnSimulator : public ::testing::Test
{
protected:
    void Start(const char* model, int portNumber)
    {
        m_portNumber = portNumber;
        sim = CSimInstrument::Create(model);
        ASSERT_TRUE(sim);
        std::string error;
        ASSERT_TRUE(sim->StartPty("", error)) << error;
        ASSERT_TRUE(CPortResolver::Register(portNumber, sim->PtyPath()));
    }
    std::string Descriptor() const { return "COM:" + std::to_string(m_portNumber) + ":38400"; }
    void TearDown() override
    {
        if (sim)
            sim->Stop();
        CPortResolver::Unregister(m_portNumber);
    }
    // A poll line begins with a line end, so the channel's prefix arrives as a line of its own.
    bool SimReceivedLine(const std::string& text, size_t from)
    {
        return sim->Log().WaitFor([&](const std::string& line) { return line == text; }, 2000ms, from) >= 0;
    }
    bool SimReceivedLineStarting(const std::string& start, size_t from)
    {
        return sim->Log().WaitFor([&](const std::string& line) { return line.rfind(start, 0) == 0; }, 2000ms,
                                  from) >= 0;
    }
    // Polls until one cycle has completed after the thread's start.
    void PollOnce(CInstrBase& unit)
    {
        ASSERT_TRUE(unit.StartBackgroundThread(0));
        unit.ClearUserFlag();
        ASSERT_TRUE(Eventually([&] { return unit.IsFirstCycleDone() && unit.GetUserFlag(); }, 10000));
    }

    std::unique_ptr<CSimInstrument> sim;
    int m_portNumber = 0;
};

class NorlaseOnSimulator : public OnSimulator
{
protected:
    void SetUp() override { Start("OEM", 163); }
    void TearDown() override
    {
        oem.Disconnect();
        OnSimulator::TearDown();
    }
    CNorlase oem;
};

TEST_F(NorlaseOnSimulator, AllChannelsPresentWithoutDiscovery)
{
    ASSERT_TRUE(oem.Connect(Descriptor()));
    EXPECT_EQ(oem.GetLaserChannelCount(), 2);
    EXPECT_EQ(oem.GetTecChannelCount(), 3);
    EXPECT_LT(sim->Log().WaitForText("CHAN?", 0ms), 0);
    // Every channel reports the unit's identity.
    EXPECT_EQ(oem.CMultiTec::GetChannelObject(2)->GetSerialNumber(), oem.CInstrBase::GetSerialNumber());
}

TEST_F(NorlaseOnSimulator, TecSelectionReachesTheThirdChannel)
{
    ASSERT_TRUE(oem.Connect(Descriptor()));
    CTEC& tec = oem;
    oem.CMultiTec::SelectChannel(3);
    EXPECT_EQ(oem.CMultiTec::GetSelectedChannel(), 0);
    oem.CMultiTec::SelectChannel(2);
    EXPECT_EQ(oem.CMultiTec::GetSelectedChannel(), 2);

    const size_t before = sim->Log().Count();
    ASSERT_TRUE(tec.SetT(31.5f));
    EXPECT_TRUE(SimReceivedLineStarting("TEC:CHAN 3;TEC:T 31.5", before));
    const double planted = sim->Engine().WithUnit(
        [](CSimUnit& unit) { return unit.Part<CSimTecBank>().Channel(2).GetTSetPoint(); });
    EXPECT_DOUBLE_EQ(planted, 31.5);
}

TEST_F(NorlaseOnSimulator, OnePollCycleCoversAllFiveChannels)
{
    ASSERT_TRUE(oem.Connect(Descriptor()));
    const size_t before = sim->Log().Count();
    PollOnce(oem);
    EXPECT_EQ(oem.GetFailedPolls(), 0);
    for (const char* prefix : {"TEC:CHAN 1;", "TEC:CHAN 2;", "TEC:CHAN 3;", "LAS:CHAN 1;", "LAS:CHAN 2;"})
        EXPECT_TRUE(SimReceivedLine(prefix, before)) << prefix;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(oem.CMultiTec::GetChannelObject(i)->GetFailedPolls(), 0);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(oem.CMultiLaser::GetChannelObject(i)->GetFailedPolls(), 0);
}

class D560OnSimulator : public OnSimulator
{
protected:
    void SetUp() override { Start("D560", 164); }
    void TearDown() override
    {
        d560.Disconnect();
        OnSimulator::TearDown();
    }
    CD560 d560;
};

TEST_F(D560OnSimulator, MainAndPilotPresentAndPolled)
{
    ASSERT_TRUE(d560.Connect(Descriptor()));
    EXPECT_EQ(d560.GetLaserChannelCount(), 2);
    EXPECT_LT(sim->Log().WaitForText("CHAN?", 0ms), 0);

    // The main laser's maximum is its current range's (range 1 of the block: 4000 mA) times 1.02.
    d560.SelectChannel(0);
    EXPECT_FLOAT_EQ(d560.GetMaxLDISetPoint(), 4080.0f);
    EXPECT_GE(sim->Log().WaitForText("LAS:CHAN 1;las:fact:geta? 69,0,4", 0ms), 0);

    // The pilot has no photodiode control: nothing is asked.
    d560.SelectChannel(1);
    const size_t quiet = sim->Log().Count();
    EXPECT_EQ(d560.GetMDISetPoint(), 0.0f);
    EXPECT_EQ(d560.GetMDPLimit(), 0.0f);
    EXPECT_EQ(sim->Log().Count(), quiet);

    PollOnce(d560);
    EXPECT_EQ(d560.GetFailedPolls(), 0);
    EXPECT_TRUE(SimReceivedLine("LAS:CHAN 1;", quiet));
    EXPECT_TRUE(SimReceivedLine("LAS:CHAN 2;", quiet));
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(d560.GetChannelObject(i)->GetFailedPolls(), 0);
}

TEST_F(D560OnSimulator, PilotTakesTheUnitsOwnCalibrationSteps)
{
    ASSERT_TRUE(d560.Connect(Descriptor()));
    d560.SelectChannel(1);
    const size_t before = sim->Log().Count();
    EXPECT_TRUE(d560.StartFactoryCalibration(CD560Channel::CalibrateD560VBulk));
    EXPECT_TRUE(SimReceivedLineStarting("LAS:CHAN 2;LAS:CAL:VBULK 1", before));
    EXPECT_FLOAT_EQ(d560.QueryFactoryCalibration(CD560Channel::CalibrateD560VBulk), 1.0f);
    auto* pilot = dynamic_cast<CD560Channel*>(d560.GetChannelObject(1));
    ASSERT_NE(pilot, nullptr);
    EXPECT_TRUE(pilot->SetVBulkReference(11.98, 2));
    EXPECT_TRUE(SimReceivedLineStarting("LAS:CHAN 2;LAS:VBULK 11.98", before));
    EXPECT_EQ(d560.GetErrorCount(), 0);
}

// The factory block as a scripted unit returns it; the main laser talks to it directly.
struct SBlockRow
{
    const char* name;
    const char* reply;
    int range;
    float maximum;
};

class D560MainFactoryBlock : public ::testing::TestWithParam<SBlockRow>
{
};

TEST_P(D560MainFactoryBlock, MaximumOfTheRangeOrZero)
{
    ScriptedUnit unit;
    const std::string reply = GetParam().reply;
    unit.SetOverride(
        [reply](const std::string& line, std::string& answer)
        {
            if (line.rfind("las:fact:geta? 69,0,4", 0) != 0)
                return false;
            answer = reply + "\r\n";
            return true;
        });
    unit.StartSerial();
    CD560Main main;
    main.SetDefaultTimeout(300);
    ASSERT_TRUE(main.GetPort().OpenDescriptor(unit.SerialDescriptor(38400)));
    EXPECT_FLOAT_EQ(main.GetMaxLDISetPointForRange(GetParam().range), GetParam().maximum);
    main.Disconnect();
}

// 2000, 4000, 8000 and 16000 mA, each least significant byte first.
constexpr const char* kBlock = "d0070000a00f0000401f0000803e0000";

INSTANTIATE_TEST_SUITE_P(Replies, D560MainFactoryBlock,
                         ::testing::Values(SBlockRow{"FirstRange", kBlock, 0, 2040.0f},
                                           SBlockRow{"LastRange", kBlock, 3, 16320.0f},
                                           SBlockRow{"CurrentRange", kBlock, -1, 4080.0f},
                                           SBlockRow{"NoSuchRange", kBlock, 4, 0.0f},
                                           SBlockRow{"ShortReply", "d0070000a00f0000401f0000803e00", 0, 0.0f},
                                           SBlockRow{"LongReply", "d0070000a00f0000401f0000803e000000", 0,
                                                     0.0f},
                                           SBlockRow{"NotHex", "d0070000a00f0000401f0000803e00zz", 0, 0.0f},
                                           SBlockRow{"Silence", "", 0, 0.0f}),
                         [](const auto& info) { return std::string(info.param.name); });
} // namespace
