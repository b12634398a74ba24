// Digital play through the rip engine: a scripted drive, the wave-out
// thread and a device of the test.  What the device plays against the disc,
// the same alignment as the plain read loop, data tracks, seeks, the end of
// the range, aborts while paused, time-outs, and a monitored rip.
#include <algorithm>
#include <random>

#include "extraction/digiplay.h"
#include "extraction/ripmethods.h"
#include "extraction/tests/riptest_util.h"
#include "extraction/tests/waveout_util.h"

using namespace wx;
using namespace wxtest;

namespace {

class DigitalPlay : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ReserveRipBuffers(RipBuffers));
        drive = std::make_unique<TScriptedDrive>(600);
        drive->platform = &platform;
        CurrentDrive() = drive.get();
        auto p = std::make_unique<TFakeWaveOut>();
        dev = p.get();
        wave = std::make_unique<TWaveOutThread>(nullptr, std::move(p));
        ctx.Platform = &platform;
        ctx.Methods = &methods;
    }
    void TearDown() override {
        wave.reset();
        CurrentDrive() = nullptr;
    }
    // A play of [start, end) over the tracks at `starts` (audio flags).
    TTransferRecord PlayRequest(std::int32_t start, std::int32_t end, std::vector<std::int32_t> starts,
                                std::vector<bool> audio) {
        TTransferRecord r = RipRequest(start, end, 599);
        r.DigitalPlay = true;
        r.WaveOutThread = wave.get();
        r.SectorsPerRead = 13;
        for (std::size_t i = 0; i < starts.size(); ++i) {
            r.PlayList[i] = starts[i];
            r.PlayAudioFlags[i] = audio[i];
        }
        r.PlayList[starts.size()] = -1;
        return r;
    }
    void Run(const TTransferRecord& r) {
        TRipEngine e(r, ctx, [this] { return abort.load(); });
        e.Execute();
    }
    // The reads the drive saw: first LBA and count.
    std::vector<std::pair<std::int32_t, int>> Reads() {
        std::vector<std::pair<std::int32_t, int>> v;
        for (auto& c : drive->cdbs)
            if (c[0] == 0xBE) v.push_back({std::int32_t(GetBE32(c.data() + 2)), c[8]});
        return v;
    }
    std::vector<std::int64_t> Positions() {
        std::vector<std::int64_t> v;
        for (auto& m : dev->Messages(WM_PLAY_POSITION)) v.push_back(m.wp);
        return v;
    }
    std::vector<std::uint8_t> Cat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }

    TTestPlatform platform;
    TRipMethods methods;
    TRipContext ctx;
    std::unique_ptr<TScriptedDrive> drive;
    std::unique_ptr<TWaveOutThread> wave;
    TFakeWaveOut* dev = nullptr;
    std::atomic<bool> abort{false};
};

}  // namespace

// The range plays as the disc holds it; the data track inside it is never
// read (no block reaches into it) and is skipped; the wave-out thread ran
// dry at the end; positions rise and the levels start with their marker.
TEST_F(DigitalPlay, PlaysTheAudioOfTheRangeAndSkipsTheDataTrack) {
    ASSERT_TRUE(wave->OpenDevice(0, 1, 100, false));
    TTransferRecord r = PlayRequest(100, 400, {0, 100, 250, 300, 500}, {true, true, false, true, true});
    Run(r);
    ASSERT_EQ(platform.doneCount, 1);
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    EXPECT_TRUE(platform.result.PlayRanOut);
    EXPECT_EQ(wave->GetPlayState(), WaveOutStopped);
    ASSERT_EQ(dev->Opens(), 1u);
    EXPECT_EQ(dev->Capture(0), Cat(drive->Range(100, 250), drive->Range(300, 400)));
    for (auto [lba, n] : Reads()) {
        EXPECT_TRUE(lba + n <= 250 || lba >= 300) << lba << "+" << n;
        EXPECT_LE(n, 13);
    }
    // The rip thread posts the start; the wave-out thread the positions of
    // what it queues, rising.
    const auto start = platform.Messages(WM_PLAY_POSITION);
    ASSERT_EQ(start.size(), 1u);
    EXPECT_EQ(start[0].wp, 100);
    const auto pos = Positions();
    ASSERT_GE(pos.size(), 2u);
    EXPECT_TRUE(std::is_sorted(pos.begin(), pos.end()));
    const auto levels = dev->Messages(WM_RIP_LEVEL);
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(levels.front().wp, LevelMarkerStart);
}

// With overlapped reads the blocks are aligned exactly as the plain read
// loop aligns them: the PCM played is the PCM a one-pass rip of the same
// range writes, jitter and all.
TEST_F(DigitalPlay, OverlappedReadsAlignAsTheRipDoes) {
    std::mt19937 rng(18);
    std::deque<int> jitter;
    for (int i = 0; i < 200; ++i) jitter.push_back(int(rng() % 41) - 20);
    TMemoryOutput output;
    TRipContext rip = ctx;
    rip.Output = &output;
    TTransferRecord plain = RipRequest(100, 380, 599);
    plain.OverlapSectors = 4;
    plain.SectorsPerRead = 13;
    drive->shifts = jitter;
    {
        TRipEngine e(plain, rip, [] { return false; });
        e.Execute();
    }
    ASSERT_EQ(platform.result.ResultClass, rrOK);

    ASSERT_TRUE(wave->OpenDevice(0, 1, 100, false));
    TTransferRecord r = PlayRequest(100, 380, {0, 500}, {true, true});
    r.OverlapSectors = 4;
    drive->shifts = jitter;
    Run(r);
    EXPECT_EQ(platform.doneCount, 2);
    EXPECT_EQ(dev->Capture(0), output.bytes);
    EXPECT_EQ(output.bytes.size(), 280u * 2352);
}

// A seek while the device is paused: what was buffered is dropped, the
// device starts again, and the play goes on from the new LBA to the end.
TEST_F(DigitalPlay, SeekDropsTheBufferedDataAndPlaysFromThere) {
    ASSERT_TRUE(wave->OpenDevice(0, 1, 100, false));
    wave->Post(WM_WAVEOUT_PAUSE);
    TTransferRecord r = PlayRequest(0, 520, {0, 200, 400}, {true, true, true});
    std::thread rip([&] { Run(r); });
    // The ring fills while the device holds its buffers.
    ASSERT_TRUE(dev->WaitFor([&] { return dev->calls.size() >= 4; }));
    wave->Post(WM_WAVEOUT_PLAY, 400);
    rip.join();
    ASSERT_EQ(platform.doneCount, 1);
    ASSERT_EQ(dev->Opens(), 2u);
    EXPECT_TRUE(dev->Capture(0).empty());
    EXPECT_EQ(dev->Capture(1), drive->Range(400, 520));
    const auto posted = platform.Messages(WM_PLAY_POSITION);
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[1].wp, 400);
}

// An abort while the device is paused ends the play, whether the rip thread
// is handing a block over or waiting for the end of the data.
TEST_F(DigitalPlay, AbortWhilePausedEndsThePlay) {
    for (std::int32_t end : {590, 40}) {
        platform.doneCount = 0;
        abort = false;
        ASSERT_TRUE(wave->OpenDevice(0, 1, 100, false));
        wave->Post(WM_WAVEOUT_PAUSE);
        TTransferRecord r = PlayRequest(0, end, {0}, {true});
        const std::size_t before = dev->Writes();
        std::thread rip([&] { Run(r); });
        // A long range: the device holds two buffers and the ring fills.  A
        // short one (less than a buffer): the END came and the device holds
        // the last buffer.
        const std::size_t held = before + (end > 100 ? 2 : 1);
        ASSERT_TRUE(dev->WaitFor([&] {
            std::size_t writes = 0;
            for (auto& c : dev->calls) writes += c.rfind("write", 0) == 0;
            return writes >= held;
        }));
        abort = true;
        rip.join();
        EXPECT_EQ(platform.doneCount, 1) << end;
        wave->Post(WM_WAVEOUT_STOP);
        while (wave->GetPlayState() != WaveOutStopped) wave->WaitForStopOrSeek(10);
    }
}

// A drive that does not answer ends the play with a failed result and the
// time-out message.
TEST_F(DigitalPlay, DriveTimeOutEndsThePlay) {
    platform.fastTimeouts = true;
    drive->hangAt = {2};
    ASSERT_TRUE(wave->OpenDevice(0, 1, 100, false));
    Run(PlayRequest(0, 300, {0}, {true}));
    ASSERT_EQ(platform.doneCount, 1);
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    EXPECT_EQ(platform.Messages(WM_RIP_TIMEOUT).size(), 1u);
    EXPECT_FALSE(platform.result.PlayRanOut);
}

// A block that fails more than ten times moves the play to the next track.
TEST_F(DigitalPlay, UnreadableBlockMovesToTheNextTrack) {
    drive->mediumErrors[60] = 1000;
    ASSERT_TRUE(wave->OpenDevice(0, 1, 100, false));
    TTransferRecord r = PlayRequest(0, 300, {0, 150}, {true, true});
    r.MaxRetry = 12;
    Run(r);
    ASSERT_EQ(platform.doneCount, 1);
    const std::vector<std::uint8_t> got = dev->Capture(0);
    // Track 1 up to the failing block, then track 2 from its start.
    const std::int32_t failing = 52;  // the block of 13 sectors holding sector 60
    EXPECT_EQ(got, Cat(drive->Range(0, failing), drive->Range(150, 300)));
}

// A monitored rip writes the same file as one without the monitor, and the
// monitor gets the blocks.
TEST_F(DigitalPlay, MonitoredRipWritesTheSameFile) {
    TMemoryOutput plainOut, monitoredOut;
    TTransferRecord r = RipRequest(10, 300, 599);
    r.OverlapSectors = 4;
    {
        TRipContext c = ctx;
        c.Output = &plainOut;
        TRipEngine e(r, c, [] { return false; });
        e.Execute();
    }
    ASSERT_TRUE(wave->OpenDevice(0, 1, 100, true));
    r.MonitorOutput = true;
    {
        TRipContext c = ctx;
        c.Output = &monitoredOut;
        c.MonitorReset = [this] { wave->ResetMonitor(); };
        c.MonitorPut = [this](const void* p, std::uint32_t n) { wave->PutData(p, n, 0); };
        TRipEngine e(r, c, [] { return false; });
        e.Execute();
    }
    EXPECT_EQ(monitoredOut.bytes, plainOut.bytes);
    EXPECT_EQ(plainOut.bytes, drive->Range(10, 300));
    ASSERT_TRUE(dev->WaitFor([&] { return !dev->captures.back().empty(); }));
    wave->Post(WM_WAVEOUT_STOP);
}
