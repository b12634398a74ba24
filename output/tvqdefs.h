// Run-time loader of TVQENC.DLL, the TwinVQ encoder library.  The library
// counts as missing unless all 17 entry points are present; it is found
// through the system's search path only.  Every entry point uses the C
// calling convention.
#pragma once
#include <cstdint>

#include "classlib/win.h"
#include "output/bstream.h"

namespace wx {

struct TTvqFunctions {
    int32_t(__cdecl* EncInitialize)(TTvqHeaderInfo* header, int32_t* nCan, TTvqIndex* index, int32_t mode);
    void(__cdecl* EncTerminate)(TTvqIndex* index);
    void(__cdecl* EncGetVectorInfo)(int32_t** w0, int32_t** w1);
    void(__cdecl* EncResetFrameCounter)();
    void(__cdecl* EncodeFrame)(const float* frame, TTvqIndex* index);
    void(__cdecl* EncUpdateVectorInfo)(int32_t mode, int32_t* divisions, int32_t* w0, int32_t* w1);
    void(__cdecl* EncSetFrameCounter)(int32_t frame);
    int32_t(__cdecl* EncCheckVersion)(const char* versionId);
    void(__cdecl* GetVersionID)(int32_t mode, char* versionId);
    void(__cdecl* EncGetSetupInfo)(TTvqHeaderInfo* header);
    void(__cdecl* EncGetConfInfo)(TTvqConfInfo* conf);
    int32_t(__cdecl* EncGetFrameSize)();
    int32_t(__cdecl* EncGetNumChannels)();
    int32_t(__cdecl* EncGetBitRate)();
    int32_t(__cdecl* EncGetSamplingRate)();
    int32_t(__cdecl* EncGetNumFixedBitsPerFrame)();
    int32_t(__cdecl* EncGetNumFrames)();
};

// The entry points of the loaded library (valid while loaded).
extern TTvqFunctions Tvq;

bool LoadTvqDll();
void UnloadTvqDll();
int TvqDllRefCount();

}  // namespace wx
