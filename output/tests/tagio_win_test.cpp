// Tag I/O against files that other programs hold open, and read-only files.
#include <windows.h>

#include <gtest/gtest.h>

#include "output/tagio.h"
#include "tagtest_util.h"

using namespace tagtest;
using namespace tagio;

namespace {

class TagIOLocked : public ScratchDir {};

wx::TTrackRecord Sample() {
    wx::TTrackRecord r;
    r.Title = "Title";
    r.Artist = "Artist";
    r.Genre = 8;
    r.HasTag = true;
    return r;
}

struct Holder {
    Holder(const std::string& name, DWORD access, DWORD share)
        : h(CreateFileA(name.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~Holder() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    HANDLE h;
};

}  // namespace

TEST_F(TagIOLocked, FileLockedByAnotherProgramGivesFalse) {
    const std::string f = Path("locked.mp3");
    WriteAll(f, Audio(600));
    ASSERT_TRUE(WriteTagV1V2(f, Sample(), 2, false, false));
    const Bytes before = ReadAll(f);
    Holder lock(f, GENERIC_READ | GENERIC_WRITE, 0);
    ASSERT_NE(lock.h, INVALID_HANDLE_VALUE);
    wx::TTrackRecord r = Sample();
    r.Title = "Changed";
    bool hasV1 = true, hasV2 = true;
    EXPECT_NO_THROW({
        EXPECT_FALSE(WriteTagV1V2(f, r, 2, false, false));
        EXPECT_FALSE(WriteTag(f, r));
        EXPECT_FALSE(WriteTagV2(f, r));
        EXPECT_FALSE(SetEmphasisFlag(f, true));
        EXPECT_FALSE(ReadTagV1V2(f, hasV1, r, hasV2));
    });
    EXPECT_FALSE(hasV1);
    EXPECT_FALSE(hasV2);
    CloseHandle(lock.h);
    lock.h = INVALID_HANDLE_VALUE;
    EXPECT_EQ(ReadAll(f), before);
}

TEST_F(TagIOLocked, ReadingWorksWhileAnotherProgramWrites) {
    const std::string f = Path("busy.mp3");
    WriteAll(f, Audio(600));
    ASSERT_TRUE(WriteTagV1V2(f, Sample(), 2, false, false));
    // A player or encoder that keeps the file open for writing and lets
    // others read it.
    Holder writer(f, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(writer.h, INVALID_HANDLE_VALUE);
    Holder denyWrite(f, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    bool hasV1, hasV2;
    wx::TTrackRecord got;
    ASSERT_TRUE(ReadTagV1V2(f, hasV1, got, hasV2));
    EXPECT_TRUE(hasV1);
    EXPECT_TRUE(hasV2);
    EXPECT_EQ(got.Title, "Title");
    EXPECT_EQ(got.Genre, 8);
}

TEST_F(TagIOLocked, ReadingWorksWhileAnotherProgramDeniesWriters) {
    const std::string f = Path("shared.mp3");
    WriteAll(f, Audio(600));
    ASSERT_TRUE(WriteTagV1V2(f, Sample(), 2, false, false));
    Holder reader(f, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(reader.h, INVALID_HANDLE_VALUE);
    bool hasV1, hasV2;
    wx::TTrackRecord got;
    ASSERT_TRUE(ReadTagV1V2(f, hasV1, got, hasV2));
    EXPECT_EQ(got.Artist, "Artist");
    // Writing needs the file for itself.
    EXPECT_FALSE(WriteTagV2(f, got));
}

TEST_F(TagIOLocked, ReadOnlyFileIsReadButNotWritten) {
    const std::string f = Path("readonly.mp3");
    WriteAll(f, Audio(600));
    ASSERT_TRUE(WriteTagV1V2(f, Sample(), 2, false, false));
    const Bytes before = ReadAll(f);
    ASSERT_TRUE(SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_READONLY));
    Holder probe(f, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    const bool systemRefusesWriters = probe.h == INVALID_HANDLE_VALUE;
    CloseHandle(probe.h);
    probe.h = INVALID_HANDLE_VALUE;
    bool hasV1, hasV2;
    wx::TTrackRecord got;
    EXPECT_TRUE(ReadTagV1V2(f, hasV1, got, hasV2));
    EXPECT_EQ(got.Title, "Title");
    if (!systemRefusesWriters) GTEST_LOG_(INFO) << "the system lets writers open read-only files";
    if (systemRefusesWriters) {
        wx::TTrackRecord r = Sample();
        r.Title = "Changed";
        EXPECT_FALSE(WriteTagV1V2(f, r, 2, false, false));
        EXPECT_FALSE(SetEmphasisFlag(f, true));
        EXPECT_EQ(ReadAll(f), before);
    }
    SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(TagIOLocked, TwinVqFileHeldOpenIsLeftAsItWas) {
    const std::string f = Path("held.vqf");
    auto be32 = [](std::uint32_t v) {
        return Bytes{static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                     static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
    };
    const Bytes comm = Str("COMM") + be32(16) + be32(1) + be32(96) + be32(44) + be32(0);
    const Bytes content = Str("TWIN97012000") + be32(static_cast<std::uint32_t>(comm.size())) + comm + Str("DATA") + Audio(500);
    WriteAll(f, content);
    {
        // A player that reads the file and lets others read and write it,
        // but not delete or rename it.
        Holder player(f, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
        ASSERT_NE(player.h, INVALID_HANDLE_VALUE);
        wx::TTrackRecord got;
        EXPECT_TRUE(ReadVQFTag(f, got));
        EXPECT_FALSE(WriteVQFTag(f, Sample()));
    }
    EXPECT_EQ(ReadAll(f), content);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"held.vqf"});
    EXPECT_TRUE(WriteVQFTag(f, Sample()));
    wx::TTrackRecord got;
    ASSERT_TRUE(ReadVQFTag(f, got));
    EXPECT_EQ(got.Title, "Title");
}

TEST_F(TagIOLocked, ShiftJisFileNamesWithBackslashTrailBytes) {
    // ソ is 0x83 0x5C: its second byte is a backslash.
    const std::string name = dir_.string() + "\\\x83\x5C\x83\x93\x83\x4F.mp3";  // ソング.mp3
    {
        HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        const Bytes audio = Audio(2000);
        DWORD written = 0;
        WriteFile(h, audio.data(), static_cast<DWORD>(audio.size()), &written, nullptr);
        CloseHandle(h);
    }
    TTrackRecord r = Sample();
    r.Comment = std::string(3000, 'c');  // the tag grows through a temporary file beside it
    ASSERT_TRUE(WriteTagV1V2(name, r, 2, false, false));
    bool hasV1, hasV2;
    TTrackRecord got;
    ASSERT_TRUE(ReadTagV1V2(name, hasV1, got, hasV2));
    EXPECT_TRUE(hasV1);
    EXPECT_TRUE(hasV2);
    EXPECT_EQ(got.Title, "Title");
    std::vector<std::wstring> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) names.push_back(e.path().filename().wstring());
    EXPECT_EQ(names, std::vector<std::wstring>{L"\u30BD\u30F3\u30B0.mp3"});
}

TEST_F(TagIOLocked, GrowingTagOnAFileThatCannotBeRenamedLeavesIt) {
    const std::string f = Path("grow.mp3");
    WriteAll(f, Audio(3000));
    ASSERT_TRUE(WriteTagV2(f, Sample()));
    const Bytes before = ReadAll(f);
    TTrackRecord r = Sample();
    r.Comment = std::string(4000, 'c');  // beyond the padding: the file must be replaced
    {
        // A reader that shares reading and writing but not deleting or renaming.
        Holder reader(f, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
        ASSERT_NE(reader.h, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(WriteTagV2(f, r));
    }
    EXPECT_EQ(ReadAll(f), before);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"grow.mp3"});
    EXPECT_TRUE(WriteTagV2(f, r));  // once the reader is gone
    TTrackRecord got;
    ASSERT_TRUE(ReadTagV2(f, got));
    EXPECT_EQ(got.Comment, std::string(255, 'c'));
}
