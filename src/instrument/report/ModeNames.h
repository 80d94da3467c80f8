#pragma once

#include <string>

// The modes' names as people read and type them ("T", "ITE", "ICW", "PULSE", ...), shared by what shows a
// channel's mode and what takes one typed.
namespace ModeNames
{
// "T", "R", "ITE" -> TecMode.
std::string Tec(int mode);
// The LaserMode names: "ICW", "IHBW", "PULSE", "TRIG", "BURST", "MDI", "MDP", "LDV".
std::string Laser(int mode);
// The laser modes as the panel labels them: "Io", "Io HiBW", "Pulse", "Ext Trig", "Burst", "Im", "Po",
// "Vf"; what logs and the monitor show, while the names above are what is typed.
std::string LaserShown(int mode);
// "?" for an unknown code, 0 for an unknown name; names match in any case.
int ParseTec(const std::string& text);
int ParseLaser(const std::string& text);
} // namespace ModeNames
