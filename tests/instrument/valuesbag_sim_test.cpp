#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "instrument/session/InstrBase.h"
#include "instrument/valuebags/ValuesBagEEK705.h"
#include "instrument/valuebags/ValuesBagEEK760.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <string>

using namespace std::chrono_literals;

namespace
{
// A simulated unit on a pseudo-terminal, opened by a session through its COM number.
class SimBagTest : public ::testing::Test
{
protected:
    void Connect(const char* model, int portNumber)
    {
        sim = CSimInstrument::Create(model);
        ASSERT_TRUE(sim);
        std::string error;
        ASSERT_TRUE(sim->StartPty("", error)) << error;
        m_portNumber = portNumber;
        ASSERT_TRUE(CPortResolver::Register(portNumber, sim->PtyPath()));
        ASSERT_TRUE(instrument.GetPort().OpenDescriptor("COM:" + std::to_string(portNumber) + ":38400"));
    }

    void TearDown() override
    {
        instrument.Disconnect();
        if (sim)
        {
            sim->Stop();
        }
        CPortResolver::Unregister(m_portNumber);
    }

    double StoredNumber(uint32_t key)
    {
        return sim->Engine().WithUnit([key](CSimUnit& unit) { return unit.Memory().GetFloat(key, -1.0); });
    }

    std::unique_ptr<CSimInstrument> sim;
    CInstrBase instrument;

private:
    int m_portNumber = 0;
};

TEST_F(SimBagTest, KeyedBagReadsAndWritesThroughGetAndPut)
{
    Connect("K760", 241);
    CValuesBagEEK760 bag(&instrument);

    bool found = false;
    EXPECT_FLOAT_EQ(bag.GetFloat(0x47002C, &found), static_cast<float>(StoredNumber(0x47002C)));
    EXPECT_TRUE(found);
    EXPECT_EQ(bag.GetInt(0x480007, &found), 5000); // maximum ITE [mA]
    EXPECT_GE(sim->Log().WaitForText(":TEC:USER:GET? 4653100", 2000ms), 0);
    EXPECT_GE(sim->Log().WaitForText(":TEC:FACT:GET? 4718599", 2000ms), 0);

    ASSERT_TRUE(bag.SetFloat(0x47002C, 1.0f, true));
    EXPECT_GE(sim->Log().WaitForText(":TEC:USER:PUT 4653100,#E3f800000", 2000ms), 0);
    EXPECT_DOUBLE_EQ(StoredNumber(0x47002C), 1.0);

    // What the unit now holds comes back on a forced read.
    EXPECT_FLOAT_EQ(bag.GetFloat(0x47002C, &found, true), 1.0f);
    EXPECT_EQ(instrument.GetErrorCount(), 0);
}

TEST_F(SimBagTest, RawBagReadsAndWritesMemoryByAddress)
{
    Connect("K705", 242);
    CValuesBagEEK705 bag(&instrument);

    bool found = false;
    EXPECT_EQ(bag.GetU16(0x480007, &found), 4000); // two bytes, least significant first
    EXPECT_TRUE(found);
    EXPECT_GE(sim->Log().WaitForText("!!READ 8, 2, 8", 2000ms), 0);

    // The same two bytes under a byte-swapped row read most significant byte first.
    static constexpr SBagKeyInfo kSwapped[] = {{0x480007, BAG_UI2, 8, 2, true}};
    CValuesBagEEVer1 swapped(&instrument, kSwapped);
    EXPECT_EQ(swapped.GetU16(0x480007, &found), 0xA00F);

    ASSERT_TRUE(bag.SetFloat(0x47002C, 55.5f, true));
    EXPECT_GE(sim->Log().WaitForText("!!WRITE 104, ", 2000ms), 0);
    EXPECT_DOUBLE_EQ(StoredNumber(0x47002C), 55.5);
    EXPECT_FLOAT_EQ(bag.GetFloat(0x47002C, &found, true), 55.5f);
    EXPECT_EQ(instrument.GetErrorCount(), 0);
}
} // namespace
