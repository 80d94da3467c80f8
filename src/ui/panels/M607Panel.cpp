#include "ui/panels/M607Panel.h"

#include "instrument/models/M607.h"
#include "ui/panels/PanelTypes.h"

CM607Panel::CM607Panel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
    : CMultiChannelPanel(context, host, index, PanelType::M607, parent)
{
    constexpr int Side = CM607::ChannelSlotsPerSide;
    SBlockLook laser;
    laser.frameTitle = [](int n) { return QString("Laser Channel %1").arg(n); };
    laser.setPointTitle = [](int n) { return QString("Channel %1 Setpoint").arg(n); };
    for (int k = 0; k < Side; ++k)
        AddBlock(EKind::Laser, Side, laser, 0, k);
    SBlockLook tec;
    tec.frameTitle = [](int n) { return QString("TEC Channel %1").arg(n); };
    for (int k = 0; k < Side; ++k)
        AddBlock(EKind::Tec, Side, tec, 0, Side + k);
    FinishInit("Error log for Laser Polyrex");
}

// Leaves both sides of the unit's front panel on their first channel.
std::string CM607Panel::DisconnectCommand() const
{
    return "las:chan 1;TEC:CHAN 1";
}

CBasePanel* PanelType::CreateM607Panel(const SUiContext& context, IPanelHost& host, int index,
                                       QWidget* parent)
{
    return new CM607Panel(context, host, index, parent);
}
