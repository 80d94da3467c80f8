#pragma once

#include "ui/widgets/InstrumentLink.h"

#include <functional>

class CInstrBase;
class CLaser;

// How a laser block, the laser settings page and the QCW parameters dialog reach their channel. The
// channel is looked up on every use (null once the panel's connection watch has deleted the instrument,
// even behind a modal dialog); select runs right before every group of reads or writes (multi-channel
// units address one channel at a time); session is what polls, and is paused while a page reads or
// writes (the channel itself when not given).
struct SLaserChannelAccess
{
    std::function<CLaser*()> channel;
    std::function<void()> select;
    std::function<CInstrBase*()> session;
    int channelIndex = 0; // zero-based
    int channelCount = 1; // channels of the instrument
    // The channel object itself, not through a shared selection, for requests on the strand (the
    // channel when not given).
    std::function<CLaser*()> direct;
    // The panel's instrument and its strand.
    std::function<const SInstrumentLink&()> link;

    // The channel after its selection; null when the instrument is gone.
    CLaser* Selected() const;
    // The channel without selecting it, for capability questions that send nothing.
    CLaser* Peek() const { return channel ? channel() : nullptr; }
    CInstrBase* Session() const;
    CLaser* Direct() const;
    // Empty once the instrument is gone.
    const SInstrumentLink& Link() const;
};
