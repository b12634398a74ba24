#include "output/id3edit.h"

#include <commctrl.h>

#include "classlib/sjis.h"
#include "output/dlgcenter.h"
#include "output/genrelist.h"
#include "output/mp3defs.h"

namespace {

// Edits that Enter moves on from, and where to: by tab position 0 title,
// 1 album, 2 artist, 3 year, 5 comment, 6 copyright.
struct TEnterStep {
    int from, to;
};
constexpr TEnterStep kEnterSteps[] = {
    {IDC_ID3_TITLE, IDC_ID3_ALBUM},   {IDC_ID3_ALBUM, IDC_ID3_ARTIST},    {IDC_ID3_ARTIST, IDC_ID3_YEAR},
    {IDC_ID3_YEAR, IDC_ID3_GENRE},    {IDC_ID3_COMMENT, IDC_ID3_COPYRIGHT}, {IDC_ID3_COPYRIGHT, IDOK},
};
constexpr UINT_PTR kSubclassId = 0x1D3;

}  // namespace

TID3Form::TID3Form(wx::TComponent* owner) : TForm(owner, "TID3FORM") {
    OnClick(IDOK, [this] { Button1Click(); });
    OnClick(IDC_ID3_CLEAR, [this] { Button3Click(); });
    OnClick(IDC_ID3_ALLGENRES, [this] { CheckBox1Click(); });
}

void TID3Form::FormCreate() {
    if (HasPosition)
        SetWindowPos(Handle(), nullptr, Left, Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    else
        GetCenter(*this);
    static const wx::TTrackRecord kEmpty;
    const wx::TTrackRecord& r = TagRecord ? *TagRecord : kEmpty;
    std::vector<std::string> items = GenreListItems(false, r.Genre);
    SortGenreItems(items);
    GenreBox.SetItems(items);
    TitleEdit.SetText(r.Title);
    ArtistEdit.SetText(r.Artist);
    AlbumEdit.SetText(r.Album);
    YearEdit.SetText(r.Year);
    CommentEdit.SetText(r.Comment);
    CopyrightEdit.SetText(r.Copyright);
    TrackEdit.SetText(r.TrackText);
    if (r.Genre < 0) {
        GenreBox.SetItemIndex(0);
    } else {
        const int i = IndexOfGenreItem(items, GetGenreName(r.Genre));
        GenreBox.SetItemIndex(i < 0 ? 0 : i);
    }
    for (const wx::TEdit* e : {&TitleEdit, &ArtistEdit, &AlbumEdit, &CommentEdit, &CopyrightEdit})
        e->SetMaxLength(TextLimit);
    for (const TEnterStep& s : kEnterSteps)
        SetWindowSubclass(Item(s.from), &TID3Form::EditProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void TID3Form::FormDestroy() {
    for (const TEnterStep& s : kEnterSteps) RemoveWindowSubclass(Item(s.from), &TID3Form::EditProc, kSubclassId);
}

LRESULT CALLBACK TID3Form::EditProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<TID3Form*>(data);
    if (msg == WM_GETDLGCODE && lp) {
        const MSG* m = reinterpret_cast<const MSG*>(lp);
        if ((m->message == WM_KEYDOWN || m->message == WM_CHAR) && m->wParam == VK_RETURN)
            return DefSubclassProc(wnd, msg, wp, lp) | DLGC_WANTMESSAGE;
    }
    if (msg == WM_KEYDOWN && wp == VK_RETURN) return 0;
    if (msg == WM_CHAR && self->TitleEditKeyPress(GetDlgCtrlID(wnd), static_cast<char>(wp))) return 0;
    return DefSubclassProc(wnd, msg, wp, lp);
}

bool TID3Form::TitleEditKeyPress(int editId, char key) {
    if (key != '\r') return false;
    for (const TEnterStep& s : kEnterSteps) {
        if (s.from == editId) {
            SendMessageA(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(s.to)), TRUE);
            return true;
        }
    }
    return false;
}

std::string TID3Form::SelectedGenreText() const {
    const int i = GenreBox.ItemIndex();
    return i < 0 ? std::string(NoGenreText) : GenreBox.Item(i);
}

void TID3Form::SelectGenreText(const std::string& text) {
    for (int i = 0; i < GenreBox.Count(); ++i) {
        if (GenreBox.Item(i) == text) {
            GenreBox.SetItemIndex(i);
            return;
        }
    }
    GenreBox.SetItemIndex(0);
}

bool TID3Form::AllTextsEmpty() const {
    for (const wx::TEdit* e : {&TitleEdit, &ArtistEdit, &AlbumEdit, &YearEdit, &CommentEdit, &CopyrightEdit, &TrackEdit})
        if (!e->Text().empty()) return false;
    return true;
}

void TID3Form::CheckBox1Click() {
    const std::string remembered = SelectedGenreText();
    const bool all = CheckBox1.Checked();
    GenreBox.SetItems(GenreListItems(all, all ? -1 : FindGenreIndex(remembered)));
    SelectGenreText(remembered);
}

void TID3Form::Button3Click() {
    for (const wx::TEdit* e : {&TitleEdit, &ArtistEdit, &AlbumEdit, &YearEdit, &CommentEdit, &CopyrightEdit})
        e->SetText("");
    GenreBox.SetItemIndex(0);
}

void TID3Form::Button1Click() {
    const std::string genreText = SelectedGenreText();
    if (AllTextsEmpty() && genreText == NoGenreText) {
        SetModalResult(IDCANCEL);
        return;
    }
    if (TagRecord) {
        wx::TTrackRecord& r = *TagRecord;
        r.Title = wx::SjisCut(TitleEdit.Text(), tagio::MaxTextBytes);
        r.Artist = wx::SjisCut(ArtistEdit.Text(), tagio::MaxTextBytes);
        r.Album = wx::SjisCut(AlbumEdit.Text(), tagio::MaxTextBytes);
        r.Comment = wx::SjisCut(CommentEdit.Text(), tagio::MaxTextBytes);
        r.Copyright = wx::SjisCut(CopyrightEdit.Text(), tagio::MaxTextBytes);
        r.Year = wx::SjisCut(YearEdit.Text(), tagio::MaxShortTextBytes);
        r.TrackText = wx::SjisCut(TrackEdit.Text(), tagio::MaxShortTextBytes);
        r.Genre = GenreOfSelection(genreText, AllowNoGenre);
        r.HasTag = true;
    }
    SetModalResult(IDOK);
}
