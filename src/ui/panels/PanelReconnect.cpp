#include "ui/panels/PanelReconnect.h"

#include "comm/PortReservation.h"
#include "instrument/session/InstrBase.h"
#include "instrument/session/InstrumentFactory.h"
#include "instrument/session/ReconnectSearch.h"
#include "instrument/session/RequestStrand.h"
#include "ui/panels/PanelDetect.h"

#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrent>
#include <atomic>
#include <mutex>

// What a wait shares with its looks on the worker. The search is the worker's alone: one look runs at a
// time. A unit found passes to the window under the lock, and only while the wait has not stopped.
struct CPanelReconnect::SState
{
    explicit SState(CReconnectSearch reconnectSearch) : search(std::move(reconnectSearch)) {}

    CReconnectSearch search;
    std::atomic<bool> stopped{false};
    std::mutex lock;
    std::unique_ptr<CInstrBase> found; // guarded by lock
};

bool CPanelReconnect::Attempt(SState& state, const std::string& descriptor)
{
    // Held from detection to the end of the connect; the instrument's channel keeps the port's lock after.
    CPortReservation reservation;
    SIdentRecord record;
    if (!PanelDetect::ReserveAndDetect(descriptor, record, reservation).empty() || record.familyCode == 0)
        return false;
    std::unique_ptr<CInstrBase> instrument(
        CreateInstrumentObject(record.familyCode, record.modelCode, record.variantCode, record.versionMajor));
    if (!instrument)
        return false;
    if (!instrument->Connect(descriptor) ||
        !state.search.IsSought(instrument->GetModel(), instrument->GetSerialNumber()))
    {
        instrument->Disconnect();
        return false;
    }
    // Errors the unit had queued before the connect are its own: they go to the error log too.
    instrument->AddErrorsFromReply(record.queuedErrors, 0);
    {
        std::lock_guard<std::mutex> hold(state.lock);
        if (!state.stopped)
        {
            state.found = std::move(instrument);
            return true;
        }
    }
    // The wait ended while this look connected: nobody takes the unit.
    instrument->Disconnect();
    return false;
}

CPanelReconnect::CPanelReconnect(RetiredStrand retired, Found found, QObject* parent)
    : QObject(parent), m_retired(std::move(retired)), m_found(std::move(found))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(static_cast<int>(CReconnectSearch::RoundPeriod.count()));
    connect(&m_timer, &QTimer::timeout, this, &CPanelReconnect::StartRound);
}

CPanelReconnect::~CPanelReconnect()
{
    // A unit found in the last moment is disconnected on a worker, never here.
    if (std::unique_ptr<CInstrBase> late = Stop())
        PanelDetect::Pool().start([instrument = std::shared_ptr<CInstrBase>(std::move(late))]
                                  { instrument->Disconnect(); });
}

void CPanelReconnect::Start(const std::string& descriptor, const std::string& model,
                            const std::string& serialNumber, const QString& gap)
{
    Stop();
    m_state = std::make_shared<SState>(CReconnectSearch(descriptor, model, serialNumber));
    m_gap = gap;
    m_rounds = 0;
    m_waitingText = QString("Waiting for %1 S/N %2 to come back...")
                        .arg(QString::fromLatin1(model.c_str()), QString::fromLatin1(serialNumber.c_str()));
    m_timer.start();
}

std::unique_ptr<CInstrBase> CPanelReconnect::Stop()
{
    m_timer.stop();
    if (!m_state)
        return nullptr;
    std::unique_ptr<CInstrBase> late;
    {
        std::lock_guard<std::mutex> hold(m_state->lock);
        m_state->stopped = true;
        late = std::move(m_state->found);
    }
    m_state.reset();
    m_gap.clear();
    m_waitingText.clear();
    return late;
}

void CPanelReconnect::StartRound()
{
    if (!m_state)
        return;
    std::shared_ptr<SState> state = m_state;
    std::shared_ptr<CRequestStrand> retired = m_retired ? m_retired() : nullptr;
    auto* watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcherBase::finished, this,
            [this, watcher, state]
            {
                watcher->deleteLater();
                OnRoundFinished(state);
            });
    watcher->setFuture(QtConcurrent::run(&PanelDetect::Pool(),
                                         [state, retired]
                                         {
                                             // The unit given up may still hold the port.
                                             if (retired)
                                                 retired->WaitIdle(PanelDetect::RetireWaitMs());
                                             state->search.Round([&state](const std::string& descriptor)
                                                                 { return Attempt(*state, descriptor); },
                                                                 [&state] { return state->stopped.load(); });
                                         }));
}

void CPanelReconnect::OnRoundFinished(const std::shared_ptr<SState>& state)
{
    // A wait that has ended: Stop took what its look found, or the look disconnected it.
    if (state != m_state)
        return;
    ++m_rounds;
    std::unique_ptr<CInstrBase> instrument;
    {
        std::lock_guard<std::mutex> hold(state->lock);
        instrument = std::move(state->found);
    }
    if (!instrument)
    {
        m_timer.start();
        return;
    }
    // The look has ended: the search is no longer the worker's.
    const std::string descriptor = state->search.Descriptor();
    Stop();
    m_found(std::move(instrument), descriptor);
}
