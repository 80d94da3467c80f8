#pragma once

#include "ui/panels/PanelTypes.h"

#include <QDialog>
#include <string>
#include <vector>

class CProfile;
class QComboBox;
class QPushButton;
class QVBoxLayout;

// "Select Panel Type": first "Detect the instrument..." on a chosen port (a panel connects there and the
// unit's own panel takes its place), then one button per panel type a user may add, each naming the
// models it drives.
class CSelectPanelDlg : public QDialog
{
    Q_OBJECT

public:
    // One entry of the port choice: what the list shows and the descriptor to connect with.
    struct SPortChoice
    {
        QString label;
        std::string descriptor;
    };

    explicit CSelectPanelDlg(std::vector<SPortChoice> ports, QWidget* parent = nullptr);

    // The serial ports present and the saved network addresses, as the panels' lists offer them.
    static std::vector<SPortChoice> PresentPorts(const CProfile& profile);

    // The chosen panel type code; 0 until a type button is pressed.
    int SelectedType() const { return m_type; }
    // The port to detect the instrument on; empty unless "Detect the instrument..." ended the dialog.
    const std::string& DetectDescriptor() const { return m_detectDescriptor; }

private:
    QWidget* BuildDetectRow();
    void AddChoice(const PanelType::SKind& kind);
    void OnDetect();

    std::vector<SPortChoice> m_ports;
    int m_type = 0;
    std::string m_detectDescriptor;
    QComboBox* m_portList = nullptr;
    QPushButton* m_detectButton = nullptr;
    QVBoxLayout* m_typeChoices = nullptr;
};
