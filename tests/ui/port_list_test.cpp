// The panels' port list: what each serial entry says (device, holder, missing), the Refresh entry, ports
// registered by tamrix-cli while the window runs, and a failed connect that names port and panel.
#include "FakePanelHost.h"
#include "ScriptedPrompter.h"
#include "SimPort.h"
#include "StandInPanel.h"
#include "UiTestEnvironment.h"
#include "WidgetActions.h"
#include "diag/MemoryProfile.h"
#include "ui/app/TamrixControlHost.h"
#include "ui/panels/PanelMessages.h"
#include "ui/panels/PanelTypes.h"
#include "ui/widgets/PortListBox.h"

#include <QComboBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <unistd.h>

namespace
{
QComboBox* PortList(QWidget* panel)
{
    return WidgetActions::Child<QComboBox>(panel, "portList");
}

QString EntryText(QComboBox* list, int port)
{
    const int row = list->findData(port);
    return row < 0 ? QString() : list->itemText(row);
}

bool EntryEnabled(QComboBox* list, int port)
{
    return list->model()->flags(list->model()->index(list->findData(port), 0)) & Qt::ItemIsEnabled;
}

// Moves through the closed list with the arrow keys, as a user does, until the port's entry is current.
bool ChooseByKeys(QComboBox* list, int port)
{
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    // Never onto "Connect via Network...", which would open its editor.
    for (int step = 0; step < list->count() && list->currentData().toInt() != port &&
                       list->itemData(list->currentIndex() + 1).toInt() > 0;
         ++step)
        QTest::keyClick(list, Qt::Key_Down);
    return list->currentData().toInt() == port;
}

// tamrix-cli with the test's settings folder (inherited); its exit code, or -1 when it did not end.
int RunCli(const QStringList& arguments)
{
    QProcess cli;
    cli.start(TAMRIX_CLI_EXE, arguments);
    if (!cli.waitForFinished(15000))
    {
        cli.kill();
        cli.waitForFinished(5000);
        return -1;
    }
    return cli.exitCode();
}

// Its instrument object is made, then the unit's port goes away before the connect opens it.
class CPortVanishingPanel : public CStandInPanel
{
public:
    CPortVanishingPanel(const SUiContext& context, IPanelHost& host, CSimInstrument& sim)
        : CStandInPanel(context, host, 0, PanelType::TEC), m_sim(sim)
    {
    }

    bool CreateInstrument(const SIdentRecord& record, CInstrBase*& instrument) override
    {
        const bool made = CBasePanel::CreateInstrument(record, instrument);
        m_sim.Unplug();
        return made;
    }

private:
    CSimInstrument& m_sim;
};
} // namespace

class PortListTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void entriesNameTheDeviceAndThePanelHoldingIt();
    void refreshEntryRereadsTheListAndKeepsTheChoice();
    void portsRegisteredWhileRunningComeAndGo();
    void failedConnectNamesPortAndPanel();

private:
    std::unique_ptr<CTamrixControlHost> MakeHost(const char* panels);

    CUiTestEnvironment m_environment;
    std::unique_ptr<CMemoryProfile> m_profile;
    CScriptedPrompter m_prompter;
    // Cancels any dialog an arrow key opens ("Connect via Network..."), so no test waits on one.
    QTimer m_dialogCloser;
};

void PortListTest::init()
{
    m_profile = std::make_unique<CMemoryProfile>();
    m_prompter.Reset();
    m_dialogCloser.disconnect();
    connect(&m_dialogCloser, &QTimer::timeout, this,
            []
            {
                if (QWidget* dialog = QApplication::activeModalWidget())
                    QTest::keyClick(dialog, Qt::Key_Escape);
            });
    m_dialogCloser.start(50);
}

void PortListTest::cleanup()
{
    m_dialogCloser.stop();
    m_profile.reset();
}

std::unique_ptr<CTamrixControlHost> PortListTest::MakeHost(const char* panels)
{
    m_profile->WriteString("Settings", "Panels", panels);
    auto host =
        std::make_unique<CTamrixControlHost>(SUiContext{*m_profile, m_prompter}, CStandInPanel::Create);
    host->RestorePanels();
    return host;
}

void PortListTest::entriesNameTheDeviceAndThePanelHoldingIt()
{
    auto unit = SSimPort::OnPty("K760", 221);
    QVERIFY(unit);
    auto host = MakeHost("2,2,2");
    QComboBox* first = PortList(host->PanelAt(0));
    QComboBox* third = PortList(host->PanelAt(2));
    const QString entry = "COM221 (" + QString::fromStdString(unit->sim->PtyPath()) + ")";
    QCOMPARE(EntryText(third, 221), entry);

    QSignalSpy finished(host->PanelAt(0), &CBasePanel::connectFinished);
    QVERIFY(ChooseByKeys(first, 221));
    host->PanelAt(0)->OnConnectButton();
    QVERIFY(finished.wait(15000));
    QVERIFY(host->PanelAt(0)->IsConnected());
    // The others say who has it; the holder's own list does not.
    QTRY_COMPARE_WITH_TIMEOUT(EntryText(third, 221), entry + " - in use by panel 1", 3000);
    QCOMPARE(EntryText(PortList(host->PanelAt(1)), 221), entry + " - in use by panel 1");
    QCOMPARE(EntryText(first, 221), entry);

    // Panels renumbered after a removal are named by their new numbers.
    host->RemovePanel(1);
    QCOMPARE(EntryText(PortList(host->PanelAt(1)), 221), entry + " - in use by panel 1");
    host->PanelAt(0)->OnConnectButton();
    QVERIFY(!host->PanelAt(0)->IsConnected());
    QTRY_COMPARE_WITH_TIMEOUT(EntryText(PortList(host->PanelAt(1)), 221), entry, 3000);
    QVERIFY(m_prompter.messages.isEmpty());
}

void PortListTest::refreshEntryRereadsTheListAndKeepsTheChoice()
{
    auto chosen = SSimPort::OnPty("K760", 222);
    QVERIFY(chosen);
    CFakePanelHost host;
    CStandInPanel panel(SUiContext{*m_profile, m_prompter}, host, 0, PanelType::TEC);
    QComboBox* list = PortList(&panel);
    QVERIFY(ChooseByKeys(list, 222));
    QCOMPARE(list->itemText(list->count() - 1), QString("Refresh"));

    auto later = SSimPort::OnPty("K760", 223);
    QVERIFY(later);
    host.holders[222] = 3;
    QCOMPARE(list->findData(223), -1);
    QTest::keyClick(list, Qt::Key_End);
    QVERIFY(list->findData(223) > 0);
    QCOMPARE(EntryText(list, 222),
             "COM222 (" + QString::fromStdString(chosen->sim->PtyPath()) + ") - in use by panel 4");
    QCOMPARE(list->currentData().toInt(), 222);
    QCOMPARE(panel.SelectedDescriptor(), chosen->descriptor);
    // "Connect via Network..." reached with the arrows and cancelled goes back to the choice before it.
    int opened = 0;
    const auto watch = connect(
        list, &QComboBox::activated, this,
        [&](int row) { opened += list->itemData(row).toInt() == CPortListBox::ItemConnectViaNetwork; });
    int before = 0;
    for (int step = 0; step < list->count() && opened == 0; ++step)
    {
        before = list->currentData().toInt();
        QTest::keyClick(list, Qt::Key_Down);
    }
    disconnect(watch);
    QCOMPARE(opened, 1);
    QVERIFY(before > 0);
    QCOMPARE(list->currentData().toInt(), before);
}

void PortListTest::portsRegisteredWhileRunningComeAndGo()
{
    auto chosen = SSimPort::OnPty("K760", 224);
    QVERIFY(chosen);
    auto sim = CSimInstrument::Create("K760");
    std::string error;
    QVERIFY(sim && sim->StartPty("", error));
    // Registered through a link that goes with the unit, so that another program's new terminal taking
    // the same number cannot bring the entry back.
    QTemporaryDir folder;
    const std::string node = folder.filePath("unit").toStdString();
    QVERIFY(::symlink(sim->PtyPath().c_str(), node.c_str()) == 0);
    const QString path = QString::fromStdString(node);
    auto host = MakeHost("2");
    host->StartPortWatch();
    QComboBox* list = PortList(host->PanelAt(0));
    QVERIFY(ChooseByKeys(list, 224));

    QCOMPARE(RunCli({"ports", "add", "225", path}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(EntryText(list, 225), "COM225 (" + path + ")", 6000);
    QCOMPARE(list->currentData().toInt(), 224);

    // The simulator ends: its terminal goes, the entry stays named but cannot be chosen.
    sim.reset();
    QVERIFY(::unlink(node.c_str()) == 0);
    QTRY_COMPARE_WITH_TIMEOUT(EntryText(list, 225), "COM225 (" + path + ") - missing", 6000);
    QVERIFY(!EntryEnabled(list, 225));
    QCOMPARE(list->currentData().toInt(), 224);
    // Down to the end of the list: the missing entry is stepped over (the editor the last step opens
    // is cancelled and the choice goes back).
    for (int step = 0; step < list->count(); ++step)
    {
        QTest::keyClick(list, Qt::Key_Down);
        QVERIFY(list->currentData().toInt() != 225);
    }
    QVERIFY(ChooseByKeys(list, 224));

    QCOMPARE(RunCli({"ports", "remove", "225"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(list->findData(225), -1, 6000);
    QCOMPARE(host->PanelAt(0)->SelectedDescriptor(), chosen->descriptor);
}

void PortListTest::failedConnectNamesPortAndPanel()
{
    auto unit = SSimPort::OnPty("K760", 226);
    QVERIFY(unit);
    CFakePanelHost host;
    CPortVanishingPanel panel(SUiContext{*m_profile, m_prompter}, host, *unit->sim);
    QSignalSpy finished(&panel, &CBasePanel::connectFinished);
    QVERIFY(panel.Connect(unit->descriptor));
    QVERIFY(finished.wait(15000));
    QVERIFY(!finished.front().front().toBool());
    QCOMPARE(m_prompter.messages, QStringList{PanelMessages::ConnectFailed + " Port COM226, panel 1 (TEC)."});
}

QTEST_MAIN(PortListTest)
#include "port_list_test.moc"
