#include "RecordedFile.h"
#include "SimPanelRig.h"
#include "UiTestEnvironment.h"
#include "WidgetActions.h"
#include "instrument/laser/Laser.h"
#include "instrument/tec/TEC.h"
#include "ui/dialogs/LaserSettingsDlg.h"
#include "ui/dialogs/SettingsSheet.h"
#include "ui/dialogs/TecSettingsPage.h"
#include "ui/panels/ComboPanel.h"
#include "ui/panels/parts/LaserBlock.h"
#include "ui/panels/parts/TecBlock.h"
#include "ui/widgets/TrendChart.h"
#include "ui/widgets/TrendRecordBar.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

namespace
{
using WidgetActions::Child;
using WidgetActions::Type;
CUiTestEnvironment g_environment;
constexpr int kPort = 212;

using CComboRig = CSimPanelRig<CComboPanel>;

// Both sides have shown the unit's set points.
bool WaitForBothSides(CComboRig& rig)
{
    QLineEdit* laser = Child<QLineEdit>(rig.panel->LaserBlock(), "setPointEdit");
    QLineEdit* tec = Child<QLineEdit>(rig.panel->TecBlock(), "setPointEdit");
    return QTest::qWaitFor([&] { return !laser->text().isEmpty() && !tec->text().isEmpty(); }, 10000);
}
} // namespace

class ComboPanelTest : public QObject
{
    Q_OBJECT

private slots:
    void EnterGoesToTheSideWithTheFocus();
    void PowerSetPointCheckedAgainstMonitorBound();
    void BothFieldsHighlightedAtOnce();
    void ComboSettingsValidateEveryPageBeforeWriting();
    void RecordingHoldsBothSidesEachQuantityInItsOwnUnit();
};

// One file for both sides: the TEC's columns, then the laser's, every one with its unit; in Po mode the
// laser's set point is in the mW column and its mA column is empty.
void ComboPanelTest::RecordingHoldsBothSidesEachQuantityInItsOwnUnit()
{
    CComboRig rig(kPort);
    QVERIFY(rig.Start("X510", [](CSimInstrument& sim) { sim.Request("LAS:MODE:MDP"); }));
    QVERIFY(WaitForBothSides(rig));
    QTemporaryDir dir;
    const QString path = dir.filePath("combo.csv");
    QVERIFY(rig.panel->Tools()->StartRecording(path));
    QTRY_VERIFY_WITH_TIMEOUT(SRecordedFile::Read(path).rows.size() >= 2, 10000);
    rig.panel->Tools()->StopRecording();
    QVERIFY(!rig.panel->Tools()->IsRecording());
    QVERIFY(rig.prompter.messages.isEmpty());

    const SRecordedFile file = SRecordedFile::Read(path);
    QCOMPARE(file.Header("model"), QString("X510"));
    QCOMPARE(file.Header("channels"), QString("TEC, LAS"));
    QCOMPARE(
        file.columns.join(','),
        QString::fromUtf8("time,TEC T [°C],TEC R [kΩ],TEC ITE [A],TEC V [V],TEC T set [°C],TEC R set [kΩ],"
                          "TEC ITE set [A],TEC output,TEC mode,LAS LDI [mA],LAS LDV [V],LAS MDI [µA],"
                          "LAS MDP [mW],LAS LDI set [mA],LAS MDI set [µA],LAS MDP set [mW],LAS LDV set [V],"
                          "LAS output,LAS mode,note"));
    // Every column's unit is in the header block too.
    QStringList units = file.Header("units").split("; ");
    QCOMPARE(units.size(), file.columns.size());
    QCOMPARE(units.first(), QString("time=ISO 8601 UTC"));
    const QStringList& row = file.rows.last();
    QCOMPARE(row.size(), file.columns.size());
    QCOMPARE(file.Field(row, "LAS mode"), QString("Po"));
    QVERIFY(file.Field(row, "LAS MDP set [mW]").contains('.'));
    QCOMPARE(file.Field(row, "LAS LDI set [mA]"), QString());
    QCOMPARE(file.Field(row, "TEC mode"), QString("T"));
    QCOMPARE(file.Field(row, "note"), QString());
    // Stopped by the user: no gap row, the status says so.
    QVERIFY(Child<QLabel>(rig.panel.get(), "recordStatus")->text().endsWith("(stopped)"));
}

void ComboPanelTest::EnterGoesToTheSideWithTheFocus()
{
    CComboRig rig(kPort);
    QVERIFY(rig.Start("X510"));
    QVERIFY(WaitForBothSides(rig));
    // No pulse modes on the combo panel, whatever the unit offers.
    QVERIFY(Child<QRadioButton>(rig.panel.get(), "pulseModeButton")->isHidden());
    QVERIFY(Child<QPushButton>(rig.panel.get(), "qcwAdjustButton")->isHidden());

    // Keyboard focus needs a shown, active window.
    rig.panel->show();
    rig.panel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.panel.get()));
    QLineEdit* laser = Child<QLineEdit>(rig.panel->LaserBlock(), "setPointEdit");
    QLineEdit* tec = Child<QLineEdit>(rig.panel->TecBlock(), "setPointEdit");
    Type(laser, "40");
    Type(tec, "30");
    size_t mark = rig.Mark();
    QTest::keyClick(tec, Qt::Key_Return); // the field passes Enter on to the panel
    QVERIFY(WidgetActions::RequestsDone());
    QCOMPARE(rig.Sent(mark, "TEC:T ").size(), 1);
    QVERIFY(rig.Sent(mark, "LAS:LDI ").isEmpty());

    laser->setFocus();
    mark = rig.Mark();
    QTest::keyClick(laser, Qt::Key_Return);
    QVERIFY(WidgetActions::RequestsDone());
    QCOMPARE(rig.Sent(mark, "LAS:LDI ").size(), 1);
    QVERIFY(rig.Sent(mark, "TEC:T ").isEmpty());
}

void ComboPanelTest::PowerSetPointCheckedAgainstMonitorBound()
{
    CComboRig rig(kPort);
    QVERIFY(rig.Start("X510", [](CSimInstrument& sim) { sim.Request("LAS:MODE:MDP"); }));
    QVERIFY(WaitForBothSides(rig));
    QTRY_COMPARE_WITH_TIMEOUT(rig.panel->LaserBlock()->CachedMode(), int(LaserModeMDP), 5000);
    CLaser* channel = rig.panel->GetLaser();
    const double responsivity = channel->GetCalMD();
    const double bound = std::min(channel->GetMaxMDISetPoint(), channel->GetMDILimit()) / responsivity;
    QLineEdit* laser = Child<QLineEdit>(rig.panel->LaserBlock(), "setPointEdit");
    const size_t mark = rig.Mark();

    Type(laser, QString::number(bound * 1.01));
    laser->setFocus();
    QTest::keyClick(rig.panel.get(), Qt::Key_Return);
    QVERIFY(WidgetActions::RequestsDone());
    QCOMPARE(rig.prompter.messages.size(), 1);
    QVERIFY2(
        rig.prompter.messages.last().startsWith("Laser set point exceeds the limits, please enter a value "
                                                "between 0 and "),
        qPrintable(rig.prompter.messages.last()));
    QVERIFY(rig.Sent(mark, "LAS:MDP ").isEmpty());

    // Without a responsivity no bound exists: the entry is refused. A change made at the unit itself is
    // seen once the poll has read the kept responsivity again.
    rig.sim->Request("LAS:CALMD 0");
    QTRY_VERIFY_WITH_TIMEOUT(channel->GetKeptSetting(CLaser::KeptCalMD) == 0.0f, CKeptValue::KeptMs + 5000);
    Type(laser, "1");
    rig.panel->LaserBlock()->OnSetPoint();
    QVERIFY(WidgetActions::RequestsDone());
    QCOMPARE(rig.prompter.messages.last(), CLaserBlock::NoResponsivityMessage);
    QVERIFY(rig.Sent(mark, "LAS:MDP ").isEmpty());
}

void ComboPanelTest::BothFieldsHighlightedAtOnce()
{
    CComboRig rig(kPort);
    QVERIFY(rig.Start("X510"));
    QVERIFY(WaitForBothSides(rig));
    QLineEdit* laser = Child<QLineEdit>(rig.panel->LaserBlock(), "setPointEdit");
    QLineEdit* tec = Child<QLineEdit>(rig.panel->TecBlock(), "setPointEdit");
    Type(laser, "41");
    Type(tec, "31");
    // A refresh in between keeps both: the unit's set points have not changed.
    rig.panel->Refresh();
    QVERIFY(laser->property("edited").toBool());
    QVERIFY(tec->property("edited").toBool());
    // The trend carries both sides on one time axis.
    CTrendChart* trend = rig.panel->Tools()->Trend();
    const int current = trend->FindSeries("Laser Io", "mA");
    const int temperature = trend->FindSeries("TEC T", QString::fromUtf8("\u00b0C"));
    QVERIFY(current >= 0 && temperature >= 0);
    QVERIFY(!trend->Buffer(current).Points().empty());
    QVERIFY(!trend->Buffer(temperature).Points().empty());
    // Both drawn at first, with the set points; the TEC current is there to be chosen.
    for (const auto& [name, unit] : {std::pair<QString, QString>{"Laser Io", "mA"},
                                     {"Laser Io set point", "mA"},
                                     {"TEC T", QString::fromUtf8("\u00b0C")},
                                     {"TEC T set point", QString::fromUtf8("\u00b0C")}})
        QVERIFY2(trend->FindSeries(name, unit) >= 0 && trend->IsShown(trend->FindSeries(name, unit)),
                 qPrintable(name));
    const int ite = trend->FindSeries("TEC ITE", "A");
    QVERIFY(ite >= 0 && !trend->IsShown(ite));
}

void ComboPanelTest::ComboSettingsValidateEveryPageBeforeWriting()
{
    CComboRig rig(kPort);
    QVERIFY(rig.Start("X510"));
    QVERIFY(WaitForBothSides(rig));
    STecChannelAccess tecAccess;
    tecAccess.channel = [&rig] { return rig.panel->GetTEC(); };
    tecAccess.link = [&rig]() -> const SInstrumentLink& { return rig.panel->Link(); };
    SLaserChannelAccess laserAccess;
    laserAccess.channel = [&rig] { return rig.panel->GetLaser(); };
    laserAccess.link = [&rig]() -> const SInstrumentLink& { return rig.panel->Link(); };
    CSettingsSheet sheet(rig.context, "Combo Settings");
    auto* tecPage = new CTecSettingsPage(rig.context, tecAccess, &sheet);
    auto* laserPage = new CLaserSettingsDlg(rig.context, laserAccess, &sheet);
    sheet.AddPage(tecPage, "TEC Settings");
    sheet.AddPage(laserPage, "Laser Settings");
    QVERIFY(sheet.LoadPages());
    QTRY_VERIFY_WITH_TIMEOUT(sheet.IsLoaded(), 30000);

    // A valid TEC change and a refused laser value: nothing is written on either side.
    Type(Child<QLineEdit>(tecPage, "tolTimeEdit"), "2");
    Type(Child<QLineEdit>(laserPage, "tolIoEdit"), "500");
    size_t mark = rig.Mark();
    sheet.OnOk();
    QTRY_VERIFY_WITH_TIMEOUT(!sheet.IsWriting(), 30000);
    QCOMPARE(sheet.result(), 0);
    QCOMPARE(rig.prompter.messages, QStringList{"Enter a number between 0 and 100 mA."});
    QVERIFY(rig.Sent(mark, "TEC:TOL ").isEmpty());
    QVERIFY(rig.Sent(mark, "LAS:TOL ").isEmpty());

    Type(Child<QLineEdit>(laserPage, "tolIoEdit"), "2.5");
    mark = rig.Mark();
    sheet.OnOk();
    QTRY_VERIFY_WITH_TIMEOUT(!sheet.IsWriting(), 30000);
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
    QCOMPARE(rig.Sent(mark, "TEC:TOL ").size(), 1);
    QCOMPARE(rig.Sent(mark, "LAS:TOL ").size(), 1);
}

QTEST_MAIN(ComboPanelTest)
#include "combo_panel_test.moc"
