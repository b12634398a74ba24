// The SSTP notifier: one "SEND SSTP/1.0" request with a short script to a
// desktop message program, over the CDDB client's socket interface.
// Portable: no <windows.h>.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "discinfo/cddbclient.h"

namespace wx {

inline constexpr int kPelloraDefaultPort = 11000;
inline constexpr char kPelloraDefaultPortText[] = "11000";
// A reply line is at most this long; later bytes of the line are dropped.
inline constexpr std::size_t kSstpMaxLineBytes = 8192;
inline constexpr int kSstpReplySeconds = 3;

// More than seconds * 1000 ms have passed since start (tick difference
// taken modulo 2^28).
bool TimeoutElapsed(std::uint32_t start, std::uint32_t now, int seconds);

// Sends text + CR LF: 1, or -1 after a send failure (the socket is closed).
int SstpSendLine(TCddbSocket& sock, const std::string& text);

// Reads the status line for at most 3 s: LF ends it, CR is dropped.  False
// (socket closed) when no whole line came in time or the peer closed first.
bool ReadReplyLine(TCddbNetwork& net, TCddbSocket& sock, std::string& line);

// The whole request; true when the status line holds "200".
bool SendSSTPScript(TCddbNetwork& net, const std::string& host, int port, const std::string& senderName,
                    const std::vector<std::string>& scriptLines);

// The request's bytes (for tests and the trace): every line with CR LF.
std::string SstpRequestText(const std::string& senderName, const std::vector<std::string>& scriptLines);

// "Wendrix(" + revision + ")".
std::string PelloraSenderName(const std::string& revision);

// The port of the settings' field: a number from 1 to 65535, or 11000 when
// the field holds anything else (fieldReplaced then tells the caller to put
// "11000" into the field).
int PelloraPort(const std::string& field, bool& fieldReplaced);

// The notices of the rip completion.  Whether a run sends at all, and
// that one failed send silences the rest of the run, is the rip control's
// switch (taken from UseSendStatus when the run starts).
class TPelloraNotifier {
public:
    explicit TPelloraNotifier(TCddbNetwork& net) : net_(net) {}
    // Sends one script line in Japanese mode (nothing in English mode);
    // portField is the settings' port text and is set to "11000" when it is
    // no port number.  False when the send failed: the run's switch goes
    // off.
    bool SendMsgToPellora(const std::string& scriptText, bool japaneseMode, const std::string& host,
                          std::string& portField, const std::string& revision);

private:
    TCddbNetwork& net_;
};

}  // namespace wx
