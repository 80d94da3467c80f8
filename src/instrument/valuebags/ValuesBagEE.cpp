#include "instrument/valuebags/ValuesBagEE.h"

#include "instrument/session/InstrBase.h"

#include <algorithm>

CValuesBagEE::CValuesBagEE(CInstrBase* instrument, std::span<const SBagKeyInfo> table)
    : CValuesBag(instrument), m_table(table)
{
}

bool CValuesBagEE::LookupKey(uint32_t key, SBagKeyInfo& info) const
{
    auto it = std::find_if(m_table.begin(), m_table.end(),
                           [key](const SBagKeyInfo& row) { return row.key == key; });
    if (it == m_table.end())
    {
        return false;
    }
    info = *it;
    return true;
}

bool CValuesBagEE::HasKey(uint32_t key) const
{
    SBagKeyInfo info;
    return LookupKey(key, info);
}

uint32_t CValuesBagEE::GetWireId(uint32_t key) const
{
    return HasKey(key) ? key : 0;
}

std::string CValuesBagEE::GetCommandPrefix(uint32_t key)
{
    std::string prefix;
    switch ((key >> 20) & 0xFF)
    {
    case 3:
        prefix = ":LAS";
        break;
    case 4:
        prefix = ":TEC";
        break;
    default:
        break;
    }
    switch ((key >> 16) & 0xF)
    {
    case 7:
        prefix += ":USER";
        break;
    case 8:
        prefix += ":FACT";
        break;
    default:
        break;
    }
    return prefix;
}

bool CValuesBagEE::ResolveType(uint32_t key, uint16_t& type) const
{
    SBagKeyInfo info;
    if (!LookupKey(key, info))
    {
        return false;
    }
    type = info.type;
    return true;
}

void CValuesBagEE::FitToKey(uint32_t key, std::vector<uint8_t>& bytes) const
{
    SBagKeyInfo info;
    if (LookupKey(key, info) && bytes.size() > info.size)
    {
        bytes.resize(info.size);
    }
}

bool CValuesBagEE::IsInstrumentConnected() const
{
    return GetInstrument() != nullptr && GetInstrument()->IsPortOpen();
}

std::string CValuesBagEE::QueryInstrument(const std::string& command)
{
    if (!IsInstrumentConnected())
    {
        return std::string();
    }
    return GetInstrument()->Query(command);
}

bool CValuesBagEE::SendInstrument(const std::string& command)
{
    return IsInstrumentConnected() && GetInstrument()->Command(command, true);
}
