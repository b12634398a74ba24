#include "output/unicodetbl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace {

// The charmap unpacked by the build: code point -> Shift-JIS code.
std::map<unsigned, unsigned> LoadCharmap() {
    std::map<unsigned, unsigned> m;
    std::ifstream f("SHIFT_JIS.charmap");
    std::string line;
    bool inMap = false;
    const std::regex re(R"(^<U([0-9A-F]{4})>\s+/x([0-9a-f]{2})(?:/x([0-9a-f]{2}))?\s)");
    while (std::getline(f, line)) {
        if (line.rfind("CHARMAP", 0) == 0) { inMap = true; continue; }
        if (line.rfind("END CHARMAP", 0) == 0) break;
        std::smatch mm;
        if (!inMap || !std::regex_search(line, mm, re)) continue;
        unsigned code = std::stoul(mm[2].str(), nullptr, 16);
        if (mm[3].matched) code = (code << 8) | std::stoul(mm[3].str(), nullptr, 16);
        m[std::stoul(mm[1].str(), nullptr, 16)] = code;
    }
    return m;
}

struct SystemConverterReset {
    ~SystemConverterReset() { SetSystemUnitConverter(nullptr); }
};

}  // namespace

TEST(UnicodeTable, CountAndRowsAsGenerated) {
    int mapped = 0;
    std::set<unsigned> rows;
    for (unsigned c = 0; c < 0x10000; ++c) {
        if (UcsToSjisChar(static_cast<std::uint16_t>(c)) != 0) {
            ++mapped;
            rows.insert(c >> 8);
        }
    }
    EXPECT_EQ(mapped, 7037);
    EXPECT_EQ(rows.size(), 93u);
    int used = 0;
    for (int hi = 0; hi < 256; ++hi) used += unicodetbl_data::RowIndex[hi] != 0xFFFF;
    EXPECT_EQ(used, UnicodeTableRows);
}

TEST(UnicodeTable, EveryEntryAgreesWithTheCharmap) {
    std::map<unsigned, unsigned> cm = LoadCharmap();
    ASSERT_GT(cm.size(), 7000u) << "SHIFT_JIS.charmap missing from the test folder";
    // The charmap's reverse solidus at 0x815F is reached from U+005C here.
    ASSERT_EQ(cm.at(0xFF3C), 0x815Fu);
    for (unsigned c = 0; c < 0x10000; ++c) {
        unsigned expected = 0;
        auto it = cm.find(c);
        if (it != cm.end()) expected = it->second;
        if (c < 0x20 || c == 0x7F || c == 0xFF3C) expected = 0;
        if (c == 0x5C) expected = 0x815F;
        ASSERT_EQ(UcsToSjisChar(static_cast<std::uint16_t>(c)), expected) << std::hex << c;
    }
}

TEST(UnicodeTable, TellingRows) {
    for (unsigned c = 0x20; c <= 0x7D; ++c) {
        if (c != 0x5C) { EXPECT_EQ(UcsToSjisChar(c), c); }
    }
    EXPECT_EQ(UcsToSjisChar(0x005C), 0x815F);
    EXPECT_EQ(UcsToSjisChar(0x007E), 0);
    EXPECT_EQ(UcsToSjisChar(0x007F), 0);
    for (unsigned c = 1; c < 0x20; ++c) EXPECT_EQ(UcsToSjisChar(c), 0);
    EXPECT_EQ(UcsToSjisChar(0x00A5), 0x5C);
    EXPECT_EQ(UcsToSjisChar(0x203E), 0x7E);
    EXPECT_EQ(UcsToSjisChar(0x301C), 0x8160);
    EXPECT_EQ(UcsToSjisChar(0x2016), 0x8161);
    EXPECT_EQ(UcsToSjisChar(0x2212), 0x817C);
    EXPECT_EQ(UcsToSjisChar(0x3042), 0x82A0);
    for (unsigned c = 0xFF61; c <= 0xFF9F; ++c) EXPECT_EQ(UcsToSjisChar(c), c - 0xFF61 + 0xA1);
    EXPECT_EQ(UcsToSjisChar(0x2460), 0);  // vendor extensions stay unmapped
    EXPECT_EQ(UcsToSjisChar(0xFF5E), 0);
    EXPECT_EQ(UcsToSjisChar(0xFF3C), 0);
}

TEST(UcsToSjis, TableOnlyConversion) {
    SystemConverterReset reset;
    SetSystemUnitConverter(nullptr);
    // "aあ\ｱ" -> 61 82A0 815F B1
    EXPECT_EQ(UcsToSjis(u"a\u3042\\\uFF71"), "a\x82\xA0\x81\x5F\xB1");
    EXPECT_EQ(UcsToSjis(static_cast<const char16_t*>(nullptr)), "");
    EXPECT_EQ(UcsToSjis(u""), "");
    // Unmapped units and lone surrogates become "?", never a zero byte.
    const std::string r = UcsToSjis(u"x\u2460y\xD800z");
    EXPECT_EQ(r, "x?y?z");
    EXPECT_EQ(r.find('\0'), std::string::npos);
    // The text ends at its first zero unit.
    EXPECT_EQ(UcsToSjis(std::u16string(u"ab\0cd", 5)), "ab");
}

namespace {
// A system conversion that answers "?" for U+3042 and U+005C, maps U+2460
// (as the Japanese code page does) and passes ASCII through.
std::string FakeSystem(char16_t u) {
    if (u == 0x2460) return "\x87\x40";
    if (u < 0x80 && u != 0x5C) return std::string(1, static_cast<char>(u));
    return "?";
}
int g_calls = 0;
std::string CountingSystem(char16_t u) {
    ++g_calls;
    return FakeSystem(u);
}
}  // namespace

TEST(UcsToSjis, SystemFirstTableAsFallback) {
    SystemConverterReset reset;
    SetSystemUnitConverter(&FakeSystem);
    EXPECT_EQ(UcsToSjis(u"\u2460"), "\x87\x40");        // taken from the system
    EXPECT_EQ(UcsToSjis(u"\u3042"), "\x82\xA0");        // system said "?"
    EXPECT_EQ(UcsToSjis(u"\\"), "\x81\x5F");            // system said "?"
    EXPECT_EQ(UcsToSjis(u"\uFF5E"), "?");               // neither maps it
    SetSystemUnitConverter(&CountingSystem);
    g_calls = 0;
    EXPECT_EQ(UcsToSjis(u"a?b"), "a?b");
    EXPECT_EQ(g_calls, 2);  // "?" itself never asks the system
}

TEST(Utf8ToSjis, DecodesAndConverts) {
    SystemConverterReset reset;
    SetSystemUnitConverter(nullptr);
    EXPECT_EQ(Utf8ToSjis(""), "");
    // "日本語 ﾃｽﾄ"
    EXPECT_EQ(Utf8ToSjis("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xEF\xBE\x83\xEF\xBD\xBD\xEF\xBE\x84"),
              "\x93\xFA\x96\x7B\x8C\xEA \xC3\xBD\xC4");
    // "〜" U+301C -> 0x8160
    EXPECT_EQ(Utf8ToSjis("\xE3\x80\x9C"), "\x81\x60");
    // A four-byte character becomes two units, each unmapped.
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x8E\xB5"), std::u16string(u"\xD83C\xDFB5"));
    EXPECT_EQ(Utf8ToSjis("a\xF0\x9F\x8E\xB5" "b"), "a??b");
}

TEST(Utf8ToSjis, MalformedInputNeverOverreads) {
    // Truncated, overlong, surrogate, stray continuation and 0xFF bytes.
    EXPECT_EQ(Utf8ToUtf16("\xE3\x81"), std::u16string(u"\xFFFD"));
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), std::u16string(u"\xFFFD\xFFFD"));
    EXPECT_EQ(Utf8ToUtf16("\xE0\x80\xAF"), std::u16string(u"\xFFFD"));
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), std::u16string(u"\xFFFD"));
    EXPECT_EQ(Utf8ToUtf16("\x80x"), std::u16string(u"\xFFFDx"));
    EXPECT_EQ(Utf8ToUtf16("\xFFx"), std::u16string(u"\xFFFDx"));
    EXPECT_EQ(Utf8ToUtf16("\xE3\x81x"), std::u16string(u"\xFFFDx"));
    EXPECT_EQ(Utf8ToSjis("\xE3\x81"), "?");
}
