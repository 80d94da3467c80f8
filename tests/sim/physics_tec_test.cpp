#include "physics/SimTecUnit.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace
{
// Runs the unit for `seconds` and returns the largest deviation of the control sensor from `targetC`
// seen during that time.
double RunAndTrack(CSimTecUnit& unit, double seconds, double targetC)
{
    double worst = 0.0;
    for (double t = 0.0; t < seconds; t += 0.5)
    {
        unit.Advance(0.5);
        worst = std::max(worst, std::fabs(unit.GetTemperature() - targetC));
    }
    return worst;
}

class TecSetPoint : public ::testing::TestWithParam<double>
{
};

INSTANTIATE_TEST_SUITE_P(HeatAndCool, TecSetPoint, ::testing::Values(40.0, 10.0, 25.5));

TEST_P(TecSetPoint, IsApproachedAndHeldUnderPid)
{
    CSimTecUnit unit;
    const double target = GetParam();
    ASSERT_EQ(unit.SetTSetPoint(target), 0);
    ASSERT_EQ(unit.SetOutput(true), 0);
    unit.Advance(200.0);
    EXPECT_LT(RunAndTrack(unit, 100.0, target), 0.02);
    EXPECT_TRUE(unit.GetCondition() & CSimTecUnit::CondInTolerance);
    EXPECT_TRUE(unit.TakeErrors().empty());
}

TEST(TecLoop, FixedGainAndRModeAlsoRegulate)
{
    CSimTecUnit fixed;
    ASSERT_EQ(fixed.SetGain(30), 0);
    EXPECT_EQ(fixed.SetGain(7), 201); // not one of the unit's gains
    EXPECT_EQ(fixed.GetGain(), 30);
    fixed.SetTSetPoint(35.0);
    fixed.SetOutput(true);
    fixed.Advance(600.0);
    EXPECT_NEAR(fixed.GetTemperature(), 35.0, 0.05);

    CSimTecUnit rMode;
    const CSimSensor thermistor(CSimSensor::Therm10uA);
    const double r35 = thermistor.ValueFromT(35.0); // kΩ
    ASSERT_EQ(rMode.SetMode(CSimTecUnit::ModeR), 0);
    ASSERT_EQ(rMode.SetRSetPoint(r35), 0);
    rMode.SetOutput(true);
    rMode.Advance(300.0);
    EXPECT_NEAR(rMode.GetSensorValue(), r35, 0.01);
    EXPECT_NEAR(rMode.GetTemperature(), 35.0, 0.05);
}

TEST(TecLoop, OutputOffDriftsToAmbient)
{
    CSimTecUnit unit;
    unit.SetTSetPoint(50.0);
    unit.SetOutput(true);
    unit.Advance(300.0);
    ASSERT_NEAR(unit.GetTemperature(), 50.0, 0.1);
    unit.SetOutput(false);
    unit.Advance(1.0);
    EXPECT_EQ(unit.GetCurrent(), 0.0);
    unit.Advance(900.0);
    EXPECT_NEAR(unit.GetTemperature(), 25.0, 0.05);
    EXPECT_NEAR(unit.GetVoltage(), 0.0, 1e-3);
}

TEST(TecLoop, CurrentAndVoltageLimitsHold)
{
    CSimTecUnit unit;
    ASSERT_EQ(unit.SetIteLimit(0.5), 0);
    EXPECT_EQ(unit.SetIteLimit(9.0), 201);
    EXPECT_EQ(unit.GetIteLimit(), 0.5);
    unit.SetTSetPoint(70.0);
    unit.SetOutput(true);
    double peak = 0.0;
    for (int i = 0; i < 200; ++i)
    {
        unit.Advance(0.5);
        peak = std::max(peak, std::fabs(unit.GetCurrent()));
    }
    EXPECT_LE(peak, 0.5 + 1e-12);
    EXPECT_TRUE(unit.GetCondition() & CSimTecUnit::CondCurrentLimit);

    // A long cable eats the compliance voltage: the current gives way, not the voltage limit.
    CSimTecUnit cable;
    cable.SetIteLimit(4.0);
    cable.SetCableR(5.0);
    cable.SetMode(CSimTecUnit::ModeITE);
    ASSERT_EQ(cable.SetIteSetPoint(3.0), 0);
    cable.SetOutput(true);
    cable.Advance(5.0);
    EXPECT_LE(cable.GetCurrent() * (1.5 + 5.0) + cable.GetPlant().VoltageAt(0.0), 8.0 + 0.01);
    EXPECT_TRUE(cable.GetCondition() & CSimTecUnit::CondVoltageLimit);
}

TEST(TecLoop, HeatOnlyNeverCools)
{
    CSimTecUnit unit;
    unit.SetHeatCool(CSimTecUnit::HeatOnly);
    unit.SetTSetPoint(15.0);
    unit.SetOutput(true);
    unit.Advance(100.0);
    EXPECT_GE(unit.GetCurrent(), 0.0);
    EXPECT_NEAR(unit.GetTemperature(), 25.0, 0.05);
}

TEST(TecFaults, LimitTripsTurnTheOutputOffWithTheirError)
{
    CSimTecUnit unit;
    unit.SetMode(CSimTecUnit::ModeITE);
    unit.SetIteSetPoint(2.0);
    ASSERT_EQ(unit.SetTHighLimit(30.0, -1), 0);
    unit.SetOutput(true);
    unit.Advance(120.0);
    EXPECT_FALSE(unit.GetOutput());
    EXPECT_EQ(unit.TakeErrors(), std::vector<int>{407});

    CSimTecUnit limited;
    limited.SetOutputOffEnable(limited.GetOutputOffEnable() | CSimTecUnit::CondCurrentLimit);
    limited.SetIteLimit(0.2);
    limited.SetTSetPoint(60.0);
    limited.SetOutput(true);
    limited.Advance(1.0);
    EXPECT_FALSE(limited.GetOutput());
    EXPECT_EQ(limited.TakeErrors(), std::vector<int>{404});
}

TEST(TecFaults, OpenOrShortedSensorStopsTheOutputAndRefusesOn)
{
    CSimTecUnit unit;
    unit.SetTSetPoint(30.0);
    unit.SetOutput(true);
    unit.Advance(10.0);
    unit.InjectSensorFault(-1, CSimSensor::Open);
    unit.Advance(0.1);
    EXPECT_FALSE(unit.GetOutput());
    EXPECT_TRUE(unit.GetCondition() & CSimTecUnit::CondSensorOpen);
    EXPECT_EQ(unit.TakeErrors(), std::vector<int>{402});
    EXPECT_EQ(unit.SetOutput(true), 402);

    unit.InjectSensorFault(-1, CSimSensor::Short);
    unit.Advance(0.1);
    EXPECT_TRUE(unit.GetCondition() & CSimTecUnit::CondSensorShort);
    EXPECT_FALSE(unit.GetCondition() & CSimTecUnit::CondSensorOpen);
    EXPECT_EQ(unit.SetOutput(true), 415);

    unit.InjectSensorFault(-1, CSimSensor::Normal);
    EXPECT_EQ(unit.SetOutput(true), 0);
}

TEST(TecFaults, ColdThermistorOnTheSmallRangeReadsOpen)
{
    CSimTecUnit::SConfig config;
    config.sensorTypes = {CSimSensor::Therm100uA}; // span ends at 45 kΩ, about -3 °C
    CSimTecUnit unit(config);
    unit.GetPlant().SetTemperatures(-10.0, -10.0);
    unit.Advance(0.1);
    EXPECT_TRUE(unit.GetCondition() & CSimTecUnit::CondSensorOpen);
    EXPECT_DOUBLE_EQ(unit.GetSensorValue(), 45.0);
}

TEST(TecSensors, SensorChangeResetsLimitsAndDropsTheOutput)
{
    CSimTecUnit unit;
    ASSERT_EQ(unit.SetRLowLimit(2.0), 0);
    unit.SetOutput(true);
    ASSERT_EQ(unit.SetSensorType(CSimSensor::RTD, -1), 0);
    EXPECT_FALSE(unit.GetOutput());
    EXPECT_EQ(unit.TakeErrors(), std::vector<int>{409});
    EXPECT_EQ(unit.GetRLowLimit(), 20.0);
    EXPECT_EQ(unit.GetRHighLimit(), 192.0);
    EXPECT_NEAR(unit.GetSensorValue(), 109.73, 0.01); // Pt100 at 25 °C
    EXPECT_EQ(unit.SetSensorType(9, -1), 201);
}

TEST(TecAutoTune, RunsThroughItsStepsAndStoresPid)
{
    CSimTecUnit unit;
    ASSERT_EQ(unit.SetGain(10), 0);
    ASSERT_EQ(unit.StartAutoTune(40.0), 0);
    EXPECT_EQ(unit.GetAutoTuneResult(), CSimAutoTune::Running);

    std::vector<int> seenSteps; // the hundreds the progress went through
    int last = 0;
    for (int i = 0; i < 20000 && unit.GetAutoTuneResult() == CSimAutoTune::Running; ++i)
    {
        unit.Advance(0.5);
        const int progress = unit.GetAutoTuneProgress();
        ASSERT_GE(progress, last);
        last = progress;
        if (seenSteps.empty() || seenSteps.back() != progress / 100)
            seenSteps.push_back(progress / 100);
    }
    EXPECT_EQ(unit.GetAutoTuneResult(), CSimAutoTune::Succeeded);
    EXPECT_EQ(seenSteps, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(unit.GetGain(), 0);
    const CSimPid::SGains pid = unit.GetPid();
    EXPECT_GT(pid.p, 0.0);
    EXPECT_GT(pid.i, 0.0);
    EXPECT_GT(pid.d, 0.0);
    // The new gains hold the mount at the test point.
    unit.Advance(120.0);
    EXPECT_LT(RunAndTrack(unit, 60.0, 40.0), 0.05);
    EXPECT_TRUE(unit.TakeErrors().empty());
}

TEST(TecAutoTune, RefusedOutsideTModeAndFailsWhenCancelled)
{
    CSimTecUnit unit;
    unit.SetMode(CSimTecUnit::ModeITE);
    EXPECT_EQ(unit.StartAutoTune(30.0), 437);
    EXPECT_EQ(unit.GetAutoTuneResult(), CSimAutoTune::NeverRun);
    EXPECT_FALSE(unit.GetOutput());

    unit.SetMode(CSimTecUnit::ModeT);
    EXPECT_EQ(unit.StartAutoTune(95.0), 201); // beyond the T high limit
    ASSERT_EQ(unit.StartAutoTune(30.0), 0);
    unit.Advance(5.0);
    unit.SetOutput(false); // what the wizard's Cancel sends
    EXPECT_EQ(unit.GetAutoTuneResult(), CSimAutoTune::Failed);
    EXPECT_EQ(unit.GetPid().p, CSimTecUnit().GetPid().p); // untouched
}
} // namespace
