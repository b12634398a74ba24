// The SSTP notifier against scripted targets on the in-memory network.
#include <gtest/gtest.h>

#include "discinfo/pellora.h"
#include "discinfo/tests/memnet.h"

namespace wx {
namespace {

const std::string kRequest =
    "SEND SSTP/1.0\r\nSender: Wendrix(R3.22)\r\nScript: \\hTrack 1 done\\n\r\n\\e\r\n\r\n";

// A target that answers once the request's empty last line came.
struct Target {
    TMemNetwork net;
    std::string answer;
    explicit Target(std::string a) : answer(std::move(a)) {
        net.OnLine = [this](TMemConnection& c, const std::string& line) {
            if (line == "\r") c.incoming += answer;
        };
    }
};

TEST(Pellora, RequestBytesAndTheStatusLine) {
    Target ok("SSTP/1.0 200 OK\r\n");
    EXPECT_TRUE(SendSSTPScript(ok.net, "127.0.0.1", 11000, "Wendrix(R3.22)", {"Track 1 done"}));
    ASSERT_EQ(ok.net.Connections.size(), 1u);
    EXPECT_EQ(ok.net.Connections[0]->sent, kRequest);
    EXPECT_EQ(ok.net.Connections[0]->port, 11000);
    EXPECT_TRUE(ok.net.Connections[0]->clientClosed);

    Target refused("SSTP/1.0 400 Bad Request\r\n");
    EXPECT_FALSE(SendSSTPScript(refused.net, "h", 1, "s", {"x"}));

    // Several script lines: the first with "\h", each with "\n".
    EXPECT_EQ(SstpRequestText("S", {"a", "b"}), "SEND SSTP/1.0\r\nSender: S\r\nScript: \\ha\\n\r\nb\\n\r\n\\e\r\n\r\n");
}

TEST(Pellora, SilenceEndsAfterThreeSecondsAndASplitReplyIsJoined) {
    TMemNetwork silent;
    EXPECT_FALSE(SendSSTPScript(silent, "h", 1, "s", {"x"}));
    EXPECT_GE(silent.Slept, 3000u);
    EXPECT_LE(silent.Slept, 3200u);
    EXPECT_TRUE(silent.Connections[0]->clientClosed);

    // The status line arrives in pieces between the polls.
    TMemNetwork split;
    std::vector<std::string> pieces = {"SST", "P/1.0 2", "00 O", "K\r", "\n"};
    std::shared_ptr<TMemConnection> conn;
    split.OnConnect = [&](TMemConnection& c) { conn = split.Connections.back(); (void)c; };
    split.OnSleep = [&] {
        if (!pieces.empty() && conn) {
            conn->incoming += pieces.front();
            pieces.erase(pieces.begin());
        }
    };
    EXPECT_TRUE(SendSSTPScript(split, "h", 1, "s", {"x"}));

    // A peer that closes without a line, and one that sends an endless line.
    TMemNetwork closing;
    closing.OnConnect = [](TMemConnection& c) { c.serverClosed = true; };
    EXPECT_FALSE(SendSSTPScript(closing, "h", 1, "s", {"x"}));
    EXPECT_EQ(closing.Slept, 0u);
    TMemNetwork flood;
    flood.OnSleep = [&] { flood.Connections.back()->incoming += std::string(3000, '2'); };
    EXPECT_FALSE(SendSSTPScript(flood, "h", 1, "s", {"x"}));
}

TEST(Pellora, PortFieldAndTheSendsAnswer) {
    bool replaced = false;
    EXPECT_EQ(PelloraPort("9801", replaced), 9801);
    EXPECT_FALSE(replaced);
    for (const char* bad : {"abc", "", "0", "65536", "99999999999", "-5", "12a"}) {
        EXPECT_EQ(PelloraPort(bad, replaced), 11000) << bad;
        EXPECT_TRUE(replaced) << bad;
    }

    Target t("SSTP/1.0 200 OK\r\n");
    TPelloraNotifier n(t.net);
    std::string port = "letters";
    EXPECT_TRUE(n.SendMsgToPellora("x", false, "h", port, "R3.22"));  // English mode: nothing sent
    EXPECT_TRUE(t.net.Connections.empty());
    EXPECT_EQ(port, "letters");
    EXPECT_TRUE(n.SendMsgToPellora("Track 1 done", true, "h", port, "R3.22"));
    ASSERT_EQ(t.net.Connections.size(), 1u);
    EXPECT_EQ(t.net.Connections[0]->port, 11000);
    EXPECT_EQ(port, "11000");
    EXPECT_EQ(t.net.Connections[0]->sent, kRequest);
    t.answer = "SSTP/1.0 400 Bad Request\r\n";
    EXPECT_FALSE(n.SendMsgToPellora("y", true, "h", port, "R3.22"));
}

TEST(Pellora, TimeoutIsTakenModulo2To28) {
    EXPECT_FALSE(TimeoutElapsed(1000, 4000, 3));
    EXPECT_TRUE(TimeoutElapsed(1000, 4001, 3));
    EXPECT_TRUE(TimeoutElapsed(0xFFFFFF00u, 0x00000F00u, 3));  // wrapped tick count
    EXPECT_FALSE(TimeoutElapsed(0x0FFFFF00u, 0x10000100u, 3));
}

}  // namespace
}  // namespace wx
