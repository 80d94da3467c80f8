#pragma once

#include "comm/SerInfo.h"
#include "instrument/session/IdentRecord.h"

#include <chrono>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One value of a channel as the monitor shows it. Numbers carry the instrument's own precision.
struct SCliReading
{
    std::string name;
    std::string unit;   // empty when the value has none
    double value = 0.0; // when text is empty
    int precision = 0;  // digits after the decimal point
    std::string text;   // a value that is no number ("on", "ITE")
};

// The readings of one channel under its label ("TEC", "LAS", "TEC2", ...).
struct SCliChannelReadings
{
    std::string label;
    std::vector<SCliReading> readings;
};

// Pure formatters of tamrix-cli's output; no I/O, no locale dependence.
namespace CliFormat
{
// "%.*f" in the "C" notation; "---" for the channels' no-value mark (-1e32) and for non-finite values.
std::string Number(double value, int precision);
// The text, or the number with its precision.
std::string ReadingValue(const SCliReading& reading);
// "2026-12-08T14:39:08.123Z" (UTC, milliseconds).
std::string IsoTimestamp(std::chrono::system_clock::time_point time);

// "TIME  TEC: T 25.003 °C, R 10.000, ...  LAS: ..." on one line, no line end.
std::string MonitorLine(const std::string& time, const std::vector<SCliChannelReadings>& channels);
// "time,TEC T [°C],TEC R,..." and the matching rows, quoted where a field needs it; no line end.
std::string CsvHeader(const std::vector<SCliChannelReadings>& channels);
std::string CsvRow(const std::string& time, const std::vector<SCliChannelReadings>& channels);
// Text from outside (a descriptor typed, a reply received) made safe to print: control bytes and DEL
// as "\xNN", a backslash doubled, cut after maxChars characters with "..." so a flood stays one line.
std::string Printable(std::string_view text, size_t maxChars = 200);
// RFC 4180 quoting: a field with ",", '"' or a line break is quoted, its quotes doubled.
std::string CsvField(const std::string& text);

std::string IdentRecord(const SIdentRecord& record);
// "NUMBER NAME USB FRIENDLY NAME / PATH" table, one port a line.
std::string PortTable(const std::vector<SSerInfo>& ports);
// "key:   value" lines with the values aligned.
std::string KeyValues(const std::vector<std::pair<std::string, std::string>>& rows);
} // namespace CliFormat
