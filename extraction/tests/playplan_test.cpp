// The rules of digital play: the request's range and play list, the time
// code in its three modes, the CD player panel's moves and its level timer.
#include <gtest/gtest.h>

#include "extraction/playplan.h"

using namespace wx;

namespace {

// Tracks at the given starts (the last value is the lead-out); audio flags.
TTrackTable Disc(std::vector<std::int32_t> starts, std::vector<bool> audio) {
    TTrackTable t;
    t.TrackCount = int(starts.size()) - 1;
    for (int i = 1; i <= t.TrackCount; ++i) {
        t.Slots[i].StartLba = starts[std::size_t(i - 1)];
        t.Slots[i].SectorCount = starts[std::size_t(i)] - starts[std::size_t(i - 1)];
        t.Slots[i].IsAudio = audio[std::size_t(i - 1)];
        t.Slots[i].RangeEnd = t.Slots[i].SectorCount - 1;
    }
    t.Slots[LeadOutSlot].StartLba = starts.back();
    return t;
}

}  // namespace

TEST(PlayPlan, RangeAndPlayList) {
    TTrackTable d = Disc({0, 1000, 2500, 4000}, {true, false, true});
    d.Slots[3].RangeStart = 30;
    TTransferRecord r = EmptyTransferRecord();
    ASSERT_TRUE(FillDigitalPlayRange(d, 3, 18, r));
    EXPECT_EQ(r.StartLba, 2530);
    // To the end of the last audio track: the end is the first sector not
    // played, so sector 3999 plays.
    EXPECT_EQ(r.EndLba, 4000);
    EXPECT_EQ(r.LastReadableLba, 3999);
    // A last track said to run past the lead-out ends at the lead-out.
    TTrackTable past = d;
    past.Slots[3].SectorCount += 10;
    TTransferRecord q = EmptyTransferRecord();
    ASSERT_TRUE(FillDigitalPlayRange(past, 1, 18, q));
    EXPECT_EQ(q.EndLba, 4000);
    EXPECT_EQ(r.PlayList[0], 0);
    EXPECT_EQ(r.PlayList[1], 1000);
    EXPECT_EQ(r.PlayList[2], 2500);
    EXPECT_EQ(r.PlayList[3], -1);
    EXPECT_EQ(r.PlayAudioFlags[1], 0);
    EXPECT_EQ(r.PlayAudioFlags[2], 1);
    EXPECT_EQ(r.PlayAudioFlags[3], 0);

    // A disc that ends with a data track ends one read block before the end
    // of its last audio track.
    TTrackTable extra = Disc({0, 1000, 2500, 14000}, {true, true, false});
    r = EmptyTransferRecord();
    ASSERT_TRUE(FillDigitalPlayRange(extra, 1, 18, r));
    EXPECT_EQ(r.EndLba, 2500 - 18);
    EXPECT_EQ(r.LastReadableLba, 2500 - 18);

    TTrackTable data = Disc({0, 1000}, {false});
    EXPECT_FALSE(FillDigitalPlayRange(data, 1, 18, r));
    EXPECT_FALSE(FillDigitalPlayRange(d, 4, 18, r));
}

TEST(PlayPlan, TimeCodeInItsThreeModes) {
    const TTrackTable d = Disc({150, 1200, 9000, 20000}, {true, true, true});
    // A position exactly at a track's start shows that track at 00:00.
    EXPECT_EQ(PlayPositionText(d, 1200, 0).Text, "[02] 00:00");
    TPlayTime p = PlayPositionText(d, 1200 + 4500 + 75 * 7 + 20, 0);
    EXPECT_EQ(p.Text, "[02] 01:07");
    EXPECT_EQ(p.Track, 2);
    // Time left in the track never goes negative; time left on the disc.
    EXPECT_EQ(PlayPositionText(d, 9000 - 1, 1).Text, "[02] <00:00>");
    EXPECT_EQ(PlayPositionText(d, 9000 + 75, 1).Text, "[03] <02:25>");
    EXPECT_EQ(PlayPositionText(d, 20000 - 75 * 61, 2).Text, "[--] <01:01>");
    EXPECT_EQ(PlayPositionText(d, 20100, 2).Text, "[--] <00:00>");
    // Before every track: nothing to show; a negative position counts as 0.
    EXPECT_FALSE(PlayPositionText(d, 100, 0).Shown);
    const TTrackTable fromZero = Disc({0, 500}, {true});
    EXPECT_EQ(PlayPositionText(fromZero, -40, 0).Text, "[01] 00:00");
}

TEST(PlayPlan, PanelMoves) {
    // Tracks 1, 3 and 4 audio, 2 data, 5 data at the end.
    const TTrackTable d = Disc({0, 1000, 2000, 4000, 6000, 9000}, {true, false, true, true, false});
    // 10 s forward; within 10 s of the lead-out the play stops; into a data
    // track nothing happens.
    EXPECT_EQ(SkipForward(d, 100).Kind, TPanelMove::Seek);
    EXPECT_EQ(SkipForward(d, 100).Lba, 850);
    EXPECT_EQ(SkipForward(d, 8300).Kind, TPanelMove::Stop);
    EXPECT_EQ(SkipForward(d, 500).Kind, TPanelMove::Nothing);
    // 10 s back, not before track 1.
    EXPECT_EQ(SkipBack(d, 2900).Lba, 2150);
    EXPECT_EQ(SkipBack(d, 300).Lba, 0);
    EXPECT_EQ(SkipBack(d, 1800).Kind, TPanelMove::Nothing);
    // The next audio track, wrapping past the data tracks to track 1.
    EXPECT_EQ(NextTrack(d, 1).Lba, 2000);
    EXPECT_EQ(NextTrack(d, 4).Lba, 0);
    // Back: 6 s into track 4 restarts it; 4 s in goes to track 3; from
    // track 3 early, past the data track 2 to track 1.
    EXPECT_EQ(PrevTrack(d, 4, 4000 + 450).Lba, 4000);
    EXPECT_EQ(PrevTrack(d, 4, 4000 + 300).Lba, 2000);
    EXPECT_EQ(PrevTrack(d, 3, 2000 + 375).Lba, 0);
    EXPECT_EQ(PrevTrack(d, 1, 10).Lba, 4000);
}

TEST(PlayPlan, LevelTimerWaitsAfterTheStartMarker) {
    TLevelRing ring;
    ring.Put(0xFFFE, 0xFFFE, true);
    ring.Put(0xFFFD, 0xFFFD, true);
    for (std::uint32_t v = 100; v < 106; ++v) ring.Put(v, v + 1000, true);
    std::uint32_t l = 0, r = 0;
    // The marker pair sets the count back: 13 ticks on NT before anything shows.
    int shown = 0, ticks = 0;
    std::vector<std::uint32_t> seen;
    while (ticks < 40) {
        ++ticks;
        if (TakeLevel(ring, true, l, r)) {
            ++shown;
            seen.push_back(l);
            if (shown == 1) EXPECT_EQ(ticks, 14);
        }
    }
    // The reset entry (0, 0) first, the markers never, the levels in order.
    ASSERT_EQ(seen.size(), 7u);
    EXPECT_EQ(seen[0], 0u);
    EXPECT_EQ(seen[1], 100u);
    EXPECT_EQ(seen[6], 105u);
    EXPECT_EQ(r, 1105u);
    // Windows 9x waits 4 ticks.
    TLevelRing ring9x;
    ring9x.Put(0xFFFE, 0xFFFE, false);
    ring9x.Put(0xFFFD, 0xFFFD, false);
    ring9x.Put(7, 8, false);
    int first = 0;
    for (int t = 1; t <= 10 && !first; ++t)
        if (TakeLevel(ring9x, false, l, r)) first = t;
    EXPECT_EQ(first, 5);
}
