#pragma once

#include "instrument/report/ReadingFormat.h"

#include <vector>

class CInstrBase;
class CLaser;
class CTEC;

// One channel of an instrument as it is addressed and labelled: its label, its number on the instrument
// (1 for the one channel of a single-channel unit) and the channel object.
template <class Channel>
struct SChannel
{
    std::string label;
    int number = 1;
    Channel* channel = nullptr;
};

// The TEC and laser channels of one instrument, in channel order. A single-channel instrument gives
// "TEC" and/or "LAS"; a multi-channel one numbers its present channels ("TEC1", "TEC3", ...). Lamp
// supplies are laser channels that carry amperes, labelled "LPS".
struct SChannels
{
    std::vector<SChannel<CTEC>> tecs;
    std::vector<SChannel<CLaser>> lasers;
    // Channel selections the unit answered with another channel's number while its channels were
    // discovered: the channel list cannot be trusted.
    int misselected = 0;

    static SChannels Of(CInstrBase& instrument);

    // Every distinct session: the instrument and its channel objects, each with its own error list.
    std::vector<CInstrBase*> Sessions(CInstrBase& instrument) const;
    // The cached readings of every channel (while polling, nothing is sent).
    std::vector<SChannelReadings> Read() const;
    // One channel's cached readings, as Read gives them.
    static SChannelReadings ReadOne(const SChannel<CTEC>& tec);
    static SChannelReadings ReadOne(const SChannel<CLaser>& laser);
};
