// The TEC panel against simulated units over pseudo-terminals: readings, sensor faults, the set-point
// entry with its range messages and the model locks.
#include "FakePanelHost.h"
#include "RecordedFile.h"
#include "ScriptedPrompter.h"
#include "SimPanelFixture.h"
#include "UiTestEnvironment.h"
#include "WidgetActions.h"
#include "diag/MemoryProfile.h"
#include "instrument/tec/TEC.h"
#include "ui/common/UiContext.h"
#include "ui/panels/TECPanel.h"
#include "ui/panels/parts/TecBlock.h"
#include "ui/widgets/TrendChart.h"
#include "ui/widgets/TrendWindow.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace
{
CUiTestEnvironment environment;
} // namespace

class CTecPanelTest : public QObject
{
    Q_OBJECT

private:
    CMemoryProfile m_profile;
    CScriptedPrompter m_prompter;
    CFakePanelHost m_host;
    SUiContext m_context{m_profile, m_prompter};

    std::unique_ptr<CTECPanel> NewPanel() { return std::make_unique<CTECPanel>(m_context, m_host, 0); }
    template <class T>
    static T* Find(QWidget& panel, const char* name)
    {
        T* widget = panel.findChild<T*>(name);
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    static QString Text(QWidget& panel, const char* name) { return Find<QLabel>(panel, name)->text(); }
    // Types into the set-point field and presses Enter on it (the panel routes Enter to the block).
    static void Enter(QWidget& panel, const QString& text)
    {
        auto* edit = Find<QLineEdit>(panel, "setPointEdit");
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(WidgetActions::RequestsDone());
    }

private slots:
    void init() { m_prompter.Reset(); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // The trend's window goes with the panel's other settings, and comes back with the panel.
    void trendWindowIsSavedWithThePanel()
    {
        auto panel = NewPanel();
        Find<QComboBox>(*panel->TrendWindow(), "trendWindowBox")->setCurrentIndex(3);
        panel->SaveOnClose();
        QCOMPARE(m_profile.GetInt("Panel0-2", "TrendWindow", -1), 3);
        panel = NewPanel();
        QCOMPARE(Find<QComboBox>(*panel->TrendWindow(), "trendWindowBox")->currentIndex(), 3);
        m_profile.DeleteSection("Panel0-2");
    }

    void openSensorShowsOpenWhileCurrentAndVoltageUpdate()
    {
        CSimPanelFixture sim("K910", 201);
        auto panel = NewPanel();
        QVERIFY(sim.Connect(*panel));
        QTRY_VERIFY_WITH_TIMEOUT(Text(*panel, "tField") != "---" && !Text(*panel, "tField").isEmpty(), 10000);
        QCOMPARE(Find<QLabel>(*panel, "tFieldUnit")->text(), QString::fromUtf8("\u00b0C"));

        // A tick while the channel does not poll empties the readings; the next cycle rewrites them all.
        QVERIFY(panel->GetTEC()->PauseBackgroundThread(true, 5000));
        panel->Refresh();
        QVERIFY(Text(*panel, "tField").isEmpty());
        QVERIFY(Find<QLabel>(*panel, "setPointUnit")->text().isEmpty());
        panel->GetTEC()->PauseBackgroundThread(false, 5000);
        QVERIFY(!panel->GetTEC()->IsPaused());
        QTRY_VERIFY_WITH_TIMEOUT(!Text(*panel, "tField").isEmpty(), 10000);
        QCOMPARE(Find<QLabel>(*panel, "setPointUnit")->text(), QString::fromUtf8("\u00b0C"));

        sim.Sim().SetSensorFault(0, ESimSensorFault::Open);
        QTRY_COMPARE_WITH_TIMEOUT(Text(*panel, "tField"), QString("Open"), 10000);
        QCOMPARE(Text(*panel, "rField"), QString("Open"));
        bool ok = false;
        Text(*panel, "iteField").toDouble(&ok);
        QVERIFY2(ok, qPrintable(Text(*panel, "iteField")));
        Text(*panel, "vteField").toDouble(&ok);
        QVERIFY2(ok, qPrintable(Text(*panel, "vteField")));

        sim.Sim().SetSensorFault(0, ESimSensorFault::None);
        QTRY_VERIFY_WITH_TIMEOUT(Text(*panel, "tField") != "Open", 10000);
        sim.Sim().SetSensorFault(0, ESimSensorFault::Short);
        QTRY_COMPARE_WITH_TIMEOUT(Text(*panel, "rField"), QString("Short"), 10000);
    }

    void setPointEntry()
    {
        CSimPanelFixture sim("K760", 202);
        auto panel = NewPanel();
        QVERIFY(sim.Connect(*panel));
        CTecBlock& block = *panel->Block();
        auto* edit = Find<QLineEdit>(*panel, "setPointEdit");
        QTRY_VERIFY_WITH_TIMEOUT(block.CachedMode() == 1 && !edit->text().isEmpty() && edit->text() != "---",
                                 10000);
        const QString current = edit->text();

        // The current set point, retyped: nothing goes out and nothing is highlighted.
        size_t from = sim.Sim().Log().Count();
        Enter(*panel, current);
        QCOMPARE(sim.CountSent("TEC:T ", from), 0);
        QVERIFY(!block.IsSetPointEdited());
        QVERIFY(m_prompter.messages.isEmpty());

        // A typo is refused, never sent as 0, and the field shows the set point again.
        Enter(*panel, "2x");
        QCOMPARE(m_prompter.messages, QStringList{"Enter a number."});
        QCOMPARE(sim.CountSent("TEC:T ", from), 0);
        QCOMPARE(edit->text(), current);

        // Out of the T limits (-10 to 80 on this unit).
        m_prompter.Reset();
        Enter(*panel, "80.5");
        QCOMPARE(
            m_prompter.messages,
            QStringList{
                "Temperature set point exceeds the limits, please enter a value between -10 and 80 °C."});
        QCOMPARE(edit->text(), current);

        // A typed value is highlighted and "Set" enabled until it is sent.
        m_prompter.Reset();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, "31.5");
        QVERIFY(block.IsSetPointEdited());
        QCOMPARE(edit->property("edited").toBool(), true);
        QVERIFY(Find<QPushButton>(*panel, "setButton")->isEnabled());
        QTest::mouseClick(Find<QPushButton>(*panel, "setButton"), Qt::LeftButton);
        QVERIFY(WidgetActions::RequestsDone());
        QVERIFY(sim.Sim().Log().WaitForText("TEC:T 31.5", std::chrono::seconds(5), from) >= 0);
        QVERIFY(!block.IsSetPointEdited());
        QTRY_COMPARE_WITH_TIMEOUT(sim.Sim().Request("TEC:SET:T?").substr(0, 4), std::string("31.5"), 5000);
    }

    void decimalCommaLocaleSendsAPoint()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        CSimPanelFixture sim("K760", 203);
        auto panel = NewPanel();
        QVERIFY(sim.Connect(*panel));
        auto* edit = Find<QLineEdit>(*panel, "setPointEdit");
        QTRY_VERIFY_WITH_TIMEOUT(edit->text().contains(','), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(Text(*panel, "tField").contains(','), 10000);
        const size_t from = sim.Sim().Log().Count();
        // A "." is no decimal separator here and no thousands mark either: refused, not read as 305.
        Enter(*panel, "30.5");
        QCOMPARE(m_prompter.messages, QStringList{"Enter a number."});
        Enter(*panel, "30,5");
        QVERIFY(sim.Sim().Log().WaitForText("TEC:T 30.5", std::chrono::seconds(5), from) >= 0);
        QCOMPARE(sim.CountSent("TEC:T 305", from), 0);
    }

    void currentModeChecksAgainstTheLimit()
    {
        CSimPanelFixture sim("K760", 204);
        sim.Sim().Request("TEC:LIM:ITE 2");
        sim.Sim().Request("TEC:ITE 0.5");
        auto panel = NewPanel();
        QVERIFY(sim.Connect(*panel));
        CTecBlock& block = *panel->Block();
        auto* edit = Find<QLineEdit>(*panel, "setPointEdit");
        QTRY_COMPARE_WITH_TIMEOUT(block.CachedMode(), 1, 10000);

        // A typed, unsent value does not survive the change to another mode.
        edit->setFocus();
        QTest::keyClicks(edit, "7");
        QVERIFY(block.IsSetPointEdited());
        QTest::mouseClick(Find<QRadioButton>(*panel, "iteModeButton"), Qt::LeftButton);
        QVERIFY(WidgetActions::RequestsDone());
        QTRY_COMPARE_WITH_TIMEOUT(block.CachedMode(), 3, 10000);
        QCOMPARE(Find<QLabel>(*panel, "setPointUnit")->text(), QString("A"));
        QVERIFY(!block.IsSetPointEdited());
        QCOMPARE(edit->text().toDouble(), 0.5);
        QVERIFY(Find<QRadioButton>(*panel, "iteModeButton")->isChecked());

        const size_t from = sim.Sim().Log().Count();
        Enter(*panel, "2.5");
        QCOMPARE(
            m_prompter.messages,
            QStringList{"Current set point exceeds the limits, please enter a value between -2 and 2 A."});
        QCOMPARE(sim.CountSent("TEC:ITE ", from), 0);
        QCOMPARE(edit->text().toDouble(), 0.5);
        Enter(*panel, "-2");
        QVERIFY(sim.Sim().Log().WaitForText("TEC:ITE -2.0", std::chrono::seconds(5), from) >= 0);
        QCOMPARE(m_prompter.messages.size(), 1);

        // Disconnected: no mode, output or reading of the unit is left on show.
        panel->Disconnect();
        for (const char* name : {"tModeButton", "rModeButton", "iteModeButton", "onButton", "offButton"})
            QVERIFY2(!Find<QRadioButton>(*panel, name)->isChecked(), name);
        QVERIFY(edit->text().isEmpty());
        QVERIFY(Text(*panel, "tField").isEmpty() || Text(*panel, "tField") == "---");
    }

    void modelLocksAndSensorRows()
    {
        // The K705 has no ITE mode; the K760 shows its six further sensors.
        {
            CSimPanelFixture sim("K705", 205);
            auto panel = NewPanel();
            QVERIFY(sim.Connect(*panel));
            QVERIFY(!Find<QRadioButton>(*panel, "iteModeButton")->isEnabled());
            QVERIFY(Find<QRadioButton>(*panel, "tModeButton")->isEnabled());
            QVERIFY(Find<QRadioButton>(*panel, "rModeButton")->isEnabled());
            QVERIFY(Find<QLabel>(*panel, "auxValue1")->isHidden());
        }
        CSimPanelFixture sim("K760", 206);
        auto panel = NewPanel();
        QVERIFY(!Find<QPushButton>(*panel, "tecSettingsButton")->isEnabled());
        QVERIFY(sim.Connect(*panel));
        QVERIFY(Find<QPushButton>(*panel, "tecSettingsButton")->isEnabled());
        QVERIFY(!Find<QLabel>(*panel, "auxValue6")->isHidden());
        QTRY_COMPARE_WITH_TIMEOUT(Text(*panel, "auxLabel1"), QString("T2 ="), 10000);
        QCOMPARE(Text(*panel, "auxLabel2"), QString("T3 ="));
        QCOMPARE(Text(*panel, "auxLabel3"), QString("Ax 1="));
        QTRY_VERIFY_WITH_TIMEOUT(!Text(*panel, "auxValue1").isEmpty(), 10000);
        QVERIFY(!Find<QPushButton>(*panel, "autoTuneButton")->isHidden());
        // Every reading the panel shows can be drawn: the further sensors by their rows' names, ITE
        // and VTE; only T and its set point are drawn at first.
        panel->Refresh();
        const CTrendChart& trend = *panel->Trend();
        const QString degrees = QString::fromUtf8("\u00b0C");
        for (const auto& [name, unit] : {std::pair<QString, QString>{"T2", degrees},
                                         {"T3", degrees},
                                         {"Ax 1", degrees},
                                         {"Ax 4", degrees},
                                         {"ITE", "A"},
                                         {"VTE", "V"}})
        {
            const int series = trend.FindSeries(name, unit);
            QVERIFY2(series >= 0 && !trend.IsShown(series), qPrintable(name));
        }
        for (const auto& [name, unit] :
             {std::pair<QString, QString>{"T2", degrees}, {"ITE", "A"}, {"VTE", "V"}})
            QVERIFY2(trend.Buffer(trend.FindSeries(name, unit)).Appended() >= 1, qPrintable(name));
        QVERIFY(trend.IsShown(trend.FindSeries("T", degrees)));
        QVERIFY(trend.IsShown(trend.FindSeries("T set point", degrees)));

        panel->Disconnect();
        QVERIFY(Text(*panel, "tField").isEmpty());
        QVERIFY(Find<QLineEdit>(*panel, "setPointEdit")->text().isEmpty());
        QVERIFY(Find<QPushButton>(*panel, "autoTuneButton")->isHidden());
    }

    void trendAndRecording()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        CSimPanelFixture sim("K910", 207);
        auto panel = NewPanel();
        QVERIFY(sim.Connect(*panel));
        CTrendChart& trend = *panel->Trend();
        QVERIFY(!trend.isVisible());
        // The temperature's series comes with the first readings.
        const auto tPoints = [&trend]
        {
            const int t = trend.FindSeries("T", QString::fromUtf8("\u00b0C"));
            return t >= 0 ? trend.Buffer(t).Appended() : size_t(0);
        };
        QTRY_VERIFY_WITH_TIMEOUT(tPoints() >= 2, 10000);
        QCOMPARE(trend.Redraws(), 0);
        QTest::mouseClick(Find<QPushButton>(*panel, "trendButton"), Qt::LeftButton);
        QVERIFY(trend.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(trend.Redraws() >= 1, 5000);
        panel->TrendWindow()->close();
        QVERIFY(!Find<QPushButton>(*panel, "trendButton")->isChecked());

        QTemporaryDir dir;
        const QString path = dir.filePath("tec.csv");
        QVERIFY(!panel->StartRecording(dir.filePath("missing/tec.csv")));
        QCOMPARE(m_prompter.messages.size(), 1);
        QVERIFY(m_prompter.messages.first().startsWith("Could not write"));
        QVERIFY(panel->StartRecording(path));
        QCOMPARE(Find<QPushButton>(*panel, "recordButton")->text(), QString("Stop Recording"));
        // Each row is on disk as soon as it is written, under a header that says where it comes from.
        QTRY_VERIFY_WITH_TIMEOUT(SRecordedFile::Read(path).rows.size() >= 2, 10000);
        const SRecordedFile file = SRecordedFile::Read(path);
        QVERIFY2(file.Header("program").startsWith("Tamrix Control "), qPrintable(file.header.join('\n')));
        QCOMPARE(file.Header("model"), QString("K910"));
        QVERIFY(!file.Header("serial number").isEmpty() && file.Header("serial number") != "<none>");
        QVERIFY(file.Header("firmware") != "<none>");
        QCOMPARE(file.Header("port"), QString("COM207"));
        QCOMPARE(file.Header("channels"), QString("TEC"));
        QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$")
                    .match(file.Header("started"))
                    .hasMatch());
        for (const char* unit : {"TEC T=°C", "TEC R=kΩ", "TEC ITE=A", "TEC V=V", "TEC T set=°C",
                                 "TEC R set=kΩ", "TEC ITE set=A", "TEC output=none", "TEC mode=none"})
            QVERIFY2(file.Header("units").contains(QString::fromUtf8(unit)), unit);
        QCOMPARE(file.columns.join(','),
                 QString::fromUtf8(
                     "time,TEC T [°C],TEC R [kΩ],TEC ITE [A],TEC V [V],TEC T set [°C],TEC R set [kΩ],"
                     "TEC ITE set [A],TEC output,TEC mode,note"));
        const QStringList& row = file.rows[1];
        QCOMPARE(row.size(), file.columns.size());
        // The file is the monitor's: numbers with "." whatever the user's locale.
        QVERIFY2(row[1].contains('.') && row[1].toDouble() > -50, qPrintable(row.join(',')));
        // T mode: its set point is filled, the other modes' are empty.
        QCOMPARE(file.Field(row, "TEC mode"), QString("T"));
        QVERIFY(file.Field(row, "TEC T set [°C]").contains('.'));
        QCOMPARE(file.Field(row, "TEC R set [kΩ]"), QString());
        QCOMPARE(file.Field(row, "TEC ITE set [A]"), QString());
        QCOMPARE(file.Field(row, "note"), QString());
        QVERIFY2(
            Text(*panel, "recordStatus").contains(QRegularExpression("^tec\\.csv: \\d+ rows, 0:00:\\d\\d$")),
            qPrintable(Text(*panel, "recordStatus")));

        // A disconnect ends the recording; the file says so in its last row.
        panel->Disconnect();
        QVERIFY(!panel->IsRecording());
        QCOMPARE(Find<QPushButton>(*panel, "recordButton")->text(), QString("Record..."));
        const SRecordedFile ended = SRecordedFile::Read(path);
        QCOMPARE(ended.Field(ended.rows.last(), "note"), QString("gap: disconnected"));
        QVERIFY2(Text(*panel, "recordStatus").endsWith("(stopped: disconnected)"),
                 qPrintable(Text(*panel, "recordStatus")));
        QCOMPARE(m_prompter.messages.size(), 1);
    }

    // A file that takes nothing, or is removed while it is written, ends the recording with a message
    // naming the file and the cause; the panel no longer claims to record.
    void recordingThatCannotBeWrittenStopsAndSaysWhy()
    {
        CSimPanelFixture sim("K910", 208);
        auto panel = NewPanel();
        QVERIFY(sim.Connect(*panel));
        QVERIFY(panel->StartRecording("/dev/full"));
        QTRY_VERIFY_WITH_TIMEOUT(!panel->IsRecording(), 10000);
        QCOMPARE(m_prompter.messages,
                 QStringList{"Recording stopped: could not write /dev/full: No space left on device"});
        QCOMPARE(Find<QPushButton>(*panel, "recordButton")->text(), QString("Record..."));
        QCOMPARE(Text(*panel, "recordStatus").section(',', 0, 0), QString("full: 0 rows"));
        QVERIFY(Text(*panel, "recordStatus").endsWith("(failed)"));

        QTemporaryDir dir;
        const QString path = dir.filePath("removed.csv");
        QVERIFY(panel->StartRecording(path));
        QTRY_VERIFY_WITH_TIMEOUT(SRecordedFile::Read(path).rows.size() >= 1, 10000);
        QVERIFY(QFile::remove(path));
        QTRY_VERIFY_WITH_TIMEOUT(!panel->IsRecording(), 10000);
        QCOMPARE(m_prompter.messages.size(), 2);
        QCOMPARE(m_prompter.messages[1],
                 QString("Recording stopped: could not write %1: the file was removed while "
                         "it was written")
                     .arg(QDir::toNativeSeparators(path)));
        QVERIFY(panel->IsConnected());
    }

    // Polling held by a dialog is a gap row in the file, written once, and rows go on after it.
    void pausedPollingIsAGapRow()
    {
        CSimPanelFixture sim("K910", 209);
        auto panel = NewPanel();
        QVERIFY(sim.Connect(*panel));
        QTemporaryDir dir;
        const QString path = dir.filePath("gap.csv");
        QVERIFY(panel->StartRecording(path));
        QTRY_VERIFY_WITH_TIMEOUT(SRecordedFile::Read(path).rows.size() >= 1, 10000);
        CTEC* tec = panel->GetTEC();
        QVERIFY(tec->HoldPause(5000));
        auto lastNote = [&path]
        {
            const SRecordedFile file = SRecordedFile::Read(path);
            return file.Field(file.rows.last(), "note");
        };
        QTRY_COMPARE_WITH_TIMEOUT(lastNote(), QString("gap: polling paused"), 5000);
        // Ticks go by while paused: still one gap row.
        panel->Refresh();
        panel->Refresh();
        tec->ReleasePause();
        QTRY_VERIFY_WITH_TIMEOUT(lastNote().isEmpty(), 10000);
        const SRecordedFile file = SRecordedFile::Read(path);
        int gaps = 0;
        for (const QStringList& row : file.rows)
        {
            QCOMPARE(row.size(), file.columns.size());
            if (!file.Field(row, "note").isEmpty())
            {
                ++gaps;
                // A gap row holds its time and nothing else.
                QVERIFY(row[0].endsWith('Z'));
                QCOMPARE(row.mid(1, row.size() - 2).join(""), QString());
            }
        }
        QCOMPARE(gaps, 1);
        QVERIFY(file.Field(file.rows.last(), "TEC T [°C]").contains('.'));
        panel->StopRecording();
    }
};

QTEST_MAIN(CTecPanelTest)
#include "tec_panel_test.moc"
