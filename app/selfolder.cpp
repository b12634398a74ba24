#include "app/selfolder.h"

#include "classlib/sjis.h"
#include "output/dlgcenter.h"
#include "settings/configs_win.h"

TDirInputForm::TDirInputForm(wx::TComponent* owner) : TForm(owner, "TDIRINPUTFORM") {
    OnClick(IDOK, [this] {
        const std::string text = Edit1.Text();
        if (text.empty()) return;  // the form stays open
        Chosen = text;
        SetModalResult(IDOK);
    });
    OnClick(IDC_DIRINPUT_BROWSE, [this] {
        std::string start = wx::StripTrailingBackslash(Label2.Text());
        if (start.size() == 2 && start[1] == ':') start += '\\';
        const std::string folder = BrowseForFolder(Handle(), Title, start);
        if (!folder.empty()) Edit1.SetText(folder);
    });
}

void TDirInputForm::FormCreate() {
    Chosen.clear();
    SetCaption(CaptionText);
    Label2.SetText(CurrentFolder);
    if (!DestinationLabel.empty()) Label3.SetText(DestinationLabel);
    Edit1.SetText(std::string());
    GetCenter(*this);
}
