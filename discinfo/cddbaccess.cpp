#include "discinfo/cddbaccess.h"

#include "discinfo/cddbmsg.h"

namespace wx {

std::string TCDDBAccess::TraceFileName(const std::string& programFile) {
    const auto slash = programFile.find_last_of("\\/:");
    const auto dot = programFile.rfind('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExt ? programFile.substr(0, dot) : programFile) + ".LOG";
}

TCDDBAccess::TCDDBAccess(HWND owner, bool trace, const TCDDBNetSettings& settings, TCddbJobUi* ui,
                         TCddbNetwork* network)
    : owner_(owner),
      network_(network ? *network : net_),
      sync_(ui ? std::make_unique<TCddbSyncUi>(*ui) : nullptr),
      client_(network_, sync_.get(), settings) {
    if (trace) {
        char path[MAX_PATH];
        const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
        if (n > 0 && n < MAX_PATH) trace_ = std::fopen(TraceFileName(path).c_str(), "wb");
        if (trace_) {
            std::FILE* f = trace_;
            client_.Trace = [f](const std::string& line) {
                std::fwrite(line.data(), 1, line.size(), f);
                std::fwrite("\r\n", 1, 2, f);
                std::fflush(f);
            };
        }
    }
}

TCDDBAccess::~TCDDBAccess() {
    // The thread must not outlive the trace file it writes to.  While it
    // ends, calls it sends to this thread are let through (and skipped), so
    // waiting cannot dead-lock with a synchronized step.
    Terminate();
    Abort();
    if (sync_) sync_->Cancel();
    while (WaitFor(20) == WAIT_TIMEOUT) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    if (trace_) std::fclose(trace_);
}

void TCDDBAccess::Execute() {
    if (Terminated()) return;
    if (!network_.Startup()) {
        client_.ResultText = kCddbMsgWinsock;
    } else {
        try {
            switch (Mode) {
                case TCddbMode::Query: client_.RunQuery(); break;
                case TCddbMode::Sites: client_.RunSites(); break;
                case TCddbMode::Submit: client_.RunSubmit(); break;
            }
        } catch (...) {
            // Out of memory, or any other failure inside the job: it still
            // reports, so that its window enables its controls and can close.
            client_.Success = false;
            client_.NetworkError = true;
            client_.ResultText = kCddbMsgJobFailed;
        }
        network_.Cleanup();
    }
    PostTo(owner_, WM_CDDB_RESULT, 0, 0);
}

}  // namespace wx
