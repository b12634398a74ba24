#include "output/tvqdefs.h"

#include "classlib/library.h"

namespace wx {

TTvqFunctions Tvq{};

namespace {

// Freed at the end of the program whatever the count.
TRuntimeLibrary g_library{
    {Tvq.EncInitialize, "TvqEncInitialize"},
    {Tvq.EncTerminate, "TvqEncTerminate"},
    {Tvq.EncGetVectorInfo, "TvqEncGetVectorInfo"},
    {Tvq.EncResetFrameCounter, "TvqEncResetFrameCounter"},
    {Tvq.EncodeFrame, "TvqEncodeFrame"},
    {Tvq.EncUpdateVectorInfo, "TvqEncUpdateVectorInfo"},
    {Tvq.EncSetFrameCounter, "TvqEncSetFrameCounter"},
    {Tvq.EncCheckVersion, "TvqEncCheckVersion"},
    {Tvq.GetVersionID, "TvqGetVersionID"},
    {Tvq.EncGetSetupInfo, "TvqEncGetSetupInfo"},
    {Tvq.EncGetConfInfo, "TvqEncGetConfInfo"},
    {Tvq.EncGetFrameSize, "TvqEncGetFrameSize"},
    {Tvq.EncGetNumChannels, "TvqEncGetNumChannels"},
    {Tvq.EncGetBitRate, "TvqEncGetBitRate"},
    {Tvq.EncGetSamplingRate, "TvqEncGetSamplingRate"},
    {Tvq.EncGetNumFixedBitsPerFrame, "TvqEncGetNumFixedBitsPerFrame"},
    {Tvq.EncGetNumFrames, "TvqEncGetNumFrames"},
};

}  // namespace

// Through the system's search path only.
bool LoadTvqDll() {
    return g_library.Acquire([] { return g_library.Load("TVQENC.DLL") == TRuntimeLibrary::TLoad::Loaded; });
}

void UnloadTvqDll() { g_library.Release(); }

int TvqDllRefCount() { return g_library.RefCount(); }

}  // namespace wx
