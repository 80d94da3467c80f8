#include "CliArgs.h"
#include "instrument/control/Setting.h"
#include "comm/PortRegistry.h"
#include "diag/IniProfile.h"
#include "diag/TempDir.h"
#include "instrument/laser/LaserProtocol.h"
#include "instrument/tec/TecTypes.h"

#include <clocale>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace
{
// Numbers typed by people and printed for them must not follow a decimal-comma locale.
class DecimalCommaLocale
{
public:
    DecimalCommaLocale() : m_previous(std::setlocale(LC_ALL, nullptr))
    {
        m_active = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    ~DecimalCommaLocale() { std::setlocale(LC_ALL, m_previous.c_str()); }
    bool Active() const { return m_active; }

private:
    std::string m_previous;
    bool m_active = false;
};

TEST(CliArgs, NumbersAreReadWithADecimalPointWhateverTheLocale)
{
    DecimalCommaLocale locale;
    EXPECT_EQ(ParseCliNumber("+2.5"), 2.5);
    EXPECT_EQ(ParseCliNumber("-5"), -5.0);
    EXPECT_EQ(ParseCliNumber("1e1"), 10.0);
    for (const char* bad : {"", "+", "2,5", "2.5x", " 2", "nan", "inf", "+-1"})
        EXPECT_EQ(ParseCliNumber(bad), std::nullopt) << bad;
    EXPECT_EQ(ParseCliInt("12"), 12);
    EXPECT_EQ(ParseCliInt("1.0"), std::nullopt);
}

TEST(CliArgs, OptionsTakeValuesEitherWayAndDashedNumbersStayPositional)
{
    const std::vector<SCliCommandSyntax> syntaxes{
        {"set", {"D", "NAME", "VALUE"}, 3, {{"channel", "K", ""}}, ""}};
    std::string error;
    const auto parsed = ParseCliArgs(syntaxes, {"set", "--channel=2", "D", "tec.t", "-5"}, error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->positionals, (std::vector<std::string>{"D", "tec.t", "-5"}));
    EXPECT_EQ(parsed->options.at("channel"), "2");
    const auto ended = ParseCliArgs(syntaxes, {"set", "D", "--", "--x", "1"}, error);
    ASSERT_TRUE(ended) << error;
    EXPECT_EQ(ended->positionals[1], "--x");
    EXPECT_TRUE(ParseCliArgs(syntaxes, {"set", "-h"}, error)->help);
}

struct SSettingCase
{
    const char* name;
    const char* value;
    SSetting::Kind kind;
    double number;
    int code;
};

TEST(CliSetting, NamesAndValuesMapToTheChannelsCodes)
{
    const SSettingCase cases[] = {
        {"tec.t", "-12.5", SSetting::Kind::Number, -12.5, 0},
        {"TEC.ITE", "0.25", SSetting::Kind::Number, 0.25, 0},
        {"tec.mode", "ite", SSetting::Kind::Mode, 0, TecModeITE},
        {"tec.output", "off", SSetting::Kind::Output, 0, 0},
        {"las.mode", "Ihbw", SSetting::Kind::Mode, 0, LaserModeIHBW},
        {"las.mode", "LDV", SSetting::Kind::Mode, 0, LaserModeLDV},
        {"las.output", "1", SSetting::Kind::Output, 0, 1},
    };
    for (const SSettingCase& row : cases)
    {
        std::string error;
        const auto setting = ParseSetting(row.name, row.value, error);
        ASSERT_TRUE(setting) << row.name << " " << row.value << ": " << error;
        EXPECT_EQ(setting->kind, row.kind) << row.name;
        EXPECT_EQ(setting->number, row.number) << row.name;
        EXPECT_EQ(setting->code, row.code) << row.name;
    }
    std::string error;
    EXPECT_FALSE(ParseSetting("tec.mode", "V", error));
    EXPECT_FALSE(ParseSetting("las.output", "maybe", error));
}

TEST(PersistedPortEntries, ReachOtherRegistriesOverTheSameStoreUntilRemoved)
{
    TempDir folder;
    CIniProfile store(folder.File("settings.ini"));
    CPortRegistry writer(store);
    CPortRegistry reader(store);
    ASSERT_TRUE(writer.Register(1, "/tmp/sim-link", true));
    EXPECT_EQ(reader.Resolve(1), "/tmp/sim-link");
    EXPECT_EQ(reader.ExplicitEntries(), (std::map<int, std::string>{{1, "/tmp/sim-link"}}));

    // An entry of the process wins over the stored one, and leaving it does not touch the store.
    ASSERT_TRUE(reader.Register(1, "/tmp/own"));
    EXPECT_EQ(reader.Resolve(1), "/tmp/own");
    reader.Unregister(1);
    EXPECT_EQ(reader.Resolve(1), "/tmp/sim-link");

    // A stored entry holds its number against devices seen for the first time.
    EXPECT_NE(reader.NumberFor("/dev/ttyUSB0", "/dev/ttyUSB0"), 1);

    ASSERT_TRUE(writer.Unregister(1, true));
    EXPECT_EQ(reader.Resolve(1), "");
    EXPECT_TRUE(reader.ExplicitEntries().empty());
}
} // namespace
