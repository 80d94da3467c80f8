#include "physics/SimStatusRegisters.h"

void CSimStatusRegisters::SetCondition(uint16_t bits, bool on)
{
    if (on)
    {
        m_events |= bits & ~m_condition;
        m_condition |= bits;
    }
    else
        m_condition &= ~bits;
}

std::vector<int> CSimStatusRegisters::TakeErrors()
{
    std::vector<int> out;
    out.swap(m_errors);
    return out;
}

uint16_t CSimStatusRegisters::TakeEvents()
{
    const uint16_t events = m_events;
    m_events = 0;
    return events;
}

uint16_t CSimStatusRegisters::GetStatusByte() const
{
    uint16_t stb = 0;
    if (m_condition & m_condEnable)
        stb |= 0x10;
    if (m_events & m_eventEnable)
        stb |= 0x08;
    return stb;
}

int CSimStatusRegisters::FirstTripError(std::span<const STripRule> rules) const
{
    for (const STripRule& rule : rules)
    {
        if ((m_condition & rule.bit) && (rule.always || (m_outOffEnable & rule.bit)))
            return rule.error;
    }
    return 0;
}
