// Driven by playback_e2e.sh: playback through the real program as a user
// does it.  Digital play from the track pop-up menu with the CD player
// panel's buttons, its capture by the test's sound device compared with
// the disc image; the test-playback bar with a test player that logs the
// commands it gets and with the media player; the panel in English.
//
// Environment: WX_E2E_DIR, the prepared folder (Windows path) holding
// app\wendrix.exe, demo\demo.bin with demo\mixed.cue (track 2 data),
// player\testplayer.exe and the sound device's captures in sound\.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "app/tests/guidriver.h"
#include "resources/cdplayer.h"
#include "resources/tracklist.h"
#include "resources/wendrixn.h"
#include "tests/soundcapture.h"

using namespace guidriver;

namespace {

std::string Sound() { return Dir() + "\\sound"; }
std::string PlayerDir() { return Dir() + "\\player"; }

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> v;
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
}

// Track starts of the disc (sectors) and its length.
struct TDisc {
    std::vector<int> start;
    int total = 0;
    std::vector<std::uint8_t> bin;
    std::vector<std::uint8_t> Sectors(int from, int to) const {
        return std::vector<std::uint8_t>(bin.begin() + std::ptrdiff_t(from) * 2352, bin.begin() + std::ptrdiff_t(to) * 2352);
    }
};
TDisc Disc() {
    TDisc d;
    std::ifstream in(Dir() + "\\app\\demo\\mixed.cue");
    for (std::string line; std::getline(in, line);) {
        const auto p = line.find("INDEX 01 ");
        if (p == std::string::npos) continue;
        int m = 0, s = 0, f = 0;
        std::sscanf(line.c_str() + p + 9, "%d:%d:%d", &m, &s, &f);
        d.start.push_back(m * 4500 + s * 75 + f);
    }
    d.bin = ReadAll(Dir() + "\\app\\demo\\demo.bin");
    d.total = int(d.bin.size() / 2352);
    return d;
}

// What a play from track t's start plays: every audio track up to the end
// of the disc, its last sector included; the data track 2 skipped.
std::vector<std::uint8_t> PlayFrom(const TDisc& d, int track) {
    std::vector<std::uint8_t> out;
    for (int t = track; t <= 4; ++t) {
        if (t == 2) continue;
        const int end = t < 4 ? d.start[std::size_t(t)] : d.total;
        const auto part = d.Sectors(d.start[std::size_t(t - 1)], end);
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

void RemoveCaptures() {
    for (int n = 0; n < 30; ++n) DeleteFileA(soundcapture::CaptureName(Sound(), n).c_str());
}

std::vector<std::uint8_t> Capture(int n) { return soundcapture::ReadCapture(soundcapture::CaptureName(Sound(), n)); }

// The capture against the PCM of the play; `prefix`: the play was cut
// short, the capture holds its start (on a busy machine perhaps nothing).
void ExpectPlayed(int n, const std::vector<std::uint8_t>& pcm, bool prefix = false) {
    EXPECT_NE(GetFileAttributesA(soundcapture::CaptureName(Sound(), n).c_str()), INVALID_FILE_ATTRIBUTES)
        << "the device was not opened for capture " << n;
    const std::vector<std::uint8_t> got = Capture(n);
    if (!prefix) {
        ASSERT_FALSE(got.empty()) << "capture " << n << " is empty";
    }
    std::string why;
    std::size_t silences = 0;
    EXPECT_TRUE(soundcapture::MatchesWithSilences(got, pcm, &why, &silences, prefix)) << "capture " << n << ": " << why;
    std::printf("capture %d: %zu bytes, %zu of them the driver's silence\n", n, got.size(), silences);
}

class PlaybackE2E : public ::testing::Test {
protected:
    // The settings file: `common` goes into [Common], `extra` after it.
    void StartProgram(const std::string& common, const std::string& extra = "") {
        std::string s = "[Common]\r\nIsDispSplash=No\r\nUseClassDriver=No\r\nAutoRefreshTrackList=Yes\r\nDispResult=No\r\n"
                        "WorkingDir=" + Dir() + "\\work\\\r\n" + common;
        if (english) s += "Language=ENGLISH\r\n";
        s += "[DEVICES_0]\r\nAdapter=0\r\nTarget=1\r\nDriveMaker=PLEXTOR\r\nDriveType=CD-ROM\r\n";
        s += "[Filer]\r\nUsePlayer=" + PlayerDir() + "\\testplayer.exe\r\n";
        std::ofstream(AppDir() + "\\wndrxn.ini", std::ios::binary) << s + extra;
        SetEnvironmentVariableA("WX_ASPI_CONFIG", (AppDir() + "\\wnaspi32.ini").c_str());
        CreateDirectoryA((Dir() + "\\out").c_str(), nullptr);
        CreateDirectoryA((Dir() + "\\work").c_str(), nullptr);
        RemoveCaptures();
        ASSERT_TRUE(prog.Start(AppDir() + "\\wendrix.exe", "\"" + Dir() + "\\out\"", AppDir()));
        ASSERT_NE(prog.WaitMain("Wendrix for Windows", 30000), nullptr) << "no main window";
        pid = prog.pi.dwProcessId;
        list = FindChild(prog.Main, IDC_TRACKLIST);
        toolbar = FindChild(prog.Main, IDC_TOOLBAR2);
        ASSERT_NE(list, nullptr);
        for (int t = 0; t < 10000 && ListCount(list) != 4; t += 50) Sleep(50);
        ASSERT_EQ(ListCount(list), 4);
    }
    void TearDown() override {
        if (prog.Main && IsWindow(prog.Main)) {
            // A close is refused while the file manager is busy: asked again.
            for (int t = 0; t < 10 && !prog.Ended(0); ++t) {
                PostMessageA(prog.Main, WM_CLOSE, 0, 0);
                prog.Ended(2000);
            }
            if (!prog.Ended(0)) {
                std::string open;
                for (HWND d : Dialogs(pid)) open += " [" + Utf8(WindowText(d)) + ": " + Utf8(BoxText(d)) + "]";
                Screenshot(Shots(), "not_ended");
                ADD_FAILURE() << "the program did not end; windows:" << open;
            }
        }
        if (HWND p = FindWindowA("WendrixTestPlayer", nullptr)) PostMessageA(p, WM_CLOSE, 0, 0);
    }
    std::string Text(const std::string& ja, const std::string& en) const { return english ? en : Sjis(ja); }
    void Select(std::initializer_list<int> tracks) {
        for (int i = 0; i < ListCount(list); ++i) ListSelect(prog.pi.hProcess, list, i, false);
        for (int t : tracks) ListSelect(prog.pi.hProcess, list, t - 1, true);
    }
    // A right click on the first selected row opens the track pop-up; the
    // key chooses the item with that mnemonic.
    void PopupKey(char key) {
        int row = 0;
        while (row < ListCount(list) && !ListSelected(list, row)) ++row;
        TRemote mem(prog.pi.hProcess, sizeof(RECT));
        RECT r{LVIR_BOUNDS, 0, 0, 0};
        mem.Write(&r, sizeof r);
        SendMessageA(list, LVM_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(mem.Ptr()));
        mem.Read(&r, sizeof r);
        const LPARAM at = MAKELPARAM(r.left + 20, (r.top + r.bottom) / 2);
        PostMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, at);
        PostMessageA(list, WM_RBUTTONUP, 0, at);
        HWND popup = nullptr;
        for (int t = 0; t < 10000 && !popup; t += 50) {
            HWND w = nullptr;
            while ((w = FindWindowExA(nullptr, w, "#32768", nullptr)) != nullptr) {
                DWORD p = 0;
                GetWindowThreadProcessId(w, &p);
                if (p == pid && IsWindowVisible(w)) popup = w;
            }
            if (!popup) Sleep(50);
        }
        ASSERT_NE(popup, nullptr) << "no track pop-up";
        PostMessageA(popup, WM_KEYDOWN, WPARAM(key), 1);
        PostMessageA(popup, WM_CHAR, WPARAM(key | 0x20), 1);
        PostMessageA(popup, WM_KEYUP, WPARAM(key), 0xC0000001);
        for (int t = 0; t < 5000 && IsWindowVisible(popup); t += 50) Sleep(50);
    }
    HWND WaitPanel() {
        std::string other;
        return ExpectDialog(pid, Text("デジタル再生", "Digital play"), 10000, other);
    }
    std::string TimeCode(HWND panel) { return ControlText(GetDlgItem(panel, IDC_CDP_TIMECODE)); }
    // Waits for the time code to hold `piece` at `at`.
    bool WaitTimeCode(HWND panel, const std::string& piece, std::size_t at, int ms = 5000) {
        for (int t = 0; t <= ms; t += 20) {
            const std::string s = TimeCode(panel);
            if (s.size() > at && s.compare(at, piece.size(), piece) == 0) return true;
            Sleep(20);
        }
        return false;
    }
    bool EndMessage(const std::string& text, int ms = 120000) {
        std::string other;
        HWND box = ExpectDialog(pid, text, ms, other);
        if (!box) {
            ADD_FAILURE() << "no end message \"" << Utf8(text) << "\"; " << other;
            return false;
        }
        Press(box, IDOK);
        return WaitGone(box, 5000);
    }
    HWND Bar(int id) { return GetDlgItem(GetDlgItem(prog.Main, IDC_PANEL1), id); }
    // 取り込み into the start folder; every track gets the base name.
    void Rip(int track, const std::string& base) {
        Select({track});
        ASSERT_TRUE(ClickToolButton(prog.pi.hProcess, toolbar, IDT_TOOLRIPSTART));
        HWND ask = WaitDialog(pid, Sjis("に読み出したデータを書き出します"), 10000);
        ASSERT_NE(ask, nullptr) << "no folder question";
        Press(ask, IDOK);
        HWND name = WaitDialog(pid, Sjis("警告"), 10000);
        ASSERT_NE(name, nullptr) << "no name prompt";
        SetText(GetDlgItem(name, 2202), base);
        Press(name, 2204);
        ASSERT_TRUE(EndMessage(Sjis("データ取り込みを終了しました")));
    }
    // Waits until the test player's log has at least n lines.
    std::vector<std::string> PlayerLog(std::size_t n, int ms = 10000) {
        std::vector<std::string> l;
        for (int t = 0; t <= ms; t += 50) {
            l = Lines(PlayerDir() + "\\player.log");
            if (l.size() >= n) break;
            Sleep(50);
        }
        return l;
    }
    // The bar's buttons as bits (1 play, 2 stop, 4 pause) once they are
    // `want`, else as they are after ms: the program sets them one after
    // another.
    static int WaitBar(HWND play, HWND stop, HWND pause, int want, int ms = 10000) {
        return WaitValue([&] {
            return (IsWindowEnabled(play) ? 1 : 0) | (IsWindowEnabled(stop) ? 2 : 0) | (IsWindowEnabled(pause) ? 4 : 0);
        }, want, ms);
    }
    bool WaitEnabled(HWND w, bool on, int ms = 10000) {
        for (int t = 0; t <= ms; t += 50) {
            if ((IsWindowEnabled(w) != FALSE) == on) return true;
            Sleep(50);
        }
        return false;
    }

    TProgram prog;
    DWORD pid = 0;
    HWND list = nullptr, toolbar = nullptr;
    bool english = false;
};

}  // namespace

// Digital play of a disc whose second track is data: a whole play, a play
// paused at once whose time code goes through its three modes and that
// jumps to the next track, and a play stopped at once.  Then the
// test-playback bar: a ripped MP3 file in the test player (its commands in
// order, the slider's half way, the player's loss and a player that hands
// over to a running one), and a ripped WAV file in the media player.
TEST_F(PlaybackE2E, DigitalPlayPanelAndTestPlayback) {
    const TDisc disc = Disc();
    ASSERT_EQ(disc.start.size(), 4u);
    StartProgram("DigitalPlayZC=Yes\r\nUseWaveMonitor=Yes\r\n",
                 "[Format]\r\nOutputType=MP3\r\nFormatHeader=0100020044AC000010B10200040010000000\r\n"
                 "[MP3]\r\nEncodeType=GOGO\r\nBitRate=128K\r\nUseMediaPlayer=No\r\n");
    EXPECT_EQ(ListText(prog.pi.hProcess, list, 1, 6), "");  // the data track

    // 1. The whole disc from track 1, the data track skipped.
    Select({1});
    PopupKey('D');
    HWND panel = WaitPanel();
    ASSERT_NE(panel, nullptr) << "no CD player panel";
    ASSERT_TRUE(EndMessage(Sjis("ﾃﾞｼﾞﾀﾙ再生を終了しました")));
    EXPECT_TRUE(WaitGone(panel, 5000));
    ExpectPlayed(0, PlayFrom(disc, 1));

    // 2. Paused at once, the time code's modes, then the next track.
    Select({1});
    PopupKey('D');
    panel = WaitPanel();
    ASSERT_NE(panel, nullptr);
    Press(panel, IDC_CDP_PAUSERESUME);
    ASSERT_TRUE(WaitTimeCode(panel, "[0", 0));
    Sleep(300);  // positions already on their way arrive
    const std::string paused = TimeCode(panel);
    const int track = std::atoi(paused.c_str() + 1);
    ASSERT_TRUE(track == 1 || track == 3 || track == 4) << paused;
    Screenshot(Shots(), "panel_ja", panel);
    Press(panel, IDC_CDP_MODE);
    EXPECT_TRUE(WaitTimeCode(panel, "] <", 3)) << TimeCode(panel);  // left in the track
    Press(panel, IDC_CDP_MODE);
    EXPECT_TRUE(WaitTimeCode(panel, "[--] <", 0)) << TimeCode(panel);  // left on the disc
    Press(panel, IDC_CDP_MODE);
    EXPECT_TRUE(WaitTimeCode(panel, paused.substr(0, 5), 0)) << TimeCode(panel);
    // A double click on the time code puts the program away, main window and
    // panel; another brings both back.
    HWND timeCode = GetDlgItem(panel, IDC_CDP_TIMECODE);
    auto doubleClick = [&] {
        PostMessageA(timeCode, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        PostMessageA(timeCode, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
        PostMessageA(timeCode, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
        PostMessageA(timeCode, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    };
    auto waitIconic = [&](bool on) {
        for (int t = 0; t < 5000 && ((IsIconic(prog.Main) != FALSE) != on || (IsIconic(panel) != FALSE) != on); t += 50)
            Sleep(50);
        return (IsIconic(prog.Main) != FALSE) == on && (IsIconic(panel) != FALSE) == on;
    };
    doubleClick();
    EXPECT_TRUE(waitIconic(true)) << "main " << IsIconic(prog.Main) << ", panel " << IsIconic(panel);
    doubleClick();
    EXPECT_TRUE(waitIconic(false)) << "main " << IsIconic(prog.Main) << ", panel " << IsIconic(panel);
    Press(panel, IDC_CDP_NEXTTRACK);
    ASSERT_TRUE(EndMessage(Sjis("ﾃﾞｼﾞﾀﾙ再生を終了しました")));
    const int next = track == 1 ? 3 : track == 3 ? 4 : 1;
    ExpectPlayed(1, PlayFrom(disc, 1), true);
    ExpectPlayed(2, PlayFrom(disc, next));

    // 3. Stopped at once: the play ends and the panel closes.
    Select({3});
    PopupKey('D');
    panel = WaitPanel();
    ASSERT_NE(panel, nullptr);
    Press(panel, IDC_CDP_STOPPLAY);
    ASSERT_TRUE(EndMessage(Sjis("ﾃﾞｼﾞﾀﾙ再生を終了しました")));
    EXPECT_TRUE(WaitGone(panel, 5000));

    // 4. The bar with the test player: a ripped MP3 file, started half way.
    Rip(3, Sjis("テスト"));
    HWND combo = Bar(IDC_COMBOBOX1), play = Bar(IDC_SPEEDBUTTON2), stop = Bar(IDC_SPEEDBUTTON1),
         pause = Bar(IDC_SPEEDBUTTON3), slider = Bar(IDC_CUSTOMTRACKBAR1), time = Bar(IDC_LABEL6);
    ASSERT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(ComboItem(combo, 0), Sjis("テスト_03.mp3"));
    EXPECT_TRUE(IsWindowEnabled(play));
    EXPECT_FALSE(IsWindowEnabled(stop));
    SendMessageA(slider, TBM_SETPOS, TRUE, 120);  // half of 240
    Press(GetParent(play), IDC_SPEEDBUTTON2);
    // The full name, upper-cased (the Shift-JIS characters as they are),
    // spelled byte by byte.
    std::string upper = Dir() + "\\out\\";
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    upper += Sjis("テスト") + "_03.MP3";
    std::vector<std::string> log = PlayerLog(8);
    const std::vector<std::string> start = {"started", "101", "add " + upper, "102", "106 0", "102", "105 1", "106 4000"};
    ASSERT_GE(log.size(), start.size());
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + std::ptrdiff_t(start.size())), start);
    EXPECT_EQ(WaitBar(play, stop, pause, 2), 2);  // the external player has no pause
    EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0), 8);
    // The timer asks for the position (the player's last seek).
    log = PlayerLog(start.size() + 1);
    EXPECT_EQ(log.back(), "105 0");
    for (int t = 0; t < 3000 && ControlText(time) != "00:04"; t += 50) Sleep(50);
    EXPECT_EQ(ControlText(time), "00:04");
    Screenshot(Shots(), "bar_player");
    Press(GetParent(stop), IDC_SPEEDBUTTON1);
    EXPECT_EQ(WaitBar(play, stop, pause, 1), 1);
    EXPECT_EQ(WaitValue([&] { return int(ControlText(time) == "00:00"); }, 1), 1) << ControlText(time);
    log = Lines(PlayerDir() + "\\player.log");
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "101");
    EXPECT_EQ(log.back(), "102");

    // A player that tells no length, then disappears: the bar resets; the
    // next play, from a slider whose maximum is 0, starts at 0.
    std::ofstream(PlayerDir() + "\\player_length.txt") << "0\n";
    Press(GetParent(play), IDC_SPEEDBUTTON2);
    ASSERT_TRUE(WaitEnabled(stop, true));
    EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0), 0);
    HWND player = FindWindowA("WendrixTestPlayer", nullptr);
    ASSERT_NE(player, nullptr);
    PostMessageA(player, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitGone(player, 5000));
    EXPECT_EQ(WaitBar(play, stop, pause, 1), 1);
    // Another player runs already; the one the program starts hands over to it.
    DeleteFileA((PlayerDir() + "\\player.log").c_str());
    TProgram other;
    ASSERT_TRUE(other.Start(PlayerDir() + "\\testplayer.exe", "", PlayerDir()));
    for (int t = 0; t < 10000 && !FindWindowA("WendrixTestPlayer", nullptr); t += 50) Sleep(50);
    Press(GetParent(play), IDC_SPEEDBUTTON2);
    log = PlayerLog(9);
    const std::vector<std::string> handed = {"started", "handed over", "101", "add " + upper, "102",
                                             "106 0",   "102",         "105 1", "106 0"};
    ASSERT_GE(log.size(), handed.size());
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + std::ptrdiff_t(handed.size())), handed);
    EXPECT_TRUE(IsWindow(prog.Main));
    Press(GetParent(stop), IDC_SPEEDBUTTON1);
    EXPECT_EQ(WaitBar(play, stop, pause, 1), 1);

    // 5. A rip heard through the monitor writes the file a rip without it
    // writes; the media player plays that WAV file to its end.
    auto captures = [] {
        int n = 0;
        while (GetFileAttributesA(soundcapture::CaptureName(Sound(), n).c_str()) != INVALID_FILE_ATTRIBUTES) ++n;
        return n;
    };
    PostMessageA(prog.Main, WM_COMMAND, IDM_WAVEOUT, 0);
    const int monitor = captures();
    Rip(1, Sjis("テスト"));
    const std::vector<std::uint8_t> wav = ReadAll(Dir() + "\\out\\" + Sjis("テスト_01.wav"));
    const std::vector<std::uint8_t> track1 = disc.Sectors(disc.start[0], disc.start[1]);
    ASSERT_EQ(wav.size(), 44 + track1.size());
    EXPECT_TRUE(std::equal(track1.begin(), track1.end(), wav.begin() + 44));
    // The monitor opened the device; the end of the run stops it, so it
    // played at most the start of the track (nothing on a busy machine).
    ExpectPlayed(monitor, track1, true);
    ASSERT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 1);  // a rip starts the history anew
    EXPECT_EQ(ComboItem(combo, 0), Sjis("テスト_01.wav"));
    const int before = captures();
    Press(GetParent(play), IDC_SPEEDBUTTON2);
    EXPECT_TRUE(WaitEnabled(stop, true));
    EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0), 8);
    Screenshot(Shots(), "bar_media");
    // The end of the file resets the bar.
    EXPECT_EQ(WaitBar(play, stop, pause, 1, 30000), 1);
    EXPECT_GE(Capture(before).size(), std::size_t(disc.start[1]) * 2352) << "the WAV file did not reach the device";
}

// The panel in English.
TEST_F(PlaybackE2E, PanelInEnglish) {
    english = true;
    StartProgram("");
    Select({1});
    PopupKey('D');
    HWND panel = WaitPanel();
    ASSERT_NE(panel, nullptr) << "no CD player panel";
    Press(panel, IDC_CDP_PAUSERESUME);
    ASSERT_TRUE(WaitTimeCode(panel, "[0", 0));
    Sleep(300);
    Screenshot(Shots(), "panel_en", panel);
    Press(panel, IDC_CDP_STOPPLAY);
    ASSERT_TRUE(EndMessage("Digital playback has finished."));
}
