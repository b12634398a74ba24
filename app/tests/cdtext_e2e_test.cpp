// Driven by cdtext_e2e.sh: the CD-TEXT viewer of the real program on the
// demo disc, compared with the disc's CUE sheet; its export read back; its
// titles copied into the track list as tags and file names; three rips
// whose completion notices go to the script's SSTP target (the script
// checks the notices byte for byte and the tags with mutagen); then a
// hostile disc put in while the viewer is open.
//
// Environment: WX_E2E_DIR (the prepared folder, Windows path) and
// WX_SSTP_PORT (the target's port).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/tests/guidriver.h"
#include "resources/cdtextview.h"
#include "resources/wendrixn.h"

using namespace guidriver;

namespace {

std::string App() { return Dir() + "\\app"; }
std::string Out() { return Dir() + "\\out"; }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The CD-TEXT of a CUE sheet: entry 0 the disc, then one per track.
struct TCueText {
    std::string Title, Performer;
};
std::vector<TCueText> CueText(const std::string& path) {
    std::vector<TCueText> t(1);
    std::istringstream in(ReadFile(path));
    std::string line;
    auto quoted = [](const std::string& l) {
        const auto a = l.find('"'), b = l.rfind('"');
        return a < b ? l.substr(a + 1, b - a - 1) : std::string();
    };
    while (std::getline(in, line)) {
        const std::string w = line.substr(line.find_first_not_of(' '));
        if (w.rfind("TRACK ", 0) == 0) t.emplace_back();
        if (w.rfind("TITLE ", 0) == 0) t.back().Title = quoted(w);
        if (w.rfind("PERFORMER ", 0) == 0) t.back().Performer = quoted(w);
    }
    return t;
}

// The demo disc's file names from the template "%.02N %R - %T".
std::string Stem(int track, const TCueText& t) {
    char n[4];
    std::snprintf(n, sizeof n, "%02d", track);
    return std::string(n) + " " + t.Performer + " - " + t.Title;
}

class CdTextE2E : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string port = std::getenv("WX_SSTP_PORT") ? std::getenv("WX_SSTP_PORT") : "1";
        std::ofstream(App() + "\\wndrxn.ini", std::ios::binary)
            << "[Common]\r\nIsDispSplash=No\r\nUseClassDriver=No\r\nAutoRefreshTrackList=Yes\r\nDispResult=No\r\n"
               "WorkingDir=" << Dir() << "\\work\\\r\n"
            << "[DEVICES_0]\r\nAdapter=0\r\nTarget=1\r\nDriveMaker=PLEXTOR\r\nDriveType=CD-ROM\r\n"
            << "[Format]\r\nOutputType=MP3\r\n[MP3]\r\nEncodeType=GOGO\r\nBitRate=128K\r\n"
            << "[ID3TAG]\r\nFilenameSelect=0\r\nFilenameEdit=%.02N %R - %T\r\n"
            << "[Pellora]\r\nUseSendStatus=Yes\r\nIPAddress=127.0.0.1\r\nPort=" << port << "\r\n";
        SetEnvironmentVariableA("WX_ASPI_CONFIG", (App() + "\\wnaspi32.ini").c_str());
        CreateDirectoryA(Out().c_str(), nullptr);
        ASSERT_TRUE(prog.Start(App() + "\\wendrix.exe", "\"" + Out() + "\"", App()));
        ASSERT_NE(prog.WaitMain("Wendrix for Windows", 30000), nullptr) << "no main window";
        pid = prog.pi.dwProcessId;
        list = FindChild(prog.Main, IDC_TRACKLIST);
        toolbar = FindChild(prog.Main, IDC_TOOLBAR2);
        ASSERT_TRUE(list && toolbar);
        ASSERT_TRUE(WaitRows(list, 4, 15000));
    }
    void TearDown() override {
        if (prog.Main && IsWindow(prog.Main)) {
            EXPECT_TRUE(prog.Close(20000)) << "the program did not end";
        }
    }
    static bool WaitRows(HWND lv, int n, int ms) {
        for (int t = 0; t <= ms; t += 50) {
            if (ListCount(lv) == n) return true;
            Sleep(50);
        }
        return false;
    }
    // Waits for the box with this text (UTF-8) and answers it with OK.
    bool Answer(const std::string& text, int ms = 15000) {
        std::string other;
        HWND box = ExpectDialog(pid, Sjis(text), ms, other);
        if (!box) {
            ADD_FAILURE() << "no box \"" << text << "\"; " << other;
            return false;
        }
        Press(box, IDOK);
        return WaitGone(box, 5000);
    }
    HWND OpenViewer() {
        EXPECT_TRUE(ClickToolButton(prog.pi.hProcess, toolbar, IDT_TOOLCDTEXTBTN));
        HWND v = WaitDialog(pid, Sjis("CD-TEXT情報"), 10000);
        EXPECT_NE(v, nullptr) << "no CD-TEXT window";
        return v;
    }
    void Command(HWND w, int id) { PostMessageA(w, WM_COMMAND, id, 0); }
    std::string Cell(HWND lv, int row, int col) { return ListText(prog.pi.hProcess, lv, row, col); }
    // Selects the tracks, rips them and answers the end message.
    void Rip(std::initializer_list<int> tracks) {
        for (int i = 0; i < ListCount(list); ++i) ListSelect(prog.pi.hProcess, list, i, false);
        for (int t : tracks) ListSelect(prog.pi.hProcess, list, t - 1, true);
        ASSERT_TRUE(ClickToolButton(prog.pi.hProcess, toolbar, IDT_TOOLRIPSTART));
        ASSERT_TRUE(Answer("に読み出したデータを書き出します"));
        ASSERT_TRUE(Answer("データ取り込みを終了しました", 120000));
    }
    // Points the emulated drive at another image ("" takes the disc out).
    void ChangeDisc(const std::string& image) {
        std::string ini = ReadFile(App() + "\\wnaspi32.ini");
        const auto p = ini.find("Image=");
        ini.replace(p, ini.find('\n', p) - p, "Image=" + image);
        std::ofstream(App() + "\\wnaspi32.ini", std::ios::binary) << ini;
    }

    TProgram prog;
    DWORD pid = 0;
    HWND list = nullptr, toolbar = nullptr;
};

}  // namespace

TEST_F(CdTextE2E, ViewerExportCopyRipNoticesAndAHostileDisc) {
    const std::vector<TCueText> cue = CueText(App() + "\\demo\\demo.cue");
    ASSERT_EQ(cue.size(), 5u);

    // The viewer shows the CUE sheet's titles and performers.
    HWND viewer = OpenViewer();
    ASSERT_NE(viewer, nullptr);
    HWND rows = FindChild(viewer, IDC_CDTEXT_LIST);
    ASSERT_TRUE(WaitRows(rows, 4, 10000));
    EXPECT_EQ(ControlText(FindChild(viewer, IDC_CDTEXT_ALBUM)), cue[0].Title);
    EXPECT_EQ(ControlText(FindChild(viewer, IDC_CDTEXT_ARTIST)), cue[0].Performer);
    EXPECT_EQ(ControlText(FindChild(viewer, IDC_CDTEXT_CODE)), "ISO-8859-1");
    EXPECT_EQ(ControlText(FindChild(viewer, IDC_CDTEXT_LANG)), Sjis("英語"));
    for (int t = 1; t <= 4; ++t) {
        EXPECT_EQ(Cell(rows, t - 1, 0), std::to_string(t));
        EXPECT_EQ(Cell(rows, t - 1, 1), cue[std::size_t(t)].Title);
        EXPECT_EQ(Cell(rows, t - 1, 2), cue[std::size_t(t)].Performer);
    }
    Screenshot(Dir() + "\\shots", "viewer");

    // Export with the tab filter of the system's save dialog, read back.
    Command(viewer, IDM_CDTEXT_CSV);
    HWND save = WaitDialog(pid, Sjis("書き出すCSVﾌｧｲﾙの選択"), 10000);
    ASSERT_NE(save, nullptr) << "no save dialog";
    HWND filter = FindChild(save, 0x470);  // cmb1
    ASSERT_NE(filter, nullptr);
    SendMessageA(filter, CB_SETCURSEL, 1, 0);
    for (WORD code : {CBN_SELCHANGE, CBN_SELENDOK})  // as a pick with the mouse sends them
        SendMessageA(save, WM_COMMAND, MAKEWPARAM(0x470, code), LPARAM(filter));
    HWND name = FindChild(save, 0x47C);  // cmb13, or edt1 in older dialogs
    if (!name) name = FindChild(save, 0x480);
    ASSERT_NE(name, nullptr);
    const std::string csv = Dir() + "\\cdtext.csv";
    SetText(name, csv);
    Press(save, IDOK);
    ASSERT_TRUE(Answer("CSVﾌｧｲﾙを書き込みました"));
    {
        std::istringstream in(ReadFile(csv));
        std::vector<std::vector<std::string>> lines;
        std::string line;
        while (std::getline(in, line)) {
            ASSERT_FALSE(line.empty() || line.back() != '\r') << "lines end with CR LF";
            line.pop_back();
            std::vector<std::string> f;
            std::size_t a = 0;
            for (std::size_t b; (b = line.find('\t', a)) != std::string::npos; a = b + 1) f.push_back(line.substr(a, b - a));
            f.push_back(line.substr(a));
            lines.push_back(f);
        }
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_EQ(lines[0], (std::vector<std::string>{cue[0].Title, cue[0].Performer}));
        for (int r = 0; r < 4; ++r) {
            ASSERT_EQ(lines[std::size_t(r) + 1].size(), 7u);
            for (int c = 0; c < 7; ++c) EXPECT_EQ(lines[std::size_t(r) + 1][std::size_t(c)], Cell(rows, r, c));
        }
    }

    // Titles into the track table: tags, then file names.
    Command(viewer, IDM_CDTEXT_MP3ID3);
    ASSERT_TRUE(Answer("MP3 ID3タグにCD-TEXTデータを登録しました."));
    Command(viewer, IDM_CDTEXT_SETNAMES);
    ASSERT_TRUE(Answer("作成ﾌｧｲﾙ名に設定しました"));
    Command(viewer, IDM_CDTEXT_CLOSE);
    ASSERT_TRUE(WaitGone(viewer, 5000));
    for (int t = 1; t <= 4; ++t) {
        EXPECT_EQ(Cell(list, t - 1, 5), Stem(t, cue[std::size_t(t)]));
        EXPECT_EQ(Cell(list, t - 1, 6), Sjis("あり"));
    }
    EXPECT_GT(GetPrivateProfileIntA("CDTEXTView", "WindowWidth", 0, (App() + "\\wndrxn.ini").c_str()), 0);

    // Three runs; the target answers the notices 200 in pieces, 200, 200
    // (first run), 400 (second: its later notices are skipped) and not at
    // all (third).  Each run's files are moved aside for the next.
    CreateDirectoryA((Dir() + "\\kept").c_str(), nullptr);
    for (int run = 1; run <= 3; ++run) {
        if (run == 1)
            Rip({1, 2, 3});
        else
            Rip({1, 2});
        for (int t = 1; t <= (run == 1 ? 3 : 2); ++t) {
            const std::string file = Stem(t, cue[std::size_t(t)]) + ".mp3";
            const std::string kept = Dir() + "\\kept\\" + (run == 1 ? "" : "run" + std::to_string(run) + "_") + file;
            EXPECT_TRUE(MoveFileA((Out() + "\\" + file).c_str(), kept.c_str())) << file;
        }
    }

    // A hostile disc while the viewer is open: the disc taken out and the
    // other put in, each seen by the viewer's poll.  Its CD-TEXT claims
    // tracks 2 to 255 with broken CRCs; only tracks 2 to 4 take its texts.
    viewer = OpenViewer();
    ASSERT_NE(viewer, nullptr);
    rows = FindChild(viewer, IDC_CDTEXT_LIST);
    ChangeDisc("");
    ASSERT_TRUE(Answer("ﾒﾃﾞｨｱが挿入されていません.", 20000));
    EXPECT_EQ(ListCount(rows), 0);
    EXPECT_EQ(ListCount(list), 0);
    ChangeDisc("demo\\hostile.cue");
    ASSERT_TRUE(Answer("PACKET CRC ERROR.", 20000));
    ASSERT_TRUE(WaitRows(rows, 254, 10000));
    EXPECT_EQ(Cell(rows, 0, 0), "2");
    EXPECT_EQ(Cell(rows, 253, 1), "T255");
    EXPECT_EQ(ListCount(list), 4);
    Command(viewer, IDM_CDTEXT_MP3ID3);
    ASSERT_TRUE(Answer("MP3 ID3タグにCD-TEXTデータを登録しました."));
    Command(viewer, IDM_CDTEXT_SETNAMES);
    ASSERT_TRUE(Answer("作成ﾌｧｲﾙ名に設定しました"));
    Screenshot(Dir() + "\\shots", "hostile");
    Command(viewer, IDM_CDTEXT_CLOSE);
    ASSERT_TRUE(WaitGone(viewer, 5000));
    ASSERT_EQ(ListCount(list), 4);
    EXPECT_EQ(Cell(list, 0, 5), "");
    EXPECT_EQ(Cell(list, 0, 6), Sjis("なし"));
    for (int t = 2; t <= 4; ++t) {
        EXPECT_EQ(Cell(list, t - 1, 5), Stem(t, {"T" + std::to_string(t), ""}));
        EXPECT_EQ(Cell(list, t - 1, 6), Sjis("あり"));
    }
}
