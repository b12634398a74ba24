#include "output/wmaudiosdk.h"

TWMAudioCreateWriter WMAudioCreateWriter = nullptr;
TWMAudioCreateInfo WMAudioCreateInfo = nullptr;

namespace {
HMODULE WmaLibrary = nullptr;
}

bool LoadWmaLibrary(const char* path) {
    UnloadWmaLibrary();
    HMODULE lib = LoadLibraryA(path);
    if (!lib) return false;
    auto writer = reinterpret_cast<TWMAudioCreateWriter>(reinterpret_cast<void*>(GetProcAddress(lib, "WMAudioCreateWriter")));
    auto info = reinterpret_cast<TWMAudioCreateInfo>(reinterpret_cast<void*>(GetProcAddress(lib, "WMAudioCreateInfo")));
    if (!writer || !info) {
        FreeLibrary(lib);
        return false;
    }
    WmaLibrary = lib;
    WMAudioCreateWriter = writer;
    WMAudioCreateInfo = info;
    return true;
}

void UnloadWmaLibrary() {
    WMAudioCreateWriter = nullptr;
    WMAudioCreateInfo = nullptr;
    if (WmaLibrary) FreeLibrary(WmaLibrary);
    WmaLibrary = nullptr;
}

bool IsWmaLibraryLoaded() { return WMAudioCreateWriter != nullptr && WMAudioCreateInfo != nullptr; }
