// Pure parts of the TEC channel: reply parsing, formatting, sensor facts, reading histories.
#include "instrument/session/ReadingHistory.h"
#include "instrument/tec/TecProtocol.h"
#include "instrument/tec/TecTypes.h"

#include <clocale>
#include <cstdio>
#include <gtest/gtest.h>
#include <locale.h>

namespace
{
using namespace TecProtocol;

TEST(ReadingHistory, TheEleventhValueDropsTheFirst)
{
    ReadingHistory history;
    EXPECT_EQ(history.Average(), 0.0f);
    for (int i = 1; i <= 10; ++i)
    {
        history.Append(static_cast<float>(i));
    }
    EXPECT_FLOAT_EQ(history.Average(), 5.5f);
    history.Append(11.0f);
    EXPECT_EQ(history.Count(), 10u);
    EXPECT_FLOAT_EQ(history.Average(), 6.5f); // 2..11
    history.Clear();
    history.Append(3.0f);
    EXPECT_FLOAT_EQ(history.Average(), 3.0f);
}

TEST(TecReplies, NumbersAreStrictAndIgnoreSurroundingBlanks)
{
    EXPECT_EQ(ParseFloat(" 25.125\r"), 25.125f);
    EXPECT_EQ(ParseFloat("+1.5"), 1.5f);
    EXPECT_EQ(ParseFloat("-0.25"), -0.25f);
    EXPECT_FALSE(ParseFloat(""));
    EXPECT_FALSE(ParseFloat("25,1"));
    EXPECT_FALSE(ParseFloat("1.2.3"));
    EXPECT_EQ(ParseInt("0"), 0);
    EXPECT_FALSE(ParseInt("1.5"));
    EXPECT_FALSE(ParseInt("x"));
}

TEST(TecReplies, NamesAndLists)
{
    EXPECT_EQ(ParseModeName("ITE"), TecModeITE);
    EXPECT_EQ(ParseModeName("T"), TecModeT);
    EXPECT_EQ(ParseModeName("TT"), TecModeUnknown);
    EXPECT_EQ(ParseGain("PID"), 0);
    EXPECT_EQ(ParseGain("100"), 100);
    EXPECT_EQ(ParseHeatCool("COOL"), CoolOnly);
    EXPECT_EQ(ParseHeatCool("?"), HeatCoolBoth);
    float pid[3] = {};
    EXPECT_TRUE(ParseFloatList("1.5, 0.25, 0", pid));
    EXPECT_EQ(pid[2], 0.0f);
    EXPECT_FALSE(ParseFloatList("1.5, 0.25", pid));
}

TEST(TecReplies, FanSettingSurvivesARoundTrip)
{
    const auto slow = ParseFan("SLOW, 2, 7");
    ASSERT_TRUE(slow);
    EXPECT_EQ(slow->mode, FanSlow);
    EXPECT_EQ(FormatFan(slow->mode, slow->voltage, slow->first, slow->second), "TEC:FAN SLOW, 2, 7\n");
    const auto custom = ParseFan("7.5,1,3");
    ASSERT_TRUE(custom);
    EXPECT_EQ(custom->mode, FanVoltage);
    EXPECT_EQ(FormatFan(custom->mode, custom->voltage, custom->first, custom->second), "TEC:FAN 7.5, 1, 3\n");
    EXPECT_EQ(FormatFan(99, 0.0f, 0, 0), "TEC:FAN OFF, 1, 0\n");
    EXPECT_FALSE(ParseFan("LOUD, 1, 1"));
    EXPECT_FALSE(ParseFan("ON, 1"));
}

TEST(TecReplies, FirmwareVersionNumbers)
{
    EXPECT_EQ(ParseVersionNumbers("v2.4.9"), (std::array<int, 3>{2, 4, 9}));
    EXPECT_EQ(ParseVersionNumbers("v3.1"), (std::array<int, 3>{3, 1, 0}));
    EXPECT_EQ(ParseVersionNumbers(""), (std::array<int, 3>{0, 0, 0}));
}

TEST(TecSensors, MaskBitsAndUnknownTypes)
{
    const int bits[] = {-1, 0, 1, 3, 4, 5, 6, 2, 7, -1};
    for (int code = 0; code <= 9; ++code)
    {
        EXPECT_EQ(SensorMaskBit(code), bits[code]) << code;
    }
    EXPECT_STREQ(GetSensorTypeInfo(4).rUnits, "\u00B5A");
    EXPECT_EQ(GetSensorTypeInfo(8).minR, -1.0);
    EXPECT_STREQ(GetSensorTypeInfo(0).name, "");
}

// Instrument programs usually break where the user's locale writes a decimal comma.
TEST(TecReplies, NumbersKeepTheDecimalPointUnderACommaLocale)
{
    locale_t german = newlocale(LC_ALL_MASK, "de_DE.UTF-8", nullptr);
    if (!german)
    {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    }
    const locale_t previous = uselocale(german);
    char check[16];
    std::snprintf(check, sizeof check, "%.1f", 1.5);
    EXPECT_STREQ(check, "1,5"); // the locale is really in force
    EXPECT_EQ(FormatFixed(25.5, 6), "25.500000");
    EXPECT_EQ(ParseFloat("25.125"), 25.125f);
    EXPECT_EQ(FormatFan(FanVoltage, 7.5f, 0, 0), "TEC:FAN 7.5, 1, 0\n");
    uselocale(previous);
    freelocale(german);
}
TEST(TecFormat, SensorConstantsKeepSevenSignificantDigitsInPlainNotation)
{
    EXPECT_EQ(FormatSignificant(9e-8f), "0.00000009000000");
    EXPECT_EQ(FormatSignificant(1.129241e-3), "0.001129241");
    EXPECT_EQ(FormatSignificant(-5.775e-7), "-0.0000005775000");
    EXPECT_EQ(FormatSignificant(1.125), "1.125000");
    EXPECT_EQ(FormatSignificant(100.0), "100.000000");
    EXPECT_EQ(FormatSignificant(0.0), "0.000000");
}

} // namespace
