#include "ui/panels/NorlasePanel.h"

#include "instrument/combined/Norlase.h"
#include "ui/dialogs/LaserSettingsDlg.h"
#include "ui/dialogs/SettingsSheet.h"
#include "ui/dialogs/TecSettingsPage.h"
#include "ui/panels/PanelTypes.h"
#include "ui/panels/parts/LaserBlock.h"
#include "ui/panels/parts/TecBlock.h"

#include <QPushButton>

namespace
{
CMultiChannelPanel::TitleFormat Fixed(const char* title)
{
    return [text = QString(title)](int) { return text; };
}

CMultiChannelPanel::SBlockLook Look(const char* frame, const char* setPoint)
{
    CMultiChannelPanel::SBlockLook look;
    look.frameTitle = Fixed(frame);
    look.outputName = look.frameTitle;
    look.setPointTitle = Fixed(setPoint);
    // Both sides' settings are reached through "Combo Settings...".
    look.settingsButton = false;
    return look;
}

// The blocks' frame titles, in block order of each kind; the settings pages carry the same names.
const char* const LaserNames[CNorlase::LaserSlots] = {"500mA Laser", "20A Laser"};
const char* const TecNames[CNorlase::TecSlots] = {"TEC (Laser)", "TEC (Crystal 1)", "TEC (Crystal 2)"};
} // namespace

CNorlasePanel::CNorlasePanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
    : CMultiChannelPanel(context, host, index, PanelType::Norlase, parent)
{
    m_comboSettingsButton = new QPushButton("Combo Settings...", this);
    m_comboSettingsButton->setObjectName("comboSettingsButton");
    connect(m_comboSettingsButton, &QPushButton::clicked, this, &CNorlasePanel::OnComboSettings);
    AddPanelButton(m_comboSettingsButton);

    const char* const laserSetPoints[] = {"500mA Laser Setpoint", "20A Laser Setpoint"};
    for (int k = 0; k < CNorlase::LaserSlots; ++k)
    {
        SBlockLook look = Look(LaserNames[k], laserSetPoints[k]);
        look.outputTitle = "Laser";
        AddBlock(EKind::Laser, CNorlase::LaserSlots, look, 0, k);
    }
    const char* const tecSetPoints[] = {"TEC Setpoint (Laser)", "TEC Setpoint (Crystal 1)",
                                        "TEC Setpoint (Crystal 2)"};
    for (int k = 0; k < CNorlase::TecSlots; ++k)
        AddBlock(EKind::Tec, CNorlase::TecSlots, Look(TecNames[k], tecSetPoints[k]), 1, k);
    // Beside the two lasers the third column is free: the buttons stand there, so that the panel fits
    // a 1080-pixel screen.
    MovePanelButtonsToGrid(0, CNorlase::TecSlots - 1);
    FinishInit("Error log for Halcyon One");
}

void CNorlasePanel::UpdateControls()
{
    CMultiChannelPanel::UpdateControls();
    m_comboSettingsButton->setEnabled(IsConnected());
}

std::unique_ptr<CSettingsSheet> CNorlasePanel::MakeComboSheet()
{
    auto sheet = std::make_unique<CSettingsSheet>(Context(), "Combo Settings", this);
    for (int k = 0; k < PresentChannels(EKind::Tec); ++k)
        sheet->AddPage(new CTecSettingsPage(Context(), TecBlock(k)->Access(), sheet.get()), TecNames[k]);
    for (int k = 0; k < PresentChannels(EKind::Laser); ++k)
        sheet->AddPage(new CLaserSettingsDlg(Context(), LaserBlock(k)->Access(), sheet.get()), LaserNames[k]);
    return sheet;
}

void CNorlasePanel::OnComboSettings()
{
    if (!IsConnected())
        return;
    MakeComboSheet()->Open();
    ReloadTolerances();
    UpdateControls();
}

CBasePanel* PanelType::CreateNorlasePanel(const SUiContext& context, IPanelHost& host, int index,
                                          QWidget* parent)
{
    return new CNorlasePanel(context, host, index, parent);
}
