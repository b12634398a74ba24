#include "output/bfile.h"

#include <cstdint>
#include <cstring>
#include <mutex>

namespace wx {

namespace {

TBitFile g_slots[kBitFileSlots];
std::mutex g_slotLock;

bool IsWriteMode(const TBitFile* f) { return std::strchr(f->Mode, 'w') != nullptr; }

void FlushFull(PBitFile f) {
    if (std::fwrite(f->Buffer, 1, kBitFileBufferBytes, f->File) != size_t(kBitFileBufferBytes)) f->Error = true;
    std::memset(f->Buffer, 0, sizeof f->Buffer);
    f->Bits = 0;
}

}  // namespace

PBitFile BitFileOpen(const std::string& fileName, const std::string& mode) {
    PBitFile slot = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_slotLock);
        for (int i = 0; i < kBitFileSlots; ++i) {
            if (!g_slots[i].Used) {
                slot = &g_slots[i];
                slot->Used = true;
                slot->Index = i;
                break;
            }
        }
    }
    if (!slot) return nullptr;
    std::snprintf(slot->Mode, sizeof slot->Mode, "%s", mode.c_str());
    slot->File = std::fopen(fileName.c_str(), IsWriteMode(slot) ? "wb" : "r+b");
    if (!slot->File) {
        std::lock_guard<std::mutex> lock(g_slotLock);
        slot->Used = false;
        return nullptr;
    }
    slot->Bits = 0;
    slot->Error = false;
    std::memset(slot->Buffer, 0, sizeof slot->Buffer);
    return slot;
}

int BitFilePutBits(int value, int count, PBitFile f) {
    if (!f || !f->Used || f->Error || count <= 0) return 0;
    const uint32_t v = static_cast<uint32_t>(value);
    int result = (count < 32 && (v >> count) != 0) ? 1 : 0;
    for (int b = count - 1; b >= 0; --b) {
        const unsigned bit = b < 32 ? (v >> b) & 1u : 0u;
        if (bit) f->Buffer[f->Bits >> 3] |= static_cast<unsigned char>(0x80u >> (f->Bits & 7));
        if (++f->Bits == kBitFileBufferBytes * 8) {
            FlushFull(f);
            if (f->Error) break;
        }
    }
    return result;
}

bool BitFileClose(PBitFile f) {
    if (!f || !f->Used) return false;
    if (IsWriteMode(f) && !f->Error && f->Bits > 0) {
        const size_t n = static_cast<size_t>((f->Bits + 7) / 8);
        if (std::fwrite(f->Buffer, 1, n, f->File) != n) f->Error = true;
    }
    if (std::fclose(f->File) != 0) f->Error = true;
    const bool ok = !f->Error;
    f->File = nullptr;
    f->Bits = 0;
    std::lock_guard<std::mutex> lock(g_slotLock);
    f->Used = false;
    return ok;
}

int BitFilesOpen() {
    std::lock_guard<std::mutex> lock(g_slotLock);
    int n = 0;
    for (const auto& s : g_slots) n += s.Used ? 1 : 0;
    return n;
}

}  // namespace wx
