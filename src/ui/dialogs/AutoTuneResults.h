#pragma once

#include "ui/widgets/TecChannelAccess.h"

#include <QWizardPage>

class QLabel;

// Last page: the outcome and, after a success, the P, I and D the instrument computed and stored.
// Only Finish closes it.
class CAutoTuneResults : public QWizardPage
{
    Q_OBJECT

public:
    static const QString FailedText;
    static const QString SucceededText;

    explicit CAutoTuneResults(STecChannelAccess access, QWidget* parent = nullptr);

    void initializePage() override;

private:
    STecChannelAccess m_access;
    QLabel* m_result = nullptr;
    QLabel* m_p = nullptr;
    QLabel* m_i = nullptr;
    QLabel* m_d = nullptr;
};
