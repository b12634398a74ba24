#include "classlib/controls.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "classlib/app.h"
#include "classlib/dialogs.h"

namespace wx {

std::string TControl::Text() const {
    HWND w = Handle();
    const int n = GetWindowTextLengthA(w);
    std::string s(static_cast<size_t>(n > 0 ? n : 0) + 1, '\0');
    const int got = GetWindowTextA(w, s.data(), static_cast<int>(s.size()));
    s.resize(static_cast<size_t>(got > 0 ? got : 0));
    return s;
}

std::string TComboBox::Item(int i) const {
    const LRESULT n = Send(CB_GETLBTEXTLEN, static_cast<WPARAM>(i));
    if (n == CB_ERR) return {};
    std::string s(static_cast<size_t>(n) + 1, '\0');
    Send(CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s.data()));
    s.resize(static_cast<size_t>(n));
    return s;
}

void TComboBox::SetItems(const std::vector<std::string>& items) const {
    Clear();
    for (const auto& s : items) Add(s);
}

std::string TListBox::Item(int i) const {
    const LRESULT n = Send(LB_GETTEXTLEN, static_cast<WPARAM>(i));
    if (n == LB_ERR) return {};
    std::string s(static_cast<size_t>(n) + 1, '\0');
    Send(LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s.data()));
    s.resize(static_cast<size_t>(n));
    return s;
}

void TListView::AddColumn(const std::string& caption, int width, int format) const {
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    col.fmt = format;
    col.cx = width;
    col.pszText = const_cast<char*>(caption.c_str());
    const int n = static_cast<int>(SendMessageA(ListView_GetHeader(Handle()), HDM_GETITEMCOUNT, 0, 0));
    col.iSubItem = n;
    Send(LVM_INSERTCOLUMNA, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(&col));
}

int TListView::AddItem(const std::string& text, LPARAM data) const {
    LVITEMA it{};
    it.mask = LVIF_TEXT | LVIF_PARAM;
    it.iItem = Count();
    it.pszText = const_cast<char*>(text.c_str());
    it.lParam = data;
    return static_cast<int>(Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)));
}

void TListView::SetSubItem(int item, int sub, const std::string& text) const {
    LVITEMA it{};
    it.iSubItem = sub;
    it.pszText = const_cast<char*>(text.c_str());
    Send(LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
}

std::string TListView::ItemText(int item, int sub) const {
    char buf[1024];
    LVITEMA it{};
    it.iSubItem = sub;
    it.pszText = buf;
    it.cchTextMax = sizeof(buf);
    const LRESULT n = Send(LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
    return std::string(buf, static_cast<size_t>(std::max<LRESULT>(n, 0)));
}

LPARAM TListView::ItemData(int item) const {
    LVITEMA it{};
    it.mask = LVIF_PARAM;
    it.iItem = item;
    Send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    return it.lParam;
}

void TListView::SetSelected(int item, bool on) const {
    LVITEMA it{};
    it.stateMask = LVIS_SELECTED;
    it.state = on ? LVIS_SELECTED : 0;
    Send(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
}

void TListView::BindOwnerData(std::function<std::string(int, int)> text) const {
    // The text must outlive the notification: keep it per form and control.
    auto buffer = std::make_shared<std::string>();
    form_->OnNotify(id_, LVN_GETDISPINFOA, [text = std::move(text), buffer](NMHDR* nm) -> LRESULT {
        auto* di = reinterpret_cast<NMLVDISPINFOA*>(nm);
        if (di->item.mask & LVIF_TEXT) {
            *buffer = text(di->item.iItem, di->item.iSubItem);
            lstrcpynA(di->item.pszText, buffer->c_str(), di->item.cchTextMax);
        }
        return 0;
    });
}

HTREEITEM TTreeView::Add(HTREEITEM parent, const std::string& text, LPARAM data, int image, int selImage) const {
    TVINSERTSTRUCTA ins{};
    ins.hParent = parent ? parent : TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    ins.item.pszText = const_cast<char*>(text.c_str());
    ins.item.lParam = data;
    ins.item.iImage = image;
    ins.item.iSelectedImage = selImage;
    return reinterpret_cast<HTREEITEM>(Send(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
}

std::string TTreeView::ItemText(HTREEITEM item) const {
    char buf[1024];
    TVITEMA it{};
    it.mask = TVIF_TEXT;
    it.hItem = item;
    it.pszText = buf;
    it.cchTextMax = sizeof(buf);
    if (!Send(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it))) return {};
    return buf;
}

LPARAM TTreeView::ItemData(HTREEITEM item) const {
    TVITEMA it{};
    it.mask = TVIF_PARAM;
    it.hItem = item;
    Send(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    return it.lParam;
}

void TStatusBar::SetParts(const std::vector<int>& rightEdges) const {
    Send(SB_SETPARTS, rightEdges.size(), reinterpret_cast<LPARAM>(rightEdges.data()));
}

void TStatusBar::SetPanelText(int panel, const std::string& text, UINT style) const {
    Send(SB_SETTEXTA, static_cast<WPARAM>(panel) | style, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string TStatusBar::PanelText(int panel) const {
    // Some status bars count the length in characters, not bytes: leave
    // room for a double-byte text and cut at the terminator.
    const LRESULT len = LOWORD(Send(SB_GETTEXTLENGTHA, static_cast<WPARAM>(panel)));
    std::string s(static_cast<size_t>(len) * 2 + 1, '\0');
    Send(SB_GETTEXTA, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(s.data()));
    s.resize(std::char_traits<char>::length(s.c_str()));
    return s;
}

void TStatusBar::FitAbove(const TControl& fill) const {
    HWND form = form_->Handle();
    RECT client;
    GetClientRect(form, &client);
    Send(WM_SIZE);
    RECT bar{};
    GetWindowRect(Handle(), &bar);
    RECT r;
    GetWindowRect(fill.Handle(), &r);
    POINT top{r.left, r.top};
    ScreenToClient(form, &top);
    const int h = client.bottom - top.y - (bar.bottom - bar.top);
    MoveWindow(fill.Handle(), 0, top.y, client.right, h > 0 ? h : 0, TRUE);
}

void TToolBar::AddButton(int command, int image, const std::string& caption, BYTE style, BYTE state) const {
    Send(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    TBBUTTON b{};
    b.iBitmap = image;
    b.idCommand = command;
    b.fsState = state;
    b.fsStyle = style;
    b.iString = caption.empty() ? -1 : reinterpret_cast<INT_PTR>(caption.c_str());
    Send(TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&b));
}

void TToolBar::AddSeparator() const { AddButton(0, 0, std::string(), BTNS_SEP); }

void TToolBar::SetImageList(HIMAGELIST normal, HIMAGELIST disabled, HIMAGELIST hot) const {
    Send(TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(normal));
    if (disabled) Send(TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(disabled));
    if (hot) Send(TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(hot));
}

int TTabControl::AddTab(const std::string& caption) const {
    TCITEMA it{};
    it.mask = TCIF_TEXT;
    it.pszText = const_cast<char*>(caption.c_str());
    return static_cast<int>(Send(TCM_INSERTITEMA, static_cast<WPARAM>(Count()), reinterpret_cast<LPARAM>(&it)));
}

int TUpDown::Min() const {
    int lo = 0, hi = 0;
    Send(UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo), reinterpret_cast<LPARAM>(&hi));
    return lo;
}

int TUpDown::Max() const {
    int lo = 0, hi = 0;
    Send(UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo), reinterpret_cast<LPARAM>(&hi));
    return hi;
}

int TUpDown::Position() const {
    // Like a spin edit: the number typed into the buddy counts, clamped to
    // the range; text that is no number leaves the last position.
    BOOL err = FALSE;
    long p = static_cast<int>(Send(UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&err)));
    if (HWND buddy = reinterpret_cast<HWND>(Send(UDM_GETBUDDY))) {
        char text[32] = {};
        GetWindowTextA(buddy, text, sizeof(text));
        char* end = nullptr;
        const long typed = std::strtol(text, &end, 10);
        if (end != text && *end == '\0') p = typed;
    }
    const long lo = std::min(Min(), Max()), hi = std::max(Min(), Max());
    return static_cast<int>(std::clamp(p, lo, hi));
}

void TUpDown::SetPosition(int p) const {
    Send(UDM_SETPOS32, 0, std::clamp(p, std::min(Min(), Max()), std::max(Min(), Max())));
}

TTimer::TTimer(TForm* form, UINT_PTR id, UINT intervalMs, std::function<void()> onTimer)
    : TComponent(form), form_(form), id_(id), interval_(intervalMs) {
    form_->OnTimer(id_, std::move(onTimer));
}

void TTimer::SetEnabled(bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    if (!form_->Handle()) return;
    if (on)
        SetTimer(form_->Handle(), id_, interval_, nullptr);
    else
        KillTimer(form_->Handle(), id_);
}

void TTimer::SetInterval(UINT ms) {
    interval_ = ms;
    if (enabled_ && form_->Handle()) SetTimer(form_->Handle(), id_, interval_, nullptr);
}

TMenu TMenu::Load(UINT resourceId) {
    LPCSTR name = MAKEINTRESOURCEA(resourceId);
    return TMenu(LoadMenuA(Application.ResourceModuleFor(name, RT_MENU), name), true);
}

TMenu& TMenu::operator=(TMenu&& o) noexcept {
    if (this != &o) {
        if (owned_ && menu_) DestroyMenu(menu_);
        menu_ = o.menu_;
        owned_ = o.owned_;
        o.menu_ = nullptr;
        o.owned_ = false;
    }
    return *this;
}

UINT TMenu::Popup(HWND owner, int x, int y) const { return Prompter().PopupMenu(menu_, owner, x, y); }

}  // namespace wx
