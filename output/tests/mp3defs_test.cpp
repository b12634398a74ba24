#include "output/mp3defs.h"

#include <gtest/gtest.h>

#include <string>

namespace {
// 未定義 [150]
const std::string kUndefined150 = "\x96\xA2\x92\xE8\x8B\x60 [150]";

class GenreTest : public ::testing::Test {
protected:
    void SetUp() override { ResetGenreSettings(); }
    void TearDown() override {
        ResetGenreSettings();
        SetUndefinedGenreFormat("\x96\xA2\x92\xE8\x8B\x60 [%d]");
    }
};
}  // namespace

TEST_F(GenreTest, TableEntriesAndBounds) {
    EXPECT_STREQ(GenreNames[-1], "-None-");
    EXPECT_STREQ(GenreNames[0], "Blues");
    EXPECT_STREQ(GenreNames[17], "Rock");
    EXPECT_STREQ(GenreNames[127], "Drum & Bass");
    EXPECT_STREQ(GenreNames[147], "Synthpop");
    EXPECT_STREQ(GenreNames[148], "");
    EXPECT_STREQ(GenreNames[247], "");
    EXPECT_STREQ(GenreNames[248], "Heavy Rock(J)");
    EXPECT_STREQ(GenreNames[255], "Anime(J)");
    EXPECT_STREQ(GenreNames[256], "");
    EXPECT_STREQ(GenreNames[-2], "");
    int named = 0;
    for (int n = 0; n < GenreCount; ++n) named += GenreNames[n][0] != 0;
    EXPECT_EQ(named, 148 + 8);
}

TEST_F(GenreTest, DisplayNamesUserNamesAndFallback) {
    EXPECT_EQ(GetGenreName(-1), "");
    EXPECT_EQ(GetGenreName(256), "");
    EXPECT_EQ(GetGenreName(150), kUndefined150);
    EXPECT_EQ(GetGenreNameRaw(150), "");
    UserGenreNames[150] = "Mine";
    EXPECT_EQ(GetGenreName(150), "Mine");
    EXPECT_EQ(GetGenreNameRaw(150), "Mine");
    UserGenreNames[17] = "Stone";
    EXPECT_EQ(GetGenreName(17), "Stone");
    EXPECT_EQ(FindGenreIndex("stone"), 17);
    EXPECT_EQ(FindGenreIndex("Rock"), -1);  // the user name replaced it
    // A format without %d, or with %s, is never used as a format.
    SetUndefinedGenreFormat("Undefined %s");
    EXPECT_EQ(GetGenreName(200), "Undefined %s");
    SetUndefinedGenreFormat("Undefined [%d]");
    EXPECT_EQ(GetGenreName(200), "Undefined [200]");
}

TEST_F(GenreTest, FindGenreIndexTrimsAndIgnoresAsciiCase) {
    EXPECT_EQ(FindGenreIndex("  rock  "), 17);
    EXPECT_EQ(FindGenreIndex(""), -1);
    EXPECT_EQ(FindGenreIndex("   "), -1);
    EXPECT_EQ(FindGenreIndex("j-pop(j)"), 250);
    EXPECT_EQ(FindGenreIndex(kUndefined150), 150);
    EXPECT_EQ(FindGenreIndex("no such genre"), -1);
}

TEST_F(GenreTest, FindGenreIndexKeepsTrailBytes) {
    // Two user names differing only in a trail byte 0x61 / 0x41: an
    // upper-casing that touched trail bytes would confuse them.
    UserGenreNames[150] = "\x83\x41";  // ア
    UserGenreNames[151] = "\x83\x61";  // メ-range character with trail 'a'
    EXPECT_EQ(FindGenreIndex("\x83\x61"), 151);
    EXPECT_EQ(FindGenreIndex("\x83\x41"), 150);
    UserGenreNames[150].clear();
    EXPECT_EQ(FindGenreIndex("\x83\x41"), -1);
}

TEST_F(GenreTest, FindFreeGenreIndex) {
    EXPECT_EQ(FindFreeGenreIndex(), 148);
    UserGenreNames[148] = "x";
    EXPECT_EQ(FindFreeGenreIndex(), 149);
    for (int n = 148; n < 248; ++n) UserGenreNames[n] = "u" + std::to_string(n);
    EXPECT_EQ(FindFreeGenreIndex(), 0);  // all named, empty display set
    GenreDisplaySet.set(42);
    GenreDisplaySet.set(200);
    EXPECT_EQ(FindFreeGenreIndex(), 42);
}

TEST_F(GenreTest, FindBuiltinGenreIndex) {
    EXPECT_EQ(FindBuiltinGenreIndex("hip hop"), 7);
    EXPECT_EQ(FindBuiltinGenreIndex("Rock&Roll"), 78);
    EXPECT_EQ(FindBuiltinGenreIndex("Drum and Bass"), -1);
    EXPECT_EQ(FindBuiltinGenreIndex("drum&bass"), 127);
    EXPECT_EQ(FindBuiltinGenreIndex(" DRUM & BASS "), 127);
    UserGenreNames[17] = "Stone";
    EXPECT_EQ(FindBuiltinGenreIndex("rock"), 17);  // user names do not take part
    EXPECT_EQ(FindBuiltinGenreIndex("stone"), -1);
    // Nothing left to compare: no match rather than the first empty slot.
    EXPECT_EQ(FindBuiltinGenreIndex(""), -1);
    EXPECT_EQ(FindBuiltinGenreIndex(" - & "), -1);
    EXPECT_EQ(FindBuiltinGenreIndex("\x83\x8D\x83\x62\x83\x4E"), -1);  // ロック
    // Trail bytes of double-byte characters never join the compared text:
    // 0x82 0x52 0x82 0x4F would read "RO" byte by byte... it must not match.
    EXPECT_EQ(FindBuiltinGenreIndex("J\x82\x6FPOP"), FindBuiltinGenreIndex("JPOP"));
    EXPECT_EQ(FindBuiltinGenreIndex("JPOP"), 146);
    EXPECT_EQ(FindBuiltinGenreIndex("\x83\x52\x83\x4F" "rock"), 17);
}

TEST(MpegHeader, DecodesValidHeaders) {
    TMpegFrameHeader h{};
    ASSERT_TRUE(ParseMpegHeader(0xFFFB9064u, 0, h));
    EXPECT_EQ(h.Version, 2);
    EXPECT_EQ(h.Layer, 3);
    EXPECT_EQ(h.HasCrc, 0);
    EXPECT_EQ(h.BitrateIndex, 8);
    EXPECT_EQ(h.SampleRateIndex, 0);
    EXPECT_EQ(h.Mode, 1);
    EXPECT_EQ(h.ModeExtension, 2);
    EXPECT_EQ(h.Copyright, 0);
    EXPECT_EQ(h.Original, 1);
    EXPECT_EQ(h.Emphasis, 0);
    ASSERT_TRUE(ParseMpegHeader(0xFFFA9064u, 0, h));
    EXPECT_EQ(h.HasCrc, 1);
    ASSERT_TRUE(ParseMpegHeader(0xFFF39064u, 0, h));  // MPEG-2 Layer III
    EXPECT_EQ(h.Version, 1);
    ASSERT_TRUE(ParseMpegHeader(0xFFFD9064u, 0, h));  // Layer II
    EXPECT_EQ(h.Layer, 2);
    ASSERT_TRUE(ParseMpegHeader(0xFFFF1203u, 0, h));  // Layer I, padding, emphasis 3
    EXPECT_EQ(h.Layer, 1);
    EXPECT_EQ(h.BitrateIndex, 0);
    EXPECT_EQ(h.Padding, 1);
    EXPECT_EQ(h.Emphasis, 3);
}

TEST(MpegHeader, RejectsInvalidHeaders) {
    TMpegFrameHeader h{};
    EXPECT_FALSE(ParseMpegHeader(0xFFF09064u, 0, h));  // layer bits 00
    EXPECT_FALSE(ParseMpegHeader(0xFFFBF064u, 0, h));  // bitrate index 15
    EXPECT_FALSE(ParseMpegHeader(0xFFFB0064u, 0, h));  // free format
    EXPECT_FALSE(ParseMpegHeader(0xFFFB9C64u, 0, h));  // sample-rate index 3
    EXPECT_FALSE(ParseMpegHeader(0xFFEB9064u, 0, h));  // MPEG 2.5
    EXPECT_FALSE(ParseMpegHeader(0x49443303u, 0, h));  // "ID3" tag start
    EXPECT_FALSE(ParseMpegHeader(0u, 0, h));
}
