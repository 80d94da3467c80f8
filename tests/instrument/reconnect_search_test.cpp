// Where a reconnect looks for a unit that went away: its network address, or its own serial port when
// it comes back and the ports that appear or change their device, never the other ports present before.
#include "comm/PortResolver.h"
#include "diag/TempDir.h"
#include "instrument/session/ReconnectSearch.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
// The descriptors one round asks, none of them answering as the unit sought.
std::vector<std::string> Asked(CReconnectSearch& search, const std::string& answering = {})
{
    std::vector<std::string> asked;
    const bool found = search.Round(
        [&](const std::string& descriptor)
        {
            asked.push_back(descriptor);
            return descriptor == answering;
        });
    EXPECT_EQ(found, !answering.empty() && !asked.empty() && asked.back() == answering);
    return asked;
}

// Explicit port entries for the test's pseudo device files, gone again at its end.
class CTestPorts
{
public:
    ~CTestPorts()
    {
        for (int number : m_numbers)
            CPortResolver::Unregister(number);
    }
    void Add(int number, const std::string& path)
    {
        WriteFile(path, "");
        ASSERT_TRUE(CPortResolver::Register(number, path));
        m_numbers.push_back(number);
    }

private:
    std::vector<int> m_numbers;
};

TEST(ReconnectSearch, TheUnitSoughtHasItsModelAndSerialNumber)
{
    const CReconnectSearch search("TCP:127.0.0.1:5000", "K760", "12345");
    EXPECT_TRUE(search.IsSought("K760", "12345"));
    EXPECT_FALSE(search.IsSought("K760", "12346"));
    EXPECT_FALSE(search.IsSought("K910", "12345"));
}

TEST(ReconnectSearch, ANetworkUnitIsAskedForAtItsAddressEveryRound)
{
    CReconnectSearch search("TCP:127.0.0.1:5000", "K760", "1");
    EXPECT_EQ(Asked(search), std::vector<std::string>{"TCP:127.0.0.1:5000"});
    EXPECT_EQ(Asked(search), std::vector<std::string>{"TCP:127.0.0.1:5000"});
    EXPECT_EQ(Asked(search, "TCP:127.0.0.1:5000"), std::vector<std::string>{"TCP:127.0.0.1:5000"});
    EXPECT_EQ(search.Descriptor(), "TCP:127.0.0.1:5000");
}

TEST(ReconnectSearch, ASerialUnitIsSoughtOnItsPortAndOnPortsThatAppearOrChange)
{
    TempDir dir;
    CTestPorts ports;
    ports.Add(251, dir.File("own"));
    ports.Add(252, dir.File("other"));
    CReconnectSearch search("COM:251:38400", "K760", "1");

    // Unplugged: its port is gone, and the other one was another device all along.
    std::filesystem::remove(dir.File("own"));
    EXPECT_TRUE(Asked(search).empty());

    // A new port is asked, with the unit's baud rate; one that did not answer waits before it is asked again.
    ports.Add(253, dir.File("new"));
    EXPECT_EQ(Asked(search), std::vector<std::string>{"COM:253:38400"});
    EXPECT_TRUE(Asked(search).empty());

    // The other port now leads to another device: it may be the unit.
    ports.Add(252, dir.File("other-changed"));
    EXPECT_EQ(Asked(search), std::vector<std::string>{"COM:252:38400"});

    // Back on its own port: found there.
    WriteFile(dir.File("own"), "");
    EXPECT_EQ(Asked(search, "COM:251:38400"), std::vector<std::string>{"COM:251:38400"});
    EXPECT_EQ(search.Descriptor(), "COM:251:38400");
}

TEST(ReconnectSearch, AStopEndsTheRoundBeforeTheNextAttempt)
{
    CReconnectSearch search("TCP:127.0.0.1:5000", "K760", "1");
    int attempts = 0;
    EXPECT_FALSE(search.Round(
        [&](const std::string&)
        {
            ++attempts;
            return true;
        },
        [] { return true; }));
    EXPECT_EQ(attempts, 0);
}
} // namespace
