#pragma once

#include <array>

// One temperature sensor input of a TEC unit: its type, its conversion constants and the conversion
// between temperature and the value the unit reports as "R" (kΩ, Ω, µA or mV by type).
//
// Constants are held exactly as the unit's constant commands carry them (the mantissas the settings
// page shows): thermistor A×10³, B×10⁴, C×10⁷; RTD A×10³, B×10⁶, C×10¹², R0 [Ω]; IC sensors slope M
// [units/K] and offset B [°C].
class CSimSensor
{
public:
    // Sensor type codes as the unit reports them ("TEC:SENS?"); 0 is an input with nothing fitted.
    enum EType
    {
        None = 0,
        Therm100uA = 1,
        Therm10uA = 2,
        LM335 = 3,
        AD590 = 4,
        RTD = 5,
        RTD4Wire = 6,
        Therm1mA = 7,
    };

    // Which constant set a type uses; the index is the one "TEC:CONSTIDX" takes.
    enum EConstSet
    {
        ThermistorSet = 1,
        LM335Set = 3,
        AD590Set = 4,
        RtdSet = 5,
    };

    enum EState
    {
        Normal,
        Open,
        Short,
    };

    explicit CSimSensor(int type = Therm10uA);

    static bool IsValidType(int type) { return type >= Therm100uA && type <= Therm1mA; }
    static double MinValue(int type);
    static double MaxValue(int type);
    // The constant set of a type and how many constants it has (0 for an unknown set).
    static int ConstSetOf(int type);
    static int ConstCount(int set);

    int GetType() const { return m_type; }
    void SetType(int type) { m_type = type; }

    // Sensor value in the type's reporting unit at temperature tC; may lie outside the measurable span.
    double ValueFromT(double tC) const;
    // Temperature at a sensor value (inverse of ValueFromT).
    double TFromValue(double value) const;

    void InjectFault(EState fault) { m_fault = fault; }
    EState GetInjectedFault() const { return m_fault; }

    // Constants of a set, by their wire order. Returns false for an unknown set.
    bool GetConstants(int set, std::array<double, 4>& out) const;
    bool SetConstants(int set, const std::array<double, 4>& values);

private:
    double ThermistorOhms(double tC) const;
    double ThermistorC(double ohms) const;
    double RtdOhms(double tC) const;
    double RtdC(double ohms) const;

    int m_type;
    EState m_fault = Normal;
    std::array<double, 3> m_therm{1.129241, 2.341077, 0.877547}; // 10 kΩ at 25 °C
    std::array<double, 4> m_rtd{3.9083, -0.5775, -4.183, 100.0}; // Pt100, IEC 60751
    std::array<double, 2> m_ad590{1.0, 0.0};                     // slope, offset [°C]
    std::array<double, 2> m_lm335{10.0, 0.0};                    // [mV/K], [°C]
};
