#include "ui/panels/NorlasePanel.h"

#include "ui/panels/PanelTypes.h"

namespace
{
CMultiChannelPanel::TitleFormat Fixed(const char* title)
{
    return [text = QString(title)](int) { return text; };
}
} // namespace

CNorlasePanel::CNorlasePanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
    : CMultiChannelPanel(context, host, index, PanelType::Norlase, parent)
{
    AddBlock(EKind::Laser, Fixed("500mA Laser Setpoint"), 0, 0);
    AddBlock(EKind::Laser, Fixed("20A Laser Setpoint"), 0, 1);
    AddBlock(EKind::Tec, Fixed("TEC Setpoint (Laser)"), 1, 0);
    AddBlock(EKind::Tec, Fixed("TEC Setpoint (Crystal 1)"), 1, 1);
    AddBlock(EKind::Tec, Fixed("TEC Setpoint (Crystal 2)"), 1, 2);
    FinishInit("Error log for Halcyon One");
}
