// Every simulated model end to end through the factory: detection's record creates the model's
// class, which connects over a pseudo-terminal and completes one poll cycle of each of its channels
// without a failed poll.
#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "instrument/combined/D560.h"
#include "instrument/combined/Norlase.h"
#include "instrument/combined/X19.h"
#include "instrument/combined/X510.h"
#include "instrument/lamp/LPS.h"
#include "instrument/lamp/MultiLPS.h"
#include "instrument/models/D310.h"
#include "instrument/models/D312.h"
#include "instrument/models/D710.h"
#include "instrument/models/K196.h"
#include "instrument/models/K705.h"
#include "instrument/models/K760.h"
#include "instrument/models/K910.h"
#include "instrument/models/M607.h"
#include "instrument/models/M607_S0311.h"
#include "instrument/models/M608_R4.h"
#include "instrument/models/M609.h"
#include "instrument/models/M618.h"
#include "instrument/multi/MultiLaser.h"
#include "instrument/multi/MultiTec.h"
#include "instrument/session/DetectInstrument.h"
#include "instrument/session/InstrumentFactory.h"
#include "support/Eventually.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

namespace
{
using namespace std::chrono_literals;

// Identify waits one default time-out for quiet input; the simulator answers in well under this.
constexpr int kSessionTimeoutMs = 300;

struct SSimFactoryRow
{
    const char* simModel;
    const std::type_info* expected;
    int portNumber;       // unique per case: cases may run in parallel
    int channels;         // channel objects a cycle polls (a single-channel unit is its own channel)
    const char* pollText; // a part of the poll lines the unit must have received
};

// The objects whose poll runs in one cycle: the channels of a multi-channel unit, else the unit.
std::vector<CInstrBase*> PolledChannels(CInstrBase& instrument)
{
    std::vector<CInstrBase*> channels;
    if (auto* lasers = dynamic_cast<CMultiLaser*>(&instrument))
    {
        for (int i = 0; i < lasers->GetLaserChannelCount(); ++i)
            channels.push_back(lasers->GetChannelObject(i));
    }
    if (auto* tecs = dynamic_cast<CMultiTec*>(&instrument))
    {
        for (int i = 0; i < tecs->GetTecChannelCount(); ++i)
            channels.push_back(tecs->GetChannelObject(i));
    }
    if (auto* lamps = dynamic_cast<CMultiLPS*>(&instrument))
    {
        for (int i = 0; i < lamps->GetLampChannelCount(); ++i)
            channels.push_back(lamps->GetChannelObject(i));
    }
    if (channels.empty())
        channels.push_back(&instrument);
    return channels;
}

class FactoryOnSimulator : public ::testing::TestWithParam<SSimFactoryRow>
{
protected:
    void SetUp() override
    {
        sim = CSimInstrument::Create(GetParam().simModel);
        ASSERT_TRUE(sim);
        std::string error;
        ASSERT_TRUE(sim->StartPty("", error)) << error;
        ASSERT_TRUE(CPortResolver::Register(GetParam().portNumber, sim->PtyPath()));
        descriptor = "COM:" + std::to_string(GetParam().portNumber) + ":38400";
    }

    void TearDown() override
    {
        if (instrument)
            instrument->Disconnect();
        sim->Stop();
        CPortResolver::Unregister(GetParam().portNumber);
    }

    std::unique_ptr<CSimInstrument> sim;
    std::unique_ptr<CInstrBase> instrument;
    std::string descriptor;
};

TEST_P(FactoryOnSimulator, DetectedUnitConnectsAndPolls)
{
    SIdentRecord record;
    DetectInstrument(descriptor, record);
    ASSERT_NE(record.familyCode, 0);
    instrument.reset(
        CreateInstrumentObject(record.familyCode, record.modelCode, record.variantCode, record.versionMajor));
    ASSERT_NE(instrument, nullptr) << record.familyCode << "." << record.modelCode << "."
                                   << record.variantCode << " v" << record.versionMajor;
    EXPECT_EQ(typeid(*instrument), *GetParam().expected) << typeid(*instrument).name();

    instrument->SetDefaultTimeout(kSessionTimeoutMs);
    ASSERT_TRUE(instrument->Connect(descriptor));
    const size_t linesBefore = sim->Log().Count();
    ASSERT_TRUE(instrument->StartBackgroundThread(0));
    ASSERT_TRUE(Eventually([&] { return instrument->IsFirstCycleDone(); }, 5000));

    EXPECT_EQ(instrument->GetFailedPolls(), 0);
    const std::vector<CInstrBase*> channels = PolledChannels(*instrument);
    ASSERT_EQ(static_cast<int>(channels.size()), GetParam().channels);
    for (size_t i = 0; i < channels.size(); ++i)
    {
        EXPECT_TRUE(channels[i]->GetUserFlag()) << "channel index " << i;
        EXPECT_EQ(channels[i]->GetFailedPolls(), 0) << "channel index " << i;
    }
    EXPECT_GE(sim->Log().WaitForText(GetParam().pollText, 0ms, linesBefore), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Models, FactoryOnSimulator,
    ::testing::Values(SSimFactoryRow{"D310", &typeid(CD310), 161, 1, ":LAS:CHAN?;"},
                      SSimFactoryRow{"D710", &typeid(CD710), 162, 1, ":LAS:CHAN?;"},
                      SSimFactoryRow{"D312", &typeid(CD312), 163, 1, ":LAS:CHAN?;"},
                      SSimFactoryRow{"M618", &typeid(CM618), 164, 4, "LAS:CHAN 4;"},
                      SSimFactoryRow{"M608-R4", &typeid(CM608_R4), 165, 4, "LAS:CHAN 4;"},
                      SSimFactoryRow{"K705", &typeid(CK705), 166, 1, ":TEC:CHAN?;"},
                      SSimFactoryRow{"K910", &typeid(CK910), 167, 1, ":TEC:CHAN?;"},
                      SSimFactoryRow{"K19-2", &typeid(CK910), 168, 1, ":TEC:CHAN?;"},
                      SSimFactoryRow{"K760", &typeid(CK760), 169, 1, "R? 6;R? 7;T? 1;"},
                      SSimFactoryRow{"K196", &typeid(CK196), 170, 1,
                                     ":TEC:ACTIVESEN?;R? 1;R? 2;T? 1;T? 2;ERR?"},
                      SSimFactoryRow{"M609", &typeid(CM609), 171, 4, "TEC:CHAN 4;"},
                      SSimFactoryRow{"X510", &typeid(CX510), 172, 1, ":LAS:CHAN?;"},
                      SSimFactoryRow{"X19", &typeid(CX19), 173, 1, ":LAS:CHAN?;"},
                      SSimFactoryRow{"M607", &typeid(CM607), 174, 4, "TEC:CHAN 2;"},
                      SSimFactoryRow{"M607-S0311", &typeid(CM607_S0311), 175, 4, "LAS:CHAN 2;"},
                      SSimFactoryRow{"LPS", &typeid(CLPS), 176, 1, ":LPS:"},
                      SSimFactoryRow{"D560", &typeid(CD560), 177, 2, "LAS:CHAN 2;"},
                      SSimFactoryRow{"OEM", &typeid(CNorlase), 178, 5, "TEC:CHAN 3;"},
                      SSimFactoryRow{"LPS-4", &typeid(CMultiLPS), 179, 4, "LPS:CHAN 4;"}),
    [](const auto& info)
    {
        std::string name = info.param.simModel;
        for (char& c : name)
            c = (c == '-') ? '_' : c;
        return name;
    });
} // namespace
