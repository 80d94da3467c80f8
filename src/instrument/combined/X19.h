#pragma once

#include "instrument/combined/X510.h"

// The single-range combined unit: as the X510, without the second current range and without the
// laser's feature flag.
class CX19 : public CX510
{
public:
    CX19() = default;
    ~CX19() override = default;

    // The session's prefix rather than the combined family's.
    std::string GetCommandPrefix() const override { return CInstrBase::GetCommandPrefix(); }
    bool GetFeatureFlag(uint32_t key) const override;
    bool HasDualRange() const override { return false; }
};
