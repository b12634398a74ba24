// One row of the file list, one node of the folder tree, one listed drive.
// Portable: no <windows.h>.  The shell's side of a record (the folder that
// holds the item, its id relative to that folder and, for tree nodes and
// drives, its absolute id) is an opaque TNsItem of the namespace in use;
// records share it, and the last record to let go of it frees it.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// An item of the shell namespace as the namespace in use represents it.
class TNsItem {
public:
    virtual ~TNsItem() = default;
};

// File attributes as the file system reports them.
enum : std::uint32_t {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faVolumeID = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
};
// In a drive's record the archive bit means "shared" instead.
constexpr std::uint32_t faDriveShared = 0x20;

struct TFilerItem {
    // The search part: what the list shows.
    std::uint32_t Time = 0;  // DOS date (high word) and time (low word), local time
    std::int64_t Size = 0;   // bytes, all 64 bits
    std::uint32_t Attr = 0;
    std::string Name;        // file-system name in the ANSI code page; ".." for the parent row
    // The name exactly as the file system holds it (UTF-16 code units);
    // empty when not known.  Name is what the row shows: a name with
    // characters outside the ANSI code page shows a look-alike there.
    std::wstring WideName;
    // The shell part: null for the ".." row.
    std::shared_ptr<TNsItem> Item;
    bool TreeMark = false;   // used by the tree refresh
    std::int32_t IconIndex = -1;  // system image list, -1 until first drawn (a tree node: closed)
    std::int32_t OpenIconIndex = -1;  // a tree node's open icon, -1 until first drawn
    std::int32_t Overlay = -1;    // 1 shortcut arrow, 0 shared hand, -1 none
    std::string TypeName;         // the shell's type name, at most 64 bytes

    bool IsDirectory() const { return (Attr & faDirectory) != 0; }
    bool IsParentRow() const { return Name == ".."; }
};

// The rows of the file list in display order; row i shows record i.
using TFilerItemList = std::vector<std::unique_ptr<TFilerItem>>;
