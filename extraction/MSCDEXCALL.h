// The MSCDEX transport: raw CD-DA reads through a 16-bit library reached by
// the Windows 9x 32-to-16-bit thunk.  The library's entry points sit behind
// TMscdexThunk; there is no thunk on NT or in a 64-bit process, and then
// every operation answers with its failure value (0, or -1 for the start
// point).  Portable.
#pragma once
#include <cstdint>
#include <vector>

namespace wx {

constexpr int MscdexMaxSectors = 27;
constexpr std::uint32_t MscdexBlockBytes = MscdexMaxSectors * 2352;  // 63504
constexpr std::uint32_t MscdexTransferBytes = 65856;
constexpr std::uint16_t MscdexReadOk = 256;

// The 16-bit library "MXRELAY.DLL" as seen through the thunk.
class TMscdexThunk {
public:
    virtual ~TMscdexThunk() = default;
    // Loads the library; false when it cannot be had (a 16-bit handle of 31
    // or less) or lacks InitMemory or ReadLong.
    virtual bool Load() = 0;
    virtual void Unload() = 0;
    virtual std::uint32_t InitMemory(int drive) = 0;
    virtual bool HasIsResidentMscdex() = 0;
    virtual std::uint32_t IsResidentMscdex() = 0;
    // Fills count raw sectors into the 16-bit block (63504 bytes).
    virtual std::uint32_t ReadLong(std::uint8_t* block, std::int32_t lba, std::int32_t count) = 0;
    virtual std::int32_t SearchStartPoint(std::int32_t lba) = 0;
    virtual bool HasFreeMemory() = 0;
    virtual void FreeMemory() = 0;
};

// The platform's thunk: nullptr except on Windows 9x with "QT_Thunk" in
// Kernel32 (and never in this build, which has no 16-bit loader).  Tests
// install their own; nullptr restores the platform's.
TMscdexThunk* MscdexThunk();
void SetMscdexThunk(TMscdexThunk* thunk);

bool MscdexOpen(int drive);
// Reads raw 2352-byte sectors; 256 means success.  More than 27 sectors,
// or none, is refused without reading.
std::uint16_t MscdexReadSectors(void* dest, std::int32_t lba, std::int32_t count);
std::int32_t MscdexSearchStartPoint(std::int32_t lba);
void MscdexClose();
bool MscdexIsOpen();

}  // namespace wx
