#include "ui/dialogs/InstrInfoDlg.h"

#include "instrument/laser/Laser.h"
#include "instrument/session/InstrBase.h"
#include "ui/app/Prompter.h"
#include "ui/dialogs/FieldPrompts.h"
#include "ui/dialogs/Terminal.h"
#include "ui/panels/BasePanel.h"

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

CInstrInfoDlg::CInstrInfoDlg(const SUiContext& context, CBasePanel& panel, QWidget* parent)
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

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("okButton");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancelButton");
    auto* terminal = buttons->addButton("Terminal...", QDialogButtonBox::ActionRole);
    terminal->setObjectName("terminalButton");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(identity);
    layout->addWidget(messageGroup);
    layout->addWidget(m_remote);
    layout->addWidget(m_remoteSecondLine);
    layout->addSpacing(6);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &CInstrInfoDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CInstrInfoDlg::reject);
    connect(terminal, &QPushButton::clicked, this, &CInstrInfoDlg::OnTerminal);
}

bool CInstrInfoDlg::Load()
{
    CInstrBase* instrument = m_panel.GetInstrument();
    if (!instrument)
        return false;
    m_message->setText(FromInstrument(instrument->GetMessage()));
    m_message->setModified(false);
    const bool remote = SupportsRemote(instrument);
    m_remoteAtOpening = remote && ReadRemote(instrument);
    m_remote->setChecked(m_remoteAtOpening);
    m_remote->setVisible(remote);
    m_remoteSecondLine->setVisible(remote);
    m_model->setText(FromInstrument(instrument->GetModel()));
    m_serial->setText(FromInstrument(instrument->GetSerialNumber()));
    m_calibrationDate->setText(FromInstrument(instrument->GetCalibrationDate()));
    m_firmware->setText(FromInstrument(instrument->GetFirmwareVersion()));
    m_build->setText(FromInstrument(instrument->GetBuild()));
    adjustSize();
    return true;
}

int CInstrInfoDlg::exec()
{
    if (!Load())
        return -1;
    return QDialog::exec();
}

void CInstrInfoDlg::accept()
{
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
    CInstrBase* instrument = Instrument();
    if (!instrument)
        return;
    if (m_remote->isChecked() != m_remoteAtOpening && SupportsRemote(instrument))
        WriteRemote(instrument, m_remote->isChecked());
    if (messageEdited)
        instrument->SetMessage(m_message->text().toLatin1().toStdString());
    QDialog::accept();
}

CInstrBase* CInstrInfoDlg::Instrument()
{
    CInstrBase* instrument = m_panel.GetInstrument();
    if (!instrument)
        done(-1);
    return instrument;
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

bool CInstrInfoDlg::ReadRemote(CInstrBase* instrument)
{
    if (instrument->SupportsRemoteSet())
        return instrument->GetRemoteSet();
    CLaser* laser = RemoteSetLaser(instrument);
    return laser && laser->GetLaserRemoteSet();
}

void CInstrInfoDlg::WriteRemote(CInstrBase* instrument, bool allow)
{
    if (instrument->SupportsRemoteSet())
        instrument->SetRemoteSet(allow);
    else if (CLaser* laser = RemoteSetLaser(instrument))
        laser->SetLaserRemoteSet(allow);
}

void CInstrInfoDlg::OnTerminal()
{
    m_context.prompter.Message(this, TerminalWarning, CPrompter::EIcon::Warning);
    CInstrBase* instrument = Instrument();
    if (!instrument)
        return;
    instrument->StopBackgroundThread(StopTimeoutMs);
    instrument->GoLocal();
    {
        // The panel may disconnect (and delete the instrument) while the terminal runs.
        CTerminal terminal(
            m_context,
            [this, instrument]
            { return m_panel.GetInstrument() == instrument ? &instrument->GetPort() : nullptr; },
            this);
        m_runTerminal(terminal);
    }
    // Polling resumes only on the instrument the terminal started with, and only while it still exists.
    if (Instrument() == instrument)
        instrument->StartBackgroundThread(CBasePanel::WatchPeriodMs);
    else if (result() != -1)
        done(-1);
}
