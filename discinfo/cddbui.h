// The CDDB job's user-interface steps as the program's dialogs: the match
// choice, the proxy password, the server message and the refusal box.  The
// status text goes to the given function.  Run on the user-interface
// thread (TCddbSyncUi hands the job's calls over).
#pragma once
#include <functional>
#include <string>

#include "discinfo/cddbclient.h"

namespace wx {

class TCddbDialogUi : public TCddbJobUi {
public:
    explicit TCddbDialogUi(std::function<void(const std::string&)> status = {}) : status_(std::move(status)) {}
    void ShowStatus(const std::string& text) override;
    bool AskProxyPassword(std::string& password) override;
    void ShowServerMessage(const std::vector<std::string>& lines) override;
    int ChooseMatch(const std::vector<std::string>& items) override;
    void ShowRefusal(const std::string& text) override;

private:
    std::function<void(const std::string&)> status_;
};

}  // namespace wx
