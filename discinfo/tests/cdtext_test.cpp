// The CD-TEXT pack parser, and the reading of an emulated drive's packs.
#include <gtest/gtest.h>

#include <cstring>

#include "discinfo/cdtext.h"
#include "discinfo/tests/cdtextpacks.h"

namespace wx {
namespace {

TEST(CdText, CrcIsCcittWithoutInversionAndStoredInverted) {
    // CRC-16/XMODEM check value.
    const char* nine = "123456789";
    EXPECT_EQ(CdTextCrc16(reinterpret_cast<const std::uint8_t*>(nine), 9), 0x31C3);
    std::vector<Pack> packs;
    AddSizeInfo(packs, 0, 0, 1, 1, 9);
    auto data = Seal(packs);
    TCDTextReader r;
    EXPECT_TRUE(r.CheckPacket(data.data()));
    data[5] ^= 1;
    EXPECT_FALSE(r.CheckPacket(data.data()));
}

TEST(CdText, TextsOfTracksJoinedOverPacksAndCutAtTheLastTrack) {
    std::vector<Pack> packs;
    // Disc title, track 1 starts in the same pack and continues in the next
    // one (position 3), track 2's text follows; a text for track 5 on a
    // disc whose last track is 4 is dropped.
    packs.push_back(MakePack(0x80, 0, 0, std::string("Album\0Song O", 12)));
    packs.push_back(MakePack(0x80, 1, 6, std::string("ne\0Two\0\0\0\0\0\0\0", 12)));
    packs.push_back(MakePack(0x80, 5, 0, std::string("Five\0", 5)));
    packs.push_back(MakePack(0x81, 0, 0, std::string("Band\0", 5)));
    // Character position 15: the carried position continues the string.
    packs.push_back(MakePack(0x83, 3, 0, "Composer of "));
    packs.push_back(MakePack(0x83, 3, 15, std::string("three\0", 6)));
    AddSizeInfo(packs, 0, 0, 1, 4, 0x69);
    Parsed p(Seal(packs));
    ASSERT_TRUE(p.ok) << p.reason;
    EXPECT_EQ(p.r.BlockCount, 1);
    EXPECT_EQ(p.r.Blocks[0].LanguageCode, 0x69);
    EXPECT_EQ(CdTextLanguageIndex(0x69), 6);
    EXPECT_EQ(p.r.Blocks[0].EntryCount, 4);
    EXPECT_EQ(p.Text(0, 0, kCdTextTitle), "Album");
    EXPECT_EQ(p.Text(0, 1, kCdTextTitle), "Song One");
    EXPECT_EQ(p.Text(0, 2, kCdTextTitle), "Two");
    EXPECT_EQ(p.Text(0, 0, kCdTextPerformer), "Band");
    EXPECT_EQ(p.Text(0, 3, kCdTextComposer), "Composer of three");
    EXPECT_EQ(p.Text(0, 5, kCdTextTitle), "<none>");
    EXPECT_EQ(p.crcReports, 0);
}

TEST(CdText, DoubleByteTextsAndTwoLanguages) {
    std::vector<Pack> packs;
    // "曲" in Shift-JIS, position 0 of block 1 as double-byte text.
    const std::string kyoku = "曲名";
    ASSERT_EQ(kyoku.size(), 4u);
    packs.push_back(MakePack(0x80, 0, 0, std::string("English\0", 8)));
    packs.push_back(MakePack(0x80, 1, 0x90, kyoku + std::string("\0\0", 2) + kyoku));
    // A pair with one zero byte is skipped, the walk goes on.
    packs.push_back(MakePack(0x80, 2, 0x92, std::string("\x82\0\x82\xa0\0\0", 6)));
    AddSizeInfo(packs, 0, 0, 1, 2, 0x09);
    AddSizeInfo(packs, 1, 0x80, 1, 2, 0x69);
    Parsed p(Seal(packs));
    ASSERT_TRUE(p.ok) << p.reason;
    ASSERT_EQ(p.r.BlockCount, 2);
    EXPECT_EQ(p.r.Blocks[1].CharCode, 0x80);
    EXPECT_EQ(CdTextCodeName(0x80), "MS-JIS");
    EXPECT_EQ(p.Text(0, 0, kCdTextTitle), "English");
    EXPECT_EQ(p.Text(1, 1, kCdTextTitle), kyoku);
    // Track 2's text goes on in its own pack at position 2 (4 bytes).
    EXPECT_EQ(p.Text(1, 2, kCdTextTitle), kyoku + "あ");
}

TEST(CdText, IllegalDataEndsWithItsReason) {
    std::vector<Pack> packs;
    packs.push_back(MakePack(0x90, 0, 0, "x"));
    AddSizeInfo(packs, 0, 0, 1, 1, 9);
    Parsed bad(Seal(packs));
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.reason, kCdTextIllegalCode);

    Parsed none(Seal({MakePack(0x80, 0, 0, "x")}));
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.reason, kCdTextIllegalGroup);

    std::vector<Pack> reversed;
    AddSizeInfo(reversed, 0, 0, 5, 2, 9);
    Parsed rev(Seal(reversed));
    EXPECT_FALSE(rev.ok);
    EXPECT_EQ(rev.reason, kCdTextIllegalTracks);
}

TEST(CdText, BrokenCrcsAreReportedOnceAndTheReadingGoesOn) {
    std::vector<Pack> packs;
    packs.push_back(MakePack(0x80, 0, 0, std::string("Disc\0One\0", 9)));
    AddSizeInfo(packs, 0, 0, 1, 1, 9);
    Parsed p(Seal(packs, true));
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.crcReports, 1);
    EXPECT_EQ(p.Text(0, 1, kCdTextTitle), "One");
    p.r.Clear();
    EXPECT_FALSE(p.r.CrcErrorReported());
    EXPECT_EQ(p.r.BlockCount, 0);
}

TEST(CdText, A255TrackClaimKeepsEveryTextInsideItsSlot) {
    std::vector<Pack> packs;
    // Strings far beyond 255 bytes for track 255 and the carried position
    // growing over many packs.
    packs.push_back(MakePack(0x80, 255, 0, "AAAAAAAAAAAA"));
    for (int i = 0; i < 40; ++i) packs.push_back(MakePack(0x80, 255, 15, "BBBBBBBBBBBB"));
    AddSizeInfo(packs, 0, 0, 1, 255, 9);
    Parsed p(Seal(packs));
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.r.Blocks[0].EntryCount, 255);
    const std::string t = p.Text(0, 255, kCdTextTitle);
    EXPECT_EQ(t.size(), 255u);
    EXPECT_EQ(t.substr(0, 13), "AAAAAAAAAAAAB");
}

TEST(CdText, CodePage437TextShownAsLatin1) {
    EXPECT_EQ(ConvAnsiTo8859("Caf\x82"), "Caf\xe9");
    EXPECT_EQ(ConvAnsiTo8859("\x9f\xf9\xc4\xff"), "\x83\x95  ");
    EXPECT_EQ(CdTextCodeName(1), "ASCII");
    EXPECT_EQ(CdTextCodeName(7), "Unknown");
    EXPECT_EQ(CdTextLanguageIndex(0x00), 0);
    EXPECT_EQ(CdTextLanguageIndex(0x29), kCdTextLanguages - 1);
    EXPECT_EQ(CdTextLanguageIndex(0x42), -1);
}

TEST(CdText, PackLengthClampedToWholeTransferredPacks) {
    std::uint8_t head[4] = {0x00, 0x01, 0, 0};
    EXPECT_EQ(CdTextPackLength(head, 0x2000), 0);  // below 2
    head[0] = 0x40;
    head[1] = 0x02;  // 0x4000 - 2 + 2: beyond 0x3FFF
    EXPECT_EQ(CdTextPackLength(head, 0x2000), -1);
    head[0] = 0x3F;
    head[1] = 0xFF;  // claims 0x3FFD bytes, only 0x1FFC came
    EXPECT_EQ(CdTextPackLength(head, 0x2000), 0x1FFC - 0x1FFC % 18);
    head[0] = 0;
    head[1] = 2 + 20;  // one whole pack and 2 stray bytes
    EXPECT_EQ(CdTextPackLength(head, 0x2000), 18);
}

}  // namespace
}  // namespace wx
