#include "app/filershell.h"

#include <shellapi.h>

#include "classlib/sjis.h"

namespace filer {

namespace {

std::string NarrowZ(const wchar_t* w) {
    if (!w) return std::string();
    const int n = WideCharToMultiByte(CP_ACP, 0, w, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string s(static_cast<std::size_t>(n - 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, w, -1, s.data(), n, nullptr, nullptr);
    return s;
}

std::uint32_t NsBits(ULONG a) {
    std::uint32_t b = 0;
    if (a & SFGAO_FOLDER) b |= nsFolder;
    if (a & SFGAO_FILESYSTEM) b |= nsFileSystem;
    if (a & SFGAO_HASSUBFOLDER) b |= nsHasSubFolder;
    if (a & SFGAO_SHARE) b |= nsShare;
    if (a & SFGAO_LINK) b |= nsLink;
    if (a & SFGAO_READONLY) b |= nsReadOnly;
    if (a & SFGAO_GHOSTED) b |= nsGhosted;
    return b;
}

const TShellItem& Shell(const TNsItem& i) { return static_cast<const TShellItem&>(i); }

}  // namespace

std::wstring Widen(const std::string& s) {
    const int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
    if (n <= 1) return std::wstring();
    std::wstring w(static_cast<std::size_t>(n - 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, w.data(), n);
    return w;
}

std::string Narrow(const std::wstring& w) { return NarrowZ(w.c_str()); }

bool SurvivesAnsi(const std::wstring& w) { return !HasWildcard(w) && Widen(Narrow(w)) == w; }

bool HasWildcard(const std::wstring& w) { return w.find_first_of(L"?*") != std::wstring::npos; }

namespace {

// Attributes, size and local DOS time: the same in both forms of find data.
template <class FindData>
TFindRecord SizeAndTimeOf(const FindData& fd) {
    TFindRecord r;
    r.Attr = fd.dwFileAttributes;
    r.Size = static_cast<std::int64_t>((static_cast<std::uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow);
    FILETIME local{};
    WORD date = 0, time = 0;
    if (FileTimeToLocalFileTime(&fd.ftLastWriteTime, &local) && FileTimeToDosDateTime(&local, &date, &time))
        r.Time = (static_cast<std::uint32_t>(date) << 16) | time;
    return r;
}

}  // namespace

TFindRecord FindRecordOf(const WIN32_FIND_DATAW& fd) {
    TFindRecord r = SizeAndTimeOf(fd);
    r.WideName = fd.cFileName;
    r.Name = NarrowZ(fd.cFileName);
    return r;
}

TFindRecord FindRecordOf(const WIN32_FIND_DATAA& fd) {
    TFindRecord r = SizeAndTimeOf(fd);
    r.Name = fd.cFileName;
    return r;
}

// ---- TShellItem ------------------------------------------------------------------

TShellItem::TShellItem(std::shared_ptr<TShellAllocator> alloc, IShellFolder* parent, LPITEMIDLIST pidl,
                       LPITEMIDLIST absolute)
    : Parent(parent), Pidl(pidl), Absolute(absolute), alloc_(std::move(alloc)) {
    if (Parent) Parent->AddRef();
}

TShellItem::~TShellItem() {
    alloc_->Free(Pidl);
    alloc_->Free(Absolute);
    if (Parent) Parent->Release();
}

// ---- TShellNamespace -----------------------------------------------------------------

TShellNamespace::TShellNamespace(HWND owner) : owner_(owner) {
    IMalloc* m = nullptr;
    if (FAILED(SHGetMalloc(&m))) m = nullptr;
    alloc_ = std::make_shared<TShellAllocator>(m);
    if (m) m->Release();
    if (FAILED(SHGetDesktopFolder(&desktop_))) desktop_ = nullptr;
}

TShellNamespace::~TShellNamespace() {
    if (desktop_) desktop_->Release();
}

LPITEMIDLIST TShellNamespace::CopyItemID(LPCITEMIDLIST pidl) {
    return static_cast<LPITEMIDLIST>(filer::CopyItemID(*alloc_, pidl));
}

LPITEMIDLIST TShellNamespace::ConcatPidls(LPCITEMIDLIST first, LPCITEMIDLIST second) {
    return static_cast<LPITEMIDLIST>(filer::ConcatPidls(*alloc_, first, second));
}

void TShellNamespace::FreePidl(LPITEMIDLIST pidl) { alloc_->Free(pidl); }

bool TShellNamespace::PidlGetName(IShellFolder* folder, LPCITEMIDLIST pidl, DWORD flags, std::string& name) {
    STRRET sr{};
    if (!folder || FAILED(folder->GetDisplayNameOf(pidl, flags, &sr))) return false;
    switch (sr.uType) {
    case STRRET_WSTR:
        name = NarrowZ(sr.pOleStr);
        CoTaskMemFree(sr.pOleStr);
        return true;
    case STRRET_OFFSET:
        name = reinterpret_cast<const char*>(pidl) + sr.uOffset;
        return true;
    case STRRET_CSTR:
        name = sr.cStr;
        return true;
    default:
        return false;
    }
}

LPITEMIDLIST TShellNamespace::PidlGetFullpassPidl(IShellFolder* folder, LPCITEMIDLIST pidl) {
    std::string path;
    if (!desktop_ || !PidlGetName(folder, pidl, SHGDN_FORPARSING, path)) return nullptr;
    std::wstring w = Widen(path);
    LPITEMIDLIST abs = nullptr;
    ULONG eaten = 0;
    if (FAILED(desktop_->ParseDisplayName(nullptr, nullptr, w.data(), &eaten, &abs, nullptr))) return nullptr;
    return abs;
}

LPITEMIDLIST TShellNamespace::AbsoluteOf(IShellFolder* folder, LPCITEMIDLIST pidl, LPCITEMIDLIST folderAbsolute) {
    if (LPITEMIDLIST abs = PidlGetFullpassPidl(folder, pidl)) return abs;
    return ConcatPidls(folderAbsolute, pidl);
}

std::shared_ptr<TShellItem> TShellNamespace::MakeItem(IShellFolder* parent, LPITEMIDLIST pidl, LPITEMIDLIST absolute) {
    return std::make_shared<TShellItem>(alloc_, parent, pidl, absolute);
}

bool TShellNamespace::IsShellPath(const std::string& path) { return IsShellPath(Widen(path)); }

bool TShellNamespace::IsShellPath(const std::wstring& path) {
    // A wildcard is no file's name (the shell would take it for a pattern).
    if (!desktop_ || path.empty() || HasWildcard(path)) return false;
    std::wstring w = path;
    LPITEMIDLIST pidl = nullptr;
    ULONG eaten = 0;
    if (FAILED(desktop_->ParseDisplayName(nullptr, nullptr, w.data(), &eaten, &pidl, nullptr))) return false;
    FreePidl(pidl);
    return true;
}

TShellNamespace::TBindResult TShellNamespace::BindDrives(TDriveTable& drives) {
    for (TDriveEntry& d : drives) d.Item = TFilerItem();
    if (!alloc_->Get()) return brNoAllocator;
    if (!desktop_) return brNoDesktop;
    LPITEMIDLIST computer = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer))) return brNoDrives;
    TBindResult result = brOk;
    ULONG attrs = SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
    LPCITEMIDLIST one = computer;
    if (SUCCEEDED(desktop_->GetAttributesOf(1, &one, &attrs)) && (attrs & SFGAO_FOLDER)) {
        std::string name;
        if (!PidlGetName(desktop_, computer, SHGDN_FORPARSING, name)) {
            FreePidl(computer);
            return brGetName;
        }
        LPITEMIDLIST item = CopyItemID(computer);
        LPITEMIDLIST abs = AbsoluteOf(desktop_, computer, nullptr);
        IShellFolder* folder = nullptr;
        bool bound = false;
        if ((attrs & SFGAO_HASSUBFOLDER) && SUCCEEDED(desktop_->BindToObject(item, nullptr, IID_IShellFolder,
                                                                                reinterpret_cast<void**>(&folder)))) {
            IEnumIDList* e = nullptr;
            if (SUCCEEDED(folder->EnumObjects(owner_, SHCONTF_FOLDERS, &e)) && e) {
                LPITEMIDLIST child = nullptr;
                ULONG got = 0;
                while (e->Next(1, &child, &got) == S_OK && got == 1) {
                    ULONG a = SFGAO_HASSUBFOLDER | SFGAO_FOLDER | SFGAO_SHARE;
                    LPCITEMIDLIST c = child;
                    std::string path;
                    if (SUCCEEDED(folder->GetAttributesOf(1, &c, &a)) && (a & SFGAO_FOLDER) &&
                        PidlGetName(folder, child, SHGDN_FORPARSING, path)) {
                        const std::string up = wx::SjisUpperCase(path);
                        for (TDriveEntry& d : drives) {
                            if (d.Root != up || d.Item.Item) continue;
                            d.Item.Item = MakeItem(folder, CopyItemID(child), AbsoluteOf(folder, child, abs));
                            if (a & SFGAO_SHARE)
                                d.Item.Attr |= faDriveShared;
                            else
                                d.Item.Attr &= ~faDriveShared;
                            bound = true;
                        }
                    }
                    FreePidl(child);
                }
                e->Release();
            }
            folder->Release();
        }
        if ((attrs & SFGAO_HASSUBFOLDER) && !bound) result = brDriveBind;
        FreePidl(item);
        FreePidl(abs);
    }
    FreePidl(computer);
    return result;
}

IShellFolder* TShellNamespace::BindFolder(const TShellItem& item) {
    IShellFolder* folder = nullptr;
    if (!item.Parent || FAILED(item.Parent->BindToObject(item.Pidl, nullptr, IID_IShellFolder,
                                                          reinterpret_cast<void**>(&folder))))
        return nullptr;
    return folder;
}

bool TShellNamespace::Enumerate(const TNsItem& f, TEnumMode mode, std::vector<TChild>& out) {
    const TShellItem& item = Shell(f);
    IShellFolder* folder = BindFolder(item);
    if (!folder) return false;
    IEnumIDList* e = nullptr;
    const SHCONTF what = mode == emTree ? SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN
                                        : SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN;
    if (FAILED(folder->EnumObjects(owner_, what, &e)) || !e) {
        folder->Release();
        return false;
    }
    LPITEMIDLIST child = nullptr;
    ULONG got = 0;
    while (e->Next(1, &child, &got) == S_OK && got == 1) {
        TChild c;
        LPCITEMIDLIST one = child;
        ULONG a = mode == emTree ? SFGAO_HASSUBFOLDER | SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_SHARE
                                 : SFGAO_FILESYSTEM | SFGAO_LINK | SFGAO_SHARE | SFGAO_READONLY | SFGAO_GHOSTED;
        if (FAILED(folder->GetAttributesOf(1, &one, &a))) a = 0;
        c.Attrs = NsBits(a);
        // The wide find record: the ANSI one holds a look-alike (or '?')
        // for characters outside the code page.
        WIN32_FIND_DATAW fd{};
        const bool wanted = mode == emList || (a & (SFGAO_FILESYSTEM | SFGAO_FOLDER)) == (SFGAO_FILESYSTEM | SFGAO_FOLDER);
        if (wanted && SUCCEEDED(SHGetDataFromIDListW(folder, child, SHGDFIL_FINDDATA, &fd, sizeof fd))) {
            c.HasFind = true;
            c.Find = FindRecordOf(fd);
            // Some shells fill even the wide record from the item's ANSI
            // name; the item's own parsing name is exact.
            STRRET sr{};
            if (SUCCEEDED(folder->GetDisplayNameOf(child, SHGDN_INFOLDER | SHGDN_FORPARSING, &sr)) &&
                sr.uType == STRRET_WSTR) {
                const std::wstring exact = sr.pOleStr ? sr.pOleStr : L"";
                CoTaskMemFree(sr.pOleStr);
                if (!exact.empty() && NarrowZ(exact.c_str()) == c.Find.Name) c.Find.WideName = exact;
            }
        }
        if (mode == emTree) {
            // A child's absolute id is its folder's with its own joined:
            // parsing each child's full path through the desktop again
            // costs more than the whole enumeration.
            if (wanted && PidlGetName(folder, child, SHGDN_FORPARSING, c.ParsingName))
                c.Item = MakeItem(folder, CopyItemID(child),
                                  item.Absolute ? ConcatPidls(item.Absolute, child) : AbsoluteOf(folder, child, nullptr));
        } else if (c.HasFind && (a & SFGAO_FILESYSTEM)) {
            c.Item = MakeItem(folder, CopyItemID(child), nullptr);
        }
        FreePidl(child);
        if (c.Item) out.push_back(std::move(c));
    }
    e->Release();
    folder->Release();
    return true;
}

bool TShellNamespace::HasSubFolders(const TNsItem& f) {
    IShellFolder* folder = BindFolder(Shell(f));
    if (!folder) return false;
    bool any = false;
    IEnumIDList* e = nullptr;
    if (SUCCEEDED(folder->EnumObjects(owner_, SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN, &e)) && e) {
        LPITEMIDLIST child = nullptr;
        ULONG got = 0;
        if (e->Next(1, &child, &got) == S_OK && got == 1) {
            any = true;
            FreePidl(child);
        }
        e->Release();
    }
    folder->Release();
    return any;
}

std::uint32_t TShellNamespace::Attributes(const TNsItem& i) {
    const TShellItem& item = Shell(i);
    ULONG a = SFGAO_HASSUBFOLDER | SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_SHARE | SFGAO_LINK | SFGAO_READONLY;
    LPCITEMIDLIST one = item.Pidl;
    if (!item.Parent || FAILED(item.Parent->GetAttributesOf(1, &one, &a))) return 0;
    return NsBits(a);
}

int TShellNamespace::TreeIcon(const TNsItem& i, bool open) {
    const TShellItem& item = Shell(i);
    if (!item.Absolute) return -1;
    SHFILEINFOA sfi{};
    const UINT flags = SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | (open ? SHGFI_OPENICON : 0);
    if (!SHGetFileInfoA(reinterpret_cast<LPCSTR>(item.Absolute), 0, &sfi, sizeof sfi, flags)) return -1;
    return sfi.iIcon;
}

std::string TShellNamespace::DisplayName(const TNsItem& i) {
    const TShellItem& item = Shell(i);
    SHFILEINFOA sfi{};
    if (!item.Absolute ||
        !SHGetFileInfoA(reinterpret_cast<LPCSTR>(item.Absolute), 0, &sfi, sizeof sfi, SHGFI_PIDL | SHGFI_DISPLAYNAME))
        return std::string();
    return sfi.szDisplayName;
}

std::string TShellNamespace::TypeName(const TNsItem& f, const TNsItem& row) {
    LPITEMIDLIST abs = ConcatPidls(Shell(f).Absolute, Shell(row).Pidl);
    if (!abs) return std::string();
    SHFILEINFOA sfi{};
    std::string type;
    if (SHGetFileInfoA(reinterpret_cast<LPCSTR>(abs), 0, &sfi, sizeof sfi, SHGFI_PIDL | SHGFI_TYPENAME))
        type = sfi.szTypeName;
    FreePidl(abs);
    return type;
}

int TShellNamespace::ListIcon(const TNsItem& f, const TNsItem& row) {
    LPITEMIDLIST abs = ConcatPidls(Shell(f).Absolute, Shell(row).Pidl);
    if (!abs) return -1;
    SHFILEINFOA sfi{};
    int icon = -1;
    if (SHGetFileInfoA(reinterpret_cast<LPCSTR>(abs), 0, &sfi, sizeof sfi, SHGFI_PIDL | SHGFI_SYSICONINDEX))
        icon = sfi.iIcon;
    FreePidl(abs);
    return icon;
}

bool TShellNamespace::FindFirst(const std::string& path, TFindRecord& out) {
    WIN32_FIND_DATAA fd{};
    HANDLE h = FindFirstFileA(path.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    out = FindRecordOf(fd);
    return true;
}

bool TShellNamespace::FindDirectory(const std::string& path, TFindRecord& out) {
    WIN32_FIND_DATAA fd{};
    HANDLE h = FindFirstFileA(path.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out = FindRecordOf(fd);
            found = true;
            break;
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return found;
}

bool TShellNamespace::IsFolder(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void TShellNamespace::PathTypeAndIcon(const std::string& path, std::string& type, int& icon) {
    SHFILEINFOA sfi{};
    type.clear();
    icon = -1;
    if (SHGetFileInfoA(path.c_str(), 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_TYPENAME)) {
        type = sfi.szTypeName;
        icon = sfi.iIcon;
    }
}

}  // namespace filer
