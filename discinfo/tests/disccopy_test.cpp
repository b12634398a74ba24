// Copying disc titles into the track table, with hostile disc data.
#include <gtest/gtest.h>

#include "classlib/sjis.h"
#include "discinfo/disccopy.h"
#include "discinfo/tests/cdtextpacks.h"

namespace wx {
namespace {

TTrackTable FourTracks() {
    TTrackTable t;
    t.TrackCount = 4;
    for (int i = 1; i <= 4; ++i) t.Slots[i].IsAudio = i != 3;
    return t;
}

TNameBuilder Template() {
    return [](int n, const std::string& title, const std::string& artist, const std::string& album,
              const std::string& genre, std::string& out) {
        if (title == "bad") return false;
        out = std::to_string(n) + " " + artist + " - " + title + " [" + album + genre + "]";
        return true;
    };
}

TEST(DiscCopy, CdTextClaiming255TracksWritesOnlyTheTracksThatExist) {
    std::vector<Pack> packs;
    // Titles for tracks 2, 3, 4 and then 5..255, a block whose first track
    // is 2.
    std::string text = std::string("Album\0", 6);
    packs.push_back(MakePack(0x80, 0, 0, text));
    for (int t = 2; t <= 255; ++t) packs.push_back(MakePack(0x80, static_cast<std::uint8_t>(t), 0, std::string("T:\0", 3)));
    // The performer holds a tab (a control byte of the disc's text).
    packs.push_back(MakePack(0x81, 2, 0, std::string("W\tho\0", 5)));
    packs.push_back(MakePack(0x85, 4, 0, std::string("Note\0", 5)));
    AddSizeInfo(packs, 0, 1, 2, 255, 9);
    const auto data = Seal(packs);
    TCDTextReader r;
    std::string reason;
    ASSERT_TRUE(r.GetLangInfo(data.data(), data.size(), reason)) << reason;
    r.AnalizeAll(data.data(), data.size());
    const auto rows = CdTextRows(r.Blocks[0]);
    ASSERT_EQ(rows.size(), 254u);
    EXPECT_EQ(rows[0].Track, 2);
    EXPECT_EQ(CdTextAlbum(r.Blocks[0]), "Album");

    TTrackTable t = FourTracks();
    t.Slots[5].Title = "untouched";
    t.Slots[LeadOutSlot].Title = "lead-out";
    const auto tagged = CdTextToTags(rows, "Album", 200, t);
    EXPECT_EQ(tagged, (std::vector<int>{2, 4}));  // 3 is no audio track; nothing past 4
    EXPECT_EQ(t.Slots[2].Title, "T:");
    EXPECT_EQ(t.Slots[2].Artist, "W ho");  // a blank in a one-line tag text
    EXPECT_EQ(t.Slots[4].Comment, "Note");
    EXPECT_EQ(t.Slots[4].Genre, 200);
    EXPECT_TRUE(t.Slots[4].HasTag);
    EXPECT_FALSE(t.Slots[1].HasTag);  // row 0 is track 2, not track 1
    EXPECT_EQ(t.Slots[5].Title, "untouched");
    EXPECT_EQ(t.Slots[LeadOutSlot].Title, "lead-out");

    const auto named = CdTextToFileNames(rows, "Album", Template(), false, t);
    EXPECT_EQ(named, (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(t.Slots[2].FileStem, "2 W_ho - T_ [Album]");  // the tab and the colon replaced
    EXPECT_TRUE(IsValidFileName(t.Slots[2].FileStem));
    EXPECT_TRUE(t.Slots[5].FileStem.empty());

    // A table claiming more tracks than it has slots is held to 99.
    TTrackTable big;
    big.TrackCount = 255;
    for (auto& s : big.Slots) s.IsAudio = true;
    EXPECT_EQ(CdTextToTags(rows, "", -1, big).back(), 99);
    EXPECT_EQ(big.Slots[LeadOutSlot].Title, "");
}

TEST(DiscCopy, CddbTitlesIntoTagsAndNames) {
    TCddbDisc d;
    d.Artist = "Artist";
    d.Album = "Album";
    d.Year = "2001-with-more-than-ten";
    d.GenreText = "Rock";
    d.Genre = 17;
    d.Tracks = {{"One", "x"}, {"", ""}, {"bad", ""}, {"Four", ""}, {"Five", ""}};
    TTrackTable t = FourTracks();
    EXPECT_EQ(CddbToTags(d, t), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(t.Slots[1].Year, "2001-with-");
    EXPECT_EQ(t.Slots[1].Comment, "x");
    EXPECT_EQ(t.Slots[5].Title, "");
    EXPECT_EQ(CddbToFileNames(d, Template(), false, t), (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(t.Slots[4].FileStem, "4 Artist - Four [AlbumRock]");

    // Line breaks and tabs of a record ("\n" and "\t" escapes): blanks in
    // the one-line tag texts, kept in the comment, replaced in file names.
    d.Artist = "Two\nLines";
    d.Tracks = {{"First\nSecond\tTab", "line one\nline two"}};
    EXPECT_EQ(CddbToTags(d, t), (std::vector<int>{1}));
    EXPECT_EQ(t.Slots[1].Title, "First Second Tab");
    EXPECT_EQ(t.Slots[1].Artist, "Two Lines");
    EXPECT_EQ(t.Slots[1].Comment, "line one\nline two");
    EXPECT_EQ(CddbToFileNames(d, Template(), false, t), (std::vector<int>{1}));
    EXPECT_EQ(t.Slots[1].FileStem, "1 Two_Lines - First_Second_Tab [AlbumRock]");
    EXPECT_TRUE(IsValidFileName(t.Slots[1].FileStem));
    EXPECT_EQ(CddbToFileNames(d, Template(), true, t), (std::vector<int>{1}));
    EXPECT_EQ(t.Slots[1].FileStem, "1 Two\x81\x51Lines - First\x81\x51Second\x81\x51Tab [AlbumRock]");
}

}  // namespace
}  // namespace wx
