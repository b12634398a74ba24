#include "app/DrivePanel.h"

#include "classlib/app.h"

namespace {
const char kClass[] = "TDrivePanel";

SIZE TextSizeOfA(HWND wnd, HDC dc) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(GetParent(wnd), WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SIZE s{};
    GetTextExtentPoint32A(dc, "A", 1, &s);
    if (old) SelectObject(dc, old);
    return s;
}
}  // namespace

TDrivePanel::~TDrivePanel() {
    if (wnd_ && IsWindow(wnd_)) SetWindowLongPtrA(wnd_, GWLP_USERDATA, 0);
}

HWND TDrivePanel::Create(HWND parent, int id) {
    WNDCLASSA probe;
    if (!GetClassInfoA(wx::Application.Instance(), kClass, &probe)) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &TDrivePanel::WndProc;
        wc.hInstance = wx::Application.Instance();
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClass;
        RegisterClassA(&wc);
    }
    wnd_ = CreateWindowExA(0, kClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), wx::Application.Instance(), nullptr);
    SetWindowLongPtrA(wnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return wnd_;
}

void TDrivePanel::Repaint() const {
    if (wnd_) InvalidateRect(wnd_, nullptr, TRUE);
}

void TDrivePanel::SetDrawTop(int v) {
    drawTop_ = v;
    Repaint();
}

void TDrivePanel::SetDrawLeft(int v) {
    drawLeft_ = v;
    Repaint();
}

void TDrivePanel::SetImages(const wx::TImageList* images) {
    images_ = images;
    Repaint();
}

void TDrivePanel::AddDrive(int driveNo, int imageIndex) {
    if (model_.AddDrive(driveNo, imageIndex)) Repaint();
}

void TDrivePanel::Clear() {
    model_.Clear();
    Repaint();
}

void TDrivePanel::SetSelected(int index) {
    const int v = model_.ClampIndex(index);
    if (v == model_.Selected) return;
    model_.Selected = v;
    Repaint();
}

void TDrivePanel::SetDropHover(int index) {
    const int v = model_.ClampIndex(index);
    if (v == model_.DropHoverIndex) return;
    model_.DropHoverIndex = v;
    Repaint();
}

TDriveBarMetrics TDrivePanel::Metrics() const {
    HDC dc = GetDC(wnd_);
    const SIZE a = TextSizeOfA(wnd_, dc);
    ReleaseDC(wnd_, dc);
    const int iw = images_ ? images_->Width() : 0, ih = images_ ? images_->Height() : 0;
    return TDriveBarMetrics::From(a.cx, a.cy, iw, ih);
}

int TDrivePanel::DriveAtPos(int x, int y) const { return ::DriveAtPos(model_, Metrics(), drawLeft_, drawTop_, x, y); }

void TDrivePanel::DrawBox(HDC dc, int i, bool sunken) const {
    const TDriveBarMetrics g = Metrics();
    const int x0 = i * g.ButtonWidth + drawLeft_, y0 = drawTop_;
    const int x1 = x0 + g.ButtonWidth, y1 = drawTop_ + g.RowHeight + 4;
    HPEN dark = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    HGDIOBJ old = SelectObject(dc, sunken ? dark : light);
    MoveToEx(dc, x0, y1 - 1, nullptr);
    LineTo(dc, x0, y0);
    LineTo(dc, x1 - 1, y0);
    SelectObject(dc, sunken ? light : dark);
    LineTo(dc, x1 - 1, y1 - 1);
    LineTo(dc, x0, y1 - 1);
    SelectObject(dc, old);
    DeleteObject(dark);
    DeleteObject(light);
}

void TDrivePanel::Paint(HDC dc) {
    if (!images_) return;
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(GetParent(wnd_), WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    SIZE a{};
    GetTextExtentPoint32A(dc, "A", 1, &a);
    const int iw = images_->Width(), ih = images_->Height();
    const TDriveBarMetrics g = TDriveBarMetrics::From(a.cx, a.cy, iw, ih);
    boxHeight_ = 2 * drawTop_ + g.RowHeight + 4;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    for (int i = 0; i < model_.Drives; ++i) {
        int iy = drawTop_ + 2, ty = drawTop_ + 2;
        if (ih < a.cy)
            iy += (a.cy - ih) / 2;
        else
            ty += (ih - a.cy) / 2;
        images_->Draw(dc, model_.DriveImages[static_cast<std::size_t>(i)], i * g.ButtonWidth + drawLeft_ + 5, iy,
                      i == model_.Selected ? ILD_SELECTED : ILD_NORMAL);
        const char letter = model_.DriveLetters[static_cast<std::size_t>(i)];
        TextOutA(dc, i * g.ButtonWidth + drawLeft_ + iw + 7, ty, &letter, 1);
    }
    const int sel = model_.Selected, pressed = model_.PressedIndex, hover = model_.DropHoverIndex;
    if (sel >= 0 && sel != pressed && sel != hover) DrawBox(dc, sel, true);
    if (pressed >= 0) DrawBox(dc, pressed, false);
    if (hover >= 0 && hover != pressed) DrawBox(dc, hover, false);
    if (oldFont) SelectObject(dc, oldFont);
}

LRESULT CALLBACK TDrivePanel::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TDrivePanel*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(wnd, msg, wp, lp);
    const int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(wnd, &ps);
        self->Paint(dc);
        EndPaint(wnd, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        self->model_.PressedIndex = self->DriveAtPos(x, y);
        SetCapture(wnd);
        self->Repaint();
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        const int hit = self->DriveAtPos(x, y);
        const int old = self->model_.PressedIndex;
        self->model_.PressedIndex = -1;
        if (GetCapture() == wnd) ReleaseCapture();
        self->Repaint();
        const int button = msg == WM_LBUTTONUP ? 0 : msg == WM_RBUTTONUP ? 1 : 2;
        if (hit == old && old >= 0 && self->OnDriveClick) self->OnDriveClick(*self, hit, x, y, button);
        return 0;
    }
    default:
        return DefWindowProcA(wnd, msg, wp, lp);
    }
}
