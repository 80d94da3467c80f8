#include "ui/widgets/TrendChart.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
// Min/max per column: a curve with many more points than pixels looks the same with two per column.
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
    out.reserve(static_cast<qsizetype>(2 * (count / perColumn + 1)));
    for (size_t start = 0; start < count; start += perColumn)
    {
        const size_t end = std::min(count, start + perColumn);
        auto [low, high] =
            std::minmax_element(points.begin() + static_cast<std::ptrdiff_t>(start),
                                points.begin() + static_cast<std::ptrdiff_t>(end),
                                [](const auto& a, const auto& b) { return a.value < b.value; });
        const auto& first = low->time <= high->time ? *low : *high;
        const auto& second = low->time <= high->time ? *high : *low;
        out.append({first.time, first.value});
        if (&first != &second)
            out.append({second.time, second.value});
    }
    return out;
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
    m_series.push_back({name, CTrendBuffer(m_capacity), line});
    return static_cast<int>(m_series.size()) - 1;
}

void CTrendChart::Append(int series, double time, double value)
{
    if (series < 0 || series >= SeriesCount() || !std::isfinite(value))
        return;
    m_series[static_cast<size_t>(series)].buffer.Append(time, value);
    ScheduleRedraw();
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
    return m_series[static_cast<size_t>(series)].line->count();
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
        const QList<QPointF> points = ForDisplay(series.buffer.Points(), columns);
        for (const QPointF& point : points)
        {
            first = std::min(first, point.x());
            last = std::max(last, point.x());
            low = std::min(low, point.y());
            high = std::max(high, point.y());
        }
        series.line->replace(points);
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
