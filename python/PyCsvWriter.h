#pragma once

#include "PyReadings.h"
#include "instrument/report/ReadingLog.h"

#include <memory>
#include <string>

class CPyUnit;

// tamrix.CsvWriter: the CSV log of `tamrix-cli monitor --csv` for a script's readings, with the same
// header block, columns and gap rows. Every failure raises OSError with the reason.
class CPyCsvWriter
{
public:
    // The unit, when given, names the source in the header block.
    CPyCsvWriter(const std::string& path, const std::shared_ptr<CPyUnit>& unit);
    void Write(const SPyReadings& readings);
    void WriteGap(const SPyReadings& readings, const std::string& cause);
    void Close();
    int Rows() const { return m_log.Rows(); }

private:
    [[noreturn]] void Fail() const;

    std::string m_path;
    CReadingLog m_log;
};
