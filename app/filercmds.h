// The rules of the file manager's commands that need no window: the
// one-letter key table, the file lists handed to the shell's file
// operations, the jump to a typed folder, the attribute form's date and
// time fields, the file classes of the context menu and its own command
// ids, shortcut names, and the decisions of drag and drop (edge zones,
// scrolling, effects).  Portable: no <windows.h>.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/filerrules.h"

namespace filer {

// ---- Keys ----------------------------------------------------------------------

enum TKeyCommand {
    kcNone = -1,
    kcCopyMoveDelete,  // C, M, D, Delete
    kcRenameAttr,      // R, A
    kcMakeDirectory,   // K
    kcEditFile,        // E
    kcSelectNext,      // Space
    kcGoUpper,         // Backspace
    kcExecItem,        // Enter
    kcBrowseDrive,     // L
};
// The command of a virtual-key code (the first match of the table of
// twelve); kcNone for keys of code 256 or more and keys not in the table.
TKeyCommand FindKeyCommand(unsigned key);
// The shell's file operations and their flags.
enum TFileOp { foMove = 1, foCopy = 2, foDelete = 3, foRename = 4 };
constexpr unsigned kFilesOnly = 0x80, kAllowUndo = 0x40;
// The operation of a copy, move or delete key, and its flags: delete goes
// to the recycle bin unless Shift is held.
TFileOp FileOpOfKey(unsigned key);
unsigned FileOpFlags(TFileOp op, bool shift);

// ---- Lists for the shell ------------------------------------------------------

// The selected rows (indexes in list order) as NUL-separated prefix +
// name entries, ended by two more NULs; the ".." row and volume labels
// are left out.  Count and has-folder of what went in.
struct TMultiFileList {
    std::string List;
    int Count = 0;
    bool HasFolder = false;
    std::vector<int> Rows;  // the rows that went in, in list order
};
TMultiFileList SetMultiFileList(const std::string& prefix, const TFilerItemList& items, const std::vector<int>& selected);
// Names as one NUL-separated list with a final extra NUL.
template <class S>
S NulListOf(const std::vector<S>& names) {
    S list;
    for (const S& n : names) {
        list += n;
        list += typename S::value_type(0);
    }
    list += typename S::value_type(0);
    return list;
}
std::string NulList(const std::vector<std::string>& names);

// ---- Copy and move destinations ---------------------------------------------------
// The folder a typed destination names, resolved against the listed folder
// current (no trailing backslash): "X:\..." and "\\server\..." stand
// as they are, "\..." is on the listed folder's drive, anything else lies
// under the listed folder.  Empty for an entry that names no folder (blank,
// or "X:name", which is relative to a per-drive folder nobody sees).
std::wstring ResolveDestination(const std::wstring& entry, const std::wstring& current);
// Why a copy or move of source (a file or folder) into folder dest cannot
// be done: the destination is the source itself or lies inside it, or, for
// a move, it is the folder that already holds the source.
enum TCarryRefusal { crNone, crIntoItself, crIntoOwnFolder };
TCarryRefusal CarryRefusal(const std::wstring& source, const std::wstring& dest, bool move);

// ---- Rename ---------------------------------------------------------------------------
// A new name typed for a file or folder: the same name (nothing to do), the
// same name in other letter cases, another name, or one that is no name of
// one item in the same folder (empty, "." or "..", a path separator, a
// drive colon, the shell's wildcards, characters no file name may hold).
enum TRenameCheck { rcUnchanged, rcCaseOnly, rcRename, rcInvalid };
TRenameCheck CheckNewName(const std::string& oldName, const std::string& newName);

// ---- Jump to a typed folder (L) ----------------------------------------------------

// The folder an entry names, with a trailing backslash; empty when the
// entry does nothing ("." or ".." at the root).  current: the listed
// folder without trailing backslash; parent: its parent's ("" at the root).
std::string BrowseDriveTarget(const std::string& entry, const std::string& current, const std::string& parent);

// ---- The attribute form's fields ----------------------------------------------------

enum TFieldCheck { fcOk, fcNotNumber, fcOutOfRange };
// Year, month and day as typed; a field that is no number, and a date that
// does not exist.
TFieldCheck CheckDateFields(const std::string& year, const std::string& month, const std::string& day);
TFieldCheck CheckTimeFields(const std::string& hour, const std::string& minute, const std::string& second);
// The six fields of a DOS time ("yyyy", "m", "d", "h", "n", "s").
std::vector<std::string> TimeFields(const TDosDateTime& t);

// ---- The context menu -------------------------------------------------------------

// The selected names sorted into the three actions by their extension of
// exactly four characters: .WAV encodable and playable, .MP1/.MP2/.MP3
// playable and taggable, .WMA taggable when the WMA library is there, .VQF
// taggable.  Names of other extensions are dropped.
struct TFileClasses {
    std::vector<std::string> Playable, Encodable, Taggable;
};
TFileClasses ClassifySelectedFiles(const std::vector<std::string>& names, bool wmaAvailable);
// Eleven free command ids from 0xF000 up, skipping those the menu holds.
std::vector<unsigned> ReserveMenuIds(const std::function<bool(unsigned id)>& menuHolds);
// The index of id among the reserved ones, or -1.
int FindOwnMenuCommand(const std::vector<unsigned>& reserved, unsigned id);

// ---- Drag and drop ------------------------------------------------------------------

// The shortcut file for a dropped file: "<pattern with name>" when free,
// else the numbered pattern with 2, 3, ... up to 255; empty when none is free.
// The patterns' "%s" takes the name and "%d" the number; a "%" inside
// the name is never read as part of a pattern.
template <class S>
S FillShortcutPattern(const S& pattern, const S& name, int number) {
    S out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
            out += name;
            ++i;
        } else if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 'd') {
            for (char c : std::to_string(number)) out += typename S::value_type(c);
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}
template <class S>
S ShortcutNameOf(const S& folder, const S& fileName, const S& firstPattern, const S& numberedPattern,
                 const std::function<bool(const S&)>& exists) {
    S dir = folder;
    if (dir.empty() || dir.back() != '\\') dir += typename S::value_type('\\');
    S name = dir + FillShortcutPattern(firstPattern, fileName, 0);
    for (int n = 2; exists(name); ++n) {
        if (n > 255) return S();
        name = dir + FillShortcutPattern(numberedPattern, fileName, n);
    }
    return name;
}
std::string ShortcutName(const std::string& folder, const std::string& fileName, const std::string& firstPattern,
                         const std::string& numberedPattern, const std::function<bool(const std::string&)>& exists);
// ".EXE", ".COM", ".PIF" in any case.
bool IsProgramName(const std::string& path);
// The edge flags of a point in a control's client area (width x height):
// 1 a valid place (the caller's), 2 left, 4 right, 8 top, 0x10 bottom, each
// within 11 pixels (the top zone starts below a header of headerHeight).
enum : unsigned { efValid = 1, efLeft = 2, efRight = 4, efTop = 8, efBottom = 0x10 };
unsigned EdgeFlags(int x, int y, int width, int height, int headerHeight);
// Edge scrolling: what one drag-over step does.
struct TEdgeScroll {
    static constexpr unsigned None = 0xFFFF;
    unsigned HCode = None, VCode = None;  // SB_LINELEFT 0 / SB_LINERIGHT 1, SB_LINEUP 0 / SB_LINEDOWN 1
    std::uint32_t StartTime = 0;          // 0: no zone
    unsigned OldFlags = 0;
    // Takes the new flags at time now; true when the control is to scroll
    // (by HCode and VCode) now.  Adds the scroll bit to effect in a zone.
    bool Step(unsigned flags, std::uint32_t now, std::uint32_t& effect);
};
constexpr std::uint32_t kDropEffectScroll = 0x80000000u;
constexpr std::uint32_t deNone = 0, deCopy = 1, deMove = 2, deLink = 4, deOpenWith = 0xFFFF;

}  // namespace filer
