// The multi-channel panels and the OEM laser panel against the simulated units over pseudo-terminals.
#include "FakePanelHost.h"
#include "RecordedFile.h"
#include "ScriptedPrompter.h"
#include "SimInstrument.h"
#include "UiTestEnvironment.h"
#include "WidgetActions.h"
#include "comm/PortResolver.h"
#include "diag/MemoryProfile.h"
#include "instrument/session/InstrBase.h"
#include "ui/app/TamrixControlHost.h"
#include "ui/common/UiContext.h"
#include "ui/dialogs/LaserSettingsDlg.h"
#include "ui/dialogs/SettingsSheet.h"
#include "ui/panels/M607Panel.h"
#include "ui/panels/M609Panel.h"
#include "ui/panels/M6x8Panel.h"
#include "ui/panels/NorlasePanel.h"
#include "ui/panels/PanelFactory.h"
#include "ui/panels/PanelTypes.h"
#include "ui/panels/parts/LaserBlock.h"
#include "ui/panels/parts/TecBlock.h"
#include "ui/widgets/TrendChart.h"
#include "ui/widgets/TrendRecordBar.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <chrono>
#include <cmath>
#include <memory>

using namespace std::chrono_literals;
using EKind = CMultiChannelPanel::EKind;

namespace
{
using WidgetActions::Child;
using WidgetActions::Type;
const CUiTestEnvironment environment;

// Ports 211-219 belong to this program.
constexpr int FirstPort = 211;

// The index of the first line received at or after `from` that equals the text, or -1.
long LineIndex(const CSimInstrument& sim, const std::string& text, size_t from = 0)
{
    return const_cast<CSimInstrument&>(sim).Log().WaitFor(
        [&](const std::string& line) { return line == text; }, 2s, from);
}

// Lines received at or after `from` that contain the text.
std::vector<std::string> LinesWith(CSimInstrument& sim, const std::string& text, size_t from)
{
    std::vector<std::string> found;
    const std::vector<std::string> lines = sim.Log().Lines();
    for (size_t i = from; i < lines.size(); ++i)
        if (lines[i].find(text) != std::string::npos)
            found.push_back(lines[i]);
    return found;
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

QLineEdit* SetPointEdit(QWidget* block)
{
    return block->findChild<QLineEdit*>("setPointEdit");
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

    bool Connect(CBasePanel& panel, const std::string& descriptor)
    {
        QSignalSpy finished(&panel, &CBasePanel::connectFinished);
        const bool connected =
            panel.Connect(descriptor) && finished.wait(20000) && finished.first().first().toBool();
        if (!connected)
            qWarning("connect to %s failed; messages: %s", descriptor.c_str(),
                     qPrintable(m_prompter.messages.join(" | ")));
        return connected;
    }

    // Connected, with the first poll cycle's readings shown (a forced refresh).
    std::unique_ptr<CMultiChannelPanel> ConnectedPanel(int type, CSimInstrument& sim,
                                                       const std::string& descriptor)
    {
        std::unique_ptr<CMultiChannelPanel> panel(
            qobject_cast<CMultiChannelPanel*>(CreatePanel(type, m_context, m_host, 0, nullptr)));
        if (!panel || !Connect(*panel, descriptor) || !WaitAndRefresh(*panel))
            return nullptr;
        (void)sim;
        return panel;
    }

    static bool WaitAndRefresh(CMultiChannelPanel& panel)
    {
        const auto polled = [&] { return panel.GetInstrument() && panel.GetInstrument()->GetUserFlag(); };
        if (!QTest::qWaitFor(polled, 10000))
            return false;
        panel.Refresh();
        return true;
    }

    // Types the text into the block's set-point field and presses Enter there.
    static bool TypeAndEnter(CMultiChannelPanel& panel, QWidget* block, const QString& text)
    {
        panel.show();
        panel.activateWindow();
        QLineEdit* edit = SetPointEdit(block);
        edit->setFocus();
        if (!QTest::qWaitFor([edit] { return edit->hasFocus(); }, 2000))
            return false;
        edit->clear();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
        return WidgetActions::RequestsDone();
    }

    CMemoryProfile m_profile;
    CScriptedPrompter m_prompter;
    SUiContext m_context{m_profile, m_prompter};
    CFakePanelHost m_host;
    int m_nextPort = FirstPort;

private slots:
    void cleanup()
    {
        m_prompter.Reset();
        QLocale::setDefault(QLocale::c());
    }

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
        // Sent on the instrument's strand: the lines arrive after Disconnect has returned.
        const long own = LineIndex(*sim, command.toStdString(), before);
        QVERIFY(own >= 0);
        QCOMPARE(LineIndex(*sim, "err?", static_cast<size_t>(own) + 1), own + 1);
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

    // Set points cached before a disconnect are forgotten: after a new connection every block's field
    // shows the unit's set point again, though the unit's value never changed.
    void ReconnectRewritesEverySetPoint_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("model");
        QTest::newRow("M609") << PanelType::M609 << "M609";
        QTest::newRow("M607") << PanelType::M607 << "M607";
        QTest::newRow("M618") << PanelType::M6x8 << "M618";
        QTest::newRow("OEM") << PanelType::Norlase << "OEM";
    }
    void ReconnectRewritesEverySetPoint()
    {
        QFETCH(int, type);
        QFETCH(QString, model);
        std::string descriptor;
        auto sim = StartUnit(model.toStdString(), descriptor);
        QVERIFY(sim);
        auto panel = ConnectedPanel(type, *sim, descriptor);
        QVERIFY(panel);
        std::vector<QWidget*> blocks;
        for (int k = 0; panel->TecBlock(k); ++k)
            blocks.push_back(panel->TecBlock(k));
        for (int k = 0; panel->LaserBlock(k); ++k)
            blocks.push_back(panel->LaserBlock(k));
        QStringList shown;
        for (QWidget* block : blocks)
        {
            QVERIFY(!SetPointEdit(block)->text().isEmpty());
            shown << SetPointEdit(block)->text();
        }

        panel->Disconnect();
        QVERIFY(Connect(*panel, descriptor));
        QVERIFY(WaitAndRefresh(*panel));
        for (size_t i = 0; i < blocks.size(); ++i)
            QCOMPARE(SetPointEdit(blocks[i])->text(), shown[static_cast<int>(i)]);
        QVERIFY(m_prompter.messages.isEmpty());
    }

    // Enter acts on the block whose set-point field has the focus, on that block's channel only.
    void EnterSendsTheFocusedBlocksSetPoint_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("tec");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<bool>("german");
        QTest::newRow("M609 TEC 2") << PanelType::M609 << "M609" << true << "31.5"
                                    << "TEC:T "
                                    << "31.5" << false;
        QTest::newRow("M607 TEC 2") << PanelType::M607 << "M607" << true << "31.5"
                                    << "TEC:T "
                                    << "31.5" << false;
        QTest::newRow("M607 laser 2") << PanelType::M607 << "M607" << false << "12.5"
                                      << "LAS:LDI "
                                      << "12.5" << false;
        QTest::newRow("M618 laser 2") << PanelType::M6x8 << "M618" << false << "12.5"
                                      << "LAS:LDI "
                                      << "12.5" << false;
        // Typed with a decimal comma, sent with a point.
        QTest::newRow("M609 TEC 2, de_DE") << PanelType::M609 << "M609" << true << "31,5"
                                           << "TEC:T "
                                           << "31.5" << true;
    }
    void EnterSendsTheFocusedBlocksSetPoint()
    {
        QFETCH(int, type);
        QFETCH(QString, model);
        QFETCH(bool, tec);
        QFETCH(QString, value);
        QFETCH(QString, command);
        QFETCH(QString, sent);
        QFETCH(bool, german);
        if (german)
            QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        std::string descriptor;
        auto sim = StartUnit(model.toStdString(), descriptor);
        QVERIFY(sim);
        auto panel = ConnectedPanel(type, *sim, descriptor);
        QVERIFY(panel);
        QWidget* block = tec ? static_cast<QWidget*>(panel->TecBlock(1)) : panel->LaserBlock(1);
        const size_t before = sim->Log().Count();
        QVERIFY(TypeAndEnter(*panel, block, value));

        QVERIFY(sim->Log().WaitForText(command.toStdString() + sent.toStdString(), 3s, before) >= 0);
        const std::string prefix = tec ? "TEC:CHAN 2;" : "LAS:CHAN 2;";
        for (const std::string& line : LinesWith(*sim, command.toStdString(), before))
            QVERIFY2(StartsWith(line, prefix + command.toStdString()), line.c_str());
        QVERIFY(m_prompter.messages.isEmpty());

        // With the focus outside every set-point field, Enter sends nothing.
        panel->setFocus();
        const size_t after = sim->Log().Count();
        QTest::keyClick(panel.get(), Qt::Key_Return);
        QVERIFY(WidgetActions::RequestsDone());
        QVERIFY(LinesWith(*sim, command.toStdString(), after).empty());
    }

    // The OEM unit's two lasers have their own bounds: the 20A block refuses what is above its
    // channel's limit while the 500mA block accepts the same value within its own.
    void OemLaserBlocksCheckTheirOwnBounds()
    {
        std::string descriptor;
        auto sim = StartUnit("OEM", descriptor);
        QVERIFY(sim);
        sim->Request("LAS:CHAN 1;LAS:LIM:LDI 1000");
        sim->Request("LAS:CHAN 2;LAS:LIM:LDI 300");
        auto panel = ConnectedPanel(PanelType::Norlase, *sim, descriptor);
        QVERIFY(panel);

        size_t before = sim->Log().Count();
        QVERIFY(TypeAndEnter(*panel, panel->LaserBlock(1), "400"));
        QCOMPARE(m_prompter.messages.size(), 1);
        QCOMPARE(m_prompter.messages.first(), CLaserBlock::LimitsMessage.arg("0", "300", "mA"));
        QVERIFY(LinesWith(*sim, "LAS:LDI ", before).empty());

        before = sim->Log().Count();
        QVERIFY(TypeAndEnter(*panel, panel->LaserBlock(0), "400"));
        QVERIFY(sim->Log().WaitForText("LAS:CHAN 1;LAS:LDI 400", 3s, before) >= 0);
        QCOMPARE(m_prompter.messages.size(), 1);

        // The 500mA block's mode buttons act on its own channel, whichever block refreshed last.
        panel->LaserBlock(1)->Refresh(false);
        before = sim->Log().Count();
        panel->LaserBlock(0)->findChild<QAbstractButton*>("imModeButton")->click();
        QVERIFY(WidgetActions::RequestsDone());
        QVERIFY(sim->Log().WaitForText("LAS:MODE:MDI", 3s, before) >= 0);
        for (const std::string& line : LinesWith(*sim, "LAS:MODE:", before))
            QVERIFY2(StartsWith(line, "LAS:CHAN 1;"), line.c_str());
    }

    // The settings sheet of the third block names channel 3 and, though other blocks refresh (each
    // selecting its own channel) while it is open, OK writes to channel 3 only.
    void SettingsSheetWritesToItsOwnChannel_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("tec");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("M609 TEC 3") << PanelType::M609 << "M609" << true << "TEC Settings for Channel 3"
                                    << "iteLimitEdit"
                                    << "TEC:LIM:ITE "
                                    << "TEC:CHAN 3;";
        QTest::newRow("M618 laser 3") << PanelType::M6x8 << "M618" << false << "Laser Settings for Channel 3"
                                      << "ioLimitEdit"
                                      << "LAS:LIM:LDI "
                                      << "LAS:CHAN 3;";
    }
    void SettingsSheetWritesToItsOwnChannel()
    {
        QFETCH(int, type);
        QFETCH(QString, model);
        QFETCH(bool, tec);
        QFETCH(QString, caption);
        QFETCH(QString, edit);
        QFETCH(QString, command);
        QFETCH(QString, prefix);
        std::string descriptor;
        auto sim = StartUnit(model.toStdString(), descriptor);
        QVERIFY(sim);
        auto panel = ConnectedPanel(type, *sim, descriptor);
        QVERIFY(panel);
        const EKind kind = tec ? EKind::Tec : EKind::Laser;
        std::unique_ptr<CSettingsSheet> sheet = panel->MakeSettingsSheet(kind, 2);
        QVERIFY(sheet);
        QCOMPARE(sheet->windowTitle(), caption);
        QVERIFY(sheet->LoadPages());
        QTRY_VERIFY_WITH_TIMEOUT(sheet->IsLoaded(), 30000);
        auto* field = sheet->findChild<QLineEdit*>(edit);
        QVERIFY(field);
        Type(field, "1.5");

        const size_t before = sim->Log().Count();
        for (int k = 0; k < 2; ++k)
        {
            if (tec)
                panel->TecBlock(k)->Refresh(false);
            else
                panel->LaserBlock(k)->Refresh(false);
        }
        sheet->OnOk();
        QTRY_VERIFY_WITH_TIMEOUT(!sheet->IsWriting(), 30000);
        QVERIFY2(m_prompter.messages.isEmpty(), qPrintable(m_prompter.messages.join('|')));
        QCOMPARE(sheet->result(), int(QDialog::Accepted));
        QVERIFY(sim->Log().WaitForText(command.toStdString(), 3s, before) >= 0);
        for (const std::string& line : LinesWith(*sim, command.toStdString(), before))
            QVERIFY2(StartsWith(line, prefix.toStdString()), line.c_str());
        QVERIFY(m_prompter.messages.isEmpty());

        // The block's own button runs the same sheet.
        const char* button = tec ? "tecSettingsButton" : "laserSettingsButton";
        QWidget* block = tec ? static_cast<QWidget*>(panel->TecBlock(2)) : panel->LaserBlock(2);
        QString shownCaption;
        QTimer::singleShot(0,
                           [&shownCaption]
                           {
                               if (QWidget* modal = QApplication::activeModalWidget())
                               {
                                   shownCaption = modal->windowTitle();
                                   modal->close();
                               }
                           });
        QTest::mouseClick(block->findChild<QPushButton*>(button), Qt::LeftButton);
        QCOMPARE(shownCaption, caption);
    }

    // "Combo Settings..." of the OEM panel: one page per channel, every page validated before any
    // writes, each page writing to its own channel.
    void OemComboSettingsValidateEveryPageFirst()
    {
        std::string descriptor;
        auto sim = StartUnit("OEM", descriptor);
        QVERIFY(sim);
        auto panel = ConnectedPanel(PanelType::Norlase, *sim, descriptor);
        QVERIFY(panel);
        std::unique_ptr<CSettingsSheet> sheet = static_cast<CNorlasePanel*>(panel.get())->MakeComboSheet();
        QVERIFY(sheet->LoadPages());
        QTRY_VERIFY_WITH_TIMEOUT(sheet->IsLoaded(), 30000);
        auto* tabs = sheet->findChild<QTabWidget*>();
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 5);
        QCOMPARE(tabs->tabText(1), QString("TEC (Crystal 1)"));
        QCOMPARE(tabs->tabText(4), QString("20A Laser"));
        auto* crystal = tabs->widget(1)->findChild<QLineEdit*>("iteLimitEdit");
        auto* laser20 = tabs->widget(4)->findChild<QLineEdit*>("ioLimitEdit");
        QVERIFY(crystal && laser20);
        Type(crystal, "1.5");
        Type(laser20, "12x");

        size_t before = sim->Log().Count();
        panel->Refresh();
        sheet->OnOk();
        QTRY_VERIFY_WITH_TIMEOUT(!sheet->IsWriting(), 30000);
        QVERIFY2(m_prompter.messages.size() == 1, qPrintable(m_prompter.messages.join('|')));
        QVERIFY(sheet->result() != int(QDialog::Accepted));
        QVERIFY2(tabs->currentIndex() == 4, qPrintable(m_prompter.messages.join('|')));
        QVERIFY(LinesWith(*sim, "TEC:LIM:ITE ", before).empty());

        Type(laser20, "300");
        before = sim->Log().Count();
        panel->Refresh();
        sheet->OnOk();
        QTRY_VERIFY_WITH_TIMEOUT(!sheet->IsWriting(), 30000);
        QCOMPARE(sheet->result(), int(QDialog::Accepted));
        QVERIFY(sim->Log().WaitForText("TEC:CHAN 2;TEC:LIM:ITE 1.5", 3s, before) >= 0);
        QVERIFY(sim->Log().WaitForText("LAS:CHAN 2;LAS:LIM:LDI 300", 3s, before) >= 0);
        QCOMPARE(LinesWith(*sim, "TEC:LIM:ITE ", before).size(), size_t(1));
        QCOMPARE(LinesWith(*sim, "LAS:LIM:LDI ", before).size(), size_t(1));
    }

    // "Record..." writes every present channel into one file: a column group per channel, numbered as
    // the unit numbers them, and one row per refresh.
    void RecordWritesEveryPresentChannel()
    {
        std::string descriptor;
        auto sim = StartUnit("M609", descriptor);
        QVERIFY(sim);
        sim->SetFitted(ESimFamily::Tec, 0b1011);
        auto panel = ConnectedPanel(PanelType::M609, *sim, descriptor);
        QVERIFY(panel);
        QTemporaryDir dir;
        const QString path = dir.filePath("channels.csv");
        QVERIFY(panel->Tools()->StartRecording(path));
        for (int row = 0; row < 3; ++row)
            panel->Refresh();
        const SRecordedFile file = SRecordedFile::Read(path);
        QCOMPARE(file.rows.size(), 3);
        QCOMPARE(file.Header("model"), QString("M609"));
        QCOMPARE(file.Header("channels"), QString("TEC1, TEC2, TEC4"));
        const QString columns = file.columns.join(',');
        for (const char* column :
             {"TEC1 T [°C]", "TEC2 T [°C]", "TEC4 T [°C]", "TEC4 T set [°C]", "TEC4 mode"})
            QVERIFY2(file.columns.contains(QString::fromUtf8(column)), qPrintable(columns));
        for (const char* unit : {"TEC1 T=°C", "TEC2 ITE set=A", "TEC4 V=V"})
            QVERIFY2(file.Header("units").contains(QString::fromUtf8(unit)), unit);
        QVERIFY(!columns.contains("TEC3"));
        QCOMPARE(file.rows[2].size(), file.columns.size());
        // The trend draws one temperature per present channel and keeps every other reading to choose.
        const CTrendChart* trend = panel->Tools()->Trend();
        const QString degrees = QString::fromUtf8("\u00b0C");
        for (const char* channel : {"TEC 1 T", "TEC 2 T", "TEC 4 T"})
        {
            const int series = trend->FindSeries(channel, degrees);
            QVERIFY2(series >= 0 && trend->IsShown(series) && trend->Buffer(series).Appended() >= 1, channel);
        }
        QVERIFY(trend->FindSeries("TEC 4 VTE", "V") >= 0 &&
                !trend->IsShown(trend->FindSeries("TEC 4 VTE", "V")));
        QCOMPARE(trend->FindSeries("TEC 3 T", degrees), -1);

        // Polling held for the whole unit: one gap row for every channel, however many ticks pass.
        QVERIFY(panel->GetInstrument()->HoldPause(5000));
        panel->Refresh();
        panel->Refresh();
        panel->GetInstrument()->ReleasePause();
        const SRecordedFile paused = SRecordedFile::Read(path);
        QCOMPARE(paused.rows.size(), 4);
        QCOMPARE(paused.rows.last().size(), paused.columns.size());
        QCOMPARE(paused.Field(paused.rows.last(), "note"), QString("gap: polling paused"));
        QCOMPARE(paused.Field(paused.rows.last(), "TEC4 T [°C]"), QString());
        // The trend's lines break over the pause instead of joining across it.
        const int t4 = trend->FindSeries("TEC 4 T", degrees);
        QVERIFY(std::isnan(trend->Buffer(t4).Points().back().value));

        panel->Disconnect();
        QVERIFY(!panel->Tools()->IsRecording());
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
