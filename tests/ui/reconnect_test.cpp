// "Reconnect automatically": a panel that loses its unit waits for the same model and serial number to
// come back (on another port, or at its network address once the simulator runs there again), connects
// it, and the recording goes on in its file after one gap row. Without the option, or once the user
// disconnects or turns it off, the wait ends and so does the recording.
#include "FakePanelHost.h"
#include "RecordedFile.h"
#include "ScriptedPrompter.h"
#include "SimPort.h"
#include "UiTestEnvironment.h"
#include "comm/PortResolver.h"
#include "diag/MemoryProfile.h"
#include "instrument/session/InstrBase.h"
#include "instrument/session/ReconnectSearch.h"
#include "ui/panels/ComboPanel.h"
#include "ui/panels/PanelMessages.h"
#include "ui/panels/PanelReconnect.h"
#include "ui/panels/TECPanel.h"
#include "ui/widgets/TrendChart.h"
#include "ui/widgets/TrendRecordBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <memory>

namespace
{
CUiTestEnvironment g_environment;
// Ports 246-249 belong to this program.

// Long enough for several looks: a wait that went on would have connected by then.
constexpr int NoReconnectWithinMs = 4 * static_cast<int>(CReconnectSearch::RoundPeriod.count());

bool ConnectAndWait(CBasePanel& panel, const std::string& descriptor)
{
    QSignalSpy finished(&panel, &CBasePanel::connectFinished);
    return panel.Connect(descriptor) && finished.wait(20000) && finished.first().first().toBool();
}

QString Status(CBasePanel& panel)
{
    return panel.findChild<QLabel*>("statusLine")->text();
}

int GapRows(const SRecordedFile& file)
{
    int gaps = 0;
    for (const QStringList& row : file.rows)
        gaps += file.Field(row, "note").startsWith("gap: ") ? 1 : 0;
    return gaps;
}

// Rows of readings after the last gap row.
int RowsAfterGap(const SRecordedFile& file)
{
    int rows = 0;
    for (const QStringList& row : file.rows)
        rows = file.Field(row, "note").startsWith("gap: ") ? 0 : rows + 1;
    return rows;
}
} // namespace

class ReconnectTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_profile = std::make_unique<CMemoryProfile>();
        m_prompter.Reset();
    }

    void theOptionIsOffByDefaultAndSavedWithThePanel()
    {
        auto panel = NewTecPanel();
        auto* check = panel->findChild<QCheckBox*>("reconnectCheck");
        QCOMPARE(check->text(), QString("Reconnect automatically"));
        QVERIFY(!check->isChecked());
        check->click();
        panel->SaveOnClose();
        QCOMPARE(m_profile->GetInt("Panel0-2", "Reconnect", 0), 1);
        panel.reset();
        QVERIFY(NewTecPanel()->ReconnectsAutomatically());
    }

    // Unplugged, then back under another port number: the same panel, the same file.
    void anUnpluggedUnitComesBackOnANewPortAndTheRecordingGoesOn()
    {
        auto unit = SSimPort::OnPty("K910", 246);
        QVERIFY(unit);
        auto panel = NewTecPanel();
        panel->SetReconnectAutomatically(true);
        QVERIFY(ConnectAndWait(*panel, unit->descriptor));
        const QString serial = QString::fromStdString(panel->GetInstrument()->GetSerialNumber());
        QTemporaryDir dir;
        const QString path = dir.filePath("unplug.csv");
        QVERIFY(panel->StartRecording(path));
        QTRY_VERIFY_WITH_TIMEOUT(SRecordedFile::Read(path).rows.size() >= 2, 10000);

        const int tecT = panel->Trend()->FindSeries("T", QString::fromUtf8("°C"));
        QVERIFY(tecT >= 0);
        const size_t pointsBefore = panel->Trend()->Buffer(tecT).Points().size();
        QVERIFY(pointsBefore > 0);
        QVERIFY(unit->sim->Unplug());
        panel->OnDeviceChange();
        QVERIFY(panel->IsWaitingToReconnect());
        QVERIFY(!panel->IsConnected());
        QCOMPARE(Status(*panel),
                 PanelMessages::UsbDisconnected + " Waiting for K910 S/N " + serial + " to come back...");
        QCOMPARE(panel->findChild<QPushButton*>("connectButton")->text(), QString("Disconnect"));
        QVERIFY(!panel->findChild<QComboBox*>("portList")->isEnabled());
        // No box to dismiss: the status line says it.
        QVERIFY(m_prompter.messages.isEmpty());
        QVERIFY(panel->IsRecording());
        const SRecordedFile waiting = SRecordedFile::Read(path);
        QCOMPARE(waiting.Field(waiting.rows.last(), "note"), QString("gap: connection lost"));
        QVERIFY(panel->findChild<QLabel*>("recordStatus")->text().endsWith("(waiting for the instrument)"));

        // Its number goes with it: it comes back as another port.
        CPortResolver::Unregister(246);
        std::string error;
        QVERIFY2(unit->sim->Replug(error), error.c_str());
        QVERIFY(CPortResolver::Register(247, unit->sim->PtyPath()));
        QTRY_VERIFY_WITH_TIMEOUT(panel->IsConnected(), 30000);
        QVERIFY(!panel->IsWaitingToReconnect());
        QCOMPARE(Status(*panel), "Connected to K910, S/N " + serial);
        QCOMPARE(QString::fromStdString(panel->SelectedDescriptor()), QString("COM:247:0"));
        QCOMPARE(m_profile->GetString("Panel0-2", "Connection"), std::string("COM:247:0"));
        QTRY_VERIFY_WITH_TIMEOUT(RowsAfterGap(SRecordedFile::Read(path)) >= 2, 10000);
        QVERIFY(panel->IsRecording());
        const SRecordedFile file = SRecordedFile::Read(path);
        // One header, one gap row, readings on both sides of it.
        QCOMPARE(file.header.filter("# readings log").size(), 1);
        QCOMPARE(file.Header("model"), QString("K910"));
        QCOMPARE(GapRows(file), 1);
        QVERIFY(file.Field(file.rows.last(), "TEC T [°C]").contains('.'));
        // The trend's line breaks over the wait: the first reading after it does not join the last one.
        const auto& points = panel->Trend()->Buffer(tecT).Points();
        const auto isBreak = [](const CTrendBuffer::SPoint& point) { return std::isnan(point.value); };
        const auto after = std::find_if_not(points.begin() + static_cast<std::ptrdiff_t>(pointsBefore),
                                            points.end(), isBreak);
        QVERIFY(after != points.end());
        QVERIFY(isBreak(*(after - 1)));
        QVERIFY(m_prompter.messages.isEmpty());
        panel.reset();
        CPortResolver::Unregister(247);
    }

    // The simulator stopped, then started again on the same network port: found at the address, and a
    // unit of the same model with another serial number there is not taken for it.
    void aNetworkUnitIsFoundAgainAtItsAddressOnlyWithItsSerialNumber()
    {
        auto unit = SSimPort::OnTcp("X510");
        QVERIFY(unit);
        const int port = unit->sim->TcpPort();
        auto panel = std::make_unique<CComboPanel>(Context(), m_host, 0);
        panel->SetReconnectAutomatically(true);
        QVERIFY(ConnectAndWait(*panel, unit->descriptor));
        const std::string serial = panel->GetInstrument()->GetSerialNumber();
        QTemporaryDir dir;
        const QString path = dir.filePath("restart.csv");
        QVERIFY(panel->Tools()->StartRecording(path));
        QTRY_VERIFY_WITH_TIMEOUT(SRecordedFile::Read(path).rows.size() >= 2, 10000);

        unit->sim->Stop();
        QTRY_VERIFY_WITH_TIMEOUT(panel->IsWaitingToReconnect(), 30000);
        QVERIFY(panel->Tools()->IsRecording());

        std::string error;
        auto stranger = CSimInstrument::Create("X510");
        stranger->SetSerial(serial + "9");
        QVERIFY2(stranger->StartTcp("127.0.0.1", port, error), error.c_str());
        auto* wait = panel->findChild<CPanelReconnect*>();
        const int rounds = wait->Rounds();
        QTRY_VERIFY_WITH_TIMEOUT(wait->Rounds() >= rounds + 2 && !stranger->Log().Lines().empty(), 20000);
        QVERIFY(panel->IsWaitingToReconnect());
        QVERIFY(!panel->IsConnected());
        stranger->Stop();

        auto back = CSimInstrument::Create("X510");
        back->SetSerial(serial);
        QVERIFY2(back->StartTcp("127.0.0.1", port, error), error.c_str());
        QTRY_VERIFY_WITH_TIMEOUT(panel->IsConnected(), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(RowsAfterGap(SRecordedFile::Read(path)) >= 2, 10000);
        const SRecordedFile file = SRecordedFile::Read(path);
        QCOMPARE(GapRows(file), 1);
        QCOMPARE(file.header.filter("# readings log").size(), 1);
        QVERIFY(m_prompter.messages.isEmpty());
        panel.reset();
    }

    // Without the option a lost unit ends the connection and the recording, as it always did.
    void withoutTheOptionTheConnectionAndTheRecordingEnd()
    {
        auto unit = SSimPort::OnPty("K910", 248);
        QVERIFY(unit);
        auto panel = NewTecPanel();
        QVERIFY(ConnectAndWait(*panel, unit->descriptor));
        QTemporaryDir dir;
        const QString path = dir.filePath("off.csv");
        QVERIFY(panel->StartRecording(path));
        QTRY_VERIFY_WITH_TIMEOUT(SRecordedFile::Read(path).rows.size() >= 1, 10000);
        QVERIFY(unit->sim->Unplug());
        panel->OnDeviceChange();
        QVERIFY(!panel->IsWaitingToReconnect());
        QVERIFY(!panel->IsConnected());
        QVERIFY(!panel->IsRecording());
        QCOMPARE(m_prompter.messages.size(), 1);
        QVERIFY2(m_prompter.messages.first().startsWith(PanelMessages::UsbDisconnected),
                 qPrintable(m_prompter.messages.first()));
        const SRecordedFile file = SRecordedFile::Read(path);
        QCOMPARE(file.Field(file.rows.last(), "note"), QString("gap: disconnected"));

        std::string error;
        QVERIFY2(unit->sim->Replug(error), error.c_str());
        QVERIFY(CPortResolver::Register(248, unit->sim->PtyPath()));
        QSignalSpy connected(panel.get(), &CBasePanel::connectFinished);
        QVERIFY(!connected.wait(NoReconnectWithinMs));
    }

    // Disconnect while waiting, or the option turned off: the wait ends, and the recording with it.
    void theUserEndsTheWait_data()
    {
        QTest::addColumn<bool>("byButton");
        QTest::newRow("Disconnect") << true;
        QTest::newRow("option off") << false;
    }
    void theUserEndsTheWait()
    {
        QFETCH(bool, byButton);
        auto unit = SSimPort::OnPty("K910", 249);
        QVERIFY(unit);
        auto panel = NewTecPanel();
        panel->SetReconnectAutomatically(true);
        QVERIFY(ConnectAndWait(*panel, unit->descriptor));
        QTemporaryDir dir;
        const QString path = dir.filePath("ended.csv");
        QVERIFY(panel->StartRecording(path));
        QTRY_VERIFY_WITH_TIMEOUT(SRecordedFile::Read(path).rows.size() >= 1, 10000);
        QVERIFY(unit->sim->Unplug());
        panel->OnDeviceChange();
        QVERIFY(panel->IsWaitingToReconnect());

        if (byButton)
            panel->findChild<QPushButton*>("connectButton")->click();
        else
            panel->findChild<QCheckBox*>("reconnectCheck")->click();
        QVERIFY(!panel->IsWaitingToReconnect());
        QCOMPARE(panel->findChild<QPushButton*>("connectButton")->text(), QString("Connect"));
        QVERIFY(!Status(*panel).contains("Waiting"));
        QVERIFY(panel->findChild<QComboBox*>("portList")->isEnabled());
        QVERIFY(!panel->IsRecording());
        QVERIFY(panel->findChild<QLabel*>("recordStatus")->text().endsWith("(stopped: disconnected)"));
        // The gap the wait began is the file's last row, written once.
        const SRecordedFile file = SRecordedFile::Read(path);
        QCOMPARE(file.Field(file.rows.last(), "note"), QString("gap: connection lost"));
        QCOMPARE(GapRows(file), 1);

        std::string error;
        QVERIFY2(unit->sim->Replug(error), error.c_str());
        QVERIFY(CPortResolver::Register(249, unit->sim->PtyPath()));
        QSignalSpy connected(panel.get(), &CBasePanel::connectFinished);
        QVERIFY(!connected.wait(NoReconnectWithinMs));
        QVERIFY(m_prompter.messages.isEmpty());
    }

private:
    SUiContext Context() { return SUiContext{*m_profile, m_prompter}; }
    std::unique_ptr<CTECPanel> NewTecPanel() { return std::make_unique<CTECPanel>(Context(), m_host, 0); }

    std::unique_ptr<CMemoryProfile> m_profile;
    CScriptedPrompter m_prompter;
    CFakePanelHost m_host;
};

QTEST_MAIN(ReconnectTest)
#include "reconnect_test.moc"
