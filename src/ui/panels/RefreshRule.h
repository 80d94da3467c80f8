#pragma once

class CInstrBase;

// When a panel's tick rewrites its fields: only while the instrument polls and its poll thread has
// produced readings now or on the previous tick; a tick on which readings reappear rewrites every
// field (forced). The previous tick's userFlag state is kept by the panel and updated here.
namespace RefreshRule
{
enum ETick
{
    Empty,  // the readings are emptied
    Normal, // fields whose cached value changed are rewritten
    Forced, // every field is rewritten
};

ETick Evaluate(const CInstrBase* instrument, bool& previousUserFlag);
} // namespace RefreshRule
