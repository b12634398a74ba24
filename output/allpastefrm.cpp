#include "output/allpastefrm.h"

#include "output/dlgcenter.h"
#include "output/tagtable.h"

TAllPasteForm::TAllPasteForm(wx::TComponent* owner) : TForm(owner, "TALLPASTEFORM") {
    OnClick(IDOK, [this] { Button1Click(); });
}

int TAllPasteForm::Column() const {
    static constexpr int kColumns[6] = {wx::tcTitle, wx::tcArtist, wx::tcAlbum, wx::tcYear, wx::tcComment, wx::tcCopyright};
    return kColumns[Kind >= 0 && Kind < 6 ? Kind : 0];
}

void TAllPasteForm::FormCreate() {
    GetCenter(*this);
    Edit1.SetText(Text);
    Radio(Kind >= 0 && Kind < 6 ? Kind : 0).SetChecked(true);
}

void TAllPasteForm::Button1Click() {
    Text = Edit1.Text();
    for (int k = 0; k < 6; ++k)
        if (Radio(k).Checked()) Kind = k;
    SetModalResult(IDOK);
}
