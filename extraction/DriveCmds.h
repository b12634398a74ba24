// The small drive commands sent outside the rip thread (TEST UNIT READY,
// INQUIRY, MODE SENSE/SELECT, SET CD SPEED with the vendor fall-back,
// spin-up, analog play stop and position) and the read command block of each
// read command kind.  Portable: requests go through a TSrbExecutor, which
// the program backs with the transport in use.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "extraction/AspiDefs.h"

namespace wx {

// Runs one request record to its end on the transport in use.
class TSrbExecutor {
public:
    virtual ~TSrbExecutor() = default;
    // The caller reads SRB_Status and SRB_TargStat afterwards.
    virtual void Exec(SRB_ExecSCSICmd& srb) = 0;
    // Host adapter inquiry (SRB_Cmd 0); false where the transport has none.
    virtual bool HaInquiry(SRB_HAInquiry&) { return false; }
};

// A drive's address and whether its target status is to be ignored.
struct TDriveAddress {
    std::uint8_t Adapter = 0;
    std::uint8_t Target = 0;
    std::uint8_t Lun = 0;
    bool IgnoreTargetStat = false;
};

// A data buffer aligned to 16 bytes (AlignBuffer16 over 32 spare bytes).
class TAspiBuffer {
public:
    explicit TAspiBuffer(std::size_t size) : raw_(size + 32, 0), size_(size) {}
    std::uint8_t* data() { return AlignBuffer16(raw_.data()); }
    std::size_t size() const { return size_; }
    std::uint8_t& operator[](std::size_t i) { return data()[i]; }

private:
    std::vector<std::uint8_t> raw_;
    std::size_t size_;
};

// 0 when the drive ignores its target status, else the status unchanged.
inline std::uint8_t ChkTargetStatus(std::uint8_t status, bool ignoreTargetStat) {
    return ignoreTargetStat ? 0 : status;
}
// A command succeeded: status 1 and no target status that counts.
inline bool CommandSucceeded(const SRB_ExecSCSICmd& s, bool ignoreTargetStat) {
    return s.SRB_Status == SS_COMP && ChkTargetStatus(s.SRB_TargStat, ignoreTargetStat) == 0;
}

// Fills a cleared execute request: command 2, the drive's address, flags,
// sense length 14, the command block.
void BuildExecSRB(SRB_ExecSCSICmd& srb, const TDriveAddress& drive, std::uint8_t flags, std::uint8_t* buffer,
                  std::uint32_t bufLen, std::initializer_list<std::uint8_t> cdb, std::uint8_t cdbLen = 0);

// The read command block of one read of the rip thread.
struct TReadCommand {
    std::uint8_t Cdb[12] = {};
    std::uint8_t CdbLen = 0;
    std::uint32_t BytesPerSector = 0;  // 0 for a kind that has no command
};
// Kind 10 (a drive of unknown make) is built as kind 4.
TReadCommand BuildReadCommand(int kind, std::uint32_t lba, std::uint8_t count);

// Speed value of SET CD SPEED for n times the single speed (-1: maximum).
std::uint16_t SetCdSpeedValue(int n);

class TDriveCommands {
public:
    explicit TDriveCommands(TSrbExecutor& exec) : exec_(exec) {}

    bool IsDeviceIn(const TDriveAddress& d);
    // The 24 characters of vendor and product; empty when the command fails.
    std::string GetVenderName(const TDriveAddress& d);
    bool GetMode(const TDriveAddress& d);
    bool ChangeMode(const TDriveAddress& d);        // block 2352, density 0x82
    bool ChangeExtendMode(const TDriveAddress& d);  // block 2352, density 0
    bool RestoreMode(const TDriveAddress& d);
    // Page 0x31 speed byte (byte 15 of the answer on a RICOH drive, else
    // byte 14); -1 when the command fails.
    int GetSpinMode(const TDriveAddress& d);
    bool SetSpinModeScsi3(const TDriveAddress& d, std::uint16_t readSpeed, std::uint16_t writeSpeed);
    // Sets the speed; true when the warning "速度設定コマンドでエラーが発生しました。"
    // is to be shown.
    bool SetSpinMode(const TDriveAddress& d, int n);
    // REZERO UNIT, SEEK(10) to lba, then the caller's pause (messages
    // processed, 2000 ms).
    void StartSpinUp(const TDriveAddress& d, std::uint32_t lba, const std::function<void()>& settle = {});
    // PAUSE to each drive (index -1 or outside the list: every drive).
    void PlayStop(const std::vector<TDriveAddress>& drives, int index);
    // The track the drive is playing, or -1.
    int IsPlaying(const TDriveAddress& d);

    const std::uint8_t* ModeBuffer() const { return mode_; }
    bool SpeedBySetCdSpeed() const { return speedBySetCdSpeed_; }

private:
    // MODE SELECT(6) with a 12-byte parameter list.
    bool SelectMode(const TDriveAddress& d, const std::uint8_t (&list)[12]);
    bool Run(SRB_ExecSCSICmd& s, const TDriveAddress& d) {
        exec_.Exec(s);
        return CommandSucceeded(s, d.IgnoreTargetStat);
    }
    TSrbExecutor& exec_;
    std::uint8_t mode_[12] = {};
    bool speedBySetCdSpeed_ = true;
};

}  // namespace wx
