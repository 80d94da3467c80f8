// The AutoTune wizard against a simulated K760: the test-point window, the start, the progress texts,
// the results, and what cancelling does before and after the start.
#include "FakePanelHost.h"
#include "ScriptedPrompter.h"
#include "SimPanelFixture.h"
#include "UiTestEnvironment.h"
#include "diag/MemoryProfile.h"
#include "ui/common/UiContext.h"
#include "ui/dialogs/AutoTuneProcess.h"
#include "ui/dialogs/AutoTuneResults.h"
#include "ui/dialogs/AutoTuneSetpoint.h"
#include "ui/dialogs/AutoTuneWizard.h"
#include "ui/panels/TECPanel.h"
#include "ui/panels/parts/TecBlock.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>
#include <atomic>
#include <memory>

namespace
{
CUiTestEnvironment environment;
} // namespace

class CAutoTuneWizardTest : public QObject
{
    Q_OBJECT

private:
    CMemoryProfile m_profile;
    CScriptedPrompter m_prompter;
    CFakePanelHost m_host;
    SUiContext m_context{m_profile, m_prompter};
    std::unique_ptr<CSimPanelFixture> m_sim;
    std::unique_ptr<CTECPanel> m_panel;
    // What the unit reports for the tune when a test takes over those two queries.
    std::shared_ptr<std::atomic<int>> m_progress = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<int>> m_status = std::make_shared<std::atomic<int>>(1);

    void Connect(int port, double low, double high)
    {
        m_panel.reset();
        m_sim = std::make_unique<CSimPanelFixture>("K760", port);
        m_sim->Sim().Request("TEC:LIM:TLO " + std::to_string(low));
        m_sim->Sim().Request("TEC:LIM:THI " + std::to_string(high));
        m_panel = std::make_unique<CTECPanel>(m_context, m_host, 0);
        if (!m_sim->Connect(*m_panel))
            qFatal("no connection to the simulated unit");
    }
    // The tune's progress and status from the test: -1 for a reply that is no number.
    void ScriptTheTune()
    {
        m_sim->Sim().Engine().WithRegistry(
            [progress = m_progress, status = m_status](CSimCommandRegistry& registry)
            {
                registry.Add("TEC:AUTOTUNESTATE?", [progress](CSimUnit&, int, std::string_view)
                             { return SSimResult::Answer(std::to_string(progress->load())); });
                registry.Add("TEC:AUTOTUNE?",
                             [status](CSimUnit&, int, std::string_view)
                             {
                                 return status->load() < 0
                                            ? SSimResult::Answer("busy")
                                            : SSimResult::Answer(std::to_string(status->load()));
                             });
            });
    }
    std::unique_ptr<CAutoTuneWizard> NewWizard()
    {
        auto wizard = std::make_unique<CAutoTuneWizard>(m_context, m_panel->Block()->Access(), m_panel.get());
        wizard->show();
        return wizard;
    }
    // Next on the introduction, and the wait for the set point and limits the test-point page reads.
    static bool ToTestPoint(CAutoTuneWizard& wizard)
    {
        wizard.next();
        return wizard.currentId() == CAutoTuneWizard::SetpointPage &&
               QTest::qWaitFor([&wizard] { return wizard.currentPage()->isComplete(); }, 30000);
    }
    // One tick of the process page, and the wait for what it reads.
    static bool Tick(CAutoTuneProcess& process)
    {
        process.Tick();
        return QTest::qWaitFor([&process] { return !process.IsReading(); }, 30000);
    }
    // Next on the test-point page with the text typed.
    static bool TryTestPoint(CAutoTuneWizard& wizard, const QString& text)
    {
        wizard.findChild<QLineEdit*>("testPointEdit")->setText(text);
        wizard.next();
        return wizard.currentId() == CAutoTuneWizard::ProcessPage;
    }
    int CountSent(const std::string& prefix, size_t from) const { return m_sim->CountSent(prefix, from); }
    static bool FitsItsLabel(const QLabel& label)
    {
        const int flags = int(label.alignment()) | (label.wordWrap() ? int(Qt::TextWordWrap) : 0);
        const QRect room = label.contentsRect();
        return room.contains(label.fontMetrics().boundingRect(room, flags, label.text()));
    }

private slots:
    void init()
    {
        m_prompter.Reset();
        m_progress->store(0);
        m_status->store(1);
    }
    void cleanup()
    {
        m_panel.reset();
        m_sim.reset();
    }

    void testPointWindowIsFiveDegreesInsideTheLimits()
    {
        Connect(240, 10, 40);
        const QString below = "Your test point must be at least 5 degrees below your high temperature limit.";
        const QString above = "Your test point must be at least 5 degrees above your low temperature limit.";
        auto wizard = NewWizard();
        QCOMPARE(wizard->currentId(), int(CAutoTuneWizard::IntroPage));
        QVERIFY(ToTestPoint(*wizard));
        QVERIFY(!wizard->findChild<QLineEdit*>("testPointEdit")->text().isEmpty());
        const size_t from = m_sim->Sim().Log().Count();
        QVERIFY(!TryTestPoint(*wizard, "14.99"));
        QVERIFY(!TryTestPoint(*wizard, "35.01"));
        QVERIFY(!TryTestPoint(*wizard, "abc"));
        QCOMPARE(m_prompter.messages, (QStringList{above, below, "Enter a number."}));
        QCOMPARE(CountSent("TEC:AUTOTUNE ", from), 0);
        QVERIFY(!wizard->Started());
        for (const char* point : {"35.00", "15.00"})
        {
            wizard = NewWizard();
            QVERIFY(ToTestPoint(*wizard));
            QVERIFY2(TryTestPoint(*wizard, point), point);
            QVERIFY(wizard->Started());
            QVERIFY(m_sim->Sim().Log().WaitForText(std::string("TEC:AUTOTUNE ") + point,
                                                   std::chrono::seconds(5), from) >= 0);
        }

        // A window too narrow for any test point: the high-limit message above the low limit + 5.
        wizard.reset(); // before its parent panel goes
        Connect(241, 20, 25);
        m_prompter.Reset();
        wizard = NewWizard();
        QVERIFY(ToTestPoint(*wizard));
        for (const char* point : {"21", "20.5", "19", "25"})
            QVERIFY(!TryTestPoint(*wizard, point));
        QCOMPARE(m_prompter.messages, (QStringList{below, below, above, below}));
    }

    void captionNamesTheChannelOfAMultiChannelUnit()
    {
        Connect(246, 10, 40);
        STecChannelAccess access = m_panel->Block()->Access();
        access.channelCount = 4;
        access.channelIndex = 2;
        CAutoTuneWizard wizard(m_context, access, m_panel.get());
        QCOMPARE(wizard.windowTitle(), QString("AutoTune Wizard for Channel 3"));
    }

    void progressTextsAndAFailedTune()
    {
        Connect(242, 10, 40);
        ScriptTheTune();
        auto wizard = NewWizard();
        QVERIFY(ToTestPoint(*wizard));
        QVERIFY(TryTestPoint(*wizard, "25"));
        CAutoTuneProcess& process = *wizard->Process();
        auto* step = wizard->findChild<QLabel*>("stepText");
        m_progress->store(199);
        QVERIFY(Tick(process));
        QCOMPARE(step->text(), QString());
        QVERIFY(!wizard->findChild<QLabel*>("temperatureValue")->text().isEmpty());
        m_progress->store(250);
        QVERIFY(Tick(process));
        QCOMPARE(step->text(), QString("Step 1 of 3:\nDetermining the Proportional & Derivative terms..."));
        // Each step's text fits its label as the page lays it out (a centred line wider than the page
        // loses both ends).
        for (const int progress : {250, 350, 450})
        {
            m_progress->store(progress);
            QVERIFY(Tick(process));
            QTRY_VERIFY2(FitsItsLabel(*step), qPrintable(step->text()));
        }
        m_progress->store(500);
        QVERIFY(Tick(process));
        QCOMPARE(step->text(), QString("Complete."));
        QCOMPARE(wizard->currentId(), int(CAutoTuneWizard::ProcessPage));

        // Status 2: on to the results at once, the output switched off, only Finish left.
        const size_t from = m_sim->Sim().Log().Count();
        m_status->store(2);
        QVERIFY(Tick(process));
        QCOMPARE(wizard->currentId(), int(CAutoTuneWizard::ResultsPage));
        QCOMPARE(wizard->findChild<QLabel*>("resultText")->text(), CAutoTuneResults::FailedText);
        QVERIFY(wizard->findChild<QLabel*>("pLine")->text().isEmpty());
        QVERIFY(!wizard->button(QWizard::CancelButton)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(CountSent("TEC:OUT 0", from) >= 1, 10000);
    }

    void anUnreadableStatusDoesNotEndTheTune()
    {
        Connect(243, 10, 40);
        ScriptTheTune();
        auto wizard = NewWizard();
        QVERIFY(ToTestPoint(*wizard));
        QVERIFY(TryTestPoint(*wizard, "25"));
        CAutoTuneProcess& process = *wizard->Process();
        m_status->store(-1);
        QVERIFY(Tick(process));
        QCOMPARE(wizard->currentId(), int(CAutoTuneWizard::ProcessPage));
        m_status->store(1);
        QVERIFY(Tick(process));
        m_status->store(-1);
        for (int tick = 1; tick < CAutoTuneProcess::UnreadableTicks; ++tick)
            QVERIFY(Tick(process));
        QCOMPARE(wizard->currentId(), int(CAutoTuneWizard::ProcessPage));
        const size_t from = m_sim->Sim().Log().Count();
        QVERIFY(Tick(process));
        QCOMPARE(wizard->currentId(), int(CAutoTuneWizard::ResultsPage));
        QTRY_VERIFY_WITH_TIMEOUT(CountSent("TEC:OUT 0", from) >= 1, 10000);
        QCOMPARE(wizard->findChild<QLabel*>("resultText")->text(), CAutoTuneResults::FailedText);
    }

    void aSuccessfulTuneShowsThePid()
    {
        Connect(244, 10, 40);
        ScriptTheTune();
        m_sim->Sim().Request("TEC:PID 1.5, 0.25, 3.125");
        auto wizard = NewWizard();
        QVERIFY(ToTestPoint(*wizard));
        QVERIFY(TryTestPoint(*wizard, "25"));
        m_status->store(3);
        const size_t from = m_sim->Sim().Log().Count();
        QVERIFY(Tick(*wizard->Process()));
        QCOMPARE(wizard->currentId(), int(CAutoTuneWizard::ResultsPage));
        QCOMPARE(wizard->findChild<QLabel*>("resultText")->text(), CAutoTuneResults::SucceededText);
        QTRY_COMPARE_WITH_TIMEOUT(wizard->findChild<QLabel*>("pLine")->text(), QString("P = 1.5000"), 10000);
        QCOMPARE(wizard->findChild<QLabel*>("dLine")->text(), QString("D = 3.1250"));
        QCOMPARE(CountSent("TEC:OUT", from), 0);
    }

    // The results page reports what the process page saw: a status query that fails there does not
    // turn a finished tune into a failure. Once Cancel is disabled only Finish closes the wizard.
    void theResultsCloseOnlyWithFinish()
    {
        Connect(246, 10, 40);
        m_sim->Sim().Request("TEC:PID 1.5, 0.25, 3.125");
        auto answers = std::make_shared<std::atomic<int>>(0);
        m_sim->Sim().Engine().WithRegistry(
            [answers](CSimCommandRegistry& registry)
            {
                registry.Add(
                    "TEC:AUTOTUNE?", [answers](CSimUnit&, int, std::string_view)
                    { return ++*answers == 1 ? SSimResult::Answer("3") : SSimResult::Answer("busy"); });
            });
        CTecBlock& block = *m_panel->Block();
        const size_t from = m_sim->Sim().Log().Count();
        int page = -1;
        QString result;
        QString pLine;
        bool openAfterEscape = false;
        bool waited = false;
        QTimer::singleShot(
            0,
            [&]
            {
                auto* wizard = qobject_cast<CAutoTuneWizard*>(QApplication::activeModalWidget());
                waited = ToTestPoint(*wizard);
                wizard->findChild<QLineEdit*>("testPointEdit")->setText("25");
                wizard->next();
                waited = Tick(*wizard->Process()) && waited;
                page = wizard->currentId();
                result = wizard->findChild<QLabel*>("resultText")->text();
                auto* p = wizard->findChild<QLabel*>("pLine");
                waited = QTest::qWaitFor([p] { return p->text() != CAutoTuneResults::ReadingText; }, 10000) &&
                         waited;
                pLine = p->text();
                QTest::keyClick(wizard, Qt::Key_Escape);
                wizard->reject();
                wizard->close();
                openAfterEscape = wizard->isVisible();
                // Whatever the checks find, the wizard must end.
                if (page == CAutoTuneWizard::ResultsPage)
                    wizard->button(QWizard::FinishButton)->click();
                else
                    wizard->QWizard::reject();
            });
        block.OpenAutoTune();
        QVERIFY(waited);
        QCOMPARE(page, int(CAutoTuneWizard::ResultsPage));
        QCOMPARE(result, CAutoTuneResults::SucceededText);
        QCOMPARE(pLine, QString("P = 1.5000"));
        QVERIFY(openAfterEscape);
        QCOMPARE(m_prompter.messages, QStringList());
        QCOMPARE(CountSent("TEC:OUT", from), 0);
    }

    // Limits the unit does not give and a test point that is no number start no tune.
    void testPointRefusedWithoutNumberOrLimits()
    {
        Connect(247, 10, 40);
        m_sim->Sim().Engine().WithRegistry(
            [](CSimCommandRegistry& registry)
            {
                registry.Add("TEC:LIM:THI?",
                             [](CSimUnit&, int, std::string_view) { return SSimResult::Answer("busy"); });
            });
        auto wizard = NewWizard();
        const size_t from = m_sim->Sim().Log().Count();
        QVERIFY(ToTestPoint(*wizard));
        QVERIFY(!TryTestPoint(*wizard, "nan"));
        QCOMPARE(m_prompter.messages.last(), QString("Enter a number."));
        QVERIFY(!TryTestPoint(*wizard, "25"));
        QCOMPARE(m_prompter.messages.last(), CAutoTuneSetpoint::LimitsUnknownText);
        QCOMPARE(CountSent("TEC:AUTOTUNE ", from), 0);
        QVERIFY(!wizard->Started());
    }

    void cancellingBeforeAndAfterTheStart()
    {
        Connect(245, 10, 40);
        CTecBlock& block = *m_panel->Block();
        // Cancel on the test-point page: nothing sent, nothing said.
        size_t from = m_sim->Sim().Log().Count();
        QTimer::singleShot(0,
                           []
                           {
                               auto* wizard =
                                   qobject_cast<CAutoTuneWizard*>(QApplication::activeModalWidget());
                               wizard->next();
                               wizard->reject();
                           });
        block.OpenAutoTune();
        QCOMPARE(m_prompter.messages, QStringList());
        QCOMPARE(CountSent("TEC:AUTOTUNE ", from) + CountSent("TEC:OUT", from), 0);

        // Cancel while the tune runs: the output goes off and the user is told.
        bool loaded = false;
        QTimer::singleShot(0,
                           [&loaded]
                           {
                               auto* wizard =
                                   qobject_cast<CAutoTuneWizard*>(QApplication::activeModalWidget());
                               loaded = ToTestPoint(*wizard);
                               wizard->findChild<QLineEdit*>("testPointEdit")->setText("30");
                               wizard->next();
                               wizard->reject();
                           });
        block.OpenAutoTune();
        QVERIFY(loaded);
        QCOMPARE(m_prompter.messages, QStringList{CAutoTuneWizard::CancelledMessage});
        QTRY_VERIFY_WITH_TIMEOUT(CountSent("TEC:OUT 0", from) >= 1, 10000);
        QVERIFY(CountSent("TEC:AUTOTUNE 30.00", from) == 1);
    }
};

QTEST_MAIN(CAutoTuneWizardTest)
#include "autotune_wizard_test.moc"
