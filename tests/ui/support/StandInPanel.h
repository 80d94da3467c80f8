#pragma once

#include "ui/panels/BasePanel.h"

// The smallest panel: the base panel's whole life cycle with one label of body, for tests of the host
// and the base panel that must not depend on a family's panel.
class CStandInPanel : public CBasePanel
{
    Q_OBJECT

public:
    CStandInPanel(const SUiContext& context, IPanelHost& host, int index, int typeCode,
                  QWidget* parent = nullptr);

    static CBasePanel* Create(int typeCode, const SUiContext& context, IPanelHost& host, int index,
                              QWidget* parent);

    void Refresh() override { ++refreshes; }
    void OnSetPoint() override { ++setPoints; }

    int refreshes = 0;
    int setPoints = 0;
};
