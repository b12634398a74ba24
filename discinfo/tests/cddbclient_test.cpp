// The protocol client against scripted servers on an in-memory network.
#include "discinfo/cddbclient.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    std::function<void()> onChoose;
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
        if (onChoose) onChoose();
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
    // The hello of the user's address, as it goes out after the banner.  An
    // address with a line break in it would end the hello early and send the
    // rest as a command of its own: nothing of it is sent, and the job ends.
    struct TCase {
        std::string email, host;
        std::string hello;  // empty: refused
    };
    for (const TCase& k : {TCase{"  listener ", "myhost", "listener myhost Wendrix(JP) R3.22"},
                           TCase{"  listener ", "", "listener hostname Wendrix(JP) R3.22"},
                           TCase{"", "", "username hostname Wendrix(JP) R3.22"},
                           TCase{"a@b@c", "myhost", "a b@c Wendrix(JP) R3.22"},
                           TCase{"me\r\nquit@example.org", "myhost", ""},
                           TCase{"me@example.org\nsites", "myhost", ""},
                           TCase{"listener", "my\rhost", ""}}) {
        TCddbpJob job;
        job.net.HostName = k.host;
        TCDDBNetSettings s = CddbpSettings();
        s.UserEmail = k.email;
        TCddbClient& c = job.Run(s);
        const std::vector<std::string> lines = job.net.AllLines();
        if (!k.hello.empty()) {
            EXPECT_EQ(c.HelloText(), k.hello);
            EXPECT_TRUE(c.Success) << k.email << ": " << c.ResultText;
            ASSERT_FALSE(lines.empty());
            EXPECT_EQ(lines[0], "cddb hello " + k.hello);
        } else {
            EXPECT_FALSE(c.Success) << k.email;
            EXPECT_EQ(c.ResultText, kCddbMsgCommFailed) << k.email;
            EXPECT_TRUE(lines.empty()) << k.email << ": " << lines.front();
            EXPECT_TRUE(job.net.Connections.at(0)->clientClosed);
        }
    }
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
    // An empty category, or one that would change the read command (a CR
    // in the middle of the line, a control byte), is a server error: no
    // read is sent.  So is a chosen match whose disc id holds a blank.
    struct TCase {
        std::string reply, category;
        bool ok;
    };
    for (const TCase& k : {TCase{"200 rock 12345678 Title\r\n", "rock", true},
                           TCase{"200 newage\r\n", "newage", true},  // no blank: line end not kept
                           TCase{"200 " + std::string(50, 'c') + " x\r\n", std::string(35, 'c'), true},
                           TCase{"200\r\n", "", false},
                           TCase{"200 rock\rquit 12345678 Title\r\n", "", false},
                           TCase{"200 rock\x7f 12345678 Title\r\n", "", false},
                           TCase{"211 inexact\r\nrock 1234 678 Title\r\n.\r\n", "", false}}) {
        TCddbpJob job;
        job.server.queryReply = k.reply;
        TRecordingUi ui;
        TCddbClient& c = job.Run(CddbpSettings(), &ui);
        EXPECT_EQ(c.Success, k.ok) << k.reply;
        const std::vector<std::string> lines = job.net.AllLines();
        if (k.ok) {
            EXPECT_EQ(c.Info.Category, k.category);
            EXPECT_EQ(lines[3], "cddb read " + k.category + " 0200b201");
        } else {
            EXPECT_EQ(c.ResultText, kCddbMsgServerError) << k.reply;
            EXPECT_EQ(lines.back(), "quit") << k.reply;
            for (const auto& l : lines) EXPECT_EQ(l.rfind("cddb read", 0), std::string::npos) << l;
        }
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
    // The stored "-" is the setting's default: nothing seen yet, whatever
    // hyphens the first line holds.
    struct TCase {
        std::string stored;
        bool shown;
        std::string first = "210 Last modified: 12/01/26 MOTD follows";
    };
    for (const TCase& k : {TCase{"", true}, TCase{"210 Last modified: 12/01/26 MOTD follows", false},
                           TCase{"Last modified: 12/01/26", false}, TCase{"210 Last modified: 11/01/26", true},
                           TCase{"-", true, "210 Last modified: 2026-01-12 MOTD follows"},
                           TCase{"210 Last modified: 2026-01-12", false, "210 Last modified: 2026-01-12 MOTD follows"}}) {
        TCddbpJob job;
        job.server.motd = k.first + "\r\nHello listeners\r\nSecond line\r\n.\r\n";
        TRecordingUi ui;
        TCDDBNetSettings s = CddbpSettings();
        s.ShowMotd = 1;
        s.LastMotdLine = k.stored;
        TCddbClient& c = job.Run(s, &ui);
        EXPECT_TRUE(c.Success);
        EXPECT_EQ(ui.messages.size(), k.shown ? 1u : 0u) << k.stored;
        if (k.shown) {
            EXPECT_EQ(ui.messages[0], (std::vector<std::string>{"Hello listeners", "Second line"}));
            EXPECT_EQ(c.Settings().LastMotdLine, k.first);
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

TEST(CddbClientFailures, ServersThatHoldTheJobEndWithinItsBound) {
    // A silent server ends the job after the time-out; a time-out outside
    // 1..120 s counts as 60 s; a server that sends one short line every 5 s
    // (inside a 10 s time-out) ends it at four times the time-out; the time
    // the user spends choosing a match does not count.
    struct TCase {
        const char* name;
        std::int32_t timeout;
        bool silent, trickle, slowChoice;
        std::uint32_t sleptFrom, sleptTo;
    };
    for (const TCase& k : {TCase{"silent", 7, true, false, false, 7000, 7100},
                           TCase{"no time-out", 0, true, false, false, 60000, 60100},
                           TCase{"negative", -5, true, false, false, 60000, 60100},
                           TCase{"a day", 86400, true, false, false, 60000, 60100},
                           TCase{"trickle", 10, false, true, false, 40000, 40100},
                           TCase{"slow choice", 10, false, false, true, 0, 0}}) {
        TCddbpJob job;
        TRecordingUi ui;
        TCDDBNetSettings s = CddbpSettings();
        s.Timeout = k.timeout;
        if (k.slowChoice) {
            job.server.queryReply = "211 inexact\r\nrock 0200b201 Some Artist / Some Album\r\n.\r\n";
            ui.onChoose = [&] { job.net.Now += 600000; };  // ten minutes in the choice window
        }
        TCddbClient& c = job.Client(s, &ui);
        if (k.silent) job.net.OnConnect = [](TMemConnection&) {};
        if (k.trickle) {
            job.server.record = "";
            job.net.OnSleep = [&] {
                if (job.net.Now % 5000 == 0) job.net.Connections.back()->incoming += "x\r\n";
            };
        }
        c.RunQuery();
        EXPECT_EQ(c.Success, k.slowChoice) << k.name << ": " << c.ResultText;
        if (!k.slowChoice) {
            EXPECT_EQ(c.ResultText, kCddbMsgTimeout) << k.name;
        }
        EXPECT_GE(job.net.Slept, k.sleptFrom) << k.name;
        EXPECT_LE(job.net.Slept, k.sleptTo) << k.name;
        for (const auto& conn : job.net.Connections) EXPECT_TRUE(conn->clientClosed) << k.name;
    }
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
    // and one empty line at the end; the server's name in a Host header.
    ASSERT_EQ(job.net.Connections.size(), 3u);
    for (const auto& conn : job.net.Connections) {
        EXPECT_EQ(conn->port, 80);
        EXPECT_EQ(conn->host, "cddb.example");
        ASSERT_GE(conn->lines.size(), 2u);
        EXPECT_EQ(conn->lines[1], "Host: cddb.example\r");
        EXPECT_EQ(conn->sent.substr(conn->sent.size() - 4), "\r\n\r\n");
        for (std::size_t lf = conn->sent.find('\n'); lf != std::string::npos; lf = conn->sent.find('\n', lf + 1))
            EXPECT_EQ(conn->sent[lf - 1], '\r') << conn->sent;
        EXPECT_TRUE(conn->clientClosed);
    }
}

TEST(CddbClientHttp, ServerWordsAndTheUsersAddressAreEncodedInTheUrl) {
    // A category from the server that would add a second cmd=, an address
    // with "&" and "#": each goes into the query string as one value.
    THttpJob job;
    job.server.query = "200 rock&cmd=motd&x=1 0200b201 Some Artist / Some Album\r\n";
    TCDDBNetSettings s = HttpSettings();
    s.UserEmail = "a&b#c@example.org";
    TCddbClient& c = job.Run(s);
    ASSERT_TRUE(c.Success) << c.ResultText;
    ASSERT_EQ(job.server.requests.size(), 3u);
    EXPECT_EQ(job.server.requests[2],
              "GET /~cddb/cddb.cgi?cmd=cddb+read+rock%26cmd%3Dmotd%26x%3D1+0200b201&hello=a%26b%23c+example.org+"
              "Wendrix(JP)+R3.22&proto=6 HTTP/1.0");
    for (const auto& r : job.server.requests) EXPECT_EQ(r.find('#'), std::string::npos) << r;
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
    std::vector<std::string> trace;
    TCddbClient& c = job.Client(s, &ui);
    c.Trace = [&](const std::string& l) { trace.push_back(l); };
    c.RunQuery();
    ASSERT_TRUE(c.Success) << c.ResultText;
    EXPECT_EQ(ui.passwordAsks, 1);  // asked once, kept for the job
    ASSERT_EQ(job.net.Connections.size(), 4u);
    for (const auto& conn : job.net.Connections) {
        EXPECT_EQ(conn->host, "proxy.example");
        EXPECT_EQ(conn->port, 3128);
        ASSERT_GE(conn->lines.size(), 3u);
        EXPECT_EQ(conn->lines[0].rfind("GET http://cddb.example/~cddb/cddb.cgi?cmd=", 0), 0u);
        EXPECT_EQ(conn->lines[1], "Host: cddb.example\r");
        EXPECT_EQ(conn->lines[2], "Proxy-Authorization: Basic YWxpY2U6czNjcmV0\r");
    }
    // The trace file never holds the credentials.
    EXPECT_NE(std::find(trace.begin(), trace.end(), "XMITED: Proxy-Authorization: Basic (hidden)"), trace.end());
    for (const auto& l : trace) EXPECT_EQ(l.find("YWxpY2U6czNjcmV0"), std::string::npos) << l;
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

namespace wx {
namespace {

// A mail server: POP3 on port 110, SMTP on 25, each answer changeable.
struct TMailScript {
    std::string pop3Greeting = "+OK pop3 ready\r\n";
    std::string smtpGreeting = "220 smtp ready\r\n";
    std::string heloReply = "250 hello\r\n";
    std::string rcptReply = "250 ok\r\n";
    bool inData = false;

    void Install(TMemNetwork& net) {
        net.OnConnect = [this](TMemConnection& c) { c.incoming += c.port == kCddbPop3Port ? pop3Greeting : smtpGreeting; };
        net.OnLine = [this](TMemConnection& c, const std::string& raw) {
            const std::string line = StripLineEnd(raw);
            if (inData) {
                if (line == ".") inData = false, c.incoming += "250 queued\r\n";
                return;
            }
            if (line == "QUIT") c.incoming += c.port == kCddbPop3Port ? "+OK bye\r\n" : "221 bye\r\n";
            else if (line.rfind("HELO ", 0) == 0) c.incoming += heloReply;
            else if (line.rfind("MAIL FROM:", 0) == 0) c.incoming += "250 ok\r\n";
            else if (line.rfind("RCPT TO:", 0) == 0) c.incoming += rcptReply;
            else if (line == "DATA") inData = true, c.incoming += "354 go ahead\r\n";
            else c.incoming += "500 what\r\n";
        };
    }
};

struct TRefusals : TRecordingUi {
    int refusals = 0;
    void ShowRefusal(const std::string&) override { ++refusals; }
};

TEST(CddbClientMail, GreetingsAndRepliesOverSeveralLines) {
    // Replies of several lines ("220-" ... "220 "), a spare greeting line
    // that has begun but not ended within its 2 s, and greetings that never
    // come (the connect failure's text).
    struct TCase {
        const char* name;
        std::string pop3, smtp, helo, rcpt;
        std::string late;  // sent once the client has waited 2.5 s
        bool ok;
        const char* text;
        int refusals;
        // A receiver with a line break would send a command of its own.
        std::string receiver = "submit@example.org";
    };
    const std::string pop = "+OK pop3 ready\r\n", smtp = "220 smtp ready\r\n", helo = "250 hello\r\n",
                      rcpt = "250 ok\r\n";
    for (const TCase& k :
         {TCase{"plain", pop, smtp, helo, rcpt, "", true, kCddbMsgSubmitOk, 0},
          TCase{"greeting of three lines", pop, "220-smtp.example\r\n220-no spam\r\n220 ready\r\n", helo, rcpt, "",
                true, kCddbMsgSubmitOk, 0},
          TCase{"spare line cut at 2 s", pop, smtp + "220 spa", helo, rcpt, "re line\r\n", true, kCddbMsgSubmitOk, 0},
          TCase{"hello of two lines", pop, smtp, "250-smtp.example\r\n250 SIZE 1000\r\n", rcpt, "", true,
                kCddbMsgSubmitOk, 0},
          TCase{"silent POP3", "", smtp, helo, rcpt, "", false, kCddbMsgConnectFailed, 0},
          TCase{"silent SMTP", pop, "", helo, rcpt, "", false, kCddbMsgConnectFailed, 0},
          TCase{"refused receiver", pop, smtp, helo, "550 no such user\r\n", "", false, kCddbMsgCommFailed, 1},
          TCase{"receiver with a line break", pop, smtp, helo, rcpt, "", false, kCddbMsgCommFailed, 0,
                "submit@example.org\r\nRCPT TO:<other@example.org>"}}) {
        TMemNetwork net;
        TMailScript server;
        server.pop3Greeting = k.pop3;
        server.smtpGreeting = k.smtp;
        server.heloReply = k.helo;
        server.rcptReply = k.rcpt;
        server.Install(net);
        bool lateSent = k.late.empty();
        net.OnSleep = [&] {
            if (!lateSent && net.Slept >= 2500) {
                net.Connections.back()->incoming += k.late;
                lateSent = true;
            }
        };
        TCDDBNetSettings s = CddbpSettings();
        s.SubmitReceiver = k.receiver;
        s.SubmitFile = testing::TempDir() + "wendrix_mail_test.$$$";
        ASSERT_TRUE(WriteTextLines(s.SubmitFile, {"# xmcd", "DISCID=0200b201"}));
        TRefusals ui;
        TCddbClient c(net, &ui, s);
        c.RunSubmit();
        EXPECT_EQ(c.Success, k.ok) << k.name << ": " << c.ResultText;
        EXPECT_EQ(c.ResultText, k.text) << k.name;
        EXPECT_EQ(ui.refusals, k.refusals) << k.name;
        if (k.ok) {
            const std::vector<std::string> smtpLines = net.Connections.back()->lines;
            ASSERT_FALSE(smtpLines.empty()) << k.name;
            EXPECT_EQ(smtpLines.front(), "HELO myhost\r") << k.name;
            EXPECT_EQ(smtpLines.back(), "QUIT\r") << k.name;
        }
        for (const auto& conn : net.Connections) {
            EXPECT_TRUE(conn->clientClosed) << k.name;
            for (const std::string& l : conn->lines) EXPECT_EQ(l.find("other@"), std::string::npos) << k.name;
        }
    }
}

}  // namespace
}  // namespace wx
