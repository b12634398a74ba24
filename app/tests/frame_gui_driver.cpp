// Driven by frame_gui.sh while the real program runs.  Subcommands:
//   keys      Enter, Esc, Space and a letter to the track list, the file
//             list, the folder tree and the window itself: the window stays
//   menu      opens the View drop-down (its pop-up stays up until "endmenu")
//   endmenu   closes the open pop-up with Esc
//   english   the test-playback bar's captions come from the English module
//   close     closes the window and waits for the process to end
#include <cstdio>
#include <cstring>
#include <string>

#include "classlib/win.h"
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
