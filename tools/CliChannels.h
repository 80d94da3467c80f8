#pragma once

#include "CliFormat.h"

#include <string>
#include <utility>
#include <vector>

class CInstrBase;
class CLaser;
class CTEC;

// The TEC and laser channels of one instrument, in channel order, each with its display label. A
// single-channel instrument gives "TEC" and/or "LAS"; a multi-channel one numbers them ("TEC1", ...).
// Lamp supplies are laser channels that carry amperes.
struct SCliChannels
{
    std::vector<std::pair<std::string, CTEC*>> tecs;
    std::vector<std::pair<std::string, CLaser*>> lasers;

    static SCliChannels Of(CInstrBase& instrument);

    // Every distinct session: the instrument and its channel objects, each with its own error list.
    std::vector<CInstrBase*> Sessions(CInstrBase& instrument) const;
    // The cached readings of every channel (while polling, nothing is sent).
    std::vector<SCliChannelReadings> Read() const;
    // Capability lines per channel for "info"; these may query the instrument (not while polling).
    std::vector<std::pair<std::string, std::string>> Capabilities() const;
};
