#include "ui/widgets/TrendChart.h"

#include "ui/widgets/TrendScale.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QDateTime>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QSaveFile>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
// The shortest span the time axis shows: one point still gets a readable axis.
constexpr double MinSpanMs = 2000.0;

const QColor Palette[] = {QColor(200, 40, 40),   QColor(40, 90, 200),  QColor(200, 130, 0),
                          QColor(30, 150, 60),   QColor(130, 50, 170), QColor(0, 150, 160),
                          QColor(120, 120, 120), QColor(170, 90, 40),  QColor(220, 80, 160),
                          QColor(90, 130, 20)};

// A point that breaks the line: the program could not vouch for the value there.
bool IsBreak(const CTrendBuffer::SPoint& point)
{
    return std::isnan(point.value);
}

// The points within [start, end] and one either side, so that the line runs to the plot's edges.
std::vector<CTrendBuffer::SPoint> Within(const std::vector<CTrendBuffer::SPoint>& points, double start,
                                         double end)
{
    const auto byTime = [](const CTrendBuffer::SPoint& point, double time) { return point.time < time; };
    auto first = std::lower_bound(points.begin(), points.end(), start, byTime);
    auto last = std::lower_bound(first, points.end(), end, byTime);
    if (first != points.begin())
        --first;
    if (last != points.end())
        ++last;
    return {first, last};
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

void SetTicks(QCategoryAxis* axis, double start, double end, const std::vector<TrendScale::STick>& ticks)
{
    for (const QString& label : axis->categoriesLabels())
        axis->remove(label);
    axis->setRange(start, end);
    axis->setStartValue(start);
    for (const TrendScale::STick& tick : ticks)
        axis->append(tick.label, tick.value);
}

QCategoryAxis* NewAxis()
{
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    return axis;
}

QString CsvField(const QString& text)
{
    if (!text.contains(',') && !text.contains('"'))
        return text;
    return '"' + QString(text).replace('"', "\"\"") + '"';
}
} // namespace

CTrendChart::CTrendChart(QWidget* parent, size_t capacity) : QWidget(parent), m_capacity(capacity)
{
    setObjectName("trendChart");
    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_timeAxis = NewAxis();
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_view = new QChartView(m_chart, this);
    m_view->setRenderHint(QPainter::Antialiasing, false);
    m_view->viewport()->installEventFilter(this);
    m_view->installEventFilter(this);
    m_view->setToolTip("Wheel or + and -: zoom the time axis; drag or the arrow keys: move along it; double "
                       "click or Home: follow the newest readings again");
    m_view->setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setMinimumSize(320, 200);

    m_redrawTimer.setSingleShot(true);
    m_redrawTimer.setInterval(RedrawMs);
    connect(&m_redrawTimer, &QTimer::timeout, this, &CTrendChart::Redraw);
}

int CTrendChart::AddSeries(const QString& name, const QString& unit, const QColor& color, bool shown)
{
    const int known = FindSeries(name, unit);
    if (known >= 0)
        return known;
    m_series.push_back({name, unit, color, CTrendBuffer(m_capacity), false, false, {}});
    Segment(m_series.back(), 0);
    if (shown)
        Reveal(m_series.back());
    const int index = SeriesCount() - 1;
    emit seriesAdded(index);
    ScheduleRedraw();
    return index;
}

void CTrendChart::Reveal(SSeries& series)
{
    series.shown = true;
    if (series.color.isValid())
        return;
    // The first colour no shown series has, so that the curves drawn together look apart however
    // many series the panel feeds; a series keeps its colour from then on.
    const auto taken = [this](const QColor& color)
    {
        return std::any_of(m_series.begin(), m_series.end(),
                           [&](const SSeries& other) { return other.shown && other.color == color; });
    };
    const auto free =
        std::find_if(std::begin(Palette), std::end(Palette), [&](const QColor& c) { return !taken(c); });
    series.color = free != std::end(Palette) ? *free : Palette[m_series.size() % std::size(Palette)];
    for (QLineSeries* line : series.lines)
        line->setColor(series.color);
}

QString CTrendChart::Label(const SSeries& series)
{
    return series.unit.isEmpty() ? series.name : QString("%1 [%2]").arg(series.name, series.unit);
}

int CTrendChart::FindSeries(const QString& name, const QString& unit) const
{
    for (size_t i = 0; i < m_series.size(); ++i)
        if (m_series[i].name == name && m_series[i].unit == unit)
            return static_cast<int>(i);
    return -1;
}

QString CTrendChart::SeriesLabel(int series) const
{
    return Label(At(series));
}

QLineSeries* CTrendChart::Segment(SSeries& series, qsizetype index)
{
    while (series.lines.size() <= static_cast<size_t>(index))
    {
        auto* line = new QLineSeries;
        line->setName(Label(series));
        if (series.color.isValid())
            line->setColor(series.color);
        m_chart->addSeries(line);
        line->attachAxis(m_timeAxis);
        const auto axis = m_valueAxes.find(series.unit);
        if (axis != m_valueAxes.end())
            line->attachAxis(axis->second);
        line->setVisible(series.shown);
        // Further runs of one series look like it and stay out of the legend.
        if (!series.lines.empty())
            for (QLegendMarker* marker : m_chart->legend()->markers(line))
                marker->setVisible(false);
        series.lines.push_back(line);
    }
    return series.lines[static_cast<size_t>(index)];
}

void CTrendChart::Append(int series, double time, double value)
{
    if (!IsValid(series) || !std::isfinite(value))
        return;
    m_series[static_cast<size_t>(series)].buffer.Append(time, value);
    ScheduleRedraw();
}

void CTrendChart::Append(int series, double value)
{
    Append(series, static_cast<double>(QDateTime::currentMSecsSinceEpoch()), value);
}

void CTrendChart::Break(int series, double time)
{
    if (!IsValid(series))
        return;
    CTrendBuffer& buffer = m_series[static_cast<size_t>(series)].buffer;
    // One break marks a whole gap, however long it lasts.
    if (buffer.Points().empty() || IsBreak(buffer.Points().back()))
        return;
    buffer.Append(time, std::numeric_limits<double>::quiet_NaN());
    ScheduleRedraw();
}

void CTrendChart::Plot(int series, double time, std::optional<double> value)
{
    if (value)
        Append(series, time, *value);
    else
        Break(series, time);
}

void CTrendChart::Feed(double time, const std::vector<SSample>& samples)
{
    std::vector<bool> fed(m_series.size(), false);
    for (const SSample& sample : samples)
    {
        const int index = AddSeries(sample.name, sample.unit, QColor(), sample.prominent);
        SSeries& series = m_series[static_cast<size_t>(index)];
        if (sample.prominent && !series.shown && !series.userChose)
        {
            Reveal(series);
            emit shownChanged(index, true);
        }
        fed.resize(m_series.size(), false);
        fed[static_cast<size_t>(index)] = true;
        Plot(index, time, sample.value);
    }
    for (size_t i = 0; i < fed.size(); ++i)
        if (!fed[i])
            Break(static_cast<int>(i), time);
}

void CTrendChart::Clear()
{
    for (SSeries& series : m_series)
        series.buffer.Clear();
    ScheduleRedraw();
}

void CTrendChart::SetShown(int series, bool shown)
{
    if (!IsValid(series))
        return;
    SSeries& s = m_series[static_cast<size_t>(series)];
    s.userChose = true;
    if (s.shown == shown)
        return;
    if (shown)
        Reveal(s);
    else
        s.shown = false;
    emit shownChanged(series, shown);
    ScheduleRedraw();
}

void CTrendChart::SetWindow(double windowMs)
{
    m_windowMs = std::max(windowMs, 0.0);
    // A window chosen is a window to follow.
    m_paused = false;
    emit viewChanged();
    ScheduleRedraw();
}

void CTrendChart::SetPaused(bool paused)
{
    if (paused == m_paused)
        return;
    if (paused)
    {
        const auto range = LiveRange();
        if (range)
            m_fixedRange = *range;
    }
    m_paused = paused;
    emit viewChanged();
    ScheduleRedraw();
}

void CTrendChart::ZoomTime(double factor, double anchor)
{
    const auto range = TimeRange();
    if (!range || !(factor > 0.0))
        return;
    const double span = range->second - range->first;
    const double newSpan = std::max(span * factor, MinSpanMs / 2);
    const double pivot = range->first + std::clamp(anchor, 0.0, 1.0) * span;
    const double start = pivot - std::clamp(anchor, 0.0, 1.0) * newSpan;
    FixView(start, start + newSpan);
}

void CTrendChart::PanTime(double ms)
{
    const auto range = TimeRange();
    if (range)
        FixView(range->first + ms, range->second + ms);
}

void CTrendChart::ResetView()
{
    m_paused = false;
    emit viewChanged();
    if (isVisible())
        Draw();
    else
        ScheduleRedraw();
}

void CTrendChart::FixView(double start, double end)
{
    m_fixedRange = {start, end};
    m_paused = true;
    emit viewChanged();
    // The mouse wants to see its effect now, not on the next tick.
    if (isVisible())
        Draw();
    else
        ScheduleRedraw();
}

std::optional<std::pair<double, double>> CTrendChart::TimeRange() const
{
    if (m_paused)
        return m_fixedRange.second > m_fixedRange.first ? std::optional(m_fixedRange) : std::nullopt;
    return LiveRange();
}

std::optional<std::pair<double, double>> CTrendChart::LiveRange() const
{
    const bool anyShown =
        std::any_of(m_series.begin(), m_series.end(), [](const SSeries& s) { return s.shown; });
    double first = std::numeric_limits<double>::max();
    double last = std::numeric_limits<double>::lowest();
    for (const SSeries& series : m_series)
    {
        if ((anyShown && !series.shown) || series.buffer.Points().empty())
            continue;
        first = std::min(first, series.buffer.Points().front().time);
        last = std::max(last, series.buffer.Points().back().time);
    }
    if (first > last)
        return std::nullopt;
    double start = m_windowMs > 0.0 ? std::max(first, last - m_windowMs) : first;
    start = std::min(start, last - MinSpanMs);
    return std::pair(start, last);
}

QStringList CTrendChart::AxisUnits() const
{
    return m_axisUnits;
}

QCategoryAxis* CTrendChart::ValueAxis(const QString& unit) const
{
    const auto axis = m_valueAxes.find(unit);
    return axis != m_valueAxes.end() ? axis->second : nullptr;
}

QStringList CTrendChart::ValueLabels(const QString& unit) const
{
    QCategoryAxis* axis = ValueAxis(unit);
    return axis ? axis->categoriesLabels() : QStringList();
}

QStringList CTrendChart::TimeLabels() const
{
    return m_timeAxis->categoriesLabels();
}

qsizetype CTrendChart::DrawnPoints(int series) const
{
    qsizetype count = 0;
    for (const QLineSeries* line : At(series).lines)
        count += line->count();
    return count;
}

int CTrendChart::DrawnRuns(int series) const
{
    const auto& lines = At(series).lines;
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [](const QLineSeries* line) { return line->count() > 0; }));
}

bool CTrendChart::ExportCsv(const QString& path, QString& error) const
{
    std::vector<int> columns;
    for (int i = 0; i < SeriesCount(); ++i)
        if (IsShown(i))
            columns.push_back(i);
    const auto range = TimeRange();
    // A row per time; a series without a value at that time leaves its cell empty.
    std::map<double, std::vector<QString>> rows;
    for (size_t c = 0; c < columns.size() && range; ++c)
        for (const CTrendBuffer::SPoint& point : Buffer(columns[c]).Points())
        {
            if (point.time < range->first || point.time > range->second || IsBreak(point))
                continue;
            auto& row = rows[point.time];
            row.resize(columns.size());
            row[c] = QString::number(point.value, 'g', 12);
        }
    QString text = "time (UTC)";
    for (const int series : columns)
        text += ',' + CsvField(SeriesLabel(series));
    text += '\n';
    for (const auto& [time, cells] : rows)
    {
        text += QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(time)), Qt::UTC)
                    .toString(Qt::ISODateWithMs);
        for (const QString& cell : cells)
            text += ',' + cell;
        text += '\n';
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
    {
        error = file.errorString();
        return false;
    }
    return true;
}

bool CTrendChart::ExportPng(const QString& path, QString& error)
{
    if (!isVisible())
        layout()->activate();
    // The picture names its curves even where a list beside the chart does so on the screen.
    QLegend* legend = m_chart->legend();
    const bool legendHidden = !legend->isVisible();
    if (legendHidden)
    {
        legend->setAlignment(Qt::AlignRight);
        legend->show();
    }
    // The chart lays its items out on posted events: drawn once to learn the plot's size, then again
    // with as many labels as fit in it.
    for (int pass = 0; pass < 2; ++pass)
    {
        Draw();
        QCoreApplication::sendPostedEvents();
    }
    const bool saved = m_view->grab().save(path, "PNG");
    if (legendHidden)
        legend->hide();
    if (!saved)
        error = "the picture could not be written";
    return saved;
}

void CTrendChart::ScheduleRedraw()
{
    m_dirty = true;
    if (isVisible() && !m_redrawTimer.isActive())
        m_redrawTimer.start();
}

void CTrendChart::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The number of labels that fit changes with the size.
    ScheduleRedraw();
}

void CTrendChart::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_dirty)
        Redraw();
}

bool CTrendChart::eventFilter(QObject* watched, QEvent* event)
{
    // The keys reach the view, which has the focus; the mouse reaches its viewport.
    if (watched == m_view && event->type() == QEvent::KeyPress)
        return OnKey(static_cast<QKeyEvent*>(event)->key());
    if (watched != m_view->viewport())
        return QWidget::eventFilter(watched, event);
    const QRectF plot = m_chart->plotArea();
    const auto chartX = [&](QPointF viewPos)
    { return m_chart->mapFromScene(m_view->mapToScene(viewPos.toPoint())).x(); };
    switch (event->type())
    {
    case QEvent::Wheel:
    {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const double notches = wheel->angleDelta().y() / 120.0;
        if (notches == 0.0 || plot.width() <= 0)
            return false;
        ZoomTime(std::pow(0.8, notches), (chartX(wheel->position()) - plot.left()) / plot.width());
        return true;
    }
    case QEvent::MouseButtonPress:
    {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        m_dragX = mouse->position().toPoint().x();
        return true;
    }
    case QEvent::MouseMove:
    {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const auto range = TimeRange();
        if (!m_dragX || !(mouse->buttons() & Qt::LeftButton) || !range || plot.width() <= 0)
            return false;
        const int x = mouse->position().toPoint().x();
        PanTime(-(x - *m_dragX) * (range->second - range->first) / plot.width());
        m_dragX = x;
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_dragX.reset();
        return false;
    case QEvent::MouseButtonDblClick:
        ResetView();
        return true;
    default:
        return false;
    }
}

bool CTrendChart::OnKey(int key)
{
    const auto range = TimeRange();
    const double tenth = range ? (range->second - range->first) / 10 : 0.0;
    switch (key)
    {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomTime(0.8, 0.5);
        return true;
    case Qt::Key_Minus:
        ZoomTime(1.25, 0.5);
        return true;
    case Qt::Key_Left:
        PanTime(-tenth);
        return true;
    case Qt::Key_Right:
        PanTime(tenth);
        return true;
    case Qt::Key_Home:
        ResetView();
        return true;
    default:
        return false;
    }
}

void CTrendChart::Redraw()
{
    if (isVisible())
        Draw();
}

void CTrendChart::Draw()
{
    m_dirty = false;
    ++m_redraws;
    LayoutAxes();
    const auto range = TimeRange();
    std::map<QString, std::pair<double, double>> spans;
    for (SSeries& series : m_series)
    {
        if (series.shown && range)
            DrawSeries(series, range->first, range->second, spans);
        else
            for (QLineSeries* line : series.lines)
                line->clear();
    }
    if (range)
        DrawAxes(range->first, range->second, spans);
}

void CTrendChart::LayoutAxes()
{
    QStringList units;
    for (const SSeries& series : m_series)
        if (series.shown && !units.contains(series.unit))
            units << series.unit;
    if (units != m_axisUnits)
    {
        for (const auto& [unit, axis] : m_valueAxes)
        {
            m_chart->removeAxis(axis);
            delete axis;
        }
        m_valueAxes.clear();
        for (qsizetype i = 0; i < units.size(); ++i)
        {
            QCategoryAxis* axis = NewAxis();
            axis->setTitleText(units[i]);
            m_chart->addAxis(axis, i % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
            m_valueAxes[units[i]] = axis;
        }
        m_axisUnits = units;
    }
    for (SSeries& series : m_series)
    {
        QCategoryAxis* axis = ValueAxis(series.unit);
        for (QLineSeries* line : series.lines)
        {
            line->setVisible(series.shown);
            if (axis && !line->attachedAxes().contains(axis))
                line->attachAxis(axis);
        }
    }
    // An axis of one curve takes its colour, so that it is plain which curve it measures.
    for (const auto& [unit, axis] : m_valueAxes)
    {
        const SSeries* only = nullptr;
        int count = 0;
        for (const SSeries& series : m_series)
            if (series.shown && series.unit == unit && ++count == 1)
                only = &series;
        const QColor color = count == 1 ? only->color : m_timeAxis->labelsColor();
        axis->setLabelsColor(color);
        axis->setTitleBrush(color);
    }
}

void CTrendChart::DrawSeries(SSeries& series, double start, double end,
                             std::map<QString, std::pair<double, double>>& spans)
{
    const int columns = std::max(100, static_cast<int>(m_chart->plotArea().width()));
    const QList<QList<QPointF>> runs = Runs(ForDisplay(Within(series.buffer.Points(), start, end), columns));
    for (const QList<QPointF>& run : runs)
        for (const QPointF& point : run)
        {
            if (point.x() < start || point.x() > end)
                continue;
            auto [span, added] = spans.try_emplace(series.unit, point.y(), point.y());
            span->second.first = std::min(span->second.first, point.y());
            span->second.second = std::max(span->second.second, point.y());
        }
    for (qsizetype i = 0; i < runs.size(); ++i)
        Segment(series, i)->replace(runs[i]);
    for (size_t i = static_cast<size_t>(runs.size()); i < series.lines.size(); ++i)
        series.lines[i]->clear();
}

void CTrendChart::DrawAxes(double start, double end,
                           const std::map<QString, std::pair<double, double>>& spans)
{
    const QRectF plot = m_chart->plotArea();
    const double width = plot.width() > 0 ? plot.width() : m_view->width() * 0.8;
    const double height = plot.height() > 0 ? plot.height() : m_view->height() * 0.7;
    // As many time labels as fit with a gap between them; a date makes them wider.
    const QFontMetricsF metrics(m_timeAxis->labelsFont());
    const double label =
        metrics.horizontalAdvance(end - start >= 86400e3 ? "00.00. 00:00:00" : "00:00:00") + 30;
    SetTicks(m_timeAxis, start, end,
             TrendScale::Times(start, end, std::max(2, static_cast<int>(width / label))));
    const int valueTicks = std::clamp(static_cast<int>(height / 40), 3, 8);
    for (const auto& [unit, axis] : m_valueAxes)
    {
        const auto span = spans.find(unit);
        const TrendScale::SValueScale scale =
            span != spans.end() ? TrendScale::Values(span->second.first, span->second.second, valueTicks)
                                : TrendScale::Values(0.0, 1.0, valueTicks);
        SetTicks(axis, scale.low, scale.high, scale.ticks);
    }
}
