#include "ui/panels/M607Panel.h"

#include "instrument/M607.h"
#include "ui/panels/PanelTypes.h"

CM607Panel::CM607Panel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
    : CMultiChannelPanel(context, host, index, PanelType::M607, parent)
{
    for (int k = 0; k < CM607::ChannelSlotsPerSide; ++k)
        AddBlock(
            EKind::Laser, [](int n) { return QString("Laser Channel %1").arg(n); }, 0, k);
    for (int k = 0; k < CM607::ChannelSlotsPerSide; ++k)
        AddBlock(
            EKind::Tec, [](int n) { return QString("TEC Channel %1").arg(n); }, 0,
            CM607::ChannelSlotsPerSide + k);
    FinishInit("Error log for Laser Polyrex");
}

// Leaves both sides of the unit's front panel on their first channel.
std::string CM607Panel::DisconnectCommand() const
{
    return "las:chan 1;TEC:CHAN 1";
}
