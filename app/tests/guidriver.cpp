#include "app/tests/guidriver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>

#include "tests/filedrop.h"

namespace guidriver {

std::string Dir() {
    const char* d = std::getenv("WX_E2E_DIR");
    return d ? d : "";
}
std::string AppDir() { return Dir() + "\\app"; }
std::string Shots() { return Dir() + "\\shots"; }

std::string Sjis(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring w(std::size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), w.data(), n);
    const int m = WideCharToMultiByte(932, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(m), '\0');
    WideCharToMultiByte(932, 0, w.data(), n, out.data(), m, nullptr, nullptr);
    return out;
}

bool TProgram::Start(const std::string& exe, const std::string& args, const std::string& dir) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    return CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi) != FALSE;
}

namespace {
struct TFind {
    DWORD pid;
    std::string title;
    std::string cls;
    std::vector<HWND> found;
};
BOOL CALLBACK Collect(HWND w, LPARAM lp) {
    auto* f = reinterpret_cast<TFind*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != f->pid || !IsWindowVisible(w)) return TRUE;
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (!f->cls.empty() && f->cls != cls) return TRUE;
    if (!f->title.empty() && WindowText(w) != f->title) return TRUE;
    f->found.push_back(w);
    return TRUE;
}
}  // namespace

HWND TProgram::WaitMain(const std::string& title, int ms) {
    for (int t = 0; t < ms; t += 50) {
        TFind f{pi.dwProcessId, title, "", {}};
        EnumWindows(Collect, reinterpret_cast<LPARAM>(&f));
        for (HWND w : f.found) {
            // A message box carries the same title; the main window is no box.
            if (GetDlgItem(w, 0xFFFF)) continue;
            Main = w;
            // The window paints before its first-show work runs from the
            // queue: wait until the program waits for input.
            WaitForInputIdle(pi.hProcess, DWORD(ms - t));
            return w;
        }
        if (Ended(0)) return nullptr;
        Sleep(50);
    }
    // For the failure's log: what the program shows instead (a message
    // box's text is in its static child).
    TFind all{pi.dwProcessId, "", "", {}};
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&all));
    std::fprintf(stderr, "no main window \"%s\" after %d ms; the program shows %zu window(s)\n", title.c_str(), ms,
                 all.found.size());
    for (HWND w : all.found) {
        char cls[64] = {};
        GetClassNameA(w, cls, sizeof cls);
        HWND text = GetDlgItem(w, 0xFFFF);
        std::fprintf(stderr, "  [%s] \"%s\"%s%s\n", cls, WindowText(w).c_str(), text ? ": " : "",
                     text ? WindowText(text).c_str() : "");
    }
    return nullptr;
}

bool TProgram::Ended(int ms) const {
    return pi.hProcess && WaitForSingleObject(pi.hProcess, DWORD(ms)) == WAIT_OBJECT_0;
}

bool TProgram::Close(int ms) {
    const DWORD start = GetTickCount();
    do {
        PostMessageA(Main, WM_CLOSE, 0, 0);
        if (Ended(2000)) return true;
    } while (GetTickCount() - start < DWORD(ms));
    return false;
}

void TProgram::Kill() {
    if (pi.hProcess && !Ended(0)) TerminateProcess(pi.hProcess, 9);
}

double TProgram::CpuSeconds() const {
    FILETIME c, e, k, u;
    if (!GetProcessTimes(pi.hProcess, &c, &e, &k, &u)) return -1;
    auto v = [](const FILETIME& f) { return (double(f.dwHighDateTime) * 4294967296.0 + f.dwLowDateTime) / 1e7; };
    return v(k) + v(u);
}

TProgram::~TProgram() {
    Kill();
    if (pi.hProcess) CloseHandle(pi.hProcess);
    if (pi.hThread) CloseHandle(pi.hThread);
}

std::string WindowText(HWND w) {
    char buf[2048] = {};
    const int n = GetWindowTextA(w, buf, sizeof buf);
    return std::string(buf, std::size_t(n > 0 ? n : 0));
}

std::string BoxText(HWND box) {
    HWND s = GetDlgItem(box, 0xFFFF);
    return s ? WindowText(s) : std::string();
}

std::vector<HWND> Dialogs(DWORD pid) {
    TFind f{pid, "", "#32770", {}};
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

HWND WaitDialog(DWORD pid, const std::string& text, int ms) {
    for (int t = 0; t <= ms; t += 50) {
        for (HWND d : Dialogs(pid)) {
            if (text.empty()) return d;
            if (WindowText(d).find(text) != std::string::npos || BoxText(d).find(text) != std::string::npos) return d;
        }
        Sleep(50);
    }
    return nullptr;
}

namespace {
struct TChildFind {
    int id;
    HWND found;
};
BOOL CALLBACK ChildById(HWND w, LPARAM lp) {
    auto* f = reinterpret_cast<TChildFind*>(lp);
    if (GetDlgCtrlID(w) == f->id) {
        f->found = w;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND FindChild(HWND parent, int id) {
    TChildFind f{id, nullptr};
    EnumChildWindows(parent, ChildById, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

std::string Utf8(const std::string& sjis) {
    const int n = MultiByteToWideChar(932, 0, sjis.data(), int(sjis.size()), nullptr, 0);
    std::wstring w(std::size_t(n), L'\0');
    MultiByteToWideChar(932, 0, sjis.data(), int(sjis.size()), w.data(), n);
    const int m = WideCharToMultiByte(CP_UTF8, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), n, out.data(), m, nullptr, nullptr);
    return out;
}

HWND ExpectDialog(DWORD pid, const std::string& text, int ms, std::string& unexpected) {
    std::vector<std::pair<HWND, DWORD>> seen;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start <= DWORD(ms)) {
        for (HWND d : Dialogs(pid)) {
            const std::string box = BoxText(d);
            if (WindowText(d).find(text) != std::string::npos || box.find(text) != std::string::npos) return d;
            if (box.empty()) continue;
            auto it = std::find_if(seen.begin(), seen.end(), [d](auto& p) { return p.first == d; });
            if (it == seen.end()) {
                seen.emplace_back(d, GetTickCount());
            } else if (GetTickCount() - it->second > 600) {
                unexpected = Utf8(box);
                return nullptr;
            }
        }
        Sleep(50);
    }
    return nullptr;
}

void Press(HWND dialog, int id) {
    HWND b = GetDlgItem(dialog, id);
    if (b) PostMessageA(b, BM_CLICK, 0, 0);
}

bool WaitGone(HWND w, int ms) {
    for (int t = 0; t <= ms; t += 50) {
        if (!IsWindow(w) || !IsWindowVisible(w)) return true;
        Sleep(50);
    }
    return false;
}

int WaitValue(const std::function<int()>& read, int want, int ms) {
    int v = read();
    for (int t = 0; v != want && t < ms; t += 50) {
        Sleep(50);
        v = read();
    }
    return v;
}

TRemote::TRemote(HANDLE process, std::size_t size)
    : process_(process), p_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)), size_(size) {}

TRemote::~TRemote() {
    if (p_) VirtualFreeEx(process_, p_, 0, MEM_RELEASE);
}

bool TRemote::Write(const void* data, std::size_t n, std::size_t offset) {
    SIZE_T done = 0;
    return n + offset <= size_ &&
           WriteProcessMemory(process_, static_cast<char*>(p_) + offset, data, n, &done) && done == n;
}

bool TRemote::Read(void* data, std::size_t n, std::size_t offset) {
    SIZE_T done = 0;
    return n + offset <= size_ &&
           ReadProcessMemory(process_, static_cast<char*>(p_) + offset, data, n, &done) && done == n;
}

int ListCount(HWND list) { return int(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

std::string ListText(HANDLE process, HWND list, int item, int sub) {
    TRemote mem(process, sizeof(LVITEMA) + 1024);
    LVITEMA it{};
    it.iSubItem = sub;
    it.pszText = reinterpret_cast<char*>(static_cast<char*>(mem.Ptr()) + sizeof(LVITEMA));
    it.cchTextMax = 1024;
    mem.Write(&it, sizeof it);
    const LRESULT n = SendMessageA(list, LVM_GETITEMTEXTA, WPARAM(item), reinterpret_cast<LPARAM>(mem.Ptr()));
    char buf[1024] = {};
    mem.Read(buf, sizeof buf, sizeof(LVITEMA));
    return std::string(buf, std::size_t(n > 0 ? n : 0));
}

void ListSelect(HANDLE process, HWND list, int item, bool on) {
    TRemote mem(process, sizeof(LVITEMA));
    LVITEMA it{};
    it.stateMask = LVIS_SELECTED | (on ? LVIS_FOCUSED : 0);
    it.state = on ? (LVIS_SELECTED | LVIS_FOCUSED) : 0;
    mem.Write(&it, sizeof it);
    SendMessageA(list, LVM_SETITEMSTATE, WPARAM(item), reinterpret_cast<LPARAM>(mem.Ptr()));
}

bool ListSelected(HWND list, int item) {
    return (SendMessageA(list, LVM_GETITEMSTATE, WPARAM(item), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

bool ClickToolButton(HANDLE process, HWND toolbar, int command) {
    TRemote mem(process, sizeof(RECT));
    if (!SendMessageA(toolbar, TB_GETRECT, WPARAM(command), reinterpret_cast<LPARAM>(mem.Ptr()))) return false;
    RECT r{};
    mem.Read(&r, sizeof r);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageA(toolbar, WM_MOUSEMOVE, 0, at);
    PostMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(toolbar, WM_LBUTTONUP, 0, at);
    return true;
}

namespace {
std::string FromWide(const std::wstring& w) {
    const int m = WideCharToMultiByte(932, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(m > 0 ? m : 0), '\0');
    if (m > 0) WideCharToMultiByte(932, 0, w.data(), int(w.size()), out.data(), m, nullptr, nullptr);
    return out;
}
}  // namespace

// Texts are asked for in UTF-16, which the system carries across processes
// as it is, and given back in code page 932 as the program has them.
std::string ComboItem(HWND combo, int item) {
    const LRESULT n = SendMessageW(combo, CB_GETLBTEXTLEN, WPARAM(item), 0);
    if (n < 0) return std::string();
    std::wstring text(std::size_t(n) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, WPARAM(item), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::wcslen(text.c_str()));
    return FromWide(text);
}

std::string ControlText(HWND w) {
    wchar_t buf[2048] = {};
    SendMessageTimeoutW(w, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, nullptr);
    return FromWide(buf);
}

std::string ToolButtonText(HANDLE process, HWND toolbar, int command) {
    TRemote mem(process, 256);
    const LRESULT n = SendMessageA(toolbar, TB_GETBUTTONTEXTA, WPARAM(command), reinterpret_cast<LPARAM>(mem.Ptr()));
    char buf[256] = {};
    mem.Read(buf, sizeof buf);
    return std::string(buf, std::size_t(n > 0 && n < 256 ? n : 0));
}

std::string TabText(HANDLE process, HWND tab, int item) {
    TRemote mem(process, sizeof(TCITEMA) + 256);
    TCITEMA it{};
    it.mask = TCIF_TEXT;
    it.pszText = static_cast<char*>(mem.Ptr()) + sizeof(TCITEMA);
    it.cchTextMax = 256;
    mem.Write(&it, sizeof it);
    SendMessageA(tab, TCM_GETITEMA, WPARAM(item), reinterpret_cast<LPARAM>(mem.Ptr()));
    char buf[256] = {};
    mem.Read(buf, sizeof buf - 1, sizeof(TCITEMA));
    return buf;
}

bool ClickTab(HANDLE process, HWND tab, int item) {
    TRemote mem(process, sizeof(RECT));
    if (!SendMessageA(tab, TCM_GETITEMRECT, WPARAM(item), reinterpret_cast<LPARAM>(mem.Ptr()))) return false;
    RECT r{};
    mem.Read(&r, sizeof r);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(tab, WM_LBUTTONUP, 0, at);
    return SendMessageA(tab, TCM_GETCURSEL, 0, 0) == item;
}

std::string StatusText(HANDLE process, HWND bar, int part) {
    const int n = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, WPARAM(part), 0));
    TRemote mem(process, (std::size_t(n) + 1) * sizeof(wchar_t));
    SendMessageW(bar, SB_GETTEXTW, WPARAM(part), reinterpret_cast<LPARAM>(mem.Ptr()));
    std::wstring text(std::size_t(n) + 1, L'\0');
    mem.Read(text.data(), text.size() * sizeof(wchar_t));
    text.resize(std::wcslen(text.c_str()));
    return FromWide(text);
}

void Key(HWND w, UINT vk, char ch, bool ctrl) {
    if (ctrl) PostMessageA(w, WM_KEYDOWN, VK_CONTROL, 1);
    PostMessageA(w, WM_KEYDOWN, vk, 1);
    if (ch) PostMessageA(w, WM_CHAR, WPARAM(static_cast<unsigned char>(ch)), 1);
    PostMessageA(w, WM_KEYUP, vk, 0xC0000001);
    if (ctrl) PostMessageA(w, WM_KEYUP, VK_CONTROL, 0xC0000001);
}

void SetText(HWND edit, const std::string& text) {
    SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000, nullptr);
}

bool Screenshot(const std::string& dir, const std::string& name, HWND window) {
    const std::string req = dir + "\\" + name + ".req";
    const std::string done = dir + "\\" + name + ".done";
    {
        RECT r{};
        std::ofstream out(req);
        if (window && GetWindowRect(window, &r))
            out << (r.right - r.left) << "x" << (r.bottom - r.top) << "+" << (r.left < 0 ? 0 : r.left) << "+"
                << (r.top < 0 ? 0 : r.top) << "\n";
        else
            out << name << "\n";
    }
    for (int t = 0; t < 10000; t += 50) {
        if (GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(50);
    }
    return false;
}

bool ClickToolButtonArrow(HANDLE process, HWND toolbar, int command) {
    TRemote mem(process, sizeof(RECT));
    if (!SendMessageA(toolbar, TB_GETRECT, WPARAM(command), reinterpret_cast<LPARAM>(mem.Ptr()))) return false;
    RECT r{};
    mem.Read(&r, sizeof r);
    const LPARAM at = MAKELPARAM(r.right - 4, (r.top + r.bottom) / 2);
    PostMessageA(toolbar, WM_MOUSEMOVE, 0, at);
    PostMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(toolbar, WM_LBUTTONUP, 0, at);
    return true;
}

HWND WaitPopupMenu(DWORD pid, int ms) {
    for (int t = 0; t < ms; t += 50) {
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

void MenuMnemonic(HWND popup, char letter) {
    const char upper = char(letter >= 'a' && letter <= 'z' ? letter - 32 : letter);
    PostMessageA(popup, WM_KEYDOWN, WPARAM(upper), 1);
    PostMessageA(popup, WM_CHAR, WPARAM(static_cast<unsigned char>(letter)), 1);
    PostMessageA(popup, WM_KEYUP, WPARAM(upper), 0xC0000001);
}

namespace {
bool RowCentre(HANDLE process, HWND list, int item, LPARAM& at) {
    TRemote mem(process, sizeof(RECT));
    RECT r{LVIR_LABEL, 0, 0, 0};
    mem.Write(&r, sizeof r);
    if (!SendMessageA(list, LVM_GETITEMRECT, WPARAM(item), reinterpret_cast<LPARAM>(mem.Ptr()))) return false;
    mem.Read(&r, sizeof r);
    at = MAKELPARAM(r.left + 4, (r.top + r.bottom) / 2);
    return true;
}
}  // namespace

bool RightClickRow(HANDLE process, HWND list, int item) {
    LPARAM at = 0;
    if (!RowCentre(process, list, item, at)) return false;
    PostMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, at);
    PostMessageA(list, WM_RBUTTONUP, 0, at);
    return true;
}

bool DoubleClickRow(HANDLE process, HWND list, int item) {
    LPARAM at = 0;
    if (!RowCentre(process, list, item, at)) return false;
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
    PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
    return true;
}

namespace {

// A drag whose button is already up: it drops where the cursor is.
class TDropAtOnce : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropSource)) {
            *out = static_cast<IDropSource*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override {
        return escape ? DRAGDROP_S_CANCEL : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

}  // namespace

bool DropFiles(HWND target, const std::vector<std::string>& files) {
    static const bool ole = SUCCEEDED(OleInitialize(nullptr));
    if (!ole) return false;
    RECT r{};
    GetWindowRect(target, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    wxtest::TFileDropData data(files);
    TDropAtOnce source;
    DWORD effect = 0;
    const HRESULT hr = DoDragDrop(&data, &source, DROPEFFECT_COPY, &effect);
    return hr == DRAGDROP_S_DROP && (effect & DROPEFFECT_COPY);
}

bool AnswerFileDialog(HWND dialog, const std::string& path) {
    // The file-name box of the explorer-style dialogs: a combo box whose
    // edit is the one to type into, or a plain edit.
    HWND edit = FindChild(dialog, 0x47C);
    if (edit) {
        HWND inner = FindWindowExA(edit, nullptr, "Edit", nullptr);
        if (inner) edit = inner;
    } else {
        edit = FindChild(dialog, 0x480);
    }
    if (!edit) return false;
    SetText(edit, path);
    Press(dialog, IDOK);
    return true;
}

}  // namespace guidriver
