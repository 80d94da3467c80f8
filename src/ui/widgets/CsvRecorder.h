#pragma once

#include "instrument/report/ReadingLog.h"

#include <QElapsedTimer>
#include <QString>
#include <vector>

class CInstrBase;

// "Record...": the readings of a panel's instrument into a CSV file in the format of
// `tamrix-cli monitor --csv` (a described header, then time and each channel's readings), one row per
// refresh. Every line is flushed as it is written, so a crash loses at most the row being written. A
// reading the program cannot vouch for is written as "---". A row the file did not take ends the
// recording: the caller is told why and the recorder no longer claims to record.
class CCsvRecorder
{
public:
    // False with the reason when the file cannot be created (or the one recorded so far not finished).
    bool Start(const QString& path, const SReadingLogSource& source, QString& error);
    // Closes and syncs the file; false with the reason when it did not reach the disk whole.
    bool Stop(QString& error);
    bool IsRecording() const { return m_recording; }
    const QString& Path() const { return m_path; }
    int Rows() const { return m_log.Rows(); }
    qint64 ElapsedMs() const
    {
        return m_recording || m_stoppedAfterMs < 0 ? m_clock.elapsed() : m_stoppedAfterMs;
    }

    // One row now (the header first). False with the reason when the file did not take it: the
    // recording has then ended. Nothing happens while not recording.
    bool Record(const CInstrBase& session, std::vector<SChannelReadings> readings, QString& error);
    // A row that says readings stop here and why ("polling paused"); once per gap.
    bool RecordGap(const std::vector<SChannelReadings>& readings, const QString& cause, QString& error);

    // Every TEC and laser channel of the instrument, as the monitor reads them (cached while polling).
    static std::vector<SChannelReadings> ReadingsOf(CInstrBase& instrument);
    // What the file's header says of its source: this program, the instrument, the connection.
    static SReadingLogSource SourceOf(CInstrBase* instrument, const QString& port);

private:
    bool Failed(QString& error);

    CReadingLog m_log;
    QString m_path;
    QElapsedTimer m_clock;
    qint64 m_stoppedAfterMs = -1;
    bool m_recording = false;
};
