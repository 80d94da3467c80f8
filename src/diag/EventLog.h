#pragma once

#include "diag/CEventElement.h"
#include "diag/ProgramPaths.h"
#include "diag/SourcePos.h"
#include "diag/TimedLock.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

// Built-in category ids; registered in this order by the log's constructor.
inline constexpr uint32_t ccGeneral = 10000;
inline constexpr uint32_t ccException = 10001;
inline constexpr uint32_t ccDBException = 10002;
inline constexpr uint32_t ccComm = 10003;

// The process-wide diagnostic trace: filtered by category and level, written to the diagnostic sink
// and, when switched on, appended to a size-limited log file beside the program.
class CEventLog
{
public:
    static CEventLog& Instance();

    uint32_t RegisterCategory(const std::string& name);
    bool SetCategory(uint32_t id, uint32_t level, int32_t status);
    void SetCategoryStatus(uint32_t id, int32_t status);

    // printf-style; the format must be a literal of the program, never text from a user or instrument.
    bool Log(SourcePos pos, uint32_t category, uint32_t level, const char* format, ...)
        __attribute__((format(printf, 5, 6)));
    void LogGeneral(SourcePos pos, const char* format, ...) __attribute__((format(printf, 3, 4)));

    bool LoadSettings();
    bool WriteLine(const std::string& text);
    bool AppendToFile(const std::string& line);

    // Cheap filter check, so callers can skip building costly arguments.
    bool Passes(uint32_t category, uint32_t level) const;

    // The program file whose name gives the .trc/.log/.tmp names; /proc/self/exe by default.
    void SetProgramPath(const std::string& path);
    std::string GetProgramPath() const;
    // Where the .trc, .log and .tmp files of the current program path live.
    CProgramPaths GetPaths() const;

    // Back to the state after construction (tests).
    void ResetForTest();
    // The lock that serialises appends, so tests can hold it and see an append give up.
    CTimedLock& FileLockForTest() { return m_fileLock; }

    // Text as one log line: trailing line ends dropped, CR/LF spelt out, other control and non-ASCII
    // characters (UTF-8 decoded, invalid bytes taken as Latin-1) as "\xNN" of their low 8 bits.
    static std::string Sanitise(const std::string& text);

    bool GetTimestamp() const { return m_timestamp; }
    bool GetLogToDisk() const { return m_logToDisk; }
    uint32_t GetMaxFileSize() const { return m_maxFileSize; }
    int32_t GetGlobalStatus() const { return m_globalStatus; }
    uint32_t GetGlobalLevel() const { return m_globalLevel; }
    void SetLogToDisk(bool on) { m_logToDisk = on; }
    void SetMaxFileSize(uint32_t bytes) { m_maxFileSize = bytes; }

private:
    CEventLog();
    bool LogFormatted(uint32_t category, uint32_t level, const char* format, va_list args);
    std::string TimePrefix() const;
    void RegisterBuiltIns();
    bool AppendLocked(const std::string& line);
    int OpenLogFile(const CProgramPaths& paths);
    void Truncate(int& fd, const CProgramPaths& paths);

    // Paths are guarded by m_pathLock, categories by m_categoryLock; the switches are atomic so that
    // tests may change them while other threads log.
    mutable std::mutex m_pathLock;
    std::string m_programPath;
    mutable std::optional<CProgramPaths> m_paths; // resolved on first use
    std::atomic<uint64_t> m_startTickMs{0};
    std::atomic<bool> m_timestamp{false};
    std::atomic<bool> m_logToDisk{false};
    std::atomic<bool> m_debuggerOutput{true};
    std::atomic<bool> m_logOutputDebugStringToDisk{false}; // read from the settings, used by nothing
    std::atomic<uint32_t> m_maxFileSize{0x100000};
    std::atomic<int32_t> m_globalStatus{1};
    std::atomic<uint32_t> m_globalLevel{0};
    CTimedLock m_fileLock;
    mutable std::shared_mutex m_categoryLock;
    std::vector<CEventElement> m_categories;
};

// Logs with the caller's source position.
#define TAMRIX_LOG(category, level, ...)                                                                     \
    CEventLog::Instance().Log(SourcePos{__FILE__, __LINE__}, (category), (level), __VA_ARGS__)
