#include "ui/app/TamrixControlHost.h"

#include "comm/DeviceMonitor.h"
#include "comm/PortDescriptor.h"
#include "comm/PortRegistry.h"
#include "diag/IniProfile.h"
#include "diag/Profile.h"
#include "ui/app/PortWatch.h"
#include "ui/app/SelectPanelDlg.h"
#include "ui/common/ProgramIcon.h"
#include "ui/common/Prompter.h"
#include "ui/dialogs/AboutDlg.h"
#include "ui/panels/BasePanel.h"
#include "ui/panels/PanelFactory.h"
#include "ui/panels/PanelMessages.h"
#include "ui/panels/PanelTypes.h"
#include "ui/widgets/Banner.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QStringList>
#include <QStyle>
#include <QTimer>
#include <algorithm>

namespace
{
const char* const SettingsSection = "Settings";
constexpr int ButtonWidth = 110;
constexpr int ButtonHeight = 34;
} // namespace

CTamrixControlHost::CTamrixControlHost(const SUiContext& context, PanelFactory factory, QWidget* parent)
    : QWidget(parent), m_context(context), m_factory(factory ? std::move(factory) : PanelFactory(CreatePanel))
{
    setObjectName("host");
    setWindowTitle("Tamrix Control");
    setWindowIcon(ProgramIcon());
    m_banner = new CBanner(this);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName("panelScroll");
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_canvas = new QWidget;
    m_canvas->setObjectName("panelCanvas");
    m_scroll->setWidget(m_canvas);
    m_panelTop = 2;
    QFont bold = font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    // The commands stand in a bar of their own beside the row, so they never scroll away.
    m_commandBar = new QWidget(this);
    m_commandBar->setObjectName("commandBar");
    m_addButton = new QPushButton("Add Panel", m_commandBar);
    m_addButton->setObjectName("addPanelButton");
    m_addButton->setFont(bold);
    m_exitButton = new QPushButton("Exit", m_commandBar);
    m_exitButton->setObjectName("exitButton");
    m_aboutButton = new QPushButton("About...", m_commandBar);
    m_aboutButton->setObjectName("aboutButton");
    for (QPushButton* button : {m_addButton, m_exitButton, m_aboutButton})
    {
        button->resize(ButtonWidth, ButtonHeight);
        button->setAutoDefault(false);
    }
    connect(m_addButton, &QPushButton::clicked, this, &CTamrixControlHost::OnAddPanel);
    connect(m_exitButton, &QPushButton::clicked, this, [this] { Quit(); });
    connect(m_aboutButton, &QPushButton::clicked, this, &CTamrixControlHost::OnAbout);
    m_holdersChanged = new QTimer(this);
    m_holdersChanged->setSingleShot(true);
    m_holdersChanged->setInterval(0);
    connect(m_holdersChanged, &QTimer::timeout, this, &CTamrixControlHost::RefreshPortLists);
}

CTamrixControlHost::~CTamrixControlHost()
{
    if (m_deviceMonitor)
        m_deviceMonitor->Stop();
    while (!m_panels.empty())
    {
        delete m_panels.back();
        m_panels.pop_back();
    }
}

void CTamrixControlHost::RestorePanels()
{
    const QString list = QString::fromStdString(m_context.profile.GetString(SettingsSection, "Panels", "3"));
    const QStringList entries = list.split(',', Qt::SkipEmptyParts);
    for (const QString& entry : entries)
    {
        // "1x" is 1, as stored files expect.
        if (PanelCount() < MaxRestoredPanels)
            AddPanel(-1, PortDescriptor::ToInt(entry.toStdString()), false);
        else
            m_unmadePanels << entry;
    }
    if (!m_unmadePanels.isEmpty())
        WarnPanelsLeftOut(static_cast<int>(entries.size()));
    const int x = m_context.profile.GetInt(SettingsSection, "X", -1);
    const int y = m_context.profile.GetInt(SettingsSection, "Y", -1);
    if (x != -1 && y != -1)
        move(x, y);
    LayoutPanels();
    for (CBasePanel* panel : m_panels)
        panel->show();
}

// Once the window runs, so that the message stands in front of it.
void CTamrixControlHost::WarnPanelsLeftOut(int listed)
{
    const QString text = QString("The stored panel list names %1 panels; Tamrix Control shows at most %2. "
                                 "The other %3 entries stay in the list unchanged.")
                             .arg(listed)
                             .arg(MaxRestoredPanels)
                             .arg(m_unmadePanels.size());
    QTimer::singleShot(0, this, [this, text] { m_context.prompter.Message(this, text); });
}

void CTamrixControlHost::StartDeviceMonitor()
{
    // The monitor calls back on its own thread; the notice is handled on this one.
    m_deviceMonitor = std::make_unique<CDeviceMonitor>(
        [this](const std::string&, EDeviceChange)
        { QMetaObject::invokeMethod(this, &CTamrixControlHost::ForwardDeviceChange, Qt::QueuedConnection); });
    m_deviceMonitor->Start();
}

void CTamrixControlHost::StartPortWatch()
{
    const SDeviceRoots roots;
    m_portWatch = new CPortWatch(
        QString::fromStdString(CPortRegistry::DefaultStore().Path()),
        {QString::fromStdString(roots.devRoot), QString::fromStdString(roots.devRoot + "/serial/by-id")},
        this);
    connect(m_portWatch, &CPortWatch::portsChanged, this, &CTamrixControlHost::RefreshPortLists);
    m_portWatch->Start();
}

void CTamrixControlHost::RefreshPortLists()
{
    for (CBasePanel* panel : m_panels)
        panel->RefreshPortList();
}

int CTamrixControlHost::PanelHoldingPort(int portNumber, const CBasePanel* asker) const
{
    for (int i = 0; i < PanelCount(); ++i)
        if (m_panels[i] != asker && m_panels[i]->HeldSerialPort() == portNumber)
            return i;
    return -1;
}

void CTamrixControlHost::PortHoldersChanged()
{
    m_holdersChanged->start();
}

int CTamrixControlHost::AddPanel(int index, int typeCode, bool layoutNow)
{
    if (!PanelType::IsValid(typeCode))
        return -1;
    if (index < 0 || index >= PanelCount())
        index = PanelCount();
    else
    {
        CBasePanel* old = m_panels[index];
        old->DeleteSettings();
        m_panels.erase(m_panels.begin() + index);
        delete old;
    }
    CBasePanel* panel = m_factory(typeCode, m_context, *this, index, m_canvas);
    if (!panel)
        return -1;
    m_panels.insert(m_panels.begin() + index, panel);
    if (layoutNow)
        LayoutPanels();
    panel->show();
    update();
    return index;
}

void CTamrixControlHost::RemovePanel(int index)
{
    if (index < 0 || index >= PanelCount())
        return;
    CBasePanel* panel = m_panels[index];
    panel->DeleteSettings();
    m_panels.erase(m_panels.begin() + index);
    delete panel;
    for (int i = index; i < PanelCount(); ++i)
        m_panels[i]->SetIndex(i);
    LayoutPanels();
    // The panels after it have new numbers, and its port is free.
    PortHoldersChanged();
}

CBasePanel* CTamrixControlHost::PanelAt(int index) const
{
    return index >= 0 && index < PanelCount() ? m_panels[index] : nullptr;
}

void CTamrixControlHost::LayoutPanels()
{
    if (!m_panels.empty() &&
        std::all_of(m_panels.begin(), m_panels.end(), [](CBasePanel* p) { return p->IsCondensed(); }))
        m_panels.front()->Expand();
    // The window takes the size of the whole row, within the screen, until the user gives it a size:
    // then the panels wrap into as many rows as that size needs (ArrangePanels, from the resize).
    const QSize row = FlowPanels(QWIDGETSIZE_MAX, false);
    const QSize room = AvailableRoom();
    const int barWidth = ButtonWidth + Margin;
    // Each scroll bar that appears takes room the row would otherwise have had.
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scroll);
    const bool scrollsDown = CBanner::Height + row.height() > room.height();
    const int neededWidth = row.width() + (scrollsDown ? scrollBar : 0);
    const int viewWidth = std::min(neededWidth, room.width() - barWidth);
    const bool scrollsAcross = viewWidth < neededWidth;
    const int hostWidth = viewWidth + barWidth;
    const int hostHeight =
        std::min(CBanner::Height + row.height() + (scrollsAcross ? scrollBar : 0), room.height());
    setMinimumSize(barWidth + MinimumViewWidth, std::min(CBanner::Height + MinimumViewHeight, hostHeight));
    if (!m_userSized)
    {
        m_fittedSize = QSize(hostWidth, hostHeight);
        resize(m_fittedSize);
    }
    ArrangePanels();
}

QSize CTamrixControlHost::FlowPanels(int rowWidth, bool move)
{
    // Left to right, with a new row where the next panel would cross rowWidth.
    int x = FirstPanelX;
    int rowTop = m_panelTop;
    int rowBottom = m_panelTop;
    int widest = 0;
    for (CBasePanel* panel : m_panels)
    {
        if (x > FirstPanelX && x + panel->width() + GapAfterCollapsed > rowWidth)
        {
            x = FirstPanelX;
            rowTop = rowBottom + RowGap;
        }
        if (move)
        {
            panel->move(x, rowTop);
            panel->show();
        }
        const int gap = panel->IsCondensed() ? GapAfterCollapsed : GapAfterExpanded;
        // A row ends where a next panel would stand, the narrower gap after its last one.
        widest = std::max(widest, x + panel->width() + GapAfterCollapsed);
        x += panel->width() + gap;
        rowBottom = std::max(rowBottom, rowTop + panel->height());
    }
    if (m_panels.empty())
        return {FirstPanelX, m_panelTop + 3 * ButtonHeight + 2 * Margin + Margin};
    return {widest, rowBottom + Margin};
}

void CTamrixControlHost::ArrangePanels()
{
    const int barWidth = ButtonWidth + Margin;
    const int viewWidth = std::max(width() - barWidth, 1);
    const int viewHeight = height() - CBanner::Height;
    // One row that scrolls across in the window's own size; rows within the width the user gave it, less
    // a vertical scroll bar when the rows need one.
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scroll);
    int rowWidth = QWIDGETSIZE_MAX;
    if (m_userSized)
        rowWidth = FlowPanels(viewWidth, false).height() > viewHeight ? viewWidth - scrollBar : viewWidth;
    const QSize canvas = FlowPanels(rowWidth, true);
    m_canvas->setFixedSize(canvas);
    m_banner->setGeometry(0, 0, width(), CBanner::Height);
    m_scroll->setGeometry(0, CBanner::Height, viewWidth, viewHeight);
    m_commandBar->setGeometry(viewWidth, CBanner::Height, barWidth, viewHeight);
    m_addButton->move(0, m_panelTop);
    m_aboutButton->move(0, m_panelTop + ButtonHeight + 8);
    const int barBottom = std::min(canvas.height(), m_commandBar->height()) - Margin;
    m_exitButton->move(0, std::max(barBottom - ButtonHeight, m_aboutButton->geometry().bottom() + 1 + 8));
    if (!m_panels.empty())
    {
        QWidget* hide = m_panels.front()->findChild<QWidget*>("hidePanelButton");
        if (hide)
            hide->setVisible(m_panels.size() >= 2);
    }
}

void CTamrixControlHost::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // A size the program did not ask for is the user's (or the window manager's): it is kept from now on.
    if (event->size() != m_fittedSize)
        m_userSized = true;
    ArrangePanels();
}

QSize CTamrixControlHost::AvailableRoom() const
{
    const QScreen* where = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!where)
        return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    // Room for the window manager's frame and title bar.
    return where->availableGeometry().size() - QSize(16, 48);
}

bool CTamrixControlHost::IsAnotherPanelExpanded(const CBasePanel* panel) const
{
    return std::any_of(m_panels.begin(), m_panels.end(),
                       [panel](CBasePanel* p) { return p != panel && !p->IsCondensed(); });
}

void CTamrixControlHost::RemovePanelLater(int index)
{
    CBasePanel* panel = PanelAt(index);
    QTimer::singleShot(0, this,
                       [this, panel]
                       {
                           const auto at = std::find(m_panels.begin(), m_panels.end(), panel);
                           if (at != m_panels.end())
                               RemovePanel(static_cast<int>(at - m_panels.begin()));
                       });
}

void CTamrixControlHost::ReplacePanelLater(int index, int typeCode, const std::string& descriptor,
                                           bool autoConnect)
{
    CBasePanel* panel = PanelAt(index);
    QTimer::singleShot(0, this,
                       [this, panel, typeCode, descriptor, autoConnect]
                       {
                           const auto at = std::find(m_panels.begin(), m_panels.end(), panel);
                           if (at != m_panels.end())
                               ReplacePanel(static_cast<int>(at - m_panels.begin()), typeCode, descriptor,
                                            autoConnect);
                       });
}

void CTamrixControlHost::ReplacePanel(int index, int typeCode, const std::string& descriptor,
                                      bool autoConnect)
{
    if (AddPanel(index, typeCode, true) != index)
        return;
    CBasePanel* panel = m_panels[index];
    panel->SetAutoConnect(autoConnect);
    panel->SelectConnection(descriptor);
    panel->Connect(descriptor);
}

bool CTamrixControlHost::ConfirmQuit()
{
    QStringList phrases;
    int outputs = 0;
    for (CBasePanel* panel : m_panels)
    {
        if (const QString phrase = panel->OutputsOnPhrase(); !phrase.isEmpty())
        {
            phrases << phrase;
            outputs += static_cast<int>(panel->OutputsOn().size());
        }
    }
    if (outputs > 0)
    {
        // Outputs still on are named, with the choice to switch them off; the plain question is not asked.
        switch (m_context.prompter.AskOutputsOn(this, PanelMessages::OutputsStayOn(phrases, outputs, "exit")))
        {
        case CPrompter::EOutputChoice::SwitchOff:
            for (CBasePanel* panel : m_panels)
                if (!panel->OutputsOn().isEmpty())
                    panel->SwitchOutputsOff();
            return true;
        case CPrompter::EOutputChoice::LeaveOn:
            return true;
        default:
            return false;
        }
    }
    const bool anyConnected =
        std::any_of(m_panels.begin(), m_panels.end(), [](CBasePanel* p) { return p->IsConnected(); });
    return !anyConnected || m_context.prompter.AskYesNo(this, "Are you sure you want to quit?");
}

bool CTamrixControlHost::Quit(bool ask)
{
    if (m_quitting)
        return true;
    if (ask && !ConfirmQuit())
        return false;
    m_quitting = true;
    QStringList list;
    for (CBasePanel* panel : m_panels)
    {
        list << QString::number(panel->TypeCode());
        panel->SaveOnClose();
    }
    list << m_unmadePanels;
    m_context.profile.WriteString(SettingsSection, "Panels", list.join(',').toStdString());
    SavePosition();
    emit quitFinished();
    close();
    return true;
}

void CTamrixControlHost::SavePosition()
{
    if (isMinimized())
        return;
    m_context.profile.WriteInt(SettingsSection, "X", pos().x());
    m_context.profile.WriteInt(SettingsSection, "Y", pos().y());
}

void CTamrixControlHost::ForwardDeviceChange()
{
    for (CBasePanel* panel : m_panels)
        panel->OnDeviceChange();
}

void CTamrixControlHost::closeEvent(QCloseEvent* event)
{
    if (m_quitting || Quit())
        event->accept();
    else
        event->ignore();
}

void CTamrixControlHost::keyPressEvent(QKeyEvent* event)
{
    // A stray Enter must not end the program unasked and lose the layout: it runs the quit sequence,
    // which asks while an instrument is connected and writes the panel list. Escape never quits.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
    {
        Quit();
        return;
    }
    if (event->key() == Qt::Key_Escape)
    {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CTamrixControlHost::OnAddPanel()
{
    CSelectPanelDlg dialog(CSelectPanelDlg::PresentPorts(m_context.profile), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const std::string& detect = dialog.DetectDescriptor();
    // Detection starts on a combo panel; a unit it does not take gives way to its own panel.
    const int index = AddPanel(-1, detect.empty() ? dialog.SelectedType() : PanelType::Combo, false);
    LayoutPanels();
    if (index < 0)
        return;
    ScrollIntoView(m_panels[index]);
    if (!detect.empty())
    {
        m_panels[index]->SelectConnection(detect);
        m_panels[index]->Connect(detect);
    }
}

void CTamrixControlHost::ScrollIntoView(CBasePanel* panel)
{
    // The scroll bars take the canvas's new size from its resize event, which a hidden window gets late.
    QTimer::singleShot(0, this,
                       [this, panel = QPointer<CBasePanel>(panel)]
                       {
                           if (panel)
                               m_scroll->ensureWidgetVisible(panel, 0, 0);
                       });
}

void CTamrixControlHost::OnAbout()
{
    CAboutDlg dialog(this);
    dialog.exec();
}
