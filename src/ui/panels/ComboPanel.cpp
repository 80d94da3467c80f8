#include "ui/panels/ComboPanel.h"

#include "instrument/laser/Laser.h"
#include "instrument/tec/TEC.h"
#include "instrument/tec/TecTypes.h"
#include "ui/dialogs/LaserSettingsDlg.h"
#include "ui/dialogs/SettingsSheet.h"
#include "ui/dialogs/TecSettingsPage.h"
#include "ui/panels/PanelTypes.h"
#include "ui/panels/RefreshRule.h"
#include "ui/panels/parts/LaserBlock.h"
#include "ui/panels/parts/TecBlock.h"
#include "ui/widgets/TrendRecordBar.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{
SLaserChannelAccess LaserAccess(CComboPanel* panel)
{
    SLaserChannelAccess access;
    access.channel = [panel] { return panel->GetLaser(); };
    access.link = [panel]() -> const SInstrumentLink& { return panel->Link(); };
    access.session = [panel] { return panel->GetInstrument(); };
    return access;
}

STecChannelAccess TecAccess(CComboPanel* panel)
{
    STecChannelAccess access;
    access.channel = [panel] { return panel->GetTEC(); };
    access.link = [panel]() -> const SInstrumentLink& { return panel->Link(); };
    access.session = [panel] { return panel->GetInstrument(); };
    return access;
}
} // namespace

CComboPanel::CComboPanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent)
    : CBasePanel(context, host, index, PanelType::Combo, parent)
{
    CLaserBlock::SOptions laserOptions;
    laserOptions.pulseModes = false;
    laserOptions.settingsButton = false;
    laserOptions.setPointTitle = "Laser Setpoint";
    laserOptions.outputTitle = "Laser";
    m_laserBlock = new CLaserBlock(context, LaserAccess(this), laserOptions, this);
    CTecBlock::SOptions tecOptions;
    tecOptions.auxSensors = false;
    tecOptions.settingsButton = false;
    // Beside the laser side the TEC side's groups say which side they belong to.
    tecOptions.setPointTitle = "TEC Setpoint";
    tecOptions.outputTitle = "TEC";
    m_tecBlock = new CTecBlock(context, TecAccess(this), tecOptions, this);

    auto* sides = new QHBoxLayout;
    sides->setSpacing(16);
    sides->addWidget(m_laserBlock, 1);
    sides->addWidget(m_tecBlock, 1);
    Body()->addLayout(sides);

    auto* buttons = new QHBoxLayout;
    m_settingsButton = new QPushButton("Combo Settings...", this);
    m_settingsButton->setObjectName("comboSettingsButton");
    m_autoTuneButton = new QPushButton("AutoTune...", this);
    m_autoTuneButton->setObjectName("autoTuneButton");
    m_autoTuneButton->hide();
    buttons->addWidget(m_settingsButton);
    buttons->addWidget(m_autoTuneButton);
    m_tools = new CTrendRecordBar(context, QString("Trend - combo panel %1").arg(index + 1), this);
    m_tools->SetLogSource([this] { return CCsvRecorder::SourceOf(GetInstrument(), ConnectionName()); });
    buttons->addWidget(m_tools, 1);
    Body()->addLayout(buttons);
    connect(m_settingsButton, &QPushButton::clicked, this, &CComboPanel::OnComboSettings);
    connect(m_autoTuneButton, &QPushButton::clicked, m_tecBlock, &CTecBlock::OpenAutoTune);
    FinishInit("Error log for Pairex");
}

void CComboPanel::SetInstrument(CInstrBase* instrument)
{
    CBasePanel::SetInstrument(instrument);
    m_laser = dynamic_cast<CLaser*>(GetInstrument());
    m_tec = dynamic_cast<CTEC*>(GetInstrument());
}

CTrendWindow* CComboPanel::TrendWindow() const
{
    return m_tools->TrendWindow();
}

void CComboPanel::UpdateControls()
{
    CBasePanel::UpdateControls();
    const bool connected = IsConnected();
    m_laserBlock->UpdateControls(connected);
    m_tecBlock->UpdateControls(connected);
    m_settingsButton->setEnabled(connected);
    m_tools->UpdateControls(connected, ReconnectGap());
    m_autoTuneButton->setVisible(connected && m_tec && m_tec->IsAutoTuneSupported());
}

void CComboPanel::ResetReadings()
{
    m_previousUserFlag = false;
    m_laserBlock->ResetReadings();
    m_tecBlock->ResetReadings();
}

void CComboPanel::Refresh()
{
    // Both sides share one session and one poll cycle: one rule for both.
    const RefreshRule::ETick tick = RefreshRule::Evaluate(GetInstrument(), m_previousUserFlag);
    if (tick == RefreshRule::Empty)
    {
        m_laserBlock->EmptyReadings();
        m_tecBlock->EmptyReadings();
        // The fields are empty: the trend's lines break as well.
        m_tools->Feed({});
        m_tools->RecordIdle(GetInstrument());
        return;
    }
    m_laserBlock->Refresh(tick == RefreshRule::Forced);
    m_tecBlock->Refresh(tick == RefreshRule::Forced);
    FeedTrend();
    m_tools->Record(*GetInstrument());
}

void CComboPanel::FeedTrend()
{
    // Both sides on one time axis; every laser reading keeps its series across mode changes.
    std::vector<CTrendChart::SSample> samples = m_laserBlock->TrendSamples("Laser ");
    for (CTrendChart::SSample& sample : m_tecBlock->TrendSamples("TEC "))
        samples.push_back(std::move(sample));
    m_tools->Feed(samples);
}

void CComboPanel::OnSetPoint()
{
    if (m_tecBlock->HasFocus())
        m_tecBlock->OnSetPoint();
    else
        m_laserBlock->OnSetPoint();
}

void CComboPanel::OnComboSettings()
{
    if (!IsConnected())
        return;
    CSettingsSheet sheet(Context(), "Combo Settings", this);
    sheet.AddPage(new CTecSettingsPage(Context(), TecAccess(this), &sheet), "TEC Settings");
    sheet.AddPage(new CLaserSettingsDlg(Context(), LaserAccess(this), &sheet), "Laser Settings");
    sheet.Open();
    m_tecBlock->ReloadTolerance();
    UpdateControls();
}

QStringList CComboPanel::OutputsOn() const
{
    QStringList on;
    if (m_laserBlock->IsOutputOn())
        on << "Laser";
    if (m_tecBlock->IsOutputOn())
        on << "TEC";
    return on;
}

// The laser before its TEC: a diode must not run without its temperature control.
void CComboPanel::SwitchOutputsOff()
{
    m_laserBlock->SwitchOutputOff();
    m_tecBlock->SwitchOutputOff();
}

CBasePanel* PanelType::CreateComboPanel(const SUiContext& context, IPanelHost& host, int index,
                                        QWidget* parent)
{
    return new CComboPanel(context, host, index, parent);
}
