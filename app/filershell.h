// The file manager's namespace on Windows: the shell's folders and
// item-id lists (PIDLs) behind the portable tree and list rules.
#pragma once
#include <string>

#include "app/filerrules.h"
#include "app/filertree.h"
#include "classlib/win.h"

#include <shlobj.h>

namespace filer {

// The shell allocator, counted.
class TShellAllocator : public TPidlAllocator {
public:
    explicit TShellAllocator(IMalloc* m) : m_(m) {
        if (m_) m_->AddRef();
    }
    ~TShellAllocator() override {
        if (m_) m_->Release();
    }
    TShellAllocator(const TShellAllocator&) = delete;
    TShellAllocator& operator=(const TShellAllocator&) = delete;
    void* Alloc(std::size_t bytes) override { return m_ ? m_->Alloc(bytes) : nullptr; }
    void Free(void* p) override {
        if (m_ && p) m_->Free(p);
    }
    IMalloc* Get() const { return m_; }

private:
    IMalloc* m_;
};

// An item of the shell namespace: the folder that holds it (a counted
// reference), its id relative to that folder and, for tree nodes and
// drives, its absolute id.  The ids belong to the item.
class TShellItem : public TNsItem {
public:
    TShellItem(std::shared_ptr<TShellAllocator> alloc, IShellFolder* parent, LPITEMIDLIST pidl, LPITEMIDLIST absolute);
    ~TShellItem() override;
    TShellItem(const TShellItem&) = delete;
    TShellItem& operator=(const TShellItem&) = delete;
    IShellFolder* Parent;
    LPITEMIDLIST Pidl;
    LPITEMIDLIST Absolute;

private:
    std::shared_ptr<TShellAllocator> alloc_;
};

class TShellNamespace : public TNamespace {
public:
    // Takes the shell allocator and the desktop folder for the run.
    explicit TShellNamespace(HWND owner);
    ~TShellNamespace() override;
    TShellNamespace(const TShellNamespace&) = delete;
    TShellNamespace& operator=(const TShellNamespace&) = delete;

    IShellFolder* Desktop() const { return desktop_; }
    TShellAllocator* Allocator() const { return alloc_.get(); }

    // ---- Item-id lists ----
    LPITEMIDLIST CopyItemID(LPCITEMIDLIST pidl);
    LPITEMIDLIST ConcatPidls(LPCITEMIDLIST first, LPCITEMIDLIST second);
    void FreePidl(LPITEMIDLIST pidl);
    // The display name of an item of folder (SHGDN_* flags); false when the
    // shell gives none.
    static bool PidlGetName(IShellFolder* folder, LPCITEMIDLIST pidl, DWORD flags, std::string& name);
    // The absolute id of an item of folder, parsed from its full path
    // through the desktop; null when either step fails.
    LPITEMIDLIST PidlGetFullpassPidl(IShellFolder* folder, LPCITEMIDLIST pidl);
    // The absolute id of an item of folder: parsed, else joined to folderAbsolute.
    LPITEMIDLIST AbsoluteOf(IShellFolder* folder, LPCITEMIDLIST pidl, LPCITEMIDLIST folderAbsolute);

    // ---- Drives ----
    enum TBindResult { brOk, brNoAllocator, brNoDesktop, brNoDrives, brGetName, brDriveBind };
    // Binds the listed drives to their items under My Computer.
    TBindResult BindDrives(TDriveTable& drives);
    // Whether a path parses to an item through the desktop.
    bool IsShellPath(const std::string& path);
    bool IsShellPath(const std::wstring& path);

    // ---- TNamespace ----
    bool Enumerate(const TNsItem& folder, TEnumMode mode, std::vector<TChild>& out) override;
    bool HasSubFolders(const TNsItem& folder) override;
    std::uint32_t Attributes(const TNsItem& item) override;
    int TreeIcon(const TNsItem& item, bool open) override;
    std::string DisplayName(const TNsItem& item) override;
    std::string TypeName(const TNsItem& folder, const TNsItem& row) override;
    int ListIcon(const TNsItem& folder, const TNsItem& row) override;
    bool FindFirst(const std::string& path, TFindRecord& out) override;
    bool FindDirectory(const std::string& path, TFindRecord& out) override;
    bool IsFolder(const std::string& path) override;
    void PathTypeAndIcon(const std::string& path, std::string& type, int& icon) override;

    // A bound folder of an item (null when it cannot be bound); released by the caller.
    IShellFolder* BindFolder(const TShellItem& item);
    std::shared_ptr<TShellItem> MakeItem(IShellFolder* parent, LPITEMIDLIST pidl, LPITEMIDLIST absolute);

private:
    HWND owner_;
    std::shared_ptr<TShellAllocator> alloc_;
    IShellFolder* desktop_ = nullptr;
};

// The find record of a search entry (64-bit size, local DOS time); the
// wide entry also gives the exact name.
TFindRecord FindRecordOf(const WIN32_FIND_DATAA& fd);
TFindRecord FindRecordOf(const WIN32_FIND_DATAW& fd);
// Wide text in the ANSI code page (characters outside it best-fit or '?').
std::string Narrow(const std::wstring& w);
// A name holding the shell's wildcards '?' or '*'.
bool HasWildcard(const std::wstring& w);
// A wide name whose ANSI form names the same file: no wildcard, and back
// to the same wide text.
bool SurvivesAnsi(const std::wstring& w);
// A text of the ANSI code page as the shell's wide text.
std::wstring Widen(const std::string& s);

}  // namespace filer
