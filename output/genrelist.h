// Genre lists of the tag dialogs and their choice.  Portable: no
// <windows.h>.
#pragma once
#include <string>
#include <vector>

// The text of "no genre", always the first item of a genre list.
extern const char* const NoGenreText;  // "-None-"

// "-None-", then in genre-number order the display name of every genre in
// the display set or equal to `current`; with `all` every genre 0..255.
std::vector<std::string> GenreListItems(bool all, int current);
// Sorts the items after the first alphabetically (ASCII case ignored).
void SortGenreItems(std::vector<std::string>& items);
// Index of `text` in the items (exact), -1 when absent.
int IndexOfGenreItem(const std::vector<std::string>& items, const std::string& text);

// Genre number stored for the selected item: its number by name when it is
// not "-None-" or when "no genre" is allowed ("-None-" gives -1); else the
// first number that has no name at all.
int GenreOfSelection(const std::string& selected, bool allowNoGenre);

// Where a dialog goes to be centred on the monitor of the main window.
struct TMonitorArea {
    int Left, Top, Width, Height;
};
struct TPlace {
    int Left, Top;
};
// The first monitor whose bottom edge lies below the main window's top and
// whose right edge lies right of its left (monitor 0 when none), the
// dialog centred there and kept from the monitor's left and top edges.
TPlace CenterOnMonitor(const std::vector<TMonitorArea>& monitors, int mainLeft, int mainTop, int width, int height);
