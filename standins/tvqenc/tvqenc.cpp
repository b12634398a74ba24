// Stand-in for TVQENC.DLL, the TwinVQ encoder library.  It offers the 17
// Tvq* entry points (C calling convention) with the records, frame sizes,
// bit budgets and frame counters the component and the stream writer rely
// on.  It is no audio encoder: its index records carry no real audio, only
// a fixed-size frame per call whose fields exercise every part of the frame
// writer.  The first 16-bit main-vector value of each frame is a checksum of
// the float frame it was given, so tests can tell which PCM went into which
// frame.
//
// Layout per frame (C channels, block type T = frame number mod 4): the
// fixed fields of T, then a main vector whose widths take up the rest of the
// frame's bit budget, floor(bitrate * 1000 * 2048 / 44100) at 44 kHz.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "output/bstream.h"

#define TVQ_API extern "C" __declspec(dllexport)

using wx::TTvqBlockTypeInfo;
using wx::TTvqConfInfo;
using wx::TTvqHeaderInfo;
using wx::TTvqIndex;

namespace {

constexpr char kVersionId[] = "TWIN97012000";
constexpr int kMaxDivisions = 512;

struct State {
    bool ready = false;
    int channels = 2;
    int bitrate = 96;     // kbit/s, all channels
    int sampleRate = 44;  // kHz code
    int frameSize = 2048;
    int bitsPerFrame = 0;
    int32_t frames = 0;
    TTvqConfInfo conf{};
    int32_t w0[4][kMaxDivisions] = {};
    int32_t w1[4][kMaxDivisions] = {};
    // The arrays the index record points to.
    int32_t mainIndex[2 * kMaxDivisions] = {};
    int32_t subIndex[2 * 8 * 4] = {};
    int32_t subGain[2 * 8] = {};
    int32_t channelRun[2 * 8] = {};
    int32_t gain[2][8] = {};
    int32_t shared[2 * 8] = {};
    int32_t band[2][8 * 8] = {};
};
State s;
uint16_t g_fpuControlWord = 0;  // the floating-point state the first frame ran under
uint32_t g_fpuMxcsr = 0;

int RateHz(int code) {
    switch (code) {
    case 44: return 44100;
    case 22: return 22050;
    case 11: return 11025;
    default: return code * 1000;
    }
}

int FrameSizeFor(int code) { return code >= 44 ? 2048 : code >= 16 ? 1024 : 512; }

int32_t Mask(int32_t v, int bits) { return bits >= 31 ? v : (v & ((1 << bits) - 1)); }

// Bits of a frame of block type t besides the window type and main vector.
int FixedBits(int t) {
    const TTvqConfInfo& c = s.conf;
    const TTvqBlockTypeInfo& r = c.BlockType[t];
    int bits = c.Channels * r.SubBlocks * r.CountPerSubBlock * r.SubBlockBits;
    bits += c.Channels * r.SubBlocks * c.SubBlockGainBits;
    bits += c.Channels * (c.ChannelHeadBits + r.ChannelRunCount * c.ChannelRunBits);
    bits += c.Channels * (c.GainBits0 + c.GainBits1 + c.GainRestCount * c.GainRestBits);
    if (r.HasSharedRun) {
        for (int i = 0; i < c.SharedCount; ++i) bits += s.w0[3][i] + s.w1[3][i];
        bits += c.Channels * (c.SharedBits0 + c.SharedBits1);
    }
    if (r.HasBandRun) bits += c.Channels * r.SubBlocks * (r.UpperBound - r.LowerBound) * r.BandBits;
    return bits;
}

// Spreads `bits` over the main-vector widths of block type t from division
// `first` on, at most 16 bits per width.
bool SpreadMainVector(int t, int first, int bits) {
    if (bits < 0) return false;
    int divisions = first + (bits + 31) / 32;
    if (divisions == first) divisions = first + 1;
    if (divisions > kMaxDivisions) return false;
    const int slots = 2 * (divisions - first);
    for (int i = first; i < divisions; ++i) {
        const int k = 2 * (i - first);
        s.w0[t][i] = bits / slots + (k < bits % slots ? 1 : 0);
        s.w1[t][i] = bits / slots + (k + 1 < bits % slots ? 1 : 0);
    }
    s.conf.BlockType[t].MainDivisions = divisions;
    return true;
}

bool BuildConfiguration() {
    TTvqConfInfo& c = s.conf;
    c = TTvqConfInfo{};
    c.Channels = s.channels;
    c.WindowTypeBits = 4;
    c.GainBits0 = 5;
    c.GainBits1 = 4;
    c.GainRestBits = 3;
    c.GainRestCount = 2;
    c.SubBlockGainBits = 3;
    c.ChannelHeadBits = 2;
    c.ChannelRunBits = 4;
    c.SharedCount = 4;
    c.SharedBits0 = 4;
    c.SharedBits1 = 3;
    //               S  K  bits N shared band B  U  bandBits
    const int bt[4][9] = {{1, 4, 5, 3, 0, 0, 0, 0, 0},
                          {2, 2, 4, 2, 1, 0, 0, 0, 0},
                          {8, 1, 3, 1, 0, 1, 2, 5, 2},
                          {1, 2, 6, 4, 1, 1, 1, 4, 3}};
    for (int t = 0; t < 4; ++t) {
        TTvqBlockTypeInfo& r = c.BlockType[t];
        r.SubBlocks = bt[t][0];
        r.CountPerSubBlock = bt[t][1];
        r.SubBlockBits = bt[t][2];
        r.ChannelRunCount = bt[t][3];
        r.HasSharedRun = bt[t][4];
        r.HasBandRun = bt[t][5];
        r.LowerBound = bt[t][6];
        r.UpperBound = bt[t][7];
        r.BandBits = bt[t][8];
    }
    std::memset(s.w0, 0, sizeof s.w0);
    std::memset(s.w1, 0, sizeof s.w1);
    // Main index 0 is 16 bits wide in every block type (it carries the
    // checksum).  Block type 3's first widths double as the shared run's.
    for (int t = 0; t < 3; ++t) s.w0[t][0] = 16;
    for (int i = 0; i < c.SharedCount; ++i) {
        s.w0[3][i] = i == 0 ? 16 : 6;
        s.w1[3][i] = 5;
    }
    for (int t = 0; t < 4; ++t) {
        int rest = s.bitsPerFrame - c.WindowTypeBits - FixedBits(t);
        const int first = t == 3 ? c.SharedCount : 1;
        for (int i = 0; i < first; ++i) rest -= s.w0[t][i] + s.w1[t][i];
        if (!SpreadMainVector(t, first, rest)) return false;
    }
    return true;
}

int32_t Checksum(const float* frame) {
    uint32_t h = 0;
    const int n = s.frameSize * s.channels;
    for (int i = 0; i < n; ++i) h += static_cast<uint32_t>(static_cast<int32_t>(frame[i])) * static_cast<uint32_t>(i % 251 + 1);
    return static_cast<int32_t>(h & 0xFFFF);
}

}  // namespace

TVQ_API void TvqGetVersionID(int32_t mode, char* versionId) {
    if (versionId) std::memcpy(versionId, kVersionId, sizeof kVersionId);
}

TVQ_API int32_t TvqEncCheckVersion(const char* versionId) {
    return versionId && std::strncmp(versionId, kVersionId, 12) == 0 ? 0 : 1;
}

TVQ_API int32_t TvqEncInitialize(TTvqHeaderInfo* header, int32_t* nCan, TTvqIndex* index, int32_t mode) {
    s.ready = false;
    if (!header || !nCan || !index) return 1;
    if (TvqEncCheckVersion(header->VersionID) != 0) return 2;
    const int32_t q = *nCan;
    if (q != 1 && q != 2 && q != 4 && q != 8 && q != 16 && q != 32) return 3;
    if (header->ChannelMode != 0 && header->ChannelMode != 1) return 4;
    const int rate = header->SampleRate;
    if (rate != 8 && rate != 11 && rate != 16 && rate != 22 && rate != 32 && rate != 44) return 5;
    if (header->BitRate < 8 || header->BitRate > 256) return 6;
    s.channels = header->ChannelMode == 1 ? 2 : 1;
    s.bitrate = header->BitRate;
    s.sampleRate = rate;
    s.frameSize = FrameSizeFor(rate);
    s.bitsPerFrame = static_cast<int>(static_cast<int64_t>(s.bitrate) * 1000 * s.frameSize / RateHz(rate));
    if (!BuildConfiguration()) return 6;
    std::memset(index, 0, sizeof *index);
    s.frames = 0;
    s.ready = true;
    return 0;
}

TVQ_API void TvqEncTerminate(TTvqIndex* index) {
    if (index) std::memset(index, 0, sizeof *index);
    s.ready = false;
}

TVQ_API void TvqEncGetConfInfo(TTvqConfInfo* conf) {
    if (conf) *conf = s.conf;
}

TVQ_API void TvqEncGetVectorInfo(int32_t** w0, int32_t** w1) {
    for (int t = 0; t < 4; ++t) {
        if (w0) w0[t] = s.w0[t];
        if (w1) w1[t] = s.w1[t];
    }
}

// Block type 2 recomputes its main vector before each frame; here it comes
// out as it was, so the frame keeps its budget.
TVQ_API void TvqEncUpdateVectorInfo(int32_t mode, int32_t* divisions, int32_t* w0, int32_t* w1) {
    if (!divisions || !w0 || !w1) return;
    *divisions = s.conf.BlockType[2].MainDivisions;
    for (int i = 0; i < *divisions; ++i) {
        w0[i] = s.w0[2][i];
        w1[i] = s.w1[2][i];
    }
}

TVQ_API void TvqEncodeFrame(const float* frame, TTvqIndex* index) {
    if (!s.ready || !frame || !index) return;
    if (s.frames == 0) {
        __asm__ __volatile__("fnstcw %0" : "=m"(g_fpuControlWord));
#if defined(__x86_64__) || defined(__SSE__)
        __asm__ __volatile__("stmxcsr %0" : "=m"(g_fpuMxcsr));
#endif
    }
    const int t = s.frames % 4;
    const TTvqConfInfo& c = s.conf;
    const TTvqBlockTypeInfo& r = c.BlockType[t];
    uint32_t seed = 0x9E3779B9u * static_cast<uint32_t>(s.frames + 1);
    auto next = [&seed](int bits) {
        seed = seed * 1664525u + 1013904223u;
        return Mask(static_cast<int32_t>(seed >> 1), bits);
    };
    index->WindowType = t;
    index->BlockType = t;
    for (int i = 0; i < r.MainDivisions; ++i) {
        s.mainIndex[i] = next(s.w0[t][i]);
        s.mainIndex[r.MainDivisions + i] = next(s.w1[t][i]);
    }
    s.mainIndex[0] = Mask(Checksum(frame), s.w0[t][0]);
    for (int i = 0; i < c.Channels * r.SubBlocks * r.CountPerSubBlock; ++i) s.subIndex[i] = next(r.SubBlockBits);
    for (int i = 0; i < c.Channels * r.SubBlocks; ++i) s.subGain[i] = next(c.SubBlockGainBits);
    for (int ch = 0; ch < c.Channels; ++ch) {
        s.channelRun[(r.ChannelRunCount + 1) * ch] = next(c.ChannelHeadBits);
        for (int i = 0; i < r.ChannelRunCount; ++i) s.channelRun[(r.ChannelRunCount + 1) * ch + 1 + i] = next(c.ChannelRunBits);
        s.gain[ch][0] = next(c.GainBits0);
        s.gain[ch][1] = next(c.GainBits1);
        for (int i = 0; i < c.GainRestCount; ++i) s.gain[ch][2 + i] = next(c.GainRestBits);
        index->SharedValue0[ch] = next(c.SharedBits0);
        index->SharedValue1[ch] = next(c.SharedBits1);
        for (int i = 0; i < r.SubBlocks * (r.UpperBound - r.LowerBound); ++i) s.band[ch][i] = next(r.BandBits);
    }
    for (int i = 0; i < c.SharedCount; ++i) {
        s.shared[i] = next(s.w0[3][i]);
        s.shared[c.SharedCount + i] = next(s.w1[3][i]);
    }
    index->MainIndex = s.mainIndex;
    index->SubBlockIndex = s.subIndex;
    index->SubBlockGain = s.subGain;
    index->ChannelRun = s.channelRun;
    index->SharedIndex = s.shared;
    for (int ch = 0; ch < 2; ++ch) {
        index->Gain[ch] = s.gain[ch];
        index->BandIndex[ch] = s.band[ch];
    }
    ++s.frames;
}

TVQ_API void TvqEncResetFrameCounter() { s.frames = 0; }
TVQ_API void TvqEncSetFrameCounter(int32_t n) { s.frames = n; }
TVQ_API int32_t TvqEncGetNumFrames() { return s.frames; }

TVQ_API void TvqEncGetSetupInfo(TTvqHeaderInfo* header) {
    if (!header) return;
    std::memset(header, 0, sizeof *header);
    std::memcpy(header->VersionID, kVersionId, sizeof kVersionId);
    header->ChannelMode = s.channels == 2 ? 1 : 0;
    header->BitRate = s.bitrate;
    header->SampleRate = s.sampleRate;
}

TVQ_API int32_t TvqEncGetFrameSize() { return s.frameSize; }
TVQ_API int32_t TvqEncGetNumChannels() { return s.channels; }
TVQ_API int32_t TvqEncGetBitRate() { return s.bitrate * 1000; }
TVQ_API int32_t TvqEncGetSamplingRate() { return RateHz(s.sampleRate); }
// Test control: the floating-point state the first frame of the last run
// was encoded under.
TVQ_API void StandinFpuState(uint16_t* controlWord, uint32_t* mxcsr) {
    *controlWord = g_fpuControlWord;
    *mxcsr = g_fpuMxcsr;
}

#ifndef WX_TVQ_WITHOUT_FIXED_BITS
TVQ_API int32_t TvqEncGetNumFixedBitsPerFrame() { return s.bitsPerFrame; }
#endif
