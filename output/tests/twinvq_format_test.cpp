// TwinVQ file format: header and chunks, the frame writer's field order and
// widths, PCM conversion, and the chunk bank's reading and rewriting.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "output/bfile.h"
#include "output/bstream.h"
#include "output/chunkbank.h"
#include "output/tests/testfiles.h"

namespace wx {
namespace {

using Bytes = std::vector<unsigned char>;
using test::ReadAll;

// Reads fields back from a byte stream, most significant bit first.
class BitReader {
public:
    explicit BitReader(const Bytes& b, size_t startByte = 0) : b_(b), pos_(startByte * 8) {}
    uint32_t Get(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++pos_) v = v << 1 | ((b_.at(pos_ / 8) >> (7 - pos_ % 8)) & 1);
        return v;
    }
    size_t Position() const { return pos_; }

private:
    const Bytes& b_;
    size_t pos_;
};

uint32_t Be32(const Bytes& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

class TwinVQFormatTest : public ::testing::Test {
protected:
    // Writes a file: header with the given chunks, then `frameBits` bits.
    std::string WriteFile(const std::string& name, const Bytes& chunks, const std::vector<std::pair<int, int>>& frameBits) {
        const std::string path = dir.Path(name);
        PBitFile f = BitFileOpen(path, "wb");
        EXPECT_NE(f, nullptr);
        WriteTwinVQHeader(f, chunks.data(), static_cast<int>(chunks.size()));
        for (auto [v, n] : frameBits) BitFilePutBits(v, n, f);
        EXPECT_TRUE(BitFileClose(f));
        return path;
    }
    test::TScratchDir dir{"wx-twinvq"};
};

TEST_F(TwinVQFormatTest, OneCharacterTitleGivesThirtyThreeBytesOfChunks) {
    TTvqTagTexts texts;
    texts.Title = "A";
    const Bytes chunks = BuildTwinVQChunks(TTvqCommon{}, texts);
    ASSERT_EQ(chunks.size(), 33u);
    const Bytes file = ReadAll(WriteFile("one.vqf", chunks, {}));
    ASSERT_EQ(file.size(), 53u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 12), "TWIN97012000");
    EXPECT_EQ(Be32(file, 12), 33u);
    EXPECT_EQ(std::string(file.begin() + 16, file.begin() + 20), "COMM");
    EXPECT_EQ(Be32(file, 20), 16u);
    EXPECT_EQ(Be32(file, 24), 1u);   // stereo
    EXPECT_EQ(Be32(file, 28), 96u);  // kbit/s
    EXPECT_EQ(Be32(file, 32), 44u);  // kHz
    EXPECT_EQ(Be32(file, 36), 0u);   // security level
    EXPECT_EQ(std::string(file.begin() + 40, file.begin() + 44), "NAME");
    EXPECT_EQ(Be32(file, 44), 1u);
    EXPECT_EQ(file[48], 'A');
    EXPECT_EQ(std::string(file.begin() + 49, file.begin() + 53), "DATA");
}

TEST_F(TwinVQFormatTest, ChunksFollowTheFixedOrderAndEmptyTextsAreLeftOut) {
    TTvqTagTexts t;
    t.CopyRight = "(C) 2000";
    t.Comment = "comment";
    t.Author = "artist";
    t.Title = "title";
    t.Year = 2000;
    const Bytes c = BuildTwinVQChunks(TTvqCommon{0, 80, 22, 0}, t);
    std::vector<std::string> ids;
    for (size_t at = 0; at + 8 <= c.size(); at += 8 + Be32(c, at + 4)) ids.emplace_back(c.begin() + at, c.begin() + at + 4);
    EXPECT_EQ(ids, (std::vector<std::string>{"COMM", "NAME", "AUTH", "COMT", "(c) ", "YEAR"}));
    // Mono, 80 kbit/s, 22 kHz in "COMM"; year 2000 as 07 D0 00 at the end.
    EXPECT_EQ(Be32(c, 8), 0u);
    EXPECT_EQ(Be32(c, 12), 80u);
    EXPECT_EQ(Be32(c, 16), 22u);
    EXPECT_EQ(Bytes(c.end() - 3, c.end()), (Bytes{0x07, 0xD0, 0x00}));
    EXPECT_EQ(Be32(c, c.size() - 7), 3u);

    t.Year = 0;
    t.Album.clear();
    const Bytes noYear = BuildTwinVQChunks(TTvqCommon{}, t);
    EXPECT_EQ(std::string(noYear.end() - 8 - 8, noYear.end() - 8 - 4), "(c) ");
}

TEST_F(TwinVQFormatTest, TextsAreCutTo255BytesWithoutSplittingACharacter) {
    std::string kana;
    for (int i = 0; i < 200; ++i) kana += "\x82\xA0";  // double-byte characters
    TTvqTagTexts t;
    t.Title = kana;
    t.Author = std::string(300, 'x');
    t.Album = "x" + kana;
    const Bytes c = BuildTwinVQChunks(TTvqCommon{}, t);
    size_t at = 24;
    EXPECT_EQ(Be32(c, at + 4), 254u);  // NAME: 127 whole characters
    at += 8 + 254;
    EXPECT_EQ(Be32(c, at + 4), 255u);  // AUTH
    at += 8 + 255;
    EXPECT_EQ(Be32(c, at + 4), 255u);  // ALBM: one byte and 127 characters
}

// A small configuration whose frame layout is worked out by hand below.
struct FrameFixture {
    int32_t w0[4][4] = {{3, 2}, {0}, {1, 1}, {2, 3}};
    int32_t w1[4][4] = {{2, 2}, {0}, {1, 1}, {1, 2}};
    TTvqBitInfo info;
    TTvqIndex idx{};
    int32_t main[4] = {5, 1, 3, 2};
    int32_t sub[8] = {9, 3, 12, 6, 1, 2, 3, 4};
    int32_t subGain[4] = {2, 1, 3, 0};
    int32_t chRun[6] = {1, 7, 2, 0, 3, 1};
    int32_t gain0[3] = {3, 0, 1};
    int32_t gain1[3] = {1, 2, 0};
    int32_t shared[4] = {3, 1, 0, 2};
    int32_t band0[4] = {1, 0, 1, 1};
    int32_t band1[4] = {0, 1, 1, 0};

    FrameFixture() {
        TTvqConfInfo& c = info.Conf;
        c.Channels = 2;
        c.WindowTypeBits = 4;
        c.GainBits0 = 2;
        c.GainBits1 = 2;
        c.GainRestBits = 1;
        c.GainRestCount = 1;
        c.SubBlockGainBits = 2;
        c.ChannelHeadBits = 2;
        c.ChannelRunBits = 3;
        c.SharedCount = 2;
        c.SharedBits0 = 3;
        c.SharedBits1 = 1;
        TTvqBlockTypeInfo& r = c.BlockType[0];
        r.SubBlocks = 2;
        r.MainDivisions = 2;
        r.CountPerSubBlock = 2;
        r.SubBlockBits = 4;
        r.ChannelRunCount = 2;
        r.UpperBound = 3;
        r.LowerBound = 1;
        r.BandBits = 1;
        c.BlockType[2] = r;
        for (int t = 0; t < 4; ++t) {
            info.W0[t] = w0[t];
            info.W1[t] = w1[t];
        }
        idx.WindowType = 9;
        idx.MainIndex = main;
        idx.SubBlockIndex = sub;
        idx.SubBlockGain = subGain;
        idx.ChannelRun = chRun;
        idx.Gain[0] = gain0;
        idx.Gain[1] = gain1;
        idx.SharedIndex = shared;
        idx.SharedValue0[0] = 5;
        idx.SharedValue0[1] = 6;
        idx.SharedValue1[0] = 1;
        idx.SharedValue1[1] = 0;
        idx.BandIndex[0] = band0;
        idx.BandIndex[1] = band1;
    }
};

Bytes FrameBytes(const std::string& path, TTvqIndex& idx, TTvqBitInfo& info) {
    PBitFile f = BitFileOpen(path, "wb");
    EXPECT_NE(f, nullptr);
    WriteTwinVQFrame(idx, info, f);
    EXPECT_TRUE(BitFileClose(f));
    return ReadAll(path);
}

TEST_F(TwinVQFormatTest, FrameFieldsComeInOrderWithTheirWidths) {
    FrameFixture fx;
    const Bytes b = FrameBytes(dir.Path("frame0.bin"), fx.idx, fx.info);
    BitReader r(b);
    EXPECT_EQ(r.Get(4), 9u);  // window type
    // main vector: index i with W0[i], index D + i with W1[i]
    EXPECT_EQ(r.Get(3), 5u);
    EXPECT_EQ(r.Get(2), 3u);
    EXPECT_EQ(r.Get(2), 1u);
    EXPECT_EQ(r.Get(2), 2u);
    // sub-block values, channel by channel, sub-block by sub-block
    for (int v : {9, 3, 12, 6, 1, 2, 3, 4}) EXPECT_EQ(r.Get(4), uint32_t(v));
    for (int v : {2, 1, 3, 0}) EXPECT_EQ(r.Get(2), uint32_t(v));
    // per-channel runs: head then N values, N = 2
    EXPECT_EQ(r.Get(2), 1u);
    EXPECT_EQ(r.Get(3), 7u);
    EXPECT_EQ(r.Get(3), 2u);
    EXPECT_EQ(r.Get(2), 0u);
    EXPECT_EQ(r.Get(3), 3u);
    EXPECT_EQ(r.Get(3), 1u);
    // gains of channel 0, then channel 1
    EXPECT_EQ(r.Get(2), 3u);
    EXPECT_EQ(r.Get(2), 0u);
    EXPECT_EQ(r.Get(1), 1u);
    EXPECT_EQ(r.Get(2), 1u);
    EXPECT_EQ(r.Get(2), 2u);
    EXPECT_EQ(r.Get(1), 0u);
    // neither the shared nor the band run: 4+9+32+8+16+10 = 79 bits
    EXPECT_EQ(r.Position(), 79u);
    EXPECT_EQ(b.size(), 10u);
}

TEST_F(TwinVQFormatTest, SharedAndBandRunsUseTheirOwnWidths) {
    FrameFixture fx;
    fx.info.Conf.BlockType[0].HasSharedRun = 1;
    fx.info.Conf.BlockType[0].HasBandRun = 1;
    const Bytes b = FrameBytes(dir.Path("frame1.bin"), fx.idx, fx.info);
    BitReader r(b, 0);
    r.Get(79);
    // shared run with the block-type-3 tables: W0 = {2, 3}, W1 = {1, 2}
    EXPECT_EQ(r.Get(2), 3u);  // [0] with W0[0]
    EXPECT_EQ(r.Get(1), 0u);  // [M + 0] with W1[0]
    EXPECT_EQ(r.Get(3), 1u);  // [1] with W0[1]
    EXPECT_EQ(r.Get(2), 2u);  // [M + 1] with W1[1]
    EXPECT_EQ(r.Get(3), 5u);  // channel 0 values
    EXPECT_EQ(r.Get(1), 1u);
    EXPECT_EQ(r.Get(3), 6u);  // channel 1 values
    EXPECT_EQ(r.Get(1), 0u);
    // band run: per channel, per sub-block, k = B .. U-1 (two values)
    for (int v : {1, 0, 1, 1, 0, 1, 1, 0}) EXPECT_EQ(r.Get(1), uint32_t(v));
    EXPECT_EQ(r.Position(), 79u + 16u + 8u);
}

TEST_F(TwinVQFormatTest, BlockTypeTwoAsksTheLibraryForItsDivisionsFirst) {
    FrameFixture fx;
    static int calls;
    static int32_t* seenDivisions;
    calls = 0;
    fx.info.UpdateVectorInfo = [](int32_t mode, int32_t* d, int32_t* w0, int32_t* w1) {
        ++calls;
        seenDivisions = d;
        EXPECT_EQ(mode, 0);
        *d = 1;  // the library may shrink the main vector
        w0[0] = 5;
        w1[0] = 3;
    };
    fx.idx.BlockType = 2;
    fx.main[0] = 17;
    fx.main[1] = 6;  // index D + 0 once D is 1
    const Bytes b = FrameBytes(dir.Path("frame2.bin"), fx.idx, fx.info);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seenDivisions, &fx.info.Conf.BlockType[2].MainDivisions);
    BitReader r(b);
    EXPECT_EQ(r.Get(4), 9u);
    EXPECT_EQ(r.Get(5), 17u);
    EXPECT_EQ(r.Get(3), 6u);
    EXPECT_EQ(r.Get(4), 9u);  // the sub-block values follow at once

    // Block type 0 never calls it.
    fx.idx.BlockType = 0;
    FrameBytes(dir.Path("frame3.bin"), fx.idx, fx.info);
    EXPECT_EQ(calls, 1);
}

TEST_F(TwinVQFormatTest, MissingArraysWriteZerosAndKeepTheFrameLength) {
    FrameFixture fx;
    fx.idx.SubBlockIndex = nullptr;
    fx.idx.Gain[1] = nullptr;
    fx.info.Conf.Channels = 7;  // more channels than the record has: two are written
    const Bytes b = FrameBytes(dir.Path("frame4.bin"), fx.idx, fx.info);
    EXPECT_EQ(b.size(), 10u);
    BitReader r(b);
    r.Get(13);
    EXPECT_EQ(r.Get(32), 0u);
}

TEST_F(TwinVQFormatTest, PcmIsSplitIntoChannelRunsPaddedWithZeros) {
    const int16_t pcm[] = {1, -1, 32767, -32768, 100, 200, 7};
    float frame[8];
    std::fill(std::begin(frame), std::end(frame), 99.0f);
    PcmToFloatFrame(6, pcm, frame, 2, 4);
    const float expected[] = {1, 32767, 100, 0, -1, -32768, 200, 0};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(frame[i], expected[i]) << i;

    float mono[4];
    PcmToFloatFrame(7, pcm, mono, 1, 4);  // more samples than a frame: the frame is full
    EXPECT_EQ(mono[3], -32768.0f);
}

// ---- chunk bank ----

Bytes SampleChunks() {
    TTvqTagTexts t;
    t.Title = "\x83\x5E\x83\x43\x83\x67\x83\x8B";  // Shift-JIS text
    t.Author = "artist";
    t.Album = "album";
    t.Comment = "comment";
    t.CopyRight = "copyright";
    t.Year = 1999;
    return BuildTwinVQChunks(TTvqCommon{1, 96, 44, 0}, t);
}

TEST_F(TwinVQFormatTest, ChunksReadBackOneByOne) {
    const std::string path = WriteFile("tags.vqf", SampleChunks(), {{0x2AB, 10}, {0x1F, 5}});
    TChunkBank bank;
    ASSERT_TRUE(bank.LoadFromFile(path));
    std::vector<std::string> ids;
    for (const auto& c : bank.Chunks()) ids.push_back(c.Id);
    EXPECT_EQ(ids, (std::vector<std::string>{"COMM", "NAME", "AUTH", "ALBM", "COMT", "(c) ", "YEAR"}));
    EXPECT_EQ(bank.GetChunkString("NAME"), "\x83\x5E\x83\x43\x83\x67\x83\x8B");
    EXPECT_EQ(bank.GetChunkString("AUTH"), "artist");
    EXPECT_EQ(bank.GetChunkString("(c) "), "copyright");
    EXPECT_EQ(bank.GetChunkString("FILE"), "");
    EXPECT_EQ(bank.GetYear(), 1999);
    EXPECT_EQ(bank.ChunkAreaLength(), Be32(ReadAll(path), 12));
}

TEST_F(TwinVQFormatTest, RewrittenHeaderKeepsTheAudioAndTheChunkOrder) {
    const std::vector<std::pair<int, int>> audio = {{0x3C, 7}, {0x155, 9}, {0x0F0F, 16}, {1, 1}};
    const std::string src = WriteFile("src.vqf", SampleChunks(), audio);
    const Bytes original = ReadAll(src);
    const size_t dataAt = 16 + Be32(original, 12);
    const Bytes audioBytes(original.begin() + dataAt + 4, original.end());

    TChunkBank bank;
    ASSERT_TRUE(bank.LoadFromFile(src));
    bank.DeleteChunk("(c) ");
    bank.SetChunkString("AUTH", "another artist");
    bank.SetChunkString("NAME", "");
    bank.SetYear(2000);
    const std::string dst = dir.Path("dst.vqf");
    ASSERT_TRUE(bank.SaveHeader(dst));
    ASSERT_TRUE(TChunkBank::AppendAudioData(src, dst));

    const Bytes out = ReadAll(dst);
    const size_t newDataAt = 16 + Be32(out, 12);
    ASSERT_GE(out.size(), newDataAt + 4);
    EXPECT_EQ(std::string(out.begin() + newDataAt, out.begin() + newDataAt + 4), "DATA");
    EXPECT_EQ(Bytes(out.begin() + newDataAt + 4, out.end()), audioBytes);

    TChunkBank again;
    ASSERT_TRUE(again.LoadFromFile(dst));
    std::vector<std::string> ids;
    for (const auto& c : again.Chunks()) ids.push_back(c.Id);
    EXPECT_EQ(ids, (std::vector<std::string>{"COMM", "NAME", "AUTH", "ALBM", "COMT", "YEAR"}));
    EXPECT_EQ(again.GetChunkString("AUTH"), "another artist");
    EXPECT_EQ(again.GetChunkString("NAME"), "");
    EXPECT_EQ(again.GetYear(), 2000);
}

TEST_F(TwinVQFormatTest, CommIsWrittenFirstWhereverItStandsInTheList) {
    TChunkBank bank;
    bank.SetChunkString("NAME", "x");
    EXPECT_FALSE(bank.SaveHeader(dir.Path("nocomm.vqf")));
    EXPECT_EQ(ReadAll(dir.Path("nocomm.vqf")).size(), 16u);  // the head only

    bank.SetChunkString("COMM", std::string(16, '\0'));
    bank.SetChunkString("ALBM", "y");
    ASSERT_TRUE(bank.SaveHeader(dir.Path("comm.vqf")));
    const Bytes b = ReadAll(dir.Path("comm.vqf"));
    EXPECT_EQ(Be32(b, 12), 8u + 1 + 8 + 16 + 8 + 1);
    EXPECT_EQ(std::string(b.begin() + 16, b.begin() + 20), "COMM");
    EXPECT_EQ(std::string(b.begin() + 40, b.begin() + 44), "NAME");
    EXPECT_EQ(std::string(b.begin() + 49, b.begin() + 53), "ALBM");

    TChunkBank empty;
    EXPECT_FALSE(empty.SaveHeader(dir.Path("empty.vqf")));
    EXPECT_FALSE(test::Exists(dir.Path("empty.vqf")));
}

TEST_F(TwinVQFormatTest, BrokenFilesAreRefusedAndLeaveTheListEmpty) {
    const Bytes good = ReadAll(WriteFile("good.vqf", SampleChunks(), {{0xFF, 8}}));
    const size_t commEnd = 16 + 24;
    struct Case {
        const char* what;
        Bytes data;
    };
    Bytes badSig = good;
    badSig[4] = '8';
    Bytes truncated(good.begin(), good.begin() + commEnd + 6);
    Bytes hugeLength = good;
    hugeLength[commEnd + 4] = 0x7F;  // "NAME" length near 2 GiB
    Bytes noData = good;
    const size_t dataAt = 16 + Be32(good, 12);
    std::memcpy(&noData[dataAt], "DATX", 4);
    // Chunk area without "COMM": the NAME chunk alone.
    Bytes noComm(good.begin(), good.begin() + 16);
    noComm.insert(noComm.end(), good.begin() + commEnd, good.begin() + commEnd + 16);
    noComm[15] = 16;
    noComm.insert(noComm.end(), {'D', 'A', 'T', 'A', 0});
    noComm[12] = noComm[13] = noComm[14] = 0;
    const Case cases[] = {
        {"signature", badSig}, {"truncated chunk", truncated}, {"length past the end", hugeLength},
        {"no DATA", noData},   {"no COMM", noComm},            {"short head", Bytes(good.begin(), good.begin() + 10)},
    };
    for (const auto& c : cases) {
        const std::string path = dir.Path("broken.vqf");
        test::WriteAll(path, c.data);
        TChunkBank bank;
        bank.SetChunkString("NAME", "stale");
        EXPECT_FALSE(bank.LoadFromFile(path)) << c.what;
        EXPECT_TRUE(bank.Chunks().empty()) << c.what;
    }
    TChunkBank bank;
    EXPECT_FALSE(bank.LoadFromFile(dir.Path("no-such-file.vqf")));
}

TEST_F(TwinVQFormatTest, AppendFailsWithoutTouchingTheDestinationWhenTheSourceLies) {
    Bytes src = ReadAll(WriteFile("liar.vqf", SampleChunks(), {{0xAA, 8}}));
    src[12] = 0x10;  // chunk-area length far past the end
    test::WriteAll(dir.Path("liar.vqf"), src);
    const Bytes destBefore = {'T', 'W', 'I', 'N', 1, 2, 3};
    test::WriteAll(dir.Path("dest.vqf"), destBefore);
    EXPECT_FALSE(TChunkBank::AppendAudioData(dir.Path("liar.vqf"), dir.Path("dest.vqf")));
    EXPECT_EQ(ReadAll(dir.Path("dest.vqf")), destBefore);
    EXPECT_FALSE(TChunkBank::AppendAudioData(dir.Path("absent.vqf"), dir.Path("dest.vqf")));
    // A missing destination is not created.
    const std::string good = WriteFile("fine.vqf", SampleChunks(), {{0xAA, 8}});
    EXPECT_FALSE(TChunkBank::AppendAudioData(good, dir.Path("absent-dest.vqf")));
    EXPECT_FALSE(test::Exists(dir.Path("absent-dest.vqf")));
}

TEST_F(TwinVQFormatTest, AppendingAFileToItselfEnds) {
    const std::string path = WriteFile("self.vqf", SampleChunks(), {{0x12345, 20}});
    const size_t before = ReadAll(path).size();
    const size_t audio = before - (16 + 4 + Be32(ReadAll(path), 12));
    ASSERT_TRUE(TChunkBank::AppendAudioData(path, path));
    EXPECT_EQ(ReadAll(path).size(), before + 4 + audio);
}

TEST_F(TwinVQFormatTest, ChunkEditsTouchOnlyTheFirstChunkOfAnIdentifier) {
    TChunkBank bank;
    bank.SetChunkString("COMT", "one");
    bank.SetChunkString("NAME", "n");
    bank.SetChunkString("COMT", "two");  // replaces
    EXPECT_EQ(bank.Chunks().size(), 2u);
    EXPECT_EQ(bank.GetChunkString("COMT"), "two");
    bank.SetChunkString("TOOLONG", "ignored");
    EXPECT_EQ(bank.Chunks().size(), 2u);
    bank.DeleteChunk("comt");  // identifiers compare exactly
    EXPECT_EQ(bank.Chunks().size(), 2u);
    bank.DeleteChunk("COMT");
    ASSERT_EQ(bank.Chunks().size(), 1u);
    EXPECT_EQ(bank.Chunks()[0].Id, "NAME");
    EXPECT_EQ(bank.GetYear(), 0);
    bank.SetYear(2000);
    EXPECT_EQ(bank.Chunks()[1].Data, (Bytes{0x07, 0xD0, 0x00}));
    EXPECT_EQ(bank.GetYear(), 2000);
    EXPECT_EQ(bank.ChunkAreaLength(), 9u + 11u);
    bank.Clear();
    EXPECT_TRUE(bank.Chunks().empty());
}

#ifndef _WIN32
// ffprobe (an outside reader of the format) sees our header chunks and
// counts our frames when they have the size the bit rate gives.
TEST_F(TwinVQFormatTest, FfprobeReadsTheHeaderChunksWeWrite) {
    if (std::system("ffprobe -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe is not installed";
    TTvqTagTexts t;
    t.Title = "Title Text";
    t.Author = "Artist Name";
    t.Album = "Album Name";
    t.Comment = "A comment";
    t.CopyRight = "(C) Someone";
    t.Year = 2001;
    const Bytes chunks = BuildTwinVQChunks(TTvqCommon{1, 80, 44, 0}, t);
    const int bitsPerFrame = 80000 * 2048 / 44100;
    std::vector<std::pair<int, int>> frames;
    for (int i = 0; i < 37; ++i) frames.push_back({0, bitsPerFrame});
    const std::string path = WriteFile("probe.vqf", chunks, frames);

    const std::string cmd = "ffprobe -v error -count_packets -show_entries "
                            "stream=codec_name,channels,sample_rate,nb_read_packets:format_tags "
                            "-of default=noprint_wrappers=1 '" + path + "'";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        EXPECT_EQ(pclose(p), 0);
    }
    EXPECT_NE(out.find("codec_name=twinvq"), std::string::npos) << out;
    EXPECT_NE(out.find("channels=2"), std::string::npos) << out;
    EXPECT_NE(out.find("sample_rate=44100"), std::string::npos) << out;
    EXPECT_NE(out.find("nb_read_packets=37"), std::string::npos) << out;
    EXPECT_NE(out.find("TAG:title=Title Text"), std::string::npos) << out;
    EXPECT_NE(out.find("TAG:author=Artist Name"), std::string::npos) << out;
    EXPECT_NE(out.find("TAG:comment=A comment"), std::string::npos) << out;
    EXPECT_NE(out.find("TAG:copyright=(C) Someone"), std::string::npos) << out;
    EXPECT_NE(out.find("Album Name"), std::string::npos) << out;
}
#endif

}  // namespace
}  // namespace wx
