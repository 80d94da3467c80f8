#include "ui/dialogs/AutoTuneResults.h"

#include "instrument/tec/TEC.h"
#include "ui/dialogs/AutoTuneProcess.h"
#include "ui/widgets/LocaleNumber.h"

#include <QAbstractButton>
#include <QLabel>
#include <QVBoxLayout>
#include <QWizard>

const QString CAutoTuneResults::FailedText = "The AutoTune process FAILED.";
const QString CAutoTuneResults::SucceededText =
    "The AutoTune process completed successfully. The instrument has been updated with the new PID "
    "parameters (shown below), and the Gain has been changed to PID, if needed.";

CAutoTuneResults::CAutoTuneResults(STecChannelAccess access, const CAutoTuneProcess& process, QWidget* parent)
    : QWizardPage(parent), m_access(std::move(access)), m_process(process)
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
    // A second status query here could time out and call a finished tune failed.
    if (m_process.FinalStatus() == CAutoTuneProcess::Succeeded)
    {
        float p = 0.0f, i = 0.0f, d = 0.0f;
        bool read = false;
        for (int attempt = 0; attempt < PidAttempts && !read; ++attempt)
            read = tec->GetPID(p, i, d);
        const auto line = [read](const char* name, float value)
        { return QString("%1 = %2").arg(name, read ? LocaleNumber::Format(value, 4) : QString("---")); };
        m_result->setText(SucceededText);
        m_p->setText(line("P", p));
        m_i->setText(line("I", i));
        m_d->setText(line("D", d));
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
