// WMA attributes as tags, through the WMA writer library's stand-in
// (wmaudsdk.dll beside the test).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "output/mp3defs.h"
#include "output/wmaudiosdk.h"
#include "output/wmttag.h"
#include "tagtest_util.h"

using namespace tagtest;
using namespace tagio;

namespace {

class WmaTags : public ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        ResetGenreSettings();
        ASSERT_TRUE(LoadWmaLibrary()) << "wmaudsdk.dll beside the test";
    }
    void TearDown() override {
        ResetGenreSettings();
        ScratchDir::TearDown();
    }

    // A WMA file of half a second made by the writer library.
    std::string MakeWma(const std::string& name) {
        const std::string path = Path(name);
        const std::wstring wide(path.begin(), path.end());
        IWMAudioWriter* w = nullptr;
        EXPECT_TRUE(SUCCEEDED(WMAudioCreateWriter(wide.c_str(), &w)) && w);
        if (!w) return path;
        WAVEFORMATEX fmt{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
        EXPECT_EQ(w->SetInputFormat(&fmt), S_OK);
        EXPECT_EQ(w->SetOutputFormat(128000, 44100, 2, 0), S_OK);
        std::vector<BYTE> pcm(44100 * 2);
        for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<BYTE>(i * 13);
        w->WriteSamples(pcm.data(), static_cast<DWORD>(pcm.size()));
        w->Flush();
        w->Release();
        return path;
    }

    // Raw attribute access for checking what was written.
    bool Attribute(const std::string& file, const wchar_t* name, DWORD& type, std::vector<BYTE>& value) {
        const std::wstring wide(file.begin(), file.end());
        IWMAudioInfo* info = nullptr;
        if (FAILED(WMAudioCreateInfo(wide.c_str(), &info))) return false;
        DWORD length = 4096;
        value.assign(length, 0);
        const bool ok = SUCCEEDED(info->GetAttribute(name, &type, value.data(), &length));
        value.resize(ok ? length : 0);
        info->Release();
        return ok;
    }
    void SetRaw(const std::string& file, const wchar_t* name, DWORD type, const void* value, DWORD length) {
        const std::wstring wide(file.begin(), file.end());
        IWMAudioInfo* info = nullptr;
        ASSERT_EQ(WMAudioCreateInfo(wide.c_str(), &info), S_OK);
        EXPECT_EQ(info->SetAttribute(name, type, static_cast<const BYTE*>(value), length), S_OK);
        EXPECT_EQ(info->Close(), S_OK);
        info->Release();
    }
};

wx::TTrackRecord Sample() {
    wx::TTrackRecord r;
    r.Title = "\x8A\x43\x82\xCC\x89\xCC";  // 海の歌
    r.Artist = "Artist";
    r.Album = "Album";
    r.Year = "2000";
    r.Comment = "Comment";
    r.Copyright = "(C) 2000";
    r.TrackText = "4/12";
    r.Genre = 17;
    return r;
}

std::wstring WideText(const std::vector<BYTE>& v) {
    std::wstring w(reinterpret_cast<const wchar_t*>(v.data()), v.size() / 2);
    while (!w.empty() && w.back() == 0) w.pop_back();
    return w;
}

}  // namespace

TEST_F(WmaTags, AttributesWrittenAndReadBack) {
    const std::string f = MakeWma("a.wma");
    ASSERT_TRUE(WriteWMTTag(f, Sample()));
    DWORD type;
    std::vector<BYTE> v;
    ASSERT_TRUE(Attribute(f, L"Title", type, v));
    EXPECT_EQ(type, WmaAttrString);
    EXPECT_EQ(WideText(v), L"\u6D77\u306E\u6B4C");
    EXPECT_EQ(v.size(), 8u);  // three characters and the terminator
    ASSERT_TRUE(Attribute(f, L"WM/Track", type, v));
    EXPECT_EQ(type, WmaAttrDword);
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[0], 3);
    ASSERT_TRUE(Attribute(f, L"WM/Genre", type, v));
    EXPECT_EQ(WideText(v), L"Rock");

    wx::TTrackRecord got;
    ASSERT_TRUE(ReadWMTTag(f, got));
    EXPECT_EQ(got.Title, Sample().Title);
    EXPECT_EQ(got.Artist, "Artist");
    EXPECT_EQ(got.Album, "Album");
    EXPECT_EQ(got.Year, "2000");
    EXPECT_EQ(got.Comment, "Comment");
    EXPECT_EQ(got.Copyright, "(C) 2000");
    EXPECT_EQ(got.TrackText, "4");
    EXPECT_EQ(got.Genre, 17);
    if (const char* out = std::getenv("WX_TAG_OUT")) {
        // For the outside check with mutagen.
        CopyFileA(f.c_str(), (std::string(out) + "\\tags.wma").c_str(), FALSE);
    }
}

TEST_F(WmaTags, TrackNumbersAndGenres) {
    const std::string f = MakeWma("b.wma");
    wx::TTrackRecord r = Sample();
    DWORD type;
    std::vector<BYTE> v;
    r.TrackText = "04";
    r.Genre = -1;
    ASSERT_TRUE(WriteWMTTag(f, r));
    ASSERT_TRUE(Attribute(f, L"WM/Track", type, v));
    EXPECT_EQ(v[0], 3);
    ASSERT_TRUE(Attribute(f, L"WM/Genre", type, v));
    EXPECT_EQ(WideText(v), L"");
    wx::TTrackRecord got;
    ASSERT_TRUE(ReadWMTTag(f, got));
    EXPECT_EQ(got.Genre, -1);

    for (const char* text : {"", "4a"}) {
        const std::string g = MakeWma(std::string("c") + (*text ? "x" : "e") + ".wma");
        r.TrackText = text;
        ASSERT_TRUE(WriteWMTTag(g, r));
        EXPECT_FALSE(Attribute(g, L"WM/Track", type, v)) << text;
        ASSERT_TRUE(ReadWMTTag(g, got));
        EXPECT_EQ(got.TrackText, "");
    }

    // A user's name goes first; names the table lacks read as a free number.
    UserGenreNames[17] = "Mine";
    r.Genre = 17;
    ASSERT_TRUE(WriteWMTTag(f, r));
    ASSERT_TRUE(Attribute(f, L"WM/Genre", type, v));
    EXPECT_EQ(WideText(v), L"Mine");
    ASSERT_TRUE(ReadWMTTag(f, got));
    EXPECT_EQ(got.Genre, 17);
    const wchar_t unknown[] = L"Polka Techno";
    SetRaw(f, L"WM/Genre", WmaAttrString, unknown, sizeof(unknown));
    ASSERT_TRUE(ReadWMTTag(f, got));
    EXPECT_EQ(got.Genre, 148);
    const wchar_t lower[] = L"jazz";
    SetRaw(f, L"WM/Genre", WmaAttrString, lower, sizeof(lower));
    ASSERT_TRUE(ReadWMTTag(f, got));
    EXPECT_EQ(got.Genre, 8);

    // Track numbers as written by others: a number, or a text.
    const DWORD three = 3;
    SetRaw(f, L"WM/Track", WmaAttrDword, &three, 4);
    ASSERT_TRUE(ReadWMTTag(f, got));
    EXPECT_EQ(got.TrackText, "4");
    const wchar_t seven[] = L"7";
    SetRaw(f, L"WM/Track", WmaAttrString, seven, sizeof(seven));
    ASSERT_TRUE(ReadWMTTag(f, got));
    EXPECT_EQ(got.TrackText, "8");
    const wchar_t word[] = L"x";
    SetRaw(f, L"WM/Track", WmaAttrString, word, sizeof(word));
    ASSERT_TRUE(ReadWMTTag(f, got));
    EXPECT_EQ(got.TrackText, "");
}

TEST_F(WmaTags, FailuresLeaveFileAndRecord) {
    const std::string f = MakeWma("d.wma");
    ASSERT_TRUE(WriteWMTTag(f, Sample()));
    const Bytes before = ReadAll(f);
    // An attribute the library refuses (a string beyond 64 KB): nothing of
    // the set is committed.
    wx::TTrackRecord r = Sample();
    r.Title = "New";
    r.Comment = std::string(40000, 'c');
    EXPECT_FALSE(WriteWMTTag(f, r));
    EXPECT_EQ(ReadAll(f), before);

    // Values longer than the 1024-byte read buffer are not taken.
    r = Sample();
    r.Title = std::string(600, 't');
    ASSERT_TRUE(WriteWMTTag(f, r));
    wx::TTrackRecord got;
    ASSERT_TRUE(ReadWMTTag(f, got));
    EXPECT_EQ(got.Title, "");
    EXPECT_EQ(got.Artist, "Artist");

    // Long values within the buffer are cut to the record's lengths.
    r.Title = std::string(300, 'u');
    r.Year = "20001231 and more";
    ASSERT_TRUE(WriteWMTTag(f, r));
    ASSERT_TRUE(ReadWMTTag(f, got));
    EXPECT_EQ(got.Title, std::string(255, 'u'));
    EXPECT_EQ(got.Year, "20001231 a");

    // Not a WMA file, a missing file, no library.
    const std::string text = Path("e.wma");
    WriteAll(text, Bytes(300, 'x'));
    got = Sample();
    EXPECT_FALSE(WriteWMTTag(text, Sample()));
    EXPECT_FALSE(ReadWMTTag(text, got));
    EXPECT_EQ(got.Title, "");
    EXPECT_EQ(ReadAll(text), Bytes(300, 'x'));
    EXPECT_FALSE(WriteWMTTag(Path("none.wma"), Sample()));
    UnloadWmaLibrary();
    EXPECT_FALSE(WriteWMTTag(f, Sample()));
    EXPECT_FALSE(ReadWMTTag(f, got));
}

TEST_F(WmaTags, TagsAfterARip) {
    // MP3 output: ID3 tags by the write mode, then the emphasis mark.
    const std::string mp3 = Path("rip.mp3");
    WriteAll(mp3, Audio(2000));
    TTrackRecord t = Sample();
    t.HasTag = true;
    t.PreEmphasis = true;
    ASSERT_TRUE(WriteTagsAfterRip(mp3, t, true, false, 1));
    bool hasV1, hasV2;
    TTrackRecord got;
    ASSERT_TRUE(ReadTagV1V2(mp3, hasV1, got, hasV2));
    EXPECT_FALSE(hasV1);
    EXPECT_TRUE(hasV2);
    TAudioSpan span;
    ASSERT_TRUE(FindAudioSpan(mp3, span));
    EXPECT_EQ(span.Header & 3, 1u);

    // De-emphasis applied: no mark.  No tags: nothing but the mark.
    const std::string plain = Path("plain.mp3");
    WriteAll(plain, Audio(2000));
    ASSERT_TRUE(WriteTagsAfterRip(plain, t, true, true, 2));
    ASSERT_TRUE(FindAudioSpan(plain, span));
    EXPECT_EQ(span.Header & 3, 0u);
    EXPECT_TRUE(ReadTagV1V2(plain, hasV1, got, hasV2));
    EXPECT_TRUE(hasV1 && hasV2);
    const std::string untagged = Path("untagged.mp3");
    WriteAll(untagged, Audio(2000));
    t.HasTag = false;
    ASSERT_TRUE(WriteTagsAfterRip(untagged, t, true, false, 2));
    EXPECT_EQ(ReadAll(untagged).size(), 2000u);
    ASSERT_TRUE(FindAudioSpan(untagged, span));
    EXPECT_EQ(span.Header & 3, 1u);

    // WMA output: the attributes, only with tags.
    const std::string wma = MakeWma("rip.wma");
    const Bytes before = ReadAll(wma);
    ASSERT_TRUE(WriteTagsAfterRip(wma, t, false, false, 2));
    EXPECT_EQ(ReadAll(wma), before);
    t.HasTag = true;
    ASSERT_TRUE(WriteTagsAfterRip(wma, t, false, false, 2));
    ASSERT_TRUE(ReadWMTTag(wma, got));
    EXPECT_EQ(got.Title, t.Title);

    // A file that cannot take tags reports false and is left alone.
    const std::string wav = Path("rip.wav");
    WriteAll(wav, Bytes(500, 'R'));
    EXPECT_FALSE(WriteTagsAfterRip(wav, t, false, false, 2));
    EXPECT_EQ(ReadAll(wav), Bytes(500, 'R'));
}
