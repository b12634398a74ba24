#include "app/ctrlmodel.h"

#include <algorithm>

bool TDriveBarModel::AddDrive(int driveNo, int imageIndex) {
    if (Drives > MaxDrives - 1) return false;
    DriveLetters.push_back(static_cast<char>('A' + driveNo));
    DriveImages.push_back(imageIndex);
    ++Drives;
    return true;
}

void TDriveBarModel::Clear() {
    Drives = 0;
    Selected = PressedIndex = DropHoverIndex = -1;
    DriveLetters.clear();
    DriveImages.clear();
}

std::int32_t TDriveBarModel::ClampIndex(std::int32_t index) const {
    if (Drives <= 0 || index < 0) return -1;
    return index >= Drives ? Drives - 1 : index;
}

TDriveBarMetrics TDriveBarMetrics::From(int textWidthA, int textHeight, int imageWidth, int imageHeight) {
    return {textWidthA + imageWidth + 12, std::max(imageHeight, textHeight)};
}

int DriveAtPos(const TDriveBarModel& m, const TDriveBarMetrics& g, int drawLeft, int drawTop, int x, int y) {
    if (y < drawTop || y >= drawTop + g.RowHeight + 4) return -1;
    for (int i = 0; i < m.Drives; ++i)
        if (x >= drawLeft + i * g.ButtonWidth && x < drawLeft + (i + 1) * g.ButtonWidth) return i;
    return -1;
}

bool NumEditAccepts(unsigned char c, bool enableMinus) {
    if (c <= 31) return true;
    if (c >= '0' && c <= '9') return true;
    return c == '-' && enableMinus;
}

void ApplyOverlay(TOverlayRequest& r, int overlay) {
    if (!(r.Mask & kLvifState)) {
        r.State = 0;
        r.StateMask = 0;
    }
    if (overlay >= 0) {
        r.State |= static_cast<std::uint32_t>(overlay + 1) << 8;
        r.Mask |= kLvifState;
        r.StateMask |= kOverlayMask;
    }
}
