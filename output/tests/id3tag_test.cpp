#include "output/id3tag.h"

#include <gtest/gtest.h>

#include "tagtest_util.h"

using namespace tagtest;

namespace {

class ID3TagV2 : public ScratchDir {};

std::uint32_t SizeField(const Bytes& b) {
    return (std::uint32_t{b[6]} << 21) | (std::uint32_t{b[7]} << 14) | (std::uint32_t{b[8]} << 7) | b[9];
}

std::string Text(const TID3TagV2& tag, const std::string& id, bool* unicode = nullptr) {
    bool u = false;
    std::string t;
    EXPECT_TRUE(tag.GetFrameText(id, u, t)) << id;
    if (unicode) *unicode = u;
    return t;
}

}  // namespace

TEST_F(ID3TagV2, FirstTagGoesInFrontWithPaddingAndAudioUnchanged) {
    const std::string f = Path("a.mp3");
    const Bytes audio = Audio(5000);
    WriteAll(f, audio);
    {
        TID3TagV2 tag(f);
        EXPECT_FALSE(tag.Valid());
        EXPECT_EQ(tag.TagLength(), 0u);
        // Frames of 300 bytes in all.
        tag.SetFrameText("TIT2", std::string(269, 'x'));  // 10 + 270
        tag.SetFrameText("TPE1", std::string(9, 'y'));    // 10 + 10
        ASSERT_TRUE(tag.WriteTag());
        EXPECT_TRUE(tag.Valid());
        EXPECT_EQ(tag.TagLength(), 10u + 300 + 1024);
        EXPECT_EQ(tag.FrameCount(), 2);
    }
    const Bytes b = ReadAll(f);
    ASSERT_EQ(b.size(), 1334u + audio.size());
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 6), (Bytes{'I', 'D', '3', 3, 0, 0}));
    EXPECT_EQ(SizeField(b), 1324u);
    EXPECT_EQ(Bytes(b.begin() + 1334, b.end()), audio);
    // Padding after the frames is zero.
    for (std::size_t i = 310; i < 1334; ++i) ASSERT_EQ(b[i], 0) << i;

    TID3TagV2 again(f, true);
    EXPECT_EQ(Text(again, "TIT2"), std::string(269, 'x'));
    EXPECT_EQ(Text(again, "tpe1"), std::string(9, 'y'));
}

TEST_F(ID3TagV2, TagThatFitsIsRewrittenInPlace) {
    const std::string f = Path("b.mp3");
    const Bytes audio = Audio(3000);
    WriteAll(f, Tag(Frame("TIT2", Str(std::string("\0old", 4))), 4096) + audio);
    {
        TID3TagV2 tag(f);
        ASSERT_TRUE(tag.Valid());
        EXPECT_EQ(tag.TagLength(), 4096u);
        tag.SetFrameText("TIT2", std::string(989, 'n'));  // 10 + 990 = 1000 bytes
        ASSERT_TRUE(tag.WriteTag());
        EXPECT_EQ(tag.TagLength(), 4096u);
    }
    const Bytes b = ReadAll(f);
    ASSERT_EQ(b.size(), 4096u + audio.size());
    EXPECT_EQ(SizeField(b), 4086u);
    EXPECT_EQ(Bytes(b.begin() + 4096, b.end()), audio);
    for (std::size_t i = 1010; i < 4096; ++i) ASSERT_EQ(b[i], 0) << i;
}

TEST_F(ID3TagV2, LargeTagSetsTheBufferLimit) {
    const std::string f = Path("c.mp3");
    const Bytes audio = Audio(200);
    WriteAll(f, Tag(Frame("TIT2", Str(std::string("\0a", 2))), 100000) + audio);
    TID3TagV2 tag(f);
    ASSERT_EQ(tag.TagLength(), 100000u);
    tag.SetFrameText("TIT2", std::string(99979, 'z'));  // exactly 10 + 10 + 99980 = 100000 bytes
    ASSERT_TRUE(tag.WriteTag());
    EXPECT_EQ(tag.TagLength(), 100000u);
    EXPECT_EQ(ReadAll(f).size(), 100000u + audio.size());

    // One byte more than the limit: nothing is written.
    tag.SetFrameText("TIT2", std::string(99980, 'q'));
    EXPECT_FALSE(tag.WriteTag());
    TID3TagV2 check(f, true);
    EXPECT_EQ(Text(check, "TIT2"), std::string(99979, 'z'));
}

TEST_F(ID3TagV2, HeaderChecks) {
    const Bytes audio = Audio(500);
    struct Case {
        const char* name;
        Bytes header;
        bool valid;
    } cases[] = {
        {"ext.mp3", V2Header(100, 3, 0x40), false},
        {"unsync.mp3", V2Header(100, 3, 0x80), false},
        // Version 2.2 has another frame layout: read as 2.3 it would give
        // no frames, and a rewrite would drop them.
        {"v22.mp3", V2Header(100, 2), false},
        {"v24.mp3", V2Header(100, 4), true},
        {"v24footer.mp3", V2Header(100, 4, 0x10), false},
        {"v25.mp3", V2Header(100, 5), false},
        {"ff.mp3", Bytes{'I', 'D', '3', 0xFF, 0, 0, 0, 0, 0, 100}, false},
        {"bigsize.mp3", Bytes{'I', 'D', '3', 3, 0, 0, 0, 0, 0x80, 0}, false},
        {"noid.mp3", Bytes{'I', 'D', '4', 3, 0, 0, 0, 0, 0, 100}, false},
    };
    for (const Case& c : cases) {
        const std::string f = Path(c.name);
        Bytes content = c.header;
        content.resize(110, 0);
        WriteAll(f, content + audio);
        TID3TagV2 tag(f, true);
        EXPECT_EQ(tag.Valid(), c.valid) << c.name;
        EXPECT_EQ(tag.TagLength(), c.valid ? 110u : 0u) << c.name;
    }
    // An extended-header tag counts as none: writing puts a second tag in front.
    const std::string f = Path("ext.mp3");
    const Bytes before = ReadAll(f);
    {
        TID3TagV2 tag(f);
        tag.SetFrameText("TIT2", "t");
        ASSERT_TRUE(tag.WriteTag());
    }
    const Bytes after = ReadAll(f);
    ASSERT_EQ(after.size(), before.size() + 10 + 12 + 1024);
    EXPECT_EQ(Bytes(after.begin() + 1046, after.end()), before);
}

TEST_F(ID3TagV2, TextFramesAsStored) {
    const std::string f = Path("t.mp3");
    const Bytes frames = Frame("TIT2", Bytes{0, 'a', 'b', 0}) + Frame("TALB", Bytes{0}) +
                         Frame("TPE1", Bytes{1, 0xFF, 0xFE, 'A', 0, 'B', 0}) +
                         Frame("TCOP", Bytes{1, 0xFE, 0xFF, 0, 'A', 0, 'B'}) +
                         Frame("TYER", Bytes{1, 0x12, 0x34, 0, 'A', 0, 'B', 0, 0, 0, 'C'}) +
                         Frame("TRCK", Bytes{1, 0xFF}) + Frame("TXXX", Bytes{0, 'z'}, 0, 0x80) +
                         Frame("TOLY", Bytes{0, 'z'}, 0, 0x40) + Frame("TIT2", Bytes{0, 's', 'e', 'c'});
    WriteAll(f, Tag(frames, 400) + Audio(200));
    TID3TagV2 tag(f, true);
    ASSERT_TRUE(tag.Valid());
    EXPECT_EQ(tag.FrameCount(), 9);
    bool unicode = true;
    EXPECT_EQ(Text(tag, "TIT2", &unicode), std::string("ab\0", 3));  // first of two, zero kept
    EXPECT_FALSE(unicode);
    EXPECT_EQ(Text(tag, "TALB"), "");
    EXPECT_EQ(Text(tag, "TPE1", &unicode), "AB");
    EXPECT_TRUE(unicode);
    EXPECT_EQ(Text(tag, "TCOP"), "AB");
    EXPECT_EQ(Text(tag, "TYER"), "AB");  // no byte-order mark: big-endian, stops at 0
    std::string t;
    EXPECT_FALSE(tag.GetFrameText("TRCK", unicode, t));  // too short for UTF-16
    EXPECT_FALSE(tag.GetFrameText("TXXX", unicode, t));  // compressed
    EXPECT_FALSE(tag.GetFrameText("TOLY", unicode, t));  // encrypted
    EXPECT_FALSE(tag.GetFrameText("WXXX", unicode, t));
    EXPECT_TRUE(t.empty());
    EXPECT_FALSE(tag.GetFrameTextAt(9, unicode, t));
    EXPECT_FALSE(tag.GetFrameTextAt(-1, unicode, t));
    EXPECT_TRUE(tag.GetFrameTextAt(8, unicode, t));
    EXPECT_EQ(t, "sec");
}

TEST_F(ID3TagV2, UnicodeTextBecomesShiftJis) {
    const std::string f = Path("u.mp3");
    // あ (U+3042) and ｱ (U+FF71), little-endian.
    WriteAll(f, Tag(Frame("TIT2", Bytes{1, 0xFF, 0xFE, 0x42, 0x30, 0x71, 0xFF, 0, 0}), 100) + Audio(200));
    TID3TagV2 tag(f, true);
    EXPECT_EQ(Text(tag, "TIT2"), "\x82\xA0\xB1");
}

TEST_F(ID3TagV2, Comments) {
    const std::string f = Path("c.mp3");
    const Bytes described = Frame("COMM", Bytes{0, 'j', 'p', 'n', 'd', 0, 't', 'x', 0, 'y'});
    WriteAll(f, Tag(described, 100) + Audio(200));
    {
        // A comment with a description is not the comment: it stays, and
        // the comment goes into a frame of its own.
        TID3TagV2 tag(f);
        bool unicode;
        std::string d, t;
        EXPECT_FALSE(tag.GetComment(unicode, d, t));
        ASSERT_TRUE(tag.GetCommentAt(0, unicode, d, t));
        EXPECT_EQ(d, "d");
        EXPECT_EQ(t, "tx");
        EXPECT_EQ(tag.IndexOfComment("d"), 0);
        tag.SetComment("", "x");
        ASSERT_TRUE(tag.WriteTag());
        ASSERT_EQ(tag.FrameCount(), 2);
        EXPECT_EQ(tag.Frame(0).Data, (Bytes{0, 'j', 'p', 'n', 'd', 0, 't', 'x', 0, 'y'}));
        EXPECT_EQ(tag.Frame(1).Data, (Bytes{0x00, 0x65, 0x6E, 0x67, 0x00, 0x78}));
        ASSERT_TRUE(tag.GetComment(unicode, d, t));
        EXPECT_EQ(t, "x");
    }
    // A machine comment first, then comments without a description in two
    // languages: the first of those is the comment and keeps its language.
    WriteAll(f, Tag(Frame("COMM", Str(std::string("\0engiTunNORM\0 0000", 18))) +
                        Frame("COMM", Str(std::string("\0deu\0Hallo", 10))) +
                        Frame("COMM", Str(std::string("\0eng\0Hello", 10))),
                    200) +
                    Audio(200));
    {
        TID3TagV2 tag(f);
        bool unicode;
        std::string d, t;
        ASSERT_TRUE(tag.GetComment(unicode, d, t));
        EXPECT_EQ(t, "Hallo");
        tag.SetComment("", "neu");
        ASSERT_EQ(tag.FrameCount(), 3);
        EXPECT_EQ(tag.Frame(0).Data, Str(std::string("\0engiTunNORM\0 0000", 18)));
        EXPECT_EQ(tag.Frame(1).Data, Str(std::string("\0deu\0neu", 8)));
        EXPECT_EQ(tag.Frame(2).Data, Str(std::string("\0eng\0Hello", 10)));
    }
    WriteAll(f, Tag(Frame("COMM", Bytes{1, 'e', 'n', 'g', 0xFF, 0xFE, 'D', 0, 0, 0, 0xFE, 0xFF, 0, 'T', 0, 'U'}), 100) +
                    Audio(200));
    TID3TagV2 tag(f, true);
    bool unicode;
    std::string d, t;
    ASSERT_TRUE(tag.GetCommentAt(0, unicode, d, t));
    EXPECT_TRUE(unicode);
    EXPECT_EQ(d, "D");
    EXPECT_EQ(t, "TU");
    // Too short for two UTF-16 strings.
    WriteAll(f, Tag(Frame("COMM", Bytes{1, 'e', 'n', 'g', 0xFF}), 100) + Audio(200));
    TID3TagV2 shortTag(f, true);
    EXPECT_FALSE(shortTag.GetCommentAt(0, unicode, d, t));
}

TEST_F(ID3TagV2, SetFrameTextAppendsOrReplacesKeepingFlags) {
    const std::string f = Path("s.mp3");
    WriteAll(f, Tag(Frame("TALB", Bytes{0, 'o'}, 0x40, 0x00), 200) + Audio(200));
    TID3TagV2 tag(f);
    tag.SetFrameText("tit2", "new");
    ASSERT_EQ(tag.FrameCount(), 2);
    EXPECT_EQ(tag.Frame(1).IdText(), "TIT2");
    tag.SetFrameText("talb", "repl");
    ASSERT_EQ(tag.FrameCount(), 2);
    EXPECT_EQ(tag.Frame(0).IdText(), "TALB");
    EXPECT_EQ(tag.Frame(0).Flags[0], 0x40);
    EXPECT_EQ(tag.Frame(0).Size, 5u);
    ASSERT_TRUE(tag.WriteTag());
    EXPECT_EQ(tag.TagLength(), 200u);
    EXPECT_EQ(Text(tag, "TALB"), "repl");
    EXPECT_EQ(Text(tag, "TIT2"), "new");
}

TEST_F(ID3TagV2, ReplacedTextDropsFormatFlagsOfTheOldData) {
    const std::string f = Path("z.mp3");
    WriteAll(f, Tag(Frame("COMM", Bytes{0x78, 0x9C, 1, 2}, 0x20, 0xE0) + Frame("TIT2", Bytes{0, 'a'}, 0x20, 0x41), 200) +
                    Audio(200));
    {
        TID3TagV2 tag(f);
        bool u;
        std::string d, t;
        EXPECT_FALSE(tag.GetComment(u, d, t));  // compressed
        tag.SetComment("", "plain");
        tag.SetFrameText("TIT2", "t");
        ASSERT_TRUE(tag.WriteTag());
    }
    TID3TagV2 tag(f, true);
    // A compressed comment cannot tell its description: it stays as it was,
    // and the comment is a frame of its own.
    ASSERT_EQ(tag.FrameCount(), 3);
    EXPECT_EQ(tag.Frame(0).Data, (Bytes{0x78, 0x9C, 1, 2}));
    EXPECT_EQ(tag.Frame(0).Flags[1], 0xE0);
    EXPECT_EQ(tag.Frame(2).IdText(), "COMM");
    const TID3v2Frame& title = tag.Frame(tag.IndexOfFrame("TIT2"));
    EXPECT_EQ(title.Flags[0], 0x20);  // status flags stay
    EXPECT_EQ(title.Flags[1], 0x01);
    bool u;
    std::string d, t;
    ASSERT_TRUE(tag.GetComment(u, d, t));
    EXPECT_EQ(t, "plain");
    EXPECT_EQ(Text(tag, "TIT2"), "t");
}

TEST_F(ID3TagV2, GrowthFailsWhenNoTemporaryNameIsFree) {
    const std::string f = Path("full.mp3");
    const Bytes content = Tag(Frame("TIT2", Bytes{0, 'a'}), 40) + Audio(300);
    WriteAll(f, content);
    TID3TagV2::TempNameLimit = 3;
    for (const char* ext : {".000", ".001", ".002"}) WriteAll(Path(std::string("full") + ext), Bytes{1});
    {
        TID3TagV2 tag(f);
        tag.SetFrameText("TIT2", std::string(100, 'b'));
        EXPECT_FALSE(tag.WriteTag());
    }
    TID3TagV2::TempNameLimit = 1000;
    EXPECT_EQ(ReadAll(f), content);
    EXPECT_EQ(MakeTagTempFileName(f, 3), "");
    EXPECT_EQ(MakeTagTempFileName(f), Path("full.003"));
    EXPECT_EQ(MakeTagTempFileName(Path("dir.x") + "/noext"), Path("dir.x") + "/noext.000");
    // A backslash inside a double-byte character is not a folder separator.
    EXPECT_EQ(MakeTagTempFileName("\x83\x5C.a\x83\x5C" "b"), "\x83\x5C.000");
}

TEST_F(ID3TagV2, LengthsFromTheFileAreBoundedByIt) {
    const Bytes audio = Audio(300);
    // Tag size beyond the end of the file: no tag; writing keeps every old byte.
    {
        const std::string f = Path("past.mp3");
        Bytes content = V2Header(0x0FFFFFFF) + Frame("TIT2", Bytes{0, 'a'}) + audio;
        WriteAll(f, content);
        TID3TagV2 tag(f);
        EXPECT_FALSE(tag.Valid());
        EXPECT_EQ(tag.TagLength(), 0u);
        EXPECT_EQ(tag.FrameCount(), 0);
        tag.SetFrameText("TIT2", "ok");
        ASSERT_TRUE(tag.WriteTag());
        const Bytes after = ReadAll(f);
        EXPECT_EQ(Bytes(after.begin() + static_cast<long>(tag.TagLength()), after.end()), content);
    }
    // A frame that claims more bytes than the tag holds, a frame header cut
    // by the end of the tag, bytes that are no frame id: the tag cannot be
    // read as it stands and counts as none, so a write leaves it whole
    // behind a new one; the good frames before the fault can still be read
    // and go into the new tag (in the damaged tag's version).
    {
        Bytes v24 = V2Header(90, 4) + Frame("TPE1", Bytes{0, 'p'}) + Frame("TIT2", Bytes{0, 'a'}) +
                    Bytes{'T', 'A', 'L', 'B', 0x7F, 0x7F, 0x7F, 0x7F, 0, 0, 'x'};
        v24.resize(100, 0);
        const Bytes broken[] = {
            Tag(Frame("TIT2", Bytes{0, 'a'}) + Bytes{'T', 'A', 'L', 'B', 0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 0, 'x'}, 100),
            V2Header(16) + Frame("TIT2", Bytes{0, 'a'}) + Bytes{'T', 'A', 'L', 'B'},
            Tag(Frame("TIT2", Bytes{0, 'a'}) + Frame("T\xe4LB", Bytes{0, 'b'}), 100),
            Tag(Frame("TIT2", Bytes{0, 'a'}) + Bytes(5, 0) + Str("junk"), 100),
            v24,
        };
        int n = 0;
        for (const Bytes& t : broken) {
            const bool is24 = t[3] == 4;
            const std::string f = Path("broken" + std::to_string(n++) + ".mp3");
            WriteAll(f, t + audio);
            TID3TagV2 tag(f);
            EXPECT_FALSE(tag.Valid()) << n;
            EXPECT_TRUE(tag.Damaged()) << n;
            EXPECT_EQ(tag.TagLength(), 0u) << n;
            EXPECT_EQ(tag.FrameCount(), is24 ? 2 : 1) << n;
            EXPECT_EQ(Text(tag, "TIT2"), "a") << n;
            tag.SetFrameText("TIT2", "new");
            ASSERT_TRUE(tag.WriteTag());
            EXPECT_TRUE(tag.Valid()) << n;
            EXPECT_EQ(tag.Version(), is24 ? 4 : 3) << n;
            EXPECT_EQ(Text(tag, "TIT2"), "new") << n;
            if (is24) {
                EXPECT_EQ(Text(tag, "TPE1"), "p");
            }
            const Bytes after = ReadAll(f);
            EXPECT_EQ(Bytes(after.begin() + static_cast<long>(tag.TagLength()), after.end()), t + audio) << n;
        }
    }
    // Files shorter than a header.
    {
        const std::string f = Path("tiny.mp3");
        WriteAll(f, Bytes{'I', 'D', '3', 3});
        EXPECT_FALSE(TID3TagV2(f).Valid());
        WriteAll(f, Bytes{});
        TID3TagV2 empty(f);
        EXPECT_FALSE(empty.Valid());
        empty.SetFrameText("TIT2", "e");
        EXPECT_TRUE(empty.WriteTag());
        EXPECT_EQ(ReadAll(f).size(), 10u + 12 + 1024);
    }
}

TEST_F(ID3TagV2, OpenFailuresAndReadOnlyObjects) {
    EXPECT_THROW(TID3TagV2(Path("missing.mp3")), EFileStreamError);
    EXPECT_THROW(TID3TagV2(Path("missing.mp3"), true), EFileStreamError);
    const std::string f = Path("ro.mp3");
    const Bytes content = Audio(300);
    WriteAll(f, content);
    TID3TagV2 tag(f, true);
    tag.SetFrameText("TIT2", "x");
    EXPECT_FALSE(tag.WriteTag());
    EXPECT_EQ(ReadAll(f), content);
}

TEST_F(ID3TagV2, Version24SizesReadAndWrittenInSevenBitGroups) {
    // A 3,000-byte picture: its size is 0x00 0x00 0x17 0x38 in 7-bit groups
    // (as a plain number it would claim 5,944 bytes).
    Bytes picture(3000);
    for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>(i * 13 + 1);
    auto frame24 = [](const std::string& id, const Bytes& data) {
        const auto n = static_cast<std::uint32_t>(data.size());
        Bytes b = Str(id) + Bytes{static_cast<std::uint8_t>((n >> 21) & 0x7F), static_cast<std::uint8_t>((n >> 14) & 0x7F),
                                  static_cast<std::uint8_t>((n >> 7) & 0x7F), static_cast<std::uint8_t>(n & 0x7F), 0, 0};
        return b + data;
    };
    const Bytes apic = frame24("APIC", picture);
    const Bytes geob = frame24("GEOB", Bytes(200, 0x47));
    const Bytes frames = frame24("TIT2", Bytes{3, 'o', 'l', 'd'}) + apic + geob;
    Bytes t = V2Header(4000, 4) + frames;
    t.resize(4010, 0);
    const std::string f = Path("v24.mp3");
    const Bytes audio = Audio(900);
    WriteAll(f, t + audio);
    {
        TID3TagV2 tag(f);
        ASSERT_TRUE(tag.Valid());
        EXPECT_EQ(tag.Version(), 4);
        ASSERT_EQ(tag.FrameCount(), 3);
        EXPECT_EQ(tag.Frame(1).Size, 3000u);
        EXPECT_EQ(tag.Frame(2).Size, 200u);
        EXPECT_EQ(Text(tag, "TIT2"), "old");
        tag.SetFrameText("TIT2", "new title");
        tag.SetFrameText("TPE1", "artist");
        ASSERT_TRUE(tag.WriteTag());
    }
    // Written back as 2.4 in place: the untouched frames byte for byte.
    const Bytes b = ReadAll(f);
    ASSERT_EQ(b.size(), t.size() + audio.size());
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 4), (Bytes{'I', 'D', '3', 4}));
    const Bytes expected = frame24("TIT2", Str(std::string("\0new title", 10))) + apic + geob +
                           frame24("TPE1", Str(std::string("\0artist", 7)));
    EXPECT_EQ(Bytes(b.begin() + 10, b.begin() + 10 + static_cast<long>(expected.size())), expected);
    EXPECT_EQ(Bytes(b.begin() + 4010, b.end()), audio);
    // A 2.4 frame size with a top bit set is no 2.4 size: no tag.
    Bytes bad = V2Header(100, 4) + Str("TIT2") + Bytes{0, 0, 0x80, 2, 0, 0, 0, 'a'};
    bad.resize(110, 0);
    WriteAll(f, bad + audio);
    EXPECT_FALSE(TID3TagV2(f, true).Valid());
}

TEST_F(ID3TagV2, TextInUtf16BigEndianAndUtf8BecomesShiftJis) {
    const std::string f = Path("enc.mp3");
    // あい in UTF-16BE (encoding 2, no byte-order mark) and in UTF-8
    // (encoding 3), each with a terminator and a second value behind it.
    const Bytes frames = Frame("TIT2", Bytes{2, 0x30, 0x42, 0x30, 0x44, 0, 0, 0, 'x'}) +
                         Frame("TPE1", Bytes{3, 0xE3, 0x81, 0x82, 0xE3, 0x81, 0x84, 0, 'y'}) +
                         Frame("TALB", Bytes{3}) +
                         Frame("COMM", Bytes{3, 'j', 'p', 'n', 0, 0xE3, 0x81, 0x82}) +
                         Frame("COMM", Bytes{2, 'e', 'n', 'g', 0, 'd', 0, 0, 0x30, 0x44});
    Bytes t = V2Header(190, 4);
    // Sizes below 128 are the same in either layout.
    t = t + frames;
    t.resize(200, 0);
    WriteAll(f, t + Audio(200));
    TID3TagV2 tag(f, true);
    ASSERT_TRUE(tag.Valid());
    bool unicode = false;
    EXPECT_EQ(Text(tag, "TIT2", &unicode), "\x82\xA0\x82\xA2");
    EXPECT_TRUE(unicode);
    EXPECT_EQ(Text(tag, "TPE1", &unicode), "\x82\xA0\x82\xA2");
    EXPECT_TRUE(unicode);
    EXPECT_EQ(Text(tag, "TALB"), "");
    std::string d, c;
    ASSERT_TRUE(tag.GetComment(unicode, d, c));
    EXPECT_EQ(c, "\x82\xA0");
    ASSERT_TRUE(tag.GetCommentAt(4, unicode, d, c));
    EXPECT_EQ(d, "d");
    EXPECT_EQ(c, "\x82\xA2");
}

TEST_F(ID3TagV2, AudioStartsBehindEveryTag) {
    const Bytes audio = Audio(300);
    // Our tag, then one with an extended header, then a 2.4 tag with a
    // footer (10 bytes more than its size says).
    Bytes flagged = V2Header(20, 3, 0x40);
    flagged.resize(30, 0);
    Bytes footer = V2Header(20, 4, 0x10);
    footer.resize(30, 0);
    footer = footer + Str("3DI") + Bytes{4, 0, 0x10, 0, 0, 0, 20};
    const std::string f = Path("chain.mp3");
    WriteAll(f, Tag(Frame("TIT2", Bytes{0, 'a'}), 40) + flagged + footer + audio);
    {
        TBinaryFile file(f, TBinaryFile::fmOpenRead);
        EXPECT_EQ(SkipID3v2Tags(file), 40 + 30 + 40);
    }
    // A size past the end of the file ends the run there.
    WriteAll(f, Tag(Frame("TIT2", Bytes{0, 'a'}), 40) + V2Header(5000) + audio);
    TBinaryFile file(f, TBinaryFile::fmOpenRead);
    EXPECT_EQ(SkipID3v2Tags(file), 40);
}
