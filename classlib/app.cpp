#include "classlib/app.h"

#include <algorithm>

#include "classlib/form.h"

namespace wx {

TApplication Application;

std::string SysErrorMessage(DWORD code) {
    char* buf = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<LPSTR>(&buf), 0, nullptr);
    std::string text = n && buf ? std::string(buf, n) : "error " + std::to_string(code);
    if (buf) LocalFree(buf);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

TApplication::TApplication() : instance_(GetModuleHandleA(nullptr)), resInstance_(instance_) {}

void TApplication::Initialize() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_COOL_CLASSES | ICC_BAR_CLASSES |
                                              ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES |
                                              ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
}

void TApplication::SetResourceInstance(HINSTANCE module) {
    if (!module) module = instance_;
    if (resInstance_ && resInstance_ != instance_ && resInstance_ != module) FreeLibrary(resInstance_);
    resInstance_ = module;
}

HINSTANCE TApplication::ResourceModuleFor(LPCSTR name, LPCSTR type) const {
    if (resInstance_ != instance_ && FindResourceA(resInstance_, name, type)) return resInstance_;
    return instance_;
}

void TApplication::AddModeless(HWND wnd) {
    if (std::find(modeless_.begin(), modeless_.end(), wnd) == modeless_.end()) modeless_.push_back(wnd);
}

void TApplication::RemoveModeless(HWND wnd) {
    modeless_.erase(std::remove(modeless_.begin(), modeless_.end(), wnd), modeless_.end());
}

bool TApplication::Dispatch(MSG& msg) {
    if (accel_ && IsWindow(accelWnd_) && (msg.hwnd == accelWnd_ || IsChild(accelWnd_, msg.hwnd)) &&
        TranslateAcceleratorA(accelWnd_, accel_, &msg))
        return true;
    for (HWND w : modeless_)
        if (IsWindow(w) && IsDialogMessageA(w, &msg)) return true;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

void TApplication::Run(TForm& mainForm) {
    main_ = &mainForm;
    if (!mainForm.Handle()) mainForm.Show();
    MSG msg;
    while (!terminated_) {
        const BOOL r = GetMessageA(&msg, nullptr, 0, 0);
        if (r == 0 || r == -1) break;
        Dispatch(msg);
    }
    terminated_ = true;
    main_ = nullptr;
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            terminated_ = true;
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        Dispatch(msg);
    }
}

void TApplication::Terminate() {
    if (!terminated_) PostQuitMessage(0);
    terminated_ = true;
}

std::string LoadResString(UINT id) {
    char buf[4096];
    int n = LoadStringA(Application.ResourceInstance(), id, buf, sizeof(buf));
    if (n <= 0 && Application.ResourceInstance() != Application.Instance())
        n = LoadStringA(Application.Instance(), id, buf, sizeof(buf));
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

}  // namespace wx
