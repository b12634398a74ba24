// The rip control's rules without windows: output names, the cells and
// sector counts of a run, typed and base names, temporary names, the track
// at a sector, the media identity, the next-track walk, the level ring, the
// report figures and the level meter's arithmetic.
#include <gtest/gtest.h>

#include <set>

#include "extraction/levelscale.h"
#include "extraction/ripplan.h"

using namespace wx;

namespace {

TTrackTable Disc(std::initializer_list<std::int32_t> starts, std::int32_t leadOut) {
    TTrackTable t;
    int i = 1;
    for (std::int32_t s : starts) {
        TTrackRecord& r = t.Slots[i++];
        r.StartLba = s;
        const std::int32_t m = s + 150;
        r.StartMinute = std::uint8_t(m / 4500);
        r.StartSecond = std::uint8_t(m / 75 % 60);
        r.StartFrame = std::uint8_t(m % 75);
        r.IsAudio = true;
    }
    t.TrackCount = i - 1;
    TTrackRecord& lo = t.Slots[LeadOutSlot];
    lo.StartLba = leadOut;
    lo.StartMinute = std::uint8_t((leadOut + 150) / 4500);
    lo.StartSecond = std::uint8_t((leadOut + 150) / 75 % 60);
    lo.StartFrame = std::uint8_t((leadOut + 150) % 75);
    for (int k = 1; k <= t.TrackCount; ++k) {
        TTrackRecord& r = t.Slots[k];
        r.SectorCount = (k < t.TrackCount ? t.Slots[k + 1].StartLba : leadOut) - r.StartLba;
        r.RangeEnd = r.SectorCount - 1;
    }
    return t;
}

TRowSelected Rows(std::set<int> rows) {
    return [rows](int r) { return rows.count(r) > 0; };
}

}  // namespace

TEST(RipNames, OneBuilderForEveryOutputAndEmphasis) {
    TConfigStore c;
    TTrackRecord t;
    t.FileStem = "  disc_04 ";
    t.PreEmphasis = true;
    c.SelOutputMethod.SetItemIndex(omWave);
    // WAV with de-emphasis on and off.
    c.UseDeEmph.Checked = true;
    EXPECT_EQ(BuildOutputName(c, "C:\\out\\", t).Final, "C:\\out\\disc_04_DeEMPH.wav");
    c.UseDeEmph.Checked = false;
    TOutputName n = BuildOutputName(c, "C:\\out", t);
    EXPECT_EQ(n.Final, "C:\\out\\disc_04_EMPH.wav");
    EXPECT_EQ(n.Written, n.Final);
    EXPECT_FALSE(n.Tagged);
    // MP3: de-emphasis is not applied when the encoder marks the emphasis.
    c.SelOutputMethod.SetItemIndex(omMP3);
    c.SelMP3Enc.SetItemIndex(mekGogo);
    c.UseDeEmph.Checked = true;
    c.MP3DeEmph.Checked = true;
    EXPECT_EQ(BuildOutputName(c, "C:\\out\\", t).Final, "C:\\out\\disc_04_EMPH.mp3");
    EXPECT_TRUE(BuildOutputName(c, "C:\\out\\", t).Tagged);
    c.MP3DeEmph.Checked = false;
    EXPECT_EQ(BuildOutputName(c, "C:\\out\\", t).Final, "C:\\out\\disc_04_DeEMPH.mp3");
    c.GogoFormatType = gftRiffMP3;
    EXPECT_EQ(OutputExtension(c), ".rmp");
    c.GogoFormatType = gftRiffWave;
    EXPECT_EQ(OutputExtension(c), ".wav");
    // External encoder on a finished WAV: the work file is written now.
    c.SelMP3Enc.SetItemIndex(mekExternal);
    c.UseStdin.Checked = false;
    c.WEdit1.Text = "D:\\work";
    t.PreEmphasis = false;
    n = BuildOutputName(c, "C:\\out\\", t);
    EXPECT_EQ(n.Final, "C:\\out\\disc_04.mp3");
    EXPECT_EQ(n.Written, "D:\\work\\wendri_pass0.wav");
    EXPECT_TRUE(n.Tagged);
    c.SelOutputMethod.SetItemIndex(omWMA);
    EXPECT_EQ(OutputExtension(c), ".wma");
    c.SelOutputMethod.SetItemIndex(omTwinVQ);
    EXPECT_EQ(OutputExtension(c), ".vqf");
    // A typed name with a dot keeps it.
    t.FileStem = StemFromTypedName("  C:\\x\\01. Intro ");
    c.SelOutputMethod.SetItemIndex(omWave);
    EXPECT_EQ(BuildOutputName(c, "C:\\out\\", t).Final, "C:\\out\\01. Intro.wav");
}

TEST(RipRun, CellsAndSectorCountsOfTheSelection) {
    TTrackTable t = Disc({0, 600, 1200, 1800}, 2400);
    t.Slots[3].IsAudio = false;  // a data track
    for (int i = 1; i <= 4; ++i) t.Slots[i].FileStem = "t" + std::to_string(i);
    // Only selected audio tracks count; the data track is skipped.
    EXPECT_TRUE(CheckCells(t, 4, Rows({0, 2})).Ok);
    EXPECT_FALSE(CheckCells(t, 4, Rows({2})).Ok);
    EXPECT_FALSE(CheckCells(t, 4, Rows({})).Ok);
    t.Slots[4].FileStem.clear();
    TCellCheck r = CheckCells(t, 4, Rows({0, 3}));
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.MissingNameTrack, 4);
    // Total and done count the same sectors: 600 per track here.
    EXPECT_EQ(GetAllTrackFrames(t, 4, Rows({0, 1, 2})), 1200);
    std::int64_t done = 0;
    for (int k : {1, 2}) done += RangeSectors(t.Slots[k]);
    EXPECT_EQ(done, GetAllTrackFrames(t, 4, Rows({0, 1, 2})));
    // A range that starts before the disc is not rippable.
    t.Slots[2].RangeStart = -700;
    EXPECT_FALSE(IsRippableRange(t.Slots[2]));
    EXPECT_EQ(GetAllTrackFrames(t, 4, Rows({0, 1})), 600);
    // Remaining selected tracks from the current one on.
    EXPECT_EQ(GetRemainTrack(8, 5, Rows({1, 4, 6})), 2);
    EXPECT_EQ(GetRemainTrack(8, 7, Rows({1, 4, 6})), 1);
}

TEST(RipNames, TypedBaseAndTemporaryNames) {
    EXPECT_EQ(NumberedStem("disc", 3), "disc_03");
    EXPECT_EQ(NumberedStem("disc", 12), "disc_12");
    EXPECT_EQ(BaseNameFromText("  C:\\music\\album.wav  "), "album");
    EXPECT_EQ(BaseNameFromText("a.b.c"), "a.b");
    // A Shift-JIS name whose trail byte is 0x5C keeps its character.
    const std::string hyo = "\x95\x5c\x8e\xa6";  // 表示
    EXPECT_EQ(StemFromTypedName(hyo + "1"), hyo + "1");
    EXPECT_EQ(StemFromTypedName(std::string(300, 'a')).size(), 255u);

    std::set<std::string> taken{"C:\\t\\TMP1.MP3", "C:\\t\\TMP2.MP3"};
    auto exists = [&](const std::string& n) { return taken.count(n) > 0; };
    EXPECT_EQ(MakeTempFileName("C:\\t\\", ".MP3", exists), "C:\\t\\TMP3.MP3");
    for (int i = 1; i <= 999; ++i) taken.insert("C:\\t\\TMP" + std::to_string(i) + ".MP3");
    EXPECT_EQ(MakeTempFileName("C:\\t", ".MP3", exists), "");
}

// Two selected tracks whose outputs would be one file.
TEST(RipNames, SameNameOfTwoTracks) {
    // 表 (0x95 0x5C) and 蛍 (0x8C 0x75): trail bytes that are no letters to fold.
    const std::string hyo = "\x95\x5c", kei = "\x8c\x75", keiLower = "\x8c\x55";
    const struct {
        std::vector<std::string> names;
        std::pair<int, int> same;
    } rows[] = {
        {{}, {-1, -1}},
        {{"C:\\o\\a.wav"}, {-1, -1}},
        {{"C:\\o\\a.wav", "C:\\o\\b.wav", "C:\\o\\a.wav"}, {0, 2}},
        {{"C:\\o\\x.wav", "C:\\o\\Interlude.wav", "C:\\o\\INTERLUDE.WAV"}, {1, 2}},
        {{"C:\\o\\" + hyo + ".wav", "C:\\o\\" + hyo + ".WAV"}, {0, 1}},
        {{"C:\\o\\" + kei + ".wav", "C:\\o\\" + keiLower + ".wav"}, {-1, -1}},
        {{"C:\\o\\a.wav", "C:\\p\\a.wav"}, {-1, -1}},
    };
    for (const auto& r : rows) EXPECT_EQ(FindSameName(r.names), r.same) << (r.names.empty() ? "" : r.names.back());
}

TEST(RipLookups, TrackAtSectorAndMediaIdentity) {
    TTrackTable none;
    EXPECT_EQ(GetTrackNum(none, 0), -1);
    TTrackTable t = Disc({150, 600, 1200}, 1800);
    EXPECT_EQ(GetTrackNum(t, 100), -1);
    EXPECT_EQ(GetTrackNum(t, -1), -1);
    EXPECT_EQ(GetTrackNum(t, 150), 1);
    EXPECT_EQ(GetTrackNum(t, 599), 1);
    EXPECT_EQ(GetTrackNum(t, 600), 2);
    EXPECT_EQ(GetTrackNum(t, 5000), 3);
    // Three tracks: the sum of the starts as 0x00MMSSFF.
    std::uint32_t sum = 0;
    for (int i = 1; i <= 3; ++i)
        sum += (t.Slots[i].StartMinute << 16) | (t.Slots[i].StartSecond << 8) | t.Slots[i].StartFrame;
    EXPECT_EQ(MediaIdentity(t), sum);
    // Fewer than three tracks: the disc's length in frames is added.
    TTrackTable two = Disc({0, 1000}, 4000);
    std::uint32_t id = (0 << 16) | (2 << 8) | 0;  // 00:02:00
    id += ((1150 / 4500) << 16) | ((1150 / 75 % 60) << 8) | (1150 % 75);
    id += 4000;
    EXPECT_EQ(MediaIdentity(two), id);
    // Not an audio disc.
    two.Slots[1].IsAudio = two.Slots[2].IsAudio = false;
    EXPECT_EQ(MediaIdentity(two), 0u);
}

TEST(TrackListKeys, NextTrackWalk) {
    TTrackListState s;
    EXPECT_EQ([&] { int c = 0; return SelectNextTrackRow(s, c); }(), -1);
    s.Audio = {true, true, false, true, false};
    s.Selected = {false, false, false, false, false};
    int current = -1;
    EXPECT_EQ(SelectNextTrackRow(s, current), 0);
    EXPECT_EQ(SelectNextTrackRow(s, current), 1);
    EXPECT_EQ(SelectNextTrackRow(s, current), 3);  // skips the data row
    // Past the last audio row: back to it, so it toggles again.
    EXPECT_EQ(SelectNextTrackRow(s, current), 3);
    // A focused row elsewhere takes over.
    s.Focused = 0;
    current = 3;
    EXPECT_EQ(SelectNextTrackRow(s, current), 1);
    // No valid current row: from the last selected audio row.
    s.Focused = -1;
    s.Selected = {true, true, false, false, false};
    current = 99;
    EXPECT_EQ(SelectNextTrackRow(s, current), 3);
}

TEST(LevelRing, MarkersAndCatchUp) {
    TLevelRing ring;
    ring.Put(0xFFFE, 0xFFFE, true);
    EXPECT_EQ(ring.ReadIndex, 0);
    EXPECT_EQ(ring.WriteIndex, 2);
    EXPECT_EQ(ring.Left[1], 0xFFFEu);
    ring.DelayCounter = 9;
    ring.Put(0xFFFD, 0xFFFD, true);
    EXPECT_EQ(ring.DelayCounter, 0);
    for (int i = 0; i < 12; ++i) ring.Put(100 + i, 200 + i, true);  // fills to write 15, read 0
    EXPECT_EQ(ring.WriteIndex, 15);
    ring.Put(1, 2, true);  // full: read moves by 1 on NT
    EXPECT_EQ(ring.ReadIndex, 1);
    ring.Put(3, 4, false);  // full again: by 5 elsewhere
    EXPECT_EQ(ring.ReadIndex, 6);
    EXPECT_EQ(ring.Left[15], 1u);
    EXPECT_EQ(ring.Right[0], 4u);
}

TEST(RipReport, SpeedAndBenchmarkFigures) {
    // 150 sectors in under a second: counted as one second, speed 2.0.
    EXPECT_EQ(ElapsedSeconds(1000, 1500), 0u);
    EXPECT_DOUBLE_EQ(SpeedRatio(150 / 75, 0), 2.0);
    EXPECT_EQ(ElapsedSeconds(0xFFFFFF00u, 0x000003E8u), 1u);  // across the wrap
    // Rates in floating point: 0.5 s is a rate, not a division by zero.
    EXPECT_DOUBLE_EQ(BenchRate(3528000, 500), 7056000.0);
    EXPECT_LT(BenchRate(3528000, 0), 0);
    EXPECT_LT(BenchRate(3528000, -1), 0);
}

TEST(LevelMeterScale, BarLengthsZonesAndPeakFall) {
    TLevelScale s;
    const int L = 300;
    EXPECT_EQ(s.BarLength(32767, L), L);
    EXPECT_EQ(s.BarLength(40000, L), L);  // clipped
    EXPECT_EQ(s.BarLength(-16384, L), s.BarLength(16384, L));
    EXPECT_NEAR(double(s.BarLength(16384, L)) / L, 1.0 - 6.02 / 45, 0.01);
    EXPECT_EQ(s.BarLength(184, L), 0);
    EXPECT_EQ(s.BarLength(0, L), 0);
    int green = 0, yellow = 0;
    s.Zones(L + 2, green, yellow);
    EXPECT_EQ(yellow, RoundEven(42.0 / 45 * L));
    EXPECT_EQ(green, RoundEven(39.0 / 45 * L));
    s.Log = false;
    s.Zones(L + 2, green, yellow);
    EXPECT_EQ(green, RoundEven(30.0 / 45 * L));   // step 15: 2/3
    EXPECT_EQ(yellow, RoundEven(38.0 / 45 * L));  // step 7: about 84 %
    EXPECT_EQ(s.BarLength(16384, L), RoundEven(0.5 * L));
    // Max and BandWidth stay usable whatever is set.
    for (int m : {0, 1, -1}) {
        s.SetMax(m);
        EXPECT_GE(s.Max, 2);
    }
    s.SetMax(-32768);
    EXPECT_EQ(s.Max, 32768);
    s.SetBandWidth(0);
    EXPECT_EQ(s.BandWidth, 1);
    s.Log = true;
    s.SetMax(1);
    EXPECT_GE(s.BarLength(1, L), 0);
    EXPECT_LE(s.BarLength(1, L), L);
    // The marker falls 1, 4, 9 pixels and vanishes below the bar.
    int peak = 100, step = 1;
    DecayPeakStep(peak, step, 10);
    EXPECT_EQ(peak, 99);
    DecayPeakStep(peak, step, 10);
    EXPECT_EQ(peak, 95);
    DecayPeakStep(peak, step, 10);
    EXPECT_EQ(peak, 86);
    peak = 12;
    step = 2;
    DecayPeakStep(peak, step, 10);
    EXPECT_EQ(peak, 0);
}

TEST(RipLookups, VolumeDriveAndBenchmarkFigures) {
    EXPECT_EQ(ChooseVolumeDrive({}, 3), -1);
    EXPECT_EQ(ChooseVolumeDrive({4}, -1), 4);
    EXPECT_EQ(ChooseVolumeDrive({3, 4}, 4), 4);
    EXPECT_EQ(ChooseVolumeDrive({3, 4}, 7), 3);
    const std::int32_t ms[4] = {2000, 500, 0, -1};
    const std::int32_t err[4] = {0, 1, 0, 0};
    TBenchFigures b = BenchmarkFigures(100, 15, 0, 300000, ms, err);
    EXPECT_EQ(b.Sectors, 1500u);
    EXPECT_EQ(b.Bytes, 3528000u);
    EXPECT_DOUBLE_EQ(b.Rate[0], 1764000.0);
    EXPECT_DOUBLE_EQ(b.Rate[1], 7056000.0);  // half a second: no division by zero
    EXPECT_LT(b.Rate[2], 0);
    EXPECT_LT(b.Rate[3], 0);
    EXPECT_EQ(b.InnerLast, 1499);
    EXPECT_EQ(b.OuterLast, 301499);
    int m, s, f;
    SplitMsf(b.Sectors, m, s, f);
    EXPECT_EQ(m * 10000 + s * 100 + f, 2000);  // 00:20:00
    SplitMsf(0, m, s, f);
    EXPECT_EQ(m + s + f, 0);
}

TEST(RipNames, OutputNameList) {
    TTrackTable t = Disc({0, 600, 1200, 1800}, 2400);
    t.Slots[2].IsAudio = false;
    t.Slots[2].FileStem = "keep";
    std::vector<std::string> bad;
    const std::vector<int> changed =
        ApplyNameList({"first\r", "", "bad:name", "second", "third", "fourth", "fifth"}, t,
                      [&](const std::string& l) { bad.push_back(l); });
    EXPECT_EQ(bad, std::vector<std::string>{"bad:name"});
    EXPECT_EQ(t.Slots[1].FileStem, "first");
    EXPECT_EQ(t.Slots[2].FileStem, "keep");  // the data track took "second"
    EXPECT_EQ(t.Slots[3].FileStem, "third");
    EXPECT_EQ(t.Slots[4].FileStem, "fourth");
    EXPECT_EQ(changed, (std::vector<int>{1, 3, 4}));
}

TEST(RipRun, SpeedRestoreAfterARun) {
    EXPECT_EQ(SpeedRestoreValue(true, -1), -1);
    EXPECT_EQ(SpeedRestoreValue(true, 8), -1);
    EXPECT_EQ(SpeedRestoreValue(false, 8), 0xFF08);
    EXPECT_EQ(SpeedRestoreValue(false, -1), NoSpeedRestore);  // unknown: nothing sent
}
