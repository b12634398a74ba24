#include "output/id3genresel.h"

#include "output/dlgcenter.h"
#include "output/genrelist.h"
#include "output/mp3defs.h"

TID3GenreSelect::TID3GenreSelect(wx::TComponent* owner) : TForm(owner, "TID3GENRESELECT") {
    // Enter in the list is the dialog's default button: it closes the
    // picker with the selection.
    OnClick(IDOK, [this] {
        SelectedText = Selected();
        SetModalResult(IDOK);
    });
    OnClick(IDC_GENRESEL_ALL, [this] { CheckBox1Click(); });
}

void TID3GenreSelect::FormCreate() {
    if (HasPosition)
        SetWindowPos(Handle(), nullptr, Left, Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    else
        GetCenter(*this);
    const std::vector<std::string> items = GenreListItems(false, PresetGenre);
    GenreComboBox.SetItems(items);
    const int i = PresetGenre < 0 ? 0 : IndexOfGenreItem(items, GetGenreName(PresetGenre));
    GenreComboBox.SetItemIndex(i < 0 ? 0 : i);
}

std::string TID3GenreSelect::Selected() const {
    const int i = GenreComboBox.ItemIndex();
    return i < 0 ? std::string(NoGenreText) : GenreComboBox.Item(i);
}

void TID3GenreSelect::CheckBox1Click() {
    const std::string remembered = Selected();
    const bool all = CheckBox1.Checked();
    const std::vector<std::string> items = GenreListItems(all, all ? -1 : FindGenreIndex(remembered));
    GenreComboBox.SetItems(items);
    const int i = IndexOfGenreItem(items, remembered);
    GenreComboBox.SetItemIndex(i < 0 ? 0 : i);
}
