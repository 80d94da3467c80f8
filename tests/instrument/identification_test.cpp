#include "instrument/session/DetectInstrument.h"
#include "instrument/session/Identification.h"
#include "instrument/session/InstrBase.h"
#include "support/ScriptedUnit.h"

#include <clocale>
#include <future>
#include <gtest/gtest.h>
#include <optional>

using namespace std::chrono_literals;

namespace
{

using Identification::SCodes;

// ---------------------------------------------------------------------------------------------------
// Pure pieces

struct SModelRow
{
    const char* model;
    std::optional<std::array<int, 3>> detection;  // detection table
    std::optional<std::array<int, 3>> instrument; // the instrument object's table
};

std::optional<std::array<int, 3>> Classify(bool detection, const char* model)
{
    SCodes codes{-1, -1, -1};
    bool found = detection ? Identification::ClassifyDetectionModel(model, codes)
                           : Identification::ClassifyInstrumentModel(model, codes);
    if (!found)
        return std::nullopt;
    return std::array<int, 3>{codes.familyCode, codes.modelCode, codes.variantCode};
}

TEST(ModelTables, TablesDifferWhereTheirRowsDo)
{
    using A = std::array<int, 3>;
    const SModelRow rows[] = {
        {"K19-2", A{2, 4, 7}, A{2, 4, 7}},
        {"D19-1", std::nullopt, A{1, 2, 3}},
        {"K706", A{2, 4, 4}, A{2, 4, 6}},
        {"K708", A{2, 4, 9}, std::nullopt},
        {"K910", A{2, 4, 5}, A{2, 4, 5}},
        {"K9100", A{2, 4, 5}, std::nullopt}, // the instrument table wants exactly four characters
        {"D310", A{1, 1, 1}, A{1, 1, 1}},
        {"D710", std::nullopt, A{1, 2, 2}},
        {"M606-R4", A{1, 19, 37}, std::nullopt},
        {"M607", A{3, 20, 38}, std::nullopt},
        {"K760", std::nullopt, std::nullopt},
    };
    for (const SModelRow& row : rows)
    {
        EXPECT_EQ(Classify(true, row.model), row.detection) << row.model;
        EXPECT_EQ(Classify(false, row.model), row.instrument) << row.model;
    }
}

TEST(Makers, DetectionFindsTheMakerAnywhereIdentifyOnlyAtTheStart)
{
    EXPECT_TRUE(Identification::ContainsMaker("OEM unit by Tamrix Instruments"));
    EXPECT_FALSE(Identification::StartsWithMaker("OEM unit by Tamrix Instruments"));
    for (const char* idn : {"Tamrix Instruments,K760", "Norlase,LX2", "Labsphere,LPS-100"})
    {
        EXPECT_TRUE(Identification::StartsWithMaker(idn)) << idn;
        EXPECT_TRUE(Identification::ContainsMaker(idn)) << idn;
    }
    EXPECT_FALSE(Identification::ContainsMaker("ACME,Scope 3000"));
    EXPECT_FALSE(Identification::StartsWithMaker("tamrix"));
}

TEST(ReplyForms, AnAnswerToAnotherIdentityQuestionDoesNotFit)
{
    using namespace Identification;
    EXPECT_TRUE(IsRevisionReply("2.13.30.331,0"));
    EXPECT_TRUE(IsRevisionReply("123")); // "REV?" refused: only the error number
    EXPECT_FALSE(IsRevisionReply("76042"));
    EXPECT_FALSE(IsRevisionReply("0"));
    EXPECT_FALSE(IsRevisionReply("2.13.30.331,Tamrix"));
    EXPECT_FALSE(IsRevisionReply(""));

    EXPECT_TRUE(IsIdentityText("76042"));
    EXPECT_TRUE(IsIdentityText("K19-2"));
    EXPECT_FALSE(IsIdentityText("Tamrix Instruments,K760,76042,v2.4.21")); // a late "*IDN?" answer
    EXPECT_FALSE(IsIdentityText("1,25.000"));
    EXPECT_FALSE(IsIdentityText(""));

    EXPECT_TRUE(IsVersionText("v2.4.21"));
    EXPECT_FALSE(IsVersionText("Tamrix Instruments,K760,76042,v2.4.21"));
    EXPECT_FALSE(IsVersionText("B331"));

    EXPECT_TRUE(IsBuildText("B331"));
    EXPECT_FALSE(IsBuildText("76042"));
    EXPECT_FALSE(IsBuildText("v2.4.21"));
    EXPECT_FALSE(IsBuildText("B"));
}

TEST(Revision, SplitsIntoCodesWithMissingFieldsZero)
{
    std::array<int, 4> codes{};
    EXPECT_EQ(Identification::SplitRevision("2.4.7.37", codes), 4);
    EXPECT_EQ(codes, (std::array<int, 4>{2, 4, 7, 37}));
    EXPECT_EQ(Identification::SplitRevision("4.16.26.3,0", codes), 4); // "REV?;ERR?" reply
    EXPECT_EQ(codes, (std::array<int, 4>{4, 16, 26, 3}));
    EXPECT_EQ(Identification::SplitRevision("1.2", codes), 2);
    EXPECT_EQ(codes, (std::array<int, 4>{1, 2, 0, 0}));
    EXPECT_TRUE(Identification::IsNoRevision("123"));
    EXPECT_FALSE(Identification::IsNoRevision("1.2.3.123"));
}

// The version numbers must not depend on the user's decimal separator.
TEST(Version, ParsedTheSameUnderADecimalCommaLocale)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    struct SRow
    {
        const char* text;
        int count, major, minor;
    } rows[] = {
        {"v2.4", 2, 2, 4}, {"v1.10.3", 2, 1, 10}, {"v3", 1, 3, 0}, {"2.4", 0, 0, 0}, {"v 5. 6", 2, 5, 6}};
    for (const SRow& row : rows)
    {
        int major = 0, minor = 0;
        EXPECT_EQ(Identification::ParseVersion(row.text, major, minor), row.count) << row.text;
        EXPECT_EQ(major, row.major) << row.text;
        EXPECT_EQ(minor, row.minor) << row.text;
    }
    std::setlocale(LC_ALL, saved.c_str());
}

// ---------------------------------------------------------------------------------------------------
// Detection and connection against a scripted unit

std::array<int, 6> Fields(const SIdentRecord& r)
{
    return {r.familyCode, r.modelCode, r.variantCode, r.buildNumber, r.versionMajor, r.versionMinor};
}

// A unit answering over loopback TCP when network is set, else over a pty.
SIdentRecord Detect(ScriptedUnit& unit, bool network, int baud = 0)
{
    SIdentRecord record;
    if (!network)
    {
        unit.StartSerial();
        DetectInstrument(unit.SerialDescriptor(baud), record);
        return record;
    }
    auto detection =
        std::async(std::launch::async, [&] { DetectInstrument(unit.NetworkDescriptor(), record); });
    EXPECT_TRUE(unit.AcceptNetwork(2000));
    detection.get();
    return record;
}

TEST(Detect, MakerAfterOtherTextIsAccepted)
{
    ScriptedUnit unit;
    unit.ScriptIdentity("OEM Tamrix K760", "2.4.7.37", "K760", "B37", "v2.4.1");
    EXPECT_EQ(Fields(Detect(unit, false, 38400)), (std::array<int, 6>{2, 4, 7, 37, 2, 4}));
}

TEST(Detect, NetworkDescriptorGoesOnToTheRevisionWithoutAMaker)
{
    ScriptedUnit unit;
    unit.SetAnswer("*IDN?", "ACME,Scope");
    SIdentRecord record = Detect(unit, true);
    EXPECT_EQ(record.familyCode, 0);
    EXPECT_EQ(unit.Count("REV?;ERR?"), 1u);
}

TEST(Detect, UnopenablePortLeavesTheRecordZero)
{
    SIdentRecord record{1, 2, 3, 4, 5, 6, false, "queued"};
    DetectInstrument("COM:254:0", record);
    EXPECT_EQ(Fields(record), (std::array<int, 6>{0, 0, 0, 0, 5, 6}));
    EXPECT_TRUE(record.queuedErrors.empty()) << "errors of an earlier detection";
}

// ---------------------------------------------------------------------------------------------------

class ConnectTest : public ::testing::Test
{
protected:
    void SetUp() override { instr.SetDefaultTimeout(300); }

    ScriptedUnit unit;
    CInstrBase instr;
};

TEST_F(ConnectTest, MakerAfterOtherTextIsRefusedByIdentify)
{
    unit.ScriptIdentity("OEM Tamrix K760", "2.4.7.37", "K760", "B37", "v1.3");
    unit.StartSerial();
    EXPECT_FALSE(instr.Connect(unit.SerialDescriptor(38400)));
    EXPECT_FALSE(instr.IsPortOpen());
    EXPECT_EQ(unit.Count("*IDN?"), 6u);
}

TEST_F(ConnectTest, NetworkDescriptorNeverFallsBack)
{
    unit.SetAnswer("*IDN?", "Tamrix Instruments,K760"); // but no "BUILD?": the probe fails
    auto connected = std::async(std::launch::async, [&] { return instr.Connect(unit.NetworkDescriptor()); });
    ASSERT_TRUE(unit.AcceptNetwork(2000));
    EXPECT_FALSE(connected.get());
    EXPECT_EQ(unit.Count("BUILD?"), 2u); // the probe asks twice, on this one connection
}

TEST(ConnectDrain, TalkAfterTheSettingsIsReadAwayAndAQuietLineIsNotWaitedOutForATimeOut)
{
    // The unit acknowledges the settings in words before its error check: the check reads the words,
    // the drain the check's answer, and the identification starts on a quiet line.
    ScriptedUnit unit;
    unit.ScriptIdentity("Tamrix Instruments,K760", "2.4.7.37", "K760", "B37", "v2.4.1");
    unit.SetOverride(
        [](const std::string& line, std::string& reply)
        {
            if (line.rfind("TERMINAL OFF", 0) != 0)
                return false;
            reply = "Terminal off\r\n";
            return true;
        });
    unit.StartSerial();
    CInstrBase instr; // the default time-out
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(instr.Connect(unit.SerialDescriptor(38400)));
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(CInstrBase::DefaultTimeoutMs));
    EXPECT_EQ(unit.Count("TERMINAL OFF;REMERR 0;RADIX DEC;HEXFLOAT 0"), 1u);
    EXPECT_EQ(unit.Count("*IDN?"), 1u) << "the identity was asked on a line still talking";
}

} // namespace
