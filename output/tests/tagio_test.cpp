#include "output/tagio.h"

#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <memory>

#include "output/id3tag.h"
#include "output/mp3defs.h"
#include "tagtest_util.h"

using namespace tagtest;
using namespace tagio;

namespace {

class TagIO : public ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        ResetGenreSettings();
    }
};

// 亜 is 0x88 0x9F: its trail byte has the value of a lead byte.
const std::string kA = "\x88\x9F";

wx::TTrackRecord Sample() {
    wx::TTrackRecord r;
    r.Title = "Title";
    r.Artist = "Artist";
    r.Album = "Album";
    r.Year = "2001";
    r.Comment = "Comment";
    r.Copyright = "(C) Maker";
    r.TrackText = "4/12";
    r.Genre = 17;
    r.HasTag = true;
    return r;
}

std::string Field(const TID3v1Block& b, int offset, int n) {
    return std::string(reinterpret_cast<const char*>(b) + offset, static_cast<std::size_t>(n));
}

}  // namespace

TEST_F(TagIO, ID3v1ByteLayout) {
    wx::TTrackRecord r = Sample();
    r.Comment = std::string(40, 'c');
    r.Year = "20011";
    r.Genre = -1;
    TID3v1Block b;
    TrackBufToID3Tag(r, b);
    EXPECT_EQ(Field(b, 0, 3), "TAG");
    EXPECT_EQ(Field(b, 3, 30), "Title" + std::string(25, ' '));
    EXPECT_EQ(Field(b, 33, 30), "Artist" + std::string(24, ' '));
    EXPECT_EQ(Field(b, 63, 30), "Album" + std::string(25, ' '));
    EXPECT_EQ(Field(b, 93, 4), "2001");
    EXPECT_EQ(Field(b, 97, 30), std::string(30, 'c'));
    EXPECT_EQ(b[127], 255);  // genre -1

    wx::TTrackRecord back;
    back.Copyright = "old";
    back.TrackText = "old";
    ID3TagToTrackInfo(b, back);
    EXPECT_EQ(back.Title, "Title");
    EXPECT_EQ(back.Artist, "Artist");
    EXPECT_EQ(back.Year, "2001");
    EXPECT_EQ(back.Comment, std::string(30, 'c'));
    EXPECT_EQ(back.Genre, 255);
    EXPECT_EQ(back.Copyright, "");
    EXPECT_EQ(back.TrackText, "");
}

TEST_F(TagIO, ID3v1CutNeverSplitsADoubleByteCharacter) {
    TID3v1Block b;
    wx::TTrackRecord r;
    // 29 single bytes and a double-byte character: its lead byte is the 30th.
    r.Title = std::string(29, 'a') + kA;
    // Fifteen double-byte characters fill 30 bytes exactly; the 30th byte is
    // a trail byte that looks like a lead byte and must stay.
    r.Artist = kA;
    for (int i = 0; i < 14; ++i) r.Artist += kA;
    // 29 bytes ending in a lone lead byte are written as they are.
    r.Album = std::string(28, 'b') + "\x88";
    // Year: three single bytes and a double-byte character.
    r.Year = "200" + kA;
    TrackBufToID3Tag(r, b);
    EXPECT_EQ(Field(b, 3, 30), std::string(29, 'a') + " ");
    EXPECT_EQ(Field(b, 33, 30), r.Artist);
    EXPECT_EQ(Field(b, 63, 30), r.Album + " ");
    EXPECT_EQ(Field(b, 93, 4), "200 ");
}

TEST_F(TagIO, ID3v1FieldsReadWithInnerZeroBytes) {
    TID3v1Block b;
    std::memset(b, 0, sizeof(b));
    std::memcpy(b, "TAGABC", 6);
    std::memcpy(b + 33, "AB\0C   ", 7);
    std::memcpy(b + 97, "AB\0C   ", 7);
    wx::TTrackRecord r;
    ID3TagToTrackInfo(b, r);
    EXPECT_EQ(r.Title, "ABC");
    EXPECT_EQ(r.Artist, std::string("AB\0C", 4));
    EXPECT_EQ(r.Comment, std::string("AB\0C", 4));  // byte 126 is 0: not ID3v1.1
    EXPECT_EQ(r.Genre, 0);
    // ID3v1.1: byte 125 zero, the track number in byte 126.  The comment is
    // the 28 bytes before them, up to their first zero.
    b[126] = 7;
    ID3TagToTrackInfo(b, r);
    EXPECT_EQ(r.Comment, "AB");
    std::memcpy(b + 97, "Comment of the other program", 28);
    ID3TagToTrackInfo(b, r);
    EXPECT_EQ(r.Comment, "Comment of the other program");
}

TEST_F(TagIO, ID3v1OnMp3FilesOnly) {
    const std::string mp3 = Path("a.mp3");
    const Bytes audio = Audio(1000);
    WriteAll(mp3, audio);
    wx::TTrackRecord r = Sample();
    ASSERT_TRUE(WriteTag(mp3, r));
    r.Title = "Second";
    ASSERT_TRUE(WriteTag(mp3, r));  // replaces the first block
    Bytes b = ReadAll(mp3);
    ASSERT_EQ(b.size(), audio.size() + 128);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 1000), audio);
    wx::TTrackRecord got;
    ASSERT_TRUE(ReadTag(mp3, got));
    EXPECT_EQ(got.Title, "Second");
    EXPECT_EQ(got.Genre, 17);

    // Behind an ID3v2 tag the frame header is looked for after the tag.
    const std::string tagged = Path("b.mp3");
    WriteAll(tagged, Tag(Frame("TIT2", Bytes{0, 'x'}), 64) + audio);
    ASSERT_TRUE(WriteTag(tagged, r));
    EXPECT_EQ(ReadAll(tagged).size(), 64 + audio.size() + 128);

    // A block of the ID3v1.1 layout (another program's) keeps its track
    // number over a rewrite; the comment then has 28 bytes.
    {
        Bytes v11 = ReadAll(mp3);
        v11[v11.size() - 3] = 0;  // byte 125
        v11[v11.size() - 2] = 9;  // byte 126: track 9
        WriteAll(mp3, v11);
        r.Comment = std::string(29, 'k');
        ASSERT_TRUE(WriteTag(mp3, r));
        const Bytes after = ReadAll(mp3);
        ASSERT_EQ(after.size(), audio.size() + 128);
        TID3v1Block block;
        std::memcpy(block, after.data() + audio.size(), 128);
        EXPECT_EQ(Field(block, 97, 28), std::string(28, 'k'));
        EXPECT_EQ(block[125], 0);
        EXPECT_EQ(block[126], 9);
        EXPECT_EQ(block[127], 17);
        ASSERT_TRUE(ReadTag(mp3, got));
        EXPECT_EQ(got.Comment, std::string(28, 'k'));
        // A plain ID3v1 block stays plain: the comment has its 30 bytes.
        Bytes plain = after;
        plain[plain.size() - 3] = ' ';
        plain[plain.size() - 2] = ' ';
        WriteAll(mp3, plain);
        ASSERT_TRUE(WriteTag(mp3, r));
        ASSERT_TRUE(ReadTag(mp3, got));
        EXPECT_EQ(got.Comment, std::string(29, 'k'));
        r = Sample();
        r.Title = "Second";
    }

    // Not MP3: a WAV file, a file too short, an ID3v2 tag with no frame
    // header behind it, a missing file.
    const std::string wav = Path("c.wav");
    const Bytes riff = Str("RIFF") + Bytes(500, 1);
    WriteAll(wav, riff);
    EXPECT_FALSE(WriteTag(wav, r));
    EXPECT_FALSE(ReadTag(wav, got));
    EXPECT_EQ(ReadAll(wav), riff);
    const std::string tiny = Path("d.mp3");
    WriteAll(tiny, Audio(132));
    EXPECT_FALSE(WriteTag(tiny, r));
    EXPECT_EQ(ReadAll(tiny).size(), 132u);
    WriteAll(tiny, Audio(133));
    EXPECT_TRUE(WriteTag(tiny, r));
    const std::string junk = Path("e.mp3");
    WriteAll(junk, Tag(Bytes{}, 64) + riff);
    EXPECT_FALSE(WriteTag(junk, r));
    EXPECT_FALSE(WriteTag(Path("none.mp3"), r));
    got.Title = "keep";
    EXPECT_FALSE(ReadTag(Path("none.mp3"), got));
    EXPECT_EQ(got.Title, "");  // the reader clears first
    EXPECT_EQ(got.Genre, -1);
}

TEST_F(TagIO, EmphasisFlag) {
    const std::string f = Path("e.mp3");
    WriteAll(f, Tag(Frame("TIT2", Bytes{0, 'x'}), 64) + Audio(500));
    ASSERT_TRUE(SetEmphasisFlag(f, true));
    Bytes b = ReadAll(f);
    EXPECT_EQ(b[64 + 3], 0x65);
    ASSERT_TRUE(SetEmphasisFlag(f, false));
    b = ReadAll(f);
    EXPECT_EQ(b[64 + 3], 0x64);
    EXPECT_EQ(b[64], 0xFF);
    const std::string wav = Path("w.wav");
    WriteAll(wav, Bytes(400, 'R'));
    EXPECT_FALSE(SetEmphasisFlag(wav, true));
    EXPECT_EQ(ReadAll(wav), Bytes(400, 'R'));
}

TEST_F(TagIO, ID3v2RoundTripAndGenreText) {
    const std::string f = Path("v2.mp3");
    WriteAll(f, Audio(800));
    wx::TTrackRecord r = Sample();
    r.Title = "\x83\x65\x83\x58\x83\x67";  // テスト
    ASSERT_TRUE(WriteTagV2(f, r));
    {
        TID3TagV2 tag(f, true);
        bool u;
        std::string t;
        ASSERT_TRUE(tag.GetFrameText("TCON", u, t));
        EXPECT_EQ(t, "(17)Rock");
        // Frames in the order written.
        const char* order[] = {"TIT2", "TALB", "TPE1", "TYER", "TCOP", "TRCK", "COMM", "TCON"};
        ASSERT_EQ(tag.FrameCount(), 8);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(tag.Frame(i).IdText(), order[i]);
    }
    wx::TTrackRecord got;
    got.PreEmphasis = true;
    ASSERT_TRUE(ReadTagV2(f, got));
    EXPECT_EQ(got.Title, r.Title);
    EXPECT_EQ(got.Artist, r.Artist);
    EXPECT_EQ(got.Album, r.Album);
    EXPECT_EQ(got.Year, r.Year);
    EXPECT_EQ(got.Comment, r.Comment);
    EXPECT_EQ(got.Copyright, r.Copyright);
    EXPECT_EQ(got.TrackText, r.TrackText);
    EXPECT_EQ(got.Genre, 17);
    EXPECT_TRUE(got.PreEmphasis);  // not a tag field

    r.Genre = -1;
    ASSERT_TRUE(WriteTagV2(f, r));
    TID3TagV2 tag(f, true);
    bool u;
    std::string t;
    ASSERT_TRUE(tag.GetFrameText("TCON", u, t));
    EXPECT_EQ(t, "(-1)-None-");
}

TEST_F(TagIO, GenreTexts) {
    EXPECT_EQ(ParseGenreText("(17)"), 17);
    EXPECT_EQ(ParseGenreText("(17)Rock"), 17);
    EXPECT_EQ(ParseGenreText("Rock"), 17);
    EXPECT_EQ(ParseGenreText("rock"), 17);
    EXPECT_EQ(ParseGenreText("(-1)-None-"), -1);
    EXPECT_EQ(ParseGenreText("(12a)Rock"), 17);
    EXPECT_EQ(ParseGenreText(""), 148);
    EXPECT_EQ(ParseGenreText("Unknown"), -1);
    EXPECT_EQ(ParseGenreText("(255)"), 255);
    // A number past the table is no number: the name decides (an empty
    // name is the first entry without one).
    EXPECT_EQ(ParseGenreText("(300)Rock"), 17);
    EXPECT_EQ(ParseGenreText("(256)Jazz"), 8);
    EXPECT_EQ(ParseGenreText("(300)"), 148);
    EXPECT_EQ(ParseGenreText("(2147483647)"), 148);
    // Version 2.4: a bare number, and several genres behind zero bytes.
    EXPECT_EQ(ParseGenreText("17"), 17);
    EXPECT_EQ(ParseGenreText("0"), 0);
    EXPECT_EQ(ParseGenreText("300"), -1);
    EXPECT_EQ(ParseGenreText(std::string("8\0Rock", 6)), 8);
    EXPECT_EQ(ParseGenreText(std::string("Rock\0Jazz", 9)), 17);
    // Beyond a 32-bit number: a conversion error, then the name after ")".
    EXPECT_EQ(ParseGenreText("(4294967296)Rock"), 17);
    EXPECT_EQ(ParseGenreText("(99999999999999999999)Jazz"), 8);
    EXPECT_EQ(ParseGenreText(")(5"), -1);
    // User names do not take part.
    UserGenreNames[17] = "Mine";
    EXPECT_EQ(ParseGenreText("Mine"), -1);
}

TEST_F(TagIO, ReadTagV2KeepsRecordWhenFileIsMissingAndClearsOtherwise) {
    wx::TTrackRecord r = Sample();
    EXPECT_FALSE(ReadTagV2(Path("none.mp3"), r));
    EXPECT_EQ(r.Title, "Title");
    const std::string f = Path("plain.mp3");
    WriteAll(f, Audio(300));
    EXPECT_FALSE(ReadTagV2(f, r));
    EXPECT_EQ(r.Title, "");
    EXPECT_EQ(r.Genre, -1);
    // Long texts are cut to what the record holds, never inside a character.
    std::string longTitle = "xx";
    for (int i = 0; i < 200; ++i) longTitle += kA;  // byte 255 is a lead byte
    WriteAll(f, Tag(Frame("TIT2", Str(std::string(1, '\0') + longTitle)) +
                        Frame("TYER", Str(std::string("\0", 1) + "2001-02-03 and more")) +
                        Frame("TRCK", Str(std::string("\0", 1) + "123456789" + kA)) +
                        Frame("TCON", Str(std::string("\0(", 2) + "300)")) +
                        Frame("TALB", Str(std::string("\0Pl\0ain\0\0", 9))),
                    600) +
                    Audio(300));
    ASSERT_TRUE(ReadTagV2(f, r));
    EXPECT_EQ(r.Title, longTitle.substr(0, 254));
    EXPECT_EQ(r.Year, "2001-02-03");
    EXPECT_EQ(r.TrackText, "123456789");
    EXPECT_EQ(r.Genre, 148);
    EXPECT_EQ(r.Album, std::string("Pl\0ain", 6));  // terminators dropped, inner zero kept
}

TEST_F(TagIO, WriteModesAndForcedKinds) {
    wx::TTrackRecord r = Sample();
    struct Case {
        int mode;
        bool forceV1, forceV2, v1, v2;
    } cases[] = {
        {0, false, false, true, false}, {1, false, false, false, true}, {2, false, false, true, true},
        {0, false, true, true, true},   {1, true, false, true, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string f = Path("m" + std::to_string(n++) + ".mp3");
        WriteAll(f, Audio(400));
        EXPECT_TRUE(WriteTagV1V2(f, r, c.mode, c.forceV1, c.forceV2));
        bool hasV1, hasV2;
        wx::TTrackRecord got;
        EXPECT_TRUE(ReadTagV1V2(f, hasV1, got, hasV2));
        EXPECT_EQ(hasV1, c.v1) << n;
        EXPECT_EQ(hasV2, c.v2) << n;
        EXPECT_EQ(got.Title, "Title");
    }
    // ID3v1 cannot go on a file that is not MP3: with both kinds asked for,
    // that is a failure, and the ID3v2 tag is not written either.
    const std::string wav = Path("w.wav");
    WriteAll(wav, Bytes(400, 'R'));
    EXPECT_FALSE(WriteTagV1V2(wav, r, 0, false, false));
    EXPECT_FALSE(WriteTagV1V2(wav, r, 2, false, false));
    EXPECT_EQ(ReadAll(wav), Bytes(400, 'R'));
    EXPECT_TRUE(WriteTagV1V2(wav, r, 1, false, false));
    EXPECT_TRUE(WriteTagV1V2(wav, r, 3, false, false));  // neither kind
    bool hasV1, hasV2;
    wx::TTrackRecord got = Sample();
    EXPECT_FALSE(ReadTagV1V2(Path("none.mp3"), hasV1, got, hasV2));
    EXPECT_FALSE(hasV1);
    EXPECT_FALSE(hasV2);
    EXPECT_EQ(got.Title, "Title");
}

TEST_F(TagIO, MergeTakesTheLongerTextAndLargerGenre) {
    const std::string f = Path("merge.mp3");
    WriteAll(f, Audio(400));
    wx::TTrackRecord v1 = Sample();
    v1.Title = std::string(30, 't');
    v1.Artist = "Same";
    v1.Genre = 20;
    ASSERT_TRUE(WriteTag(f, v1));
    wx::TTrackRecord v2 = Sample();
    v2.Title = std::string(40, 'T');
    v2.Artist = "SAME";
    v2.Album = "Al";
    v2.TrackText = "";
    v2.Genre = 8;
    ASSERT_TRUE(WriteTagV2(f, v2));
    bool hasV1, hasV2;
    wx::TTrackRecord got;
    ASSERT_TRUE(ReadTagV1V2(f, hasV1, got, hasV2));
    EXPECT_TRUE(hasV1);
    EXPECT_TRUE(hasV2);
    EXPECT_EQ(got.Title, v2.Title);
    EXPECT_EQ(got.Artist, "Same");  // equal lengths: ID3v1 stays
    EXPECT_EQ(got.Album, "Album");
    EXPECT_EQ(got.TrackText, "");    // always from ID3v2
    EXPECT_EQ(got.Copyright, v2.Copyright);
    EXPECT_EQ(got.Genre, 20);
}

TEST_F(TagIO, TrackNumbers) {
    EXPECT_EQ(ParseTrackNumber("4/12"), 3);
    EXPECT_EQ(ParseTrackNumber("04"), 3);
    EXPECT_EQ(ParseTrackNumber(" 4 / 12"), 3);
    EXPECT_EQ(ParseTrackNumber("1"), 0);
    EXPECT_EQ(ParseTrackNumber(""), -1);
    EXPECT_EQ(ParseTrackNumber("4a"), -1);
    EXPECT_EQ(ParseTrackNumber("4/x"), 3);
    EXPECT_EQ(ParseTrackNumber("99999999999"), -1);
}

TEST_F(TagIO, BrokenFilesGiveResultsNotExceptions) {
    wx::TTrackRecord r = Sample();
    // An ID3v2 size pointing past the end of the file.
    const std::string past = Path("past.mp3");
    Bytes content = V2Header(0x00FFFFFF) + Audio(400);
    WriteAll(past, content);
    wx::TTrackRecord got;
    bool hasV1 = true, hasV2 = true;
    EXPECT_NO_THROW(EXPECT_FALSE(ReadTagV1V2(past, hasV1, got, hasV2)));
    EXPECT_FALSE(WriteTag(past, r));  // no frame header at the start
    EXPECT_FALSE(SetEmphasisFlag(past, true));
    EXPECT_EQ(ReadAll(past), content);
    EXPECT_TRUE(WriteTagV2(past, r));  // a new tag goes in front, the old bytes stay
    const Bytes after = ReadAll(past);
    EXPECT_EQ(Bytes(after.end() - static_cast<long>(content.size()), after.end()), content);
    // A folder where a file is expected.
    const std::string folder = Path("folder.mp3");
    std::filesystem::create_directories(folder);
    EXPECT_FALSE(WriteTagV1V2(folder, r, 2, false, false));
    EXPECT_FALSE(ReadTagV1V2(folder, hasV1, got, hasV2));
    EXPECT_FALSE(SetEmphasisFlag(folder, true));
}

namespace {

Bytes Be32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v)};
}

Bytes Chunk(const std::string& id, const Bytes& data) { return Str(id) + Be32(static_cast<std::uint32_t>(data.size())) + data; }

Bytes Vqf(const Bytes& chunks, const Bytes& audio) { return Str("TWIN97012000") + Be32(static_cast<std::uint32_t>(chunks.size())) + chunks + Str("DATA") + audio; }

const Bytes kComm = Chunk("COMM", Be32(1) + Be32(96) + Be32(44) + Be32(0));

std::vector<std::string> Files(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST_F(TagIO, TwinVqChunksRewrittenAroundTheSameAudio) {
    const std::string f = Path("a.vqf");
    const Bytes audio = Audio(3000);
    WriteAll(f, Vqf(kComm + Chunk("ENCD", Str("x")) + Chunk("COMT", Str("old")), audio));
    wx::TTrackRecord r = Sample();
    r.Comment = "";
    r.Year = "2000";
    ASSERT_TRUE(WriteVQFTag(f, r));
    const Bytes expected = Vqf(kComm + Chunk("ENCD", Str("x")) + Chunk("NAME", Str("Title")) + Chunk("AUTH", Str("Artist")) +
                                   Chunk("ALBM", Str("Album")) + Chunk("(c) ", Str("(C) Maker")) +
                                   Chunk("YEAR", Bytes{0x07, 0xD0, 0x00}),
                               audio);
    EXPECT_EQ(ReadAll(f), expected);
    EXPECT_EQ(Files(dir_), std::vector<std::string>{"a.vqf"});  // no temporary file left

    wx::TTrackRecord got;
    got.Genre = 5;
    ASSERT_TRUE(ReadVQFTag(f, got));
    EXPECT_EQ(got.Title, "Title");
    EXPECT_EQ(got.Artist, "Artist");
    EXPECT_EQ(got.Album, "Album");
    EXPECT_EQ(got.Copyright, "(C) Maker");
    EXPECT_EQ(got.Comment, "");
    EXPECT_EQ(got.Year, "2000");
    EXPECT_EQ(got.Genre, -1);

    // Emptied fields remove their chunks; a year that is no number leaves
    // the year chunk as it was.
    r = wx::TTrackRecord();
    r.Title = "T";
    r.Year = "MMI";
    ASSERT_TRUE(WriteVQFTag(f, r));
    EXPECT_EQ(ReadAll(f), Vqf(kComm + Chunk("ENCD", Str("x")) + Chunk("NAME", Str("T")) + Chunk("YEAR", Bytes{0x07, 0xD0, 0x00}), audio));
    r.Year = "70000";  // does not fit the chunk
    ASSERT_TRUE(WriteVQFTag(f, r));
    ASSERT_TRUE(ReadVQFTag(f, got));
    EXPECT_EQ(got.Year, "2000");
    r.Year = "";
    ASSERT_TRUE(WriteVQFTag(f, r));
    EXPECT_EQ(ReadAll(f), Vqf(kComm + Chunk("ENCD", Str("x")) + Chunk("NAME", Str("T")), audio));
}

TEST_F(TagIO, TwinVqFailuresLeaveTheFile) {
    wx::TTrackRecord r = Sample();
    wx::TTrackRecord got = Sample();
    EXPECT_FALSE(WriteVQFTag(Path("none.vqf"), r));
    EXPECT_FALSE(ReadVQFTag(Path("none.vqf"), got));
    EXPECT_EQ(got.Title, "");
    const std::vector<Bytes> broken = {
        Vqf(Chunk("NAME", Str("x")), Audio(100)),                                // no COMM
        Str("TWIN97012000") + Be32(4000) + kComm + Str("DATA") + Audio(100),     // area length past the end
        Str("TWIN97012000") + Be32(30) + Str("COMM") + Be32(0x7FFFFFF0) + Audio(100),  // chunk past the end
        Str("TWIN9701") + Audio(100),                                            // short signature
        kComm,                                                                   // no signature at all
    };
    int n = 0;
    for (const Bytes& content : broken) {
        const std::string f = Path("b" + std::to_string(n++) + ".vqf");
        WriteAll(f, content);
        EXPECT_FALSE(WriteVQFTag(f, r)) << n;
        // A chunk area that claims more than it holds still reads up to
        // "DATA"; only the rewrite, which needs the audio where the
        // length says, refuses it.
        EXPECT_EQ(ReadVQFTag(f, got), n == 2) << n;
        EXPECT_EQ(ReadAll(f), content) << n;
    }
    EXPECT_EQ(Files(dir_).size(), broken.size());
}

TEST_F(TagIO, ChunkTemporaryNames) {
    const std::string folder = dir_.string();
    const std::string first = MakeChunkTempFileName(folder);
    EXPECT_EQ(std::filesystem::path(first).filename().string(), "CNK1.TMP");
    EXPECT_EQ(std::filesystem::path(first).parent_path(), dir_);
    WriteAll(first, Bytes{1});
    EXPECT_EQ(std::filesystem::path(MakeChunkTempFileName(folder)).filename().string(), "CNK2.TMP");
    EXPECT_EQ(MakeChunkTempFileName(folder + "/"), (dir_ / "CNK2.TMP").string().substr(0, folder.size()) + "/CNK2.TMP");
}

TEST_F(TagIO, FailedWriteLeavesTheFileByteIdentical) {
    // A tag of more than 64 KiB without padding cannot grow: the ID3v2 write
    // fails, and the ID3v1 block written before it is taken back.
    const std::string f = Path("big.mp3");
    const Bytes picture(100000, 0x5A);
    const Bytes frames = Frame("TIT2", Bytes{0, 'o'}) + Frame("APIC", Str(std::string("\0image/jpeg\0\3\0", 14)) + picture);
    const Bytes content = Tag(frames, static_cast<std::uint32_t>(frames.size() + 10)) + Audio(3000);
    wx::TTrackRecord r = Sample();
    for (int mode : {1, 2}) {
        WriteAll(f, content);
        EXPECT_FALSE(WriteTagV1V2(f, r, mode, false, false)) << mode;
        EXPECT_EQ(ReadAll(f), content) << mode;
        // The same over an existing ID3v1 block.
        WriteAll(f, content + Str("TAG") + Bytes(125, 'o'));
        EXPECT_FALSE(WriteTagV1V2(f, r, mode, false, false)) << mode;
        EXPECT_EQ(ReadAll(f), content + Str("TAG") + Bytes(125, 'o')) << mode;
    }
}

TEST_F(TagIO, TagThatCannotBeReadStaysWholeBehindTheNewOne) {
    // Version 2.2 (three-letter ids), a 2.3 tag with an extended header, and
    // a 2.3 tag whose third frame claims more bytes than the tag holds: its
    // title and artist before the fault are read, and it is never written
    // back in place either.
    const Bytes v22 = Str("ID3") + Bytes{2, 0, 0, 0, 0, 0, 21} + Str("TT2") + Bytes{0, 0, 4, 0, 'o', 'l', 'd'} +
                      Str("TAL") + Bytes{0, 0, 5, 0, 'a', 'l', 'b', 'm'};
    Bytes ext = V2Header(40, 3, 0x40) + Bytes{0, 0, 0, 6, 0, 0, 0, 0, 0, 0} + Frame("TALB", Bytes{0, 'a', 'l', 'b'});
    ext.resize(50, 0);
    const Bytes badSize = Tag(Frame("TIT2", Str(std::string(1, '\0') + "Good title")) +
                                  Frame("TPE1", Str(std::string(1, '\0') + "Good artist")) +
                                  Bytes{'T', 'A', 'L', 'B', 0x00, 0x10, 0x00, 0x00, 0, 0, 0, 'x'},
                              200);
    const Bytes audio = Audio(2000);
    int n = 0;
    for (const Bytes& old : {v22, ext, badSize}) {
        const bool partly = old == badSize;
        for (int mode : {1, 2}) {
            const std::string f = Path("old" + std::to_string(n++) + ".mp3");
            WriteAll(f, old + audio);
            bool hasV1, hasV2;
            wx::TTrackRecord r;
            EXPECT_EQ(ReadTagV1V2(f, hasV1, r, hasV2), partly) << n;
            EXPECT_EQ(hasV2, partly) << n;
            EXPECT_EQ(r.Title, partly ? "Good title" : "") << n;
            EXPECT_EQ(r.Artist, partly ? "Good artist" : "") << n;
            r = Sample();
            // A caller that rewrites passes on what it found.
            ASSERT_TRUE(WriteTagV1V2(f, r, mode, false, hasV2)) << n;
            const Bytes after = ReadAll(f);
            TID3TagV2 tag(f, true);
            ASSERT_TRUE(tag.Valid());
            // The old tag and the audio, whole, behind the new tag.
            const Bytes rest(after.begin() + tag.TagLength(), after.end());
            ASSERT_GE(rest.size(), old.size() + audio.size());
            EXPECT_EQ(Bytes(rest.begin(), rest.begin() + static_cast<long>(old.size() + audio.size())), old + audio);
            EXPECT_EQ(rest.size(), old.size() + audio.size() + (mode == 2 ? 128 : 0));
            // The audio is found behind both tags.
            TAudioSpan span;
            ASSERT_TRUE(FindAudioSpan(f, span));
            EXPECT_EQ(span.Start, static_cast<std::int64_t>(tag.TagLength() + old.size()));
            EXPECT_EQ(span.HasV1, mode == 2);
            EXPECT_TRUE(SetEmphasisFlag(f, true));
            wx::TTrackRecord got;
            ASSERT_TRUE(ReadTagV1V2(f, hasV1, got, hasV2));
            EXPECT_EQ(hasV1, mode == 2);
            EXPECT_TRUE(hasV2);
            EXPECT_EQ(got.Title, "Title");
        }
    }
}

TEST_F(TagIO, RewriteKeepsWhatItDoesNotChange) {
    const std::string f = Path("other.mp3");
    // Another program's 2.4 tag: UTF-8 title, UTF-16 artist (あ), TDRC year,
    // a bare numeric genre, a machine comment, a German comment, a picture.
    const Bytes artist = Frame("TPE1", Bytes{1, 0xFF, 0xFE, 0x42, 0x30, 0, 0});
    const Bytes year = Frame("TDRC", Str(std::string("\x03" "2001-02-03", 11)));
    const Bytes genre = Frame("TCON", Str(std::string("\x03" "17", 3)));
    const Bytes norm = Frame("COMM", Str(std::string("\0engiTunNORM\0 000A", 18)));
    const Bytes german = Frame("COMM", Str(std::string("\0deu\0Hallo", 10)));
    const Bytes pic = Frame("APIC", Bytes(100, 0x33));
    const Bytes frames = Frame("TIT2", Str(std::string("\x03Old", 4))) + artist + year + genre + norm + german + pic;
    Bytes t = V2Header(990, 4) + frames;
    t.resize(1000, 0);
    WriteAll(f, t + Audio(2000));
    bool hasV1, hasV2;
    wx::TTrackRecord r;
    ASSERT_TRUE(ReadTagV1V2(f, hasV1, r, hasV2));
    EXPECT_EQ(r.Title, "Old");
    EXPECT_EQ(r.Artist, "\x82\xA0");
    EXPECT_EQ(r.Year, "2001-02-03");
    EXPECT_EQ(r.Genre, 17);
    EXPECT_EQ(r.Comment, "Hallo");
    r.Title = "New";
    r.Comment = "Neu";
    ASSERT_TRUE(WriteTagV1V2(f, r, 2, hasV1, hasV2));
    TID3TagV2 tag(f, true);
    ASSERT_TRUE(tag.Valid());
    EXPECT_EQ(tag.Version(), 4);
    EXPECT_EQ(tag.TagLength(), 1000u);
    auto frameAt = [&](int i) {
        const TID3v2Frame& fr = tag.Frame(i);
        return Str(fr.IdText()) + Bytes{0, 0, 0, static_cast<std::uint8_t>(fr.Size), fr.Flags[0], fr.Flags[1]} + fr.Data;
    };
    // Untouched frames stay as they were, in their places; the album is
    // new; an empty copyright or track number is not written.
    ASSERT_EQ(tag.FrameCount(), 8);
    EXPECT_EQ(frameAt(0), Frame("TIT2", Str(std::string("\0New", 4))));
    EXPECT_EQ(frameAt(1), artist);
    EXPECT_EQ(frameAt(2), year);
    EXPECT_EQ(frameAt(3), genre);
    EXPECT_EQ(frameAt(4), norm);
    EXPECT_EQ(frameAt(5), Frame("COMM", Str(std::string("\0deu\0Neu", 8))));
    EXPECT_EQ(frameAt(6), pic);
    EXPECT_EQ(frameAt(7), Frame("TALB", Bytes{0}));
    EXPECT_EQ(tag.IndexOfFrame("TYER"), -1);
    EXPECT_EQ(tag.IndexOfFrame("TCOP"), -1);
    EXPECT_EQ(tag.IndexOfFrame("TRCK"), -1);
    // Emptied year goes; a changed one goes where it was read from.
    r.Year = "1999";
    ASSERT_TRUE(WriteTagV2(f, r));
    wx::TTrackRecord got;
    ASSERT_TRUE(ReadTagV2(f, got));
    EXPECT_EQ(got.Year, "1999");
    r.Year = "";
    r.Copyright = "";
    ASSERT_TRUE(WriteTagV2(f, r));
    TID3TagV2 again(f, true);
    EXPECT_EQ(again.IndexOfFrame("TDRC"), -1);
    EXPECT_EQ(again.IndexOfFrame("TYER"), -1);
}

TEST_F(TagIO, NoGenreStaysNoGenre) {
    const std::string f = Path("none.mp3");
    WriteAll(f, Audio(1000));
    wx::TTrackRecord r = Sample();
    r.Genre = -1;
    ASSERT_TRUE(WriteTagV1V2(f, r, 2, false, false));
    for (int i = 0; i < 3; ++i) {
        bool hasV1, hasV2;
        wx::TTrackRecord got;
        ASSERT_TRUE(ReadTagV1V2(f, hasV1, got, hasV2));
        EXPECT_EQ(got.Genre, -1) << i;
        ASSERT_TRUE(WriteTagV1V2(f, got, 2, hasV1, hasV2));
    }
    TID3TagV2 tag(f, true);
    bool u;
    std::string t;
    ASSERT_TRUE(tag.GetFrameText("TCON", u, t));
    EXPECT_EQ(t, "(-1)-None-");
    // An ID3v1 block alone keeps 255 as the genre of that number.
    const std::string v1 = Path("v1.mp3");
    WriteAll(v1, Audio(1000));
    ASSERT_TRUE(WriteTag(v1, r));
    bool hasV1, hasV2;
    wx::TTrackRecord got;
    ASSERT_TRUE(ReadTagV1V2(v1, hasV1, got, hasV2));
    EXPECT_EQ(got.Genre, 255);
}
