#pragma once

#include "FakePanelHost.h"
#include "ScriptedPrompter.h"
#include "SimPanelFixture.h"
#include "diag/MemoryProfile.h"
#include "ui/common/UiContext.h"

#include <functional>
#include <memory>

// One panel of its own context and host, connected to one simulated unit. Start returns false when the
// panel did not connect; the rig deletes the panel before the unit goes.
template <class Panel>
class CSimPanelRig : public CSimPanelFixture
{
public:
    explicit CSimPanelRig(int portNumber) : CSimPanelFixture(portNumber) {}
    ~CSimPanelRig() { panel.reset(); }

    // prepare runs on the simulated unit before the panel connects (settings the test starts from).
    bool Start(const char* model, const std::function<void(CSimInstrument&)>& prepare = {})
    {
        if (!StartUnit(model, prepare))
            return false;
        sim = &Sim();
        panel = std::make_unique<Panel>(context, host, 0);
        // The unit's own rate: no time spent trying the others.
        if (!Connect(*panel, 38400))
            return false;
        prompter.Reset();
        return true;
    }

    CSimInstrument* sim = nullptr;
    CMemoryProfile profile;
    CScriptedPrompter prompter;
    CFakePanelHost host;
    SUiContext context{profile, prompter};
    std::unique_ptr<Panel> panel;
};
