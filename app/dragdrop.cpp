#include "app/dragdrop.h"

#include <shellapi.h>

#include "app/filercmds.h"
#include "app/filershell.h"
#include "app/wendrixn.h"
#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "classlib/sjis.h"
#include "extraction/ripcontrol.h"
#include "resources/msgids.h"
#include "settings/configs_win.h"

namespace filer {

namespace {

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring NameOf(const std::wstring& path) {
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

FORMATETC HDropFormat() { return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

}  // namespace

// ---- The drop source -----------------------------------------------------------------

HRESULT TDropSourceObject::QueryInterface(REFIID riid, void** out) {
    if (riid == IID_IUnknown || riid == IID_IDropSource) {
        *out = static_cast<IDropSource*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG TDropSourceObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG TDropSourceObject::Release() {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

HRESULT TDropSourceObject::QueryContinueDrag(BOOL escape, DWORD keys) {
    if (escape) return DRAGDROP_S_CANCEL;
    if (keys & (MK_LBUTTON | MK_RBUTTON)) return S_OK;
    return DRAGDROP_S_DROP;
}

HRESULT TDropSourceObject::GiveFeedback(DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

// ---- Shell file helpers ---------------------------------------------------------------

TPaths DroppedPaths(IDataObject* data) {
    TPaths paths;
    if (!data) return paths;
    FORMATETC fe = HDropFormat();
    STGMEDIUM sm{};
    if (FAILED(data->GetData(&fe, &sm))) return paths;
    if (auto drop = static_cast<HDROP>(GlobalLock(sm.hGlobal))) {
        const UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < n; ++i) {
            const UINT len = DragQueryFileW(drop, i, nullptr, 0);
            std::wstring p(len, L'\0');
            if (len && DragQueryFileW(drop, i, p.data(), len + 1) == len) paths.push_back(std::move(p));
        }
        GlobalUnlock(sm.hGlobal);
    }
    ReleaseStgMedium(&sm);
    return paths;
}

TPaths ShellPaths(TShellNamespace& ns, const TPaths& paths) {
    TPaths out;
    for (const std::wstring& p : paths)
        if (ns.IsShellPath(p)) out.push_back(p);
    return out;
}

bool IsExecutableTarget(const std::wstring& path) {
    const std::string shown = Narrow(path);
    if (IsProgramName(shown)) return true;
    if (!SameText(ExtensionOf(shown), ".LNK")) return false;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    bool program = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t target[MAX_PATH] = {};
        // Asked while a drag is over the list: no window of the shell's own.
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ)) && SUCCEEDED(link->Resolve(nullptr, SLR_ANY_MATCH | SLR_NO_UI)) &&
            SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0))) {
            const std::string ext = wx::SjisUpperCase(ExtensionOf(Narrow(target)));
            program = ext == ".EXE" || ext == ".COM";
        }
        file->Release();
    }
    link->Release();
    return program;
}

void DropFileOperation(HWND owner, const TPaths& names, const std::wstring& destFolder, DWORD& effect) {
    const bool move = effect != DROPEFFECT_COPY;
    for (const std::wstring& n : names) {
        const TCarryRefusal why = CarryRefusal(n, destFolder, move);
        if (why == crNone) continue;
        const std::string shown = Narrow(why == crIntoItself ? destFolder : n);
        wx::ShowMessageBox(wx::Format(wx::LoadResString(why == crIntoItself ? MSG_FILER_INTO_ITSELF : MSG_FILER_INTO_OWN_FOLDER),
                                      shown.c_str()),
                           MB_OK | MB_ICONWARNING, owner);
        effect = DROPEFFECT_NONE;
        return;
    }
    if (names.empty() || HasWildcard(destFolder)) {
        effect = DROPEFFECT_NONE;
        return;
    }
    for (const std::wstring& n : names)
        if (HasWildcard(n)) {
            effect = DROPEFFECT_NONE;
            return;
        }
    const std::wstring from = NulListOf(names);
    const std::wstring to = NulListOf<std::wstring>({destFolder});
    SHFILEOPSTRUCTW op{};
    op.hwnd = owner;
    op.wFunc = move ? FO_MOVE : FO_COPY;
    op.pFrom = from.c_str();
    op.pTo = to.c_str();
    op.fFlags = FOF_FILESONLY;
    if (SHFileOperationW(&op) != 0 || op.fAnyOperationsAborted) effect = DROPEFFECT_NONE;
}

void CreateShortcuts(const TPaths& names, const std::wstring& destFolder, DWORD& effect) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
        effect = DROPEFFECT_NONE;
        return;
    }
    IPersistFile* file = nullptr;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        link->Release();
        effect = DROPEFFECT_NONE;
        return;
    }
    const std::wstring first = Widen(wx::LoadResString(MSG_FILER_SHORTCUT)),
                       numbered = Widen(wx::LoadResString(MSG_FILER_SHORTCUT_N));
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::wstring& name = names[i];
        const std::wstring lnk = ShortcutNameOf<std::wstring>(destFolder, NameOf(name), first, numbered, [](const std::wstring& p) {
            return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES;
        });
        link->SetPath(name.c_str());
        link->SetArguments(L"");
        link->SetWorkingDirectory(FolderOf(name).c_str());
        link->SetDescription(NameOf(lnk).c_str());
        if (lnk.empty() || FAILED(file->Save(lnk.c_str(), TRUE))) {
            wx::MessageBoxRes(MSG_FILER_CREATE_FAILED, MB_OK | MB_ICONERROR);
            if (i == 0) effect = DROPEFFECT_NONE;
            break;
        }
    }
    file->Release();
    link->Release();
}

void OpenWithApplication(HWND owner, const TPaths& names, const std::wstring& program, DWORD& effect) {
    std::wstring params;
    for (const std::wstring& n : names) params += L"\"" + n + L"\" ";
    SHELLEXECUTEINFOW sei{};
    sei.cbSize = sizeof sei;
    sei.hwnd = owner;
    sei.lpVerb = L"open";
    sei.lpFile = program.c_str();
    sei.lpParameters = params.c_str();
    sei.nShow = SW_SHOWNORMAL;
    if (!HasWildcard(program)) ShellExecuteExW(&sei);
    effect = DROPEFFECT_NONE;
}

DWORD DropMenu(HWND owner, POINT at, bool openOnly) {
    HMENU menu = CreatePopupMenu();
    auto text = [](int i) { return wx::LoadResString(MSG_FILER_DROP_MENU + static_cast<UINT>(i)); };
    if (openOnly) {
        AppendMenuA(menu, MF_STRING, deOpenWith, text(0).c_str());
    } else {
        AppendMenuA(menu, MF_STRING, deMove, text(1).c_str());
        AppendMenuA(menu, MF_STRING, deCopy, text(2).c_str());
        AppendMenuA(menu, MF_STRING, deLink, text(3).c_str());
    }
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    // Cancel is a command of its own that chooses nothing.
    AppendMenuA(menu, MF_STRING, 0xFFFE, text(4).c_str());
    UINT cmd = wx::Prompter().PopupMenu(menu, owner, at.x, at.y);
    DestroyMenu(menu);
    if (cmd == 0xFFFE) cmd = 0;
    return cmd;
}

bool ClipboardHasFiles() {
    IDataObject* data = nullptr;
    if (FAILED(OleGetClipboard(&data)) || !data) return false;
    FORMATETC fe = HDropFormat();
    const bool has = data->QueryGetData(&fe) == S_OK;
    data->Release();
    return has;
}

void PasteClipboardFiles(HWND owner, TShellNamespace& ns, const std::wstring& folder, bool asShortcuts) {
    IDataObject* data = nullptr;
    TPaths names;
    if (SUCCEEDED(OleGetClipboard(&data)) && data) {
        names = ShellPaths(ns, DroppedPaths(data));
        data->Release();
    }
    if (names.empty()) {
        wx::MessageBoxRes(MSG_FILER_NO_PASTE, MB_OK | MB_ICONWARNING);
        return;
    }
    DWORD effect = asShortcuts ? DROPEFFECT_LINK : DROPEFFECT_COPY;
    if (asShortcuts)
        CreateShortcuts(names, folder, effect);
    else
        DropFileOperation(owner, names, folder, effect);
}

}  // namespace filer

namespace wendrix {

namespace {

// What the three drop targets share: the kept data object, the drag-over
// flag of the main window, the right-button mark, and the common part of
// a drop.
class TDropTargetBase : public IDropTarget {
public:
    TDropTargetBase(TForm1& form, HWND control, bool& overFlag) : form_(form), control_(control), over_(overFlag) {}
    virtual ~TDropTargetBase() {
        if (data_) data_->Release();
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IDropTarget) {
            *out = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        over_ = true;
        Reset();
        *effect = DROPEFFECT_NONE;
        // An enter without the leave of the one before lets go of its data.
        if (data_) data_->Release();
        data_ = nullptr;
        accept_ = form_.Shell && Accepts(filer::DroppedPaths(data));
        if (accept_) {
            *effect = DROPEFFECT_COPY;
            data_ = data;
            data_->AddRef();
            SetForegroundWindow(form_.Handle());
            BringWindowToTop(form_.Handle());
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override {
        if (!accept_) {
            *effect = DROPEFFECT_NONE;
            return S_OK;
        }
        right_ = (keys & MK_RBUTTON) != 0;
        POINT c{pt.x, pt.y};
        ScreenToClient(control_, &c);
        *effect = Over(c, keys);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        Leave();
        over_ = false;
        if (data_) data_->Release();
        data_ = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
        POINT c{pt.x, pt.y};
        ScreenToClient(control_, &c);
        if (!data_ || !data || !CanDrop(c)) {
            DragLeave();
            *effect = DROPEFFECT_NONE;
            return E_FAIL;
        }
        const filer::TPaths names = filer::ShellPaths(*form_.Shell, filer::DroppedPaths(data));
        const bool right = right_;
        // The place under the pointer, taken before the highlight goes.
        Prepare(c);
        DragLeave();
        *effect = Carry(names, right, keys, POINT{pt.x, pt.y});
        return S_OK;
    }

protected:
    // The main window's file operation for the effect chosen.
    DWORD Run(DWORD effect, const filer::TPaths& names, const std::wstring& dest, const std::wstring& program) {
        if (names.empty()) return DROPEFFECT_NONE;
        switch (effect) {
        case filer::deCopy:
        case filer::deMove: filer::DropFileOperation(form_.Handle(), names, dest, effect); break;
        case filer::deLink: filer::CreateShortcuts(names, dest, effect); break;
        case filer::deOpenWith: filer::OpenWithApplication(control_, names, program, effect); break;
        default: effect = DROPEFFECT_NONE; break;
        }
        return effect;
    }
    // A left-button drop: shortcuts with Ctrl and Shift, else a copy.
    static DWORD LeftEffect(DWORD keys) {
        return (keys & MK_CONTROL) && (keys & MK_SHIFT) ? filer::deLink : filer::deCopy;
    }
    bool ConfirmCopy(const std::wstring& dest) const {
        const std::string text = wx::Format(wx::LoadResString(MSG_FILER_COPY_CONFIRM), filer::Narrow(dest).c_str());
        return wx::ShowMessageBox(text, MB_OKCANCEL | MB_ICONQUESTION, form_.Handle()) == IDOK;
    }
    // Every path parses (the test stops at the first that fails).
    bool AllShellPaths(const filer::TPaths& paths) const {
        if (paths.empty()) return false;
        for (const std::wstring& p : paths)
            if (!form_.Shell->IsShellPath(p)) return false;
        return true;
    }
    DWORD Edge(unsigned flags, DWORD effect) {
        std::uint32_t e = effect;
        if (edge_.Step(flags, GetTickCount(), e)) {
            if (edge_.HCode != filer::TEdgeScroll::None) SendMessageA(control_, WM_HSCROLL, edge_.HCode, 0);
            if (edge_.VCode != filer::TEdgeScroll::None) SendMessageA(control_, WM_VSCROLL, edge_.VCode, 0);
        }
        return e;
    }
    unsigned Zones(POINT c, int headerHeight) const {
        RECT r{};
        GetClientRect(control_, &r);
        return filer::EdgeFlags(c.x, c.y, r.right, r.bottom, headerHeight);
    }

    virtual void Reset() { edge_ = filer::TEdgeScroll(); }
    virtual bool Accepts(const filer::TPaths& paths) = 0;
    virtual DWORD Over(POINT c, DWORD keys) = 0;
    virtual void Leave() = 0;
    virtual bool CanDrop(POINT) { return true; }
    virtual void Prepare(POINT) {}
    virtual DWORD Carry(const filer::TPaths& names, bool right, DWORD keys, POINT screen) = 0;

    TForm1& form_;
    HWND control_;
    filer::TEdgeScroll edge_;

private:
    LONG refs_ = 1;
    bool& over_;
    bool accept_ = false, right_ = false;
    IDataObject* data_ = nullptr;
};

class TTreeViewDropTargetObject : public TDropTargetBase {
public:
    TTreeViewDropTargetObject(TForm1& f) : TDropTargetBase(f, f.TreeView1.Handle(), f.TreeDragOver) {}

protected:
    void Reset() override {
        TDropTargetBase::Reset();
        last_ = POINT{-1, -1};
        hoverStart_ = 0;
    }
    bool Accepts(const filer::TPaths& paths) override { return AllShellPaths(paths); }
    HTREEITEM NodeAt(POINT c) const {
        TVHITTESTINFO hit{};
        hit.pt = c;
        const HTREEITEM node = TreeView_HitTest(control_, &hit);
        return (hit.flags & TVHT_ONITEM) ? node : nullptr;
    }
    DWORD Over(POINT c, DWORD) override {
        unsigned flags = Zones(c, 0);
        DWORD effect = DROPEFFECT_NONE;
        if (const HTREEITEM node = NodeAt(c)) {
            flags |= filer::efValid;
            TreeView_SelectDropTarget(control_, node);
            form_.DropHighlightNode = node;
            effect = DROPEFFECT_COPY;
            // Resting over a folder for a second opens it, but not on a floppy drive.
            if (c.x == last_.x && c.y == last_.y) {
                const DWORD now = GetTickCount();
                if (!hoverStart_) {
                    hoverStart_ = now;
                } else if (now - hoverStart_ > 1000) {
                    hoverStart_ = 0;
                    const std::string path = form_.GetFilePathAt(node) + "\\";
                    if (form_.TreeSink->HasButton(node) && GetDriveTypeA(path.substr(0, 3).c_str()) != DRIVE_REMOVABLE)
                        TreeView_Expand(control_, node, TVE_EXPAND);
                }
            } else {
                hoverStart_ = 0;
            }
        } else {
            TreeView_SelectDropTarget(control_, nullptr);
            form_.DropHighlightNode = nullptr;
            edge_.HCode = edge_.VCode = filer::TEdgeScroll::None;
        }
        last_ = c;
        return Edge(flags, effect);
    }
    void Leave() override {
        TreeView_SelectDropTarget(control_, nullptr);
        form_.DropHighlightNode = nullptr;
    }
    bool CanDrop(POINT c) override { return NodeAt(c) != nullptr; }
    void Prepare(POINT c) override { dest_ = form_.ExactFolder(NodeAt(c)) + L"\\"; }
    DWORD Carry(const filer::TPaths& names, bool right, DWORD keys, POINT screen) override {
        DWORD effect = right ? filer::DropMenu(form_.Handle(), screen, false) : LeftEffect(keys);
        if (!right && effect == filer::deCopy && !ConfirmCopy(dest_)) return DROPEFFECT_NONE;
        return Run(effect, names, dest_, std::wstring());
    }

private:
    POINT last_{-1, -1};
    DWORD hoverStart_ = 0;
    std::wstring dest_;
};

class TListViewDropTargetObject : public TDropTargetBase {
public:
    TListViewDropTargetObject(TForm1& f) : TDropTargetBase(f, f.ListView1.Handle(), f.ListDragOver) {}

protected:
    void Reset() override {
        TDropTargetBase::Reset();
        Highlight(-1);
        checkedRow_ = -1;
        folder_ = form_.ExactFolder();
    }
    bool Accepts(const filer::TPaths& paths) override {
        return !paths.empty() && form_.Shell->IsShellPath(paths.back());
    }
    void Highlight(int row) {
        if (row_ >= 0) ListView_SetItemState(control_, row_, 0, LVIS_DROPHILITED);
        row_ = row;
        if (row_ >= 0) ListView_SetItemState(control_, row_, LVIS_DROPHILITED, LVIS_DROPHILITED);
        if (row_ < 0) {
            rowPath_.clear();
            rowFolder_ = false;
        }
    }
    DWORD Over(POINT c, DWORD) override {
        const bool report = !form_.LargeIconView();
        unsigned flags = Zones(c, report ? 16 : 0);
        LVHITTESTINFO hit{};
        hit.pt = c;
        const int row = ListView_HitTest(control_, &hit);
        const TFilerItem* rec =
            row >= 0 && static_cast<std::size_t>(row) < form_.ItemList.size() ? form_.ItemList[std::size_t(row)].get() : nullptr;
        if (rec && rec->IsParentRow()) {
            Highlight(-1);
            flags = 0;
        } else {
            flags |= filer::efValid;
            bool target = false;
            if (rec) {
                if (row != checkedRow_) {
                    checkedRow_ = row;
                    checkedPath_ = form_.ExactRowPath(*rec);
                    checkedTarget_ = rec->IsDirectory() || filer::IsExecutableTarget(checkedPath_);
                }
                target = checkedTarget_;
            }
            if (target) {
                if (row != row_) Highlight(row);
                rowPath_ = checkedPath_;
                rowFolder_ = rec->IsDirectory();
            } else {
                Highlight(-1);
            }
        }
        return Edge(flags, (flags & filer::efValid) ? DROPEFFECT_COPY : DROPEFFECT_NONE);
    }
    void Leave() override { Highlight(-1); }
    void Prepare(POINT) override {
        path_ = rowPath_;
        isFolder_ = rowFolder_;
        isRow_ = row_ >= 0;
    }
    DWORD Carry(const filer::TPaths& names, bool right, DWORD keys, POINT screen) override {
        std::wstring dest = folder_ + L"\\";
        const std::wstring program = path_;
        DWORD effect = DROPEFFECT_NONE;
        if (right) {
            effect = filer::DropMenu(form_.Handle(), screen, isRow_ && !isFolder_);
            if (isRow_ && isFolder_ && effect) dest = path_ + L"\\";
        } else if (isRow_ && !isFolder_) {
            effect = filer::deOpenWith;
        } else {
            if (isRow_ && isFolder_) dest = path_ + L"\\";
            effect = LeftEffect(keys);
            if (effect == filer::deCopy && !ConfirmCopy(dest)) return DROPEFFECT_NONE;
        }
        return Run(effect, names, dest, program);
    }

private:
    int row_ = -1, checkedRow_ = -1;
    bool checkedTarget_ = false, rowFolder_ = false;
    std::wstring rowPath_, checkedPath_, folder_;
    std::wstring path_;
    bool isFolder_ = false, isRow_ = false;
};

class TDrivePanelDropTargetObject : public TDropTargetBase {
public:
    TDrivePanelDropTargetObject(TForm1& f) : TDropTargetBase(f, f.DrivePanel1.Handle(), f.DriveDragOver) {}

protected:
    bool Accepts(const filer::TPaths& paths) override { return AllShellPaths(paths); }
    DWORD Over(POINT c, DWORD) override {
        const int drive = form_.DrivePanel1.DriveAtPos(c.x, c.y);
        form_.DrivePanel1.SetDropHover(drive);
        return drive >= 0 ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    }
    void Leave() override { form_.DrivePanel1.SetDropHover(-1); }
    bool CanDrop(POINT c) override { return form_.DrivePanel1.DriveAtPos(c.x, c.y) >= 0; }
    void Prepare(POINT c) override { drive_ = form_.DrivePanel1.DriveAtPos(c.x, c.y); }
    DWORD Carry(const filer::TPaths& names, bool right, DWORD keys, POINT screen) override {
        const DWORD effect = right ? filer::DropMenu(form_.Handle(), screen, false) : LeftEffect(keys);
        const UINT title = effect == filer::deMove ? MSG_FILER_PICK_MOVE
                           : effect == filer::deLink ? MSG_FILER_PICK_LINK
                                                     : MSG_FILER_PICK_COPY;
        if (!effect || drive_ < 0 || static_cast<std::size_t>(drive_) >= form_.Filer->Drives.size()) return DROPEFFECT_NONE;
        const filer::TDriveEntry& d = form_.Filer->Drives[static_cast<std::size_t>(drive_)];
        std::string start = d.Root;
        if (d.Type == filer::dtFixed && !d.LastFolder.empty()) {
            start = wx::StripTrailingBackslash(d.LastFolder);
            if (start.size() == 2) start += "\\";
        }
        const std::string folder = BrowseForFolder(form_.Handle(), wx::LoadResString(title), start);
        if (folder.empty()) return DROPEFFECT_NONE;
        return Run(effect, names, filer::Widen(wx::IncludeTrailingBackslash(folder)), std::wstring());
    }

private:
    int drive_ = -1;
};

}  // namespace

void TForm1::CreateDropTargets() {
    const std::pair<IDropTarget**, IDropTarget*> targets[] = {
        {&TreeTarget, new TTreeViewDropTargetObject(*this)},
        {&ListTarget, new TListViewDropTargetObject(*this)},
        {&DriveTarget, new TDrivePanelDropTargetObject(*this)},
    };
    const HWND windows[] = {TreeView1.Handle(), ListView1.Handle(), DrivePanel1.Handle()};
    for (int i = 0; i < 3; ++i) {
        IDropTarget* t = targets[i].second;
        *targets[i].first = t;
        CoLockObjectExternal(t, TRUE, FALSE);
        RegisterDragDrop(windows[i], t);
    }
}

void TForm1::RevokeDropTargets() {
    IDropTarget** targets[] = {&TreeTarget, &ListTarget, &DriveTarget};
    const HWND windows[] = {TreeView1.Handle(), ListView1.Handle(), DrivePanel1.Handle()};
    for (int i = 0; i < 3; ++i) {
        if (!*targets[i]) continue;
        RevokeDragDrop(windows[i]);
        CoLockObjectExternal(*targets[i], FALSE, TRUE);
        (*targets[i])->Release();
        *targets[i] = nullptr;
    }
}

// ---- Drags started here -------------------------------------------------------------

void TForm1::StartShellDrag(IShellFolder* parent, const std::vector<LPCITEMIDLIST>& items) {
    if (!parent || items.empty()) return;
    IDataObject* data = nullptr;
    if (FAILED(parent->GetUIObjectOf(Handle(), static_cast<UINT>(items.size()), const_cast<LPCITEMIDLIST*>(items.data()),
                                     IID_IDataObject, nullptr, reinterpret_cast<void**>(&data))) ||
        !data)
        return;
    auto* source = new filer::TDropSourceObject();
    DWORD effect = DROPEFFECT_NONE;
    DoDragDrop(data, source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
    source->Release();
    data->Release();
}

void TForm1::TreeView1MouseDown(bool right, POINT at) {
    if (DragStart.x == -2) {
        DragStart = POINT{-1, -1};
        return;
    }
    DragStart = POINT{-1, -1};
    DoubleClickMark = ListArmed = false;
    if (TreeBusy || ListBusy) return;
    if (UserSelectedNode) {
        UserSelectedNode = false;
        return;
    }
    TVHITTESTINFO hit{};
    hit.pt = at;
    DragNode = TreeView_HitTest(TreeView1.Handle(), &hit);
    if (!(hit.flags & TVHT_ONITEM)) DragNode = nullptr;
    if (!DragNode) return;
    DragStart = at;
    if (right) TreeView_SelectDropTarget(TreeView1.Handle(), DragNode);
}

void TForm1::TreeView1MouseMove(POINT at) {
    if (DragStart.x < 0 || (std::abs(at.x - DragStart.x) <= 5 && std::abs(at.y - DragStart.y) <= 5)) return;
    HWND tree = TreeView1.Handle();
    // This press changed the selection (the control handles the press after
    // the mouse-down handler saw it).
    if (UserSelectedNode) {
        UserSelectedNode = false;
        DragStart = POINT{-1, -1};
        TreeView_SelectDropTarget(tree, nullptr);
        return;
    }
    if (DoubleClickMark || ListArmed || !DragNode) {
        DragStart = POINT{-1, -1};
        TreeView_SelectDropTarget(tree, nullptr);
        return;
    }
    DragStart = POINT{-1, -1};
    const TFilerItem* rec = TreeSink->Record(DragNode);
    auto* item = rec ? static_cast<const filer::TShellItem*>(rec->Item.get()) : nullptr;
    if (item && item->Pidl) {
        // The node's item stays alive over the drag even if the tree changes.
        const std::shared_ptr<TNsItem> keep = rec->Item;
        StartShellDrag(item->Parent, {item->Pidl});
    }
    TreeView_SelectDropTarget(tree, nullptr);
}

void TForm1::TreeView1MouseUp(bool right, POINT at) {
    if (DragStart.x == -2) {
        DragStart = POINT{-1, -1};
        return;
    }
    DragStart = POINT{-1, -1};
}

void TForm1::ListView1MouseDown(POINT at) {
    if (DragStart.x == -2) {
        DragStart = POINT{-1, -1};
        return;
    }
    DragStart = POINT{-1, -1};
    ListArmed = true;
    if (TreeBusy || ListBusy) return;
    // The list control selects the pressed row after this handler: a press
    // on a row arms a drag even when nothing was selected before it.
    if (ListView1.SelectedCount() == 0) {
        LVHITTESTINFO hit{};
        hit.pt = at;
        if (ListView_HitTest(ListView1.Handle(), &hit) < 0) return;
    }
    if (DoubleClickMark) {
        DoubleClickMark = false;
        return;
    }
    DragStart = at;
}

void TForm1::ListView1MouseMove(POINT at) {
    if (DragStart.x < 0 || (std::abs(at.x - DragStart.x) <= 5 && std::abs(at.y - DragStart.y) <= 5)) return;
    if (DoubleClickMark) {
        DragStart = POINT{-1, -1};
        return;
    }
    if (ListArmed) {
        std::vector<std::shared_ptr<TNsItem>> keep;
        std::vector<LPCITEMIDLIST> pidls;
        IShellFolder* parent = nullptr;
        for (int i = ListView1.NextSelected(-1); i >= 0; i = ListView1.NextSelected(i)) {
            if (static_cast<std::size_t>(i) >= ItemList.size()) break;
            const TFilerItem& r = *ItemList[static_cast<std::size_t>(i)];
            auto* item = static_cast<const filer::TShellItem*>(r.Item.get());
            if (r.IsParentRow() || !item) continue;
            keep.push_back(r.Item);
            pidls.push_back(item->Pidl);
            parent = item->Parent;
        }
        StartShellDrag(parent, pidls);
    }
    DragStart = POINT{-1, -1};
    DoubleClickMark = ListArmed = false;
}

void TForm1::ListView1MouseUp(bool, POINT) {
    DragStart = POINT{-1, -1};
    ListArmed = false;
}

}  // namespace wendrix
