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
    EXPECT_EQ(CddbTrim(" \t x y \t"), "x y");
    EXPECT_EQ(CddbTrimLeft("  x "), "x ");
    EXPECT_EQ(CddbTrimRight("  x \t"), "  x");
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

TEST(CddbConv, Utf8FromTheServerToShiftJis) {
    EXPECT_EQ(CddbUtf8ToSjis(""), "");
    EXPECT_EQ(CddbUtf8ToSjis("Rock 123?"), "Rock 123?");
    EXPECT_EQ(CddbUtf8ToSjis("\xe6\x97\xa5\xe6\x9c\xac"), "\x93\xfa\x96\x7b");  // 日本
    EXPECT_EQ(CddbUtf8ToSjis("\xef\xbd\xb1"), "\xb1");                          // half-width ｱ
    // Without a Shift-JIS code, malformed or truncated: "?".
    EXPECT_EQ(CddbUtf8ToSjis("a\xff" "b"), "a?b");
    EXPECT_EQ(CddbUtf8ToSjis("a\xe3\x81"), "a?");
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
    // A text within the limit is kept as received, even when it is no
    // valid Shift-JIS.
    EXPECT_EQ(CddbReceivedText("Caf\xe9\x82", false, 255), "Caf\xe9\x82");
    // Every cut of a mixed text lands on a character boundary.
    std::string mixed;
    for (int i = 0; i < 200; ++i) mixed += (i % 3 == 0) ? std::string("k") : std::string("\x82\xa0");
    for (std::size_t n = 0; n <= mixed.size(); ++n) {
        const std::string cut = CddbReceivedText(mixed, false, n);
        ASSERT_LE(cut.size(), n);
        ASSERT_GE(cut.size() + 1, n);
        ASSERT_EQ(mixed.compare(0, cut.size(), cut), 0);
        ASSERT_TRUE(cut.size() == mixed.size() || mixed[cut.size()] == 'k' || mixed[cut.size()] == '\x82') << n;
    }
}

}  // namespace
}  // namespace wx
