// Platform detection, the rip memory block and the folder picker on the
// real system calls.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "classlib/sjis.h"
#include "settings/configs_win.h"
#include "settings/configstore.h"

TEST(Platform, DetectedAsNT) {
    IsWindowsNT = false;
    IsWindows95 = true;
    DetectPlatform();
    EXPECT_TRUE(IsWindowsNT);
    EXPECT_FALSE(IsWindows95);
    EXPECT_TRUE(IsWindowsNT5);
    TConfigStore s;  // the class driver is the default on NT 5 and later
    EXPECT_TRUE(s.CheckBox21.Checked);
}

TEST(RipCacheBufferTest, ReservedZeroedAndFreed) {
    ASSERT_TRUE(ReserveRipCacheBuffer(5));
    EXPECT_GT(AvailablePhysicalMemory, 0u);
    EXPECT_GE(TotalPhysicalMemory, AvailablePhysicalMemory);
    EXPECT_EQ(RipCacheBuffer.Size, RipCacheSizeFor(AvailablePhysicalMemory, 5));
    EXPECT_LE(RipCacheBuffer.Size, MaxRipCacheBytes);
    ASSERT_NE(RipCacheBuffer.Address, nullptr);
    const auto* p = static_cast<const unsigned char*>(RipCacheBuffer.Address);
    for (std::uint32_t i = 0; i < RipCacheBuffer.Size; i += 4093) ASSERT_EQ(p[i], 0) << i;
    EXPECT_EQ(p[RipCacheBuffer.Size - 1], 0);
    // A block reserved again after a used one was freed is zero-filled too.
    for (std::uint32_t i = 0; i < RipCacheBuffer.Size; i += 4093) static_cast<unsigned char*>(RipCacheBuffer.Address)[i] = 0xA5;
    ASSERT_TRUE(ReserveRipCacheBuffer(5));
    p = static_cast<const unsigned char*>(RipCacheBuffer.Address);
    for (std::uint32_t i = 0; i < RipCacheBuffer.Size; i += 4093) ASSERT_EQ(p[i], 0) << i;
    FreeRipCacheBuffer();
    EXPECT_EQ(RipCacheBuffer.Handle, nullptr);
    EXPECT_EQ(RipCacheBuffer.Address, nullptr);
    EXPECT_EQ(RipCacheBuffer.Size, 0u);
}

namespace {

// Waits for the picker that the given thread shows and presses a button.
class PickerDriver {
public:
    // With a leaf name, the button is pressed once the tree has selected an
    // item of that name (the initial selection arrives asynchronously).
    PickerDriver(DWORD uiThread, int button, std::string leaf = std::string())
        : leaf_(std::move(leaf)), thread_([this, uiThread, button] { Run(uiThread, button); }) {}
    ~PickerDriver() { thread_.join(); }
    bool Found() const { return found_; }

private:
    static BOOL CALLBACK FindDialog(HWND w, LPARAM lp) {
        char cls[32] = {};
        GetClassNameA(w, cls, sizeof cls);
        if (std::string(cls) == "#32770" && IsWindowVisible(w)) {
            *reinterpret_cast<HWND*>(lp) = w;
            return FALSE;
        }
        return TRUE;
    }
    static BOOL CALLBACK FindTree(HWND w, LPARAM lp) {
        char cls[32] = {};
        GetClassNameA(w, cls, sizeof cls);
        if (std::string(cls) == WC_TREEVIEWA) {
            *reinterpret_cast<HWND*>(lp) = w;
            return FALSE;
        }
        return TRUE;
    }
    static std::string SelectedLabel(HWND dlg) {
        HWND tree = nullptr;
        EnumChildWindows(dlg, FindTree, reinterpret_cast<LPARAM>(&tree));
        if (!tree) return std::string();
        const auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        if (!item) return std::string();
        char text[MAX_PATH] = {};
        TVITEMA tv{};
        tv.mask = TVIF_TEXT;
        tv.hItem = item;
        tv.pszText = text;
        tv.cchTextMax = MAX_PATH;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
        return text;
    }
    void Run(DWORD uiThread, int button) {
        for (int i = 0; i < 300; ++i) {  // up to 30 s
            HWND dlg = nullptr;
            EnumThreadWindows(uiThread, FindDialog, reinterpret_cast<LPARAM>(&dlg));
            if (dlg) {
                for (int k = 0; k < 600 && !leaf_.empty() && SelectedLabel(dlg) != leaf_; ++k) Sleep(50);
                found_ = true;
                PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
                return;
            }
            Sleep(100);
        }
    }
    std::string leaf_;
    std::atomic<bool> found_{false};
    std::thread thread_;
};

std::string MakeFolder() {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    // wx_フォルダ\ソ (the last name ends in the trail byte 0x5C)
    std::string dir = wx::IncludeTrailingBackslash(tmp) + "wx_\x83t\x83H\x83\x8B\x83_";
    CreateDirectoryA(dir.c_str(), nullptr);
    dir += "\\\x83\x5C";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

}  // namespace

TEST(BrowseForFolderTest, OkReturnsTheInitialFolderAndCancelNothing) {
    OleInitialize(nullptr);
    const std::string dir = MakeFolder();
    ASSERT_NE(GetFileAttributesA(dir.c_str()), INVALID_FILE_ATTRIBUTES);
    // The first picker of the process starts at the folder too.  Compare
    // long forms without case: the picker may give either.
    char a[MAX_PATH] = {}, b[MAX_PATH] = {};
    GetLongPathNameA(dir.c_str(), a, MAX_PATH);
    std::string chosen;
    {
        PickerDriver driver(GetCurrentThreadId(), IDOK, "\x83\x5C");
        chosen = BrowseForFolder(nullptr, "test", dir);
        EXPECT_TRUE(driver.Found());
        GetLongPathNameA(chosen.c_str(), b, MAX_PATH);
    }
    EXPECT_EQ(lstrcmpiA(a, b), 0) << chosen;
    {
        PickerDriver driver(GetCurrentThreadId(), IDCANCEL);
        EXPECT_EQ(BrowseForFolder(nullptr, "test", dir), "");
        EXPECT_TRUE(driver.Found());
    }
    RemoveDirectoryA(dir.c_str());
    RemoveDirectoryA(dir.substr(0, dir.size() - 3).c_str());
    OleUninitialize();
}
