#include "TempDir.h"
#include "diag/IniProfile.h"
#include "diag/MemoryProfile.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{
struct Store
{
    const char* name;
    std::function<std::unique_ptr<CProfile>(const TempDir&)> make;
    friend void PrintTo(const Store& store, std::ostream* os) { *os << store.name; }
};

// Both stores keep the same contract.
class ProfileContractTest : public ::testing::TestWithParam<Store>
{
protected:
    TempDir dir;
    std::unique_ptr<CProfile> profile = GetParam().make(dir);
};

TEST_P(ProfileContractTest, ValuesRoundTrip)
{
    EXPECT_EQ(profile->GetString("Settings", "Panels", "default"), "default");
    EXPECT_EQ(profile->GetInt("Settings", "Count", -7), -7);

    EXPECT_TRUE(profile->WriteString("Settings", "Panels", "3,2, 1"));
    EXPECT_TRUE(profile->WriteString("Settings", "Padded", " x "));
    EXPECT_TRUE(profile->WriteInt("Settings", "Count", -42));
    EXPECT_TRUE(profile->WriteString("Settings", "Text", "12abc"));
    EXPECT_TRUE(profile->WriteString("Panel1-3", "Port", "COM:4:0"));

    EXPECT_EQ(profile->GetString("Settings", "Panels"), "3,2, 1");
    EXPECT_EQ(profile->GetString("settings", "padded"), " x ");
    EXPECT_EQ(profile->GetInt("Settings", "Count"), -42);
    EXPECT_EQ(profile->GetInt("Settings", "Text", 5), 5);
    EXPECT_EQ(profile->GetInt("Settings", "Panels", 5), 5);

    EXPECT_TRUE(profile->DeleteSection("Settings"));
    EXPECT_TRUE(profile->DeleteSection("Settings"));
    EXPECT_EQ(profile->GetString("Settings", "Panels"), "");
    EXPECT_EQ(profile->GetString("Panel1-3", "Port"), "COM:4:0");

    // One key goes, its neighbours stay; a missing key or section is no failure.
    EXPECT_TRUE(profile->WriteString("IPAddresses", "IPPort1", "10001"));
    EXPECT_TRUE(profile->DeleteKey("ipaddresses", "Port"));
    EXPECT_TRUE(profile->DeleteKey("Panel1-3", "port"));
    EXPECT_TRUE(profile->DeleteKey("Nowhere", "Port"));
    EXPECT_EQ(profile->GetString("Panel1-3", "Port", "gone"), "gone");
    EXPECT_EQ(profile->GetInt("IPAddresses", "IPPort1"), 10001);
}

TEST_P(ProfileContractTest, RefusesWhatALineBasedStoreCannotCarry)
{
    EXPECT_FALSE(profile->WriteString("Settings", "Command", "a\nb"));
    EXPECT_FALSE(profile->WriteString("Settings", "a=b", "x"));
    EXPECT_FALSE(profile->WriteString("Set]tings", "key", "x"));
    EXPECT_FALSE(profile->WriteString("Settings", ";key", "x"));
    EXPECT_FALSE(profile->WriteString("", "key", "x"));
    EXPECT_EQ(profile->GetString("Settings", "Command", "none"), "none");
}

INSTANTIATE_TEST_SUITE_P(
    Stores, ProfileContractTest,
    ::testing::Values(Store{"Memory", [](const TempDir&) { return std::make_unique<CMemoryProfile>(); }},
                      Store{"IniFile", [](const TempDir& dir)
                            { return std::make_unique<CIniProfile>(dir.File("sub/Tamrix Control.ini")); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniProfileTest, WritesKeepHandWrittenContentAndAreSeenByOtherInstances)
{
    TempDir dir;
    const std::string path = dir.File("store.ini");
    WriteFile(path, "; keep me\n[Ports]\n/dev/ttyUSB0=3\n[Settings]\nPanels=1\n");
    CIniProfile writer(path);
    ASSERT_TRUE(writer.WriteInt("Settings", "Left", 10));
    EXPECT_EQ(CIniProfile(path).GetInt("Settings", "Left"), 10);
    EXPECT_EQ(ReadFile(path), "; keep me\n[Ports]\n/dev/ttyUSB0=3\n[Settings]\nPanels=1\nLeft=10\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(IniProfileTest, UnreadableStoreIsNotOverwritten)
{
    TempDir dir;
    std::filesystem::create_directory(dir.File("store.ini"));
    CIniProfile profile(dir.File("store.ini"));
    EXPECT_FALSE(profile.WriteString("Settings", "Key", "value"));
    EXPECT_EQ(profile.GetString("Settings", "Key", "default"), "default");
}

void WriteKeys(const std::string& path, const std::string& prefix, int count)
{
    CIniProfile profile(path);
    for (int i = 0; i < count; ++i)
        profile.WriteInt("Shared", prefix + std::to_string(i), i);
}

void ExpectAllKeys(const std::string& path, const std::vector<std::string>& prefixes, int count)
{
    const CIniProfile profile(path);
    for (const std::string& prefix : prefixes)
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(profile.GetInt("Shared", prefix + std::to_string(i), -1), i) << prefix << i;
}

TEST(IniProfileTest, ConcurrentWritersFromThreadsLoseNothing)
{
    TempDir dir;
    const std::string path = dir.File("store.ini");
    std::thread a(WriteKeys, path, "a", 60);
    std::thread b(WriteKeys, path, "b", 60);
    a.join();
    b.join();
    ExpectAllKeys(path, {"a", "b"}, 60);
}

TEST(IniProfileTest, ConcurrentWritersFromProcessesLoseNothing)
{
    TempDir dir;
    const std::string path = dir.File("store.ini");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        WriteKeys(path, "child", 60);
        _exit(0);
    }
    WriteKeys(path, "parent", 60);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ExpectAllKeys(path, {"child", "parent"}, 60);
}
} // namespace
