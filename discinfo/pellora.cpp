#include "discinfo/pellora.h"

#include <cctype>
#include <memory>

namespace wx {

bool TimeoutElapsed(std::uint32_t start, std::uint32_t now, int seconds) {
    const std::uint32_t elapsed = (now - start) & 0x0FFFFFFFu;
    return elapsed > static_cast<std::uint32_t>(seconds) * 1000u;
}

int SstpSendLine(TCddbSocket& sock, const std::string& text) {
    const std::string line = text + "\r\n";
    if (!sock.Send(line.data(), line.size(), kSstpReplySeconds * 1000u)) {
        sock.Close();
        return -1;
    }
    return 1;
}

bool ReadReplyLine(TCddbNetwork& net, TCddbSocket& sock, std::string& line) {
    line.clear();
    const std::uint32_t start = net.TickCount();
    while (!TimeoutElapsed(start, net.TickCount(), kSstpReplySeconds)) {
        const long waiting = sock.Pending();
        if (waiting < 0) break;
        if (waiting == 0) {
            net.Sleep(100);
            continue;
        }
        for (long i = 0; i < waiting; ++i) {
            char c;
            if (sock.Receive(&c, 1) != 1) {
                sock.Close();
                return false;
            }
            if (c == '\n') return true;
            if (c != '\r' && line.size() < kSstpMaxLineBytes) line.push_back(c);
        }
    }
    sock.Close();
    return false;
}

std::string SstpRequestText(const std::string& senderName, const std::vector<std::string>& scriptLines) {
    std::string r = "SEND SSTP/1.0\r\nSender: " + senderName + "\r\n";
    for (std::size_t i = 0; i < scriptLines.size(); ++i)
        r += (i == 0 ? "Script: \\h" : "") + scriptLines[i] + "\\n\r\n";
    return r + "\\e\r\n\r\n";
}

bool SendSSTPScript(TCddbNetwork& net, const std::string& host, int port, const std::string& senderName,
                    const std::vector<std::string>& scriptLines) {
    std::unique_ptr<TCddbSocket> sock = net.NewSocket();
    if (!sock) return false;
    if (sock->Connect(host, port, kSstpReplySeconds * 1000u) != TCddbSocket::TConnect::Ok) {
        sock->Close();
        return false;
    }
    if (SstpSendLine(*sock, "SEND SSTP/1.0") < 0) return false;
    if (SstpSendLine(*sock, "Sender: " + senderName) < 0) return false;
    for (std::size_t i = 0; i < scriptLines.size(); ++i)
        if (SstpSendLine(*sock, (i == 0 ? "Script: \\h" : "") + scriptLines[i] + "\\n") < 0) return false;
    if (SstpSendLine(*sock, "\\e") < 0 || SstpSendLine(*sock, "") < 0) return false;
    std::string status;
    if (!ReadReplyLine(net, *sock, status)) return false;
    sock->Close();
    return status.find("200") != std::string::npos;
}

std::string PelloraSenderName(const std::string& revision) { return "Wendrix(" + revision + ")"; }

int PelloraPort(const std::string& field, bool& fieldReplaced) {
    fieldReplaced = true;
    std::size_t i = 0;
    while (i < field.size() && field[i] == ' ') ++i;
    std::size_t end = field.size();
    while (end > i && field[end - 1] == ' ') --end;
    if (i == end || end - i > 5) return kPelloraDefaultPort;
    long v = 0;
    for (std::size_t k = i; k < end; ++k) {
        if (!std::isdigit(static_cast<unsigned char>(field[k]))) return kPelloraDefaultPort;
        v = v * 10 + (field[k] - '0');
    }
    if (v < 1 || v > 65535) return kPelloraDefaultPort;
    fieldReplaced = false;
    return static_cast<int>(v);
}

bool TPelloraNotifier::SendMsgToPellora(const std::string& scriptText, bool japaneseMode, const std::string& host,
                                        std::string& portField, const std::string& revision) {
    if (!japaneseMode) return true;
    bool replaced = false;
    const int port = PelloraPort(portField, replaced);
    if (replaced) portField = kPelloraDefaultPortText;
    return SendSSTPScript(net_, host, port, PelloraSenderName(revision), {scriptText});
}

}  // namespace wx
