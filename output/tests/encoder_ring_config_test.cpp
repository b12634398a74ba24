// The encoders' PCM ring and the GOGO library's configuration sequence.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "output/gogoconfig.h"
#include "output/pcmring.h"

namespace wx {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes Pattern(size_t n, unsigned seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>((i * 131 + seed) >> 3);
    return b;
}

TEST(PcmRingTest, ABlockAsLargeAsTheFreeSpaceIsRefusedOneByteLessIsTaken) {
    TPcmRing ring;
    EXPECT_EQ(ring.Free(), 1048575u);
    const Bytes big = Pattern(1048575, 1);
    EXPECT_FALSE(ring.Write(big.data(), big.size()));
    EXPECT_EQ(ring.Free(), 1048575u);
    EXPECT_TRUE(ring.Write(big.data(), big.size() - 1));
    EXPECT_EQ(ring.Free(), 1u);
    EXPECT_FALSE(ring.Write(big.data(), 1));

    // With the positions moved along, the same rule holds.
    Bytes out(700000);
    ASSERT_TRUE(ring.ReadExact(out.data(), out.size()));
    const uint32_t f = ring.Free();
    EXPECT_EQ(f, 700001u);
    EXPECT_FALSE(ring.Write(big.data(), f));
    EXPECT_TRUE(ring.Write(big.data(), f - 1));
    EXPECT_FALSE(ring.Write(nullptr, 10));
    EXPECT_FALSE(ring.Write(big.data(), 0));
}

TEST(PcmRingTest, DataSurvivesWrappingAroundTheEnd) {
    TPcmRing ring;
    Bytes written, read;
    unsigned seed = 0;
    // Blocks of odd sizes, read back in other odd sizes, three times round.
    while (written.size() < 3 * TPcmRing::kCapacity) {
        const Bytes block = Pattern(4608 + seed % 977, seed);
        ++seed;
        while (!ring.Write(block.data(), block.size())) {
            Bytes part(3001);
            ASSERT_TRUE(ring.ReadExact(part.data(), part.size()));
            read.insert(read.end(), part.begin(), part.end());
        }
        written.insert(written.end(), block.begin(), block.end());
    }
    Bytes rest(ring.Used());
    ASSERT_TRUE(ring.ReadExact(rest.data(), rest.size()));
    read.insert(read.end(), rest.begin(), rest.end());
    EXPECT_EQ(read, written);
    EXPECT_EQ(ring.Used(), 0u);
}

TEST(PcmRingTest, ReadExactTakesAllOrNothingAndReadAvailableZeroFills) {
    TPcmRing ring;
    const Bytes data = Pattern(1000, 7);
    ASSERT_TRUE(ring.Write(data.data(), data.size()));
    Bytes frame(4608, 0xEE);
    EXPECT_FALSE(ring.ReadExact(frame.data(), frame.size()));
    EXPECT_EQ(ring.Used(), 1000u);
    EXPECT_EQ(ring.ReadAvailable(frame.data(), frame.size()), 1000u);
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 1000), data);
    EXPECT_EQ(std::accumulate(frame.begin() + 1000, frame.end(), 0), 0);  // 3,608 zero bytes
    EXPECT_EQ(ring.ReadAvailable(frame.data(), frame.size()), 0u);
    ring.Write(data.data(), 10);
    ring.Clear();
    EXPECT_EQ(ring.Used(), 0u);
    EXPECT_EQ(ring.Free(), 1048575u);
}

// ---- GOGO configuration ----

TGogoConfigInput Defaults() {
    TGogoConfigInput in;
    in.EncodeMode = TEncodeMode::_MEMORY;
    in.MemoryInputRecord = 0x1000;
    in.DestinationFileName = 0x2000;
    in.Optimization = {TUseUnit::_USE_MMX, TUseUnit::_USE_3DNOW, TUseUnit::_USE_KNI, TUseUnit::_USE_EX_3DNOW};
    in.UnitStates = 0x2 | 0x4 | 0x8 | 0x20;
    in.VersionCode = 560;
    return in;
}

std::vector<uint32_t> Ids(const std::vector<TGogoSetCall>& calls) {
    std::vector<uint32_t> ids;
    for (const auto& c : calls) ids.push_back(c.Id);
    return ids;
}

const TGogoSetCall* Find(const std::vector<TGogoSetCall>& calls, uint32_t id) {
    for (const auto& c : calls)
        if (c.Id == id) return &c;
    return nullptr;
}

TEST(GogoConfigureTest, DefaultsGoOutInTheFixedOrder) {
    const auto calls = BuildGogoConfigure(Defaults());
    const std::vector<TGogoSetCall> expected = {
        {1, 2, 0x1000}, {2, 0, 0x2000}, {8, 0, 0}, {4, 128, 0}, {9, 0, 0}, {10, 1, 0}, {11, 1, 0},
        {12, 1, 0},     {13, 1, 0},     {14, 0, 0}, {15, 0, 0},  {17, 0, 0}, {3, 2, 0},  {19, 1, 0},
        {26, 0, 0},
    };
    EXPECT_EQ(calls, expected);
}

TEST(GogoConfigureTest, FileModeVbrEmphasisAndChannelModes) {
    TGogoConfigInput in = Defaults();
    in.EncodeMode = TEncodeMode::_FILE;
    in.SourceFileName = 0x3000;
    in.UseVBR = true;
    in.VBRLevel = 9;
    in.UsePsyAnalize = true;
    in.UseLPF = true;
    in.ForceSameRate = true;
    in.Processors = 2;
    in.Emphasis = TEmphasis::_CCITT_EMPH;
    in.EncodeType = TEncodeType::_DUALCHANNEL;
    const auto calls = BuildGogoConfigure(in);
    EXPECT_EQ(calls[0], (TGogoSetCall{1, 0, 0x3000}));
    EXPECT_EQ(Ids(calls), (std::vector<uint32_t>{1, 2, 8, 4, 9, 18, 10, 11, 12, 13, 14, 15, 17, 3, 19, 6, 26}));
    EXPECT_EQ(Find(calls, 8)->Param1, 1u);
    EXPECT_EQ(Find(calls, 9)->Param1, 1u);
    EXPECT_EQ(Find(calls, 18)->Param1, 9u);
    EXPECT_EQ(Find(calls, 17)->Param1, 3u);
    EXPECT_EQ(Find(calls, 3)->Param1, 4u);
    EXPECT_EQ(Find(calls, 19)->Param1, 2u);
    EXPECT_EQ(Find(calls, 6)->Param1, 44100u);
    in.Emphasis = TEmphasis::_5015MS_EMPH;
    in.EncodeType = TEncodeType::_MONO;
    const auto again = BuildGogoConfigure(in);
    EXPECT_EQ(Find(again, 17)->Param1, 1u);
    EXPECT_EQ(Find(again, 3)->Param1, 0u);
}

TEST(GogoConfigureTest, UnitsTheProcessorLacksAreSwitchedOff) {
    TGogoConfigInput in = Defaults();
    in.UnitStates = 0x2;  // MMX only
    const auto calls = BuildGogoConfigure(in);
    std::vector<uintptr_t> units;
    for (uint32_t id = 10; id <= 15; ++id) units.push_back(Find(calls, id)->Param1);
    EXPECT_EQ(units, (std::vector<uintptr_t>{1, 0, 0, 0, 0, 0}));

    in.UnitStates = 0x8 | 0x20;
    in.Optimization = {TUseUnit::_USE_KNI, TUseUnit::_USE_SPC2, TUseUnit::_USE_MMX};
    const auto other = BuildGogoConfigure(in);
    units.clear();
    for (uint32_t id = 10; id <= 15; ++id) units.push_back(Find(other, id)->Param1);
    EXPECT_EQ(units, (std::vector<uintptr_t>{0, 0, 1, 0, 0, 1}));
    EXPECT_EQ(SupportedUnits(in.Optimization, 0), (TUseUnits{TUseUnit::_USE_SPC2}));
}

TEST(GogoConfigureTest, LibraryVersionGatesTheNewerSettings) {
    TGogoConfigInput in = Defaults();
    in.UseVBR = true;
    in.ExtFilter = {true, 55, 70};
    in.VBRBitrate = {true, 40, 128};
    in.MSSetting = {true, 75, 66};
    in.EncodeFormat = TEncodeFormat::_FORMAT_OF_RIFF_WAVE;
    in.Chunks = {{9, 0x5000}, {12, 0x6000}};

    const auto v560 = BuildGogoConfigure(in);
    EXPECT_EQ(*Find(v560, 31), (TGogoSetCall{31, 55, 70}));
    EXPECT_EQ(*Find(v560, 30), (TGogoSetCall{30, 40, 128}));
    EXPECT_EQ(*Find(v560, 32), (TGogoSetCall{32, 75, 66}));
    const std::vector<TGogoSetCall> tail(v560.end() - 3, v560.end());
    EXPECT_EQ(tail, (std::vector<TGogoSetCall>{{26, 1, 0}, {27, 9, 0x5000}, {27, 12, 0x6000}}));

    in.VersionCode = 559;
    const auto v559 = BuildGogoConfigure(in);
    EXPECT_EQ(Find(v559, 30), nullptr);
    EXPECT_EQ(Find(v559, 31), nullptr);
    EXPECT_EQ(Find(v559, 32), nullptr);
    EXPECT_NE(Find(v559, 26), nullptr);

    in.VersionCode = 549;
    const auto v549 = BuildGogoConfigure(in);
    EXPECT_EQ(Find(v549, 26), nullptr);
    EXPECT_EQ(Find(v549, 27), nullptr);

    in.VersionCode = 560;
    in.EncodeFormat = TEncodeFormat::_FORMAT_OF_RIFF_RMP;
    EXPECT_EQ(Find(BuildGogoConfigure(in), 26)->Param1, 2u);
    in.EncodeFormat = TEncodeFormat::_FORMAT_OF_MP3;  // chunks are not sent for plain MP3
    EXPECT_EQ(Find(BuildGogoConfigure(in), 27), nullptr);
}

TEST(GogoConfigureTest, VbrRangeNeedsVbrItself) {
    TGogoConfigInput in = Defaults();
    in.VBRBitrate = {true, 40, 128};
    in.UseVBR = false;
    const auto calls = BuildGogoConfigure(in);
    EXPECT_EQ(Find(calls, 30), nullptr);
    EXPECT_EQ(Find(calls, 18), nullptr);
}

}  // namespace
}  // namespace wx
