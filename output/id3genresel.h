// The genre picker: one genre for all rows of the tag editor.  On OK the
// opener reads SelectedText and looks the genre up by name.
#pragma once
#include <string>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "resources/tagforms.h"

class TID3GenreSelect : public wx::TForm {
public:
    explicit TID3GenreSelect(wx::TComponent* owner = nullptr);

    // Selected when the picker opens.
    int PresetGenre = 0;
    // Screen position chosen by the opener; centred on the main window
    // when not set.
    bool HasPosition = false;
    int Left = 0, Top = 0;
    // The selected text of GenreComboBox, taken when OK closes the picker.
    std::string SelectedText;

    wx::TComboBox GenreComboBox{this, IDC_GENRESEL_COMBO};
    wx::TCheckBox CheckBox1{this, IDC_GENRESEL_ALL};
    wx::TButton Button1{this, IDOK};
    wx::TButton Button2{this, IDCANCEL};

    void CheckBox1Click();

protected:
    // Runs when the window is made, just before it shows.
    void FormCreate() override;

private:
    std::string Selected() const;
};
