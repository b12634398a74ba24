// The settings dialog through its real window under Wine: a driver thread
// opens every page as a user would (tab clicks), sets controls through
// their windows, answers the message boxes, takes a picture of each page
// and closes with Escape; afterwards the store and, after StoreCfg, the
// settings file hold the new values.  Also the drive information window
// with the emulated drive's INQUIRY and the English module's pages.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "extraction/Win32Aspi.h"
#include "extraction/tests/StandinSetup.h"
#include "output/acmmgr32.h"
#include "output/gogotea.h"
#include "output/mp3defs.h"
#include "output/tests/enctest_util.h"
#include "resources/configform.h"
#include "resources/msgids.h"
#include "resources/smallforms.h"
#include "settings/configform.h"
#include "settings/configs_win.h"
#include "settings/profileini.h"
#include "settings/tests/fullsettings.h"

namespace {

class TestHost : public TConfigHost {
public:
    wx::TWin32Aspi* aspi = nullptr;
    TAcmDrv* acm = nullptr;
    wx::TGogoTea* gogo = nullptr;
    std::string status;
    wx::TWin32Aspi* Aspi() override { return aspi; }
    TAcmDrv* AcmDrv() override { return acm; }
    wx::TGogoTea* GogoEncoder() override { return gogo; }
    void SetStatusText(const std::string& t) override { status = t; }
};

std::string Artifacts() {
    const char* b = std::getenv("WX_BINARY_DIR");
    std::string p = b ? b : ".";
    if (!p.empty() && p[0] == '/') {
        for (char& c : p)
            if (c == '/') c = '\\';
        p = "Z:" + p;
    }
    p += "\\artifacts";
    CreateDirectoryA(p.c_str(), nullptr);
    return p;
}

// A picture of the window as it is on the screen, as a 24-bit BMP.
void Snapshot(HWND w, const std::string& name) {
    RECT r;
    GetWindowRect(w, &r);
    const int cx = r.right - r.left, cy = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, cx, cy, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    const DWORD stride = ((cx * 3 + 3) & ~3u), size = stride * static_cast<DWORD>(cy);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + size;
    std::ofstream f(Artifacts() + "\\" + name + ".bmp", std::ios::binary);
    f.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    f.write(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof bi.bmiHeader);
    f.write(static_cast<const char*>(bits), size);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
}

struct Find {
    DWORD thread;
    HWND except;
    HWND found = nullptr;
};

BOOL CALLBACK FindTop(HWND w, LPARAM lp) {
    auto* f = reinterpret_cast<Find*>(lp);
    char cls[64] = {}, text[256] = {};
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, text, sizeof text);
    if (GetWindowThreadProcessId(w, nullptr) == f->thread && std::string(cls) == "#32770" && IsWindowVisible(w) &&
        w != f->except && GetWindow(w, GW_OWNER) != nullptr == (f->except != nullptr)) {
        f->found = w;
        return FALSE;
    }
    return TRUE;
}

// A visible dialog of the user-interface thread: the settings dialog
// (except null), or a window it opened (except the settings dialog).
HWND WaitFor(DWORD thread, HWND except, int ms = 10000) {
    for (int t = 0; t < ms; t += 20) {
        Find f{thread, except};
        EnumWindows(FindTop, reinterpret_cast<LPARAM>(&f));
        if (f.found) return f.found;
        Sleep(20);
    }
    return nullptr;
}

std::string Text(HWND w) {
    char buf[1024] = {};
    GetWindowTextA(w, buf, sizeof buf);
    return buf;
}

// A message box over the dialog: its text, then OK.
std::string Answer(DWORD thread, HWND dlg) {
    HWND box = WaitFor(thread, dlg);
    if (!box) return "<no box>";
    const std::string t = Text(GetDlgItem(box, 0xFFFF));
    SendMessageA(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 200 && IsWindow(box); ++i) Sleep(10);
    return t;
}

class Driver {
public:
    Driver(HWND dlg, DWORD thread) : d(dlg), t(thread) {}
    HWND d;
    DWORD t;
    HWND Item(int id) const { return GetDlgItem(d, id); }
    // A click on the tab's item, as the mouse gives it.
    void Page(int i) const {
        HWND tab = Item(IDC_CFG_TAB);
        RECT r{};
        SendMessageA(tab, TCM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageA(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(tab, WM_LBUTTONUP, 0, at);
        Sleep(150);
    }
    void Click(int id) const { SendMessageA(Item(id), BM_CLICK, 0, 0); }
    // Clicks that open a message box: posted, so that the box can be answered.
    std::string ClickAnswer(int id) const {
        PostMessageA(Item(id), BM_CLICK, 0, 0);
        return Answer(t, d);
    }
    // A click after which no box is expected: the text of one that came
    // all the same (answered), else empty.
    std::string ClickQuiet(int id) const {
        PostMessageA(Item(id), BM_CLICK, 0, 0);
        HWND box = WaitFor(t, d, 400);
        if (!box) return std::string();
        const std::string text = Text(GetDlgItem(box, 0xFFFF));
        SendMessageA(box, WM_COMMAND, IDOK, 0);
        return text.empty() ? "<a window>" : text;
    }
    void Choose(int id, int index) const {
        SendMessageA(Item(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageA(d, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(id)));
    }
    std::string ChooseAnswer(int id, int index) const {
        SendMessageA(Item(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        PostMessageA(d, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(id)));
        return Answer(t, d);
    }
    void Type(int id, const std::string& s) const { SendMessageA(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(s.c_str())); }
    void Key(int id, int vk) const {
        SendMessageA(Item(id), WM_KEYDOWN, static_cast<WPARAM>(vk), 0);
        SendMessageA(Item(id), WM_KEYUP, static_cast<WPARAM>(vk), 0);
    }
    bool Checked(int id) const { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool Visible(int id) const { return IsWindowVisible(Item(id)) != FALSE; }
};

struct Env {
    wx::test::StandinSetup standin{"Personality=plextor\n"};
    std::string root, file;
    TFullSettingsPaths paths;
    Env() {
        root = standin.dir.File("");
        paths = MakeFullSettingsPaths(root);
        file = root + "wndrxn.ini";
        std::ofstream(file, std::ios::binary) << FullSettingsText(paths);
        ResetGenreSettings();
        MainWindowKeys = TMainWindowKeys{};
        FilerExtFilter = TFilerExtFilter{};
        AutoRefresh = true;
    }
};

}  // namespace

TEST(ConfigDialogWine, EveryPageThroughTheWindowAndBackToTheFile) {
    Env env;
    wx::TWin32Aspi aspi(nullptr);
    ASSERT_EQ(aspi.Adapters(), 1);
    TAcmDrv acm;
    TestHost host;
    host.aspi = &aspi;
    host.acm = &acm;
    TConfigForm form(nullptr, &host);
    form.SettingsFileName = env.file;
    form.FormCreate(nullptr);
    const DWORD ui = GetCurrentThreadId();
    std::vector<std::string> boxes, devInfo, spinTexts;
    std::vector<int> spinValues;
    std::atomic<bool> done{false};
    bool multiThreadDisabledForTwoPass = false, pellora = true, gogoDisabled = false;
    std::thread driver([&] {
        HWND dlg = WaitFor(ui, nullptr);
        if (!dlg) return;
        Driver k(dlg, ui);
        Sleep(300);
        // Page 1: the drive, its read command, speed and block size.
        k.Page(0);
        Snapshot(dlg, "configform_page1");
        k.Choose(IDC_CFG1_COMBOBOX1, rcPioneer);
        k.Click(IDC_CFG1_CHECKBOX2);
        k.Type(IDC_CFG1_SPINEDIT1, "33");
        PostMessageA(k.Item(IDC_CFG1_DISPDRIVE), BM_CLICK, 0, 0);
        if (HWND info = WaitFor(ui, dlg)) {
            Sleep(200);
            Snapshot(info, "devinfoform");
            for (int i = 0; i < 20; ++i) devInfo.push_back(Text(GetDlgItem(info, IDC_DEVINFO_LABEL2 + 2 * i)));
            SendMessageA(info, WM_COMMAND, IDOK, 0);
            Sleep(200);
        }
        // Page 2: one-pass correction with the PIONEER command is refused.
        k.Page(1);
        multiThreadDisabledForTwoPass = !IsWindowEnabled(k.Item(IDC_CFG2_USEMULTITHREADWRITE));
        Snapshot(dlg, "configform_page2");
        boxes.push_back(k.ChooseAnswer(IDC_CFG2_SELREADMETHOD, rm1PassZitterRead));
        k.Click(IDC_CFG2_CHECKBOX12);
        k.Click(IDC_CFG2_READMETHOD1);
        k.Type(IDC_CFG2_RATIOEDIT, "175");
        // Keystrokes into a spin edit (5..95) stand while it is typed into;
        // the value is clamped when the edit is left.
        {
            HWND mem = k.Item(IDC_CFG2_MEMUSERATIO), other = k.Item(IDC_CFG2_CHECKBOX12);
            const std::string before = Text(mem);
            const auto typeInto = [&](const std::string& keys) {
                SendMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(mem), TRUE);
                SendMessageA(mem, EM_SETSEL, 0, -1);
                for (char ch : keys) SendMessageA(mem, WM_CHAR, static_cast<WPARAM>(ch), 0);
                spinTexts.push_back(Text(mem));
                SendMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(other), TRUE);
                spinTexts.push_back(Text(mem));
            };
            typeInto("20");
            spinValues.push_back(form.Store.MemUseRatio.Value());
            typeInto("1");
            spinValues.push_back(form.Store.MemUseRatio.Value());
            typeInto(before);
        }
        pellora = k.Visible(IDC_CFG2_CHECKBOX7);
        // Page 3: MP3 output, TwinVQ quality, WMA as the standard method.
        k.Page(2);
        Snapshot(dlg, "configform_page3");
        k.Click(IDC_CFG3_OUT0 + omMP3);
        k.Choose(IDC_CFG3_VQFQUALITY, 0);
        k.Click(IDC_CFG3_STD0 + semWMA);
        // Page 4: the ACM encoder at 320 kbit/s, emphasis flag.
        k.Page(3);
        gogoDisabled = !IsWindowEnabled(k.Item(IDC_CFG4_GOGOSETTING));
        Snapshot(dlg, "configform_page4");
        k.Click(IDC_CFG4_ENC0 + mekACM);
        // The external encoder, no longer in use, has been uninstalled: its
        // disabled edit keeps nobody in the dialog.
        k.Type(IDC_CFG4_PROGRAMEDIT, env.root + "uninstalled.exe");
        k.Choose(IDC_CFG4_BITRATEBOX, 12);
        k.Click(IDC_CFG4_MP3DEEMPH);
        // Page 5: file name preset, manual folder name, no automatic lookup.
        k.Page(4);
        Snapshot(dlg, "configform_page5");
        k.Choose(IDC_CFG5_FILENAMESELECT, 1);
        k.Type(IDC_CFG5_FOLDERNAMEEDIT, "%L-x");
        k.Click(IDC_CFG5_AUTOCDDBCONNECT);
        // Page 6: the extension list, CD drives shown, read-ahead.
        k.Page(5);
        pellora = pellora || k.Visible(IDC_CFG6_PELLORAPORT) || k.Visible(IDC_CFG6_ISSENDPELLORA);
        Snapshot(dlg, "configform_page6");
        k.Type(IDC_CFG6_EXTLIST, "ape");
        boxes.push_back(k.ClickAnswer(IDC_CFG6_ADDEXT));
        k.Type(IDC_CFG6_EXTLIST, ".Ape");
        boxes.push_back(k.ClickAnswer(IDC_CFG6_ADDEXT));
        k.Choose(IDC_CFG6_EXTLIST, 0);
        boxes.push_back(k.ClickAnswer(IDC_CFG6_DELEXT));
        k.Click(IDC_CFG6_NODISPCDROM);
        k.Key(IDC_CFG6_PREREADWAVESIZE, VK_RIGHT);
        // A missing player keeps the dialog open at OK.
        k.Type(IDC_CFG6_USEPLAYER, env.root + "gone.exe");
        boxes.push_back(k.ClickAnswer(IDOK));
        k.Type(IDC_CFG6_USEPLAYER, env.paths.Player);
        // Escape leaves the dialog and applies, as OK does.
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        done = true;
    });
    const INT_PTR r = form.ShowModal(nullptr);
    driver.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(r, IDOK);
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_EQ(boxes[0], wx::LoadResString(MSG_CFG_PIONEER_ZITTER));
    char expect[256];
    std::snprintf(expect, sizeof expect, wx::LoadResString(MSG_CFG_EXT_ADDED).c_str(), ".APE");
    EXPECT_EQ(boxes[1], expect);
    EXPECT_EQ(boxes[2], wx::LoadResString(MSG_CFG_EXT_EXISTS));
    std::snprintf(expect, sizeof expect, wx::LoadResString(MSG_CFG_EXT_DELETED).c_str(), ".FLAC");
    EXPECT_EQ(boxes[3], expect);
    EXPECT_EQ(boxes[4], wx::LoadResString(MSG_CFG_NO_PROGRAM));
    ASSERT_EQ(spinTexts.size(), 6u);
    EXPECT_EQ(spinTexts[0], "20");
    EXPECT_EQ(spinTexts[1], "20");
    EXPECT_EQ(spinTexts[2], "1");
    EXPECT_EQ(spinTexts[3], "5");
    EXPECT_EQ(spinValues, (std::vector<int>{20, 5}));
    EXPECT_TRUE(multiThreadDisabledForTwoPass);
    EXPECT_FALSE(pellora);  // hidden controls stay hidden
    EXPECT_TRUE(gogoDisabled);
    ASSERT_EQ(devInfo.size(), 20u);
    EXPECT_EQ(devInfo[14].substr(0, 7), "PLEXTOR");  // vendor of the emulated drive
    EXPECT_EQ(devInfo[1], "5");                     // device type: CD-ROM
    // The store holds the new values; the close applied them.
    EXPECT_EQ(form.Store.SelReadMethod.ItemIndex(), rmNormalRead);
    EXPECT_EQ(form.Store.SpinEdit1.Value(), 33);
    EXPECT_EQ(host.status.substr(0, 3), "MP3");
    EXPECT_EQ(FilerExtFilter.Count, 2);
    ASSERT_TRUE(form.StoreCfg());

    TProfileIniFile ini(env.file);
    auto v = [&](const char* sec, const char* key) { return ini.ReadString(sec, key, "<absent>"); };
    EXPECT_EQ(v("DEVICES_1", "DriveMaker"), "PIONEER");
    EXPECT_EQ(v("DEVICES_0", "DriveMaker"), "SCSI3");
    EXPECT_EQ(v("Common", "ChangeSpin"), "No");
    EXPECT_EQ(v("Common", "ReadBlock"), "33");
    EXPECT_EQ(v("Common", "SelectReadMode"), "0");
    EXPECT_EQ(v("Common", "SwapRLChannel"), "No");
    EXPECT_EQ(v("NormalRead", "Verify"), "No");
    EXPECT_EQ(v("Common", "RecordingLevel"), "175");
    EXPECT_EQ(v("Format", "OutputType"), "MP3");
    EXPECT_EQ(v("VQF", "Quality"), "32");
    EXPECT_EQ(v("Common", "DefEncode"), "WMT");
    EXPECT_EQ(v("MP3", "EncodeType"), "ACMENC");
    EXPECT_EQ(v("MP3", "BitRate"), "320KB");
    EXPECT_EQ(v("MP3", "MP3DeEmph"), "Yes");
    EXPECT_EQ(v("ID3TAG", "FilenameSelect"), "1");
    EXPECT_EQ(v("ID3TAG", "FoldernameEdit"), "%L-x");
    EXPECT_EQ(v("CDDB", "AutoCDDBConnect"), "No");
    EXPECT_EQ(v("Filer", "DispExt1"), ".OGG");
    EXPECT_EQ(v("Filer", "DispExt2"), ".APE");
    EXPECT_EQ(v("Filer", "DispExt3"), "<absent>");
    EXPECT_EQ(v("Filer", "IsDispCDROM"), "Yes");
    EXPECT_EQ(v("Common", "PrefetchSize"), "5");
    EXPECT_EQ(v("Filer", "UsePlayer"), env.paths.Player);
    FreeRipCacheBuffer();
}

// The GOGO library's version, as the stand-in reports it, decides what the
// MP3 page and the GOGO dialog allow; on Windows 9x with MSCDEX the block
// size is at most 18 and burst reading is refused.
TEST(ConfigDialogWine, GogoVersionsAndMscdexThroughTheWindow) {
    Env env;
    ASSERT_TRUE(SetDllDirectoryA(wx::test::StandinDir().c_str()));
    std::unique_ptr<wx::TGogoTea> gogo;
    ASSERT_NO_THROW(gogo = std::make_unique<wx::TGogoTea>(nullptr));
    HMODULE lib = GetModuleHandleA("GOGO.DLL");
    ASSERT_NE(lib, nullptr);
    auto setVersion = reinterpret_cast<void(__cdecl*)(std::uint32_t)>(GetProcAddress(lib, "StandinSetVersion"));
    auto setUnits = reinterpret_cast<void(__cdecl*)(std::uint32_t)>(GetProcAddress(lib, "StandinSetUnitStates"));
    ASSERT_TRUE(setVersion && setUnits);
    wx::TWin32Aspi aspi(nullptr);
    TestHost host;
    host.aspi = &aspi;
    host.gogo = gogo.get();
    IsWindowsNT = false;  // Windows 9x: MSCDEX can be chosen
    TConfigForm form(nullptr, &host);
    form.SettingsFileName = env.file;
    form.FormCreate(nullptr);
    const DWORD ui = GetCurrentThreadId();
    std::vector<std::string> boxes;
    std::vector<int> formats;  // GogoFormatType after each step
    std::string blockSize;
    bool container560 = false, container559 = true, sse95 = true, mmx95 = false;
    std::atomic<bool> done{false};
    std::thread driver([&] {
        HWND dlg = WaitFor(ui, nullptr);
        if (!dlg) return;
        Driver k(dlg, ui);
        Sleep(300);
        // MSCDEX on Windows 9x: block size at most 18, no burst reading.
        k.Click(IDC_CFG1_CHECKBOX14);
        blockSize = Text(k.Item(IDC_CFG1_SPINEDIT1));
        k.Page(1);
        boxes.push_back(k.ChooseAnswer(IDC_CFG2_SELREADMETHOD, 3));
        k.Page(3);
        // 2.24: too old, the ACM encoder is chosen instead.
        setVersion(0x224);
        boxes.push_back(k.ClickAnswer(IDC_CFG4_ENC0 + 2));
        boxes.push_back(k.Checked(IDC_CFG4_ENC0) ? "ACM" : "not ACM");
        formats.push_back(form.Store.GogoFormatType);
        // 2.30: taken; its dialog offers the output container.
        setVersion(0x230);
        boxes.push_back(k.ClickQuiet(IDC_CFG4_ENC0 + 2));
        auto gogoDialog = [&](const std::function<void(HWND)>& work, int close) {
            PostMessageA(k.Item(IDC_CFG4_GOGOSETTING), BM_CLICK, 0, 0);
            HWND g = WaitFor(ui, dlg);
            if (!g) return;
            work(g);
            SendMessageA(g, WM_COMMAND, static_cast<WPARAM>(close), 0);
            for (int i = 0; i < 200 && IsWindow(g); ++i) Sleep(10);
        };
        gogoDialog(
            [&](HWND g) {
                container560 = IsWindowEnabled(GetDlgItem(g, IDC_GOGO1_OUTFORMATBOX)) != FALSE;
                SendDlgItemMessageA(g, IDC_GOGO1_OUTFORMATBOX, CB_SETCURSEL, 2, 0);
            },
            IDOK);
        formats.push_back(form.Store.GogoFormatType);
        // 2.26: taken, but only plain MP3 output.
        setVersion(0x226);
        k.Click(IDC_CFG4_ENC0);
        boxes.push_back(k.ClickQuiet(IDC_CFG4_ENC0 + 2));
        formats.push_back(form.Store.GogoFormatType);
        // 559 and lower: the container is reset even when the dialog is
        // cancelled.
        setVersion(0x230);
        gogoDialog([&](HWND g) { SendDlgItemMessageA(g, IDC_GOGO1_OUTFORMATBOX, CB_SETCURSEL, 1, 0); }, IDOK);
        formats.push_back(form.Store.GogoFormatType);
        setVersion(559);
        gogoDialog([&](HWND g) { container559 = IsWindowEnabled(GetDlgItem(g, IDC_GOGO1_OUTFORMATBOX)) != FALSE; },
                   IDCANCEL);
        formats.push_back(form.Store.GogoFormatType);
        // Windows 95: no SSE, whatever the library reports.
        IsWindows95 = true;
        setUnits(0x02 | 0x08);
        gogoDialog(
            [&](HWND g) {
                sse95 = IsWindowEnabled(GetDlgItem(g, IDC_GOGO1_SSECHK)) != FALSE;
                mmx95 = IsWindowEnabled(GetDlgItem(g, IDC_GOGO1_MMXCHK)) != FALSE;
            },
            IDCANCEL);
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        done = true;
    });
    form.ShowModal(nullptr);
    driver.join();
    IsWindowsNT = true;
    IsWindows95 = false;
    setUnits(0x02 | 0x04 | 0x08 | 0x20);
    setVersion(560);
    ASSERT_TRUE(done);
    EXPECT_EQ(blockSize, "18");
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_EQ(boxes[0], wx::LoadResString(MSG_CFG_MSCDEX_BURST));
    char version[512];
    std::snprintf(version, sizeof version, wx::LoadResString(MSG_CFG_GOGO_VERSION).c_str(), 2u, 0x24u);
    EXPECT_EQ(boxes[1], version);
    EXPECT_EQ(boxes[1].substr(boxes[1].size() - 4), "2.24");
    EXPECT_EQ(boxes[2], "ACM");
    EXPECT_EQ(boxes[3], "");  // 2.30: no message
    EXPECT_EQ(boxes[4], "");  // 2.26: no message
    EXPECT_EQ(formats, (std::vector<int>{gftMP3, gftRiffMP3, gftMP3, gftRiffWave, gftMP3}));
    EXPECT_TRUE(container560);
    EXPECT_FALSE(container559);
    EXPECT_FALSE(sse95);
    EXPECT_TRUE(mmx95);
    EXPECT_EQ(form.Store.SelReadMethod.ItemIndex(), rmNormalRead);
    EXPECT_EQ(form.Store.SelMP3Enc.ItemIndex(), mekGogo);
    FreeRipCacheBuffer();
    gogo.reset();
    SetDllDirectoryA(nullptr);
}

// The English module: every page of the dialog, its messages and the small
// dialogs come from it.
TEST(ConfigDialogWine, EnglishModuleHasEveryPageAndMessage) {
    const char* b = std::getenv("WX_BINARY_DIR");
    std::string path = std::string(b ? b : ".") + "/app/wendrix.ENU";
    for (char& c : path)
        if (c == '/') c = '\\';
    if (path[0] == '\\') path = "Z:" + path;
    HMODULE enu = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(enu, nullptr) << path;
    for (const char* name : {"TCONFIGFORM", "TGOGOFORM", "TNORMALIZEFORM", "TGENREDISPFORM", "TDEVINFOFORM"})
        EXPECT_NE(FindResourceA(enu, name, RT_DIALOG), nullptr) << name;
    char buf[512];
    for (UINT id = MSG_CFG_NO_DRIVE_INTERFACE; id <= MSG_CFG_ITEM_FOLDERNAME + 3; ++id)
        EXPECT_GT(LoadStringA(enu, id, buf, sizeof buf), 0) << id;
    Env env;
    TestHost host;
    wx::TWin32Aspi aspi(nullptr);
    host.aspi = &aspi;
    const HINSTANCE previous = wx::Application.ResourceInstance();
    wx::Application.SetResourceInstance(enu);
    {
        TConfigForm form(nullptr, &host);
        form.SettingsFileName = env.file;
        form.FormCreate(nullptr);
        const DWORD ui = GetCurrentThreadId();
        std::string tab4;
        std::thread driver([&] {
            HWND dlg = WaitFor(ui, nullptr);
            if (!dlg) return;
            Driver k(dlg, ui);
            Sleep(300);
            k.Page(3);
            Snapshot(dlg, "configform_page4_en");
            char t[64] = {};
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = t;
            item.cchTextMax = sizeof t;
            SendMessageA(k.Item(IDC_CFG_TAB), TCM_GETITEMA, 3, reinterpret_cast<LPARAM>(&item));
            tab4 = t;
            PostMessageA(dlg, WM_COMMAND, IDOK, 0);
        });
        form.ShowModal(nullptr);
        driver.join();
        EXPECT_EQ(tab4, "MP3");
    }
    wx::Application.SetResourceInstance(previous);
    FreeLibrary(enu);
    FreeRipCacheBuffer();
}
