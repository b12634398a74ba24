// The track list pane of the main window: the table of contents in the
// list, selection rules, keys and mouse, the track pop-up menu and its
// commands, the drive pop-up, the media-change check, and the rip command,
// which the rip control (extraction/ripcontrol.h) carries out.
#include <cstdio>
#include <fstream>
#include <memory>

#include "app/trkprop.h"
#include "app/wendrixn.h"
#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "classlib/sjis.h"
#include "extraction/ClassDrv.h"
#include "extraction/Win32Aspi.h"
#include "extraction/ripcontrol.h"
#include "output/acmmgr32.h"
#include "output/id3edit.h"
#include "output/renamefrm.h"
#include "output/wmaudiosdk.h"
#include "resources/msgids.h"
#include "resources/tracklist.h"
#include "settings/configform.h"
#include "settings/configs_win.h"
#include "settings/configstore.h"
#include "settings/profileini.h"

namespace wendrix {

namespace {

// Requests to the drive on the transport in use: ASPI, else the class
// driver's pass-through.
class TMainExecutor : public wx::TSrbExecutor {
public:
    explicit TMainExecutor(TForm1& f) : f_(f) {}
    void Exec(wx::SRB_ExecSCSICmd& srb) override {
        if (UseAspi && f_.Win32Aspi1 && f_.Win32Aspi1->Adapters() >= 1) {
            f_.Win32Aspi1->ExecSRBWait(&srb, 10, ConfigForm && ConfigForm->CheckBox15.Checked, false);
        } else {
            const TDeviceEntry* e = ConfigForm ? ConfigForm->SelectedDevice() : nullptr;
            wx::ClassDrvExecSRB(e ? e->PortNumber : 0, srb);
        }
    }

private:
    TForm1& f_;
};

wx::TDriveAddress AddressOf(const TDeviceEntry& e) {
    wx::TDriveAddress d;
    d.Adapter = std::uint8_t(e.Adapter);
    d.Target = std::uint8_t(e.Target);
    d.Lun = std::uint8_t(e.Lun);
    d.IgnoreTargetStat = e.IgnoreTargetStat;
    return d;
}

// The program's argument: the command line after the program's name,
// without blanks and quotes around it.
std::string StartArgument() {
    std::string c = GetCommandLineA();
    std::size_t i = 0;
    if (!c.empty() && c[0] == '"') {
        i = c.find('"', 1);
        i = i == std::string::npos ? c.size() : i + 1;
    } else {
        i = c.find(' ');
        if (i == std::string::npos) i = c.size();
    }
    std::string a = wx::TrimSpaces(c.substr(i));
    if (a.size() >= 2 && a.front() == '"' && a.back() == '"') a = a.substr(1, a.size() - 2);
    return a;
}

}  // namespace

TForm1::TTrackListBinder::TTrackListBinder(TForm1* f) { f->BindTrackList(); }

void TForm1::BindTrackList() {
    OnClick(IDT_TOOLRIPSTART, [this] { ToolRipStartClick(); });
    OnClick(IDM_S1, [this] { ToolRipStartClick(); });
    OnClick(IDT_REFRESHLIST, [this] { RefreshListClick(); });
    OnClick(IDM_CDROM1, [this] { RefreshTrackList(); });
    OnClick(IDM_SELECTALLTR, [this] { SelectAllTrClick(); });
    OnClick(IDM_ID31, [this] { ID31Click(); });
    OnClick(IDT_TOOLID3BTN, [this] { ToolID3BtnClick(); });
    OnClick(IDM_ID3I1, [this] { ToolID3BtnClick(); });
    OnClick(IDM_SETBASEFILENAME, [this] { SetBaseFilenameClick(); });
    OnClick(IDM_SETBASEFILENAME1, [this] { SetBaseFilenameClick(); });
    OnClick(IDM_POPUPRIPSTART, [this] { PopupRipStartClick(); });
    OnClick(IDM_LOADLIST, [this] { LoadListClick(); });
    OnClick(IDM_TRACK_CDPLAY, [this] { CDPlayClick(); });
    OnClick(IDM_TRACK_CDSTOP, [this] { CDStopClick(); });
    OnClick(IDM_TRACK_SETPARAM, [this] { TrackListDblClick(); });
    OnNotify(IDC_TRACKLIST, NM_DBLCLK, [this](NMHDR*) -> LRESULT {
        TrackListDblClick();
        return 0;
    });
    OnNotify(IDC_TRACKLIST, LVN_ITEMCHANGED, [this](NMHDR* h) -> LRESULT {
        auto* nm = reinterpret_cast<NMLISTVIEW*>(h);
        if ((nm->uChanged & LVIF_STATE) && ((nm->uNewState ^ nm->uOldState) & LVIS_SELECTED) && nm->iItem >= 0)
            TrackListSelectItem(nm->iItem, (nm->uNewState & LVIS_SELECTED) != 0);
        return 0;
    });
    OnNotify(IDC_TRACKLIST, NM_RCLICK, [this](NMHDR*) -> LRESULT {
        POINT p;
        GetCursorPos(&p);
        ShowTrackPopup(p);
        return 0;
    });
    OnNotify(IDC_STATUSBAR4, NM_RCLICK, [this](NMHDR*) -> LRESULT {
        POINT p;
        GetCursorPos(&p);
        StatusBar4MouseUp(p);
        return 0;
    });
    Rip().Attach(*this);
}

wx::TSrbExecutor& TForm1::Executor() {
    if (!DriveExec) DriveExec = std::make_unique<TMainExecutor>(*this);
    return *DriveExec;
}

wx::TRipControl& TForm1::Rip() {
    if (!RipControl) {
        wx::TRipHost h;
        h.MainForm = this;
        h.Tracks = &Tracks;
        h.TrackList = &TrackList;
        h.Config = ConfigForm;
        h.Exec = &Executor();
        h.ListedFolder = [this] { return ListedFolder(); };
        h.MediaTimer = [this](bool on) {
            if (Timer2) Timer2->SetEnabled(on);
        };
        h.ReadToc = [this] { RefreshTrackList(); };
        h.RefreshFiler = [this] { RefreshFiler(); };
        h.RunState = [this](wx::TThread* t, bool running) {
            RipThread = t;
            RipRunActive = running;
        };
        h.DiskFree = [](const std::string& root) -> std::int64_t {
            if (!DiskFreeEx) return -1;
            ULARGE_INTEGER caller{}, total{}, free{};
            if (!DiskFreeEx(root.c_str(), &caller, &total, &free)) return -1;
            return std::int64_t(caller.QuadPart);
        };
        RipControl = std::make_unique<wx::TRipControl>(h);
    }
    return *RipControl;
}

// The host's parts that exist only once the window and the settings do.
void TForm1::UpdateRipHost() {
    wx::TRipHost& h = Rip().Host();
    h.Config = ConfigForm;
    h.AcmDrv = AcmDrv;
    h.Aspi = UseAspi ? Win32Aspi1 : nullptr;
    h.WmaAvailable = IsWmaLibraryLoaded();
}

wx::TDriveAddress TForm1::SelectedDrive() const {
    const TDeviceEntry* e = ConfigForm ? ConfigForm->SelectedDevice() : nullptr;
    return e ? AddressOf(*e) : wx::TDriveAddress{};
}

std::string TForm1::ListedFolder() const {
    // The folder shown in the file list; before the first listing the
    // start folder (the argument, the saved boot folder, the current folder).
    if (!ListedFolderPath.empty()) return ListedFolderPath;
    const std::string arg = StartArgument();
    if (!arg.empty()) return arg;
    if (!BootDir.empty()) return BootDir;
    char cur[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof cur, cur);
    return cur;
}

// ---- Table of contents ----------------------------------------------------------

void TForm1::RefreshTrackList() {
    if (!ConfigForm || ConfigForm->DeviceCount <= 0 || RefreshingTrackList) return;
    RefreshingTrackList = true;
    PlayStop(ConfigForm->ComboBox2.ItemIndex());
    if (const TDeviceEntry* e = ConfigForm->SelectedDevice()) dispTrack(e->Adapter, e->Target, e->Lun);
    RefreshingTrackList = false;
}

void TForm1::dispTrack(int adapter, int target, int lun) {
    wx::TDriveAddress d;
    d.Adapter = std::uint8_t(adapter);
    d.Target = std::uint8_t(target);
    d.Lun = std::uint8_t(lun);
    if (const TDeviceEntry* e = ConfigForm ? ConfigForm->SelectedDevice() : nullptr) d.IgnoreTargetStat = e->IgnoreTargetStat;
    SendMessageA(TrackList.Handle(), WM_SETREDRAW, FALSE, 0);
    // A re-read that finds the same disc keeps what the user set for its
    // tracks; another disc starts afresh.
    const auto before = std::make_unique<wx::TTrackTable>(Tracks);
    wx::TTocReader reader(Executor());
    const bool read = reader.dispTrack(Tracks, d);
    if (read) wx::KeepSameDiscFields(*before, Tracks);
    TrackList.Clear();
    if (read) FillTrackList();
    SendMessageA(TrackList.Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(TrackList.Handle(), nullptr, TRUE);
    CurrentTrackRow = -1;
    Tracks.LastSelectedRow = -1;
    if (read && Tracks.PreEmphasisSeen) wx::MessageBoxRes(MSG_EMPHASIS_WARNING, MB_OK | MB_ICONWARNING);
}

void TForm1::FillTrackList() {
    std::vector<wx::TTrackRow> rows = wx::TrackListRows(Tracks);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        // The flag texts in the language of the resources.
        const wx::TTrackRecord& t = Tracks.Slots[i + 1];
        wx::TTrackRow& r = rows[i];
        r.Cells[3] = wx::LoadResString(t.PreEmphasis ? MSG_YES : MSG_NO);
        r.Cells[4] = wx::LoadResString(t.CopyPermitted ? MSG_COPY_ALLOWED : MSG_COPY_FORBIDDEN);
        r.Cells[6] = t.IsAudio ? wx::LoadResString(t.HasTag ? MSG_YES : MSG_NO) : std::string();
    }
    for (const wx::TTrackRow& r : rows) {
        LVITEMA it{};
        it.mask = LVIF_TEXT | LVIF_IMAGE;
        it.iItem = TrackList.Count();
        it.pszText = const_cast<char*>(r.Cells[0].c_str());
        it.iImage = r.ImageIndex;
        const int item = int(TrackList.Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)));
        for (int c = 1; c < 7; ++c) TrackList.SetSubItem(item, c, r.Cells[c]);
    }
}

void TForm1::RefreshTrackItem(int track) {
    if (track < 1 || track > TrackList.Count() || track >= wx::LeadOutSlot) return;
    const wx::TTrackRecord& t = Tracks.Slots[track];
    TrackList.SetSubItem(track - 1, 1, wx::SectorsToText(t.RangeStart));
    TrackList.SetSubItem(track - 1, 2, wx::SectorsToText(t.RangeEnd));
    TrackList.SetSubItem(track - 1, 5, t.FileStem);
    TrackList.SetSubItem(track - 1, 3, wx::LoadResString(t.PreEmphasis ? MSG_YES : MSG_NO));
}

int TForm1::GetTrackNum(int lba) const { return wx::GetTrackNum(Tracks, lba); }

void TForm1::GetVolumeID(int drive, std::string& path, std::string& mediaId) const {
    wx::GetVolumeID(Tracks, drive, path, mediaId);
}

bool TForm1::IsDiscPresent() {
    const TDeviceEntry* e = ConfigForm ? ConfigForm->SelectedDevice() : nullptr;
    if (!e) return false;
    wx::TDriveCommands cmds(Executor());
    const wx::TDriveAddress d = AddressOf(*e);
    // The first probe after a change may answer with a unit attention.
    const bool first = cmds.IsDeviceIn(d);
    return cmds.IsDeviceIn(d) || (first && cmds.IsDeviceIn(d));
}

bool TForm1::MediaChanged() {
    if (!ConfigForm || !ConfigForm->IsAutoRefTrList.Checked) return false;
    if (GetActiveWindow() != Handle() || !ToolBar2.ButtonEnabled(IDT_REFRESHLIST)) return false;
    if (RipControl && RipControl->Running()) return false;
    const bool present = IsDiscPresent();
    const bool listed = Tracks.TrackCount > 0;
    return present != listed;
}

// ---- Selection, keys, mouse -------------------------------------------------------

void TForm1::TrackListSelectItem(int row, bool selected) {
    if (selected && row + 1 < wx::LeadOutSlot && !Tracks.Slots[row + 1].IsAudio) TrackList.SetSelected(row, false);
    CurrentTrackRow = row;
}

void TForm1::SelectAllTrClick() {
    for (int i = 0; i < TrackList.Count(); ++i) TrackList.SetSelected(i, true);
}

void TForm1::SelectNextTrack() {
    const int n = TrackList.Count();
    if (n == 0) return;
    wx::TTrackListState s;
    for (int i = 0; i < n; ++i) {
        s.Audio.push_back(i + 1 < wx::LeadOutSlot && Tracks.Slots[i + 1].IsAudio);
        s.Selected.push_back(TrackList.Selected(i));
    }
    s.Focused = int(TrackList.Send(LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED));
    const int row = wx::SelectNextTrackRow(s, CurrentTrackRow);
    if (row < 0) return;
    TrackList.SetSelected(row, !TrackList.Selected(row));
    TrackList.Send(LVM_ENSUREVISIBLE, WPARAM(row), TRUE);
    LVITEMA it{};
    it.stateMask = LVIS_FOCUSED;
    it.state = LVIS_FOCUSED;
    TrackList.Send(LVM_SETITEMSTATE, WPARAM(row), reinterpret_cast<LPARAM>(&it));
    CurrentTrackRow = row;
}

bool TForm1::TrackListKeyDown(WORD vk) {
    if (GetKeyState(VK_CONTROL) < 0) {
        // The track pop-up's shortcuts act only here, in the track list.
        switch (vk) {
        case 'I': ID31Click(); return true;
        case 'B': SetBaseFilenameClick(); return true;
        case 'S': PopupRipStartClick(); return true;
        case 'A': SelectAllTrClick(); return true;
        default: return false;
        }
    }
    switch (vk) {
    case VK_RETURN: TrackListDblClick(); return true;
    case VK_SPACE: SelectNextTrack(); return true;
    case 'I': ID31Click(); return true;
    default: return false;
    }
}

// ---- Pop-up menus -------------------------------------------------------------

void TForm1::ShowTrackPopup(POINT at) {
    wx::TMenu menu = wx::TMenu::Load(IDM_TRACKRPOPUPMENU);
    wx::TMenu popup = menu.SubMenu(0);
    TrackRPopupMenuPopup(popup.Handle());
    const UINT cmd = popup.Popup(Handle(), at.x, at.y);
    if (cmd) PostMessageA(Handle(), WM_COMMAND, cmd, 0);
}

void TForm1::TrackRPopupMenuPopup(HMENU menu) {
    wx::TMenu m(menu);
    const int selected = TrackList.SelectedCount();
    const int first = TrackList.NextSelected(-1);
    m.SetEnabled(IDM_ID31, selected > 0);
    m.SetEnabled(IDM_POPUPRIPSTART, selected > 0);
    m.SetEnabled(IDM_TRACK_SETPARAM, selected > 0);
    m.SetEnabled(IDM_TRACK_PROP, false);  // never has an action
    // Digital play needs a sound device and a selected track.
    m.SetEnabled(IDM_TRACK_DIGITALPLAY, waveOutGetNumDevs() > 0 && selected > 0);
    const bool oneAudio = selected == 1 && first >= 0 && Tracks.Slots[first + 1].IsAudio;
    m.SetEnabled(IDM_TRACK_CDPLAY, oneAudio);
    if (selected == 1 && !oneAudio) m.SetEnabled(IDM_ID31, false);
    const int playing = ConfigForm ? IsPlaying(ConfigForm->ComboBox2.ItemIndex()) : -1;
    const std::string stop = playing < 0 ? wx::LoadResString(MSG_CDSTOP)
                                         : wx::Format(wx::LoadResString(MSG_CDSTOP_PLAYING), playing);
    ModifyMenuA(menu, IDM_TRACK_CDSTOP, MF_BYCOMMAND | MF_STRING, IDM_TRACK_CDSTOP, stop.c_str());
    m.SetEnabled(IDM_TRACK_CDSTOP, playing >= 0);
    std::string play = wx::LoadResString(MSG_CDPLAY_START);
    if (first >= 0) play += wx::LoadResString(MSG_CDPLAY_SELECTED) + std::to_string(first + 1);
    ModifyMenuA(menu, IDM_TRACK_CDPLAY, MF_BYCOMMAND | MF_STRING, IDM_TRACK_CDPLAY, play.c_str());
    m.SetEnabled(IDM_TRACK_CDPLAY, oneAudio);
}

void TForm1::TrackListDblClick() {
    if (TrackList.SelectedCount() != 1) return;
    const int row = TrackList.NextSelected(-1);
    if (row < 0 || row + 1 >= wx::LeadOutSlot) return;
    TTrackProparty form(this, Tracks.Slots[row + 1]);
    form.CaptionText = wx::Format(wx::LoadResString(MSG_TRACK_INFO_CAPTION), row + 1);
    form.ShowModal(Handle());
    RefreshTrackItem(row + 1);
}

void TForm1::StartBenchMark() {
    UpdateRipHost();
    Rip().StartBenchMark();
    RipRunActive = Rip().Running();
}

void TForm1::StatusBar4MouseUp(POINT at) {
    if (!ConfigForm || ConfigForm->ComboBox2.Items.Count() == 0) return;
    HMENU menu = CreatePopupMenu();
    for (std::size_t i = 0; i < ConfigForm->ComboBox2.Items.Count(); ++i)
        AppendMenuA(menu, MF_STRING | (int(i) == ConfigForm->ComboBox2.ItemIndex() ? MF_CHECKED : 0),
                    UINT(IDM_DRIVEPOPUP_FIRST + i), ConfigForm->ComboBox2.Items[i].c_str());
    const UINT cmd = wx::TMenu(menu).Popup(Handle(), at.x, at.y);
    DestroyMenu(menu);
    if (cmd >= IDM_DRIVEPOPUP_FIRST) DriveChangeClick(int(cmd - IDM_DRIVEPOPUP_FIRST));
}

void TForm1::DriveChangeClick(int index) {
    if (!ConfigForm || index == ConfigForm->ComboBox2.ItemIndex()) return;
    PlayStop(ConfigForm->ComboBox2.ItemIndex());
    ConfigForm->ComboBox2.SetItemIndex(index);
    // The settings dialog's drive selection reads the track list anew.
    if (ConfigDialog)
        ConfigDialog->ComboBox2Change();
    else
        RefreshTrackList();
}

// ---- Commands -------------------------------------------------------------------

void TForm1::CDPlayClick() {
    const int row = TrackList.NextSelected(-1);
    const TDeviceEntry* e = ConfigForm ? ConfigForm->SelectedDevice() : nullptr;
    if (!e) {
        // No drive to play on.
        wx::MessageBoxRes(MSG_NO_MEDIA, MB_OK | MB_ICONERROR);
        return;
    }
    if (row < 0 || row + 1 >= wx::LeadOutSlot) return;
    const wx::TTrackRecord& t = Tracks.Slots[row + 1];
    PlayStop(ConfigForm->ComboBox2.ItemIndex());
    wx::SRB_ExecSCSICmd s;
    const std::uint32_t lba = std::uint32_t(t.StartLba), len = std::uint32_t(t.SectorCount);
    wx::BuildExecSRB(s, AddressOf(*e), 0, nullptr, 0,
                     {0xA5, 0, std::uint8_t(lba >> 24), std::uint8_t(lba >> 16), std::uint8_t(lba >> 8),
                      std::uint8_t(lba), 0, std::uint8_t(len >> 16), std::uint8_t(len >> 8), std::uint8_t(len), 0, 0},
                     12);
    Executor().Exec(s);
}

void TForm1::CDStopClick() {
    if (!ConfigForm || !ConfigForm->SelectedDevice()) {
        wx::MessageBoxRes(MSG_NO_MEDIA, MB_OK | MB_ICONERROR);
        return;
    }
    PlayStop(ConfigForm->ComboBox2.ItemIndex());
}

void TForm1::ToolRipStartClick(bool fromFolder) {
    UpdateRipHost();
    Rip().ToolRipStartClick(fromFolder);
    RipRunActive = Rip().Running();
}

void TForm1::PopupRipStartClick() {
    std::string initial = wx::StripTrailingBackslash(ListedFolder());
    if (initial.size() < 3) initial += "\\";
    const std::string folder = BrowseForFolder(Handle(), wx::LoadResString(MSG_RIP_FOLDER_TITLE), initial);
    if (folder.empty()) return;
    Rip().RipTargetFolder = wx::IncludeTrailingBackslash(wx::StripTrailingBackslash(folder));
    ToolRipStartClick(true);
}

void TForm1::SetBaseFilenameClick() {
    TRenameForm form(this);
    form.CaptionText = wx::LoadResString(MSG_BASE_NAME_CAPTION);
    form.LabelText = wx::LoadResString(MSG_BASE_NAME_LABEL);
    if (form.ShowModal() != IDOK) return;
    const std::string base = wx::BaseNameFromText(form.Text);
    for (int i = 1; i <= Tracks.TrackCount && i < wx::LeadOutSlot; ++i) {
        Tracks.Slots[i].FileStem = Tracks.Slots[i].IsAudio ? wx::NumberedStem(base, i) : std::string();
        if (i <= TrackList.Count()) TrackList.SetSubItem(i - 1, 5, Tracks.Slots[i].FileStem);
    }
}

void TForm1::LoadListClick() {
    char file[MAX_PATH] = {};
    const std::string f = wx::FileDialogFilter(wx::LoadResString(MSG_NAMELIST_FILTER));
    const std::string title = wx::LoadResString(MSG_NAMELIST_TITLE);
    const std::string dir = ListedFolder();
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Handle();
    ofn.lpstrFilter = f.c_str();
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrInitialDir = dir.c_str();
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!wx::Prompter().OpenFileName(ofn)) return;
    std::ifstream in(file);
    if (!in) {
        wx::MessageBoxRes(MSG_FILE_OPEN_FAILED, MB_OK | MB_ICONERROR);
        return;
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    const std::vector<int> changed = wx::ApplyNameList(lines, Tracks, [](const std::string& line) {
        wx::ShowMessageBox(wx::LoadResString(MSG_INVALID_NAME_LINE) + line, MB_OK | MB_ICONERROR);
    });
    for (int track : changed)
        if (track <= TrackList.Count()) TrackList.SetSubItem(track - 1, 5, Tracks.Slots[track].FileStem);
}

void TForm1::ID31Click() {
    const int selected = TrackList.SelectedCount();
    if (selected == 1) {
        const int row = TrackList.NextSelected(-1);
        if (row < 0 || row + 1 >= wx::LeadOutSlot) return;
        TID3Form form(this);
        form.TagRecord = &Tracks.Slots[row + 1];
        if (form.ShowModal() != IDOK) return;
        TrackList.SetSubItem(row, 6, wx::LoadResString(Tracks.Slots[row + 1].HasTag ? MSG_YES : MSG_NO));
        wx::MessageBoxRes(MSG_ID3_SET_ONE, MB_OK | MB_ICONINFORMATION, row + 1);
        return;
    }
    if (selected < 2) return;
    // Copies of the selected tracks, each knowing its track number.
    std::vector<wx::TTrackRecord> copies;
    for (int row = TrackList.NextSelected(-1); row >= 0; row = TrackList.NextSelected(row)) {
        const int track = row + 1;
        if (track >= wx::LeadOutSlot) break;
        wx::TTrackRecord r = Tracks.Slots[track];
        r.SectorCount = track;
        r.FileStem = wx::Format(wx::LoadResString(MSG_ID3_TRACK_LABEL), track);
        copies.push_back(r);
    }
    if (copies.empty()) return;
    TProfileIniFile ini(SettingsFileName);
    TID3TagForm editor(this, TagEditorHost(&ini));
    editor.TagRecords = copies;
    editor.RecordsAreTracks = true;
    editor.EnableWriteID3Tag(true);
    editor.EnableSetID3Filename(true);
    editor.FillTagList(false);
    if (editor.ShowModal() != IDOK) return;
    for (std::size_t j = 0; j < copies.size() && j < editor.Table.Rows.size(); ++j)
        StoreTagRow(copies[j].SectorCount, editor.Table.Rows[j]);
    wx::MessageBoxRes(MSG_ID3_SET_MANY, MB_OK | MB_ICONINFORMATION);
}

void TForm1::ToolID3BtnClick() {
    TProfileIniFile ini(SettingsFileName);
    TID3TagForm editor(this, TagEditorHost(&ini));
    if (editor.ShowModal() != IDOK) return;
    for (int i = 1; i <= Tracks.TrackCount && i < wx::LeadOutSlot && std::size_t(i) <= editor.Table.Rows.size(); ++i) {
        const wx::TTagRow& row = editor.Table.Rows[std::size_t(i - 1)];
        if (Tracks.Slots[i].IsAudio)
            StoreTagRow(i, row);
        else
            StoreTagRow(i, wx::TTagRow{});
    }
    wx::MessageBoxRes(MSG_ID3_SET_ALL, MB_OK | MB_ICONINFORMATION);
}

void TForm1::StoreTagRow(int track, const wx::TTagRow& row) {
    if (track < 1 || track >= wx::LeadOutSlot) return;
    wx::TTrackRecord& slot = Tracks.Slots[track];
    if (row.HasContent) {
        wx::CellsToRecord(row.Cells, slot);
    } else {
        tagio::ClearTagFields(slot);
        slot.HasTag = false;
    }
    if (track <= TrackList.Count()) TrackList.SetSubItem(track - 1, 6, wx::LoadResString(slot.HasTag ? MSG_YES : MSG_NO));
}

}  // namespace wendrix
