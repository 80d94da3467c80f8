#include "ui/panels/PanelFactory.h"

#include "ui/panels/ComboPanel.h"
#include "ui/panels/LaserPanel.h"
#include "ui/panels/M607Panel.h"
#include "ui/panels/M609Panel.h"
#include "ui/panels/M6x8Panel.h"
#include "ui/panels/NorlasePanel.h"
#include "ui/panels/PanelTypes.h"
#include "ui/panels/TECPanel.h"

CBasePanel* CreatePanel(int typeCode, const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
{
    switch (typeCode)
    {
    case PanelType::Laser:
        return new CLaserPanel(context, host, index, parent);
    case PanelType::TEC:
        return new CTECPanel(context, host, index, parent);
    case PanelType::Combo:
        return new CComboPanel(context, host, index, parent);
    case PanelType::Norlase:
        return new CNorlasePanel(context, host, index, parent);
    case PanelType::M609:
        return new CM609Panel(context, host, index, parent);
    case PanelType::M6x8:
        return new CM6x8Panel(context, host, index, parent);
    case PanelType::M607:
        return new CM607Panel(context, host, index, parent);
    default:
        return nullptr;
    }
}
