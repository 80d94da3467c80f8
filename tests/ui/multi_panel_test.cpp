// The multi-channel panels and the OEM laser panel against the simulated units over pseudo-terminals.
#include "FakePanelHost.h"
#include "ScriptedPrompter.h"
#include "SimInstrument.h"
#include "UiTestEnvironment.h"
#include "comm/PortResolver.h"
#include "diag/MemoryProfile.h"
#include "ui/app/TamrixControlHost.h"
#include "ui/app/UiContext.h"
#include "ui/panels/M607Panel.h"
#include "ui/panels/M609Panel.h"
#include "ui/panels/M6x8Panel.h"
#include "ui/panels/NorlasePanel.h"
#include "ui/panels/PanelTypes.h"

#include <QGroupBox>
#include <QSignalSpy>
#include <QtTest>
#include <chrono>
#include <memory>

using namespace std::chrono_literals;
using EKind = CMultiChannelPanel::EKind;

namespace
{
const CUiTestEnvironment environment;

// Ports 211-219 belong to this program.
constexpr int FirstPort = 211;

// The index of the first line received at or after `from` that equals the text, or -1.
long LineIndex(const CSimInstrument& sim, const std::string& text, size_t from = 0)
{
    return const_cast<CSimInstrument&>(sim).Log().WaitFor(
        [&](const std::string& line) { return line == text; }, 2s, from);
}
} // namespace

class CMultiPanelTest : public QObject
{
    Q_OBJECT

private:
    // A simulated unit on its own pseudo-terminal, registered as the next port number.
    std::unique_ptr<CSimInstrument> StartUnit(const std::string& model, std::string& descriptor)
    {
        auto sim = CSimInstrument::Create(model);
        std::string error;
        if (!sim || !sim->StartPty("", error))
            return nullptr;
        const int port = m_nextPort++;
        CPortResolver::Register(port, sim->PtyPath());
        descriptor = "COM:" + std::to_string(port) + ":0";
        return sim;
    }

    static bool Connect(CBasePanel& panel, const std::string& descriptor)
    {
        QSignalSpy finished(&panel, &CBasePanel::connectFinished);
        if (!panel.Connect(descriptor))
            return false;
        if (!finished.wait(20000))
            return false;
        return finished.first().first().toBool();
    }

    CMemoryProfile m_profile;
    CScriptedPrompter m_prompter;
    SUiContext m_context{m_profile, m_prompter};
    CFakePanelHost m_host;
    int m_nextPort = FirstPort;

private slots:
    void cleanup() { m_prompter.Reset(); }

    // Discovery decides: with channels 1, 2 and 4 of an M609 fitted, three blocks show, the third
    // driving channel 4; disconnected, the panel shows every slot again.
    void OnlyPresentChannelsAreShown()
    {
        std::string descriptor;
        auto sim = StartUnit("M609", descriptor);
        QVERIFY(sim);
        sim->SetFitted(ESimFamily::Tec, 0b1011);
        CM609Panel panel(m_context, m_host, 0);
        panel.show();
        QVERIFY(Connect(panel, descriptor));

        QCOMPARE(panel.PresentChannels(EKind::Tec), 3);
        QVERIFY(panel.BlockFrame(EKind::Tec, 0)->isVisible());
        QVERIFY(panel.BlockFrame(EKind::Tec, 2)->isVisible());
        QVERIFY(!panel.BlockFrame(EKind::Tec, 3)->isVisible());
        QCOMPARE(panel.BlockFrame(EKind::Tec, 2)->title(), QString("TEC Channel 4"));
        QCOMPARE(panel.ChannelNumber(EKind::Tec, 2), 4);

        panel.Disconnect();
        QVERIFY(panel.BlockFrame(EKind::Tec, 3)->isVisible());
        QCOMPARE(panel.BlockFrame(EKind::Tec, 2)->title(), QString("TEC Channel 3"));
        QVERIFY(m_prompter.messages.isEmpty());
    }

    // Each panel's own disconnect command goes out, error-checked, before the base panel's "LOCAL".
    void DisconnectSendsThePanelsCommandBeforeLocal_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("command");
        QTest::newRow("M609") << PanelType::M609 << "M609"
                              << "TEC:CHAN 1;LOCAL";
        QTest::newRow("M607") << PanelType::M607 << "M607"
                              << "las:chan 1;TEC:CHAN 1";
    }
    void DisconnectSendsThePanelsCommandBeforeLocal()
    {
        QFETCH(int, type);
        QFETCH(QString, model);
        QFETCH(QString, command);
        std::string descriptor;
        auto sim = StartUnit(model.toStdString(), descriptor);
        QVERIFY(sim);
        std::unique_ptr<CBasePanel> panel(type == PanelType::M609
                                              ? static_cast<CBasePanel*>(new CM609Panel(m_context, m_host, 0))
                                              : new CM607Panel(m_context, m_host, 0));
        QVERIFY(Connect(*panel, descriptor));
        const size_t before = sim->Log().Count();
        panel->Disconnect();
        const long own = LineIndex(*sim, command.toStdString(), before);
        QVERIFY(own >= 0);
        QCOMPARE(sim->Log().Lines().at(static_cast<size_t>(own) + 1), std::string("err?"));
        QVERIFY(LineIndex(*sim, "LOCAL", static_cast<size_t>(own)) > own);
        QVERIFY(!panel->IsConnected());
    }

    // The M6x8 panel sends nothing of its own: "LOCAL" is the first line of its disconnect.
    void M6x8DisconnectSendsOnlyLocal()
    {
        std::string descriptor;
        auto sim = StartUnit("M618", descriptor);
        QVERIFY(sim);
        CM6x8Panel panel(m_context, m_host, 0);
        QVERIFY(Connect(panel, descriptor));
        QCOMPARE(panel.PresentChannels(EKind::Laser), 4);
        QVERIFY(panel.GetLaser() != nullptr);
        QVERIFY(panel.GetTEC() == nullptr);
        panel.Disconnect();
        QVERIFY(LineIndex(*sim, "LOCAL") >= 0);
        const std::vector<std::string> lines = sim->Log().Lines();
        QVERIFY(std::none_of(lines.begin(), lines.end(),
                             [](const std::string& line)
                             { return line.find("LOCAL") != std::string::npos && line != "LOCAL"; }));
    }

    // A stored panel list naming type 4 brings the OEM panel back; the unit connects on it.
    void StoredListRestoresTheOemPanel()
    {
        CMemoryProfile profile;
        profile.WriteString("Settings", "Panels", "4");
        SUiContext context{profile, m_prompter};
        CTamrixControlHost host(context);
        host.RestorePanels();
        QCOMPARE(host.PanelCount(), 1);
        auto* panel = qobject_cast<CNorlasePanel*>(host.PanelAt(0));
        QVERIFY(panel);

        std::string descriptor;
        auto sim = StartUnit("OEM", descriptor);
        QVERIFY(sim);
        QVERIFY(Connect(*panel, descriptor));
        QCOMPARE(panel->PresentChannels(EKind::Laser), 2);
        QCOMPARE(panel->PresentChannels(EKind::Tec), 3);
        QCOMPARE(panel->BlockFrame(EKind::Tec, 2)->title(), QString("TEC (Crystal 2)"));
        QVERIFY(host.Quit(false));
    }
};

QTEST_MAIN(CMultiPanelTest)
#include "multi_panel_test.moc"
