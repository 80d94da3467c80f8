// One panel's connection life cycle against simulated units: refusals with their texts, auto-connect,
// the connection watch, device removal, the error-log group, and a window that keeps running while a
// slow unit is probed.
#include "FakePanelHost.h"
#include "ScriptedPrompter.h"
#include "SimPort.h"
#include "StandInPanel.h"
#include "UiTestEnvironment.h"
#include "comm/PortResolver.h"
#include "comm/Serial.h"
#include "diag/MemoryProfile.h"
#include "instrument/session/InstrBase.h"
#include "ui/dialogs/ErrorLogDlg.h"
#include "ui/panels/PanelMessages.h"
#include "ui/panels/PanelTypes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <chrono>
#include <memory>
#include <unistd.h>

using namespace std::chrono_literals;

class BasePanelTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void connectsShowsModelAndDisconnectsToLocal();
    void noPortSelectedIsSaidSo();
    void portHeldByAnotherProgramIsInUse();
    void unreachableNetworkAddressIsNotAPortInUse();
    void autoConnectsOnTheFirstTick();
    void unpluggedPortDisconnectsAndLeavesTheList();
    void twoFailedPollsDisconnect();
    void portClosedUnderThePanelIsNamed();
    void errorLogGroupCountsErrors();
    void windowRunsWhileASlowUnitIsProbed();
    void unitOfNoPanelTypeIsUnknown();
    void savedSettingsHoldOnlyWhatWasChosen();
    void pollPeriodIsKeptWithThePanelAndGivenToItsInstrument();
    void pollPeriodBoxChangesTheRunningPoll();

private:
    std::unique_ptr<CStandInPanel> MakePanel(int type = PanelType::TEC, int index = 0);
    bool ConnectAndWait(CBasePanel& panel, const std::string& descriptor, int timeoutMs = 15000);

    CUiTestEnvironment m_environment;
    std::unique_ptr<CMemoryProfile> m_profile;
    CScriptedPrompter m_prompter;
    CFakePanelHost m_host;
};

std::unique_ptr<CStandInPanel> BasePanelTest::MakePanel(int type, int index)
{
    return std::make_unique<CStandInPanel>(SUiContext{*m_profile, m_prompter}, m_host, index, type);
}

bool BasePanelTest::ConnectAndWait(CBasePanel& panel, const std::string& descriptor, int timeoutMs)
{
    QSignalSpy finished(&panel, &CBasePanel::connectFinished);
    if (!panel.Connect(descriptor))
        return false;
    return finished.wait(timeoutMs) && finished.front().front().toBool();
}

void BasePanelTest::init()
{
    m_profile = std::make_unique<CMemoryProfile>();
    m_prompter.Reset();
    m_host = CFakePanelHost();
}

void BasePanelTest::cleanup()
{
    m_profile.reset();
}

void BasePanelTest::connectsShowsModelAndDisconnectsToLocal()
{
    auto unit = SSimPort::OnPty("K760", 211);
    QVERIFY(unit);
    auto panel = MakePanel();
    panel->FillPortList(unit->descriptor);
    QCOMPARE(panel->SelectedDescriptor(), unit->descriptor);
    panel->OnConnectButton();
    QVERIFY(panel->IsConnecting());
    QTRY_VERIFY_WITH_TIMEOUT(panel->IsConnected(), 15000);
    QCOMPARE(panel->findChild<QLabel*>("statusLine")->text(), QString("Connected to K760, S/N 76042"));
    QCOMPARE(panel->findChild<QPushButton*>("connectButton")->text(), QString("Disconnect"));
    QCOMPARE(m_profile->GetString("Panel0-2", "Connection"), unit->descriptor);
    QVERIFY(!panel->findChild<QComboBox*>("portList")->isEnabled());

    const size_t before = unit->sim->Log().Lines().size();
    panel->OnConnectButton();
    QVERIFY(!panel->IsConnected());
    QVERIFY(unit->sim->Log().WaitForText("LOCAL", 2s, before) >= 0);
    QCOMPARE(panel->findChild<QPushButton*>("connectButton")->text(), QString("Connect"));
    // The unit is let go on its own thread; the panel says so until the port is closed.
    QTRY_VERIFY_WITH_TIMEOUT(!panel->IsDisconnecting(), 5000);
    QVERIFY(panel->findChild<QLabel*>("statusLine")->text().isEmpty());
    QVERIFY(m_prompter.messages.isEmpty());
}

void BasePanelTest::noPortSelectedIsSaidSo()
{
    auto panel = MakePanel();
    panel->FillPortList("");
    QCOMPARE(panel->SelectedDescriptor(), std::string());
    QVERIFY(!panel->Connect());
    QCOMPARE(m_prompter.messages, QStringList{PanelMessages::NoPortSelected});
}

void BasePanelTest::portHeldByAnotherProgramIsInUse()
{
    auto unit = SSimPort::OnPty("K760", 212);
    QVERIFY(unit);
    CSerial other;
    QVERIFY(other.OpenDescriptor("COM:212:38400"));
    auto panel = MakePanel();
    QVERIFY(!ConnectAndWait(*panel, unit->descriptor));
    // The system's text, then which port and which panel.
    QCOMPARE(m_prompter.messages, QStringList{PanelMessages::PortInUse + " Port COM212, panel 1 (TEC)."});
    QVERIFY(!panel->IsConnected());
}

void BasePanelTest::unreachableNetworkAddressIsNotAPortInUse()
{
    auto panel = MakePanel();
    // A loopback port nobody listens on: the connection is refused at once.
    QVERIFY(!ConnectAndWait(*panel, "TCP:127.0.0.1:1 nowhere"));
    QCOMPARE(m_prompter.messages.size(), 1);
    QVERIFY2(m_prompter.messages.front().startsWith("Unable to connect to TCP/IP port"),
             qPrintable(m_prompter.messages.front()));
}

void BasePanelTest::autoConnectsOnTheFirstTick()
{
    auto unit = SSimPort::OnTcp("K760");
    QVERIFY(unit);
    m_profile->WriteString("IPAddresses", "IPAddress1", "127.0.0.1");
    m_profile->WriteInt("IPAddresses", "IPPort1", unit->sim->TcpPort());
    m_profile->WriteString("IPAddresses", "IPName1", "bench");
    m_profile->WriteInt("Panel0-2", "AutoConnect", 1);
    m_profile->WriteString("Panel0-2", "Connection", unit->descriptor);
    auto panel = MakePanel();
    QVERIFY(panel->SelectedDescriptor().rfind("TCP:127.0.0.1:", 0) == 0);
    // Not inside the construction: the connect starts from the event loop, at its first turn.
    QVERIFY(!panel->IsConnecting() && !panel->IsConnected());
    QTRY_VERIFY_WITH_TIMEOUT(panel->IsConnecting() || panel->IsConnected(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(panel->IsConnected(), 15000);
}

void BasePanelTest::unpluggedPortDisconnectsAndLeavesTheList()
{
    auto unit = SSimPort::OnPty("K760", 213);
    QVERIFY(unit);
    // The port's device node goes with the unit, as a USB adapter's does: a bare /dev/pts/N could be
    // handed to another program's terminal at once and look present again.
    QTemporaryDir folder;
    const std::string node = folder.filePath("ttyUSB-unit").toStdString();
    QVERIFY(::symlink(unit->sim->PtyPath().c_str(), node.c_str()) == 0);
    QVERIFY(CPortResolver::Register(213, node));
    auto panel = MakePanel();
    QVERIFY(ConnectAndWait(*panel, unit->descriptor));
    auto* list = panel->findChild<QComboBox*>("portList");
    const int row = list->findData(213);
    QVERIFY(row >= 0);
    const QString present = list->itemText(row);
    QVERIFY(unit->sim->Unplug());
    QVERIFY(::unlink(node.c_str()) == 0);
    panel->OnDeviceChange();
    QVERIFY(!panel->IsConnected());
    QCOMPARE(m_prompter.messages,
             QStringList{PanelMessages::UsbDisconnected + " Port COM213, panel 1 (TEC)."});
    // The chosen port stays chosen, marked missing and no longer offered, so the saved choice holds.
    QTRY_COMPARE_WITH_TIMEOUT(list->itemText(list->findData(213)), present + " - missing", 15000);
    QVERIFY(!(list->model()->flags(list->model()->index(list->findData(213), 0)) & Qt::ItemIsEnabled));
    QCOMPARE(panel->SelectedDescriptor(), unit->descriptor);
}

void BasePanelTest::twoFailedPollsDisconnect()
{
    auto unit = SSimPort::OnPty("K760", 214);
    QVERIFY(unit);
    auto panel = MakePanel();
    QVERIFY(ConnectAndWait(*panel, unit->descriptor));
    // Short time-outs, so the two failed queries come within seconds.
    panel->GetInstrument()->SetDefaultTimeout(100);
    unit->sim->Faults().silent = true;
    // Said from the first unanswered query, and unsaid when the unit answers again.
    QTRY_VERIFY_WITH_TIMEOUT(
        panel->findChild<QLabel*>("statusLine")->text().startsWith("No answer from the instrument for "),
        10000);
    unit->sim->Faults().silent = false;
    QTRY_VERIFY_WITH_TIMEOUT(
        panel->findChild<QLabel*>("statusLine")->text().startsWith("Connected to K760, S/N "), 5000);
    QVERIFY(panel->IsConnected());
    unit->sim->Faults().silent = true;
    QTRY_VERIFY_WITH_TIMEOUT(!panel->IsConnected(), 30000);
    QCOMPARE(m_prompter.messages,
             QStringList{PanelMessages::LostCommunications + " Port COM214, panel 1 (TEC)."});
    QVERIFY(panel->refreshes > 0);
}

void BasePanelTest::portClosedUnderThePanelIsNamed()
{
    auto unit = SSimPort::OnPty("D310", 219);
    QVERIFY(unit);
    auto panel = MakePanel(PanelType::Laser, 2);
    QVERIFY(ConnectAndWait(*panel, unit->descriptor));
    panel->GetInstrument()->GetPort().Close();
    panel->OnWatchTick();
    QVERIFY(!panel->IsConnected());
    QCOMPARE(m_prompter.messages,
             QStringList{"Unexpected disconnect from instrument. Port COM219, panel 3 (LASER)."});
}

void BasePanelTest::errorLogGroupCountsErrors()
{
    auto unit = SSimPort::OnPty("K760", 215);
    QVERIFY(unit);
    auto panel = MakePanel();
    QVERIFY(ConnectAndWait(*panel, unit->descriptor));
    auto* group = panel->findChild<QGroupBox*>("errorLogGroup");
    // An unknown command gets the unit's refusal, which the session's error check collects.
    panel->GetInstrument()->Command("NO:SUCH:COMMAND 1");
    QTRY_COMPARE_WITH_TIMEOUT(group->title(), QString("Error Log - 1 error (showing last error)"), 5000);
    QVERIFY(panel->findChild<QPushButton*>("showLogButton")->font().bold());
    QVERIFY(!panel->findChild<QLabel*>("lastErrorText")->text().isEmpty());
    QVERIFY(panel->findChild<QLabel*>("lastErrorTime")->text().startsWith("at "));
    panel->GetInstrument()->Command("NO:SUCH:COMMAND 2");
    QTRY_COMPARE_WITH_TIMEOUT(group->title(), QString("Error Log - 2 errors (showing last error)"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!panel->findChild<QPushButton*>("showLogButton")->font().bold(), 3000);
    QCOMPARE(m_prompter.beeps, 2);

    // Disconnected: the last error stays, marked as the last connection's, and the log can be read.
    auto* time = panel->findChild<QLabel*>("lastErrorTime");
    const QString at = time->text();
    panel->Disconnect();
    QCOMPARE(time->text(), at + " (last connection)");
    QVERIFY(!panel->findChild<QLabel*>("lastErrorText")->text().isEmpty());
    auto* showLog = panel->findChild<QPushButton*>("showLogButton");
    QVERIFY(showLog->isEnabled());
    QTest::mouseClick(showLog, Qt::LeftButton);
    QVERIFY(panel->ErrorLog()->isVisible());
    QCOMPARE(panel->ErrorLog()->LineCount(), 2);
    // Connected again: the mark goes.
    QTRY_VERIFY_WITH_TIMEOUT(!panel->IsDisconnecting(), 10000);
    QVERIFY(ConnectAndWait(*panel, unit->descriptor));
    QCOMPARE(time->text(), at);
}

void BasePanelTest::windowRunsWhileASlowUnitIsProbed()
{
    auto unit = SSimPort::OnPty("K760", 216);
    QVERIFY(unit);
    // A unit that answers every line late keeps the connect busy for seconds.
    unit->sim->Faults().delayMs = 150;
    auto panel = MakePanel();
    QSignalSpy finished(panel.get(), &CBasePanel::connectFinished);
    QVERIFY(panel->Connect(unit->descriptor));
    // A 50 ms timer keeps firing on time while detection waits on the silent unit.
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 worstGap = 0;
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout,
                     [&]
                     {
                         worstGap = std::max(worstGap, clock.elapsed() - last);
                         last = clock.elapsed();
                         ++ticks;
                     });
    timer.start(50);
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 20, 5000);
    QVERIFY2(m_prompter.messages.isEmpty(), qPrintable(m_prompter.messages.join("|")));
    QVERIFY2(worstGap < 500, qPrintable(QString("the event loop stalled for %1 ms").arg(worstGap)));
    QVERIFY(panel->IsConnecting());
    QVERIFY(!panel->findChild<QWidget*>("panelContent")->isEnabled());
    unit->sim->Faults().delayMs = 0;
    QVERIFY(finished.wait(60000));
    QVERIFY(panel->findChild<QWidget*>("panelContent")->isEnabled());
}

void BasePanelTest::unitOfNoPanelTypeIsUnknown()
{
    auto unit = SSimPort::OnPty("LPS", 217);
    QVERIFY(unit);
    auto panel = MakePanel(PanelType::Combo);
    QVERIFY(!ConnectAndWait(*panel, unit->descriptor));
    QCOMPARE(m_prompter.messages,
             QStringList{PanelMessages::UnknownController + " Port COM217, panel 1 (LASER + TEC)."});
    QVERIFY(m_host.replacements.empty());
}

void BasePanelTest::savedSettingsHoldOnlyWhatWasChosen()
{
    // Never opened, never placed: no place for the log; "<Select Port>": no connection at all.
    m_profile->WriteString("Panel0-3", "Connection", "COM:218:0");
    auto combo = MakePanel(PanelType::Combo);
    QCOMPARE(combo->findChild<QCheckBox*>("autoCheck")->text(), QString("Auto-Connect"));
    // A stored port that is not there now is kept (the unit may be unplugged), until the user chooses.
    combo->FillPortList("");
    QCOMPARE(combo->SelectedDescriptor(), std::string("COM:218:0"));
    auto* list = combo->findChild<QComboBox*>("portList");
    QCOMPARE(list->currentText(), QString("COM218 - missing"));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    QCOMPARE(list->currentText(), QString("<Select Port>"));
    combo->SaveOnClose();
    for (const char* key : {"ErrX", "ErrY", "Connection", "PollPeriod"})
        QCOMPARE(m_profile->GetString("Panel0-3", key, "none"), std::string("none"));

    // A stored place stays; a log shown once keeps where it was.
    m_profile->WriteInt("Panel0-2", "ErrX", 40);
    m_profile->WriteInt("Panel0-2", "ErrY", 50);
    auto tec = MakePanel(PanelType::TEC);
    QCOMPARE(tec->findChild<QCheckBox*>("autoCheck")->text(), QString("Auto"));
    tec->SaveOnClose();
    QCOMPARE(m_profile->GetInt("Panel0-2", "ErrX", -1), 40);
    QCOMPARE(m_profile->GetInt("Panel0-2", "ErrY", -1), 50);

    auto unit = SSimPort::OnPty("K760", 218);
    QVERIFY(unit);
    auto shown = MakePanel(PanelType::TEC, 1);
    QVERIFY(ConnectAndWait(*shown, unit->descriptor));
    shown->findChild<QPushButton*>("showLogButton")->click();
    QVERIFY(shown->ErrorLog()->isVisible());
    shown->ErrorLog()->move(70, 80);
    shown->SaveOnClose();
    QCOMPARE(m_profile->GetInt("Panel1-2", "ErrX", -1), shown->ErrorLog()->pos().x());
    QCOMPARE(m_profile->GetInt("Panel1-2", "ErrY", -1), shown->ErrorLog()->pos().y());
    QCOMPARE(m_profile->GetString("Panel1-2", "Connection"), unit->descriptor);
}

void BasePanelTest::pollPeriodIsKeptWithThePanelAndGivenToItsInstrument()
{
    auto unit = SSimPort::OnPty("K760", 210);
    QVERIFY(unit);
    m_profile->WriteInt("Panel0-2", "PollPeriod", 250);
    auto panel = MakePanel();
    QCOMPARE(panel->PollPeriodMs(), 250);
    QVERIFY(ConnectAndWait(*panel, unit->descriptor));
    QCOMPARE(panel->GetInstrument()->GetPollPeriodMs(), 250);

    // A change reaches the polling instrument; nothing polls faster than the floor.
    panel->SetPollPeriodMs(1);
    QCOMPARE(panel->GetInstrument()->GetPollPeriodMs(), CInstrBase::MinPollPeriodMs);
    panel->SaveOnClose();
    QCOMPARE(m_profile->GetInt("Panel0-2", "PollPeriod", -1), CInstrBase::MinPollPeriodMs);
    // Back at the default: nothing of it stays in the settings.
    panel->SetPollPeriodMs(CInstrBase::DefaultPollPeriodMs);
    panel->SaveOnClose();
    QCOMPARE(m_profile->GetInt("Panel0-2", "PollPeriod", -1), -1);

    m_profile->WriteInt("Panel1-2", "PollPeriod", 0);
    QCOMPARE(MakePanel(PanelType::TEC, 1)->PollPeriodMs(), CInstrBase::MinPollPeriodMs);
}

void BasePanelTest::pollPeriodBoxChangesTheRunningPoll()
{
    auto unit = SSimPort::OnPty("K760", 207);
    QVERIFY(unit);
    m_profile->WriteInt("Panel0-2", "PollPeriod", 250);
    auto panel = MakePanel();
    auto* box = panel->findChild<QSpinBox*>("pollPeriodSpin");
    QVERIFY(box);
    QCOMPARE(box->value(), 250);
    QCOMPARE(box->minimum(), CInstrBase::MinPollPeriodMs);
    QVERIFY(ConnectAndWait(*panel, unit->descriptor));
    QVERIFY(box->isEnabled());

    // Typed while connected: the polling instrument takes it, and Enter is not the panel's "Set".
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, "40");
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(panel->PollPeriodMs(), 40);
    QCOMPARE(panel->GetInstrument()->GetPollPeriodMs(), 40);
    QCOMPARE(panel->setPoints, 0);
    panel->SaveOnClose();
    QCOMPARE(m_profile->GetInt("Panel0-2", "PollPeriod", -1), 40);

    // A period set otherwise shows in the box.
    panel->SetPollPeriodMs(500);
    QCOMPARE(box->value(), 500);
}

QTEST_MAIN(BasePanelTest)
#include "base_panel_test.moc"
