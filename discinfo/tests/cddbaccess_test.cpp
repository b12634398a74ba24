// The CDDB job thread over Winsock against the fake server: it reports to
// its window with WM_CDDB_RESULT, writes the trace file and honours aborts.
#include <gtest/gtest.h>

#include <fstream>
#include <new>
#include <sstream>

#include "discinfo/cddbaccess.h"
#include "discinfo/cddbmsg.h"
#include "discinfo/tests/nettest_support.h"
#include "tests/pump.h"

namespace wx {
namespace {

// A message-only window that counts WM_CDDB_RESULT.
class TResultWindow {
public:
    TResultWindow() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "WxCddbResultTest";
        RegisterClassA(&wc);
        wnd_ = CreateWindowA("WxCddbResultTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrA(wnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TResultWindow() { DestroyWindow(wnd_); }
    HWND Handle() const { return wnd_; }

    // Pumps messages until a result arrives or the time is up; true when one
    // arrived.
    bool WaitForResult(DWORD ms) {
        wxtest::PumpUntil([this] { return results_ > 0; }, ms);
        return results_ > 0;
    }
    int Results() const { return results_; }

private:
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<TResultWindow*>(GetWindowLongPtrA(w, GWLP_USERDATA));
        if (m == WM_CDDB_RESULT && self && wp == 0 && lp == 0) {
            ++self->results_;
            return 0;
        }
        return DefWindowProcA(w, m, wp, lp);
    }
    HWND wnd_;
    int results_ = 0;
};

TCDDBNetSettings Settings(const std::string& mode, int timeout) {
    TCDDBNetSettings s;
    s.ServerHost = "127.0.0.1";
    s.CddbpPort = FakeServerPorts().at(mode);
    s.UserEmail = "thread@example.org";
    s.Timeout = timeout;
    return s;
}

void SetQuery(TCddbClient& c) {
    c.DiscId = "0b00a302";
    c.TrackCount = 2;
    c.StartFrames = {150, 18000, 22500};
    c.DiscSeconds = 300;
}

TEST(CddbAccess, TraceFileName) {
    EXPECT_EQ(TCDDBAccess::TraceFileName("C:\\Program Files\\Wendrix\\wendrix.exe"),
              "C:\\Program Files\\Wendrix\\wendrix.LOG");
    EXPECT_EQ(TCDDBAccess::TraceFileName("C:\\a.b\\prog"), "C:\\a.b\\prog.LOG");
}

TEST(CddbAccess, QueryJobReportsToItsWindowAndTraces) {
    ASSERT_FALSE(FakeServerPorts().empty());
    TResultWindow wnd;
    {
        TCDDBAccess job(wnd.Handle(), true, Settings("exact", 10));
        ASSERT_TRUE(job.Tracing());
        job.Mode = TCddbMode::Query;
        SetQuery(job.Client());
        job.Start();
        ASSERT_TRUE(wnd.WaitForResult(30000));
        EXPECT_EQ(job.WaitFor(10000), static_cast<DWORD>(WAIT_OBJECT_0));
        EXPECT_TRUE(job.Client().Success) << job.Client().ResultText;
        EXPECT_EQ(job.Client().ResultText, kCddbMsgReadOk);
        EXPECT_EQ(job.Client().Info.Artist, "Fake Artist");
        EXPECT_EQ(job.Client().Info.Title, "Fake Album");
        EXPECT_EQ(job.Client().Info.Category, "rock");
    }
    EXPECT_EQ(wnd.Results(), 1);
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::ifstream trace(TCDDBAccess::TraceFileName(exe), std::ios::binary);
    ASSERT_TRUE(trace.good());
    std::stringstream all;
    all << trace.rdbuf();
    const std::string text = all.str();
    EXPECT_NE(text.find("XMITED: cddb hello thread example.org Wendrix(JP) R3.22\r\n"), std::string::npos);
    EXPECT_NE(text.find("RECVED: 200 fake.cddb CDDBP server"), std::string::npos);
    EXPECT_NE(text.find("XMITED: cddb read rock 0b00a302\r\n"), std::string::npos);
    EXPECT_NE(text.find("XMITED: quit"), std::string::npos);
}

TEST(CddbAccess, SiteJobAndRefusedServer) {
    TResultWindow wnd;
    TCDDBAccess sites(wnd.Handle(), false, Settings("exact", 10));
    sites.Mode = TCddbMode::Sites;
    sites.Start();
    ASSERT_TRUE(wnd.WaitForResult(30000));
    sites.WaitFor(10000);
    EXPECT_TRUE(sites.Client().Success);
    EXPECT_EQ(sites.Client().SiteLines.size(), 2u);

    TResultWindow wnd2;
    TCDDBAccess refused(wnd2.Handle(), false, Settings("refuse", 10));
    SetQuery(refused.Client());
    refused.Start();
    ASSERT_TRUE(wnd2.WaitForResult(30000));
    refused.WaitFor(10000);
    EXPECT_FALSE(refused.Client().Success);
    EXPECT_TRUE(refused.Client().NetworkError);
    EXPECT_EQ(refused.Client().ResultText, kCddbMsgRefused);
}

// A network that cannot be started, or whose job fails with an exception
// (out of memory): the job still ends with its message and a text, so that
// its window can enable itself and close.
class TBrokenNetwork : public TWinsockNetwork {
public:
    TBrokenNetwork(bool noStart, bool throws) : noStart_(noStart), throws_(throws) {}
    bool Startup() override { return !noStart_ && TWinsockNetwork::Startup(); }
    std::unique_ptr<TCddbSocket> NewSocket() override {
        if (throws_) throw std::bad_alloc();
        return TWinsockNetwork::NewSocket();
    }

private:
    bool noStart_, throws_;
};

TEST(CddbAccess, JobsThatCannotRunStillReport) {
    struct TCase {
        const char* name;
        bool noStart, throws;
        TCddbMode mode;
        const char* text;
    };
    for (const TCase& k : {TCase{"no Winsock", true, false, TCddbMode::Query, kCddbMsgWinsock},
                           TCase{"no Winsock for the sites", true, false, TCddbMode::Sites, kCddbMsgWinsock},
                           TCase{"an exception", false, true, TCddbMode::Query, kCddbMsgJobFailed},
                           TCase{"an exception in a submission", false, true, TCddbMode::Submit, kCddbMsgJobFailed}}) {
        TResultWindow wnd;
        TBrokenNetwork net(k.noStart, k.throws);
        TCDDBAccess job(wnd.Handle(), false, Settings("exact", 10), nullptr, &net);
        job.Mode = k.mode;
        SetQuery(job.Client());
        job.Start();
        ASSERT_TRUE(wnd.WaitForResult(10000)) << k.name;
        job.WaitFor(10000);
        EXPECT_EQ(wnd.Results(), 1) << k.name;
        EXPECT_FALSE(job.Client().Success) << k.name;
        EXPECT_TRUE(job.Client().NetworkError) << k.name;
        EXPECT_EQ(job.Client().ResultText, k.text) << k.name;
    }
}

TEST(CddbAccess, AbortEndsAJobWithASilentServer) {
    TResultWindow wnd;
    TCDDBAccess job(wnd.Handle(), false, Settings("silent", 60));
    SetQuery(job.Client());
    job.Start();
    EXPECT_FALSE(wnd.WaitForResult(500));
    const DWORD start = GetTickCount();
    job.Abort();
    ASSERT_TRUE(wnd.WaitForResult(30000));
    EXPECT_LT(GetTickCount() - start, 1000u);  // within the second a cancel takes
    job.WaitFor(5000);
    EXPECT_EQ(job.Client().ResultText, kCddbMsgTimeout);
    EXPECT_FALSE(job.Client().Success);
}

// Records on which thread each step ran.
struct TThreadUi : TCddbJobUi {
    std::vector<DWORD> threads;
    std::vector<std::string> statuses;
    std::vector<std::vector<std::string>> messages;
    std::vector<std::vector<std::string>> choices;
    void ShowStatus(const std::string& text) override {
        threads.push_back(GetCurrentThreadId());
        statuses.push_back(text);
    }
    bool AskProxyPassword(std::string&) override {
        threads.push_back(GetCurrentThreadId());
        return false;
    }
    void ShowServerMessage(const std::vector<std::string>& lines) override {
        threads.push_back(GetCurrentThreadId());
        messages.push_back(lines);
    }
    int ChooseMatch(const std::vector<std::string>& items) override {
        threads.push_back(GetCurrentThreadId());
        choices.push_back(items);
        return 1;
    }
};

TEST(CddbAccess, UserInterfaceStepsRunOnTheCreatingThread) {
    TResultWindow wnd;
    TThreadUi ui;
    TCDDBNetSettings s = Settings("inexact", 10);
    s.ShowMotd = 1;
    TCDDBAccess job(wnd.Handle(), false, s, &ui);
    SetQuery(job.Client());
    job.Start();
    ASSERT_TRUE(wnd.WaitForResult(30000));
    job.WaitFor(10000);
    EXPECT_TRUE(job.Client().Success) << job.Client().ResultText;
    EXPECT_EQ(job.Client().Info.Category, "jazz");
    EXPECT_EQ(ui.statuses, (std::vector<std::string>{kCddbStatusConnecting, kCddbStatusQuerying, kCddbStatusReading}));
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.choices.size(), 1u);
    ASSERT_EQ(ui.threads.size(), 5u);
    for (DWORD t : ui.threads) EXPECT_EQ(t, GetCurrentThreadId());
}

TEST(CddbAccess, DestroyingARunningJobStopsIt) {
    // Destroyed while the job waits for its first synchronized step and for
    // a server that never answers: neither may hold the destruction.
    TResultWindow wnd;
    TThreadUi ui;
    const DWORD start = GetTickCount();
    {
        TCDDBAccess job(wnd.Handle(), false, Settings("silent", 60), &ui);
        SetQuery(job.Client());
        job.Start();
        Sleep(200);
    }
    EXPECT_LT(GetTickCount() - start, 200u + 1000u);  // within a second of the destruction
    EXPECT_TRUE(ui.statuses.empty());  // skipped once the job was going away
}

}  // namespace
}  // namespace wx

#include "discinfo/pellora_win.h"

namespace wx {
namespace {

TEST(PelloraSender, NoticesOverWinsock) {
    const auto ports = FakeServerPorts();
    ASSERT_FALSE(ports.empty());
    std::string port = std::to_string(ports.at("sstp200"));
    EXPECT_TRUE(SendPelloraNotice("Track 1", false, "127.0.0.1", port, "R3.22"));  // English mode: nothing
    EXPECT_TRUE(SendPelloraNotice("Track 1", true, "127.0.0.1", port, "R3.22"));
    port = std::to_string(ports.at("sstp400"));
    EXPECT_FALSE(SendPelloraNotice("Track 2", true, "127.0.0.1", port, "R3.22"));
    port = "letters";
    EXPECT_FALSE(SendPelloraNotice("Track 3", true, "127.0.0.1", port, "R3.22"));  // port 11000: nobody there
    EXPECT_EQ(port, "11000");
}

}  // namespace
}  // namespace wx
