#include "commands/SimTecBank.h"

#include "SimUnit.h"

#include <algorithm>
#include <array>

namespace
{
// Bits of the stored sensor mask (key 0x480009 and the per-sensor keys from 0x480026) by sensor type
// code: the mask's layout puts the 1 mA thermistor between the 10 µA thermistor and the LM335.
constexpr std::array<int, 8> kTypeOfMaskBit{1, 2, 7, 3, 4, 5, 6, 0};

uint32_t TypesFromMask(long long mask)
{
    uint32_t types = 0;
    for (size_t bit = 0; bit < kTypeOfMaskBit.size(); ++bit)
    {
        if ((mask >> bit & 1) && kTypeOfMaskBit[bit] != 0)
            types |= 1u << kTypeOfMaskBit[bit];
    }
    return types;
}

// The type a fresh input carries: the preferred one where allowed, else the first allowed type.
int DefaultType(uint32_t types, int preferred)
{
    if (types & (1u << preferred))
        return preferred;
    for (int type = 1; type <= 7; ++type)
    {
        if (types & (1u << type))
            return type;
    }
    return CSimSensor::None;
}

CSimSensor::EState ToState(ESimSensorFault fault)
{
    switch (fault)
    {
    case ESimSensorFault::Open:
        return CSimSensor::Open;
    case ESimSensorFault::Short:
        return CSimSensor::Short;
    default:
        return CSimSensor::Normal;
    }
}

constexpr double kConstantSyncS = 0.5; // how often stored sensor constants are re-read
} // namespace

CSimTecBank::CSimTecBank(CSimUnit& unit)
{
    const CSimTecUnit::SConfig config = ConfigFor(unit);
    const int count = unit.Model().tecChannels;
    m_channels.assign(static_cast<size_t>(count), CSimTecUnit(config));
    m_appliedFaults.assign(static_cast<size_t>(count), static_cast<int>(ESimSensorFault::None));
    SyncStoredConstants(unit);
}

CSimTecUnit::SConfig CSimTecBank::ConfigFor(const CSimUnit& unit)
{
    const SSimModel& model = unit.Model();
    const CSimMemory& memory = unit.Memory();
    CSimTecUnit::SConfig config;
    config.sensorCount = std::max(1, model.sensorCount);
    config.maxIteLimitA = memory.GetInt(0x480007, 4000) / 1000.0;
    config.sensorTypes.clear();
    for (int i = 0; i < config.sensorCount; ++i)
    {
        const long long fallback = i == 0 ? model.sensorMask : 0x23;
        const long long mask = memory.GetInt(i == 0 ? 0x480009u : 0x480026u + i, fallback);
        const uint32_t types = TypesFromMask(mask != 0 ? mask : fallback);
        config.supportedTypes.push_back(types);
        // Three inputs carry a probe out of the box (two thermistors and an RTD); the others read
        // "disabled" until given a type.
        const int preferred = i < 2 ? CSimSensor::Therm10uA : CSimSensor::RTD;
        config.sensorTypes.push_back(i < 3 ? DefaultType(types, preferred) : CSimSensor::None);
    }
    // Firmware up to build 330 measured the LM335 only to 4250 mV.
    if (model.sensorCount > 1 && model.buildNumber <= 330)
        config.lm335MaxMv = 4250.0;
    // The K705 reports every sensor in ohms over one span and stops at 200 °C.
    if (model.name == "K705")
    {
        config.thermistorInOhms = true;
        config.maxTC = 200.0;
    }
    return config;
}

void CSimTecBank::Tick(CSimUnit& unit, double dt)
{
    m_sinceConstantSync += dt;
    if (m_sinceConstantSync >= kConstantSyncS)
    {
        SyncStoredConstants(unit);
        m_sinceConstantSync = 0.0;
    }
    for (int i = 0; i < Count(); ++i)
    {
        CSimTecUnit& channel = m_channels[static_cast<size_t>(i)];
        const ESimSensorFault fault = unit.SensorFault(i);
        if (static_cast<int>(fault) != m_appliedFaults[static_cast<size_t>(i)])
        {
            channel.InjectSensorFault(-1, ToState(fault));
            m_appliedFaults[static_cast<size_t>(i)] = static_cast<int>(fault);
        }
        channel.Advance(dt);
        for (int error : channel.TakeErrors())
            unit.PushError(error);
    }
}

// Units with one sensor input keep its constants in the memory map, where the program writes them;
// multi-sensor units take them by command instead. The first channel's PID lives there too, so that
// a PID the unit found by AutoTune is what the stored values say.
void CSimTecBank::SyncStoredConstants(CSimUnit& unit)
{
    CSimMemory& memory = unit.Memory();
    if (!m_channels.empty())
    {
        const CSimPid::SGains& pid = m_channels.front().GetPid();
        memory.SetNumber(0x470028, pid.p);
        memory.SetNumber(0x470029, pid.i);
        memory.SetNumber(0x47002A, pid.d);
    }
    if (unit.Model().sensorCount > 1)
        return;
    const auto stored = [&memory](uint32_t key, double scale, double fallback)
    { return memory.GetFloat(key, fallback) * scale; };
    const std::vector<double> thermistor{stored(0x47001D, 1e3, 1.129241e-3),
                                         stored(0x47001E, 1e4, 2.341077e-4),
                                         stored(0x47001F, 1e7, 0.877547e-7)};
    const std::vector<double> rtd{stored(0x470020, 1e3, 3.9083e-3), stored(0x470021, 1e6, -5.775e-7),
                                  stored(0x470022, 1e12, -4.183e-12), stored(0x470023, 1.0, 100.0)};
    const std::vector<double> ad590{stored(0x470024, 1.0, 1.0), stored(0x470025, 1.0, 0.0)};
    const std::vector<double> lm335{stored(0x470026, 1.0, 10.0), stored(0x470027, 1.0, 0.0)};
    for (CSimTecUnit& channel : m_channels)
    {
        // A value the set refuses (a zero slope, say) leaves the previous constants in force.
        channel.SetConstants(0, CSimSensor::ThermistorSet, thermistor);
        channel.SetConstants(0, CSimSensor::RtdSet, rtd);
        channel.SetConstants(0, CSimSensor::AD590Set, ad590);
        channel.SetConstants(0, CSimSensor::LM335Set, lm335);
    }
}
