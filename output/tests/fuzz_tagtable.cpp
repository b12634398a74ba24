// libFuzzer target: the tag editor's row texts from files and the
// clipboard.  The first byte chooses the delimiter.  Cuts must fall on
// character boundaries within the column limits, the genre must be one the
// table knows, clean rows must come back from their own row text, and the
// fills must keep every row within its limits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "classlib/sjis.h"
#include "output/genrelist.h"
#include "output/mp3defs.h"
#include "output/tagtable.h"
#include "tests/fuzzcheck.h"

namespace {

using fuzz::Check;

void CheckCells(const wx::TTagCells& c, bool longText) {
    for (int i = 0; i < wx::TagColumnCount; ++i) {
        const std::string& s = c[std::size_t(i)];
        if (i == wx::tcGenre) {
            Check(s == NoGenreText || FindGenreIndex(s) >= 0, "the genre is known");
            continue;
        }
        const std::size_t limit = i == wx::tcYear ? wx::TagYearBytes : (longText ? wx::TagLongBytes : wx::TagShortBytes);
        Check(s.size() <= limit && wx::SjisCut(s, limit) == s, "within the column's limit, cut on a character boundary");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const char delimiter = (data[0] & 1) ? '\t' : ',';
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    for (const std::string& line : wx::ClipboardLines(text)) {
        Check(!line.empty(), "no empty clipboard line");
        for (unsigned char c : line) Check(c == '\t' || c >= 32, "only TAB and printable bytes");
    }
    const std::vector<std::string> lines = wx::FileLines(text);
    for (const std::string& line : lines) {
        const wx::TParsedRow p = wx::ParseRowText(line, delimiter);
        CheckCells(p.Cells, true);
        bool clean = true;
        for (const std::string& s : p.Cells) clean = clean && s.find(delimiter) == std::string::npos;
        if (clean) {
            const wx::TParsedRow again = wx::ParseRowText(wx::FormatRowText(p.Cells, delimiter), delimiter);
            Check(again.Cells == p.Cells, "a clean row comes back from its own text");
            Check(again.Warnings.empty(), "its own text raises no warning");
        }
    }

    wx::TTagTable t;
    wx::TTrackRecord mp3, wma;
    mp3.FileStem = "a.mp3";
    wma.FileStem = "b.wma";
    t.Fill({mp3, wma, mp3}, false, "");
    t.Import(lines, delimiter, {});
    t.Paste(wx::ClipboardLines(text), 1, delimiter, {});
    for (int column = 0; column < wx::TagColumnCount; ++column)
        if (column != wx::tcGenre) t.FillColumn(column, text);
    t.FillGenre(text);
    for (const wx::TTagRow& r : t.Rows) CheckCells(r.Cells, r.LongText);
    wx::TTrackRecord back;
    wx::CellsToRecord(t.Rows[0].Cells, back);
    Check(back.Year.size() <= 10 && back.TrackText.size() <= 10 && back.Title.size() <= 255, "record lengths");
    return 0;
}
