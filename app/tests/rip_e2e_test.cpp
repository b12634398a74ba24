// Driven by rip_e2e.sh: rips the demo disc through the real program as a
// user does.  Each test starts wendrix.exe in the prepared folder with its
// own settings file, selects rows of the track list, presses 取り込み,
// answers the windows by their texts and checks what it can from here (the
// WAV files against the disc image, the report rows, the end message); the
// script checks the MP3 files with ffmpeg and mutagen afterwards.
//
// Environment: WX_E2E_DIR, the prepared folder (Windows path) holding
// app\wendrix.exe, demo\demo.bin and the drive configurations.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <vector>

#include "app/tests/guidriver.h"
#include "resources/spdrslt.h"
#include "resources/tagforms.h"
#include "resources/trkprop.h"
#include "resources/wendrixn.h"

using namespace guidriver;

namespace {

// The output folders: on the test drive, shown by the file manager.
std::string OutDir() {
    const char* d = std::getenv("WX_E2E_OUT");
    return d ? d : Dir();
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The tracks of the demo disc: start sector and length from its CUE sheet.
struct TDemoTrack {
    int start, length;
};
std::vector<TDemoTrack> DemoTracks() {
    std::ifstream in(Dir() + "\\demo\\demo.cue");
    std::vector<int> starts;
    std::string line;
    while (std::getline(in, line)) {
        const auto p = line.find("INDEX 01 ");
        if (p == std::string::npos) continue;
        int m = 0, s = 0, f = 0;
        std::sscanf(line.c_str() + p + 9, "%d:%d:%d", &m, &s, &f);
        starts.push_back(m * 4500 + s * 75 + f);
    }
    const int total = int(ReadAll(Dir() + "\\demo\\demo.bin").size() / 2352);
    std::vector<TDemoTrack> t;
    for (std::size_t i = 0; i < starts.size(); ++i)
        t.push_back({starts[i], (i + 1 < starts.size() ? starts[i + 1] : total) - starts[i]});
    return t;
}

// The settings a test starts the program with.
std::string Settings(const std::string& extra, bool english = false, bool report = true) {
    std::string s = "[Common]\r\nIsDispSplash=No\r\nUseClassDriver=No\r\nUseDeEmph=Yes\r\n"
                    "AutoRefreshTrackList=Yes\r\nWorkingDir=" + Dir() + "\\work\\\r\n";
    s += report ? "DispResult=Yes\r\n" : "DispResult=No\r\n";
    if (english) s += "Language=ENGLISH\r\n";
    // The drive as a previous run saved it.
    s += "[DEVICES_0]\r\nAdapter=0\r\nTarget=1\r\nDriveMaker=PLEXTOR\r\nDriveType=CD-ROM\r\n";
    return s + extra;
}

// The [Format] section: the output and the PCM format of WAV output.
std::string Output(const std::string& type) {
    return "[Format]\r\nOutputType=" + type + "\r\nFormatHeader=0100020044AC000010B10200040010000000\r\n";
}

class RipE2E : public ::testing::Test {
protected:
    void StartProgram(const std::string& settings, const std::string& drives = "wnaspi32.ini") {
        WriteText(AppDir() + "\\wndrxn.ini", settings);
        CopyFileA((Dir() + "\\" + drives).c_str(), (AppDir() + "\\wnaspi32.ini").c_str(), FALSE);
        SetEnvironmentVariableA("WX_ASPI_CONFIG", (AppDir() + "\\wnaspi32.ini").c_str());
        CreateDirectoryA(Out().c_str(), nullptr);
        CreateDirectoryA((Dir() + "\\work").c_str(), nullptr);
        ASSERT_TRUE(prog.Start(AppDir() + "\\wendrix.exe", "\"" + Out() + "\"", AppDir()));
        ASSERT_NE(prog.WaitMain("Wendrix for Windows", 30000), nullptr) << "no main window";
        process = prog.pi.hProcess;
        list = FindChild(prog.Main, IDC_TRACKLIST);
        toolbar = FindChild(prog.Main, IDC_TOOLBAR2);
        ASSERT_NE(list, nullptr);
        ASSERT_NE(toolbar, nullptr);
        // The demo disc has a pre-emphasised track: the warning comes with
        // every reading of the table of contents, and the start-up reads it
        // twice (when the drive is selected and once more at its end).  A
        // third would show as an unexpected box in the waits that follow.
        const std::string emphasis =
            Text("ﾌﾟﾘｴﾝﾌｧｼｽのかかったﾄﾗｯｸが存在します", "The disc has tracks with pre-emphasis");
        for (int n = 1; n <= 2; ++n) {
            HWND warn = WaitDialog(prog.pi.dwProcessId, emphasis, 20000);
            ASSERT_NE(warn, nullptr) << "no pre-emphasis warning " << n;
            Press(warn, IDOK);
            ASSERT_TRUE(WaitGone(warn, 10000));
        }
        ASSERT_TRUE(WaitRows(4, 10000));
    }
    void TearDown() override {
        if (prog.Main && IsWindow(prog.Main)) {
            // The window refuses to close while the file manager re-lists a
            // folder (the rip's last writes reach it).
            const bool ended = prog.Close(20000);
            DWORD_PTR r = 0;
            const bool answers = ended || SendMessageTimeoutA(prog.Main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &r) != 0;
            EXPECT_TRUE(ended) << "the program did not end; its window " << (answers ? "answers" : "hangs");
        }
    }
    std::string Out() const { return OutDir() + "\\" + outName; }
    // The names in the file list of the program.
    std::vector<std::string> FileRows() {
        HWND files = FindChild(prog.Main, IDC_LISTVIEW1);
        std::vector<std::string> names;
        for (int i = 0; i < ListCount(files); ++i) names.push_back(ListText(process, files, i, 1));
        return names;
    }
    std::string Text(const std::string& ja, const std::string& en) const { return english ? en : Sjis(ja); }
    bool WaitRows(int n, int ms) {
        for (int t = 0; t <= ms; t += 50) {
            if (ListCount(list) == n) return true;
            Sleep(50);
        }
        return false;
    }
    void Select(std::initializer_list<int> tracks) {
        for (int i = 0; i < ListCount(list); ++i) ListSelect(process, list, i, false);
        for (int t : tracks) ListSelect(process, list, t - 1, true);
        for (int t : tracks) ASSERT_TRUE(ListSelected(list, t - 1));
    }
    // 取り込み and the folder question, answered by its text.
    void PressRip() {
        ASSERT_TRUE(ClickToolButton(process, toolbar, IDT_TOOLRIPSTART));
        const std::string want = english ? "The ripped data will be written to the folder " + Out() + "\\."
                                         : Sjis("ディレクトリ ") + Out() + "\\" + Sjis(" に読み出したデータを書き出します。");
        HWND ask = WaitDialog(prog.pi.dwProcessId, english ? "will be written" : Sjis("に読み出したデータを書き出します"), 10000);
        ASSERT_NE(ask, nullptr) << "no folder question";
        EXPECT_EQ(BoxText(ask), want);
        if (!benchName.empty()) Screenshot(Shots(), "cpu_" + benchName + "_start");
        clickTick = GetTickCount();
        Press(ask, IDOK);
    }
    // The report window: its rows, then OK.
    std::vector<std::vector<std::string>> TakeReport(const std::string& shot, int ms = 120000) {
        std::vector<std::vector<std::string>> rows;
        std::string other;
        HWND rep = ExpectDialog(prog.pi.dwProcessId, Text("結果ﾚﾎﾟｰﾄ", "Error Report"), ms, other);
        EXPECT_NE(rep, nullptr) << "no report window; " << other;
        if (!rep) return rows;
        HWND lv = FindChild(rep, 2101);
        for (int i = 0; i < ListCount(lv); ++i) {
            std::vector<std::string> r;
            for (int c = 0; c < 7; ++c) r.push_back(ListText(process, lv, i, c));
            rows.push_back(r);
        }
        if (!shot.empty()) Screenshot(Shots(), shot);
        Press(rep, IDOK);
        return rows;
    }
    // The end message box; true when it came with this text.
    bool EndMessage(const std::string& text, int ms = 120000) {
        std::string other;
        HWND box = ExpectDialog(prog.pi.dwProcessId, text, ms, other);
        if (!box) {
            ADD_FAILURE() << "no end message; " << other;
            return false;
        }
        endTick = GetTickCount();
        if (!benchName.empty()) Screenshot(Shots(), "cpu_" + benchName + "_end");
        Press(box, IDOK);
        return WaitGone(box, 5000);
    }
    void ExpectImagePcm(const std::string& file, int track) {
        const std::vector<std::uint8_t> wav = ReadAll(file);
        const TDemoTrack t = DemoTracks()[std::size_t(track - 1)];
        ASSERT_EQ(wav.size(), 44u + std::size_t(t.length) * 2352) << file;
        const std::vector<std::uint8_t> bin = ReadAll(Dir() + "\\demo\\demo.bin");
        EXPECT_TRUE(std::equal(wav.begin() + 44, wav.end(), bin.begin() + std::ptrdiff_t(t.start) * 2352)) << file;
    }
    // A visible drop-down menu of the program.
    HWND Popup(int ms) {
        for (int t = 0; t <= ms; t += 50) {
            HWND w = nullptr;
            while ((w = FindWindowExA(nullptr, w, "#32768", nullptr)) != nullptr) {
                DWORD p = 0;
                GetWindowThreadProcessId(w, &p);
                if (p == prog.pi.dwProcessId && IsWindowVisible(w)) return w;
            }
            Sleep(50);
        }
        return nullptr;
    }
    // The track-range dialog of track 1 (Enter on the list), a refused
    // range, then a range from 0:02:00 to 0:10:00 with a name.
    void TrackRange(const std::string& shot) {
        Select({1});
        SetForegroundWindow(prog.Main);
        Key(list, VK_RETURN);
        HWND dlg = WaitDialog(prog.pi.dwProcessId, Text("ﾄﾗｯｸ 1の情報", "Track 1 information"), 10000);
        ASSERT_NE(dlg, nullptr) << "no track-range dialog";
        char start[16] = {};
        SendMessageA(GetDlgItem(dlg, IDC_TRKPROP_SMIN), WM_GETTEXT, sizeof start, reinterpret_cast<LPARAM>(start));
        EXPECT_STREQ(start, "0");
        auto set = [&](int id, const std::string& v) { SetText(GetDlgItem(dlg, id), v); };
        set(IDC_TRKPROP_SMIN, "0");
        set(IDC_TRKPROP_SSEC, "2");
        set(IDC_TRKPROP_SFRAME, "0");
        set(IDC_TRKPROP_EMIN, "0");
        set(IDC_TRKPROP_ESEC, "2");
        set(IDC_TRKPROP_EFRAME, "0");
        set(IDC_TRKPROP_FILENAME, "first");
        Press(dlg, IDC_TRKPROP_OK);
        HWND refused = WaitDialog(prog.pi.dwProcessId, Text("設定された録音時間が異常です", "recording range"), 10000);
        ASSERT_NE(refused, nullptr) << "start = end was not refused";
        Press(refused, IDOK);
        WaitGone(refused, 5000);
        set(IDC_TRKPROP_ESEC, "10");
        Screenshot(Shots(), shot);
        Press(dlg, IDC_TRKPROP_OK);
        ASSERT_TRUE(WaitGone(dlg, 10000)) << "the dialog stayed open";
        EXPECT_EQ(ListText(process, list, 0, 1), "00:02:00");
        EXPECT_EQ(ListText(process, list, 0, 2), "00:10:00");
        EXPECT_EQ(ListText(process, list, 0, 5), "first");
    }
    // The benchmark from the Tools menu: the window while measuring, the end
    // message, the figures, the clipboard report; then OK.
    void Benchmark(const std::string& shot) {
        PostMessageA(prog.Main, WM_COMMAND, MAKEWPARAM(IDT_TOOLPULLDOWN, BN_CLICKED), 0);
        HWND menu = Popup(10000);
        ASSERT_NE(menu, nullptr) << "no Tools menu";
        for (WPARAM vk : {WPARAM(VK_DOWN), WPARAM(VK_DOWN), WPARAM(VK_RETURN)}) {
            PostMessageA(menu, WM_KEYDOWN, vk, 1);
            PostMessageA(menu, WM_KEYUP, vk, 0xC0000001);
        }
        // The benchmark reads the disc's table of contents again: the
        // pre-emphasis warning of the demo disc comes with it.
        HWND warn = WaitDialog(prog.pi.dwProcessId, Text("ﾌﾟﾘｴﾝﾌｧｼｽのかかったﾄﾗｯｸが存在します", "pre-emphasis"), 10000);
        ASSERT_NE(warn, nullptr) << "no pre-emphasis warning";
        Press(warn, IDOK);
        HWND bench = WaitDialog(prog.pi.dwProcessId, Text("計測中です……", "Measuring..."), 10000);
        ASSERT_NE(bench, nullptr) << "no benchmark window";
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(bench, IDC_SPD_BUTTON2)));
        EXPECT_TRUE(EndMessage(Text("データ取り込みを終了しました", "Ripping finished")));
        EXPECT_EQ(WindowText(bench), Text("計測結果", "Result"));
        auto label = [&](int id) { return WindowText(GetDlgItem(bench, id)); };
        EXPECT_EQ(label(IDC_SPD_USINGAPI), "Windows ASPI API set");
        EXPECT_EQ(label(IDC_SPD_MINSIDE).rfind("00:00:00 - ", 0), 0u) << label(IDC_SPD_MINSIDE);
        // The outer area ends before the last second of the disc (1950 sectors).
        EXPECT_EQ(label(IDC_SPD_MOUTSIDE).substr(11), "00:24:74") << label(IDC_SPD_MOUTSIDE);
        const std::string errorsNone = Text("エラー発生=0", "errors=0");
        for (int id : {IDC_SPD_NINSPEED, IDC_SPD_NOUTSPEED, IDC_SPD_BINSPEED, IDC_SPD_BOUTSPEED})
            EXPECT_NE(label(id).find(errorsNone), std::string::npos) << Utf8(label(id));
        // Once the end message is answered the result is in front again.
        bool front = false;
        for (int t = 0; t < 5000 && !(front = GetForegroundWindow() == bench); t += 50) Sleep(50);
        EXPECT_TRUE(front) << "the main window stayed in front of the result";
        Screenshot(Shots(), shot);
        ASSERT_TRUE(IsWindowEnabled(GetDlgItem(bench, IDC_SPD_BUTTON2)));
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
        Press(bench, IDC_SPD_BUTTON2);
        std::string report;
        for (int t = 0; t < 5000 && report.empty(); t += 100) {
            Sleep(100);
            if (!OpenClipboard(nullptr)) continue;
            if (HANDLE h = GetClipboardData(CF_TEXT)) {
                if (const char* p = static_cast<const char*>(GlobalLock(h))) report = p;
                GlobalUnlock(h);
            }
            CloseClipboard();
        }
        std::ofstream(Dir() + "\\bench_report_" + shot + ".txt", std::ios::binary) << report;
        EXPECT_EQ(report.rfind("Wendrix CD-DA Ripping Benchmark version 1.0\r\nPlatform is Windows", 0), 0u) << report;
        EXPECT_NE(report.find("\r\nTest Date : "), std::string::npos);
        EXPECT_NE(report.find("\r\nTarget Drive - "), std::string::npos);
        const std::string inner = Text("計測領域（内周）", "Area (inner)");
        EXPECT_NE(report.find("\r\n" + inner + std::string(26 - inner.size(), ' ') + label(IDC_SPD_MINSIDE) + "\r\n"),
                  std::string::npos);
        EXPECT_NE(report.find("    " + label(IDC_SPD_BOUTSPEED) + "\r\n\r\n"), std::string::npos);
        Press(bench, IDC_SPD_BUTTON1);
        EXPECT_TRUE(WaitGone(bench, 5000));
    }
    void WriteBench(const std::string& name) {
        std::ofstream f(Dir() + "\\bench_" + name + ".txt");
        f << (endTick - clickTick) / 1000.0 << "\n";
    }

    TProgram prog;
    HANDLE process = nullptr;
    HWND list = nullptr, toolbar = nullptr;
    bool english = false;
    std::string outName = "out";
    DWORD clickTick = 0, endTick = 0;
    std::string benchName;  // set by the benchmark: CPU times are taken
};

}  // namespace

// WAV: the selected tracks byte for byte, the report, the pre-emphasised
// track's name, the overwrite question, and a disc change.
TEST_F(RipE2E, WavRipReportOverwriteAndDiscChange) {
    outName = "wav";
    StartProgram(Settings(Output("WAVE")));
    Screenshot(Shots(), "tracklist_ja");
    EXPECT_EQ(ListText(process, list, 3, 3), Sjis("あり"));
    Select({1, 2, 4});
    // Files without names get one through the name prompt.
    PressRip();
    HWND name = WaitDialog(prog.pi.dwProcessId, Sjis("警告"), 10000);
    ASSERT_NE(name, nullptr) << "no name prompt";
    SetText(GetDlgItem(name, 2202), "demo");
    Press(name, 2204);  // as the base file name
    const auto rows = TakeReport("report_ja");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], "1");
    EXPECT_EQ(rows[1][0], "2");
    EXPECT_EQ(rows[2][0], "4");
    for (auto& r : rows) EXPECT_EQ(r[1], "OK");
    EXPECT_TRUE(EndMessage(Sjis("データ取り込みを終了しました")));
    ExpectImagePcm(Out() + "\\demo_01.wav", 1);
    ExpectImagePcm(Out() + "\\demo_02.wav", 2);
    // De-emphasis was applied to track 4: its name says so, and its audio
    // is not the image's any more.
    const std::vector<std::uint8_t> t4 = ReadAll(Out() + "\\demo_04_DeEMPH.wav");
    EXPECT_EQ(t4.size(), 44u + std::size_t(DemoTracks()[3].length) * 2352);
    EXPECT_EQ(ListText(process, list, 0, 5), "demo_01");
    // The rip went into the folder the file list shows, which lists the new files.
    EXPECT_EQ(FileRows(), (std::vector<std::string>{"..", "demo_01.wav", "demo_02.wav", "demo_04_DeEMPH.wav"}));
    Screenshot(Shots(), "filer_ja");

    // The same track again: the overwrite question, answered Cancel.
    Select({1});
    PressRip();
    HWND ask = WaitDialog(prog.pi.dwProcessId, Sjis("上書きしてもよいですか"), 10000);
    ASSERT_NE(ask, nullptr) << "no overwrite question";
    EXPECT_EQ(BoxText(ask), Sjis("既に ") + Out() + "\\demo_01.wav" + Sjis(" というﾌｧｲﾙは存在しています\r上書きしてもよいですか?"));
    Press(ask, IDCANCEL);
    EXPECT_TRUE(WaitGone(ask, 5000));
    Sleep(500);
    EXPECT_EQ(WaitDialog(prog.pi.dwProcessId, Text("経過", "Progress"), 0), nullptr);

    // A disc change in the emulator's configuration, as a drive sees it:
    // the disc taken out, then another put in.  Each shows at the next
    // polls (every 2 s); the times are kept for the record (two poll
    // periods are 4 s), the test only waits long enough for a busy machine.
    // The program polls only while its main window is the active one: it
    // is again once the question above has gone (no other program's window
    // shares this test's display and Wine server, see e2e_own_session).
    ASSERT_EQ(WaitValue([&] { return int(GetForegroundWindow() == prog.Main); }, 1), 1)
        << "the main window did not become the active one again";
    auto changeImage = [&](const std::string& image) {
        std::ifstream in(AppDir() + "\\wnaspi32.ini");
        std::string ini((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        in.close();
        const auto p = ini.find("Image=");
        const auto e = ini.find('\n', p);
        ini.replace(p, e - p, "Image=" + image);
        WriteText(AppDir() + "\\wnaspi32.ini", ini);
        return GetTickCount();
    };
    auto waitRows = [&](int rows, DWORD since) -> DWORD {
        while (GetTickCount() - since < 15000) {
            if (ListCount(list) == rows) return GetTickCount() - since;
            Sleep(20);
        }
        return 99999;
    };
    const DWORD out = waitRows(0, changeImage(""));
    const DWORD in = waitRows(2, changeImage("demo\\second.cue"));
    EXPECT_LE(out, 15000u) << "the empty drive did not show";
    EXPECT_LE(in, 15000u) << "the new disc did not show";
    std::ofstream(Dir() + "\\discchange.txt") << "removed " << out << " ms, inserted " << in << " ms\n";
}

// MP3 through the GOGO stand-in, with tags set in the tag dialog.
TEST_F(RipE2E, Mp3WithTags) {
    outName = "mp3";
    StartProgram(Settings(Output("MP3") + "[MP3]\r\nEncodeType=GOGO\r\nBitRate=128K\r\n"));
    for (int t : {1, 3}) {
        Select({t});
        Key(list, 'I');
        HWND tag = WaitDialog(prog.pi.dwProcessId, Sjis("ID3タグ編集"), 10000);
        ASSERT_NE(tag, nullptr) << "no tag dialog";
        SetText(GetDlgItem(tag, IDC_ID3_TITLE), "Title " + std::to_string(t));
        SetText(GetDlgItem(tag, IDC_ID3_ARTIST), "Wendrix Test Ensemble");
        SetText(GetDlgItem(tag, IDC_ID3_ALBUM), "Demo Disc");
        SetText(GetDlgItem(tag, IDC_ID3_YEAR), "2026");
        Press(tag, IDOK);
        HWND done = WaitDialog(prog.pi.dwProcessId, Sjis("のID3タグを設定しました"), 10000);
        ASSERT_NE(done, nullptr);
        Press(done, IDOK);
        WaitGone(done, 5000);
    }
    // The base file name from the File menu: blanks and the extension go.
    PostMessageA(prog.Main, WM_COMMAND, IDM_SETBASEFILENAME, 0);
    HWND base = WaitDialog(prog.pi.dwProcessId, Sjis("ベースファイル名の設定"), 10000);
    ASSERT_NE(base, nullptr) << "no base-name dialog";
    EXPECT_EQ(WindowText(GetDlgItem(base, IDC_RENAME_LABEL)), Sjis("ここで設定した名前_番号(NN)の形式になります"));
    SetText(GetDlgItem(base, IDC_RENAME_EDIT), "  song.wav ");
    Press(base, IDOK);
    ASSERT_TRUE(WaitGone(base, 5000));
    for (int t : {1, 2, 3, 4}) EXPECT_EQ(ListText(process, list, t - 1, 5), "song_0" + std::to_string(t));
    Select({1, 2, 3});
    PressRip();
    const auto rows = TakeReport("");
    EXPECT_EQ(rows.size(), 3u);
    EXPECT_TRUE(EndMessage(Sjis("データ取り込みを終了しました")));
    for (int t : {1, 2, 3})
        EXPECT_GT(ReadAll(Out() + "\\song_0" + std::to_string(t) + ".mp3").size(), 10000u);
}

// Cancel during a track on a slow drive; the progress window mid-rip.
TEST_F(RipE2E, CancelDuringATrack) {
    outName = "cancel";
    // An old file of track 1, which the user agrees to replace.
    CreateDirectoryA(Out().c_str(), nullptr);
    WriteText(Out() + "\\cut_01.wav", "old track 1");
    StartProgram(Settings(Output("WAVE")), "wnaspi32_crawl.ini");
    Select({1, 2, 3});
    PressRip();
    HWND name = WaitDialog(prog.pi.dwProcessId, Sjis("警告"), 10000);
    ASSERT_NE(name, nullptr);
    SetText(GetDlgItem(name, 2202), "cut");
    Press(name, 2204);
    HWND ask = WaitDialog(prog.pi.dwProcessId, Sjis("上書きしてもよいですか"), 10000);
    ASSERT_NE(ask, nullptr) << "no overwrite question";
    Press(ask, IDOK);
    HWND progress = WaitDialog(prog.pi.dwProcessId, Sjis("経過"), 10000);
    ASSERT_NE(progress, nullptr) << "no progress window";
    Sleep(300);
    Screenshot(Shots(), "progress_ja");
    // The close box during track 1 cancels as 中止 does.
    PostMessageA(progress, WM_SYSCOMMAND, SC_CLOSE, 0);
    TakeReport("");
    EXPECT_TRUE(EndMessage(Sjis("データ取り込みを中止しました")));
    // The old file is as it was; the cancelled track and track 3, never
    // started, left no file, not even a temporary one.
    EXPECT_EQ(ReadAll(Out() + "\\cut_01.wav"), (std::vector<std::uint8_t>{'o', 'l', 'd', ' ', 't', 'r', 'a', 'c', 'k', ' ', '1'}));
    EXPECT_EQ(GetFileAttributesA((Out() + "\\cut_02.wav").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA((Out() + "\\cut_03.wav").c_str()), INVALID_FILE_ATTRIBUTES);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((Out() + "\\*.$$$").c_str(), &fd);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "a temporary file stayed: " << fd.cFileName;
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    std::ofstream(Dir() + "\\cancel_files.txt") << "done\n";
}

// A later track whose output cannot be created (a folder holds its name):
// the run ends as failed and its end message names that track and every
// later one.  Then a folder that fills up during track 2 (a small file
// system mounted there, where the machine lets the script mount one): no
// file is left under the names of the tracks that did not fit, and the end
// message names them.
TEST_F(RipE2E, LaterTracksThatFailAreNamed) {
    outName = "late";
    CreateDirectoryA(Out().c_str(), nullptr);
    CreateDirectoryA((Out() + "\\late_02.wav").c_str(), nullptr);
    StartProgram(Settings(Output("WAVE"), false, false));
    Select({1, 2, 3, 4});
    PressRip();
    HWND name = WaitDialog(prog.pi.dwProcessId, Sjis("警告"), 10000);
    ASSERT_NE(name, nullptr);
    SetText(GetDlgItem(name, 2202), "late");
    Press(name, 2204);
    std::string other;
    HWND end = ExpectDialog(prog.pi.dwProcessId, Sjis("次のトラックは取り込めませんでした"), 120000, other);
    ASSERT_NE(end, nullptr) << "no end message naming the tracks; " << other;
    const std::string text = BoxText(end);
    EXPECT_NE(text.find(Sjis("トラック 2: ﾌｧｲﾙのオープンに失敗しました")), std::string::npos) << Utf8(text);
    EXPECT_NE(text.find(Sjis("トラック 3: 取り込まれていません")), std::string::npos) << Utf8(text);
    EXPECT_NE(text.find(Sjis("トラック 4: 取り込まれていません")), std::string::npos) << Utf8(text);
    Press(end, IDOK);
    EXPECT_TRUE(WaitGone(end, 5000));
    ExpectImagePcm(Out() + "\\late_01.wav", 1);

}

// A folder that fills up during track 2 (a small file system mounted there,
// where the machine lets the script mount one): the program's free-space
// check looks at the folder itself, not at its drive's root, and refuses
// track 2; no file is left under the names of the tracks that did not fit,
// and the end message names them.
TEST_F(RipE2E, AFolderThatFillsUp) {
    outName = "full";
    ULARGE_INTEGER caller{}, total{}, free{};
    if (!GetDiskFreeSpaceExA((Out() + "\\").c_str(), &caller, &total, &free) || total.QuadPart > 64u * 1024 * 1024)
        GTEST_SKIP() << "no small volume here";
    StartProgram(Settings(Output("WAVE"), false, false));
    Select({1, 2, 3, 4});
    PressRip();
    HWND name = WaitDialog(prog.pi.dwProcessId, Sjis("警告"), 10000);
    ASSERT_NE(name, nullptr);
    SetText(GetDlgItem(name, 2202), "fill");
    Press(name, 2204);
    std::string other;
    HWND space = ExpectDialog(prog.pi.dwProcessId, Sjis("ディスクの空き容量が足りません"), 120000, other);
    ASSERT_NE(space, nullptr) << "no free-space refusal; " << other;
    Press(space, IDOK);
    HWND end = ExpectDialog(prog.pi.dwProcessId, Sjis("次のトラックは取り込めませんでした"), 60000, other);
    ASSERT_NE(end, nullptr) << other;
    const std::string text = BoxText(end);
    for (int t : {2, 3, 4})
        EXPECT_NE(text.find(Sjis("トラック ") + std::to_string(t) + ":"), std::string::npos) << Utf8(text);
    Press(end, IDOK);
    EXPECT_TRUE(WaitGone(end, 5000));
    ExpectImagePcm(Out() + "\\fill_01.wav", 1);
    for (const char* n : {"fill_02.wav", "fill_03.wav", "fill_04_DeEMPH.wav"})
        EXPECT_EQ(GetFileAttributesA((Out() + "\\" + n).c_str()), INVALID_FILE_ATTRIBUTES) << n;
}

// The same road in English: track list, progress and report windows.
// The file manager of the program: the shell's menu of a file with the
// program's own entries, the attributes of a file, and tracks dragged
// from the track list onto a folder row of the file list, which rip there.
TEST_F(RipE2E, FileMenusAndTracksDroppedOnAFolder) {
    outName = "drop";
    CreateDirectoryA(Out().c_str(), nullptr);
    CreateDirectoryA((Out() + "\\into").c_str(), nullptr);
    WriteText(Out() + "\\song.mp3", std::string(100, 'x'));
    StartProgram(Settings(Output("WAVE")));
    HWND files = FindChild(prog.Main, IDC_LISTVIEW1);
    ASSERT_EQ(FileRows(), (std::vector<std::string>{"..", "into", "song.mp3"}));
    auto rowRect = [&](HWND lv, int row) {
        TRemote mem(process, sizeof(RECT));
        RECT r{LVIR_BOUNDS, 0, 0, 0};
        mem.Write(&r, sizeof r);
        SendMessageA(lv, LVM_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(mem.Ptr()));
        mem.Read(&r, sizeof r);
        return r;
    };
    auto menu = [&]() -> HWND {
        for (int t = 0; t < 5000; t += 50) {
            for (HWND w = FindWindowA("#32768", nullptr); w; w = FindWindowExA(nullptr, w, "#32768", nullptr))
                if (IsWindowVisible(w)) return w;
            Sleep(50);
        }
        return nullptr;
    };

    // The shell's menu of song.mp3, its own entries on top.
    for (int i = 0; i < ListCount(files); ++i) ListSelect(process, files, i, i == 2);
    RECT r = rowRect(files, 2);
    POINT at{r.left + 40, (r.top + r.bottom) / 2};
    ClientToScreen(files, &at);
    PostMessageA(files, WM_CONTEXTMENU, WPARAM(files), MAKELPARAM(at.x, at.y));
    HWND popup = menu();
    ASSERT_NE(popup, nullptr) << "no context menu";
    Screenshot(Shots(), "filemenu_ja");
    PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(popup, WM_KEYUP, VK_ESCAPE, 0xC0000001);
    for (int t = 0; t < 5000 && IsWindowVisible(popup); t += 50) Sleep(50);

    // A: the attributes of song.mp3, made read-only.
    Key(files, 'A');
    HWND attr = WaitDialog(prog.pi.dwProcessId, Sjis("ﾌｧｲﾙの属性"), 10000);
    ASSERT_NE(attr, nullptr) << "no attributes dialog";
    EXPECT_EQ(WindowText(GetDlgItem(attr, 2721)), Sjis("song.mp3 の新しい属性をセットしてください"));
    Screenshot(Shots(), "attributes_ja");
    SendMessageA(GetDlgItem(attr, 2725), BM_SETCHECK, BST_CHECKED, 0);  // ReadOnly
    SendMessageA(GetDlgItem(attr, 2726), BM_SETCHECK, BST_CHECKED, 0);  // set the attributes
    Press(attr, IDOK);
    ASSERT_TRUE(WaitGone(attr, 5000));
    for (int t = 0; t < 5000 && !(GetFileAttributesA((Out() + "\\song.mp3").c_str()) & FILE_ATTRIBUTE_READONLY); t += 50)
        Sleep(50);
    EXPECT_TRUE(GetFileAttributesA((Out() + "\\song.mp3").c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA((Out() + "\\song.mp3").c_str(), FILE_ATTRIBUTE_NORMAL);

    // C: song.mp3 copied into the folder typed in the destination prompt.
    Key(files, 'C');
    HWND dest = WaitDialog(prog.pi.dwProcessId, Sjis("ファイルのコピー"), 10000);
    ASSERT_NE(dest, nullptr) << "no destination prompt";
    EXPECT_EQ(WindowText(GetDlgItem(dest, 2711)), Out() + "\\");
    SetText(GetDlgItem(dest, 2713), Out() + "\\into");
    Screenshot(Shots(), "copyto_ja");
    Press(dest, IDOK);
    ASSERT_TRUE(WaitGone(dest, 5000));
    for (int t = 0; t < 5000 && GetFileAttributesA((Out() + "\\into\\song.mp3").c_str()) == INVALID_FILE_ATTRIBUTES; t += 50)
        Sleep(50);
    EXPECT_EQ(ReadAll(Out() + "\\into\\song.mp3").size(), 100u);

    // Track 1 dragged onto the row of the folder "into" (the window on top
    // of any other test's windows while the pointer is over it).
    SetWindowPos(prog.Main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    Select({1});
    RECT from = rowRect(list, 0);
    RECT onto = rowRect(files, 1);
    POINT target{onto.left + 40, (onto.top + onto.bottom) / 2};
    ClientToScreen(files, &target);
    SetCursorPos(target.x, target.y);
    POINT inTracks = target;
    ScreenToClient(list, &inTracks);
    const LPARAM press = MAKELPARAM(from.left + 20, (from.top + from.bottom) / 2);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, press);
    PostMessageA(list, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(inTracks.x, inTracks.y));
    PostMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(inTracks.x, inTracks.y));
    const std::string folder = Out() + "\\into\\";
    HWND ask = WaitDialog(prog.pi.dwProcessId, Sjis("ﾃﾞｰﾀを書き出しても良いですか"), 20000);
    SetWindowPos(prog.Main, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ASSERT_NE(ask, nullptr) << "no question after the drop";
    EXPECT_EQ(BoxText(ask), Sjis("ﾃﾞｨﾚｸﾄﾘ ") + folder + Sjis(" にCD-DAﾃﾞｰﾀを書き出しても良いですか?"));
    Press(ask, IDOK);
    HWND name = WaitDialog(prog.pi.dwProcessId, Sjis("警告"), 10000);
    ASSERT_NE(name, nullptr) << "no name prompt";
    SetText(GetDlgItem(name, 2202), "dropped");
    Press(name, 2204);
    TakeReport("");
    EXPECT_TRUE(EndMessage(Sjis("データ取り込みを終了しました")));
    ExpectImagePcm(folder + "dropped_01.wav", 1);
}

TEST_F(RipE2E, EnglishWindows) {
    english = true;
    outName = "english";
    StartProgram(Settings(Output("WAVE"), true), "wnaspi32_slow.ini");
    Screenshot(Shots(), "tracklist_en");
    // The file manager's forms in English.
    HWND files = FindChild(prog.Main, IDC_LISTVIEW1);
    WriteText(Out() + "\\song.mp3", "x");
    for (int t = 0; t < 5000 && ListCount(files) < 2; t += 50) Sleep(50);
    for (int i = 0; i < ListCount(files); ++i) ListSelect(process, files, i, i == 1);
    Key(files, 'A');
    HWND attr = WaitDialog(prog.pi.dwProcessId, "File attributes", 10000);
    ASSERT_NE(attr, nullptr) << "no attributes dialog";
    EXPECT_EQ(WindowText(GetDlgItem(attr, 2721)), "Set the new attributes of song.mp3");
    Screenshot(Shots(), "attributes_en");
    Press(attr, IDCANCEL);
    ASSERT_TRUE(WaitGone(attr, 5000));
    Key(files, 'M');
    HWND dest = WaitDialog(prog.pi.dwProcessId, "Move files", 10000);
    ASSERT_NE(dest, nullptr) << "no destination prompt";
    Screenshot(Shots(), "copyto_en");
    Press(dest, IDCANCEL);
    ASSERT_TRUE(WaitGone(dest, 5000));
    DeleteFileA((Out() + "\\song.mp3").c_str());
    Select({1});
    PressRip();
    HWND name = WaitDialog(prog.pi.dwProcessId, "Warning", 10000);
    ASSERT_NE(name, nullptr);
    SetText(GetDlgItem(name, 2202), "english");
    Press(name, 2203);
    HWND progress = WaitDialog(prog.pi.dwProcessId, "Progress", 10000);
    ASSERT_NE(progress, nullptr);
    Sleep(1200);
    Screenshot(Shots(), "progress_en");
    const auto rows = TakeReport("report_en");
    EXPECT_EQ(rows.size(), 1u);
    EXPECT_TRUE(EndMessage("Ripping finished"));
    ExpectImagePcm(Out() + "\\english.wav", 1);
}

// The track-range dialog and the drive benchmark, in both languages.
TEST_F(RipE2E, TrackRangeAndBenchmark) {
    StartProgram(Settings(Output("WAVE")));
    TrackRange("trkprop_ja");
    Benchmark("bench_ja");
}

TEST_F(RipE2E, TrackRangeAndBenchmarkInEnglish) {
    english = true;
    StartProgram(Settings(Output("WAVE"), true));
    TrackRange("trkprop_en");
    Benchmark("bench_en");
}

// Benchmark (run by hand): the whole demo disc to WAV or to MP3, wall and
// CPU time from 取り込み to the end message.
class RipBench : public RipE2E, public ::testing::WithParamInterface<bool> {};

TEST_P(RipBench, DISABLED_WholeDisc) {
    const bool mp3 = GetParam();
    outName = mp3 ? "bench_mp3" : "bench_wav";
    benchName = mp3 ? "mp3" : "wav";
    StartProgram(Settings(mp3 ? Output("MP3") + "[MP3]\r\nEncodeType=GOGO\r\nBitRate=128K\r\n"
                              : Output("WAVE"),
                          false, false),
                 "wnaspi32_fast.ini");
    Select({1, 2, 3, 4});
    PressRip();
    HWND name = WaitDialog(prog.pi.dwProcessId, Sjis("警告"), 10000);
    ASSERT_NE(name, nullptr);
    SetText(GetDlgItem(name, 2202), "bench");
    Press(name, 2204);
    EXPECT_TRUE(EndMessage(Sjis("データ取り込みを終了しました")));
    WriteBench(mp3 ? "mp3" : "wav");
}
INSTANTIATE_TEST_SUITE_P(Outputs, RipBench, ::testing::Values(false, true));
