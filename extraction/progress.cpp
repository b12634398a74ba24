#include "extraction/progress.h"

#include "classlib/app.h"
#include "output/dlgcenter.h"

namespace wx {

TProgressForm::TProgressForm(TComponent* owner) : TForm(owner, "TPROGRESSFORM") {
    TLevelMeter::Register();
    OnClick(IDC_PROG_CANCEL, [this] {
        if (OnCancel) OnCancel();
    });
    // Escape cancels as the button does (the close box: HandleMessage); the
    // rip control closes the window when the thread has ended.
    OnClick(IDCANCEL, [this] {
        if (OnCancel) OnCancel();
    });
    for (int id : {IDC_PROG_LABEL1, IDC_PROG_LABEL7, IDC_PROG_PERCENT, IDC_PROG_LABEL3, IDC_PROG_STATUS,
                   IDC_PROG_LEFTLABEL, IDC_PROG_RIGHTLABEL})
        OnCommand(id, STN_DBLCLK, [this] { FormDblClick(); });
}

void TProgressForm::FormCreate() {
    savedState_ = SW_RESTORE;
    animation_.clear();
    ProgressBar1.SetRange(0, 100);
    ProgressBar2.SetRange(0, 100);
    for (TLevelMeter* m : {LeftLevelMeter(), RightLevelMeter()}) {
        if (!m) continue;
        m->SetMax(32768);
        m->SetBandWidth(45);
        m->RebuildScale();
    }
    if (HideLevelMeters) ShrinkToButton();
}

void TProgressForm::ShrinkToButton() {
    for (int id : {IDC_PROG_LEFTMETER, IDC_PROG_RIGHTMETER, IDC_PROG_LEFTLABEL, IDC_PROG_RIGHTLABEL})
        ShowWindow(Item(id), SW_HIDE);
    RECT meter, button;
    GetWindowRect(Item(IDC_PROG_LEFTMETER), &meter);
    GetWindowRect(Item(IDC_PROG_CANCEL), &button);
    MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&meter), 2);
    MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&button), 2);
    const int h = button.bottom - button.top;
    SetWindowPos(Item(IDC_PROG_CANCEL), nullptr, button.left, meter.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Client height: the button's height / 6 x 2 + its height + its top.
    RECT client{0, 0, 0, h / 6 * 2 + h + meter.top};
    RECT win;
    GetWindowRect(Handle(), &win);
    GetClientRect(Handle(), &client);
    RECT want{0, 0, client.right, h / 6 * 2 + h + meter.top};
    AdjustWindowRectEx(&want, GetWindowLongA(Handle(), GWL_STYLE), FALSE, GetWindowLongA(Handle(), GWL_EXSTYLE));
    SetWindowPos(Handle(), nullptr, 0, 0, win.right - win.left, want.bottom - want.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TProgressForm::FormShow() {
    GetCenter(*this);
    PlayAnimation("RIPPING");
}

void TProgressForm::PlayAnimation(const std::string& name) {
    if (!Handle() || name == animation_) return;
    StopAnimation();
    HWND a = Animate1.Handle();
    if (SendMessageA(a, ACM_OPENA, reinterpret_cast<WPARAM>(Application.ResourceInstance()),
                     reinterpret_cast<LPARAM>(name.c_str())))
        SendMessageA(a, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF));
    animation_ = name;
}

void TProgressForm::StopAnimation() {
    if (Handle()) SendMessageA(Animate1.Handle(), ACM_STOP, 0, 0);
    animation_.clear();
}

void TProgressForm::FormDblClick() {
    TForm* main = Application.MainForm();
    HWND mainWnd = main ? main->Handle() : nullptr;
    if (!mainWnd) return;
    if (IsIconic(mainWnd)) {
        ShowWindow(mainWnd, savedState_);
        ShowWindow(Handle(), SW_RESTORE);
        SetForegroundWindow(Handle());
    } else {
        savedState_ = IsZoomed(mainWnd) ? SW_SHOWMAXIMIZED : SW_RESTORE;
        ShowWindow(mainWnd, SW_MINIMIZE);
        ShowWindow(Handle(), SW_MINIMIZE);
    }
}

void TProgressForm::FormDestroy() {
    TForm* main = Application.MainForm();
    if (main && main->Handle() && IsIconic(main->Handle())) ShowWindow(main->Handle(), savedState_);
}

bool TProgressForm::HandleMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    if (msg == WM_CLOSE) {
        // The close box and Alt+F4 cancel as 中止 does; the window stays
        // until the run has ended and the rip control closes it.
        if (OnCancel) OnCancel();
        result = 0;
        return true;
    }
    if (msg == WM_LBUTTONDBLCLK) {
        FormDblClick();
        result = 0;
        return true;
    }
    if (msg == WM_SHOWWINDOW && !wp) StopAnimation();
    return false;
}

}  // namespace wx
