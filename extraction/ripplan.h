// The rules of the rip control that need no window: which tracks a run
// takes, the names of their output files, the run's sector count, the
// temporary names, the track at a sector, the disc's media identity, the
// selection walk of the track list and the level ring.  Portable: no
// <windows.h>.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "extraction/TrackTable.h"
#include "settings/configstore.h"

namespace wx {

// Whether a track-list row is selected (row = track number - 1).
using TRowSelected = std::function<bool(int row)>;

// A track a rip can take: audio, and a range that gives at least one
// sector at a non-negative LBA.
bool IsRippableRange(const TTrackRecord& t);
// The sectors a track's rip reads (its range).
std::int32_t RangeSectors(const TTrackRecord& t);

// ---- Output names ---------------------------------------------------------
// Extension of the output choice: ".rmp" for GOGO RIFF-MP3, ".mp3" for MP3
// except GOGO RIFF-WAVE, ".wma", ".vqf", else ".wav".
std::string OutputExtension(const TConfigStore& c);
// Whether de-emphasis applies to the track.
bool IsUseEmph(const TConfigStore& c, const TTrackRecord& t);
// "_DeEMPH", "_EMPH" or "" for the track.
std::string EmphasisSuffix(const TConfigStore& c, const TTrackRecord& t);

struct TOutputName {
    std::string Final;    // the file the user gets
    std::string Written;  // the file the output driver writes now
    bool Tagged = false;  // the output can carry a tag
};
// The one name builder of the rip: the output folder (trailing backslash or
// not) + the trimmed stem + the emphasis suffix + the extension.  The
// overwrite check and the request use the same names.
TOutputName BuildOutputName(const TConfigStore& c, const std::string& folder, const TTrackRecord& t);
// The first two of the names that would be one file (letters compared
// without regard to case, as the file system does; a Shift-JIS trail byte
// is no letter): their indices, or {-1, -1} when all differ.
std::pair<int, int> FindSameName(const std::vector<std::string>& names);

// ---- Rip start checks -----------------------------------------------------
struct TCellCheck {
    bool Ok = false;
    int MissingNameTrack = 0;  // a counted track without a stem (Ok false)
};
// Over tracks 1..count: the selected audio tracks with RangeStart below
// RangeEnd count; one without a stem fails.
TCellCheck CheckCells(const TTrackTable& table, int rows, const TRowSelected& selected);
// The run's total sectors: the sectors of every selected track a rip takes
// (the same count the done sectors grow by, so the run bar ends at 100 %).
std::int64_t GetAllTrackFrames(const TTrackTable& table, int rows, const TRowSelected& selected);
// Selected rows whose track number is `current` or higher.
int GetRemainTrack(int rows, int current, const TRowSelected& selected);

// The stem a typed name gives: blanks trimmed, folder part removed (a dot
// and what follows it stay); at most 255 bytes.
std::string StemFromTypedName(const std::string& name);
// The stem of "yes to all" for a track: name + "_%.02d".
std::string NumberedStem(const std::string& base, int track);
// The base of the base-file-name command: trimmed, file part only, without
// its extension.
std::string BaseNameFromText(const std::string& text);

// The output-name list: each valid, non-empty line goes to the next track
// from track 1 (a data track takes a line without using it); an invalid
// line is reported and takes no track; lines past the last track are
// ignored.  The tracks whose stem changed.
std::vector<int> ApplyNameList(const std::vector<std::string>& lines, TTrackTable& table,
                               const std::function<void(const std::string&)>& invalid);

// First free folder + "\TMP" + n + ext, n = 1..999 (a trailing backslash of
// the folder is dropped first); empty when all 999 are taken.
std::string MakeTempFileName(const std::string& folder, const std::string& ext,
                             const std::function<bool(const std::string&)>& exists);

// ---- Lookups ----------------------------------------------------------------
// From the last track down, the first whose start is not above lba; -1 for
// no tracks, a negative lba or one before track 1.
int GetTrackNum(const TTrackTable& table, std::int32_t lba);
// The disc's media identity as the CD player's driver reports it: the sum
// of every track start written as 0x00MMSSFF, plus, for a disc of fewer
// than three tracks, the disc's length in frames.  0 without an audio disc.
std::uint32_t MediaIdentity(const TTrackTable& table);

// The drive GetVolumeID takes: among the CD drives (0 = A .. 25 = Z, in
// letter order), the one asked for when it is a CD drive, else the first;
// -1 without CD drives.
int ChooseVolumeDrive(const std::vector<int>& cdDrives, int driveIndex);

// ---- Benchmark result -----------------------------------------------------------
// The figures of the benchmark window from a benchmark's result record:
// bytes and sectors per area, the four rates (negative: not measured) and
// the areas' first and last LBAs.
struct TBenchFigures {
    std::uint32_t Bytes = 0, Sectors = 0;
    double Rate[4] = {};       // inner normal, outer normal, inner burst, outer burst
    std::int32_t Errors[4] = {};
    std::int32_t InnerFirst = 0, InnerLast = 0, OuterFirst = 0, OuterLast = 0;
};
TBenchFigures BenchmarkFigures(std::int32_t reads, std::int32_t sectorsPerRead, std::int32_t innerLba,
                               std::int32_t outerLba, const std::int32_t ms[4], const std::int32_t errors[4]);
// "%.02d:%.02d:%.02d" parts of a sector count.
void SplitMsf(std::int64_t sectors, int& m, int& s, int& f);

// ---- Track list selection ---------------------------------------------------
struct TTrackListState {
    std::vector<bool> Audio;     // per row
    std::vector<bool> Selected;  // per row
    int Focused = -1;
};
// The row the next-track key toggles (and moves `current` to it); -1 on an
// empty list.
int SelectNextTrackRow(const TTrackListState& s, int& current);

// ---- Level ring (levels shown while no progress window is up) -----------------
struct TLevelRing {
    std::uint32_t Left[16] = {}, Right[16] = {};
    int WriteIndex = 0, ReadIndex = 0;
    int DelayCounter = 0;
    void Clear();
    // One WM_RIP_LEVEL pair; nt selects the platform's catch-up step.
    void Put(std::uint32_t left, std::uint32_t right, bool nt);
};

// The speed the end of a run sets when ChangeSpin is on: the drive's
// maximum (-1) when the speed went through SET CD SPEED; else the saved
// vendor-page speed as 0xFF00 + its byte (no warning shown).  An unknown
// saved speed (-1) gives NoSpeedRestore: nothing is sent.
constexpr int NoSpeedRestore = -2;
int SpeedRestoreValue(bool bySetCdSpeed, int savedSpeed);

// ---- Report figures ----------------------------------------------------------
// Whole seconds a track took (tick difference + 1, masked to 31 bits, / 1000).
std::uint32_t ElapsedSeconds(std::uint32_t startTick, std::uint32_t nowTick);
// Audio seconds / elapsed seconds, elapsed 0 counted as 1.
double SpeedRatio(std::uint32_t audioSeconds, std::uint32_t elapsedSeconds);
// Bytes per second of a benchmark time; negative when the time is below
// 1 ms (not measured).
double BenchRate(std::uint32_t bytes, std::int32_t ms);

}  // namespace wx
