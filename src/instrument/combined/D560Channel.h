#pragma once

#include "instrument/multi/MultiLaser.h"

// What the D560's main and pilot lasers share: their own factory calibration steps (the family's
// steps do not fit this unit's output stage) and the bulk and peak voltage references.
class CD560Channel : public CMultiLaser::Channel
{
public:
    // Steps of the unit's factory calibration, in the order the calibration tool offers them.
    enum D560CalibrationStep : int
    {
        CalibrateD560LDX = 0,
        CalibrateD560LVX = 1,
        CalibrateD560ILIM = 2,
        CalibrateD560PS = 3,
        CalibrateD560VBulk = 4,
        CalibrateD560VPeak = 5
    };

    bool StartFactoryCalibration(int step) override;
    float QueryFactoryCalibration(int step) override;
    // The measured bulk and peak voltages [V], sent with the given digits.
    virtual bool SetVBulkReference(double volts, int digits);
    virtual bool SetVPeakReference(double volts, int digits);
};
