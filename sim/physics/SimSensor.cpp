#include "physics/SimSensor.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kKelvin = 273.15;

struct SRange
{
    double min;
    double max;
};

// Measurable spans per type, in the reporting unit.
SRange RangeOf(int type)
{
    switch (type)
    {
    case CSimSensor::Therm100uA:
        return {0.01, 45.0};
    case CSimSensor::Therm10uA:
        return {0.1, 450.0};
    case CSimSensor::LM335:
        return {1730.0, 4730.0};
    case CSimSensor::AD590:
        return {173.0, 473.0};
    case CSimSensor::RTD:
    case CSimSensor::RTD4Wire:
        return {20.0, 192.0};
    case CSimSensor::Therm1mA:
        return {0.001, 4.5};
    default:
        return {-1.0, -1.0};
    }
}
} // namespace

CSimSensor::CSimSensor(int type) : m_type(type) {}

double CSimSensor::MinValue(int type)
{
    return RangeOf(type).min;
}

double CSimSensor::MaxValue(int type)
{
    return RangeOf(type).max;
}

int CSimSensor::ConstSetOf(int type)
{
    switch (type)
    {
    case Therm100uA:
    case Therm10uA:
    case Therm1mA:
        return ThermistorSet;
    case LM335:
        return LM335Set;
    case AD590:
        return AD590Set;
    case RTD:
    case RTD4Wire:
        return RtdSet;
    default:
        return 0;
    }
}

int CSimSensor::ConstCount(int set)
{
    switch (set)
    {
    case ThermistorSet:
        return 3;
    case RtdSet:
        return 4;
    case LM335Set:
    case AD590Set:
        return 2;
    default:
        return 0;
    }
}

double CSimSensor::ValueFromT(double tC) const
{
    switch (ConstSetOf(m_type))
    {
    case ThermistorSet:
        return ThermistorOhms(tC) / 1000.0; // reported in kΩ
    case RtdSet:
        return RtdOhms(tC);
    case AD590Set: // nominally 1 µA/K
        return m_ad590[0] * (tC - m_ad590[1] + kKelvin);
    case LM335Set: // nominally 10 mV/K
        return m_lm335[0] * (tC - m_lm335[1] + kKelvin);
    default:
        return 0.0;
    }
}

double CSimSensor::TFromValue(double value) const
{
    switch (ConstSetOf(m_type))
    {
    case ThermistorSet:
        return ThermistorC(value * 1000.0);
    case RtdSet:
        return RtdC(value);
    case AD590Set:
        return value / m_ad590[0] - kKelvin + m_ad590[1];
    case LM335Set:
        return value / m_lm335[0] - kKelvin + m_lm335[1];
    default:
        return 0.0;
    }
}

bool CSimSensor::GetConstants(int set, std::array<double, 4>& out) const
{
    out = {0.0, 0.0, 0.0, 0.0};
    switch (set)
    {
    case ThermistorSet:
        std::copy(m_therm.begin(), m_therm.end(), out.begin());
        return true;
    case RtdSet:
        out = m_rtd;
        return true;
    case AD590Set:
        std::copy(m_ad590.begin(), m_ad590.end(), out.begin());
        return true;
    case LM335Set:
        std::copy(m_lm335.begin(), m_lm335.end(), out.begin());
        return true;
    default:
        return false;
    }
}

bool CSimSensor::SetConstants(int set, const std::array<double, 4>& values)
{
    switch (set)
    {
    case ThermistorSet:
        std::copy(values.begin(), values.begin() + 3, m_therm.begin());
        return true;
    case RtdSet:
        m_rtd = values;
        return true;
    case AD590Set:
        std::copy(values.begin(), values.begin() + 2, m_ad590.begin());
        return true;
    case LM335Set:
        std::copy(values.begin(), values.begin() + 2, m_lm335.begin());
        return true;
    default:
        return false;
    }
}

// Steinhart-Hart: 1/T = A + B·ln R + C·(ln R)³, solved for ln R by the cubic's closed form.
double CSimSensor::ThermistorOhms(double tC) const
{
    const double a = m_therm[0] * 1e-3;
    const double b = m_therm[1] * 1e-4;
    const double c = m_therm[2] * 1e-7;
    const double inverseT = 1.0 / (tC + kKelvin);
    if (c == 0.0)
        return std::exp((inverseT - a) / b);
    const double x = (a - inverseT) / c;
    const double y = std::sqrt(std::pow(b / (3.0 * c), 3) + x * x / 4.0);
    return std::exp(std::cbrt(y - x / 2.0) - std::cbrt(y + x / 2.0));
}

double CSimSensor::ThermistorC(double ohms) const
{
    if (!(ohms > 0.0))
        return 1000.0; // a dead short reads as a very hot thermistor
    const double lnR = std::log(ohms);
    const double inverseT = m_therm[0] * 1e-3 + m_therm[1] * 1e-4 * lnR + m_therm[2] * 1e-7 * lnR * lnR * lnR;
    return 1.0 / inverseT - kKelvin;
}

// Callendar-Van Dusen: R = R0·(1 + A·T + B·T² + C·(T − 100)·T³), the C term only below 0 °C.
double CSimSensor::RtdOhms(double tC) const
{
    const double a = m_rtd[0] * 1e-3;
    const double b = m_rtd[1] * 1e-6;
    const double c = tC < 0.0 ? m_rtd[2] * 1e-12 : 0.0;
    return m_rtd[3] * (1.0 + a * tC + b * tC * tC + c * (tC - 100.0) * tC * tC * tC);
}

double CSimSensor::RtdC(double ohms) const
{
    // Newton from the linear estimate; the curve is smooth and nearly linear over the span.
    const double a = m_rtd[0] * 1e-3;
    double t = (ohms / m_rtd[3] - 1.0) / a;
    for (int i = 0; i < 30; ++i)
    {
        const double h = 1e-3;
        const double slope = (RtdOhms(t + h) - RtdOhms(t - h)) / (2.0 * h);
        if (slope == 0.0)
            break;
        const double next = t - (RtdOhms(t) - ohms) / slope;
        if (std::fabs(next - t) < 1e-9)
            return next;
        t = next;
    }
    return t;
}
