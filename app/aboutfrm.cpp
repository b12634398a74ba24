#include "app/aboutfrm.h"

#include <shellapi.h>

#include "app/wendrixn.h"
#include "resources/aboutfrm.h"

namespace wendrix {

const char* const TAboutForm::WebPage = "https://wendrix.example.org/";
const char* const TAboutForm::MailAddress = "mailto:wendrix@example.org";

TAboutForm::TAboutForm(wx::TComponent* owner) : TForm(owner, "TABOUTFORM") {
    OnClick(IDC_ABOUT_LINK1, [] { ShellExecuteA(nullptr, "open", WebPage, nullptr, nullptr, SW_SHOWNORMAL); });
    OnClick(IDC_ABOUT_LINK2, [] { ShellExecuteA(nullptr, "open", MailAddress, nullptr, nullptr, SW_SHOWNORMAL); });
    OnClick(IDOK, [this] { SetModalResult(IDOK); });
}

void TAboutForm::FormCreate() {
    SetDlgItemTextA(Handle(), IDC_ABOUT_LINK1, WebPage);
    SetDlgItemTextA(Handle(), IDC_ABOUT_LINK2, MailAddress + 7);
    SendDlgItemMessageA(Handle(), IDC_ABOUT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(LoadIcon(nullptr, IDI_APPLICATION)), 0);
    if (Form1) Form1->GetCenter(*this);
}

bool TAboutForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_SETCURSOR) {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(wp));
        if (id == IDC_ABOUT_LINK1 || id == IDC_ABOUT_LINK2) {
            SetCursor(LoadCursor(nullptr, IDC_HAND));
            SetWindowLongPtrA(Handle(), DWLP_MSGRESULT, TRUE);
            result = TRUE;
            return true;
        }
    }
    if (msg == WM_CTLCOLORSTATIC) {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
        if (id == IDC_ABOUT_LINK1 || id == IDC_ABOUT_LINK2) {
            SetTextColor(reinterpret_cast<HDC>(wp), RGB(0, 0, 255));
            SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
            result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            return true;
        }
    }
    return false;
}

}  // namespace wendrix
