// Every simulated model end to end through the factory: detection's record creates the model's
// class, which connects over a pseudo-terminal and completes one poll cycle of each of its channels
// without a failed poll.
#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "instrument/D310.h"
#include "instrument/D312.h"
#include "instrument/D710.h"
#include "instrument/DetectInstrument.h"
#include "instrument/InstrumentFactory.h"
#include "instrument/K196.h"
#include "instrument/K705.h"
#include "instrument/K760.h"
#include "instrument/K910.h"
#include "instrument/X19.h"
#include "instrument/X510.h"
#include "support/Eventually.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <typeinfo>

namespace
{
using namespace std::chrono_literals;

// Identify waits one default time-out for quiet input; the simulator answers in well under this.
constexpr int kSessionTimeoutMs = 300;

struct SSimFactoryRow
{
    const char* simModel;
    const std::type_info* expected;
    int portNumber; // unique per case: cases may run in parallel
};

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
    ASSERT_TRUE(instrument->StartBackgroundThread(500));
    ASSERT_TRUE(Eventually([&] { return instrument->IsFirstCycleDone(); }, 5000));

    EXPECT_EQ(instrument->GetFailedPolls(), 0);
    EXPECT_TRUE(instrument->GetUserFlag());
    if (instrument->HasTECChannel())
    {
        EXPECT_GE(sim->Log().WaitForText(":TEC:CHAN?;", 0ms, linesBefore), 0);
    }
    if (instrument->HasLaserChannel())
    {
        EXPECT_GE(sim->Log().WaitForText(":LAS:CHAN?;", 0ms, linesBefore), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Models, FactoryOnSimulator,
                         ::testing::Values(SSimFactoryRow{"D310", &typeid(CD310), 161},
                                           SSimFactoryRow{"D710", &typeid(CD710), 162},
                                           SSimFactoryRow{"D312", &typeid(CD312), 163},
                                           SSimFactoryRow{"K705", &typeid(CK705), 164},
                                           SSimFactoryRow{"K910", &typeid(CK910), 165},
                                           SSimFactoryRow{"K19-2", &typeid(CK910), 166},
                                           SSimFactoryRow{"K760", &typeid(CK760), 167},
                                           SSimFactoryRow{"K196", &typeid(CK196), 168},
                                           SSimFactoryRow{"X510", &typeid(CX510), 169},
                                           SSimFactoryRow{"X19", &typeid(CX19), 170}),
                         [](const auto& info)
                         {
                             std::string name = info.param.simModel;
                             for (char& c : name)
                                 c = (c == '-') ? '_' : c;
                             return name;
                         });
} // namespace
