#include "physics/SimSensor.h"

#include <gtest/gtest.h>

namespace
{
struct SSensorRow
{
    int type;
    double atC;
    double expected; // value in the type's reporting unit at atC
    double tolerance;
};

class SensorCurve : public ::testing::TestWithParam<SSensorRow>
{
};

// Reference points: a 10 kΩ thermistor at 25 °C, a Pt100 at 0 and 100 °C (IEC 60751),
// 1 µA/K for the AD590, 10 mV/K for the LM335.
INSTANTIATE_TEST_SUITE_P(Types, SensorCurve,
                         ::testing::Values(SSensorRow{CSimSensor::Therm10uA, 25.0, 10.0, 0.005},
                                           SSensorRow{CSimSensor::Therm100uA, 0.0, 32.65, 0.1},
                                           SSensorRow{CSimSensor::Therm1mA, 60.0, 2.49, 0.02},
                                           SSensorRow{CSimSensor::RTD, 0.0, 100.0, 1e-9},
                                           SSensorRow{CSimSensor::RTD4Wire, 100.0, 138.5055, 1e-3},
                                           SSensorRow{CSimSensor::RTD, -100.0, 60.2558, 1e-3},
                                           SSensorRow{CSimSensor::AD590, 25.0, 298.15, 1e-9},
                                           SSensorRow{CSimSensor::LM335, -40.0, 2331.5, 1e-9}));

TEST_P(SensorCurve, ValueAtReferencePointAndBackToTemperature)
{
    const SSensorRow row = GetParam();
    const CSimSensor sensor(row.type);
    EXPECT_NEAR(sensor.ValueFromT(row.atC), row.expected, row.tolerance);
    for (double t : {-60.0, -10.0, 0.0, 25.0, 47.3, 120.0})
        EXPECT_NEAR(sensor.TFromValue(sensor.ValueFromT(t)), t, 1e-6) << "type " << row.type << " at " << t;
}

TEST(SensorConstants, StoredConstantsChangeTheCurveAndKeepTheRoundTrip)
{
    CSimSensor thermistor(CSimSensor::Therm10uA);
    // A 5 kΩ part, constants in the mantissa form the unit's commands carry.
    ASSERT_TRUE(thermistor.SetConstants(CSimSensor::ThermistorSet, {1.287600, 2.357000, 0.950400, 0.0}));
    EXPECT_NEAR(thermistor.ValueFromT(25.0), 5.0, 0.1);
    EXPECT_NEAR(thermistor.TFromValue(thermistor.ValueFromT(33.3)), 33.3, 1e-6);

    CSimSensor ad590(CSimSensor::AD590);
    ASSERT_TRUE(ad590.SetConstants(CSimSensor::AD590Set, {1.0, 0.5, 0.0, 0.0})); // offset +0.5 °C
    EXPECT_NEAR(ad590.TFromValue(298.15), 25.5, 1e-9);

    std::array<double, 4> out{};
    EXPECT_FALSE(ad590.GetConstants(2, out)); // no such set
}
} // namespace
