// The WMA writer library "wmaudsdk.dll": the loader that finds it when the
// program starts and its two entry points.
#pragma once
#include "output/wmaudiointf.h"

using TWMAudioCreateWriter = HRESULT(WINAPI*)(LPCWSTR fileName, IWMAudioWriter** writer);
using TWMAudioCreateInfo = HRESULT(WINAPI*)(LPCWSTR fileName, IWMAudioInfo** info);

// Entry points of the loaded library; both null unless the library and
// both entry points were found.
extern TWMAudioCreateWriter WMAudioCreateWriter;
extern TWMAudioCreateInfo WMAudioCreateInfo;

// Looks the library up through the system's search path (done once when
// the program starts); true when both entry points are there.  Loading
// again releases the previous library first.
bool LoadWmaLibrary(const char* path = "wmaudsdk.dll");
void UnloadWmaLibrary();
bool IsWmaLibraryLoaded();
