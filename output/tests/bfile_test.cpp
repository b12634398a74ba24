// Bit file: bit order, buffer flushing, slot limits and write errors.
#include <gtest/gtest.h>

#include <vector>

#include "output/bfile.h"
#include "output/tests/testfiles.h"

namespace wx {
namespace {

using test::ReadAll;

class BitFileTest : public ::testing::Test {
protected:
    test::TScratchDir dir{"wx-bfile"};
};

TEST_F(BitFileTest, ValuesAreWrittenMostSignificantBitFirstAndOverflowIsReported) {
    const std::string name = dir.Path("a.bin");
    PBitFile f = BitFileOpen(name, "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(BitFilePutBits(5, 2, f), 1);   // 101 does not fit in 2 bits: 0 1 written
    EXPECT_EQ(BitFilePutBits(3, 2, f), 0);   // 1 1
    EXPECT_EQ(BitFilePutBits(0x0F, 4, f), 0);  // 1111
    ASSERT_TRUE(BitFileClose(f));
    EXPECT_EQ(ReadAll(name), (std::vector<unsigned char>{0x7F}));
}

TEST_F(BitFileTest, CloseCompletesTheLastByteWithZeroBits) {
    const std::string name = dir.Path("b.bin");
    PBitFile f = BitFileOpen(name, "wb");
    ASSERT_NE(f, nullptr);
    BitFilePutBits(0x1FF, 9, f);  // nine ones
    BitFilePutBits(0xF, 4, f);    // four ones: 13 bits in all
    ASSERT_TRUE(BitFileClose(f));
    EXPECT_EQ(ReadAll(name), (std::vector<unsigned char>{0xFF, 0xF8}));
}

TEST_F(BitFileTest, LongStreamsCrossTheBufferBoundaryIntact) {
    const std::string name = dir.Path("c.bin");
    PBitFile f = BitFileOpen(name, "wb");
    ASSERT_NE(f, nullptr);
    std::vector<unsigned char> expected;
    // 3 bits then 5 bits per byte, so fields straddle the 1,024-byte flushes.
    for (int i = 0; i < 3000; ++i) {
        const unsigned char b = static_cast<unsigned char>(i * 37 + 11);
        BitFilePutBits(b >> 5, 3, f);
        BitFilePutBits(b & 0x1F, 5, f);
        expected.push_back(b);
    }
    BitFilePutBits(1, 1, f);
    expected.push_back(0x80);
    ASSERT_TRUE(BitFileClose(f));
    EXPECT_EQ(ReadAll(name), expected);
}

TEST_F(BitFileTest, FiftySlotsAtMostAndAFailedOpenTakesNone) {
    const int before = BitFilesOpen();
    EXPECT_EQ(BitFileOpen(dir.Path("missing/x.bin"), "wb"), nullptr);
    EXPECT_EQ(BitFilesOpen(), before);

    std::vector<PBitFile> open;
    for (int i = before; i < kBitFileSlots; ++i) {
        PBitFile f = BitFileOpen(dir.Path("s" + std::to_string(i)), "wb");
        ASSERT_NE(f, nullptr) << i;
        open.push_back(f);
    }
    EXPECT_EQ(BitFileOpen(dir.Path("one-too-many"), "wb"), nullptr);
    BitFileClose(open.back());
    open.pop_back();
    PBitFile again = BitFileOpen(dir.Path("again"), "wb");
    EXPECT_NE(again, nullptr);
    open.push_back(again);
    for (PBitFile f : open) EXPECT_TRUE(BitFileClose(f));
    EXPECT_EQ(BitFilesOpen(), before);
}

TEST_F(BitFileTest, AModeWithoutWOpensAnExistingFileOnly) {
    EXPECT_EQ(BitFileOpen(dir.Path("absent.bin"), "rb"), nullptr);
    const std::string name = dir.Path("existing.bin");
    test::WriteAll(name, {0x00, 0x11, 0x22});
    PBitFile f = BitFileOpen(name, "r+");
    ASSERT_NE(f, nullptr);
    BitFilePutBits(0xAB, 8, f);
    EXPECT_TRUE(BitFileClose(f));
    // Not a write mode: nothing buffered is flushed and the file is kept.
    EXPECT_EQ(ReadAll(name), (std::vector<unsigned char>{0x00, 0x11, 0x22}));
}

#ifndef _WIN32
TEST_F(BitFileTest, AFailedWriteSetsTheErrorFlagAndDropsLaterBits) {
    PBitFile f = BitFileOpen("/dev/full", "wb");
    ASSERT_NE(f, nullptr);
    for (int i = 0; i < 3 * kBitFileBufferBytes; ++i) BitFilePutBits(0x55, 8, f);
    // stdio may hold the first flush back; the error shows at the latest on close.
    EXPECT_FALSE(BitFileClose(f));
}
#endif

}  // namespace
}  // namespace wx
