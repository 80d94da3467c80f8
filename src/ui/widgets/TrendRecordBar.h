#pragma once

#include "ui/common/UiContext.h"
#include "ui/widgets/RecordControl.h"
#include "ui/widgets/TrendChart.h"

#include <QString>
#include <QWidget>
#include <utility>
#include <vector>

class CInstrBase;
class CTrendWindow;
class QPushButton;

// "Trend" and "Record..." of a panel: a trend window of its own (a tool window, so showing it never
// moves the panel's controls) and the CSV recording of the instrument's readings on every refresh.
// The owner feeds the readings of every refreshing tick and asks for a row per tick.
class CTrendRecordBar : public QWidget
{
    Q_OBJECT

public:
    CTrendRecordBar(const SUiContext& context, const QString& trendTitle, QWidget* parent = nullptr);

    // The readings now: a series per name and unit, kept over mode changes (see CTrendChart::Feed).
    void Feed(const std::vector<CTrendChart::SSample>& samples);
    CTrendChart* Trend() const;
    CTrendWindow* TrendWindow() const { return m_trend; }

    // What the recording's header says of its source; asked when a recording starts.
    void SetLogSource(CRecordControl::SourceFunction source) { m_record->SetSource(std::move(source)); }
    // A row of the instrument's readings, while recording; on a tick without readings, a gap row
    // while polling is paused.
    void Record(CInstrBase& instrument) { m_record->Record(instrument); }
    void RecordIdle(CInstrBase* instrument) { m_record->RecordIdle(instrument); }
    bool StartRecording(const QString& path) { return m_record->Start(path); }
    // The cause goes into the file's last row ("disconnected"); none for a stop by the user.
    void StopRecording(const QString& cause = {}) { m_record->Stop(cause); }
    bool IsRecording() const { return m_record->IsRecording(); }
    // Recording ends with the connection (the file says so), or holds its file over a wait for the unit
    // (see CRecordControl::UpdateControls); "Record..." is offered while connected.
    void UpdateControls(bool connected, const QString& waitGap = {})
    {
        m_record->UpdateControls(connected, waitGap);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowTrend(bool shown);

    CTrendWindow* m_trend = nullptr;
    QPushButton* m_trendButton = nullptr;
    CRecordControl* m_record = nullptr;
};
