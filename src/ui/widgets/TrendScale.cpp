#include "ui/widgets/TrendScale.h"

#include <QDateTime>
#include <algorithm>
#include <array>
#include <cmath>

namespace
{
// 1, 2 or 5 times a power of ten, at least raw.
double RoundStep(double raw)
{
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0})
        if (factor * power >= raw * (1.0 - 1e-9))
            return factor * power;
    return 10.0 * power;
}

QString ValueLabel(double value, double step)
{
    const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    // A tick a rounding error away from zero is zero, not "-0.0".
    if (std::abs(value) < step * 1e-6)
        value = 0.0;
    return QString::number(value, 'f', decimals);
}

constexpr double Second = 1000.0;
constexpr double Minute = 60 * Second;
constexpr double Hour = 60 * Minute;
constexpr double Day = 24 * Hour;
constexpr std::array<double, 22> TimeSteps = {
    Second,     2 * Second,  5 * Second,  10 * Second, 15 * Second, 30 * Second, Minute,   2 * Minute,
    5 * Minute, 10 * Minute, 15 * Minute, 30 * Minute, Hour,        2 * Hour,    3 * Hour, 6 * Hour,
    12 * Hour,  Day,         2 * Day,     7 * Day,     14 * Day,    28 * Day};

QString TimeFormat(double step, double span)
{
    const QString clock = step < Minute ? "hh:mm:ss" : "hh:mm";
    return span >= Day || step >= Day ? "dd.MM. " + clock : clock;
}
} // namespace

TrendScale::SValueScale TrendScale::Values(double low, double high, int maxTicks)
{
    maxTicks = std::max(maxTicks, 2);
    if (!(high > low))
    {
        const double pad = low != 0.0 ? std::abs(low) * 0.01 : 1.0;
        low -= pad;
        high += pad;
    }
    SValueScale scale;
    scale.step = RoundStep((high - low) / maxTicks);
    const double first = std::floor(low / scale.step + 1e-9);
    const double last = std::ceil(high / scale.step - 1e-9);
    // Whole multiples of the step, so that a tick is never 0.30000000000000004.
    for (double k = first; k <= last; ++k)
        scale.ticks.push_back({k * scale.step, ValueLabel(k * scale.step, scale.step)});
    scale.low = first * scale.step;
    scale.high = last * scale.step;
    return scale;
}

std::vector<TrendScale::STick> TrendScale::Times(double startMs, double endMs, int maxTicks)
{
    std::vector<STick> ticks;
    if (!(endMs > startMs))
        return ticks;
    maxTicks = std::max(maxTicks, 2);
    const double span = endMs - startMs;
    const auto found = std::find_if(TimeSteps.begin(), TimeSteps.end(),
                                    [&](double step) { return span / step <= maxTicks; });
    const double step = found != TimeSteps.end() ? *found : std::ceil(span / maxTicks / Day) * Day;
    // Round on the local clock: a tick at 10:00, not at 10:00 UTC shown as 11:00.
    const double offset =
        QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(startMs)).offsetFromUtc() * Second;
    const QString format = TimeFormat(step, span);
    for (double tick = std::ceil((startMs + offset) / step) * step - offset; tick <= endMs; tick += step)
        ticks.push_back(
            {tick, QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(tick))).toString(format)});
    return ticks;
}
