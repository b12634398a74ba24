// Forms: windows built from DIALOGEX templates of the current resource
// module, shown modally (through the prompter seam) or modeless.  Handlers
// are bound by control id; derived forms override the life events.
#pragma once
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "classlib/component.h"
#include "classlib/win.h"

namespace wx {

class TForm : public TComponent {
public:
    TForm(TComponent* owner, UINT templateId);
    TForm(TComponent* owner, const char* templateName);
    ~TForm() override;

    HWND Handle() const { return handle_; }
    UINT TemplateId() const { return templateId_; }

    // Modal: runs through Prompter().RunModal; returns the modal result.
    INT_PTR ShowModal(HWND owner = nullptr);
    // Modeless: creates the window on first use and shows it.
    void Show(HWND owner = nullptr);
    // Modeless and hidden: creates the window on first use (FormCreate
    // runs, FormShow does not) without showing it.
    void CreateHandle(HWND owner = nullptr);
    void Hide();
    // Asks the form to close: FormCloseQuery may refuse; a modal form ends
    // with its modal result (IDCANCEL when none was set), a modeless one is
    // destroyed.
    void Close();
    bool Visible() const { return handle_ && IsWindowVisible(handle_); }
    bool Modal() const { return modal_; }

    // Setting a non-zero result while modal closes the form.
    INT_PTR ModalResult() const { return modalResult_; }
    void SetModalResult(INT_PTR r);

    std::string Caption() const;
    void SetCaption(const std::string& text);
    RECT Bounds() const;
    void SetBounds(int left, int top, int width, int height);
    int Width() const { RECT r = Bounds(); return r.right - r.left; }
    int Height() const { RECT r = Bounds(); return r.bottom - r.top; }
    // A control by id: a child of the form's window, or a control created
    // inside a panel or bar and registered with RegisterItem.
    HWND Item(int id) const;
    void RegisterItem(int id, HWND wnd) { items_[id] = wnd; }

    // A main window keeps itself open on Enter and Esc: the dialog manager
    // turns those keys into IDOK and IDCANCEL, which then do nothing unless
    // a handler is bound to them.
    void SetDialogKeysClose(bool on) { dialogKeysClose_ = on; }
    bool DialogKeysClose() const { return dialogKeysClose_; }

    // Handlers.  OnClick: WM_COMMAND from a button, menu item or accelerator
    // with this id.  OnCommand: a given notification code of a control.
    void OnClick(int id, std::function<void()> fn) { clicks_[id] = std::move(fn); }
    void OnCommand(int id, int code, std::function<void()> fn) { commands_[{id, code}] = std::move(fn); }
    void OnNotify(int id, UINT code, std::function<LRESULT(NMHDR*)> fn) { notifies_[{id, code}] = std::move(fn); }
    void OnMessage(UINT msg, std::function<LRESULT(WPARAM, LPARAM)> fn) { messages_[msg] = std::move(fn); }
    void OnTimer(UINT_PTR id, std::function<void()> fn) { timers_[id] = std::move(fn); }
    // Owner drawing of a control (WM_DRAWITEM, also when forwarded by a panel).
    void OnDrawItem(int id, std::function<void(DRAWITEMSTRUCT&)> fn) { draws_[id] = std::move(fn); }

    // Used by prompters: create the window hidden as if modal, and destroy it.
    HWND CreateForScript(HWND owner);
    void DestroyHandle();

protected:
    virtual void FormCreate() {}
    virtual void FormShow() {}
    virtual bool FormCloseQuery() { return true; }
    virtual void FormClose() {}
    virtual void FormDestroy() {}
    // Any message; return true and set result when handled.
    virtual bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) { return false; }

private:
    friend class TDefaultPrompter;
    INT_PTR RunModalWindow(HWND owner);
    LPCSTR Template() const;
    bool Dispatch(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    static INT_PTR CALLBACK DlgProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

    UINT templateId_ = 0;
    std::string templateName_;
    HWND handle_ = nullptr;
    bool modal_ = false;
    bool scripted_ = false;
    bool shown_ = false;
    INT_PTR modalResult_ = 0;
    std::map<int, std::function<void()>> clicks_;
    std::map<std::pair<int, int>, std::function<void()>> commands_;
    std::map<std::pair<int, UINT>, std::function<LRESULT(NMHDR*)>> notifies_;
    std::map<UINT, std::function<LRESULT(WPARAM, LPARAM)>> messages_;
    std::map<UINT_PTR, std::function<void()>> timers_;
    std::map<int, std::function<void(DRAWITEMSTRUCT&)>> draws_;
    std::map<int, HWND> items_;
    bool dialogKeysClose_ = true;
};

}  // namespace wx
