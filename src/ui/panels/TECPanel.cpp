#include "ui/panels/TECPanel.h"

#include "instrument/tec/TEC.h"
#include "ui/panels/PanelTypes.h"
#include "ui/panels/RefreshRule.h"
#include "ui/panels/parts/TecBlock.h"
#include "ui/widgets/TrendRecordBar.h"

#include <QVBoxLayout>

CTECPanel::CTECPanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
    : CBasePanel(context, host, index, PanelType::TEC, parent)
{
    STecChannelAccess access;
    access.channel = [this] { return m_tec; };
    access.link = [this]() -> const SInstrumentLink& { return Link(); };
    m_block = new CTecBlock(context, std::move(access), this);
    Body()->addWidget(m_block);
    m_tools = new CTrendRecordBar(context, QString("Trend - TEC panel %1").arg(index + 1), this);
    m_tools->SetLogSource([this] { return CCsvRecorder::SourceOf(m_tec, ConnectionName()); });
    Body()->addWidget(m_tools);
    Body()->addStretch(1);
    FinishInit("Error log for Thermex");
}

void CTECPanel::SetInstrument(CInstrBase* instrument)
{
    CBasePanel::SetInstrument(instrument);
    m_tec = dynamic_cast<CTEC*>(GetInstrument());
    // The instrument is gone: the file ends saying why, unless the panel waits for the unit to come back.
    if (!m_tec && m_tools && !IsWaitingToReconnect())
        m_tools->StopRecording("disconnected");
}

void CTECPanel::UpdateControls()
{
    CBasePanel::UpdateControls();
    m_block->UpdateControls(IsConnected());
    m_tools->UpdateControls(IsConnected(), ReconnectGap());
}

void CTECPanel::ResetReadings()
{
    m_previousUserFlag = false;
    m_block->ResetReadings();
}

void CTECPanel::Refresh()
{
    const RefreshRule::ETick tick = RefreshRule::Evaluate(m_tec, m_previousUserFlag);
    if (tick == RefreshRule::Empty)
    {
        m_block->EmptyReadings();
        // The fields are empty: the trend's lines break as well.
        m_tools->Feed({});
        m_tools->RecordIdle(m_tec);
        return;
    }
    m_block->Refresh(tick == RefreshRule::Forced);
    FeedTrend();
    m_tools->Record(*m_tec);
}

CTrendChart* CTECPanel::Trend() const
{
    return m_tools->Trend();
}

CTrendWindow* CTECPanel::TrendWindow() const
{
    return m_tools->TrendWindow();
}

void CTECPanel::FeedTrend()
{
    m_tools->Feed(m_block->TrendSamples(QString()));
}

void CTECPanel::OnSetPoint()
{
    m_block->OnSetPoint();
}

bool CTECPanel::StartRecording(const QString& path)
{
    return m_tools->StartRecording(path);
}

void CTECPanel::StopRecording()
{
    if (m_tools)
        m_tools->StopRecording();
}

bool CTECPanel::IsRecording() const
{
    return m_tools->IsRecording();
}

QStringList CTECPanel::OutputsOn() const
{
    return m_block->IsOutputOn() ? QStringList{"TEC"} : QStringList{};
}

void CTECPanel::SwitchOutputsOff()
{
    m_block->SwitchOutputOff();
}

CBasePanel* PanelType::CreateTecPanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
{
    return new CTECPanel(context, host, index, parent);
}
