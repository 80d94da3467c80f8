#include "instrument/combined/X510.h"

#include "diag/EventLog.h"
#include "instrument/models/ModelRules.h"
#include "instrument/valuebags/ValuesBagEEX510.h"

#include <algorithm>
#include <functional>

CX510::CX510()
{
    SetValueBag(std::make_unique<CValuesBagEEX510>(this));
}

CX510::~CX510() = default;

bool CX510::Identify(bool force)
{
    if (IsIdentified() && !force)
        return true;
    if (!CInstrBase::Identify(force))
        return false;
    // Both sides run regardless of either family's firmware gate: the unit answers both command sets,
    // and the panel shows both sides from the first tick. A reading lost here is the poll's to fill,
    // as on every other family: the unit is identified, so the connect holds.
    if (!RefreshLaserSide())
        TAMRIX_LOG(ccGeneral, 1, "Laser side not fully read at connect; the poll fills it.\n");
    if (!RefreshTecSide())
        TAMRIX_LOG(ccGeneral, 1, "TEC side not fully read at connect; the poll fills it.\n");
    SetQCWSupported(true);
    SetAutoTuneSupported(true);
    m_tecFailedPolls.store(0);
    m_laserFailedPolls.store(0);
    return true;
}

bool CX510::RefreshLaserSide()
{
    // Through the side's reference, so that a model's own versions of these run.
    CLaser& laser = *this;
    CLaser::ResetLaserState();
    SetPulseCapable(false);
    SetFeatureFlag(true);
    const bool mode = laser.GetMode(true) != LaserModeNone;
    laser.GetOutput(true);
    // The error queue is emptied once, last, by the TEC side's readings.
    const bool readings = laser.ReadAllReadings();
    return mode && readings;
}

bool CX510::RefreshTecSide()
{
    CTEC& tec = *this;
    CTEC::ResetTecState();
    const auto version = GetFirmwareVersionNumbers();
    const bool line = version[0] == 2 || version[0] == 3;
    m_firmwareFeature.store(line && version[1] == 4 && GetBuildNumber() > 42, Relaxed);
    const bool mode = tec.GetMode(true) != TecModeUnknown;
    tec.GetOutput(true);
    // Ends with "ERR?": the unit's error queue goes to the error list once for both sides.
    const bool readings = tec.ReadAllReadings();
    return mode && readings;
}

bool CX510::IsInstrumentType(int type) const
{
    return type == 3;
}

std::string CX510::GetCommandPrefix() const
{
    return {};
}

bool CX510::PollHook1(uint64_t pollFlags)
{
    PollSide(m_tecFailedPolls, [this, pollFlags] { CTEC::PollHook1(pollFlags); });
    return true;
}

bool CX510::PollHook2(uint64_t pollFlags)
{
    PollSide(m_laserFailedPolls, [this, pollFlags] { CLaser::PollHook2(pollFlags); });
    return true;
}

void CX510::PollSide(std::atomic<int>& sideFailedPolls, const std::function<void()>& poll)
{
    // Each family counts its own failed queries from where its side left off; the unit's count is the
    // worse side's. A poll cut short by a stop request is not the side's result.
    SetFailedPolls(sideFailedPolls.load());
    poll();
    if (!IsStopRequested())
        sideFailedPolls.store(GetFailedPolls());
    SetFailedPolls(std::max(m_tecFailedPolls.load(), m_laserFailedPolls.load()));
}

void CX510::ResetTecState()
{
    CTEC::ResetTecState();
    CLaser::ResetLaserState();
}

void CX510::ResetLaserState()
{
    CLaser::ResetLaserState();
    CTEC::ResetTecState();
}

bool CX510::IsTSetPointLocked()
{
    return IsSettingHidden(KeyTSetPointGroup) || GetExtendedLimit();
}

bool CX510::IsSettingHidden(uint32_t)
{
    return false;
}

bool CX510::IsModeSupported(int mode) const
{
    // No pulse driver: the continuous modes only.
    return ModelRules::IsContinuousMode(mode);
}
