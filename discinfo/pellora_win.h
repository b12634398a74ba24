// The SSTP notifier of the main window over Windows Sockets: one notice of
// the rip completion per call, with Winsock started and cleaned up around
// it.
#pragma once
#include <string>

namespace wx {

class TPelloraSender {
public:
    // Set from the settings when a rip run starts; one failed send clears
    // it for the rest of the run.
    bool PelloraEnabled = false;
    // Sends scriptText when enabled and in Japanese mode; portField is the
    // settings' port text, set to "11000" when it holds no port number.
    void SendMsgToPellora(const std::string& scriptText, bool japaneseMode, const std::string& host,
                          std::string& portField, const std::string& revision);
};

}  // namespace wx
