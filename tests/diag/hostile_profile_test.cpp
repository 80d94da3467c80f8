// Settings files a hostile user (or an accident) can put in place of the store: none hangs the
// program, none makes it read without bound, none is changed; an ordinary store is read once for
// many keys and read again when another process replaces it.
#include "TempDir.h"
#include "diag/DiagSink.h"
#include "diag/IniFile.h"
#include "diag/IniProfile.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Read system calls this process has made so far.
long long ReadCalls()
{
    std::ifstream io("/proc/self/io");
    std::string name;
    long long value = 0;
    while (io >> name >> value)
        if (name == "syscr:")
            return value;
    return -1;
}

// A profile operation that must end promptly, run where a hang fails the test instead of blocking it.
std::string GetWithin(const std::string& path, std::chrono::seconds limit)
{
    auto result = std::async(std::launch::async,
                             [path] { return CIniProfile(path).GetString("Ports", "COM1", "none"); });
    if (result.wait_for(limit) != std::future_status::ready)
    {
        ADD_FAILURE() << "the profile read did not end: " << path;
        std::abort(); // a blocked reader cannot be joined
    }
    return result.get();
}

// The lock of another process that stopped while saving: a descriptor of this test's own that holds it.
class CHeldLock
{
public:
    explicit CHeldLock(const std::string& store)
        : m_fd(open((store + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644))
    {
        EXPECT_EQ(flock(m_fd, LOCK_EX | LOCK_NB), 0);
    }
    ~CHeldLock() { Release(); }
    CHeldLock(const CHeldLock&) = delete;
    CHeldLock& operator=(const CHeldLock&) = delete;
    void Release()
    {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

const char* const kStored = "[Ports]\nCOM1=/dev/ttyUSB0\n";
} // namespace

TEST(HostileProfile, AHeldLockFailsAWriteAfterABoundedWaitAndNamesTheFile)
{
    using namespace std::chrono;
    TempDir dir;
    const std::string path = dir.File("store.ini");
    WriteFile(path, kStored);
    std::vector<std::string> said;
    CDiagSink::SetSink([&said](const std::string& line) { said.push_back(line); });
    CHeldLock held(path);
    CIniProfile profile(path);
    profile.SetLockWait(milliseconds(300));

    const auto start = steady_clock::now();
    auto write = std::async(std::launch::async,
                            [&profile] { return profile.WriteString("Ports", "COM2", "/dev/ttyS0"); });
    if (write.wait_for(seconds(10)) != std::future_status::ready)
    {
        held.Release(); // lets the write end, so that the future can be joined
        CDiagSink::ResetSink();
        FAIL() << "the write waited for the lock without end";
    }
    EXPECT_FALSE(write.get());
    EXPECT_GE(steady_clock::now() - start, milliseconds(250));
    EXPECT_TRUE(profile.IsLocked());
    // Once the wait has run out, later writes of the same run fail at once rather than wait again.
    const auto again = steady_clock::now();
    EXPECT_FALSE(profile.WriteInt("Ports", "COM3", 3));
    EXPECT_LT(steady_clock::now() - again, milliseconds(250));
    EXPECT_EQ(ReadFile(path), kStored);
    CDiagSink::ResetSink();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said.front().find("\"" + path + ".lock\" is held by another process"), std::string::npos)
        << said.front();

    held.Release();
    EXPECT_TRUE(profile.WriteString("Ports", "COM2", "/dev/ttyS0"));
    EXPECT_FALSE(profile.IsLocked());
    EXPECT_EQ(CIniProfile(path).GetString("Ports", "COM2"), "/dev/ttyS0");
}

TEST(HostileProfile, ChangesKeptWhileLockedAreSeenAtOnceAndSavedWhenTheLockIsFree)
{
    using namespace std::chrono;
    TempDir dir;
    const std::string path = dir.File("store.ini");
    WriteFile(path, kStored);
    CDiagSink::SetSink([](const std::string&) {});
    CHeldLock held(path);
    CIniProfile profile(path);
    profile.SetLockWait(milliseconds(200));
    profile.KeepChangesWhileLocked(true);

    EXPECT_FALSE(profile.ProbeLock());
    EXPECT_TRUE(profile.WriteString("Ports", "COM2", "/dev/ttyS0"));
    EXPECT_TRUE(profile.DeleteKey("Ports", "COM1"));
    EXPECT_EQ(profile.GetString("Ports", "COM2"), "/dev/ttyS0");
    EXPECT_EQ(profile.GetString("Ports", "COM1", "none"), "none");
    EXPECT_EQ(ReadFile(path), kStored);
    EXPECT_TRUE(profile.HasPending());
    EXPECT_FALSE(profile.SavePending(milliseconds(0)));

    // Another process saves first: its change and the kept ones are all there afterwards.
    held.Release();
    ASSERT_TRUE(CIniProfile(path).WriteString("Ports", "COM3", "/dev/ttyS1"));
    EXPECT_EQ(profile.GetString("Ports", "COM2"), "/dev/ttyS0");
    EXPECT_EQ(profile.GetString("Ports", "COM3"), "/dev/ttyS1");
    EXPECT_TRUE(profile.SavePending(seconds(2)));
    EXPECT_FALSE(profile.HasPending());
    CDiagSink::ResetSink();
    const CIniProfile fresh(path);
    EXPECT_EQ(fresh.GetString("Ports", "COM1", "none"), "none");
    EXPECT_EQ(fresh.GetString("Ports", "COM2"), "/dev/ttyS0");
    EXPECT_EQ(fresh.GetString("Ports", "COM3"), "/dev/ttyS1");
}

TEST(HostileProfile, NonRegularAndOversizedFilesAreRefusedUnreadAndUnchanged)
{
    TempDir dir;
    std::vector<std::string> said;
    CDiagSink::SetSink([&said](const std::string& line) { said.push_back(line); });

    const std::string fifo = dir.File("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = dir.File("zero.ini");
    std::filesystem::create_symlink("/dev/zero", zero);
    const std::string large = dir.File("large.ini");
    {
        std::ofstream file(large);
        file << "[Ports]\nCOM1=/dev/ttyUSB0\n" << std::string(2 << 20, ';') << "\n";
    }
    const auto largeSize = std::filesystem::file_size(large);

    for (const std::string& path : {fifo, zero, large, dir.Path()})
    {
        EXPECT_EQ(GetWithin(path, std::chrono::seconds(5)), "none") << path;
        EXPECT_FALSE(CIniProfile(path).WriteString("Ports", "COM2", "/dev/ttyS0")) << path;
    }
    EXPECT_EQ(std::filesystem::file_size(large), largeSize);
    EXPECT_TRUE(std::filesystem::is_symlink(zero));
    CDiagSink::ResetSink();
    ASSERT_FALSE(said.empty());
    EXPECT_NE(said.front().find("is not a regular file; it is neither read nor changed"), std::string::npos)
        << said.front();
}

TEST(HostileProfile, ManyKeysReadTheStoreOnceUntilItIsReplaced)
{
    TempDir dir;
    const std::string path = dir.File("store.ini");
    CIniProfile profile(path);
    ASSERT_TRUE(profile.WriteString("Ports", "COM1", "/dev/ttyUSB0"));
    EXPECT_EQ(profile.GetString("Ports", "COM1"), "/dev/ttyUSB0");
    const long long before = ReadCalls();
    ASSERT_GE(before, 0);
    for (int key = 0; key < 512; ++key)
        profile.GetString("Ports", "COM" + std::to_string(key));
    EXPECT_LT(ReadCalls() - before, 16) << "one read per key";

    // Another process replaces the store: the next read sees its change.
    CIniProfile other(path);
    ASSERT_TRUE(other.WriteString("Ports", "COM1", "/dev/ttyACM0"));
    EXPECT_EQ(profile.GetString("Ports", "COM1"), "/dev/ttyACM0");
}

// Found by fuzzing: a quoted value ending in a carriage return lost it on the next rewrite.
TEST(HostileProfile, ARewriteKeepsWhatAQuotedValueHeld)
{
    const CIniFile once = CIniFile::Parse("[A]\nk=\" v\r\"\nj=\"\rw\"\n");
    const CIniFile again = CIniFile::Parse(once.Serialize());
    EXPECT_EQ(again.Get("A", "k"), " v\r");
    EXPECT_EQ(again.Get("A", "j"), "\rw");
}
