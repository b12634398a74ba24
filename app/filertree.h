// The folder tree and the file list over a namespace seam: building and
// expanding tree levels, merging a level with the disk, walking a path
// down the tree, and listing one folder into records.  Portable: no
// <windows.h>.  On Windows the namespace is the shell's (app/filershell.h)
// and the tree is the main window's tree control; tests use their own.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/fileritem.h"
#include "settings/mainkeys.h"

namespace filer {

// The attributes of an item the pane asks about.
enum : std::uint32_t {
    nsFolder = 0x01,
    nsFileSystem = 0x02,
    nsHasSubFolder = 0x04,
    nsShare = 0x08,
    nsLink = 0x10,
    nsReadOnly = 0x20,
    nsGhosted = 0x40,
};

// What a file search reports of one entry.
struct TFindRecord {
    std::string Name;
    std::uint32_t Attr = 0;
    std::int64_t Size = 0;
    std::uint32_t Time = 0;  // DOS date and time, local
    std::wstring WideName;   // the exact name; empty when not known
};

class TNamespace {
public:
    virtual ~TNamespace() = default;

    struct TChild {
        std::shared_ptr<TNsItem> Item;
        std::uint32_t Attrs = 0;  // ns* bits
        std::string ParsingName;  // tree: the full path; empty when not obtainable
        bool HasFind = false;     // the item's find record, as the shell keeps it with the item
        TFindRecord Find;
    };
    enum TEnumMode {
        emTree,  // folders with attributes, parsing names, absolute ids and find records
        emList,  // folders and files with attributes and find records
    };
    // The items of a folder, hidden ones included; false when the folder
    // cannot be bound or enumerated.
    virtual bool Enumerate(const TNsItem& folder, TEnumMode mode, std::vector<TChild>& out) = 0;
    // Whether a folder holds at least one folder (hidden ones included).
    virtual bool HasSubFolders(const TNsItem& folder) = 0;
    // The item's attributes as they are now.
    virtual std::uint32_t Attributes(const TNsItem& item) = 0;
    // Index in the system image list of a tree item, closed or open.
    virtual int TreeIcon(const TNsItem& item, bool open) = 0;
    virtual std::string DisplayName(const TNsItem& item) = 0;
    // Type name and icon index of a list row held by folder.
    virtual std::string TypeName(const TNsItem& folder, const TNsItem& row) = 0;
    virtual int ListIcon(const TNsItem& folder, const TNsItem& row) = 0;
    // The file system: the first entry a search on path finds; the first
    // entry with the directory attribute; an existing folder; the type name
    // and icon index of a path.
    virtual bool FindFirst(const std::string& path, TFindRecord& out) = 0;
    virtual bool FindDirectory(const std::string& path, TFindRecord& out) = 0;
    virtual bool IsFolder(const std::string& path) = 0;
    virtual void PathTypeAndIcon(const std::string& path, std::string& type, int& icon) = 0;
};

// One listed drive, by its place in the drive bar.
struct TDriveEntry {
    std::string Root;        // "C:\"
    int Type = 0;            // 2 removable, 3 fixed, 4 remote, 5 CD-ROM, 6 RAM disk
    TFilerItem Item;         // the drive's item under My Computer; Attr faDriveShared
    std::string LastFolder;  // the last listed folder of a fixed drive, with "\"
};
using TDriveTable = std::vector<TDriveEntry>;
constexpr int dtRemovable = 2, dtFixed = 3, dtRemote = 4, dtCdRom = 5;

// A node of the tree control; null is none.
using TNode = void*;
// A node's icons are not part of its look: the tree asks NodeIcon for
// them when it first draws the node, so that a level of many folders costs
// the shell's icon lookups only for the nodes on the screen.
struct TNodeLook {
    std::string Text;
    bool Button = false;  // the expand button
    int Overlay = -1;     // 0 the shared hand
};
class TTreeSink {
public:
    virtual ~TTreeSink() = default;
    virtual TNode Root() const = 0;
    virtual TNode FirstChild(TNode node) const = 0;
    virtual TNode Next(TNode node) const = 0;
    virtual TNode Parent(TNode node) const = 0;
    virtual TFilerItem* Record(TNode node) const = 0;
    // Adds a node under parent (null: at the top) owning rec; the parent
    // gets the expand button.
    virtual TNode Add(TNode parent, std::unique_ptr<TFilerItem> rec, const TNodeLook& look) = 0;
    // Deletes a node with its children and their records; a parent left
    // without children loses its button.
    virtual void Delete(TNode node) = 0;
    virtual void Clear() = 0;
    virtual bool HasButton(TNode node) const = 0;
    virtual void SetButton(TNode node, bool on) = 0;
    virtual void SetOverlay(TNode node, int overlay) = 0;
    virtual TNode Selected() const = 0;
    virtual void Select(TNode node) = 0;
    virtual void Expand(TNode node) = 0;
    // Puts the children of node (null: the top level) in the order of
    // their texts.
    virtual void SortChildren(TNode node) = 0;
};

class TFilerTree {
public:
    TFilerTree(TNamespace& ns, TTreeSink& tree) : ns_(ns), tree_(tree) {}

    TDriveTable Drives;
    // The type of the drive selected in the drive bar (0 when none).
    std::function<int()> SelectedDriveType;

    // Builds one level: with no node a new root for the drive whose root is
    // path (the tree is cleared first); then the node's sub-folders.  False
    // when the folder could not be enumerated.
    bool ExpandTreeView(TNode node, const std::string& path);
    // Adds one found folder under parent; the new node, or null when the
    // entry is no folder.
    TNode AddNewTree(TNode parent, const TFindRecord& found, std::uint32_t attrs, std::unique_ptr<TFilerItem> rec);
    // The icon of a node's record, closed or open, asked of the namespace
    // once and kept in the record.
    int NodeIcon(TFilerItem& rec, bool open);
    // The folder of a node without trailing backslash ("C:" for the root);
    // empty for none.
    std::string GetFilePathAt(TNode node) const;
    // The same folder with every name exactly as the file system holds
    // it; empty when a record on the way does not know its exact name.
    std::wstring GetWidePathAt(TNode node) const;
    // Merges a node's loaded levels with the disk (path with trailing "\").
    void CheckTree(const std::string& path, TNode node);
    // Sets the mark of every node's record.
    void SetMarks();
    // The first child whose record name equals name without regard to case.
    TNode ChildNamed(TNode parent, const std::string& name) const;
    // Walks a path (with trailing "\") down the tree: onDrive(prefix) for
    // the drive, which then becomes the expanded and selected root; each
    // later component found among the selected node's children is loaded,
    // expanded and selected; a missing one leaves the selection where it is.
    void Walk(const std::string& path, const std::function<void(const std::string& prefix)>& onDrive);
    // The index of the drive whose root is root (any case), or -1.
    int DriveOfRoot(const std::string& root) const;
    bool HasLoadedChildren(TNode node) const;

private:
    // A found sub-folder of a tree level, ready to be added.
    struct TFound {
        TFindRecord Find;
        std::uint32_t Attrs;
        std::string Path;
        std::unique_ptr<TFilerItem> Rec;
    };
    bool ReadLevel(const TNsItem& folder, std::vector<TFound>& out);
    TNamespace& ns_;
    TTreeSink& tree_;
};

// One folder listed into records.
struct TListing {
    TFilerItemList Items;
    int ItemCount = 0;             // file-system items seen, shown or not
    std::uint64_t ByteTotal = 0;   // bytes of the files among them
    std::size_t LongestName = 5;   // column-width trackers
    std::size_t LongestType = 13;
};
// Lists folder (the item of the selected tree node) shown as listedFolder
// (no trailing backslash, a drive root keeps it): the ".." row unless it is
// a drive root, every folder, the files the filter admits.  Without a
// folder item only the ".." row is made.
void ListFolder(TNamespace& ns, const TNsItem* folder, const std::string& listedFolder, const TFilerExtFilter& filter,
                TListing& out);

}  // namespace filer
