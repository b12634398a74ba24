// The table of contents into the track table: against the emulated drive
// (single and multi-session, BCD full TOC, no disc) and against hostile
// answers.
#include <gtest/gtest.h>

#include <cstring>

#include "extraction/TrackTable.h"
#include "extraction/tests/EmuExecutor.h"

using namespace wx;
using wx::test::EmuRig;

namespace {

const TDriveAddress kDrive{0, 1, 0, false};

TEST(Toc, SingleSessionDiscIntoTheTableAndTheRows) {
    EmuRig rig("[ASPI]\nAdapters=1\n[Drive0]\nAdapter=0\nTarget=1\nImage=disc.cue\n");
    TTocReader reader(*rig.exec);
    TTrackTable t;
    t.Slots[1].Title = "old title";
    ASSERT_TRUE(reader.dispTrack(t, kDrive));  // the first TEST UNIT READY meets the unit attention
    ASSERT_EQ(t.TrackCount, 3);
    EXPECT_EQ(t.Slots[1].StartLba, 0);
    EXPECT_EQ(t.Slots[2].StartLba, 600);
    EXPECT_EQ(t.Slots[3].StartLba, 1200);
    EXPECT_EQ(t.Slots[LeadOutSlot].StartLba, 1800);
    EXPECT_EQ(t.Slots[2].StartMinute, 0);
    EXPECT_EQ(t.Slots[2].StartSecond, 10);  // 600 + 150 sectors
    EXPECT_EQ(t.Slots[2].StartFrame, 0);
    EXPECT_EQ(t.Slots[3].SectorCount, 600);
    EXPECT_EQ(t.Slots[3].RangeEnd, 599);
    EXPECT_EQ(t.Slots[1].Title, "");  // the table is rebuilt whole
    EXPECT_EQ(t.Slots[1].Genre, -1);
    EXPECT_EQ(t.Slots[2].TrackText, "2/3");
    EXPECT_TRUE(t.Slots[2].PreEmphasis);
    EXPECT_TRUE(t.Slots[3].CopyPermitted);
    EXPECT_TRUE(t.PreEmphasisSeen);
    EXPECT_EQ(t.LastSelectedRow, -1);
    EXPECT_EQ(t.FirstSession, 1);
    EXPECT_EQ(t.LastSession, 1);
    // The commands: READ TOC in LBA then MSF form, 3840 bytes, data in.
    EXPECT_EQ(rig.Find("buflen=3840 cdb=430000000000010f0000").size(), 1u);
    EXPECT_EQ(rig.Find("buflen=3840 cdb=430200000000010f0000").size(), 1u);
    EXPECT_EQ(rig.Find("buflen=12 cdb=43000000000000000c40").size(), 1u);

    auto rows = TrackListRows(t);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].Cells[0], "2");
    EXPECT_EQ(rows[1].Cells[1], "00:00:00");
    EXPECT_EQ(rows[1].Cells[2], "00:07:74");  // 599 sectors
    EXPECT_EQ(rows[1].Cells[3], "\x82\xA0\x82\xE8");  // あり
    EXPECT_EQ(rows[0].Cells[3], "\x82\xC8\x82\xB5");  // なし
    EXPECT_EQ(rows[2].Cells[4], "\x8B\x96\x89\xC2");  // 許可
    EXPECT_EQ(rows[0].Cells[4], "\x8B\xD6\x8E\x7E");  // 禁止
    EXPECT_EQ(rows[0].Cells[6], "\x82\xC8\x82\xB5");
    EXPECT_EQ(rows[0].ImageIndex, 2);
    EXPECT_EQ(SectorsToText(4500 * 3 + 75 * 2 + 9), "03:02:09");
}

TEST(Toc, ReReadOfTheSameDiscKeepsWhatTheUserSetAnotherDiscStartsAfresh) {
    const std::string tail2 = "  TRACK 02 AUDIO\n    FLAGS PRE\n    INDEX 01 00:08:00\n";
    const std::string tail3 = "  TRACK 03 AUDIO\n    FLAGS DCP\n    INDEX 01 00:16:00\n";
    const std::string one = "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    struct Row {
        const char* what;
        std::string cue;
        bool kept;
    } rows[] = {
        {"the same disc", one + tail2 + tail3, true},
        {"track 3 starts later", one + tail2 + "  TRACK 03 AUDIO\n    INDEX 01 00:17:00\n", false},
        {"two tracks", one + tail2, false},
        {"track 2 is a data track", one + "  TRACK 02 MODE1/2352\n    INDEX 01 00:08:00\n" + tail3, false},
        {"a longer last track", "FILE \"long.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n" + tail2 + tail3,
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EmuRig rig("[ASPI]\nAdapters=1\n[Drive0]\nAdapter=0\nTarget=1\nImage=disc.cue\n");
        testimg::WriteBin(rig.dir.File("long.bin"), 2400);
        TTrackTable t;
        {
            TTocReader reader(*rig.exec);
            ASSERT_TRUE(reader.dispTrack(t, kDrive));
        }
        // What the user set: names, a range, a pre-emphasis choice, a tag.
        t.Slots[1].FileStem = "first";
        t.Slots[3].FileStem = "third";
        t.Slots[1].RangeStart = 75;
        t.Slots[1].RangeEnd = 300;
        t.Slots[2].PreEmphasis = false;
        t.Slots[3].HasTag = true;
        t.Slots[3].Title = "Song";
        t.Slots[3].Genre = 12;
        t.Slots[3].TrackText = "3/9";
        const TTrackTable before = t;
        testimg::WriteText(rig.dir.File("other.cue"), row.cue);
        rig.Make("[ASPI]\nAdapters=1\n[Drive0]\nAdapter=0\nTarget=1\nImage=other.cue\n");
        TTocReader reader(*rig.exec);
        ASSERT_TRUE(reader.dispTrack(t, kDrive));
        EXPECT_EQ(SameDisc(before, t), row.kept);
        EXPECT_EQ(KeepSameDiscFields(before, t), row.kept);
        const auto cells = TrackListRows(t);
        ASSERT_GE(cells.size(), 2u);
        if (row.kept) {
            EXPECT_EQ(t.Slots[1].FileStem, "first");
            EXPECT_EQ(t.Slots[3].FileStem, "third");
            EXPECT_EQ(t.Slots[1].RangeStart, 75);
            EXPECT_EQ(t.Slots[1].RangeEnd, 300);
            EXPECT_FALSE(t.Slots[2].PreEmphasis);
            EXPECT_TRUE(t.Slots[3].HasTag);
            EXPECT_EQ(t.Slots[3].Title, "Song");
            EXPECT_EQ(t.Slots[3].Genre, 12);
            EXPECT_EQ(t.Slots[3].TrackText, "3/9");
            // The rows show them.
            EXPECT_EQ(cells[0].Cells[1], "00:01:00");
            EXPECT_EQ(cells[0].Cells[2], "00:04:00");
            EXPECT_EQ(cells[0].Cells[5], "first");
            EXPECT_EQ(cells[1].Cells[3], "\x82\xC8\x82\xB5");  // なし
            EXPECT_EQ(cells[2].Cells[6], "\x82\xA0\x82\xE8");  // あり
        } else {
            for (int i = 1; i <= t.TrackCount; ++i) {
                EXPECT_EQ(t.Slots[i].FileStem, "") << i;
                EXPECT_FALSE(t.Slots[i].HasTag) << i;
                EXPECT_EQ(t.Slots[i].Title, "") << i;
                EXPECT_EQ(t.Slots[i].RangeStart, 0) << i;
                EXPECT_EQ(t.Slots[i].RangeEnd, t.Slots[i].SectorCount - 1) << i;
            }
            EXPECT_EQ(cells[0].Cells[1], "00:00:00");
            EXPECT_EQ(cells[0].Cells[5], "");
        }
    }
    // No disc before: nothing to keep.
    const TTrackTable empty;
    TTrackTable t;
    EXPECT_FALSE(KeepSameDiscFields(empty, t));
}

TEST(Toc, NoDiscOrNoDriveLeavesAnEmptyTable) {
    EmuRig rig("[ASPI]\nAdapters=1\n[Drive0]\nAdapter=0\nTarget=1\n");
    TTocReader reader(*rig.exec);
    TTrackTable t;
    t.TrackCount = 5;
    EXPECT_FALSE(reader.dispTrack(t, kDrive));
    EXPECT_EQ(t.TrackCount, 0);
    EXPECT_TRUE(TrackListRows(t).empty());
    EXPECT_TRUE(rig.Find("cdb=43").empty());
    EXPECT_FALSE(reader.dispTrack(t, TDriveAddress{0, 4, 0, false}));
}

TEST(Toc, MultiSessionLastAudioTrackEndsAtItsSessionsLeadOut) {
    for (const char* bcd : {"No", "Yes"}) {
        EmuRig rig("[ASPI]\nAdapters=1\n[Drive0]\nAdapter=0\nTarget=1\nImage=disc.cue\nBcdFullToc=" +
                   std::string(bcd) + "\n");
        testimg::WriteText(rig.dir.File("disc.cue.ini"), "[Disc]\nSessionStarts=3\n");
        rig.Make("[ASPI]\nAdapters=1\n[Drive0]\nAdapter=0\nTarget=1\nImage=disc.cue\nBcdFullToc=" +
                 std::string(bcd) + "\n");
        TTocReader reader(*rig.exec);
        TTrackTable t;
        ASSERT_TRUE(reader.dispTrack(t, kDrive));
        ASSERT_EQ(t.TrackCount, 3);
        EXPECT_EQ(t.FirstSession, 1);
        EXPECT_EQ(t.LastSession, 2);
        // Track 2 ends at session 1's lead-out (1200), one sector beyond
        // its distance, instead of at track 3.
        EXPECT_EQ(t.Slots[2].SectorCount, 601) << "BCD " << bcd;
        EXPECT_EQ(t.Slots[2].RangeEnd, 600);
        EXPECT_EQ(t.Slots[3].StartLba, 1200 + 11400);
        EXPECT_EQ(t.Slots[3].SectorCount, 601);  // the last session's lead-out: 1800 + 11400
        EXPECT_EQ(t.Sessions[2].FirstTrack, 3);
        EXPECT_EQ(rig.Find("buflen=2048 cdb=43000000000000080080").size(), 1u);
    }
}

// Builds a READ TOC answer: (track, control, lba) descriptors.
std::vector<std::uint8_t> TocAnswer(int first, int last, std::vector<std::tuple<int, int, std::int32_t>> d, bool msf,
                                    int lengthFieldExtra = 0) {
    std::vector<std::uint8_t> a(4, 0);
    a[2] = std::uint8_t(first);
    a[3] = std::uint8_t(last);
    for (auto& [track, ctl, lba] : d) {
        std::uint8_t e[8] = {0, std::uint8_t(0x10 | ctl), std::uint8_t(track), 0};
        if (msf) {
            std::int32_t x = lba + 150;
            e[5] = std::uint8_t(x / 4500);
            e[6] = std::uint8_t(x / 75 % 60);
            e[7] = std::uint8_t(x % 75);
        } else {
            PutBE32(e + 4, std::uint32_t(lba));
        }
        a.insert(a.end(), e, e + 8);
    }
    PutBE16(a.data(), std::uint32_t(a.size() - 2 + lengthFieldExtra));
    return a;
}

TEST(TocParsing, HostileAnswersStayWithinWhatWasReturned) {
    // The header claims 120 tracks and more bytes than the buffer holds.
    std::vector<std::tuple<int, int, std::int32_t>> many;
    for (int i = 1; i <= 120; ++i) many.push_back({i, 0, i * 100});
    many.push_back({0xAA, 0, 20000});
    auto l = TocAnswer(1, 120, many, false, 5000), m = TocAnswer(1, 120, many, true, 5000);
    TTrackTable t;
    ASSERT_TRUE(ParseToc(l.data(), l.size(), m.data(), m.size(), t));
    EXPECT_EQ(t.TrackCount, 99);
    EXPECT_EQ(t.Slots[99].StartLba, 9900);
    EXPECT_EQ(t.Slots[LeadOutSlot].StartLba, 20000);
    EXPECT_EQ(t.Slots[99].SectorCount, 20000 - 9900);

    // First track 3: slots 1, 2, ... in descriptor order; the count is what
    // the answer holds, and the lead-out is the 0xAA descriptor.
    auto l3 = TocAnswer(3, 5, {{3, 0, 0}, {4, 1, 500}, {5, 0, 900}, {0xAA, 1, 1500}}, false);
    auto m3 = TocAnswer(3, 5, {{3, 0, 0}, {4, 1, 500}, {5, 0, 900}, {0xAA, 1, 1500}}, true);
    ASSERT_TRUE(ParseToc(l3.data(), l3.size(), m3.data(), m3.size(), t));
    EXPECT_EQ(t.TrackCount, 3);
    EXPECT_EQ(t.Slots[3].SectorCount, 600);
    EXPECT_TRUE(t.PreEmphasisSeen);  // also from the lead-out's control bits

    // The last track number says 5 but the answer stops after two tracks
    // without a lead-out: nothing is read past it.
    auto cut = TocAnswer(1, 5, {{1, 0, 0}, {2, 0, 500}}, false);
    EXPECT_FALSE(ParseToc(cut.data(), cut.size(), nullptr, 0, t));
    EXPECT_EQ(t.TrackCount, 0);
    // A length field shorter than the descriptors: only those it covers.
    auto shortLen = TocAnswer(1, 2, {{1, 0, 0}, {2, 0, 500}, {0xAA, 0, 900}}, false, -8);
    EXPECT_FALSE(ParseToc(shortLen.data(), shortLen.size(), nullptr, 0, t));
    std::uint8_t tiny[2] = {0xFF, 0xFF};
    EXPECT_FALSE(ParseToc(tiny, 2, tiny, 2, t));
    // Starts that do not ascend, a lead-out before the last start, an
    // address past 99:59:74 or before 00:00:00: no table of contents.
    for (auto bad : {std::vector<std::tuple<int, int, std::int32_t>>{{1, 0, 500}, {2, 0, 0}, {0xAA, 0, 900}},
                     {{1, 0, 0}, {2, 0, 900}, {0xAA, 0, 900}},
                     {{1, 0, 0}, {0xAA, 0, 0x7FFFFFFF}},
                     {{1, 0, -151}, {0xAA, 0, 900}}}) {
        auto lb = TocAnswer(1, 2, bad, false);
        EXPECT_FALSE(ParseToc(lb.data(), lb.size(), nullptr, 0, t));
        EXPECT_EQ(t.TrackCount, 0);
    }
    // An MSF answer whose time is not the LBA's: the time comes from the LBA.
    auto lm = TocAnswer(1, 1, {{1, 0, 0}, {0xAA, 0, 1000}}, false);
    auto mm = TocAnswer(1, 1, {{1, 0, 4500}, {0xAA, 0, 1000}}, true);
    ASSERT_TRUE(ParseToc(lm.data(), lm.size(), mm.data(), mm.size(), t));
    EXPECT_EQ(t.Slots[1].StartMinute, 0);
    EXPECT_EQ(t.Slots[1].StartSecond, 2);

    // A data track: not audio, image 3, empty tag cell.
    auto ld = TocAnswer(1, 2, {{1, 0, 0}, {2, 4, 700}, {0xAA, 4, 1000}}, false);
    ASSERT_TRUE(ParseToc(ld.data(), ld.size(), nullptr, 0, t));
    EXPECT_FALSE(t.Slots[2].IsAudio);
    auto rows = TrackListRows(t);
    EXPECT_EQ(rows[1].ImageIndex, 3);
    EXPECT_EQ(rows[1].Cells[6], "");
    EXPECT_EQ(t.Slots[2].StartSecond, 11);  // MSF from the LBA when no MSF answer came
}

TEST(TocParsing, FullTocCountBoundedAndBcdGuessThatFailsChangesNothing) {
    // The length field claims 300 descriptors; the buffer holds 3.
    std::vector<std::uint8_t> a(4 + 3 * 11, 0);
    PutBE16(a.data(), 2 + 300 * 11);
    a[2] = 1;
    a[3] = 2;
    const std::uint8_t d[3][11] = {{1, 0x10, 0, 0xA0, 0, 0, 0, 0, 1, 0, 0},
                                   {1, 0x10, 0, 0xA1, 0, 0, 0, 0, 1, 0, 0},
                                   {1, 0x10, 0, 0xA2, 0, 0, 0, 0, 0, 20, 0}};
    std::memcpy(&a[4], d, sizeof d);
    TTrackTable t;
    ParseFullToc(a.data(), a.size(), t);
    EXPECT_EQ(t.TocEntries.size(), 3u);
    EXPECT_EQ(t.Sessions[1].FirstTrack, 1);
    EXPECT_EQ(t.Sessions[1].LeadOutSec, 20);
    // Session 2 has no descriptors: the check fails twice, lengths stay.
    auto l = TocAnswer(1, 1, {{1, 0, 0}, {0xAA, 0, 1000}}, false);
    auto m = TocAnswer(1, 1, {{1, 0, 0}, {0xAA, 0, 1000}}, true);
    ASSERT_TRUE(ParseToc(l.data(), l.size(), m.data(), m.size(), t));
    t.Sessions[2].FirstTrack = 2;
    t.Sessions[2].LastTrack = 2;
    AnalizingSession(t);
    EXPECT_EQ(t.Slots[1].SectorCount, 1000);
    // A session lead-out before its last track starts, or inside the next
    // track: the length of the TOC stays; one between them ends the track.
    auto l2 = TocAnswer(1, 2, {{1, 0, 0}, {2, 0, 12000}, {0xAA, 0, 13000}}, false);
    auto m2 = TocAnswer(1, 2, {{1, 0, 0}, {2, 0, 12000}, {0xAA, 0, 13000}}, true);
    for (auto [leadOutSec, length] : {std::pair{1, 12000}, {200, 12000}, {100, 7351}}) {
        ASSERT_TRUE(ParseToc(l2.data(), l2.size(), m2.data(), m2.size(), t));
        t.FirstSession = 1;
        t.LastSession = 2;
        t.TocEntries = {{1, 1, 0, 2, 0, 0x10}, {2, 2, 2, 42, 0, 0x10}};
        t.Sessions[1] = {1, 1, 0, std::uint8_t(leadOutSec), 0};
        t.Sessions[2] = {2, 2, 2, 55, 0};
        AnalizingSession(t);
        EXPECT_EQ(t.Slots[1].SectorCount, length) << leadOutSec;
    }
}

}  // namespace
