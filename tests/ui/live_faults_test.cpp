// Faults that come and go while a panel is connected, switched under its running poll: a unit that
// falls silent has its readings shown as not live and comes back once it answers again; replies later
// than the time-out count as unanswered and end the connection with one message; a reply dropped now
// and then costs neither the connection nor a message.
#include "SimPanelRig.h"
#include "UiTestEnvironment.h"
#include "instrument/session/InstrBase.h"
#include "ui/panels/PanelMessages.h"
#include "ui/panels/TECPanel.h"

#include <QLabel>
#include <QtTest>

namespace
{
const CUiTestEnvironment environment;
// Ports 170-172 belong to this program.
constexpr int Port = 170;

QString Text(CBasePanel& panel, const char* name)
{
    return panel.findChild<QLabel*>(name)->text();
}

// A temperature the panel vouches for, rather than "---" or nothing.
bool ReadingIsLive(CBasePanel& panel)
{
    const QString reading = Text(panel, "tField");
    return !reading.isEmpty() && reading != "---";
}

bool SaysConnected(CBasePanel& panel)
{
    return Text(panel, "statusLine").startsWith("Connected to K760, S/N ");
}

// The TEC panel connected, with short time-outs so that faults show within seconds, and its readings
// live before the fault is switched on.
bool StartLive(CSimPanelRig<CTECPanel>& rig)
{
    if (!rig.Start("K760"))
        return false;
    rig.panel->GetInstrument()->SetDefaultTimeout(300);
    return QTest::qWaitFor([&rig] { return ReadingIsLive(*rig.panel) && SaysConnected(*rig.panel); }, 10000);
}

// Enough poll queries reached the unit since the mark for a fault to have struck several times.
bool QueriesPassed(CSimPanelRig<CTECPanel>& rig, size_t count)
{
    const size_t mark = rig.Mark();
    return QTest::qWaitFor([&] { return rig.Mark() >= mark + count; }, 30000);
}
} // namespace

class CLiveFaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void silentUnitIsNotLiveUntilItAnswersAgain();
    void repliesLaterThanTheTimeOutEndTheConnection();
    void repliesDroppedNowAndThenKeepTheConnection();
};

void CLiveFaultsTest::silentUnitIsNotLiveUntilItAnswersAgain()
{
    CSimPanelRig<CTECPanel> rig(Port);
    QVERIFY(StartLive(rig));
    rig.panel->SetReconnectAutomatically(true);

    rig.sim->Faults().silent = true;
    QTRY_VERIFY_WITH_TIMEOUT(!ReadingIsLive(*rig.panel), 10000);
    QVERIFY(!SaysConnected(*rig.panel));
    // Still the unit's panel: connected, or waiting for the same unit to answer.
    QVERIFY(rig.panel->IsConnected() || rig.panel->IsWaitingToReconnect());

    rig.sim->Faults().silent = false;
    QTRY_VERIFY_WITH_TIMEOUT(
        rig.panel->IsConnected() && ReadingIsLive(*rig.panel) && SaysConnected(*rig.panel), 30000);
    QVERIFY(rig.prompter.messages.isEmpty());
}

void CLiveFaultsTest::repliesLaterThanTheTimeOutEndTheConnection()
{
    CSimPanelRig<CTECPanel> rig(Port + 1);
    QVERIFY(StartLive(rig));

    // Slower than usual but within the time-out: nothing changes.
    rig.sim->Faults().delayMs = 100;
    QVERIFY(QueriesPassed(rig, 10));
    QVERIFY(rig.panel->IsConnected());
    QVERIFY(ReadingIsLive(*rig.panel));
    QVERIFY(rig.prompter.messages.isEmpty());

    // Far past the time-out, and past the query's retries with it: each reply comes after its query was
    // given up, which is no answer at all.
    rig.sim->Faults().delayMs = 3000;
    QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->IsConnected(), 30000);
    QVERIFY(!ReadingIsLive(*rig.panel));
    QCOMPARE(rig.prompter.messages,
             QStringList{PanelMessages::LostCommunications + " Port COM171, panel 1 (TEC)."});
    rig.sim->Faults().delayMs = 0;
}

void CLiveFaultsTest::repliesDroppedNowAndThenKeepTheConnection()
{
    CSimPanelRig<CTECPanel> rig(Port + 2);
    QVERIFY(StartLive(rig));

    rig.sim->Faults().dropEvery = 3;
    QVERIFY(QueriesPassed(rig, 30));
    QVERIFY(rig.panel->IsConnected());
    QVERIFY(rig.prompter.messages.isEmpty());

    rig.sim->Faults().dropEvery = 0;
    QTRY_VERIFY_WITH_TIMEOUT(ReadingIsLive(*rig.panel) && SaysConnected(*rig.panel), 10000);
    QVERIFY(rig.prompter.messages.isEmpty());
}

QTEST_MAIN(CLiveFaultsTest)
#include "live_faults_test.moc"
