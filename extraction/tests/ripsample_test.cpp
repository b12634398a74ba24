// Sample routines, overlap search, verify vote, null areas and de-emphasis.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "extraction/ripsample.h"

using namespace wx;

namespace {

using Block = std::vector<std::uint8_t>;

Block Frames(std::initializer_list<std::pair<int, int>> lr) {
    Block b;
    for (auto [l, r] : lr) {
        for (int v : {l, r}) {
            std::uint16_t u = std::uint16_t(std::int16_t(v));
            b.push_back(std::uint8_t(u));
            b.push_back(std::uint8_t(u >> 8));
        }
    }
    return b;
}
std::int16_t At(const Block& b, std::size_t sample) {
    return std::int16_t(std::uint16_t(b[sample * 2] | (b[sample * 2 + 1] << 8)));
}
Block RandomPcm(std::size_t frames, unsigned seed) {
    std::mt19937 g(seed);
    Block b(frames * 4);
    for (auto& x : b) x = std::uint8_t(g());
    return b;
}

}  // namespace

TEST(SampleRoutines, SilenceLevelsAndSwaps) {
    Block b(2352, 0);
    EXPECT_FALSE(IsNonSilent(b.data(), std::uint32_t(b.size())));
    b[2351] = 1;  // only the last frame sounds
    EXPECT_TRUE(IsNonSilent(b.data(), std::uint32_t(b.size())));
    EXPECT_FALSE(IsNonSilent(b.data(), 2348));

    Block p = Frames({{100, -5}, {-32768, 7}, {3, 32767}});
    EXPECT_EQ(PeakLevels(p.data(), std::uint32_t(p.size())), 32767u * 65536u + 32768u);
    EXPECT_EQ(PeakLevels(p.data(), 3), 0u);  // below one frame: nothing

    Block s = Frames({{1, 2}, {-3, 4}});
    SwapChannels(s.data(), std::uint32_t(s.size()));
    EXPECT_EQ(s, Frames({{2, 1}, {4, -3}}));
    Block w = Frames({{0x1234, 0x00FF}});
    SwapBytes16(w.data(), std::uint32_t(w.size()));
    EXPECT_EQ(w, Frames({{0x3412, -256}}));
    Block tiny = {1, 2, 3};
    SwapBytes16(tiny.data(), 3);
    EXPECT_EQ(tiny, (Block{1, 2, 3}));
}

TEST(SampleRoutines, VolumeTruncatesAndClamps) {
    Block b = Frames({{20000, -20000}, {3, -3}, {-1, 1}});
    Block up = b;
    ApplyVolume(up.data(), 200, std::uint32_t(up.size()));
    EXPECT_EQ(At(up, 0), 32767);
    EXPECT_EQ(At(up, 1), -32768);
    EXPECT_EQ(At(up, 2), 6);
    Block half = b;
    ApplyVolume(half.data(), 50, std::uint32_t(half.size()));
    EXPECT_EQ(half, Frames({{10000, -10000}, {1, -1}, {0, 0}}));  // towards zero
    Block same = b;
    ApplyVolume(same.data(), 100, std::uint32_t(same.size()));
    EXPECT_EQ(same, b);
    Block big = Frames({{-32768, 32767}});
    ApplyVolume(big.data(), 65535, std::uint32_t(big.size()));
    EXPECT_EQ(big, Frames({{-32768, 32767}}));
}

TEST(SampleRoutines, StripSubcodeCompactsSectors) {
    Block b(3 * 2448);
    for (int s = 0; s < 3; ++s) {
        std::memset(b.data() + s * 2448, 0x10 + s, 2352);
        std::memset(b.data() + s * 2448 + 2352, 0xEE, 96);
    }
    StripSubcode(b.data(), 3);
    for (int s = 0; s < 3; ++s)
        for (int i = 0; i < 2352; ++i) ASSERT_EQ(b[s * 2352 + i], 0x10 + s) << s << " " << i;
}

TEST(SampleRoutines, DiffAndAverage) {
    Block a = Frames({{1, 2}, {3, 4}, {-3, 0}});
    Block b = Frames({{1, 9}, {3, 4}, {0, -1}});
    EXPECT_EQ(CountDiffWords(a.data(), b.data(), std::uint32_t(a.size())), 3u);
    EXPECT_EQ(CountDiffWords(a.data(), a.data(), std::uint32_t(a.size())), 0u);
    // More differing words than a 16-bit count holds still differ.
    Block x(70000 * 2, 0), y(70000 * 2, 1);
    EXPECT_EQ(CountDiffWords(x.data(), y.data(), std::uint32_t(x.size())), 70000u);
    AverageBlocks(a.data(), b.data(), std::uint32_t(a.size()));
    EXPECT_EQ(a, Frames({{1, 5}, {3, 4}, {-2, -1}}));  // rounded towards minus infinity
    Block m = Frames({{32767, -32768}});
    Block n = Frames({{32767, -32768}});
    AverageBlocks(m.data(), n.data(), 4);
    EXPECT_EQ(m, Frames({{32767, -32768}}));
}

namespace {
// A stream of distinct frames, and views of it as the kept tail and a new
// read see them.
struct OverlapCase {
    Block stream = RandomPcm(20000, 7);
    const std::uint8_t* At(std::int64_t frame) const { return stream.data() + frame * 4; }
};
}  // namespace

TEST(OverlapSearch, FindsShiftBothWays) {
    OverlapCase c;
    const std::uint8_t* ref = c.At(5000);
    EXPECT_EQ(FindOverlapShift(ref, c.At(5000), 4704, 20), 0);
    // The read lags: the reference's sector lies 5 frames further on.
    EXPECT_EQ(FindOverlapShift(ref, c.At(4995), 4704, 20), 5);
    EXPECT_EQ(FindOverlapShift(ref, c.At(5005), 4704, 20), -5);
    EXPECT_EQ(FindOverlapShift(ref, c.At(5000 - 1052), 4704, 20), 1052);
    EXPECT_EQ(FindOverlapShift(ref, c.At(5000 + 1052), 4704, 20), -1052);
    EXPECT_EQ(OverlapWindow(4704), 1053u);
    EXPECT_EQ(OverlapWindow(100), 512u);
    bool exact = false;
    EXPECT_EQ(FindOverlapShift(ref, c.At(5000 - 1052), 4704, 20, &exact), 1052);
    EXPECT_TRUE(exact);
}

// Beyond the window only a guess is left, and the caller is told so.
TEST(OverlapSearch, JitterBeyondTheWindowIsNotAnExactMatch) {
    OverlapCase c;
    const std::uint8_t* ref = c.At(8000);
    for (int beyond : {1053, 1500, -1054, -1500}) {
        bool exact = true;
        std::int32_t s = FindOverlapShift(ref, c.At(8000 - beyond), 4704, 20, &exact);
        EXPECT_FALSE(exact) << beyond << " answered " << s;
        EXPECT_LE(std::abs(s), 1052);
    }
    // Digital silence matches anywhere: exact, but featureless.
    Block silent(2352 * 6, 0);
    bool exact = false;
    EXPECT_EQ(FindOverlapShift(silent.data() + 4704, silent.data() + 4704, 4704, 6, &exact), 0);
    EXPECT_TRUE(exact);
    EXPECT_TRUE(IsFeatureless(silent.data()));
    silent[2351] = 1;  // the last frame of the sector differs
    EXPECT_FALSE(IsFeatureless(silent.data()));
    EXPECT_FALSE(IsFeatureless(c.At(100)));
}

TEST(OverlapSearch, LeastMismatchWhenNothingMatches) {
    OverlapCase c;
    Block ref(c.At(5000), c.At(5000 + 588));
    // A read of other audio holding the reference twice, 3 frames wrong in
    // each copy: at +700 and at -700.  Equal counts: the negative side wins.
    Block read = RandomPcm(4000, 99);
    std::uint8_t* mid = read.data() + 2000 * 4;
    std::memcpy(mid + 700 * 4, ref.data(), ref.size());
    std::memcpy(mid - 700 * 4, ref.data(), ref.size());
    for (int i : {10, 20, 30}) mid[(700 + i) * 4] ^= 0x11;
    for (int i : {11, 21, 31}) mid[(-700 + i) * 4] ^= 0x11;
    bool exact = true;
    EXPECT_EQ(FindOverlapShift(ref.data(), mid, 4704, 20, &exact), -700);
    EXPECT_FALSE(exact);
    // One frame fewer wrong at +700: the positive side wins.
    mid[(700 + 30) * 4] ^= 0x11;
    EXPECT_EQ(FindOverlapShift(ref.data(), mid, 4704, 20), 700);
}

TEST(OverlapSearch, LargeMismatchCountsAreMismatches) {
    OverlapCase c;
    Block ref(c.At(5000), c.At(5000 + 588));
    for (int wrong : {256, 512}) {
        Block read = c.stream;
        for (int i = 0; i < wrong; ++i) read[(5000 + i) * 4] ^= 0xFF;
        EXPECT_EQ(CompareSector(ref.data(), read.data() + 5000 * 4, 4704, 20, 0), std::uint32_t(wrong));
        // An exact copy a little further on must be found instead of shift 0.
        std::memcpy(read.data() + (5000 + 40) * 4, ref.data(), ref.size());
        EXPECT_EQ(FindOverlapShift(ref.data(), read.data() + 5000 * 4, 4704, 20), 40) << wrong;
    }
}

TEST(OverlapSearch, ShortReadsCompareFewerFrames) {
    OverlapCase c;
    const std::uint8_t* ref = c.At(5000);
    // A read of 4 sectors seen from its middle holds 1176 frames: at shift
    // 600 only 576 frames are compared, so a difference beyond them is not seen.
    Block read(c.At(5000 - 1176), c.At(5000 + 1176));
    std::uint8_t* mid = read.data() + 1176 * 4;
    std::memcpy(mid + 600 * 4, ref, 576 * 4);
    EXPECT_EQ(CompareSector(ref, mid, 4704, 4, 600), 0u);
    mid[(600 + 575) * 4] ^= 1;
    EXPECT_EQ(CompareSector(ref, mid, 4704, 4, 600), 1u);
}

TEST(VerifyVote, MajorityAndAverage) {
    const std::uint32_t len = 2352;
    std::vector<Block> r(5, RandomPcm(588, 1));
    r[1][10] ^= 1;
    r[3][20] ^= 1;
    std::uint8_t* p[5];
    for (int i = 0; i < 5; ++i) p[i] = r[i].data();
    TVoteResult v = VoteReads(p, len);
    EXPECT_EQ(v.chosen, 0);  // 0, 2 and 4 agree; the lowest index wins
    EXPECT_TRUE(v.agreed);
    EXPECT_FALSE(v.averaged);

    r[0][0] ^= 1;  // now 2 and 4 agree
    v = VoteReads(p, len);
    EXPECT_EQ(v.chosen, 2);
    EXPECT_TRUE(v.agreed);

    // All different: the closest pair (3 vs 0, one word apart) is averaged
    // into read 3.
    std::vector<Block> d;
    for (int i = 0; i < 5; ++i) d.push_back(RandomPcm(588, 10 + i));
    d[3] = d[0];
    d[3][100] ^= 0x02;
    for (int i = 0; i < 5; ++i) p[i] = d[i].data();
    Block expect = d[3];
    AverageBlocks(expect.data(), d[0].data(), len);
    v = VoteReads(p, len);
    EXPECT_EQ(v.chosen, 3);
    EXPECT_TRUE(v.averaged);
    EXPECT_EQ(d[3], expect);
}

TEST(NullAreas, CountsSilencesBetweenSounds) {
    auto run = [](std::vector<int> pattern) {  // +n sound sectors, -n silent sectors
        TNullAreaCounter c;
        c.Reset();
        Block sound(2352, 1), silence(2352, 0);
        for (int p : pattern)
            for (int i = 0; i < std::abs(p); ++i) c.Count((p > 0 ? sound : silence).data(), 2352);
        return c.Areas();
    };
    EXPECT_EQ(run({1, -75, 1}), 1);
    EXPECT_EQ(run({1, -74, 1}), 0);
    EXPECT_EQ(run({-200, 1, -300}), 0);  // before the first and after the last sound
    EXPECT_EQ(run({3, -80, 2, -100, 1, -10, 1}), 2);

    // Whole sectors only, across block borders.
    TNullAreaCounter c;
    c.Reset();
    Block big(2352 * 80, 0);
    big[0] = 1;                  // sector 0 sounds
    big[79 * 2352 + 5] = 1;      // sector 79 sounds: 78 silent between
    c.Count(big.data(), 2352 * 40);
    c.Count(big.data() + 2352 * 40, 2352 * 40 + 100);  // a partial sector is ignored
    EXPECT_EQ(c.Areas(), 1);
}

namespace {
// The filter over a whole stream, silence before it.
std::vector<std::int16_t> ReferenceDeemphasis(const Block& in) {
    const double t[6] = {-0.05, -0.3, -0.25, -0.87, -0.46, -0.1};
    std::size_t frames = in.size() / 4;
    std::vector<std::int16_t> out(frames * 2);
    for (int ch = 0; ch < 2; ++ch)
        for (std::size_t i = 0; i < frames; ++i) {
            double y = 0;
            for (std::size_t j = 0; j < 6 && j <= i; ++j) y += t[j] / 2.02 * At(in, (i - j) * 2 + ch);
            out[i * 2 + ch] = std::int16_t(std::clamp<long long>(std::llround(y), -32768, 32767));
        }
    return out;
}
}  // namespace

TEST(Deemphasis, ContinuousAcrossChunksAndBlocks) {
    Block in = RandomPcm(4000, 3);
    in[2] = 0xFF;
    in[3] = 0x7F;  // a full-scale sample to reach the clamp
    std::vector<std::int16_t> want = ReferenceDeemphasis(in);
    // Blocks of 1000 bytes (one chunk), 5000 bytes (2352 + 2648), 8 bytes
    // (shorter than the history) and the rest.
    Block work = in;
    TDeemphasis f;
    std::size_t pos = 0;
    for (std::size_t len : {1000u, 5000u, 8u, 4u, 3000u}) {
        f.Process(work.data() + pos, std::uint32_t(len));
        pos += len;
    }
    f.Process(work.data() + pos, std::uint32_t(work.size() - pos));
    for (std::size_t i = 0; i < want.size(); ++i) ASSERT_EQ(At(work, i), want[i]) << i;

    // The first chunk after a reset is filtered, not dropped.
    f.Reset();
    Block again = in;
    f.Process(again.data(), 1000);
    EXPECT_TRUE(IsNonSilent(again.data(), 1000));
    for (std::size_t i = 0; i < 500; ++i) ASSERT_EQ(At(again, i), want[i]);
}
