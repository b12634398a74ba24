// The rules of the custom controls that need no window: the drive bar's
// buttons, indices and hit test, the numeric edit's character filter and
// the file list's overlay bits.  Portable: no <windows.h>.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TDriveBarModel {
    static constexpr int MaxDrives = 27;
    std::int32_t Drives = 0;
    std::int32_t Selected = -1;
    std::int32_t PressedIndex = -1;
    std::int32_t DropHoverIndex = -1;
    std::string DriveLetters;            // one letter per button
    std::vector<std::int32_t> DriveImages;  // image index per button

    // False (nothing added) when 27 buttons exist already.
    bool AddDrive(int driveNo, int imageIndex);
    void Clear();
    // The index SetSelected and SetDropHover keep: -1 with no buttons (and
    // for any negative index); an index at or past the last button becomes
    // the last button.
    std::int32_t ClampIndex(std::int32_t index) const;
};

// Button geometry from the font and image sizes: W = text width of "A" +
// image width + 12, H = max(image height, text height).
struct TDriveBarMetrics {
    int ButtonWidth = 0;
    int RowHeight = 0;
    static TDriveBarMetrics From(int textWidthA, int textHeight, int imageWidth, int imageHeight);
};

// The first button whose box (x from DrawLeft + i*W up to, not including,
// the next, y from DrawTop up to DrawTop + H + 4) holds the point; -1 if none.
int DriveAtPos(const TDriveBarModel& m, const TDriveBarMetrics& g, int drawLeft, int drawTop, int x, int y);

// The numeric edit: a typed character passes when it is a control
// character (code 31 or less), a digit, or "-" with the minus allowed.
bool NumEditAccepts(unsigned char c, bool enableMinus);

// The file list's overlay for one display request of the main column:
// given the request's mask, state and state mask, the row's overlay index
// (1 link, 0 share, -1 none) sets the overlay-image bits.
struct TOverlayRequest {
    std::uint32_t Mask, State, StateMask;
};
constexpr std::uint32_t kLvifState = 0x0008;       // LVIF_STATE
constexpr std::uint32_t kOverlayMask = 0x0F00;     // LVIS_OVERLAYMASK
void ApplyOverlay(TOverlayRequest& r, int overlay);
