// The rules of digital play that need no window: the play range and play
// list of a request, the time code shown for a play position, where the CD
// player panel's buttons move the play, and the panel's reading of the
// level ring.  Portable: no <windows.h>.
#pragma once
#include <cstdint>
#include <string>

#include "extraction/TrackTable.h"
#include "extraction/ripplan.h"
#include "extraction/transrec.h"

namespace wx {

// The play range and play list of a request starting at `track`: StartLba
// (the track's start plus its RangeStart), EndLba, LastReadableLba and the
// PlayList with its audio flags (every track of the disc, ended by -1).
// The play runs to the end of the disc's last audio track, one read block
// short of it when the disc ends with a data track.  False when the disc has
// no audio track.
bool FillDigitalPlayRange(const TTrackTable& table, int track, std::int32_t sectorsPerRead, TTransferRecord& r);

// The time code of a play position (an LBA) in a display mode: 0 time into
// the track, 1 time left in the track, 2 time left on the disc.
struct TPlayTime {
    bool Shown = false;  // false: the position lies before every track
    int Track = 0;
    std::int32_t Lba = 0;
    std::string Text;
};
TPlayTime PlayPositionText(const TTrackTable& table, std::int32_t position, int mode);

// Where a button of the CD player panel moves the play.
struct TPanelMove {
    enum TKind { Nothing, Seek, Stop } Kind = Nothing;
    std::int32_t Lba = 0;
};
// 10 s forward; past the lead-out the play stops; into a data track nothing.
TPanelMove SkipForward(const TTrackTable& table, std::int32_t playLba);
// 10 s back, not before the start of track 1.
TPanelMove SkipBack(const TTrackTable& table, std::int32_t playLba);
// The start of the next audio track, from the last to track 1.
TPanelMove NextTrack(const TTrackTable& table, int playTrack);
// The start of the playing track, or of the audio track before it when the
// play is at most 5 s into the track.
TPanelMove PrevTrack(const TTrackTable& table, int playTrack, std::int32_t playLba);

// One tick of the panel's level timer (threshold 12 on Windows NT, else 3):
// true with the pair to show.  Markers are taken but not shown.
bool TakeLevel(TLevelRing& ring, bool nt, std::uint32_t& left, std::uint32_t& right);

}  // namespace wx
