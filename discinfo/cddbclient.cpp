#include "discinfo/cddbclient.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

#include "discinfo/cddbconv.h"
#include "discinfo/cddbmsg.h"
#include "discinfo/cddbtext.h"

namespace wx {

namespace {

bool IsEndMarker(const std::string& strippedLine) { return strippedLine == "."; }

// The time-out setting in milliseconds; a value outside the settings'
// range counts as the default, so that no setting makes every read fail at
// once or wait for days.
std::uint32_t TimeoutMs(std::int32_t seconds) {
    if (seconds < kCddbMinTimeout || seconds > kCddbMaxTimeout) seconds = kCddbDefaultTimeout;
    return static_cast<std::uint32_t>(seconds) * 1000u;
}

// A line "NNN-..." announces that the reply goes on over further lines.
bool IsContinuedReply(const std::string& line) {
    return line.size() >= 4 && line[3] == '-' && std::isdigit(static_cast<unsigned char>(line[0])) &&
           std::isdigit(static_cast<unsigned char>(line[1])) && std::isdigit(static_cast<unsigned char>(line[2]));
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

// While the user answers a dialog of the job, the job's bound stands still.
class TCddbClient::TUiStep {
public:
    explicit TUiStep(TCddbClient& c) : c_(c), start_(c.net_.TickCount()) {}
    ~TUiStep() { c_.jobUiMs_ += c_.net_.TickCount() - start_; }
    TUiStep(const TUiStep&) = delete;
    TUiStep& operator=(const TUiStep&) = delete;

private:
    TCddbClient& c_;
    std::uint32_t start_;
};

void TCddbClient::BeginJob() {
    jobStart_ = net_.TickCount();
    jobUiMs_ = 0;
}

std::uint32_t TCddbClient::JobLeftMs() const {
    const std::uint32_t bound = kCddbJobTimeouts * TimeoutMs(settings_.Timeout);
    const std::uint32_t used = net_.TickCount() - jobStart_ - jobUiMs_;
    return used >= bound ? 0 : bound - used;
}

std::uint32_t TCddbClient::WaitMs() const { return std::min(TimeoutMs(settings_.Timeout), JobLeftMs()); }

void TCddbClient::Status(const char* text) {
    if (!ui_) return;
    TUiStep step(*this);
    ui_->ShowStatus(text);
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
    if (UseProxy()) return ConnectTo(sock, settings_.ProxyHost, settings_.ProxyPort, kCddbMsgNoProxyHost);
    if (UseHttp()) return ConnectTo(sock, settings_.ServerHost, kCddbHttpPort, kCddbMsgNoHost);
    return ConnectTo(sock, settings_.ServerHost, settings_.CddbpPort, kCddbMsgNoHost);
}

bool TCddbClient::ConnectTo(std::unique_ptr<TCddbSocket>& sock, const std::string& host, int port,
                            const char* noHost) {
    host_ = host;
    port_ = port;
    if (!sock) {
        ResultText = kCddbMsgNoSocket;
        return false;
    }
    sock->SetAbort(&AbortRequest);
    const std::uint32_t wait = WaitMs();
    if (wait == 0) {
        ResultText = kCddbMsgTimeout;
        CloseSocket(sock);
        return false;
    }
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
    if (sock) sock->SetAbort(&AbortRequest);
    const std::uint32_t wait = WaitMs();
    if (!sock || wait == 0 || sock->Connect(host_, port_, wait) != TCddbSocket::TConnect::Ok) {
        CloseSocket(sock);
        ResultText = wait == 0 ? kCddbMsgTimeout : kCddbMsgConnectFailed;
        return false;
    }
    return true;
}

int TCddbClient::SendLine(std::unique_ptr<TCddbSocket>& sock, const std::string& text) {
    return SendBytes(sock, text, text + "\n");
}

int TCddbClient::SendCrlfLine(std::unique_ptr<TCddbSocket>& sock, const std::string& text) {
    return SendBytes(sock, text, text + "\r\n");
}

int TCddbClient::SendBytes(std::unique_ptr<TCddbSocket>& sock, const std::string& traced, const std::string& bytes) {
    // A line holds no line break of its own: a value with one (an address,
    // a host name, a receiver) would end the command early and send the
    // rest as a command of its own.  Nothing of such a line is sent.
    if (traced.find_first_of("\r\n") != std::string::npos) {
        CloseSocket(sock);
        ResultText = kCddbMsgCommFailed;
        return -1;
    }
    Traced("XMITED: ", traced);
    const std::uint32_t wait = WaitMs();
    if (!sock || AbortRequest || wait == 0 || !sock->Send(bytes.data(), bytes.size(), wait)) {
        CloseSocket(sock);
        ResultText = wait == 0 && !AbortRequest ? kCddbMsgTimeout : kCddbMsgCommFailed;
        return -1;
    }
    return 1;
}

bool TCddbClient::ReadLine(std::unique_ptr<TCddbSocket>& sock, std::string& line) {
    return ReadLineWithin(sock, line, TimeoutMs(settings_.Timeout), false);
}

bool TCddbClient::ReadLineWithin(std::unique_ptr<TCddbSocket>& sock, std::string& line, std::uint32_t limit,
                                 bool keepOnFailure) {
    line.clear();
    limit = std::min(limit, JobLeftMs());
    const std::uint32_t start = net_.TickCount();
    bool closed = false;
    while (sock && net_.TickCount() - start < limit && !AbortRequest) {
        if (!pending_.empty()) {
            const auto lf = pending_.find('\n');
            const std::size_t take = lf == std::string::npos ? pending_.size() : lf;
            if (line.size() < MaxLineBytes)
                line.append(pending_, 0, std::min(take, MaxLineBytes - line.size()));
            if (lf == std::string::npos) {
                pending_.clear();
                continue;
            }
            pending_.erase(0, lf + 1);
            Traced("RECVED: ", line);
            return true;
        }
        const long waiting = sock->Pending();
        if (waiting < 0) {
            closed = true;
            break;
        }
        if (waiting == 0) {
            net_.Sleep(100);
            continue;
        }
        char buf[4096];
        const std::size_t want = static_cast<std::size_t>(waiting) < sizeof buf ? static_cast<std::size_t>(waiting)
                                                                                 : sizeof buf;
        const long got = sock->Receive(buf, want);
        if (got <= 0) {
            closed = true;
            break;
        }
        pending_.append(buf, static_cast<std::size_t>(got));
    }
    if (keepOnFailure) {
        // Nothing received is lost: the bytes of a line begun wait for the
        // next read.
        pending_.insert(0, line);
        return false;
    }
    CloseSocket(sock);
    ResultText = closed && !AbortRequest ? kCddbMsgClosed : kCddbMsgTimeout;
    return false;
}

void TCddbClient::SkipSpareLine(std::unique_ptr<TCddbSocket>& sock) {
    std::string line;
    if (ReadLineWithin(sock, line, 2000, true)) {
        Traced("DUMMYRECVED): ", line);
        return;
    }
    // A line that began within the 2 s is that line: it is dropped whole,
    // never taken for the reply to the next command.
    if (sock && !pending_.empty() && ReadLine(sock, line)) Traced("DUMMYRECVED): ", line);
}

bool TCddbClient::ReadMailReply(std::unique_ptr<TCddbSocket>& sock, std::string& reply) {
    std::size_t budget = MaxReplyBytes;
    do {
        if (!ReadReplyLine(sock, reply, budget)) return false;
    } while (IsContinuedReply(reply));
    return true;
}

bool TCddbClient::ReadReplyLine(std::unique_ptr<TCddbSocket>& sock, std::string& line, std::size_t& budget) {
    if (!ReadLine(sock, line)) return false;
    const std::size_t cost = line.size() + kCddbLineOverhead;
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
    std::size_t budget = MaxReplyBytes;
    for (;;) {
        std::string line;
        if (!ReadReplyLine(sock, line, budget)) return false;
        line = StripLineEnd(line);
        if (IsEndMarker(line)) return true;
        lines.push_back(std::move(line));
    }
}

bool TCddbClient::SendProxyAuthorization(std::unique_ptr<TCddbSocket>& sock) {
    if (!UseProxy() || !(settings_.Flags & kCddbFlagProxyAuth)) return true;
    if (settings_.ProxyPassword.empty() && (settings_.Flags & kCddbFlagAskPassword) && ui_) {
        std::string password;
        bool given;
        {
            TUiStep step(*this);
            given = ui_->AskProxyPassword(password);
        }
        if (given) settings_.ProxyPassword = password;
    }
    const std::string credentials = settings_.ProxyUser + ":" + settings_.ProxyPassword;
    // The trace file is a plain file beside the program: the credentials
    // stay out of it.
    const std::string header = "Proxy-Authorization: Basic ";
    return SendBytes(sock, header + "(hidden)", header + EncodeBase64(credentials) + "\r\n") > 0;
}

bool TCddbClient::SendHostHeader(std::unique_ptr<TCddbSocket>& sock) {
    // The server the request is for, also through a proxy: servers that
    // share one address tell their sites apart by it.
    return SendCrlfLine(sock, "Host: " + settings_.ServerHost) > 0;
}

bool TCddbClient::HttpRequest(std::unique_ptr<TCddbSocket>& sock, const std::string& requestLine) {
    // Every line of the request ends in CR LF, and one empty line ends it.
    if (SendCrlfLine(sock, requestLine + " HTTP/1.0") < 0) return false;
    if (!SendHostHeader(sock)) return false;
    if (!SendProxyAuthorization(sock)) return false;
    if (SendCrlfLine(sock, "") < 0) return false;
    return ReadHttpStatus(sock);
}

bool TCddbClient::ReadHttpStatus(std::unique_ptr<TCddbSocket>& sock) {
    std::string status;
    if (!ReadLine(sock, status)) return false;
    if (!CddbStartsWith(status, "HTTP/") || status.size() < 12 || status.compare(9, 3, "200") != 0) {
        CloseSocket(sock);
        ResultText = FormatReport(StripLineEnd(status));
        return false;
    }
    std::size_t budget = MaxReplyBytes;
    for (;;) {
        std::string header;
        if (!ReadReplyLine(sock, header, budget)) return false;
        if (header.empty() || header[0] == '\r' || header[0] == '\n') return true;
    }
}

bool TCddbClient::ReadBanner(std::unique_ptr<TCddbSocket>& sock, const std::string& hello) {
    std::string banner;
    if (!ReadLine(sock, banner)) return false;
    if (!CddbStartsWith(banner, "200") && !CddbStartsWith(banner, "201")) {
        CloseSocket(sock);
        ResultText = kCddbMsgRefused;
        return false;
    }
    if (SendLine(sock, "cddb hello " + hello) < 0) return false;
    std::string reply;
    if (!ReadLine(sock, reply)) return false;
    if (!CddbStartsWith(reply, "200")) {
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
    // The stored line "-" (the setting's default) means that no message has
    // been seen yet, like an empty one: a real first line begins "210".
    const std::string& last = settings_.LastMotdLine;
    const bool isNew = last.empty() || last == "-" || first.find(last) == std::string::npos;
    if (isNew) settings_.LastMotdLine = first;
    std::vector<std::string> lines;
    if (!ReadReplyBody(sock, lines)) return false;
    if (isNew && ui_) {
        TUiStep step(*this);
        ui_->ShowServerMessage(lines);
    }
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
    if (sets.empty()) {
        // An empty list is no match, whatever its status line said.
        CloseSession(sock);
        ResultText = kCddbMsgNoMatch;
        NetworkError = false;
        return true;
    }
    int chosen = -1;
    if (ui_) {
        TUiStep step(*this);
        chosen = ui_->ChooseMatch(items);
    }
    if (chosen >= 0 && static_cast<std::size_t>(chosen) < sets.size()) {
        category = sets[static_cast<std::size_t>(chosen)].Category;
        discId = sets[static_cast<std::size_t>(chosen)].DiscId;
    } else {
        CloseSession(sock);
        ResultText = kCddbMsgChoiceCancelled;
    }
    return true;
}

bool TCddbClient::QueryAndRead() {
    const std::string hello = UseHttp() ? CddbQueryValue(HelloText()) : HelloText();
    const std::string query = UseHttp() ? CddbQueryValue(QueryText()) : QueryText();
    std::unique_ptr<TCddbSocket> sock = net_.NewSocket();
    if (!sock) {
        ResultText = kCddbMsgNoSocket;
        return false;
    }
    Status(kCddbStatusConnecting);
    if (!Connect(sock)) return false;
    if (!UseHttp() && !ReadBanner(sock, hello)) return false;

    // Protocol level.
    if (!(settings_.Flags & kCddbFlagForceProto1)) {
        if (!UseHttp()) {
            if (SendLine(sock, "proto 6") < 0) return false;
            std::string reply;
            if (!ReadLine(sock, reply)) return false;
            Level6 = CddbStartsWith(reply, "201");
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
            // Cancelled, or the chosen line named no category.
            CloseSocket(sock);
            if (ResultText.empty()) ResultText = kCddbMsgServerError;
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
    if (!ServerWordsUsable(sock, category, chosenId.empty() ? DiscId : chosenId)) return false;
    if (!chosenId.empty()) DiscId = chosenId;
    Status(kCddbStatusReading);
    if (!UseHttp()) {
        if (SendLine(sock, "cddb read " + category + " " + DiscId) < 0) return false;
    } else {
        if (!Reconnect(sock)) return false;
        if (!HttpRequest(sock, HttpGetPrefix() + "cmd=cddb+read+" + CddbQueryValue(category) + "+" +
                                   CddbQueryValue(DiscId) + "&hello=" + hello + "&" + ProtoParam()))
            return false;
    }
    std::vector<std::string> lines;
    std::size_t budget = MaxReplyBytes;
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
    if (!lines.empty()) wx::ParseXmcd(lines, Info, discidSeen_, Level6);
    CloseSession(sock);
    NetworkError = false;
    ResultText = kCddbMsgReadOk;
    return true;
}

bool TCddbClient::ServerWordsUsable(std::unique_ptr<TCddbSocket>& sock, const std::string& category,
                                    const std::string& discId) {
    if (IsCddbWord(category) && IsCddbWord(discId)) return true;
    CloseSession(sock);
    ResultText = kCddbMsgServerError;
    return false;
}

void TCddbClient::RunQuery() {
    BeginJob();
    Success = QueryAndRead();
    SplitDiscTitle(Info);
}

bool TCddbClient::GetSites() {
    SiteLines.clear();
    const std::string hello = UseHttp() ? CddbQueryValue(HelloText()) : HelloText();
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

void TCddbClient::RunSites() {
    BeginJob();
    Success = GetSites();
}

namespace {

// The lines of a text file without their line ends; false when it cannot
// be opened.
bool ReadFileLines(const std::string& path, std::vector<std::string>& lines) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) lines.push_back(StripLineEnd(line));
    return true;
}

}  // namespace

bool TCddbClient::HttpPostFile(std::unique_ptr<TCddbSocket>& sock, const std::string& requestLine) {
    std::vector<std::string> lines;
    if (!ReadFileLines(settings_.SubmitFile, lines)) {
        CloseSocket(sock);
        ResultText = kCddbMsgNoSubmitFile;
        return false;
    }
    if (SendCrlfLine(sock, requestLine + " HTTP/1.0") < 0) return false;
    if (!SendHostHeader(sock)) return false;
    if (!SendProxyAuthorization(sock)) return false;
    // The file's header lines and the empty line after them end in CR LF;
    // the body lines in LF alone, as its Content-Length counts them.
    bool inBody = false;
    for (const std::string& l : lines) {
        if (!inBody) {
            if (SendCrlfLine(sock, l) < 0) return false;
            inBody = l.empty();
        } else if (SendLine(sock, l) < 0) {
            return false;
        }
    }
    if (!inBody && SendCrlfLine(sock, "") < 0) return false;
    if (!ReadHttpStatus(sock)) return false;
    // The submit CGI gives its verdict as a CDDB status line in the body:
    // only a 2xx there means that the server took the record.
    std::string verdict;
    if (!ReadLine(sock, verdict)) return false;
    verdict = StripLineEnd(verdict);
    if (verdict.size() < 3 || verdict[0] != '2' || !std::isdigit(static_cast<unsigned char>(verdict[1])) ||
        !std::isdigit(static_cast<unsigned char>(verdict[2]))) {
        CloseSocket(sock);
        ResultText = FormatReport(verdict);
        return false;
    }
    return true;
}

bool TCddbClient::SubmitByHttp(std::unique_ptr<TCddbSocket>& sock) {
    if (settings_.Flags & kCddbFlagSubmitHttp)
        settings_.Flags |= kCddbFlagHttp;
    else
        settings_.Flags &= static_cast<std::uint8_t>(~kCddbFlagHttp);
    Status(kCddbStatusConnecting);
    if (!Connect(sock)) return false;
    const std::string request = UseProxy() ? "POST http://" + settings_.ServerHost + "/~cddb/submit.cgi"
                                           : std::string("POST /~cddb/submit.cgi");
    if (!HttpPostFile(sock, request)) return false;
    ResultText = kCddbMsgSubmitOk;
    NetworkError = false;
    return true;
}

bool TCddbClient::SmtpCommand(std::unique_ptr<TCddbSocket>& sock, const std::string& command, const char* expected) {
    if (SendCrlfLine(sock, command) < 0) return false;
    std::string reply;
    if (!ReadMailReply(sock, reply)) return false;
    if (CddbStartsWith(reply, expected)) return true;
    if (ui_) {
        TUiStep step(*this);
        ui_->ShowRefusal(kCddbMsgCommandRefused);
    }
    CloseSocket(sock);
    return false;
}

bool TCddbClient::SubmitByMail(std::unique_ptr<TCddbSocket>& sock, const std::string& localHost) {
    Status(kCddbStatusConnecting);
    const std::string host = settings_.ServerHost;
    auto fail = [&](const char* text) {
        CloseSocket(sock);
        ResultText = text;
        return false;
    };
    // POP3 first: its greeting tells that the mail service is there.  A
    // greeting that cannot be read counts as a failed connection.
    if (!ConnectTo(sock, host, kCddbPop3Port, kCddbMsgConnectFailed)) return fail(kCddbMsgConnectFailed);
    std::string greeting;
    if (!ReadLine(sock, greeting)) return fail(kCddbMsgConnectFailed);
    if (!CddbStartsWith(greeting, "+OK")) return fail(kCddbMsgNotReady);
    if (!SmtpCommand(sock, "QUIT", "+OK")) return fail(kCddbMsgCommFailed);
    CloseSocket(sock);

    sock = net_.NewSocket();
    if (!ConnectTo(sock, host, kCddbSmtpPort, kCddbMsgConnectFailed)) return fail(kCddbMsgConnectFailed);
    // The greeting may take several lines ("220-..." up to "220 ...").
    if (!ReadMailReply(sock, greeting)) return fail(kCddbMsgConnectFailed);
    if (!CddbStartsWith(greeting, "220")) return fail(kCddbMsgNotReady);
    SkipSpareLine(sock);
    if (!SmtpCommand(sock, "HELO " + localHost, "250")) return fail(kCddbMsgCommFailed);
    std::string sender = CddbTrim(settings_.UserEmail);
    if (sender.empty())
        sender = "username@hostname";
    else if (sender.find('@') == std::string::npos)
        sender += "@" + localHost;
    if (!SmtpCommand(sock, "MAIL FROM:<" + sender + ">", "250")) return fail(kCddbMsgCommFailed);
    if (!SmtpCommand(sock, "RCPT TO:<" + settings_.SubmitReceiver + ">", "250")) return fail(kCddbMsgCommFailed);
    Status(kCddbStatusSending);
    if (!SmtpCommand(sock, "DATA", "354")) return fail(kCddbMsgCommFailed);

    std::vector<std::string> lines;
    if (!ReadFileLines(settings_.SubmitFile, lines)) return fail(kCddbMsgNoSubmitFile);
    std::string category;
    for (char c : submit_ ? submit_->Category : std::string())
        category += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const std::string discId = submit_ ? submit_->DiscIds : std::string();
    const bool utf8 = submit_ && SubmitUtf8;
    const std::vector<std::string> headers = {
        "From: " + sender,
        "To: " + settings_.SubmitReceiver,
        "Subject: cddb " + category + " " + discId,
        "MIME-Version: 1.0",
        utf8 ? "Content-Type: text/plain; charset=UTF-8" : "Content-Type: text/plain; charset=iso-8859-1",
        "Content-Transfer-Encoding: quoted-printable",
        std::string("X-Cddbd-Note: Send by Wendrix - Questions: ") + kCddbContactMail,
        "",  // the end of the headers
        "",  // and an empty first body line
    };
    for (const std::string& h : headers)
        if (SendCrlfLine(sock, h) < 0) return fail(kCddbMsgCommFailed);
    for (const std::string& l : lines) {
        for (std::string& part : EncodeQuotedPrintable(l)) {
            // A line that begins with "." gets a second one, so that it
            // cannot end the data.
            if (!part.empty() && part[0] == '.') part.insert(0, 1, '.');
            if (SendCrlfLine(sock, part) < 0) return fail(kCddbMsgCommFailed);
        }
    }
    if (!SmtpCommand(sock, ".", "250")) return fail(kCddbMsgCommFailed);
    SendCrlfLine(sock, "QUIT");
    CloseSocket(sock);
    ResultText = kCddbMsgSubmitOk;
    NetworkError = false;
    return true;
}

void TCddbClient::RunSubmit() {
    BeginJob();
    Success = false;
    std::string localHost = net_.LocalHostName();
    if (localHost.empty()) localHost = "hostname";
    std::unique_ptr<TCddbSocket> sock = net_.NewSocket();
    if (!sock) {
        ResultText = kCddbMsgNoSocket;
    } else {
        ResultText = kCddbMsgCommFailed;
        Success = (settings_.Flags & kCddbFlagSubmitHttp) ? SubmitByHttp(sock) : SubmitByMail(sock, localHost);
        CloseSocket(sock);
    }
    // The file holds the user's mail address: it does not outlive the job.
    if (!settings_.SubmitFile.empty()) std::remove(settings_.SubmitFile.c_str());
}

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
