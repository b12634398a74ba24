// Handles the calling thread's window messages while a test waits: for a
// job that posts its result, for a form that a person would look at.
// Windows only.
#pragma once
#include <windows.h>

#include <functional>

namespace wxtest {

// Dispatches messages until done() holds or `ms` milliseconds have passed;
// the milliseconds it took.  Waits for the next message between checks,
// at most 20 ms, so that a condition set without a message is seen too.
inline DWORD PumpUntil(const std::function<bool()>& done, DWORD ms = 30000) {
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < ms) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return GetTickCount() - start;
}

// Dispatches messages for `ms` milliseconds.
inline void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

}  // namespace wxtest
