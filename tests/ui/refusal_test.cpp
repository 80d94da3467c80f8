// Set points and settings the program or the unit refuses, against the simulated units: a refused value
// never looks accepted, and every refusal says why.
#include "SimCommandRegistry.h"
#include "SimPanelRig.h"
#include "SimResult.h"
#include "UiTestEnvironment.h"
#include "WidgetActions.h"
#include "instrument/laser/Laser.h"
#include "ui/dialogs/LaserSettingsDlg.h"
#include "ui/panels/ComboPanel.h"
#include "ui/panels/LaserPanel.h"
#include "ui/panels/TECPanel.h"
#include "ui/panels/parts/LaserBlock.h"
#include "ui/panels/parts/TecBlock.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <optional>

namespace
{
using WidgetActions::Child;
using WidgetActions::Type;
const CUiTestEnvironment environment;

// Ports 225-229 belong to this program.
constexpr int Port = 225;

// The unit answers the query with a text that is no number.
void Garble(CSimInstrument& sim, const std::string& query)
{
    sim.Engine().WithRegistry(
        [&](CSimCommandRegistry& registry) {
            registry.Add(query, [](CSimUnit&, int, std::string_view) { return SSimResult::Answer("busy"); });
        });
}

// The unit refuses every value of the command as out of range and keeps its own.
void Refuse(CSimInstrument& sim, const std::string& command)
{
    sim.Engine().WithRegistry(
        [&](CSimCommandRegistry& registry)
        { registry.Add(command, [](CSimUnit&, int, std::string_view) { return SSimResult::Error(201); }); });
}

template <class Panel>
bool ShowsSetPoint(CSimPanelRig<Panel>& rig, QLineEdit* field)
{
    return QTest::qWaitFor(
        [&]
        {
            rig.panel->OnWatchTick();
            return !field->text().isEmpty() && field->text() != "---";
        },
        10000);
}

// The field after a few more refreshes: what the panel keeps showing.
template <class Panel>
QString AfterRefreshes(CSimPanelRig<Panel>& rig, QLineEdit* field)
{
    for (int tick = 0; tick < 5; ++tick)
    {
        QTest::qWait(CBasePanel::WatchPeriodMs / 5);
        rig.panel->OnWatchTick();
    }
    return field->text();
}
// A settings page's writes, waited for; empty when they never end.
std::optional<bool> Written(CSettingsPage& page)
{
    std::optional<bool> written;
    page.Write([&written](bool ok) { written = ok; });
    return QTest::qWaitFor([&written] { return written.has_value(); }, 30000) ? written : std::nullopt;
}
} // namespace

class CRefusalTest : public QObject
{
    Q_OBJECT

private slots:
    void TecSetPointShowsWhatTheUnitHolds();
    void TecSetPointWithoutNumberOrLimits();
    void LaserSetPointShowsWhatTheUnitHolds();
    void LaserLimitCheckedAgainstTheChosenRange();
};

void CRefusalTest::TecSetPointShowsWhatTheUnitHolds()
{
    CSimPanelRig<CTECPanel> rig(Port);
    QVERIFY(rig.Start("K760"));
    QLineEdit* field = Child<QLineEdit>(rig.panel.get(), "setPointEdit");
    QVERIFY(ShowsSetPoint(rig, field));
    const QString held = field->text();

    // Taken: the field shows the value at the unit's precision at once, not the typed text.
    Type(field, "30");
    Child<QPushButton>(rig.panel.get(), "setButton")->click();
    QVERIFY(WidgetActions::RequestsDone());
    QVERIFY(rig.prompter.messages.isEmpty());
    QVERIFY(field->text().startsWith("30."));
    QVERIFY(!field->property("edited").toBool());
    const QString taken = field->text();

    // Refused by the unit: its own value comes back and the message names the error.
    Refuse(*rig.sim, "TEC:T");
    const size_t mark = rig.Mark();
    Type(field, "31");
    Child<QPushButton>(rig.panel.get(), "setButton")->click();
    QVERIFY(WidgetActions::RequestsDone());
    QCOMPARE(rig.Sent(mark, "TEC:T 31").size(), 1);
    QCOMPARE(rig.prompter.messages.size(), 1);
    QVERIFY2(rig.prompter.messages[0].startsWith("The instrument did not accept the set point 31"),
             qPrintable(rig.prompter.messages[0]));
    QVERIFY2(rig.prompter.messages[0].contains("error 201"), qPrintable(rig.prompter.messages[0]));
    QCOMPARE(field->text(), taken);
    QVERIFY(!field->property("edited").toBool());
    // The channel cached the refused value; the refreshes that follow do not show it.
    QCOMPARE(AfterRefreshes(rig, field), taken);
    QVERIFY(held != taken);
}

void CRefusalTest::TecSetPointWithoutNumberOrLimits()
{
    CSimPanelRig<CTECPanel> rig(Port);
    QVERIFY(rig.Start("K760"));
    QLineEdit* field = Child<QLineEdit>(rig.panel.get(), "setPointEdit");
    QVERIFY(ShowsSetPoint(rig, field));
    const QString held = field->text();
    const size_t mark = rig.Mark();

    for (const char* typed : {"nan", "inf", "abc"})
    {
        Type(field, typed);
        rig.panel->OnSetPoint();
        QVERIFY(WidgetActions::RequestsDone());
        QCOMPARE(rig.prompter.messages.last(), QString("Enter a number."));
        QCOMPARE(field->text(), held);
    }

    // Limits the unit does not give are no bounds to name.
    Garble(*rig.sim, "TEC:LIM:THI?");
    Type(field, "30");
    rig.panel->OnSetPoint();
    QVERIFY(WidgetActions::RequestsDone());
    QCOMPARE(rig.prompter.messages.last(),
             QString("The TEC's limits could not be read, so the set point was not sent."));
    QCOMPARE(field->text(), held);
    QVERIFY(rig.Sent(mark, "TEC:T ").isEmpty());
}

void CRefusalTest::LaserSetPointShowsWhatTheUnitHolds()
{
    CSimPanelRig<CLaserPanel> rig(Port);
    QVERIFY(rig.Start("D312"));
    QLineEdit* field = rig.panel->Block()->SetPointEdit();
    QVERIFY(ShowsSetPoint(rig, field));

    Type(field, "20");
    QVERIFY(rig.panel->Block()->OnSetPoint());
    QVERIFY(WidgetActions::RequestsDone());
    QVERIFY(field->text().startsWith("20."));
    const QString taken = field->text();

    Refuse(*rig.sim, "LAS:LDI");
    Type(field, "21");
    rig.panel->Block()->OnSetPoint();
    QVERIFY(WidgetActions::RequestsDone());
    QCOMPARE(rig.prompter.messages.size(), 1);
    QVERIFY2(
        rig.prompter.messages[0].startsWith("The instrument did not accept the set point 21 mA (error 201"),
        qPrintable(rig.prompter.messages[0]));
    QCOMPARE(field->text(), taken);
    QVERIFY(!field->property("edited").toBool());
    QCOMPARE(AfterRefreshes(rig, field), taken);
}

void CRefusalTest::LaserLimitCheckedAgainstTheChosenRange()
{
    CSimPanelRig<CComboPanel> rig(Port);
    QVERIFY(rig.Start("X510", [](CSimInstrument& sim) { sim.Request("LAS:RANGE 1"); }));
    SLaserChannelAccess access;
    access.channel = [&rig] { return rig.panel->GetLaser(); };
    access.link = [&rig]() -> const SInstrumentLink& { return rig.panel->Link(); };
    CLaserSettingsDlg page(rig.context, access);
    QVERIFY(page.Load());
    QTRY_VERIFY_WITH_TIMEOUT(page.IsLoaded(), 30000);
    auto* low = Child<QRadioButton>(&page, "lowRangeRadio");
    QVERIFY(low->isVisibleTo(&page));
    const double maximum = rig.panel->GetLaser()->GetMaxLDILimit(false);
    QVERIFY(maximum > 0);

    // A limit only the high range holds, with the low range chosen: refused before anything goes out.
    low->setChecked(true);
    Type(Child<QLineEdit>(&page, "ioLimitEdit"), QString::number(maximum * 0.75));
    QVERIFY(!page.Validate());
    QCOMPARE(rig.prompter.messages.last(), QString("Enter a number between 0 and %1 mA.").arg(maximum / 2.0));
    // The same limit in the high range is fine.
    Child<QRadioButton>(&page, "highRangeRadio")->setChecked(true);
    QVERIFY(page.Validate());

    // A value the unit refuses keeps the page open and says which.
    low->setChecked(true);
    Type(Child<QLineEdit>(&page, "ioLimitEdit"), QString::number(maximum * 0.25));
    QVERIFY(page.Validate());
    Refuse(*rig.sim, "LAS:LIM:LDI");
    size_t mark = rig.Mark();
    QCOMPARE(Written(page), std::optional<bool>(false));
    QVERIFY2(rig.prompter.messages.last().startsWith("The instrument did not accept the current limit."),
             qPrintable(rig.prompter.messages.last()));
    QCOMPARE(rig.Sent(mark, "LAS:RANGE 0").size(), 1);
    QVERIFY(rig.Sent(mark, "LAS:TOL ").isEmpty()); // nothing after the refusal

    // OK again sends only what is left.
    rig.sim->Engine().WithRegistry(
        [](CSimCommandRegistry& registry) {
            registry.Add("LAS:LIM:LDI", [](CSimUnit&, int, std::string_view) { return SSimResult::Done(); });
        });
    mark = rig.Mark();
    QCOMPARE(Written(page), std::optional<bool>(true));
    QVERIFY(rig.Sent(mark, "LAS:RANGE").isEmpty());
    QCOMPARE(rig.Sent(mark, "LAS:LIM:LDI ").size(), 1);
}

QTEST_MAIN(CRefusalTest)
#include "refusal_test.moc"
