// TwinVQ stream writer: the file header with its chunk area, and each
// frame's index record as a run of bit fields whose widths come from the
// encoder library's configuration.  Portable: no <windows.h>; the library's
// functions are passed in by the caller.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "output/bfile.h"

namespace wx {

// One block-type record of the configuration (60 bytes).
struct TTvqBlockTypeInfo {
    int32_t Reserved0;
    int32_t SubBlocks;         // +4  S
    int32_t MainDivisions;     // +8  D
    int32_t UpperBound;        // +12 U
    int32_t CountPerSubBlock;  // +16 K
    int32_t SubBlockBits;      // +20 bits of each value of the sub-block run
    int32_t ChannelRunCount;   // +24 N
    int32_t HasSharedRun;      // +28 the shared run (step 6) is present
    int32_t HasBandRun;        // +32 the band run (step 7) is present
    int32_t LowerBound;        // +36 B
    int32_t BandBits;          // +40 bits of each band value
    int32_t Reserved[4];
};
static_assert(sizeof(TTvqBlockTypeInfo) == 60);

// The configuration record filled by TvqEncGetConfInfo, as far as the frame
// writer reads it.
struct TTvqConfInfo {
    int32_t Channels;          // +0  C
    int32_t WindowTypeBits;    // +4
    int32_t GainBits0;         // +8
    int32_t GainBits1;         // +12
    int32_t GainRestBits;      // +16
    int32_t GainRestCount;     // +20
    int32_t SubBlockGainBits;  // +24
    int32_t ChannelHeadBits;   // +28
    int32_t ChannelRunBits;    // +32
    int32_t SharedCount;       // +36 M
    int32_t SharedBits0;       // +40
    int32_t SharedBits1;       // +44
    TTvqBlockTypeInfo BlockType[4];  // +48
};
static_assert(offsetof(TTvqConfInfo, BlockType) == 48);
static_assert(sizeof(TTvqConfInfo) == 288);

// The frame's index record filled by TvqEncodeFrame.  Words 2..7 are the
// library's own and are not written.  Laid out for 32-bit x86 with 4-byte
// words; pointer fields are pointer-sized on x86-64.
struct TTvqIndex {
    int32_t WindowType;             // word 0
    int32_t BlockType;              // word 1
    int32_t Private[6];             // words 2..7
    int32_t* MainIndex;             // word 8
    int32_t* SubBlockIndex;         // word 9
    int32_t* SubBlockGain;          // word 10
    int32_t* ChannelRun;            // word 11
    int32_t* Gain[2];               // words 12, 13 (per channel)
    int32_t SharedValue0[2];        // words 14, 15 (per channel)
    int32_t* SharedIndex;           // word 16
    int32_t SharedValue1[2];        // words 17, 18 (per channel)
    int32_t* BandIndex[2];          // words 19, 20 (per channel)
};
#if defined(_WIN64) || defined(__x86_64__)
static_assert(offsetof(TTvqIndex, MainIndex) == 32);
static_assert(offsetof(TTvqIndex, Gain) == 64);
static_assert(offsetof(TTvqIndex, SharedValue0) == 80);
static_assert(offsetof(TTvqIndex, SharedIndex) == 88);
static_assert(offsetof(TTvqIndex, SharedValue1) == 96);
static_assert(offsetof(TTvqIndex, BandIndex) == 104);
static_assert(sizeof(TTvqIndex) == 120);
#else
static_assert(offsetof(TTvqIndex, MainIndex) == 32);
static_assert(offsetof(TTvqIndex, Gain) == 48);
static_assert(offsetof(TTvqIndex, SharedValue0) == 56);
static_assert(offsetof(TTvqIndex, SharedIndex) == 64);
static_assert(offsetof(TTvqIndex, SharedValue1) == 68);
static_assert(offsetof(TTvqIndex, BandIndex) == 76);
static_assert(sizeof(TTvqIndex) == 84);
#endif

// The encoder library's header record (6,184 bytes).
struct TTvqHeaderInfo {
    char VersionID[16];       // written by TvqGetVersionID
    int32_t Reserved16;
    int32_t ChannelMode;      // 20: 1 stereo, 0 mono
    int32_t BitRate;          // 24: kbit/s
    int32_t SampleRate;       // 28: kHz
    int32_t SecurityLevel;    // 32
    char Title[1024];         // 36
    char Comment[1024];       // 1060
    char Author[1024];        // 2084
    char CopyRight[1024];     // 3108
    char FileName[1024];      // 4132
    char Rest[1028];          // 5156
};
static_assert(offsetof(TTvqHeaderInfo, ChannelMode) == 20);
static_assert(offsetof(TTvqHeaderInfo, Title) == 36);
static_assert(offsetof(TTvqHeaderInfo, Comment) == 1060);
static_assert(offsetof(TTvqHeaderInfo, Author) == 2084);
static_assert(offsetof(TTvqHeaderInfo, CopyRight) == 3108);
static_assert(offsetof(TTvqHeaderInfo, FileName) == 4132);
static_assert(sizeof(TTvqHeaderInfo) == 6184);

// Library functions the stream writer needs (the C calling convention,
// which is the compiler's default).
using TTvqEncGetConfInfo = void(*)(TTvqConfInfo* conf);
using TTvqEncGetVectorInfo = void(*)(int32_t** w0, int32_t** w1);
using TTvqEncUpdateVectorInfo = void(*)(int32_t mode, int32_t* divisions, int32_t* w0, int32_t* w1);

// What the frame writer knows of the encoder: the configuration, the two
// bit-width tables per block type and the library's update function.
struct TTvqBitInfo {
    TTvqConfInfo Conf{};
    int32_t* W0[4] = {};
    int32_t* W1[4] = {};
    TTvqEncUpdateVectorInfo UpdateVectorInfo = nullptr;
};

// Asks the library for the configuration and the bit-width tables.
void UpdateBitInfo(TTvqBitInfo& info, TTvqEncGetConfInfo getConf, TTvqEncGetVectorInfo getVectors,
                   TTvqEncUpdateVectorInfo updateVectors);

// "TWIN97012000", the chunk-area length, the chunk bytes and "DATA".
void WriteTwinVQHeader(PBitFile f, const unsigned char* chunks, int length);

// Writes one frame's index record.
void WriteTwinVQFrame(const TTvqIndex& index, TTvqBitInfo& info, PBitFile f);

// De-interleaves `channels`-channel 16-bit PCM into `channels` runs of
// frameSize floats; run c holds channel c's sampleCount / channels samples
// and zeros after them.  `frame` holds channels * frameSize values.
void PcmToFloatFrame(int sampleCount, const int16_t* pcm, float* frame, int channels, int frameSize);

// ---- header chunks ----

// The values of the "COMM" chunk, as the header record holds them.
struct TTvqCommon {
    int32_t ChannelMode = 1;  // 1 stereo, 0 mono
    int32_t BitRate = 96;     // kbit/s
    int32_t SampleRate = 44;  // kHz
    int32_t Security = 0;
};

// The texts of the header chunks (Shift-JIS bytes).
struct TTvqTagTexts {
    std::string Title, Author, Album, Comment, CopyRight, FileName;
    int Year = 0;
};

// Longest text kept in a chunk (the size of the track record's fields).
constexpr std::size_t kTvqMaxText = 255;

// The chunk area: "COMM", then "NAME", "AUTH", "ALBM", "COMT", "(c) ",
// "FILE" for the texts that are not empty (each cut to 255 bytes), then
// "YEAR" when the year is above 0.
std::vector<unsigned char> BuildTwinVQChunks(const TTvqCommon& common, const TTvqTagTexts& texts);

}  // namespace wx
