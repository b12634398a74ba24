// The burst read and the benchmark against the emulated MMC drive behind its
// ASPI front (and behind the pass-through transport): whole tracks in
// several ranges, reads that end out of order, medium errors, a read that
// never ends, failing run files, and the benchmark's areas and counts.
#include <fstream>

#include "extraction/burst.h"
#include "extraction/normaliz.h"
#include "extraction/ripmethods.h"
#include "extraction/tests/emudisc_util.h"
#include "extraction/tests/riptest_util.h"
#include "extraction/tests/tempfiles_util.h"
#include "standins/mmcdrive/AspiEmulator.h"
#include "standins/mmcdrive/EmuDeviceIo.h"
#include "standins/tests/TestImage.h"

using namespace wx;
using namespace wxtest;

namespace {

class BurstEmulated : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ReserveRipBuffers(RipBuffers));
        std::vector<std::uint8_t> bytes(2400 * 2352);
        for (std::size_t i = 0; i < bytes.size(); i += 2) {
            const std::uint16_t v = testimg::SampleAt(std::int64_t(i));
            bytes[i] = std::uint8_t(v);
            bytes[i + 1] = std::uint8_t(v >> 8);
        }
        std::fill(bytes.begin() + 1500 * 2352, bytes.begin() + 1600 * 2352, 0);  // a null area in track 2
        std::string err;
        ASSERT_TRUE(rig.LoadImage(std::move(bytes),
                                  "FILE \"demo.bin\" BINARY\n"
                                  "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                  "  TRACK 02 AUDIO\n    INDEX 01 00:13:37\n",
                                  err))
            << err;
        // Ranges of 290 sectors: every track is read in several.
        cache.assign(300 * SectorBytes, 0);
        ctx.Platform = &platform;
        ctx.Normalizer = &normalizer;
        ctx.Methods = &methods;
        ctx.NormalizeModeOf = &NormalizeModeOf;
        ctx.RipCache = cache.data();
        ctx.RipCacheSize = std::uint32_t(cache.size());
    }
    // A burst rip of track `track`, its run files in the work folder.
    TTransferRecord Request(int track) {
        TTransferRecord r = rig.Request(track);
        r.BurstRead = true;
        r.RereadFailed = true;
        r.NoNullAreaCount = false;
        r.WorkFolder = (work.path() / "").string();
        return r;
    }
    std::vector<std::uint8_t> Rip(const TTransferRecord& r) {
        out.Reset();
        ctx.Output = &out;
        platform.doneCount = 0;
        TRipEngine e(r, ctx, [] { return false; });
        e.Execute();
        EXPECT_EQ(platform.doneCount, 1);
        // Ended once: finished, or given up when the rip failed.
        EXPECT_EQ(out.closes, platform.result.ResultClass == rrNG ? 0 : 1);
        EXPECT_EQ(out.discards, platform.result.ResultClass == rrNG ? 1 : 0);
        EXPECT_EQ(files.Left(), 0) << "run files left behind";
        return out.bytes;
    }
    std::vector<std::uint8_t> Image(std::int32_t from, std::int32_t to) const {
        return std::vector<std::uint8_t>(image.begin() + std::ptrdiff_t(from) * 2352,
                                         image.begin() + std::ptrdiff_t(to) * 2352);
    }
    std::vector<std::uint8_t> Track(int track) const {
        const auto& t = disc->Tracks()[std::size_t(track - 1)];
        return Image(t.startLba, t.endLba);
    }
    // LBAs of the read commands in the order the drive ended them.
    std::vector<std::uint32_t> ReadOrder() const {
        std::vector<std::uint32_t> lbas;
        for (const auto& l : emulator->Log())
            if (l.cdb.size() >= 6 && l.cdb[0] == 0xD8 && l.status == SS_COMP)
                lbas.push_back(GetBE32(l.cdb.data() + 2));
        return lbas;
    }

    TEmulatedDisc rig;
    const std::vector<std::uint8_t>& image = rig.image;
    const std::shared_ptr<emu::Disc>& disc = rig.disc;
    const std::shared_ptr<emu::MmcDrive>& drive = rig.drive;
    const std::unique_ptr<emu::AspiEmulator>& emulator = rig.emulator;
    testimg::TempDir work;
    std::vector<std::uint8_t> cache;
    TTestPlatform platform;
    TMemoryOutput out;
    TLimitedFiles files;
    TTempStore store{files};
    TNormalizer normalizer{&store};
    TRipMethods methods{files};
    TRipContext ctx;
};

}  // namespace

// Every track in ranges, in order and out of order, with and without verify:
// the output is the image, the result OK.  The status names the runs.
TEST_F(BurstEmulated, TracksAreTheImageInAnyCompletionOrder) {
    for (int reorder : {0, 4}) {
        rig.MakeEmulator({}, reorder);
        for (bool verify : {false, true}) {
            for (int t = 1; t <= 2; ++t) {
                platform.posted.clear();
                TTransferRecord r = Request(t);
                r.VerifyRead = verify;
                std::vector<std::uint8_t> got = Rip(r);
                EXPECT_TRUE(got == Track(t)) << "track " << t << " verify " << verify << " reorder " << reorder
                                             << ": " << got.size() << " bytes";
                EXPECT_EQ(platform.result.ResultClass, rrOK);
                EXPECT_EQ(platform.result.ScsiErrors, 0);
                EXPECT_EQ(platform.result.NullAreas, t == 2 ? 1 : 0);
                bool secondRun = false;
                for (auto& m : platform.Messages(WM_RIP_STATUS)) secondRun |= m.text.find("2\x89\xf1\x96\xda") != std::string::npos;
                EXPECT_EQ(secondRun, verify);
            }
        }
        if (reorder) {
            std::vector<std::uint32_t> order = ReadOrder();
            EXPECT_FALSE(std::is_sorted(order.begin(), order.end())) << "the drive ended the reads in order";
        }
    }
}

// Ranges whose last request is one sector: the carried block is two
// sectors all the same, and the alignment stays inside the store.  The
// volume is applied on the direct path.
TEST_F(BurstEmulated, OneSectorLastRequestAndVolume) {
    // Ranges of 289 sectors in reads of 16: 289 = 16 * 18 + 1.
    TTransferRecord r = Request(1);
    r.SectorsPerRead = 16;
    EXPECT_TRUE(Rip(r) == Track(1));
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    r.VolumePercent = 50;
    std::vector<std::uint8_t> half = Rip(r), want = Track(1);
    ASSERT_EQ(half.size(), want.size());
    ApplyVolume(want.data(), 50, std::uint32_t(want.size()));
    EXPECT_TRUE(half == want);
}

TEST_F(BurstEmulated, FailedRequestsAreReadAgainOrTheRipIsNG) {
    const auto& t1 = disc->Tracks()[0];
    for (bool verify : {false, true}) {
        drive->faults().mediumErrors = {{t1.startLba + 100, 3}, {t1.startLba + 400, 2}};
        TTransferRecord r = Request(1);
        r.VerifyRead = verify;
        EXPECT_TRUE(Rip(r) == Track(1)) << "verify " << verify;
        EXPECT_EQ(platform.result.ResultClass, rrOK);
        EXPECT_EQ(platform.result.ScsiErrors, 5);
    }
    // A library that signals a request's event before it writes the status:
    // a request read again is not taken as failed, nor sent again while the
    // library still holds it.
    emu::Unit* unit = emulator->FindUnit(0, 1);
    ASSERT_NE(unit, nullptr);
    unit->readLatencyMs = 1;
    unit->signalBeforeStatusMs = 20;
    drive->faults().mediumErrors = {{t1.startLba + 100, 3}, {t1.startLba + 400, 2}};
    EXPECT_TRUE(Rip(Request(1)) == Track(1));
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    EXPECT_EQ(platform.result.ScsiErrors, 5);
    unit->readLatencyMs = 0;
    unit->signalBeforeStatusMs = 0;
    // Not read again: the bad data stays, and the rip says so.
    drive->faults().mediumErrors = {{t1.startLba + 100, 1}};
    TTransferRecord r = Request(1);
    r.RereadFailed = false;
    std::vector<std::uint8_t> got = Rip(r);
    EXPECT_EQ(got.size(), Track(1).size());
    EXPECT_FALSE(got == Track(1));
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    EXPECT_EQ(platform.result.ScsiErrors, 1);
    // A sector that stays bad through every re-read fails the track.
    drive->faults().mediumErrors = {{t1.startLba + 100, -1}};
    r = Request(1);
    Rip(r);
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    EXPECT_EQ(platform.result.LastSrb.SenseArea[2] & 0x0F, 3);
    drive->faults().mediumErrors.clear();
    // More failed requests than the list keeps: those past it stay bad.
    r = Request(1);
    r.StartLba = 0;
    r.EndLba = disc->LeadOut();
    r.SectorsPerRead = 1;
    for (std::int32_t i = 0; i <= MaxFailedRequests; ++i) drive->faults().mediumErrors[2 * i] = 1;
    cache.assign(2200 * SectorBytes, 0);
    ctx.RipCache = cache.data();
    ctx.RipCacheSize = std::uint32_t(cache.size());
    got = Rip(r);
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    EXPECT_EQ(platform.result.ScsiErrors, MaxFailedRequests + 1);
}

TEST_F(BurstEmulated, HungReadIsAbortedAndEndsTheTrack) {
    platform.fastTimeouts = true;
    rig.MakeEmulator({0xD8});
    Rip(Request(1));
    EXPECT_EQ(platform.Messages(WM_RIP_TIMEOUT).size(), 1u);
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    // The hung request was aborted and let go before the range ended.
    EXPECT_EQ(emulator->InFlight(), 0u);
    int aborts = 0;
    for (const auto& l : emulator->Log()) aborts += l.cmd == SC_ABORT_SRB && l.status == SS_COMP;
    EXPECT_EQ(aborts, 1);
}

// Run files that cannot be made or written, and runs that differ: NG, never
// a comparison of what happens to be there.
TEST_F(BurstEmulated, RunFileFailuresAndDifferingRuns) {
    TTransferRecord r = Request(1);
    r.VerifyRead = true;
    files.failCreate = true;
    EXPECT_TRUE(Rip(r).empty());
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    files.failCreate = false;
    files.budget = std::int64_t(Track(1).size()) + 100000;  // run 2 does not fit
    EXPECT_TRUE(Rip(r).empty());
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    files.budget = -1;
    // A run file that gives back less than was written, in its last piece:
    // the common part is never taken for the whole.
    for (const char* name : BurstRunFiles) {
        files.shortReadName = name;
        files.shortReadAt = Track(1).size() - 3 * SectorBytes;
        Rip(r);
        EXPECT_EQ(platform.result.ResultClass, rrNG) << name;
    }
    files.shortReadName.clear();
    // A drive that places its reads differently each time: the runs differ.
    drive->faults().jitterFrames = 30;
    EXPECT_FALSE(Rip(r).empty());
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    r.NoWriteOnVerifyError = true;
    EXPECT_TRUE(Rip(r).empty());
    EXPECT_EQ(platform.result.ResultClass, rrNG);
}

// A drive that places each read differently, with the rip memory smaller
// than a track or holding it whole: each track keeps exactly its length, and
// is OK only when it is the image (the seams of the ranges, or the first and
// last request read again, show the drive moving).
TEST_F(BurstEmulated, AJitteringDriveKeepsTheLengthAndIsNeverOkOnBrokenAudio) {
    struct Row {
        const char* what;
        std::uint32_t cacheBytes;
        int jitter;
    };
    const Row rows[] = {
        {"ranges of 290 sectors", 300 * SectorBytes, 20},
        {"8 MiB", 8u << 20, 20},
        {"128 MiB", 128u << 20, 20},
        {"128 MiB, a drive that does not jitter", 128u << 20, 0},
    };
    for (const Row& row : rows) {
        std::vector<std::uint8_t> memory(row.cacheBytes, 0);
        ctx.RipCache = memory.data();
        ctx.RipCacheSize = row.cacheBytes;
        drive->faults().jitterFrames = row.jitter;
        for (int t = 1; t <= 2; ++t) {
            SCOPED_TRACE(std::string(row.what) + ", track " + std::to_string(t));
            const std::vector<std::uint8_t> got = Rip(Request(t)), want = Track(t);
            EXPECT_EQ(got.size(), want.size());
            if (platform.result.ResultClass == rrOK) EXPECT_TRUE(got == want) << "OK on audio that is not the image";
            EXPECT_EQ(platform.result.ResultClass, row.jitter > 0 ? rrS1 : rrOK);
        }
        drive->faults().jitterFrames = 0;
    }
    ctx.RipCache = cache.data();
    ctx.RipCacheSize = std::uint32_t(cache.size());
}

// Normalization: the run file, measured and scaled, in full.
TEST_F(BurstEmulated, NormalizedRun) {
    TTransferRecord r = Request(1);
    r.Normalize = true;
    r.NormalizeTarget = 5000;
    std::vector<std::uint8_t> got = Rip(r);
    EXPECT_EQ(got.size(), Track(1).size());
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    EXPECT_NE(got, Track(1));
}

// The pass-through transport: requests on the rip device's overlapped
// handles.
TEST_F(BurstEmulated, PassThroughTransport) {
    emu::EmuDeviceIo io;
    emu::EmuLetter l;
    l.letter = 'E';
    l.drive = drive;
    io.letters.push_back(l);
    SetDeviceIo(&io);
    ASSERT_EQ(ClassDrvEnumDevices(), 1);
    TClassDrvDevice d;
    ClassDrvGetDevice(0, d);
    TTransferRecord r = Request(1);
    r.UseAspi = false;
    r.SendAspiCommand = nullptr;
    r.PortNumber = d.PortNumber;
    r.Adapter = d.PathId;
    r.Target = d.TargetId;
    r.Lun = d.Lun;
    EXPECT_TRUE(Rip(r) == Track(1));
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    int overlappedOpens = 0;
    for (const auto& c : io.calls) overlappedOpens += c.op == "open" && c.overlapped;
    EXPECT_EQ(overlappedOpens, OverlappedHandles);
    // The benchmark on this transport measures no burst reads.
    r = Request(1);
    r.UseAspi = false;
    r.SendAspiCommand = nullptr;
    r.PortNumber = d.PortNumber;
    r.Adapter = d.PathId;
    r.Target = d.TargetId;
    r.Lun = d.Lun;
    r.BurstRead = false;
    r.BenchmarkBytes = 26 * 2352 * 4;
    Rip(r);
    EXPECT_GE(platform.result.BenchInnerNormalMs, 0);
    EXPECT_EQ(platform.result.BenchInnerBurstMs, -1);
    EXPECT_EQ(platform.result.BenchOuterBurstMs, -1);
    SetDeviceIo(nullptr);
    ClassDrvResetForTest();
}

TEST_F(BurstEmulated, BenchmarkAreasAndCounts) {
    TTransferRecord r = Request(1);
    r.BurstRead = false;
    r.StartLba = 0;
    r.EndLba = r.LastReadableLba = disc->LeadOut() - 75;
    r.SectorsPerRead = 20;
    r.BenchmarkBytes = 3528000;  // 1500 sectors: 75 reads of 20
    // The inner sector fails once (the warm-up's first read: the clock starts
    // again); the outer one fails the warm-up's every try and then once more.
    drive->faults().mediumErrors = {{10, 1}, {r.EndLba - 10, r.MaxRetry + 2}};
    emulator->ClearLog();
    Rip(r);
    const TTransferRecord& b = platform.result;
    EXPECT_EQ(b.ResultClass, rrOK);
    EXPECT_EQ(b.BenchReads, 75);
    EXPECT_EQ(b.BenchInnerLba, 0);
    EXPECT_EQ(b.BenchOuterLba, r.EndLba - 1500);
    EXPECT_GE(b.BenchInnerNormalMs, 0);
    EXPECT_GE(b.BenchOuterNormalMs, 0);
    EXPECT_GE(b.BenchInnerBurstMs, 0);
    EXPECT_GE(b.BenchOuterBurstMs, 0);
    EXPECT_EQ(b.BenchInnerNormalErrors, 0);
    EXPECT_EQ(b.BenchOuterNormalErrors, 1);
    EXPECT_EQ(b.BenchInnerBurstErrors + b.BenchOuterBurstErrors, 0);
    EXPECT_GE(platform.timeCritical, 4);
    EXPECT_TRUE(out.bytes.empty());
    // A disc shorter than an area: the outer area starts at the disc's start.
    EXPECT_EQ(BenchOuterLba(0, 1000, 20, 75), 0);
    EXPECT_EQ(BenchOuterLba(150, 5000, 20, 75), 3500);
    // No bytes per area: no timed reads.
    emulator->ClearLog();
    r.BenchmarkBytes = 1;
    Rip(r);
    EXPECT_TRUE(ReadOrder().empty());
    EXPECT_EQ(platform.result.BenchReads, 0);
}
