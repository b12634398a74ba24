// The rip engine against a scripted drive: read commands, plain and
// overlapped reads, retries, verify, silence trimming, block output,
// writer thread, messages and result fields.
#include "extraction/tests/riptest_util.h"

using namespace wx;
using namespace wxtest;

namespace {

class RipEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ReserveRipBuffers(RipBuffers));
        drive = std::make_unique<TScriptedDrive>(600);
        drive->platform = &platform;
        CurrentDrive() = drive.get();
        ctx.Platform = &platform;
        ctx.Output = &output;
    }
    void TearDown() override { CurrentDrive() = nullptr; }

    void Run(const TTransferRecord& r) {
        TRipEngine e(r, ctx, [this] { return abortAfterWrites >= 0 && output.writes >= abortAfterWrites; });
        e.Execute();
    }
    std::vector<std::int64_t> Percents() {
        std::vector<std::int64_t> v;
        for (auto& m : platform.Messages(WM_RIP_PROGRESS)) v.push_back(m.wp);
        return v;
    }
    std::vector<std::string> Statuses() {
        std::vector<std::string> v;
        for (auto& m : platform.Messages(WM_RIP_STATUS)) v.push_back(m.text);
        return v;
    }
    static std::string Status(const char* phrase) { return std::string("\xc4\xd7\xaf\xb8") + "3" + "\x82\xcc" + phrase; }

    TTestPlatform platform;
    TMemoryOutput output;
    TRipContext ctx;
    std::unique_ptr<TScriptedDrive> drive;
    int abortAfterWrites = -1;
};

}  // namespace

TEST(TransferRecord, EmptyRequestHasNoResults) {
    TTransferRecord r = EmptyTransferRecord();
    EXPECT_EQ(r.DigitalPlay, false);
    EXPECT_EQ(r.BenchmarkBytes, 0);
    EXPECT_EQ(r.ResultClass, 0);
    EXPECT_EQ(r.RetryCount + r.ScsiErrors + r.VerifyRereads + r.JitterCorrections + r.NullAreas, 0);
    const auto* srb = reinterpret_cast<const std::uint8_t*>(&r.LastSrb);
    for (std::size_t i = 0; i < sizeof r.LastSrb; ++i) ASSERT_EQ(srb[i], 0);
    // Paths longer than 255 bytes are kept whole through the result copy.
    r.OutputFileName = "C:\\" + std::string(300, 'a') + ".wav";
    TTransferRecord* copy = NewResultBlock(r);
    EXPECT_EQ(copy->OutputFileName.size(), 307u);
    FreeResultBlock(copy);
}

TEST_F(RipEngineTest, ReadCommandBlockForEachKind) {
    TTransferRecord r = RipRequest(100, 200, 0x100000);
    struct Want {
        int kind, opcode, cdbLen, countByte, otherByte, otherValue, sectorBytes;
    };
    const Want wants[] = {{0, 0xD8, 12, 9, 10, 0, 2352},   {1, 0xD8, 12, 9, 10, 2, 2448},
                          {2, 0x28, 10, 8, -1, 0, 2352},   {3, 0xD8, 12, 9, 10, 0, 2352},
                          {4, 0xD8, 12, 9, 10, 0, 2352},   {5, 0xD8, 12, 9, 10, 0, 2352},
                          {6, 0xD4, 10, 8, -1, 0, 2352},   {7, 0x28, 10, 8, -1, 0, 2352},
                          {8, 0xBE, 12, 8, 9, 0x10, 2352}, {9, 0xBE, 12, 8, 9, 0x10, 2352}};
    for (const Want& w : wants) {
        r.ReadCommand = std::uint8_t(w.kind);
        r.Adapter = 1;
        r.Target = 4;
        r.Lun = 1;
        TRipEngine e(r, ctx, [] { return false; });
        SRB_ExecSCSICmd srb;
        std::memset(&srb, 0xCC, sizeof srb);
        EXPECT_TRUE(e.BuildReadRequest(0x012345, 7, srb, RipBuffers.Slot[0]));
        EXPECT_EQ(srb.SRB_Cmd, SC_EXEC_SCSI_CMD);
        EXPECT_EQ(srb.SRB_HaId, 1);
        EXPECT_EQ(srb.SRB_Target, 4);
        EXPECT_EQ(srb.SRB_Lun, 1);
        EXPECT_EQ(srb.SRB_Flags, SRB_DIR_IN);
        EXPECT_EQ(srb.SRB_SenseLen, 14);
        EXPECT_EQ(srb.SRB_Status, 0);
        EXPECT_EQ(srb.SRB_CDBLen, w.cdbLen) << w.kind;
        EXPECT_EQ(srb.CDBByte[0], w.opcode) << w.kind;
        EXPECT_EQ(GetBE32(srb.CDBByte + 2), 0x012345u);
        EXPECT_EQ(srb.CDBByte[w.countByte], 7) << w.kind;
        if (w.otherByte >= 0) EXPECT_EQ(srb.CDBByte[w.otherByte], w.otherValue) << w.kind;
        EXPECT_EQ(srb.SRB_BufLen, std::uint32_t(7 * w.sectorBytes)) << w.kind;
        EXPECT_EQ(srb.SRB_BufPointer, RipBuffers.Slot[0]);
    }
    // Past the last readable sector: a shorter read over a zeroed buffer;
    // beyond it no read at all.
    r.ReadCommand = 8;
    r.LastReadableLba = 599;
    TRipEngine e(r, ctx, [] { return false; });
    SRB_ExecSCSICmd srb;
    std::memset(RipBuffers.Slot[0], 0xEE, 10 * 2448);
    EXPECT_TRUE(e.BuildReadRequest(595, 10, srb, RipBuffers.Slot[0]));
    EXPECT_EQ(srb.CDBByte[8], 5);
    EXPECT_EQ(srb.SRB_BufLen, 5u * 2352);
    for (int i = 0; i < 10 * 2448; ++i) ASSERT_EQ(RipBuffers.Slot[0][i], 0);
    EXPECT_FALSE(e.BuildReadRequest(600, 10, srb, RipBuffers.Slot[0]));
    EXPECT_EQ(srb.CDBByte[8], 0);
}

TEST_F(RipEngineTest, PlainRipIsTheImageAndPostsItsMessages) {
    TTransferRecord r = RipRequest(10, 10 + 16 * 5 + 7, 599);  // not a multiple of the read size
    r.NotifyWindow = reinterpret_cast<void*>(0x1234);
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(10, 97));
    EXPECT_EQ(output.closes, 1);
    // Six reads, the last of exactly the 7 remaining sectors.
    ASSERT_EQ(drive->cdbs.size(), 6u);
    EXPECT_EQ(drive->cdbs.back()[8], 7);
    EXPECT_EQ(GetBE32(drive->cdbs.back().data() + 2), 90u);
    ASSERT_EQ(platform.doneCount, 1);
    EXPECT_EQ(platform.posted.back().msg, WM_RIP_DONE);
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    EXPECT_EQ(platform.result.RetryCount, 0);
    EXPECT_EQ(platform.result.ScsiErrors, 0);
    EXPECT_EQ(platform.result.LastSrb.SRB_Status, SS_COMP);
    EXPECT_EQ(platform.result.JitterCorrections, 0);  // six reads, no overlap, nothing corrected
    EXPECT_EQ(GetBE32(platform.result.LastSrb.CDBByte + 2), 90u);
    EXPECT_EQ(Percents(), (std::vector<std::int64_t>{0, 18, 36, 55, 73, 91}));
    for (auto& m : platform.Messages(WM_RIP_PROGRESS)) EXPECT_EQ(m.lp, 3);
    EXPECT_EQ(Statuses(), (std::vector<std::string>{Status(MsgReading), Status(MsgFinishing), Status(MsgReadDone)}));
    ASSERT_EQ(platform.Messages(WM_RIP_PHASE).size(), 1u);
    EXPECT_EQ(platform.Messages(WM_RIP_PHASE)[0].wp, RipPhaseReading);
    EXPECT_EQ(platform.openEvents, 0);
}

TEST_F(RipEngineTest, EventAndPollingCompletionFromAnotherThread) {
    drive->asyncMs = 2;
    TTransferRecord r = RipRequest(0, 50, 599);
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(0, 50));
    EXPECT_EQ(drive->cdbs.size(), 4u);

    output.bytes.clear();
    r.PollStatus = true;
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(0, 50));
    EXPECT_EQ(platform.doneCount, 2);
}

TEST_F(RipEngineTest, ReadsPastTheLastReadableSectorGiveZeros) {
    TTransferRecord r = RipRequest(580, 610, 599);
    Run(r);
    std::vector<std::uint8_t> want = drive->Range(580, 600);
    want.resize(30 * 2352, 0);
    EXPECT_EQ(output.bytes, want);
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    EXPECT_EQ(platform.result.ScsiErrors, 0);
    // Sectors beyond the last readable one are never asked for.
    for (auto& c : drive->cdbs) EXPECT_LE(GetBE32(c.data() + 2) + c[8], 600u);
}

TEST_F(RipEngineTest, RetriesUpToMaxRetryThenFails) {
    TTransferRecord r = RipRequest(0, 64, 599);
    r.MaxRetry = 3;
    drive->mediumErrors[40] = 3;  // three failures, then good
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(0, 64));
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    EXPECT_EQ(platform.result.RetryCount, 0);
    EXPECT_EQ(platform.result.ScsiErrors, 3);

    output.bytes.clear();
    drive->mediumErrors[40] = 4;  // one more: the track fails
    Run(r);
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    EXPECT_EQ(platform.result.RetryCount, 4);
    EXPECT_EQ(platform.result.ScsiErrors, 4);
    EXPECT_EQ(output.bytes, drive->Range(0, 32));
    // The good rip was finished, the failed one given up.
    EXPECT_EQ(output.closes, 1);
    EXPECT_EQ(output.discards, 1);
    EXPECT_EQ(platform.result.LastSrb.SRB_Status, SS_ERR);
    EXPECT_EQ(platform.result.LastSrb.SenseArea[2], 3);
    EXPECT_EQ(platform.result.LastSrb.SenseArea[12], 0x11);
}

TEST_F(RipEngineTest, IgnoringTargetStatus) {
    TTransferRecord r = RipRequest(0, 16, 599);
    EXPECT_EQ(TRipEngine(r, ctx, [] { return false; }).IsTargetError(2), 2);
    r.IgnoreTargetStatus = true;
    EXPECT_EQ(TRipEngine(r, ctx, [] { return false; }).IsTargetError(2), 0);
}

TEST_F(RipEngineTest, OverlappedReadsWithoutJitterAreTheImage) {
    TTransferRecord r = RipRequest(100, 100 + 12 * 9 + 5, 599);
    r.OverlapSectors = 4;
    r.SectorsPerRead = 16;
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(100, 213));
    EXPECT_EQ(platform.result.JitterCorrections, 0);
    // Each read covers the block's 12 new sectors plus 2 before and 2 after.
    EXPECT_EQ(GetBE32(drive->cdbs[0].data() + 2), 100u);
    EXPECT_EQ(drive->cdbs[0][8], 16);
    EXPECT_EQ(GetBE32(drive->cdbs[1].data() + 2), 112u);

    // The read method's switch alone selects nothing: the overlap does.
    output.bytes.clear();
    drive->cdbs.clear();
    r.OverlapSectors = 0;
    r.OnePassJitter = true;
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(100, 213));
    EXPECT_EQ(GetBE32(drive->cdbs[0].data() + 2), 100u);
    EXPECT_EQ(drive->cdbs[0][8], 16);
    EXPECT_EQ(GetBE32(drive->cdbs[1].data() + 2), 116u);
}

TEST_F(RipEngineTest, OverlappedReadsCorrectJitter) {
    TTransferRecord r = RipRequest(50, 50 + 200, 599);
    r.OverlapSectors = 4;
    r.SectorsPerRead = 10;
    drive->shifts = {0, 3, -7, -7, 25, 0, -300, 12, 1};
    drive->defaultShift = 5;
    Run(r);
    // Every seam is closed: the output is the image seen from the first
    // read's position, without a gap or a repeated frame, and exactly as
    // long as the range although the last read (shift +5) saw its end
    // 5 frames later.
    EXPECT_EQ(output.bytes, drive->Range(50, 250));
    EXPECT_EQ(platform.result.JitterCorrections, 10);  // every change of the data offset
    EXPECT_EQ(platform.result.ResultClass, rrOK);

    // A first read that is off keeps its offset for the whole track; the
    // last read landed earlier and fills the end from the 2 sectors it
    // carries past the range.
    output.bytes.clear();
    drive->shifts = {4, 0, -2, 9};
    drive->defaultShift = -1;
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(50, 250, 4));
    EXPECT_EQ(platform.result.ResultClass, rrOK);

    // +300 frames on every 7th read, the last one among them, and the
    // other way round.
    for (int sign : {1, -1}) {
        output.bytes.clear();
        drive->shifts.clear();
        drive->reads = 0;
        for (int i = 0; i < 35; ++i) drive->shifts.push_back(i % 7 == 6 ? sign * 300 : 0);
        drive->defaultShift = 0;
        r = RipRequest(50, 50 + 8 + 6 * 34, 599);  // 35 reads of 6 new sectors; the first carries 2 more
        r.OverlapSectors = 4;
        r.SectorsPerRead = 10;
        Run(r);
        EXPECT_EQ(output.bytes, drive->Range(50, 50 + 212)) << sign;
        EXPECT_EQ(drive->reads, 35) << sign;
        EXPECT_EQ(platform.result.ResultClass, rrOK) << sign;
        EXPECT_EQ(platform.result.JitterCorrections, 4 * 3 + 1) << sign;  // off, back, level; and the last
    }
}

// Jitter of more than the search window finds no exact match: the blocks
// are placed on the least mismatch, and the rip is never reported clean.
TEST_F(RipEngineTest, JitterBeyondTheSearchWindowIsNotOK) {
    for (int jump : {1200, -1500}) {
        output.bytes.clear();
        TTransferRecord r = RipRequest(100, 300, 599);
        r.OverlapSectors = 4;
        r.SectorsPerRead = 26;
        drive->shifts = {0, 0, jump};
        drive->defaultShift = jump;
        Run(r);
        EXPECT_EQ(platform.result.ResultClass, rrS1) << jump;
        EXPECT_EQ(output.bytes.size(), 200u * 2352) << jump;
        EXPECT_NE(output.bytes, drive->Range(100, 300)) << jump;
        EXPECT_EQ(platform.result.ScsiErrors, 0);
    }
    // The same drive within the window: clean.
    output.bytes.clear();
    TTransferRecord r = RipRequest(100, 300, 599);
    r.OverlapSectors = 4;
    r.SectorsPerRead = 26;
    drive->shifts = {0, 0, 1000};
    drive->defaultShift = 1000;
    Run(r);
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    EXPECT_EQ(output.bytes, drive->Range(100, 300));
    EXPECT_EQ(platform.result.JitterCorrections, 2);  // the offset moved and came back
}

TEST_F(RipEngineTest, SmallReadsWithOverlapCarryOneNewSector) {
    TTransferRecord r = RipRequest(20, 40, 599);
    r.OverlapSectors = 4;
    r.SectorsPerRead = 3;  // raised to 5
    drive->shifts = {0, 2, 2, -1};
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(20, 40));
    for (auto& c : drive->cdbs) EXPECT_EQ(c[8], 5);
    EXPECT_EQ(drive->cdbs.size(), 18u);  // first block 3 sectors, then 17 of one
}

// Blocks of one new sector whose read landed more than a sector ahead or
// behind the previous one: no negative lengths, no reads past the slot, no
// gap or repeat, and exactly the range.
TEST_F(RipEngineTest, LargeShiftsOnOneSectorBlocks) {
    for (int jump : {-700, 700, -1052, 1000}) {
        output.bytes.clear();
        TTransferRecord r = RipRequest(100, 140, 599);
        r.OverlapSectors = 4;
        r.SectorsPerRead = 5;
        drive->shifts = {0, 0, 0, jump, jump, 0, 0, jump};
        drive->defaultShift = 0;
        Run(r);
        EXPECT_EQ(output.bytes, drive->Range(100, 140)) << jump;
        EXPECT_EQ(platform.result.ResultClass, rrOK) << jump;
        EXPECT_EQ(platform.result.JitterCorrections, 7) << jump;  // reads 3, 4, 5, 6, 7, 8, 9
    }
    // Reads drifting earlier and earlier, in steps the search can follow,
    // until the last lands more than the 2 sectors it carries past the range
    // before the first: the end is filled from a read past the range.
    output.bytes.clear();
    drive->reads = 0;
    TTransferRecord r = RipRequest(100, 140, 599);
    r.OverlapSectors = 4;
    r.SectorsPerRead = 10;
    drive->shifts = {0, 0, -500, -1000, -1500, -1500};
    drive->defaultShift = -1500;
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(100, 140));
    EXPECT_EQ(drive->reads, 8);  // 8 + 5 x 6 + 2 sectors, and one more
    EXPECT_EQ(platform.result.ResultClass, rrOK);
}

TEST_F(RipEngineTest, ShortRangesWithOverlapAreNotLost) {
    for (int len : {1, 2}) {
        output.bytes.clear();
        TTransferRecord r = RipRequest(30, 30 + len, 599);
        r.OverlapSectors = 4;
        Run(r);
        EXPECT_EQ(output.bytes, drive->Range(30, 30 + len)) << len;
        EXPECT_EQ(platform.result.ResultClass, rrOK);
    }
}

TEST_F(RipEngineTest, VerifyAgreeingReadsNeedNoMore) {
    TTransferRecord r = RipRequest(0, 32, 599);
    r.VerifyRead = true;
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(0, 32));
    EXPECT_EQ(drive->reads, 4);  // two reads per block
    EXPECT_EQ(platform.result.VerifyRereads, 0);
    EXPECT_EQ(platform.result.ScsiErrors, 0);
}

TEST_F(RipEngineTest, VerifyVotesOnDisagreement) {
    TTransferRecord r = RipRequest(0, 32, 599);
    r.VerifyRead = true;
    r.OverlapSectors = 4;
    r.SectorsPerRead = 20;
    // Block 0 (reads 0..4): reads 1 and 3 differ, 0, 2 and 4 agree.
    // Block 1 (reads 5, 6): shifted differently, equal once aligned.
    drive->corruptReads = {{1, 5000}, {3, 7000}};
    drive->shifts = {0, 0, 0, 0, 0, 0, 3};
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(0, 32));
    EXPECT_EQ(drive->reads, 7);
    EXPECT_EQ(platform.result.VerifyRereads, 1);
    EXPECT_EQ(platform.result.ScsiErrors, 1);  // the vote of block 0
    EXPECT_EQ(platform.result.AverageCorrections, 0);
    EXPECT_EQ(platform.result.JitterCorrections, 0);
}

TEST_F(RipEngineTest, VerifyAveragesWhenNoReadsAgree) {
    TTransferRecord r = RipRequest(0, 18, 599);
    r.VerifyRead = true;
    r.OverlapSectors = 4;
    r.SectorsPerRead = 20;
    drive->corruptReads = {{0, 6000}, {1, 6500}, {2, 7000}, {3, 7500}, {4, 8000}};
    Run(r);
    // Reads 1 and 0 are the first closest pair: their mean is written.
    EXPECT_EQ(drive->reads, 5);
    EXPECT_EQ(platform.result.AverageCorrections, 1);
    EXPECT_EQ(platform.result.VerifyRereads, 1);
    EXPECT_EQ(platform.result.ScsiErrors, 0);
    std::vector<std::uint8_t> image = drive->Range(0, 18);
    ASSERT_EQ(output.bytes.size(), image.size());
    EXPECT_EQ(CountDiffWords(output.bytes.data(), image.data(), std::uint32_t(image.size())), 2u);
}

TEST_F(RipEngineTest, SilenceTrimmingAtBothEnds) {
    drive->Silence(100, 130);
    drive->Silence(300, 400);
    drive->SetSample(380, 587, 0, 1);  // the last frame of 380 sounds
    TTransferRecord r = RipRequest(100, 400, 599);
    r.SkipLeadSilence = true;
    r.SkipTrailSilence = true;
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(130, 381));
    auto st = Statuses();
    ASSERT_FALSE(st.empty());
    EXPECT_EQ(st[0], Status(MsgSearchSilence));
    EXPECT_EQ(std::count(st.begin(), st.end(), Status(MsgSearchSilence)), 1);
    EXPECT_EQ(platform.result.ResultClass, rrOK);

    // With only the end trimmed, silence in the last 375 sectors all the
    // way keeps the end.
    output.bytes.clear();
    drive->Silence(0, 600);
    drive->SetSample(10, 0, 5, 5);
    r = RipRequest(0, 400, 599);
    r.SkipTrailSilence = true;
    Run(r);
    EXPECT_EQ(output.bytes.size(), 400u * 2352);
}

TEST_F(RipEngineTest, AllSilentRangeWithTrimmingIsRippedWhole) {
    drive->Silence(0, 600);
    TTransferRecord r = RipRequest(200, 260, 599);
    r.SkipLeadSilence = true;
    r.SkipTrailSilence = true;
    r.OverlapSectors = 4;
    Run(r);
    EXPECT_EQ(output.bytes.size(), 60u * 2352);
    EXPECT_EQ(platform.doneCount, 1);
    // The start search never goes past the end of the range.
    for (auto& c : drive->cdbs) EXPECT_LT(GetBE32(c.data() + 2), 262u);
}

TEST_F(RipEngineTest, BlockOutputVolumeSwapLevelsAndNullAreas) {
    drive->Silence(100, 180);  // 80 silent sectors between sounds
    TTransferRecord r = RipRequest(60, 220, 599);
    r.VolumePercent = 50;
    r.SwapChannels = true;
    r.LevelMeter = true;
    r.SectorsPerRead = 10;
    Run(r);
    std::vector<std::uint8_t> want = drive->Range(60, 220);
    SwapChannels(want.data(), std::uint32_t(want.size()));
    ApplyVolume(want.data(), 50, std::uint32_t(want.size()));
    EXPECT_EQ(output.bytes, want);
    EXPECT_EQ(platform.result.NullAreas, 1);
    auto levels = platform.Messages(WM_RIP_LEVEL);
    ASSERT_EQ(levels.size(), 1u + 8u + 1u);  // 0,0 before, every second of 16 blocks, 0,0 after
    EXPECT_EQ(levels.front().wp, 0);
    EXPECT_EQ(levels.back().wp, 0);
    std::uint32_t peaks = PeakLevels(want.data() + 10 * 2352, 10 * 2352);
    EXPECT_EQ(levels[1].wp, std::intptr_t(peaks & 0xFFFF));
    EXPECT_EQ(levels[1].lp, std::intptr_t(peaks >> 16));

    // With the count switched off no null area is reported.
    output.bytes.clear();
    r.NoNullAreaCount = true;
    Run(r);
    EXPECT_EQ(platform.result.NullAreas, 0);
}

TEST_F(RipEngineTest, DeemphasisAndByteSwappedDrives) {
    TTransferRecord r = RipRequest(0, 40, 599);
    r.DeEmphasis = true;
    r.ReadCommand = 5;
    drive->byteSwapped = true;
    Run(r);
    std::vector<std::uint8_t> want = drive->Range(0, 40);
    TDeemphasis f;
    f.Process(want.data(), 16 * 2352);
    f.Process(want.data() + 16 * 2352, 16 * 2352);
    f.Process(want.data() + 32 * 2352, 8 * 2352);
    EXPECT_EQ(output.bytes, want);

    // Kind 1 reads sub-channel and drops it.
    output.bytes.clear();
    r = RipRequest(0, 40, 599);
    r.ReadCommand = 1;
    drive->byteSwapped = false;
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(0, 40));
}

TEST_F(RipEngineTest, WriterThreadDeliversTheSameStream) {
    std::vector<std::uint8_t> cache(400000);
    ctx.RipCache = cache.data();
    ctx.RipCacheSize = std::uint32_t(cache.size());
    TTransferRecord r = RipRequest(0, 300, 599);
    r.UseWriteThread = true;
    r.SectorsPerRead = 27;
    Run(r);
    EXPECT_EQ(platform.threadsStarted, 1);
    EXPECT_EQ(output.bytes, drive->Range(0, 300));
    for (std::size_t i = 0; i + 1 < output.writeSizes.size(); ++i) EXPECT_EQ(output.writeSizes[i], 47040u);
    EXPECT_EQ(output.closes, 1);
    EXPECT_EQ(platform.result.ResultClass, rrOK);

    // Too little memory for the ring: written directly.
    output.bytes.clear();
    ctx.RipCacheSize = 100000;
    Run(r);
    EXPECT_EQ(platform.threadsStarted, 1);
    EXPECT_EQ(output.bytes, drive->Range(0, 300));
}

// The rip thread and the writer wake each other: with a slow sink that
// keeps the smallest ring full, and a writer that waits for data, the
// writer adds no sleeps to the rip's own.
TEST_F(RipEngineTest, WriterThreadWaitsWithoutSleeping) {
    std::vector<std::uint8_t> cache(200000);  // a ring of 128 KiB
    ctx.RipCache = cache.data();
    ctx.RipCacheSize = std::uint32_t(cache.size());
    TTransferRecord r = RipRequest(0, 300, 599);
    r.SectorsPerRead = 27;
    output.writeDelayMs = 2;
    Run(r);
    const int direct = platform.shortSleeps.exchange(0);
    output.bytes.clear();
    r.UseWriteThread = true;
    Run(r);
    EXPECT_EQ(platform.threadsStarted, 1);
    EXPECT_EQ(output.bytes, drive->Range(0, 300));
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    EXPECT_EQ(platform.shortSleeps.load(), direct);
}

// The writer and the rip thread wake each other for batches, not blocks:
// with a sink faster and slower than the rip, 16 MB in blocks of 26
// sectors cost a few wake-ups per megabyte, and the stream arrives whole.
TEST_F(RipEngineTest, WriterThreadWakesTheOtherSideForBatchesNotBlocks) {
    const std::uint32_t block = 26 * 2352, blocks = 272;
    std::vector<std::uint8_t> stream(std::size_t(block) * blocks);
    for (std::size_t i = 0; i < stream.size(); ++i) stream[i] = std::uint8_t(i * 13 + i / 4099);
    for (int delay : {0, 1}) {
        std::vector<std::uint8_t> cache(8u << 20);
        TMemoryOutput sink;
        sink.writeDelayMs = delay;
        TWaveWriteThread w(platform, sink, std::uint32_t(cache.size()), cache.data());
        w.Start();
        for (std::uint32_t i = 0; i < blocks; ++i) {
            while (!w.PutData(&stream[std::size_t(i) * block], block)) {
                ASSERT_TRUE(w.Running());
                w.WaitForRoom(block, 1000);
            }
        }
        w.PutData(nullptr, 0);
        while (w.Running()) w.WaitUntilStopped(1000);
        w.WaitFor();
        EXPECT_TRUE(sink.bytes == stream) << "delay " << delay;
        EXPECT_EQ(sink.closes, 1);
        EXPECT_LE(w.WakeUps(), 2 * (stream.size() >> 20) + 4) << "delay " << delay;
    }
}

TEST_F(RipEngineTest, FailedWritesAreNeverSuccess) {
    TTransferRecord r = RipRequest(0, 200, 599);
    output.failAfterBytes = 50 * 2352;
    output.error = "disk full";
    Run(r);
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    EXPECT_LT(drive->reads, 13);  // reading stopped at the failure
    // The output's reason goes back with the result, and the file is given up.
    EXPECT_EQ(platform.result.OutputError, "disk full");
    EXPECT_EQ(output.discards, 1);
    EXPECT_EQ(output.closes, 0);

    // Through the writer thread.
    std::vector<std::uint8_t> cache(400000);
    ctx.RipCache = cache.data();
    ctx.RipCacheSize = std::uint32_t(cache.size());
    r.UseWriteThread = true;
    Run(r);
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    EXPECT_EQ(platform.result.OutputError, "disk full");

    // A refused close.
    output.failAfterBytes = -1;
    output.failClose = true;
    r.UseWriteThread = false;
    Run(r);
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    EXPECT_EQ(platform.result.OutputError, "disk full");
    // A read failure is no output failure: the result says nothing of one.
    output.failClose = false;
    output.error.clear();
    drive->mediumErrors[40] = 100;
    r.MaxRetry = 1;
    Run(r);
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    EXPECT_EQ(platform.result.OutputError, "");
}

TEST_F(RipEngineTest, AbortGivesTheOutputUpAndReports) {
    abortAfterWrites = 3;
    TTransferRecord r = RipRequest(0, 300, 599);
    Run(r);
    EXPECT_EQ(output.writes, 3);
    EXPECT_EQ(output.closes, 0);
    EXPECT_EQ(output.discards, 1);
    EXPECT_EQ(platform.doneCount, 1);
    EXPECT_EQ(platform.result.ResultClass, rrNG);  // incomplete, never OK
}

namespace {
// Read methods built elsewhere that fail in their own ways.
class TFaultyMethods : public IRipMethods {
public:
    bool finishFirst = false;
    void Benchmark(TRipEngine&) override { throw std::runtime_error("benchmark"); }
    void DigitalPlay(TRipEngine&) override { throw std::bad_alloc(); }
    void TwoPass(TRipEngine& e) override {
        if (finishFirst) e.Finish();
        throw EOSError("two-pass", 5);
    }
    void Burst(TRipEngine& e) override { e.FinishOnWriteError(); }
};
}  // namespace

// However the thread body ends, the window gets exactly one WM_RIP_DONE as
// its last message, with a result that is not OK when the request was not
// carried out, and the output is ended exactly once: finished when the
// request was carried out, given up otherwise.
TEST_F(RipEngineTest, EveryWayOutPostsOneDone) {
    // finished: the output was finished (it may be before a fault that came later).
    auto check = [&](const char* what, std::uint8_t want, bool finished) {
        EXPECT_EQ(platform.doneCount, 1) << what;
        ASSERT_FALSE(platform.posted.empty()) << what;
        EXPECT_EQ(platform.posted.back().msg, WM_RIP_DONE) << what;
        EXPECT_EQ(platform.result.ResultClass, want) << what;
        EXPECT_EQ(output.closes, finished ? 1 : 0) << what;
        EXPECT_EQ(output.discards, finished ? 0 : 1) << what;
        platform.doneCount = 0;
        platform.posted.clear();
        output.Reset();
    };
    // No thread for the writer: written directly, and the rip is good.
    std::vector<std::uint8_t> cache(400000);
    ctx.RipCache = cache.data();
    ctx.RipCacheSize = std::uint32_t(cache.size());
    platform.failThreads = true;
    TTransferRecord r = RipRequest(0, 100, 599);
    r.UseWriteThread = true;
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(0, 100));
    check("writer thread", rrOK, true);
    platform.failThreads = false;

    // A status text that cannot be made: at the start, while finishing.
    for (int at : {0, 1, 2}) {
        platform.statusCount = 0;
        platform.throwOnStatus = at;
        Run(RipRequest(0, 100, 599));
        check(at == 0 ? "reading status" : at == 1 ? "finishing status" : "done status", rrNG, at == 2);
    }
    platform.throwOnStatus = -1;

    // The output driver raises, directly and under the writer thread.
    for (bool writer : {false, true}) {
        output.throwOnWrite = 2;
        r = RipRequest(0, 100, 599);
        r.UseWriteThread = writer;
        Run(r);
        check(writer ? "writer raises" : "driver raises", rrNG, false);
    }

    // Methods built elsewhere that raise before or after finishing, or end
    // on a write error.
    TFaultyMethods methods;
    ctx.Methods = &methods;
    for (int which = 0; which < 5; ++which) {
        r = RipRequest(0, 100, 599);
        if (which == 0) r.BenchmarkBytes = 1000;
        if (which == 1) r.DigitalPlay = true;
        if (which >= 2) r.TwoPass = true;
        if (which == 4) r.TwoPass = false, r.BurstRead = true;
        methods.finishFirst = which == 3;
        Run(r);
        // A method that finished and raised afterwards had its say already:
        // no second message.
        check("method", which == 3 ? rrOK : rrNG, which == 3);
    }
}

// Read slots that were never reserved are never read into.
TEST_F(RipEngineTest, MissingRipBuffersEndTheRequest) {
    TRipBuffers partial;
    partial.KeptTail = RipBuffers.KeptTail;
    partial.VolumeBuffer = RipBuffers.VolumeBuffer;
    for (int i = 0; i < 5; ++i) partial.Slot[i] = RipBuffers.Slot[i];  // slot 5 missing
    for (TRipBuffers* b : {&partial, static_cast<TRipBuffers*>(nullptr)}) {
        ctx.Buffers = b;
        output.Reset();
        platform.doneCount = 0;
        Run(RipRequest(0, 100, 599));
        EXPECT_EQ(platform.doneCount, 1);
        EXPECT_EQ(platform.result.ResultClass, rrNG);
        EXPECT_EQ(output.discards, 1);
    }
    EXPECT_EQ(drive->reads, 0);
    EXPECT_TRUE(output.bytes.empty());
}

TEST_F(RipEngineTest, TimeOutAbortsTheRequest) {
    platform.fastTimeouts = true;
    drive->hangAt = {2};
    TTransferRecord r = RipRequest(0, 100, 599);
    Run(r);
    ASSERT_EQ(platform.Messages(WM_RIP_TIMEOUT).size(), 1u);
    EXPECT_EQ(platform.Messages(WM_RIP_TIMEOUT)[0].wp, 100);
    EXPECT_EQ(drive->aborts, 1);
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    EXPECT_EQ(output.bytes, drive->Range(0, 32));
    EXPECT_EQ(output.discards, 1);
    EXPECT_EQ(platform.doneCount, 1);
}

TEST_F(RipEngineTest, MethodsBuiltElsewhereAreNotFaked) {
    // Without the two-pass, burst, benchmark and play methods and without
    // a temporary store, such requests end as failures, reading nothing.
    for (int which = 0; which < 5; ++which) {
        TTransferRecord r = RipRequest(0, 100, 599);
        if (which == 0) r.TwoPass = true;
        if (which == 1) r.BurstRead = true;
        if (which == 2) r.BenchmarkBytes = 1000;
        if (which == 3) r.DigitalPlay = true;
        if (which == 4) r.TwoStage = true;
        int before = platform.doneCount;
        Run(r);
        EXPECT_EQ(platform.doneCount, before + 1) << which;
        EXPECT_EQ(platform.result.ResultClass, rrNG) << which;
        if (which == 4) EXPECT_EQ(platform.result.RetryCount, 10);
    }
    EXPECT_EQ(drive->reads, 0);
    EXPECT_TRUE(output.bytes.empty());
}

TEST_F(RipEngineTest, UnsafeReadSizesAreBounded) {
    TTransferRecord r = RipRequest(0, 300, 599);
    r.SectorsPerRead = 200;  // more than a read slot holds
    Run(r);
    EXPECT_EQ(output.bytes, drive->Range(0, 300));
    for (auto& c : drive->cdbs) EXPECT_LE(c[8], 55);
}
