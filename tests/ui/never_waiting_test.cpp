// The window never waits on an instrument: a set point, an output switch and a disconnect sent to a unit
// that has stopped answering leave the event loop running, show that they are under way, and end
// cleanly; a dialog that talks to the unit holds the panel's own requests back until it is done.
#include "SimCommandRegistry.h"
#include "SimPanelRig.h"
#include "SimResult.h"
#include "UiTestEnvironment.h"
#include "WidgetActions.h"
#include "instrument/session/InstrBase.h"
#include "instrument/session/RequestStrand.h"
#include "ui/dialogs/PollPause.h"
#include "ui/dialogs/QCWParametersDlg.h"
#include "ui/dialogs/TECSettingsDlg.h"
#include "ui/panels/LaserPanel.h"
#include "ui/panels/M609Panel.h"
#include "ui/panels/TECPanel.h"
#include "ui/panels/parts/LaserBlock.h"
#include "ui/panels/parts/TecBlock.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

namespace
{
using WidgetActions::Child;
using WidgetActions::Type;

const CUiTestEnvironment environment;
// Ports 241-245 and 250-252 belong to this program.
constexpr int Port = 241;
constexpr int MultiChannelPort = 250;
constexpr int PagePort = 251;
constexpr int QuitPort = 252;

// Counts the turns of the event loop while a condition is awaited: a window that waits on the unit
// has none to show until the unit's time-outs have run out.
class CLoopTurns
{
public:
    CLoopTurns()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { ++m_turns; });
        m_timer.start(5);
    }
    int Turns() const { return m_turns; }

private:
    QTimer m_timer;
    int m_turns = 0;
};
} // namespace

class CNeverWaitingTest : public QObject
{
    Q_OBJECT

private slots:
    void SetPointToASilentUnitKeepsTheWindowRunning();
    void LaserOutputToASilentUnitKeepsTheWindowRunning();
    void DisconnectFromASilentUnitDoesNotWait();
    void MultiChannelGoodbyeToASilentUnitDoesNotWait();
    void ADialogHoldsThePanelsRequestsBack();
    void TheInstrumentOutlivesAMessageBoxOfADialog();
    void SettingsWrittenToASilentUnitKeepTheWindowRunning();
    void QuittingWhileAPageReadsFromASilentUnitIsBounded();
};

void CNeverWaitingTest::SetPointToASilentUnitKeepsTheWindowRunning()
{
    CSimPanelRig<CTECPanel> rig(Port);
    QVERIFY(rig.Start("K760"));
    QLineEdit* field = Child<QLineEdit>(rig.panel.get(), "setPointEdit");
    QPushButton* set = Child<QPushButton>(rig.panel.get(), "setButton");
    QTRY_VERIFY_WITH_TIMEOUT(!field->text().isEmpty() && field->text() != "---", 10000);
    const QString held = field->text();

    rig.sim->Faults().silent = true;
    Type(field, "31");
    const CLoopTurns turns;
    QTest::mouseClick(set, Qt::LeftButton);
    // At once: the request is under way, its controls wait for it, and the window goes on.
    QVERIFY(rig.panel->Block()->IsBusy());
    QVERIFY(!set->isEnabled());
    QVERIFY(field->isReadOnly());
    QTRY_VERIFY_WITH_TIMEOUT(turns.Turns() >= 20, 2000);
    QVERIFY(rig.panel->Block()->IsBusy());
    // A second Enter meanwhile asks nothing more of the unit.
    rig.panel->OnSetPoint();

    // The unit never answers: the request ends with a message (the limits could not be read, or the
    // panel gave the unit up), and the typed value is never shown as taken.
    QVERIFY(WidgetActions::RequestsDone(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!rig.prompter.messages.isEmpty(), 30000);
    QVERIFY(field->text() == held || field->text().isEmpty());
    rig.sim->Faults().silent = false;
}

void CNeverWaitingTest::LaserOutputToASilentUnitKeepsTheWindowRunning()
{
    CSimPanelRig<CLaserPanel> rig(Port + 1);
    QVERIFY(rig.Start("D310"));
    QRadioButton* on = Child<QRadioButton>(rig.panel.get(), "onButton");
    QRadioButton* off = Child<QRadioButton>(rig.panel.get(), "offButton");
    QTRY_VERIFY_WITH_TIMEOUT(off->isChecked(), 10000);

    rig.sim->Faults().silent = true;
    const CLoopTurns turns;
    on->click();
    QVERIFY(rig.panel->Block()->IsBusy());
    QVERIFY(!on->isEnabled() && !off->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(turns.Turns() >= 20, 2000);
    QVERIFY(WidgetActions::RequestsDone(30000));
    // Never confirmed: the laser is not shown as on. Off while the panel still holds the unit; once it
    // gave a unit up that stayed silent, neither state is shown.
    QVERIFY(!on->isChecked());
    QVERIFY(off->isChecked() || !rig.panel->IsConnected());
    rig.sim->Faults().silent = false;
}

void CNeverWaitingTest::DisconnectFromASilentUnitDoesNotWait()
{
    CSimPanelRig<CTECPanel> rig(Port + 2);
    QVERIFY(rig.Start("K760"));
    auto* status = Child<QLabel>(rig.panel.get(), "statusLine");
    rig.sim->Faults().silent = true;
    const CLoopTurns turns;
    rig.panel->Disconnect();
    QVERIFY(!rig.panel->IsConnected());
    QVERIFY(rig.panel->IsDisconnecting());
    QCOMPARE(status->text(), QString("Disconnecting..."));
    QTRY_VERIFY_WITH_TIMEOUT(turns.Turns() >= 20, 2000);
    // The poll thread's stop is bounded: the port is let go, and the panel says nothing more.
    QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->IsDisconnecting(), 40000);
    QVERIFY(status->text().isEmpty());
    QVERIFY(rig.prompter.messages.isEmpty());
    rig.sim->Faults().silent = false;
}

// A multi-channel unit's own goodbye goes out on the instrument's strand like every other request.
void CNeverWaitingTest::MultiChannelGoodbyeToASilentUnitDoesNotWait()
{
    CSimPanelRig<CM609Panel> rig(MultiChannelPort);
    QVERIFY(rig.Start("M609"));
    rig.sim->Faults().silent = true;
    QElapsedTimer clock;
    clock.start();
    rig.panel->Disconnect();
    // A wait for the silent unit's answer would have taken the command's whole time-out.
    QVERIFY2(clock.elapsed() < CInstrBase::DefaultTimeoutMs / 2,
             qPrintable(QString::number(clock.elapsed())));
    QVERIFY(rig.panel->IsDisconnecting());
    QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->IsDisconnecting(), 40000);
    QVERIFY(rig.prompter.messages.isEmpty());
    rig.sim->Faults().silent = false;
}

void CNeverWaitingTest::ADialogHoldsThePanelsRequestsBack()
{
    CSimPanelRig<CTECPanel> rig(Port + 3);
    QVERIFY(rig.Start("K760"));
    QLineEdit* field = Child<QLineEdit>(rig.panel.get(), "setPointEdit");
    QTRY_VERIFY_WITH_TIMEOUT(!field->text().isEmpty() && field->text() != "---", 10000);
    std::weak_ptr<CInstrBase> instrument = rig.panel->Link().instrument;
    size_t mark = 0;
    {
        // As a settings page does while it reads or writes.
        const CPollPause pause(rig.panel->GetInstrument(), rig.panel->Link());
        QVERIFY(rig.panel->GetInstrument()->IsPaused());
        mark = rig.Mark();
        Type(field, "32");
        rig.panel->OnSetPoint();
        QVERIFY(rig.panel->Block()->IsBusy());
        QTest::qWait(0); // one turn of the loop: the request may not pass the held strand
        QVERIFY(rig.Sent(mark, "TEC:T 32").isEmpty());

        // The panel lets the instrument go meanwhile: the pause still has it, and gives it back.
        rig.panel->Disconnect();
        QVERIFY(!instrument.expired());
    }
    QVERIFY(WidgetActions::RequestsDone());
    QTRY_VERIFY_WITH_TIMEOUT(instrument.expired(), 40000);
    QVERIFY(CRequestStrand::WaitForAll(10000));
}

void CNeverWaitingTest::TheInstrumentOutlivesAMessageBoxOfADialog()
{
    CSimPanelRig<CLaserPanel> rig(Port + 4);
    QVERIFY(rig.Start("D310"));
    // The unit's pulse bounds cannot be read: the pulse dialog says so once its reads are back.
    rig.sim->Engine().WithRegistry(
        [](CSimCommandRegistry& registry)
        {
            registry.Add("LAS:QCWMIN?",
                         [](CSimUnit&, int, std::string_view) { return SSimResult::Answer("busy"); });
        });
    std::weak_ptr<CInstrBase> instrument = rig.panel->Link().instrument;
    // A lost connection or an unplug while the box is open lets the panel's instrument go.
    rig.prompter.whileShown = [&] { rig.panel->Disconnect(); };
    CQCWParametersDlg dialog(rig.context, rig.panel->Block()->Access());
    QVERIFY(dialog.Load());
    QVERIFY(!dialog.IsLoaded());
    QCOMPARE(Child<QLabel>(&dialog, "readingLabel")->text(), QString("Reading..."));
    QTRY_COMPARE_WITH_TIMEOUT(dialog.result(), int(CQCWParametersDlg::LostResult), 30000);
    rig.prompter.whileShown = nullptr;
    QCOMPARE(rig.prompter.messages, QStringList{CQCWParametersDlg::BoundsUnreadableMessage});
    QVERIFY(!dialog.IsLoaded());
    // Nothing held it: the instrument is disconnected and goes.
    QTRY_VERIFY_WITH_TIMEOUT(instrument.expired(), 40000);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->IsDisconnecting(), 5000);
}

void CNeverWaitingTest::SettingsWrittenToASilentUnitKeepTheWindowRunning()
{
    CSimPanelRig<CTECPanel> rig(PagePort);
    QVERIFY(rig.Start("K760"));
    CTECSettingsDlg dialog(rig.context, rig.panel->Block()->Access(), rig.panel.get());
    QVERIFY(dialog.Load());
    QTRY_VERIFY_WITH_TIMEOUT(dialog.IsLoaded(), 30000);
    Type(Child<QLineEdit>(&dialog, "tolTimeEdit"), "7");
    Type(Child<QLineEdit>(&dialog, "tHighEdit"), "79");

    rig.sim->Faults().silent = true;
    const CLoopTurns turns;
    QTest::mouseClick(Child<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
    // At once: the page waits for its writes, disabled, and the window goes on.
    QVERIFY(dialog.IsWriting());
    QCOMPARE(Child<QLabel>(&dialog, "readingLabel")->text(), QString("Writing..."));
    QVERIFY(!Child<QLineEdit>(&dialog, "tolTimeEdit")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(turns.Turns() >= 20, 2000);
    QVERIFY(dialog.IsWriting());
    // A second OK meanwhile writes nothing more.
    dialog.accept();

    // The unit never answers: the writes end (with the refusal of the first value, or the panel gives the
    // unit up first), nothing is taken as written, and the user is told.
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsWriting(), 60000);
    QVERIFY(dialog.result() != QDialog::Accepted);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.prompter.messages.isEmpty(), 30000);
    const QString said = rig.prompter.messages.join('|');
    QVERIFY2(said.contains("T high limit") || said.contains("Lost communications"), qPrintable(said));
    QCOMPARE(Child<QLineEdit>(&dialog, "tolTimeEdit")->text(), QString("7"));
    rig.sim->Faults().silent = false;
}

// What the end of the program does (the window closes its panels, then gives the instruments a bounded
// wait) while a settings page still reads from a unit that has stopped answering.
void CNeverWaitingTest::QuittingWhileAPageReadsFromASilentUnitIsBounded()
{
    CSimPanelRig<CTECPanel> rig(QuitPort);
    QVERIFY(rig.Start("K760"));
    rig.sim->Faults().silent = true;
    QPointer<CTECSettingsDlg> page =
        new CTECSettingsDlg(rig.context, rig.panel->Block()->Access(), rig.panel.get());
    QVERIFY(page->Load());
    QVERIFY(!page->IsLoaded());
    std::weak_ptr<CInstrBase> instrument = rig.panel->Link().instrument;

    QElapsedTimer clock;
    clock.start();
    rig.panel.reset();
    // The panel and its page are gone at once; the read still under way keeps the instrument alive
    // rather than leaving it to a freed panel.
    QVERIFY(page.isNull());
    QVERIFY(clock.elapsed() < 1000);
    QVERIFY(!instrument.expired());
    QVERIFY(!CRequestStrand::WaitForAll(500));
    QVERIFY(clock.elapsed() < 3000);

    // The unit answers again: the read ends, nothing is handed to the page that is gone, and the
    // instrument says goodbye and goes.
    rig.sim->Faults().silent = false;
    QVERIFY(CRequestStrand::WaitForAll(90000));
    QTRY_VERIFY_WITH_TIMEOUT(instrument.expired(), 10000);
}

QTEST_MAIN(CNeverWaitingTest)
#include "never_waiting_test.moc"
