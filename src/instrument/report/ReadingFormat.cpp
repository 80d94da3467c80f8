#include "instrument/report/ReadingFormat.h"

#include "instrument/laser/LaserProtocol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace
{
// The channels' "no value" mark: every reading and set point holds it until the instrument answered.
constexpr double kNoValue = -1e32;
} // namespace

namespace ReadingFormat
{
std::string Number(double value, int precision)
{
    if (!std::isfinite(value) || value <= kNoValue / 10)
        return "---";
    return LaserProtocol::FormatFixed(value, std::clamp(precision, 0, 9));
}

std::string ReadingValue(const SReading& reading)
{
    if (reading.blank)
        return {};
    return reading.text.empty() ? Number(reading.value, reading.precision) : reading.text;
}

std::string IsoTimestamp(std::chrono::system_clock::time_point time)
{
    const auto sinceEpoch = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
    const std::time_t seconds = static_cast<std::time_t>(sinceEpoch.count() / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(sinceEpoch.count() % 1000));
    return text;
}

std::string ColumnName(const std::string& label, const SReading& reading)
{
    return label + " " + reading.name + (reading.unit.empty() ? "" : " [" + reading.unit + "]");
}

std::string MonitorLine(const std::string& time, const std::vector<SChannelReadings>& channels)
{
    std::string line = time;
    for (const SChannelReadings& channel : channels)
    {
        line += "  " + channel.label + ":";
        const char* separator = " ";
        for (const SReading& reading : channel.readings)
        {
            if (reading.blank)
                continue;
            line += separator + reading.name + " " + ReadingValue(reading);
            separator = ", ";
            if (!reading.unit.empty())
                line += " " + reading.unit;
        }
    }
    return line;
}

std::string CsvHeader(const std::vector<SChannelReadings>& channels)
{
    std::string line = "time";
    for (const SChannelReadings& channel : channels)
    {
        for (const SReading& reading : channel.readings)
            line += "," + CsvField(ColumnName(channel.label, reading));
    }
    return line;
}

std::string CsvRow(const std::string& time, const std::vector<SChannelReadings>& channels)
{
    std::string line = CsvField(time);
    for (const SChannelReadings& channel : channels)
    {
        for (const SReading& reading : channel.readings)
            line += "," + CsvField(ReadingValue(reading));
    }
    return line;
}

std::string Printable(std::string_view text, size_t maxChars)
{
    std::string printable;
    for (size_t index = 0; index < text.size() && index < maxChars; ++index)
    {
        const auto byte = static_cast<unsigned char>(text[index]);
        if (byte < 0x20 || byte == 0x7F)
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            printable += escaped;
        }
        else if (byte == '\\')
            printable += "\\\\";
        else
            printable += static_cast<char>(byte);
    }
    if (text.size() > maxChars)
        printable += "...";
    return printable;
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}
} // namespace ReadingFormat
