// The file manager pane of the main window: the folder tree over the
// shell namespace, the file list, the drive bar and the folder monitors.
// The rules between them (records, levels, merge, walk, listing, orders)
// are portable (app/filertree.h, app/filerrules.h); this file puts them on
// the window's controls.
#include "app/wendrixn.h"

#include <dbt.h>
#include <shellapi.h>

#include <algorithm>
#include <optional>
#include <set>

#include "app/filershell.h"
#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "classlib/sjis.h"
#include "resources/msgids.h"

namespace wendrix {

namespace {

// The timer of a close put off while the pane was busy (ids 1 and 2 are
// the frame's).
constexpr UINT_PTR kCloseWhenIdleTimer = 21;
constexpr UINT_PTR kNoticeTimer = 22;
// Change notices of one burst become one refresh.
constexpr UINT kNoticeDelayMs = 150;

HTREEITEM H(filer::TNode n) { return static_cast<HTREEITEM>(n); }

// The tree control as the rules see it.  A node's record is its item
// data; the tree frees it when the node goes (TVN_DELETEITEM).
class TTreeViewSink : public filer::TTreeSink {
public:
    explicit TTreeViewSink(HWND tree) : tree_(tree) {}
    filer::TNode Root() const override { return TreeView_GetRoot(tree_); }
    filer::TNode FirstChild(filer::TNode n) const override { return TreeView_GetChild(tree_, H(n)); }
    filer::TNode Next(filer::TNode n) const override { return TreeView_GetNextSibling(tree_, H(n)); }
    filer::TNode Parent(filer::TNode n) const override { return TreeView_GetParent(tree_, H(n)); }
    TFilerItem* Record(filer::TNode n) const override {
        TVITEMA it{};
        it.mask = TVIF_PARAM;
        it.hItem = H(n);
        if (!n || !SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it))) return nullptr;
        return reinterpret_cast<TFilerItem*>(it.lParam);
    }
    filer::TNode Add(filer::TNode parent, std::unique_ptr<TFilerItem> rec, const filer::TNodeLook& look) override {
        TVINSERTSTRUCTA is{};
        is.hParent = parent ? H(parent) : TVI_ROOT;
        is.hInsertAfter = TVI_LAST;
        TVITEMA& it = is.item;
        it.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN | TVIF_STATE;
        it.pszText = const_cast<char*>(look.Text.c_str());
        // The icons when the node is first drawn (TVN_GETDISPINFO).
        it.iImage = I_IMAGECALLBACK;
        it.iSelectedImage = I_IMAGECALLBACK;
        it.cChildren = look.Button ? 1 : 0;
        it.stateMask = TVIS_OVERLAYMASK;
        it.state = look.Overlay >= 0 ? INDEXTOOVERLAYMASK(static_cast<UINT>(look.Overlay + 1)) : 0;
        it.lParam = reinterpret_cast<LPARAM>(rec.get());
        auto node = reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&is)));
        if (!node) return nullptr;
        rec.release();
        if (parent) SetButton(parent, true);
        return node;
    }
    void Delete(filer::TNode n) override {
        const HTREEITEM parent = TreeView_GetParent(tree_, H(n));
        TreeView_DeleteItem(tree_, H(n));
        if (parent && !TreeView_GetChild(tree_, parent)) SetButton(parent, false);
    }
    void Clear() override { TreeView_DeleteAllItems(tree_); }
    bool HasButton(filer::TNode n) const override {
        TVITEMA it{};
        it.mask = TVIF_CHILDREN;
        it.hItem = H(n);
        SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
        return it.cChildren != 0;
    }
    void SetButton(filer::TNode n, bool on) override {
        TVITEMA it{};
        it.mask = TVIF_CHILDREN;
        it.hItem = H(n);
        it.cChildren = on ? 1 : 0;
        SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    }
    void SetOverlay(filer::TNode n, int overlay) override {
        TVITEMA it{};
        it.mask = TVIF_STATE;
        it.hItem = H(n);
        it.stateMask = TVIS_OVERLAYMASK;
        it.state = overlay >= 0 ? INDEXTOOVERLAYMASK(static_cast<UINT>(overlay + 1)) : 0;
        SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    }
    filer::TNode Selected() const override { return TreeView_GetSelection(tree_); }
    void Select(filer::TNode n) override { TreeView_SelectItem(tree_, H(n)); }
    void Expand(filer::TNode n) override { TreeView_Expand(tree_, H(n), TVE_EXPAND); }
    void SortChildren(filer::TNode n) override { TreeView_SortChildren(tree_, n ? H(n) : TVI_ROOT, FALSE); }

private:
    HWND tree_;
};

// Saves both busy flags, sets them, and puts them back.
class TPaneBusy {
public:
    explicit TPaneBusy(TForm1& f) : f_(f), tree_(f.TreeBusy), list_(f.ListBusy) { f.TreeBusy = f.ListBusy = true; }
    ~TPaneBusy() {
        f_.TreeBusy = tree_;
        f_.ListBusy = list_;
    }
    TPaneBusy(const TPaneBusy&) = delete;
    TPaneBusy& operator=(const TPaneBusy&) = delete;

private:
    TForm1& f_;
    bool tree_, list_;
};

// A control's drawing suspended for a scope.
class TNoRedraw {
public:
    explicit TNoRedraw(HWND w) : w_(w) { SendMessageA(w_, WM_SETREDRAW, FALSE, 0); }
    ~TNoRedraw() {
        SendMessageA(w_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(w_, nullptr, TRUE);
    }
    TNoRedraw(const TNoRedraw&) = delete;
    TNoRedraw& operator=(const TNoRedraw&) = delete;

private:
    HWND w_;
};

class THourglass {
public:
    THourglass() : old_(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
    ~THourglass() { SetCursor(old_ ? old_ : LoadCursor(nullptr, IDC_ARROW)); }
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;

private:
    HCURSOR old_;
};

std::string WindowsDir() {
    char buf[MAX_PATH] = {};
    GetWindowsDirectoryA(buf, sizeof buf);
    return buf;
}

bool IsFolder(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// A folder path without trailing backslash, a bare drive ("X:") with it.
std::string FolderArgument(const std::string& path) {
    std::string p = wx::StripTrailingBackslash(path);
    if (p.size() == 2 && p[1] == ':') p += '\\';
    return p;
}

UINT SortItemOf(int pattern) {
    switch (pattern) {
    case spFileName: return IDM_FILENAMESORT;
    case spExtention: return IDM_EXTSORT1;
    case spSize: return IDM_SIZESORT;
    default: return IDM_TIMESORT;
    }
}

int SortPatternOf(UINT item) {
    switch (item) {
    case IDM_FILENAMESORT: return spFileName;
    case IDM_EXTSORT1: return spExtention;
    case IDM_SIZESORT: return spSize;
    default: return spTime;
    }
}

int TextWidth(HDC dc, char c, std::size_t count) {
    const std::string s(count, c);
    SIZE sz{};
    GetTextExtentPoint32A(dc, s.c_str(), static_cast<int>(s.size()), &sz);
    return sz.cx;
}

}  // namespace

TForm1::TFilerBinder::TFilerBinder(TForm1* f) { f->BindFiler(); }

void TForm1::BindFiler() {
    OnNotify(IDC_TREEVIEW1, TVN_DELETEITEMA, [](NMHDR* h) -> LRESULT {
        delete reinterpret_cast<TFilerItem*>(reinterpret_cast<NMTREEVIEWA*>(h)->itemOld.lParam);
        return 0;
    });
    OnNotify(IDC_TREEVIEW1, TVN_GETDISPINFOA, [this](NMHDR* h) -> LRESULT {
        TVITEMA& it = reinterpret_cast<NMTVDISPINFOA*>(h)->item;
        auto* rec = reinterpret_cast<TFilerItem*>(it.lParam);
        if (!rec && TreeSink) rec = TreeSink->Record(it.hItem);
        if (!rec || !Filer) return 0;
        if (it.mask & TVIF_IMAGE) it.iImage = Filer->NodeIcon(*rec, false);
        if (it.mask & TVIF_SELECTEDIMAGE) it.iSelectedImage = Filer->NodeIcon(*rec, true);
        return 0;
    });
    OnNotify(IDC_TREEVIEW1, TVN_ITEMEXPANDINGA, [this](NMHDR* h) -> LRESULT {
        auto* nm = reinterpret_cast<NMTREEVIEWA*>(h);
        if (nm->action & TVE_EXPAND) TreeView1Expanding(nm->itemNew.hItem);
        return FALSE;
    });
    OnNotify(IDC_TREEVIEW1, TVN_SELCHANGEDA, [this](NMHDR* h) -> LRESULT {
        TreeView1Change(reinterpret_cast<NMTREEVIEWA*>(h)->itemNew.hItem);
        return 0;
    });
    ListView1.BindDisplay([this](int item, int sub) { return ListView1Data(item, sub); },
                          [this](int item) { return ListView1Image(item); });
    OnNotify(IDC_LISTVIEW1, LVN_COLUMNCLICK, [this](NMHDR* h) -> LRESULT {
        ListView1ColumnClick(reinterpret_cast<NMLISTVIEW*>(h)->iSubItem);
        return 0;
    });
    OnNotify(IDC_LISTVIEW1, NM_DBLCLK, [this](NMHDR*) -> LRESULT {
        ListView1DblClick();
        return 0;
    });
    OnNotify(IDC_LISTVIEW1, LVN_ITEMCHANGED, [this](NMHDR* h) -> LRESULT {
        auto* nm = reinterpret_cast<NMLISTVIEW*>(h);
        if (nm->iItem >= 0 && (nm->uChanged & LVIF_STATE) && ((nm->uNewState ^ nm->uOldState) & LVIS_SELECTED))
            LastSelectedRow = nm->iItem;
        return 0;
    });
    OnNotify(IDC_LISTVIEW1, LVN_ODSTATECHANGED, [this](NMHDR* h) -> LRESULT {
        auto* nm = reinterpret_cast<NMLVODSTATECHANGE*>(h);
        if ((nm->uNewState ^ nm->uOldState) & LVIS_SELECTED) LastSelectedRow = nm->iTo;
        return 0;
    });
    OnNotify(IDC_LISTVIEW1, NM_CUSTOMDRAW, [this](NMHDR* h) -> LRESULT {
        auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(h);
        if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
        if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            const std::size_t i = cd->nmcd.dwItemSpec;
            const std::uint32_t attr = i < ItemList.size() ? ItemList[i]->Attr : 0;
            cd->clrText = (attr & (faHidden | faSysFile)) ? RGB(0x80, 0, 0x80)
                          : (attr & faReadOnly)           ? RGB(0, 0x80, 0)
                                                          : RGB(0, 0, 0);
        }
        return CDRF_DODEFAULT;
    });
    OnClick(IDM_FULLREFRESH, [this] { FullRefreshClick(); });
    for (UINT id : {IDM_FILENAMESORT, IDM_EXTSORT1, IDM_SIZESORT, IDM_TIMESORT}) OnClick(id, [this, id] { SortClick(id); });
    OnClick(IDM_UPSORT, [this] { UpSortClick(); });
    OnClick(IDM_DOWNSORT, [this] { DownSortClick(); });
    OnClick(IDM_DISPICON1, [this] { DoIcon1Click(); });
    OnClick(IDM_DISPDETAIL, [this] { DoDetailClick(); });
    OnMessage(WM_DIR_CHANGED, [this](WPARAM, LPARAM lp) -> LRESULT {
        WMDirectoryChanged(static_cast<int>(lp));
        return 0;
    });
    OnMessage(WM_DEVICECHANGE, [this](WPARAM wp, LPARAM lp) -> LRESULT {
        WMDeviceChange(wp, lp);
        return TRUE;
    });
    OnTimer(kNoticeTimer, [this] { ProcessNotices(); });
    OnTimer(kCloseWhenIdleTimer, [this] {
        KillTimer(Handle(), kCloseWhenIdleTimer);
        Close();
    });
    BindFilerCommands();
}

// ---- Set-up and tear-down ------------------------------------------------------

// A listing pumps messages with the busy flags set: a close that comes in
// then is refused, and tried again shortly, so that it is not lost.
bool TForm1::PaneRefusesClose() {
    if (!TreeBusy && !ListBusy) return false;
    SetTimer(Handle(), kCloseWhenIdleTimer, 100, nullptr);
    return true;
}


void TForm1::InitFiler() {
    // OLE for drag and drop and the clipboard, then 1.
    OleInitialized = SUCCEEDED(OleInitialize(nullptr));
    ComInitialized = SUCCEEDED(CoInitialize(nullptr));
    TreeMonitor.reset();
    ListMonitor.reset();
    ListMonitorPath.clear();
    TreeMonitorSlot = ListMonitorSlot = -1;
    TreeBusy = ListBusy = DirChanging = NoticeActive = TreeRefreshPending = false;
    LastListedNode = nullptr;
    Shell = std::make_shared<filer::TShellNamespace>(Handle());
    TreeSink = std::make_unique<TTreeViewSink>(TreeView1.Handle());
    Filer = std::make_unique<filer::TFilerTree>(*Shell, *TreeSink);
    Filer->SelectedDriveType = [this] {
        const int s = DrivePanel1.Selected();
        return s >= 0 && s < static_cast<int>(Filer->Drives.size()) ? Filer->Drives[static_cast<std::size_t>(s)].Type : 0;
    };
    SortDescending = wx::TMenu(ViewPullDown).Checked(IDM_DOWNSORT);
    // 2. The system image lists, shared with the shell.
    InitCommonControls();
    SHFILEINFOA sfi{};
    SysLargeImages = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA("\\", FILE_ATTRIBUTE_DIRECTORY, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES));
    SysSmallImages = reinterpret_cast<HIMAGELIST>(SHGetFileInfoA(
        "\\", FILE_ATTRIBUTE_DIRECTORY, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON));
    HWND list = ListView1.Handle();
    SetWindowLongA(list, GWL_STYLE, GetWindowLongA(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    ListView_SetImageList(list, SysLargeImages, LVSIL_NORMAL);
    ListView_SetImageList(list, SysSmallImages, LVSIL_SMALL);
    TreeView_SetImageList(TreeView1.Handle(), SysSmallImages, TVSIL_NORMAL);
    // The columns of the detail view.
    if (ListView1.Send(LVM_GETHEADER) && Header_GetItemCount(reinterpret_cast<HWND>(ListView1.Send(LVM_GETHEADER))) == 0) {
        ListView1.AddColumn(std::string(), 18);
        for (int i = 0; i < 5; ++i)
            ListView1.AddColumn(wx::LoadResString(MSG_FILER_COLUMNS + i), 80, i == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT);
    }
    // The picture of CD drives in the drive bar (the frame drew it).
    if (!CdDriveIcon && DrvImage.Count() > 2) CdDriveIcon = ImageList_GetIcon(DrvImage.Handle(), 2, ILD_NORMAL);
    DrivePanel1.OnDriveClick = [this](TDrivePanel&, int index, int x, int y, int button) {
        DrivePanel1DriveClick(index, x, y, button);
    };
    // 3.
    InitializeComboBox();
    if (FilerClosePosted) return;
    // 4.
    CreateDropTargets();
    AttachPaneHandlers();
    // 5. The start folder, then 6.
    char cur[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof cur, cur);
    const std::string start = filer::StartFolder(filer::FirstArgument(GetCommandLineA()), BootDir, cur, WindowsDir(),
                                                 [](const std::string& p) { return IsFolder(p); });
    DirectoryChange(start);
}

void TForm1::FinalizeFiler() {
    if (Filer) {
        AllClear();
        for (filer::TDriveEntry& d : Filer->Drives) d.Item = TFilerItem();
    }
    if (TreeMonitor) TreeMonitor->StopMonitor();
    TreeMonitor.reset();
    if (ListMonitor) ListMonitor->StopMonitor();
    ListMonitor.reset();
    ListMonitorPath.clear();
    TreeMonitorSlot = ListMonitorSlot = -1;
    ListedFolderItem.reset();
    Filer.reset();
    TreeSink.reset();
    Shell.reset();
    if (CdDriveIcon) DestroyIcon(CdDriveIcon);
    CdDriveIcon = nullptr;
    if (ContextMenu2) ContextMenu2->Release();
    ContextMenu2 = nullptr;
    // The drop targets go while OLE is still there.
    RevokeDropTargets();
    if (ComInitialized) CoUninitialize();
    ComInitialized = false;
    if (OleInitialized) OleUninitialize();
    OleInitialized = false;
    ReleaseInstanceMutex();
}

void TForm1::InitializeComboBox() {
    // 1.
    DrivePanel1.Clear();
    ImageList_RemoveAll(DrvImage.Handle());
    Filer->Drives.clear();
    // 2., 3.
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string root = std::string(1, letter) + ":\\";
        const UINT type = GetDriveTypeA(root.c_str());
        if (type < DRIVE_REMOVABLE) continue;
        if (type == DRIVE_CDROM && !IsDispCDROM) continue;
        if (type == DRIVE_REMOVABLE && letter <= 'B') continue;
        int image = -1;
        if (type == DRIVE_CDROM) {
            if (CdDriveIcon) image = ImageList_ReplaceIcon(DrvImage.Handle(), -1, CdDriveIcon);
        } else {
            SHFILEINFOA sfi{};
            if (SHGetFileInfoA(root.c_str(), 0, &sfi, sizeof sfi, SHGFI_ICON | SHGFI_DISPLAYNAME | SHGFI_SMALLICON) &&
                sfi.hIcon) {
                image = ImageList_ReplaceIcon(DrvImage.Handle(), -1, sfi.hIcon);
                DestroyIcon(sfi.hIcon);
            }
        }
        filer::TDriveEntry d;
        d.Root = root;
        d.Type = static_cast<int>(type);
        Filer->Drives.push_back(std::move(d));
        DrivePanel1.AddDrive(letter - 'A', image);
    }
    // 4.
    GetDrivePidls();
}

void TForm1::GetDrivePidls() {
    const auto r = Shell->BindDrives(Filer->Drives);
    UINT message = 0;
    bool close = false;
    switch (r) {
    case filer::TShellNamespace::brOk: return;
    case filer::TShellNamespace::brNoAllocator: message = MSG_FILER_NO_MALLOC; close = true; break;
    case filer::TShellNamespace::brNoDesktop: message = MSG_FILER_NO_DESKTOP; close = true; break;
    case filer::TShellNamespace::brNoDrives: message = MSG_FILER_NO_DRIVES; close = true; break;
    case filer::TShellNamespace::brGetName: message = MSG_FILER_GETNAME; break;
    case filer::TShellNamespace::brDriveBind: message = MSG_FILER_DRIVE_BIND; break;
    }
    wx::MessageBoxRes(message, MB_OK);
    // Also from inside FormCreate: the close comes once the window is up.
    if (close) {
        FilerClosePosted = true;
        PostMessageA(Handle(), WM_CLOSE, 0, 0);
    }
}

void TForm1::InitializePidls() {
    TPaneBusy busy(*this);
    HTREEITEM node = TreeView1.Selected();
    if (!node) node = TreeView_GetRoot(TreeView1.Handle());
    const std::string path = node ? GetFilePathAt(node) + "\\" : std::string();
    AllClear();
    if (TreeMonitor) TreeMonitor->StopMonitor();
    TreeMonitor.reset();
    TreeMonitorSlot = -1;
    InitializeComboBox();
    if (!path.empty() && IsFolder(wx::StripTrailingBackslash(path)))
        DirectoryChange(path);
    else if (!path.empty() && IsFolder(path.substr(0, 3)))
        DirectoryChange(path.substr(0, 3));
    else
        DirectoryChange(WindowsDir().substr(0, 3));
}

// ---- The tree -------------------------------------------------------------------

bool TForm1::ExpandTreeView(HTREEITEM node, const std::string& path) {
    THourglass wait;
    return Filer->ExpandTreeView(node, path);
}

std::string TForm1::GetFilePathAt(HTREEITEM node) const { return Filer ? Filer->GetFilePathAt(node) : std::string(); }

std::wstring TForm1::ExactFolder(HTREEITEM node) const {
    if (!Filer || !node) return std::wstring();
    std::wstring w = Filer->GetWidePathAt(node);
    return w.empty() ? filer::Widen(GetFilePathAt(node)) : w;
}

std::wstring TForm1::ExactFolder() const {
    return Filer && TreeView1.Handle() ? ExactFolder(TreeView1.Selected()) : std::wstring();
}

std::wstring TForm1::ExactRowPath(const TFilerItem& rec) const {
    const std::wstring folder = ExactFolder();
    if (folder.empty()) return folder;
    return folder + L"\\" + (rec.WideName.empty() ? filer::Widen(rec.Name) : rec.WideName);
}

std::string TForm1::GetFilePathAt() const {
    return Filer && TreeView1.Handle() ? GetFilePathAt(TreeView1.Selected()) : std::string();
}

void TForm1::AllClear() {
    TPaneBusy busy(*this);
    {
        TNoRedraw still(TreeView1.Handle());
        TreeSink->Clear();
    }
    ClearSelectItem();
    ItemList.clear();
    ListView1.SetItemCount(0);
    ListedFolderItem.reset();
    LastListedNode = nullptr;
}

void TForm1::TreeView1Expanding(HTREEITEM node) {
    if (TreeBusy || ListBusy) return;
    TreeBusy = true;
    EnableWindow(DrivePanel1.Handle(), FALSE);
    if (TreeSink->HasButton(node) && !TreeSink->FirstChild(node)) ExpandTreeView(node, GetFilePathAt(node) + "\\");
    TreeBusy = false;
    EnableWindow(DrivePanel1.Handle(), TRUE);
}

void TForm1::TreeView1Change(HTREEITEM node) {
    if (TreeBusy || ListBusy || !node) return;
    UserSelectedNode = true;
    ListBusy = true;
    EnableWindow(DrivePanel1.Handle(), FALSE);
    RefreshListView(GetFilePathAt(node) + "\\*.*", true);
    LastListedNode = node;
    RefreshSort();
    ListBusy = false;
    EnableWindow(DrivePanel1.Handle(), TRUE);
}

void TForm1::DirectoryChange(const std::string& path) {
    // 1.
    if (!IsFolder(wx::StripTrailingBackslash(path))) {
        wx::MessageBoxRes(MSG_FILER_NO_FOLDER, MB_OK | MB_ICONWARNING);
        return;
    }
    // 2.
    DirChanging = true;
    {
        TNoRedraw still(TreeView1.Handle());
        TPaneBusy busy(*this);
        // 3. The walk down the tree; the drive first.
        Filer->Walk(path, [this](const std::string& prefix) {
            AllClear();
            const int d = Filer->DriveOfRoot(prefix);
            if (d >= 0) DrivePanel1.SetSelected(d);
            ReplaceMonitor(TreeMonitor, TreeMonitorSlot, prefix, FILE_NOTIFY_CHANGE_DIR_NAME, true);
        });
        // 4.
        RefreshListView(path + "*.*", true);
    }
    // 5.
    DirChanging = false;
    RefreshSort();
}

void TForm1::RefreshTree(HTREEITEM node) {
    if (!node) return;
    TPaneBusy busy(*this);
    EnableWindow(DrivePanel1.Handle(), FALSE);
    // 1.
    const std::string path = GetFilePathAt(node) + "\\";
    Filer->SetMarks();
    wx::Application.ProcessMessages();
    // 2.
    Filer->CheckTree(path, node);
    // 3.
    const HTREEITEM selected = TreeView1.Selected();
    const HTREEITEM root = TreeView_GetRoot(TreeView1.Handle());
    const std::string selectedPath = GetFilePathAt(selected ? selected : root);
    wx::Application.ProcessMessages();
    std::string target = selectedPath;
    if (selected && !IsFolder(FolderArgument(selectedPath))) {
        target = GetFilePathAt(root);
        // Up from the selected folder, the nearest folder that still exists.
        for (HTREEITEM p = TreeView_GetParent(TreeView1.Handle(), selected); p;
             p = TreeView_GetParent(TreeView1.Handle(), p)) {
            if (IsFolder(FolderArgument(GetFilePathAt(p)))) {
                target = GetFilePathAt(p);
                break;
            }
        }
    }
    // 4.
    if (!filer::SameText(target, selectedPath))
        RefreshListView(target + "\\*.*", true);
    else
        RefreshFiler();
    // 5.
    TreeView_SelectDropTarget(TreeView1.Handle(), nullptr);
    wx::Application.ProcessMessages();
    EnableWindow(DrivePanel1.Handle(), TRUE);
}

// ---- The drive bar ----------------------------------------------------------------

void TForm1::DrivePanel1DriveClick(int index, int x, int y, int button) {
    if (DirChanging || TreeBusy || ListBusy || !Filer) return;
    if (index < 0 || index >= static_cast<int>(Filer->Drives.size())) return;
    if (button == 1) {
        POINT p{x, y};
        ClientToScreen(DrivePanel1.Handle(), &p);
        DriveContextMenu(p);
        return;
    }
    // 1.
    DrivePanel1.SetSelected(index);
    if (!IsFolder(Filer->Drives[static_cast<std::size_t>(index)].Root)) {
        wx::MessageBoxRes(MSG_FILER_DRIVE_NOT_READY, MB_OK | MB_ICONERROR);
        const std::string windows = WindowsDir();
        for (std::size_t i = 0; i < Filer->Drives.size(); ++i) {
            if (!windows.empty() && filer::SameText(Filer->Drives[i].Root.substr(0, 1), windows.substr(0, 1))) {
                DrivePanel1.SetSelected(static_cast<int>(i));
                break;
            }
        }
    }
    const filer::TDriveEntry& d = Filer->Drives[static_cast<std::size_t>(DrivePanel1.Selected())];
    // 2.
    if (d.Type == filer::dtFixed && !d.LastFolder.empty() && IsFolder(wx::StripTrailingBackslash(d.LastFolder))) {
        DirectoryChange(d.LastFolder);
        return;
    }
    // 3.
    DirChanging = true;
    TreeBusy = ListBusy = true;
    AllClear();
    bool listed = false;
    {
        TNoRedraw still(TreeView1.Handle());
        listed = ExpandTreeView(nullptr, d.Root);
        ReplaceMonitor(TreeMonitor, TreeMonitorSlot, d.Root, FILE_NOTIFY_CHANGE_DIR_NAME, true);
        TreeBusy = ListBusy = false;
        if (const HTREEITEM root = TreeView_GetRoot(TreeView1.Handle())) {
            TreeView_Expand(TreeView1.Handle(), root, TVE_EXPAND);
            // The selection lists the root, unless its folder could not be read.
            if (!listed) TreeBusy = true;
            TreeView_SelectItem(TreeView1.Handle(), root);
            TreeBusy = false;
        }
    }
    DirChanging = false;
}

void TForm1::DriveContextMenu(POINT at) { ContextMenu(DrivePanel1.Handle(), at); }

void TForm1::FullRefreshClick() {
    if (DirChanging || TreeBusy || ListBusy || !Filer) return;
    InitializePidls();
}

// ---- Monitors and notices -------------------------------------------------------------

void TForm1::ReplaceMonitor(std::unique_ptr<TMonitorDirectory>& monitor, int& slot, const std::string& path,
                            DWORD filter, bool subTree) {
    if (monitor) monitor->StopMonitor();
    monitor.reset();
    slot = -1;
    auto m = std::make_unique<TMonitorDirectory>();
    slot = m->Setup(Handle(), filter, path, subTree);
    if (slot >= 0) m->Start();
    monitor = std::move(m);
}

void TForm1::WMDirectoryChanged(int slot) {
    // 1.
    if (RipThread || RipRunActive || !AutoRefresh || !Filer) return;
    // 2. Nothing is dropped: the notice marks what is to be refreshed, and
    //    a burst of notices is carried out as one refresh once the pane is
    //    idle.
    if (slot >= 0 && slot == TreeMonitorSlot)
        TreeRefreshPending = true;
    else if (slot >= 0 && slot == ListMonitorSlot)
        ListRefreshPending = true;
    else
        return;
    ArmNoticeTimer();
}

void TForm1::ArmNoticeTimer() {
    if (NoticeTimerArmed) return;
    NoticeTimerArmed = true;
    SetTimer(Handle(), kNoticeTimer, kNoticeDelayMs, nullptr);
}

void TForm1::ProcessNotices() {
    KillTimer(Handle(), kNoticeTimer);
    NoticeTimerArmed = false;
    if (RipThread || RipRunActive || !AutoRefresh || !Filer) {
        TreeRefreshPending = ListRefreshPending = false;
        return;
    }
    if (TreeBusy || ListBusy || NoticeActive || DirChanging || TreeDragOver || ListDragOver || DriveDragOver) {
        ArmNoticeTimer();
        return;
    }
    // 3.
    NoticeActive = true;
    const bool tree = TreeRefreshPending, list = ListRefreshPending;
    TreeRefreshPending = ListRefreshPending = false;
    const std::string before = wx::SjisUpperCase(GetFilePathAt());
    TListPlace place = RememberListPlace();
    // 4. A tree refresh lists the folder again too.
    if (tree) {
        RefreshTree(TreeView_GetRoot(TreeView1.Handle()));
    } else if (list) {
        const bool saved = ListBusy;
        ListBusy = true;
        const std::string folder = wx::StripTrailingBackslash(ListedPath);
        if (IsFolder(FolderArgument(folder))) RefreshListView(folder + "\\*.*", false);
        ListBusy = saved;
    }
    // 5.
    if (wx::SjisUpperCase(GetFilePathAt()) == before) RestoreListPlace(place, true);
    // 6.
    NoticeActive = false;
    // Notices that came in meanwhile are taken by the timer they armed.
}

void TForm1::WMDeviceChange(WPARAM event, LPARAM data) {
    if (RipThread || RipRunActive || !AutoRefresh || TreeBusy || ListBusy || !Filer) return;
    if (!ComboBox1.Enabled() || TreeDragOver || ListDragOver || DriveDragOver) return;
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (header && header->dbch_devicetype == DBT_DEVTYP_VOLUME) InitializePidls();
}

TForm1::TListPlace TForm1::RememberListPlace() const {
    TListPlace p;
    const int n = static_cast<int>(ItemList.size());
    if (n == 0) return p;
    p.Valid = true;
    p.Focused = static_cast<int>(ListView1.Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (LargeIconView()) {
        POINT o{};
        ListView1.Send(LVM_GETORIGIN, 0, reinterpret_cast<LPARAM>(&o));
        p.Origin = o.y;
    } else {
        const int top = static_cast<int>(ListView1.Send(LVM_GETTOPINDEX));
        const int page = static_cast<int>(ListView1.Send(LVM_GETCOUNTPERPAGE));
        p.LastVisible = top + page - 1;
        if (p.LastVisible >= n) p.LastVisible = 0;
        if (p.LastVisible >= 0) p.LastName = KeyOf(*ItemList[static_cast<std::size_t>(p.LastVisible)]);
    }
    return p;
}

void TForm1::RestoreListPlace(const TListPlace& p, bool byName) {
    if (!p.Valid) return;
    const int n = static_cast<int>(ItemList.size());
    if (LargeIconView()) {
        POINT o{};
        ListView1.Send(LVM_GETORIGIN, 0, reinterpret_cast<LPARAM>(&o));
        ListView1.Send(LVM_SCROLL, 0, p.Origin - o.y);
    } else if (n > 0) {
        int row = -1;
        if (byName)
            for (int i = 0; i < n && row < 0; ++i)
                if (KeyOf(*ItemList[static_cast<std::size_t>(i)]) == p.LastName) row = i;
        if (row < 0) row = std::min(p.LastVisible, n - 1);
        if (row >= 0) ListView1.Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    }
    // The selection and the focus were taken over by the re-list, row by
    // row (by what the rows stand for, not by their places).
}

void TForm1::RefreshFiler() {
    if (!Filer) return;
    const bool saved = ListBusy;
    ListBusy = true;
    const TListPlace place = RememberListPlace();
    const std::string folder = GetFilePathAt();
    if (!folder.empty()) RefreshListView(folder + "\\*.*", false);
    RestoreListPlace(place, false);
    ListBusy = saved;
}

// ---- The file list ------------------------------------------------------------------

bool TForm1::LargeIconView() const {
    return (GetWindowLongA(ListView1.Handle(), GWL_STYLE) & LVS_TYPEMASK) == LVS_ICON;
}

void TForm1::ClearSelectItem() { ListView_SetItemState(ListView1.Handle(), -1, 0, LVIS_SELECTED); }

void TForm1::RefreshListView(const std::string& mask, bool selectFirst) {
    // 1.
    ByteTotal = 0;
    const HTREEITEM node = TreeView1.Selected();
    if (!node || !Filer) return;
    // 2.
    std::string folderPart;
    if (const std::size_t slash = [&] {
            std::size_t last = std::string::npos;
            for (std::size_t i = wx::SjisFind(mask, '\\'); i != std::string::npos; i = wx::SjisFind(mask, '\\', i + 1))
                last = i;
            return last;
        }();
        slash != std::string::npos)
        folderPart = mask.substr(0, slash + 1);
    ListedPath = folderPart;
    HWND list = ListView1.Handle();
    // A re-list that keeps the view keeps the rows on the screen until the
    // new ones are ready, and then the selection and the focus on the rows
    // that stand for the same files.
    std::set<TRowKey> keepSelected;
    TRowKey keepFocused;
    bool hadFocus = false;
    if (!selectFirst) {
        for (int i = ListView1.NextSelected(-1); i >= 0; i = ListView1.NextSelected(i))
            if (static_cast<std::size_t>(i) < ItemList.size()) keepSelected.insert(KeyOf(*ItemList[static_cast<std::size_t>(i)]));
        const int f = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
        if (f >= 0 && static_cast<std::size_t>(f) < ItemList.size()) {
            keepFocused = KeyOf(*ItemList[static_cast<std::size_t>(f)]);
            hadFocus = true;
        }
    }
    const LONG style = GetWindowLongA(list, GWL_STYLE);
    std::optional<THourglass> wait;
    if (selectFirst) wait.emplace();
    LastSelectedRow = -1;
    ListedFolderPath = FolderArgument(folderPart);
    // 3.
    StatusBar2.SetPanelText(0, wx::Format(wx::LoadResString(MSG_FILER_LISTED_PATH), ListedFolderPath.c_str()));
    // 4.
    const std::string upper = wx::SjisUpperCase(ListedFolderPath);
    for (filer::TDriveEntry& d : Filer->Drives) {
        if (upper.compare(0, d.Root.size(), d.Root) != 0) continue;
        if (d.Type == filer::dtFixed) d.LastFolder = wx::IncludeTrailingBackslash(wx::StripTrailingBackslash(ListedFolderPath));
        break;
    }
    // 13., first: the folder is watched before it is read, so that a change
    // made while it is read is noticed; a re-list of the folder already
    // watched keeps its monitor.
    const std::string watch = FolderArgument(ListedPath);
    if (!ListMonitor || ListMonitorSlot < 0 || ListMonitorPath != watch) {
        ReplaceMonitor(ListMonitor, ListMonitorSlot, watch, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE, false);
        ListMonitorPath = watch;
    }
    // 6., 7. Read while the old rows are still shown.
    const TFilerItem* rec = TreeSink->Record(node);
    std::shared_ptr<TNsItem> folderItem = rec ? rec->Item : nullptr;
    filer::TListing listing;
    filer::ListFolder(*Shell, folderItem.get(), ListedFolderPath, FilerExtFilter, listing);
    const std::string used = filer::UsedSpaceText(listing.ByteTotal);
    {
        // 5., 8. The rows change in one step.
        TNoRedraw still(list);
        if (selectFirst) SetWindowLongA(list, GWL_STYLE, (style & ~LVS_TYPEMASK) | LVS_LIST);
        ClearSelectItem();
        ItemList = std::move(listing.Items);
        ListedFolderItem = std::move(folderItem);
        // A reservation, never a limit.
        if (ItemList.capacity() < 5000) ItemList.reserve(5000);
        ListItemCount = listing.ItemCount;
        ByteTotal = listing.ByteTotal;
        ListView1.Send(LVM_SETITEMCOUNT, static_cast<WPARAM>(ItemList.size()),
                       LVSICF_NOINVALIDATEALL | (selectFirst ? 0 : LVSICF_NOSCROLL));
        RefreshSort();
        if (selectFirst) SetWindowLongA(list, GWL_STYLE, style);
        if (!selectFirst && (!keepSelected.empty() || hadFocus)) {
            for (std::size_t i = 0; i < ItemList.size(); ++i) {
                const TRowKey key = KeyOf(*ItemList[i]);
                UINT state = keepSelected.count(key) ? LVIS_SELECTED : 0;
                if (hadFocus && key == keepFocused) state |= LVIS_FOCUSED;
                if (state) ListView_SetItemState(list, static_cast<int>(i), state, state);
            }
        }
        // 10.
        HDC dc = GetDC(list);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)));
        ListView1.SetColumnWidth(0, 18);
        ListView1.SetColumnWidth(1, TextWidth(dc, 'h', listing.LongestName + 4) + 16);
        ListView1.SetColumnWidth(2, TextWidth(dc, 'A', used.size() + 3));
        ListView1.SetColumnWidth(3, TextWidth(dc, 'h', listing.LongestType + 4));
        ListView1.SetColumnWidth(4, TextWidth(dc, 'A', 16));
        ListView1.SetColumnWidth(5, TextWidth(dc, 'A', 6));
        SelectObject(dc, old);
        ReleaseDC(list, dc);
        // 11.
        if (selectFirst && !ItemList.empty()) {
            LVITEMA it{};
            it.stateMask = it.state = LVIS_SELECTED | LVIS_FOCUSED;
            ListView1.Send(LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&it));
        }
    }
    // 9.
    std::int64_t free = -1;
    if (DiskFreeEx && ListedFolderPath.size() >= 2) {
        ULARGE_INTEGER caller{}, total{}, all{};
        const std::string root = ListedFolderPath.substr(0, 2) + "\\";
        if (DiskFreeEx(root.c_str(), &caller, &total, &all)) free = static_cast<std::int64_t>(caller.QuadPart);
    }
    const std::string freeText = filer::FreeSpaceText(free);
    // 12.
    StatusBar1.SetPanelText(1, wx::Format(wx::LoadResString(MSG_FILER_STATUS), ListItemCount, used.c_str(), freeText.c_str()));
    wait.reset();
    wx::Application.ProcessMessages();
}

std::string TForm1::ListView1Data(int item, int sub) {
    if (item < 0 || static_cast<std::size_t>(item) >= ItemList.size()) return std::string();
    const TFilerItem& r = *ItemList[static_cast<std::size_t>(item)];
    const bool icons = LargeIconView();
    switch (sub) {
    case 0: return icons ? r.Name : std::string();
    case 1: return r.Name;
    case 2: return r.IsDirectory() ? std::string() : filer::FormatThousands(r.Size);
    case 3: return r.TypeName;
    case 4: return filer::FormatDosTime(r.Time);
    case 5: return filer::GetAttrString(r.Attr);
    default: return std::string();
    }
}

int TForm1::ListView1Image(int item) {
    if (item < 0 || static_cast<std::size_t>(item) >= ItemList.size()) return -1;
    TFilerItem& r = *ItemList[static_cast<std::size_t>(item)];
    if (r.IconIndex == -1 && r.Item && ListedFolderItem) r.IconIndex = Shell->ListIcon(*ListedFolderItem, *r.Item);
    return r.IconIndex;
}

void TForm1::SortClick(UINT item) {
    wx::TMenu view(ViewPullDown);
    if (view.Checked(item)) return;
    if (ItemList.size() >= 2) filer::SortItems(ItemList, SortPatternOf(item), SortDescending);
    view.SetRadio(IDM_FILENAMESORT, IDM_TIMESORT, item);
    InvalidateRect(ListView1.Handle(), nullptr, TRUE);
}

void TForm1::RefreshSort() {
    if (ItemList.size() >= 2) {
        wx::TMenu view(ViewPullDown);
        UINT checked = IDM_TIMESORT;
        for (UINT id : {IDM_FILENAMESORT, IDM_EXTSORT1, IDM_SIZESORT, IDM_TIMESORT})
            if (view.Checked(id)) checked = id;
        view.SetChecked(checked, false);
        SortClick(checked);
    }
    InvalidateRect(ListView1.Handle(), nullptr, TRUE);
}

void TForm1::UpSortClick() {
    wx::TMenu(ViewPullDown).SetRadio(IDM_UPSORT, IDM_DOWNSORT, IDM_UPSORT);
    SortDescending = false;
    RefreshSort();
}

void TForm1::DownSortClick() {
    wx::TMenu(ViewPullDown).SetRadio(IDM_UPSORT, IDM_DOWNSORT, IDM_DOWNSORT);
    SortDescending = true;
    RefreshSort();
}

void TForm1::ListView1ColumnClick(int column) {
    const int pattern = filer::SortPatternOfColumn(column);
    if (pattern < 0) return;
    const UINT item = SortItemOf(pattern);
    if (!wx::TMenu(ViewPullDown).Checked(item))
        SortClick(item);
    else if (SortDescending)
        UpSortClick();
    else
        DownSortClick();
}

void TForm1::DoIcon1Click() { SwitchView(IDM_DISPICON1, LVS_ICON); }

void TForm1::DoDetailClick() { SwitchView(IDM_DISPDETAIL, LVS_REPORT); }

void TForm1::SwitchView(UINT item, LONG style) {
    wx::TMenu view(ViewPullDown);
    if (TreeBusy || ListBusy || view.Checked(item)) return;
    view.SetRadio(IDM_DISPICON1, IDM_DISPDETAIL, item);
    HWND list = ListView1.Handle();
    SetWindowLongA(list, GWL_STYLE, (GetWindowLongA(list, GWL_STYLE) & ~LVS_TYPEMASK) | style);
    RefreshSort();
    LastListedNode = TreeView1.Selected();
}

void TForm1::ListView1DblClick() {
    DoubleClickMark = true;
    const int row = ListView1.NextSelected(-1);
    if (row >= 0 && static_cast<std::size_t>(row) < ItemList.size()) ExecParam(*ItemList[static_cast<std::size_t>(row)]);
}

void TForm1::ExecParam(const TFilerItem& rec) {
    HWND tree = TreeView1.Handle();
    const HTREEITEM node = TreeView1.Selected();
    if (!node) return;
    if (filer::SameText(rec.Name, "..")) {
        if (const HTREEITEM parent = TreeView_GetParent(tree, node)) TreeView_SelectItem(tree, parent);
        return;
    }
    if (rec.IsDirectory()) {
        // Copies: selecting another node re-lists the rows, rec among them.
        // The child is found by its name alone (its attributes or time may
        // have changed since its tree level was read); among look-alike
        // ANSI names the exact one decides.
        const std::string name = wx::SjisUpperCase(rec.Name);
        const std::wstring exact = rec.WideName;
        auto find = [&]() -> HTREEITEM {
            HTREEITEM first = nullptr;
            for (HTREEITEM c = TreeView_GetChild(tree, node); c; c = TreeView_GetNextSibling(tree, c)) {
                const TFilerItem* r = TreeSink->Record(c);
                if (!r || wx::SjisUpperCase(r->Name) != name) continue;
                if (exact.empty() || r->WideName == exact) return c;
                if (!first && r->WideName.empty()) first = c;
            }
            return first;
        };
        HTREEITEM child = find();
        if (!child && TreeSink->HasButton(node) && !TreeView_GetChild(tree, node)) {
            TreeView1Expanding(node);
            TreeView_Expand(tree, node, TVE_EXPAND);
            child = find();
        }
        if (child) TreeView_SelectItem(tree, child);
        return;
    }
    // Everything the shell needs is copied first: while it opens the file
    // it may pump messages, and a notice then re-lists the rows.
    const std::wstring path = ExactRowPath(rec);
    const bool program = rec.Name.find(".EXE") != std::string::npos;
    if (path.empty() || filer::HasWildcard(path)) return;
    SHELLEXECUTEINFOW sei{};
    sei.cbSize = sizeof sei;
    sei.hwnd = Handle();
    sei.lpVerb = L"open";
    sei.lpFile = path.c_str();
    sei.lpParameters = L"";
    sei.lpDirectory = L"";
    sei.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&sei) && program) SHAddToRecentDocs(SHARD_PATHW, path.c_str());
}

}  // namespace wendrix
