// The protocol engine in-process: line framing, compound replies, error queue, channel selection,
// identity per model, stored values and reply faults.
#include "SimEngine.h"
#include "SimModelTable.h"
#include "SimText.h"

#include <gtest/gtest.h>

namespace
{
CSimEngine MakeEngine(const std::string& name)
{
    const SSimModel* model = CSimModelTable::Find(name);
    EXPECT_NE(model, nullptr) << name;
    return CSimEngine(model ? *model : SSimModel{});
}

TEST(SimEngine, FramesLinesAndJoinsAnswersOfOneLine)
{
    CSimEngine engine = MakeEngine("K760");
    SSimSession session;
    // Lower case, leading ":", CR as line end, queries and commands mixed: one reply line.
    EXPECT_EQ(engine.Receive(session, ":model?;bright 50;BUILD?;*idn?\r"),
              "K760,B331,Tamrix Instruments,K760,76042,v2.4.21\r\n");
    // Empty lines, lines without queries and CR LF pairs produce nothing.
    EXPECT_EQ(engine.Receive(session, "\r\n\n   \nBRIGHT 40\r\n"), "");
    // A line may arrive in pieces.
    EXPECT_EQ(engine.Receive(session, "BRI"), "");
    EXPECT_EQ(engine.Receive(session, "GHT?\nERR?\n"), "40\r\n0\r\n");
}

TEST(SimEngine, ErrorQueueKeepsOrderAndEmptiesOnRead)
{
    CSimEngine engine = MakeEngine("K760");
    EXPECT_EQ(engine.Request("NOSUCH 1;BRIGHT 500;FOO?"), ""); // no answer for a failed query
    engine.WithUnit([](CSimUnit& unit) { unit.PushError(402); });
    EXPECT_EQ(engine.Request("BRIGHT?;ERR?"), "80,123,201,123,402"); // 201 left the setting alone
    EXPECT_EQ(engine.Request("ERR?"), "0");

    engine.Request("NOSUCH");
    EXPECT_EQ(engine.Request("ERRSTR?"), "Path not found (command error)");
    EXPECT_EQ(engine.Request("ERRSTR?"), "No error");
}

TEST(SimEngine, OverlongLineIsRefusedWithoutRunningIt)
{
    CSimEngine engine = MakeEngine("K760");
    engine.Request("BRIGHT 10;" + std::string(CSimEngine::kMaxLine, 'X'));
    EXPECT_EQ(engine.Request("BRIGHT?;ERR?"), "80,102");
}

TEST(SimEngine, TerminalEchoesEveryCharacterUntilSwitchedOff)
{
    CSimEngine engine = MakeEngine("K910");
    SSimSession session;
    EXPECT_EQ(engine.Receive(session, "TERMINAL ON\n"), "");
    EXPECT_EQ(engine.Receive(session, "SN?\r"), "SN?\r91033\r\n");
    // The line that switches echo off is still echoed: it arrived before it was run.
    EXPECT_EQ(engine.Receive(session, "TERMINAL OFF;REMERR 0;RADIX DEC;HEXFLOAT 0;ERR?\n"),
              "TERMINAL OFF;REMERR 0;RADIX DEC;HEXFLOAT 0;ERR?\n0\r\n");
    EXPECT_EQ(engine.Receive(session, "SN?\n"), "91033\r\n");
    EXPECT_EQ(engine.Request("RADIX HEX;HEXFLOAT 1;TERMINAL MAYBE;ERR?"), "124,124,124");
}

TEST(SimEngine, LocalReturnsToFrontPanelUntilTheNextLine)
{
    CSimEngine engine = MakeEngine("K760");
    engine.Request("LOCAL");
    EXPECT_FALSE(engine.WithUnit([](CSimUnit& unit) { return unit.IsRemote(); }));
    engine.Request("SN?");
    EXPECT_TRUE(engine.WithUnit([](CSimUnit& unit) { return unit.IsRemote(); }));
}

// A probe handler shows which channel a command reaches and how relative headers resolve.
void AddProbe(CSimEngine& engine)
{
    engine.WithRegistry(
        [](CSimCommandRegistry& registry)
        {
            registry.Add("TEC:PROBE?", [](CSimUnit&, int channel, std::string_view args)
                         { return SSimResult::Answer("tec" + std::to_string(channel) + std::string(args)); });
            registry.Add("LAS:PROBE?", [](CSimUnit&, int channel, std::string_view)
                         { return SSimResult::Answer("las" + std::to_string(channel)); });
        });
}

TEST(SimEngine, ChannelSelectionPersistsAndReachesHandlers)
{
    CSimEngine engine = MakeEngine("M607");
    AddProbe(engine);
    EXPECT_EQ(engine.Request(":TEC:CHAN?;:LAS:CHAN?"), "1,1");
    engine.Request("las:chan 2;TEC:CHAN 2");
    EXPECT_EQ(engine.Request(":TEC:CHAN?;PROBE? x;:LAS:CHAN?;PROBE?"), "2,tec1x,2,las1");
    // Absent channel: refused, selection unchanged.
    EXPECT_EQ(engine.Request("TEC:CHAN 3;TEC:CHAN?;ERR?"), "2,201");
    // A header written with ":" is never taken as relative.
    EXPECT_EQ(engine.Request(":TEC:CHAN?;:PROBE?;ERR?"), "2,123");
}

TEST(SimEngine, DiscoveryFindsOnlyFittedChannels)
{
    CSimEngine engine = MakeEngine("M618");
    engine.WithUnit([](CSimUnit& unit) { unit.SetFitted(ESimFamily::Laser, 0x5); });
    std::vector<int> found;
    for (int n = 1; n <= 4; ++n)
    {
        const std::string reply = engine.Request("LAS:CHAN " + std::to_string(n) + ";LAS:CHAN?");
        if (simtext::ToInt(reply) == n)
            found.push_back(n);
    }
    EXPECT_EQ(found, (std::vector<int>{1, 3}));
}

TEST(SimEngine, SingleChannelUnitsAnswerChannelZero)
{
    CSimEngine tec = MakeEngine("K760");
    EXPECT_EQ(tec.Request(":TEC:CHAN?;:TEC:CHAN 1;ERR?"), "0,0");
    EXPECT_EQ(tec.Request(":LAS:CHAN?;ERR?"), "123"); // no laser in a TEC controller
    CSimEngine combo = MakeEngine("X510");
    EXPECT_EQ(combo.Request(":TEC:CHAN?;:LAS:CHAN?"), "0,0");
}

TEST(SimEngine, ReplyFaults)
{
    CSimEngine engine = MakeEngine("M609");
    engine.Faults().truncate = true;
    EXPECT_EQ(engine.Request("SN?;BUILD?;MODEL?"), "60912,B22");
    EXPECT_EQ(engine.Request("SN?"), "60");
    engine.Faults().truncate = false;

    engine.Request("TEC:CHAN 4");
    engine.Faults().wrongChannel = true;
    EXPECT_EQ(engine.Request(":TEC:CHAN?"), "1");
    engine.Faults().wrongChannel = false;

    engine.Faults().garble = true;
    const std::string garbled = engine.Request("MODEL?");
    EXPECT_EQ(garbled.size(), 4u);
    EXPECT_NE(garbled, "M609");
    engine.Faults().garble = false;

    engine.Faults().dropEvery = 2;
    EXPECT_EQ(engine.Request("SN?"), "60912");
    EXPECT_EQ(engine.Request("SN?"), "");
    EXPECT_EQ(engine.Request("SN?"), "60912");
    engine.Faults().dropEvery = 0;

    engine.Faults().silent = true;
    EXPECT_EQ(engine.Request("BRIGHT 5;SN?"), "");
    engine.Faults().silent = false;
    EXPECT_EQ(engine.Request("BRIGHT?"), "80"); // nothing ran while silent
    EXPECT_EQ(engine.Log().Lines().at(engine.Log().Lines().size() - 2), "BRIGHT 5;SN?"); // but it was heard
}

TEST(SimEngine, KeyedValuesByPrefixAndKey)
{
    CSimEngine engine = MakeEngine("K760");
    EXPECT_EQ(engine.Request(":TEC:USER:GET? 4653100"), "150");
    engine.Request(":TEC:USER:PUT 4653100,#E3f800000");
    EXPECT_EQ(engine.Request(":TEC:USER:GET? 4653100;GET? 4653100;ERR?"), "1,1,0");
    engine.Request(":TEC:USER:PUT 4653100,-12.5");
    EXPECT_EQ(engine.Request("GET? 4653100"), "-12.5");
    // The same value is the raw little-endian float at its address in the user area.
    EXPECT_EQ(engine.Request("!!READ 104, 4, 7"), "000048c1");
    // Integer keys, range of the type, unknown keys and wrong prefixes.
    EXPECT_EQ(engine.Request(":TEC:FACT:GET? 4718599"), "5000"); // 0x480007 max ITE [mA]
    engine.Request(":TEC:FACT:PUT 4718594,300;:TEC:FACT:PUT 4718594,#E3f800000");
    engine.Request(":LAS:USER:GET? 4653100;:TEC:USER:GET? 1234;:TEC:USER:PUT 4653100");
    EXPECT_EQ(engine.Request("ERR?"), "201,124,124,124,126");
    // Arrays and strings.
    engine.Request(":TEC:USER:PUTARRAY 4653106,0,3,414200");
    EXPECT_EQ(engine.Request(":TEC:USER:GET? 4653106"), "41420000000000000000000000000000");
    EXPECT_EQ(engine.Request(":TEC:USER:PUTARRAY 4653106,0,17," + std::string(34, '0') + ";ERR?"), "201");
    // Handlers of the command sets read the same store.
    EXPECT_FLOAT_EQ(engine.WithUnit([](CSimUnit& unit) { return unit.Memory().GetFloat(0x47002C, 0); }),
                    -12.5);
}

TEST(SimEngine, RawMemoryOnOlderFirmware)
{
    CSimEngine engine = MakeEngine("D310");
    EXPECT_EQ(engine.Request(":LAS:FACT:GET? 3670036;ERR?"), "123"); // no keyed access
    EXPECT_EQ(engine.Request("!!READ 400, 4, 8"), "f4010000");       // 0x380014 = 500 mA
    engine.Request("!!WRITE 400, 232, 8");
    engine.Request("!!WRITE 401, 3, 8");
    EXPECT_EQ(engine.WithUnit([](CSimUnit& unit) { return unit.Memory().GetInt(0x380014, 0); }), 1000);
    engine.Request("!!WRITE 400, 256, 8;!!WRITE 2000, 1, 8;!!READ 0, 4, 5;!!READ 0, 65, 8");
    EXPECT_EQ(engine.Request("ERR?"), "201,201,201,201");
}

// What the program's identification and factory make of each model: the codes from "REV?" (or, when
// there is none or it reads 4.16.26, from "MODEL?" by the detection table) must select the class the
// model stands for.
std::string ClassFor(int family, int model, int variant, int major)
{
    struct SRow
    {
        int family, model, variant, major; // -1: any
        const char* name;
    };
    static const SRow kRows[] = {
        {1, 1, -1, -1, "CD310"},      {1, 2, 2, 1, "CD710"},          {1, 2, 3, 1, "CD710"},
        {1, 2, 10, 2, "CD312"},       {1, 12, -1, -1, "CD560"},       {1, 19, 37, -1, "CM618"},
        {1, 19, 32, -1, "CM618"},     {1, 19, 38, -1, "CM608_R4"},    {2, 3, -1, -1, "CK705"},
        {2, 4, -1, -1, "CK910"},      {2, 13, 31, -1, "CK196"},       {2, 13, -1, -1, "CK760"},
        {2, 15, -1, -1, "CM609"},     {3, -1, 23, -1, "CX19"},        {3, 5, -1, -1, "CX510"},
        {3, -1, 38, -1, "CM607"},     {3, -1, 39, -1, "CM607_S0311"}, {7, 14, -1, -1, "CNorlase"},
        {9, -1, 36, -1, "CMultiLPS"}, {9, -1, 29, -1, "CLPS"},        {9, -1, 30, -1, "CLPS"},
    };
    for (const SRow& r : kRows)
    {
        if (r.family == family && (r.model < 0 || r.model == model) &&
            (r.variant < 0 || r.variant == variant) && (r.major < 0 || r.major == major))
            return r.name;
    }
    return "";
}

struct SIdentityRow
{
    const char* model;
    const char* className;
};

class SimIdentity : public ::testing::TestWithParam<SIdentityRow>
{
};

TEST_P(SimIdentity, IdentifiesAsItsClass)
{
    CSimEngine engine = MakeEngine(GetParam().model);
    const std::string idn = engine.Request("*IDN?");
    EXPECT_TRUE(idn.rfind("Tamrix", 0) == 0 || idn.rfind("Norlase", 0) == 0 || idn.rfind("Labsphere", 0) == 0)
        << idn;
    engine.Request("ERR?");
    std::vector<int> codes;
    const std::string revision = engine.Request("REV?;ERR?");
    std::string rest = revision;
    for (size_t dot; codes.size() < 4 && (dot = rest.find_first_of(".,")) != std::string::npos;
         rest = rest.substr(dot + 1))
        codes.push_back(std::stoi(rest.substr(0, dot)));
    const std::string version = engine.Request("VER?");
    const int major = std::stoi(version.substr(1));
    if (revision == "123" || (codes.size() == 4 && codes[0] == 4 && codes[1] == 16 && codes[2] == 26))
    {
        // No usable revision: detection classifies the model text, and the build comes from "B%d".
        const std::string reply = engine.Request("MODEL?;BUILD?;VER?");
        const std::string text = reply.substr(0, reply.find(','));
        const auto starts = [&text](const char* prefix) { return text.rfind(prefix, 0) == 0; };
        codes = starts("K19-")   ? std::vector<int>{2, 4, 7}
                : text == "K705" ? std::vector<int>{2, 3, 4}
                : starts("K9")   ? std::vector<int>{2, 4, 5}
                                 : std::vector<int>{0, 0, 0};
        EXPECT_EQ(reply.substr(reply.find(',') + 1, 1), "B");
    }
    ASSERT_GE(codes.size(), 3u) << revision;
    EXPECT_EQ(ClassFor(codes[0], codes[1], codes[2], major), GetParam().className)
        << revision << " " << version;
}

INSTANTIATE_TEST_SUITE_P(Models, SimIdentity,
                         ::testing::Values(SIdentityRow{"D310", "CD310"}, SIdentityRow{"D710", "CD710"},
                                           SIdentityRow{"D312", "CD312"}, SIdentityRow{"D560", "CD560"},
                                           SIdentityRow{"M618", "CM618"}, SIdentityRow{"M608-R4", "CM608_R4"},
                                           SIdentityRow{"K705", "CK705"}, SIdentityRow{"K910", "CK910"},
                                           SIdentityRow{"K19-2", "CK910"}, SIdentityRow{"K196", "CK196"},
                                           SIdentityRow{"K760", "CK760"}, SIdentityRow{"M609", "CM609"},
                                           SIdentityRow{"X19", "CX19"}, SIdentityRow{"X510", "CX510"},
                                           SIdentityRow{"M607", "CM607"},
                                           SIdentityRow{"M607-S0311", "CM607_S0311"},
                                           SIdentityRow{"OEM", "CNorlase"}, SIdentityRow{"LPS", "CLPS"},
                                           SIdentityRow{"LPS-4", "CMultiLPS"}));

TEST(SimEngine, FactoryBlockOfTheMainLaser)
{
    CSimEngine engine = MakeEngine("D560");
    EXPECT_EQ(engine.Request("las:fact:geta? 69,0,4"), "d0070000a00f0000401f0000803e0000");
    EXPECT_EQ(engine.Request("las:fact:geta? 69,3,2;ERR?"), "201");
}
} // namespace
