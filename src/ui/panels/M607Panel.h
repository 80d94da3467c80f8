#pragma once

#include "ui/panels/MultiChannelPanel.h"

// The panel of the M607: two laser channels and two TEC channels, one block each.
class CM607Panel : public CMultiChannelPanel
{
    Q_OBJECT

public:
    CM607Panel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent = nullptr);

protected:
    std::string DisconnectCommand() const override;
};
