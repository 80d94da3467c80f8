#include "ui/dialogs/AutoTuneWizard.h"

#include "instrument/session/InstrBase.h"
#include "instrument/tec/TEC.h"
#include "ui/common/Prompter.h"
#include "ui/dialogs/AutoTuneIntro.h"
#include "ui/dialogs/AutoTuneProcess.h"
#include "ui/dialogs/AutoTuneResults.h"
#include "ui/dialogs/AutoTuneSetpoint.h"

#include <QAbstractButton>

const QString CAutoTuneWizard::CancelledMessage =
    "AutoTune was cancelled. No changes were made to the PID parameters or gain.";

CAutoTuneWizard::CAutoTuneWizard(const SUiContext& context, STecChannelAccess access, QWidget* parent)
    : QWizard(parent), m_access(std::move(access))
{
    setObjectName("autoTuneWizard");
    setWizardStyle(QWizard::ClassicStyle);
    setOptions(QWizard::NoBackButtonOnStartPage);
    if (m_access.channelCount > 1)
        setWindowTitle(QString("AutoTune Wizard for Channel %1").arg(m_access.channelIndex + 1));
    m_intro = new CAutoTuneIntro(this);
    m_setpoint = new CAutoTuneSetpoint(context, m_access, this);
    m_process = new CAutoTuneProcess(m_access, this);
    m_results = new CAutoTuneResults(m_access, *m_process, this);
    setPage(IntroPage, m_intro);
    setPage(SetpointPage, m_setpoint);
    setPage(ProcessPage, m_process);
    setPage(ResultsPage, m_results);
    setMinimumSize(560, 480);
    // Each page names itself in the caption while it is shown (single-channel sheets have no caption of
    // their own).
    connect(this, &QWizard::currentIdChanged, this,
            [this](int id)
            {
                if (m_access.channelCount <= 1 && page(id))
                    setWindowTitle(page(id)->property("caption").toString());
                if (id == ProcessPage)
                    m_process->SetTestPoint(m_setpoint->TestPoint());
            });
    m_watch.setInterval(WatchMs);
    connect(&m_watch, &QTimer::timeout, this, &CAutoTuneWizard::OnWatchTick);
    m_watch.start();
}

bool CAutoTuneWizard::Started() const
{
    return m_setpoint->Started();
}

void CAutoTuneWizard::reject()
{
    // After the tune the instrument holds the new PID parameters: closing as by Cancel would switch the
    // output off and say nothing was changed. Only Finish closes the results, unless the channel went.
    if (currentId() == ResultsPage && m_access.channel && m_access.channel())
        return;
    QWizard::reject();
}

void CAutoTuneWizard::OnWatchTick()
{
    if (!m_access.channel || !m_access.channel())
    {
        m_watch.stop();
        reject();
    }
}

void CAutoTuneWizard::Run(const SUiContext& context, const STecChannelAccess& access, QWidget* parent)
{
    CTEC* tec = access.channel ? access.channel() : nullptr;
    CInstrBase* session = access.Session();
    if (!tec || !session || !session->IsPortOpen())
        return;
    CAutoTuneWizard wizard(context, access, parent);
    const int result = wizard.exec();
    tec = access.channel ? access.channel() : nullptr;
    session = access.Session();
    if (result == QDialog::Accepted || !wizard.Started() || !tec || !session || !session->IsPortOpen())
        return;
    // The output goes off on the instrument's strand, after whatever the wizard still had under way.
    if (CTEC* direct = access.Direct(); direct && access.Link())
        access.Link().strand->Post([direct, keep = access.Link().instrument] { direct->SetOutput(false); });
    context.prompter.Message(parent, CancelledMessage);
}
