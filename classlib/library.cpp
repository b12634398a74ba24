#include "classlib/library.h"

namespace wx {

TRuntimeLibrary::TRuntimeLibrary(std::initializer_list<TEntryPoint> entries) : entries_(entries) { ClearEntries(); }

TRuntimeLibrary::~TRuntimeLibrary() { Unload(); }

void TRuntimeLibrary::ClearEntries() {
    for (const TEntryPoint& e : entries_) e.Set(nullptr);
}

TRuntimeLibrary::TLoad TRuntimeLibrary::Load(const char* path) {
    Unload();
    if (!path || !*path) return TLoad::NotFound;
    HMODULE module = LoadLibraryA(path);
    if (!module) return TLoad::NotFound;
    bool all = true;
    for (const TEntryPoint& e : entries_) {
        const FARPROC p = GetProcAddress(module, e.Name());
        e.Set(p);
        all = all && p != nullptr;
    }
    if (!all) {
        ClearEntries();
        FreeLibrary(module);
        return TLoad::Incomplete;
    }
    module_ = module;
    refs_ = 1;
    return TLoad::Loaded;
}

void TRuntimeLibrary::Unload() {
    ClearEntries();
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
    refs_ = 0;
}

bool TRuntimeLibrary::Acquire(const std::function<bool()>& load) {
    if (refs_ >= 1) {
        ++refs_;
        return true;
    }
    return load() && Loaded();
}

void TRuntimeLibrary::Release() {
    if (refs_ == 1) {
        Unload();
        return;
    }
    if (refs_ > 0) --refs_;
}

}  // namespace wx
