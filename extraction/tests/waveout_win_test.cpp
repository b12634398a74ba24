// The wave-out thread under Wine with the sound device the test runner gives
// it (ALSA's file sink): thread messages right after its creation, a play
// that lands byte for byte in the capture, a pause, a seek that starts the
// device again, and levels and positions posted to a window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "extraction/waveout_win.h"
#include "extraction/wendrisub.h"
#include "tests/soundcapture.h"

using namespace wx;

namespace {

std::string SoundDir() {
    const char* d = std::getenv("WX_SOUND_DIR");
    std::string s = std::string("Z:") + (d ? d : "");
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

void RemoveCaptures() {
    for (int n = 0; n < 20; ++n) DeleteFileA(soundcapture::CaptureName(SoundDir(), n).c_str());
}

std::vector<std::uint8_t> Pattern(std::size_t bytes, unsigned seed) {
    std::vector<std::uint8_t> v(bytes);
    for (std::size_t i = 0; i < bytes; ++i) v[i] = std::uint8_t(((i * 13 + seed * 71) ^ (i >> 8)) | 1);
    return v;
}

class WaveOutWine : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveCaptures();
        wnd = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(wnd, nullptr);
        w = NewWaveOutThread(wnd);
    }
    void TearDown() override {
        w.reset();
        DestroyWindow(wnd);
    }
    void Feed(const std::vector<std::uint8_t>& data, std::int32_t lba) {
        for (std::size_t done = 0; done < data.size();) {
            const std::uint32_t n = std::uint32_t(std::min<std::size_t>(4704, data.size() - done));
            while (!w->PutData(data.data() + done, n, lba + std::int32_t(done / 2352))) w->WaitForRoom(10);
            done += n;
        }
    }
    bool WaitStopped() {
        for (int i = 0; i < 3000 && w->GetPlayState() != WaveOutStopped; ++i) w->WaitForStopOrSeek(10);
        return w->GetPlayState() == WaveOutStopped;
    }
    std::vector<MSG> Posted(UINT msg) {
        std::vector<MSG> v;
        MSG m;
        while (PeekMessageA(&m, wnd, msg, msg, PM_REMOVE)) v.push_back(m);
        return v;
    }
    void ExpectCapture(int n, const std::vector<std::uint8_t>& pcm) {
        std::string why;
        std::size_t silences = 0;
        const auto got = soundcapture::ReadCapture(soundcapture::CaptureName(SoundDir(), n));
        EXPECT_TRUE(soundcapture::MatchesWithSilences(got, pcm, &why, &silences))
            << "capture " << n << ": " << why;
        RecordProperty("silence_bytes_" + std::to_string(n), int(silences));
    }

    HWND wnd = nullptr;
    std::unique_ptr<TWaveOutThread> w;
};

}  // namespace

// The test runner's sink is one device.  A new thread takes messages at once:
// its queue is there when its creation returns.
TEST_F(WaveOutWine, OneDeviceAndAQueueFromTheStart) {
    EXPECT_EQ(waveOutGetNumDevs(), 1u);
    for (int i = 0; i < 20; ++i) {
        auto t = NewWaveOutThread(wnd);
        EXPECT_TRUE(t->Post(WM_WAVEOUT_PAUSE)) << i;
    }
}

// A play through the device: the PCM lands in the capture, the volume of
// 100 leaves it untouched, the device closes at the end; positions and
// levels reach the window.
TEST_F(WaveOutWine, PlayLandsInTheCapture) {
    ASSERT_TRUE(w->OpenDevice(-1, 1, 100, false));
    const std::vector<std::uint8_t> pcm = Pattern(160 * 2352 + 588, 1);
    Feed(pcm, 200);
    w->Post(WM_WAVEOUT_END);
    ASSERT_TRUE(WaitStopped());
    ExpectCapture(0, pcm);
    const auto pos = Posted(WM_PLAY_POSITION);
    ASSERT_EQ(pos.size(), 3u);
    EXPECT_EQ(pos[0].wParam, WPARAM(200 + 99 - 75));
    EXPECT_EQ(pos[1].wParam, WPARAM(200 + 149 - 75));
    const auto levels = Posted(WM_RIP_LEVEL);
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(levels[0].wParam, LevelMarkerStart);
}

// Paused, the device holds what it has; a PLAY opens it again (a capture of
// its own) and plays from there, none of the data before it.
TEST_F(WaveOutWine, PauseThenSeekOpensTheDeviceAgain) {
    ASSERT_TRUE(w->OpenDevice(-1, 1, 100, false));
    w->Post(WM_WAVEOUT_PAUSE);
    for (int i = 0; i < 100 && w->GetPlayState() != WaveOutPaused; ++i) w->WaitForStopOrSeek(10);
    ASSERT_EQ(w->GetPlayState(), WaveOutPaused);
    const std::vector<std::uint8_t> old = Pattern(60 * 2352, 2);
    std::size_t given = 0;
    while (given < old.size() && w->PutData(old.data() + given, 4704, 0)) given += 4704;
    w->Post(WM_WAVEOUT_PLAY, 1000);
    for (int i = 0; i < 300 && !w->HasSeekRequest(); ++i) w->WaitForStopOrSeek(10);
    ASSERT_EQ(w->GetSeekRequest(), 1000);
    const std::vector<std::uint8_t> fresh = Pattern(70 * 2352, 3);
    Feed(fresh, 1000);
    w->Post(WM_WAVEOUT_END);
    ASSERT_TRUE(WaitStopped());
    ExpectCapture(1, fresh);
    EXPECT_EQ(GetFileAttributesA(soundcapture::CaptureName(SoundDir(), 2).c_str()), INVALID_FILE_ATTRIBUTES);
}
