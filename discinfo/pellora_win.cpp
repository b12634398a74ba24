#include "discinfo/pellora_win.h"

#include "discinfo/cddbsocket_win.h"
#include "discinfo/pellora.h"

namespace wx {

bool SendPelloraNotice(const std::string& scriptText, bool japaneseMode, const std::string& host,
                       std::string& portField, const std::string& revision) {
    if (!japaneseMode) return true;
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return false;
    TWinsockNetwork net;
    const bool sent = TPelloraNotifier(net).SendMsgToPellora(scriptText, true, host, portField, revision);
    WSACleanup();
    return sent;
}

}  // namespace wx
