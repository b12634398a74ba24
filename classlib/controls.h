// Control wrappers bound to a form by control id.  They hold no state of
// their own: every call goes to the window of the control, so they may be
// declared as form members before the form's window exists.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "classlib/component.h"
#include "classlib/form.h"
#include "classlib/win.h"

namespace wx {

class TControl {
public:
    TControl(TForm* form, int id) : form_(form), id_(id) {}
    HWND Handle() const { return form_->Item(id_); }
    int Id() const { return id_; }
    TForm* Form() const { return form_; }
    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return SendMessageA(Handle(), msg, wp, lp); }

    bool Enabled() const { return IsWindowEnabled(Handle()) != FALSE; }
    void SetEnabled(bool on) const { EnableWindow(Handle(), on); }
    bool Visible() const { return (GetWindowLongA(Handle(), GWL_STYLE) & WS_VISIBLE) != 0; }
    void SetVisible(bool on) const { ShowWindow(Handle(), on ? SW_SHOW : SW_HIDE); }
    std::string Text() const;
    void SetText(const std::string& s) const { SetWindowTextA(Handle(), s.c_str()); }
    void SetFocus() const { ::SetFocus(Handle()); }

protected:
    TForm* form_;
    int id_;
};

class TButton : public TControl {
public:
    using TControl::TControl;
    void Click() const { Send(BM_CLICK); }
};

class TCheckBox : public TControl {
public:
    using TControl::TControl;
    bool Checked() const { return Send(BM_GETCHECK) == BST_CHECKED; }
    void SetChecked(bool on) const { Send(BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED); }
    // Checked and enabled: how settings read a box that another box can disable.
    bool CheckedAndEnabled() const { return Checked() && Enabled(); }
};

using TRadioButton = TCheckBox;

class TEdit : public TControl {
public:
    using TControl::TControl;
    void SetMaxLength(int n) const { Send(EM_LIMITTEXT, static_cast<WPARAM>(n)); }
    void SetReadOnly(bool on) const { Send(EM_SETREADONLY, on); }
    void SelectAll() const { Send(EM_SETSEL, 0, -1); }
};

// Combo box and list box share the item calls (CB_* and LB_* messages).
class TComboBox : public TControl {
public:
    using TControl::TControl;
    int Add(const std::string& s) const { return static_cast<int>(Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()))); }
    void Clear() const { Send(CB_RESETCONTENT); }
    int Count() const { return static_cast<int>(Send(CB_GETCOUNT)); }
    std::string Item(int i) const;
    // -1 when nothing is selected.
    int ItemIndex() const { return static_cast<int>(Send(CB_GETCURSEL)); }
    void SetItemIndex(int i) const { Send(CB_SETCURSEL, static_cast<WPARAM>(i)); }
    void SetItems(const std::vector<std::string>& items) const;
};

class TListBox : public TControl {
public:
    using TControl::TControl;
    int Add(const std::string& s) const { return static_cast<int>(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()))); }
    void Delete(int i) const { Send(LB_DELETESTRING, static_cast<WPARAM>(i)); }
    void Clear() const { Send(LB_RESETCONTENT); }
    int Count() const { return static_cast<int>(Send(LB_GETCOUNT)); }
    std::string Item(int i) const;
    int ItemIndex() const { return static_cast<int>(Send(LB_GETCURSEL)); }
    void SetItemIndex(int i) const { Send(LB_SETCURSEL, static_cast<WPARAM>(i)); }
    bool Selected(int i) const { return Send(LB_GETSEL, static_cast<WPARAM>(i)) > 0; }
    void SetSelected(int i, bool on) const { Send(LB_SETSEL, on, i); }
};

class TListView : public TControl {
public:
    using TControl::TControl;
    void AddColumn(const std::string& caption, int width, int format = LVCFMT_LEFT) const;
    int ColumnWidth(int col) const { return static_cast<int>(Send(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(col))); }
    void SetColumnWidth(int col, int w) const { Send(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(col), w); }
    int Count() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }
    void Clear() const { Send(LVM_DELETEALLITEMS); }
    int AddItem(const std::string& text, LPARAM data = 0) const;
    void SetSubItem(int item, int sub, const std::string& text) const;
    std::string ItemText(int item, int sub = 0) const;
    LPARAM ItemData(int item) const;
    bool Selected(int item) const { return (Send(LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_SELECTED) & LVIS_SELECTED) != 0; }
    void SetSelected(int item, bool on) const;
    int SelectedCount() const { return static_cast<int>(Send(LVM_GETSELECTEDCOUNT)); }
    // Next selected item after `after` (-1: from the start); -1 when none.
    int NextSelected(int after = -1) const { return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(after), LVNI_SELECTED)); }
    void SetExtendedStyle(DWORD style) const { Send(LVM_SETEXTENDEDLISTVIEWSTYLE, style, style); }
    // Owner data (LVS_OWNERDATA): the view asks `text(item, sub)` for what it draws.
    void SetItemCount(int n) const { Send(LVM_SETITEMCOUNT, static_cast<WPARAM>(n), LVSICF_NOINVALIDATEALL); }
    void BindOwnerData(std::function<std::string(int item, int sub)> text) const;
};

class TTreeView : public TControl {
public:
    using TControl::TControl;
    HTREEITEM Add(HTREEITEM parent, const std::string& text, LPARAM data = 0, int image = 0, int selImage = 0) const;
    void Clear() const { Send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)); }
    void Delete(HTREEITEM item) const { Send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item)); }
    HTREEITEM Selected() const { return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_CARET, 0)); }
    void Select(HTREEITEM item) const { Send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)); }
    void Expand(HTREEITEM item, bool on = true) const { Send(TVM_EXPAND, on ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(item)); }
    HTREEITEM Child(HTREEITEM item) const { return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item))); }
    HTREEITEM Next(HTREEITEM item) const { return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item))); }
    HTREEITEM Parent(HTREEITEM item) const { return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item))); }
    std::string ItemText(HTREEITEM item) const;
    LPARAM ItemData(HTREEITEM item) const;
    int Count() const { return static_cast<int>(Send(TVM_GETCOUNT)); }
};

class TTrackBar : public TControl {
public:
    using TControl::TControl;
    void SetRange(int lo, int hi) const { Send(TBM_SETRANGEMIN, FALSE, lo); Send(TBM_SETRANGEMAX, TRUE, hi); }
    int Min() const { return static_cast<int>(Send(TBM_GETRANGEMIN)); }
    int Max() const { return static_cast<int>(Send(TBM_GETRANGEMAX)); }
    int Position() const { return static_cast<int>(Send(TBM_GETPOS)); }
    void SetPosition(int p) const { Send(TBM_SETPOS, TRUE, p); }
};

class TProgressBar : public TControl {
public:
    using TControl::TControl;
    void SetRange(int lo, int hi) const { Send(PBM_SETRANGE32, static_cast<WPARAM>(lo), hi); }
    int Position() const { return static_cast<int>(Send(PBM_GETPOS)); }
    void SetPosition(int p) const { Send(PBM_SETPOS, static_cast<WPARAM>(p)); }
};

class TStatusBar : public TControl {
public:
    using TControl::TControl;
    // Right edges of the panels; -1 extends the last one to the border.
    void SetParts(const std::vector<int>& rightEdges) const;
    void SetPanelText(int panel, const std::string& text, UINT style = 0) const;
    std::string PanelText(int panel) const;
    // Follows the form's new size, then stretches `fill` from where its top
    // is down to the bar, across the form's whole width.
    void FitAbove(const TControl& fill) const;
};

class TToolBar : public TControl {
public:
    using TControl::TControl;
    void AddButton(int command, int image, const std::string& caption, BYTE style = BTNS_BUTTON, BYTE state = TBSTATE_ENABLED) const;
    void AddSeparator() const;
    void SetImageList(HIMAGELIST normal, HIMAGELIST disabled = nullptr, HIMAGELIST hot = nullptr) const;
    int ButtonCount() const { return static_cast<int>(Send(TB_BUTTONCOUNT)); }
    void EnableButton(int command, bool on) const { Send(TB_ENABLEBUTTON, static_cast<WPARAM>(command), MAKELONG(on, 0)); }
    bool ButtonEnabled(int command) const { return Send(TB_ISBUTTONENABLED, static_cast<WPARAM>(command)) != 0; }
    void CheckButton(int command, bool on) const { Send(TB_CHECKBUTTON, static_cast<WPARAM>(command), MAKELONG(on, 0)); }
    void SetButtonImage(int command, int image) const { Send(TB_CHANGEBITMAP, static_cast<WPARAM>(command), image); }
};

class TTabControl : public TControl {
public:
    using TControl::TControl;
    int AddTab(const std::string& caption) const;
    int Count() const { return static_cast<int>(Send(TCM_GETITEMCOUNT)); }
    int TabIndex() const { return static_cast<int>(Send(TCM_GETCURSEL)); }
    void SetTabIndex(int i) const { Send(TCM_SETCURSEL, static_cast<WPARAM>(i)); }
};

class TUpDown : public TControl {
public:
    using TControl::TControl;
    void SetRange(int lo, int hi) const { Send(UDM_SETRANGE32, static_cast<WPARAM>(lo), hi); }
    int Min() const;
    int Max() const;
    // Position is clamped to the range, as the spin edit shows it.
    int Position() const;
    void SetPosition(int p) const;
};

// A window timer of a form, owned by the form like any component.
class TTimer : public TComponent {
public:
    TTimer(TForm* form, UINT_PTR id, UINT intervalMs, std::function<void()> onTimer);
    ~TTimer() override { SetEnabled(false); }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on);
    UINT Interval() const { return interval_; }
    void SetInterval(UINT ms);

private:
    TForm* form_;
    UINT_PTR id_;
    UINT interval_;
    bool enabled_ = false;
};

// A menu from a resource, or the menu of a window.
class TMenu {
public:
    TMenu() = default;
    explicit TMenu(HMENU menu, bool owned = false) : menu_(menu), owned_(owned) {}
    static TMenu Load(UINT resourceId);
    ~TMenu() { if (owned_ && menu_) DestroyMenu(menu_); }
    TMenu(TMenu&& o) noexcept : menu_(o.menu_), owned_(o.owned_) { o.menu_ = nullptr; o.owned_ = false; }
    TMenu& operator=(TMenu&& o) noexcept;
    TMenu(const TMenu&) = delete;
    TMenu& operator=(const TMenu&) = delete;

    HMENU Handle() const { return menu_; }
    TMenu SubMenu(int pos) const { return TMenu(GetSubMenu(menu_, pos)); }
    bool Checked(UINT id) const { return (GetMenuState(menu_, id, MF_BYCOMMAND) & MF_CHECKED) != 0; }
    void SetChecked(UINT id, bool on) const { CheckMenuItem(menu_, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED)); }
    void SetRadio(UINT first, UINT last, UINT id) const { CheckMenuRadioItem(menu_, first, last, id, MF_BYCOMMAND); }
    bool Enabled(UINT id) const { return (GetMenuState(menu_, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == 0; }
    void SetEnabled(UINT id, bool on) const { EnableMenuItem(menu_, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); }
    // Shows the menu as a pop-up; returns the chosen command, 0 when none.
    UINT Popup(HWND owner, int x, int y) const;

private:
    HMENU menu_ = nullptr;
    bool owned_ = false;
};

}  // namespace wx
