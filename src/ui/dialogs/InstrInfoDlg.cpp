#include "ui/dialogs/InstrInfoDlg.h"

#include "instrument/laser/Laser.h"
#include "instrument/session/InstrBase.h"
#include "ui/common/Prompter.h"
#include "ui/dialogs/FieldPrompts.h"
#include "ui/dialogs/InstrumentHolder.h"
#include "ui/dialogs/Terminal.h"
#include "ui/widgets/OkCancelButtons.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace
{
const char* const TerminalWarning =
    "WARNING: changes to settings are not tracked by TamrixControl. If operational parameters are changed "
    "while in terminal mode, a disconnect/reconnect in TamrixControl is recommended.";

QLabel* AddField(QFormLayout* form, const char* label, const char* objectName)
{
    auto* value = new QLabel(form->parentWidget());
    value->setObjectName(objectName);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setMinimumWidth(180);
    form->addRow(label, value);
    return value;
}

QString FromInstrument(const std::string& text)
{
    return QString::fromLatin1(text.c_str());
}
} // namespace

CInstrInfoDlg::CInstrInfoDlg(const SUiContext& context, IInstrumentHolder& panel, QWidget* parent)
    : QDialog(parent), m_context(context), m_panel(panel),
      m_runTerminal([](CTerminal& terminal) { terminal.exec(); })
{
    setObjectName("instrInfoDialog");
    setWindowTitle("System Settings");

    auto* identity = new QWidget(this);
    auto* form = new QFormLayout(identity);
    form->setContentsMargins(0, 0, 0, 0);
    m_model = AddField(form, "Model:", "modelValue");
    m_serial = AddField(form, "Serial number:", "serialNumberValue");
    m_calibrationDate = AddField(form, "Calibration date:", "calibrationDateValue");
    m_firmware = AddField(form, "Firmware Version:", "firmwareVersionValue");
    m_build = AddField(form, "Build Number:", "buildNumberValue");

    auto* messageGroup = new QGroupBox("Message Store", this);
    m_message = new QLineEdit(messageGroup);
    m_message->setObjectName("messageEdit");
    m_message->setMaxLength(MaxMessageChars);
    auto* messageLayout = new QVBoxLayout(messageGroup);
    messageLayout->addWidget(m_message);

    m_remote = new QCheckBox("Allow user to change setpoint and", this);
    m_remote->setObjectName("remoteCheck");
    m_remoteSecondLine = new QLabel("turn on/off while in remote mode", this);
    // In line with the check box's text, under it.
    m_remoteSecondLine->setIndent(style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                                  style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing));

    auto* buttons = new COkCancelButtons(this);
    m_okButton = buttons->OkButton();
    auto* terminal = buttons->addButton("Terminal...", QDialogButtonBox::ActionRole);
    terminal->setObjectName("terminalButton");
    m_terminalButton = terminal;
    m_readingLabel = new QLabel("Reading...", this);
    m_readingLabel->setObjectName("readingLabel");
    m_readingLabel->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(identity);
    layout->addWidget(messageGroup);
    layout->addWidget(m_remote);
    layout->addWidget(m_remoteSecondLine);
    layout->addSpacing(6);
    layout->addWidget(m_readingLabel);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &CInstrInfoDlg::accept);
    connect(terminal, &QPushButton::clicked, this, &CInstrInfoDlg::OnTerminal);
}

bool CInstrInfoDlg::Load()
{
    const SInstrumentLink link = m_panel.Link();
    if (!link)
        return false;
    CInstrBase* instrument = link.get();
    CLaser* laser = RemoteSetLaser(instrument);
    const bool remote = SupportsRemote(instrument);
    SetBusy(true, "Reading...");
    link.Call(
        this,
        [instrument, laser, remote]
        {
            SIdentity identity;
            identity.message = instrument->GetMessage();
            if (remote)
                identity.remote =
                    instrument->SupportsRemoteSet() ? instrument->GetRemoteSet() : laser->GetLaserRemoteSet();
            identity.model = instrument->GetModel();
            identity.serial = instrument->GetSerialNumber();
            identity.calibrationDate = instrument->GetCalibrationDate();
            identity.firmware = instrument->GetFirmwareVersion();
            identity.build = instrument->GetBuild();
            return identity;
        },
        [this, remote](const SIdentity& identity) { Show(identity, remote); });
    return true;
}

void CInstrInfoDlg::Show(const SIdentity& identity, bool remote)
{
    m_message->setText(FromInstrument(identity.message));
    m_message->setModified(false);
    m_remoteAtOpening = remote && identity.remote;
    m_remote->setChecked(m_remoteAtOpening);
    m_remote->setVisible(remote);
    m_remoteSecondLine->setVisible(remote);
    m_model->setText(FromInstrument(identity.model));
    m_serial->setText(FromInstrument(identity.serial));
    m_calibrationDate->setText(FromInstrument(identity.calibrationDate));
    m_firmware->setText(FromInstrument(identity.firmware));
    m_build->setText(FromInstrument(identity.build));
    SetBusy(false);
    adjustSize();
}

void CInstrInfoDlg::SetBusy(bool busy, const QString& text)
{
    m_busy = busy;
    m_readingLabel->setText(text);
    m_readingLabel->setVisible(busy);
    for (QWidget* control :
         std::initializer_list<QWidget*>{m_message, m_remote, m_okButton, m_terminalButton})
        control->setEnabled(!busy);
    if (!busy)
        m_loaded = true;
}

int CInstrInfoDlg::exec()
{
    if (!Load())
        return -1;
    return QDialog::exec();
}

void CInstrInfoDlg::accept()
{
    if (m_busy || !m_loaded)
        return;
    if (!FieldPrompts::MaxChars(m_context.prompter, m_message, MaxMessageChars))
        return;
    // A semicolon would split the instrument command in two; refused before anything is sent, so a
    // refused dialog changes nothing on the instrument.
    const bool messageEdited = m_message->isModified();
    if (messageEdited && m_message->text().contains(';'))
    {
        FieldPrompts::Refuse(m_context.prompter, m_message, "You cannot have semicolons in the message.");
        return;
    }
    const SInstrumentLink link = m_panel.Link();
    if (!link)
    {
        done(-1);
        return;
    }
    CInstrBase* instrument = link.get();
    CLaser* laser = RemoteSetLaser(instrument);
    const bool writeRemote = m_remote->isChecked() != m_remoteAtOpening && SupportsRemote(instrument);
    const bool allow = m_remote->isChecked();
    const std::string message = messageEdited ? m_message->text().toLatin1().toStdString() : std::string();
    SetBusy(true, "Writing...");
    link.Call(
        this,
        [instrument, laser, writeRemote, allow, messageEdited, message]
        {
            if (writeRemote)
            {
                if (instrument->SupportsRemoteSet())
                    instrument->SetRemoteSet(allow);
                else
                    laser->SetLaserRemoteSet(allow);
            }
            if (messageEdited)
                instrument->SetMessage(message);
            return true;
        },
        [this](bool) { QDialog::accept(); });
}

// Laser drivers answer "REMSET" on their laser channel; the session's own flag stands for units whose
// family says so.
CLaser* CInstrInfoDlg::RemoteSetLaser(CInstrBase* instrument) const
{
    CLaser* laser = m_panel.GetLaser();
    if (!laser)
        laser = dynamic_cast<CLaser*>(instrument);
    return laser && laser->HasRemoteSetControl() ? laser : nullptr;
}

bool CInstrInfoDlg::SupportsRemote(CInstrBase* instrument) const
{
    return instrument->SupportsRemoteSet() || RemoteSetLaser(instrument);
}

void CInstrInfoDlg::OnTerminal()
{
    m_context.prompter.Message(this, TerminalWarning, CPrompter::EIcon::Warning);
    const SInstrumentLink link = m_panel.Link();
    if (!link)
    {
        done(-1);
        return;
    }
    SetBusy(true, "Stopping the polling...");
    CInstrBase* instrument = link.get();
    link.Call(
        this,
        [instrument]
        {
            const bool stopped = instrument->StopBackgroundThread(StopTimeoutMs);
            if (stopped)
                instrument->GoLocal();
            return stopped;
        },
        [this, handle = std::weak_ptr<CInstrBase>(link.instrument)](bool stopped)
        {
            SetBusy(false);
            RunTerminal(handle, stopped);
        });
}

void CInstrInfoDlg::RunTerminal(const std::weak_ptr<CInstrBase>& handle, bool stopped)
{
    // The terminal and the poll thread would both read the port: no terminal while polling goes on.
    if (!stopped)
    {
        m_context.prompter.Message(
            this, "The instrument's polling could not be stopped; the terminal was not opened.");
        return;
    }
    // Still the panel's instrument: the handle, not an address a new instrument may reuse.
    const auto same = [this, handle]
    {
        const std::shared_ptr<CInstrBase> held = handle.lock();
        return held && m_panel.Link().instrument == held ? held : nullptr;
    };
    {
        // The panel may disconnect (and let the instrument go) while the terminal runs.
        CTerminal terminal(
            m_context,
            [same]
            {
                const std::shared_ptr<CInstrBase> held = same();
                return held ? &held->GetPort() : nullptr;
            },
            this);
        m_runTerminal(terminal);
    }
    // Polling resumes only on the instrument the terminal started with, and only while it still exists.
    if (const std::shared_ptr<CInstrBase> held = same())
        m_panel.Link().Call(
            this,
            [instrument = held.get()]
            { return instrument->StartBackgroundThread(instrument->GetPollPeriodMs()); },
            [](bool) {});
    else if (result() != -1)
        done(-1);
}
