// tamrix-bridge without a broker: device ids, the description a consumer reads, the checks every
// set request passes before it reaches an instrument, and the command line.
#include "BridgeOptions.h"
#include "HomieDevice.h"
#include "HomiePayload.h"
#include "JsonValue.h"
#include "diag/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;

namespace
{
TEST(HomieDeviceId, ComesFromModelAndSerialNumberAsOneTopicLevel)
{
    EXPECT_EQ(CHomieDevice::MakeId("K760", "76042"), "k760-76042");
    EXPECT_EQ(CHomieDevice::MakeId("K19-2", "19002"), "k19-2-19002");
    EXPECT_EQ(CHomieDevice::MakeId(" X510 ", "SN:51/009#"), "x510-sn-51-009");
    // Characters outside [a-z0-9] never reach the topic, also not as a leading or trailing "-".
    EXPECT_EQ(CHomieDevice::MakeId("\xC3\x84M607+", "+/#"), "m607");
    EXPECT_EQ(CHomieDevice::MakeId("", ""), "");
}

CHomieDevice Thermostat(const std::string& format)
{
    SHomieNode node{"tec", "TEC", "tec", {}};
    node.properties.push_back({"t", "temperature", SHomieProperty::Type::Float, {}, "°C", false, true});
    node.properties.push_back(
        {"t-set", "set \"point\"", SHomieProperty::Type::Float, format, "°C", true, true});
    node.properties.push_back({"mode", "mode", SHomieProperty::Type::Enum, "T,R,ITE", {}, true, true});
    SHomieNode instrument{"instrument", "Instrument", "instrument", {}};
    instrument.properties.push_back({"error", "error", SHomieProperty::Type::String, {}, {}, false, false});
    return CHomieDevice("k760-76042", "K760 S/N 76042", {instrument, node});
}

TEST(HomieDescription, IsJsonThatAConsumerReadsWithItsVersionFollowingTheContent)
{
    const auto description = SJsonValue::Parse(Thermostat("-99.0:250.0").Description());
    ASSERT_TRUE(description);
    const SJsonValue& doc = *description;
    EXPECT_EQ(doc["homie"].text, "5.0");
    EXPECT_EQ(doc["version"].kind, SJsonValue::Kind::Number);
    EXPECT_EQ(doc["name"].text, "K760 S/N 76042");
    const SJsonValue& tSet = doc["nodes"]["tec"]["properties"]["t-set"];
    EXPECT_EQ(tSet["name"].text, "set \"point\"");
    EXPECT_EQ(tSet["datatype"].text, "float");
    EXPECT_EQ(tSet["unit"].text, "°C");
    EXPECT_EQ(tSet["format"].text, "-99.0:250.0");
    EXPECT_TRUE(tSet["settable"].boolean);
    // Defaults (not settable, retained) are left out; an event says it is not retained.
    EXPECT_FALSE(doc["nodes"]["tec"]["properties"]["t"].Has("settable"));
    EXPECT_EQ(doc["nodes"]["instrument"]["properties"]["error"]["retained"].kind, SJsonValue::Kind::Boolean);
    EXPECT_FALSE(doc["nodes"]["instrument"]["properties"]["error"]["retained"].boolean);

    const auto other = SJsonValue::Parse(Thermostat("-20.0:90.0").Description());
    ASSERT_TRUE(other);
    EXPECT_NE((*other)["version"].number, doc["version"].number);
    EXPECT_EQ(SJsonValue::Parse(Thermostat("-99.0:250.0").Description())->operator[]("version").number,
              doc["version"].number);
}

TEST(HomieDescription, SetTopicsNameAKnownPropertyOfThisDevice)
{
    const CHomieDevice device = Thermostat("");
    std::string node;
    std::string property;
    EXPECT_TRUE(device.ParseSetTopic("homie/5/k760-76042/tec/t-set/set", node, property));
    EXPECT_EQ(node, "tec");
    EXPECT_EQ(property, "t-set");
    for (const char* topic : {"homie/5/k760-76043/tec/t-set/set", "homie/5/k760-76042/tec/x/set",
                              "homie/5/k760-76042/tec/t-set", "homie/5/k760-76042/a/tec/t-set/set",
                              "homie/5/k760-76042//set", "homie/5/k760-76042/tec/t-set/get"})
        EXPECT_FALSE(device.ParseSetTopic(topic, node, property)) << topic;
}

struct SPayloadRow
{
    SHomieProperty::Type type;
    std::string payload;
    std::optional<std::string> accepted; // the value handed on, or nullopt when refused
};

class SetPayloads : public ::testing::TestWithParam<SPayloadRow>
{
};

TEST_P(SetPayloads, AreCheckedForTheirTypeBeforeAnythingElse)
{
    const SPayloadRow& row = GetParam();
    const SHomieProperty property{
        "p", "p", row.type, row.type == SHomieProperty::Type::Enum ? "T,R,ITE" : "", {}, true, true};
    std::string error;
    const auto value = HomiePayload::CheckSet(property, row.payload, error);
    EXPECT_EQ(value, row.accepted) << "\"" << row.payload << "\"";
    EXPECT_EQ(error.empty(), row.accepted.has_value()) << error;
}

using Type = SHomieProperty::Type;
INSTANTIATE_TEST_SUITE_P(
    Rows, SetPayloads,
    ::testing::Values(
        SPayloadRow{Type::Float, "30.5", "30.5"}, SPayloadRow{Type::Float, "-1.5e2", "-1.5e2"},
        SPayloadRow{Type::Float, "25", "25"}, SPayloadRow{Type::Float, "nan", std::nullopt},
        SPayloadRow{Type::Float, "NaN", std::nullopt}, SPayloadRow{Type::Float, "inf", std::nullopt},
        SPayloadRow{Type::Float, "-Infinity", std::nullopt}, SPayloadRow{Type::Float, "1e999", std::nullopt},
        SPayloadRow{Type::Float, "", std::nullopt}, SPayloadRow{Type::Float, "-", std::nullopt},
        SPayloadRow{Type::Float, " 3", std::nullopt}, SPayloadRow{Type::Float, "3,5", std::nullopt},
        SPayloadRow{Type::Float, "0x10", std::nullopt}, SPayloadRow{Type::Float, "3.", std::nullopt},
        SPayloadRow{Type::Float, std::string(65, '1'), std::nullopt},
        SPayloadRow{Type::Float, "3\xff", std::nullopt}, SPayloadRow{Type::Boolean, "true", "on"},
        SPayloadRow{Type::Boolean, "false", "off"}, SPayloadRow{Type::Boolean, "TRUE", std::nullopt},
        SPayloadRow{Type::Boolean, "1", std::nullopt}, SPayloadRow{Type::Enum, "ITE", "ITE"},
        SPayloadRow{Type::Enum, "ite", std::nullopt}, SPayloadRow{Type::Enum, "T,R", std::nullopt},
        SPayloadRow{Type::Enum, "", std::nullopt}, SPayloadRow{Type::String, "text", std::nullopt}));

TEST(SetPayloadChecks, RefuseWhatIsNotUtf8OrNotSettable)
{
    EXPECT_TRUE(HomiePayload::IsUtf8("25 °C, µA, kΩ"));
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xE2\x82", "\xF4\x90\x80\x80", "\x80"})
        EXPECT_FALSE(HomiePayload::IsUtf8(bad)) << bad;
    std::string error;
    const SHomieProperty reading{"t", "t", Type::Float, {}, "°C", false, true};
    EXPECT_FALSE(HomiePayload::CheckSet(reading, "25", error));
    EXPECT_THAT(error, HasSubstr("not settable"));
    const SHomieProperty setPoint{"t-set", "t", Type::Float, {}, "°C", true, true};
    EXPECT_FALSE(HomiePayload::CheckSet(setPoint, "2\xC0\xAF", error));
    EXPECT_EQ(error, "the payload is not UTF-8");
}

TEST(BridgeCommandLine, TakesInstrumentsAndBrokerFromFileAndLineWithTheLineWinning)
{
    TempDir dir;
    WriteFile(dir.File("secret"), "# broker account\nusername = lab\npassword=s3cret word\n");
    WriteFile(dir.File("bridge.ini"),
              "[Broker]\nhost=broker.lab\nport=1884\ncredentials=" + dir.File("secret") +
                  "\nreconnect-max=120\n[Bridge]\nperiod=2.5\nmax-rate=2\npoll-period=0.5\nallow-set=1\n"
                  "[Instruments]\n"
                  "Instrument1=COM:3:0\nInstrument2=TCP:10.0.0.5:10001\n");
    SBridgeOptions options;
    std::string error;
    ASSERT_TRUE(SBridgeOptions::Parse(
        {"--config", dir.File("bridge.ini"), "--port=1999", "TCP:127.0.0.1:10001"}, options, error))
        << error;
    EXPECT_EQ(options.instruments,
              (std::vector<std::string>{"COM:3:0", "TCP:10.0.0.5:10001", "TCP:127.0.0.1:10001"}));
    EXPECT_EQ(options.broker.host, "broker.lab");
    EXPECT_EQ(options.broker.port, 1999);
    EXPECT_EQ(options.broker.username, "lab");
    EXPECT_EQ(options.broker.password, "s3cret word");
    EXPECT_EQ(options.period, std::chrono::milliseconds(2500));
    EXPECT_EQ(options.minInterval, std::chrono::milliseconds(500));
    EXPECT_EQ(options.pollPeriod, std::chrono::milliseconds(500));
    EXPECT_EQ(options.broker.reconnectMaxS, 120);
    EXPECT_TRUE(options.allowSet);
}

TEST(BridgeCommandLine, RefusesPasswordsAndBadValuesWithAMessage)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows{
        {{"COM:3:0", "--password", "x"}, "never from the command line"},
        {{"COM:3:0", "--username=x"}, "never from the command line"},
        {{"COM:3:0", "--port", "70000"}, "no TCP port"},
        {{"COM:3:0", "--period", "-1"}, "no period"},
        {{"COM:3:0", "--period", "nan"}, "no period"},
        {{"COM:3:0", "--max-rate", "0"}, "no rate"},
        {{"COM:3:0", "--max-rate", "nan"}, "no rate"},
        {{"COM:3:0", "--poll-period", "0.001"}, "no poll period in seconds (0.01 to 3600)"},
        {{"COM:3:0", "--poll-period", "inf"}, "no poll period"},
        {{"COM:3:0", "--reconnect-max", "0"}, "no longest reconnection wait"},
        {{"COM:3:0", "--reconnect-max", "1.5"}, "no longest reconnection wait"},
        {{"COM3"}, "not a port descriptor"},
        {{}, "no instrument given"},
        {{"COM:3:0", "--credentials", "/nonexistent/secret"}, "cannot read the credentials file"},
        {{"COM:3:0", "--cafile", "/nonexistent/ca.pem"}, "cannot read the CA file"},
        {{"COM:3:0", "--config", "/nonexistent/bridge.ini"}, "cannot read the configuration file"},
        {{"COM:3:0", "--host"}, "needs a value"},
        {{"COM:3:0", "--colour", "red"}, "unknown option"},
    };
    for (const auto& [args, message] : rows)
    {
        SBridgeOptions options;
        std::string error;
        EXPECT_FALSE(SBridgeOptions::Parse(args, options, error)) << message;
        EXPECT_THAT(error, HasSubstr(message));
    }
}
} // namespace
