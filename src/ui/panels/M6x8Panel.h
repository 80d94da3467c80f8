#pragma once

#include "ui/panels/MultiChannelPanel.h"

// The panel of the four-channel laser drivers (M618, M608): one laser block per channel.
class CM6x8Panel : public CMultiChannelPanel
{
    Q_OBJECT

public:
    CM6x8Panel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent = nullptr);
};
