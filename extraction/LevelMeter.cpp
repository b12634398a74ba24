#include "extraction/LevelMeter.h"

#include <string>

namespace wx {

namespace {
constexpr UINT_PTR DecayTimerId = 1;
const COLORREF Grey = RGB(128, 128, 128);
}  // namespace

void TLevelMeter::Register() {
    static bool done = false;
    if (done) return;
    WNDCLASSA wc{};
    // Global: dialog templates of a language module place it too.
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS | CS_GLOBALCLASS;
    wc.lpfnWndProc = &TLevelMeter::WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ClassName;
    done = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

TLevelMeter* LevelMeterOf(HWND control) {
    char cls[32] = {};
    if (!control || !GetClassNameA(control, cls, sizeof cls) || std::string(cls) != TLevelMeter::ClassName)
        return nullptr;
    return reinterpret_cast<TLevelMeter*>(GetWindowLongPtrA(control, GWLP_USERDATA));
}

TLevelMeter::TLevelMeter(HWND wnd) : wnd_(wnd) {}

TLevelMeter::~TLevelMeter() {
    if (timerOn_) KillTimer(wnd_, DecayTimerId);
    FreeBitmaps();
}

void TLevelMeter::FreeBitmaps() {
    for (HBITMAP* b : {&scaleBmp_, &zoneBmp_, &workBmp_, &invScaleBmp_}) {
        if (*b) DeleteObject(*b);
        *b = nullptr;
    }
    if (memDc_) DeleteDC(memDc_);
    memDc_ = nullptr;
}

RECT TLevelMeter::Part(int a, int b) const {
    if (b < a) b = a;
    if (Direction == lvHorizontal) return RECT{a, 0, b, h_};
    return RECT{0, h_ - b, w_, h_ - a};
}

void TLevelMeter::RebuildScale() {
    FreeBitmaps();
    RECT rc;
    GetClientRect(wnd_, &rc);
    w_ = rc.right - 2 > 1 ? rc.right - 2 : 1;
    h_ = rc.bottom - 2 > 1 ? rc.bottom - 2 : 1;
    const int L = Direction == lvHorizontal ? rc.right : rc.bottom;
    length_ = Direction == lvHorizontal ? w_ : h_;
    barLength_ = 0;

    HDC screen = GetDC(wnd_);
    memDc_ = CreateCompatibleDC(screen);
    scaleBmp_ = CreateCompatibleBitmap(screen, w_, h_);
    zoneBmp_ = CreateCompatibleBitmap(screen, w_, h_);
    workBmp_ = CreateCompatibleBitmap(screen, w_, h_);
    invScaleBmp_ = CreateCompatibleBitmap(screen, w_, h_);
    ReleaseDC(wnd_, screen);

    const RECT all{0, 0, w_, h_};
    HGDIOBJ old = SelectObject(memDc_, scaleBmp_);
    FillRect(memDc_, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (scale_.Log) {
        // 8 points at the screen's resolution; "MS Serif" where the system has it.
        HFONT font = CreateFontA(-MulDiv(8, GetDeviceCaps(memDc_, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                                 DEFAULT_CHARSET, 0, 0, 0, 0, "MS Serif");
        HGDIOBJ oldFont = SelectObject(memDc_, font);
        SetTextColor(memDc_, RGB(255, 255, 255));
        SetBkMode(memDc_, TRANSPARENT);
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
        HGDIOBJ oldPen = SelectObject(memDc_, pen);
        // A label that would run into the one drawn before it is left out.
        int lastEdge = 1 << 30;
        for (const auto& s : scale_.Steps(L)) {
            if (s.Db % 3 != 0 || s.Db > 18) continue;
            const std::string text = "-" + std::to_string(s.Db) + "dB";
            SIZE ext{};
            GetTextExtentPoint32A(memDc_, text.c_str(), int(text.size()), &ext);
            const int start = Direction == lvHorizontal ? s.Pos - ext.cx / 2 : L - s.Pos - ext.cy / 2;
            const int end = start + (Direction == lvHorizontal ? ext.cx : ext.cy);
            if (Direction == lvHorizontal ? end + 2 > lastEdge : start < lastEdge + 2 && lastEdge != (1 << 30))
                continue;
            lastEdge = Direction == lvHorizontal ? start : end;
            if (Direction == lvHorizontal) {
                MoveToEx(memDc_, s.Pos, 0, nullptr);
                LineTo(memDc_, s.Pos, 4);
                TextOutA(memDc_, s.Pos - ext.cx / 2, 6, text.c_str(), int(text.size()));
            } else {
                MoveToEx(memDc_, 0, L - s.Pos, nullptr);
                LineTo(memDc_, 4, L - s.Pos);
                TextOutA(memDc_, 6, L - s.Pos - ext.cy / 2, text.c_str(), int(text.size()));
            }
        }
        SelectObject(memDc_, oldPen);
        DeleteObject(pen);
        SelectObject(memDc_, oldFont);
        DeleteObject(font);
    }

    int greenEnd = 0, yellowEnd = 0;
    scale_.Zones(L, greenEnd, yellowEnd);
    SelectObject(memDc_, zoneBmp_);
    FillRect(memDc_, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    auto zone = [&](int a, int b, COLORREF c) {
        HBRUSH br = CreateSolidBrush(c);
        RECT r = Part(a, b);
        FillRect(memDc_, &r, br);
        DeleteObject(br);
    };
    zone(0, greenEnd, RGB(0, 255, 0));
    zone(greenEnd, yellowEnd, RGB(255, 255, 0));
    zone(yellowEnd, length_, RGB(255, 0, 0));

    HDC src = CreateCompatibleDC(memDc_);
    HGDIOBJ oldSrc = SelectObject(src, scaleBmp_);
    SelectObject(memDc_, invScaleBmp_);
    BitBlt(memDc_, 0, 0, w_, h_, src, 0, 0, NOTSRCCOPY);
    SelectObject(src, oldSrc);
    DeleteDC(src);
    SelectObject(memDc_, old);

    if (AutoUpdate && !timerOn_) timerOn_ = SetTimer(wnd_, DecayTimerId, 250, nullptr) != 0;
    InvalidateRect(wnd_, nullptr, FALSE);
}

void TLevelMeter::SetLevel(std::int32_t value) {
    // The peak marker moves up first: drawn below the new top, it would
    // grey out the lit part above it until the next update.
    const int d = scale_.BarLength(value, length_);
    const bool changed = d != barLength_;
    barLength_ = d;
    if (peakPos_ < barLength_) {
        peakPos_ = barLength_;
        decayStep_ = 1;
    }
    if (changed) DrawMeter();
}

void TLevelMeter::DecayPeak() {
    const int before = peakPos_;
    DecayPeakStep(peakPos_, decayStep_, barLength_);
    if (peakPos_ != before) DrawMeter();
}

void TLevelMeter::DrawMeter() {
    if (!memDc_ || !workBmp_) return;
    HGDIOBJ old = SelectObject(memDc_, workBmp_);
    const RECT all{0, 0, w_, h_};
    FillRect(memDc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HBRUSH grey = CreateSolidBrush(Grey);
    RECT label;
    if (peakPos_ <= 0) {
        RECT r = Part(barLength_, length_);
        FillRect(memDc_, &r, grey);
        label = r;
    } else {
        RECT a = Part(barLength_, peakPos_ - 2 > barLength_ ? peakPos_ - 2 : barLength_);
        FillRect(memDc_, &a, grey);
        RECT b = Part(peakPos_, length_);
        FillRect(memDc_, &b, grey);
        label = Part(barLength_, length_);
    }
    DeleteObject(grey);
    HDC src = CreateCompatibleDC(memDc_);
    HGDIOBJ oldSrc = SelectObject(src, zoneBmp_);
    BitBlt(memDc_, 0, 0, w_, h_, src, 0, 0, SRCAND);
    if (DispLevel && scale_.Log) {
        SelectObject(src, scaleBmp_);
        BitBlt(memDc_, label.left, label.top, label.right - label.left, label.bottom - label.top, src, label.left,
               label.top, SRCPAINT);
        const RECT lit = Part(0, barLength_);
        SelectObject(src, invScaleBmp_);
        BitBlt(memDc_, lit.left, lit.top, lit.right - lit.left, lit.bottom - lit.top, src, lit.left, lit.top, SRCAND);
    }
    SelectObject(src, oldSrc);
    DeleteDC(src);
    HDC dc = GetDC(wnd_);
    BitBlt(dc, 1, 1, w_, h_, memDc_, 0, 0, SRCCOPY);
    ReleaseDC(wnd_, dc);
    SelectObject(memDc_, old);
}

LRESULT CALLBACK TLevelMeter::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TLevelMeter*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    switch (msg) {
    case WM_NCCREATE:
        self = new TLevelMeter(wnd);
        SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        break;
    case WM_CREATE:
        if (self) self->RebuildScale();
        return 0;
    case WM_SIZE:
        if (self) self->RebuildScale();
        return 0;
    case WM_TIMER:
        if (self && wp == DecayTimerId) self->DecayPeak();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(wnd, &ps);
        RECT rc;
        GetClientRect(wnd, &rc);
        DrawEdge(dc, &rc, BDR_SUNKENOUTER, BF_RECT);
        EndPaint(wnd, &ps);
        if (self) self->DrawMeter();
        return 0;
    }
    case WM_LBUTTONDBLCLK:
        // The progress window minimises on a double-click on its meters too.
        SendMessageA(GetParent(wnd), WM_LBUTTONDBLCLK, wp, lp);
        return 0;
    case WM_NCDESTROY:
        delete self;
        SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
        break;
    default:
        break;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

}  // namespace wx
