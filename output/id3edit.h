// The tag dialog: edits the tag fields of one track record.  On OK the
// record is updated and its HasTag set; Cancel leaves it as it was.
#pragma once
#include <string>
#include <vector>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "output/tagio.h"
#include "resources/tagforms.h"

class TID3Form : public wx::TForm {
public:
    explicit TID3Form(wx::TComponent* owner = nullptr);

    // Set by the opener before ShowModal.
    wx::TTrackRecord* TagRecord = nullptr;
    // "-None-" stores genre -1 when set, else the first genre without a name.
    bool AllowNoGenre = false;
    // Longest title, artist, album, comment and copyright.
    int TextLimit = 250;
    // Screen position chosen by the opener (the top-left corner); centred
    // on the main window when not set.
    bool HasPosition = false;
    int Left = 0, Top = 0;

    wx::TEdit TitleEdit{this, IDC_ID3_TITLE};
    wx::TEdit AlbumEdit{this, IDC_ID3_ALBUM};
    wx::TEdit ArtistEdit{this, IDC_ID3_ARTIST};
    wx::TEdit YearEdit{this, IDC_ID3_YEAR};
    wx::TComboBox GenreBox{this, IDC_ID3_GENRE};
    wx::TEdit CommentEdit{this, IDC_ID3_COMMENT};
    wx::TEdit CopyrightEdit{this, IDC_ID3_COPYRIGHT};
    wx::TEdit TrackEdit{this, IDC_ID3_TRACK};
    wx::TCheckBox CheckBox1{this, IDC_ID3_ALLGENRES};
    wx::TButton Button1{this, IDOK};
    wx::TButton Button2{this, IDCANCEL};
    wx::TButton Button3{this, IDC_ID3_CLEAR};

    void Button1Click();
    void Button3Click();
    void CheckBox1Click();
    // Enter in an edit: focus moves on by the edit's tab position.  True
    // when the key was taken.
    bool TitleEditKeyPress(int editId, char key);

protected:
    // Runs when the window is made, just before it shows: centres it and
    // fills the controls from the record.
    void FormCreate() override;
    void FormDestroy() override;

private:
    std::string SelectedGenreText() const;
    void SelectGenreText(const std::string& text);
    bool AllTextsEmpty() const;
    static LRESULT CALLBACK EditProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data);
};
