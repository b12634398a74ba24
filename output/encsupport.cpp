#include "output/encsupport.h"

#include "classlib/exceptions.h"

namespace wx {

int WindowsThreadPriority(TThreadPriority p) {
    switch (p) {
    case TThreadPriority::tpIdle: return THREAD_PRIORITY_IDLE;
    case TThreadPriority::tpLowest: return THREAD_PRIORITY_LOWEST;
    case TThreadPriority::tpLower: return THREAD_PRIORITY_BELOW_NORMAL;
    case TThreadPriority::tpNormal: return THREAD_PRIORITY_NORMAL;
    case TThreadPriority::tpHigher: return THREAD_PRIORITY_ABOVE_NORMAL;
    case TThreadPriority::tpHighest: return THREAD_PRIORITY_HIGHEST;
    case TThreadPriority::tpTimeCritical: return THREAD_PRIORITY_TIME_CRITICAL;
    }
    return THREAD_PRIORITY_NORMAL;
}

namespace {
constexpr char kClassName[] = "WendrixEncoderWindow";

void RegisterOnce() {
    static bool done = false;
    if (done) return;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
    done = true;
}
}  // namespace

TEncoderWindow::TEncoderWindow(Handler handler) : handler_(std::move(handler)) {
    RegisterOnce();
    wnd_ = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!wnd_) throw EOSError("CreateWindowEx: " + SysErrorMessage(GetLastError()), GetLastError());
    SetWindowLongPtrA(wnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(wnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TEncoderWindow::Proc));
}

TEncoderWindow::~TEncoderWindow() {
    if (wnd_) {
        SetWindowLongPtrA(wnd_, GWLP_USERDATA, 0);
        DestroyWindow(wnd_);
    }
}

LRESULT CALLBACK TEncoderWindow::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TEncoderWindow*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (self && self->handler_ && self->handler_(msg, wp, lp)) return 0;
    return DefWindowProcA(wnd, msg, wp, lp);
}

void EnsureMessageQueue() {
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
}

void WaitForMessage(DWORD timeoutMs) { MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs, QS_ALLINPUT); }

}  // namespace wx
