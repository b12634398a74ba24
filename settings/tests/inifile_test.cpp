#include "settings/inifile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>
#include <string>

#include "settings/tests/iniscript.h"

TEST(ParseInt32, WholeStringSignedDecimalOnly) {
    std::int32_t v = 0;
    EXPECT_TRUE(ParseInt32("0", v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(ParseInt32("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_TRUE(ParseInt32("2147483647", v));
    EXPECT_EQ(v, INT32_MAX);
    EXPECT_TRUE(ParseInt32("+12", v));
    EXPECT_EQ(v, 12);
    v = 5;
    for (const char* bad : {"", "-", "+", "2147483648", "-2147483649", "99999999999999999999", "12abc", "0x10",
                            "$10", " 1", "1 ", "1.5", "--1"}) {
        EXPECT_FALSE(ParseInt32(bad, v)) << bad;
        EXPECT_EQ(v, 5) << bad;
    }
}

TEST(MemIniFile, ReadsLikeTheProfileFunctions) {
    TMemIniFile ini;
    ini.SetText(IniScriptText);
    EXPECT_EQ(ini.ReadString("Common", "Empty", "d"), "");      // empty is not absent
    EXPECT_EQ(ini.ReadString("Common", "Missing", "d"), "d");
    EXPECT_EQ(ini.ReadString("Common", "NoEquals", "d"), "d");  // no value at all
    EXPECT_EQ(ini.ReadString("common", "SPACED KEY", "d"), "spaced value");
    EXPECT_EQ(ini.ReadString("Common", "Quoted", "d"), "  inside  ");
    EXPECT_EQ(ini.ReadString("Common", "Single", "d"), "x");
    EXPECT_EQ(ini.ReadString("Common", "Mixed", "d"), "\"x'");
    EXPECT_EQ(ini.ReadString("Common", "OneQuote", "d"), "\"");
    EXPECT_EQ(ini.ReadString("Common", "Twice", "d"), "first");   // first duplicate wins
    EXPECT_EQ(ini.ReadString("Common", "ReadBlock", "d"), "20");  // first section wins
    EXPECT_EQ(ini.ReadString("Common", "Later", "d"), "d");
    EXPECT_EQ(ini.ReadString("Common", "Tabbed", "d"), "value");
    EXPECT_EQ(ini.ReadString("Common", "Sjis", "d"), "\x83\x5C\x95\x5C");
    EXPECT_EQ(ini.ReadString("Common", "Eq", "d"), "a=b");
    EXPECT_EQ(ini.ReadString("Filer", "DispExt1", "d"), ".wav");  // "[ Filer ]"
    EXPECT_EQ(ini.ReadString("Genre", "FG2", "d"), "Two");        // LF-only lines
    EXPECT_EQ(ini.ReadInteger("Common", "Number", 7), -42);
    EXPECT_EQ(ini.ReadInteger("Common", "Empty", 7), 7);
    EXPECT_EQ(ini.ReadInteger("Common", "Sjis", 7), 7);
    EXPECT_FALSE(ini.ValueExists("Common", "NoEquals"));
    EXPECT_TRUE(ini.ValueExists("Common", "Blank"));
    wx::TStringList keys;
    ini.ReadSection("Genre", keys);
    ASSERT_EQ(keys.Count(), 2u);
    EXPECT_EQ(keys[0], "FG1");
}

TEST(MemIniFile, BooleansFollowTheSettingsConvention) {
    TMemIniFile ini;
    ini.SetText("[B]\r\na=yes\r\nb=YES\r\nc= Yes \r\nd=Y\r\ne=1\r\nf=\r\ng=true\r\n");
    EXPECT_TRUE(ini.ReadBool("B", "a", false));
    EXPECT_TRUE(ini.ReadBool("B", "b", false));
    EXPECT_TRUE(ini.ReadBool("B", "c", false));
    for (const char* k : {"d", "e", "f", "g"}) EXPECT_FALSE(ini.ReadBool("B", k, true)) << k;
    EXPECT_TRUE(ini.ReadBool("B", "absent", true));
    ini.WriteBool("B", "w", true);
    ini.WriteBool("B", "x", false);
    EXPECT_EQ(ini.ReadString("B", "w", ""), "Yes");
    EXPECT_EQ(ini.ReadString("B", "x", ""), "No");
}

TEST(MemIniFile, ValuesWithLineBreaksCannotForgeLines) {
    TMemIniFile ini;
    ini.WriteString("Common", "Template", "%T\r\n[Evil]\r\nReadBlock=1\r\n");
    ini.WriteString("Common", "Nul", std::string("a\0b", 3));
    const std::string text = ini.Text();
    EXPECT_EQ(text.find("[Evil]\r"), std::string::npos);
    EXPECT_EQ(text.find('\0'), std::string::npos);
    TMemIniFile reread;
    reread.SetText(text);
    EXPECT_FALSE(reread.SectionExists("Evil"));
    EXPECT_EQ(reread.ReadString("Common", "Template", ""), "%T  [Evil]  ReadBlock=1  ");
    EXPECT_EQ(reread.ReadString("Common", "Nul", ""), "a b");
    wx::TStringList keys;
    reread.ReadSection("Common", keys);
    EXPECT_EQ(keys.Count(), 2u);
}

TEST(MemIniFile, ValuesReadBackAsWritten) {
    TMemIniFile ini;
    const std::string values[] = {"  lead", "trail\t", "\"q\"", "'a'", "\"", "'", "\"x'", "", " ", "a = b",
                                  "[notasection]", "; not a comment", "C:\\\x83\x5C\\", "%.02N_%T"};
    int n = 0;
    for (const auto& v : values) ini.WriteString("V", "k" + std::to_string(n++), v);
    TMemIniFile reread;
    reread.SetText(ini.Text());
    n = 0;
    for (const auto& v : values) EXPECT_EQ(reread.ReadString("V", "k" + std::to_string(n++), "<def>"), v);
    EXPECT_EQ(TCustomIniFile::EncodeValue("plain"), "plain");
    EXPECT_EQ(TCustomIniFile::EncodeValue(" x"), "\" x\"");
}

TEST(MemIniFile, EraseRemovesEveryDuplicateSection) {
    TMemIniFile ini;
    ini.SetText("[Filer]\r\nA=1\r\n[Other]\r\nB=2\r\n[FILER]\r\nC=3\r\n");
    ini.EraseSection("filer");
    EXPECT_FALSE(ini.SectionExists("Filer"));
    EXPECT_EQ(ini.ReadString("Filer", "C", "gone"), "gone");
    EXPECT_EQ(ini.ReadString("Other", "B", ""), "2");
    ini.DeleteKey("Other", "b");
    EXPECT_FALSE(ini.ValueExists("Other", "B"));
    EXPECT_TRUE(ini.SectionExists("Other"));
}

TEST(MemIniFile, FileRoundTrip) {
    const std::string path = "memini_roundtrip.ini";
    std::remove(path.c_str());
    {
        TMemIniFile ini(path);  // no file yet: empty
        EXPECT_FALSE(ini.SectionExists("Common"));
        ini.WriteString("Common", "WorkingDir", "C:\\temp\\");
        ini.WriteInteger("Common", "ReadBlock", 18);
        ini.WriteString("ID3TAG", "FilenameEdit", "%.02N_%T");
        ini.UpdateFile();
    }
    TMemIniFile again(path);
    EXPECT_EQ(again.ReadString("Common", "WorkingDir", ""), "C:\\temp\\");
    EXPECT_EQ(again.ReadInteger("Common", "ReadBlock", 0), 18);
    EXPECT_EQ(again.Text(), "[Common]\r\nWorkingDir=C:\\temp\\\r\nReadBlock=18\r\n\r\n[ID3TAG]\r\nFilenameEdit=%.02N_%T\r\n");
    EXPECT_FALSE(again.SaveToFile("no_such_dir/x.ini"));
    EXPECT_FALSE(again.WriteFailed());
    std::remove(path.c_str());
}

TEST(MemIniFile, AFileThatCannotBeWrittenIsReported) {
    TMemIniFile ini("no_such_dir/wndrxn.ini");
    ini.WriteString("Common", "ReadBlock", "10");
    EXPECT_FALSE(ini.WriteFailed());  // nothing has reached the file yet
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_TRUE(ini.WriteFailed());
}

namespace {
// What a written value reads back as: CR, LF and NUL blanked, the rest kept.
std::string Blanked(std::string v) {
    for (char& c : v)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    return v;
}
}  // namespace

TEST(MemIniFile, AnyValueReadsBackBlankedButOtherwiseWhole) {
    std::mt19937 rng(9);
    const std::string specials = " \t\r\n\"'=[];\\%";
    TMemIniFile ini;
    std::vector<std::string> values;
    for (int i = 0; i < 2000; ++i) {
        std::string v;
        const int len = static_cast<int>(rng() % 12);
        for (int k = 0; k < len; ++k) {
            const unsigned r = rng() % 4;
            v += r == 0 ? specials[rng() % specials.size()] : static_cast<char>(rng() % 256);
        }
        values.push_back(v);
        ini.WriteString("Fuzz", "k" + std::to_string(i), v);
    }
    TMemIniFile reread;
    reread.SetText(ini.Text());
    wx::TStringList keys;
    reread.ReadSection("Fuzz", keys);
    ASSERT_EQ(keys.Count(), values.size());  // no value forged or lost a line
    for (std::size_t i = 0; i < values.size(); ++i)
        ASSERT_EQ(reread.ReadString("Fuzz", "k" + std::to_string(i), "<def>"), Blanked(values[i])) << i;
}

TEST(MemIniFile, ArbitraryFileTextNeverBreaksTheReader) {
    std::mt19937 rng(17);
    const std::string alphabet = "[]= \t\r\n\"'ab;\x83\x5C";
    for (int round = 0; round < 500; ++round) {
        std::string text;
        const int len = static_cast<int>(rng() % 200);
        for (int k = 0; k < len; ++k)
            text += rng() % 3 ? alphabet[rng() % alphabet.size()] : static_cast<char>(rng() % 256);
        TMemIniFile ini;
        ini.SetText(text);
        wx::TStringList keys;
        ini.ReadSection("a", keys);
        for (const auto& k : keys) (void)ini.ReadString("a", k, "");
        ini.EraseSection("a");
        EXPECT_FALSE(ini.SectionExists("a"));
        TMemIniFile again;
        again.SetText(ini.Text());  // what we write parses again
        EXPECT_FALSE(again.SectionExists("a"));
    }
}
