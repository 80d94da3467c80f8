#include "ui/panels/BasePanel.h"

#include "diag/Profile.h"
#include "instrument/report/ConnectMessages.h"
#include "instrument/session/InstrBase.h"
#include "instrument/session/InstrumentFactory.h"
#include "ui/common/PortChoices.h"
#include "ui/common/Prompter.h"
#include "ui/dialogs/ErrorLogDlg.h"
#include "ui/dialogs/ErrorLogGroup.h"
#include "ui/dialogs/InstrInfoDlg.h"
#include "ui/dialogs/TCPIPAddressEditorDlg.h"
#include "ui/panels/PanelHost.h"
#include "ui/panels/PanelMessages.h"
#include "ui/panels/PanelReconnect.h"
#include "ui/panels/PanelSettings.h"
#include "ui/panels/PanelTypes.h"
#include "ui/widgets/PollPeriodBox.h"
#include "ui/widgets/PortListBox.h"
#include "ui/widgets/SideStrip.h"
#include "ui/widgets/TrendWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <vector>

namespace
{
constexpr int StripWidth = 96;
// From this width of the readings on, the connection controls stand in one row.
constexpr int WideBodyWidth = 800;
const QString DisconnectingText = "Disconnecting...";
} // namespace

CBasePanel::CBasePanel(const SUiContext& context, IPanelHost& host, int index, int typeCode, QWidget* parent)
    : QFrame(parent), m_context(context), m_host(host), m_index(index), m_typeCode(typeCode),
      m_section("Panel" + std::to_string(index) + "-" + std::to_string(typeCode)),
      m_connectJob(std::make_unique<CPanelConnectJob>(
          [this](const SIdentRecord& record)
          {
              CInstrBase* instrument = nullptr;
              return CreateInstrument(record, instrument) ? instrument : nullptr;
          }))
{
    setObjectName(QString("panel%1").arg(index));
    setFrameShape(QFrame::StyledPanel);
    setFocusPolicy(Qt::StrongFocus);

    auto* contentLayout = new QVBoxLayout;
    contentLayout->setContentsMargins(8, 6, 8, 8);
    contentLayout->setSpacing(6);
    contentLayout->addWidget(BuildConnectionRow());
    m_body = new QVBoxLayout;
    m_body->setSpacing(6);
    contentLayout->addLayout(m_body, 1);
    m_errorGroup = new CErrorLogGroup(
        context.prompter, [this] { return m_link.get(); }, this);
    contentLayout->addWidget(m_errorGroup);
    m_content = new QWidget(this);
    m_content->setObjectName("panelContent");
    m_content->setLayout(contentLayout);

    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(BuildStrip());
    root->addWidget(m_content, 1);

    connect(&m_watchTimer, &QTimer::timeout, this, &CBasePanel::OnWatchTick);
    connect(&m_errorTimer, &QTimer::timeout, this, &CBasePanel::OnErrorLogTick);
    connect(m_connectJob.get(), &CPanelConnectJob::finished, this, &CBasePanel::OnConnectJobFinished);
    m_reconnect =
        new CPanelReconnect([this] { return m_retiredStrand; },
                            [this](std::unique_ptr<CInstrBase> instrument, const std::string& descriptor)
                            { OnReturned(std::move(instrument), descriptor); },
                            this);
}

CBasePanel::~CBasePanel()
{
    // A connect still running on the worker owns its instrument until it returns.
    m_connectJob.reset();
    Retire(std::move(m_link));
}

QWidget* CBasePanel::BuildStrip()
{
    m_strip = new QWidget(this);
    m_strip->setObjectName("panelStrip");
    m_strip->setFixedWidth(StripWidth);
    auto* layout = new QVBoxLayout(m_strip);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QFont bold = font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 1);
    m_hideButton = new QPushButton("Hide Panel", m_strip);
    m_hideButton->setObjectName("hidePanelButton");
    m_hideButton->setFont(bold);
    m_hideButton->setMinimumHeight(34);
    m_closeButton = new QPushButton("Close Panel", m_strip);
    m_closeButton->setObjectName("closePanelButton");
    m_closeButton->setFont(bold);
    m_closeButton->setMinimumHeight(34);
    layout->addWidget(m_hideButton);
    layout->addWidget(new CSideStrip(PanelType::SideStripText(m_typeCode), m_strip), 1);
    layout->addWidget(m_closeButton);
    connect(m_hideButton, &QPushButton::clicked, this, &CBasePanel::OnHidePanel);
    connect(m_closeButton, &QPushButton::clicked, this, &CBasePanel::OnClosePanel);
    return m_strip;
}

QWidget* CBasePanel::BuildConnectionRow()
{
    auto* box = new QWidget(this);
    m_connectionGrid = new QGridLayout(box);
    m_connectionGrid->setContentsMargins(0, 0, 0, 0);
    m_portLabel = new QLabel("Connect via port:", box);
    m_portList = new CPortListBox(
        m_context.profile, [this](int port) { return m_host.PanelHoldingPort(port, this); }, box);
    m_portLabel->setBuddy(m_portList);
    m_connectButton = new QPushButton("Connect", box);
    m_connectButton->setObjectName("connectButton");
    QFont big = m_connectButton->font();
    big.setBold(true);
    big.setPointSize(big.pointSize() + 2);
    m_connectButton->setFont(big);
    m_connectButton->setMinimumWidth(110);
    const bool singleKind = m_typeCode == PanelType::Laser || m_typeCode == PanelType::TEC;
    m_autoCheck = new QCheckBox(singleKind ? "Auto" : "Auto-Connect", box);
    m_autoCheck->setObjectName("autoCheck");
    m_reconnectCheck = new QCheckBox("Reconnect automatically", box);
    m_reconnectCheck->setObjectName("reconnectCheck");
    m_reconnectCheck->setToolTip(
        "After a lost connection or an unplug, wait for this unit (the same model and "
        "serial number) to come back and connect it again; a recording goes on in "
        "its file.");
    m_sysSettingsButton = new QPushButton("Sys Settings...", box);
    m_sysSettingsButton->setObjectName("sysSettingsButton");
    m_pollBox = new CPollPeriodBox(CInstrBase::MinPollPeriodMs, box);
    m_status = new QLabel(box);
    m_status->setObjectName("statusLine");
    m_status->setWordWrap(true);
    m_status->setMinimumHeight(m_status->fontMetrics().height());
    connect(m_connectButton, &QPushButton::clicked, this, &CBasePanel::OnConnectButton);
    connect(m_sysSettingsButton, &QPushButton::clicked, this, &CBasePanel::OnSysSettings);
    connect(m_portList, &CPortListBox::networkEntryChosen, this, &CBasePanel::OnNetworkEntryChosen);
    connect(m_reconnectCheck, &QCheckBox::toggled, this, &CBasePanel::OnReconnectToggled);
    connect(m_pollBox, &CPollPeriodBox::periodChanged, this, &CBasePanel::SetPollPeriodMs);
    return box;
}

void CBasePanel::ArrangeConnectionRow()
{
    // A panel as wide as a combo unit's has the port, the buttons and the check boxes in one row, so
    // that its readings fit a 768-pixel screen; a narrow one puts the buttons under the list.
    const bool wide = m_body->sizeHint().width() >= WideBodyWidth;
    QGridLayout* grid = m_connectionGrid;
    grid->addWidget(m_portLabel, 0, 0);
    if (wide)
    {
        grid->addWidget(m_portList, 0, 1);
        grid->addWidget(m_connectButton, 0, 2);
        grid->addWidget(m_autoCheck, 0, 3);
        grid->addWidget(m_reconnectCheck, 0, 4);
        grid->addWidget(m_pollBox, 0, 5);
        grid->addWidget(m_sysSettingsButton, 0, 6, Qt::AlignRight);
        grid->addWidget(m_status, 1, 0, 1, 7);
        grid->setColumnStretch(1, 2);
        grid->setColumnStretch(6, 1);
        return;
    }
    grid->addWidget(m_portList, 0, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_connectButton);
    buttons->addWidget(m_autoCheck);
    buttons->addStretch(1);
    buttons->addWidget(m_sysSettingsButton);
    grid->addLayout(buttons, 1, 0, 1, 3);
    grid->addWidget(m_reconnectCheck, 2, 0, 1, 2);
    grid->addWidget(m_pollBox, 2, 2, Qt::AlignRight);
    grid->addWidget(m_status, 3, 0, 1, 3);
    grid->setColumnStretch(1, 1);
}

void CBasePanel::FinishInit(const QString& errorLogTitle)
{
    ErrorLog()->SetTitle(errorLogTitle);
    ArrangeConnectionRow();
    ApplySettings(SPanelSettings::Load(m_context.profile, m_section));
    if (CTrendWindow* trend = TrendWindow())
        trend->Load(m_context.profile, m_section);
    m_fullSize = sizeHint();
    if (m_condensed)
        Collapse();
    else
        Expand();
    UpdateControls();
    m_errorTimer.start(WatchPeriodMs);
    // A stored auto-connect starts once the window's event loop runs, not half a second later.
    if (AutoConnect())
        QTimer::singleShot(0, this, &CBasePanel::OnAnyTimerTick);
}

void CBasePanel::ApplySettings(const SPanelSettings& settings)
{
    if (settings.errorLogPlace)
        m_errorGroup->PlaceLog(*settings.errorLogPlace);
    m_condensed = settings.condensed;
    m_autoCheck->setChecked(settings.autoConnect);
    m_reconnectCheck->setChecked(settings.reconnect);
    m_pollPeriodMs = settings.pollPeriodMs;
    m_pollBox->ShowPeriodMs(m_pollPeriodMs);
    FillPortList(settings.connection);
}

SPanelSettings CBasePanel::CurrentSettings() const
{
    SPanelSettings settings;
    settings.errorLogPlace = m_errorGroup->LogPlace();
    settings.condensed = m_condensed;
    settings.autoConnect = AutoConnect();
    settings.reconnect = ReconnectsAutomatically();
    settings.pollPeriodMs = m_pollPeriodMs;
    settings.connection = SelectedDescriptor();
    return settings;
}

CErrorLogDlg* CBasePanel::ErrorLog() const
{
    return m_errorGroup->Log();
}

void CBasePanel::SetPollPeriodMs(int periodMs)
{
    m_pollPeriodMs = std::max(CInstrBase::MinPollPeriodMs, periodMs);
    m_pollBox->ShowPeriodMs(m_pollPeriodMs);
    if (!m_link)
        return;
    m_link.instrument->SetPollPeriodMs(m_pollPeriodMs);
    m_watchTimer.start(std::max(WatchPeriodMs, m_pollPeriodMs));
}

bool CBasePanel::AutoConnect() const
{
    return m_autoCheck->isChecked();
}

void CBasePanel::SetAutoConnect(bool on)
{
    m_autoCheck->setChecked(on);
}

bool CBasePanel::ReconnectsAutomatically() const
{
    return m_reconnectCheck->isChecked();
}

void CBasePanel::SetReconnectAutomatically(bool on)
{
    m_reconnectCheck->setChecked(on);
}

bool CBasePanel::IsWaitingToReconnect() const
{
    return m_reconnect->IsWaiting();
}

QString CBasePanel::ReconnectGap() const
{
    return m_reconnect->Gap();
}

void CBasePanel::FillPortList(const std::string& descriptor)
{
    m_portList->Fill(descriptor);
}

void CBasePanel::RefreshPortList()
{
    m_portList->Refresh();
}

int CBasePanel::HeldSerialPort() const
{
    if (!m_connecting && !m_link)
        return 0;
    const std::optional<PortDescriptor> parsed = PortDescriptor::Parse(m_connectingDescriptor);
    return parsed && parsed->kind == "COM" ? PortDescriptor::ToInt(parsed->first) : 0;
}

bool CBasePanel::IsComPortPresent(int port) const
{
    const std::vector<SSerialChoice> ports = PortChoices::SerialPorts();
    return std::any_of(ports.begin(), ports.end(),
                       [port](const SSerialChoice& p) { return p.present && p.number == port; });
}

void CBasePanel::SelectConnection(const std::string& descriptor)
{
    m_portList->Select(descriptor);
}

std::string CBasePanel::SelectedDescriptor() const
{
    return m_portList->SelectedDescriptor();
}

void CBasePanel::SetInstrument(CInstrBase* instrument)
{
    if (m_link.get() == instrument)
        return;
    SInstrumentLink previous = std::move(m_link);
    m_link = {};
    if (instrument)
        m_link = {std::shared_ptr<CInstrBase>(instrument), CRequestStrand::Create()};
    Retire(std::move(previous));
}

void CBasePanel::Retire(SInstrumentLink link)
{
    if (!link)
        return;
    ++m_retiring;
    m_retiredStrand = link.strand;
    link.Call(
        this,
        [instrument = link.instrument]
        {
            if (instrument->IsPortOpen())
                instrument->CommandRaw("LOCAL");
            instrument->Disconnect();
        },
        [this] { OnRetired(); });
}

void CBasePanel::OnRetired()
{
    --m_retiring;
    if (m_retiring > 0)
        return;
    if (m_status->text() == DisconnectingText)
        m_status->clear();
    UpdateControls();
}

bool CBasePanel::IsConnected() const
{
    return m_link && m_link.instrument->IsPortOpen();
}

void CBasePanel::UpdateControls()
{
    const bool connected = IsConnected();
    m_portList->setEnabled(!m_link && !IsWaitingToReconnect());
    m_sysSettingsButton->setEnabled(connected);
    m_errorGroup->EnableShowButton(connected);
}

bool CBasePanel::CreateInstrument(const SIdentRecord& record, CInstrBase*& instrument)
{
    instrument = nullptr;
    if (!PanelType::Accepts(m_typeCode, record))
        return false;
    instrument =
        CreateInstrumentObject(record.familyCode, record.modelCode, record.variantCode, record.versionMajor);
    if (!instrument)
    {
        m_context.prompter.Message(this, PanelMessages::CreateFailed);
        return false;
    }
    return true;
}

void CBasePanel::OnConnectButton()
{
    if (m_connecting)
        return;
    if (IsWaitingToReconnect())
        StopReconnecting();
    else if (IsConnected())
    {
        if (ConfirmLeavingOutputs("disconnect"))
            Disconnect();
    }
    else
        Connect();
}

bool CBasePanel::Connect(const std::string& descriptorArgument)
{
    if (m_connecting)
        return false;
    StopReconnecting();
    SetInstrument(nullptr);
    std::string descriptor = descriptorArgument;
    if (descriptor.empty())
    {
        if (m_portList->IsNetworkEntrySelected())
        {
            if (!RunAddressEditor(descriptor))
                return false;
        }
        else
            descriptor = SelectedDescriptor();
    }
    if (descriptor.empty())
    {
        m_context.prompter.Message(this, PanelMessages::NoPortSelected);
        return false;
    }
    m_connectingDescriptor = descriptor;
    SetConnectingLook(true);
    m_connectJob->Start(descriptor, m_retiredStrand);
    return true;
}

void CBasePanel::OnConnectJobFinished(CPanelConnectJob::EOutcome outcome, const QString& message)
{
    switch (outcome)
    {
    case CPanelConnectJob::EOutcome::Connected:
        SetInstrument(m_connectJob->TakeInstrument().release());
        CompleteConnect();
        return;
    case CPanelConnectJob::EOutcome::NotAccepted:
        GiveWay(m_connectJob->Record());
        return;
    case CPanelConnectJob::EOutcome::Failed:
        EndConnecting(false);
        SayAtPanel(message);
        return;
    }
}

void CBasePanel::GiveWay(const SIdentRecord& record)
{
    if (record.familyCode == 0)
    {
        EndConnecting(false);
        SayAtPanel(record.unreadableReply ? QString(ConnectMessages::UnreadableIdentity)
                                          : PanelMessages::NothingDetected);
        return;
    }
    const int type = PanelType::FittingType(record);
    if (type == 0 || type == m_typeCode)
    {
        EndConnecting(false);
        SayAtPanel(PanelMessages::UnknownController);
        return;
    }
    // The host replaces this panel after this handler has returned; nothing here touches the panel then.
    EndConnecting(false);
    m_host.ReplacePanelLater(m_index, type, m_connectingDescriptor, AutoConnect());
}

void CBasePanel::CompleteConnect()
{
    const std::string descriptor = m_connectingDescriptor;
    m_serialPort = m_link.instrument->GetPortNumber();
    SPanelSettings::SaveConnection(m_context.profile, m_section, descriptor);
    SelectConnection(descriptor);
    ResetReadings();
    m_link.instrument->StartBackgroundThread(m_pollPeriodMs);
    m_watchTimer.start(std::max(WatchPeriodMs, m_pollPeriodMs));
    m_connectButton->setText("Disconnect");
    m_connectedText = QString("Connected to %1, S/N %2")
                          .arg(QString::fromLatin1(m_link.instrument->GetModel().c_str()),
                               QString::fromLatin1(m_link.instrument->GetSerialNumber().c_str()));
    m_status->setText(m_connectedText);
    m_errorGroup->UnmarkLastConnection();
    EndConnecting(true);
}

void CBasePanel::EndConnecting(bool connected)
{
    m_connectJob->ReleasePort();
    SetConnectingLook(false);
    UpdateControls();
    FitToContent();
    emit connectFinished(connected);
}

void CBasePanel::SetConnectingLook(bool connecting)
{
    m_connecting = connecting;
    m_host.PortHoldersChanged();
    m_content->setEnabled(!connecting);
    m_closeButton->setEnabled(!connecting);
    if (connecting)
    {
        m_status->setText("Connecting...");
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    else
    {
        if (m_status->text() == "Connecting...")
            m_status->clear();
        QApplication::restoreOverrideCursor();
    }
}

void CBasePanel::Disconnect()
{
    StopReconnecting();
    DropConnection();
}

void CBasePanel::DropConnection()
{
    m_errorGroup->HideLog();
    m_watchTimer.stop();
    // The trend's lines break here: readings after a reconnect are not joined to these.
    if (CTrendWindow* trend = TrendWindow())
        trend->Chart()->Feed(static_cast<double>(QDateTime::currentMSecsSinceEpoch()), {});
    SetInstrument(nullptr);
    m_errorGroup->MarkLastConnection();
    m_connectButton->setText("Connect");
    m_status->setText(m_retiring > 0 ? DisconnectingText : QString());
    m_host.PortHoldersChanged();
    UpdateControls();
    FitToContent();
}

void CBasePanel::FitToContent()
{
    // Rows a connected unit shows (further sensors, a power row) may need more room than the panel had
    // when it was built; it grows to fit and never shrinks, so panels do not jump as units come and go.
    const QSize wanted = m_fullSize.expandedTo(sizeHint());
    if (wanted == m_fullSize)
        return;
    m_fullSize = wanted;
    if (!m_condensed)
        setFixedSize(m_fullSize);
    else
        setFixedSize(StripWidth, m_fullSize.height());
    m_host.LayoutPanels();
}

void CBasePanel::OnDeviceChange()
{
    // The port number is the one taken at connect: a channel that saw the device go has closed already.
    if (m_link && m_serialPort > 0 && !IsComPortPresent(m_serialPort))
    {
        if (ReconnectsAutomatically())
        {
            AwaitReturn(PanelMessages::UsbDisconnected, "connection lost");
        }
        else
        {
            Disconnect();
            SayAtPanel(PanelMessages::UsbDisconnected);
        }
    }
    m_portList->RefreshLater();
}

void CBasePanel::OnAnyTimerTick()
{
    if (m_firstTickDone)
        return;
    m_firstTickDone = true;
    if (AutoConnect())
        OnConnectButton();
}

void CBasePanel::OnWatchTick()
{
    OnAnyTimerTick();
    if (!m_link)
        return;
    Refresh();
    FitToContent();
    ShowLinkState();
    // The gap causes are the monitor's.
    if (m_link.instrument->GetSerialMismatch())
        ReportWatchFailure(PanelMessages::SerialMismatch, "connection lost");
    else if (m_link.instrument->GetFailedPolls() >= 2)
        ReportWatchFailure(PanelMessages::LostCommunications, "lost communications");
    else if (!m_link.instrument->IsPortOpen())
        ReportWatchFailure(PanelMessages::UnexpectedDisconnect, "connection lost");
}

void CBasePanel::ShowLinkState()
{
    // Said from the first unanswered query on, so nobody mistakes the last readings for live ones.
    const int64_t silentMs = m_link.instrument->GetSilentForMs();
    const QString text =
        silentMs > 0 ? QString::fromStdString(ConnectMessages::NoAnswerFor(silentMs)) : m_connectedText;
    if (m_status->text() != text)
        m_status->setText(text);
}

void CBasePanel::ReportWatchFailure(const QString& text, const QString& gap)
{
    if (ReconnectsAutomatically())
    {
        AwaitReturn(text, gap);
        return;
    }
    Disconnect();
    SayAtPanel(text);
}

// With several panels in the window, a message says which port and panel it is about.
void CBasePanel::SayAtPanel(const QString& text)
{
    m_context.prompter.Message(this,
                               PanelMessages::AtPanel(text, m_connectingDescriptor, m_index, m_typeCode));
}

void CBasePanel::AwaitReturn(const QString& cause, const QString& gap)
{
    // No message box: the status line says what happened and what the panel waits for.
    CInstrBase& lost = *m_link.instrument;
    m_reconnect->Start(m_connectingDescriptor, lost.GetModel(), lost.GetSerialNumber(), gap);
    // Waiting already: the recordings write the gap row and keep their files.
    DropConnection();
    ResetReadings();
    m_connectButton->setText("Disconnect");
    m_status->setText(cause + " " + m_reconnect->WaitingText());
}

void CBasePanel::OnReturned(std::unique_ptr<CInstrBase> instrument, const std::string& descriptor)
{
    // The unit may be back on a port the list does not hold yet.
    m_connectingDescriptor = descriptor;
    FillPortList(descriptor);
    SetInstrument(instrument.release());
    CompleteConnect();
}

void CBasePanel::StopReconnecting()
{
    if (!IsWaitingToReconnect())
        return;
    if (std::unique_ptr<CInstrBase> late = m_reconnect->Stop())
        Retire({std::shared_ptr<CInstrBase>(std::move(late)), CRequestStrand::Create()});
    m_connectButton->setText("Connect");
    m_status->setText(m_retiring > 0 ? DisconnectingText : QString());
    // A recording kept open for the unit ends now.
    UpdateControls();
}

void CBasePanel::OnReconnectToggled(bool on)
{
    if (!on)
        StopReconnecting();
}

void CBasePanel::OnErrorLogTick()
{
    OnAnyTimerTick();
    if (!m_link)
        return;
    m_errorGroup->ShowLatest();
}

void CBasePanel::OnHidePanel()
{
    if (m_condensed)
    {
        Expand();
        m_host.LayoutPanels();
        return;
    }
    if (!m_host.IsAnotherPanelExpanded(this))
    {
        m_context.prompter.Beep();
        return;
    }
    Collapse();
    m_host.LayoutPanels();
}

void CBasePanel::Expand()
{
    m_content->show();
    setFixedSize(m_fullSize);
    m_condensed = false;
    m_hideButton->setText("Hide Panel");
}

void CBasePanel::Collapse()
{
    m_content->hide();
    setFixedSize(StripWidth, m_fullSize.height());
    m_condensed = true;
    m_hideButton->setText("Show Panel");
}

void CBasePanel::OnClosePanel()
{
    if (!OutputsOn().isEmpty())
    {
        // The three-way question stands in for the yes/no one: Cancel keeps the panel.
        if (!ConfirmLeavingOutputs("close the panel"))
            return;
    }
    else if (!m_context.prompter.AskYesNo(this, IsConnected() ? PanelMessages::CloseConnectedQuestion
                                                              : PanelMessages::CloseQuestion))
        return;
    Disconnect();
    m_host.RemovePanelLater(m_index);
}

QString CBasePanel::OutputsOnPhrase() const
{
    const QStringList on = IsConnected() ? OutputsOn() : QStringList();
    if (on.isEmpty())
        return {};
    return QString("%1 of the %2 on %3")
        .arg(PanelMessages::JoinNames(on), QString::fromStdString(m_link.instrument->GetModel()),
             ConnectionName());
}

QString CBasePanel::ConnectionName() const
{
    // The connection as the user chose it: "COM42", or the network address.
    const QString descriptor = QString::fromStdString(m_connectingDescriptor);
    const QStringList parts = descriptor.split(':');
    return parts.size() >= 2 && parts[0] == "COM" ? "COM" + parts[1]
           : parts.size() >= 3                    ? parts[1] + ":" + parts[2]
                                                  : descriptor;
}

bool CBasePanel::ConfirmLeavingOutputs(const QString& action)
{
    const QStringList on = IsConnected() ? OutputsOn() : QStringList();
    if (on.isEmpty())
        return true;
    const QString text =
        PanelMessages::OutputsStayOn({OutputsOnPhrase()}, static_cast<int>(on.size()), action);
    switch (m_context.prompter.AskOutputsOn(this, text))
    {
    case CPrompter::EOutputChoice::SwitchOff:
        SwitchOutputsOff();
        return true;
    case CPrompter::EOutputChoice::LeaveOn:
        return true;
    default:
        return false;
    }
}

void CBasePanel::OnSysSettings()
{
    CInstrInfoDlg dialog(m_context, *this, this);
    dialog.exec();
}

void CBasePanel::OnNetworkEntryChosen()
{
    std::string descriptor;
    const bool connect = RunAddressEditor(descriptor);
    if (connect && !IsConnected())
        Connect(descriptor);
}

// Runs the address editor; true with the descriptor when it ended with "Connect...". The list is read
// again when the editor changed it.
bool CBasePanel::RunAddressEditor(std::string& descriptor)
{
    CTCPIPAddressEditorDlg editor(m_context, this);
    editor.SetOfferConnect(!IsConnected());
    const int result = editor.exec();
    const bool connect = result == CTCPIPAddressEditorDlg::ConnectResult;
    descriptor = connect ? editor.Descriptor() : std::string();
    // Cancelled: back to what was chosen before.
    FillPortList(connect ? descriptor : std::string());
    return connect;
}

void CBasePanel::SetIndex(int index)
{
    DeleteSettings();
    m_index = index;
    m_section = "Panel" + std::to_string(index) + "-" + std::to_string(m_typeCode);
    setObjectName(QString("panel%1").arg(index));
}

void CBasePanel::DeleteSettings()
{
    m_context.profile.DeleteSection(m_section);
}

void CBasePanel::SaveOnClose()
{
    CurrentSettings().Save(m_context.profile, m_section, isMinimized());
    if (const CTrendWindow* trend = TrendWindow())
        trend->Save(m_context.profile, m_section);
    Disconnect();
}

void CBasePanel::keyPressEvent(QKeyEvent* event)
{
    switch (event->key())
    {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        OnSetPoint();
        return;
    case Qt::Key_Escape:
        // Taken here so that it never reaches the window: a field takes back its own edit, and
        // anywhere else in a panel Escape does nothing (it used to quit the program).
        event->accept();
        return;
    default:
        QFrame::keyPressEvent(event);
    }
}

void CBasePanel::closeEvent(QCloseEvent* event)
{
    SaveOnClose();
    QFrame::closeEvent(event);
}
