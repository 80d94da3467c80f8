#include "SimPanelFixture.h"

#include "comm/PortResolver.h"
#include "ui/panels/BasePanel.h"

#include <QSignalSpy>
#include <stdexcept>

CSimPanelFixture::CSimPanelFixture(int port) : m_port(port) {}

CSimPanelFixture::CSimPanelFixture(const std::string& model, int port) : m_port(port)
{
    if (!StartUnit(model))
        throw std::runtime_error("simulator " + model + " did not start");
}

CSimPanelFixture::~CSimPanelFixture()
{
    if (m_registered)
        CPortResolver::Unregister(m_port);
}

bool CSimPanelFixture::StartUnit(const std::string& model,
                                 const std::function<void(CSimInstrument&)>& prepare)
{
    m_sim = CSimInstrument::Create(model);
    if (!m_sim)
        return false;
    if (prepare)
        prepare(*m_sim);
    std::string error;
    if (!m_sim->StartPty("", error))
        return false;
    m_registered = CPortResolver::Register(m_port, m_sim->PtyPath());
    return m_registered;
}

std::string CSimPanelFixture::Descriptor() const
{
    return "COM:" + std::to_string(m_port) + ":0";
}

bool CSimPanelFixture::Connect(CBasePanel& panel, int baud)
{
    QSignalSpy finished(&panel, &CBasePanel::connectFinished);
    if (!panel.Connect("COM:" + std::to_string(m_port) + ":" + std::to_string(baud)))
        return false;
    if (!finished.wait(30000))
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

QStringList CSimPanelFixture::Sent(size_t mark, const QString& text) const
{
    QStringList found;
    const std::vector<std::string> lines = m_sim->Log().Lines();
    for (size_t i = mark; i < lines.size(); ++i)
    {
        const QString line = QString::fromStdString(lines[i]);
        if (line.contains(text))
            found << line;
    }
    return found;
}
