// The protocol client over real sockets against the fake CDDB server
// (fake_cddb.py), natively and under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "discinfo/cddbclient.h"
#include "discinfo/cddbconv.h"
#include "discinfo/cddbmsg.h"
#include "discinfo/pellora.h"
#include "discinfo/tests/nettest_support.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>

namespace wx {
namespace {

struct TTestUi : TCddbJobUi {
    int choose = 0;
    std::vector<std::vector<std::string>> choices;
    std::vector<std::vector<std::string>> messages;
    std::string password;
    int passwordAsks = 0;
    void ShowStatus(const std::string&) override {}
    bool AskProxyPassword(std::string& p) override {
        ++passwordAsks;
        p = password;
        return true;
    }
    void ShowServerMessage(const std::vector<std::string>& lines) override { messages.push_back(lines); }
    int ChooseMatch(const std::vector<std::string>& items) override {
        choices.push_back(items);
        return choose;
    }
};

class CddbNet : public testing::Test {
protected:
    void SetUp() override {
        ports_ = FakeServerPorts();
        ASSERT_FALSE(ports_.empty()) << "run through fake_cddb.py";
        base_ = MakePlatformNetwork();
        net_ = std::make_unique<TPortMapNetwork>(*base_, ports_.at("http"));
    }

    TCDDBNetSettings Cddbp(const std::string& mode, int timeout = 10) {
        TCDDBNetSettings s;
        s.ServerHost = "127.0.0.1";
        s.CddbpPort = ports_.at(mode);
        s.UserEmail = "tester@example.org";
        s.Timeout = timeout;
        ClearServerLog(*base_, ports_.at("control"), mode);
        return s;
    }

    TCDDBNetSettings Http(const std::string& behaviour) {
        TCDDBNetSettings s;
        s.ServerHost = "127.0.0.1";
        s.Flags = kCddbFlagHttp;
        s.HttpPath = "/" + behaviour + "/cddb.cgi";
        s.UserEmail = "tester@example.org";
        s.Timeout = 10;
        ClearServerLog(*base_, ports_.at("control"), "http");
        ClearServerLog(*base_, ports_.at("control"), "proxy");
        return s;
    }

    // Runs a query for a two-track disc; returns the elapsed milliseconds.
    std::uint32_t Query(TCddbClient& c) {
        c.DiscId = "0b00a302";
        c.TrackCount = 2;
        c.StartFrames = {150, 18000, 22500};
        c.DiscSeconds = 300;
        const std::uint32_t start = base_->TickCount();
        c.RunQuery();
        return base_->TickCount() - start;
    }

    std::vector<std::string> Log(const std::string& name) { return ServerLog(*base_, ports_.at("control"), name); }

    static bool Has(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    std::map<std::string, int> ports_;
    std::unique_ptr<TCddbNetwork> base_;
    std::unique_ptr<TPortMapNetwork> net_;
};

TEST_F(CddbNet, CddbpExactMatch) {
    for (const char* mode : {"exact", "exact201"}) {
        TTestUi ui;
        TCddbClient c(*net_, &ui, Cddbp(mode));
        Query(c);
        ASSERT_TRUE(c.Success) << mode << ": " << c.ResultText;
        EXPECT_FALSE(c.NetworkError);
        EXPECT_TRUE(c.Level6);
        EXPECT_EQ(c.Info.Category, "rock");
        EXPECT_EQ(c.DiscId, "0b00a302");
        EXPECT_EQ(c.Info.Artist, "Fake Artist");
        EXPECT_EQ(c.Info.Title, "Fake Album");
        EXPECT_EQ(c.Info.TrackCount, 2);
        EXPECT_EQ(c.Info.TrackTitles[1], "Second Song");
        EXPECT_EQ(c.Info.FrameOffsets[1], 18000);
        EXPECT_EQ(c.Info.DiscLength, 300);
        EXPECT_EQ(c.Info.Revision, 4);
        EXPECT_EQ(c.Info.DiscIds, "0b00a302");
        const auto log = Log(mode);
        EXPECT_EQ(log, (std::vector<std::string>{"cddb hello tester example.org Wendrix(JP) R3.22", "proto 6",
                                                  "cddb query 0b00a302 2 150 18000 300", "cddb read rock 0b00a302",
                                                  "quit"}));
    }
}

TEST_F(CddbNet, CddbpMatchListsAndChoice) {
    for (const char* mode : {"inexact", "multi"}) {
        TTestUi ui;
        ui.choose = 1;
        TCddbClient c(*net_, &ui, Cddbp(mode));
        Query(c);
        ASSERT_TRUE(c.Success) << mode << ": " << c.ResultText;
        ASSERT_EQ(ui.choices.size(), 1u);
        EXPECT_EQ(ui.choices[0], (std::vector<std::string>{"ID: rock , TITLE =  Fake Artist / Fake Album",
                                                           "ID: jazz , TITLE =  Other Artist / Other Album"}));
        EXPECT_EQ(c.Info.Category, "jazz");
        EXPECT_EQ(c.Info.DiscIds, "1a2b3c4d");
        EXPECT_TRUE(Has(Log(mode), "cddb read jazz 1a2b3c4d"));
    }
    TTestUi ui;
    ui.choose = -1;
    TCddbClient c(*net_, &ui, Cddbp("inexact"));
    Query(c);
    EXPECT_FALSE(c.Success);
    EXPECT_TRUE(c.NetworkError);
    EXPECT_EQ(c.ResultText, kCddbMsgChoiceCancelled);  // a failure always says why
    const auto log = Log("inexact");
    EXPECT_EQ(log.back(), "quit");
    for (const auto& l : log) EXPECT_EQ(l.find("cddb read"), std::string::npos);
}

TEST_F(CddbNet, CddbpNoMatchAndWrongCodes) {
    {
        TCddbClient c(*net_, nullptr, Cddbp("nomatch"));
        Query(c);
        EXPECT_FALSE(c.Success);
        EXPECT_FALSE(c.NetworkError);
        EXPECT_EQ(c.ResultText, kCddbMsgNoMatch);
        EXPECT_EQ(Log("nomatch").back(), "quit");
    }
    for (const char* mode : {"badstatus", "badread"}) {
        // Ended by the answer, long before the time-out.
        TCddbClient c(*net_, nullptr, Cddbp(mode, 60));
        const auto ms = Query(c);
        EXPECT_FALSE(c.Success) << mode;
        EXPECT_TRUE(c.NetworkError);
        EXPECT_EQ(c.ResultText, kCddbMsgServerError) << mode;
        EXPECT_LT(ms, 30000u) << mode;
    }
    for (const char* mode : {"refuse", "badhello"}) {
        TCddbClient c(*net_, nullptr, Cddbp(mode));
        Query(c);
        EXPECT_FALSE(c.Success);
        EXPECT_EQ(c.ResultText, kCddbMsgRefused) << mode;
    }
}

TEST_F(CddbNet, CddbpUtf8RecordAtLevel6) {
    TCddbClient c(*net_, nullptr, Cddbp("utf8"));
    Query(c);
    ASSERT_TRUE(c.Success) << c.ResultText;
    ASSERT_TRUE(c.Level6);
    // Kept as received; the dialog converts and cuts.
    EXPECT_EQ(c.Info.Artist, "\xe6\x97\xa5\xe6\x9c\xac\xe3\x81\xae\xe6\xad\x8c\xe6\x89\x8b");
    EXPECT_EQ(CddbReceivedText(c.Info.Artist, true, 255), "\x93\xfa\x96\x7b\x82\xcc\x89\xcc\x8e\xe8");
    EXPECT_EQ(CddbReceivedText(c.Info.Title, true, 255), "\x83\x41\x83\x8b\x83\x6f\x83\x80\x20\x43\x61\x66?");
    std::string want;
    for (int i = 0; i < 30; ++i) want += "\x82\xc6\x82\xc4\x82\xe0\x92\xb7\x82\xa2\x8b\xc8\x96\xbc";
    EXPECT_EQ(CddbReceivedText(c.Info.TrackTitles[0], true, 255), want.substr(0, 254));
}

TEST_F(CddbNet, CddbpTextThatIsNotShiftJis) {
    TCDDBNetSettings s = Cddbp("sjisbad");
    s.Flags = kCddbFlagForceProto1;
    TCddbClient c(*net_, nullptr, s);
    Query(c);
    ASSERT_TRUE(c.Success) << c.ResultText;
    EXPECT_FALSE(c.Level6);
    EXPECT_FALSE(Has(Log("sjisbad"), "proto 6"));
    EXPECT_EQ(c.Info.TrackTitles[2], "Caf\xe9 \x80\xa0\xfd\xfe\xff\x82");
    const std::string t2 = CddbReceivedText(c.Info.TrackTitles[2], false, 255);
    EXPECT_EQ(t2, c.Info.TrackTitles[2]);  // within the limit: as received
    const std::string t3 = CddbReceivedText(c.Info.TrackTitles[3], false, 255);
    EXPECT_EQ(t3.size(), 255u);  // "x" + 127 two-byte characters
    EXPECT_EQ(t3.substr(1, 2), "\x82\xa0");
    EXPECT_EQ(t3.substr(253, 2), "\x82\xa0");
}

TEST_F(CddbNet, CddbpHostileServersEndWithinTheirBounds) {
    {
        TCddbClient c(*net_, nullptr, Cddbp("silent", 2));
        const auto ms = Query(c);
        EXPECT_EQ(c.ResultText, kCddbMsgTimeout);
        EXPECT_GE(ms, 1900u);
        EXPECT_LT(ms, 15000u);
    }
    {
        TCddbClient c(*net_, nullptr, Cddbp("nolf", 2));
        const auto ms = Query(c);
        EXPECT_FALSE(c.Success);
        EXPECT_EQ(c.ResultText, kCddbMsgTimeout);
        EXPECT_LT(ms, 15000u);
    }
    {
        TCddbClient c(*net_, nullptr, Cddbp("closemid", 60));
        const auto ms = Query(c);
        EXPECT_FALSE(c.Success);
        EXPECT_EQ(c.ResultText, kCddbMsgClosed);  // reported as what it is
        EXPECT_LT(ms, 30000u);  // noticed when the server closes, not after the time-out
    }
    {
        TCddbClient c(*net_, nullptr, Cddbp("bigrecord"));
        Query(c);
        EXPECT_FALSE(c.Success);
        EXPECT_EQ(c.ResultText, kCddbMsgServerError);
    }
    {
        TCddbClient c(*net_, nullptr, Cddbp("longline"));
        Query(c);
        ASSERT_TRUE(c.Success) << c.ResultText;
        EXPECT_EQ(c.Info.ExtendedData, std::string(kCddbMaxLineBytes - 5, 'L'));
        EXPECT_EQ(c.Info.TrackTitles[1], "Second Song");
    }
}

TEST_F(CddbNet, CddbpSitesAndServerMessage) {
    {
        TCddbClient c(*net_, nullptr, Cddbp("exact"));
        c.RunSites();
        ASSERT_TRUE(c.Success) << c.ResultText;
        EXPECT_EQ(c.SiteLines, (std::vector<std::string>{
                                   "main.example cddbp 888 - N000.00 W000.00 Main server",
                                   "mirror.example http 80 /~cddb/cddb.cgi N000.00 W000.00 Mirror"}));
        EXPECT_EQ(Log("exact").back(), "quit");
    }
    TTestUi ui;
    TCDDBNetSettings s = Cddbp("exact");
    s.ShowMotd = 1;
    s.LastMotdLine = "-";
    TCddbClient c(*net_, &ui, s);
    Query(c);
    ASSERT_TRUE(c.Success);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], (std::vector<std::string>{"Welcome to the fake server.", "Second line."}));
    const std::string first = c.Settings().LastMotdLine;
    EXPECT_EQ(first.rfind("210 Last modified: 12/01/26", 0), 0u);
    // Seen once, not shown again.
    s.LastMotdLine = first;
    TTestUi ui2;
    TCddbClient c2(*net_, &ui2, s);
    Query(c2);
    EXPECT_TRUE(c2.Success);
    EXPECT_TRUE(ui2.messages.empty());
}

TEST_F(CddbNet, ConnectionFailures) {
    {
        TCDDBNetSettings s = Cddbp("exact");
        s.CddbpPort = ports_.at("closed");
        TCddbClient c(*net_, nullptr, s);
        Query(c);
        EXPECT_EQ(c.ResultText, kCddbMsgConnectFailed);
        EXPECT_TRUE(c.NetworkError);
    }
    {
        TCDDBNetSettings s = Cddbp("exact");
        s.ServerHost = "no-such-host.invalid";
        TCddbClient c(*net_, nullptr, s);
        Query(c);
        EXPECT_EQ(c.ResultText, kCddbMsgNoHost);
    }
    {
        TCDDBNetSettings s = Http("exact");
        s.Flags |= kCddbFlagProxy;
        s.ProxyHost = "no-such-proxy.invalid";
        TCddbClient c(*net_, nullptr, s);
        Query(c);
        EXPECT_EQ(c.ResultText, kCddbMsgNoProxyHost);
    }
}

TEST_F(CddbNet, HttpDirect) {
    {
        TTestUi ui;
        TCDDBNetSettings s = Http("exact");
        s.ShowMotd = 1;
        TCddbClient c(*net_, &ui, s);
        Query(c);
        ASSERT_TRUE(c.Success) << c.ResultText;
        EXPECT_TRUE(c.Level6);
        EXPECT_EQ(c.Info.Category, "newage");
        EXPECT_EQ(c.Info.TrackCount, 2);
        EXPECT_EQ(ui.messages, std::vector<std::vector<std::string>>{{"HTTP news."}});
        const auto log = Log("http");
        const std::string hello = "&hello=tester+example.org+Wendrix(JP)+R3.22";
        EXPECT_TRUE(Has(log, "GET /exact/cddb.cgi?cmd=stat" + hello + "&proto=1 HTTP/1.0<CR>"));
        EXPECT_TRUE(Has(log, "GET /exact/cddb.cgi?cmd=cddb+query+0b00a302+2+150+18000+300" + hello + "&proto=6 HTTP/1.0<CR>"));
        EXPECT_TRUE(Has(log, "GET /exact/cddb.cgi?cmd=cddb+read+newage+0b00a302" + hello + "&proto=6 HTTP/1.0<CR>"));
        EXPECT_TRUE(Has(log, "<CR>"));
    }
    {
        TCddbClient c(*net_, nullptr, Http("http11"));
        Query(c);
        EXPECT_TRUE(c.Success) << c.ResultText;
    }
    {
        TCddbClient c(*net_, nullptr, Http("http404"));
        Query(c);
        EXPECT_FALSE(c.Success);
        std::string want = kCddbMsgServerReport;
        want.replace(want.find("%s"), 2, "HTTP/1.0 404 Not Found");
        EXPECT_EQ(c.ResultText, want);
    }
    {
        TTestUi ui;
        TCddbClient c(*net_, &ui, Http("inexact"));
        ui.choose = 1;
        Query(c);
        ASSERT_TRUE(c.Success) << c.ResultText;
        EXPECT_EQ(c.Info.Category, "blues");
        EXPECT_EQ(c.Info.DiscIds, "1a2b3c4d");
    }
    {
        TCddbClient c(*net_, nullptr, Http("nomatch"));
        Query(c);
        EXPECT_EQ(c.ResultText, kCddbMsgNoMatch);
        EXPECT_FALSE(c.NetworkError);
    }
    TCddbClient c(*net_, nullptr, Http("exact"));
    c.RunSites();
    EXPECT_TRUE(c.Success);
    EXPECT_EQ(c.SiteLines, std::vector<std::string>{"web.example http 80 /~cddb/cddb.cgi N000.00 W000.00 Web"});
}

TEST_F(CddbNet, HttpThroughAuthorizingProxy) {
    auto proxied = [&](const std::string& user, const std::string& password) {
        TCDDBNetSettings s = Http("exact");
        s.Flags |= kCddbFlagProxy | kCddbFlagProxyAuth;
        s.ProxyHost = "127.0.0.1";
        s.ProxyPort = ports_.at("proxy");
        s.ProxyUser = user;
        s.ProxyPassword = password;
        return s;
    };
    {
        TCddbClient c(*net_, nullptr, proxied("alice", "s3cret"));
        Query(c);
        ASSERT_TRUE(c.Success) << c.ResultText;
        EXPECT_EQ(c.Info.Category, "newage");
        const auto log = Log("proxy");
        EXPECT_TRUE(Has(log, "Proxy-Authorization: Basic YWxpY2U6czNjcmV0<CR>"));
        EXPECT_TRUE(Has(log, "GET http://127.0.0.1/exact/cddb.cgi?cmd=stat&hello=tester+example.org+Wendrix(JP)+R3.22"
                             "&proto=1 HTTP/1.0<CR>"));
    }
    {
        TCddbClient c(*net_, nullptr, proxied("alice", "wrong"));
        Query(c);
        EXPECT_FALSE(c.Success);
        std::string want = kCddbMsgServerReport;
        want.replace(want.find("%s"), 2, "HTTP/1.0 407 Proxy Authentication Required");
        EXPECT_EQ(c.ResultText, want);
    }
    {
        // Credentials whose Base64 is longer than 80 characters still make
        // one header line.
        const char* user = std::getenv("WX_CDDB_LONG_USER");
        const char* password = std::getenv("WX_CDDB_LONG_PASSWORD");
        ASSERT_TRUE(user && password);
        TCddbClient c(*net_, nullptr, proxied(user, password));
        Query(c);
        EXPECT_TRUE(c.Success) << c.ResultText;
    }
    {
        // An empty password is asked for when the settings say so.
        TTestUi ui;
        ui.password = "s3cret";
        TCDDBNetSettings s = proxied("alice", "");
        s.Flags |= kCddbFlagAskPassword;
        TCddbClient c(*net_, &ui, s);
        Query(c);
        EXPECT_TRUE(c.Success) << c.ResultText;
        EXPECT_EQ(ui.passwordAsks, 1);
    }
}

}  // namespace
}  // namespace wx

namespace wx {
namespace {

TEST_F(CddbNet, HostileServersRefusalsListsAndCancel) {
    {
        // A refusal that mentions "200" is still a refusal.
        TCddbClient c(*net_, nullptr, Cddbp("refuse433"));
        Query(c);
        EXPECT_FALSE(c.Success);
        EXPECT_EQ(c.ResultText, kCddbMsgRefused);
    }
    {
        TTestUi ui;
        TCddbClient c(*net_, &ui, Cddbp("emptymulti"));
        Query(c);
        EXPECT_FALSE(c.Success);
        EXPECT_TRUE(ui.choices.empty());
        EXPECT_EQ(c.ResultText, kCddbMsgNoMatch);
    }
}

// A cancel ends every wait of a job within the second the program
// promises: while it connects (to a port whose queue is full), while it
// sends (to a peer that takes no data), while it reads (a server dripping
// its record), while it looks a name up (a name service that does not
// answer).  A lookup that takes longer than the time-out ends the job too.
TEST_F(CddbNet, CancelEndsEveryWaitWithinASecond) {
    struct TCase {
        const char* phase;
        bool cancel;
        const char* text;
    };
    for (const TCase& k : {TCase{"connect", true, kCddbMsgConnectFailed}, TCase{"send", true, ""},
                           TCase{"read", true, kCddbMsgTimeout}, TCase{"lookup", true, kCddbMsgConnectFailed},
                           TCase{"slow lookup", false, kCddbMsgNoHost}}) {
        const std::string phase = k.phase;
        const bool lookup = phase == "lookup" || phase == "slow lookup";
        // A name service that answers only once it is told to.
        auto release = std::make_shared<std::atomic<bool>>(false);
        auto slowBase = MakePlatformNetwork([release](const std::string&, std::uint32_t&) {
            while (!release->load()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return false;
        });
        TPortMapNetwork slowNet(*slowBase, ports_.at("http"));
        TCDDBNetSettings s = Cddbp(phase == "read" ? "drip" : "exact", phase == "slow lookup" ? 1 : 60);
        if (phase == "connect") s.CddbpPort = ports_.at("backlog");
        if (lookup) s.ServerHost = "slow-names.example";
        TCddbClient c(lookup ? static_cast<TCddbNetwork&>(slowNet) : *net_, nullptr, s);
        std::uint32_t abortedAt = 0;
        const std::uint32_t started = base_->TickCount();
        std::thread canceller([&] {
            if (!k.cancel) return;
            base_->Sleep(phase == "read" ? 1500 : 500);
            abortedAt = base_->TickCount();
            c.AbortRequest = true;
        });
        std::uint32_t ended = 0;
        if (phase == "send") {
            // The socket itself: no request of the client is large enough to
            // fill the buffers of a peer that does not read.
            auto sock = base_->NewSocket();
            const bool connected = sock->Connect("127.0.0.1", ports_.at("sink"), 5000) == TCddbSocket::TConnect::Ok;
            EXPECT_TRUE(connected);
            sock->SetAbort(&c.AbortRequest);
            const std::vector<char> big(16u << 20, 'x');
            if (connected) {
                EXPECT_FALSE(sock->Send(big.data(), big.size(), 60000));
            }
            ended = base_->TickCount();
        } else {
            Query(c);
            ended = base_->TickCount();
            EXPECT_FALSE(c.Success) << phase;
            EXPECT_EQ(c.ResultText, k.text) << phase;
        }
        canceller.join();
        release->store(true);
        if (k.cancel) {
            EXPECT_LT(ended - abortedAt, 1000u) << phase;
        } else {
            EXPECT_LT(ended - started, 2000u) << phase;  // the 1 s time-out, not the lookup
        }
    }
}

class CddbSubmitNet : public CddbNet {
protected:
    TCDDBNetSettings Submit(std::uint8_t flags, const std::vector<std::string>& fileLines) {
        TCDDBNetSettings s;
        s.ServerHost = "127.0.0.1";
        s.UserEmail = "tester@example.org";
        s.SubmitReceiver = "freedb-submit@example.org";
        s.Timeout = 10;
        s.Flags = flags;
        s.SubmitFile = testing::TempDir() + "wendrix_cddbtmp_test.$$$";
        EXPECT_TRUE(WriteTextLines(s.SubmitFile, fileLines));
        for (const char* n : {"http", "httprefuse", "httpverdict", "proxy", "pop3", "pop3err", "smtp", "smtprefuse"})
            ClearServerLog(*base_, ports_.at("control"), n);
        return s;
    }
    static bool Exists(const std::string& path) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (f) std::fclose(f);
        return f != nullptr;
    }
};

struct TRefusalUi : TTestUi {
    std::vector<std::string> refusals;
    void ShowRefusal(const std::string& text) override { refusals.push_back(text); }
};

TEST_F(CddbSubmitNet, ByHttpPostDirectAndThroughTheProxy) {
    TCDDBDiscInfo info;
    info.Category = "rock";
    info.DiscIds = "0b00a302";
    const std::vector<std::string> body = {"# xmcd CD database file", "DISCID=0b00a302", "TTITLE0=One"};
    std::vector<std::string> file = BuildHttpSubmitHeaders(info, "tester@example.org", false, body);
    file.insert(file.end(), body.begin(), body.end());
    {
        TCDDBNetSettings s = Submit(kCddbFlagSubmitHttp, file);
        TCddbClient c(*net_, nullptr, s);
        c.RunSubmit();
        ASSERT_TRUE(c.Success) << c.ResultText;
        EXPECT_FALSE(c.NetworkError);
        EXPECT_EQ(c.ResultText, kCddbMsgSubmitOk);
        EXPECT_FALSE(Exists(s.SubmitFile));  // it held the user's address
        const auto log = Log("http");
        ASSERT_GE(log.size(), 11u);
        EXPECT_EQ(log[0], "POST /~cddb/submit.cgi HTTP/1.0<CR>");
        EXPECT_EQ(log[1], "Host: 127.0.0.1<CR>");
        EXPECT_EQ(log[2], "Category: rock<CR>");
        EXPECT_EQ(log[8], "Content-Length: 52<CR>");
        EXPECT_EQ(log[9], "<CR>");
        EXPECT_EQ(std::vector<std::string>(log.begin() + 10, log.end()),
                  (std::vector<std::string>{"BODY: # xmcd CD database file", "BODY: DISCID=0b00a302",
                                            "BODY: TTITLE0=One", "BODY: "}));
    }
    {
        TCDDBNetSettings s = Submit(kCddbFlagSubmitHttp | kCddbFlagProxy | kCddbFlagProxyAuth, file);
        s.ProxyHost = "127.0.0.1";
        s.ProxyPort = ports_.at("proxy");
        s.ProxyUser = "alice";
        s.ProxyPassword = "s3cret";
        TCddbClient c(*net_, nullptr, s);
        c.RunSubmit();
        ASSERT_TRUE(c.Success) << c.ResultText;
        const auto log = Log("proxy");
        EXPECT_EQ(log.at(0), "POST http://127.0.0.1/~cddb/submit.cgi HTTP/1.0<CR>");
        EXPECT_EQ(log.at(1), "Host: 127.0.0.1<CR>");
        EXPECT_EQ(log.at(2), "Proxy-Authorization: Basic YWxpY2U6czNjcmV0<CR>");
    }
    // Refusals: by the HTTP status, and by the CDDB status line in the body
    // of an HTTP 200, which is the submit CGI's own verdict.
    for (const auto& [server, report] :
         {std::pair<std::string, std::string>{"httprefuse", "HTTP/1.0 500 Submission refused"},
          std::pair<std::string, std::string>{"httpverdict", "501 Missing required header information."}}) {
        TCDDBNetSettings s = Submit(kCddbFlagSubmitHttp, file);
        TPortMapNetwork refusing(*base_, ports_.at(server));
        TCddbClient c(refusing, nullptr, s);
        c.RunSubmit();
        EXPECT_FALSE(c.Success) << server;
        EXPECT_TRUE(c.NetworkError) << server;
        std::string want = kCddbMsgServerReport;
        EXPECT_EQ(c.ResultText, want.replace(want.find("%s"), 2, report)) << server;
        EXPECT_FALSE(Exists(s.SubmitFile));
    }
}

TEST_F(CddbSubmitNet, ByMailAfterAPop3GreetingInQuotedPrintable) {
    const std::string a71(71, 'a'), b72(72, 'b');
    const std::vector<std::string> file = {"# xmcd", a71, b72, "TTITLE0=Caf\xe9 = .", ".dot"};
    net_->Ports = {{kCddbPop3Port, ports_.at("pop3")}, {kCddbSmtpPort, ports_.at("smtp")}};
    {
        TCDDBNetSettings s = Submit(0, file);
        TRefusalUi ui;
        TCddbClient c(*net_, &ui, s);
        c.NewSubmitInfo(1, 300);
        c.SetSubmitField(3, 0, "Rock", 0);
        c.SetSubmitField(2, 0, "0b00a302", 0);
        c.RunSubmit();
        ASSERT_TRUE(c.Success) << c.ResultText;
        EXPECT_EQ(c.ResultText, kCddbMsgSubmitOk);
        EXPECT_TRUE(ui.refusals.empty());
        EXPECT_FALSE(Exists(s.SubmitFile));
        EXPECT_EQ(Log("pop3"), std::vector<std::string>{"QUIT<CR>"});
        const auto log = Log("smtp");
        const std::string host = base_->LocalHostName().empty() ? "hostname" : base_->LocalHostName();
        const std::vector<std::string> want = {
            "HELO " + host + "<CR>",
            "MAIL FROM:<tester@example.org><CR>",
            "RCPT TO:<freedb-submit@example.org><CR>",
            "DATA<CR>",
            "From: tester@example.org<CR>",
            "To: freedb-submit@example.org<CR>",
            "Subject: cddb rock 0b00a302<CR>",
            "MIME-Version: 1.0<CR>",
            "Content-Type: text/plain; charset=iso-8859-1<CR>",
            "Content-Transfer-Encoding: quoted-printable<CR>",
            std::string("X-Cddbd-Note: Send by Wendrix - Questions: ") + kCddbContactMail + "<CR>",
            "<CR>",
            "<CR>",
            "# xmcd<CR>",
            a71 + "<CR>",         // 71 characters: one line
            b72 + "=<CR>", "<CR>",  // 72: a soft break after the 72nd
            "TTITLE0=3DCaf=E9 =3D .<CR>",
            "..dot<CR>",  // a leading dot is doubled
            ".<CR>",
            "QUIT<CR>",
        };
        EXPECT_EQ(log, want);
    }
    {
        // A POP3 greeting other than "+OK" stops before any SMTP connection.
        net_->Ports[kCddbPop3Port] = ports_.at("pop3err");
        TCDDBNetSettings s = Submit(0, file);
        TCddbClient c(*net_, nullptr, s);
        c.RunSubmit();
        EXPECT_FALSE(c.Success);
        EXPECT_EQ(c.ResultText, kCddbMsgNotReady);
        EXPECT_TRUE(Log("smtp").empty());
    }
    {
        net_->Ports = {{kCddbPop3Port, ports_.at("pop3")}, {kCddbSmtpPort, ports_.at("smtprefuse")}};
        TCDDBNetSettings s = Submit(0, file);
        TRefusalUi ui;
        TCddbClient c(*net_, &ui, s);
        c.RunSubmit();
        EXPECT_FALSE(c.Success);
        EXPECT_TRUE(c.NetworkError);
        EXPECT_EQ(ui.refusals, std::vector<std::string>{kCddbMsgCommandRefused});
        EXPECT_EQ(c.ResultText, kCddbMsgCommFailed);
        EXPECT_FALSE(Exists(s.SubmitFile));
    }
}

TEST_F(CddbNet, SstpTargetsOnLoopback) {
    const std::string request = "SEND SSTP/1.0<CR>|Sender: Wendrix(R3.22)<CR>|Script: \\hTrack 2 done\\n<CR>|\\e<CR>|<CR>";
    auto joined = [](const std::vector<std::string>& l) {
        std::string s;
        for (const auto& x : l) s += (s.empty() ? "" : "|") + x;
        return s;
    };
    for (const char* mode : {"sstp200", "sstp400", "sstpsilent", "sstpsplit"}) {
        ClearServerLog(*base_, ports_.at("control"), mode);
        const std::uint32_t start = base_->TickCount();
        const bool ok = SendSSTPScript(*base_, "127.0.0.1", ports_.at(mode), "Wendrix(R3.22)", {"Track 2 done"});
        const std::uint32_t ms = base_->TickCount() - start;
        const std::string m = mode;
        EXPECT_EQ(ok, m == "sstp200" || m == "sstpsplit") << m;
        if (m == "sstpsilent") {
            EXPECT_GE(ms, 2900u);
            EXPECT_LT(ms, 5000u);
        }
        EXPECT_EQ(joined(Log(mode)), request) << m;
    }
}

}  // namespace
}  // namespace wx
