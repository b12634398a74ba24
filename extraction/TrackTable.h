// The track table of the main window and the reading of a disc's table of
// contents into it (READ TOC in LBA and MSF form, the session count and the
// full TOC), the correction of the last track of each session on a
// multi-session disc, and the rows of the track list.  Portable.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "extraction/DriveCmds.h"

namespace wx {

// One CD track (slots 1..99), or one file of the encode list and the tag
// editor.  Strings are Shift-JIS, at most 255 bytes (10 for Year and
// TrackText).
struct TTrackRecord {
    std::uint8_t StartMinute = 0;
    std::uint8_t StartSecond = 0;
    std::uint8_t StartFrame = 0;
    std::int32_t StartLba = 0;
    std::int32_t RangeStart = 0;
    std::int32_t RangeEnd = 0;
    std::string FileStem;
    std::int32_t SectorCount = 0;
    bool IsAudio = false;
    bool PreEmphasis = false;
    bool CopyPermitted = false;
    bool HasTag = false;
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Year;
    std::int32_t Genre = -1;
    std::string Comment;
    std::string Copyright;
    std::string TrackText;
};

struct TFullTocEntry {
    std::uint16_t Point = 0;
    std::uint16_t Session = 0;
    std::uint8_t PMin = 0, PSec = 0, PFrame = 0;
    std::uint8_t AdrControl = 0;
};

struct TSessionRecord {
    std::uint16_t FirstTrack = 0;
    std::uint16_t LastTrack = 0;
    std::uint8_t LeadOutMin = 0, LeadOutSec = 0, LeadOutFrame = 0;
};

constexpr int TrackSlots = 101;  // 0 unused, 1..99 tracks, 100 the lead-out
constexpr int LeadOutSlot = 100;
constexpr int MaxFullTocEntries = 255;

struct TTrackTable {
    TTrackRecord Slots[TrackSlots];
    int TrackCount = 0;
    int LastSelectedRow = -1;
    bool PreEmphasisSeen = false;
    int FirstSession = 1;
    int LastSession = 1;
    std::vector<TFullTocEntry> TocEntries;
    TSessionRecord Sessions[256];
};

// Walks the LBA and MSF answers of READ TOC (format 0) into the table.
// Only the bytes the answers hold are read (their length field, bounded by
// the buffer); tracks fill slots 1, 2, ... up to slot 99 in descriptor
// order, and the lead-out comes from the 0xAA descriptor.  False when the
// answers hold no lead-out.
bool ParseToc(const std::uint8_t* lba, std::size_t lbaBytes, const std::uint8_t* msf, std::size_t msfBytes,
              TTrackTable& table);
// Stores the full-TOC answer (format 2) in the table's session state.
void ParseFullToc(const std::uint8_t* answer, std::size_t bytes, TTrackTable& table);
// Corrects the length of the last track of each session.
void AnalizingSession(TTrackTable& table);

class TTocReader {
public:
    explicit TTocReader(TSrbExecutor& exec) : exec_(exec), cmds_(exec) {}
    // Reads the TOC into the table; true when a disc was read.  The table's
    // PreEmphasisSeen then asks for the pre-emphasis warning.
    bool dispTrack(TTrackTable& table, const TDriveAddress& d);
    int GetSessionCount(const TDriveAddress& d);
    bool GetSessionInfo(const TDriveAddress& d, TTrackTable& table);

private:
    bool DiscPresent(const TDriveAddress& d);
    TSrbExecutor& exec_;
    TDriveCommands cmds_;
};

// The same disc: the same track count, track starts, lengths and kinds and
// the same lead-out.
bool SameDisc(const TTrackTable& a, const TTrackTable& b);
// After a re-read that found the same disc as before, every track keeps
// what the user set: its file name, rip range, pre-emphasis choice and tag.
// False (and nothing kept) for another disc.
bool KeepSameDiscFields(const TTrackTable& before, TTrackTable& after);

// One row of the track list: the seven cells and the image index.
struct TTrackRow {
    std::string Cells[7];
    int ImageIndex = 2;
};
std::vector<TTrackRow> TrackListRows(const TTrackTable& table);
// "%.2d:%.2d:%.2d" of minutes, seconds and frames of a sector count.
std::string SectorsToText(std::int32_t sectors);

}  // namespace wx
