#pragma once

#include "instrument/models/M618Laser.h"

#include <optional>

// A laser channel of the M608 variant R4: an M618 channel with the factory's auxiliary calibration
// (reached only from factory tools).
class CM608_R4Laser : public CM618Laser
{
public:
    virtual bool SetAuxCalibration(int value);    // "LAS:CAL:AUX %d"
    virtual bool SetAuxMDICalibration(int value); // "LAS:CAL:AUXMDI %d"
    virtual bool SetAuxLDVCalibration(int value); // "LAS:CAL:AUXLDV %d"
    virtual std::optional<int> GetAuxCalibration();
    virtual std::optional<int> GetAuxMDICalibration();
    virtual std::optional<int> GetAuxLDVCalibration();
    // The calibration resistor [ohm], "LAS:CAL:R %f".
    virtual bool SetCalibrationResistor(double ohms);
};
