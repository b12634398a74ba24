#include "settings/configs_win.h"

#include <shlobj.h>

#include <cstring>

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
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size);
    void* p = h ? GlobalLock(h) : nullptr;
    if (!p) {
        if (h) GlobalFree(h);
        return false;
    }
    std::memset(p, 0, size);
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

namespace {
int CALLBACK BrowseCallback(HWND wnd, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED && data) SendMessageA(wnd, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}
}  // namespace

std::string BrowseForFolder(HWND owner, const std::string& title, const std::string& initialFolder) {
    IMalloc* alloc = nullptr;
    if (FAILED(SHGetMalloc(&alloc)) || !alloc) return std::string();
    LPITEMIDLIST desktop = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(owner, CSIDL_DESKTOP, &desktop)) || !desktop) {
        alloc->Release();
        return std::string();
    }
    // The callback gets the initial folder through its own parameter, so
    // two pickers on different threads cannot see each other's folder.
    BROWSEINFOA bi{};
    bi.hwndOwner = owner;
    bi.pidlRoot = desktop;
    bi.lpszTitle = title.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    bi.lpfn = BrowseCallback;
    bi.lParam = initialFolder.empty() ? 0 : reinterpret_cast<LPARAM>(initialFolder.c_str());
    std::string result;
    if (LPITEMIDLIST chosen = SHBrowseForFolderA(&bi)) {
        char path[MAX_PATH] = {};
        if (SHGetPathFromIDListA(chosen, path)) result = path;
        alloc->Free(chosen);
    }
    alloc->Free(desktop);
    alloc->Release();
    return result;
}
