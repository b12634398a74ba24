// The one-line name prompt.  The opener sets the caption, the label and
// the starting text; OK or Enter gives modal result 1 and leaves the answer
// in Text, Cancel or Escape gives 2.
#pragma once
#include <string>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "resources/tagforms.h"

class TRenameForm : public wx::TForm {
public:
    explicit TRenameForm(wx::TComponent* owner = nullptr);

    std::string CaptionText;
    std::string LabelText;
    std::string Text;

    wx::TControl Label1{this, IDC_RENAME_LABEL};
    wx::TEdit Edit1{this, IDC_RENAME_EDIT};
    wx::TButton Button1{this, IDOK};
    wx::TButton Button2{this, IDCANCEL};

protected:
    // Runs when the window is made, just before it shows.
    void FormCreate() override;
};
