// The normalizer: factors and scaled samples, the percentile level, clip
// detection and restoration, silent sources, and its three sources (the
// store, raw files and WAV files, which must be CD audio).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "extraction/normaliz.h"
#include "extraction/tempstore.h"
#include "output/tests/wavbuild.h"
#include "standins/tests/TestImage.h"
#include "tests/runtool.h"

using namespace wx;

namespace {

using Frames = std::vector<std::pair<std::int32_t, std::int32_t>>;

std::vector<std::uint8_t> Pcm(const Frames& f) {
    std::vector<std::uint8_t> b;
    for (auto [l, r] : f) {
        wavbuild::Put16(b, std::uint16_t(std::int16_t(l)));
        wavbuild::Put16(b, std::uint16_t(std::int16_t(r)));
    }
    return b;
}
std::int32_t At(const std::vector<std::uint8_t>& b, std::size_t sample) {
    return std::int16_t(std::uint16_t(b[2 * sample] | b[2 * sample + 1] << 8));
}
// A sine of `amp` at `hz`, clipped at +-clip, the right channel in the
// other phase.
Frames Sine(std::size_t frames, double amp, double hz, std::int32_t clip = 32767) {
    Frames f;
    for (std::size_t i = 0; i < frames; ++i) {
        double t = 2 * 3.14159265358979323846 * hz * double(i) / 44100.0;
        auto c = [clip](double v) { return std::clamp<std::int32_t>(std::int32_t(std::lround(v)), -clip, clip); };
        f.push_back({c(amp * std::sin(t)), c(amp * std::sin(t + 1.0))});
    }
    return f;
}

class NormalizerTest : public ::testing::Test {
protected:
    std::string Raw(const std::vector<std::uint8_t>& pcm) {
        std::string p = dir.File("n" + std::to_string(files++) + ".raw");
        wavbuild::Save(p, pcm);
        return p;
    }
    std::vector<std::uint8_t> Scaled(TNormalizer& n, const std::string& name, std::int64_t factor, bool subst,
                                     std::size_t bytes) {
        EXPECT_TRUE(n.BeginApply(name, subst));
        std::vector<std::uint8_t> out(bytes + 2352);
        std::size_t got = 0;
        for (std::uint32_t k; got <= bytes && (k = n.ReadScaled(factor, out.data() + got, 2352)) > 0;) got += k;
        out.resize(got);
        return out;
    }
    testimg::TempDir dir;
    int files = 0;
};

}  // namespace

TEST(NormalizeMode, FromTheTwoFlags) {
    EXPECT_EQ(NormalizeModeOf(false, false), 0);
    EXPECT_EQ(NormalizeModeOf(true, false), 1);
    EXPECT_EQ(NormalizeModeOf(false, true), 2);
    EXPECT_EQ(NormalizeModeOf(true, true), 3);
}

TEST_F(NormalizerTest, PeakFactorAndScaledSamples) {
    TNormalizer n;
    std::string f = Raw(Pcm({{0, 0}, {16384, -100}, {-32768, 32767}, {100, 1}, {16384, 16384}}));
    std::int64_t level, factor;
    ASSERT_TRUE(n.Analyze(f, true, false, level, factor, 32767, 0));
    EXPECT_EQ(level, 32768);
    n.End();
    f = Raw(Pcm({{0, 0}, {16384, -100}, {-16000, 200}, {100, 1}}));
    ASSERT_TRUE(n.Analyze(f, true, false, level, factor, 32767, 0));
    EXPECT_EQ(level, 16384);
    EXPECT_EQ(factor, 19999);
    auto out = Scaled(n, f, factor, false, 16);
    ASSERT_EQ(out.size(), 16u);
    EXPECT_EQ(At(out, 2), 32766);
    EXPECT_EQ(At(out, 4), -16000 * 19999 / 10000);
    // Factor 10000 leaves the extremes as they are.
    out = Scaled(n, f, 10000, false, 16);
    f = Raw(Pcm({{-32768, 32767}}));
    n.End();
    ASSERT_TRUE(n.Analyze(f, true, false, level, factor, 32767, 0));
    out = Scaled(n, f, 10000, false, 4);
    EXPECT_EQ(At(out, 0), -32768);
    EXPECT_EQ(At(out, 1), 32767);
    // A level of 1 gives the largest factor: the products need 64 bits.
    n.End();
    f = Raw(Pcm({{1, -1}, {0, 0}}));
    ASSERT_TRUE(n.Analyze(f, true, false, level, factor, 32767, 0));
    EXPECT_EQ(factor, 327670000);
    out = Scaled(n, f, factor, false, 8);
    EXPECT_EQ(At(out, 0), 32767);
    EXPECT_EQ(At(out, 1), -32767);
}

TEST_F(NormalizerTest, TestSignalReachesTheTargetWithinOneStep) {
    // Peak and average levels of a sine that changes level.
    Frames s = Sine(44100, 7000, 440);
    for (std::size_t i = 22050; i < s.size(); ++i) s[i] = {s[i].first / 2, s[i].second / 2};
    std::string f = Raw(Pcm(s));
    for (bool average : {false, true}) {
        TNormalizer n;
        std::int64_t level, factor;
        const std::int64_t target = average ? 9000 : 29000;
        ASSERT_TRUE(n.Analyze(f, true, average, level, factor, target, 0));
        auto out = Scaled(n, f, factor, false, s.size() * 4);
        ASSERT_EQ(out.size(), s.size() * 4);
        std::int32_t peak = 0;
        for (std::size_t i = 0; i < s.size() * 2; ++i) {
            const double x = i & 1 ? s[i / 2].second : s[i / 2].first;
            // Truncated towards zero, with the factor in steps of 1/10000.
            const double ideal = x * double(target) / double(level);
            ASSERT_LT(std::abs(At(out, i) - ideal), 1.0 + std::abs(x) / 10000.0) << "sample " << i;
            peak = std::max(peak, std::abs(At(out, i)));
        }
        if (!average) EXPECT_NEAR(peak, target, 1);
        else EXPECT_GT(peak, 9000);  // the average reaches the target, the peak lies above it
#if !defined(_WIN32)
        // sox reads the same peak from the scaled audio as a WAV file.
        std::string wav = dir.File("scaled.wav");
        wavbuild::Save(wav, wavbuild::CdWave(out));
        const std::string text = wxtest::RunTool("sox " + wav + " -n stat");
        auto at = text.find("Maximum amplitude:");
        ASSERT_NE(at, std::string::npos) << text;
        const double soxPeak = std::atof(text.c_str() + at + 18) * 32768.0;
        EXPECT_NEAR(soxPeak, average ? peak : target, 1.5) << text;
#endif
    }
}

TEST_F(NormalizerTest, PercentileLevelOfTheLocalPeaks) {
    // 1000 local peaks of 20000 and 10 of 30000 (left only): 1 % of 1010
    // is 10, so the 10 highest lie above the level.
    Frames f{{0, 0}};
    for (int i = 0; i < 1000; ++i) f.insert(f.end(), {{20000, 0}, {0, 0}});
    for (int i = 0; i < 10; ++i) f.insert(f.end(), {{-30000, 0}, {0, 0}});
    std::string raw = Raw(Pcm(f));
    TNormalizer n;
    std::int64_t level, factor;
    ASSERT_TRUE(n.Analyze(raw, true, false, level, factor, 32767, 1));
    EXPECT_EQ(level, 20001);
    EXPECT_EQ(n.PercentileLevel(), 20001);
    EXPECT_EQ(factor, 327670000 / 20001);
    // The percentile flag asks for substitution, but without the clip flag
    // there are no restored values: the read scales every sample.
    auto out = Scaled(n, raw, factor, true, 12);
    EXPECT_EQ(At(out, 2), 20000 * factor / 10000);
}

TEST_F(NormalizerTest, ClippedSineIsRestored) {
    Frames s = Sine(44100 / 2, 30000, 441, 20000);
    std::string f = Raw(Pcm(s));
    std::size_t clipped[2] = {};
    for (auto [l, r] : s) {
        clipped[0] += std::abs(l) >= 20000;
        clipped[1] += std::abs(r) >= 20000;
    }
    ASSERT_GT(clipped[0], 1000u);
    for (int mode : {2, 3}) {
        TNormalizer n;
        std::int64_t level, factor;
        ASSERT_TRUE(n.Analyze(f, true, false, level, factor, 29490, mode)) << mode;
        EXPECT_EQ(n.ClipLow(), -20000);
        EXPECT_EQ(n.ClipHigh(), 20000);
        for (int c = 0; c < 2; ++c) {
            ASSERT_EQ(n.RestoreList(c).size(), clipped[c]) << "channel " << c;
            EXPECT_GT(n.NewPeak(c), 20000);
            // Each restored value lies beyond the clip level on its side.
            std::size_t k = 0;
            for (auto fr : s) {
                std::int32_t x = c ? fr.second : fr.first;
                if (std::abs(x) < 20000) continue;
                std::int32_t v = n.RestoreList(c)[k++];
                ASSERT_TRUE(x > 0 ? v >= 20000 : v <= -20000) << k;
            }
        }
        EXPECT_GT(level, 20000);
        EXPECT_LT(factor, 29490 * 10000 / 20000);
        // Substitution: the clipped samples come out from their restored
        // values, so the scaled peak keeps the shape above the old clip.
        auto out = Scaled(n, f, factor, true, s.size() * 4);
        std::int32_t top = 0;
        for (std::size_t i = 0; i < s.size() * 2; ++i) top = std::max(top, At(out, i));
        EXPECT_GT(top, 20000 * factor / 10000);
    }
    // An unclipped sine has no thresholds of its own and nothing to restore.
    TNormalizer n;
    std::int64_t level, factor;
    ASSERT_TRUE(n.Analyze(Raw(Pcm(Sine(44100 / 2, 15000, 441))), true, false, level, factor, 29490, 2));
    EXPECT_EQ(n.ClipHigh(), 32767);
    EXPECT_TRUE(n.RestoreList(0).empty());
    EXPECT_EQ(level, 15000);
}

TEST_F(NormalizerTest, SilentSourcesAreNotDividedBy) {
    std::string f = Raw(std::vector<std::uint8_t>(100000, 0));
    for (int mode = 0; mode < 4; ++mode) {
        for (bool average : {false, true}) {
            TNormalizer n;
            std::int64_t level = -1, factor = -1;
            EXPECT_FALSE(n.Analyze(f, true, average, level, factor, 32767, mode));
            EXPECT_EQ(n.LastError(), TNormalizeError::Silent);
            EXPECT_EQ(level, 0);
            EXPECT_EQ(factor, 10000);
            EXPECT_EQ(NormalizeCalcFactor(f, true, mode & 1, mode & 2, average), -1);
        }
    }
    // An empty file too, and a WAV file of silence.
    EXPECT_EQ(NormalizeCalcFactor(Raw({}), true, false, false, false), -1);
    std::string wav = dir.File("silent.wav");
    wavbuild::Save(wav, wavbuild::CdWave(std::vector<std::uint8_t>(20000, 0)));
    TNormalizeError e;
    EXPECT_EQ(NormalizeCalcFactor(wav, false, false, false, false, &e), -1);
    EXPECT_EQ(e, TNormalizeError::Silent);
    EXPECT_NE(NormalizeErrorMessageId(e), 0);
}

TEST_F(NormalizerTest, WaveFilesAndTheStore) {
    auto pcm = Pcm(Sine(10000, 12000, 1000));
    std::string wav = dir.File("a.wav");
    wavbuild::Save(wav, wavbuild::CdWave(pcm));
    TNormalizeError e;
    EXPECT_EQ(NormalizeCalcFactor(wav, false, false, false, false, &e), 327670000 / 12000);
    EXPECT_EQ(e, TNormalizeError::None);
    // With the clip flag the peak target is 90 % of full scale.
    EXPECT_EQ(NormalizeCalcFactor(wav, false, false, true, false), 294900000 / 12000);
    std::string mono = dir.File("m.wav");
    wavbuild::Save(mono, wavbuild::Wave({wavbuild::Chunk("fmt ", wavbuild::Fmt(1, 1, 44100, 16)),
                                         wavbuild::Chunk("data", pcm)}));
    EXPECT_EQ(NormalizeCalcFactor(mono, false, false, false, false, &e), -1);
    EXPECT_EQ(e, TNormalizeError::NotCdAudio);
    std::string broken = dir.File("b.wav");
    wavbuild::Save(broken, wavbuild::Wave({wavbuild::Chunk("fmt ", wavbuild::Fmt(1, 2, 44100, 16)),
                                           wavbuild::Chunk("data", pcm, 1 << 24)}));
    EXPECT_EQ(NormalizeCalcFactor(broken, false, false, false, false, &e), -1);
    EXPECT_EQ(e, TNormalizeError::NotWave);
    EXPECT_EQ(NormalizeCalcFactor(dir.File("none.wav"), false, false, false, false, &e), -1);
    EXPECT_EQ(e, TNormalizeError::CannotOpen);

    // The store's slot 0, and no slot at all.
    TTempStore store;
    TNormalizer n(&store);
    std::int64_t level, factor;
    EXPECT_FALSE(n.Analyze("", false, false, level, factor, 32767, 0));
    EXPECT_EQ(n.LastError(), TNormalizeError::NoStore);
    std::vector<std::uint8_t> memory(10 * SectorBytes);
    store.Reset(memory.data(), 3 * SectorBytes);
    ASSERT_TRUE(store.Open(dir.File("s.$$$")));
    ASSERT_TRUE(store.Write(0, pcm.data(), std::uint32_t(pcm.size())));
    ASSERT_TRUE(store.Reopen());
    ASSERT_TRUE(n.Analyze("", false, false, level, factor, 24000, 0));
    EXPECT_EQ(factor, 240000000 / 12000);
    ASSERT_TRUE(n.BeginApply("", false));
    std::vector<std::uint8_t> out(pcm.size());
    EXPECT_EQ(n.ReadScaled(factor, out.data(), std::uint32_t(out.size())), pcm.size());
    EXPECT_EQ(At(out, 0), At(pcm, 0) * 2);
    n.End();
    store.CloseAll();
}
