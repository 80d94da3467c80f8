#pragma once

#include "instrument/laser/Laser.h"
#include "instrument/tec/TEC.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// One laser channel and one TEC channel in one unit: one identity, one port, one session (both families
// derive virtually from it), no channel prefix. The TEC poll runs in PollHook1 and the laser poll in
// PollHook2 of the same cycle.
//
// Operations both families name alike (SetOutput, GetMode ...) are not overridden here: an override
// would replace both families' versions at once. Callers reach them through the CTEC or CLaser part.
class CX510 : public CTEC, public CLaser
{
public:
    CX510();
    ~CX510() override;

    // Identification, then both families' connect steps (sensor cache, firmware feature flag, mode,
    // output and readings of each side). False only when identification fails: a side's reading lost
    // at connect is logged and left to the poll, as every other family does.
    bool Identify(bool force) override;

    bool IsInstrumentType(int type) const override;
    std::string GetCommandPrefix() const override;
    // Each side keeps its own count of failed cycles; the session shows the worse of the two, so a
    // good laser poll never hides a TEC side that stopped answering (or the other way round).
    bool PollHook1(uint64_t pollFlags) override;
    bool PollHook2(uint64_t pollFlags) override;

    // Clearing either side's readings clears both.
    void ResetTecState() override;
    void ResetLaserState() override;

    // TEC capabilities.
    bool IsTSetPointLocked() override;
    bool HasCapability82() override { return true; }
    bool HasCapability83() override { return true; }
    bool HasCapability84() override { return false; }
    bool HasCapability85() override { return true; }
    bool HasCapability105() override { return true; }
    bool IsSettingHidden(uint32_t key) override;
    bool IsAutoTuneSupported() override { return true; }

    // Laser capabilities.
    bool IsModeSupported(int mode) const override;
    bool HasRemoteSetControl() const override { return true; }
    bool HasDualRange() const override { return true; }

    // The settings group that the combined unit may hide: the T set point follows the laser.
    static constexpr uint32_t KeyTSetPointGroup = 0xF0001008;

protected:
    // The laser family's connect steps; true when mode and every reading were read.
    bool RefreshLaserSide();
    // The TEC family's connect steps; true when mode and every reading were read.
    bool RefreshTecSide();

private:
    void PollSide(std::atomic<int>& sideFailedPolls, const std::function<void()>& poll);

    std::atomic<int> m_tecFailedPolls{0};
    std::atomic<int> m_laserFailedPolls{0};
};
