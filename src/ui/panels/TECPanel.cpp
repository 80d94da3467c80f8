#include "ui/panels/TECPanel.h"

#include "instrument/tec/TEC.h"
#include "ui/panels/PanelTypes.h"
#include "ui/panels/parts/TecBlock.h"
#include "ui/widgets/RecordControl.h"
#include "ui/widgets/TrendWindow.h"

#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

CTECPanel::CTECPanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
    : CBasePanel(context, host, index, PanelType::TEC, parent)
{
    STecChannelAccess access;
    access.channel = [this] { return m_tec; };
    access.link = [this]() -> const SInstrumentLink& { return Link(); };
    m_block = new CTecBlock(context, std::move(access), this);
    Body()->addWidget(m_block);
    Body()->addWidget(BuildTools());
    Body()->addStretch(1);

    // A window of its own, so that showing it never moves the panel's controls.
    m_trend = new CTrendWindow(context, QString("Trend - TEC panel %1").arg(index + 1), this);
    m_trend->setWindowFlag(Qt::Tool);
    m_trend->resize(820, 440);
    m_trend->installEventFilter(this);
    FinishInit("Error log for Thermex");
}

QWidget* CTECPanel::BuildTools()
{
    auto* box = new QWidget(this);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    m_trendButton = new QPushButton("Trend", box);
    m_trendButton->setObjectName("trendButton");
    m_trendButton->setCheckable(true);
    m_record = new CRecordControl(Context(), box);
    m_record->SetSource([this] { return CCsvRecorder::SourceOf(m_tec, ConnectionName()); });
    row->addWidget(m_trendButton);
    row->addWidget(m_record, 1);
    connect(m_trendButton, &QPushButton::toggled, this, &CTECPanel::ShowTrend);
    return box;
}

void CTECPanel::SetInstrument(CInstrBase* instrument)
{
    CBasePanel::SetInstrument(instrument);
    m_tec = dynamic_cast<CTEC*>(GetInstrument());
    // The instrument is gone: the file ends saying why, unless the panel waits for the unit to come back.
    if (!m_tec && m_record && !IsWaitingToReconnect())
        m_record->Stop("disconnected");
}

void CTECPanel::UpdateControls()
{
    CBasePanel::UpdateControls();
    m_block->UpdateControls(IsConnected());
    m_record->UpdateControls(IsConnected(), ReconnectGap());
}

void CTECPanel::ResetReadings()
{
    m_block->ResetReadings();
}

void CTECPanel::Refresh()
{
    if (!m_block->Tick() || !m_tec)
    {
        // The fields are empty: the trend's lines break as well.
        m_trend->Chart()->Feed(static_cast<double>(QDateTime::currentMSecsSinceEpoch()), {});
        m_record->RecordIdle(m_tec);
        return;
    }
    FeedTrend();
    m_record->Record(*m_tec);
}

CTrendChart* CTECPanel::Trend() const
{
    return m_trend->Chart();
}

void CTECPanel::FeedTrend()
{
    m_trend->Chart()->Feed(static_cast<double>(QDateTime::currentMSecsSinceEpoch()),
                           m_block->TrendSamples(QString()));
}

void CTECPanel::OnSetPoint()
{
    m_block->OnSetPoint();
}

void CTECPanel::ShowTrend(bool shown)
{
    m_trend->setVisible(shown);
    if (shown)
        m_trend->raise();
}

bool CTECPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_trend && event->type() == QEvent::Hide)
        m_trendButton->setChecked(false);
    return CBasePanel::eventFilter(watched, event);
}

bool CTECPanel::StartRecording(const QString& path)
{
    return m_record->Start(path);
}

void CTECPanel::StopRecording()
{
    if (m_record)
        m_record->Stop();
}

bool CTECPanel::IsRecording() const
{
    return m_record->IsRecording();
}

QStringList CTECPanel::OutputsOn() const
{
    return m_block->IsOutputOn() ? QStringList{"TEC"} : QStringList{};
}

void CTECPanel::SwitchOutputsOff()
{
    m_block->SwitchOutputOff();
}
