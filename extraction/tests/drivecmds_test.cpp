// Drive commands and read command blocks against the emulated drives.
#include <gtest/gtest.h>

#include <cstring>

#include "extraction/DriveCmds.h"
#include "extraction/DriveScan.h"
#include "extraction/tests/EmuExecutor.h"

using namespace wx;
using wx::test::EmuRig;

namespace {

std::string Drive(int n, const std::string& personality, int target, const std::string& more = "") {
    return "[Drive" + std::to_string(n) + "]\nAdapter=0\nTarget=" + std::to_string(target) +
           "\nImage=disc.cue\nPersonality=" + personality + "\n" + more;
}

TDriveAddress At(int target) { return TDriveAddress{0, std::uint8_t(target), 0, false}; }

TEST(ReadCommandBlocks, EachKindAndTheUnknownMake) {
    struct Case {
        int kind;
        std::uint8_t op, len, countAt, extraAt, extra;
        std::uint32_t per;
    } cases[] = {{0, 0xD8, 12, 9, 10, 0, 2352},  {1, 0xD8, 12, 9, 10, 2, 2448},   {2, 0x28, 10, 8, 0, 0, 2352},
                 {3, 0xD8, 12, 9, 10, 0, 2352},  {4, 0xD8, 12, 9, 10, 0, 2352},   {5, 0xD8, 12, 9, 10, 0, 2352},
                 {6, 0xD4, 10, 8, 0, 0, 2352},   {7, 0x28, 10, 8, 0, 0, 2352},    {8, 0xBE, 12, 8, 9, 0x10, 2352},
                 {9, 0xBE, 12, 8, 9, 0x10, 2352}};
    for (auto& c : cases) {
        TReadCommand r = BuildReadCommand(c.kind, 0x01020304, 27);
        EXPECT_EQ(r.Cdb[0], c.op) << c.kind;
        EXPECT_EQ(r.CdbLen, c.len);
        EXPECT_EQ(r.Cdb[c.countAt], 27);
        if (c.extraAt) {
            EXPECT_EQ(r.Cdb[c.extraAt], c.extra);
        }
        EXPECT_EQ(GetBE32(r.Cdb + 2), 0x01020304u);
        EXPECT_EQ(r.BytesPerSector, c.per);
    }
    TReadCommand unknown = BuildReadCommand(10, 500, 5), plextor = BuildReadCommand(4, 500, 5);
    EXPECT_EQ(0, std::memcmp(unknown.Cdb, plextor.Cdb, 12));
    EXPECT_EQ(unknown.BytesPerSector, plextor.BytesPerSector);
    EXPECT_EQ(BuildReadCommand(11, 500, 5).BytesPerSector, 0u);
}

// The kind guessed from each personality's INQUIRY drives that emulated
// drive: the guess and the read command blocks agree with the drives.
TEST(ReadCommandBlocks, GuessedKindReadsEveryPersonality) {
    for (const char* p : {"atapi", "nec", "sony", "sony561", "toshiba", "pioneer", "plextor", "ricoh", "ricoh1420",
                          "generic", "cdr"}) {
        EmuRig rig("[ASPI]\nAdapters=1\n" + Drive(0, p, 1));
        TDriveCommands cmds(*rig.exec);
        TDriveAddress d = At(1);
        cmds.IsDeviceIn(d);  // the unit attention of the loaded disc
        TAspiBuffer inq(36);
        SRB_ExecSCSICmd s;
        BuildExecSRB(s, d, SRB_DIR_IN, inq.data(), 36, {0x12, 0, 0, 0, 36, 0}, 6);
        rig.exec->Exec(s);
        std::string name(reinterpret_cast<char*>(inq.data()) + 8, 28);
        int kind = GuessReadCommandKind(name, inq[2] & 7, false, false, 0);
        if (kind == 2) {
            ASSERT_TRUE(cmds.ChangeMode(d));
        }
        if (kind == 7) {
            ASSERT_TRUE(cmds.ChangeExtendMode(d));
        }
        TReadCommand r = BuildReadCommand(kind, 700, 3);
        std::vector<std::uint8_t> buf(3 * r.BytesPerSector);
        BuildExecSRB(s, d, SRB_DIR_IN, buf.data(), std::uint32_t(buf.size()), {}, r.CdbLen);
        std::memcpy(s.CDBByte, r.Cdb, 12);
        rig.exec->Exec(s);
        ASSERT_EQ(s.SRB_Status, SS_COMP) << p << " kind " << kind;
        for (int k = 0; k < 3; ++k) {
            std::vector<std::uint8_t> sec(buf.begin() + k * r.BytesPerSector,
                                          buf.begin() + k * r.BytesPerSector + 2352);
            if (kind == 5)
                for (std::size_t i = 0; i + 1 < sec.size(); i += 2) std::swap(sec[i], sec[i + 1]);
            EXPECT_TRUE(testimg::MatchesImage(sec.data(), 2352, (700LL + k) * 2352)) << p;
        }
    }
}

TEST(DriveCommands, PresenceNameModesAndSpinUp) {
    EmuRig rig("[ASPI]\nAdapters=1\n" + Drive(0, "toshiba", 1) + "[Drive1]\nAdapter=0\nTarget=2\n");
    TDriveCommands cmds(*rig.exec);
    EXPECT_FALSE(cmds.IsDeviceIn(At(1)));  // unit attention
    EXPECT_TRUE(cmds.IsDeviceIn(At(1)));
    EXPECT_FALSE(cmds.IsDeviceIn(At(2)));  // no disc
    EXPECT_EQ(cmds.GetVenderName(At(1)), "TOSHIBA CD-ROM XM-6201TA");
    EXPECT_EQ(cmds.GetVenderName(At(5)), "");
    ASSERT_TRUE(cmds.GetMode(At(1)));
    EXPECT_EQ(cmds.ModeBuffer()[10], 0x08);  // 2048
    ASSERT_TRUE(cmds.ChangeMode(At(1)));
    EXPECT_EQ(rig.Find("cdb=150000000c00 ").size(), 1u);
    EXPECT_EQ(rig.Find("flags=0x10 buflen=12").size(), 1u);
    ASSERT_TRUE(cmds.RestoreMode(At(1)));
    TAspiBuffer m(12);
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, At(1), SRB_DIR_IN, m.data(), 12, {0x1A, 0, 0, 0, 12, 0}, 6);
    rig.exec->Exec(s);
    EXPECT_EQ(m[10], 0x08);
    EXPECT_EQ(m[11], 0x00);
    rig.emu->ClearLog();
    cmds.StartSpinUp(At(1), 0x1234);
    auto log = rig.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].find("cdb=010000000000"), std::string::npos);
    EXPECT_NE(log[1].find("cdb=2b0000001234"), std::string::npos);
}

TEST(DriveCommands, SpeedBySetCdSpeedVendorPageAndWarning) {
    EXPECT_EQ(SetCdSpeedValue(0), 180);
    EXPECT_EQ(SetCdSpeedValue(-1), 0xFFFF);
    EXPECT_EQ(SetCdSpeedValue(8), 0x05A0);
    EmuRig rig("[ASPI]\nAdapters=1\n" + Drive(0, "plextor", 1) + Drive(1, "pioneer", 2) + Drive(2, "ricoh", 3) +
               Drive(3, "sony", 4));
    TDriveCommands cmds(*rig.exec);
    for (int t = 1; t <= 4; ++t) cmds.IsDeviceIn(At(t));
    rig.emu->ClearLog();
    EXPECT_FALSE(cmds.SetSpinMode(At(1), 8));
    EXPECT_TRUE(cmds.SpeedBySetCdSpeed());
    EXPECT_EQ(rig.Find("cdb=bb0005a00000").size(), 1u);
    EXPECT_FALSE(cmds.SetSpinMode(At(1), 0));
    EXPECT_EQ(rig.Find("cdb=bb0000b40000").size(), 1u);
    EXPECT_FALSE(cmds.SetSpinMode(At(1), -1));
    EXPECT_EQ(rig.Find("cdb=bb00ffff0000").size(), 1u);
    // Read speed alone refused, then read and write speed.
    EXPECT_FALSE(cmds.SetSpinMode(At(2), 8));
    EXPECT_EQ(rig.Find("target=2 lun=0 flags=0x00 buflen=0 cdb=bb0005a005a0").size(), 1u);
    // No SET CD SPEED: the vendor page, RICOH style (byte 3, high nibble).
    rig.emu->ClearLog();
    EXPECT_FALSE(cmds.SetSpinMode(At(3), 4));
    EXPECT_FALSE(cmds.SpeedBySetCdSpeed());
    EXPECT_EQ(rig.Find("cdb=150000000800").size(), 1u);
    EXPECT_EQ(rig.emu->FindUnit(0, 3)->drive->speedPageByte(1), 0x40);
    EXPECT_EQ(cmds.GetSpinMode(At(3)), 0x40);
    // A RICOH drive gets one try only; too fast for it: the warning.
    rig.emu->ClearLog();
    EXPECT_TRUE(cmds.SetSpinMode(At(3), 9));
    EXPECT_EQ(rig.Find("cdb=150000000800").size(), 1u);
    // Other drives: page byte 2, then once more one step slower.
    rig.emu->ClearLog();
    EXPECT_FALSE(cmds.SetSpinMode(At(4), 5));  // 5 refused, 4 taken
    EXPECT_EQ(rig.Find("cdb=150000000800").size(), 2u);
    EXPECT_EQ(rig.emu->FindUnit(0, 4)->drive->speedPageByte(0), 4);
    EXPECT_EQ(cmds.GetSpinMode(At(4)), 4);
    rig.emu->ClearLog();
    EXPECT_TRUE(cmds.SetSpinMode(At(4), 8));  // 8 and 7 both refused: warn once
    EXPECT_EQ(rig.Find("cdb=150000000800").size(), 2u);
    // The maximum (-1) never falls back to the page.
    rig.emu->ClearLog();
    EXPECT_FALSE(cmds.SetSpinMode(At(4), -1));
    EXPECT_EQ(rig.Find("cdb=15").size(), 0u);
}

TEST(DriveCommands, AnalogPlayStopAndPosition) {
    EmuRig rig("[ASPI]\nAdapters=1\n" + Drive(0, "plextor", 1) + Drive(1, "plextor", 2) + Drive(2, "plextor", 3));
    TDriveCommands cmds(*rig.exec);
    std::vector<TDriveAddress> drives = {At(1), At(2), At(3)};
    for (auto& d : drives) cmds.IsDeviceIn(d);
    EXPECT_EQ(cmds.IsPlaying(At(1)), -1);
    SRB_ExecSCSICmd s;
    // PLAY AUDIO(12) of track 2 (LBA 600, 600 sectors).
    BuildExecSRB(s, At(1), 0, nullptr, 0, {0xA5, 0, 0, 0, 0x02, 0x58, 0, 0, 0x02, 0x58, 0, 0}, 12);
    rig.exec->Exec(s);
    ASSERT_EQ(s.SRB_Status, SS_COMP);
    EXPECT_EQ(cmds.IsPlaying(At(1)), 2);
    rig.emu->ClearLog();
    cmds.PlayStop(drives, -1);
    EXPECT_EQ(rig.Find("cdb=4b000000000000000000").size(), 3u);
    EXPECT_EQ(cmds.IsPlaying(At(1)), -1);  // paused
    rig.emu->ClearLog();
    cmds.PlayStop(drives, 1);
    EXPECT_EQ(rig.Find("cdb=4b").size(), 1u);
    EXPECT_EQ(rig.Find("target=2").size(), 1u);
    cmds.PlayStop({}, -1);  // an empty list sends nothing
    EXPECT_EQ(rig.Find("cdb=4b").size(), 1u);
    EXPECT_EQ(cmds.IsPlaying(At(1)), -1);
    auto sub = rig.Find("cdb=42024001000000001000");
    EXPECT_FALSE(sub.empty());
    for (auto& l : sub) EXPECT_NE(l.find("flags=0x08 buflen=16"), std::string::npos);
}

TEST(AlignedBuffers, SeventeenToThirtyTwoBytesPast) {
    alignas(16) std::uint8_t area[64];
    EXPECT_EQ(AlignBuffer16(area), area + 32);
    EXPECT_EQ(AlignBuffer16(area + 15), area + 32);
    EXPECT_EQ(AlignBuffer16(area + 1), area + 32);
    TAspiBuffer b(100);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b.data()) % 16, 0u);
}

}  // namespace
