// Driven by gui_smoke.sh while the program runs: checks the refusal of a
// second instance, then closes the main window.
#include <gtest/gtest.h>

#include <string>

#include "classlib/win.h"

namespace {

std::string programPath;
const char kTitle[] = "Wendrix for Windows";
const char kAlreadyRunning[] =
    "\x82\xb7\x82\xc5\x82\xc9Wendrix\x82\xcd\x8b\x4e\x93\xae\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb7";

struct Search {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindDialogOf(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof(cls));
    // A message box: a dialog with the static text 0xFFFF (the splash is a
    // dialog too).
    if (pid == s->pid && std::string(cls) == "#32770" && IsWindowVisible(w) && GetDlgItem(w, 0xFFFF)) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForDialog(DWORD pid, int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
        Search s{pid, nullptr};
        EnumWindows(FindDialogOf, reinterpret_cast<LPARAM>(&s));
        if (s.found) return s.found;
        Sleep(50);
    }
    return nullptr;
}

}  // namespace

TEST(GuiSmoke, SecondInstanceIsRefusedAndMainWindowCloses) {
    HWND main = FindWindowA(nullptr, kTitle);
    ASSERT_NE(main, nullptr);
    DWORD mainPid = 0;
    GetWindowThreadProcessId(main, &mainPid);
    ASSERT_NE(mainPid, 0u);
    HANDLE mainProcess = OpenProcess(SYNCHRONIZE, FALSE, mainPid);
    ASSERT_NE(mainProcess, nullptr);

    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + programPath + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    HWND box = WaitForDialog(pi.dwProcessId, 20000);
    ASSERT_NE(box, nullptr) << "no message box from the second instance";
    char text[256] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
    EXPECT_STREQ(text, kAlreadyRunning);
    char caption[128] = {};
    GetWindowTextA(box, caption, sizeof(caption));
    EXPECT_STREQ(caption, kTitle);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 1u);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    // The first instance still runs and closes on request.
    EXPECT_TRUE(IsWindow(main));
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(mainProcess, 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(mainProcess);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: gui_smoke_test PROGRAM.exe\n");
        return 2;
    }
    // The program's path arrives as a Unix path: map it into Wine's Z: drive.
    programPath = argv[1];
    if (!programPath.empty() && programPath[0] == '/') {
        for (char& c : programPath)
            if (c == '/') c = '\\';
        programPath = "Z:" + programPath;
    }
    return RUN_ALL_TESTS();
}
