#include "classlib/dialogs.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "classlib/app.h"
#include "classlib/form.h"
#include "classlib/sjis.h"

namespace wx {

class TDefaultPrompter : public TPrompter {
public:
    int Message(HWND owner, const std::string& text, const std::string& caption, UINT flags) override {
        return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
    }
    INT_PTR RunModal(TForm& form, HWND owner) override { return form.RunModalWindow(owner); }
};

UINT TPrompter::PopupMenu(HMENU menu, HWND owner, int x, int y) {
    return static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr));
}

namespace {

int CALLBACK BrowseCallback(HWND wnd, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED && data) SendMessageA(wnd, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

}  // namespace

std::string TPrompter::BrowseFolder(HWND owner, const std::string& title, const std::string& initialFolder) {
    IMalloc* alloc = nullptr;
    if (FAILED(SHGetMalloc(&alloc)) || !alloc) return std::string();
    LPITEMIDLIST desktop = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(owner, CSIDL_DESKTOP, &desktop)) || !desktop) {
        alloc->Release();
        return std::string();
    }
    // The callback gets the initial folder through its own parameter, so
    // two pickers on different threads cannot see each other's folder.
    // Under Wine the first parse of a path in a process gives an item the
    // picker's tree does not match (the picker then stays at the desktop):
    // the folder is parsed once before.
    if (!initialFolder.empty()) {
        std::vector<wchar_t> wide(initialFolder.size() + 1);
        LPITEMIDLIST item = nullptr;
        if (MultiByteToWideChar(CP_ACP, 0, initialFolder.c_str(), -1, wide.data(), int(wide.size())) > 0 &&
            SUCCEEDED(SHParseDisplayName(wide.data(), nullptr, &item, 0, nullptr)) && item)
            alloc->Free(item);
    }
    BROWSEINFOA bi{};
    bi.hwndOwner = owner;
    bi.pidlRoot = desktop;
    bi.lpszTitle = title.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    bi.lpfn = &BrowseCallback;
    bi.lParam = initialFolder.empty() ? 0 : reinterpret_cast<LPARAM>(initialFolder.c_str());
    std::string result;
    if (LPITEMIDLIST chosen = SHBrowseForFolderA(&bi)) {
        char path[MAX_PATH] = {};
        if (SHGetPathFromIDListA(chosen, path)) result = path;
        alloc->Free(chosen);
    }
    alloc->Free(desktop);
    alloc->Release();
    return result;
}

bool TPrompter::OpenFileName(OPENFILENAMEA& ofn) { return GetOpenFileNameA(&ofn) != FALSE; }
bool TPrompter::SaveFileName(OPENFILENAMEA& ofn) { return GetSaveFileNameA(&ofn) != FALSE; }

std::vector<std::string> MenuItemTexts(HMENU menu) {
    std::vector<std::string> texts;
    const int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) {
        char buf[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), buf, sizeof(buf), MF_BYPOSITION);
        texts.emplace_back(buf);
    }
    return texts;
}

namespace {
TDefaultPrompter defaultPrompter;
TPrompter* current = &defaultPrompter;
}  // namespace

TPrompter& Prompter() { return *current; }

TPrompter* SetPrompter(TPrompter* p) {
    TPrompter* previous = current;
    current = p ? p : &defaultPrompter;
    return previous;
}

int ShowMessageBox(const std::string& text, UINT flags, HWND owner) {
    if (!owner && Application.MainForm()) owner = Application.MainForm()->Handle();
    return Prompter().Message(owner, text, Application.Title, flags);
}

namespace {
std::string VFormat(const std::string& pattern, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, pattern.c_str(), copy);
    va_end(copy);
    if (n <= 0) return pattern;
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), pattern.c_str(), args);
    return std::string(buf.data(), static_cast<size_t>(n));
}
}  // namespace

int MessageBoxRes(UINT id, UINT flags, ...) {
    va_list args;
    va_start(args, flags);
    const std::string text = VFormat(LoadResString(id), args);
    va_end(args);
    return ShowMessageBox(text, flags);
}

std::string FormatRes(UINT id, ...) {
    va_list args;
    va_start(args, id);
    const std::string text = VFormat(LoadResString(id), args);
    va_end(args);
    return text;
}

std::string FileDialogFilter(const std::string& text) {
    std::string f = text;
    for (std::size_t i = 0; i < f.size(); i += SjisCharLength(f, i))
        if (f[i] == '|') f[i] = '\0';
    f += '\0';
    f += '\0';
    return f;
}

int TScriptedPrompter::Message(HWND, const std::string& text, const std::string& caption, UINT flags) {
    Messages.push_back({text, caption, flags});
    if (Answers.empty()) return IDOK;
    const int a = Answers.front();
    Answers.pop_front();
    return a;
}

INT_PTR TScriptedPrompter::RunModal(TForm& form, HWND owner) {
    form.CreateForScript(owner);
    INT_PTR r = OnModal ? OnModal(form) : IDCANCEL;
    if (r == 0) r = form.ModalResult() ? form.ModalResult() : IDCANCEL;
    form.DestroyHandle();
    return r;
}

UINT TScriptedPrompter::PopupMenu(HMENU menu, HWND, int, int) {
    Menus.push_back(MenuItemTexts(menu));
    if (MenuAnswers.empty()) return 0;
    const UINT a = MenuAnswers.front();
    MenuAnswers.pop_front();
    return a;
}

std::string TScriptedPrompter::BrowseFolder(HWND, const std::string& title, const std::string&) {
    FileDialogs.push_back(title);
    if (FileAnswers.empty()) return {};
    std::string a = FileAnswers.front();
    FileAnswers.pop_front();
    return a;
}

bool TScriptedPrompter::AnswerFile(OPENFILENAMEA& ofn) {
    FileDialogs.push_back(ofn.lpstrTitle ? ofn.lpstrTitle : "");
    if (FileAnswers.empty()) return false;
    const std::string a = FileAnswers.front();
    FileAnswers.pop_front();
    if (a.empty() || !ofn.lpstrFile || a.size() + 1 > ofn.nMaxFile) return false;
    lstrcpynA(ofn.lpstrFile, a.c_str(), static_cast<int>(ofn.nMaxFile));
    if (!FilterAnswers.empty()) {
        ofn.nFilterIndex = FilterAnswers.front();
        FilterAnswers.pop_front();
    }
    return true;
}

bool TScriptedPrompter::OpenFileName(OPENFILENAMEA& ofn) { return AnswerFile(ofn); }
bool TScriptedPrompter::SaveFileName(OPENFILENAMEA& ofn) { return AnswerFile(ofn); }

bool CopyTextToClipboard(HWND owner, const std::string& text) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!block) return false;
    if (void* p = GlobalLock(block)) {
        std::memcpy(p, text.c_str(), text.size() + 1);
        GlobalUnlock(block);
    }
    if (!OpenClipboard(owner)) {
        GlobalFree(block);
        return false;
    }
    EmptyClipboard();
    const bool ok = SetClipboardData(CF_TEXT, block) != nullptr;
    CloseClipboard();
    if (!ok) GlobalFree(block);  // the clipboard owns it only when it took it
    return ok;
}

}  // namespace wx
