// Sample routines of the rip engine over blocks of 44,100 Hz 16-bit stereo
// PCM (little-endian, left sample first; a frame is 4 bytes, a sector 2352
// bytes): levels, silence, byte and channel swaps, volume, sub-channel
// stripping, the overlap search of the jitter correction, the verify vote,
// null-area counting and de-emphasis.  Portable: no <windows.h>.
//
// Lengths are in bytes; a length below 4 does nothing.
#pragma once
#include <cstdint>

namespace wx {

constexpr std::uint32_t FrameBytes = 4;
constexpr std::uint32_t SectorFrames = 588;
constexpr std::uint32_t SectorBytes = 2352;
constexpr std::uint32_t SubcodeSectorBytes = 2448;

// Largest absolute left and right sample as unsigned 16-bit values (-32768
// gives 32768), packed as right * 65536 + left.
std::uint32_t PeakLevels(const void* block, std::uint32_t length);
// True when any 32-bit frame of the block is non-zero.
bool IsNonSilent(const void* block, std::uint32_t length);
// Exchanges the two bytes of every 16-bit word.
void SwapBytes16(void* block, std::uint32_t length);
// Exchanges the left and right samples of every frame.
void SwapChannels(void* block, std::uint32_t length);
// sample * percent / 100, truncated towards zero, clamped to 16 bits.
void ApplyVolume(void* block, std::uint16_t percent, std::uint32_t length);
// Compacts `sectors` sectors of 2448 bytes to 2352 bytes each.
void StripSubcode(void* block, std::uint32_t sectors);

// Number of differing 16-bit words.  Kept in 32 bits: a count that wrapped
// at 16 bits could make two different blocks look equal.
std::uint32_t CountDiffWords(const void* a, const void* b, std::uint32_t length);
// Each sample of dest becomes floor((dest + src) / 2).
void AverageBlocks(void* dest, const void* src, std::uint32_t length);
// Frames that differ between 588 frames of the reference and the read taken
// from frame `shift` on.  With 4 sectors or fewer read and a shift of 588 or
// more only 1176 - shift frames are compared.
std::uint32_t CompareSector(const void* reference, const void* read, std::uint32_t length,
                            std::uint32_t sectorsRead, std::int32_t shift);
// The shift in frames at which the read matches the reference: the first
// exact match searching 0, +1, -1, +2, -2 ... within the window, else the
// least mismatch (the negative side wins ties).  `exact`, when given, tells
// whether the answer is an exact match; a least mismatch is only a guess,
// and data placed on it may hold a gap or a repeat.  Both pointers must
// allow reads of the window's frames before and after them.
std::int32_t FindOverlapShift(const void* reference, const void* read, std::uint32_t length,
                              std::uint32_t sectorsRead, bool* exact = nullptr);
// True when all 588 frames of the sector are the same frame (digital
// silence, say): every shift matches such a reference, so a match on it
// says nothing about where the read lies.
bool IsFeatureless(const void* sector);
// The search window of FindOverlapShift for a byte length.
std::uint32_t OverlapWindow(std::uint32_t length);

// The verify vote over five reads, each given at its data offset.
struct TVoteResult {
    int chosen = 0;
    bool agreed = false;    // at least one other read equals the chosen one
    bool averaged = false;  // no two agreed: the chosen read now holds a mean
};
TVoteResult VoteReads(std::uint8_t* const reads[5], std::uint32_t length);

// Silences of at least 75 sectors between two sounds.
class TNullAreaCounter {
public:
    void Reset();
    void Count(const void* block, std::uint32_t length);
    std::int32_t Areas() const { return areas_; }

private:
    std::int32_t areas_ = 0;
    std::int32_t run_ = 0;
    bool beforeFirstSound_ = true;
};

// The de-emphasis filter, a 6-tap FIR over each channel.
class TDeemphasis {
public:
    TDeemphasis() { Reset(); }
    void Reset();
    void Process(void* block, std::uint32_t length);

private:
    void Chunk(std::int16_t* s, std::uint32_t frames);
    double c_[6];
    double hist_[2][5];  // most recent first
    bool first_ = true;
};

}  // namespace wx
