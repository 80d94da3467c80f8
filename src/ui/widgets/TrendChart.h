#pragma once

#include "ui/widgets/TrendBuffer.h"

#include <QColor>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <optional>
#include <vector>

class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

// A live trend of named series against wall-clock time (Qt Charts). Every series keeps its points in a
// bounded CTrendBuffer; the chart is redrawn at most once per RedrawMs and only while it is visible, so
// a hidden trend costs one buffer append per value. The panels show it as a tool window of their own;
// the AutoTune wizard embeds one.
class CTrendChart : public QWidget
{
    Q_OBJECT

public:
    static constexpr int RedrawMs = 250;

    explicit CTrendChart(QWidget* parent = nullptr, size_t capacity = CTrendBuffer::DefaultCapacity);

    // Returns the series index.
    int AddSeries(const QString& name, const QColor& color = QColor());
    // A value at a time [ms since the epoch]; a value the program cannot vouch for is simply left out.
    void Append(int series, double time, double value);
    // A value now.
    void Append(int series, double value);
    // The series has no value it can vouch for from this time on: its line breaks here until the next
    // value, instead of joining the last good value to the next across the gap.
    void Break(int series, double time);
    void Break(int series);
    // A value, or a break where there is none (nullopt).
    void Plot(int series, double time, std::optional<double> value);
    void Clear();

    const CTrendBuffer& Buffer(int series) const { return m_series[static_cast<size_t>(series)].buffer; }
    int SeriesCount() const { return static_cast<int>(m_series.size()); }
    // How often the chart was rebuilt (a hidden chart is never).
    int Redraws() const { return m_redraws; }
    // Points handed to the chart on the last redraw, per series at most about twice its width.
    qsizetype DrawnPoints(int series) const;
    // Separate pieces the series' line was drawn in on the last redraw (1 without gaps).
    int DrawnRuns(int series) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct SSeries
    {
        QString name;
        CTrendBuffer buffer;
        std::vector<QLineSeries*> lines; // one per run between breaks; the first carries the legend
    };

    QLineSeries* Segment(SSeries& series, qsizetype index);

    void ScheduleRedraw();
    void Redraw();

    QChart* m_chart = nullptr;
    QChartView* m_view = nullptr;
    QDateTimeAxis* m_timeAxis = nullptr;
    QValueAxis* m_valueAxis = nullptr;
    std::vector<SSeries> m_series;
    size_t m_capacity;
    QTimer m_redrawTimer;
    bool m_dirty = false;
    int m_redraws = 0;
};
