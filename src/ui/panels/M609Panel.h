#pragma once

#include "ui/panels/MultiChannelPanel.h"

// The panel of the M609: four TEC channels, one block each.
class CM609Panel : public CMultiChannelPanel
{
    Q_OBJECT

public:
    CM609Panel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent = nullptr);

protected:
    std::string DisconnectCommand() const override;
};
