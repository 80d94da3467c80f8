#include "ui/panels/PanelFactory.h"

#include "ui/panels/BasePanel.h"
#include "ui/panels/ComboPanel.h"
#include "ui/panels/LaserPanel.h"
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
    default:
        (void)context;
        (void)host;
        (void)index;
        (void)parent;
        return nullptr;
    }
}
