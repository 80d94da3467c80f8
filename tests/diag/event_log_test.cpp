#include "diag/EventLog.h"

#include "TempDir.h"
#include "diag/DiagSink.h"
#include "diag/ProgramPaths.h"

#include <chrono>
#include <filesystem>
#include <future>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using ::testing::ElementsAre;
using ::testing::MatchesRegex;

namespace
{
class EventLogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        log.ResetForTest();
        log.SetProgramPath(dir.File("prog"));
        CDiagSink::SetSink([this](const std::string& line) { lines.push_back(line); });
    }
    void TearDown() override
    {
        CDiagSink::ResetSink();
        log.ResetForTest();
    }

    void WriteSettings(const std::string& keys) { WriteFile(dir.File("prog.trc"), "[prog.exe]\n" + keys); }
    void LogToDisk(uint32_t maxFileSize)
    {
        WriteSettings(
            "EventLogSettings=Timestamp:0, LogToDisk:1, MaxFileSize:" + std::to_string(maxFileSize) +
            ", LogOutputDebugStringToDisk:0\nSettings=CategoryCount:0, Level:0, Status:1\n");
        ASSERT_TRUE(log.LoadSettings());
    }
    std::string LogFile() const { return dir.File("prog.log"); }

    CEventLog& log = CEventLog::Instance();
    TempDir dir;
    std::vector<std::string> lines; // filled by the sink, which calls in one at a time
};

TEST_F(EventLogTest, DefaultsPassOnlyLevelZeroAndWriteNoFile)
{
    EXPECT_FALSE(log.LoadSettings());
    EXPECT_TRUE(TAMRIX_LOG(ccGeneral, 0, "Event Log Started"));
    EXPECT_TRUE(TAMRIX_LOG(ccGeneral, 1, "hidden"));
    EXPECT_TRUE(TAMRIX_LOG(ccComm, 1, "hidden"));

    ASSERT_THAT(lines, ElementsAre(MatchesRegex("^ +[0-9]+[.][0-9]{3}: Event Log Started\r\n$")));
    EXPECT_EQ(lines[0].find(':'), 9u);
    EXPECT_FALSE(std::filesystem::exists(LogFile()));
}

TEST_F(EventLogTest, FilterFollowsCategoryAndGlobalThresholds)
{
    struct Row
    {
        int globalStatus;
        int globalLevel;
        int32_t categoryStatus;
        uint32_t categoryLevel;
        uint32_t level;
        bool passes;
    };
    const Row rows[] = {
        {1, 2, 0, 0, 2, true},  {1, 2, 0, 9, 3, false},  // status 0 follows the global level
        {0, 5, 0, 5, 0, false},                          // ... and the global status
        {0, 0, 1, 1, 1, true},  {1, 5, 1, 1, 2, false},  // status 1 uses its own level only
        {1, 5, 2, 9, 0, false}, {1, 5, -1, 9, 0, false}, // any other status is silent
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(::testing::Message()
                     << "global " << row.globalStatus << "/" << row.globalLevel << " category "
                     << row.categoryStatus << "/" << row.categoryLevel << " level " << row.level);
        WriteSettings("Settings=CategoryCount:0, Level:" + std::to_string(row.globalLevel) +
                      ", Status:" + std::to_string(row.globalStatus) + "\n");
        ASSERT_TRUE(log.LoadSettings());
        ASSERT_TRUE(log.SetCategory(ccComm, row.categoryLevel, row.categoryStatus));
        lines.clear();
        EXPECT_EQ(log.Passes(ccComm, row.level), row.passes);
        TAMRIX_LOG(ccComm, row.level, "message");
        EXPECT_EQ(lines.size(), row.passes ? 1u : 0u);
    }
}

TEST_F(EventLogTest, CategoryIdsOutOfRangeAreIgnored)
{
    EXPECT_FALSE(log.SetCategory(ccComm + 1, 5, 1));
    EXPECT_FALSE(log.SetCategory(9999, 5, 1));
    log.SetCategoryStatus(ccComm + 1, 1);
    EXPECT_TRUE(TAMRIX_LOG(ccComm + 1, 0, "nothing"));
    EXPECT_TRUE(lines.empty());

    log.SetCategoryStatus(ccComm, 1); // keeps level 0
    TAMRIX_LOG(ccComm, 0, "shown");
    TAMRIX_LOG(ccComm, 1, "hidden");
    EXPECT_EQ(lines.size(), 1u);
}

TEST_F(EventLogTest, RegisterCategoryAppendsOnceByExactName)
{
    EXPECT_EQ(log.RegisterCategory("ccComm"), ccComm);
    const uint32_t id = log.RegisterCategory("ccPanel");
    EXPECT_EQ(id, ccComm + 1);
    EXPECT_EQ(log.RegisterCategory("ccpanel"), ccComm + 2);
    EXPECT_EQ(log.RegisterCategory("ccPanel"), id);
    // A new category starts with its own level 0.
    EXPECT_TRUE(log.Passes(id, 0));
    EXPECT_FALSE(log.Passes(id, 1));
}

TEST_F(EventLogTest, FormatsArgumentsOfAnyLength)
{
    const std::string longText(2000, 'a');
    TAMRIX_LOG(ccGeneral, 0, "%s=%d %s", "x", 42, longText.c_str());
    log.LogGeneral(SourcePos{__FILE__, __LINE__}, "general %u", 7u);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(11), "x=42 " + longText + "\r\n");
    EXPECT_EQ(lines[1].substr(11), "general 7\r\n");
}

struct SanitiseRow
{
    const char* input;
    const char* expected;
};

class SanitiseTest : public ::testing::TestWithParam<SanitiseRow>
{
};

TEST_P(SanitiseTest, EscapesLineBreaksControlAndNonAsciiCharacters)
{
    EXPECT_EQ(CEventLog::Sanitise(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SanitiseTest,
    ::testing::Values(SanitiseRow{"text\r\n\r\n", "text"}, SanitiseRow{"a\rb\nc\n", "a<CR>b<LF>c"},
                      SanitiseRow{"\r\nx", "<CR><LF>x"}, SanitiseRow{"a\tb\x01", "a\\x09b\\x01"},
                      SanitiseRow{" ~\x7F", " ~\x7F"}, SanitiseRow{"caf\xC3\xA9", "caf\\xE9"},
                      SanitiseRow{"\xE2\x82\xAC 5", "\\xAC 5"}, SanitiseRow{"\xF0\x9F\x98\x80", "\\x00"},
                      // Bytes that start no valid UTF-8 sequence count as Latin-1 characters.
                      SanitiseRow{"caf\xE9", "caf\\xE9"}, SanitiseRow{"\xE2\x82", "\\xE2\\x82"},
                      SanitiseRow{"\xC0\xAF", "\\xC0\\xAF"}, SanitiseRow{"\xED\xA0\x80", "\\xED\\xA0\\x80"}));

TEST_F(EventLogTest, SettingsClampGlobalLevel)
{
    const std::pair<const char*, uint32_t> rows[] = {{"9", 5u}, {"-1", 5u}, {"5", 5u}, {"3", 3u}};
    for (const auto& [level, expected] : rows)
    {
        WriteSettings(std::string("Settings=CategoryCount:0, Level:") + level + ", Status:0\n");
        ASSERT_TRUE(log.LoadSettings());
        EXPECT_EQ(log.GetGlobalLevel(), expected) << level;
        EXPECT_EQ(log.GetGlobalStatus(), 0);
    }
}

TEST_F(EventLogTest, SettingsSwitchesNeedAllFourNumbers)
{
    WriteSettings("EventLogSettings=Timestamp:1, LogToDisk:1, MaxFileSize:5000\n");
    EXPECT_FALSE(log.LoadSettings());
    EXPECT_FALSE(log.GetTimestamp());
    EXPECT_FALSE(log.GetLogToDisk());
    EXPECT_EQ(log.GetMaxFileSize(), 0x100000u);

    WriteSettings(
        "eventlogsettings = Timestamp:1, LogToDisk:1, MaxFileSize:5000, LogOutputDebugStringToDisk:1\n"
        "Settings=CategoryCount:0, Level:1\n");
    EXPECT_FALSE(log.LoadSettings()); // "Settings" lacks Status
    EXPECT_TRUE(log.GetTimestamp());
    EXPECT_TRUE(log.GetLogToDisk());
    EXPECT_EQ(log.GetMaxFileSize(), 5000u);
    EXPECT_EQ(log.GetGlobalLevel(), 0u);
}

TEST_F(EventLogTest, SettingsCategoriesRegisterUnknownNamesAndStopAtBadEntry)
{
    WriteSettings("Settings=CategoryCount:4, Level:0, Status:1\n"
                  "Category1=Level:2, Status:1, Name:ccComm\n"
                  "Category2=Level:1, Status:1, Name:ccPanel\n"
                  "Category3=Level:3, Status:1\n"
                  "Category4=Level:3, Status:1, Name:ccNever\n");
    ASSERT_TRUE(log.LoadSettings());
    EXPECT_TRUE(log.Passes(ccComm, 2));
    EXPECT_FALSE(log.Passes(ccComm, 3));
    EXPECT_EQ(log.RegisterCategory("ccPanel"), ccComm + 1);
    EXPECT_TRUE(log.Passes(ccComm + 1, 1));
    EXPECT_EQ(log.RegisterCategory("ccNever"), ccComm + 2); // was never read
}

TEST_F(EventLogTest, TimestampSettingUsesDateAndTime)
{
    WriteSettings(
        "EventLogSettings=Timestamp:1, LogToDisk:0, MaxFileSize:1000, LogOutputDebugStringToDisk:0\n");
    log.LoadSettings();
    TAMRIX_LOG(ccGeneral, 0, "stamped");
    EXPECT_THAT(lines, ElementsAre(MatchesRegex("^[0-9/]+ [0-9:]+: stamped\r\n$")));
}

TEST_F(EventLogTest, LinesAreAppendedToTheLogFile)
{
    LogToDisk(0x100000);
    TAMRIX_LOG(ccGeneral, 0, "first\n");
    TAMRIX_LOG(ccGeneral, 0, "second");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(ReadFile(LogFile()), lines[0] + lines[1]);
    EXPECT_THAT(lines[0], MatchesRegex("^ +[0-9.]+: first\r\n$"));
}

TEST_F(EventLogTest, AppendFailsWhenDiskLoggingIsOffOrNoProgramPath)
{
    EXPECT_FALSE(log.AppendToFile("line\r\n"));
    log.SetLogToDisk(true);
    log.SetProgramPath("");
    EXPECT_FALSE(log.AppendToFile("line\r\n"));
}

// Lines of 100 bytes each.
std::string HundredByteLines(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
    {
        char number[8];
        std::snprintf(number, sizeof number, "line%02d", i % 100);
        text += number + std::string(92, '.') + "\r\n";
    }
    return text;
}

TEST_F(EventLogTest, OversizedFileKeepsLinesStartingAfterHalfTheLimit)
{
    const std::string old = HundredByteLines(15);
    ASSERT_EQ(old.size(), 1500u);
    WriteFile(LogFile(), old);
    log.SetLogToDisk(true);
    log.SetMaxFileSize(1000);

    EXPECT_TRUE(log.AppendToFile("new\r\n"));
    // Line 5 starts exactly at byte 500 and is dropped with the older half.
    EXPECT_EQ(ReadFile(LogFile()), old.substr(600) + "new\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("prog.tmp")));
}

TEST_F(EventLogTest, TruncationWithoutLaterLineLeavesOnlyTheNewLine)
{
    for (const std::string& old : {std::string(1500, 'x'), std::string(1496, 'x') + "\r\n\r\n"})
    {
        WriteFile(LogFile(), old);
        log.SetLogToDisk(true);
        log.SetMaxFileSize(1000);
        EXPECT_TRUE(log.AppendToFile("new\r\n"));
        EXPECT_EQ(ReadFile(LogFile()), "new\r\n");
    }
}

TEST_F(EventLogTest, UncreatableTempFileSkipsTruncation)
{
    const std::string old = HundredByteLines(15);
    WriteFile(LogFile(), old);
    std::filesystem::create_directory(dir.File("prog.tmp"));
    log.SetLogToDisk(true);
    log.SetMaxFileSize(1000);
    EXPECT_TRUE(log.AppendToFile("new\r\n"));
    EXPECT_EQ(ReadFile(LogFile()), old + "new\r\n");
}

TEST_F(EventLogTest, AppendGivesUpWhileTheFileLockIsHeld)
{
    log.SetLogToDisk(true);
    {
        std::lock_guard hold(log.FileLockForTest());
        auto append = std::async(std::launch::async, [this] { return log.AppendToFile("late\r\n"); });
        EXPECT_FALSE(append.get());
    }
    EXPECT_FALSE(std::filesystem::exists(LogFile()));
    EXPECT_TRUE(log.AppendToFile("now\r\n"));
    EXPECT_EQ(ReadFile(LogFile()), "now\r\n");
}

TEST_F(EventLogTest, ConcurrentLinesStayWholeAndComplete)
{
    LogToDisk(0x100000);
    constexpr int kThreads = 4;
    constexpr int kLines = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(
            [t]
            {
                for (int i = 0; i < kLines; ++i)
                    TAMRIX_LOG(ccGeneral, 0, "thread %d line %d", t, i);
            });
    for (std::thread& thread : threads)
        thread.join();

    std::istringstream file(ReadFile(LogFile()));
    int count = 0;
    for (std::string line; std::getline(file, line); ++count)
        EXPECT_THAT(line, MatchesRegex("^ +[0-9.]+: thread [0-3] line [0-9]+\r$"));
    EXPECT_EQ(count, kThreads * kLines);
    EXPECT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
}

TEST(ProgramPathsTest, NamesComeFromTheProgramFileName)
{
    const CProgramPaths beside("/opt/app.d/prog", true, "/state");
    EXPECT_EQ(beside.BaseName(), "prog");
    EXPECT_EQ(beside.LogFile(), "/opt/app.d/prog.log");
    EXPECT_EQ(CProgramPaths("/opt/bin/prog.exe", true, "").TempFile(), "/opt/bin/prog.tmp");
    EXPECT_EQ(CProgramPaths("/opt/bin/prog.exe", false, "/state/tc").SettingsFile(), "/state/tc/prog.trc");
}

TEST(ProgramPathsTest, UserDirectoriesFollowXdgVariables)
{
    setenv("HOME", "/home/someone", 1);
    setenv("XDG_STATE_HOME", "/xdg/state", 1);
    EXPECT_EQ(CProgramPaths::StateDirectory(), "/xdg/state/tamrix-control");
    setenv("XDG_STATE_HOME", "relative/state", 1); // not absolute: ignored
    EXPECT_EQ(CProgramPaths::StateDirectory(), "/home/someone/.local/state/tamrix-control");
    EXPECT_EQ(CProgramPaths::CurrentProgramPath(), std::filesystem::canonical("/proc/self/exe").string());
}
} // namespace
