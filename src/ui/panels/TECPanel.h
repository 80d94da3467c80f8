#pragma once

#include "ui/panels/BasePanel.h"

class CTecBlock;
class CTEC;

// The panel of a single-channel TEC controller (panel type 2): one TEC block with the readings, the
// set point, mode and output, the TEC settings and the AutoTune wizard, below the base panel's
// connection row and above its error log.
class CTECPanel : public CBasePanel
{
    Q_OBJECT

public:
    CTECPanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent = nullptr);

    void SetInstrument(CInstrBase* instrument) override;
    void UpdateControls() override;
    CTEC* GetTEC() const override { return m_tec; }
    void ResetReadings() override;
    void Refresh() override;
    void OnSetPoint() override;

    CTecBlock* Block() const { return m_block; }

private:
    CTEC* m_tec = nullptr;
    CTecBlock* m_block = nullptr;
};
