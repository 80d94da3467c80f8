#pragma once

#include "ui/widgets/TecChannelAccess.h"

#include <QWizardPage>

class CAutoTuneProcess;
class QLabel;

// Last page: the outcome the process page saw and, after a success, the P, I and D the instrument
// computed and stored. Only Finish closes it.
class CAutoTuneResults : public QWizardPage
{
    Q_OBJECT

public:
    static const QString FailedText;
    static const QString SucceededText;

    static constexpr int PidAttempts = 3;
    static inline const QString ReadingText = "Reading...";

    CAutoTuneResults(STecChannelAccess access, const CAutoTuneProcess& process, QWidget* parent = nullptr);

    void initializePage() override;

private:
    STecChannelAccess m_access;
    const CAutoTuneProcess& m_process;
    struct SPid
    {
        bool read = false;
        float p = 0.0f, i = 0.0f, d = 0.0f;
    };
    QLabel* m_result = nullptr;
    QLabel* m_p = nullptr;
    QLabel* m_i = nullptr;
    QLabel* m_d = nullptr;
};
