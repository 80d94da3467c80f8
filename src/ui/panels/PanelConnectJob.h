#pragma once

#include "instrument/session/IdentRecord.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

class CInstrBase;
class CPortReservation;
class CRequestStrand;

// One connect of a panel on a worker: the port test and detection, then, for a unit the panel accepts,
// the instrument's connect. A serial port stays reserved from detection until the panel releases it,
// so no other program takes it in between. The panel hears the end through finished().
class CPanelConnectJob : public QObject
{
    Q_OBJECT

public:
    enum class EOutcome
    {
        Connected,   // TakeInstrument() gives the connected instrument
        Failed,      // the message says why
        NotAccepted, // the panel refused the unit of Record(); it may give way to a fitting panel
    };

    // create makes the instrument object for an identified unit, or refuses the unit (null).
    using FCreate = std::function<CInstrBase*(const SIdentRecord&)>;

    explicit CPanelConnectJob(FCreate create, QObject* parent = nullptr);
    // Waits for a connect still running on the worker: it owns its instrument until it returns.
    ~CPanelConnectJob() override;

    // retired is the strand of the panel's last instrument, which may still hold the port.
    void Start(const std::string& descriptor, std::shared_ptr<CRequestStrand> retired);
    const SIdentRecord& Record() const { return m_record; }
    std::unique_ptr<CInstrBase> TakeInstrument() { return std::move(m_instrument); }
    // The reserved serial port is free for others again (the connected instrument holds it open).
    void ReleasePort();

signals:
    void finished(CPanelConnectJob::EOutcome outcome, const QString& message);

private:
    struct SProbe
    {
        std::string openError; // empty when the port opened
        SIdentRecord record;
    };

    void OnProbeFinished();
    void OnConnectFinished();

    FCreate m_create;
    std::string m_descriptor;
    SIdentRecord m_record;
    std::unique_ptr<CPortReservation> m_reservation;
    std::unique_ptr<CInstrBase> m_instrument;
    QFutureWatcher<SProbe> m_probeWatcher;
    QFutureWatcher<bool> m_connectWatcher;
};
