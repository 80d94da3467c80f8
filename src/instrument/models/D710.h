#pragma once

#include "instrument/laser/Laser.h"

#include <atomic>

// D710 single-channel laser driver (also the D19- builds). Differs from the family as the D310 does
// in its modes and factory lines, and further: its connect finds out the pulse timing and the
// extended limits (which also carry the remote-set commands), firmware revision 3 adds the extended
// features, and the LDV limit is read with extended resolution because the normal reply rounds away
// the millivolts this driver's limit is set in.
class CD710 : public CLaser
{
public:
    // Upper-half poll flag under which the LDV limit is answered from its cache while polling.
    static constexpr uint32_t LaserPollLDVLimit = 0x2000;

    CD710();

    bool IsModeSupported(int mode) const override;
    bool SendFactoryDacLine1() override;
    bool SendFactoryDacLine2() override;
    bool HasExtendedFeatures() const override;
    bool HasRemoteSetControl() const override;
    // The limit sent is the one answered while polling, so a new limit never shows the old one.
    bool SetLDVLimit(double value) override;
    float GetLDVLimit() override;
    bool Identify(bool force) override;

private:
    std::atomic<bool> m_revision3{false};
    std::atomic<float> m_ldvLimit{NoValue}; // [V]
};
