#include "standins/mmcdrive/EmuDeviceIo.h"

#include <algorithm>
#include <cstring>

namespace wx::emu {

EmuLetter* EmuDeviceIo::Find(char letter) {
    for (auto& l : letters)
        if (l.letter == letter) return &l;
    return nullptr;
}

bool EmuDeviceIo::IsCdromRoot(char letter) { return Find(letter) != nullptr; }

TDeviceIo::Handle EmuDeviceIo::Open(const std::string& path, bool readWrite, bool overlapped) {
    EmuIoCall c;
    c.op = "open";
    c.readWrite = readWrite;
    c.overlapped = overlapped;
    // "\\.\X:"
    char letter = path.size() == 6 && path.compare(0, 4, "\\\\.\\") == 0 && path[5] == ':' ? path[4] : 0;
    c.letter = letter;
    calls.push_back(c);
    EmuLetter* l = Find(letter);
    if (!l || l->openFails) return InvalidHandle();
    if (l->openFailsAfter >= 0 && opens_[letter]++ >= l->openFailsAfter) return InvalidHandle();
    std::uintptr_t h = next_++;
    handles_[h] = {letter, overlapped};
    return reinterpret_cast<Handle>(h);
}

void EmuDeviceIo::Close(Handle h) {
    EmuIoCall c;
    c.op = "close";
    auto it = handles_.find(reinterpret_cast<std::uintptr_t>(h));
    if (it != handles_.end()) {
        c.letter = it->second.first;
        handles_.erase(it);
    }
    calls.push_back(c);
}

std::vector<std::uint8_t> EmuDeviceIo::InquiryData(std::uint8_t port) {
    // One bus; a unit record for every unit of every letter on this port.
    struct U {
        std::uint8_t path, target, lun;
        std::vector<std::uint8_t> inq;
    };
    std::vector<U> units;
    for (auto& l : letters) {
        if (l.port != port || !l.drive) continue;
        auto inquiry = [&](int lun) {
            std::vector<std::uint8_t> d(36, 0);
            std::uint8_t cdb[6] = {0x12, 0, 0, 0, 36, 0};
            l.drive->Execute(lun, cdb, 6, d.data(), 36, true);
            return d;
        };
        bool seen = false;
        for (auto& u : units) seen = seen || (u.path == l.path && u.target == l.target);
        if (seen) continue;
        if (l.drive->personality().pd) {
            units.push_back({l.path, l.target, 0, inquiry(0)});
            units.push_back({l.path, l.target, 1, inquiry(1)});
        } else {
            units.push_back({l.path, l.target, l.lun, inquiry(l.lun)});
        }
    }
    std::vector<std::uint8_t> out(offsetof(ScsiAdapterBusInfo, BusData) + sizeof(ScsiBusData), 0);
    out[0] = 1;
    ScsiBusData bus{};
    bus.NumberOfLogicalUnits = std::uint8_t(units.size());
    bus.InquiryDataOffset = units.empty() ? 0 : std::uint32_t(out.size());
    std::memcpy(&out[offsetof(ScsiAdapterBusInfo, BusData)], &bus, sizeof bus);
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::size_t at = out.size();
        out.resize(at + offsetof(ScsiInquiryData, InquiryData) + units[i].inq.size());
        while (out.size() % 4) out.push_back(0);
        ScsiInquiryData rec{};
        rec.PathId = units[i].path;
        rec.TargetId = units[i].target;
        rec.Lun = units[i].lun;
        rec.InquiryDataLength = std::uint32_t(units[i].inq.size());
        rec.NextInquiryDataOffset = i + 1 < units.size() ? std::uint32_t(out.size()) : 0;
        std::memcpy(&out[at], &rec, offsetof(ScsiInquiryData, InquiryData));
        std::memcpy(&out[at + offsetof(ScsiInquiryData, InquiryData)], units[i].inq.data(), units[i].inq.size());
    }
    return out;
}

TDeviceIo::Result EmuDeviceIo::Control(Handle h, std::uint32_t code, void* in, std::uint32_t inLen, void* out,
                                       std::uint32_t outLen, std::uint32_t* returned, void* overlapped) {
    EmuIoCall c;
    c.op = "control";
    c.code = code;
    c.inLen = inLen;
    c.outLen = outLen;
    c.overlapped = overlapped != nullptr;
    if (returned) *returned = 0;
    auto it = handles_.find(reinterpret_cast<std::uintptr_t>(h));
    EmuLetter* l = it == handles_.end() ? nullptr : Find(it->second.first);
    c.letter = l ? l->letter : 0;
    if (code == IOCTL_SCSI_PASS_THROUGH_DIRECT_CODE && in && inLen >= sizeof(ScsiPassThroughDirect))
        std::memcpy(&c.sptd, in, sizeof c.sptd);
    calls.push_back(c);
    if (!l) return Result::Failed;
    if (code == IOCTL_SCSI_GET_ADDRESS_CODE) {
        if (!l->addressWorks || outLen < sizeof(ScsiAddress)) return Result::Failed;
        ScsiAddress a{sizeof(ScsiAddress), l->port, l->path, l->target, l->lun};
        std::memcpy(out, &a, sizeof a);
        if (returned) *returned = sizeof a;
        return Result::Ok;
    }
    if (code == IOCTL_SCSI_GET_INQUIRY_DATA_CODE) {
        if (!l->inquiryWorks) return Result::Failed;
        std::vector<std::uint8_t> d = inquiryOverride.empty() ? InquiryData(l->port) : inquiryOverride;
        std::uint32_t n = std::uint32_t(std::min<std::size_t>(d.size(), outLen));
        std::memcpy(out, d.data(), n);
        if (returned) *returned = n;
        return Result::Ok;
    }
    if (code != IOCTL_SCSI_PASS_THROUGH_DIRECT_CODE || l->passThroughFails || !in ||
        inLen < sizeof(ScsiPassThroughDirect) || !out || outLen < sizeof(ScsiPassThroughDirect) || !l->drive)
        return Result::Failed;
    ScsiPassThroughDirect sp;
    std::memcpy(&sp, in, sizeof sp);
    if (sp.Length != sizeof(ScsiPassThroughDirect) || sp.CdbLength == 0 || sp.CdbLength > 16) return Result::Failed;
    int lun = l->drive->personality().pd ? 1 : l->lun;
    ExecResult r = l->drive->Execute(lun, sp.Cdb, sp.CdbLength, static_cast<std::uint8_t*>(sp.DataBuffer),
                                     sp.DataBuffer ? sp.DataTransferLength : 0, sp.DataIn == PT_DATA_IN);
    auto* o = static_cast<std::uint8_t*>(out);
    reinterpret_cast<ScsiPassThroughDirect*>(o)->ScsiStatus = r.status;
    if (r.status != 0 && sp.SenseInfoOffset < outLen) {
        std::size_t n = std::min<std::size_t>({sp.SenseInfoLength, r.sense.size(), outLen - sp.SenseInfoOffset});
        std::memcpy(o + sp.SenseInfoOffset, r.sense.data(), n);
    }
    if (returned) *returned = outLen;
    return Result::Ok;
}

bool EmuDeviceIo::OverlappedResult(Handle, void*, std::uint32_t* transferred) {
    EmuIoCall c;
    c.op = "overlapped-result";
    calls.push_back(c);
    if (transferred) *transferred = 0;
    return true;
}

void EmuDeviceIo::SignalEvent(void*) {
    EmuIoCall c;
    c.op = "signal";
    calls.push_back(c);
}

}  // namespace wx::emu
