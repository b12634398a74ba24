#include "discinfo/passedit.h"

#include "output/dlgcenter.h"

namespace wx {

TPasswordForm::TPasswordForm(TComponent* owner) : TForm(owner, "TPASSWORDFORM") {
    OnClick(IDOK, [this] {
        Password = PasswordEdit.Text();
        SetModalResult(IDOK);
    });
}

void TPasswordForm::FormCreate() {
    PasswordEdit.SetMaxLength(256);
    GetCenter(*this);
}

}  // namespace wx
