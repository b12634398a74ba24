// The CDDB protocol client: one network job (query and read of a disc, or
// the server list) over CDDBP or HTTP/1.0, written against a small socket
// interface so that it runs natively against a test server as well as over
// Winsock in the job thread (cddbaccess.h).  Portable: no <windows.h>.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "discinfo/xmcd.h"

namespace wx {

// Settings of one job, as the CDDB disc dialog hands them over.
struct TCDDBNetSettings {
    std::int32_t CddbpPort = 888;
    std::string ServerHost;
    std::int32_t ProxyPort = 8080;
    std::string ProxyHost;
    std::string HttpPath = "/~cddb/cddb.cgi";
    std::string SubmitReceiver;
    std::string ProxyPassword;
    std::int32_t Timeout = 60;  // seconds per received line (1..120)
    std::string ProxyUser;
    std::string UserEmail;
    std::string LastMotdLine;  // in and out: first line of the last server message shown
    std::int32_t ShowMotd = 0;
    std::string SubmitFile;
    std::uint8_t Flags = 0;
};

enum : std::uint8_t {
    kCddbFlagHttp = 0x01,
    kCddbFlagProxy = 0x02,
    kCddbFlagProxyAuth = 0x04,
    kCddbFlagAskPassword = 0x08,
    kCddbFlagSubmitHttp = 0x10,
    kCddbFlagForceProto1 = 0x20,
};

inline constexpr int kCddbHttpPort = 80;

// The time-out setting, in seconds: the range the settings keep; a value
// outside it counts as the default.
inline constexpr std::int32_t kCddbDefaultTimeout = 60;
inline constexpr std::int32_t kCddbMinTimeout = 1;
inline constexpr std::int32_t kCddbMaxTimeout = 120;

// A whole job ends within this many times the time-out setting, whatever
// its servers do: every line must come within the time-out, and all of a
// job's waits for the network together (connects, sends and replies) within
// four times it.  A good job takes a handful of replies, each far quicker
// than the time-out, so it never meets the bound; a server that sends one
// short line just inside each time-out can no longer hold a lookup for
// hours (at the default 60 s, a job ends within 4 minutes).  The time the
// user spends in the job's own dialogs (choice, password, server message,
// refusal) does not count.
inline constexpr std::uint32_t kCddbJobTimeouts = 4;

// One TCP connection.
class TCddbSocket {
public:
    enum class TConnect { Ok, NoHost, Failed };
    virtual ~TCddbSocket() = default;
    // Resolves the host and connects, waiting at most timeoutMs in all.
    virtual TConnect Connect(const std::string& host, int port, unsigned timeoutMs) = 0;
    // Sends everything, waiting at most timeoutMs for a peer that takes no
    // data; false on failure.
    virtual bool Send(const void* data, std::size_t size, unsigned timeoutMs) = 0;
    // Bytes that can be received now without waiting: 0 when none has
    // arrived yet, -1 when the peer has closed or the connection failed.
    virtual long Pending() = 0;
    // Receives up to size bytes that Pending() announced; <= 0 on failure.
    virtual long Receive(void* buffer, std::size_t size) = 0;
    virtual void Close() = 0;
    // A flag that, once set, makes waits inside Connect (name resolution
    // included) and Send give up within about 100 ms.
    virtual void SetAbort(const std::atomic<bool>* /*flag*/) {}
};

// What a job needs from the system besides sockets being made.
class TCddbNetwork {
public:
    virtual ~TCddbNetwork() = default;
    // Around each job: makes the network usable (Windows Sockets: WSAStartup
    // for version 1.1) and releases it; false when it cannot be used.
    virtual bool Startup() { return true; }
    virtual void Cleanup() {}
    // A new socket, or nullptr when none can be made.
    virtual std::unique_ptr<TCddbSocket> NewSocket() = 0;
    // Name of this machine; empty when it cannot be found.
    virtual std::string LocalHostName() = 0;
    virtual std::uint32_t TickCount() = 0;  // milliseconds
    virtual void Sleep(unsigned ms) = 0;
};

// The job's steps on the user interface (run synchronized by the thread).
class TCddbJobUi {
public:
    virtual ~TCddbJobUi() = default;
    virtual void ShowStatus(const std::string& text) = 0;
    // Asks for the proxy password; false when the user cancels.
    virtual bool AskProxyPassword(std::string& password) = 0;
    // Shows the server message (lines after its status line) modally.
    virtual void ShowServerMessage(const std::vector<std::string>& lines) = 0;
    // Lets the user pick one of several matches, given as display lines
    // "ID: category , TITLE = title"; the chosen index or -1.
    virtual int ChooseMatch(const std::vector<std::string>& items) = 0;
    // Tells the user that the mail server refused a command.
    virtual void ShowRefusal(const std::string& /*text*/) {}
};

enum class TCddbMode { Query = 0, Submit = 1, Sites = 2 };

// Receiving limits that keep a hostile server from holding unbounded memory:
// bytes of one line past kCddbMaxLineBytes are dropped; a multi-line reply
// whose stored lines would take more than kCddbMaxReplyBytes (each line
// charged its bytes and what keeping it costs) ends the job with a server
// error.
inline constexpr std::size_t kCddbMaxLineBytes = 8192;
inline constexpr std::size_t kCddbMaxReplyBytes = 2u << 20;
inline constexpr std::size_t kCddbLineOverhead = sizeof(std::string) + 1;

// Ports of the mail submission on the selected server.
inline constexpr int kCddbPop3Port = 110;
inline constexpr int kCddbSmtpPort = 25;

class TCddbClient {
public:
    TCddbClient(TCddbNetwork& net, TCddbJobUi* ui, const TCDDBNetSettings& settings);
    ~TCddbClient();

    // Inputs of a query job.
    std::string DiscId;
    std::vector<std::int32_t> StartFrames;  // tracks then the lead-out (absolute frames)
    std::int32_t DiscSeconds = 0;
    std::int32_t TrackCount = 0;

    // The submit file was written as UTF-8 (mail submissions name the
    // character set).
    bool SubmitUtf8 = false;

    // Each traced line (without line end) goes here when set.
    std::function<void(const std::string&)> Trace;

    // Set by the user interface at any time; honoured at the next poll.
    std::atomic<bool> AbortRequest{false};

    // The receiving limits (kCddbMaxLineBytes, kCddbMaxReplyBytes); the
    // fuzz target lowers them so that small inputs reach them.
    std::size_t MaxLineBytes = kCddbMaxLineBytes;
    std::size_t MaxReplyBytes = kCddbMaxReplyBytes;

    // Outputs, read after the job.
    bool Success = false;
    bool NetworkError = true;
    std::string ResultText;
    TCDDBDiscInfo Info;  // the read result
    bool Level6 = false;
    std::vector<std::string> SiteLines;
    const TCDDBNetSettings& Settings() const { return settings_; }

    // Mode 0: query and read, then DTITLE split into artist and title.
    void RunQuery();
    // Mode 2: the server list.
    void RunSites();
    // Mode 1: sends the submit file (settings' SubmitFile) by HTTP POST or
    // by mail, then deletes it.
    void RunSubmit();

    // The xmcd reader on the read result (and the DISCID-seen switch).
    void ParseXmcd(const std::vector<std::string>& lines);

    // The to-submit record.
    void NewSubmitInfo(std::int32_t trackCount, std::int32_t discSeconds);
    bool SetSubmitField(int kind, int index, const std::string& text, std::int32_t number);
    void FreeSubmitInfo();
    const TCDDBDiscInfo* SubmitInfo() const { return submit_.get(); }
    bool WriteMailSubmitFile(const std::string& path, bool utf8) const;
    bool WriteHttpSubmitFile(const std::string& path, bool utf8) const;

    // Texts sent to the server (exposed for tests).
    std::string HelloText() const;
    std::string QueryText() const;

private:
    bool QueryAndRead();
    bool GetSites();
    bool SubmitByHttp(std::unique_ptr<TCddbSocket>& sock);
    bool SubmitByMail(std::unique_ptr<TCddbSocket>& sock, const std::string& localHost);
    bool HttpPostFile(std::unique_ptr<TCddbSocket>& sock, const std::string& requestLine);
    bool SmtpCommand(std::unique_ptr<TCddbSocket>& sock, const std::string& command, const char* expected);
    bool ConnectTo(std::unique_ptr<TCddbSocket>& sock, const std::string& host, int port, const char* noHost);
    void SkipSpareLine(std::unique_ptr<TCddbSocket>& sock);
    // A line with CR LF (HTTP and mail); -1 after a failure.
    int SendCrlfLine(std::unique_ptr<TCddbSocket>& sock, const std::string& text);
    bool SendProxyAuthorization(std::unique_ptr<TCddbSocket>& sock);
    bool ReadHttpStatus(std::unique_ptr<TCddbSocket>& sock);
    // ReadLine with its own limit; fails without closing or a text when
    // keepOnFailure.
    bool ReadLineWithin(std::unique_ptr<TCddbSocket>& sock, std::string& line, std::uint32_t limitMs,
                        bool keepOnFailure);

    void Status(const char* text);
    // The job's bound (kCddbJobTimeouts): started by each Run..., paused
    // while a user-interface step runs.
    void BeginJob();
    std::uint32_t JobLeftMs() const;
    // The longest one wait may take: the time-out, or what is left of the
    // job when that is less.
    std::uint32_t WaitMs() const;
    class TUiStep;
    // Category and disc id chosen or named by the server, checked before
    // they go back into a request.
    bool ServerWordsUsable(std::unique_ptr<TCddbSocket>& sock, const std::string& category,
                           const std::string& discId);
    // A reply that may continue over lines "NNN-..." (SMTP): its last line.
    bool ReadMailReply(std::unique_ptr<TCddbSocket>& sock, std::string& reply);
    bool SendHostHeader(std::unique_ptr<TCddbSocket>& sock);
    void Traced(const std::string& prefix, const std::string& line);
    bool Connect(std::unique_ptr<TCddbSocket>& sock);
    bool Reconnect(std::unique_ptr<TCddbSocket>& sock);
    int SendLine(std::unique_ptr<TCddbSocket>& sock, const std::string& text);
    int SendBytes(std::unique_ptr<TCddbSocket>& sock, const std::string& traced, const std::string& bytes);
    bool ReadLine(std::unique_ptr<TCddbSocket>& sock, std::string& line);
    // ReadLine for the lines of a multi-line reply, charged to a byte budget.
    bool ReadReplyLine(std::unique_ptr<TCddbSocket>& sock, std::string& line, std::size_t& budget);
    // The lines of a multi-line reply up to its end marker, line ends
    // stripped, within one reply's byte budget.
    bool ReadReplyBody(std::unique_ptr<TCddbSocket>& sock, std::vector<std::string>& lines);
    bool HttpRequest(std::unique_ptr<TCddbSocket>& sock, const std::string& requestLine);
    void CloseSession(std::unique_ptr<TCddbSocket>& sock);
    void CloseSocket(std::unique_ptr<TCddbSocket>& sock);
    std::string ProtoParam() const { return Level6 ? "proto=6" : "proto=1"; }
    // "GET path?" or, through a proxy, "GET http://host path?".
    std::string HttpGetPrefix() const;
    bool UseHttp() const { return (settings_.Flags & kCddbFlagHttp) != 0; }
    bool UseProxy() const { return UseHttp() && (settings_.Flags & kCddbFlagProxy) != 0; }
    bool ReadBanner(std::unique_ptr<TCddbSocket>& sock, const std::string& hello);
    bool ReadServerMessage(std::unique_ptr<TCddbSocket>& sock);
    bool ChooseMatch(std::unique_ptr<TCddbSocket>& sock, std::string& category, std::string& discId);

    TCddbNetwork& net_;
    TCddbJobUi* ui_;
    TCDDBNetSettings settings_;
    std::unique_ptr<TCDDBDiscInfo> submit_;
    bool discidSeen_ = false;
    std::string host_;  // address of the current connection
    int port_ = 0;
    std::string pending_;  // received bytes not yet taken as a line
    std::uint32_t jobStart_ = 0;
    std::uint32_t jobUiMs_ = 0;  // spent in user-interface steps
};

}  // namespace wx
