#include "settings/configs_win.h"

#include "classlib/dialogs.h"

#include <shlobj.h>


#include "settings/configstore.h"

void DetectPlatform() {
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof vi;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL ok = GetVersionExA(&vi);
#pragma GCC diagnostic pop
    if (!ok) return;
    IsWindowsNT = vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
    IsWindowsNT5 = IsWindowsNT && vi.dwMajorVersion >= 5;
    IsWindows95 = vi.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && vi.dwMinorVersion == 0;
}

bool ReserveRipCacheBuffer(int memoryUseRatio) {
    FreeRipCacheBuffer();
    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    if (!GlobalMemoryStatusEx(&ms)) return false;
    TotalPhysicalMemory = ms.ullTotalPhys;
    AvailablePhysicalMemory = ms.ullAvailPhys;
    const std::uint32_t size = RipCacheSizeFor(ms.ullAvailPhys, memoryUseRatio);
    if (size == 0) return false;
    // Handed out zero-filled by the system: its pages are touched only
    // when a rip uses them.
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    void* p = h ? GlobalLock(h) : nullptr;
    if (!p) {
        if (h) GlobalFree(h);
        return false;
    }
    RipCacheBuffer.Handle = h;
    RipCacheBuffer.Address = p;
    RipCacheBuffer.Size = size;
    return true;
}

void FreeRipCacheBuffer() {
    if (RipCacheBuffer.Handle) {
        GlobalUnlock(static_cast<HGLOBAL>(RipCacheBuffer.Handle));
        GlobalFree(static_cast<HGLOBAL>(RipCacheBuffer.Handle));
    }
    RipCacheBuffer = TRipCacheBuffer{};
}

// Through the prompter, so that tests answer the picker as they answer
// message boxes.
std::string BrowseForFolder(HWND owner, const std::string& title, const std::string& initialFolder) {
    return wx::Prompter().BrowseFolder(owner, title, initialFolder);
}
