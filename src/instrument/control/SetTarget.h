#pragma once

#include "instrument/control/Setting.h"
#include "instrument/report/Channels.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class CInstrBase;
class CLaser;
class CTEC;

// The channel one setting goes to, and the one way a setting is carried out: the channel's own
// range-checked setter, whether the request came from the command line or from a broker.
struct SSetTarget
{
    // What became of one setting.
    enum class EState
    {
        Done,        // the instrument confirmed it
        NotSent,     // nothing went out: refused by the range check (see refusal) or no connection
        Refused,     // the instrument answered with errors (they are in its error list)
        Unconfirmed, // sent, but the confirmation was lost; held says what the unit holds now
    };
    struct SResult
    {
        EState state = EState::NotSent;
        std::vector<std::string> refusal; // what the range check logged, one line each
        // After a lost confirmation: the value read back from the unit in the setting's form ("33.000",
        // "T", "on"); empty when the unit did not answer the read-back.
        std::optional<std::string> held;
        bool heldAsRequested = false; // the value read back is the one asked for
    };

    // How long a read-back after a lost confirmation may take, pausing the poll meanwhile.
    static constexpr std::chrono::milliseconds ReadBackBudget{8000};

    CTEC* tec = nullptr;
    CLaser* laser = nullptr;
    // The session whose poll thread serves the channel (the instrument itself, also for a channel of a
    // multi-channel unit); paused for a read-back so that the unit, not the cache, answers.
    CInstrBase* poller = nullptr;

    // The channel numbered channelNumber of the setting's family on the instrument (0: the first
    // present). Empty, with a message, when there is none.
    static SSetTarget Pick(CInstrBase& instrument, const SChannels& channels, const SSetting& setting,
                           int channelNumber, std::string& message);
    bool Empty() const { return !tec && !laser; }

    // Runs the setter with the log captured; when the command went out but its confirmation did not
    // come back, reads the value back from the unit.
    SResult Apply(const SSetting& setting) const;
    // "tec.t 33: done", "tec.t 33: sent, not confirmed; the unit holds 25.000", ...
    static std::string Describe(const SSetting& setting, const std::string& value, const SResult& result);

private:
    // The setting's value as the unit holds it, asked once; empty when it did not answer.
    std::optional<std::string> ReadOnce(const SSetting& setting) const;
    std::optional<std::string> ReadBack(const SSetting& setting) const;
    bool Matches(const SSetting& setting, const std::string& held) const;
};
