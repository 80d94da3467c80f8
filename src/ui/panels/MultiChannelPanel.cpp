#include "ui/panels/MultiChannelPanel.h"

#include "instrument/MultiLaser.h"
#include "instrument/MultiTec.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>

CMultiChannelPanel::CMultiChannelPanel(const SUiContext& context, IPanelHost& host, int index, int typeCode,
                                       QWidget* parent)
    : CBasePanel(context, host, index, typeCode, parent)
{
    if (auto* autoCheck = findChild<QCheckBox*>("autoCheck"))
        autoCheck->setText("Auto-Connect");
    m_grid = new QGridLayout;
    m_grid->setHorizontalSpacing(8);
    m_grid->setVerticalSpacing(6);
    Body()->addLayout(m_grid);
}

CMultiChannelPanel::SBlock& CMultiChannelPanel::AddBlock(EKind kind, const TitleFormat& title, int row,
                                                         int column)
{
    int k = 0;
    for (const SBlock& block : m_blocks)
        if (block.kind == kind)
            ++k;
    auto* frame = new QGroupBox(title(k + 1), this);
    frame->setObjectName(QString(kind == EKind::Tec ? "tecBlock%1" : "laserBlock%1").arg(k + 1));
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(6, 4, 6, 6);
    m_grid->addWidget(frame, row, column, Qt::AlignTop);
    m_blocks.push_back({kind, k, frame});
    m_titles.push_back(title);
    return m_blocks.back();
}

QGroupBox* CMultiChannelPanel::BlockFrame(EKind kind, int k) const
{
    for (const SBlock& block : m_blocks)
        if (block.kind == kind && block.k == k)
            return block.frame;
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
    int slotCount = 0;
    for (const SBlock& block : m_blocks)
        if (block.kind == kind)
            ++slotCount;
    if (!GetInstrument())
        return slotCount;
    const int present = kind == EKind::Tec ? (m_multiTec ? m_multiTec->GetTecChannelCount() : 0)
                                           : (m_multiLaser ? m_multiLaser->GetLaserChannelCount() : 0);
    return std::min(present, slotCount);
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

void CMultiChannelPanel::SelectChannel(EKind kind, int k) const
{
    if (kind == EKind::Tec && m_multiTec)
        m_multiTec->SelectChannel(k);
    else if (kind == EKind::Laser && m_multiLaser)
        m_multiLaser->SelectChannel(k);
}

void CMultiChannelPanel::ShowPresentBlocks()
{
    for (size_t i = 0; i < m_blocks.size(); ++i)
    {
        const SBlock& block = m_blocks[i];
        block.frame->setTitle(m_titles[i](ChannelNumber(block.kind, block.k)));
        block.frame->setVisible(block.k < PresentChannels(block.kind));
    }
}

void CMultiChannelPanel::UpdateControls()
{
    CBasePanel::UpdateControls();
    ShowPresentBlocks();
}

void CMultiChannelPanel::ResetReadings() {}

void CMultiChannelPanel::Refresh() {}

void CMultiChannelPanel::Disconnect()
{
    const std::string command = DisconnectCommand();
    if (!command.empty() && GetInstrument() && GetInstrument()->IsPortOpen())
        GetInstrument()->Command(command, true);
    CBasePanel::Disconnect();
}

void CMultiChannelPanel::OnSetPoint() {}
