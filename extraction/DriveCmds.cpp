#include "extraction/DriveCmds.h"

#include <algorithm>
#include <cstring>

namespace wx {

namespace {
// MODE SELECT parameter lists: header, block descriptor with the density
// and block length 2352.
const std::uint8_t kModeDensity82[12] = {0, 0, 0, 8, 0x82, 0, 0, 0, 0, 0, 0x09, 0x30};
const std::uint8_t kModeDensity00[12] = {0, 0, 0, 8, 0x00, 0, 0, 0, 0, 0, 0x09, 0x30};

bool IsRicoh(const std::string& vendor) { return vendor.find("RICOH") != std::string::npos; }
}  // namespace

void BuildExecSRB(SRB_ExecSCSICmd& srb, const TDriveAddress& drive, std::uint8_t flags, std::uint8_t* buffer,
                  std::uint32_t bufLen, std::initializer_list<std::uint8_t> cdb, std::uint8_t cdbLen) {
    ClearSRB(srb);
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = drive.Adapter;
    srb.SRB_Target = drive.Target;
    srb.SRB_Lun = drive.Lun;
    srb.SRB_Flags = flags;
    srb.SRB_BufPointer = buffer;
    srb.SRB_BufLen = bufLen;
    srb.SRB_SenseLen = SENSE_LEN;
    std::size_t n = std::min<std::size_t>(cdb.size(), sizeof srb.CDBByte);
    std::copy_n(cdb.begin(), n, srb.CDBByte);
    srb.SRB_CDBLen = cdbLen ? cdbLen : std::uint8_t(n);
}

TReadCommand BuildReadCommand(int kind, std::uint32_t lba, std::uint8_t count) {
    TReadCommand c;
    if (kind == 10) kind = 4;  // unknown make: the PLEXTOR command
    PutBE32(c.Cdb + 2, lba);
    switch (kind) {
    case 0:
    case 3:
    case 4:
    case 5:
        c.Cdb[0] = 0xD8;
        c.CdbLen = 12;
        c.Cdb[9] = count;
        c.Cdb[10] = 0;
        c.BytesPerSector = 2352;
        break;
    case 1:
        c.Cdb[0] = 0xD8;
        c.CdbLen = 12;
        c.Cdb[9] = count;
        c.Cdb[10] = 2;
        c.BytesPerSector = 2448;
        break;
    case 2:
    case 7:
        c.Cdb[0] = 0x28;
        c.CdbLen = 10;
        c.Cdb[8] = count;
        c.BytesPerSector = 2352;
        break;
    case 6:
        c.Cdb[0] = 0xD4;
        c.CdbLen = 10;
        c.Cdb[8] = count;
        c.BytesPerSector = 2352;
        break;
    case 8:
    case 9:
        c.Cdb[0] = 0xBE;
        c.CdbLen = 12;
        c.Cdb[8] = count;
        c.Cdb[9] = 0x10;
        c.BytesPerSector = 2352;
        break;
    default:
        c.CdbLen = 12;  // no command for this kind
        break;
    }
    return c;
}

std::uint16_t SetCdSpeedValue(int n) {
    if (n < 0) return 0xFFFF;
    return std::uint16_t(std::max(n, 1) * 180);
}

bool TDriveCommands::IsDeviceIn(const TDriveAddress& d) {
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, d, 0, nullptr, 0, {0, 0, 0, 0, 0, 0}, 6);
    return Run(s, d);
}

std::string TDriveCommands::GetVenderName(const TDriveAddress& d) {
    TAspiBuffer buf(32);
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, d, SRB_DIR_IN, buf.data(), 32, {0x12, 0, 0, 0, 32, 0}, 6);
    if (!Run(s, d)) return {};
    std::string name;
    for (int i = 8; i < 32; ++i) name += buf[i] < 0x20 ? ' ' : char(buf[i]);
    return name;
}

bool TDriveCommands::GetMode(const TDriveAddress& d) {
    TAspiBuffer buf(12);
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, d, SRB_DIR_IN, buf.data(), 12, {0x1A, 0, 0, 0, 12, 0}, 6);
    bool ok = Run(s, d);
    if (ok) std::memcpy(mode_, buf.data(), 12);
    return ok;
}

bool TDriveCommands::SelectMode(const TDriveAddress& d, const std::uint8_t (&list)[12]) {
    TAspiBuffer buf(12);
    std::memcpy(buf.data(), list, 12);
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, d, SRB_DIR_OUT, buf.data(), 12, {0x15, 0, 0, 0, 12, 0}, 6);
    return Run(s, d);
}

bool TDriveCommands::ChangeMode(const TDriveAddress& d) { return SelectMode(d, kModeDensity82); }

bool TDriveCommands::ChangeExtendMode(const TDriveAddress& d) { return SelectMode(d, kModeDensity00); }

bool TDriveCommands::RestoreMode(const TDriveAddress& d) {
    const std::uint8_t list[12] = {0, 0, 0, 8, 0, 0, 0, 0, 0, 0, mode_[10], mode_[11]};
    return SelectMode(d, list);
}

int TDriveCommands::GetSpinMode(const TDriveAddress& d) {
    bool ricoh = IsRicoh(GetVenderName(d));
    TAspiBuffer buf(16);
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, d, SRB_DIR_IN, buf.data(), 16, {0x1A, 0, 0x31, 0, 16, 0}, 6);
    if (!Run(s, d)) return -1;
    return ricoh ? buf[15] : buf[14];
}

bool TDriveCommands::SetSpinModeScsi3(const TDriveAddress& d, std::uint16_t readSpeed, std::uint16_t writeSpeed) {
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, d, 0, nullptr, 0,
                 {0xBB, 0, std::uint8_t(readSpeed >> 8), std::uint8_t(readSpeed), std::uint8_t(writeSpeed >> 8),
                  std::uint8_t(writeSpeed), 0, 0, 0, 0, 0, 0},
                 12);
    return Run(s, d);
}

bool TDriveCommands::SetSpinMode(const TDriveAddress& d, int n) {
    const bool ricoh = IsRicoh(GetVenderName(d));
    speedBySetCdSpeed_ = true;
    const std::uint16_t v = SetCdSpeedValue(n);
    if (SetSpinModeScsi3(d, v, 0) || SetSpinModeScsi3(d, v, v)) return false;
    if (n < 0) return false;
    speedBySetCdSpeed_ = false;
    bool lastFailed = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        TAspiBuffer buf(8);
        const std::uint8_t page[8] = {0, 0, 0, 0, 0x31, 2, 0, 0};
        std::memcpy(buf.data(), page, 8);
        if (ricoh) buf[7] = n <= 255 ? std::uint8_t(n << 4) : std::uint8_t(n);
        else buf[6] = std::uint8_t(n);
        SRB_ExecSCSICmd s;
        BuildExecSRB(s, d, SRB_DIR_OUT, buf.data(), 8, {0x15, 0, 0, 0, 8, 0}, 6);
        lastFailed = !Run(s, d);
        if (!lastFailed || ricoh) break;
        if (n == 0 || n == 255) break;
        --n;
    }
    return n < 256 && lastFailed;
}

void TDriveCommands::StartSpinUp(const TDriveAddress& d, std::uint32_t lba, const std::function<void()>& settle) {
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, d, 0, nullptr, 0, {0x01, 0, 0, 0, 0, 0}, 6);
    exec_.Exec(s);
    BuildExecSRB(s, d, 0, nullptr, 0,
                 {0x2B, 0, std::uint8_t(lba >> 24), std::uint8_t(lba >> 16), std::uint8_t(lba >> 8),
                  std::uint8_t(lba), 0, 0, 0, 0},
                 10);
    exec_.Exec(s);
    if (settle) settle();
}

void TDriveCommands::PlayStop(const std::vector<TDriveAddress>& drives, int index) {
    auto stop = [&](const TDriveAddress& d) {
        SRB_ExecSCSICmd s;
        BuildExecSRB(s, d, 0, nullptr, 0, {0x4B, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 10);
        exec_.Exec(s);
    };
    if (index >= 0 && index < int(drives.size())) {
        stop(drives[std::size_t(index)]);
        return;
    }
    for (auto& d : drives) stop(d);
}

int TDriveCommands::IsPlaying(const TDriveAddress& d) {
    TAspiBuffer buf(16);
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, d, SRB_DIR_IN, buf.data(), 16, {0x42, 0x02, 0x40, 0x01, 0, 0, 0, 0, 16, 0}, 10);
    if (!Run(s, d)) return -1;
    return (buf[1] & 0x1F) == 0x11 ? buf[6] : -1;
}

}  // namespace wx
