#include "instrument/session/ErrorTable.h"

namespace
{
// Table order matters: the walk stops at the first match, and 999 ends it.
constexpr CErrorTable::SRow kRows[] = {
    {1, "Out of memory"},
    {2, "Floating point error"},
    {3, "Calibration memory is corrupt, contact factory"},
    {4, "User memory corrupt, unit reset to factory defaults"},
    {5, "User reset to factory defaults"},
    {6, "Error reading user settings, cannot set defaults, output disabled"},
    {7, "Error reading recovery settings, cannot set defaults, output disabled"},
    {8, "Unexpected error reading recovery settings, automatically fixed"},
    {9, "User limits corrupted, output disabled"},
    {10, "Access denied"},
    {12, "Error reading user settings, used recovery values"},
    {11, "Menu access denied"},
    {100, "General err"},
    {102, "Message was too long"},
    {104, "Bad data type"},
    {123, "Path not found (command error)"},
    {124, "Data mismatch (parameter invalid)"},
    {126, "Too few or too many elements"},
    {127, "Change not allowed at this point"},
    {201, "Parameter was out of range and not accepted"},
    {202, "Invalid type"},
    {204, "Parameter had a bad suffix"},
    {217, "Recall failed"},
    {218, "Save failed"},
    {220, "Script save failed"},
    {221, "Cannot embed script"},
    {222, "Cannot execute script"},
    {303, "Input ovrflow"},
    {401, "TEC: Interlock error shutdown the output"},
    {402, "TEC: Sensor open shutdown the output"},
    {403, "TEC: TEC open shutdown the output"},
    {404, "TEC: I limit shutdown the output"},
    {405, "TEC: V limit shutdown the output"},
    {406, "TEC: R limit shutdown the output"},
    {407, "TEC: T limit shutdown the output"},
    {409, "TEC: Sensor change shutdown the output"},
    {410, "TEC: Out of Tol shutdown the output"},
    {415, "TEC: Sensor short shutdown the output"},
    {416, "TEC: Calibration failure"},
    {419, "TEC: Not stable"},
    {433, "TEC: Not a TEC"},
    {434, "TEC: Ite limit exceeds cable rating"},
    {435, "TEC: Mode change shutdown the output"},
    {436, "TEC: AutoTune process failed"},
    {437, "TEC: AutoTune available in temperature mode only"},
    {438, "TEC: Thermal limit exceeded"},
    {450, "TEC: Analog set point disconnected while output was on"},
    {451, "TEC output unexpectedly off while acquiring Tj0"},
    {452, "Laser off, cannot change mode"},
    {453, "TEC in Vf Mode, Laser off"},
    {501, "Laser: Interlock error shutdown the output"},
    {504, "Laser: I limit error shutdown the output"},
    {505, "Laser: V limit error shutdown the output"},
    {506, "Laser: Im limit error shutdown the output"},
    {507, "Laser: P limit error shutdown the output"},
    {508, "Laser: TEC output off shutdown the output"},
    {509, "Laser: Short circuit error shutdown the output"},
    {510, "Laser: Out of tol error shutdown the output"},
    {511, "Laser: Control error error shutdown the output"},
    {512, "Laser: Power fail reported, may need to cycle power"},
    {514, "Laser: Mode change shutdown the output"},
    {521, "Laser: TEC temperature limit shutdown the output"},
    {534, "Laser: PD response zero, switching to Im mode"},
    {535, "Laser: Cal cancel"},
    {536, "Laser: Intermittent contact error shutdown the output"},
    {537, "Laser: Thermal limit error shutdown the output. Try lowering the Vf limit"},
    {538, "Laser: Sensor resistance limit"},
    {539, "Laser: Sensor temperature limit"},
    {680, "Lamp open circuit, output turned off"},
    {681, "Lamp short circuit, output turned off"},
    {682, "Lamp current limit, output turned off"},
    {683, "Lamp voltage limist, output turned off"},
    {684, "LPS calibration failure"},
    {685, "Not a LPS controller"},
    {686, "Cannot change modes while output on"},
    {687, "Heatsink over power, output turned off"},
    {688, "Lamp power exceeds capacity, output turned off"},
    {700, "Config saved"},
    {701, "Config loaded"},
    {703, "Laser usercal reset"},
    {704, "TEC usercal reset"},
    {800, "Warningm the remote voltage sense is low (is it connected?)"},
    {801, "Hold Output down for at least 1 second to turn output on"},
    {802, "Recovery settings corrupted"},
    {803, "User reset unit to factory defaults"},
    {804, "User reset unit to OEM defaults"},
    {805, "Recall/reset turned off outputs"},
    {806, "No function assigned to key"},
    {900, "Module offline"},
    {981, "Slave module 1 communication failure"},
    {982, "Slave module 2 communication failure"},
    {983, "Slave module 3 communication failure"},
    {984, "Slave module 4 communication failure"},
    {989, "Network interface error"},
    {991, "ADC init Failure"},
    {993, "Init Control error, cycle power"},
    {994, "Watchdog Control error, cycle power"},
    {995, "Analog Control error, cycle power"},
    {996, "Power Control error, cycle power"},
    {997, "ADC Control error, cycle power"},
    {998, "Not supported"},
    {0, "No error"},
    {999, "General err"},
};

constexpr int kEndOfTable = 999;
} // namespace

std::string CErrorTable::GetErrorText(int number)
{
    for (const SRow& row : kRows)
    {
        if (row.number == kEndOfTable)
        {
            break;
        }
        if (row.number == number)
        {
            return row.text;
        }
    }
    return "Unknown error";
}

std::span<const CErrorTable::SRow> CErrorTable::GetRows()
{
    return kRows;
}
