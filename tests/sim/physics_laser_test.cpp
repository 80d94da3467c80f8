#include "physics/SimLampSupply.h"
#include "physics/SimLaserUnit.h"

#include <gtest/gtest.h>

namespace
{
TEST(LaserDiode, PowerAroundThreshold)
{
    const CSimLaserDiode diode;
    const double threshold = diode.ThresholdMa();
    ASSERT_DOUBLE_EQ(threshold, 30.0);
    // Below threshold only spontaneous emission; above it the slope efficiency.
    EXPECT_LT(diode.PowerMw(threshold), 0.3);
    EXPECT_NEAR(diode.PowerMw(threshold + 10.0) - diode.PowerMw(threshold), 8.0, 1e-9);
    EXPECT_NEAR(diode.PowerMw(130.0) - diode.PowerMw(80.0), 40.0, 1e-9);
    EXPECT_EQ(diode.PowerMw(0.0), 0.0);
    EXPECT_NEAR(diode.CurrentForPowerMa(diode.PowerMw(12.0)), 12.0, 1e-9);
    EXPECT_NEAR(diode.CurrentForPowerMa(diode.PowerMw(95.0)), 95.0, 1e-9);
    EXPECT_NEAR(diode.CurrentForVoltageMa(diode.VoltageV(75.0)), 75.0, 1e-6);
    EXPECT_NEAR(diode.VoltageV(100.0), 1.62, 0.05);

    CSimLaserDiode warm;
    warm.SetTemperature(45.0);
    EXPECT_GT(warm.ThresholdMa(), threshold);
    EXPECT_LT(warm.PowerMw(100.0), diode.PowerMw(100.0));
}

TEST(LaserUnit, EachModeRegulatesItsQuantity)
{
    CSimLaserUnit unit;
    ASSERT_EQ(unit.SetLdi(120.0), 0);
    ASSERT_EQ(unit.SetOutput(true), 0);
    unit.Advance(0.01);
    EXPECT_DOUBLE_EQ(unit.GetLdi(), 120.0);
    EXPECT_NEAR(unit.GetMdi(), 10.0 * unit.GetOpticalPowerMw(), 1e-9);

    unit.SetMode(CSimLaserUnit::ModeMDP);
    ASSERT_EQ(unit.SetMdp(20.0), 0);
    unit.Advance(0.01);
    EXPECT_NEAR(unit.GetMdp(), 20.0, 1e-6);
    EXPECT_NEAR(unit.GetOpticalPowerMw(), 20.0, 1e-6); // responsivity matches the coupling

    unit.SetMode(CSimLaserUnit::ModeMDI);
    ASSERT_EQ(unit.SetMdi(300.0), 0);
    unit.Advance(0.01);
    EXPECT_NEAR(unit.GetMdi(), 300.0, 1e-6);

    unit.SetVSense(1);
    unit.SetMode(CSimLaserUnit::ModeLDV);
    ASSERT_EQ(unit.SetLdv(1.5), 0);
    unit.Advance(0.01);
    EXPECT_NEAR(unit.GetLdv(), 1.5, 1e-6);
    EXPECT_TRUE(unit.TakeErrors().empty());
}

TEST(LaserUnit, LimitsClampOrTripAsEnabled)
{
    CSimLaserUnit unit;
    ASSERT_EQ(unit.SetLdiLimit(100.0), 0);
    EXPECT_EQ(unit.SetLdi(150.0), 201);
    EXPECT_EQ(unit.GetLdiSet(), 0.0);
    unit.SetMode(CSimLaserUnit::ModeMDP);
    unit.SetMdp(90.0); // needs about 142 mA
    unit.SetOutput(true);
    unit.Advance(0.01);
    EXPECT_DOUBLE_EQ(unit.GetLdi(), 100.0);
    EXPECT_TRUE(unit.GetCondition() & CSimLaserUnit::CondCurrentLimit);
    EXPECT_TRUE(unit.GetOutput());

    unit.SetOutputOffEnable(CSimLaserUnit::CondCurrentLimit);
    unit.Advance(0.01);
    EXPECT_FALSE(unit.GetOutput());
    EXPECT_EQ(unit.TakeErrors(), std::vector<int>{504});

    CSimLaserUnit compliance;
    compliance.SetLdvLimit(1.0); // below the diode's forward voltage at 100 mA
    compliance.SetLdi(100.0);
    compliance.SetOutput(true);
    compliance.Advance(0.01);
    EXPECT_FALSE(compliance.GetOutput());
    EXPECT_EQ(compliance.TakeErrors(), std::vector<int>{505});
}

TEST(LaserUnit, OnDelayAndRanges)
{
    CSimLaserUnit::SConfig config;
    config.dualRange = true;
    CSimLaserUnit unit(config);
    ASSERT_EQ(unit.SetRange(0), 0);
    EXPECT_EQ(unit.RangeMaxMa(), 250.0);
    EXPECT_EQ(unit.SetLdiLimit(300.0), 201);
    EXPECT_LE(unit.GetLdiLimit(), 250.0);
    EXPECT_EQ(unit.SetRange(2), 201);

    unit.SetOnDelay(500);
    unit.SetLdi(50.0);
    unit.SetOutput(true);
    EXPECT_EQ(unit.SetRange(1), 127); // not while the output is on
    unit.Advance(0.3);
    EXPECT_EQ(unit.GetLdi(), 0.0);
    unit.Advance(0.3);
    EXPECT_EQ(unit.GetLdi(), 50.0);
}

TEST(LaserPulse, WidthFrequencyAndDutyStayCoupled)
{
    CSimLaserUnit::SConfig config;
    config.pulse = true;
    CSimLaserUnit unit(config);
    ASSERT_EQ(unit.SetMode(CSimLaserUnit::ModePulse), 0);
    ASSERT_EQ(unit.SetFrequency(1000.0), 0);
    ASSERT_EQ(unit.SetWidthHoldFrequency(0.1), 0);
    EXPECT_NEAR(unit.GetDutyCycle(), 10.0, 1e-9);

    EXPECT_EQ(unit.SetWidthHoldFrequency(1.0), 201); // 100 % duty
    EXPECT_NEAR(unit.GetWidth(), 0.1, 1e-12);

    ASSERT_EQ(unit.SetWidthHoldDuty(0.5), 0); // duty held: the frequency follows
    EXPECT_NEAR(unit.GetFrequency(), 200.0, 1e-9);
    EXPECT_NEAR(unit.GetDutyCycle(), 10.0, 1e-9);

    ASSERT_EQ(unit.SetDutyCycle(25.0), 0); // width held
    EXPECT_NEAR(unit.GetFrequency(), 500.0, 1e-9);
    EXPECT_EQ(unit.SetDutyCycle(95.0), 201);

    CSimLaserUnit plain; // no pulse modes on this driver
    EXPECT_EQ(plain.SetMode(CSimLaserUnit::ModeBurst), 201);
    EXPECT_EQ(plain.GetMode(), CSimLaserUnit::ModeICW);
}

TEST(LampSupply, RampsIntoAHotFilament)
{
    CSimLampSupply lamp;
    ASSERT_EQ(lamp.SetCurrentRate(2.0), 0);
    ASSERT_EQ(lamp.SetCurrent(6.5), 0);
    ASSERT_EQ(lamp.SetOutput(true), 0);
    lamp.Advance(1.0);
    EXPECT_NEAR(lamp.GetCurrent(), 2.0, 1e-6); // the ramp, not the set point
    EXPECT_TRUE(lamp.GetCondition() & CSimLampSupply::CondRamping);
    EXPECT_EQ(lamp.SetMode(CSimLampSupply::ModeVoltage), 686);
    lamp.Advance(10.0);
    EXPECT_NEAR(lamp.GetCurrent(), 6.5, 1e-9);
    EXPECT_FALSE(lamp.GetCondition() & CSimLampSupply::CondRamping);
    // A hot tungsten filament: about sixteen times its cold resistance, near 20 V at 6.5 A.
    EXPECT_GT(lamp.GetLampOhms(), 12.0 * 0.19);
    EXPECT_NEAR(lamp.GetVoltage(), 20.0, 3.0);

    lamp.SetLampOpen(true);
    lamp.Advance(0.01);
    EXPECT_FALSE(lamp.GetOutput());
    EXPECT_EQ(lamp.TakeErrors(), std::vector<int>{680});
    EXPECT_EQ(lamp.SetOutput(true), 680);
}

TEST(LampSupply, VoltageModeSettlesOnTheSetVoltage)
{
    CSimLampSupply lamp;
    ASSERT_EQ(lamp.SetMode(CSimLampSupply::ModeVoltage), 0);
    ASSERT_EQ(lamp.SetVoltage(12.0), 0);
    EXPECT_EQ(lamp.SetVoltage(31.0), 201);
    ASSERT_EQ(lamp.SetOutput(true), 0);
    // The cold filament would draw far more than the limit: the supply crosses over to the current
    // limit until the filament has warmed.
    bool limited = false;
    for (int i = 0; i < 200; ++i)
    {
        lamp.Advance(0.1);
        EXPECT_LE(lamp.GetCurrent(), 8.0);
        limited = limited || (lamp.GetCondition() & CSimLampSupply::CondCurrentLimit);
    }
    EXPECT_TRUE(limited);
    EXPECT_NEAR(lamp.GetVoltage(), 12.0, 1e-3);
    EXPECT_GT(lamp.GetCurrent(), 3.0);
    EXPECT_TRUE(lamp.GetOutput());

    lamp.SetOutputOffEnable(CSimLampSupply::CondVoltageLimit);
    lamp.SetMode(CSimLampSupply::ModeCurrent); // refused while on: 686
    EXPECT_EQ(lamp.GetMode(), CSimLampSupply::ModeVoltage);
}
} // namespace
