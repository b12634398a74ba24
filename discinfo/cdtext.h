// CD-TEXT packs as READ TOC format 5 delivers them: the CRC of each pack,
// the text blocks (one per language) found from the size-information packs,
// the texts of each track, the language and character-code names and the
// code page 437 to ISO-8859-1 conversion.  Portable: no <windows.h>.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace wx {

inline constexpr std::size_t kCdTextPackSize = 18;
// The pack buffer of the viewer; READ TOC asks for at most 0x2000 bytes.
inline constexpr std::size_t kCdTextBufferSize = 0x8000;
inline constexpr int kCdTextMaxBlocks = 8;

// Text slots of an entry, in the order of pack types 0x80..0x85, then genre.
enum TCdTextSlot {
    kCdTextTitle = 0,
    kCdTextPerformer = 1,
    kCdTextSongwriter = 2,
    kCdTextComposer = 3,
    kCdTextArranger = 4,
    kCdTextMessage = 5,
    kCdTextGenre = 6,
    kCdTextSlotCount = 7,
};

// Pack type of a text slot (0x80..0x85, 0x87 for the genre).
std::uint8_t CdTextPackType(int slot);

// One track's texts (index 0 is the disc as a whole); each slot is
// zero-terminated, at most 255 bytes used.
struct TCDTextEntry {
    std::int32_t Index = 0;
    std::array<std::array<char, 256>, kCdTextSlotCount> Text{};
    std::string Get(int slot) const;
};

// One text block (one language).
struct TCDTextInfo {
    int LanguageCode = -1;
    int CharCode = -1;
    int FirstTrack = -1;
    int LastTrack = -1;
    int EntryCount = 0;
    std::vector<TCDTextEntry> Entries;  // entries 0..EntryCount
    void Reset();
    // The entry of a track, or nullptr when the block has none.
    const TCDTextEntry* Entry(int track) const;
};

// CRC-16 with the polynomial 0x1021 (most significant bit first, initial
// value 0, no final inversion).
std::uint16_t CdTextCrc16(const std::uint8_t* data, std::size_t size);

class TCDTextReader {
public:
    std::array<TCDTextInfo, kCdTextMaxBlocks> Blocks;
    int BlockCount = 0;
    // Called once per reading for the first pack whose CRC is wrong (the
    // viewer shows a warning); afterwards packs are no longer checked.
    std::function<void()> OnCrcError;

    // Running CRC of the viewer.
    void InitCRC() { crc_ = 0; }
    void CalcCRC(std::uint8_t b);
    std::uint16_t Crc() const { return crc_; }

    // True when the pack's CRC (stored inverted, high byte first) matches;
    // after a reported failure every pack counts as valid.
    bool CheckPacket(const std::uint8_t* pack);

    // Finds the blocks and prepares their entries.  length is in bytes;
    // only whole packs are used.  On failure reason holds the cause.
    bool GetLangInfo(const std::uint8_t* buffer, std::size_t length, std::string& reason);

    // Collects the texts of one slot's pack type into every block in use.
    void AnalizeCDTextPack(const std::uint8_t* buffer, std::size_t length, int slot);

    // The six slots in the order the viewer collects them.
    void AnalizeAll(const std::uint8_t* buffer, std::size_t length);

    // Frees every block's entries and clears the CRC-error switch.
    void Clear();

    bool CrcErrorReported() const { return crcReported_; }

private:
    std::uint16_t crc_ = 0;
    bool crcReported_ = false;
};

// The reasons of a failed block search.
inline constexpr char kCdTextIllegalCode[] = "ILLEGAL PACKET CODE.";
inline constexpr char kCdTextIllegalGroup[] = "ILLEGAL PACKET GROUP.";
inline constexpr char kCdTextIllegalTracks[] = "Start/EndTrack Illegal";
// Head of every report of illegal data, and the CRC warning's text.
inline constexpr char kCdTextIllegalInfo[] = "illegal cd-text info\r";
inline constexpr char kCdTextCrcError[] = "PACKET CRC ERROR.";

// The place of a language code among the known languages (0 no language,
// 1 English, 2 German ... 21 Turkish), whose names are in the message
// table; -1 for a code without a name.
inline constexpr int kCdTextLanguages = 22;
int CdTextLanguageIndex(int code);

// Name of a character code: "ISO-8859-1", "ASCII", "MS-JIS" or "Unknown".
std::string CdTextCodeName(int code);

// Text of character code 1 (code page 437) as ISO-8859-1; characters that
// ISO-8859-1 lacks become blanks.
std::string ConvAnsiTo8859(const std::string& text);

// What READ TOC format 5 gave back.
enum class TCdTextRead {
    Ok,
    NoMedia,     // the drive reports no disc
    Unsupported, // the command failed, or the disc has no CD-TEXT
    BadData,     // the length in the header is impossible
};

// The pack length of a READ TOC format 5 answer, clamped to what was
// transferred and cut to whole packs; -1 when the header claims more than
// the buffer can hold.  0 when there is no data.
long CdTextPackLength(const std::uint8_t* answer, std::size_t transferred);

}  // namespace wx
