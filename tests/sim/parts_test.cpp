// The engine's building blocks: memory typing, line parsing, the received-lines log, simulated time.
#include "SimEngine.h"
#include "SimLineLog.h"
#include "SimMemory.h"
#include "SimModelTable.h"
#include "SimRequest.h"

#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;

namespace
{
const std::vector<SSimKeyDef> kKeys = {
    {0x470001, kSimU16, 2, 2, 7, nullptr},  {0x470002, kSimU8, 4, 1, 0, nullptr},
    {0x470003, kSimI32, 8, 4, -5, nullptr}, {0x47001D, kSimF32, 12, 4, 0.5, nullptr},
    {0x480001, kSimU32, 2, 4, 9, nullptr},  {0x470032, kSimString, 20, 4, 0, "ABCDEFG"},
};

struct SSetRow
{
    uint32_t key;
    double value;
    bool accepted;
};

class SimMemorySet : public ::testing::TestWithParam<SSetRow>
{
};

TEST_P(SimMemorySet, StoresOnlyWhatTheTypeHolds)
{
    CSimMemory memory(kKeys);
    const double before = memory.GetNumber(GetParam().key).value_or(-1);
    EXPECT_EQ(memory.SetNumber(GetParam().key, GetParam().value), GetParam().accepted);
    EXPECT_DOUBLE_EQ(memory.GetNumber(GetParam().key).value_or(-1),
                     GetParam().accepted ? GetParam().value : before);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SimMemorySet,
    ::testing::Values(SSetRow{0x470002, 255, true}, SSetRow{0x470002, 256, false},
                      SSetRow{0x470002, -1, false}, SSetRow{0x470001, 65535, true},
                      SSetRow{0x470001, 2.5, false}, SSetRow{0x470003, -2147483648.0, true},
                      SSetRow{0x470003, 2147483648.0, false}, SSetRow{0x47001D, -0.25, true},
                      SSetRow{0x480001, 4294967295.0, true}, SSetRow{0x470032, 1, false}));

TEST(SimMemory, AreasAreSeparateAndKeysSeeRawBytes)
{
    CSimMemory memory(kKeys);
    // Same address 2 in the user and the factory area.
    EXPECT_EQ(memory.GetInt(0x470001, 0), 7);
    EXPECT_EQ(memory.GetInt(0x480001, 0), 9);
    ASSERT_TRUE(memory.Write(CSimMemory::kUserArea, 3, 0x01));
    EXPECT_EQ(memory.GetInt(0x470001, 0), 0x107); // little-endian
    EXPECT_EQ(memory.GetInt(0x480001, 0), 9);
    // Strings are cut to their size; unknown keys and areas are absent.
    EXPECT_EQ(*memory.GetBytes(0x470032), (std::vector<uint8_t>{'A', 'B', 'C', 'D'}));
    EXPECT_FALSE(memory.GetNumber(0x470099).has_value());
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(memory.Read(5, 0, 1, bytes));
    EXPECT_FALSE(memory.Read(CSimMemory::kUserArea, CSimMemory::kAreaSize - 1, 2, bytes));
}

TEST(SimRequest, SplitsPartsHeadersAndArguments)
{
    const auto parts = ParseSimLine("  :tec:t 25.0 ;; TEC:FAN Slow, 1, 2;*idn?;MESS Hello  World ");
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[0].header, "TEC:T");
    EXPECT_TRUE(parts[0].absolute);
    EXPECT_EQ(parts[0].args, "25.0");
    EXPECT_EQ(parts[1].args, "Slow, 1, 2"); // argument case is the handler's business
    EXPECT_FALSE(parts[1].absolute);
    EXPECT_TRUE(parts[2].IsQuery());
    EXPECT_EQ(parts[3].args, "Hello  World");
    EXPECT_EQ(SimHeaderPath("TEC:SET:T?"), "TEC:SET:");
    EXPECT_EQ(SimHeaderPath("ERR?"), "");
}

TEST(SimLineLog, WaitsForALineFromAnotherThread)
{
    CSimLineLog log;
    log.Add("first");
    std::thread writer(
        [&log]
        {
            log.Add("TEC:T 25.000000");
            log.Add("err?");
        });
    EXPECT_EQ(log.WaitForText("err?", 5000ms), 2);
    writer.join();
    EXPECT_EQ(log.WaitForText("first", 10ms, 1), -1); // only lines from index 1 on
    log.Clear();
    EXPECT_EQ(log.Count(), 3u); // indexes stay valid across a clear
    log.Add("LOCAL");
    EXPECT_EQ(log.WaitForText("LOCAL", 1000ms), 3);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"LOCAL"}));
}

TEST(SimTime, ManualTimeStepsTheTickersInBoundedSteps)
{
    CSimEngine engine(*CSimModelTable::Find("K760"));
    engine.SetManualTime(true);
    double total = 0.0, largest = 0.0;
    engine.WithRegistry(
        [&](CSimCommandRegistry& registry)
        {
            registry.AddTicker(
                [&](CSimUnit&, double dt)
                {
                    total += dt;
                    largest = std::max(largest, dt);
                });
        });
    const double start = engine.Now();
    engine.AdvanceTime(2.5);
    EXPECT_NEAR(total, 2.5, 1e-9);
    EXPECT_LE(largest, CSimCommandRegistry::kMaxStep + 1e-12);
    EXPECT_NEAR(engine.Now() - start, 2.5, 1e-9);
    engine.Request("SN?"); // requests do not move manual time
    EXPECT_NEAR(total, 2.5, 1e-9);
}
} // namespace
