#include "ui/panels/NorlasePanel.h"

#include "instrument/Norlase.h"
#include "ui/panels/PanelTypes.h"

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
    look.setPointTitle = Fixed(setPoint);
    // Both sides' settings are reached through "Combo Settings...".
    look.settingsButton = false;
    return look;
}
} // namespace

CNorlasePanel::CNorlasePanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
    : CMultiChannelPanel(context, host, index, PanelType::Norlase, parent)
{
    SBlockLook laser500 = Look("500mA Laser", "500mA Laser Setpoint");
    SBlockLook laser20 = Look("20A Laser", "20A Laser Setpoint");
    laser500.outputTitle = laser20.outputTitle = "Laser";
    AddBlock(EKind::Laser, CNorlase::LaserSlots, laser500, 0, 0);
    AddBlock(EKind::Laser, CNorlase::LaserSlots, laser20, 0, 1);
    AddBlock(EKind::Tec, CNorlase::TecSlots, Look("TEC (Laser)", "TEC Setpoint (Laser)"), 1, 0);
    AddBlock(EKind::Tec, CNorlase::TecSlots, Look("TEC (Crystal 1)", "TEC Setpoint (Crystal 1)"), 1, 1);
    AddBlock(EKind::Tec, CNorlase::TecSlots, Look("TEC (Crystal 2)", "TEC Setpoint (Crystal 2)"), 1, 2);
    FinishInit("Error log for Halcyon One");
}
