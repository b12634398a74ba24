#include "discinfo/motdfrm.h"

#include "output/dlgcenter.h"

namespace wx {

TMOTDForm::TMOTDForm(TComponent* owner) : TForm(owner, "TMOTDFORM") {
    OnClick(IDOK, [this] { SetModalResult(IDOK); });
}

void TMOTDForm::FormCreate() {
    std::string text;
    for (const std::string& l : Lines) text += l + "\r\n";
    Memo1.SetText(text);
    Layout();
    GetCenter(*this);
}

bool TMOTDForm::HandleMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
    if (msg != WM_SIZE) return false;
    Layout();
    result = 0;
    return true;
}

// The memo fills the window above the button row; the button stands 10
// pixels from the right edge.
void TMOTDForm::Layout() {
    if (!Handle()) return;
    RECT c, b;
    GetClientRect(Handle(), &c);
    GetWindowRect(Button1.Handle(), &b);
    const int bw = b.right - b.left, bh = b.bottom - b.top;
    const int row = bh + 12;
    MoveWindow(Memo1.Handle(), 0, 0, c.right, c.bottom - row > 0 ? c.bottom - row : 0, TRUE);
    MoveWindow(Button1.Handle(), c.right - 10 - bw, c.bottom - row + 6, bw, bh, TRUE);
}

}  // namespace wx
