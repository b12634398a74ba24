// The CDDB job thread: runs one TCddbClient job over Winsock and reports
// its end with WM_CDDB_RESULT to the owner window.
#pragma once
#include <cstdio>
#include <memory>

#include "classlib/thread.h"
#include "discinfo/cddbclient.h"
#include "discinfo/cddbsocket_win.h"
#include "discinfo/cddbsync.h"

namespace wx {

// Posted to the owner window at the end of every job (wParam 0, lParam 0).
inline constexpr UINT WM_CDDB_RESULT = 0x600;

class TCDDBAccess : public TThread {
public:
    // Created suspended: the caller sets Mode and the query inputs of
    // Client(), then calls Start().  With trace on, every line sent and
    // received goes to the program's file name with the extension ".LOG".
    // ui (may be null) runs the status, password, message and choice steps;
    // they are called on the thread that creates the job (the
    // user-interface thread), which must keep pumping messages meanwhile.
    // network: the job's sockets (null: Windows Sockets); it must outlive
    // the job.  Whatever happens inside the job, even an exception, it ends
    // with WM_CDDB_RESULT and a result text.
    TCDDBAccess(HWND owner, bool trace, const TCDDBNetSettings& settings, TCddbJobUi* ui = nullptr,
                TCddbNetwork* network = nullptr);
    ~TCDDBAccess() override;

    TCddbMode Mode = TCddbMode::Query;
    TCddbClient& Client() { return client_; }
    // Sets the abort request; honoured at the next poll of the job.  A
    // job destroyed while it runs is aborted and waited for, its pending
    // user-interface steps skipped.
    void Abort() { client_.AbortRequest = true; }
    bool Tracing() const { return trace_ != nullptr; }

    // The trace file of a program file: its extension replaced by ".LOG".
    static std::string TraceFileName(const std::string& programFile);

protected:
    void Execute() override;

private:
    HWND owner_;
    TWinsockNetwork net_;
    TCddbNetwork& network_;  // net_, or the one given
    std::unique_ptr<TCddbSyncUi> sync_;
    TCddbClient client_;
    std::FILE* trace_ = nullptr;
};

}  // namespace wx
