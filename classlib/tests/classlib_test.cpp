// The class library against real Windows controls (under Wine).
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "classlib/app.h"
#include "classlib/controls.h"
#include "classlib/dialogs.h"
#include "classlib/form.h"
#include "classlib/library.h"
#include "classlib/registry.h"
#include "classlib/thread.h"
#include "test_ids.h"

using namespace wx;

namespace {

// Shift-JIS bytes of the texts in classlib_test.rc.
const char kHello[] = "\x82\xb7\x82\xc5\x82\xc9Wendrix\x82\xcd\x8b\x4e\x93\xae\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb7";
const char kCaption[] = "\x83\x65\x83\x58\x83\x67\x89\xe6\x96\xca";  // テスト画面

class TTestForm : public TForm {
public:
    TTestForm() : TForm(nullptr, IDD_TEST) {
        OnClick(IDC_BUTTON, [this] { ++clicks; });
    }
    TCheckBox Check{this, IDC_CHECK};
    TEdit Edit{this, IDC_EDIT};
    TComboBox Combo{this, IDC_COMBO};
    TListBox List{this, IDC_LIST};
    TListView View{this, IDC_LISTVIEW};
    TUpDown Spin{this, IDC_UPDOWN};
    TEdit Buddy{this, IDC_BUDDY};
    TTreeView Tree{this, IDC_TREE};
    TButton Button{this, IDC_BUTTON};
    TStatusBar Status{this, IDC_STATUS};
    int created = 0, destroyed = 0, clicks = 0;
    bool refuseClose = false;

protected:
    void FormCreate() override {
        ++created;
        Spin.SetRange(0, 99);
        View.AddColumn("No", 40);
        View.AddColumn("Title", 80);
    }
    void FormDestroy() override { ++destroyed; }
    bool FormCloseQuery() override { return !refuseClose; }
};

class ClassLib : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Application.Initialize(); }
};

}  // namespace

TEST_F(ClassLib, ResourceTextsAreShiftJis) {
    EXPECT_EQ(LoadResString(IDS_HELLO), kHello);
    EXPECT_EQ(LoadResString(9999), "");
}

TEST_F(ClassLib, ScriptedModalFormDrivesRealControls) {
    TScriptedPrompter prompter;
    TPrompterGuard guard(prompter);
    TTestForm form;
    prompter.OnModal = [&](TForm& f) -> INT_PTR {
        EXPECT_EQ(&f, &form);
        EXPECT_EQ(form.Caption(), kCaption);
        form.Check.SetChecked(true);
        EXPECT_TRUE(form.Check.CheckedAndEnabled());
        form.Check.SetEnabled(false);
        EXPECT_TRUE(form.Check.Checked());
        EXPECT_FALSE(form.Check.CheckedAndEnabled());

        form.Combo.SetItems({"WAVE", "MP3"});
        EXPECT_EQ(form.Combo.ItemIndex(), -1);
        form.Combo.SetItemIndex(1);
        EXPECT_EQ(form.Combo.Item(form.Combo.ItemIndex()), "MP3");

        form.Spin.SetPosition(250);  // clamped like a spin edit
        EXPECT_EQ(form.Spin.Position(), 99);
        form.Buddy.SetText("-5");
        EXPECT_EQ(form.Spin.Position(), 0);

        form.List.Add("b");
        form.List.Add("a");
        form.List.SetSelected(1, true);
        EXPECT_TRUE(form.List.Selected(1));
        EXPECT_FALSE(form.List.Selected(0));

        HTREEITEM root = form.Tree.Add(nullptr, "C:\\", 7);
        HTREEITEM child = form.Tree.Add(root, "Music", 8);
        EXPECT_EQ(form.Tree.Parent(child), root);
        EXPECT_EQ(form.Tree.ItemText(child), "Music");
        EXPECT_EQ(form.Tree.ItemData(root), 7);

        form.Status.SetParts({100, -1});
        form.Status.SetPanelText(1, kHello);
        EXPECT_EQ(form.Status.PanelText(1), kHello);

        form.Button.Click();
        EXPECT_EQ(form.clicks, 1);
        form.Edit.SetText("abc");
        return IDOK;
    };
    EXPECT_EQ(form.ShowModal(), IDOK);
    EXPECT_EQ(form.created, 1);
    EXPECT_EQ(form.destroyed, 1);
    EXPECT_EQ(form.Handle(), nullptr);
}

TEST_F(ClassLib, OwnerDataListViewAsksForText) {
    TScriptedPrompter prompter;
    TPrompterGuard guard(prompter);
    TTestForm form;
    prompter.OnModal = [&](TForm&) -> INT_PTR {
        form.View.BindOwnerData([](int item, int sub) { return std::to_string(item) + ":" + std::to_string(sub); });
        form.View.SetItemCount(1000);
        EXPECT_EQ(form.View.Count(), 1000);
        EXPECT_EQ(form.View.ItemText(998, 1), "998:1");
        return 0;  // no result given: counts as cancel
    };
    EXPECT_EQ(form.ShowModal(), IDCANCEL);
}

TEST_F(ClassLib, RealModalDialogEndsThroughButtonsAndCloseQuery) {
    TTestForm form;
    form.OnMessage(WM_APP, [&](WPARAM step, LPARAM) -> LRESULT {
        if (step == 0) {
            form.refuseClose = true;
            PostMessageA(form.Handle(), WM_CLOSE, 0, 0);  // refused
            PostMessageA(form.Handle(), WM_APP, 1, 0);
        } else {
            EXPECT_NE(form.Handle(), nullptr);
            form.refuseClose = false;
            PostMessageA(form.Handle(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
        return 0;
    });
    form.OnMessage(WM_SHOWWINDOW, [&](WPARAM, LPARAM) -> LRESULT {
        PostMessageA(form.Handle(), WM_APP, 0, 0);
        return 0;
    });
    EXPECT_EQ(form.ShowModal(), IDOK);
}

TEST_F(ClassLib, ModelessMainFormEndsTheMessageLoop) {
    TTestForm form;
    TTimer timer(&form, 1, 10, [&] { form.Close(); });
    form.Show();
    timer.SetEnabled(true);
    Application.Run(form);
    EXPECT_EQ(form.Handle(), nullptr);
    EXPECT_EQ(form.destroyed, 1);
}

TEST_F(ClassLib, MessagesGoThroughThePrompter) {
    TScriptedPrompter prompter;
    prompter.Answers = {IDCANCEL};
    TPrompterGuard guard(prompter);
    Application.Title = "Wendrix for Windows";
    EXPECT_EQ(MessageBoxRes(IDS_FORMAT, MB_OKCANCEL | MB_ICONWARNING, 12), IDCANCEL);
    EXPECT_EQ(ShowMessageBox("second"), IDOK);
    ASSERT_EQ(prompter.Messages.size(), 2u);
    EXPECT_EQ(prompter.Messages[0].text,
              "\x83\x67\x83\x89\x83\x62\x83\x4e 12 \x82\xcc\xcc\xa7\xb2\xd9\x96\xbc\x82\xaa\x88\xd9\x8f\xed\x82\xc5\x82\xb7.");
    EXPECT_EQ(prompter.Messages[0].caption, "Wendrix for Windows");
    EXPECT_EQ(prompter.Messages[0].flags, static_cast<UINT>(MB_OKCANCEL | MB_ICONWARNING));
}

TEST_F(ClassLib, MenuFromResource) {
    TMenu menu = TMenu::Load(IDM_TEST);
    ASSERT_NE(menu.Handle(), nullptr);
    TMenu file = menu.SubMenu(0);
    file.SetChecked(IDM_ITEM_B, true);
    file.SetEnabled(IDM_ITEM_A, false);
    EXPECT_TRUE(file.Checked(IDM_ITEM_B));
    EXPECT_FALSE(file.Checked(IDM_ITEM_A));
    EXPECT_FALSE(file.Enabled(IDM_ITEM_A));
}

namespace {
class TCounter : public TThread {
public:
    explicit TCounter(HWND target) : target_(target) {}
    std::atomic<int> loops{0};

protected:
    void Execute() override {
        while (!Terminated()) {
            ++loops;
            Sleep(1);
        }
        PostTo(target_, WM_APP + 5, static_cast<WPARAM>(loops.load()));
        throw std::runtime_error("escaped");
    }

private:
    HWND target_;
};

class TOwned : public TComponent {
public:
    TOwned(TComponent* owner, std::string* log, const char* name) : TComponent(owner), log_(log) { Name = name; }
    ~TOwned() override { *log_ += Name; }

private:
    std::string* log_;
};
}  // namespace

TEST_F(ClassLib, ThreadTerminatesPostsAndKeepsEscapedException) {
    HWND target = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(target, nullptr);
    TCounter t(target);
    EXPECT_EQ(t.WaitFor(0), static_cast<DWORD>(WAIT_OBJECT_0));  // never started
    t.Start();
    while (t.loops < 3) Sleep(1);
    t.Terminate();
    EXPECT_EQ(t.WaitFor(5000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(t.Finished());
    EXPECT_EQ(t.FatalError(), "escaped");
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, target, WM_APP + 5, WM_APP + 5, PM_REMOVE));
    EXPECT_GE(msg.wParam, 3u);
    DestroyWindow(target);
}

TEST_F(ClassLib, UnstartedThreadIsFreedWithoutRunning) {
    auto* t = new TCounter(nullptr);
    delete t;  // must not hang nor run Execute
    SUCCEED();
}

TEST_F(ClassLib, OwnerFreesComponentsNewestFirst) {
    std::string log;
    auto* root = new TOwned(nullptr, &log, "R");
    new TOwned(root, &log, "a");
    auto* b = new TOwned(root, &log, "b");
    new TOwned(b, &log, "c");
    auto* d = new TOwned(root, &log, "d");
    delete d;  // unlinks itself
    EXPECT_EQ(root->Components().size(), 2u);
    delete root;
    // A derived destructor runs before the owned components are freed.
    EXPECT_EQ(log, "dRbca");
}

TEST_F(ClassLib, RegistryStrings) {
    const std::string path = "Software\\WendrixTest";
    EXPECT_FALSE(RegReadString(HKEY_CURRENT_USER, path, "Missing").has_value());
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, path, "Value", kHello));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, path, "Value").value_or(""), kHello);
    RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
}

TEST_F(ClassLib, ScriptedPopupMenusAndFileDialogs) {
    TScriptedPrompter script;
    TPrompterGuard guard(script);
    TMenu menu = TMenu::Load(IDM_TEST);
    script.MenuAnswers.push_back(IDM_ITEM_B);
    EXPECT_EQ(menu.SubMenu(0).Popup(nullptr, 0, 0), static_cast<UINT>(IDM_ITEM_B));
    EXPECT_EQ(menu.SubMenu(0).Popup(nullptr, 0, 0), 0u);  // nothing left: dismissed
    ASSERT_EQ(script.Menus.size(), 2u);
    ASSERT_EQ(script.Menus[0].size(), 2u);

    char file[MAX_PATH] = {};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof(file);
    ofn.lpstrTitle = "open";
    script.FileAnswers = {"C:\\a.txt", "", std::string(300, 'x')};
    EXPECT_TRUE(Prompter().OpenFileName(ofn));
    EXPECT_STREQ(file, "C:\\a.txt");
    EXPECT_FALSE(Prompter().SaveFileName(ofn));  // an empty answer cancels
    EXPECT_FALSE(Prompter().OpenFileName(ofn));  // longer than the buffer: refused, not cut
    EXPECT_STREQ(file, "C:\\a.txt");
    script.FileAnswers = {"C:\\Music"};
    EXPECT_EQ(Prompter().BrowseFolder(nullptr, "folder", "C:\\"), "C:\\Music");
    EXPECT_EQ(Prompter().BrowseFolder(nullptr, "again", ""), "");
    EXPECT_EQ(script.FileDialogs, (std::vector<std::string>{"open", "open", "open", "folder", "again"}));
}

TEST_F(ClassLib, MainFormIgnoresDialogEnterAndEscape) {
    TTestForm form;
    form.SetDialogKeysClose(false);
    form.Show();
    SendMessageA(form.Handle(), WM_COMMAND, IDOK, 0);
    SendMessageA(form.Handle(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_NE(form.Handle(), nullptr);
    form.SetDialogKeysClose(true);
    SendMessageA(form.Handle(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(form.Handle(), nullptr);
}

// A library with every listed entry point, one that lacks one, and one the
// system cannot find; the count of a shared library.
TEST(RuntimeLibrary, LoadsOnlyWholeLibrariesAndCountsSharedUse) {
    using TLoad = wx::TRuntimeLibrary::TLoad;
    DWORD(WINAPI * ticks)() = nullptr;
    BOOL(WINAPI * beep)(DWORD, DWORD) = nullptr;
    DWORD(WINAPI * missing)() = nullptr;
    {
        wx::TRuntimeLibrary partial{{ticks, "GetTickCount"}, {missing, "NoSuchEntryPoint"}};
        EXPECT_EQ(partial.Load("kernel32.dll"), TLoad::Incomplete);
        EXPECT_FALSE(partial.Loaded());
        EXPECT_EQ(ticks, nullptr);  // not half a library
        EXPECT_EQ(partial.RefCount(), 0);
        EXPECT_EQ(partial.Load("no-such-library.dll"), TLoad::NotFound);
        EXPECT_EQ(partial.Load(""), TLoad::NotFound);
    }

    wx::TRuntimeLibrary lib{{ticks, "GetTickCount"}, {beep, "Beep"}};
    int loads = 0;
    auto load = [&] {
        ++loads;
        return lib.Load("kernel32.dll") == TLoad::Loaded;
    };
    ASSERT_TRUE(lib.Acquire(load));
    ASSERT_NE(ticks, nullptr);
    EXPECT_NE(beep, nullptr);
    EXPECT_GT(ticks(), 0u);
    EXPECT_TRUE(lib.Acquire(load));
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(lib.RefCount(), 2);
    lib.Release();
    EXPECT_TRUE(lib.Loaded());
    lib.Release();
    EXPECT_FALSE(lib.Loaded());
    EXPECT_EQ(ticks, nullptr);
    lib.Release();  // one too many does no harm
    EXPECT_EQ(lib.RefCount(), 0);
    EXPECT_FALSE(lib.Acquire([] { return false; }));
}
