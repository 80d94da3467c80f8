#pragma once

#include <QWizardPage>

// First page of the AutoTune wizard: what AutoTune does and what to check before starting it.
class CAutoTuneIntro : public QWizardPage
{
    Q_OBJECT

public:
    static const QString Text;

    explicit CAutoTuneIntro(QWidget* parent = nullptr);
};
