// The host window: panels from the stored list, their sections, removal, replacement by the type
// that fits, and the quit sequence.
#include "FakePanelHost.h"
#include "ScriptedPrompter.h"
#include "SimPort.h"
#include "StandInPanel.h"
#include "UiTestEnvironment.h"
#include "diag/MemoryProfile.h"
#include "ui/app/TamrixControlHost.h"
#include "ui/panels/PanelTypes.h"

#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QtTest>
#include <memory>

class HostTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void firstStartShowsOneComboPanel();
    void storedListGivesPanelsWithTheirSections();
    void removingTheMiddlePanelRenamesTheNext();
    void unknownCodesCreateNothing();
    void storedListIsCappedAndItsRestKeptOnQuit();
    void quitAsksOnlyWhileConnected();
    void enterRunsTheQuitSequence();
    void panelFindingAnotherUnitGivesWayToItsPanel_data();
    void panelFindingAnotherUnitGivesWayToItsPanel();
    void singlePanelHasNoHideButtonAndAllCollapsedExpandsTheFirst();
    void fittingTypesNeverLoop_data();
    void fittingTypesNeverLoop();

private:
    std::unique_ptr<CTamrixControlHost> MakeHost();

    CUiTestEnvironment m_environment;
    std::unique_ptr<CMemoryProfile> m_profile;
    CScriptedPrompter m_prompter;
};

std::unique_ptr<CTamrixControlHost> HostTest::MakeHost()
{
    auto host =
        std::make_unique<CTamrixControlHost>(SUiContext{*m_profile, m_prompter}, CStandInPanel::Create);
    host->RestorePanels();
    return host;
}

void HostTest::init()
{
    m_profile = std::make_unique<CMemoryProfile>();
    m_prompter.Reset();
}

void HostTest::cleanup()
{
    m_profile.reset();
}

void HostTest::firstStartShowsOneComboPanel()
{
    auto host = MakeHost();
    QCOMPARE(host->PanelCount(), 1);
    QCOMPARE(host->PanelAt(0)->TypeCode(), PanelType::Combo);
    QCOMPARE(host->PanelAt(0)->SectionName(), std::string("Panel0-3"));
}

void HostTest::storedListGivesPanelsWithTheirSections()
{
    m_profile->WriteString("Settings", "Panels", "2,1,3");
    auto host = MakeHost();
    QCOMPARE(host->PanelCount(), 3);
    QCOMPARE(host->PanelAt(0)->SectionName(), std::string("Panel0-2"));
    QCOMPARE(host->PanelAt(1)->SectionName(), std::string("Panel1-1"));
    QCOMPARE(host->PanelAt(2)->SectionName(), std::string("Panel2-3"));
    // Left to right, with the gaps of the layout.
    QCOMPARE(host->PanelAt(0)->x(), CTamrixControlHost::FirstPanelX);
    QCOMPARE(host->PanelAt(1)->x(),
             host->PanelAt(0)->geometry().right() + 1 + CTamrixControlHost::GapAfterExpanded);
    auto* add = host->findChild<QPushButton*>("addPanelButton");
    QCOMPARE(add->x(), host->PanelAt(2)->geometry().right() + 1 + CTamrixControlHost::GapAfterCollapsed);
    QCOMPARE(add->parentWidget()->width(), add->geometry().right() + 1 + CTamrixControlHost::Margin);
}

void HostTest::removingTheMiddlePanelRenamesTheNext()
{
    m_profile->WriteString("Settings", "Panels", "2,1,3");
    m_profile->WriteInt("Panel2-3", "Condensed", 0);
    auto host = MakeHost();
    host->RemovePanel(1);
    QCOMPARE(host->PanelCount(), 2);
    QCOMPARE(host->PanelAt(1)->SectionName(), std::string("Panel1-3"));
    QCOMPARE(m_profile->GetString("Panel2-3", "Condensed", "gone"), std::string("gone"));
    QVERIFY(host->Quit());
    QCOMPARE(m_profile->GetString("Settings", "Panels"), std::string("2,3"));
    QCOMPARE(m_profile->GetInt("Panel1-3", "Condensed", -1), 0);
}

void HostTest::unknownCodesCreateNothing()
{
    m_profile->WriteString("Settings", "Panels", "2,x,9,0,1");
    auto host = MakeHost();
    QCOMPARE(host->PanelCount(), 2);
    m_profile->WriteString("Settings", "Panels", "");
    auto empty = MakeHost();
    QCOMPARE(empty->PanelCount(), 0);
    // Codes convert as the C runtime does: blanks, a sign, then the digits up to the first other sign.
    m_profile->WriteString("Settings", "Panels", "1x, 2 ,+3,4.5");
    auto lenient = MakeHost();
    QCOMPARE(lenient->PanelCount(), 4);
    QCOMPARE(lenient->PanelAt(0)->TypeCode(), PanelType::Laser);
    QCOMPARE(lenient->PanelAt(1)->TypeCode(), PanelType::TEC);
    QCOMPARE(lenient->PanelAt(2)->TypeCode(), PanelType::Combo);
    QCOMPARE(lenient->PanelAt(3)->TypeCode(), PanelType::Norlase);
}

void HostTest::storedListIsCappedAndItsRestKeptOnQuit()
{
    QStringList made;
    for (int i = 0; i < CTamrixControlHost::MaxRestoredPanels; ++i)
        made << QString::number(i % 3 + 1);
    // Past the cap, entries stay exactly as they were stored, also forms the program would rewrite.
    const QStringList rest{"2x", "1", "99", "3"};
    m_profile->WriteString("Settings", "Panels", (made + rest).join(',').toStdString());
    auto host = MakeHost();
    QCOMPARE(host->PanelCount(), CTamrixControlHost::MaxRestoredPanels);
    QTRY_COMPARE_WITH_TIMEOUT(m_prompter.messages.size(), 1, 5000);
    QVERIFY2(m_prompter.messages.front().contains("at most 64"), qPrintable(m_prompter.messages.front()));

    host->RemovePanel(0);
    QVERIFY(host->Quit(false));
    made.removeFirst();
    QCOMPARE(m_profile->GetString("Settings", "Panels"), (made + rest).join(',').toStdString());
    QCOMPARE(m_prompter.messages.size(), 1);
}

void HostTest::quitAsksOnlyWhileConnected()
{
    auto unit = SSimPort::OnPty("K760", 201);
    QVERIFY(unit);
    m_profile->WriteString("Settings", "Panels", "2,2");
    auto host = MakeHost();
    QVERIFY(host->Quit());
    QVERIFY(m_prompter.questions.isEmpty());

    auto second = MakeHost();
    QSignalSpy finished(second->PanelAt(1), &CBasePanel::connectFinished);
    QVERIFY(second->PanelAt(1)->Connect(unit->descriptor));
    QVERIFY(finished.wait(15000));
    QVERIFY(second->PanelAt(1)->IsConnected());
    m_prompter.QueueAnswer(false);
    QVERIFY(!second->Quit());
    QCOMPARE(m_prompter.questions, QStringList{"Are you sure you want to quit?"});
    QVERIFY(second->PanelAt(1)->IsConnected());
    QCOMPARE(second->PanelCount(), 2);

    m_prompter.QueueAnswer(true);
    QVERIFY(second->Quit());
    QVERIFY(!second->PanelAt(1)->IsConnected());
    QVERIFY(unit->sim->Log().WaitForText("LOCAL", std::chrono::milliseconds(2000)) >= 0);
    QCOMPARE(m_profile->GetString("Settings", "Panels"), std::string("2,2"));
    QCOMPARE(m_profile->GetString("Panel1-2", "Connection"), unit->descriptor);
}

void HostTest::enterRunsTheQuitSequence()
{
    auto unit = SSimPort::OnPty("K760", 202);
    QVERIFY(unit);
    m_profile->WriteString("Settings", "Panels", "2");
    auto host = MakeHost();
    QSignalSpy finished(host->PanelAt(0), &CBasePanel::connectFinished);
    QVERIFY(host->PanelAt(0)->Connect(unit->descriptor));
    QVERIFY(finished.wait(15000));
    m_prompter.QueueAnswer(false);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(host.get(), &enter);
    QCOMPARE(m_prompter.questions.size(), 1);
    QVERIFY(host->PanelAt(0)->IsConnected());
}

void HostTest::panelFindingAnotherUnitGivesWayToItsPanel_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("to");
    QTest::newRow("laser panel, TEC unit") << 203 << PanelType::Laser << "K760" << PanelType::TEC;
    QTest::newRow("M6x8 panel, single-channel laser") << 204 << PanelType::M6x8 << "D310" << PanelType::Laser;
    QTest::newRow("laser panel, X19") << 205 << PanelType::Laser << "X19" << PanelType::Combo;
}

void HostTest::panelFindingAnotherUnitGivesWayToItsPanel()
{
    QFETCH(int, port);
    QFETCH(int, from);
    QFETCH(QString, model);
    QFETCH(int, to);
    auto unit = SSimPort::OnPty(model.toStdString(), port);
    QVERIFY(unit);
    m_profile->WriteString("Settings", "Panels", "2," + std::to_string(from));
    auto host = MakeHost();
    QPointer<CBasePanel> first = host->PanelAt(1);
    first->SetAutoConnect(true);
    QVERIFY(first->Connect(unit->descriptor));
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 15000);
    CBasePanel* replacement = host->PanelAt(1);
    QCOMPARE(replacement->TypeCode(), to);
    QCOMPARE(replacement->SectionName(), "Panel1-" + std::to_string(to));
    QVERIFY(replacement->AutoConnect());
    QTRY_VERIFY_WITH_TIMEOUT(replacement->IsConnected(), 15000);
    QCOMPARE(replacement->SelectedDescriptor(), unit->descriptor);
    QVERIFY2(m_prompter.messages.isEmpty(), qPrintable(m_prompter.messages.join('|')));
    QCOMPARE(m_profile->GetString("Panel1-" + std::to_string(from), "AutoConnect", "gone"),
             std::string("gone"));
}

void HostTest::singlePanelHasNoHideButtonAndAllCollapsedExpandsTheFirst()
{
    m_profile->WriteString("Settings", "Panels", "2,2");
    m_profile->WriteInt("Panel0-2", "Condensed", 1);
    m_profile->WriteInt("Panel1-2", "Condensed", 1);
    auto host = MakeHost();
    host->show();
    QVERIFY(!host->PanelAt(0)->IsCondensed());
    QVERIFY(host->PanelAt(1)->IsCondensed());
    QVERIFY(host->PanelAt(0)->findChild<QWidget*>("hidePanelButton")->isVisibleTo(host.get()));
    host->RemovePanel(1);
    QVERIFY(!host->PanelAt(0)->findChild<QWidget*>("hidePanelButton")->isVisibleTo(host.get()));
}

void HostTest::fittingTypesNeverLoop_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("variant");
    QTest::addColumn<int>("type");
    QTest::newRow("D310") << 1 << 1 << 1 << PanelType::Laser;
    QTest::newRow("M618") << 1 << 19 << 32 << PanelType::M6x8;
    QTest::newRow("M608 variant 38") << 1 << 19 << 38 << PanelType::M6x8;
    QTest::newRow("K760") << 2 << 13 << 30 << PanelType::TEC;
    QTest::newRow("M609") << 2 << 15 << 25 << PanelType::M609;
    QTest::newRow("X510") << 3 << 5 << 22 << PanelType::Combo;
    QTest::newRow("M607") << 3 << 20 << 38 << PanelType::M607;
    QTest::newRow("OEM") << 7 << 14 << 0 << PanelType::Norlase;
    QTest::newRow("X19") << 3 << 6 << 23 << PanelType::Combo;
    QTest::newRow("lamp supply") << 9 << 1 << 0 << 0;
    QTest::newRow("laser of another model") << 1 << 7 << 1 << 0;
}

void HostTest::fittingTypesNeverLoop()
{
    QFETCH(int, family);
    QFETCH(int, model);
    QFETCH(int, variant);
    QFETCH(int, type);
    SIdentRecord record;
    record.familyCode = family;
    record.modelCode = model;
    record.variantCode = variant;
    record.versionMajor = 1;
    QCOMPARE(PanelType::FittingType(record), type);
    if (type != 0)
        QVERIFY(PanelType::Accepts(type, record));
    // The four-laser panel takes no single-channel laser driver: it would show no block.
    QCOMPARE(PanelType::Accepts(PanelType::M6x8, record), type == PanelType::M6x8);
}

QTEST_MAIN(HostTest)
#include "host_test.moc"
