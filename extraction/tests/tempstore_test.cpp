// The temporary store: memory first, then the slot's work file; slot 1
// after slot 0; short and failed file transfers; everything removed.
#include <gtest/gtest.h>

#include <filesystem>

#include "extraction/tempstore.h"
#include "extraction/tests/tempfiles_util.h"
#include "standins/tests/TestImage.h"

using namespace wx;
using namespace wxtest;

namespace {

std::vector<std::uint8_t> Pattern(std::size_t n, int seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = std::uint8_t(i * 31 + seed * 17 + (i >> 9));
    return v;
}

class TempStoreTest : public ::testing::Test {
protected:
    std::vector<std::uint8_t> ReadAll(int slot) {
        std::vector<std::uint8_t> out, piece(5000);
        store.SetReadPos(slot, 0);
        for (std::uint32_t n; (n = store.Read(slot, piece.data(), 5000)) > 0;)
            out.insert(out.end(), piece.begin(), piece.begin() + n);
        return out;
    }
    std::string F(const char* n) { return dir.File(n); }
    testimg::TempDir dir;
    TLimitedFiles files;
    TTempStore store{files};
    std::vector<std::uint8_t> memory = std::vector<std::uint8_t>(20 * SectorBytes, 0);
};

}  // namespace

TEST(TempStoreShareTest, WholeSectorsTenFewer) {
    EXPECT_EQ(TempStoreShare(0), 0u);
    EXPECT_EQ(TempStoreShare(10 * 2352 + 100), 0u);
    EXPECT_EQ(TempStoreShare(25 * 2352 + 100), 15u * 2352);
    EXPECT_EQ(TempStoreShare(235520000), (235520000u / 2352 - 10) * 2352);
}

TEST_F(TempStoreTest, SpillsPastTheShareAndReadsBack) {
    store.Reset(memory.data(), 10 * SectorBytes);
    ASSERT_TRUE(store.Open(F("s0")));
    EXPECT_EQ(store.Size(0), 0);
    EXPECT_EQ(store.GetReadPos(0), 0);
    auto data = Pattern(25 * SectorBytes + 77, 1);
    // In pieces that straddle the end of the memory.
    for (std::size_t at = 0; at < data.size(); at += 7001)
        ASSERT_TRUE(store.Write(0, data.data() + at, std::uint32_t(std::min<std::size_t>(7001, data.size() - at))));
    EXPECT_EQ(store.Size(0), std::int64_t(data.size()));
    EXPECT_EQ(std::filesystem::file_size(F("s0")), data.size() - 10 * SectorBytes);
    EXPECT_TRUE(std::equal(memory.begin(), memory.begin() + 10 * SectorBytes, data.begin()));
    ASSERT_TRUE(store.Reopen());
    EXPECT_EQ(ReadAll(0), data);
    store.SetReadPos(0, std::int64_t(data.size()) - 10);
    std::uint8_t tail[100];
    EXPECT_EQ(store.Read(0, tail, 100), 10u);
    EXPECT_EQ(store.GetReadPos(0), std::int64_t(data.size()));
    store.CloseAll();
    EXPECT_FALSE(std::filesystem::exists(F("s0")));
    EXPECT_EQ(store.Size(0), -1);
    EXPECT_EQ(store.GetReadPos(0), -1);
    EXPECT_FALSE(store.IsOpen());
}

TEST_F(TempStoreTest, SlotOneAfterSlotZero) {
    // Slot 0 grew beyond the share: slot 1's base is the share and all of
    // its data goes to its file.
    store.Reset(memory.data(), 10 * SectorBytes);
    ASSERT_TRUE(store.Open(F("a")));
    auto a = Pattern(12 * SectorBytes, 2), b = Pattern(3 * SectorBytes, 3);
    ASSERT_TRUE(store.Write(0, a.data(), std::uint32_t(a.size())));
    ASSERT_TRUE(store.Open(F("b")));
    EXPECT_EQ(store.Base(1), 10u * SectorBytes);
    ASSERT_TRUE(store.Write(1, b.data(), std::uint32_t(b.size())));
    EXPECT_EQ(std::filesystem::file_size(F("b")), b.size());
    EXPECT_FALSE(store.Open(F("c")));  // two slots at most
    EXPECT_EQ(ReadAll(0), a);
    EXPECT_EQ(ReadAll(1), b);
    store.CloseAll();

    // Slot 0 smaller: slot 1 starts right after it, and slot 0 growing
    // afterwards does not overwrite slot 1's memory.
    ASSERT_TRUE(store.Open(F("a")));
    auto a1 = Pattern(2 * SectorBytes, 4), a2 = Pattern(5 * SectorBytes, 5), b1 = Pattern(6 * SectorBytes, 6);
    ASSERT_TRUE(store.Write(0, a1.data(), std::uint32_t(a1.size())));
    ASSERT_TRUE(store.Open(F("b")));
    EXPECT_EQ(store.Base(1), 2u * SectorBytes);
    ASSERT_TRUE(store.Write(1, b1.data(), std::uint32_t(b1.size())));
    ASSERT_TRUE(store.Write(0, a2.data(), std::uint32_t(a2.size())));
    EXPECT_EQ(std::filesystem::file_size(F("a")), a2.size());
    EXPECT_EQ(std::filesystem::file_size(F("b")), 0u);
    a1.insert(a1.end(), a2.begin(), a2.end());
    EXPECT_EQ(ReadAll(0), a1);
    EXPECT_EQ(ReadAll(1), b1);
    store.CloseAll();
    EXPECT_EQ(files.Left(), 0);

    // Without memory everything goes to the files.
    store.Reset(nullptr, 0);
    ASSERT_TRUE(store.Open(F("a")));
    ASSERT_TRUE(store.Write(0, b.data(), std::uint32_t(b.size())));
    EXPECT_EQ(std::filesystem::file_size(F("a")), b.size());
    EXPECT_EQ(ReadAll(0), b);
}

TEST_F(TempStoreTest, FailedTransfersAreReported) {
    store.Reset(memory.data(), 2 * SectorBytes);
    files.failCreate = true;
    EXPECT_FALSE(store.Open(F("a")));
    EXPECT_FALSE(store.IsOpen());
    files.failCreate = false;
    EXPECT_FALSE(store.Open(dir.File("missing/folder/a")));
    ASSERT_TRUE(store.Open(F("a")));
    files.budget = 1000;  // the disk is nearly full
    auto d = Pattern(3 * SectorBytes, 7);
    EXPECT_FALSE(store.Write(0, d.data(), std::uint32_t(d.size())));
    // What reached memory counts; the short file part does not.
    EXPECT_EQ(store.Size(0), std::int64_t(2 * SectorBytes));
    EXPECT_FALSE(store.Write(1, d.data(), 10));  // slot 1 is not open
    EXPECT_EQ(store.Read(1, d.data(), 10), 0u);
    store.CloseAll();
    EXPECT_EQ(files.Left(), 0);
}
