#pragma once

#include "ui/common/UiContext.h"
#include "ui/widgets/TecChannelAccess.h"

#include <QTimer>
#include <QWizard>

class CAutoTuneIntro;
class CAutoTuneProcess;
class CAutoTuneResults;
class CAutoTuneSetpoint;

// The four-page AutoTune wizard of one TEC channel: introduction, test point (starts the tune),
// progress with the live temperature, results. The instrument does the tuning; the wizard chooses and
// checks the test point, starts it and reports. Closes as by Cancel when the channel goes away.
class CAutoTuneWizard : public QWizard
{
    Q_OBJECT

public:
    static constexpr int WatchMs = 500;
    // What Run() says when the wizard ended other than by Finish after the tune was started.
    static const QString CancelledMessage;
    enum EPage
    {
        IntroPage,
        SetpointPage,
        ProcessPage,
        ResultsPage
    };

    CAutoTuneWizard(const SUiContext& context, STecChannelAccess access, QWidget* parent = nullptr);

    // The start command went out (read by the panel after the wizard closed).
    bool Started() const;
    const STecChannelAccess& Access() const { return m_access; }
    CAutoTuneSetpoint* Setpoint() const { return m_setpoint; }
    CAutoTuneProcess* Process() const { return m_process; }
    CAutoTuneResults* Results() const { return m_results; }

    // The panel's part: runs the wizard modally; when it ended other than by Finish after the start and
    // the channel is still there, switches the output off and says so.
    static void Run(const SUiContext& context, const STecChannelAccess& access, QWidget* parent);

    // Escape, the close button and Cancel; ignored on the results page.
    void reject() override;

private:
    void OnWatchTick();

    STecChannelAccess m_access;
    QTimer m_watch;
    CAutoTuneIntro* m_intro = nullptr;
    CAutoTuneSetpoint* m_setpoint = nullptr;
    CAutoTuneProcess* m_process = nullptr;
    CAutoTuneResults* m_results = nullptr;
};
