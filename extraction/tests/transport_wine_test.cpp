// Detection, drive commands and the table of contents through TWin32Aspi
// and the WNASPI32.DLL stand-in under Wine, checked against the stand-in's
// request log.
#include <gtest/gtest.h>

#include <cstring>

#include "extraction/ClassDrv.h"
#include "extraction/DriveScan.h"
#include "extraction/TrackTable.h"
#include "extraction/Transport.h"
#include "extraction/Win32Aspi.h"
#include "extraction/tests/StandinSetup.h"

using namespace wx;
using wx::test::StandinSetup;

namespace {

TEST(StandinTransport, ScanAndTocThroughTheLibrary) {
    StandinSetup st("Personality=plextor\nLatency=5\n",
                    "[Drive1]\nAdapter=0\nTarget=4\nPersonality=atapi\nImage=disc.cue\n");
    TWin32Aspi aspi(nullptr);
    ASSERT_EQ(aspi.Adapters(), 1);
    bool poll = false;
    TAspiExecutor exec(aspi, poll);
    TDriveScanner scan(exec);
    TDeviceTable table;
    scan.SCSIDevSearch(table, false);
    ASSERT_EQ(table.DeviceCount, 2);
    EXPECT_EQ(table.Devices[0].DriveMaker, 4);
    EXPECT_EQ(table.Devices[0].Target, 1);
    EXPECT_EQ(table.Devices[1].DriveMaker, 9);
    // The adapter inquiry is polled; every INQUIRY waits by event.
    EXPECT_EQ(st.Find({"cmd=0", "event=0", "status=1"}).size(), 2u);
    auto inq = st.Find({"cmd=2", "cdb=120000002400"});
    EXPECT_EQ(inq.size(), 7u);  // targets 0..6
    for (auto& l : inq) EXPECT_NE(l.find("flags=0x48 buflen=36"), std::string::npos) << l;

    st.ClearLog();
    TTocReader toc(exec);
    TTrackTable t;
    TDriveAddress d{0, 1, 0, false};
    ASSERT_TRUE(toc.dispTrack(t, d));
    EXPECT_EQ(t.TrackCount, 3);
    EXPECT_EQ(t.Slots[LeadOutSlot].StartLba, 1800);
    EXPECT_TRUE(t.PreEmphasisSeen);
    auto lines = st.LogLines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_NE(lines[0].find("cdb=000000000000"), std::string::npos);  // TEST UNIT READY twice
    EXPECT_NE(lines[1].find("cdb=000000000000"), std::string::npos);
    EXPECT_NE(lines[2].find("flags=0x48 buflen=3840 cdb=430000000000010f0000"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("flags=0x48 buflen=3840 cdb=430200000000010f0000"), std::string::npos) << lines[3];
    EXPECT_NE(lines[4].find("flags=0x48 buflen=12 cdb=43000000000000000c40"), std::string::npos) << lines[4];

    // Polling, as the settings may ask.
    poll = true;
    st.ClearLog();
    TDriveCommands cmds(exec);
    EXPECT_TRUE(cmds.IsDeviceIn(d));
    EXPECT_EQ(st.Find({"cdb=000000000000", "flags=0x00", "event=0", "status=1"}).size(), 1u);
    EXPECT_FALSE(cmds.SetSpinMode(d, 8));
    EXPECT_EQ(st.Find({"cdb=bb0005a00000", "status=1"}).size(), 1u);
}

TEST(StandinTransport, DispatchBetweenAspiAndTheClassDriver) {
    StandinSetup st("Personality=plextor\n");
    TWin32Aspi aspi(nullptr);
    bool poll = false, useAspi = true;
    std::int32_t port = 0x10000 + 'Q';
    TAspiExecutor aspiExec(aspi, poll);
    TTransportDispatch dispatch(useAspi, &aspiExec, port);
    TDriveCommands cmds(dispatch);
    TDriveAddress d{0, 1, 0, false};
    cmds.IsDeviceIn(d);
    EXPECT_TRUE(cmds.IsDeviceIn(d));
    EXPECT_EQ(st.Find({"cdb=000000000000"}).size(), 2u);
    // The class driver has no drive here (no CD device under Wine): the
    // request fails and the library sees nothing.
    useAspi = false;
    ClassDrvResetForTest();
    EXPECT_FALSE(cmds.IsDeviceIn(d));
    EXPECT_EQ(st.Find({"cdb=000000000000"}).size(), 2u);
    ClassDrvEnumDevices();  // the real device I/O: finds no CD-ROM root with a device
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, d, 0, nullptr, 0, {0, 0, 0, 0, 0, 0}, 6);
    dispatch.Exec(s);
    EXPECT_EQ(s.SRB_Status, SS_ERR);  // never left pending
}

}  // namespace
