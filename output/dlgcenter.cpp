#include "output/dlgcenter.h"

#include <vector>

#include "classlib/app.h"
#include "output/genrelist.h"

namespace {

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT r, LPARAM data) {
    reinterpret_cast<std::vector<TMonitorArea>*>(data)->push_back(
        {r->left, r->top, r->right - r->left, r->bottom - r->top});
    return TRUE;
}

}  // namespace

void GetCenter(wx::TForm& dialog) {
    if (!dialog.Handle()) return;
    std::vector<TMonitorArea> monitors;
    EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    RECT main{0, 0, 0, 0};
    if (wx::TForm* f = wx::Application.MainForm(); f && f->Handle()) GetWindowRect(f->Handle(), &main);
    const TPlace p = CenterOnMonitor(monitors, main.left, main.top, dialog.Width(), dialog.Height());
    SetWindowPos(dialog.Handle(), nullptr, p.Left, p.Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
