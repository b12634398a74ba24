#include "classlib/panels.h"

#include <algorithm>

#include "classlib/app.h"

namespace wx {

namespace {

const char kPanelClass[] = "WxPanel";
const char kSplitterClass[] = "WxSplitter";

void RegisterClassOnce(const char* name, WNDPROC proc, HCURSOR cursor) {
    WNDCLASSA probe;
    if (GetClassInfoA(Application.Instance(), name, &probe)) return;
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = Application.Instance();
    wc.hCursor = cursor;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
}

RECT RectIn(HWND wnd, HWND container) {
    RECT r{};
    GetWindowRect(wnd, &r);
    MapWindowPoints(nullptr, container, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool StyleVisible(HWND w) { return (GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) != 0; }

}  // namespace

// ---- TAlignLayout -----------------------------------------------------------

void TAlignLayout::Add(HWND wnd, TAlign align, int size) { entries_.push_back({wnd, align, size}); }

void TAlignLayout::SetSize(HWND wnd, int size) {
    for (auto& e : entries_)
        if (e.Wnd == wnd) e.Size = size;
}

int TAlignLayout::Size(HWND wnd) const {
    for (const auto& e : entries_)
        if (e.Wnd == wnd) return e.Size;
    return 0;
}

void TAlignLayout::Arrange(HWND container) const {
    RECT area{};
    GetClientRect(container, &area);
    // Placements are gathered first and applied in one deferred batch.
    struct Place {
        HWND w;
        RECT r;
    };
    std::vector<Place> places;
    auto own = [](HWND w, bool height) {
        RECT r{};
        GetWindowRect(w, &r);
        return height ? r.bottom - r.top : r.right - r.left;
    };
    for (TAlign pass : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (const auto& e : entries_) {
            if (e.Align != pass || !IsWindow(e.Wnd) || !StyleVisible(e.Wnd)) continue;
            RECT r = area;
            switch (pass) {
            case alTop: {
                const int h = e.Size >= 0 ? e.Size : own(e.Wnd, true);
                r.bottom = std::min(area.bottom, area.top + h);
                area.top = r.bottom;
                break;
            }
            case alBottom: {
                const int h = e.Size >= 0 ? e.Size : own(e.Wnd, true);
                r.top = std::max(area.top, area.bottom - h);
                area.bottom = r.top;
                break;
            }
            case alLeft: {
                const int w = e.Size >= 0 ? e.Size : own(e.Wnd, false);
                r.right = std::min(area.right, area.left + w);
                area.left = r.right;
                break;
            }
            case alRight: {
                const int w = e.Size >= 0 ? e.Size : own(e.Wnd, false);
                r.left = std::max(area.left, area.right - w);
                area.right = r.left;
                break;
            }
            default:
                break;
            }
            places.push_back({e.Wnd, r});
        }
    }
    for (const auto& p : places)
        SetWindowPos(p.w, nullptr, p.r.left, p.r.top, std::max(0L, p.r.right - p.r.left),
                     std::max(0L, p.r.bottom - p.r.top), SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- TPanel -------------------------------------------------------------------

TPanel::~TPanel() {
    if (wnd_ && IsWindow(wnd_)) SetWindowLongPtrA(wnd_, GWLP_USERDATA, 0);
}

HWND TPanel::Create(HWND parent, int id, TBevel bevel) {
    RegisterClassOnce(kPanelClass, &TPanel::WndProc, LoadCursor(nullptr, IDC_ARROW));
    bevel_ = bevel;
    const DWORD ex = bevel == bvLowered ? WS_EX_STATICEDGE : bevel == bvRaised ? WS_EX_WINDOWEDGE : 0;
    wnd_ = CreateWindowExA(ex | WS_EX_CONTROLPARENT, kPanelClass, "",
                           WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (bevel == bvRaised ? WS_DLGFRAME : 0),
                           0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           Application.Instance(), nullptr);
    SetWindowLongPtrA(wnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return wnd_;
}

int TPanel::Width() const {
    RECT r{};
    if (wnd_) GetWindowRect(wnd_, &r);
    return r.right - r.left;
}

int TPanel::Height() const {
    RECT r{};
    if (wnd_) GetWindowRect(wnd_, &r);
    return r.bottom - r.top;
}

int TPanel::ClientWidth() const {
    RECT r{};
    if (wnd_) GetClientRect(wnd_, &r);
    return r.right;
}

int TPanel::ClientHeight() const {
    RECT r{};
    if (wnd_) GetClientRect(wnd_, &r);
    return r.bottom;
}

LRESULT CALLBACK TPanel::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TPanel*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    switch (msg) {
    case WM_SIZE:
        if (self) {
            self->layout_.Arrange(wnd);
            if (self->OnResize) self->OnResize();
        }
        return 0;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CONTEXTMENU:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        return SendMessageA(GetParent(wnd), msg, wp, lp);
    default:
        return DefWindowProcA(wnd, msg, wp, lp);
    }
}

// ---- TSplitter ----------------------------------------------------------------

TSplitter::~TSplitter() {
    if (wnd_ && IsWindow(wnd_)) SetWindowLongPtrA(wnd_, GWLP_USERDATA, 0);
}

HWND TSplitter::Create(HWND parent, int id, TAlign align, HWND target, TAlignLayout& layout, int thickness) {
    RegisterClassOnce(kSplitterClass, &TSplitter::WndProc, nullptr);
    align_ = align;
    target_ = target;
    layout_ = &layout;
    wnd_ = CreateWindowExA(0, kSplitterClass, "", WS_CHILD | WS_VISIBLE, 0, 0, thickness, thickness, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Application.Instance(), nullptr);
    SetWindowLongPtrA(wnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    layout.Add(wnd_, align, thickness);
    return wnd_;
}

void TSplitter::MoveTo(int pos) {
    HWND container = GetParent(wnd_);
    const RECT t = RectIn(target_, container);
    int size = 0;
    switch (align_) {
    case alLeft: size = pos - t.left; break;
    case alRight: size = t.right - pos; break;
    case alTop: size = pos - t.top; break;
    case alBottom: size = t.bottom - pos; break;
    default: return;
    }
    layout_->SetSize(target_, std::max(0, size));
    layout_->Arrange(container);
}

LRESULT CALLBACK TSplitter::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TSplitter*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(wnd, msg, wp, lp);
    const bool vertical = self->align_ == alLeft || self->align_ == alRight;
    switch (msg) {
    case WM_SETCURSOR:
        SetCursor(LoadCursor(nullptr, vertical ? IDC_SIZEWE : IDC_SIZENS));
        return TRUE;
    case WM_LBUTTONDOWN:
        self->dragging_ = true;
        SetCapture(wnd);
        return 0;
    case WM_MOUSEMOVE:
        if (self->dragging_) {
            POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
            MapWindowPoints(wnd, GetParent(wnd), &p, 1);
            self->MoveTo(vertical ? p.x : p.y);
        }
        return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        if (self->dragging_) {
            self->dragging_ = false;
            if (msg == WM_LBUTTONUP) ReleaseCapture();
            if (self->OnMoved) self->OnMoved();
        }
        return 0;
    default:
        return DefWindowProcA(wnd, msg, wp, lp);
    }
}

// ---- TCoolBar -----------------------------------------------------------------

HWND TCoolBar::Create(HWND parent, int id) {
    wnd_ = CreateWindowExA(WS_EX_TOOLWINDOW, REBARCLASSNAMEA, "",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                               RBS_BANDBORDERS | RBS_AUTOSIZE | CCS_NODIVIDER | CCS_NOPARENTALIGN,
                           0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           Application.Instance(), nullptr);
    REBARINFO info{sizeof(info), 0, nullptr};
    SendMessageA(wnd_, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));
    return wnd_;
}

void TCoolBar::AddBand(HWND child, int minHeight, int minWidth) {
    SetParent(child, wnd_);
    REBARBANDINFOA band{};
    band.cbSize = sizeof(band);
    band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE;
    band.fStyle = RBBS_CHILDEDGE | RBBS_BREAK;
    band.hwndChild = child;
    band.cxMinChild = static_cast<UINT>(minWidth);
    band.cyMinChild = static_cast<UINT>(minHeight);
    SendMessageA(wnd_, RB_INSERTBANDA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));
}

void TCoolBar::ShowBand(int index, bool on) const {
    SendMessageA(wnd_, RB_SHOWBAND, static_cast<WPARAM>(index), on);
}

int TCoolBar::Height() const {
    return wnd_ ? static_cast<int>(SendMessageA(wnd_, RB_GETBARHEIGHT, 0, 0)) : 0;
}

// ---- TImageList ---------------------------------------------------------------

TImageList::~TImageList() {
    if (list_) ImageList_Destroy(list_);
}

void TImageList::Create(int width, int height) {
    if (list_) ImageList_Destroy(list_);
    list_ = ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, 8, 8);
}

int TImageList::Width() const {
    int w = 0, h = 0;
    if (list_) ImageList_GetIconSize(list_, &w, &h);
    return w;
}

int TImageList::Height() const {
    int w = 0, h = 0;
    if (list_) ImageList_GetIconSize(list_, &w, &h);
    return h;
}

int TImageList::AddDrawn(const std::function<void(HDC, int, int)>& paint) {
    const int w = Width(), h = Height();
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT all{0, 0, w, h};
    HBRUSH key = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(dc, &all, key);
    DeleteObject(key);
    paint(dc, w, h);
    SelectObject(dc, old);
    DeleteDC(dc);
    const int index = ImageList_AddMasked(list_, bmp, RGB(255, 0, 255));
    DeleteObject(bmp);
    return index;
}

void TImageList::Draw(HDC dc, int index, int x, int y, UINT style) const {
    if (list_) ImageList_Draw(list_, index, dc, x, y, style);
}

// ---- Keys for list and tree controls ----------------------------------------------

namespace {

bool IsEnterOrSpace(const MSG* m) {
    if (!m) return false;
    if (m->message == WM_KEYDOWN || m->message == WM_KEYUP) return m->wParam == VK_RETURN || m->wParam == VK_SPACE;
    if (m->message == WM_CHAR) return m->wParam == '\r' || m->wParam == ' ';
    return false;
}

LRESULT DialogKeys(void*, HWND wnd, UINT msg, WPARAM wp, LPARAM lp, const TNextHandler& next) {
    if (msg != WM_GETDLGCODE) return next(wnd, msg, wp, lp);
    LRESULT code = next(wnd, msg, wp, lp) | DLGC_WANTCHARS | DLGC_WANTARROWS;
    if (IsEnterOrSpace(reinterpret_cast<const MSG*>(lp))) code |= DLGC_WANTMESSAGE;
    return code;
}

}  // namespace

class TControlChain {
public:
    struct THandler {
        TControlHandler Proc;
        void* Data;
    };
    std::vector<THandler> Handlers;  // the first runs last
    WNDPROC Previous = nullptr;

    LRESULT Call(std::size_t index, HWND wnd, UINT msg, WPARAM wp, LPARAM lp) const {
        if (index >= Handlers.size()) return CallWindowProcW(Previous, wnd, msg, wp, lp);
        const THandler& h = Handlers[Handlers.size() - 1 - index];
        return h.Proc(h.Data, wnd, msg, wp, lp, TNextHandler{this, index + 1});
    }

    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* chain = reinterpret_cast<TControlChain*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
        if (!chain) return DefWindowProcW(wnd, msg, wp, lp);
        if (msg != WM_NCDESTROY) return chain->Call(0, wnd, msg, wp, lp);
        const LRESULT r = chain->Call(0, wnd, msg, wp, lp);
        SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
        delete chain;
        return r;
    }
};

LRESULT TNextHandler::operator()(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) const {
    return Chain->Call(Index, wnd, msg, wp, lp);
}

void HookControl(HWND control, TControlHandler handler, void* data) {
    if (!control) return;
    auto* chain = reinterpret_cast<TControlChain*>(GetWindowLongPtrW(control, GWLP_USERDATA));
    if (chain && reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control, GWLP_WNDPROC)) != &TControlChain::Proc)
        chain = nullptr;  // the user data is someone else's
    if (!chain) {
        if (GetWindowLongPtrW(control, GWLP_USERDATA)) return;
        chain = new TControlChain;
        SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(chain));
        chain->Previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TControlChain::Proc)));
    }
    for (TControlChain::THandler& h : chain->Handlers) {
        if (h.Proc == handler) {
            h.Data = data;
            return;
        }
    }
    chain->Handlers.push_back({handler, data});
}

void WantDialogKeys(HWND control) { HookControl(control, &DialogKeys, nullptr); }

HWND CreateChild(TForm& form, HWND parent, const char* className, int id, DWORD style, DWORD exStyle,
                 const char* text) {
    HWND w = CreateWindowExA(exStyle, className, text, WS_CHILD | style, 0, 0, 0, 0, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Application.Instance(), nullptr);
    if (!w) return nullptr;
    if (HFONT font = reinterpret_cast<HFONT>(SendMessageA(form.Handle(), WM_GETFONT, 0, 0)))
        SendMessageA(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    form.RegisterItem(id, w);
    return w;
}

}  // namespace wx
