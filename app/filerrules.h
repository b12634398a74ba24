// The file manager's rules that need no window: the list's texts and
// formats, its extension filter and sort orders, the path walk of the
// tree, the start folder, the folder-monitor slots and the bytes of item-id
// lists.  Portable: no <windows.h>.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/fileritem.h"
#include "settings/mainkeys.h"

namespace filer {

// ---- Texts ---------------------------------------------------------------

// 1234567 gives "1,234,567"; negative numbers keep their sign in front.
std::string FormatThousands(std::int64_t n);
// "R", "H", "S", "A" for read-only, hidden, system and archive, in that order.
std::string GetAttrString(std::uint32_t attr);
// The extension of a name from its last dot, the dot included; empty when
// the name has no dot.
std::string ExtensionOf(const std::string& name);
// True when every file is shown, or when some entry of the filter is a
// prefix of the upper-cased extension (".MP" admits ".MP3").
bool IsFilteredExt(const TFilerExtFilter& filter, const std::string& ext);

// A DOS date and time: date in the high word, time in the low word.
struct TDosDateTime {
    int Year = 1980, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;
};
// Whether the parts form a real date and time (years 1980..2107).
bool IsValidDateTime(const TDosDateTime& t);
bool DecodeDosTime(std::uint32_t dos, TDosDateTime& out);  // false when invalid
std::uint32_t EncodeDosTime(const TDosDateTime& t);
// "yy/mm/dd hh:nn AM" on the 12-hour clock; empty when the value is invalid.
std::string FormatDosTime(std::uint32_t dos);

// The status line's used space: (total div 1024) + 1 and "KB".
std::string UsedSpaceText(std::uint64_t byteTotal);
// Free space: empty when unknown (negative); below 1 MiB in KB, else in MB,
// each rounded up by one unit as the used space is.
std::string FreeSpaceText(std::int64_t freeBytes);

// ---- Sorting ----------------------------------------------------------------

// The four orders of the View menu (settings/mainkeys.h, TFilerSortPattern).
int CompareByName(const TFilerItem& a, const TFilerItem& b);
int CompareByExt(const TFilerItem& a, const TFilerItem& b);
int CompareBySize(const TFilerItem& a, const TFilerItem& b);
int CompareByTime(const TFilerItem& a, const TFilerItem& b);
// The primary result r (already turned for a descending order) with the
// ".." row first and folders before files whatever the direction.
int CompareDirsFirst(const TFilerItem& a, const TFilerItem& b, int r);
// Sorts the rows in place by a TFilerSortPattern.
void SortItems(TFilerItemList& items, int pattern, bool descending);
// The order a click on a column picks: columns 1..4 give name, size,
// extension and time; -1 for columns 0 and 5.
int SortPatternOfColumn(int column);

// ---- Paths -------------------------------------------------------------------

// One step of the walk down a path: the component and the path up to and
// including the backslash after it.  Split only at backslashes that are
// whole characters; text after the last backslash is not a step.
struct TPathStep {
    std::string Component, Prefix;
};
std::vector<TPathStep> PathSteps(const std::string& path);
// Upper-cased comparison of two Shift-JIS texts.
bool SameText(const std::string& a, const std::string& b);
// The first argument of a command line as the program's start reads it:
// the program's own name skipped, blanks separate arguments except inside
// double quotes, and the quotes are dropped.
std::string FirstArgument(const std::string& commandLine);

// The folder the pane starts in, with one trailing backslash.  An argument
// naming an existing folder comes first, then the saved boot folder when it
// still exists, then the current folder: a UNC path gives way to the
// Windows folder, and the result is cut to its drive root (X:\).
std::string StartFolder(const std::string& argument, const std::string& bootDir, const std::string& currentDir,
                        const std::string& windowsDir, const std::function<bool(const std::string&)>& isFolder);

// ---- Folder monitors ---------------------------------------------------------

// The process-wide set of monitor slots: 0..9 are handed out, the lowest
// free one first.
class TMonitorSlots {
public:
    static constexpr int Count = 10;
    // The slot taken, or -1 when all ten are taken.
    int Take();
    void Release(int slot);
    bool Taken(int slot) const { return slot >= 0 && slot < 16 && (bits_ & (1u << slot)) != 0; }

private:
    std::uint16_t bits_ = 0;
};

// ---- Item-id lists -------------------------------------------------------------

// An item-id list is a chain of items, each starting with its 16-bit byte
// count (the count included), ended by a zero count.  Memory comes from
// and goes back to the allocator given.
struct TPidlAllocator {
    virtual ~TPidlAllocator() = default;
    virtual void* Alloc(std::size_t bytes) = 0;
    virtual void Free(void* p) = 0;
};
// Bytes of the whole list with its 2-byte terminator; 0 for none.
std::size_t PidlGetSize(const void* pidl);
// A new list holding the first item of pidl, terminated; null when the
// allocator fails or pidl is none.
void* CopyItemID(TPidlAllocator& alloc, const void* pidl);
// A new list: first without its terminator, then second with it; null when
// the allocator fails.
void* ConcatPidls(TPidlAllocator& alloc, const void* first, const void* second);

}  // namespace filer
