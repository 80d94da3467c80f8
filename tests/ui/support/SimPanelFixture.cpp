#include "SimPanelFixture.h"

#include "comm/PortResolver.h"
#include "ui/panels/BasePanel.h"

#include <QSignalSpy>
#include <stdexcept>

CSimPanelFixture::CSimPanelFixture(const std::string& model, int port)
    : m_sim(CSimInstrument::Create(model)), m_port(port)
{
    std::string error;
    if (!m_sim || !m_sim->StartPty("", error))
        throw std::runtime_error("simulator " + model + " did not start: " + error);
    CPortResolver::Register(port, m_sim->PtyPath());
}

CSimPanelFixture::~CSimPanelFixture()
{
    CPortResolver::Unregister(m_port);
}

std::string CSimPanelFixture::Descriptor() const
{
    return "COM:" + std::to_string(m_port) + ":0";
}

bool CSimPanelFixture::Connect(CBasePanel& panel)
{
    QSignalSpy finished(&panel, &CBasePanel::connectFinished);
    if (!panel.Connect(Descriptor()))
        return false;
    if (!finished.wait(20000))
        return false;
    return finished.first().first().toBool();
}

int CSimPanelFixture::CountSent(const std::string& prefix, size_t from) const
{
    const std::vector<std::string> lines = m_sim->Log().Lines();
    int count = 0;
    for (size_t i = from; i < lines.size(); ++i)
    {
        std::string line = lines[i];
        if (!line.empty() && line[0] == ':')
            line.erase(0, 1);
        if (line.rfind(prefix, 0) == 0)
            ++count;
    }
    return count;
}
