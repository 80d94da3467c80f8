#pragma once

#include "ui/widgets/TecChannelAccess.h"

#include <QTimer>
#include <QWizardPage>

class CTrendChart;
class QLabel;

// Third page: every 500 ms the tune's progress as a step text, the live temperature and its curve;
// moves on to the results by itself once the instrument no longer reports the tune as running. A status
// that cannot be read counts as still running for a few ticks; a tune that ends other than successfully
// is stopped (output off) before the results show the failure.
class CAutoTuneProcess : public QWizardPage
{
    Q_OBJECT

public:
    static constexpr int TickMs = 500;
    static constexpr int UnreadableTicks = 4; // [ticks] a status that cannot be read counts as running
    static constexpr int Running = 1;
    static constexpr int Succeeded = 3;

    explicit CAutoTuneProcess(STecChannelAccess access, QWidget* parent = nullptr);

    void initializePage() override;
    void cleanupPage() override;
    bool isComplete() const override { return m_finished; }

    // One timer tick (tests call it directly): the tune's state is read on the instrument's strand and
    // shown when it is back.
    void Tick();
    // A tick's read is under way.
    bool IsReading() const { return m_reading; }
    // The step text for a progress code.
    static QString StepText(int progress);
    // The test point drawn beside the temperature.
    void SetTestPoint(float celsius) { m_testPoint = celsius; }
    // The status the tune ended with (Succeeded, a failure code, or -1 when it could not be read);
    // the results page reports this one rather than asking again.
    int FinalStatus() const { return m_finalStatus; }

private:
    struct SProgress
    {
        int state = -1;
        int status = -1;
        float temperature = 0.0f;
        bool supported = false;
    };
    void Show(const SProgress& progress);
    void Finish(int status);

    STecChannelAccess m_access;
    QTimer m_timer;
    QLabel* m_step = nullptr;
    QLabel* m_temperature = nullptr;
    CTrendChart* m_chart = nullptr;
    float m_testPoint = 0.0f;
    int m_unreadable = 0;
    int m_finalStatus = -1;
    bool m_finished = false;
    bool m_reading = false;
};
