#include "ui/panels/RefreshRule.h"

#include "instrument/session/InstrBase.h"

namespace RefreshRule
{
ETick Evaluate(const CInstrBase* instrument, bool& previousUserFlag)
{
    if (!instrument || !instrument->IsPolling())
    {
        previousUserFlag = false;
        return Empty;
    }
    const bool userFlag = instrument->GetUserFlag();
    const bool previous = previousUserFlag;
    previousUserFlag = userFlag;
    if (!userFlag && !previous)
        return Empty;
    return userFlag && !previous ? Forced : Normal;
}
} // namespace RefreshRule
