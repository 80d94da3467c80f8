#include "comm/TerminalDevice.h"

#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace TerminalDevice
{
bool IsPort(const std::filesystem::path& path, const std::filesystem::path& devRoot)
{
    struct stat status
    {
    };
    if (::stat(path.c_str(), &status) != 0 || !S_ISCHR(status.st_mode))
        return false;
    const unsigned int major = ::major(status.st_rdev);
    if (major == 5)
        return false;
    if (major >= 136 && major <= 143)
        return true;
    std::error_code error;
    const std::filesystem::path subsystem = std::filesystem::read_symlink(
        devRoot / (std::to_string(major) + ":" + std::to_string(::minor(status.st_rdev))) / "subsystem",
        error);
    return !error && subsystem.filename() == "tty";
}
} // namespace TerminalDevice
