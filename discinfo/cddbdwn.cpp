#include "discinfo/cddbdwn.h"

#include <commctrl.h>

#include "discinfo/cddbfrm.h"
#include "output/dlgcenter.h"

namespace wx {

TCDDBSearch* CDDBSearch = nullptr;

namespace {
// The find-computer animation among the system's shell resources.
constexpr int kFindComputerAvi = 152;
}  // namespace

TCDDBSearch::TCDDBSearch(TComponent* owner) : TForm(owner, "TCDDBSEARCH") {
    OnClick(IDCANCEL, [this] { Button1Click(); });
}

void TCDDBSearch::FormCreate() {
    finishing_ = false;
    Label1.SetText(status_);
    HMODULE shell = GetModuleHandleA("shell32.dll");
    if (!shell) shell = LoadLibraryA("shell32.dll");
    if (shell) {
        if (Animate1.Send(ACM_OPENA, reinterpret_cast<WPARAM>(shell),
                          reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(kFindComputerAvi))))
            Animate1.Send(ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF));
    }
    GetCenter(*this);
}

void TCDDBSearch::SetStatus(const std::string& text) {
    status_ = text;
    if (Handle()) Label1.SetText(text);
}

void TCDDBSearch::Button1Click() {
    if (attached_ && attached_->JobRunning()) {
        attached_->ExecAbort();
        return;
    }
    Finish();
}

void TCDDBSearch::Finish() {
    if (!Handle()) return;
    finishing_ = true;
    SetModalResult(IDCANCEL);
}

bool TCDDBSearch::FormCloseQuery() {
    // Closing from the frame is a cancel: the window stays until the job
    // has ended.
    if (!finishing_ && attached_ && attached_->JobRunning()) {
        attached_->ExecAbort();
        return false;
    }
    return true;
}

}  // namespace wx
