// tamrix-bridge as users run it: the executable against a real mosquitto on a free loopback port and
// simulated instruments in this process, watched by an MQTT client of the test's own.
#include "BridgeAgainstBroker.h"

#include <csignal>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;

namespace
{
using namespace bridge_test;

TEST_F(BridgeAgainstBroker, K760AndM607AreDescribedAndPublishTheirReadingsWithUnits)
{
    auto k760 = TcpSim("K760");
    auto m607 = TcpSim("M607");
    StartBridge({Descriptor(*k760), Descriptor(*m607)});
    ASSERT_TRUE(WaitReady(kK760)) << BridgeLog();
    ASSERT_TRUE(WaitReady(kM607)) << BridgeLog();

    const auto k760Doc = Description(kK760);
    ASSERT_TRUE(k760Doc);
    EXPECT_EQ((*k760Doc)["homie"].text, "5.0");
    const SJsonValue& tec = (*k760Doc)["nodes"]["tec"]["properties"];
    EXPECT_EQ(tec["t"]["unit"].text, "°C");
    EXPECT_EQ(tec["t"]["datatype"].text, "float");
    EXPECT_EQ(tec["ite"]["unit"].text, "A");
    EXPECT_EQ(tec["mode"]["format"].text, "T,R,ITE");
    EXPECT_EQ(tec["output"]["datatype"].text, "boolean");
    // Without --allow-set nothing is announced as settable.
    EXPECT_FALSE(tec["t-set"].Has("settable"));

    const auto m607Doc = Description(kM607);
    ASSERT_TRUE(m607Doc);
    for (const char* node : {"instrument", "tec1", "tec2", "las1", "las2"})
        EXPECT_TRUE((*m607Doc)["nodes"].Has(node)) << node;
    EXPECT_EQ((*m607Doc)["nodes"]["las1"]["properties"]["ldi"]["unit"].text, "mA");
    EXPECT_EQ((*m607Doc)["nodes"]["las2"]["properties"]["mdi"]["unit"].text, "µA");
    EXPECT_EQ((*m607Doc)["nodes"]["las2"]["type"].text, "laser");

    const auto t = m_watcher->WaitFor(kK760 + "tec/t", Above(0.0), kWaitMs);
    ASSERT_TRUE(t);
    EXPECT_NEAR(*Number(*t), 25.0, 1.0);
    EXPECT_TRUE(m_watcher->WaitFor(kK760 + "instrument/serial-number", "76042", kWaitMs));
    EXPECT_TRUE(m_watcher->WaitFor(kM607 + "tec2/mode", "T", kWaitMs));
    EXPECT_TRUE(m_watcher->WaitFor(
        kM607 + "las1/ldi", [](const std::string& text) { return Number(text).has_value(); }, kWaitMs));
    // The set points' limits are asked for while polling: no query of the bridge makes an error.
    EXPECT_THAT(BridgeLog(), Not(HasSubstr("instrument error"))) << BridgeLog();
    EXPECT_NE((*m607Doc)["nodes"]["tec1"]["properties"]["t-set"]["format"].text, "");
    // No value is ever the no-value mark.
    for (const auto& message : m_watcher->Messages())
        EXPECT_THAT(message.payload, ::testing::Not(HasSubstr("e+32"))) << message.topic;

    // Without --allow-set a set request is not even heard: the unit keeps its set point.
    m_watcher->Publish(kK760 + "tec/t-set/set", "31");
    const size_t after = m_watcher->Count();
    EXPECT_TRUE(m_watcher->WaitFor(kK760 + "tec/t-set", "25.000", kWaitMs, after));
    EXPECT_TRUE(m_watcher->WaitFor(kK760 + "tec/t-set", "25.000", kWaitMs, m_watcher->Count()));
    EXPECT_EQ(k760->Request("TEC:SET:T?"), "25.000");
    EXPECT_EQ(k760->Log().WaitForText("TEC:T 31", 0ms), -1);

    // Stopped by a signal, the bridge leaves its devices "disconnected", not "lost".
    EXPECT_EQ(m_bridge.Stop(SIGTERM), 0);
    EXPECT_TRUE(m_watcher->WaitFor(kK760 + "$state", "disconnected", kWaitMs)) << BridgeLog();
    EXPECT_TRUE(m_watcher->WaitFor(kM607 + "$state", "disconnected", kWaitMs));
}

TEST_F(BridgeAgainstBroker, SetRequestsReachTheUnitAndItsPlantAndRefusalsAreReportedNotSent)
{
    auto k760 = TcpSim("K760");
    k760->Engine().SetTimeScale(20.0);
    StartBridge({"--allow-set", Descriptor(*k760)});
    ASSERT_TRUE(WaitReady(kK760)) << BridgeLog();
    const auto doc = Description(kK760);
    ASSERT_TRUE(doc);
    EXPECT_TRUE((*doc)["nodes"]["tec"]["properties"]["t-set"]["settable"].boolean);

    ASSERT_TRUE(m_watcher->Publish(kK760 + "tec/t-set/set", "30.5"));
    ASSERT_TRUE(m_watcher->Publish(kK760 + "tec/output/set", "true"));
    EXPECT_TRUE(m_watcher->WaitFor(kK760 + "tec/t-set", "30.500", kWaitMs)) << BridgeLog();
    EXPECT_TRUE(m_watcher->WaitFor(kK760 + "tec/output", "true", kWaitMs));
    EXPECT_EQ(k760->Request("TEC:SET:T?"), "30.500");
    // The simulated mount warms towards the new set point.
    EXPECT_TRUE(m_watcher->WaitFor(kK760 + "tec/t", Above(27.0), kWaitMs));

    const std::vector<std::pair<std::string, std::string>> refused{
        {"300", "T set point (300.000000) out of range."},
        {"nan", "is not a finite number"},
        {"Infinity", "is not a finite number"},
        {std::string(100, '2'), "longer than 64 bytes"},
        {"3\xff", "not UTF-8"},
    };
    for (const auto& [payload, reason] : refused)
    {
        const size_t after = m_watcher->Count();
        ASSERT_TRUE(m_watcher->Publish(kK760 + "tec/t-set/set", payload));
        const auto error = m_watcher->WaitFor(
            kK760 + "instrument/error", [](const std::string&) { return true; }, kWaitMs, after);
        ASSERT_TRUE(error) << payload;
        EXPECT_THAT(*error, HasSubstr(reason));
        EXPECT_THAT(*error, HasSubstr("tec/t-set refused"));
    }
    EXPECT_EQ(k760->Log().WaitForText("TEC:T 300", 0ms), -1);
    EXPECT_EQ(k760->Request("TEC:SET:T?"), "30.500");
    EXPECT_THAT(BridgeLog(),
                HasSubstr("tec/t-set refused: tec.t was not sent: T set point (300.000000) out of range."));
}

// A set whose confirmation is lost and which the unit did not take: the bridge says so with what the
// unit holds, and publishes that, never the value it was asked for.
TEST_F(BridgeAgainstBroker, ASetWhoseConfirmationIsLostPublishesWhatTheUnitHolds)
{
    auto k760 = TcpSim("K760");
    const std::string held = k760->Request("TEC:SET:T?");
    ASSERT_NE(held, "33.000");
    k760->Engine().WithRegistry(
        [](CSimCommandRegistry& registry)
        {
            const CSimCommandRegistry::Handler ask = *registry.Find("TEC:SET:T?");
            // The unit ignores the set point and loses its replies until a set point is asked for.
            registry.Add("TEC:T",
                         [](CSimUnit& unit, int, std::string_view)
                         {
                             unit.Faults().dropEvery = 1;
                             return SSimResult::Done();
                         });
            registry.Add("TEC:SET:T?",
                         [ask](CSimUnit& unit, int channel, std::string_view args)
                         {
                             unit.Faults().dropEvery = 0;
                             return ask(unit, channel, args);
                         });
        });
    StartBridge({"--allow-set", Descriptor(*k760)});
    ASSERT_TRUE(WaitReady(kK760)) << BridgeLog();
    ASSERT_TRUE(m_watcher->WaitFor(kK760 + "tec/t-set", held, kWaitMs));

    const size_t before = m_watcher->Count();
    ASSERT_TRUE(m_watcher->Publish(kK760 + "tec/t-set/set", "33"));
    const std::string said = "tec.t 33: sent, not confirmed; read back, the instrument holds " + held;
    const auto event = m_watcher->WaitFor(
        kK760 + "instrument/error", [](const std::string&) { return true; }, kWaitMs, before);
    ASSERT_TRUE(event) << BridgeLog();
    EXPECT_EQ(*event, "tec/t-set: " + said);
    const size_t afterEvent = m_watcher->Count();
    // Two publications after the report: the set point is the unit's throughout.
    ASSERT_TRUE(m_watcher->WaitFor(kK760 + "tec/t-set", held, kWaitMs, afterEvent));
    ASSERT_TRUE(m_watcher->WaitFor(kK760 + "tec/t-set", held, kWaitMs, m_watcher->Count()));
    const std::vector<CMqttWatcher::SMessage> messages = m_watcher->Messages();
    for (size_t i = before; i < messages.size(); ++i)
    {
        if (messages[i].topic == kK760 + "tec/t-set")
        {
            EXPECT_EQ(messages[i].payload, held);
        }
    }
    EXPECT_THAT(BridgeLog(), HasSubstr(said));
    EXPECT_THAT(BridgeLog(), Not(HasSubstr("not sent")));
}

TEST_F(BridgeAgainstBroker, BrokerRestartIsSurvivedWithTheNewestStateAndAKilledBridgeLeavesLost)
{
    auto k760 = TcpSim("K760");
    StartBridge({Descriptor(*k760)});
    ASSERT_TRUE(WaitReady(kK760)) << BridgeLog();

    m_broker.Stop();
    // Changed while the broker is away: only this newest value may appear afterwards.
    EXPECT_EQ(k760->Request("TEC:T 27"), "");
    EXPECT_EQ(k760->Request("TEC:T 28"), "");
    ASSERT_TRUE(m_broker.Start());
    EXPECT_TRUE(m_bridge.IsRunning());

    // A fresh client sees only what the reconnected bridge republished (the broker kept nothing).
    CMqttWatcher fresh(m_broker.Port());
    ASSERT_TRUE(fresh.WaitConnected());
    EXPECT_TRUE(fresh.WaitFor(kK760 + "$state", "ready", kWaitMs)) << BridgeLog();
    EXPECT_TRUE(fresh.WaitFor(
        kK760 + "$description", [](const std::string& text) { return !text.empty(); }, kWaitMs));
    EXPECT_TRUE(fresh.WaitFor(kK760 + "tec/t-set", "28.000", kWaitMs));
    for (const auto& message : fresh.Messages())
        EXPECT_NE(message.payload, "27.000") << message.topic;

    EXPECT_EQ(m_bridge.Stop(SIGKILL), 128 + SIGKILL);
    EXPECT_TRUE(fresh.WaitFor(kK760 + "$state", "lost", kWaitMs));
}

TEST_F(BridgeAgainstBroker, AnUnpluggedInstrumentComesBackReadyUnderAnotherPortNumber)
{
    auto sim = CSimInstrument::Create("K760");
    std::string error;
    ASSERT_TRUE(sim->StartPty("", error)) << error;
    ASSERT_EQ(RunCliProcess({"ports", "add", "41", sim->PtyPath()}, m_dir.Path()).exitCode, 0);
    StartBridge({"COM:41:0"});
    ASSERT_TRUE(WaitReady(kK760)) << BridgeLog();
    EXPECT_TRUE(m_watcher->WaitFor(kK760 + "instrument/port", "COM:41:0", kWaitMs));

    const size_t beforeUnplug = m_watcher->Count();
    ASSERT_TRUE(sim->Unplug());
    EXPECT_TRUE(m_watcher->WaitFor(kK760 + "$state", "disconnected", kWaitMs, beforeUnplug)) << BridgeLog();
    ASSERT_EQ(RunCliProcess({"ports", "remove", "41"}, m_dir.Path()).exitCode, 0);
    ASSERT_TRUE(sim->Replug(error)) << error;
    ASSERT_EQ(RunCliProcess({"ports", "add", "42", sim->PtyPath()}, m_dir.Path()).exitCode, 0);

    EXPECT_TRUE(WaitReady(kK760, beforeUnplug)) << BridgeLog();
    EXPECT_TRUE(m_watcher->WaitFor(kK760 + "instrument/port", "COM:42:0", kWaitMs)) << BridgeLog();
    EXPECT_EQ(m_bridge.Stop(SIGTERM), 0);
    EXPECT_TRUE(m_watcher->WaitFor(kK760 + "$state", "disconnected", kWaitMs));
}
} // namespace
