#include "ui/panels/TECPanel.h"

#include "instrument/TEC.h"
#include "ui/panels/PanelTypes.h"
#include "ui/widgets/TecBlock.h"

#include <QVBoxLayout>

CTECPanel::CTECPanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
    : CBasePanel(context, host, index, PanelType::TEC, parent)
{
    STecChannelAccess access;
    access.channel = [this] { return m_tec; };
    m_block = new CTecBlock(context, std::move(access), this);
    Body()->addWidget(m_block);
    Body()->addStretch(1);
    FinishInit("Error log for Thermex");
}

void CTECPanel::SetInstrument(CInstrBase* instrument)
{
    CBasePanel::SetInstrument(instrument);
    m_tec = dynamic_cast<CTEC*>(GetInstrument());
}

void CTECPanel::UpdateControls()
{
    CBasePanel::UpdateControls();
    m_block->UpdateControls(IsConnected());
}

void CTECPanel::ResetReadings()
{
    m_block->ResetReadings();
}

void CTECPanel::Refresh()
{
    m_block->Tick();
}

void CTECPanel::OnSetPoint()
{
    m_block->OnSetPoint();
}
