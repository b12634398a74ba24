// The wave-out thread against a device of the test: what it plays, the
// positions and levels it reports, seeks, pause and resume, stop, the end of
// data, the monitor mode, and a device that keeps its buffers.
#include <algorithm>
#include <memory>

#include "extraction/ripsample.h"
#include "extraction/tests/waveout_util.h"
#include "tests/soundcapture.h"

using namespace wx;
using namespace wxtest;

namespace {

// PCM that differs in every frame, with the LBA of each sector in it.
std::vector<std::uint8_t> Pattern(std::size_t bytes, std::uint32_t seed) {
    std::vector<std::uint8_t> v(bytes);
    for (std::size_t i = 0; i < bytes; ++i) v[i] = std::uint8_t((i * 7 + seed * 131 + (i >> 9)) & 0xFF);
    return v;
}

class WaveOut : public ::testing::Test {
protected:
    void Make() {
        auto p = std::make_unique<TFakeWaveOut>();
        dev = p.get();
        dev->virtualClock = virtualClock;
        dev->keep = keep;
        w = std::make_unique<TWaveOutThread>(nullptr, std::move(p));
    }
    void TearDown() override { w.reset(); }

    // Hands the data over in pieces of two sectors, each with the LBA of its
    // first sector, waiting while the ring is full.
    void Feed(const std::vector<std::uint8_t>& data, std::int32_t lba, std::uint32_t piece = 4704) {
        for (std::size_t done = 0; done < data.size();) {
            const std::uint32_t n = std::uint32_t(std::min<std::size_t>(piece, data.size() - done));
            while (!w->PutData(data.data() + done, n, lba + std::int32_t(done / 2352))) w->WaitForRoom(10);
            done += n;
        }
    }
    // At most 10 s; a pending seek ends the thread's wait at once, so the
    // test looks again after a moment.
    bool WaitState(int state) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            if (w->GetPlayState() == state) return true;
            w->WaitForStopOrSeek(10);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    std::vector<std::uint32_t> LevelsLeft() {
        std::vector<std::uint32_t> v;
        for (auto& m : dev->Messages(WM_RIP_LEVEL)) v.push_back(std::uint32_t(m.wp));
        return v;
    }

    TFakeWaveOut* dev = nullptr;
    std::unique_ptr<TWaveOutThread> w;
    bool virtualClock = false;
    bool keep = false;
};

}  // namespace

// A play: every byte reaches the device in order, the rest of the ring
// (less than a sector, and less than the pre-fill) included at the end; the
// positions are those of the sectors being queued, 75 sectors back; the
// levels come with their markers; the end stops and closes the device.
TEST_F(WaveOut, PlaysEverythingThenStopsAtTheEnd) {
    Make();
    ASSERT_TRUE(w->OpenDevice(3, 1, 100, false));
    EXPECT_EQ(dev->openedDevice, 3);
    EXPECT_EQ(w->RingSize(), 131072u);
    EXPECT_EQ(w->GetPlayState(), WaveOutPlaying);
    std::vector<std::uint8_t> data = Pattern(120 * 2352 + 1000, 1);
    Feed(data, 1000);
    w->Post(WM_WAVEOUT_END);
    ASSERT_TRUE(WaitState(WaveOutStopped));
    EXPECT_EQ(dev->Capture(0), data);
    EXPECT_FALSE(dev->IsOpen());
    EXPECT_FALSE(dev->misuse);

    // Three buffers: 50 + 50 sectors and the rest.  A buffer reports the
    // sector that filled it; the first reports nothing.
    const auto pos = dev->Messages(WM_PLAY_POSITION);
    ASSERT_EQ(pos.size(), 2u);
    EXPECT_EQ(pos[0].wp, 1000 + 99 - 75);
    EXPECT_EQ(pos[1].wp, 1000 + 120 - 75);
    // Levels: the start marker once, then two buffer markers before the
    // levels of each buffer (one per 23520 bytes).
    const std::vector<std::uint32_t> lv = LevelsLeft();
    ASSERT_EQ(lv.size(), 1u + (2 + 5) + (2 + 5) + (2 + 3));
    EXPECT_EQ(lv[0], LevelMarkerStart);
    for (std::size_t at : {1u, 8u, 15u}) {
        EXPECT_EQ(lv[at], LevelMarkerBuffer);
        EXPECT_EQ(lv[at + 1], LevelMarkerBuffer);
    }
    const std::uint32_t peaks = PeakLevels(data.data(), 23520);
    EXPECT_EQ(lv[3], peaks & 0xFFFF);

    // A stopped thread takes nothing more.
    EXPECT_TRUE(w->PutData(data.data(), 4704, 0));
    EXPECT_EQ(dev->Opens(), 1u);
}

// PLAY drops what was buffered and starts the device again at the new LBA;
// the producer's data is dropped until it has taken the seek.
TEST_F(WaveOut, PlayMessageSeeksAndDropsWhatWasBuffered) {
    Make();
    ASSERT_TRUE(w->OpenDevice(-1, 2, 100, false));
    EXPECT_EQ(w->RingSize(), 262144u);
    w->Post(WM_WAVEOUT_PAUSE);
    ASSERT_TRUE(WaitState(WaveOutPaused));
    // The ring fills while the device holds its two buffers.
    const std::vector<std::uint8_t> old = Pattern(200 * 2352, 2);
    std::size_t given = 0;
    while (given < old.size() && w->PutData(old.data() + given, 4704, 0)) given += 4704;
    EXPECT_LT(given, old.size());
    w->Post(WM_WAVEOUT_PLAY, 5000);
    for (int i = 0; i < 1000 && !w->HasSeekRequest(); ++i) w->WaitForStopOrSeek(10);  // returns at the seek
    ASSERT_TRUE(w->HasSeekRequest());
    EXPECT_EQ(w->GetPlayState(), WaveOutPlaying);
    EXPECT_TRUE(w->PutData(old.data(), 4704, 0));  // dropped while the seek waits
    EXPECT_EQ(w->GetSeekRequest(), 5000);
    EXPECT_FALSE(w->HasSeekRequest());
    const std::vector<std::uint8_t> fresh = Pattern(60 * 2352, 3);
    Feed(fresh, 5000);
    w->Post(WM_WAVEOUT_END);
    ASSERT_TRUE(WaitState(WaveOutStopped));
    ASSERT_EQ(dev->Opens(), 2u);
    EXPECT_EQ(dev->Capture(1), fresh);
    // Nothing of the old data was played: the paused device had it all.
    EXPECT_TRUE(dev->Capture(0).empty());
    EXPECT_FALSE(dev->misuse);
    // The reset markers of the pause and of the play.
    const std::vector<std::uint32_t> lv = LevelsLeft();
    EXPECT_EQ(std::count(lv.begin(), lv.end(), LevelMarkerReset), 2);
    // The last buffer (10 sectors) reports its last sector, 75 back.
    const auto pos = dev->Messages(WM_PLAY_POSITION);
    ASSERT_FALSE(pos.empty());
    EXPECT_EQ(pos.back().wp, 5059 - 75);
}

// PAUSE when paused and RESUME when playing change nothing; a resume plays
// on what the pause held.
TEST_F(WaveOut, PauseAndResumeOnlyChangeTheirOwnState) {
    Make();
    ASSERT_TRUE(w->OpenDevice(0, 1, 100, false));
    w->Post(WM_WAVEOUT_RESUME);
    w->Post(WM_WAVEOUT_PAUSE);
    w->Post(WM_WAVEOUT_PAUSE);
    ASSERT_TRUE(WaitState(WaveOutPaused));
    const std::vector<std::uint8_t> data = Pattern(110 * 2352, 4);
    std::thread feeder([&] { Feed(data, 0); });
    ASSERT_TRUE(dev->WaitFor([&] { return dev->calls.size() >= 4; }));  // open, pause, two writes
    w->Post(WM_WAVEOUT_RESUME);
    feeder.join();
    w->Post(WM_WAVEOUT_END);
    ASSERT_TRUE(WaitState(WaveOutStopped));
    EXPECT_EQ(dev->Capture(0), data);
    const auto calls = dev->Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "pause"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "restart"), 1);
}

// A device that keeps a buffer for 4 s of play is reset before the buffer is
// taken back and filled again, never while it still owns it.
TEST_F(WaveOut, BufferKeptTooLongIsTakenBackAfterAReset) {
    keep = true;
    virtualClock = true;
    Make();
    ASSERT_TRUE(w->OpenDevice(0, 1, 100, false));
    std::thread feeder([&] { Feed(Pattern(200 * 2352, 5), 0); });
    ASSERT_TRUE(dev->WaitFor([&] {
        int writes = 0;
        for (auto& c : dev->calls) writes += c.rfind("write", 0) == 0;
        return writes >= 4;
    }));
    w->Post(WM_WAVEOUT_STOP);
    feeder.join();
    EXPECT_FALSE(dev->misuse);
    const auto calls = dev->Calls();
    auto reset = std::find(calls.begin(), calls.end(), "reset");
    auto unprepare = std::find(calls.begin(), calls.end(), "unprepare0");
    ASSERT_NE(reset, calls.end());
    EXPECT_LT(reset - calls.begin(), unprepare - calls.begin());
}

// STOP closes the device, clears the positions and any seek, and drops
// later data.
TEST_F(WaveOut, StopClosesAndClears) {
    Make();
    ASSERT_TRUE(w->OpenDevice(0, 1, 100, false));
    w->Post(WM_WAVEOUT_PAUSE);
    ASSERT_TRUE(WaitState(WaveOutPaused));
    w->Post(WM_WAVEOUT_PLAY, 77);
    w->Post(WM_WAVEOUT_STOP);
    ASSERT_TRUE(WaitState(WaveOutStopped));
    EXPECT_FALSE(w->HasSeekRequest());
    EXPECT_FALSE(dev->IsOpen());
    EXPECT_TRUE(w->PutData(Pattern(4704, 6).data(), 4704, 0));
    EXPECT_EQ(w->GetSeekRequest(), -1);
}

// The device cannot be opened: stopped, and PLAY cannot bring it back.
TEST_F(WaveOut, DeviceThatCannotBeOpened) {
    Make();
    dev->failOpen = true;
    EXPECT_FALSE(w->OpenDevice(0, 1, 100, false));
    EXPECT_EQ(w->GetPlayState(), WaveOutStopped);
    w->Post(WM_WAVEOUT_PLAY, 10);
    w->WaitForStopOrSeek(50);
    EXPECT_EQ(w->GetPlayState(), WaveOutStopped);
    EXPECT_FALSE(w->HasSeekRequest());
}

// A pre-read outside 1..5 cannot make the ring larger than its memory; the
// monitor ring is 2 MiB and the monitor posts neither levels nor positions.
TEST_F(WaveOut, RingSizesAndMonitorMode) {
    Make();
    ASSERT_TRUE(w->OpenDevice(0, 0, 100, false));
    EXPECT_EQ(w->RingSize(), 131072u);
    ASSERT_TRUE(w->OpenDevice(0, 9, 100, false));
    EXPECT_EQ(w->RingSize(), 131072u << 4);
    ASSERT_TRUE(w->OpenDevice(0, 9, 50, true));
    EXPECT_EQ(w->RingSize(), 2097152u);
    w->ResetMonitor();
    const std::vector<std::uint8_t> data = Pattern(120 * 2352, 7);
    Feed(data, 0, 16 * 2352);
    ASSERT_TRUE(dev->WaitFor([&] { return dev->captures.back().size() >= 100u * 2352; }));
    w->Post(WM_WAVEOUT_STOP);
    ASSERT_TRUE(WaitState(WaveOutStopped));
    // The monitor plays the blocks as they are: no volume of its own.
    const std::vector<std::uint8_t> got = dev->Capture(dev->Opens() - 1);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin()));
    EXPECT_TRUE(dev->Messages(WM_RIP_LEVEL).empty());
    EXPECT_TRUE(dev->Messages(WM_PLAY_POSITION).empty());
}

// The volume of a play scales the samples.
TEST_F(WaveOut, VolumeOfAPlay) {
    Make();
    ASSERT_TRUE(w->OpenDevice(0, 1, 50, false));
    std::vector<std::uint8_t> data = Pattern(10 * 2352, 8);
    Feed(data, 0);
    w->Post(WM_WAVEOUT_END);
    ASSERT_TRUE(WaitState(WaveOutStopped));
    ApplyVolume(data.data(), 50, std::uint32_t(data.size()));
    EXPECT_EQ(dev->Capture(0), data);
}

// The check of the tests' sound captures: the driver's silence (whole steps
// of 441 frames) is allowed anywhere, also inside silence of the PCM's own;
// a lost, repeated or changed frame is not.
TEST(SoundCapture, SilenceOfTheDriverOnlyInWholeSteps) {
    std::vector<std::uint8_t> pcm = Pattern(3000 * 4, 9);
    for (std::size_t i = 0; i < 500 * 4; ++i) pcm[1000 * 4 + i] = 0;  // silence of its own
    auto with = [&](std::size_t atFrame, std::size_t frames) {
        std::vector<std::uint8_t> c = pcm;
        c.insert(c.begin() + std::ptrdiff_t(atFrame * 4), frames * 4, 0);
        return c;
    };
    std::size_t silences = 0;
    std::string why;
    EXPECT_TRUE(soundcapture::MatchesWithSilences(pcm, pcm));
    EXPECT_TRUE(soundcapture::MatchesWithSilences(with(17, 441), pcm, &why, &silences)) << why;
    EXPECT_EQ(silences, 441u * 4);
    EXPECT_TRUE(soundcapture::MatchesWithSilences(with(1200, 882), pcm));  // inside the PCM's silence
    EXPECT_TRUE(soundcapture::MatchesWithSilences(with(3000, 441), pcm));  // at the end
    EXPECT_FALSE(soundcapture::MatchesWithSilences(with(17, 440), pcm));
    std::vector<std::uint8_t> lost = pcm;
    lost.erase(lost.begin() + 40, lost.begin() + 44);
    EXPECT_FALSE(soundcapture::MatchesWithSilences(lost, pcm));
    std::vector<std::uint8_t> repeated = pcm;
    repeated.insert(repeated.begin() + 40, pcm.begin() + 40, pcm.begin() + 44);
    EXPECT_FALSE(soundcapture::MatchesWithSilences(repeated, pcm));
    // A play cut short: the start of the PCM.
    std::vector<std::uint8_t> start(pcm.begin(), pcm.begin() + 2000 * 4);
    EXPECT_TRUE(soundcapture::MatchesWithSilences(start, pcm, nullptr, nullptr, true));
    EXPECT_FALSE(soundcapture::MatchesWithSilences(start, pcm));
}
