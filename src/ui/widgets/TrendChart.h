#pragma once

#include "ui/widgets/TrendBuffer.h"

#include <QColor>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <map>
#include <optional>
#include <utility>
#include <vector>

class QCategoryAxis;
class QChart;
class QChartView;
class QLineSeries;

// A live trend of named series against wall-clock time (Qt Charts), one y axis per unit. Every series
// keeps its points in a bounded CTrendBuffer; the chart is redrawn at most once per RedrawMs and only
// while it is visible, so a hidden trend costs one buffer append per value.
//
// The view follows the newest points over a time window, or stays where it is while paused; the
// mouse wheel zooms the time axis around the pointer and a drag pans it (both pause the view), a
// double click goes back to following; the keyboard does the same with + and -, the arrows and Home. Panels
// show it inside a CTrendWindow; the AutoTune wizard embeds one as it is.
class CTrendChart : public QWidget
{
    Q_OBJECT

public:
    static constexpr int RedrawMs = 250;
    // A window of 0 shows everything.
    static constexpr double AllMs = 0.0;

    // One reading of a panel's tick. A series is a name with its unit; prominent series are shown
    // from the moment they are fed as such, until the user says otherwise.
    struct SSample
    {
        QString name;
        QString unit;
        std::optional<double> value; // nullopt: the program cannot vouch for one now
        bool prominent = false;
    };

    explicit CTrendChart(QWidget* parent = nullptr, size_t capacity = CTrendBuffer::DefaultCapacity);

    // Returns the series index; a name and unit already known give the series that has them.
    int AddSeries(const QString& name, const QString& unit, const QColor& color = QColor(),
                  bool shown = true);
    int FindSeries(const QString& name, const QString& unit) const;
    // A value at a time [ms since the epoch]; a value the program cannot vouch for is simply left out.
    void Append(int series, double time, double value);
    // A value now.
    void Append(int series, double value);
    // The series has no value it can vouch for from this time on: its line breaks here until the next
    // value, instead of joining the last good value to the next across the gap.
    void Break(int series, double time);
    // A value, or a break where there is none (nullopt).
    void Plot(int series, double time, std::optional<double> value);
    // One tick's readings: new names start series of their own and the series left out break, so a
    // quantity that is no longer read (another laser mode's set point) keeps its history.
    void Feed(double time, const std::vector<SSample>& samples);
    void Clear();

    const CTrendBuffer& Buffer(int series) const { return At(series).buffer; }
    int SeriesCount() const { return static_cast<int>(m_series.size()); }
    QString SeriesName(int series) const { return At(series).name; }
    QString SeriesUnit(int series) const { return At(series).unit; }
    // The legend's text: "name [unit]".
    QString SeriesLabel(int series) const;
    // Given when the series is first shown; invalid before.
    QColor SeriesColor(int series) const { return At(series).color; }
    bool IsShown(int series) const { return At(series).shown; }
    // The user's choice, kept over later prominent samples.
    void SetShown(int series, bool shown);

    // [ms]; AllMs for everything.
    void SetWindow(double windowMs);
    double Window() const { return m_windowMs; }
    // A paused view stays on the times it shows; new points are still kept.
    void SetPaused(bool paused);
    bool IsPaused() const { return m_paused; }
    // factor < 1 zooms in, around anchor (0 the left edge of the plot, 1 the right); pauses the view.
    void ZoomTime(double factor, double anchor);
    // Moves the view by ms (positive: later); pauses it.
    void PanTime(double ms);
    // Back to following the newest points over the window.
    void ResetView();
    // The times shown [ms since the epoch]; empty without points.
    std::optional<std::pair<double, double>> TimeRange() const;

    // The axes as last drawn: the units with an axis, left ones first; each axis' tick labels.
    QStringList AxisUnits() const;
    QStringList ValueLabels(const QString& unit) const;
    QStringList TimeLabels() const;
    QCategoryAxis* ValueAxis(const QString& unit) const;

    // The shown series' points within the shown times: a row per time, a column per series.
    bool ExportCsv(const QString& path, QString& error) const;
    // The chart as it shows now, drawn even when it is hidden.
    bool ExportPng(const QString& path, QString& error);

    // How often the chart was rebuilt (a hidden chart is never).
    int Redraws() const { return m_redraws; }
    // Points handed to the chart on the last redraw, per series at most about twice its width.
    qsizetype DrawnPoints(int series) const;
    // Separate pieces the series' line was drawn in on the last redraw (1 without gaps).
    int DrawnRuns(int series) const;
    QChartView* View() const { return m_view; }

signals:
    void seriesAdded(int series);
    void shownChanged(int series, bool shown);
    // Paused, resumed, zoomed or panned.
    void viewChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct SSeries
    {
        QString name;
        QString unit;
        QColor color;
        CTrendBuffer buffer;
        bool shown = true;
        bool userChose = false;
        std::vector<QLineSeries*> lines; // one per run between breaks; the first carries the legend
    };

    static QString Label(const SSeries& series);
    const SSeries& At(int series) const { return m_series[static_cast<size_t>(series)]; }
    bool IsValid(int series) const { return series >= 0 && series < SeriesCount(); }
    // Shown from now on, in a colour of its own.
    void Reveal(SSeries& series);
    QLineSeries* Segment(SSeries& series, qsizetype index);
    // The times the view follows: the window up to the newest point.
    std::optional<std::pair<double, double>> LiveRange() const;
    void FixView(double start, double end);
    // + and - zoom around the middle, the arrows move by a tenth of the view, Home follows again.
    bool OnKey(int key);
    // One axis per unit of a shown series, alternating left and right; rebuilt when that set changes.
    void LayoutAxes();
    void DrawSeries(SSeries& series, double start, double end,
                    std::map<QString, std::pair<double, double>>& spans);
    void DrawAxes(double start, double end, const std::map<QString, std::pair<double, double>>& spans);
    void ScheduleRedraw();
    void Redraw();
    void Draw();

    QChart* m_chart = nullptr;
    QChartView* m_view = nullptr;
    QCategoryAxis* m_timeAxis = nullptr;
    std::map<QString, QCategoryAxis*> m_valueAxes;
    QStringList m_axisUnits; // in the order they were laid out
    std::vector<SSeries> m_series;
    size_t m_capacity;
    double m_windowMs = AllMs;
    bool m_paused = false;
    std::pair<double, double> m_fixedRange{0.0, 0.0};
    std::optional<int> m_dragX;
    QTimer m_redrawTimer;
    bool m_dirty = false;
    int m_redraws = 0;
};
