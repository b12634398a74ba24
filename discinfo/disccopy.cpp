#include "discinfo/disccopy.h"

#include "classlib/sjis.h"

namespace wx {

namespace {

constexpr std::size_t kMaxText = 255;

std::string Shown(const TCDTextInfo& b, const TCDTextEntry& e, int slot) {
    const std::string t = e.Get(slot);
    return b.CharCode == 1 ? ConvAnsiTo8859(t) : t;
}

// A one-line tag text (title, artist, album, year): a line break or other
// control character of a disc text becomes a blank.  Control bytes are
// never part of a double-byte character.
std::string OneLine(const std::string& text) {
    std::string s = SjisCut(text, kMaxText);
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return s;
}

bool SetStem(TTrackRecord& slot, const std::string& raw, bool fullWidth) {
    const std::string stem = SjisCut(ReplaceInvalidFileChars(raw, fullWidth), kMaxText);
    if (stem.empty()) return false;
    slot.FileStem = stem;
    return true;
}

}  // namespace

int WritableTracks(const TTrackTable& table) {
    int n = table.TrackCount;
    if (n > LeadOutSlot - 1) n = LeadOutSlot - 1;
    return n < 0 ? 0 : n;
}

std::vector<TCdTextRow> CdTextRows(const TCDTextInfo& b) {
    std::vector<TCdTextRow> rows;
    for (int t = b.FirstTrack; t <= b.LastTrack; ++t) {
        const TCDTextEntry* e = b.Entry(t);
        if (!e || t < 0) continue;
        TCdTextRow r;
        r.Track = t;
        r.Title = Shown(b, *e, kCdTextTitle);
        r.Performer = Shown(b, *e, kCdTextPerformer);
        r.Composer = Shown(b, *e, kCdTextComposer);
        r.Arranger = Shown(b, *e, kCdTextArranger);
        r.Songwriter = Shown(b, *e, kCdTextSongwriter);
        r.Message = Shown(b, *e, kCdTextMessage);
        rows.push_back(std::move(r));
    }
    return rows;
}

std::string CdTextAlbum(const TCDTextInfo& b) {
    const TCDTextEntry* e = b.Entry(0);
    return e ? Shown(b, *e, kCdTextTitle) : std::string();
}

std::string CdTextAlbumArtist(const TCDTextInfo& b) {
    const TCDTextEntry* e = b.Entry(0);
    return e ? Shown(b, *e, kCdTextPerformer) : std::string();
}

std::vector<int> CdTextToTags(const std::vector<TCdTextRow>& rows, const std::string& album, int genre,
                              TTrackTable& table) {
    std::vector<int> done;
    const int last = WritableTracks(table);
    for (const TCdTextRow& r : rows) {
        if (r.Track < 1 || r.Track > last) continue;
        TTrackRecord& s = table.Slots[r.Track];
        if (!s.IsAudio) continue;
        s.Title = OneLine(r.Title);
        s.Artist = OneLine(r.Performer);
        s.Album = OneLine(album);
        s.Comment = SjisCut(r.Message, kMaxText);
        s.Genre = genre;
        s.Copyright.clear();
        s.HasTag = true;
        done.push_back(r.Track);
    }
    return done;
}

std::vector<int> CdTextToFileNames(const std::vector<TCdTextRow>& rows, const std::string& album,
                                   const TNameBuilder& name, bool fullWidth, TTrackTable& table) {
    std::vector<int> done;
    const int last = WritableTracks(table);
    for (const TCdTextRow& r : rows) {
        if (r.Track < 1 || r.Track > last) continue;
        std::string raw;
        if (!name(r.Track, r.Title, r.Performer, album, "", raw)) continue;
        if (SetStem(table.Slots[r.Track], raw, fullWidth)) done.push_back(r.Track);
    }
    return done;
}

std::vector<int> CddbToTags(const TCddbDisc& disc, TTrackTable& table) {
    std::vector<int> done;
    const int last = WritableTracks(table);
    for (int i = 1; i <= last && i <= static_cast<int>(disc.Tracks.size()); ++i) {
        const TCddbTrackText& t = disc.Tracks[static_cast<std::size_t>(i - 1)];
        if (t.Title.empty()) continue;
        TTrackRecord& s = table.Slots[i];
        s.Title = OneLine(t.Title);
        s.Artist = OneLine(disc.Artist);
        s.Album = OneLine(disc.Album);
        s.Comment = SjisCut(t.Extended, kMaxText);  // a comment may run over lines
        s.Genre = disc.Genre;
        s.Year = SjisCut(OneLine(disc.Year), 10);
        s.HasTag = true;
        done.push_back(i);
    }
    return done;
}

std::vector<int> CddbToFileNames(const TCddbDisc& disc, const TNameBuilder& name, bool fullWidth,
                                 TTrackTable& table) {
    std::vector<int> done;
    const int last = WritableTracks(table);
    for (int i = 1; i <= last && i <= static_cast<int>(disc.Tracks.size()); ++i) {
        std::string raw;
        if (!name(i, disc.Tracks[static_cast<std::size_t>(i - 1)].Title, disc.Artist, disc.Album, disc.GenreText,
                  raw))
            continue;
        if (SetStem(table.Slots[i], raw, fullWidth)) done.push_back(i);
    }
    return done;
}

}  // namespace wx
