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
    CTEC* tec = m_access.Direct();
    const SInstrumentLink& link = m_access.Link();
    if (!tec || !link)
    {
        wizard()->reject();
        return;
    }
    // A second status query here could time out and call a finished tune failed.
    if (m_process.FinalStatus() == CAutoTuneProcess::Succeeded)
    {
        m_result->setText(SucceededText);
        for (QLabel* label : {m_p, m_i, m_d})
            label->setText(ReadingText);
        link.Call(
            this,
            [tec]
            {
                SPid pid;
                for (int attempt = 0; attempt < PidAttempts && !pid.read; ++attempt)
                    pid.read = tec->GetPID(pid.p, pid.i, pid.d);
                return pid;
            },
            [this](const SPid& pid)
            {
                const auto line = [&pid](const char* name, float value) {
                    return QString("%1 = %2").arg(name,
                                                  pid.read ? LocaleNumber::Format(value, 4) : QString("---"));
                };
                m_p->setText(line("P", pid.p));
                m_i->setText(line("I", pid.i));
                m_d->setText(line("D", pid.d));
            });
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
