#pragma once

#include "CliSetting.h"
#include "instrument/report/Channels.h"

#include <string>
#include <vector>

class CLaser;
class CTEC;

// The channel one setting goes to, and the one way a setting is carried out: the channel's own
// range-checked setter, whether the request came from the command line or from a broker.
struct SCliSetTarget
{
    CTEC* tec = nullptr;
    CLaser* laser = nullptr;

    // The channel numbered channelNumber of the setting's family on the instrument (0: the first
    // present). Empty, with a message, when there is none.
    static SCliSetTarget Pick(const SChannels& channels, const SCliSetting& setting, int channelNumber,
                              std::string& message);
    bool Empty() const { return !tec && !laser; }

    // Runs the setter with the log captured. False when the channel refused the value (nothing was sent)
    // or the instrument did not take it; refusal then holds what the range check logged, one line each.
    bool Apply(const SCliSetting& setting, std::vector<std::string>& refusal) const;
};
