// Runs the CDDB job's user-interface steps (status, proxy password, server
// message, match choice, refusal box) on the user-interface thread: the job thread hands
// each call to a hidden window of the thread that created this object and
// waits for it, as a synchronized call.
#pragma once
#include <atomic>
#include <functional>

#include "classlib/win.h"
#include "discinfo/cddbclient.h"

namespace wx {

class TCddbSyncUi : public TCddbJobUi {
public:
    // Create on the user-interface thread; target runs there.
    explicit TCddbSyncUi(TCddbJobUi& target);
    ~TCddbSyncUi() override;
    TCddbSyncUi(const TCddbSyncUi&) = delete;
    TCddbSyncUi& operator=(const TCddbSyncUi&) = delete;

    // From now on every step is skipped (a password or a choice counts as
    // cancelled), also one that is already waiting for its turn.
    void Cancel() { cancelled_ = true; }

    void ShowStatus(const std::string& text) override;
    bool AskProxyPassword(std::string& password) override;
    void ShowServerMessage(const std::vector<std::string>& lines) override;
    int ChooseMatch(const std::vector<std::string>& items) override;
    void ShowRefusal(const std::string& text) override;

private:
    // Runs fn on the user-interface thread; false when cancelled.
    bool Run(const std::function<void()>& fn);
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

    TCddbJobUi& target_;
    HWND wnd_ = nullptr;
    DWORD uiThread_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace wx
