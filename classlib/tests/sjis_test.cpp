#include "classlib/sjis.h"

#include <gtest/gtest.h>

#include <string>

using namespace wx;

// "ソ" is 0x83 0x5C: its trail byte is the backslash code.
static const std::string kSo = "\x83\x5C";
// "表" is 0x95 0x5C, "能" 0x94 0x5C: the classic trail-backslash characters.
static const std::string kHyo = "\x95\x5C";
// "ア" is 0x83 0x41, "ャ" 0x83 0x83; 0x83 0x61 is "メ"-range with trail 'a'.
static const std::string kTrailA = "\x83\x61";

TEST(SjisLeadByte, FixedRuleAtRangeEdges) {
    for (int c = 0; c < 256; ++c) {
        const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        EXPECT_EQ(IsSjisLeadByte(static_cast<unsigned char>(c)), lead) << c;
    }
}

TEST(SjisWalk, CharLengthAndTrailPositions) {
    const std::string s = "a" + kSo + "b\x82";  // lead byte alone at the end
    EXPECT_EQ(SjisCharLength(s, 0), 1u);
    EXPECT_EQ(SjisCharLength(s, 1), 2u);
    EXPECT_EQ(SjisCharLength(s, 3), 1u);
    EXPECT_EQ(SjisCharLength(s, 4), 1u);
    EXPECT_EQ(SjisCharLength(s, 5), 0u);
    EXPECT_FALSE(IsSjisTrailPosition(s, 1));
    EXPECT_TRUE(IsSjisTrailPosition(s, 2));
    EXPECT_FALSE(IsSjisTrailPosition(s, 3));
    // Half-width katakana (0xA1..0xDF) are single bytes.
    EXPECT_FALSE(IsSjisTrailPosition("\xB1\x5C", 1));
}

TEST(SjisCut, NeverSplitsACharacter) {
    const std::string s = "ab" + kHyo + kHyo;  // 6 bytes
    EXPECT_EQ(SjisCut(s, 10), s);
    EXPECT_EQ(SjisCut(s, 6), s);
    EXPECT_EQ(SjisCut(s, 5), "ab" + kHyo);
    EXPECT_EQ(SjisCut(s, 4), "ab" + kHyo);
    EXPECT_EQ(SjisCut(s, 3), "ab");
    EXPECT_EQ(SjisCut(s, 0), "");
    // The walk starts at the text's first byte: "a" + 0x95 0x5C cut at 2
    // is "a", although byte 1 looked at alone could start a character.
    EXPECT_EQ(SjisCut("a" + kHyo, 2), "a");
    // Single-byte katakana count one byte each.
    EXPECT_EQ(SjisCut("\xB1\xB2\xB3", 2), "\xB1\xB2");
}

TEST(SjisBackslash, TrailByteIsNoBackslash) {
    EXPECT_FALSE(HasTrailingBackslash("C:\\" + kSo));
    EXPECT_EQ(StripTrailingBackslash("C:\\" + kSo), "C:\\" + kSo);
    EXPECT_EQ(IncludeTrailingBackslash("C:\\" + kSo), "C:\\" + kSo + "\\");
    EXPECT_TRUE(HasTrailingBackslash("C:\\" + kSo + "\\"));
    EXPECT_EQ(StripTrailingBackslash("C:\\" + kSo + "\\"), "C:\\" + kSo);
    EXPECT_EQ(StripTrailingBackslash("C:\\"), "C:");
    EXPECT_EQ(StripTrailingBackslash("C:\\\\"), "C:\\");  // only one removed
    EXPECT_EQ(StripTrailingBackslash(""), "");
    EXPECT_EQ(IncludeTrailingBackslash(""), "\\");
    EXPECT_EQ(IncludeTrailingBackslash("C:\\x\\"), "C:\\x\\");
    // A half-width katakana before the backslash is a whole character.
    EXPECT_TRUE(HasTrailingBackslash("\xB1\\"));
    // The file name part: "ソナタ.wav" is not cut inside its first character.
    EXPECT_EQ(SjisFileNameOnly("C:\\out\\" + kSo + "\x83\x69\x83\x5E.wav"), kSo + "\x83\x69\x83\x5E.wav");
    EXPECT_EQ(SjisFileNameOnly("C:\\" + kHyo + "\\" + kHyo + ".wav"), kHyo + ".wav");
    EXPECT_EQ(SjisFileNameOnly(kSo + ".wav"), kSo + ".wav");
    EXPECT_EQ(SjisFileNameOnly("C:\\x\\"), "");
}

TEST(SjisUpperCase, AsciiOnlyAndTrailBytesKept) {
    EXPECT_EQ(SjisUpperCase("rock & roll"), "ROCK & ROLL");
    EXPECT_EQ(SjisUpperCase(kTrailA), kTrailA);
    EXPECT_EQ(SjisUpperCase("x" + kTrailA + "y"), "X" + kTrailA + "Y");
    // Bytes above 0x7F that are not part of a pair stay too.
    EXPECT_EQ(SjisUpperCase("\xE0\x7A"), "\xE0\x7A");
    EXPECT_EQ(SjisUpperCase("\xB1z"), "\xB1Z");
}

TEST(SjisTrim, BlanksOnly) {
    EXPECT_EQ(TrimSpaces("  a b  "), "a b");
    EXPECT_EQ(TrimSpaces("   "), "");
    EXPECT_EQ(TrimSpaces("\tx "), "\tx");
    EXPECT_EQ(TrimSpaces(" " + kSo + " "), kSo);
}

TEST(SjisFileNames, InvalidCharsReplacedOutsideDoubleByteCharacters) {
    EXPECT_EQ(ReplaceInvalidFileChars("a:b?c", false), "a_b_c");
    // Full-width: "a：b？c" in code page 932.
    EXPECT_EQ(ReplaceInvalidFileChars("a:b?c", true), "a\x81\x46" "b\x81\x48" "c");
    EXPECT_EQ(ReplaceInvalidFileChars("\\*?/:\";<>|", false), "__________");
    EXPECT_EQ(ReplaceInvalidFileChars("\\*?/:\";<>|", true),
              "\x81\x8F\x81\x96\x81\x48\x81\x5E\x81\x46\x81\x68\x81\x43\x81\x83\x81\x84\x81\x62");
    // 0x83 0x5C ("ソ") and 0x83 0x7C keep their trail bytes.
    EXPECT_EQ(ReplaceInvalidFileChars(kSo + "\x83\x7C", false), kSo + "\x83\x7C");
    EXPECT_EQ(ReplaceInvalidFileChars(kSo + "\\", false), kSo + "_");
    EXPECT_TRUE(IsValidFileName(kSo + kHyo + "\x83\x7C"));
    EXPECT_FALSE(IsValidFileName(kSo + "|"));
    EXPECT_FALSE(IsValidFileName("a\"b"));
    EXPECT_TRUE(IsValidFileName(""));
    // Control characters (a line break or tab from a disc title) are as
    // invalid as the ten, and replaced the same way.
    for (const char* name : {"First\nSecond", "a\tb", "a\rb", "\x1f"}) EXPECT_FALSE(IsValidFileName(name)) << name;
    EXPECT_EQ(ReplaceInvalidFileChars("1 First\nSecond\tTab\r", false), "1 First_Second_Tab_");
    EXPECT_EQ(ReplaceInvalidFileChars("a\nb", true), "a\x81\x51" "b");
    // A lead byte with no trail byte after it (a text cut short, or a
    // control character in the trail place) is replaced as well: it would
    // join with what a template puts after it, or hide the control byte.
    for (const char* name : {"ab\x81", "\x83\n", "\x83\x1f" "x", "\x83\xfd"})
        EXPECT_FALSE(IsValidFileName(name)) << name;
    EXPECT_EQ(ReplaceInvalidFileChars("ab\x81", false), "ab_");
    EXPECT_EQ(ReplaceInvalidFileChars("\x83\n" "x", false), "__x");
    EXPECT_EQ(ReplaceInvalidFileChars("\x95", true), "\x81\x51");
    EXPECT_EQ(SjisFind(kSo + "\\", '\\'), 2u);
    EXPECT_EQ(SjisFind(kSo, '\\'), std::string::npos);
}
