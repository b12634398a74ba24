#include "extraction/DriveScan.h"

#include <cstring>

#include "classlib/sjis.h"
#include "extraction/ClassDrv.h"

namespace wx {

namespace {

bool Has(const std::string& s, const char* what) { return s.find(what) != std::string::npos; }

// Printable text of inquiry bytes [from, to); control bytes become blanks.
std::string InquiryText(const std::uint8_t* p, int from, int to) {
    std::string s;
    for (int i = from; i < to; ++i) s += p[i] < 0x20 ? ' ' : char(p[i]);
    return s;
}

}  // namespace

int GuessReadCommandKind(const std::string& name, int ansiVersion, bool pdDrive, bool classDriver, int lun) {
    const std::string n = SjisUpperCase(name);
    if (ansiVersion == 0) return 9;
    bool necAllowed = classDriver ? lun == 0 : !pdDrive;
    if (Has(n, "NEC") && necAllowed) return 6;
    if (Has(n, "SONY") && Has(n, "561")) return 1;
    if (Has(n, "SONY")) return 0;
    if (Has(n, "TOSHIBA")) return 2;
    if (Has(n, "PIONEER")) return 3;
    if (Has(n, "PLEXTOR")) return 4;
    if (Has(n, "RICOH") && Has(n, "1420")) return 5;
    if (Has(n, "RICOH")) return 3;
    return 10;
}

void TDriveScanner::SCSIDevSearch(TDeviceTable& table, bool useClassDriver) {
    table.DriveList.clear();
    table.Selected = -1;
    for (auto& e : table.Devices) {
        e = TDeviceEntry{};
        e.Adapter = e.Target = e.Lun = -1;
        e.Enabled = false;
    }
    table.DeviceCount = 0;
    adapterCount_ = 1;
    if (useClassDriver) {
        ShowCDROMDevicesClassDrv(table);
        return;
    }
    int n = 0;
    while (n < adapterCount_ && n < 256 && dispHostAdapterStatus(n)) ++n;
    showCDROMdevices(table, n);
}

bool TDriveScanner::dispHostAdapterStatus(int n) {
    SRB_HAInquiry ha;
    ClearSRB(ha);
    ha.SRB_Cmd = SC_HA_INQUIRY;
    ha.SRB_HaId = std::uint8_t(n);
    if (!exec_.HaInquiry(ha) || ha.SRB_Status != SS_COMP) return false;
    if (n == 0) adapterCount_ = ha.HA_Count;
    unsigned mask = ha.HA_Unique[0] | (unsigned(ha.HA_Unique[1]) << 8);
    alignment_[n & 0xFF] = mask <= 7 ? 1 : 0;
    return n < adapterCount_;
}

void TDriveScanner::showCDROMdevices(TDeviceTable& table, int count) {
    for (int a = 0; a < count && a < 256; ++a) {
        SRB_HAInquiry ha;
        ClearSRB(ha);
        ha.SRB_Cmd = SC_HA_INQUIRY;
        ha.SRB_HaId = std::uint8_t(a);
        if (!exec_.HaInquiry(ha) || ha.SRB_Status != SS_COMP) continue;
        int maxTargets = ha.HA_Unique[3] > 7 ? ha.HA_Unique[3] : 8;
        for (int t = 0; t < maxTargets; ++t) {
            if (t == ha.HA_SCSI_ID) continue;
            ScanCDROMDevice(table, a, t);
        }
    }
}

void TDriveScanner::ScanCDROMDevice(TDeviceTable& table, int adapter, int target) {
    TDriveAddress d{std::uint8_t(adapter), std::uint8_t(target), 0, false};
    TAspiBuffer buf(36);
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, d, SRB_DIR_IN, buf.data(), 36, {0x12, 0, 0, 0, 36, 0}, 6);
    exec_.Exec(s);
    if (s.SRB_Status != SS_COMP) return;
    int type = buf[0] & 0x1F;
    bool pd = false;
    std::uint8_t targStat = s.SRB_TargStat;
    if (type == 7) {
        TAspiBuffer buf1(36);
        d.Lun = 1;
        BuildExecSRB(s, d, SRB_DIR_IN, buf1.data(), 36, {0x12, 0, 0, 0, 36, 0}, 6);
        exec_.Exec(s);
        if (s.SRB_Status != SS_COMP) return;
        std::memcpy(buf.data(), buf1.data(), 36);
        type = buf[0] & 0x1F;
        targStat = s.SRB_TargStat;
        pd = true;
    }
    if (type != 4 && type != 5) return;
    std::string name = InquiryText(buf.data(), 8, 36) + "    ";
    table.DriveList.push_back(name);
    table.Selected = 0;
    if (table.DeviceCount >= MaxDeviceEntries) return;  // listed, but the table is full
    TDeviceEntry& e = table.Devices[table.DeviceCount];
    e = TDeviceEntry{};
    e.Adapter = adapter;
    e.Target = target;
    e.Lun = pd ? 1 : 0;
    e.ClassDrvInfo = false;
    e.DeviceName = name;
    e.PortNumber = -1;
    e.IgnoreTargetStat = targStat != 0;
    e.Enabled = alignment_[adapter & 0xFF] != 0;
    int ansi = buf[2] & 7;
    e.DriveMaker = std::uint8_t(GuessReadCommandKind(name, ansi, pd, false, e.Lun));
    if (ansi == 0) {
        e.IgnoreTargetStat = true;
        table.ClearMscdex = true;
    }
    e.DriveType = std::uint8_t(type == 4 ? dtCDR : (pd ? dtPD : dtCDROM));
    ++table.DeviceCount;
}

void TDriveScanner::ShowCDROMDevicesClassDrv(TDeviceTable& table) {
    int n = ClassDrvEnumDevices();
    for (int i = 0; i < n; ++i) {
        TClassDrvDevice c;
        if (!ClassDrvGetDevice(i, c)) break;
        int type = c.DeviceType();
        if (type != 4 && type != 5) continue;
        table.DriveList.push_back(c.DeviceName);
        table.Selected = 0;
        if (table.DeviceCount >= MaxDeviceEntries) continue;
        TDeviceEntry& e = table.Devices[table.DeviceCount];
        e = TDeviceEntry{};
        e.ClassDrvInfo = true;
        e.Adapter = c.PathId;
        e.Target = c.TargetId;
        e.Lun = c.Lun;
        e.DeviceName = c.DeviceName;
        e.PortNumber = c.PortNumber;
        e.IgnoreTargetStat = false;
        e.Enabled = true;
        int ansi = c.AnsiVersion();
        e.DriveMaker = std::uint8_t(GuessReadCommandKind(c.DeviceName, ansi, false, true, c.Lun));
        if (ansi == 0) table.ClearMscdex = true;
        e.DriveType = std::uint8_t(type == 4 ? dtCDR : dtCDROM);
        if (c.Lun == 1) e.DriveType = dtPD;
        ++table.DeviceCount;
    }
}

bool TDriveScanner::IsIgnoreTargetStat(int adapter, int target, int lun, bool useAspi) {
    TDriveAddress d{std::uint8_t(adapter), std::uint8_t(target), std::uint8_t(lun), false};
    TAspiBuffer buf(32);
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, d, SRB_DIR_IN, buf.data(), 32, {0x12, 0, 0, 0, 32, 0}, 6);
    exec_.Exec(s);
    if (s.SRB_Status != SS_COMP || s.SRB_TargStat != 0) return true;
    return (buf[2] & 7) == 0 && useAspi;
}

TInquiryInfo DecodeInquiry(const std::uint8_t* p) {
    TInquiryInfo i;
    i.Qualifier = p[0] >> 5;
    i.DeviceType = p[0] & 0x1F;
    i.Removable = p[1] & 0x80;
    i.IsoVersion = p[2] >> 6;
    i.EcmaVersion = (p[2] >> 3) & 7;
    i.AnsiVersion = p[2] & 7;
    i.Aenc = p[3] & 0x80;
    i.TrmIop = p[3] & 0x40;
    i.ResponseFormat = p[3] & 0x0F;
    i.RelAdr = p[7] & 0x80;
    i.WBus32 = p[7] & 0x40;
    i.WBus16 = p[7] & 0x20;
    i.Sync = p[7] & 0x10;
    i.Linked = p[7] & 0x08;
    i.CmdQue = p[7] & 0x02;
    i.SoftReset = p[7] & 0x01;
    i.Vendor = InquiryText(p, 8, 16);
    i.Product = InquiryText(p, 16, 32);
    i.Revision = InquiryText(p, 32, 36);
    i.VendorSpecific = InquiryText(p, 36, 56);
    return i;
}

bool ReadDeviceInfo(TSrbExecutor& exec, const TDriveAddress& d, TInquiryInfo& info) {
    TAspiBuffer buf(56);
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, d, SRB_DIR_IN, buf.data(), 56, {0x12, 0, 0, 0, 56, 0}, 6);
    exec.Exec(s);
    if (!CommandSucceeded(s, d.IgnoreTargetStat)) return false;
    info = DecodeInquiry(buf.data());
    return true;
}

std::string DriveAdapterText(const TDeviceEntry& e) {
    if (e.ClassDrvInfo && e.Adapter == 255)
        return std::string("PnP Drive : ") + char(e.PortNumber & 0xFF);
    return std::to_string(e.Adapter);
}

std::string DriveTargetText(const TDeviceEntry& e) {
    if (e.ClassDrvInfo && e.Adapter == 255) return "--:--";
    return std::to_string(e.Target) + ":" + std::to_string(e.Lun);
}

std::string DriveTypeName(int driveType) {
    switch (driveType) {
    case dtCDR: return "CD-R";
    case dtPD: return "PD-Drive";
    default: return "CD-ROM";
    }
}

int ReadCommandListIndex(int kind) { return EffectiveReadCommand(kind); }

}  // namespace wx
