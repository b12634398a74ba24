#include "output/renamefrm.h"

#include "output/dlgcenter.h"

TRenameForm::TRenameForm(wx::TComponent* owner) : TForm(owner, "TRENAMEFORM") {
    OnClick(IDOK, [this] {
        Text = Edit1.Text();
        SetModalResult(IDOK);
    });
}

void TRenameForm::FormCreate() {
    SetCaption(CaptionText);
    Label1.SetText(LabelText);
    Edit1.SetText(Text);
    Edit1.SelectAll();
    GetCenter(*this);
}
