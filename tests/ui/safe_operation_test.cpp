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
#include "ui/app/UiContext.h"
#include "ui/panels/BasePanel.h"
#include "ui/panels/PanelFactory.h"
#include "ui/panels/PanelTypes.h"

#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QWheelEvent>
#include <QtTest>
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

    bool Start(int type, const char* model)
    {
        unit = SSimPort::OnPty(model, Port);
        if (!unit)
            return false;
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
    QCOMPARE(rig.Commands(mark), QStringList{"TEC:OUT 1"});

    // Enter on a focused button is the button's, not the panel's set-point action.
    QTRY_VERIFY_WITH_TIMEOUT((rig.panel->OnWatchTick(), on->isChecked()), 5000);
    mark = rig.Mark();
    QTest::keyClick(on, Qt::Key_Right); // only moves the focus
    QCOMPARE(QApplication::focusWidget(), off);
    QVERIFY(on->isChecked());
    QTest::keyClick(off, Qt::Key_Return);
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

QTEST_MAIN(CSafeOperationTest)
#include "safe_operation_test.moc"
