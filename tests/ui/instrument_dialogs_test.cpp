// The information dialog and the terminal against a simulated laser driver on a pseudo-terminal, and
// the terminal alone on a bare pseudo-terminal where every byte it writes can be read back.
#include "FakePanelHost.h"
#include "ScriptedPrompter.h"
#include "SimInstrument.h"
#include "UiTestEnvironment.h"
#include "WidgetActions.h"
#include "comm/PortResolver.h"
#include "comm/Serial.h"
#include "diag/MemoryProfile.h"
#include "instrument/laser/Laser.h"
#include "instrument/session/DetectInstrument.h"
#include "instrument/session/InstrumentFactory.h"
#include "instrument/session/RequestStrand.h"
#include "support/PtyPair.h"
#include "ui/dialogs/EchoEdit.h"
#include "ui/dialogs/InstrInfoDlg.h"
#include "ui/dialogs/Terminal.h"
#include "ui/panels/BasePanel.h"
#include "ui/panels/PanelTypes.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <chrono>

static CUiTestEnvironment environment;

using namespace std::chrono_literals;

namespace
{
constexpr int SimPort = 231;

// A plain panel standing in for the laser panel: the dialogs need only its instrument and laser side.
class CTestPanel : public CBasePanel
{
public:
    CTestPanel(const SUiContext& context, IPanelHost& host) : CBasePanel(context, host, 0, PanelType::Laser)
    {
        FinishInit("Error log for test");
    }
    CLaser* GetLaser() const override { return dynamic_cast<CLaser*>(GetInstrument()); }
};

// Lines the unit received from index `from` on that contain the text.
int CountLines(const CSimLineLog& log, size_t from, const std::string& text)
{
    const std::vector<std::string> lines = log.Lines();
    int count = 0;
    for (size_t i = from; i < lines.size(); ++i)
        count += lines[i].find(text) != std::string::npos ? 1 : 0;
    return count;
}

// Fixed pitch as Qt reports it, whenever the machine has a family it reports as fixed pitch (a sans
// mono that fontconfig spaces as "dual" is not one), and narrow and wide letters equally wide.
void VerifyFixedPitch(const QFont& font)
{
    const QStringList families = QFontDatabase::families();
    if (std::any_of(families.begin(), families.end(),
                    [](const QString& f) { return QFontDatabase::isFixedPitch(f); }))
        QVERIFY2(QFontInfo(font).fixedPitch(), qPrintable(QFontInfo(font).family()));
    const QFontMetricsF metrics(font);
    QCOMPARE(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'));
}
} // namespace

class InstrumentDialogsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CSimInstrument> m_sim;
    std::string m_identity;
    CMemoryProfile m_profile;
    CScriptedPrompter m_prompter;
    CFakePanelHost m_host;
    SUiContext m_context{m_profile, m_prompter};
    std::unique_ptr<CTestPanel> m_panel;

    // The panel's instrument, connected and polling, as after "Connect".
    CInstrBase* ConnectPanel()
    {
        // The instrument of the test before lets go of the port on its own thread.
        if (!CRequestStrand::WaitForAll(30000))
            return nullptr;
        const std::string descriptor = "COM:" + std::to_string(SimPort) + ":0";
        SIdentRecord record;
        DetectInstrument(descriptor, record);
        CInstrBase* instrument = CreateInstrumentObject(record.familyCode, record.modelCode,
                                                        record.variantCode, record.versionMajor);
        if (!instrument)
            return nullptr;
        if (!instrument->Connect(descriptor))
        {
            delete instrument;
            return nullptr;
        }
        instrument->StartBackgroundThread(CInstrBase::DefaultPollPeriodMs);
        m_panel->SetInstrument(instrument);
        return instrument;
    }

    // Sends a query and waits for its answer: every command handed over before it has reached the unit.
    void Fence(CInstrBase& instrument) { QVERIFY(!instrument.Query("*IDN?").empty()); }

private slots:
    void initTestCase()
    {
        m_sim = CSimInstrument::Create("D312");
        QVERIFY(m_sim);
        std::string error;
        QVERIFY2(m_sim->StartPty("", error), error.c_str());
        QVERIFY(CPortResolver::Register(SimPort, m_sim->PtyPath()));
        m_identity = m_sim->Request("*IDN?");
    }

    void init()
    {
        m_prompter.Reset();
        m_panel = std::make_unique<CTestPanel>(m_context, m_host);
    }

    void cleanup()
    {
        m_panel.reset();
        // The panel's instrument disconnects on its own thread; the next test's detection needs the port.
        QVERIFY(CRequestStrand::WaitForAll(30000));
    }

    void infoDialogWithoutInstrumentEndsAtOnce()
    {
        CInstrInfoDlg dialog(m_context, *m_panel);
        QCOMPARE(dialog.exec(), -1);
    }

    void infoDialogShowsIdentityAndSendsOnlyTheRemoteChange()
    {
        CInstrBase* instrument = ConnectPanel();
        QVERIFY(instrument);
        CInstrInfoDlg dialog(m_context, *m_panel);
        QVERIFY(dialog.Load());
        QTRY_VERIFY_WITH_TIMEOUT(dialog.IsIdle(), 10000);
        QCOMPARE(dialog.findChild<QLabel*>("modelValue")->text(), QString("D312"));
        QCOMPARE(dialog.findChild<QLabel*>("serialNumberValue")->text().toStdString(),
                 instrument->GetSerialNumber());
        QVERIFY(!dialog.findChild<QLabel*>("buildNumberValue")->text().isEmpty());
        auto* remote = dialog.findChild<QCheckBox*>("remoteCheck");
        QVERIFY(!remote->isHidden());
        const bool allowed = remote->isChecked();

        const size_t from = m_sim->Log().Count();
        remote->setChecked(!allowed);
        dialog.findChild<QPushButton*>("okButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(dialog.result(), int(QDialog::Accepted), 10000);
        Fence(*instrument);
        QCOMPARE(CountLines(m_sim->Log(), from, "REMSET " + std::to_string(allowed ? 0 : 1)), 1);
        QCOMPARE(CountLines(m_sim->Log(), from, "MESS"), 0);
        QVERIFY(m_prompter.messages.isEmpty());
    }

    void infoDialogRefusesASemicolonBeforeSendingAnything()
    {
        CInstrBase* instrument = ConnectPanel();
        QVERIFY(instrument);
        CInstrInfoDlg dialog(m_context, *m_panel);
        QVERIFY(dialog.Load());
        QTRY_VERIFY_WITH_TIMEOUT(dialog.IsIdle(), 10000);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* message = dialog.findChild<QLineEdit*>("messageEdit");
        auto* remote = dialog.findChild<QCheckBox*>("remoteCheck");

        const size_t from = m_sim->Log().Count();
        remote->setChecked(!remote->isChecked());
        message->selectAll();
        QTest::keyClicks(message, "a;b");
        dialog.findChild<QPushButton*>("okButton")->click();
        QCOMPARE(m_prompter.messages, QStringList{"You cannot have semicolons in the message."});
        QVERIFY(dialog.isVisible());
        QCOMPARE(QApplication::focusWidget(), message);
        QCOMPARE(message->selectedText(), QString("a;b"));
        Fence(*instrument);
        QCOMPARE(CountLines(m_sim->Log(), from, "REMSET"), 0);
        QCOMPARE(CountLines(m_sim->Log(), from, "MESS"), 0);

        // Sixteen characters are taken as they are; the edit takes no more.
        QTest::keyClicks(message, "0123456789abcdefXYZ");
        QCOMPARE(message->text(), QString("0123456789abcdef"));
        dialog.findChild<QPushButton*>("okButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(dialog.result(), int(QDialog::Accepted), 10000);
        QVERIFY(m_sim->Log().WaitForText("MESS 0123456789abcdef", 2s, from) >= 0);
        QCOMPARE(CountLines(m_sim->Log(), from, "REMSET"), 1);
    }

    void terminalPausesPollingTalksAndResumes()
    {
        CInstrBase* instrument = ConnectPanel();
        QVERIFY(instrument);
        QVERIFY(instrument->IsPolling());
        CInstrInfoDlg dialog(m_context, *m_panel);
        QVERIFY(dialog.Load());
        QTRY_VERIFY_WITH_TIMEOUT(dialog.IsIdle(), 10000);
        const size_t from = m_sim->Log().Count();
        bool ran = false;
        dialog.SetTerminalRunner(
            [&](CTerminal& terminal)
            {
                ran = true;
                QVERIFY(!instrument->IsPolling());
                QVERIFY(m_sim->Log().WaitForText("LOCAL", 2s, from) >= 0);
                terminal.show();
                const size_t typed = m_sim->Log().Count();
                QTest::keyClicks(terminal.TextArea(), "*IDN?");
                QTest::keyClick(terminal.TextArea(), Qt::Key_Return);
                QVERIFY(m_sim->Log().WaitFor([](const std::string& line) { return line == "*IDN?"; }, 2s,
                                             typed) >= 0);
                const QString expected = "*IDN?\n" + QString::fromStdString(m_identity) + "\n";
                QTRY_COMPARE_WITH_TIMEOUT(terminal.TextArea()->toPlainText(), expected, 3000);
                terminal.accept();
            });
        dialog.findChild<QPushButton*>("terminalButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(ran, 30000);
        QCOMPARE(m_prompter.messages.size(), 1);
        QVERIFY(m_prompter.messages[0].startsWith("WARNING: changes to settings are not tracked"));
        QTRY_VERIFY_WITH_TIMEOUT(instrument->IsPolling(), 10000);
        QCOMPARE(m_panel->GetInstrument(), instrument);
    }

    void terminalClosesWhenThePanelLosesItsInstrument()
    {
        QVERIFY(ConnectPanel());
        CInstrInfoDlg dialog(m_context, *m_panel);
        QVERIFY(dialog.Load());
        QTRY_VERIFY_WITH_TIMEOUT(dialog.IsIdle(), 10000);
        dialog.SetTerminalRunner(
            [&](CTerminal& terminal)
            {
                terminal.show();
                m_panel->Disconnect(); // the connection watch or a USB removal does this
                QTRY_VERIFY_WITH_TIMEOUT(!terminal.isVisible(), 2000);
                // Typing after that reaches nothing and changes nothing.
                QTest::keyClicks(terminal.TextArea(), "x");
                QVERIFY(terminal.TextArea()->toPlainText().isEmpty());
            });
        dialog.findChild<QPushButton*>("terminalButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(dialog.result(), -1, 30000);
        QVERIFY(!m_panel->GetInstrument());
    }

    void terminalWritesEveryKeyAsItIsTyped()
    {
        PtyPair pty;
        CSerial port;
        QVERIFY(port.OpenPortByName(pty.SlavePath(), 38400));
        m_profile.WriteString("Settings", "Command3", "LAS:LDI?");
        m_profile.WriteInt("Settings", "FixedFont", 0);
        {
            CTerminal terminal(m_context, [&] { return &port; });
            terminal.show();
            QVERIFY(QTest::qWaitForWindowExposed(&terminal));
            CEchoEdit* text = terminal.TextArea();

            for (const char key : std::string("*IDN?"))
            {
                QTest::keyClick(text, key);
                QCOMPARE(pty.ReadCount(1, 1000), std::string(1, key));
            }
            QTest::keyClick(text, Qt::Key_Return);
            QCOMPARE(pty.ReadCount(1, 1000), std::string("\r"));
            QCOMPARE(text->toPlainText(), QString("*IDN?\n"));

            QVERIFY(pty.Write("Tamrix,D312,31207,2.1\r\n", 1000));
            QTRY_COMPARE(text->toPlainText(), QString("*IDN?\nTamrix,D312,31207,2.1\n"));

            QTest::keyClick(text, 'x');
            QTest::keyClick(text, Qt::Key_Backspace);
            QCOMPARE(pty.ReadCount(2, 1000), std::string("x\b"));
            QVERIFY(text->toPlainText().endsWith("2.1\n"));

            // Only the stored command's own button shows, captioned with it.
            for (int i = 1; i <= CTerminal::CommandCount; ++i)
                QCOMPARE(terminal.findChild<QPushButton*>(QString("command%1Button").arg(i))->isHidden(),
                         i != 3);
            auto* third = terminal.findChild<QPushButton*>("command3Button");
            QCOMPARE(third->text(), QString("LAS:LDI?"));
            third->click();
            QCOMPARE(pty.ReadCount(10, 1000), std::string("LAS:LDI?\r\n"));

            auto* command = terminal.findChild<QLineEdit*>("commandEdit");
            command->setText("LAS:OUT 0");
            QTest::keyClick(command, Qt::Key_Return);
            QCOMPARE(pty.ReadCount(11, 1000), std::string("LAS:OUT 0\r\n"));
            QCOMPARE(command->selectedText(), QString("LAS:OUT 0"));
            QVERIFY(text->toPlainText().endsWith("LAS:LDI?\nLAS:OUT 0\n"));

            terminal.findChild<QCheckBox*>("fixedFontCheck")->setChecked(true);
            VerifyFixedPitch(text->font());
        }
        QCOMPARE(m_profile.GetInt("Settings", "FixedFont"), 1);
        CTerminal reopened(m_context, [&] { return &port; });
        QVERIFY(reopened.findChild<QCheckBox*>("fixedFontCheck")->isChecked());

        // Unplugged: the terminal closes itself at its next look at the port.
        reopened.show();
        pty.CloseMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!reopened.isVisible(), 2000);
    }

    void terminalRecallsCommandsColoursWhatWasSentAndEditsItsButtons()
    {
        PtyPair pty;
        CSerial port;
        QVERIFY(port.OpenPortByName(pty.SlavePath(), 38400));
        m_profile.WriteString("Settings", "Command1", "LAS:LDI?");
        CTerminal terminal(m_context, [&] { return &port; });
        terminal.show();
        QVERIFY(QTest::qWaitForWindowExposed(&terminal));
        auto* command = terminal.findChild<QLineEdit*>("commandEdit");
        for (const char* line : {"LAS:OUT 1", "LAS:LDI 20", "LAS:LDI 20"})
        {
            WidgetActions::Type(command, line);
            QTest::keyClick(command, Qt::Key_Return);
        }
        QCOMPARE(pty.ReadCount(35, 1000), std::string("LAS:OUT 1\r\nLAS:LDI 20\r\nLAS:LDI 20\r\n"));

        // Up and Down walk the lines sent (a repeat once), and the line being typed comes back at the end.
        WidgetActions::Type(command, "LAS:T");
        QTest::keyClick(command, Qt::Key_Up);
        QCOMPARE(command->text(), QString("LAS:LDI 20"));
        QTest::keyClick(command, Qt::Key_Up);
        QCOMPARE(command->text(), QString("LAS:OUT 1"));
        QTest::keyClick(command, Qt::Key_Up);
        QCOMPARE(command->text(), QString("LAS:OUT 1"));
        QTest::keyClick(command, Qt::Key_Down);
        QTest::keyClick(command, 'x');
        QCOMPARE(command->text(), QString("LAS:LDI 20x"));
        QTest::keyClick(command, Qt::Key_Down);
        QCOMPARE(command->text(), QString("LAS:T"));
        QTest::keyClick(command, Qt::Key_Down);
        QCOMPARE(command->text(), QString("LAS:T"));

        // What was sent shows in another colour than what came back.
        QVERIFY(pty.Write("20.0\r\n", 1000));
        CEchoEdit* text = terminal.TextArea();
        QTRY_VERIFY(text->toPlainText().endsWith("LAS:LDI 20\n20.0\n"));
        const auto colourAt = [text](int position)
        {
            QTextCursor cursor(text->document());
            cursor.setPosition(position + 1); // the format of the character before the cursor
            return cursor.charFormat().foreground().color();
        };
        const int received = static_cast<int>(text->toPlainText().lastIndexOf("20.0"));
        QCOMPARE(colourAt(0), colourAt(received - 2));
        QVERIFY(colourAt(0) != colourAt(received));
        QCOMPARE(colourAt(received), colourAt(received + 3));

        // "Buttons...": the first button emptied, the fifth given a command; stored at once.
        QTimer::singleShot(
            0, this,
            []
            {
                QWidget* dialog = QApplication::activeModalWidget();
                if (!dialog)
                    return;
                QCOMPARE(WidgetActions::Child<QLineEdit>(dialog, "command1Edit")->text(),
                         QString("LAS:LDI?"));
                WidgetActions::Child<QLineEdit>(dialog, "command1Edit")->clear();
                WidgetActions::Type(WidgetActions::Child<QLineEdit>(dialog, "command5Edit"), " TEC:T? ");
                QTest::mouseClick(WidgetActions::Child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
            });
        QTest::mouseClick(WidgetActions::Child<QPushButton>(&terminal, "editCommandsButton"), Qt::LeftButton);
        auto* fifth = WidgetActions::Child<QPushButton>(&terminal, "command5Button");
        QVERIFY(WidgetActions::Child<QPushButton>(&terminal, "command1Button")->isHidden());
        QVERIFY(!fifth->isHidden());
        QCOMPARE(fifth->text(), QString("TEC:T?"));
        QCOMPARE(m_profile.GetString("Settings", "Command1", "gone"), std::string("gone"));
        QCOMPARE(m_profile.GetString("Settings", "Command5"), std::string("TEC:T?"));
        QTest::mouseClick(fifth, Qt::LeftButton);
        QCOMPARE(pty.ReadCount(8, 1000), std::string("TEC:T?\r\n"));
    }

    void terminalTrimsTheOldestTextNearItsLimit()
    {
        CSerial closed;
        CTerminal terminal(m_context, [&] { return &closed; });
        terminal.TextArea()->setPlainText(QString(159999, 'a') + "b");
        terminal.Append("tail");
        const QString text = terminal.TextArea()->toPlainText();
        QCOMPARE(text.size(), 160000 - CTerminal::TrimChars + 4);
        QVERIFY(text.endsWith("abtail"));
        // Below the limit nothing is dropped.
        terminal.Append("more");
        QCOMPARE(terminal.TextArea()->toPlainText().size(), text.size() + 4);
    }
};

QTEST_MAIN(InstrumentDialogsTest)
#include "instrument_dialogs_test.moc"
