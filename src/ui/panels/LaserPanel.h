#pragma once

#include "ui/panels/BasePanel.h"

class CLaser;
class CLaserBlock;
class CTrendRecordBar;

// The panel of a single-channel laser-diode driver: the base panel's connection and error log around
// one laser block. "Trend" shows the quantity of the current mode (its reading and its set point);
// "Record..." writes the readings to a CSV file on every refresh.
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
    QStringList OutputsOn() const override;
    void SwitchOutputsOff() override;

    CLaserBlock* Block() const { return m_block; }
    CTrendWindow* TrendWindow() const override;
    CTrendRecordBar* Tools() const { return m_tools; }

private:
    void FeedTrend();

    CLaser* m_laser = nullptr;
    CLaserBlock* m_block = nullptr;
    CTrendRecordBar* m_tools = nullptr;
    bool m_previousUserFlag = false;
};
