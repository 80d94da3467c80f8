#include "instrument/models/ModelRules.h"

#include "instrument/laser/LaserProtocol.h"
#include "instrument/session/Identification.h"
#include "instrument/session/InstrBase.h"

#include <string>

namespace ModelRules
{
bool IsContinuousMode(int mode)
{
    switch (mode)
    {
    case LaserModeICW:
    case LaserModeIHBW:
    case LaserModeMDI:
    case LaserModeMDP:
    case LaserModeLDV:
        return true;
    default:
        return false;
    }
}

bool IsPulseDriverModeSupported(int mode, bool pulseCapable, int buildNumber)
{
    if (IsContinuousMode(mode))
        return true;
    if (mode == LaserModePulse || mode == LaserModeTrig)
        return pulseCapable;
    if (mode == LaserModeBurst)
        return pulseCapable && buildNumber >= BurstFirstBuild;
    return false;
}

double Lm335MaxR(int buildNumber)
{
    return buildNumber <= Lm335NarrowLastBuild ? Lm335NarrowMaxR : Lm335WideMaxR;
}

bool IsK910AutoTuneSupported(int versionMinor, int buildNumber)
{
    return versionMinor == K910AutoTuneMinor && buildNumber >= K910AutoTuneFirstBuild;
}

namespace
{
std::string_view Trimmed(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \r\n") - first + 1);
}
} // namespace

bool UnitAnswers(CInstrBase& unit, std::string_view query)
{
    const std::string reply = unit.Query(std::string(query) + ";ERR?\n");
    const std::vector<std::string_view> fields = Identification::SplitFields(reply);
    if (fields.size() < 2 || Trimmed(fields.front()).empty())
        return false;
    // Every error number after the answer must be 0.
    for (size_t i = 1; i < fields.size(); ++i)
    {
        if (Trimmed(fields[i]) != "0")
            return false;
    }
    return true;
}
} // namespace ModelRules
