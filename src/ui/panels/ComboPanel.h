#pragma once

#include "ui/panels/BasePanel.h"

class CLaser;
class CLaserBlock;
class CTEC;
class CTecBlock;
class CTrendRecordBar;
class QPushButton;

// The panel of a combined laser-driver and TEC unit (panel type 3): a laser block (no pulse modes) on
// the left and a TEC block on the right over one connection, "Combo Settings..." with the TEC and the
// laser settings pages in one sheet, and "AutoTune..." where the TEC side offers it. Enter goes to the
// TEC side while its set-point field has the focus, else to the laser side. "Trend" shows both sides on
// one time axis; "Record..." writes the readings of both to a CSV file on every refresh.
class CComboPanel : public CBasePanel
{
    Q_OBJECT

public:
    CComboPanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent = nullptr);

    void SetInstrument(CInstrBase* instrument) override;
    void UpdateControls() override;
    CTEC* GetTEC() const override { return m_tec; }
    CLaser* GetLaser() const override { return m_laser; }
    void ResetReadings() override;
    void Refresh() override;
    void OnSetPoint() override;
    QStringList OutputsOn() const override;
    void SwitchOutputsOff() override;

    CLaserBlock* LaserBlock() const { return m_laserBlock; }
    CTecBlock* TecBlock() const { return m_tecBlock; }
    CTrendWindow* TrendWindow() const override;
    CTrendRecordBar* Tools() const { return m_tools; }
    // "Combo Settings...": the sheet with the TEC page first and the laser page second.
    void OnComboSettings();

private:
    void FeedTrend();

    CLaser* m_laser = nullptr;
    CTEC* m_tec = nullptr;
    CLaserBlock* m_laserBlock = nullptr;
    CTecBlock* m_tecBlock = nullptr;
    QPushButton* m_settingsButton = nullptr;
    QPushButton* m_autoTuneButton = nullptr;
    CTrendRecordBar* m_tools = nullptr;
    bool m_previousUserFlag = false;
};
