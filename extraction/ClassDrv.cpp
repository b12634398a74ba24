#include "extraction/ClassDrv.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "extraction/DriveCmds.h"

namespace wx {

namespace {

// Every call fails: the default where no platform device I/O exists.
class TNoDeviceIo : public TDeviceIo {
public:
    bool IsCdromRoot(char) override { return false; }
    Handle Open(const std::string&, bool, bool) override { return InvalidHandle(); }
    void Close(Handle) override {}
    Result Control(Handle, std::uint32_t, void*, std::uint32_t, void*, std::uint32_t, std::uint32_t* r,
                   void*) override {
        if (r) *r = 0;
        return Result::Failed;
    }
    bool OverlappedResult(Handle, void*, std::uint32_t*) override { return false; }
    void SignalEvent(void*) override {}
    int NtMajorVersion() override { return 3; }
};

struct State {
    TDeviceIo* io = nullptr;
    int ntMajor = -1;
    std::vector<TClassDrvDevice> table;
    TDeviceIo::Handle plain = TDeviceIo::InvalidHandle();
    TDeviceIo::Handle overlapped[OverlappedHandles];
    int openIndex = -1;
    State() { std::fill(std::begin(overlapped), std::end(overlapped), TDeviceIo::InvalidHandle()); }
};

State& S() {
    static State s;
    return s;
}

bool Valid(TDeviceIo::Handle h) { return h != nullptr && h != TDeviceIo::InvalidHandle(); }

int NtMajor() {
    State& s = S();
    if (s.ntMajor < 0) s.ntMajor = DeviceIo().NtMajorVersion();
    return s.ntMajor;
}

bool HasEntry(std::int32_t port, std::int32_t path, std::int32_t target, bool optical) {
    for (auto& e : S().table) {
        int t = e.DeviceType();
        bool kind = optical ? t == 7 : (t == 4 || t == 5);
        if (kind && e.PortNumber == port && e.PathId == path && e.TargetId == target) return true;
    }
    return false;
}

// Inquiry text of a unit: from byte 8 while the bytes are printable (at
// most `max`), within the bytes the unit record holds.
std::string InquiryText(const std::uint8_t* data, std::size_t len, std::size_t max, bool stopAtZeroOnly) {
    std::string s;
    for (std::size_t i = 8; i < len && s.size() < max; ++i) {
        std::uint8_t c = data[i];
        if (stopAtZeroOnly ? c == 0 : c <= 31) break;
        s += char(c);
    }
    return s;
}

void FillPassThrough(ScsiPassThroughDirectBuffer& b, const TClassDrvDevice& e, const SRB_ExecSCSICmd& srb,
                     std::uint32_t timeout) {
    std::memset(&b, 0, sizeof b);
    b.Sptd.Length = sizeof(ScsiPassThroughDirect);
    b.Sptd.PathId = std::uint8_t(e.PathId);
    b.Sptd.TargetId = std::uint8_t(e.TargetId);
    b.Sptd.Lun = std::uint8_t(e.Lun);
    b.Sptd.CdbLength = srb.SRB_CDBLen;
    b.Sptd.SenseInfoLength = SENSE_LEN;
    b.Sptd.DataIn = (srb.SRB_Flags & SRB_DIR_IN) ? PT_DATA_IN : PT_DATA_OUT;
    b.Sptd.DataTransferLength = srb.SRB_BufLen;
    b.Sptd.TimeOutValue = timeout;
    b.Sptd.DataBuffer = srb.SRB_BufPointer;
    b.Sptd.SenseInfoOffset = offsetof(ScsiPassThroughDirectBuffer, SenseBuf);
    std::memcpy(b.Sptd.Cdb, srb.CDBByte, sizeof b.Sptd.Cdb);
}

// A request that could not be passed on ends as failed, never pending.
void MarkFailed(SRB_ExecSCSICmd& srb) {
    srb.SRB_TargStat = STATUS_CHKCOND;
    srb.SRB_Status = SS_ERR;
}

void ScanLetter(char letter) {
    State& s = S();
    TDeviceIo& io = DeviceIo();
    std::string path = ClassDrvDevicePath(letter);
    TDeviceIo::Handle h = io.Open(path, false, false);
    bool scanned = false;
    if (Valid(h)) {
        ScsiAddress addr{};
        addr.Length = sizeof addr;
        std::uint32_t got = 0;
        bool addrOk = io.Control(h, IOCTL_SCSI_GET_ADDRESS_CODE, nullptr, 0, &addr, sizeof addr, &got, nullptr) ==
                          TDeviceIo::Result::Ok &&
                      got >= sizeof addr;
        std::vector<std::uint8_t> buf(1024, 0);
        std::uint32_t returned = 0;
        bool inqOk = io.Control(h, IOCTL_SCSI_GET_INQUIRY_DATA_CODE, nullptr, 0, buf.data(),
                                std::uint32_t(buf.size()), &returned, nullptr) == TDeviceIo::Result::Ok;
        io.Close(h);
        if (addrOk && inqOk) {
            scanned = true;
            const std::size_t n = std::min<std::size_t>(returned, buf.size());
            // Collect the unit records, never reading past what the driver
            // returned and never following a chain in circles.
            struct UnitRec {
                std::uint8_t path, target, lun;
                const std::uint8_t* inq;
                std::size_t len;
            };
            std::vector<UnitRec> units;
            if (n >= 1) {
                std::size_t buses = buf[0];
                for (std::size_t b = 0; b < buses; ++b) {
                    std::size_t at = offsetof(ScsiAdapterBusInfo, BusData) + b * sizeof(ScsiBusData);
                    if (at + sizeof(ScsiBusData) > n) break;
                    ScsiBusData bus;
                    std::memcpy(&bus, &buf[at], sizeof bus);
                    std::size_t off = bus.InquiryDataOffset;
                    for (int guard = 0; off != 0 && guard < 256; ++guard) {
                        if (off + offsetof(ScsiInquiryData, InquiryData) > n) break;
                        ScsiInquiryData u;
                        std::memcpy(&u, &buf[off], offsetof(ScsiInquiryData, InquiryData));
                        std::size_t dataAt = off + offsetof(ScsiInquiryData, InquiryData);
                        std::size_t len = std::min<std::size_t>(u.InquiryDataLength, n - dataAt);
                        units.push_back({u.PathId, u.TargetId, u.Lun, &buf[dataAt], len});
                        if (u.NextInquiryDataOffset <= off) break;
                        off = u.NextInquiryDataOffset;
                    }
                }
            }
            auto record = [&](const UnitRec& u, std::string name) {
                if (s.table.size() >= std::size_t(MaxClassDrvDevices)) return;
                TClassDrvDevice e;
                e.DriveLetter = letter;
                e.PortNumber = addr.PortNumber;
                e.PathId = u.path;
                e.TargetId = u.target;
                e.Lun = u.lun;
                std::memcpy(e.InquiryHead, u.inq, std::min<std::size_t>(8, u.len));
                e.DeviceName = name.substr(0, 32);
                s.table.push_back(e);
            };
            for (auto& u : units) {
                if (u.len < 1 || (u.inq[0] & 0x1F) != 7 || u.lun != 0) continue;
                if (HasEntry(addr.PortNumber, u.path, u.target, true)) continue;
                record(u, InquiryText(u.inq, u.len, 32, true));
            }
            for (auto& u : units) {
                if (u.len < 1) continue;
                int type = u.inq[0] & 0x1F;
                if (type != 4 && type != 5) continue;
                if (u.path != addr.PathId || u.target != addr.TargetId || u.lun != addr.Lun) continue;
                bool lunOk = u.lun == 0 || (u.lun == 1 && HasEntry(addr.PortNumber, u.path, u.target, true));
                if (!lunOk || HasEntry(addr.PortNumber, u.path, u.target, false)) continue;
                std::string name;
                for (std::size_t i = 8; i < 36 && i < u.len; ++i) name += char(u.inq[i]);
                record(u, name);
            }
        }
    }
    if (scanned || s.table.size() >= std::size_t(MaxClassDrvDevices)) return;
    // No port scan: the letter stands for itself when its own device
    // answers an INQUIRY as a CD drive.
    TClassDrvDevice e;
    e.DriveLetter = letter;
    e.PortNumber = ClassDrvLetterKey + letter;
    e.InquiryHead[0] = 5;
    s.table.push_back(e);
    std::uint8_t data[36] = {};
    SRB_ExecSCSICmd srb;
    BuildExecSRB(srb, TDriveAddress{255, 255, 255}, SRB_DIR_IN, data, sizeof data, {0x12, 0, 0, 0, 36, 0}, 6);
    bool ok = ClassDrvExecSRB(e.PortNumber, srb) && srb.SRB_Status == SS_COMP;
    int type = data[0] & 0x1F;
    if (ok && (type == 4 || type == 5)) {
        TClassDrvDevice& kept = s.table.back();
        std::memcpy(kept.InquiryHead, data, 8);
        kept.DeviceName = InquiryText(data, sizeof data, 28, false);
    } else {
        s.table.pop_back();
    }
}

}  // namespace

// The platform's device I/O (ClassDrvWin.cpp), or nullptr where there is none.
TDeviceIo* PlatformDeviceIo();

TDeviceIo& DeviceIo() {
    State& s = S();
    if (s.io) return *s.io;
    static TNoDeviceIo none;
    TDeviceIo* p = PlatformDeviceIo();
    return p ? *p : none;
}

void SetDeviceIo(TDeviceIo* io) {
    ClassDrvCloseDevice();
    S().io = io;
    S().ntMajor = -1;
}

std::string ClassDrvDevicePath(char letter) { return std::string("\\\\.\\") + letter + ":"; }

int ClassDrvEnumDevices() {
    S().table.clear();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (S().table.size() >= std::size_t(MaxClassDrvDevices)) break;
        if (DeviceIo().IsCdromRoot(letter)) ScanLetter(letter);
    }
    return int(S().table.size());
}

int ClassDrvCount() { return int(S().table.size()); }

bool ClassDrvGetDevice(int index, TClassDrvDevice& dest) {
    if (index < 0 || index >= ClassDrvCount()) return false;
    dest = S().table[std::size_t(index)];
    return true;
}

int ClassDrvFindDevice(std::int32_t portKey, std::int32_t path, std::int32_t target, std::int32_t lun) {
    const auto& t = S().table;
    for (std::size_t i = 0; i < t.size(); ++i) {
        int type = t[i].DeviceType();
        if (t[i].PortNumber == portKey && t[i].PathId == path && t[i].TargetId == target && t[i].Lun == lun &&
            (type == 4 || type == 5))
            return int(i);
    }
    return -1;
}

bool ClassDrvExecSRBOnHandle(TDeviceIo::Handle h, int entry, SRB_ExecSCSICmd& srb) {
    if (srb.SRB_Cmd != SC_EXEC_SCSI_CMD || !Valid(h) || entry < 0 || entry >= ClassDrvCount()) {
        MarkFailed(srb);
        return false;
    }
    ScsiPassThroughDirectBuffer b;
    FillPassThrough(b, S().table[std::size_t(entry)], srb, 10000);
    std::uint32_t returned = 0;
    bool ok = DeviceIo().Control(h, IOCTL_SCSI_PASS_THROUGH_DIRECT_CODE, &b, sizeof b, &b, sizeof b, &returned,
                                 nullptr) == TDeviceIo::Result::Ok;
    if ((srb.SRB_Flags & SRB_EVENT_NOTIFY) && srb.SRB_PostProc) DeviceIo().SignalEvent(srb.SRB_PostProc);
    std::memcpy(srb.SenseArea, b.SenseBuf, SENSE_LEN);
    if (ok) {
        srb.SRB_TargStat = b.Sptd.ScsiStatus;
        srb.SRB_Status = SS_COMP;
    } else {
        MarkFailed(srb);
    }
    return ok;
}

bool ClassDrvExecSRB(std::int32_t portKey, SRB_ExecSCSICmd& srb) {
    int i = ClassDrvFindDevice(portKey, srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun);
    if (i < 0) {
        MarkFailed(srb);
        return false;
    }
    char letter = char(S().table[std::size_t(i)].DriveLetter);
    TDeviceIo::Handle h = DeviceIo().Open(ClassDrvDevicePath(letter), NtMajor() >= 5, false);
    if (!Valid(h)) {
        MarkFailed(srb);
        return false;
    }
    bool ok = ClassDrvExecSRBOnHandle(h, i, srb);
    DeviceIo().Close(h);
    return ok;
}

void ClassDrvCloseDevice() {
    State& s = S();
    if (Valid(s.plain)) DeviceIo().Close(s.plain);
    s.plain = TDeviceIo::InvalidHandle();
    for (auto& h : s.overlapped) {
        if (Valid(h)) DeviceIo().Close(h);
        h = TDeviceIo::InvalidHandle();
    }
    s.openIndex = -1;
}

void ClassDrvOpenDevice(std::int32_t portKey, std::int32_t path, std::int32_t target, bool overlapped,
                        std::int32_t lun) {
    int i = ClassDrvFindDevice(portKey, path, target, lun);
    if (i < 0) return;
    ClassDrvCloseDevice();
    State& s = S();
    std::string dev = ClassDrvDevicePath(char(s.table[std::size_t(i)].DriveLetter));
    if (!overlapped) {
        s.plain = DeviceIo().Open(dev, NtMajor() >= 5, false);
        if (Valid(s.plain)) s.openIndex = i;
        return;
    }
    for (int k = 0; k < OverlappedHandles; ++k) {
        s.overlapped[k] = DeviceIo().Open(dev, false, true);
        if (!Valid(s.overlapped[k])) return;  // the next close closes those that opened
    }
    s.openIndex = i;
}

bool ClassDrvExecSRBOpen(SRB_ExecSCSICmd& srb) {
    State& s = S();
    if (s.openIndex < 0 || !Valid(s.plain)) {
        MarkFailed(srb);
        return false;
    }
    return ClassDrvExecSRBOnHandle(s.plain, s.openIndex, srb);
}

bool ClassDrvExecSRBOverlapped(int slot, SRB_ExecSCSICmd& srb, ScsiPassThroughDirectBuffer& buffer,
                               void* overlapped) {
    State& s = S();
    if (slot < 0 || slot >= OverlappedHandles || s.openIndex < 0 || !Valid(s.overlapped[slot])) return false;
    FillPassThrough(buffer, s.table[std::size_t(s.openIndex)], srb, 9500);
    std::uint32_t returned = 0;
    TDeviceIo::Result r =
        DeviceIo().Control(s.overlapped[slot], IOCTL_SCSI_PASS_THROUGH_DIRECT_CODE, &buffer,
                           sizeof(ScsiPassThroughDirect), &buffer, sizeof buffer, &returned, overlapped);
    if (r == TDeviceIo::Result::Failed) return false;
    std::uint32_t transferred = 0;
    DeviceIo().OverlappedResult(s.overlapped[slot], overlapped, &transferred);
    return true;
}

int ClassDrvOpenIndex() { return S().openIndex; }
TDeviceIo::Handle ClassDrvPlainHandle() { return S().plain; }
TDeviceIo::Handle ClassDrvOverlappedHandle(int slot) {
    return slot >= 0 && slot < OverlappedHandles ? S().overlapped[slot] : TDeviceIo::InvalidHandle();
}

void ClassDrvResetForTest() {
    ClassDrvCloseDevice();
    S().table.clear();
    S().ntMajor = -1;
}

}  // namespace wx
