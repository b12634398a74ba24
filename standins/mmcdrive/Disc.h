// A compact disc served from a CUE sheet and its image files.  Portable.
//
// The CUE sheet gives tracks, their types, FLAGS (PRE, DCP, 4CH), PREGAP,
// POSTGAP, INDEX 00/01 and CD-TEXT (TITLE, PERFORMER, SONGWRITER, COMPOSER,
// ARRANGER, MESSAGE, or a CDTEXTFILE of raw packs).  What a CUE sheet cannot
// say comes from the caller: the tracks that open a new session.
#pragma once
#include <array>
#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace wx::emu {

// Control nibble bits of a track.
constexpr std::uint8_t CTL_PREEMPHASIS = 0x01;
constexpr std::uint8_t CTL_COPY_PERMITTED = 0x02;
constexpr std::uint8_t CTL_DATA = 0x04;
constexpr std::uint8_t CTL_FOUR_CHANNEL = 0x08;

constexpr std::int32_t SECTOR_RAW = 2352;
constexpr std::int32_t FRAMES_PER_SECOND = 75;
// Sectors between the lead-out of the first session and the first track of
// the next one: lead-out 6750, lead-in 4500, pregap 150.
constexpr std::int32_t FIRST_SESSION_GAP = 11400;
// Later sessions have a shorter lead-out (2250).
constexpr std::int32_t LATER_SESSION_GAP = 6900;

// Text fields of CD-TEXT, in pack-type order 0x80..0x85.
enum CdTextField { kTitle, kPerformer, kSongwriter, kComposer, kArranger, kMessage, kCdTextFieldCount };

struct TrackInfo {
    int number = 0;
    int session = 1;
    std::uint8_t control = 0;
    bool audio = true;
    std::int32_t startLba = 0;   // INDEX 01
    std::int32_t endLba = 0;     // one past the last sector up to the next track's start
    std::string text[kCdTextFieldCount];
};

struct SessionInfo {
    int number = 1;
    int firstTrack = 1;
    int lastTrack = 1;
    std::int32_t leadOutLba = 0;
};

enum class ReadStatus { Ok, OutOfRange, Unreadable };

class Disc {
public:
    // Loads a CUE sheet.  sessionStarts lists the tracks that open a new
    // session (track numbers).  Returns nullptr and sets error on failure.
    static std::unique_ptr<Disc> LoadCue(const std::string& cuePath, const std::vector<int>& sessionStarts,
                                         std::string& error);

    const std::vector<TrackInfo>& Tracks() const { return tracks_; }
    const std::vector<SessionInfo>& Sessions() const { return sessions_; }
    int FirstTrack() const { return tracks_.empty() ? 0 : tracks_.front().number; }
    int LastTrack() const { return tracks_.empty() ? 0 : tracks_.back().number; }
    std::int32_t LeadOut() const { return sessions_.empty() ? 0 : sessions_.back().leadOutLba; }
    const TrackInfo* TrackAt(std::int32_t lba) const;
    const TrackInfo* TrackByNumber(int number) const;
    const std::string& DiscText(CdTextField f) const { return discText_[f]; }

    // One sector as 2352 raw bytes: PCM for audio, sync + header + data for
    // data tracks.  Silence inserted by PREGAP/POSTGAP reads as zeros.
    ReadStatus ReadRaw(std::int32_t lba, std::uint8_t* out) const;
    // What ReadRaw would answer, without reading the image.
    ReadStatus Probe(std::int32_t lba) const;
    // The 2048 user bytes of a data sector.
    ReadStatus ReadUser(std::int32_t lba, std::uint8_t* out) const;
    bool IsAudio(std::int32_t lba) const;

    // Raw CD-TEXT packs (18 bytes each), generated from the sheet's texts or
    // taken from its CDTEXTFILE; empty when the disc has none.
    const std::vector<std::uint8_t>& CdTextPacks() const { return cdText_; }

    std::uint8_t cdTextLanguage = 0x09;  // English
    void BuildCdText();

private:
    struct Extent {
        enum Kind { File, Silence, Unreadable } kind = File;
        std::int32_t lba = 0;
        std::int32_t count = 0;
        int file = -1;
        std::int64_t fileOffset = 0;  // of the extent's first sector
        int sectorSize = SECTOR_RAW;  // bytes per sector in the file
        bool audio = true;
        bool bigEndian = false;
    };
    struct ImageFile {
        std::string path;
        std::int64_t dataOffset = 0;  // past a RIFF header
        std::int64_t size = 0;
        bool bigEndian = false;
        std::unique_ptr<std::ifstream> stream;
    };
    const Extent* ExtentAt(std::int32_t lba) const;

    std::vector<TrackInfo> tracks_;
    std::vector<SessionInfo> sessions_;
    std::vector<Extent> extents_;
    mutable std::vector<ImageFile> files_;
    mutable std::mutex fileLock_;
    std::string discText_[kCdTextFieldCount];
    std::vector<std::uint8_t> cdText_;
    bool cdTextFromFile_ = false;
};

// CRC-16 of a CD-TEXT pack or sub-channel Q (polynomial 0x1021, initial 0);
// stored inverted, most significant byte first.
std::uint16_t Crc16(const std::uint8_t* p, std::size_t n);

inline std::uint8_t ToBcd(int v) { return std::uint8_t(((v / 10) << 4) | (v % 10)); }
// Absolute MSF (with the 150-sector offset) of an LBA.
void LbaToMsf(std::int32_t lba, std::uint8_t& m, std::uint8_t& s, std::uint8_t& f);

}  // namespace wx::emu
