// Folder monitors: a thread that waits for changes in one folder (or its
// sub-tree) and posts WM_DIR_CHANGED with its slot to a window.  At most
// ten monitors run at a time (slots 0..9).
#pragma once
#include <string>

#include "classlib/thread.h"

constexpr UINT WM_DIR_CHANGED = 0x700;

class TMonitorDirectory : public wx::TThread {
public:
    TMonitorDirectory();
    // Stops the monitor when its owner has not.
    ~TMonitorDirectory() override;
    // Prepares the monitor (on the owner's thread, before the thread
    // starts): the slot taken, or -1 when all ten are taken, and the thread
    // must then not be started.
    int Setup(HWND window, DWORD filter, const std::string& path, bool subTree);
    // Ends the thread and frees the slot.  Safe at any moment after Setup,
    // also before the thread has begun to wait.
    void StopMonitor();
    int Slot() const { return slot_; }

protected:
    void Execute() override;

private:
    HWND window_ = nullptr;
    DWORD filter_ = 0;
    std::string path_;
    bool subTree_ = false;
    int slot_ = -1;
    wx::THandle stop_;
    HANDLE change_ = INVALID_HANDLE_VALUE;  // closed by StopMonitor
};
