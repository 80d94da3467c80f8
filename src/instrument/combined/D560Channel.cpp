#include "instrument/combined/D560Channel.h"

#include "instrument/laser/LaserProtocol.h"

#include <array>

namespace
{
struct SD560Calibration
{
    const char* start;
    const char* query;
};

// By D560CalibrationStep.
constexpr std::array<SD560Calibration, 6> kD560Calibration{{{"LAS:CAL:LDX\r", "LAS:CAL:LDX?\r"},
                                                            {"LAS:CAL:LVX\r", "LAS:CAL:LVX?\r"},
                                                            {"LAS:CAL:ILIM\r", "LAS:CAL:ILIM?\r"},
                                                            {"LAS:CAL:PS\r", "LAS:CAL:PS?\r"},
                                                            {"LAS:CAL:VBULK 1\r", "LAS:CAL:VBULK?\r"},
                                                            {"LAS:CAL:VPEAK 1\r", "LAS:CAL:VPEAK?\r"}}};

bool IsD560Step(int step)
{
    return step >= 0 && step < static_cast<int>(kD560Calibration.size());
}
} // namespace

bool CD560Channel::StartFactoryCalibration(int step)
{
    return IsD560Step(step) && SendSet(kD560Calibration[static_cast<size_t>(step)].start);
}

float CD560Channel::QueryFactoryCalibration(int step)
{
    if (!IsD560Step(step))
        return NoValue;
    return QueryNumber(kD560Calibration[static_cast<size_t>(step)].query);
}

bool CD560Channel::SetVBulkReference(double volts, int digits)
{
    return SendSet("LAS:VBULK " + LaserProtocol::FormatFixed(volts, digits) + "\r");
}

bool CD560Channel::SetVPeakReference(double volts, int digits)
{
    return SendSet("LAS:VPEAK " + LaserProtocol::FormatFixed(volts, digits) + "\r");
}
