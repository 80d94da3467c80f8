#pragma once

#include "FakePanelHost.h"
#include "ScriptedPrompter.h"
#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "diag/MemoryProfile.h"
#include "ui/common/UiContext.h"
#include "ui/panels/BasePanel.h"

#include <QSignalSpy>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

// One panel connected to one simulated unit over a pseudo-terminal registered as "COM<port>".
// Start returns false when the panel did not connect; the rig tears everything down in order.
template <class Panel>
class CSimPanelRig
{
public:
    explicit CSimPanelRig(int portNumber) : m_port(portNumber) {}
    ~CSimPanelRig()
    {
        panel.reset();
        CPortResolver::Unregister(m_port);
    }

    // prepare runs on the simulated unit before the panel connects (settings the test starts from).
    bool Start(const char* model, const std::function<void(CSimInstrument&)>& prepare = {})
    {
        sim = CSimInstrument::Create(model);
        if (!sim)
            return false;
        if (prepare)
            prepare(*sim);
        std::string error;
        if (!sim->StartPty("", error) || !CPortResolver::Register(m_port, sim->PtyPath()))
            return false;
        panel = std::make_unique<Panel>(context, host, 0);
        QSignalSpy finished(panel.get(), &CBasePanel::connectFinished);
        // The unit's own rate: no time spent trying the others.
        panel->Connect("COM:" + std::to_string(m_port) + ":38400");
        if (!finished.wait(30000) || !finished.first().first().toBool())
            return false;
        prompter.Reset();
        return true;
    }

    // Lines the unit received from the mark on that contain the text (the poll's compound queries
    // never carry a set command's header followed by a blank).
    QStringList Sent(size_t mark, const QString& text) const
    {
        QStringList found;
        const std::vector<std::string> lines = sim->Log().Lines();
        for (size_t i = mark; i < lines.size(); ++i)
        {
            const QString line = QString::fromStdString(lines[i]);
            if (line.contains(text))
                found << line;
        }
        return found;
    }
    size_t Mark() const { return sim->Log().Count(); }

    std::unique_ptr<CSimInstrument> sim;
    CMemoryProfile profile;
    CScriptedPrompter prompter;
    CFakePanelHost host;
    SUiContext context{profile, prompter};
    std::unique_ptr<Panel> panel;

private:
    int m_port;
};
