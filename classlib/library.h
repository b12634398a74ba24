// Libraries loaded at run time.  A library counts as missing unless every
// entry point listed for it is present; then it is freed again and every
// entry stays null, so that a caller never finds half a library.
//
// Libraries that several users share are counted: the first Acquire loads,
// the last Release frees.  Whatever the count, the library is freed when its
// TRuntimeLibrary goes (for a global one, when the program ends).
#pragma once
#include <functional>
#include <initializer_list>
#include <vector>

#include "classlib/win.h"

namespace wx {

// One entry point: its exported name and the typed pointer that receives it.
class TEntryPoint {
public:
    template <typename F>
    TEntryPoint(F& slot, const char* name)
        : name_(name), slot_(&slot), set_([](void* s, FARPROC p) {
              *static_cast<F*>(s) = reinterpret_cast<F>(reinterpret_cast<void*>(p));
          }) {}
    const char* Name() const { return name_; }
    void Set(FARPROC p) const { set_(slot_, p); }

private:
    const char* name_;
    void* slot_;
    void (*set_)(void* slot, FARPROC p);
};

class TRuntimeLibrary {
public:
    enum class TLoad {
        Loaded,      // the library and all its entry points
        NotFound,    // the system could not load it
        Incomplete,  // loaded, but an entry point was missing: freed again
    };

    explicit TRuntimeLibrary(std::initializer_list<TEntryPoint> entries);
    ~TRuntimeLibrary();
    TRuntimeLibrary(const TRuntimeLibrary&) = delete;
    TRuntimeLibrary& operator=(const TRuntimeLibrary&) = delete;

    // Loads a library by name (the system's search path) or by full path
    // and binds every entry point, all or nothing.  A library loaded before
    // is freed first; the count becomes 1 on success, 0 otherwise.
    TLoad Load(const char* path);
    // Frees the library whatever the count; every entry point becomes null.
    void Unload();
    bool Loaded() const { return module_ != nullptr; }
    HMODULE Module() const { return module_; }

    // Shared use: while the library is loaded, Acquire only raises the
    // count; otherwise `load` is run (it calls Load, trying what it needs)
    // and its answer returned.  Release lowers a positive count and frees
    // the library with the last user.
    bool Acquire(const std::function<bool()>& load);
    void Release();
    int RefCount() const { return refs_; }

private:
    void ClearEntries();

    std::vector<TEntryPoint> entries_;
    HMODULE module_ = nullptr;
    int refs_ = 0;
};

}  // namespace wx
