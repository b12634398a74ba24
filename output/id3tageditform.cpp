#include "output/id3tageditform.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstring>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "classlib/sjis.h"
#include "output/allpastefrm.h"
#include "output/encodelist.h"
#include "output/id3edit.h"
#include "output/id3genresel.h"
#include "output/mp3defs.h"
#include "output/tagio.h"
#include "output/wmttag.h"
#include "resources/msgids.h"
#include "settings/configstore.h"
#include "settings/inifile.h"

namespace {

using wx::LoadResString;


constexpr int kDefaultWidth = 90;
constexpr int kSpeedButtons[5] = {IDC_TAGED_SPEED1, IDC_TAGED_SPEED2, IDC_TAGED_SPEED3, IDC_TAGED_SPEED4,
                                  IDC_TAGED_SPEED5};

// Row pictures by image index: 2 a track or file that can be edited, 3 a
// data track (0 and 1 are not used).
void PaintRowImage(HDC dc, int w, int h, int index) {
    if (index < 2) return;
    const COLORREF fill = index == 2 ? RGB(192, 208, 255) : RGB(208, 208, 208);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(64, 64, 96));
    HBRUSH brush = CreateSolidBrush(fill);
    HGDIOBJ op = SelectObject(dc, pen), ob = SelectObject(dc, brush);
    Ellipse(dc, 1, 1, w - 1, h - 1);
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    Ellipse(dc, w / 2 - 2, h / 2 - 2, w / 2 + 2, h / 2 + 2);
    SelectObject(dc, op);
    SelectObject(dc, ob);
    DeleteObject(pen);
    DeleteObject(brush);
}

}  // namespace

TID3TagForm::TID3TagForm(wx::TComponent* owner, TTagEditorHost host) : TForm(owner, "TID3TAGFORM"), h_(std::move(host)) {
    if (h_.Tracks)
        for (int i = 1; i <= h_.Tracks->TrackCount && i < wx::LeadOutSlot; ++i) TagRecords.push_back(h_.Tracks->Slots[i]);
    FillTagList(true);

    OnClick(IDM_TAGED_IMPORT, [this] { ImportCSVFileClick(); });
    OnClick(IDC_TAGED_SPEED1, [this] { ImportCSVFileClick(); });
    OnClick(IDM_TAGED_EXPORT, [this] { CreateCSVFileClick(); });
    OnClick(IDC_TAGED_SPEED2, [this] { CreateCSVFileClick(); });
    OnClick(IDM_TAGED_WRITE, [this] { WriteID3TagClick(); });
    OnClick(IDC_TAGED_SPEED3, [this] { WriteID3TagClick(); });
    OnClick(IDM_TAGED_SETFILENAME, [this] { SetID3FilenameClick(); });
    OnClick(IDC_TAGED_SPEED4, [this] { SetID3FilenameClick(); });
    OnClick(IDM_TAGED_CONFIG, [this] { ID3C1Click(); });
    OnClick(IDC_TAGED_SPEED5, [this] { ID3C1Click(); });
    OnClick(IDM_TAGED_CLOSE, [this] { Close1Click(); });
    // Esc asks about unsaved changes like every other way of closing.
    OnClick(IDCANCEL, [this] { Close1Click(); });
    OnClick(IDOK, [] {});
    OnClick(IDM_TAGED_COPY, [this] { Copy1Click(); });
    OnClick(IDM_TAGED_COPYCELL, [this] { CopyCellClick(); });
    OnClick(IDM_TAGED_PASTE, [this] { Paste1Click(); });
    OnClick(IDM_TAGED_PASTELINE, [this] { PasteLineClick(); });
    OnClick(IDM_TAGED_PASTEALL, [this] { PasteAll1Click(); });
    OnClick(IDM_TAGED_NUMBER, [this] { N7Click(); });
    OnClick(IDM_TAGED_SETGENRE, [this] { SetGenreClick(); });
    OnClick(IDM_TAGED_SETALLCOL, [this] { SetAllColClick(); });
    OnClick(IDM_TAGED_CSVDELIM, [this] { CSVDelimClick(); });
    OnClick(IDM_TAGED_SELECTALL, [this] { SelectAll1Click(); });
    OnNotify(IDC_TAGED_LIST, NM_DBLCLK, [this](NMHDR*) -> LRESULT {
        ListView1DblClick();
        return 0;
    });
    OnNotify(IDC_TAGED_LIST, NM_RETURN, [this](NMHDR*) -> LRESULT {
        ListView1DblClick();
        return 0;
    });
    OnNotify(IDC_TAGED_LIST, NM_RCLICK, [this](NMHDR*) -> LRESULT {
        POINT p;
        GetCursorPos(&p);
        ListView1ContextPopup(p);
        return 0;
    });
    OnNotify(IDC_TAGED_LIST, LVN_ITEMCHANGED, [this](NMHDR* h) -> LRESULT {
        auto* nm = reinterpret_cast<NMLISTVIEW*>(h);
        if ((nm->uChanged & LVIF_STATE) && ((nm->uNewState ^ nm->uOldState) & LVIS_SELECTED) && nm->iItem >= 0)
            ListView1SelectItem(nm->iItem, (nm->uNewState & LVIS_SELECTED) != 0);
        return 0;
    });
    OnNotify(IDC_TAGED_LIST, LVN_KEYDOWN, [this](NMHDR* h) -> LRESULT {
        const WORD vk = reinterpret_cast<NMLVKEYDOWN*>(h)->wVKey;
        if (GetKeyState(VK_CONTROL) >= 0) return 0;
        if (vk == 'C') Copy1Click();
        if (vk == 'V' && !Table.Rows.empty() && !ClipboardText().empty()) Paste1Click();
        if (vk == 'A') SelectAll1Click();
        return 0;
    });
}

TID3TagForm::~TID3TagForm() = default;

const TConfigStore& TID3TagForm::Config() const { return *(h_.Config ? h_.Config : ConfigForm); }

void TID3TagForm::FillTagList(bool trackMode) {
    FileMode = !trackMode;
    Table.Fill(TagRecords, trackMode, LoadResString(MSG_ID3_TRACK_LABEL), RecordsAreTracks);
    if (Handle()) ShowRows();
}

void TID3TagForm::EnableWriteID3Tag(bool on) {
    writeEnabled_ = on;
    ApplyCommandStates();
}

void TID3TagForm::EnableSetID3Filename(bool on) {
    namesEnabled_ = on;
    ApplyCommandStates();
}

void TID3TagForm::ApplyCommandStates() {
    if (!Handle()) return;
    wx::TMenu bar(GetMenu(Handle()));
    bar.SetEnabled(IDM_TAGED_WRITE, writeEnabled_);
    bar.SetEnabled(IDM_TAGED_SETFILENAME, namesEnabled_);
    wx::TButton(this, IDC_TAGED_SPEED3).SetEnabled(writeEnabled_);
    wx::TButton(this, IDC_TAGED_SPEED4).SetEnabled(namesEnabled_);
    bar.SetChecked(IDM_TAGED_CSVDELIM, tabDelim_);
}

HMENU TID3TagForm::EditMenu() const { return Handle() ? GetSubMenu(GetMenu(Handle()), MENUPOS_TAGED_EDIT) : nullptr; }

void TID3TagForm::FormCreate() {
    images_.Create(16, 16);
    for (int i = 0; i < 4; ++i) images_.AddDrawn([i](HDC dc, int w, int h) { PaintRowImage(dc, w, h, i); });
    ListView1.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    ListView1.Send(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_.Handle()));
    wx::TTagEditorKeys keys;
    if (h_.Settings) keys = wx::ReadTagEditorKeys(*h_.Settings);
    ListView1.AddColumn(LoadResString(MSG_TAGED_COLUMNS), 80);
    for (int c = 0; c < wx::TagColumnCount; ++c) {
        const int w = keys.ColumnWidths[std::size_t(c)];
        ListView1.AddColumn(LoadResString(MSG_TAGED_COLUMNS + 1 + UINT(c)), w >= 0 ? w : kDefaultWidth);
    }
    tabDelim_ = keys.CSVDelimTAB;
    SetBounds(keys.WindowLeft, keys.WindowTop, keys.WindowWidth, keys.WindowHeight);
    wx::WantDialogKeys(ListView1.Handle());
    ShowRows();
    ApplyCommandStates();
    Layout();
}

void TID3TagForm::FormDestroy() {
    if (!h_.Settings) return;
    wx::TTagEditorKeys k;
    const RECT r = Bounds();
    k.WindowWidth = r.right - r.left;
    k.WindowHeight = r.bottom - r.top;
    k.WindowLeft = r.left;
    k.WindowTop = r.top;
    for (int c = 0; c < wx::TagColumnCount; ++c) k.ColumnWidths[std::size_t(c)] = ListView1.ColumnWidth(c + 1);
    k.CSVDelimTAB = tabDelim_;
    wx::WriteTagEditorKeys(*h_.Settings, k);
}

bool TID3TagForm::FormCloseQuery() {
    if (!Table.Modified || ModalResult() == IDOK) return true;
    switch (wx::ShowMessageBox(LoadResString(MSG_TAGED_MODIFIED), MB_YESNOCANCEL | MB_ICONQUESTION, Handle())) {
    case IDYES: WriteID3TagClick(); return true;
    case IDNO: return true;
    default: return false;
    }
}

bool TID3TagForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_SIZE) {
        Layout();
        result = 0;
        return true;
    }
    if (msg == WM_GETMINMAXINFO) {
        // Maximized, the window fills the work area of its monitor with only
        // its sizing frame beyond the edges, so the caption stays on screen.
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        if (GetMonitorInfoA(MonitorFromWindow(Handle(), MONITOR_DEFAULTTONEAREST), &mi)) {
            const int bx = GetSystemMetrics(SM_CXSIZEFRAME) + GetSystemMetrics(SM_CXPADDEDBORDER);
            const int by = GetSystemMetrics(SM_CYSIZEFRAME) + GetSystemMetrics(SM_CXPADDEDBORDER);
            auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
            mm->ptMaxPosition = {mi.rcWork.left - mi.rcMonitor.left - bx, mi.rcWork.top - mi.rcMonitor.top - by};
            mm->ptMaxSize = {mi.rcWork.right - mi.rcWork.left + 2 * bx, mi.rcWork.bottom - mi.rcWork.top + 2 * by};
        }
        result = 0;
        return true;
    }
    if (msg == WM_INITMENUPOPUP && reinterpret_cast<HMENU>(wp) == EditMenu()) {
        Edit1Click(EditMenu());
        result = 0;
        return true;
    }
    return false;
}

void TID3TagForm::Layout() {
    if (!Handle()) return;
    RECT client;
    GetClientRect(Handle(), &client);
    RECT b{};
    GetWindowRect(Item(IDC_TAGED_SPEED1), &b);
    POINT p{b.left, b.bottom};
    ScreenToClient(Handle(), &p);
    const int top = p.y + 3;
    MoveWindow(ListView1.Handle(), 0, top, client.right, std::max<int>(0, client.bottom - top), TRUE);
}

void TID3TagForm::ShowRow(int row) {
    const wx::TTagRow& r = Table.Rows[std::size_t(row)];
    LVITEMA it{};
    it.mask = LVIF_TEXT | LVIF_IMAGE;
    it.iItem = row;
    it.pszText = const_cast<char*>(r.Caption.c_str());
    it.iImage = r.Editable ? 2 : 3;
    ListView1.Send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    for (int c = 0; c < wx::TagColumnCount; ++c) ListView1.SetSubItem(row, c + 1, r.Cells[std::size_t(c)]);
}

void TID3TagForm::ShowRows() {
    SendMessageA(ListView1.Handle(), WM_SETREDRAW, FALSE, 0);
    const int n = Table.Count();
    while (ListView1.Count() > n) ListView1.Send(LVM_DELETEITEM, WPARAM(ListView1.Count() - 1));
    int widest = 0;
    for (int i = 0; i < n; ++i) {
        if (i >= ListView1.Count()) ListView1.AddItem(Table.Rows[std::size_t(i)].Caption);
        ShowRow(i);
        widest = std::max(widest, int(ListView1.Send(LVM_GETSTRINGWIDTHA, 0,
                                                       reinterpret_cast<LPARAM>(Table.Rows[std::size_t(i)].Caption.c_str()))));
    }
    ListView1.SetColumnWidth(0, widest + 24 + 16);
    SendMessageA(ListView1.Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(ListView1.Handle(), nullptr, TRUE);
}

std::vector<int> TID3TagForm::SelectedRows() const {
    std::vector<int> rows;
    for (int i = ListView1.NextSelected(-1); i >= 0; i = ListView1.NextSelected(i)) rows.push_back(i);
    return rows;
}

void TID3TagForm::ShowWarnings(const wx::TWarningSummary& w) {
    if (w.UnknownGenres == 1)
        wx::ShowMessageBox(LoadResString(MSG_TAGED_GENRE_NOT_FOUND) + "\r\"" + w.FirstUnknownGenreRow + "\"",
                           MB_OK | MB_ICONWARNING, Handle());
    else if (w.UnknownGenres > 1)
        wx::ShowMessageBox(wx::FormatRes(MSG_TAGED_GENRES_NOT_FOUND, w.FirstUnknownGenreRow.c_str(), w.UnknownGenres - 1),
                           MB_OK | MB_ICONWARNING, Handle());
    if (w.TooLong) wx::ShowMessageBox(LoadResString(MSG_TAGED_TOO_LONG), MB_OK | MB_ICONWARNING, Handle());
}

bool TID3TagForm::ChooseCsvFile(bool save, std::string& path, char& delimiter) {
    char file[MAX_PATH * 2] = {};
    const std::string filter = wx::FileDialogFilter(LoadResString(save ? MSG_TAGED_SAVE_FILTER : MSG_TAGED_OPEN_FILTER));
    const std::string title = LoadResString(save ? MSG_TAGED_SAVE_TITLE : MSG_TAGED_OPEN_TITLE);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Handle();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrTitle = title.c_str();
    if (save) {
        ofn.lpstrDefExt = "CSV";
        ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;
    } else {
        ofn.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;
    }
    if (!(save ? wx::Prompter().SaveFileName(ofn) : wx::Prompter().OpenFileName(ofn))) return false;
    // The second filter of either dialog is the tab-separated one.
    delimiter = ofn.nFilterIndex == 2 ? '\t' : ',';
    path = file;
    return true;
}

void TID3TagForm::ImportCSVFileClick() {
    std::string file;
    char delimiter = ',';
    if (Table.Rows.empty() || !ChooseCsvFile(false, file, delimiter)) return;
    std::string text;
    switch (wx::ReadTextFile(file, text)) {
    case wx::TTextFileResult::CannotOpen:
        wx::ShowMessageBox(wx::FormatRes(MSG_TAGED_CANNOT_OPEN, file.c_str()), MB_OK | MB_ICONERROR, Handle());
        return;
    case wx::TTextFileResult::IoError:
        wx::ShowMessageBox(wx::FormatRes(MSG_TAGED_READ_ERROR, file.c_str()), MB_OK | MB_ICONERROR, Handle());
        return;
    case wx::TTextFileResult::Ok: break;
    }
    if (!wx::IsPlainText(text)) {
        wx::ShowMessageBox(wx::FormatRes(MSG_TAGED_NOT_TEXT, file.c_str()), MB_OK | MB_ICONERROR, Handle());
        return;
    }
    wx::TWarningSummary warnings;
    Table.Import(wx::FileLines(text), delimiter, [&](wx::TRowWarning w, const std::string& t) { warnings.Add(w, t); });
    ShowRows();
    ShowWarnings(warnings);
}

void TID3TagForm::CreateCSVFileClick() {
    std::string file;
    char delimiter = ',';
    if (Table.Rows.empty() || !ChooseCsvFile(true, file, delimiter)) return;
    std::vector<int> all(std::size_t(Table.Count()));
    for (int i = 0; i < Table.Count(); ++i) all[std::size_t(i)] = i;
    switch (wx::WriteTextFile(file, Table.Text(all, delimiter))) {
    case wx::TTextFileResult::CannotOpen:
        wx::ShowMessageBox(wx::FormatRes(MSG_TAGED_CANNOT_CREATE, file.c_str()), MB_OK | MB_ICONERROR, Handle());
        break;
    case wx::TTextFileResult::IoError:
        wx::ShowMessageBox(wx::FormatRes(MSG_TAGED_WRITE_ERROR, file.c_str()), MB_OK | MB_ICONERROR, Handle());
        break;
    case wx::TTextFileResult::Ok: break;
    }
}

void TID3TagForm::WriteID3TagClick() {
    if (!writeEnabled_) return;
    Table.MarkContent();
    SetModalResult(IDOK);
}

void TID3TagForm::SetID3FilenameClick() {
    if (!namesEnabled_ || !h_.Tracks) return;
    std::vector<int> trackOfRow;
    for (int i = 0; i < Table.Count(); ++i)
        trackOfRow.push_back(FileMode && std::size_t(i) < TagRecords.size() ? TagRecords[std::size_t(i)].SectorCount
                                                                            : i + 1);
    const TConfigStore& c = Config();
    const std::vector<int> named = wx::TagsToFileNames(
        Table, trackOfRow,
        [&c](int track, const std::string& title, const std::string& artist, const std::string& album,
             const std::string& genre, std::string& out) {
            bool error = false;
            c.GetCurrentFilename(track, title, artist, album, genre, out, error);
            return !error;
        },
        h_.JapaneseMode, *h_.Tracks);
    for (int track : named)
        if (h_.ShowFileName) h_.ShowFileName(track);
    if (!named.empty()) wx::ShowMessageBox(LoadResString(MSG_TAGED_NAMES_SET), MB_OK | MB_ICONINFORMATION, Handle());
}

void TID3TagForm::ID3C1Click() {
    if (h_.ShowTagSettings) h_.ShowTagSettings(Handle());
}

std::string TID3TagForm::ClipboardText() {
    std::string text;
    if (!IsClipboardFormatAvailable(CF_TEXT) || !OpenClipboard(nullptr)) return text;
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(h))) {
            text.assign(p, strnlen(p, GlobalSize(h)));
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return text;
}

bool TID3TagForm::SetClipboardText(HWND owner, const std::string& text) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    bool ok = false;
    if (HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        if (char* p = static_cast<char*>(GlobalLock(h))) {
            std::memcpy(p, text.c_str(), text.size() + 1);
            GlobalUnlock(h);
            ok = SetClipboardData(CF_TEXT, h) != nullptr;
        }
        if (!ok) GlobalFree(h);
    }
    CloseClipboard();
    return ok;
}

void TID3TagForm::Copy1Click() {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    SetClipboardText(Handle(), Table.Text(rows, Delimiter()));
}

void TID3TagForm::CopyCellClick() {
    const int row = ListView1.NextSelected(-1);
    if (row < 0 || PopupColumn < 0 || PopupColumn > wx::TagColumnCount) return;
    const wx::TTagRow& r = Table.Rows[std::size_t(row)];
    SetClipboardText(Handle(), PopupColumn == 0 ? r.Caption : r.Cells[std::size_t(PopupColumn - 1)]);
}

void TID3TagForm::Paste1Click() {
    if (Table.Rows.empty()) return;
    const int first = ListView1.NextSelected(-1);
    wx::TWarningSummary warnings;
    Table.Paste(wx::ClipboardLines(ClipboardText()), first < 0 ? 0 : first, Delimiter(),
                [&](wx::TRowWarning w, const std::string& t) { warnings.Add(w, t); });
    ShowRows();
    ShowWarnings(warnings);
}

void TID3TagForm::PasteAll1Click() {
    const std::vector<std::string> lines = wx::ClipboardLines(ClipboardText());
    if (lines.empty() || Table.Rows.empty()) return;
    wx::TWarningSummary warnings;
    Table.PasteAll(lines[0], Delimiter(), [&](wx::TRowWarning w, const std::string& t) { warnings.Add(w, t); });
    ShowRows();
    ShowWarnings(warnings);
}

void TID3TagForm::PasteLineClick() {
    if (PopupColumn < 1 || PopupColumn > wx::TagColumnCount) return;
    const int column = PopupColumn - 1;
    // The first line of the clipboard, without its line end.
    const std::vector<std::string> lines = wx::ClipboardLines(ClipboardText());
    const std::string text = lines.empty() ? std::string() : lines[0];
    if (column == wx::tcGenre)
        Table.FillGenre(text);
    else
        Table.FillColumn(column, text);
    ShowRows();
}

void TID3TagForm::SetAllColClick() {
    TAllPasteForm form(this);
    if (form.ShowModal(Handle()) != IDOK) return;
    Table.FillColumn(form.Column(), form.Text);
    ShowRows();
}

void TID3TagForm::SetGenreClick() {
    if (Table.Rows.empty()) return;
    TID3GenreSelect picker(this);
    RECT button{}, self{};
    GetWindowRect(Item(IDC_TAGED_SPEED2), &button);
    GetWindowRect(Handle(), &self);
    picker.HasPosition = true;
    picker.Left = button.left;
    picker.Top = self.top + 16;
    if (picker.ShowModal(Handle()) != IDOK) return;
    Table.FillGenre(picker.SelectedText);
    ShowRows();
}

void TID3TagForm::N7Click() {
    Table.Number();
    ShowRows();
}

void TID3TagForm::CSVDelimClick() {
    tabDelim_ = !tabDelim_;
    ApplyCommandStates();
}

void TID3TagForm::SelectAll1Click() {
    for (int i = 0; i < ListView1.Count(); ++i) ListView1.SetSelected(i, true);
}

void TID3TagForm::ListView1SelectItem(int row, bool selected) {
    if (selected && row < Table.Count() && !Table.Rows[std::size_t(row)].Editable) ListView1.SetSelected(row, false);
}

void TID3TagForm::Edit1Click(HMENU menu) {
    wx::TMenu m(menu);
    const bool rows = !Table.Rows.empty();
    const bool paste = rows && IsClipboardFormatAvailable(CF_TEXT);
    const bool selected = ListView1.SelectedCount() > 0;
    m.SetEnabled(IDM_TAGED_PASTE, paste);
    m.SetEnabled(IDM_TAGED_PASTEALL, paste);
    m.SetEnabled(IDM_TAGED_PASTELINE, paste && PopupColumn > 0);
    m.SetEnabled(IDM_TAGED_COPY, selected);
    m.SetEnabled(IDM_TAGED_COPYCELL, selected && PopupColumn >= 0);
    m.SetEnabled(IDM_TAGED_SETGENRE, rows);
    m.SetEnabled(IDM_TAGED_SETALLCOL, rows);
    m.SetEnabled(IDM_TAGED_NUMBER, rows);
    m.SetChecked(IDM_TAGED_CSVDELIM, tabDelim_);
}

void TID3TagForm::ListView1ContextPopup(POINT at) {
    // The column under the mouse, by the columns' extents in the list.
    POINT p = at;
    ScreenToClient(ListView1.Handle(), &p);
    const int x = p.x + GetScrollPos(ListView1.Handle(), SB_HORZ);
    PopupColumn = -1;
    int left = 0;
    for (int c = 0; c <= wx::TagColumnCount; ++c) {
        const int w = ListView1.ColumnWidth(c);
        if (x >= left && x < left + w) {
            PopupColumn = c;
            break;
        }
        left += w;
    }
    HMENU menu = EditMenu();
    Edit1Click(menu);
    // The menu bar's item opens with the full states again.
    const UINT cmd = wx::Prompter().PopupMenu(menu, Handle(), at.x, at.y);
    if (cmd) SendMessageA(Handle(), WM_COMMAND, MAKEWPARAM(cmd, 0), 0);
}

void TID3TagForm::ListView1DblClick() {
    const int row = int(ListView1.Send(LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED));
    if (row < 0 || row >= Table.Count() || ListView1.SelectedCount() == 0) return;
    wx::TTagRow& r = Table.Rows[std::size_t(row)];
    if (!r.Editable) return;
    wx::TTrackRecord rec;
    wx::CellsToRecord(r.Cells, rec);
    TID3Form form(this);
    form.TagRecord = &rec;
    form.TextLimit = r.LongText ? int(wx::TagLongBytes) : int(wx::TagShortBytes);
    if (form.ShowModal(Handle()) != IDOK) return;
    r.Cells = wx::CellsOfRecord(rec);
    Table.Modified = true;
    ShowRow(row);
    if (row + 1 < Table.Count()) {
        ListView1.SetSelected(row, false);
        ListView1.SetSelected(row + 1, true);
        LVITEMA it{};
        it.stateMask = LVIS_FOCUSED;
        it.state = LVIS_FOCUSED;
        ListView1.Send(LVM_SETITEMSTATE, WPARAM(row + 1), reinterpret_cast<LPARAM>(&it));
        ListView1.Send(LVM_ENSUREVISIBLE, WPARAM(row + 1), FALSE);
    }
}

// ---- Tags of existing files -------------------------------------------------------

namespace {

enum class TTagFileKind { None, Mp3, Wma, Vqf };

TTagFileKind KindOf(const std::string& path, bool wmaAvailable) {
    const std::string ext = wx::SjisUpperCase(wx::PathExtension(path));
    if (ext == ".MP3") return TTagFileKind::Mp3;
    if (ext == ".WMA") return wmaAvailable ? TTagFileKind::Wma : TTagFileKind::None;
    if (ext == ".VQF") return TTagFileKind::Vqf;
    return TTagFileKind::None;
}

struct TTagFile {
    std::string Path;
    TTagFileKind Kind = TTagFileKind::None;
    wx::TTrackRecord Record;
    bool HasV1 = false, HasV2 = false;
};

// The file's tags; an MP3 file without any tag reads as an empty record,
// so that it can be given one.
bool ReadTags(TTagFile& f) {
    f.Record = wx::TTrackRecord{};
    f.Record.FileStem = wx::SjisCut(f.Path, tagio::MaxTextBytes);
    switch (f.Kind) {
    case TTagFileKind::Mp3: {
        if (tagio::ReadTagV1V2(f.Path, f.HasV1, f.Record, f.HasV2)) return true;
        tagio::TAudioSpan span;
        try {
            return tagio::FindAudioSpan(f.Path, span);
        } catch (...) {
            return false;
        }
    }
    case TTagFileKind::Wma: return tagio::ReadWMTTag(f.Path, f.Record);
    case TTagFileKind::Vqf: return tagio::ReadVQFTag(f.Path, f.Record);
    case TTagFileKind::None: break;
    }
    return false;
}

bool WriteTags(const TTagFile& f, int writeMode) {
    switch (f.Kind) {
    case TTagFileKind::Mp3: return tagio::WriteTagV1V2(f.Path, f.Record, writeMode, f.HasV1, f.HasV2);
    case TTagFileKind::Wma: return tagio::WriteWMTTag(f.Path, f.Record);
    case TTagFileKind::Vqf: return tagio::WriteVQFTag(f.Path, f.Record);
    case TTagFileKind::None: break;
    }
    return false;
}

}  // namespace

void EditTagsOfFiles(const std::vector<std::string>& paths, POINT at, const TTagEditorHost& host, bool wmaAvailable,
                     int id3WriteMode) {
    std::vector<TTagFile> files;
    for (const std::string& p : paths) {
        TTagFile f;
        f.Path = p;
        f.Kind = KindOf(p, wmaAvailable);
        if (f.Kind != TTagFileKind::None || paths.size() == 1) files.push_back(f);
    }
    if (files.empty()) return;

    if (paths.size() == 1) {
        TTagFile& f = files[0];
        if (f.Kind == TTagFileKind::None || !ReadTags(f)) {
            wx::ShowMessageBox(LoadResString(MSG_FILE_OPEN_FAILED), MB_OK | MB_ICONERROR);
            return;
        }
        TID3Form form;
        form.TagRecord = &f.Record;
        form.TextLimit = int(wx::TagLongBytes);
        form.AllowNoGenre = f.Kind != TTagFileKind::Mp3;
        form.HasPosition = true;
        form.Left = at.x;
        form.Top = at.y;
        if (form.ShowModal() != IDOK || !f.Record.HasTag) return;
        if (WriteTags(f, id3WriteMode))
            wx::ShowMessageBox(LoadResString(MSG_TAGS_WRITTEN), MB_OK | MB_ICONINFORMATION);
        else
            wx::ShowMessageBox(LoadResString(MSG_TAGS_NOT_WRITTEN), MB_OK | MB_ICONERROR);
        return;
    }

    if (files.size() > std::size_t(wx::MaxTagEditorRows)) {
        wx::ShowMessageBox(wx::FormatRes(MSG_TAGED_TOO_MANY_FILES, int(files.size()), wx::MaxTagEditorRows),
                           MB_OK | MB_ICONWARNING);
        files.resize(std::size_t(wx::MaxTagEditorRows));
    }
    for (TTagFile& f : files) {
        if (!ReadTags(f)) {
            wx::ShowMessageBox(wx::FormatRes(MSG_TAGS_FILE_BROKEN, f.Path.c_str()), MB_OK | MB_ICONERROR);
            return;
        }
    }
    TID3TagForm editor(nullptr, host);
    editor.TagRecords.clear();
    for (const TTagFile& f : files) editor.TagRecords.push_back(f.Record);
    editor.EnableWriteID3Tag(true);
    editor.EnableSetID3Filename(false);
    editor.FillTagList(false);
    if (editor.ShowModal() != IDOK) return;
    std::string written;
    for (std::size_t i = 0; i < files.size() && i < editor.Table.Rows.size(); ++i) {
        TTagFile& f = files[i];
        const wx::TTagRow& row = editor.Table.Rows[i];
        // An MP3 row left without any text or genre has nothing to write.
        if (f.Kind == TTagFileKind::Mp3 && !row.HasContent) continue;
        wx::CellsToRecord(row.Cells, f.Record);
        if (WriteTags(f, id3WriteMode))
            written += (written.empty() ? "" : ",") + std::to_string(i + 1);
        else
            wx::ShowMessageBox(wx::FormatRes(MSG_TAGS_WRITE_FAILED, f.Path.c_str()), MB_OK | MB_ICONERROR);
    }
    if (!written.empty()) wx::ShowMessageBox(wx::FormatRes(MSG_TAGS_WRITTEN_MANY, written.c_str()), MB_OK | MB_ICONINFORMATION);
}
