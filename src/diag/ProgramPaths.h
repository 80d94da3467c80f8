#pragma once

#include <string>

// Where the log's files live. Beside the program file when its folder is writable (the classic
// layout), otherwise in the per-user state folder, so an installed program can still log.
class CProgramPaths
{
public:
    CProgramPaths(const std::string& programPath, bool besideProgram, const std::string& stateDirectory);

    // Decides between the two places by whether the program's folder is writable.
    static CProgramPaths ForProgram(const std::string& programPath);
    // The running program's file (/proc/self/exe), empty when it cannot be read.
    static std::string CurrentProgramPath();
    // $<xdgVariable> when set to an absolute path, else $HOME/<homeFallback>.
    static std::string UserDirectory(const char* xdgVariable, const char* homeFallback);
    static std::string StateDirectory();

    // The program file's name without folder and extension.
    const std::string& BaseName() const { return m_baseName; }
    // The folder that holds the .trc, .log and .tmp files.
    const std::string& Directory() const { return m_directory; }
    std::string SettingsFile() const { return FileWithExtension(".trc"); }
    std::string LogFile() const { return FileWithExtension(".log"); }
    std::string TempFile() const { return FileWithExtension(".tmp"); }

private:
    std::string FileWithExtension(const char* extension) const;

    std::string m_directory;
    std::string m_baseName;
};
