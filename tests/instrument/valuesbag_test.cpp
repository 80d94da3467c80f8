#include "FakeBagInstrument.h"
#include "instrument/valuebags/ValuesBagEED310.h"
#include "instrument/valuebags/ValuesBagEED312.h"
#include "instrument/valuebags/ValuesBagEED710.h"
#include "instrument/valuebags/ValuesBagEEK705.h"
#include "instrument/valuebags/ValuesBagEEK760.h"
#include "instrument/valuebags/ValuesBagEEK910.h"
#include "instrument/valuebags/ValuesBagEEX510.h"
#include "instrument/valuebags/ValuesBagEEv3Combo.h"

#include <algorithm>
#include <clocale>
#include <cstring>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

namespace
{
constexpr uint32_t kMaxT = 0x47002C;    // 4653100
constexpr uint32_t kMaxIte = 0x480007;  // 4718599
constexpr uint32_t kCapBits = 0x470032; // 4653106

struct PrefixCase
{
    uint32_t key;
    const char* prefix;
};

void PrintTo(const PrefixCase& c, std::ostream* os)
{
    *os << "0x" << std::hex << c.key;
}

class CommandPrefixTest : public ::testing::TestWithParam<PrefixCase>
{
};

TEST_P(CommandPrefixTest, FollowsFamilyAndArea)
{
    EXPECT_EQ(CValuesBagEE::GetCommandPrefix(GetParam().key), GetParam().prefix);
}

INSTANTIATE_TEST_SUITE_P(Keys, CommandPrefixTest,
                         ::testing::Values(PrefixCase{0x47002C, ":TEC:USER"},
                                           PrefixCase{0x480007, ":TEC:FACT"},
                                           PrefixCase{0x370016, ":LAS:USER"},
                                           PrefixCase{0x380014, ":LAS:FACT"}, PrefixCase{0x270001, ":USER"},
                                           PrefixCase{0x280001, ":FACT"}, PrefixCase{0x490001, ":TEC"},
                                           PrefixCase{0x120001, ""}));

struct WriteCase
{
    uint32_t key;
    BAG_VARIANT value;
    size_t size;
    const char* command;
};

BAG_VARIANT Int(uint16_t type, int64_t number)
{
    BAG_VARIANT v;
    v.type = type;
    v.intValue = number;
    return v;
}

BAG_VARIANT Float(float number)
{
    BAG_VARIANT v;
    v.type = BAG_R4;
    v.floatValue = number;
    return v;
}

BAG_VARIANT Bytes(uint16_t type, std::vector<uint8_t> bytes)
{
    BAG_VARIANT v;
    v.type = type;
    v.bytes = std::move(bytes);
    return v;
}

void PrintTo(const WriteCase& c, std::ostream* os)
{
    *os << c.command;
}

class FormatWriteTest : public ::testing::TestWithParam<WriteCase>
{
};

TEST_P(FormatWriteTest, IsExact)
{
    EXPECT_EQ(CValuesBagEEVer2::FormatWrite(GetParam().key, GetParam().value, GetParam().size),
              GetParam().command);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatWriteTest,
    ::testing::Values(WriteCase{kMaxT, Float(1.0f), 4, ":TEC:USER:PUT 4653100,#E3f800000"},
                      WriteCase{kMaxT, Float(-99.5f), 4, ":TEC:USER:PUT 4653100,#Ec2c70000"},
                      WriteCase{kMaxIte, Int(BAG_UI2, 1500), 2, ":TEC:FACT:PUT 4718599,1500"},
                      WriteCase{0x380014, Int(BAG_UI4, 4000000000), 4, ":LAS:FACT:PUT 3670036,4000000000"},
                      WriteCase{kCapBits, Bytes(BAG_STRING, {'a', 'b', 0}), 16,
                                ":TEC:USER:PUTARRAY 4653106,0,3,616200"},
                      // the table size caps the length, terminator or not
                      WriteCase{kCapBits, Bytes(BAG_ARRAY, {1, 2, 0xAB, 4, 5}), 4,
                                ":TEC:USER:PUTARRAY 4653106,0,4,0102ab04"}));

struct ParseCase
{
    uint16_t type;
    const char* reply;
    bool ok;
    double number;
};

void PrintTo(const ParseCase& c, std::ostream* os)
{
    std::string reply = c.reply;
    std::replace(reply.begin(), reply.end(), '\r', '^');
    *os << c.type << " \"" << reply << '"';
}

class ParseReplyTest : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(ParseReplyTest, AcceptsOnlyAWholeNumberThatFits)
{
    BAG_VARIANT value;
    value.type = GetParam().type;
    ASSERT_EQ(CValuesBagEEVer2::ParseReply(GetParam().reply, value), GetParam().ok);
    if (GetParam().ok)
    {
        double got = value.type == BAG_R4 ? value.floatValue : static_cast<double>(value.intValue);
        EXPECT_DOUBLE_EQ(got, GetParam().number);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ParseReplyTest,
    ::testing::Values(ParseCase{BAG_R4, "150.5\r", true, 150.5}, ParseCase{BAG_R4, "-1e2", true, -100.0},
                      ParseCase{BAG_R4, "150,5", false, 0}, ParseCase{BAG_R4, "", false, 0},
                      ParseCase{BAG_R4, "nan", false, 0}, ParseCase{BAG_UI2, " 4000 ", true, 4000},
                      ParseCase{BAG_UI2, "70000", false, 0}, ParseCase{BAG_UI2, "12.5", false, 0},
                      ParseCase{BAG_UI1, "-1", false, 0},
                      ParseCase{BAG_I4, "-2147483648", true, -2147483648.0},
                      ParseCase{BAG_UI4, "4294967295", true, 4294967295.0},
                      ParseCase{BAG_I4, "123abc", false, 0}));

class KeyedBagTest : public ::testing::Test
{
protected:
    CFakeBagInstrument instrument;
    CValuesBagEEK760 bag{&instrument};
};

TEST_F(KeyedBagTest, GetQueriesOnceThenAnswersFromTheStore)
{
    instrument.replies[":TEC:USER:GET? 4653100"] = "150.5";
    bool found = false;
    EXPECT_FLOAT_EQ(bag.GetFloat(kMaxT, &found), 150.5f);
    EXPECT_TRUE(found);
    EXPECT_TRUE(bag.IsCached(kMaxT));
    EXPECT_FLOAT_EQ(bag.GetFloat(kMaxT, &found), 150.5f);
    EXPECT_EQ(instrument.sent, std::vector<std::string>{":TEC:USER:GET? 4653100"});

    // A forced read asks again and takes the new value.
    instrument.replies[":TEC:USER:GET? 4653100"] = "120";
    EXPECT_FLOAT_EQ(bag.GetFloat(kMaxT, &found, true), 120.0f);
    EXPECT_EQ(instrument.sent.size(), 2u);

    // Forgetting (disconnect) makes the next get read again.
    bag.Forget();
    EXPECT_FALSE(bag.IsCached(kMaxT));
    bag.GetFloat(kMaxT, &found);
    EXPECT_EQ(instrument.sent.size(), 3u);
}

TEST_F(KeyedBagTest, ReadsUnderTheDecimalCommaLocaleToo)
{
    const char* previous = std::setlocale(LC_ALL, nullptr);
    std::string saved = previous ? previous : "C";
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
    {
        GTEST_SKIP() << "de_DE.UTF-8 not installed";
    }
    instrument.replies[":TEC:USER:GET? 4653100"] = "-40.25";
    bool found = false;
    float value = bag.GetFloat(kMaxT, &found);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_TRUE(found);
    EXPECT_FLOAT_EQ(value, -40.25f);
}

TEST_F(KeyedBagTest, WriteThroughSendsThePutAndStores)
{
    EXPECT_TRUE(bag.SetFloat(kMaxT, 1.0f, true));
    ASSERT_EQ(instrument.sent.size(), 1u);
    EXPECT_EQ(instrument.sent[0], ":TEC:USER:PUT 4653100,#E3f800000\nerr?\n"); // with the error check
    bool found = false;
    EXPECT_FLOAT_EQ(bag.GetFloat(kMaxT, &found), 1.0f);
    EXPECT_EQ(instrument.sent.size(), 1u);

    // Without write-through only the store changes.
    EXPECT_TRUE(bag.SetFloat(kMaxT, 2.0f, false));
    EXPECT_EQ(instrument.sent.size(), 1u);
    EXPECT_FLOAT_EQ(bag.GetFloat(kMaxT), 2.0f);
}

TEST_F(KeyedBagTest, UnknownKeyIsAbsentAndNothingIsSent)
{
    const uint32_t unknown = 0x4700FF;
    bool found = true;
    EXPECT_FALSE(bag.HasKey(unknown));
    EXPECT_EQ(bag.GetWireId(unknown), 0u);
    EXPECT_EQ(bag.GetFloat(unknown, &found), 0.0f);
    EXPECT_FALSE(found);
    EXPECT_EQ(bag.GetU16(unknown, &found, true), 0);
    EXPECT_FALSE(bag.SetFloat(unknown, 1.0f, true));
    EXPECT_FALSE(bag.SetInt(unknown, 1, false));
    EXPECT_TRUE(instrument.sent.empty());
    EXPECT_EQ(bag.GetWireId(kMaxT), kMaxT);
}

TEST_F(KeyedBagTest, RefusedWritesLeaveTheStoreUnchanged)
{
    ASSERT_TRUE(bag.SetFloat(kMaxT, 5.0f, false));

    bag.SetReadOnly(true);
    EXPECT_FALSE(bag.SetFloat(kMaxT, 6.0f, true));
    EXPECT_FALSE(bag.SetFloat(kMaxT, 6.0f, false));
    EXPECT_TRUE(instrument.sent.empty());
    bag.SetReadOnly(false);

    // The instrument refuses the value: its error lands in the list, the store keeps the old value.
    instrument.errorReply = "201";
    EXPECT_FALSE(bag.SetFloat(kMaxT, 7.0f, true));
    EXPECT_EQ(instrument.GetErrorCount(), 1);
    EXPECT_EQ(instrument.GetError(0, false).GetNumber(), 201);

    // Values the key's type cannot hold are refused before anything is sent.
    instrument.sent.clear();
    EXPECT_FALSE(bag.SetInt(0x480002, 256, true)); // 8-bit
    EXPECT_FALSE(bag.SetInt(kMaxIte, -1, true));   // unsigned
    EXPECT_FALSE(bag.SetString(kMaxIte, "12", true));
    EXPECT_FALSE(bag.SetFloat(kCapBits, 1.0f, true));
    EXPECT_TRUE(instrument.sent.empty());

    bool found = false;
    EXPECT_FLOAT_EQ(bag.GetFloat(kMaxT, &found), 5.0f);
    EXPECT_TRUE(found);
}

TEST_F(KeyedBagTest, DisconnectedInstrumentReadsNothingAndRefusesWriteThrough)
{
    instrument.open = false;
    bool found = true;
    bag.GetFloat(kMaxT, &found);
    EXPECT_FALSE(found);
    EXPECT_FALSE(bag.SetFloat(kMaxT, 1.0f, true));
    EXPECT_FALSE(bag.IsCached(kMaxT));
    EXPECT_TRUE(bag.SetFloat(kMaxT, 1.0f, false)); // local copy only
}

TEST_F(KeyedBagTest, FailedReadLeavesTheValueAbsent)
{
    instrument.replies[":TEC:FACT:GET? 4718599"] = "4000";
    bool found = false;
    EXPECT_EQ(bag.GetInt(kMaxIte, &found), 4000);
    instrument.replies[":TEC:FACT:GET? 4718599"] = "garbage";
    EXPECT_EQ(bag.GetInt(kMaxIte, &found, true), 0);
    EXPECT_FALSE(found);
    EXPECT_FALSE(bag.IsCached(kMaxIte));
}

TEST_F(KeyedBagTest, StringsTravelAsHexBytesAndConvertToNumbers)
{
    EXPECT_TRUE(bag.SetString(kCapBits, "abcdefghijklmnopqrstuvwxyz", true));
    EXPECT_EQ(instrument.sent.back(),
              ":TEC:USER:PUTARRAY 4653106,0,16,6162636465666768696a6b6c6d6e6f70\nerr?\n");
    EXPECT_EQ(bag.GetString(kCapBits), "abcdefghijklmnop"); // what the key holds

    instrument.replies[":TEC:USER:GET? 4653106"] = "31 00 00";
    bool found = false;
    EXPECT_EQ(bag.GetString(kCapBits, &found, true), "1");
    EXPECT_EQ(bag.GetInt(kCapBits, &found), 1);
    EXPECT_TRUE(found);
}

// A raw-memory bag over a table with a byte-swapped value and a value larger than one read chunk.
constexpr SBagKeyInfo kRawTable[] = {
    {0x480007, BAG_UI2, 8, 2, true},
    {0x47002C, BAG_R4, 104, 4, false},
    {0x470040, BAG_ARRAY, 200, 40, false},
    {0x470041, BAG_STRING, 300, 8, false},
};

class RawBagTest : public ::testing::Test
{
protected:
    CFakeBagInstrument instrument;
    CValuesBagEEVer1 bag{&instrument, kRawTable};
};

TEST_F(RawBagTest, ReadsMultiByteValuesWithTheByteSwap)
{
    instrument.Poke(8, 8, {0x0F, 0xA0});
    float maxT = 150.5f;
    std::vector<uint8_t> floatBytes(4);
    std::memcpy(floatBytes.data(), &maxT, 4);
    instrument.Poke(7, 104, floatBytes);

    bool found = false;
    EXPECT_EQ(bag.GetU16(0x480007, &found), 4000); // stored most significant byte first
    EXPECT_TRUE(found);
    EXPECT_FLOAT_EQ(bag.GetFloat(0x47002C, &found), 150.5f);
    EXPECT_EQ(instrument.sent, (std::vector<std::string>{"!!READ 8, 2, 8\r", "!!READ 104, 4, 7\r"}));
}

TEST_F(RawBagTest, ReadsLongValuesInChunksOfAtMost32Bytes)
{
    std::vector<uint8_t> pattern(40);
    for (size_t i = 0; i < pattern.size(); ++i)
    {
        pattern[i] = static_cast<uint8_t>(i * 3);
    }
    instrument.Poke(7, 200, pattern);
    std::vector<uint8_t> got;
    ASSERT_TRUE(bag.GetArray(0x470040, got));
    EXPECT_EQ(got, pattern);
    EXPECT_EQ(instrument.sent, (std::vector<std::string>{"!!READ 200, 32, 7\r", "!!READ 232, 8, 7\r"}));
}

TEST_F(RawBagTest, WritesBytesWithRetriesThenChecksErrors)
{
    instrument.failingSends = 2; // the first byte goes through on its third try
    ASSERT_TRUE(bag.SetU16(0x480007, 0x1234, true));
    EXPECT_EQ(instrument.Peek(8, 8, 2), (std::vector<uint8_t>{0x12, 0x34}));
    EXPECT_EQ(std::count(instrument.sent.begin(), instrument.sent.end(), "!!WRITE 8, 18, 8\r"), 3);
    EXPECT_EQ(std::count(instrument.sent.begin(), instrument.sent.end(), "!!WRITE 9, 52, 8\r"), 1);

    // Three failed sends of a byte fail the write; the store keeps the earlier value.
    instrument.failingSends = 3;
    EXPECT_FALSE(bag.SetU16(0x480007, 0x5678, true));
    EXPECT_EQ(bag.GetU16(0x480007), 0x1234);

    // An instrument that reports an error after the write fails it as well.
    instrument.errorReply = "124";
    EXPECT_FALSE(bag.SetFloat(0x47002C, 3.0f, true));
    EXPECT_FALSE(bag.IsCached(0x47002C));
    EXPECT_GE(instrument.GetErrorCount(), 1);
}

TEST_F(RawBagTest, StringWriteStopsAfterItsTerminator)
{
    ASSERT_TRUE(bag.SetString(0x470041, "ab", true));
    int writes =
        static_cast<int>(std::count_if(instrument.sent.begin(), instrument.sent.end(),
                                       [](const std::string& s) { return s.starts_with("!!WRITE"); }));
    EXPECT_EQ(writes, 3);
    EXPECT_EQ(instrument.Peek(7, 300, 4), (std::vector<uint8_t>{'a', 'b', 0, 0xFF}));
}

// Every model's map must hold the keys its family reads, with no key twice and no two values
// overlapping in one memory area.
struct ModelCase
{
    const char* name;
    std::span<const SBagKeyInfo> map;
    std::vector<uint32_t> required;
};

const std::vector<uint32_t> kTecKeys = {0x47002C, 0x47002D, 0x47002E, 0x480005, 0x480007, 0x480009,
                                        0x470028, 0x470029, 0x47002A, 0x47001D, 0x470027, 0x470030};
const std::vector<uint32_t> kLaserKeys = {0x380014, 0x380015, 0x380016, 0x380017, 0x370010, 0x370011,
                                          0x370015, 0x370031, 0x38001A, 0x38001F, 0x380047};

std::vector<uint32_t> Both(std::vector<uint32_t> a, const std::vector<uint32_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void PrintTo(const ModelCase& c, std::ostream* os)
{
    *os << c.name;
}

class ModelMapTest : public ::testing::TestWithParam<ModelCase>
{
};

TEST_P(ModelMapTest, HoldsTheFamilyKeysWithoutOverlaps)
{
    const auto& map = GetParam().map;
    for (uint32_t key : GetParam().required)
    {
        EXPECT_TRUE(std::any_of(map.begin(), map.end(), [key](const SBagKeyInfo& r) { return r.key == key; }))
            << std::hex << key;
    }
    for (size_t i = 0; i < map.size(); ++i)
    {
        for (size_t j = i + 1; j < map.size(); ++j)
        {
            EXPECT_NE(map[i].key, map[j].key);
            const bool sameArea = ((map[i].key >> 16) & 0xF) == ((map[j].key >> 16) & 0xF);
            const bool overlap = map[i].address < map[j].address + map[j].size &&
                                 map[j].address < map[i].address + map[i].size;
            EXPECT_FALSE(sameArea && overlap) << std::hex << map[i].key << " and " << map[j].key;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Models, ModelMapTest,
    ::testing::Values(ModelCase{"D310", ValuesBagMaps::D310(), kLaserKeys},
                      ModelCase{"D710", ValuesBagMaps::D710(), kLaserKeys},
                      ModelCase{"D312", ValuesBagMaps::D312(), Both(kLaserKeys, {0x370016})},
                      ModelCase{"K705", ValuesBagMaps::K705(), kTecKeys},
                      ModelCase{"K760", ValuesBagMaps::K760(),
                                Both(kTecKeys, {0x480026, 0x48002C, 0x470032})},
                      ModelCase{"K910", ValuesBagMaps::K910(), Both(kTecKeys, {0x470032})},
                      ModelCase{"X510", ValuesBagMaps::X510(), Both(Both(kTecKeys, kLaserKeys), {0x370016})},
                      ModelCase{"v3Combo", ValuesBagMaps::V3Combo(), Both(kTecKeys, kLaserKeys)}),
    [](const auto& info) { return std::string(info.param.name); });
} // namespace
