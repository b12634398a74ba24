// The file manager's commands: the one-letter keys of the tree and the
// list, copy, move, delete, rename, attributes, new folder, edit, the
// list's pop-up menu, the shell's context menu with the program's own
// entries, and tracks dragged from the track list onto a folder.
#include "app/wendrixn.h"

#include <shellapi.h>
#include <windowsx.h>

#include <cstdio>

#include "app/attrfrm.h"
#include "app/dragdrop.h"
#include "app/filercmds.h"
#include "app/filershell.h"
#include "app/selfolder.h"
#include "app/testplay.h"
#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "classlib/sjis.h"
#include "output/renamefrm.h"
#include "output/wmaudiosdk.h"
#include "resources/filer.h"
#include "resources/msgids.h"
#include "settings/configstore.h"

namespace wendrix {

namespace {

constexpr UINT_PTR kMenuProc = 3;

std::string Res(UINT id) { return wx::LoadResString(id); }

POINT ClientPoint(LPARAM lp) { return POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; }

// The tree's and the list's keys, characters, mouse and context menus.
LRESULT PaneMessage(void* data, HWND wnd, UINT msg, WPARAM wp, LPARAM lp, const wx::TNextHandler& next) {
    auto* f = static_cast<TForm1*>(data);
    const bool tree = wnd == f->TreeView1.Handle();
    switch (msg) {
    case WM_KEYDOWN:
        if (filer::FindKeyCommand(static_cast<unsigned>(wp)) != filer::kcNone) {
            f->ListView1KeyDown(tree, static_cast<unsigned>(wp), GetKeyState(VK_SHIFT) < 0);
            return 0;  // consumed, whatever the command did
        }
        break;
    case WM_CHAR:
        return 0;  // no type-ahead search
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        // The mark of a selection change stops only the drag of the press
        // that made it: one left by an earlier change (a click, a key) goes.
        if (tree) f->UserSelectedNode = false;
        if (tree)
            f->TreeView1MouseDown(msg == WM_RBUTTONDOWN, ClientPoint(lp));
        else
            f->ListView1MouseDown(ClientPoint(lp));
        break;
    case WM_MOUSEMOVE:
        if (wp & (MK_LBUTTON | MK_RBUTTON)) {
            if (tree)
                f->TreeView1MouseMove(ClientPoint(lp));
            else
                f->ListView1MouseMove(ClientPoint(lp));
        }
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        if (tree)
            f->TreeView1MouseUp(msg == WM_RBUTTONUP, ClientPoint(lp));
        else
            f->ListView1MouseUp(msg == WM_RBUTTONUP, ClientPoint(lp));
        break;
    case WM_CONTEXTMENU: {
        POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        if (tree ? f->TreeView1ContextPopup(at) : f->ListView1ContextPopup(at)) return 0;
        break;
    }
    default: break;
    }
    return next(wnd, msg, wp, lp);
}

// While a shell menu is tracked: its owner-drawn and delay-filled parts.
LRESULT CALLBACK MenuProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* f = reinterpret_cast<TForm1*>(data);
    if ((msg == WM_DRAWITEM || msg == WM_MEASUREITEM || msg == WM_INITMENUPOPUP) && f->ContextMenu2) {
        f->ContextMenu2->HandleMenuMsg(msg, wp, lp);
        return msg == WM_INITMENUPOPUP ? 0 : TRUE;
    }
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(wnd, &MenuProc, kMenuProc);
    return DefSubclassProc(wnd, msg, wp, lp);
}

// The track list's drag onto the folder tree and the file list.
LRESULT TrackMessage(void* data, HWND wnd, UINT msg, WPARAM wp, LPARAM lp, const wx::TNextHandler& next) {
    auto* f = static_cast<TForm1*>(data);
    switch (msg) {
    case WM_LBUTTONDOWN: {
        // The press sees the selection the list makes for it, so that one
        // gesture selects a row and drags it.
        const LRESULT r = next(wnd, msg, wp, lp);
        if (!f->TrackDragging) f->TrackListMouseDown(ClientPoint(lp));
        return r;
    }
    case WM_MOUSEMOVE:
        // A drag needs the button held; a press whose release the list
        // took for itself is forgotten.
        if (!(wp & MK_LBUTTON) && !f->TrackDragging) f->TrackPress = POINT{-1, -1};
        f->TrackListMouseMove(ClientPoint(lp));
        if (f->TrackDragging) return 0;
        break;
    case WM_LBUTTONUP:
        if (f->TrackDragging) {
            f->TrackListMouseUp(ClientPoint(lp));
            return 0;
        }
        f->TrackListMouseUp(ClientPoint(lp));
        break;
    case WM_KEYDOWN:
        if (wp == VK_ESCAPE && f->TrackDragging) {
            f->TrackListEndDrag(false, POINT{});
            return 0;
        }
        // The list's keys and the track pop-up's shortcuts; the list
        // view's own handling of these never runs after them.
        if (f->TrackListKeyDown(WORD(wp))) return 0;
        break;
    case WM_CHAR:
        // Every character is consumed: the list view's type-ahead search
        // never replaces the selection.
        return 0;
    case WM_CAPTURECHANGED:
        if (f->TrackDragging && reinterpret_cast<HWND>(lp) != wnd) f->TrackListEndDrag(false, POINT{});
        break;
    default: break;
    }
    return next(wnd, msg, wp, lp);
}

std::vector<int> SelectedRows(const TMyCustomListView& list) {
    std::vector<int> rows;
    for (int i = list.NextSelected(-1); i >= 0; i = list.NextSelected(i)) rows.push_back(i);
    return rows;
}

}  // namespace

// ---- Set-up ----------------------------------------------------------------------

void TForm1::SetEventList() {
    // The key table is fixed (filer::FindKeyCommand); the tree and the list
    // receive it once their windows exist.
    EventListSet = true;
}

void TForm1::AttachPaneHandlers() {
    wx::HookControl(TreeView1.Handle(), &PaneMessage, this);
    wx::HookControl(ListView1.Handle(), &PaneMessage, this);
    wx::HookControl(TrackList.Handle(), &TrackMessage, this);
}

void TForm1::BindFilerCommands() {
    // A drag the control itself detected goes on where the pointer is now.
    auto pointer = [](HWND control) {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(control, &p);
        return p;
    };
    for (UINT code : {UINT(TVN_BEGINDRAGA), UINT(TVN_BEGINRDRAGA)})
        OnNotify(IDC_TREEVIEW1, code, [this, pointer](NMHDR*) -> LRESULT {
            TreeView1MouseMove(pointer(TreeView1.Handle()));
            return 0;
        });
    OnNotify(IDC_LISTVIEW1, LVN_BEGINDRAG, [this, pointer](NMHDR*) -> LRESULT {
        ListView1MouseMove(pointer(ListView1.Handle()));
        return 0;
    });
    OnNotify(IDC_TRACKLIST, LVN_BEGINDRAG, [this, pointer](NMHDR* h) -> LRESULT {
        // A list that detects the drag inside its own press handling: the
        // press it began with, now that the row is selected.
        if (TrackPress.x < 0 && !TrackDragging) TrackListMouseDown(reinterpret_cast<NMLISTVIEW*>(h)->ptAction);
        TrackListMouseMove(pointer(TrackList.Handle()));
        return 0;
    });
    OnClick(IDM_POPUPALLSELECT, [this] { PopupAllSelectClick(); });
    OnClick(IDM_POPUPPASTE, [this] { PopupLinkPasteClick(false); });
    OnClick(IDM_POPUPLINKPASTE, [this] { PopupLinkPasteClick(true); });
    OnClick(IDM_MAKENEWFOLDER, [this] { MakeDirectory(); });
    OnClick(IDM_POPUPLICON, [this] { DoIcon1Click(); });
    OnClick(IDM_POPUPDETAIL, [this] { DoDetailClick(); });
}

// ---- Keys --------------------------------------------------------------------------

void TForm1::ListView1KeyDown(bool fromTree, unsigned key, bool shift) {
    switch (filer::FindKeyCommand(key)) {
    case filer::kcCopyMoveDelete: BrowseDeleteMoveCopyFile(fromTree, key, shift); break;
    case filer::kcRenameAttr: BrowseControlFile(fromTree, key); break;
    case filer::kcMakeDirectory: MakeDirectory(); break;
    case filer::kcEditFile:
        if (!fromTree) EditFile();
        break;
    case filer::kcSelectNext:
        if (!fromTree) SelectNextItem();
        break;
    case filer::kcGoUpper: GoUpperNode(); break;
    case filer::kcExecItem:
        if (!fromTree) ExecItem();
        break;
    case filer::kcBrowseDrive: BrowseDrive(); break;
    case filer::kcNone: break;
    }
}

int TForm1::SHFileOperation_Local(SHFILEOPSTRUCTW& op) {
    // The shell reads '?' and '*' as wildcards: a list holding one would
    // act on every file it matches.
    for (const wchar_t* p = op.pFrom; p && *p; p += wcslen(p) + 1)
        if (filer::HasWildcard(p)) return ERROR_INVALID_NAME;
    const bool saved = TreeBusy;
    TreeBusy = true;
    int r = SHFileOperationW(&op);
    TreeBusy = saved;
    if (r != 0 && op.fAnyOperationsAborted) r = 0;
    return r;
}

bool TForm1::RefuseCarry(const std::vector<std::wstring>& sources, const std::wstring& dest, bool move) {
    for (const std::wstring& src : sources) {
        const filer::TCarryRefusal why = filer::CarryRefusal(src, dest, move);
        if (why == filer::crNone) continue;
        std::wstring place = why == filer::crIntoItself ? dest : src;
        if (why == filer::crIntoItself && !place.empty() && place.back() != L'\\') place += L'\\';
        const std::string shown = filer::Narrow(place);
        wx::ShowMessageBox(wx::Format(Res(why == filer::crIntoItself ? MSG_FILER_INTO_ITSELF : MSG_FILER_INTO_OWN_FOLDER),
                                      shown.c_str()),
                           MB_OK | MB_ICONWARNING, Handle());
        return true;
    }
    return false;
}

void TForm1::BrowseDeleteMoveCopyFile(bool fromTree, unsigned key, bool shift) {
    // 1.
    const filer::TFileOp op = filer::FileOpOfKey(key);
    const std::string word = Res(op == filer::foDelete ? MSG_FILER_OP_DELETE
                                 : op == filer::foCopy ? MSG_FILER_OP_COPY
                                                       : MSG_FILER_OP_MOVE);
    // 2.
    if (!fromTree && ListView1.SelectedCount() == 0) return;
    if (!TreeView1.Selected()) return;
    // 3. The drive-root refusal is the tree's: files of a root can be
    //    copied and deleted from the list.  The operation gets every name
    //    exactly as the file system holds it.
    const std::string folder = GetFilePathAt();
    const std::wstring exactFolder = ExactFolder();
    std::vector<std::wstring> sources;
    bool hasFolder = true;
    if (fromTree) {
        if (folder.size() <= 2) return;
        sources.push_back(exactFolder);
    } else {
        const filer::TMultiFileList ml = filer::SetMultiFileList(folder + "\\", ItemList, SelectedRows(ListView1));
        if (ml.Count == 0) return;
        for (int row : ml.Rows) sources.push_back(ExactRowPath(*ItemList[static_cast<std::size_t>(row)]));
        hasFolder = ml.HasFolder;
    }
    // 4. A relative destination lies under the listed folder.
    std::wstring to;
    if (op != filer::foDelete) {
        TDirInputForm form(this);
        form.Title = wx::Format(Res(MSG_FILER_OP_PICKER), word.c_str());
        form.CurrentFolder = folder + "\\";
        form.CaptionText = wx::Format(Res(fromTree ? MSG_FILER_OP_FOLDER : MSG_FILER_OP_FILES), word.c_str());
        if (form.ShowModal(Handle()) != IDOK) return;
        // The destination must be a folder that exists: for a missing one
        // the shell makes the folder and then, for a single file, copies
        // nothing and reports the abort as success.
        std::wstring dest = filer::ResolveDestination(filer::Widen(form.Chosen), exactFolder);
        // "." and ".." steps taken, so that the refusals below see the folder meant.
        if (!dest.empty()) {
            wchar_t full[MAX_PATH * 2] = {};
            const DWORD n = GetFullPathNameW(dest.c_str(), MAX_PATH * 2, full, nullptr);
            dest = n > 0 && n < MAX_PATH * 2 ? std::wstring(full) : std::wstring();
        }
        const DWORD destAttr = dest.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(dest.c_str());
        if (dest.empty() || filer::HasWildcard(dest) || destAttr == INVALID_FILE_ATTRIBUTES ||
            !(destAttr & FILE_ATTRIBUTE_DIRECTORY)) {
            wx::ShowMessageBox(wx::Format(Res(MSG_FILER_BAD_DESTINATION), form.Chosen.c_str()), MB_OK | MB_ICONWARNING,
                               Handle());
            return;
        }
        if (RefuseCarry(sources, dest, op == filer::foMove)) return;
        to = filer::NulListOf<std::wstring>({dest + (dest.back() == L'\\' ? L"" : L"\\")});
    }
    // 5.
    const std::wstring from = filer::NulListOf(sources);
    SHFILEOPSTRUCTW sh{};
    sh.hwnd = Handle();
    sh.wFunc = static_cast<UINT>(op);
    sh.pFrom = from.c_str();
    sh.pTo = to.empty() ? nullptr : to.c_str();
    sh.fFlags = static_cast<FILEOP_FLAGS>(filer::FileOpFlags(op, shift));
    if (SHFileOperation_Local(sh) == 0 && hasFolder) RefreshTree(TreeView_GetRoot(TreeView1.Handle()));
}

void TForm1::BrowseControlFile(bool fromTree, unsigned key) {
    // 1.
    if (!fromTree && ListView1.SelectedCount() == 0) return;
    const HTREEITEM node = TreeView1.Selected();
    if (!node) return;
    const std::string folder = GetFilePathAt();
    // 2. Targets: exact paths with copies of what their rows show; the
    //    records themselves may go with a re-list while a form is open.
    std::vector<TControlTarget> targets;
    bool hasFolder = false;
    auto target = [](const std::wstring& path, const TFilerItem& r) {
        TControlTarget t;
        t.Path = path;
        t.Name = r.Name;
        t.Attr = r.Attr;
        t.Time = r.Time;
        return t;
    };
    if (fromTree) {
        if (folder.size() <= 2) return;
        if (const TFilerItem* r = TreeSink->Record(node)) targets.push_back(target(ExactFolder(), *r));
        hasFolder = true;
    } else {
        for (int row : SelectedRows(ListView1)) {
            const TFilerItem& r = *ItemList[static_cast<std::size_t>(row)];
            if (r.IsParentRow()) continue;
            targets.push_back(target(ExactRowPath(r), r));
            if (r.IsDirectory()) hasFolder = true;
        }
    }
    // 3. Notices wait for the batch's own refresh.
    const bool autoRefresh = AutoRefresh;
    AutoRefresh = false;
    // 4.
    bool changed = false;
    for (const TControlTarget& t : targets) {
        const bool go = key == 'R' ? ChangeName(t, changed) : ChangeAttr(t, changed);
        if (!go) break;
    }
    AutoRefresh = autoRefresh;
    // 5. Changed rows are listed again, so that they show their new names
    //    and attributes.
    if (!changed) return;
    if (hasFolder)
        RefreshTree(TreeView_GetRoot(TreeView1.Handle()));
    else
        RefreshFiler();
}

bool TForm1::ChangeName(const TControlTarget& t, bool& changed) {
    TRenameForm form(this);
    form.CaptionText = Res(MSG_FILER_RENAME_CAPTION);
    form.LabelText = wx::Format(Res(MSG_FILER_RENAME_LABEL), t.Name.c_str());
    form.Text = t.Name;
    if (form.ShowModal(Handle()) != IDOK) return true;
    const filer::TRenameCheck check = filer::CheckNewName(t.Name, form.Text);
    // The name left as it was: nothing to do, and the batch goes on.
    if (check == filer::rcUnchanged) return true;
    if (check == filer::rcInvalid) {
        wx::ShowMessageBox(wx::Format(Res(MSG_FILER_BAD_NEW_NAME), form.Text.c_str()), MB_OK | MB_ICONERROR, Handle());
        return false;
    }
    const std::size_t slash = t.Path.rfind(L'\\');
    if (slash == std::wstring::npos || filer::HasWildcard(t.Path)) {
        wx::MessageBoxRes(MSG_FILER_RENAME_FAILED, MB_OK | MB_ICONERROR);
        return false;
    }
    const std::wstring dest = t.Path.substr(0, slash + 1) + filer::Widen(form.Text);
    bool ok = false;
    if (check == filer::rcCaseOnly) {
        // The shell takes the new name for an existing file: the letters'
        // case changes through a free temporary name.
        std::wstring hop;
        for (int n = 0; n < 100 && hop.empty(); ++n) {
            std::wstring candidate = t.Path + L".~" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(n);
            if (GetFileAttributesW(candidate.c_str()) == INVALID_FILE_ATTRIBUTES) hop = candidate;
        }
        if (!hop.empty() && MoveFileW(t.Path.c_str(), hop.c_str())) {
            ok = MoveFileW(hop.c_str(), dest.c_str()) != 0;
            if (!ok) MoveFileW(hop.c_str(), t.Path.c_str());
        }
    } else {
        const std::wstring from = filer::NulListOf<std::wstring>({t.Path});
        const std::wstring to = filer::NulListOf<std::wstring>({dest});
        SHFILEOPSTRUCTW op{};
        op.hwnd = Handle();
        op.wFunc = FO_RENAME;
        op.pFrom = from.c_str();
        op.pTo = to.c_str();
        op.fFlags = FOF_FILESONLY;
        ok = SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
    }
    if (!ok) {
        wx::MessageBoxRes(MSG_FILER_RENAME_FAILED, MB_OK | MB_ICONERROR);
        return false;
    }
    changed = true;
    return true;
}

bool TForm1::ChangeAttr(const TControlTarget& t, bool& changed) {
    // 1.
    TAttrForm form(this);
    form.Path = t.Path;
    form.LabelText = wx::Format(Res(MSG_FILER_ATTR_LABEL), t.Name.c_str());
    form.Attr = t.Attr;
    filer::TDosDateTime dt;
    if (!filer::DecodeDosTime(t.Time, dt)) {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        dt = filer::TDosDateTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    }
    form.Time = dt;
    // 2.
    if (form.ShowModal(Handle()) != IDOK) return true;
    const std::string shown = filer::Narrow(t.Path);
    if (filer::HasWildcard(t.Path)) {
        wx::ShowMessageBox(wx::Format(Res(MSG_FILER_ATTR_FAILED), shown.c_str()), MB_OK | MB_ICONERROR, Handle());
        return true;
    }
    // 3.
    bool failed = false;
    if (form.ApplyAttr) {
        if (SetFileAttributesW(t.Path.c_str(), form.NewAttr))
            changed = true;
        else
            failed = true;
    }
    // 4. The time: opened for its attributes only, so that read-only files
    //    and folders take it too.
    if (form.ApplyTime) {
        const auto& f = form.Fields;
        SYSTEMTIME st{};
        FILETIME local{}, utc{};
        const bool valid = filer::CheckDateFields(f[0], f[1], f[2]) == filer::fcOk &&
                           filer::CheckTimeFields(f[3], f[4], f[5]) == filer::fcOk;
        if (valid) {
            st.wYear = static_cast<WORD>(std::stoi(f[0]));
            st.wMonth = static_cast<WORD>(std::stoi(f[1]));
            st.wDay = static_cast<WORD>(std::stoi(f[2]));
            st.wHour = static_cast<WORD>(std::stoi(f[3]));
            st.wMinute = static_cast<WORD>(std::stoi(f[4]));
            st.wSecond = static_cast<WORD>(std::stoi(f[5]));
        }
        if (!valid || !SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &utc)) {
            wx::MessageBoxRes(MSG_FILER_BAD_TIMESTAMP, MB_OK | MB_ICONERROR);
        } else {
            HANDLE h = CreateFileW(t.Path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            const bool set = h != INVALID_HANDLE_VALUE && SetFileTime(h, nullptr, nullptr, &utc);
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
            if (set)
                changed = true;
            else
                failed = true;
        }
    }
    if (failed) wx::ShowMessageBox(wx::Format(Res(MSG_FILER_ATTR_FAILED), shown.c_str()), MB_OK | MB_ICONERROR, Handle());
    // 5. The rows show the new values through the batch's re-list.
    return true;
}

void TForm1::MakeDirectory() {
    if (!TreeView1.Selected()) return;
    TRenameForm form(this);
    form.CaptionText = Res(MSG_FILER_MKDIR_CAPTION);
    form.LabelText = Res(MSG_FILER_MKDIR_LABEL);
    if (form.ShowModal(Handle()) != IDOK) return;
    const std::string path = GetFilePathAt() + "\\" + form.Text;
    if (form.Text.empty() || !CreateDirectoryA(path.c_str(), nullptr))
        wx::MessageBoxRes(MSG_FILER_MKDIR_FAILED, MB_OK | MB_ICONWARNING);
}

void TForm1::EditFile() {
    if (ListView1.SelectedCount() == 0) return;
    const TFilerItem* file = nullptr;
    for (int row : SelectedRows(ListView1)) {
        const TFilerItem* r = ItemList[static_cast<std::size_t>(row)].get();
        if (!r->IsParentRow() && !r->IsDirectory()) file = r;
    }
    if (!file) return;
    std::string editor = ConfigForm ? ConfigForm->UseEditor.Text : std::string();
    if (editor.empty()) editor = "notepad.exe";
    const std::wstring path = ExactRowPath(*file);
    if (path.empty() || filer::HasWildcard(path)) return;
    const std::wstring program = filer::Widen(editor);
    const std::wstring params = L"\"" + path + L"\"";
    SHELLEXECUTEINFOW sei{};
    sei.cbSize = sizeof sei;
    sei.hwnd = Handle();
    sei.lpVerb = L"open";
    sei.lpFile = program.c_str();
    sei.lpParameters = params.c_str();
    sei.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&sei)) SHAddToRecentDocs(SHARD_PATHW, path.c_str());
}

void TForm1::SelectNextItem() {
    const int n = static_cast<int>(ItemList.size());
    if (n == 0) return;
    HWND list = ListView1.Handle();
    const int focused = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
    const int target = focused < 0 ? 0 : std::min(focused + 1, n - 1);
    const bool on = ListView_GetItemState(list, target, LVIS_SELECTED) == 0;
    ListView_SetItemState(list, target, on ? LVIS_SELECTED : 0, LVIS_SELECTED);
    ListView_EnsureVisible(list, target, FALSE);
    if (focused >= 0 && focused != target) ListView_SetItemState(list, focused, 0, LVIS_FOCUSED);
    ListView_SetItemState(list, target, LVIS_FOCUSED, LVIS_FOCUSED);
}

void TForm1::GoUpperNode() {
    const HTREEITEM node = TreeView1.Selected();
    if (const HTREEITEM parent = node ? TreeView_GetParent(TreeView1.Handle(), node) : nullptr)
        TreeView_SelectItem(TreeView1.Handle(), parent);
}

void TForm1::ExecItem() {
    if (LastSelectedRow >= 0 && static_cast<std::size_t>(LastSelectedRow) < ItemList.size())
        ExecParam(*ItemList[static_cast<std::size_t>(LastSelectedRow)]);
}

void TForm1::BrowseDrive() {
    const HTREEITEM node = TreeView1.Selected();
    if (!node) return;
    const std::string folder = GetFilePathAt();
    TDirInputForm form(this);
    form.CaptionText = Res(MSG_FILER_JUMP_CAPTION);
    form.Title = Res(MSG_FILER_JUMP_PICKER);
    form.DestinationLabel = Res(MSG_FILER_JUMP_LABEL);
    form.CurrentFolder = folder + "\\";
    if (form.ShowModal(Handle()) != IDOK) return;
    const HTREEITEM parent = TreeView_GetParent(TreeView1.Handle(), node);
    const std::string target = filer::BrowseDriveTarget(form.Chosen, folder, parent ? GetFilePathAt(parent) : std::string());
    if (!target.empty() && Shell && Shell->IsFolder(wx::StripTrailingBackslash(target) + (target.size() <= 3 ? "\\" : "")))
        DirectoryChange(target);
}

// ---- The list's pop-up menu --------------------------------------------------------------

void TForm1::ShowListPopup(POINT at) {
    wx::TMenu menu = wx::TMenu::Load(IDM_POPUPLVFILER);
    wx::TMenu popup = menu.SubMenu(0);
    wx::TMenu view(ViewPullDown);
    popup.SetChecked(IDM_POPUPLICON, view.Checked(IDM_DISPICON1));
    popup.SetChecked(IDM_POPUPDETAIL, view.Checked(IDM_DISPDETAIL));
    const bool files = filer::ClipboardHasFiles();
    popup.SetEnabled(IDM_POPUPPASTE, files);
    popup.SetEnabled(IDM_POPUPLINKPASTE, files);
    const UINT cmd = wx::Prompter().PopupMenu(popup.Handle(), Handle(), at.x, at.y);
    if (cmd) SendMessageA(Handle(), WM_COMMAND, cmd, 0);
}

void TForm1::PopupAllSelectClick() {
    HWND list = ListView1.Handle();
    for (std::size_t i = 0; i < ItemList.size(); ++i)
        ListView_SetItemState(list, static_cast<int>(i), i == 0 && ItemList[0]->IsParentRow() ? 0 : LVIS_SELECTED,
                              LVIS_SELECTED);
}

void TForm1::PopupLinkPasteClick(bool asShortcuts) {
    if (!Shell || !TreeView1.Selected()) return;
    filer::PasteClipboardFiles(Handle(), *Shell, ExactFolder() + L"\\", asShortcuts);
}

// ---- The shell's context menu --------------------------------------------------------------

bool TForm1::ListView1ContextPopup(POINT at) {
    HWND list = ListView1.Handle();
    if (ItemList.empty()) return false;
    if (at.x == -1 && at.y == -1) {
        RECT r{};
        ListView_GetItemRect(list, std::max(0, ListView_GetNextItem(list, -1, LVNI_FOCUSED)), &r, LVIR_LABEL);
        at = POINT{r.left, r.bottom};
        ClientToScreen(list, &at);
    } else {
        POINT c = at;
        ScreenToClient(list, &c);
        RECT first{};
        ListView_GetItemRect(list, ListView_GetTopIndex(list), &first, LVIR_BOUNDS);
        if (!LargeIconView() && c.y < first.top) return false;  // the header
    }
    DragStart = POINT{-1, -1};
    if (ListView1.SelectedCount() == 0)
        ShowListPopup(at);
    else
        ContextMenu(ListView1.Handle(), at);
    return true;
}

bool TForm1::TreeView1ContextPopup(POINT at) {
    HWND tree = TreeView1.Handle();
    HTREEITEM node = nullptr;
    if (at.x == -1 && at.y == -1) {
        node = TreeView_GetSelection(tree);
        RECT r{};
        if (node && TreeView_GetItemRect(tree, node, &r, TRUE)) {
            at = POINT{r.left, r.bottom};
            ClientToScreen(tree, &at);
        }
    } else {
        TVHITTESTINFO hit{};
        hit.pt = at;
        ScreenToClient(tree, &hit.pt);
        node = TreeView_HitTest(tree, &hit);
        if (!(hit.flags & TVHT_ONITEM)) node = nullptr;
    }
    TreeView_SelectDropTarget(tree, node);
    DropHighlightNode = node;
    ContextMenu(tree, at);
    return true;
}

int TForm1::ContextMenu(HWND control, POINT at) {
    // 1. The items.
    std::vector<std::shared_ptr<TNsItem>> keep;
    std::vector<LPCITEMIDLIST> pidls;
    std::vector<std::string> names;
    IShellFolder* parent = nullptr;
    const bool fromList = control == ListView1.Handle();
    auto add = [&](const std::shared_ptr<TNsItem>& item) {
        auto* s = static_cast<const filer::TShellItem*>(item.get());
        if (!s || !s->Pidl) return false;
        keep.push_back(item);
        pidls.push_back(s->Pidl);
        parent = s->Parent;
        return true;
    };
    // The own entries hand ANSI paths to the player, the encoder and the
    // tag editor: a name that does not survive the code page would name
    // another file there, and is left out of them (the shell's verbs get
    // every item by its id).
    std::string leftOut;
    if (fromList) {
        for (int row : SelectedRows(ListView1)) {
            const TFilerItem& r = *ItemList[static_cast<std::size_t>(row)];
            if (r.IsParentRow() || !add(r.Item)) continue;
            const std::wstring exact = ExactRowPath(r);
            if (filer::SurvivesAnsi(exact))
                names.push_back(r.Name);
            else if (leftOut.empty())
                leftOut = filer::Narrow(exact);
        }
    } else if (control == TreeView1.Handle()) {
        // The node the menu was opened on (it carries the drop highlight).
        const HTREEITEM node = DropHighlightNode;
        if (const TFilerItem* r = node ? TreeSink->Record(node) : nullptr) add(r->Item);
    } else if (Filer) {
        POINT c = at;
        ScreenToClient(DrivePanel1.Handle(), &c);
        const int d = DrivePanel1.DriveAtPos(c.x, c.y);
        if (d >= 0 && static_cast<std::size_t>(d) < Filer->Drives.size()) add(Filer->Drives[static_cast<std::size_t>(d)].Item.Item);
    }
    int result = 0;
    const std::string folder = GetFilePathAt() + "\\";
    // 2.
    IContextMenu* cm = nullptr;
    HMENU menu = nullptr;
    if (parent && !pidls.empty() &&
        SUCCEEDED(parent->GetUIObjectOf(control, static_cast<UINT>(pidls.size()), pidls.data(), IID_IContextMenu, nullptr,
                                        reinterpret_cast<void**>(&cm))) &&
        cm) {
        menu = CreatePopupMenu();
        if (ContextMenu2) ContextMenu2->Release();
        ContextMenu2 = nullptr;
        cm->QueryInterface(IID_IContextMenu2, reinterpret_cast<void**>(&ContextMenu2));
        if (SUCCEEDED(cm->QueryContextMenu(menu, 0, 1, 0x7FFF, CMF_EXPLORE))) {
            // 3.
            filer::TFileClasses classes;
            if (fromList) {
                classes = filer::ClassifySelectedFiles(names, IsWmaLibraryLoaded());
                AddMP3Menu(menu, classes);
            }
            // 4., 5.
            SetWindowSubclass(control, &MenuProc, kMenuProc, reinterpret_cast<DWORD_PTR>(this));
            const UINT cmd = wx::Prompter().PopupMenu(menu, control, at.x, at.y);
            RemoveWindowSubclass(control, &MenuProc, kMenuProc);
            // 6.
            const int own = fromList ? filer::FindOwnMenuCommand(OwnMenuIds, cmd) : -1;
            if (own >= 0 && own <= 2 && !leftOut.empty())
                wx::ShowMessageBox(wx::Format(Res(MSG_FILER_NAME_NOT_PASSED), leftOut.c_str()), MB_OK | MB_ICONWARNING, Handle());
            switch (own) {
            case 0: PlayFiles(classes.Playable, folder); break;
            case 1: EncodeFiles(classes.Encodable, folder); break;
            case 2: EditID3Tag(classes.Taggable, folder, at); break;
            case 3: MakeDirectory(); break;
            case 4: BrowseControlFile(false, 'R'); break;
            default:
                if (cmd) {
                    CMINVOKECOMMANDINFO ici{};
                    ici.cbSize = sizeof ici;
                    ici.hwnd = control;
                    ici.lpVerb = MAKEINTRESOURCEA(cmd - 1);
                    ici.nShow = SW_SHOWNORMAL;
                    if (SUCCEEDED(cm->InvokeCommand(&ici))) result = -1;
                }
                break;
            }
        }
    }
    // 7.
    if (menu) DestroyMenu(menu);
    if (cm) cm->Release();
    TreeView_SelectDropTarget(TreeView1.Handle(), nullptr);
    DropHighlightNode = nullptr;
    TrackPress = POINT{-1, -1};
    return result;
}

void TForm1::AddMP3Menu(HMENU menu, const filer::TFileClasses& classes) {
    OwnMenuIds = filer::ReserveMenuIds([menu](unsigned id) { return GetMenuState(menu, id, MF_BYCOMMAND) != 0xFFFFFFFF; });
    if (OwnMenuIds.size() < 5) return;
    const bool play = !classes.Playable.empty();
    const bool encode = !classes.Encodable.empty();
    const bool tag = !classes.Taggable.empty();
    struct TLine {
        int Text;  // own entry, -1 separator
        bool Enabled;
    };
    const TLine lines[7] = {{0, play}, {1, encode}, {2, tag}, {-1, true}, {3, true}, {4, true}, {-1, true}};
    for (UINT pos = 0; pos < 7; ++pos) {
        const TLine& l = lines[pos];
        if (l.Text < 0) {
            InsertMenuA(menu, pos, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const std::string text = Res(MSG_FILER_MENU_OWN + static_cast<UINT>(l.Text));
        InsertMenuA(menu, pos, MF_BYPOSITION | MF_STRING | (l.Enabled ? 0 : MF_GRAYED), OwnMenuIds[std::size_t(l.Text)],
                    text.c_str());
    }
}

void TForm1::PlayFiles(const std::vector<std::string>& names, const std::string& folder) {
    // 1.
    if (names.empty()) return;
    SpeedButton1Click();
    if (!IsLivingPlayer()) {
        std::string message;
        bool wasRunning = false;
        PlayerWindow = BootupPlayer(message, wasRunning);
        if (!IsLivingPlayer()) {
            wx::ShowMessageBox(message, MB_OK | MB_ICONERROR, Handle());
            return;
        }
    }
    // 2. Every command is sent, the bytes of the names too, so that the
    //    player has the whole list before it is told to play.
    auto command = [this](WPARAM wp, LPARAM cmd) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(PlayerWindow, WM_USER, wp, cmd, SMTO_NORMAL | SMTO_ABORTIFHUNG, 5000, &answer);
    };
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    const bool nt = GetVersionExA(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_NT;
    command(0, PlayerClear);
    if (nt) Sleep(100);
    for (const std::string& name : names) {
        for (char c : folder + name) command(static_cast<unsigned char>(c), PlayerAddByte);
        command(0, PlayerAddByte);
    }
    if (nt) Sleep(100);
    command(0, PlayerPlay);
    command(0, PlayerSeek);
    command(0, PlayerPlay);
    // 3.
    ComboBox1.SetItemIndex(0);
}

void TForm1::RefreshListClick() {
    ToolBar2.EnableButton(IDT_REFRESHLIST, false);
    RefreshDataBase(ConfigForm && ConfigForm->RefreshWithCDDB.Checked);
    ToolBar2.EnableButton(IDT_REFRESHLIST, true);
}

// ---- Tracks dragged onto a folder ------------------------------------------------------------

void TForm1::TrackListMouseDown(POINT at) {
    TrackPress = POINT{-1, -1};
    if (!TreeBusy && !ListBusy && TrackList.SelectedCount() > 0) TrackPress = at;
}

void TForm1::TrackListMouseMove(POINT at) {
    if (TrackDragging) {
        POINT s = at;
        ClientToScreen(TrackList.Handle(), &s);
        TrackDragOver(s);
        return;
    }
    if (TrackPress.x < 0 || (std::abs(at.x - TrackPress.x) <= 5 && std::abs(at.y - TrackPress.y) <= 5)) return;
    TrackPress = POINT{-1, -1};
    TrackDragging = true;
    SetCapture(TrackList.Handle());
    POINT s = at;
    ClientToScreen(TrackList.Handle(), &s);
    TrackDragOver(s);
}

void TForm1::TrackListMouseUp(POINT at) {
    const bool dragging = TrackDragging;
    TrackPress = POINT{-1, -1};
    if (!dragging) return;
    POINT s = at;
    ClientToScreen(TrackList.Handle(), &s);
    TrackListEndDrag(true, s);
}

// The tree or the list under a screen point, and whether tracks may be
// dropped there.
bool TForm1::TrackDragOver(POINT screen) {
    HWND under = WindowFromPoint(screen);
    bool accept = false;
    HWND tree = TreeView1.Handle(), list = ListView1.Handle();
    if (under == tree) {
        POINT c = screen;
        ScreenToClient(tree, &c);
        TVHITTESTINFO hit{};
        hit.pt = c;
        HTREEITEM node = TreeView_HitTest(tree, &hit);
        if (!(hit.flags & TVHT_ONITEM)) node = nullptr;
        TreeView_SelectDropTarget(tree, node);
        DropHighlightNode = node;
        accept = node != nullptr;
        RECT r{};
        GetClientRect(tree, &r);
        const int screenBottom = GetSystemMetrics(SM_CYSCREEN);
        if (c.y < 20 || screen.y < 20)
            SendMessageA(tree, WM_VSCROLL, SB_LINEUP, 0);
        else if (c.y > r.bottom - GetSystemMetrics(SM_CYVSCROLL) - 5 || screen.y > screenBottom - 20)
            SendMessageA(tree, WM_VSCROLL, SB_LINEDOWN, 0);
    } else {
        TreeView_SelectDropTarget(tree, nullptr);
        DropHighlightNode = nullptr;
    }
    if (TrackDropRow >= 0) ListView_SetItemState(list, TrackDropRow, 0, LVIS_DROPHILITED);
    TrackDropRow = -1;
    if (under == list) {
        POINT c = screen;
        ScreenToClient(list, &c);
        LVHITTESTINFO hit{};
        hit.pt = c;
        const int row = ListView_HitTest(list, &hit);
        const TFilerItem* rec = row >= 0 && static_cast<std::size_t>(row) < ItemList.size() ? ItemList[std::size_t(row)].get() : nullptr;
        accept = !(rec && rec->IsParentRow());
        if (rec && accept && rec->IsDirectory()) {
            TrackDropRow = row;
            ListView_SetItemState(list, row, LVIS_DROPHILITED, LVIS_DROPHILITED);
        }
        RECT r{};
        GetClientRect(list, &r);
        const int margin = LargeIconView() ? 40 : 20;
        const int screenBottom = GetSystemMetrics(SM_CYSCREEN);
        if ((c.y < margin || screen.y < margin) && ListView_GetTopIndex(list) > 0)
            SendMessageA(list, WM_VSCROLL, SB_LINEUP, 0);
        else if (c.y > r.bottom - margin || screen.y > screenBottom - margin)
            SendMessageA(list, WM_VSCROLL, SB_LINEDOWN, 0);
    }
    SetCursor(LoadCursor(nullptr, accept ? IDC_ARROW : IDC_NO));
    return accept;
}

void TForm1::TrackListEndDrag(bool drop, POINT screen) {
    if (!TrackDragging) return;
    TrackDragging = false;
    if (GetCapture() == TrackList.Handle()) ReleaseCapture();
    HWND tree = TreeView1.Handle(), list = ListView1.Handle();
    std::string folder;
    if (drop && TrackDragOver(screen)) {
        HWND under = WindowFromPoint(screen);
        if (under == tree) {
            if (const HTREEITEM node = DropHighlightNode) folder = GetFilePathAt(node) + "\\";
        } else if (under == list) {
            folder = GetFilePathAt() + "\\";
            if (TrackDropRow >= 0) folder += ItemList[static_cast<std::size_t>(TrackDropRow)]->Name + "\\";
        }
    }
    TreeView_SelectDropTarget(tree, nullptr);
    DropHighlightNode = nullptr;
    if (TrackDropRow >= 0) ListView_SetItemState(list, TrackDropRow, 0, LVIS_DROPHILITED);
    TrackDropRow = -1;
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    if (folder.empty() || TrackList.SelectedCount() == 0) return;
    const std::string ask = wx::Format(Res(MSG_DROP_RIP_CONFIRM), folder.c_str());
    if (wx::ShowMessageBox(ask, MB_OKCANCEL | MB_ICONQUESTION, Handle()) != IDOK) {
        wx::MessageBoxRes(MSG_RIP_ABORTED, MB_OK | MB_ICONINFORMATION);
        return;
    }
    Rip().RipTargetFolder = folder;
    ToolRipStartClick(true);
}

}  // namespace wendrix
