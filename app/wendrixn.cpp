// The main window: the main unit's values, the window's life events, its
// settings keys and the frame's commands.  The layout of bars and panes is
// in wendrixn_layout.cpp.
#include "app/wendrixn.h"

#include <algorithm>

#include "app/ReInit.h"
#include "app/aboutfrm.h"
#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "extraction/AspiDefs.h"
#include "extraction/ClassDrv.h"
#include "extraction/Win32Aspi.h"
#include "extraction/wendrisub.h"
#include "output/acmmgr32.h"
#include "output/dlgcenter.h"
#include "output/gogotea.h"
#include "output/tvqenc.h"
#include "resources/msgids.h"
#include "settings/configs_win.h"
#include "settings/configstore.h"
#include "settings/profileini.h"

namespace wendrix {

std::string SettingsFileName;
bool JapaneseMode = true;
std::string LocaleAbbrev;
TDiskFreeEx DiskFreeEx = nullptr;
TVerifyRslt* VerifyRslt = nullptr;
wx::TCDPlayer* CDPlayer = nullptr;
TProgressForm* ProgressForm = nullptr;
TForm1* Form1 = nullptr;

namespace {
HMODULE kernel32 = nullptr;
}

void InitMainUnit() {
    FilerExtFilter = TFilerExtFilter{};
    MainWindowKeys = TMainWindowKeys{};
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string exe = path;
    const std::size_t slash = exe.find_last_of('\\');
    SettingsFileName = (slash == std::string::npos ? std::string() : exe.substr(0, slash)) + "\\wndrxn.ini";
    LocaleAbbrev = LocaleAbbreviation(LOCALE_SYSTEM_DEFAULT);
    JapaneseMode = wx::LoadResString(MSG_LANGUAGE) == "JAPANESE";
    DiskFreeEx = nullptr;
    kernel32 = LoadLibraryA("KERNEL32.DLL");
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof(vi);
    if (kernel32 && GetVersionExA(&vi)) {
        if (vi.dwPlatformId == VER_PLATFORM_WIN32_NT ||
            (vi.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && (vi.dwBuildNumber & 0xFFFF) > 1000))
            wx::BindProc(kernel32, DiskFreeEx, "GetDiskFreeSpaceExA");
    }
}

void FinalizeMainUnit() {
    if (kernel32) FreeLibrary(kernel32);
    kernel32 = nullptr;
    DiskFreeEx = nullptr;
    SettingsFileName.clear();
    LocaleAbbrev.clear();
}

// ---- TForm1 ---------------------------------------------------------------------

TForm1::TForm1() : TForm(nullptr, "TFORM1") {
    Form1 = this;
    // Enter and Esc belong to the panes, never close the window.
    SetDialogKeysClose(false);
    Timer1 = new wx::TTimer(this, 1, 500, [this] { Timer1Timer(); });
    Timer2 = new wx::TTimer(this, 2, 2000, [this] { Timer2Timer(); });
    BindCommands();
}

TForm1::~TForm1() {
    DestroyHandle();
    if (Form1 == this) Form1 = nullptr;
}

void TForm1::FormCreate() {
    BuildFrame();
    // 1. The language module was chosen before this window was made, so
    //    that its own template came from it (SetLang in ProgramMain).
    // 2.
    PlayerWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(-1));
    TimeDisplayMode = 0;
    RipRunActive = DragActive = TreeBusy = ListBusy = false;
    VerifyRslt = nullptr;
    CDPlayer = nullptr;
    ProgressForm = nullptr;
    // 3.
    SetEventList();
    // 4.
    ItemList.clear();
    ItemList.reserve(5000);
    ListView1.ItemList = &ItemList;
    PlayHistory.Clear();
    RipThread = nullptr;
    // 5. An encoder whose library is missing stays absent.
    try {
        GogoEncoder = new wx::TGogoTea(this);
    } catch (const std::exception&) {
        GogoEncoder = nullptr;
    }
    try {
        TwinVQEncoder = new wx::TTVQEnc(this);
    } catch (const std::exception&) {
        TwinVQEncoder = nullptr;
    }
    // 6.
    CreateWaveOutThread();
    // 7.
    TransportCheck();
    if (StartupAborted) return;
    // 8. The rip engine's buffers were reserved before any window.
    if (!wx::RipBuffers.Reserved()) {
        wx::MessageBoxRes(MSG_NO_MEMORY, MB_OK | MB_ICONERROR);
        StartupAborted = true;
        wx::Application.Terminate();
        return;
    }
    // 9.
    TextSlots.fill(std::string());
    AspiBuffer = wx::AlignBuffer16(AspiBufferArea.data());
    // 10.
    char cur[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof(cur), cur);
    HelpFile = HelpFilePath(cur);
    // 11.
    AcmDrv = new TAcmDrv();
    AcmDrv->GogoEncoder = GogoEncoder;
    AcmDrv->TwinVqEncoder = TwinVQEncoder;
    TestPlayRequested = false;
    BaseFileName.clear();
    // 12.
    GetWinCfg();
    InitFiler();
}

void TForm1::TransportCheck() {
    ClassDriverInUse = false;
    UseAspi = true;
    Win32Aspi1 = new wx::TWin32Aspi(this);
    if (Win32Aspi1->Adapters() >= 1) return;
    UseAspi = false;
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof(vi);
    GetVersionExA(&vi);
    NoAspiTransport(vi.dwPlatformId);
}

void TForm1::NoAspiTransport(DWORD platform) {
    if (platform == VER_PLATFORM_WIN32_WINDOWS) {
        std::string value = "ATAPI";
        HKEY key = nullptr;
        const char* path = "System\\CurrentControlSet\\Services\\VxD\\APIX";
        if (RegOpenKeyExA(RegistryRoot, path, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            char buf[256] = {};
            DWORD size = sizeof(buf) - 1, type = 0;
            value = RegQueryValueExA(key, "ExcludeMiniports", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) ==
                            ERROR_SUCCESS
                        ? std::string(buf)
                        : std::string();
            RegCloseKey(key);
        }
        if (value.empty()) return;  // go on without a transport
        const std::string text = wx::LoadResString(MSG_NO_ASPI) + "\r" + wx::LoadResString(MSG_ASPI_REGISTRY_OFFER);
        if (wx::ShowMessageBox(text, MB_OKCANCEL | MB_ICONWARNING, Handle()) == IDOK) {
            // Only a value that was written is reported as rewritten.
            HKEY w = nullptr;
            bool written = false;
            if (RegCreateKeyExA(RegistryRoot, path, 0, nullptr, 0, KEY_WRITE, nullptr, &w, nullptr) == ERROR_SUCCESS) {
                written = RegSetValueExA(w, "ExcludeMiniports", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1) ==
                          ERROR_SUCCESS;
                RegCloseKey(w);
            }
            if (written)
                wx::MessageBoxRes(MSG_REGISTRY_REWRITTEN, MB_OK | MB_ICONINFORMATION);
            else
                wx::MessageBoxRes(MSG_REGISTRY_NOT_REWRITTEN, MB_OK | MB_ICONERROR);
        }
        StartupAborted = true;
        wx::Application.Terminate();
        return;
    }
    // Windows NT: the pass-through transport is there when at least one CD
    // drive's device can be opened and answers through it.
    ClassDriverInUse = platform == VER_PLATFORM_WIN32_NT && wx::ClassDrvEnumDevices() > 0;
    if (!ClassDriverInUse) {
        const std::string text = wx::LoadResString(MSG_NO_ASPI) + "\r" + wx::LoadResString(MSG_NT_NEEDS_REGISTRY);
        wx::ShowMessageBox(text, MB_OK | MB_ICONERROR, Handle());
        StartupAborted = true;
        wx::Application.Terminate();
    }
}

bool TForm1::TransportInUse() const {
    return (UseAspi && Win32Aspi1 && Win32Aspi1->Adapters() >= 1) || ClassDriverInUse;
}

namespace {
// Posted by the first show: the slow part of it runs once the window has
// been painted.
constexpr UINT WM_FIRST_SHOW = WM_APP + 0x101;
}  // namespace

void TForm1::FormShow() {
    if (StartupAborted) return;
    // The settings load, the drive scan and the first table of contents
    // take a while: the window paints first, then the steps run in order.
    UpdateWindow(Handle());
    PostMessageA(Handle(), WM_FIRST_SHOW, 0, 0);
}

void TForm1::FirstShow() {
    if (StartupAborted || FirstShowDone) return;
    FirstShowDone = true;
    // 1.
    ConfigStartUp();
    if (StartupAborted) return;
    // 2.
    HDC dc = GetDC(Handle());
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(Handle(), WM_GETFONT, 0, 0)));
    SIZE a{};
    GetTextExtentPoint32A(dc, "A", 1, &a);
    SelectObject(dc, old);
    ReleaseDC(Handle(), dc);
    layout_.SetSize(DrivePanel1.Handle(), std::max(DrvImage.Height(), static_cast<int>(a.cy)) + 2 * DrivePanel1.DrawTop() + 5);
    Realign();
    // 3.
    TrackPanelHeight = Panel7.Height();
    // 4.
    CoolBar1.ShowBand(1, wx::TMenu(ViewPullDown).Checked(IDM_POPUPDISPTOOLBAR));
    ShowWindow(Panel1.Handle(), wx::TMenu(ViewPullDown).Checked(IDM_POPUPDISPPLAYPANEL) ? SW_SHOW : SW_HIDE);
    Realign();
    // 5.
    SetToolExtEncodeImage();
    // 6.
    Timer2->SetEnabled(true);
}

bool TForm1::FormCloseQuery() {
    if (PaneRefusesClose()) return false;
    // A rip command is on from its first question to its run's end, the
    // drive's spin-up included, when no rip thread exists yet.
    if (RipThread || (RipControl && RipControl->Busy())) {
        wx::MessageBoxRes(MSG_CLOSE_WHILE_RIPPING, MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}

void TForm1::FormClose() {
    Timer2->SetEnabled(false);
    // Settings never loaded are never stored over the file.
    if (!StartupAborted && FirstShowDone && TransportInUse()) {
        // The folder selected in the tree; with none (no drive could be
        // listed) the saved boot folder stays as it was.
        const std::string path = GetFilePathAt();
        if (!path.empty()) BootDir = path + "\\";
        ConfigStore();
        if (ConfigForm && ConfigForm->DeviceCount > 0) PlayStop(-1);
    }
}

void TForm1::EndSession() {
    // The system ends the program without closing its window: a rip in
    // progress stops and leaves no unfinished file (an old file it was to
    // replace stays), and the settings are stored as a close stores them.
    if (RipControl) RipControl->EndSession();
    FormClose();
}

void TForm1::FormDestroy() {
    delete AcmDrv;
    AcmDrv = nullptr;
    FinalizeFiler();
    PlayHistory.Clear();
    FreeWaveOutThread();
    WinHelpA(Handle(), HelpFile.c_str(), HELP_QUIT, 0);
    delete GogoEncoder;
    GogoEncoder = nullptr;
    delete TwinVQEncoder;
    TwinVQEncoder = nullptr;
}

// ---- Settings keys -------------------------------------------------------------------

bool TForm1::GetWinCfg() {
    TProfileIniFile ini(SettingsFileName);
    ReadMainWindowKeys(ini, MainWindowKeys, FilerExtFilter, AutoRefresh);
    const TMainWindowKeys& c = MainWindowKeys;
    BootDir = c.BootDir;
    wx::TMenu view(ViewPullDown);
    view.SetChecked(IDM_POPUPDISPTOOLBAR, c.DispToolBar);
    CoolBar1.ShowBand(1, c.DispToolBar);
    view.SetChecked(IDM_POPUPDISPPLAYPANEL, c.DispPlayPanel);
    ShowWindow(Panel1.Handle(), c.DispPlayPanel ? SW_SHOW : SW_HIDE);
    SetWindowPos(Handle(), nullptr, c.WindowLeft, c.WindowTop, c.WindowWidth, c.WindowHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    CDPlayerTop = c.CDPWindowTop;
    CDPlayerLeft = c.CDPWindowLeft;
    layout_.SetSize(Panel2.Handle(), c.DirViewWidth);
    Panel3.Layout().SetSize(Panel7.Handle(), c.TrackViewHeight);
    view.SetRadio(IDM_DISPICON1, IDM_DISPDETAIL, c.LargeIcon ? IDM_DISPICON1 : IDM_DISPDETAIL);
    DWORD style = static_cast<DWORD>(GetWindowLongA(ListView1.Handle(), GWL_STYLE));
    style = (style & ~LVS_TYPEMASK) | (c.LargeIcon ? LVS_ICON : LVS_REPORT);
    SetWindowLongA(ListView1.Handle(), GWL_STYLE, static_cast<LONG>(style));
    static const UINT sorts[] = {IDM_FILENAMESORT, IDM_EXTSORT1, IDM_SIZESORT, IDM_TIMESORT};
    view.SetRadio(IDM_FILENAMESORT, IDM_TIMESORT, sorts[c.SortPattern >= 0 && c.SortPattern <= 3 ? c.SortPattern : 3]);
    view.SetRadio(IDM_UPSORT, IDM_DOWNSORT, c.SortAscending ? IDM_UPSORT : IDM_DOWNSORT);
    IsDispCDROM = c.IsDispCDROM;
    for (int i = 0; i < 7; ++i)
        if (c.TrColW[static_cast<std::size_t>(i)] > 0) TrackList.SetColumnWidth(i, c.TrColW[static_cast<std::size_t>(i)]);
    Realign();
    return true;
}

void TForm1::UpdateMainWindowKeys() {
    TMainWindowKeys& c = MainWindowKeys;
    wx::TMenu view(ViewPullDown);
    c.DispToolBar = view.Checked(IDM_POPUPDISPTOOLBAR);
    c.DispPlayPanel = view.Checked(IDM_POPUPDISPPLAYPANEL);
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    RECT r = Bounds();
    if ((IsIconic(Handle()) || IsZoomed(Handle())) && GetWindowPlacement(Handle(), &wp)) r = wp.rcNormalPosition;
    c.WindowTop = r.top;
    c.WindowLeft = r.left;
    c.WindowHeight = r.bottom - r.top;
    c.WindowWidth = r.right - r.left;
    c.CDPWindowTop = CDPlayerTop;
    c.CDPWindowLeft = CDPlayerLeft;
    c.DirViewWidth = layout_.Size(Panel2.Handle());
    const bool listShown = (GetWindowLongA(TrackList.Handle(), GWL_STYLE) & WS_VISIBLE) != 0;
    c.TrackViewHeight = listShown ? Panel3.Layout().Size(Panel7.Handle()) : TrackPanelHeight;
    c.LargeIcon = view.Checked(IDM_DISPICON1);
    c.SortPattern = view.Checked(IDM_FILENAMESORT) ? spFileName
                    : view.Checked(IDM_EXTSORT1)   ? spExtention
                    : view.Checked(IDM_SIZESORT)   ? spSize
                                                   : spTime;
    c.SortAscending = view.Checked(IDM_UPSORT);
    for (int i = 0; i < 7; ++i) c.TrColW[static_cast<std::size_t>(i)] = TrackList.ColumnWidth(i);
    c.BootDir = BootDir;
    c.IsDispCDROM = IsDispCDROM;
}

void TForm1::GetCenter(wx::TForm& dialog) const { ::GetCenter(dialog); }

bool TForm1::IsUseWAVE() const { return ConfigForm && ConfigForm->IsUseWAVE(); }

// ---- Commands ------------------------------------------------------------------------

void TForm1::Exit1Click() { Close(); }

void TForm1::ToolConfigBtnClick() {
    SpeedButton1Click();
    ShowConfigDialog();
}

void TForm1::ToolCDDBBtnClick() {
    CDDBStartedByUser = true;
    ShowCDDBForm();
}

void TForm1::ToolExtEncodeClick() {
    if (!ConfigForm) return;
    const int now = ConfigForm->SelOutputMethod.ItemIndex();
    ConfigForm->SelOutputMethod.SetItemIndex(ToggleOutputMethod(now, ConfigForm->SelStdEncode.ItemIndex()));
    SetToolExtEncodeImage();
    ApplySettings();
}

void TForm1::SetToolExtEncodeImage() { ToolBar2.SetButtonImage(IDT_TOOLEXTENCODE, IsUseWAVE() ? 8 : 7); }

void TForm1::ExecPullDownPopup() {
    MENUITEMINFOA mi{};
    mi.cbSize = sizeof(mi);
    mi.fMask = MIIM_BITMAP;
    mi.hbmpItem = IsUseWAVE() ? MenuWaveBitmap : MenuEncodeBitmap;
    SetMenuItemInfoA(ExecPullDown, IDM_PULLDOWNENCODE, FALSE, &mi);
}

void TForm1::PopupDispToolBarClick() {
    wx::TMenu view(ViewPullDown);
    const bool on = !view.Checked(IDM_POPUPDISPTOOLBAR);
    view.SetChecked(IDM_POPUPDISPTOOLBAR, on);
    CoolBar1.ShowBand(1, on);
    Realign();
}

void TForm1::PopupDispPlayPanelClick() {
    wx::TMenu view(ViewPullDown);
    const bool on = !view.Checked(IDM_POPUPDISPPLAYPANEL);
    view.SetChecked(IDM_POPUPDISPPLAYPANEL, on);
    ShowWindow(Panel1.Handle(), on ? SW_SHOW : SW_HIDE);
    Realign();
}

void TForm1::HelpTopix1Click() { WinHelpA(Handle(), HelpFile.c_str(), HELP_FINDER, 0); }

void TForm1::KeySearchClick() {
    WinHelpA(Handle(), HelpFile.c_str(), HELP_PARTIALKEY, reinterpret_cast<ULONG_PTR>(""));
}

void TForm1::About1Click() {
    TAboutForm about(this);
    about.ShowModal(Handle());
}

void TForm1::WAVEOutClick(int tag) {
    if (!ConfigForm) return;
    ConfigForm->SelOutputMethod.SetItemIndex(tag);
    ApplySettings();
}

void TForm1::OpenPulldown(int button) {
    RECT r{};
    SendMessageA(ToolBar1.Handle(), TB_GETRECT, static_cast<WPARAM>(button), reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(ToolBar1.Handle(), nullptr, reinterpret_cast<POINT*>(&r), 2);
    HMENU menu = nullptr;
    switch (button) {
    case IDT_FILEPULLDOWN: menu = FilePulldown; break;
    case IDT_EXECPULLDOWN: menu = ExecPullDown; ExecPullDownPopup(); break;
    case IDT_CONFIGPULLDOWN: menu = ConfigPullDown; break;
    case IDT_VIEWPULLDOWN: menu = ViewPullDown; break;
    case IDT_TOOLPULLDOWN: menu = ToolPullDown; break;
    case IDT_HELPPULLDOWN: menu = HelpPullDown; break;
    default: return;
    }
    SendMessageA(ToolBar1.Handle(), TB_PRESSBUTTON, static_cast<WPARAM>(button), TRUE);
    const UINT cmd = wx::Prompter().PopupMenu(menu, Handle(), r.left, r.bottom);
    SendMessageA(ToolBar1.Handle(), TB_PRESSBUTTON, static_cast<WPARAM>(button), FALSE);
    if (cmd) PostMessageA(Handle(), WM_COMMAND, MAKEWPARAM(cmd, 0), 0);
}

// ---- Frame behaviour --------------------------------------------------------------------

void TForm1::Splitter1Moved() {
    if (layout_.Size(Panel2.Handle()) == 0) {
        layout_.SetSize(Panel2.Handle(), 1);
        Realign();
    }
}

void TForm1::Panel2Resize() {
    RECT c{};
    GetClientRect(Handle(), &c);
    if (c.right < Panel2.Width()) {
        layout_.SetSize(Panel2.Handle(), c.right / 2);
        Realign();
    }
}

void TForm1::Panel3Resize() {
    const int h = Panel3.ClientHeight();
    bool changed = false;
    if (Panel7.Height() > h) {
        Panel3.Layout().SetSize(Panel7.Handle(), h / 2);
        changed = true;
    }
    if (changed) Panel3.Realign();
}

void TForm1::StatusBar4DblClick() {
    HWND tl = TrackList.Handle();
    const bool nowVisible = !(GetWindowLongA(tl, GWL_STYLE) & WS_VISIBLE);
    ShowWindow(tl, nowVisible ? SW_SHOW : SW_HIDE);
    RECT sb{};
    GetWindowRect(StatusBar4.Handle(), &sb);
    RECT p{};
    GetWindowRect(Panel7.Handle(), &p);
    const int border = (p.bottom - p.top) - Panel7.ClientHeight();
    Panel3.Layout().SetSize(Panel7.Handle(), nowVisible ? TrackPanelHeight : (sb.bottom - sb.top) + border);
    Panel3.Realign();
}

void TForm1::Splitter2Moved() {
    TrackPanelHeight = Panel7.Height();
    ShowWindow(TrackList.Handle(), SW_SHOW);
    Panel7.Realign();
}

void TForm1::StatusBar4DrawPanel(DRAWITEMSTRUCT& di) {
    if (di.itemID != 0) return;
    HDC dc = di.hDC;
    const RECT& r = di.rcItem;
    SIZE t{};
    GetTextExtentPoint32A(dc, StatusBar4Text.c_str(), static_cast<int>(StatusBar4Text.size()), &t);
    const int offset = std::max(0L, ((r.bottom - r.top) - t.cy + 1) / 2);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, 4, r.top + offset, StatusBar4Text.c_str(), static_cast<int>(StatusBar4Text.size()));
    Small.Draw(dc, 8, r.right - 20, r.top + offset - 2);
}

void TForm1::SetStatusBar4Text(const std::string& text) {
    StatusBar4Text = text;
    StatusBar4.Send(SB_SETTEXTA, 0 | SBT_OWNERDRAW, reinterpret_cast<LPARAM>(StatusBar4Text.c_str()));
    InvalidateRect(StatusBar4.Handle(), nullptr, TRUE);
}

bool TForm1::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
    case WM_SIZE:
        Realign();
        result = 0;
        return true;
    case WM_FIRST_SHOW:
        FirstShow();
        result = 0;
        return true;
    case WM_QUERYENDSESSION:
        // The session may end: a running rip is cancelled when it does.
        result = TRUE;
        return true;
    case WM_ENDSESSION:
        if (wp) EndSession();
        result = 0;
        return true;
    default:
        return false;
    }
}

// ---- The single-instance mutex ------------------------------------------------

namespace {
const char kMutexName[] = "Wendrix Rev.3.x";
HANDLE instanceMutex = nullptr;
}  // namespace

bool IsAlreadyRunning() {
    SetLastError(0);
    instanceMutex = CreateMutexA(nullptr, TRUE, kMutexName);
    return instanceMutex == nullptr || GetLastError() != 0;
}

void ReleaseInstanceMutex() {
    if (instanceMutex) CloseHandle(instanceMutex);
    instanceMutex = nullptr;
}

}  // namespace wendrix
