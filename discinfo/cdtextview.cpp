#include "discinfo/cdtextview.h"

#include <commdlg.h>

#include <cstdio>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "discinfo/cdtextread.h"
#include "output/mp3defs.h"
#include "resources/msgids.h"
#include "settings/inifile.h"

namespace wx {

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr char kSection[] = "CDTEXTView";
constexpr int kColumns = 7;

bool DefaultSaveDialog(HWND owner, std::string& path, int& filter) {
    const std::string comma = LoadResString(MSG_CDTEXT_FILTER_COMMA);
    const std::string tab = LoadResString(MSG_CDTEXT_FILTER_TAB);
    std::string filters = comma + '\0' + "*.CSV" + '\0' + tab + '\0' + "*.CSV" + '\0' + '\0';
    const std::string title = LoadResString(MSG_CDTEXT_SAVE_TITLE);
    char file[MAX_PATH] = {};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filters.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = "CSV";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!Prompter().SaveFileName(ofn)) return false;
    path = file;
    filter = static_cast<int>(ofn.nFilterIndex);
    return true;
}

int ReadPos(TCustomIniFile* ini, const char* key, int def) {
    if (!ini) return def;
    const int v = ini->ReadInteger(kSection, key, -256);
    return v < -255 ? def : v;
}

}  // namespace

std::string GetLangString(int code) {
    const int i = CdTextLanguageIndex(code);
    return i < 0 ? std::string() : LoadResString(MSG_CDTEXT_LANGUAGES + static_cast<UINT>(i));
}

TCDTEXTForm::TCDTEXTForm(TComponent* owner, TCdTextHost host) : TForm(owner, "TCDTEXTFORM"), h_(std::move(host)) {
    timer_ = new TTimer(this, kTimerId, 2000, [this] { Timer1Timer(); });
    OnClick(IDM_CDTEXT_CSV, [this] { CSV1Click(); });
    OnClick(IDM_CDTEXT_SETNAMES, [this] { SetTrackNameClick(); });
    OnClick(IDM_CDTEXT_MP3ID3, [this] { MP3ID3Click(); });
    OnClick(IDM_CDTEXT_SHOWCONFIG, [this] {
        if (h_.ShowConfig) h_.ShowConfig();
    });
    OnClick(IDM_CDTEXT_CLOSE, [this] { Close(); });
    OnClick(IDCANCEL, [this] { Close(); });
    OnClick(IDM_CDTEXT_REFRESH, [this] { Refresh1Click(); });
    OnCommand(IDC_CDTEXT_LANG, CBN_SELCHANGE, [this] { ComboBox1Change(); });
    packs_.reserve(kCdTextBufferSize);
}

TCDTEXTForm::~TCDTEXTForm() {
    if (westernFont_) DeleteObject(westernFont_);
    if (japaneseFont_) DeleteObject(japaneseFont_);
}

bool TCDTEXTForm::TimerOn() const { return timer_ && timer_->Enabled(); }

void TCDTEXTForm::FormCreate() {
    LOGFONTA lf{};
    lf.lfHeight = -12;
    lf.lfCharSet = ANSI_CHARSET;
    lstrcpynA(lf.lfFaceName, "MS Sans Serif", LF_FACESIZE);
    westernFont_ = CreateFontIndirectA(&lf);
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lstrcpynA(lf.lfFaceName, "ＭＳ Ｐゴシック", LF_FACESIZE);
    japaneseFont_ = CreateFontIndirectA(&lf);

    SetCaption(LoadResString(MSG_CDTEXT_CAPTION));
    ListView1.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (int c = 0; c < kColumns; ++c) {
        int w = 100;
        if (h_.Settings) {
            const int saved = h_.Settings->ReadInteger(kSection, "LColumnW" + std::to_string(c), -1);
            if (saved >= 0) w = saved;
        }
        ListView1.AddColumn(LoadResString(MSG_CDTEXT_COL_TRACK + static_cast<UINT>(c)), w);
    }
    const int width = ReadPos(h_.Settings, "WindowWidth", 600);
    const int height = ReadPos(h_.Settings, "WindowHeight", 240);
    const int left = ReadPos(h_.Settings, "WindowLeft", 0);
    const int top = ReadPos(h_.Settings, "WindowTop", 0);
    SetBounds(left, top, width, height);
    Layout();
}

void TCDTEXTForm::FormDestroy() {
    if (!h_.Settings) return;
    // A minimized or maximized window keeps the size it is restored to.
    RECT r = Bounds();
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if ((IsIconic(Handle()) || IsZoomed(Handle())) && GetWindowPlacement(Handle(), &wp)) r = wp.rcNormalPosition;
    h_.Settings->WriteInteger(kSection, "WindowWidth", r.right - r.left);
    h_.Settings->WriteInteger(kSection, "WindowHeight", r.bottom - r.top);
    h_.Settings->WriteInteger(kSection, "WindowLeft", r.left);
    h_.Settings->WriteInteger(kSection, "WindowTop", r.top);
    for (int c = 0; c < kColumns; ++c)
        h_.Settings->WriteInteger(kSection, "LColumnW" + std::to_string(c), ListView1.ColumnWidth(c));
}

bool TCDTEXTForm::HandleMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
    if (msg == WM_SIZE) {
        Layout();
        result = 0;
        return true;
    }
    return false;
}

void TCDTEXTForm::Layout() {
    if (!Handle()) return;
    StatusBar1.FitAbove(ListView1);
}

void TCDTEXTForm::EnableCommands(bool on) {
    commandsOn_ = on;
    HMENU m = GetMenu(Handle());
    for (UINT id : {IDM_CDTEXT_CSV, IDM_CDTEXT_SETNAMES, IDM_CDTEXT_MP3ID3})
        EnableMenuItem(m, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
}

void TCDTEXTForm::ClearData() {
    timer_->SetEnabled(false);
    reader_.Clear();
    rows_.clear();
    TextCodeName.SetText("");
    AlbumNameEdit.SetText("");
    AlbumArtistNameEdit.SetText("");
    ComboBox1.Clear();
    ListView1.Clear();
}

void TCDTEXTForm::FormClose() { ClearData(); }

void TCDTEXTForm::FormShow() { ShowData(); }

void TCDTEXTForm::ShowData() {
    EnableCommands(false);
    packs_.clear();
    reader_.OnCrcError = [this] {
        Message(std::string(kCdTextIllegalInfo) + kCdTextCrcError, MB_OK | MB_ICONWARNING);
    };
    const TDriveAddress d = h_.Drive ? h_.Drive() : TDriveAddress{};
    TCdTextRead read = TCdTextRead::Unsupported;
    if (h_.Exec) read = GetCDTextData(*h_.Exec, d, packs_);
    bool ok = read == TCdTextRead::Ok;
    switch (read) {
        case TCdTextRead::Ok: break;
        case TCdTextRead::NoMedia: Message(LoadResString(MSG_NO_MEDIA), MB_OK | MB_ICONWARNING); break;
        case TCdTextRead::BadData: Message(LoadResString(MSG_CDTEXT_BAD_DATA), MB_OK | MB_ICONERROR); break;
        case TCdTextRead::Unsupported:
            Message(LoadResString(MSG_CDTEXT_UNSUPPORTED), MB_OK | MB_ICONERROR);
            break;
    }
    if (ok) {
        std::string reason;
        ok = reader_.GetLangInfo(packs_.data(), packs_.size(), reason);
        if (!ok) Message(std::string(kCdTextIllegalInfo) + reason, MB_OK | MB_ICONERROR);
    }
    if (!ok) {
        ClearData();
    } else {
        reader_.AnalizeAll(packs_.data(), packs_.size());
        ListView1.Clear();
        ComboBox1.Clear();
        for (int j = 0; j < reader_.BlockCount; ++j)
            ComboBox1.Add(GetLangString(reader_.Blocks[static_cast<std::size_t>(j)].LanguageCode));
        ComboBox1.SetItemIndex(0);
        ComboBox1Change();
        EnableCommands(true);
    }
    timer_->SetEnabled(true);
}

// The viewer's boxes are its own, so that it is active again after them.
void TCDTEXTForm::Message(const std::string& text, UINT flags) { ShowMessageBox(text, flags, Handle()); }

const TCDTextInfo* TCDTEXTForm::SelectedBlock() const {
    const int i = ComboBox1.ItemIndex();
    if (i < 0 || i >= reader_.BlockCount) return nullptr;
    return &reader_.Blocks[static_cast<std::size_t>(i)];
}

void TCDTEXTForm::ComboBox1Change() {
    const TCDTextInfo* b = SelectedBlock();
    ListView1.Clear();
    rows_.clear();
    if (!b) return;
    TextCodeName.SetText(CdTextCodeName(b->CharCode));
    // Western texts in a Western font, Shift-JIS texts in the Japanese one.
    HFONT font = b->CharCode == 0x80 ? japaneseFont_ : westernFont_;
    if (font) SendMessageA(ListView1.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    rows_ = CdTextRows(*b);
    for (const TCdTextRow& r : rows_) {
        const int item = ListView1.AddItem(std::to_string(r.Track), r.Track);
        const std::string cells[] = {r.Title, r.Performer, r.Composer, r.Arranger, r.Songwriter, r.Message};
        for (int c = 0; c < 6; ++c) ListView1.SetSubItem(item, c + 1, cells[c]);
    }
    AlbumNameEdit.SetText(CdTextAlbum(*b));
    AlbumArtistNameEdit.SetText(CdTextAlbumArtist(*b));
}

void TCDTEXTForm::CSV1Click() {
    if (ListView1.Count() == 0) return;
    std::string path;
    int filter = 1;
    const bool chosen = h_.ChooseSaveFile ? h_.ChooseSaveFile(Handle(), path, filter)
                                          : DefaultSaveDialog(Handle(), path, filter);
    if (!chosen) return;
    const char delim = filter == 2 ? '\t' : ',';
    // What was there before (a file chosen to be replaced, a device) is not
    // removed after a failed write; only a file this export made.
    bool existed = false;
    if (std::FILE* before = std::fopen(path.c_str(), "rb")) {
        existed = true;
        std::fclose(before);
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        Message(LoadResString(MSG_CDTEXT_CREATE_FAILED), MB_OK | MB_ICONERROR);
        return;
    }
    std::string out = AlbumNameEdit.Text() + delim + AlbumArtistNameEdit.Text() + "\r\n";
    for (int i = 0; i < ListView1.Count(); ++i) {
        for (int c = 0; c < kColumns; ++c) {
            if (c) out += delim;
            out += ListView1.ItemText(i, c);
        }
        out += "\r\n";
    }
    // The flush is asked for on its own: a close that writes the buffered
    // rest may not report that it failed (a full disk).
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size() && std::fflush(f) == 0;
    if (std::fclose(f) != 0 || !ok) {
        if (!existed) std::remove(path.c_str());
        Message(LoadResString(MSG_CDTEXT_CREATE_FAILED), MB_OK | MB_ICONERROR);
        return;
    }
    Message(LoadResString(MSG_CDTEXT_CSV_WRITTEN), MB_OK | MB_ICONINFORMATION);
}

void TCDTEXTForm::MP3ID3Click() {
    if (ListView1.Count() == 0 || !h_.Tracks) return;
    const auto done = CdTextToTags(rows_, AlbumNameEdit.Text(), FindFreeGenreIndex(), *h_.Tracks);
    if (h_.SetTrackCell)
        for (int t : done) h_.SetTrackCell(t, TCdTextHost::kTagColumn, LoadResString(MSG_YES));
    Message(LoadResString(MSG_CDTEXT_TAGS_SET), MB_OK | MB_ICONINFORMATION);
}

void TCDTEXTForm::SetTrackNameClick() {
    if (!SelectedBlock() || !h_.Tracks || !h_.FileName) return;
    EnableMenuItem(GetMenu(Handle()), IDM_CDTEXT_SETNAMES, MF_BYCOMMAND | MF_GRAYED);
    const bool fullWidth = h_.JapaneseMode ? h_.JapaneseMode() : true;
    const auto done = CdTextToFileNames(rows_, AlbumNameEdit.Text(), h_.FileName, fullWidth, *h_.Tracks);
    if (h_.SetTrackCell)
        for (int t : done) h_.SetTrackCell(t, TCdTextHost::kFileColumn, h_.Tracks->Slots[t].FileStem);
    SetCaption(LoadResString(MSG_CDTEXT_CAPTION));
    Message(LoadResString(MSG_CDTEXT_NAMES_SET), MB_OK | MB_ICONINFORMATION);
    EnableMenuItem(GetMenu(Handle()), IDM_CDTEXT_SETNAMES, MF_BYCOMMAND | MF_ENABLED);
}

void TCDTEXTForm::Refresh1Click() {
    refreshOn_ = false;
    EnableMenuItem(GetMenu(Handle()), IDM_CDTEXT_REFRESH, MF_BYCOMMAND | MF_GRAYED);
    if (h_.RefreshTrackList) h_.RefreshTrackList();
    ClearData();
    ShowData();
    EnableMenuItem(GetMenu(Handle()), IDM_CDTEXT_REFRESH, MF_BYCOMMAND | MF_ENABLED);
    refreshOn_ = true;
}

bool TCDTEXTForm::DiscPresent() {
    if (!h_.Exec) return false;
    TDriveCommands cmds(*h_.Exec);
    const TDriveAddress d = h_.Drive ? h_.Drive() : TDriveAddress{};
    const bool a = cmds.IsDeviceIn(d);
    const bool b = cmds.IsDeviceIn(d);
    return a && b;
}

void TCDTEXTForm::Timer1Timer() {
    if (!h_.AutoRefresh || !h_.AutoRefresh() || GetActiveWindow() != Handle() || !refreshOn_) return;
    const bool present = DiscPresent();
    const bool hasTracks = h_.Tracks && h_.Tracks->TrackCount > 0;
    if (present != hasTracks) Refresh1Click();
}

}  // namespace wx
