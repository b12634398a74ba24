// The normalizer: measures the level of a whole track of 44.1 kHz 16-bit
// stereo PCM and then delivers the track scaled so that its level reaches
// a target.  Sources: slot 0 of the temporary store (empty name), a file of
// raw PCM (the rip's run files), or a RIFF WAV file (the settings dialog's
// reference).  Levels are the peak, the peak below a percentile of the
// local peaks, or the largest block average; clipped runs can be restored
// beyond full scale and their restored values used in the scaled read.
//
// One TNormalizer holds one source and one analysis at a time.  The rip
// engine uses it through INormalizer; the settings dialog calls
// NormalizeCalcFactor.  Portable: no <windows.h>.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "extraction/wendrisub.h"
#include "output/riffwave.h"

namespace wx {

// 3 with both flags, 1 with only the percentile flag, 2 with only the clip
// flag, 0 with neither.
int NormalizeModeOf(bool percentile, bool clip);

enum class TNormalizeError {
    None,
    NoStore,       // no store slot holds data
    CannotOpen,    // the file cannot be opened or read
    NotWave,       // not a RIFF WAVE file, or its chunks are broken or missing
    NotCdAudio,    // a WAV file, but not 44.1 kHz 16-bit stereo PCM
    Silent,        // the source holds no level to scale by
    NotAnalysed,   // scaled reading without an analysis of that source
};
// The number of the message-table text that tells the user (msgids.h).
int NormalizeErrorMessageId(TNormalizeError e);

class TNormalizer : public INormalizer {
public:
    // Parts per 100000 of the local peaks that may lie above the
    // percentile level (1 %).
    static constexpr std::int64_t PercentileParts = 1000;
    static constexpr std::uint32_t AnalysisPieceBytes = 2352;
    static constexpr std::uint32_t ScaledPieceBytes = 2048;

    explicit TNormalizer(ITempStore* store = nullptr);
    ~TNormalizer() override;
    void SetStore(ITempStore* store) { store_ = store; }

    // Opens a source: "" the store's slot 0 (from its start), `raw` a file
    // of bytes, else a WAV file, which must be 44.1 kHz 16-bit stereo PCM.
    bool OpenSource(const std::string& name, bool raw);
    bool Analyze(const std::string& name, bool raw, bool averageLevel, std::int64_t& level, std::int64_t& factor,
                 std::int64_t target, int mode) override;
    bool BeginApply(const std::string& name, bool substitution) override;
    std::uint32_t ReadScaled(std::int64_t factor, void* data, std::uint32_t length) override;
    void End() override;

    TNormalizeError LastError() const { return error_; }
    // Results of the last analysis, per channel (0 left, 1 right).
    std::int32_t Largest(int ch) const { return max_[ch]; }
    std::int32_t Smallest(int ch) const { return min_[ch]; }
    std::int32_t Peak(int ch) const { return peak_[ch]; }
    std::int64_t NewPeak(int ch) const { return newPeak_[ch]; }
    std::int64_t BlockAverage(int ch) const { return blockAvg_[ch]; }
    std::int32_t ClipLow() const { return clipLow_; }
    std::int32_t ClipHigh() const { return clipHigh_; }
    const std::vector<std::int32_t>& RestoreList(int ch) const { return restore_[ch]; }
    std::uint64_t ClippedSamples(int ch) const { return clipped_[ch]; }
    std::int64_t PercentileLevel() const;
    const std::string& SourceName() const { return lastName_; }

private:
    class TSource;
    bool FirstPass();
    bool RestorePass();
    std::uint32_t ReadSource(void* data, std::uint32_t length);
    void CloseSource();
    void FreeAnalysis();

    ITempStore* store_;
    std::unique_ptr<TSource> src_;
    TNormalizeError error_ = TNormalizeError::None;
    std::string lastName_;
    bool lastRaw_ = false;
    bool analysed_ = false;
    bool substitute_ = false;
    bool restoreUsed_ = false;  // the percentile search starts with the restored peaks
    std::int32_t max_[2] = {}, min_[2] = {}, peak_[2] = {};
    std::int64_t newPeak_[2] = {};
    std::int64_t blockAvg_[2] = {};
    std::int32_t clipLow_ = -32768, clipHigh_ = 32767;
    std::uint64_t clipped_[2] = {};
    std::vector<std::uint32_t> magnitudes_;        // local peaks by magnitude 0..32768
    std::vector<std::uint32_t> values_[2];         // samples by value + 32768
    std::vector<std::int32_t> restore_[2];
    std::vector<std::int64_t> restoredPeaks_;      // largest restored magnitude of each run
    std::size_t cursor_[2] = {};
    std::uint64_t scaledPos_ = 0;
};

// The factor (10000 = unchanged) that brings the file to full scale (to
// 90 % of it when clipped runs are restored and the level is a peak), or
// -1 when the file cannot be measured.
std::int64_t NormalizeCalcFactor(const std::string& file, bool raw, bool percentile, bool clip, bool average,
                                 TNormalizeError* error = nullptr);

// The program's normalizer, over the program's temporary store, and the
// calls on it.
extern TNormalizer Normalizer;
bool NormalizeOpenSource(const std::string& name, bool raw);
bool NormalizeAnalyze(const std::string& name, bool raw, bool average, std::int64_t& level, std::int64_t& factor,
                      std::int64_t target, int mode);
bool NormalizeBeginApply(const std::string& name, bool substitution);
std::uint32_t NormalizeReadScaled(std::int64_t factor, std::uint32_t length, void* buffer);
void NormalizeEnd();

}  // namespace wx
