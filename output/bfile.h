// Bit-level output file for TwinVQ streams: bits are packed most
// significant first into a 1,024-byte buffer that is written out whenever it
// fills.  At most 50 bit files are open at once.  Portable: no <windows.h>.
#pragma once
#include <cstdio>
#include <string>

namespace wx {

constexpr int kBitFileSlots = 50;
constexpr int kBitFileBufferBytes = 1024;

struct TBitFile {
    int Bits = 0;  // bits in Buffer
    unsigned char Buffer[kBitFileBufferBytes] = {};
    char Mode[5] = {};
    std::FILE* File = nullptr;
    bool Error = false;  // a write failed; later bits are dropped
    int Index = 0;       // slot number
    bool Used = false;
};
using PBitFile = TBitFile*;

// nullptr when every slot is taken or the file cannot be opened.  A mode
// containing "w" creates (or empties) the file; any other mode opens an
// existing one for writing at its start.
PBitFile BitFileOpen(const std::string& fileName, const std::string& mode);

// Writes the low `count` bits of value, most significant first.  Returns 1
// when value does not fit in `count` bits (the low bits are written all the
// same), else 0.  Does nothing once the file's error flag is set.
int BitFilePutBits(int value, int count, PBitFile f);

// In a write mode flushes the (bits + 7) / 8 buffered bytes (the last one
// completed with zero bits); closes the file and frees the slot.  Returns
// false when a write or the close failed at any time.
bool BitFileClose(PBitFile f);

// Number of bit files open now (for tests and diagnostics).
int BitFilesOpen();

}  // namespace wx
