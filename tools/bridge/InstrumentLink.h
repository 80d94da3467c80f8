#pragma once

#include "BridgeOptions.h"
#include "HomiePublisher.h"
#include "InstrumentModel.h"
#include "comm/PortSearch.h"
#include "instrument/control/UnitConnection.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class CPortWatcher;

// One instrument on the broker, on a thread of its own: connects, polls through the core session,
// publishes what the last poll cycle read, carries out set requests and reports the instrument's
// errors. When the instrument goes away its device goes "disconnected"; a serial instrument is then
// looked for on every port that appears (detected, then connected, and kept only when model and
// serial number match), a network one on its address again, with a growing wait.
class CInstrumentLink
{
public:
    CInstrumentLink(std::string descriptor, const SBridgeOptions& options, CPortWatcher& watcher);
    ~CInstrumentLink();
    CInstrumentLink(const CInstrumentLink&) = delete;
    CInstrumentLink& operator=(const CInstrumentLink&) = delete;

    void Start();
    // Leaves the broker cleanly ("disconnected") and disconnects the instrument.
    void Stop();

private:
    struct SSetRequest
    {
        std::string nodeId;
        std::string propertyId;
        std::string payload;
    };

    void Run();
    // Opens the descriptor; with an identity known, keeps the instrument only when it is that one.
    bool Open(const std::string& descriptor);
    void Close();
    void Serve();
    void Publish(std::chrono::steady_clock::time_point now);
    bool WaitForInstrument();
    void OnSet(const std::string& nodeId, const std::string& propertyId, const std::string& payload);
    void CarryOutSets();
    void CarryOut(const SSetRequest& request);
    void Refuse(const SSetRequest& request, const std::string& reason);
    void Report(const std::string& text);
    // Waits up to timeout for a stop or a set request; true when stopping.
    bool Pause(std::chrono::milliseconds timeout);

    const SBridgeOptions& m_options;
    CPortWatcher& m_watcher;
    std::string m_descriptor; // the port it is on, or was last on
    std::string m_model;      // identity of the instrument once first connected
    std::string m_serialNumber;
    int m_claimedPort = 0;
    std::unique_ptr<CPortSearch> m_search; // where a serial instrument may come back
    std::unique_ptr<CUnitConnection> m_connection;
    std::unique_ptr<CInstrumentModel> m_instrumentModel;
    std::unique_ptr<CHomiePublisher> m_publisher;
    // Properties whose cached value came from a setter, not from the unit (a set that was not
    // confirmed): not published until the instrument has completed this many poll cycles.
    std::map<std::pair<std::string, std::string>, uint64_t> m_heldUntilCycle;

    std::mutex m_lock; // guards the fields below
    std::condition_variable m_wake;
    std::deque<SSetRequest> m_sets;
    bool m_stop = false;
    std::thread m_thread;
};
