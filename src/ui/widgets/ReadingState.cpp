#include "ui/widgets/ReadingState.h"

#include "instrument/session/InstrBase.h"
#include "instrument/tec/TEC.h"

#include <cmath>

namespace ReadingState
{
bool IsNoValue(double value)
{
    return !std::isfinite(value) || value <= CTEC::NoValue / 10;
}

bool IsKnown(const CInstrBase& session, double value)
{
    return !IsNoValue(value) && session.IsPolling() && session.GetFailedPolls() == 0;
}
} // namespace ReadingState
