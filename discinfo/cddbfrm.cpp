// Built with the execution character set CP932.
#include "discinfo/cddbfrm.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "classlib/sjis.h"
#include "discinfo/TrkInfoSet.h"
#include "discinfo/cddbconv.h"
#include "discinfo/cddbdwn.h"
#include "discinfo/cddbopt.h"
#include "discinfo/cddbtext.h"
#include "discinfo/discid.h"
#include "output/mp3defs.h"
#include "resources/msgids.h"
#include "settings/inifile.h"

namespace wx {

bool CDDBAutoMode = false;
bool CDDBAutoSucceeded = false;
std::string CDDBAutoArtist;
std::string CDDBAutoTitle;
std::string CDDBAutoGenre;

const char* const CddbCategories[11] = {"blues", "classical", "country", "data", "folk",      "jazz",
                                        "misc",  "newage",    "reggae",  "rock", "soundtrack"};

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr int kMaxText = 255;
// The identity the CD player's database gives a disc it could not read.
constexpr char kNoMciIdentity[] = "[NOT MCI USED]";
// Menu bar positions.
constexpr int kFileMenu = 0, kLocalDbMenu = 1, kInternetMenu = 2;
// Position of the drive menu in the file menu.
constexpr int kDriveMenu = 3;

std::string Res(UINT id) { return LoadResString(id); }

std::string Formatted(UINT id, int value) {
    char buf[512];
    std::snprintf(buf, sizeof buf, Res(id).c_str(), value);
    return buf;
}

std::string Formatted(UINT id, const std::string& value) {
    std::string pattern = Res(id);
    const auto at = pattern.find("%s");
    return at == std::string::npos ? pattern : pattern.replace(at, 2, value);
}

// A byte that the check of a submission refuses: control bytes, and with
// the ISO-8859-1 rules the bytes 127..159 too.  Extended texts may hold line
// breaks (lineBreaks): records come with them, and the submit file writes
// them as "\n".
bool HasBadByte(const std::string& text, bool iso, bool lineBreaks = false) {
    for (unsigned char c : text)
        if ((c < 32 && !(lineBreaks && c == '\n')) || (iso && c >= 127 && c <= 159)) return true;
    return false;
}

bool EqualNoCase(const std::string& a, const std::string& b) { return SjisUpperCase(a) == SjisUpperCase(b); }

// The small pictures of the track rows: 2 an audio track, 3 a data track.
void PaintTrackImage(HDC dc, int w, int h, int index) {
    HBRUSH back = CreateSolidBrush(RGB(255, 0, 255));
    RECT all{0, 0, w, h};
    FillRect(dc, &all, back);
    DeleteObject(back);
    const bool audio = index == 2;
    HPEN pen = CreatePen(PS_SOLID, 1, audio ? RGB(0, 64, 128) : RGB(96, 96, 96));
    HBRUSH fill = CreateSolidBrush(audio ? RGB(160, 208, 255) : RGB(208, 208, 208));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, fill);
    Ellipse(dc, 1, 1, w - 1, h - 1);
    HBRUSH hole = CreateSolidBrush(RGB(255, 255, 255));
    SelectObject(dc, hole);
    Ellipse(dc, w / 2 - 2, h / 2 - 2, w / 2 + 3, h / 2 + 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(fill);
    DeleteObject(hole);
    if (audio) {
        // A note over the disc.
        HPEN notePen = CreatePen(PS_SOLID, 2, RGB(160, 0, 0));
        SelectObject(dc, notePen);
        MoveToEx(dc, w - 4, 2, nullptr);
        LineTo(dc, w - 4, h - 5);
        SelectObject(dc, oldPen);
        DeleteObject(notePen);
        HBRUSH head = CreateSolidBrush(RGB(160, 0, 0));
        RECT r{w - 8, h - 6, w - 3, h - 2};
        FillRect(dc, &r, head);
        DeleteObject(head);
    }
}

}  // namespace

std::string CddbSubmitFilePath() {
    char dir[MAX_PATH] = {};
    const DWORD n = GetTempPathA(MAX_PATH, dir);
    const std::string folder = n > 0 && n < MAX_PATH ? std::string(dir, n) : std::string(".");
    return StripTrailingBackslash(folder) + "\\wendrix_cddbtmp.$$$";
}

TCDDBForm::TCDDBForm(TComponent* owner, TCddbFormHost host, TCDDBSearch* search)
    : TForm(owner, "TCDDBFORM"),
      h_(std::move(host)),
      search_(search),
      dialogs_({}, [this]() -> HWND {
          if (search_ && search_->Handle()) return search_->Handle();
          return Handle() && IsWindowVisible(Handle()) ? Handle() : nullptr;
      }) {
    timer_ = new TTimer(this, kTimerId, 2000, [this] { Timer1Timer(); });
    OnClick(IDC_CDDB_SEND, [this] { SendClick(); });
    OnClick(IDM_CDDB_SEND, [this] { SendClick(); });
    OnClick(IDC_CDDB_RECEIVE, [this] { ReceiveClick(); });
    OnClick(IDM_CDDB_RECEIVE, [this] { ReceiveClick(); });
    OnClick(IDC_CDDB_SETTAGS, [this] { SetMP3TaginfoClick(); });
    OnClick(IDM_CDDB_SETTAGS, [this] { SetMP3TaginfoClick(); });
    OnClick(IDC_CDDB_SETNAMES, [this] { SetFilenameClick(); });
    OnClick(IDM_CDDB_SETNAMES, [this] { SetFilenameClick(); });
    OnClick(IDC_CDDB_SITES, [this] { GetSiteInformation(); });
    OnClick(IDM_CDDB_SITELIST, [this] { GetSiteInformation(); });
    OnClick(IDM_CDDB_REFRESH, [this] { RefreshClick(); });
    OnClick(IDM_CDDB_EXPORTDB, [this] { ExportDBClick(); });
    OnClick(IDM_CDDB_IMPORTDB, [this] { ImportDBClick(); });
    OnClick(IDM_CDDB_OPTION, [this] { OptionClick(); });
    OnClick(IDM_CDDB_EXIT, [this] { Close(); });
    OnClick(IDCANCEL, [this] { Close(); });
    // Enter in the track list edits the selected track.
    OnClick(IDOK, [this] {
        if (GetFocus() == ListView1.Handle()) EditTrack(ListView1.NextSelected(-1));
    });
    OnClick(IDM_CDDB_NOFIXEDDRIVE, [this] { NoFixedDriveClick(-1); });
    for (int d = 0; d < 26; ++d) OnClick(IDM_CDDB_DRIVE_FIRST + d, [this, d] { NoFixedDriveClick(d); });
    OnCommand(IDC_CDDB_CATEGORY, CBN_SELCHANGE, [this] { CategoryBoxChange(); });
    OnCommand(IDC_CDDB_YEAR, EN_CHANGE, [this] { YearEditChange(); });
    OnNotify(IDC_CDDB_LIST, NM_DBLCLK, [this](NMHDR*) -> LRESULT {
        EditTrack(ListView1.NextSelected(-1));
        return 0;
    });
    OnMessage(WM_CDDB_RESULT, [this](WPARAM, LPARAM) -> LRESULT {
        WMCDDBResult();
        return 0;
    });
}

TCDDBForm::~TCDDBForm() {
    // A job still running is aborted and waited for before the window goes.
    job_.reset();
    DestroyHandle();
}

bool TCDDBForm::TimerOn() const { return timer_ && timer_->Enabled(); }

// ---- Creation and show -----------------------------------------------------------

void TCDDBForm::ClearDisc() {
    for (auto& t : tracks_) t = TCddbTrackRecord{};
    artist_.clear();
    title_.clear();
    category_.clear();
    year_.clear();
    genreText_.clear();
    receivedGenre_.clear();
    identity_.clear();
    n_ = 0;
    leadOut_ = 0;
}

void TCDDBForm::FormCreate() {
    ClearDisc();
    if (h_.Settings) LoadCddbConfig(*h_.Settings, cfg_);
    cfg_.Select(cfg_.Selected);
    for (const char* c : CddbCategories) CategoryBox.Add(c);

    images_.Create(16, 16);
    for (int i = 0; i < 4; ++i) images_.AddDrawn([i](HDC dc, int w, int h) { PaintTrackImage(dc, w, h, i); });
    ListView1.Send(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_.Handle()));
    ListView1.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    const int defaults[3] = {80, 200, 100};
    for (int c = 0; c < 3; ++c) {
        const int saved = cfg_.ListColW[static_cast<std::size_t>(c)];
        ListView1.AddColumn(Res(MSG_CDDB_COL_TRACK + static_cast<UINT>(c)), saved > 0 ? saved : defaults[c]);
    }
    StatusBar1.SetParts({200, -1});
    const RECT r = Bounds();
    const int width = cfg_.WinWidth > 0 ? cfg_.WinWidth : r.right - r.left;
    const int height = cfg_.WinHeight > 0 ? cfg_.WinHeight : r.bottom - r.top;
    SetBounds(cfg_.WinPosX, cfg_.WinPosY, width, height);
    sized_ = true;
    Layout();
}

bool TCDDBForm::StartAutomatic(HWND owner) {
    CreateHandle(owner);
    ShowStep();
    return !discarded_;
}

void TCDDBForm::FormShow() { ShowStep(); }

void TCDDBForm::SetServerPanel(UINT id) { StatusBar1.SetPanelText(1, Formatted(id, cfg_.SelectedHost())); }

void TCDDBForm::ShowStep() {
    timer_->SetEnabled(true);
    revision_ = 0;
    receivedRevision_ = -1;
    GenreBox.Clear();
    for (int g = 0; g < 256; ++g) {
        const std::string name = GetGenreNameRaw(g);
        if (!name.empty()) GenreBox.Add(name);
    }
    const std::string identity = h_.VolumeId ? h_.VolumeId(cfg_.Drive) : std::string();
    StatusBar1.SetPanelText(0, "Disc ID = " + identity);
    SetServerPanel(MSG_CDDB_CURRENT_SERVER);
    if (GetDiscInfoEx()) {
        identity_ = identity;
        ResetDiscFields();
        ArtistEdit.SetText(artist_);
        TitleEdit.SetText(title_);
        for (int i = 1; i <= n_; ++i) {
            tracks_[static_cast<std::size_t>(i)].Title.clear();
            tracks_[static_cast<std::size_t>(i)].Extended.clear();
        }
        FillTrackItems();
    } else {
        identity_.clear();
        ShowMessageBox(Res(n_ == 0 ? MSG_CDDB_DRIVE_NOT_READY : MSG_CDDB_MEDIA_INVALID), MB_OK | MB_ICONERROR,
                       Visible() ? Handle() : nullptr);
    }
    const bool tracks = HasMainTracks();
    SpeedButton3.SetEnabled(tracks);
    SpeedButton4.SetEnabled(tracks);
    if (search_) {
        if (!identity_.empty()) {
            ReceiveClick();
        } else {
            // Nothing to look up: the lookup ends here, and the search
            // window with it.
            discarded_ = true;
            timer_->SetEnabled(false);
            search_->Detach();
            search_->Finish();
        }
    }
}

void TCDDBForm::ResetDiscFields() {
    artist_ = Res(MSG_CDDB_NEW_ARTIST);
    title_ = Res(MSG_CDDB_NEW_TITLE);
}

bool TCDDBForm::HasMainTracks() const { return h_.Tracks && h_.Tracks->TrackCount > 0; }

void TCDDBForm::FillTrackItems() {
    ListView1.Clear();
    for (int i = 1; i <= n_; ++i) {
        const bool audio = h_.Tracks && i < LeadOutSlot && h_.Tracks->Slots[i].IsAudio;
        LVITEMA it{};
        it.mask = LVIF_TEXT | LVIF_IMAGE;
        it.iItem = ListView1.Count();
        const std::string text = Formatted(MSG_ID3_TRACK_LABEL, i);
        it.pszText = const_cast<char*>(text.c_str());
        it.iImage = audio ? 2 : 3;
        const int item = static_cast<int>(ListView1.Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)));
        ListView1.SetSubItem(item, 1, "");
        ListView1.SetSubItem(item, 2, "");
    }
}

bool TCDDBForm::GetDiscInfoEx() {
    if (h_.RefreshTrackList) h_.RefreshTrackList();
    n_ = 0;
    leadOut_ = 0;
    if (!h_.Tracks) return false;
    const TTrackTable& t = *h_.Tracks;
    n_ = std::clamp(t.TrackCount, 0, std::min(kCddbDialogTracks, LeadOutSlot - 1));
    bool usable = false;
    auto copy = [](const TTrackRecord& s, TCddbTrackRecord& r) {
        r.StartMinute = s.StartMinute;
        r.StartSecond = s.StartSecond;
        r.StartFrame = s.StartFrame;
        r.StartFrames = s.StartMinute * 4500 + s.StartSecond * 75 + s.StartFrame;
        r.Length = s.SectorCount;
    };
    for (int i = 1; i <= n_; ++i) {
        copy(t.Slots[i], tracks_[static_cast<std::size_t>(i)]);
        usable = usable || t.Slots[i].IsAudio;
    }
    if (n_ > 0) {
        copy(t.Slots[LeadOutSlot], tracks_[static_cast<std::size_t>(n_ + 1)]);
        leadOut_ = tracks_[static_cast<std::size_t>(n_ + 1)].StartFrames;
    }
    return usable;
}

std::vector<std::int32_t> TCDDBForm::StartFrames() const {
    std::vector<std::int32_t> frames;
    for (int i = 1; i <= n_; ++i) frames.push_back(tracks_[static_cast<std::size_t>(i)].StartFrames);
    return frames;
}

std::string TCDDBForm::DiscIdText() const { return CddbDiscIdText(CddbDiscId(StartFrames(), leadOut_)); }

// ---- Jobs ---------------------------------------------------------------------

TCDDBNetSettings TCDDBForm::SetNetwork() const {
    TCDDBNetSettings s = cfg_.Net;
    s.ServerHost = cfg_.SelectedHost();
    s.SubmitFile = h_.SubmitFile.empty() ? CddbSubmitFilePath() : h_.SubmitFile;
    return s;
}

std::unique_ptr<TCDDBAccess> TCDDBForm::NewJob(TCddbMode mode) {
    auto job = std::make_unique<TCDDBAccess>(Handle(), cfg_.Trace, SetNetwork(), static_cast<TCddbJobUi*>(this), h_.Network);
    job->Mode = mode;
    return job;
}

void TCDDBForm::StartJob(std::unique_ptr<TCDDBAccess> job) {
    job_ = std::move(job);
    EnableControls(false);
    job_->Start();
}

void TCDDBForm::StartInternet() {
    if (job_) return;
    auto job = NewJob(TCddbMode::Query);
    TCddbClient& c = job->Client();
    c.DiscId = DiscIdText();
    c.StartFrames = StartFrames();
    c.StartFrames.push_back(leadOut_);
    c.DiscSeconds = CddbDiscSeconds(leadOut_);
    c.TrackCount = n_;
    StartJob(std::move(job));
}

void TCDDBForm::GetSiteInformation() {
    if (job_) return;
    timer_->SetEnabled(false);
    StartJob(NewJob(TCddbMode::Sites));
}

void TCDDBForm::ExecAbort() {
    if (job_) job_->Abort();
}

void TCDDBForm::ReceiveClick() {
    if (job_) return;
    timer_->SetEnabled(false);
    GetDiscInfoEx();
    StartInternet();
}

void TCDDBForm::WMCDDBResult() {
    if (!job_) return;
    std::unique_ptr<TCDDBAccess> job = std::move(job_);
    TCddbClient& c = job->Client();
    const bool networkError = c.NetworkError;
    std::string text = CddbLocalText(c.ResultText);
    if (text.empty() && networkError) text = Res(MSG_CDDB_NETWORK_ERROR);
    switch (job->Mode) {
        case TCddbMode::Sites: {
            int added = 0, dropped = 0;
            for (const std::string& line : c.SiteLines) {
                std::string name = CddbTrim(line);
                const auto blank = name.find(' ');
                if (blank != std::string::npos && blank > 0) name.erase(blank);
                if (name.empty()) continue;
                if (std::find(cfg_.Servers.begin(), cfg_.Servers.end(), name) != cfg_.Servers.end()) continue;
                if (static_cast<int>(cfg_.Servers.size()) >= kCddbMaxServers) {
                    ++dropped;  // new, but the list holds no more
                    continue;
                }
                cfg_.Servers.push_back(name);
                ++added;
            }
            if (c.ResultText.empty()) {
                if (added > 0)
                    ShowMessageBox(Formatted(MSG_CDDB_NEW_SITES, added), MB_OK | MB_ICONINFORMATION, Handle());
                if (dropped > 0)
                    ShowMessageBox(Formatted(MSG_CDDB_SITES_LIST_FULL, dropped), MB_OK | MB_ICONINFORMATION,
                                   Handle());
                if (added == 0 && dropped == 0)
                    ShowMessageBox(Res(MSG_CDDB_NO_NEW_SITES), MB_OK | MB_ICONINFORMATION, Handle());
            }
            break;
        }
        case TCddbMode::Submit:
            if (!networkError) receivedRevision_ = receivedRevision_ < 0 ? 0 : receivedRevision_ + 1;
            break;
        case TCddbMode::Query: {
            cfg_.Net.LastMotdLine = c.Settings().LastMotdLine;
            if (c.Success) {
                const bool l6 = c.Level6;
                const TCDDBDiscInfo& info = c.Info;
                // Every row the record does not fill is emptied: no title of
                // an earlier record may stay beside the new disc fields.
                for (auto& r : tracks_) {
                    r.Title.clear();
                    r.Extended.clear();
                }
                // Only the dialog's own records take received tracks.
                const int count = std::clamp(info.TrackCount, 0, kCddbDialogTracks);
                for (int i = 0; i < count; ++i) {
                    TCddbTrackRecord& r = tracks_[static_cast<std::size_t>(i + 1)];
                    r.Title = CddbReceivedText(info.TrackTitles[static_cast<std::size_t>(i)], l6, kMaxText);
                    r.Extended = CddbReceivedText(info.ExtendedTrackData[static_cast<std::size_t>(i)], l6, kMaxText);
                }
                artist_ = CddbReceivedText(info.Artist, l6, kMaxText);
                title_ = CddbReceivedText(info.Title, l6, kMaxText);
                category_ = CddbReceivedText(info.Category, l6, kMaxText);
                year_ = CddbReceivedText(info.Year, l6, kMaxText);
                receivedGenre_ = CddbReceivedText(info.Genre, l6, kMaxText);
                const int g = FindBuiltinGenreIndex(receivedGenre_);
                genreText_ = g >= 0 ? std::string(GenreNames[g]) : std::string();
                receivedRevision_ = info.Revision;
                received_ = !networkError;
            } else {
                for (auto& r : tracks_) {
                    r.Title.clear();
                    r.Extended.clear();
                }
                ResetDiscFields();
                category_.clear();
                year_.clear();
                genreText_.clear();
                receivedGenre_.clear();
                revision_ = 0;
                receivedRevision_ = -1;
                received_ = false;
            }
            break;
        }
    }
    const TCddbMode mode = job->Mode;
    job.reset();
    if (mode == TCddbMode::Query) RefreshView();
    SetServerPanel(MSG_CDDB_CURRENT_SERVER);
    EnableControls(true);
    const bool succeeded = mode == TCddbMode::Query && received_ && !networkError;
    if (search_) {
        CDDBAutoSucceeded = succeeded;
        CDDBAutoArtist = artist_;
        CDDBAutoTitle = title_;
        CDDBAutoGenre = genreText_;
        search_->Detach();
        search_->Finish();
    }
    if (!text.empty()) {
        if (networkError)
            ShowMessageBox(text, MB_OK | MB_ICONERROR, search_ ? nullptr : Handle());
        else if (!search_)
            ShowMessageBox(text, MB_OK | MB_ICONINFORMATION, Handle());
    }
    timer_->SetEnabled(true);
    if (search_) {
        if (succeeded) {
            SetMP3TaginfoClick();
            if (h_.FileNamesAfterLookup && h_.FileNamesAfterLookup()) SetFilenameClick();
        }
        timer_->SetEnabled(false);
        DestroyHandle();
    }
}

// ---- View ---------------------------------------------------------------------

void TCDDBForm::RefreshView() {
    ArtistEdit.SetText(artist_);
    TitleEdit.SetText(title_);
    YearEdit.SetText(year_);
    const int g = FindGenreIndex(genreText_);
    const std::string genreName = g >= 0 ? GetGenreNameRaw(g) : std::string();
    int genreItem = -1;
    for (int i = 0; i < GenreBox.Count() && !genreName.empty(); ++i)
        if (GenreBox.Item(i) == genreName) {
            genreItem = i;
            break;
        }
    GenreBox.SetItemIndex(genreItem);
    if (ListView1.Count() != n_) FillTrackItems();
    for (int i = 1; i <= n_ && i <= ListView1.Count(); ++i) {
        ListView1.SetSubItem(i - 1, 1, tracks_[static_cast<std::size_t>(i)].Title);
        ListView1.SetSubItem(i - 1, 2, tracks_[static_cast<std::size_t>(i)].Extended);
    }
    int categoryItem = -1;
    for (int i = 0; i < 11; ++i)
        if (EqualNoCase(category_, CddbCategories[i])) {
            categoryItem = i;
            break;
        }
    CategoryBox.SetItemIndex(categoryItem);
}

void TCDDBForm::EnableControls(bool on) {
    for (TControl* c : std::initializer_list<TControl*>{&CategoryBox, &TitleEdit, &ArtistEdit, &GenreBox, &YearEdit,
                                                         &SpeedButton1, &SpeedButton2, &SiteListBtn})
        c->SetEnabled(on);
    const bool tracks = on && HasMainTracks();
    SpeedButton3.SetEnabled(tracks);
    SpeedButton4.SetEnabled(tracks);
    if (HMENU bar = GetMenu(Handle())) {
        for (int pos : {kFileMenu, kLocalDbMenu, kInternetMenu})
            EnableMenuItem(bar, static_cast<UINT>(pos), MF_BYPOSITION | (on ? MF_ENABLED : MF_GRAYED));
        DrawMenuBar(Handle());
    }
}

void TCDDBForm::Layout() {
    if (!Handle() || !sized_) return;
    StatusBar1.FitAbove(ListView1);
}

bool TCDDBForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_SIZE) {
        Layout();
        result = 0;
        return true;
    }
    if (msg == WM_INITMENUPOPUP && !HIWORD(lp)) {
        HMENU popup = reinterpret_cast<HMENU>(wp);
        HMENU bar = GetMenu(Handle());
        TMenu m(popup);
        if (popup == GetSubMenu(bar, kLocalDbMenu)) {
            const bool known = !identity_.empty() && identity_ != kNoMciIdentity;
            m.SetEnabled(IDM_CDDB_EXPORTDB, known);
            m.SetEnabled(IDM_CDDB_IMPORTDB, known);
        } else if (popup == GetSubMenu(bar, kInternetMenu)) {
            m.SetEnabled(IDM_CDDB_SEND, HasMainTracks());
            m.SetEnabled(IDM_CDDB_RECEIVE, HasMainTracks());
        } else if (popup == GetSubMenu(GetSubMenu(bar, kFileMenu), kDriveMenu)) {
            CDriveMenuClick(popup);
        }
        result = 0;
        return true;
    }
    return false;
}

// ---- Copying into the track table -----------------------------------------------

TCddbDisc TCDDBForm::DiscForCopy() const {
    // What the dialog shows: the edits as they stand.
    TCddbDisc d;
    d.Artist = TrimSpaces(ArtistEdit.Text());
    d.Album = TrimSpaces(TitleEdit.Text());
    d.Year = TrimSpaces(YearEdit.Text());
    d.GenreText = GenreBox.ItemIndex() >= 0 ? GenreBox.Item(GenreBox.ItemIndex()) : genreText_;
    for (int i = 1; i <= n_; ++i) {
        const TCddbTrackRecord& r = tracks_[static_cast<std::size_t>(i)];
        d.Tracks.push_back({r.Title, r.Extended});
    }
    return d;
}

int TCDDBForm::TagGenre() const {
    int genre = -1;
    if (GenreBox.ItemIndex() >= 0) genre = FindGenreIndex(GenreBox.Item(GenreBox.ItemIndex()));
    if (genre == -1) {
        const int c = CategoryBox.ItemIndex();
        genre = c >= 0 && c < 11 ? FindGenreIndex(CddbCategories[c]) : FindFreeGenreIndex();
    }
    return genre;
}

void TCDDBForm::SetMP3TaginfoClick() {
    if (!h_.Tracks) return;
    TCddbDisc d = DiscForCopy();
    d.Genre = TagGenre();
    const std::vector<int> done = CddbToTags(d, *h_.Tracks);
    if (h_.SetTrackCell)
        for (int t : done) h_.SetTrackCell(t, 6, Res(MSG_YES));
    if (!done.empty() && !search_)
        ShowMessageBox(Res(MSG_CDDB_TAGS_SET), MB_OK | MB_ICONINFORMATION, Handle());
}

void TCDDBForm::SetFilenameClick() {
    if (!h_.Tracks || !h_.FileName) return;
    const bool fullWidth = h_.JapaneseMode ? h_.JapaneseMode() : true;
    const std::vector<int> done = CddbToFileNames(DiscForCopy(), h_.FileName, fullWidth, *h_.Tracks);
    if (h_.SetTrackCell)
        for (int t : done) h_.SetTrackCell(t, 5, h_.Tracks->Slots[t].FileStem);
    if (!done.empty() && !search_)
        ShowMessageBox(Res(MSG_CDDB_NAMES_SET), MB_OK | MB_ICONINFORMATION, Handle());
}

// ---- Editing --------------------------------------------------------------------

void TCDDBForm::BumpRevision() {
    if (receivedRevision_ >= 0) revision_ = receivedRevision_ + 1;
}

void TCDDBForm::CategoryBoxChange() { BumpRevision(); }

void TCDDBForm::YearEditChange() {
    // The edit takes only digits from the keyboard; a pasted text keeps
    // only its digits too.
    const std::string text = YearEdit.Text();
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9') digits += c;
    if (digits != text) YearEdit.SetText(digits);
}

void TCDDBForm::EditTrack(int row) {
    if (job_ || row < 0 || row >= n_ || row >= ListView1.Count()) return;
    TCddbTrackRecord& r = tracks_[static_cast<std::size_t>(row + 1)];
    TTrackInfoForm form(this);
    form.TrackInfo = r.Title;
    form.TrackExtInfo = r.Extended;
    if (form.ShowModal(Handle()) != IDOK) return;
    if (form.TrackInfo != r.Title || form.TrackExtInfo != r.Extended) BumpRevision();
    r.Title = SjisCut(form.TrackInfo, kMaxText);
    r.Extended = SjisCut(form.TrackExtInfo, kMaxText);
    ListView1.SetSubItem(row, 1, r.Title);
    ListView1.SetSubItem(row, 2, r.Extended);
}

// ---- Drive menu, refresh and the media poll ------------------------------------

void TCDDBForm::CDriveMenuClick(HMENU menu) {
    while (GetMenuItemCount(menu) > 2) DeleteMenu(menu, 2, MF_BYPOSITION);
    bool found = false;
    for (int d = 0; d < 26; ++d) {
        const char letter = static_cast<char>('A' + d);
        const std::string root = std::string(1, letter) + ":\\";
        if (GetDriveTypeA(root.c_str()) != DRIVE_CDROM) continue;
        char caption[128];
        std::snprintf(caption, sizeof caption, Res(MSG_CDDB_DRIVE_ITEM).c_str(), letter, letter);
        MENUITEMINFOA mi{};
        mi.cbSize = sizeof mi;
        mi.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE | MIIM_STATE;
        mi.fType = MFT_STRING | MFT_RADIOCHECK;
        mi.wID = static_cast<UINT>(IDM_CDDB_DRIVE_FIRST + d);
        mi.dwTypeData = caption;
        mi.fState = d == cfg_.Drive ? MFS_CHECKED : MFS_UNCHECKED;
        InsertMenuItemA(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &mi);
        found = found || d == cfg_.Drive;
    }
    if (!found) cfg_.Drive = -1;
    CheckMenuItem(menu, IDM_CDDB_NOFIXEDDRIVE, MF_BYCOMMAND | (cfg_.Drive == -1 ? MF_CHECKED : MF_UNCHECKED));
}

void TCDDBForm::NoFixedDriveClick(int drive) {
    if (drive == cfg_.Drive) return;
    cfg_.Drive = drive;
    RefreshClick();
}

void TCDDBForm::RefreshClick() {
    if (job_ || !refreshOn_) return;
    refreshOn_ = false;
    HMENU bar = GetMenu(Handle());
    if (bar) EnableMenuItem(bar, IDM_CDDB_REFRESH, MF_BYCOMMAND | MF_GRAYED);
    if (h_.RefreshTrackList) h_.RefreshTrackList();
    ShowStep();
    if (bar) EnableMenuItem(bar, IDM_CDDB_REFRESH, MF_BYCOMMAND | MF_ENABLED);
    refreshOn_ = true;
}

void TCDDBForm::Timer1Timer() {
    if (!h_.AutoRefresh || !h_.AutoRefresh() || GetActiveWindow() != Handle() || !refreshOn_ || job_) return;
    const bool present = h_.DiscPresent && h_.DiscPresent();
    if (present != HasMainTracks()) RefreshClick();
}

// ---- Local database and options -----------------------------------------------------

void TCDDBForm::ImportDBClick() {
    TLocalDbDisc disc;
    if (!h_.LocalDb || !ImportLocalDB(*h_.LocalDb, identity_, kCddbDialogTracks, disc)) {
        ShowMessageBox(Res(MSG_CDDB_NOT_IN_DB), MB_OK | MB_ICONERROR, Handle());
        return;
    }
    artist_ = disc.Artist;
    title_ = disc.Title;
    for (std::size_t i = 0; i < disc.TrackTitles.size(); ++i) tracks_[i + 1].Title = SjisCut(disc.TrackTitles[i], kMaxText);
    RefreshView();
}

void TCDDBForm::ExportDBClick() {
    if (ShowMessageBox(Res(MSG_CDDB_EXPORT_ASK), MB_OKCANCEL | MB_ICONQUESTION, Handle()) != IDOK) return;
    bool written = false;
    if (h_.LocalDb) {
        TLocalDbDisc disc;
        disc.Artist = ArtistEdit.Text();
        disc.Title = TitleEdit.Text();
        for (int i = 1; i <= n_; ++i) disc.TrackTitles.push_back(tracks_[static_cast<std::size_t>(i)].Title);
        written = ExportLocalDB(*h_.LocalDb, identity_, disc);
        written = h_.LocalDb->UpdateFile() && written;
    }
    if (written)
        ShowMessageBox(Res(MSG_CDDB_EXPORT_DONE), MB_OK | MB_ICONINFORMATION, Handle());
    else
        ShowMessageBox(Res(MSG_CDDB_EXPORT_FAILED), MB_OK | MB_ICONERROR, Handle());
}

void TCDDBForm::OptionClick() {
    TCDDBOptionForm form(this, cfg_);
    form.ShowModal(Handle());
    SetServerPanel(MSG_CDDB_SERVER_NOW);
}

// ---- Submission -----------------------------------------------------------------

void TCDDBForm::SendClick() {
    if (job_) return;
    if (cfg_.Net.SubmitReceiver.empty()) {
        ShowMessageBox(Res(MSG_CDDB_NO_RECEIVER), MB_OK | MB_ICONERROR, Handle());
        return;
    }
    timer_->SetEnabled(false);
    SendInformation();
}

bool TCDDBForm::CheckInformation() { return CheckFields(true); }

bool TCDDBForm::CheckInformationJP() { return CheckFields(false); }

bool TCDDBForm::CheckFields(bool iso) {
    auto refuse = [this](const std::string& text) {
        ShowMessageBox(text, MB_OK | MB_ICONERROR, Handle());
        return false;
    };
    if (n_ == 0) return false;
    if (ShowMessageBox(Res(MSG_CDDB_SUBMIT_ASK), MB_OKCANCEL | MB_ICONQUESTION, Handle()) != IDOK) return false;
    if (CategoryBox.ItemIndex() < 0) return refuse(Res(MSG_CDDB_NO_CATEGORY));
    if (TrimSpaces(YearEdit.Text()).empty()) return refuse(Res(MSG_CDDB_NO_YEAR));
    if (GenreBox.ItemIndex() < 0) return refuse(Res(MSG_CDDB_NO_GENRE));
    const std::string artist = TrimSpaces(ArtistEdit.Text());
    const std::string title = TrimSpaces(TitleEdit.Text());
    if (artist.find_first_of("/,") != std::string::npos) return refuse(Res(MSG_CDDB_ARTIST_SLASH));
    if (title.find_first_of("/,") != std::string::npos) return refuse(Res(MSG_CDDB_TITLE_SLASH));
    if (HasBadByte(title, iso)) return refuse(Res(iso ? MSG_CDDB_TITLE_NOT_ISO : MSG_CDDB_TITLE_CONTROL));
    if (HasBadByte(artist, iso)) return refuse(Res(iso ? MSG_CDDB_ARTIST_NOT_ISO : MSG_CDDB_ARTIST_CONTROL));
    if (artist.empty() || title.empty()) return refuse(Res(MSG_CDDB_EMPTY_NAMES));
    if (title == Res(MSG_CDDB_NEW_TITLE) || artist == Res(MSG_CDDB_NEW_ARTIST))
        return refuse(Res(MSG_CDDB_NAMES_UNCHANGED));
    for (int b = 1; b <= n_; ++b) {
        const TCddbTrackRecord& r = tracks_[static_cast<std::size_t>(b)];
        const std::string t = TrimSpaces(r.Title);
        if (HasBadByte(t, iso)) return refuse(Formatted(iso ? MSG_CDDB_TRACK_NOT_ISO : MSG_CDDB_TRACK_CONTROL, b));
        if (t.empty() || EqualNoCase(t, Formatted(MSG_ID3_TRACK_LABEL, b)))
            return refuse(Formatted(MSG_CDDB_TRACK_INVALID, b));
        if (HasBadByte(TrimSpaces(r.Extended), iso, true))
            return refuse(Formatted(iso ? MSG_CDDB_EXT_NOT_ISO : MSG_CDDB_EXT_CONTROL, b));
    }
    return true;
}

void TCDDBForm::SendInformation() {
    std::unique_ptr<TCDDBAccess> job = NewJob(TCddbMode::Submit);
    const bool japanese = h_.JapaneseMode ? h_.JapaneseMode() : true;
    if (!(japanese ? CheckInformationJP() : CheckInformation())) {
        timer_->SetEnabled(true);
        return;
    }
    const std::string artist = TrimSpaces(ArtistEdit.Text());
    const std::string title = TrimSpaces(TitleEdit.Text());
    const std::string year = TrimSpaces(YearEdit.Text());
    const std::string genre = GenreBox.ItemIndex() >= 0 ? GenreBox.Item(GenreBox.ItemIndex()) : std::string();
    const int c = CategoryBox.ItemIndex();
    const std::string category = c >= 0 && c < 11 ? CddbCategories[c] : "";
    // Any change of the disc fields makes a new revision of a record that
    // came from the server.
    const bool changed = artist != artist_ || title != title_ || category != category_ || year != year_ ||
                         genre != genreText_;
    if (changed) BumpRevision();
    artist_ = artist;
    title_ = title;
    category_ = category;
    year_ = year;
    if (genre != genreText_) {
        genreText_ = genre;
        receivedGenre_ = genre;
    }

    TCddbClient& cl = job->Client();
    cl.NewSubmitInfo(n_, CddbDiscSeconds(leadOut_));
    cl.SetSubmitField(0, 0, artist_, 0);
    cl.SetSubmitField(1, 0, title_, 0);
    cl.SetSubmitField(2, 0, DiscIdText(), 0);
    cl.SetSubmitField(3, 0, category_, 0);
    cl.SetSubmitField(8, 0, year_, 0);
    cl.SetSubmitField(9, 0, receivedGenre_, 0);
    cl.SetSubmitField(7, revision_, "", 0);
    for (int i = 1; i <= n_; ++i) {
        const TCddbTrackRecord& r = tracks_[static_cast<std::size_t>(i)];
        cl.SetSubmitField(4, i, TrimSpaces(r.Title), 0);
        cl.SetSubmitField(5, i, TrimSpaces(r.Extended), 0);
        cl.SetSubmitField(6, i, "", r.StartFrames);
    }
    cl.SubmitUtf8 = japanese;
    const std::string& path = cl.Settings().SubmitFile;
    const bool written = (cfg_.Net.Flags & kCddbFlagSubmitHttp) ? cl.WriteHttpSubmitFile(path, japanese)
                                                                 : cl.WriteMailSubmitFile(path, japanese);
    if (!written) {
        job.reset();
        ShowMessageBox(Res(MSG_CDDB_SUBMIT_FILE_FAILED), MB_OK | MB_ICONERROR, Handle());
        timer_->SetEnabled(true);
        return;
    }
    StartJob(std::move(job));
}

// ---- Closing ----------------------------------------------------------------------

bool TCDDBForm::FormCloseQuery() {
    // Closing waits for the job; asking to close cancels it.
    if (job_) {
        job_->Abort();
        return false;
    }
    return true;
}

void TCDDBForm::FormClose() { timer_->SetEnabled(false); }

void TCDDBForm::FormDestroy() {
    timer_->SetEnabled(false);
    if (!h_.Settings) return;
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    RECT r = Bounds();
    if ((IsIconic(Handle()) || IsZoomed(Handle())) && GetWindowPlacement(Handle(), &wp)) r = wp.rcNormalPosition;
    cfg_.WinPosX = r.left;
    cfg_.WinPosY = r.top;
    cfg_.WinWidth = r.right - r.left;
    cfg_.WinHeight = r.bottom - r.top;
    for (int c = 0; c < 3; ++c) cfg_.ListColW[static_cast<std::size_t>(c)] = ListView1.ColumnWidth(c);
    StoreCddbConfig(*h_.Settings, cfg_);
    h_.Settings->UpdateFile();
}

// ---- The job's steps ------------------------------------------------------------------

void TCDDBForm::ShowStatus(const std::string& text) {
    const std::string local = CddbLocalText(text);
    if (search_)
        search_->SetStatus(local);
    else
        StatusBar1.SetPanelText(1, local);
}

bool TCDDBForm::AskProxyPassword(std::string& password) { return dialogs_.AskProxyPassword(password); }

void TCDDBForm::ShowServerMessage(const std::vector<std::string>& lines) { dialogs_.ShowServerMessage(lines); }

int TCDDBForm::ChooseMatch(const std::vector<std::string>& items) { return dialogs_.ChooseMatch(items); }

void TCDDBForm::ShowRefusal(const std::string& text) { dialogs_.ShowRefusal(text); }

}  // namespace wx
