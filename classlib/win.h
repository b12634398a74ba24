// The Windows headers as the class library uses them (ANSI, common controls).
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#include <string>

namespace wx {

// Text of the calling thread's last Windows error, in the system's language.
std::string SysErrorMessage(DWORD code);

// The platform the program runs on: the Windows 95 family or NT.
inline DWORD PlatformId() {
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    return GetVersionExA(&v) ? v.dwPlatformId : DWORD(-1);
}
inline bool IsWindows9x() { return PlatformId() == VER_PLATFORM_WIN32_WINDOWS; }
inline bool IsWindowsNT() { return PlatformId() == VER_PLATFORM_WIN32_NT; }

// Looks up an entry point of a loaded library into a typed function
// pointer; false (and a null pointer) when the library lacks it.
template <typename F>
bool BindProc(HMODULE module, F& fn, const char* name) {
    fn = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return fn != nullptr;
}

// RAII owner of a kernel handle (files, events, threads, mutexes).
class THandle {
public:
    THandle() = default;
    explicit THandle(HANDLE h) : h_(h) {}
    ~THandle() { Close(); }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    THandle(THandle&& o) noexcept : h_(o.Release()) {}
    THandle& operator=(THandle&& o) noexcept {
        if (this != &o) Reset(o.Release());
        return *this;
    }
    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return Valid(); }
    HANDLE Release() {
        HANDLE h = h_;
        h_ = nullptr;
        return h;
    }
    void Reset(HANDLE h = nullptr) {
        Close();
        h_ = h;
    }
    void Close() {
        if (Valid()) CloseHandle(h_);
        h_ = nullptr;
    }

private:
    HANDLE h_ = nullptr;
};

// A critical section with scoped locking.
class TCriticalSection {
public:
    TCriticalSection() { InitializeCriticalSection(&cs_); }
    ~TCriticalSection() { DeleteCriticalSection(&cs_); }
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;
    void Enter() { EnterCriticalSection(&cs_); }
    void Leave() { LeaveCriticalSection(&cs_); }
    CRITICAL_SECTION* Native() { return &cs_; }

    class Lock {
    public:
        explicit Lock(TCriticalSection& cs) : cs_(cs) { cs_.Enter(); }
        ~Lock() { cs_.Leave(); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        TCriticalSection& cs_;
    };

private:
    CRITICAL_SECTION cs_;
};

// A condition variable used with a TCriticalSection: Wait leaves the
// section while it sleeps and enters it again before it returns.  Waiting
// and waking need no kernel object.
class TConditionVariable {
public:
    TConditionVariable() { InitializeConditionVariable(&cv_); }
    TConditionVariable(const TConditionVariable&) = delete;
    TConditionVariable& operator=(const TConditionVariable&) = delete;
    // False when timeoutMs passed without a wake.
    bool Wait(TCriticalSection& cs, DWORD timeoutMs = INFINITE) {
        return SleepConditionVariableCS(&cv_, cs.Native(), timeoutMs) != FALSE;
    }
    void Wake() { WakeConditionVariable(&cv_); }
    void WakeAll() { WakeAllConditionVariable(&cv_); }

private:
    CONDITION_VARIABLE cv_;
};

}  // namespace wx
