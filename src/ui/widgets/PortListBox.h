#pragma once

#include "comm/PortDescriptor.h"

#include <QComboBox>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

class CProfile;

// A panel's port list: "<Select Port>", the serial ports (saying which other panel holds one), the
// stored network addresses, "Connect via Network..." and "Refresh". The action entries go back to the
// port the user chose last.
class CPortListBox : public QComboBox
{
    Q_OBJECT

public:
    // Item values besides the port numbers 1 to 255.
    static constexpr int ItemSelectPort = 0;
    static constexpr int ItemNetworkEntry = -2;
    static constexpr int ItemConnectViaNetwork = -1;
    static constexpr int ItemRefresh = -3;
    static constexpr int RefreshDelayMs = 1500;

    // holderOf gives the panel holding a serial port (PortChoices::NotHeld for none).
    CPortListBox(const CProfile& profile, std::function<int(int port)> holderOf, QWidget* parent);

    // Reads the ports again and selects the descriptor's entry (a serial port that is gone stays, marked
    // missing); a descriptor that does not parse keeps the user's last choice.
    void Fill(const std::string& descriptor);
    // The list read again with its selection kept; put off while the user has the list open.
    void Refresh();
    // Reads the list again a little later, once a device change has settled.
    void RefreshLater();
    // Selects the descriptor's entry if the list holds it.
    void Select(const std::string& descriptor);
    // The port descriptor of the selection; empty for anything but a port or an address.
    std::string SelectedDescriptor() const;
    bool IsNetworkEntrySelected() const { return currentData().toInt() == ItemConnectViaNetwork; }

signals:
    // The user chose "Connect via Network...".
    void networkEntryChosen();

private:
    void OnActivated(int position);
    void Rebuild(const std::optional<PortDescriptor>& wanted);
    // The selection becomes the entry the action entries go back to.
    void KeepChoice() { m_choice = SelectedDescriptor(); }

    const CProfile& m_profile;
    std::function<int(int)> m_holderOf;
    std::string m_choice;
    QTimer m_refreshTimer;
};
