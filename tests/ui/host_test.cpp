// The host window: panels from the stored list, their sections, removal, replacement by the type
// that fits, and the quit sequence.
#include "FakePanelHost.h"
#include "ScriptedPrompter.h"
#include "SimPort.h"
#include "StandInPanel.h"
#include "UiTestEnvironment.h"
#include "WidgetActions.h"
#include "diag/MemoryProfile.h"
#include "ui/app/SelectPanelDlg.h"
#include "ui/app/TamrixControlHost.h"
#include "ui/panels/PanelFactory.h"
#include "ui/panels/PanelTypes.h"
#include "ui/widgets/Banner.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QTimer>
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
    void commandsStayInSightAndANewPanelIsScrolledTo();
    void addPanelDetectsTheUnitAndItsPanelTakesOver();
    void typeChoicesNameTheirModels();
    void everyKindRowBuildsItsPanelAndAtMostOneFits();
    void panelsFitCommonScreens();
    void aWindowTheUserResizesWrapsThePanelsIntoRows();

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
    // The row ends where a next panel would stand; the command bar follows the visible part of it and
    // ends a margin after its buttons.
    auto* canvas = WidgetActions::Child<QWidget>(host.get(), "panelCanvas");
    QCOMPARE(canvas->width(),
             host->PanelAt(2)->geometry().right() + 1 + CTamrixControlHost::GapAfterCollapsed);
    auto* scroll = WidgetActions::Child<QScrollArea>(host.get(), "panelScroll");
    auto* add = WidgetActions::Child<QPushButton>(host.get(), "addPanelButton");
    QCOMPARE(add->mapTo(host.get(), QPoint(0, 0)).x(), scroll->geometry().right() + 1);
    QCOMPARE(host->width(), scroll->width() + add->width() + CTamrixControlHost::Margin);
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

void HostTest::commandsStayInSightAndANewPanelIsScrolledTo()
{
    // Far more panels than any screen is wide.
    m_profile->WriteString("Settings", "Panels", "3,3,3,3,3,3,3,3");
    for (int i = 0; i < 8; ++i)
        m_profile->WriteInt("Panel" + std::to_string(i) + "-3", "Condensed", 0);
    auto host = MakeHost();
    host->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.get()));
    auto* scroll = host->findChild<QScrollArea*>("panelScroll");
    QVERIFY(scroll->horizontalScrollBar()->maximum() > 0);
    const QRect window = host->rect();
    for (const char* name : {"addPanelButton", "aboutButton", "exitButton"})
    {
        auto* button = WidgetActions::Child<QPushButton>(host.get(), name);
        QVERIFY2(!scroll->isAncestorOf(button), name);
        QVERIFY2(window.contains(QRect(button->mapTo(host.get(), QPoint(0, 0)), button->size())), name);
    }

    // Add Panel, as a user does it: the dialog's TEC choice; the row scrolls to the new panel at its end.
    QTimer::singleShot(0, this,
                       []
                       {
                           if (QWidget* dialog = QApplication::activeModalWidget())
                               QTest::mouseClick(
                                   WidgetActions::Child<QPushButton>(dialog, "addTecPanelButton"),
                                   Qt::LeftButton);
                       });
    QTest::mouseClick(WidgetActions::Child<QPushButton>(host.get(), "addPanelButton"), Qt::LeftButton);
    QCOMPARE(host->PanelCount(), 9);
    CBasePanel* added = host->PanelAt(8);
    QCOMPARE(added->TypeCode(), PanelType::TEC);
    const auto inView = [&]
    {
        const QRect shown(added->mapTo(scroll->viewport(), QPoint(0, 0)), added->size());
        return scroll->viewport()->rect().contains(QRect(shown.topLeft(), QSize(shown.width(), 1)));
    };
    QTRY_VERIFY_WITH_TIMEOUT(inView(), 5000);
}

void HostTest::addPanelDetectsTheUnitAndItsPanelTakesOver()
{
    auto unit = SSimPort::OnPty("K760", 206);
    QVERIFY(unit);
    m_profile->WriteString("Settings", "Panels", "1");
    auto host = MakeHost();
    host->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.get()));
    QString offered;
    QTimer::singleShot(0, this,
                       [&offered]
                       {
                           QWidget* dialog = QApplication::activeModalWidget();
                           if (!dialog)
                               return;
                           auto* ports = WidgetActions::Child<QComboBox>(dialog, "detectPortList");
                           const int row = ports->findText("COM206", Qt::MatchStartsWith);
                           offered = ports->itemText(row);
                           ports->setFocus();
                           while (ports->currentIndex() != row && ports->currentIndex() < ports->count() - 1)
                               QTest::keyClick(ports, Qt::Key_Down);
                           QTest::mouseClick(WidgetActions::Child<QPushButton>(dialog, "detectButton"),
                                             Qt::LeftButton);
                       });
    QTest::mouseClick(WidgetActions::Child<QPushButton>(host.get(), "addPanelButton"), Qt::LeftButton);
    QVERIFY2(offered.startsWith("COM206 (/"), qPrintable(offered));
    // The unit is a TEC controller: the panel that detected it gives way to the TEC panel, connected.
    QTRY_VERIFY_WITH_TIMEOUT(host->PanelCount() == 2 && host->PanelAt(1)->TypeCode() == PanelType::TEC &&
                                 host->PanelAt(1)->IsConnected(),
                             15000);
    QCOMPARE(host->PanelAt(1)->SelectedDescriptor(), unit->descriptor);
    QCOMPARE(host->PanelAt(0)->TypeCode(), PanelType::Laser);
    QVERIFY2(m_prompter.messages.isEmpty(), qPrintable(m_prompter.messages.join('|')));
}

void HostTest::typeChoicesNameTheirModels()
{
    CSelectPanelDlg dialog({});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(WidgetActions::Child<QPushButton>(&dialog, "addM6x9PanelButton")->text(),
             QString("M6x9 panel: M609, M619"));
    QVERIFY(WidgetActions::Child<QPushButton>(&dialog, "addComboPanelButton")->text().contains("X19"));
    // Every list of models shows whole, inside the buttons' padding of 10 pixels a side.
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) + 20 < button->width(),
                 qPrintable(button->text()));
    // Without a port there is nothing to detect on.
    QVERIFY(!WidgetActions::Child<QPushButton>(&dialog, "detectButton")->isEnabled());
    QTest::mouseClick(WidgetActions::Child<QPushButton>(&dialog, "addM6x8PanelButton"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.SelectedType(), PanelType::M6x8);
    QVERIFY(dialog.DetectDescriptor().empty());
}

void HostTest::everyKindRowBuildsItsPanelAndAtMostOneFits()
{
    CFakePanelHost host;
    const SUiContext context{*m_profile, m_prompter};
    CSelectPanelDlg dialog({});
    for (const PanelType::SKind& kind : PanelType::Kinds())
    {
        std::unique_ptr<CBasePanel> panel(CreatePanel(kind.typeCode, context, host, 0, nullptr));
        QVERIFY(panel);
        QCOMPARE(panel->TypeCode(), kind.typeCode);
        if (kind.choiceKind)
            QVERIFY2(dialog.findChild<QPushButton*>(kind.choiceName), kind.choiceName);
    }
    // Replacement by the fitting type must never be refused: no two kinds claim one unit, and the one
    // that does takes it.
    for (int family = 0; family <= 10; ++family)
        for (int model = 0; model <= 25; ++model)
            for (int variant : {0, 1, 22, 23, 25, 32, 37, 38})
            {
                SIdentRecord record;
                record.familyCode = family;
                record.modelCode = model;
                record.variantCode = variant;
                int fitting = 0;
                for (const PanelType::SKind& kind : PanelType::Kinds())
                    fitting += kind.fits(record) ? 1 : 0;
                QVERIFY(fitting <= 1);
                const int type = PanelType::FittingType(record);
                QVERIFY(type == 0 || PanelType::Accepts(type, record));
            }
}

void HostTest::panelsFitCommonScreens()
{
    // The window manager's frame and title bar, as the host allows for them.
    constexpr int Frame = 48;
    const struct
    {
        int type;
        int screenHeight;
    } cases[] = {{PanelType::Combo, 768}, {PanelType::Norlase, 1080}};
    for (const auto& c : cases)
    {
        m_profile->WriteString("Settings", "Panels", std::to_string(c.type));
        CTamrixControlHost host(SUiContext{*m_profile, m_prompter});
        host.RestorePanels();
        CBasePanel* panel = host.PanelAt(0);
        QVERIFY(panel);
        const int needed =
            CBanner::Height + panel->geometry().bottom() + 1 + CTamrixControlHost::Margin + Frame;
        QVERIFY2(needed <= c.screenHeight,
                 qPrintable(QString("panel type %1 needs %2 pixels of height").arg(c.type).arg(needed)));
    }
}

// The window fits its row until the user gives it a size; then the panels wrap into rows within that
// width, and a panel's own change of size keeps the user's window.
void HostTest::aWindowTheUserResizesWrapsThePanelsIntoRows()
{
    m_profile->WriteString("Settings", "Panels", "2,1,2");
    for (const char* section : {"Panel0-2", "Panel1-1", "Panel2-2"})
        m_profile->WriteInt(section, "Condensed", 0);
    auto host = MakeHost();
    host->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.get()));
    const auto rowsOf = [&]
    {
        QSet<int> tops;
        for (int i = 0; i < host->PanelCount(); ++i)
            tops.insert(host->PanelAt(i)->y());
        return tops.size();
    };
    QCOMPARE(rowsOf(), 1);
    const QSize fitted = host->size();
    auto* canvas = WidgetActions::Child<QWidget>(host.get(), "panelCanvas");
    const int fullRow = canvas->width();

    // Room for two panels across: the third goes below the taller of them.
    const int two = host->PanelAt(1)->geometry().right() + 1 + CTamrixControlHost::GapAfterCollapsed;
    auto* scroll = WidgetActions::Child<QScrollArea>(host.get(), "panelScroll");
    const int bar = host->width() - scroll->width();
    host->resize(two + bar + 40, 2 * fitted.height());
    QTRY_COMPARE_WITH_TIMEOUT(rowsOf(), 2, 5000);
    CBasePanel* third = host->PanelAt(2);
    QCOMPARE(third->x(), CTamrixControlHost::FirstPanelX);
    QCOMPARE(third->y(),
             std::max(host->PanelAt(0)->geometry().bottom(), host->PanelAt(1)->geometry().bottom()) + 1 +
                 CTamrixControlHost::RowGap);
    for (int i = 0; i < host->PanelCount(); ++i)
        QVERIFY2(host->PanelAt(i)->geometry().right() < scroll->viewport()->width(),
                 qPrintable(QString::number(i)));
    // The commands stay beside the view.
    auto* add = WidgetActions::Child<QPushButton>(host.get(), "addPanelButton");
    QCOMPARE(add->mapTo(host.get(), QPoint(0, 0)).x(), scroll->geometry().right() + 1);

    // A change of the panels keeps the user's size and wraps again within it.
    const QSize chosen = host->size();
    host->LayoutPanels();
    QCOMPARE(host->size(), chosen);
    QCOMPARE(rowsOf(), 2);

    // Wide enough again, one row.
    host->resize(fullRow + bar + 40, fitted.height());
    QTRY_COMPARE_WITH_TIMEOUT(rowsOf(), 1, 5000);
}

QTEST_MAIN(HostTest)
#include "host_test.moc"
