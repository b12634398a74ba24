// An emulated MMC CD drive: answers command blocks from a Disc, with a
// personality (what INQUIRY says and which vendor commands the drive takes)
// and injected faults.  Portable; not thread-safe (the ASPI layer serialises
// calls).
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "standins/mmcdrive/Disc.h"

namespace wx::emu {

class IniFile;

struct Personality {
    std::string vendor = "WXEMU";
    std::string product = "VIRTUAL CD-ROM";
    std::string revision = "1.00";
    std::string vendorSpecific = "EMULATED DRIVE";
    std::uint8_t deviceType = 5;     // 5 CD-ROM, 4 write-once
    std::uint8_t ansiVersion = 2;    // 0 for an ATAPI drive
    bool pd = false;                 // optical unit at LUN 0, CD-ROM at LUN 1
    bool readD8 = true;              // vendor READ CD-DA (0xD8)
    bool d8ByteSwapped = false;      // 0xD8 delivers big-endian samples
    bool readD4 = false;             // vendor READ CD-DA (0xD4)
    bool readCd = true;              // READ CD (0xBE)
    bool read10Raw = true;           // READ(10) of audio at block length 2352
    std::uint8_t read10Density = 0;  // density READ(10) of audio needs
    bool setCdSpeed = true;          // SET CD SPEED (0xBB)
    bool setCdSpeedNeedsWrite = false;
    bool speedPage = false;          // vendor mode page 0x31
    bool ricohSpeedPage = false;     // speed in page byte 3, high nibble
    bool bcdFullToc = false;         // full TOC answered in BCD
    int maxSpeed = 32;               // multiples of 176.4 KB/s
};

// A named personality ("generic", "atapi", "nec", "sony", "sony561",
// "toshiba", "pioneer", "plextor", "ricoh", "ricoh1420", "pd", "cdr");
// false for an unknown name.
bool PersonalityByName(const std::string& name, Personality& out);
// Applies the keys of an INI section over a personality.
void ApplyPersonalityKeys(const IniFile& ini, const std::string& section, Personality& p);

struct Faults {
    std::map<std::int32_t, int> mediumErrors;  // LBA -> tries that still fail
    int jitterFrames = 0;                      // random shift of each read, +-frames
    int offsetFrames = 0;                      // constant shift of every read
    bool bogusCheckCondition = false;          // good commands report check condition
    unsigned seed = 1;                         // of the jitter; counts from the next read when changed
    // When set, the shift of each audio read (added to the offset) in place
    // of the random jitter: jitter patterns of the tests.
    std::function<int(std::int32_t lba, std::int32_t count)> shiftOf;
};
// Parses "lba[:tries][,lba-lba[:tries]...]"; tries defaults to 1 and 0
// means always.  Returns false on bad syntax.
bool ParseMediumErrors(const std::string& text, std::map<std::int32_t, int>& out);
void ApplyFaultKeys(const IniFile& ini, const std::string& section, Faults& f);

struct ExecResult {
    std::uint8_t status = 0;      // SCSI status: 0 good, 2 check condition
    std::uint32_t transferred = 0;
    std::array<std::uint8_t, 18> sense{};  // fixed format
    bool good() const { return status == 0; }
    std::uint8_t key() const { return sense[2] & 0x0F; }
    std::uint8_t asc() const { return sense[12]; }
    std::uint8_t ascq() const { return sense[13]; }
};

enum class PlayState { None, Playing, Paused, Completed };

class MmcDrive {
public:
    explicit MmcDrive(Personality p = {});

    const Personality& personality() const { return p_; }
    Faults& faults() { return faults_; }
    void SetClock(std::function<std::int64_t()> nowMs) { nowMs_ = std::move(nowMs); }

    // Inserts a disc (nullptr: no disc).  The next command after a change
    // reports a unit attention once.
    void Load(std::shared_ptr<Disc> disc);
    const Disc* disc() const { return disc_.get(); }
    // A bus or device reset: play stops, a unit attention follows.
    void Reset();

    // Executes one command block.  dataIn: the drive writes up to dataLen
    // bytes to data; otherwise it reads dataLen bytes from it.
    ExecResult Execute(int lun, const std::uint8_t* cdb, int cdbLen, std::uint8_t* data, std::uint32_t dataLen,
                       bool dataIn);

    // State the tests look at.
    std::uint32_t blockLength() const { return blockLength_; }
    std::uint8_t density() const { return density_; }
    int speedKBs() const { return speedKBs_; }
    std::uint8_t speedPageByte(int i) const { return speedPage_[i & 1]; }
    PlayState playState();

private:
    ExecResult Check(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq, std::int32_t info = -1);
    ExecResult Good(std::uint32_t transferred);
    ExecResult Inquiry(int lun, const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLen);
    ExecResult ReadToc(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLen);
    ExecResult ModeSense(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLen);
    ExecResult ModeSelect(const std::uint8_t* cdb, const std::uint8_t* data, std::uint32_t dataLen);
    ExecResult SetCdSpeed(const std::uint8_t* cdb);
    ExecResult ReadSubChannel(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLen);
    ExecResult Play(std::int32_t start, std::int32_t count);
    ExecResult PauseResume(const std::uint8_t* cdb);
    // Audio reads of every kind: bytesMain 2352 per sector, then sub bytes
    // (0, 16 or 96) of sub-channel.
    ExecResult ReadAudio(std::int32_t lba, std::int32_t count, int subBytes, bool swapped, bool anyType,
                         std::uint8_t* data, std::uint32_t dataLen);
    ExecResult Read10(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLen);
    std::uint32_t Copy(std::uint8_t* data, std::uint32_t dataLen, const std::uint8_t* src, std::size_t n);
    void SubQ(std::int32_t lba, std::uint8_t q[12]) const;
    std::int32_t PlayPosition();

    Personality p_;
    Faults faults_;
    std::shared_ptr<Disc> disc_;
    bool unitAttention_ = true;
    std::uint8_t uaAsc_ = 0x29;
    std::uint32_t blockLength_ = 2048;
    std::uint8_t density_ = 0;
    int speedKBs_ = 0;
    std::uint8_t speedPage_[2] = {0, 0};
    ExecResult lastSense_;
    PlayState play_ = PlayState::None;
    std::int32_t playStart_ = 0, playEnd_ = 0, playPos_ = 0;
    std::int64_t playT0_ = 0;
    std::function<std::int64_t()> nowMs_;
    std::mt19937 rng_;
    unsigned seededWith_ = 1;
};

}  // namespace wx::emu
