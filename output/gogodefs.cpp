#include "output/gogodefs.h"

#include "classlib/library.h"
#include "classlib/registry.h"

namespace wx {

TGogoFunctions Gogo{};

namespace {

std::string g_path;

// Freed at the end of the program whatever the count.
TRuntimeLibrary g_library{
    {Gogo.initializeWork, "MPGE_initializeWork"}, {Gogo.setConfigure, "MPGE_setConfigure"},
    {Gogo.getConfigure, "MPGE_getConfigure"},     {Gogo.detectConfigure, "MPGE_detectConfigure"},
    {Gogo.processFrame, "MPGE_processFrame"},     {Gogo.closeCoder, "MPGE_closeCoder"},
    {Gogo.endCoder, "MPGE_endCoder"},             {Gogo.getUnitStates, "MPGE_getUnitStates"},
    {Gogo.getVersion, "MPGE_getVersion"},
};

}  // namespace

bool LoadGogoDll() {
    return g_library.Acquire([] {
        g_path.clear();
        TRuntimeLibrary::TLoad r = g_library.Load("GOGO.DLL");
        std::string path;
        // Not on the search path: where the library's installer put it.
        if (r == TRuntimeLibrary::TLoad::NotFound) {
            if (auto inst = RegReadString(HKEY_CURRENT_USER, kGogoRegistryKey, kGogoRegistryValue);
                inst && !inst->empty()) {
                r = g_library.Load(inst->c_str());
                path = *inst;
            }
        }
        if (r != TRuntimeLibrary::TLoad::Loaded) return false;
        g_path = path;
        return true;
    });
}

void UnloadGogoDll() { g_library.Release(); }

const std::string& GogoDllPath() { return g_path; }
int GogoDllRefCount() { return g_library.RefCount(); }

}  // namespace wx
