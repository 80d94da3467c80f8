#include "commands/SimLaserBank.h"

#include "SimUnit.h"
#include "commands/SimTecBank.h"

#include <algorithm>

CSimLaserBank::CSimLaserBank(CSimUnit& unit)
{
    m_channels.assign(static_cast<size_t>(unit.Model().laserChannels), CSimLaserUnit(ConfigFor(unit)));
}

CSimLaserUnit::SConfig CSimLaserBank::ConfigFor(const CSimUnit& unit)
{
    const SSimModel& model = unit.Model();
    const CSimMemory& memory = unit.Memory();
    CSimLaserUnit::SConfig config;
    config.maxLdiMa = static_cast<double>(memory.GetInt(0x380014, 500));
    config.maxMdiUa = static_cast<double>(memory.GetInt(0x380015, 5000));
    config.maxLdvV = memory.GetInt(0x380016, 5000) / 1000.0;
    config.maxMdpMw = memory.GetInt(0x380017, 100000) / 1000.0;
    config.dualRange = model.dualRange;
    config.pulse = model.pulse;
    config.qcw = model.qcw;
    // A diode matched to its driver: threshold at 6 % of the driver's maximum, and a photodiode
    // coupling that brings the monitor current to 80 % of its maximum at full drive.
    config.diode.thresholdMa = 0.06 * config.maxLdiMa;
    const CSimLaserDiode diode(config.diode);
    config.diode.monitorUaPerMw = 0.8 * config.maxMdiUa / std::max(diode.PowerMw(config.maxLdiMa), 1e-6);
    return config;
}

void CSimLaserBank::Tick(CSimUnit& unit, double dt)
{
    for (int i = 0; i < Count(); ++i)
    {
        CSimLaserUnit& laser = m_channels[static_cast<size_t>(i)];
        SyncTec(unit, i);
        laser.Advance(dt);
        for (int error : laser.TakeErrors())
            unit.PushError(error);
    }
}

void CSimLaserBank::SyncTec(CSimUnit& unit, int index)
{
    const int tecCount = unit.Model().tecChannels;
    if (tecCount == 0)
        return;
    CSimTecUnit& tec = unit.Part<CSimTecBank>().Channel(std::min(index, tecCount - 1));
    const uint16_t limits = CSimTecUnit::CondTHighLimit | CSimTecUnit::CondTLowLimit;
    Channel(index).SetTecState(tec.GetTemperature(-1), tec.GetOutput(), (tec.GetCondition() & limits) == 0);
}
