// Driven by cddb_e2e.sh: the CDDB windows through the real program, against
// the fake CDDB server on 127.0.0.1 (fake_cddb.py).  The demo disc is taken
// out and put in through the emulated drive's configuration; the automatic
// lookup asks, a match is chosen, the album folder made, the titles go into
// the track list and a rip writes them as tags (checked by mutagen in the
// script).  Then the disc dialog: options, HTTP through the authorizing
// proxy with an asked password, track texts, a submission, the local
// database, and a lookup against a server that drips its answer, cancelled.
//
// Environment: WX_E2E_DIR, the prepared folder (Windows path) holding
// app\wendrix.exe and the drive configuration; WX_CDDB_PORTS from the fake
// server.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "app/tests/guidriver.h"
#include "discinfo/tests/nettest_support.h"
#include "resources/cddbfrm.h"
#include "resources/cddbopt.h"
#include "resources/choice.h"
#include "resources/passedit.h"
#include "resources/tagforms.h"
#include "resources/TrkInfoSet.h"
#include "resources/wendrixn.h"

using namespace guidriver;

namespace {

// The output and album folders, on the test's own drive V:.
std::string Out() { return "V:\\out"; }
std::string Albums() { return "V:\\albums"; }

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The text of an edit control of the program (asked for, not its caption).
std::string EditText(HWND edit) {
    char buf[1024] = {};
    SendMessageTimeoutA(edit, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, nullptr);
    return buf;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class CddbE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ports = wx::FakeServerPorts();
        ASSERT_FALSE(ports.empty()) << "run through fake_cddb.py";
        net = wx::MakePlatformNetwork();
    }
    void TearDown() override {
        if (prog.Main && IsWindow(prog.Main)) {
            EXPECT_TRUE(prog.Close(20000)) << "the program did not end";
        }
    }

    int Port(const std::string& name) const { return ports.at(name); }

    void StartProgram() {
        const std::string ini =
            "[Common]\r\nIsDispSplash=No\r\nUseClassDriver=No\r\nAutoRefreshTrackList=Yes\r\nDispResult=No\r\n"
            "WorkingDir=" + Dir() + "\\work\\\r\n"
            "[DEVICES_0]\r\nAdapter=0\r\nTarget=1\r\nDriveMaker=PLEXTOR\r\nDriveType=CD-ROM\r\n"
            "[Format]\r\nOutputType=MP3\r\n[MP3]\r\nEncodeType=GOGO\r\nBitRate=128K\r\n"
            "[ID3TAG]\r\nID3TagFilenameSet=Yes\r\nID3TagCreateFolder=Yes\r\nCDDBafterAllSel=Yes\r\n"
            "ID3TagAlbumDir=" + Albums() + "\r\n"
            "[CDDB]\r\nAutoCDDBConnect=Yes\r\nMainServer=127.0.0.1\r\nPort=" + std::to_string(Port("inexact")) +
            "\r\nEmailAddress=tester@example.org\r\nSubmitProtocol=HTTP\r\n"
            "[CDDBServersList]\r\nHost1=127.0.0.1\r\n";
        WriteText(AppDir() + "\\wndrxn.ini", ini);
        SetEnvironmentVariableA("WX_ASPI_CONFIG", (AppDir() + "\\wnaspi32.ini").c_str());
        ASSERT_TRUE(prog.Start(AppDir() + "\\wendrix.exe", "\"" + Out() + "\"", AppDir()));
        ASSERT_NE(prog.WaitMain("Wendrix for Windows", 30000), nullptr) << "no main window";
        process = prog.pi.hProcess;
        list = FindChild(prog.Main, IDC_TRACKLIST);
        toolbar = FindChild(prog.Main, IDC_TOOLBAR2);
        ASSERT_NE(list, nullptr);
        ASSERT_TRUE(WaitRows(4, 20000));
    }

    bool WaitRows(int n, int ms) {
        for (int t = 0; t <= ms; t += 50) {
            if (ListCount(list) == n) return true;
            Sleep(50);
        }
        return false;
    }

    // The disc taken out and put in again, as the drive sees it.  The
    // program polls the drive only while its window is the active one:
    // windows of tests running beside this one may take the focus, so the
    // window is brought back to the front while the test waits.
    void ChangeDisc() {
        std::string ini = ReadText(AppDir() + "\\wnaspi32.ini");
        const auto p = ini.find("Image=");
        const auto e = ini.find('\n', p);
        WriteText(AppDir() + "\\wnaspi32.ini", std::string(ini).replace(p, e - p, "Image="));
        bool empty = false;
        for (int t = 0; t <= 15000 && !empty; t += 50) {
            if (t % 500 == 0) SetForegroundWindow(prog.Main);
            empty = ListCount(list) == 0;
            Sleep(50);
        }
        ASSERT_TRUE(empty) << "the empty drive did not show";
        WriteText(AppDir() + "\\wnaspi32.ini", ini);
        for (int t = 0; t <= 15000 && ListCount(list) == 0 && Dialogs(prog.pi.dwProcessId).empty(); t += 50) {
            if (t % 500 == 0) SetForegroundWindow(prog.Main);
            Sleep(50);
        }
    }

    // A dialog by its text; an unexpected message box fails the wait.
    HWND Expect(const std::string& text, int ms = 15000) {
        std::string other;
        HWND d = ExpectDialog(prog.pi.dwProcessId, Sjis(text), ms, other);
        EXPECT_NE(d, nullptr) << "no window with " << text << (other.empty() ? "" : "; instead: " + other);
        return d;
    }
    // A message box with this text (exactly, unless only a part is given),
    // answered with the button.
    void Answer(const std::string& text, int button = IDOK, bool exact = true, int ms = 15000) {
        HWND box = Expect(text, ms);
        if (!box) return;
        if (exact) {
            EXPECT_EQ(Utf8(BoxText(box)), text);
        }
        Press(box, button);
        EXPECT_TRUE(WaitGone(box, 5000));
    }
    // The first message box of the process whose text is one of these.
    HWND AnyBox(const std::vector<std::string>& texts, int ms = 15000) {
        for (int t = 0; t <= ms; t += 50) {
            for (HWND d : Dialogs(prog.pi.dwProcessId))
                for (const std::string& text : texts)
                    if (Utf8(BoxText(d)) == text) return d;
            Sleep(50);
        }
        return nullptr;
    }
    void Command(HWND w, int id) { PostMessageA(w, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    // The proxy password asked by a job.
    void GivePassword() {
        HWND pw = Expect("PROXYサーバーパスワードの入力");
        if (!pw) return;
        SetText(GetDlgItem(pw, IDC_PASSWORD_EDIT), "s3cret");
        Press(pw, IDOK);
        WaitGone(pw, 5000);
    }

    // Double click on a row of a list view (selected first).
    void DoubleClickRow(HWND lv, int row) {
        ListSelect(process, lv, row, true);
        TRemote mem(process, sizeof(RECT));
        RECT r{LVIR_BOUNDS, 0, 0, 0};
        mem.Write(&r, sizeof r);
        SendMessageA(lv, LVM_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(mem.Ptr()));
        mem.Read(&r, sizeof r);
        const LPARAM at = MAKELPARAM(r.left + 30, (r.top + r.bottom) / 2);
        PostMessageA(lv, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMessageA(lv, WM_LBUTTONUP, 0, at);
    }

    HWND OpenDialog() {
        EXPECT_TRUE(ClickToolButton(process, toolbar, IDT_TOOLCDDBBTN));
        return Expect("CDDB情報");
    }

    std::vector<std::string> ProxyLog() { return wx::ServerLog(*net, Port("control"), "proxy"); }

    std::map<std::string, int> ports;
    std::unique_ptr<wx::TCddbNetwork> net;
    TProgram prog;
    HANDLE process = nullptr;
    HWND list = nullptr, toolbar = nullptr;
};

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_F(CddbE2E, LookupRipDialogSubmissionLocalDatabaseAndCancel) {
    StartProgram();

    // -- The automatic lookup of an inserted disc, with a choice of matches.
    ChangeDisc();
    Answer("CDDBから情報を取得しますか?");
    HWND choice = Expect("重複タイトルからの選択");
    ASSERT_NE(choice, nullptr);
    Screenshot(Shots(), "choice");
    HWND lb = GetDlgItem(choice, IDC_CHOICE_LIST);
    ASSERT_EQ(SendMessageA(lb, LB_GETCOUNT, 0, 0), 2);
    SendMessageA(lb, LB_SETCURSEL, 0, 0);
    Press(choice, IDOK);
    // The album folder, made along its whole path.
    HWND folder = Expect("音楽データを書き出すフォルダの設定");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(folder, IDC_RENAME_LABEL)), Sjis("カレントフォルダ : ") + Albums());
    SetText(GetDlgItem(folder, IDC_RENAME_EDIT), "Fake Artist\\Fake Album");
    Press(folder, IDOK);
    ASSERT_TRUE(WaitGone(folder, 5000));
    const std::string album = Albums() + "\\Fake Artist\\Fake Album";
    for (int t = 0; t < 5000 && GetFileAttributesA(album.c_str()) == INVALID_FILE_ATTRIBUTES; t += 50) Sleep(50);
    EXPECT_NE(GetFileAttributesA(album.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u) << album;
    // Titles as file names and tags; every track selected.
    for (int t = 0; t < 5000 && !ListSelected(list, 3); t += 50) Sleep(50);
    for (int row = 0; row < 4; ++row) EXPECT_TRUE(ListSelected(list, row)) << row;
    const std::string name1 = ListText(process, list, 0, 5), name2 = ListText(process, list, 1, 5);
    EXPECT_NE(name1.find("First Song"), std::string::npos) << Utf8(name1);
    EXPECT_NE(name2.find("Second Song"), std::string::npos) << Utf8(name2);
    EXPECT_EQ(ListText(process, list, 0, 6), Sjis("あり"));
    EXPECT_EQ(ListText(process, list, 2, 6), Sjis("なし"));
    SendMessageA(list, LVM_SCROLL, 400, 0);  // the name and tag columns in view
    Screenshot(Shots(), "tracklist");

    // -- The album folder is the file manager's folder now: a rip of tracks
    // 1 and 2 goes there and writes those tags (mutagen checks them).
    for (int row = 2; row < 4; ++row) ListSelect(process, list, row, false);
    ASSERT_TRUE(ClickToolButton(process, toolbar, IDT_TOOLRIPSTART));
    HWND ask = Expect("に読み出したデータを書き出します");
    ASSERT_NE(ask, nullptr);
    EXPECT_EQ(BoxText(ask), Sjis("ディレクトリ ") + album + "\\" + Sjis(" に読み出したデータを書き出します。"));
    Press(ask, IDOK);
    Answer("データ取り込みを終了しました", IDOK, false, 120000);
    for (const std::string& n : {name1, name2})
        EXPECT_NE(GetFileAttributesA((album + "\\" + n + ".mp3").c_str()), INVALID_FILE_ATTRIBUTES) << Utf8(n);

    // -- The disc dialog: HTTP through the proxy, which wants a password.
    HWND dlg = OpenDialog();
    ASSERT_NE(dlg, nullptr);
    Command(dlg, IDM_CDDB_OPTION);
    HWND opt = Expect("インターネット接続設定");
    ASSERT_NE(opt, nullptr);
    Press(opt, IDC_OPT_HTTP);
    Press(opt, IDC_OPT_USEPROXY);
    Press(opt, IDC_OPT_USEPROXYAUTH);
    Press(opt, IDC_OPT_ASKPASSWORD);
    SetText(GetDlgItem(opt, IDC_OPT_PROXYSERVER), "127.0.0.1");
    SetText(GetDlgItem(opt, IDC_OPT_PROXYPORT), std::to_string(Port("proxy")));
    SetText(GetDlgItem(opt, IDC_OPT_PROXYUSER), "alice");
    Sleep(300);
    Screenshot(Shots(), "options");
    Press(opt, IDOK);
    ASSERT_TRUE(WaitGone(opt, 5000));
    wx::ClearServerLog(*net, Port("control"), "proxy");
    Press(dlg, IDC_CDDB_RECEIVE);
    GivePassword();
    Answer("情報を取得に成功しました.");
    const auto got = ProxyLog();
    EXPECT_TRUE(Has(got, "Proxy-Authorization: Basic YWxpY2U6czNjcmV0<CR>"));
    // The server speaks level 6: its UTF-8 text shown in Shift-JIS, a track
    // title beyond 255 bytes cut on a character.
    HWND tracks = GetDlgItem(dlg, IDC_CDDB_LIST);
    const std::string longTitle = ListText(process, tracks, 0, 1);
    EXPECT_EQ(longTitle.substr(0, 14), Sjis("とても長い曲名"));
    EXPECT_EQ(longTitle.size(), 254u);  // 127 characters of two bytes
    EXPECT_EQ(EditText(GetDlgItem(dlg, IDC_CDDB_ARTIST)), Sjis("日本の歌手"));
    EXPECT_EQ(EditText(GetDlgItem(dlg, IDC_CDDB_TITLE)), Sjis("アルバム Caf?"));
    // The two tracks the record leaves untitled, typed in.
    for (int row : {2, 3}) {
        DoubleClickRow(tracks, row);
        HWND info = Expect("トラック情報の設定");
        ASSERT_NE(info, nullptr);
        SetText(GetDlgItem(info, IDC_TRKINFO_TITLE), row == 2 ? "Third Song" : "Fourth Song");
        Press(info, IDOK);
        ASSERT_TRUE(WaitGone(info, 5000));
    }
    EXPECT_EQ(ListText(process, tracks, 3, 1), "Fourth Song");
    Screenshot(Shots(), "dialog");

    // -- A submission by HTTP through the proxy.
    wx::ClearServerLog(*net, Port("control"), "proxy");
    Press(dlg, IDC_CDDB_SEND);
    Answer("現在設定されているディスク情報をサーバーに送信してもよろしいですか？");
    GivePassword();
    Answer("情報の送信を完了しました.");
    const auto sent = ProxyLog();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0], "POST http://127.0.0.1/~cddb/submit.cgi HTTP/1.0<CR>");
    EXPECT_TRUE(Has(sent, "Proxy-Authorization: Basic YWxpY2U6czNjcmV0<CR>"));
    EXPECT_TRUE(Has(sent, "Category: newage<CR>"));
    EXPECT_TRUE(Has(sent, "User-Email: tester@example.org<CR>"));
    EXPECT_TRUE(Has(sent, "BODY: TTITLE2=Third Song"));
    EXPECT_TRUE(Has(sent, "BODY: # Revision: 5"));
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    EXPECT_EQ(GetFileAttributesA((std::string(temp) + "wendrix_cddbtmp.$$$").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the submit file holds the user's address and must not stay";

    // -- Into the local database.
    Command(dlg, IDM_CDDB_EXPORTDB);
    Answer("CDDB情報をローカルデータベースに登録してよいですか？");
    Answer("出力が完了しました.");

    // -- A server that drips its answer: CDDBP on its port.
    Command(dlg, IDM_CDDB_OPTION);
    opt = Expect("インターネット接続設定");
    ASSERT_NE(opt, nullptr);
    Press(opt, IDC_OPT_CDDB);
    SetText(GetDlgItem(opt, IDC_OPT_PORT), std::to_string(Port("drip")));
    Press(opt, IDOK);
    ASSERT_TRUE(WaitGone(opt, 5000));
    Command(dlg, IDM_CDDB_EXIT);
    ASSERT_TRUE(WaitGone(dlg, 5000));

    ChangeDisc();
    Answer("CDDBから情報を取得しますか?");
    HWND search = Expect("CDDBサーバへアクセスしています");
    ASSERT_NE(search, nullptr);
    HWND status = GetDlgItem(search, IDC_CDDBSEARCH_LABEL);
    for (int t = 0; t < 15000 && WindowText(status) != Sjis("情報を取得しています..."); t += 50) Sleep(50);
    EXPECT_EQ(Utf8(WindowText(status)), "情報を取得しています...");
    Screenshot(Shots(), "search");
    // The windows answer while the job waits for the server.
    DWORD_PTR r = 0;
    EXPECT_NE(SendMessageTimeoutA(search, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &r), 0);
    EXPECT_NE(SendMessageTimeoutA(prog.Main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &r), 0);
    const DWORD cancel = GetTickCount();
    Press(search, IDCANCEL);
    EXPECT_TRUE(WaitGone(search, 10000));
    const DWORD ended = GetTickCount() - cancel;
    EXPECT_LT(ended, 1000u);  // the second a cancel takes
    std::ofstream(Dir() + "\\cancel.txt") << "the search window closed " << ended << " ms after CANCEL\n";
    // Cancelled while it read, or while it sent its request.
    HWND error = AnyBox({"受信がタイムアウトしました.", "リモートサーバーとの通信に失敗しました."});
    ASSERT_NE(error, nullptr) << "no message after the cancel";
    Press(error, IDOK);
    WaitGone(error, 5000);

    // -- The next insertion: no lookup, the titles from the local database.
    ChangeDisc();
    Answer("CDDBから情報を取得しますか?", IDCANCEL);
    dlg = OpenDialog();
    ASSERT_NE(dlg, nullptr);
    tracks = GetDlgItem(dlg, IDC_CDDB_LIST);
    EXPECT_EQ(ListText(process, tracks, 0, 1), "");
    Command(dlg, IDM_CDDB_IMPORTDB);
    for (int t = 0; t < 5000 && ListText(process, tracks, 0, 1).empty(); t += 50) Sleep(50);
    EXPECT_EQ(ListText(process, tracks, 0, 1), longTitle);
    EXPECT_EQ(ListText(process, tracks, 2, 1), "Third Song");
    EXPECT_EQ(EditText(GetDlgItem(dlg, IDC_CDDB_TITLE)), Sjis("アルバム Caf?"));
    Command(dlg, IDM_CDDB_EXIT);
    ASSERT_TRUE(WaitGone(dlg, 5000));
    PostMessageA(prog.Main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(prog.Ended(20000));

    // The dialog's settings, as it kept them.
    const std::string ini = AppDir() + "\\wndrxn.ini";
    auto key = [&](const char* k) {
        char buf[256] = {};
        GetPrivateProfileStringA("CDDB", k, "", buf, sizeof buf, ini.c_str());
        return std::string(buf);
    };
    EXPECT_EQ(key("Protocol"), "CDDB");
    EXPECT_EQ(key("UseProxy"), "Yes");
    EXPECT_EQ(key("ProxyUser"), "alice");
    EXPECT_EQ(key("Port"), std::to_string(Port("drip")));
    EXPECT_EQ(key("ProxyPassword"), "");  // asked each time, never kept
}

}  // namespace
