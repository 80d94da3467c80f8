#include "ui/panels/M6x8Panel.h"

#include "instrument/models/M618.h"
#include "ui/panels/PanelTypes.h"

CM6x8Panel::CM6x8Panel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
    : CMultiChannelPanel(context, host, index, PanelType::M6x8, parent)
{
    SBlockLook look;
    look.frameTitle = [](int n) { return QString("Channel %1 Actual Readings").arg(n); };
    look.setPointTitle = [](int n) { return QString("Channel %1 Setpoint").arg(n); };
    look.pulseModes = true;
    for (int k = 0; k < CM618::ChannelSlots; ++k)
        AddBlock(EKind::Laser, CM618::ChannelSlots, look, 0, k);
    FinishInit("Error log for Laser Polyrex");
}

CBasePanel* PanelType::CreateM6x8Panel(const SUiContext& context, IPanelHost& host, int index,
                                       QWidget* parent)
{
    return new CM6x8Panel(context, host, index, parent);
}
