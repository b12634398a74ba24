// The CDDB job's user-interface steps as the program's dialogs: the match
// choice, the proxy password, the server message and the refusal box.  The
// status text goes to the given function.  Run on the user-interface
// thread (TCddbSyncUi hands the job's calls over).
#pragma once
#include <functional>
#include <string>

#include "classlib/win.h"
#include "discinfo/cddbclient.h"

namespace wx {

class TCddbDialogUi : public TCddbJobUi {
public:
    explicit TCddbDialogUi(std::function<void(const std::string&)> status = {}, std::function<HWND()> owner = {})
        : status_(std::move(status)), owner_(std::move(owner)) {}
    void ShowStatus(const std::string& text) override;
    bool AskProxyPassword(std::string& password) override;
    void ShowServerMessage(const std::vector<std::string>& lines) override;
    int ChooseMatch(const std::vector<std::string>& items) override;
    void ShowRefusal(const std::string& text) override;

private:
    HWND Owner() const { return owner_ ? owner_() : nullptr; }
    std::function<void(const std::string&)> status_;
    std::function<HWND()> owner_;
};

// A text of the client (its result and status texts, cddbmsg.h) in the
// language of the resources; any other text as it is.
std::string CddbLocalText(const std::string& clientText);

}  // namespace wx
