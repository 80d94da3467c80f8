#include "ui/panels/MultiChannelPanel.h"

#include "instrument/multi/MultiLaser.h"
#include "instrument/multi/MultiTec.h"
#include "ui/dialogs/LaserSettingsDlg.h"
#include "ui/dialogs/SettingsSheet.h"
#include "ui/dialogs/TecSettingsPage.h"
#include "ui/panels/RefreshRule.h"
#include "ui/panels/parts/LaserBlock.h"
#include "ui/panels/parts/TecBlock.h"
#include "ui/widgets/TrendRecordBar.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>
#include <optional>

namespace
{
// Several blocks side by side must fit a laptop screen: the blocks' large reading fonts and the field
// widths taken from them shrink together.
constexpr double CompactScale = 0.72;

void Compact(QWidget* block)
{
    for (QWidget* widget : block->findChildren<QWidget*>())
    {
        QFont font = widget->font();
        if (font.pixelSize() > 0 && widget->testAttribute(Qt::WA_SetFont))
        {
            font.setPixelSize(static_cast<int>(font.pixelSize() * CompactScale + 0.5));
            widget->setFont(font);
        }
        if (widget->minimumWidth() <= 0)
            continue;
        const int width = static_cast<int>(widget->minimumWidth() * CompactScale + 0.5);
        // A line edit asks for seventeen characters of its font whatever it holds.
        if (qobject_cast<QLineEdit*>(widget))
            widget->setFixedWidth(width);
        else
            widget->setMinimumWidth(width);
    }
}
} // namespace

QWidget* CMultiChannelPanel::SBlock::Widget() const
{
    return tec ? static_cast<QWidget*>(tec) : static_cast<QWidget*>(laser);
}

QLineEdit* CMultiChannelPanel::SBlock::SetPointEdit() const
{
    return tec ? tec->SetPointEdit() : laser->SetPointEdit();
}

CMultiChannelPanel::CMultiChannelPanel(const SUiContext& context, IPanelHost& host, int index, int typeCode,
                                       QWidget* parent)
    : CBasePanel(context, host, index, typeCode, parent)
{
    if (auto* autoCheck = findChild<QCheckBox*>("autoCheck"))
        autoCheck->setText("Auto-Connect");
    m_buttonRow = new QHBoxLayout;
    m_tools = new CTrendRecordBar(context, QString("Trend - panel %1").arg(index + 1), this);
    m_tools->SetLogSource([this] { return CCsvRecorder::SourceOf(GetInstrument(), ConnectionName()); });
    m_buttonRow->addWidget(m_tools);
    m_buttonRow->addStretch(1);
    Body()->addLayout(m_buttonRow);
    m_grid = new QGridLayout;
    m_grid->setHorizontalSpacing(8);
    m_grid->setVerticalSpacing(6);
    Body()->addLayout(m_grid);
    Body()->addStretch(1);
}

void CMultiChannelPanel::AddBlock(EKind kind, int slotCount, const SBlockLook& look, int row, int column)
{
    SBlock block{kind, Slots(kind), look};
    const int k = block.k;
    block.frame = new QGroupBox(look.frameTitle(k + 1), this);
    block.frame->setObjectName(QString(kind == EKind::Tec ? "tecBlock%1" : "laserBlock%1").arg(k + 1));
    auto* layout = new QVBoxLayout(block.frame);
    layout->setContentsMargins(6, 4, 6, 6);
    // Every block reaches its own channel object, never the parent's shared selection.
    if (kind == EKind::Tec)
    {
        STecChannelAccess access;
        access.channel = [this, k]() -> CTEC*
        { return m_multiTec ? m_multiTec->GetChannelObject(k) : nullptr; };
        access.link = [this]() -> const SInstrumentLink& { return Link(); };
        access.session = [this] { return GetInstrument(); };
        access.channelIndex = k;
        access.channelCount = slotCount;
        CTecBlock::SOptions options;
        options.auxSensors = look.auxSensors;
        options.settingsButton = look.settingsButton;
        options.openSettings = SettingsOpener(kind, k);
        block.tec = new CTecBlock(Context(), std::move(access), options, block.frame);
    }
    else
    {
        SLaserChannelAccess access;
        access.channel = [this, k]() -> CLaser*
        { return m_multiLaser ? m_multiLaser->GetChannelObject(k) : nullptr; };
        access.link = [this]() -> const SInstrumentLink& { return Link(); };
        access.session = [this] { return GetInstrument(); };
        access.channelIndex = k;
        access.channelCount = slotCount;
        CLaserBlock::SOptions options;
        options.pulseModes = look.pulseModes;
        options.settingsButton = look.settingsButton;
        if (!look.outputTitle.isEmpty())
            options.outputTitle = look.outputTitle;
        options.openSettings = SettingsOpener(kind, k);
        block.laser = new CLaserBlock(Context(), std::move(access), options, block.frame);
    }
    Compact(block.Widget());
    layout->addWidget(block.Widget());
    m_grid->addWidget(block.frame, row, column, Qt::AlignTop);
    m_blocks.push_back(std::move(block));
}

void CMultiChannelPanel::AddPanelButton(QPushButton* button)
{
    m_buttonRow->insertWidget(m_buttonRow->count() - 1, button);
}

void CMultiChannelPanel::MovePanelButtonsToGrid(int row, int column)
{
    Body()->removeItem(m_buttonRow);
    // A layout takes a new parent only once it has none.
    m_buttonRow->setParent(nullptr);
    m_grid->addLayout(m_buttonRow, row, column, Qt::AlignTop);
}

// The block's own settings button would open a sheet captioned for a single-channel unit; here the
// sheet names the block's channel.
std::function<void()> CMultiChannelPanel::SettingsOpener(EKind kind, int k)
{
    return [this, kind, k] { RunSettingsSheet(kind, k); };
}

std::unique_ptr<CSettingsSheet> CMultiChannelPanel::MakeSettingsSheet(EKind kind, int k)
{
    const int number = ChannelNumber(kind, k);
    std::unique_ptr<CSettingsSheet> sheet;
    if (CTecBlock* tec = kind == EKind::Tec ? TecBlock(k) : nullptr)
    {
        sheet = std::make_unique<CSettingsSheet>(Context(),
                                                 QString("TEC Settings for Channel %1").arg(number), this);
        sheet->AddPage(new CTecSettingsPage(Context(), tec->Access(), sheet.get()),
                       QString("TEC Chan %1").arg(number));
    }
    else if (CLaserBlock* laser = kind == EKind::Laser ? LaserBlock(k) : nullptr)
    {
        sheet = std::make_unique<CSettingsSheet>(Context(),
                                                 QString("Laser Settings for Channel %1").arg(number), this);
        sheet->AddPage(new CLaserSettingsDlg(Context(), laser->Access(), sheet.get()), "Laser Settings");
    }
    return sheet;
}

void CMultiChannelPanel::RunSettingsSheet(EKind kind, int k)
{
    if (!IsConnected())
        return;
    if (std::unique_ptr<CSettingsSheet> sheet = MakeSettingsSheet(kind, k))
        sheet->Open();
    ReloadTolerances();
    UpdateControls();
}

void CMultiChannelPanel::ReloadTolerances()
{
    for (const SBlock& block : m_blocks)
        if (block.tec && IsPresent(block))
            block.tec->ReloadTolerance();
}

int CMultiChannelPanel::Slots(EKind kind) const
{
    return static_cast<int>(
        std::count_if(m_blocks.begin(), m_blocks.end(), [kind](const SBlock& b) { return b.kind == kind; }));
}

QGroupBox* CMultiChannelPanel::BlockFrame(EKind kind, int k) const
{
    for (const SBlock& block : m_blocks)
        if (block.kind == kind && block.k == k)
            return block.frame;
    return nullptr;
}

CTecBlock* CMultiChannelPanel::TecBlock(int k) const
{
    for (const SBlock& block : m_blocks)
        if (block.kind == EKind::Tec && block.k == k)
            return block.tec;
    return nullptr;
}

CLaserBlock* CMultiChannelPanel::LaserBlock(int k) const
{
    for (const SBlock& block : m_blocks)
        if (block.kind == EKind::Laser && block.k == k)
            return block.laser;
    return nullptr;
}

void CMultiChannelPanel::SetInstrument(CInstrBase* instrument)
{
    CBasePanel::SetInstrument(instrument);
    m_multiTec = dynamic_cast<CMultiTec*>(GetInstrument());
    m_multiLaser = dynamic_cast<CMultiLaser*>(GetInstrument());
}

CTEC* CMultiChannelPanel::GetTEC() const
{
    return m_multiTec;
}

CLaser* CMultiChannelPanel::GetLaser() const
{
    return m_multiLaser;
}

int CMultiChannelPanel::PresentChannels(EKind kind) const
{
    const int slotCount = Slots(kind);
    if (!GetInstrument())
        return slotCount;
    int present = 0;
    if (kind == EKind::Tec && m_multiTec)
        present = m_multiTec->GetTecChannelCount();
    else if (kind == EKind::Laser && m_multiLaser)
        present = m_multiLaser->GetLaserChannelCount();
    return std::min(present, slotCount);
}

bool CMultiChannelPanel::IsPresent(const SBlock& block) const
{
    return block.k < PresentChannels(block.kind);
}

int CMultiChannelPanel::ChannelNumber(EKind kind, int k) const
{
    if (GetInstrument() && k < PresentChannels(kind))
    {
        if (kind == EKind::Tec && m_multiTec)
            if (const CTEC* channel = m_multiTec->GetChannelObject(k))
                return channel->GetChannelNumber();
        if (kind == EKind::Laser && m_multiLaser)
            if (const CLaser* channel = m_multiLaser->GetChannelObject(k))
                return channel->GetLaserChannelNumber();
    }
    return k + 1;
}

void CMultiChannelPanel::ShowPresentBlocks()
{
    for (const SBlock& block : m_blocks)
    {
        const int number = ChannelNumber(block.kind, block.k);
        block.frame->setTitle(block.look.frameTitle(number));
        if (block.look.setPointTitle)
        {
            if (block.tec)
                block.tec->SetSetPointTitle(block.look.setPointTitle(number));
            else
                block.laser->SetSetPointTitle(block.look.setPointTitle(number));
        }
        block.frame->setVisible(IsPresent(block));
    }
}

CTrendWindow* CMultiChannelPanel::TrendWindow() const
{
    return m_tools->TrendWindow();
}

void CMultiChannelPanel::UpdateControls()
{
    CBasePanel::UpdateControls();
    ShowPresentBlocks();
    const bool connected = IsConnected();
    m_tools->UpdateControls(connected, ReconnectGap());
    for (const SBlock& block : m_blocks)
    {
        const bool live = connected && IsPresent(block);
        if (block.tec)
            block.tec->UpdateControls(live);
        else
            block.laser->UpdateControls(live);
    }
}

void CMultiChannelPanel::ResetReadings()
{
    m_previousUserFlag = false;
    for (const SBlock& block : m_blocks)
    {
        if (block.tec)
            block.tec->ResetReadings();
        else
            block.laser->ResetReadings();
    }
}

// One rule for the whole unit: its channels are polled in one cycle that raises the parent's flag.
void CMultiChannelPanel::Refresh()
{
    const RefreshRule::ETick tick = RefreshRule::Evaluate(GetInstrument(), m_previousUserFlag);
    for (const SBlock& block : m_blocks)
    {
        if (!IsPresent(block))
            continue;
        if (tick == RefreshRule::Empty)
        {
            if (block.tec)
                block.tec->EmptyReadings();
            else
                block.laser->EmptyReadings();
        }
        else if (block.tec)
            block.tec->Refresh(tick == RefreshRule::Forced);
        else
            block.laser->Refresh(tick == RefreshRule::Forced);
    }
    if (tick == RefreshRule::Empty)
    {
        // The fields are empty: the trend's lines break as well.
        m_tools->Feed({});
        m_tools->RecordIdle(GetInstrument());
        return;
    }
    FeedTrend();
    // Every present channel of the unit in one row, read from the channels' caches.
    m_tools->Record(*GetInstrument());
}

void CMultiChannelPanel::FeedTrend()
{
    // Every reading of every present channel; the readings are drawn at first, the set points on demand.
    std::vector<CTrendChart::SSample> samples;
    for (const SBlock& block : m_blocks)
    {
        if (!IsPresent(block))
            continue;
        const int number = ChannelNumber(block.kind, block.k);
        const auto channel = block.tec ? block.tec->TrendSamples(QString("TEC %1 ").arg(number), false)
                                       : block.laser->TrendSamples(QString("Laser %1 ").arg(number), false);
        samples.insert(samples.end(), channel.begin(), channel.end());
    }
    m_tools->Feed(samples);
}

void CMultiChannelPanel::Disconnect()
{
    // On the instrument's strand, ahead of the base's own goodbye: the window neither waits for the
    // unit's reply nor talks to it beside its poll.
    const std::string command = DisconnectCommand();
    if (!command.empty() && Link())
        Link().Call(
            this,
            [instrument = Link().instrument, command]
            {
                if (instrument->IsPortOpen())
                    instrument->Command(command, true);
            },
            [] {});
    CBasePanel::Disconnect();
    ResetReadings();
}

void CMultiChannelPanel::OnSetPoint()
{
    for (const SBlock& block : m_blocks)
    {
        QLineEdit* edit = block.SetPointEdit();
        if (!edit || !edit->hasFocus() || !IsPresent(block))
            continue;
        if (block.tec)
            block.tec->OnSetPoint();
        else
            block.laser->OnSetPoint();
        return;
    }
}

QStringList CMultiChannelPanel::OutputsOn() const
{
    QStringList on;
    for (const SBlock& block : m_blocks)
    {
        const bool isOn = block.tec ? block.tec->IsOutputOn() : block.laser->IsOutputOn();
        if (!IsPresent(block) || !isOn)
            continue;
        const int number = ChannelNumber(block.kind, block.k);
        on << (block.look.outputName ? block.look.outputName(number)
                                     : QString(block.tec ? "TEC %1" : "Laser %1").arg(number));
    }
    return on;
}

// Every laser before any TEC: a diode must not run without its temperature control.
void CMultiChannelPanel::SwitchOutputsOff()
{
    for (EKind kind : {EKind::Laser, EKind::Tec})
        for (const SBlock& block : m_blocks)
        {
            if (block.kind != kind || !IsPresent(block))
                continue;
            if (block.laser && block.laser->IsOutputOn())
                block.laser->SwitchOutputOff();
            if (block.tec && block.tec->IsOutputOn())
                block.tec->SwitchOutputOff();
        }
}
