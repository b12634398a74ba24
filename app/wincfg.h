// Small rules of the main window's frame that need no window: the help
// file's path and the compression button's toggle.  Portable: no
// <windows.h>.
#pragma once
#include <string>

// The help file beside the current folder: "Wendrix.HLP" right after a
// drive root (a folder text shorter than 4 characters), else after a
// backslash.
std::string HelpFilePath(const std::string& currentDir);

// The compression button: from WAVE (0) to the standard compression method
// (DefEncode 0, 1, 2 give WMA, MP3, TwinVQ); from anything else back to
// WAVE.  A DefEncode outside 0..2 leaves WAVE as it is.
int ToggleOutputMethod(int outputMethod, int defEncode);
