// tamrix-bridge when the broker, the network or its own files misbehave, and how much it puts on the
// broker: the executable against a real mosquitto (or a listener or relay standing in for one).
#include "BridgeAgainstBroker.h"
#include "BridgeOptions.h"
#include "SlowLink.h"
#include "TcpDropper.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <gmock/gmock.h>
#include <sys/stat.h>

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;

// The sanitizers reserve terabytes of address space up front: a child built with one cannot start under
// an address-space bound.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool Sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif
#else
constexpr bool Sanitized = false;
#endif

namespace
{
using namespace bridge_test;

size_t CountLines(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

TEST_F(BridgeAgainstBroker, ABrokerThatDropsEveryConnectionIsRetriedWithADoublingWaitOneLineEach)
{
    auto k760 = TcpSim("K760");
    CTcpDropper dropper;
    ASSERT_GT(dropper.Port(), 0);
    StartBridge({"--port", std::to_string(dropper.Port()), Descriptor(*k760)});
    ASSERT_TRUE(Eventually([&] { return dropper.Accepted() >= 1; }, kWaitMs)) << BridgeLog();
    // Waits of 1, 2 and 4 s: at most four attempts in the next 3.5 s (a storm makes thousands).
    EXPECT_FALSE(Eventually([&] { return dropper.Accepted() > 4; }, 3500)) << dropper.Accepted();
    EXPECT_TRUE(m_bridge.IsRunning());
    const std::string log = BridgeLog();
    EXPECT_THAT(log, HasSubstr("trying again in 2 s"));
    EXPECT_LE(CountLines(log, "broker"), static_cast<size_t>(dropper.Accepted()) + 1) << log;
}

TEST_F(BridgeAgainstBroker, ABrokerThatRefusesTheCredentialsIsAskedLessAndLessOften)
{
    m_broker.Stop();
    m_broker.RefuseEveryone();
    ASSERT_TRUE(m_broker.Start());
    auto k760 = TcpSim("K760");
    WriteFile(m_dir.File("secret"), "username=lab\n");
    ASSERT_EQ(chmod(m_dir.File("secret").c_str(), 0600), 0);
    StartBridge({"--credentials", m_dir.File("secret"), Descriptor(*k760)});
    const std::string refused = "refused the connection";
    ASSERT_TRUE(Eventually([&] { return BridgeLog().find(refused) != std::string::npos; }, kWaitMs))
        << BridgeLog();
    // Waits of 1, 2 and 4 s: at most four refusals in the next 3.5 s, each said once.
    EXPECT_FALSE(Eventually([&] { return CountLines(BridgeLog(), refused) > 4; }, 3500));
    const std::string log = BridgeLog();
    EXPECT_THAT(log, HasSubstr("not authorised; trying again in 2 s"));
    EXPECT_EQ(CountLines(log, "broker"), CountLines(log, refused)) << log;
}

TEST_F(BridgeAgainstBroker, ABrokerThatCannotBeResolvedOrReachedIsSaidSo)
{
    auto k760 = TcpSim("K760");
    StartBridge({"--host", "no-such-host.invalid", Descriptor(*k760)});
    EXPECT_TRUE(Eventually(
        [&] { return BridgeLog().find("cannot reach the broker no-such-host.invalid") != std::string::npos; },
        kWaitMs))
        << BridgeLog();

    // A simulated unit serves one client: the second bridge has one of its own.
    auto other = TcpSim("K760");
    CChildProcess refused;
    int closedPort = 0;
    {
        CTcpDropper gone;
        closedPort = gone.Port();
    }
    ASSERT_TRUE(refused.Start(
        {TAMRIX_BRIDGE_EXE, "--host", "127.0.0.1", "--port", std::to_string(closedPort), Descriptor(*other)},
        {"XDG_CONFIG_HOME=" + m_dir.Path()}, m_dir.File("refused.log")));
    EXPECT_TRUE(Eventually(
        [&]
        {
            const std::string log = ReadFile(m_dir.File("refused.log"));
            return log.find("cannot reach the broker 127.0.0.1:" + std::to_string(closedPort)) !=
                       std::string::npos &&
                   log.find("trying again in") != std::string::npos;
        },
        kWaitMs))
        << ReadFile(m_dir.File("refused.log"));
}

TEST_F(BridgeAgainstBroker, RetainedSetRequestsAreIgnoredAndAnEmptyOneIsNoError)
{
    auto k760 = TcpSim("K760");
    const std::string setTopic = kK760 + "tec/t-set/set";
    ASSERT_TRUE(m_watcher->Publish(setTopic, "44", true));
    ASSERT_TRUE(m_watcher->WaitFor(setTopic, "44", kWaitMs));
    StartBridge({"--allow-set", Descriptor(*k760)});
    ASSERT_TRUE(WaitReady(kK760)) << BridgeLog();
    // Two publications of the set point after the bridge heard the retained request: still the unit's.
    ASSERT_TRUE(m_watcher->WaitFor(kK760 + "tec/t-set", "25.000", kWaitMs, m_watcher->Count()));
    ASSERT_TRUE(m_watcher->WaitFor(kK760 + "tec/t-set", "25.000", kWaitMs, m_watcher->Count()));
    EXPECT_EQ(k760->Log().WaitForText("TEC:T 44", 0ms), -1);
    EXPECT_EQ(CountLines(BridgeLog(), "ignored a retained set request"), 1u) << BridgeLog();

    // Clearing the retained request reaches the bridge as an empty payload: no error, nothing sent.
    const size_t beforeClear = m_watcher->Count();
    ASSERT_TRUE(m_watcher->Publish(setTopic, "", true));
    ASSERT_TRUE(m_watcher->WaitFor(kK760 + "tec/t-set", "25.000", kWaitMs, m_watcher->Count()));
    ASSERT_TRUE(m_watcher->WaitFor(kK760 + "tec/t-set", "25.000", kWaitMs, m_watcher->Count()));
    const auto messages = m_watcher->Messages();
    for (size_t index = beforeClear; index < messages.size(); ++index)
        EXPECT_NE(messages[index].topic, kK760 + "instrument/error") << messages[index].payload;
    EXPECT_THAT(BridgeLog(), Not(HasSubstr("refused")));

    // A live request is still carried out.
    ASSERT_TRUE(m_watcher->Publish(setTopic, "31"));
    EXPECT_TRUE(m_watcher->WaitFor(kK760 + "tec/t-set", "31.000", kWaitMs)) << BridgeLog();
}

TEST_F(BridgeAgainstBroker, TheSetPointIsDescribedWithTheUnitsOwnLimitsAndFollowsThem)
{
    auto k760 = TcpSim("K760");
    ASSERT_EQ(Number(k760->Request("TEC:LIM:TLO?")), -10.0);
    ASSERT_EQ(Number(k760->Request("TEC:LIM:THI?")), 80.0);
    StartBridge({"--allow-set", Descriptor(*k760)});
    ASSERT_TRUE(WaitReady(kK760)) << BridgeLog();
    const auto doc = Description(kK760);
    ASSERT_TRUE(doc);
    EXPECT_EQ((*doc)["nodes"]["tec"]["properties"]["t-set"]["format"].text, "-10.0:80.0");

    EXPECT_EQ(k760->Request("TEC:LIM:THI 70"), "");
    const auto changed = m_watcher->WaitFor(
        kK760 + "$description",
        [](const std::string& text)
        {
            const auto parsed = SJsonValue::Parse(text);
            return parsed && (*parsed)["nodes"]["tec"]["properties"]["t-set"]["format"].text == "-10.0:70.0";
        },
        kWaitMs);
    EXPECT_TRUE(changed) << BridgeLog();
    // The new limits hold at once: a set point past them is refused by the check, not sent.
    const size_t before = m_watcher->Count();
    ASSERT_TRUE(m_watcher->Publish(kK760 + "tec/t-set/set", "75"));
    const auto error = m_watcher->WaitFor(
        kK760 + "instrument/error", [](const std::string&) { return true; }, kWaitMs, before);
    ASSERT_TRUE(error);
    EXPECT_THAT(*error, HasSubstr("tec/t-set refused"));
    EXPECT_EQ(k760->Log().WaitForText("TEC:T 75", 0ms), -1);
}

TEST_F(BridgeAgainstBroker, AValueThatChangesEveryPollIsPublishedNoMoreOftenThanAsked)
{
    auto k760 = TcpSim("K760");
    k760->Engine().SetTimeScale(50.0);
    StartBridge({"--period", "5", "--max-rate", "1", Descriptor(*k760)});
    ASSERT_TRUE(WaitReady(kK760)) << BridgeLog();
    EXPECT_EQ(k760->Request("TEC:T 70"), "");
    EXPECT_EQ(k760->Request("TEC:OUT 1"), "");
    ASSERT_TRUE(m_watcher->WaitFor(kK760 + "tec/t", Above(30.0), kWaitMs)) << BridgeLog();
    const size_t before = m_watcher->Count();
    auto published = [&]
    {
        const auto messages = m_watcher->Messages();
        return std::count_if(messages.begin() + static_cast<std::ptrdiff_t>(before), messages.end(),
                             [](const CMqttWatcher::SMessage& message)
                             { return message.topic == kK760 + "tec/t"; });
    };
    // Once a second at most: in 3 s no more than four, however often the poll reads a new value.
    EXPECT_FALSE(Eventually([&] { return published() > 4; }, 3000)) << published();
    EXPECT_GE(published(), 2);
}

TEST_F(BridgeAgainstBroker, AnUnchangedValueIsStillPublishedOnThePeriod)
{
    auto k760 = TcpSim("K760");
    StartBridge({"--max-rate", "1", Descriptor(*k760)});
    ASSERT_TRUE(WaitReady(kK760)) << BridgeLog();
    ASSERT_TRUE(m_watcher->WaitFor(kK760 + "tec/t-set", "25.000", kWaitMs));
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 3; ++round)
        ASSERT_TRUE(m_watcher->WaitFor(kK760 + "tec/t-set", "25.000", kWaitMs, m_watcher->Count()));
    // Three more publications on a 0.3 s period, well under the 1 s a change may wait.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST_F(BridgeAgainstBroker, OnASlowLinkTheGoodbyeWaitsForTheBrokersAcknowledgement)
{
    auto k760 = TcpSim("K760");
    CSlowLink link(m_broker.Port(), 300ms);
    ASSERT_GT(link.Port(), 0);
    StartBridge({"--port", std::to_string(link.Port()), Descriptor(*k760)});
    ASSERT_TRUE(WaitReady(kK760)) << BridgeLog();
    const size_t before = m_watcher->Count();
    EXPECT_EQ(m_bridge.Stop(SIGTERM), 0);
    EXPECT_TRUE(m_watcher->WaitFor(kK760 + "$state", "disconnected", kWaitMs, before)) << BridgeLog();
    EXPECT_EQ(link.ClosedWithRepliesOwed(), 0);
    EXPECT_FALSE(m_watcher->WaitFor(kK760 + "$state", "lost", 500, before));
}

// Every device says goodbye over its own connection: they wait for their acknowledgements side by
// side, so the end takes the slowest one's time, not the sum.
TEST_F(BridgeAgainstBroker, DevicesSayGoodbyeSideBySide)
{
    auto k760 = TcpSim("K760");
    auto m607 = TcpSim("M607");
    CSlowLink link(m_broker.Port(), 2000ms);
    StartBridge({"--port", std::to_string(link.Port()), Descriptor(*k760), Descriptor(*m607)});
    ASSERT_TRUE(WaitReady(kK760)) << BridgeLog();
    ASSERT_TRUE(WaitReady(kM607)) << BridgeLog();
    const size_t before = m_watcher->Count();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_bridge.Stop(SIGTERM), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3500ms);
    EXPECT_TRUE(m_watcher->WaitFor(kK760 + "$state", "disconnected", kWaitMs, before)) << BridgeLog();
    EXPECT_TRUE(m_watcher->WaitFor(kM607 + "$state", "disconnected", kWaitMs, before));
    EXPECT_EQ(link.ClosedWithRepliesOwed(), 0);
}

class BridgeFiles : public ::testing::Test
{
protected:
    // Runs the bridge with a bound on its memory; its exit status, or -1 when it had to be killed.
    int Run(const std::vector<std::string>& args)
    {
        const char* bound = Sanitized ? "exec \"$0\" \"$@\"" : "ulimit -v 2000000; exec \"$0\" \"$@\"";
        std::vector<std::string> argv{"/bin/sh", "-c", bound, TAMRIX_BRIDGE_EXE, "COM:3:0"};
        argv.insert(argv.end(), args.begin(), args.end());
        CChildProcess bridge;
        std::remove(m_dir.File("bridge.log").c_str());
        if (!bridge.Start(argv, {"XDG_CONFIG_HOME=" + m_dir.Path()}, m_dir.File("bridge.log")))
            return -2;
        return bridge.Wait(5000);
    }

    std::string Log() const { return ReadFile(m_dir.File("bridge.log")); }

    TempDir m_dir;
};

TEST_F(BridgeFiles, WhatIsNotASmallRegularFileIsRefusedWithoutHanging)
{
    ASSERT_EQ(mkfifo(m_dir.File("fifo").c_str(), 0600), 0);
    WriteFile(m_dir.File("big"), "username=lab\n" + std::string(64 * 1024, '#') + "\n");
    // A CA bundle may hold every public authority: its bound is larger.
    WriteFile(m_dir.File("huge"), std::string(1024 * 1024 + 1, '#'));
    const std::vector<std::pair<std::string, std::string>> files{
        {m_dir.File("fifo"), "is not a regular file"},
        {"/dev/zero", "is not a regular file"},
        {m_dir.Path(), "is a folder"},
        {m_dir.File("big"), "larger than 64 KiB"},
        {m_dir.File("missing"), "cannot read"},
    };
    for (const std::string option : {"--credentials", "--config", "--cafile"})
    {
        for (auto [path, message] : files)
        {
            if (option == "--cafile" && path == m_dir.File("big"))
                std::tie(path, message) = std::pair(m_dir.File("huge"), "larger than 1 MiB");
            EXPECT_EQ(Run({option, path}), 2) << option << " " << path;
            EXPECT_THAT(Log(), HasSubstr(message)) << option << " " << path;
            EXPECT_THAT(Log(), HasSubstr(path)) << option;
        }
    }
}

TEST_F(BridgeFiles, ACredentialsFileOthersMayReadIsWarnedAbout)
{
    const std::string secret = m_dir.File("secret");
    WriteFile(secret, "username=lab\npassword=x\n");
    ASSERT_EQ(chmod(secret.c_str(), 0644), 0);
    SBridgeOptions options;
    std::string error;
    ASSERT_TRUE(SBridgeOptions::Parse({"COM:3:0", "--credentials", secret}, options, error)) << error;
    ASSERT_EQ(options.warnings.size(), 1u);
    EXPECT_THAT(options.warnings[0], HasSubstr("readable by others"));
    EXPECT_THAT(options.warnings[0], HasSubstr(secret));

    ASSERT_EQ(chmod(secret.c_str(), 0600), 0);
    SBridgeOptions own;
    ASSERT_TRUE(SBridgeOptions::Parse({"COM:3:0", "--credentials", secret}, own, error)) << error;
    EXPECT_TRUE(own.warnings.empty());
}
} // namespace
