#include "instrument/laser/LaserProtocol.h"

#include <clocale>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
constexpr const char* kDefaultPollLine =
    ":LAS:CHAN?;:LAS:I?;:LAS:SET:I?;:LAS:MDI?;:LAS:SET:MDI?;:LAS:MDP?;"
    ":LAS:SET:MDP?;:LAS:LDV?;:LAS:SET:LDV?;:LAS:OUT?;:LAS:MODE?;:LAS:VBULK?;";

std::string Joined(const std::vector<std::string>& parts)
{
    std::string line;
    for (const auto& part : parts)
        line += part;
    return line;
}

std::vector<std::string> DefaultReplyFields()
{
    return {"1", "100.25", "100.00", "12.5", "12.0", "0.812", "0.800", "1.9034", "2.5", "1", "ILBW", "11.8"};
}
} // namespace

TEST(LaserProtocol, DefaultFlagsPollEveryReadingButVPeak)
{
    EXPECT_EQ(Joined(LaserProtocol::PollQueries(LaserPollDefault)), kDefaultPollLine);
    EXPECT_EQ(Joined(LaserProtocol::PollQueries(LaserPollVPeak | LaserPollLDI)),
              ":LAS:CHAN?;:LAS:I?;:LAS:VPEAK?;");
    // Cache-only bits add nothing to the line.
    EXPECT_EQ(Joined(LaserProtocol::PollQueries(LaserPollFrequency | LaserPollPulseWidth)), ":LAS:CHAN?;");
}

TEST(LaserProtocol, TwelveFieldReplyDecodesInQueryOrder)
{
    const auto reply = LaserProtocol::ParsePollReply(LaserPollDefault, DefaultReplyFields());
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->channel, 1);
    ASSERT_EQ(reply->values.size(), 11u);
    EXPECT_EQ(reply->values[0].item, LaserPollItem::LDI);
    EXPECT_DOUBLE_EQ(reply->values[0].value, 100.25);
    EXPECT_EQ(reply->values[0].precision, 2);
    EXPECT_EQ(reply->values[4].item, LaserPollItem::MDP);
    EXPECT_EQ(reply->values[4].precision, 3);
    EXPECT_EQ(reply->values[6].item, LaserPollItem::LDV);
    EXPECT_EQ(reply->values[6].precision, 4);
    EXPECT_EQ(reply->values[8].item, LaserPollItem::Output);
    EXPECT_DOUBLE_EQ(reply->values[8].value, 1.0);
    EXPECT_EQ(reply->values[9].text, "ILBW");
    EXPECT_EQ(reply->values[10].item, LaserPollItem::VBulk);
}

TEST(LaserProtocol, RepliesThatMustNotBeUsedAreRejectedWhole)
{
    auto shortReply = DefaultReplyFields();
    shortReply.pop_back();
    EXPECT_FALSE(LaserProtocol::ParsePollReply(LaserPollDefault, shortReply));

    auto longReply = DefaultReplyFields();
    longReply.push_back("3.3");
    EXPECT_FALSE(LaserProtocol::ParsePollReply(LaserPollDefault, longReply));

    auto garbled = DefaultReplyFields();
    garbled[3] = "12.5#";
    EXPECT_FALSE(LaserProtocol::ParsePollReply(LaserPollDefault, garbled));

    auto badChannel = DefaultReplyFields();
    badChannel[0] = "";
    EXPECT_FALSE(LaserProtocol::ParsePollReply(LaserPollDefault, badChannel));
}

struct ModeRow
{
    const char* reply;
    int mode;
};

class LaserModeNames : public testing::TestWithParam<ModeRow>
{
};

TEST_P(LaserModeNames, MapToCodes)
{
    EXPECT_EQ(LaserProtocol::ParseModeName(GetParam().reply), GetParam().mode);
}

INSTANTIATE_TEST_SUITE_P(Replies, LaserModeNames,
                         testing::Values(ModeRow{"ILBW", 1}, ModeRow{"I", 1}, ModeRow{"ICW", 0},
                                         ModeRow{"IHBW", 2}, ModeRow{"PULSE", 3}, ModeRow{"TRIG", 4},
                                         ModeRow{"BURST", 5}, ModeRow{"MDI", 6}, ModeRow{"MDP", 7},
                                         ModeRow{"LDV", 8}, ModeRow{"ldv", 0}, ModeRow{"", 0},
                                         ModeRow{"MDP ", 7}));

TEST(LaserProtocol, ModeCommandsOnlyForKnownCodes)
{
    EXPECT_EQ(LaserProtocol::ModeCommand(1), ":LAS:MODE:ICW\r\n");
    EXPECT_EQ(LaserProtocol::ModeCommand(8), ":LAS:MODE:LDV\r\n");
    EXPECT_EQ(LaserProtocol::ModeCommand(0), "");
    EXPECT_EQ(LaserProtocol::ModeCommand(9), "");
    EXPECT_EQ(LaserProtocol::ModeCommand(-1), "");
}

struct TruncRow
{
    double value;
    int decimals;
    const char* text;
};

class LaserTruncation : public testing::TestWithParam<TruncRow>
{
};

// The formatted text is what goes on the wire, so the rows compare text.
TEST_P(LaserTruncation, TowardZeroWithoutRepresentationLoss)
{
    const auto& row = GetParam();
    EXPECT_EQ(
        LaserProtocol::FormatFixed(LaserProtocol::TruncateDecimals(row.value, row.decimals), row.decimals),
        row.text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LaserTruncation,
    testing::Values(TruncRow{150.9, 0, "150"}, TruncRow{12.37, 1, "12.3"}, TruncRow{0.0015, 3, "0.001"},
                    TruncRow{-12.37, 1, "-12.3"}, TruncRow{-0.4, 0, "0"},
                    // Stored as 5.0999999..., 0.3 as 0.29999...: the typed value must survive.
                    TruncRow{5.1, 1, "5.1"}, TruncRow{0.3, 1, "0.3"}, TruncRow{2.675, 3, "2.675"},
                    TruncRow{99.99, 1, "99.9"}, TruncRow{1000.0, 1, "1000.0"}));

TEST(LaserProtocol, NumbersAreReadStrictly)
{
    EXPECT_DOUBLE_EQ(*LaserProtocol::ParseNumber(" +1.250 "), 1.25);
    EXPECT_DOUBLE_EQ(*LaserProtocol::ParseNumber("-3e-2"), -0.03);
    EXPECT_FALSE(LaserProtocol::ParseNumber("1,250"));
    EXPECT_FALSE(LaserProtocol::ParseNumber("abc"));
    EXPECT_FALSE(LaserProtocol::ParseNumber(""));
    EXPECT_EQ(*LaserProtocol::ParseInteger("42\r"), 42);
    EXPECT_FALSE(LaserProtocol::ParseInteger("4.2"));
    const auto pair = LaserProtocol::ParseNumberPair("1.500000, 0.250000");
    ASSERT_TRUE(pair);
    EXPECT_DOUBLE_EQ(pair->first, 1.5);
    EXPECT_DOUBLE_EQ(pair->second, 0.25);
    EXPECT_FALSE(LaserProtocol::ParseNumberPair("1.5"));
    const auto list = LaserProtocol::ParseNumberList("0.001, 0.1,1.0 , 0.000000,100");
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, (std::vector<double>{0.001, 0.1, 1.0, 0.0, 100.0}));
    EXPECT_FALSE(LaserProtocol::ParseNumberList("0.001,,1"));
    EXPECT_FALSE(LaserProtocol::ParseNumberList(""));
}

TEST(LaserProtocol, PrecisionIsDigitsAfterThePoint)
{
    EXPECT_EQ(LaserProtocol::CountDecimals("100.250"), 3);
    EXPECT_EQ(LaserProtocol::CountDecimals("100"), 0);
    EXPECT_EQ(LaserProtocol::CountDecimals("1.5e3"), 1);
    EXPECT_EQ(LaserProtocol::CountDecimals("-0."), 0);
}

// Instrument programs usually break under a decimal-comma locale: numbers must keep ".".
TEST(LaserProtocol, DecimalCommaLocaleChangesNothing)
{
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    const std::string formatted = LaserProtocol::FormatFixed(150.5, 6);
    const auto parsed = LaserProtocol::ParseNumber("12.375");
    const auto reply = LaserProtocol::ParsePollReply(LaserPollDefault, DefaultReplyFields());
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(formatted, "150.500000");
    ASSERT_TRUE(parsed);
    EXPECT_DOUBLE_EQ(*parsed, 12.375);
    ASSERT_TRUE(reply);
    EXPECT_DOUBLE_EQ(reply->values[0].value, 100.25);
}
