// The protocol client against scripted servers on an in-memory network.
#include "discinfo/cddbclient.h"

#include <gtest/gtest.h>

#include <optional>

#include "discinfo/cddbmsg.h"
#include "discinfo/cddbtext.h"
#include "discinfo/tests/memnet.h"

namespace wx {
namespace {

const std::string kRecord =
    "# xmcd\r\n#\r\n# Track frame offsets:\r\n#\t150\r\n#\r\n# Disc length: 180 seconds\r\n#\r\n"
    "# Revision: 2\r\nDISCID=0200b201\r\nDTITLE=Some Artist / Some Album\r\nDYEAR=1998\r\nDGENRE=Rock\r\n"
    "TTITLE0=Only Track\r\nEXTD=\r\nEXTT0=\r\nPLAYORDER=\r\n.\r\n";

// A CDDBP server whose answers the test can change.
struct TCddbpScript {
    std::string banner = "200 fake ready";
    std::string helloReply = "200 hello";
    std::string protoReply = "201 OK, protocol level now: 6";
    std::string queryReply = "200 rock 99999999 Some Artist / Some Album\r\n";
    std::string readHead = "210 rock 0200b201 CD database entry follows\r\n";
    std::string record = kRecord;
    std::string motd = "210 Last modified: 12/01/26 MOTD follows\r\nHello listeners\r\nSecond line\r\n.\r\n";
    std::string sites = "210 OK, site information follows\r\nfreedb.example 888 N000.00 W000.00 Main\r\n"
                        "mirror.example 888 N000.00 W000.00 Mirror\r\n.\r\n";

    void Install(TMemNetwork& net) {
        net.OnConnect = [this](TMemConnection& c) { c.incoming += banner + "\r\n"; };
        net.OnLine = [this](TMemConnection& c, const std::string& line) {
            if (line.rfind("cddb hello ", 0) == 0)
                c.incoming += helloReply + "\r\n";
            else if (line == "proto 6")
                c.incoming += protoReply + "\r\n";
            else if (line == "motd")
                c.incoming += motd;
            else if (line == "sites")
                c.incoming += sites;
            else if (line.rfind("cddb query ", 0) == 0)
                c.incoming += queryReply;
            else if (line.rfind("cddb read ", 0) == 0)
                c.incoming += readHead + record;
            else if (line == "quit")
                c.incoming += "230 bye\r\n", c.serverClosed = true;
            else
                c.incoming += "500 Unrecognized command.\r\n";
        };
    }
};

// An HTTP server: one request per connection, answered with the body for
// its cmd= and then closed.
struct THttpScript {
    std::string statusLine = "HTTP/1.0 200 OK";
    std::string stat = "210 OK, status information follows\r\n    max proto: 6\r\n.\r\n";
    std::string motd = "210 Last modified\r\nHTTP message\r\n.\r\n";
    std::string query = "200 jazz 0200b201 Some Artist / Some Album\r\n";
    std::string read = "210 jazz 0200b201\r\n" + kRecord;
    std::string sites = "210 OK\r\nsite.example http 80 /~cddb/cddb.cgi N0 W0 Site\r\n.\r\n";
    std::vector<std::string> requests;  // request lines in order

    void Install(TMemNetwork& net) {
        net.OnConnect = nullptr;
        net.OnLine = [this](TMemConnection& c, const std::string& line) {
            // Every line of the request ends in CR LF; an empty line ends it.
            if (c.lines.size() == 1) requests.push_back(StripLineEnd(line));
            if (line != "\r") return;
            const std::string& req = c.lines.front();
            std::string body;
            if (req.find("cmd=stat") != std::string::npos) body = stat;
            else if (req.find("cmd=motd") != std::string::npos) body = motd;
            else if (req.find("cmd=cddb+query") != std::string::npos) body = query;
            else if (req.find("cmd=cddb+read") != std::string::npos) body = read;
            else if (req.find("cmd=sites") != std::string::npos) body = sites;
            c.incoming += statusLine + "\r\nContent-Type: text/plain\r\nX-Long: " + std::string(300, 'h') + "\r\n\r\n" + body;
            c.serverClosed = true;
        };
    }
};

struct TRecordingUi : TCddbJobUi {
    std::vector<std::string> statuses;
    std::vector<std::vector<std::string>> messages;
    std::vector<std::vector<std::string>> choices;
    int choose = 0;
    int passwordAsks = 0;
    std::string password;
    std::function<void(const std::string&)> onStatus;
    void ShowStatus(const std::string& text) override {
        statuses.push_back(text);
        if (onStatus) onStatus(text);
    }
    bool AskProxyPassword(std::string& p) override {
        ++passwordAsks;
        p = password;
        return !password.empty();
    }
    void ShowServerMessage(const std::vector<std::string>& lines) override { messages.push_back(lines); }
    int ChooseMatch(const std::vector<std::string>& items) override {
        choices.push_back(items);
        return choose;
    }
};

TCDDBNetSettings CddbpSettings() {
    TCDDBNetSettings s;
    s.ServerHost = "cddb.example";
    s.CddbpPort = 8880;
    s.UserEmail = " me@example.org ";
    s.Timeout = 5;
    return s;
}

void SetQuery(TCddbClient& c) {
    c.DiscId = "0200b201";
    c.TrackCount = 1;
    c.StartFrames = {150, 13500};
    c.DiscSeconds = 180;
}

// One query job against a scripted server on a network of its own: the test
// changes `server` as it likes, then makes the client and runs the query.
template <class TScript>
struct TQueryJob {
    TMemNetwork net;
    TScript server;
    std::optional<TCddbClient> client;

    // The client, its query set, the server installed; not run yet.
    TCddbClient& Client(const TCDDBNetSettings& s, TCddbJobUi* ui = nullptr) {
        server.Install(net);
        client.emplace(net, ui, s);
        SetQuery(*client);
        return *client;
    }
    TCddbClient& Run(const TCDDBNetSettings& s, TCddbJobUi* ui = nullptr) {
        Client(s, ui).RunQuery();
        return *client;
    }
};
using TCddbpJob = TQueryJob<TCddbpScript>;
using THttpJob = TQueryJob<THttpScript>;

TEST(CddbClientCddbp, ExactMatchQueryAndReadOnTheWire) {
    TCddbpJob job;
    TRecordingUi ui;
    TCddbClient& c = job.Client(CddbpSettings(), &ui);
    std::vector<std::string> trace;
    c.Trace = [&](const std::string& l) { trace.push_back(l); };
    c.RunQuery();
    const TMemNetwork& net = job.net;
    ASSERT_TRUE(c.Success) << c.ResultText;
    EXPECT_FALSE(c.NetworkError);
    EXPECT_EQ(c.ResultText, kCddbMsgReadOk);
    EXPECT_TRUE(c.Level6);
    ASSERT_EQ(net.Connections.size(), 1u);
    EXPECT_EQ(net.Connections[0]->host, "cddb.example");
    EXPECT_EQ(net.Connections[0]->port, 8880);
    // Every line ends in a bare LF.
    EXPECT_EQ(net.Connections[0]->sent,
              "cddb hello me example.org Wendrix(JP) R3.22\nproto 6\ncddb query 0200b201 1 150 180\n"
              "cddb read rock 0200b201\nquit\n");
    EXPECT_TRUE(net.Connections[0]->clientClosed);
    // The category comes from the reply, the disc id stays ours.
    EXPECT_EQ(c.Info.Category, "rock");
    EXPECT_EQ(c.DiscId, "0200b201");
    EXPECT_EQ(c.Info.Artist, "Some Artist");
    EXPECT_EQ(c.Info.Title, "Some Album");
    EXPECT_EQ(c.Info.TrackTitles[0], "Only Track");
    EXPECT_EQ(c.Info.TrackCount, 1);
    EXPECT_EQ(c.Info.Year, "1998");
    EXPECT_EQ(c.Info.DiscLength, 180);
    EXPECT_EQ(c.Info.Revision, 2);
    EXPECT_EQ(ui.statuses, (std::vector<std::string>{kCddbStatusConnecting, kCddbStatusQuerying, kCddbStatusReading}));
    ASSERT_GE(trace.size(), 4u);
    EXPECT_EQ(trace[0], "RECVED: 200 fake ready\r");
    EXPECT_EQ(trace[1], "XMITED: cddb hello me example.org Wendrix(JP) R3.22");
}

TEST(CddbClientCddbp, HelloTextForms) {
    TMemNetwork net;
    TCDDBNetSettings s = CddbpSettings();
    s.UserEmail = "  listener ";
    EXPECT_EQ(TCddbClient(net, nullptr, s).HelloText(), "listener myhost Wendrix(JP) R3.22");
    net.HostName.clear();
    EXPECT_EQ(TCddbClient(net, nullptr, s).HelloText(), "listener hostname Wendrix(JP) R3.22");
    s.UserEmail = "";
    EXPECT_EQ(TCddbClient(net, nullptr, s).HelloText(), "username hostname Wendrix(JP) R3.22");
    s.UserEmail = "a@b@c";
    EXPECT_EQ(TCddbClient(net, nullptr, s).HelloText(), "a b@c Wendrix(JP) R3.22");
}

TEST(CddbClientCddbp, ProtocolLevel) {
    {
        TCddbpJob job;
        job.server.protoReply = "501 Illegal protocol level.";
        TCddbClient& c = job.Run(CddbpSettings());
        EXPECT_TRUE(c.Success);
        EXPECT_FALSE(c.Level6);
    }
    TCddbpJob job;
    TCDDBNetSettings s = CddbpSettings();
    s.Flags = kCddbFlagForceProto1;
    TCddbClient& c = job.Run(s);
    EXPECT_TRUE(c.Success);
    EXPECT_FALSE(c.Level6);
    for (const auto& l : job.net.AllLines()) EXPECT_NE(l, "proto 6");
}

TEST(CddbClientCddbp, CategoryOfAnExactMatchLine) {
    struct TCase {
        std::string reply, category;
    };
    for (const TCase& k : {TCase{"200 rock 12345678 Title\r\n", "rock"},
                           TCase{"200 newage\r\n", "newage"},  // no blank: line end not kept
                           TCase{"200 " + std::string(50, 'c') + " x\r\n", std::string(35, 'c')},
                           TCase{"200\r\n", ""}}) {
        TCddbpJob job;
        job.server.queryReply = k.reply;
        TCddbClient& c = job.Run(CddbpSettings());
        EXPECT_TRUE(c.Success) << k.reply;
        EXPECT_EQ(c.Info.Category, k.category);
        EXPECT_EQ(job.net.AllLines()[3], "cddb read " + k.category + " 0200b201");
    }
}

TEST(CddbClientCddbp, Level6MatchesAreShownInShiftJis) {
    TCddbpJob job;
    job.server.queryReply = "211 inexact\r\nmisc 33333333 \xe6\x97\xa5\xe6\x9c\xac / \xe3\x81\x82\r\n.\r\n";
    TRecordingUi ui;
    job.Run(CddbpSettings(), &ui);
    ASSERT_EQ(ui.choices.size(), 1u);
    EXPECT_EQ(ui.choices[0][0], "ID: misc , TITLE =  \x93\xfa\x96\x7b / \x82\xa0");
}

TEST(CddbClientCddbp, ServerMessageShownOnlyWhenNew) {
    struct TCase {
        std::string stored;
        bool shown;
    };
    for (const TCase& k : {TCase{"", true}, TCase{"210 Last modified: 12/01/26 MOTD follows", false},
                           TCase{"Last modified: 12/01/26", false}, TCase{"210 Last modified: 11/01/26", true}}) {
        TCddbpJob job;
        TRecordingUi ui;
        TCDDBNetSettings s = CddbpSettings();
        s.ShowMotd = 1;
        s.LastMotdLine = k.stored;
        TCddbClient& c = job.Run(s, &ui);
        EXPECT_TRUE(c.Success);
        EXPECT_EQ(ui.messages.size(), k.shown ? 1u : 0u) << k.stored;
        if (k.shown) {
            EXPECT_EQ(ui.messages[0], (std::vector<std::string>{"Hello listeners", "Second line"}));
            EXPECT_EQ(c.Settings().LastMotdLine, "210 Last modified: 12/01/26 MOTD follows");
        } else {
            EXPECT_EQ(c.Settings().LastMotdLine, k.stored);
        }
    }
}

TEST(CddbClientFailures, NoSocketCanBeMade) {
    TMemNetwork net;
    net.NoSockets = true;
    TCddbClient c(net, nullptr, CddbpSettings());
    SetQuery(c);
    c.RunQuery();
    EXPECT_FALSE(c.Success);
    EXPECT_TRUE(c.NetworkError);
    EXPECT_EQ(c.ResultText, kCddbMsgNoSocket);
    TCddbClient s(net, nullptr, CddbpSettings());
    s.RunSites();
    EXPECT_EQ(s.ResultText, kCddbMsgNoSocket);
}

TEST(CddbClientFailures, SilentServerTimesOutAfterTheSetting) {
    TMemNetwork net;
    net.OnConnect = [](TMemConnection&) {};
    TCDDBNetSettings s = CddbpSettings();
    s.Timeout = 7;
    TCddbClient c(net, nullptr, s);
    SetQuery(c);
    c.RunQuery();
    EXPECT_FALSE(c.Success);
    EXPECT_EQ(c.ResultText, kCddbMsgTimeout);
    EXPECT_GE(net.Slept, 7000u);
    EXPECT_LE(net.Slept, 7100u);
    EXPECT_TRUE(net.Connections[0]->clientClosed);
}

TEST(CddbClientFailures, AbortDuringReadEndsWithTimeOutText) {
    TCddbpJob job;
    job.server.record = "";  // the record never comes
    TRecordingUi ui;
    TCddbClient& c = job.Client(CddbpSettings(), &ui);
    int pollsAfterAbort = 0;
    ui.onStatus = [&](const std::string& t) {
        if (t == kCddbStatusReading) job.net.OnSleep = [&] { c.AbortRequest = true; ++pollsAfterAbort; };
    };
    c.RunQuery();
    EXPECT_FALSE(c.Success);
    EXPECT_EQ(c.ResultText, kCddbMsgTimeout);
    EXPECT_EQ(pollsAfterAbort, 1);  // honoured at the next poll
}

TCDDBNetSettings HttpSettings() {
    TCDDBNetSettings s = CddbpSettings();
    s.Flags = kCddbFlagHttp;
    s.HttpPath = "/~cddb/cddb.cgi";
    s.UserEmail = "me@example.org";
    return s;
}

TEST(CddbClientHttp, DirectRequestsOnTheWire) {
    THttpJob job;
    TCddbClient& c = job.Run(HttpSettings());
    ASSERT_TRUE(c.Success) << c.ResultText;
    EXPECT_TRUE(c.Level6);
    EXPECT_EQ(c.Info.Category, "jazz");
    const std::string hello = "hello=me+example.org+Wendrix(JP)+R3.22";
    EXPECT_EQ(job.server.requests,
              (std::vector<std::string>{
                  "GET /~cddb/cddb.cgi?cmd=stat&" + hello + "&proto=1 HTTP/1.0",
                  "GET /~cddb/cddb.cgi?cmd=cddb+query+0200b201+1+150+180&" + hello + "&proto=6 HTTP/1.0",
                  "GET /~cddb/cddb.cgi?cmd=cddb+read+jazz+0200b201&" + hello + "&proto=6 HTTP/1.0"}));
    // One connection per request, each to port 80, each line ending CR LF
    // and one empty line at the end.
    ASSERT_EQ(job.net.Connections.size(), 3u);
    for (const auto& conn : job.net.Connections) {
        EXPECT_EQ(conn->port, 80);
        EXPECT_EQ(conn->host, "cddb.example");
        EXPECT_EQ(conn->sent.substr(conn->sent.size() - 5), "0\r\n\r\n");
        EXPECT_EQ(conn->sent.find("0\n"), std::string::npos);
        EXPECT_TRUE(conn->clientClosed);
    }
}

TEST(CddbClientHttp, StatusLines) {
    struct TCase {
        std::string status;
        bool ok;
    };
    for (const TCase& k : {TCase{"HTTP/1.1 200 OK", true}, TCase{"HTTP/1.0 404 Not Found", false},
                           TCase{"HTTP/1.0 2000", true}, TCase{"HTTP/1.0 20", false},
                           TCase{"200 OK HTTP/1.0", false}, TCase{"", false}}) {
        THttpJob job;
        job.server.statusLine = k.status;
        TCddbClient& c = job.Run(HttpSettings());
        EXPECT_EQ(c.Success, k.ok) << k.status;
        if (!k.ok) {
            std::string want = kCddbMsgServerReport;
            want.replace(want.find("%s"), 2, k.status);
            EXPECT_EQ(c.ResultText, want);
            EXPECT_EQ(job.net.Connections.size(), 1u);
        }
    }
}

TEST(CddbClientHttp, StatWithoutLevelAndForcedLevel1) {
    {
        THttpJob job;
        job.server.stat = "210 OK\r\nmax proto: 5\r\n.\r\n";
        TCddbClient& c = job.Run(HttpSettings());
        EXPECT_TRUE(c.Success);
        EXPECT_FALSE(c.Level6);
        EXPECT_NE(job.server.requests[1].find("&proto=1 HTTP"), std::string::npos);
    }
    {
        THttpJob job;
        job.server.stat = "500 stat not allowed\r\n";
        TCddbClient& c = job.Run(HttpSettings());
        EXPECT_TRUE(c.Success);  // accepted, level unchanged
        EXPECT_FALSE(c.Level6);
    }
    THttpJob job;
    TCDDBNetSettings s = HttpSettings();
    s.Flags |= kCddbFlagForceProto1;
    TCddbClient& c = job.Run(s);
    EXPECT_TRUE(c.Success);
    ASSERT_EQ(job.server.requests.size(), 2u);  // no stat request
    for (const auto& r : job.server.requests) EXPECT_NE(r.find("&proto=1 HTTP"), std::string::npos) << r;
}

TEST(CddbClientHttp, ProxyWithAuthorizationAndAskedPassword) {
    THttpJob job;
    TRecordingUi ui;
    ui.password = "s3cret";
    TCDDBNetSettings s = HttpSettings();
    s.Flags |= kCddbFlagProxy | kCddbFlagProxyAuth | kCddbFlagAskPassword;
    s.ProxyHost = "proxy.example";
    s.ProxyPort = 3128;
    s.ProxyUser = "alice";
    s.ShowMotd = 1;
    TCddbClient& c = job.Run(s, &ui);
    ASSERT_TRUE(c.Success) << c.ResultText;
    EXPECT_EQ(ui.passwordAsks, 1);  // asked once, kept for the job
    ASSERT_EQ(job.net.Connections.size(), 4u);
    for (const auto& conn : job.net.Connections) {
        EXPECT_EQ(conn->host, "proxy.example");
        EXPECT_EQ(conn->port, 3128);
        ASSERT_GE(conn->lines.size(), 2u);
        EXPECT_EQ(conn->lines[0].rfind("GET http://cddb.example/~cddb/cddb.cgi?cmd=", 0), 0u);
        EXPECT_EQ(conn->lines[1], "Proxy-Authorization: Basic YWxpY2U6czNjcmV0\r");
    }
    EXPECT_NE(job.server.requests[1].find("cmd=motd&"), std::string::npos);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], std::vector<std::string>{"HTTP message"});
    // Without the authorization flag no header is sent.
    THttpJob job2;
    s.Flags &= static_cast<std::uint8_t>(~kCddbFlagProxyAuth);
    TCddbClient& c2 = job2.Run(s, &ui);
    EXPECT_TRUE(c2.Success);
    for (const auto& l : job2.net.AllLines()) EXPECT_EQ(l.find("Proxy-Authorization"), std::string::npos);
}

}  // namespace
}  // namespace wx

namespace wx {
namespace {

TEST(CddbClientBounds, ReplyBudgetChargesWhatStoringALineCosts) {
    // 1 MiB of empty lines is far less than 2 MiB of bytes, but keeping
    // each line costs more than its bytes: the reply is refused.
    TCddbpJob job;
    job.server.record = "";
    for (int i = 0; i < (1 << 19); ++i) job.server.record += "\r\n";
    job.server.record += ".\r\n";
    TCddbClient& c = job.Run(CddbpSettings());
    EXPECT_FALSE(c.Success);
    EXPECT_EQ(c.ResultText, kCddbMsgServerError);
}

TEST(CddbClientBounds, StatusCodesOnlyAtTheStartOfALine) {
    for (const char* banner : {"433 No connections allowed: 200 users allowed", "x200 ready"}) {
        TCddbpJob job;
        job.server.banner = banner;
        TCddbClient& c = job.Run(CddbpSettings());
        EXPECT_FALSE(c.Success) << banner;
        EXPECT_EQ(c.ResultText, kCddbMsgRefused) << banner;
    }
    // A level reply that is no 201 leaves level 1.
    TCddbpJob job;
    job.server.protoReply = "501 Illegal protocol level 6, 201 is not possible";
    TCddbClient& c = job.Run(CddbpSettings());
    EXPECT_TRUE(c.Success);
    EXPECT_FALSE(c.Level6);
}

}  // namespace
}  // namespace wx
