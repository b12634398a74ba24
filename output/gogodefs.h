// Run-time loader of GOGO.DLL, the MP3 encoder library.  The library counts
// as missing unless all nine MPGE_ entry points are present.  It is found
// through the system's search path, or else through the install path its
// installer records in the registry.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "classlib/win.h"

namespace wx {

// Library results: 0 success; MPGE_processFrame answers 1 after the last frame.
using MERET = uint32_t;

// Memory-mode read callback the component gives the library: fills the
// buffer and answers 0, or answers 1 at the end of the data.
using TGogoReadCallback = int(__cdecl*)(void* buffer, unsigned long count);

// The input record of memory mode (setting 1 with parameter 1 = 2).
struct TGogoMemoryInput {
    TGogoReadCallback Callback;
    uint32_t TotalSize;  // 0xFFFFFFFF: unknown
    uint32_t BitsPerSample;
    uint32_t Frequency;
    uint32_t Channels;
};
#if defined(_WIN64)
static_assert(offsetof(TGogoMemoryInput, TotalSize) == 8 && sizeof(TGogoMemoryInput) == 24);
#else
static_assert(offsetof(TGogoMemoryInput, TotalSize) == 4 && sizeof(TGogoMemoryInput) == 20);
#endif

struct TGogoFunctions {
    MERET(WINAPI* initializeWork)();
    MERET(WINAPI* setConfigure)(uintptr_t id, uintptr_t param1, uintptr_t param2);
    MERET(WINAPI* getConfigure)(uintptr_t id, void* value);
    MERET(WINAPI* detectConfigure)();
    MERET(WINAPI* processFrame)();
    MERET(WINAPI* closeCoder)();
    MERET(WINAPI* endCoder)();
    MERET(WINAPI* getUnitStates)(uint32_t* units);
    MERET(WINAPI* getVersion)(uint32_t* code, char* text);
};

// The entry points of the loaded library (valid while loaded).
extern TGogoFunctions Gogo;

// Raises the reference count, loading the library first when it is 0.
bool LoadGogoDll();
// Lowers the reference count; frees the library when it reaches 0.
void UnloadGogoDll();
// The registry path the library was loaded from; empty when the search
// path found it.
const std::string& GogoDllPath();
int GogoDllRefCount();

// Where the library's installer records it (under HKEY_CURRENT_USER).
inline constexpr char kGogoRegistryKey[] = "Software\\MarineCat\\GOGO_DLL";
inline constexpr char kGogoRegistryValue[] = "INSTPATH";

}  // namespace wx
