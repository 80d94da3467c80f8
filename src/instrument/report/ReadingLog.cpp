#include "instrument/report/ReadingLog.h"

namespace
{
std::vector<std::string> ColumnsOf(const std::vector<SChannelReadings>& readings)
{
    std::vector<std::string> columns;
    for (const SChannelReadings& channel : readings)
    {
        for (const SReading& reading : channel.readings)
            columns.push_back(ReadingFormat::ColumnName(channel.label, reading));
    }
    return columns;
}

std::string Comment(const std::string& key, const std::string& value)
{
    // Text from the instrument stays on its own line whatever bytes it holds.
    return "# " + key + ": " + ReadingFormat::Printable(value) + "\n";
}

std::string UnitsLine(const std::vector<SChannelReadings>& readings)
{
    std::string line = "# units: time=ISO 8601 UTC";
    for (const SChannelReadings& channel : readings)
    {
        for (const SReading& reading : channel.readings)
            line += "; " + channel.label + " " + reading.name + "=" +
                    (reading.unit.empty() ? "none" : reading.unit);
    }
    return line + "; note=none\n";
}
} // namespace

bool CReadingLog::Open(const std::string& path)
{
    m_columns.clear();
    m_headerWritten = false;
    m_rows = 0;
    m_inGap = false;
    m_error.clear();
    if (!m_file.Open(path))
    {
        m_error = m_file.Error();
        return false;
    }
    return true;
}

std::string CReadingLog::Header(const SReadingLogSource& source, Clock::time_point start,
                                const std::vector<SChannelReadings>& readings)
{
    std::string channels;
    for (const SChannelReadings& channel : readings)
        channels += (channels.empty() ? "" : ", ") + channel.label;
    std::string header = "# readings log\n";
    header += Comment("program", source.program);
    header += Comment("model", source.model);
    header += Comment("serial number", source.serialNumber);
    header += Comment("firmware", source.firmware);
    header += Comment("port", source.port);
    header += Comment("channels", channels);
    header += Comment("started", ReadingFormat::IsoTimestamp(start));
    header += UnitsLine(readings);
    header +=
        "# \"---\" is a reading the program cannot vouch for; an empty field has no value (the set point "
        "of another mode, or a gap row)\n";
    header +=
        "# a row whose note is \"gap: <cause>\" holds no readings: none were taken from its time to the "
        "next row\n";
    return header + ReadingFormat::CsvHeader(readings) + ",note";
}

bool CReadingLog::WriteRow(Clock::time_point time, const std::vector<SChannelReadings>& readings)
{
    if (!EnsureHeader(time, readings))
        return false;
    std::vector<SChannelReadings> shown = readings;
    size_t column = 0;
    for (SChannelReadings& channel : shown)
    {
        for (SReading& reading : channel.readings)
        {
            // A value in another unit than its column's (the sensor changed) is not what the column says.
            if (ReadingFormat::ColumnName(channel.label, reading) != m_columns[column++] && !reading.blank)
                reading = SReading{reading.name, reading.unit, 0.0, 0, "---"};
        }
    }
    if (!Write(ReadingFormat::CsvRow(ReadingFormat::IsoTimestamp(time), shown) + ","))
        return false;
    ++m_rows;
    m_inGap = false;
    return true;
}

bool CReadingLog::WriteGap(Clock::time_point time, const std::vector<SChannelReadings>& readings,
                           const std::string& cause)
{
    if (m_inGap)
        return true;
    if (!EnsureHeader(time, readings))
        return false;
    const std::string blanks(m_columns.size(), ',');
    if (!Write(ReadingFormat::IsoTimestamp(time) + blanks + "," + ReadingFormat::CsvField("gap: " + cause)))
        return false;
    m_inGap = true;
    return true;
}

bool CReadingLog::Close()
{
    if (m_file.Close())
        return true;
    m_error = m_file.Error();
    return false;
}

bool CReadingLog::EnsureHeader(Clock::time_point time, const std::vector<SChannelReadings>& readings)
{
    std::vector<std::string> columns = ColumnsOf(readings);
    if (m_headerWritten)
    {
        if (columns.size() == m_columns.size())
            return true;
        m_error = "the instrument's channels changed";
        return false;
    }
    if (!Write(Header(m_source, time, readings)))
        return false;
    m_columns = std::move(columns);
    m_headerWritten = true;
    return true;
}

bool CReadingLog::Write(const std::string& line)
{
    if (m_file.WriteLine(line))
        return true;
    m_error = m_file.Error();
    return false;
}
