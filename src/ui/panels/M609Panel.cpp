#include "ui/panels/M609Panel.h"

#include "instrument/models/M609.h"
#include "ui/panels/PanelTypes.h"

CM609Panel::CM609Panel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
    : CMultiChannelPanel(context, host, index, PanelType::M609, parent)
{
    SBlockLook look;
    look.frameTitle = [](int n) { return QString("TEC Channel %1").arg(n); };
    for (int k = 0; k < CM609::ChannelSlots; ++k)
        AddBlock(EKind::Tec, CM609::ChannelSlots, look, 0, k);
    FinishInit("Error log for TEC Polyrex");
}

// Leaves the unit's front panel on its first channel before it returns to local control.
std::string CM609Panel::DisconnectCommand() const
{
    return "TEC:CHAN 1;LOCAL";
}

CBasePanel* PanelType::CreateM609Panel(const SUiContext& context, IPanelHost& host, int index,
                                       QWidget* parent)
{
    return new CM609Panel(context, host, index, parent);
}
