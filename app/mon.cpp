#include "app/mon.h"

#include "app/filerrules.h"
#include "classlib/sjis.h"

namespace {
// Touched on the user-interface thread only (Setup and StopMonitor).
filer::TMonitorSlots slots;
}  // namespace

TMonitorDirectory::TMonitorDirectory() {}

TMonitorDirectory::~TMonitorDirectory() { StopMonitor(); }

int TMonitorDirectory::Setup(HWND window, DWORD filter, const std::string& path, bool subTree) {
    slot_ = -1;
    path_ = wx::SjisCut(path, 255);  // never half a double-byte character
    filter_ = filter;
    subTree_ = subTree;
    window_ = window;
    // The stop event exists before the thread does, so that a stop request
    // is never lost however early it comes.
    stop_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!stop_) return -1;
    // Watching begins here, not when the thread first runs: a change made
    // right after the listing that set the monitor up is not missed.
    change_ = FindFirstChangeNotificationA(path_.c_str(), subTree_, filter_);
    slot_ = slots.Take();
    return slot_;
}

void TMonitorDirectory::StopMonitor() {
    if (stop_) SetEvent(stop_.Get());
    Terminate();
    if (Started()) WaitFor();
    if (change_ != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change_);
    change_ = INVALID_HANDLE_VALUE;
    if (slot_ >= 0) slots.Release(slot_);
    slot_ = -1;
}

void TMonitorDirectory::Execute() {
    if (change_ == INVALID_HANDLE_VALUE) return;
    const HANDLE waits[2] = {change_, stop_.Get()};
    for (;;) {
        const DWORD r = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (r != WAIT_OBJECT_0) break;
        PostMessageA(window_, WM_DIR_CHANGED, 0, slot_);
        if (!FindNextChangeNotification(change_)) break;
    }
}
