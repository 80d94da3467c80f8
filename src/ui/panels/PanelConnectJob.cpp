#include "ui/panels/PanelConnectJob.h"

#include "comm/PortReservation.h"
#include "instrument/report/ConnectMessages.h"
#include "instrument/session/InstrBase.h"
#include "instrument/session/RequestStrand.h"
#include "ui/panels/PanelDetect.h"
#include "ui/panels/PanelMessages.h"

#include <QtConcurrent/QtConcurrent>

CPanelConnectJob::CPanelConnectJob(FCreate create, QObject* parent)
    : QObject(parent), m_create(std::move(create)), m_reservation(std::make_unique<CPortReservation>())
{
    connect(&m_probeWatcher, &QFutureWatcher<SProbe>::finished, this, &CPanelConnectJob::OnProbeFinished);
    connect(&m_connectWatcher, &QFutureWatcher<bool>::finished, this, &CPanelConnectJob::OnConnectFinished);
}

CPanelConnectJob::~CPanelConnectJob()
{
    m_probeWatcher.waitForFinished();
    m_connectWatcher.waitForFinished();
}

void CPanelConnectJob::Start(const std::string& descriptor, std::shared_ptr<CRequestStrand> retired)
{
    m_descriptor = descriptor;
    m_record = {};
    CPortReservation* reservation = m_reservation.get();
    m_probeWatcher.setFuture(QtConcurrent::run(&PanelDetect::Pool(),
                                               [descriptor, reservation, retired = std::move(retired)]
                                               {
                                                   // The last instrument may still hold the port.
                                                   if (retired)
                                                       retired->WaitIdle(PanelDetect::RetireWaitMs());
                                                   SProbe probe;
                                                   probe.openError = PanelDetect::ReserveAndDetect(
                                                       descriptor, probe.record, *reservation);
                                                   return probe;
                                               }));
}

void CPanelConnectJob::ReleasePort()
{
    m_reservation->Release();
}

void CPanelConnectJob::OnProbeFinished()
{
    const SProbe probe = m_probeWatcher.result();
    m_record = probe.record;
    if (!probe.openError.empty())
    {
        emit finished(EOutcome::Failed, QString::fromStdString(probe.openError));
        return;
    }
    m_instrument.reset(m_create(probe.record));
    if (!m_instrument)
    {
        emit finished(EOutcome::NotAccepted, {});
        return;
    }
    CInstrBase* instrument = m_instrument.get();
    m_connectWatcher.setFuture(QtConcurrent::run(&PanelDetect::Pool(), [instrument, descriptor = m_descriptor]
                                                 { return instrument->Connect(descriptor); }));
}

void CPanelConnectJob::OnConnectFinished()
{
    if (!m_connectWatcher.result())
    {
        const bool refused = m_instrument->WasIdentityRefused();
        m_instrument->Disconnect();
        m_instrument.reset();
        emit finished(EOutcome::Failed,
                      refused ? QString(ConnectMessages::UnreadableIdentity) : PanelMessages::ConnectFailed);
        return;
    }
    // Errors the unit had queued before the connect are its own: they go to the error log too.
    m_instrument->AddErrorsFromReply(m_record.queuedErrors, 0);
    emit finished(EOutcome::Connected, {});
}
