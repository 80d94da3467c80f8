#pragma once

#include "SimInstrument.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

class CBasePanel;

// A simulated unit on a pseudo-terminal registered as serial port `port`, and the connect of a panel to
// it, waited for with a deadline.
class CSimPanelFixture
{
public:
    // The unit starts with StartUnit.
    explicit CSimPanelFixture(int port);
    // The unit starts at once; throws when it does not.
    CSimPanelFixture(const std::string& model, int port);
    ~CSimPanelFixture();

    // prepare runs on the unit before it listens (settings the test starts from); false when the unit
    // did not start.
    bool StartUnit(const std::string& model, const std::function<void(CSimInstrument&)>& prepare = {});
    CSimInstrument& Sim() { return *m_sim; }
    // The port at any rate ("COM:port:0"), as the port list names it.
    std::string Descriptor() const;
    // Starts the connect and waits until it ended; true when connected. A rate other than 0 spares the
    // time detection spends trying the others.
    bool Connect(CBasePanel& panel, int baud = 0);
    // Lines the unit received from `from` on that start with the text.
    int CountSent(const std::string& prefix, size_t from = 0) const;
    // Lines the unit received from the mark on that contain the text (the poll's compound queries
    // never carry a set command's header followed by a blank).
    QStringList Sent(size_t mark, const QString& text) const;
    size_t Mark() const { return m_sim->Log().Count(); }

private:
    std::unique_ptr<CSimInstrument> m_sim;
    int m_port;
    bool m_registered = false;
};
