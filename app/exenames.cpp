#include "app/exenames.h"

#include <tlhelp32.h>

#include "classlib/sjis.h"

namespace wendrix {

namespace {

struct TFind {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindTopWindow(HWND wnd, LPARAM lp) {
    auto* f = reinterpret_cast<TFind*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid == f->pid && !GetWindow(wnd, GW_OWNER) && IsWindowVisible(wnd)) {
        f->found = wnd;
        return FALSE;
    }
    return TRUE;
}

std::string FileNameOnly(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

HWND FindProcessWindow(DWORD processId) {
    TFind f{processId, nullptr};
    EnumWindows(&FindTopWindow, reinterpret_cast<LPARAM>(&f));
    return f.found ? f.found : NoWindow();
}

HWND FindWindowByExeName(const std::string& exeName) {
    const std::string want = wx::SjisUpperCase(exeName);
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return NoWindow();
    DWORD pid = 0;
    PROCESSENTRY32 e{};
    e.dwSize = sizeof e;
    for (BOOL more = Process32First(snap, &e); more; more = Process32Next(snap, &e)) {
        if (wx::SjisUpperCase(FileNameOnly(e.szExeFile)) == want) {
            pid = e.th32ProcessID;
            break;
        }
    }
    CloseHandle(snap);
    if (!pid) return NoWindow();
    return FindProcessWindow(pid);
}

}  // namespace wendrix
