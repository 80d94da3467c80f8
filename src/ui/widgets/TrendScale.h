#pragma once

#include <QString>
#include <vector>

// The ticks of the trend's axes: values on steps of 1, 2 or 5 times a power of ten, times on whole
// seconds, minutes or hours of the local clock, each step chosen so that the labels never repeat.
namespace TrendScale
{
struct STick
{
    double value;
    QString label;
};

struct SValueScale
{
    double low;  // a multiple of step at or below the lowest value
    double high; // a multiple of step at or above the highest value
    double step;
    std::vector<STick> ticks; // low, low + step, ... high
};

// At most maxTicks + 1 ticks over [low, high]; a flat curve gets a small span around its value.
SValueScale Values(double low, double high, int maxTicks);

// Ticks within [startMs, endMs] (ms since the epoch) on a step that gives at most maxTicks labels;
// the labels show the local time to the step's resolution (the date too when the span passes a day).
std::vector<STick> Times(double startMs, double endMs, int maxTicks);
} // namespace TrendScale
