#include "ui/widgets/TrendChart.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
// A point that breaks the line: the program could not vouch for the value there.
bool IsBreak(const CTrendBuffer::SPoint& point)
{
    return std::isnan(point.value);
}

// Min/max per column: a curve with many more points than pixels looks the same with two per column.
// A column that holds a break keeps it, after its values, so a gap never closes at any zoom.
QList<QPointF> ForDisplay(const std::vector<CTrendBuffer::SPoint>& points, int columns)
{
    QList<QPointF> out;
    const size_t count = points.size();
    const size_t perColumn = std::max<size_t>(1, count / static_cast<size_t>(std::max(columns, 1)));
    if (perColumn <= 2)
    {
        out.reserve(static_cast<qsizetype>(count));
        for (const auto& point : points)
            out.append({point.time, point.value});
        return out;
    }
    out.reserve(static_cast<qsizetype>(3 * (count / perColumn + 1)));
    for (size_t start = 0; start < count; start += perColumn)
    {
        const auto begin = points.begin() + static_cast<std::ptrdiff_t>(start);
        const auto end = points.begin() + static_cast<std::ptrdiff_t>(std::min(count, start + perColumn));
        const CTrendBuffer::SPoint* low = nullptr;
        const CTrendBuffer::SPoint* high = nullptr;
        const CTrendBuffer::SPoint* gap = nullptr;
        for (auto it = begin; it != end; ++it)
        {
            if (IsBreak(*it))
                gap = &*it;
            else
            {
                low = (!low || it->value < low->value) ? &*it : low;
                high = (!high || it->value > high->value) ? &*it : high;
            }
        }
        if (low)
        {
            const auto* first = low->time <= high->time ? low : high;
            const auto* second = low->time <= high->time ? high : low;
            out.append({first->time, first->value});
            if (first != second)
                out.append({second->time, second->value});
        }
        if (gap)
            out.append({gap->time, gap->value});
    }
    return out;
}

// The runs of points between breaks; each is drawn as one line.
QList<QList<QPointF>> Runs(const QList<QPointF>& points)
{
    QList<QList<QPointF>> runs(1);
    for (const QPointF& point : points)
    {
        if (!std::isnan(point.y()))
            runs.back().append(point);
        else if (!runs.back().isEmpty())
            runs.append(QList<QPointF>());
    }
    return runs;
}
} // namespace

CTrendChart::CTrendChart(QWidget* parent, size_t capacity) : QWidget(parent), m_capacity(capacity)
{
    setObjectName("trendChart");
    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_timeAxis = new QDateTimeAxis;
    m_timeAxis->setFormat("hh:mm:ss");
    m_timeAxis->setTickCount(5);
    m_valueAxis = new QValueAxis;
    m_valueAxis->setLabelFormat("%.2f");
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_valueAxis, Qt::AlignLeft);
    m_view = new QChartView(m_chart, this);
    m_view->setRenderHint(QPainter::Antialiasing, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setMinimumSize(320, 200);

    m_redrawTimer.setSingleShot(true);
    m_redrawTimer.setInterval(RedrawMs);
    connect(&m_redrawTimer, &QTimer::timeout, this, &CTrendChart::Redraw);
}

int CTrendChart::AddSeries(const QString& name, const QColor& color)
{
    auto* line = new QLineSeries;
    line->setName(name);
    if (color.isValid())
        line->setColor(color);
    m_chart->addSeries(line);
    line->attachAxis(m_timeAxis);
    line->attachAxis(m_valueAxis);
    m_series.push_back({name, CTrendBuffer(m_capacity), {line}});
    return static_cast<int>(m_series.size()) - 1;
}

QLineSeries* CTrendChart::Segment(SSeries& series, qsizetype index)
{
    while (series.lines.size() <= static_cast<size_t>(index))
    {
        // Further runs of one series look like it and stay out of the legend.
        auto* line = new QLineSeries;
        line->setName(series.name);
        m_chart->addSeries(line);
        line->setPen(series.lines.front()->pen());
        line->attachAxis(m_timeAxis);
        line->attachAxis(m_valueAxis);
        for (QLegendMarker* marker : m_chart->legend()->markers(line))
            marker->setVisible(false);
        series.lines.push_back(line);
    }
    return series.lines[static_cast<size_t>(index)];
}

void CTrendChart::Append(int series, double time, double value)
{
    if (series < 0 || series >= SeriesCount() || !std::isfinite(value))
        return;
    m_series[static_cast<size_t>(series)].buffer.Append(time, value);
    ScheduleRedraw();
}

void CTrendChart::Break(int series, double time)
{
    if (series < 0 || series >= SeriesCount())
        return;
    CTrendBuffer& buffer = m_series[static_cast<size_t>(series)].buffer;
    // One break marks a whole gap, however long it lasts.
    if (buffer.Points().empty() || IsBreak(buffer.Points().back()))
        return;
    buffer.Append(time, std::numeric_limits<double>::quiet_NaN());
    ScheduleRedraw();
}

void CTrendChart::Break(int series)
{
    Break(series, static_cast<double>(QDateTime::currentMSecsSinceEpoch()));
}

void CTrendChart::Plot(int series, double time, std::optional<double> value)
{
    if (value)
        Append(series, time, *value);
    else
        Break(series, time);
}

void CTrendChart::Append(int series, double value)
{
    Append(series, static_cast<double>(QDateTime::currentMSecsSinceEpoch()), value);
}

void CTrendChart::Clear()
{
    for (SSeries& series : m_series)
        series.buffer.Clear();
    ScheduleRedraw();
}

qsizetype CTrendChart::DrawnPoints(int series) const
{
    qsizetype count = 0;
    for (const QLineSeries* line : m_series[static_cast<size_t>(series)].lines)
        count += line->count();
    return count;
}

int CTrendChart::DrawnRuns(int series) const
{
    const auto& lines = m_series[static_cast<size_t>(series)].lines;
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [](const QLineSeries* line) { return line->count() > 0; }));
}

void CTrendChart::ScheduleRedraw()
{
    m_dirty = true;
    if (isVisible() && !m_redrawTimer.isActive())
        m_redrawTimer.start();
}

void CTrendChart::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_dirty)
        Redraw();
}

void CTrendChart::Redraw()
{
    if (!isVisible())
        return;
    m_dirty = false;
    ++m_redraws;
    double first = std::numeric_limits<double>::max();
    double last = std::numeric_limits<double>::lowest();
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    const int columns = std::max(100, m_view->width());
    for (SSeries& series : m_series)
    {
        const QList<QList<QPointF>> runs = Runs(ForDisplay(series.buffer.Points(), columns));
        for (const QList<QPointF>& run : runs)
            for (const QPointF& point : run)
            {
                first = std::min(first, point.x());
                last = std::max(last, point.x());
                low = std::min(low, point.y());
                high = std::max(high, point.y());
            }
        for (qsizetype i = 0; i < runs.size(); ++i)
            Segment(series, i)->replace(runs[i]);
        for (size_t i = static_cast<size_t>(runs.size()); i < series.lines.size(); ++i)
            series.lines[i]->clear();
    }
    if (first > last)
        return;
    if (last - first < 1000.0)
        last = first + 1000.0;
    const double margin = std::max((high - low) * 0.05, 0.05);
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first)),
                         QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(last)));
    m_timeAxis->setFormat(last - first > 86400000.0 * 0.5 ? "dd hh:mm" : "hh:mm:ss");
    m_valueAxis->setRange(low - margin, high + margin);
}
