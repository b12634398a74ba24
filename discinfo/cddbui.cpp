#include "discinfo/cddbui.h"

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "discinfo/choice.h"
#include "discinfo/motdfrm.h"
#include "discinfo/passedit.h"
#include "resources/msgids.h"

namespace wx {

void TCddbDialogUi::ShowStatus(const std::string& text) {
    if (status_) status_(text);
}

bool TCddbDialogUi::AskProxyPassword(std::string& password) {
    TPasswordForm form;
    if (form.ShowModal() != IDOK) return false;
    password = form.Password;
    return true;
}

void TCddbDialogUi::ShowServerMessage(const std::vector<std::string>& lines) {
    TMOTDForm form;
    form.Lines = lines;
    form.ShowModal();
}

int TCddbDialogUi::ChooseMatch(const std::vector<std::string>& items) {
    TChoiceForm form;
    form.Items = items;
    if (form.ShowModal() != IDOK) return -1;
    return form.Chosen;
}

void TCddbDialogUi::ShowRefusal(const std::string&) {
    ShowMessageBox(LoadResString(MSG_CDDB_REFUSED), MB_OK | MB_ICONERROR);
}

}  // namespace wx
