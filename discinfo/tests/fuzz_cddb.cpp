// libFuzzer target: the xmcd reader and writers, the match-line parser, the
// received-text conversion, and the whole protocol client fed with the
// fuzzer's bytes as the server's answers.
//
// Input: byte 0 picks the settings (CDDBP or HTTP, proxy, authorization,
// server message, forced level 1, site list), byte 1 the match to choose;
// the rest is the server's data, one connection's worth per "\n@@\n"
// separated piece.  Only the first 8 KiB of an input are used: every line
// is parsed several times over under the sanitizers, so inputs of a few
// hundred KiB ran a few a second; the client's limits are lowered instead
// so that short inputs reach them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "classlib/sjis.h"
#include "discinfo/cddbclient.h"
#include "discinfo/cddbconv.h"
#include "discinfo/tests/memnet.h"
#include "discinfo/xmcd.h"

namespace {

using namespace wx;

constexpr std::size_t kMaxInputBytes = 8192;

void Check(bool ok) {
    if (!ok) std::abort();
}

bool OnBoundary(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) i += SjisCharLength(text, i);
    return i == text.size();
}

struct TFuzzUi : TCddbJobUi {
    int choose = 0;
    void ShowStatus(const std::string&) override {}
    bool AskProxyPassword(std::string& p) override {
        p = "pw";
        return true;
    }
    void ShowServerMessage(const std::vector<std::string>&) override {}
    int ChooseMatch(const std::vector<std::string>& items) override {
        return items.empty() ? -1 : choose % static_cast<int>(items.size() + 1) - 1;
    }
};

void CheckRecord(const TCDDBDiscInfo& info, bool level6) {
    Check(info.TrackCount >= 0 && info.TrackCount <= kCddbMaxTracks);
    for (const std::string* f : {&info.Artist, &info.Title, &info.Year, &info.Genre, &info.ExtendedData}) {
        const std::string shown = CddbReceivedText(*f, level6, 255);
        Check(shown.size() <= 255 && OnBoundary(shown));
    }
    for (int i = 0; i < info.TrackCount; ++i) {
        const std::string shown = CddbReceivedText(info.TrackTitles[i], level6, 255);
        Check(shown.size() <= 255 && OnBoundary(shown));
    }
}

void FuzzXmcd(const std::vector<std::string>& lines, bool utf8);

void FuzzRecord(const std::string& data) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at <= data.size()) {
        std::size_t lf = data.find('\n', at);
        if (lf == std::string::npos) lf = data.size();
        lines.push_back(data.substr(at, lf - at));
        at = lf + 1;
    }
    for (bool utf8 : {false, true}) FuzzXmcd(lines, utf8);
    for (const auto& l : lines) {
        const TDiscInfoSet set = ParseMatchLine(l);
        Check(set.DiscId.size() <= 8);
    }
}

// The xmcd reader on its own, for a record in Shift-JIS or in UTF-8.
void FuzzXmcd(const std::vector<std::string>& lines, bool utf8) {
    TCDDBDiscInfo info;
    bool seen = false;
    ParseXmcd(lines, info, seen, utf8);
    SplitDiscTitle(info);
    CheckRecord(info, false);
    CheckRecord(info, true);
    // What we would write for it reads back with the same tracks.
    for (bool mail : {true, false}) {
        const auto written = BuildSubmitLines(info, mail, nullptr);
        if (mail)
            for (const auto& l : written)
                if (l[0] != '#') Check(l.size() <= 76);
        TCDDBDiscInfo back;
        bool seen2 = false;
        ParseXmcd(written, back, seen2);
        Check(seen2);
        for (int i = 0; i < info.TrackCount && info.FrameOffsets[i] >= 0; ++i)
            Check(back.FrameOffsets[i] == info.FrameOffsets[i]);
        Check(back.TrackCount == info.TrackCount);
    }
}

void FuzzClient(std::uint8_t pick, std::uint8_t choose, const std::string& data) {
    std::vector<std::string> pieces;
    std::size_t at = 0;
    for (;;) {
        const std::size_t sep = data.find("\n@@\n", at);
        if (sep == std::string::npos) {
            pieces.push_back(data.substr(at));
            break;
        }
        pieces.push_back(data.substr(at, sep - at));
        at = sep + 4;
    }
    TMemNetwork net;
    std::size_t next = 0;
    net.OnConnect = [&](TMemConnection& c) {
        if (next < pieces.size()) c.incoming = pieces[next++];
        c.serverClosed = true;  // everything it will say is queued
    };
    TCDDBNetSettings s;
    s.ServerHost = "server";
    s.ProxyHost = "proxy";
    s.ProxyUser = "user";
    s.Timeout = 2;
    s.Flags = static_cast<std::uint8_t>(pick & 0x3F);
    s.ShowMotd = (pick & 0x40) != 0;
    TFuzzUi ui;
    ui.choose = choose;
    TCddbClient c(net, &ui, s);
    // Inputs are at most kMaxInputBytes: smaller limits let them reach the
    // line cap and the reply budget.
    c.MaxLineBytes = 256;
    c.MaxReplyBytes = 4096;
    c.DiscId = "0200b201";
    c.TrackCount = 1;
    c.StartFrames = {150, 13500};
    c.DiscSeconds = 180;
    if (pick & 0x80)
        c.RunSites();
    else
        c.RunQuery();
    CheckRecord(c.Info, c.Level6);
    Check(!c.Success || !c.NetworkError);
    Check(c.Success || !c.ResultText.empty());  // every failure says why
    for (const auto& conn : net.Connections) Check(conn->clientClosed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 2) return 0;
    size = std::min<std::size_t>(size, kMaxInputBytes);
    const std::string data(reinterpret_cast<const char*>(bytes) + 2, size - 2);
    FuzzRecord(data);
    FuzzClient(bytes[0], bytes[1], data);
    return 0;
}
