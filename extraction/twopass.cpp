#include "extraction/twopass.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "extraction/ripsample.h"

namespace wx {

const char* const TwoPassWorkFiles[4] = {"wendri_pass1.$$$", "wendri_pass2.$$$", "wendri_verify0.$$$",
                                         "wendri_verify1.$$$"};

namespace {

constexpr std::uint32_t HalfTail = 2 * SectorBytes;  // 4704: the overlap of two blocks
constexpr std::uint32_t ComparePiece = 117600;
constexpr std::uint32_t AlignBytes = 5 * SectorBytes;  // 11760
// Room before and after a merge block for the overlap search's window.
constexpr std::uint32_t Guard = 8192;
// The last block reads this many sectors past the range, so that the merge
// still reaches the range's end when the later reads landed earlier than
// the first one.
constexpr std::int32_t EndMargin = 2;
// Of what a run merged past the range's end, this much is kept for the
// compare of the two runs: more than the alignment of the runs can move
// one against the other (its search window is under 4,300 bytes).
constexpr std::uint32_t KeptPastEnd = 4 * SectorBytes;

std::string Format1(const char* f, int a) {
    char b[128];
    std::snprintf(b, sizeof b, f, a);
    return b;
}
std::string Format2(const char* f, int a, int c) {
    char b[128];
    std::snprintf(b, sizeof b, f, a, c);
    return b;
}

class TTwoPass {
public:
    TTwoPass(TRipEngine& e, ITempFiles& files)
        : e_(e), r_(e.Request()), pf_(*e.Context().Platform), store_(e.Context().Store), files_(files) {}
    // A read that ended on an exception leaves no work file, no store slot,
    // no normalizer source and no event behind.
    ~TTwoPass() {
        try {
            if (!workDeleted_) {
                if (r_.Normalize && e_.Context().Normalizer) e_.Context().Normalizer->End();
                DeleteWorkFiles();
            }
        } catch (...) {
        }
        if (event_) pf_.FreeEvent(event_);
    }
    TTwoPass(const TTwoPass&) = delete;
    TTwoPass& operator=(const TTwoPass&) = delete;

    void Run();

private:
    enum class TStop { None, Failed, TimedOut, WriteError };

    bool ReadPasses(int run);
    bool ReadBlock(std::int32_t lba, std::int32_t count, int slot, bool counted);
    bool Merge(int run);
    bool WriteMerged(const std::uint8_t* data, std::uint32_t length);
    void NoteUndelivered(std::int32_t block, std::uint32_t from, std::uint32_t to);
    std::uint32_t ReadRun(int run, std::uint64_t position, std::uint8_t* data, std::uint32_t length);
    void CompareRuns();
    void Output(int chosen);
    bool Aborted() { return e_.Aborted(); }
    std::string Work(const std::string& name) const { return r_.WorkFolder + name; }
    std::string RunFileName(int run) const { return Work(TwoPassWorkFiles[2 + run]); }
    // Posts the percent when it changed; true when it did.
    bool PostPercent(std::int32_t percent) {
        if (percent == lastPercent_) return false;
        lastPercent_ = percent;
        e_.PostProgress(percent);
        return true;
    }
    void DeleteWorkFiles();
    void WriteErrorEnd();
    void End();

    TRipEngine& e_;
    TTransferRecord& r_;
    IRipPlatform& pf_;
    ITempStore* store_;
    ITempFiles& files_;
    void* event_ = nullptr;
    std::int32_t p_ = 0;
    TStop stop_ = TStop::None;
    std::int32_t lastPercent_ = -1;
    bool runOk_[2] = {};
    std::unique_ptr<ITempFile> runFile_[2];
    std::uint64_t runBytes_[2] = {};
    TNullAreaCounter runNull_[2];
    std::int64_t largestShift_[2] = {};
    // What a run's output holds that nothing vouches for: a seam placed on
    // the least mismatch instead of an exact match, a seam on a featureless
    // overlap (any shift matches it), and zeros of our own standing for
    // audio the drive did not deliver.
    bool inexact_[2] = {};
    bool blind_[2] = {};
    bool undelivered_[2] = {};
    // The range's length in bytes: what every run delivers exactly.
    std::uint64_t target_ = 0;
    // Bytes the current run's merge has produced, the range's and past it.
    std::uint64_t merged_ = 0;
    // What each run merged past the range's end (at most KeptPastEnd).
    std::vector<std::uint8_t> pastEnd_[2];
    std::int64_t lastCorrection_ = 0;
    int chosen_ = 0;
    int currentRun_ = 0;
    TNullAreaCounter counter_;
    TDeemphasis deemph_;
    std::vector<std::uint8_t> merge_[2];
    std::vector<std::uint8_t> volume_;
    bool workDeleted_ = false;
};

void TTwoPass::Run() {
    r_.OverlapSectors = 0;
    p_ = r_.SectorsPerRead <= 4 ? 5 : r_.SectorsPerRead;
    r_.SectorsPerRead = p_;
    r_.ResultClass = rrNG;
    target_ = std::uint64_t(std::max(0, r_.EndLba - r_.StartLba)) * SectorBytes;
    event_ = pf_.NewEvent();
    const int runs = r_.VerifyRead ? 2 : 1;
    if (store_ && r_.EndLba > r_.StartLba) {
        for (int m = 0; m < runs; ++m) {
            if (!ReadPasses(m) || Aborted()) break;
            if (!Merge(m)) break;
            runOk_[m] = true;
        }
    }
    if (stop_ == TStop::WriteError) return;  // ended already
    if (!Aborted() && stop_ == TStop::None) {
        if (r_.VerifyRead && runOk_[0] && runOk_[1]) {
            CompareRuns();
        } else if (!r_.VerifyRead && runOk_[0]) {
            // Complete; the engine makes it S1 when a seam is a guess, or
            // lies on silence while the drive was seen to jitter, or the
            // end holds zeros for audio that was not read.
            r_.ResultClass = rrOK;
            if (inexact_[0] || undelivered_[0]) ++e_.InexactPlacements;
            if (blind_[0]) ++e_.BlindPlacements;
            if (r_.Normalize) Output(0);
        }
    }
    if (stop_ == TStop::WriteError) return;
    End();
}

// One read of `count` sectors at `lba` into a read slot, repeated while it
// fails and retries are left.  false on a time-out, an abort or too many
// failures.
bool TTwoPass::ReadBlock(std::int32_t lba, std::int32_t count, int slot, bool counted) {
    for (;;) {
        if (Aborted()) return false;
        SRB_ExecSCSICmd srb;
        ClearSRB(srb);
        std::uint32_t bytes = 0;
        if (r_.SeekEachRead && !e_.Seek(lba, event_)) {
            stop_ = TStop::TimedOut;
            return false;
        }
        if (!e_.ReadSectors(srb, event_, bytes, count, lba, slot)) {
            if (counted) e_.LastSrb = srb;
            stop_ = TStop::TimedOut;
            return false;
        }
        if (!counted) return true;  // a dummy read: its data is not used
        e_.LastSrb = srb;
        if (e_.IsGoodRead(srb)) return true;
        ++e_.Retries;
        ++e_.ScsiErrors;
        if (e_.Retries > r_.MaxRetry) return false;
    }
}

bool TTwoPass::ReadPasses(int run) {
    const std::int32_t range = r_.EndLba - r_.StartLba;
    std::uint8_t* slot = e_.Context().Buffers->Slot[0];
    for (int w = 1; w <= 2; ++w) {
        if (Aborted()) return false;
        e_.PostPhase(RipPhaseReading);
        e_.PostStatusText(r_.VerifyRead ? Format2(MsgTwoPassRunPass, run + 1, w) : Format1(MsgTwoPassPass, w));
        e_.Retries = 0;
        lastPercent_ = -1;
        if (!store_->Open(Work(TwoPassWorkFiles[w - 1]))) return false;
        std::int32_t i = w == 1 ? 0 : p_ - 2;
        for (;;) {
            const std::int32_t o = r_.StartLba + i;
            if (o >= r_.EndLba) break;
            // The last block ends EndMargin sectors past the range (zeros
            // past the last readable sector), as the one-pass read's last
            // read does.
            const std::int32_t j = std::min(p_, r_.EndLba + EndMargin - o);
            if (j < 1) break;
            if (PostPercent(std::int32_t(std::min<std::int64_t>(100, std::int64_t(i) * 100 / range))) && r_.UseMscdex)
                pf_.Sleep(50);
            if (!ReadBlock(o, j, 0, true)) {
                if (stop_ == TStop::TimedOut) e_.Retries = r_.MaxRetry + 1;
                return false;
            }
            e_.PostProcessRead(slot, j, 0);
            const std::uint32_t bytes = std::uint32_t(j) * SectorBytes;
            if (r_.LevelMeter) e_.PostLevel(PeakLevels(slot, bytes));
            if (!store_->Write(w - 1, slot, bytes)) {
                WriteErrorEnd();
                return false;
            }
            if (r_.UseReadWait) pf_.Sleep(std::uint32_t(std::max(0, r_.ReadWaitMs)));
            if (r_.DummyRead && j > 5 && !ReadBlock(o + j, j - 4, 1, false)) {
                e_.Retries = r_.MaxRetry + 1;
                return false;
            }
            i += 2 * p_ - 4;
            if (j == p_) e_.Retries = 0;
        }
        e_.PostProgress(100);
        if (r_.LevelMeter) e_.PostLevel(0);
        if (w == 1) {
            if (r_.SeekEachRead) {
                pf_.Sleep(3000);
                if (!e_.Rezero(event_) || !e_.Seek(r_.StartLba + p_ - 2, event_)) {
                    stop_ = TStop::TimedOut;
                    e_.Retries = r_.MaxRetry + 1;
                    return false;
                }
            }
            pf_.Sleep(3000);
            e_.PostProgress(0);
            e_.Retries = 0;
            // A range that pass 1's first block covers needs no second pass:
            // one block has no seam, so its end cannot drift.
            if (range <= p_) return true;
            if (r_.DummyRead && !ReadBlock(r_.StartLba, p_ - 2, 1, false)) {
                e_.Retries = r_.MaxRetry + 1;
                return false;
            }
        }
    }
    return true;
}

// The block writer of the merge: into the run file, or through null areas,
// volume and de-emphasis to the output.  The block itself stays as read,
// for the next overlap search.  Only the range's own bytes are written:
// what the merge produces past the range's end is cut off (a little of it
// kept for the compare of the runs), whatever the shift of the last block.
bool TTwoPass::WriteMerged(const std::uint8_t* data, std::uint32_t length) {
    if (length == 0) return true;
    const std::uint32_t inRange =
        merged_ < target_ ? std::uint32_t(std::min<std::uint64_t>(length, target_ - merged_)) : 0;
    merged_ += length;
    std::vector<std::uint8_t>& past = pastEnd_[currentRun_];
    if (inRange < length && past.size() < KeptPastEnd) {
        const std::uint32_t keep = std::min<std::uint32_t>(length - inRange, KeptPastEnd - std::uint32_t(past.size()));
        past.insert(past.end(), data + inRange, data + inRange + keep);
    }
    if (inRange == 0) return true;
    if (!r_.NoNullAreaCount) counter_.Count(data, inRange);
    if (ITempFile* run = runFile_[currentRun_].get()) {
        if (!run->Append(data, inRange)) return false;
        runBytes_[currentRun_] += inRange;
        return true;
    }
    const std::uint8_t* out = data;
    if (r_.VolumePercent != 100 || r_.DeEmphasis) {
        std::memcpy(volume_.data(), data, inRange);
        if (r_.VolumePercent != 100) ApplyVolume(volume_.data(), r_.VolumePercent, inRange);
        if (r_.DeEmphasis) deemph_.Process(volume_.data(), inRange);
        out = volume_.data();
    }
    IRipOutput* o = e_.Context().Output;
    return o && o->Write(out, inRange);
}

// Bytes from..to of merge block `block` are about to be written: where they
// run past the sectors the drive delivered (a read cut at the last readable
// sector), the zeros there are our own.  Within the range's output they
// stand for audio that was not read.  (A range that itself runs past the
// last readable sector reads as zeros there, as plain reads do.)
void TTwoPass::NoteUndelivered(std::int32_t block, std::uint32_t from, std::uint32_t to) {
    if (r_.EndLba > r_.LastReadableLba + 1) return;
    const std::int64_t lba = std::int64_t(r_.StartLba) + std::int64_t(block) * (p_ - 2);
    const std::int64_t delivered =
        std::clamp<std::int64_t>(std::int64_t(r_.LastReadableLba) + 1 - lba, 0, p_) * SectorBytes;
    if (std::int64_t(to) <= delivered) return;
    const std::uint64_t missingFrom = merged_ + std::uint64_t(std::max<std::int64_t>(0, delivered - from));
    if (missingFrom < target_) undelivered_[currentRun_] = true;
}

bool TTwoPass::Merge(int run) {
    const bool toFile = r_.VerifyRead || r_.Normalize;
    e_.PostProgress(0);
    e_.PostPhase(RipPhaseMerging);
    e_.PostStatusText(r_.VerifyRead ? Format1(MsgTwoPassMergeRun, run + 1) : std::string(MsgTwoPassMerge));
    lastPercent_ = 0;
    counter_.Reset();
    deemph_.Reset();
    lastCorrection_ = 0;
    currentRun_ = run;
    runBytes_[run] = 0;
    merged_ = 0;
    pastEnd_[run].clear();
    if (toFile) {
        runFile_[run] = files_.Create(RunFileName(run));
        if (!runFile_[run]) return false;
    }
    const std::uint32_t blockBytes = std::uint32_t(p_) * SectorBytes;
    for (auto& m : merge_) m.assign(Guard + blockBytes + Guard, 0);
    volume_.assign(blockBytes, 0);
    if (!store_->Reopen()) {
        store_->CloseAll();
        return false;
    }
    store_->SetReadPos(0, 0);
    store_->SetReadPos(1, 0);
    const std::int64_t total[2] = {std::max<std::int64_t>(0, store_->Size(0)),
                                   std::max<std::int64_t>(0, store_->Size(1))};
    int cur = 0;
    std::uint8_t* prev = merge_[cur].data() + Guard;
    std::uint32_t n = store_->Read(0, prev, blockBytes);
    n -= n % SectorBytes;
    NoteUndelivered(0, 0, n);
    bool ok = WriteMerged(prev, n);
    std::int64_t largest = 0;
    int slot = 1;  // pass 2's block comes next
    // Blocks in merge order start P - 2 sectors apart: block k at k (P - 2).
    std::int32_t blockNo = 0;
    while (ok && n > 0 && !Aborted()) {
        ++blockNo;
        std::uint8_t* block = merge_[cur ^ 1].data() + Guard;
        std::memset(block, 0, blockBytes);
        std::uint32_t got = store_->Read(slot, block, blockBytes);
        got -= got % SectorBytes;
        if (got == 0) break;
        {
            std::int64_t share = 100;
            for (int s = 0; s < 2; ++s) {
                if (total[s] <= 0) continue;
                const std::int64_t rem = total[s] - store_->GetReadPos(s);
                share = std::min(share, total[s] >= 235201 ? rem / (total[s] / 100) : rem * 100 / total[s]);
            }
            PostPercent(std::int32_t(std::clamp<std::int64_t>(100 - share, 0, 100)));
        }
        const std::uint32_t w = got / SectorBytes;
        if (w >= 3) {
            // Where the new block's start lies in the block before it: found
            // on the first of the two shared sectors, or on the second when
            // the first cannot tell (the same shift either way).
            const bool second = IsFeatureless(block) && !IsFeatureless(block + SectorBytes);
            const std::uint8_t* ref = second ? block + SectorBytes : block;
            const std::uint8_t* at = second ? prev + n - SectorBytes : prev + n - HalfTail;
            // The block before holds only the 2 shared sectors past `at`, as
            // a read of 4 sectors does past its middle: a shift of a sector
            // or more is compared on what is left of them.
            bool exact = true;
            const std::int32_t s = FindOverlapShift(ref, at, HalfTail, second ? w : 4, &exact);
            // A block placed on the least mismatch, not on an exact match,
            // may leave a gap or a repeat at its seam; one placed on a
            // featureless overlap matched at any shift.  Either matters only
            // where the seam lies within the range's output.
            if (merged_ < target_) {
                if (!exact) inexact_[run] = true;
                if (IsFeatureless(ref)) blind_[run] = true;
            }
            const std::int64_t c = -4 * std::int64_t(s);
            if (c != lastCorrection_) {
                ++e_.JitterCorrections;
                lastCorrection_ = c;
            }
            largest = std::max<std::int64_t>(largest, c < 0 ? -c : c);
            const std::int64_t from = std::int64_t(2 * SectorBytes) + c;
            if (from < std::int64_t(got)) {
                NoteUndelivered(blockNo, std::uint32_t(from), got);
                ok = WriteMerged(block + from, std::uint32_t(std::int64_t(got) - from));
            }
        }
        if (!ok) break;
        cur ^= 1;
        prev = block;
        n = got;
        slot ^= 1;
        pf_.Sleep(1);
    }
    if (!ok) {
        store_->CloseAll();
        WriteErrorEnd();
        return false;
    }
    // Everything the passes stored must have come back.
    const bool whole = !Aborted() && store_->GetReadPos(0) == total[0] &&
                       (store_->Size(1) < 0 || store_->GetReadPos(1) == total[1]);
    store_->CloseAll();
    // Reads that drifted earlier than the first one by more than the last
    // block carries past the range leave the merge short: the end is filled
    // with silence so that the length holds, and the run is not clean.
    while (whole && ok && merged_ < target_) {
        undelivered_[run] = true;
        std::uint8_t* zeros = merge_[cur].data() + Guard;
        std::memset(zeros, 0, blockBytes);
        ok = WriteMerged(zeros, std::uint32_t(std::min<std::uint64_t>(blockBytes, target_ - merged_)));
    }
    if (!ok) {
        WriteErrorEnd();
        return false;
    }
    runNull_[run] = counter_;
    largestShift_[run] = largest;
    if (runFile_[run] && !runFile_[run]->Flush()) {
        WriteErrorEnd();
        return false;
    }
    return whole;
}

// Bytes of a run's merged stream from `position`: the range's part from its
// run file, what lies past the range's end from what was kept of it.
std::uint32_t TTwoPass::ReadRun(int run, std::uint64_t position, std::uint8_t* data, std::uint32_t length) {
    std::uint32_t got = 0;
    if (position < runBytes_[run]) {
        const std::uint32_t want = std::uint32_t(std::min<std::uint64_t>(length, runBytes_[run] - position));
        got = runFile_[run]->ReadAt(position, data, want);
        if (got < want) return got;
    }
    const std::uint64_t p = position + got;
    if (p < runBytes_[run] || p - runBytes_[run] >= pastEnd_[run].size()) return got;
    const std::uint64_t at = p - runBytes_[run];
    const std::uint32_t more = std::uint32_t(std::min<std::uint64_t>(length - got, pastEnd_[run].size() - at));
    std::memcpy(data + got, pastEnd_[run].data() + at, more);
    return got + more;
}

void TTwoPass::CompareRuns() {
    const std::uint64_t size[2] = {runBytes_[0], runBytes_[1]};
    std::vector<std::uint8_t> a(ComparePiece, 0), b(ComparePiece, 0);
    const std::uint64_t half = std::min(size[0], size[1]) / 2 / SectorBytes * SectorBytes;
    ReadRun(0, half, a.data(), AlignBytes);
    ReadRun(1, half, b.data(), AlignBytes);
    // Run 1 holds run 0's byte x at x + c.
    const std::int32_t s = FindOverlapShift(a.data() + HalfTail, b.data() + HalfTail, HalfTail, 5);
    const std::int64_t c = 4 * std::int64_t(s);
    // The run chosen when the runs differ: the one whose seams moved less.
    const int byShift = largestShift_[1] < largestShift_[0] ? 1 : 0;
    // The run compared in full: the one whose first read landed later on
    // the disc, so that every byte of its output lies in the other run too
    // (its end in what the other run merged past the range).
    const int whole = c > 0 ? 0 : c < 0 ? 1 : byShift;
    const int other = whole ^ 1;
    const std::uint64_t otherFrom = std::uint64_t(c < 0 ? -c : c);
    e_.PostProgress(0);
    e_.PostPhase(RipPhaseComparing);
    e_.PostStatusText(MsgCompareRuns);
    pf_.Sleep(200);
    lastPercent_ = 0;
    int differing = 0;
    std::uint64_t compared = 0;
    for (std::uint32_t pieces = 1; compared < target_ && !Aborted(); ++pieces) {
        const std::uint32_t want = std::uint32_t(std::min<std::uint64_t>(ComparePiece, target_ - compared));
        const std::uint32_t n0 = ReadRun(whole, compared, a.data(), want);
        const std::uint32_t n1 = ReadRun(other, otherFrom + compared, b.data(), want);
        const std::uint32_t common = std::min(n0, n1) & ~3u;
        if (CountDiffWords(a.data(), b.data(), common) != 0) ++differing;
        compared += common;
        const std::int32_t pc = std::int32_t(compared * 100 / target_);
        if (pc != lastPercent_) {
            PostPercent(pc);
            pf_.Sleep(10);
        }
        if (pieces % 256 == 0) pf_.Sleep(10);
        if (n0 < want || n1 < want) break;
    }
    if (Aborted()) return;
    // OK only when the other run vouches for every byte of the output,
    // compared to its end without a difference, and the written run holds
    // nothing the compare cannot vouch for: a drive that moves a read the
    // same way in both runs has both runs place a seam alike on a guess
    // (no exact match, or a featureless overlap while it was seen to
    // jitter), right or wrong, and zeros standing for audio that was not
    // read are not the audio.
    const bool verified = differing == 0 && compared >= target_ && !undelivered_[whole] && !inexact_[whole] &&
                          !(blind_[whole] && e_.JitterCorrections > 0);
    if (verified) {
        r_.ResultClass = rrOK;
        chosen_ = whole;
    } else {
        r_.ResultClass = byShift ? rrS2 : rrS1;
        chosen_ = byShift;
    }
    Output(chosen_);
}

// Writes run file `chosen` to the output, scaled by the normalizer when
// normalization is asked.
void TTwoPass::Output(int chosen) {
    chosen_ = chosen;
    e_.PostProgress(0);
    e_.PostPhase(RipPhaseConvertAfterCompare);
    e_.PostStatusText(MsgConverting);
    pf_.Sleep(200);
    lastPercent_ = 0;
    const std::uint64_t bytes =
        std::min<std::uint64_t>(runBytes_[chosen], std::uint64_t(r_.EndLba - r_.StartLba) * SectorBytes);
    INormalizer* norm = e_.Context().Normalizer;
    bool scaled = false;
    std::int64_t level = 0, factor = 10000;
    const std::string name = RunFileName(chosen);
    if (r_.Normalize) {
        // The normalizer reads the file by its name.
        runFile_[0].reset();
        runFile_[1].reset();
        files_.Remove(RunFileName(chosen ^ 1));
        scaled = e_.Context().StartNormalize(r_, name, true, level, factor);
        // A failed analysis (or a silent track): the audio goes out
        // unscaled, and the result says the request was not carried out.
        if (!scaled) r_.ResultClass = rrNG;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> plain(nullptr, &std::fclose);
    if (r_.Normalize && !scaled) plain.reset(std::fopen(name.c_str(), "rb"));
    deemph_.Reset();
    std::vector<std::uint8_t> piece(SectorBytes);
    std::uint64_t done = 0;
    bool ok = true;
    for (std::uint32_t count = 1; done < bytes && !Aborted(); ++count) {
        const std::uint32_t want = std::uint32_t(std::min<std::uint64_t>(SectorBytes, bytes - done));
        std::uint32_t got;
        if (scaled) got = norm->ReadScaled(factor, piece.data(), want);
        else if (r_.Normalize) got = plain ? std::uint32_t(std::fread(piece.data(), 1, want, plain.get())) : 0;
        else got = runFile_[chosen]->ReadAt(done, piece.data(), want);
        if (got == 0) break;
        if (r_.VolumePercent != 100 && !r_.Normalize) ApplyVolume(piece.data(), r_.VolumePercent, got);
        if (r_.DeEmphasis) deemph_.Process(piece.data(), got);
        IRipOutput* o = e_.Context().Output;
        if (!o || !o->Write(piece.data(), got)) {
            ok = false;
            break;
        }
        done += got;
        PostPercent(std::int32_t(done * 100 / (bytes ? bytes : 1)));
        if (count % 256 == 0) pf_.Sleep(10);
    }
    if (scaled) norm->End();
    plain.reset();
    if (!ok) {
        WriteErrorEnd();
        return;
    }
    // A run file that did not come back whole is not a good rip.
    if (done < bytes && !Aborted()) r_.ResultClass = rrNG;
}

void TTwoPass::DeleteWorkFiles() {
    workDeleted_ = true;
    runFile_[0].reset();
    runFile_[1].reset();
    if (store_) store_->CloseAll();
    for (const char* n : TwoPassWorkFiles)
        if (files_.Exists(Work(n))) files_.Remove(Work(n));
}

void TTwoPass::WriteErrorEnd() {
    stop_ = TStop::WriteError;
    if (r_.LevelMeter) e_.PostLevel(0);
    DeleteWorkFiles();
    // The output is closed, but the result says it is incomplete.
    e_.CloseOutput();
    e_.NullAreaCounter() = counter_;
    e_.FinishOnWriteError();
    pf_.FreeEvent(event_);
    event_ = nullptr;
}

void TTwoPass::End() {
    if (r_.LevelMeter) e_.PostLevel(0);
    DeleteWorkFiles();
    if (Aborted() || stop_ != TStop::None) r_.ResultClass = rrNG;
    e_.NullAreaCounter() = runNull_[chosen_];
    e_.Finish();
    pf_.FreeEvent(event_);
    event_ = nullptr;
}

}  // namespace

void ReadTwoPass(TRipEngine& e, ITempFiles& files) {
    TTwoPass t(e, files);
    t.Run();
}

}  // namespace wx
