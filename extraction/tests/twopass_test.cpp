// The two-pass read and the two-stage mode against a scripted drive: the
// block layout, every range length, jitter between blocks, verify runs and
// their result classes, retries, a hung read, a small cache that spills to
// work files, a full work disk, normalization and abort.
#include <filesystem>
#include <random>

#include "extraction/normaliz.h"
#include "extraction/ripmethods.h"
#include "extraction/tests/riptest_util.h"
#include "extraction/tests/tempfiles_util.h"
#include "extraction/twopass.h"
#include "standins/tests/TestImage.h"

using namespace wx;
using namespace wxtest;

namespace {

std::string Format1ForTest(const char* f, int a) {
    char b[128];
    std::snprintf(b, sizeof b, f, a);
    return b;
}

std::int64_t Peak(const std::vector<std::uint8_t>& pcm) {
    std::uint32_t peaks = PeakLevels(pcm.data(), std::uint32_t(pcm.size()));
    return std::max(peaks & 0xFFFF, peaks >> 16);
}
// The peak after peak normalization to `target`: the factor is kept in
// units of 1/10000.
std::int64_t ScaledPeak(const std::vector<std::uint8_t>& pcm, std::int64_t target) {
    std::int64_t p = Peak(pcm);
    return std::min<std::int64_t>(32767, p * (target * 10000 / p) / 10000);
}

class TwoPassTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ReserveRipBuffers(RipBuffers));
        drive = std::make_unique<TScriptedDrive>(2000);
        drive->platform = &platform;
        CurrentDrive() = drive.get();
        cache.assign(4000 * SectorBytes, 0);
        ctx.Platform = &platform;
        ctx.Output = &output;
        ctx.Store = &store;
        ctx.Normalizer = &normalizer;
        ctx.Methods = &methods;
        ctx.NormalizeModeOf = &NormalizeModeOf;
        ctx.RipCache = cache.data();
        ctx.RipCacheSize = std::uint32_t(cache.size());
    }
    void TearDown() override { CurrentDrive() = nullptr; }

    TTransferRecord Request(std::int32_t start, std::int32_t end) {
        TTransferRecord r = RipRequest(start, end, drive->Sectors() - 1);
        r.TwoPass = true;
        r.SectorsPerRead = 26;
        r.WorkFolder = WorkFolder();
        return r;
    }
    void Run(const TTransferRecord& r) {
        output.bytes.clear();
        output.writeSizes.clear();
        output.writes = output.closes = output.discards = 0;
        TRipEngine e(r, ctx, [this] { return abortAfterReads >= 0 && drive->reads >= abortAfterReads; });
        e.Execute();
    }
    std::vector<std::string> Statuses() {
        std::vector<std::string> v;
        for (auto& m : platform.Messages(WM_RIP_STATUS)) v.push_back(m.text);
        return v;
    }
    bool Posted(const std::string& phrase) {
        char head[32];
        std::snprintf(head, sizeof head, MsgTrackFormat, 3);
        for (auto& s : Statuses())
            if (s == head + phrase) return true;
        return false;
    }
    // Read commands sent, as (opcode, lba).
    std::vector<std::pair<int, std::int32_t>> Commands() const {
        std::vector<std::pair<int, std::int32_t>> v;
        for (auto& c : drive->cdbs) v.push_back({c[0], std::int32_t(GetBE32(c.data() + 2))});
        return v;
    }
    std::string WorkFolder() const { return (dir.path() / "").string(); }
    std::string Work(const char* name) const { return WorkFolder() + name; }
    int WorkFilesLeft() const {
        int n = 0;
        for (auto& e : std::filesystem::directory_iterator(dir.path())) n += e.is_regular_file() ? 1 : 0;
        return n;
    }

    testimg::TempDir dir;
    TTestPlatform platform;
    TMemoryOutput output;
    TLimitedFiles files;
    TTempStore store{files};
    TNormalizer normalizer{&store};
    TRipMethods methods{files};
    TRipContext ctx;
    std::vector<std::uint8_t> cache;
    std::unique_ptr<TScriptedDrive> drive;
    int abortAfterReads = -1;
};

}  // namespace

TEST_F(TwoPassTest, BlocksOfTheTwoPassesInterleave) {
    TTransferRecord r = Request(100, 400);
    r.SeekEachRead = true;
    Run(r);
    std::vector<std::int32_t> reads, seeks;
    for (auto [op, lba] : Commands()) (op == 0xBE ? reads : seeks).push_back(lba - 100);
    // Pass 1 at 0, 48, 96 ...; after it the drive goes back to the start of
    // pass 2, 2 sectors before the end of pass 1's first block; pass 2 at
    // 24, 72, 120 ...
    ASSERT_GE(reads.size(), 12u);
    EXPECT_EQ(std::vector<std::int32_t>(reads.begin(), reads.begin() + 3), (std::vector<std::int32_t>{0, 48, 96}));
    auto p2 = std::find(reads.begin(), reads.end(), 24);
    ASSERT_NE(p2, reads.end());
    EXPECT_EQ(*(p2 + 1), 72);
    EXPECT_NE(std::find(seeks.begin(), seeks.end(), 24), seeks.end());
    for (auto& c : drive->cdbs)
        if (c[0] == 0xBE) EXPECT_LE(c[8], 26);
    EXPECT_EQ(output.bytes, drive->Range(100, 400));
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    EXPECT_TRUE(Posted(Format1ForTest(MsgTwoPassPass, 1)));
    EXPECT_TRUE(Posted(Format1ForTest(MsgTwoPassPass, 2)));
    EXPECT_TRUE(Posted(MsgTwoPassMerge));
    EXPECT_TRUE(Posted(MsgReadDone));
    EXPECT_EQ(platform.doneCount, 1);
    EXPECT_EQ(WorkFilesLeft(), 0);
    EXPECT_FALSE(store.IsOpen());
}

TEST_F(TwoPassTest, EveryRangeLengthIsWrittenExactly) {
    for (int p : {5, 8, 26}) {
        for (int len : {1, 2, 3, 4, 5, 6, 9, 10, 24, 25, 26, 27, 28, 44, 47, 48, 49, 50, 51, 100, 101}) {
            TTransferRecord r = Request(7, 7 + len);
            r.SectorsPerRead = p;
            Run(r);
            ASSERT_EQ(output.bytes.size(), std::size_t(len) * SectorBytes) << "P " << p << " length " << len;
            EXPECT_TRUE(output.bytes == drive->Range(7, 7 + len)) << "P " << p << " length " << len;
            EXPECT_EQ(platform.result.ResultClass, rrOK) << "P " << p << " length " << len;
            // No read starts past the range, nor reaches more than the 2
            // sectors past it that the last block carries.
            for (auto& c : drive->cdbs) {
                const std::int32_t lba = std::int32_t(GetBE32(c.data() + 2));
                EXPECT_LT(lba, 7 + len);
                EXPECT_LE(lba + c[8], 7 + len + 2) << "P " << p << " length " << len;
            }
            drive->cdbs.clear();
        }
    }
    EXPECT_EQ(WorkFilesLeft(), 0);
}

TEST_F(TwoPassTest, JitterBetweenBlocksIsMerged) {
    for (unsigned seed : {5u, 6u, 7u, 8u}) {
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> d(-30, 30);
        drive->shifts.clear();
        for (int i = 0; i < 200; ++i) drive->shifts.push_back(d(rng));
        const int first = drive->shifts.front();
        TTransferRecord r = Request(200, 900);
        Run(r);
        EXPECT_EQ(platform.result.ResultClass, rrOK) << seed;
        EXPECT_GT(platform.result.JitterCorrections, 0);
        // Exactly the range's length, one unbroken run of the disc from
        // where the first read landed, whether the last block landed
        // earlier or later than the first.
        EXPECT_EQ(output.bytes, drive->Range(200, 900, first)) << seed;
    }
}

TEST_F(TwoPassTest, LastBlockEarlierOrLaterKeepsTheLength) {
    // 300 sectors of 26 a read: pass 1 reads 7 blocks, pass 2 6; the last
    // block (pass 1's 7th, the 7th read) carries 2 sectors past the range.
    for (int last : {-700, -300, 300, 700}) {
        drive->shifts = {0, 0, 0, 0, 0, 0, last};
        TTransferRecord r = Request(100, 400);
        Run(r);
        EXPECT_EQ(output.bytes, drive->Range(100, 400)) << last;
        EXPECT_EQ(platform.result.ResultClass, rrOK) << last;
        // At the end of the disc the audio before the lead-out that an
        // early last read did not deliver is zeros: S1.
        drive->shifts = {0, 0, 0, 0, 0, 0, last};
        r = Request(drive->Sectors() - 300, drive->Sectors());
        Run(r);
        ASSERT_EQ(output.bytes.size(), 300u * SectorBytes) << last;
        std::vector<std::uint8_t> want = drive->Range(drive->Sectors() - 300, drive->Sectors());
        if (last < 0) std::fill(want.end() + 4 * last, want.end(), 0);
        EXPECT_EQ(output.bytes, want) << last;
        EXPECT_EQ(platform.result.ResultClass, last < 0 ? rrS1 : rrOK) << last;
    }
}

TEST_F(TwoPassTest, VerifyRunsThatAgreeAreOk) {
    TTransferRecord r = Request(0, 600);
    r.VerifyRead = true;
    drive->Silence(200, 300);  // a null area of 100 sectors
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(0, 600));
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    EXPECT_EQ(platform.result.NullAreas, 1);  // counted with verify as well
    EXPECT_TRUE(Posted(Format1ForTest(MsgTwoPassMergeRun, 2)));
    EXPECT_TRUE(Posted(MsgCompareRuns));
    EXPECT_TRUE(Posted(MsgConverting));
    EXPECT_EQ(files.largest.count(Work("wendri_verify1.$$$")), 1u);
    EXPECT_EQ(WorkFilesLeft(), 0);
    // The runs' shifts may differ and still agree.
    drive->shifts = std::deque<int>(60, 0);
    for (int i = 0; i < 60; ++i) drive->shifts.push_back(i % 3 == 0 ? 7 : -3);
    Run(r);
    EXPECT_EQ(platform.result.ResultClass, rrOK);
}

TEST_F(TwoPassTest, VerifyDifferencesGiveS1OrS2) {
    // One bad read in run 1, both runs without jitter: S1, run 1 written.
    TTransferRecord r = Request(0, 600);
    r.VerifyRead = true;
    drive->corruptReads[3] = 5000;
    Run(r);
    EXPECT_EQ(platform.result.ResultClass, rrS1);
    EXPECT_EQ(output.bytes.size(), 600u * SectorBytes);
    EXPECT_NE(output.bytes, drive->Range(0, 600));
    // Run 1 also jitters: run 2 has the smaller largest shift and is
    // written: S2, the disc as it is.
    drive->reads = 0;
    drive->corruptReads = {{3, 5000}};
    for (int i = 0; i < 25; ++i) drive->shifts.push_back(i % 2 ? 4 : 0);  // the 25 reads of run 1
    Run(r);
    EXPECT_EQ(platform.result.ResultClass, rrS2);
    EXPECT_EQ(output.bytes, drive->Range(0, 600));
    EXPECT_EQ(WorkFilesLeft(), 0);
}

TEST_F(TwoPassTest, RetriesThenGiveUp) {
    TTransferRecord r = Request(0, 500);
    drive->mediumErrors = {{30, 2}, {300, 3}};
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(0, 500));
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    EXPECT_EQ(platform.result.ScsiErrors, 5);
    EXPECT_EQ(platform.result.RetryCount, 0);
    // More failures in a row than MaxRetry (3): NG, nothing claimed.
    drive->mediumErrors = {{300, 4}};
    for (bool verify : {false, true}) {
        r.VerifyRead = verify;
        Run(r);
        EXPECT_EQ(platform.result.ResultClass, rrNG);
        EXPECT_GT(platform.result.RetryCount, r.MaxRetry);
        EXPECT_EQ(platform.result.LastSrb.SRB_Status, SS_ERR);
        EXPECT_TRUE(output.bytes.empty());
        EXPECT_EQ(output.discards, 1);
        EXPECT_EQ(WorkFilesLeft(), 0);
        drive->mediumErrors = {{300, 4}};
    }
}

TEST_F(TwoPassTest, HungReadEndsTheRip) {
    platform.fastTimeouts = true;
    drive->hangAt = {5};
    TTransferRecord r = Request(0, 500);
    r.VerifyRead = true;
    Run(r);
    EXPECT_EQ(platform.Messages(WM_RIP_TIMEOUT).size(), 1u);
    EXPECT_EQ(drive->aborts, 1);
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    EXPECT_EQ(platform.result.RetryCount, r.MaxRetry + 1);
    EXPECT_EQ(platform.doneCount, 1);
    EXPECT_EQ(output.discards, 1);
    EXPECT_TRUE(output.bytes.empty());
    EXPECT_EQ(WorkFilesLeft(), 0);
}

TEST_F(TwoPassTest, SmallCacheSpillsToWorkFiles) {
    ctx.RipCacheSize = 60 * SectorBytes;  // 50 sectors for the store
    for (bool verify : {false, true}) {
        files.largest.clear();
        TTransferRecord r = Request(0, 900);
        r.VerifyRead = verify;
        Run(r);
        EXPECT_EQ(output.bytes, drive->Range(0, 900)) << verify;
        EXPECT_EQ(platform.result.ResultClass, rrOK);
        // Pass 1 keeps 50 sectors in memory, pass 2 none.
        EXPECT_GT(files.largest[Work("wendri_pass1.$$$")], 0u);
        EXPECT_GT(files.largest[Work("wendri_pass2.$$$")], 400u * SectorBytes);
        EXPECT_EQ(files.Left(), 0);
        EXPECT_EQ(WorkFilesLeft(), 0);
    }
}

TEST_F(TwoPassTest, FullWorkDiskEndsWithTheWriteError) {
    ctx.RipCacheSize = 60 * SectorBytes;
    for (int where : {0, 1}) {
        TTransferRecord r = Request(0, 900);
        // 0: the passes do not fit; 1: the passes fit (a large cache), the
        // verify run file does not.
        if (where == 1) {
            ctx.RipCacheSize = std::uint32_t(cache.size());
            r.VerifyRead = true;
        }
        files.budget = 100 * SectorBytes;
        platform.posted.clear();
        Run(r);
        EXPECT_EQ(platform.result.ResultClass, rrNG) << where;
        EXPECT_TRUE(Posted(MsgWriteErrorStop)) << where;
        EXPECT_FALSE(Posted(MsgReadDone)) << where;
        EXPECT_EQ(platform.doneCount, where + 1);
        EXPECT_EQ(output.discards, 1);
        EXPECT_EQ(WorkFilesLeft(), 0) << where;
        files.budget = -1;
    }
}

TEST_F(TwoPassTest, NormalizedWithAndWithoutVerify) {
    for (bool verify : {false, true}) {
        TTransferRecord r = Request(0, 300);
        r.VerifyRead = verify;
        r.Normalize = true;
        r.NormalizeTarget = 5000;  // half of full scale
        r.VolumePercent = 30;      // not applied on top of the normalization
        Run(r);
        ASSERT_EQ(output.bytes.size(), 300u * SectorBytes) << verify;
        EXPECT_EQ(platform.result.ResultClass, rrOK);
        EXPECT_EQ(Peak(output.bytes), ScaledPeak(drive->Range(0, 300), 32767 * 5000 / 10000)) << verify;
        EXPECT_EQ(WorkFilesLeft(), 0);
    }
    // A silent range cannot be normalized: written as it is, and NG.
    drive->Silence(1000, 1300);
    TTransferRecord r = Request(1000, 1300);
    r.Normalize = true;
    r.NormalizeTarget = 5000;
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(1000, 1300));
    EXPECT_EQ(platform.result.ResultClass, rrNG);
}

TEST_F(TwoPassTest, VolumeAbortAndFaultsLeaveNothingBehind) {
    TTransferRecord r = Request(0, 300);
    r.VolumePercent = 50;
    Run(r);
    std::vector<std::uint8_t> want = drive->Range(0, 300);
    ApplyVolume(want.data(), 50, std::uint32_t(want.size()));
    EXPECT_EQ(output.bytes, want);
    abortAfterReads = 6;
    r.VolumePercent = 100;
    Run(r);
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    EXPECT_EQ(output.discards, 1);
    EXPECT_EQ(WorkFilesLeft(), 0);
    abortAfterReads = -1;

    // An exception inside the read (a text that cannot be made, an output
    // driver that raises) in every phase: one NG end, the output given up,
    // and no work file, store slot or event left.
    struct Row {
        const char* what;
        bool verify, normalize, smallCache;
        int throwOnStatus, throwOnWrite;
    };
    const Row rows[] = {
        {"pass 2 status", false, false, true, 1, -1},
        {"run 2 status of a verify", true, false, true, 2, -1},
        {"run 2 pass 2 status of a verify", true, false, false, 3, -1},
        {"output raises while merging", false, false, true, -1, 3},
        {"output raises while a verified run is written", true, false, false, -1, 3},
        {"output raises while normalized", true, true, false, -1, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ctx.RipCacheSize = row.smallCache ? 60 * SectorBytes : std::uint32_t(cache.size());
        TTransferRecord q = Request(0, 600);
        q.VerifyRead = row.verify;
        q.Normalize = row.normalize;
        platform.statusCount = 0;
        platform.throwOnStatus = row.throwOnStatus;
        platform.doneCount = 0;
        output.Reset();
        output.throwOnWrite = row.throwOnWrite;
        files.largest.clear();
        Run(q);
        output.throwOnWrite = -1;
        platform.throwOnStatus = -1;
        EXPECT_EQ(platform.doneCount, 1);
        EXPECT_EQ(platform.result.ResultClass, rrNG);
        EXPECT_EQ(output.discards, 1);
        EXPECT_GT(files.largest.size(), 0u) << "the fault came before any work file";
        EXPECT_EQ(files.Left(), 0);
        EXPECT_EQ(WorkFilesLeft(), 0);
        EXPECT_FALSE(store.IsOpen());
        EXPECT_EQ(platform.openEvents, 0);
    }
    ctx.RipCacheSize = std::uint32_t(cache.size());
}

TEST_F(TwoPassTest, TwoStageModeThroughTheStore) {
    ctx.RipCacheSize = 60 * SectorBytes;
    TTransferRecord r = RipRequest(0, 700, drive->Sectors() - 1);
    r.WorkFolder = WorkFolder();
    r.TwoStage = true;
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(0, 700));
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    EXPECT_GT(files.largest[Work("wendri_pass0.$$$")], 600u * SectorBytes);
    EXPECT_EQ(WorkFilesLeft(), 0);
    // Normalization forces the two-stage mode.
    r.TwoStage = false;
    r.Normalize = true;
    r.NormalizeTarget = 10000;
    Run(r);
    ASSERT_EQ(output.bytes.size(), 700u * SectorBytes);
    EXPECT_EQ(Peak(output.bytes), ScaledPeak(drive->Range(0, 700), 32767));
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    EXPECT_EQ(WorkFilesLeft(), 0);
    // A silent track: written unscaled, and not reported as normalized.
    drive->Silence(1000, 1200);
    r = RipRequest(1000, 1200, drive->Sectors() - 1);
    r.WorkFolder = WorkFolder();
    r.Normalize = true;
    r.NormalizeTarget = 10000;
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(1000, 1200));
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    EXPECT_EQ(WorkFilesLeft(), 0);
}

TEST_F(TwoPassTest, SilentFirstSharedSectorAlignsOnTheSecond) {
    // Sectors 10..24 are silent.  Pass 2's first block (at 24) comes 7
    // frames early, so its first sector is all silence and matches its
    // neighbour at any shift; its second sector still places it.
    drive->Silence(10, 25);
    drive->shifts = {0, 0, 0, -7, -7};
    TTransferRecord r = Request(0, 100);
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(0, 100));
    EXPECT_EQ(platform.result.ResultClass, rrOK);
}

TEST(TwoPassTexts, AreShiftJis) {
    // The phrases share their words with the rip thread's other texts.
    EXPECT_TRUE(std::string(MsgTwoPassPass).ends_with(MsgReading));
    EXPECT_TRUE(std::string(MsgTwoPassMerge).ends_with(std::string(MsgConverting).substr(4)));
    EXPECT_EQ(std::string(MsgTwoPassRunPass).find(std::string(MsgReading).substr(0, 4)), 15u);  // %d回目%dﾊﾟｽ目の
}

TEST_F(TwoPassTest, BlockPlacedWithoutAnExactMatchIsNotOk) {
    // One read lands 1100 frames off, beyond the overlap search's window.
    drive->shifts = {0, 0, 0, 0, 1100};
    TTransferRecord r = Request(0, 300);
    Run(r);
    EXPECT_EQ(platform.result.ResultClass, rrS1);
    EXPECT_EQ(output.bytes.size(), 300u * SectorBytes);
    drive->shifts.clear();
    Run(r);
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    // With verify, a drive that moves the same read alike in both runs (13
    // reads each) has both place the block on the same guess: the runs
    // agree, and still the rip is not OK.
    r.VerifyRead = true;
    drive->shifts = std::deque<int>(26, 0);
    drive->shifts[4] = drive->shifts[13 + 4] = 1100;
    Run(r);
    EXPECT_EQ(output.bytes.size(), 300u * SectorBytes);
    EXPECT_NE(output.bytes, drive->Range(0, 300));
    EXPECT_NE(platform.result.ResultClass, rrOK);
    EXPECT_NE(platform.result.ResultClass, rrNG);
}
