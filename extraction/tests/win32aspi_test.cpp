// TWin32Aspi against the WNASPI32.DLL stand-in under Wine: loading, the
// support answer, event and polled waits, time-out and abort, the wrapped
// tick counter.
#include <gtest/gtest.h>

#include <cstring>

#include "extraction/DriveCmds.h"
#include "extraction/Win32Aspi.h"
#include "extraction/tests/StandinSetup.h"

using namespace wx;
using wx::test::StandinSetup;

namespace {

// The drive of the stand-in's default set-up.
const TDriveAddress kDrive{0, 1, 0};

void Inquiry(SRB_ExecSCSICmd& s, std::uint8_t* buf) {
    BuildExecSRB(s, kDrive, SRB_DIR_IN, buf, 36, {0x12, 0, 0, 0, 36, 0}, 6);
}

// TEST UNIT READY.
void UnitReady(SRB_ExecSCSICmd& s) { BuildExecSRB(s, kDrive, 0, nullptr, 0, {0, 0, 0, 0, 0, 0}, 6); }

// Fake millisecond counter: the real one shifted so that it wraps soon.
std::uint32_t g_tickBase;
std::uint32_t g_tickReal0;
std::uint32_t g_tickSpeed = 1;
std::uint32_t WrappingTicks() { return g_tickBase + (GetTickCount() - g_tickReal0) * g_tickSpeed; }

struct TickGuard {
    TickGuard(std::uint32_t base, std::uint32_t speed) {
        g_tickBase = base;
        g_tickReal0 = GetTickCount();
        g_tickSpeed = speed;
        AspiTickSource = WrappingTicks;
    }
    ~TickGuard() { AspiTickSource = [] { return std::uint32_t(GetTickCount()); }; }
};

TEST(Win32AspiLoad, MissingLibraryGivesMinusOneAndNoOps) {
    TWin32Aspi aspi(nullptr, "NOSUCHASPI.DLL");
    EXPECT_EQ(aspi.Adapters(), -1);
    EXPECT_EQ(aspi.GetSendCommandProc(), nullptr);
    EXPECT_EQ(aspi.GetSupportInfoProc(), nullptr);
    SRB_ExecSCSICmd s;
    std::uint8_t buf[36];
    Inquiry(s, buf);
    aspi.SendCommand(&s);  // nothing happens
    DWORD t0 = GetTickCount();
    EXPECT_EQ(aspi.ExecSRBWait(&s, 5, false, false), SS_PENDING);
    EXPECT_LT(GetTickCount() - t0, 1000u);  // no wait without a library
}

TEST(Win32AspiLoad, AdapterCountAndRefusedSupportAnswer) {
    {
        StandinSetup st("", "", "Adapters=2\n");
        TWin32Aspi aspi(nullptr);
        EXPECT_EQ(aspi.Adapters(), 2);
        EXPECT_NE(aspi.GetSendCommandProc(), nullptr);
        EXPECT_NE(aspi.GetSupportInfoProc(), nullptr);
    }
    {
        // No adapters: the library answers 0xE8 in the status byte.
        StandinSetup st("", "", "Adapters=0\n");
        TWin32Aspi aspi(nullptr);
        EXPECT_EQ(aspi.Adapters(), -1);
        EXPECT_EQ(aspi.GetSendCommandProc(), nullptr);
    }
}

TEST(Win32AspiWait, EventWaitSetsTheFlagAndCompletes) {
    StandinSetup st("Latency=60\n");
    TWin32Aspi aspi(nullptr);
    ASSERT_EQ(aspi.Adapters(), 1);
    SRB_ExecSCSICmd s;
    std::uint8_t buf[36] = {};
    Inquiry(s, buf);
    EXPECT_EQ(aspi.ExecSRBWait(&s, 10, false, false), SS_COMP);
    EXPECT_EQ(buf[0], 5);
    EXPECT_EQ(s.SRB_Flags, SRB_DIR_IN | SRB_EVENT_NOTIFY);
    auto lines = st.Find({"cdb=120000002400", "flags=0x48", "event=1", "status=1"});
    EXPECT_EQ(lines.size(), 1u);

    // Polling leaves the flag and the event alone.
    Inquiry(s, buf);
    EXPECT_EQ(aspi.ExecSRBWait(&s, 10, true, false), SS_COMP);
    EXPECT_EQ(st.Find({"cdb=120000002400", "flags=0x08", "event=0", "status=1"}).size(), 1u);
}

TEST(Win32AspiWait, SynchronousCompletionDoesNotWait) {
    StandinSetup st;
    TWin32Aspi aspi(nullptr);
    SRB_ExecSCSICmd s;
    std::uint8_t buf[36];
    Inquiry(s, buf);
    DWORD t0 = GetTickCount();
    EXPECT_EQ(aspi.ExecSRBWait(&s, 10, false, true), SS_COMP);
    EXPECT_LT(GetTickCount() - t0, 1000u);
}

TEST(Win32AspiWait, TimeOutAbortsAndReturnsPending) {
    StandinSetup st("Hang=0x12\nHangCount=1\n");
    TWin32Aspi aspi(nullptr);
    SRB_ExecSCSICmd s;
    std::uint8_t buf[36];
    Inquiry(s, buf);
    DWORD t0 = GetTickCount();
    EXPECT_EQ(aspi.ExecSRBWait(&s, 1, false, false), SS_PENDING);
    DWORD took = GetTickCount() - t0;
    EXPECT_GE(took, 900u);
    EXPECT_LT(took, 5000u);
    // The request was aborted through a second record (command 3).
    EXPECT_EQ(st.Find({"cmd=2", "cdb=120000002400", "status=2"}).size(), 1u);
    EXPECT_EQ(st.Find({"cmd=3", "status=1"}).size(), 1u);
    // Polled, the same.
    StandinSetup st2("Hang=0x12\nHangCount=1\n");
    TWin32Aspi aspi2(nullptr);
    Inquiry(s, buf);
    EXPECT_EQ(aspi2.ExecSRBWait(&s, 1, true, true), SS_PENDING);
    EXPECT_EQ(st2.Find({"cmd=3", "status=1"}).size(), 1u);
}

TEST(Win32AspiWait, ResetIsPolledAndAbortedWhenItHangs) {
    StandinSetup st("Hang=reset\n");
    TWin32Aspi aspi(nullptr);
    SRB_ExecSCSICmd s;
    TWin32Aspi::ClearSRB(s);
    s.SRB_Cmd = SC_RESET_DEV;
    s.SRB_Target = 1;
    EXPECT_EQ(aspi.ExecSRBWait(&s, 1, false, false), SS_PENDING);
    EXPECT_EQ(s.SRB_Flags & SRB_EVENT_NOTIFY, 0);  // polled even with events enabled
    EXPECT_EQ(st.Find({"cmd=4", "event=0", "status=2"}).size(), 1u);
    EXPECT_EQ(st.Find({"cmd=3", "status=1"}).size(), 1u);

    // The reset command of the drive commands: the abort follows after the
    // ten-second poll (the counter runs twenty times fast here).
    st.ClearLog();
    TickGuard fast(GetTickCount(), 20);
    DWORD t0 = GetTickCount();
    ResetAspiDevice(aspi, 0, 1);
    EXPECT_LT(GetTickCount() - t0, 3000u);
    EXPECT_EQ(st.Find({"cmd=4", "status=2"}).size(), 1u);
}

TEST(Win32AspiWait, WrappingTickCounterEndsTheWaitOnTime) {
    StandinSetup st("Hang=0x12\nHangCount=2\n");
    TWin32Aspi aspi(nullptr);
    SRB_ExecSCSICmd s;
    std::uint8_t buf[36];
    {
        TickGuard wrap(0xFFFFFFFFu - 300, 1);  // wraps 300 ms into the wait
        Inquiry(s, buf);
        DWORD t0 = GetTickCount();
        EXPECT_EQ(aspi.ExecSRBWait(&s, 1, true, false), SS_PENDING);
        DWORD took = GetTickCount() - t0;
        EXPECT_GE(took, 900u);
        EXPECT_LT(took, 4000u);
    }
    {
        // Only the low 28 bits count: a start tick from before a wrap of that
        // range still measures the right distance.
        TickGuard wrap(0x0FFFFFFFu - 300, 1);
        Inquiry(s, buf);
        DWORD t0 = GetTickCount();
        EXPECT_EQ(aspi.ExecSRBWait(&s, 1, false, true), SS_PENDING);
        EXPECT_LT(GetTickCount() - t0, 4000u);
    }
    EXPECT_TRUE(IsTimedOutTicks(0xFFFFFF00u, 0x00000200u, 1) == false);
    EXPECT_TRUE(IsTimedOutTicks(0xFFFFFF00u, 0x00000400u, 1));
    EXPECT_TRUE(IsTimedOutTicks(0x0FFFFF00u, 0x10000400u, 1));
}

TEST(Win32AspiWait, PumpingHandlesPendingMessages) {
    StandinSetup st("Latency=200\n");
    TWin32Aspi aspi(nullptr);
    SRB_ExecSCSICmd s;
    std::uint8_t buf[36];
    Inquiry(s, buf);
    MSG m;
    PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);  // make sure the thread has a queue
    PostThreadMessageA(GetCurrentThreadId(), WM_USER + 77, 0, 0);
    EXPECT_EQ(aspi.ExecSRBWait(&s, 10, false, true), SS_COMP);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_USER + 77, WM_USER + 77, PM_NOREMOVE));
}

}  // namespace

namespace {

// Changing Image= in the configuration while the library runs is a disc
// change: no disc, then a unit attention once, then ready.
TEST(Win32AspiStandin, DiscChangeThroughTheConfiguration) {
    StandinSetup st("Personality=plextor\n");
    TWin32Aspi aspi(nullptr);
    auto tur = [&] {
        SRB_ExecSCSICmd s;
        UnitReady(s);
        aspi.ExecSRBWait(&s, 10, false, false);
        return s.SRB_Status == SS_COMP ? 0 : (s.SenseArea[2] & 0x0F) * 256 + s.SenseArea[12];
    };
    EXPECT_EQ(tur(), 0x628);
    EXPECT_EQ(tur(), 0);
    Sleep(50);
    testimg::WriteText(st.config, "[ASPI]\nAdapters=1\n[Drive0]\nAdapter=0\nTarget=1\nImage=\n");
    EXPECT_EQ(tur(), 0x23A);  // medium not present
    Sleep(50);
    testimg::WriteText(st.config, "[ASPI]\nAdapters=1\n[Drive0]\nAdapter=0\nTarget=1\nImage=disc.cue\n");
    EXPECT_EQ(tur(), 0x628);
    EXPECT_EQ(tur(), 0);
}

}  // namespace

namespace {

// Without WX_ASPI_CONFIG the library reads "wnaspi32.ini" beside itself.
TEST(Win32AspiStandin, ConfigurationBesideTheLibraryByDefault) {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string ini = exe;
    ini = ini.substr(0, ini.find_last_of('\\') + 1) + "wnaspi32.ini";
    SetEnvironmentVariableA("WX_ASPI_CONFIG", nullptr);
    testimg::WriteText(ini, "[ASPI]\nAdapters=3\n");
    {
        TWin32Aspi aspi(nullptr);
        EXPECT_EQ(aspi.Adapters(), 3);
    }
    DeleteFileA(ini.c_str());
    // Neither file nor demo disc: one adapter, one drive without a disc.
    TWin32Aspi aspi(nullptr);
    EXPECT_EQ(aspi.Adapters(), 1);
    SRB_ExecSCSICmd s;
    UnitReady(s);
    EXPECT_EQ(aspi.ExecSRBWait(&s, 10, false, false), SS_ERR);
    EXPECT_EQ(s.SenseArea[12], 0x3A);
}

}  // namespace
