// The TEC settings page against simulated units: what OK sends, in which order, and what it refuses.
#include "FakePanelHost.h"
#include "ScriptedPrompter.h"
#include "SimPanelFixture.h"
#include "UiTestEnvironment.h"
#include "diag/MemoryProfile.h"
#include "instrument/tec/TEC.h"
#include "ui/common/UiContext.h"
#include "ui/dialogs/TECSettingsDlg.h"
#include "ui/panels/TECPanel.h"
#include "ui/panels/parts/TecBlock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QtTest>
#include <memory>

namespace
{
CUiTestEnvironment environment;
} // namespace

class CTecSettingsTest : public QObject
{
    Q_OBJECT

private:
    CMemoryProfile m_profile;
    CScriptedPrompter m_prompter;
    CFakePanelHost m_host;
    SUiContext m_context{m_profile, m_prompter};
    std::unique_ptr<CSimPanelFixture> m_sim;
    std::unique_ptr<CTECPanel> m_panel;
    int m_port = 210;

    // A connected panel on a fresh unit, and its settings page read from the unit.
    std::unique_ptr<CTECSettingsDlg> Open(const std::string& model = "K760")
    {
        m_panel.reset();
        m_sim = std::make_unique<CSimPanelFixture>(model, m_port++);
        m_panel = std::make_unique<CTECPanel>(m_context, m_host, 0);
        if (!m_sim->Connect(*m_panel))
            qFatal("no connection to the simulated %s", model.c_str());
        auto dialog = std::make_unique<CTECSettingsDlg>(m_context, m_panel->Block()->Access(), m_panel.get());
        if (!dialog->Load() || !QTest::qWaitFor([&] { return dialog->IsLoaded(); }, 30000))
            qFatal("the settings page did not load");
        return dialog;
    }
    template <class T>
    static T* Find(QWidget& dialog, const char* name)
    {
        T* widget = dialog.findChild<T*>(name);
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    // OK, and the wait for its writes; false when they never end.
    static bool Ok(CTECSettingsDlg& dialog)
    {
        dialog.accept();
        return QTest::qWaitFor([&] { return !dialog.IsWriting(); }, 30000);
    }
    // Types as a user does, so that the edit counts as modified.
    static void Type(QWidget& dialog, const char* name, const QString& text)
    {
        auto* edit = Find<QLineEdit>(dialog, name);
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    static double Value(QWidget& dialog, const char* name)
    {
        return Find<QLineEdit>(dialog, name)->text().toDouble();
    }
    // The index of the first line from `from` on that starts with the text; -1 when none.
    long Sent(const std::string& prefix, size_t from) const
    {
        return m_sim->Sim().Log().WaitFor([&](const std::string& line) { return line.rfind(prefix, 0) == 0; },
                                          std::chrono::milliseconds(0), from);
    }

private slots:
    void init() { m_prompter.Reset(); }
    void cleanup()
    {
        m_panel.reset();
        m_sim.reset();
    }

    void onlyTheFanModeChangedSendsTheWholeFanSettingAndNothingElse()
    {
        auto dialog = Open();
        // The instrument's own values change meanwhile; untouched edits still go out unchanged.
        m_sim->Sim().Request("TEC:TOL 0.5, 9");
        auto* mode = Find<QComboBox>(*dialog, "fanModeList");
        auto* speed = Find<QComboBox>(*dialog, "fanSpeedList");
        speed->setCurrentIndex(speed->findText("Medium"));
        mode->setCurrentIndex(mode->findText("On"));
        const size_t from = m_sim->Sim().Log().Count();
        QVERIFY(Ok(*dialog));
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(Sent("TEC:FAN MEDIUM, 2, ", from) >= 0);
        for (const char* line : {"TEC:LIM", "TEC:TOL ", "TEC:PID ", "TEC:GAIN ", "TEC:ENAB:OUTOFF ",
                                 "TEC:SENS ", "TEC:CONSTIDX ", "TEC:CABLER "})
            QVERIFY2(Sent(line, from) < 0, line);
    }

    void sensorLimitsAreOrderedSoLowNeverExceedsHigh()
    {
        auto dialog = Open();
        m_sim->Sim().Request("TEC:LIM:RLO 5");
        m_sim->Sim().Request("TEC:LIM:RHI 20");
        dialog = std::make_unique<CTECSettingsDlg>(m_context, m_panel->Block()->Access(), m_panel.get());
        QVERIFY(dialog->Load());
        QTRY_VERIFY_WITH_TIMEOUT(dialog->IsLoaded(), 30000);
        QCOMPARE(Value(*dialog, "rHighEdit"), 20.0);
        // Both raised above the current high: the high limit first.
        Type(*dialog, "rLowEdit", "30");
        Type(*dialog, "rHighEdit", "40");
        size_t from = m_sim->Sim().Log().Count();
        QVERIFY(Ok(*dialog));
        QCOMPARE(m_prompter.messages, QStringList());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(Sent("TEC:LIM:RHI ", from) >= 0);
        QVERIFY(Sent("TEC:LIM:RHI ", from) < Sent("TEC:LIM:RLO ", from));

        // Both lowered below the current low: the low limit first.
        dialog = std::make_unique<CTECSettingsDlg>(m_context, m_panel->Block()->Access(), m_panel.get());
        QVERIFY(dialog->Load());
        QTRY_VERIFY_WITH_TIMEOUT(dialog->IsLoaded(), 30000);
        QCOMPARE(Value(*dialog, "rLowEdit"), 30.0);
        Type(*dialog, "rLowEdit", "2");
        Type(*dialog, "rHighEdit", "3");
        from = m_sim->Sim().Log().Count();
        QVERIFY(Ok(*dialog));
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(Sent("TEC:LIM:RLO ", from) >= 0);
        QVERIFY(Sent("TEC:LIM:RLO ", from) < Sent("TEC:LIM:RHI ", from));
        QCOMPARE(m_prompter.messages, QStringList());
    }

    void temperatureLimitsAreOrderedAndRefusalsReported()
    {
        auto dialog = Open();
        Type(*dialog, "tLowEdit", "30");
        Type(*dialog, "tHighEdit", "30");
        size_t from = m_sim->Sim().Log().Count();
        QVERIFY(Ok(*dialog));
        QCOMPARE(m_prompter.messages, QStringList{"The T low limit must be less than the T high limit."});
        QVERIFY(Sent("TEC:LIM", from) < 0);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));

        // Raising both (10/40 to 50/80 style) sends the high limit first, and both are taken.
        m_prompter.Reset();
        m_sim->Sim().Request("TEC:LIM:TLO 10");
        m_sim->Sim().Request("TEC:LIM:THI 40");
        dialog = std::make_unique<CTECSettingsDlg>(m_context, m_panel->Block()->Access(), m_panel.get());
        QVERIFY(dialog->Load());
        QTRY_VERIFY_WITH_TIMEOUT(dialog->IsLoaded(), 30000);
        Type(*dialog, "tLowEdit", "50");
        Type(*dialog, "tHighEdit", "80");
        from = m_sim->Sim().Log().Count();
        QVERIFY(Ok(*dialog));
        QCOMPARE(m_prompter.messages, QStringList());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(Sent("TEC:LIM:THI 80", from) >= 0);
        QVERIFY(Sent("TEC:LIM:THI 80", from) < Sent("TEC:LIM:TLO 50", from));
        QCOMPARE(m_sim->Sim().Request("TEC:LIM:TLO?").substr(0, 2), std::string("50"));

        // A limit the unit refuses keeps the page open with a message instead of closing as if it worked.
        m_sim->Sim().Engine().WithRegistry(
            [](CSimCommandRegistry& registry) {
                registry.Add("TEC:LIM:THI",
                             [](CSimUnit&, int, std::string_view) { return SSimResult::Error(201); });
            });
        dialog = std::make_unique<CTECSettingsDlg>(m_context, m_panel->Block()->Access(), m_panel.get());
        QVERIFY(dialog->Load());
        QTRY_VERIFY_WITH_TIMEOUT(dialog->IsLoaded(), 30000);
        Type(*dialog, "tHighEdit", "90");
        QVERIFY(Ok(*dialog));
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(m_prompter.messages.size(), 1);
        QVERIFY2(m_prompter.messages.first().contains("T high limit"),
                 qPrintable(m_prompter.messages.first()));
    }

    void fixedGainNeitherChecksNorSendsPid()
    {
        auto dialog = Open();
        auto* gain = Find<QComboBox>(*dialog, "gainList");
        gain->setCurrentIndex(gain->findText("10"));
        gain->activated(gain->currentIndex());
        QVERIFY(!Find<QLineEdit>(*dialog, "pEdit")->isEnabled());
        Type(*dialog, "pEdit", "5000");
        Find<QLineEdit>(*dialog, "pEdit")->setModified(true);
        const size_t from = m_sim->Sim().Log().Count();
        QVERIFY(Ok(*dialog));
        QCOMPARE(m_prompter.messages, QStringList());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(Sent("TEC:GAIN 10", from) >= 0);
        QVERIFY(Sent("TEC:PID ", from) < 0);

        // Back to PID: the values are checked with the framework's prompts.
        dialog = std::make_unique<CTECSettingsDlg>(m_context, m_panel->Block()->Access(), m_panel.get());
        QVERIFY(dialog->Load());
        QTRY_VERIFY_WITH_TIMEOUT(dialog->IsLoaded(), 30000);
        gain = Find<QComboBox>(*dialog, "gainList");
        gain->setCurrentIndex(gain->findText("PID"));
        gain->activated(gain->currentIndex());
        Type(*dialog, "iEdit", "1001");
        QVERIFY(Ok(*dialog));
        QCOMPARE(m_prompter.messages, QStringList{"Enter a number between 0 and 1000."});
        Type(*dialog, "iEdit", "x");
        QVERIFY(Ok(*dialog));
        QCOMPARE(m_prompter.messages.last(), QString("Enter a number."));
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
    }

    void maskBitsWithoutABoxAndConstantsSurvive()
    {
        m_port = 230;
        auto probe = Open();
        probe.reset();
        // Bit 0x2 (voltage limit) has no box on the page.
        m_sim->Sim().Request("TEC:ENAB:OUTOFF 3");
        auto dialog = std::make_unique<CTECSettingsDlg>(m_context, m_panel->Block()->Access(), m_panel.get());
        QVERIFY(dialog->Load());
        QTRY_VERIFY_WITH_TIMEOUT(dialog->IsLoaded(), 30000);
        QVERIFY(Find<QCheckBox>(*dialog, "currentLimitCheck")->isChecked());
        Find<QCheckBox>(*dialog, "currentLimitCheck")->setChecked(false);
        Find<QCheckBox>(*dialog, "sensorOpenCheck")->setChecked(true);
        // A thermistor C of 0.9 x 10^-7 reaches the unit intact.
        Type(*dialog, "thermCEdit", "0.9");
        // The fan delay is not usable in "Auto" mode and is not checked there.
        auto* mode = Find<QComboBox>(*dialog, "fanModeList");
        mode->setCurrentIndex(mode->findText("Auto"));
        mode->activated(mode->currentIndex());
        QVERIFY(!Find<QLineEdit>(*dialog, "fanDelayEdit")->isEnabled());
        Find<QLineEdit>(*dialog, "fanDelayEdit")->setText("0");
        const size_t from = m_sim->Sim().Log().Count();
        QVERIFY(Ok(*dialog));
        QCOMPARE(m_prompter.messages, QStringList());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(Sent("TEC:ENAB:OUTOFF 66", from) >= 0);
        QVERIFY(Sent("TEC:CONSTIDX 1,1,", from) >= 0);
        const std::string constants =
            m_sim->Sim().Log().Lines()[Sent("TEC:CONSTIDX 1,1,", from) -
                                       (m_sim->Sim().Log().Count() - m_sim->Sim().Log().Lines().size())];
        QVERIFY2(constants.find(",0.00000009000000") != std::string::npos, constants.c_str());
    }

    void analogScalingGoesOutBeforeTheInputIsEnabledAndAfterItIsDisabled()
    {
        // Read and typed with the user's decimal comma, sent with a point.
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto restore = qScopeGuard([&before] { QLocale::setDefault(before); });
        auto dialog = Open();
        auto* group = Find<QWidget>(*dialog, "analogGroup");
        auto* enable = Find<QCheckBox>(*dialog, "analogEnableCheck");
        auto* sensitivity = Find<QComboBox>(*dialog, "analogSensitivityList");
        QVERIFY(group->isVisibleTo(dialog.get()));
        QVERIFY(!enable->isChecked());
        QVERIFY(!sensitivity->isEnabled() && !Find<QLineEdit>(*dialog, "analogTsetAt0VEdit")->isEnabled());
        QCOMPARE(Value(*dialog, "analogTsetAt2V5Edit"), 50.0);

        enable->click();
        QVERIFY(sensitivity->isEnabled() && Find<QLineEdit>(*dialog, "analogTsetAt2V5Edit")->isEnabled());
        sensitivity->setCurrentIndex(sensitivity->findText(QString::fromUtf8("0.01\u00b0C")));
        Type(*dialog, "analogTsetAt0VEdit", "-10,5");
        Type(*dialog, "analogTsetAt2V5Edit", "40");
        size_t from = m_sim->Sim().Log().Count();
        QVERIFY(Ok(*dialog));
        QCOMPARE(m_prompter.messages, QStringList());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        const long at0V = Sent("TEC:ANALOG:TLO -10.500", from);
        const long at2V5 = Sent("TEC:ANALOG:THI 40.000", from);
        const long resolution = Sent("TEC:ANALOG:SENS 2", from);
        const long enabled = Sent("TEC:ANALOG:ENAB 1", from);
        QVERIFY(at0V >= 0 && at2V5 >= 0 && resolution >= 0);
        QVERIFY(enabled > at0V && enabled > at2V5 && enabled > resolution);
        // Before the fan, as every OK writes them.
        QVERIFY(Sent("TEC:FAN ", from) > enabled);

        // Read back as the unit keeps them; switching off leaves the input before the values go out.
        dialog = std::make_unique<CTECSettingsDlg>(m_context, m_panel->Block()->Access(), m_panel.get());
        QVERIFY(dialog->Load());
        QTRY_VERIFY_WITH_TIMEOUT(dialog->IsLoaded(), 30000);
        enable = Find<QCheckBox>(*dialog, "analogEnableCheck");
        QVERIFY(enable->isChecked());
        QCOMPARE(Find<QComboBox>(*dialog, "analogSensitivityList")->currentIndex(), 2);
        QCOMPARE(Find<QLineEdit>(*dialog, "analogTsetAt0VEdit")->text(), QString("-10,5"));
        enable->click();
        QVERIFY(!Find<QLineEdit>(*dialog, "analogTsetAt0VEdit")->isEnabled());
        from = m_sim->Sim().Log().Count();
        QVERIFY(Ok(*dialog));
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        const long disabled = Sent("TEC:ANALOG:ENAB 0", from);
        QVERIFY(disabled >= 0);
        QVERIFY(disabled < Sent("TEC:ANALOG:TLO -10.500", from));
        QVERIFY(disabled < Sent("TEC:ANALOG:SENS 2", from));
        QCOMPARE(m_sim->Sim().Request("TEC:ANALOG:ENAB?"), std::string("0"));
    }

    void analogSetPointsAreCheckedOnlyWhileEnabledAndARefusalKeepsTheInputOff()
    {
        auto dialog = Open();
        Find<QCheckBox>(*dialog, "analogEnableCheck")->click();
        Type(*dialog, "analogTsetAt0VEdit", "30");
        Type(*dialog, "analogTsetAt2V5Edit", "30");
        const size_t from = m_sim->Sim().Log().Count();
        QVERIFY(Ok(*dialog));
        QCOMPARE(m_prompter.messages,
                 QStringList{"The analog 'Tset at 0V' must be lower than the 'Tset at 2.5V'."});
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(Sent("TEC:", from) < 0);

        Type(*dialog, "analogTsetAt0VEdit", "-100");
        QVERIFY(Ok(*dialog));
        QCOMPARE(m_prompter.messages.last(), QString("Enter a number between -99 and 250 °C."));
        Type(*dialog, "analogTsetAt0VEdit", "x");
        QVERIFY(Ok(*dialog));
        QCOMPARE(m_prompter.messages.last(), QString("Enter a number."));
        QVERIFY(Sent("TEC:", from) < 0);

        // Switched off, the input's values are not the user's to fix and are not checked.
        Find<QCheckBox>(*dialog, "analogEnableCheck")->click();
        m_prompter.Reset();
        QVERIFY(Ok(*dialog));
        QCOMPARE(m_prompter.messages, QStringList());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));

        // A scaling the unit refuses is reported, the page stays open and the input is not enabled.
        m_sim->Sim().Engine().WithRegistry(
            [](CSimCommandRegistry& registry) {
                registry.Add("TEC:ANALOG:THI",
                             [](CSimUnit&, int, std::string_view) { return SSimResult::Error(201); });
            });
        dialog = std::make_unique<CTECSettingsDlg>(m_context, m_panel->Block()->Access(), m_panel.get());
        QVERIFY(dialog->Load());
        QTRY_VERIFY_WITH_TIMEOUT(dialog->IsLoaded(), 30000);
        Find<QCheckBox>(*dialog, "analogEnableCheck")->click();
        Type(*dialog, "analogTsetAt0VEdit", "5");
        Type(*dialog, "analogTsetAt2V5Edit", "45");
        const size_t refusedFrom = m_sim->Sim().Log().Count();
        QVERIFY(Ok(*dialog));
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(m_prompter.messages.size(), 1);
        QVERIFY2(m_prompter.messages.first().contains("analog 'Tset at 2.5V'"),
                 qPrintable(m_prompter.messages.first()));
        QVERIFY(Sent("TEC:ANALOG:ENAB 1", refusedFrom) < 0);
        QCOMPARE(m_sim->Sim().Request("TEC:ANALOG:ENAB?"), std::string("0"));
    }

    void aUnitWithoutTheAnalogInputNeitherShowsNorHearsOfIt()
    {
        m_port = 240;
        auto dialog = Open("K705");
        QVERIFY(!Find<QWidget>(*dialog, "analogGroup")->isVisibleTo(dialog.get()));
        QVERIFY(Ok(*dialog));
        QCOMPARE(m_prompter.messages, QStringList());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(m_sim->Sim().Log().WaitFor(
                     [](const std::string& line)
                     {
                         return line.find("ANALOG:SENS") != std::string::npos ||
                                line.find("ANALOG:T") != std::string::npos ||
                                line.rfind("TEC:ANALOG:ENAB ", 0) == 0;
                     },
                     std::chrono::milliseconds(0), 0),
                 -1L);
    }

    void thePanelButtonOpensThePageAndPollingGoesOn()
    {
        auto dialog = Open();
        dialog.reset();
        QString title;
        QTimer::singleShot(0,
                           [&title]
                           {
                               auto* page = qobject_cast<CTECSettingsDlg*>(QApplication::activeModalWidget());
                               title = page ? page->windowTitle() : QString("no page");
                               if (page)
                                   page->reject();
                           });
        QTest::mouseClick(Find<QPushButton>(*m_panel, "tecSettingsButton"), Qt::LeftButton);
        QCOMPARE(title, QString("TEC Settings"));
        // The page's reads end on the instrument's strand, and the pause with them.
        QTRY_VERIFY_WITH_TIMEOUT(m_panel->GetTEC()->IsPolling(), 30000);
    }

    void theChannelGoingAwayClosesThePage()
    {
        auto dialog = Open();
        dialog->open();
        m_panel->Disconnect();
        QTRY_COMPARE_WITH_TIMEOUT(dialog->result(), CTECSettingsDlg::ClosedNoChannel, 2000);
        QVERIFY(!dialog->isVisible());
    }
};

QTEST_MAIN(CTecSettingsTest)
#include "tec_settings_test.moc"
