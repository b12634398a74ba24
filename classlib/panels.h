// Containers and bars of a main window: aligned layout of child windows,
// panels (container windows that pass their children's notifications on
// to the form), splitters, the cool bar and image lists, and the key
// handling that lets list and tree controls inside a form receive Enter,
// Space and letters.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "classlib/form.h"
#include "classlib/win.h"

namespace wx {

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TBevel { bvNone, bvLowered, bvRaised };

// Lays out the children of one container window by alignment: first the
// top ones from the top down, then the bottom ones from the bottom up, then
// left, right, and the client ones fill what is left, each group in the
// order added.  Hidden windows take no room.  A size of -1 keeps the
// window's own height or width (bars that size themselves).
class TAlignLayout {
public:
    void Add(HWND wnd, TAlign align, int size = -1);
    void SetSize(HWND wnd, int size);
    // The size as set (width for left and right, height for top and bottom).
    int Size(HWND wnd) const;
    void Arrange(HWND container) const;

private:
    struct Entry {
        HWND Wnd;
        TAlign Align;
        int Size;
    };
    std::vector<Entry> entries_;
};

// A container window inside a form.  Its children's commands, notifications
// and owner-draw requests go on to the parent window, so the form's
// handlers see them as if the controls were its own.
class TPanel {
public:
    TPanel() = default;
    TPanel(const TPanel&) = delete;
    TPanel& operator=(const TPanel&) = delete;
    ~TPanel();

    HWND Create(HWND parent, int id, TBevel bevel = bvNone);
    HWND Handle() const { return wnd_; }
    TAlignLayout& Layout() { return layout_; }
    const TAlignLayout& Layout() const { return layout_; }
    void Realign() const { if (wnd_) layout_.Arrange(wnd_); }
    int Width() const;
    int Height() const;
    int ClientWidth() const;
    int ClientHeight() const;
    bool Visible() const { return wnd_ && (GetWindowLongA(wnd_, GWL_STYLE) & WS_VISIBLE) != 0; }
    // Runs after every size change, once the children are arranged.
    std::function<void()> OnResize;

private:
    static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND wnd_ = nullptr;
    TBevel bevel_ = bvNone;
    TAlignLayout layout_;
};

// A splitter bar aligned beside the window it resizes: dragging it sets
// that window's size in its container's layout and re-arranges it.
class TSplitter {
public:
    TSplitter() = default;
    TSplitter(const TSplitter&) = delete;
    TSplitter& operator=(const TSplitter&) = delete;
    ~TSplitter();

    // align is the splitter's own alignment (alLeft: a vertical bar right of
    // a left-aligned target; alBottom: a horizontal bar above a
    // bottom-aligned target; alTop, alRight likewise).
    HWND Create(HWND parent, int id, TAlign align, HWND target, TAlignLayout& layout, int thickness = 3);
    HWND Handle() const { return wnd_; }
    // Runs when a drag has ended.
    std::function<void()> OnMoved;
    // Moves the splitter as a drag to the client position pos of its
    // container would (used by the mouse and by tests).
    void MoveTo(int pos);

private:
    static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND wnd_ = nullptr;
    TAlign align_ = alLeft;
    HWND target_ = nullptr;
    TAlignLayout* layout_ = nullptr;
    bool dragging_ = false;
};

// The cool bar: a rebar control whose bands each hold one child window.
class TCoolBar {
public:
    HWND Create(HWND parent, int id);
    HWND Handle() const { return wnd_; }
    // Adds a band holding child (made a child of the bar) with a minimum height.
    void AddBand(HWND child, int minHeight, int minWidth = 0);
    void ShowBand(int index, bool on) const;
    int BandCount() const { return wnd_ ? static_cast<int>(SendMessageA(wnd_, RB_GETBANDCOUNT, 0, 0)) : 0; }
    int Height() const;

private:
    HWND wnd_ = nullptr;
};

// An owned image list.
class TImageList {
public:
    TImageList() = default;
    TImageList(const TImageList&) = delete;
    TImageList& operator=(const TImageList&) = delete;
    ~TImageList();
    void Create(int width, int height);
    HIMAGELIST Handle() const { return list_; }
    int Count() const { return list_ ? ImageList_GetImageCount(list_) : 0; }
    int Width() const;
    int Height() const;
    // Adds an image drawn by paint on a DC of the list's size, with the
    // colour key magenta as transparent; returns its index.
    int AddDrawn(const std::function<void(HDC dc, int w, int h)>& paint);
    void Draw(HDC dc, int index, int x, int y, UINT style = ILD_NORMAL) const;

private:
    HIMAGELIST list_ = nullptr;
};

// Handlers put ahead of a control's window procedure, the last one put
// first.  A handler answers a message itself or passes it on through next
// (the handlers put earlier, then the control).  The chain is kept in the
// control's user data: the common controls' own subclass helper finds its
// chain through a window property on every message, a round trip to the
// Wine server that makes each message cost a good part of a millisecond.
class TControlChain;
struct TNextHandler {
    const TControlChain* Chain;
    std::size_t Index;
    LRESULT operator()(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) const;
};
using TControlHandler = LRESULT (*)(void* data, HWND wnd, UINT msg, WPARAM wp, LPARAM lp, const TNextHandler& next);
// Puts handler (with data) ahead of the control; a handler put before is
// given the new data instead.
void HookControl(HWND control, TControlHandler handler, void* data);

// Makes a control inside a dialog-managed form receive Enter and Space
// keys and typed letters instead of the dialog manager taking them as
// default-button presses and mnemonics.  Tab and Esc keep their meaning.
void WantDialogKeys(HWND control);

// Creates a child control window (ANSI class name) and registers it with
// the form under id.
HWND CreateChild(TForm& form, HWND parent, const char* className, int id, DWORD style, DWORD exStyle = 0,
                 const char* text = "");

}  // namespace wx
