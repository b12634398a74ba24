// The class-driver transport's device I/O on the real Windows calls.
#include "classlib/win.h"
#include "extraction/ClassDrv.h"

namespace wx {

namespace {

class TWin32DeviceIo : public TDeviceIo {
public:
    bool IsCdromRoot(char letter) override {
        char root[4] = {letter, ':', '\\', 0};
        return GetDriveTypeA(root) == DRIVE_CDROM;
    }
    Handle Open(const std::string& path, bool readWrite, bool overlapped) override {
        HANDLE h = CreateFileA(path.c_str(), readWrite ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ,
                               readWrite ? (FILE_SHARE_READ | FILE_SHARE_WRITE) : FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
        return h == INVALID_HANDLE_VALUE ? InvalidHandle() : h;
    }
    void Close(Handle h) override { CloseHandle(h); }
    Result Control(Handle h, std::uint32_t code, void* in, std::uint32_t inLen, void* out, std::uint32_t outLen,
                   std::uint32_t* returned, void* overlapped) override {
        DWORD got = 0;
        BOOL ok = DeviceIoControl(h, code, in, inLen, out, outLen, &got, static_cast<OVERLAPPED*>(overlapped));
        if (returned) *returned = got;
        if (ok) return Result::Ok;
        return (overlapped && GetLastError() == ERROR_IO_PENDING) ? Result::Pending : Result::Failed;
    }
    bool OverlappedResult(Handle h, void* overlapped, std::uint32_t* transferred) override {
        DWORD got = 0;
        BOOL ok = GetOverlappedResult(h, static_cast<OVERLAPPED*>(overlapped), &got, FALSE);
        if (transferred) *transferred = got;
        return ok != FALSE;
    }
    void SignalEvent(void* event) override { SetEvent(static_cast<HANDLE>(event)); }
    int NtMajorVersion() override {
        OSVERSIONINFOA vi{};
        vi.dwOSVersionInfoSize = sizeof vi;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        if (!GetVersionExA(&vi)) return 4;
#pragma GCC diagnostic pop
        return vi.dwPlatformId == VER_PLATFORM_WIN32_NT ? int(vi.dwMajorVersion) : 3;
    }
};

}  // namespace

TDeviceIo* PlatformDeviceIo() {
    static TWin32DeviceIo io;
    return &io;
}

}  // namespace wx
