#pragma once

#include "ui/panels/MultiChannelPanel.h"

#include <memory>

class CSettingsSheet;
class QPushButton;

// The panel of the OEM laser system: two laser blocks (the 500 mA and the 20 A driver) and three TEC
// blocks (the laser mount and the two crystals), each acting on its own channel. It is reached through
// identification or a stored panel list only.
class CNorlasePanel : public CMultiChannelPanel
{
    Q_OBJECT

public:
    CNorlasePanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent = nullptr);

    void UpdateControls() override;
    // "Combo Settings...": one page per channel, each named after its block and writing to its own
    // channel; OK validates every page before any page writes. Not yet loaded or shown.
    std::unique_ptr<CSettingsSheet> MakeComboSheet();

private:
    void OnComboSettings();

    QPushButton* m_comboSettingsButton = nullptr;
};
