#pragma once

#include "ui/panels/BasePanel.h"

class CLaser;
class CLaserBlock;

// The panel of a single-channel laser-diode driver: the base panel's connection and error log around
// one laser block.
class CLaserPanel : public CBasePanel
{
    Q_OBJECT

public:
    CLaserPanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent = nullptr);

    void SetInstrument(CInstrBase* instrument) override;
    void UpdateControls() override;
    CLaser* GetLaser() const override { return m_laser; }
    void ResetReadings() override;
    void Refresh() override;
    void OnSetPoint() override;

    CLaserBlock* Block() const { return m_block; }

private:
    CLaser* m_laser = nullptr;
    CLaserBlock* m_block = nullptr;
    bool m_previousUserFlag = false;
};
