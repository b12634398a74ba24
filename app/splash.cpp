#include "app/splash.h"

#include <memory>

#include "app/wendrixn.h"
#include "classlib/app.h"
#include "resources/splash.h"
#include "settings/profileini.h"

namespace wendrix {

namespace {
std::unique_ptr<TSplashForm> splash;
}

TSplashForm::TSplashForm() : TForm(nullptr, "TSPLASHFORM") {}

void TSplashForm::FormCreate() {
    // The picture: the program's name, large.
    static HFONT big = CreateFontA(-40, 0, 0, 0, FW_BOLD, TRUE, 0, 0, ANSI_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, "Tahoma");
    SendDlgItemMessageA(Handle(), IDC_SPLASH_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(big), FALSE);
    // Centred on the screen.
    RECT r = Bounds();
    const int w = r.right - r.left, h = r.bottom - r.top;
    SetWindowPos(Handle(), HWND_TOP, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0,
                 0, SWP_NOSIZE);
}

bool TSplashForm::HandleMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    switch (msg) {
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        SetBkColor(reinterpret_cast<HDC>(wp), RGB(255, 255, 255));
        result = reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        return true;
    case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) PostMessageA(Handle(), WM_CLOSE, 0, 0);
        return false;
    default:
        return false;
    }
}

TSplashForm* SplashForm() { return splash && splash->Handle() ? splash.get() : nullptr; }

void InitSplashUnit() {
    TProfileIniFile ini(SettingsFileName);
    std::string v = ini.ReadString("Common", "IsDispSplash", "YES");
    for (char& c : v)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (v != "YES") return;
    splash = std::make_unique<TSplashForm>();
    try {
        splash->Show();
        UpdateWindow(splash->Handle());
    } catch (const std::exception&) {
        splash.reset();
    }
}

void FinalizeSplashUnit() { splash.reset(); }

}  // namespace wendrix
