// The destination-folder prompt of the file manager's copy, move and jump
// commands: the current folder, an entry for the destination and a button
// that opens the folder picker.  OK refuses an empty entry.
#pragma once
#include <string>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "resources/filer.h"

class TDirInputForm : public wx::TForm {
public:
    explicit TDirInputForm(wx::TComponent* owner = nullptr);

    // Set by the opener: caption, folder picker's title, the current
    // folder shown (with trailing backslash) and, when not empty, the
    // destination label.
    std::string CaptionText, Title, CurrentFolder, DestinationLabel;
    // The entry, on OK.
    std::string Chosen;

    wx::TControl Label2{this, IDC_DIRINPUT_LABEL2};
    wx::TControl Label3{this, IDC_DIRINPUT_LABEL3};
    wx::TEdit Edit1{this, IDC_DIRINPUT_EDIT};
    wx::TButton Button3{this, IDC_DIRINPUT_BROWSE};

protected:
    void FormCreate() override;
};
