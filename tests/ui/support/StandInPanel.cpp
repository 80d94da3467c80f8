#include "StandInPanel.h"

#include "ui/panels/PanelTypes.h"

#include <QLabel>
#include <QVBoxLayout>

CStandInPanel::CStandInPanel(const SUiContext& context, IPanelHost& host, int index, int typeCode,
                             QWidget* parent)
    : CBasePanel(context, host, index, typeCode, parent)
{
    Body()->addWidget(new QLabel("readings", this));
    FinishInit("Error log for the stand-in");
}

CBasePanel* CStandInPanel::Create(int typeCode, const SUiContext& context, IPanelHost& host, int index,
                                  QWidget* parent)
{
    if (!PanelType::IsValid(typeCode))
        return nullptr;
    return new CStandInPanel(context, host, index, typeCode, parent);
}
