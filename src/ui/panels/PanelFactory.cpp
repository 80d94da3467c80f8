#include "ui/panels/PanelFactory.h"

#include "ui/panels/PanelTypes.h"

CBasePanel* CreatePanel(int typeCode, const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
{
    const PanelType::SKind* kind = PanelType::Find(typeCode);
    return kind ? kind->create(context, host, index, parent) : nullptr;
}
