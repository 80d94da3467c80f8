#pragma once

#include "BridgeOptions.h"
#include "InstrumentLink.h"
#include "PortWatcher.h"

#include <memory>
#include <vector>

class CCliStopSignals;

// tamrix-bridge as a whole: one link per instrument, one port watcher they share.
class CBridge
{
public:
    explicit CBridge(SBridgeOptions options);
    ~CBridge();
    CBridge(const CBridge&) = delete;
    CBridge& operator=(const CBridge&) = delete;

    // Runs until a stop signal; every device is left "disconnected" on the way out.
    void Run(CCliStopSignals& stop);

private:
    SBridgeOptions m_options;
    CPortWatcher m_watcher;
    std::vector<std::unique_ptr<CInstrumentLink>> m_links;
};
