// Drive detection over the emulated ASPI adapters and over the class
// driver, and the read command guess.
#include <gtest/gtest.h>

#include "extraction/ClassDrv.h"
#include "extraction/DriveScan.h"
#include "extraction/tests/EmuExecutor.h"
#include "standins/mmcdrive/EmuDeviceIo.h"

using namespace wx;
using wx::test::EmuRig;

namespace {

std::string At(int adapter, int target, const std::string& keys) {
    static int n = 0;
    return "[Drive" + std::to_string(n++ % 32) + "]\nAdapter=" + std::to_string(adapter) +
           "\nTarget=" + std::to_string(target) + "\n" + keys + "\n";
}

TEST(ReadCommandGuess, EveryRowOfTheTable) {
    EXPECT_EQ(GuessReadCommandKind("PLEXTOR CD-ROM", 0, false, false, 0), 9);  // ATAPI wins
    EXPECT_EQ(GuessReadCommandKind("NEC     CD-ROM DRIVE:464", 2, false, false, 0), 6);
    EXPECT_EQ(GuessReadCommandKind("nec     cd-rom", 2, true, false, 1), 10);  // a PD drive is not the NEC row
    EXPECT_EQ(GuessReadCommandKind("SONY    CD-ROM CDU561", 2, false, false, 0), 1);
    EXPECT_EQ(GuessReadCommandKind("SONY    CD-ROM CDU-76S", 2, false, false, 0), 0);
    EXPECT_EQ(GuessReadCommandKind("TOSHIBA CD-ROM", 2, false, false, 0), 2);
    EXPECT_EQ(GuessReadCommandKind("PIONEER CD-ROM", 2, false, false, 0), 3);
    EXPECT_EQ(GuessReadCommandKind("plextor cd-rom", 2, false, false, 0), 4);
    EXPECT_EQ(GuessReadCommandKind("RICOH   CD-R RO-1420C", 2, false, false, 0), 5);
    EXPECT_EQ(GuessReadCommandKind("RICOH   MP7060S", 2, false, false, 0), 3);
    EXPECT_EQ(GuessReadCommandKind("WXEMU   VIRTUAL", 2, false, false, 0), 10);
    // Class driver: the NEC row needs LUN 0.
    EXPECT_EQ(GuessReadCommandKind("NEC     CD-ROM", 2, false, true, 0), 6);
    EXPECT_EQ(GuessReadCommandKind("NEC     CD-ROM", 2, false, true, 1), 10);
    EXPECT_EQ(ReadCommandListIndex(10), 4);
    EXPECT_EQ(ReadCommandListIndex(7), 7);
}

TEST(AspiScan, AdaptersTargetsPersonalitiesAndEntries) {
    EmuRig rig("[ASPI]\nAdapters=2\n[Adapter1]\nMaxTargets=16\nAlignmentMask=0x0F\nScsiId=7\n" +
               At(0, 0, "Image=disc.cue\nPersonality=atapi") + At(0, 1, "Personality=nec") +
               At(0, 2, "Personality=sony561") + At(0, 3, "Personality=pd\nVendor=NEC") +
               At(0, 4, "Personality=cdr") + At(0, 5, "Personality=generic\nBogusCheckCondition=Yes") +
               At(0, 7, "Personality=plextor") +  // the adapter's own id: never probed
               At(1, 12, "Personality=ricoh1420") + At(1, 3, "Personality=toshiba"));
    TDriveScanner scan(*rig.exec);
    TDeviceTable table;
    scan.SCSIDevSearch(table, false);
    EXPECT_EQ(scan.AdapterCount(), 2);
    ASSERT_EQ(table.DeviceCount, 8);
    ASSERT_EQ(table.DriveList.size(), 8u);
    EXPECT_EQ(table.Selected, 0);
    const TDeviceEntry* e = table.Devices;
    // Adapter 0 in target order.
    EXPECT_EQ(e[0].Target, 0);
    EXPECT_EQ(e[0].DriveMaker, 9);
    EXPECT_TRUE(e[0].IgnoreTargetStat);  // forced for ATAPI
    EXPECT_TRUE(table.ClearMscdex);
    EXPECT_EQ(e[1].DriveMaker, 6);
    EXPECT_EQ(e[2].DriveMaker, 1);
    EXPECT_EQ(e[3].Lun, 1);  // the PD drive's CD unit
    EXPECT_EQ(e[3].DriveType, dtPD);
    EXPECT_EQ(e[3].DriveMaker, 10);  // "NEC" but a PD drive
    EXPECT_EQ(e[4].DriveType, dtCDR);
    EXPECT_EQ(e[5].DriveMaker, 10);
    EXPECT_TRUE(e[5].IgnoreTargetStat);  // its INQUIRY came with a check condition
    EXPECT_FALSE(e[1].IgnoreTargetStat);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(e[i].Adapter, 0);
        EXPECT_TRUE(e[i].Enabled);  // alignment mask 1
        EXPECT_EQ(e[i].PortNumber, -1);
        EXPECT_FALSE(e[i].ClassDrvInfo);
        EXPECT_EQ(e[i].DeviceName.size(), 32u);
    }
    EXPECT_EQ(e[1].DeviceName, "NEC     CD-ROM DRIVE:4641.00    ");
    // Adapter 1: 16 targets, a coarse alignment mask.
    EXPECT_EQ(e[6].Adapter, 1);
    EXPECT_EQ(e[6].Target, 3);
    EXPECT_EQ(e[6].DriveMaker, 2);
    EXPECT_EQ(e[7].Target, 12);
    EXPECT_EQ(e[7].DriveMaker, 5);
    EXPECT_FALSE(e[7].Enabled);
    // Target 7 of adapter 0 is the adapter itself.
    EXPECT_TRUE(rig.Find("ha=0 target=7").empty());
    EXPECT_FALSE(rig.Find("ha=1 target=15").empty());
    // Every probe is INQUIRY, 36 bytes in, sense 14.
    for (auto& l : rig.Find("cmd=2")) {
        if (l.find("lun=0") != std::string::npos) {
            EXPECT_NE(l.find("flags=0x08 buflen=36 cdb=120000002400"), std::string::npos) << l;
        }
    }
    EXPECT_EQ(rig.Find("ha=0 target=3 lun=1").size(), 1u);

    // The texts of the drive page.
    EXPECT_EQ(DriveAdapterText(e[7]), "1");
    EXPECT_EQ(DriveTargetText(e[3]), "3:1");
    EXPECT_EQ(DriveTypeName(e[3].DriveType), "PD-Drive");
    EXPECT_EQ(DriveTypeName(e[4].DriveType), "CD-R");
    EXPECT_EQ(DriveTypeName(e[0].DriveType), "CD-ROM");

    // A rescan starts from an empty table.
    scan.SCSIDevSearch(table, false);
    EXPECT_EQ(table.DeviceCount, 8);
    EXPECT_EQ(table.Devices[8].Adapter, -1);
    EXPECT_EQ(table.Devices[8].Target, -1);
}

TEST(AspiScan, TableHoldsThirtyAndTheListMore) {
    std::string ini = "[ASPI]\nAdapters=2\n[Adapter0]\nMaxTargets=16\n[Adapter1]\nMaxTargets=16\n";
    int n = 0;
    for (int a = 0; a < 2; ++a)
        for (int t = 0; t < 16; ++t)
            if (t != 7) {
                ini += "[Drive" + std::to_string(n) + "]\nAdapter=" + std::to_string(a) + "\nTarget=" +
                       std::to_string(t) + "\n";
                ++n;
            }
    EmuRig rig(ini);
    TDriveScanner scan(*rig.exec);
    TDeviceTable table;
    scan.SCSIDevSearch(table, false);
    EXPECT_EQ(table.DeviceCount, MaxDeviceEntries);
    EXPECT_EQ(table.DriveList.size(), 30u);
    EXPECT_EQ(table.Devices[29].Adapter, 1);
}

TEST(AspiScan, NoAdaptersAndIgnoreTargetStatQuery) {
    EmuRig rig("[ASPI]\nAdapters=1\n" + At(0, 1, "Image=disc.cue\nPersonality=plextor") +
               At(0, 2, "Personality=atapi") + At(0, 3, "BogusCheckCondition=Yes"));
    TDriveScanner scan(*rig.exec);
    EXPECT_FALSE(scan.IsIgnoreTargetStat(0, 1, 0, true));
    EXPECT_TRUE(scan.IsIgnoreTargetStat(0, 2, 0, true));   // ANSI 0 under ASPI
    EXPECT_FALSE(scan.IsIgnoreTargetStat(0, 2, 0, false));
    EXPECT_TRUE(scan.IsIgnoreTargetStat(0, 3, 0, true));
    EXPECT_TRUE(scan.IsIgnoreTargetStat(0, 6, 0, true));   // nobody there
    EXPECT_EQ(rig.Find("cdb=120000002000").size(), 5u);

    EmuRig none("[ASPI]\nAdapters=0\n");
    TDriveScanner s2(*none.exec);
    TDeviceTable table;
    s2.SCSIDevSearch(table, false);
    EXPECT_EQ(table.DeviceCount, 0);
    EXPECT_TRUE(table.DriveList.empty());
}

TEST(ClassDriverScan, EntriesFromTheClassDriverTable) {
    testimg::TempDir dir;
    emu::EmuDeviceIo io;
    auto add = [&](char letter, const char* personality, std::uint8_t port, std::uint8_t target, bool address) {
        emu::Personality p;
        emu::PersonalityByName(personality, p);
        emu::EmuLetter l;
        l.letter = letter;
        l.drive = std::make_shared<emu::MmcDrive>(p);
        l.port = port;
        l.target = target;
        l.addressWorks = address;
        io.letters.push_back(l);
    };
    add('D', "nec", 1, 2, true);
    add('E', "atapi", 2, 0, false);
    add('F', "pd", 3, 1, true);
    io.letters.back().lun = 1;
    add('G', "cdr", 4, 0, true);
    ClassDrvResetForTest();
    SetDeviceIo(&io);
    struct Unused : TSrbExecutor {
        void Exec(SRB_ExecSCSICmd& s) override { s.SRB_Status = SS_ERR; }
    } unused;
    TDriveScanner scan(unused);
    TDeviceTable table;
    scan.SCSIDevSearch(table, true);
    ASSERT_EQ(table.DeviceCount, 4);
    const TDeviceEntry* e = table.Devices;
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(e[i].ClassDrvInfo);
        EXPECT_TRUE(e[i].Enabled);
        EXPECT_FALSE(e[i].IgnoreTargetStat);
    }
    EXPECT_EQ(e[0].PortNumber, 1);
    EXPECT_EQ(e[0].Adapter, 0);
    EXPECT_EQ(e[0].Target, 2);
    EXPECT_EQ(e[0].DriveMaker, 6);
    // The letter without an address: keyed by its letter, shown as PnP.
    EXPECT_EQ(e[1].PortNumber, ClassDrvLetterKey + 'E');
    EXPECT_EQ(e[1].Adapter, 255);
    EXPECT_EQ(e[1].DriveMaker, 9);
    EXPECT_FALSE(e[1].IgnoreTargetStat);  // left alone on the class driver
    EXPECT_TRUE(table.ClearMscdex);
    EXPECT_EQ(DriveAdapterText(e[1]), "PnP Drive : E");
    EXPECT_EQ(DriveTargetText(e[1]), "--:--");
    // The PD drive's CD unit at LUN 1 (the optical unit is not listed).
    EXPECT_EQ(e[2].Lun, 1);
    EXPECT_EQ(e[2].DriveType, dtPD);
    EXPECT_EQ(e[3].DriveType, dtCDR);
    EXPECT_EQ(table.DriveList[0], e[0].DeviceName);
    SetDeviceIo(nullptr);
    ClassDrvResetForTest();
}

}  // namespace

namespace {

TEST(DeviceInfo, InquiryFieldsOfTheDetailsWindow) {
    EmuRig rig("[ASPI]\nAdapters=1\n[Drive0]\nAdapter=0\nTarget=1\nPersonality=toshiba\nVendorSpecific=FIRMWARE NOTE\n");
    TInquiryInfo info;
    ASSERT_TRUE(ReadDeviceInfo(*rig.exec, TDriveAddress{0, 1, 0, false}, info));
    EXPECT_EQ(info.DeviceType, 5);
    EXPECT_TRUE(info.Removable);
    EXPECT_EQ(info.AnsiVersion, 2);
    EXPECT_EQ(info.ResponseFormat, 2);
    EXPECT_TRUE(info.Sync);
    EXPECT_FALSE(info.CmdQue);
    EXPECT_EQ(info.Vendor, "TOSHIBA ");
    EXPECT_EQ(info.Product, "CD-ROM XM-6201TA");
    EXPECT_EQ(info.Revision, "1.00");
    EXPECT_EQ(info.VendorSpecific, "FIRMWARE NOTE       ");
    EXPECT_EQ(rig.Find("buflen=56 cdb=120000003800").size(), 1u);
    EXPECT_FALSE(ReadDeviceInfo(*rig.exec, TDriveAddress{0, 2, 0, false}, info));

    std::uint8_t raw[56] = {0xE7, 0x80, 0xD2, 0xC3, 0, 0, 0, 0xFB};
    TInquiryInfo d = DecodeInquiry(raw);
    EXPECT_EQ(d.Qualifier, 7);
    EXPECT_EQ(d.DeviceType, 7);
    EXPECT_EQ(d.IsoVersion, 3);
    EXPECT_EQ(d.EcmaVersion, 2);
    EXPECT_EQ(d.AnsiVersion, 2);
    EXPECT_TRUE(d.Aenc && d.TrmIop);
    EXPECT_EQ(d.ResponseFormat, 3);
    EXPECT_TRUE(d.RelAdr && d.WBus32 && d.WBus16 && d.Sync && d.Linked && d.CmdQue && d.SoftReset);
    EXPECT_EQ(d.Vendor, "        ");  // zero bytes shown as blanks
}

}  // namespace
