#pragma once

#include <string>

class CBasePanel;

// What a panel asks of the window that holds it. The host window implements it; tests use a small
// fake, so a panel can be driven without the whole window.
class IPanelHost
{
public:
    virtual ~IPanelHost() = default;

    virtual void LayoutPanels() = 0;
    // True when a panel other than the given one is expanded (a panel may collapse only then).
    virtual bool IsAnotherPanelExpanded(const CBasePanel* panel) const = 0;
    // Removes, destroys and deletes the panel at the index later, once the caller's handler has returned.
    virtual void RemovePanelLater(int index) = 0;
    // Replaces the panel at the index by a new one of the type, once the caller's handler has returned;
    // the new panel takes over the auto-connect choice and connects at once on the descriptor.
    virtual void ReplacePanelLater(int index, int typeCode, const std::string& descriptor,
                                   bool autoConnect) = 0;
    // The index of the panel other than the asking one that is connected or connecting on serial port
    // n; -1 when none is.
    virtual int PanelHoldingPort(int portNumber, const CBasePanel* asker) const = 0;
    // A panel took or let go of a serial port: the other panels' lists name their holders anew.
    virtual void PortHoldersChanged() = 0;
};
