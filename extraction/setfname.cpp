#include "extraction/setfname.h"

#include "output/dlgcenter.h"

namespace wx {

TFileNameSetForm::TFileNameSetForm(TComponent* owner) : TForm(owner, "TFILENAMESETFORM") {
    OnClick(IDC_FNSET_SET, [this] { Answer(IDYES); });
    OnClick(IDOK, [this] { Answer(IDYES); });  // Enter
    OnClick(IDC_FNSET_BASE, [this] { Answer(mrYesToAll); });
    OnClick(IDCANCEL, [this] { Answer(IDCANCEL); });  // Escape and the button
}

void TFileNameSetForm::Answer(INT_PTR result) {
    Text = Edit1.Text();
    SetModalResult(result);
}

void TFileNameSetForm::FormCreate() {
    Label1.SetText(Question);
    Edit1.SetMaxLength(255);
    GetCenter(*this);
    Edit1.SetFocus();
}

bool TFileNameSetForm::HandleMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    // The default-button query: Enter in the edit goes to "設定".
    if (msg == DM_GETDEFID) {
        result = MAKELRESULT(IDC_FNSET_SET, DC_HASDEFID);
        return true;
    }
    (void)wp;
    return false;
}

}  // namespace wx
