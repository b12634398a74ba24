// The file manager of the main window in this process under Wine, on the
// test drive W: (a folder of the build tree): the tree and the list of a
// folder with Shift-JIS names, the orders and the extension filter, the
// folder monitors (a file made by another process, a folder removed), a
// device notice rebuilding the drive bar, and the start folder.  Texts are
// written in UTF-8 and compiled to code page 932.
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/attrfrm.h"
#include "app/dragdrop.h"
#include "app/filershell.h"
#include "app/selfolder.h"
#include "app/wendrixn.h"
#include "output/renamefrm.h"
#include "resources/msgids.h"
#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "extraction/wendrisub.h"
#include "settings/configs_win.h"
#include "settings/configstore.h"

#include <dbt.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstring>
#include <map>

using namespace wendrix;

namespace {

const std::string kRoot = "W:\\filer_test";
// Names whose second byte of a double-byte character is a backslash byte.
const std::string kHyouji = "表示";  // 0x95 0x5C 0x8E 0xA6
const std::string kSo = "ソフト";    // 0x83 0x5C ...

void Touch(const std::string& path, std::size_t size = 0, DWORD attrs = 0) {
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
    if (attrs) SetFileAttributesA(path.c_str(), attrs);
}

// Removes a folder with everything in it, names outside the code page too.
void WipeW(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring p = dir + L"\\" + name;
            SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                WipeW(p);
            else
                DeleteFileW(p.c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}
void Wipe(const std::string& dir) { WipeW(filer::Widen(dir)); }

// Waits for window messages (the monitors post theirs) until cond holds.
bool PumpUntil(const std::function<bool()>& cond, DWORD ms = 10000) {
    const DWORD start = GetTickCount();
    while (!cond()) {
        if (GetTickCount() - start > ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        wx::Application.ProcessMessages();
    }
    return true;
}

// Runs a command line in another process and waits for it.
bool RunOther(const std::string& command) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string line = command;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return false;
    WaitForSingleObject(pi.hProcess, 30000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code == 0;
}

std::string NodeText(HWND tree, HTREEITEM n) {
    char buf[MAX_PATH] = {};
    TVITEMA it{};
    it.mask = TVIF_TEXT;
    it.hItem = n;
    it.pszText = buf;
    it.cchTextMax = sizeof buf;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    return buf;
}

std::vector<std::string> ChildTexts(HWND tree, HTREEITEM n) {
    std::vector<std::string> t;
    for (HTREEITEM c = TreeView_GetChild(tree, n); c; c = TreeView_GetNextSibling(tree, c)) t.push_back(NodeText(tree, c));
    return t;
}

HTREEITEM Child(HWND tree, HTREEITEM n, const std::string& text) {
    for (HTREEITEM c = TreeView_GetChild(tree, n); c; c = TreeView_GetNextSibling(tree, c))
        if (NodeText(tree, c) == text) return c;
    return nullptr;
}

// The scripted prompter, with pop-up menus answered by the text of an
// item (the shell's ids are known only once its menu is built) and the
// items' enabled states kept.
struct TFilerPrompter : wx::TScriptedPrompter {
    std::deque<std::string> Choose;  // item texts, in turn; "" dismisses
    std::vector<std::vector<std::pair<std::string, bool>>> Items;
    UINT PopupMenu(HMENU menu, HWND owner, int x, int y) override {
        std::vector<std::pair<std::string, bool>> items;
        UINT chosen = 0;
        const std::string want = Choose.empty() ? std::string() : Choose.front();
        if (!Choose.empty()) Choose.pop_front();
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            char text[256] = {};
            GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
            const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
            const bool enabled = (state & MF_SEPARATOR) || !(state & (MF_GRAYED | MF_DISABLED));
            items.emplace_back(text, enabled);
            const std::string t = text;
            if (!want.empty() && enabled && (t == want || t.rfind(want + "(", 0) == 0)) chosen = GetMenuItemID(menu, i);
        }
        Items.push_back(items);
        return chosen ? chosen : wx::TScriptedPrompter::PopupMenu(menu, owner, x, y);
    }
};

// Answers the shell's own confirmation boxes of this thread by button id
// as they come up (a hook on window activation), keeping their texts: the
// answer is posted and carried out by the box's own message loop, once
// the box shows its texts.
class TShellAnswers {
public:
    explicit TShellAnswers(int button = 6) : button_(button) {
        self_ = this;
        window_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowSubclass(window_, &Proc, 1, 0);
        hook_ = SetWindowsHookExA(WH_CBT, &Hook, nullptr, GetCurrentThreadId());
    }
    ~TShellAnswers() {
        UnhookWindowsHookEx(hook_);
        DestroyWindow(window_);
        self_ = nullptr;
    }
    std::vector<std::string> Texts;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
        if (code == HCBT_ACTIVATE && self_) {
            HWND w = reinterpret_cast<HWND>(wp);
            char cls[32] = {};
            GetClassNameA(w, cls, sizeof cls);
            if (std::string(cls) == "#32770" && GetDlgItem(w, self_->button_)) PostMessageA(self_->window_, WM_APP, wp, 0);
        }
        return CallNextHookEx(nullptr, code, wp, lp);
    }
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
        if (msg == WM_APP && self_) {
            HWND w = reinterpret_cast<HWND>(wp);
            char caption[256] = {};
            GetWindowTextA(w, caption, sizeof caption);
            std::string text = caption;
            self_->Texts.push_back(text);
            SendMessageA(GetDlgItem(w, self_->button_), BM_CLICK, 0, 0);
            return 0;
        }
        return DefSubclassProc(wnd, msg, wp, lp);
    }
    static TShellAnswers* self_;
    HHOOK hook_;
    HWND window_;
    int button_;
};
TShellAnswers* TShellAnswers::self_ = nullptr;

class Filer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        wx::Application.Initialize();
        wx::ReserveRipBuffers(wx::RipBuffers);
        DetectPlatform();
        InitMainUnit();
    }

    void SetUp() override {
        prompter_ = std::make_unique<wx::TPrompterGuard>(script);
        Wipe(kRoot);
        Wipe("W:\\filer_gone");
        ASSERT_TRUE(CreateDirectoryA(kRoot.c_str(), nullptr)) << "no test drive W:";
        // Never the Unix root behind Z:.
        SetCurrentDirectoryA("W:\\");
    }

    void TearDown() override {
        form.reset();
        FreeConfigForm();
        prompter_.reset();
        std::remove(SettingsFileName.c_str());
        Wipe(kRoot);
        Wipe("W:\\filer_gone");
    }

    void Open(const std::string& ini) {
        std::ofstream(SettingsFileName, std::ios::binary) << "[Common]\r\nIsDispSplash=No\r\n" << ini;
        CreateConfigForm();
        form = std::make_unique<TForm1>();
        form->Show();
        wx::Application.ProcessMessages();
    }

    HWND Tree() const { return form->TreeView1.Handle(); }
    std::string Cell(int row, int col) {
        char buf[MAX_PATH] = {};
        LVITEMA it{};
        it.iSubItem = col;
        it.pszText = buf;
        it.cchTextMax = sizeof buf;
        SendMessageA(form->ListView1.Handle(), LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
        return buf;
    }
    std::vector<std::string> Rows() {
        std::vector<std::string> r;
        const int n = form->ListView1.Count();
        for (int i = 0; i < n; ++i) r.push_back(Cell(i, 1));
        return r;
    }
    bool Listed(const std::string& name) {
        for (const std::string& r : Rows())
            if (r == name) return true;
        return false;
    }

    TFilerPrompter script;
    std::unique_ptr<TForm1> form;

private:
    std::unique_ptr<wx::TPrompterGuard> prompter_;
};

// The tree and the list of a folder: Shift-JIS names with backslash trail
// bytes, the parent row, folders first, the extension filter, the status
// texts, the orders and their column clicks, the row colours.
TEST_F(Filer, TreeAndListOfAFolder) {
    const std::string deep = kRoot + "\\" + kHyouji;
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((deep + "\\" + kSo).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((kRoot + "\\sub").c_str(), nullptr));
    Touch(deep + "\\a.mp3", 3000);
    Touch(deep + "\\b.MP2", 1);
    Touch(deep + "\\" + kSo + ".wav", 2000);
    Touch(deep + "\\d.wma", 10);
    Touch(deep + "\\e.txt", 4);
    Touch(deep + "\\hidden.mp3", 5, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    Touch(deep + "\\ro.mp3", 6, FILE_ATTRIBUTE_READONLY);
    Open("[Filer]\r\nChangeBootDir=Yes\r\nBootDir=" + deep + "\\\r\nDispAllExts=0\r\nDispExt1=.mp\r\nDispExt2=.WAV\r\n");

    // The tree: W: expanded down to 表示, which is selected.
    HWND tree = Tree();
    const HTREEITEM root = TreeView_GetRoot(tree);
    ASSERT_NE(root, nullptr);
    EXPECT_NE(NodeText(tree, root).find("W:"), std::string::npos) << NodeText(tree, root);
    const HTREEITEM top = Child(tree, root, "filer_test");
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(ChildTexts(tree, top), (std::vector<std::string>{"sub", kHyouji}));
    const HTREEITEM hyouji = Child(tree, top, kHyouji);
    EXPECT_EQ(TreeView_GetSelection(tree), hyouji);
    EXPECT_EQ(form->GetFilePathAt(), deep);
    EXPECT_EQ(ChildTexts(tree, hyouji), (std::vector<std::string>{kSo}));
    EXPECT_EQ(form->DrivePanel1.DriveLetter(form->DrivePanel1.Selected()), 'W');
    EXPECT_EQ(form->ListedFolder(), deep);

    // The list: "..", the folder, then the files the default filter admits
    // (.MP and .WAV), by name.
    EXPECT_EQ(Rows(), (std::vector<std::string>{"..", kSo, "a.mp3", "b.MP2", "hidden.mp3", "ro.mp3", kSo + ".wav"}));
    EXPECT_EQ(Cell(2, 0), "");  // the detail view shows the name in column 1
    EXPECT_EQ(Cell(2, 2), "3,000");
    EXPECT_EQ(Cell(1, 2), "");  // no size for folders
    EXPECT_EQ(Cell(4, 5), "RHA");
    EXPECT_EQ(Cell(2, 4).size(), std::string("24/01/01 12:00 AM").size());
    EXPECT_EQ(form->StatusBar2.PanelText(0), "開いているフォルダのパス ［" + deep + "］");
    // Counted: every item of the folder and the bytes of all its files.
    EXPECT_EQ(form->StatusBar1.PanelText(1).rfind("8 個のファイルで 5KB を使用 / ドライブの空き： ", 0), 0u)
        << form->StatusBar1.PanelText(1);
    EXPECT_GE(form->ListView1Image(2), 0);

    // Colours: hidden (and read-only) purple, read-only green.
    NMLVCUSTOMDRAW cd{};
    cd.nmcd.hdr.hwndFrom = form->ListView1.Handle();
    cd.nmcd.hdr.idFrom = IDC_LISTVIEW1;
    cd.nmcd.hdr.code = NM_CUSTOMDRAW;
    cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    for (auto [row, colour] : {std::pair{4, RGB(0x80, 0, 0x80)}, std::pair{5, RGB(0, 0x80, 0)}, std::pair{2, RGB(0, 0, 0)}}) {
        cd.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
        SendMessageA(form->Handle(), WM_NOTIFY, IDC_LISTVIEW1, reinterpret_cast<LPARAM>(&cd));
        EXPECT_EQ(cd.clrText, colour) << row;
    }

    // Column clicks: size, then size again (descending); folders stay first.
    auto click = [&](int col) {
        NMLISTVIEW nm{};
        nm.hdr.hwndFrom = form->ListView1.Handle();
        nm.hdr.idFrom = IDC_LISTVIEW1;
        nm.hdr.code = LVN_COLUMNCLICK;
        nm.iItem = -1;
        nm.iSubItem = col;
        SendMessageA(form->Handle(), WM_NOTIFY, IDC_LISTVIEW1, reinterpret_cast<LPARAM>(&nm));
    };
    click(2);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"..", kSo, "b.MP2", "hidden.mp3", "ro.mp3", kSo + ".wav", "a.mp3"}));
    click(2);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"..", kSo, "a.mp3", kSo + ".wav", "ro.mp3", "hidden.mp3", "b.MP2"}));
    EXPECT_TRUE(wx::TMenu(form->ViewPullDown).Checked(IDM_DOWNSORT));
    click(1);  // name order, still descending
    EXPECT_EQ(Rows(), (std::vector<std::string>{"..", kSo, kSo + ".wav", "ro.mp3", "hidden.mp3", "b.MP2", "a.mp3"}));
    click(0);  // no order of its own
    EXPECT_TRUE(wx::TMenu(form->ViewPullDown).Checked(IDM_FILENAMESORT));

    // The large-icon view shows the names as captions.
    SendMessageA(form->Handle(), WM_COMMAND, IDM_DISPICON1, 0);
    EXPECT_EQ(Cell(0, 0), "..");
    SendMessageA(form->Handle(), WM_COMMAND, IDM_DISPDETAIL, 0);
    EXPECT_EQ(Cell(0, 0), "");

    // Opening a folder row selects it in the tree and lists it; ".." goes back up.
    ListView_SetItemState(form->ListView1.Handle(), -1, 0, LVIS_SELECTED);
    ListView_SetItemState(form->ListView1.Handle(), 1, LVIS_SELECTED, LVIS_SELECTED);
    form->ListView1DblClick();
    EXPECT_EQ(form->GetFilePathAt(), deep + "\\" + kSo);
    EXPECT_EQ(Rows(), (std::vector<std::string>{".."}));
    ListView_SetItemState(form->ListView1.Handle(), 0, LVIS_SELECTED, LVIS_SELECTED);
    form->ListView1DblClick();
    EXPECT_EQ(form->GetFilePathAt(), deep);

    // A folder that is gone is refused with a warning; nothing changes.
    form->DirectoryChange(kRoot + "\\NoSuch\\");
    ASSERT_EQ(script.Messages.size(), 1u) << script.Messages[0].text;
    EXPECT_EQ(script.Messages[0].text, "指定のディレクトリは存在しません");
    EXPECT_EQ(form->GetFilePathAt(), deep);

    // Every extension shown: the filter as the settings dialog changes it.
    FilerExtFilter.ShowAll = true;
    form->RefreshFiler();
    EXPECT_TRUE(Listed("d.wma"));
    EXPECT_TRUE(Listed("e.txt"));

    // The window closes and keeps the folder for the next start.
    form->Close();
    std::ifstream in(SettingsFileName, std::ios::binary);
    const std::string saved((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(saved.find("BootDir=" + deep + "\\\r\n"), std::string::npos);
}

// Another process makes a file in the listed folder: it shows after the
// list monitor's notice, the user's row keeps its place.  A folder removed
// on disk leaves the tree after the tree monitor's notice.  A device
// notice for a volume rebuilds the drive bar; other notices do not.
TEST_F(Filer, MonitorsAndDeviceNotices) {
    ASSERT_TRUE(CreateDirectoryA("W:\\filer_gone", nullptr));
    for (int i = 0; i < 40; ++i) Touch(kRoot + "\\f" + std::to_string(100 + i) + ".mp3", 1);
    Open("[Filer]\r\nChangeBootDir=Yes\r\nBootDir=" + kRoot + "\\\r\n");
    ASSERT_EQ(form->GetFilePathAt(), kRoot);
    ASSERT_EQ(form->ListView1.Count(), 41);
    ListView_SetItemState(form->ListView1.Handle(), 30, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(form->ListView1.Handle(), 30, FALSE);

    ASSERT_TRUE(RunOther("cmd.exe /c echo new> " + kRoot + "\\new.mp3"));
    EXPECT_TRUE(PumpUntil([&] { return Listed("new.mp3"); })) << "no notice of the new file";
    // The focused row is the one the user had.
    EXPECT_EQ(ListView_GetNextItem(form->ListView1.Handle(), -1, LVNI_FOCUSED), 30);
    EXPECT_TRUE(ListView_GetItemState(form->ListView1.Handle(), 30, LVIS_SELECTED));

    HWND tree = Tree();
    const HTREEITEM root = TreeView_GetRoot(tree);
    ASSERT_NE(Child(tree, root, "filer_gone"), nullptr);
    ASSERT_TRUE(RunOther("cmd.exe /c rmdir W:\\filer_gone"));
    EXPECT_TRUE(PumpUntil([&] { return Child(tree, TreeView_GetRoot(tree), "filer_gone") == nullptr; }))
        << "the removed folder stays in the tree";
    EXPECT_EQ(form->GetFilePathAt(), kRoot);

    // Notices are not handled while the pane is busy: they wait, and are
    // carried out once it is idle.
    ASSERT_TRUE(CreateDirectoryA("W:\\filer_gone", nullptr));
    form->TreeBusy = true;
    SendMessageA(form->Handle(), WM_DIR_CHANGED, 0, form->TreeMonitorSlot);
    EXPECT_TRUE(form->TreeRefreshPending);
    PumpUntil([] { return false; }, 400);
    EXPECT_EQ(Child(tree, TreeView_GetRoot(tree), "filer_gone"), nullptr);
    EXPECT_TRUE(form->TreeRefreshPending);
    form->TreeBusy = false;
    EXPECT_TRUE(PumpUntil([&] { return Child(tree, TreeView_GetRoot(tree), "filer_gone") != nullptr; }));
    EXPECT_FALSE(form->TreeRefreshPending);

    // The selection stays on the files the user chose when rows come in
    // before them.
    const int rows = form->ListView1.Count();
    ListView_SetItemState(form->ListView1.Handle(), -1, 0, LVIS_SELECTED);
    auto rowOf = [&](const std::string& name) {
        const auto all = Rows();
        for (std::size_t i = 0; i < all.size(); ++i)
            if (all[i] == name) return static_cast<int>(i);
        return -1;
    };
    for (const char* n : {"f110.mp3", "f120.mp3"})
        ListView_SetItemState(form->ListView1.Handle(), rowOf(n), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ASSERT_TRUE(RunOther("cmd.exe /c echo a> " + kRoot + "\\a0.mp3 && echo a> " + kRoot + "\\a1.mp3"));
    EXPECT_TRUE(PumpUntil([&] { return form->ListView1.Count() == rows + 2; }));
    std::vector<std::string> selected;
    for (int i = form->ListView1.NextSelected(-1); i >= 0; i = form->ListView1.NextSelected(i)) selected.push_back(Cell(i, 1));
    EXPECT_EQ(selected, (std::vector<std::string>{"f110.mp3", "f120.mp3"}));
    EXPECT_EQ(Cell(ListView_GetNextItem(form->ListView1.Handle(), -1, LVNI_FOCUSED), 1), "f120.mp3");

    // A burst: another program makes 600 files while the list is shown (and
    // re-lists as their notices come); shortly after the burst every one is
    // listed.
    {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::string line = "cmd.exe /c for /L %i in (1,1,600) do @echo x> " + kRoot + "\\burst%i.mp3";
        ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi));
        ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }, 60000));
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    EXPECT_TRUE(PumpUntil([&] { return form->ListView1.Count() == rows + 2 + 600; }, 3000))
        << form->ListView1.Count() - rows - 2 << " of 600 listed";
    for (int i = 1; i <= 600; ++i) DeleteFileA((kRoot + "\\burst" + std::to_string(i) + ".mp3").c_str());
    DeleteFileA((kRoot + "\\a0.mp3").c_str());
    DeleteFileA((kRoot + "\\a1.mp3").c_str());
    EXPECT_TRUE(PumpUntil([&] { return form->ListView1.Count() == rows; }));

    // Device notices: a volume rebuilds the bar and the pane stays where it was.
    TDrivePanel& bar = form->DrivePanel1;
    const int drives = bar.Drives();
    ASSERT_GE(drives, 2);
    DEV_BROADCAST_HDR port{sizeof port, DBT_DEVTYP_PORT, 0};
    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    bar.Clear();
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&port));
    EXPECT_EQ(bar.Drives(), 0);
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVICEQUERYREMOVE, reinterpret_cast<LPARAM>(&volume));
    EXPECT_EQ(bar.Drives(), 0);
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&volume));
    EXPECT_EQ(bar.Drives(), drives);
    EXPECT_EQ(bar.DriveLetter(bar.Selected()), 'W');
    EXPECT_EQ(form->GetFilePathAt(), kRoot);
    EXPECT_TRUE(Listed("new.mp3"));

    // With AutoRefresh off nothing is refreshed.
    AutoRefresh = false;
    bar.Clear();
    SendMessageA(form->Handle(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
    EXPECT_EQ(bar.Drives(), 0);
    AutoRefresh = true;

    // F5 rebuilds everything too.
    SendMessageA(form->Handle(), WM_COMMAND, IDM_FULLREFRESH, 0);
    EXPECT_EQ(bar.Drives(), drives);
    EXPECT_EQ(form->GetFilePathAt(), kRoot);

    // Drive clicks: C: opens at its root; back on W:, a fixed drive, the
    // folder last listed there comes back.
    auto clickDrive = [&](char letter) {
        for (int i = 0; i < bar.Drives(); ++i) {
            if (bar.DriveLetter(i) != letter) continue;
            const LPARAM at = MAKELPARAM(bar.DrawLeft() + i * bar.Metrics().ButtonWidth + 3, bar.DrawTop() + 3);
            SendMessageA(bar.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
            SendMessageA(bar.Handle(), WM_LBUTTONUP, 0, at);
            return true;
        }
        return false;
    };
    ASSERT_TRUE(clickDrive('C'));
    EXPECT_EQ(form->GetFilePathAt(), "C:");
    EXPECT_EQ(form->ListedFolder(), "C:\\");
    EXPECT_TRUE(Listed("windows"));
    EXPECT_FALSE(Listed(".."));
    ASSERT_TRUE(clickDrive('W'));
    EXPECT_EQ(form->GetFilePathAt(), kRoot);
    EXPECT_EQ(bar.DriveLetter(bar.Selected()), 'W');

    // A close asked for while a listing is under way waits for its end
    // and is not lost.
    HWND window = form->Handle();
    form->ListBusy = true;
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    wx::Application.ProcessMessages();
    form->ListBusy = false;
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); })) << "the close was lost";
}

}  // namespace

// ---- File operations, keys, context menu, drag and drop ----------------------

class FilerOps : public Filer {
protected:
    void SetUp() override {
        Filer::SetUp();
        // An empty recycle bin each time.  Wine makes its folders when it
        // first needs them and takes them for there afterwards: only their
        // contents go.
        const std::string xdg = Trash().substr(0, Trash().size() - std::string("\\Trash\\files").size());
        CreateDirectoryA(xdg.c_str(), nullptr);
        for (const char* sub : {"\\Trash\\files", "\\Trash\\info"}) {
            Wipe(xdg + sub);
            CreateDirectoryA((xdg + "\\Trash").c_str(), nullptr);
            CreateDirectoryA((xdg + sub).c_str(), nullptr);
        }
        script.OnModal = [this](wx::TForm& f) -> INT_PTR { return Answer(f); };
    }
    // Our own forms, answered from the queues below; an empty answer cancels.
    INT_PTR Answer(wx::TForm& f) {
        captions.push_back(f.Caption());
        if (auto* d = dynamic_cast<TDirInputForm*>(&f)) {
            labels.push_back(d->Label2.Text());
            const std::string a = Next(dirs);
            if (a.empty()) return IDCANCEL;
            d->Edit1.SetText(a);
        } else if (auto* r = dynamic_cast<TRenameForm*>(&f)) {
            labels.push_back(r->Label1.Text());
            const std::string a = Next(names);
            if (a.empty()) return IDCANCEL;
            r->Edit1.SetText(a);
        } else if (auto* a = dynamic_cast<TAttrForm*>(&f)) {
            if (!onAttr) return IDCANCEL;
            onAttr(*a);
        } else {
            return IDCANCEL;
        }
        SendMessageA(f.Handle(), WM_COMMAND, IDOK, 0);
        return 0;
    }
    static std::string Next(std::deque<std::string>& q) {
        if (q.empty()) return std::string();
        std::string a = q.front();
        q.pop_front();
        return a;
    }
    void Select(const std::vector<std::string>& rows) {
        HWND list = form->ListView1.Handle();
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        for (const std::string& name : rows) {
            const auto all = Rows();
            for (std::size_t i = 0; i < all.size(); ++i)
                if (all[i] == name) ListView_SetItemState(list, static_cast<int>(i), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        }
    }
    // A key as the control receives it, with modifiers held or not.
    void Key(HWND control, UINT vk, bool shift = false, bool ctrl = false) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        keys[VK_CONTROL] = ctrl ? 0x80 : 0;
        SetKeyboardState(keys);
        SendMessageA(control, WM_KEYDOWN, vk, 1);
        keys[VK_SHIFT] = keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
        wx::Application.ProcessMessages();
    }
    // The recycle bin's files (the folder XDG_DATA_HOME of the test names).
    static std::string Trash() {
        const char* bin = std::getenv("WX_BINARY_DIR");
        std::string t = std::string("Z:") + (bin ? bin : "") + "/filer_xdg/Trash/files";
        for (char& c : t)
            if (c == '/') c = '\\';
        return t;
    }
    static bool Exists(const std::string& p) { return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES; }
    static bool IsFolder(const std::string& p) {
        const DWORD a = GetFileAttributesA(p.c_str());
        return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
    }
    static std::int64_t SizeOf(const std::string& p) {
        WIN32_FILE_ATTRIBUTE_DATA d{};
        if (!GetFileAttributesExA(p.c_str(), GetFileExInfoStandard, &d)) return -1;
        return (std::int64_t(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
    }
    HWND List() const { return form->ListView1.Handle(); }

    std::deque<std::string> dirs, names;
    std::function<void(TAttrForm&)> onAttr;
    std::vector<std::string> captions, labels;
};

// C, M, D, Shift+Delete, R and K in the list, with the shell's own
// confirmations answered by their buttons; modifiers do not change a key.
TEST_F(FilerOps, CopyMoveDeleteRenameAndNewFolderKeys) {
    const std::string src = kRoot + "\\src", dst = kRoot + "\\dst";
    CreateDirectoryA(src.c_str(), nullptr);
    CreateDirectoryA(dst.c_str(), nullptr);
    Touch(src + "\\a.wav", 100);
    Touch(src + "\\b.mp3", 200);
    Touch(src + "\\c.txt", 3);
    Touch(dst + "\\a.wav", 7);
    Open("[Filer]\r\nChangeBootDir=Yes\r\nBootDir=" + src + "\\\r\n");
    ASSERT_EQ(form->GetFilePathAt(), src);

    // Ctrl+C copies; the shell asks before it overwrites dst\a.wav.
    {
        TShellAnswers yes(6);
        Select({"a.wav", "b.mp3"});
        dirs.push_back(dst + "\\");
        Key(List(), 'C', false, true);
        ASSERT_EQ(captions.size(), 1u);
        EXPECT_EQ(captions[0], "ファイルのコピー");
        EXPECT_EQ(labels[0], src + "\\");
        EXPECT_EQ(yes.Texts, (std::vector<std::string>{"ファイルの上書きの確認"}));
    }
    EXPECT_EQ(SizeOf(dst + "\\a.wav"), 100);
    EXPECT_EQ(SizeOf(dst + "\\b.mp3"), 200);
    EXPECT_TRUE(Exists(src + "\\a.wav"));
    // Only the parent row selected: nothing to copy, no question.
    Select({".."});
    Key(List(), 'C');
    EXPECT_EQ(captions.size(), 1u);

    // M moves.
    Select({"c.txt"});
    dirs.push_back(dst);
    Key(List(), 'M');
    EXPECT_EQ(captions.back(), "ファイルの移動");
    EXPECT_TRUE(Exists(dst + "\\c.txt"));
    EXPECT_FALSE(Exists(src + "\\c.txt"));

    // D to the recycle bin, Shift+Delete for good, each confirmed.
    {
        TShellAnswers yes(6);
        Select({"b.mp3"});
        Key(List(), 'D');
        Select({"a.wav"});
        Key(List(), VK_DELETE, true);
        EXPECT_EQ(yes.Texts, (std::vector<std::string>{"ファイルの削除の確認", "ファイルの削除の確認"}));
    }
    EXPECT_FALSE(Exists(src + "\\b.mp3"));
    EXPECT_FALSE(Exists(src + "\\a.wav"));
    EXPECT_EQ(SizeOf(Trash() + "\\b.mp3"), 200);
    EXPECT_FALSE(Exists(Trash() + "\\a.wav"));

    // R on three files, the second prompt cancelled: the third is still offered.
    for (const char* n : {"r1.txt", "r2.txt", "r3.txt"}) Touch(src + "\\" + n, 1);
    ASSERT_TRUE(PumpUntil([&] { return Listed("r3.txt"); }));
    Select({"r1.txt", "r2.txt", "r3.txt"});
    names = {"x1.txt", "", "x3.txt"};
    labels.clear();
    Key(List(), 'R');
    EXPECT_EQ(labels, (std::vector<std::string>{"r1.txt の新しい名前を入力してください", "r2.txt の新しい名前を入力してください",
                                                "r3.txt の新しい名前を入力してください"}));
    EXPECT_TRUE(Exists(src + "\\x1.txt"));
    EXPECT_TRUE(Exists(src + "\\r2.txt"));
    EXPECT_TRUE(Exists(src + "\\x3.txt"));
    EXPECT_TRUE(Listed("x1.txt"));  // the list shows the new names
    EXPECT_FALSE(Listed("r1.txt"));
    // An unchanged name is nothing to do and the batch goes on; a change of
    // letter case alone is made; a name holding a path is refused.
    auto diskName = [](const std::string& path) {
        WIN32_FIND_DATAA fd{};
        HANDLE h = FindFirstFileA(path.c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return std::string();
        FindClose(h);
        return std::string(fd.cFileName);
    };
    const struct {
        const char* Row;
        const char* Typed;
        const char* OnDisk;   // the row's file afterwards
        const char* Message;  // "" none
    } renames[] = {
        {"r2.txt", "r2.txt", "r2.txt", ""},
        {"x3.txt", "X3.TXT", "X3.TXT", ""},
        {"r2.txt", "..\\elsewhere.txt", "r2.txt", "..\\elsewhere.txt は名前に使えません (\\ / : * ? \" < > | は使えません)."},
        {"r2.txt", "sub/x.txt", "r2.txt", "sub/x.txt は名前に使えません (\\ / : * ? \" < > | は使えません)."},
    };
    for (const auto& r : renames) {
        SCOPED_TRACE(r.Typed);
        Select({r.Row});
        names = {r.Typed};
        script.Messages.clear();
        Key(List(), 'R');
        EXPECT_EQ(diskName(src + "\\" + r.OnDisk), r.OnDisk);
        if (*r.Message) {
            ASSERT_EQ(script.Messages.size(), 1u);
            EXPECT_EQ(script.Messages[0].text, r.Message);
        } else {
            EXPECT_TRUE(script.Messages.empty()) << script.Messages[0].text;
        }
        EXPECT_TRUE(PumpUntil([&] { return Listed(r.OnDisk); }));
    }
    EXPECT_FALSE(Exists(kRoot + "\\elsewhere.txt"));
    // Two rows, the first left unchanged: the second is still offered.
    Select({"r2.txt", "X3.TXT"});
    names = {"r2.txt", "y3.txt"};
    Key(List(), 'R');
    EXPECT_TRUE(Exists(src + "\\y3.txt"));
    EXPECT_TRUE(Exists(src + "\\r2.txt"));

    // K makes a folder; the same name again cannot be made.
    names = {"made"};
    Key(List(), 'K');
    EXPECT_EQ(captions.back(), "フォルダの新規作成");
    EXPECT_TRUE(IsFolder(src + "\\made"));
    names = {"made"};
    script.Messages.clear();
    Key(Tree(), 'K');
    ASSERT_EQ(script.Messages.size(), 1u);
    EXPECT_EQ(script.Messages[0].text, "指定のディレクトリを作成できません");
    // Files of a drive root can be copied from the list (only the tree
    // refuses its root).
    Touch("W:\\filer_root.txt", 1);
    form->DirectoryChange("W:\\");
    Select({"filer_root.txt"});
    const std::size_t forms = captions.size();
    Key(List(), 'C');  // the destination prompt comes, and is cancelled
    EXPECT_EQ(captions.size(), forms + 1);
    Key(Tree(), 'C');  // the root itself: refused
    EXPECT_EQ(captions.size(), forms + 1);
    DeleteFileA("W:\\filer_root.txt");
    form->DirectoryChange(src + "\\");
    // A letter that is no command does nothing, also no search by typing.
    const int focused = ListView_GetNextItem(List(), -1, LVNI_FOCUSED);
    SendMessageA(List(), WM_CHAR, 'x', 1);
    Key(List(), 'Z');
    EXPECT_EQ(ListView_GetNextItem(List(), -1, LVNI_FOCUSED), focused);
}

// A on a read-only file and on a folder: attributes and times both set;
// wrong fields refused.  E, Space, Backspace, Enter and L.  D on the tree.
TEST_F(FilerOps, AttributesEditSelectionAndJumps) {
    const std::string dir = kRoot + "\\work";
    CreateDirectoryA(dir.c_str(), nullptr);
    CreateDirectoryA((dir + "\\sub").c_str(), nullptr);
    CreateDirectoryA((dir + "\\gone").c_str(), nullptr);
    Touch(dir + "\\ro.txt", 5, FILE_ATTRIBUTE_READONLY);
    Touch(dir + "\\z.txt", 1);
    // An editor that writes down what it was given.
    std::ofstream(kRoot + "\\editor.bat") << "@echo %~1> \"%~dp0edited.txt\"\r\n";
    Open("[Filer]\r\nChangeBootDir=Yes\r\nBootDir=" + dir + "\\\r\n");
    ASSERT_EQ(Rows(), (std::vector<std::string>{"..", "gone", "sub", "ro.txt", "z.txt"}));

    // The form shows the file; read-only off, a new time, both applied.
    std::vector<std::string> shown;
    onAttr = [&](TAttrForm& a) {
        shown = {a.NumEdit[0].Text(), a.CheckBox4.Checked() ? "R" : "-"};
        // Fields are checked on leaving them.
        a.NumEdit[1].SetText("13");
        EXPECT_FALSE(a.CheckGroup(1));
        a.NumEdit[4].SetText("");
        EXPECT_FALSE(a.CheckGroup(4));
        a.CheckBox4.SetChecked(false);
        a.CheckBox5.SetChecked(true);
        a.CheckBox6.SetChecked(true);
        const char* t[] = {"2020", "1", "2", "3", "4", "6"};
        for (int i = 0; i < 6; ++i) a.NumEdit[std::size_t(i)].SetText(t[i]);
    };
    Select({"ro.txt"});
    Key(List(), 'A');
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1], "R");
    ASSERT_GE(script.Messages.size(), 2u);
    EXPECT_EQ(script.Messages[0].text, "入力された項目が範囲外です");
    EXPECT_EQ(script.Messages[1].text, "入力された項目が無効です:");
    EXPECT_FALSE(GetFileAttributesA((dir + "\\ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    auto localTime = [](const std::string& path) {
        WIN32_FILE_ATTRIBUTE_DATA d{};
        GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d);
        FILETIME local{};
        SYSTEMTIME st{};
        FileTimeToLocalFileTime(&d.ftLastWriteTime, &local);
        FileTimeToSystemTime(&local, &st);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                      st.wSecond);
        return std::string(buf);
    };
    EXPECT_EQ(localTime(dir + "\\ro.txt"), "2020-01-02 03:04:06");
    EXPECT_EQ(Cell(3, 4), "20/01/02 03:04 AM");  // the row shows the new values
    EXPECT_EQ(Cell(3, 5).find('R'), std::string::npos) << Cell(3, 5);

    // A folder from the tree takes a time too.
    form->DirectoryChange(dir + "\\sub\\");
    Key(Tree(), 'A');
    EXPECT_EQ(localTime(dir + "\\sub"), "2020-01-02 03:04:06");
    Key(Tree(), VK_BACK);
    EXPECT_EQ(form->GetFilePathAt(), dir);

    // E opens the last selected file in the editor of the settings.
    ConfigForm->UseEditor.Text = kRoot + "\\editor.bat";
    Select({"ro.txt", "z.txt", "sub"});
    Key(List(), 'E');
    EXPECT_TRUE(PumpUntil([&] { return Exists(kRoot + "\\edited.txt") && SizeOf(kRoot + "\\edited.txt") > 0; }));
    std::ifstream edited(kRoot + "\\edited.txt");
    std::string line;
    std::getline(edited, line);
    EXPECT_EQ(line, dir + "\\z.txt");

    // Space toggles the row after the focused one; at the end, the last again.
    Select({});
    ListView_SetItemState(List(), 3, LVIS_FOCUSED, LVIS_FOCUSED);
    Key(List(), VK_SPACE);
    EXPECT_TRUE(ListView_GetItemState(List(), 4, LVIS_SELECTED));
    EXPECT_EQ(ListView_GetNextItem(List(), -1, LVNI_FOCUSED), 4);
    Key(List(), VK_SPACE);
    EXPECT_FALSE(ListView_GetItemState(List(), 4, LVIS_SELECTED));

    // Enter opens the row selected last: a folder.
    Select({"sub"});
    Key(List(), VK_RETURN);
    EXPECT_EQ(form->GetFilePathAt(), dir + "\\sub");

    // L: "..", a name under the current folder, a drive letter, a folder that is not there.
    for (const auto& [entry, want] : std::vector<std::pair<std::string, std::string>>{
             {"..", dir}, {"sub", dir + "\\sub"}, {"nosuch", dir + "\\sub"}, {"w", "W:"}}) {
        dirs.push_back(entry);
        Key(List(), 'L');
        EXPECT_EQ(form->GetFilePathAt(), want) << entry;
    }
    EXPECT_EQ(captions.back(), "表示ドライブの移動");

    // D on the tree: a drive root is refused; a folder goes, and its node.
    script.Messages.clear();
    Key(Tree(), 'D');
    EXPECT_TRUE(IsFolder("W:\\filer_test"));
    form->DirectoryChange(dir + "\\gone\\");
    {
        TShellAnswers yes(6);
        Key(Tree(), 'D');
        EXPECT_EQ(yes.Texts.size(), 1u);
    }
    EXPECT_FALSE(IsFolder(dir + "\\gone"));
    const HTREEITEM work = Child(Tree(), Child(Tree(), TreeView_GetRoot(Tree()), "filer_test"), "work");
    ASSERT_NE(work, nullptr);
    EXPECT_EQ(ChildTexts(Tree(), work), (std::vector<std::string>{"sub"}));

    // A file gone while its form is open: neither the attributes nor the
    // time can be set, and the user is told so.
    form->DirectoryChange(dir + "\\");
    Touch(dir + "\\vanish.txt", 1);
    ASSERT_TRUE(PumpUntil([&] { return Listed("vanish.txt"); }));
    onAttr = [&](TAttrForm& a) {
        DeleteFileA((dir + "\\vanish.txt").c_str());
        a.CheckBox5.SetChecked(true);
        a.CheckBox6.SetChecked(true);
    };
    script.Messages.clear();
    Select({"vanish.txt"});
    Key(List(), 'A');
    ASSERT_EQ(script.Messages.size(), 1u);
    EXPECT_EQ(script.Messages[0].text, dir + "\\vanish.txt の属性または時刻を設定できません.");
}

namespace {
// The target of a shortcut file.
// Look-alike names: a name outside code page 932 is shown under a
// look-alike ("aéb.mp3" as "aeb.mp3", "p한q.mp3" as "p?q.mp3"), and every
// key acts on the file the row stands for and on no other.
std::string Sha1(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return "missing";
    HCRYPTPROV prov = 0;
    HCRYPTHASH hash = 0;
    std::string hex;
    if (CryptAcquireContextA(&prov, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        CryptCreateHash(prov, CALG_SHA1, 0, 0, &hash)) {
        BYTE buf[4096];
        DWORD got = 0;
        while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got) CryptHashData(hash, buf, got, 0);
        BYTE digest[20];
        DWORD len = sizeof digest;
        if (CryptGetHashParam(hash, HP_HASHVAL, digest, &len, 0))
            for (DWORD i = 0; i < len; ++i) {
                char two[3];
                std::snprintf(two, sizeof two, "%02x", digest[i]);
                hex += two;
            }
    }
    if (hash) CryptDestroyHash(hash);
    if (prov) CryptReleaseContext(prov, 0);
    CloseHandle(f);
    return hex;
}

TEST_F(FilerOps, LookAlikeNamesTouchOnlyTheChosenFile) {
    const std::wstring dir = filer::Widen(kRoot) + L"\\look", dst = filer::Widen(kRoot) + L"\\dst";
    const std::wstring acute = L"a\u00E9b.mp3", hangul = L"p\uD55Cq.mp3";
    const std::vector<std::wstring> all = {acute, L"aeb.mp3", hangul, L"pxq.mp3", L"pyq.mp3"};
    auto make = [&] {
        WipeW(dir);
        WipeW(dst);
        CreateDirectoryW(dir.c_str(), nullptr);
        CreateDirectoryW(dst.c_str(), nullptr);
        CreateDirectoryW((dir + L"\\rel").c_str(), nullptr);
        for (const std::wstring& n : all) {
            HANDLE f = CreateFileW((dir + L"\\" + n).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            ASSERT_NE(f, INVALID_HANDLE_VALUE);
            const std::string body = filer::Narrow(n) + std::to_string(n.size()) + (n == acute ? "acute" : n == hangul ? "hangul" : "");
            DWORD put = 0;
            WriteFile(f, body.data(), static_cast<DWORD>(body.size()), &put, nullptr);
            CloseHandle(f);
        }
    };
    make();
    std::map<std::wstring, std::string> before;
    for (const std::wstring& n : all) before[n] = Sha1(dir + L"\\" + n);
    Open("[Filer]\r\nChangeBootDir=Yes\r\nBootDir=" + filer::Narrow(dir) + "\\\r\n");
    // The rows show the look-alikes, and keep the exact names.
    EXPECT_EQ(Rows(), (std::vector<std::string>{"..", "rel", "aeb.mp3", "aeb.mp3", "p?q.mp3", "pxq.mp3", "pyq.mp3"}));
    auto selectExact = [&](const std::wstring& name) {
        ListView_SetItemState(List(), -1, 0, LVIS_SELECTED);
        for (std::size_t i = 0; i < form->ItemList.size(); ++i)
            if (form->ItemList[i]->WideName == name)
                ListView_SetItemState(List(), static_cast<int>(i), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        return ListView_GetSelectedCount(List()) == 1;
    };
    const struct {
        const char* What;
        UINT Key;
        bool Shift;
        std::wstring Target;
        std::string Answer;  // destination or new name
        std::wstring Lands;  // where the chosen file's bytes are afterwards ("" gone)
        std::string Refusal = std::string();  // the message of a refused command
    } rows[] = {
        {"delete for good", VK_DELETE, true, acute, "", L""},
        {"delete to the bin", 'D', false, hangul, "", L""},
        {"copy", 'C', false, acute, filer::Narrow(dst), dst + L"\\" + acute},
        {"copy to a relative folder", 'C', false, hangul, "rel", dir + L"\\rel\\" + hangul},
        {"move to a missing folder", 'M', false, acute, "nosuch", dir + L"\\" + acute, "送り先ﾌｫﾙﾀﾞ nosuch は使えません."},
        {"move", 'M', false, hangul, filer::Narrow(dst) + "\\", dst + L"\\" + hangul},
        {"rename", 'R', false, acute, "renamed.mp3", dir + L"\\renamed.mp3"},
        {"attributes", 'A', false, hangul, "", dir + L"\\" + hangul},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.What);
        make();
        form->DirectoryChange(filer::Narrow(dir) + "\\");
        ASSERT_TRUE(selectExact(r.Target));
        if (r.Key == 'C' || r.Key == 'M') dirs.push_back(r.Answer);
        if (r.Key == 'R') names.push_back(r.Answer);
        onAttr = [](TAttrForm& a) {
            a.CheckBox4.SetChecked(true);
            a.CheckBox5.SetChecked(true);
            a.CheckBox6.SetChecked(false);
        };
        script.Messages.clear();
        {
            TShellAnswers yes(6);
            Key(List(), r.Key, r.Shift);
        }
        if (r.Refusal.empty()) {
            EXPECT_TRUE(script.Messages.empty()) << script.Messages[0].text;
        } else {
            ASSERT_EQ(script.Messages.size(), 1u);
            EXPECT_EQ(script.Messages[0].text, r.Refusal);
        }
        // The chosen file went where it should, bytes intact; every other file is as it was.
        const bool stays = r.Key == 'C' || r.Key == 'A' || !r.Refusal.empty();
        EXPECT_EQ(Sha1(dir + L"\\" + r.Target), stays ? before[r.Target] : "missing");
        if (!r.Lands.empty()) {
            EXPECT_EQ(Sha1(r.Lands), before[r.Target]);
        }
        for (const std::wstring& n : all) {
            if (n == r.Target) continue;
            EXPECT_EQ(Sha1(dir + L"\\" + n), before[n]) << filer::Narrow(n);
            EXPECT_EQ(Sha1(dst + L"\\" + n), "missing") << filer::Narrow(n);
            EXPECT_FALSE(GetFileAttributesW((dir + L"\\" + n).c_str()) & FILE_ATTRIBUTE_READONLY) << filer::Narrow(n);
        }
        if (r.Key == 'A') {
            EXPECT_TRUE(GetFileAttributesW((dir + L"\\" + hangul).c_str()) & FILE_ATTRIBUTE_READONLY);
        }
    }
    // The names left in the recycle bin are the chosen ones only.
    EXPECT_EQ(Sha1(filer::Widen(Trash()) + L"\\" + hangul), before[hangul]);
    EXPECT_EQ(Sha1(filer::Widen(Trash()) + L"\\pxq.mp3"), "missing");
    WipeW(dir);
    WipeW(dst);
}

// Everything under a folder: relative paths with their bytes' digests.
void Snapshot(const std::wstring& dir, const std::wstring& rel, std::map<std::wstring, std::string>& out) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[rel + name + L"\\"] = "folder";
            Snapshot(dir + L"\\" + name, rel + name + L"\\", out);
        } else {
            out[rel + name] = Sha1(dir + L"\\" + name);
        }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
}

// Files on the clipboard as the shell puts them there (CF_HDROP, wide).
void ClipboardFiles(const std::vector<std::wstring>& paths) {
    std::wstring list;
    for (const std::wstring& p : paths) list += p + L'\0';
    list += L'\0';
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* df = static_cast<DROPFILES*>(GlobalLock(g));
    df->pFiles = sizeof(DROPFILES);
    df->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(g);
    OpenClipboard(nullptr);
    EmptyClipboard();
    SetClipboardData(CF_HDROP, g);
    CloseClipboard();
}

// A copy or move into the folder itself, into its own sub-folder, or a move
// into the folder that already holds it: refused with a message before
// anything is touched, by drops, paste and the C and M keys alike.
TEST_F(FilerOps, CarriesIntoThemselvesAreRefused) {
    const std::wstring root = filer::Widen(kRoot), x = root + L"\\X", sub = x + L"\\sub";
    CreateDirectoryW(x.c_str(), nullptr);
    CreateDirectoryW(sub.c_str(), nullptr);
    Touch(kRoot + "\\X\\a.txt", 5);
    Touch(kRoot + "\\X\\sub\\b.txt", 6);
    Open("[Filer]\r\nChangeBootDir=Yes\r\nBootDir=" + kRoot + "\\X\\\r\n");
    const std::string into = "W:\\filer_test\\X\\sub\\ は送り元のフォルダ自身かその中にあるため、コピーも移動もできません.";
    const std::string self = "W:\\filer_test\\X\\ は送り元のフォルダ自身かその中にあるため、コピーも移動もできません.";
    const std::string own = "W:\\filer_test\\X\\a.txt はすでにこのフォルダにあるため、移動しません.";
    enum THow { hDropCopy, hDropMove, hPaste, hKeyTree, hKeyList };
    const struct {
        const char* What;
        THow How;
        std::wstring Source;
        std::wstring Dest;  // the folder dropped on, or the typed destination
        std::string Message;
    } rows[] = {
        {"drop copy into its sub-folder", hDropCopy, x, sub + L"\\", into},
        {"drop move into its sub-folder", hDropMove, x, sub + L"\\", into},
        {"drop copy onto itself", hDropCopy, x, x + L"\\", self},
        {"drop move into its own folder", hDropMove, x + L"\\a.txt", x + L"\\", own},
        {"paste into its sub-folder", hPaste, x, sub + L"\\", into},
        {"C on the tree, relative sub-folder", hKeyTree, x, L"sub", into},
        {"M on the tree, itself", hKeyTree, x, x, self},
        {"M of a row into its own folder", hKeyList, x + L"\\a.txt", L".", ""},
        {"C with a blank destination", hKeyList, x + L"\\a.txt", L"   ", "送り先ﾌｫﾙﾀﾞ     は使えません."},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.What);
        std::map<std::wstring, std::string> before, after;
        Snapshot(root, L"", before);
        script.Messages.clear();
        DWORD effect = r.How == hDropMove ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
        switch (r.How) {
        case hDropCopy:
        case hDropMove:
            filer::DropFileOperation(form->Handle(), {r.Source}, r.Dest, effect);
            EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
            break;
        case hPaste:
            ClipboardFiles({r.Source});
            filer::PasteClipboardFiles(form->Handle(), *form->Shell, r.Dest, false);
            break;
        case hKeyTree:
        case hKeyList:
            form->DirectoryChange(filer::Narrow(x) + "\\");
            if (r.How == hKeyList) Select({"a.txt"});
            dirs.push_back(filer::Narrow(r.Dest));
            Key(r.How == hKeyTree ? Tree() : List(), r.Dest == x || r.Dest == L"." ? 'M' : 'C');
            break;
        }
        Snapshot(root, L"", after);
        EXPECT_EQ(after, before);
        const std::string message = r.Message.empty() ? own : r.Message;
        ASSERT_EQ(script.Messages.size(), 1u);
        EXPECT_EQ(script.Messages[0].text, message);
    }
}

std::string LinkTarget(const std::string& lnk) {
    IShellLinkA* link = nullptr;
    std::string target;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, reinterpret_cast<void**>(&link))))
        return target;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t w[MAX_PATH] = {};
        MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, w, MAX_PATH);
        char path[MAX_PATH] = {};
        if (SUCCEEDED(file->Load(w, STGM_READ)) && SUCCEEDED(link->GetPath(path, sizeof path, nullptr, 0))) target = path;
        file->Release();
    }
    link->Release();
    return target;
}
}  // namespace

// The shell's menu for the list's rows with the program's own entries;
// its copy puts the files on the clipboard, and the list's pop-up pastes
// them into another folder, as copies and as shortcuts.
TEST_F(FilerOps, ContextMenuCopyPasteAndOwnEntries) {
    const std::string dir = kRoot + "\\menu", other = kRoot + "\\other";
    CreateDirectoryA(dir.c_str(), nullptr);
    CreateDirectoryA(other.c_str(), nullptr);
    Touch(dir + "\\a.wav", 10);
    Touch(dir + "\\b.txt", 20);
    Touch(dir + "\\c.MP2", 30);
    Open("[Filer]\r\nChangeBootDir=Yes\r\nBootDir=" + dir + "\\\r\n");
    POINT at{100, 100};
    ClientToScreen(List(), &at);

    Select({"a.wav", "b.txt"});
    script.Choose = {"コピー"};
    ASSERT_TRUE(form->ListView1ContextPopup(at));
    ASSERT_EQ(script.Items.size(), 1u);
    const auto& items = script.Items[0];
    ASSERT_GT(items.size(), 8u);
    using I = std::pair<std::string, bool>;
    // A WAV file can be encoded; no taggable file is selected.
    EXPECT_EQ(std::vector<I>(items.begin(), items.begin() + 7),
              (std::vector<I>{{"外部プレイヤーで再生(&0)", true}, {"エンコードを行う(&1)", true}, {"ID3タグの編集を行う(&2)", false},
                              {"", true}, {"新しいﾌｫﾙﾀﾞの作成(&3)", true}, {"名前の変更(&4)", true}, {"", true}}));
    EXPECT_TRUE(filer::ClipboardHasFiles());

    // The list's own pop-up where no row is selected: paste, then shortcuts.
    form->DirectoryChange(other + "\\");
    Select({});
    script.Choose = {"張り付け(&P)"};
    ASSERT_TRUE(form->ListView1ContextPopup(at));
    const auto& popup = script.Items.back();
    ASSERT_GE(popup.size(), 3u);
    EXPECT_EQ(popup[0].first, "すべて選択(&A)");
    EXPECT_TRUE(popup[2].second);  // paste is offered: the clipboard holds files
    EXPECT_EQ(SizeOf(other + "\\a.wav"), 10);
    EXPECT_EQ(SizeOf(other + "\\b.txt"), 20);
    EXPECT_TRUE(SizeOf(dir + "\\a.wav") == 10);
    Select({});
    script.Choose = {"ｼｮｰﾄｶｯﾄの張り付け(&S)"};
    form->ListView1ContextPopup(at);
    EXPECT_EQ(LinkTarget(other + "\\a.wav へのｼｮｰﾄｶｯﾄ.lnk"), dir + "\\a.wav");
    EXPECT_EQ(LinkTarget(other + "\\b.txt へのｼｮｰﾄｶｯﾄ.lnk"), dir + "\\b.txt");
    // Select all leaves the parent row out.
    Select({});
    script.Choose = {"すべて選択(&A)"};
    form->ListView1ContextPopup(at);
    EXPECT_FALSE(ListView_GetItemState(List(), 0, LVIS_SELECTED));
    EXPECT_EQ(ListView_GetSelectedCount(List()), static_cast<UINT>(form->ListView1.Count() - 1));

    // Play hands the playable files to the external player: the list
    // cleared, each path byte by byte, then play from the start.
    struct TPlayer {
        static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
            if (m == WM_USER) reinterpret_cast<std::vector<std::pair<WPARAM, LPARAM>>*>(data)->emplace_back(wp, lp);
            return DefSubclassProc(w, m, wp, lp);
        }
    };
    std::vector<std::pair<WPARAM, LPARAM>> commands;
    HWND player = CreateWindowExA(0, "STATIC", "player", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    SetWindowSubclass(player, &TPlayer::Proc, 1, reinterpret_cast<DWORD_PTR>(&commands));
    form->PlayerWindow = player;
    form->DirectoryChange(dir + "\\");
    Select({"a.wav", "b.txt", "c.MP2"});
    script.Choose = {"外部プレイヤーで再生(&0)"};
    form->ListView1ContextPopup(at);
    std::string sent;
    std::vector<LPARAM> codes;
    for (const auto& [wp, lp] : commands) {
        if (lp == 100)
            sent += wp ? char(wp) : '|';
        else
            codes.push_back(lp);
    }
    EXPECT_EQ(sent, dir + "\\a.wav|" + dir + "\\c.MP2|");
    EXPECT_EQ(codes, (std::vector<LPARAM>{101, 102, 106, 102}));
    DestroyWindow(player);
    // Without a player the error box says why.
    ConfigForm->UsePlayer.Text.clear();
    script.Messages.clear();
    Select({"a.wav"});
    script.Choose = {"外部プレイヤーで再生(&0)"};
    form->ListView1ContextPopup(at);
    ASSERT_EQ(script.Messages.size(), 1u);
    EXPECT_EQ(script.Messages[0].text, wx::LoadResString(MSG_NO_PLAYER));

    // One .MP2 file: the tag entry is offered and cannot read the file.
    Select({"c.MP2"});
    script.Choose = {"ID3タグの編集を行う(&2)"};
    script.Messages.clear();
    form->ListView1ContextPopup(at);
    EXPECT_TRUE(script.Items.back()[2].second);
    ASSERT_EQ(script.Messages.size(), 1u);
    EXPECT_EQ(script.Messages[0].text, "ファイルのオープンに失敗しました");
    // The own new-folder and rename entries.
    Select({"b.txt"});
    names = {"fresh"};
    script.Choose = {"新しいﾌｫﾙﾀﾞの作成(&3)"};
    form->ListView1ContextPopup(at);
    EXPECT_TRUE(IsFolder(dir + "\\fresh"));
    Select({"b.txt"});
    names = {"renamed.txt"};
    script.Choose = {"名前の変更(&4)"};
    form->ListView1ContextPopup(at);
    EXPECT_TRUE(Exists(dir + "\\renamed.txt"));
    // Only the parent row: no menu.
    const std::size_t menus = script.Items.size();
    Select({".."});
    form->ListView1ContextPopup(at);
    EXPECT_EQ(script.Items.size(), menus);
    // The tree's menu is the shell's alone, for the folder under the pointer.
    HTREEITEM node = TreeView_GetSelection(Tree());
    RECT r{};
    TreeView_GetItemRect(Tree(), node, &r, TRUE);
    POINT tp{r.left + 2, r.top + 2};
    ClientToScreen(Tree(), &tp);
    const std::size_t before = script.Items.size();
    form->TreeView1ContextPopup(tp);
    ASSERT_EQ(script.Items.size(), before + 1);
    ASSERT_FALSE(script.Items.back().empty());
    EXPECT_NE(script.Items.back()[0].first, "外部プレイヤーで再生(&0)");
    EXPECT_EQ(form->DropHighlightNode, nullptr);  // the highlight went with the menu
}

// OLE drags with the pointer placed over the target: from the list to a
// folder of the tree, from the tree to the list, onto a drive button; the
// right-button and Ctrl+Shift variants through the targets themselves.
TEST_F(FilerOps, DragAndDrop) {
    const std::string dir = kRoot + "\\dnd";
    CreateDirectoryA(dir.c_str(), nullptr);
    CreateDirectoryA((dir + "\\intree").c_str(), nullptr);
    CreateDirectoryA((dir + "\\target").c_str(), nullptr);
    CreateDirectoryA((kRoot + "\\picked").c_str(), nullptr);
    Touch(dir + "\\x.wav", 11);
    Touch(dir + "\\tool.exe", 12);
    Open("WindowLeft=0\r\nWindowTop=0\r\nWindowWidth=800\r\nWindowHeight=600\r\n[Filer]\r\nChangeBootDir=Yes\r\nBootDir=" +
         dir + "\\\r\n");
    // Nothing of another test's windows between the pointer and ours.
    SetWindowPos(form->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    HWND tree = Tree();
    const HTREEITEM dnd = TreeView_GetSelection(tree);
    const HTREEITEM intree = Child(tree, dnd, "intree");
    ASSERT_NE(intree, nullptr);
    auto nodePoint = [&](HTREEITEM n) {
        RECT r{};
        TreeView_GetItemRect(tree, n, &r, TRUE);
        POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(tree, &p);
        return p;
    };
    auto rowPoint = [&](int row) {
        RECT r{};
        ListView_GetItemRect(List(), row, &r, LVIR_LABEL);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    };

    // List to tree: a left drop asks first.
    Select({"x.wav"});
    SetCursorPos(nodePoint(intree).x, nodePoint(intree).y);
    ASSERT_EQ(WindowFromPoint(nodePoint(intree)), tree);
    script.Messages.clear();
    const POINT x = rowPoint(4);
    form->ListView1MouseDown(x);
    form->ListView1MouseMove(POINT{x.x + 5, x.y});  // 5 pixels: no drag yet
    EXPECT_FALSE(Exists(dir + "\\intree\\x.wav"));
    form->ListView1MouseMove(POINT{x.x + 6, x.y});
    ASSERT_EQ(script.Messages.size(), 1u);
    EXPECT_EQ(script.Messages[0].text, dir + "\\intree\\ にコピーしてもよろしいですか？");
    EXPECT_EQ(SizeOf(dir + "\\intree\\x.wav"), 11);
    EXPECT_FALSE(form->TreeDragOver);

    // Tree to list: the folder intree into the listed folder target.
    form->DirectoryChange(dir + "\\target\\");
    RECT lr{};
    GetClientRect(List(), &lr);
    POINT empty{lr.right / 2, lr.bottom - 20};
    ClientToScreen(List(), &empty);
    SetCursorPos(empty.x, empty.y);
    POINT np = nodePoint(Child(tree, TreeView_GetParent(tree, TreeView_GetSelection(tree)), "intree"));
    ScreenToClient(tree, &np);
    script.Messages.clear();
    form->TreeView1MouseDown(false, np);
    form->TreeView1MouseMove(POINT{np.x, np.y + 20});
    ASSERT_EQ(script.Messages.size(), 1u);
    EXPECT_EQ(script.Messages[0].text, dir + "\\target\\ にコピーしてもよろしいですか？");
    EXPECT_EQ(SizeOf(dir + "\\target\\intree\\x.wav"), 11);

    // Onto the drive button W: the folder comes from the picker, no question.
    form->DirectoryChange(dir + "\\");
    TDrivePanel& bar = form->DrivePanel1;
    int w = 0;
    while (w < bar.Drives() && bar.DriveLetter(w) != 'W') ++w;
    POINT bp{bar.DrawLeft() + w * bar.Metrics().ButtonWidth + 6, bar.DrawTop() + 4};
    ClientToScreen(bar.Handle(), &bp);
    SetCursorPos(bp.x, bp.y);
    Select({"x.wav"});
    script.Messages.clear();
    script.FileAnswers.push_back(kRoot + "\\picked");
    form->ListView1MouseDown(x);
    form->ListView1MouseMove(POINT{x.x + 20, x.y});
    ASSERT_EQ(script.FileDialogs.size(), 1u);
    EXPECT_EQ(script.FileDialogs[0], "ﾌｧｲﾙをｺﾋﾟｰするﾌｫﾙﾀﾞの選択");
    EXPECT_TRUE(script.Messages.empty());
    EXPECT_EQ(SizeOf(kRoot + "\\picked\\x.wav"), 11);
    SetWindowPos(form->Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    // The targets themselves, with the shell's data object of x.wav.
    auto* item = static_cast<const filer::TShellItem*>(form->ItemList[4]->Item.get());
    ASSERT_EQ(form->ItemList[4]->Name, "x.wav");
    IDataObject* data = nullptr;
    LPCITEMIDLIST one = item->Pidl;
    ASSERT_TRUE(SUCCEEDED(item->Parent->GetUIObjectOf(nullptr, 1, &one, IID_IDataObject, nullptr, reinterpret_cast<void**>(&data))));
    auto drop = [&](IDropTarget* t, POINT p, DWORD overKeys, DWORD dropKeys) {
        DWORD e = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
        const POINTL pl{p.x, p.y};
        t->DragEnter(data, overKeys, pl, &e);
        e = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
        t->DragOver(overKeys, pl, &e);
        const DWORD over = e;
        // As OLE does: no drop where the target takes nothing.
        if (!(over & (DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK))) {
            t->DragLeave();
            return over;
        }
        e = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
        t->Drop(data, dropKeys, pl, &e);
        return over;
    };
    // Right button on a tree folder: the menu; shortcuts twice, the second numbered.
    const HTREEITEM folder = Child(tree, TreeView_GetSelection(tree), "intree");
    ASSERT_NE(folder, nullptr);
    for (int i = 0; i < 2; ++i) {
        script.Choose = {"ｼｮｰﾄｶｯﾄをここに作成(&S)"};
        drop(form->TreeTarget, nodePoint(folder), MK_RBUTTON, 0);
    }
    EXPECT_EQ(script.Items.back().size(), 5u);  // move, copy, shortcut, separator, cancel
    EXPECT_EQ(LinkTarget(dir + "\\intree\\x.wav へのｼｮｰﾄｶｯﾄ.lnk"), dir + "\\x.wav");
    EXPECT_EQ(LinkTarget(dir + "\\intree\\x.wav へのｼｮｰﾄｶｯﾄ (2).lnk"), dir + "\\x.wav");
    // Over the parent row of the list nothing can be dropped.
    POINT up = rowPoint(0);
    ClientToScreen(List(), &up);
    EXPECT_EQ(drop(form->ListTarget, up, MK_LBUTTON, 0) & DROPEFFECT_COPY, 0u);
    // A program row: only "open with" and cancel, cancelled here.
    POINT tool = rowPoint(3);
    ASSERT_EQ(form->ItemList[3]->Name, "tool.exe");
    ClientToScreen(List(), &tool);
    script.Choose = {""};
    drop(form->ListTarget, tool, MK_RBUTTON, 0);
    EXPECT_EQ(script.Items.back().size(), 3u);
    EXPECT_EQ(script.Items.back()[0].first, "ｱﾌﾟﾘｹｰｼｮﾝから開く(&O)");
    // Left with Ctrl and Shift on a folder row: a shortcut there, no question.
    POINT target = rowPoint(2);
    ASSERT_EQ(form->ItemList[2]->Name, "target");
    ClientToScreen(List(), &target);
    script.Messages.clear();
    drop(form->ListTarget, target, MK_LBUTTON, MK_CONTROL | MK_SHIFT);
    EXPECT_TRUE(script.Messages.empty());
    EXPECT_EQ(LinkTarget(dir + "\\target\\x.wav へのｼｮｰﾄｶｯﾄ.lnk"), dir + "\\x.wav");
    data->Release();
    EXPECT_FALSE(form->TreeDragOver || form->ListDragOver || form->DriveDragOver);
}

// The benchmark of docs/filerbench.md (run by hand): a folder of 5,000
// files listed and painted.
TEST_F(Filer, DISABLED_BenchListFiveThousandFiles) {
    // 5,000 files of 250 extensions (the type name is asked once per
    // extension), and a small folder beside them.
    const std::string dir = kRoot + "\\bench", small = kRoot + "\\small";
    CreateDirectoryA(dir.c_str(), nullptr);
    CreateDirectoryA(small.c_str(), nullptr);
    for (int i = 0; i < 5000; ++i) Touch(dir + "\\track" + std::to_string(10000 + i) + ".x" + std::to_string(100 + i % 250), 16);
    for (int i = 0; i < 5; ++i) Touch(small + "\\s" + std::to_string(i) + ".wav", 16);
    Open("WindowWidth=800\r\nWindowHeight=600\r\nTrackViewHeight=120\r\n[Filer]\r\nChangeBootDir=Yes\r\nBootDir=" + kRoot +
         "\\\r\n");
    wx::Application.ProcessMessages();
    HWND list = form->ListView1.Handle();
    // As the user waits: from the command to the list painted.
    auto measure = [&](const char* what, const std::function<void()>& go) {
        LARGE_INTEGER f, t0, t1, t2;
        QueryPerformanceFrequency(&f);
        QueryPerformanceCounter(&t0);
        go();
        QueryPerformanceCounter(&t1);
        RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        QueryPerformanceCounter(&t2);
        int drawn = 0;
        for (const auto& r : form->ItemList) drawn += r->IconIndex != -1;
        const double list_ms = double(t1.QuadPart - t0.QuadPart) * 1000 / double(f.QuadPart);
        const double paint_ms = double(t2.QuadPart - t1.QuadPart) * 1000 / double(f.QuadPart);
        std::printf("%s: %zu rows, listed in %.0f ms, painted in %.0f ms (%.0f ms in all), %d rows drawn\n", what,
                    form->ItemList.size(), list_ms, paint_ms, list_ms + paint_ms, drawn);
    };
    for (int run = 0; run < 3; ++run) {
        measure("entering the folder (DirectoryChange)", [&] { form->DirectoryChange(dir + "\\"); });
        EXPECT_EQ(form->ItemList.size(), 5001u);
        measure("re-list keeping the view (RefreshFiler)", [&] { form->RefreshFiler(); });
        measure("leaving it for a small folder (DirectoryChange)", [&] { form->DirectoryChange(small + "\\"); });
        EXPECT_EQ(form->ItemList.size(), 6u);
    }
}

// The benchmark of docs/filerbench.md (run by hand): a folder of 1,000
// sub-folders (every tenth with three of its own, some files beside them)
// walked into, expanded and merged with the disk, against one enumeration
// of it by the shell.
TEST_F(Filer, DISABLED_BenchTreeThousandFolders) {
    const std::string dir = kRoot + "\\albums";
    CreateDirectoryA(dir.c_str(), nullptr);
    const char* env = std::getenv("WX_BENCH_FOLDERS");
    const int folders = env ? std::atoi(env) : 1000;
    for (int i = 0; i < folders; ++i) {
        const std::string album = dir + "\\album" + std::to_string(1000 + i);
        CreateDirectoryA(album.c_str(), nullptr);
        if (i % 10 == 0)
            for (int j = 0; j < 3; ++j) CreateDirectoryA((album + "\\disc" + std::to_string(j)).c_str(), nullptr);
        if (i % 100 == 0) Touch(album + "\\track01.mp3", 16);
    }
    for (int i = 0; i < 20; ++i) Touch(dir + "\\list" + std::to_string(i) + ".m3u", 16);
    Open("WindowWidth=800\r\nWindowHeight=600\r\nTrackViewHeight=120\r\n[Filer]\r\nChangeBootDir=Yes\r\nBootDir=" + kRoot +
         "\\\r\n");
    wx::Application.ProcessMessages();
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    auto now = [] {
        LARGE_INTEGER t;
        QueryPerformanceCounter(&t);
        return t.QuadPart;
    };
    auto ms = [&](LONGLONG a, LONGLONG b) { return double(b - a) * 1000 / double(f.QuadPart); };

    // The shell alone: the folder enumerated once with the attributes of
    // each child.
    {
        const LONGLONG t0 = now();
        IShellFolder* desktop = nullptr;
        SHGetDesktopFolder(&desktop);
        const std::wstring w = filer::Widen(dir);
        LPITEMIDLIST pidl = nullptr;
        ULONG eaten = 0;
        desktop->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(w.c_str()), &eaten, &pidl, nullptr);
        IShellFolder* folder = nullptr;
        desktop->BindToObject(pidl, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder));
        IEnumIDList* e = nullptr;
        folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN, &e);
        LPITEMIDLIST child = nullptr;
        ULONG got = 0;
        int n = 0;
        while (e->Next(1, &child, &got) == S_OK && got == 1) {
            ULONG a = SFGAO_HASSUBFOLDER | SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_SHARE;
            LPCITEMIDLIST one = child;
            folder->GetAttributesOf(1, &one, &a);
            CoTaskMemFree(child);
            ++n;
        }
        e->Release();
        folder->Release();
        CoTaskMemFree(pidl);
        desktop->Release();
        std::printf("shell enumeration: %d folders in %.0f ms\n", n, ms(t0, now()));
    }
    HWND tree = Tree();
    auto albums = [&] { return Child(tree, Child(tree, TreeView_GetRoot(tree), "filer_test"), "albums"); };
    auto count = [&](HTREEITEM n) { return static_cast<int>(ChildTexts(tree, n).size()); };
    // The walk through the folder to an album in it; the walk to the folder
    // and its listing; the folder's node expanded afresh; the tree merged
    // with the disk (the tree monitor's notice).
    LONGLONG t0 = now();
    form->DirectoryChange(dir + "\\album" + std::to_string(1000 + folders / 2) + "\\");
    std::printf("DirectoryChange to an album: %.0f ms, %d nodes under the folder\n", ms(t0, now()), count(albums()));
    t0 = now();
    form->DirectoryChange(dir + "\\");
    std::printf("DirectoryChange to the folder: %.0f ms, %zu rows\n", ms(t0, now()), form->ItemList.size());
    TreeView_Expand(tree, albums(), TVE_COLLAPSE | TVE_COLLAPSERESET);
    t0 = now();
    form->TreeView1Expanding(albums());
    std::printf("expanding the folder: %.0f ms, %d nodes\n", ms(t0, now()), count(albums()));
    t0 = now();
    form->RefreshTree(TreeView_GetRoot(tree));
    std::printf("RefreshTree from the root: %.0f ms, %d nodes\n", ms(t0, now()), count(albums()));
    EXPECT_EQ(count(albums()), folders);
    EXPECT_GE(form->ItemList.size(), static_cast<std::size_t>(folders + 1));
}
