#include "output/tagtable.h"

#include <cstdio>

#include "classlib/sjis.h"
#include "output/genrelist.h"
#include "output/mp3defs.h"
#include "output/tagio.h"
#include "settings/inifile.h"

namespace wx {

namespace {

constexpr char kSection[] = "TagEditor";
constexpr const char* kWidthKeys[TagColumnCount] = {"TitleWidth", "ArtistWidth",  "AlbumWidth",   "YearWidth",
                                                    "GenreWidth", "TrackWidth",   "CommentWidth", "CopyrightWidth"};

std::string Upper(const std::string& s) { return SjisUpperCase(s); }

std::string CaptionFor(const std::string& pattern, int track) {
    const std::size_t at = pattern.find("%d");
    if (at == std::string::npos) return pattern + std::to_string(track);
    return pattern.substr(0, at) + std::to_string(track) + pattern.substr(at + 2);
}

std::string FileNameOf(const std::string& path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); i += SjisCharLength(path, i))
        if (path[i] == '\\' || path[i] == '/') start = i + 1;
    return path.substr(start);
}

}  // namespace

std::string GenreCellText(int genre) { return genre < 0 ? std::string(NoGenreText) : GetGenreName(genre); }

TTagCells CellsOfRecord(const TTrackRecord& r) {
    return {r.Title, r.Artist, r.Album, r.Year, GenreCellText(r.Genre), r.TrackText, r.Comment, r.Copyright};
}

void CellsToRecord(const TTagCells& c, TTrackRecord& r) {
    r.Title = SjisCut(c[tcTitle], tagio::MaxTextBytes);
    r.Artist = SjisCut(c[tcArtist], tagio::MaxTextBytes);
    r.Album = SjisCut(c[tcAlbum], tagio::MaxTextBytes);
    r.Year = SjisCut(c[tcYear], tagio::MaxShortTextBytes);
    r.Genre = FindGenreIndex(c[tcGenre]);
    r.TrackText = SjisCut(c[tcTrack], tagio::MaxShortTextBytes);
    r.Comment = SjisCut(c[tcComment], tagio::MaxTextBytes);
    r.Copyright = SjisCut(c[tcCopyright], tagio::MaxTextBytes);
    r.HasTag = true;
}

bool CellsHaveContent(const TTagCells& c) {
    for (int i = 0; i < TagColumnCount; ++i) {
        if (i == tcGenre) continue;
        if (!c[std::size_t(i)].empty()) return true;
    }
    return c[tcGenre] != NoGenreText;
}

bool FileTakesLongText(const std::string& path) {
    const std::string name = Upper(FileNameOf(path));
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string ext = name.substr(dot);
    return ext == ".WMA" || ext == ".VQF";
}

std::string CutCell(const std::string& text, int column, bool longText) {
    if (column == tcYear) return SjisCut(text, TagYearBytes);
    return SjisCut(text, longText ? TagLongBytes : TagShortBytes);
}

TParsedRow ParseRowText(const std::string& text, char delimiter) {
    // The delimiters (comma, TAB) are never the second byte of a
    // double-byte character, so every one of them splits, also after a
    // stray first byte.
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == delimiter) {
            pieces.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    if (start < text.size()) pieces.push_back(text.substr(start));

    TParsedRow out;
    bool tooLong = false;
    for (int c = 0; c < TagColumnCount; ++c) {
        std::string& cell = out.Cells[std::size_t(c)];
        const bool present = std::size_t(c) < pieces.size();
        if (c == tcGenre) {
            if (!present) {
                cell = GetGenreName(0);
                continue;
            }
            const std::string& piece = pieces[std::size_t(c)];
            const int genre = FindGenreIndex(piece);
            if (genre >= 0) {
                cell = GetGenreName(genre);
            } else {
                if (Upper(piece) != Upper(NoGenreText)) out.Warnings.push_back(TRowWarning::UnknownGenre);
                cell = NoGenreText;
            }
            continue;
        }
        if (!present) continue;
        const std::string& piece = pieces[std::size_t(c)];
        const std::size_t limit = c == tcYear ? TagYearBytes : TagLongBytes;
        if (piece.size() > limit) {
            tooLong = true;
            cell = SjisCut(piece, limit);
        } else {
            cell = piece;
        }
    }
    if (tooLong) out.Warnings.push_back(TRowWarning::TooLong);
    return out;
}

std::string FormatRowText(const TTagCells& cells, char delimiter) {
    std::string s;
    for (int c = 0; c < TagColumnCount; ++c) {
        if (c > 0) s += delimiter;
        s += cells[std::size_t(c)];
    }
    return s;
}

std::vector<std::string> ClipboardLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (unsigned char c : text) {
        if (c == '\r' || c == '\n' || c == 26) {
            if (!line.empty()) lines.push_back(line);
            line.clear();
        } else if (c == '\t' || c >= 32) {
            line += char(c);
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::vector<std::string> FileLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const bool last = end == std::string::npos;
        if (last) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!last || !line.empty()) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool IsPlainText(const std::string& text) {
    if (text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF')))
        return false;
    for (unsigned char c : text)
        if (c < 32 && c != '\t' && c != '\n' && c != '\r' && c != 26) return false;
    return true;
}

void TWarningSummary::Add(TRowWarning w, const std::string& rowText) {
    if (w == TRowWarning::TooLong) {
        TooLong = true;
        return;
    }
    if (UnknownGenres++ == 0) FirstUnknownGenreRow = rowText;
}

TTextFileResult ReadTextFile(const std::string& path, std::string& text) {
    text.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return TTextFileResult::CannotOpen;
    char buf[16384];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    return failed ? TTextFileResult::IoError : TTextFileResult::Ok;
}

TTextFileResult WriteTextFile(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return TTextFileResult::CannotOpen;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    return ok ? TTextFileResult::Ok : TTextFileResult::IoError;
}

void TTagTable::Fill(const std::vector<TTrackRecord>& records, bool trackMode, const std::string& trackPattern,
                     bool recordsAreTracks) {
    Rows.clear();
    const std::size_t n = records.size() < std::size_t(MaxTagEditorRows) ? records.size() : MaxTagEditorRows;
    for (std::size_t i = 0; i < n; ++i) {
        const TTrackRecord& r = records[i];
        TTagRow row;
        row.Caption = trackMode ? CaptionFor(trackPattern, int(i + 1)) : FileNameOf(r.FileStem);
        row.Cells = CellsOfRecord(r);
        row.Editable = trackMode ? r.IsAudio : true;
        row.LongText = trackMode || recordsAreTracks || FileTakesLongText(r.FileStem);
        Rows.push_back(std::move(row));
    }
    Modified = false;
}

void TTagTable::Put(int row, const TParsedRow& parsed, const std::string& text, const TWarn& warn) {
    if (warn)
        for (TRowWarning w : parsed.Warnings) warn(w, text);
    Rows[std::size_t(row)].Cells = parsed.Cells;
}

void TTagTable::Import(const std::vector<std::string>& lines, char delimiter, const TWarn& warn) {
    for (std::size_t k = 0; k < lines.size() && k < Rows.size(); ++k) {
        if (!Rows[k].Editable) continue;
        Put(int(k), ParseRowText(lines[k], delimiter), lines[k], warn);
    }
    Modified = true;
}

void TTagTable::Paste(const std::vector<std::string>& lines, int first, char delimiter, const TWarn& warn) {
    std::size_t line = 0;
    for (int r = first < 0 ? 0 : first; r < Count() && line < lines.size(); ++r) {
        if (!Rows[std::size_t(r)].Editable) continue;
        Put(r, ParseRowText(lines[line], delimiter), lines[line], warn);
        ++line;
    }
    Modified = true;
}

void TTagTable::PasteAll(const std::string& line, char delimiter, const TWarn& warn) {
    const TParsedRow parsed = ParseRowText(line, delimiter);
    // The warnings are about the one line: shown once.
    if (warn)
        for (TRowWarning w : parsed.Warnings) warn(w, line);
    for (TTagRow& r : Rows)
        if (r.Editable) r.Cells = parsed.Cells;
    Modified = true;
}

void TTagTable::FillColumn(int column, const std::string& text) {
    if (column < 0 || column >= TagColumnCount) return;
    for (TTagRow& r : Rows)
        if (r.Editable) r.Cells[std::size_t(column)] = column == tcGenre ? text : CutCell(text, column, r.LongText);
    Modified = true;
}

void TTagTable::FillGenre(const std::string& genreText) {
    const int genre = FindGenreIndex(genreText);
    FillColumn(tcGenre, genre < 0 ? std::string(NoGenreText) : GetGenreName(genre));
}

void TTagTable::Number() {
    for (std::size_t k = 0; k < Rows.size(); ++k)
        if (Rows[k].Editable) Rows[k].Cells[tcTrack] = std::to_string(k + 1);
    Modified = true;
}

void TTagTable::MarkContent() {
    for (TTagRow& r : Rows) r.HasContent = CellsHaveContent(r.Cells);
}

std::string TTagTable::Text(const std::vector<int>& rows, char delimiter) const {
    std::string s;
    for (int r : rows) {
        if (r < 0 || r >= Count()) continue;
        s += FormatRowText(Rows[std::size_t(r)].Cells, delimiter);
        s += "\r\n";
    }
    return s;
}

std::vector<int> TagsToFileNames(const TTagTable& t, const std::vector<int>& trackOfRow, const TTagNameBuilder& name,
                                 bool fullWidth, TTrackTable& table) {
    std::vector<int> named;
    for (int i = 0; i < t.Count() && std::size_t(i) < trackOfRow.size(); ++i) {
        const int track = trackOfRow[std::size_t(i)];
        if (track < 1 || track > table.TrackCount || track >= LeadOutSlot) continue;
        TTrackRecord& slot = table.Slots[std::size_t(track)];
        if (!slot.IsAudio) continue;
        const TTagCells& c = t.Rows[std::size_t(i)].Cells;
        std::string out;
        if (!name || !name(track, c[tcTitle], c[tcArtist], c[tcAlbum], c[tcGenre], out)) continue;
        const std::string stem = SjisCut(ReplaceInvalidFileChars(out, fullWidth), tagio::MaxTextBytes);
        if (stem.empty()) continue;
        slot.FileStem = stem;
        named.push_back(track);
    }
    return named;
}

TTagEditorKeys ReadTagEditorKeys(TCustomIniFile& ini) {
    TTagEditorKeys k;
    auto size = [&](const char* key, int def) {
        const int v = ini.ReadInteger(kSection, key, -1);
        return v < 0 ? def : v;
    };
    auto position = [&](const char* key) {
        const int v = ini.ReadInteger(kSection, key, -256);
        return v < -255 ? 0 : v;
    };
    k.WindowWidth = size("WindowWidth", 600);
    k.WindowHeight = size("WindowHeight", 240);
    k.WindowLeft = position("WindowLeft");
    k.WindowTop = position("WindowTop");
    for (int c = 0; c < TagColumnCount; ++c) k.ColumnWidths[std::size_t(c)] = size(kWidthKeys[c], -1);
    k.CSVDelimTAB = ini.ReadBool(kSection, "CSVDelimTAB", false);
    return k;
}

void WriteTagEditorKeys(TCustomIniFile& ini, const TTagEditorKeys& k) {
    ini.WriteInteger(kSection, "WindowWidth", k.WindowWidth);
    ini.WriteInteger(kSection, "WindowHeight", k.WindowHeight);
    ini.WriteInteger(kSection, "WindowLeft", k.WindowLeft);
    ini.WriteInteger(kSection, "WindowTop", k.WindowTop);
    for (int c = 0; c < TagColumnCount; ++c) ini.WriteInteger(kSection, kWidthKeys[c], k.ColumnWidths[std::size_t(c)]);
    ini.WriteBool(kSection, "CSVDelimTAB", k.CSVDelimTAB);
}

}  // namespace wx
