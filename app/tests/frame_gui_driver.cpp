// Driven by frame_gui.sh while the real program runs.  Subcommands:
//   keys      Enter, Esc, Space and a letter to the track list, the file
//             list, the folder tree and the window itself: the window stays
//   menu      opens the View drop-down (its pop-up stays up until "endmenu")
//   endmenu   closes the open pop-up with Esc
//   english   the test-playback bar's captions come from the English module
//   close     closes the window and waits for the process to end
//   painted   the window on the screen is painted: its tool bars and the
//             track list's header are not one plain colour
//   startbench RUNS TITLE PROGRAM [ARGS]
//             starts the program RUNS times and prints, for each start, the
//             seconds from the start of the process to its window TITLE
//             shown, painted and usable (the track list has rows), and its
//             peak working set; then closes it
//   trivial   a trivial window of the same kinds (a tool bar and a list of
//             four rows, made at once) for startbench to compare with
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "classlib/win.h"
#include <psapi.h>
#include "resources/wendrixn.h"

namespace {

const char kTitle[] = "Wendrix for Windows";

// The program's main window: the one of the process started from the
// test's own folder (other tests may show windows of the same title).
struct TFind {
    HWND found = nullptr;
};

BOOL CALLBACK FindMain(HWND w, LPARAM lp) {
    char title[64] = {};
    GetWindowTextA(w, title, sizeof(title));
    if (std::strcmp(title, kTitle) != 0 || !IsWindowVisible(w)) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    char image[MAX_PATH] = {};
    DWORD size = sizeof(image);
    const bool ok = p && QueryFullProcessImageNameA(p, 0, image, &size);
    if (p) CloseHandle(p);
    if (ok && std::strstr(image, "frame_gui")) {
        reinterpret_cast<TFind*>(lp)->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND Child(HWND parent, int panel, int id) {
    HWND p = panel ? GetDlgItem(parent, panel) : parent;
    return p ? GetDlgItem(p, id) : nullptr;
}

HWND FindPopup(DWORD pid) {
    for (int waited = 0; waited < 10000; waited += 50) {
        HWND w = nullptr;
        while ((w = FindWindowExA(nullptr, w, "#32768", nullptr)) != nullptr) {
            DWORD p = 0;
            GetWindowThreadProcessId(w, &p);
            if (p == pid && IsWindowVisible(w)) return w;
        }
        Sleep(50);
    }
    return nullptr;
}

int Fail(const char* what);

// Whether the screen shows more than one colour in the window's rectangle.
bool Painted(HWND w) {
    RECT r{};
    if (!IsWindowVisible(w) || !GetWindowRect(w, &r)) return false;
    const int cx = r.right - r.left, cy = r.bottom - r.top;
    if (cx <= 2 || cy <= 2) return false;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = -cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, cx, cy, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    bool differs = false;
    // Inside the control's edges: a frame alone is no painted control.
    const auto* px = static_cast<const DWORD*>(bits);
    const DWORD first = px[cy / 2 * cx + 2] & 0xFFFFFF;
    for (int y = 2; y < cy - 2 && !differs; ++y)
        for (int x = 2; x < cx - 2; ++x)
            if ((px[y * cx + x] & 0xFFFFFF) != first) {
                differs = true;
                break;
            }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return differs;
}

struct TRegions {
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectRegions(HWND w, LPARAM lp) {
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof(cls));
    if (IsWindowVisible(w) && (std::strcmp(cls, "ToolbarWindow32") == 0 || std::strcmp(cls, "SysHeader32") == 0)) {
        HWND parent = GetParent(w);
        // The track list's header, not the file list's (its folder may be empty).
        if (std::strcmp(cls, "SysHeader32") == 0 && GetDlgCtrlID(parent) != IDC_TRACKLIST) return TRUE;
        reinterpret_cast<TRegions*>(lp)->windows.push_back(w);
    }
    return TRUE;
}

// The tool bars and the track list's header; "" when all are painted,
// else the first that is not.
std::string Unpainted(HWND main) {
    TRegions regions;
    EnumChildWindows(main, CollectRegions, reinterpret_cast<LPARAM>(&regions));
    if (regions.windows.empty()) return "no tool bar or header";
    for (HWND w : regions.windows)
        if (!Painted(w)) {
            char cls[64] = {};
            GetClassNameA(w, cls, sizeof(cls));
            return std::string(cls) + " " + std::to_string(GetDlgCtrlID(w));
        }
    return "";
}

HWND FindById(HWND main, int id) {
    struct T {
        int id;
        HWND found;
    } t{id, nullptr};
    EnumChildWindows(
        main,
        [](HWND w, LPARAM lp) CALLBACK -> BOOL {
            auto* t = reinterpret_cast<T*>(lp);
            if (GetDlgCtrlID(w) != t->id) return TRUE;
            t->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&t));
    return t.found;
}

HWND TopWindowOf(DWORD pid, const char* title) {
    struct T {
        DWORD pid;
        const char* title;
        HWND found;
    } t{pid, title, nullptr};
    EnumWindows(
        [](HWND w, LPARAM lp) CALLBACK -> BOOL {
            auto* t = reinterpret_cast<T*>(lp);
            DWORD p = 0;
            GetWindowThreadProcessId(w, &p);
            char text[128] = {};
            GetWindowTextA(w, text, sizeof(text));
            if (p != t->pid || !IsWindowVisible(w) || std::strcmp(text, t->title) != 0) return TRUE;
            t->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&t));
    return t.found;
}

int StartBench(int runs, const char* title, const std::string& commandLine) {
    LARGE_INTEGER freq{};
    QueryPerformanceFrequency(&freq);
    std::printf("%-4s %8s %8s %8s %10s\n", "run", "mapped", "painted", "usable", "peak MiB");
    for (int run = 1; run <= runs; ++run) {
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        std::string cmd = commandLine;
        LARGE_INTEGER t0{};
        QueryPerformanceCounter(&t0);
        if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return Fail("the program did not start");
        auto seconds = [&] {
            LARGE_INTEGER t{};
            QueryPerformanceCounter(&t);
            return double(t.QuadPart - t0.QuadPart) / double(freq.QuadPart);
        };
        double mapped = -1, painted = -1, usable = -1;
        HWND main = nullptr;
        while (seconds() < 60 && (painted < 0 || usable < 0)) {
            if (!main && (main = TopWindowOf(pi.dwProcessId, title)) != nullptr) mapped = seconds();
            if (main && painted < 0 && Unpainted(main).empty()) painted = seconds();
            if (main && usable < 0) {
                HWND list = FindById(main, IDC_TRACKLIST);
                if (list && SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 50, nullptr) &&
                    SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) > 0)
                    usable = seconds();
            }
            if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;
            Sleep(5);
        }
        PROCESS_MEMORY_COUNTERS pmc{};
        pmc.cb = sizeof(pmc);
        GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof(pmc));
        std::printf("%-4d %8.2f %8.2f %8.2f %10.0f\n", run, mapped, painted, usable,
                    double(pmc.PeakWorkingSetSize) / (1024.0 * 1024.0));
        std::fflush(stdout);
        if (main) PostMessageA(main, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    return 0;
}

// The trivial program of the comparison: a window with a tool bar and a
// list of four rows, all made before it shows.
int Trivial() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc{};
    wc.lpfnWndProc = [](HWND w, UINT msg, WPARAM wp, LPARAM lp) CALLBACK -> LRESULT {
        if (msg == WM_DESTROY) PostQuitMessage(0);
        return DefWindowProcA(w, msg, wp, lp);
    };
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "TrivialWindow";
    RegisterClassA(&wc);
    HWND w = CreateWindowA("TrivialWindow", "Trivial", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                           wc.hInstance, nullptr);
    HWND bar = CreateWindowA(TOOLBARCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST, 0, 0, 0, 0, w,
                             reinterpret_cast<HMENU>(1), wc.hInstance, nullptr);
    SendMessageA(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    TBBUTTON b{};
    b.iBitmap = I_IMAGENONE;
    b.idCommand = 100;
    b.fsState = TBSTATE_ENABLED;
    b.iString = reinterpret_cast<INT_PTR>("Button");
    SendMessageA(bar, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&b));
    SendMessageA(bar, TB_AUTOSIZE, 0, 0);
    HWND list = CreateWindowA(WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT, 0, 40, 620, 380, w,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TRACKLIST)), wc.hInstance, nullptr);
    LVCOLUMNA c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH;
    c.cx = 200;
    c.pszText = const_cast<char*>("Track");
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&c));
    for (int i = 0; i < 4; ++i) {
        char text[16];
        std::snprintf(text, sizeof(text), "%02d", i + 1);
        LVITEMA it{};
        it.mask = LVIF_TEXT;
        it.iItem = i;
        it.pszText = text;
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it));
    }
    ShowWindow(w, SW_SHOW);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

int Fail(const char* what) {
    std::printf("FAILED: %s\n", what);
    return 1;
}

// The file list and the tree carry out the file manager's one-letter
// commands (Enter opens the selected row, A the attributes form): they get
// Esc, Space and a letter that is no command.
void Keys(HWND target, bool fileManager = false) {
    const WPARAM first = fileManager ? WPARAM(VK_ESCAPE) : WPARAM(VK_RETURN);
    const WPARAM letter = fileManager ? WPARAM('Z') : WPARAM('A');
    for (WPARAM vk : {first, WPARAM(VK_ESCAPE), WPARAM(VK_SPACE), letter}) {
        PostMessageA(target, WM_KEYDOWN, vk, 1);
        PostMessageA(target, WM_KEYUP, vk, 0xC0000001);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string cmd = argv[1];
    if (cmd == "trivial") return Trivial();
    if (cmd == "startbench" && argc >= 5) {
        std::string line;
        for (int i = 4; i < argc; ++i) line += (i > 4 ? " \"" : "\"") + std::string(argv[i]) + "\"";
        return StartBench(std::atoi(argv[2]), argv[3], line);
    }
    HWND main = nullptr;
    for (int waited = 0; !main && waited < 20000; waited += 100) {
        TFind f;
        EnumWindows(FindMain, reinterpret_cast<LPARAM>(&f));
        main = f.found;
        if (!main) Sleep(100);
    }
    if (!main) return Fail("no main window");
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);

    if (cmd == "keys") {
        // Panel3 > Panel7 > TrackList, Panel3 > Panel4 > ListView1, Panel2 > TreeView1.
        HWND panel3 = GetDlgItem(main, IDC_PANEL3);
        HWND tracks = Child(GetDlgItem(panel3, IDC_PANEL7), 0, IDC_TRACKLIST);
        HWND files = Child(GetDlgItem(panel3, IDC_PANEL4), 0, IDC_LISTVIEW1);
        HWND tree = Child(main, IDC_PANEL2, IDC_TREEVIEW1);
        if (!tracks || !files || !tree) return Fail("panes not found");
        for (HWND w : {tracks, main}) Keys(w);
        for (HWND w : {files, tree}) Keys(w, true);
        Sleep(1500);
        if (!IsWindow(main) || !IsWindowVisible(main)) return Fail("the window closed on Enter or Esc");
        std::printf("window open after Enter, Esc, Space and a letter\n");
        return 0;
    }
    if (cmd == "menu") {
        PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDT_VIEWPULLDOWN, BN_CLICKED), 0);
        if (!FindPopup(pid)) return Fail("no drop-down menu");
        std::printf("drop-down open\n");
        return 0;
    }
    if (cmd == "endmenu") {
        HWND popup = FindPopup(pid);
        if (!popup) return Fail("no drop-down menu");
        PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 1);
        PostMessageA(popup, WM_KEYUP, VK_ESCAPE, 0xC0000001);
        for (int waited = 0; waited < 5000 && IsWindowVisible(popup); waited += 50) Sleep(50);
        if (IsWindowVisible(popup)) return Fail("drop-down still open");
        return 0;
    }
    if (cmd == "english") {
        const struct {
            int id;
            const char* text;
        } expect[] = {{IDC_SPEEDBUTTON2, "Play"}, {IDC_SPEEDBUTTON1, "Stop"}, {IDC_SPEEDBUTTON3, "Pause"},
                      {IDC_CLEARHISTORY, "Clear"}};
        for (const auto& e : expect) {
            char text[64] = {};
            GetWindowTextA(Child(main, IDC_PANEL1, e.id), text, sizeof(text));
            if (std::strcmp(text, e.text) != 0) {
                std::printf("button %d reads \"%s\", not \"%s\"\n", e.id, text, e.text);
                return 1;
            }
        }
        std::printf("English captions\n");
        return 0;
    }
    if (cmd == "painted") {
        const std::string what = Unpainted(main);
        if (!what.empty()) {
            std::printf("FAILED: the window is not painted (%s is one plain colour)\n", what.c_str());
            return 1;
        }
        std::printf("tool bars and track-list header painted\n");
        return 0;
    }
    if (cmd == "close") {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
        PostMessageA(main, WM_CLOSE, 0, 0);
        const DWORD r = process ? WaitForSingleObject(process, 20000) : WAIT_FAILED;
        if (process) CloseHandle(process);
        if (r != WAIT_OBJECT_0) return Fail("the program did not end");
        return 0;
    }
    return 2;
}
