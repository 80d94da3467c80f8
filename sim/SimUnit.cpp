#include "SimUnit.h"

CSimUnit::CSimUnit(SSimModel model) : m_model(std::move(model)), m_memory(m_model.memory)
{
    // Start on the lowest fitted channel of each family, as the units do after power-up.
    for (ESimFamily family : {ESimFamily::Tec, ESimFamily::Laser, ESimFamily::Lps})
    {
        for (int number = 1; number <= ChannelCount(family); ++number)
        {
            if (Select(family, number))
                break;
        }
    }
}

CSimUnit::~CSimUnit() = default;

int CSimUnit::ChannelCount(ESimFamily family) const
{
    switch (family)
    {
    case ESimFamily::Tec:
        return m_model.tecChannels;
    case ESimFamily::Laser:
        return m_model.laserChannels;
    case ESimFamily::Lps:
        return m_model.lpsChannels;
    default:
        return 0;
    }
}

unsigned& CSimUnit::FittedMask(ESimFamily family)
{
    return family == ESimFamily::Tec     ? m_model.tecFitted
           : family == ESimFamily::Laser ? m_model.laserFitted
                                         : m_model.lpsFitted;
}

unsigned CSimUnit::FittedMask(ESimFamily family) const
{
    return const_cast<CSimUnit*>(this)->FittedMask(family);
}

bool CSimUnit::IsFitted(ESimFamily family, int number) const
{
    const int count = ChannelCount(family);
    if (count == 1)
        return number == 0 || number == 1;
    return number >= 1 && number <= count && (FittedMask(family) >> (number - 1) & 1u) != 0;
}

void CSimUnit::SetFitted(ESimFamily family, unsigned mask)
{
    if (ChannelCount(family) == 0)
        return;
    FittedMask(family) = mask;
    if (!IsFitted(family, SelectedNumber(family)))
    {
        for (int number = 1; number <= ChannelCount(family); ++number)
        {
            if (Select(family, number))
                break;
        }
    }
}

bool CSimUnit::Select(ESimFamily family, int number)
{
    if (!IsFitted(family, number))
        return false;
    m_selected[static_cast<int>(family)] = IsNumbered(family) ? number - 1 : 0;
    return true;
}

int CSimUnit::SelectedIndex(ESimFamily family) const
{
    return m_selected[static_cast<int>(family)];
}

int CSimUnit::SelectedNumber(ESimFamily family) const
{
    return IsNumbered(family) ? SelectedIndex(family) + 1 : 0;
}

ESimSensorFault CSimUnit::SensorFault(int tecIndex) const
{
    const auto found = m_sensorFaults.find(tecIndex);
    return found == m_sensorFaults.end() ? ESimSensorFault::None : found->second;
}

void CSimUnit::SetSensorFault(int tecIndex, ESimSensorFault fault)
{
    m_sensorFaults[tecIndex] = fault;
}
