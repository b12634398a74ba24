// Driven by settings_e2e.sh: the settings of the real program as a user
// meets them.  Each test starts wendrix.exe in the prepared folder with a
// settings file of its own, works the windows and closes the program; it
// leaves the file the program stored beside the file it expects
// (NAME_stored.ini, NAME_expected.ini), and the script compares the two
// with Python's configparser afterwards.
//
// Environment: WX_E2E_DIR, the prepared folder (Windows path) holding
// app\wendrix.exe with its stand-in libraries and the demo disc.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/tests/guidriver.h"
#include "resources/configform.h"
#include "resources/smallforms.h"
#include "resources/wendrixn.h"
#include "settings/tests/fullsettings.h"

using namespace guidriver;

namespace {

std::string IniFile() { return AppDir() + "\\wndrxn.ini"; }

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Folders and programs the settings name, made to exist so that loading
// keeps them.
TFullSettingsPaths Paths() { return MakeFullSettingsPaths(Dir() + "\\"); }

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const auto p = text.find(from);
    if (p != std::string::npos) text.replace(p, from.size(), to);
    return text;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The file a test expects after the program's close: the file it started
// with, and the keys it changed through the windows ("<absent>": the key
// must be gone).
class TExpected {
public:
    TExpected(const std::string& name, const std::string& start) : file_(Dir() + "\\" + name + "_expected.ini") {
        WriteText(file_, start);
    }
    ~TExpected() { WritePrivateProfileStringA(nullptr, nullptr, nullptr, file_.c_str()); }
    void Set(const char* section, const char* key, const std::string& value) {
        WritePrivateProfileStringA(section, key, value.c_str(), file_.c_str());
    }
    void Erase(const char* section) { WritePrivateProfileStringA(section, nullptr, nullptr, file_.c_str()); }

private:
    std::string file_;
};

// A visible dialog of the program with exactly this caption.
HWND WaitCaption(DWORD pid, const std::string& caption, int ms = 10000) {
    for (int t = 0; t <= ms; t += 50) {
        for (HWND d : Dialogs(pid))
            if (WindowText(d) == caption) return d;
        Sleep(50);
    }
    return nullptr;
}

// The file name box of the system's open dialog.
HWND FileNameBox(HWND open) {
    HWND name = GetDlgItem(open, 0x47C);
    return name ? name : GetDlgItem(open, 0x480);
}

// A message box of the program: its text, answered with OK.  Empty when
// none came.
std::string AnswerBox(DWORD pid, int ms = 10000) {
    for (int t = 0; t <= ms; t += 50) {
        for (HWND d : Dialogs(pid)) {
            const std::string text = BoxText(d);
            if (text.empty()) continue;
            Press(d, IDOK);
            WaitGone(d, 5000);
            return text;
        }
        Sleep(50);
    }
    return std::string();
}

// A dialog of the program, worked through its controls.  Plain actions are
// sent (done when they return); those that bring up a message box are
// posted, and the box is answered (what the action changes after its box
// shows a moment later: WaitValue).
struct TDialog {
    HANDLE process;
    DWORD pid;
    HWND w;
    HWND Item(int id) const { return GetDlgItem(w, id); }
    void Click(int id) const { SendMessageTimeoutA(Item(id), BM_CLICK, 0, 0, SMTO_NORMAL, 20000, nullptr); }
    std::string ClickForBox(int id) const {
        PostMessageA(Item(id), BM_CLICK, 0, 0);
        return AnswerBox(pid);
    }
    void Choose(int id, int index) const {
        SendMessageA(Item(id), CB_SETCURSEL, WPARAM(index), 0);
        SendMessageTimeoutA(w, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(Item(id)), SMTO_NORMAL, 20000,
                            nullptr);
    }
    std::string ChooseForBox(int id, int index) const {
        SendMessageA(Item(id), CB_SETCURSEL, WPARAM(index), 0);
        PostMessageA(w, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(Item(id)));
        return AnswerBox(pid);
    }
    void Type(int id, const std::string& text) const { SetText(Item(id), text); }
    // A key to a track bar (its position moves, the dialog hears of it).
    void Slide(int id, UINT vk) const {
        SendMessageTimeoutA(Item(id), WM_KEYDOWN, vk, 1, SMTO_NORMAL, 5000, nullptr);
        SendMessageTimeoutA(Item(id), WM_KEYUP, vk, 0xC0000001, SMTO_NORMAL, 5000, nullptr);
    }
    bool Checked(int id) const { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    int Selected(int id) const { return int(SendMessageA(Item(id), CB_GETCURSEL, 0, 0)); }
    int Count(int id) const { return int(SendMessageA(Item(id), CB_GETCOUNT, 0, 0)); }
    std::string ComboText(int id, int index) const { return ComboItem(Item(id), index); }
    std::string Text(int id) const { return ControlText(Item(id)); }
    int Position(int id) const { return int(SendMessageA(Item(id), TBM_GETPOS, 0, 0)); }
    bool Page(int tab, int index) const { return ClickTab(process, Item(tab), index); }
};

// The word a combo box's item is stored as: upper case, cut one character
// after the first "K" (bit rates).
std::string BitrateWord(const std::string& item) {
    std::string u = item;
    for (char& c : u) c = char(std::toupper(static_cast<unsigned char>(c)));
    const auto k = u.find('K');
    return k == std::string::npos ? u : u.substr(0, k + 2);
}

class SettingsE2E : public ::testing::Test {
protected:
    void StartProgram(const std::string& settings) {
        WriteText(IniFile(), settings);
        ASSERT_TRUE(prog.Start(AppDir() + "\\wendrix.exe", "", AppDir()));
        ASSERT_NE(prog.WaitMain("Wendrix for Windows", 30000), nullptr) << "no main window";
        process = prog.pi.hProcess;
        // The start-up ends with the selected drive's track list.
        HWND list = FindChild(prog.Main, IDC_TRACKLIST);
        ASSERT_NE(list, nullptr);
        for (int t = 0; t < 10000 && ListCount(list) != 4; t += 50) Sleep(50);
        EXPECT_EQ(ListCount(list), 4) << "the demo disc is not listed";
        for (HWND d : Dialogs(prog.pi.dwProcessId))
            if (d != prog.Main) ADD_FAILURE() << "a window at start: " << Utf8(WindowText(d)) << " " << Utf8(BoxText(d));
    }
    // Closes the main window as a user does and keeps the stored file.
    void CloseProgram(const std::string& name) {
        PostMessageA(prog.Main, WM_CLOSE, 0, 0);
        ASSERT_TRUE(prog.Ended(20000)) << "the program did not end";
        CopyFileA(IniFile().c_str(), (Dir() + "\\" + name + "_stored.ini").c_str(), FALSE);
    }
    void TearDown() override {
        if (!prog.Ended(0) && prog.Main && IsWindow(prog.Main)) {
            PostMessageA(prog.Main, WM_CLOSE, 0, 0);
            prog.Ended(20000);
        }
    }

    TDialog Dialog(HWND w) const { return TDialog{process, prog.pi.dwProcessId, w}; }
    // A command of a drop-down menu of the first tool bar, chosen by its
    // underlined letter.
    bool MenuCommand(int button, char letter) {
        // A click that reaches the window while it still ends the previous
        // menu opens nothing: click again, as a user would.
        for (int click = 0; click < 3; ++click) {
            PostMessageA(prog.Main, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
            if (HWND w = WaitPopupMenu(prog.pi.dwProcessId, 5000)) {
                PostMessageA(w, WM_CHAR, WPARAM(letter), 1);
                return true;
            }
        }
        return false;
    }

    TProgram prog;
    HANDLE process = nullptr;
};

}  // namespace

// A file with a value other than the default in every section, the main
// window's geometry, the file manager's filter and a device table whose
// unselected drive has its own read command: a start and a close keep
// every key.  MaxRetry is stored as 10 whatever was loaded, so the file
// starts with another value there to show that the close stored.
TEST_F(SettingsE2E, StartAndCloseKeepEveryKey) {
    const std::string text = FullSettingsText(Paths());
    WriteText(Dir() + "\\roundtrip_expected.ini", text);
    StartProgram(Replace(text, "MaxRetry=10", "MaxRetry=7"));
    Screenshot(Shots(), "settings_startup", prog.Main);
    // The loaded values are in effect, not only carried along.
    RECT r{};
    GetWindowRect(prog.Main, &r);
    EXPECT_EQ(r.left, -20);
    EXPECT_EQ(r.top, 33);
    EXPECT_EQ(r.right - r.left, 777);
    EXPECT_EQ(r.bottom - r.top, 555);
    EXPECT_EQ(StatusText(process, FindChild(prog.Main, IDC_STATUSBAR1), 0).substr(0, 3), "WMA");
    CloseProgram("roundtrip");
}

// The settings dialog opened from the program's tool button: every page
// is shown, its controls set, the warnings and notices answered; the drive
// information, GOGO and genre dialogs open from their buttons; Escape
// closes the dialog and applies; the dialog opened again from the menu
// shows the store's new values; the normalization dialog opens from the
// Tools menu and measures a reference file.  After the close the file
// holds every new value and every other key as it was.
TEST_F(SettingsE2E, EveryPageOfTheDialogThroughTheProgram) {
    const TFullSettingsPaths paths = Paths();
    const std::string start = Replace(FullSettingsText(paths), "DispToolBar=No", "DispToolBar=Yes");
    TExpected expect("dialog", start);
    StartProgram(start);
    const DWORD pid = prog.pi.dwProcessId;
    HWND toolbar = FindChild(prog.Main, IDC_TOOLBAR2), status = FindChild(prog.Main, IDC_STATUSBAR1);
    ASSERT_TRUE(ClickToolButton(process, toolbar, IDT_TOOLCONFIGBTN));
    const TDialog d = Dialog(WaitCaption(pid, Sjis("設定")));
    ASSERT_NE(d.w, nullptr) << "no settings dialog";
    const std::vector<std::string> tabs = {"CD-ROMドライブ", "取り込み", "出力ファイル", "ＭＰ３圧縮", "ID3タグ設定", "その他"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(TabText(process, d.Item(IDC_CFG_TAB), i), Sjis(tabs[std::size_t(i)]));

    // Page 1: the drive as loaded, its INQUIRY data, the class driver.
    Screenshot(Shots(), "settings_page1", d.w);
    EXPECT_EQ(d.Selected(IDC_CFG1_COMBOBOX2), 1);
    EXPECT_EQ(d.Selected(IDC_CFG1_COMBOBOX1), 7);  // EXTEND
    EXPECT_EQ(d.ComboText(IDC_CFG1_COMBOBOX1, 3), Sjis("PIONEER最適化読み出しコマンド"));
    PostMessageA(d.Item(IDC_CFG1_DISPDRIVE), BM_CLICK, 0, 0);
    HWND info = WaitCaption(pid, Sjis("CD-ROMの機能"));
    ASSERT_NE(info, nullptr) << "no drive information";
    Screenshot(Shots(), "settings_devinfo", info);
    std::vector<std::string> values;
    for (int i = 0; i < 20; ++i) values.push_back(WindowText(GetDlgItem(info, IDC_DEVINFO_LABEL2 + 2 * i)));
    EXPECT_EQ(values[1], "5");              // device type: CD-ROM
    EXPECT_EQ(values[2], Sjis("あり"));     // removable medium
    EXPECT_EQ(values[14].substr(0, 7), "PLEXTOR");
    EXPECT_EQ(values[15].substr(0, 14), "CD-ROM PX-40TS");
    Press(info, IDOK);
    ASSERT_TRUE(WaitGone(info, 5000));
    // With the class driver, burst reading is refused.
    d.Click(IDC_CFG1_CHECKBOX21);
    EXPECT_TRUE(d.Checked(IDC_CFG1_CHECKBOX21));
    ASSERT_TRUE(d.Page(IDC_CFG_TAB, 1));
    EXPECT_EQ(d.ChooseForBox(IDC_CFG2_SELREADMETHOD, 3), Sjis("クラスドライバ使用時には、高速バースト読み出しは行えません."));
    EXPECT_EQ(WaitValue([&] { return d.Selected(IDC_CFG2_SELREADMETHOD); }, 0), 0);
    // Back to ASPI: the drives of the emulator, each with a read command
    // of its own.
    ASSERT_TRUE(d.Page(IDC_CFG_TAB, 0));
    d.Click(IDC_CFG1_CHECKBOX21);
    EXPECT_FALSE(d.Checked(IDC_CFG1_CHECKBOX21));
    ASSERT_EQ(d.Count(IDC_CFG1_COMBOBOX2), 2);
    // A rescan selects the first drive again.
    d.Choose(IDC_CFG1_COMBOBOX2, 1);
    d.Click(IDC_CFG1_BITBTN5);
    EXPECT_EQ(d.Count(IDC_CFG1_COMBOBOX2), 2);
    EXPECT_EQ(d.Selected(IDC_CFG1_COMBOBOX2), 0);
    EXPECT_TRUE(d.Enabled(IDC_CFG1_BITBTN5));
    d.Choose(IDC_CFG1_COMBOBOX2, 1);
    d.Choose(IDC_CFG1_COMBOBOX1, 6);  // NEC
    d.Choose(IDC_CFG1_COMBOBOX2, 0);
    EXPECT_NE(d.Selected(IDC_CFG1_COMBOBOX1), 6);
    d.Choose(IDC_CFG1_COMBOBOX1, 3);  // PIONEER
    d.Type(IDC_CFG1_SPINEDIT1, "33");
    d.Click(IDC_CFG1_CHECKBOX2);
    EXPECT_FALSE(d.Enabled(IDC_CFG1_SPINEDIT2));
    expect.Erase("DEVICES_0");
    expect.Erase("DEVICES_1");
    for (auto [sec, target, maker] : {std::tuple{"DEVICES_0", "1", "PIONEER"}, std::tuple{"DEVICES_1", "3", "NEC"}}) {
        expect.Set(sec, "Adapter", "0");
        expect.Set(sec, "Target", target);
        expect.Set(sec, "DriveMaker", maker);
        expect.Set(sec, "ClassDrvInfo", "0");
    }
    expect.Set("DEVICES_2", "Adapter", "<absent>");
    expect.Set("Common", "UseCDROM", "0");
    expect.Set("Common", "UseClassDriver", "No");
    expect.Set("Common", "ReadBlock", "33");
    expect.Set("Common", "ChangeSpin", "No");

    // Page 2: one-pass correction with the PIONEER command is refused;
    // the writer thread only for normal or one-pass reads without cache.
    ASSERT_TRUE(d.Page(IDC_CFG_TAB, 1));
    EXPECT_EQ(d.ChooseForBox(IDC_CFG2_SELREADMETHOD, 1), Sjis("PIONEERモードではフレーム間補正読み込みは選択できません."));
    EXPECT_EQ(WaitValue([&] { return d.Selected(IDC_CFG2_SELREADMETHOD); }, 0), 0);
    d.Choose(IDC_CFG2_SELREADMETHOD, 2);
    EXPECT_EQ(d.Text(IDC_CFG2_READMETHOD3), Sjis("ダミーリードを行う"));
    EXPECT_FALSE(d.Enabled(IDC_CFG2_USEMULTITHREADWRITE));
    d.Choose(IDC_CFG2_SELREADMETHOD, 0);
    EXPECT_EQ(d.Text(IDC_CFG2_READMETHOD3), Sjis("書き込みキャッシュを有効にする"));
    EXPECT_TRUE(d.Checked(IDC_CFG2_READMETHOD3));
    EXPECT_FALSE(d.Enabled(IDC_CFG2_USEMULTITHREADWRITE));
    d.Click(IDC_CFG2_READMETHOD3);
    EXPECT_TRUE(d.Enabled(IDC_CFG2_USEMULTITHREADWRITE));
    d.Click(IDC_CFG2_CHECKBOX12);
    d.Type(IDC_CFG2_RATIOEDIT, "175");
    Screenshot(Shots(), "settings_page2", d.w);
    expect.Set("Common", "SelectReadMode", "0");
    expect.Set("NormalRead", "WriteCache", "No");
    expect.Set("Common", "SwapRLChannel", "No");
    expect.Set("Common", "RecordingLevel", "175");

    // Page 3: MP3 output, WMA as the standard method, stereo WMA, a TwinVQ
    // quality.
    ASSERT_TRUE(d.Page(IDC_CFG_TAB, 2));
    d.Click(IDC_CFG3_OUT0 + 2);
    d.Click(IDC_CFG3_STD0);
    d.Click(IDC_CFG3_WMTSTEREOSEL);
    EXPECT_FALSE(d.Checked(IDC_CFG3_WMTMONOSEL));
    d.Choose(IDC_CFG3_VQFQUALITY, 0);
    // The system's ACM format chooser: 44.1 kHz, 16 bits, mono PCM.
    PostMessageA(d.Item(IDC_CFG3_BUTTON2), BM_CLICK, 0, 0);
    HWND acm = nullptr;
    for (int t = 0; t < 10000 && !acm; t += 50, Sleep(50))
        for (HWND w : Dialogs(pid))
            if (w != d.w && w != prog.Main) acm = w;
    ASSERT_NE(acm, nullptr) << "no format chooser";
    HWND attributes = GetDlgItem(acm, 102);
    for (int i = 0; i < int(SendMessageA(attributes, CB_GETCOUNT, 0, 0)); ++i)
        if (ComboItem(attributes, i).rfind("44100 Hz; 16 bits; Mono", 0) == 0) {
            SendMessageA(attributes, CB_SETCURSEL, WPARAM(i), 0);
            SendMessageA(acm, WM_COMMAND, MAKEWPARAM(102, CBN_SELCHANGE), LPARAM(attributes));
        }
    Screenshot(Shots(), "settings_acm", acm);
    Press(acm, IDOK);
    ASSERT_TRUE(WaitGone(acm, 5000));
    EXPECT_EQ(d.Text(IDC_CFG3_EDIT2), "PCM");
    EXPECT_EQ(d.Text(IDC_CFG3_EDIT3).substr(0, 23), "44100 Hz; 16 bits; Mono");
    expect.Set("Format", "FormatHeader", "0100010044AC000088580100020010000000");
    expect.Set("Format", "FormatTag", "PCM");
    expect.Set("Format", "FormatBody", d.Text(IDC_CFG3_EDIT3));
    expect.Set("Format", "MakeMP3File", "No");  // the chooser's set-up was no ACM MP3
    Screenshot(Shots(), "settings_page3", d.w);
    expect.Set("Format", "OutputType", "MP3");
    expect.Set("Common", "DefEncode", "WMT");
    expect.Set("WMT", "Channel", "Stereo");
    expect.Set("VQF", "Quality", d.ComboText(IDC_CFG3_VQFQUALITY, 0));

    // Page 4: the GOGO library (version 2.30: no message) and its dialog.
    ASSERT_TRUE(d.Page(IDC_CFG_TAB, 3));
    d.Click(IDC_CFG4_ENC0 + 2);
    EXPECT_EQ(AnswerBox(pid, 300), "");
    EXPECT_TRUE(d.Checked(IDC_CFG4_ENC0 + 2));
    EXPECT_TRUE(d.Enabled(IDC_CFG4_GOGOSETTING));
    EXPECT_FALSE(d.Enabled(IDC_CFG4_PROGRAMEDIT));
    EXPECT_TRUE(d.Enabled(IDC_CFG4_VBRCHECKBOX));
    Screenshot(Shots(), "settings_page4", d.w);
    PostMessageA(d.Item(IDC_CFG4_GOGOSETTING), BM_CLICK, 0, 0);
    const TDialog g = Dialog(WaitCaption(pid, Sjis("午後のこ～だDLLの詳細設定")));
    ASSERT_NE(g.w, nullptr) << "no GOGO dialog";
    EXPECT_NE(g.Text(IDC_GOGO1_LABEL12).find("DLL Info: stand-in MP3 encoder 2.30"), std::string::npos)
        << g.Text(IDC_GOGO1_LABEL12);
    EXPECT_EQ(g.Text(IDC_GOGO1_LABEL13).substr(0, 10), "DLL Path: ");
    EXPECT_TRUE(g.Enabled(IDC_GOGO1_OUTFORMATBOX));  // a library newer than 559
    EXPECT_EQ(g.Selected(IDC_GOGO1_OUTFORMATBOX), 2);  // RMP as loaded
    EXPECT_EQ(g.Selected(IDC_GOGO1_OUTPUTMODESEL), 2);  // MSSTEREO
    Screenshot(Shots(), "settings_gogo1", g.w);
    g.Choose(IDC_GOGO1_OUTFORMATBOX, 1);  // RIFF/WAVE
    g.Click(IDC_GOGO1_PSYCHK);
    ASSERT_TRUE(g.Page(IDC_GOGO_TAB, 1));
    EXPECT_EQ(g.Text(IDC_GOGO2_FILTERLOW), "0.11");
    Screenshot(Shots(), "settings_gogo2", g.w);
    ASSERT_TRUE(g.Page(IDC_GOGO_TAB, 2));
    EXPECT_EQ(g.Text(IDC_GOGO3_BITRATEDIFFRATIO), "56%/44%");
    g.Slide(IDC_GOGO3_MSTHSRATIOBAR, VK_RIGHT);
    EXPECT_EQ(g.Text(IDC_GOGO3_MSTHSRATIO), "0.45");
    Screenshot(Shots(), "settings_gogo3", g.w);
    Press(g.w, IDOK);
    ASSERT_TRUE(WaitGone(g.w, 5000));
    const std::string bitrate = d.ComboText(IDC_CFG4_BITRATEBOX, d.Selected(IDC_CFG4_BITRATEBOX));
    EXPECT_EQ(StatusText(process, status, 0), Sjis("RIFF/WAVEﾌｧｲﾙ出力: 午後のこ～だDLL使用,VBR圧縮,") + bitrate);
    expect.Set("MP3", "EncodeType", "GOGO");
    expect.Set("MP3", "GogoFormatType", "WAVE");
    expect.Set("MP3", "GogoPsy", "No");
    expect.Set("MP3", "GogoMSThs", "45");
    // A new bit rate shows in the status line only when the dialog applies.
    d.Choose(IDC_CFG4_BITRATEBOX, 12);
    const std::string newBitrate = d.ComboText(IDC_CFG4_BITRATEBOX, 12);
    expect.Set("MP3", "BitRate", BitrateWord(newBitrate));
    // The genres shown and a name of the user's.
    PostMessageA(d.Item(IDC_CFG4_BUTTON6), BM_CLICK, 0, 0);
    const TDialog gd = Dialog(WaitCaption(pid, Sjis("表示するｼﾞｬﾝﾙの選択")));
    ASSERT_NE(gd.w, nullptr) << "no genre dialog";
    HWND genres = gd.Item(IDC_GENREDISP_LIST);
    EXPECT_EQ(ListCount(genres), 256);
    EXPECT_EQ(ListText(process, genres, 3, 1), "Mein Jazz");
    Screenshot(Shots(), "settings_genres", gd.w);
    gd.Click(IDC_GENREDISP_BUTTON2);
    ListSelect(process, genres, 7, true);
    EXPECT_EQ(gd.Text(IDC_GENREDISP_LABEL1), "7=");
    gd.Type(IDC_GENREDISP_EDIT1, "  Mein Rock ");
    Key(gd.Item(IDC_GENREDISP_EDIT1), VK_RETURN);
    for (int t = 0; t < 5000 && ListText(process, genres, 7, 1) != "Mein Rock"; t += 50) Sleep(50);
    EXPECT_EQ(ListText(process, genres, 7, 1), "Mein Rock");
    Press(gd.w, IDOK);
    ASSERT_TRUE(WaitGone(gd.w, 5000));
    expect.Set("MP3", "DispGenres", std::string(64, '0'));
    expect.Set("Genre", "FG7", "Mein Rock");

    // Page 5: name presets, the album folder's name, no automatic lookup,
    // ID3v1 tags.
    ASSERT_TRUE(d.Page(IDC_CFG_TAB, 4));
    d.Choose(IDC_CFG5_FILENAMESELECT, 1);
    d.Type(IDC_CFG5_FOLDERNAMEEDIT, "%L-x");
    d.Click(IDC_CFG5_AUTOCDDBCONNECT);
    d.Click(IDC_CFG5_TAG0);
    Screenshot(Shots(), "settings_page5", d.w);
    expect.Set("ID3TAG", "FilenameSelect", "1");
    expect.Set("ID3TAG", "FoldernameEdit", "%L-x");
    expect.Set("ID3TAG", "ID3TagWriteMode", "0");
    expect.Set("CDDB", "AutoCDDBConnect", "No");

    // Page 6: the extension list (case does not make a second entry; a
    // removal leaves the count of what is left), CD drives shown, the
    // read-ahead, disc changes detected; a missing player keeps the dialog
    // open at OK.
    ASSERT_TRUE(d.Page(IDC_CFG_TAB, 5));
    d.Type(IDC_CFG6_EXTLIST, ".flac");
    EXPECT_EQ(d.ClickForBox(IDC_CFG6_ADDEXT), Sjis("既に登録されています"));
    d.Type(IDC_CFG6_EXTLIST, "mp3");
    EXPECT_EQ(d.ClickForBox(IDC_CFG6_ADDEXT), Sjis("拡張子 .MP3 を追加しました."));
    ASSERT_EQ(WaitValue([&] { return d.Count(IDC_CFG6_EXTLIST); }, 3), 3);
    d.Choose(IDC_CFG6_EXTLIST, 1);
    EXPECT_EQ(d.ClickForBox(IDC_CFG6_DELEXT), Sjis("拡張子 .OGG を削除しました."));
    EXPECT_EQ(WaitValue([&] { return d.Count(IDC_CFG6_EXTLIST); }, 2), 2);
    d.Click(IDC_CFG6_NODISPCDROM);
    d.Slide(IDC_CFG6_PREREADWAVESIZE, VK_RIGHT);
    d.Click(IDC_CFG6_ISAUTOREFTRLIST);
    d.Type(IDC_CFG6_USEPLAYER, Dir() + "\\gone.exe");
    EXPECT_EQ(d.ClickForBox(IDOK), Sjis("指定されたﾌﾟﾛｸﾞﾗﾑは存在しません."));
    EXPECT_TRUE(IsWindowVisible(d.w));
    d.Type(IDC_CFG6_USEPLAYER, paths.Player);
    // The player chosen with the open dialog.
    PostMessageA(d.Item(IDC_CFG6_BUTTON4), BM_CLICK, 0, 0);
    HWND open = WaitCaption(pid, Sjis("使用するプレイヤーの選択"));
    ASSERT_NE(open, nullptr) << "no open dialog for the player";
    SetText(FileNameBox(open), paths.Editor);
    Press(open, IDOK);
    ASSERT_TRUE(WaitGone(open, 5000));
    EXPECT_EQ(d.Text(IDC_CFG6_USEPLAYER), paths.Editor);
    Screenshot(Shots(), "settings_page6", d.w);
    expect.Set("Filer", "DispExt1", ".FLAC");
    expect.Set("Filer", "DispExt2", ".MP3");
    expect.Set("Filer", "DispExt3", "<absent>");
    expect.Set("Filer", "IsDispCDROM", "Yes");
    expect.Set("Common", "PrefetchSize", "5");
    expect.Set("Common", "AutoRefreshTrackList", "Yes");
    expect.Set("Filer", "UsePlayer", paths.Editor);
    // The saved wave-out device is not there: the dialog chose the mapper.
    expect.Set("Common", "UseWaveDevice", "WAVE MAPPER");

    // Escape closes the dialog and applies, as OK does.
    PostMessageA(d.Item(IDC_CFG_TAB), WM_KEYDOWN, VK_ESCAPE, 1);
    ASSERT_TRUE(WaitGone(d.w, 5000)) << "Escape did not close the dialog";
    EXPECT_EQ(StatusText(process, status, 0), Sjis("RIFF/WAVEﾌｧｲﾙ出力: 午後のこ～だDLL使用,VBR圧縮,") + newBitrate);
    EXPECT_EQ(ToolButtonText(process, toolbar, IDT_TOOLEXTENCODE), "MP3");

    // Opened again from the Settings menu: the store kept the new values.
    ASSERT_TRUE(MenuCommand(IDT_CONFIGPULLDOWN, 'c'));
    const TDialog again = Dialog(WaitCaption(pid, Sjis("設定")));
    ASSERT_NE(again.w, nullptr) << "the menu did not open the settings";
    EXPECT_EQ(again.Selected(IDC_CFG1_COMBOBOX2), 0);
    EXPECT_EQ(again.Selected(IDC_CFG1_COMBOBOX1), 3);
    EXPECT_EQ(again.Text(IDC_CFG1_SPINEDIT1), "33");
    EXPECT_TRUE(again.Checked(IDC_CFG3_OUT0 + 2));
    ASSERT_EQ(again.Count(IDC_CFG6_EXTLIST), 2);
    EXPECT_EQ(again.ComboText(IDC_CFG6_EXTLIST, 1), ".MP3");
    Press(again.w, IDOK);
    ASSERT_TRUE(WaitGone(again.w, 5000));

    // Normalization from the Tools menu: the peak method, no peak options,
    // the level measured from a reference file at half of full scale.
    ASSERT_TRUE(MenuCommand(IDT_TOOLPULLDOWN, 'n'));
    const TDialog n = Dialog(WaitCaption(pid, Sjis("ノーマライゼーション")));
    ASSERT_NE(n.w, nullptr) << "the menu did not open the normalization";
    EXPECT_EQ(n.Selected(IDC_NORM_METHOD), 1);
    EXPECT_EQ(n.Position(IDC_NORM_LEVEL), 8123);
    EXPECT_TRUE(n.Checked(IDC_NORM_ALLOWPEAKOVER));
    Screenshot(Shots(), "settings_normalize", n.w);
    n.Choose(IDC_NORM_METHOD, 0);
    n.Click(IDC_NORM_ALLOWPEAKOVER);
    n.Click(IDC_NORM_FIXOVERPOINT);
    PostMessageA(n.Item(IDC_NORM_AUTOCONFIG), BM_CLICK, 0, 0);
    open = WaitCaption(pid, Sjis("設定する基準音声ファイルの選択"));
    ASSERT_NE(open, nullptr) << "no open dialog";
    SetText(FileNameBox(open), Dir() + "\\reference.wav");
    Press(open, IDOK);
    ASSERT_TRUE(WaitGone(open, 5000));
    for (int t = 0; t < 10000 && n.Position(IDC_NORM_LEVEL) == 8123; t += 50) Sleep(50);
    const int level = n.Position(IDC_NORM_LEVEL);
    EXPECT_NEAR(level, 5000, 10);
    Press(n.w, IDOK);
    ASSERT_TRUE(WaitGone(n.w, 5000));
    expect.Set("Normalize", "Method", "0");
    expect.Set("Normalize", "Level", std::to_string(level));
    expect.Set("Normalize", "AllowPeakOver", "No");
    expect.Set("Normalize", "FixPeakOver", "No");
    CloseProgram("dialog");
}

// The English module: the settings dialog in English, and the read
// commands of both drives as the last close stored them.
TEST_F(SettingsE2E, EnglishDialogAndTheReadCommandsReloaded) {
    const std::string stored = ReadText(Dir() + "\\dialog_stored.ini");
    ASSERT_NE(stored.find("DriveMaker=NEC"), std::string::npos) << "the dialog test stored no drive table";
    const std::string start = Replace(stored, "Language=JAPANESE", "Language=ENGLISH");
    TExpected expect("english", start);
    StartProgram(start);
    const DWORD pid = prog.pi.dwProcessId;
    ASSERT_TRUE(ClickToolButton(process, FindChild(prog.Main, IDC_TOOLBAR2), IDT_TOOLCONFIGBTN));
    const TDialog d = Dialog(WaitCaption(pid, "Settings"));
    ASSERT_NE(d.w, nullptr) << "no settings dialog";
    EXPECT_EQ(TabText(process, d.Item(IDC_CFG_TAB), 3), "MP3");
    EXPECT_EQ(d.Selected(IDC_CFG1_COMBOBOX2), 0);
    EXPECT_EQ(d.Selected(IDC_CFG1_COMBOBOX1), 3);  // PIONEER
    d.Choose(IDC_CFG1_COMBOBOX2, 1);
    EXPECT_EQ(d.Selected(IDC_CFG1_COMBOBOX1), 6);  // NEC
    EXPECT_EQ(d.ComboText(IDC_CFG1_COMBOBOX1, 6), "NEC drive read command");
    EXPECT_EQ(d.ComboText(IDC_CFG1_COMBOBOX2, 1).substr(0, 7), "TOSHIBA");
    Screenshot(Shots(), "settings_page1_en", d.w);
    ASSERT_TRUE(d.Page(IDC_CFG_TAB, 3));
    Screenshot(Shots(), "settings_page4_en", d.w);
    Press(d.w, IDOK);
    ASSERT_TRUE(WaitGone(d.w, 5000));
    expect.Set("Common", "UseCDROM", "1");
    CloseProgram("english");
}
