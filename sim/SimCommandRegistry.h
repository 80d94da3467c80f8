#pragma once

#include "SimResult.h"
#include "SimUnit.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// How command sets plug into the simulator's protocol engine.
//
// Handlers. A handler is registered under a full command header: upper case, without the leading ":",
// queries ending in "?" ("TEC:T", "TEC:T?", "LAS:LDI?", "TEC:CONSTIDX?", "*IDN?"). The engine splits
// each received line at ";", resolves every part's header (case-insensitive, optional leading ":",
// relative headers such as "ITE?" after ":TEC:CHAN?" are tried under the previous part's path, then
// under each shorter one, then from the root, so ":TEC:CHAN?;ITE?" reaches "TEC:ITE?") and calls the
// handler with:
//   unit     the simulated instrument (model, memory, error queue, clock, parts);
//   channel  zero-based index of the channel selected for the header's family ("TEC:", "LAS:" or
//            "LPS:"; see CSimUnit::SelectedIndex), 0 for other headers and single-channel units;
//   args     the text after the header, leading blanks removed ("25.0", "1,1", "PID", "OFF, 1, 2").
// and the handler returns SSimResult::Answer(text) for a query (one reply field; number formatting,
// decimals and units are the handler's business), SSimResult::Done() for a command, or
// SSimResult::Error(n) to refuse: n goes to the error queue (201 out of range, leaving the setting
// unchanged; 123 for a command this model lacks; 124 bad parameter). The engine joins the answers of
// one line with "," and ends the reply with CR LF; an unknown header queues 123.
//
// Time. A ticker registered with AddTicker is called with the unit and a time step [s] as simulated
// time passes (in steps of at most kMaxStep); tickers run the physics. The engine advances time before
// each received line by the real time elapsed times the time scale, so a reading is always current.
//
// Registration. Command sets provide a function `void RegisterXxxCommands(CSimCommandRegistry&)` and
// list it in SimPlugins.cpp, which the engine calls after registering its own core commands. A set may
// replace a core handler by registering the same header again (the last registration wins).
//
// Sensor faults injected from outside set CSimUnit::SetSensorFault; the physics reads it each tick and
// reacts as the instrument would (condition bit, error 402 open / 415 short pushed once, output off).
class CSimCommandRegistry
{
public:
    using Handler = std::function<SSimResult(CSimUnit& unit, int channel, std::string_view args)>;
    using Ticker = std::function<void(CSimUnit& unit, double dtSeconds)>;

    static constexpr double kMaxStep = 0.01;     // [s] largest step handed to a ticker
    static constexpr double kMaxCatchUp = 600.0; // [s] the engine shortens longer idle gaps to this

    void Add(const std::string& header, Handler handler);
    const Handler* Find(const std::string& header) const; // header upper case, no leading ":"
    bool Has(const std::string& header) const { return Find(header) != nullptr; }

    void AddTicker(Ticker ticker);
    void Advance(CSimUnit& unit, double dtSeconds) const; // steps the tickers and the unit's clock

private:
    std::map<std::string, Handler> m_handlers;
    std::vector<Ticker> m_tickers;
};
