#include "discinfo/cddbsync.h"

namespace wx {

namespace {
constexpr UINT kSyncCall = WM_APP + 0x60;
constexpr char kClassName[] = "WxCddbSyncWindow";
}  // namespace

TCddbSyncUi::TCddbSyncUi(TCddbJobUi& target) : target_(target), uiThread_(GetCurrentThreadId()) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);  // fails harmlessly when already registered
    wnd_ = CreateWindowA(kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (wnd_) SetWindowLongPtrA(wnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TCddbSyncUi::~TCddbSyncUi() {
    if (wnd_) DestroyWindow(wnd_);
}

LRESULT CALLBACK TCddbSyncUi::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kSyncCall) {
        auto* self = reinterpret_cast<TCddbSyncUi*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
        if (!self || self->cancelled_) return 0;
        (*reinterpret_cast<const std::function<void()>*>(lp))();
        return 1;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

bool TCddbSyncUi::Run(const std::function<void()>& fn) {
    if (cancelled_ || !wnd_) return false;
    if (GetCurrentThreadId() == uiThread_) {
        fn();
        return true;
    }
    return SendMessageA(wnd_, kSyncCall, 0, reinterpret_cast<LPARAM>(&fn)) == 1;
}

void TCddbSyncUi::ShowStatus(const std::string& text) {
    Run([&] { target_.ShowStatus(text); });
}

bool TCddbSyncUi::AskProxyPassword(std::string& password) {
    bool ok = false;
    std::string answer;
    if (!Run([&] { ok = target_.AskProxyPassword(answer); })) return false;
    if (ok) password = answer;
    return ok;
}

void TCddbSyncUi::ShowServerMessage(const std::vector<std::string>& lines) {
    Run([&] { target_.ShowServerMessage(lines); });
}

void TCddbSyncUi::ShowRefusal(const std::string& text) {
    Run([&] { target_.ShowRefusal(text); });
}

int TCddbSyncUi::ChooseMatch(const std::vector<std::string>& items) {
    int chosen = -1;
    if (!Run([&] { chosen = target_.ChooseMatch(items); })) return -1;
    return chosen;
}

}  // namespace wx
