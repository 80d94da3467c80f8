#include "diag/EventLog.h"

#include "diag/DiagSink.h"
#include "diag/FileUtil.h"
#include "diag/IniFile.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
constexpr uint32_t kFirstId = 10000;
constexpr auto kFileLockWait = std::chrono::milliseconds(250);
constexpr size_t kCopyBlockSize = 102400;

uint64_t TickMs()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// One character of UTF-8 text; a byte that starts no valid sequence counts as a Latin-1 character.
uint32_t NextCodePoint(const std::string& text, size_t& pos)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    const size_t length = (lead & 0xE0) == 0xC0   ? 2
                          : (lead & 0xF0) == 0xE0 ? 3
                          : (lead & 0xF8) == 0xF0 ? 4
                                                  : 1;
    if (length > 1 && pos + length <= text.size())
    {
        static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        uint32_t codePoint = lead & (0x7F >> length);
        bool valid = true;
        for (size_t i = 1; i < length && valid; ++i)
        {
            valid = (byte(pos + i) & 0xC0) == 0x80;
            codePoint = codePoint << 6 | (byte(pos + i) & 0x3F);
        }
        if (valid && codePoint >= kSmallest[length] && codePoint <= 0x10FFFF &&
            (codePoint < 0xD800 || codePoint > 0xDFFF))
        {
            pos += length;
            return codePoint;
        }
    }
    ++pos;
    return lead;
}

bool IsLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

// The offset of the first line that starts after `from`, or the file's end when there is none.
off_t FirstLineAfter(int fd, off_t from)
{
    char buffer[4096];
    bool seenBreak = false;
    off_t offset = lseek(fd, from, SEEK_SET);
    for (ssize_t count; (count = read(fd, buffer, sizeof buffer)) > 0; offset += count)
    {
        for (ssize_t i = 0; i < count; ++i)
        {
            if (seenBreak && !IsLineBreak(buffer[i]))
                return offset + i;
            seenBreak = seenBreak || IsLineBreak(buffer[i]);
        }
    }
    return lseek(fd, 0, SEEK_END);
}

bool CopyRest(int from, int to)
{
    std::vector<char> buffer(kCopyBlockSize);
    for (;;)
    {
        const ssize_t count = read(from, buffer.data(), buffer.size());
        if (count == 0)
            return true;
        if (count < 0 || !fileutil::WriteAll(to, std::string_view(buffer.data(), static_cast<size_t>(count))))
            return false;
    }
}

int OpenForAppend(const std::string& path)
{
    return open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}
} // namespace

CEventLog& CEventLog::Instance()
{
    static CEventLog log;
    return log;
}

CEventLog::CEventLog() : m_programPath(CProgramPaths::CurrentProgramPath()), m_startTickMs(TickMs())
{
    RegisterBuiltIns();
}

void CEventLog::RegisterBuiltIns()
{
    for (const char* name : {"ccGeneral", "ccException", "ccDBException", "ccComm"})
        m_categories.push_back({0, 0, name});
}

uint32_t CEventLog::RegisterCategory(const std::string& name)
{
    std::unique_lock lock(m_categoryLock);
    for (size_t i = 0; i < m_categories.size(); ++i)
    {
        if (m_categories[i].name == name)
            return kFirstId + static_cast<uint32_t>(i);
    }
    m_categories.push_back({1, 0, name});
    return kFirstId + static_cast<uint32_t>(m_categories.size() - 1);
}

bool CEventLog::SetCategory(uint32_t id, uint32_t level, int32_t status)
{
    std::unique_lock lock(m_categoryLock);
    if (id < kFirstId || id - kFirstId >= m_categories.size())
        return false;
    m_categories[id - kFirstId].level = level;
    m_categories[id - kFirstId].status = status;
    return true;
}

void CEventLog::SetCategoryStatus(uint32_t id, int32_t status)
{
    std::unique_lock lock(m_categoryLock);
    if (id >= kFirstId && id - kFirstId < m_categories.size())
        m_categories[id - kFirstId].status = status;
}

bool CEventLog::Passes(uint32_t category, uint32_t level) const
{
    std::shared_lock lock(m_categoryLock);
    if (category < kFirstId || category - kFirstId >= m_categories.size())
        return false;
    const CEventElement& element = m_categories[category - kFirstId];
    if (element.status == 0)
        return m_globalStatus == 1 && m_globalLevel >= level;
    return element.status == 1 && element.level >= level;
}

bool CEventLog::Log(SourcePos, uint32_t category, uint32_t level, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    LogFormatted(category, level, format, args);
    va_end(args);
    return true;
}

void CEventLog::LogGeneral(SourcePos, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    LogFormatted(ccGeneral, 0, format, args);
    va_end(args);
}

bool CEventLog::LogFormatted(uint32_t category, uint32_t level, const char* format, va_list args)
{
    if (!Passes(category, level))
        return true;
    char small[512];
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (length < 0)
        return true;
    std::string text;
    if (static_cast<size_t>(length) < sizeof small)
        text.assign(small, static_cast<size_t>(length));
    else
    {
        text.resize(static_cast<size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    }
    WriteLine(text);
    return true;
}

std::string CEventLog::Sanitise(const std::string& text)
{
    size_t end = text.size();
    while (end > 0 && IsLineBreak(text[end - 1]))
        --end;
    const std::string body = text.substr(0, end);
    std::string result;
    for (size_t pos = 0; pos < body.size();)
    {
        const uint32_t c = NextCodePoint(body, pos);
        if (c == '\r')
            result += "<CR>";
        else if (c == '\n')
            result += "<LF>";
        else if (c < 0x20 || c > 0x7F)
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c & 0xFF);
            result += escaped;
        }
        else
            result += static_cast<char>(c);
    }
    return result;
}

std::string CEventLog::TimePrefix() const
{
    char prefix[128];
    if (m_timestamp)
    {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        if (std::strftime(prefix, sizeof prefix, "%x %X: ", &local) == 0)
            prefix[0] = '\0';
    }
    else
    {
        const auto elapsedMs = static_cast<uint32_t>(TickMs() - m_startTickMs);
        std::snprintf(prefix, sizeof prefix, "%9.3f: ", elapsedMs / 1000.0);
    }
    return prefix;
}

bool CEventLog::WriteLine(const std::string& text)
{
    if (!m_debuggerOutput && !m_logToDisk)
        return false;
    const std::string line = TimePrefix() + Sanitise(text) + "\r\n";
    if (m_debuggerOutput)
        CDiagSink::Write(line);
    if (m_logToDisk)
        AppendToFile(line);
    return true;
}

bool CEventLog::AppendToFile(const std::string& line)
{
    if (!m_logToDisk)
        return false;
    std::unique_lock<CTimedLock> lock(m_fileLock, kFileLockWait);
    if (!lock.owns_lock())
        return false;
    return AppendLocked(line);
}

bool CEventLog::AppendLocked(const std::string& line)
{
    const CProgramPaths paths = GetPaths();
    if (paths.BaseName().empty())
        return false;
    int fd = OpenLogFile(paths);
    if (fd < 0)
        return false;
    struct stat info;
    if (fstat(fd, &info) == 0 && static_cast<uint64_t>(info.st_size) > m_maxFileSize)
        Truncate(fd, paths);
    if (fd < 0)
        return false;
    lseek(fd, 0, SEEK_END);
    const bool written = fileutil::WriteAll(fd, line);
    close(fd);
    return written;
}

int CEventLog::OpenLogFile(const CProgramPaths& paths)
{
    const int fd = OpenForAppend(paths.LogFile());
    if (fd >= 0 || errno != ENOENT || !fileutil::MakeDirectories(paths.Directory()))
        return fd;
    return OpenForAppend(paths.LogFile());
}

// Keeps the newer half of the log, from the first line that starts after the half-way point.
void CEventLog::Truncate(int& fd, const CProgramPaths& paths)
{
    const std::string tempName = paths.TempFile();
    const int temp = open(tempName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (temp < 0)
        return;
    lseek(fd, FirstLineAfter(fd, static_cast<off_t>(m_maxFileSize / 2)), SEEK_SET);
    if (!CopyRest(fd, temp))
    {
        CDiagSink::Write("File trunction failed!");
        close(temp);
        unlink(tempName.c_str());
        return;
    }
    close(temp);
    close(fd);
    // rename replaces the log in one step, so a crash leaves either the old or the new file.
    if (rename(tempName.c_str(), paths.LogFile().c_str()) != 0)
        unlink(tempName.c_str());
    fd = OpenForAppend(paths.LogFile());
}

bool CEventLog::LoadSettings()
{
    const CProgramPaths paths = GetPaths();
    CIniFile ini;
    ini.Load(paths.SettingsFile());
    const std::string section = paths.BaseName() + ".exe";
    const auto value = [&](const std::string& key, size_t limit)
    { return ini.Get(section, key).substr(0, limit); };

    int timestamp, toDisk, maxSize, debugToDisk;
    if (std::sscanf(value("EventLogSettings", 127).c_str(),
                    "Timestamp:%d, LogToDisk:%d, MaxFileSize:%d, LogOutputDebugStringToDisk:%d", &timestamp,
                    &toDisk, &maxSize, &debugToDisk) == 4)
    {
        m_timestamp = timestamp != 0;
        m_logToDisk = toDisk != 0;
        m_maxFileSize = static_cast<uint32_t>(maxSize);
        m_logOutputDebugStringToDisk = debugToDisk != 0;
    }

    int count, level, status;
    if (std::sscanf(value("Settings", 255).c_str(), "CategoryCount:%d, Level:%d, Status:%d", &count, &level,
                    &status) < 3)
        return false;
    m_globalLevel = static_cast<uint32_t>(level) <= 5 ? static_cast<uint32_t>(level) : 5;
    m_globalStatus = status;

    for (int n = 1; n <= count; ++n)
    {
        char name[128];
        if (std::sscanf(value("Category" + std::to_string(n), 127).c_str(), "Level:%d, Status:%d, Name:%127s",
                        &level, &status, name) < 3)
            break;
        SetCategory(RegisterCategory(name), static_cast<uint32_t>(level), status);
    }
    return true;
}

void CEventLog::SetProgramPath(const std::string& path)
{
    std::lock_guard lock(m_pathLock);
    m_programPath = path;
    m_paths.reset();
}

std::string CEventLog::GetProgramPath() const
{
    std::lock_guard lock(m_pathLock);
    return m_programPath;
}

CProgramPaths CEventLog::GetPaths() const
{
    std::lock_guard lock(m_pathLock);
    if (!m_paths)
        m_paths = CProgramPaths::ForProgram(m_programPath);
    return *m_paths;
}

void CEventLog::ResetForTest()
{
    SetProgramPath(CProgramPaths::CurrentProgramPath());
    m_startTickMs = TickMs();
    m_timestamp = false;
    m_logToDisk = false;
    m_debuggerOutput = true;
    m_logOutputDebugStringToDisk = false;
    m_maxFileSize = 0x100000;
    m_globalStatus = 1;
    m_globalLevel = 0;
    std::unique_lock lock(m_categoryLock);
    m_categories.clear();
    RegisterBuiltIns();
}
