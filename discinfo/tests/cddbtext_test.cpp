#include "discinfo/cddbconv.h"
#include "discinfo/cddbtext.h"

#include <gtest/gtest.h>

namespace wx {
namespace {

TEST(CddbText, ParseLeadingInt) {
    EXPECT_EQ(ParseLeadingInt("210 Found"), 210);
    EXPECT_EQ(ParseLeadingInt(" 210"), 0);
    EXPECT_EQ(ParseLeadingInt(""), 0);
    EXPECT_EQ(ParseLeadingInt("-5"), 0);
    EXPECT_EQ(ParseLeadingInt("0042x"), 42);
    // A run longer than 32 bits wraps instead of overflowing.
    (void)ParseLeadingInt("99999999999999999999999999");
}

TEST(CddbText, LineEndsBlanksAndTrimming) {
    EXPECT_EQ(StripLineEnd("200 ok\r\n\r"), "200 ok");
    EXPECT_EQ(StripLineEnd("a\rb\n"), "a\rb");
    EXPECT_EQ(StripLineEnd("\r\n"), "");
    EXPECT_EQ(BlanksToPlus("cddb query 1 2"), "cddb+query+1+2");
    EXPECT_EQ(TrimBlanks(" \t x y \t"), "x y");
    EXPECT_EQ(TrimLeftBlanks("  x "), "x ");
    EXPECT_EQ(TrimRightBlanks("  x \t"), "  x");
}

TEST(CddbText, Base64StandardVectorsAndNoLineBreaks) {
    EXPECT_EQ(EncodeBase64(""), "");
    EXPECT_EQ(EncodeBase64("f"), "Zg==");
    EXPECT_EQ(EncodeBase64("fo"), "Zm8=");
    EXPECT_EQ(EncodeBase64("foo"), "Zm9v");
    EXPECT_EQ(EncodeBase64("foob"), "Zm9vYg==");
    EXPECT_EQ(EncodeBase64("fooba"), "Zm9vYmE=");
    EXPECT_EQ(EncodeBase64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(EncodeBase64("user:\xff\xfe"), "dXNlcjr//g==");
    // A long credential stays one header line.
    const std::string long_(200, 'a');
    const std::string enc = EncodeBase64(long_);
    EXPECT_EQ(enc.size(), (200 + 2) / 3 * 4);
    EXPECT_EQ(enc.find('\n'), std::string::npos);
}

TEST(CddbText, CutSjisNeverSplitsACharacter) {
    const std::string a = "\x82\xa0";  // HIRAGANA A
    EXPECT_EQ(CutSjis("abc", 5), "abc");
    EXPECT_EQ(CutSjis("abcdef", 3), "abc");
    EXPECT_EQ(CutSjis("x" + a + a, 2), "x");
    EXPECT_EQ(CutSjis("x" + a + a, 3), "x" + a);
    EXPECT_EQ(CutSjis(a + a + a, 5), a + a);
    // Half-width katakana (0xA1..0xDF) are single bytes.
    EXPECT_EQ(CutSjis("\xb1\xb2\xb3", 2), "\xb1\xb2");
    // A trail byte in the ASCII range ('@' = 0x40 after 0x81) stays with its lead.
    EXPECT_EQ(CutSjis("\x81\x40\x81\x40", 3), "\x81\x40");
    // Every cut of a long mixed text lands on a boundary.
    std::string mixed;
    for (int i = 0; i < 200; ++i) mixed += (i % 3 == 0) ? std::string("k") : a;
    for (std::size_t n = 0; n <= mixed.size(); ++n) {
        const std::string cut = CutSjis(mixed, n);
        ASSERT_LE(cut.size(), n);
        ASSERT_GE(cut.size() + 1, n > mixed.size() ? mixed.size() : n);
        std::size_t i = 0;
        while (i < cut.size()) i += IsSjisLeadByte(static_cast<unsigned char>(cut[i])) ? 2 : 1;
        ASSERT_EQ(i, cut.size()) << "cut at " << n;
    }
}

TEST(CddbConv, Utf8ToShiftJis) {
    EXPECT_EQ(CddbUtf8ToSjis(""), "");
    EXPECT_EQ(CddbUtf8ToSjis("Rock 123?"), "Rock 123?");
    EXPECT_EQ(CddbUtf8ToSjis("\xe3\x81\x82"), "\x82\xa0");                 // あ
    EXPECT_EQ(CddbUtf8ToSjis("\xe6\x97\xa5\xe6\x9c\xac"), "\x93\xfa\x96\x7b");  // 日本
    EXPECT_EQ(CddbUtf8ToSjis("\xef\xbd\xb1"), "\xb1");                     // half-width ｱ
    // No Shift-JIS code, malformed or truncated sequences: "?" each.
    EXPECT_EQ(CddbUtf8ToSjis("\xf0\x9f\x8e\xb5"), "??");  // a surrogate pair: two units
    EXPECT_EQ(CddbUtf8ToSjis("a\xff" "b"), "a?b");
    EXPECT_EQ(CddbUtf8ToSjis("a\xe3\x81"), "a?");
    EXPECT_EQ(CddbUtf8ToSjis("\xc0\xaf"), "??");  // overlong "/"
    EXPECT_EQ(CddbUtf8ToSjis("\xed\xa0\x80"), "?");  // encoded surrogate
}

TEST(CddbConv, DecodeUtf8) {
    EXPECT_EQ(DecodeUtf8("A\xc3\xa9\xe3\x81\x82"), std::u16string(u"A\u00e9\u3042"));
    EXPECT_EQ(DecodeUtf8("\xf0\x9f\x8e\xb5"), std::u16string(u"\U0001F3B5"));
    EXPECT_EQ(DecodeUtf8("\x80"), std::u16string(u"\uFFFD"));
}

TEST(CddbConv, SystemCodePageToUtf8) {
    EXPECT_EQ(CddbSystemToUtf8(""), "");
    EXPECT_EQ(CddbSystemToUtf8("abc"), "abc");
    EXPECT_EQ(CddbSystemToUtf8("\x82\xa0\xb1"), "\xe3\x81\x82\xef\xbd\xb1");
}

TEST(CddbConv, ReceivedTextIsConvertedThenCut) {
    // Level 6: converted first, so the limit counts Shift-JIS bytes.
    std::string utf8;
    for (int i = 0; i < 200; ++i) utf8 += "\xe3\x81\x82";
    const std::string level6 = CddbReceivedText(utf8, true, 255);
    EXPECT_EQ(level6.size(), 254u);
    EXPECT_EQ(level6.substr(0, 2), "\x82\xa0");
    // Level 1: kept as received, cut at a character boundary.
    std::string sjis = "x";
    for (int i = 0; i < 200; ++i) sjis += "\x82\xa0";
    EXPECT_EQ(CddbReceivedText(sjis, false, 255), sjis.substr(0, 255));
    EXPECT_EQ(CddbReceivedText(sjis, false, 256).size(), 255u);
}

}  // namespace
}  // namespace wx
