#include "output/wmaudiosdk.h"

#include "classlib/win.h"

TWMAudioCreateWriter WMAudioCreateWriter = nullptr;
TWMAudioCreateInfo WMAudioCreateInfo = nullptr;

namespace {
HMODULE WmaLibrary = nullptr;
}

bool LoadWmaLibrary(const char* path) {
    UnloadWmaLibrary();
    HMODULE lib = LoadLibraryA(path);
    if (!lib) return false;
    TWMAudioCreateWriter writer;
    TWMAudioCreateInfo info;
    if (!wx::BindProc(lib, writer, "WMAudioCreateWriter") || !wx::BindProc(lib, info, "WMAudioCreateInfo")) {
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
