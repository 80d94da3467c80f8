#pragma once

#include "ui/widgets/InstrumentLink.h"

#include <functional>

class CInstrBase;
class CTEC;

// How a TEC block, the TEC settings page and the AutoTune wizard reach their channel. The channel is
// looked up on every use (null once the instrument is gone); select runs right before every group of
// reads or writes (multi-channel units address one channel at a time); session is what polls, and is
// paused while a page reads or writes (the channel itself when not given).
struct STecChannelAccess
{
    std::function<CTEC*()> channel;
    std::function<void()> select;
    std::function<CInstrBase*()> session;
    int channelIndex = 0; // zero-based
    int channelCount = 1; // channels of the instrument
    // The channel object itself, not through a shared selection, for requests on the strand (the
    // channel when not given).
    std::function<CTEC*()> direct;
    // The panel's instrument and its strand.
    std::function<const SInstrumentLink&()> link;

    // The channel after its selection; null when the instrument is gone.
    CTEC* Selected() const;
    CInstrBase* Session() const;
    CTEC* Direct() const;
    // Empty once the instrument is gone.
    const SInstrumentLink& Link() const;
};
