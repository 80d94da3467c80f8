#pragma once

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

    // The channel after its selection; null when the instrument is gone.
    CTEC* Selected() const;
    CInstrBase* Session() const;
};
