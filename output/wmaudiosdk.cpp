#include "output/wmaudiosdk.h"

#include "classlib/library.h"

TWMAudioCreateWriter WMAudioCreateWriter = nullptr;
TWMAudioCreateInfo WMAudioCreateInfo = nullptr;

namespace {
// Made on first use: the output driver's unit loads the library while the
// program starts, before this unit's own objects may exist.
wx::TRuntimeLibrary& WmaLibrary() {
    static wx::TRuntimeLibrary library{
        {WMAudioCreateWriter, "WMAudioCreateWriter"},
        {WMAudioCreateInfo, "WMAudioCreateInfo"},
    };
    return library;
}
}  // namespace

bool LoadWmaLibrary(const char* path) { return WmaLibrary().Load(path) == wx::TRuntimeLibrary::TLoad::Loaded; }

void UnloadWmaLibrary() { WmaLibrary().Unload(); }

bool IsWmaLibraryLoaded() { return WMAudioCreateWriter != nullptr && WMAudioCreateInfo != nullptr; }
