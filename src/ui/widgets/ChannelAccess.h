#pragma once

#include "ui/widgets/InstrumentLink.h"

#include <functional>

class CInstrBase;

// How a channel block (TEC or laser), its settings page and its dialogs (QCW parameters, AutoTune)
// reach their channel. The channel is looked up on every use (null once the panel's connection watch
// has deleted the instrument, even behind a modal dialog); select runs right before every group of
// reads or writes (units that address one channel at a time through a shared selection); session is
// what polls, and is paused while a page reads or writes (the channel itself when not given).
template <class Channel>
struct SChannelAccess
{
    std::function<Channel*()> channel;
    std::function<void()> select;
    std::function<CInstrBase*()> session;
    int channelIndex = 0; // zero-based
    int channelCount = 1; // channels of the instrument
    // The channel object itself, not through a shared selection, for requests on the strand (the
    // channel when not given).
    std::function<Channel*()> direct;
    // The panel's instrument and its strand.
    std::function<const SInstrumentLink&()> link;

    // The channel after its selection; null when the instrument is gone.
    Channel* Selected() const
    {
        Channel* found = Peek();
        if (found && select)
            select();
        return found;
    }
    // The channel without selecting it, for capability questions that send nothing.
    Channel* Peek() const { return channel ? channel() : nullptr; }
    // Defined for the TEC and laser channels only (ChannelAccess.cpp).
    CInstrBase* Session() const;
    Channel* Direct() const { return direct ? direct() : Peek(); }
    // Empty once the instrument is gone.
    const SInstrumentLink& Link() const
    {
        static const SInstrumentLink none;
        return link ? link() : none;
    }
};
