// Folder monitors under Wine: a change posts the monitor's slot to the
// window, a monitor stops at any moment (also before its thread has begun
// to wait), and an eleventh monitor gets no slot.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/mon.h"

namespace {

// The slots of the WM_DIR_CHANGED messages that reach a window within ms.
std::vector<int> Notices(HWND w, DWORD ms) {
    std::vector<int> slots;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - (GetTickCount() - start), QS_POSTMESSAGE);
        MSG m;
        while (PeekMessageA(&m, w, WM_DIR_CHANGED, WM_DIR_CHANGED, PM_REMOVE)) slots.push_back(static_cast<int>(m.lParam));
        if (!slots.empty()) break;
    }
    return slots;
}

TEST(Monitor, NoticesStopsAndSlots) {
    HWND w = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    char tmp[MAX_PATH] = {};
    GetTempPathA(sizeof tmp, tmp);
    const std::string dir = std::string(tmp) + "wx_mon_test";
    CreateDirectoryA(dir.c_str(), nullptr);

    // Stopped at once after its start, many times over: never waits for ever.
    for (int i = 0; i < 20; ++i) {
        TMonitorDirectory m;
        ASSERT_EQ(m.Setup(w, FILE_NOTIFY_CHANGE_FILE_NAME, dir, false), 0);
        m.Start();
        m.StopMonitor();
        EXPECT_EQ(m.Slot(), -1);
    }
    // Set up and never started: the owner may stop and free it.
    {
        TMonitorDirectory m;
        ASSERT_EQ(m.Setup(w, FILE_NOTIFY_CHANGE_FILE_NAME, dir, false), 0);
    }

    // Ten monitors at a time; the eleventh is not started.
    std::vector<std::unique_ptr<TMonitorDirectory>> ten;
    for (int i = 0; i < 10; ++i) {
        ten.push_back(std::make_unique<TMonitorDirectory>());
        EXPECT_EQ(ten.back()->Setup(w, FILE_NOTIFY_CHANGE_FILE_NAME, dir, false), i);
    }
    TMonitorDirectory eleventh;
    EXPECT_EQ(eleventh.Setup(w, FILE_NOTIFY_CHANGE_FILE_NAME, dir, false), -1);
    ten[4]->StopMonitor();
    ten.erase(ten.begin() + 4);
    TMonitorDirectory again;
    EXPECT_EQ(again.Setup(w, FILE_NOTIFY_CHANGE_FILE_NAME, dir, false), 4);

    // A file made in the folder right after the set-up, before the thread
    // may have run: the notice carries the slot.
    const std::string file = dir + "\\made.txt";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    again.Start();
    const std::vector<int> got = Notices(w, 10000);
    DeleteFileA(file.c_str());
    ASSERT_FALSE(got.empty()) << "no notice";
    EXPECT_EQ(got[0], 4);
    again.StopMonitor();
    ten.clear();
    RemoveDirectoryA(dir.c_str());
    DestroyWindow(w);
}

}  // namespace
