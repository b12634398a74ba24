#include "output/tvqdefs.h"

namespace wx {

TTvqFunctions Tvq{};

namespace {

HMODULE g_module = nullptr;
int g_refCount = 0;

template <typename F>
bool Bind(F& f, const char* name) {
    return BindProc(g_module, f, name);
}

void Release() {
    if (g_module) FreeLibrary(g_module);
    g_module = nullptr;
    g_refCount = 0;
    Tvq = TTvqFunctions{};
}

struct Finaliser {
    ~Finaliser() { Release(); }
} g_finaliser;

}  // namespace

bool LoadTvqDll() {
    if (g_refCount >= 1) {
        ++g_refCount;
        return true;
    }
    g_module = LoadLibraryA("TVQENC.DLL");
    if (!g_module) return false;
    bool all = true;
    all &= Bind(Tvq.EncInitialize, "TvqEncInitialize");
    all &= Bind(Tvq.EncTerminate, "TvqEncTerminate");
    all &= Bind(Tvq.EncGetVectorInfo, "TvqEncGetVectorInfo");
    all &= Bind(Tvq.EncResetFrameCounter, "TvqEncResetFrameCounter");
    all &= Bind(Tvq.EncodeFrame, "TvqEncodeFrame");
    all &= Bind(Tvq.EncUpdateVectorInfo, "TvqEncUpdateVectorInfo");
    all &= Bind(Tvq.EncSetFrameCounter, "TvqEncSetFrameCounter");
    all &= Bind(Tvq.EncCheckVersion, "TvqEncCheckVersion");
    all &= Bind(Tvq.GetVersionID, "TvqGetVersionID");
    all &= Bind(Tvq.EncGetSetupInfo, "TvqEncGetSetupInfo");
    all &= Bind(Tvq.EncGetConfInfo, "TvqEncGetConfInfo");
    all &= Bind(Tvq.EncGetFrameSize, "TvqEncGetFrameSize");
    all &= Bind(Tvq.EncGetNumChannels, "TvqEncGetNumChannels");
    all &= Bind(Tvq.EncGetBitRate, "TvqEncGetBitRate");
    all &= Bind(Tvq.EncGetSamplingRate, "TvqEncGetSamplingRate");
    all &= Bind(Tvq.EncGetNumFixedBitsPerFrame, "TvqEncGetNumFixedBitsPerFrame");
    all &= Bind(Tvq.EncGetNumFrames, "TvqEncGetNumFrames");
    if (!all) {
        Release();
        return false;
    }
    g_refCount = 1;
    return true;
}

void UnloadTvqDll() {
    if (g_refCount == 1) {
        Release();
        return;
    }
    if (g_refCount > 0) --g_refCount;
}

int TvqDllRefCount() { return g_refCount; }

}  // namespace wx
