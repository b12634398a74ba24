#include "extraction/MSCDEXCALL.h"

#include <cstring>

namespace wx {

namespace {
struct State {
    TMscdexThunk* installed = nullptr;
    bool open = false;
    std::vector<std::uint8_t> transfer;  // the locked flat buffer
    std::uint32_t lastAnswer = 0;
};
State& S() {
    static State s;
    return s;
}
}  // namespace

TMscdexThunk* MscdexThunk() { return S().installed; }

void SetMscdexThunk(TMscdexThunk* thunk) {
    MscdexClose();
    S().installed = thunk;
}

bool MscdexIsOpen() { return S().open; }

bool MscdexOpen(int drive) {
    State& s = S();
    TMscdexThunk* t = MscdexThunk();
    if (!t) return false;
    if (s.open) MscdexClose();
    if (!t->Load()) return false;
    std::uint8_t init = std::uint8_t(t->InitMemory(drive) & 0xFF);
    if (t->HasIsResidentMscdex()) t->IsResidentMscdex();  // its answer decides nothing
    if (init == 0) {
        t->Unload();
        return false;
    }
    try {
        s.transfer.assign(MscdexTransferBytes, 0);
    } catch (...) {
        t->Unload();
        return false;
    }
    s.open = true;
    return true;
}

std::uint16_t MscdexReadSectors(void* dest, std::int32_t lba, std::int32_t count) {
    State& s = S();
    TMscdexThunk* t = MscdexThunk();
    if (!t || !s.open || count <= 0 || count > MscdexMaxSectors) return 0;
    std::vector<std::uint8_t> block(MscdexBlockBytes, 0);
    s.lastAnswer = t->ReadLong(block.data(), lba, count);
    std::memcpy(s.transfer.data(), block.data(), MscdexBlockBytes);
    if (dest) std::memcpy(dest, s.transfer.data(), std::size_t(count) * 2352);
    return std::uint16_t(s.lastAnswer & 0xFFFF);
}

std::int32_t MscdexSearchStartPoint(std::int32_t lba) {
    TMscdexThunk* t = MscdexThunk();
    if (!t || !S().open) return -1;
    return t->SearchStartPoint(lba);
}

void MscdexClose() {
    State& s = S();
    if (!s.open) return;
    TMscdexThunk* t = MscdexThunk();
    if (t) {
        if (t->HasFreeMemory()) t->FreeMemory();
        t->Unload();
    }
    s.transfer.clear();
    s.transfer.shrink_to_fit();
    s.open = false;
}

}  // namespace wx
