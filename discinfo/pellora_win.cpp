#include "discinfo/pellora_win.h"

#include "discinfo/cddbsocket_win.h"
#include "discinfo/pellora.h"

namespace wx {

void TPelloraSender::SendMsgToPellora(const std::string& scriptText, bool japaneseMode, const std::string& host,
                                      std::string& portField, const std::string& revision) {
    if (!PelloraEnabled || !japaneseMode) return;
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        PelloraEnabled = false;
        return;
    }
    TWinsockNetwork net;
    TPelloraNotifier notifier(net);
    notifier.Enabled = true;
    notifier.SendMsgToPellora(scriptText, true, host, portField, revision);
    PelloraEnabled = notifier.Enabled;
    WSACleanup();
}

}  // namespace wx
