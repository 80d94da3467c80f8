#pragma once

#include "instrument/report/CsvFile.h"
#include "instrument/report/ReadingFormat.h"

#include <QString>
#include <vector>

class CInstrBase;

// "Record...": the readings of a panel's instrument into a CSV file with the columns of
// `tamrix-cli monitor --csv` (time, then each channel's readings), one row per refresh. Every line is
// flushed as it is written, so a crash loses at most the row being written. A reading the program
// cannot vouch for is written as "---".
class CCsvRecorder
{
public:
    // False with the reason when the file cannot be created.
    bool Start(const QString& path, QString& error);
    void Stop();
    bool IsRecording() const { return m_recording; }
    const QString& Path() const { return m_path; }

    // The header before the first row, then one row now. Nothing happens while not recording.
    void Record(const CInstrBase& session, std::vector<SChannelReadings> readings);
    // Every TEC and laser channel of the instrument, as the monitor reads them (cached while polling).
    static std::vector<SChannelReadings> ReadingsOf(CInstrBase& instrument);

private:
    CCsvFile m_file;
    QString m_path;
    bool m_recording = false;
    bool m_headerWritten = false;
};
