// Properties of jitter-corrected rips (one-pass or two-pass) on the
// emulated drive, for the property tests (a bounded number of cases on every
// run) and the long runs of the benchmark: random ranges of a disc of noise,
// reads of 5 to 55 sectors, and jitter that is constant, on every k-th read,
// random up to +-1,500 frames, or only on the last read.  In every case the
// output has exactly the range's length, and an output that is not an
// unbroken run of the image never ends OK.
#pragma once
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "extraction/ripmethods.h"
#include "extraction/tempstore.h"
#include "extraction/tests/emudisc_util.h"

namespace wxtest {

enum class TJitterPattern { None, Constant, EveryKth, Random, LastRead, Count };
enum class TRipKind { OnePass, TwoPass };

inline const char* PatternName(TJitterPattern p) {
    switch (p) {
    case TJitterPattern::None: return "no jitter";
    case TJitterPattern::Constant: return "constant offset";
    case TJitterPattern::EveryKth: return "every k-th read";
    case TJitterPattern::Random: return "random, up to +-1,500 frames";
    case TJitterPattern::LastRead: return "only the last read";
    default: return "?";
    }
}

// CPU time of the calling thread.
inline double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct TCaseResult {
    TJitterPattern pattern = TJitterPattern::None;
    std::int32_t start = 0, sectors = 0, sectorsPerRead = 0;
    bool verify = false;
    std::uint8_t resultClass = 0;
    bool lengthExact = false;  // the output has exactly the range's length
    bool unbroken = false;     // the output is one unbroken run of the image
    bool isImage = false;      // the output is the range of the image itself
    std::string Describe() const {
        char b[200];
        std::snprintf(b, sizeof b, "%s, LBA %d + %d sectors, %d a read%s: class %d, length %s, %s%s",
                      PatternName(pattern), int(start), int(sectors), int(sectorsPerRead), verify ? ", verify" : "",
                      int(resultClass), lengthExact ? "exact" : "WRONG", unbroken ? "unbroken" : "broken",
                      isImage ? " (the image)" : "");
        return b;
    }
};

// A disc of noise on the emulated drive (one track), ripped range by range.
class TPropertyRig {
public:
    explicit TPropertyRig(std::int32_t sectors, unsigned seed) : sectors_(sectors) {
        std::vector<std::uint8_t> noise(std::size_t(sectors) * 2352);
        std::mt19937 g(seed);
        for (std::size_t i = 0; i < noise.size(); i += 4) {
            std::uint32_t v = g();
            std::memcpy(&noise[i], &v, 4);
        }
        std::string err;
        emulated_.LoadImage(std::move(noise), "FILE \"demo.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", err);
        Current() = this;
    }
    ~TPropertyRig() { Current() = nullptr; }
    bool Loaded() const { return emulated_.disc != nullptr; }

    // The entry point handed to the engine: the emulator, timed.
    static std::uint32_t Send(void* srb) {
        TPropertyRig& rig = *Current();
        double t0 = ThreadCpuSeconds();
        std::uint32_t st = TEmulatedDisc::Send(srb);
        rig.driveCpu += ThreadCpuSeconds() - t0;
        return st;
    }

    // One random case; the two-pass read keeps its passes in a small rip
    // memory block, so that longer ranges spill to work files.
    TCaseResult RunCase(std::mt19937& g, std::int32_t maxSectors, TRipKind kind = TRipKind::OnePass) {
        TCaseResult c;
        c.pattern = TJitterPattern(g() % unsigned(TJitterPattern::Count));
        c.sectors = std::int32_t(3 + g() % unsigned(maxSectors - 2));
        // Now and then a range that ends at the lead-out.
        c.start = g() % 6 == 0 ? sectors_ - c.sectors : std::int32_t(g() % unsigned(sectors_ - c.sectors + 1));
        c.sectorsPerRead = std::int32_t(5 + g() % 51);
        c.verify = g() % 5 == 0;
        const std::int32_t end = c.start + c.sectors;
        const std::int32_t lastEnd = std::min(end + 2, emulated_.disc->LeadOut());  // a read cut at the lead-out
        const int amplitude = int(g() % 1501);
        const int signedAmp = g() % 2 ? amplitude : -amplitude;
        const int k = int(2 + g() % 8);
        auto rng = std::make_shared<std::mt19937>(g());
        auto readNo = std::make_shared<int>(0);
        firstShifts_.clear();
        emulated_.drive->faults().shiftOf = [&, c, lastEnd, signedAmp, k, rng, readNo](std::int32_t lba, std::int32_t count) {
            int n = (*readNo)++;
            std::uniform_int_distribution<int> any(-1500, 1500);
            int s = 0;
            switch (c.pattern) {
            case TJitterPattern::None: break;
            case TJitterPattern::Constant: s = signedAmp; break;
            case TJitterPattern::EveryKth: s = n % k == k - 1 ? any(*rng) : 0; break;
            case TJitterPattern::Random: s = std::uniform_int_distribution<int>(-amplitude, amplitude)(*rng); break;
            case TJitterPattern::LastRead: s = lba + count >= lastEnd ? signedAmp : 0; break;
            default: break;
            }
            if (lba == c.start) firstShifts_.push_back(s);
            return s;
        };

        TTestPlatform platform;
        TMemoryOutput out;
        TRipContext ctx;
        ctx.Platform = &platform;
        ctx.Output = &out;
        ctx.Store = &store_;
        ctx.Methods = &methods_;
        ctx.RipCache = cache_.data();
        ctx.RipCacheSize = std::uint32_t(cache_.size());
        TTransferRecord r = EmptyTransferRecord();
        r.Target = 1;
        r.StartLba = c.start;
        r.EndLba = end;
        r.LastReadableLba = emulated_.disc->LeadOut() - 1;
        r.ReadCommand = 4;
        r.SectorsPerRead = c.sectorsPerRead;
        r.MaxRetry = 3;
        r.SendAspiCommand = &TPropertyRig::Send;
        r.UseAspi = true;
        r.VolumePercent = 100;
        r.NoNullAreaCount = true;
        r.OverlapSectors = kind == TRipKind::OnePass ? 4 : 0;
        r.TwoPass = kind == TRipKind::TwoPass;
        r.WorkFolder = (work_.path() / "").string();
        r.VerifyRead = c.verify;
        r.PlayList[0] = -1;
        double t0 = ThreadCpuSeconds();
        {
            TRipEngine e(r, ctx, [] { return false; });
            e.Execute();
        }
        ripCpu += ThreadCpuSeconds() - t0;
        emulated_.drive->faults().shiftOf = nullptr;
        c.resultClass = platform.result.ResultClass;
        const std::int64_t len = std::int64_t(c.sectors) * 2352;
        c.lengthExact = std::int64_t(out.bytes.size()) == len && platform.doneCount == 1;
        // Where the first block landed decides the whole output; the disc
        // reads as silence outside the image.
        for (int s0 : firstShifts_) {
            if (!c.lengthExact) break;
            if (Matches(out.bytes, std::int64_t(c.start) * 2352 + 4 * s0)) {
                c.unbroken = true;
                break;
            }
        }
        c.isImage = c.lengthExact && Matches(out.bytes, std::int64_t(c.start) * 2352);
        return c;
    }

    double ripCpu = 0;    // CPU time of the rips, the emulated drive included
    double driveCpu = 0;  // of that, inside the emulated drive

private:
    static TPropertyRig*& Current() {
        static TPropertyRig* r = nullptr;
        return r;
    }
    bool Matches(const std::vector<std::uint8_t>& got, std::int64_t from) const {
        for (std::size_t i = 0; i < got.size(); ++i) {
            std::int64_t q = from + std::int64_t(i);
            std::uint8_t want = q >= 0 && q < std::int64_t(emulated_.image.size()) ? emulated_.image[std::size_t(q)] : 0;
            if (got[i] != want) return false;
        }
        return true;
    }

    TEmulatedDisc emulated_;
    testimg::TempDir work_;
    std::vector<std::uint8_t> cache_ = std::vector<std::uint8_t>(600 * 2352);
    TTempStore store_;
    TRipMethods methods_;
    std::int32_t sectors_;
    std::vector<int> firstShifts_;
};

}  // namespace wxtest
