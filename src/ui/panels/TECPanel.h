#pragma once

#include "ui/panels/BasePanel.h"

class CTecBlock;
class CTEC;
class CTrendChart;
class CTrendRecordBar;

// The panel of a single-channel TEC controller (panel type 2): one TEC block with the readings, the
// set point, mode and output, the TEC settings and the AutoTune wizard, below the base panel's
// connection row and above its error log. "Trend" shows T and its set point in a window of their own;
// "Record..." writes the readings to a CSV file on every refresh.
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
    QStringList OutputsOn() const override;
    void SwitchOutputsOff() override;

    CTecBlock* Block() const { return m_block; }
    CTrendChart* Trend() const;
    CTrendWindow* TrendWindow() const override;
    // Starts recording into the file (the "Record..." button asks for it); false after telling the user.
    bool StartRecording(const QString& path);
    void StopRecording();
    bool IsRecording() const;

private:
    void FeedTrend();

    CTEC* m_tec = nullptr;
    CTecBlock* m_block = nullptr;
    CTrendRecordBar* m_tools = nullptr;
    bool m_previousUserFlag = false;
};
