#include "discinfo/xmcd.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "classlib/stringlist.h"
#include "discinfo/cddbclient.h"
#include "discinfo/cddbconv.h"

namespace wx {
namespace {

TCDDBDiscInfo Parse(const std::vector<std::string>& lines, bool seen = false) {
    TCDDBDiscInfo info;
    ParseXmcd(lines, info, seen);
    return info;
}

TEST(XmcdRead, FrameOffsetsAndDiscLength) {
    const auto info = Parse({"# xmcd", "#", "# Track frame offsets:", "#", "#\t150", "#\t18000", "#",
                             "# Disc length: 300 seconds", "#", "# Revision: 7", "# Submitted via: xmcd 2.0"});
    EXPECT_EQ(info.FrameOffsets[0], 150);
    EXPECT_EQ(info.FrameOffsets[1], 18000);
    EXPECT_EQ(info.FrameOffsets[2], 0);
    EXPECT_EQ(info.DiscLength, 300);
    EXPECT_EQ(info.Revision, 7);
    EXPECT_EQ(info.SubmittedVia, "xmcd 2.0");
    EXPECT_EQ(info.TrackCount, 0);  // offsets do not count tracks
}

TEST(XmcdRead, OffsetsEndAtTextAndIgnoreBlankEntries) {
    const auto info = Parse({"# Track frame offsets:", "#    150", "#  \t", "#\t 300", "# Some comment", "#\t450",
                             "# Disc length: abc"});
    EXPECT_EQ(info.FrameOffsets[0], 150);
    EXPECT_EQ(info.FrameOffsets[1], 300);
    EXPECT_EQ(info.FrameOffsets[2], 0);  // after the comment the list was over
    EXPECT_EQ(info.DiscLength, 0);
}

TEST(XmcdRead, DiscTitleLinesJoinOnlyAfterDiscId) {
    TCDDBDiscInfo info = Parse({"DISCID=12345678", "DTITLE=A / B", "DTITLE= C"});
    SplitDiscTitle(info);
    EXPECT_EQ(info.Artist, "A");
    EXPECT_EQ(info.Title, "B C");

    info = Parse({"DTITLE=A / B", "DTITLE= C", "TTITLE0=x", "EXTD=e", "PLAYORDER=1"});
    SplitDiscTitle(info);
    EXPECT_EQ(info.Artist, "");
    EXPECT_EQ(info.Title, "");
    EXPECT_EQ(info.TrackCount, 0);
    EXPECT_EQ(info.ExtendedData, "");
    EXPECT_EQ(info.PlayOrder, "");
}

TEST(XmcdRead, SplitDiscTitleEdgeCases) {
    TCDDBDiscInfo info;
    info.Artist = "Only Artist";
    SplitDiscTitle(info);
    EXPECT_EQ(info.Artist, "Only Artist");
    EXPECT_EQ(info.Title, "");
    info.Artist = "AC/DC  /  Back in Black ";
    SplitDiscTitle(info);
    EXPECT_EQ(info.Artist, "AC");
    EXPECT_EQ(info.Title, "DC  /  Back in Black");
    info.Artist = "Artist /";
    info.Title.clear();
    SplitDiscTitle(info);
    EXPECT_EQ(info.Artist, "Artist");
    EXPECT_EQ(info.Title, "");
}

TEST(XmcdRead, TrackTitlesCountFromHighestIndex) {
    auto info = Parse({"DISCID=abc", "TTITLE3=Fourth"});
    EXPECT_EQ(info.TrackCount, 4);
    EXPECT_EQ(info.TrackTitles[0], "");
    EXPECT_EQ(info.TrackTitles[2], "");
    EXPECT_EQ(info.TrackTitles[3], "Fourth");

    info = Parse({"DISCID=abc", "TTITLE0=Long ", "TTITLE0=title", "TTITLE1 no equals", "EXTT5=ext=with=eq",
                  "TTITLE=zero", "EXTD=one ", "EXTD=two", "PLAYORDER=1,", "PLAYORDER=2"});
    EXPECT_EQ(info.TrackTitles[0], "Long titlezero");
    EXPECT_EQ(info.TrackTitles[1], "");
    EXPECT_EQ(info.ExtendedTrackData[5], "ext=with=eq");
    EXPECT_EQ(info.TrackCount, 6);
    EXPECT_EQ(info.ExtendedData, "one two");
    EXPECT_EQ(info.PlayOrder, "1,2");
}

TEST(XmcdRead, IndexesBeyondTheRecordAreIgnored) {
    std::vector<std::string> lines = {"# Track frame offsets:"};
    for (int i = 0; i < 150; ++i) lines.push_back("#\t" + std::to_string(150 + i));
    lines.push_back("DISCID=1");
    lines.push_back("TTITLE100=last");
    lines.push_back("TTITLE101=beyond");
    lines.push_back("EXTT4294967297=wraps");
    lines.push_back("TTITLE99999999999999999999=huge");
    const auto info = Parse(lines);
    EXPECT_EQ(info.TrackCount, 101);
    EXPECT_EQ(info.TrackTitles[100], "last");
    EXPECT_EQ(info.FrameOffsets[100], 250);
    EXPECT_EQ(info.ExtendedTrackData[1], "");
}

TEST(XmcdRead, DiscIdsGenreYearAndCaseSensitiveKeys) {
    const auto info = Parse({"DISCID=0a0b0c0d", "DISCID=11223344", "DGENRE=Rock", "DGENRE=Jazz", "DYEAR=1999",
                             "dtitle=lower", "DTITLE=Upper"});
    EXPECT_EQ(info.DiscIds, "0a0b0c0d,11223344");
    EXPECT_EQ(info.Genre, "Jazz");
    EXPECT_EQ(info.Year, "1999");
    EXPECT_EQ(info.Artist, "Upper");
}

TEST(XmcdWrite, MailLinesAreSplitAt76Bytes) {
    TCDDBDiscInfo info;
    info.TrackCount = 11;
    info.TrackTitles[10] = std::string(100, 'x');
    info.DiscIds = "12345678";
    const auto lines = BuildSubmitLines(info, true, nullptr);
    std::vector<std::string> t10;
    for (const auto& l : lines) {
        EXPECT_LE(l.size(), 76u) << l;
        if (l.rfind("TTITLE10=", 0) == 0) t10.push_back(l.substr(9));
    }
    ASSERT_EQ(t10.size(), 2u);
    EXPECT_EQ(t10[0].size(), 67u);
    EXPECT_EQ(t10[1].size(), 33u);
    // The HTTP form keeps the value on one line.
    const auto http = BuildSubmitLines(info, false, nullptr);
    int n = 0;
    for (const auto& l : http)
        if (l.rfind("TTITLE10=", 0) == 0) {
            ++n;
            EXPECT_EQ(l.size(), 109u);
        }
    EXPECT_EQ(n, 1);
}

TEST(XmcdWrite, LayoutOfAMailRecord) {
    TCDDBDiscInfo info;
    info.TrackCount = 2;
    info.FrameOffsets[0] = 150;
    info.FrameOffsets[1] = 20000;
    info.DiscLength = 400;
    info.Revision = 3;
    info.DiscIds = "1a05d602";
    info.Title = "Album";
    info.TrackTitles[0] = "One";
    const auto l = BuildSubmitLines(info, true, nullptr);
    const std::vector<std::string> want = {
        "# xmcd CD database file", "#", "# Track frame offsets:", "#\t150", "#\t20000", "#",
        "# Disc length: 400 seconds", "#", "# Revision: 3", "# Submitted via: Wendrix(JP) R3.22", "#",
        "DISCID=1a05d602", "DTITLE=Album", "TTITLE0=One", "TTITLE1=", "EXTD=", "EXTT0=", "EXTT1=", "PLAYORDER="};
    EXPECT_EQ(l, want);
}

TEST(XmcdWrite, HttpHeadersCountTheBody) {
    TCDDBDiscInfo info;
    info.Category = "rock";
    info.DiscIds = "0a0b0c0d";
    const std::vector<std::string> body = {"ab", "", "cde"};
    const auto h = BuildHttpSubmitHeaders(info, "me@example.org", true, body);
    ASSERT_EQ(h.size(), 8u);
    EXPECT_EQ(h[0], "Category: rock");
    EXPECT_EQ(h[1], "Discid: 0a0b0c0d");
    EXPECT_EQ(h[2], "User-Email: me@example.org");
    EXPECT_EQ(h[3], "Submit-Mode: submit");
    EXPECT_EQ(h[4], "Charset: UTF-8");
    EXPECT_EQ(h[5].rfind("X-Cddbd-Note: Send by Wendrix - Questions: ", 0), 0u);
    EXPECT_EQ(h[6], "Content-Length: 8");
    EXPECT_EQ(h[7], "");
    EXPECT_EQ(BuildHttpSubmitHeaders(info, "", false, body)[4], "Charset: ISO-8859-1");
}

// A random record within what a submission can carry (no "/" in the artist,
// no blanks at the ends of artist and title, titles of Shift-JIS text).
TCDDBDiscInfo RandomRecord(std::mt19937& rng) {
    static const std::vector<std::string> pieces = {"a", "Z", " ", "9", "=", "#", "\x82\xa0", "\x93\xfa", "\xb1",
                                                    "\x81\x40", "-", ",", "(", "\x83\x5c"};
    auto text = [&](int maxPieces) {
        std::string s;
        const int n = std::uniform_int_distribution<int>(0, maxPieces)(rng);
        for (int i = 0; i < n; ++i) s += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(rng)];
        return s;
    };
    auto trimmedWord = [&](int maxPieces) {
        std::string s = "w" + text(maxPieces) + "w";
        for (char& c : s)
            if (c == '/') c = '_';
        return s;
    };
    TCDDBDiscInfo info;
    info.TrackCount = std::uniform_int_distribution<int>(1, kCddbMaxTracks)(rng);
    info.DiscLength = std::uniform_int_distribution<int>(0, 5000)(rng);
    info.Revision = std::uniform_int_distribution<int>(0, 30)(rng);
    info.DiscIds = "0123abcd";
    info.Artist = trimmedWord(20);
    info.Title = trimmedWord(60);
    info.Year = std::to_string(std::uniform_int_distribution<int>(1950, 2026)(rng));
    info.Genre = text(10);
    info.ExtendedData = text(80);
    std::int32_t frame = 150;
    for (int i = 0; i < info.TrackCount; ++i) {
        info.FrameOffsets[i] = frame;
        frame += std::uniform_int_distribution<int>(1, 40000)(rng);
        info.TrackTitles[i] = text(50);
        info.ExtendedTrackData[i] = text(50);
    }
    info.SubmittedVia = "Wendrix(JP) R3.22";
    return info;
}

// Field-by-field comparison, so that a failure names the field.
void ExpectSameRecord(const TCDDBDiscInfo& got, const TCDDBDiscInfo& want, const std::string& where) {
    SCOPED_TRACE(where);
    EXPECT_EQ(got.Artist, want.Artist);
    EXPECT_EQ(got.Title, want.Title);
    EXPECT_EQ(got.ExtendedData, want.ExtendedData);
    EXPECT_EQ(got.DiscLength, want.DiscLength);
    EXPECT_EQ(got.DiscIds, want.DiscIds);
    EXPECT_EQ(got.Revision, want.Revision);
    EXPECT_EQ(got.TrackCount, want.TrackCount);
    EXPECT_EQ(got.Category, want.Category);
    EXPECT_EQ(got.SubmittedVia, want.SubmittedVia);
    EXPECT_EQ(got.PlayOrder, want.PlayOrder);
    EXPECT_EQ(got.Year, want.Year);
    EXPECT_EQ(got.Genre, want.Genre);
    for (int i = 0; i < kCddbMaxTracks; ++i) {
        EXPECT_EQ(got.TrackTitles[i], want.TrackTitles[i]) << "track " << i;
        EXPECT_EQ(got.ExtendedTrackData[i], want.ExtendedTrackData[i]) << "track " << i;
        EXPECT_EQ(got.FrameOffsets[i], want.FrameOffsets[i]) << "track " << i;
    }
    EXPECT_TRUE(got == want);
}

// A file name of this test process alone (other builds may run the same
// tests at the same time).
std::string TempPath(const char* name) {
    static const std::string tag = std::to_string(std::random_device{}()) + "_";
    return testing::TempDir() + "wx_xmcd_" + tag + name;
}

class TNoNetwork : public TCddbNetwork {
public:
    std::unique_ptr<TCddbSocket> NewSocket() override { return nullptr; }
    std::string LocalHostName() override { return {}; }
    std::uint32_t TickCount() override { return 0; }
    void Sleep(unsigned) override {}
};

// Fills the to-submit record field by field, as the disc dialog does.
void FillSubmit(TCddbClient& c, const TCDDBDiscInfo& r) {
    c.NewSubmitInfo(r.TrackCount, r.DiscLength);
    ASSERT_TRUE(c.SetSubmitField(0, 0, r.Artist, 0));
    c.SetSubmitField(1, 0, r.Title, 0);
    c.SetSubmitField(2, 0, r.DiscIds, 0);
    c.SetSubmitField(3, 0, r.Category, 0);
    for (int i = 1; i <= r.TrackCount; ++i) {
        c.SetSubmitField(4, i, r.TrackTitles[i - 1], 0);
        c.SetSubmitField(5, i, r.ExtendedTrackData[i - 1], 0);
        c.SetSubmitField(6, i, "", r.FrameOffsets[i - 1]);
    }
    c.SetSubmitField(7, r.Revision, "", 0);
    c.SetSubmitField(8, 0, r.Year, 0);
    c.SetSubmitField(9, 0, r.Genre, 0);
}

std::vector<std::string> ReadLines(const std::string& path) {
    TStringList l;
    EXPECT_TRUE(l.LoadFromFile(path));
    return std::vector<std::string>(l.begin(), l.end());
}

TCDDBDiscInfo ParseFile(const std::string& path, bool fromUtf8) {
    TCDDBDiscInfo got;
    bool seen = false;
    ParseXmcd(ReadLines(path), got, seen);
    EXPECT_TRUE(seen);
    SplitDiscTitle(got);
    if (fromUtf8) {
        for (std::string* f : {&got.Artist, &got.Title, &got.ExtendedData, &got.Year, &got.Genre, &got.DiscIds})
            *f = CddbUtf8ToSjis(*f);
        for (auto& t : got.TrackTitles) t = CddbUtf8ToSjis(t);
        for (auto& t : got.ExtendedTrackData) t = CddbUtf8ToSjis(t);
    }
    return got;
}

TEST(XmcdRoundTrip, WrittenRecordsParseBackIdentically) {
    std::mt19937 rng(20261209);
    TNoNetwork net;
    TCddbClient client(net, nullptr, TCDDBNetSettings{});
    const std::string path = TempPath("roundtrip.xmcd");
    for (int round = 0; round < 120; ++round) {
        TCDDBDiscInfo want = RandomRecord(rng);
        FillSubmit(client, want);
        want.Category.clear();      // not part of the record text
        want.ExtendedData.clear();  // the to-submit record has no field kind for it
        for (bool utf8 : {false, true}) {
            ASSERT_TRUE(client.WriteMailSubmitFile(path, utf8));
            for (const auto& l : ReadLines(path)) ASSERT_LE(l.size(), 76u) << l;
            ExpectSameRecord(ParseFile(path, utf8), want, "mail " + std::to_string(round) + " " + std::to_string(utf8));
            ASSERT_TRUE(client.WriteHttpSubmitFile(path, utf8));
            ExpectSameRecord(ParseFile(path, utf8), want, "http " + std::to_string(round) + " " + std::to_string(utf8));
            if (HasFailure()) return;
        }
    }
    std::remove(path.c_str());
}

TEST(XmcdRoundTrip, HttpFileHeadersAndBodyLength) {
    TNoNetwork net;
    TCDDBNetSettings s;
    s.UserEmail = "someone@example.org";
    TCddbClient client(net, nullptr, s);
    TCDDBDiscInfo r;
    r.TrackCount = 2;
    r.Artist = "\x83\x41\x81\x5b\x83\x65\x83\x42\x83\x58\x83\x67";  // アーティスト
    r.Title = "T";
    r.Category = "misc";
    r.DiscIds = "0b00a302";
    FillSubmit(client, r);
    const std::string path = TempPath("submit.http");
    ASSERT_TRUE(client.WriteHttpSubmitFile(path, true));
    const auto lines = ReadLines(path);
    ASSERT_GT(lines.size(), 8u);
    EXPECT_EQ(lines[0], "Category: misc");
    EXPECT_EQ(lines[1], "Discid: 0b00a302");
    EXPECT_EQ(lines[2], "User-Email: someone@example.org");
    EXPECT_EQ(lines[4], "Charset: UTF-8");
    EXPECT_EQ(lines[7], "");
    std::size_t body = 0;
    for (std::size_t i = 8; i < lines.size(); ++i) body += lines[i].size() + 1;
    EXPECT_EQ(lines[6], "Content-Length: " + std::to_string(body));
    bool sawTitle = false;
    for (const auto& l : lines)
        if (l == "DTITLE=\xe3\x82\xa2\xe3\x83\xbc\xe3\x83\x86\xe3\x82\xa3\xe3\x82\xb9\xe3\x83\x88 / T") sawTitle = true;
    EXPECT_TRUE(sawTitle);
    std::remove(path.c_str());
}

TEST(XmcdRoundTrip, WritersFailWithoutRecordOrFolder) {
    TNoNetwork net;
    TCddbClient client(net, nullptr, TCDDBNetSettings{});
    const std::string path = TempPath("never.xmcd");
    std::remove(path.c_str());
    EXPECT_FALSE(client.WriteMailSubmitFile(path, false));
    EXPECT_FALSE(client.SetSubmitField(0, 0, "x", 0));
    client.NewSubmitInfo(1, 100);
    EXPECT_FALSE(client.WriteMailSubmitFile(TempPath("no/such/folder/x.xmcd"), false));
    EXPECT_FALSE(client.WriteHttpSubmitFile(TempPath("no/such/folder/x.xmcd"), false));
    EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr);
    // Frame offsets beyond the track count and track indexes outside 1..101
    // are not stored.
    EXPECT_TRUE(client.SetSubmitField(6, 2, "", 999));
    EXPECT_TRUE(client.SetSubmitField(4, 0, "zero", 0));
    EXPECT_TRUE(client.SetSubmitField(4, 102, "beyond", 0));
    EXPECT_EQ(client.SubmitInfo()->FrameOffsets[1], 0);
    EXPECT_EQ(client.SubmitInfo()->TrackTitles[0], "");
    client.FreeSubmitInfo();
    EXPECT_EQ(client.SubmitInfo(), nullptr);
}

}  // namespace
}  // namespace wx
