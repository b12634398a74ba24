// The tag editor's table: row texts in and out (no quoting), the parse
// rules with their warnings and cuts, the fill commands, the clipboard and
// file line rules, text files and the editor's keys.
#include <gtest/gtest.h>

#include "output/mp3defs.h"
#include "output/tagtable.h"
#include "settings/inifile.h"
#include "standins/tests/TestImage.h"

using namespace wx;

namespace {

// 亜 (0x88 0x9F) and ソ (0x83 0x5C, whose second byte is a backslash).
const std::string kA = "\x88\x9F";
const std::string kSo = "\x83\x5C";

TTrackRecord Track(const std::string& title, int genre, bool audio = true) {
    TTrackRecord r;
    r.Title = title;
    r.Artist = "Artist " + kSo;
    r.Album = "Album";
    r.Year = "1999";
    r.Genre = genre;
    r.TrackText = "1";
    r.Comment = "Comment";
    r.Copyright = "(c) " + kA;
    r.IsAudio = audio;
    return r;
}

struct TWarnings {
    std::vector<std::pair<TRowWarning, std::string>> Seen;
    TTagTable::TWarn Fn() {
        return [this](TRowWarning w, const std::string& text) { Seen.push_back({w, text}); };
    }
};

}  // namespace

TEST(TagTable, ExportedRowsImportBackWithoutQuoting) {
    TTagTable t;
    t.Fill({Track("One " + kA, 17), Track("Two", -1), Track("Three", 8)}, true, "Track %d");
    EXPECT_EQ(t.Rows[1].Caption, "Track 2");
    const std::string csv = t.Text({0, 1, 2}, ',');
    const std::vector<std::string> lines = FileLines(csv);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "One " + kA + ",Artist " + kSo + ",Album,1999,Rock,1,Comment,(c) " + kA);
    EXPECT_EQ(lines[1], "Two,Artist " + kSo + ",Album,1999,-None-,1,Comment,(c) " + kA);

    TTagTable back;
    back.Fill({TTrackRecord{}, TTrackRecord{}, TTrackRecord{}}, false, "", true);
    TWarnings w;
    back.Import(lines, ',', w.Fn());
    EXPECT_TRUE(w.Seen.empty());
    EXPECT_TRUE(back.Modified);
    for (int r = 0; r < 3; ++r) EXPECT_EQ(back.Rows[std::size_t(r)].Cells, t.Rows[std::size_t(r)].Cells) << r;
    EXPECT_EQ(back.Text({0, 1, 2}, ','), csv);

    // The tab delimiter; a comma inside a text then stays in its column,
    // while with the comma delimiter it moves the rest one column on.
    t.Rows[0].Cells[tcTitle] = "a,b";
    const TParsedRow tab = ParseRowText(FormatRowText(t.Rows[0].Cells, '\t'), '\t');
    EXPECT_EQ(tab.Cells, t.Rows[0].Cells);
    const TParsedRow comma = ParseRowText(FormatRowText(t.Rows[0].Cells, ','), ',');
    EXPECT_EQ(comma.Cells[tcTitle], "a");
    EXPECT_EQ(comma.Cells[tcArtist], "b");
}

TEST(TagTable, ParseFillsMissingPiecesAndWarns) {
    ResetGenreSettings();
    TParsedRow p = ParseRowText("a,b", ',');
    EXPECT_EQ(p.Cells[tcTitle], "a");
    EXPECT_EQ(p.Cells[tcArtist], "b");
    EXPECT_EQ(p.Cells[tcGenre], "Blues");  // genre 0 for a missing piece
    EXPECT_EQ(p.Cells[tcCopyright], "");
    EXPECT_TRUE(p.Warnings.empty());
    // A trailing empty piece does not count; one in the middle does.
    p = ParseRowText("t,,al,", ',');
    EXPECT_EQ(p.Cells[tcArtist], "");
    EXPECT_EQ(p.Cells[tcAlbum], "al");
    EXPECT_EQ(p.Cells[tcGenre], "Blues");

    EXPECT_EQ(ParseRowText("t,a,l,y,  rock ,n", ',').Cells[tcGenre], "Rock");
    p = ParseRowText("t,a,l,y,-none-,n", ',');
    EXPECT_EQ(p.Cells[tcGenre], "-None-");
    EXPECT_TRUE(p.Warnings.empty());
    p = ParseRowText("t,a,l,y,Polka Dots,n", ',');
    EXPECT_EQ(p.Cells[tcGenre], "-None-");
    ASSERT_EQ(p.Warnings.size(), 1u);
    EXPECT_EQ(p.Warnings[0], TRowWarning::UnknownGenre);

    p = ParseRowText("t,a,l,19999", ',');
    EXPECT_EQ(p.Cells[tcYear], "1999");
    ASSERT_EQ(p.Warnings.size(), 1u);
    EXPECT_EQ(p.Warnings[0], TRowWarning::TooLong);
    // Cuts never split a double-byte character: 251 bytes ending in half of 亜.
    p = ParseRowText(std::string(249, 'x') + kA + "z", ',');
    EXPECT_EQ(p.Cells[tcTitle], std::string(249, 'x'));
    p = ParseRowText("t,a,l,1" + kA, ',');
    EXPECT_EQ(p.Cells[tcYear], "1" + kA);
    p = ParseRowText("t,a,l,123" + kA, ',');
    EXPECT_EQ(p.Cells[tcYear], "123");
}

TEST(TagTable, FillCommandsLeaveDataTracksAlone) {
    TTagTable t;
    t.Fill({Track("1", 0), Track("2", 0, false), Track("3", 0), Track("4", 0)}, true, "T%d");
    EXPECT_FALSE(t.Rows[1].Editable);

    // Five lines pasted from row 3 fill rows 3 and 4 only.
    TWarnings w;
    t.Paste({"p1", "p2", "p3", "p4", "p5"}, 2, ',', w.Fn());
    EXPECT_EQ(t.Rows[2].Cells[tcTitle], "p1");
    EXPECT_EQ(t.Rows[3].Cells[tcTitle], "p2");
    EXPECT_EQ(t.Rows[0].Cells[tcTitle], "1");
    // From row 1 the data track is stepped over without using a line.
    t.Paste({"q1", "q2"}, 0, ',', w.Fn());
    EXPECT_EQ(t.Rows[0].Cells[tcTitle], "q1");
    EXPECT_EQ(t.Rows[1].Cells[tcTitle], "2");
    EXPECT_EQ(t.Rows[2].Cells[tcTitle], "q2");

    t.PasteAll("all,x,y,2001,Jazz", ',', w.Fn());
    EXPECT_EQ(t.Rows[3].Cells[tcGenre], "Jazz");
    EXPECT_EQ(t.Rows[1].Cells[tcTitle], "2");

    t.Number();
    EXPECT_EQ(t.Rows[0].Cells[tcTrack], "1");
    EXPECT_EQ(t.Rows[3].Cells[tcTrack], "4");
    EXPECT_EQ(t.Rows[1].Cells[tcTrack], "1");

    t.FillGenre("soundtrack");
    EXPECT_EQ(t.Rows[2].Cells[tcGenre], "Soundtrack");
    t.FillGenre("no such genre");
    EXPECT_EQ(t.Rows[2].Cells[tcGenre], "-None-");

    // An MP3 file takes 30 bytes per text, a WMA file 250; the year 4.
    TTagTable files;
    TTrackRecord mp3, wma;
    mp3.FileStem = "C:\\m\\a.mp3";
    wma.FileStem = "C:\\m\\b.WmA";
    files.Fill({mp3, wma}, false, "");
    EXPECT_EQ(files.Rows[0].Caption, "a.mp3");
    files.FillColumn(tcComment, std::string(29, 'c') + kA + "tail");
    EXPECT_EQ(files.Rows[0].Cells[tcComment], std::string(29, 'c'));
    EXPECT_EQ(files.Rows[1].Cells[tcComment], std::string(29, 'c') + kA + "tail");
    files.FillColumn(tcYear, "20245");
    EXPECT_EQ(files.Rows[1].Cells[tcYear], "2024");

    files.Rows[0].Cells = CellsOfRecord(TTrackRecord{});
    files.MarkContent();
    EXPECT_FALSE(files.Rows[0].HasContent);
    EXPECT_TRUE(files.Rows[1].HasContent);
    TTrackRecord back;
    CellsToRecord(files.Rows[1].Cells, back);
    EXPECT_EQ(back.Year, "2024");
    EXPECT_EQ(back.Genre, -1);
    EXPECT_TRUE(back.HasTag);
}

TEST(TagTable, ClipboardAndFileLines) {
    EXPECT_EQ(ClipboardLines("a\r\n\r\nb\x1A" "c\x01\td\n"), (std::vector<std::string>{"a", "b", "c\td"}));
    EXPECT_EQ(ClipboardLines(""), std::vector<std::string>{});
    EXPECT_EQ(FileLines("a\r\n\r\nb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(FileLines("a\n"), (std::vector<std::string>{"a"}));

    // Text the editor can read, and files it refuses.
    const struct {
        std::string text;
        bool plain;
    } kinds[] = {
        {"", true},
        {"a,b\tc\r\n" + kSo + "\x1A", true},
        {std::string("a\0,b", 5), false},                     // a NUL byte
        {std::string("\xFF\xFE" "a\0", 4), false},           // UTF-16, little-endian
        {"\xFE\xFF\x30\xBD", false},                         // UTF-16 without a NUL
        {"ID3\x03\x01", false},                               // other control bytes
    };
    for (const auto& k : kinds) EXPECT_EQ(IsPlainText(k.text), k.plain) << k.text;

    // The warnings of a fill: the first row of an unknown genre and how many.
    TWarningSummary w;
    w.Add(TRowWarning::TooLong, "long");
    w.Add(TRowWarning::UnknownGenre, "first");
    w.Add(TRowWarning::UnknownGenre, "second");
    EXPECT_TRUE(w.TooLong);
    EXPECT_EQ(w.UnknownGenres, 2);
    EXPECT_EQ(w.FirstUnknownGenreRow, "first");

    wx::testimg::TempDir dir;
    std::string text;
    EXPECT_EQ(ReadTextFile(dir.File("missing.csv"), text), TTextFileResult::CannotOpen);
    EXPECT_EQ(WriteTextFile(dir.File("no/such/dir.csv"), "x"), TTextFileResult::CannotOpen);
    ASSERT_EQ(WriteTextFile(dir.File("t.csv"), "x," + kSo + "\r\n"), TTextFileResult::Ok);
    ASSERT_EQ(ReadTextFile(dir.File("t.csv"), text), TTextFileResult::Ok);
    EXPECT_EQ(text, "x," + kSo + "\r\n");
#ifndef _WIN32
    // A write that the device refuses is an input/output error.
    if (FILE* probe = std::fopen("/dev/full", "wb")) {
        std::fclose(probe);
        EXPECT_EQ(WriteTextFile("/dev/full", std::string(100000, 'x')), TTextFileResult::IoError);
    }
#endif
}

TEST(TagTable, EditorKeys) {
    TMemIniFile ini;
    TTagEditorKeys k = ReadTagEditorKeys(ini);
    EXPECT_EQ(k.WindowWidth, 600);
    EXPECT_EQ(k.WindowHeight, 240);
    EXPECT_EQ(k.ColumnWidths[tcCopyright], -1);
    EXPECT_FALSE(k.CSVDelimTAB);
    ini.SetText("[TagEditor]\r\nWindowLeft=-300\r\nWindowTop=-20\r\nGenreWidth=90\r\nCSVDelimTAB=Yes\r\n");
    k = ReadTagEditorKeys(ini);
    EXPECT_EQ(k.WindowLeft, 0);
    EXPECT_EQ(k.WindowTop, -20);
    EXPECT_EQ(k.ColumnWidths[tcGenre], 90);
    EXPECT_TRUE(k.CSVDelimTAB);
    k.CSVDelimTAB = false;
    k.ColumnWidths[tcTitle] = 140;
    WriteTagEditorKeys(ini, k);
    EXPECT_NE(ini.Text().find("CSVDelimTAB=No"), std::string::npos);
    EXPECT_EQ(ReadTagEditorKeys(ini).ColumnWidths[tcTitle], 140);
}
