#include "extraction/ripsample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace wx {

namespace {

inline std::int16_t Sample(const std::uint8_t* p) { return std::int16_t(std::uint16_t(p[0] | (p[1] << 8))); }
inline void SetSample(std::uint8_t* p, std::int32_t v) {
    std::uint16_t u = std::uint16_t(std::int16_t(v));
    p[0] = std::uint8_t(u);
    p[1] = std::uint8_t(u >> 8);
}
inline std::uint32_t Frame(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline std::int32_t Clamp16(std::int64_t v) {
    return std::int32_t(std::clamp<std::int64_t>(v, -32768, 32767));
}

}  // namespace

std::uint32_t PeakLevels(const void* block, std::uint32_t length) {
    const auto* p = static_cast<const std::uint8_t*>(block);
    std::uint32_t left = 0, right = 0;
    for (std::uint32_t i = 0; i + 4 <= length; i += 4) {
        std::uint32_t l = std::uint32_t(std::abs(std::int32_t(Sample(p + i))));
        std::uint32_t r = std::uint32_t(std::abs(std::int32_t(Sample(p + i + 2))));
        left = std::max(left, l);
        right = std::max(right, r);
    }
    return right * 65536u + left;
}

bool IsNonSilent(const void* block, std::uint32_t length) {
    const auto* p = static_cast<const std::uint8_t*>(block);
    for (std::uint32_t i = 0; i + 4 <= length; i += 4)
        if (Frame(p + i) != 0) return true;
    return false;
}

void SwapBytes16(void* block, std::uint32_t length) {
    if (length < 4) return;
    auto* p = static_cast<std::uint8_t*>(block);
    for (std::uint32_t i = 0; i + 2 <= length; i += 2) std::swap(p[i], p[i + 1]);
}

void SwapChannels(void* block, std::uint32_t length) {
    auto* p = static_cast<std::uint8_t*>(block);
    for (std::uint32_t i = 0; i + 4 <= length; i += 4) {
        std::swap(p[i], p[i + 2]);
        std::swap(p[i + 1], p[i + 3]);
    }
}

void ApplyVolume(void* block, std::uint16_t percent, std::uint32_t length) {
    if (length < 4) return;
    auto* p = static_cast<std::uint8_t*>(block);
    for (std::uint32_t i = 0; i + 2 <= length; i += 2)
        SetSample(p + i, Clamp16(std::int64_t(Sample(p + i)) * percent / 100));  // truncates towards zero
}

void StripSubcode(void* block, std::uint32_t sectors) {
    auto* p = static_cast<std::uint8_t*>(block);
    for (std::uint32_t i = 1; i < sectors; ++i)
        std::memmove(p + std::size_t(i) * SectorBytes, p + std::size_t(i) * SubcodeSectorBytes, SectorBytes);
}

std::uint32_t CountDiffWords(const void* a, const void* b, std::uint32_t length) {
    const auto* x = static_cast<const std::uint8_t*>(a);
    const auto* y = static_cast<const std::uint8_t*>(b);
    std::uint32_t n = 0;
    for (std::uint32_t i = 0; i + 2 <= length; i += 2)
        if (x[i] != y[i] || x[i + 1] != y[i + 1]) ++n;
    return n;
}

void AverageBlocks(void* dest, const void* src, std::uint32_t length) {
    auto* d = static_cast<std::uint8_t*>(dest);
    const auto* s = static_cast<const std::uint8_t*>(src);
    for (std::uint32_t i = 0; i + 2 <= length; i += 2)
        SetSample(d + i, (std::int32_t(Sample(d + i)) + std::int32_t(Sample(s + i))) >> 1);
}

std::uint32_t CompareSector(const void* reference, const void* read, std::uint32_t length,
                            std::uint32_t sectorsRead, std::int32_t shift) {
    const auto* ref = static_cast<const std::uint8_t*>(reference);
    const auto* rd = static_cast<const std::uint8_t*>(read) + std::ptrdiff_t(shift) * 4;
    std::int32_t frames = SectorFrames;
    if (sectorsRead <= 4 && shift >= std::int32_t(SectorFrames)) frames = 2 * std::int32_t(SectorFrames) - shift;
    // Nothing left to compare is no evidence of a match.
    if (frames <= 0) return SectorFrames;
    std::uint32_t diff = 0;
    for (std::int32_t i = 0; i < frames; ++i)
        if (Frame(ref + std::size_t(i) * 4) != Frame(rd + std::ptrdiff_t(i) * 4)) ++diff;
    return diff;
}

bool IsFeatureless(const void* sector) {
    const auto* p = static_cast<const std::uint8_t*>(sector);
    const std::uint32_t first = Frame(p);
    for (std::uint32_t i = 1; i < SectorFrames; ++i)
        if (Frame(p + std::size_t(i) * 4) != first) return false;
    return true;
}

std::uint32_t OverlapWindow(std::uint32_t length) { return std::max<std::uint32_t>((length / 4) / 10 * 9, 512); }

std::int32_t FindOverlapShift(const void* reference, const void* read, std::uint32_t length,
                              std::uint32_t sectorsRead, bool* exact) {
    const std::uint32_t w = OverlapWindow(length);
    std::vector<std::uint32_t> pos(w + 10), neg(w + 10);
    if (exact) *exact = true;
    for (std::uint32_t s = 0; s < w; ++s) {
        pos[s] = CompareSector(reference, read, length, sectorsRead, std::int32_t(s));
        if (pos[s] == 0) return std::int32_t(s);
        neg[s] = CompareSector(reference, read, length, sectorsRead, -std::int32_t(s));
        if (neg[s] == 0) return -std::int32_t(s);
    }
    if (exact) *exact = false;
    std::uint32_t bestPos = 0, bestNeg = 0;
    for (std::uint32_t s = 1; s < w; ++s) {
        if (pos[s] < pos[bestPos]) bestPos = s;
        if (neg[s] < neg[bestNeg]) bestNeg = s;
    }
    return pos[bestPos] < neg[bestNeg] ? std::int32_t(bestPos) : -std::int32_t(bestNeg);
}

TVoteResult VoteReads(std::uint8_t* const reads[5], std::uint32_t length) {
    std::uint32_t d[5][5] = {};
    int members[5] = {};
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) {
            if (i == j) continue;
            d[i][j] = CountDiffWords(reads[i], reads[j], length);
            if (d[i][j] == 0) ++members[i];
        }
    TVoteResult r;
    for (int i = 1; i < 5; ++i)
        if (members[i] > members[r.chosen]) r.chosen = i;
    if (members[r.chosen] > 0) {
        r.agreed = true;
        return r;
    }
    int bi = 1, bj = 0;
    std::uint32_t best = d[1][0];
    for (int i = 1; i < 5; ++i)
        for (int j = 0; j < 5; ++j) {
            if (i == j) continue;
            if (d[i][j] < best) {
                best = d[i][j];
                bi = i;
                bj = j;
            }
        }
    AverageBlocks(reads[bi], reads[bj], length);
    r.chosen = bi;
    r.averaged = true;
    return r;
}

void TNullAreaCounter::Reset() {
    areas_ = 0;
    run_ = 0;
    beforeFirstSound_ = true;
}

void TNullAreaCounter::Count(const void* block, std::uint32_t length) {
    const auto* p = static_cast<const std::uint8_t*>(block);
    for (std::uint32_t off = 0; off + SectorBytes <= length; off += SectorBytes) {
        if (IsNonSilent(p + off, SectorBytes)) {
            if (run_ > 74 && !beforeFirstSound_) ++areas_;
            run_ = 0;
            beforeFirstSound_ = false;
        } else if (!beforeFirstSound_) {
            ++run_;
        }
    }
}

void TDeemphasis::Reset() {
    static constexpr double taps[6] = {-0.05, -0.3, -0.25, -0.87, -0.46, -0.1};
    for (int j = 0; j < 6; ++j) c_[j] = taps[j] / 2.02;
    for (auto& h : hist_)
        for (double& v : h) v = 0.0;
    first_ = true;
}

void TDeemphasis::Chunk(std::int16_t* s, std::uint32_t frames) {
    // The history before the first chunk after a reset is silence, so that
    // chunk is filtered like any other instead of being dropped.
    std::vector<double> x(frames);
    for (int ch = 0; ch < 2; ++ch) {
        for (std::uint32_t i = 0; i < frames; ++i) x[i] = s[i * 2 + ch];
        for (std::uint32_t i = 0; i < frames; ++i) {
            double y = 0.0;
            for (std::uint32_t j = 0; j < 6; ++j) {
                double xv = (i >= j) ? x[i - j] : hist_[ch][j - i - 1];
                y += c_[j] * xv;
            }
            s[i * 2 + ch] = std::int16_t(Clamp16(std::llround(y)));
        }
        // The last five inputs, most recent first (older history slides in
        // when the chunk is shorter than five frames).
        double next[5];
        for (std::uint32_t k = 0; k < 5; ++k)
            next[k] = (k < frames) ? x[frames - 1 - k] : hist_[ch][k - frames];
        std::memcpy(hist_[ch], next, sizeof next);
    }
    first_ = false;
}

void TDeemphasis::Process(void* block, std::uint32_t length) {
    auto* p = static_cast<std::uint8_t*>(block);
    std::uint32_t left = length & ~3u;
    std::vector<std::int16_t> s;
    while (left >= 4) {
        std::uint32_t chunk = left < 4704 ? left : 2352;
        std::uint32_t frames = chunk / 4;
        s.resize(frames * 2);
        for (std::uint32_t i = 0; i < frames * 2; ++i) s[i] = Sample(p + i * 2);
        Chunk(s.data(), frames);
        for (std::uint32_t i = 0; i < frames * 2; ++i) SetSample(p + i * 2, s[i]);
        p += chunk;
        left -= chunk;
    }
}

}  // namespace wx
