#include "ui/panels/LaserPanel.h"

#include "instrument/Laser.h"
#include "ui/panels/PanelTypes.h"
#include "ui/panels/RefreshRule.h"
#include "ui/widgets/LaserBlock.h"

#include <QVBoxLayout>

CLaserPanel::CLaserPanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
    : CBasePanel(context, host, index, PanelType::Laser, parent)
{
    SLaserChannelAccess access;
    access.channel = [this] { return m_laser; };
    m_block = new CLaserBlock(context, std::move(access), CLaserBlock::SOptions{}, this);
    Body()->addWidget(m_block);
    connect(m_block, &CLaserBlock::settingsChanged, this, &CLaserPanel::UpdateControls);
    FinishInit("Error log for Diodex");
}

void CLaserPanel::SetInstrument(CInstrBase* instrument)
{
    CBasePanel::SetInstrument(instrument);
    m_laser = dynamic_cast<CLaser*>(GetInstrument());
}

void CLaserPanel::UpdateControls()
{
    CBasePanel::UpdateControls();
    m_block->UpdateControls(IsConnected());
}

void CLaserPanel::ResetReadings()
{
    m_previousUserFlag = false;
    m_block->ResetReadings();
}

void CLaserPanel::Refresh()
{
    const RefreshRule::ETick tick = RefreshRule::Evaluate(GetInstrument(), m_previousUserFlag);
    if (tick == RefreshRule::Empty)
        m_block->EmptyReadings();
    else
        m_block->Refresh(tick == RefreshRule::Forced);
}

void CLaserPanel::OnSetPoint()
{
    m_block->OnSetPoint();
}
