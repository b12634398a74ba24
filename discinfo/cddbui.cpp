#include "discinfo/cddbui.h"

#include <cstring>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "discinfo/cddbmsg.h"
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
    if (form.ShowModal(Owner()) != IDOK) return false;
    password = form.Password;
    return true;
}

void TCddbDialogUi::ShowServerMessage(const std::vector<std::string>& lines) {
    TMOTDForm form;
    form.Lines = lines;
    form.ShowModal(Owner());
}

int TCddbDialogUi::ChooseMatch(const std::vector<std::string>& items) {
    TChoiceForm form;
    form.Items = items;
    if (form.ShowModal(Owner()) != IDOK) return -1;
    return form.Chosen;
}

void TCddbDialogUi::ShowRefusal(const std::string&) {
    ShowMessageBox(LoadResString(MSG_CDDB_REFUSED), MB_OK | MB_ICONERROR, Owner());
}

std::string CddbLocalText(const std::string& text) {
    static const struct {
        const char* text;
        UINT id;
    } kTexts[] = {
        {kCddbMsgTimeout, MSG_CDDB_MSG_TIMEOUT},
        {kCddbMsgConnectFailed, MSG_CDDB_MSG_CONNECT_FAILED},
        {kCddbMsgNoProxyHost, MSG_CDDB_MSG_NO_PROXY_HOST},
        {kCddbMsgNoHost, MSG_CDDB_MSG_NO_HOST},
        {kCddbMsgRefused, MSG_CDDB_MSG_CLIENT_REFUSED},
        {kCddbMsgNoMatch, MSG_CDDB_MSG_NO_MATCH},
        {kCddbMsgServerError, MSG_CDDB_MSG_SERVER_ERROR},
        {kCddbMsgReadOk, MSG_CDDB_MSG_READ_OK},
        {kCddbMsgWinsock, MSG_CDDB_MSG_WINSOCK},
        {kCddbMsgNoSocket, MSG_CDDB_MSG_NO_SOCKET},
        {kCddbMsgCommFailed, MSG_CDDB_MSG_COMM_FAILED},
        {kCddbMsgClosed, MSG_CDDB_MSG_CLOSED},
        {kCddbMsgChoiceCancelled, MSG_CDDB_MSG_CHOICE_CANCELLED},
        {kCddbMsgSubmitOk, MSG_CDDB_MSG_SUBMIT_OK},
        {kCddbMsgNotReady, MSG_CDDB_MSG_NOT_READY},
        {kCddbMsgNoSubmitFile, MSG_CDDB_MSG_NO_SUBMIT_FILE},
        {kCddbStatusConnecting, MSG_CDDB_STATUS_CONNECTING},
        {kCddbStatusQuerying, MSG_CDDB_STATUS_QUERYING},
        {kCddbStatusReading, MSG_CDDB_STATUS_READING},
        {kCddbStatusSending, MSG_CDDB_STATUS_SENDING},
        {kCddbMsgJobFailed, MSG_CDDB_MSG_JOB_FAILED},
    };
    for (const auto& t : kTexts) {
        if (text != t.text) continue;
        const std::string local = LoadResString(t.id);
        return local.empty() ? text : local;
    }
    // The server's report: the resource's text with the report's own line.
    const std::string report = kCddbMsgServerReport;
    const std::string head = report.substr(0, report.find("%s"));
    if (text.compare(0, head.size(), head) == 0) {
        std::string local = LoadResString(MSG_CDDB_MSG_SERVER_REPORT);
        const auto at = local.find("%s");
        if (at != std::string::npos) return local.replace(at, 2, text.substr(head.size()));
    }
    return text;
}

}  // namespace wx
