// The drive bar: a row of drive-letter buttons with images.  A press and
// release on the same button raises OnDriveClick (any mouse button).
#pragma once
#include <functional>

#include "app/ctrlmodel.h"
#include "classlib/panels.h"
#include "classlib/win.h"

class TDrivePanel {
public:
    using TDriveClickEvent = std::function<void(TDrivePanel& sender, int index, int x, int y, int button)>;

    TDrivePanel() = default;
    TDrivePanel(const TDrivePanel&) = delete;
    TDrivePanel& operator=(const TDrivePanel&) = delete;
    ~TDrivePanel();

    HWND Create(HWND parent, int id);
    HWND Handle() const { return wnd_; }

    int Drives() const { return model_.Drives; }
    int Selected() const { return model_.Selected; }
    int PressedIndex() const { return model_.PressedIndex; }
    int DropHoverIndex() const { return model_.DropHoverIndex; }
    int BoxHeight() const { return boxHeight_; }
    int DrawTop() const { return drawTop_; }
    int DrawLeft() const { return drawLeft_; }
    void SetDrawTop(int v);
    void SetDrawLeft(int v);
    const wx::TImageList* Images() const { return images_; }
    void SetImages(const wx::TImageList* images);
    char DriveLetter(int i) const { return model_.DriveLetters[static_cast<std::size_t>(i)]; }
    int DriveImage(int i) const { return model_.DriveImages[static_cast<std::size_t>(i)]; }

    void AddDrive(int driveNo, int imageIndex);
    void Clear();
    void SetSelected(int index);
    void SetDropHover(int index);
    int DriveAtPos(int x, int y) const;
    TDriveBarMetrics Metrics() const;

    TDriveClickEvent OnDriveClick;

private:
    void Repaint() const;
    void Paint(HDC dc);
    void DrawBox(HDC dc, int index, bool sunken) const;
    static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

    HWND wnd_ = nullptr;
    TDriveBarModel model_;
    int drawTop_ = 0, drawLeft_ = 0, boxHeight_ = 0;
    const wx::TImageList* images_ = nullptr;
};
