#include "ui/panels/LaserPanel.h"

#include "instrument/laser/Laser.h"
#include "ui/panels/PanelTypes.h"
#include "ui/panels/RefreshRule.h"
#include "ui/panels/parts/LaserBlock.h"
#include "ui/widgets/TrendRecordBar.h"

#include <QVBoxLayout>

CLaserPanel::CLaserPanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
    : CBasePanel(context, host, index, PanelType::Laser, parent)
{
    SLaserChannelAccess access;
    access.channel = [this] { return m_laser; };
    access.link = [this]() -> const SInstrumentLink& { return Link(); };
    m_block = new CLaserBlock(context, std::move(access), CLaserBlock::SOptions{}, this);
    Body()->addWidget(m_block);
    m_tools = new CTrendRecordBar(context, QString("Trend - laser panel %1").arg(index + 1), this);
    m_tools->SetLogSource([this] { return CCsvRecorder::SourceOf(GetInstrument(), ConnectionName()); });
    Body()->addWidget(m_tools);
    connect(m_block, &CLaserBlock::settingsChanged, this, &CLaserPanel::UpdateControls);
    FinishInit("Error log for Diodex");
}

void CLaserPanel::SetInstrument(CInstrBase* instrument)
{
    CBasePanel::SetInstrument(instrument);
    m_laser = dynamic_cast<CLaser*>(GetInstrument());
}

CTrendWindow* CLaserPanel::TrendWindow() const
{
    return m_tools->TrendWindow();
}

void CLaserPanel::UpdateControls()
{
    CBasePanel::UpdateControls();
    m_block->UpdateControls(IsConnected());
    m_tools->UpdateControls(IsConnected(), ReconnectGap());
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
    {
        m_block->EmptyReadings();
        // The fields are empty: the trend's lines break as well.
        m_tools->Feed({});
        m_tools->RecordIdle(GetInstrument());
        return;
    }
    m_block->Refresh(tick == RefreshRule::Forced);
    FeedTrend();
    m_tools->Record(*GetInstrument());
}

void CLaserPanel::FeedTrend()
{
    m_tools->Feed(m_block->TrendSamples(QString()));
}

void CLaserPanel::OnSetPoint()
{
    m_block->OnSetPoint();
}

QStringList CLaserPanel::OutputsOn() const
{
    return m_block->IsOutputOn() ? QStringList{"Laser"} : QStringList{};
}

void CLaserPanel::SwitchOutputsOff()
{
    m_block->SwitchOutputOff();
}

CBasePanel* PanelType::CreateLaserPanel(const SUiContext& context, IPanelHost& host, int index,
                                        QWidget* parent)
{
    return new CLaserPanel(context, host, index, parent);
}
