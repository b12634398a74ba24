#include "output/gogodefs.h"

#include "classlib/registry.h"

namespace wx {

TGogoFunctions Gogo{};

namespace {

HMODULE g_module = nullptr;
int g_refCount = 0;
std::string g_path;

template <typename F>
bool Bind(F& f, const char* name) {
    return BindProc(g_module, f, name);
}

void Release() {
    if (g_module) FreeLibrary(g_module);
    g_module = nullptr;
    g_refCount = 0;
    Gogo = TGogoFunctions{};
}

// Frees the library at the end of the program whatever the count.
struct Finaliser {
    ~Finaliser() { Release(); }
} g_finaliser;

}  // namespace

bool LoadGogoDll() {
    if (g_refCount >= 1) {
        ++g_refCount;
        return true;
    }
    g_path.clear();
    std::string path;
    g_module = LoadLibraryA("GOGO.DLL");
    if (!g_module) {
        if (auto inst = RegReadString(HKEY_CURRENT_USER, kGogoRegistryKey, kGogoRegistryValue); inst && !inst->empty()) {
            g_module = LoadLibraryA(inst->c_str());
            path = *inst;
        }
    }
    if (!g_module) return false;
    const bool all = Bind(Gogo.initializeWork, "MPGE_initializeWork") & Bind(Gogo.setConfigure, "MPGE_setConfigure") &
                     Bind(Gogo.getConfigure, "MPGE_getConfigure") & Bind(Gogo.detectConfigure, "MPGE_detectConfigure") &
                     Bind(Gogo.processFrame, "MPGE_processFrame") & Bind(Gogo.closeCoder, "MPGE_closeCoder") &
                     Bind(Gogo.endCoder, "MPGE_endCoder") & Bind(Gogo.getUnitStates, "MPGE_getUnitStates") &
                     Bind(Gogo.getVersion, "MPGE_getVersion");
    if (!all) {
        Release();
        return false;
    }
    g_refCount = 1;
    g_path = path;
    return true;
}

void UnloadGogoDll() {
    if (g_refCount == 1) {
        Release();
        return;
    }
    if (g_refCount > 0) --g_refCount;
}

const std::string& GogoDllPath() { return g_path; }
int GogoDllRefCount() { return g_refCount; }

}  // namespace wx
