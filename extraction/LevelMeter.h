// TLevelMeter: a bar control showing one channel's peak level on a decibel
// or linear scale, with a peak-hold marker that falls back every 250 ms.
// It is a window class ("TLevelMeter") that dialog templates place by name;
// the form reaches the object of a placed control with LevelMeterOf.
#pragma once
#include <cstdint>

#include "classlib/win.h"
#include "extraction/levelscale.h"

namespace wx {

enum TLVDirection { lvHorizontal, lvVertical };
enum TLVDispMode { lvLiner, lvLog };

class TLevelMeter {
public:
    static constexpr const char* ClassName = "TLevelMeter";
    // Registers the window class once per process.
    static void Register();

    explicit TLevelMeter(HWND wnd);
    ~TLevelMeter();
    TLevelMeter(const TLevelMeter&) = delete;
    TLevelMeter& operator=(const TLevelMeter&) = delete;

    HWND Handle() const { return wnd_; }

    bool DispLevel = true;
    TLVDirection Direction = lvHorizontal;
    bool AutoUpdate = true;
    TLVDispMode DispMode() const { return scale_.Log ? lvLog : lvLiner; }
    void SetDispMode(TLVDispMode m) { scale_.Log = (m == lvLog); }
    // The setters store the absolute value, at least 2 and 1.
    std::int32_t Max() const { return scale_.Max; }
    void SetMax(std::int32_t v) { scale_.SetMax(v); }
    std::int32_t BandWidth() const { return scale_.BandWidth; }
    void SetBandWidth(std::int32_t v) { scale_.SetBandWidth(v); }

    void SetLevel(std::int32_t value);
    void RebuildScale();
    void DrawMeter();
    void DecayPeak();

    int BarLength() const { return barLength_; }
    int PeakPos() const { return peakPos_; }
    int Length() const { return length_; }

private:
    static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    void FreeBitmaps();
    // The rectangle of the part of the bar from a to b (pixels from the
    // empty end) inside the work bitmap.
    RECT Part(int a, int b) const;

    HWND wnd_;
    TLevelScale scale_;
    HDC memDc_ = nullptr;
    HBITMAP scaleBmp_ = nullptr, zoneBmp_ = nullptr, workBmp_ = nullptr, invScaleBmp_ = nullptr;
    int w_ = 0, h_ = 0;
    int length_ = 0;
    int barLength_ = 0, peakPos_ = 0, decayStep_ = 1;
    bool timerOn_ = false;
};

// The meter object of a control made from the window class, or nullptr.
TLevelMeter* LevelMeterOf(HWND control);

}  // namespace wx
