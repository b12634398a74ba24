// Worker threads.  A thread is created suspended, started with Start(), asked
// to stop with Terminate() (the body polls Terminated()) and waited for with
// WaitFor().  The body reports to windows by posting messages; an exception
// that escapes the body is caught and kept, never carried across threads.
#pragma once
#include <atomic>
#include <string>

#include "classlib/win.h"

namespace wx {

class TThread {
public:
    TThread();
    // Terminates and waits for a started thread that has not finished.
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Start();
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    // WAIT_OBJECT_0 when the thread has ended (or was never started),
    // WAIT_TIMEOUT otherwise.
    DWORD WaitFor(DWORD timeoutMs = INFINITE);
    bool Finished() const { return finished_; }
    bool Started() const { return started_; }
    HANDLE Handle() const { return handle_.Get(); }
    DWORD ThreadId() const { return id_; }
    void SetPriority(int priority) { SetThreadPriority(handle_.Get(), priority); }

    // Text of an exception that escaped Execute(), empty when none did.
    const std::string& FatalError() const { return fatal_; }

    // PostMessage that reports whether the message was queued.
    static bool PostTo(HWND wnd, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
        return PostMessageA(wnd, msg, wp, lp) != FALSE;
    }

protected:
    virtual void Execute() = 0;

private:
    static DWORD WINAPI Entry(LPVOID self);

    THandle handle_;
    DWORD id_ = 0;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    bool started_ = false;
    std::string fatal_;
    std::atomic<bool> skip_{false};
};

}  // namespace wx
