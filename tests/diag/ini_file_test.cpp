#include "TempDir.h"
#include "diag/IniFile.h"

#include <gtest/gtest.h>

namespace
{
const char* const kText = "; written by hand\n"
                          "[prog.exe]\r\n"
                          "  Settings = CategoryCount:1, Level:0, Status:1  \r\n"
                          "garbage line\n"
                          "=no key\n"
                          "Empty=\n"
                          "\n"
                          "[ Other ]\n"
                          "Settings=other\n"
                          "Quoted=\" padded \"\n";

TEST(IniFileTest, ReadsSectionsAndKeysIgnoringCaseAndNoise)
{
    const CIniFile ini = CIniFile::Parse(kText);
    EXPECT_EQ(ini.Get("prog.exe", "Settings"), "CategoryCount:1, Level:0, Status:1");
    EXPECT_EQ(ini.Get("PROG.EXE", "settings"), "CategoryCount:1, Level:0, Status:1");
    EXPECT_EQ(ini.Get("other", "Settings"), "other");
    EXPECT_EQ(ini.Get("Other", "Quoted"), " padded ");
    EXPECT_EQ(ini.Find("prog.exe", "Empty"), std::optional<std::string>(""));
    EXPECT_EQ(ini.Find("prog.exe", "Missing"), std::nullopt);
    EXPECT_EQ(ini.Find("nowhere", "Settings"), std::nullopt);
    EXPECT_EQ(ini.Find("prog.exe", "garbage line"), std::nullopt);
}

TEST(IniFileTest, RewriteChangesOnlyWhatWasSet)
{
    CIniFile ini = CIniFile::Parse(kText);
    ini.Set("prog.exe", "settings", "changed");
    ini.Set("prog.exe", "Added", "a, b");
    ini.Set("New", "Key", " spaced");
    EXPECT_TRUE(ini.DeleteSection("other"));
    EXPECT_FALSE(ini.DeleteSection("other"));

    EXPECT_EQ(ini.Serialize(), "; written by hand\n"
                               "[prog.exe]\n"
                               "Settings=changed\n"
                               "garbage line\n"
                               "=no key\n"
                               "Empty=\n"
                               "Added=a, b\n"
                               "\n"
                               "[New]\n"
                               "Key=\" spaced\"\n");
    const CIniFile again = CIniFile::Parse(ini.Serialize());
    EXPECT_EQ(again.Get("New", "Key"), " spaced");
    EXPECT_EQ(again.Get("prog.exe", "Added"), "a, b");
}

TEST(IniFileTest, LoadTreatsMissingFileAsEmptyButReportsUnreadable)
{
    TempDir dir;
    CIniFile ini;
    EXPECT_TRUE(ini.Load(dir.File("missing.ini")));
    EXPECT_EQ(ini.Serialize(), "");
    EXPECT_FALSE(ini.Load(dir.Path())); // a folder
    WriteFile(dir.File("a.ini"), kText);
    ASSERT_TRUE(ini.Load(dir.File("a.ini")));
    EXPECT_EQ(ini.Get("Other", "Settings"), "other");
}

// An entry whose key begins with '[' and whose value ends with ']' must not come back as a section
// header; NUL and bytes above 0x7f inside a value are kept as they are.
TEST(IniFileTest, WhatSerializeWritesParsesBackToTheSameText)
{
    using namespace std::string_literals;
    const CIniFile odd = CIniFile::Parse("[=\"\0\xb8"
                                         "1? ]\""s);
    EXPECT_EQ(odd.Serialize(), "[=\"\0\xb8"
                               "1? ]\"\n"s);
    for (const std::string& text : {"[=\"\0\xb8"
                                    "1? ]\""s,
                                    "[x=\"y ]\"\n[s]\n[k=\"]\"\n"s, "[a]b=\"]\"\n"s, "x=\"\0\"\n[=\"\"\n"s})
    {
        const std::string once = CIniFile::Parse(text).Serialize();
        EXPECT_EQ(CIniFile::Parse(once).Serialize(), once) << testing::PrintToString(text);
    }
}
} // namespace
