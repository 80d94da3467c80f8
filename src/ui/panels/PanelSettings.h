#pragma once

#include "instrument/session/InstrBase.h"

#include <QPoint>
#include <optional>
#include <string>

class CProfile;

// What a panel keeps in its section "Panel<index>-<type>" of the settings file, read at its start and
// written as it closes.
struct SPanelSettings
{
    std::optional<QPoint> errorLogPlace;                // "ErrX", "ErrY": none until the log was once shown
    bool condensed = false;                             // "Condensed"
    bool autoConnect = false;                           // "AutoConnect"
    bool reconnect = false;                             // "Reconnect"
    int pollPeriodMs = CInstrBase::DefaultPollPeriodMs; // "PollPeriod"
    std::string connection;                             // "Connection": the port descriptor chosen

    static SPanelSettings Load(const CProfile& profile, const std::string& section);
    // A minimised window keeps only whether the panel is condensed: what it shows is not the user's.
    void Save(CProfile& profile, const std::string& section, bool minimized) const;
    // Written at each connect as well, so that a program that ends abruptly still knows the port.
    static void SaveConnection(CProfile& profile, const std::string& section, const std::string& descriptor);
};
