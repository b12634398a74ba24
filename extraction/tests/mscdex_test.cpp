// The MSCDEX transport's contract over a thunk served by the emulated drive.
#include <gtest/gtest.h>

#include <cstring>

#include "extraction/MSCDEXCALL.h"
#include "standins/mmcdrive/MmcDrive.h"
#include "standins/tests/TestImage.h"

using namespace wx;

namespace {

struct FakeThunk : TMscdexThunk {
    emu::MmcDrive* drive = nullptr;
    bool loads = true;
    std::uint32_t initAnswer = 1;
    int loaded = 0, freed = 0, readCalls = 0;
    bool Load() override { return loads && ++loaded; }
    void Unload() override { --loaded; }
    std::uint32_t InitMemory(int) override { return initAnswer; }
    bool HasIsResidentMscdex() override { return true; }
    std::uint32_t IsResidentMscdex() override { return 0; }
    std::uint32_t ReadLong(std::uint8_t* block, std::int32_t lba, std::int32_t count) override {
        ++readCalls;
        std::uint8_t cdb[12] = {0xBE, 0, std::uint8_t(lba >> 24), std::uint8_t(lba >> 16), std::uint8_t(lba >> 8),
                                std::uint8_t(lba), 0, 0, std::uint8_t(count), 0x10, 0, 0};
        return drive->Execute(0, cdb, 12, block, MscdexBlockBytes, true).good() ? MscdexReadOk : 0x8002;
    }
    std::int32_t SearchStartPoint(std::int32_t lba) override { return lba + 33; }
    bool HasFreeMemory() override { return true; }
    void FreeMemory() override { ++freed; }
};

TEST(Mscdex, WithoutTheThunkEveryCallFails) {
    SetMscdexThunk(nullptr);
    EXPECT_FALSE(MscdexOpen(0));
    std::uint8_t buf[2352];
    EXPECT_EQ(MscdexReadSectors(buf, 0, 1), 0);
    EXPECT_EQ(MscdexSearchStartPoint(10), -1);
    MscdexClose();
}

TEST(Mscdex, ReadsThroughTheThunkAtMostTwentySevenSectors) {
    testimg::TempDir dir;
    testimg::WriteBin(dir.File("m.bin"), 200);
    testimg::WriteText(dir.File("m.cue"), "FILE \"m.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n");
    std::string err;
    std::shared_ptr<emu::Disc> disc = emu::Disc::LoadCue(dir.File("m.cue"), {}, err);
    ASSERT_TRUE(disc);
    emu::MmcDrive drive;
    drive.Load(disc);
    std::uint8_t tur[6] = {};
    drive.Execute(0, tur, 6, nullptr, 0, true);
    FakeThunk thunk;
    thunk.drive = &drive;
    SetMscdexThunk(&thunk);

    thunk.initAnswer = 0x100;  // low byte 0: the open fails
    EXPECT_FALSE(MscdexOpen(0));
    EXPECT_EQ(thunk.loaded, 0);
    thunk.initAnswer = 1;
    ASSERT_TRUE(MscdexOpen(0));
    EXPECT_EQ(MscdexSearchStartPoint(10), 43);

    std::vector<std::uint8_t> dest(MscdexBlockBytes + 64, 0xEE);
    EXPECT_EQ(MscdexReadSectors(dest.data(), 5, 27), MscdexReadOk);
    EXPECT_TRUE(testimg::MatchesImage(dest.data(), MscdexBlockBytes, 5LL * 2352));
    for (std::size_t i = MscdexBlockBytes; i < dest.size(); ++i) ASSERT_EQ(dest[i], 0xEE);
    // More than one call can carry is refused without reading.
    EXPECT_EQ(MscdexReadSectors(dest.data(), 5, 28), 0);
    EXPECT_EQ(MscdexReadSectors(dest.data(), 5, 0), 0);
    EXPECT_EQ(thunk.readCalls, 1);
    // A failing read passes its status word on; no destination is fine.
    EXPECT_EQ(MscdexReadSectors(nullptr, 199, 2), 0x8002);
    MscdexClose();
    EXPECT_EQ(thunk.freed, 1);
    EXPECT_EQ(thunk.loaded, 0);
    EXPECT_EQ(MscdexReadSectors(dest.data(), 5, 1), 0);
    SetMscdexThunk(nullptr);
}

}  // namespace
