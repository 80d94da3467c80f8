#pragma once

#include <filesystem>

// Whether a path names a terminal that can stand as a serial port, told from its device number without
// opening it (opening a serial port raises its control lines). Every front end that lets a user register a
// path as a port asks it.
namespace TerminalDevice
{
// Pseudo-terminal slaves (majors 136 to 143, no entry in sysfs) and every device of sysfs's "tty" class;
// the devices of major 5 are terminals but no ports. devRoot is where sysfs lists devices by number.
bool IsPort(const std::filesystem::path& path, const std::filesystem::path& devRoot = "/sys/dev/char");
} // namespace TerminalDevice
