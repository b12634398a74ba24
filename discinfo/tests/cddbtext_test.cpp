#include "discinfo/cddbconv.h"
#include "discinfo/cddbtext.h"
#include "discinfo/xmcd.h"

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
    struct TQueryCase {
        const char* text;
        const char* value;
    };
    for (const TQueryCase& k : {TQueryCase{"cddb query 1 2", "cddb+query+1+2"},
                               TQueryCase{"me example.org Wendrix(JP) R3.22", "me+example.org+Wendrix(JP)+R3.22"},
                               TQueryCase{"rock&cmd=motd&x=1", "rock%26cmd%3Dmotd%26x%3D1"},
                               TQueryCase{"a#b?c%d+e", "a%23b%3Fc%25d%2Be"},
                               TQueryCase{"x\r\ny\t", "x%0D%0Ay%09"},
                               TQueryCase{"\x82\xa0~", "%82%A0~"}})
        EXPECT_EQ(CddbQueryValue(k.text), k.value) << k.text;
    for (const char* word : {"rock", "0200b201", "x-y_z"}) EXPECT_TRUE(IsCddbWord(word)) << word;
    for (const char* word : {"", "ro ck", "rock\r", "a\nb", "\x7f"}) EXPECT_FALSE(IsCddbWord(word)) << word;
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

namespace wx {
namespace {

TEST(CddbText, QuotedPrintableSoftBreakAfterThe72ndCharacter) {
    EXPECT_EQ(EncodeQuotedPrintable(std::string(71, 'x')), std::vector<std::string>{std::string(71, 'x')});
    EXPECT_EQ(EncodeQuotedPrintable(std::string(72, 'x')),
              (std::vector<std::string>{std::string(72, 'x') + "=", ""}));
    // An encoded byte counts as its three characters; tab and blanks stay.
    const auto lines = EncodeQuotedPrintable(std::string(70, 'x') + "\xe9y\tz");
    EXPECT_EQ(lines, (std::vector<std::string>{std::string(70, 'x') + "=E9=", "y\tz"}));
    EXPECT_EQ(EncodeQuotedPrintable("a=b\x7f"), std::vector<std::string>{"a=3Db=7F"});
}

TEST(CddbText, XmcdEscapesKeepShiftJisTrailBytes) {
    const std::string text = "line one\nline\ttwo \\ end";
    EXPECT_EQ(XmcdEscape(text, true), "line one\\nline\\ttwo \\\\ end");
    EXPECT_EQ(XmcdUnescape(XmcdEscape(text, true), true), text);
    // 表 and ソ end in the byte of a backslash: never escaped nor decoded.
    const std::string sjis = "\x95\x5cn\x83\x5c\\n";
    EXPECT_EQ(XmcdEscape(sjis, true), "\x95\x5cn\x83\x5c\\\\n");
    EXPECT_EQ(XmcdUnescape("\x95\x5cn\x83\x5c\\n", true), "\x95\x5cn\x83\x5c\n");
    EXPECT_EQ(XmcdUnescape(XmcdEscape(sjis, true), true), sjis);
    // UTF-8 text byte by byte.
    EXPECT_EQ(XmcdUnescape("\xe3\x81\x82\\n", false), "\xe3\x81\x82\n");

    // Through the writer and the reader, split over mail lines.
    TCDDBDiscInfo info;
    info.DiscIds = "0200b201";
    info.TrackCount = 1;
    info.ExtendedTrackData[0] = std::string(70, 'e') + "\nafter the break\\";
    const auto lines = BuildSubmitLines(info, true, nullptr);
    TCDDBDiscInfo back;
    bool seen = false;
    ParseXmcd(lines, back, seen);
    EXPECT_EQ(back.ExtendedTrackData[0], info.ExtendedTrackData[0]);
}

TEST(CddbText, ProxyPasswordScrambleAndStoredForms) {
    // A blank and digits become "+"-pairs, letters one byte each.
    const std::string s = ScrambleProxyPassword("a 1");
    EXPECT_EQ(s, std::string("\x9e") + "+" + char(0xDF - 129) + "+" + char(0xCE - 129));
    for (unsigned char c : ScrambleProxyPassword(std::string("\x01\x7f\xff=&+ ", 7))) {
        EXPECT_GE(c, 33);
        EXPECT_NE(c, '=');
    }
    EXPECT_EQ(UnscrambleProxyPassword(s), "a 1");
    EXPECT_EQ(ScrambleProxyPassword(""), "");
    EXPECT_EQ(StoredProxyPassword(""), "");
    EXPECT_EQ(ReadStoredProxyPassword(""), "");
    // A trailing "&" or "+" ends the text instead of reading past it.
    EXPECT_EQ(UnscrambleProxyPassword(std::string("\x9e&")), "a");
    EXPECT_EQ(UnscrambleProxyPassword(std::string("\x9e+")), "a");
    // The stored form is plain ASCII and reads back; the old form still reads.
    for (const std::string pw : {std::string("s3cret"), std::string("\xff\x01 =&+%\x82\xa0"), std::string(256, '\x80')}) {
        const std::string stored = StoredProxyPassword(pw);
        for (unsigned char c : stored) EXPECT_TRUE(c > 32 && c < 127) << int(c);
        EXPECT_EQ(stored[0], '=');
        EXPECT_EQ(ReadStoredProxyPassword(stored), pw);
        EXPECT_EQ(ReadStoredProxyPassword(ScrambleProxyPassword(pw)), pw);
    }
}

}  // namespace
}  // namespace wx
