// The proxy password prompt of a CDDB job.
#pragma once
#include <string>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "resources/passedit.h"

namespace wx {

class TPasswordForm : public TForm {
public:
    explicit TPasswordForm(TComponent* owner = nullptr);
    std::string Password;  // the answer after OK
    TEdit PasswordEdit{this, IDC_PASSWORD_EDIT};

protected:
    void FormCreate() override;
};

}  // namespace wx
