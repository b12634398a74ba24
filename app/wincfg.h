// The main window's own settings keys and the small rules of its frame that
// need no window: geometry fall-backs, the file list's extension filter,
// the help-file path, the compression button's toggle.  Portable: no
// <windows.h>.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "settings/inifile.h"

// The extension filter of the file list: up to 16 upper-case extensions of
// at most 15 characters, and whether every file is shown anyway.
struct TFilerExtFilter {
    static constexpr int MaxEntries = 16;
    static constexpr std::size_t MaxLength = 15;
    std::array<std::string, MaxEntries> Exts{};
    std::int32_t Count = 0;
    bool ShowAll = true;
};

enum TListSort : int { lsFileName = 0, lsExtension = 1, lsSize = 2, lsTime = 3 };

// The values behind the main window's keys, as the window holds them.
struct TWinCfg {
    // Common
    bool DispToolBar = true;
    bool DispPlayPanel = true;
    std::int32_t WindowTop = 0, WindowLeft = 0;
    std::int32_t CDPWindowTop = 0, CDPWindowLeft = 0;
    std::int32_t WindowHeight = 480, WindowWidth = 640;
    std::int32_t DirViewWidth = 200;
    std::int32_t TrackViewHeight = 180;
    bool LargeIcon = false;          // ListViewPattern
    std::int32_t SortPattern = lsFileName;
    bool SortAscending = true;       // SortDir
    // Track-list column widths; -1 keeps the layout's width.
    std::array<std::int32_t, 7> TrColW{-1, -1, -1, -1, -1, -1, -1};
    // Filer
    bool ChangeBootDir = false;
    std::string BootDir;             // empty unless ChangeBootDir
    std::string BootDirInFile;       // the key's value as read, whatever ChangeBootDir says
    bool AutoRefresh = true;
    bool IsDispCDROM = true;
    TFilerExtFilter Filter;
};

// Reads every key of the main window with its default and fall-back.
TWinCfg ReadWinCfg(TCustomIniFile& ini);
// Writes them back, in the forms ReadWinCfg reads.  [Filer] keys are
// written without erasing the section (the settings store erases it
// first and writes its own keys there).
void WriteWinCfg(const TWinCfg& cfg, TCustomIniFile& ini);

// The help file beside the current folder: "Wendrix.HLP" right after a
// drive root (a folder text shorter than 4 characters), else after a
// backslash.
std::string HelpFilePath(const std::string& currentDir);

// The compression button: from WAVE (0) to the standard compression method
// (DefEncode 0, 1, 2 give WMA, MP3, TwinVQ); from anything else back to
// WAVE.  A DefEncode outside 0..2 leaves WAVE as it is.
int ToggleOutputMethod(int outputMethod, int defEncode);
