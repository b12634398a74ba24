// The two-pass read against the emulated MMC drive behind its ASPI front:
// whole tracks with and without verify, under injected jitter, injected
// medium errors and a read that never completes.
#include "extraction/normaliz.h"
#include "extraction/ripmethods.h"
#include "extraction/tests/emudisc_util.h"
#include "extraction/tests/tempfiles_util.h"

using namespace wx;
using namespace wxtest;

namespace {

class TwoPassEmulated : public ::testing::Test, protected TEmulatedDisc {
protected:
    void SetUp() override {
        ASSERT_TRUE(ReserveRipBuffers(RipBuffers));
        std::string err;
        ASSERT_TRUE(LoadPattern(4000, {{2000, 2100}},  // a null area in track 3
                                "FILE \"demo.bin\" BINARY\n"
                                "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                "  TRACK 02 AUDIO\n    INDEX 01 00:10:37\n"
                                "  TRACK 03 AUDIO\n    INDEX 01 00:20:00\n"
                                "  TRACK 04 AUDIO\n    INDEX 01 00:40:00\n",
                                err))
            << err;
        cache.assign(400 * SectorBytes, 0);  // the store spills on every track
        ctx.Platform = &platform;
        ctx.Store = &store;
        ctx.Normalizer = &normalizer;
        ctx.Methods = &methods;
        ctx.NormalizeModeOf = &NormalizeModeOf;
        ctx.RipCache = cache.data();
        ctx.RipCacheSize = std::uint32_t(cache.size());
    }
    void TearDown() override { Unplug(); }
    TTransferRecord Request(int track) {
        TTransferRecord r = TEmulatedDisc::Request(track);
        r.TwoPass = true;
        r.WorkFolder = (work.path() / "").string();
        return r;
    }
    std::vector<std::uint8_t> Rip(const TTransferRecord& r) {
        TMemoryOutput out;
        ctx.Output = &out;
        files.largest.clear();
        TRipEngine e(r, ctx, [] { return false; });
        e.Execute();
        // Ended once: finished, or given up when the rip failed.
        EXPECT_EQ(out.closes, platform.result.ResultClass == rrNG ? 0 : 1);
        EXPECT_EQ(out.discards, platform.result.ResultClass == rrNG ? 1 : 0);
        EXPECT_EQ(files.Left(), 0) << "work files left behind";
        if (platform.result.ResultClass != rrNG) {
            EXPECT_GT(files.largest[r.WorkFolder + "wendri_pass2.$$$"], 0u) << "the store did not spill";
        }
        return out.bytes;
    }

    testimg::TempDir work;
    std::vector<std::uint8_t> cache;
    TTestPlatform platform;
    TLimitedFiles files;
    TTempStore store{files};
    TNormalizer normalizer{&store};
    TRipMethods methods{files};
    TRipContext ctx;
};

}  // namespace

TEST_F(TwoPassEmulated, EveryTrackIsTheImage) {
    for (bool verify : {false, true}) {
        for (int t = 1; t <= 4; ++t) {
            TTransferRecord r = Request(t);
            r.VerifyRead = verify;
            std::vector<std::uint8_t> got = Rip(r);
            const auto& tr = disc->Tracks()[std::size_t(t - 1)];
            std::int64_t len = std::int64_t(tr.endLba - tr.startLba) * 2352;
            ASSERT_EQ(std::int64_t(got.size()), len) << "track " << t << " verify " << verify;
            EXPECT_TRUE(got == Image(std::int64_t(tr.startLba) * 2352, len)) << "track " << t;
            EXPECT_EQ(platform.result.ResultClass, rrOK);
            EXPECT_EQ(platform.result.NullAreas, t == 3 ? 1 : 0);
        }
    }
}

// Under jitter every track keeps its length exactly, and starts where its
// first read landed.  Tracks 1 and 2 are one unbroken run of the image from
// there.  Track 4 ends at the lead-out: when its last read landed earlier
// than its first, the end holds zeros for audio the drive did not deliver,
// and the track is not OK (nor, with verify, when the other run did not
// read the end this one holds).  Track 3 holds a silence: its seams there match at
// any shift, so the drive's jitter cannot be followed through it, and the
// track is not reported OK.
TEST_F(TwoPassEmulated, InjectedJitterKeepsTheLengthAndTheTruth) {
    drive->faults().jitterFrames = 40;
    int zeroEnds = 0;
    for (bool verify : {false, true}) {
        for (unsigned seed : {11u, 12u}) {
            drive->faults().seed = seed + (verify ? 10 : 0);
            for (int t = 1; t <= 4; ++t) {
                TTransferRecord r = Request(t);
                r.VerifyRead = verify;
                std::vector<std::uint8_t> got = Rip(r);
                const std::string what =
                    "track " + std::to_string(t) + " verify " + std::to_string(verify) + " seed " + std::to_string(seed);
                const auto& tr = disc->Tracks()[std::size_t(t - 1)];
                std::int64_t len = std::int64_t(tr.endLba - tr.startLba) * 2352;
                ASSERT_EQ(std::int64_t(got.size()), len) << what;
                EXPECT_GT(platform.result.JitterCorrections, 0) << what;
                if (t == 3) {
                    EXPECT_NE(platform.result.ResultClass, rrOK) << what;
                    EXPECT_NE(platform.result.ResultClass, rrNG) << what;
                    continue;
                }
                int s0 = StartShift(got, tr.startLba, 40);
                ASSERT_LE(std::abs(s0), 40) << what << " does not start on the image";
                std::vector<std::uint8_t> want = Image(std::int64_t(tr.startLba) * 2352 + 4 * s0, len);
                auto mm = std::mismatch(got.begin(), got.end(), want.begin());
                if (mm.first == got.end()) {
                    // At the lead-out the other run of a verified rip may
                    // not have read the end that this one holds.
                    if (t != 4 || !verify) {
                        EXPECT_EQ(platform.result.ResultClass, rrOK) << what;
                    }
                    EXPECT_NE(platform.result.ResultClass, rrNG) << what;
                    continue;
                }
                // Only the end of the disc may be missing, as zeros.
                ASSERT_EQ(t, 4) << what << ": seam off the image at byte " << (mm.first - got.begin());
                EXPECT_GE(mm.first - got.begin(), len - 80 * 4) << what;
                EXPECT_TRUE(std::all_of(mm.first, got.end(), [](std::uint8_t b) { return b == 0; })) << what;
                EXPECT_NE(platform.result.ResultClass, rrOK) << what;
                EXPECT_NE(platform.result.ResultClass, rrNG) << what;
                ++zeroEnds;
            }
        }
    }
    EXPECT_LT(zeroEnds, 4) << "the end of the disc is never read";
}

TEST_F(TwoPassEmulated, InjectedMediumErrors) {
    const auto& t2 = disc->Tracks()[1];
    for (bool verify : {false, true}) {
        drive->faults().mediumErrors = {{t2.startLba + 100, 3}, {t2.startLba + 500, 2}};
        TTransferRecord r = Request(2);
        r.VerifyRead = verify;
        std::vector<std::uint8_t> got = Rip(r);
        std::int64_t len = std::int64_t(t2.endLba - t2.startLba) * 2352;
        EXPECT_TRUE(got == Image(std::int64_t(t2.startLba) * 2352, len));
        EXPECT_EQ(platform.result.ResultClass, rrOK);
        EXPECT_EQ(platform.result.ScsiErrors, 5);
    }
    // More failures in a row than MaxRetry: NG, with the drive's sense.
    drive->faults().mediumErrors = {{t2.startLba + 300, 5}};
    TTransferRecord r = Request(2);
    std::vector<std::uint8_t> got = Rip(r);
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    EXPECT_EQ(platform.result.RetryCount, 5);
    EXPECT_EQ(platform.result.LastSrb.SenseArea[2] & 0x0F, 3);
    EXPECT_EQ(platform.result.LastSrb.SenseArea[12], 0x11);
    EXPECT_TRUE(got.empty());
}

TEST_F(TwoPassEmulated, HungReadIsAbortedAndEndsTheTrack) {
    platform.fastTimeouts = true;
    MakeEmulator({0xD8});
    TTransferRecord r = Request(1);
    TMemoryOutput out;
    ctx.Output = &out;
    TRipEngine e(r, ctx, [] { return false; });
    e.Execute();
    EXPECT_EQ(platform.Messages(WM_RIP_TIMEOUT).size(), 1u);
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    EXPECT_EQ(platform.result.RetryCount, r.MaxRetry + 1);
    EXPECT_EQ(platform.doneCount, 1);
    EXPECT_EQ(out.discards, 1);
    EXPECT_EQ(files.Left(), 0);
}
