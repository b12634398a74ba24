// The column-fill prompt of the tag editor: a text and the column it goes
// into (title, artist, album, year, comment, copyright).
#pragma once
#include <string>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "resources/id3tageditform.h"

class TAllPasteForm : public wx::TForm {
public:
    explicit TAllPasteForm(wx::TComponent* owner = nullptr);

    // The answer on OK: the text and the radio button chosen (0..5).
    std::string Text;
    int Kind = 0;
    // The tag editor's column of the chosen kind.
    int Column() const;

    wx::TEdit Edit1{this, IDC_ALLPASTE_EDIT};
    wx::TButton Button1{this, IDOK};
    wx::TButton Button2{this, IDCANCEL};
    wx::TRadioButton Radio(int kind) { return wx::TRadioButton(this, IDC_ALLPASTE_RADIO1 + kind); }

    void Button1Click();

protected:
    void FormCreate() override;
};
