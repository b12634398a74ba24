#include "discinfo/cddbclient.h"

#include <algorithm>
#include <cstdio>

#include "discinfo/cddbconv.h"
#include "discinfo/cddbmsg.h"
#include "discinfo/cddbtext.h"

namespace wx {

namespace {

bool IsEndMarker(const std::string& strippedLine) { return strippedLine == "."; }

// The time-out setting in milliseconds (the settings keep it within 0..120
// seconds; anything larger is held to a day).
std::uint32_t TimeoutMs(std::int32_t seconds) {
    if (seconds <= 0) return 0;
    return static_cast<std::uint32_t>(std::min<std::int32_t>(seconds, 86400)) * 1000u;
}

std::string FormatReport(const std::string& statusLine) {
    std::string text = kCddbMsgServerReport;
    const auto at = text.find("%s");
    return text.replace(at, 2, statusLine);
}

}  // namespace

TCddbClient::TCddbClient(TCddbNetwork& net, TCddbJobUi* ui, const TCDDBNetSettings& settings)
    : net_(net), ui_(ui), settings_(settings) {}

TCddbClient::~TCddbClient() = default;

void TCddbClient::Status(const char* text) {
    if (ui_) ui_->ShowStatus(text);
}

void TCddbClient::Traced(const std::string& prefix, const std::string& line) {
    if (Trace) Trace(prefix + line);
}

std::string TCddbClient::HelloText() const {
    const std::string email = CddbTrim(settings_.UserEmail);
    std::string hello;
    if (email.empty()) {
        hello = "username hostname";
    } else if (const auto at = email.find('@'); at != std::string::npos) {
        hello = email;
        hello[at] = ' ';
    } else {
        std::string host = net_.LocalHostName();
        if (host.empty()) host = "hostname";
        hello = email + " " + host;
    }
    return hello + " " + kCddbClientName + " " + kCddbClientVersion;
}

std::string TCddbClient::QueryText() const {
    std::string q = "cddb query " + DiscId + " " + std::to_string(TrackCount) + " ";
    for (std::int32_t i = 0; i < TrackCount && i < static_cast<std::int32_t>(StartFrames.size()); ++i)
        q += std::to_string(StartFrames[static_cast<std::size_t>(i)]) + " ";
    return q + std::to_string(DiscSeconds);
}

std::string TCddbClient::HttpGetPrefix() const {
    if (UseProxy()) return "GET http://" + settings_.ServerHost + settings_.HttpPath + "?";
    return "GET " + settings_.HttpPath + "?";
}

void TCddbClient::CloseSocket(std::unique_ptr<TCddbSocket>& sock) {
    if (sock) {
        sock->Close();
        sock.reset();
    }
    pending_.clear();
}

void TCddbClient::CloseSession(std::unique_ptr<TCddbSocket>& sock) {
    if (sock && !UseHttp()) SendLine(sock, "quit");
    CloseSocket(sock);
}

bool TCddbClient::Connect(std::unique_ptr<TCddbSocket>& sock) {
    const char* noHost = kCddbMsgNoHost;
    if (UseProxy()) {
        host_ = settings_.ProxyHost;
        port_ = settings_.ProxyPort;
        noHost = kCddbMsgNoProxyHost;
    } else if (UseHttp()) {
        host_ = settings_.ServerHost;
        port_ = kCddbHttpPort;
    } else {
        host_ = settings_.ServerHost;
        port_ = settings_.CddbpPort;
    }
    const unsigned wait = std::max<std::uint32_t>(TimeoutMs(settings_.Timeout), 1000u);
    switch (sock->Connect(host_, port_, wait)) {
        case TCddbSocket::TConnect::Ok:
            return true;
        case TCddbSocket::TConnect::NoHost:
            ResultText = noHost;
            break;
        case TCddbSocket::TConnect::Failed:
            ResultText = kCddbMsgConnectFailed;
            break;
    }
    CloseSocket(sock);
    return false;
}

bool TCddbClient::Reconnect(std::unique_ptr<TCddbSocket>& sock) {
    CloseSocket(sock);
    sock = net_.NewSocket();
    const unsigned wait = std::max<std::uint32_t>(TimeoutMs(settings_.Timeout), 1000u);
    if (!sock || sock->Connect(host_, port_, wait) != TCddbSocket::TConnect::Ok) {
        CloseSocket(sock);
        ResultText = kCddbMsgConnectFailed;
        return false;
    }
    return true;
}

int TCddbClient::SendLine(std::unique_ptr<TCddbSocket>& sock, const std::string& text) {
    Traced("XMITED: ", text);
    if (!sock || !sock->Send(text.data(), text.size()) || !sock->Send("\n", 1)) {
        CloseSocket(sock);
        ResultText = kCddbMsgCommFailed;
        return -1;
    }
    return 1;
}

bool TCddbClient::ReadLine(std::unique_ptr<TCddbSocket>& sock, std::string& line) {
    line.clear();
    const std::uint32_t start = net_.TickCount();
    const std::uint32_t limit = TimeoutMs(settings_.Timeout);
    while (sock && net_.TickCount() - start < limit && !AbortRequest) {
        if (!pending_.empty()) {
            const auto lf = pending_.find('\n');
            const std::size_t take = lf == std::string::npos ? pending_.size() : lf;
            if (line.size() < kCddbMaxLineBytes)
                line.append(pending_, 0, std::min(take, kCddbMaxLineBytes - line.size()));
            if (lf == std::string::npos) {
                pending_.clear();
                continue;
            }
            pending_.erase(0, lf + 1);
            Traced("RECVED: ", line);
            return true;
        }
        const long waiting = sock->Pending();
        if (waiting < 0) break;
        if (waiting == 0) {
            net_.Sleep(100);
            continue;
        }
        char buf[4096];
        const std::size_t want = static_cast<std::size_t>(waiting) < sizeof buf ? static_cast<std::size_t>(waiting)
                                                                                 : sizeof buf;
        const long got = sock->Receive(buf, want);
        if (got <= 0) break;
        pending_.append(buf, static_cast<std::size_t>(got));
    }
    CloseSocket(sock);
    ResultText = kCddbMsgTimeout;
    return false;
}

bool TCddbClient::ReadReplyLine(std::unique_ptr<TCddbSocket>& sock, std::string& line, std::size_t& budget) {
    if (!ReadLine(sock, line)) return false;
    const std::size_t cost = line.size() + 1;
    if (cost > budget) {
        CloseSocket(sock);
        ResultText = kCddbMsgServerError;
        return false;
    }
    budget -= cost;
    return true;
}

bool TCddbClient::ReadReplyBody(std::unique_ptr<TCddbSocket>& sock, std::vector<std::string>& lines) {
    lines.clear();
    std::size_t budget = kCddbMaxReplyBytes;
    for (;;) {
        std::string line;
        if (!ReadReplyLine(sock, line, budget)) return false;
        line = StripLineEnd(line);
        if (IsEndMarker(line)) return true;
        lines.push_back(std::move(line));
    }
}

bool TCddbClient::HttpRequest(std::unique_ptr<TCddbSocket>& sock, const std::string& requestLine) {
    if (SendLine(sock, requestLine + " HTTP/1.0") < 0) return false;
    if (UseProxy() && (settings_.Flags & kCddbFlagProxyAuth)) {
        if (settings_.ProxyPassword.empty() && (settings_.Flags & kCddbFlagAskPassword) && ui_) {
            std::string password;
            if (ui_->AskProxyPassword(password)) settings_.ProxyPassword = password;
        }
        const std::string credentials = settings_.ProxyUser + ":" + settings_.ProxyPassword;
        if (SendLine(sock, "Proxy-Authorization: Basic " + EncodeBase64(credentials)) < 0) return false;
    }
    if (SendLine(sock, "\r") < 0 || SendLine(sock, "\r") < 0) return false;
    std::string status;
    if (!ReadLine(sock, status)) return false;
    if (!CddbStartsWith(status, "HTTP/") || status.size() < 12 || status.compare(9, 3, "200") != 0) {
        CloseSocket(sock);
        ResultText = FormatReport(StripLineEnd(status));
        return false;
    }
    std::size_t budget = kCddbMaxReplyBytes;
    for (;;) {
        std::string header;
        if (!ReadReplyLine(sock, header, budget)) return false;
        if (header.empty() || header[0] == '\r' || header[0] == '\n') return true;
    }
}

bool TCddbClient::ReadBanner(std::unique_ptr<TCddbSocket>& sock, const std::string& hello) {
    std::string banner;
    if (!ReadLine(sock, banner)) return false;
    if (banner.find("200") == std::string::npos && banner.find("201") == std::string::npos) {
        CloseSocket(sock);
        ResultText = kCddbMsgRefused;
        return false;
    }
    if (SendLine(sock, "cddb hello " + hello) < 0) return false;
    std::string reply;
    if (!ReadLine(sock, reply)) return false;
    if (reply.find("200") == std::string::npos) {
        CloseSocket(sock);
        ResultText = kCddbMsgRefused;
        return false;
    }
    return true;
}

bool TCddbClient::ReadServerMessage(std::unique_ptr<TCddbSocket>& sock) {
    std::string first;
    if (!ReadLine(sock, first)) return false;
    first = StripLineEnd(first);
    if (!CddbStartsWith(first, "210")) return true;
    const bool isNew = settings_.LastMotdLine.empty() || first.find(settings_.LastMotdLine) == std::string::npos;
    if (isNew) settings_.LastMotdLine = first;
    std::vector<std::string> lines;
    if (!ReadReplyBody(sock, lines)) return false;
    if (isNew && ui_) ui_->ShowServerMessage(lines);
    return true;
}

bool TCddbClient::ChooseMatch(std::unique_ptr<TCddbSocket>& sock, std::string& category, std::string& discId) {
    category.clear();
    discId.clear();
    std::vector<TDiscInfoSet> sets;
    std::vector<std::string> items;
    std::vector<std::string> lines;
    if (!ReadReplyBody(sock, lines)) return false;
    for (const std::string& line : lines) {
        if (line.empty()) continue;
        TDiscInfoSet set = ParseMatchLine(line);
        const std::string shownCategory = Level6 ? CddbUtf8ToSjis(set.Category) : set.Category;
        const std::string shownTitle = Level6 ? CddbUtf8ToSjis(set.Title) : set.Title;
        items.push_back("ID: " + shownCategory + " , TITLE = " + shownTitle);
        sets.push_back(std::move(set));
    }
    const int chosen = ui_ ? ui_->ChooseMatch(items) : -1;
    if (chosen >= 0 && static_cast<std::size_t>(chosen) < sets.size()) {
        category = sets[static_cast<std::size_t>(chosen)].Category;
        discId = sets[static_cast<std::size_t>(chosen)].DiscId;
    } else {
        CloseSession(sock);
    }
    return true;
}

bool TCddbClient::QueryAndRead() {
    const std::string hello = UseHttp() ? BlanksToPlus(HelloText()) : HelloText();
    const std::string query = UseHttp() ? BlanksToPlus(QueryText()) : QueryText();
    std::unique_ptr<TCddbSocket> sock = net_.NewSocket();
    if (!sock) return false;
    Status(kCddbStatusConnecting);
    if (!Connect(sock)) return false;
    if (!UseHttp() && !ReadBanner(sock, hello)) return false;

    // Protocol level.
    if (!(settings_.Flags & kCddbFlagForceProto1)) {
        if (!UseHttp()) {
            if (SendLine(sock, "proto 6") < 0) return false;
            std::string reply;
            if (!ReadLine(sock, reply)) return false;
            Level6 = reply.find("201") != std::string::npos;
        } else {
            if (!HttpRequest(sock, HttpGetPrefix() + "cmd=stat&hello=" + hello + "&proto=1")) return false;
            std::string first;
            if (!ReadLine(sock, first)) return false;
            if (CddbStartsWith(first, "210")) {
                std::vector<std::string> lines;
                if (!ReadReplyBody(sock, lines)) return false;
                for (const std::string& line : lines) {
                    const auto at = line.find("max proto:");
                    if (at != std::string::npos) Level6 = ParseLeadingInt(CddbTrim(line.substr(at + 10))) >= 6;
                }
            }
            if (!Reconnect(sock)) return false;
        }
    }

    // Server message.
    if (settings_.ShowMotd) {
        if (!UseHttp()) {
            if (SendLine(sock, "motd") < 0) return false;
        } else if (!HttpRequest(sock, HttpGetPrefix() + "cmd=motd&hello=" + hello + "&proto=1")) {
            return false;
        }
        if (!ReadServerMessage(sock)) return false;
        if (UseHttp() && !Reconnect(sock)) return false;
    }

    // Query.
    Status(kCddbStatusQuerying);
    if (!UseHttp()) {
        if (SendLine(sock, query) < 0) return false;
    } else if (!HttpRequest(sock, HttpGetPrefix() + "cmd=" + query + "&hello=" + hello + "&" + ProtoParam())) {
        return false;
    }
    std::string reply;
    if (!ReadLine(sock, reply)) return false;
    std::string category;
    std::string chosenId;
    if (CddbStartsWith(reply, "200")) {
        category = reply.size() > 4 ? reply.substr(4, 35) : std::string();
        category = StripLineEnd(category.substr(0, category.find(' ')));
    } else if (CddbStartsWith(reply, "211") || CddbStartsWith(reply, "210")) {
        if (!ChooseMatch(sock, category, chosenId)) return false;
        if (category.empty()) {
            CloseSocket(sock);
            return false;
        }
    } else if (CddbStartsWith(reply, "202")) {
        CloseSession(sock);
        ResultText = kCddbMsgNoMatch;
        NetworkError = false;
        return false;
    } else {
        CloseSession(sock);
        ResultText = kCddbMsgServerError;
        return false;
    }

    // Read.
    if (!chosenId.empty()) DiscId = chosenId;
    Status(kCddbStatusReading);
    if (!UseHttp()) {
        if (SendLine(sock, "cddb read " + category + " " + DiscId) < 0) return false;
    } else {
        if (!Reconnect(sock)) return false;
        if (!HttpRequest(sock, HttpGetPrefix() + "cmd=cddb+read+" + category + "+" + DiscId + "&hello=" + hello +
                                   "&" + ProtoParam()))
            return false;
    }
    std::vector<std::string> lines;
    std::size_t budget = kCddbMaxReplyBytes;
    for (;;) {
        std::string line;
        if (!ReadReplyLine(sock, line, budget)) return false;
        line = StripLineEnd(line);
        // A reply other than "210 ... follows" carries no record and no end
        // marker: waiting for one would only end in a time-out.
        if (lines.empty() && !CddbStartsWith(line, "210")) {
            CloseSession(sock);
            ResultText = kCddbMsgServerError;
            return false;
        }
        if (IsEndMarker(line)) break;
        lines.push_back(std::move(line));
    }
    Info.Category = category;
    if (!lines.empty()) ParseXmcd(lines);
    CloseSession(sock);
    NetworkError = false;
    ResultText = kCddbMsgReadOk;
    return true;
}

void TCddbClient::RunQuery() {
    Success = QueryAndRead();
    SplitDiscTitle(Info);
}

bool TCddbClient::GetSites() {
    SiteLines.clear();
    const std::string hello = UseHttp() ? BlanksToPlus(HelloText()) : HelloText();
    std::unique_ptr<TCddbSocket> sock = net_.NewSocket();
    if (!sock) {
        ResultText = kCddbMsgNoSocket;
        return false;
    }
    ResultText = kCddbMsgCommFailed;
    Status(kCddbStatusConnecting);
    if (!Connect(sock)) return false;
    if (!UseHttp() && !ReadBanner(sock, hello)) return false;
    if (!UseHttp()) {
        if (SendLine(sock, "sites") < 0) return false;
    } else if (!HttpRequest(sock, HttpGetPrefix() + "cmd=sites&hello=" + hello + "&proto=1")) {
        return false;
    }
    std::string first;
    if (!ReadLine(sock, first)) return false;
    if (CddbStartsWith(first, "210") && !ReadReplyBody(sock, SiteLines)) return false;
    if (UseHttp())
        CloseSocket(sock);
    else
        CloseSession(sock);
    NetworkError = false;
    ResultText.clear();
    return true;
}

void TCddbClient::RunSites() { Success = GetSites(); }

void TCddbClient::ParseXmcd(const std::vector<std::string>& lines) { wx::ParseXmcd(lines, Info, discidSeen_); }

void TCddbClient::NewSubmitInfo(std::int32_t trackCount, std::int32_t discSeconds) {
    submit_ = std::make_unique<TCDDBDiscInfo>();
    submit_->TrackCount = trackCount;
    submit_->DiscLength = discSeconds;
}

bool TCddbClient::SetSubmitField(int kind, int index, const std::string& text, std::int32_t number) {
    if (!submit_) return false;
    TCDDBDiscInfo& s = *submit_;
    const bool inTracks = index >= 1 && index <= kCddbMaxTracks;
    switch (kind) {
        case 0: s.Artist = text; break;
        case 1: s.Title = text; break;
        case 2: s.DiscIds = text; break;
        case 3: s.Category = text; break;
        case 4:
            if (inTracks) s.TrackTitles[static_cast<std::size_t>(index - 1)] = text;
            break;
        case 5:
            if (inTracks) s.ExtendedTrackData[static_cast<std::size_t>(index - 1)] = text;
            break;
        case 6:
            if (inTracks && index <= s.TrackCount) s.FrameOffsets[static_cast<std::size_t>(index - 1)] = number;
            break;
        case 7: s.Revision = index; break;
        case 8: s.Year = text; break;
        case 9: s.Genre = text; break;
        default: break;
    }
    return true;
}

void TCddbClient::FreeSubmitInfo() { submit_.reset(); }

bool TCddbClient::WriteMailSubmitFile(const std::string& path, bool utf8) const {
    if (!submit_) return false;
    return WriteTextLines(path, BuildSubmitLines(*submit_, true, utf8 ? &CddbSystemToUtf8 : nullptr));
}

bool TCddbClient::WriteHttpSubmitFile(const std::string& path, bool utf8) const {
    if (!submit_) return false;
    const std::vector<std::string> body = BuildSubmitLines(*submit_, false, utf8 ? &CddbSystemToUtf8 : nullptr);
    std::vector<std::string> lines = BuildHttpSubmitHeaders(*submit_, settings_.UserEmail, utf8, body);
    lines.insert(lines.end(), body.begin(), body.end());
    return WriteTextLines(path, lines);
}

}  // namespace wx
