#include "RecordedFile.h"
#include "SimPanelRig.h"
#include "UiTestEnvironment.h"
#include "WidgetActions.h"
#include "instrument/laser/Laser.h"
#include "ui/dialogs/LaserSettingsDlg.h"
#include "ui/dialogs/QCWParametersDlg.h"
#include "ui/dialogs/SettingsSheet.h"
#include "ui/panels/LaserPanel.h"
#include "ui/panels/parts/LaserBlock.h"
#include "ui/widgets/TrendChart.h"
#include "ui/widgets/TrendRecordBar.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <memory>

namespace
{
using WidgetActions::Child;
using WidgetActions::Type;
CUiTestEnvironment g_environment;
constexpr int kPort = 211;

using CLaserRig = CSimPanelRig<CLaserPanel>;

SLaserChannelAccess AccessOf(CLaserRig& rig)
{
    SLaserChannelAccess access;
    access.channel = [&rig] { return rig.panel ? rig.panel->GetLaser() : nullptr; };
    access.link = [&rig]() -> const SInstrumentLink&
    {
        static const SInstrumentLink none;
        return rig.panel ? rig.panel->Link() : none;
    };
    return access;
}

// Waits until the block shows a reading and the given mode (the first poll has been shown).
bool WaitForMode(CLaserRig& rig, int mode)
{
    QLineEdit* io = Child<QLineEdit>(rig.panel.get(), "ioField");
    return QTest::qWaitFor(
        [&]
        { return rig.panel->Block()->CachedMode() == mode && !io->text().isEmpty() && io->text() != "---"; },
        10000);
}
} // namespace

class LaserPanelTest : public QObject
{
    Q_OBJECT

private slots:
    void ResponsivityZeroHidesPoRowAndDisablesPoMode();
    void ModelWithoutPulseShowsNoPulseButtons();
    void PulseModeEnablesQcwAdjustAndIoDisablesIt();
    void SetPointEntryChecksBeforeSending();
    void SetPointUnderDecimalCommaLocaleGoesOutWithPoint();
    void ModeChangeRewritesTypedSetPoint();
    void TrendFollowsModeAndRecordWritesRows();

    void SettingsPdResponseZeroSkipsPowerLimit();
    void SettingsRangeLabelsFromMaximum();
    void SettingsSendOnlyWhatChanged();
    void SettingsOutOfRangeKeepsSheetOpenAndSendsNothing();
    void QcwDelayInCheckedAndDialogsCloseWhenChannelIsLost();

    void QcwCouplingHeldFrequencyClampsDuty();
    void QcwDelayOutAboveCeilingBlocksOk();
    void QcwOnlyCountChangedSendsOnlyCount();
    void QcwOnlyHoldChangedSendsOnlyHold();
    void QcwWidthAndFrequencyGoOutThroughAnEdgeWidth();
    void cleanupTestCase() { m_pulseRig.reset(); }

private:
    // One unit in PULSE mode serves the QCW cases that need it (one connect instead of five).
    bool PulseRig();

    std::unique_ptr<CLaserRig> m_pulseRig;
};

bool LaserPanelTest::PulseRig()
{
    if (!m_pulseRig)
    {
        m_pulseRig = std::make_unique<CLaserRig>(kPort + 1);
        if (!m_pulseRig->Start("D710", [](CSimInstrument& sim) { sim.Request("LAS:MODE:PULSE"); }) ||
            !WaitForMode(*m_pulseRig, LaserModePulse))
            return false;
    }
    m_pulseRig->prompter.Reset();
    return true;
}

void LaserPanelTest::ResponsivityZeroHidesPoRowAndDisablesPoMode()
{
    CLaserRig rig(kPort);
    QVERIFY(rig.Start("D710", [](CSimInstrument& sim) { sim.Request("LAS:CALMD 0"); }));
    QVERIFY(WaitForMode(rig, LaserModeICW));
    QVERIFY(Child<QLineEdit>(rig.panel.get(), "poField")->isHidden());
    QVERIFY(Child<QWidget>(rig.panel.get(), "poLabel")->isHidden());
    QVERIFY(!Child<QRadioButton>(rig.panel.get(), "poModeButton")->isEnabled());
    QVERIFY(Child<QRadioButton>(rig.panel.get(), "vfModeButton")->isEnabled());
    // A pulse-capable model offers its pulse modes.
    QVERIFY(!Child<QRadioButton>(rig.panel.get(), "pulseModeButton")->isHidden());
}

void LaserPanelTest::ModelWithoutPulseShowsNoPulseButtons()
{
    CLaserRig rig(kPort);
    QVERIFY(rig.Start("D312"));
    QVERIFY(WaitForMode(rig, LaserModeICW));
    for (const char* name : {"pulseModeButton", "extTrigModeButton", "burstModeButton"})
        QVERIFY2(Child<QRadioButton>(rig.panel.get(), name)->isHidden(), name);
    QVERIFY(!Child<QPushButton>(rig.panel.get(), "qcwAdjustButton")->isEnabled());
    // The unit's default responsivity is not 0: the Po row and mode are offered.
    QVERIFY(!Child<QLineEdit>(rig.panel.get(), "poField")->isHidden());
    QVERIFY(Child<QRadioButton>(rig.panel.get(), "poModeButton")->isEnabled());
}

void LaserPanelTest::PulseModeEnablesQcwAdjustAndIoDisablesIt()
{
    CLaserRig rig(kPort);
    QVERIFY(rig.Start("D710"));
    QVERIFY(WaitForMode(rig, LaserModeICW));
    QPushButton* qcw = Child<QPushButton>(rig.panel.get(), "qcwAdjustButton");
    QVERIFY(!qcw->isEnabled());
    const size_t mark = rig.Mark();
    Child<QRadioButton>(rig.panel.get(), "pulseModeButton")->click();
    QVERIFY(WidgetActions::RequestsDone());
    QVERIFY(qcw->isEnabled());
    // The poll thread applies a mode once more after its next cycle: at least one went out.
    QVERIFY(!rig.Sent(mark, "LAS:MODE:PULSE").isEmpty());
    Child<QRadioButton>(rig.panel.get(), "ioModeButton")->click();
    QVERIFY(WidgetActions::RequestsDone());
    QVERIFY(!qcw->isEnabled());
    QVERIFY(!rig.Sent(mark, "LAS:MODE:ICW").isEmpty());
}

void LaserPanelTest::SetPointEntryChecksBeforeSending()
{
    CLaserRig rig(kPort);
    QVERIFY(rig.Start("D310", [](CSimInstrument& sim) { sim.Request("LAS:LDI 25"); }));
    QVERIFY(WaitForMode(rig, LaserModeICW));
    QLineEdit* edit = rig.panel->Block()->SetPointEdit();
    QTRY_VERIFY_WITH_TIMEOUT(!edit->text().isEmpty(), 5000);
    const size_t mark = rig.Mark();

    // The current set point typed again: Enter sends nothing and nothing is highlighted.
    const QString current = edit->text();
    Type(edit, current);
    QVERIFY(!edit->property("edited").toBool());
    QTest::keyClick(rig.panel.get(), Qt::Key_Return);
    QVERIFY(WidgetActions::RequestsDone());
    QVERIFY(rig.Sent(mark, "LAS:LDI ").isEmpty());
    QVERIFY(rig.prompter.messages.isEmpty());

    // Text that is no number, or no finite one, is refused rather than read as 0.
    for (const char* text : {"abc", "nan", "inf"})
    {
        Type(edit, text);
        QVERIFY(edit->property("edited").toBool());
        rig.panel->OnSetPoint();
        QVERIFY(WidgetActions::RequestsDone());
        QCOMPARE(rig.prompter.messages.last(), QString("Enter a number."));
    }
    // Above the channel's limit (the D310's maximum is 500 mA) and negative: the limits message.
    const float limit = rig.panel->GetLaser()->GetLDILimit();
    for (const char* text : {"100000", "-1"})
    {
        Type(edit, text);
        rig.panel->OnSetPoint();
        QVERIFY(WidgetActions::RequestsDone());
        QCOMPARE(rig.prompter.messages.last(),
                 CLaserBlock::LimitsMessage.arg("0", QString::number(std::min(limit, 500.0f)), "mA"));
    }
    QVERIFY(rig.Sent(mark, "LAS:LDI ").isEmpty());

    Type(edit, "30");
    QTest::mouseClick(Child<QPushButton>(rig.panel.get(), "setButton"), Qt::LeftButton);
    QVERIFY(WidgetActions::RequestsDone());
    QCOMPARE(rig.Sent(mark, "LAS:LDI ").size(), 1);
    QVERIFY(rig.Sent(mark, "LAS:LDI ").first().startsWith("LAS:LDI 30.0"));
    QVERIFY(!edit->property("edited").toBool());
}

void LaserPanelTest::SetPointUnderDecimalCommaLocaleGoesOutWithPoint()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    CLaserRig rig(kPort);
    QVERIFY(rig.Start("D310"));
    QVERIFY(WaitForMode(rig, LaserModeICW));
    const size_t mark = rig.Mark();
    QLineEdit* edit = rig.panel->Block()->SetPointEdit();
    Type(edit, "12,5");
    QVERIFY(rig.panel->Block()->OnSetPoint());
    QVERIFY(WidgetActions::RequestsDone());
    const QStringList sent = rig.Sent(mark, "LAS:LDI ");
    QLocale::setDefault(QLocale::c());
    QCOMPARE(sent.size(), 1);
    QVERIFY2(sent.first().startsWith("LAS:LDI 12.5"), qPrintable(sent.first()));
    // The reading fields follow the user's locale as well.
    QVERIFY(!Child<QLineEdit>(rig.panel.get(), "ioField")->text().contains('.'));
}

void LaserPanelTest::ModeChangeRewritesTypedSetPoint()
{
    CLaserRig rig(kPort);
    QVERIFY(rig.Start("D310", [](CSimInstrument& sim) { sim.Request("LAS:LDV 1.5"); }));
    QVERIFY(WaitForMode(rig, LaserModeICW));
    QLineEdit* edit = rig.panel->Block()->SetPointEdit();
    Type(edit, "123");
    Child<QRadioButton>(rig.panel.get(), "vfModeButton")->click();
    QVERIFY(WidgetActions::RequestsDone());
    QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QString("1.500"), 5000);
    QCOMPARE(Child<QLabel>(rig.panel.get(), "setPointUnit")->text(), QString("V"));
    QVERIFY(!edit->property("edited").toBool());
}

void LaserPanelTest::TrendFollowsModeAndRecordWritesRows()
{
    CLaserRig rig(kPort);
    QVERIFY(rig.Start("D310"));
    QVERIFY(WaitForMode(rig, LaserModeICW));
    QTemporaryDir dir;
    const QString path = dir.filePath("laser.csv");
    CTrendRecordBar* tools = rig.panel->Tools();
    QVERIFY(tools->StartRecording(path));
    rig.panel->Refresh();
    rig.panel->Refresh();
    // Io mode: every reading is kept, the current and its set point are drawn.
    CTrendChart* trend = tools->Trend();
    const int ioSeries = trend->FindSeries("Io", "mA");
    const int ioSet = trend->FindSeries("Io set point", "mA");
    const int vfSeries = trend->FindSeries("Vf", "V");
    QVERIFY(ioSeries >= 0 && ioSet >= 0 && vfSeries >= 0 &&
            trend->FindSeries("Im", QString::fromUtf8("\u00b5A")) >= 0);
    QVERIFY(trend->Buffer(ioSeries).Points().size() >= 2);
    QVERIFY(trend->Buffer(ioSet).Points().size() >= 2);
    QVERIFY(trend->IsShown(ioSeries) && trend->IsShown(ioSet) && !trend->IsShown(vfSeries));

    // Another quantity starts a set point series of its own; the old ones keep their history.
    const size_t ioPoints = trend->Buffer(ioSeries).Points().size();
    Child<QRadioButton>(rig.panel.get(), "vfModeButton")->click();
    QVERIFY(WidgetActions::RequestsDone());
    rig.panel->Refresh();
    const int vfSet = trend->FindSeries("Vf set point", "V");
    QVERIFY(vfSet >= 0);
    QCOMPARE(trend->Buffer(vfSet).Points().size(), size_t(1));
    QVERIFY(trend->Buffer(ioSeries).Points().size() >= ioPoints);
    QVERIFY(trend->IsShown(vfSeries) && trend->IsShown(ioSeries));
    // The old mode's set point is no longer read: its line breaks instead of running on.
    QVERIFY(std::isnan(trend->Buffer(ioSet).Points().back().value));

    // The file names modes as the panel does, and keeps a set point in mA apart from one in V.
    QTRY_VERIFY_WITH_TIMEOUT((rig.panel->Refresh(), SRecordedFile::Read(path).rows.last().contains("Vf")),
                             10000);
    rig.panel->Disconnect();
    QVERIFY(!tools->IsRecording());
    const SRecordedFile file = SRecordedFile::Read(path);
    QCOMPARE(file.Header("model"), QString("D310"));
    QCOMPARE(file.Header("port"), QString("COM%1").arg(kPort));
    QCOMPARE(file.Header("channels"), QString("LAS"));
    for (const char* unit : {"LAS LDI=mA", "LAS LDV=V", "LAS MDI=µA", "LAS MDP=mW", "LAS LDI set=mA",
                             "LAS MDI set=µA", "LAS MDP set=mW", "LAS LDV set=V"})
        QVERIFY2(file.Header("units").contains(QString::fromUtf8(unit)), unit);
    QCOMPARE(file.columns.join(','),
             QString::fromUtf8("time,LAS LDI [mA],LAS LDV [V],LAS MDI [µA],LAS MDP [mW],LAS LDI set [mA],"
                               "LAS MDI set [µA],LAS MDP set [mW],LAS LDV set [V],LAS output,LAS mode,note"));
    const QStringList& io = file.rows.first();
    QCOMPARE(file.Field(io, "LAS mode"), QString("Io"));
    QVERIFY(file.Field(io, "LAS LDI set [mA]").contains('.'));
    QCOMPARE(file.Field(io, "LAS LDV set [V]"), QString());
    const auto vf =
        std::find_if(file.rows.begin(), file.rows.end(),
                     [&file](const QStringList& row) { return file.Field(row, "LAS mode") == "Vf"; });
    QVERIFY(vf != file.rows.end());
    QVERIFY(file.Field(*vf, "LAS LDV set [V]").contains('.'));
    QCOMPARE(file.Field(*vf, "LAS LDI set [mA]"), QString());
    QCOMPARE(file.Field(file.rows.last(), "note"), QString("gap: disconnected"));
    for (const QStringList& row : file.rows)
        QCOMPARE(row.size(), file.columns.size());
}

void LaserPanelTest::SettingsPdResponseZeroSkipsPowerLimit()
{
    CLaserRig rig(kPort);
    QVERIFY(rig.Start("D310", [](CSimInstrument& sim) { sim.Request("LAS:CALMD 0"); }));
    CSettingsSheet sheet(rig.context, "Laser Settings");
    auto* page = new CLaserSettingsDlg(rig.context, AccessOf(rig), &sheet);
    sheet.AddPage(page, "Laser Settings");
    QVERIFY(sheet.LoadPages());
    QTRY_VERIFY_WITH_TIMEOUT(sheet.IsLoaded(), 30000);
    QLineEdit* power = Child<QLineEdit>(page, "poLimitEdit");
    QVERIFY(!power->isEnabled());
    // Typing a response enables the power limit; 0 disables it again.
    QLineEdit* response = Child<QLineEdit>(page, "pdResponseEdit");
    Type(response, "5");
    QVERIFY(power->isEnabled());
    Type(response, "0");
    QVERIFY(!power->isEnabled());
    power->setText("99999999");
    const size_t mark = rig.Mark();
    sheet.OnOk();
    QTRY_VERIFY_WITH_TIMEOUT(!sheet.IsWriting(), 30000);
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
    QVERIFY(rig.prompter.messages.isEmpty());
    QVERIFY(rig.Sent(mark, "LAS:LIM:MDP ").isEmpty());
}

void LaserPanelTest::SettingsRangeLabelsFromMaximum()
{
    CLaserRig rig(kPort);
    QVERIFY(rig.Start(
        "D312", [](CSimInstrument& sim)
        { sim.Engine().WithUnit([](CSimUnit& unit) { return unit.Memory().SetNumber(0x380014, 4000); }); }));
    CSettingsSheet sheet(rig.context, "Laser Settings");
    auto* page = new CLaserSettingsDlg(rig.context, AccessOf(rig), &sheet);
    sheet.AddPage(page, "Laser Settings");
    QVERIFY(sheet.LoadPages());
    QTRY_VERIFY_WITH_TIMEOUT(sheet.IsLoaded(), 30000);
    QVERIFY(!Child<QWidget>(page, "rangeGroup")->isHidden());
    QCOMPARE(Child<QRadioButton>(page, "lowRangeRadio")->text(), QString("Low Range (2000mA)"));
    QCOMPARE(Child<QRadioButton>(page, "highRangeRadio")->text(), QString("High Range (4000mA)"));
}

void LaserPanelTest::SettingsSendOnlyWhatChanged()
{
    CLaserRig rig(kPort);
    // Bit 0x2 has no box; 0x1 has one.
    QVERIFY(rig.Start("D310", [](CSimInstrument& sim) { sim.Request("LAS:ENAB:OUTOFF 3"); }));
    const auto open = [&](CSettingsSheet& sheet)
    {
        auto* page = new CLaserSettingsDlg(rig.context, AccessOf(rig), &sheet);
        sheet.AddPage(page, "Laser Settings");
        return sheet.LoadPages() && QTest::qWaitFor([&] { return sheet.IsLoaded(); }, 30000) ? page : nullptr;
    };
    const QStringList setters = {"LAS:LIM:", "LAS:CALMD ", "LAS:CABLER ",      "LAS:PDBIAS ",
                                 "LAS:TOL ", "ONDELAY ",   "LAS:ENAB:OUTOFF ", "LAS:RANGE "};
    const auto sentSetters = [&](size_t mark)
    {
        QStringList all;
        for (const QString& setter : setters)
            all << rig.Sent(mark, setter);
        return all;
    };

    {
        // OK with no edit sends nothing at all (no limit rewritten from its rounded display).
        CSettingsSheet sheet(rig.context, "Laser Settings");
        QVERIFY(open(sheet));
        const size_t mark = rig.Mark();
        sheet.OnOk();
        QTRY_VERIFY_WITH_TIMEOUT(!sheet.IsWriting(), 30000);
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        QCOMPARE(sentSetters(mark), QStringList());
    }
    {
        // Only "Tol Io:": one tolerance command carrying both values.
        CSettingsSheet sheet(rig.context, "Laser Settings");
        CLaserSettingsDlg* page = open(sheet);
        QVERIFY(page);
        const QString time = Child<QLineEdit>(page, "tolTimeEdit")->text();
        Type(Child<QLineEdit>(page, "tolIoEdit"), "2.5");
        const size_t mark = rig.Mark();
        sheet.OnOk();
        QTRY_VERIFY_WITH_TIMEOUT(!sheet.IsWriting(), 30000);
        const QStringList sent = sentSetters(mark);
        QCOMPARE(sent.size(), 1);
        QVERIFY2(sent.first().startsWith("LAS:TOL 2.5"), qPrintable(sent.first()));
        QVERIFY2(sent.first().contains(", " + time), qPrintable(sent.first()));
    }
    {
        // Unchecking "Current Limit" keeps the boxless bit 0x2.
        CSettingsSheet sheet(rig.context, "Laser Settings");
        CLaserSettingsDlg* page = open(sheet);
        QVERIFY(page);
        QCheckBox* current = Child<QCheckBox>(page, "currentLimitCheck");
        QVERIFY(current->isChecked());
        current->setChecked(false);
        const size_t mark = rig.Mark();
        sheet.OnOk();
        QTRY_VERIFY_WITH_TIMEOUT(!sheet.IsWriting(), 30000);
        QCOMPARE(sentSetters(mark), QStringList{"LAS:ENAB:OUTOFF 2"});
    }
}

void LaserPanelTest::SettingsOutOfRangeKeepsSheetOpenAndSendsNothing()
{
    CLaserRig rig(kPort);
    QVERIFY(rig.Start("D310"));
    CSettingsSheet sheet(rig.context, "Laser Settings");
    auto* page = new CLaserSettingsDlg(rig.context, AccessOf(rig), &sheet);
    sheet.AddPage(page, "Laser Settings");
    QVERIFY(sheet.LoadPages());
    QTRY_VERIFY_WITH_TIMEOUT(sheet.IsLoaded(), 30000);
    auto* ioLimit = Child<QLineEdit>(page, "ioLimitEdit");
    const QList<QLabel*> labels = page->findChildren<QLabel*>();
    QVERIFY(std::any_of(labels.begin(), labels.end(),
                        [&](QLabel* l) { return l->buddy() == ioLimit && l->text() == "Io Limit:"; }));
    Type(Child<QLineEdit>(page, "tolIoEdit"), "3");
    Type(Child<QLineEdit>(page, "ioLimitEdit"), "501");
    const size_t mark = rig.Mark();
    sheet.OnOk();
    QTRY_VERIFY_WITH_TIMEOUT(!sheet.IsWriting(), 30000);
    QCOMPARE(sheet.result(), 0);
    QCOMPARE(rig.prompter.messages, QStringList{"Enter a number between 0 and 500 mA."});
    QVERIFY(rig.Sent(mark, "LAS:TOL ").isEmpty());
    Type(Child<QLineEdit>(page, "onDelayEdit"), "1.5");
    Type(Child<QLineEdit>(page, "ioLimitEdit"), "400");
    sheet.OnOk();
    QTRY_VERIFY_WITH_TIMEOUT(!sheet.IsWriting(), 30000);
    QCOMPARE(rig.prompter.messages.last(), QString("Enter an integer."));
    QVERIFY(rig.Sent(mark, "LAS:LIM:LDI ").isEmpty());
}

void LaserPanelTest::QcwDelayInCheckedAndDialogsCloseWhenChannelIsLost()
{
    CLaserRig rig(kPort);
    QVERIFY(rig.Start("D310"));
    QVERIFY(WaitForMode(rig, LaserModeICW));
    // Outside the pulse modes the delays around the pulse are edited; delay in is range-checked too.
    CQCWParametersDlg dialog(rig.context, AccessOf(rig));
    QVERIFY(dialog.Load());
    QTRY_VERIFY_WITH_TIMEOUT(dialog.IsLoaded(), 30000);
    QLineEdit* delayIn = Child<QLineEdit>(&dialog, "delayInEdit");
    QVERIFY(!delayIn->isHidden());
    QVERIFY(Child<QLineEdit>(&dialog, "frequencyEdit")->isHidden());
    Type(delayIn, "1000");
    QVERIFY(dialog.IsOutOfRange(CQCWParametersDlg::DelayIn));
    QVERIFY(!Child<QPushButton>(&dialog, "okButton")->isEnabled());
    Type(delayIn, "0.5");
    QVERIFY(!dialog.IsOutOfRange(CQCWParametersDlg::DelayIn));

    // The panel loses its instrument behind both: each closes on its next loss check.
    CSettingsSheet sheet(rig.context, "Laser Settings");
    sheet.AddPage(new CLaserSettingsDlg(rig.context, AccessOf(rig), &sheet), "Laser Settings");
    QVERIFY(sheet.LoadPages());
    QTRY_VERIFY_WITH_TIMEOUT(sheet.IsLoaded(), 30000);
    sheet.open();
    dialog.open();
    rig.panel->Disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(!sheet.isVisible() && !dialog.isVisible(), 2000);
    QCOMPARE(sheet.result(), CSettingsSheet::LostResult);
    QCOMPARE(dialog.result(), CQCWParametersDlg::LostResult);
}

void LaserPanelTest::QcwCouplingHeldFrequencyClampsDuty()
{
    QVERIFY(PulseRig());
    CLaserRig& rig = *m_pulseRig;
    CQCWParametersDlg dialog(rig.context, AccessOf(rig));
    QVERIFY(dialog.Load());
    QTRY_VERIFY_WITH_TIMEOUT(dialog.IsLoaded(), 30000);
    QVERIFY(Child<QRadioButton>(&dialog, "holdFrequencyRadio")->isChecked());
    QCOMPARE(dialog.Value(CQCWParametersDlg::Frequency), 1000.0);
    QLineEdit* width = Child<QLineEdit>(&dialog, "pulseWidthEdit");
    Type(width, "0.2");
    QCOMPARE(dialog.Value(CQCWParametersDlg::DutyCycle), 20.0);
    Type(width, "0.1");
    QCOMPARE(Child<QLineEdit>(&dialog, "dutyCycleEdit")->text(), QString("10"));
    // 1 ms at 1000 Hz would be 100 %: the duty stops at its maximum and the frequency follows it.
    Type(width, "1");
    QCOMPARE(dialog.Value(CQCWParametersDlg::DutyCycle), 90.0);
    QCOMPARE(dialog.Value(CQCWParametersDlg::Frequency), 900.0);
    QCOMPARE(Child<QLineEdit>(&dialog, "frequencyEdit")->text(), QString("900"));
    QVERIFY(Child<QPushButton>(&dialog, "okButton")->isEnabled());
    // The frequency's slider follows its edit (scale 10).
    QCOMPARE(Child<QSlider>(&dialog, "frequencySlider")->value(), 9000);
}

void LaserPanelTest::QcwDelayOutAboveCeilingBlocksOk()
{
    QVERIFY(PulseRig());
    CLaserRig& rig = *m_pulseRig;
    CQCWParametersDlg dialog(rig.context, AccessOf(rig));
    QVERIFY(dialog.Load());
    QTRY_VERIFY_WITH_TIMEOUT(dialog.IsLoaded(), 30000);
    QLineEdit* delayOut = Child<QLineEdit>(&dialog, "delayOutEdit");
    Type(delayOut, "0.0008"); // below 0.9 / 1000 Hz
    QVERIFY(!dialog.IsOutOfRange(CQCWParametersDlg::DelayOut));
    QCOMPARE(rig.prompter.beeps, 0);
    Type(delayOut, "0.001");
    QVERIFY(dialog.IsOutOfRange(CQCWParametersDlg::DelayOut));
    QVERIFY(delayOut->styleSheet().contains("255, 0, 0"));
    QCOMPARE(rig.prompter.beeps, 1);
    QVERIFY(!Child<QPushButton>(&dialog, "okButton")->isEnabled());
    QVERIFY(!Child<QPushButton>(&dialog, "applyButton")->isEnabled());
    const size_t mark = rig.Mark();
    dialog.OnOk();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsWriting(), 30000);
    QVERIFY(rig.Sent(mark, "LAS:DELAYOUT ").isEmpty());
}

void LaserPanelTest::QcwOnlyCountChangedSendsOnlyCount()
{
    CLaserRig rig(kPort);
    QVERIFY(rig.Start("D710", [](CSimInstrument& sim) { sim.Request("LAS:MODE:BURST"); }));
    QVERIFY(WaitForMode(rig, LaserModeBurst));
    CQCWParametersDlg dialog(rig.context, AccessOf(rig));
    QVERIFY(dialog.Load());
    QTRY_VERIFY_WITH_TIMEOUT(dialog.IsLoaded(), 30000);
    QVERIFY(!Child<QLineEdit>(&dialog, "pulseCountEdit")->isHidden());
    QVERIFY(Child<QLineEdit>(&dialog, "delayInEdit")->isHidden());
    Type(Child<QLineEdit>(&dialog, "pulseCountEdit"), "100");
    QCOMPARE(Child<QSlider>(&dialog, "pulseCountSlider")->value(), 200);
    const size_t mark = rig.Mark();
    dialog.OnOk();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsWriting(), 30000);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QStringList sent;
    for (const char* setter : {"LAS:PW", "LAS:F ", "LAS:DC ", "LAS:DELAY", "LAS:QCWHOLD ", "LAS:QCWCOUNT "})
        sent << rig.Sent(mark, setter).filter(QRegularExpression("^[^?]*$"));
    QCOMPARE(sent, QStringList{"LAS:QCWCOUNT 100"});
    // A count beyond the slider's range is refused like the other values.
    CQCWParametersDlg again(rig.context, AccessOf(rig));
    QVERIFY(again.Load());
    QTRY_VERIFY_WITH_TIMEOUT(again.IsLoaded(), 30000);
    Type(Child<QLineEdit>(&again, "pulseCountEdit"), "70000");
    QVERIFY(again.IsOutOfRange(CQCWParametersDlg::PulseCount));
    QVERIFY(!Child<QPushButton>(&again, "okButton")->isEnabled());
}

void LaserPanelTest::QcwOnlyHoldChangedSendsOnlyHold()
{
    QVERIFY(PulseRig());
    CLaserRig& rig = *m_pulseRig;
    CQCWParametersDlg dialog(rig.context, AccessOf(rig));
    QVERIFY(dialog.Load());
    QTRY_VERIFY_WITH_TIMEOUT(dialog.IsLoaded(), 30000);
    QLineEdit* duty = Child<QLineEdit>(&dialog, "dutyCycleEdit");
    QLineEdit* frequency = Child<QLineEdit>(&dialog, "frequencyEdit");
    QVERIFY(!duty->isEnabled() && frequency->isEnabled());
    Child<QRadioButton>(&dialog, "holdDutyCycleRadio")->setChecked(true);
    QVERIFY(duty->isEnabled() && !frequency->isEnabled());
    const size_t mark = rig.Mark();
    dialog.OnOk();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsWriting(), 30000);
    QStringList sent;
    for (const char* setter : {"LAS:PW", "LAS:F ", "LAS:DC ", "LAS:DELAY", "LAS:QCWHOLD ", "LAS:QCWCOUNT "})
        sent << rig.Sent(mark, setter).filter(QRegularExpression("^[^?]*$"));
    QCOMPARE(sent, QStringList{"LAS:QCWHOLD 1"});
}

void LaserPanelTest::QcwWidthAndFrequencyGoOutThroughAnEdgeWidth()
{
    QVERIFY(PulseRig());
    CLaserRig& rig = *m_pulseRig;
    {
        // A first digit whose coupling would clamp it is left as typed (and red) until the edit ends.
        CQCWParametersDlg typing(rig.context, AccessOf(rig));
        QVERIFY(typing.Load());
        QTRY_VERIFY_WITH_TIMEOUT(typing.IsLoaded(), 30000);
        Child<QRadioButton>(&typing, "holdFrequencyRadio")->setChecked(true);
        QLineEdit* frequency = Child<QLineEdit>(&typing, "frequencyEdit");
        Type(frequency, "5");
        QCOMPARE(frequency->text(), QString("5"));
        QVERIFY(typing.IsOutOfRange(CQCWParametersDlg::Frequency));
        QTest::keyClick(frequency, Qt::Key_Return); // ends the edit: 0.1 ms at 5 Hz is below 0.1 %
        QCOMPARE(typing.Value(CQCWParametersDlg::DutyCycle), 0.1);
        QCOMPARE(frequency->text(), QString("10"));
        QVERIFY(!typing.IsOutOfRange(CQCWParametersDlg::Frequency));
    }
    CQCWParametersDlg dialog(rig.context, AccessOf(rig));
    QVERIFY(dialog.Load());
    QTRY_VERIFY_WITH_TIMEOUT(dialog.IsLoaded(), 30000);
    Child<QRadioButton>(&dialog, "holdFrequencyRadio")->setChecked(true);
    QCOMPARE(dialog.Value(CQCWParametersDlg::Frequency), 1000.0);
    QCOMPARE(dialog.Value(CQCWParametersDlg::PulseWidth), 0.1);
    Type(Child<QLineEdit>(&dialog, "frequencyEdit"), "500");
    Type(Child<QLineEdit>(&dialog, "pulseWidthEdit"), "1");
    QCOMPARE(dialog.Value(CQCWParametersDlg::DutyCycle), 50.0);
    const size_t mark = rig.Mark();
    dialog.OnOk();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsWriting(), 30000);
    QStringList sent;
    for (const QString& line : rig.Sent(mark, "LAS:"))
        if (line.startsWith("LAS:PWF ") || line.startsWith("LAS:F "))
            sent << line;
    // The growing width first goes to the edge the old frequency allows (89.9 % duty), so that the
    // unit never holds a width and frequency beyond its duty maximum.
    QCOMPARE(sent, (QStringList{"LAS:PWF 0.898", "LAS:F 500.0", "LAS:PWF 1.000"}));
    QCOMPARE(rig.sim->Request("LAS:PW?"), std::string("1.000"));
    QCOMPARE(rig.sim->Request("LAS:F?"), std::string("500.0"));
}

QTEST_MAIN(LaserPanelTest)
#include "laser_panel_test.moc"
