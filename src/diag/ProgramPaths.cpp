#include "diag/ProgramPaths.h"

#include "diag/FileUtil.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace
{
// Executables here rarely carry an extension, so only a dot inside the file name (not in a folder
// name, not a leading dot) starts one.
std::string BaseNameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

std::string HomeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/tmp";
}
} // namespace

CProgramPaths::CProgramPaths(const std::string& programPath, bool besideProgram,
                             const std::string& stateDirectory)
    : m_directory(besideProgram ? fileutil::DirectoryOf(programPath) : stateDirectory),
      m_baseName(BaseNameOf(programPath))
{
}

CProgramPaths CProgramPaths::ForProgram(const std::string& programPath)
{
    const bool writable = access(fileutil::DirectoryOf(programPath).c_str(), W_OK) == 0;
    return CProgramPaths(programPath, writable, writable ? std::string() : StateDirectory());
}

std::string CProgramPaths::CurrentProgramPath()
{
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer)
        return {};
    return std::string(buffer, static_cast<size_t>(length));
}

std::string CProgramPaths::UserDirectory(const char* xdgVariable, const char* homeFallback)
{
    if (const char* value = std::getenv(xdgVariable); value && value[0] == '/')
        return value;
    return HomeDirectory() + "/" + homeFallback;
}

std::string CProgramPaths::StateDirectory()
{
    return UserDirectory("XDG_STATE_HOME", ".local/state") + "/tamrix-control";
}

std::string CProgramPaths::FileWithExtension(const char* extension) const
{
    return m_directory + "/" + m_baseName + extension;
}
