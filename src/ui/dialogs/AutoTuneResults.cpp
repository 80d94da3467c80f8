#include "ui/dialogs/AutoTuneResults.h"

#include "instrument/tec/TEC.h"
#include "ui/widgets/LocaleNumber.h"

#include <QAbstractButton>
#include <QLabel>
#include <QVBoxLayout>
#include <QWizard>

const QString CAutoTuneResults::FailedText = "The AutoTune process FAILED.";
const QString CAutoTuneResults::SucceededText =
    "The AutoTune process completed successfully. The instrument has been updated with the new PID "
    "parameters (shown below), and the Gain has been changed to PID, if needed.";

CAutoTuneResults::CAutoTuneResults(STecChannelAccess access, QWidget* parent)
    : QWizardPage(parent), m_access(std::move(access))
{
    setObjectName("autoTuneResults");
    setTitle("AutoTune");
    setProperty("caption", "AutoTune Wizard - Results");
    setFinalPage(true);
    m_result = new QLabel(this);
    m_result->setObjectName("resultText");
    m_result->setWordWrap(true);
    QFont big = font();
    big.setPixelSize(28);
    big.setBold(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_result);
    for (auto [label, name] : {std::pair{&m_p, "pLine"}, std::pair{&m_i, "iLine"}, std::pair{&m_d, "dLine"}})
    {
        *label = new QLabel(this);
        (*label)->setObjectName(name);
        (*label)->setFont(big);
        (*label)->setMinimumHeight(QFontMetrics(big).height());
        layout->addWidget(*label);
    }
    layout->addStretch(1);
}

void CAutoTuneResults::initializePage()
{
    CTEC* tec = m_access.Selected();
    if (!tec)
    {
        wizard()->reject();
        return;
    }
    float p = 0.0f, i = 0.0f, d = 0.0f;
    if (tec->GetAutoTuneResult() == 3 && tec->GetPID(p, i, d))
    {
        m_result->setText(SucceededText);
        m_p->setText("P = " + LocaleNumber::Format(p, 4));
        m_i->setText("I = " + LocaleNumber::Format(i, 4));
        m_d->setText("D = " + LocaleNumber::Format(d, 4));
    }
    else
    {
        m_result->setText(FailedText);
        m_p->clear();
        m_i->clear();
        m_d->clear();
    }
    // Only Finish closes the wizard now.
    if (QAbstractButton* cancel = wizard()->button(QWizard::CancelButton))
        cancel->setEnabled(false);
}
