#include "instrument/models/M608_R4Laser.h"

#include "instrument/laser/LaserProtocol.h"

#include <string>

bool CM608_R4Laser::SetAuxCalibration(int value)
{
    return CommandFormat("LAS:CAL:AUX %d\n", value);
}

bool CM608_R4Laser::SetAuxMDICalibration(int value)
{
    return CommandFormat("LAS:CAL:AUXMDI %d\n", value);
}

bool CM608_R4Laser::SetAuxLDVCalibration(int value)
{
    return CommandFormat("LAS:CAL:AUXLDV %d\n", value);
}

std::optional<int> CM608_R4Laser::GetAuxCalibration()
{
    return QueryInteger("LAS:CAL:AUX?\n");
}

std::optional<int> CM608_R4Laser::GetAuxMDICalibration()
{
    return QueryInteger("LAS:CAL:AUXMDI?\n");
}

std::optional<int> CM608_R4Laser::GetAuxLDVCalibration()
{
    return QueryInteger("LAS:CAL:AUXLDV?\n");
}

bool CM608_R4Laser::SetCalibrationResistor(double ohms)
{
    // "%f" in the "C" locale: six digits after a point, whatever the user's locale.
    return Command("LAS:CAL:R " + LaserProtocol::FormatFixed(ohms, 6) + "\n", true);
}
