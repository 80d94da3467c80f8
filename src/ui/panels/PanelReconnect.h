#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

class CInstrBase;
class CRequestStrand;

// A panel's wait for its unit to come back after a lost connection or an unplug: the same model and
// serial number, looked for once a second on a worker (its own port, any serial port that appears, or
// its network address). The window never waits: a look that finds the unit connects it there and hands
// it over on the window's thread; Stop ends the wait at once, and a look still running then disconnects
// whatever it finds by itself.
class CPanelReconnect : public QObject
{
    Q_OBJECT

public:
    // The strand of the instrument the panel gave up: the first look waits for it to free the port.
    using RetiredStrand = std::function<std::shared_ptr<CRequestStrand>()>;
    // The unit is back, connected (its poll not started) on descriptor.
    using Found = std::function<void(std::unique_ptr<CInstrBase> instrument, const std::string& descriptor)>;

    CPanelReconnect(RetiredStrand retired, Found found, QObject* parent = nullptr);
    ~CPanelReconnect() override;

    // Starts waiting for the unit last connected on descriptor; gap is what the recording's gap row says.
    void Start(const std::string& descriptor, const std::string& model, const std::string& serialNumber,
               const QString& gap);
    // Ends the wait. A unit connected by a look that ended just now and not yet handed over is returned,
    // for the panel to disconnect the way it disconnects its own.
    std::unique_ptr<CInstrBase> Stop();
    bool IsWaiting() const { return m_state != nullptr; }
    // While waiting: the recording's gap cause ("connection lost"); empty otherwise.
    const QString& Gap() const { return m_gap; }
    // "Waiting for K760 S/N 12345 to come back..."
    const QString& WaitingText() const { return m_waitingText; }
    // Looks that have ended since the wait started.
    int Rounds() const { return m_rounds; }

private:
    struct SState;

    // Detection, the model's class and its connect on descriptor, on the worker, as a panel connects;
    // true once the unit there is the one sought and has been handed to the wait.
    static bool Attempt(SState& state, const std::string& descriptor);
    void StartRound();
    void OnRoundFinished(const std::shared_ptr<SState>& state);

    RetiredStrand m_retired;
    Found m_found;
    std::shared_ptr<SState> m_state; // the wait under way; null when not waiting
    QString m_gap;
    QString m_waitingText;
    int m_rounds = 0;
    QTimer m_timer; // one shot: the next look, a period after the last one ended
};
