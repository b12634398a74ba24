// Copying disc titles found by CD-TEXT or CDDB into the main window's track
// table: as tag fields, and as output file-name stems built by the name
// template.  Only slots of tracks that exist are written (1 up to the
// table's track count, never past slot 99), whatever the disc data claims.
// Portable: no <windows.h>.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "discinfo/cdtext.h"
#include "extraction/TrackTable.h"

namespace wx {

// The file-name template: (track, title, artist, album, genre, name out);
// false when the template reports an error.
using TNameBuilder = std::function<bool(int, const std::string&, const std::string&, const std::string&,
                                        const std::string&, std::string&)>;

// One row of the CD-TEXT view: texts of one track, converted to
// ISO-8859-1 when the block's character code is 1.
struct TCdTextRow {
    int Track = 0;
    std::string Title, Performer, Composer, Arranger, Songwriter, Message;
};

// The rows of a block: its first to its last track that has an entry.
std::vector<TCdTextRow> CdTextRows(const TCDTextInfo& block);
// Entry 0's title and performer (the album and its artist), converted.
std::string CdTextAlbum(const TCDTextInfo& block);
std::string CdTextAlbumArtist(const TCDTextInfo& block);

// Each row's title, performer and message as the tags of the slot of its
// track number (audio tracks only), with the album and genre given;
// Copyright emptied, HasTag set.  The numbers of the tracks written.
std::vector<int> CdTextToTags(const std::vector<TCdTextRow>& rows, const std::string& album, int genre,
                              TTrackTable& table);

// File-name stems from the template for each row (title, performer as
// artist, the album, no genre).  The numbers of the tracks written.
std::vector<int> CdTextToFileNames(const std::vector<TCdTextRow>& rows, const std::string& album,
                                   const TNameBuilder& name, bool fullWidth, TTrackTable& table);

// One track's texts in the CDDB dialog (track 1 first).
struct TCddbTrackText {
    std::string Title;
    std::string Extended;
};

struct TCddbDisc {
    std::string Artist, Album, Year, GenreText;
    int Genre = -1;  // the tag's genre number
    std::vector<TCddbTrackText> Tracks;
};

// Tags of every track with a non-empty title (Year at most 10 bytes).
std::vector<int> CddbToTags(const TCddbDisc& disc, TTrackTable& table);
// File-name stems from the template for every track.
std::vector<int> CddbToFileNames(const TCddbDisc& disc, const TNameBuilder& name, bool fullWidth,
                                 TTrackTable& table);

// Slots that may be written: 1 .. min(track count, 99).
int WritableTracks(const TTrackTable& table);

}  // namespace wx
