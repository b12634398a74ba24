#include "classlib/form.h"

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "classlib/exceptions.h"

namespace wx {

TForm::TForm(TComponent* owner, UINT templateId) : TComponent(owner), templateId_(templateId) {}

TForm::TForm(TComponent* owner, const char* templateName) : TComponent(owner), templateName_(templateName) {}

TForm::~TForm() { DestroyHandle(); }

HWND TForm::Item(int id) const {
    if (!handle_) return nullptr;
    // A registered control first: GetDlgItem lists the form's children
    // through the Wine server on every call, and controls are asked for
    // their handle for nearly every message sent to them.
    auto it = items_.find(id);
    if (it != items_.end() && IsWindow(it->second)) return it->second;
    return GetDlgItem(handle_, id);
}

LPCSTR TForm::Template() const {
    return templateName_.empty() ? MAKEINTRESOURCEA(templateId_) : templateName_.c_str();
}

INT_PTR TForm::ShowModal(HWND owner) {
    if (handle_) throw Exception("ShowModal on a form that is already open");
    if (!owner && Application.MainForm()) owner = Application.MainForm()->Handle();
    return Prompter().RunModal(*this, owner);
}

INT_PTR TForm::RunModalWindow(HWND owner) {
    modal_ = true;
    modalResult_ = 0;
    const INT_PTR r = DialogBoxParamA(Application.ResourceModuleFor(Template(), RT_DIALOG), Template(), owner, &TForm::DlgProc,
                                      reinterpret_cast<LPARAM>(this));
    modal_ = false;
    if (r == -1) throw EOSError("DialogBoxParam: " + SysErrorMessage(GetLastError()), GetLastError());
    return r;
}

HWND TForm::CreateForScript(HWND owner) {
    modal_ = true;
    scripted_ = true;
    modalResult_ = 0;
    HWND w = CreateDialogParamA(Application.ResourceModuleFor(Template(), RT_DIALOG), Template(), owner, &TForm::DlgProc,
                                reinterpret_cast<LPARAM>(this));
    if (!w) {
        modal_ = scripted_ = false;
        throw EOSError("CreateDialogParam: " + SysErrorMessage(GetLastError()), GetLastError());
    }
    return w;
}

void TForm::CreateHandle(HWND owner) {
    if (handle_) return;
    modal_ = false;
    HWND w = CreateDialogParamA(Application.ResourceModuleFor(Template(), RT_DIALOG), Template(), owner, &TForm::DlgProc,
                                reinterpret_cast<LPARAM>(this));
    if (!w) throw EOSError("CreateDialogParam: " + SysErrorMessage(GetLastError()), GetLastError());
    Application.AddModeless(w);
}

void TForm::Show(HWND owner) {
    CreateHandle(owner);
    ShowWindow(handle_, SW_SHOW);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TForm::Hide() {
    if (handle_) ShowWindow(handle_, SW_HIDE);
}

void TForm::DestroyHandle() {
    if (handle_) DestroyWindow(handle_);
    handle_ = nullptr;
    modal_ = scripted_ = false;
}

void TForm::SetModalResult(INT_PTR r) {
    modalResult_ = r;
    if (r != 0 && modal_ && handle_ && !scripted_) EndDialog(handle_, r);
}

void TForm::Close() {
    if (!handle_) return;
    if (!FormCloseQuery()) return;
    FormClose();
    if (modal_) {
        SetModalResult(modalResult_ ? modalResult_ : IDCANCEL);
    } else {
        DestroyHandle();
    }
}

std::string TForm::Caption() const {
    char buf[512];
    const int n = handle_ ? GetWindowTextA(handle_, buf, sizeof(buf)) : 0;
    return std::string(buf, static_cast<size_t>(n > 0 ? n : 0));
}

void TForm::SetCaption(const std::string& text) { SetWindowTextA(handle_, text.c_str()); }

RECT TForm::Bounds() const {
    RECT r{};
    if (handle_) GetWindowRect(handle_, &r);
    return r;
}

void TForm::SetBounds(int left, int top, int width, int height) {
    SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TForm::Dispatch(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (HandleMessage(msg, wp, lp, result)) return true;
    if (auto it = messages_.find(msg); it != messages_.end()) {
        result = it->second(wp, lp);
        return true;
    }
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wp);
        const int code = HIWORD(wp);
        if (auto it = commands_.find({id, code}); it != commands_.end()) {
            it->second();
            return true;
        }
        // Buttons, menu items (code 0 without a control) and accelerators.
        if (code == BN_CLICKED || (lp == 0 && code <= 1)) {
            if (auto it = clicks_.find(id); it != clicks_.end()) {
                it->second();
                return true;
            }
            if (id == IDOK || id == IDCANCEL) {
                if (!modal_ && !dialogKeysClose_) return true;
                if (modal_) {
                    if (FormCloseQuery()) {
                        FormClose();
                        SetModalResult(id);
                    }
                } else {
                    Close();
                }
                return true;
            }
        }
        return false;
    }
    case WM_NOTIFY: {
        auto* nm = reinterpret_cast<NMHDR*>(lp);
        if (auto it = notifies_.find({static_cast<int>(nm->idFrom), nm->code}); it != notifies_.end()) {
            result = it->second(nm);
            return true;
        }
        return false;
    }
    case WM_DRAWITEM: {
        auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
        if (auto it = draws_.find(static_cast<int>(di->CtlID)); it != draws_.end()) {
            it->second(*di);
            result = TRUE;
            return true;
        }
        return false;
    }
    case WM_TIMER:
        if (auto it = timers_.find(wp); it != timers_.end()) {
            it->second();
            return true;
        }
        return false;
    case WM_CLOSE:
        Close();
        return true;
    default:
        return false;
    }
}

INT_PTR CALLBACK TForm::DlgProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    TForm* self;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<TForm*>(lp);
        SetWindowLongPtrA(wnd, DWLP_USER, lp);
        self->handle_ = wnd;
        self->FormCreate();
        if (self->modal_ && !self->scripted_ && !self->shown_) {
            self->shown_ = true;
            self->FormShow();
        }
        return TRUE;
    }
    self = reinterpret_cast<TForm*>(GetWindowLongPtrA(wnd, DWLP_USER));
    if (!self) return FALSE;
    if (msg == WM_DESTROY) {
        self->FormDestroy();
        Application.RemoveModeless(wnd);
        const bool isMain = Application.MainForm() == self;
        self->handle_ = nullptr;
        self->shown_ = false;
        SetWindowLongPtrA(wnd, DWLP_USER, 0);
        if (isMain) PostQuitMessage(0);
        return TRUE;
    }
    LRESULT result = 0;
    if (!self->Dispatch(msg, wp, lp, result)) return FALSE;
    // Messages whose result is the return value itself.
    switch (msg) {
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return static_cast<INT_PTR>(result);
    default:
        SetWindowLongPtrA(wnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
}

}  // namespace wx
