#pragma once

class CInstrBase;

// Whether the program can vouch for a cached reading: the instrument polls, its last poll succeeded,
// and the value is not the channels' "no value" mark. Panels show "---" for anything else. Kept in this
// one place so that it can follow a per-reading freshness report of the core.
namespace ReadingState
{
bool IsKnown(const CInstrBase& session, double value);
// The "no value" mark and anything non-finite, whatever the session's state.
bool IsNoValue(double value);
} // namespace ReadingState
