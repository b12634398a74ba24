// The CD-TEXT packs of an emulated drive, read through the transport.
#include <gtest/gtest.h>

#include "discinfo/cdtextread.h"
#include "discinfo/tests/cdtextpacks.h"
#include "extraction/tests/EmuExecutor.h"

namespace wx {
namespace {

TEST(CdTextRead, PacksOfTheEmulatedDriveMatchTheCueSheet) {
    wx::test::EmuRig rig("[ASPI]\nAdapters=1\n[Drive0]\nAdapter=0\nTarget=1\nImage=disc.cue\n");
    testimg::WriteText(rig.dir.File("text.cue"),
                       "TITLE \"Some Album\"\nPERFORMER \"Some Band\"\nFILE \"disc.bin\" BINARY\n"
                       "  TRACK 01 AUDIO\n    TITLE \"Opening\"\n    PERFORMER \"Solo\"\n    INDEX 01 00:00:00\n"
                       "  TRACK 02 AUDIO\n    TITLE \"A second song whose title runs over packs\"\n"
                       "    INDEX 01 00:08:00\n");
    rig.Make("[ASPI]\nAdapters=1\n[Drive0]\nAdapter=0\nTarget=1\nImage=text.cue\n");
    TDriveAddress d;
    d.Target = 1;
    std::vector<std::uint8_t> packs;
    TDriveCommands(*rig.exec).IsDeviceIn(d);  // the unit attention of the new disc, as the poll meets it
    ASSERT_EQ(GetCDTextData(*rig.exec, d, packs), TCdTextRead::Ok);
    Parsed p(packs);
    ASSERT_TRUE(p.ok) << p.reason;
    EXPECT_EQ(p.Text(0, 0, kCdTextTitle), "Some Album");
    EXPECT_EQ(p.Text(0, 0, kCdTextPerformer), "Some Band");
    EXPECT_EQ(p.Text(0, 1, kCdTextTitle), "Opening");
    EXPECT_EQ(p.Text(0, 1, kCdTextPerformer), "Solo");
    EXPECT_EQ(p.Text(0, 2, kCdTextTitle), "A second song whose title runs over packs");
    EXPECT_EQ(p.r.Blocks[0].LanguageCode, 0x09);
    EXPECT_EQ(rig.Find("cdb=4300050000000020").size(), 1u);

    // No CD-TEXT; no disc.
    rig.Make("[ASPI]\nAdapters=1\n[Drive0]\nAdapter=0\nTarget=1\nImage=disc.cue\n");
    TDriveCommands(*rig.exec).IsDeviceIn(d);
    EXPECT_EQ(GetCDTextData(*rig.exec, d, packs), TCdTextRead::Unsupported);
    rig.Make("[ASPI]\nAdapters=1\n[Drive0]\nAdapter=0\nTarget=1\nImage=\n");
    EXPECT_EQ(GetCDTextData(*rig.exec, d, packs), TCdTextRead::NoMedia);
}

}  // namespace
}  // namespace wx
