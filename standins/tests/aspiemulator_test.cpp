// The ASPI front of the emulated drives: request records in place, the
// completion event, latency, several requests in flight, abort and reset.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "standins/mmcdrive/AspiEmulator.h"
#include "standins/mmcdrive/EmuConfig.h"
#include "standins/tests/TestImage.h"

using namespace wx;
using namespace wx::emu;
using namespace wx::testimg;

namespace {

// Stands in for a Win32 event: counts signals and can be waited on.
struct FakeEvent {
    std::mutex m;
    std::condition_variable cv;
    int signals = 0;
    bool WaitFor(int count, int ms) {
        std::unique_lock<std::mutex> g(m);
        return cv.wait_for(g, std::chrono::milliseconds(ms), [&] { return signals >= count; });
    }
};

void Signal(void* e) {
    auto* ev = static_cast<FakeEvent*>(e);
    std::lock_guard<std::mutex> g(ev->m);
    ++ev->signals;
    ev->cv.notify_all();
}

std::uint8_t Status(const SRB_ExecSCSICmd& s) {
    return std::atomic_ref<const std::uint8_t>(s.SRB_Status).load();
}

struct Aspi : ::testing::Test {
    TempDir dir;
    std::unique_ptr<AspiEmulator> emu;

    void Make(const std::string& driveKeys, int adapters = 1) {
        WriteBin(dir.File("a.bin"), 900);
        WriteText(dir.File("a.cue"),
                  "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n"
                  "  INDEX 01 00:06:00\n");
        IniFile ini;
        ini.Parse("[ASPI]\nAdapters=" + std::to_string(adapters) +
                  "\n[Drive0]\nAdapter=0\nTarget=1\nImage=a.cue\n" + driveKeys);
        std::vector<std::string> errors;
        EmuSetup s = BuildSetup(ini, dir.path().string(), errors);
        ASSERT_TRUE(errors.empty());
        emu = std::make_unique<AspiEmulator>(s.adapters, s.units, Signal);
    }

    static void Exec(SRB_ExecSCSICmd& s, std::vector<std::uint8_t> cdb, std::uint8_t* buf, std::uint32_t len,
                     FakeEvent* ev, int target = 1) {
        ClearSRB(s);
        s.SRB_Cmd = SC_EXEC_SCSI_CMD;
        s.SRB_Target = std::uint8_t(target);
        s.SRB_Flags = SRB_DIR_IN | (ev ? SRB_EVENT_NOTIFY : 0);
        s.SRB_PostProc = ev;
        s.SRB_BufPointer = buf;
        s.SRB_BufLen = len;
        s.SRB_SenseLen = SENSE_LEN;
        s.SRB_CDBLen = std::uint8_t(cdb.size());
        std::memcpy(s.CDBByte, cdb.data(), cdb.size());
    }
};

TEST_F(Aspi, SupportInfoAndHostAdapterInquiry) {
    Make("", 2);
    EXPECT_EQ(emu->SupportInfo(), 0x0102u);
    SRB_HAInquiry ha;
    ClearSRB(ha);
    ha.SRB_Cmd = SC_HA_INQUIRY;
    ha.SRB_HaId = 1;
    EXPECT_EQ(emu->Send(&ha), SS_COMP);
    EXPECT_EQ(ha.HA_Count, 2);
    EXPECT_EQ(ha.HA_SCSI_ID, 7);
    EXPECT_EQ(ha.HA_Unique[0] | ha.HA_Unique[1] << 8, 1);
    EXPECT_EQ(ha.HA_Unique[3], 8);
    ha.SRB_HaId = 2;
    EXPECT_EQ(emu->Send(&ha), SS_INVALID_HA);
    AspiEmulator none({}, {}, Signal);
    EXPECT_EQ(none.SupportInfo() >> 8, SS_NO_ADAPTERS);

    SRB_GDEVBlock g;
    ClearSRB(g);
    g.SRB_Cmd = SC_GET_DEV_TYPE;
    g.SRB_Target = 1;
    EXPECT_EQ(emu->Send(&g), SS_COMP);
    EXPECT_EQ(g.SRB_DeviceType, 5);
    g.SRB_Target = 2;
    EXPECT_EQ(emu->Send(&g), SS_NO_DEVICE);
}

TEST_F(Aspi, SynchronousCompletionStillSignalsTheEvent) {
    Make("");
    FakeEvent ev;
    SRB_ExecSCSICmd s;
    std::uint8_t buf[36];
    Exec(s, {0x12, 0, 0, 0, 36, 0}, buf, sizeof buf, &ev);
    EXPECT_EQ(emu->Send(&s), SS_COMP);
    EXPECT_EQ(Status(s), SS_COMP);
    EXPECT_EQ(ev.signals, 1);
    EXPECT_EQ(buf[0], 5);
    // Without flag 0x40 the event is left alone.
    Exec(s, {0x12, 0, 0, 0, 36, 0}, buf, sizeof buf, nullptr);
    s.SRB_PostProc = &ev;
    emu->Send(&s);
    EXPECT_EQ(ev.signals, 1);
}

TEST_F(Aspi, CheckConditionFillsSenseAndLog) {
    Make("");
    SRB_ExecSCSICmd s;
    Exec(s, {0x00, 0, 0, 0, 0, 0}, nullptr, 0, nullptr);  // unit attention: disc loaded
    EXPECT_EQ(emu->Send(&s), SS_ERR);
    EXPECT_EQ(s.SRB_TargStat, STATUS_CHKCOND);
    EXPECT_EQ(s.SenseArea[0], 0x70);
    EXPECT_EQ(s.SenseArea[2], 6);
    EXPECT_EQ(s.SenseArea[12], 0x28);
    EXPECT_EQ(s.SenseArea[SENSE_LEN], 0);  // only the 14 bytes asked for
    Exec(s, {0x00, 0, 0, 0, 0, 0}, nullptr, 0, nullptr);
    EXPECT_EQ(emu->Send(&s), SS_COMP);
    // A target nobody answers at: selection time-out.
    Exec(s, {0x00, 0, 0, 0, 0, 0}, nullptr, 0, nullptr, 4);
    EXPECT_EQ(emu->Send(&s), SS_ERR);
    EXPECT_EQ(s.SRB_HaStat, 0x11);
    auto log = emu->Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].Format(),
              "cmd=2 ha=0 target=1 lun=0 flags=0x08 buflen=0 cdb=000000000000 event=0 status=4 targstat=2 hastat=0 "
              "sense=6/28/00");
}

TEST_F(Aspi, BogusCheckConditionCompletesWithStatusOne) {
    Make("BogusCheckCondition=Yes\n");
    SRB_ExecSCSICmd s;
    std::uint8_t buf[36];
    Exec(s, {0x12, 0, 0, 0, 36, 0}, buf, sizeof buf, nullptr);
    EXPECT_EQ(emu->Send(&s), SS_COMP);
    EXPECT_EQ(s.SRB_TargStat, STATUS_CHKCOND);
}

TEST_F(Aspi, LatencyKeepsSeveralRequestsInFlight) {
    Make("Latency=80\n");
    FakeEvent ev[3];
    SRB_ExecSCSICmd s[3];
    std::uint8_t buf[3][36];
    for (int i = 0; i < 3; ++i) {
        Exec(s[i], {0x12, 0, 0, 0, 36, 0}, buf[i], 36, &ev[i]);
        EXPECT_EQ(emu->Send(&s[i]), SS_PENDING);
    }
    EXPECT_EQ(emu->InFlight(), 3u);
    EXPECT_EQ(Status(s[0]), SS_PENDING);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(ev[i].WaitFor(1, 5000));
        EXPECT_EQ(Status(s[i]), SS_COMP);
        EXPECT_EQ(buf[i][0], 5);
    }
    EXPECT_EQ(emu->InFlight(), 0u);
}

TEST_F(Aspi, AbortEndsAHangingRequest) {
    Make("Hang=0x43\nHangCount=1\n");
    FakeEvent ev;
    SRB_ExecSCSICmd s;
    std::uint8_t buf[804];
    Exec(s, {0x43, 0, 0, 0, 0, 0, 1, 0x03, 0x24, 0}, buf, sizeof buf, &ev);
    EXPECT_EQ(emu->Send(&s), SS_PENDING);
    EXPECT_FALSE(ev.WaitFor(1, 100));
    EXPECT_EQ(Status(s), SS_PENDING);

    SRB_Abort a;
    ClearSRB(a);
    a.SRB_Cmd = SC_ABORT_SRB;
    a.SRB_ToAbort = &s;
    EXPECT_EQ(emu->Send(&a), SS_COMP);
    EXPECT_EQ(Status(s), SS_ABORTED);
    EXPECT_EQ(ev.signals, 1);
    // Aborting it again finds nothing.
    ClearSRB(a);
    a.SRB_Cmd = SC_ABORT_SRB;
    a.SRB_ToAbort = &s;
    EXPECT_EQ(emu->Send(&a), SS_ABORT_FAIL);
    // The hang was for the first request only.
    Exec(s, {0x43, 0, 0, 0, 0, 0, 1, 0x03, 0x24, 0}, buf, sizeof buf, &ev);
    emu->Send(&s);
    EXPECT_EQ(Status(s), SS_ERR);  // unit attention first
    Exec(s, {0x43, 0, 0, 0, 0, 0, 1, 0x03, 0x24, 0}, buf, sizeof buf, &ev);
    EXPECT_EQ(emu->Send(&s), SS_COMP);
    EXPECT_EQ(buf[3], 2);
}

TEST_F(Aspi, ResetCanHangAndIsAbortable) {
    Make("Hang=reset\n");
    SRB_ExecSCSICmd s;
    ClearSRB(s);
    s.SRB_Cmd = SC_RESET_DEV;
    s.SRB_Target = 1;
    EXPECT_EQ(emu->Send(&s), SS_PENDING);
    SRB_Abort a;
    ClearSRB(a);
    a.SRB_Cmd = SC_ABORT_SRB;
    a.SRB_ToAbort = &s;
    EXPECT_EQ(emu->Send(&a), SS_COMP);
    EXPECT_EQ(Status(s), SS_ABORTED);

    Make("");
    ClearSRB(s);
    s.SRB_Cmd = SC_RESET_DEV;
    s.SRB_Target = 1;
    EXPECT_EQ(emu->Send(&s), SS_COMP);
    EXPECT_EQ(emu->Send(nullptr), SS_INVALID_SRB);
    ClearSRB(s);
    s.SRB_Cmd = 9;
    EXPECT_EQ(emu->Send(&s), SS_INVALID_CMD);
}

TEST_F(Aspi, LogFileGetsOneLinePerRequest) {
    Make("");
    emu->SetLogFile(dir.File("r.log"));
    SRB_ExecSCSICmd s;
    std::uint8_t buf[36];
    Exec(s, {0x12, 0, 0, 0, 36, 0}, buf, sizeof buf, nullptr);
    emu->Send(&s);
    Exec(s, {0x1A, 0, 0, 0, 12, 0}, buf, 12, nullptr);
    emu->Send(&s);
    emu->SetLogFile("");
    std::ifstream in(dir.File("r.log"));
    std::string l1, l2;
    std::getline(in, l1);
    std::getline(in, l2);
    EXPECT_NE(l1.find("cdb=120000002400"), std::string::npos) << l1;
    EXPECT_NE(l2.find("cdb=1a0000000c00"), std::string::npos) << l2;
}

}  // namespace
