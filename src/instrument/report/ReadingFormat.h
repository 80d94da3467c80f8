#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

// One value of a channel as the monitor shows it. Numbers carry the instrument's own precision.
struct SReading
{
    std::string name;
    std::string unit;   // empty when the value has none
    double value = 0.0; // when text is empty
    int precision = 0;  // digits after the decimal point
    std::string text;   // a value that is no number ("on", "ITE")
    // No value applies (the set point of a mode the channel is not in): an empty field, not shown.
    bool blank = false;
};

// The readings of one channel under its label ("TEC", "LAS", "TEC2", ...).
struct SChannelReadings
{
    std::string label;
    std::vector<SReading> readings;
};

// Pure formatters of readings for a terminal and for CSV logs; no I/O, no locale dependence. The
// command-line tool's output and the program's CSV logs share them, so their columns stay the same.
namespace ReadingFormat
{
// "%.*f" in the "C" notation; "---" for the channels' no-value mark (-1e32) and for non-finite values.
std::string Number(double value, int precision);
// The text, or the number with its precision; empty for a blank reading.
std::string ReadingValue(const SReading& reading);
// "2026-12-08T14:39:08.123Z" (UTC, milliseconds).
std::string IsoTimestamp(std::chrono::system_clock::time_point time);

// "TIME  TEC: T 25.003 °C, R 10.000, ...  LAS: ..." on one line, no line end.
std::string MonitorLine(const std::string& time, const std::vector<SChannelReadings>& channels);
// "TEC T [°C]": the channel's label, the reading's name and its unit.
std::string ColumnName(const std::string& label, const SReading& reading);
// "time,TEC T [°C],TEC R,..." and the matching rows, quoted where a field needs it; no line end.
std::string CsvHeader(const std::vector<SChannelReadings>& channels);
std::string CsvRow(const std::string& time, const std::vector<SChannelReadings>& channels);
// Text from outside (a descriptor typed, a reply received) made safe to print: control bytes and DEL
// as "\xNN", a backslash doubled, cut after maxChars characters with "..." so a flood stays one line.
std::string Printable(std::string_view text, size_t maxChars = 200);
// RFC 4180 quoting: a field with ",", '"' or a line break is quoted, its quotes doubled.
std::string CsvField(const std::string& text);
} // namespace ReadingFormat
