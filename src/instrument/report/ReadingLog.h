#pragma once

#include "instrument/report/CsvFile.h"
#include "instrument/report/ReadingFormat.h"

#include <chrono>
#include <string>
#include <vector>

// Where a log's readings come from, for the comment lines at its top.
struct SReadingLogSource
{
    std::string program; // "tamrix-cli 2.4.1"
    std::string model;
    std::string serialNumber;
    std::string firmware;
    std::string port;
};

// The CSV log of readings both the panels' "Record..." and `tamrix-cli monitor --csv` write, so their
// files read alike: a block of "# " comment lines that describes the file (its source, start, channels
// and every column's unit), the column names, then one row per refresh. A column keeps one unit for the
// whole file; the last column, "note", is empty on a row of readings. A gap in the readings (polling
// paused, the connection lost) is a row of its own: the time, every reading empty and the note
// "gap: <cause>", never a silent jump in time. Every failure is reported, none is skipped over.
class CReadingLog
{
public:
    using Clock = std::chrono::system_clock;

    // False (Error() says why) when the file cannot be created.
    bool Open(const std::string& path);
    // Written in the header block; taken before the first row.
    void SetSource(const SReadingLogSource& source) { m_source = source; }
    // The header block and column names first (from these readings), then the row. False when the file
    // did not take it, or when the readings no longer fit the columns (other channels).
    bool WriteRow(Clock::time_point time, const std::vector<SChannelReadings>& readings);
    // A gap row with its cause ("polling paused"); the readings only name the columns of a header still
    // to be written. One row for a gap, however often it is reported before the next row of readings.
    bool WriteGap(Clock::time_point time, const std::vector<SChannelReadings>& readings,
                  const std::string& cause);
    // Flushes, syncs and closes; false (Error() says why) when any of these failed.
    bool Close();

    bool IsOpen() const { return m_file.IsOpen(); }
    // Rows of readings written (gap rows not counted).
    int Rows() const { return m_rows; }
    const std::string& Error() const { return m_error; }

    // The header block and column names for these readings, started at this time; no line end after
    // the last line.
    static std::string Header(const SReadingLogSource& source, Clock::time_point start,
                              const std::vector<SChannelReadings>& readings);

private:
    bool EnsureHeader(Clock::time_point time, const std::vector<SChannelReadings>& readings);
    bool Write(const std::string& line);

    CCsvFile m_file;
    SReadingLogSource m_source;
    std::vector<std::string> m_columns; // the names in the header line, once written
    std::string m_error;
    int m_rows = 0;
    bool m_headerWritten = false;
    bool m_inGap = false;
};
