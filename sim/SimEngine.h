#pragma once

#include "SimCommandRegistry.h"
#include "SimLineLog.h"
#include "SimSession.h"
#include "SimUnit.h"

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>

// The protocol engine of one simulated unit: turns received bytes into echo and reply bytes.
//
// A line ends at CR or LF; empty lines get no reply. Parts joined by ";" run in order; the answers of
// all queries of a line go back on one line joined by "," and ended by CR LF; a line without answers
// gets no reply. Headers are case-insensitive with an optional leading ":"; an unknown header queues
// error 123. Faults (SSimFaults) are applied to the reply lines here; delays, baud rate and wire
// timing belong to the transports.
//
// Thread-safe: every entry point takes the engine's lock, so several transports may share one unit.
class CSimEngine
{
public:
    static constexpr size_t kMaxLine = 1024; // [characters]; longer lines are refused with error 102

    explicit CSimEngine(SSimModel model);

    // Bytes received on one connection -> bytes to send back (echo and reply lines).
    std::string Receive(SSimSession& session, std::string_view bytes);
    // In-process exchange: one line (a line end is added); returns the reply without its CR LF.
    std::string Request(std::string_view line);

    // Runs f(unit) under the engine's lock, after bringing simulated time up to date.
    template <class F>
    auto WithUnit(F&& f)
    {
        std::lock_guard lock(m_mutex);
        SyncTime();
        return f(m_unit);
    }
    // Runs f(registry) under the lock, e.g. for a test to add a handler.
    template <class F>
    auto WithRegistry(F&& f)
    {
        std::lock_guard lock(m_mutex);
        return f(m_registry);
    }

    SSimFaults& Faults() { return m_unit.Faults(); } // atomics: no lock needed
    CSimLineLog& Log() { return m_log; }
    const SSimModel& Model() const { return m_model; } // as constructed

    // Simulated time runs at real time times the scale, or only by AdvanceTime when manual.
    void SetTimeScale(double scale);
    void SetManualTime(bool manual);
    void AdvanceTime(double seconds);
    double Now();

private:
    std::string ProcessLine(const std::string& line);
    std::string ApplyFaults(std::string reply);
    void SyncTime();

    const SSimModel m_model;
    std::mutex m_mutex;
    CSimUnit m_unit;
    CSimCommandRegistry m_registry;
    CSimLineLog m_log;
    std::chrono::steady_clock::time_point m_lastSync;
    double m_timeScale = 1.0;
    bool m_manualTime = false;
    long m_replyCount = 0;
    SSimSession m_local; // the in-process session of Request
};
