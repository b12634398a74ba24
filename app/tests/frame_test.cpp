// The main window in this process under Wine: its panes and captions, its
// drop-down menus, the keys it must not close on, the refusal to close
// during a rip, its keys in the settings file, the language module and the
// custom controls on a real window.  Texts are written in UTF-8 and
// compiled to code page 932.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/NumEdit.h"
#include "app/ReInit.h"
#include "app/splash.h"
#include "app/trkprop.h"
#include "app/wendrixn.h"
#include "output/id3tageditform.h"
#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "extraction/ClassDrv.h"
#include "extraction/cdplayerpanel.h"
#include "extraction/waveout.h"
#include "extraction/tests/StandinSetup.h"
#include "extraction/wendrisub.h"
#include "resources/tracklist.h"
#include "resources/msgids.h"
#include "resources/splash.h"
#include "settings/configs_win.h"
#include "settings/configstore.h"
#include "settings/inifile.h"

using namespace wendrix;

namespace {

std::string ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> ButtonTexts(HWND bar) {
    std::vector<std::string> texts;
    const int n = static_cast<int>(SendMessageA(bar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        TBBUTTON b{};
        SendMessageA(bar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&b));
        char buf[128] = {};
        SendMessageA(bar, TB_GETBUTTONTEXTA, static_cast<WPARAM>(b.idCommand), reinterpret_cast<LPARAM>(buf));
        texts.emplace_back(buf);
    }
    return texts;
}

std::string ColumnText(HWND list, int col) {
    char buf[128] = {};
    LVCOLUMNA c{};
    c.mask = LVCF_TEXT;
    c.pszText = buf;
    c.cchTextMax = sizeof(buf);
    SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&c));
    return buf;
}

RECT ScreenRect(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r;
}

class Frame : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        wx::Application.Initialize();
        wx::ReserveRipBuffers(wx::RipBuffers);
        DetectPlatform();
        InitMainUnit();
        // The file manager starts in the current folder's drive: the test
        // drive, never the Unix root behind Z:.
        SetCurrentDirectoryA("W:\\");
    }

    void SetUp() override { prompter_ = std::make_unique<wx::TPrompterGuard>(script); }

    void TearDown() override {
        form.reset();
        FreeConfigForm();
        prompter_.reset();
        std::remove(SettingsFileName.c_str());
    }

    void Open(const std::string& ini) {
        std::ofstream(SettingsFileName, std::ios::binary) << ini;
        CreateConfigForm();
        form = std::make_unique<TForm1>();
        form->Show();
        wx::Application.ProcessMessages();
    }

    wx::TScriptedPrompter script;
    std::unique_ptr<TForm1> form;

private:
    std::unique_ptr<wx::TPrompterGuard> prompter_;
};

TEST_F(Frame, PanesBarsAndCaptions) {
    Open("[Common]\r\nWindowLeft=10\r\nWindowTop=20\r\nWindowWidth=700\r\nWindowHeight=520\r\n"
         "DirViewWidth=150\r\nTrackViewHeight=120\r\nTrColW0=44\r\nTrColW5=133\r\nIsDispSplash=No\r\n");
    const RECT b = form->Bounds();
    EXPECT_EQ(b.left, 10);
    EXPECT_EQ(b.top, 20);
    EXPECT_EQ(b.right - b.left, 700);
    EXPECT_EQ(b.bottom - b.top, 520);
    EXPECT_EQ(form->Panel2.Width(), 150);
    EXPECT_EQ(form->Panel7.Height(), 120);
    EXPECT_EQ(form->TrackPanelHeight, 120);
    EXPECT_EQ(form->TrackList.ColumnWidth(0), 44);
    EXPECT_EQ(form->TrackList.ColumnWidth(1), 100);
    EXPECT_EQ(form->TrackList.ColumnWidth(5), 133);

    // Japanese text is drawn with the IPA font that stands for the form's font.
    {
        HDC dc = GetDC(form->Handle());
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(form->Handle(), WM_GETFONT, 0, 0)));
        // The font's own name table names the family actually used (the face
        // name reported is the one asked for).
        const DWORD nameTag = 'n' | ('a' << 8) | ('m' << 16) | ('e' << 24);
        const DWORD size = GetFontData(dc, nameTag, 0, nullptr, 0);
        ASSERT_NE(size, GDI_ERROR);
        std::string names(size, '\0');
        GetFontData(dc, nameTag, 0, names.data(), size);
        const bool ipa = names.find("IPA") != std::string::npos || names.find(std::string("\0I\0P\0A", 6)) != std::string::npos;
        EXPECT_TRUE(ipa);
        SelectObject(dc, old);
        ReleaseDC(form->Handle(), dc);
    }
    EXPECT_EQ(form->CoolBar1.BandCount(), 2);
    EXPECT_EQ(ButtonTexts(form->ToolBar1.Handle()),
              (std::vector<std::string>{"ファイル(&F)", "実行(&E)", "設定(&C)", "表示(&V)", "ツール(&T)", "ヘルプ(&H)"}));
    // The compression button shows the output method once the settings apply.
    EXPECT_EQ(ButtonTexts(form->ToolBar2.Handle()),
              (std::vector<std::string>{"表示更新", "取り込み", "設定", "WAVE", "ID3タグ", "CD-TEXT", "CDDB"}));
    const char* columns[] = {"トラック", "開始位置", "終了位置", "ﾌﾟﾘｴﾝﾌｧｼｽ", "ﾃﾞｼﾞﾀﾙｺﾋﾟｰ許可", "作成ファイル名", "ID3タグ"};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(ColumnText(form->TrackList.Handle(), i), columns[i]) << i;
    EXPECT_EQ(form->StatusBar1.Send(SB_GETPARTS, 0, 0), 2);

    // Top to bottom: cool bar, drive bar, panes, test-playback bar, status bar.
    const RECT cool = ScreenRect(form->CoolBar1.Handle()), drives = ScreenRect(form->DrivePanel1.Handle());
    const RECT tree = ScreenRect(form->TreeView1.Handle()), play = ScreenRect(form->Panel1.Handle());
    const RECT status = ScreenRect(form->StatusBar1.Handle());
    EXPECT_LE(cool.bottom, drives.top);
    EXPECT_LE(drives.bottom, tree.top);
    EXPECT_LE(tree.bottom, play.top);
    EXPECT_LE(play.bottom, status.top);
    // Right side: file list above, the track list below its own bar.
    const RECT files = ScreenRect(form->ListView1.Handle()), bar4 = ScreenRect(form->StatusBar4.Handle());
    const RECT bar2 = ScreenRect(form->StatusBar2.Handle()), tracks = ScreenRect(form->TrackList.Handle());
    EXPECT_LE(bar2.bottom, files.top);
    EXPECT_LT(files.bottom, bar4.top);
    EXPECT_EQ(bar4.bottom, tracks.top);
    EXPECT_GT(tracks.bottom - tracks.top, 20);
    EXPECT_GE(files.left, tree.right);

    // The bar above the track list collapses the list on a double click.
    form->StatusBar4DblClick();
    EXPECT_FALSE(IsWindowVisible(form->TrackList.Handle()));
    EXPECT_LT(form->Panel7.Height(), 40);
    form->StatusBar4DblClick();
    EXPECT_TRUE(IsWindowVisible(form->TrackList.Handle()));
    EXPECT_EQ(form->Panel7.Height(), 120);

    // A folder pane dragged to nothing keeps one pixel.
    form->Splitter1.MoveTo(0);
    form->Splitter1Moved();
    EXPECT_EQ(form->Panel2.Width(), 1);
}

TEST_F(Frame, DropDownMenusHaveTheirCaptions) {
    Open("[Common]\r\nIsDispSplash=No\r\n");
    for (int id : {IDT_FILEPULLDOWN, IDT_EXECPULLDOWN, IDT_CONFIGPULLDOWN, IDT_VIEWPULLDOWN, IDT_TOOLPULLDOWN,
                   IDT_HELPPULLDOWN})
        SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(form->ToolBar1.Handle()));
    ASSERT_EQ(script.Menus.size(), 6u);
    using V = std::vector<std::string>;
    EXPECT_EQ(script.Menus[0], (V{"ベースファイル名の設定(&B)", "書き出しファイル名リスト読み込み(&L)", "", "終了(&X)"}));
    EXPECT_EQ(script.Menus[1], (V{"CD-ROMドライブの表示の更新(&R)", "取り込みの開始(&S)", "外部圧縮プログラム使用のON/OFF(&E)",
                                  "ID3タグエディタ(&I)", "CD-TEXT情報(&T)", "CD-DB接続(&D)"}));
    EXPECT_EQ(script.Menus[2], (V{"設定の変更(&C)", "読み出し方法の自動設定(&A)"}));
    EXPECT_EQ(script.Menus[3], (V{"ツールバーを表示(&&O)", "テスト再生ツールを表示(&E)", "", "大きいアイコンで表示(&G)",
                                  "詳細表示(&D)", "", "ｱｲｺﾝの整列(&I)", "", "最新の情報を表示(&R)\tF5"}));
    EXPECT_EQ(script.Menus[4], (V{"ノーマライゼーション(&N)", "ベンチマークテスト(&B)", "波形ビューア(&V)"}));
    EXPECT_EQ(script.Menus[5], (V{"目次(&C)", "キーワード検索(&N)", "", "バージョン情報(&A)"}));
    EXPECT_EQ(wx::MenuItemTexts(form->AllangeIcons1),
              (V{"名前順で表示(&N)", "拡張子順に表示(&T)", "サイズ順で表示(&Z)", "作成時間順で表示(&M)", "", "昇順(&U)", "降順(&V)"}));
    EXPECT_EQ(wx::MenuItemTexts(form->EncodeMenu),
              (V{"WAVEファイル出力", "WMT(MS-Audio)ファイル出力", "MP3ファイル出力", "TwinVQファイル出力", "",
                 "ファイルのエンコード(&B)..."}));
    // Commands with no action, and those whose windows are not built yet, are disabled.
    EXPECT_FALSE(wx::TMenu(form->ConfigPullDown).Enabled(IDM_CONFIGWIZERD));
    EXPECT_FALSE(wx::TMenu(form->ToolPullDown).Enabled(IDM_V1));
    EXPECT_TRUE(wx::TMenu(form->HelpPullDown).Enabled(IDM_ABOUT1));

    // Alt and the menu button's letter open its drop-down; F5 arrives as the
    // refresh command.
    int refreshes = 0;
    form->OnClick(IDM_FULLREFRESH, [&] { ++refreshes; });
    SetFocus(form->TrackList.Handle());
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_MENU] = 0x80;  // Alt held, as the accelerator table reads it
    SetKeyboardState(keys);
    PostMessageA(form->TrackList.Handle(), WM_SYSKEYDOWN, 'H', 0x20000001);
    wx::Application.ProcessMessages();
    keys[VK_MENU] = 0;
    SetKeyboardState(keys);
    PostMessageA(form->TrackList.Handle(), WM_KEYDOWN, VK_F5, 1);
    wx::Application.ProcessMessages();
    EXPECT_EQ(refreshes, 1);
    ASSERT_EQ(script.Menus.size(), 7u);
    EXPECT_EQ(script.Menus[6], script.Menus[5]);

    // The version dialog.
    std::string caption, revision;
    script.OnModal = [&](wx::TForm& f) -> INT_PTR {
        caption = f.Caption();
        char buf[128] = {};
        GetDlgItemTextA(f.Handle(), 2603, buf, sizeof(buf));
        revision = buf;
        return IDOK;
    };
    script.MenuAnswers.push_back(IDM_ABOUT1);
    SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(IDT_HELPPULLDOWN, BN_CLICKED), 0);
    wx::Application.ProcessMessages();
    EXPECT_EQ(caption, "バージョン情報");
    EXPECT_EQ(revision, "for Windows95/98/NT4.0/2000/XP Revision 3.25JP");

    // A command chosen in a drop-down reaches its handler.
    script.MenuAnswers.push_back(IDM_POPUPDISPPLAYPANEL);
    SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(IDT_VIEWPULLDOWN, BN_CLICKED), 0);
    wx::Application.ProcessMessages();
    EXPECT_FALSE(wx::TMenu(form->ViewPullDown).Checked(IDM_POPUPDISPPLAYPANEL));
    EXPECT_FALSE(IsWindowVisible(form->Panel1.Handle()));
}

TEST_F(Frame, EnterAndEscapeLeaveTheWindowOpenAndReachTheLists) {
    Open("[Common]\r\nIsDispSplash=No\r\n");
    // The lists are empty, so they announce keys (not item activation).
    int listKeys = 0;
    auto countList = [&](NMHDR* nm) -> LRESULT {
        const WORD vk = reinterpret_cast<NMLVKEYDOWN*>(nm)->wVKey;
        if (vk == VK_RETURN || vk == VK_SPACE || vk == 'A') ++listKeys;
        return 0;
    };
    form->OnNotify(IDC_TRACKLIST, LVN_KEYDOWN, countList);
    form->OnNotify(IDC_LISTVIEW1, LVN_KEYDOWN, countList);
    int treeKeys = 0;
    form->OnNotify(IDC_TREEVIEW1, TVN_KEYDOWN, [&](NMHDR* nm) -> LRESULT {
        const WORD vk = reinterpret_cast<NMTVKEYDOWN*>(nm)->wVKey;
        if (vk == VK_RETURN || vk == VK_SPACE || vk == 'A') ++treeKeys;
        return 0;
    });
    for (HWND target : {form->TrackList.Handle(), form->ListView1.Handle(), form->TreeView1.Handle()}) {
        SetFocus(target);
        for (WPARAM vk : {WPARAM(VK_RETURN), WPARAM(VK_ESCAPE), WPARAM(VK_SPACE), WPARAM('A')}) {
            PostMessageA(target, WM_KEYDOWN, vk, 1);
            PostMessageA(target, WM_KEYUP, vk, 0xC0000001);
        }
        wx::Application.ProcessMessages();
        ASSERT_TRUE(IsWindow(form->Handle()));
        EXPECT_TRUE(IsWindowVisible(form->Handle()));
    }
    // The file list and the tree take Enter, Space and the letters of their
    // table as the file manager's commands before the controls see them.
    // The track list takes Enter and Space as its own keys.
    EXPECT_EQ(listKeys, 1);
    EXPECT_EQ(treeKeys, 0);
    // The dialog manager's own Enter and Esc do nothing either.
    SendMessageA(form->Handle(), WM_COMMAND, IDOK, 0);
    SendMessageA(form->Handle(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(IsWindow(form->Handle()));
}

TEST_F(Frame, CloseIsRefusedWhileRippingThenStoresTheWindowKeys) {
    const std::string ini =
        "[Common]\r\nIsDispSplash=No\r\nWindowTop=-12\r\nWindowLeft=-255\r\nCDPWindowTop=40\r\nCDPWindowLeft=50\r\n"
        "WindowHeight=530\r\nWindowWidth=720\r\nDirViewWidth=170\r\nTrackViewHeight=140\r\nTrColW0=41\r\nTrColW1=91\r\n"
        "TrColW2=92\r\nTrColW3=83\r\nTrColW4=94\r\nTrColW5=115\r\nTrColW6=66\r\nListViewPattern=LargeIcon\r\n"
        "SortPattern=Size\r\nSortDir=Reverse\r\nDispToolBar=No\r\nDispPlayPanel=No\r\n"
        "[Filer]\r\nIsDispCDROM=No\r\nChangeBootDir=Yes\r\nBootDir=W:\\frame_boot\\\r\nAutoRefresh=No\r\nDispAllExts=0\r\n"
        "DispExt1=.FLAC\r\nDispExt2=.OGG\r\n";
    // The boot folder is the tree's folder when the window closes.
    CreateDirectoryA("W:\\frame_boot", nullptr);
    Open(ini);
    EXPECT_EQ(form->GetFilePathAt(), "W:\\frame_boot");
    struct TIdle : wx::TThread {
        void Execute() override {}
    } idle;
    form->RipThread = &idle;
    form->Close();
    ASSERT_EQ(script.Messages.size(), 1u);
    EXPECT_EQ(script.Messages[0].text, "実行中の処理を中断させて下さい");
    EXPECT_EQ(script.Messages[0].flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_TRUE(IsWindow(form->Handle()));

    form->RipThread = nullptr;
    form->Close();
    EXPECT_EQ(form->Handle(), nullptr);
    TMemIniFile after;
    after.SetText(ReadFile(SettingsFileName));
    TMemIniFile before;
    before.SetText(ini);
    for (const char* section : {"Common", "Filer"}) {
        wx::TStringList keys;
        before.ReadSection(section, keys);
        for (int i = 0; i < keys.Count(); ++i)
            EXPECT_EQ(after.ReadString(section, keys[i], "<absent>"), before.ReadString(section, keys[i], ""))
                << section << "/" << keys[i];
    }
    RemoveDirectoryA("W:\\frame_boot");
}

// The main window stays while a rip command is on, also while the drive
// spins up before the first rip thread exists (the first track's output is
// open then).  When the session ends during a rip, the rip stops, its
// unfinished output is gone, an old file it was to replace stays, no box
// waits, and the settings are stored as a close stores them.
TEST_F(Frame, TheWindowStaysWhileARipStartsAndTheSessionEndStopsIt) {
    wx::test::StandinSetup standin("Personality=plextor\nLatency=20\n");
    const std::string dir = "W:\\frame_rip";
    CreateDirectoryA(dir.c_str(), nullptr);
    for (const char* n : {"\\first.wav", "\\third.wav"}) DeleteFileA((dir + n).c_str());
    Open("[Common]\r\nIsDispSplash=No\r\nUseClassDriver=No\r\nBootSpinUp=Yes\r\nDispResult=No\r\n"
         "[DEVICES_0]\r\nAdapter=0\r\nTarget=1\r\nDriveMaker=PLEXTOR\r\nDriveType=CD-ROM\r\n");
    ASSERT_EQ(form->TrackList.Count(), 3);
    script.Messages.clear();  // the pre-emphasis warnings of the start
    bool endSession = false;
    LRESULT queryAnswer = -1;
    script.OnModal = [&](wx::TForm&) -> INT_PTR {
        // The progress window, up until the run is over.
        while (form->Rip().Running()) {
            if (endSession && form->RipThread) {
                endSession = false;
                std::remove(SettingsFileName.c_str());
                queryAnswer = SendMessageA(form->Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
                SendMessageA(form->Handle(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
            }
            MSG m;
            if (GetMessageA(&m, nullptr, 0, 0) <= 0) break;
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        return IDCANCEL;
    };
    form->Rip().RipTargetFolder = dir;
    form->Tracks.Slots[1].FileStem = "first";
    form->TrackList.SetSelected(0, true);
    // A close that waits in the queue is seen first in the spin-up.
    PostMessageA(form->Handle(), WM_CLOSE, 0, 0);
    form->ToolRipStartClick(true);
    ASSERT_TRUE(IsWindow(form->Handle()));
    ASSERT_EQ(script.Messages.size(), 2u);
    EXPECT_EQ(script.Messages[0].text, "実行中の処理を中断させて下さい");
    EXPECT_EQ(script.Messages[1].text, "データ取り込みを終了しました");
    EXPECT_EQ(ReadFile(dir + "\\first.wav").size(), 44u + 600u * 2352);

    form->TrackList.SetSelected(0, false);
    form->TrackList.SetSelected(2, true);
    form->Tracks.Slots[3].FileStem = "third";
    std::ofstream(dir + "\\third.wav", std::ios::binary) << "old";
    script.Messages.clear();
    endSession = true;
    form->ToolRipStartClick(true);
    EXPECT_EQ(queryAnswer, TRUE);
    EXPECT_FALSE(form->Rip().Running());
    ASSERT_EQ(script.Messages.size(), 1u);  // the overwrite question only
    EXPECT_EQ(ReadFile(dir + "\\third.wav"), "old");
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    std::vector<std::string> names;
    if (h != INVALID_HANDLE_VALUE) {
        do
            if (fd.cFileName[0] != '.') names.push_back(fd.cFileName);
        while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"first.wav", "third.wav"})) << "no unfinished file";
    TMemIniFile after;
    after.SetText(ReadFile(SettingsFileName));
    EXPECT_EQ(after.ReadString("Common", "BootSpinUp", "<absent>"), "Yes");
    form.reset();
    FreeConfigForm();
    for (const std::string& n : names) DeleteFileA((dir + "\\" + n).c_str());
    RemoveDirectoryA(dir.c_str());
}

TEST_F(Frame, CompressionButtonAndDialogCentring) {
    Open("[Common]\r\nIsDispSplash=No\r\n");
    ASSERT_NE(ConfigForm, nullptr);
    auto click = [&] {
        SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(IDT_TOOLEXTENCODE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(form->ToolBar2.Handle()));
    };
    ConfigForm->SelOutputMethod.SetItemIndex(0);
    ConfigForm->SelStdEncode.SetItemIndex(5);  // no such method: no selection
    click();
    EXPECT_EQ(ConfigForm->SelOutputMethod.ItemIndex(), 0);
    ConfigForm->SelStdEncode.SetItemIndex(1);
    click();
    EXPECT_EQ(ConfigForm->SelOutputMethod.ItemIndex(), 2);
    EXPECT_EQ(ButtonTexts(form->ToolBar2.Handle())[3], "MP3");
    EXPECT_TRUE(wx::TMenu(form->EncodeMenu).Checked(IDM_MP3OUT));
    TBBUTTONINFOA bi{sizeof(bi), TBIF_IMAGE};
    SendMessageA(form->ToolBar2.Handle(), TB_GETBUTTONINFOA, IDT_TOOLEXTENCODE, reinterpret_cast<LPARAM>(&bi));
    EXPECT_EQ(bi.iImage, 7);
    click();
    EXPECT_EQ(ConfigForm->SelOutputMethod.ItemIndex(), 0);
    SendMessageA(form->ToolBar2.Handle(), TB_GETBUTTONINFOA, IDT_TOOLEXTENCODE, reinterpret_cast<LPARAM>(&bi));
    EXPECT_EQ(bi.iImage, 8);

    // A dialog larger than the monitor goes to the monitor's left and top.
    class TBig : public wx::TForm {
    public:
        TBig() : TForm(nullptr, "TABOUTFORM") {}
    } big;
    big.Show();
    big.SetBounds(300, 300, 5000, 4000);
    form->GetCenter(big);
    HMONITOR mon = MonitorFromWindow(form->Handle(), MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoA(mon, &mi);
    EXPECT_EQ(big.Bounds().left, mi.rcMonitor.left);
    EXPECT_EQ(big.Bounds().top, mi.rcMonitor.top);
    big.SetBounds(0, 0, 200, 100);
    form->GetCenter(big);
    EXPECT_EQ(big.Bounds().left, mi.rcMonitor.left + (mi.rcMonitor.right - mi.rcMonitor.left) / 2 - 100);
}

TEST_F(Frame, EnglishModuleAndFallBack) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, sizeof(exe));
    const std::string module = LanguageModuleName(exe, "ENU", false);
    const char* bin = std::getenv("WX_BINARY_DIR");
    ASSERT_NE(bin, nullptr);
    std::string built = std::string("Z:") + bin + "/app/wendrix.ENU";
    for (char& c : built)
        if (c == '/') c = '\\';
    ASSERT_TRUE(CopyFileA(built.c_str(), module.c_str(), FALSE)) << built;

    std::ofstream(SettingsFileName, std::ios::binary) << "[Common]\r\nLanguage=\r\nIsDispSplash=No\r\n";
    SetLang();  // empty: no switch
    EXPECT_EQ(wx::Application.ResourceInstance(), wx::Application.Instance());
    std::ofstream(SettingsFileName, std::ios::binary) << "[Common]\r\nLanguage=english\r\n";
    JapaneseMode = false;  // already English: nothing happens
    SetLang();
    EXPECT_EQ(wx::Application.ResourceInstance(), wx::Application.Instance());
    JapaneseMode = true;
    SetLang();
    EXPECT_FALSE(JapaneseMode);
    ASSERT_NE(wx::Application.ResourceInstance(), wx::Application.Instance());
    EXPECT_EQ(wx::LoadResString(MSG_LANGUAGE), "ENGLISH");
    EXPECT_EQ(wx::LoadResString(MSG_CLOSE_WHILE_RIPPING), "Please stop the running operation first.");
    // The splash has no English twin: the built-in one is used.
    EXPECT_EQ(wx::Application.ResourceModuleFor("TSPLASHFORM", RT_DIALOG), wx::Application.Instance());

    Open("[Common]\r\nLanguage=ENGLISH\r\nIsDispSplash=No\r\n");
    EXPECT_EQ(ButtonTexts(form->ToolBar1.Handle())[0], "&File");
    EXPECT_EQ(ColumnText(form->TrackList.Handle(), 0), "Track");
    SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(IDT_HELPPULLDOWN, BN_CLICKED), 0);
    ASSERT_EQ(script.Menus.size(), 1u);
    EXPECT_EQ(script.Menus[0].back(), "&About");

    form.reset();
    wx::Application.SetResourceInstance(wx::Application.Instance());
    JapaneseMode = true;
    DeleteFileA(module.c_str());

    // Only the two-letter name beside the program: that one is loaded.
    const std::string two = LanguageModuleName(exe, "ENU", true);
    EXPECT_EQ(two.substr(two.size() - 3), ".EN");
    ASSERT_TRUE(CopyFileA(built.c_str(), two.c_str(), FALSE));
    SetLang();
    EXPECT_FALSE(JapaneseMode);
    EXPECT_EQ(wx::LoadResString(MSG_LANGUAGE), "ENGLISH");
    wx::Application.SetResourceInstance(wx::Application.Instance());
    JapaneseMode = true;
    DeleteFileA(two.c_str());
    // No module at all: nothing changes.
    SetLang();
    EXPECT_TRUE(JapaneseMode);
    EXPECT_EQ(wx::Application.ResourceInstance(), wx::Application.Instance());
    EXPECT_EQ(LanguageModuleName("C:\\x.y\\wendrix", "ENU", false), "");
}

TEST_F(Frame, DriveBarAndNumericEdit) {
    Open("[Common]\r\nIsDispSplash=No\r\n");
    TDrivePanel& bar = form->DrivePanel1;
    // The file manager filled the bar with the drives, the test drive among them.
    std::string letters;
    for (int i = 0; i < bar.Drives(); ++i) letters += bar.DriveLetter(i);
    EXPECT_NE(letters.find('W'), std::string::npos) << letters;
    EXPECT_EQ(bar.DriveLetter(bar.Selected()), 'W');
    int clicks = 0, clicked = -1;
    bar.OnDriveClick = [&](TDrivePanel&, int index, int, int, int) {
        ++clicks;
        clicked = index;
    };
    // The bar's own rules, from an empty bar.
    bar.Clear();
    bar.SetSelected(0);
    EXPECT_EQ(bar.Selected(), -1);
    for (int d : {2, 3, 4}) bar.AddDrive(d, 2);
    bar.SetSelected(5);
    EXPECT_EQ(bar.Selected(), 2);
    bar.SetDropHover(3);
    EXPECT_EQ(bar.DropHoverIndex(), 2);
    const TDriveBarMetrics g = bar.Metrics();
    const int y = bar.DrawTop() + 3;
    auto at = [&](int i) { return MAKELPARAM(bar.DrawLeft() + i * g.ButtonWidth + 2, y); };
    SendMessageA(bar.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at(0));
    EXPECT_EQ(bar.PressedIndex(), 0);
    SendMessageA(bar.Handle(), WM_LBUTTONUP, 0, at(1));  // released on another button
    EXPECT_EQ(clicks, 0);
    SendMessageA(bar.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, at(1));
    SendMessageA(bar.Handle(), WM_RBUTTONUP, 0, at(1));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(clicked, 1);
    EXPECT_EQ(bar.PressedIndex(), -1);

    HWND edit = wx::CreateChild(*form, form->Handle(), "EDIT", 2999, WS_VISIBLE | ES_AUTOHSCROLL);
    SetWindowPos(edit, nullptr, 0, 0, 80, 20, SWP_NOZORDER);
    TNumEdit num(form.get(), 2999);
    num.Attach();
    for (char c : std::string("1-a+2\b3")) SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(c), 0);
    EXPECT_EQ(num.Text(), "13");
    num.EnableMinus = true;
    SendMessageA(edit, WM_CHAR, '-', 0);
    EXPECT_EQ(num.Text(), "13-");
}

TEST_F(Frame, EnglishModuleHasEveryFormMenuAndMessage) {
    const char* bin = std::getenv("WX_BINARY_DIR");
    ASSERT_NE(bin, nullptr);
    std::string built = std::string("Z:") + bin + "/app/wendrix.ENU";
    for (char& c : built)
        if (c == '/') c = '\\';
    HMODULE en = LoadLibraryExA(built.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(en, nullptr);
    struct TNames {
        std::vector<std::string> names;
        static BOOL CALLBACK Add(HMODULE, LPCSTR, LPSTR name, LONG_PTR lp) {
            auto* self = reinterpret_cast<TNames*>(lp);
            self->names.push_back(IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : name);
            return TRUE;
        }
    };
    HMODULE self = GetModuleHandleA(nullptr);
    for (LPCSTR type : {RT_DIALOG, RT_MENU}) {
        TNames names;
        EnumResourceNamesA(self, type, &TNames::Add, reinterpret_cast<LONG_PTR>(&names));
        EXPECT_FALSE(names.names.empty());
        for (const std::string& n : names.names) {
            if (n == "TSPLASHFORM") continue;  // keeps its built-in look
            LPCSTR name = n[0] == '#' ? MAKEINTRESOURCEA(std::stoi(n.substr(1))) : n.c_str();
            EXPECT_NE(FindResourceA(en, name, type), nullptr) << n;
        }
    }
    TNames blocks;
    EnumResourceNamesA(self, RT_STRING, &TNames::Add, reinterpret_cast<LONG_PTR>(&blocks));
    int messages = 0;
    for (const std::string& b : blocks.names) {
        const int block = std::stoi(b.substr(1));
        for (int i = 0; i < 16; ++i) {
            const UINT id = static_cast<UINT>((block - 1) * 16 + i);
            char ja[512] = {}, enText[512] = {};
            if (LoadStringA(self, id, ja, sizeof(ja)) <= 0) continue;
            ++messages;
            EXPECT_GT(LoadStringA(en, id, enText, sizeof(enText)), 0) << id;
        }
    }
    EXPECT_GT(messages, 100);
    FreeLibrary(en);
}

// Analog play on the emulated drive and the track pop-up that names the
// playing track; digital play in a process without a sound device; the
// drive time-out at the end of a play; commands refused without a drive.
TEST_F(Frame, AnalogPlayAndDigitalPlayWithoutASoundDevice) {
    {
        wx::test::StandinSetup standin;
        Open("[Common]\r\nIsDispSplash=No\r\nUseClassDriver=No\r\n"
             "[DEVICES_0]\r\nAdapter=0\r\nTarget=1\r\nDriveMaker=PLEXTOR\r\nDriveType=CD-ROM\r\n");
        ASSERT_EQ(form->TrackList.Count(), 3);
        form->TrackList.SetSelected(2, true);
        form->CDPlayClick();
        EXPECT_EQ(form->IsPlaying(0), 3);
        EXPECT_EQ(standin.Find({"cdb=a5"}).size(), 1u) << "PLAY AUDIO(12)";
        wx::TMenu menu = wx::TMenu::Load(IDM_TRACKRPOPUPMENU);
        wx::TMenu popup = menu.SubMenu(0);
        form->TrackRPopupMenuPopup(popup.Handle());
        char text[128] = {};
        GetMenuStringA(popup.Handle(), IDM_TRACK_CDSTOP, text, sizeof text, MF_BYCOMMAND);
        EXPECT_STREQ(text, "CDの演奏停止:演奏中トラックNo,3");
        EXPECT_TRUE(popup.Enabled(IDM_TRACK_CDSTOP));
        // No sound device in this process: digital play is disabled, and a
        // play asked for anyway says why and does not start.
        EXPECT_EQ(waveOutGetNumDevs(), 0u);
        EXPECT_FALSE(popup.Enabled(IDM_TRACK_DIGITALPLAY));
        form->CDStopClick();
        EXPECT_EQ(form->IsPlaying(0), -1);
        script.Messages.clear();
        form->DirectPlay();
        ASSERT_FALSE(script.Messages.empty());
        EXPECT_EQ(script.Messages.back().text, "指定されたWAVEデバイスを利用できません.");
        EXPECT_FALSE(form->Rip().Running());
        EXPECT_EQ(form->RipThread, nullptr);
        // A drive time-out during a play is what its end reports.
        PostMessageA(form->Handle(), wx::WM_RIP_TIMEOUT, 100, 0);
        wx::Application.ProcessMessages();
        EXPECT_TRUE(form->Rip().TimeoutFlag);
        form->Rip().DispDigitalPlayStatus();
        EXPECT_EQ(script.Messages.back().text, "ﾄﾞﾗｲﾌﾞがﾀｲﾑｱｳﾄしました.");
        form.reset();
        FreeConfigForm();
    }
    // Without a drive, the play commands refuse.
    wx::test::StandinSetup none("", "", "Adapters=0\n");
    Open("[Common]\r\nIsDispSplash=No\r\nUseClassDriver=No\r\n");
    ASSERT_EQ(ConfigForm->DeviceCount, 0);
    script.Messages.clear();
    form->DirectPlay();
    form->CDPlayClick();
    form->CDStopClick();
    ASSERT_EQ(script.Messages.size(), 3u);
    for (const auto& m : script.Messages) EXPECT_EQ(m.text, "ﾒﾃﾞｨｱが挿入されていません.");
}

// The track list of a disc whose third track is data, driven through the
// window's own messages: keys, clicks, a drag, the pop-up's shortcuts and
// commands, and a re-read of the same disc.  The selection is checked after
// every step.
namespace {

std::string Selection(const TMyCustomListView& list) {
    std::string s;
    for (int i = 0; i < list.Count(); ++i) s += list.Selected(i) ? '1' : '0';
    return s;
}

void PostKey(HWND w, WPARAM vk, WPARAM ch = 0) {
    PostMessageA(w, WM_KEYDOWN, vk, 1);
    if (ch) PostMessageA(w, WM_CHAR, ch, 1);
    PostMessageA(w, WM_KEYUP, vk, 0xC0000001);
    wx::Application.ProcessMessages();
}

void HoldControl(bool down) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

POINT RowPoint(HWND list, int row) {
    RECT r{};
    r.left = LVIR_LABEL;
    SendMessageA(list, LVM_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(&r));
    return POINT{r.left + 10, (r.top + r.bottom) / 2};
}

void Click(HWND list, int row, WPARAM keys = 0) {
    const POINT p = RowPoint(list, row);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(p.x, p.y));
    PostMessageA(list, WM_LBUTTONUP, keys, MAKELPARAM(p.x, p.y));
    wx::Application.ProcessMessages();
}

std::string Cell(const TMyCustomListView& list, int row, int col) { return list.ItemText(row, col); }

}  // namespace

TEST_F(Frame, TrackListKeysMouseAndCommandsOnADiscWithADataTrack) {
    wx::test::StandinSetup standin;
    wx::testimg::WriteText(standin.dir.File("disc.cue"),
                       "FILE \"disc.bin\" BINARY\n"
                       "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                       "  TRACK 02 AUDIO\n    INDEX 01 00:06:00\n"
                       "  TRACK 03 MODE1/2352\n    INDEX 01 00:12:00\n"
                       "  TRACK 04 AUDIO\n    INDEX 01 00:18:00\n");
    Open("[Common]\r\nIsDispSplash=No\r\nUseClassDriver=No\r\n"
         "[DEVICES_0]\r\nAdapter=0\r\nTarget=1\r\nDriveMaker=PLEXTOR\r\nDriveType=CD-ROM\r\n");
    TMyCustomListView& tl = form->TrackList;
    const HWND list = tl.Handle();
    ASSERT_EQ(tl.Count(), 4);
    ASSERT_FALSE(form->Tracks.Slots[3].IsAudio);
    SetFocus(list);

    // Space toggles the next audio row and leaves the others; the data row
    // is passed over; on the last audio row it toggles that row again.
    tl.SetSelected(0, true);
    EXPECT_EQ(Selection(tl), "1000");
    PostKey(list, VK_SPACE, ' ');
    EXPECT_EQ(Selection(tl), "1100");
    PostKey(list, VK_SPACE, ' ');
    EXPECT_EQ(Selection(tl), "1101");
    PostKey(list, VK_SPACE, ' ');
    EXPECT_EQ(Selection(tl), "1100");
    // Digits and other letters are consumed: no type-ahead search.
    PostKey(list, '2', '2');
    PostKey(list, '4', '4');
    PostKey(list, 'X', 'x');
    EXPECT_EQ(Selection(tl), "1100");
    // Enter with two rows selected opens nothing.
    int modals = 0;
    script.OnModal = [&](wx::TForm&) -> INT_PTR {
        ++modals;
        return IDCANCEL;
    };
    PostKey(list, VK_RETURN, '\r');
    EXPECT_EQ(modals, 0);
    EXPECT_EQ(Selection(tl), "1100");

    // The pop-up's shortcuts act in the track list only.
    HoldControl(true);
    SetFocus(form->ListView1.Handle());
    PostKey(form->ListView1.Handle(), 'A');
    EXPECT_EQ(Selection(tl), "1100") << "Ctrl+A in the file list";
    PostKey(form->ListView1.Handle(), 'S');
    EXPECT_TRUE(script.FileDialogs.empty()) << "Ctrl+S in the file list";
    SetFocus(list);
    PostKey(list, 'A');
    EXPECT_EQ(Selection(tl), "1101") << "select all leaves the data row out";
    PostKey(list, 'S');
    ASSERT_EQ(script.FileDialogs.size(), 1u);
    EXPECT_EQ(script.FileDialogs[0], "ﾌｧｲﾙを書き込むﾃﾞｨﾚｸﾄﾘの選択");
    EXPECT_FALSE(form->Rip().Running()) << "a cancelled folder choice starts nothing";
    HoldControl(false);

    // Clicks: plain, Ctrl and Shift.
    Click(list, 1);
    EXPECT_EQ(Selection(tl), "0100");
    Click(list, 0, MK_CONTROL);
    EXPECT_EQ(Selection(tl), "1100");
    Click(list, 1, MK_CONTROL);
    EXPECT_EQ(Selection(tl), "1000");
    Click(list, 0);
    Click(list, 3, MK_SHIFT);
    EXPECT_EQ(Selection(tl), "1101") << "a range over the data row";
    Click(list, 2);
    EXPECT_EQ(Selection(tl), "0000") << "a data row never stays selected";

    // One gesture selects an unselected row and drags it: 5 pixels are not
    // a drag, 6 are.  Esc ends the drag without a drop.
    for (int dy : {5, 6}) {
        SCOPED_TRACE(dy);
        for (int i = 0; i < tl.Count(); ++i) tl.SetSelected(i, false);
        const POINT p = RowPoint(list, 1);
        POINT s = p;
        ClientToScreen(list, &s);
        SetCursorPos(s.x, s.y + dy);
        PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        PostMessageA(list, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y + dy));
        wx::Application.ProcessMessages();
        EXPECT_EQ(Selection(tl), "0100");
        EXPECT_EQ(form->TrackDragging, dy > 5);
        PostKey(list, VK_ESCAPE);
        PostMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y + dy));
        wx::Application.ProcessMessages();
        EXPECT_FALSE(form->TrackDragging);
        EXPECT_EQ(Selection(tl), "0100");
    }

    // The drive pop-up lists the drives; the checked one changes nothing.
    script.MenuAnswers.push_back(IDM_DRIVEPOPUP_FIRST);
    form->StatusBar4MouseUp(POINT{10, 10});
    ASSERT_FALSE(script.Menus.empty());
    EXPECT_EQ(script.Menus.back().size(), 1u);
    EXPECT_EQ(tl.Count(), 4);
    EXPECT_EQ(Selection(tl), "0100");

    // Ctrl+I on three rows: the tag editor over copies of them; the first
    // gets a tag, the last loses none it never had.
    Click(list, 0);
    Click(list, 3, MK_SHIFT);
    ASSERT_EQ(Selection(tl), "1101");
    std::vector<std::string> captions;
    script.OnModal = [&](wx::TForm& f) -> INT_PTR {
        auto* editor = dynamic_cast<TID3TagForm*>(&f);
        if (!editor) return IDCANCEL;
        for (const auto& r : editor->Table.Rows) captions.push_back(r.Caption);
        editor->Table.Rows[0].Cells[0] = "Title one";
        editor->Table.Rows[0].HasContent = true;
        editor->Table.Rows[2].HasContent = false;
        return IDOK;
    };
    script.Messages.clear();
    HoldControl(true);
    PostKey(list, 'I');
    HoldControl(false);
    EXPECT_EQ(captions, (std::vector<std::string>{"トラック1", "トラック2", "トラック4"}));
    EXPECT_EQ(form->Tracks.Slots[1].Title, "Title one");
    EXPECT_TRUE(form->Tracks.Slots[1].HasTag);
    EXPECT_FALSE(form->Tracks.Slots[4].HasTag);
    EXPECT_EQ(Cell(tl, 0, 6), "あり");
    EXPECT_EQ(Cell(tl, 3, 6), "なし");
    ASSERT_FALSE(script.Messages.empty());
    EXPECT_EQ(script.Messages.back().text, "ID3タグを設定しました");
    script.OnModal = nullptr;

    // The name list: a file that cannot be opened, then one with an empty
    // and an invalid line; the data track takes a line without using it.
    script.Messages.clear();
    script.FileAnswers.push_back(standin.dir.File("missing.txt"));
    form->LoadListClick();
    ASSERT_EQ(script.Messages.size(), 1u);
    EXPECT_EQ(script.Messages[0].text, "ファイルのオープンに失敗しました");
    EXPECT_EQ(script.FileDialogs.back(), "読み込むﾌｧｲﾙ名ﾘｽﾄﾌｧｲﾙの選択");
    wx::testimg::WriteText(standin.dir.File("names.txt"), "one\n\nbad?name\ntwo\nthree\nfour\n");
    script.FileAnswers.push_back(standin.dir.File("names.txt"));
    form->LoadListClick();
    ASSERT_EQ(script.Messages.size(), 2u);
    EXPECT_EQ(script.Messages[1].text, "異常なﾌｧｲﾙ名です:bad?name");
    EXPECT_EQ(Cell(tl, 0, 5), "one");
    EXPECT_EQ(Cell(tl, 1, 5), "two");
    EXPECT_EQ(Cell(tl, 2, 5), "");
    EXPECT_EQ(Cell(tl, 3, 5), "four");

    // A re-read that finds the same disc (the media check, the CDDB and
    // CD-TEXT dialogs, 表示更新) keeps the names, ranges and tags.
    form->Tracks.Slots[2].RangeStart = 75;
    form->RefreshTrackItem(2);
    form->RefreshTrackList();
    SendMessageA(form->Handle(), WM_COMMAND, IDT_REFRESHLIST, 0);
    wx::Application.ProcessMessages();
    ASSERT_EQ(tl.Count(), 4);
    EXPECT_EQ(Cell(tl, 0, 5), "one");
    EXPECT_EQ(Cell(tl, 3, 5), "four");
    EXPECT_EQ(Cell(tl, 1, 1), "00:01:00");
    EXPECT_EQ(Cell(tl, 0, 6), "あり");
    EXPECT_EQ(form->Tracks.Slots[1].Title, "Title one");
    EXPECT_EQ(Selection(tl), "0000");
}

// A file that is not WAV plays in the external player; without one that can
// be started the play button says why, once, and the bar stays idle.
TEST_F(Frame, TestPlaybackWithoutAPlayerSaysWhy) {
    CreateDirectoryA("W:\\frame_player", nullptr);
    std::ofstream("W:\\frame_player\\song.mp3", std::ios::binary) << "ID3";
    std::ofstream("W:\\frame_player\\player.exe", std::ios::binary) << "not a program";
    std::ofstream("W:\\frame_player\\gone.exe", std::ios::binary) << "not a program";
    const struct {
        const char* player;
        const char* message;
    } cases[] = {
        {"", "プレイヤーが登録されていません."},
        // A player gone since the settings were read.
        {"W:\\frame_player\\gone.exe", "プレイヤーが見つかりません."},
        {"W:\\frame_player\\player.exe", "プレイヤーの起動に失敗しました."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.player);
        Open(std::string("[Common]\r\nIsDispSplash=No\r\nUseClassDriver=No\r\n[MP3]\r\nUseMediaPlayer=No\r\n"
                         "[Filer]\r\nUsePlayer=") + c.player + "\r\n");
        if (std::string(c.player).ends_with("gone.exe")) DeleteFileA(c.player);
        form->AddPlayHistory("W:\\frame_player\\song.mp3");
        script.Messages.clear();
        form->SpeedButton2Click();
        ASSERT_EQ(script.Messages.size(), 1u);
        EXPECT_EQ(script.Messages[0].text, c.message);
        EXPECT_FALSE(form->TestPlaying);
        EXPECT_TRUE(form->SpeedButton2.Enabled());
        EXPECT_FALSE(form->SpeedButton1.Enabled());
        EXPECT_FALSE(form->SpeedButton3.Enabled());
        form.reset();
        FreeConfigForm();
    }
    DeleteFileA("W:\\frame_player\\song.mp3");
    DeleteFileA("W:\\frame_player\\player.exe");
    RemoveDirectoryA("W:\\frame_player");
}

TEST_F(Frame, SplashShowsUntilTheMainWindowComesUp) {
    std::ofstream(SettingsFileName, std::ios::binary) << "[Common]\r\nIsDispSplash=No\r\n";
    InitSplashUnit();
    EXPECT_EQ(SplashForm(), nullptr);
    std::ofstream(SettingsFileName, std::ios::binary) << "[Common]\r\n";
    InitSplashUnit();
    ASSERT_NE(SplashForm(), nullptr);
    HWND splash = SplashForm()->Handle();
    EXPECT_TRUE(IsWindowVisible(splash));
    EXPECT_EQ(GetWindowLongA(splash, GWL_STYLE) & WS_CAPTION, WS_BORDER);  // no caption bar
    const RECT r = ScreenRect(splash);
    EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    SetActiveWindow(splash);
    Open("[Common]\r\n");
    SetActiveWindow(form->Handle());
    wx::Application.ProcessMessages();
    EXPECT_EQ(SplashForm(), nullptr);
    EXPECT_FALSE(IsWindow(splash));
    FinalizeSplashUnit();
}

// Last: the refused start asks the application to end.
TEST_F(Frame, RipBuffersNotReservedEndTheStartWithoutSaving) {
    wx::RipBuffers.MemoryShortage = true;
    Open("[Common]\r\nIsDispSplash=No\r\nWindowWidth=701\r\n");
    wx::RipBuffers.MemoryShortage = false;
    ASSERT_EQ(script.Messages.size(), 1u);
    EXPECT_EQ(script.Messages[0].text, "実行に必要なメモリーを確保できません.");
    EXPECT_TRUE(form->StartupAborted);
    EXPECT_EQ(form->AcmDrv, nullptr);
    form->Close();
    EXPECT_EQ(ReadFile(SettingsFileName), "[Common]\r\nIsDispSplash=No\r\nWindowWidth=701\r\n");
    MSG m;
    while (PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

}  // namespace

// The track-range dialog on one track record: what it shows, the range and
// name refusals, a name already in the temporary folder, and a good OK.
// Without an ASPI adapter: on NT the pass-through transport must open a
// drive, else the start ends with 65286 and 65289; on Windows 9x the
// registry offer reports what it could write.
namespace {

class TNoCdDrives : public wx::TDeviceIo {
public:
    bool IsCdromRoot(char) override { return false; }
    Handle Open(const std::string&, bool, bool) override { return InvalidHandle(); }
    void Close(Handle) override {}
    Result Control(Handle, std::uint32_t, void*, std::uint32_t, void*, std::uint32_t, std::uint32_t*, void*) override {
        return Result::Failed;
    }
    bool OverlappedResult(Handle, void*, std::uint32_t*) override { return false; }
    void SignalEvent(void*) override {}
    int NtMajorVersion() override { return 4; }
};

void DropQuit() {
    MSG m;
    while (PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

}  // namespace

TEST_F(Frame, NoAspiAdapterEndsTheStartOrOffersTheRegistryAndSaysWhatHappened) {
    {
        TNoCdDrives none;
        wx::SetDeviceIo(&none);
        wx::test::StandinSetup standin("", "", "Adapters=0\n");
        Open("[Common]\r\nIsDispSplash=No\r\nWindowWidth=702\r\n");
        wx::SetDeviceIo(nullptr);
        ASSERT_EQ(script.Messages.size(), 1u);
        EXPECT_EQ(script.Messages[0].text,
                  "WIN32 ASPI APIセットを利用できません.\rAdaptec ASPI32をｲﾝｽﾄｰﾙしてATAPI CD-ROMﾄﾞﾗｲﾌﾞを使用する場合、"
                  "ﾚｼﾞｽﾄﾘ書き換えが必要です\r詳細は作者ホームページのFAQを参照下さい。");
        EXPECT_TRUE(form->StartupAborted);
        EXPECT_FALSE(form->ClassDriverInUse);
        form->Close();
        EXPECT_EQ(ReadFile(SettingsFileName), "[Common]\r\nIsDispSplash=No\r\nWindowWidth=702\r\n");
        DropQuit();
        form.reset();
        FreeConfigForm();
    }
    // The Windows 9x offer, against a key of this test.
    wx::test::StandinSetup standin;
    Open("[Common]\r\nIsDispSplash=No\r\n");
    const char* path = "System\\CurrentControlSet\\Services\\VxD\\APIX";
    HKEY test = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\WendrixFrameTest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &test, nullptr),
              ERROR_SUCCESS);
    const std::string offer = "WIN32 ASPI APIセットを利用できません.\rATAPI/ﾉｰﾄ用CD-ROMﾄﾞﾗｲﾌﾞではﾚｼﾞｽﾄﾘ書き換えで動作する場合があります。"
                              "\rﾚｼﾞｽﾄﾘを書き換えてもよろしいですか?";
    struct Row {
        const char* what;
        const char* value;  // nullptr: no key
        bool writable;
        int answer;
        std::vector<std::string> texts;
        bool aborted;
    } rows[] = {
        {"no key reads as ATAPI; written", nullptr, true, IDOK, {offer, "ﾚｼﾞｽﾄﾘを書き換えました。Windowsを再起動して下さい。"}, true},
        {"a value; written", "ATAPI", true, IDOK, {offer, "ﾚｼﾞｽﾄﾘを書き換えました。Windowsを再起動して下さい。"}, true},
        {"the write fails", nullptr, false, IDOK, {offer, "ﾚｼﾞｽﾄﾘを書き換えられませんでした。"}, true},
        {"cancelled", "ATAPI", true, IDCANCEL, {offer}, true},
        {"an empty value goes on", "", true, IDOK, {}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RegDeleteTreeA(test, "System");
        if (row.value) {
            HKEY k = nullptr;
            ASSERT_EQ(RegCreateKeyExA(test, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
            RegSetValueExA(k, "ExcludeMiniports", 0, REG_SZ, reinterpret_cast<const BYTE*>(row.value),
                           DWORD(std::strlen(row.value) + 1));
            RegCloseKey(k);
        }
        // A closed handle as the root makes every registry call fail.
        HKEY dead = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\WendrixFrameTestDead", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &dead, nullptr);
        RegCloseKey(dead);
        form->RegistryRoot = row.writable ? test : dead;
        form->StartupAborted = false;
        script.Messages.clear();
        script.Answers = {row.answer};
        form->NoAspiTransport(VER_PLATFORM_WIN32_WINDOWS);
        DropQuit();
        std::vector<std::string> texts;
        for (const auto& m : script.Messages) texts.push_back(m.text);
        EXPECT_EQ(texts, row.texts);
        EXPECT_EQ(form->StartupAborted, row.aborted);
        if (row.writable && row.answer == IDOK && row.aborted) {
            char buf[16] = "x";
            DWORD size = sizeof buf;
            HKEY k = nullptr;
            ASSERT_EQ(RegOpenKeyExA(test, path, 0, KEY_READ, &k), ERROR_SUCCESS);
            EXPECT_EQ(RegQueryValueExA(k, "ExcludeMiniports", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size),
                      ERROR_SUCCESS);
            EXPECT_STREQ(buf, "");
            RegCloseKey(k);
        }
    }
    form->RegistryRoot = HKEY_LOCAL_MACHINE;
    form->StartupAborted = false;
    RegCloseKey(test);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\WendrixFrameTest");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\WendrixFrameTestDead");
}

// The CD player panel's moves while paused: a move that goes nowhere (into
// a data track) keeps the pause, so the next press of the pause button
// resumes; a move that seeks plays on; one past the end stops.
TEST(CDPlayerPanel, MovesWhilePaused) {
    wx::Application.Initialize();
    wx::TTrackTable disc;
    disc.TrackCount = 3;
    const std::int32_t starts[] = {0, 1000, 2000, 4000};
    for (int i = 1; i <= 3; ++i) {
        disc.Slots[i].StartLba = starts[i - 1];
        disc.Slots[i].SectorCount = starts[i] - starts[i - 1];
        disc.Slots[i].IsAudio = i != 2;
    }
    disc.Slots[wx::LeadOutSlot].StartLba = 4000;
    struct Row {
        const char* what;
        bool forward;
        std::int32_t lba;
        std::vector<std::pair<std::uint32_t, std::intptr_t>> posts;  // after the pause
        bool paused;
    };
    const Row rows[] = {
        {"10 s on, into the data track", true, 500, {{wx::WM_WAVEOUT_RESUME, 0}}, false},
        {"10 s back, into the data track", false, 2300, {{wx::WM_WAVEOUT_RESUME, 0}}, false},
        {"10 s on in the track", true, 2100, {{wx::WM_WAVEOUT_PLAY, 2850}, {wx::WM_WAVEOUT_PAUSE, 0}}, true},
        {"10 s on past the end", true, 3500, {{wx::WM_WAVEOUT_STOP, 0}, {wx::WM_WAVEOUT_RESUME, 0}}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::int32_t lba = row.lba;
        int track = 1, mode = 0;
        std::vector<std::pair<std::uint32_t, std::intptr_t>> posts;
        wx::TCDPlayerHost host;
        host.Tracks = &disc;
        host.PlayLba = &lba;
        host.PlayTrack = &track;
        host.TimeDisplayMode = &mode;
        host.PostWaveOut = [&](std::uint32_t msg, std::intptr_t lp) { posts.push_back({msg, lp}); };
        wx::TCDPlayer panel(nullptr, host);
        panel.Show();
        panel.CDPause();
        ASSERT_TRUE(panel.Paused());
        posts.clear();
        if (row.forward)
            panel.CDNext();
        else
            panel.CDPrev();
        panel.CDPause();  // resumes a pause that is still on, or pauses the play
        EXPECT_EQ(posts, row.posts);
        EXPECT_EQ(panel.Paused(), row.paused);
        panel.CloseAllowed = true;
        panel.DestroyHandle();
    }
}

TEST(TrackRangeDialog, ShowRefuseAndSet) {
    wx::Application.Initialize();
    wx::TScriptedPrompter script;
    wx::TPrompterGuard guard(script);
    wx::TTrackRecord t;
    t.RangeStart = 150;
    t.RangeEnd = 2 * 4500 + 3 * 75 + 4;
    t.SectorCount = 6000;
    t.FileStem = "old";
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string kept = std::string(temp) + "wx_trkprop_kept.txt";
    std::ofstream(kept) << "keep";
    std::vector<std::string> shown, afterReset;
    std::vector<INT_PTR> results;
    TTrackProparty form(nullptr, t);
    form.CaptionText = "caption";
    auto fields = [&](const char* sm, const char* ss, const char* sf, const char* em, const char* es, const char* ef,
                      const char* name) {
        form.SMIN.SetText(sm);
        form.SSEC.SetText(ss);
        form.SFRAME.SetText(sf);
        form.EMIN.SetText(em);
        form.ESEC.SetText(es);
        form.EFRAME.SetText(ef);
        form.FileNameEdit.SetText(name);
        form.BitBtn1Click();
        results.push_back(form.ModalResult());
    };
    script.OnModal = [&](wx::TForm&) -> INT_PTR {
        shown = {form.Caption(), form.FileNameEdit.Text(), form.SMIN.Text(), form.SSEC.Text(), form.SFRAME.Text(),
                 form.EMIN.Text(), form.ESEC.Text(), form.EFRAME.Text()};
        fields("-0", "2", "0", "-0", "2", "0", "x");    // start = end
        fields("0", "0", "75", "1", "0", "0", "x");     // frames out of range
        fields("1", "-1", "0", "2", "0", "0", "x");     // negative seconds
        fields("0", "0", "0", "1", "0", "-5", "x");     // negative frames
        fields("0", "0", "0", "1", "a", "0", "x");      // not a number
        fields("-", "0", "0", "1", "0", "0", "x");      // a minus alone
        fields("0", "0", "0", "1", "0", "0", "a|b");    // a character names cannot hold
        fields("0", "0", "0", "1", "0", "0", "nul.wav");  // a device
        fields("0", "0", "0", "1", "0", "0", "..");       // the parent folder
        fields("0", "0", "0", "1", "0", "0", " . ");      // dots and blanks only
        fields("0", "0", "0", "1", "0", "0", "wx_trkprop_kept.txt");  // exists: accepted as it is
        form.Button1Click();
        afterReset = {form.SMIN.Text(), form.SSEC.Text(), form.SFRAME.Text(), form.EMIN.Text(), form.ESEC.Text(),
                      form.EFRAME.Text()};
        form.Emph.SetChecked(true);
        fields("-1", "0", "0", "1", "0", "0", "song");
        return form.ModalResult();
    };
    EXPECT_EQ(form.ShowModal(), IDOK);
    EXPECT_EQ(shown, (std::vector<std::string>{"caption", "old", "0", "2", "0", "2", "3", "4"}));
    EXPECT_EQ(results, (std::vector<INT_PTR>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, IDOK, IDOK}));
    std::vector<std::string> texts;
    for (auto& m : script.Messages) texts.push_back(m.text);
    EXPECT_EQ(texts, (std::vector<std::string>{wx::LoadResString(MSG_BAD_RECORDING_RANGE), wx::LoadResString(MSG_FRAMES_RANGE),
                                               wx::LoadResString(MSG_SECONDS_RANGE), wx::LoadResString(MSG_FRAMES_RANGE),
                                               wx::LoadResString(MSG_INVALID_ENTRY_COLON),
                                               wx::LoadResString(MSG_INVALID_ENTRY_COLON),
                                               wx::LoadResString(MSG_INVALID_FILE_NAME),
                                               wx::LoadResString(MSG_INVALID_FILE_NAME),
                                               wx::LoadResString(MSG_INVALID_FILE_NAME),
                                               wx::LoadResString(MSG_INVALID_FILE_NAME)}));
    EXPECT_EQ(afterReset, (std::vector<std::string>{"0", "0", "0", "1", "19", "74"}));
    EXPECT_EQ(ReadFile(kept), "keep");
    EXPECT_EQ(GetFileAttributesA((std::string(temp) + "song").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(t.RangeStart, -4500);
    EXPECT_EQ(t.RangeEnd, 4500);
    EXPECT_EQ(t.FileStem, "song");
    EXPECT_TRUE(t.PreEmphasis);
    DeleteFileA(kept.c_str());

    // Positions before the track start reopen as they were entered, and an
    // unchanged OK keeps them.
    t.RangeStart = -4501;
    t.RangeEnd = -150;
    TTrackProparty again(nullptr, t);
    script.OnModal = [&](wx::TForm&) -> INT_PTR {
        shown = {again.SMIN.Text(), again.SSEC.Text(), again.SFRAME.Text(), again.EMIN.Text(), again.ESEC.Text(),
                 again.EFRAME.Text()};
        again.BitBtn1Click();
        return again.ModalResult();
    };
    EXPECT_EQ(again.ShowModal(), IDOK);
    EXPECT_EQ(shown, (std::vector<std::string>{"-1", "0", "1", "-0", "2", "0"}));
    EXPECT_EQ(t.RangeStart, -4501);
    EXPECT_EQ(t.RangeEnd, -150);
}
