// The main window's own keys in the settings file and the file manager's
// state that the settings dialog edits.  The main window reads them at its
// creation (ReadMainWindowKeys, from GetWinCfg), keeps MainWindowKeys
// current while it runs (at the latest in its close handler, before
// StoreCfg), and StoreCfg writes them back with every other setting.  A
// value the main window never touches is written as it was read, so a
// start and a close without change keep every key.  Portable: no
// <windows.h>.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "settings/inifile.h"

// The file list's extension filter: up to 16 upper-cased extensions with
// their dot, at most 15 characters each.
struct TFilerExtFilter {
    static constexpr int MaxEntries = 16;
    static constexpr std::size_t MaxLength = 15;
    std::array<std::string, MaxEntries> Entries{};
    int Count = 0;
    bool ShowAll = true;  // list every file, not only the registered extensions
    // Appends an entry (cut to 15 bytes); false when the filter is full.
    bool Add(const std::string& ext);
    // Removes every entry equal to ext without regard to ASCII case; the
    // rest move up and Count is the number left.  The number removed.
    int Remove(const std::string& ext);
    // Index of the entry equal to ext without regard to ASCII case, or -1.
    int Find(const std::string& ext) const;
};

// Sort order of the file list (the checked item of the sort sub-menu).
enum TFilerSortPattern : int { spFileName = 0, spExtention = 1, spSize = 2, spTime = 3 };

struct TMainWindowKeys {
    // [Common]
    std::int32_t WindowTop = 0, WindowLeft = 0;
    std::int32_t WindowHeight = 480, WindowWidth = 640;
    std::int32_t CDPWindowTop = 0, CDPWindowLeft = 0;  // the CD player panel
    std::int32_t DirViewWidth = 200;                  // folder-tree panel
    std::int32_t TrackViewHeight = 180;               // track-list panel
    // Track-list column widths; -1 (never set) is written back as -1.
    std::array<std::int32_t, 7> TrColW{-1, -1, -1, -1, -1, -1, -1};
    bool LargeIcon = false;           // ListViewPattern "LargeIcon" / "Report"
    int SortPattern = spFileName;     // TFilerSortPattern
    bool SortAscending = true;        // SortDir "Normal" / "Reverse"
    bool DispToolBar = true;
    bool DispPlayPanel = true;
    std::string CurrentPath;          // start folder of the save dialog (read by GetCfg)
    // [Filer]
    bool IsDispCDROM = true;          // the drive bar shows CD drives
    std::string BootDir;              // start folder of the next run; empty unless ChangeBootDir
    // True once the keys were read from a file.
    bool Loaded = false;
};

// The values of the run.
extern TMainWindowKeys MainWindowKeys;
extern TFilerExtFilter FilerExtFilter;
// Folder-change and device-change notices refresh the file manager.
extern bool AutoRefresh;

// Reads the main window's keys with the fall-backs of its start-up
// (positions below -255 give 0, negative sizes the default sizes, a zero
// panel size 1), the [Filer] state (AutoRefresh, IsDispCDROM, the extension
// filter) and BootDir when [Filer] ChangeBootDir is "Yes".
void ReadMainWindowKeys(TCustomIniFile& ini, TMainWindowKeys& keys, TFilerExtFilter& filter, bool& autoRefresh);

// The stored words.
const char* ListViewPatternWord(bool largeIcon);
const char* SortPatternWord(int pattern);
const char* SortDirWord(bool ascending);
