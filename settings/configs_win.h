// The Windows side of the settings store: platform detection, the rip
// memory block and the folder picker.  Windows only.
#pragma once
#include <string>

#include "classlib/win.h"

// Sets IsWindows95, IsWindowsNT and IsWindowsNT5 from the running system.
void DetectPlatform();

// Reserves RipCacheBuffer (a movable global block, locked and zeroed) as
// memoryUseRatio percent of the available physical memory, at most
// MaxRipCacheBytes; records the memory figures.  On failure the handle,
// address and size are all empty.  Returns whether a block is held.
bool ReserveRipCacheBuffer(int memoryUseRatio);
void FreeRipCacheBuffer();

// The system folder picker rooted at the desktop, file-system folders only,
// with initialFolder selected when it is not empty.  The chosen folder's
// path, or an empty text on cancel or when the choice has no path.
std::string BrowseForFolder(HWND owner, const std::string& title, const std::string& initialFolder);
