#pragma once

#include "ui/common/UiContext.h"

class CBasePanel;
class IPanelHost;
class QWidget;

// The panel of a type code, built and initialised; null for a code that names no panel.
CBasePanel* CreatePanel(int typeCode, const SUiContext& context, IPanelHost& host, int index,
                        QWidget* parent);
