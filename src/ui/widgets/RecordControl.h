#pragma once

#include "ui/common/UiContext.h"
#include "ui/widgets/CsvRecorder.h"

#include <QString>
#include <QWidget>
#include <functional>

class CInstrBase;
class QLabel;
class QPushButton;

// "Record..." of a panel and what it shows while it records: the file's name, the rows written and the
// time since it started, rewritten on every row. A failed write ends the recording with a message
// that names the file and the cause; so does a file that could not be closed whole.
class CRecordControl : public QWidget
{
    Q_OBJECT

public:
    using SourceFunction = std::function<SReadingLogSource()>;

    explicit CRecordControl(const SUiContext& context, QWidget* parent = nullptr);

    void SetSource(SourceFunction source) { m_source = std::move(source); }
    // A row of the instrument's readings, while recording.
    void Record(CInstrBase& instrument);
    // A tick without readings: while polling is paused the file says so, once.
    void RecordIdle(CInstrBase* instrument);
    bool Start(const QString& path);
    // The gap row with its cause when there is one, then the file is closed; a failure is said.
    void Stop(const QString& cause = {});
    bool IsRecording() const { return m_recorder.IsRecording(); }
    // Recording ends with the connection; "Record..." is offered while connected. While the panel waits
    // for its unit to come back (waitGap its cause), the file gets a gap row and stays open: the rows
    // go on in it after the reconnect.
    void UpdateControls(bool connected, const QString& waitGap = {});

private:
    void OnButton();
    void ShowStatus(const QString& ending = {});
    void Fail(const QString& error);
    // The gap row of a wait for the unit; the file stays open.
    void Interrupt(const QString& cause);

    SUiContext m_context;
    SourceFunction m_source;
    QPushButton* m_button = nullptr;
    QLabel* m_status = nullptr;
    CCsvRecorder m_recorder;
    std::vector<SChannelReadings> m_lastReadings; // names the columns of a gap row
    bool m_connected = false;
};
