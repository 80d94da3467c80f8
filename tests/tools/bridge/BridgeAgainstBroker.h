#pragma once

// The bridge executable against a real mosquitto on a free loopback port, watched by an MQTT client of
// the test's own; simulated instruments run in the test's process.
#include "ChildProcess.h"
#include "CliProcess.h"
#include "JsonValue.h"
#include "MosquittoBroker.h"
#include "MqttWatcher.h"
#include "SimInstrument.h"
#include "diag/TempDir.h"
#include "support/Eventually.h"

#include <charconv>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace bridge_test
{
inline constexpr int kWaitMs = 20000;
inline const std::string kK760 = "homie/5/k760-76042/";
inline const std::string kM607 = "homie/5/m607-60733/";

inline std::optional<double> Number(const std::string& text)
{
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

inline std::function<bool(const std::string&)> Above(double limit)
{
    return [limit](const std::string& text) { return Number(text).value_or(-1e9) > limit; };
}

class BridgeAgainstBroker : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (CMosquittoBroker::Binary().empty())
            GTEST_SKIP() << "mosquitto is not installed (scripts/bootstrap installs it)";
        ASSERT_TRUE(m_broker.Start()) << "mosquitto did not start; see " << m_dir.File("mosquitto.log");
        m_watcher = std::make_unique<CMqttWatcher>(m_broker.Port());
        ASSERT_TRUE(m_watcher->WaitConnected());
    }

    std::unique_ptr<CSimInstrument> TcpSim(const char* model)
    {
        auto sim = CSimInstrument::Create(model);
        std::string error;
        EXPECT_TRUE(sim && sim->StartTcp("127.0.0.1", 0, error)) << error;
        return sim;
    }

    static std::string Descriptor(CSimInstrument& sim)
    {
        return "TCP:127.0.0.1:" + std::to_string(sim.TcpPort());
    }

    void StartBridge(std::vector<std::string> args)
    {
        std::vector<std::string> argv{TAMRIX_BRIDGE_EXE, "--port", std::to_string(m_broker.Port()),
                                      "--period", "0.3"};
        argv.insert(argv.end(), args.begin(), args.end());
        ASSERT_TRUE(m_bridge.Start(argv, {"XDG_CONFIG_HOME=" + m_dir.Path()}, m_dir.File("bridge.log")));
    }

    std::string BridgeLog() const { return ReadFile(m_dir.File("bridge.log")); }

    bool WaitReady(const std::string& device, size_t after = 0)
    {
        return m_watcher->WaitFor(device + "$state", "ready", kWaitMs, after).has_value();
    }

    std::optional<SJsonValue> Description(const std::string& device)
    {
        const auto text = m_watcher->WaitFor(
            device + "$description", [](const std::string&) { return true; }, kWaitMs);
        return text ? SJsonValue::Parse(*text) : std::nullopt;
    }

    TempDir m_dir;
    CMosquittoBroker m_broker{m_dir.Path()};
    std::unique_ptr<CMqttWatcher> m_watcher;
    CChildProcess m_bridge;
};
} // namespace bridge_test
