#include "extraction/normaliz.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "extraction/tempstore.h"
#include "resources/msgids.h"

namespace wx {

namespace {

inline std::int32_t Sample(const std::uint8_t* p) { return std::int16_t(std::uint16_t(p[0] | p[1] << 8)); }
inline void PutSample(std::uint8_t* p, std::int32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(std::uint32_t(v) >> 8);
}

bool Seek64(std::FILE* f, std::uint64_t pos) {
#if defined(_WIN32)
    return _fseeki64(f, std::int64_t(pos), SEEK_SET) == 0;
#else
    return fseeko(f, off_t(pos), SEEK_SET) == 0;
#endif
}

// A local peak: above 16 and, against each neighbour, equal to it or more
// than 300 above it.
inline bool IsLocalPeak(std::int32_t before, std::int32_t peak, std::int32_t after) {
    const std::int32_t m = std::abs(peak);
    if (m <= 16) return false;
    auto against = [m](std::int32_t n) { return m == std::abs(n) || m > std::abs(n) + 300; };
    return against(before) && against(after);
}

// Slopes into and out of a clipped run: steep ones count for 4/10, none
// (or one pointing the wrong way) for 1.
inline std::int64_t UsableSlope(std::int64_t k) {
    if (k > 2000) k = k * 4 / 10;
    return k < 1 ? 1 : k;
}

}  // namespace

int NormalizeModeOf(bool percentile, bool clip) {
    if (percentile && clip) return 3;
    if (percentile) return 1;
    if (clip) return 2;
    return 0;
}

int NormalizeErrorMessageId(TNormalizeError e) {
    switch (e) {
    case TNormalizeError::None: return 0;
    case TNormalizeError::NoStore: return MSG_NORMALIZE_NO_DATA;
    case TNormalizeError::CannotOpen: return MSG_NORMALIZE_CANNOT_OPEN;
    case TNormalizeError::NotWave: return MSG_NORMALIZE_NOT_WAVE;
    case TNormalizeError::NotCdAudio: return MSG_NORMALIZE_NOT_CD_AUDIO;
    case TNormalizeError::Silent: return MSG_NORMALIZE_SILENT;
    case TNormalizeError::NotAnalysed: return MSG_NORMALIZE_NO_DATA;
    }
    return 0;
}

// One source: the store's slot 0, a raw file, or the data of a WAV file.
class TNormalizer::TSource {
public:
    ITempStore* store = nullptr;
    std::FILE* raw = nullptr;
    TRiffWaveReader wave;
    std::uint64_t size = 0;

    ~TSource() {
        if (raw) std::fclose(raw);
    }
    std::uint32_t Read(void* data, std::uint32_t length) {
        if (store) return store->Read(0, data, length);
        if (raw) return std::uint32_t(std::fread(data, 1, length, raw));
        return wave.Read(data, length);
    }
};

TNormalizer::TNormalizer(ITempStore* store) : store_(store) {}
TNormalizer::~TNormalizer() { End(); }

bool TNormalizer::OpenSource(const std::string& name, bool raw) {
    CloseSource();
    auto s = std::make_unique<TSource>();
    if (name.empty()) {
        if (!store_ || !store_->IsOpen() || store_->Size(0) < 0) {
            error_ = TNormalizeError::NoStore;
            return false;
        }
        s->store = store_;
        s->size = std::uint64_t(store_->Size(0));
        store_->SetReadPos(0, 0);
    } else if (raw) {
        s->raw = std::fopen(name.c_str(), "rb");
        if (!s->raw) {
            error_ = TNormalizeError::CannotOpen;
            return false;
        }
        std::setvbuf(s->raw, nullptr, _IOFBF, 1 << 16);
#if defined(_WIN32)
        if (_fseeki64(s->raw, 0, SEEK_END) == 0) s->size = std::uint64_t(_ftelli64(s->raw));
#else
        if (fseeko(s->raw, 0, SEEK_END) == 0) s->size = std::uint64_t(ftello(s->raw));
#endif
        if (!Seek64(s->raw, 0)) {
            error_ = TNormalizeError::CannotOpen;
            return false;
        }
    } else {
        TWaveError e = s->wave.Open(name, true);
        if (e != TWaveError::None) {
            error_ = e == TWaveError::CannotOpen   ? TNormalizeError::CannotOpen
                     : e == TWaveError::NotCdAudio ? TNormalizeError::NotCdAudio
                                                   : TNormalizeError::NotWave;
            return false;
        }
        s->size = s->wave.DataSize();
    }
    src_ = std::move(s);
    error_ = TNormalizeError::None;
    return true;
}

void TNormalizer::CloseSource() { src_.reset(); }

std::uint32_t TNormalizer::ReadSource(void* data, std::uint32_t length) { return src_ ? src_->Read(data, length) : 0; }

void TNormalizer::FreeAnalysis() {
    analysed_ = false;
    substitute_ = false;
    restoreUsed_ = false;
    magnitudes_ = {};
    restoredPeaks_ = {};
    for (int c = 0; c < 2; ++c) {
        values_[c] = {};
        restore_[c] = {};
        cursor_[c] = 0;
        max_[c] = min_[c] = peak_[c] = 0;
        newPeak_[c] = blockAvg_[c] = 0;
        clipped_[c] = 0;
    }
    clipLow_ = -32768;
    clipHigh_ = 32767;
}

void TNormalizer::End() {
    CloseSource();
    FreeAnalysis();
}

bool TNormalizer::FirstPass() {
    magnitudes_.assign(32769, 0);
    for (auto& v : values_) v.assign(65536, 0);
    // Clip candidates: the running extreme of a channel seen 4 times in a
    // row; each further run at the same level confirms it.
    struct TCandidate {
        bool valid = false;
        std::int32_t level = 0;
        int confirmations = 0;
    };
    TCandidate high[2], low[2];
    std::int32_t runMax[2] = {}, runMin[2] = {};
    int maxRun[2] = {}, minRun[2] = {};
    std::int32_t before[2] = {}, prev[2] = {};
    std::uint64_t frame = 0;
    std::uint8_t piece[AnalysisPieceBytes];
    for (;;) {
        const std::uint32_t got = ReadSource(piece, AnalysisPieceBytes);
        const std::uint32_t frames = got / 4;
        std::int64_t sum[2] = {};
        for (std::uint32_t i = 0; i < frames; ++i, ++frame) {
            for (int c = 0; c < 2; ++c) {
                const std::int32_t x = Sample(piece + i * 4 + c * 2);
                if (frame == 0) {
                    max_[c] = min_[c] = runMax[c] = runMin[c] = x;
                } else {
                    max_[c] = std::max(max_[c], x);
                    min_[c] = std::min(min_[c], x);
                }
                ++values_[c][std::size_t(x + 32768)];
                sum[c] += std::abs(x);
                if (frame >= 2 && IsLocalPeak(before[c], prev[c], x)) ++magnitudes_[std::size_t(std::abs(prev[c]))];
                before[c] = prev[c];
                prev[c] = x;
                // Clip candidates at the running maximum and minimum.
                if (x > runMax[c]) {
                    runMax[c] = x;
                    maxRun[c] = 1;
                } else if (x == runMax[c]) {
                    ++maxRun[c];
                } else {
                    maxRun[c] = 0;
                }
                if (maxRun[c] == 4) {
                    if (high[c].valid && high[c].level == runMax[c]) {
                        ++high[c].confirmations;
                    } else {
                        high[c] = {true, runMax[c], 0};
                    }
                }
                if (x < runMin[c]) {
                    runMin[c] = x;
                    minRun[c] = 1;
                } else if (x == runMin[c]) {
                    ++minRun[c];
                } else {
                    minRun[c] = 0;
                }
                if (minRun[c] == 4) {
                    if (low[c].valid && low[c].level == runMin[c]) {
                        ++low[c].confirmations;
                    } else {
                        low[c] = {true, runMin[c], 0};
                    }
                }
            }
        }
        if (frames > 0)
            for (int c = 0; c < 2; ++c) blockAvg_[c] = std::max(blockAvg_[c], sum[c] / std::int64_t(frames));
        if (got < AnalysisPieceBytes) break;
    }
    if (frame == 0 && src_->size > 0) {
        error_ = TNormalizeError::CannotOpen;
        return false;
    }
    // Thresholds: the more extreme channel's candidate, when confirmed
    // often enough (4 times on the left, 5 on the right).
    auto enough = [](const TCandidate& k, int ch) { return k.valid && k.confirmations >= (ch == 0 ? 4 : 5); };
    {
        int ch = -1;
        if (low[0].valid && (!low[1].valid || low[0].level <= low[1].level)) ch = 0;
        else if (low[1].valid) ch = 1;
        clipLow_ = ch >= 0 && enough(low[ch], ch) ? low[ch].level : -32768;
        ch = -1;
        if (high[0].valid && (!high[1].valid || high[0].level >= high[1].level)) ch = 0;
        else if (high[1].valid) ch = 1;
        clipHigh_ = ch >= 0 && enough(high[ch], ch) ? high[ch].level : 32767;
    }
    if (frame > 0 && (std::min(min_[0], min_[1]) < clipLow_ || std::max(max_[0], max_[1]) > clipHigh_)) {
        clipLow_ = -32768;
        clipHigh_ = 32767;
    }
    for (int c = 0; c < 2; ++c) {
        peak_[c] = std::max(std::abs(max_[c]), std::abs(min_[c]));
        newPeak_[c] = peak_[c];
        std::uint64_t n = 0;
        for (std::int32_t v = -32768; v <= clipLow_; ++v) n += values_[c][std::size_t(v + 32768)];
        for (std::int32_t v = clipHigh_; v <= 32767; ++v) n += values_[c][std::size_t(v + 32768)];
        clipped_[c] = frame > 0 ? n : 0;
    }
    for (auto& v : values_) v = {};
    return true;
}

// Restores every run of clipped samples of a channel from the samples
// around it: the line rising into the run and the line falling out of it
// are extended towards each other, and each clipped sample takes the lower
// of the two (never less than the sample itself).
bool TNormalizer::RestorePass() {
    if (!OpenSource(lastName_, lastRaw_)) return false;
    for (int c = 0; c < 2; ++c) {
        restore_[c].clear();
        restore_[c].reserve(std::size_t(clipped_[c]));
    }
    restoredPeaks_.clear();
    struct TRun {
        bool active = false;   // inside a run
        bool waiting = false;  // the run has ended; one more sample is needed
        int side = 0;          // +1 high, -1 low
        std::vector<std::int32_t> samples;
        std::int64_t b1 = 0, b2 = 0;
        int haveBefore = 0;
        std::int64_t a1 = 0;
        std::int32_t h1 = 0, h2 = 0;  // last two samples outside a run
        int history = 0;
    } run[2];
    auto emit = [&](int c, bool haveA1, bool haveA2, std::int64_t a2) {
        TRun& r = run[c];
        const int s = r.side;
        const std::int64_t n = std::int64_t(r.samples.size());
        // Work on the high side; the low side is its mirror.
        const std::int64_t b1 = s * r.b1, b2 = s * r.b2, a1 = s * r.a1, aa2 = s * a2;
        const bool before = r.haveBefore >= 1, after = haveA1;
        const std::int64_t k1 = UsableSlope(r.haveBefore >= 2 ? b1 - b2 : 1);
        const std::int64_t k2 = UsableSlope(haveA2 ? a1 - aa2 : 1);
        std::int64_t peak = 0;
        for (std::int64_t j = 0; j < n; ++j) {
            const std::int64_t x = s * std::int64_t(r.samples[std::size_t(j)]);
            std::int64_t v = x;
            if (before && after) v = std::min(b1 + k1 * (j + 1), a1 + k2 * (n - j));
            else if (before) v = b1 + k1 * (j + 1);
            else if (after) v = a1 + k2 * (n - j);
            v = std::clamp<std::int64_t>(std::max(v, x), 0, 0x7FFFFFFF);
            peak = std::max(peak, v);
            restore_[c].push_back(std::int32_t(s * v));
        }
        newPeak_[c] = std::max(newPeak_[c], peak);
        restoredPeaks_.push_back(peak);
        r.active = r.waiting = false;
        r.samples.clear();
    };
    auto clippedSide = [this](std::int32_t x) { return x >= clipHigh_ ? 1 : x <= clipLow_ ? -1 : 0; };
    std::uint8_t piece[AnalysisPieceBytes];
    for (;;) {
        const std::uint32_t got = ReadSource(piece, AnalysisPieceBytes);
        for (std::uint32_t i = 0; i < got / 4; ++i) {
            for (int c = 0; c < 2; ++c) {
                TRun& r = run[c];
                const std::int32_t x = Sample(piece + i * 4 + c * 2);
                const int side = clippedSide(x);
                if (r.waiting) emit(c, true, true, x);
                if (r.active && side != r.side) {
                    // The run ends here: x is the first sample after it
                    // (unless another run starts at once).
                    if (side == 0) {
                        r.a1 = x;
                        r.waiting = true;
                        r.active = false;
                    } else {
                        emit(c, false, false, 0);
                    }
                }
                if (side != 0 && !r.active) {
                    r.active = true;
                    r.side = side;
                    r.b1 = r.h1;
                    r.b2 = r.h2;
                    r.haveBefore = std::min(r.history, 2);
                }
                if (side != 0) {
                    r.samples.push_back(x);
                } else {
                    r.h2 = r.h1;
                    r.h1 = x;
                    ++r.history;
                }
            }
        }
        if (got < AnalysisPieceBytes) break;
    }
    for (int c = 0; c < 2; ++c) {
        if (run[c].waiting) emit(c, true, false, 0);
        else if (run[c].active) emit(c, false, false, 0);
    }
    CloseSource();
    return true;
}

std::int64_t TNormalizer::PercentileLevel() const {
    if (magnitudes_.empty()) return 0;
    std::int64_t total = 0;
    for (std::uint32_t m : magnitudes_) total += m;
    const std::int64_t n = total * PercentileParts / 100000;
    std::int64_t count = 0;
    if (restoreUsed_) {
        // Restored peaks beyond full scale come first, highest first.
        std::vector<std::int64_t> above;
        for (std::int64_t p : restoredPeaks_)
            if (p > 32768) above.push_back(p);
        std::sort(above.begin(), above.end(), std::greater<>());
        for (std::size_t i = 0; i < above.size();) {
            std::size_t j = i;
            while (j < above.size() && above[j] == above[i]) ++j;
            count += std::int64_t(j - i);
            if (count > n) return above[i] + 1;
            i = j;
        }
    }
    for (std::int64_t m = 32768; m >= 0; --m) {
        count += magnitudes_[std::size_t(m)];
        if (count > n) return m + 1;
    }
    return 0;
}

bool TNormalizer::Analyze(const std::string& name, bool raw, bool averageLevel, std::int64_t& level,
                          std::int64_t& factor, std::int64_t target, int mode) {
    End();
    level = 0;
    factor = 10000;
    lastName_ = name;
    lastRaw_ = raw;
    if (!OpenSource(name, raw)) return false;
    if (!FirstPass()) {
        CloseSource();
        return false;
    }
    CloseSource();
    const std::int64_t a = target * 10000;
    if (mode == 2 || mode == 3) {
        if (!RestorePass()) return false;
        restoreUsed_ = mode == 3 && (!restore_[0].empty() || !restore_[1].empty());
    }
    if (averageLevel) {
        level = std::max(blockAvg_[0], blockAvg_[1]);
    } else if (mode == 0) {
        level = std::max(peak_[0], peak_[1]);
    } else if (mode == 2) {
        level = std::max(newPeak_[0], newPeak_[1]);
    } else {
        level = PercentileLevel();
    }
    analysed_ = true;
    if (level <= 0) {
        // Nothing to scale by: the caller keeps the audio as it is.
        error_ = TNormalizeError::Silent;
        level = 0;
        factor = 10000;
        return false;
    }
    factor = a / level;
    return true;
}

bool TNormalizer::BeginApply(const std::string& name, bool substitution) {
    if (!analysed_ || name != lastName_) {
        error_ = TNormalizeError::NotAnalysed;
        return false;
    }
    if (!OpenSource(name, name.empty() ? false : lastRaw_)) return false;
    // Restored values exist only where the analysis made them.
    substitute_ = substitution && (!restore_[0].empty() || !restore_[1].empty());
    cursor_[0] = cursor_[1] = 0;
    scaledPos_ = 0;
    return true;
}

std::uint32_t TNormalizer::ReadScaled(std::int64_t factor, void* data, std::uint32_t length) {
    if (!src_) return 0;
    auto* out = static_cast<std::uint8_t*>(data);
    std::uint32_t delivered = 0;
    while (delivered < length) {
        const std::uint32_t want = std::min(ScaledPieceBytes, length - delivered);
        const std::uint32_t got = ReadSource(out + delivered, want);
        std::uint8_t* p = out + delivered;
        // Whole samples only; a trailing odd byte stays as it is.
        std::uint32_t i = 0;
        if (scaledPos_ & 1) i = 1;
        for (; i + 2 <= got; i += 2) {
            const int c = int(((scaledPos_ + i) / 2) & 1);
            const std::int64_t x = Sample(p + i);
            std::int64_t y;
            if (!substitute_ || (clipLow_ < x && x < clipHigh_)) {
                y = x * factor / 10000;
            } else if (cursor_[c] < restore_[c].size()) {
                y = std::int64_t(restore_[c][cursor_[c]++]) * factor / 10000;
            } else {
                y = x;
            }
            if (y >= 32767) y = 32767;
            else if (y < -32767) y = -32768;
            PutSample(p + i, std::int32_t(y));
        }
        scaledPos_ += got;
        delivered += got;
        if (got < want) break;
    }
    return delivered;
}

std::int64_t NormalizeCalcFactor(const std::string& file, bool raw, bool percentile, bool clip, bool average,
                                 TNormalizeError* error) {
    TNormalizer n;
    const int mode = NormalizeModeOf(percentile, clip);
    const std::int64_t target = clip && !average ? (10000 - 1000) * 32767 / 10000 : 32767;
    std::int64_t level = 0, factor = 0;
    const bool ok = n.Analyze(file, raw, average, level, factor, target, mode);
    if (error) *error = n.LastError();
    n.End();
    return ok ? factor : -1;
}

TNormalizer Normalizer(&TempStore);

bool NormalizeOpenSource(const std::string& name, bool raw) { return Normalizer.OpenSource(name, raw); }
bool NormalizeAnalyze(const std::string& name, bool raw, bool average, std::int64_t& level, std::int64_t& factor,
                      std::int64_t target, int mode) {
    return Normalizer.Analyze(name, raw, average, level, factor, target, mode);
}
bool NormalizeBeginApply(const std::string& name, bool substitution) {
    return Normalizer.BeginApply(name, substitution);
}
std::uint32_t NormalizeReadScaled(std::int64_t factor, std::uint32_t length, void* buffer) {
    return Normalizer.ReadScaled(factor, buffer, length);
}
void NormalizeEnd() { Normalizer.End(); }

}  // namespace wx
