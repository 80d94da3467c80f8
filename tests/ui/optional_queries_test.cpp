// Every simulated model, created as the factory creates it from the unit's identity: its connect, each
// settings page it offers and the information dialog ask only what the unit answers. A query the unit lacks
// costs a time-out and leaves "Path not found" in its error queue, so an empty queue after each step shows
// that nothing went unanswered.
#include "ScriptedPrompter.h"
#include "SimInstrument.h"
#include "SimModelTable.h"
#include "UiTestEnvironment.h"
#include "comm/PortResolver.h"
#include "diag/MemoryProfile.h"
#include "instrument/lamp/MultiLPS.h"
#include "instrument/laser/Laser.h"
#include "instrument/multi/MultiLaser.h"
#include "instrument/multi/MultiTec.h"
#include "instrument/report/Channels.h"
#include "instrument/session/InstrumentFactory.h"
#include "instrument/tec/TEC.h"
#include "ui/common/UiContext.h"
#include "ui/dialogs/LaserSettingsDlg.h"
#include "ui/dialogs/QCWParametersDlg.h"
#include "ui/dialogs/TECSettingsDlg.h"

#include <QComboBox>
#include <QtTest>
#include <memory>

namespace
{
CUiTestEnvironment environment;

constexpr int kFirstPort = 120; // port numbers run up to 255

// The channels a page can be opened for, as the panels reach them: a multi-channel unit through its
// parent with the channel selected first, a single-channel unit as itself.
// The instrument as a panel reaches it, without owning it (the test does).
std::function<const SInstrumentLink&()> LinkTo(CInstrBase& instrument)
{
    return [link = SInstrumentLink{std::shared_ptr<CInstrBase>(&instrument, [](CInstrBase*) {}),
                                   CRequestStrand::Create()}]() -> const SInstrumentLink& { return link; };
}

std::vector<STecChannelAccess> TecAccesses(CInstrBase& instrument)
{
    std::vector<STecChannelAccess> accesses;
    auto session = [&instrument] { return &instrument; };
    if (auto* multi = dynamic_cast<CMultiTec*>(&instrument))
    {
        for (int k = 0; k < multi->GetTecChannelCount(); ++k)
            accesses.push_back({[multi]() -> CTEC* { return multi; }, [multi, k] { multi->SelectChannel(k); },
                                session, k, multi->GetTecChannelCount(),
                                [multi, k] { return multi->GetChannelObject(k); }, LinkTo(instrument)});
    }
    else if (auto* tec = dynamic_cast<CTEC*>(&instrument))
        accesses.push_back({[tec] { return tec; }, {}, session, 0, 1, {}, LinkTo(instrument)});
    return accesses;
}

std::vector<SLaserChannelAccess> LaserAccesses(CInstrBase& instrument)
{
    std::vector<SLaserChannelAccess> accesses;
    auto session = [&instrument] { return &instrument; };
    auto addAll =
        [&](CLaser* parent, int count, std::function<void(int)> select, std::function<CLaser*(int)> channel)
    {
        for (int k = 0; k < count; ++k)
            accesses.push_back({[parent] { return parent; }, [select, k] { select(k); }, session, k, count,
                                [channel, k] { return channel(k); }, LinkTo(instrument)});
    };
    if (auto* multi = dynamic_cast<CMultiLaser*>(&instrument))
        addAll(
            multi, multi->GetLaserChannelCount(), [multi](int k) { multi->SelectChannel(k); },
            [multi](int k) -> CLaser* { return multi->GetChannelObject(k); });
    else if (auto* lamps = dynamic_cast<CMultiLPS*>(&instrument))
        addAll(
            lamps, lamps->GetLampChannelCount(), [lamps](int k) { lamps->SelectChannel(k); },
            [lamps](int k) -> CLaser* { return lamps->GetChannelObject(k); });
    else if (auto* laser = dynamic_cast<CLaser*>(&instrument))
        accesses.push_back({[laser] { return laser; }, {}, session, 0, 1, {}, LinkTo(instrument)});
    return accesses;
}
} // namespace

class COptionalQueriesTest : public QObject
{
    Q_OBJECT

private:
    CMemoryProfile m_profile;
    CScriptedPrompter m_prompter;
    SUiContext m_context{m_profile, m_prompter};

    std::unique_ptr<CSimInstrument> m_sim;
    std::unique_ptr<CInstrBase> m_instrument;
    size_t m_stepStart = 0;

    // What the unit queued since the last step (and empties it), with the lines it received meanwhile.
    QString Unanswered()
    {
        const std::string errors =
            m_sim->Engine().WithUnit([](CSimUnit& unit) { return unit.Errors().TakeNumbers(); });
        QString lines;
        const std::vector<std::string> received = m_sim->Log().Lines();
        for (size_t i = m_stepStart; i < received.size(); ++i)
            lines += "\n  " + QString::fromStdString(received[i]);
        m_stepStart = received.size();
        int collected = 0;
        for (CInstrBase* session : SChannels::Of(*m_instrument).Sessions(*m_instrument))
            collected += session->CInstrBase::GetErrorCount();
        if (errors == "0" && collected == 0)
            return {};
        return QString("unit queued %1, program collected %2 errors, after:%3")
            .arg(QString::fromStdString(errors))
            .arg(collected)
            .arg(lines);
    }

    void Connect(const SSimModel& model, int port)
    {
        m_instrument.reset();
        m_sim = std::make_unique<CSimInstrument>(model);
        std::string error;
        QVERIFY2(m_sim->StartPty("", error), error.c_str());
        QVERIFY(CPortResolver::Register(port, m_sim->PtyPath()));
        const std::string descriptor = "COM:" + std::to_string(port) + ":38400";
        // The class detection would choose; detection's own probing is not what is checked here.
        m_instrument.reset(
            CreateInstrumentObject(model.familyCode, model.modelCode, model.variantCode, model.versionMajor));
        QVERIFY2(m_instrument, model.name.c_str());
        QVERIFY2(m_instrument->Connect(descriptor), model.name.c_str());
    }

private slots:
    void EveryPageAsksOnlyWhatTheUnitAnswers_data()
    {
        QTest::addColumn<QString>("model");
        for (const SSimModel& model : CSimModelTable::All())
            QTest::newRow(model.name.c_str()) << QString::fromStdString(model.name);
    }

    void EveryPageAsksOnlyWhatTheUnitAnswers()
    {
        QFETCH(QString, model);
        const auto& all = CSimModelTable::All();
        const auto row =
            std::find_if(all.begin(), all.end(),
                         [&](const SSimModel& m) { return QString::fromStdString(m.name) == model; });
        const int port = kFirstPort + static_cast<int>(row - all.begin());
        const auto cleanup = qScopeGuard(
            [&]
            {
                if (m_instrument)
                    m_instrument->Disconnect();
                m_instrument.reset();
                m_sim.reset();
                CPortResolver::Unregister(port);
            });
        Connect(*row, port);
        if (QTest::currentTestFailed())
            return;
        // Errors the connect drained into the program's lists count as well.
        QString step = Unanswered();
        QVERIFY2(step.isEmpty(), qPrintable("connect: " + step));

        for (const STecChannelAccess& access : TecAccesses(*m_instrument))
        {
            CTECSettingsDlg page(m_context, access);
            QVERIFY(page.Load());
            QTRY_VERIFY_WITH_TIMEOUT(page.IsLoaded(), 30000);
            step = Unanswered();
            QVERIFY2(step.isEmpty(),
                     qPrintable(QString("TEC settings %1: ").arg(access.channelIndex) + step));
        }
        for (const SLaserChannelAccess& access : LaserAccesses(*m_instrument))
        {
            CLaserSettingsDlg page(m_context, access);
            QVERIFY(page.Load());
            QTRY_VERIFY_WITH_TIMEOUT(page.IsLoaded(), 30000);
            step = Unanswered();
            QVERIFY2(step.isEmpty(),
                     qPrintable(QString("laser settings %1: ").arg(access.channelIndex) + step));
            // The pulse dialog opens only on channels that offer pulsed modes.
            if (!access.Peek()->IsPulseCapable())
                continue;
            CQCWParametersDlg pulses(m_context, access);
            QVERIFY(pulses.Load());
            QTRY_VERIFY_WITH_TIMEOUT(pulses.IsLoaded() || pulses.result() == CQCWParametersDlg::LostResult,
                                     30000);
            step = Unanswered();
            QVERIFY2(step.isEmpty(),
                     qPrintable(QString("QCW parameters %1: ").arg(access.channelIndex) + step));
        }

        // The information dialog's reads.
        m_instrument->GetMessage();
        if (m_instrument->SupportsRemoteSet())
            m_instrument->GetRemoteSet();
        else if (auto* laser = dynamic_cast<CLaser*>(m_instrument.get());
                 laser && laser->HasRemoteSetControl())
            laser->GetLaserRemoteSet();
        m_instrument->GetModel();
        m_instrument->GetSerialNumber();
        m_instrument->GetCalibrationDate();
        m_instrument->GetFirmwareVersion();
        m_instrument->GetBuild();
        step = Unanswered();
        QVERIFY2(step.isEmpty(), qPrintable("information: " + step));
    }

    // The heat/cool list is offered exactly where the unit keeps the restriction, and there it shows the
    // unit's setting.
    void HeatCoolIsOfferedOnlyWhereTheUnitHasIt()
    {
        for (const char* name : {"K760", "K705", "X510", "M609"})
        {
            const SSimModel* model = CSimModelTable::Find(name);
            QVERIFY(model);
            const int port = kFirstPort + 40;
            Connect(*model, port);
            QVERIFY(!QTest::currentTestFailed());
            if (model->heatCool)
                QCOMPARE(m_sim->Request("TEC:HEATCOOL COOL;ERR?"), std::string("0"));
            const STecChannelAccess access = TecAccesses(*m_instrument).front();
            CTECSettingsDlg page(m_context, access);
            QVERIFY(page.Load());
            QTRY_VERIFY_WITH_TIMEOUT(page.IsLoaded(), 30000);
            auto* list = page.findChild<QComboBox*>("heatCoolList");
            QVERIFY(list);
            QCOMPARE(list->isEnabled(), model->heatCool);
            if (model->heatCool)
                QCOMPARE(list->currentIndex(), 2);
            m_instrument->Disconnect();
            m_instrument.reset();
            m_sim.reset();
            CPortResolver::Unregister(port);
        }
    }
};

QTEST_MAIN(COptionalQueriesTest)
#include "optional_queries_test.moc"
