// Safe operation at the bench, on every panel kind connected to the simulated unit over a
// pseudo-terminal: keys, the wheel and focus changes never send an output or mode command, Escape
// takes back an edit and never quits.
#include "FakePanelHost.h"
#include "ScriptedPrompter.h"
#include "SimPort.h"
#include "UiTestEnvironment.h"
#include "WidgetActions.h"
#include "diag/MemoryProfile.h"
#include "ui/app/TamrixControlHost.h"
#include "ui/common/Prompter.h"
#include "ui/common/UiContext.h"
#include "ui/panels/BasePanel.h"
#include "ui/panels/MultiChannelPanel.h"
#include "ui/panels/PanelFactory.h"
#include "ui/panels/PanelTypes.h"
#include "ui/panels/parts/LaserBlock.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QWheelEvent>
#include <QtTest>
#include <chrono>
#include <functional>
#include <memory>

namespace
{
using WidgetActions::Child;
using WidgetActions::Type;
const CUiTestEnvironment environment;

// Ports 221-229 belong to this program.
constexpr int Port = 221;

// One panel of a type connected to a simulated unit of a model, shown and active (keyboard focus
// needs that), with its readings and buttons shown.
struct SRig
{
    CMemoryProfile profile;
    CScriptedPrompter prompter;
    CFakePanelHost host;
    SUiContext context{profile, prompter};
    std::unique_ptr<SSimPort> unit;
    std::unique_ptr<CBasePanel> panel;

    // prepare runs on the unit before the panel connects.
    bool Start(int type, const char* model, const std::function<void(CSimInstrument&)>& prepare = {})
    {
        unit = SSimPort::OnPty(model, Port);
        if (!unit)
            return false;
        if (prepare)
            prepare(*unit->sim);
        panel.reset(CreatePanel(type, context, host, 0, nullptr));
        if (!panel)
            return false;
        QSignalSpy finished(panel.get(), &CBasePanel::connectFinished);
        if (!panel->Connect(unit->descriptor) || !finished.wait(30000) || !finished.first().first().toBool())
            return false;
        panel->show();
        panel->activateWindow();
        if (!QTest::qWaitForWindowActive(panel.get()))
            return false;
        // Every shown output group has one button checked once the first refresh is through.
        return QTest::qWaitFor(
            [this]
            {
                panel->OnWatchTick();
                for (QRadioButton* on : panel->findChildren<QRadioButton*>("onButton"))
                {
                    auto* off = on->parentWidget()->findChild<QRadioButton*>("offButton");
                    if (on->isVisible() && !on->isChecked() && !(off && off->isChecked()))
                        return false;
                }
                return true;
            },
            10000);
    }

    size_t Mark() const { return unit->sim->Log().Count(); }
    QStringList Sent(size_t mark) const
    {
        QStringList lines;
        const std::vector<std::string> all = unit->sim->Log().Lines();
        for (size_t i = mark; i < all.size(); ++i)
            lines << QString::fromStdString(all[i]);
        return lines;
    }
    // The badge's text once a refresh shows the wanted one (empty text: hidden).
    bool BadgeShows(const char* badge, const QString& text, int timeoutMs = 10000)
    {
        auto* label = Child<QLabel>(panel.get(), badge);
        return QTest::qWaitFor(
            [&]
            {
                panel->OnWatchTick();
                return text.isEmpty() ? !label->isVisible() : label->isVisible() && label->text() == text;
            },
            timeoutMs);
    }

    // Lines from the mark on that set something: the poll only asks, and selects the channel it asks.
    QStringList Commands(size_t mark) const
    {
        static const QRegularExpression channelSelect("^(TEC|LAS):CHAN \\d+$");
        QStringList found;
        const std::vector<std::string> lines = unit->sim->Log().Lines();
        for (size_t i = mark; i < lines.size(); ++i)
        {
            const QString line = QString::fromStdString(lines[i]);
            if (line.contains('?'))
                continue;
            for (const QString& field : line.split(';', Qt::SkipEmptyParts))
                if (!channelSelect.match(field.trimmed()).hasMatch())
                {
                    found << line;
                    break;
                }
        }
        return found;
    }

    // The output and mode buttons a user can reach.
    QList<QRadioButton*> Buttons() const
    {
        QList<QRadioButton*> reachable;
        for (QRadioButton* button : panel->findChildren<QRadioButton*>())
            if (button->isVisible() && button->isEnabled())
                reachable << button;
        return reachable;
    }

    // Which of the buttons are checked, in order.
    QList<bool> Checked() const
    {
        QList<bool> checked;
        for (QRadioButton* button : Buttons())
            checked << button->isChecked();
        return checked;
    }
};

void Wheel(QWidget* widget, int steps)
{
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, 120 * steps), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

void AddPanelKinds()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("model");
    QTest::newRow("TEC") << PanelType::TEC << "K760";
    QTest::newRow("laser") << PanelType::Laser << "D312";
    QTest::newRow("combo") << PanelType::Combo << "X510";
    QTest::newRow("OEM") << PanelType::Norlase << "OEM";
    QTest::newRow("M609") << PanelType::M609 << "M609";
    QTest::newRow("M607") << PanelType::M607 << "M607";
    QTest::newRow("M6x8") << PanelType::M6x8 << "M618";
}
} // namespace

class CSafeOperationTest : public QObject
{
    Q_OBJECT

private slots:
    void KeysWheelAndFocusNeverSwitch_data() { AddPanelKinds(); }
    void KeysWheelAndFocusNeverSwitch();
    void SpaceAndEnterOnTheFocusedButtonSwitch();
    void EscapeTakesBackTheEdit_data() { AddPanelKinds(); }
    void EscapeTakesBackTheEdit();
    void EscapeNeverQuits();
    void OutputStateAtAGlance();
    void LeavingWithOutputsOnIsSaid();
    void ExitWithOutputsOnIsSaid();
    void MultiChannelOutputsAreNamedAndSwitchedOff();
};

void CSafeOperationTest::KeysWheelAndFocusNeverSwitch()
{
    QFETCH(int, type);
    QFETCH(QString, model);
    SRig rig;
    QVERIFY2(rig.Start(type, model.toLatin1().constData()), qPrintable(rig.prompter.messages.join(" | ")));
    const QList<QRadioButton*> buttons = rig.Buttons();
    QVERIFY(buttons.size() >= 4); // an output pair and a mode group at least
    const QList<bool> checked = rig.Checked();
    const size_t mark = rig.Mark();
    for (QRadioButton* button : buttons)
    {
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Right, Qt::Key_Left, Qt::Key_Escape,
                            Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Home, Qt::Key_End, Qt::Key_PageDown})
        {
            button->setFocus(Qt::TabFocusReason);
            QTest::keyClick(QApplication::focusWidget(), key);
        }
        Wheel(button, 1);
        Wheel(button, -1);
        Wheel(button->parentWidget(), -3);
        QCOMPARE(rig.Checked(), checked);
    }
    rig.panel->OnWatchTick();
    QVERIFY2(rig.Commands(mark).isEmpty(), qPrintable(rig.Commands(mark).join(" | ")));
    QCOMPARE(rig.Checked(), checked);
    QVERIFY(rig.panel->IsConnected());
    QVERIFY(rig.prompter.messages.isEmpty());
}

void CSafeOperationTest::SpaceAndEnterOnTheFocusedButtonSwitch()
{
    SRig rig;
    QVERIFY(rig.Start(PanelType::TEC, "K760"));
    auto* on = Child<QRadioButton>(rig.panel.get(), "onButton");
    auto* off = Child<QRadioButton>(rig.panel.get(), "offButton");
    QVERIFY(off->isChecked());
    size_t mark = rig.Mark();
    on->setFocus(Qt::TabFocusReason);
    QTest::keyClick(on, Qt::Key_Space);
    QVERIFY(WidgetActions::RequestsDone());
    QCOMPARE(rig.Commands(mark), QStringList{"TEC:OUT 1"});

    // Enter on a focused button is the button's, not the panel's set-point action.
    QTRY_VERIFY_WITH_TIMEOUT((rig.panel->OnWatchTick(), on->isChecked()), 5000);
    mark = rig.Mark();
    QTest::keyClick(on, Qt::Key_Right); // only moves the focus
    QCOMPARE(QApplication::focusWidget(), off);
    QVERIFY(on->isChecked());
    QTest::keyClick(off, Qt::Key_Return);
    QVERIFY(WidgetActions::RequestsDone());
    QCOMPARE(rig.Commands(mark), QStringList{"TEC:OUT 0"});
}

void CSafeOperationTest::EscapeTakesBackTheEdit()
{
    QFETCH(int, type);
    QFETCH(QString, model);
    SRig rig;
    QVERIFY(rig.Start(type, model.toLatin1().constData()));
    const QList<QLineEdit*> fields = rig.panel->findChildren<QLineEdit*>("setPointEdit");
    QVERIFY(!fields.isEmpty());
    const size_t mark = rig.Mark();
    for (QLineEdit* field : fields)
    {
        if (!field->isVisible() || !field->isEnabled() || field->isReadOnly())
            continue;
        const QString before = field->text();
        Type(field, "1.5");
        QVERIFY(field->property("edited").toBool());
        QTest::keyClick(field, Qt::Key_Escape);
        QCOMPARE(field->text(), before);
        QVERIFY(!field->property("edited").toBool());
        // Enter after Escape has nothing to send.
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(WidgetActions::RequestsDone());
    }
    QVERIFY2(rig.Commands(mark).isEmpty(), qPrintable(rig.Commands(mark).join(" | ")));
    QVERIFY(rig.prompter.messages.isEmpty());
}

void CSafeOperationTest::EscapeNeverQuits()
{
    auto unit = SSimPort::OnPty("K760", Port);
    QVERIFY(unit);
    CMemoryProfile profile;
    CScriptedPrompter prompter;
    profile.WriteString("Settings", "Panels", std::to_string(PanelType::TEC));
    CTamrixControlHost host(SUiContext{profile, prompter});
    host.RestorePanels();
    host.show();
    host.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&host));
    QSignalSpy quit(&host, &CTamrixControlHost::quitFinished);
    CBasePanel* panel = host.PanelAt(0);

    // Disconnected: Escape on the panel and on the window.
    QTest::keyClick(panel, Qt::Key_Escape);
    QTest::keyClick(&host, Qt::Key_Escape);
    // Connected, with the focus in the set-point field.
    QSignalSpy finished(panel, &CBasePanel::connectFinished);
    QVERIFY(panel->Connect(unit->descriptor) && finished.wait(30000) && panel->IsConnected());
    auto* field = Child<QLineEdit>(panel, "setPointEdit");
    Type(field, "31");
    QTest::keyClick(field, Qt::Key_Escape);
    QTest::keyClick(panel, Qt::Key_Escape);

    QCOMPARE(quit.size(), 0);
    QVERIFY(prompter.questions.isEmpty());
    QVERIFY(host.isVisible());
    QVERIFY(panel->IsConnected());
    host.Quit(false);
}

void CSafeOperationTest::OutputStateAtAGlance()
{
    {
        SRig rig;
        QVERIFY(rig.Start(PanelType::Laser, "D312"));
        QVERIFY(rig.BadgeShows("laserOnBadge", QString()));
        rig.unit->sim->Request("LAS:OUT 1");
        QVERIFY(rig.BadgeShows("laserOnBadge", "LASER ON"));
        rig.unit->sim->Request("LAS:OUT 0");
        QVERIFY(rig.BadgeShows("laserOnBadge", QString()));
    }
    SRig rig;
    QVERIFY(rig.Start(PanelType::TEC, "K760"));
    QVERIFY(rig.BadgeShows("tecStateBadge", "OFF"));
    rig.unit->sim->Request("TEC:OUT 1");
    QVERIFY(rig.BadgeShows("tecStateBadge", "ON  IN TOL", 20000));
    // A set point far from T: out of tolerance whatever the unit's condition says yet.
    auto* field = Child<QLineEdit>(rig.panel.get(), "setPointEdit");
    Type(field, "45");
    rig.panel->OnSetPoint();
    QVERIFY(WidgetActions::RequestsDone());
    QVERIFY(rig.prompter.messages.isEmpty());
    QVERIFY(rig.BadgeShows("tecStateBadge", "ON  OUT OF TOL"));
    rig.unit->sim->Request("TEC:OUT 0");
    QVERIFY(rig.BadgeShows("tecStateBadge", "OFF"));
    rig.panel->Disconnect();
    QVERIFY(!Child<QLabel>(rig.panel.get(), "tecStateBadge")->isVisible());
}

void CSafeOperationTest::LeavingWithOutputsOnIsSaid()
{
    const auto bothOn = [](CSimInstrument& sim)
    {
        sim.Request("TEC:OUT 1");
        sim.Request("LAS:OUT 1");
    };
    {
        SRig rig;
        QVERIFY(rig.Start(PanelType::Combo, "X510", bothOn));
        QVERIFY(rig.BadgeShows("laserOnBadge", "LASER ON"));
        auto* connect = Child<QPushButton>(rig.panel.get(), "connectButton");
        const QString question = QString("Laser and TEC of the X510 on COM%1 are on; they stay on after you "
                                         "disconnect.")
                                     .arg(Port);

        // Cancel: still connected, nothing sent.
        size_t mark = rig.Mark();
        connect->click();
        QCOMPARE(rig.prompter.questions, QStringList{question});
        QVERIFY(rig.panel->IsConnected());
        QVERIFY(rig.Sent(mark).filter("OUT 0").isEmpty());

        // Switch off first: the laser, then the TEC, then the disconnect.
        rig.prompter.QueueOutputChoice(CPrompter::EOutputChoice::SwitchOff);
        mark = rig.Mark();
        connect->click();
        QVERIFY(!rig.panel->IsConnected());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->IsDisconnecting(), 5000);
        const QStringList offs = rig.Sent(mark).filter("OUT 0");
        QCOMPARE(offs, (QStringList{"LAS:OUT 0", "TEC:OUT 0"}));
    }

    // Close Panel with the TEC left on: named, left on by choice, the panel goes.
    SRig tec;
    QVERIFY(tec.Start(PanelType::TEC, "K760", [](CSimInstrument& sim) { sim.Request("TEC:OUT 1"); }));
    QVERIFY(QTest::qWaitFor(
        [&]
        {
            tec.panel->OnWatchTick();
            return tec.panel->OutputsOn() == QStringList{"TEC"};
        },
        10000));
    tec.prompter.QueueOutputChoice(CPrompter::EOutputChoice::LeaveOn);
    const size_t mark = tec.Mark();
    Child<QPushButton>(tec.panel.get(), "closePanelButton")->click();
    QVERIFY(WidgetActions::RequestsDone());
    QCOMPARE(
        tec.prompter.questions,
        QStringList{
            QString("TEC of the K760 on COM%1 is on; it stays on after you close the panel.").arg(Port)});
    QCOMPARE(tec.host.removed, std::vector<int>{0});
    QVERIFY(tec.Sent(mark).filter("OUT 0").isEmpty());
    QCOMPARE(tec.unit->sim->Request("TEC:OUT?"), std::string("1"));
}

void CSafeOperationTest::ExitWithOutputsOnIsSaid()
{
    auto unit = SSimPort::OnPty("D312", Port);
    QVERIFY(unit);
    unit->sim->Request("LAS:OUT 1");
    CMemoryProfile profile;
    CScriptedPrompter prompter;
    profile.WriteString("Settings", "Panels", std::to_string(PanelType::Laser));
    CTamrixControlHost host(SUiContext{profile, prompter});
    host.RestorePanels();
    CBasePanel* panel = host.PanelAt(0);
    QSignalSpy finished(panel, &CBasePanel::connectFinished);
    QVERIFY(panel->Connect(unit->descriptor) && finished.wait(30000) && panel->IsConnected());
    auto* badge = Child<QLabel>(panel, "laserOnBadge");
    QVERIFY(QTest::qWaitFor([&] { return panel->OnWatchTick(), badge->isVisibleTo(panel); }, 10000));

    QVERIFY(!host.Quit());
    QCOMPARE(prompter.questions,
             QStringList{QString("Laser of the D312 on COM%1 is on; it stays on after you exit.").arg(Port)});
    QVERIFY(panel->IsConnected());

    prompter.QueueOutputChoice(CPrompter::EOutputChoice::SwitchOff);
    const size_t mark = unit->sim->Log().Count();
    QVERIFY(host.Quit());
    QVERIFY(unit->sim->Log().WaitForText("LAS:OUT 0", std::chrono::seconds(2), mark) >= 0);
    QCOMPARE(unit->sim->Request("LAS:OUT?"), std::string("0"));
}

void CSafeOperationTest::MultiChannelOutputsAreNamedAndSwitchedOff()
{
    SRig rig;
    QVERIFY(rig.Start(PanelType::M6x8, "M618"));
    auto* panel = qobject_cast<CMultiChannelPanel*>(rig.panel.get());
    QVERIFY(panel);
    for (int k : {1, 3})
        Child<QRadioButton>(panel->LaserBlock(k), "onButton")->click();
    QVERIFY(WidgetActions::RequestsDone());
    QVERIFY(QTest::qWaitFor(
        [&]
        {
            panel->OnWatchTick();
            return panel->OutputsOn() == QStringList{"Laser 2", "Laser 4"};
        },
        10000));
    for (int k = 0; k < 4; ++k)
        QCOMPARE(Child<QLabel>(panel->LaserBlock(k), "laserOnBadge")->isVisible(), k == 1 || k == 3);

    rig.prompter.QueueOutputChoice(CPrompter::EOutputChoice::SwitchOff);
    const size_t mark = rig.Mark();
    Child<QPushButton>(panel, "connectButton")->click();
    QVERIFY(WidgetActions::RequestsDone());
    QCOMPARE(rig.prompter.questions,
             QStringList{QString("Laser 2 and Laser 4 of the M618 on COM%1 are on; they stay on after you "
                                 "disconnect.")
                             .arg(Port)});
    QCOMPARE(rig.Sent(mark).filter("OUT 0").size(), 2);
    QVERIFY(!panel->IsConnected());
}

QTEST_MAIN(CSafeOperationTest)
#include "safe_operation_test.moc"
