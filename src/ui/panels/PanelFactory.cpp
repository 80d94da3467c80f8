#include "ui/panels/PanelFactory.h"

#include "ui/panels/BasePanel.h"
#include "ui/panels/PanelTypes.h"

CBasePanel* CreatePanel(int typeCode, const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
{
    switch (typeCode)
    {
    default:
        (void)context;
        (void)host;
        (void)index;
        (void)parent;
        return nullptr;
    }
}
