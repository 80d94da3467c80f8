#pragma once

#include "SimInstrument.h"

#include <QString>
#include <memory>
#include <string>

class CBasePanel;

// A simulated unit on a pseudo-terminal registered as serial port `port`, and the connect of a panel to
// it ("COM:port:0"), waited for with a deadline.
class CSimPanelFixture
{
public:
    CSimPanelFixture(const std::string& model, int port);
    ~CSimPanelFixture();

    CSimInstrument& Sim() { return *m_sim; }
    std::string Descriptor() const;
    // Starts the connect and waits until it ended; true when connected.
    bool Connect(CBasePanel& panel);
    // Lines the unit received from `from` on that start with the text.
    int CountSent(const std::string& prefix, size_t from = 0) const;

private:
    std::unique_ptr<CSimInstrument> m_sim;
    int m_port;
};
