// The trend: bounded memory over a day of readings, no chart work while hidden, an axis per unit with
// round ticks and distinct times, series the user picks, mode changes that keep history, the mouse's
// zoom and pan, and the export of what is shown.
#include "ScriptedPrompter.h"
#include "UiTestEnvironment.h"
#include "diag/MemoryProfile.h"
#include "ui/widgets/TrendBuffer.h"
#include "ui/widgets/TrendChart.h"
#include "ui/widgets/TrendScale.h"
#include "ui/widgets/TrendWindow.h"

#include <QCategoryAxis>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <set>

namespace
{
CUiTestEnvironment environment;
constexpr double PollMs = 500.0;
constexpr int PollsPerDay = 24 * 3600 * 2;
constexpr double Start = 1.7e12;
const QString Degrees = QString::fromUtf8("\u00b0C");

// A step of 1, 2 or 5 times a power of ten, and every label a whole multiple of it.
void VerifyRound(const TrendScale::SValueScale& scale)
{
    const double mantissa = scale.step / std::pow(10.0, std::floor(std::log10(scale.step) + 1e-9));
    QVERIFY2(std::abs(mantissa - 1) < 1e-6 || std::abs(mantissa - 2) < 1e-6 || std::abs(mantissa - 5) < 1e-6,
             qPrintable(QString::number(scale.step)));
    for (size_t i = 0; i < scale.ticks.size(); ++i)
    {
        const QString& label = scale.ticks[i].label;
        QVERIFY2(!label.startsWith("-0") || label.toDouble() != 0.0, qPrintable(label));
        const double multiple = label.toDouble() / scale.step;
        QVERIFY2(std::abs(multiple - std::round(multiple)) < 1e-6, qPrintable(label));
        if (i > 0)
            QVERIFY(std::abs(scale.ticks[i].value - scale.ticks[i - 1].value - scale.step) <
                    scale.step * 1e-6);
    }
}

void VerifyDistinct(const QStringList& labels, const QString& what)
{
    QVERIFY2(labels.size() >= 2, qPrintable(what + ": " + labels.join(' ')));
    QCOMPARE(static_cast<qsizetype>(std::set<QString>(labels.begin(), labels.end()).size()), labels.size());
}

void Show(QWidget& widget)
{
    widget.resize(720, 400);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
}

// Points of one value every poll over [from, to) s after Start.
void Fill(CTrendChart& chart, int series, double from, double to, double value)
{
    for (double t = from; t < to; t += PollMs / 1000)
        chart.Append(series, Start + t * 1000, value);
}

QPoint PlotCentre(CTrendChart& chart)
{
    return chart.View()->mapFromScene(
        chart.View()->chart()->mapToScene(chart.View()->chart()->plotArea().center()));
}
} // namespace

class CTrendTest : public QObject
{
    Q_OBJECT

private slots:
    void aDayAtThePollRateStaysWithinTheBound()
    {
        CTrendBuffer buffer(4096);
        const double start = 1.7e12;
        double maxSize = 0;
        // A slow daily swing of the mount plus the loop's ripple, time-scaled: a day of polls at once.
        for (int i = 0; i < PollsPerDay; ++i)
        {
            const double time = start + i * PollMs;
            buffer.Append(time, 25.0 + 5.0 * std::sin(i * 2 * M_PI / PollsPerDay) + 0.01 * (i % 7));
            maxSize = std::max<double>(maxSize, buffer.Points().size());
        }
        QVERIFY(maxSize <= 4096);
        QCOMPARE(buffer.Points().capacity(), size_t(4096));
        QCOMPARE(buffer.Appended(), size_t(PollsPerDay));
        const auto& points = buffer.Points();
        // The whole day is still there, oldest first, the newest point exact.
        QCOMPARE(points.front().time, start);
        QCOMPARE(points.back().time, start + (PollsPerDay - 1) * PollMs);
        for (size_t i = 1; i < points.size(); ++i)
            QVERIFY(points[i].time > points[i - 1].time);
        // Merged points are means: they stay within the curve's span.
        for (const auto& point : points)
            QVERIFY(point.value > 19.9 && point.value < 30.1);
        // The last minutes keep the full poll rate.
        QCOMPARE(points[points.size() - 1].time - points[points.size() - 2].time, PollMs);
    }

    void aHiddenChartDoesNoWork()
    {
        CTrendChart chart;
        const int t = chart.AddSeries("T", Degrees);
        for (int i = 0; i < 2000; ++i)
            chart.Append(t, 1.7e12 + i * PollMs, 25.0 + i * 0.001);
        QTest::qWait(CTrendChart::RedrawMs * 2);
        QCOMPARE(chart.Redraws(), 0);
        QCOMPARE(chart.DrawnPoints(t), qsizetype(0));

        chart.resize(400, 300);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        QCOMPARE(chart.Redraws(), 1);
        // About two points per pixel column at most, however long the history.
        QVERIFY(chart.DrawnPoints(t) > 0);
        QVERIFY2(chart.DrawnPoints(t) <= 2 * 400 + 4, qPrintable(QString::number(chart.DrawnPoints(t))));
        // Shown: appends are coalesced into one redraw.
        for (int i = 0; i < 50; ++i)
            chart.Append(t, 1.7e12 + (2000 + i) * PollMs, 26.0);
        QTRY_COMPARE_WITH_TIMEOUT(chart.Redraws(), 2, 2000);

        chart.hide();
        const int redraws = chart.Redraws();
        for (int i = 0; i < 100; ++i)
            chart.Append(t, 1.7e12 + (3000 + i) * PollMs, 27.0);
        QTest::qWait(CTrendChart::RedrawMs * 2);
        QCOMPARE(chart.Redraws(), redraws);
        // Values the program cannot vouch for never reach the curve.
        const size_t appended = chart.Buffer(t).Appended();
        chart.Append(t, 1.7e12, std::nan(""));
        QCOMPARE(chart.Buffer(t).Appended(), appended);
    }

    void aGapInTheReadingsBreaksTheLineAtAnyZoom()
    {
        CTrendChart chart(nullptr, 64);
        const int t = chart.AddSeries("T", Degrees);
        chart.resize(400, 300);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        double time = 1.7e12;
        auto run = [&](int polls)
        {
            for (int i = 0; i < polls; ++i, time += PollMs)
                chart.Append(t, time, 25.0);
        };
        run(10);
        // However long the unit stays silent, one break marks the gap.
        for (int i = 0; i < 5; ++i, time += PollMs)
            chart.Break(t, time);
        QCOMPARE(chart.Buffer(t).Appended(), size_t(11));
        run(10);
        QTRY_COMPARE_WITH_TIMEOUT(chart.DrawnRuns(t), 2, 2000);

        // Merged into older, coarser points the break survives, and a narrow chart keeps it too.
        run(200);
        QTRY_COMPARE_WITH_TIMEOUT(chart.DrawnRuns(t), 2, 2000);
        chart.resize(120, 300);
        QTRY_COMPARE_WITH_TIMEOUT(chart.DrawnRuns(t), 2, 2000);
        chart.Clear();
        run(5);
        QTRY_COMPARE_WITH_TIMEOUT(chart.DrawnRuns(t), 1, 2000);
    }

    void everyUnitHasAnAxisOfItsOwn()
    {
        CTrendChart chart;
        const int t = chart.AddSeries("T", Degrees);
        const int io = chart.AddSeries("Io", "mA");
        const int ite = chart.AddSeries("ITE", "A", QColor(), false);
        Fill(chart, t, 0, 30, 25.0);
        chart.Append(t, Start + 30000, 25.4);
        Fill(chart, io, 0, 30, 50.0);
        Fill(chart, ite, 0, 30, 0.5);
        Show(chart);
        QTRY_COMPARE_WITH_TIMEOUT(chart.AxisUnits(), QStringList({Degrees, "mA"}), 2000);
        // Labelled with its unit, one on either side, scaled to its own curve: a settling temperature
        // is not flattened by 50 mA beside it.
        QCOMPARE(chart.ValueAxis(Degrees)->titleText(), Degrees);
        QCOMPARE(chart.ValueAxis(Degrees)->alignment(), Qt::AlignLeft);
        QCOMPARE(chart.ValueAxis("mA")->alignment(), Qt::AlignRight);
        // Each axis in the colour of the one curve it measures.
        QCOMPARE(chart.ValueAxis("mA")->labelsColor(), chart.SeriesColor(io));
        QCOMPARE(chart.ValueAxis(Degrees)->labelsColor(), chart.SeriesColor(t));
        QVERIFY(chart.ValueAxis(Degrees)->max() - chart.ValueAxis(Degrees)->min() < 2.0);
        QVERIFY(chart.ValueAxis(Degrees)->min() <= 25.0 && chart.ValueAxis(Degrees)->max() >= 25.4);
        QVERIFY(chart.ValueAxis("mA")->min() <= 50.0 && chart.ValueAxis("mA")->max() >= 50.0);

        chart.SetShown(ite, true);
        chart.SetShown(io, false);
        QTRY_COMPARE_WITH_TIMEOUT(chart.AxisUnits(), QStringList({Degrees, "A"}), 2000);
        QVERIFY(!chart.ValueAxis("mA"));
        QCOMPARE(chart.DrawnPoints(io), qsizetype(0));
        QVERIFY(chart.DrawnPoints(ite) > 0);
    }

    void ticksAreRoundNumbers()
    {
        // The values of the complaint (-2.50 ... 11.25), a flat curve, a tiny swing, zero crossings.
        const std::pair<double, double> spans[] = {{-2.3, 11.1},  {25.0, 25.0},  {24.996, 25.004},
                                                   {0.0, 0.0},    {-0.03, 0.07}, {1234.0, 98765.0},
                                                   {-7e-6, -3e-6}};
        for (const auto& [low, high] : spans)
            for (const int maxTicks : {3, 5, 8})
            {
                const TrendScale::SValueScale scale = TrendScale::Values(low, high, maxTicks);
                VerifyRound(scale);
                QVERIFY2(
                    scale.low <= low + scale.step * 1e-9 && scale.high >= high - scale.step * 1e-9 &&
                        scale.high > scale.low,
                    qPrintable(QString("%1 %2 %3 %4").arg(low).arg(high).arg(scale.low).arg(scale.high)));
                QVERIFY2(static_cast<int>(scale.ticks.size()) <= maxTicks + 2,
                         qPrintable(QString("%1 ticks for %2").arg(scale.ticks.size()).arg(maxTicks)));
                QCOMPARE(scale.ticks.front().value, scale.low);
            }
        QCOMPARE(TrendScale::Values(-2.3, 11.1, 5).ticks.front().label, QString("-5"));
        QStringList zeroCrossing;
        for (const auto& tick : TrendScale::Values(-0.03, 0.07, 5).ticks)
            zeroCrossing << tick.label;
        QCOMPARE(zeroCrossing.join(' '), QString("-0.04 -0.02 0.00 0.02 0.04 0.06 0.08"));

        // And on a drawn axis.
        CTrendChart chart;
        const int t = chart.AddSeries("T", Degrees);
        Fill(chart, t, 0, 10, -2.3);
        chart.Append(t, Start + 10000, 11.1);
        Show(chart);
        QTRY_VERIFY_WITH_TIMEOUT(!chart.ValueLabels(Degrees).isEmpty(), 2000);
        const QStringList labels = chart.ValueLabels(Degrees);
        QVERIFY2(!labels.join(' ').contains('.'), qPrintable(labels.join(' ')));
        VerifyDistinct(labels, "values");
    }

    void timeLabelsNeverRepeat()
    {
        for (const double span : {3e3, 60e3, 3600e3, 2 * 86400e3})
            for (const int maxTicks : {2, 5, 9})
            {
                const auto ticks = TrendScale::Times(Start, Start + span, maxTicks);
                QStringList labels;
                for (const auto& tick : ticks)
                    labels << tick.label;
                VerifyDistinct(labels, QString("%1 ms").arg(span));
                QVERIFY(static_cast<int>(ticks.size()) <= maxTicks + 1);
                QVERIFY(ticks.front().value >= Start && ticks.back().value <= Start + span);
            }
        // A 3 s window, a minute and an hour on the drawn axis.
        for (const double seconds : {3.0, 60.0, 3600.0})
        {
            CTrendChart chart;
            const int t = chart.AddSeries("T", Degrees);
            Fill(chart, t, 0, seconds + 0.5, 25.0);
            Show(chart);
            QTRY_VERIFY_WITH_TIMEOUT(chart.Redraws() >= 1 && !chart.TimeLabels().isEmpty(), 2000);
            VerifyDistinct(chart.TimeLabels(), QString("%1 s").arg(seconds));
        }
    }

    void aModeChangeStartsNewSeriesAndKeepsTheOld()
    {
        CTrendChart chart;
        QSignalSpy added(&chart, &CTrendChart::seriesAdded);
        const auto feed = [&](double second, const QString& mode, const QString& unit, double setPoint)
        {
            chart.Feed(Start + second * 1000, {{"T", Degrees, 25.0, true},
                                               {"Io", "mA", 40.0, mode == "Io"},
                                               {"Po", "mW", 8.0, mode == "Po"},
                                               {mode + " set point", unit, setPoint, true},
                                               {"T2", Degrees, std::nullopt, false}});
        };
        for (int s = 0; s < 10; ++s)
            feed(s, "Io", "mA", 40.0);
        QCOMPARE(added.size(), 5);
        const int io = chart.FindSeries("Io", "mA");
        const int ioSet = chart.FindSeries("Io set point", "mA");
        const int po = chart.FindSeries("Po", "mW");
        QVERIFY(chart.IsShown(io) && !chart.IsShown(po));
        // A sensor that never reads has a series to choose, but nothing in it.
        QCOMPARE(chart.Buffer(chart.FindSeries("T2", Degrees)).Appended(), size_t(0));
        for (int s = 10; s < 20; ++s)
            feed(s, "Po", "mW", 8.0);
        const int poSet = chart.FindSeries("Po set point", "mW");
        QCOMPARE(chart.SeriesCount(), 6);
        // Nothing wiped: the temperature and the current run on; the old set point ends with a break.
        QCOMPARE(chart.Buffer(chart.FindSeries("T", Degrees)).Appended(), size_t(20));
        QCOMPARE(chart.Buffer(io).Appended(), size_t(20));
        QCOMPARE(chart.Buffer(ioSet).Appended(), size_t(11));
        QVERIFY(std::isnan(chart.Buffer(ioSet).Points().back().value));
        QCOMPARE(chart.Buffer(poSet).Appended(), size_t(10));
        // The new mode's quantity is drawn now, and the old one still is.
        QVERIFY(chart.IsShown(po) && chart.IsShown(poSet) && chart.IsShown(io) && chart.IsShown(ioSet));
        // Back to Io: the old set point series goes on after its gap.
        feed(20, "Io", "mA", 41.0);
        QCOMPARE(chart.SeriesCount(), 6);
        QCOMPARE(chart.Buffer(ioSet).Points().back().value, 41.0);
        Show(chart);
        QTRY_COMPARE_WITH_TIMEOUT(chart.DrawnRuns(ioSet), 2, 2000);
    }

    void theUserChoosesTheSeries()
    {
        CMemoryProfile profile;
        CScriptedPrompter prompter;
        CTrendWindow window(SUiContext{profile, prompter}, "Trend");
        CTrendChart& chart = *window.Chart();
        auto* list = window.findChild<QListWidget*>("trendSeriesList");
        const auto feed = [&](double second)
        {
            chart.Feed(Start + second * 1000,
                       {{"T", Degrees, 25.0, true}, {"ITE", "A", 0.4, false}, {"VTE", "V", 1.2, false}});
        };
        feed(0);
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(1)->text(), QString("ITE [A]"));
        QCOMPARE(list->item(0)->checkState(), Qt::Checked);
        QCOMPARE(list->item(1)->checkState(), Qt::Unchecked);
        // Checked in the list: drawn with an axis of its own.
        list->item(1)->setCheckState(Qt::Checked);
        QVERIFY(chart.IsShown(1));
        list->item(0)->setCheckState(Qt::Unchecked);
        for (int s = 1; s < 5; ++s)
            feed(s);
        // The user's choice holds over the panel's later ticks.
        QVERIFY(!chart.IsShown(0));
        Show(window);
        QTRY_COMPARE_WITH_TIMEOUT(chart.AxisUnits(), QStringList({"A"}), 2000);
        // A series the chart shows on its own (a new mode's quantity) ticks its box.
        chart.Feed(Start + 5000, {{"VTE", "V", 1.2, true}});
        QCOMPARE(list->item(2)->checkState(), Qt::Checked);
    }

    // Kept with the panel: the window and what the user showed or hid, applied as each series comes
    // back; what the user never chose stays as the chart would have it.
    void theWindowAndTheSeriesChosenAreKept()
    {
        CMemoryProfile profile;
        CScriptedPrompter prompter;
        const std::vector<CTrendChart::SSample> samples = {
            {"T", Degrees, 25.0, true}, {"ITE", "A", 0.4, false}, {"VTE", "V", 1.2, false}};
        {
            CTrendWindow window(SUiContext{profile, prompter}, "Trend");
            window.Chart()->Feed(Start, samples);
            auto* list = window.findChild<QListWidget*>("trendSeriesList");
            list->item(0)->setCheckState(Qt::Unchecked);
            list->item(1)->setCheckState(Qt::Checked);
            window.findChild<QComboBox*>("trendWindowBox")->setCurrentIndex(2);
            window.Save(profile, "Panel3-2");
        }
        QCOMPARE(profile.GetInt("Panel3-2", "TrendWindow", -1), 2);

        CTrendWindow window(SUiContext{profile, prompter}, "Trend");
        window.Load(profile, "Panel3-2");
        QCOMPARE(window.findChild<QComboBox*>("trendWindowBox")->currentIndex(), 2);
        CTrendChart& chart = *window.Chart();
        // Fed in another order: the choice goes by the series, not by its place in the list.
        chart.Feed(Start, {samples[2], samples[1], samples[0]});
        QCOMPARE(chart.SeriesName(2), QString("T"));
        QVERIFY(!chart.IsShown(2));
        QCOMPARE(window.findChild<QListWidget*>("trendSeriesList")->item(2)->checkState(), Qt::Unchecked);
        QVERIFY(chart.IsShown(1));
        QVERIFY(!chart.IsShown(0));
        // Saved again: the same choice.
        CMemoryProfile again;
        window.Save(again, "Panel3-2");
        QCOMPARE(QString::fromStdString(again.GetString("Panel3-2", "TrendHidden", "")),
                 "T [" + Degrees + "]");
        QCOMPARE(again.GetString("Panel3-2", "TrendShown", ""), std::string("ITE [A]"));
    }

    void theCurvesShownTogetherHaveColoursOfTheirOwn()
    {
        // Four channels of six readings each, the temperatures and one current drawn.
        CTrendChart chart;
        std::vector<CTrendChart::SSample> samples;
        for (int channel = 1; channel <= 4; ++channel)
            for (const char* reading : {"T", "R", "ITE", "VTE", "T set point", "T2"})
                samples.push_back(
                    {QString("TEC %1 %2").arg(channel).arg(reading), Degrees, 25.0, QString(reading) == "T"});
        chart.Feed(Start, samples);
        chart.SetShown(chart.FindSeries("TEC 3 ITE", Degrees), true);
        std::set<QRgb> colours;
        int shown = 0;
        for (int i = 0; i < chart.SeriesCount(); ++i)
        {
            QCOMPARE(chart.SeriesColor(i).isValid(), chart.IsShown(i));
            if (chart.IsShown(i))
            {
                colours.insert(chart.SeriesColor(i).rgb());
                ++shown;
            }
        }
        QCOMPARE(shown, 5);
        QCOMPARE(static_cast<int>(colours.size()), 5);
    }

    void theWindowPauseZoomAndPan()
    {
        CMemoryProfile profile;
        CScriptedPrompter prompter;
        CTrendWindow window(SUiContext{profile, prompter}, "Trend");
        CTrendChart& chart = *window.Chart();
        const int t = chart.AddSeries("T", Degrees);
        Fill(chart, t, 0, 1800, 25.0); // half an hour
        Show(window);
        const double last = chart.Buffer(t).Points().back().time;
        // Ten minutes at first, up to the newest point.
        QCOMPARE(chart.TimeRange()->second, last);
        QCOMPARE(chart.TimeRange()->second - chart.TimeRange()->first, 600e3);
        window.findChild<QComboBox*>("trendWindowBox")->setCurrentIndex(0);
        QCOMPARE(chart.TimeRange()->second - chart.TimeRange()->first, 60e3);
        window.findChild<QComboBox*>("trendWindowBox")->setCurrentIndex(3);
        QCOMPARE(chart.TimeRange()->first, Start);

        // Paused, the view stays while points come in.
        QTest::mouseClick(window.findChild<QPushButton*>("trendPauseButton"), Qt::LeftButton);
        QVERIFY(chart.IsPaused());
        const auto paused = *chart.TimeRange();
        Fill(chart, t, 1800, 1810, 26.0);
        QCOMPARE(*chart.TimeRange(), paused);
        QTest::mouseClick(window.findChild<QPushButton*>("trendPauseButton"), Qt::LeftButton);
        QCOMPARE(chart.TimeRange()->second, chart.Buffer(t).Points().back().time);

        // The wheel zooms the time axis around the pointer and pauses the view.
        QTRY_VERIFY_WITH_TIMEOUT(chart.Redraws() >= 1, 2000);
        QWidget* viewport = chart.View()->viewport();
        const QPoint centre = PlotCentre(chart);
        const auto before = *chart.TimeRange();
        QWheelEvent wheel(centre, viewport->mapToGlobal(centre), QPoint(), QPoint(0, 240), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
        const auto zoomed = *chart.TimeRange();
        QVERIFY(chart.IsPaused());
        QVERIFY(window.findChild<QPushButton*>("trendPauseButton")->isChecked());
        QVERIFY2(std::abs((zoomed.second - zoomed.first) - 0.64 * (before.second - before.first)) < 1.0,
                 qPrintable(QString::number(zoomed.second - zoomed.first)));
        // Around the pointer: the time under it stays where it was.
        const double middle = (before.first + before.second) / 2;
        QVERIFY(zoomed.first < middle && zoomed.second > middle);
        QTRY_VERIFY_WITH_TIMEOUT(!chart.TimeLabels().isEmpty(), 2000);
        VerifyDistinct(chart.TimeLabels(), "zoomed");

        // A drag to the right shows earlier times by as much as the pointer moved.
        const double msPerPixel = (zoomed.second - zoomed.first) / chart.View()->chart()->plotArea().width();
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, centre);
        QMouseEvent move(QEvent::MouseMove, centre + QPoint(100, 0),
                         viewport->mapToGlobal(centre + QPoint(100, 0)), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, centre + QPoint(100, 0));
        const auto panned = *chart.TimeRange();
        QVERIFY2(std::abs((zoomed.first - panned.first) - 100 * msPerPixel) < msPerPixel,
                 qPrintable(QString::number(zoomed.first - panned.first)));

        // The keyboard: + zooms in around the middle, an arrow moves by a tenth, Home follows again.
        chart.View()->setFocus();
        QTest::keyClick(chart.View(), Qt::Key_Plus);
        const auto keyed = *chart.TimeRange();
        QVERIFY(std::abs((keyed.second - keyed.first) - 0.8 * (panned.second - panned.first)) < 1.0);
        QTest::keyClick(chart.View(), Qt::Key_Right);
        QVERIFY(std::abs(chart.TimeRange()->first - keyed.first - (keyed.second - keyed.first) / 10) < 1.0);
        QTest::keyClick(chart.View(), Qt::Key_Home);
        QVERIFY(!chart.IsPaused());
        QTest::keyClick(chart.View(), Qt::Key_Left);
        QVERIFY(chart.IsPaused());

        // "Follow" goes back to the newest points.
        QTest::mouseClick(window.findChild<QPushButton*>("trendResetButton"), Qt::LeftButton);
        QVERIFY(!chart.IsPaused());
        QVERIFY(!window.findChild<QPushButton*>("trendPauseButton")->isChecked());
        QCOMPARE(chart.TimeRange()->second, chart.Buffer(t).Points().back().time);
    }

    void exportWritesWhatIsShown()
    {
        CTrendChart chart;
        const int t = chart.AddSeries("T", Degrees, QColor(200, 40, 40));
        const int io = chart.AddSeries("Io, CW", "mA", QColor(40, 90, 200));
        const int ite = chart.AddSeries("ITE", "A", QColor(), false);
        for (int s = 0; s < 180; ++s)
        {
            chart.Append(t, Start + s * 1000, 20.0 + s / 100.0);
            chart.Append(ite, Start + s * 1000, 0.5);
            if (s % 2 == 0)
                chart.Append(io, Start + s * 1000, 40.0);
        }
        chart.Break(t, Start + 180000);
        chart.SetWindow(60e3);
        QTemporaryDir dir;
        QString error;
        const QString csv = dir.filePath("trend.csv");
        QVERIFY2(chart.ExportCsv(csv, error), qPrintable(error));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        // The shown series only, names with commas quoted; the last minute only, a row per second.
        QCOMPARE(lines.first(), QString::fromUtf8("time (UTC),T [\u00b0C],\"Io, CW [mA]\""));
        QCOMPARE(lines.size(), 1 + 60);
        const QString lastTime = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(Start) + 179000, Qt::UTC)
                                     .toString(Qt::ISODateWithMs);
        QCOMPARE(lines.last(), lastTime + ",21.79,");
        QCOMPARE(lines[lines.size() - 2].section(',', 1), QString("21.78,40"));
        QVERIFY(lines.last().endsWith("Z,21.79,"));

        // The picture of a hidden chart: drawn for the export, with the curves in it.
        const QString png = dir.filePath("trend.png");
        QVERIFY2(chart.ExportPng(png, error), qPrintable(error));
        const QImage image(png);
        QVERIFY(!image.isNull() && image.width() > 100);
        bool red = false;
        for (int y = 0; y < image.height() && !red; ++y)
            for (int x = 0; x < image.width() && !red; ++x)
                red = image.pixelColor(x, y) == QColor(200, 40, 40);
        QVERIFY(red);

        // Failures are said, not claimed as done.
        QVERIFY(!chart.ExportCsv(dir.filePath("missing/trend.csv"), error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!chart.ExportPng(dir.filePath("missing/trend.png"), error));
    }
};

QTEST_MAIN(CTrendTest)
#include "trend_test.moc"
