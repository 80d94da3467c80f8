#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "comm/SerialBase.h"
#include "instrument/laser/LaserProtocol.h"
#include "instrument/models/M607.h"
#include "instrument/models/M607_S0311.h"
#include "instrument/models/M608_R4.h"
#include "instrument/models/M608_R4Laser.h"
#include "instrument/models/M609.h"
#include "instrument/models/M618.h"
#include "support/CaptureSink.h"
#include "support/Eventually.h"

#include <chrono>
#include <clocale>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace
{
using namespace std::chrono_literals;

// Each test binary case runs in its own process; numbers differ from other suites' anyway.
constexpr int kPortNumber = 244;

std::string Descriptor()
{
    return "COM:" + std::to_string(kPortNumber) + ":38400";
}

// A simulated unit on a pseudo-terminal, registered under this test's port number.
class SimulatedUnit
{
public:
    explicit SimulatedUnit(const std::string& model) : sim(CSimInstrument::Create(model))
    {
        std::string error;
        started = sim && sim->StartPty("", error) && CPortResolver::Register(kPortNumber, sim->PtyPath());
    }
    ~SimulatedUnit() { CPortResolver::Unregister(kPortNumber); }

    bool Received(const std::string& text) const { return sim->Log().WaitForText(text, 0ms) >= 0; }

    std::unique_ptr<CSimInstrument> sim;
    bool started = false;
};

std::vector<int> LaserNumbers(const CMultiLaser& unit)
{
    std::vector<int> numbers;
    for (int i = 0; i < unit.GetLaserChannelCount(); ++i)
        numbers.push_back(unit.GetChannelObject(i)->GetLaserChannelNumber());
    return numbers;
}
} // namespace

TEST(MultiLaser, DiscoveryKeepsFittedChannelsCompactedAndSelectsByIndex)
{
    SimulatedUnit unit("M618");
    ASSERT_TRUE(unit.started);
    unit.sim->SetFitted(ESimFamily::Laser, 0x5); // channels 1 and 3
    CM618 laser;
    ASSERT_TRUE(laser.Connect(Descriptor()));

    for (int n = 1; n <= 4; ++n)
        EXPECT_TRUE(unit.Received("LAS:CHAN " + std::to_string(n) + ";LAS:CHAN?")) << n;
    EXPECT_EQ(LaserNumbers(laser), (std::vector<int>{1, 3}));
    EXPECT_TRUE(laser.HasLaserChannel());

    laser.SelectChannel(1);
    EXPECT_EQ(laser.GetSelectedChannel(), 1);
    EXPECT_EQ(laser.GetSelectedChannelObject()->GetLaserChannelNumber(), 3);
    laser.SelectChannel(2);
    laser.SelectChannel(-1);
    EXPECT_EQ(laser.GetSelectedChannel(), 1) << "an index past the present channels must be ignored";

    // Each channel reports the unit's identity, so model gates work per channel.
    CLaser* third = laser.GetSelectedChannelObject();
    EXPECT_EQ(third->GetSerialNumber(), laser.GetSerialNumber());
    EXPECT_EQ(third->GetModelCode(), 19);
    EXPECT_EQ(third->GetBuildNumber(), laser.GetBuildNumber());
    laser.Disconnect();
    EXPECT_EQ(third->GetModelCode(), 0) << "the channels forget the identity with the unit";
}

TEST(MultiLaser, WithoutChannelsForwardsNothingAndPollsNothing)
{
    SimulatedUnit unit("M618");
    ASSERT_TRUE(unit.started);
    unit.sim->SetFitted(ESimFamily::Laser, 0x0);
    CM618 laser;
    ASSERT_TRUE(laser.Connect(Descriptor()));
    EXPECT_FALSE(laser.HasLaserChannel());
    const size_t afterConnect = unit.sim->Log().Count();

    EXPECT_FALSE(laser.SetLDI(100.0));
    EXPECT_FALSE(laser.SetOutput(true));
    EXPECT_EQ(laser.GetLDI(false), 0.0f);
    EXPECT_EQ(laser.GetMode(true), 0);
    EXPECT_EQ(laser.GetMaxLDILimit(false), 0.0f);
    EXPECT_EQ(unit.sim->Log().Count(), afterConnect) << "an absent channel must send nothing";

    ASSERT_TRUE(laser.StartBackgroundThread(0));
    ASSERT_TRUE(Eventually([&] { return laser.IsFirstCycleDone(); }, 5000));
    EXPECT_LT(unit.sim->Log().WaitForText("LAS:CHAN", 0ms, afterConnect), 0);
    EXPECT_EQ(laser.GetFailedPolls(), 0);
    laser.Disconnect();
}

// A set point on the unit goes to the selected channel as one line with that channel's prefix, both
// sent directly and handed over to a running poll thread (which must not split it from its prefix).
class MultiLaserSetPoint : public testing::TestWithParam<bool>
{
};

TEST_P(MultiLaserSetPoint, GoesOutAsOneLineWithTheSelectedPrefix)
{
    const bool polling = GetParam();
    SimulatedUnit unit("M618");
    ASSERT_TRUE(unit.started);
    CM618 laser;
    ASSERT_TRUE(laser.Connect(Descriptor()));
    ASSERT_EQ(laser.GetLaserChannelCount(), 4);
    laser.SelectChannel(1);
    if (polling)
    {
        ASSERT_TRUE(laser.StartBackgroundThread(0));
        ASSERT_TRUE(Eventually([&] { return laser.IsFirstCycleDone(); }, 5000));
    }
    const size_t from = unit.sim->Log().Count();
    CaptureSink trace;

    EXPECT_TRUE(laser.SetLDI(150.0));
    const long index = unit.sim->Log().WaitFor(
        [](const std::string& line) { return line.find("LAS:LDI 150") != std::string::npos; }, 2s, from);
    ASSERT_GE(index, 0) << testing::PrintToString(unit.sim->Log().Lines());
    const std::string line = unit.sim->Log().Lines()[static_cast<size_t>(index)];
    EXPECT_EQ(line.rfind("LAS:CHAN 2;", 0), 0u) << line;
    EXPECT_NEAR(LaserProtocol::ParseNumber(unit.sim->Request("LAS:CHAN 2;LAS:SET:LDI?")).value_or(0), 150.0,
                0.01);
    EXPECT_EQ(laser.GetErrorCount(), 0);
    // While polling, only the poll thread may write: the set point went through its hand-over.
    EXPECT_EQ(trace.Count("BackgroundProcessPendingCommandOrQuerty start: LAS:CHAN 2;LAS:LDI 150", true),
              polling ? 1u : 0u);
    laser.Disconnect();
}

INSTANTIATE_TEST_SUITE_P(Routes, MultiLaserSetPoint, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info)
                         { return info.param ? "WhilePolling" : "Idle"; });

// Commands of the user-interface thread and the poll share one wire: each exchange must keep its own
// reply, so no poll fails and no set point is reported refused.
TEST(MultiLaser, SetPointsWhilePollingKeepEveryExchangeWhole)
{
    SimulatedUnit unit("M618");
    ASSERT_TRUE(unit.started);
    CM618 laser;
    ASSERT_TRUE(laser.Connect(Descriptor()));
    ASSERT_TRUE(laser.StartBackgroundThread(0));
    ASSERT_TRUE(Eventually([&] { return laser.IsFirstCycleDone(); }, 5000));

    int refused = 0;
    for (int round = 0; round < 40; ++round)
    {
        laser.SelectChannel(round % 4);
        if (!laser.SetLDI(100.0 + round))
            ++refused;
    }
    ASSERT_TRUE(laser.PauseBackgroundThread(true, 5000));
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(laser.GetErrorCount(), 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(laser.GetChannelObject(i)->GetFailedPolls(), 0) << i;
    EXPECT_NEAR(LaserProtocol::ParseNumber(unit.sim->Request("LAS:CHAN 4;LAS:SET:LDI?")).value_or(0), 139.0,
                0.01);
    laser.Disconnect();
}

TEST(MultiTec, ErrorsAndUserFlagIterateTheChannels)
{
    SimulatedUnit unit("M609");
    ASSERT_TRUE(unit.started);
    unit.sim->SetFitted(ESimFamily::Tec, 0xA); // channels 2 and 4
    CM609 tec;
    ASSERT_TRUE(tec.Connect(Descriptor()));
    ASSERT_EQ(tec.GetTecChannelCount(), 2);
    CTEC* fourth = tec.GetChannelObject(1);
    ASSERT_EQ(fourth->GetChannelNumber(), 4);
    // Discovery asked the missing slots too; the unit's refusals of those are the unit's own errors.
    tec.ClearErrors();

    // A refused command of one channel counts in the unit's total and clears with it.
    EXPECT_FALSE(fourth->Command("NOSUCH:COMMAND 1", true));
    EXPECT_TRUE(unit.Received("TEC:CHAN 4;NOSUCH:COMMAND 1"));
    EXPECT_GE(fourth->GetErrorCount(), 1);
    EXPECT_EQ(tec.GetErrorCount(), fourth->GetErrorCount());
    // The unit's log reads the channel's error where the unit's total counts it.
    EXPECT_EQ(tec.GetError(0, false).GetNumber(), 123);
    tec.ClearErrors();
    EXPECT_EQ(tec.GetErrorCount(), 0);

    ASSERT_TRUE(tec.StartBackgroundThread(0));
    ASSERT_TRUE(Eventually([&] { return fourth->GetUserFlag() && tec.GetUserFlag(); }, 5000));
    ASSERT_TRUE(tec.PauseBackgroundThread(true, 5000));
    tec.ClearUserFlag();
    EXPECT_FALSE(tec.GetUserFlag());
    EXPECT_FALSE(fourth->GetUserFlag());
    EXPECT_FALSE(tec.GetChannelObject(0)->GetUserFlag());
    tec.Disconnect();
}

// The parent answers for the selected channel's readings: a panel asks the parent, the channels poll.
TEST(MultiChannelFreshness, TheParentAnswersForTheSelectedChannel)
{
    SimulatedUnit unit("M607");
    ASSERT_TRUE(unit.started);
    CM607 unitObject;
    ASSERT_TRUE(unitObject.Connect(Descriptor()));
    CTEC& tec = unitObject;
    CLaser& laser = unitObject;
    EXPECT_FALSE(tec.IsFresh(TecReading::T));
    ASSERT_TRUE(unitObject.StartBackgroundThread(0));
    ASSERT_TRUE(Eventually([&] { return unitObject.GetCompletedCycles() >= 2; }, 10000));
    for (int k = 0; k < 2; ++k)
    {
        unitObject.CMultiTec::SelectChannel(k);
        EXPECT_TRUE(tec.IsFresh(TecReading::T)) << "TEC channel " << k;
        unitObject.CMultiLaser::SelectChannel(k);
        EXPECT_TRUE(laser.IsFresh(LaserPollItem::LDI)) << "laser channel " << k;
    }
    unitObject.Disconnect();
}

TEST(MultiLaser, UnplugShowsOnEveryChannelAtOnce)
{
    SimulatedUnit unit("M618");
    ASSERT_TRUE(unit.started);
    CM618 laser;
    ASSERT_TRUE(laser.Connect(Descriptor()));
    EXPECT_EQ(laser.GetPort().GetType(), CSerialBase::SerialChannel);
    EXPECT_EQ(laser.GetChannelObject(0)->GetPort().GetType(), CSerialBase::NoChannel);
    ASSERT_TRUE(laser.StartBackgroundThread(0));
    ASSERT_TRUE(unit.sim->Unplug());

    ASSERT_TRUE(Eventually([&] { return !laser.IsPortOpen(); }, 5000));
    for (int i = 0; i < laser.GetLaserChannelCount(); ++i)
        EXPECT_FALSE(laser.GetChannelObject(i)->IsPortOpen()) << i;
    laser.Disconnect();
}

// The factory's auxiliary calibration of an M608 R4 channel: the channel's prefix, and a decimal point
// whatever the user's locale.
TEST(MultiLaser, AuxiliaryCalibrationLinesUnderADecimalCommaLocale)
{
    SimulatedUnit unit("M608-R4");
    ASSERT_TRUE(unit.started);
    CM608_R4 laser;
    ASSERT_TRUE(laser.Connect(Descriptor()));
    auto* second = dynamic_cast<CM608_R4Laser*>(laser.GetChannelObject(1));
    ASSERT_NE(second, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    second->SetCalibrationResistor(1.5);
    second->SetAuxMDICalibration(3);
    std::setlocale(LC_ALL, "C");
    EXPECT_TRUE(unit.Received("LAS:CHAN 2;LAS:CAL:R 1.500000"));
    EXPECT_TRUE(unit.Received("LAS:CHAN 2;LAS:CAL:AUXMDI 3"));
    laser.Disconnect();
}

// An owner that deletes a polling unit without disconnecting must not leave the poll thread reaching
// channels that are gone (the sanitizer builds see any such access).
// The multi-channel units store no maximum ITE limit: the unit bounds the limit itself, so a positive
// limit goes out to the selected channel and a negative one is still refused.
TEST(MultiTec, ItsLimitGoesOutWithoutAStoredMaximum)
{
    SimulatedUnit unit("M609");
    ASSERT_TRUE(unit.started);
    CM609 tec;
    ASSERT_TRUE(tec.Connect(Descriptor()));
    tec.SelectChannel(1);
    EXPECT_LE(tec.GetMaxITELimit(), 0.0f);
    EXPECT_TRUE(tec.SetITELimit(1.5f));
    EXPECT_TRUE(unit.Received("TEC:CHAN 2;TEC:LIM:ITE 1.5"));
    EXPECT_FALSE(tec.SetITELimit(-1.0f));
    EXPECT_FALSE(unit.Received("TEC:LIM:ITE -1"));
}

TEST(MultiTec, DestroyedWhilePollingStopsThePollFirst)
{
    SimulatedUnit unit("M609");
    ASSERT_TRUE(unit.started);
    auto tec = std::make_unique<CM609>();
    ASSERT_TRUE(tec->Connect(Descriptor()));
    ASSERT_TRUE(tec->StartBackgroundThread(0));
    ASSERT_TRUE(Eventually([&] { return tec->IsFirstCycleDone(); }, 5000));
    tec.reset();
}

// Every model connects over a pseudo-terminal and completes a poll cycle of each present channel, with
// the channels the unit has fitted found and no failed poll.
struct ModelRow
{
    const char* name;
    std::function<std::unique_ptr<CInstrBase>()> create;
    unsigned laserFitted;
    std::vector<int> lasers; // present channel numbers expected
    unsigned tecFitted;
    std::vector<int> tecs;
    bool qcw; // laser channels run pulsed
};

void PrintTo(const ModelRow& row, std::ostream* out)
{
    *out << row.name;
}

// The channel's poll: its select prefix and, on the line after it (the query opens a fresh line), the
// compound query that begins with the channel query.
bool PolledAfterSelect(const SimulatedUnit& unit, const std::string& select, const std::string& query)
{
    const std::vector<std::string> lines = unit.sim->Log().Lines();
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i] == select && lines[i + 1].rfind(query, 0) == 0)
            return true;
    return false;
}

class MultiChannelModels : public testing::TestWithParam<ModelRow>
{
};

TEST_P(MultiChannelModels, ConnectAndPollEveryPresentChannel)
{
    const ModelRow& row = GetParam();
    SimulatedUnit unit(row.name);
    ASSERT_TRUE(unit.started);
    unit.sim->SetFitted(ESimFamily::Laser, row.laserFitted);
    unit.sim->SetFitted(ESimFamily::Tec, row.tecFitted);
    std::unique_ptr<CInstrBase> instrument = row.create();
    ASSERT_TRUE(instrument->Connect(Descriptor()));

    std::vector<CInstrBase*> channels;
    auto* lasers = dynamic_cast<CMultiLaser*>(instrument.get());
    auto* tecs = dynamic_cast<CMultiTec*>(instrument.get());
    if (lasers)
    {
        EXPECT_EQ(LaserNumbers(*lasers), row.lasers);
        for (int i = 0; i < lasers->GetLaserChannelCount(); ++i)
        {
            channels.push_back(lasers->GetChannelObject(i));
            EXPECT_EQ(lasers->GetChannelObject(i)->IsQCWSupported(), row.qcw);
        }
    }
    if (tecs)
    {
        std::vector<int> numbers;
        for (int i = 0; i < tecs->GetTecChannelCount(); ++i)
        {
            numbers.push_back(tecs->GetChannelObject(i)->GetChannelNumber());
            channels.push_back(tecs->GetChannelObject(i));
        }
        EXPECT_EQ(numbers, row.tecs);
    }
    ASSERT_FALSE(channels.empty());

    instrument->SetFailedPolls(0);
    ASSERT_TRUE(instrument->StartBackgroundThread(0));
    const bool polled = Eventually(
        [&]
        {
            for (CInstrBase* channel : channels)
                if (!channel->GetUserFlag())
                    return false;
            return true;
        },
        8000);
    ASSERT_TRUE(instrument->PauseBackgroundThread(true, 5000));
    EXPECT_TRUE(polled);
    EXPECT_EQ(instrument->GetFailedPolls(), 0);
    for (CInstrBase* channel : channels)
        EXPECT_EQ(channel->GetFailedPolls(), 0);
    for (int n : row.lasers)
        EXPECT_TRUE(PolledAfterSelect(unit, "LAS:CHAN " + std::to_string(n) + ";", ":LAS:CHAN?")) << n;
    for (int n : row.tecs)
        EXPECT_TRUE(PolledAfterSelect(unit, "TEC:CHAN " + std::to_string(n) + ";", ":TEC:CHAN?")) << n;
    instrument->Disconnect();
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, MultiChannelModels,
    testing::Values(
        ModelRow{"M618", [] { return std::make_unique<CM618>(); }, 0xF, {1, 2, 3, 4}, 0, {}, false},
        ModelRow{"M608-R4", [] { return std::make_unique<CM608_R4>(); }, 0xA, {2, 4}, 0, {}, false},
        ModelRow{"M609", [] { return std::make_unique<CM609>(); }, 0, {}, 0xB, {1, 2, 4}, false},
        ModelRow{"M607", [] { return std::make_unique<CM607>(); }, 0x3, {1, 2}, 0x3, {1, 2}, false},
        ModelRow{"M607-S0311", [] { return std::make_unique<CM607_S0311>(); }, 0x2, {2}, 0x1, {1}, true}),
    [](const testing::TestParamInfo<ModelRow>& info)
    {
        std::string name = info.param.name;
        for (char& c : name)
            if (c == '-')
                c = '_';
        return name;
    });
