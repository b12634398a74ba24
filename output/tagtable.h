// The table of the tag editor without its window: rows of eight tag texts,
// the row text of the clipboard and the comma- or tab-separated files, the
// fill commands, and the editor's keys in the settings file.  Portable: no
// <windows.h>.
//
// Row text: the eight texts of a row in column order, separated by the
// delimiter, written as they stand (no quoting, no escaping).
#pragma once
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "extraction/TrackTable.h"

class TCustomIniFile;

namespace wx {

enum TTagColumn : int {
    tcTitle = 0,
    tcArtist,
    tcAlbum,
    tcYear,
    tcGenre,
    tcTrack,
    tcComment,
    tcCopyright,
};
constexpr int TagColumnCount = 8;
constexpr int MaxTagEditorRows = 4096;
// Longest texts: the year, a text column of a row with long texts (tracks,
// WMA and TwinVQ files) and of other rows (ID3v1 lengths).
constexpr std::size_t TagYearBytes = 4;
constexpr std::size_t TagLongBytes = 250;
constexpr std::size_t TagShortBytes = 30;

using TTagCells = std::array<std::string, TagColumnCount>;

struct TTagRow {
    std::string Caption;   // "トラック%d" or the file's name
    TTagCells Cells;
    bool Editable = true;  // an audio track or a file; data tracks are left alone
    bool LongText = true;  // text columns take 250 bytes, else 30
    bool HasContent = false;
};

// Genre cell of a record: "-None-" below 0, else the display name.
std::string GenreCellText(int genre);
// The eight cells of a record.
TTagCells CellsOfRecord(const TTrackRecord& r);
// The cells back into a record's tag fields: year and track number cut to
// 10 bytes, the other texts to 255, the genre by name (-1 when the name is
// not found); HasTag set.
void CellsToRecord(const TTagCells& cells, TTrackRecord& r);
// Any text not empty or a genre other than "-None-".
bool CellsHaveContent(const TTagCells& cells);
// Long texts for a file of this name: ".WMA" and ".VQF" in any case.
bool FileTakesLongText(const std::string& path);

// Cuts never split a Shift-JIS character.
std::string CutCell(const std::string& text, int column, bool longText);

// The warnings of a parse, in the order they arose.
enum class TRowWarning { UnknownGenre, TooLong };
struct TParsedRow {
    TTagCells Cells;
    std::vector<TRowWarning> Warnings;
};
// One row text: split at every delimiter (a trailing empty piece after the
// last delimiter does not count); a missing piece is empty, a missing genre
// the name of genre 0; the genre piece by name without regard to case
// ("-None-" when not found, after the warning, unless it is "-None-"
// itself); a year longer than 4 bytes and other texts longer than 250 are
// cut after the warning.
TParsedRow ParseRowText(const std::string& text, char delimiter);
std::string FormatRowText(const TTagCells& cells, char delimiter);

// The warnings of one fill command, to be shown once: how many rows had a
// genre not found, the first of them, and whether any text was cut.
struct TWarningSummary {
    int UnknownGenres = 0;
    std::string FirstUnknownGenreRow;
    bool TooLong = false;
    void Add(TRowWarning w, const std::string& rowText);
};

// Clipboard text as lines: a line ends at CR, LF or character 26, and runs
// of them make no empty lines; only TAB and bytes 32 to 255 stay.
std::vector<std::string> ClipboardLines(const std::string& text);
// File text as lines: LF ends a line, a CR before it goes; a last line
// without LF counts when it is not empty.
std::vector<std::string> FileLines(const std::string& text);
// A file the editor can read as rows: no NUL byte, no UTF-16 byte-order
// mark, and no control byte other than TAB, LF, CR and character 26.
bool IsPlainText(const std::string& text);

// Reading and writing a whole text file (a Shift-JIS path on Windows).
enum class TTextFileResult { Ok, CannotOpen, IoError };
TTextFileResult ReadTextFile(const std::string& path, std::string& text);
TTextFileResult WriteTextFile(const std::string& path, const std::string& text);

// The table.
class TTagTable {
public:
    std::vector<TTagRow> Rows;
    bool Modified = false;

    int Count() const { return int(Rows.size()); }
    // Rows from records: captions by trackMode ("トラック%d" from the
    // pattern, else the file name of FileStem), editable when audio (every
    // file is), long texts for tracks and for WMA and TwinVQ files.  At
    // most MaxTagEditorRows rows.
    void Fill(const std::vector<TTrackRecord>& records, bool trackMode, const std::string& trackPattern,
              bool recordsAreTracks = false);

    // The fill commands; each sets Modified.  `warn` receives the parse
    // warnings with the row text.
    using TWarn = std::function<void(TRowWarning, const std::string& rowText)>;
    // Line k of the file fills row k, until lines or rows run out (rows
    // that are not editable keep their texts).
    void Import(const std::vector<std::string>& lines, char delimiter, const TWarn& warn);
    // Lines into the editable rows from `first` on, until lines or rows run out.
    void Paste(const std::vector<std::string>& lines, int first, char delimiter, const TWarn& warn);
    // The first line into every editable row.
    void PasteAll(const std::string& line, char delimiter, const TWarn& warn);
    // A text into one column of every editable row, cut for the column and row.
    void FillColumn(int column, const std::string& text);
    void FillGenre(const std::string& genreText);
    // Track column of row k: k (from 1).
    void Number();
    // Every editable row's HasContent by its cells.
    void MarkContent();
    // Row texts of the rows, each ended by CR LF.
    std::string Text(const std::vector<int>& rows, char delimiter) const;

private:
    void Put(int row, const TParsedRow& parsed, const std::string& text, const TWarn& warn);
};

// The file-name template: (track, title, artist, album, genre, name out);
// false for a template error.
using TTagNameBuilder = std::function<bool(int, const std::string&, const std::string&, const std::string&,
                                           const std::string&, std::string&)>;
// Output file-name stems of the tracks from the rows' tags: row i stands
// for track trackOfRow[i]; rows whose track is not in the table or not an
// audio track are skipped; the name has the characters that file names may
// not hold replaced (full-width forms when fullWidth) and is cut to 255
// bytes; a template error or an empty name leaves the track as it was.
// The numbers of the tracks named.
std::vector<int> TagsToFileNames(const TTagTable& t, const std::vector<int>& trackOfRow, const TTagNameBuilder& name,
                                 bool fullWidth, TTrackTable& table);

// The editor's keys, section "TagEditor".
struct TTagEditorKeys {
    int WindowWidth = 600, WindowHeight = 240, WindowLeft = 0, WindowTop = 0;
    std::array<int, TagColumnCount> ColumnWidths{};  // -1: the layout's width
    bool CSVDelimTAB = false;
};
TTagEditorKeys ReadTagEditorKeys(TCustomIniFile& ini);
void WriteTagEditorKeys(TCustomIniFile& ini, const TTagEditorKeys& keys);

}  // namespace wx
