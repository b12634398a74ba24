#include "classlib/thread.h"

#include <exception>

#include "classlib/exceptions.h"

namespace wx {

TThread::TThread() {
    handle_.Reset(CreateThread(nullptr, 0, &TThread::Entry, this, CREATE_SUSPENDED, &id_));
    if (!handle_) throw EOSError("CreateThread: " + SysErrorMessage(GetLastError()), GetLastError());
}

TThread::~TThread() {
    if (started_ && !finished_) {
        Terminate();
        WaitFor();
    } else if (!started_) {
        // Never started: let the suspended thread run to an immediate end.
        terminated_ = true;
        skip_ = true;
        ResumeThread(handle_.Get());
        WaitForSingleObject(handle_.Get(), INFINITE);
    }
}

void TThread::Start() {
    if (started_) return;
    started_ = true;
    ResumeThread(handle_.Get());
}

DWORD TThread::WaitFor(DWORD timeoutMs) {
    if (!started_) return WAIT_OBJECT_0;
    return WaitForSingleObject(handle_.Get(), timeoutMs);
}

DWORD WINAPI TThread::Entry(LPVOID p) {
    auto* self = static_cast<TThread*>(p);
    if (!self->skip_) {
        try {
            self->Execute();
        } catch (const std::exception& e) {
            self->fatal_ = e.what();
        } catch (...) {
            self->fatal_ = "unknown exception";
        }
    }
    self->finished_ = true;
    return 0;
}

}  // namespace wx
