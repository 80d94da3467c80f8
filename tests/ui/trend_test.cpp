// The trend: bounded memory over a day of readings, and no chart work while hidden.
#include "UiTestEnvironment.h"
#include "ui/widgets/TrendBuffer.h"
#include "ui/widgets/TrendChart.h"

#include <QtTest>
#include <cmath>

namespace
{
CUiTestEnvironment environment;
constexpr double PollMs = 500.0;
constexpr int PollsPerDay = 24 * 3600 * 2;
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
        const int t = chart.AddSeries("T");
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
        const int t = chart.AddSeries("T");
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
};

QTEST_MAIN(CTrendTest)
#include "trend_test.moc"
